// Gathers the results workbooks of one or more stations, and with an answer key scores them:
//   recopilar-resultados SALIDA.xlsx CARPETA... [--claves CLAVES.xlsx] [--estaciones REGISTRO]
//   recopilar-resultados --completar SALIDA.xlsx    finishes placing what a killed run left
// Exits 0 when all is well, 1 when nothing could be written, 2 for a use it does not know, 3
// when a workbook or row was left out, 4 when a result's custody fails (its seal, or a
// station's journal).
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
// Only what a run killed while it placed its outputs left is settled.
int completar(const QString &salida, const QStringList &otros)
{
    if (salida.isEmpty() || !otros.isEmpty()) {
        std::fprintf(stderr, "uso: recopilar-resultados --completar SALIDA.xlsx\n");
        return 2;
    }
    bool completada = false;
    const Resultado r = completarRecopilacionInterrumpida(salida, &completada);
    if (!r.ok()) {
        std::fprintf(stderr, "error: %s\n", qPrintable(r.texto()));
        return 1;
    }
    std::printf("%s\n",
        completada ? "Se terminó de colocar la recopilación anterior, que se había interrumpido."
                   : "No había ninguna recopilación interrumpida.");
    return 0;
}

bool leerRegistro(const QString &ruta, std::optional<RegistroEstaciones> *registro)
{
    registro->emplace();
    const Resultado r = RegistroEstaciones::leer(ruta, &**registro);
    if (!r.ok())
        std::fprintf(stderr, "estaciones: %s\n", qPrintable(r.texto()));
    return r.ok();
}

// Each station's custody and each problem, one line each; false when there is any problem.
bool imprimirCustodia(const InformeRecopilacion &r)
{
    for (const Custodia::FilaEstacion &e : r.estaciones)
        std::printf("estación %s: diario %s; %d guardados, %d recopilados, %d verificados, "
                    "%d alterados, %d faltantes, %d sobrantes\n",
            qPrintable(e.estacion), qPrintable(e.diario), e.guardados, e.recopilados, e.verificados,
            e.alterados, e.faltantes, e.sobrantes);
    for (const Custodia::Problema &p : r.problemasCustodia)
        std::printf("custodia: %s: %s%s%s\n", qPrintable(p.estacion), qPrintable(p.problema),
            p.libro.isEmpty() ? "" : ": ", qPrintable(p.libro));
    return r.problemasCustodia.empty();
}
// The collector's command line.
struct Opciones {
    QCommandLineParser parser;
    const QCommandLineOption completar { QStringLiteral("completar"),
        QStringLiteral("solo termina de colocar lo que dejó una recopilación interrumpida"),
        QStringLiteral("SALIDA.xlsx") };
    const QCommandLineOption claves { QStringLiteral("claves"),
        QStringLiteral("clave de respuestas: puntajes, análisis e informe"),
        QStringLiteral("CLAVES.xlsx") };
    const QCommandLineOption registro { QStringLiteral("estaciones"),
        QStringLiteral("registro de estaciones: verifica cada sello y cada diario"),
        QStringLiteral("REGISTRO") };

    Opciones()
    {
        parser.setApplicationDescription(
            QStringLiteral("Recopila los libros de resultados de una o más estaciones."));
        parser.addPositionalArgument(
            QStringLiteral("SALIDA.xlsx"), QStringLiteral("libro de salida"));
        parser.addPositionalArgument(QStringLiteral("CARPETA"),
            QStringLiteral("carpetas de las estaciones"), QStringLiteral("CARPETA..."));
        parser.addOptions({ completar, claves, registro });
    }
    // The output, at least one folder, and every option with its value; otherwise the usage.
    bool validas() const
    {
        const QStringList args = parser.positionalArguments();
        const bool bien = args.size() >= 2
            && args.first().endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive)
            && !(parser.isSet(claves) && parser.value(claves).isEmpty())
            && !(parser.isSet(registro) && parser.value(registro).isEmpty());
        if (!bien)
            std::fprintf(stderr, "%s", qPrintable(parser.helpText()));
        return bien;
    }
};
} // namespace

int main(int argc, char **argv)
{
    prepararProcesoDeRecopilacion();
    QGuiApplication app(argc, argv);
    Opciones o;
    if (const auto fin = leerOpciones(o.parser, app.arguments(), 0, -1))
        return *fin;
    const QStringList args = o.parser.positionalArguments();
    if (o.parser.isSet(o.completar))
        return completar(o.parser.value(o.completar), args);
    if (!o.validas())
        return 2;
    const QString rutaClaves = o.parser.value(o.claves);
    std::optional<RegistroEstaciones> registro;
    if (o.parser.isSet(o.registro) && !leerRegistro(o.parser.value(o.registro), &registro))
        return 1;
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
    const InformeRecopilacion r = recopilarResultados(args.first(), args.mid(1), progreso,
        claves ? &claves->claves : nullptr, rutaClaves, nullptr, registro ? &*registro : nullptr);
    if (mostrado)
        std::fflush(stderr);
    if (r.colocacionCompletada)
        std::printf("Se terminó de colocar la recopilación anterior, que se había interrumpido.\n");
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
    if (r.conSellos && !imprimirCustodia(r))
        return 4;
    return r.omitidos.isEmpty() ? 0 : 3;
}
