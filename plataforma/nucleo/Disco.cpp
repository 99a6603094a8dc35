#include "Disco.h"

#include "Entradas.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStorageInfo>
#include <QSysInfo>
#include <QThread>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

QString textoCausaDisco(CausaFallo causa)
{
    switch (causa) {
    case CausaFallo::SinEspacio:
        return QStringLiteral("no hay espacio libre en el disco");
    case CausaFallo::SinPermiso:
        return QStringLiteral("no se puede escribir en la carpeta (solo lectura o sin permiso)");
    case CausaFallo::SinCarpeta:
        return QStringLiteral("no se encuentra la carpeta");
    case CausaFallo::ArchivoAbierto:
        return QStringLiteral("el archivo está abierto en otro programa");
    case CausaFallo::NoEsArchivo:
        return QStringLiteral("en lugar del archivo hay una carpeta, una tubería o un enlace");
    case CausaFallo::ArchivoDemasiadoGrande:
        return QStringLiteral("el archivo es más grande de lo que se admite");
    case CausaFallo::ArchivoInexistente:
        return QStringLiteral("no se encuentra el archivo");
    case CausaFallo::LecturaNegada:
        return QStringLiteral("no hay permiso para leer el archivo");
    case CausaFallo::Lectura:
        return QStringLiteral("falla al leer el disco");
    case CausaFallo::Escritura:
        return QStringLiteral("falla al escribir en el disco");
    case CausaFallo::NoCoincide:
        return QStringLiteral("lo escrito en el disco no coincide al leerlo de nuevo");
    default:
        return {};
    }
}

namespace {
// Below this much free space a failed write is put down to a full disk.
constexpr qint64 kEspacioMinimo = 256 * 1024;
// A lock whose owner cannot be proven alive is given up on once it has stood still this long:
// its maker writes it the moment it creates it.
constexpr qint64 kCerrojoQuietoMs = 1000;
// A lock file is a few short lines; more than this is not one.
constexpr qint64 kMaxBytesCerrojo = 4096;

QByteArray leerCerrojo(const QString &ruta)
{
    QFile archivo;
    if (!abrirArchivoOrdinario(archivo, ruta).ok())
        return {};
    return archivo.read(kMaxBytesCerrojo);
}

// What a lock file says of its owner: its process number, program and machine, one a line.
struct DuenoCerrojo {
    qint64 pid = 0;
    QString programa;
    QString maquina;
    bool legible() const { return pid > 0; }
};

DuenoCerrojo duenoDe(const QByteArray &contenido)
{
    const QList<QByteArray> lineas = contenido.split('\n');
    DuenoCerrojo dueno;
    bool ok = false;
    const qint64 pid = lineas.value(0).toLongLong(&ok);
    if (!ok || pid <= 0 || lineas.size() < 3)
        return dueno;
    dueno.pid = pid;
    dueno.programa = QString::fromUtf8(lineas.at(1));
    dueno.maquina = QString::fromUtf8(lineas.at(2));
    return dueno;
}

#ifdef Q_OS_LINUX
QString ejecutableDe(const QString &proc)
{
    QString destino = QFileInfo(proc + QStringLiteral("/exe")).symLinkTarget();
    // A program rebuilt while it runs still is that program.
    if (destino.endsWith(QLatin1String(" (deleted)")))
        destino.chop(10);
    return destino;
}
#endif

// True only when the owner is proven alive: a process of this machine running this same
// program (a station of another folder, or another program that reuses the number, is not).
bool duenoVivo(const DuenoCerrojo &dueno)
{
    if (!dueno.legible())
        return false;
    if (!dueno.maquina.isEmpty() && dueno.maquina != QSysInfo::machineHostName())
        return false;
    if (dueno.pid == QCoreApplication::applicationPid())
        return true;
#ifdef Q_OS_WIN
    // The lock's own check has already given up the locks of processes that are gone.
    return true;
#else
    if (::kill(pid_t(dueno.pid), 0) != 0 && errno != EPERM)
        return false;
#ifdef Q_OS_LINUX
    const QString suyo = ejecutableDe(QStringLiteral("/proc/%1").arg(dueno.pid));
    if (!suyo.isEmpty())
        return suyo == ejecutableDe(QStringLiteral("/proc/self"));
#endif
    // Not ours to look at: alive, and so taken as the owner.
    return true;
#endif
}

#ifdef Q_OS_WIN
// Replaces a file by another in one step, what the portable file classes do not offer.
Resultado reemplazarArchivo(const QString &origen, const QString &destino)
{
    const bool bien
        = ::MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(origen).utf16()),
            reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(destino).utf16()),
            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (bien)
        return {};
    const QString detalle = qt_error_string(int(::GetLastError()));
    // On a writable disk with room, replacing fails when another program keeps the file.
    const CausaFallo causa
        = causaDeEscritura(QFileInfo(destino).absolutePath(), QFileDevice::RenameError);
    return falloDisco(causa == CausaFallo::Escritura ? CausaFallo::ArchivoAbierto : causa, detalle);
}
#endif

#ifndef Q_OS_WIN
// Six letters or digits, as the staged copies of a file are named.
QString sufijoAlAzar()
{
    static const char kLetras[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString sufijo;
    for (int i = 0; i < 6; ++i)
        sufijo
            += QLatin1Char(kLetras[QRandomGenerator::global()->bounded(int(sizeof kLetras) - 1)]);
    return sufijo;
}

// What a failed call of the system says, as a cause a supervisor can act on and its text.
Resultado falloDeSistema(const QString &carpeta, int numero)
{
    CausaFallo causa;
    switch (numero) {
    case ENOSPC:
    case EDQUOT:
        causa = CausaFallo::SinEspacio;
        break;
    case EROFS:
    case EACCES:
    case EPERM:
        causa = CausaFallo::SinPermiso;
        break;
    case ETXTBSY:
    case EBUSY:
        causa = CausaFallo::ArchivoAbierto;
        break;
    case ELOOP:
    case EISDIR:
        causa = CausaFallo::NoEsArchivo;
        break;
    default:
        causa = QFileInfo(carpeta).isDir() ? CausaFallo::Escritura : CausaFallo::SinCarpeta;
        break;
    }
    return falloDisco(causa, textoErrorSistema(numero));
}

// Forces a folder's entries to the disk; errno says why it could not.
int asegurarCarpetaDelSistema(const char *carpeta)
{
    const int fd = ::open(carpeta, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const int r = ::fsync(fd);
    const int numero = errno;
    ::close(fd);
    errno = numero;
    return r;
}

// The folder's entries forced to the disk, after a rename into it.
Resultado asegurarCarpeta(const LlamadasDisco &llamadas, const QString &carpeta)
{
    if (llamadas.asegurarCarpeta(QFile::encodeName(carpeta).constData()) == 0)
        return {};
    Resultado r = falloDeSistema(carpeta, errno);
    r.detalle = QStringLiteral("no se pudo asegurar la carpeta en el disco: ") + r.detalle;
    return r;
}
#endif

} // namespace

LlamadasDisco LlamadasDisco::delSistema()
{
    LlamadasDisco l;
#ifndef Q_OS_WIN
    l.crear = [](const char *ruta) {
        return ::open(ruta, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    };
    l.escribir = [](int fd, const char *datos, std::size_t largo) {
        return static_cast<long long>(::write(fd, datos, largo));
    };
    l.asegurarDatos = [](int fd) { return ::fsync(fd); };
    l.cerrar = [](int fd) { return ::close(fd); };
    l.renombrar = [](const char *origen, const char *destino) { return ::rename(origen, destino); };
    l.asegurarCarpeta = asegurarCarpetaDelSistema;
#endif
    return l;
}

Resultado DiscoLocal::agregarAlFinal(const QString &ruta, const QByteArray &bytes)
{
    const QString carpeta = QFileInfo(ruta).absolutePath();
    const TipoEntrada tipo = tipoEntrada(ruta);
    if (tipo != TipoEntrada::Archivo && tipo != TipoEntrada::Ninguna)
        return falloDisco(CausaFallo::NoEsArchivo,
            QStringLiteral("en \"%1\" hay %2").arg(ruta, nombreTipoEntrada(tipo)));
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly | QIODevice::Append))
        return falloDisco(causaDeEscritura(carpeta, archivo.error()), archivo.errorString());
    if (archivo.write(bytes) != bytes.size() || !asegurarArchivo(archivo))
        return falloDisco(causaDeEscritura(carpeta, archivo.error()), archivo.errorString());
    archivo.close();
#ifndef Q_OS_WIN
    if (tipo == TipoEntrada::Ninguna)
        return asegurarCarpeta(m_llamadas, carpeta);
#endif
    return {};
}

DiscoLocal::DiscoLocal()
    : m_llamadas(LlamadasDisco::delSistema())
{
}

DiscoLocal::DiscoLocal(LlamadasDisco llamadas)
    : m_llamadas(std::move(llamadas))
{
}

CausaFallo causaDeEscritura(const QString &carpeta, int errorArchivo)
{
    const QFileInfo info(carpeta);
    if (!info.isDir())
        return CausaFallo::SinCarpeta;
    const QStorageInfo disco(carpeta);
    if (errorArchivo == QFileDevice::ResourceError
        || (disco.isValid() && disco.bytesAvailable() >= 0
            && disco.bytesAvailable() < kEspacioMinimo))
        return CausaFallo::SinEspacio;
    if (errorArchivo == QFileDevice::PermissionsError || !info.isWritable()
        || (disco.isValid() && disco.isReadOnly()))
        return CausaFallo::SinPermiso;
    return CausaFallo::Escritura;
}

Resultado DiscoLocal::leer(const QString &ruta, qint64 maxBytes, QByteArray *bytes)
{
    bytes->clear();
    QFile archivo;
    if (const Resultado abierto = abrirArchivoOrdinario(archivo, ruta); !abierto.ok())
        return abierto;
    const auto demasiadoGrande = [&] {
        bytes->clear();
        return falloDisco(
            CausaFallo::ArchivoDemasiadoGrande, QStringLiteral("más de %1 bytes").arg(maxBytes));
    };
    if (archivo.size() > maxBytes)
        return demasiadoGrande();
    // Read for the size it has: a buffer of the largest size allowed would cost far more. A
    // file that grows meanwhile is read on, up to the limit.
    *bytes = archivo.read(archivo.size() + 1);
    while (archivo.error() == QFileDevice::NoError && bytes->size() <= maxBytes && !archivo.atEnd())
        bytes->append(archivo.read(65536));
    if (archivo.error() != QFileDevice::NoError) {
        bytes->clear();
        return falloDisco(CausaFallo::Lectura, archivo.errorString());
    }
    if (bytes->size() > maxBytes)
        return demasiadoGrande();
    return {};
}

Resultado DiscoLocal::escribir(const QString &ruta, const QByteArray &bytes)
{
    if (const TipoEntrada tipo = tipoEntrada(ruta);
        tipo != TipoEntrada::Ninguna && tipo != TipoEntrada::Archivo)
        return falloDisco(CausaFallo::NoEsArchivo,
            QStringLiteral("en su lugar hay %1: no se escribe a través de él")
                .arg(nombreTipoEntrada(tipo)));
#ifdef Q_OS_WIN
    return escribirConArchivoSeguro(ruta, bytes);
#else
    return escribirPorRenombre(ruta, bytes);
#endif
}

#ifdef Q_OS_WIN
Resultado DiscoLocal::escribirConArchivoSeguro(const QString &ruta, const QByteArray &bytes)
{
    const QString carpeta = QFileInfo(ruta).absolutePath();
    QSaveFile archivo(ruta);
    // Never written in place: a failure leaves no file of that name.
    archivo.setDirectWriteFallback(false);
    if (!archivo.open(QIODevice::WriteOnly))
        return falloDisco(causaDeEscritura(carpeta, archivo.error()), archivo.errorString());
    auto fallar = [&](const Resultado &r) {
        archivo.cancelWriting();
        return r;
    };
    if (archivo.write(bytes) != bytes.size() || !archivo.flush())
        return fallar(
            falloDisco(causaDeEscritura(carpeta, archivo.error()), archivo.errorString()));
    if (!asegurarArchivo(archivo))
        return fallar(falloDisco(causaDeEscritura(carpeta, QFileDevice::WriteError),
            QStringLiteral("no se pudo asegurar el archivo en el disco")));
    if (!archivo.commit())
        return falloDisco(causaDeEscritura(carpeta, archivo.error()), archivo.errorString());
    return {};
}
#else
Resultado DiscoLocal::escribirPorRenombre(const QString &ruta, const QByteArray &bytes)
{
    const QString carpeta = QFileInfo(ruta).absolutePath();
    // Staged beside the file under a name of its own, never through a link (O_NOFOLLOW,
    // O_EXCL), so nothing but the rename below ever touches the name.
    const QByteArray temporal = QFile::encodeName(ruta + QLatin1Char('.') + sufijoAlAzar());
    const int fd = m_llamadas.crear(temporal.constData());
    if (fd < 0)
        return falloDeSistema(carpeta, errno);
    auto fallar = [&](int numero, bool abierto) {
        if (abierto)
            ::close(fd);
        ::unlink(temporal.constData());
        return falloDeSistema(carpeta, numero);
    };
    for (qsizetype escritos = 0; escritos < bytes.size();) {
        const long long n = m_llamadas.escribir(
            fd, bytes.constData() + escritos, std::size_t(bytes.size() - escritos));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fallar(n < 0 ? errno : ENOSPC, true);
        escritos += qsizetype(n);
    }
    if (m_llamadas.asegurarDatos(fd) != 0)
        return fallar(errno, true);
    if (m_llamadas.cerrar(fd) != 0)
        return fallar(errno, false);
    const Resultado puesto = DiscoLocal::reemplazar(QFile::decodeName(temporal), ruta);
    if (!puesto.ok())
        ::unlink(temporal.constData()); // gone already when only the folder could not be forced
    return puesto;
}
#endif

void borrarCopiasPreparadas(IDisco &disco, const QString &ruta)
{
    const QFileInfo info(ruta);
    const QRegularExpression copia(QLatin1Char('^') + QRegularExpression::escape(info.fileName())
        + QStringLiteral("\\.[A-Za-z0-9]{6}$"));
    const QDir carpeta = info.absoluteDir();
    for (const QString &nombre : carpeta.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (copia.match(nombre).hasMatch())
            disco.borrar(carpeta.filePath(nombre));
    }
}

void ignorarLimiteDeTamano()
{
#ifndef Q_OS_WIN
    ::signal(SIGXFSZ, SIG_IGN);
#endif
}

bool asegurarArchivo(QFileDevice &archivo)
{
#ifdef Q_OS_WIN
    return archivo.flush() && ::_commit(archivo.handle()) == 0;
#else
    return archivo.flush() && ::fsync(archivo.handle()) == 0;
#endif
}

Resultado DiscoLocal::reemplazar(const QString &origen, const QString &destino)
{
#ifdef Q_OS_WIN
    // The folder entry is written with the file on this platform.
    return reemplazarArchivo(origen, destino);
#else
    const QString carpeta = QFileInfo(destino).absolutePath();
    if (m_llamadas.renombrar(
            QFile::encodeName(origen).constData(), QFile::encodeName(destino).constData())
        != 0)
        return falloDeSistema(carpeta, errno);
    // The new file is in place; forcing the folder makes it survive a power cut.
    return asegurarCarpeta(m_llamadas, carpeta);
#endif
}

bool DiscoLocal::borrar(const QString &ruta)
{
    return QFile::remove(ruta);
}

bool tomarCerrojo(QLockFile &cerrojo, int esperaMs)
{
    cerrojo.setStaleLockTime(0);
    const QString ruta = cerrojo.fileName();
    QElapsedTimer espera;
    espera.start();
    QByteArray visto;
    QElapsedTimer quieto;
    for (int apartados = 0;;) {
        const TipoEntrada tipo = tipoEntrada(ruta);
        if (tipo != TipoEntrada::Ninguna && tipo != TipoEntrada::Archivo) {
            // Never opened, since a pipe would be waited on for ever: set aside for whoever
            // wants to look at it, and the lock is made anew.
            if (++apartados > 3
                || (apartarEntrada(ruta, QStringLiteral(".descartado-")).isEmpty()
                    && !QFile::remove(ruta)))
                return false;
            continue;
        }
        // Polled briefly: the holder is a save of a few milliseconds.
        if (cerrojo.tryLock(0))
            return true;
        if (cerrojo.error() != QLockFile::LockFailedError)
            return false;
        const QByteArray contenido = leerCerrojo(ruta);
        if (!quieto.isValid() || contenido != visto) {
            visto = contenido;
            quieto.start();
        }
        const DuenoCerrojo dueno = duenoDe(contenido);
        if (!duenoVivo(dueno)) {
            const qint64 edad
                = QFileInfo(ruta).lastModified().msecsTo(QDateTime::currentDateTime());
            // A process that is gone is given up on at once; a lock that names nobody once it
            // has stood still, however long the caller meant to wait.
            const bool abandonado = dueno.legible() || quieto.elapsed() >= kCerrojoQuietoMs
                || edad > kCerrojoQuietoMs;
            if (abandonado && leerCerrojo(ruta) == contenido) {
                QFile::remove(ruta);
                continue;
            }
            if (!abandonado) {
                QThread::msleep(10);
                continue;
            }
        }
        if (espera.elapsed() >= esperaMs)
            return false;
        QThread::msleep(2);
    }
}

QString describirCerrojo(const QLockFile &cerrojo)
{
    const QString ruta = QFileInfo(cerrojo.fileName()).absoluteFilePath();
    const DuenoCerrojo dueno = duenoDe(leerCerrojo(ruta));
    if (!dueno.legible())
        return QStringLiteral("el bloqueo es el archivo \"%1\"").arg(ruta);
    return QStringLiteral("el bloqueo es el archivo \"%1\", del proceso %2 (%3)")
        .arg(ruta)
        .arg(dueno.pid)
        .arg(dueno.programa);
}
