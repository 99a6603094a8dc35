#pragma once

#include "EscritorXlsx.h"
#include "Xlsx.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <zip.h>

// Packages and workbooks made by hand for the engine's tests and the station's: cases no
// writer of ours would produce, and workbooks made without the station's save.

using Partes = QList<QPair<QString, QByteArray>>;

// A package made part by part.
QByteArray empaquetar(const Partes &partes, zip_int32_t compresion = ZIP_CM_DEFLATE);
// The parts of a workbook whose "Reporte" is the second sheet, behind another one of the same
// shape, with shared strings "Matematica" and "Lengua" (the second in two runs).
Partes paqueteBase(
    const QByteArray &filasReporte, const QByteArray &destino = "worksheets/sheet2.xml");
Partes conParte(Partes partes, const QString &nombre, const QByteArray &contenido);
// The workbook part with these sheet elements, and a sheet with these rows.
QByteArray libro(const QByteArray &hojas);
QByteArray hoja(const QByteArray &filas);
// `niveles` elements, each inside the one before.
QByteArray anidado(const QByteArray &abre, const QByteArray &cierra, int niveles);

// A workbook whose "Reporte" holds exactly `celdas`, made without the station's save.
void escribirLibroDePrueba(const QString &ruta, const CeldasHoja &celdas);
// The "Reporte" of the workbook at `ruta`; empty, with a warning, when it cannot be read.
CeldasHoja celdasDeLibro(const QString &ruta);
// A row of the report as the station writes it, every answer `letra`.
CeldasFila filaDePrueba(const QString &letra);
