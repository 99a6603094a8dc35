// The XML tokenizer: the tokens of well-formed parts whatever the pieces, and each refusal.
#include "TokenizadorXml.h"

#include <QStringList>

#include <QTest>

namespace {

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

class TstTokenizadorXml : public QObject {
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
};

QTEST_GUILESS_MAIN(TstTokenizadorXml)
#include "tst_TokenizadorXml.moc"
