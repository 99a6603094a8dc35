#include "Diario.h"

#include "Disco.h"

#include <QDateTime>
#include <QDir>
#include <QLockFile>

#include <sodium.h>

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
    QByteArray bytes;
    const Resultado r = DiscoLocal().leer(rutaDiario(carpetaEstacion), kMaxBytesDiario, &bytes);
    if (r.causa == CausaFallo::ArchivoInexistente)
        return {};
    if (!r.ok())
        return r;
    // What follows the last line end is a line still being written, or cut short.
    const qsizetype fin = bytes.lastIndexOf('\n');
    const QString texto = QString::fromUtf8(bytes.left(fin < 0 ? 0 : fin));
    for (QStringView linea : QStringView(texto).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (auto sello = Sello::deLinea(linea))
            diario->sellos.push_back(std::move(*sello));
        else
            ++diario->ilegibles;
    }
    if (fin + 1 < bytes.size())
        ++diario->ilegibles;
    return {};
}

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
    // One seal at a time in this folder, so that no two take the same place in the chain.
    QLockFile cerrojo(rutaDiario(m_carpeta) + QStringLiteral(".lock"));
    if (!tomarCerrojo(cerrojo, 10000))
        return falloDisco(causaDeEscritura(m_carpeta, QFileDevice::WriteError),
            QStringLiteral("no se puede tomar el bloqueo del diario de sellos"));
    LecturaDiario diario;
    if (const Resultado r = leerDiario(m_carpeta, &diario); !r.ok())
        return r;
    Sello s;
    s.estacion = m_identidad.nombre;
    s.secuencia = diario.sellos.empty() ? 1 : diario.sellos.back().secuencia + 1;
    s.fecha = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    s.archivo = archivo;
    s.fila = fila;
    s.huellaFila = huellaDeFila(celdas);
    s.previo = diario.sellos.empty() ? QByteArray("-") : diario.sellos.back().huella();
    const QByteArray mensaje = s.mensaje();
    QByteArray firma(crypto_sign_BYTES, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char *>(firma.data()), nullptr,
        reinterpret_cast<const unsigned char *>(mensaje.constData()), quint64(mensaje.size()),
        reinterpret_cast<const unsigned char *>(m_privada.constData()));
    s.firma = firma.toBase64();
    // A line cut short by a kill is closed first, so that this one stands whole on its own.
    const QString linea = s.linea();
    QByteArray bytes = linea.toUtf8() + '\n';
    if (diario.ilegibles > 0) {
        QByteArray todo;
        if (DiscoLocal().leer(rutaDiario(m_carpeta), kMaxBytesDiario, &todo).ok() && !todo.isEmpty()
            && !todo.endsWith('\n'))
            bytes.prepend('\n');
    }
    if (const Resultado r = DiscoLocal().agregarAlFinal(rutaDiario(m_carpeta), bytes); !r.ok())
        return r.conDetalle(
            QStringLiteral("no se puede escribir el diario de sellos: %1").arg(r.detalle));
    *propiedad = propiedadDelSello(fila);
    *sello = linea;
    return {};
}
