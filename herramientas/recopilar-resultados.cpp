// Gathers the results workbooks of one or more stations, and with an answer key scores them:
//   recopilar-resultados SALIDA.xlsx CARPETA... [--claves CLAVES.xlsx]
#include "Argumentos.h"
#include "Claves.h"
#include "Recopilacion.h"

#include <QGuiApplication>
#include <QStringList>

#include <cstdio>
#include <optional>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {
bool salidaEsTerminal()
{
#ifdef Q_OS_WIN
    return ::_isatty(::_fileno(stderr));
#else
    return ::isatty(::fileno(stderr));
#endif
}
} // namespace

int main(int argc, char **argv)
{
    prepararProcesoDeRecopilacion();
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const std::optional<QString> opcionClaves = tomarOpcion(args, QStringLiteral("--claves"));
    const QString rutaClaves = opcionClaves.value_or(QString());
    if (args.size() < 2 || !args.first().endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive)
        || (opcionClaves && rutaClaves.isEmpty())) {
        std::fprintf(
            stderr, "uso: recopilar-resultados SALIDA.xlsx CARPETA... [--claves CLAVES.xlsx]\n");
        return 2;
    }
    std::optional<LecturaClaves> claves;
    if (!rutaClaves.isEmpty()) {
        claves = leerClaves(rutaClaves);
        for (const QString &e : claves->errores)
            std::fprintf(stderr, "claves: %s\n", qPrintable(e));
        if (!claves->ok())
            return 1;
    }
    // The running count only makes sense on a terminal; in a file it would be a heap of
    // carriage returns, so there the summary line below says it all.
    const bool terminal = salidaEsTerminal();
    bool mostrado = false;
    const auto progreso = [&](int hechos, int total) {
        if (!terminal || total < 20)
            return;
        std::fprintf(stderr, "\rLeyendo libros: %d de %d", hechos, total);
        mostrado = true;
        if (hechos == total)
            std::fprintf(stderr, "\n");
    };
    const InformeRecopilacion r = recopilarResultados(
        args.first(), args.mid(1), progreso, claves ? &claves->claves : nullptr, rutaClaves);
    if (mostrado)
        std::fflush(stderr);
    for (const QString &omitido : r.omitidos)
        std::printf("omitido: %s\n", qPrintable(omitido));
    if (!r.resultado.ok()) {
        std::fprintf(stderr, "error: %s\n", qPrintable(r.resultado.detalle));
        return 1;
    }
    std::printf("%d libro(s), %d fila(s) en %s y %s; %d omitido(s)\n", r.libros, r.filas,
        qPrintable(args.first()), qPrintable(r.salidaCsv), int(r.omitidos.size()));
    if (claves)
        std::printf(
            "%d fila(s) puntuada(s); informe en %s\n", r.puntuadas, qPrintable(r.salidaPdf));
    return r.omitidos.isEmpty() ? 0 : 3;
}
