#include "Apoyo.h"
#include "FrmCodigoAcceso.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class TstFrmCodigoAcceso : public QObject {
    Q_OBJECT
private slots:
    void aceptar_data()
    {
        QTest::addColumn<QString>("tecleado");
        QTest::addColumn<bool>("conEnter");
        QTest::addColumn<QString>("guardado");
        QTest::newRow("spaces around, Enter") << "  2813 " << true << "2813";
        QTest::newRow("inner space kept") << "28 13" << false << "28 13";
        QTest::newRow("tabs are not spaces") << "\t2813\t" << true << "\t2813\t";
        QTest::newRow("letters and punctuation") << " ab.,;ñ " << false << "ab.,;ñ";
        QTest::newRow("empty box") << "" << false << "";
    }
    void aceptar()
    {
        QFETCH(QString, tecleado);
        QFETCH(bool, conEnter);
        Sesion sesion;
        sesion.CodigoAcceso = QStringLiteral("previo");
        FrmCodigoAcceso dialogo(sesion);
        dialogo.show();
        auto *caja = hijo<QLineEdit>(&dialogo, "TxtCodAcceso");
        QCOMPARE(QApplication::focusWidget() == caja || !caja->window()->isActiveWindow(), true);
        caja->insert(tecleado); // tabs cannot be typed into a box without moving the focus
        if (conEnter)
            QTest::keyClick(caja, Qt::Key_Return);
        else
            QTest::mouseClick(hijo<QPushButton>(&dialogo, "CmdIngresar"), Qt::LeftButton);
        QTEST(sesion.CodigoAcceso, "guardado");
        QVERIFY(!dialogo.isVisible());
    }

    void salirYCierreNoTocanElCodigo_data()
    {
        QTest::addColumn<bool>("porElMarco");
        QTest::newRow("Salir") << false;
        QTest::newRow("close button") << true;
    }
    void salirYCierreNoTocanElCodigo()
    {
        QFETCH(bool, porElMarco);
        Sesion sesion;
        FrmCodigoAcceso dialogo(sesion);
        dialogo.show();
        QTest::keyClicks(hijo<QLineEdit>(&dialogo, "TxtCodAcceso"), QStringLiteral("2813"));
        if (porElMarco)
            QVERIFY(dialogo.close());
        else
            QTest::mouseClick(hijo<QPushButton>(&dialogo, "CmdSalir"), Qt::LeftButton);
        QVERIFY(sesion.CodigoAcceso.isEmpty());
        QVERIFY(!dialogo.isVisible());
    }

    void escapeNoCierra()
    {
        Sesion sesion;
        FrmCodigoAcceso dialogo(sesion);
        dialogo.show();
        QTest::keyClick(hijo<QLineEdit>(&dialogo, "TxtCodAcceso"), Qt::Key_Escape);
        QTest::keyClick(&dialogo, Qt::Key_Escape);
        QVERIFY(dialogo.isVisible());
        QVERIFY(dialogo.windowFlags() & Qt::WindowCloseButtonHint);
    }
};

QTEST_MAIN(TstFrmCodigoAcceso)
#include "tst_FrmCodigoAcceso.moc"
