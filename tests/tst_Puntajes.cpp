// Collecting against a key: the scores, the item analysis and the report, checked against a
// computation of their own made by a program we did not write.
#include "Apoyo.h"
#include "ColumnasReporte.h"
#include "ContenidoDemo.h"
#include "InformePdf.h"
#include "LectorXlsx.h"
#include "LibrosDemo.h"
#include "PaqueteXlsx.h"
#include "Recopilacion.h"
#include "Verificacion.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPdfDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

Q_DECLARE_METATYPE(CausaFallo)

namespace {

// Reads the source workbooks and the key with openpyxl, computes every score, facility,
// discrimination (Pearson with the rest of the score), mean, deviation, KR-20 and standard
// error, the equipercentile equating (in exact fractions), the option correlations, the shares
// of the best and worst 27 % and the Mantel–Haenszel DIF by the definitions, and compares them
// with the collector's sheets. Prints "ok", the number of values compared and of questions of
// DIF category C, or every difference.
const char *const kCalculoAparte = R"(
import glob, math, os
from fractions import Fraction
carpeta, claves_ruta, salida_ruta = sys.argv[1:4]
MATERIAS = ['Matematica', 'Lengua']
claves = {}
for fila in openpyxl.load_workbook(claves_ruta, read_only=True)['Claves'].iter_rows(min_row=2, values_only=True):
    claves[(fila[0], int(fila[1]))] = list(fila[2:24])
alumnos = []  # (row values of Puntajes, answers)
for ruta in sorted(glob.glob(os.path.join(carpeta, 'Apl Examen - *.xlsx'))):
    hoja = openpyxl.load_workbook(ruta, read_only=True)['Reporte']
    for fila in hoja.iter_rows(min_row=1, max_row=2, max_col=32, values_only=True):
        if all(v is None for v in fila):
            continue
        materia, modelo = fila[8], int(fila[9])
        respuestas = [v if v in ('A', 'B', 'C', 'D') else None for v in fila[10:32]]
        clave = claves[(materia, modelo)]
        correctas = sum(1 for r, k in zip(respuestas, clave) if r == k)
        alumnos.append(([fila[0], fila[1], fila[6], fila[7], fila[2], str(fila[3]), materia, modelo,
                         correctas, 100.0 * correctas / 22, os.path.basename(ruta)], respuestas))

def histograma(grupo):
    h = [0] * 23
    for a in grupo:
        h[a[0][8]] += 1
    return h

def equiparar(hm, hr):
    nm, nr = sum(hm), sum(hr)
    Fr = [Fraction(sum(hr[:u + 1]), nr) for u in range(23)]
    e, debajo = [], Fraction(0)
    for x in range(23):
        P = 100 * (debajo + Fraction(hm[x], 2 * nm))
        debajo += Fraction(hm[x], nm)
        if P == 100:
            e.append(22.5)
            continue
        u = next(u for u in range(23) if 100 * Fr[u] > P)
        e.append(float((P / 100 - (Fr[u - 1] if u else 0)) / Fraction(hr[u], nr) + u) - 0.5)
    return e

def lineal(hm, hr):
    def momentos(h):
        n = sum(h); m = sum(x * c for x, c in enumerate(h)) / n
        return m, math.sqrt(sum(c * (x - m) ** 2 for x, c in enumerate(h)) / n)
    (mm, sm), (mr, sr) = momentos(hm), momentos(hr)
    return [mr + sr / sm * (x - mm) if sm > 0 else x - mm + mr for x in range(23)]

curvas = {}
for materia in MATERIAS:
    todos = [a for a in alumnos if a[0][6] == materia]
    for modelo in range(1, 7):
        grupo = [a for a in todos if a[0][7] == modelo]
        curvas[(materia, modelo)] = equiparar(histograma(grupo), histograma(todos)) if len(grupo) >= 200 \
            else lineal(histograma(grupo), histograma(todos)) if len(grupo) >= 10 else list(range(23))
for a, _ in alumnos:
    eq = curvas[(a[6], a[7])][a[8]]
    a.extend([eq, min(100.0, max(0.0, 100.0 * eq / 22))])

libro = openpyxl.load_workbook(salida_ruta, read_only=True)
def filas(nombre):
    return [list(f) for f in libro[nombre].iter_rows(min_row=2, values_only=True)]
diferencias = []
comparados = 0
def igual(donde, esperado, obtenido):
    global comparados
    comparados += 1
    if isinstance(esperado, float) or isinstance(obtenido, float):
        if esperado is None or obtenido is None or abs(esperado - obtenido) > 1e-6:
            diferencias.append('%s: %r en vez de %r' % (donde, obtenido, esperado))
    elif esperado != obtenido:
        diferencias.append('%s: %r en vez de %r' % (donde, obtenido, esperado))

puntajes = filas('Puntajes')
igual('Puntajes, filas', len(alumnos), len(puntajes))
for i, ((esperada, _), obtenida) in enumerate(zip(alumnos, puntajes)):
    for j, (e, o) in enumerate(zip(esperada, obtenida)):
        igual('Puntajes fila %d columna %d' % (i + 2, j + 1), e, o)

def pearson(x, y):
    n = len(x); mx = sum(x) / n; my = sum(y) / n
    sxy = sum((a - mx) * (b - my) for a, b in zip(x, y))
    sxx = sum((a - mx) ** 2 for a in x); syy = sum((b - my) ** 2 for b in y)
    return None if sxx == 0 or syy == 0 else sxy / math.sqrt(sxx * syy)

def mantel_haenszel(grupo, clave, q):
    ref = [a for a in grupo if a[0][4] == 1]
    foc = [a for a in grupo if a[0][4] == 2]
    if len(ref) < 100 or len(foc) < 100:
        return [None, None, None, 'muestra insuficiente (N = %d y %d)' % (len(ref), len(foc))]
    num = den = suma = esperada = var = pr = psqr = qs = 0.0
    for k in range(23):
        A = sum(1 for a in ref if a[0][8] == k and a[1][q] == clave[q]); B = sum(1 for a in ref if a[0][8] == k) - A
        C = sum(1 for a in foc if a[0][8] == k and a[1][q] == clave[q]); D = sum(1 for a in foc if a[0][8] == k) - C
        T = A + B + C + D
        if A + B == 0 or C + D == 0:
            continue
        num += A * D / T; den += B * C / T; suma += A; esperada += (A + B) * (A + C) / T
        p, q = (A + D) / T, (B + C) / T
        pr += p * A * D / T; psqr += (p * B * C + q * A * D) / T; qs += q * B * C / T
        var += (A + B) * (C + D) * (A + C) * (B + D) / (T * T * (T - 1))
    if num <= 0 or den <= 0 or var <= 0:
        return [None, None, None, None]
    delta = -2.35 * math.log(num / den)
    ee = 2.35 * math.sqrt(pr / (2 * num ** 2) + psqr / (2 * num * den) + qs / (2 * den ** 2))
    d = abs(suma - esperada)
    chi2 = (d - (0.5 if d >= 0.5 else 0)) ** 2 / var
    categoria = 'A' if abs(delta) < 1 or chi2 < 3.841 else \
        ('C' if abs(delta) >= 1.5 and (abs(delta) - 1) / ee > 1.645 else 'B')
    return [delta, ee, chi2, categoria]

def extremos(hist, arriba):
    n = sum(hist); g = (27 * n + 99) // 100
    peso, tomados = [Fraction(0)] * 23, 0
    for c in (range(22, -1, -1) if arriba else range(23)):
        if tomados >= g:
            break
        if hist[c]:
            k = min(hist[c], g - tomados); peso[c] = Fraction(k, hist[c]); tomados += k
    return peso, g

categorias_c = 0
items = iter(filas('Items'))
modelos = iter(filas('Modelos'))
curvas_obtenidas = iter(filas('Equiparación'))
for materia in MATERIAS:
    for modelo in range(1, 7):
        grupo = [a for a in alumnos if a[0][6] == materia and a[0][7] == modelo]
        if not grupo:
            continue
        n = len(grupo)
        clave = claves[(materia, modelo)]
        total = [a[0][8] for a in grupo]
        media = sum(total) / n
        varianza = sum((t - media) ** 2 for t in total) / n
        spq = 0.0
        for q in range(22):
            x = [1 if a[1][q] == clave[q] else 0 for a in grupo]
            p = sum(x) / n
            spq += p * (1 - p)
            resto = [t - xi for t, xi in zip(total, x)]
            esperado = [materia, modelo, q + 1, clave[q], n] + \
                [sum(1 for a in grupo if a[1][q] == o) for o in 'ABCD'] + \
                [sum(1 for a in grupo if a[1][q] is None), p, pearson(x, resto)]
            correlaciones = [pearson([1 if a[1][q] == o else 0 for a in grupo], resto) for o in 'ABCD']
            mejores, g = extremos(histograma(grupo), True)
            peores, _ = extremos(histograma(grupo), False)
            esperado += [None] + correlaciones
            esperado += [float(sum(mejores[a[0][8]] for a in grupo if a[1][q] == o) / g) for o in 'ABCD']
            esperado += [float(sum(peores[a[0][8]] for a in grupo if a[1][q] == o) / g) for o in 'ABCD']
            esperado += mantel_haenszel(grupo, clave, q)
            obtenido = next(items)
            for j, e in enumerate(esperado):
                if j == 12:
                    continue  # the observation, checked below
                o = obtenido[j] if obtenido[j] != '' else None
                igual('Items %s %d P%d columna %d' % (materia, modelo, q + 1, j + 1), e, o)
            observacion = obtenido[12] or ''
            if n < 100:
                # Too few students to flag anything: the observation says so, and no more.
                igual('Items %s %d P%d: observación' % (materia, modelo, q + 1),
                      'muestra insuficiente (N = %d)' % n, observacion)
                continue
            for o, r in zip('ABCD', correlaciones):
                y = [1 if a[1][q] == o else 0 for a in grupo]
                # The sign in integers: a correlation of exactly 0 names nothing.
                positiva = n * sum(a * b for a, b in zip(y, resto)) - sum(y) * sum(resto) > 0
                if o != clave[q] and r is not None and positiva:
                    igual('Items %s %d P%d: la opción %s nombrada' % (materia, modelo, q + 1, o), True,
                          ('la opción %s atrae' % o) in observacion)
            if esperado[-1] == 'C':
                categorias_c += 1
                igual('Items %s %d P%d: el DIF C nombrado' % (materia, modelo, q + 1), True, 'DIF de categoría C' in observacion)
        kr20 = 22 / 21 * (1 - spq / varianza) if n >= 2 and varianza > 0 else None
        se = math.sqrt(varianza) * math.sqrt(1 - kr20) if kr20 is not None else None
        esperado = [materia, modelo, n, media, math.sqrt(varianza), kr20, se]
        obtenido = next(modelos)
        for j, e in enumerate(esperado):
            igual('Modelos %s %d columna %d' % (materia, modelo, j + 1), e, obtenido[j])
        metodo = 'equipercentil' if n >= 200 else 'lineal (menos de 200 alumnos)' if n >= 10 \
            else 'sin equiparar (menos de 10 alumnos)'
        esperado = [materia, modelo, n, metodo] + [float(v) for v in curvas[(materia, modelo)]]
        obtenido = next(curvas_obtenidas)
        for j, e in enumerate(esperado):
            igual('Equiparación %s %d columna %d' % (materia, modelo, j + 1), e, obtenido[j])

clases = {}
for a, _ in alumnos:
    k = (a[0], a[1], a[2], a[3], MATERIAS.index(a[6]))
    clases.setdefault(k, []).append((a[9], a[12]))
obtenidas = filas('Establecimientos')
igual('Establecimientos, filas', len(clases), len(obtenidas))
for (k, porcentajes), o in zip(sorted(clases.items()), obtenidas):
    n = len(porcentajes)
    for j, e in enumerate([k[0], k[1], k[2], k[3], MATERIAS[k[4]], n, sum(p for p, _ in porcentajes) / n,
                           sum(p for _, p in porcentajes) / n]):
        igual('Establecimientos %s columna %d' % (k, j + 1), e, o[j])
print('\n'.join(diferencias[:20]) if diferencias else 'ok %d %d' % (comparados, categorias_c))
)";

QStringList hojasDe(const QString &ruta)
{
    const SalidaPython r = ejecutarPython(
        QStringLiteral("print('|'.join(openpyxl.load_workbook(sys.argv[1]).sheetnames))"),
        { ruta });
    return r.salida.trimmed().split(QLatin1Char('|'));
}

} // namespace

class TstPuntajes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_libros = m_dir.filePath(QStringLiteral("libros"));
        m_claves = m_dir.filePath(QStringLiteral("claves.xlsx"));
        const ResultadoLibrosDemo r = generarLibrosDemo(m_libros, clavesDemo(), 1300, 11);
        QVERIFY2(r.resultado.ok(), qPrintable(r.resultado.texto()));
        QCOMPARE(r.libros, 1300);
        const Resultado escrito = escribirClaves(m_claves, clavesDemo());
        QVERIFY2(escrito.ok(), qPrintable(escrito.texto()));
    }

    // Every number of "Puntajes", "Items", "Modelos" and "Establecimientos" as computed apart.
    void numerosComoUnCalculoAparte()
    {
        const LecturaClaves claves = leerClaves(m_claves);
        QVERIFY(claves.ok());
        const QString salida = m_dir.filePath(QStringLiteral("resultados.xlsx"));
        const InformeRecopilacion r = recopilarResultados(salida, { m_libros }, {}, &claves.claves);
        QVERIFY2(r.resultado.ok(), qPrintable(r.resultado.texto()));
        QCOMPARE(r.libros, 1300);
        QCOMPARE(r.puntuadas, r.filas);
        QVERIFY(r.omitidos.isEmpty());
        QCOMPARE(hojasDe(salida),
            QStringList({ "Resultados", "Puntajes", "Items", "Modelos", "Establecimientos",
                "Equiparación" }));
        const SalidaPython py
            = ejecutarPython(QString::fromUtf8(kCalculoAparte), { m_libros, m_claves, salida });
        QVERIFY2(py.ok, qPrintable(py.error));
        QVERIFY2(py.salida.startsWith(QStringLiteral("ok ")), qPrintable(py.salida));
        qInfo("%s valores comparados", qPrintable(py.salida.mid(3).trimmed().section(' ', 0, 0)));
        // Every model of both subjects has students: 12 × (22 items × 27 columns + 7 + 27) at
        // least.
        QVERIFY(py.salida.mid(3).trimmed().section(' ', 0, 0).toInt() > 12 * (22 * 27 + 7 + 27));
    }

    // The report opens, every page has something drawn, the charts are there with their flagged
    // questions, and the texts keep their accents.
    void informeConGraficos()
    {
        const LecturaClaves claves = leerClaves(m_claves);
        const QString salida = m_dir.filePath(QStringLiteral("informe.xlsx"));
        const InformeRecopilacion r = recopilarResultados(salida, { m_libros }, {}, &claves.claves);
        QVERIFY2(r.resultado.ok(), qPrintable(r.resultado.texto()));
        QCOMPARE(r.salidaPdf, m_dir.filePath(QStringLiteral("informe.pdf")));
        QPdfDocument pdf;
        QCOMPARE(pdf.load(r.salidaPdf), QPdfDocument::Error::None);
        // The table of models, one page per subject and model, the classes.
        QVERIFY2(pdf.pageCount() >= 14, qPrintable(QString::number(pdf.pageCount())));
        int paginasConMarcadas = 0;
        for (int p = 0; p < pdf.pageCount(); ++p) {
            const QImage pagina
                = pdf.render(p, QSize(595, 842)).convertToFormat(QImage::Format_RGB32);
            int dibujados = 0;
            int marcados = 0;
            for (int y = 0; y < pagina.height(); ++y) {
                for (int x = 0; x < pagina.width(); ++x) {
                    const QRgb c = pagina.pixel(x, y);
                    dibujados += c != qRgb(255, 255, 255);
                    marcados += qAbs(qRed(c) - colorMarcada().red()) < 8
                        && qAbs(qGreen(c) - colorMarcada().green()) < 8
                        && qAbs(qBlue(c) - colorMarcada().blue()) < 8;
                }
            }
            QVERIFY2(
                dibujados > 2000, qPrintable(QStringLiteral("página %1 en blanco").arg(p + 1)));
            paginasConMarcadas += marcados > 20;
            QVERIFY(pdf.getAllText(p).text().contains(
                QStringLiteral("Página %1 de %2").arg(p + 1).arg(pdf.pageCount())));
        }
        // Questions 7 (luck) and 13 (the best prefer another option) are flagged in every model.
        QVERIFY2(paginasConMarcadas >= 12, qPrintable(QString::number(paginasConMarcadas)));
        const QString primera = pdf.getAllText(0).text() + pdf.getAllText(1).text();
        QVERIFY2(primera.contains(QStringLiteral("Matemática"))
                && primera.contains(QStringLiteral("Desvío")),
            qPrintable(primera));
    }

    // No output takes the place of an input: the key, under any spelling of its path, or a file
    // inside a folder being read (a station's formula table, say); nor goes where there is no
    // folder for it. Nothing changes.
    void salidaQueEsUnaEntrada_data()
    {
        QTest::addColumn<QString>("salida"); // relative to the folder of the key and the station
        QTest::addColumn<QString>("motivo");
        QTest::addColumn<CausaFallo>("causa");
        const CausaFallo entrada = CausaFallo::SalidaNoPermitida;
        QTest::newRow("the key") << "claves.xlsx"
                                 << "es el libro de claves" << entrada;
        QTest::newRow("the key, another spelling") << "estacion/../claves.xlsx"
                                                   << "es el libro de claves" << entrada;
        QTest::newRow("the station's formula table")
            << "estacion/Imagenes/Tabla de formulas.xlsx"
            << "queda dentro de la carpeta que se lee" << entrada;
        QTest::newRow("beside the workbooks read")
            << "estacion/r.xlsx"
            << "queda dentro de la carpeta que se lee" << entrada;
        QTest::newRow("no folder") << "falta/r.xlsx"
                                   << "no existe la carpeta de la salida" << CausaFallo::SinCarpeta;
        QTest::newRow("a file where the folder goes")
            << "claves.xlsx/r.xlsx"
            << "claves.xlsx hay un archivo" << CausaFallo::SinCarpeta;
    }
    void salidaQueEsUnaEntrada()
    {
        QFETCH(QString, salida);
        QFETCH(QString, motivo);
        QTemporaryDir carpeta;
        const QDir dir(carpeta.path());
        const QString claves = dir.filePath("claves.xlsx");
        QVERIFY(QFile::copy(m_claves, claves));
        const QString tabla = dir.filePath("estacion/Imagenes/Tabla de formulas.pdf");
        QVERIFY(dir.mkpath("estacion/Imagenes"));
        crearArchivo(tabla, "%PDF-1.4 la tabla");
        const QByteArray antesClaves = huella(claves);
        const QByteArray antesTabla = huella(tabla);
        const LecturaClaves leidas = leerClaves(claves);
        const InformeRecopilacion r = recopilarResultados(
            dir.filePath(salida), { dir.filePath("estacion") }, {}, &leidas.claves, claves);
        QVERIFY2(r.resultado.detalle.contains(motivo), qPrintable(r.resultado.detalle));
        QTEST(r.resultado.causa, "causa");
        QCOMPARE(huella(claves), antesClaves);
        QCOMPARE(huella(tabla), antesTabla);
        QCOMPARE(QDir(dir.filePath("estacion/Imagenes")).entryList(QDir::Files | QDir::Hidden),
            QStringList({ "Tabla de formulas.pdf" }));
    }

    // The outputs are one set: when any of them cannot be written, the run says so and the
    // set of the run before stays as it was, byte for byte, with nothing staged left beside it.
    void salidaQueNoSePuedeEscribir_data()
    {
        QTest::addColumn<QString>("estorbo");
        QTest::newRow("a folder where the report goes") << "r.pdf";
        QTest::newRow("a folder where the CSV goes") << "r.csv";
    }
    void salidaQueNoSePuedeEscribir()
    {
        QFETCH(QString, estorbo);
        QTemporaryDir carpeta;
        const QDir dir(carpeta.path());
        const LecturaClaves claves = leerClaves(m_claves);
        QVERIFY(recopilarResultados(
            dir.filePath(QStringLiteral("r.xlsx")), { m_libros }, {}, &claves.claves)
                    .resultado.ok());
        QVERIFY(QFile::remove(dir.filePath(estorbo)));
        QVERIFY(dir.mkdir(estorbo));
        QMap<QString, QByteArray> antes;
        for (const QString &nombre : dir.entryList(QDir::Files | QDir::Hidden))
            antes[nombre] = huella(dir.filePath(nombre));
        const InformeRecopilacion r = recopilarResultados(
            dir.filePath(QStringLiteral("r.xlsx")), { m_libros }, {}, &claves.claves);
        QVERIFY2(r.resultado.detalle.startsWith(
                     QStringLiteral("no se puede escribir ") + dir.filePath(estorbo)),
            qPrintable(r.resultado.detalle));
        QCOMPARE(r.resultado.causa, CausaFallo::NoEsArchivo);
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), antes.keys());
        for (auto it = antes.begin(); it != antes.end(); ++it)
            QCOMPARE(huella(dir.filePath(it.key())), it.value());
    }

    // Without a key the collector writes what it always wrote: one sheet, no report.
    void sinClavesComoSiempre()
    {
        const QString salida = m_dir.filePath(QStringLiteral("sin-claves.xlsx"));
        const InformeRecopilacion r = recopilarResultados(salida, { m_libros });
        QVERIFY2(r.resultado.ok(), qPrintable(r.resultado.texto()));
        QCOMPARE(r.puntuadas, 0);
        QVERIFY(r.salidaPdf.isEmpty());
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("sin-claves.pdf"))));
        QCOMPARE(hojasDe(salida), QStringList({ "Resultados" }));
    }

    // A row whose model the key cannot know is gathered, not scored, and said so.
    void modeloFueraDeLasClaves()
    {
        QTemporaryDir carpeta;
        CeldasHoja celdas;
        celdas[{ 1, columnas::kCodEmpresa }] = Celda::deTexto(QStringLiteral("EE0000001"));
        celdas[{ 1, columnas::kMateria }] = Celda::deTexto(QStringLiteral("Matematica"));
        celdas[{ 1, columnas::kModelo }] = Celda::deNumero(9);
        const QString libro
            = QDir(carpeta.path()).filePath(QStringLiteral("Apl Examen - EE0000001_M_1A_1_1.xlsx"));
        escribirLibroDePrueba(libro, celdas);
        const LecturaClaves claves = leerClaves(m_claves);
        QTemporaryDir salida;
        const InformeRecopilacion r
            = recopilarResultados(QDir(salida.path()).filePath(QStringLiteral("r.xlsx")),
                { carpeta.path() }, {}, &claves.claves);
        QVERIFY2(r.resultado.ok(), qPrintable(r.resultado.texto()));
        QCOMPARE(r.filas, 1);
        QCOMPARE(r.puntuadas, 0);
        QCOMPARE(r.omitidos,
            QStringList { libro
                + ": la fila de Matematica tiene un modelo que no está en las claves; no se "
                  "puntúa" });
    }

    // The command line refuses a key with errors, names them, and writes nothing.
    void clavesConErroresDetienenLaRecopilacion()
    {
        QTemporaryDir carpeta;
        Claves incompletas = clavesDemo();
        incompletas.poner(Asignatura::Lengua, 2, 5, 'X');
        const QString ruta = QDir(carpeta.path()).filePath(QStringLiteral("claves.xlsx"));
        QVERIFY(escribirClaves(ruta, incompletas).ok());
        QProcess p;
        const QString salida = QDir(carpeta.path()).filePath(QStringLiteral("r.xlsx"));
        p.start(QStringLiteral(RECOPILAR_RESULTADOS),
            { salida, m_libros, QStringLiteral("--claves"), ruta });
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        const QStringList lineas
            = QString::fromUtf8(p.readAllStandardError()).split(QLatin1Char('\n'));
        QCOMPARE(lineas.filter(QRegularExpression(QStringLiteral("^claves: "))),
            QStringList { QStringLiteral("claves: G9: \"X\" no es una letra de A a D") });
        QVERIFY(!QFile::exists(salida));
    }

    // The demo key is the right option of every demo picture, and never lands in a station.
    void clavesDeLaDemostracion()
    {
        const QString estacion = m_dir.filePath(QStringLiteral("estacion"));
        QVERIFY(generarContenido(estacion).resultado.ok());
        const QString fuera = m_dir.filePath(QStringLiteral("claves-demo.xlsx"));
        QVERIFY(escribirClavesDemo(estacion, fuera).ok());
        const LecturaClaves leidas = leerClaves(fuera);
        QVERIFY(leidas.ok());
        for (Asignatura a : { Asignatura::Matematica, Asignatura::Lengua }) {
            for (int m = 1; m <= kModelos; ++m) {
                for (int q = 1; q <= kPreguntas; ++q)
                    QCOMPARE(leidas.claves.letra(a, m, q), letraCorrectaDemo(a, m, q));
            }
        }
        const QString dentro = QDir(estacion).filePath(QStringLiteral("Imagenes/claves.xlsx"));
        QCOMPARE(escribirClavesDemo(estacion, dentro).causa, CausaFallo::SalidaNoPermitida);
        QVERIFY(!QFile::exists(dentro));
        // Nor in a station folder not made yet.
        const QString nueva = m_dir.filePath(QStringLiteral("otra-estacion"));
        QCOMPARE(escribirClavesDemo(nueva, nueva + QStringLiteral("/claves.xlsx")).causa,
            CausaFallo::SalidaNoPermitida);

        // One put there by hand is found by the content check.
        QVERIFY(QFile::copy(fuera, QDir(estacion).filePath(QStringLiteral("respuestas.xlsx"))));
        const InformeContenido informe = verificarContenido(estacion);
        QVERIFY2(informe.problemas.join('\n').contains(QStringLiteral(
                     "respuestas.xlsx: es un libro de claves; no debe estar en la estación")),
            qPrintable(informe.problemas.join('\n')));
    }

private:
    QTemporaryDir m_dir;
    QString m_libros;
    QString m_claves;
};

QTEST_MAIN(TstPuntajes)
#include "tst_Puntajes.moc"
