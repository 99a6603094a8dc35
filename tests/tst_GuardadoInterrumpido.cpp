// A student's answers are saved while the process is killed at random moments: after every
// kill the workbook must open and hold either the old or the new row, never anything else,
// and the other subject's row must survive. Two processes saving the same workbook at once
// lose no row. The same child process serves bench/estres-guardado, which does this 1,000
// times.
#include "Apoyo.h"
#include "Reporte.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>
#include <cstdio>

namespace {

const char *const kLetras = "ABCD";

// Version v of a subject's row: the establishment name says which, and the answers follow.
void versionDe(Sesion &s, Asignatura a, int v)
{
    s.NombreEscuela = QStringLiteral("VERSION %1").arg(v);
    for (int q = 1; q <= kPreguntas; ++q)
        respuestasDe(s, a)[q] = QString(QLatin1Char(kLetras[(v + q) % 4]));
}

Sesion alumno(const QString &ruta, Asignatura a)
{
    Sesion s = alumnoDePrueba();
    s.RutaExcel = ruta;
    s.Materia = nombreMateria(a);
    return s;
}

// The child: saves rows of one subject of increasing versions from `desde`, `veces` times
// (for ever when 0), printing each version once it is saved.
int guardarEnBucle(const QString &ruta, Asignatura a, int desde, int veces)
{
    Banco banco;
    Entorno &entorno = banco.entorno;
    Sesion s = alumno(ruta, a);
    for (int v = desde; veces == 0 || v < desde + veces; ++v) {
        versionDe(s, a, v);
        const Resultado r = guardarFilaReporte(entorno, s, a);
        if (!r.ok()) {
            std::fprintf(stderr, "%s\n", qPrintable(r.texto()));
            return 1;
        }
        std::printf("%d\n", v);
        std::fflush(stdout);
    }
    return 0;
}

// The version a row holds, or -1 when it is not a whole version.
int versionEn(const CeldasHoja &celdas, Asignatura a)
{
    const int fila = filaReporte(a);
    const auto nombre = celdas.find({ fila, 2 });
    if (nombre == celdas.end() || !nombre->second.texto.startsWith(QStringLiteral("VERSION ")))
        return -1;
    const int v = nombre->second.texto.mid(8).toInt();
    for (int q = 1; q <= kPreguntas; ++q) {
        const auto c = celdas.find({ fila, 10 + q });
        if (c == celdas.end() || c->second.texto != QString(QLatin1Char(kLetras[(v + q) % 4])))
            return -1;
    }
    return v;
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
            Sesion s = alumno(ruta, Asignatura::Lengua);
            s.RespLeng[5] = QStringLiteral("C");
            QVERIFY(guardarFilaReporte(e, s, Asignatura::Lengua).ok());
            s.Materia = QStringLiteral("Matematica");
            versionDe(s, Asignatura::Matematica, 0);
            QVERIFY(guardarFilaReporte(e, s, Asignatura::Matematica).ok());
        }
        DiscoLocal disco;
        LibroXlsx xlsx(disco);
        CeldasHoja inicial;
        QVERIFY(xlsx.leerReporte(ruta + ".xlsx", &inicial).ok());
        auto filaDos = [](const CeldasHoja &c) {
            CeldasHoja f;
            for (const auto &[pos, celda] : c)
                if (pos.first == 2)
                    f[pos] = celda;
            return f;
        };
        const CeldasHoja lengua = filaDos(inicial);
        QCOMPARE(lengua.at({ 2, 15 }).texto, QStringLiteral("C"));

        QRandomGenerator generador = azarSembrado();
        QRandomGenerator *azar = &generador;
        int vistas = 0;
        for (int ronda = 0; ronda < 30; ++ronda) {
            QProcess hijo;
            hijo.start(QCoreApplication::applicationFilePath(),
                { QStringLiteral("--guardar-en-bucle"), ruta, QStringLiteral("Matematica"),
                    QStringLiteral("1"), QStringLiteral("0") });
            QVERIFY(hijo.waitForStarted());
            const int guardados = 1 + int(azar->bounded(3));
            int informada = 0; // the last version the child said was saved
            while (informada < guardados) {
                QVERIFY2(hijo.waitForReadyRead(20000), hijo.readAllStandardError().constData());
                while (hijo.canReadLine())
                    informada = hijo.readLine().trimmed().toInt();
            }
            // Somewhere inside one of the next saves.
            QElapsedTimer espera;
            espera.start();
            const qint64 micros = azar->bounded(4000);
            while (espera.nsecsElapsed() < micros * 1000) { }
            ::kill(pid_t(hijo.processId()), SIGKILL);
            QVERIFY(hijo.waitForFinished(20000));
            while (hijo.canReadLine())
                informada = hijo.readLine().trimmed().toInt();

            CeldasHoja celdas;
            const Resultado leido = xlsx.leerReporte(ruta + ".xlsx", &celdas);
            QVERIFY2(leido.ok(), qPrintable(leido.texto()));
            QCOMPARE(filaDos(celdas), lengua);
            // The saved version, or the one being saved when the kill came; never older.
            const int v = versionEn(celdas, Asignatura::Matematica);
            QVERIFY2(v == informada || v == informada + 1,
                qPrintable(QStringLiteral("%1 / %2").arg(v).arg(informada)));
            QCOMPARE(celdas.at({ 1, 9 }).texto, QStringLiteral("Matematica"));
            ++vistas;
        }
        QCOMPARE(vistas, 30);
    }

    // Started twice by accident: two processes save the same student's workbook at once.
    // Each waits for the other; no save fails and no row is lost.
    void dosProcesosGuardanAlMismoTiempo()
    {
        QTemporaryDir dir;
        const QString ruta = dir.filePath("Apl Examen - EE0310002_T_3A_2_0987");
        QProcess mat, leng;
        for (auto [hijo, materia] : { std::pair { &mat, "Matematica" }, { &leng, "Lengua" } })
            hijo->start(QCoreApplication::applicationFilePath(),
                { QStringLiteral("--guardar-en-bucle"), ruta, QLatin1String(materia),
                    QStringLiteral("1"), QStringLiteral("60") });
        for (QProcess *hijo : { &mat, &leng }) {
            QVERIFY(hijo->waitForFinished(60000));
            QVERIFY2(hijo->exitCode() == 0, hijo->readAllStandardError().constData());
            QCOMPARE(hijo->readAllStandardOutput().count('\n'), 60);
        }
        DiscoLocal disco;
        CeldasHoja celdas;
        QVERIFY(LibroXlsx(disco).leerReporte(ruta + ".xlsx", &celdas).ok());
        QCOMPARE(versionEn(celdas, Asignatura::Matematica), 60);
        QCOMPARE(versionEn(celdas, Asignatura::Lengua), 60);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList({ "Apl Examen - EE0310002_T_3A_2_0987.xlsx" }));
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 6 && qstrcmp(argv[1], "--guardar-en-bucle") == 0) {
        const Asignatura a
            = qstrcmp(argv[3], "Lengua") == 0 ? Asignatura::Lengua : Asignatura::Matematica;
        return guardarEnBucle(QString::fromLocal8Bit(argv[2]), a, atoi(argv[4]), atoi(argv[5]));
    }
    TstGuardadoInterrumpido prueba;
    return QTest::qExec(&prueba, argc, argv);
}

#include "tst_GuardadoInterrumpido.moc"
