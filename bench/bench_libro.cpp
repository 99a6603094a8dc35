// Registration's workbook creation and one save of a subject's answers, unsealed and sealed by
// a station prepared with a key (the seal signed, kept in the journal and in the workbook).
#include "Apoyo.h"
#include "Diario.h"
#include "Entorno.h"
#include "Llaves.h"
#include "Medicion.h"
#include "Module1.h"
#include "Reporte.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int repeticiones = argc > 1 ? atoi(argv[1]) : 200;
    QTemporaryDir dir;
    // The station's private key stays in a folder of this run.
    QTemporaryDir datos;
    qputenv("XDG_DATA_HOME", QFile::encodeName(datos.path()));
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

    if (!prepararLlaves(
            dir.path(), QStringLiteral("Medición"), datos.filePath(QStringLiteral("registro.txt")))
             .ok())
        return 1;
    Resultado motivo;
    const auto sellador = SelladorEstacion::cargar(dir.path(), &motivo);
    if (!sellador)
        return 1;
    // The journal of a station that already saved a whole exam day's students.
    medicion.hoja.sellarCon(sellador.get());
    for (int i = 0; i < 500; ++i)
        guardar();
    // Unsealed and sealed saves of the same workbook in turns, in the same folder.
    const std::vector<double> ms = medianasIntercaladasMs(repeticiones,
        { [&] {
             medicion.hoja.sellarCon(nullptr);
             guardar();
         },
            [&] {
                medicion.hoja.sellarCon(sellador.get());
                guardar();
            } });
    std::printf("guardar sin sello y con sello, por turnos: medianas %.3f y %.3f ms (el sello "
                "suma %.3f ms; objetivo <= 1)\n",
        ms[0], ms[1], ms[1] - ms[0]);
    return 0;
}
