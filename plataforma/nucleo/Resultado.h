#pragma once

#include <QString>

// Why a file operation failed, in words a supervisor can act on.
enum class CausaFallo {
    Ninguna,
    SinEspacio, // the disk is full
    SinPermiso, // the folder is read-only or not ours
    SinCarpeta, // the station's folder is gone
    EnUso, // another process holds the workbook
    ArchivoAbierto, // another program keeps the file open and it cannot be replaced
    LibroIlegible, // the existing workbook cannot be read or edited; it is never replaced
    LibroNoArmado, // the new workbook could not be put together in memory; nothing was written
    NoCoincide, // what was written does not read back as it must
    NoEsArchivo, // a folder, a pipe, a device or a link stands where a file is expected
    ArchivoDemasiadoGrande, // larger than any file of its kind can be; not read
    ArchivoInexistente, // nothing stands at the name
    LecturaNegada, // the system refuses to let the file be read
    Lectura, // the disk failed while a file was read
    Escritura, // any other failure of the disk while writing
    // The staff's tools.
    SalidaNoPermitida, // an output would replace or lie among what is being read
    Cancelada, // stopped at the staff's request; nothing was placed
    InformeNoDibujado, // the printable report could not be drawn
};

QString textoCausa(CausaFallo causa);

// The outcome of an operation that can fail: the cause and the technical detail behind it.
// Every failure of the station and its tools is told this way.
struct Resultado {
    CausaFallo causa = CausaFallo::Ninguna;
    QString detalle;

    bool ok() const { return causa == CausaFallo::Ninguna; }
    static Resultado fallo(CausaFallo causa, const QString &detalle) { return { causa, detalle }; }
    // "reason for the supervisor (technical detail)".
    QString texto() const;
};
