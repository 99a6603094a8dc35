#pragma once

#include "Archivos.h"

#include <QString>
#include <QStringList>

#include <functional>

// The two subjects of the exam, and where their content lies below the program's folder.
enum class Asignatura { Matematica, Lengua };

// 0 for mathematics, 1 for language: where a subject goes in a pair of anything.
constexpr int indiceMateria(Asignatura asignatura)
{
    return asignatura == Asignatura::Matematica ? 0 : 1;
}
// "Matematica" / "Lengua", as stored in the record and in the results workbook.
QString nombreMateria(Asignatura asignatura);
// "Matemática" / "Lengua", as people read it: on the screens, in messages and in reports.
QString nombreVisible(Asignatura asignatura);
// The code a supervisor gives the students to open the subject's exam.
QString codigoAcceso(Asignatura asignatura);

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

// A finished subject is closed for good on the station: every file of each model folder whose
// first picture `existe` still finds is deleted; a model whose first picture is gone is left
// alone. Through a linked pictures folder nothing is deleted, since every deletion would land
// in whatever it points at. Returns what could not be deleted, and why.
Restos borrarContenidoFinalizado(IArchivos &archivos, const QString &carpetaPrograma,
    Asignatura asignatura, const std::function<bool(const QString &)> &existe);
