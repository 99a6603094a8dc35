#include "Sello.h"

#include "ColumnasReporte.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

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
// text in UTF-8. Written straight into `fila`: a collection hashes every row it reads.
void agregarCelda(QByteArray &fila, const Celda *c)
{
    char numero[32];
    if (!c || (c->tipo == Celda::Tipo::Texto && c->texto.isEmpty())) {
        fila += "e;";
    } else if (c->tipo == Celda::Tipo::Numero) {
        // Whole numbers, all a report holds, without the general formatting.
        const bool entero = std::abs(c->numero) < 1e15 && std::trunc(c->numero) == c->numero;
        fila += 'n';
        if (entero)
            fila.append(numero,
                std::to_chars(numero, numero + sizeof numero, qint64(c->numero)).ptr - numero);
        else
            fila += QByteArray::number(c->numero, 'g', 17);
        fila += ';';
    } else {
        const QString &t = c->texto;
        const bool ascii
            = std::all_of(t.begin(), t.end(), [](QChar x) { return x.unicode() < 0x80; });
        const QByteArray utf8 = ascii ? QByteArray() : t.toUtf8();
        fila += 't';
        fila.append(numero,
            std::to_chars(numero, numero + sizeof numero, ascii ? t.size() : utf8.size()).ptr
                - numero);
        fila += ':';
        if (ascii) {
            for (QChar x : t)
                fila += char(x.unicode());
        } else {
            fila += utf8;
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

std::optional<Sello> Sello::deLinea(QByteArrayView linea)
{
    std::array<QByteArrayView, kCampos> c;
    int n = 0;
    qsizetype inicio = 0;
    for (qsizetype i = 0; i <= linea.size(); ++i) {
        if (i < linea.size() && linea[i] != '\t')
            continue;
        if (n == kCampos)
            return std::nullopt;
        c[size_t(n++)] = linea.sliced(inicio, i - inicio);
        inicio = i + 1;
    }
    if (n != kCampos || c[0] != "S1")
        return std::nullopt;
    Sello s;
    bool numero = false;
    bool filaNumero = false;
    s.estacion = QString::fromUtf8(c[1]);
    s.secuencia = c[2].toLongLong(&numero);
    s.fecha = QString::fromUtf8(c[3]);
    s.archivo = QString::fromUtf8(c[4]);
    s.fila = c[5].toInt(&filaNumero);
    s.huellaFila = c[6].toByteArray();
    s.previo = c[7].toByteArray();
    s.firma = c[8].toByteArray();
    // Numbers only as the station writes them. A text that is no UTF-8 reads otherwise and
    // fails its signature, or breaks the chain, whose hashes are of the line's own bytes.
    if (!numero || !filaNumero || s.secuencia < 1 || s.estacion.isEmpty() || s.firma.isEmpty()
        || QByteArray::number(s.secuencia) != c[2] || QByteArray::number(s.fila) != c[5])
        return std::nullopt;
    s.m_huella = resumen(linea);
    return s;
}

QString propiedadDelSello(int fila)
{
    return QStringLiteral("SelloFila%1").arg(fila);
}

QByteArray huellaDeFila(const CeldasFila &celdas)
{
    QByteArray fila;
    fila.reserve(256);
    for (int col = 1; col <= columnas::kUltima; ++col) {
        const auto it = celdas.find(col);
        agregarCelda(fila, it == celdas.end() ? nullptr : &it->second);
    }
    return resumen(fila);
}

QByteArray huellaDeFila(const QList<Celda> &celdas)
{
    QByteArray fila;
    fila.reserve(256);
    for (int col = 1; col <= columnas::kUltima; ++col)
        agregarCelda(fila, col <= celdas.size() ? &celdas[col - 1] : nullptr);
    return resumen(fila);
}

QByteArray resumen(QByteArrayView bytes)
{
    unsigned char h[crypto_generichash_BYTES];
    crypto_generichash(h, sizeof h, reinterpret_cast<const unsigned char *>(bytes.data()),
        quint64(bytes.size()), nullptr, 0);
    return QByteArray(reinterpret_cast<const char *>(h), sizeof h).toHex();
}

bool iniciarFirmas()
{
    return sodium_init() >= 0;
}
