#include "Directorio.h"

#include <QRegularExpression>
#include <QTest>

namespace {

bool esPrueba(const QString &codigo)
{
    return codigo.mid(2) == QString(7, codigo.at(2));
}

} // namespace

// The directory's shape, which its lookup and the screens rely on; its contents are data and
// are not typed again here.
class TstDirectorio : public QObject {
    Q_OBJECT
private slots:
    void codigosBienFormadosOrdenadosYUnicos()
    {
        const QRegularExpression forma(QStringLiteral("^EE[0-9]{7}$"));
        QString anterior;
        int filas = 0;
        for (const auto &fila : directorioEstablecimientos()) {
            const QString codigo = QLatin1String(fila.codigo);
            QVERIFY2(forma.match(codigo).hasMatch(), qPrintable(codigo));
            // Strictly ascending: no code twice, and the lookup may search in order.
            QVERIFY2(codigo > anterior, qPrintable(codigo));
            anterior = codigo;
            ++filas;
        }
        QCOMPARE(filas, 320);
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

    // Names as the registration window shows them: valid UTF-8, nothing around them, capital
    // letters (small ones only in the number sign "No" and the "I.P.E.T.y M." variant), and a
    // number sign always followed by a number and a proper name.
    void formaDeLosNombres()
    {
        const QRegularExpression numerado(QStringLiteral("^\\S.* N[º°o] [0-9]+ \\S"));
        const QRegularExpression signo(QStringLiteral(" N[º°o] "));
        for (const auto &fila : directorioEstablecimientos()) {
            QString n = QString::fromUtf8(fila.nombre);
            QVERIFY2(n.toUtf8() == QByteArray(fila.nombre), fila.codigo);
            QVERIFY2(!n.isEmpty() && n == n.trimmed(), fila.codigo);
            if (n.contains(signo))
                QVERIFY2(numerado.match(n).hasMatch(), qPrintable(n));
            n.replace(QStringLiteral(" No "), QStringLiteral(" NO "))
                .replace(QStringLiteral("T.y M."), QStringLiteral("T.Y M."));
            for (const QChar c : n) {
                if (c.isLetter() && c != QChar(0x00BA))
                    QVERIFY2(c.isUpper(), qPrintable(n));
                if (c.unicode() > 127)
                    QVERIFY2(QStringLiteral("ÑÓº°").contains(c), qPrintable(n));
            }
        }
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
