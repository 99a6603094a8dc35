// Writes the demo exam content beside a station, and on request its answer key somewhere else:
//   generar-contenido CARPETA [--reemplazar] [--claves ARCHIVO] [--libros N]
// With --libros, N made-up students' results workbooks go into CARPETA as well, answered
// against the demo key: something to gather and score.
#include "Argumentos.h"
#include "ContenidoDemo.h"
#include "LibrosDemo.h"

#include <QGuiApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser opciones;
    opciones.setApplicationDescription(QStringLiteral(
        "Escribe el contenido de demostración en CARPETA/Imagenes (solo lo que falta)."));
    opciones.addPositionalArgument(
        QStringLiteral("CARPETA"), QStringLiteral("carpeta de la estación"));
    const QCommandLineOption reemplazarOpcion(QStringLiteral("reemplazar"),
        QStringLiteral("escribe todo de nuevo, también lo que ya está"));
    const QCommandLineOption clavesOpcion(QStringLiteral("claves"),
        QStringLiteral("escribe también la clave de respuestas en ARCHIVO, fuera de CARPETA"),
        QStringLiteral("ARCHIVO"));
    const QCommandLineOption librosOpcion(QStringLiteral("libros"),
        QStringLiteral("escribe también N libros de alumnos inventados en CARPETA"),
        QStringLiteral("N"));
    opciones.addOptions({ reemplazarOpcion, clavesOpcion, librosOpcion });
    if (const auto fin = leerOpciones(opciones, app.arguments(), 1, 1))
        return *fin;
    const QStringList args = opciones.positionalArguments();
    const bool reemplazar = opciones.isSet(reemplazarOpcion);
    const QString claves = opciones.value(clavesOpcion);
    bool numero = true;
    const int libros
        = opciones.isSet(librosOpcion) ? opciones.value(librosOpcion).toInt(&numero) : 0;
    if ((opciones.isSet(clavesOpcion) && claves.isEmpty()) || !numero
        || (opciones.isSet(librosOpcion) && libros <= 0)) {
        std::fprintf(stderr, "%s", qPrintable(opciones.helpText()));
        return 2;
    }
    if (libros > 0) {
        const ResultadoLibrosDemo r
            = generarLibrosDemo(args.first(), clavesDemo(), libros, quint32(libros));
        if (!r.resultado.ok()) {
            std::fprintf(stderr, "error: %s\n", qPrintable(r.resultado.texto()));
            return 1;
        }
        std::printf("%d libros de alumnos escritos en %s\n", r.libros, qPrintable(args.first()));
    }
    if (!claves.isEmpty()) {
        const Resultado escritas = escribirClavesDemo(args.first(), claves);
        if (!escritas.ok()) {
            std::fprintf(stderr, "error: %s\n", qPrintable(escritas.texto()));
            return 1;
        }
        std::printf("claves del contenido de demostración escritas en %s\n", qPrintable(claves));
    }
    const ResultadoGeneracion r = generarContenido(args.first(), reemplazar);
    std::printf("%d imágenes y %d documentos escritos en %s/Imagenes\n", r.imagenes, r.documentos,
        qPrintable(args.first()));
    if (!r.resultado.ok()) {
        std::fprintf(stderr, "error: %s\n", qPrintable(r.resultado.texto()));
        return 1;
    }
    return 0;
}
