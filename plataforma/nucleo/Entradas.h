#pragma once

#include "Resultado.h"

#include <QString>

class QFile;

// What stands at a path, the path itself and not what a link there points at.
enum class TipoEntrada {
    Ninguna, // nothing
    Archivo, // an ordinary file
    Enlace, // a symbolic link (or a junction), whatever it points at
    Carpeta,
    Otro, // a named pipe, a device, a socket: never opened, since opening one can wait for ever
};

TipoEntrada tipoEntrada(const QString &ruta);
// "una carpeta", "un enlace", …: what a refusal names.
QString nombreTipoEntrada(TipoEntrada tipo);

// Opens `ruta` for reading only when it is an ordinary file (a link to one is followed), and
// without ever waiting: a pipe or a device at that name is refused, not opened (NoEsArchivo).
// On failure `archivo` stays closed; nothing at the name is ArchivoInexistente, a refusal of the
// system LecturaNegada or Lectura.
Resultado abrirArchivoOrdinario(QFile &archivo, const QString &ruta);

// The text of an operating-system error number, in Spanish, with its symbolic name:
// "el archivo supera el tamaño máximo que admite el sistema (EFBIG)".
QString textoErrorSistema(int numero);

// A free name to set `ruta` aside under: `ruta` + `sufijo` + the date, and a number when that
// name is taken.
QString nombreApartado(const QString &ruta, const QString &sufijo);

// True when `ruta` is `carpeta` or lies inside it; both absolute, links already resolved.
bool estaDentroDe(const QString &ruta, const QString &carpeta);

// Renames what stands at `ruta` aside as `ruta` + `sufijo` + a date (and a number when that
// name is taken), without following a link at either name. Returns the new path, or an empty
// string when the rename failed.
QString apartarEntrada(const QString &ruta, const QString &sufijo);
