#include "Apoyo.h"
#include "MensajesQt.h"

#include <QApplication>
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
        QTEST(mensajes.mostrar(QStringLiteral("¿Seguro?"), estilo, {}, QStringLiteral("DEMO.HLP"), 1000),
              "respuesta");
        QCOMPARE(titulo, QStringLiteral("ORBELA"));
        QCOMPARE(botones, estilo == 276 ? 2 : 1);
        QCOMPARE(icono, estilo == 276 ? QMessageBox::Critical : QMessageBox::NoIcon);
    }
};

QTEST_MAIN(TstMensajes)
#include "tst_Mensajes.moc"
