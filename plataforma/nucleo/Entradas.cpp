#include "Entradas.h"

#include "Disco.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

TipoEntrada tipoEntrada(const QString &ruta)
{
#ifdef Q_OS_WIN
    const QFileInfo info(ruta);
    if (info.isSymLink() || info.isJunction())
        return TipoEntrada::Enlace;
    if (!info.exists())
        return TipoEntrada::Ninguna;
    if (info.isDir())
        return TipoEntrada::Carpeta;
    return info.isFile() ? TipoEntrada::Archivo : TipoEntrada::Otro;
#else
    struct stat datos;
    if (::lstat(QFile::encodeName(ruta).constData(), &datos) != 0)
        return TipoEntrada::Ninguna;
    if (S_ISLNK(datos.st_mode))
        return TipoEntrada::Enlace;
    if (S_ISDIR(datos.st_mode))
        return TipoEntrada::Carpeta;
    return S_ISREG(datos.st_mode) ? TipoEntrada::Archivo : TipoEntrada::Otro;
#endif
}

QString nombreTipoEntrada(TipoEntrada tipo)
{
    switch (tipo) {
    case TipoEntrada::Ninguna:
        return QStringLiteral("nada");
    case TipoEntrada::Archivo:
        return QStringLiteral("un archivo");
    case TipoEntrada::Enlace:
        return QStringLiteral("un enlace");
    case TipoEntrada::Carpeta:
        return QStringLiteral("una carpeta");
    case TipoEntrada::Otro:
        return QStringLiteral("una tubería o un dispositivo");
    }
    return {};
}

Resultado abrirArchivoOrdinario(QFile &archivo, const QString &ruta)
{
    auto noOrdinario = [](TipoEntrada tipo) {
        return falloDisco(CausaFallo::NoEsArchivo,
            QStringLiteral("no es un archivo común sino %1").arg(nombreTipoEntrada(tipo)));
    };
    auto negado = [&archivo]() {
        const CausaFallo causa = !archivo.exists()             ? CausaFallo::ArchivoInexistente
            : archivo.error() == QFileDevice::PermissionsError ? CausaFallo::LecturaNegada
                                                               : CausaFallo::Lectura;
        return falloDisco(causa, archivo.errorString());
    };
#ifdef Q_OS_WIN
    const QFileInfo info(ruta);
    if (info.exists() && !info.isFile())
        return noOrdinario(info.isDir() ? TipoEntrada::Carpeta : TipoEntrada::Otro);
    archivo.setFileName(ruta);
    if (!archivo.open(QIODevice::ReadOnly))
        return negado();
    return {};
#else
    // O_NONBLOCK: opening a pipe for reading otherwise waits for a writer that may never come.
    const int fd = ::open(QFile::encodeName(ruta).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int numero = errno;
        const CausaFallo causa = numero == ENOENT ? CausaFallo::ArchivoInexistente
            : numero == EACCES || numero == EPERM ? CausaFallo::LecturaNegada
                                                  : CausaFallo::Lectura;
        return falloDisco(causa, textoErrorSistema(numero));
    }
    struct stat datos;
    if (::fstat(fd, &datos) != 0 || !S_ISREG(datos.st_mode)) {
        const bool carpeta = S_ISDIR(datos.st_mode);
        ::close(fd);
        return noOrdinario(carpeta ? TipoEntrada::Carpeta : TipoEntrada::Otro);
    }
    // An ordinary file never blocks; reads go on as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!archivo.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return negado();
    }
    return {};
#endif
}

QString textoErrorSistema(int numero)
{
    struct Texto {
        int numero;
        const char *nombre;
        const char *texto;
    };
    static const Texto kTextos[] = {
        { ENOSPC, "ENOSPC", "no queda espacio en el disco" },
#ifdef EDQUOT
        { EDQUOT, "EDQUOT", "se agotó el espacio asignado a este usuario en el disco" },
#endif
        { EFBIG, "EFBIG", "el archivo supera el tamaño máximo que admite el sistema" },
        { EROFS, "EROFS", "el disco es de solo lectura" },
        { EACCES, "EACCES", "permiso denegado" },
        { EPERM, "EPERM", "operación no permitida" },
        { ENOENT, "ENOENT", "no existe el archivo o la carpeta" },
        { ENOTDIR, "ENOTDIR", "una parte de la ruta no es una carpeta" },
        { EISDIR, "EISDIR", "es una carpeta" },
        { ELOOP, "ELOOP", "demasiados enlaces seguidos, o un enlace donde no se admite" },
        { ENAMETOOLONG, "ENAMETOOLONG", "el nombre es demasiado largo" },
        { EEXIST, "EEXIST", "ya existe un archivo con ese nombre" },
        { EBUSY, "EBUSY", "el archivo o el disco está en uso" },
#ifdef ETXTBSY
        { ETXTBSY, "ETXTBSY", "el archivo está en uso" },
#endif
        { EIO, "EIO", "error de entrada o salida del disco" },
        { ENXIO, "ENXIO", "el dispositivo no responde" },
        { ENODEV, "ENODEV", "no hay tal dispositivo" },
        { EMFILE, "EMFILE", "el programa tiene demasiados archivos abiertos" },
        { ENFILE, "ENFILE", "el sistema tiene demasiados archivos abiertos" },
        { EXDEV, "EXDEV", "los dos archivos están en discos distintos" },
        { EINVAL, "EINVAL", "argumento no válido" },
        { EINTR, "EINTR", "operación interrumpida" },
        { EAGAIN, "EAGAIN", "el recurso no está disponible por ahora" },
        { ENOMEM, "ENOMEM", "no hay memoria suficiente" },
        { EBADF, "EBADF", "descriptor de archivo no válido" },
    };
    for (const Texto &t : kTextos) {
        if (t.numero == numero)
            return QStringLiteral("%1 (%2)").arg(
                QString::fromUtf8(t.texto), QLatin1String(t.nombre));
    }
    return QStringLiteral("error del sistema número %1").arg(numero);
}

QString nombreApartado(const QString &ruta, const QString &sufijo)
{
    const QString base
        = ruta + sufijo + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString destino = base;
    for (int n = 2; tipoEntrada(destino) != TipoEntrada::Ninguna; ++n)
        destino = base + QLatin1Char('-') + QString::number(n);
    return destino;
}

bool estaDentroDe(const QString &ruta, const QString &carpeta)
{
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity mayusculas = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity mayusculas = Qt::CaseSensitive;
#endif
    return !carpeta.isEmpty()
        && (ruta.compare(carpeta, mayusculas) == 0
            || ruta.startsWith(carpeta + QLatin1Char('/'), mayusculas));
}

QString apartarEntrada(const QString &ruta, const QString &sufijo)
{
    const QString destino = nombreApartado(ruta, sufijo);
    // rename() moves the entry itself: a link is moved as a link, never through it.
    if (std::rename(QFile::encodeName(ruta).constData(), QFile::encodeName(destino).constData())
        != 0)
        return {};
    return destino;
}
