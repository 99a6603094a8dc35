#include "ExamenDePrueba.h"
#include "Finalizacion.h"
#include "Reporte.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

Q_DECLARE_METATYPE(std::optional<PasoEscritura>)

namespace {
Sesion::Respuestas respuestas(const QString &letras)
{
    Sesion::Respuestas r;
    for (int q = 1; q <= kPreguntas; ++q)
        r[q] = letras.at(q - 1) == QLatin1Char('-') ? QString() : QString(letras.at(q - 1));
    return r;
}

const QString kPregunta = QStringLiteral("Confirma que desea Guardar y Finalizar el Examen de ");

// A registered student on question 3 of mathematics model 2, whose workbook exists.
struct Examen : ExamenDePrueba<FrmMatMod1H1> {
    Examen()
        : ExamenDePrueba(2, 3, {}, [](Banco &b) {
            b.sesion = alumnoDePrueba();
            b.sesion.ModeloMat = 2;
            b.sesion.Materia = QStringLiteral("Matematica");
            b.sesion.PreguntaMat = 3;
            Crear_Excel(b.entorno, b.sesion);
        })
    {
    }
};
} // namespace

class TstFinalizacion : public QObject {
    Q_OBJECT
private slots:
    void textoDeConfirmacion_data()
    {
        QTest::addColumn<QString>("letras");
        QTest::addColumn<QString>("materia");
        QTest::addColumn<QString>("texto");
        QTest::newRow("all answered")
            << "ABCDABCDABCDABCDABCDAB"
            << "Lengua"
            << "Se respondieron todas las preguntas. " + kPregunta + "Lengua ?";
        QTest::newRow("3 and 17 missing")
            << "AB-DABCDABCDABCD-BCDAB"
            << "Matematica"
            << "Aun fatan contestar las preguntas: 3, 17. " + kPregunta + "Matematica ?";
        QTest::newRow("none answered")
            << QString(22, '-') << "Matematica"
            << "Aun fatan contestar las preguntas: 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, "
               "12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22. "
                + kPregunta + "Matematica ?";
        QTest::newRow("any text counts as answered")
            << "x---------------------"
            << "Lengua"
            << "Aun fatan contestar las preguntas: 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, "
               "12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22. "
                + kPregunta + "Lengua ?";
    }
    void textoDeConfirmacion()
    {
        QFETCH(QString, letras);
        QFETCH(QString, materia);
        QTEST(textoConfirmacion(respuestas(letras), materia), "texto");
    }

    void laEleccionEnPantallaCuenta()
    {
        Examen e;
        e.banco.sesion.RespMat = respuestas("AB-DABCDABCDABCDABCDAB");
        QTest::mouseClick(hijo<QRadioButton>(e.form.get(), "OpMatMod1Preg1OpC"), Qt::LeftButton);
        e.finalizar(kRespuestaNo);
        const LlamadaMensaje &caja = e.banco.mensajes.llamadas.last();
        QCOMPARE(caja.texto, "Se respondieron todas las preguntas. " + kPregunta + "Matematica ?");
        QCOMPARE(caja.estilo, 276);
        QCOMPARE(caja.titulo, QStringLiteral("MsgBox Demonstration"));
        QCOMPARE(caja.archivoAyuda, QStringLiteral("DEMO.HLP"));
        QCOMPARE(caja.contextoAyuda, 1000);
        // No: the exam stays on the same question with the choice recorded.
        QVERIFY(e.form->isVisible());
        QCOMPARE(e.banco.sesion.PreguntaMat, 3);
        QCOMPARE(e.banco.sesion.RespMat[3], QStringLiteral("C"));
        QCOMPARE(e.banco.sesion.FinalizadoMat, 0);
        QVERIFY(e.libro().empty());
    }

    void siGuardaYVuelveAlMenu()
    {
        Examen e;
        e.banco.sesion.RespMat[1] = QStringLiteral("B");
        e.finalizar(kRespuestaSi);
        QCOMPARE(e.form->siguiente(), Pantalla::Menu);
        QVERIFY(!e.form->isVisible());
        QCOMPARE(e.banco.sesion.FinalizadoMat, 1);
        const CeldasHoja c = e.libro();
        QCOMPARE(c.at({ 1, 9 }).texto, QStringLiteral("Matematica"));
        QCOMPARE(c.at({ 1, 11 }).texto, QStringLiteral("B"));
        QCOMPARE(c.at({ 1, 10 }), Celda::deNumero(2));
        QCOMPARE(e.banco.mensajes.llamadas.size(), 1);
    }

    // The disk fails at each step of the save in turn, or what is read back differs: the
    // student is told, the workbook on disk is the old one, the subject stays open with every
    // answer and no picture is deleted; once the cause is gone the same button saves.
    void guardadoFallidoNoSeDaPorBueno_data()
    {
        QTest::addColumn<std::optional<PasoEscritura>>("paso");
        QTest::addColumn<QString>("causa");
        QTest::newRow("disk full opening")
            << std::optional(PasoEscritura::Abrir) << "no hay espacio libre en el disco";
        QTest::newRow("disk full writing")
            << std::optional(PasoEscritura::Escribir) << "no hay espacio libre en el disco";
        QTest::newRow("disk full forcing the data")
            << std::optional(PasoEscritura::AsegurarDatos) << "no hay espacio libre en el disco";
        QTest::newRow("disk full closing")
            << std::optional(PasoEscritura::Cerrar) << "no hay espacio libre en el disco";
        QTest::newRow("disk full replacing")
            << std::optional(PasoEscritura::Reemplazar) << "no hay espacio libre en el disco";
        QTest::newRow("read-back differs")
            << std::optional<PasoEscritura>()
            << "lo escrito en el disco no coincide al leerlo de nuevo";
    }
    void guardadoFallidoNoSeDaPorBueno()
    {
        QFETCH(std::optional<PasoEscritura>, paso);
        QFETCH(QString, causa);
        Examen e;
        const QString libro = e.banco.sesion.RutaExcel + ".xlsx";
        QFile archivo(libro);
        QVERIFY(archivo.open(QIODevice::ReadOnly));
        const QByteArray antes = archivo.readAll();
        archivo.close();
        e.banco.sesion.RespMat[1] = QStringLiteral("D");
        QTest::mouseClick(hijo<QRadioButton>(e.form.get(), "OpMatMod1Preg1OpA"), Qt::LeftButton);
        e.banco.disco.fallarEn = paso;
        e.banco.disco.alterarRelectura = !paso;
        e.finalizar(kRespuestaSi);
        // A disk that refuses the workbook refuses the record as the exam is left, and says so.
        const qsizetype avisosDeCopia = e.banco.mensajes.textos()
                                            .filter(QStringLiteral("copia de seguridad del examen"))
                                            .size();
        QCOMPARE(avisosDeCopia, paso ? 1 : 0);
        QCOMPARE(e.banco.mensajes.llamadas.size(), 2 + avisosDeCopia);
        const LlamadaMensaje &aviso = e.banco.mensajes.llamadas.last();
        QVERIFY(
            aviso.texto.startsWith(QStringLiteral("ATENCIÓN: las respuestas NO se guardaron.")));
        QVERIFY2(aviso.texto.contains(QStringLiteral("Causa: ") + causa), qPrintable(aviso.texto));
        QCOMPARE(aviso.estilo & 0x70, 16);
        QVERIFY(e.form->isVisible());
        QCOMPARE(e.banco.sesion.FinalizadoMat, 0);
        QCOMPARE(e.banco.sesion.PreguntaMat, 3);
        QCOMPARE(e.banco.sesion.RespMat[1], QStringLiteral("D"));
        QCOMPARE(e.banco.sesion.RespMat[3], QStringLiteral("A"));
        QVERIFY(e.libro().empty());
        QVERIFY(archivo.open(QIODevice::ReadOnly));
        QCOMPARE(archivo.readAll(), antes);
        archivo.close();
        for (int m = 1; m <= kModelos; ++m)
            QCOMPARE(QDir(carpetaModelo(e.banco.carpeta(), Asignatura::Matematica, m))
                         .entryList(QDir::Files)
                         .size(),
                3);

        // Once the cause is gone the same button saves.
        e.banco.disco.fallarEn.reset();
        e.banco.disco.alterarRelectura = false;
        e.finalizar(kRespuestaSi);
        QCOMPARE(e.banco.sesion.FinalizadoMat, 1);
        QCOMPARE(e.libro().at({ 1, 13 }).texto, QStringLiteral("A"));
        QCOMPARE(e.form->siguiente(), Pantalla::Menu);
    }
};

QTEST_MAIN(TstFinalizacion)
#include "tst_Finalizacion.moc"
