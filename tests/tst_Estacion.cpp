// A whole student through the real screens: registration, mathematics, the menu, language,
// "Salir"; then the workbook, read by us and by openpyxl, and a second run for the student.
#include "Apoyo.h"
#include "ContenidoDemo.h"
#include "Estacion.h"
#include "FormMnuOrbela.h"
#include "FrmCodigoAcceso.h"
#include "FrmLengMod1.h"
#include "FrmLogin.h"
#include "FrmMatMod1H1.h"
#include "MensajesQt.h"
#include "Reporte.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLockFile>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cstdio>

namespace {

void registrar(QWidget *w)
{
    registrarAlumno(w, QStringLiteral("0459"));
}

int archivosEn(const QString &carpeta)
{
    return int(QDir(carpeta).entryList(QDir::Files).size());
}

} // namespace

class TstEstacion : public QObject {
    Q_OBJECT
private slots:
    void unAlumnoDeLaEntradaALaSalida()
    {
        Banco b;
        QVERIFY(generarContenido(b.carpeta()).resultado.ok());
        b.reloj.lecturas = { 10 };
        b.mensajes.respuestas = { kRespuestaSi, kRespuestaSi };
        QStringList estadoMenu;
        auto mirarMenu = [&](QWidget *w) {
            estadoMenu << QStringLiteral("%1%2 mat=%3 leng=%4")
                              .arg(hijo<QPushButton>(w, "CmdMatematica")->isEnabled() ? "M" : "-")
                              .arg(hijo<QPushButton>(w, "CmdLengua")->isEnabled() ? "L" : "-")
                              .arg(
                                  archivosEn(carpetaModelo(b.carpeta(), Asignatura::Matematica, 1)))
                              .arg(archivosEn(carpetaModelo(b.carpeta(), Asignatura::Lengua, 1)));
        };

        Guion guion;
        guion.paso("FrmLogin", registrar);
        guion.paso("FormMnuOrbela", [&](QWidget *w) {
            mirarMenu(w);
            clic("CmdMatematica")(w);
        });
        guion.paso("FrmCodigoAcceso", codigo("4592"));
        guion.paso("FrmMatMod1H1", elegirYClic("OpMatMod1Preg1OpA", "CmdSiguiente"));
        guion.paso("FrmMatMod1H1", elegirYClic("OpMatMod1Preg1OpB", "CmdPreg_21"));
        guion.paso("FrmMatMod1H1", elegirYClic("OpMatMod1Preg1OpD", "CmdFinalizar"));
        guion.paso("FormMnuOrbela", [&](QWidget *w) {
            mirarMenu(w);
            clic("CmdLengua")(w);
        });
        guion.paso("FrmCodigoAcceso", codigo("2813"));
        guion.paso("FrmLengMod1", elegirYClic("OpLengMod1Preg1OpC", "Command1_11"));
        guion.paso("FrmLengMod1", elegirYClic("OpLengMod1Preg1OpA", "CmdFinalizar"));
        guion.paso("FormMnuOrbela", [&](QWidget *w) {
            mirarMenu(w);
            clic("CmdSalir")(w);
        });
        guion.iniciar();
        ejecutarEstacion(b.entorno, b.sesion);
        QVERIFY2(guion.completo(), qPrintable(guion.pendiente()));

        // Mathematics model 1 + (9 + 10) % 6 = 2, language 1 + (0 + 10) % 6 = 5.
        QCOMPARE(b.sesion.ModeloMat, 2);
        QCOMPARE(b.sesion.ModeloLeng, 5);
        QCOMPARE(estadoMenu,
            QStringList({ "ML mat=44 leng=45", "-L mat=0 leng=45", "-- mat=0 leng=0" }));
        const QStringList textos = b.mensajes.textos();
        QCOMPARE(textos.filter(QStringLiteral("PARA RESPONDER DESDE")).size(), 2);
        QVERIFY(textos.contains(QStringLiteral(
            "Aun fatan contestar las preguntas: 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, "
            "17, 18, "
            "19, 20, 21. Confirma que desea Guardar y Finalizar el Examen de Matematica ?")));

        const QString libro = QDir(b.carpeta()).filePath("Apl Examen - EE0310004_M_4B_3_0459.xlsx");
        QCOMPARE(b.sesion.RutaExcel + ".xlsx", libro);
        CeldasHoja c;
        QVERIFY(b.hoja.leerReporte(libro, &c).ok());
        QCOMPARE(
            c.size(), size_t(2 * 8 + 3 + 2)); // A to J but E and F in each row, and the answers
        QCOMPARE(c.at({ 1, 11 }).texto, QStringLiteral("A"));
        QCOMPARE(c.at({ 1, 12 }).texto, QStringLiteral("B"));
        QCOMPARE(c.at({ 1, 32 }).texto, QStringLiteral("D"));
        QCOMPARE(c.at({ 2, 11 }).texto, QStringLiteral("C"));
        QCOMPARE(c.at({ 2, 22 }).texto, QStringLiteral("A"));

        const QString guionPython
            = QStringLiteral("ws = openpyxl.load_workbook(sys.argv[1])['Reporte']\n"
                             "for r in (1, 2):\n"
                             "    print('|'.join('' if ws.cell(r, c).value is None else "
                             "str(ws.cell(r, c).value) for c in range(1, 33)))\n");
        const SalidaPython python = ejecutarPython(guionPython, { libro });
        QVERIFY2(python.ok, qPrintable(python.error));
        const QString nombre = c.at({ 1, 2 }).texto;
        auto fila = [&](const QString &materia, int modelo, const QMap<int, QString> &respuestas) {
            QStringList celdas { "EE0310004", nombre, "3", "0459", "", "", "M", "4B", materia,
                QString::number(modelo) };
            for (int q = 1; q <= kPreguntas; ++q)
                celdas << respuestas.value(q);
            return celdas.join('|');
        };
        QCOMPARE(python.salida.split('\n').mid(0, 2),
            QStringList({ fila("Matematica", 2, { { 1, "A" }, { 2, "B" }, { 22, "D" } }),
                fila("Lengua", 5, { { 1, "C" }, { 12, "A" } }) }));

        // The same student again: both subjects already finished.
        Sesion otra;
        Entorno &e = b.entorno;
        Guion segunda;
        bool ambosCerrados = false;
        segunda.paso("FrmLogin", registrar);
        segunda.paso("FormMnuOrbela", [&](QWidget *w) {
            ambosCerrados = !hijo<QPushButton>(w, "CmdMatematica")->isEnabled()
                && !hijo<QPushButton>(w, "CmdLengua")->isEnabled();
            clic("CmdSalir")(w);
        });
        segunda.iniciar();
        ejecutarEstacion(e, otra);
        QVERIFY(segunda.completo());
        QVERIFY(ambosCerrados);
        QCOMPARE(otra.FinalizadoMat + otra.FinalizadoLeng, 2);
    }

    // A second station started in the same folder ends with a message; the first carries on.
    void segundaEstacionEnLaMismaCarpeta()
    {
        QTemporaryDir dir;
        QProcess primera;
        primera.start(
            QCoreApplication::applicationFilePath(), { QStringLiteral("--ocupar"), dir.path() });
        QVERIFY(primera.waitForReadyRead(30000));
        QCOMPARE(primera.readLine().trimmed(), QByteArray("ocupada"));

        MensajesFalsos mensajes;
        QLockFile segunda(rutaCerrojoEstacion(dir.path()));
        QVERIFY(!ocuparCarpeta(segunda, mensajes));
        QCOMPARE(mensajes.llamadas.size(), 1);
        // The student reads where to go on; the supervisor which file and which process.
        const QString texto = mensajes.textos().constFirst();
        QVERIFY(texto.startsWith(
            "La estación de examen ya está abierta en esta computadora.\r\n"
            "Siga en la ventana que ya está abierta; si no la encuentra, avise al supervisor."));
        QVERIFY2(texto.contains(QFileInfo(rutaCerrojoEstacion(dir.path())).absoluteFilePath())
                && texto.contains(QStringLiteral("proceso %1").arg(primera.processId())),
            qPrintable(texto));
        QCOMPARE(primera.state(), QProcess::Running);

        primera.closeWriteChannel(); // the first one ends its run
        QVERIFY(primera.waitForFinished(30000));
        QCOMPARE(primera.exitCode(), 0);
        QVERIFY(ocuparCarpeta(segunda, mensajes));
        QCOMPARE(mensajes.llamadas.size(), 1);
    }

    void carpetaQueNoSePuedeOcupar()
    {
        QTemporaryDir dir;
        MensajesFalsos mensajes;
        QLockFile cerrojo(rutaCerrojoEstacion(dir.filePath("no-existe")));
        QVERIFY(!ocuparCarpeta(cerrojo, mensajes));
        QCOMPARE(mensajes.textos(),
            QStringList({ "No se puede escribir en la carpeta de la estación: los resultados "
                          "no podrían guardarse.\r\nAvise al supervisor." }));
    }

    // The system's temporary folder full, a workbook the staff edited (an extra sheet, a
    // style) already holding the language row, and the content linked from a master copy:
    // mathematics finished through the real windows is saved whole and the rest is kept.
    void temporalLlenoLibroEditadoYContenidoEnlazado()
    {
        QTemporaryDir estacion(
            QCoreApplication::applicationDirPath() + QStringLiteral("/estacion-XXXXXX"));
        QTemporaryDir maestra(
            QCoreApplication::applicationDirPath() + QStringLiteral("/maestra-XXXXXX"));
        QVERIFY(generarContenido(maestra.path()).resultado.ok());
        const auto contarMaestra = [&] {
            int n = 0;
            for (Asignatura a : { Asignatura::Matematica, Asignatura::Lengua })
                for (int m = 1; m <= kModelos; ++m)
                    n += archivosEn(carpetaModelo(maestra.path(), a, m));
            return n;
        };
        QCOMPARE(contarMaestra(), 2 * 6 * 22 * 2 + 6); // pictures, descriptions, texts
        QVERIFY(QDir().mkpath(carpetaImagenes(estacion.path())));
        for (Asignatura a : { Asignatura::Matematica, Asignatura::Lengua })
            for (int m = 1; m <= kModelos; ++m)
                QVERIFY(QFile::link(
                    carpetaModelo(maestra.path(), a, m), carpetaModelo(estacion.path(), a, m)));

        const QString libro
            = QDir(estacion.path()).filePath("Apl Examen - EE0310004_M_4B_3_0459.xlsx");
        const SalidaPython creado = ejecutarPython(
            QStringLiteral("from openpyxl.styles import PatternFill\n"
                           "wb = openpyxl.Workbook(); ws = wb.active; ws.title = 'Reporte'\n"
                           "row = ['EE0310004', 'NOMBRE', 3, '0459', None, None, 'M', '4B', "
                           "'Lengua', 5] + list('DCBADCBADCBADCBADCBADC')\n"
                           "for c, v in enumerate(row, 1): ws.cell(2, c, v)\n"
                           "ws['A1'].fill = PatternFill('solid', fgColor='FF0000')\n"
                           "wb.create_sheet('Notas')['A1'] = 'revisado por la secretaría'\n"
                           "wb.save(sys.argv[1])\n"),
            { libro });
        QVERIFY2(creado.ok, qPrintable(creado.error));

        QByteArray salida;
        const int codigo
            = ejecutarAislado({ QStringLiteral("--temporal-lleno"), estacion.path() }, &salida);
        if (codigo == kSinLanzador || codigo == kSinMontaje)
            QSKIP("este equipo no permite llenar una carpeta temporal propia para la prueba");
        QVERIFY2(codigo == 0, salida.constData());

        const SalidaPython leido = ejecutarPython(
            QStringLiteral(
                "wb = openpyxl.load_workbook(sys.argv[1]); ws = wb['Reporte']\n"
                "print(wb.sheetnames, wb['Notas']['A1'].value, ws['A1'].fill.fgColor.rgb)\n"
                "for r in (1, 2): print('|'.join('' if ws.cell(r, c).value is None else "
                "str(ws.cell(r, c).value) for c in range(1, 33)))\n"),
            { libro });
        QVERIFY2(leido.ok, qPrintable(leido.error));
        const QStringList lineas = leido.salida.split('\n');
        QCOMPARE(
            lineas[0], QStringLiteral("['Reporte', 'Notas'] revisado por la secretaría 00FF0000"));
        QVERIFY2(lineas[1].endsWith(
                     QStringLiteral("|3|0459|||M|4B|Matematica|2|A|B||||||||||||||||||||D")),
            qPrintable(lineas[1]));
        QVERIFY(lineas[1].startsWith(QStringLiteral("EE0310004|")));
        QCOMPARE(lineas[2],
            QStringLiteral("EE0310004|NOMBRE|3|0459|||M|4B|Lengua|5|")
                + QStringLiteral("D|C|B|A|").repeated(5) + "D|C");
        QCOMPARE(contarMaestra(), 2 * 6 * 22 * 2 + 6); // pictures, descriptions, texts
        QCOMPARE(QDir(carpetaImagenes(estacion.path()))
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
            QStringList());
    }

    // On a netbook's screen and a small one, under a window manager, every window of the
    // station and every message box it showed is whole on the screen.
    void pantallasChicas_data() { filasDePantallasChicas(); }
    void pantallasChicas()
    {
        QFETCH(QSize, pantalla);
        QString omitido;
        // Five screens and the message boxes met on them.
        const QString falla = fallaEnPantallaChica(pantalla, 8, &omitido);
        if (!omitido.isEmpty())
            QSKIP(qPrintable(omitido));
        QVERIFY2(falla.isEmpty(), qPrintable(falla));
    }
};

// The screens of one student, run inside a mount namespace whose temporary folder is a small
// disk filled to the last byte.
class TstTemporalLleno : public QObject {
    Q_OBJECT
public:
    QString carpeta;

private slots:
    void matematicaConElTemporalLleno()
    {
        QTemporaryFile prueba;
        QVERIFY2(!prueba.open() || prueba.write(QByteArray(8192, 'x')) != 8192 || !prueba.flush(),
            "el temporal no está lleno");
        MensajesFalsos mensajes;
        ArchivosLocales archivos;
        RelojFalso reloj;
        reloj.lecturas = { 10 };
        AbridorFalso abridor;
        DiscoLocal disco;
        LibroXlsx hoja(disco);
        Entorno entorno { carpeta, mensajes, archivos, reloj, abridor, hoja, disco };
        mensajes.respuestas = { kRespuestaSi };
        bool lenguaCerrada = false;
        Guion guion;
        guion.paso("FrmLogin", registrar);
        guion.paso("FormMnuOrbela", [&](QWidget *w) {
            lenguaCerrada = !hijo<QPushButton>(w, "CmdLengua")->isEnabled();
            clic("CmdMatematica")(w);
        });
        guion.paso("FrmCodigoAcceso", codigo("4592"));
        guion.paso("FrmMatMod1H1", elegirYClic("OpMatMod1Preg1OpA", "CmdSiguiente"));
        guion.paso("FrmMatMod1H1", elegirYClic("OpMatMod1Preg1OpB", "CmdPreg_21"));
        guion.paso("FrmMatMod1H1", elegirYClic("OpMatMod1Preg1OpD", "CmdFinalizar"));
        guion.paso("FormMnuOrbela", clic("CmdSalir"));
        guion.iniciar();
        Sesion sesion;
        ejecutarEstacion(entorno, sesion);
        QVERIFY2(guion.completo(), qPrintable(guion.pendiente()));
        QVERIFY(lenguaCerrada);
        QCOMPARE(sesion.FinalizadoMat, 1);
        QCOMPARE(mensajes.textos().filter(QStringLiteral("NO se guardaron")), QStringList());
    }
};

namespace {

// Under a window manager, on a small screen: every screen of the station shown as the station
// shows it, each seen whole, frame included, once the manager framed it; then the messages
// that a student meets on them (an empty registration, "Guardar y Finalizar"), in the
// desktop's own boxes. Prints what does not fit, then "fin:" and how many windows it saw.
int revisarPantallaChica()
{
    Banco b;
    if (!generarContenido(b.carpeta()).resultado.ok())
        return 1;
    b.sesion = alumnoDePrueba();
    b.mensajes.respuestas = { kRespuestaNo, kRespuestaNo, kRespuestaNo, kRespuestaNo };
    const QRect pantalla = QGuiApplication::primaryScreen()->geometry();
    int vistas = 0;
    bool sinGestor = false; // once a window goes unframed, the others are not waited for
    const auto revisar = [&](QWidget *w) {
        if (!QTest::qWaitFor(
                [w] { return w->windowHandle() && w->windowHandle()->frameMargins().top() > 0; },
                sinGestor ? 0 : 10000)) {
            sinGestor = true;
            std::printf("sin marco: %s\n", qPrintable(w->objectName()));
        }
        // The manager places the window after framing it, and the window may move after.
        (void)QTest::qWaitFor([&] { return pantalla.contains(w->frameGeometry()); }, 3000);
        ++vistas;
        if (!pantalla.contains(w->frameGeometry()))
            std::printf("no cabe: %s %dx%d+%d+%d\n", qPrintable(w->objectName()),
                w->frameGeometry().width(), w->frameGeometry().height(), w->frameGeometry().x(),
                w->frameGeometry().y());
    };
    std::vector<std::pair<std::unique_ptr<Formulario>, const char *>> pantallas;
    pantallas.emplace_back(std::make_unique<FrmLogin>(b.entorno, b.sesion), "CmdAceptar");
    pantallas.emplace_back(std::make_unique<FormMnuOrbela>(b.entorno, b.sesion), nullptr);
    pantallas.emplace_back(std::make_unique<FrmCodigoAcceso>(b.sesion), nullptr);
    pantallas.emplace_back(std::make_unique<FrmMatMod1H1>(b.entorno, b.sesion), "CmdFinalizar");
    pantallas.emplace_back(std::make_unique<FrmLengMod1>(b.entorno, b.sesion), "CmdFinalizar");
    for (auto &[ventana, boton] : pantallas) {
        ventana->cargar();
        ventana->show();
        revisar(ventana.get());
        if (boton)
            hijo<QPushButton>(ventana.get(), QLatin1String(boton))->click();
        ventana->hide();
    }
    for (const QString &texto : b.mensajes.textos()) {
        QTimer::singleShot(0, [&] {
            QWidget *caja = nullptr;
            (void)QTest::qWaitFor([&] { return (caja = QApplication::activeModalWidget()); }, 5000);
            if (!caja)
                return;
            revisar(caja);
            caja->close();
        });
        MensajesQt().mostrar(texto, 0, QStringLiteral("ORBELA"), {}, 0);
    }
    std::printf("fin: %d ventanas\n", vistas);
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc == 2 && qstrcmp(argv[1], "--pantalla-chica") == 0)
        return revisarPantallaChica();
    if (argc == 3 && qstrcmp(argv[1], "--ocupar") == 0) {
        MensajesFalsos mensajes;
        QLockFile cerrojo(rutaCerrojoEstacion(QString::fromLocal8Bit(argv[2])));
        if (!ocuparCarpeta(cerrojo, mensajes))
            return 1;
        std::printf("ocupada\n");
        std::fflush(stdout);
        // Runs until its parent closes its input, as a station runs until "Salir".
        while (std::getchar() != EOF) { }
        return 0;
    }
    if (argc == 3 && qstrcmp(argv[1], "--temporal-lleno") == 0) {
        // A station that lives under /tmp itself (a clone built there) is kept in sight: the
        // real /tmp is bound aside first, and the station's top folder bound back over the
        // small disk, at the same path.
        const QString carpeta = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
        const QString arriba = carpeta.startsWith(QLatin1String("/tmp/"))
            ? carpeta.section(QLatin1Char('/'), 0, 2)
            : QString();
        const QString aparte = QStringLiteral("/run/tst-estacion-tmp");
        auto montar = [](const QStringList &argumentos) {
            return QProcess::execute(QStringLiteral("mount"), argumentos) == 0;
        };
        if (!arriba.isEmpty()
            && !(QDir().mkpath(aparte)
                && montar({ QStringLiteral("--bind"), QStringLiteral("/tmp"), aparte })))
            return kSinMontaje;
        if (!montarDiscoChico(QStringLiteral("/tmp"), 64))
            return kSinMontaje;
        if (!arriba.isEmpty()
            && !(QDir().mkpath(arriba)
                && montar({ QStringLiteral("--bind"), aparte + arriba.mid(4), arriba })))
            return kSinMontaje;
        llenarDisco(QStringLiteral("/tmp"));
        TstTemporalLleno prueba;
        prueba.carpeta = QString::fromLocal8Bit(argv[2]);
        return QTest::qExec(&prueba, 1, argv);
    }
    TstEstacion prueba;
    return QTest::qExec(&prueba, argc, argv);
}
#include "tst_Estacion.moc"
