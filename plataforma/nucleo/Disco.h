#pragma once

#include <QByteArray>
#include <QString>

class QLockFile;

// Why a file operation failed, in words a supervisor can act on.
enum class CausaFallo {
    Ninguna,
    SinEspacio,      // the disk is full
    SinPermiso,      // the folder is read-only or not ours
    SinCarpeta,      // the station's folder is gone
    EnUso,           // another process holds the workbook
    ArchivoAbierto,  // another program keeps the file open and it cannot be replaced
    LibroIlegible,   // the existing workbook cannot be read; it is never replaced
    NoCoincide,      // what was written does not read back as it must
    Escritura,       // any other failure of the disk
};

QString textoCausa(CausaFallo causa);

// The outcome of a workbook operation: the cause and the technical detail behind it.
struct Resultado {
    CausaFallo causa = CausaFallo::Ninguna;
    QString detalle;

    bool ok() const { return causa == CausaFallo::Ninguna; }
    static Resultado fallo(CausaFallo causa, const QString &detalle) { return {causa, detalle}; }
    // "reason for the supervisor (technical detail)".
    QString texto() const;
};

// The steps of a save on disk, in order; a test can make any of them fail.
enum class PasoEscritura { Abrir, Escribir, AsegurarDatos, Cerrar, Reemplazar, AsegurarCarpeta };

// Whole files on the station's disk.
class IDisco {
public:
    virtual ~IDisco() = default;
    virtual Resultado leer(const QString &ruta, qint64 maxBytes, QByteArray *bytes) = 0;
    // Writes `bytes` as the file `ruta`, forced to the disk. A file cut short by a failure
    // never carries the name.
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
};

// Names the cause of a failed write in `carpeta` from what the file layer reported and what
// the folder looks like now.
CausaFallo causaDeEscritura(const QString &carpeta, int errorArchivo);

// Takes a lock that only a process that is gone gives up: the lock of a live process is never
// taken over, however old. A lock file left empty by a process killed as it created it (it
// names no process) is cleared once it is clearly abandoned.
bool tomarCerrojo(QLockFile &cerrojo, int esperaMs);
