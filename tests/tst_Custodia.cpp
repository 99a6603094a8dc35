#include "Apoyo.h"
#include "ContenidoDemo.h"
#include "Diario.h"
#include "Estacion.h"
#include "LectorXlsx.h"
#include "Llaves.h"
#include "PaqueteXlsx.h"
#include "PropiedadesXlsx.h"
#include "Reporte.h"

#include <QFile>
#include <QProcess>
#include <QTest>

namespace {

// One station with its key, and its students' sealed workbooks: A, B and C took both subjects;
// A took mathematics twice, and the bytes of A's workbook after the first time are kept.
struct Estacion {
    explicit Estacion(const QString &nombre, const QString &registro)
    {
        QVERIFY(prepararLlaves(banco.carpeta(), nombre, registro).ok());
        Resultado motivo;
        sellador = SelladorEstacion::cargar(banco.carpeta(), &motivo);
        QVERIFY2(sellador, qPrintable(motivo.texto()));
        banco.hoja.sellarCon(sellador.get());
    }
    // The student with code `dni` saves `asignatura` with every answer `letra`.
    void guardar(const QString &dni, Asignatura asignatura, const QString &letra)
    {
        Sesion s = alumnoDePrueba();
        s.DNI = dni;
        Crear_Excel(banco.entorno, s);
        s.Materia = nombreMateria(asignatura);
        for (int q = 1; q <= kPreguntas; ++q)
            (asignatura == Asignatura::Matematica ? s.RespMat : s.RespLeng)[q] = letra;
        const Resultado r = guardarFilaReporte(banco.entorno, s, asignatura);
        QVERIFY2(r.ok(), qPrintable(r.texto()));
    }
    QString libro(const QString &dni) const
    {
        return QDir(banco.carpeta())
            .filePath(QStringLiteral("Apl Examen - EE0310002_T_3A_2_%1.xlsx").arg(dni));
    }

    Banco banco;
    std::unique_ptr<SelladorEstacion> sellador;
};

QByteArray leer(const QString &ruta)
{
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void escribir(const QString &ruta, const QByteArray &bytes)
{
    QFile f(ruta);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

CeldasFila filaDe(const QString &libro, int fila)
{
    CeldasHoja hoja;
    [&] { QVERIFY(leerReporteDeBytes(leer(libro), &hoja).ok()); }();
    CeldasFila celdas;
    for (const auto &[donde, celda] : hoja) {
        if (donde.first == fila)
            celdas[donde.second] = celda;
    }
    return celdas;
}

// What a spreadsheet program does when a person changes a row: the row is replaced, the rest of
// the workbook (its custom properties among it) is kept.
void ponerFila(const QString &libro, int fila, const CeldasFila &celdas)
{
    QByteArray nuevo;
    QVERIFY(
        reemplazarFilaEnLibro(leer(libro), kNombreHojaReporte(), fila, 32, celdas, &nuevo).ok());
    escribir(libro, nuevo);
}

QString selloDe(const QString &libro, int fila)
{
    PropiedadesXlsx p;
    [&] { QVERIFY(leerPropiedades(PaqueteXlsx(leer(libro)), &p).ok()); }();
    return p[propiedadDelSello(fila)].valor;
}

void quitarLineaDelDiario(const QString &carpeta, int desdeElFinal)
{
    QByteArrayList lineas = leer(rutaDiario(carpeta)).split('\n');
    lineas.removeLast(); // after the last line end
    lineas.removeAt(lineas.size() - desdeElFinal);
    escribir(rutaDiario(carpeta), lineas.join('\n') + '\n');
}

// "archivo|fila" → the verdict in "Sello"; the problems of "Custodia", each one line.
struct Salida {
    int codigo = -1;
    QMap<QString, QString> sellos;
    QStringList custodia;
    QString texto;
};

Salida recopilar(const QString &carpeta, const QString &registro, const QString &destino)
{
    Salida s;
    QProcess p;
    p.start(QStringLiteral(RECOPILAR_RESULTADOS),
        { QDir(destino).filePath(QStringLiteral("r.xlsx")), carpeta, QStringLiteral("--estaciones"),
            registro });
    if (!p.waitForFinished(60000))
        return s;
    s.codigo = p.exitCode();
    s.texto = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    const QByteArray bytes = leer(QDir(destino).filePath(QStringLiteral("r.xlsx")));
    CeldasHoja hoja;
    if (!leerHojaDeBytes(bytes, QStringLiteral("Resultados"), &hoja).ok())
        return s;
    for (const auto &[donde, celda] : hoja) {
        if (donde.first > 1 && donde.second == 34) {
            const QString archivo = hoja[{ donde.first, 33 }].texto;
            const int fila = hoja[{ donde.first, 9 }].texto == QStringLiteral("Lengua") ? 2 : 1;
            s.sellos.insert(
                QStringLiteral("%1|%2")
                    .arg(archivo.section(QLatin1Char('_'), -1).section(QLatin1Char('.'), 0, 0))
                    .arg(fila),
                celda.texto);
        }
    }
    CeldasHoja custodia;
    if (leerHojaDeBytes(bytes, QStringLiteral("Custodia"), &custodia).ok()) {
        for (const auto &[donde, celda] : custodia) {
            if (donde.first > 1 && donde.second == 2 && celda.tipo == Celda::Tipo::Texto
                && celda.texto != QStringLiteral("Problema"))
                s.custodia << celda.texto + QLatin1Char(' ') + custodia[{ donde.first, 3 }].texto;
        }
    }
    return s;
}

using Alteracion = std::function<void(Estacion &, const QString &registro)>;

} // namespace

class TestCustodia : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The private keys of these stations live here, never in the user's folder.
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_datos.path()));
    }

    // A seal's line is read only in the one shape a station writes: nine fields, numbers as
    // written, a station and a signature.
    void lineasDeSello_data()
    {
        QTest::addColumn<QByteArray>("linea");
        QTest::addColumn<bool>("esSello");
        const QByteArray h(64, 'a');
        const auto linea = [&h](const QByteArray &secuencia, const QByteArray &fila,
                               const QByteArray &estacion = "Sala 1",
                               const QByteArray &firma = "Zmlyb"
                                                         "WE=") {
            return QByteArrayList { "S1", estacion, secuencia, "2026-12-11T10:00:00Z",
                "Apl Examen - x.xlsx", fila, h, "-", firma }
                .join('\t');
        };
        QTest::newRow("la de una estación") << linea("7", "2") << true;
        QTest::newRow("un campo de menos") << linea("7", "2").chopped(9) << false;
        QTest::newRow("un campo de más") << linea("7", "2") + "\tx" << false;
        QTest::newRow("un tabulador al final") << linea("7", "2") + '\t' << false;
        QTest::newRow("número con cero delante") << linea("07", "2") << false;
        QTest::newRow("número con signo") << linea("+7", "2") << false;
        QTest::newRow("fila con espacio") << linea("7", " 2") << false;
        QTest::newRow("guardado cero") << linea("0", "2") << false;
        QTest::newRow("sin estación") << linea("7", "2", "") << false;
        QTest::newRow("sin firma") << linea("7", "2", "Sala 1", "") << false;
        QTest::newRow("otra versión") << "S2" + linea("7", "2").mid(2) << false;
        QTest::newRow("vacía") << QByteArray() << false;
    }

    void lineasDeSello()
    {
        QFETCH(QByteArray, linea);
        QFETCH(bool, esSello);
        const auto campos = camposDeSello(linea);
        QCOMPARE(campos.has_value(), esSello);
        QCOMPARE(Sello::deLinea(QByteArrayView(linea)).has_value(), esSello);
        if (esSello) {
            QCOMPARE(campos->secuencia, 7);
            QCOMPARE(campos->archivoYFila, QByteArrayView("Apl Examen - x.xlsx\t2"));
            QCOMPARE(campos->mensaje.size(), linea.lastIndexOf('\t'));
        }
    }

    // Every way of tampering with results on their way, and what the collection says of it:
    // "101|1" is student 101's mathematics row in "Sello", "~text" a line of "Custodia". Every
    // row not named must be "verificado".
    void alteraciones_data()
    {
        QTest::addColumn<Alteracion>("alterar");
        QTest::addColumn<QStringList>("esperado");
        const QString a = QStringLiteral("101");
        QTest::newRow("nada") << Alteracion([](Estacion &, const QString &) {}) << QStringList();
        QTest::newRow("una respuesta cambiada") << Alteracion([a](Estacion &e, const QString &) {
            CeldasFila fila = filaDe(e.libro(a), 1);
            fila[12] = Celda::deTexto(QStringLiteral("D"));
            ponerFila(e.libro(a), 1, fila);
        }) << QStringList { QStringLiteral("101|1=alterado"), QStringLiteral("~alterado|101") };
        QTest::newRow("filas de dos alumnos cambiadas") << Alteracion([](Estacion &e,
                                                                          const QString &) {
            const CeldasFila b = filaDe(e.libro(QStringLiteral("102")), 2);
            ponerFila(e.libro(QStringLiteral("102")), 2, filaDe(e.libro(QStringLiteral("103")), 2));
            ponerFila(e.libro(QStringLiteral("103")), 2, b);
        }) << QStringList { QStringLiteral("102|2=alterado"), QStringLiteral("103|2=alterado") };
        QTest::newRow("libro con el nombre de otro alumno")
            << Alteracion([a](Estacion &e, const QString &) {
                   QVERIFY(QFile::rename(e.libro(a), e.libro(QStringLiteral("555"))));
               })
            << QStringList { QStringLiteral("555|1=sello inválido"),
                   QStringLiteral("555|2=sello inválido"), QStringLiteral("~faltante|101") };
        QTest::newRow("sello copiado de otro libro") << Alteracion(
            [a](Estacion &e, const QString &) {
                QByteArray nuevo;
                QVERIFY(conPropiedad(leer(e.libro(a)), propiedadDelSello(2),
                    selloDe(e.libro(QStringLiteral("102")), 2), &nuevo)
                            .ok());
                escribir(e.libro(a), nuevo);
            }) << QStringList { QStringLiteral("101|2=sello inválido") };
        QTest::newRow("libro borrado") << Alteracion([](Estacion &e, const QString &) {
            QVERIFY(QFile::remove(e.libro(QStringLiteral("102"))));
        }) << QStringList { QStringLiteral("~faltante|102") };
        QTest::newRow("copia anterior puesta en su lugar")
            << Alteracion(
                   [this, a](Estacion &e, const QString &) { escribir(e.libro(a), m_anterior); })
            << QStringList { QStringLiteral("101|1=reemplazado por una copia anterior"),
                   QStringLiteral("~faltante|101") };
        QTest::newRow("guardado quitado del diario")
            << Alteracion(
                   [](Estacion &e, const QString &) { quitarLineaDelDiario(e.banco.carpeta(), 3); })
            << QStringList { QStringLiteral("~diario alterado") };
        QTest::newRow("diario cortado") << Alteracion([](Estacion &e, const QString &) {
            quitarLineaDelDiario(e.banco.carpeta(), 1);
        }) << QStringList { QStringLiteral("~diario alterado") };
        QTest::newRow("diario de otra estación") << Alteracion([](Estacion &e,
                                                                   const QString &registro) {
            Estacion otra(QStringLiteral("Sala 2"), registro);
            otra.guardar(QStringLiteral("900"), Asignatura::Lengua, QStringLiteral("B"));
            QVERIFY(QFile::remove(rutaDiario(e.banco.carpeta())));
            QVERIFY(QFile::copy(rutaDiario(otra.banco.carpeta()), rutaDiario(e.banco.carpeta())));
        }) << QStringList { QStringLiteral("~diario alterado: es de la estación Sala 2") };
        QTest::newRow("registro sin la estación")
            << Alteracion([](Estacion &, const QString &registro) {
                   QTemporaryDir otra;
                   QVERIFY(prepararLlaves(
                       otra.path(), QStringLiteral("Sala 9"), registro + QStringLiteral(".otro"))
                               .ok());
                   QVERIFY(QFile::remove(registro));
                   QVERIFY(QFile::rename(registro + QStringLiteral(".otro"), registro));
               })
            << QStringList { QStringLiteral("*=estación desconocida"),
                   QStringLiteral("~estación desconocida") };
        // The same save twice is one save; two different ones with one number are a fork.
        QTest::newRow("diario con cada línea dos veces") << Alteracion(
            [](Estacion &e, const QString &) {
                const QByteArray diario = leer(rutaDiario(e.banco.carpeta()));
                escribir(rutaDiario(e.banco.carpeta()), diario + diario);
            }) << QStringList();
        QTest::newRow("dos guardados con un número") << Alteracion(
            [](Estacion &e, const QString &) {
                const QByteArray diario = leer(rutaDiario(e.banco.carpeta()));
                QByteArrayList ultima = diario.split('\n').at(diario.count('\n') - 1).split('\t');
                ultima[3] = "2020-01-01T00:00:00Z";
                escribir(rutaDiario(e.banco.carpeta()), diario + ultima.join('\t') + '\n');
            }) << QStringList { QStringLiteral("~diario alterado: dos guardados distintos") };
        // A power cut while the journal was written leaves half a line: the chain goes on from
        // the last whole one, and nothing is wrong.
        QTest::newRow("línea cortada en el diario") << Alteracion([](Estacion &e, const QString &) {
            QFile diario(rutaDiario(e.banco.carpeta()));
            QVERIFY(diario.open(QIODevice::Append));
            diario.write("S1\tSala 1\t9");
            diario.close();
            e.guardar(QStringLiteral("104"), Asignatura::Lengua, QStringLiteral("A"));
        }) << QStringList();
    }

    void alteraciones()
    {
        QFETCH(Alteracion, alterar);
        QFETCH(QStringList, esperado);
        QTemporaryDir personal;
        const QString registro = personal.filePath(QStringLiteral("registro.txt"));
        Estacion e(QStringLiteral("Sala 1"), registro);
        e.guardar(QStringLiteral("101"), Asignatura::Matematica, QStringLiteral("A"));
        m_anterior = leer(e.libro(QStringLiteral("101")));
        e.guardar(QStringLiteral("101"), Asignatura::Matematica, QStringLiteral("B"));
        for (const QString &dni :
            { QStringLiteral("101"), QStringLiteral("102"), QStringLiteral("103") }) {
            if (dni != QStringLiteral("101"))
                e.guardar(dni, Asignatura::Matematica, QStringLiteral("C"));
            e.guardar(dni, Asignatura::Lengua, QStringLiteral("D"));
        }
        alterar(e, registro);
        if (QTest::currentTestFailed())
            return;

        const Salida s = recopilar(e.banco.carpeta(), registro, personal.path());
        QVERIFY2(!s.sellos.isEmpty(), qPrintable(s.texto));
        QString resto = QStringLiteral("verificado");
        QMap<QString, QString> filas;
        for (const QString &e : esperado) {
            if (e.startsWith(QLatin1Char('*')))
                resto = e.section(QLatin1Char('='), 1);
            else if (!e.startsWith(QLatin1Char('~')))
                filas.insert(e.section(QLatin1Char('='), 0, 0), e.section(QLatin1Char('='), 1));
        }
        for (auto it = s.sellos.cbegin(); it != s.sellos.cend(); ++it)
            QCOMPARE(it.key() + QLatin1Char('=') + it.value(),
                it.key() + QLatin1Char('=') + filas.value(it.key(), resto));
        for (const QString &e : esperado) {
            if (e.startsWith(QLatin1Char('~')))
                QVERIFY2(std::any_of(s.custodia.begin(), s.custodia.end(),
                             [&](const QString &c) {
                                 return c.contains(e.mid(1).section(QLatin1Char('|'), 0, 0))
                                     && c.contains(e.section(QLatin1Char('|'), 1));
                             }),
                    qPrintable(
                        e + QStringLiteral(" en: ") + s.custodia.join(QStringLiteral(" / "))));
        }
        QCOMPARE(s.custodia.isEmpty(), esperado.isEmpty());
        QCOMPARE(s.codigo, esperado.isEmpty() ? 0 : 4);
    }

    // The sealed workbook is still the station's: one visible sheet "Reporte", its two rows, as
    // a spreadsheet library we did not write reads it; the seal rides in its properties.
    void libroSelladoSeAbreComoSiempre()
    {
        QTemporaryDir personal;
        Estacion e(QStringLiteral("Sala 1"), personal.filePath(QStringLiteral("registro.txt")));
        e.guardar(QStringLiteral("101"), Asignatura::Lengua, QStringLiteral("C"));
        e.guardar(QStringLiteral("101"), Asignatura::Matematica, QStringLiteral("A"));
        const SalidaPython py = ejecutarPython(
            QStringLiteral(
                "w = openpyxl.load_workbook(sys.argv[1])\n"
                "h = w['Reporte']\n"
                "print(w.sheetnames, h.max_row, h.max_column, h['I1'].value, "
                "h['I2'].value, h['K2'].value)\n"
                "import zipfile\n"
                "print('docProps/custom.xml' in zipfile.ZipFile(sys.argv[1]).namelist())\n"),
            { e.libro(QStringLiteral("101")) });
        QVERIFY2(py.ok, qPrintable(py.error));
        QCOMPARE(py.salida.trimmed(), QStringLiteral("['Reporte'] 2 32 Matematica Lengua C\nTrue"));
        for (int fila : { 1, 2 })
            QVERIFY(Sello::deLinea(selloDe(e.libro(QStringLiteral("101")), fila)).has_value());
    }

    // The private key never leaves the computer: nothing in the station's folder or the
    // register holds it, and only its owner may read it.
    void llavePrivadaQuedaEnLaComputadora()
    {
        QTemporaryDir personal;
        const QString registro = personal.filePath(QStringLiteral("registro.txt"));
        Estacion e(QStringLiteral("Sala 1"), registro);
        const QFileInfoList llaves = QDir(carpetaDeLlaves()).entryInfoList(QDir::Files);
        QVERIFY(!llaves.isEmpty());
        for (const QFileInfo &llave : llaves) {
            QCOMPARE(llave.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);
            const QByteArray privada = leer(llave.filePath()).left(32);
            QVERIFY(!leer(registro).contains(privada.toBase64().left(20)));
            for (const QFileInfo &f :
                QDir(e.banco.carpeta()).entryInfoList(QDir::Files | QDir::Hidden))
                QVERIFY2(!leer(f.filePath()).contains(privada), qPrintable(f.fileName()));
        }
        // Prepared again on this computer, it keeps its keys; another station may not take its
        // name.
        QTemporaryDir otra;
        QCOMPARE(prepararLlaves(e.banco.carpeta(), QStringLiteral("Sala 1"), registro).causa,
            CausaFallo::Ninguna);
        QCOMPARE(prepararLlaves(otra.path(), QStringLiteral("Sala 1"), registro).causa,
            CausaFallo::EstacionYaRegistrada);
    }

    // Six students through both subjects at the station's real screens; then, with a
    // spreadsheet library we did not write, one student's answer changed, two students' rows
    // swapped, one workbook deleted and one replaced by an older copy of itself. The library
    // drops the seals of the workbooks it saves: their rows are "sin sello", and the journal
    // says it saved them. The collection names every one of them, the untouched rows are
    // verified, and only those are scored.
    void tresAlumnosEnLasPantallasYCuatroAlteraciones()
    {
        QTemporaryDir personal;
        const QString registro = personal.filePath(QStringLiteral("registro.txt"));
        Estacion e(QStringLiteral("Sala 1"), registro);
        Banco &b = e.banco;
        const QString claves = personal.filePath(QStringLiteral("claves.xlsx"));
        QVERIFY(escribirClavesDemo(b.carpeta(), claves).ok());
        auto libro = [&](const QString &dni) {
            return QDir(b.carpeta())
                .filePath(QStringLiteral("Apl Examen - EE0310004_M_4B_3_%1.xlsx").arg(dni));
        };
        QByteArray anterior;
        for (int i = 1; i <= 6; ++i) {
            const QString dni = QStringLiteral("045%1").arg(i);
            QVERIFY(generarContenido(b.carpeta()).resultado.ok());
            b.mensajes.respuestas = { kRespuestaSi, kRespuestaSi };
            Guion guion;
            guion.paso("FrmLogin", [dni](QWidget *w) { registrarAlumno(w, dni); });
            guion.paso("FormMnuOrbela", clic("CmdMatematica"));
            guion.paso("FrmCodigoAcceso", codigo("4592"));
            guion.paso("FrmMatMod1H1", elegirYClic("OpMatMod1Preg1OpA", "CmdFinalizar"));
            guion.paso("FormMnuOrbela", [&, dni](QWidget *w) {
                anterior = leer(libro(dni)); // the last student's copy, before language
                clic("CmdLengua")(w);
            });
            guion.paso("FrmCodigoAcceso", codigo("2813"));
            guion.paso("FrmLengMod1", elegirYClic("OpLengMod1Preg1OpC", "CmdFinalizar"));
            guion.paso("FormMnuOrbela", clic("CmdSalir"));
            guion.iniciar();
            Sesion sesion;
            ejecutarEstacion(b.entorno, sesion);
            QVERIFY2(guion.completo(), qPrintable(guion.pendiente()));
        }
        const SalidaPython py = ejecutarPython(
            QStringLiteral("a, b, c = (openpyxl.load_workbook(r) for r in sys.argv[1:4])\n"
                           "a['Reporte']['K1'] = 'D'\n"
                           "for col in range(1, 33):\n"
                           "    x, y = b['Reporte'].cell(1, col), c['Reporte'].cell(1, col)\n"
                           "    x.value, y.value = y.value, x.value\n"
                           "for w, r in zip((a, b, c), sys.argv[1:4]):\n"
                           "    w.save(r)\n"),
            { libro("0451"), libro("0452"), libro("0453") });
        QVERIFY2(py.ok, qPrintable(py.error));
        QVERIFY(QFile::remove(libro("0454")));
        escribir(libro("0456"), anterior);

        QProcess p;
        p.start(QStringLiteral(RECOPILAR_RESULTADOS),
            { personal.filePath("r.xlsx"), b.carpeta(), "--claves", claves, "--estaciones",
                registro });
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 4);
        const QString salida = QString::fromUtf8(p.readAllStandardOutput());
        // Each workbook's problems in "Custodia", as the tool prints them.
        auto problemas = [&](const QString &que, const QString &dni) {
            return salida.split('\n')
                .filter("custodia: Sala 1: " + que)
                .filter(dni + ".xlsx")
                .size();
        };
        for (const QString dni : { "0451", "0452", "0453" })
            QCOMPARE(problemas("sin sello: el diario tiene el guardado", dni), 2);
        QCOMPARE(problemas("faltante", "0454"), 2);
        QCOMPARE(problemas("faltante: el guardado 12 no llegó", "0456"), 1);
        QCOMPARE(salida.split('\n').filter("custodia: ").size(), 9);
        // Only the untouched rows are scored: 0455's two and 0456's mathematics.
        CeldasHoja puntajes;
        QVERIFY(leerHojaDeBytes(leer(personal.filePath("r.xlsx")), "Puntajes", &puntajes).ok());
        QStringList puntuados;
        for (const auto &[donde, celda] : puntajes) {
            if (donde.first > 1 && donde.second == 11)
                puntuados << celda.texto.right(9).left(4) + ' '
                        + puntajes[{ donde.first, 7 }].texto;
        }
        puntuados.sort();
        QCOMPARE(puntuados, QStringList({ "0455 Lengua", "0455 Matematica", "0456 Matematica" }));
    }

private:
    QTemporaryDir m_datos;
    QByteArray m_anterior;
};

QTEST_MAIN(TestCustodia)
#include "tst_Custodia.moc"
