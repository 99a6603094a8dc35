#include "Archivos.h"

#include "Disco.h"

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

namespace {
// Why the system kept `archivo`: deleting is writing to its folder.
Resultado noBorrado(const QFile &archivo)
{
    return falloDisco(
        causaDeEscritura(QFileInfo(archivo.fileName()).absolutePath(), archivo.error()),
        archivo.errorString());
}
} // namespace

Resultado ArchivosLocales::borrarArchivo(const QString &ruta)
{
    QFile archivo(ruta);
    return archivo.remove() ? Resultado() : noBorrado(archivo);
}

bool ArchivosLocales::esEnlace(const QString &ruta) const
{
    const QFileInfo info(ruta);
    return info.isSymbolicLink() || info.isJunction();
}

Resultado ArchivosLocales::borrarEnlace(const QString &ruta)
{
    // A link to a folder is a file on some systems and a folder entry on others.
    QFile enlace(ruta);
    return enlace.remove() || QDir().rmdir(ruta) ? Resultado() : noBorrado(enlace);
}

void Restos::sumar(const Restos &otros)
{
    if (ok())
        motivo = otros.motivo;
    archivos << otros.archivos;
}

Restos borrarArchivosDeCarpeta(IArchivos &archivos, const QString &carpeta)
{
    Restos restos;
    const auto borrado = [&restos](const QString &ruta, const Resultado &r) {
        if (!r.ok())
            restos.sumar({ { ruta }, r });
    };
    if (archivos.esEnlace(carpeta)) {
        borrado(carpeta, archivos.borrarEnlace(carpeta));
        return restos;
    }
    for (const QString &ruta : archivos.archivosDeCarpeta(carpeta))
        borrado(ruta, archivos.borrarArchivo(ruta));
    return restos;
}
