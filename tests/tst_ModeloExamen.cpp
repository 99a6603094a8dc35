#include "Apoyo.h"
#include "ModeloExamen.h"

#include <QTest>

class TstModeloExamen : public QObject {
    Q_OBJECT
private slots:
    void ciclo_data()
    {
        QTest::addColumn<QChar>("digito");
        QTest::addColumn<int>("segundos");
        QTest::addColumn<int>("modelo");
        QTest::newRow("n = 0") << QChar('0') << 0 << 1;
        QTest::newRow("n = 5") << QChar('5') << 0 << 6;
        QTest::newRow("n = 6") << QChar('0') << 6 << 1;
        QTest::newRow("n = 43") << QChar('6') << 37 << 2;
        QTest::newRow("n = 41") << QChar('4') << 37 << 6;
        QTest::newRow("largest n = 68") << QChar('9') << 59 << 3;
    }
    void ciclo()
    {
        QFETCH(QChar, digito);
        QFETCH(int, segundos);
        QFETCH(int, modelo);
        QCOMPARE(sortearModelo(digito, segundos), modelo);
    }

    void cadaAsignaturaUsaSuDigito_data()
    {
        QTest::addColumn<QString>("dni");
        QTest::addColumn<int>("segundos");
        QTest::addColumn<int>("mat");
        QTest::addColumn<int>("leng");
        QTest::newRow("first 4, last 6 at :37") << "40006" << 37 << 2 << 6;
        QTest::newRow("first 3, last 1 at :12") << "3551" << 12 << 2 << 4;
        QTest::newRow("leading zero kept as digit") << "0123" << 0 << 4 << 1;
    }
    void cadaAsignaturaUsaSuDigito()
    {
        QFETCH(QString, dni);
        QFETCH(int, segundos);
        QFETCH(int, mat);
        QFETCH(int, leng);
        RelojFalso reloj;
        reloj.lecturas = { segundos };
        QCOMPARE(Modelo_Matematica(dni, reloj), mat);
        QCOMPARE(Modelo_Lengua(dni, reloj), leng);
    }

    void cadaSorteoLeeElReloj()
    {
        // A single digit serves both subjects; the second draw sees the next second.
        RelojFalso reloj;
        reloj.lecturas = { 59, 0 };
        QCOMPARE(Modelo_Matematica(QStringLiteral("7"), reloj), 1 + (66 % 6));
        QCOMPARE(Modelo_Lengua(QStringLiteral("7"), reloj), 1 + (7 % 6));
        QCOMPARE(reloj.leidas, 2);
    }
};

QTEST_GUILESS_MAIN(TstModeloExamen)
#include "tst_ModeloExamen.moc"
