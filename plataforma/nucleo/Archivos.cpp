#include "Archivos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString unirRuta(const QString &carpeta, std::initializer_list<QString> piezas)
{
    QString ruta = carpeta;
    for (const QString &pieza : piezas) {
        ruta += QLatin1Char('/');
        ruta += pieza;
    }
    return ruta;
}

bool ArchivosLocales::existeArchivoOrdinario(const QString &ruta) const
{
    const QFileInfo info(ruta);
    return info.isFile() && !info.isHidden();
}

bool ArchivosLocales::existeArchivo(const QString &ruta) const
{
    return QFileInfo(ruta).isFile();
}

QStringList ArchivosLocales::archivosDeCarpeta(const QString &carpeta) const
{
    QStringList rutas;
    const QDir dir(carpeta);
    // Links to files are listed (and deleted as links); links to folders are not files.
    const auto entradas = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo &info : entradas)
        rutas << info.filePath();
    return rutas;
}

bool ArchivosLocales::borrarArchivo(const QString &ruta)
{
    return QFile::remove(ruta);
}

bool ArchivosLocales::esEnlace(const QString &ruta) const
{
    const QFileInfo info(ruta);
    return info.isSymbolicLink() || info.isJunction();
}

bool ArchivosLocales::borrarEnlace(const QString &ruta)
{
    // A link to a folder is a file on some systems and a folder entry on others.
    return QFile::remove(ruta) || QDir().rmdir(ruta);
}

QStringList borrarArchivosDeCarpeta(IArchivos &archivos, const QString &carpeta)
{
    if (archivos.esEnlace(carpeta))
        return archivos.borrarEnlace(carpeta) ? QStringList() : QStringList { carpeta };
    QStringList fallidos;
    for (const QString &ruta : archivos.archivosDeCarpeta(carpeta)) {
        if (!archivos.borrarArchivo(ruta))
            fallidos << ruta;
    }
    return fallidos;
}
