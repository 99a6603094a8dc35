#include "ExamenDePrueba.h"
#include "Geometria.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

using Examen = ExamenDePrueba<FrmMatMod1H1>;

constexpr quint32 kAmarillo = 0x00C0FFFF;

} // namespace

class TstFrmMatMod1H1 : public QObject {
    Q_OBJECT
private slots:
    void navegacionVisible_data()
    {
        QTest::addColumn<int>("q");
        for (int q : {1, 2, 11, 21, 22})
            QTest::newRow(qPrintable(QString::number(q))) << q;
    }
    void navegacionVisible()
    {
        QFETCH(int, q);
        Examen e;
        if (q != 1)
            e.ir(q);
        QCOMPARE(e.banco.sesion.PreguntaMat, q);
        QCOMPARE(e.control("CmdAnterior")->isVisible(), q != 1);
        QCOMPARE(e.control("CmdSiguiente")->isVisible(), q != 22);
        QVERIFY(e.control("CmdFinalizar")->isVisible());
        QCOMPARE(e.control<QLabel>("Label2")->text(), QStringLiteral("Modelo: 3"));
        QVERIFY(!e.control<QLabel>("Image1")->pixmap().isNull());
    }

    void siguienteYAnteriorRecorrenTodo()
    {
        Examen e;
        for (int q = 1; q < 22; ++q)
            e.navegar(e.control("CmdSiguiente"));
        QCOMPARE(e.banco.sesion.PreguntaMat, 22);
        for (int q = 22; q > 1; --q)
            e.navegar(e.control("CmdAnterior"));
        QCOMPARE(e.banco.sesion.PreguntaMat, 1);
    }

    void respuestaGuardadaYRestaurada()
    {
        Examen e;
        e.ir(5);
        e.elegir('C');
        e.navegar(e.control("CmdSiguiente"));
        QCOMPARE(e.banco.sesion.RespMat[5], QStringLiteral("C"));
        QCOMPARE(e.elegida(), QString());
        e.navegar(e.control("CmdAnterior"));
        QCOMPARE(e.banco.sesion.PreguntaMat, 5);
        QCOMPARE(e.elegida(), QStringLiteral("C"));
        for (int q = 1; q <= 22; ++q)
            QCOMPARE(e.color(q), q == 5 ? kColorCaraBoton : kAmarillo);
    }

    void sinElegirQuedaVacia()
    {
        Examen e;
        e.ir(9);
        e.navegar(e.control("CmdSiguiente"));
        QVERIFY(e.banco.sesion.RespMat[9].isEmpty());
        QCOMPARE(e.color(9), kAmarillo);
    }

    void cambiarDeBaD()
    {
        Examen e;
        e.elegir('B');
        e.ir(2);
        e.ir(1);
        QCOMPARE(e.elegida(), QStringLiteral("B"));
        e.elegir('D');
        e.navegar(e.control("CmdSiguiente"));
        QCOMPARE(e.banco.sesion.RespMat[1], QStringLiteral("D"));
    }

    void botonDeLaPreguntaActual()
    {
        Examen e;
        e.ir(7);
        e.elegir('A');
        e.ir(7);
        QCOMPARE(e.banco.sesion.PreguntaMat, 7);
        QCOMPARE(e.banco.sesion.RespMat[7], QStringLiteral("A"));
        QCOMPARE(e.elegida(), QStringLiteral("A"));
    }

    void salirSinGuardarPierdeSoloLoNoRegistrado()
    {
        Examen e;
        e.elegir('A');
        e.ir(2);
        e.elegir('B');
        QTest::mouseClick(e.control("CmdSalir"), Qt::LeftButton);
        QCOMPARE(e.form->siguiente(), Pantalla::Menu);
        QVERIFY(!e.form->isVisible());
        QCOMPARE(e.banco.sesion.RespMat[1], QStringLiteral("A"));
        QVERIFY(e.banco.sesion.RespMat[2].isEmpty());
        QCOMPARE(e.banco.sesion.FinalizadoMat, 0);
        QCOMPARE(e.banco.disco.escrituras, 0);
        QVERIFY(e.banco.mensajes.llamadas.isEmpty());

        // Back from the menu: question 1, earlier answers restored and marked.
        e.banco.sesion.PreguntaMat = 1;
        e.abrir();
        QCOMPARE(e.elegida(), QStringLiteral("A"));
        QCOMPARE(e.color(1), kColorCaraBoton);
        QCOMPARE(e.color(2), kAmarillo);
    }

    void soloLetrasMayusculasSeRestauran_data()
    {
        QTest::addColumn<QString>("guardada");
        QTest::addColumn<QString>("mostrada");
        QTest::newRow("upper case") << "D" << "D";
        QTest::newRow("lower case") << "c" << "";
        QTest::newRow("two letters") << "AB" << "";
    }
    void soloLetrasMayusculasSeRestauran()
    {
        QFETCH(QString, guardada);
        Examen e;
        e.banco.sesion.RespMat[1] = guardada;
        e.abrir();
        QTEST(e.elegida(), "mostrada");
        QCOMPARE(e.color(1), kColorCaraBoton); // any non-empty text counts as answered
    }

    void imagenCentrada_data()
    {
        QTest::addColumn<QSize>("tamano");
        QTest::newRow("small") << QSize(60, 30);
        QTest::newRow("demo size") << QSize(840, 360);
        QTest::newRow("larger than the area") << QSize(1300, 700);
    }
    void imagenCentrada()
    {
        QFETCH(QSize, tamano);
        Examen e;
        crearImagen(rutaPregunta(e.banco.carpeta(), Asignatura::Matematica, 3, 1), tamano);
        e.abrir();
        auto *imagen = e.control<QLabel>("Image1");
        QCOMPARE(imagen->size(), tamano);
        QVERIFY(qAbs(imagen->geometry().center().x() + 0.5 - tw(7200)) <= 1);
        QVERIFY(qAbs(imagen->geometry().center().y() + 0.5 - 4250.0 / 15) <= 1);
        // Beneath every other control.
        QCOMPARE(e.form->children().indexOf(imagen), 0);
    }

    void imagenIlegibleNoImpideSeguir()
    {
        Examen e;
        crearArchivo(rutaPregunta(e.banco.carpeta(), Asignatura::Matematica, 3, 2), "no es un jpeg");
        e.ir(2);
        auto *imagen = e.control<QLabel>("Image1");
        QVERIFY(imagen->pixmap().isNull());
        QVERIFY(imagen->text().contains(QStringLiteral("pregunta 2")));
        e.elegir('B');
        e.navegar(e.control("CmdSiguiente"));
        QCOMPARE(e.banco.sesion.RespMat[2], QStringLiteral("B"));
    }

    void modeloFueraDeRango()
    {
        Examen e(0);
        QCOMPARE(e.control<QLabel>("Label2")->text(), QStringLiteral("Modelo: 0"));
        QVERIFY(e.control<QLabel>("Image1")->pixmap().isNull());
        QVERIFY(e.control("CmdAnterior")->isVisible()); // design-time visibility
    }

    void tablaDeFormulas_data()
    {
        QTest::addColumn<bool>("presente");
        QTest::newRow("present") << true;
        QTest::newRow("absent") << false;
    }
    void tablaDeFormulas()
    {
        QFETCH(bool, presente);
        Examen e;
        if (presente)
            crearArchivo(rutaTablaFormulas(e.banco.carpeta()), "%PDF-1.4");
        e.elegir('C');
        QTest::mouseClick(e.control("CmdTabla"), Qt::LeftButton);
        QCOMPARE(e.banco.abridor.abiertos,
                 presente ? QStringList({e.banco.carpeta() + "/Imagenes/Tabla de formulas.pdf"}) : QStringList());
        QVERIFY(e.banco.mensajes.llamadas.isEmpty());
        QVERIFY(e.form->isVisible());
        QCOMPARE(e.elegida(), QStringLiteral("C"));
        QVERIFY(e.banco.sesion.RespMat[1].isEmpty());
    }

    void ventana()
    {
        Examen e;
        QCOMPARE(e.form->windowTitle(), QStringLiteral("ORBELA"));
        QCOMPARE(e.form->frameGeometry().size(), QSize(tw(14500), tw(8650)));
        QVERIFY(!e.form->close());
        QTest::keyClick(e.form.get(), Qt::Key_Escape);
        QVERIFY(e.form->isVisible());
        QCOMPARE(e.pregunta(12)->geometry(), twRect(480 + 600 * 11, 960, 495, 375));
        QCOMPARE(e.opcion('C')->geometry(), twRect(7320, 7440, 735, 480));
        QCOMPARE(e.control<QLabel>("Label1")->text(),
                 QString(30, '-') + "  SELECCIONE LA OPCIÓN CORRECTA  " + QString(30, '-'));
    }

    void ordenDeTabulacion()
    {
        Examen e;
        e.ir(2); // "Anterior" visible
        QApplication::setActiveWindow(e.form.get());
        e.control("CmdSiguiente")->setFocus();
        QStringList orden;
        for (int i = 0; i < 10; ++i) {
            orden << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(orden.mid(0, 3), QStringList({"CmdSiguiente", "OpMatMod1Preg1OpA", "CmdAnterior"}));
        QCOMPARE(orden.mid(3, 5), QStringList({"CmdFinalizar", "CmdTabla", "CmdSalir", "CmdPreg_0", "CmdPreg_1"}));
    }
};

QTEST_MAIN(TstFrmMatMod1H1)
#include "tst_FrmMatMod1H1.moc"
