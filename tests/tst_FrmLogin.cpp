#include "Apoyo.h"
#include "FrmLogin.h"
#include "Reporte.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {
const QString kMsgEmpresa = QStringLiteral("Ingrese el código de Empresa correctamente");
const QString kMsgAlumno = QStringLiteral("Ingrese Sexo, Código de Alumno/a correctamente");
const QString kMsgClase = QStringLiteral("Ingrese Turno y Sección correctamente");

// A registration window driven as a student would: typed keys, focus moves, clicks.
struct Registro {
    Banco banco;
    FrmLogin form { banco.entorno, banco.sesion };

    Registro()
    {
        banco.reloj.lecturas = { 37 };
        form.cargar();
        form.show();
        QApplication::setActiveWindow(&form);
    }
    QLineEdit *caja(const char *n) { return hijo<QLineEdit>(&form, QLatin1String(n)); }
    QComboBox *lista(const char *n) { return hijo<QComboBox>(&form, QLatin1String(n)); }
    QPushButton *boton(const char *n) { return hijo<QPushButton>(&form, QLatin1String(n)); }
    void escribir(const char *nombre, const QString &texto)
    {
        QLineEdit *c = caja(nombre);
        c->setFocus();
        QTest::keyClicks(c, texto);
    }
    void aceptar() { QTest::mouseClick(boton("CmdAceptar"), Qt::LeftButton); }
    void completar(const QString &codigo = QStringLiteral("EE0310002"))
    {
        escribir("TxtCodEmpresa", codigo);
        lista("CmbTurno")->setCurrentIndex(2); // TARDE
        escribir("TxtSeccion", QStringLiteral("3a"));
        lista("CmbSexo")->setCurrentIndex(2); // "   F"
        escribir("TxtDNI", QStringLiteral("40006"));
    }
};
} // namespace

class TstFrmLogin : public QObject {
    Q_OBJECT
private slots:
    // A screen reader names every box after its label, never "text" four times, and a list
    // too, with its choice as its value: by default the desktop names a list by its choice.
    void nombresParaElLectorDePantalla()
    {
        Registro r;
        const QList<std::pair<const char *, QString>> esperados {
            { "TxtCodEmpresa", "Código de Empresa" },
            { "TxtEscuela", "Nombre del Establecimiento" }, { "CmbTurno", "Turno" },
            { "TxtSeccion", "Sección" }, { "CmbSexo", "Sexo" }, { "TxtDNI", "Código de Alumno/a" }
        };
        for (const auto &[control, nombre] : esperados) {
            QWidget *widget = hijo<QWidget>(&r.form, QLatin1String(control));
            QAccessibleInterface *accesible = QAccessible::queryAccessibleInterface(widget);
            QVERIFY(accesible);
            QCOMPARE(accesible->text(QAccessible::Name), nombre);
            if (auto *lista = qobject_cast<QComboBox *>(widget)) {
                lista->setCurrentIndex(1);
                QCOMPARE(accesible->text(QAccessible::Value), lista->currentText());
                QCOMPARE(accesible->childCount(), 1);
            }
        }
    }

    void formularioIntactoDaLosTresMensajes()
    {
        Registro r;
        r.aceptar();
        QCOMPARE(r.banco.mensajes.textos(), QStringList({ kMsgEmpresa, kMsgAlumno, kMsgClase }));
        for (const auto &m : r.banco.mensajes.llamadas) {
            QCOMPARE(m.estilo, 0);
            QVERIFY(m.titulo.isEmpty());
        }
        QVERIFY(r.form.isVisible());
        QCOMPARE(r.form.siguiente(), Pantalla::Fin);
    }

    void registroValido()
    {
        Registro r;
        r.completar(QStringLiteral("ee0310002")); // typed in small letters
        r.aceptar();
        QVERIFY2(
            r.banco.mensajes.llamadas.isEmpty(), qPrintable(r.banco.mensajes.textos().join('|')));
        const Sesion &s = r.banco.sesion;
        QCOMPARE(s.CodEmpresa, QStringLiteral("EE0310002"));
        QCOMPARE(s.NombreEscuela, r.caja("TxtEscuela")->text());
        QVERIFY(!s.NombreEscuela.isEmpty());
        QCOMPARE(s.Sexo, 2);
        QCOMPARE(s.Turno, QStringLiteral("T"));
        QCOMPARE(s.Seccion, QStringLiteral("3A"));
        QCOMPARE(s.DNI, QStringLiteral("40006"));
        QVERIFY(s.CampoE.isEmpty() && s.CampoF.isEmpty());
        // Drawn at :37: mathematics from the last digit, language from the first.
        QCOMPARE(s.ModeloMat, 2);
        QCOMPARE(s.ModeloLeng, 6);
        QCOMPARE(s.RutaExcel, construirRutaExcel(r.banco.carpeta(), s));
        QVERIFY(QFileInfo::exists(s.RutaExcel + ".xlsx"));
        QCOMPARE(r.form.siguiente(), Pantalla::Menu);
        QVERIFY(!r.form.isVisible());
    }

    void sorteoAntesDelLibroYEnOrden()
    {
        Registro r;
        r.banco.reloj.lecturas = { 12, 13 };
        r.completar();
        r.aceptar();
        QCOMPARE(r.banco.sesion.ModeloMat, 1 + (6 + 12) % 6);
        QCOMPARE(r.banco.sesion.ModeloLeng, 1 + (4 + 13) % 6);
    }

    void codigoVaciadoConservaElNombrePeroFalla()
    {
        Registro r;
        r.escribir("TxtCodEmpresa", QStringLiteral("EE0000000"));
        r.caja("TxtSeccion")->setFocus();
        QCOMPARE(r.caja("TxtEscuela")->text(), QStringLiteral("ESCUELA PRUEBA 0"));
        r.caja("TxtCodEmpresa")->setFocus();
        r.caja("TxtCodEmpresa")->selectAll();
        QTest::keyClick(r.caja("TxtCodEmpresa"), Qt::Key_Backspace);
        r.aceptar();
        QCOMPARE(r.caja("TxtEscuela")->text(), QStringLiteral("ESCUELA PRUEBA 0"));
        QCOMPARE(r.banco.mensajes.textos().first(), kMsgEmpresa);
    }

    void busquedaAlSalirDelCodigo_data()
    {
        QTest::addColumn<QString>("tecleado");
        QTest::addColumn<bool>("pegado");
        QTest::addColumn<QString>("nombre");
        QTest::newRow("spaces around") << "  EE9999999  " << false << "ESCUELA PRUEBA 9";
        QTest::newRow("8 characters") << "EE031000" << false << "";
        QTest::newRow("10 characters") << "EE03100020" << false << "";
        QTest::newRow("pasted small letters") << "ee0000000" << true << "";
    }
    void busquedaAlSalirDelCodigo()
    {
        QFETCH(QString, tecleado);
        QFETCH(bool, pegado);
        QFETCH(QString, nombre);
        Registro r;
        // A code found first, so that a failed lookup visibly empties the name box.
        r.escribir("TxtCodEmpresa", QStringLiteral("EE1111111"));
        r.caja("TxtDNI")->setFocus();
        QCOMPARE(r.caja("TxtEscuela")->text(), QStringLiteral("ESCUELA PRUEBA 1"));
        r.caja("TxtCodEmpresa")->clear();
        if (pegado) {
            r.caja("TxtCodEmpresa")->setFocus();
            r.caja("TxtCodEmpresa")->insert(tecleado);
        } else {
            r.escribir("TxtCodEmpresa", tecleado);
        }
        r.completar(QString()); // the code box keeps what was entered above
        r.aceptar();
        QCOMPARE(r.caja("TxtEscuela")->text(), nombre);
        QCOMPARE(r.banco.mensajes.textos().contains(kMsgEmpresa), nombre.isEmpty());
    }

    void codigoDeAlumnoSoloDigitos()
    {
        Registro r;
        r.escribir("TxtDNI", QStringLiteral("12a b-3.4"));
        QCOMPARE(r.caja("TxtDNI")->text(), QStringLiteral("1234"));
        QTest::keyClick(r.caja("TxtDNI"), Qt::Key_Backspace);
        QCOMPARE(r.caja("TxtDNI")->text(), QStringLiteral("123"));
    }

    // Keys reach the filters as character codes, control keys included (Ctrl+V is 22), and
    // letters composed with dead keys or an input method are typed letters too.
    void atajosYLetrasCompuestas_data()
    {
        QTest::addColumn<QString>("caja");
        QTest::addColumn<QString>("antes"); // typed first
        QTest::addColumn<QString>("accion"); // a shortcut, or "componer"
        QTest::addColumn<QString>("portapapeles"); // or the composed text
        QTest::addColumn<QString>("queda");
        QTest::newRow("Ctrl+V in the student code") << "TxtDNI"
                                                    << "45"
                                                    << "Ctrl+V"
                                                    << "12/3"
                                                    << "45";
        QTest::newRow("Ctrl+X in the student code") << "TxtDNI"
                                                    << "45"
                                                    << "Ctrl+X"
                                                    << ""
                                                    << "45";
        QTest::newRow("Ctrl+Z in the student code") << "TxtDNI"
                                                    << "45"
                                                    << "Ctrl+Z"
                                                    << ""
                                                    << "45";
        QTest::newRow("é composed in the student code") << "TxtDNI"
                                                        << "4"
                                                        << "componer"
                                                        << "5é"
                                                        << "45";
        QTest::newRow("á composed in the establishment code") << "TxtCodEmpresa"
                                                              << "ee"
                                                              << "componer"
                                                              << "á"
                                                              << "EEÁ";
        QTest::newRow("ñ composed in the section") << "TxtSeccion"
                                                   << "3"
                                                   << "componer"
                                                   << "ñ"
                                                   << "3Ñ";
        QTest::newRow("a code pasted stays as pasted") << "TxtCodEmpresa"
                                                       << ""
                                                       << "Ctrl+V"
                                                       << "ee0310002"
                                                       << "ee0310002";
        QTest::newRow("Shift+Insert carries no character") << "TxtDNI"
                                                           << ""
                                                           << "Shift+Insert"
                                                           << "12/3"
                                                           << "12/3";
    }
    void atajosYLetrasCompuestas()
    {
        QFETCH(QString, caja);
        QFETCH(QString, antes);
        QFETCH(QString, accion);
        QFETCH(QString, portapapeles);
        Registro r;
        const QByteArray nombre = caja.toLatin1();
        r.escribir(nombre.constData(), antes);
        QLineEdit *c = r.caja(nombre.constData());
        if (accion == QLatin1String("componer")) {
            QInputMethodEvent compuesto;
            compuesto.setCommitString(portapapeles);
            QApplication::sendEvent(c, &compuesto);
        } else {
            QApplication::clipboard()->setText(portapapeles);
            if (accion == QLatin1String("Ctrl+X"))
                c->selectAll();
            const QKeySequence atajo(accion);
            QTest::keyClick(c, Qt::Key(atajo[0].key()), atajo[0].keyboardModifiers());
        }
        QTEST(c->text(), "queda");
    }

    void seccionEnMayusculasSinRecortar()
    {
        Registro r;
        r.completar();
        r.caja("TxtSeccion")->clear();
        r.escribir("TxtSeccion", QStringLiteral(" 3a "));
        r.aceptar();
        QCOMPARE(r.banco.sesion.Seccion, QStringLiteral(" 3A "));
        QCOMPARE(r.form.siguiente(), Pantalla::Menu);
    }

    // A box whose text cannot make a safe file name, however the text got there (pasted,
    // typed by a program, thousands of characters), never registers: one message, nothing
    // stored, the form still open.
    void registroRechazado_data()
    {
        QTest::addColumn<QString>("caja");
        QTest::addColumn<QString>("texto");
        QTest::addColumn<bool>("pegado");
        QTest::addColumn<QString>("mensaje");
        QTest::newRow("a student code pasted with a slash") << "TxtDNI"
                                                            << "12/3" << true << kMsgAlumno;
        for (const char *seccion :
            { "3/A", "..\\3A", "A:B", "A*", "A?", "A\"B", "<A>", "A|B", "A\tB", "A\nB" })
            QTest::newRow(qPrintable(
                QStringLiteral("section %1")
                    .arg(QString::fromLatin1(seccion).replace('\t', "\\t").replace('\n', "\\n"))))
                << "TxtSeccion" << QString::fromLatin1(seccion) << false << kMsgClase;
        QTest::newRow("a very long establishment code")
            << "TxtCodEmpresa" << QString(5000, 'A') << false << kMsgEmpresa;
        QTest::newRow("a very long section")
            << "TxtSeccion" << QString(5000, 'A') << false << kMsgClase;
        QTest::newRow("a very long student code")
            << "TxtDNI" << QString(5000, '7') << false << kMsgAlumno;
    }
    void registroRechazado()
    {
        QFETCH(QString, caja);
        QFETCH(QString, texto);
        QFETCH(bool, pegado);
        Registro r;
        r.completar();
        QLineEdit *c = r.caja(qPrintable(caja));
        c->setFocus();
        c->selectAll();
        if (pegado) {
            QApplication::clipboard()->setText(texto);
            QTest::keyClick(c, Qt::Key_Insert, Qt::ShiftModifier);
        } else {
            c->insert(texto);
        }
        QCOMPARE(c->text(), texto);
        r.caja("TxtSeccion")->setFocus(); // leave the code box
        r.aceptar();
        QFETCH(QString, mensaje);
        QCOMPARE(r.banco.mensajes.textos(), QStringList({ mensaje }));
        QVERIFY(r.form.isVisible());
        QVERIFY(r.banco.sesion.RutaExcel.isEmpty());
        QVERIFY(r.banco.sesion.DNI.isEmpty() || caja != "TxtDNI");
        QVERIFY(r.banco.sesion.Seccion.isEmpty() || caja != "TxtSeccion");
    }

    void seccionConLetrasNoAscii()
    {
        Registro r;
        r.completar();
        r.caja("TxtSeccion")->clear();
        r.escribir("TxtSeccion", QStringLiteral("3"));
        // A key the test keyboard does not have, delivered as the desktop delivers it.
        QKeyEvent enie(QEvent::KeyPress, Qt::Key_Ntilde, Qt::NoModifier, QStringLiteral("ñ"));
        QApplication::sendEvent(r.caja("TxtSeccion"), &enie);
        r.aceptar();
        QCOMPARE(r.banco.sesion.Seccion, QStringLiteral("3Ñ"));
        QVERIFY(QFileInfo::exists(r.banco.sesion.RutaExcel + ".xlsx"));
        QVERIFY(r.banco.sesion.RutaExcel.endsWith(QStringLiteral("_T_3Ñ_2_40006")));
    }

    void segundoClicCorregido()
    {
        Registro r;
        r.completar();
        r.lista("CmbTurno")->setCurrentIndex(0);
        r.aceptar();
        QCOMPARE(r.banco.mensajes.textos(), QStringList({ kMsgClase }));
        QCOMPARE(r.banco.sesion.Sexo, 2); // stored by the groups that passed
        r.lista("CmbTurno")->setCurrentIndex(3);
        r.aceptar();
        QCOMPARE(r.banco.mensajes.llamadas.size(), 1);
        QCOMPARE(r.banco.sesion.Turno, QStringLiteral("N"));
        QCOMPARE(r.form.siguiente(), Pantalla::Menu);
    }

    void sexoYTurno_data()
    {
        QTest::addColumn<int>("sexo");
        QTest::addColumn<int>("turno");
        QTest::addColumn<int>("valorSexo");
        QTest::addColumn<QString>("letraTurno");
        QTest::newRow("M, MAÑANA") << 1 << 1 << 1 << "M";
        QTest::newRow("X, NOCHE") << 3 << 3 << 3 << "N";
    }
    void sexoYTurno()
    {
        QFETCH(int, sexo);
        QFETCH(int, turno);
        Registro r;
        r.completar();
        r.lista("CmbSexo")->setCurrentIndex(sexo);
        r.lista("CmbTurno")->setCurrentIndex(turno);
        r.aceptar();
        QTEST(int(r.banco.sesion.Sexo), "valorSexo");
        QTEST(r.banco.sesion.Turno, "letraTurno");
    }

    void teclasYCierre()
    {
        Registro r;
        r.completar();
        // Escape and Enter on the form close nothing; the frame's close request is refused.
        QTest::keyClick(r.caja("TxtDNI"), Qt::Key_Escape);
        QTest::keyClick(r.caja("TxtDNI"), Qt::Key_Return);
        QVERIFY(!r.form.close());
        QVERIFY(r.form.isVisible());
        QVERIFY(!(r.form.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(r.banco.mensajes.llamadas.isEmpty());
        // Enter on the focused button clicks it.
        r.boton("CmdAceptar")->setFocus();
        QTest::keyClick(r.boton("CmdAceptar"), Qt::Key_Return);
        QCOMPARE(r.form.siguiente(), Pantalla::Menu);
    }

    void salir()
    {
        Registro r;
        r.completar();
        QTest::mouseClick(r.boton("CmdSalir"), Qt::LeftButton);
        QCOMPARE(r.form.siguiente(), Pantalla::Fin);
        QVERIFY(!r.form.isVisible());
        QVERIFY(r.banco.sesion.CodEmpresa.isEmpty());
    }

    void ordenDeTabulacion()
    {
        Registro r;
        QCOMPARE(recorridoDeTabulacion(r.caja("TxtCodEmpresa"), 8),
            QStringList({ "TxtCodEmpresa", "CmbTurno", "TxtSeccion", "CmbSexo", "TxtDNI",
                "CmdAceptar", "CmdSalir", "TxtCodEmpresa" }));
    }
};

QTEST_MAIN(TstFrmLogin)
#include "tst_FrmLogin.moc"
