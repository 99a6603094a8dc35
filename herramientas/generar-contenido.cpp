// Writes the demo exam content beside a station: generar-contenido CARPETA [--reemplazar]
#include "ContenidoDemo.h"

#include <QGuiApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool reemplazar = args.removeAll(QStringLiteral("--reemplazar")) > 0;
    if (args.size() != 1) {
        std::fprintf(stderr, "uso: generar-contenido CARPETA [--reemplazar]\n");
        return 2;
    }
    const ResultadoGeneracion r = generarContenido(args.first(), reemplazar);
    std::printf("%d imágenes y %d documentos escritos en %s/Imagenes\n", r.imagenes, r.documentos,
                qPrintable(args.first()));
    if (!r.error.isEmpty()) {
        std::fprintf(stderr, "error: %s\n", qPrintable(r.error));
        return 1;
    }
    return 0;
}
