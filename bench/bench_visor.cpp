// From the press of a reference-document button to the first page drawn in the station's own
// viewer, for the demo formula table and a demo texts document.
#include "ContenidoDemo.h"
#include "Medicion.h"
#include "VisorPdf.h"

#include <QApplication>
#include <QImage>
#include <QPdfView>
#include <QTemporaryDir>

#include <cstdio>

namespace {
// True once text is on screen: some dark pixel in the view.
bool paginaDibujada(VentanaDocumento *ventana)
{
    const QImage imagen = ventana->vista()->viewport()->grab().toImage();
    for (int y = 0; y < imagen.height(); y += 3)
        for (int x = 0; x < imagen.width(); x += 3)
            if (qGray(imagen.pixel(x, y)) < 60)
                return true;
    return false;
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
    QApplication app(argc, argv);
    const int repeticiones = argc > 1 ? atoi(argv[1]) : 40;
    QTemporaryDir dir;
    if (!generarContenido(dir.path()).error.isEmpty())
        return 1;
    bool cumple = true;
    for (const QString &ruta : {rutaTablaFormulas(dir.path()), rutaTextosLengua(dir.path(), 1)}) {
        // Each time a new window, as after the student closed the last one.
        const double ms = medianaMs(repeticiones, [&] {
            VisorPdf visor;
            visor.abrir(ruta);
            VentanaDocumento *ventana = visor.ventana(ruta);
            while (!paginaDibujada(ventana))
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        });
        std::printf("%s: de la pulsación a la primera página dibujada, mediana %.1f ms (objetivo <= 150)\n",
                    qPrintable(QFileInfo(ruta).fileName()), ms);
        cumple = cumple && ms <= 150;
    }
    std::printf("%s\n", cumple ? "objetivos cumplidos" : "OBJETIVOS NO CUMPLIDOS");
    return cumple ? 0 : 1;
}
