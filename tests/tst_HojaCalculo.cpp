// The workbook service: the proven save under the system's failures, a file that is no
// workbook, the workbook's lock, what killed saves leave, and a workbook the staff edited.
#include "Apoyo.h"
#include "Disco.h"
#include "HojaCalculo.h"
#include "LectorXlsx.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(CausaFallo)
Q_DECLARE_METATYPE(std::optional<PasoEscritura>)

namespace {

QStringList archivosDe(const QString &carpeta)
{
    return QDir(carpeta).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// A new empty workbook in a folder of its own, on a disk whose faults can be switched on.
struct LibroNuevo {
    explicit LibroNuevo(int esperaCerrojoMs = 10000)
        : libro(disco, esperaCerrojoMs)
    {
        ok = libro.crearLibro(ruta).ok();
    }
    QTemporaryDir dir;
    const QString ruta = dir.filePath("l.xlsx");
    DiscoConFallos disco;
    LibroXlsx libro;
    bool ok = false;
};

} // namespace

class TstHojaCalculo : public QObject {
    Q_OBJECT
private slots:
    // A save that fails at any step leaves the old workbook and nothing else; the next try,
    // once the cause is gone, saves.
    // What the system says at each step of a save, and the cause the supervisor reads: the
    // workbook stays as it was, nothing staged is left, and the same save works afterwards.
    // A folder that cannot be forced to the disk fails the save too, since the new workbook
    // could vanish in a power cut.
    void guardadoConFallas_data()
    {
        QTest::addColumn<std::optional<PasoEscritura>>("paso");
        QTest::addColumn<int>("error");
        QTest::addColumn<CausaFallo>("causa");
        const struct {
            const char *caso;
            std::optional<PasoEscritura> paso;
            int error;
            CausaFallo causa;
        } filas[] = {
            { "disk full creating the staged file", PasoEscritura::Abrir, ENOSPC,
                CausaFallo::SinEspacio },
            { "folder not ours", PasoEscritura::Abrir, EACCES, CausaFallo::SinPermiso },
            { "disk full writing", PasoEscritura::Escribir, ENOSPC, CausaFallo::SinEspacio },
            { "quota exceeded writing", PasoEscritura::Escribir, EDQUOT, CausaFallo::SinEspacio },
            { "file too large", PasoEscritura::Escribir, EFBIG, CausaFallo::Escritura },
            { "disk failing forcing the data", PasoEscritura::AsegurarDatos, EIO,
                CausaFallo::Escritura },
            { "network disk full on close", PasoEscritura::Cerrar, ENOSPC, CausaFallo::SinEspacio },
            { "disk turned read-only replacing", PasoEscritura::Reemplazar, EROFS,
                CausaFallo::SinPermiso },
            { "workbook busy replacing", PasoEscritura::Reemplazar, EBUSY,
                CausaFallo::ArchivoAbierto },
            { "folder cannot be forced", PasoEscritura::AsegurarCarpeta, EIO,
                CausaFallo::Escritura },
            { "read-back differs", std::nullopt, 0, CausaFallo::NoCoincide },
        };
        for (const auto &f : filas)
            QTest::newRow(f.caso) << f.paso << f.error << f.causa;
    }
    void guardadoConFallas()
    {
        QFETCH(std::optional<PasoEscritura>, paso);
        QFETCH(int, error);
        LibroNuevo l;
        QVERIFY(l.ok);
        auto &[dir, ruta, disco, libro, ok] = l;
        QVERIFY(libro.escribirFila(ruta, 2, 32, filaDePrueba("C")).ok());
        const QByteArray antes = huella(ruta);
        const QStringList archivos = archivosDe(dir.path());

        disco.fallarEn = paso;
        disco.errorDelSistema = error;
        disco.alterarRelectura = !paso;
        const Resultado r = libro.escribirFila(ruta, 1, 32, filaDePrueba("A"));
        QTEST(r.causa, "causa");
        QVERIFY(!textoCausaDisco(r.causa).isEmpty());
        QCOMPARE(r.razon(), textoCausaDisco(r.causa));
        QCOMPARE(huella(ruta), antes);
        QCOMPARE(archivosDe(dir.path()), archivos);

        disco.fallarEn.reset();
        disco.alterarRelectura = false;
        QVERIFY(libro.escribirFila(ruta, 1, 32, filaDePrueba("A")).ok());
        const CeldasHoja c = celdasDeLibro(ruta);
        QCOMPARE(c.at({ 1, 11 }).texto, QStringLiteral("A"));
        QCOMPARE(c.at({ 2, 11 }).texto, QStringLiteral("C"));
    }

    // What a whole-file read refuses, and the cause it gives: never a half-read file.
    void lecturasRechazadas_data()
    {
        QTest::addColumn<QString>("que");
        QTest::addColumn<CausaFallo>("causa");
        QTest::newRow("nothing there") << "nada" << CausaFallo::ArchivoInexistente;
        QTest::newRow("one byte over the limit") << "grande" << CausaFallo::ArchivoDemasiadoGrande;
        QTest::newRow("a folder") << "carpeta" << CausaFallo::NoEsArchivo;
        QTest::newRow("a pipe") << "tuberia" << CausaFallo::NoEsArchivo;
        QTest::newRow("no right to read") << "negado" << CausaFallo::LecturaNegada;
        QTest::newRow("exactly the limit") << "justo" << CausaFallo::Ninguna;
    }
    void lecturasRechazadas()
    {
        QFETCH(QString, que);
        QFETCH(CausaFallo, causa);
        QTemporaryDir dir;
        const QString ruta = dir.filePath(que);
        const QByteArray nombre = QFile::encodeName(ruta);
        if (que == "grande" || que == "justo" || que == "negado")
            crearArchivo(ruta, que == "grande" ? "123456789" : "12345678");
        if (que == "carpeta")
            QVERIFY(QDir().mkdir(ruta));
        if (que == "tuberia")
            QCOMPARE(::mkfifo(nombre.constData(), 0644), 0);
        if (que == "negado") {
            if (::geteuid() == 0)
                QSKIP("root reads whatever the permissions say");
            QCOMPARE(::chmod(nombre.constData(), 0), 0);
        }
        QByteArray bytes("lo que había");
        const Resultado r = DiscoLocal().leer(ruta, 8, &bytes);
        QCOMPARE(r.causa, causa);
        QCOMPARE(bytes, r.ok() ? QByteArray("12345678") : QByteArray());
    }

    // A file in the workbook's place that is no workbook is never replaced, neither by a save
    // nor by the creation at registration.
    void archivoAjenoNuncaSeReemplaza_data()
    {
        QTest::addColumn<bool>("crear");
        QTest::newRow("a save") << false;
        QTest::newRow("a creation") << true;
    }
    void archivoAjenoNuncaSeReemplaza()
    {
        QFETCH(bool, crear);
        QTemporaryDir dir;
        const QString ruta = dir.filePath("l.xlsx");
        crearArchivo(ruta, "PK no es un libro");
        DiscoLocal disco;
        LibroXlsx libro(disco);
        const Resultado r
            = crear ? libro.crearLibro(ruta) : libro.escribirFila(ruta, 1, 32, filaDePrueba("A"));
        QCOMPARE(r.causa, CausaFallo::LibroIlegible);
        QCOMPARE(r.detalle, textoCausaLibro(CausaFallo::NoEsZip));
        QFile f(ruta);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("PK no es un libro"));
    }

    void libroBloqueadoPorOtro()
    {
        LibroNuevo l(50);
        QVERIFY(l.ok);
        auto &[dir, ruta, disco, libro, ok] = l;
        const QByteArray antes = huella(ruta);
        QLockFile otro(LibroXlsx::rutaCerrojo(ruta));
        QVERIFY(otro.tryLock(0));
        QCOMPARE(libro.escribirFila(ruta, 1, 32, filaDePrueba("A")).causa, CausaFallo::EnUso);
        QCOMPARE(huella(ruta), antes);
        otro.unlock();
        QVERIFY(libro.escribirFila(ruta, 1, 32, filaDePrueba("A")).ok());
    }

    // A lock whose owner cannot be proven to be a live station on this machine never blocks a
    // save for good: whatever it holds, the save takes it over after a short check.
    void cerrojoSinDuenoVivo_data()
    {
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<int>("edadSegundos");
        const QByteArray maquina = QSysInfo::machineHostName().toUtf8();
        const QByteArray propio = QByteArray::number(QCoreApplication::applicationPid());
        QTest::newRow("empty, left by a killed save") << QByteArray() << 60;
        QTest::newRow("empty and fresh") << QByteArray() << 0;
        QTest::newRow("another machine") << propio + "\nestacion\notra-maquina\n" << 0;
        QTest::newRow("garbage") << QByteArray("\x01\xff basura sin fin") << 0;
        QTest::newRow("zeros") << QByteArray(512, '\0') << 0;
        QTest::newRow("pid 0") << "0\nestacion\n" + maquina + "\n" << 0;
        QTest::newRow("pid -1") << "-1\nestacion\n" + maquina + "\n" << 0;
        QTest::newRow("a process that is gone") << "999999999\nestacion\n" + maquina + "\n" << 0;
        QTest::newRow("a live process of another program") << QByteArray("AJENO\nestacion\n")
                + maquina + "\n" << 0;
        QTest::newRow("a folder") << QByteArray("CARPETA") << 0;
        QTest::newRow("a pipe") << QByteArray("TUBERIA") << 0;
    }
    void cerrojoSinDuenoVivo()
    {
        QFETCH(QByteArray, contenido);
        QFETCH(int, edadSegundos);
        LibroNuevo l(300);
        QVERIFY(l.ok);
        auto &[dir, ruta, disco, libro, ok] = l;
        const QString rutaCerrojo = LibroXlsx::rutaCerrojo(ruta);
        QProcess ajeno;
        if (contenido == "CARPETA") {
            QVERIFY(QDir().mkpath(rutaCerrojo + "/dentro"));
        } else if (contenido == "TUBERIA") {
            QCOMPARE(::mkfifo(QFile::encodeName(rutaCerrojo).constData(), 0644), 0);
        } else {
            if (contenido.startsWith("AJENO")) {
                ajeno.start("sleep", { "30" });
                QVERIFY(ajeno.waitForStarted());
                contenido.replace("AJENO", QByteArray::number(ajeno.processId()));
            }
            QFile cerrojo(rutaCerrojo);
            QVERIFY(cerrojo.open(QIODevice::WriteOnly));
            QCOMPARE(cerrojo.write(contenido), contenido.size());
            QVERIFY(cerrojo.setFileTime(QDateTime::currentDateTime().addSecs(-edadSegundos),
                QFileDevice::FileModificationTime));
        }
        const Resultado r = libro.escribirFila(ruta, 1, 32, filaDePrueba("A"));
        ajeno.kill();
        ajeno.waitForFinished();
        QVERIFY2(r.ok(), qPrintable(r.detalle));
        const Celda esperada = Celda::deTexto("A");
        QCOMPARE(celdasDeLibro(ruta)[std::make_pair(1, 32)], esperada);
    }

    // Staged files that a killed save left behind are cleared by the next save; nothing of
    // the save itself stays beside the workbook, its lock included.
    void restosDeUnGuardadoInterrumpido()
    {
        LibroNuevo l;
        QVERIFY(l.ok);
        auto &[dir, ruta, disco, libro, ok] = l;
        crearArchivo(dir.filePath(".l.xlsx.4242.tmp"));
        crearArchivo(dir.filePath(".l.xlsx.4242.tmp.Ab12Cd"));
        crearArchivo(dir.filePath(".l.xlsx.4243.nuevo.tmp"));
        crearArchivo(dir.filePath(".otro.xlsx.4242.tmp"));
        QVERIFY(libro.escribirFila(ruta, 1, 32, filaDePrueba("A")).ok());
        QCOMPARE(archivosDe(dir.path()), QStringList({ ".otro.xlsx.4242.tmp", "l.xlsx" }));
    }

    void escrituraImposible_data()
    {
        QTest::addColumn<QString>("destino");
        QTest::addColumn<CausaFallo>("causa");
        QTest::newRow("folder missing") << "no/existe/l.xlsx" << CausaFallo::SinCarpeta;
        QTest::newRow("a folder in the way") << "carpeta.xlsx" << CausaFallo::NoEsArchivo;
    }
    void escrituraImposible()
    {
        QFETCH(QString, destino);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("carpeta.xlsx");
        crearArchivo(dir.filePath("carpeta.xlsx/dentro.txt"));
        DiscoLocal disco;
        const Resultado r = LibroXlsx(disco).crearLibro(dir.filePath(destino));
        QTEST(r.causa, "causa");
        QVERIFY(QFile::exists(dir.filePath("carpeta.xlsx/dentro.txt")));
        QCOMPARE(
            QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).filter(".tmp"), QStringList());
    }

    // A workbook the staff edited in a spreadsheet program: an extra sheet, formatting,
    // column widths. A save changes the row and nothing else, as openpyxl sees it.
    void libroEditadoPorElPersonal()
    {
        QTemporaryDir dir;
        const QString ruta = dir.filePath("Apl Examen - EE0310002_T_3A_2_0987.xlsx");
        const QString crear = QStringLiteral(R"(
from openpyxl.styles import PatternFill, Font
wb = openpyxl.Workbook(); ws = wb.active; ws.title = 'Reporte'
row = ['EE0310002', 'ESCUELA', 2, '0987', None, None, 'T', '3A', 'Lengua', 6] + list('ABCDABCDABCDABCDABCDAB')
for c, v in enumerate(row, 1): ws.cell(2, c, v)
ws['K1'].fill = PatternFill('solid', fgColor='FFFF00'); ws['A2'].font = Font(bold=True)
ws['AH1'] = 'nota del personal'; ws['B5'] = 'revisado'; ws.column_dimensions['B'].width = 45
n = wb.create_sheet('Notas'); n['A1'] = 'Observaciones'; n['B3'] = 12.5
wb.save(sys.argv[1])
)");
        const SalidaPython hecho = ejecutarPython(crear, { ruta });
        QVERIFY2(hecho.ok, qPrintable(hecho.error));
        const QString mirar = QStringLiteral(
            "wb = openpyxl.load_workbook(sys.argv[1]); ws = wb['Reporte']; n = wb['Notas']\n"
            "print(wb.sheetnames, n['A1'].value, n['B3'].value, ws.column_dimensions['B'].width)\n"
            "print(ws['K1'].fill.fgColor.rgb, ws['A2'].font.b, ws['AH1'].value, ws['B5'].value)\n"
            "for r in (1, 2): print([ws.cell(r, c).value for c in range(1, 33)])\n");
        const SalidaPython antes = ejecutarPython(mirar, { ruta });
        QVERIFY2(antes.ok, qPrintable(antes.error));

        DiscoLocal disco;
        LibroXlsx libro(disco);
        CeldasFila fila = filaDePrueba("D");
        fila[2] = Celda::deTexto("ESCUELA");
        QVERIFY(libro.escribirFila(ruta, 1, 32, fila).ok());

        const SalidaPython despues = ejecutarPython(mirar, { ruta });
        QVERIFY2(despues.ok, qPrintable(despues.error));
        const QStringList a = antes.salida.split('\n');
        const QStringList d = despues.salida.split('\n');
        QCOMPARE(d[0], a[0]);
        QCOMPARE(d[0], QStringLiteral("['Reporte', 'Notas'] Observaciones 12.5 45.0"));
        QCOMPARE(d[1], a[1]);
        QCOMPARE(d[1], QStringLiteral("00FFFF00 True nota del personal revisado"));
        QCOMPARE(d[3], a[3]); // the language row
        QCOMPARE(d[2],
            QStringLiteral(
                "['EE0310002', 'ESCUELA', 2, None, None, None, None, None, 'Matematica', None, ")
                + QStringList(22, QStringLiteral("'D'")).join(QStringLiteral(", "))
                + QLatin1Char(']'));
    }
};

QTEST_GUILESS_MAIN(TstHojaCalculo)
#include "tst_HojaCalculo.moc"
