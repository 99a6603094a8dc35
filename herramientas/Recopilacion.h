#pragma once

#include <QString>
#include <QStringList>

#include <functional>

struct InformeRecopilacion {
    int libros = 0;            // workbooks gathered
    int filas = 0;             // student-and-subject rows written
    QStringList omitidos;      // "file: reason" for every workbook left out
    QString error;             // empty when both outputs were written
    QString salidaCsv;
};

// Gathers every "Apl Examen - *.xlsx" of the folders into one workbook (sheet "Resultados":
// a header, then one row per student and subject with the 32 report columns and the source
// file's name) and the same rows as UTF-8 CSV beside it. Sources are only read.
InformeRecopilacion recopilarResultados(const QString &salidaXlsx, const QStringList &carpetas,
                                        const std::function<void(int hechos, int total)> &progreso = {});
