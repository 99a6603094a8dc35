#pragma once

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <optional>

// The tools' version, as --version prints it.
inline QString versionHerramientas()
{
    return QStringLiteral("2026.12");
}

// Reads a tool's arguments as people expect: --help prints the usage and --version the
// version, and the tool ends with 0; an unknown option, an option without its value or a
// wrong number of the other arguments is refused with the reason and the usage, and 2. Nothing
// when the tool goes on. `minimo` and `maximo` bound the arguments that are not options
// (−1: no bound).
inline std::optional<int> leerOpciones(
    QCommandLineParser &opciones, const QStringList &argumentos, int minimo, int maximo)
{
    const QCommandLineOption ayuda = opciones.addHelpOption();
    const QCommandLineOption version = opciones.addVersionOption();
    QCoreApplication::setApplicationVersion(versionHerramientas());
    const bool leidas = opciones.parse(argumentos);
    if (leidas && opciones.isSet(ayuda)) {
        std::printf("%s", qPrintable(opciones.helpText()));
        return 0;
    }
    if (leidas && opciones.isSet(version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
            qPrintable(versionHerramientas()));
        return 0;
    }
    const qsizetype otros = opciones.positionalArguments().size();
    if (leidas && otros >= minimo && (maximo < 0 || otros <= maximo))
        return std::nullopt;
    std::fprintf(stderr, "%s\n%s",
        qPrintable(
            leidas ? QStringLiteral("cantidad de argumentos incorrecta") : opciones.errorText()),
        qPrintable(opciones.helpText()));
    return 2;
}
