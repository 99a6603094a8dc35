// Registration's workbook creation and one save of a subject's answers.
#include "Apoyo.h"
#include "Entorno.h"
#include "Medicion.h"
#include "Module1.h"
#include "Reporte.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int repeticiones = argc > 1 ? atoi(argv[1]) : 200;
    QTemporaryDir dir;
    EntornoDeMedicion medicion(dir.path());
    Entorno &entorno = medicion.entorno;

    // The tests' registered student, under a new student code each time.
    Sesion sesion = alumnoDePrueba();
    int alumno = 0;
    // A new student each time: the workbook does not exist yet.
    auto crear = [&] {
        sesion.DNI = QString::number(40000000 + ++alumno);
        sesion.FinalizadoMat = sesion.FinalizadoLeng = 0;
        Crear_Excel(entorno, sesion);
    };
    auto guardar = [&] {
        sesion.Materia = QStringLiteral("Matematica");
        for (int q = 1; q <= kPreguntas; ++q)
            sesion.RespMat[q] = QString(QChar('A' + (q + alumno) % 4));
        if (!guardarFilaReporte(entorno, sesion, Asignatura::Matematica).ok())
            std::abort();
    };
    // The save rewrites a workbook that already holds the other subject's row.
    sesion.DNI = QStringLiteral("1");
    Crear_Excel(entorno, sesion);
    sesion.Materia = QStringLiteral("Lengua");
    if (!guardarFilaReporte(entorno, sesion, Asignatura::Lengua).ok())
        return 1;

    const double msGuardar = medianaMs(repeticiones, guardar);
    const double msCrear = medianaMs(repeticiones, crear);
    std::printf("crear el libro de un alumno nuevo:     mediana %.3f ms\n", msCrear);
    std::printf("guardar las respuestas de una materia: mediana %.3f ms\n", msGuardar);
    return 0;
}
