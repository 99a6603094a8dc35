// The row editor: one row replaced in sheets of every shape, the rest of the package kept
// byte for byte, and the sheets it refuses to edit.
#include "EscritorXlsx.h"
#include "LectorXlsx.h"
#include "LibrosDePrueba.h"
#include "PaqueteXlsx.h"
#include "PropiedadesXlsx.h"

#include <QStringList>

#include <QTest>

Q_DECLARE_METATYPE(CausaFallo)
Q_DECLARE_METATYPE(CeldasFila)

class TstEscritorXlsx : public QObject {
    Q_OBJECT
private slots:
    // The row editor on sheets of other writers' shapes: only the row changes, each kept cell
    // keeps its style, and the result reads back as it must.
    // The custom properties read the same whichever way the part is written: the plain shape
    // this engine writes is read without the tokenizer, every other one through it.
    void propiedadesDeCualquierForma_data()
    {
        QTest::addColumn<QByteArray>("propiedades");
        QTest::addColumn<QString>("esperado"); // "name=type:value;" in order; "!" refused
        const QByteArray p
            = "<property fmtid=\"{D5CDD505-2E9C-101B-9397-08002B2CF9AE}\" pid=\"2\" ";
        QTest::newRow("plain") << p + "name=\"A\"><vt:lpwstr>x\ty</vt:lpwstr></property>" + p
                + "name=\"B\"><vt:i4>7</vt:i4></property>"
                               << "A=lpwstr:x\ty;B=i4:7;";
        QTest::newRow("an entity") << p + "name=\"A\"><vt:lpwstr>a&amp;b</vt:lpwstr></property>"
                                   << "A=lpwstr:a&b;";
        QTest::newRow("a carriage return")
            << p + "name=\"A\"><vt:lpwstr>a\r\nb</vt:lpwstr></property>"
            << "A=lpwstr:a\nb;";
        QTest::newRow("a comment") << p + "name=\"A\"><vt:lpwstr>x<!-- y --></vt:lpwstr></property>"
                                   << "A=lpwstr:x;";
        QTest::newRow("single quotes") << p + "name='A'><vt:lpwstr>x</vt:lpwstr></property>"
                                       << "A=lpwstr:x;";
        QTest::newRow("spaces in the tags")
            << p + "name=\"A\" ><vt:lpwstr >x</vt:lpwstr ></property >"
            << "A=lpwstr:x;";
        QTest::newRow("not closed") << p + "name=\"A\"><vt:lpwstr>x</vt:lpwstr>"
                                    << "!";
    }
    void propiedadesDeCualquierForma()
    {
        QFETCH(QByteArray, propiedades);
        QFETCH(QString, esperado);
        const QByteArray parte = "<?xml version=\"1.0\"?><Properties xmlns=\"http://"
                                 "schemas.openxmlformats.org/officeDocument/2006/custom-properties"
                                 "\" xmlns:vt=\"x\">"
            + propiedades + "</Properties>";
        Partes partes = paqueteBase("");
        partes.append({ QStringLiteral("docProps/custom.xml"), parte });
        const QByteArray bytes = empaquetar(partes);
        const PaqueteXlsx paquete(bytes);
        PropiedadesXlsx leidas;
        const Resultado r = leerPropiedades(paquete, &leidas);
        QString texto;
        for (const auto &[nombre, p] : leidas)
            texto += nombre + '=' + p.tipo + ':' + p.valor + ';';
        QCOMPARE(r.ok() ? texto : QStringLiteral("!"), esperado);
    }

    void reemplazoDeFila_data()
    {
        QTest::addColumn<QByteArray>("filas");
        QTest::addColumn<int>("fila");
        QTest::addColumn<QStringList>("fragmentos"); // must all be in the new sheet
        QTest::newRow("row there, styles and later cells kept")
            << QByteArray("<row r=\"1\" spans=\"1:40\" ht=\"20\" customHeight=\"1\"><c r=\"A1\" "
                          "s=\"3\" t=\"s\"><v>0</v></c><c r=\"K1\" s=\"4\"/><c r=\"AH1\" "
                          "s=\"5\"><v>7</v></c></row><row r=\"2\"><c r=\"B2\"><v>8</v></c></row>")
            << 1
            << QStringList { "ht=\"20\" customHeight=\"1\"", "<c r=\"A1\" s=\"3\" t=\"inlineStr\">",
                   "<c r=\"K1\" s=\"4\" t=\"inlineStr\">",
                   "<c r=\"AH1\" s=\"5\"><v>7</v></c></row>",
                   "<row r=\"2\"><c r=\"B2\"><v>8</v></c></row>" };
        QTest::newRow("row missing, inserted before a later one")
            << QByteArray("<row r=\"2\"><c r=\"I2\" t=\"s\"><v>1</v></c></row>") << 1
            << QStringList { "</row><row r=\"2\">" };
        QTest::newRow("row missing, appended after an earlier one")
            << QByteArray("<row r=\"1\"><c r=\"I1\" t=\"s\"><v>0</v></c></row>") << 2
            << QStringList { "</row><row r=\"2\">", "<v>0</v>" };
        QTest::newRow("implicit row numbers")
            << QByteArray("<row><c><v>5</v></c></row><row><c><v>6</v></c></row>") << 2
            << QStringList { "<row><c><v>5</v></c></row><row r=\"2\">" };
        QTest::newRow("implicit cell beyond the row gets its reference")
            << QByteArray("<row r=\"1\"><c r=\"AF1\"><v>1</v></c><c><v>9</v></c></row>") << 1
            << QStringList { "<c r=\"AG1\"><v>9</v></c>" };
        QTest::newRow("empty row element") << QByteArray("<row r=\"1\" ht=\"30\"/>") << 1
                                           << QStringList { "<row r=\"1\" ht=\"30\">" };
    }
    void reemplazoDeFila()
    {
        QFETCH(QByteArray, filas);
        QFETCH(int, fila);
        QFETCH(QStringList, fragmentos);
        const QByteArray paquete = empaquetar(paqueteBase(filas));
        CeldasHoja esperadas;
        QVERIFY(leerReporteDeBytes(paquete, &esperadas).ok());
        CeldasFila nueva = filaDePrueba("B");
        nueva[8] = Celda::deTexto(" 3A &<> \"x\"\r\n");
        for (int c = 1; c <= 32; ++c)
            esperadas.erase({ fila, c });
        for (const auto &[c, celda] : nueva)
            esperadas[{ fila, c }] = celda;

        QByteArray resultado;
        const Resultado r
            = reemplazarFilaEnLibro(paquete, kNombreHojaReporte(), fila, 32, nueva, &resultado);
        QVERIFY2(r.ok(), qPrintable(r.texto()));
        CeldasHoja leidas;
        const Resultado f = leerReporteDeBytes(resultado, &leidas);
        QVERIFY2(f.ok(), qPrintable(f.texto()));
        QCOMPARE(leidas, esperadas);
        QByteArray xml;
        QVERIFY(PaqueteXlsx(resultado).leerParte("xl/worksheets/sheet2.xml", &xml).ok());
        for (const QString &fragmento : fragmentos)
            QVERIFY2(xml.contains(fragmento.toUtf8()), qPrintable(QString::fromUtf8(xml)));
        // The other sheet and the shared strings come out byte for byte.
        for (const char *parte :
            { "xl/worksheets/otra.xml", "xl/sharedStrings.xml", "xl/workbook.xml" }) {
            QByteArray antes, despues;
            PaqueteXlsx(paquete).leerParte(parte, &antes);
            PaqueteXlsx(resultado).leerParte(parte, &despues);
            QCOMPARE(despues, antes);
        }
    }

    void reemplazoEnHojasDeOtrasFormas_data()
    {
        QTest::addColumn<QByteArray>("hoja");
        QTest::addColumn<QByteArray>("esperada");
        QTest::newRow("prefixed, empty sheetData, dimension grows")
            << QByteArray("<x:worksheet xmlns:x=\"m\"><x:dimension "
                          "ref=\"A1\"/><x:sheetData/></x:worksheet>")
            << QByteArray(
                   "<x:worksheet xmlns:x=\"m\"><x:dimension ref=\"A1:C2\"/><x:sheetData><x:row "
                   "r=\"2\"><x:c r=\"A2\" t=\"inlineStr\"><x:is><x:t>a</x:t></x:is></x:c><x:c "
                   "r=\"C2\"><x:v>1.5</x:v></x:c></x:row></x:sheetData></x:worksheet>");
        QTest::newRow("whitespace between rows kept")
            << QByteArray("<worksheet>\n <sheetData>\n  <row r=\"1\"/>\n  <row r=\"3\"/>\n "
                          "</sheetData>\n</worksheet>")
            << QByteArray(
                   "<worksheet>\n <sheetData>\n  <row r=\"1\"/>\n  <row r=\"2\"><c r=\"A2\" "
                   "t=\"inlineStr\"><is><t>a</t></is></c><c r=\"C2\"><v>1.5</v></c></row><row "
                   "r=\"3\"/>\n </sheetData>\n</worksheet>");
    }
    void reemplazoEnHojasDeOtrasFormas()
    {
        QFETCH(QByteArray, hoja);
        QByteArray nueva;
        const CeldasFila celdas { { 1, Celda::deTexto("a") }, { 2, Celda::deTexto("") },
            { 3, Celda::deNumero(1.5) } };
        const Resultado r = reemplazarFilaEnHoja(hoja, 2, 3, celdas, &nueva);
        QVERIFY2(r.ok(), qPrintable(r.texto()));
        QTEST(nueva, "esperada");
    }

    void hojasQueNoSeEditan_data()
    {
        QTest::addColumn<QByteArray>("hoja");
        QTest::addColumn<CeldasFila>("celdas");
        QTest::addColumn<CausaFallo>("causa");
        const CausaFallo ilegible = CausaFallo::LibroIlegible;
        QTest::newRow("not UTF-8") << QByteArray("<worksheet><sheetData/><x>\xff</x></worksheet>")
                                   << CeldasFila {} << ilegible;
        QTest::newRow("no sheetData") << QByteArray("<worksheet/>") << CeldasFila {} << ilegible;
        QTest::newRow("malformed")
            << QByteArray("<worksheet><sheetData></worksheet>") << CeldasFila {} << ilegible;
        // The sheet is sound; the value is what cannot go in.
        QTest::newRow("text XML cannot carry")
            << QByteArray("<worksheet><sheetData/></worksheet>")
            << CeldasFila { { 1, Celda::deTexto(QString(QChar(1))) } }
            << CausaFallo::CeldaNoRepresentable;
        QTest::newRow("a number that is none")
            << QByteArray("<worksheet><sheetData/></worksheet>")
            << CeldasFila { { 2, Celda::deNumero(qQNaN()) } } << CausaFallo::CeldaNoRepresentable;
    }
    void hojasQueNoSeEditan()
    {
        QFETCH(QByteArray, hoja);
        QFETCH(CeldasFila, celdas);
        QByteArray nueva;
        // Refused by what is wrong with the sheet or the row, never as a failure of the disk.
        const Resultado r = reemplazarFilaEnHoja(hoja, 1, 32, celdas, &nueva);
        QTEST(r.causa, "causa");
        QVERIFY(!r.detalle.isEmpty());
        QVERIFY(nueva.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstEscritorXlsx)
#include "tst_EscritorXlsx.moc"
