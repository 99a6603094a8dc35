#pragma once

#include "Resultado.h"

#include <QString>

#include <map>
#include <utility>

// One cell of a sheet: text or number. Cells that are absent are empty.
struct Celda {
    enum class Tipo { Texto, Numero };
    Tipo tipo = Tipo::Texto;
    QString texto;
    double numero = 0;

    static Celda deTexto(const QString &t) { return { Tipo::Texto, t, 0 }; }
    static Celda deNumero(double n) { return { Tipo::Numero, {}, n }; }
    // The text a person reads in the cell: a number with up to 15 significant digits.
    QString comoTexto() const
    {
        return tipo == Tipo::Texto ? texto : QString::number(numero, 'g', 15);
    }
    bool operator==(const Celda &otra) const = default;
};

// The workbook's words for the causes it owns (see CausaFallo), and a failure of the
// workbook: the engine's refusals, and what the results workbook's save finds.
QString textoCausaLibro(CausaFallo causa);
inline Resultado falloLibro(CausaFallo causa, const QString &detalle = {})
{
    return { causa, detalle, &textoCausaLibro };
}

// (row, column), both counted from 1.
using CeldasHoja = std::map<std::pair<int, int>, Celda>;

inline QString kNombreHojaReporte()
{
    return QStringLiteral("Reporte");
}

// "A".."XFD" for columns 1..16384.
QString nombreColumna(int columna);

// What the format and the reader accept; beyond them a workbook is refused by name.
namespace limitesXlsx {
constexpr qint64 kMaxEntradas = 4096;
constexpr qint64 kMaxBytesParte = 32 * 1024 * 1024;
constexpr qint64 kMaxBytesLibro = 32 * 1024 * 1024;
constexpr qint64 kMaxCadenasCompartidas = 1'000'000;
constexpr qint64 kMaxCeldas = 1'000'000;
constexpr int kMaxFila = 1'048'576;
constexpr int kMaxColumna = 16'384;
constexpr int kMaxCaracteresCelda = 32'767;
// SpreadsheetML nests a handful of levels; anything deeper is an attack, not a workbook.
constexpr int kMaxProfundidad = 32;
} // namespace limitesXlsx

// A fingerprint of a sheet's cells that does not depend on the order they are met in: what
// was written and what is read back must give matching ones. Empty cells do not count. Texts
// and the places of numbers count exactly; numbers themselves within the precision a written
// number keeps (the writer keeps 16 significant digits).
class HuellaCeldas {
public:
    void agregar(int fila, int columna, const Celda &celda);
    qint64 celdas() const { return m_celdas; }
    bool coincide(const HuellaCeldas &otra) const;

private:
    quint64 m_suma = 0;
    quint64 m_mezcla = 0;
    qint64 m_celdas = 0;
    double m_numeros = 0; // Σ value × a weight of its place
    double m_magnitud = 0; // Σ |value| × that weight, the scale of the sum's rounding
};
