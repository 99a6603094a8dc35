// The station's own viewer of the reference documents: the page drawn, the keys of a viewer,
// a window that outlives the exam forms and never blocks them or is blocked by them.
#include "ContenidoDemo.h"
#include "ExamenDePrueba.h"
#include "VisorPdf.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <csignal>
#include <sys/stat.h>

namespace {

QPdfView *vistaDe(VentanaDocumento *ventana)
{
    return ventana->findChild<QPdfView *>(QStringLiteral("Documento"));
}

// The station's own window that tells why a document cannot be shown, found as the student
// sees it: by its title.
VentanaDocumento *avisoEnPantalla(const QString &ruta)
{
    const QString titulo = QStringLiteral("ORBELA - ") + QFileInfo(ruta).completeBaseName();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *ventana = qobject_cast<VentanaDocumento *>(w);
        if (ventana && ventana->windowTitle() == titulo && !ventana->cargado())
            return ventana;
    }
    return nullptr;
}

// The view once its first page is on screen: rendering runs apart from the window.
QImage paginaEnPantalla(VentanaDocumento *ventana)
{
    QImage imagen;
    (void)QTest::qWaitFor(
        [&] {
            imagen = vistaDe(ventana)->viewport()->grab().toImage().convertToFormat(
                QImage::Format_RGB32);
            // Some dark pixel: text is drawn.
            for (int y = 0; y < imagen.height(); y += 2)
                for (int x = 0; x < imagen.width(); x += 2)
                    if (qGray(imagen.pixel(x, y)) < 60)
                        return true;
            return false;
        },
        10000);
    return imagen;
}

// The mean difference, 0 to 255, between two pictures over the part both cover.
double diferencia(const QImage &a, const QImage &b, QPoint desde)
{
    qint64 suma = 0;
    qint64 n = 0;
    for (int y = 0; y < b.height() && y + desde.y() < a.height(); ++y) {
        for (int x = 0; x < b.width() && x + desde.x() < a.width(); ++x) {
            suma += qAbs(qGray(a.pixel(x + desde.x(), y + desde.y())) - qGray(b.pixel(x, y)));
            ++n;
        }
    }
    return n ? double(suma) / double(n) : 255;
}

// The mathematics exam with the real viewer as the document opener; its readers are this
// test program started again.
struct ExamenConVisor {
    ExamenDePrueba<FrmMatMod1H1> examen { 2 };
    VisorPdf visor;
    Entorno entorno { examen.banco.entorno.carpetaPrograma, examen.banco.mensajes,
        examen.banco.archivos, examen.banco.reloj, visor, examen.banco.hoja, examen.banco.disco };
    std::unique_ptr<FrmMatMod1H1> form;

    ExamenConVisor()
    {
        if (!generarContenido(examen.carpeta).resultado.ok())
            qFatal("no se pudo generar el contenido");
        abrir();
    }
    void abrir()
    {
        form.reset();
        form = std::make_unique<FrmMatMod1H1>(entorno, examen.banco.sesion);
        form->cargar();
        form->show();
    }
    QPushButton *boton(const char *nombre)
    {
        return hijo<QPushButton>(form.get(), QLatin1String(nombre));
    }
    QString tabla() const { return rutaTablaFormulas(examen.carpeta); }
};

// Waits, with the events running, for the viewer to reach `estado`; a reader never needs this
// long, however loaded the machine.
bool esperar(const VisorPdf &visor, const QString &ruta, VisorPdf::Estado estado)
{
    return QTest::qWaitFor([&] { return visor.estado(ruta) == estado; }, 20000);
}

bool procesoVivo(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) == 0;
}

// A document window of this process, as a reader shows it.
std::unique_ptr<VentanaDocumento> ventanaDe(const QString &ruta)
{
    auto ventana = std::make_unique<VentanaDocumento>(ruta);
    ventana->showMaximized();
    QApplication::setActiveWindow(ventana.get());
    return ventana;
}

} // namespace

class TstVisorPdf : public QObject {
    Q_OBJECT
private slots:
    // "Tabla de fórmulas" shows the document through a reader of its own; the window fits the
    // page to its width, and page 1 is drawn as the document renders it.
    void tablaDeFormulasDibujada()
    {
        ExamenConVisor e;
        QTest::mouseClick(e.boton("CmdTabla"), Qt::LeftButton);
        QVERIFY(esperar(e.visor, e.tabla(), VisorPdf::Estado::Abierto));
        QVERIFY(procesoVivo(e.visor.proceso(e.tabla())));
        QVERIFY(e.visor.proceso(e.tabla()) != QCoreApplication::applicationPid());

        const auto ventana = ventanaDe(e.tabla());
        QVERIFY(ventana->cargado());
        QCOMPARE(vistaDe(ventana.get())->zoomMode(), QPdfView::ZoomMode::FitToWidth);
        QCOMPARE(hijo<QLabel>(ventana.get(), "Pagina")->text(), QStringLiteral("página 1 de 1"));

        QPdfDocument documento;
        QCOMPARE(documento.load(e.tabla()), QPdfDocument::Error::None);
        const QMargins margenes = vistaDe(ventana.get())->documentMargins();
        const QSizeF puntos = documento.pagePointSize(0);
        // The same page, up to the rounding of its size by a pixel, once the view has drawn it
        // at its final size (a first picture may still be the one of a size before).
        QImage pantalla;
        QImage pagina;
        double mejor = 255;
        double tintaVista = 0;
        (void)QTest::qWaitFor(
            [&] {
                pantalla = paginaEnPantalla(ventana.get());
                const int ancho = pantalla.width() - margenes.left() - margenes.right();
                // The document renders on transparent; the view shows it on white paper.
                const QImage tinta = documento.render(
                    0, QSize(ancho, qRound(ancho * puntos.height() / puntos.width())));
                pagina = QImage(tinta.size(), QImage::Format_RGB32);
                pagina.fill(Qt::white);
                QPainter(&pagina).drawImage(0, 0, tinta);
                mejor = 255;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        mejor = qMin(mejor,
                            diferencia(pantalla, pagina,
                                QPoint(margenes.left() + dx, margenes.top() + dy)));
                QImage enBlanco(pagina.size(), QImage::Format_RGB32);
                enBlanco.fill(Qt::white);
                tintaVista
                    = diferencia(pantalla, enBlanco, QPoint(margenes.left(), margenes.top()));
                return mejor < 4.0 && tintaVista > 10 * mejor;
            },
            5000);
        QVERIFY2(mejor < 4.0, qPrintable(QString::number(mejor)));
        QVERIFY2(tintaVista > 10 * mejor,
            qPrintable(QStringLiteral("%1 frente a %2").arg(tintaVista).arg(mejor)));
    }

    // The reader lives apart from the forms: 50 changes of question and the end of the exam
    // leave it open and answering, and a second press brings the same window to the front.
    void ventanaQueSobreviveAlExamen()
    {
        ExamenConVisor e;
        QTest::mouseClick(e.boton("CmdTabla"), Qt::LeftButton);
        QVERIFY(esperar(e.visor, e.tabla(), VisorPdf::Estado::Abierto));
        const qint64 lector = e.visor.proceso(e.tabla());
        for (int i = 0; i < 50; ++i) {
            QTest::mouseClick(e.boton(i % 21 == 20 ? "CmdPreg_0" : "CmdSiguiente"), Qt::LeftButton);
            QVERIFY(!e.form->isVisible());
            e.abrir();
            QTest::qWait(20);
        }
        QTest::mouseClick(e.boton("CmdTabla"), Qt::LeftButton);
        QTest::mouseClick(e.boton("CmdSalir"), Qt::LeftButton); // "Salir sin guardar"
        e.form.reset();
        QTest::qWait(3000); // longer than a reader may stay silent
        QCOMPARE(e.visor.estado(e.tabla()), VisorPdf::Estado::Abierto);
        QCOMPARE(e.visor.proceso(e.tabla()), lector);
    }

    // The station ends: its readers go with it.
    void ventanasSeCierranConLaEstacion()
    {
        qint64 lector = 0;
        {
            ExamenConVisor e;
            QTest::mouseClick(e.boton("CmdTabla"), Qt::LeftButton);
            QVERIFY(esperar(e.visor, e.tabla(), VisorPdf::Estado::Abierto));
            lector = e.visor.proceso(e.tabla());
            QVERIFY(procesoVivo(lector));
        }
        QVERIFY(!procesoVivo(lector));
    }

    // Whatever stands at the formula table's name, the exam goes on at once: the next question
    // answers while the reader works, and the student gets the page or the notice. No table, or
    // a folder of its name, is a station without one: nothing happens.
    void documentosHostiles_data()
    {
        QTest::addColumn<QByteArray>("forma");
        QTest::addColumn<QString>("esperado");
        QTest::newRow("missing") << QByteArray("borrar") << "cerrado";
        QTest::newRow("folder") << QByteArray("carpeta") << "cerrado";
        QTest::newRow("0 bytes") << QByteArray("vacio") << "aviso";
        QTest::newRow("not a PDF") << QByteArray("texto") << "aviso";
        QTest::newRow("truncated") << QByteArray("cortado") << "aviso o abierto";
        QTest::newRow("page tree that holds itself") << QByteArray("ciclo") << "aviso";
        QTest::newRow("encrypted") << QByteArray("cifrado") << "aviso";
        QTest::newRow("pipe") << QByteArray("tuberia") << "aviso";
        QTest::newRow("dangling link") << QByteArray("colgante") << "aviso";
        QTest::newRow("link to a good table") << QByteArray("enlace") << "abierto";
        QTest::newRow("10,000 pages") << QByteArray("paginas") << "abierto";
    }
    void documentosHostiles()
    {
        QFETCH(QByteArray, forma);
        QFETCH(QString, esperado);
        ExamenConVisor e;
        const QString ruta = e.tabla();
        QFile demo(ruta);
        QVERIFY(demo.open(QIODevice::ReadOnly));
        const QByteArray buena = demo.readAll();
        demo.close();
        QVERIFY(QFile::remove(ruta));
        QTemporaryDir fuera;
        const QByteArray r = QFile::encodeName(ruta);
        if (forma == "carpeta")
            QVERIFY(QDir().mkpath(ruta));
        else if (forma == "tuberia")
            QCOMPARE(::mkfifo(r.constData(), 0644), 0);
        else if (forma == "colgante")
            QVERIFY(QFile::link(fuera.filePath("no-existe.pdf"), ruta));
        else if (forma == "enlace") {
            crearArchivo(fuera.filePath("tabla.pdf"), buena);
            QVERIFY(QFile::link(fuera.filePath("tabla.pdf"), ruta));
        } else if (forma != "borrar")
            crearArchivo(ruta,
                forma == "vacio"         ? QByteArray()
                    : forma == "texto"   ? QByteArray("no es un PDF")
                    : forma == "cortado" ? buena.left(buena.size() / 2)
                                         : pdfDePrueba(forma));

        const int pregunta = e.examen.banco.sesion.PreguntaMat;
        QTest::mouseClick(e.boton("CmdTabla"), Qt::LeftButton);
        QTest::mouseClick(e.boton("CmdSiguiente"), Qt::LeftButton);
        QCOMPARE(e.examen.banco.sesion.PreguntaMat, pregunta + 1);
        QVERIFY(!e.form->isVisible());

        if (esperado == "cerrado") {
            QTest::qWait(500);
            QCOMPARE(e.visor.estado(ruta), VisorPdf::Estado::Cerrado);
            QVERIFY(!avisoEnPantalla(ruta));
            return;
        }
        QVERIFY(QTest::qWaitFor(
            [&] {
                const VisorPdf::Estado estado = e.visor.estado(ruta);
                return estado == VisorPdf::Estado::Aviso || estado == VisorPdf::Estado::Abierto;
            },
            20000));
        const bool aviso = e.visor.estado(ruta) == VisorPdf::Estado::Aviso;
        QVERIFY2(esperado.contains(aviso ? "aviso" : "abierto"), aviso ? "aviso" : "abierto");
        if (aviso) {
            VentanaDocumento *ventana = avisoEnPantalla(ruta);
            QVERIFY(ventana && ventana->isVisible());
            QCOMPARE(ventana->aviso(),
                QStringLiteral("No se puede leer el documento \"Tabla de formulas.pdf\".\nAvise al "
                               "supervisor."));
            QCOMPARE(e.visor.proceso(ruta), 0);
        }
    }

    // A texts document that is missing or cannot be read: the station's window says so.
    void textosQueFaltan_data()
    {
        QTest::addColumn<QByteArray>("contenido"); // empty: no file at all
        QTest::addColumn<QString>("aviso");
        QTest::newRow("missing")
            << QByteArray()
            << "No se encuentra el documento \"Leng_Mod3_Textos.pdf\".\nAvise al supervisor.";
        QTest::newRow("not a PDF")
            << QByteArray("no es un PDF")
            << "No se puede leer el documento \"Leng_Mod3_Textos.pdf\".\nAvise al supervisor.";
        QTest::newRow("page tree that holds itself")
            << pdfDePrueba("ciclo")
            << "No se puede leer el documento \"Leng_Mod3_Textos.pdf\".\nAvise al supervisor.";
    }
    void textosQueFaltan()
    {
        QFETCH(QByteArray, contenido);
        QFETCH(QString, aviso);
        ExamenDePrueba<FrmLengMod1> e(3);
        const QString ruta = rutaTextosLengua(e.carpeta, 3);
        if (!contenido.isEmpty())
            crearArchivo(ruta, contenido);
        VisorPdf visor;
        visor.abrir(ruta);
        QVERIFY(esperar(visor, ruta, VisorPdf::Estado::Aviso));
        VentanaDocumento *ventana = avisoEnPantalla(ruta);
        QVERIFY(ventana && ventana->isVisible());
        QVERIFY(!ventana->cargado());
        QCOMPARE(ventana->aviso(), aviso);
        const QPdfView *vista = vistaDe(ventana);
        QVERIFY(!vista || !vista->isVisible()); // no document shown
        // The supervisor mends the file and the student presses again: the document shows.
        QVERIFY(generarContenido(e.carpeta, true).resultado.ok());
        visor.abrir(ruta);
        QVERIFY(esperar(visor, ruta, VisorPdf::Estado::Abierto));
        QVERIFY(!avisoEnPantalla(ruta));
    }

    // A reader is judged by what it does, with budgets made short here: one that starts and
    // reads slowly, as on a loaded computer, shows its document however long that takes on the
    // wall clock; one that spins after starting, or never starts, or stops answering once
    // shown, gives the notice. Meanwhile the station says it is opening the document.
    void lectoresJuzgadosPorLoQueHacen_data()
    {
        QTest::addColumn<QString>("lector"); // a shell script standing for the reader
        QTest::addColumn<QString>("esperado");
        const QString responder
            = QStringLiteral("while read l; do [ \"$l\" = \"?\" ] && echo '!'; done\n");
        QTest::newRow("slow to start and to read")
            << QStringLiteral("sleep 1; echo vivo; sleep 2.5; echo listo\n") + responder
            << "abierto";
        QTest::newRow("spins after starting")
            << QStringLiteral("echo vivo; while :; do :; done\n") << "aviso";
        QTest::newRow("never starts") << QStringLiteral("exec sleep 30\n") << "aviso";
        QTest::newRow("waits for ever after starting")
            << QStringLiteral("echo vivo; exec sleep 30\n") << "aviso";
        QTest::newRow("stops answering once shown")
            << QStringLiteral("echo vivo; echo listo; while :; do :; done\n") << "aviso";
    }
    void lectoresJuzgadosPorLoQueHacen()
    {
        QFETCH(QString, lector);
        QFETCH(QString, esperado);
        QTemporaryDir carpeta;
        const QString programa = carpeta.filePath(QStringLiteral("lector"));
        crearArchivo(programa, "#!/bin/sh\n" + lector.toUtf8());
        QVERIFY(QFile::setPermissions(programa, QFile::ReadOwner | QFile::ExeOwner));
        const QString ruta = carpeta.filePath(QStringLiteral("Leng_Mod1_Textos.pdf"));
        crearArchivo(ruta, "%PDF-1.4\n");
        const PlazosLector plazos { 2000, 300, 4000 };
        VisorPdf visor(programa, plazos);
        visor.abrir(ruta);
        const auto abriendo = [] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (w->objectName() == QStringLiteral("Abriendo") && w->isVisible())
                    return qobject_cast<QLabel *>(w);
            }
            return static_cast<QLabel *>(nullptr);
        };
        QVERIFY(abriendo());
        QCOMPARE(abriendo()->text(), QStringLiteral("Abriendo el documento…"));
        const auto estado = esperado == QStringLiteral("abierto") ? VisorPdf::Estado::Abierto
                                                                  : VisorPdf::Estado::Aviso;
        QElapsedTimer reloj;
        reloj.start();
        QVERIFY(esperar(visor, ruta, estado));
        QVERIFY(QTest::qWaitFor([&] { return abriendo() == nullptr; }, 2000));
        if (estado == VisorPdf::Estado::Abierto) {
            // It goes on answering: still open after more than one budget of the wall clock.
            QVERIFY(!QTest::qWaitFor(
                [&] { return visor.estado(ruta) != VisorPdf::Estado::Abierto; }, 1500));
        } else {
            // Within the longest budget, with room for a loaded machine.
            QVERIFY2(reloj.elapsed() < plazos.esperaMs + 2000,
                qPrintable(QString::number(reloj.elapsed())));
            QVERIFY(avisoEnPantalla(ruta));
        }
    }

    // The staff's check opens each document the same way, and a reader that hangs is killed
    // and named.
    void documentosProbadosAparte_data()
    {
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("10,000 pages") << pdfDePrueba("paginas") << "";
        QTest::newRow("page tree that holds itself")
            << pdfDePrueba("ciclo") << "no se abre: el lector no terminó de leerlo en 3 s";
        QTest::newRow("encrypted") << pdfDePrueba("cifrado") << "no se abre: pide contraseña";
        QTest::newRow("not a PDF") << QByteArray("texto") << "no se abre: no se puede leer";
        QTest::newRow("pipe") << QByteArray() << "no es un archivo común";
    }
    void documentosProbadosAparte()
    {
        QFETCH(QByteArray, contenido);
        QFETCH(QString, motivo);
        QTemporaryDir dir;
        const QString ruta = dir.filePath("d.pdf");
        if (contenido.isEmpty())
            QCOMPARE(::mkfifo(QFile::encodeName(ruta).constData(), 0644), 0);
        else
            crearArchivo(ruta, contenido);
        const QString dicho
            = probarDocumentoAparte(QCoreApplication::applicationFilePath(), ruta, 3000);
        QVERIFY2(motivo.isEmpty() ? dicho.isEmpty() : dicho.startsWith(motivo), qPrintable(dicho));
    }

    // The keys of a viewer: pages down and up, zoom with Ctrl and "+" or "−" or the wheel.
    void teclasDelVisor()
    {
        QTemporaryDir dir;
        QVERIFY(generarContenido(dir.path()).resultado.ok());
        const QString ruta = rutaTextosLengua(dir.path(), 2);
        const auto propia = ventanaDe(ruta);
        VentanaDocumento *ventana = propia.get();
        QVERIFY(ventana->cargado());
        QCOMPARE(ventana->paginas(), 2);
        QCOMPARE(ventana->pagina(), 1);
        for (int i = 0; i < 6 && ventana->pagina() == 1; ++i)
            QTest::keyClick(vistaDe(ventana), Qt::Key_PageDown);
        QCOMPARE(ventana->pagina(), 2);
        QCOMPARE(hijo<QLabel>(ventana, "Pagina")->text(), QStringLiteral("página 2 de 2"));
        // A screen reader finds the words of the page shown, and no notice while it is shown.
        QAccessibleInterface *texto
            = QAccessible::queryAccessibleInterface(hijo<QWidget>(ventana, "TextoPagina"));
        QCOMPARE(texto->text(QAccessible::Name), QStringLiteral("Texto de la página 2"));
        QVERIFY2(texto->textInterface()
                     ->text(0, texto->textInterface()->characterCount())
                     .contains(QStringLiteral("abejas se comunican")),
            qPrintable(texto->textInterface()->text(0, 200)));
        QVERIFY(!ventana->findChild<QLabel *>(QStringLiteral("Aviso")));
        for (int i = 0; i < 6 && ventana->pagina() == 2; ++i)
            QTest::keyClick(vistaDe(ventana), Qt::Key_PageUp);
        QCOMPARE(ventana->pagina(), 1);

        const qreal inicial = ventana->zoom();
        QTest::keyClick(ventana, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(ventana->zoom(), inicial * 1.25);
        QTest::keyClick(ventana, Qt::Key_Minus, Qt::ControlModifier);
        QTest::keyClick(ventana, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(ventana->zoom(), inicial / 1.25);
        QWheelEvent rueda(QPointF(50, 50),
            vistaDe(ventana)->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 120),
            Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(vistaDe(ventana)->viewport(), &rueda);
        QCOMPARE(ventana->zoom(), inicial);
        QTest::keyClick(ventana, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(vistaDe(ventana)->zoomMode(), QPdfView::ZoomMode::Custom);
        QTest::keyClick(ventana, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(vistaDe(ventana)->zoomMode(), QPdfView::ZoomMode::FitToWidth);

        // A screen reader says what each button does, not its sign.
        QStringList nombres;
        for (const QPushButton *boton : ventana->findChildren<QPushButton *>())
            nombres << QAccessible::queryAccessibleInterface(const_cast<QPushButton *>(boton))
                           ->text(QAccessible::Name);
        QCOMPARE(nombres,
            (QStringList { QStringLiteral("Alejar"), QStringLiteral("Acercar"),
                QStringLiteral("Ajustar al ancho"), QStringLiteral("Volver al examen") }));
        QCOMPARE(QAccessible::queryAccessibleInterface(vistaDe(ventana))->text(QAccessible::Name),
            QFileInfo(ruta).completeBaseName());
        // Escape steps aside for the exam and leaves the document open for the next time.
        QTest::keyClick(vistaDe(ventana), Qt::Key_Escape);
        QVERIFY(ventana->windowState() & Qt::WindowMinimized);
        QVERIFY(ventana->cargado());
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // The readers the tests start are this program.
    if (const int codigo = atenderDocumentoAparte(app.arguments()); codigo >= 0)
        return codigo;
    TstVisorPdf prueba;
    return QTest::qExec(&prueba, argc, argv);
}
#include "tst_VisorPdf.moc"
