#include "Apoyo.h"
#include "FormMnuOrbela.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

QStringList archivos(const QString &carpeta)
{
    return QDir(carpeta).entryList(QDir::Files | QDir::Hidden);
}

// Both subjects' full content, a texts document and a note in every folder, and a
// sub-folder that clean-up must leave alone.
void contenidoCompleto(const QString &carpeta)
{
    for (Asignatura a : { Asignatura::Matematica, Asignatura::Lengua }) {
        crearContenidoAsignatura(carpeta, a);
        for (int m = 1; m <= kModelos; ++m) {
            const QString dir = carpetaModelo(carpeta, a, m);
            crearArchivo(dir + "/notas.txt");
            crearArchivo(dir + "/.oculto");
            crearArchivo(dir + "/sub/queda.txt");
        }
    }
}

struct Menu {
    Banco banco;
    std::unique_ptr<FormMnuOrbela> form;
    bool dialogoVisto = false;

    Menu()
    {
        contenidoCompleto(banco.carpeta());
        banco.sesion.ModeloMat = 3;
        banco.sesion.ModeloLeng = 5;
    }
    void abrir()
    {
        form = std::make_unique<FormMnuOrbela>(banco.entorno, banco.sesion);
        form->cargar();
        form->show();
    }
    QPushButton *boton(const char *n) { return hijo<QPushButton>(form.get(), QLatin1String(n)); }
    // Presses a subject button and answers the access-code dialog with `codigo`; an empty
    // `codigo` leaves through the dialog's own "Salir".
    void elegir(const char *botonAsignatura, const QString &codigo)
    {
        // Given up with the script when the dialog never comes.
        Guion espera(QStringLiteral("FrmCodigoAcceso"), [this, codigo](QWidget *d) {
            dialogoVisto = true;
            if (codigo.isEmpty()) {
                QTest::mouseClick(hijo<QPushButton>(d, "CmdSalir"), Qt::LeftButton);
                return;
            }
            QTest::keyClicks(hijo<QLineEdit>(d, "TxtCodAcceso"), codigo);
            QTest::keyClick(hijo<QLineEdit>(d, "TxtCodAcceso"), Qt::Key_Return);
        });
        QTest::mouseClick(boton(botonAsignatura), Qt::LeftButton);
    }
};

} // namespace

class TstFormMnuOrbela : public QObject {
    Q_OBJECT
private slots:
    void cargaSegunLoFinalizado_data()
    {
        QTest::addColumn<int>("leng");
        QTest::addColumn<int>("mat");
        QTest::newRow("none finished") << 0 << 0;
        QTest::newRow("language finished") << 1 << 0;
        QTest::newRow("mathematics finished") << 0 << 1;
        QTest::newRow("both finished") << 1 << 1;
        QTest::newRow("only 1 counts as finished") << 2 << -1;
    }
    void cargaSegunLoFinalizado()
    {
        QFETCH(int, leng);
        QFETCH(int, mat);
        Menu m;
        m.banco.sesion.FinalizadoLeng = qint16(leng);
        m.banco.sesion.FinalizadoMat = qint16(mat);
        m.abrir();
        QCOMPARE(m.boton("CmdLengua")->isEnabled(), leng != 1);
        QCOMPARE(m.boton("CmdMatematica")->isEnabled(), mat != 1);
        QVERIFY(m.boton("CmdSalir")->isEnabled());
        for (auto [a, bandera] :
            { std::pair { Asignatura::Lengua, leng }, { Asignatura::Matematica, mat } }) {
            for (int modelo = 1; modelo <= kModelos; ++modelo) {
                const QString dir = carpetaModelo(m.banco.carpeta(), a, modelo);
                QCOMPARE(archivos(dir).size(), bandera == 1 ? 0 : 22 + 2);
                QVERIFY(QFileInfo::exists(dir + "/sub/queda.txt"));
            }
        }
        QVERIFY(m.banco.mensajes.llamadas.isEmpty());
        QVERIFY(!m.form->close()); // no way out through the frame
    }

    void modeloSinPrimeraImagenSeSalta()
    {
        Menu m;
        QFile::remove(rutaPregunta(m.banco.carpeta(), Asignatura::Lengua, 3, 1));
        m.banco.sesion.FinalizadoLeng = 1;
        m.abrir();
        for (int modelo = 1; modelo <= kModelos; ++modelo)
            QCOMPARE(archivos(carpetaModelo(m.banco.carpeta(), Asignatura::Lengua, modelo)).size(),
                modelo == 3 ? 21 + 2 : 0);
    }

    // A file the system keeps (in use by another program, or in a folder that is read-only) is
    // named with why it stayed; the rest is deleted and the menu goes on.
    void archivoQueNoSeBorraAvisaYSigue_data()
    {
        QTest::addColumn<bool>("soloLectura");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("a file in use")
            << false << "Mat_Mod2_P5.jpg: el archivo está abierto en otro programa";
        QTest::newRow("a read-only model folder")
            << true << ": no se puede escribir en la carpeta (solo lectura o sin permiso)";
    }
    void archivoQueNoSeBorraAvisaYSigue()
    {
        QFETCH(bool, soloLectura);
        QFETCH(QString, motivo);
        Menu m;
        const QString modelo2 = carpetaModelo(m.banco.carpeta(), Asignatura::Matematica, 2);
        QStringList quedan { QStringLiteral("Mat_Mod2_P5.jpg") };
        if (soloLectura) {
            if (::geteuid() == 0)
                QSKIP("root deletes whatever the permissions say");
            quedan = archivos(modelo2);
            QVERIFY(QFile::setPermissions(modelo2, QFile::ReadOwner | QFile::ExeOwner));
        } else {
            m.banco.archivos.noBorrables = { quedan.first() };
        }
        m.banco.sesion.FinalizadoMat = 1;
        m.abrir();
        QFile::setPermissions(modelo2, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(m.banco.mensajes.llamadas.size(), 1);
        const QString aviso = m.banco.mensajes.textos().first();
        QVERIFY2(
            aviso.contains(motivo) && aviso.endsWith("Avise al supervisor."), qPrintable(aviso));
        QCOMPARE(archivos(modelo2), quedan);
        for (int modelo : { 1, 3, 4, 5, 6 })
            QVERIFY(archivos(carpetaModelo(m.banco.carpeta(), Asignatura::Matematica, modelo))
                        .isEmpty());
        QVERIFY(!m.boton("CmdMatematica")->isEnabled());
        QVERIFY(m.boton("CmdLengua")->isEnabled());
    }

    // A master copy of the content linked into the station: finishing the subject removes
    // the station's links and never a file of the master copy.
    void contenidoEnlazadoNoSeBorraFuera_data()
    {
        QTest::addColumn<QString>("enlace"); // what is a link into the master copy
        QTest::addColumn<int>("quedanEnModelo2"); // files left in the station's Mat_Mod2
        QTest::addColumn<bool>("aviso");
        QTest::newRow("a model folder") << "Imagenes/Mat_Mod2" << -1 << false;
        QTest::newRow("a picture") << "Imagenes/Mat_Mod2/Mat_Mod2_P7.jpg" << 0 << false;
        QTest::newRow("the whole content folder") << "Imagenes" << 24 << true;
    }
    void contenidoEnlazadoNoSeBorraFuera()
    {
        QFETCH(QString, enlace);
        QFETCH(int, quedanEnModelo2);
        QFETCH(bool, aviso);
        QTemporaryDir maestra;
        contenidoCompleto(maestra.path());
        const QString original = QDir(maestra.path()).filePath(enlace);
        auto contar = [&] {
            int n = 0;
            for (Asignatura a : { Asignatura::Matematica, Asignatura::Lengua })
                for (int modelo = 1; modelo <= kModelos; ++modelo)
                    n += int(archivos(carpetaModelo(maestra.path(), a, modelo)).size());
            return n;
        };
        const int antes = contar();

        Menu m;
        const QString enEstacion = QDir(m.banco.carpeta()).filePath(enlace);
        QVERIFY(QFileInfo(enEstacion).isDir() ? QDir(enEstacion).removeRecursively()
                                              : QFile::remove(enEstacion));
        QVERIFY(QFile::link(original, enEstacion));
        m.banco.sesion.FinalizadoMat = 1;
        m.abrir();

        QCOMPARE(contar(), antes);
        const QString modelo2 = carpetaModelo(m.banco.carpeta(), Asignatura::Matematica, 2);
        if (quedanEnModelo2 < 0)
            QVERIFY(!QFileInfo(modelo2).exists() && !QFileInfo(modelo2).isSymLink());
        else
            QCOMPARE(int(archivos(modelo2).size()), quedanEnModelo2);
        QCOMPARE(m.banco.mensajes.llamadas.size(), aviso ? 1 : 0);
        QVERIFY(!m.boton("CmdMatematica")->isEnabled());
        QVERIFY(m.boton("CmdLengua")->isEnabled());
    }

    void examenNoDisponibleAntesDelCodigo_data()
    {
        QTest::addColumn<bool>("comoCarpeta");
        QTest::newRow("first picture missing") << false;
        QTest::newRow("a folder in its place") << true;
    }
    void examenNoDisponibleAntesDelCodigo()
    {
        QFETCH(bool, comoCarpeta);
        Menu m;
        const QString primera = rutaPregunta(m.banco.carpeta(), Asignatura::Matematica, 3, 1);
        QFile::remove(primera);
        if (comoCarpeta)
            QDir().mkpath(primera);
        m.banco.sesion.CodigoAcceso = QStringLiteral("anterior");
        m.abrir();
        m.elegir("CmdMatematica", QStringLiteral("4592"));
        QCOMPARE(m.banco.mensajes.textos(), QStringList({ "Examen no disponible..." }));
        QVERIFY(!m.dialogoVisto);
        QCOMPARE(m.banco.sesion.CodigoAcceso, QStringLiteral("anterior"));
        QVERIFY(m.form->isVisible());
        // The other subject's model is complete and opens.
        m.elegir("CmdLengua", QStringLiteral("2813"));
        QCOMPARE(m.form->siguiente(), Pantalla::ExamenLengua);
    }

    void imagenesEsUnArchivo()
    {
        Banco b;
        crearArchivo(b.carpeta() + "/Imagenes");
        b.sesion.ModeloMat = 1;
        b.sesion.FinalizadoLeng = 1;
        FormMnuOrbela form(b.entorno, b.sesion);
        form.cargar();
        form.show();
        QTest::mouseClick(hijo<QPushButton>(&form, "CmdMatematica"), Qt::LeftButton);
        QCOMPARE(b.mensajes.textos(), QStringList({ "Examen no disponible..." }));
        QVERIFY(QFileInfo(b.carpeta() + "/Imagenes").isFile());
    }

    void codigoLargoONoAscii_data()
    {
        QTest::addColumn<QString>("codigo");
        QTest::newRow("thousands of digits") << QString(5000, '2');
        QTest::newRow("non-ASCII") << QStringLiteral("２８１３");
        QTest::newRow("code and more") << QStringLiteral("2813ñ");
    }
    void codigoLargoONoAscii()
    {
        QFETCH(QString, codigo);
        Menu m;
        m.abrir();
        Guion guion(QStringLiteral("FrmCodigoAcceso"), [codigo](QWidget *d) {
            hijo<QLineEdit>(d, "TxtCodAcceso")->insert(codigo);
            QTest::keyClick(hijo<QLineEdit>(d, "TxtCodAcceso"), Qt::Key_Return);
        });
        QTest::mouseClick(m.boton("CmdLengua"), Qt::LeftButton);
        QCOMPARE(m.banco.mensajes.textos(), QStringList({ "Código incorrecto...!" }));
        QCOMPARE(m.banco.sesion.CodigoAcceso, codigo);
        QVERIFY(m.form->isVisible());
    }

    void codigos_data()
    {
        QTest::addColumn<QString>("boton");
        QTest::addColumn<QString>("codigo");
        QTest::addColumn<bool>("entra");
        QTest::newRow("language code") << "CmdLengua"
                                       << "2813" << true;
        QTest::newRow("mathematics code") << "CmdMatematica"
                                          << "4592" << true;
        QTest::newRow("spaces around") << "CmdMatematica"
                                       << "  4592 " << true;
        QTest::newRow("other subject's code") << "CmdLengua"
                                              << "4592" << false;
        QTest::newRow("inner space") << "CmdLengua"
                                     << "28 13" << false;
        QTest::newRow("3 digits") << "CmdLengua"
                                  << "281" << false;
        QTest::newRow("5 digits") << "CmdMatematica"
                                  << "45920" << false;
        QTest::newRow("abandoned with Salir") << "CmdMatematica"
                                              << "" << false;
    }
    void codigos()
    {
        QFETCH(QString, boton);
        QFETCH(QString, codigo);
        QFETCH(bool, entra);
        Menu m;
        m.abrir();
        m.elegir(qPrintable(boton), codigo);
        QVERIFY(m.dialogoVisto);
        const bool lengua = boton == "CmdLengua";
        if (entra) {
            QVERIFY(m.banco.mensajes.llamadas.isEmpty());
            QCOMPARE(m.banco.sesion.Materia, lengua ? "Lengua" : "Matematica");
            QCOMPARE(lengua ? m.banco.sesion.PreguntaLeng : m.banco.sesion.PreguntaMat, 1);
            QCOMPARE(
                m.form->siguiente(), lengua ? Pantalla::ExamenLengua : Pantalla::ExamenMatematica);
            QVERIFY(!m.form->isVisible());
        } else {
            QCOMPARE(m.banco.mensajes.textos(), QStringList({ "Código incorrecto...!" }));
            QVERIFY(m.banco.sesion.Materia.isEmpty());
            QCOMPARE(m.banco.sesion.PreguntaLeng + m.banco.sesion.PreguntaMat, 0);
            QCOMPARE(m.banco.sesion.CodigoAcceso, codigo.trimmed());
            QVERIFY(m.form->isVisible());
        }
    }

    void segundoIntentoTrasUnError()
    {
        Menu m;
        m.abrir();
        m.elegir("CmdLengua", QStringLiteral("1111"));
        m.dialogoVisto = false;
        m.elegir("CmdLengua", QStringLiteral("2813"));
        QVERIFY(m.dialogoVisto);
        QCOMPARE(m.banco.mensajes.llamadas.size(), 1);
        QCOMPARE(m.form->siguiente(), Pantalla::ExamenLengua);
    }

    void salir()
    {
        Menu m;
        m.abrir();
        QTest::mouseClick(m.boton("CmdSalir"), Qt::LeftButton);
        QCOMPARE(m.form->siguiente(), Pantalla::Fin);
        QVERIFY(!m.form->isVisible());
    }

    // The banner, a picture box, is tab stop 2.
    void ordenDeTabulacion()
    {
        Menu m;
        m.abrir();
        QCOMPARE(recorridoDeTabulacion(m.boton("CmdLengua"), 5),
            QStringList({ "CmdLengua", "CmdMatematica", "Picture1", "CmdSalir", "CmdLengua" }));
    }
};

QTEST_MAIN(TstFormMnuOrbela)
#include "tst_FormMnuOrbela.moc"
