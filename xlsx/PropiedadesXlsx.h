#pragma once

#include "Resultado.h"

#include <QByteArray>
#include <QString>

#include <map>

class PaqueteXlsx;

// The custom document properties of a workbook (docProps/custom.xml): values spreadsheet
// programs keep with the file and show only in the document's properties, never in a sheet.
// Each value is held with its type as written ("lpwstr", "i4", …) and its text.
struct PropiedadXlsx {
    QString tipo = QStringLiteral("lpwstr");
    QString valor;
    bool operator==(const PropiedadXlsx &otra) const = default;
};
using PropiedadesXlsx = std::map<QString, PropiedadXlsx>;

// The workbook's custom properties; none when it has no such part.
Resultado leerPropiedades(const PaqueteXlsx &paquete, PropiedadesXlsx *propiedades);

// The parts that set the text property `nombre` to `valor` in `paquete`, added to `partes`:
// the custom properties, and when the workbook had none, its content types and relationships.
Resultado partesConPropiedad(const PaqueteXlsx &paquete, const QString &nombre,
    const QString &valor, std::map<QString, QByteArray> *partes);

// A copy of the whole workbook `libro` with the text property `nombre` set to `valor`; every
// other property and part stays as it was. A workbook without custom properties gets the part,
// and its content type and relationship.
Resultado conPropiedad(
    const QByteArray &libro, const QString &nombre, const QString &valor, QByteArray *nuevo);
