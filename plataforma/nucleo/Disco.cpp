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

// What the portable file classes do not offer, one small function each: force a written
// file to the disk, replace a file by another in one step, and force a folder's entries.
Resultado reemplazarArchivo(const QString &origen, const QString &destino)
{
#ifdef Q_OS_WIN
    const bool bien
        = ::MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(origen).utf16()),
            reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(destino).utf16()),
            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    const QString detalle = bien ? QString() : qt_error_string(int(::GetLastError()));
#else
    const bool bien
        = ::rename(QFile::encodeName(origen).constData(), QFile::encodeName(destino).constData())
        == 0;
    const QString detalle = bien ? QString() : qt_error_string(errno);
#endif
    if (bien)
        return {};
    // On a writable disk with room, replacing fails when another program keeps the file.
    const CausaFallo causa
        = causaDeEscritura(QFileInfo(destino).absolutePath(), QFileDevice::RenameError);
    return Resultado::fallo(
        causa == CausaFallo::Escritura ? CausaFallo::ArchivoAbierto : causa, detalle);
}

bool asegurarCarpeta(const QString &carpeta)
{
#ifdef Q_OS_WIN
    // The folder entry is written with the file on this platform.
    Q_UNUSED(carpeta);
    return true;
#else
    const int fd = ::open(QFile::encodeName(carpeta).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool bien = ::fsync(fd) == 0;
    return ::close(fd) == 0 && bien;
#endif
}

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
    return Resultado::fallo(causa, textoErrorSistema(numero));
}
#endif

} // namespace

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
    // Read for the size it has: a buffer of the largest size allowed would cost far more.
    const qint64 tamano = archivo.size();
    if (tamano > maxBytes)
        return Resultado::fallo(
            CausaFallo::LibroIlegible, QStringLiteral("archivo demasiado grande"));
    *bytes = archivo.read(tamano + 1);
    if (archivo.error() != QFileDevice::NoError)
        return Resultado::fallo(CausaFallo::Lectura, archivo.errorString());
    if (bytes->size() > maxBytes)
        return Resultado::fallo(
            CausaFallo::LibroIlegible, QStringLiteral("archivo demasiado grande"));
    return {};
}

Resultado DiscoLocal::simulado(const char *paso) const
{
    return Resultado::fallo(CausaFallo::SinEspacio,
        QStringLiteral("disco lleno al %1 (simulado)").arg(QLatin1String(paso)));
}

Resultado DiscoLocal::escribir(const QString &ruta, const QByteArray &bytes)
{
    if (const TipoEntrada tipo = tipoEntrada(ruta);
        tipo != TipoEntrada::Ninguna && tipo != TipoEntrada::Archivo)
        return Resultado::fallo(CausaFallo::NoEsArchivo,
            QStringLiteral("en su lugar hay %1: no se escribe a través de él")
                .arg(nombreTipoEntrada(tipo)));
    if (fallaAntesDe(PasoEscritura::Abrir))
        return simulado("abrir");
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
        return Resultado::fallo(causaDeEscritura(carpeta, archivo.error()), archivo.errorString());
    auto fallar = [&](const Resultado &r) {
        archivo.cancelWriting();
        return r;
    };
    if (fallaAntesDe(PasoEscritura::Escribir))
        return fallar(simulado("escribir"));
    if (archivo.write(bytes) != bytes.size() || !archivo.flush())
        return fallar(
            Resultado::fallo(causaDeEscritura(carpeta, archivo.error()), archivo.errorString()));
    if (fallaAntesDe(PasoEscritura::AsegurarDatos))
        return fallar(simulado("asegurar los datos"));
    if (!asegurarArchivo(archivo))
        return fallar(Resultado::fallo(causaDeEscritura(carpeta, QFileDevice::WriteError),
            QStringLiteral("no se pudo asegurar el archivo en el disco")));
    if (fallaAntesDe(PasoEscritura::Cerrar))
        return fallar(simulado("cerrar"));
    if (!archivo.commit())
        return Resultado::fallo(causaDeEscritura(carpeta, archivo.error()), archivo.errorString());
    return {};
}
#else
Resultado DiscoLocal::escribirPorRenombre(const QString &ruta, const QByteArray &bytes)
{
    const QString carpeta = QFileInfo(ruta).absolutePath();
    // Staged beside the file under a name of its own, never through a link (O_NOFOLLOW,
    // O_EXCL), so nothing but the rename below ever touches the name.
    const QByteArray temporal = QFile::encodeName(ruta + QLatin1Char('.') + sufijoAlAzar());
    const int fd
        = ::open(temporal.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return falloDeSistema(carpeta, errno);
    auto fallar = [&](const Resultado &r) {
        ::close(fd);
        ::unlink(temporal.constData());
        return r;
    };
    if (fallaAntesDe(PasoEscritura::Escribir))
        return fallar(simulado("escribir"));
    for (qsizetype escritos = 0; escritos < bytes.size();) {
        const ssize_t n
            = ::write(fd, bytes.constData() + escritos, size_t(bytes.size() - escritos));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fallar(falloDeSistema(carpeta, n < 0 ? errno : ENOSPC));
        escritos += n;
    }
    if (fallaAntesDe(PasoEscritura::AsegurarDatos))
        return fallar(simulado("asegurar los datos"));
    if (::fsync(fd) != 0)
        return fallar(falloDeSistema(carpeta, errno));
    if (fallaAntesDe(PasoEscritura::Cerrar))
        return fallar(simulado("cerrar"));
    if (::close(fd) != 0) {
        const Resultado r = falloDeSistema(carpeta, errno);
        ::unlink(temporal.constData());
        return r;
    }
    if (::rename(temporal.constData(), QFile::encodeName(ruta).constData()) != 0) {
        const Resultado r = falloDeSistema(carpeta, errno);
        ::unlink(temporal.constData());
        return r;
    }
    // The rename is only kept through a power cut once the folder's entries are on the disk.
    if (!asegurarCarpeta(carpeta))
        return falloDeSistema(carpeta, errno);
    return {};
}
#endif

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
    const QString carpeta = QFileInfo(destino).absolutePath();
    if (fallaAntesDe(PasoEscritura::Reemplazar))
        return Resultado::fallo(
            CausaFallo::SinEspacio, QStringLiteral("disco lleno al reemplazar (simulado)"));
    if (const Resultado r = reemplazarArchivo(origen, destino); !r.ok())
        return r;
    // The new file is in place; forcing the folder makes it survive a power cut.
    if (fallaAntesDe(PasoEscritura::AsegurarCarpeta) || !asegurarCarpeta(carpeta))
        return Resultado::fallo(
            CausaFallo::Escritura, QStringLiteral("no se pudo asegurar la carpeta en el disco"));
    return {};
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
