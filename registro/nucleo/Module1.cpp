#include "Module1.h"

void FiltrarDigitos(qint16 &codigoTecla)
{
    const bool digito = codigoTecla >= 48 && codigoTecla <= 57;
    if (!digito && codigoTecla != 8)
        codigoTecla = 0;
}

qint16 &modeloDe(Sesion &sesion, Asignatura asignatura)
{
    return asignatura == Asignatura::Matematica ? sesion.ModeloMat : sesion.ModeloLeng;
}

qint16 &preguntaDe(Sesion &sesion, Asignatura asignatura)
{
    return asignatura == Asignatura::Matematica ? sesion.PreguntaMat : sesion.PreguntaLeng;
}

qint16 &finalizadoDe(Sesion &sesion, Asignatura asignatura)
{
    return asignatura == Asignatura::Matematica ? sesion.FinalizadoMat : sesion.FinalizadoLeng;
}

Sesion::Respuestas &respuestasDe(Sesion &sesion, Asignatura asignatura)
{
    return asignatura == Asignatura::Matematica ? sesion.RespMat : sesion.RespLeng;
}

QString Trim(const QString &texto)
{
    qsizetype inicio = 0;
    qsizetype fin = texto.size();
    while (inicio < fin && texto.at(inicio) == QLatin1Char(' '))
        ++inicio;
    while (fin > inicio && texto.at(fin - 1) == QLatin1Char(' '))
        --fin;
    return texto.mid(inicio, fin - inicio);
}

qint16 modeloDe(const Sesion &sesion, Asignatura asignatura)
{
    return asignatura == Asignatura::Matematica ? sesion.ModeloMat : sesion.ModeloLeng;
}

const Sesion::Respuestas &respuestasDe(const Sesion &sesion, Asignatura asignatura)
{
    return asignatura == Asignatura::Matematica ? sesion.RespMat : sesion.RespLeng;
}
