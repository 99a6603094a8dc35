// Prepares a station for the exam day, as the staff window's "Preparar" does:
//   preparar-estacion MAESTRA ESTACION [--registro REGISTRO] [--nombre NOMBRE]
// Copies the master's content, puts the station's program there when missing, gives the
// station its key pair (the private half stays on this computer; the public one goes into
// REGISTRO) and checks the result.
#include "Argumentos.h"
#include "Llaves.h"
#include "Preparacion.h"
#include "VisorPdf.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (const int codigo = atenderDocumentoAparte(app.arguments()); codigo >= 0)
        return codigo;
    QCommandLineParser opciones;
    opciones.setApplicationDescription(QStringLiteral(
        "Copia el contenido de la carpeta maestra a la estación, le da su llave y la verifica."));
    opciones.addPositionalArgument(QStringLiteral("MAESTRA"), QStringLiteral("carpeta maestra"));
    opciones.addPositionalArgument(
        QStringLiteral("ESTACION"), QStringLiteral("carpeta de la estación"));
    const QCommandLineOption registro(QStringLiteral("registro"),
        QStringLiteral("registro de estaciones del personal (sin él, la estación no sella)"),
        QStringLiteral("REGISTRO"));
    const QCommandLineOption nombre(QStringLiteral("nombre"),
        QStringLiteral("nombre de la estación en el registro"), QStringLiteral("NOMBRE"));
    opciones.addOptions({ registro, nombre });
    if (const auto fin = leerOpciones(opciones, app.arguments(), 2, 2))
        return *fin;
    const QStringList args = opciones.positionalArguments();
    const QString maestra = QDir::fromNativeSeparators(args[0]);
    const QString estacion = QDir::fromNativeSeparators(args[1]);
    if (const auto motivo = motivoParaNoPreparar(maestra, estacion)) {
        std::fprintf(stderr, "%s\n", qPrintable(motivo->first));
        if (!motivo->second.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(motivo->second));
        return 1;
    }
    const Preparacion como { opciones.isSet(nombre) ? opciones.value(nombre)
                                                    : nombrePorOmision(estacion),
        opciones.value(registro), carpetaDelProgramaEstacion(), [](const QString &ruta) {
            return probarDocumentoAparte(QCoreApplication::applicationFilePath(), ruta);
        } };
    const InformePreparacion informe = prepararEstacion(maestra, estacion, como);
    for (const QString &linea : informe.lineas)
        std::printf("%s\n", qPrintable(linea));
    return informe.lista ? 0 : 1;
}
