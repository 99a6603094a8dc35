#pragma once

#include "Contenido.h"

#include <QString>

// The report row of the results workbook, one row per subject: the one definition the
// station's workbook, the staff's collector and the tests share.
namespace columnas {
enum : int {
    kCodEmpresa = 1,
    kNombreEscuela,
    kSexo,
    kDNI,
    kCampoE,
    kCampoF,
    kTurno,
    kSeccion,
    kMateria, // "Matematica" / "Lengua": also the subject's finished mark
    kModelo,
    kPrimeraRespuesta, // 11: question 1; question q lies in column 10 + q
    kUltima = kPrimeraRespuesta + kPreguntas - 1, // 32
};

// The column of question q's answer (column 10 + q).
constexpr int respuesta(int pregunta)
{
    return kPrimeraRespuesta + pregunta - 1;
}

// The title a merged table gives each column: "Código de Empresa" … "Modelo", "P1" … "P22".
QString titulo(int columna);
} // namespace columnas

// Row 1 holds mathematics, row 2 language.
constexpr int kFilasReporte = 2;
int filaReporte(Asignatura asignatura);
Asignatura asignaturaDeFila(int fila);
