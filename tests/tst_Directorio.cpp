#include "Directorio.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {
// The codes of the directory, grouped by their first seven characters.
const char *const kCodigos[] = {
    "EE00000:00",
    "EE03100:02,04,06,09,10,12,15,16,18,22,33,54,60,65,68,72,80,84",
    "EE03104:02,05,06,16,20,22,26,31,34,40,41,48,51",
    "EE03105:00,03,07,12,14,24,25,27,29,36,37,42,43,45,48,49,57,58,66",
    "EE03106:03,04,07,09,10,11,16,17,27,29,30,31,36,40,42,45,46",
    "EE03107:01,02,04,05,06,16,25",
    "EE03108:01,06,07,10,14,16,19,21,26,39",
    "EE03109:04,06,09,14,19,22,24,27,32,37,40,43,48",
    "EE03111:99",
    "EE03112:00,02,06,13,17,18,23,25,27,29,32,33,35,42,52,54,57",
    "EE03113:50,52,71,74,78,88,90,91,95",
    "EE03114:00,03,06,08,09,23,25,27,31,32,39,43,45,49,50,52,53,54,58,59,60,61,62,63,66,67,68,"
    "70,71,72,73,74,75,76,77,78,79,80,81,82,83,84,85,86,87,88,89,90,91,92,93,95,96",
    "EE03200:01,05",
    "EE03201:10,66",
    "EE03202:04,12,63,67,70,75",
    "EE03203:24,26,27,29",
    "EE03303:03,31,42,54,62,70,74,84",
    "EE11111:11",
    "EE12100:60,91",
    "EE12109:05,10,13,14,20,22,24,28,31,52,68,78",
    "EE12110:10",
    "EE12201:29",
    "EE12203:32,54",
    "EE12206:54,91,95,97",
    "EE12207:22,59,63,66,70,74",
    "EE12208:11,22,34,96,98",
    "EE12209:01,03,10,25,34,42,43",
    "EE12300:17,22,23,24,27,30,35,39,41,42,45,46,47,49,50,52,58,61,66,71,72,74,75",
    "EE12401:14,16,20,35,42,74,76,89,95",
    "EE12402:15,18,22,25,26,29,41,51,52,58,60,65,77,78,86,91,92",
    "EE12403:03,16,19,20,28,31,33",
    "EE12500:01,02",
    "EE12601:54,82",
    "EE12602:30,31,36,46,67,95,97",
    "EE12603:24,42,43,44",
    "EE22222:22",
    "EE33333:33",
    "EE44444:44",
    "EE55555:55",
    "EE66666:66",
    "EE77777:77",
    "EE88888:88",
    "EE99999:99",
};

QStringList codigosEsperados()
{
    QStringList codigos;
    for (const char *grupo : kCodigos) {
        const QStringList partes = QString::fromLatin1(grupo).split(QLatin1Char(':'));
        for (const QString &fin : partes[1].split(QLatin1Char(',')))
            codigos << partes[0] + fin;
    }
    return codigos;
}

bool esPrueba(const QString &codigo)
{
    return codigo.mid(2) == QString(7, codigo.at(2));
}

QList<QString> nombresReales()
{
    QList<QString> nombres;
    for (const auto &fila : directorioEstablecimientos()) {
        if (!esPrueba(QLatin1String(fila.codigo)))
            nombres << QString::fromUtf8(fila.nombre);
    }
    return nombres;
}

int cuantos(const QList<QString> &nombres, const std::function<bool(const QString &)> &cumple)
{
    return int(std::count_if(nombres.begin(), nombres.end(), cumple));
}
} // namespace

class TstDirectorio : public QObject {
    Q_OBJECT
private slots:
    void codigosEnOrdenYCompletos()
    {
        QStringList codigos;
        for (const auto &fila : directorioEstablecimientos())
            codigos << QLatin1String(fila.codigo);
        QCOMPARE(codigos, codigosEsperados());
        QStringList ordenados = codigos;
        ordenados.sort();
        QCOMPARE(codigos, ordenados);
        QCOMPARE(QSet<QString>(codigos.begin(), codigos.end()).size(), 320);
    }

    void establecimientosDePrueba()
    {
        int pruebas = 0;
        for (const auto &fila : directorioEstablecimientos()) {
            const QString codigo = QLatin1String(fila.codigo);
            if (!esPrueba(codigo))
                continue;
            ++pruebas;
            QCOMPARE(
                QString::fromUtf8(fila.nombre), QStringLiteral("ESCUELA PRUEBA ") + codigo.at(2));
        }
        QCOMPARE(pruebas, 10);
    }

    void formaDeLosNombres()
    {
        const QList<QString> nombres = nombresReales();
        QCOMPARE(nombres.size(), 310);
        auto empieza = [](const char *p) {
            return [p](const QString &n) { return n.startsWith(QString::fromUtf8(p)); };
        };
        QCOMPARE(cuantos(nombres, empieza("I.P.E.M.")), 102);
        QCOMPARE(cuantos(nombres, empieza("I.P.E.T.")), 32);
        QVERIFY(cuantos(nombres, empieza("I.P.E.T.y M.")) > 0);
        QCOMPARE(cuantos(nombres,
                     [](const QString &n) {
                         return n.startsWith(QLatin1String("I.P.E.A."))
                             || n.startsWith(QLatin1String("IPEA"));
                     }),
            16);
        QCOMPARE(cuantos(nombres, empieza("INSTITUTO")), 101);
        QCOMPARE(cuantos(nombres, empieza("INST.")), 5);
        QCOMPARE(cuantos(nombres, empieza("ESCUELA")), 43);
        QCOMPARE(cuantos(nombres, empieza("ESC.")), 7);
        QCOMPARE(cuantos(nombres, empieza("CENTRO")), 1);
        QCOMPARE(cuantos(nombres, empieza("COMUNIDAD EDUCATIVA")), 1);
        QCOMPARE(cuantos(nombres, empieza("INSTITUCION")), 1);
        QCOMPARE(cuantos(nombres, empieza("NUESTRA SEÑORA")), 1);

        auto lleva = [](const char *t) {
            return [t](const QString &n) { return n.contains(QString::fromUtf8(t)); };
        };
        QCOMPARE(cuantos(nombres, lleva(" Nº ")), 110);
        QCOMPARE(cuantos(nombres, lleva(" N° ")), 39);
        QCOMPARE(cuantos(nombres, lleva(" No ")), 2);
        QCOMPARE(cuantos(nombres, lleva("ANEXO")), 22);

        // A numbered name: kind, number sign, number, proper name.
        const QRegularExpression numerado(QStringLiteral("^\\S.* N[º°o] [0-9]+ \\S"));
        for (const QString &n : nombres) {
            if (n.contains(QRegularExpression(QStringLiteral(" N[º°o] "))))
                QVERIFY2(numerado.match(n).hasMatch(), qPrintable(n));
        }
    }

    void letrasYLongitudes()
    {
        int minimo = 1000;
        int maximo = 0;
        for (QString n : nombresReales()) {
            minimo = qMin(minimo, int(n.size()));
            maximo = qMax(maximo, int(n.size()));
            // Small letters appear only in the number sign "No" and the "I.P.E.T.y M." variant.
            n.replace(QStringLiteral(" No "), QStringLiteral(" NO "))
                .replace(QStringLiteral("T.y M."), QStringLiteral("T.Y M."));
            for (const QChar c : n) {
                if (c.isLetter() && c != QChar(0x00BA))
                    QVERIFY2(c.isUpper(), qPrintable(n));
                if (c.unicode() > 127)
                    QVERIFY2(QStringLiteral("ÑÓº°").contains(c), qPrintable(n));
            }
        }
        QCOMPARE(minimo, 11);
        QCOMPARE(maximo, 91);
    }

    void nombresCompartidos()
    {
        QHash<QString, QStringList> codigosPorNombre;
        for (const auto &fila : directorioEstablecimientos()) {
            if (!esPrueba(QLatin1String(fila.codigo)))
                codigosPorNombre[QString::fromUtf8(fila.nombre)] << QLatin1String(fila.codigo);
        }
        QCOMPARE(codigosPorNombre.size(), 263);
        QList<int> experimentales;
        int institutos = 0;
        for (auto it = codigosPorNombre.begin(); it != codigosPorNombre.end(); ++it) {
            if (it.value().size() == 1)
                continue;
            if (it.key().startsWith(QLatin1String("ESCUELA EXPERIMENTAL"))) {
                experimentales << int(it.value().size());
                for (const QString &c : it.value())
                    QVERIFY(c >= QLatin1String("EE0311445") && c <= QLatin1String("EE0311496"));
            } else {
                QVERIFY2(it.key().startsWith(QLatin1String("INSTITUTO")), qPrintable(it.key()));
                QVERIFY(it.value().size() <= 3);
                ++institutos;
            }
        }
        std::sort(experimentales.begin(), experimentales.end());
        QCOMPARE(experimentales, QList<int>({ 17, 23 }));
        QCOMPARE(institutos, 7);
        // The two experimental names differ only by the accent of their last word.
        QStringList dos;
        for (auto it = codigosPorNombre.begin(); it != codigosPorNombre.end(); ++it) {
            if (it.value().size() > 3)
                dos << it.key();
        }
        QCOMPARE(dos.size(), 2);
        QCOMPARE(dos[0].section(QLatin1Char(' '), 0, -2), dos[1].section(QLatin1Char(' '), 0, -2));
        QCOMPARE(dos[0].replace(QStringLiteral("Ó"), QStringLiteral("O")),
            dos[1].replace(QStringLiteral("Ó"), QStringLiteral("O")));
    }

    void busqueda_data()
    {
        QTest::addColumn<QString>("codigo");
        QTest::addColumn<bool>("encontrado");
        QTest::addColumn<QString>("nombre");
        QTest::newRow("first test row") << "EE0000000" << true << "ESCUELA PRUEBA 0";
        QTest::newRow("last test row") << "EE9999999" << true << "ESCUELA PRUEBA 9";
        QTest::newRow("surrounding spaces") << "  EE1111111 " << true << "ESCUELA PRUEBA 1";
        QTest::newRow("8 characters") << "EE031000" << false << "";
        QTest::newRow("10 characters") << "EE03100020" << false << "";
        QTest::newRow("small letters") << "ee0000000" << false << "";
        QTest::newRow("tab is not a space") << "\tEE0000000" << false << "";
        QTest::newRow("empty") << "" << false << "";
    }
    void busqueda()
    {
        QFETCH(QString, codigo);
        QFETCH(bool, encontrado);
        QFETCH(QString, nombre);
        const auto r = buscarEstablecimiento(codigo);
        QCOMPARE(r.has_value(), encontrado);
        if (encontrado)
            QCOMPARE(*r, nombre);
    }

    void todosLosCodigosSeEncuentran()
    {
        for (const auto &fila : directorioEstablecimientos())
            QCOMPARE(buscarEstablecimiento(QLatin1String(fila.codigo)).value(),
                QString::fromUtf8(fila.nombre));
    }
};

QTEST_GUILESS_MAIN(TstDirectorio)
#include "tst_Directorio.moc"
