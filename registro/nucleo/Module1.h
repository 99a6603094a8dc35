#pragma once

#include "Contenido.h"

#include <QString>

#include <array>

// The one record of a run, shared by every window. Answers are indexed 1 to 22; slot 0 is
// unused so that slot q belongs to question q.
struct Sesion {
    using Respuestas = std::array<QString, kPreguntas + 1>;

    QString RutaExcel;
    qint16 FinalizadoLeng = 0;
    qint16 FinalizadoMat = 0;
    QString CodigoAcceso;
    QString CodEmpresa;
    QString NombreEscuela;
    qint16 Sexo = 0;
    QString DNI;
    QString CampoE;
    QString CampoF;
    QString Turno;
    QString Seccion;
    QString Materia;
    qint16 ModeloMat = 0;
    qint16 ModeloLeng = 0;
    qint16 PreguntaMat = 0;
    qint16 PreguntaLeng = 0;
    Respuestas RespMat;
    Respuestas RespLeng;
};

// Key filter of the student-code box: digits and Backspace pass, any other key code becomes
// 0, which discards the key.
void FiltrarDigitos(qint16 &codigoTecla);

// Removes leading and trailing space characters only; tabs and other blanks stay.
QString Trim(const QString &texto);

// The per-subject fields of the record.
qint16 &modeloDe(Sesion &sesion, Asignatura asignatura);
qint16 &preguntaDe(Sesion &sesion, Asignatura asignatura);
qint16 &finalizadoDe(Sesion &sesion, Asignatura asignatura);
Sesion::Respuestas &respuestasDe(Sesion &sesion, Asignatura asignatura);
qint16 modeloDe(const Sesion &sesion, Asignatura asignatura);
const Sesion::Respuestas &respuestasDe(const Sesion &sesion, Asignatura asignatura);
