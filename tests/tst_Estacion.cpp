// A whole student through the real screens: registration, mathematics, the menu, language,
// "Salir"; then the workbook, read by us and by openpyxl, and a second run for the student.
#include "Apoyo.h"
#include "ContenidoDemo.h"
#include "Estacion.h"
#include "Reporte.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

void registrar(QWidget *w)
{
    auto *codigo = hijo<QLineEdit>(w, "TxtCodEmpresa");
    codigo->setFocus();
    QTest::keyClicks(codigo, QStringLiteral("ee0310004"));
    hijo<QComboBox>(w, "CmbTurno")->setFocus(); // leaving the code box looks it up
    hijo<QComboBox>(w, "CmbTurno")->setCurrentIndex(1);
    QTest::keyClicks(hijo<QLineEdit>(w, "TxtSeccion"), QStringLiteral("4b"));
    hijo<QComboBox>(w, "CmbSexo")->setCurrentIndex(3);
    QTest::keyClicks(hijo<QLineEdit>(w, "TxtDNI"), QStringLiteral("0459"));
    QTest::mouseClick(hijo<QPushButton>(w, "CmdAceptar"), Qt::LeftButton);
}

std::function<void(QWidget *)> clic(const QString &boton)
{
    return [boton](QWidget *w) { QTest::mouseClick(hijo<QPushButton>(w, boton), Qt::LeftButton); };
}

std::function<void(QWidget *)> elegirYClic(const QString &opcion, const QString &boton)
{
    return [=](QWidget *w) {
        QTest::mouseClick(hijo<QRadioButton>(w, opcion), Qt::LeftButton);
        QTest::mouseClick(hijo<QPushButton>(w, boton), Qt::LeftButton);
    };
}

std::function<void(QWidget *)> codigo(const QString &c)
{
    return [c](QWidget *w) {
        QTest::keyClicks(hijo<QLineEdit>(w, "TxtCodAcceso"), c);
        QTest::keyClick(hijo<QLineEdit>(w, "TxtCodAcceso"), Qt::Key_Return);
    };
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
        QVERIFY(generarContenido(b.carpeta()).error.isEmpty());
        b.reloj.lecturas = {10};
        b.mensajes.respuestas = {kRespuestaSi, kRespuestaSi};
        QStringList estadoMenu;
        auto mirarMenu = [&](QWidget *w) {
            estadoMenu << QStringLiteral("%1%2 mat=%3 leng=%4")
                              .arg(hijo<QPushButton>(w, "CmdMatematica")->isEnabled() ? "M" : "-")
                              .arg(hijo<QPushButton>(w, "CmdLengua")->isEnabled() ? "L" : "-")
                              .arg(archivosEn(carpetaModelo(b.carpeta(), Asignatura::Matematica, 1)))
                              .arg(archivosEn(carpetaModelo(b.carpeta(), Asignatura::Lengua, 1)));
        };

        Guion guion;
        guion.paso("FrmLogin", registrar);
        guion.paso("FormMnuOrbela", [&](QWidget *w) { mirarMenu(w); clic("CmdMatematica")(w); });
        guion.paso("FrmCodigoAcceso", codigo("4592"));
        guion.paso("FrmMatMod1H1", elegirYClic("OpMatMod1Preg1OpA", "CmdSiguiente"));
        guion.paso("FrmMatMod1H1", elegirYClic("OpMatMod1Preg1OpB", "CmdPreg_21"));
        guion.paso("FrmMatMod1H1", elegirYClic("OpMatMod1Preg1OpD", "CmdFinalizar"));
        guion.paso("FormMnuOrbela", [&](QWidget *w) { mirarMenu(w); clic("CmdLengua")(w); });
        guion.paso("FrmCodigoAcceso", codigo("2813"));
        guion.paso("FrmLengMod1", elegirYClic("OpLengMod1Preg1OpC", "Command1_11"));
        guion.paso("FrmLengMod1", elegirYClic("OpLengMod1Preg1OpA", "CmdFinalizar"));
        guion.paso("FormMnuOrbela", [&](QWidget *w) { mirarMenu(w); clic("CmdSalir")(w); });
        guion.iniciar();
        ejecutarEstacion(b.entorno, b.sesion);
        QVERIFY2(guion.completo(), qPrintable(guion.pendiente()));

        // Mathematics model 1 + (9 + 10) % 6 = 2, language 1 + (0 + 10) % 6 = 5.
        QCOMPARE(b.sesion.ModeloMat, 2);
        QCOMPARE(b.sesion.ModeloLeng, 5);
        QCOMPARE(estadoMenu, QStringList({"ML mat=22 leng=23", "-L mat=0 leng=23", "-- mat=0 leng=0"}));
        const QStringList textos = b.mensajes.textos();
        QCOMPARE(textos.filter(QStringLiteral("PARA RESPONDER DESDE")).size(), 2);
        QVERIFY(textos.contains(QStringLiteral(
            "Aun fatan contestar las preguntas: 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, "
            "19, 20, 21. Confirma que desea Guardar y Finalizar el Examen de Matematica ?")));

        const QString libro = QDir(b.carpeta()).filePath("Apl Examen - EE0310004_M_4B_3_0459.xlsx");
        QCOMPARE(b.sesion.RutaExcel + ".xlsx", libro);
        CeldasHoja c;
        QVERIFY(b.hoja.leerReporte(libro, &c).ok());
        QCOMPARE(c.size(), size_t(2 * 8 + 3 + 2)); // A to J but E and F in each row, and the answers
        QCOMPARE(c.at({1, 11}).texto, QStringLiteral("A"));
        QCOMPARE(c.at({1, 12}).texto, QStringLiteral("B"));
        QCOMPARE(c.at({1, 32}).texto, QStringLiteral("D"));
        QCOMPARE(c.at({2, 11}).texto, QStringLiteral("C"));
        QCOMPARE(c.at({2, 22}).texto, QStringLiteral("A"));

        const QString guionPython = QStringLiteral(
            "import sys, openpyxl\n"
            "ws = openpyxl.load_workbook(sys.argv[1])['Reporte']\n"
            "for r in (1, 2):\n"
            "    print('|'.join('' if ws.cell(r, c).value is None else str(ws.cell(r, c).value) for c in range(1, 33)))\n");
        QProcess python;
        python.start(QFile::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3",
                     {"-c", guionPython, libro});
        QVERIFY(python.waitForFinished(60000));
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
        const QString nombre = c.at({1, 2}).texto;
        auto fila = [&](const QString &materia, int modelo, const QMap<int, QString> &respuestas) {
            QStringList celdas {"EE0310004", nombre, "3", "0459", "", "", "M", "4B", materia,
                                QString::number(modelo)};
            for (int q = 1; q <= kPreguntas; ++q)
                celdas << respuestas.value(q);
            return celdas.join('|');
        };
        QCOMPARE(QString::fromUtf8(python.readAllStandardOutput()).split('\n').mid(0, 2),
                 QStringList({fila("Matematica", 2, {{1, "A"}, {2, "B"}, {22, "D"}}),
                              fila("Lengua", 5, {{1, "C"}, {12, "A"}})}));

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
};

QTEST_MAIN(TstEstacion)
#include "tst_Estacion.moc"
