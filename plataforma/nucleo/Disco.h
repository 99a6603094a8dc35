#pragma once

#include "Resultado.h"

#include <QByteArray>
#include <QString>

class QFileDevice;
class QLockFile;

// The steps of a save on disk, in order; a test can make any of them fail.
enum class PasoEscritura { Abrir, Escribir, AsegurarDatos, Cerrar, Reemplazar, AsegurarCarpeta };

// Whole files on the station's disk.
class IDisco {
public:
    virtual ~IDisco() = default;
    // Reads an ordinary file whole; anything else at that name is refused (NoEsArchivo) without
    // waiting on it, and so is a file larger than `maxBytes`.
    virtual Resultado leer(const QString &ruta, qint64 maxBytes, QByteArray *bytes) = 0;
    // Writes `bytes` as the file `ruta`: staged beside it, forced to the disk, renamed over it,
    // and the folder forced too, so that a power cut leaves the old file or the new one. A file
    // cut short by a failure never carries the name. A link, a folder or a pipe at `ruta` is
    // refused (NoEsArchivo), never written through.
    virtual Resultado escribir(const QString &ruta, const QByteArray &bytes) = 0;
    // Puts `origen` in the place of `destino` in one step, then forces the folder to the
    // disk; `destino` is either the old file or the new one, never anything else.
    virtual Resultado reemplazar(const QString &origen, const QString &destino) = 0;
    virtual bool borrar(const QString &ruta) = 0;
};

class DiscoLocal : public IDisco {
public:
    Resultado leer(const QString &ruta, qint64 maxBytes, QByteArray *bytes) override;
    Resultado escribir(const QString &ruta, const QByteArray &bytes) override;
    Resultado reemplazar(const QString &origen, const QString &destino) override;
    bool borrar(const QString &ruta) override;

protected:
    // Tests make a step fail as a full disk would; the real disk never does.
    virtual bool fallaAntesDe(PasoEscritura) { return false; }

private:
    // The save itself, once `ruta` is known to be a file or nothing; one of them per system.
    Resultado escribirConArchivoSeguro(const QString &ruta, const QByteArray &bytes);
    Resultado escribirPorRenombre(const QString &ruta, const QByteArray &bytes);
    Resultado simulado(const char *paso) const;
};

// A write past the file-size limit of the process then fails with its cause (EFBIG) instead of
// killing the process: call it first in main.
void ignorarLimiteDeTamano();

// Forces what was written to an open file onto the disk.
bool asegurarArchivo(QFileDevice &archivo);

// Names the cause of a failed write in `carpeta` from what the file layer reported and what
// the folder looks like now.
CausaFallo causaDeEscritura(const QString &carpeta, int errorArchivo);

// Takes a lock that only a process that is gone gives up: the lock of a live program of the same
// kind on this machine is never taken over, however old. A lock whose owner cannot be proven
// alive is taken over once it has stood still for a moment: left empty or half written by a
// process killed as it made it, unreadable, made on another machine, naming no process or a
// process of another program. Anything but a file at the lock's name (a folder, a pipe) is set
// aside first, never opened.
bool tomarCerrojo(QLockFile &cerrojo, int esperaMs);

// For a supervisor: which lock stops the station and who holds it ("el archivo …, del proceso
// 1234"), read from the lock file without waiting on it.
QString describirCerrojo(const QLockFile &cerrojo);
