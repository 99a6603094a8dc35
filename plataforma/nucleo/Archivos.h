#pragma once

#include "Resultado.h"

#include <QString>
#include <QStringList>

#include <initializer_list>

// Joins a folder and the literal pieces of a content path with '/', which Qt takes on every
// platform.
QString unirRuta(const QString &carpeta, std::initializer_list<QString> piezas);

class IArchivos {
public:
    virtual ~IArchivos() = default;
    // A lookup of ordinary files: hidden files and folders are not seen.
    virtual bool existeArchivoOrdinario(const QString &ruta) const = 0;
    // Any existing file, hidden ones included; a folder is not a file.
    virtual bool existeArchivo(const QString &ruta) const = 0;
    // Every file directly inside the folder, hidden ones included; sub-folders are not listed.
    virtual QStringList archivosDeCarpeta(const QString &carpeta) const = 0;
    virtual Resultado borrarArchivo(const QString &ruta) = 0;
    // A symbolic link (or a junction), whatever it points at.
    virtual bool esEnlace(const QString &ruta) const = 0;
    // Removes the link itself; what it points at is left alone.
    virtual Resultado borrarEnlace(const QString &ruta) = 0;
};

class ArchivosLocales : public IArchivos {
public:
    bool existeArchivoOrdinario(const QString &ruta) const override;
    bool existeArchivo(const QString &ruta) const override;
    QStringList archivosDeCarpeta(const QString &carpeta) const override;
    Resultado borrarArchivo(const QString &ruta) override;
    bool esEnlace(const QString &ruta) const override;
    Resultado borrarEnlace(const QString &ruta) override;
};

// What a deletion left behind: the files that could not be deleted, and why the first of them
// stayed.
struct Restos {
    QStringList archivos;
    Resultado motivo; // of the first file left; ok when none is
    bool ok() const { return archivos.isEmpty(); }
    void sumar(const Restos &otros);
};

// Deletes every file of the folder ("*.*"); the folder and its sub-folders stay. Returns what
// could not be deleted; the others are deleted all the same. Nothing outside the
// folder is ever deleted: a file that is a link goes as a link, and a folder that is itself a
// link (to a master copy of the content, say) is removed as a link, its target untouched.
Restos borrarArchivosDeCarpeta(IArchivos &archivos, const QString &carpeta);
