#include "Sello.h"

#include "ColumnasReporte.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

QString textoCausaCustodia(CausaFallo causa)
{
    switch (causa) {
    case CausaFallo::LlaveIlegible:
        return QStringLiteral("no se puede usar la llave de la estación");
    case CausaFallo::RegistroIlegible:
        return QStringLiteral("el registro de estaciones no se puede leer");
    case CausaFallo::EstacionYaRegistrada:
        return QStringLiteral("el registro ya tiene otra estación con ese nombre");
    case CausaFallo::NombreDeEstacionInvalido:
        return QStringLiteral("el nombre de la estación no es válido");
    case CausaFallo::FirmaImposible:
        return QStringLiteral("no se puede firmar en esta computadora");
    default:
        return {};
    }
}

namespace {

const QLatin1String kVersion("S1");
constexpr int kCampos = 9;

// A cell's part of the row's bytes: "e;" empty, "n<number>;" a number, "t<bytes>:<text>;" a
// text in UTF-8. Written straight into `fila`, a plain string whose appends cost next to
// nothing: a collection hashes every row it reads.
void agregarCelda(std::string &fila, const Celda *c)
{
    char numero[32];
    const auto agregarEntero = [&](qint64 n) {
        fila.append(numero, std::to_chars(numero, numero + sizeof numero, n).ptr);
    };
    if (!c || (c->tipo == Celda::Tipo::Texto && c->texto.isEmpty())) {
        fila += "e;";
    } else if (c->tipo == Celda::Tipo::Numero) {
        // Whole numbers, all a report holds, without the general formatting.
        const bool entero = std::abs(c->numero) < 1e15 && std::trunc(c->numero) == c->numero;
        fila += 'n';
        if (entero)
            agregarEntero(qint64(c->numero));
        else
            fila += QByteArray::number(c->numero, 'g', 17).toStdString();
        fila += ';';
    } else {
        const QString &t = c->texto;
        const bool ascii
            = std::all_of(t.begin(), t.end(), [](QChar x) { return x.unicode() < 0x80; });
        fila += 't';
        if (ascii) {
            agregarEntero(t.size());
            fila += ':';
            for (QChar x : t)
                fila += char(x.unicode());
        } else {
            const QByteArray utf8 = t.toUtf8();
            agregarEntero(utf8.size());
            fila += ':';
            fila.append(utf8.constData(), size_t(utf8.size()));
        }
        fila += ';';
    }
}

} // namespace

QByteArray Sello::mensaje() const
{
    return QStringList { kVersion, estacion, QString::number(secuencia), fecha, archivo,
        QString::number(fila), QString::fromLatin1(huellaFila), QString::fromLatin1(previo) }
        .join(QLatin1Char('\t'))
        .toUtf8();
}

QString Sello::linea() const
{
    return QString::fromUtf8(mensaje()) + QLatin1Char('\t') + QString::fromLatin1(firma);
}

QByteArray Sello::huella() const
{
    if (m_huella.isEmpty())
        m_huella = resumen(linea().toUtf8());
    return m_huella;
}

std::optional<Sello> Sello::deLinea(QStringView linea)
{
    return deLinea(QByteArrayView(linea.toUtf8()));
}

std::optional<CamposSello> camposDeSello(QByteArrayView linea)
{
    std::array<QByteArrayView, kCampos> c;
    int n = 0;
    for (qsizetype inicio = 0; n < kCampos; ++n) {
        const qsizetype tab = linea.indexOf('\t', inicio);
        c[size_t(n)] = linea.sliced(inicio, (tab < 0 ? linea.size() : tab) - inicio);
        if (tab < 0) {
            ++n;
            break;
        }
        inicio = tab + 1;
    }
    // Nine fields, no tab after the last.
    if (n != kCampos || c[kCampos - 1].data() + c[kCampos - 1].size() != linea.end()
        || c[0] != "S1")
        return std::nullopt;
    CamposSello s;
    bool numero = false;
    bool filaNumero = false;
    s.linea = linea;
    s.estacion = c[1];
    s.secuencia = c[2].toLongLong(&numero);
    s.fecha = c[3];
    s.archivo = c[4];
    s.fila = c[5].toInt(&filaNumero);
    s.huellaFila = c[6];
    s.previo = c[7];
    s.firma = c[8];
    s.mensaje = linea.first(s.firma.data() - linea.data() - 1);
    s.archivoYFila = linea.sliced(
        s.archivo.data() - linea.data(), c[5].data() + c[5].size() - s.archivo.data());
    // Numbers only as the station writes them. A text that is no UTF-8 reads otherwise and
    // fails its signature, or breaks the chain, whose hashes are of the line's own bytes.
    char escrito[32];
    const auto igual = [&escrito](qint64 v, QByteArrayView texto) {
        const char *fin = std::to_chars(escrito, escrito + sizeof escrito, v).ptr;
        return texto == QByteArrayView(escrito, fin - escrito);
    };
    if (!numero || !filaNumero || s.secuencia < 1 || s.estacion.isEmpty() || s.firma.isEmpty()
        || !igual(s.secuencia, c[2]) || !igual(s.fila, c[5]))
        return std::nullopt;
    return s;
}

std::optional<Sello> Sello::deLinea(QByteArrayView linea)
{
    const std::optional<CamposSello> c = camposDeSello(linea);
    if (!c)
        return std::nullopt;
    Sello s;
    s.estacion = QString::fromUtf8(c->estacion);
    s.secuencia = c->secuencia;
    s.fecha = QString::fromUtf8(c->fecha);
    s.archivo = QString::fromUtf8(c->archivo);
    s.fila = c->fila;
    s.huellaFila = c->huellaFila.toByteArray();
    s.previo = c->previo.toByteArray();
    s.firma = c->firma.toByteArray();
    s.m_huella = resumen(linea);
    return s;
}

QString propiedadDelSello(int fila)
{
    return QStringLiteral("SelloFila%1").arg(fila);
}

QByteArray huellaDeFila(const CeldasFila &celdas)
{
    std::string fila;
    fila.reserve(512);
    for (int col = 1; col <= columnas::kUltima; ++col) {
        const auto it = celdas.find(col);
        agregarCelda(fila, it == celdas.end() ? nullptr : &it->second);
    }
    return resumen(QByteArrayView(fila.data(), qsizetype(fila.size())));
}

QByteArray huellaDeFila(const QList<Celda> &celdas)
{
    std::string fila;
    fila.reserve(512);
    for (int col = 1; col <= columnas::kUltima; ++col)
        agregarCelda(fila, col <= celdas.size() ? &celdas[col - 1] : nullptr);
    return resumen(QByteArrayView(fila.data(), qsizetype(fila.size())));
}

Huella huellaBinaria(QByteArrayView bytes)
{
    Huella h;
    crypto_generichash(h.data(), h.size(), reinterpret_cast<const unsigned char *>(bytes.data()),
        quint64(bytes.size()), nullptr, 0);
    return h;
}

QByteArray enHex(const Huella &huella)
{
    return QByteArray(reinterpret_cast<const char *>(huella.data()), qsizetype(huella.size()))
        .toHex();
}

QByteArray resumen(QByteArrayView bytes)
{
    return enHex(huellaBinaria(bytes));
}

bool iniciarFirmas()
{
    return sodium_init() >= 0;
}
