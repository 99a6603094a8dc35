#include "Archivos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString unirRuta(const QString &carpeta, std::initializer_list<QString> piezas)
{
    QString ruta = carpeta;
    for (const QString &pieza : piezas) {
        ruta += QDir::separator();
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
    const auto entradas = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo &info : entradas)
        rutas << info.filePath();
    return rutas;
}

bool ArchivosLocales::borrarArchivo(const QString &ruta)
{
    return QFile::remove(ruta);
}

QStringList borrarArchivosDeCarpeta(IArchivos &archivos, const QString &carpeta)
{
    QStringList fallidos;
    for (const QString &ruta : archivos.archivosDeCarpeta(carpeta)) {
        if (!archivos.borrarArchivo(ruta))
            fallidos << ruta;
    }
    return fallidos;
}
