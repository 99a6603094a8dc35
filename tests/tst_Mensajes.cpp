#include "Apoyo.h"
#include "MensajesQt.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

// The real message boxes, answered as a person would.
class TstMensajes : public QObject {
    Q_OBJECT
private slots:
    void respuestas_data()
    {
        QTest::addColumn<int>("estilo");
        QTest::addColumn<int>("tecla");
        QTest::addColumn<QString>("boton");
        QTest::addColumn<int>("respuesta");
        QTest::newRow("276: Enter declines") << 276 << int(Qt::Key_Return) << "" << kRespuestaNo;
        QTest::newRow("276: Escape declines") << 276 << int(Qt::Key_Escape) << "" << kRespuestaNo;
        QTest::newRow("276: Yes clicked") << 276 << 0 << "Sí" << kRespuestaSi;
        QTest::newRow("0: Enter is OK") << 0 << int(Qt::Key_Return) << "" << kRespuestaAceptar;
    }
    void respuestas()
    {
        QFETCH(int, estilo);
        QFETCH(int, tecla);
        QFETCH(QString, boton);
        MensajesQt mensajes;
        QString titulo;
        QMessageBox::Icon icono = QMessageBox::NoIcon;
        int botones = 0;
        Guion guion(QStringLiteral("CajaMensaje"), [&](QWidget *w) {
            auto *caja = static_cast<QMessageBox *>(w);
            titulo = caja->windowTitle();
            icono = caja->icon();
            botones = int(caja->buttons().size());
            if (tecla)
                QTest::keyClick(caja, Qt::Key(tecla));
            else
                for (QAbstractButton *b : caja->buttons())
                    if (b->text() == boton)
                        b->click();
        });
        QTEST(mensajes.mostrar(
                  QStringLiteral("¿Seguro?"), estilo, {}, QStringLiteral("DEMO.HLP"), 1000),
            "respuesta");
        QCOMPARE(titulo, QStringLiteral("ORBELA"));
        QCOMPARE(botones, estilo == 276 ? 2 : 1);
        QCOMPARE(icono, estilo == 276 ? QMessageBox::Critical : QMessageBox::NoIcon);
    }

    // The language exam's instruction box: three lines, each on one line of the box.
    void instruccionesEnTresRenglones()
    {
        const QString texto = QStringLiteral(
            "- PARA RESPONDER DESDE LA ACTIVIDAD 1 A LA 11, LEÉ EL PRIMER TEXTO.\r\n"
            "- PARA RESPONDER DESDE LA ACTIVIDAD 12 A LA 22, LEÉ EL SEGUNDO TEXTO.\r\n"
            "- PARA VISUALIZAR LOS TEXTOS, OPRIMIR EL BOTÓN CELESTE EN EL MARGEN SUPERIOR DERECHO "
            "DE LA "
            "SIGUIENTE PANTALLA.");
        MensajesQt qt;
        IMensajes &mensajes = qt;
        int renglones = 0;
        int ancho = 0;
        int anchoMasLargo = 0;
        bool cabe = false;
        Guion guion(QStringLiteral("CajaMensaje"), [&](QWidget *caja) {
            auto *etiqueta = caja->findChild<QLabel *>(QStringLiteral("TextoCaja"));
            const QFontMetrics medidas(etiqueta->font());
            const QStringList lineas = etiqueta->text().split('\n');
            for (const QString &l : lineas)
                anchoMasLargo = qMax(anchoMasLargo, medidas.horizontalAdvance(l));
            renglones = etiqueta->wordWrap() ? -1 : int(lineas.size());
            ancho = etiqueta->width();
            cabe = caja->rect().contains(etiqueta->geometry())
                && etiqueta->height() < 4 * medidas.lineSpacing();
            QTest::keyClick(caja, Qt::Key_Return);
        });
        mensajes.mostrar(texto, 0);
        QCOMPARE(renglones, 3);
        QVERIFY2(ancho >= anchoMasLargo,
            qPrintable(QStringLiteral("%1 < %2").arg(ancho).arg(anchoMasLargo)));
        QVERIFY(cabe);
    }

    // A line wider than the screen is broken at words, nothing lost, and the box stays on the
    // screen; a line that fits is never broken (the instructions above).
    void lineaMasAnchaQueLaPantalla()
    {
        const QString larga = QStringLiteral(
            "ATENCIÓN: las respuestas NO se guardaron porque el disco no responde ")
                                  .repeated(4)
                                  .trimmed();
        MensajesQt qt;
        IMensajes &mensajes = qt;
        QStringList lineas;
        int masAncha = 0;
        QRect caja;
        QRect pantalla;
        Guion guion(QStringLiteral("CajaMensaje"), [&](QWidget *w) {
            auto *etiqueta = w->findChild<QLabel *>(QStringLiteral("TextoCaja"));
            lineas = etiqueta->text().split('\n');
            for (const QString &l : std::as_const(lineas))
                masAncha = qMax(masAncha, QFontMetrics(etiqueta->font()).horizontalAdvance(l));
            caja = w->frameGeometry();
            pantalla = w->screen()->availableGeometry();
            QTest::keyClick(w, Qt::Key_Return);
        });
        mensajes.mostrar(larga + QStringLiteral("\r\nAvise al supervisor."), 0);
        QVERIFY2(lineas.size() > 2, qPrintable(lineas.join('|')));
        QCOMPARE(lineas.last(), QStringLiteral("Avise al supervisor."));
        QCOMPARE(lineas.mid(0, lineas.size() - 1).join(' '), larga);
        QVERIFY2(masAncha < pantalla.width() && caja.width() <= pantalla.width(),
            qPrintable(QStringLiteral("%1, %2 de %3")
                           .arg(masAncha)
                           .arg(caja.width())
                           .arg(pantalla.width())));
    }

    // A cause that names a file is shown as written, never as markup.
    void textoSinMarcas()
    {
        MensajesQt qt;
        IMensajes &mensajes = qt;
        QString mostrado;
        Guion guion(QStringLiteral("CajaMensaje"), [&](QWidget *caja) {
            mostrado = caja->findChild<QLabel *>(QStringLiteral("TextoCaja"))->text();
            QTest::keyClick(caja, Qt::Key_Return);
        });
        mensajes.mostrar(QStringLiteral("<b>Apl Examen - x.xlsx</b>"), 0);
        QCOMPARE(mostrado, QStringLiteral("<b>Apl Examen - x.xlsx</b>"));
    }
};

int main(int argc, char **argv)
{
    // The boxes are measured on a station's screen, not on the bare offscreen one, however
    // the suite is started.
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" PANTALLA_ESTACION);
    QApplication app(argc, argv);
    TstMensajes prueba;
    return QTest::qExec(&prueba, argc, argv);
}
#include "tst_Mensajes.moc"
