#include "PropiedadesXlsx.h"

#include "PaqueteXlsx.h"
#include "Xlsx.h"

#include <QXmlStreamWriter>

#include <cstring>
#include <optional>

namespace {

const QString kParte = QStringLiteral("docProps/custom.xml");
const QString kTipos = QStringLiteral("[Content_Types].xml");
const QString kRelaciones = QStringLiteral("_rels/.rels");

// The part with the properties, in the order of their names; each gets its own identifier
// from 2 up, as the format asks.
QByteArray parteDePropiedades(const PropiedadesXlsx &propiedades)
{
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("Properties"));
    w.writeDefaultNamespace(
        QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/custom-properties"));
    w.writeNamespace(
        QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes"),
        QStringLiteral("vt"));
    int id = 2;
    for (const auto &[nombre, p] : propiedades) {
        w.writeStartElement(QStringLiteral("property"));
        w.writeAttribute(
            QStringLiteral("fmtid"), QStringLiteral("{D5CDD505-2E9C-101B-9397-08002B2CF9AE}"));
        w.writeAttribute(QStringLiteral("pid"), QString::number(id++));
        w.writeAttribute(QStringLiteral("name"), nombre);
        w.writeTextElement(QStringLiteral("vt:") + p.tipo, p.valor);
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndDocument();
    return xml;
}

// `xml` with `elemento` added just before its closing `cierre`; empty when it has none.
QByteArray conElemento(const QByteArray &xml, const QByteArray &cierre, const QByteArray &elemento)
{
    const qsizetype donde = xml.lastIndexOf(cierre);
    if (donde < 0)
        return {};
    return xml.left(donde) + elemento + xml.mid(donde);
}

} // namespace

namespace {

// The part read without the tokenizer, when it is plain: every property a start tag with a
// double-quoted name, then one value element of the "vt" prefix holding text with nothing to
// decode (no entity, no carriage return), then its end; no comment, section or instruction but
// the declaration. Nothing when the part is anything else: the tokenizer reads it then. A
// collection reads one of these per workbook, and this way costs a tenth.
std::optional<PropiedadesXlsx> propiedadesLlanas(const QByteArray &xml)
{
    // One look at every markup start: no comment or section, one declaration at most, and the
    // properties counted, to be matched against those read below.
    qsizetype declaraciones = 0;
    qsizetype propiedades = 0;
    for (const char *p = xml.constData(), *fin = p + xml.size();
         (p = static_cast<const char *>(std::memchr(p, '<', size_t(fin - p)))) != nullptr; ++p) {
        const QByteArrayView resto(p + 1, fin - p - 1);
        if (resto.startsWith('!'))
            return std::nullopt;
        declaraciones += resto.startsWith('?');
        propiedades += resto.startsWith("property");
    }
    if (declaraciones > 1 || std::memchr(xml.constData(), '&', size_t(xml.size()))
        || std::memchr(xml.constData(), '\r', size_t(xml.size())))
        return std::nullopt;
    PropiedadesXlsx r;
    qsizetype i = 0;
    qsizetype leidas = 0;
    while ((i = xml.indexOf("<property ", i)) >= 0) {
        const qsizetype cierre = xml.indexOf('>', i);
        const qsizetype nombre = xml.indexOf(" name=\"", i);
        if (cierre < 0 || nombre < 0 || nombre > cierre || xml.at(cierre - 1) == '/'
            || !xml.sliced(cierre + 1).startsWith("<vt:"))
            return std::nullopt;
        const qsizetype finNombre = xml.indexOf('"', nombre + 7);
        const qsizetype finTipo = xml.indexOf('>', cierre + 5);
        if (finNombre < 0 || finNombre > cierre || finTipo < 0)
            return std::nullopt;
        const QByteArray tipo = xml.sliced(cierre + 5, finTipo - cierre - 5);
        const QByteArray fin = "</vt:" + tipo + "></property>";
        const qsizetype finValor = xml.indexOf(fin, finTipo + 1);
        if (tipo.isEmpty() || tipo.contains('/') || tipo.contains(' ') || finValor < 0)
            return std::nullopt;
        const QByteArray valor = xml.sliced(finTipo + 1, finValor - finTipo - 1);
        if (valor.contains('<'))
            return std::nullopt;
        const QString texto = QString::fromUtf8(valor);
        if (texto.size() > limitesXlsx::kMaxCaracteresCelda)
            return std::nullopt;
        r[QString::fromUtf8(xml.sliced(nombre + 7, finNombre - nombre - 7))]
            = { QString::fromLatin1(tipo), texto };
        ++leidas;
        i = finValor + fin.size();
    }
    // A property in any other shape ("<property>", single quotes) is the tokenizer's.
    if (propiedades != leidas)
        return std::nullopt;
    return r;
}

} // namespace

Resultado leerPropiedades(const PaqueteXlsx &paquete, PropiedadesXlsx *propiedades)
{
    propiedades->clear();
    if (!paquete.tieneParte(kParte))
        return {};
    QByteArray xml;
    if (const Resultado r = paquete.leerParte(kParte, &xml); !r.ok())
        return r.conDetalle(kParte);
    if (auto llanas = propiedadesLlanas(xml)) {
        *propiedades = std::move(*llanas);
        return {};
    }
    QString nombre;
    bool enValor = false;
    return recorrerXml(paquete, kParte, limitesXlsx::kMaxBytesParte,
        [&](const TokenizadorXml &x, TokenizadorXml::Token t) {
            using Token = TokenizadorXml::Token;
            if (t == Token::Inicio && x.es("property")) {
                nombre = x.atributo("name");
            } else if (t == Token::Inicio && !nombre.isNull() && x.prefijo() == "vt") {
                enValor = true;
                (*propiedades)[nombre] = { QString::fromUtf8(x.nombre()), QString() };
            } else if (t == Token::Texto && enValor) {
                PropiedadXlsx &p = (*propiedades)[nombre];
                p.valor += x.texto();
                if (p.valor.size() > limitesXlsx::kMaxCaracteresCelda)
                    return falloLibro(CausaFallo::TextoDemasiadoLargo);
            } else if (t == Token::Fin && enValor) {
                enValor = false;
            } else if (t == Token::Fin && x.es("property")) {
                nombre = QString();
            }
            return Resultado();
        });
}

Resultado partesConPropiedad(const PaqueteXlsx &paquete, const QString &nombre,
    const QString &valor, std::map<QString, QByteArray> *partes)
{
    PropiedadesXlsx propiedades;
    if (const Resultado r = leerPropiedades(paquete, &propiedades); !r.ok())
        return r.conDetalle(kParte);
    const bool habia = paquete.tieneParte(kParte);
    propiedades[nombre] = { QStringLiteral("lpwstr"), valor };
    (*partes)[kParte] = parteDePropiedades(propiedades);
    if (habia)
        return {};
    QByteArray tipos;
    QByteArray relaciones;
    if (const Resultado r = paquete.leerParte(kTipos, &tipos); !r.ok())
        return r.conDetalle(kTipos);
    if (const Resultado r = paquete.leerParte(kRelaciones, &relaciones); !r.ok())
        return r.conDetalle(kRelaciones);
    tipos = conElemento(tipos, "</Types>",
        "<Override PartName=\"/docProps/custom.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.custom-properties+xml\"/>");
    relaciones = conElemento(relaciones, "</Relationships>",
        "<Relationship Id=\"rIdPropiedades\" Type=\"http://schemas.openxmlformats.org/"
        "officeDocument/2006/relationships/custom-properties\" Target=\"docProps/"
        "custom.xml\"/>");
    if (tipos.isEmpty() || relaciones.isEmpty())
        return falloLibro(CausaFallo::LibroIlegible,
            QStringLiteral("no se entiende la lista de partes del libro"));
    (*partes)[kTipos] = tipos;
    (*partes)[kRelaciones] = relaciones;
    return {};
}

Resultado conPropiedad(
    const QByteArray &libro, const QString &nombre, const QString &valor, QByteArray *nuevo)
{
    const PaqueteXlsx paquete(libro);
    if (const Resultado r = paquete.estado(); !r.ok())
        return r;
    std::map<QString, QByteArray> partes;
    if (const Resultado r = partesConPropiedad(paquete, nombre, valor, &partes); !r.ok())
        return r;
    return paquete.conPartes(partes, nuevo);
}
