#pragma once

#include "Disco.h"
#include "EscritorXlsx.h"
#include "Xlsx.h"

#include <QString>

#include <map>
#include <utility>

class PaqueteXlsx;

// Seals the rows a workbook saves: each seal goes into the workbook, as a custom property,
// in the same proven save as its row.
class ISellador {
public:
    virtual ~ISellador() = default;
    // The seal of `celdas` as row `fila` of the workbook called `archivo` (its file name), and
    // the property that holds it. A failure stops the save: a row never goes without its seal.
    virtual Resultado sellar(const QString &archivo, int fila, const CeldasFila &celdas,
        QString *propiedad, QString *sello)
        = 0;
};

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
    // From now on every row saved is sealed by `sellador` (none: rows go unsealed).
    void sellarCon(ISellador *sellador) { m_sellador = sellador; }

    Resultado leerReporte(const QString &ruta, CeldasHoja *celdas) override;
    Resultado crearLibro(const QString &ruta) override;
    Resultado escribirFila(
        const QString &ruta, int fila, int ultimaColumna, const CeldasFila &celdas) override;

    // The hidden lock file beside a workbook.
    static QString rutaCerrojo(const QString &ruta);

private:
    // Writes `bytes` beside `ruta`, reads them back and checks them against `esperadas`,
    // and only then puts them in its place.
    Resultado guardarProbado(const QString &ruta, const QByteArray &bytes,
        const CeldasHoja &esperadas, const std::pair<QString, QString> &sello = {});
    // The parts that hold the seal of row `fila`, added to `partes`; `sello` gets the property
    // and its value.
    Resultado sellarFila(const PaqueteXlsx &libro, const QString &ruta, int fila,
        const CeldasFila &celdas, std::map<QString, QByteArray> *partes,
        std::pair<QString, QString> *sello);

    IDisco &m_disco;
    int m_esperaCerrojoMs;
    ISellador *m_sellador = nullptr;
};
