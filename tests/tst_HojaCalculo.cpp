// The workbook as a file: the reader against hostile packages, the row editor, and the
// proven save under injected faults.
#include "Apoyo.h"
#include "EscritorXlsx.h"
#include "HojaCalculo.h"
#include "LectorXlsx.h"
#include "PaqueteXlsx.h"
#include "TokenizadorXml.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <zip.h>

#include <sys/stat.h>

Q_DECLARE_METATYPE(ErrorXlsx)
Q_DECLARE_METATYPE(CausaFallo)
Q_DECLARE_METATYPE(std::optional<PasoEscritura>)
Q_DECLARE_METATYPE(CeldasFila)

namespace {

using Partes = QList<QPair<QString, QByteArray>>;

// A package made part by part, for readers' cases no writer of ours would produce.
QByteArray empaquetar(const Partes &partes, zip_int32_t compresion = ZIP_CM_DEFLATE)
{
    QTemporaryDir dir;
    const QByteArray ruta = QFile::encodeName(dir.filePath("p.xlsx"));
    int err = 0;
    zip_t *z = zip_open(ruta.constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    QList<QByteArray> datos; // libzip reads the buffers when the archive is closed
    for (const auto &[nombre, contenido] : partes) {
        datos << contenido;
        zip_source_t *s
            = zip_source_buffer(z, datos.last().constData(), zip_uint64_t(datos.last().size()), 0);
        const zip_int64_t i = zip_file_add(z, nombre.toUtf8().constData(), s, ZIP_FL_OVERWRITE);
        zip_set_file_compression(z, zip_uint64_t(i), compresion, 0);
    }
    zip_close(z);
    QFile f(dir.filePath("p.xlsx"));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

const QByteArray kRels
    = "<?xml version=\"1.0\"?><Relationships "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
      "Id=\"rId1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
      "Target=\"xl/workbook.xml\"/></Relationships>";

QByteArray libro(const QByteArray &hojas)
{
    return "<?xml version=\"1.0\"?><workbook "
           "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
           "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
           "relationships\"><sheets>"
        + hojas + "</sheets></workbook>";
}

QByteArray relacionesLibro(const QByteArray &destinoHoja)
{
    return "<?xml version=\"1.0\"?><Relationships "
           "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"rId1\" "
           "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
           "Target=\"worksheets/otra.xml\"/>"
           "<Relationship Id=\"rId7\" "
           "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
           "Target=\""
        + destinoHoja
        + "\"/><Relationship Id=\"rId9\" "
          "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
          "sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>";
}

QByteArray hoja(const QByteArray &filas)
{
    return "<?xml version=\"1.0\"?><worksheet "
           "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
        + filas + "</sheetData></worksheet>";
}

const QByteArray kCadenas
    = "<?xml version=\"1.0\"?><sst "
      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"2\" "
      "uniqueCount=\"2\"><si><t>Matematica</t></si><si><r><t>Len</t></r><r><t>gua</t></"
      "r><rPh><t>x</t></rPh></si></sst>";

// Reporte is the second sheet, behind another one of the same shape.
Partes paqueteBase(
    const QByteArray &filasReporte, const QByteArray &destino = "worksheets/sheet2.xml")
{
    return { { "_rels/.rels", kRels },
        { "xl/workbook.xml",
            libro("<sheet name=\"Otra\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Reporte\" "
                  "sheetId=\"2\" r:id=\"rId7\"/>") },
        { "xl/_rels/workbook.xml.rels", relacionesLibro(destino) },
        { "xl/sharedStrings.xml", kCadenas },
        { "xl/worksheets/otra.xml", hoja("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>1</v></c></row>") },
        { "xl/worksheets/sheet2.xml", hoja(filasReporte) } };
}

Partes conParte(Partes partes, const QString &nombre, const QByteArray &contenido)
{
    for (auto &p : partes) {
        if (p.first == nombre)
            p.second = contenido;
    }
    return partes;
}

QByteArray anidado(const QByteArray &abre, const QByteArray &cierra, int niveles)
{
    return abre.repeated(niveles) + cierra.repeated(niveles);
}

QStringList archivosDe(const QString &carpeta)
{
    return QDir(carpeta).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

CeldasHoja celdasDeLibro(const QString &ruta)
{
    QByteArray bytes;
    CeldasHoja celdas;
    if (!leerArchivoLibro(ruta, &bytes).ok() || !leerReporteDeBytes(bytes, &celdas).ok())
        qWarning("no se pudo leer %s", qPrintable(ruta));
    return celdas;
}

// A row of the report as the station writes it.
CeldasFila filaDePrueba(const QString &letra)
{
    CeldasFila f;
    f[1] = Celda::deTexto("EE0310002");
    f[3] = Celda::deNumero(2);
    f[9] = Celda::deTexto("Matematica");
    for (int c = 11; c <= 32; ++c)
        f[c] = Celda::deTexto(letra);
    return f;
}

// A new empty workbook in a folder of its own, on a disk whose faults can be switched on.
struct LibroNuevo {
    explicit LibroNuevo(int esperaCerrojoMs = 10000)
        : libro(disco, esperaCerrojoMs)
    {
        ok = libro.crearLibro(ruta).ok();
    }
    QTemporaryDir dir;
    const QString ruta = dir.filePath("l.xlsx");
    DiscoConFallos disco;
    LibroXlsx libro;
    bool ok = false;
};

// The tokens of `xml`, fed in pieces of `pieza` bytes, as one line: "<name a=v>" for a start
// with the attributes r and t it has, "</name>" for an end, the text in brackets, and
// "!malformed" or "!deep" where the tokenizer refuses the document.
QString trazaDeTokens(const QByteArray &xml, qsizetype pieza)
{
    using Token = TokenizadorXml::Token;
    TokenizadorXml x(4);
    QStringList traza;
    for (qsizetype desde = 0; !x.malFormado(); desde += pieza) {
        if (desde < xml.size())
            x.agregar(xml.constData() + desde, qMin(pieza, xml.size() - desde));
        else
            x.terminar();
        for (Token t = x.siguiente(); t != Token::Falta; t = x.siguiente()) {
            if (t == Token::Texto) {
                traza << QLatin1Char('[') + x.texto() + QLatin1Char(']');
                continue;
            }
            QString etiqueta = t == Token::Fin ? QStringLiteral("</") : QStringLiteral("<");
            if (!x.prefijo().isEmpty())
                etiqueta += QString::fromUtf8(x.prefijo()) + QLatin1Char(':');
            etiqueta += x.es("row") ? "row" : x.es("c") ? "c" : x.es("v") ? "v" : "?";
            for (const char *a : { "r", "t" }) {
                if (const QString valor = x.atributo(a); t == Token::Inicio && !valor.isNull())
                    etiqueta += QLatin1Char(' ') + QLatin1String(a) + QLatin1Char('=') + valor;
            }
            traza << etiqueta + QLatin1Char('>');
        }
        if (desde >= xml.size())
            break;
    }
    if (x.malFormado())
        traza << (x.demasiadoProfundo() ? QStringLiteral("!deep") : QStringLiteral("!malformed"));
    return traza.join(QLatin1Char(' '));
}

} // namespace

class TstHojaCalculo : public QObject {
    Q_OBJECT
private slots:
    // The tokenizer gives the same tokens whatever the pieces the archive hands it.
    void tokenizador_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("traza");
        QTest::newRow("elements, attributes, empty element") << QByteArray(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<row r=\"1\"><c r='A1' "
            "t=\"s\"/><v>7</v></row>") << "<row r=1> <c r=A1 t=s> </c> <v> [7] </v> </row>";
        QTest::newRow("prefixes kept apart, namespace declarations are no attributes")
            << QByteArray("<x:row xmlns:x=\"urn:a\" xmlns=\"urn:b\" x:r=\"2\"><x:v>1</x:v></x:row>")
            << "<x:row r=2> <x:v> [1] </x:v> </x:row>";
        QTest::newRow("entities, character references, line ends")
            << QByteArray("<v>a&amp;b&lt;&#65;&#x00F1;\r\nz</v>")
            << QString::fromUtf8("<v> [a&b<A\xc3\xb1\nz] </v>");
        QTest::newRow("white space in an attribute becomes a space")
            << QByteArray("<c r=\"A\tB\nC\" t=\"&quot;&apos;&gt;\"/>") << "<c r=A B C t=\"'>> </c>";
        QTest::newRow("byte order mark, comments, CDATA")
            << QByteArray("\xEF\xBB\xBF<!-- x --><v><![CDATA[<no>&amp;]]></v><?pi?>")
            << "<v> [<no>&amp;] </v>";
        QTest::newRow("a '>' inside a quoted value")
            << QByteArray("<c r=\"a>b\"/>") << "<c r=a>b> </c>";
        QTest::newRow("document type refused")
            << QByteArray("<!DOCTYPE v [<!ENTITY e \"x\">]><v>&e;</v>") << "!malformed";
        QTest::newRow("undeclared entity refused") << QByteArray("<v>&e;</v>") << "<v> !malformed";
        QTest::newRow("reference to no character") << QByteArray("<v>&#0;</v>") << "<v> !malformed";
        QTest::newRow("other encoding refused")
            << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><v/>") << "!malformed";
        QTest::newRow("end tag that does not match")
            << QByteArray("<row><c></row>") << "<row> <c> !malformed";
        QTest::newRow("second root") << QByteArray("<v/><v/>") << "<v> </v> !malformed";
        QTest::newRow("text outside the root") << QByteArray("<v/>x") << "<v> </v> !malformed";
        QTest::newRow("attribute without quotes") << QByteArray("<c r=A1/>") << "!malformed";
        QTest::newRow("attributes run together")
            << QByteArray("<c r=\"1\"t=\"2\"/>") << "!malformed";
        QTest::newRow("'<' in a tag") << QByteArray("<c <v/>") << "!malformed";
        QTest::newRow("cut short") << QByteArray("<row><c>") << "<row> <c> !malformed";
        QTest::newRow("empty part") << QByteArray() << "!malformed";
        QTest::newRow("deeper than allowed")
            << QByteArray("<v><v><v><v><v/></v></v></v></v>") << "<v> <v> <v> <v> !deep";
    }
    void tokenizador()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, traza);
        for (const qsizetype pieza :
            { qsizetype(1), qsizetype(2), qsizetype(7), qMax<qsizetype>(1, xml.size()) })
            QCOMPARE(trazaDeTokens(xml, pieza), traza);
    }

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
        const FalloLectura f = leerReporteDeBytes(paquete, &celdas);
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
        QTest::addColumn<ErrorXlsx>("motivo");
        QTest::newRow("not a zip") << QByteArray("PK\x03\x04 nada") << ErrorXlsx::NoEsZip;
        QTest::newRow("empty file") << QByteArray() << ErrorXlsx::NoEsZip;
        Partes muchas = paqueteBase("");
        for (int i = 0; i < limitesXlsx::kMaxEntradas; ++i)
            muchas.append({ QStringLiteral("x/%1.xml").arg(i), "<a/>" });
        QTest::newRow("too many parts")
            << empaquetar(muchas, ZIP_CM_STORE) << ErrorXlsx::DemasiadasPartes;
        Partes sinRels = paqueteBase("");
        sinRels.removeFirst();
        QTest::newRow("no package relationships") << empaquetar(sinRels) << ErrorXlsx::FaltaParte;
        QTest::newRow("zip bomb") << empaquetar(conParte(
            paqueteBase(""), "xl/worksheets/sheet2.xml", hoja(QByteArray(40 * 1024 * 1024, ' '))))
                                  << ErrorXlsx::ParteDemasiadoGrande;
        QByteArray danado
            = empaquetar(paqueteBase("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"), ZIP_CM_STORE);
        danado[danado.lastIndexOf("<v>1</v>") + 3]
            = '7'; // the stored bytes no longer match their checksum
        QTest::newRow("damaged part") << danado << ErrorXlsx::ParteDanada;
        QTest::newRow("malformed xml")
            << empaquetar(paqueteBase("<row r=\"1\"><c r=\"A1\"><v>1</v></row>"))
            << ErrorXlsx::XmlMalFormado;
        QTest::newRow("60000 nested elements in a cell")
            << empaquetar(paqueteBase("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is>"
                   + anidado("<r>", "</r>", 60000) + "</is></c></row>"))
            << ErrorXlsx::AnidamientoExcesivo;
        QTest::newRow("deep shared string") << empaquetar(conParte(paqueteBase(""),
            "xl/sharedStrings.xml", "<sst><si>" + anidado("<t>", "</t>", 100000) + "</si></sst>"))
                                            << ErrorXlsx::AnidamientoExcesivo;
        QTest::newRow("no workbook declared")
            << empaquetar(conParte(paqueteBase(""), "_rels/.rels", "<Relationships/>"))
            << ErrorXlsx::SinLibro;
        QTest::newRow("target outside the package") << empaquetar(
            paqueteBase("", "../../../etc/passwd")) << ErrorXlsx::DestinoFueraDelPaquete;
        QTest::newRow("no Reporte sheet") << empaquetar(conParte(paqueteBase(""), "xl/workbook.xml",
            libro("<sheet name=\"Hoja1\" sheetId=\"1\" r:id=\"rId1\"/>")))
                                          << ErrorXlsx::SinHoja;
        QTest::newRow("too many shared strings") << empaquetar(
            conParte(paqueteBase(""), "xl/sharedStrings.xml",
                "<sst>" + QByteArray("<si/>").repeated(limitesXlsx::kMaxCadenasCompartidas + 1)
                    + "</sst>")) << ErrorXlsx::DemasiadasCadenas;
        QTest::newRow("string index out of range")
            << empaquetar(paqueteBase("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>99</v></c></row>"))
            << ErrorXlsx::IndiceDeCadenaInvalido;
        QTest::newRow("column beyond XFD")
            << empaquetar(paqueteBase("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>"))
            << ErrorXlsx::ReferenciaInvalida;
        QTest::newRow("row 0") << empaquetar(
            paqueteBase("<row r=\"1\"><c r=\"A0\"><v>1</v></c></row>"))
                               << ErrorXlsx::ReferenciaInvalida;
        QTest::newRow("cell of another row")
            << empaquetar(paqueteBase("<row r=\"1\"><c r=\"A2\"><v>1</v></c></row>"))
            << ErrorXlsx::ReferenciaInvalida;
        QTest::newRow("rows out of order")
            << empaquetar(paqueteBase("<row r=\"2\"/><row r=\"1\"/>"))
            << ErrorXlsx::FilasDesordenadas;
        QTest::newRow("row repeated") << empaquetar(paqueteBase("<row r=\"1\"/><row r=\"1\"/>"))
                                      << ErrorXlsx::FilasDesordenadas;
        QTest::newRow("cells out of order") << empaquetar(
            paqueteBase("<row r=\"1\"><c r=\"B1\"><v>1</v></c><c r=\"A1\"><v>2</v></c></row>"))
                                            << ErrorXlsx::CeldasDesordenadas;
        QTest::newRow("number that is not one")
            << empaquetar(paqueteBase("<row r=\"1\"><c r=\"A1\"><v>uno</v></c></row>"))
            << ErrorXlsx::NumeroInvalido;
        QTest::newRow("not a finite number")
            << empaquetar(paqueteBase("<row r=\"1\"><c r=\"A1\"><v>nan</v></c></row>"))
            << ErrorXlsx::NumeroInvalido;
        QTest::newRow("too many cells") << empaquetar(paqueteBase("<row r=\"1\">"
            + QByteArray("<c><v>1</v></c>").repeated(limitesXlsx::kMaxColumna) + "</row>"
            + ("<row>" + QByteArray("<c><v>1</v></c>").repeated(limitesXlsx::kMaxColumna)
                + "</row>")
                  .repeated(int(limitesXlsx::kMaxCeldas / limitesXlsx::kMaxColumna))))
                                        << ErrorXlsx::DemasiadasCeldas;
        QTest::newRow("inline text over 32767 characters") << empaquetar(
            paqueteBase("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" + QByteArray(32768, 'x')
                + "</t></is></c></row>")) << ErrorXlsx::TextoDemasiadoLargo;
        QTest::newRow("shared string over 32767 characters") << empaquetar(
            conParte(paqueteBase(""), "xl/sharedStrings.xml",
                "<sst><si><t>" + QByteArray(20000, 'x') + "</t><t>" + QByteArray(20000, 'y')
                    + "</t></si></sst>")) << ErrorXlsx::TextoDemasiadoLargo;
    }
    void paquetesRechazados()
    {
        QFETCH(QByteArray, paquete);
        QFETCH(ErrorXlsx, motivo);
        CeldasHoja celdas;
        const FalloLectura f = leerReporteDeBytes(paquete, &celdas);
        QCOMPARE(f.error, motivo);
        QVERIFY(celdas.empty());
        QVERIFY(!f.texto().isEmpty());
    }

    void archivosRechazados()
    {
        QTemporaryDir dir;
        QByteArray bytes;
        QCOMPARE(leerArchivoLibro(dir.filePath("no-esta.xlsx"), &bytes).error,
            ErrorXlsx::NoSePuedeAbrir);
        QFile grande(dir.filePath("grande.xlsx"));
        QVERIFY(grande.open(QIODevice::WriteOnly));
        QVERIFY(grande.resize(limitesXlsx::kMaxBytesLibro + 1));
        grande.close();
        QCOMPARE(
            leerArchivoLibro(grande.fileName(), &bytes).error, ErrorXlsx::ArchivoDemasiadoGrande);
    }

    // The row editor on sheets of other writers' shapes: only the row changes, each kept cell
    // keeps its style, and the result reads back as it must.
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
        const FalloLectura f = leerReporteDeBytes(resultado, &leidas);
        QVERIFY2(f.ok(), qPrintable(f.texto()));
        QCOMPARE(leidas, esperadas);
        QByteArray xml;
        QVERIFY(PaqueteXlsx(resultado).leerParte("xl/worksheets/sheet2.xml", &xml)
            == ErrorXlsx::Ninguno);
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
        QTest::newRow("not UTF-8")
            << QByteArray("<worksheet><sheetData/><x>\xff</x></worksheet>") << CeldasFila {};
        QTest::newRow("no sheetData") << QByteArray("<worksheet/>") << CeldasFila {};
        QTest::newRow("text XML cannot carry")
            << QByteArray("<worksheet><sheetData/></worksheet>")
            << CeldasFila { { 1, Celda::deTexto(QString(QChar(1))) } };
        QTest::newRow("malformed")
            << QByteArray("<worksheet><sheetData></worksheet>") << CeldasFila {};
    }
    void hojasQueNoSeEditan()
    {
        QFETCH(QByteArray, hoja);
        QFETCH(CeldasFila, celdas);
        QByteArray nueva;
        // Refused as a workbook that cannot be edited, never as a failure of the disk.
        const Resultado r = reemplazarFilaEnHoja(hoja, 1, 32, celdas, &nueva);
        QCOMPARE(r.causa, CausaFallo::LibroIlegible);
        QVERIFY(!r.detalle.isEmpty());
    }

    // A save that fails at any step leaves the old workbook and nothing else; the next try,
    // once the cause is gone, saves.
    // What the system says at each step of a save, and the cause the supervisor reads: the
    // workbook stays as it was, nothing staged is left, and the same save works afterwards.
    // A folder that cannot be forced to the disk fails the save too, since the new workbook
    // could vanish in a power cut.
    void guardadoConFallas_data()
    {
        QTest::addColumn<std::optional<PasoEscritura>>("paso");
        QTest::addColumn<int>("error");
        QTest::addColumn<CausaFallo>("causa");
        const struct {
            const char *caso;
            std::optional<PasoEscritura> paso;
            int error;
            CausaFallo causa;
        } filas[] = {
            { "disk full creating the staged file", PasoEscritura::Abrir, ENOSPC,
                CausaFallo::SinEspacio },
            { "folder not ours", PasoEscritura::Abrir, EACCES, CausaFallo::SinPermiso },
            { "disk full writing", PasoEscritura::Escribir, ENOSPC, CausaFallo::SinEspacio },
            { "quota exceeded writing", PasoEscritura::Escribir, EDQUOT, CausaFallo::SinEspacio },
            { "file too large", PasoEscritura::Escribir, EFBIG, CausaFallo::Escritura },
            { "disk failing forcing the data", PasoEscritura::AsegurarDatos, EIO,
                CausaFallo::Escritura },
            { "network disk full on close", PasoEscritura::Cerrar, ENOSPC, CausaFallo::SinEspacio },
            { "disk turned read-only replacing", PasoEscritura::Reemplazar, EROFS,
                CausaFallo::SinPermiso },
            { "workbook busy replacing", PasoEscritura::Reemplazar, EBUSY,
                CausaFallo::ArchivoAbierto },
            { "folder cannot be forced", PasoEscritura::AsegurarCarpeta, EIO,
                CausaFallo::Escritura },
            { "read-back differs", std::nullopt, 0, CausaFallo::NoCoincide },
        };
        for (const auto &f : filas)
            QTest::newRow(f.caso) << f.paso << f.error << f.causa;
    }
    void guardadoConFallas()
    {
        QFETCH(std::optional<PasoEscritura>, paso);
        QFETCH(int, error);
        LibroNuevo l;
        QVERIFY(l.ok);
        auto &[dir, ruta, disco, libro, ok] = l;
        QVERIFY(libro.escribirFila(ruta, 2, 32, filaDePrueba("C")).ok());
        const QByteArray antes = huella(ruta);
        const QStringList archivos = archivosDe(dir.path());

        disco.fallarEn = paso;
        disco.errorDelSistema = error;
        disco.alterarRelectura = !paso;
        const Resultado r = libro.escribirFila(ruta, 1, 32, filaDePrueba("A"));
        QTEST(r.causa, "causa");
        QVERIFY(!textoCausa(r.causa).isEmpty());
        QCOMPARE(huella(ruta), antes);
        QCOMPARE(archivosDe(dir.path()), archivos);

        disco.fallarEn.reset();
        disco.alterarRelectura = false;
        QVERIFY(libro.escribirFila(ruta, 1, 32, filaDePrueba("A")).ok());
        const CeldasHoja c = celdasDeLibro(ruta);
        QCOMPARE(c.at({ 1, 11 }).texto, QStringLiteral("A"));
        QCOMPARE(c.at({ 2, 11 }).texto, QStringLiteral("C"));
    }

    // A file in the workbook's place that is no workbook is never replaced, neither by a save
    // nor by the creation at registration.
    void archivoAjenoNuncaSeReemplaza_data()
    {
        QTest::addColumn<bool>("crear");
        QTest::newRow("a save") << false;
        QTest::newRow("a creation") << true;
    }
    void archivoAjenoNuncaSeReemplaza()
    {
        QFETCH(bool, crear);
        QTemporaryDir dir;
        const QString ruta = dir.filePath("l.xlsx");
        crearArchivo(ruta, "PK no es un libro");
        DiscoLocal disco;
        LibroXlsx libro(disco);
        const Resultado r
            = crear ? libro.crearLibro(ruta) : libro.escribirFila(ruta, 1, 32, filaDePrueba("A"));
        QCOMPARE(r.causa, CausaFallo::LibroIlegible);
        QCOMPARE(r.detalle, textoErrorXlsx(ErrorXlsx::NoEsZip));
        QFile f(ruta);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("PK no es un libro"));
    }

    void libroBloqueadoPorOtro()
    {
        LibroNuevo l(50);
        QVERIFY(l.ok);
        auto &[dir, ruta, disco, libro, ok] = l;
        const QByteArray antes = huella(ruta);
        QLockFile otro(LibroXlsx::rutaCerrojo(ruta));
        QVERIFY(otro.tryLock(0));
        QCOMPARE(libro.escribirFila(ruta, 1, 32, filaDePrueba("A")).causa, CausaFallo::EnUso);
        QCOMPARE(huella(ruta), antes);
        otro.unlock();
        QVERIFY(libro.escribirFila(ruta, 1, 32, filaDePrueba("A")).ok());
    }

    // A lock whose owner cannot be proven to be a live station on this machine never blocks a
    // save for good: whatever it holds, the save takes it over after a short check.
    void cerrojoSinDuenoVivo_data()
    {
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<int>("edadSegundos");
        const QByteArray maquina = QSysInfo::machineHostName().toUtf8();
        const QByteArray propio = QByteArray::number(QCoreApplication::applicationPid());
        QTest::newRow("empty, left by a killed save") << QByteArray() << 60;
        QTest::newRow("empty and fresh") << QByteArray() << 0;
        QTest::newRow("another machine") << propio + "\nestacion\notra-maquina\n" << 0;
        QTest::newRow("garbage") << QByteArray("\x01\xff basura sin fin") << 0;
        QTest::newRow("zeros") << QByteArray(512, '\0') << 0;
        QTest::newRow("pid 0") << "0\nestacion\n" + maquina + "\n" << 0;
        QTest::newRow("pid -1") << "-1\nestacion\n" + maquina + "\n" << 0;
        QTest::newRow("a process that is gone") << "999999999\nestacion\n" + maquina + "\n" << 0;
        QTest::newRow("a live process of another program") << QByteArray("AJENO\nestacion\n")
                + maquina + "\n" << 0;
        QTest::newRow("a folder") << QByteArray("CARPETA") << 0;
        QTest::newRow("a pipe") << QByteArray("TUBERIA") << 0;
    }
    void cerrojoSinDuenoVivo()
    {
        QFETCH(QByteArray, contenido);
        QFETCH(int, edadSegundos);
        LibroNuevo l(300);
        QVERIFY(l.ok);
        auto &[dir, ruta, disco, libro, ok] = l;
        const QString rutaCerrojo = LibroXlsx::rutaCerrojo(ruta);
        QProcess ajeno;
        if (contenido == "CARPETA") {
            QVERIFY(QDir().mkpath(rutaCerrojo + "/dentro"));
        } else if (contenido == "TUBERIA") {
            QCOMPARE(::mkfifo(QFile::encodeName(rutaCerrojo).constData(), 0644), 0);
        } else {
            if (contenido.startsWith("AJENO")) {
                ajeno.start("sleep", { "30" });
                QVERIFY(ajeno.waitForStarted());
                contenido.replace("AJENO", QByteArray::number(ajeno.processId()));
            }
            QFile cerrojo(rutaCerrojo);
            QVERIFY(cerrojo.open(QIODevice::WriteOnly));
            QCOMPARE(cerrojo.write(contenido), contenido.size());
            QVERIFY(cerrojo.setFileTime(QDateTime::currentDateTime().addSecs(-edadSegundos),
                QFileDevice::FileModificationTime));
        }
        const Resultado r = libro.escribirFila(ruta, 1, 32, filaDePrueba("A"));
        ajeno.kill();
        ajeno.waitForFinished();
        QVERIFY2(r.ok(), qPrintable(r.detalle));
        const Celda esperada = Celda::deTexto("A");
        QCOMPARE(celdasDeLibro(ruta)[std::make_pair(1, 32)], esperada);
    }

    // Staged files that a killed save left behind are cleared by the next save; nothing of
    // the save itself stays beside the workbook, its lock included.
    void restosDeUnGuardadoInterrumpido()
    {
        LibroNuevo l;
        QVERIFY(l.ok);
        auto &[dir, ruta, disco, libro, ok] = l;
        crearArchivo(dir.filePath(".l.xlsx.4242.tmp"));
        crearArchivo(dir.filePath(".l.xlsx.4242.tmp.Ab12Cd"));
        crearArchivo(dir.filePath(".l.xlsx.4243.nuevo.tmp"));
        crearArchivo(dir.filePath(".otro.xlsx.4242.tmp"));
        QVERIFY(libro.escribirFila(ruta, 1, 32, filaDePrueba("A")).ok());
        QCOMPARE(archivosDe(dir.path()), QStringList({ ".otro.xlsx.4242.tmp", "l.xlsx" }));
    }

    void escrituraImposible_data()
    {
        QTest::addColumn<QString>("destino");
        QTest::addColumn<CausaFallo>("causa");
        QTest::newRow("folder missing") << "no/existe/l.xlsx" << CausaFallo::SinCarpeta;
        QTest::newRow("a folder in the way") << "carpeta.xlsx" << CausaFallo::NoEsArchivo;
    }
    void escrituraImposible()
    {
        QFETCH(QString, destino);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("carpeta.xlsx");
        crearArchivo(dir.filePath("carpeta.xlsx/dentro.txt"));
        DiscoLocal disco;
        const Resultado r = LibroXlsx(disco).crearLibro(dir.filePath(destino));
        QTEST(r.causa, "causa");
        QVERIFY(QFile::exists(dir.filePath("carpeta.xlsx/dentro.txt")));
        QCOMPARE(
            QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).filter(".tmp"), QStringList());
    }

    // A workbook the staff edited in a spreadsheet program: an extra sheet, formatting,
    // column widths. A save changes the row and nothing else, as openpyxl sees it.
    void libroEditadoPorElPersonal()
    {
        QTemporaryDir dir;
        const QString ruta = dir.filePath("Apl Examen - EE0310002_T_3A_2_0987.xlsx");
        const QString crear = QStringLiteral(R"(
from openpyxl.styles import PatternFill, Font
wb = openpyxl.Workbook(); ws = wb.active; ws.title = 'Reporte'
row = ['EE0310002', 'ESCUELA', 2, '0987', None, None, 'T', '3A', 'Lengua', 6] + list('ABCDABCDABCDABCDABCDAB')
for c, v in enumerate(row, 1): ws.cell(2, c, v)
ws['K1'].fill = PatternFill('solid', fgColor='FFFF00'); ws['A2'].font = Font(bold=True)
ws['AH1'] = 'nota del personal'; ws['B5'] = 'revisado'; ws.column_dimensions['B'].width = 45
n = wb.create_sheet('Notas'); n['A1'] = 'Observaciones'; n['B3'] = 12.5
wb.save(sys.argv[1])
)");
        const SalidaPython hecho = ejecutarPython(crear, { ruta });
        QVERIFY2(hecho.ok, qPrintable(hecho.error));
        const QString mirar = QStringLiteral(
            "wb = openpyxl.load_workbook(sys.argv[1]); ws = wb['Reporte']; n = wb['Notas']\n"
            "print(wb.sheetnames, n['A1'].value, n['B3'].value, ws.column_dimensions['B'].width)\n"
            "print(ws['K1'].fill.fgColor.rgb, ws['A2'].font.b, ws['AH1'].value, ws['B5'].value)\n"
            "for r in (1, 2): print([ws.cell(r, c).value for c in range(1, 33)])\n");
        const SalidaPython antes = ejecutarPython(mirar, { ruta });
        QVERIFY2(antes.ok, qPrintable(antes.error));

        DiscoLocal disco;
        LibroXlsx libro(disco);
        CeldasFila fila = filaDePrueba("D");
        fila[2] = Celda::deTexto("ESCUELA");
        QVERIFY(libro.escribirFila(ruta, 1, 32, fila).ok());

        const SalidaPython despues = ejecutarPython(mirar, { ruta });
        QVERIFY2(despues.ok, qPrintable(despues.error));
        const QStringList a = antes.salida.split('\n');
        const QStringList d = despues.salida.split('\n');
        QCOMPARE(d[0], a[0]);
        QCOMPARE(d[0], QStringLiteral("['Reporte', 'Notas'] Observaciones 12.5 45.0"));
        QCOMPARE(d[1], a[1]);
        QCOMPARE(d[1], QStringLiteral("00FFFF00 True nota del personal revisado"));
        QCOMPARE(d[3], a[3]); // the language row
        QCOMPARE(d[2],
            QStringLiteral(
                "['EE0310002', 'ESCUELA', 2, None, None, None, None, None, 'Matematica', None, ")
                + QStringList(22, QStringLiteral("'D'")).join(QStringLiteral(", "))
                + QLatin1Char(']'));
    }
};

QTEST_GUILESS_MAIN(TstHojaCalculo)
#include "tst_HojaCalculo.moc"
