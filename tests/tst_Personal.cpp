// The staff's window driven as a person at the keyboard would: the letters of the pages,
// fields and buttons, and what each page leaves on the disk.
#include "Apoyo.h"
#include "Claves.h"
#include "Contenido.h"
#include "ContenidoDemo.h"
#include "LectorXlsx.h"
#include "LibrosDemo.h"
#include "PaqueteXlsx.h"
#include "VentanaPersonal.h"
#include "VisorPdf.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cstdio>

namespace {

int archivosBajo(const QString &carpeta)
{
    int n = 0;
    for (QDirIterator it(carpeta, QDir::Files, QDirIterator::Subdirectories); it.hasNext();
         it.next())
        ++n;
    return n;
}

// Alt and a letter, to whatever has the focus, as the keyboard sends it.
void alt(QWidget *ventana, char letra)
{
    QWidget *destino = QApplication::focusWidget() ? QApplication::focusWidget() : ventana;
    QTest::keyClick(destino, Qt::Key(Qt::Key_A + (letra - 'a')), Qt::AltModifier);
    // A button's letter presses it as the eye sees it: the click comes a moment later.
    QTest::qWait(250);
}

// Answers the next message box with Alt and `letra`, once it shows; its text goes to `texto`.
void responderCaja(char letra, QString *texto)
{
    auto *reloj = new QTimer;
    reloj->setInterval(50);
    QObject::connect(reloj, &QTimer::timeout, [reloj, letra, texto] {
        auto *caja = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!caja)
            return;
        QApplication::setActiveWindow(caja);
        *texto = caja->text() + QStringLiteral(" [") + caja->defaultButton()->text()
            + QLatin1Char(']');
        QTest::keyClick(caja, Qt::Key(Qt::Key_A + (letra - 'a')), Qt::AltModifier);
        reloj->stop();
        reloj->deleteLater();
    });
    reloj->start();
}

void escribir(const QString &texto)
{
    QWidget *campo = QApplication::focusWidget();
    QTest::keyClick(campo, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(campo, Qt::Key_Delete);
    QTest::keyClicks(campo, texto);
}

bool esperar(const VentanaPersonal &v)
{
    return QTest::qWaitFor([&] { return !v.ocupada(); }, 120000);
}

// Every sheet of a workbook, cell by cell.
std::map<QString, CeldasHoja> hojas(const QString &ruta)
{
    std::map<QString, CeldasHoja> r;
    const PaqueteXlsx paquete = PaqueteXlsx::deArchivo(ruta);
    for (const char *nombre :
        { "Resultados", "Puntajes", "Items", "Modelos", "Establecimientos", "Equiparación" }) {
        CeldasHoja &celdas = r[QString::fromUtf8(nombre)];
        (void)recorrerHoja(
            paquete, QString::fromUtf8(nombre), [&celdas](int fila, int columna, const Celda &c) {
                celdas.emplace(std::pair(fila, columna), c);
            });
    }
    return r;
}

struct Ventana {
    Ventana()
    {
        v.show();
        QApplication::setActiveWindow(&v);
        QVERIFY(QTest::qWaitForWindowActive(&v));
    }
    template <typename T> T *hijo(const char *nombre)
    {
        return v.findChild<T *>(QLatin1String(nombre));
    }
    VentanaPersonal v { QCoreApplication::applicationDirPath() };
};

} // namespace

class TstPersonal : public QObject {
    Q_OBJECT
private slots:
    // A station whose mathematics pictures a finished exam deleted: "Copiar y verificar" brings
    // all 264 back after the question about the workbooks, which stay byte for byte.
    void prepararDevuelveLasImagenes()
    {
        QTemporaryDir maestra, estacion;
        QVERIFY(generarContenido(maestra.path()).resultado.ok());
        QVERIFY(generarContenido(estacion.path()).resultado.ok());
        for (int m = 1; m <= kModelos; ++m)
            for (const QString &f : QDir(carpetaModelo(estacion.path(), Asignatura::Matematica, m))
                                        .entryList(QDir::Files))
                QVERIFY(QFile::remove(
                    QDir(carpetaModelo(estacion.path(), Asignatura::Matematica, m)).filePath(f)));
        const QString libro
            = QDir(estacion.path()).filePath("Apl Examen - EE0310002_T_3A_2_0987.xlsx");
        crearArchivo(libro, "el libro de un alumno");
        const QString registro
            = QDir(estacion.path()).filePath(".Apl Examen - EE0310002_T_3A_2_0987.recuperacion");
        crearArchivo(registro, "{}");
        const QByteArray antes = huella(libro);
        const QByteArray antesRegistro = huella(registro);

        Ventana w;
        alt(&w.v, 'p');
        alt(&w.v, 'm');
        escribir(maestra.path());
        alt(&w.v, 't');
        escribir(estacion.path());
        QString pregunta;
        responderCaja('s', &pregunta);
        alt(&w.v, 'c');
        QVERIFY(esperar(w.v));
        QVERIFY2(pregunta.contains("1 libro de alumnos") && pregunta.endsWith("[&No]"),
            qPrintable(pregunta));
        QVERIFY(esperar(w.v));
        const QString resultado = w.hijo<QPlainTextEdit>("ResultadoPreparar")->toPlainText();
        QVERIFY2(resultado.contains("264 de 264 imágenes"), qPrintable(resultado));
        // The pictures, their descriptions and the documents.
        QCOMPARE(archivosBajo(QDir(estacion.path()).filePath("Imagenes")), 264 + 264 + 7);
        QCOMPARE(huella(libro), antes);
        QCOMPARE(huella(registro), antesRegistro);
    }

    // "Verificar" lists the one picture deleted, with its path, and one description deleted
    // as a warning.
    void verificarNombraLaImagenQueFalta()
    {
        QTemporaryDir estacion;
        QVERIFY(generarContenido(estacion.path()).resultado.ok());
        const QString falta = rutaPregunta(estacion.path(), Asignatura::Lengua, 2, 7);
        QVERIFY(QFile::remove(falta));
        QVERIFY(QFile::remove(rutaDescripcionPregunta(estacion.path(), Asignatura::Lengua, 2, 7)));
        Ventana w;
        alt(&w.v, 'v');
        alt(&w.v, 'a');
        escribir(estacion.path());
        alt(&w.v, 'm');
        QVERIFY(esperar(w.v));
        auto *problemas = w.hijo<QTableWidget>("Problemas");
        QCOMPARE(problemas->rowCount(), 2);
        QCOMPARE(problemas->item(0, 0)->text(), QStringLiteral("falta la imagen"));
        QCOMPARE(problemas->item(0, 1)->text(), QDir::toNativeSeparators(falta));
        QVERIFY(problemas->item(1, 0)->text().startsWith(
            "Aviso: 1 de 22 imágenes sin descripción para el lector de pantalla (preguntas 7)"));
        QVERIFY(w.hijo<QLabel>("ResumenVerificar")->text().contains("un alumno ciego no puede"));
    }

    // Two stations and a key typed in the fields: the window writes what the command line
    // writes, cell by cell and byte for byte; "Abrir el informe" shows it in the viewer.
    void recopilarComoLaLineaDeComandos()
    {
        QTemporaryDir datos;
        const QDir d(datos.path());
        QVERIFY(generarLibrosDemo(d.filePath("e1"), clavesDemo(), 60, 1).resultado.ok());
        QVERIFY(generarLibrosDemo(d.filePath("e2"), clavesDemo(), 40, 2).resultado.ok());
        QVERIFY(escribirClavesDemo(d.filePath("maestra"), d.filePath("claves.xlsx")).ok());
        QVERIFY(d.mkpath("ventana") && d.mkpath("linea"));
        QProcess linea;
        linea.start(QStringLiteral(RECOPILAR_RESULTADOS),
            { d.filePath("linea/r.xlsx"), d.filePath("e1"), d.filePath("e2"), "--claves",
                d.filePath("claves.xlsx") });
        QVERIFY(linea.waitForFinished(60000));

        Ventana w;
        alt(&w.v, 'o');
        alt(&w.v, 'e');
        for (const char *e : { "e1", "e2" }) {
            QTest::keyClicks(QApplication::focusWidget(), d.filePath(e));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        alt(&w.v, 'c');
        escribir(d.filePath("claves.xlsx"));
        alt(&w.v, 's');
        escribir(d.filePath("ventana/r.xlsx"));
        alt(&w.v, 'r');
        QVERIFY(esperar(w.v));
        const QString resumen = w.hijo<QLabel>("ResumenRecopilar")->text();
        QVERIFY2(resumen.startsWith("100 libros"), qPrintable(resumen));
        QCOMPARE(hojas(d.filePath("ventana/r.xlsx")), hojas(d.filePath("linea/r.xlsx")));
        QCOMPARE(huella(d.filePath("ventana/r.csv")), huella(d.filePath("linea/r.csv")));
        QVERIFY(QFileInfo::exists(d.filePath("ventana/r.pdf")));
        alt(&w.v, 'i');
        QVERIFY(QTest::qWaitFor(
            [&] {
                return w.v.findChild<VisorPdf *>(QStringLiteral("Visor"))
                           ->estado(d.filePath("ventana/r.pdf"))
                    == VisorPdf::Estado::Abierto;
            },
            20000));
    }

    // Cancelled, the gathering places nothing and leaves nothing staged; an output the disk
    // refuses is said in words, with the reason below.
    void cancelarYSalidaImposible_data()
    {
        QTest::addColumn<bool>("cancelar");
        QTest::newRow("cancelled") << true;
        QTest::newRow("a file where the output's folder goes") << false;
    }
    void cancelarYSalidaImposible()
    {
        QFETCH(bool, cancelar);
        QTemporaryDir datos;
        const QDir d(datos.path());
        QVERIFY(generarLibrosDemo(d.filePath("e1"), clavesDemo(), cancelar ? 3000 : 10, 1)
                    .resultado.ok());
        QVERIFY(d.mkpath("salida"));
        if (!cancelar)
            crearArchivo(d.filePath("salida/carpeta"), "un archivo");
        Ventana w;
        alt(&w.v, 'o');
        alt(&w.v, 'e');
        QTest::keyClicks(QApplication::focusWidget(), d.filePath("e1"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        alt(&w.v, 'c');
        escribir(QString()); // no key: the last run's is remembered
        alt(&w.v, 's');
        escribir(d.filePath(cancelar ? "salida/r.xlsx" : "salida/carpeta/r.xlsx"));
        if (!cancelar) {
            alt(&w.v, 'r');
        } else {
            // Cancelled as soon as the button can be pressed, well before 3,000 are read.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::AltModifier);
            auto *boton = w.hijo<QPushButton>("Cancelar");
            QVERIFY(QTest::qWaitFor([&] { return boton->isEnabled(); }, 5000));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::AltModifier);
        }
        QVERIFY(esperar(w.v));
        const QString resumen = w.hijo<QLabel>("ResumenRecopilar")->text();
        QVERIFY2(resumen.startsWith(
                     cancelar ? "Recopilación cancelada" : "No se pudo guardar la recopilación"),
            qPrintable(resumen));
        QVERIFY(resumen.contains("Detalle técnico: "));
        QCOMPARE(QDir(d.filePath("salida")).entryList(QDir::Files | QDir::Hidden),
            cancelar ? QStringList() : QStringList({ "carpeta" }));
    }

    // A netbook's screen and a small one: everything of the window can be reached and seen.
    void pantallasChicas_data() { filasDePantallasChicas(); }
    void pantallasChicas()
    {
        QFETCH(QSize, pantalla);
        QString omitido;
        // Every button of the three pages, not a few.
        const QString falla = fallaEnPantallaChica(pantalla, 12, &omitido);
        if (!omitido.isEmpty())
            QSKIP(qPrintable(omitido));
        QVERIFY2(falla.isEmpty(), qPrintable(falla));
    }
};

namespace {

// Under a window manager, on a small screen: the window, frame included, within the screen;
// on every page, every button reached by Tab and seen whole when it has the focus, and every
// one (enabled or not) brought into view by its page. Prints what fails, then "fin".
int revisarPantallaChica()
{
    VentanaPersonal ventana(QCoreApplication::applicationDirPath());
    ventana.show();
    if (!QTest::qWaitFor([&] { return ventana.windowHandle()->frameMargins().top() > 0; }, 30000))
        std::printf("sin marco: la ventana\n");
    QApplication::setActiveWindow(&ventana);
    const QRect pantalla = ventana.screen()->geometry();
    if (!pantalla.contains(ventana.frameGeometry()))
        std::printf("ventana fuera de la pantalla\n");
    auto *pestanas = ventana.findChild<QTabWidget *>();
    int revisados = 0;
    for (int i = 0; i < pestanas->count(); ++i) {
        pestanas->setCurrentIndex(i);
        QWidget *pagina = pestanas->widget(i);
        auto *area = qobject_cast<QScrollArea *>(pagina);
        const auto botones = (area ? area->widget() : pagina)->findChildren<QAbstractButton *>();
        QWidget *vista = area ? area->viewport() : pagina;
        QSet<QWidget *> alcanzados;
        pestanas->tabBar()->setFocus();
        for (int paso = 0; paso < 60 && QApplication::focusWidget(); ++paso) {
            QWidget *foco = QApplication::focusWidget();
            QCoreApplication::processEvents();
            const QRect donde(foco->mapToGlobal(QPoint(0, 0)), foco->size());
            if (qobject_cast<QAbstractButton *>(foco) && !pantalla.contains(donde))
                std::printf(
                    "con el foco fuera de la pantalla: %s\n", qPrintable(foco->objectName()));
            alcanzados.insert(foco);
            QTest::keyClick(foco, Qt::Key_Tab);
        }
        for (QAbstractButton *boton : botones) {
            if (!boton->isVisibleTo(pagina))
                continue;
            ++revisados;
            if (boton->isEnabled() && !alcanzados.contains(boton))
                std::printf("sin llegar con Tab: %s\n", qPrintable(boton->text()));
            if (area)
                area->ensureWidgetVisible(boton);
            QCoreApplication::processEvents();
            const QRect donde(boton->mapToGlobal(QPoint(0, 0)), boton->size());
            if (!pantalla.contains(donde)
                || !QRect(vista->mapToGlobal(QPoint(0, 0)), vista->size()).contains(donde))
                std::printf("no se ve: %s\n", qPrintable(boton->text()));
        }
    }
    std::printf("fin: %d botones\n", revisados);
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // The window's remembered folders go to a folder of this run, not the user's.
    QTemporaryDir preferencias;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(preferencias.path()));
    QApplication app(argc, argv);
    if (const int codigo = atenderDocumentoAparte(app.arguments()); codigo >= 0)
        return codigo;
    if (argc == 2 && qstrcmp(argv[1], "--pantalla-chica") == 0)
        return revisarPantallaChica();
    TstPersonal prueba;
    return QTest::qExec(&prueba, argc, argv);
}

#include "tst_Personal.moc"
