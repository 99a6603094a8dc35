#pragma once

#include <QString>

// The two subjects of the exam, and where their content lies below the program's folder.
enum class Asignatura { Matematica, Lengua };

// "Matematica" / "Lengua", as stored in the record and in the results workbook.
QString nombreMateria(Asignatura asignatura);

constexpr int kModelos = 6;
constexpr int kPreguntas = 22;

QString carpetaImagenes(const QString &carpetaPrograma);
QString carpetaModelo(const QString &carpetaPrograma, Asignatura asignatura, int modelo);
QString rutaPregunta(
    const QString &carpetaPrograma, Asignatura asignatura, int modelo, int pregunta);
// The optional words a screen reader says for a question picture: a UTF-8 text file beside
// it, of the picture's name with ".txt" ("Mat_Mod1_P7.txt").
QString rutaDescripcionPregunta(
    const QString &carpetaPrograma, Asignatura asignatura, int modelo, int pregunta);
QString rutaTextosLengua(const QString &carpetaPrograma, int modelo);
QString rutaTablaFormulas(const QString &carpetaPrograma);
