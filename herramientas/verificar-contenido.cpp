// Checks a station's content folder before the exam: verificar-contenido [CARPETA]
// Without CARPETA it checks the station this tool belongs to.
#include "Argumentos.h"
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
    QCommandLineParser opciones;
    opciones.setApplicationDescription(
        QStringLiteral("Verifica el contenido de una estación antes del día del examen."));
    opciones.addPositionalArgument(QStringLiteral("CARPETA"),
        QStringLiteral("carpeta de la estación (sin ella, la de este programa)"),
        QStringLiteral("[CARPETA]"));
    if (const auto fin = leerOpciones(opciones, app.arguments(), 0, 1))
        return *fin;
    const QStringList args = opciones.positionalArguments();
    const QString carpeta = args.isEmpty() ? carpetaDelProgramaEstacion() : args.first();
    const InformeContenido informe = verificarContenido(carpeta, [](const QString &ruta) {
        return probarDocumentoAparte(QCoreApplication::applicationFilePath(), ruta);
    });
    for (const QString &linea : informe.descripciones)
        std::printf("%s\n", qPrintable(linea));
    for (const QString &aviso : informe.avisos)
        std::printf("aviso: %s\n", qPrintable(aviso));
    for (const QString &problema : informe.problemas)
        std::printf("%s\n", qPrintable(problema));
    std::printf(
        "%s: %s\n", qPrintable(QDir(carpeta).absolutePath()), qPrintable(informe.resumen()));
    return informe.correcto() ? 0 : 1;
}
