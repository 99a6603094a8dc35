#include "Diario.h"

#include "Disco.h"
#include "Entradas.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <sodium.h>

#include <future>
#include <mutex>
#include <optional>
#include <vector>

namespace {

// A journal larger than this is no station's: at a few hundred bytes a seal, it would hold
// more than a hundred thousand saves.
constexpr qint64 kMaxBytesDiario = 64 * 1024 * 1024;

} // namespace

QString rutaDiario(const QString &carpetaEstacion)
{
    return QDir(carpetaEstacion).filePath(QStringLiteral(".diario-sellos"));
}

Resultado leerDiario(const QString &carpetaEstacion, LecturaDiario *diario)
{
    *diario = {};
    QByteArray &bytes = diario->bytes;
    const Resultado r = DiscoLocal().leer(rutaDiario(carpetaEstacion), kMaxBytesDiario, &bytes);
    if (r.causa == CausaFallo::ArchivoInexistente)
        return {};
    if (!r.ok())
        return r;
    // What follows the last line end is a line still being written, or cut short.
    const qsizetype fin = bytes.lastIndexOf('\n');
    std::vector<QByteArrayView> lineas;
    for (qsizetype inicio = 0; inicio < fin;) {
        const qsizetype corte = bytes.indexOf('\n', inicio);
        if (corte > inicio)
            lineas.emplace_back(bytes.constData() + inicio, corte - inicio);
        inicio = corte + 1;
    }
    // A province's journals hold hundreds of thousands of seals: both halves at once. Each
    // line is only split where it lies and hashed.
    std::vector<std::optional<LineaDiario>> leidas(lineas.size());
    auto leer = [&](size_t desde, size_t hasta) {
        for (size_t i = desde; i < hasta; ++i) {
            if (const auto campos = camposDeSello(lineas[i]))
                leidas[i] = LineaDiario { *campos, huellaBinaria(lineas[i]) };
        }
    };
    auto mitad = std::async(std::launch::async, leer, lineas.size() / 2, lineas.size());
    leer(0, lineas.size() / 2);
    mitad.get();
    diario->lineas.reserve(leidas.size());
    for (std::optional<LineaDiario> &linea : leidas) {
        if (linea)
            diario->lineas.push_back(*linea);
        else
            ++diario->ilegibles;
    }
    if (fin + 1 < bytes.size())
        ++diario->ilegibles;
    return {};
}

namespace {

// The last whole seal of the journal, read from its end: a station's journal only grows, and a
// save must not take longer the more saves came before it. `cortado` says the file ends in
// the middle of a line.
Resultado ultimoSello(const QString &carpeta, std::optional<Sello> *ultimo, bool *cortado)
{
    ultimo->reset();
    *cortado = false;
    QFile archivo(rutaDiario(carpeta));
    if (!archivo.exists())
        return {};
    if (const Resultado r = abrirArchivoOrdinario(archivo, rutaDiario(carpeta)); !r.ok())
        return r;
    const qint64 largo = archivo.size();
    for (qint64 tramo = 4096;; tramo *= 4) {
        const qint64 desde = std::max<qint64>(0, largo - tramo);
        if (!archivo.seek(desde))
            return falloDisco(CausaFallo::Lectura, archivo.errorString());
        const QByteArray bytes = archivo.read(largo - desde);
        if (bytes.size() != largo - desde)
            return falloDisco(CausaFallo::Lectura, archivo.errorString());
        *cortado = !bytes.isEmpty() && !bytes.endsWith('\n');
        QList<QByteArray> lineas = bytes.split('\n');
        lineas.removeLast(); // after the last line end: empty, or a line cut short
        // The first piece may be the end of a line that began before this stretch.
        for (qsizetype i = lineas.size() - 1; i >= (desde > 0 ? 1 : 0); --i) {
            if (auto sello = Sello::deLinea(QByteArrayView(lineas[i]))) {
                *ultimo = std::move(sello);
                return {};
            }
        }
        if (desde == 0)
            return {};
    }
}

} // namespace

std::unique_ptr<SelladorEstacion> SelladorEstacion::cargar(
    const QString &carpetaEstacion, Resultado *motivo)
{
    *motivo = {};
    if (!iniciarFirmas()) {
        *motivo = falloCustodia(CausaFallo::FirmaImposible);
        return nullptr;
    }
    std::unique_ptr<SelladorEstacion> s(new SelladorEstacion);
    s->m_carpeta = carpetaEstacion;
    *motivo = leerLlavePrivada(carpetaEstacion, &s->m_identidad, &s->m_privada);
    if (!motivo->ok() || s->m_privada.isEmpty())
        return nullptr;
    return s;
}

SelladorEstacion::~SelladorEstacion()
{
    sodium_memzero(m_privada.data(), size_t(m_privada.size()));
}

Resultado SelladorEstacion::sellar(
    const QString &archivo, int fila, const CeldasFila &celdas, QString *propiedad, QString *sello)
{
    // One seal at a time, so that no two take the same place in the chain: the station holds
    // its folder alone (one station per folder), and its threads take turns here.
    const std::lock_guard<std::mutex> turno(m_turno);
    std::optional<Sello> ultimo;
    bool cortado = false;
    if (const Resultado r = ultimoSello(m_carpeta, &ultimo, &cortado); !r.ok())
        return r;
    Sello s;
    s.estacion = m_identidad.nombre;
    s.secuencia = ultimo ? ultimo->secuencia + 1 : 1;
    s.fecha = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    s.archivo = archivo;
    s.fila = fila;
    s.huellaFila = huellaDeFila(celdas);
    s.previo = ultimo ? ultimo->huella() : QByteArray("-");
    const QByteArray mensaje = s.mensaje();
    QByteArray firma(crypto_sign_BYTES, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char *>(firma.data()), nullptr,
        reinterpret_cast<const unsigned char *>(mensaje.constData()), quint64(mensaje.size()),
        reinterpret_cast<const unsigned char *>(m_privada.constData()));
    s.firma = firma.toBase64();
    // A line cut short by a kill is closed first, so that this one stands whole on its own.
    const QString linea = s.linea();
    QByteArray bytes = linea.toUtf8() + '\n';
    if (cortado)
        bytes.prepend('\n');
    if (const Resultado r = DiscoLocal().agregarAlFinal(rutaDiario(m_carpeta), bytes); !r.ok())
        return r.conDetalle(
            QStringLiteral("no se puede escribir el diario de sellos: %1").arg(r.detalle));
    *propiedad = propiedadDelSello(fila);
    *sello = linea;
    return {};
}
