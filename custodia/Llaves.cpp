#include "Llaves.h"

#include "Disco.h"
#include "Sello.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sodium.h>

namespace {

const QList<QByteArray> kNinguna;

QString rutaLlavePrivada(const QByteArray &clavePublica)
{
    return QDir(carpetaDeLlaves())
        .filePath(QString::fromLatin1(clavePublica.toHex()) + QStringLiteral(".llave"));
}

// The private key's file, made new and readable by its owner alone from the start, and forced
// to the disk.
Resultado guardarLlavePrivada(const QByteArray &clavePublica, const QByteArray &privada)
{
    const QString carpeta = carpetaDeLlaves();
    if (!QDir().mkpath(carpeta))
        return falloDisco(causaDeEscritura(carpeta, QFileDevice::WriteError),
            QStringLiteral("no se puede crear la carpeta de llaves %1")
                .arg(QDir::toNativeSeparators(carpeta)));
    QFile::setPermissions(
        carpeta, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile archivo(rutaLlavePrivada(clavePublica));
    if (!archivo.open(QIODevice::WriteOnly | QIODevice::NewOnly,
            QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return falloDisco(causaDeEscritura(carpeta, archivo.error()),
            QStringLiteral("no se puede crear la llave: %1").arg(archivo.errorString()));
    if (archivo.write(privada) != privada.size() || !asegurarArchivo(archivo)) {
        const CausaFallo causa = causaDeEscritura(carpeta, archivo.error());
        archivo.remove();
        return falloDisco(causa, QStringLiteral("no se puede escribir la llave"));
    }
    return {};
}

// The register's lines as they stand, or none when there is no register yet.
Resultado leerLineasRegistro(const QString &ruta, QStringList *lineas)
{
    lineas->clear();
    QByteArray bytes;
    const Resultado r = DiscoLocal().leer(ruta, 16 * 1024 * 1024, &bytes);
    if (r.causa == CausaFallo::ArchivoInexistente)
        return {};
    if (!r.ok())
        return r;
    *lineas = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    while (!lineas->isEmpty() && lineas->last().trimmed().isEmpty())
        lineas->removeLast();
    return {};
}

Resultado escribirIdentidad(const QString &carpetaEstacion, const IdentidadEstacion &identidad)
{
    DiscoLocal disco;
    return disco.escribir(rutaIdentidad(carpetaEstacion),
        (identidad.nombre + QLatin1Char('\t')
            + QString::fromLatin1(identidad.clavePublica.toBase64()) + QLatin1Char('\n'))
            .toUtf8());
}

} // namespace

QString rutaIdentidad(const QString &carpetaEstacion)
{
    return QDir(carpetaEstacion).filePath(QStringLiteral(".identidad-estacion"));
}

Resultado leerIdentidad(const QString &carpetaEstacion, IdentidadEstacion *identidad)
{
    *identidad = {};
    QByteArray bytes;
    if (const Resultado r = DiscoLocal().leer(rutaIdentidad(carpetaEstacion), 4096, &bytes);
        !r.ok())
        return r;
    const QStringList campos = QString::fromUtf8(bytes).trimmed().split(QLatin1Char('\t'));
    const QByteArray clave
        = campos.size() == 2 ? QByteArray::fromBase64(campos[1].toLatin1()) : QByteArray();
    if (clave.size() != crypto_sign_PUBLICKEYBYTES || !nombreDeEstacionValido(campos[0]))
        return falloCustodia(CausaFallo::LlaveIlegible,
            QStringLiteral("%1 no nombra una estación")
                .arg(QDir::toNativeSeparators(rutaIdentidad(carpetaEstacion))));
    *identidad = { campos[0], clave };
    return {};
}

QString carpetaDeLlaves()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("ORBELA/llaves"));
}

bool nombreDeEstacionValido(const QString &nombre)
{
    if (nombre.trimmed().isEmpty() || nombre.size() > 80 || nombre != nombre.trimmed())
        return false;
    return std::none_of(nombre.begin(), nombre.end(),
        [](QChar c) { return c.unicode() < 32 || c.unicode() == 127; });
}

Resultado RegistroEstaciones::leer(const QString &ruta, RegistroEstaciones *registro)
{
    registro->m_llaves.clear();
    QByteArray bytes;
    if (const Resultado r = DiscoLocal().leer(ruta, 16 * 1024 * 1024, &bytes); !r.ok())
        return r;
    int numero = 0;
    for (const QString &linea : QString::fromUtf8(bytes).split(QLatin1Char('\n'))) {
        ++numero;
        const QString limpia = linea.trimmed();
        if (limpia.isEmpty() || limpia.startsWith(QLatin1Char('#')))
            continue;
        const QStringList campos = limpia.split(QLatin1Char('\t'));
        const QByteArray clave
            = campos.size() >= 2 ? QByteArray::fromBase64(campos[1].toLatin1()) : QByteArray();
        if (clave.size() != crypto_sign_PUBLICKEYBYTES || !nombreDeEstacionValido(campos[0]))
            return falloCustodia(CausaFallo::RegistroIlegible,
                QStringLiteral("%1, línea %2").arg(QDir::toNativeSeparators(ruta)).arg(numero));
        registro->m_llaves[campos[0]].append(clave);
    }
    return {};
}

QStringList RegistroEstaciones::estaciones() const
{
    QStringList nombres;
    for (const auto &[nombre, llaves] : m_llaves)
        nombres << nombre;
    return nombres;
}

const QList<QByteArray> &RegistroEstaciones::llaves(const QString &estacion) const
{
    const auto it = m_llaves.find(estacion);
    return it == m_llaves.end() ? kNinguna : it->second;
}

bool RegistroEstaciones::firmaValida(
    const QString &estacion, const QByteArray &mensaje, const QByteArray &firma) const
{
    const QByteArray bytes = QByteArray::fromBase64(firma);
    if (bytes.size() != crypto_sign_BYTES)
        return false;
    for (const QByteArray &clave : llaves(estacion)) {
        if (crypto_sign_verify_detached(reinterpret_cast<const unsigned char *>(bytes.constData()),
                reinterpret_cast<const unsigned char *>(mensaje.constData()),
                quint64(mensaje.size()), reinterpret_cast<const unsigned char *>(clave.constData()))
            == 0)
            return true;
    }
    return false;
}

Resultado RegistroEstaciones::agregar(
    const QString &ruta, const IdentidadEstacion &identidad, QDate fecha)
{
    QStringList lineas;
    if (const Resultado r = leerLineasRegistro(ruta, &lineas); !r.ok())
        return r;
    if (lineas.isEmpty())
        lineas << QStringLiteral("# Registro de estaciones: nombre, llave pública y fecha");
    lineas << QStringList { identidad.nombre,
        QString::fromLatin1(identidad.clavePublica.toBase64()), fecha.toString(Qt::ISODate) }
                  .join(QLatin1Char('\t'));
    return DiscoLocal().escribir(
        ruta, (lineas.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

Resultado leerLlavePrivada(
    const QString &carpetaEstacion, IdentidadEstacion *identidad, QByteArray *privada)
{
    privada->clear();
    const Resultado r = leerIdentidad(carpetaEstacion, identidad);
    if (r.causa == CausaFallo::ArchivoInexistente)
        return {};
    if (!r.ok())
        return r;
    QByteArray bytes;
    if (const Resultado l
        = DiscoLocal().leer(rutaLlavePrivada(identidad->clavePublica), 1024, &bytes);
        !l.ok())
        return falloCustodia(CausaFallo::LlaveIlegible,
            QStringLiteral("la llave de la estación %1 no está en esta computadora: %2")
                .arg(identidad->nombre, l.texto()));
    // The private key holds its public half at its end: a key of another station is refused.
    if (bytes.size() != crypto_sign_SECRETKEYBYTES
        || bytes.right(crypto_sign_PUBLICKEYBYTES) != identidad->clavePublica)
        return falloCustodia(CausaFallo::LlaveIlegible,
            QStringLiteral("la llave guardada no es la de la estación %1").arg(identidad->nombre));
    *privada = bytes;
    return {};
}

namespace {

// A new pair for the station; the private half kept on this computer.
Resultado nuevasLlaves(const QString &nombre, IdentidadEstacion *identidad)
{
    QByteArray publica(crypto_sign_PUBLICKEYBYTES, '\0');
    QByteArray privada(crypto_sign_SECRETKEYBYTES, '\0');
    crypto_sign_keypair(reinterpret_cast<unsigned char *>(publica.data()),
        reinterpret_cast<unsigned char *>(privada.data()));
    const Resultado r = guardarLlavePrivada(publica, privada);
    sodium_memzero(privada.data(), size_t(privada.size()));
    *identidad = { nombre, publica };
    return r;
}

} // namespace

Resultado prepararLlaves(const QString &carpetaEstacion, const QString &nombre,
    const QString &rutaRegistro, LlavesPreparadas *hecho)
{
    if (!iniciarFirmas())
        return falloCustodia(CausaFallo::FirmaImposible);
    if (!nombreDeEstacionValido(nombre))
        return falloCustodia(
            CausaFallo::NombreDeEstacionInvalido, QStringLiteral("\"%1\"").arg(nombre));
    RegistroEstaciones registro;
    if (QFileInfo::exists(rutaRegistro)) {
        if (const Resultado r = RegistroEstaciones::leer(rutaRegistro, &registro); !r.ok())
            return r;
    }
    IdentidadEstacion actual;
    QByteArray privada;
    const Resultado propia = leerLlavePrivada(carpetaEstacion, &actual, &privada);
    if (propia.ok() && !privada.isEmpty()) {
        // Prepared here before: it keeps its keys, and its name.
        if (hecho)
            *hecho = LlavesPreparadas::Existentes;
        if (registro.llaves(actual.nombre).contains(actual.clavePublica))
            return {};
        if (registro.conoce(actual.nombre))
            return falloCustodia(CausaFallo::EstacionYaRegistrada, actual.nombre);
        return RegistroEstaciones::agregar(rutaRegistro, actual, QDate::currentDate());
    }
    // A station moved to this computer keeps its name; any other name must be free.
    const bool mismaEstacion = !actual.nombre.isEmpty() && actual.nombre == nombre
        && registro.llaves(nombre).contains(actual.clavePublica);
    if (registro.conoce(nombre) && !mismaEstacion)
        return falloCustodia(CausaFallo::EstacionYaRegistrada, nombre);
    IdentidadEstacion nueva;
    if (const Resultado r = nuevasLlaves(nombre, &nueva); !r.ok())
        return r;
    if (const Resultado r = RegistroEstaciones::agregar(rutaRegistro, nueva, QDate::currentDate());
        !r.ok())
        return r;
    if (hecho)
        *hecho = LlavesPreparadas::Nuevas;
    return escribirIdentidad(carpetaEstacion, nueva);
}
