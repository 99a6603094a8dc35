#include "ExamenDePrueba.h"
#include "Geometria.h"
#include "Reporte.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

const QString kInstrucciones = QStringLiteral(
    "- PARA RESPONDER DESDE LA ACTIVIDAD 1 A LA 11, LEÉ EL PRIMER TEXTO.\r\n"
    "- PARA RESPONDER DESDE LA ACTIVIDAD 12 A LA 22, LEÉ EL SEGUNDO TEXTO.\r\n"
    "- PARA VISUALIZAR LOS TEXTOS, OPRIMIR EL BOTÓN CELESTE EN EL MARGEN SUPERIOR DERECHO DE LA "
    "SIGUIENTE PANTALLA.");

using Examen = ExamenDePrueba<FrmLengMod1>;

// Instruction boxes shown so far.
int instrucciones(const Examen &e)
{
    return int(e.banco.mensajes.textos().count(kInstrucciones));
}

} // namespace

class TstFrmLengMod1 : public QObject {
    Q_OBJECT
private slots:
    void instruccionesAntesDeCadaPregunta()
    {
        Examen e;
        QCOMPARE(e.banco.mensajes.llamadas.size(), 1);
        const LlamadaMensaje &caja = e.banco.mensajes.llamadas.first();
        QCOMPARE(caja.texto, kInstrucciones);
        QCOMPARE(caja.estilo, 0);
        QVERIFY(caja.titulo.isEmpty());
        QVERIFY(!e.control("CmdAnterior")->isVisible());
        QCOMPARE(e.control<QLabel>("Label2")->text(), QStringLiteral("Modelo: 3"));

        e.navegar(e.control("CmdSiguiente"));
        e.navegar(e.control("CmdAnterior"));
        e.navegar(e.control("Command1_16"));
        QCOMPARE(e.banco.sesion.PreguntaLeng, 17);
        QCOMPARE(instrucciones(e), 4);
        QCOMPARE(e.cajasConVentanaVisible, 0); // always before the window shows

        // Declining the confirmation does not reload the form.
        QTest::mouseClick(e.control("CmdFinalizar"), Qt::LeftButton);
        QCOMPARE(instrucciones(e), 4);
        QVERIFY(e.form->isVisible());
    }

    void textos_data()
    {
        QTest::addColumn<int>("modelo");
        QTest::addColumn<QString>("subcarpeta");
        QTest::addColumn<bool>("abre");
        QTest::newRow("model 3") << 3 << "" << true;
        QTest::newRow("folder with spaces") << 3 << "/Mis Programas/Examen Ñandú" << true;
        QTest::newRow("model 0") << 0 << "" << false;
        QTest::newRow("model 7") << 7 << "" << false;
    }
    void textos()
    {
        QFETCH(int, modelo);
        QFETCH(QString, subcarpeta);
        QFETCH(bool, abre);
        Examen e(modelo, kPreguntas, subcarpeta);
        QTest::mouseClick(e.control<QRadioButton>("OpLengMod1Preg1OpB"), Qt::LeftButton);
        QTest::mouseClick(e.control("CmdTexos"), Qt::LeftButton);
        const QString ruta = e.carpeta + QStringLiteral("/Imagenes/Leng_Mod3/Leng_Mod3_Textos.pdf");
        QCOMPARE(e.banco.abridor.abiertos, abre ? QStringList({ ruta }) : QStringList());
        // Nothing recorded, nothing reloaded.
        QVERIFY(e.form->isVisible());
        QVERIFY(e.control<QRadioButton>("OpLengMod1Preg1OpB")->isChecked());
        QVERIFY(e.banco.sesion.RespLeng[1].isEmpty());
        QCOMPARE(instrucciones(e), 1);
    }

    void geometriaPropia()
    {
        Examen e;
        QCOMPARE(e.control("Command1_0")->x(), tw(600));
        QCOMPARE(e.control("Command1_11")->x(), tw(7200));
        QCOMPARE(e.control("Command1_21")->x(), tw(13200));
        QCOMPARE(e.control<QRadioButton>("OpLengMod1Preg1OpC")->geometry(),
            twRect(7320, 7440, 615, 495));
        QCOMPARE(e.control<QLabel>("Label1")->width(), tw(8775));
        QCOMPARE(e.control<QLabel>("Label2")->width(), tw(975));
        QPushButton *textos = e.control("CmdTexos");
        QCOMPARE(textos->parentWidget()->objectName(), QStringLiteral("Picture1"));
        QCOMPARE(textos->property("colorFondo").toUInt(), 0x00FFFFC0u);
        QVERIFY(!e.control("CmdTabla"));
        QVERIFY(!e.control<QLabel>("Label3"));
    }

    // After the instruction box, the focus is on the banner: an Enter meant for the box, or
    // a Space, does not move to the next question.
    void teclasAlLlegar_data() { filasTeclasAlLlegar(); }
    void teclasAlLlegar()
    {
        QFETCH(int, tecla);
        Examen e;
        QCOMPARE(e.form->focusWidget()->objectName(), QStringLiteral("Picture1"));
        QVERIFY(e.teclaAlLlegar(Qt::Key(tecla)));
        QCOMPARE(instrucciones(e), 1);
    }

    void ordenDeTabulacion()
    {
        Examen e;
        e.ir(2); // "Anterior" visible
        QCOMPARE(recorridoDeTabulacion(e.control<QLabel>("Picture1"), 7),
            QStringList({ "Picture1", "CmdSiguiente", "CmdAnterior", "CmdFinalizar",
                "OpLengMod1Preg1OpA", "CmdTexos", "CmdSalir" }));
        QCOMPARE(
            e.control<QLabel>("Label1")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    }

    void imagenCentradaMasArriba()
    {
        Examen e;
        crearImagen(
            rutaPregunta(e.carpeta, Asignatura::Lengua, 3, 1), QSize(300, 200)); // 3000 twips high
        e.abrir();
        QCOMPARE(e.control<QLabel>("Image1")->y(), 2600 / 15);
    }

    void preguntaFinal()
    {
        Examen e;
        e.navegar(e.control("Command1_21"));
        QVERIFY(!e.control("CmdSiguiente")->isVisible());
        QVERIFY(e.control("CmdFinalizar")->isVisible());
        QVERIFY(e.control("CmdAnterior")->isVisible());
    }

    void guardaLaFilaDeLengua()
    {
        Examen e;
        Sesion &s = e.banco.sesion;
        s.CodEmpresa = QStringLiteral("EE0000000");
        s.Turno = QStringLiteral("T");
        s.Seccion = QStringLiteral("2C");
        s.Sexo = 2;
        s.DNI = QStringLiteral("31");
        Crear_Excel(e.banco.entorno, s);
        QTest::mouseClick(e.control<QRadioButton>("OpLengMod1Preg1OpD"), Qt::LeftButton);
        e.banco.mensajes.respuestas << kRespuestaSi;
        QTest::mouseClick(e.control("CmdFinalizar"), Qt::LeftButton);
        QCOMPARE(e.form->siguiente(), Pantalla::Menu);
        QCOMPARE(s.FinalizadoLeng, 1);
        QCOMPARE(s.FinalizadoMat, 0);
        QVERIFY(e.banco.mensajes.textos().last().endsWith(QStringLiteral("Examen de Lengua ?")));
        CeldasHoja c;
        QVERIFY(e.banco.hoja.leerReporte(s.RutaExcel + ".xlsx", &c).ok());
        QCOMPARE(c.at({ 2, 9 }).texto, QStringLiteral("Lengua"));
        QCOMPARE(c.at({ 2, 11 }).texto, QStringLiteral("D"));
        QCOMPARE(c.at({ 2, 10 }), Celda::deNumero(3));
        QVERIFY(c.count({ 1, 9 }) == 0);
    }
};

QTEST_MAIN(TstFrmLengMod1)
#include "tst_FrmLengMod1.moc"
