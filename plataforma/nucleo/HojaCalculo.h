#pragma once

#include "Disco.h"
#include "EscritorXlsx.h"
#include "Xlsx.h"

#include <QString>

// The results workbook as a file.
class IHojaCalculo {
public:
    virtual ~IHojaCalculo() = default;
    // Every cell of the "Reporte" sheet.
    virtual Resultado leerReporte(const QString &ruta, CeldasHoja *celdas) = 0;
    // A new workbook whose only sheet is an empty "Reporte". A file already at `ruta` is
    // never touched: when it reads as a workbook that is all it takes.
    virtual Resultado crearLibro(const QString &ruta) = 0;
    // Replaces columns 1 to `ultimaColumna` of row `fila` of "Reporte"; everything else in
    // the workbook stays as it was. Done only when proven: the new workbook is read back
    // from the disk and every cell compared before it replaces the old one.
    virtual Resultado escribirFila(
        const QString &ruta, int fila, int ultimaColumna, const CeldasFila &celdas)
        = 0;
};

// The real workbook. One writer at a time: the workbook's lock is held from the read to the
// replacement, so two processes saving the same student's workbook never lose a row.
class LibroXlsx final : public IHojaCalculo {
public:
    // Another save of the same workbook takes milliseconds; one that holds the lock longer
    // than `esperaCerrojoMs` is stuck.
    explicit LibroXlsx(IDisco &disco, int esperaCerrojoMs = 10000);

    Resultado leerReporte(const QString &ruta, CeldasHoja *celdas) override;
    Resultado crearLibro(const QString &ruta) override;
    Resultado escribirFila(
        const QString &ruta, int fila, int ultimaColumna, const CeldasFila &celdas) override;

    // The hidden lock file beside a workbook.
    static QString rutaCerrojo(const QString &ruta);

private:
    // Writes `bytes` beside `ruta`, reads them back and checks them against `esperadas`,
    // and only then puts them in its place.
    Resultado guardarProbado(
        const QString &ruta, const QByteArray &bytes, const CeldasHoja &esperadas);

    IDisco &m_disco;
    int m_esperaCerrojoMs;
};
