// The reader: what our writer wrote, other writers' packages, and hostile packages and files
// refused for their own reason.
#include "LectorXlsx.h"
#include "LibrosDePrueba.h"

#include <QFile>
#include <QTemporaryDir>

#include <QTest>

Q_DECLARE_METATYPE(CausaFallo)

class TstLectorXlsx : public QObject {
    Q_OBJECT
private slots:
    void idaYVuelta()
    {
        QTemporaryDir dir;
        const QString ruta = dir.filePath("libro.xlsx");
        CeldasHoja celdas;
        celdas[{ 1, 1 }] = Celda::deTexto("EE0310002");
        celdas[{ 1, 3 }] = Celda::deNumero(2);
        celdas[{ 1, 4 }] = Celda::deTexto("000987");
        celdas[{ 2, 2 }] = Celda::deTexto("I.P.E.M. Nº 12 JOSÉ \"PEÑA\" <&>");
        celdas[{ 2, 32 }] = Celda::deTexto("D");
        celdas[{ 7, 100 }] = Celda::deNumero(-1.5);
        escribirLibroDePrueba(ruta, celdas);
        QCOMPARE(celdasDeLibro(ruta), celdas);
    }

    void textoVacioNoOcupaCelda()
    {
        QTemporaryDir dir;
        CeldasHoja celdas;
        celdas[{ 1, 13 }] = Celda::deTexto(QString());
        escribirLibroDePrueba(dir.filePath("l.xlsx"), celdas);
        QVERIFY(celdasDeLibro(dir.filePath("l.xlsx")).empty());
    }

    void lectorDePaquetesAjenos_data()
    {
        QTest::addColumn<QByteArray>("paquete");
        QTest::addColumn<QString>("i1");
        QTest::addColumn<QString>("i2");
        QTest::addColumn<double>("c1");
        const QByteArray filas
            = "<row r=\"1\"><c r=\"C1\"><v>2</v></c><c r=\"I1\" t=\"s\"><v>0</v></c></row>"
              "<row r=\"2\"><c r=\"I2\" t=\"s\"><v>1</v></c></row>";
        QTest::newRow("shared strings, sheet found by name")
            << empaquetar(paqueteBase(filas)) << "Matematica"
            << "Lengua" << 2.0;
        QTest::newRow("absolute target")
            << empaquetar(paqueteBase(filas, "/xl/worksheets/sheet2.xml")) << "Matematica"
            << "Lengua" << 2.0;
        QTest::newRow("stored, not deflated")
            << empaquetar(paqueteBase(filas), ZIP_CM_STORE) << "Matematica"
            << "Lengua" << 2.0;
        const QByteArray enLinea
            = "<row r=\"1\"><c r=\"C1\" t=\"n\"><v>3</v></c><c r=\"I1\" "
              "t=\"inlineStr\"><is><t>Matematica</t></is></c></row>"
              "<row><c t=\"str\"><v>x</v></c><c/><c/><c/><c/><c/><c/><c/><c "
              "t=\"inlineStr\"><is><r><t>Len</t></r><r><t>gua</t></r></is></c></row>";
        QTest::newRow("inline strings, implicit references")
            << empaquetar(paqueteBase(enLinea)) << "Matematica"
            << "Lengua" << 3.0;
        const QByteArray prefijada
            = "<?xml version=\"1.0\"?><x:worksheet "
              "xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><x:sheetData>"
              "<x:row r=\"1\"><x:c r=\"C1\"><x:v>4</x:v></x:c><x:c r=\"I1\" "
              "t=\"s\"><x:v>0</x:v></x:c></x:row>"
              "<x:row r=\"2\"><x:c r=\"I2\" "
              "t=\"s\"><x:v>1</x:v></x:c></x:row></x:sheetData></x:worksheet>";
        QTest::newRow("prefixed elements")
            << empaquetar(conParte(paqueteBase(""), "xl/worksheets/sheet2.xml", prefijada))
            << "Matematica"
            << "Lengua" << 4.0;
    }
    void lectorDePaquetesAjenos()
    {
        QFETCH(QByteArray, paquete);
        CeldasHoja celdas;
        const Resultado f = leerReporteDeBytes(paquete, &celdas);
        QVERIFY2(f.ok(), qPrintable(f.texto()));
        QTEST(celdas[std::pair(1, 9)].texto, "i1");
        QTEST(celdas[std::pair(2, 9)].texto, "i2");
        QTEST(celdas[std::pair(1, 3)].numero, "c1");
        QCOMPARE(celdas[std::pair(1, 3)].tipo, Celda::Tipo::Numero);
    }

    // One row per reason, each with the reason it must be refused for.
    void paquetesRechazados_data()
    {
        QTest::addColumn<QByteArray>("paquete");
        QTest::addColumn<CausaFallo>("motivo");
        QTest::newRow("not a zip") << QByteArray("PK\x03\x04 nada") << CausaFallo::NoEsZip;
        QTest::newRow("empty file") << QByteArray() << CausaFallo::NoEsZip;
        Partes muchas = paqueteBase("");
        for (int i = 0; i < limitesXlsx::kMaxEntradas; ++i)
            muchas.append({ QStringLiteral("x/%1.xml").arg(i), "<a/>" });
        QTest::newRow("too many parts")
            << empaquetar(muchas, ZIP_CM_STORE) << CausaFallo::DemasiadasPartes;
        Partes sinRels = paqueteBase("");
        sinRels.removeFirst();
        QTest::newRow("no package relationships") << empaquetar(sinRels) << CausaFallo::FaltaParte;
        QTest::newRow("zip bomb") << empaquetar(conParte(
            paqueteBase(""), "xl/worksheets/sheet2.xml", hoja(QByteArray(40 * 1024 * 1024, ' '))))
                                  << CausaFallo::ParteDemasiadoGrande;
        QByteArray danado
            = empaquetar(paqueteBase("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"), ZIP_CM_STORE);
        danado[danado.lastIndexOf("<v>1</v>") + 3]
            = '7'; // the stored bytes no longer match their checksum
        QTest::newRow("damaged part") << danado << CausaFallo::ParteDanada;
        QTest::newRow("malformed xml")
            << empaquetar(paqueteBase("<row r=\"1\"><c r=\"A1\"><v>1</v></row>"))
            << CausaFallo::XmlMalFormado;
        QTest::newRow("60000 nested elements in a cell")
            << empaquetar(paqueteBase("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is>"
                   + anidado("<r>", "</r>", 60000) + "</is></c></row>"))
            << CausaFallo::AnidamientoExcesivo;
        QTest::newRow("deep shared string") << empaquetar(conParte(paqueteBase(""),
            "xl/sharedStrings.xml", "<sst><si>" + anidado("<t>", "</t>", 100000) + "</si></sst>"))
                                            << CausaFallo::AnidamientoExcesivo;
        QTest::newRow("no workbook declared")
            << empaquetar(conParte(paqueteBase(""), "_rels/.rels", "<Relationships/>"))
            << CausaFallo::SinLibro;
        QTest::newRow("target outside the package") << empaquetar(
            paqueteBase("", "../../../etc/passwd")) << CausaFallo::DestinoFueraDelPaquete;
        QTest::newRow("no Reporte sheet") << empaquetar(conParte(paqueteBase(""), "xl/workbook.xml",
            libro("<sheet name=\"Hoja1\" sheetId=\"1\" r:id=\"rId1\"/>")))
                                          << CausaFallo::SinHoja;
        QTest::newRow("too many shared strings") << empaquetar(
            conParte(paqueteBase(""), "xl/sharedStrings.xml",
                "<sst>" + QByteArray("<si/>").repeated(limitesXlsx::kMaxCadenasCompartidas + 1)
                    + "</sst>")) << CausaFallo::DemasiadasCadenas;
        QTest::newRow("string index out of range")
            << empaquetar(paqueteBase("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>99</v></c></row>"))
            << CausaFallo::IndiceDeCadenaInvalido;
        QTest::newRow("column beyond XFD")
            << empaquetar(paqueteBase("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>"))
            << CausaFallo::ReferenciaInvalida;
        QTest::newRow("row 0") << empaquetar(
            paqueteBase("<row r=\"1\"><c r=\"A0\"><v>1</v></c></row>"))
                               << CausaFallo::ReferenciaInvalida;
        QTest::newRow("cell of another row")
            << empaquetar(paqueteBase("<row r=\"1\"><c r=\"A2\"><v>1</v></c></row>"))
            << CausaFallo::ReferenciaInvalida;
        QTest::newRow("rows out of order")
            << empaquetar(paqueteBase("<row r=\"2\"/><row r=\"1\"/>"))
            << CausaFallo::FilasDesordenadas;
        QTest::newRow("row repeated") << empaquetar(paqueteBase("<row r=\"1\"/><row r=\"1\"/>"))
                                      << CausaFallo::FilasDesordenadas;
        QTest::newRow("cells out of order") << empaquetar(
            paqueteBase("<row r=\"1\"><c r=\"B1\"><v>1</v></c><c r=\"A1\"><v>2</v></c></row>"))
                                            << CausaFallo::CeldasDesordenadas;
        QTest::newRow("number that is not one")
            << empaquetar(paqueteBase("<row r=\"1\"><c r=\"A1\"><v>uno</v></c></row>"))
            << CausaFallo::NumeroInvalido;
        QTest::newRow("not a finite number")
            << empaquetar(paqueteBase("<row r=\"1\"><c r=\"A1\"><v>nan</v></c></row>"))
            << CausaFallo::NumeroInvalido;
        QTest::newRow("too many cells") << empaquetar(paqueteBase("<row r=\"1\">"
            + QByteArray("<c><v>1</v></c>").repeated(limitesXlsx::kMaxColumna) + "</row>"
            + ("<row>" + QByteArray("<c><v>1</v></c>").repeated(limitesXlsx::kMaxColumna)
                + "</row>")
                  .repeated(int(limitesXlsx::kMaxCeldas / limitesXlsx::kMaxColumna))))
                                        << CausaFallo::DemasiadasCeldas;
        QTest::newRow("inline text over 32767 characters") << empaquetar(
            paqueteBase("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" + QByteArray(32768, 'x')
                + "</t></is></c></row>")) << CausaFallo::TextoDemasiadoLargo;
        QTest::newRow("shared string over 32767 characters") << empaquetar(
            conParte(paqueteBase(""), "xl/sharedStrings.xml",
                "<sst><si><t>" + QByteArray(20000, 'x') + "</t><t>" + QByteArray(20000, 'y')
                    + "</t></si></sst>")) << CausaFallo::TextoDemasiadoLargo;
    }
    void paquetesRechazados()
    {
        QFETCH(QByteArray, paquete);
        QFETCH(CausaFallo, motivo);
        CeldasHoja celdas;
        const Resultado f = leerReporteDeBytes(paquete, &celdas);
        QCOMPARE(f.causa, motivo);
        QVERIFY(celdas.empty());
        QVERIFY(!f.texto().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstLectorXlsx)
#include "tst_LectorXlsx.moc"
