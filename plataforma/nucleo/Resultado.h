#pragma once

#include <QString>

// Why an operation failed, one list for the station and its tools. The words a supervisor
// reads for a cause belong to the layer that owns it: each section names where they are.
enum class CausaFallo {
    Ninguna,
    // The disk (Disco.h: textoCausaDisco).
    SinEspacio, // the disk is full
    SinPermiso, // the folder is read-only or not ours
    SinCarpeta, // the folder is gone
    ArchivoAbierto, // another program keeps the file open and it cannot be replaced
    NoEsArchivo, // a folder, a pipe, a device or a link stands where a file is expected
    ArchivoDemasiadoGrande, // larger than any file of its kind can be; not read
    ArchivoInexistente, // nothing stands at the name
    LecturaNegada, // the system refuses to let the file be read
    Lectura, // the disk failed while a file was read
    Escritura, // any other failure of the disk while writing
    NoCoincide, // what was written does not read back as it must
    // The workbook (Xlsx.h: textoCausaLibro).
    EnUso, // another process holds the workbook
    LibroIlegible, // the existing workbook cannot be read or edited; it is never replaced
    LibroNoArmado, // the new workbook could not be put together in memory; nothing was written
    LibroNoEscrito, // the new workbook could not be written out to its file
    CeldaNoRepresentable, // a value the format cannot hold; nothing was written
    // What the workbook engine refuses in a package, one value per reason.
    NoSePuedeAbrir,
    NoEsZip,
    DemasiadasPartes,
    FaltaParte,
    ParteDemasiadoGrande,
    ParteDanada,
    XmlMalFormado,
    AnidamientoExcesivo,
    SinLibro,
    DestinoFueraDelPaquete,
    SinHoja,
    SinDatosDeCeldas,
    DemasiadasCadenas,
    IndiceDeCadenaInvalido,
    ReferenciaInvalida,
    FilasDesordenadas,
    CeldasDesordenadas,
    NumeroInvalido,
    DemasiadasCeldas,
    TextoDemasiadoLargo,
    // The staff's tools (Causas.h: textoCausaHerramienta).
    SalidaNoPermitida, // an output would replace or lie among what is being read
    NoEsReporte, // a workbook read whose rows are not a station's report
    Cancelada, // stopped at the staff's request; nothing was placed
    InformeNoDibujado, // the printable report could not be drawn
    TextoNoGuardable, // a workbook read holds a text the outputs could not give back as read
    RecopilacionEnCurso, // another collection is writing the same outputs
    // The seals of the results (Sello.h: textoCausaCustodia).
    LlaveIlegible, // the station's key is not on this computer or is not its own
    RegistroIlegible, // the staff's register of stations cannot be read
    EstacionYaRegistrada, // another key already stands under that station's name
    NombreDeEstacionInvalido,
    FirmaImposible, // the signature library could not start
};
constexpr CausaFallo kUltimaCausa = CausaFallo::FirmaImposible;

// The words of one layer for the causes it owns; empty for any other cause.
using PalabrasDeCausa = QString (*)(CausaFallo causa);

// The outcome of an operation that can fail: the cause, the technical detail behind it, and
// the words of the layer that raised it. Every failure of the station and its tools is told
// this way; a layer makes its failures with its own function (falloDisco, falloLibro, …).
struct Resultado {
    CausaFallo causa = CausaFallo::Ninguna;
    QString detalle;

    Resultado() = default;
    Resultado(CausaFallo causa, QString detalle, PalabrasDeCausa palabras);

    bool ok() const { return causa == CausaFallo::Ninguna; }
    // The same failure, told with another detail.
    Resultado conDetalle(const QString &otro) const;
    // The reason, in words for the supervisor.
    QString razon() const;
    // "reason for the supervisor (technical detail)".
    QString texto() const;

private:
    PalabrasDeCausa m_palabras = nullptr;
};
