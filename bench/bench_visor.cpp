// From the press of a reference-document button to the document on screen: the station's
// window drawing its first page, the reader of a document of its own process showing it, and
// the notice or the page for hostile documents.
#include "Apoyo.h"
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
    const QImage imagen
        = ventana->findChild<QPdfView *>(QStringLiteral("Documento"))->viewport()->grab().toImage();
    for (int y = 0; y < imagen.height(); y += 3)
        for (int x = 0; x < imagen.width(); x += 3)
            if (qGray(imagen.pixel(x, y)) < 60)
                return true;
    return false;
}

// From the press to the state the viewer reaches first, Aviso or Abierto.
double hastaMostrarse(const QString &ruta, int repeticiones, VisorPdf::Estado *estado)
{
    return medianaMs(repeticiones, [&] {
        VisorPdf visor;
        visor.abrir(ruta);
        while (visor.estado(ruta) == VisorPdf::Estado::Abriendo)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        *estado = visor.estado(ruta);
    });
}

const char *nombreEstado(VisorPdf::Estado estado)
{
    return estado == VisorPdf::Estado::Abierto ? "la página"
        : estado == VisorPdf::Estado::Aviso    ? "el aviso"
                                               : "nada";
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
    QApplication app(argc, argv);
    if (const int codigo = atenderDocumentoAparte(app.arguments()); codigo >= 0)
        return codigo;
    const int repeticiones = argc > 1 ? atoi(argv[1]) : 20;
    QTemporaryDir dir;
    if (!generarContenido(dir.path()).resultado.ok())
        return 1;
    bool cumple = true;
    for (const QString &ruta : { rutaTablaFormulas(dir.path()), rutaTextosLengua(dir.path(), 1) }) {
        // Each time a new window, as after the student closed the last one.
        const double dibujo = medianaMs(repeticiones, [&] {
            VentanaDocumento ventana(ruta);
            ventana.showMaximized();
            while (!paginaDibujada(&ventana))
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        });
        VisorPdf::Estado estado;
        const double lector = hastaMostrarse(ruta, repeticiones, &estado);
        std::printf("%s: la ventana dibuja la primera página en %.1f ms (objetivo <= 150); "
                    "el lector aparte la muestra en %.1f ms (objetivo <= 1000), mostró %s\n",
            qPrintable(QFileInfo(ruta).fileName()), dibujo, lector, nombreEstado(estado));
        cumple = cumple && dibujo <= 150 && lector <= 1000 && estado == VisorPdf::Estado::Abierto;
    }
    for (const QByteArray tipo : { "ciclo", "paginas", "cifrado" }) {
        const QString ruta = dir.filePath(QString::fromLatin1(tipo) + ".pdf");
        crearArchivo(ruta, pdfDePrueba(tipo));
        VisorPdf::Estado estado;
        const double ms = hastaMostrarse(ruta, 3, &estado);
        std::printf("documento hostil \"%s\": %s en %.1f ms (objetivo <= 3000)\n", tipo.constData(),
            nombreEstado(estado), ms);
        cumple = cumple && ms <= 3000 && estado != VisorPdf::Estado::Abriendo;
    }
    std::printf("%s\n", cumple ? "objetivos cumplidos" : "OBJETIVOS NO CUMPLIDOS");
    return cumple ? 0 : 1;
}
