// One change of question (record the choice, destroy the form, build a fresh one, decode its
// picture, lay it out) against decoding the same picture alone; the same change when the
// recovery record is written durably, against one flush of a small file to the disk; and the
// resident memory over a long exam.
#include "Abridor.h"
#include "ContenidoDemo.h"
#include "Entorno.h"
#include "FrmMatMod1H1.h"
#include "Medicion.h"
#include "Module1.h"

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int repeticiones = argc > 1 ? atoi(argv[1]) : 400;

    QTemporaryDir dir;
    for (int q = 1; q <= kPreguntas; ++q)
        generarPregunta(
            rutaPregunta(dir.path(), Asignatura::Matematica, 1, q), Asignatura::Matematica, 1, q);

    EntornoDeMedicion medicion(dir.path());
    Entorno &entorno = medicion.entorno;
    // Without a registered student no record is written; with one, every change writes it.
    Sesion sesion;
    Sesion registrada;
    registrada.RutaExcel = dir.filePath(QStringLiteral("Apl Examen - EE0310002_T_3A_2_987"));
    for (Sesion *s : { &sesion, &registrada }) {
        s->ModeloMat = 1;
        s->PreguntaMat = 1;
    }

    int vuelta = 0;
    // Record the choice, destroy the form, build a fresh one, decode its picture, lay it out.
    auto cambiador = [&](Sesion &s) {
        auto form = std::make_shared<std::unique_ptr<FrmMatMod1H1>>(
            std::make_unique<FrmMatMod1H1>(entorno, s));
        (*form)->cargar();
        (*form)->show();
        return [&, form] {
            const int destino = (s.PreguntaMat % kPreguntas) + 1;
            (*form)
                ->findChild<QRadioButton *>(QStringLiteral("OpMatMod1Preg1OpB"))
                ->setChecked(true);
            (*form)
                ->findChild<QPushButton *>(QStringLiteral("CmdPreg_%1").arg(destino - 1))
                ->click();
            form->reset();
            *form = std::make_unique<FrmMatMod1H1>(entorno, s);
            (*form)->cargar();
            (*form)->show();
            QCoreApplication::sendPostedEvents();
            ++vuelta;
        };
    };
    const auto cambio = cambiador(sesion);
    const auto cambioConRegistro = cambiador(registrada);
    // The same, and then everything the event loop does before the student sees it: the
    // window-system events and the first paint of the whole window.
    auto cambioPintado = [&] {
        cambio();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    // One flush: a small file rewritten and forced to the disk.
    QFile pequeno(dir.filePath(QStringLiteral("pequeno")));
    if (!pequeno.open(QIODevice::ReadWrite))
        std::abort();
    auto unaEscrituraForzada = [&] {
        pequeno.seek(0);
        pequeno.write(QByteArray(2048, char('a' + vuelta % 26)));
        pequeno.flush();
        if (::fsync(pequeno.handle()) != 0)
            std::abort();
    };
    const QString jpeg = rutaPregunta(dir.path(), Asignatura::Matematica, 1, 7);
    auto decodificar = [&] {
        QImageReader lector(jpeg);
        const QImage imagen = lector.read();
        if (imagen.isNull())
            std::abort();
    };

    const auto medianas = medianasIntercaladasMs(repeticiones,
        { decodificar, cambio, cambioPintado, cambioConRegistro, unaEscrituraForzada });
    const double msDecodificar = medianas[0];
    const double msCambio = medianas[1];
    const double msPintado = medianas[2];
    const double msConRegistro = medianas[3];
    const double msForzar = medianas[4];
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
    std::printf("cambio con la primera pintura:  mediana %.3f ms (razón %.2f, informativo)\n",
        msPintado, msPintado / msDecodificar);
    std::printf(
        "cambio con el registro de recuperación: mediana %.3f ms (objetivo < 10)\n", msConRegistro);
    std::printf("una escritura forzada al disco: mediana %.3f ms; el registro agrega %.3f ms (%.2f "
                "escrituras forzadas)\n",
        msForzar, msConRegistro - msCambio, (msConRegistro - msCambio) / msForzar);
    std::printf("memoria residente: %ld KiB tras 100 cambios, %ld KiB tras 10000 (%+ld KiB, "
                "objetivo < 1024)\n",
        tras100, tras10000, crecimiento);
    const bool cumple = razon <= 2.0 && crecimiento < 1024 && msConRegistro < 10.0;
    std::printf("%s\n", cumple ? "objetivos cumplidos" : "OBJETIVOS NO CUMPLIDOS");
    return cumple ? 0 : 1;
}
