#include "Apoyo.h"
#include "Reporte.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <functional>

namespace {

CeldasHoja leer(const QString &ruta)
{
    DiscoLocal disco;
    CeldasHoja celdas;
    const Resultado r = LibroXlsx(disco).leerReporte(ruta, &celdas);
    if (!r.ok())
        qWarning("%s", qPrintable(r.texto()));
    return celdas;
}

QString texto(const CeldasHoja &c, int fila, int col)
{
    const auto it = c.find({ fila, col });
    return it == c.end() ? QStringLiteral("<vacía>") : it->second.texto;
}

void responder(Sesion &s, Asignatura a, const QString &letras)
{
    auto &r = respuestasDe(s, a);
    for (int q = 1; q <= kPreguntas; ++q)
        r[q] = letras.at(q - 1) == QLatin1Char('-') ? QString() : QString(letras.at(q - 1));
}

// Answers the subject with `letras` ('-' for none) and saves it; returns what went wrong.
QString guardar(Banco &b, Asignatura a, const char *letras)
{
    b.sesion.Materia = nombreMateria(a);
    responder(b.sesion, a, QString::fromLatin1(letras));
    const Resultado r = guardarFilaReporte(b.entorno, b.sesion, a);
    return r.ok() ? QString() : r.texto();
}

} // namespace

class TstReporte : public QObject {
    Q_OBJECT
private slots:
    void nombreDelLibro()
    {
        Sesion s = alumnoDePrueba();
        s.DNI = QStringLiteral("987");
        QCOMPARE(construirRutaExcel(QStringLiteral("/srv/Examen"), s),
            QStringLiteral("/srv/Examen/Apl Examen - EE0310002_T_3A_2_987"));
        s.Seccion = QStringLiteral(" 3A ");
        QCOMPARE(construirRutaExcel(QStringLiteral("/e"), s),
            QStringLiteral("/e/Apl Examen - EE0310002_T_ 3A _2_987"));
    }

    void cadaDatoCambiaElLibro_data()
    {
        QTest::addColumn<int>("campo");
        for (int i = 0; i < 5; ++i)
            QTest::newRow(qPrintable(QStringLiteral("field %1").arg(i))) << i;
    }
    void cadaDatoCambiaElLibro()
    {
        QFETCH(int, campo);
        const Sesion a = alumnoDePrueba();
        Sesion b = a;
        switch (campo) {
        case 0:
            b.CodEmpresa = QStringLiteral("EE0310004");
            break;
        case 1:
            b.Turno = QStringLiteral("M");
            break;
        case 2:
            b.Seccion = QStringLiteral("3B");
            break;
        case 3:
            b.Sexo = 3;
            break;
        case 4:
            b.DNI = QStringLiteral("987");
            break;
        }
        QVERIFY(construirRutaExcel("/e", a) != construirRutaExcel("/e", b));
    }

    void primerRegistroCreaLibroVacio()
    {
        Banco b;
        b.sesion = alumnoDePrueba();
        Crear_Excel(b.entorno, b.sesion);
        QVERIFY(b.mensajes.llamadas.isEmpty());
        QVERIFY(QFile::exists(b.sesion.RutaExcel + ".xlsx"));
        QVERIFY(leer(b.sesion.RutaExcel + ".xlsx").empty());
        QCOMPARE(b.sesion.FinalizadoMat + b.sesion.FinalizadoLeng, 0);
    }

    void registroRepetidoLeeLoTerminado_data()
    {
        QTest::addColumn<QString>("i1");
        QTest::addColumn<QString>("i2");
        QTest::addColumn<int>("mat");
        QTest::addColumn<int>("leng");
        QTest::newRow("only language done") << ""
                                            << "Lengua" << 0 << 1;
        QTest::newRow("both done") << "Matematica"
                                   << "Lengua" << 1 << 1;
        QTest::newRow("exact text only") << "matematica"
                                         << "Lengua " << 0 << 0;
        QTest::newRow("rows swapped") << "Lengua"
                                      << "Matematica" << 0 << 0;
    }
    void registroRepetidoLeeLoTerminado()
    {
        QFETCH(QString, i1);
        QFETCH(QString, i2);
        Banco b;
        b.sesion = alumnoDePrueba();
        const QString ruta = construirRutaExcel(b.carpeta(), b.sesion) + ".xlsx";
        CeldasHoja celdas;
        if (!i1.isEmpty())
            celdas[{ 1, 9 }] = Celda::deTexto(i1);
        celdas[{ 2, 9 }] = Celda::deTexto(i2);
        escribirLibroDePrueba(ruta, celdas);
        const QByteArray antes = huella(ruta);
        Crear_Excel(b.entorno, b.sesion);
        QTEST(int(b.sesion.FinalizadoMat), "mat");
        QTEST(int(b.sesion.FinalizadoLeng), "leng");
        QCOMPARE(huella(ruta), antes);
        QVERIFY(b.mensajes.llamadas.isEmpty());
    }

    void fallasDelRegistro_data()
    {
        QTest::addColumn<bool>("ilegible");
        QTest::newRow("existing workbook unreadable") << true;
        QTest::newRow("program folder gone") << false;
    }
    void fallasDelRegistro()
    {
        QFETCH(bool, ilegible);
        Banco b;
        b.sesion = alumnoDePrueba();
        QString carpeta = b.carpeta();
        if (ilegible)
            crearArchivo(construirRutaExcel(carpeta, b.sesion) + ".xlsx", "no es un libro");
        else
            b.entorno.carpetaPrograma = carpeta + "/ya-no-existe";
        const QString ruta = construirRutaExcel(b.entorno.carpetaPrograma, b.sesion) + ".xlsx";
        const QByteArray antes = huella(ruta);
        Crear_Excel(b.entorno, b.sesion);
        QCOMPARE(b.mensajes.textos(), QStringList({ "Error al generar excel..." }));
        QCOMPARE(b.mensajes.llamadas.first().estilo, 0);
        QCOMPARE(huella(ruta), antes);
        QCOMPARE(b.sesion.RutaExcel + ".xlsx", ruta);
    }

    void filaDeMatematica()
    {
        Banco b;
        b.sesion = alumnoDePrueba();
        Crear_Excel(b.entorno, b.sesion);
        QCOMPARE(guardar(b, Asignatura::Matematica, "AB-DABCDABCDABCDABCDA-"), QString());
        QCOMPARE(b.sesion.FinalizadoMat, 1);
        const CeldasHoja c = leer(b.sesion.RutaExcel + ".xlsx");
        QCOMPARE(texto(c, 1, 1), QStringLiteral("EE0310002"));
        QCOMPARE(texto(c, 1, 2), QStringLiteral("I.P.E.M. Nº 5 PRUEBA"));
        QCOMPARE(c.at({ 1, 3 }), Celda::deNumero(2));
        QCOMPARE(texto(c, 1, 4), QStringLiteral("0987"));
        QCOMPARE(texto(c, 1, 5), QStringLiteral("<vacía>"));
        QCOMPARE(texto(c, 1, 7), QStringLiteral("T"));
        QCOMPARE(texto(c, 1, 8), QStringLiteral("3A"));
        QCOMPARE(texto(c, 1, 9), QStringLiteral("Matematica"));
        QCOMPARE(c.at({ 1, 10 }), Celda::deNumero(4));
        QCOMPARE(texto(c, 1, 11), QStringLiteral("A"));
        QCOMPARE(texto(c, 1, 13), QStringLiteral("<vacía>")); // M1: question 3
        QCOMPARE(texto(c, 1, 31), QStringLiteral("A"));
        QCOMPARE(texto(c, 1, 32), QStringLiteral("<vacía>")); // AF1: question 22
        for (const auto &[pos, celda] : c)
            QCOMPARE(pos.first, 1);
    }

    void lenguaPrimeroYLuegoMatematica()
    {
        Banco b;
        b.sesion = alumnoDePrueba();
        Crear_Excel(b.entorno, b.sesion);
        QCOMPARE(guardar(b, Asignatura::Lengua, "DDDDDDDDDDDDDDDDDDDDDD"), QString());
        CeldasHoja c = leer(b.sesion.RutaExcel + ".xlsx");
        QCOMPARE(texto(c, 2, 9), QStringLiteral("Lengua"));
        QCOMPARE(c.at({ 2, 10 }), Celda::deNumero(6));
        QVERIFY(c.count({ 1, 1 }) == 0);

        QCOMPARE(guardar(b, Asignatura::Matematica, "CCCCCCCCCCCCCCCCCCCCCC"), QString());
        c = leer(b.sesion.RutaExcel + ".xlsx");
        QCOMPARE(texto(c, 1, 32), QStringLiteral("C"));
        QCOMPARE(texto(c, 2, 32), QStringLiteral("D"));
        QCOMPARE(b.sesion.FinalizadoLeng + b.sesion.FinalizadoMat, 2);

        // Saving the same subject again replaces its whole row.
        QCOMPARE(guardar(b, Asignatura::Matematica, "B---------------------"), QString());
        c = leer(b.sesion.RutaExcel + ".xlsx");
        QCOMPARE(texto(c, 1, 11), QStringLiteral("B"));
        QCOMPARE(texto(c, 1, 12), QStringLiteral("<vacía>"));
        QCOMPARE(texto(c, 2, 12), QStringLiteral("D"));
    }

    void guardadoFallido_data()
    {
        QTest::addColumn<int>("caso");
        QTest::newRow("write fails (disk full)") << 0;
        QTest::newRow("workbook unreadable") << 1;
        QTest::newRow("program folder gone") << 2;
    }
    void guardadoFallido()
    {
        QFETCH(int, caso);
        Banco b;
        b.sesion = alumnoDePrueba();
        Crear_Excel(b.entorno, b.sesion);
        const QString ruta = b.sesion.RutaExcel + ".xlsx";
        if (caso == 0)
            b.disco.fallarEn = PasoEscritura::Escribir;
        else if (caso == 1)
            crearArchivo(ruta, "dañado");
        else
            b.sesion.RutaExcel = b.carpeta() + "/no/hay/libro";
        const QByteArray antes = huella(ruta);
        QVERIFY(!guardar(b, Asignatura::Matematica, "AAAAAAAAAAAAAAAAAAAAAA").isEmpty());
        QCOMPARE(b.sesion.FinalizadoMat, 0);
        QCOMPARE(huella(ruta), antes);
        QCOMPARE(b.sesion.RespMat[1], QStringLiteral("A"));
    }

    void libroQueFaltaSeCreaAlGuardar()
    {
        Banco b;
        b.sesion = alumnoDePrueba();
        b.sesion.RutaExcel = construirRutaExcel(b.carpeta(), b.sesion);
        QCOMPARE(guardar(b, Asignatura::Lengua, "ABCDABCDABCDABCDABCDAB"), QString());
        QCOMPARE(texto(leer(b.sesion.RutaExcel + ".xlsx"), 2, 32), QStringLiteral("B"));
    }

    void carpetaConEspaciosYAcentos()
    {
        Banco b;
        b.entorno.carpetaPrograma
            = b.carpeta() + QStringLiteral("/Carpeta Ñandú/Estación de examen");
        QVERIFY(QDir().mkpath(b.entorno.carpetaPrograma));
        b.sesion = alumnoDePrueba();
        b.sesion.Seccion = QStringLiteral("3Ñ");
        Crear_Excel(b.entorno, b.sesion);
        QVERIFY(b.mensajes.llamadas.isEmpty());
        QCOMPARE(guardar(b, Asignatura::Lengua, "ABCDABCDABCDABCDABCDAB"), QString());
        QCOMPARE(QDir(b.entorno.carpetaPrograma).entryList(QDir::Files | QDir::Hidden),
            QStringList({ "Apl Examen - EE0310002_T_3Ñ_2_0987.xlsx" }));
        QCOMPARE(texto(leer(b.sesion.RutaExcel + ".xlsx"), 2, 8), QStringLiteral("3Ñ"));
    }

    void limitesDelNombre()
    {
        QVERIFY(seccionAdmisible(QString(kMaxBytesCampoDeNombre, 'A')));
        QVERIFY(!seccionAdmisible(QString(kMaxBytesCampoDeNombre + 1, 'A')));
        QVERIFY(!seccionAdmisible(
            QString(kMaxBytesCampoDeNombre / 2 + 1, QChar(0x00D1)))); // 2 bytes each
        QVERIFY(dniAdmisible(QString(kMaxBytesCampoDeNombre, '9')));
        QVERIFY(!dniAdmisible(QString(kMaxBytesCampoDeNombre + 1, '9')));
        // The longest admissible names still make a valid file.
        Banco b;
        b.sesion = alumnoDePrueba();
        b.sesion.Seccion = QString(kMaxBytesCampoDeNombre, 'S');
        b.sesion.DNI = QString(kMaxBytesCampoDeNombre, '1');
        Crear_Excel(b.entorno, b.sesion);
        QVERIFY(b.mensajes.llamadas.isEmpty());
        QVERIFY(QFile::exists(b.sesion.RutaExcel + ".xlsx"));
    }

    // A real disk that fills up, in a mount namespace of its own where the machine allows it.
    void discoLlenoDeVerdad()
    {
        QTemporaryDir dir;
        QByteArray salida;
        const int codigo
            = ejecutarAislado({ QStringLiteral("--disco-lleno"), dir.filePath("disco") }, &salida);
        if (codigo == kSinLanzador || codigo == kSinMontaje)
            QSKIP("este equipo no permite montar un disco pequeño para la prueba");
        QVERIFY2(codigo == 0, salida.constData());
    }

    // A folder made read-only for someone who respects permissions (not root).
    void carpetaDeSoloLectura()
    {
        QByteArray salida;
        const int codigo = ejecutarSinPrivilegios({ QStringLiteral("--solo-lectura") }, &salida);
        if (codigo == kSinLanzador)
            QSKIP("no se puede correr la prueba sin privilegios en este equipo");
        QVERIFY2(codigo == 0, salida.constData());
    }

    void otrosProgramasLeenElLibro()
    {
        Banco b;
        b.sesion = alumnoDePrueba();
        Crear_Excel(b.entorno, b.sesion);
        QCOMPARE(guardar(b, Asignatura::Matematica, "AB-DABCDABCDABCDABCDA-"), QString());
        const QString guion = QStringLiteral(
            "wb = openpyxl.load_workbook(sys.argv[1])\n"
            "assert wb.sheetnames == ['Reporte'], wb.sheetnames\n"
            "ws = wb['Reporte']\n"
            "row = [ws.cell(1, c).value for c in range(1, 33)]\n"
            "assert ws.max_row == 1, ws.max_row\n"
            "assert row[:10] == ['EE0310002', 'I.P.E.M. N\\u00ba 5 PRUEBA', 2, '0987', None, None, "
            "'T', '3A', 'Matematica', 4], row\n"
            "assert row[10:] == list('AB') + [None] + list('DABCDABCDABCDABCDA') + [None], row\n"
            "print('ok')\n");
        const SalidaPython python = ejecutarPython(guion, { b.sesion.RutaExcel + ".xlsx" });
        QVERIFY2(python.ok, qPrintable(python.error));
        QCOMPARE(python.salida.trimmed(), QStringLiteral("ok"));
    }
};

// A save that a real disk refuses: the cause is told, the finished language stays as it was
// and nothing else is left in the folder; once the cause is gone the same save works.
// `provocar` brings the failure about in the workbook's folder and returns what undoes it.
using Provocar = std::function<std::function<void()>(const QString &carpeta)>;
void guardadoQueElDiscoRechaza(Banco &b, const Provocar &provocar, const QString &causa)
{
    b.sesion = alumnoDePrueba();
    Crear_Excel(b.entorno, b.sesion);
    QVERIFY(b.mensajes.llamadas.isEmpty());
    QCOMPARE(guardar(b, Asignatura::Lengua, "DDDDDDDDDDDDDDDDDDDDDD"), QString());
    const QString ruta = b.sesion.RutaExcel + ".xlsx";
    const QDir carpeta = QFileInfo(ruta).absoluteDir();
    const QStringList archivos = carpeta.entryList(QDir::Files | QDir::Hidden);
    const QByteArray antes = huella(ruta);
    const std::function<void()> deshacer = provocar(carpeta.path());

    const QString error = guardar(b, Asignatura::Matematica, "ABCDABCDABCDABCDABCDAB");
    deshacer();
    QVERIFY2(error.startsWith(causa), qPrintable(error));
    QCOMPARE(b.sesion.FinalizadoMat, 0);
    QCOMPARE(huella(ruta), antes);
    QCOMPARE(carpeta.entryList(QDir::Files | QDir::Hidden), archivos);

    QCOMPARE(guardar(b, Asignatura::Matematica, "ABCDABCDABCDABCDABCDAB"), QString());
    const CeldasHoja c = leer(ruta);
    QCOMPARE(texto(c, 1, 32), QStringLiteral("B"));
    QCOMPARE(texto(c, 2, 32), QStringLiteral("D"));
}

// Run inside its own mount namespace, on a small disk of its own.
class TstDiscoLleno : public QObject {
    Q_OBJECT
public:
    QString carpeta;

private slots:
    void guardadoEnDiscoLleno()
    {
        Banco b;
        b.entorno.carpetaPrograma = carpeta;
        guardadoQueElDiscoRechaza(
            b,
            [](const QString &enDisco) {
                const QString relleno = llenarDisco(enDisco);
                return [relleno] { QFile::remove(relleno); };
            },
            QStringLiteral("no hay espacio libre en el disco"));
    }
};

// Run as a user without privileges.
class TstSoloLectura : public QObject {
    Q_OBJECT
private slots:
    void guardadoEnCarpetaDeSoloLectura()
    {
        Banco b;
        guardadoQueElDiscoRechaza(
            b,
            [](const QString &carpeta) {
                const QFile::Permissions abierta = QFile::permissions(carpeta);
                QFile::setPermissions(carpeta, QFile::ReadOwner | QFile::ExeOwner);
                return [carpeta, abierta] { QFile::setPermissions(carpeta, abierta); };
            },
            QStringLiteral("no se puede escribir en la carpeta (solo lectura o sin permiso)"));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc == 2 && qstrcmp(argv[1], "--solo-lectura") == 0) {
        TstSoloLectura prueba;
        return QTest::qExec(&prueba, 1, argv);
    }
    if (argc == 3 && qstrcmp(argv[1], "--disco-lleno") == 0) {
        if (!montarDiscoChico(QString::fromLocal8Bit(argv[2]), 512))
            return kSinMontaje;
        TstDiscoLleno prueba;
        prueba.carpeta = QString::fromLocal8Bit(argv[2]);
        return QTest::qExec(&prueba, 1, argv);
    }
    TstReporte prueba;
    return QTest::qExec(&prueba, argc, argv);
}

#include "tst_Reporte.moc"
