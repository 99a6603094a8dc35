#include "EscritorXlsx.h"

#include "PaqueteXlsx.h"

#include <QFile>
#include <QList>
#include <QStringEncoder>
#include <QXmlStreamReader>

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// A row that cannot be replaced safely: the workbook is left as it is.
Resultado noEditable(const QString &texto)
{
    return falloLibro(CausaFallo::LibroIlegible, texto);
}
Resultado noEditable(const Resultado &motivo)
{
    return noEditable(motivo.texto());
}

// Characters that XML 1.0 cannot carry. A cell holding one is refused rather than written
// into a file that other programs would reject.
bool representable(const QString &texto)
{
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const char16_t c = texto.at(i).unicode();
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= texto.size() || !QChar::isLowSurrogate(texto.at(i + 1).unicode()))
                return false;
            ++i;
            continue;
        }
        if (QChar::isLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF)
            return false;
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
    }
    return true;
}

QString escapar(const QString &texto, bool atributo)
{
    QString r;
    r.reserve(texto.size());
    for (const QChar c : texto) {
        switch (c.unicode()) {
        case '&':
            r += QLatin1String("&amp;");
            break;
        case '<':
            r += QLatin1String("&lt;");
            break;
        case '>':
            r += QLatin1String("&gt;");
            break;
        case '"':
            r += atributo ? QLatin1String("&quot;") : QLatin1String("\"");
            break;
        // A bare carriage return would come back as a line feed.
        case '\r':
            r += QLatin1String("&#13;");
            break;
        case '\n':
            r += atributo ? QLatin1String("&#10;") : QLatin1String("\n");
            break;
        case '\t':
            r += atributo ? QLatin1String("&#9;") : QLatin1String("\t");
            break;
        default:
            r += c;
        }
    }
    return r;
}

QString numeroXml(double n)
{
    if (n == std::trunc(n) && std::fabs(n) < 1e15)
        return QString::number(qint64(n));
    return QString::number(n, 'g', 17);
}

// "A1:AF2" or "A1" → first and last row and column.
bool leerRango(const QString &rango, int *f1, int *c1, int *f2, int *c2)
{
    auto celda = [](QStringView ref, int *fila, int *col) {
        qsizetype i = 0;
        qint64 c = 0;
        while (i < ref.size() && ref[i] >= QLatin1Char('A') && ref[i] <= QLatin1Char('Z')
            && c <= limitesXlsx::kMaxColumna)
            c = c * 26 + (ref[i++].unicode() - 'A' + 1);
        bool ok = false;
        const int f = ref.mid(i).toInt(&ok);
        if (i == 0 || !ok || f < 1 || f > limitesXlsx::kMaxFila || c > limitesXlsx::kMaxColumna)
            return false;
        *fila = f;
        *col = int(c);
        return true;
    };
    const qsizetype dos = rango.indexOf(QLatin1Char(':'));
    if (dos < 0) {
        if (!celda(rango, f1, c1))
            return false;
        *f2 = *f1;
        *c2 = *c1;
        return true;
    }
    return celda(QStringView(rango).left(dos), f1, c1)
        && celda(QStringView(rango).mid(dos + 1), f2, c2);
}

struct Edicion {
    qsizetype inicio;
    qsizetype fin;
    QString texto;
};

// The attributes of a row's opening tag other than its number and span, written back as they
// were; namespace declarations too.
QString atributosDeFila(const QXmlStreamReader &x)
{
    QString apertura;
    for (const auto &a : x.attributes()) {
        if (a.qualifiedName() == QLatin1String("r") || a.qualifiedName() == QLatin1String("spans"))
            continue;
        apertura += QStringLiteral(" %1=\"%2\"")
                        .arg(a.qualifiedName().toString(), escapar(a.value().toString(), true));
    }
    for (const auto &ns : x.namespaceDeclarations()) {
        apertura += QStringLiteral(" xmlns%1=\"%2\"")
                        .arg(ns.prefix().isEmpty() ? QString()
                                                   : QLatin1Char(':') + ns.prefix().toString(),
                            escapar(ns.namespaceUri().toString(), true));
    }
    return apertura;
}

// One pass over a sheet's XML that finds where the row `fila` is (or would go), the sheet
// data, the dimension, and what of the row must be kept: the cells' styles up to
// `ultimaColumna` and the cells beyond it. Positions are positions in the text.
class ExploracionHoja {
public:
    ExploracionHoja(const QString &xml, int fila, int ultimaColumna)
        : m_xml(xml)
        , m_fila(fila)
        , m_ultimaColumna(ultimaColumna)
    {
    }

    // Ok when the sheet can be edited.
    Resultado recorrer()
    {
        QXmlStreamReader x(m_xml);
        while (!x.atEnd()) {
            const auto token = x.readNext();
            if (x.hasError())
                break;
            Resultado r;
            if (token == QXmlStreamReader::StartElement)
                r = abrir(x);
            else if (token == QXmlStreamReader::EndElement)
                cerrar(x);
            if (!r.ok())
                return r;
        }
        if (x.hasError())
            return falloLibro(CausaFallo::XmlMalFormado, x.errorString());
        if (datosInicio < 0 || datosCierre < 0)
            return falloLibro(CausaFallo::SinDatosDeCeldas);
        return {};
    }

    QString prefijo;
    QString prefijoDimension;
    qsizetype dimInicio = -1, dimFin = -1;
    QString dimRango;
    qsizetype datosInicio = -1, datosFinApertura = -1, datosCierre = -1;
    bool datosVacio = false;
    qsizetype filaInicio = -1, filaFin = -1, insertar = -1;
    QString aperturaFila;
    std::map<int, QString> estilos;
    QStringList conservadas;

private:
    // A tag starts at the last '<' before its end: attribute values cannot hold one.
    qsizetype inicioEtiqueta(qsizetype fin) const
    {
        return m_xml.lastIndexOf(QLatin1Char('<'), fin - 1);
    }

    Resultado abrir(const QXmlStreamReader &x)
    {
        const qsizetype fin = x.characterOffset();
        if (++m_profundidad > limitesXlsx::kMaxProfundidad)
            return falloLibro(CausaFallo::AnidamientoExcesivo);
        const QStringView nombre = x.name();
        if (m_profundidad == 2 && nombre == QLatin1String("dimension")) {
            dimInicio = inicioEtiqueta(fin);
            dimRango = x.attributes().value(QLatin1String("ref")).toString();
            prefijoDimension = x.prefix().toString();
        } else if (m_profundidad == 2 && nombre == QLatin1String("sheetData")) {
            datosInicio = inicioEtiqueta(fin);
            datosFinApertura = fin;
            m_nivelDatos = m_profundidad;
            prefijo = x.prefix().toString();
        } else if (m_profundidad == m_nivelDatos + 1 && nombre == QLatin1String("row")) {
            return abrirFila(x, fin);
        } else if (m_enFila && m_profundidad == m_nivelDatos + 2 && nombre == QLatin1String("c")) {
            return abrirCelda(x, fin);
        }
        return {};
    }

    Resultado abrirFila(const QXmlStreamReader &x, qsizetype fin)
    {
        bool ok = true;
        const QStringView r = x.attributes().value(QLatin1String("r"));
        const int numero = r.isEmpty() ? m_filaActual + 1 : r.toInt(&ok);
        if (!ok || numero <= m_filaActual)
            return falloLibro(CausaFallo::FilasDesordenadas);
        m_filaActual = numero;
        if (numero == m_fila) {
            filaInicio = inicioEtiqueta(fin);
            m_enFila = true;
            aperturaFila = atributosDeFila(x);
        } else if (numero > m_fila && insertar < 0 && filaInicio < 0) {
            insertar = inicioEtiqueta(fin);
        }
        return {};
    }

    Resultado abrirCelda(const QXmlStreamReader &x, qsizetype fin)
    {
        m_celdaInicio = inicioEtiqueta(fin);
        m_nombreCelda = x.qualifiedName().toString();
        const QStringView r = x.attributes().value(QLatin1String("r"));
        m_celdaSinReferencia = r.isEmpty();
        int c = m_columnaActual + 1;
        if (!m_celdaSinReferencia) {
            int f1, c1, f2, c2;
            if (!leerRango(r.toString(), &f1, &c1, &f2, &c2) || f1 != m_fila || f2 != m_fila
                || c1 != c2)
                return falloLibro(CausaFallo::ReferenciaInvalida);
            c = c1;
        }
        if (c <= m_columnaActual)
            return falloLibro(CausaFallo::CeldasDesordenadas);
        m_columnaActual = c;
        const QString estilo = x.attributes().value(QLatin1String("s")).toString();
        if (c <= m_ultimaColumna && !estilo.isEmpty())
            estilos[c] = estilo;
        return {};
    }

    void cerrar(const QXmlStreamReader &x)
    {
        const qsizetype fin = x.characterOffset();
        const QStringView nombre = x.name();
        if (m_profundidad == 2 && nombre == QLatin1String("dimension")) {
            dimFin = fin;
        } else if (m_profundidad == m_nivelDatos && nombre == QLatin1String("sheetData")) {
            datosVacio = fin == datosFinApertura;
            datosCierre = datosVacio ? fin : inicioEtiqueta(fin);
        } else if (m_enFila && m_profundidad == m_nivelDatos + 1
            && nombre == QLatin1String("row")) {
            filaFin = fin;
            m_enFila = false;
        } else if (m_enFila && m_profundidad == m_nivelDatos + 2 && nombre == QLatin1String("c")
            && m_columnaActual > m_ultimaColumna) {
            QString cruda = m_xml.mid(m_celdaInicio, fin - m_celdaInicio);
            if (m_celdaSinReferencia)
                cruda.insert(1 + m_nombreCelda.size(),
                    QStringLiteral(" r=\"%1%2\"").arg(nombreColumna(m_columnaActual)).arg(m_fila));
            conservadas << cruda;
        }
        --m_profundidad;
    }

    const QString &m_xml;
    const int m_fila;
    const int m_ultimaColumna;
    int m_profundidad = 0;
    int m_nivelDatos = -1;
    int m_filaActual = 0;
    bool m_enFila = false;
    int m_columnaActual = 0;
    qsizetype m_celdaInicio = -1;
    bool m_celdaSinReferencia = false;
    QString m_nombreCelda;
};

// The new row's XML: the given cells with the styles found, then the cells kept beyond the
// replaced columns.
Resultado filaNueva(const ExploracionHoja &h, int fila, int ultimaColumna, const CeldasFila &celdas,
    QString *xmlFila)
{
    const QString p = h.prefijo.isEmpty() ? QString() : h.prefijo + QLatin1Char(':');
    QString nueva = QStringLiteral("<%1row r=\"%2\"%3>").arg(p).arg(fila).arg(h.aperturaFila);
    for (int col = 1; col <= ultimaColumna; ++col) {
        const QString ref = nombreColumna(col) + QString::number(fila);
        const auto estilo = h.estilos.find(col);
        const QString s = estilo == h.estilos.end()
            ? QString()
            : QStringLiteral(" s=\"%1\"").arg(escapar(estilo->second, true));
        const auto it = celdas.find(col);
        if (it != celdas.end() && it->second.tipo == Celda::Tipo::Numero) {
            if (!std::isfinite(it->second.numero))
                return falloLibro(CausaFallo::CeldaNoRepresentable,
                    QStringLiteral("la celda %1 no es un número").arg(ref));
            nueva += QStringLiteral("<%1c r=\"%2\"%3><%1v>%4</%1v></%1c>")
                         .arg(p, ref, s, numeroXml(it->second.numero));
        } else if (it != celdas.end() && !it->second.texto.isEmpty()) {
            const QString &t = it->second.texto;
            const bool preservar = t.front().isSpace() || t.back().isSpace()
                || t.contains(QLatin1Char('\n')) || t.contains(QLatin1Char('\t'));
            nueva += QStringLiteral(
                "<%1c r=\"%2\"%3 t=\"inlineStr\"><%1is><%1t%4>%5</%1t></%1is></%1c>")
                         .arg(p, ref, s,
                             preservar ? QStringLiteral(" xml:space=\"preserve\"") : QString(),
                             escapar(t, false));
        } else if (!s.isEmpty()) {
            // An emptied cell keeps its formatting.
            nueva += QStringLiteral("<%1c r=\"%2\"%3/>").arg(p, ref, s);
        }
    }
    *xmlFila = nueva + h.conservadas.join(QString()) + QStringLiteral("</%1row>").arg(p);
    return {};
}

// Where the new row goes: in place of the old one, before the first row after it, into an
// empty sheet data element, or at the end of the data.
Edicion edicionDeFila(const ExploracionHoja &h, const QString &nueva)
{
    if (h.filaInicio >= 0)
        return { h.filaInicio, h.filaFin, nueva };
    if (h.insertar >= 0)
        return { h.insertar, h.insertar, nueva };
    if (h.datosVacio) {
        const QString p = h.prefijo.isEmpty() ? QString() : h.prefijo + QLatin1Char(':');
        return { h.datosInicio, h.datosFinApertura,
            QStringLiteral("<%1sheetData>%2</%1sheetData>").arg(p, nueva) };
    }
    return { h.datosCierre, h.datosCierre, nueva };
}

// The dimension grown to hold the row, when the sheet states a readable one.
std::optional<Edicion> edicionDeDimension(
    const ExploracionHoja &h, int fila, int ultimaColumna, const CeldasFila &celdas)
{
    int f1, c1, f2, c2;
    if (h.dimInicio < 0 || h.dimFin < h.dimInicio || !leerRango(h.dimRango, &f1, &c1, &f2, &c2))
        return std::nullopt;
    const int ultimaUsada = std::max(ultimaColumna, celdas.empty() ? 1 : celdas.rbegin()->first);
    const QString rango = nombreColumna(std::min(c1, 1)) + QString::number(std::min(f1, fila))
        + QLatin1Char(':') + nombreColumna(std::max(c2, ultimaUsada))
        + QString::number(std::max(f2, fila));
    const QString pd
        = h.prefijoDimension.isEmpty() ? QString() : h.prefijoDimension + QLatin1Char(':');
    return Edicion { h.dimInicio, h.dimFin,
        QStringLiteral("<%1dimension ref=\"%2\"/>").arg(pd, rango) };
}

} // namespace

Resultado reemplazarFilaEnHoja(const QByteArray &hoja, int fila, int ultimaColumna,
    const CeldasFila &celdas, QByteArray *nueva)
{
    const QString xml = QString::fromUtf8(hoja);
    // The sheet is edited as text so that everything but the row comes out byte for byte.
    if (xml.toUtf8() != hoja)
        return noEditable(QStringLiteral("la hoja no está codificada en UTF-8"));
    for (const auto &[col, celda] : celdas) {
        if (col < 1 || col > ultimaColumna || !representable(celda.texto))
            return falloLibro(CausaFallo::CeldaNoRepresentable,
                QStringLiteral("la celda %1%2").arg(nombreColumna(col)).arg(fila));
    }

    ExploracionHoja exploracion(xml, fila, ultimaColumna);
    if (const Resultado r = exploracion.recorrer(); !r.ok())
        return noEditable(r);
    QString nuevaFila;
    if (const Resultado r = filaNueva(exploracion, fila, ultimaColumna, celdas, &nuevaFila);
        !r.ok())
        return r;

    QList<Edicion> ediciones { edicionDeFila(exploracion, nuevaFila) };
    if (const auto dimension = edicionDeDimension(exploracion, fila, ultimaColumna, celdas))
        ediciones.append(*dimension);
    // From the end backwards, so that each edit leaves the positions before it valid.
    std::sort(ediciones.begin(), ediciones.end(),
        [](const Edicion &a, const Edicion &b) { return a.inicio > b.inicio; });
    QString resultado = xml;
    for (const Edicion &e : std::as_const(ediciones))
        resultado.replace(e.inicio, e.fin - e.inicio, e.texto);
    *nueva = resultado.toUtf8();
    return {};
}

Resultado reemplazarFilaEnLibro(const QByteArray &libro, const QString &nombreHoja, int fila,
    int ultimaColumna, const CeldasFila &celdas, QByteArray *nuevo)
{
    const PaqueteXlsx viejo(libro);
    QString parteHoja;
    QByteArray hoja;
    if (const Resultado r
        = hojaConFilaReemplazada(viejo, nombreHoja, fila, ultimaColumna, celdas, &parteHoja, &hoja);
        !r.ok())
        return r;
    return viejo.conParteReemplazada(parteHoja, hoja, nuevo);
}

Resultado hojaConFilaReemplazada(const PaqueteXlsx &libro, const QString &nombreHoja, int fila,
    int ultimaColumna, const CeldasFila &celdas, QString *parte, QByteArray *hoja)
{
    QString parteCadenas;
    if (const Resultado e = libro.buscarHoja(nombreHoja, parte, &parteCadenas); !e.ok())
        return noEditable(e);
    QByteArray xml;
    if (const Resultado e = libro.leerParte(*parte, &xml); !e.ok())
        return noEditable(e.conDetalle(*parte));
    return reemplazarFilaEnHoja(xml, fila, ultimaColumna, celdas, hoja);
}

struct EscritorLibro::Privado {
    lxw_workbook *libro = nullptr;
    QList<lxw_worksheet *> hojas;
    QByteArray ruta;
    QByteArray carpetaTemporal;
    QString error;
    // A text's UTF-8, in a buffer kept from cell to cell: a merge writes millions of them.
    QStringEncoder utf8 { QStringEncoder::Utf8, QStringConverter::Flag::Stateless };
    QByteArray texto;
};

EscritorLibro::EscritorLibro(
    const QString &ruta, const QString &carpetaTemporal, bool memoriaConstante)
    : d(new Privado)
{
    d->ruta = QFile::encodeName(ruta);
    d->carpetaTemporal = QFile::encodeName(carpetaTemporal);
    lxw_workbook_options opciones {};
    opciones.constant_memory = memoriaConstante ? LXW_TRUE : LXW_FALSE;
    opciones.tmpdir = d->carpetaTemporal.data();
    d->libro = workbook_new_opt(d->ruta.constData(), &opciones);
    if (!d->libro)
        d->error = QStringLiteral("no se pudo crear el libro");
}

EscritorLibro::~EscritorLibro()
{
    if (d->libro)
        lxw_workbook_free(d->libro);
    delete d;
}

int EscritorLibro::agregarHoja(const QString &nombre)
{
    lxw_worksheet *hoja
        = d->libro ? workbook_add_worksheet(d->libro, nombre.toUtf8().constData()) : nullptr;
    if (!hoja) {
        if (d->error.isEmpty())
            d->error = QStringLiteral("no se pudo agregar la hoja %1").arg(nombre);
        return -1;
    }
    d->hojas.append(hoja);
    return int(d->hojas.size()) - 1;
}

void EscritorLibro::escribir(int hoja, int fila, int columna, const Celda &celda)
{
    if (hoja < 0 || hoja >= d->hojas.size() || !d->error.isEmpty())
        return;
    lxw_worksheet *destino = d->hojas.at(hoja);
    lxw_error e = LXW_NO_ERROR;
    if (celda.tipo == Celda::Tipo::Numero)
        e = worksheet_write_number(
            destino, lxw_row_t(fila - 1), lxw_col_t(columna - 1), celda.numero, nullptr);
    else if (!celda.texto.isEmpty()) {
        const qsizetype necesario = d->utf8.requiredSpace(celda.texto.size()) + 1;
        if (d->texto.size() < necesario)
            d->texto.resize(necesario);
        char *fin = d->utf8.appendToBuffer(d->texto.data(), celda.texto);
        *fin = '\0';
        e = worksheet_write_string(
            destino, lxw_row_t(fila - 1), lxw_col_t(columna - 1), d->texto.constData(), nullptr);
    }
    if (e != LXW_NO_ERROR)
        d->error = QStringLiteral("celda %1%2: %3")
                       .arg(nombreColumna(columna))
                       .arg(fila)
                       .arg(QString::fromUtf8(lxw_strerror(e)));
}

Resultado EscritorLibro::cerrar()
{
    if (!d->libro)
        return falloLibro(CausaFallo::LibroNoArmado,
            d->error.isEmpty() ? QStringLiteral("el libro ya estaba cerrado") : d->error);
    if (!d->error.isEmpty()) {
        lxw_workbook_free(d->libro);
        d->libro = nullptr;
        return falloLibro(CausaFallo::LibroNoArmado, d->error);
    }
    const lxw_error e = workbook_close(d->libro);
    d->libro = nullptr;
    if (e != LXW_NO_ERROR) {
        QFile::remove(QFile::decodeName(d->ruta));
        return falloLibro(CausaFallo::LibroNoEscrito, QString::fromUtf8(lxw_strerror(e)));
    }
    return {};
}
