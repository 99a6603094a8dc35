#include "Disco.h"

#include <QDir>
#include <QFile>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStorageInfo>
#include <QThread>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
// Below this much free space a failed write is put down to a full disk.
constexpr qint64 kEspacioMinimo = 256 * 1024;
// A lock file is written the moment it is created; empty for this long, its maker is gone.
constexpr qint64 kCerrojoVacioAbandonadoMs = 1000;

bool cerrojoVacioAbandonado(const QString &ruta)
{
    const QFileInfo info(ruta);
    return info.isFile() && info.size() == 0
        && info.lastModified().msecsTo(QDateTime::currentDateTime()) > kCerrojoVacioAbandonadoMs;
}
// What the portable file classes do not offer, one small function each: force a written
// file to the disk, replace a file by another in one step, and force a folder's entries.
bool asegurarEnDisco(QFileDevice &archivo)
{
    if (!archivo.flush())
        return false;
#ifdef Q_OS_WIN
    return ::_commit(archivo.handle()) == 0;
#else
    return ::fsync(archivo.handle()) == 0;
#endif
}

bool reemplazarArchivo(const QString &origen, const QString &destino, QString *error)
{
#ifdef Q_OS_WIN
    const bool bien = ::MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(origen).utf16()),
                                    reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(destino).utf16()),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!bien && error)
        *error = qt_error_string(int(::GetLastError()));
    return bien;
#else
    const bool bien = ::rename(QFile::encodeName(origen).constData(), QFile::encodeName(destino).constData()) == 0;
    if (!bien && error)
        *error = qt_error_string(errno);
    return bien;
#endif
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

} // namespace

QString textoCausa(CausaFallo causa)
{
    switch (causa) {
    case CausaFallo::Ninguna:
        return QStringLiteral("sin error");
    case CausaFallo::SinEspacio:
        return QStringLiteral("no hay espacio libre en el disco");
    case CausaFallo::SinPermiso:
        return QStringLiteral("no se puede escribir en la carpeta de la estación (solo lectura o sin permiso)");
    case CausaFallo::SinCarpeta:
        return QStringLiteral("no se encuentra la carpeta de la estación");
    case CausaFallo::EnUso:
        return QStringLiteral("otro programa de la estación está guardando el mismo libro");
    case CausaFallo::ArchivoAbierto:
        return QStringLiteral("el archivo está abierto en otro programa");
    case CausaFallo::LibroIlegible:
        return QStringLiteral("el libro de resultados del alumno está dañado; no se lo reemplazó");
    case CausaFallo::NoCoincide:
        return QStringLiteral("lo escrito en el disco no coincide con las respuestas");
    case CausaFallo::Escritura:
        return QStringLiteral("falla al escribir en el disco");
    }
    return QStringLiteral("falla desconocida");
}

QString Resultado::texto() const
{
    if (detalle.isEmpty())
        return textoCausa(causa);
    return QStringLiteral("%1 (%2)").arg(textoCausa(causa), detalle);
}

CausaFallo causaDeEscritura(const QString &carpeta, int errorArchivo)
{
    const QFileInfo info(carpeta);
    if (!info.isDir())
        return CausaFallo::SinCarpeta;
    const QStorageInfo disco(carpeta);
    if (errorArchivo == QFileDevice::ResourceError
        || (disco.isValid() && disco.bytesAvailable() >= 0 && disco.bytesAvailable() < kEspacioMinimo))
        return CausaFallo::SinEspacio;
    if (errorArchivo == QFileDevice::PermissionsError || !info.isWritable()
        || (disco.isValid() && disco.isReadOnly()))
        return CausaFallo::SinPermiso;
    return CausaFallo::Escritura;
}

Resultado DiscoLocal::leer(const QString &ruta, qint64 maxBytes, QByteArray *bytes)
{
    bytes->clear();
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadOnly))
        return Resultado::fallo(archivo.error() == QFileDevice::PermissionsError ? CausaFallo::SinPermiso
                                                                               : CausaFallo::Escritura,
                                archivo.errorString());
    *bytes = archivo.read(maxBytes + 1);
    if (archivo.error() != QFileDevice::NoError)
        return Resultado::fallo(CausaFallo::Escritura, archivo.errorString());
    if (bytes->size() > maxBytes)
        return Resultado::fallo(CausaFallo::LibroIlegible, QStringLiteral("archivo demasiado grande"));
    return {};
}

Resultado DiscoLocal::escribir(const QString &ruta, const QByteArray &bytes)
{
    const QString carpeta = QFileInfo(ruta).absolutePath();
    auto simulado = [](const char *paso) {
        return Resultado::fallo(CausaFallo::SinEspacio, QStringLiteral("disco lleno al %1 (simulado)").arg(QLatin1String(paso)));
    };
    QSaveFile archivo(ruta);
    // Never written in place: a failure leaves no file of that name.
    archivo.setDirectWriteFallback(false);
    if (fallaAntesDe(PasoEscritura::Abrir))
        return simulado("abrir");
    if (!archivo.open(QIODevice::WriteOnly))
        return Resultado::fallo(causaDeEscritura(carpeta, archivo.error()), archivo.errorString());
    auto fallar = [&](int error, const QString &detalle) {
        archivo.cancelWriting();
        return Resultado::fallo(causaDeEscritura(carpeta, error), detalle);
    };
    if (fallaAntesDe(PasoEscritura::Escribir)) {
        archivo.cancelWriting();
        return simulado("escribir");
    }
    if (archivo.write(bytes) != bytes.size() || !archivo.flush())
        return fallar(archivo.error(), archivo.errorString());
    if (fallaAntesDe(PasoEscritura::AsegurarDatos)) {
        archivo.cancelWriting();
        return simulado("asegurar los datos");
    }
    if (!asegurarEnDisco(archivo))
        return fallar(QFileDevice::WriteError, QStringLiteral("no se pudo asegurar el archivo en el disco"));
    if (fallaAntesDe(PasoEscritura::Cerrar)) {
        archivo.cancelWriting();
        return simulado("cerrar");
    }
    if (!archivo.commit())
        return Resultado::fallo(causaDeEscritura(carpeta, archivo.error()), archivo.errorString());
    return {};
}

Resultado DiscoLocal::reemplazar(const QString &origen, const QString &destino)
{
    const QString carpeta = QFileInfo(destino).absolutePath();
    if (fallaAntesDe(PasoEscritura::Reemplazar))
        return Resultado::fallo(CausaFallo::SinEspacio, QStringLiteral("disco lleno al reemplazar (simulado)"));
    QString error;
    if (!reemplazarArchivo(origen, destino, &error)) {
        const CausaFallo causa = causaDeEscritura(carpeta, QFileDevice::RenameError);
        // On a writable disk with room, replacing fails when another program keeps the file.
        return Resultado::fallo(causa == CausaFallo::Escritura ? CausaFallo::ArchivoAbierto : causa, error);
    }
    // The new file is in place; forcing the folder makes it survive a power cut.
    if (fallaAntesDe(PasoEscritura::AsegurarCarpeta) || !asegurarCarpeta(carpeta))
        return Resultado::fallo(CausaFallo::Escritura, QStringLiteral("no se pudo asegurar la carpeta en el disco"));
    return {};
}

bool DiscoLocal::borrar(const QString &ruta)
{
    return QFile::remove(ruta);
}

bool tomarCerrojo(QLockFile &cerrojo, int esperaMs)
{
    cerrojo.setStaleLockTime(0);
    QElapsedTimer espera;
    espera.start();
    // Polled briefly: the holder is a save of a few milliseconds.
    for (;;) {
        if (cerrojo.tryLock(0))
            return true;
        if (cerrojo.error() != QLockFile::LockFailedError)
            return false;
        if (cerrojoVacioAbandonado(cerrojo.fileName()))
            QFile::remove(cerrojo.fileName());
        else if (espera.elapsed() >= esperaMs)
            return false;
        else
            QThread::msleep(2);
    }
}
