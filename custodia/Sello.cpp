#include "Sello.h"

#include "ColumnasReporte.h"

#include <QCryptographicHash>

#include <sodium.h>

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

void agregarCelda(QCryptographicHash &h, const Celda *c)
{
    if (!c || (c->tipo == Celda::Tipo::Texto && c->texto.isEmpty())) {
        h.addData("e;");
    } else if (c->tipo == Celda::Tipo::Numero) {
        h.addData(("n" + QByteArray::number(c->numero, 'g', 17) + ";"));
    } else {
        const QByteArray t = c->texto.toUtf8();
        h.addData("t" + QByteArray::number(t.size()) + ":");
        h.addData(t);
        h.addData(";");
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
    return QCryptographicHash::hash(linea().toUtf8(), QCryptographicHash::Sha256).toHex();
}

std::optional<Sello> Sello::deLinea(QStringView linea)
{
    const QList<QStringView> c = linea.split(QLatin1Char('\t'));
    if (c.size() != kCampos || c[0] != kVersion)
        return std::nullopt;
    Sello s;
    bool numero = false;
    bool filaNumero = false;
    s.estacion = c[1].toString();
    s.secuencia = c[2].toLongLong(&numero);
    s.fecha = c[3].toString();
    s.archivo = c[4].toString();
    s.fila = c[5].toInt(&filaNumero);
    s.huellaFila = c[6].toLatin1();
    s.previo = c[7].toLatin1();
    s.firma = c[8].toLatin1();
    if (!numero || !filaNumero || s.secuencia < 1 || s.estacion.isEmpty() || s.firma.isEmpty())
        return std::nullopt;
    // Only the line it came from: a seal read and written again must be the same bytes.
    if (s.linea() != linea)
        return std::nullopt;
    return s;
}

QString propiedadDelSello(int fila)
{
    return QStringLiteral("SelloFila%1").arg(fila);
}

QByteArray huellaDeFila(const CeldasFila &celdas)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    for (int col = 1; col <= columnas::kUltima; ++col) {
        const auto it = celdas.find(col);
        agregarCelda(h, it == celdas.end() ? nullptr : &it->second);
    }
    return h.result().toHex();
}

QByteArray huellaDeFila(const QList<Celda> &celdas)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    for (int col = 1; col <= columnas::kUltima; ++col)
        agregarCelda(h, col <= celdas.size() ? &celdas[col - 1] : nullptr);
    return h.result().toHex();
}

bool iniciarFirmas()
{
    return sodium_init() >= 0;
}
