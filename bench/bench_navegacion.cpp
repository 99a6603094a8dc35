// One change of question (record the choice, destroy the form, build a fresh one, decode its
// picture, lay it out) against decoding the same picture alone, and the resident memory over
// a long exam.
#include "Abridor.h"
#include "ContenidoDemo.h"
#include "Entorno.h"
#include "FrmMatMod1H1.h"
#include "Medicion.h"
#include "Module1.h"

#include <QApplication>
#include <QImageReader>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>


int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int repeticiones = argc > 1 ? atoi(argv[1]) : 400;

    QTemporaryDir dir;
    for (int q = 1; q <= kPreguntas; ++q)
        generarPregunta(rutaPregunta(dir.path(), Asignatura::Matematica, 1, q), Asignatura::Matematica, 1, q);

    EntornoDeMedicion medicion(dir.path());
    Entorno &entorno = medicion.entorno;
    Sesion sesion;
    sesion.ModeloMat = 1;
    sesion.PreguntaMat = 1;

    auto form = std::make_unique<FrmMatMod1H1>(entorno, sesion);
    form->cargar();
    form->show();
    int vuelta = 0;
    // Record the choice, destroy the form, build a fresh one, decode its picture, lay it out.
    auto cambio = [&] {
        const int destino = (sesion.PreguntaMat % kPreguntas) + 1;
        form->findChild<QRadioButton *>(QStringLiteral("OpMatMod1Preg1OpB"))->setChecked(true);
        form->findChild<QPushButton *>(QStringLiteral("CmdPreg_%1").arg(destino - 1))->click();
        form.reset();
        form = std::make_unique<FrmMatMod1H1>(entorno, sesion);
        form->cargar();
        form->show();
        QCoreApplication::sendPostedEvents();
        ++vuelta;
    };
    // The same, and then everything the event loop does before the student sees it: the
    // window-system events and the first paint of the whole window.
    auto cambioPintado = [&] {
        cambio();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    const QString jpeg = rutaPregunta(dir.path(), Asignatura::Matematica, 1, 7);
    auto decodificar = [&] {
        QImageReader lector(jpeg);
        const QImage imagen = lector.read();
        if (imagen.isNull())
            std::abort();
    };

    const auto medianas = medianasIntercaladasMs(repeticiones, {decodificar, cambio, cambioPintado});
    const double msDecodificar = medianas[0];
    const double msCambio = medianas[1];
    const double msPintado = medianas[2];
    const double razon = msCambio / msDecodificar;

    vuelta = 0;
    long tras100 = 0;
    while (vuelta < 10000) {
        cambioPintado();
        if (vuelta == 100)
            tras100 = memoriaResidenteKiB();
        if (qEnvironmentVariableIsSet("CURVA") && vuelta % 1000 == 0)
            std::printf("%d %ld\n", vuelta, memoriaResidenteKiB());
    }
    const long tras10000 = memoriaResidenteKiB();
    const long crecimiento = tras10000 - tras100;

    std::printf("decodificar el JPEG de 840x360: mediana %.3f ms\n", msDecodificar);
    std::printf("un cambio de pregunta:          mediana %.3f ms\n", msCambio);
    std::printf("razón cambio / decodificación:  %.2f (objetivo <= 2)\n", razon);
    std::printf("cambio con la primera pintura:  mediana %.3f ms (razón %.2f, informativo)\n", msPintado,
                msPintado / msDecodificar);
    std::printf("memoria residente: %ld KiB tras 100 cambios, %ld KiB tras 10000 (%+ld KiB, objetivo < 1024)\n",
                tras100, tras10000, crecimiento);
    const bool cumple = razon <= 2.0 && crecimiento < 1024;
    std::printf("%s\n", cumple ? "objetivos cumplidos" : "OBJETIVOS NO CUMPLIDOS");
    return cumple ? 0 : 1;
}
