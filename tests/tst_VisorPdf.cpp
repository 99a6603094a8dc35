// The station's own viewer of the reference documents: the page drawn, the keys of a viewer,
// a window that outlives the exam forms and never blocks them or is blocked by them.
#include "ContenidoDemo.h"
#include "ExamenDePrueba.h"
#include "VisorPdf.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfView>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>

namespace {

// The view once its first page is on screen: rendering runs apart from the window.
QImage paginaEnPantalla(VentanaDocumento *ventana)
{
    QImage imagen;
    (void)QTest::qWaitFor([&] {
        imagen = ventana->vista()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // Some dark pixel: text is drawn.
        for (int y = 0; y < imagen.height(); y += 2)
            for (int x = 0; x < imagen.width(); x += 2)
                if (qGray(imagen.pixel(x, y)) < 60)
                    return true;
        return false;
    }, 10000);
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

// The mathematics exam with the real viewer as the document opener.
struct ExamenConVisor {
    ExamenDePrueba<FrmMatMod1H1> examen {2};
    VisorPdf visor;
    Entorno entorno {examen.banco.entorno.carpetaPrograma, examen.banco.mensajes, examen.banco.archivos,
                     examen.banco.reloj, visor, examen.banco.hoja, examen.banco.disco};
    std::unique_ptr<FrmMatMod1H1> form;

    ExamenConVisor()
    {
        if (!generarContenido(examen.carpeta).error.isEmpty())
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
    QPushButton *boton(const char *nombre) { return hijo<QPushButton>(form.get(), QLatin1String(nombre)); }
    VentanaDocumento *tabla() { return visor.ventana(rutaTablaFormulas(examen.carpeta)); }
};

} // namespace

class TstVisorPdf : public QObject {
    Q_OBJECT
private slots:
    // "Tabla de fórmulas" opens the document in the station's own window, fitted to its
    // width and maximised, and page 1 is drawn as the document renders it.
    void tablaDeFormulasDibujada()
    {
        ExamenConVisor e;
        QTest::mouseClick(e.boton("CmdTabla"), Qt::LeftButton);
        VentanaDocumento *ventana = e.tabla();
        QVERIFY(ventana);
        QVERIFY(ventana->isVisible());
        QVERIFY(ventana->windowState() & Qt::WindowMaximized);
        QVERIFY(ventana->cargado());
        QCOMPARE(ventana->vista()->zoomMode(), QPdfView::ZoomMode::FitToWidth);
        QCOMPARE(hijo<QLabel>(ventana, "Pagina")->text(), QStringLiteral("página 1 de 1"));

        const QImage pantalla = paginaEnPantalla(ventana);
        QPdfDocument documento;
        QCOMPARE(documento.load(rutaTablaFormulas(e.examen.carpeta)), QPdfDocument::Error::None);
        const QMargins margenes = ventana->vista()->documentMargins();
        const int ancho = pantalla.width() - margenes.left() - margenes.right();
        const QSizeF puntos = documento.pagePointSize(0);
        // The document renders on transparent; the view shows it on white paper.
        const QImage tinta = documento.render(0, QSize(ancho, qRound(ancho * puntos.height() / puntos.width())));
        QImage pagina(tinta.size(), QImage::Format_RGB32);
        pagina.fill(Qt::white);
        QPainter(&pagina).drawImage(0, 0, tinta);
        // The same page, up to the rounding of its size by a pixel.
        double mejor = 255;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                mejor = qMin(mejor, diferencia(pantalla, pagina, QPoint(margenes.left() + dx, margenes.top() + dy)));
        QVERIFY2(mejor < 4.0, qPrintable(QString::number(mejor)));
        QImage enBlanco(pagina.size(), QImage::Format_RGB32);
        enBlanco.fill(Qt::white);
        QVERIFY(diferencia(pantalla, enBlanco, QPoint(margenes.left(), margenes.top())) > 10 * mejor);
    }

    // The window lives apart from the forms: 50 changes of question and the end of the exam
    // leave it open, and a second press brings the same window. With the exam form on
    // screen, clicks that come through the window system reach the viewer, and the exam too.
    void ventanaQueSobreviveAlExamen()
    {
        ExamenConVisor e;
        QTest::mouseClick(e.boton("CmdTabla"), Qt::LeftButton);
        QPointer<VentanaDocumento> ventana = e.tabla();
        QVERIFY(ventana);
        for (int i = 0; i < 50; ++i) {
            QTest::mouseClick(e.boton(i % 21 == 20 ? "CmdPreg_0" : "CmdSiguiente"), Qt::LeftButton);
            QVERIFY(!e.form->isVisible());
            e.abrir();
        }
        QVERIFY(ventana && ventana->isVisible());

        const qreal antes = ventana->zoom();
        const auto botones = ventana->findChildren<QPushButton *>();
        QPushButton *acercar = *std::find_if(botones.begin(), botones.end(), [](QPushButton *b) { return b->text() == "+"; });
        clicComoElSistema(acercar);
        QVERIFY(ventana->zoom() > antes * 1.2);
        const int pregunta = e.examen.banco.sesion.PreguntaMat;
        clicComoElSistema(e.boton("CmdSiguiente"));
        QCOMPARE(e.examen.banco.sesion.PreguntaMat, pregunta + 1);
        e.abrir();

        QTest::mouseClick(e.boton("CmdTabla"), Qt::LeftButton);
        QCOMPARE(e.tabla(), ventana.data());
        QCOMPARE(QApplication::topLevelWidgets().count(ventana.data()), 1);

        QTest::mouseClick(e.boton("CmdSalir"), Qt::LeftButton); // "Salir sin guardar"
        e.form.reset();
        QVERIFY(ventana && ventana->isVisible());
    }

    // The station ends: its document windows go with it.
    void ventanasSeCierranConLaEstacion()
    {
        QPointer<VentanaDocumento> ventana;
        {
            ExamenConVisor e;
            QTest::mouseClick(e.boton("CmdTabla"), Qt::LeftButton);
            ventana = e.tabla();
            QVERIFY(ventana);
        }
        QVERIFY(!ventana);
    }

    // A texts document that is missing or cannot be read: the window says so.
    void textosQueFaltan_data()
    {
        QTest::addColumn<QByteArray>("contenido"); // empty: no file at all
        QTest::addColumn<QString>("aviso");
        QTest::newRow("missing") << QByteArray() << "No se encuentra el documento \"Leng_Mod3_Textos.pdf\".\nAvise al supervisor.";
        QTest::newRow("not a PDF") << QByteArray("no es un PDF") << "No se puede leer el documento \"Leng_Mod3_Textos.pdf\".\nAvise al supervisor.";
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
        VentanaDocumento *ventana = visor.ventana(ruta);
        QVERIFY(ventana && ventana->isVisible());
        QVERIFY(!ventana->cargado());
        QCOMPARE(ventana->aviso(), aviso);
        QVERIFY(!ventana->vista()->isVisible());
    }

    // The keys of a viewer: pages down and up, zoom with Ctrl and "+" or "−" or the wheel.
    void teclasDelVisor()
    {
        QTemporaryDir dir;
        QVERIFY(generarContenido(dir.path()).error.isEmpty());
        const QString ruta = rutaTextosLengua(dir.path(), 2);
        VisorPdf visor;
        visor.abrir(ruta);
        VentanaDocumento *ventana = visor.ventana(ruta);
        QApplication::setActiveWindow(ventana);
        QVERIFY(ventana->cargado());
        QCOMPARE(ventana->paginas(), 2);
        QCOMPARE(ventana->pagina(), 1);
        for (int i = 0; i < 6 && ventana->pagina() == 1; ++i)
            QTest::keyClick(ventana->vista(), Qt::Key_PageDown);
        QCOMPARE(ventana->pagina(), 2);
        QCOMPARE(hijo<QLabel>(ventana, "Pagina")->text(), QStringLiteral("página 2 de 2"));
        for (int i = 0; i < 6 && ventana->pagina() == 2; ++i)
            QTest::keyClick(ventana->vista(), Qt::Key_PageUp);
        QCOMPARE(ventana->pagina(), 1);

        const qreal inicial = ventana->zoom();
        QTest::keyClick(ventana, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(ventana->zoom(), inicial * 1.25);
        QTest::keyClick(ventana, Qt::Key_Minus, Qt::ControlModifier);
        QTest::keyClick(ventana, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(ventana->zoom(), inicial / 1.25);
        QWheelEvent rueda(QPointF(50, 50), ventana->vista()->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(ventana->vista()->viewport(), &rueda);
        QCOMPARE(ventana->zoom(), inicial);
    }
};

QTEST_MAIN(TstVisorPdf)
#include "tst_VisorPdf.moc"
