// A student's answers are saved while the process is killed at random moments: after every
// kill the workbook must open and hold either the old or the new row, never anything else,
// and the other subject's row must survive.
#include "Apoyo.h"
#include "Reporte.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>
#include <cstdio>

namespace {

const char *const kLetras = "ABCD";

void versionDe(Sesion &s, int v)
{
    s.NombreEscuela = QStringLiteral("VERSION %1").arg(v);
    for (int q = 1; q <= kPreguntas; ++q)
        s.RespMat[q] = QString(QLatin1Char(kLetras[(v + q) % 4]));
}

Sesion alumno(const QString &ruta)
{
    Sesion s = alumnoDePrueba();
    s.RutaExcel = ruta;
    s.Materia = QStringLiteral("Matematica");
    return s;
}

// The child: saves mathematics rows of increasing versions until it is killed.
int guardarEnBucle(const QString &ruta)
{
    Banco banco;
    Entorno &entorno = banco.entorno;
    Sesion s = alumno(ruta);
    for (int v = 1;; ++v) {
        versionDe(s, v);
        const QString error = GuardarRespuestas(entorno, s, Asignatura::Matematica);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("%d\n", v);
        std::fflush(stdout);
    }
}

} // namespace

class TstGuardadoInterrumpido : public QObject {
    Q_OBJECT
private slots:
    void matarDuranteElGuardado()
    {
        QTemporaryDir dir;
        const QString ruta = dir.filePath("Apl Examen - EE0310002_T_3A_2_0987");
        {
            // Language saved earlier; mathematics at version 0.
            Banco banco;
            Entorno &e = banco.entorno;
            Sesion s = alumno(ruta);
            s.Materia = QStringLiteral("Lengua");
            s.RespLeng[5] = QStringLiteral("C");
            QCOMPARE(GuardarRespuestas(e, s, Asignatura::Lengua), QString());
            s.Materia = QStringLiteral("Matematica");
            versionDe(s, 0);
            QCOMPARE(GuardarRespuestas(e, s, Asignatura::Matematica), QString());
        }
        LibroXlsx xlsx;
        CeldasHoja inicial;
        QVERIFY(xlsx.leerReporte(ruta + ".xlsx", &inicial, nullptr));
        auto filaDos = [](const CeldasHoja &c) {
            CeldasHoja f;
            for (const auto &[pos, celda] : c)
                if (pos.first == 2)
                    f[pos] = celda;
            return f;
        };
        const CeldasHoja lengua = filaDos(inicial);
        QCOMPARE(lengua.at({2, 15}).texto, QStringLiteral("C"));

        auto *azar = QRandomGenerator::global();
        int ultima = 0;
        int vistas = 0;
        for (int ronda = 0; ronda < 30; ++ronda) {
            QProcess hijo;
            hijo.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--guardar-en-bucle"), ruta});
            QVERIFY(hijo.waitForStarted());
            const int guardados = 1 + int(azar->bounded(3));
            int leidas = 0;
            while (leidas < guardados) {
                QVERIFY2(hijo.waitForReadyRead(20000), hijo.readAllStandardError().constData());
                while (hijo.canReadLine() && leidas < guardados) {
                    hijo.readLine();
                    ++leidas;
                }
            }
            // Somewhere inside one of the next saves.
            QElapsedTimer espera;
            espera.start();
            const qint64 micros = azar->bounded(4000);
            while (espera.nsecsElapsed() < micros * 1000) {
            }
            ::kill(pid_t(hijo.processId()), SIGKILL);
            QVERIFY(hijo.waitForFinished(20000));

            CeldasHoja celdas;
            QString error;
            QVERIFY2(xlsx.leerReporte(ruta + ".xlsx", &celdas, &error), qPrintable(error));
            QCOMPARE(filaDos(celdas), lengua);
            const QString nombre = celdas.at({1, 2}).texto;
            QVERIFY(nombre.startsWith(QStringLiteral("VERSION ")));
            const int v = nombre.mid(8).toInt();
            for (int q = 1; q <= kPreguntas; ++q)
                QCOMPARE(celdas.at({1, 10 + q}).texto, QString(QLatin1Char(kLetras[(v + q) % 4])));
            QCOMPARE(celdas.at({1, 9}).texto, QStringLiteral("Matematica"));
            ultima = v;
            ++vistas;
        }
        QCOMPARE(vistas, 30);
        QVERIFY(ultima >= 1);
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--guardar-en-bucle") == 0) {
        QCoreApplication app(argc, argv);
        return guardarEnBucle(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    TstGuardadoInterrumpido prueba;
    return QTest::qExec(&prueba, argc, argv);
}

#include "tst_GuardadoInterrumpido.moc"
