#include "HojaCalculo.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <zip.h>

namespace {

using Partes = QList<QPair<QString, QByteArray>>;

// A package made part by part, for readers' cases no writer of ours would produce.
QByteArray empaquetar(const Partes &partes)
{
    QTemporaryDir dir;
    const QByteArray ruta = QFile::encodeName(dir.filePath("p.xlsx"));
    int err = 0;
    zip_t *z = zip_open(ruta.constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    QList<QByteArray> datos; // libzip reads the buffers when the archive is closed
    for (const auto &[nombre, contenido] : partes) {
        datos << contenido;
        zip_source_t *s = zip_source_buffer(z, datos.last().constData(), zip_uint64_t(datos.last().size()), 0);
        zip_file_add(z, nombre.toUtf8().constData(), s, ZIP_FL_OVERWRITE);
    }
    zip_close(z);
    QFile f(dir.filePath("p.xlsx"));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

const QByteArray kRels = "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";

QByteArray libro(const QByteArray &hojas)
{
    return "<?xml version=\"1.0\"?><workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
        + hojas + "</sheets></workbook>";
}

QByteArray relacionesLibro(const QByteArray &destinoHoja, bool conCadenas = true)
{
    QByteArray r = "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                   "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\"worksheets/otra.xml\"/>"
                   "<Relationship Id=\"rId7\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\""
        + destinoHoja + "\"/>";
    if (conCadenas)
        r += "<Relationship Id=\"rId9\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" Target=\"sharedStrings.xml\"/>";
    return r + "</Relationships>";
}

QByteArray hoja(const QByteArray &filas)
{
    return "<?xml version=\"1.0\"?><worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
        + filas + "</sheetData></worksheet>";
}

const QByteArray kCadenas = "<?xml version=\"1.0\"?><sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"2\" uniqueCount=\"2\"><si><t>Matematica</t></si><si><r><t>Len</t></r><r><t>gua</t></r><rPh><t>x</t></rPh></si></sst>";

// Reporte is the second sheet, behind another one of the same shape.
Partes paqueteBase(const QByteArray &filasReporte, const QByteArray &destino = "worksheets/sheet2.xml")
{
    return {{"_rels/.rels", kRels},
            {"xl/workbook.xml", libro("<sheet name=\"Otra\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Reporte\" sheetId=\"2\" r:id=\"rId7\"/>")},
            {"xl/_rels/workbook.xml.rels", relacionesLibro(destino)},
            {"xl/sharedStrings.xml", kCadenas},
            {"xl/worksheets/otra.xml", hoja("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>1</v></c></row>")},
            {"xl/worksheets/sheet2.xml", hoja(filasReporte)}};
}

} // namespace

class TstHojaCalculo : public QObject {
    Q_OBJECT
private slots:
    void idaYVuelta()
    {
        QTemporaryDir dir;
        const QString ruta = dir.filePath("libro.xlsx");
        CeldasHoja celdas;
        celdas[{1, 1}] = Celda::deTexto("EE0310002");
        celdas[{1, 3}] = Celda::deNumero(2);
        celdas[{1, 4}] = Celda::deTexto("000987");
        celdas[{2, 2}] = Celda::deTexto("I.P.E.M. Nº 12 JOSÉ \"PEÑA\" <&>");
        celdas[{2, 32}] = Celda::deTexto("D");
        celdas[{7, 100}] = Celda::deNumero(-1.5);
        LibroXlsx xlsx;
        QString error;
        QVERIFY2(xlsx.escribirLibro(ruta, celdas, &error), qPrintable(error));
        CeldasHoja leidas;
        QVERIFY2(xlsx.leerReporte(ruta, &leidas, &error), qPrintable(error));
        QCOMPARE(leidas, celdas);
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden) == QStringList({"libro.xlsx"}));
    }

    void textoVacioNoOcupaCelda()
    {
        QTemporaryDir dir;
        CeldasHoja celdas;
        celdas[{1, 13}] = Celda::deTexto(QString());
        LibroXlsx xlsx;
        QVERIFY(xlsx.escribirLibro(dir.filePath("l.xlsx"), celdas, nullptr));
        CeldasHoja leidas;
        QVERIFY(xlsx.leerReporte(dir.filePath("l.xlsx"), &leidas, nullptr));
        QVERIFY(leidas.empty());
    }

    void lectorDePaquetesAjenos_data()
    {
        QTest::addColumn<QByteArray>("paquete");
        QTest::addColumn<QString>("i1");
        QTest::addColumn<QString>("i2");
        QTest::addColumn<double>("c1");
        const QByteArray filas = "<row r=\"1\"><c r=\"C1\"><v>2</v></c><c r=\"I1\" t=\"s\"><v>0</v></c></row>"
                                 "<row r=\"2\"><c r=\"I2\" t=\"s\"><v>1</v></c></row>";
        QTest::newRow("shared strings, sheet found by name") << empaquetar(paqueteBase(filas)) << "Matematica" << "Lengua" << 2.0;
        QTest::newRow("absolute target") << empaquetar(paqueteBase(filas, "/xl/worksheets/sheet2.xml")) << "Matematica" << "Lengua" << 2.0;
        const QByteArray enLinea = "<row r=\"1\"><c r=\"C1\" t=\"n\"><v>3</v></c><c r=\"I1\" t=\"inlineStr\"><is><t>Matematica</t></is></c></row>"
                                   "<row><c t=\"str\"><v>x</v></c><c/><c/><c/><c/><c/><c/><c/><c t=\"inlineStr\"><is><r><t>Len</t></r><r><t>gua</t></r></is></c></row>";
        QTest::newRow("inline strings, implicit references") << empaquetar(paqueteBase(enLinea)) << "Matematica" << "Lengua" << 3.0;
    }
    void lectorDePaquetesAjenos()
    {
        QFETCH(QByteArray, paquete);
        CeldasHoja celdas;
        QString error;
        QVERIFY2(leerReporteDeBytes(paquete, &celdas, &error), qPrintable(error));
        QTEST(celdas[std::pair(1, 9)].texto, "i1");
        QTEST(celdas[std::pair(2, 9)].texto, "i2");
        QTEST(celdas[std::pair(1, 3)].numero, "c1");
        QCOMPARE(celdas[std::pair(1, 3)].tipo, Celda::Tipo::Numero);
    }

    void paquetesRechazados_data()
    {
        QTest::addColumn<QByteArray>("paquete");
        QTest::newRow("not a zip") << QByteArray("PK\x03\x04 nada");
        QTest::newRow("empty file") << QByteArray();
        Partes sinHoja = paqueteBase("");
        sinHoja[1].second = libro("<sheet name=\"Hoja1\" sheetId=\"1\" r:id=\"rId1\"/>");
        QTest::newRow("no Reporte sheet") << empaquetar(sinHoja);
        QTest::newRow("target outside the package") << empaquetar(paqueteBase("", "../../../etc/passwd"));
        Partes sinRels = paqueteBase("");
        sinRels.removeFirst();
        QTest::newRow("no package relationships") << empaquetar(sinRels);
        QTest::newRow("string index out of range") << empaquetar(paqueteBase("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>99</v></c></row>"));
        QTest::newRow("column beyond XFD") << empaquetar(paqueteBase("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>"));
        QTest::newRow("row 0") << empaquetar(paqueteBase("<row r=\"1\"><c r=\"A0\"><v>1</v></c></row>"));
        QTest::newRow("number that is not one") << empaquetar(paqueteBase("<row r=\"1\"><c r=\"A1\"><v>uno</v></c></row>"));
        QTest::newRow("malformed xml") << empaquetar(paqueteBase("<row r=\"1\"><c r=\"A1\"><v>1</v></row>"));
        Partes bomba = paqueteBase("");
        bomba[5].second = hoja(QByteArray(40 * 1024 * 1024, ' '));
        QTest::newRow("zip bomb") << empaquetar(bomba);
    }
    void paquetesRechazados()
    {
        QFETCH(QByteArray, paquete);
        CeldasHoja celdas;
        QString error;
        QVERIFY(!leerReporteDeBytes(paquete, &celdas, &error));
        QVERIFY(!error.isEmpty());
    }

    void escrituraFallidaNoTocaNada_data()
    {
        QTest::addColumn<QString>("destino");
        QTest::newRow("folder missing") << "no/existe/l.xlsx";
        QTest::newRow("a folder in the way") << "carpeta.xlsx";
    }
    void escrituraFallidaNoTocaNada()
    {
        QFETCH(QString, destino);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("carpeta.xlsx");
        crearDePrueba(dir.filePath("carpeta.xlsx/dentro.txt"));
        LibroXlsx xlsx;
        QString error;
        QVERIFY(!xlsx.escribirLibro(dir.filePath(destino), {}, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(QFile::exists(dir.filePath("carpeta.xlsx/dentro.txt")));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void restoDeUnGuardadoInterrumpidoSeLimpia()
    {
        QTemporaryDir dir;
        crearDePrueba(dir.filePath(".l.xlsx.4242.tmp"));
        LibroXlsx xlsx;
        QVERIFY(xlsx.escribirLibro(dir.filePath("l.xlsx"), {}, nullptr));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"l.xlsx"}));
    }

    void nombresDeColumna()
    {
        QCOMPARE(nombreColumna(1), QStringLiteral("A"));
        QCOMPARE(nombreColumna(32), QStringLiteral("AF"));
        QCOMPARE(nombreColumna(16384), QStringLiteral("XFD"));
    }

private:
    static void crearDePrueba(const QString &ruta)
    {
        QFile f(ruta);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
};

QTEST_GUILESS_MAIN(TstHojaCalculo)
#include "tst_HojaCalculo.moc"
