#pragma once

#include "EscritorXlsx.h"
#include "Resultado.h"
#include "Xlsx.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <optional>

// The seals' words for the causes they own (see CausaFallo), and a failure of a seal.
QString textoCausaCustodia(CausaFallo causa);
inline Resultado falloCustodia(CausaFallo causa, const QString &detalle = {})
{
    return { causa, detalle, &textoCausaCustodia };
}

// What a station signs with every save it proves: the row as stored, where it went, and its
// place in the station's chain of saves. Its line is kept inside the workbook, as a custom
// property, and appended to the station's journal.
struct Sello {
    QString estacion;
    qint64 secuencia = 0; // 1 for the station's first save, one more for each one after
    QString fecha; // UTC, ISO 8601
    QString archivo; // the workbook's file name
    int fila = 0;
    QByteArray huellaFila; // the hash of the row's cells (huellaDeFila)
    QByteArray previo; // the hash of the line of the station's previous seal; "-" for none
    QByteArray firma; // base64 Ed25519 signature of mensaje()

    // The bytes the station signs: every field but the signature.
    QByteArray mensaje() const;
    // One line of text, tabs between the fields, no line end.
    QString linea() const;
    // The hash of the line: what the next seal names as its previous one. Kept once known: a
    // seal read is not changed.
    QByteArray huella() const;
    // Nothing when the text is not a whole seal.
    static std::optional<Sello> deLinea(QStringView linea);
    static std::optional<Sello> deLinea(QByteArrayView linea);

private:
    mutable QByteArray m_huella;
};

// A seal's fields where they lie in its line, nothing copied: a collection reads hundreds of
// thousands of them, most only to be hashed and compared.
struct CamposSello {
    QByteArrayView linea;
    QByteArrayView mensaje; // what is signed: the line up to its last tab
    QByteArrayView estacion, fecha, archivo, huellaFila, previo, firma;
    qint64 secuencia = 0;
    int fila = 0;
    // "archivo<tab>fila": which row of which workbook the seal is of.
    QByteArrayView archivoYFila;
};
// Nothing when the text is not a whole seal, by the same rules as Sello::deLinea.
std::optional<CamposSello> camposDeSello(QByteArrayView linea);

// The custom property of the workbook that holds the seal of row `fila`.
QString propiedadDelSello(int fila);

// The cells of a report row, columns 1 to 32, hashed so that a text and a number differ, an
// empty text and an absent cell do not, and no text can pass for two.
QByteArray huellaDeFila(const CeldasFila &celdas);
QByteArray huellaDeFila(const QList<Celda> &celdas);

// The BLAKE2b-256 hash of `bytes`, in hex: the hash of rows and of seals' lines.
QByteArray resumen(QByteArrayView bytes);
// The same hash as its 32 bytes, and those bytes in hex.
using Huella = std::array<unsigned char, 32>;
Huella huellaBinaria(QByteArrayView bytes);
QByteArray enHex(const Huella &huella);

// Starts the signature library; false when it cannot.
bool iniciarFirmas();
