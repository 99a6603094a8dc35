#include "PropiedadesXlsx.h"

#include "PaqueteXlsx.h"
#include "Xlsx.h"

#include <QXmlStreamWriter>

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

Resultado leerPropiedades(const PaqueteXlsx &paquete, PropiedadesXlsx *propiedades)
{
    propiedades->clear();
    if (!paquete.tieneParte(kParte))
        return {};
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
