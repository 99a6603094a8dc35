// A province's exam day: workbooks of made-up students collected, scored and analysed against
// their key, timed per workbook, with the peak of resident memory; and a plain openpyxl merge
// of a sample of the same workbooks in the same run, for the ratio.
//   bench_recopilacion [LIBROS=100000] [MUESTRA_OPENPYXL=2000] [CARPETA]
// The workbooks are generated once into CARPETA (by default in the system's temporary folder)
// and reused by later runs.
#include "Claves.h"
#include "ContenidoDemo.h"
#include "Diario.h"
#include "LibrosDemo.h"
#include "Llaves.h"
#include "Recopilacion.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
long picoDeMemoriaKiB()
{
    QFile estado(QStringLiteral("/proc/self/status"));
    if (!estado.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &linea : estado.readAll().split('\n')) {
        if (linea.startsWith("VmHWM:"))
            return linea.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

const char *const kFusionOpenpyxl = R"(
import sys, time, glob, openpyxl
libros = sorted(glob.glob(sys.argv[1] + '/Apl Examen - *.xlsx'))[:int(sys.argv[2])]
inicio = time.monotonic()
salida = openpyxl.Workbook(); hoja = salida.active; hoja.title = 'Resultados'
for ruta in libros:
    ws = openpyxl.load_workbook(ruta)['Reporte']
    for fila in ws.iter_rows(min_row=1, max_row=2, max_col=32, values_only=True):
        if any(v is not None for v in fila):
            hoja.append(list(fila) + [ruta.rsplit('/', 1)[-1]])
salida.save(sys.argv[3])
print(len(libros), time.monotonic() - inicio)
)";
// The same number of workbooks, sealed by a station prepared for it, gathered without and with
// the register: what verifying every seal and reconciling the journal costs. Seconds with the
// register, or -1 when something failed.
double medirSellos(int libros, const Claves &claves)
{
    const QString carpeta
        = QDir(QDir::tempPath())
              .filePath(QStringLiteral("estacion-libros-sellados-%1").arg(libros));
    const QString registro = carpeta + QStringLiteral(".registro.txt");
    const QString marca = QDir(carpeta).filePath(QStringLiteral(".completo"));
    if (!QFile::exists(marca)) {
        // The station's private key is needed only while the workbooks are made.
        QTemporaryDir datos;
        qputenv("XDG_DATA_HOME", QFile::encodeName(datos.path()));
        QDir(carpeta).removeRecursively();
        QFile::remove(registro);
        QDir().mkpath(carpeta);
        Resultado motivo;
        if (!prepararLlaves(carpeta, QStringLiteral("Medición"), registro).ok())
            return -1;
        const auto sellador = SelladorEstacion::cargar(carpeta, &motivo);
        QElapsedTimer reloj;
        reloj.start();
        const ResultadoLibrosDemo r
            = generarLibrosDemo(carpeta, claves, libros, 2026, sellador.get());
        if (!sellador || !r.resultado.ok()) {
            std::fprintf(stderr, "error: %s\n", qPrintable(r.resultado.texto()));
            return -1;
        }
        QFile(marca).open(QIODevice::WriteOnly);
        std::printf("%d libros sellados generados en %s en %.1f s\n", r.libros, qPrintable(carpeta),
            reloj.elapsed() / 1000.0);
    }
    RegistroEstaciones estaciones;
    if (!RegistroEstaciones::leer(registro, &estaciones).ok())
        return -1;
    // Three runs of each, in turns, so that a busier stretch of the machine costs both alike;
    // the medians are compared.
    QTemporaryDir salida;
    std::vector<double> segundos[2];
    InformeRecopilacion informe;
    for (int vuelta = 0; vuelta < 3; ++vuelta) {
        for (int conRegistro : { 0, 1 }) {
            QElapsedTimer reloj;
            reloj.start();
            informe = recopilarResultados(salida.filePath(QStringLiteral("sellados.xlsx")),
                { carpeta }, {}, &claves, {}, nullptr, conRegistro ? &estaciones : nullptr);
            segundos[conRegistro].push_back(reloj.elapsed() / 1000.0);
            if (!informe.resultado.ok())
                return -1;
        }
    }
    for (auto &s : segundos)
        std::sort(s.begin(), s.end());
    std::printf(
        "libros sellados, sin y con --estaciones (medianas de 3): %.1f s y %.1f s (%+.1f %%; "
        "objetivo <= +10 %%); %d filas verificadas, %zu problemas de custodia\n",
        segundos[0][1], segundos[1][1], 100.0 * (segundos[1][1] / segundos[0][1] - 1),
        informe.verificadas, informe.problemasCustodia.size());
    return segundos[1][1];
}

} // namespace

int main(int argc, char **argv)
{
    prepararProcesoDeRecopilacion();
    QGuiApplication app(argc, argv);
    const int libros = argc > 1 ? atoi(argv[1]) : 100000;
    const int muestra = argc > 2 ? atoi(argv[2]) : 2000;
    const QString carpeta = argc > 3
        ? QString::fromLocal8Bit(argv[3])
        : QDir(QDir::tempPath()).filePath(QStringLiteral("estacion-libros-%1").arg(libros));
    const Claves claves = clavesDemo();
    const QString marca = QDir(carpeta).filePath(QStringLiteral(".completo"));
    if (!QFile::exists(marca)) {
        QElapsedTimer reloj;
        reloj.start();
        const ResultadoLibrosDemo r = generarLibrosDemo(carpeta, claves, libros, 2026);
        if (!r.resultado.ok()) {
            std::fprintf(stderr, "error: %s\n", qPrintable(r.resultado.texto()));
            return 1;
        }
        QFile(marca).open(QIODevice::WriteOnly);
        std::printf("%d libros generados en %s en %.1f s\n", r.libros, qPrintable(carpeta),
            reloj.elapsed() / 1000.0);
    }

    const double segundosSellos = medirSellos(libros, claves);
    if (segundosSellos < 0)
        return 1;

    // The floor: merely reading every workbook's bytes, as the collector's first step does.
    QElapsedTimer lectura;
    lectura.start();
    qint64 bytes = 0;
    int leidos = 0;
    for (QDirIterator it(carpeta, { QStringLiteral("Apl Examen - *.xlsx") }, QDir::Files);
         it.hasNext();) {
        QFile f(it.next());
        if (f.open(QIODevice::ReadOnly)) {
            bytes += f.readAll().size();
            ++leidos;
        }
    }
    const double segundosLectura = lectura.elapsed() / 1000.0;
    std::printf("solo leer los bytes de los %d libros (%.0f MiB): %.1f s\n", leidos,
        bytes / 1048576.0, segundosLectura);

    QTemporaryDir salida;
    const long memoriaAntes = picoDeMemoriaKiB();
    QElapsedTimer reloj;
    reloj.start();
    const InformeRecopilacion r = recopilarResultados(
        salida.filePath(QStringLiteral("resultados.xlsx")), { carpeta }, {}, &claves);
    const double segundos = reloj.elapsed() / 1000.0;
    if (!r.resultado.ok()) {
        std::fprintf(stderr, "error: %s\n", qPrintable(r.resultado.detalle));
        return 1;
    }
    const long memoriaDespues = picoDeMemoriaKiB();
    std::printf(
        "recopilación con claves: %d libros, %d filas puntuadas, %.1f s (%.3f ms por libro), "
        "pico de memoria %ld MiB (%ld MiB antes)\n",
        r.libros, r.puntuadas, segundos, 1000.0 * segundos / r.libros, memoriaDespues / 1024,
        memoriaAntes / 1024);

    for (const auto &[fase, s] : r.fases)
        std::printf("  %s: %.2f s\n", qPrintable(fase), s);
    std::printf(
        "  razón con solo leer los bytes: %.1f\n", segundos / std::max(segundosLectura, 0.001));

    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral("-c"), QLatin1String(kFusionOpenpyxl), carpeta, QString::number(muestra),
            salida.filePath(QStringLiteral("openpyxl.xlsx")) });
    if (!python.waitForFinished(3600 * 1000) || python.exitCode() != 0) {
        std::fprintf(stderr, "openpyxl: %s\n", python.readAllStandardError().constData());
        return 1;
    }
    const QList<QByteArray> medida = python.readAllStandardOutput().trimmed().split(' ');
    const double msOpenpyxl = 1000.0 * medida.value(1).toDouble() / medida.value(0).toDouble();
    const double razon = msOpenpyxl / (1000.0 * segundos / r.libros);
    std::printf(
        "openpyxl, solo la fusión de %d libros: %.3f ms por libro; razón %.1f (objetivo >= 20)\n",
        medida.value(0).toInt(), msOpenpyxl, razon);
    const bool cumple = segundos <= 30 && razon >= 20;
    std::printf("%s\n", cumple ? "objetivos cumplidos" : "OBJETIVOS NO CUMPLIDOS");
    return cumple ? 0 : 1;
}
