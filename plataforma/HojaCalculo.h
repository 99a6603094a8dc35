#pragma once

#include <QString>

#include <map>
#include <utility>

// One cell of the "Reporte" sheet: text or number. Cells that are absent are empty.
struct Celda {
    enum class Tipo { Texto, Numero };
    Tipo tipo = Tipo::Texto;
    QString texto;
    double numero = 0;

    static Celda deTexto(const QString &t) { return {Tipo::Texto, t, 0}; }
    static Celda deNumero(double n) { return {Tipo::Numero, {}, n}; }
    bool operator==(const Celda &otra) const = default;
};

// (row, column), both counted from 1.
using CeldasHoja = std::map<std::pair<int, int>, Celda>;

inline QString kNombreHojaReporte()
{
    return QStringLiteral("Reporte");
}

// The results workbook as a file. Every call reports its failure through `error`.
class IHojaCalculo {
public:
    virtual ~IHojaCalculo() = default;
    // Reads every cell of the "Reporte" sheet of the workbook at `ruta`.
    virtual bool leerReporte(const QString &ruta, CeldasHoja *celdas, QString *error) = 0;
    // Writes a workbook whose only sheet is "Reporte" holding `celdas`. The file appears
    // whole or not at all: a workbook already at `ruta` is replaced only once the new one is
    // complete on disk.
    virtual bool escribirLibro(const QString &ruta, const CeldasHoja &celdas, QString *error) = 0;
};

class LibroXlsx final : public IHojaCalculo {
public:
    bool leerReporte(const QString &ruta, CeldasHoja *celdas, QString *error) override;
    bool escribirLibro(const QString &ruta, const CeldasHoja &celdas, QString *error) override;
};

// Writes a workbook whose only sheet is `nombreHoja`, replacing any file at `ruta` only once
// the new one is complete on disk.
bool escribirXlsx(const QString &ruta, const QString &nombreHoja, const CeldasHoja &celdas,
                  QString *error);

// Reading limits: a workbook beyond them is refused as malformed instead of being loaded.
namespace limitesXlsx {
constexpr qint64 kMaxEntradas = 4096;
constexpr qint64 kMaxBytesParte = 32 * 1024 * 1024;
constexpr qint64 kMaxCadenasCompartidas = 1'000'000;
constexpr qint64 kMaxCeldas = 1'000'000;
constexpr int kMaxFila = 1'048'576;
constexpr int kMaxColumna = 16'384;
} // namespace limitesXlsx

// Reads the "Reporte" sheet from the bytes of a whole .xlsx file (the reader behind
// LibroXlsx::leerReporte, reachable without a file for the fuzzer).
bool leerReporteDeBytes(const QByteArray &bytes, CeldasHoja *celdas, QString *error);

// "A".."XFD" for columns 1..16384.
QString nombreColumna(int columna);
