#pragma once

#include "Disco.h"
#include "Module1.h"

#include <QByteArray>
#include <QString>

struct Entorno;

// The recovery record: the answers of the exam in progress, kept beside the student's
// workbook so that a power cut or a crash costs no answer. Hidden, named after the workbook
// (".Apl Examen - ….recuperacion"), written whole at every change of question, and gone once
// both subjects are saved or the student leaves with "Salir".
QString rutaRecuperacion(const QString &rutaExcel);

// What is found under a student's record name.
enum class EstadoRecuperacion {
    SinRegistro, // nothing there
    Valido, // this student's record, whole
    Ilegible, // not a record of this format
    SumaIncorrecta, // damaged or altered: the checksum does not match
    DeOtroAlumno, // a record of other registration data under this name
};

// The record's content, for the run it belongs to.
QByteArray contenidoRecuperacion(const Sesion &sesion);
// Reads a record's content against the registration data of `sesion`; when it is valid,
// `recuperada` receives its models, answers and finished subjects.
EstadoRecuperacion interpretarRecuperacion(
    const QByteArray &contenido, const Sesion &sesion, Sesion *recuperada);

// Writes the record of the run, whole or not at all.
Resultado guardarRecuperacion(Entorno &entorno, const Sesion &sesion);
// Writes it as the exam opens and at every change of question. The first failure is told
// (the exam goes on), and so is the first write that works again after one.
void resguardarRespuestas(Entorno &entorno, const Sesion &sesion);
// Removes it: an explicit end of the run, or both subjects saved.
void borrarRecuperacion(Entorno &entorno, const Sesion &sesion);

// After a subject is saved in the workbook: the record keeps only what is still open, and is
// removed once nothing is.
void recuperacionTrasGuardar(Entorno &entorno, const Sesion &sesion);

// Registration's recovery step, after the draw and the workbook: a valid record of this
// student restores the models and the answers of every subject the workbook does not show
// finished, and the student is told how many, when there is at least one answer. A bad
// record is set aside, never used and never deleted, and told. Returns true when a record was
// used.
bool Recuperar_Examen(Entorno &entorno, Sesion &sesion);

// Counts the answered questions of a subject.
int respuestasDadas(const Sesion::Respuestas &respuestas);
