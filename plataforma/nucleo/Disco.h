#pragma once

#include "Resultado.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <functional>

class QFileDevice;
class QLockFile;

// The calls of the system a save makes on a POSIX disk, one per step, each with the system's
// own convention: -1 with errno set when it fails. The disk uses the system's calls; whatever
// a call reports goes through the same translation into a cause, so a disk may be given calls
// that fail as a full or read-only disk would.
struct LlamadasDisco {
    std::function<int(const char *ruta)> crear; // a new file, never through a link
    std::function<long long(int fd, const char *datos, std::size_t largo)> escribir;
    std::function<int(int fd)> asegurarDatos;
    std::function<int(int fd)> cerrar;
    std::function<int(const char *origen, const char *destino)> renombrar;
    std::function<int(const char *carpeta)> asegurarCarpeta;

    static LlamadasDisco delSistema();
};

// The disk's words for the causes it owns (see CausaFallo), and a failure of the disk.
QString textoCausaDisco(CausaFallo causa);
inline Resultado falloDisco(CausaFallo causa, const QString &detalle = {})
{
    return { causa, detalle, &textoCausaDisco };
}

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
    DiscoLocal();
    explicit DiscoLocal(LlamadasDisco llamadas);
    Resultado leer(const QString &ruta, qint64 maxBytes, QByteArray *bytes) override;
    Resultado escribir(const QString &ruta, const QByteArray &bytes) override;
    Resultado reemplazar(const QString &origen, const QString &destino) override;
    bool borrar(const QString &ruta) override;
    // Adds `bytes` at the end of the file `ruta` (made when missing) and forces them to the
    // disk, with the folder when the file is new; what was there before is never rewritten.
    // A link, a folder or a pipe at `ruta` is refused (NoEsArchivo).
    Resultado agregarAlFinal(const QString &ruta, const QByteArray &bytes);

private:
    // The save itself, once `ruta` is known to be a file or nothing; one of them per system.
    Resultado escribirConArchivoSeguro(const QString &ruta, const QByteArray &bytes);
    Resultado escribirPorRenombre(const QString &ruta, const QByteArray &bytes);

    LlamadasDisco m_llamadas;
};

// Clears what saves of `ruta` cut short by a killed process left beside it: their staged
// copies, named after it with a dot and six letters or digits. Only for a file no live process
// can be saving now.
void borrarCopiasPreparadas(IDisco &disco, const QString &ruta);

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
