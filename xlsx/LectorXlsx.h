#pragma once

#include "Xlsx.h"

#include <QByteArray>
#include <QString>

#include <functional>

class PaqueteXlsx;

// Called for every non-empty cell of a sheet in document order, rows and columns ascending.
using VisitanteCeldas = std::function<void(int fila, int columna, const Celda &celda)>;

// How much of a sheet a reader takes before refusing it. A results workbook is small; the
// staff's merged workbooks are read back with larger limits.
struct LimitesHoja {
    qint64 maxCeldas = limitesXlsx::kMaxCeldas;
    qint64 maxBytes = limitesXlsx::kMaxBytesParte;
};

// Reads every cell of the sheet `nombreHoja` of a package.
Resultado recorrerHoja(const PaqueteXlsx &paquete, const QString &nombreHoja,
    const VisitanteCeldas &visitante, LimitesHoja limites = {});

// The sheet `nombreHoja` of a whole .xlsx file held in memory.
Resultado leerHojaDeBytes(const QByteArray &bytes, const QString &nombreHoja, CeldasHoja *celdas);

// The "Reporte" sheet from the bytes of a whole .xlsx file (reachable without a file for the
// fuzzer).
Resultado leerReporteDeBytes(const QByteArray &bytes, CeldasHoja *celdas);
