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
    QStringList args = app.arguments().mid(1);
    const bool reemplazar = args.removeAll(QStringLiteral("--reemplazar")) > 0;
    const std::optional<QString> opcionClaves = tomarOpcion(args, QStringLiteral("--claves"));
    const QString claves = opcionClaves.value_or(QString());
    const std::optional<QString> opcionLibros = tomarOpcion(args, QStringLiteral("--libros"));
    const int libros = opcionLibros ? opcionLibros->toInt() : 0;
    if (args.size() != 1 || (opcionClaves && claves.isEmpty()) || (opcionLibros && libros <= 0)) {
        std::fprintf(stderr,
            "uso: generar-contenido CARPETA [--reemplazar] [--claves ARCHIVO] [--libros N]\n");
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
