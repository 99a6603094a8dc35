#pragma once

#include "Resultado.h"
#include "Xlsx.h"

#include <QByteArray>
#include <QString>

#include <map>

// The cells of one row, by column (from 1).
using CeldasFila = std::map<int, Celda>;

// A new workbook, written sheet by sheet. Whatever the library stages on the way lies in
// `carpetaTemporal`, never in the system's temporary folder, which may be small or full.
// With `memoriaConstante` each sheet must be written row after row (sheets may take turns),
// and memory stays flat.
class EscritorLibro {
public:
    EscritorLibro(
        const QString &ruta, const QString &carpetaTemporal, bool memoriaConstante = false);
    ~EscritorLibro();
    EscritorLibro(const EscritorLibro &) = delete;
    EscritorLibro &operator=(const EscritorLibro &) = delete;

    // A new sheet, after the others; -1 when it cannot be added.
    int agregarHoja(const QString &nombre);
    // Rows and columns from 1; an empty text leaves the cell empty.
    void escribir(int hoja, int fila, int columna, const Celda &celda);
    // Writes the file; Escritura, with the detail, when anything on the way failed. The file
    // may then be incomplete and is removed.
    Resultado cerrar();

private:
    struct Privado;
    Privado *d;
};

// Replaces the cells of row `fila`, columns 1 to `ultimaColumna`, of the sheet `nombreHoja`
// in a whole workbook held in memory. Every other part of the package, every other row and
// the cells of that row beyond `ultimaColumna` come out as they were; each replaced cell
// keeps its style. New text cells are inline strings, so the shared strings stay valid.
// A sheet that cannot be edited safely is LibroIlegible; a package that cannot be put back
// together is LibroNoArmado.
Resultado reemplazarFilaEnLibro(const QByteArray &libro, const QString &nombreHoja, int fila,
    int ultimaColumna, const CeldasFila &celdas, QByteArray *nuevo);

// The same, leaving the package as it is: the name of the sheet's part and its new XML, for a
// caller that changes other parts in the same step.
class PaqueteXlsx;
Resultado hojaConFilaReemplazada(const PaqueteXlsx &libro, const QString &nombreHoja, int fila,
    int ultimaColumna, const CeldasFila &celdas, QString *parte, QByteArray *hoja);

// The same on the XML of a sheet part, for the parts that hold it.
Resultado reemplazarFilaEnHoja(const QByteArray &hoja, int fila, int ultimaColumna,
    const CeldasFila &celdas, QByteArray *nueva);
