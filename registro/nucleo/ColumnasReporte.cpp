#include "ColumnasReporte.h"

int filaReporte(Asignatura asignatura)
{
    return asignatura == Asignatura::Matematica ? 1 : 2;
}

Asignatura asignaturaDeFila(int fila)
{
    return fila == 1 ? Asignatura::Matematica : Asignatura::Lengua;
}

QString columnas::titulo(int columna)
{
    static const char *const kTitulos[]
        = { "Código de Empresa", "Nombre del Establecimiento", "Sexo", "Código de Alumno/a",
              "Campo E", "Campo F", "Turno", "Sección", "Materia", "Modelo" };
    if (columna >= kCodEmpresa && columna <= kModelo)
        return QString::fromUtf8(kTitulos[columna - 1]);
    return QStringLiteral("P%1").arg(columna - kPrimeraRespuesta + 1);
}
