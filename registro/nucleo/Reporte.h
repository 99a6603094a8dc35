#pragma once

#include "ColumnasReporte.h"
#include "HojaCalculo.h"
#include "Module1.h"

struct Entorno;

// The student's workbook path without its ".xlsx": the program folder and
// "Apl Examen - " code "_" shift "_" section "_" sex "_" student code.
QString construirRutaExcel(const QString &carpetaPrograma, const Sesion &sesion);

// The section and the student code become part of the workbook's file name; each may take
// at most this many bytes, so that the whole name stays within what file systems allow.
constexpr int kMaxBytesCampoDeNombre = 100;

// A section that can stand in a file name: no path separators, no characters that file
// names forbid, no control characters, not too long.
bool seccionAdmisible(const QString &seccion);
// A student code of digits "0" to "9" only, as the key filter lets through, short enough for
// the file name. Text pasted from the context menu or the mouse never passes for one.
bool dniAdmisible(const QString &dni);

// The subject's report row, columns 1 to 32, from the record; empty texts are left out.
CeldasFila celdasFilaReporte(const Sesion &sesion, Asignatura asignatura);

// Registration's workbook step: builds RutaExcel and creates the empty "Reporte" workbook,
// or reads from the existing one which subjects are finished. A failure is shown to the
// student ("Error al generar excel...") and registration goes on.
void Crear_Excel(Entorno &entorno, Sesion &sesion);

// Writes the subject's row into the student's workbook, keeping everything else in it, and
// only once the save is proven marks the subject finished. On failure the flag stays as it
// was, the workbook on disk is the old one, and the result says why.
Resultado guardarFilaReporte(Entorno &entorno, Sesion &sesion, Asignatura asignatura);
