#include "EscritorXlsx.h"

#include "PaqueteXlsx.h"

#include <QFile>
#include <QList>
#include <QStringEncoder>
#include <QXmlStreamReader>

#include <xlsxwriter.h>
#include <zip.h>

#include <algorithm>
#include <cmath>

namespace {

// A row that cannot be replaced safely: the workbook is left as it is.
Resultado noEditable(const QString &texto)
{
    return Resultado::fallo(CausaFallo::LibroIlegible, texto);
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

} // namespace

Resultado reemplazarFilaEnHoja(const QByteArray &hoja, int fila, int ultimaColumna,
    const CeldasFila &celdas, QByteArray *nueva)
{
    const QString xml = QString::fromUtf8(hoja);
    // Positions below are positions in `xml`; the sheet is edited as text so that everything
    // but the row comes out byte for byte.
    if (xml.toUtf8() != hoja)
        return noEditable(QStringLiteral("la hoja no está codificada en UTF-8"));
    for (const auto &[col, celda] : celdas) {
        if (col < 1 || col > ultimaColumna || !representable(celda.texto))
            return noEditable(QStringLiteral("la celda %1%2 no se puede escribir")
                                  .arg(nombreColumna(col))
                                  .arg(fila));
    }

    QXmlStreamReader x(xml);
    int profundidad = 0;
    int nivelDatos = -1;
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
    int filaActual = 0;
    bool enFila = false;
    int columnaActual = 0;
    qsizetype celdaInicio = -1;
    int celdaColumna = 0;
    bool celdaSinReferencia = false;
    QString nombreCelda;

    while (!x.atEnd()) {
        const auto token = x.readNext();
        if (x.hasError())
            break;
        const qsizetype fin = x.characterOffset();
        // A tag starts at the last '<' before its end: attribute values cannot hold one.
        const auto inicioEtiqueta = [&] { return xml.lastIndexOf(QLatin1Char('<'), fin - 1); };
        if (token == QXmlStreamReader::StartElement) {
            if (++profundidad > limitesXlsx::kMaxProfundidad)
                return noEditable(textoErrorXlsx(ErrorXlsx::AnidamientoExcesivo));
            const QStringView nombre = x.name();
            if (profundidad == 2 && nombre == QLatin1String("dimension")) {
                dimInicio = inicioEtiqueta();
                dimRango = x.attributes().value(QLatin1String("ref")).toString();
                prefijoDimension = x.prefix().toString();
            } else if (profundidad == 2 && nombre == QLatin1String("sheetData")) {
                datosInicio = inicioEtiqueta();
                datosFinApertura = fin;
                nivelDatos = profundidad;
                prefijo = x.prefix().toString();
            } else if (profundidad == nivelDatos + 1 && nombre == QLatin1String("row")) {
                bool ok = true;
                const QStringView r = x.attributes().value(QLatin1String("r"));
                const int numero = r.isEmpty() ? filaActual + 1 : r.toInt(&ok);
                if (!ok || numero <= filaActual)
                    return noEditable(textoErrorXlsx(ErrorXlsx::FilasDesordenadas));
                filaActual = numero;
                if (numero == fila) {
                    filaInicio = inicioEtiqueta();
                    enFila = true;
                    QString apertura;
                    for (const auto &a : x.attributes()) {
                        if (a.qualifiedName() == QLatin1String("r")
                            || a.qualifiedName() == QLatin1String("spans"))
                            continue;
                        apertura += QStringLiteral(" %1=\"%2\"")
                                        .arg(a.qualifiedName().toString(),
                                            escapar(a.value().toString(), true));
                    }
                    for (const auto &ns : x.namespaceDeclarations()) {
                        apertura += QStringLiteral(" xmlns%1=\"%2\"")
                                        .arg(ns.prefix().isEmpty()
                                                ? QString()
                                                : QLatin1Char(':') + ns.prefix().toString(),
                                            escapar(ns.namespaceUri().toString(), true));
                    }
                    aperturaFila = apertura;
                } else if (numero > fila && insertar < 0 && filaInicio < 0) {
                    insertar = inicioEtiqueta();
                }
            } else if (enFila && profundidad == nivelDatos + 2 && nombre == QLatin1String("c")) {
                celdaInicio = inicioEtiqueta();
                nombreCelda = x.qualifiedName().toString();
                const QStringView r = x.attributes().value(QLatin1String("r"));
                celdaSinReferencia = r.isEmpty();
                int f = fila;
                int c = columnaActual + 1;
                if (!celdaSinReferencia) {
                    int f1, c1, f2, c2;
                    if (!leerRango(r.toString(), &f1, &c1, &f2, &c2) || f1 != fila || f2 != fila
                        || c1 != c2)
                        return noEditable(textoErrorXlsx(ErrorXlsx::ReferenciaInvalida));
                    f = f1;
                    c = c1;
                }
                Q_UNUSED(f);
                if (c <= columnaActual)
                    return noEditable(textoErrorXlsx(ErrorXlsx::CeldasDesordenadas));
                columnaActual = c;
                celdaColumna = c;
                const QString estilo = x.attributes().value(QLatin1String("s")).toString();
                if (c <= ultimaColumna && !estilo.isEmpty())
                    estilos[c] = estilo;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            const QStringView nombre = x.name();
            if (profundidad == 2 && nombre == QLatin1String("dimension")) {
                dimFin = fin;
            } else if (profundidad == nivelDatos && nombre == QLatin1String("sheetData")) {
                datosVacio = fin == datosFinApertura;
                datosCierre = datosVacio ? fin : inicioEtiqueta();
            } else if (enFila && profundidad == nivelDatos + 1 && nombre == QLatin1String("row")) {
                filaFin = fin;
                enFila = false;
            } else if (enFila && profundidad == nivelDatos + 2 && nombre == QLatin1String("c")
                && celdaColumna > ultimaColumna) {
                QString cruda = xml.mid(celdaInicio, fin - celdaInicio);
                if (celdaSinReferencia)
                    cruda.insert(1 + nombreCelda.size(),
                        QStringLiteral(" r=\"%1%2\"").arg(nombreColumna(celdaColumna)).arg(fila));
                conservadas << cruda;
            }
            --profundidad;
        }
    }
    if (x.hasError())
        return noEditable(QStringLiteral("%1: %2").arg(
            textoErrorXlsx(ErrorXlsx::XmlMalFormado), x.errorString()));
    if (datosInicio < 0 || datosCierre < 0)
        return noEditable(QStringLiteral("la hoja no tiene datos de celdas"));

    const QString p = prefijo.isEmpty() ? QString() : prefijo + QLatin1Char(':');
    QString nuevaFila = QStringLiteral("<%1row r=\"%2\"%3>").arg(p).arg(fila).arg(aperturaFila);
    for (int col = 1; col <= ultimaColumna; ++col) {
        const QString ref = nombreColumna(col) + QString::number(fila);
        const auto estilo = estilos.find(col);
        const QString s = estilo == estilos.end()
            ? QString()
            : QStringLiteral(" s=\"%1\"").arg(escapar(estilo->second, true));
        const auto it = celdas.find(col);
        if (it != celdas.end() && it->second.tipo == Celda::Tipo::Numero) {
            if (!std::isfinite(it->second.numero))
                return noEditable(QStringLiteral("la celda %1 no es un número").arg(ref));
            nuevaFila += QStringLiteral("<%1c r=\"%2\"%3><%1v>%4</%1v></%1c>")
                             .arg(p, ref, s, numeroXml(it->second.numero));
        } else if (it != celdas.end() && !it->second.texto.isEmpty()) {
            const QString &t = it->second.texto;
            const bool preservar = t.front().isSpace() || t.back().isSpace()
                || t.contains(QLatin1Char('\n')) || t.contains(QLatin1Char('\t'));
            nuevaFila += QStringLiteral(
                "<%1c r=\"%2\"%3 t=\"inlineStr\"><%1is><%1t%4>%5</%1t></%1is></%1c>")
                             .arg(p, ref, s,
                                 preservar ? QStringLiteral(" xml:space=\"preserve\"") : QString(),
                                 escapar(t, false));
        } else if (!s.isEmpty()) {
            // An emptied cell keeps its formatting.
            nuevaFila += QStringLiteral("<%1c r=\"%2\"%3/>").arg(p, ref, s);
        }
    }
    nuevaFila += conservadas.join(QString()) + QStringLiteral("</%1row>").arg(p);

    QList<Edicion> ediciones;
    if (filaInicio >= 0)
        ediciones.append({ filaInicio, filaFin, nuevaFila });
    else if (insertar >= 0)
        ediciones.append({ insertar, insertar, nuevaFila });
    else if (datosVacio)
        ediciones.append({ datosInicio, datosFinApertura,
            QStringLiteral("<%1sheetData>%2</%1sheetData>").arg(p, nuevaFila) });
    else
        ediciones.append({ datosCierre, datosCierre, nuevaFila });
    int f1, c1, f2, c2;
    if (dimInicio >= 0 && dimFin >= dimInicio && leerRango(dimRango, &f1, &c1, &f2, &c2)) {
        const int ultimaUsada
            = std::max(ultimaColumna, celdas.empty() ? 1 : celdas.rbegin()->first);
        const QString rango = nombreColumna(std::min(c1, 1)) + QString::number(std::min(f1, fila))
            + QLatin1Char(':') + nombreColumna(std::max(c2, ultimaUsada))
            + QString::number(std::max(f2, fila));
        const QString pd
            = prefijoDimension.isEmpty() ? QString() : prefijoDimension + QLatin1Char(':');
        ediciones.append(
            { dimInicio, dimFin, QStringLiteral("<%1dimension ref=\"%2\"/>").arg(pd, rango) });
    }
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
    QString parteCadenas;
    if (const ErrorXlsx e = viejo.buscarHoja(nombreHoja, &parteHoja, &parteCadenas);
        e != ErrorXlsx::Ninguno)
        return noEditable(textoErrorXlsx(e));
    QByteArray xml;
    if (const ErrorXlsx e = viejo.leerParte(parteHoja, &xml); e != ErrorXlsx::Ninguno)
        return noEditable(QStringLiteral("%1 (%2)").arg(textoErrorXlsx(e), parteHoja));
    QByteArray hoja;
    if (const Resultado r = reemplazarFilaEnHoja(xml, fila, ultimaColumna, celdas, &hoja); !r.ok())
        return r;

    return viejo.conParteReemplazada(parteHoja, hoja, nuevo);
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
        return Resultado::fallo(CausaFallo::Escritura,
            d->error.isEmpty() ? QStringLiteral("el libro ya estaba cerrado") : d->error);
    if (!d->error.isEmpty()) {
        lxw_workbook_free(d->libro);
        d->libro = nullptr;
        return Resultado::fallo(CausaFallo::Escritura, d->error);
    }
    const lxw_error e = workbook_close(d->libro);
    d->libro = nullptr;
    if (e != LXW_NO_ERROR) {
        QFile::remove(QFile::decodeName(d->ruta));
        return Resultado::fallo(CausaFallo::Escritura,
            QStringLiteral("no se pudo escribir el libro: %1")
                .arg(QString::fromUtf8(lxw_strerror(e))));
    }
    return {};
}
