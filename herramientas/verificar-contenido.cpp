// Checks a station's content folder before the exam: verificar-contenido [CARPETA]
// Without CARPETA it checks the station this tool belongs to.
#include "Preparacion.h"
#include "Verificacion.h"
#include "VisorPdf.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // Each document is opened by this program started again, which is killed if it hangs.
    if (const int codigo = atenderDocumentoAparte(app.arguments()); codigo >= 0)
        return codigo;
    const QStringList args = app.arguments().mid(1);
    if (args.size() > 1 || (!args.isEmpty() && args.first().startsWith(QLatin1Char('-')))) {
        std::fprintf(stderr, "uso: verificar-contenido [CARPETA]\n");
        return 2;
    }
    const QString carpeta = args.isEmpty() ? carpetaDelProgramaEstacion() : args.first();
    const InformeContenido informe = verificarContenido(carpeta, [](const QString &ruta) {
        return probarDocumentoAparte(QCoreApplication::applicationFilePath(), ruta);
    });
    for (const QString &linea : informe.descripciones)
        std::printf("%s\n", qPrintable(linea));
    for (const QString &problema : informe.problemas)
        std::printf("%s\n", qPrintable(problema));
    std::printf(
        "%s: %s\n", qPrintable(QDir(carpeta).absolutePath()), qPrintable(informe.resumen()));
    return informe.correcto() ? 0 : 1;
}
