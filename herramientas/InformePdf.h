#pragma once

#include "Analisis.h"

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QStringList>

#include <vector>

// The printable report of an exam day: the table of models; for each subject and model the
// histogram of correct answers and the facility and discrimination of every question, the
// flagged ones marked; then the classes' mean percentages. A4, pages numbered. Drawn in
// memory, so that the caller writes it where and when it chooses and sees that write fail;
// empty when it could not be drawn.
// The custody of the results, for the first page: a sentence and a table whose first row is
// its header. Empty when the collection checked no seals.
struct ResumenCustodia {
    QString frase;
    std::vector<QStringList> tabla;
};

QByteArray dibujarInformePdf(const std::vector<AnalisisModelo> &modelos,
    const std::vector<AnalisisEstablecimiento> &establecimientos,
    const ResumenCustodia &custodia = {});

// The colour that marks a flagged question in the report's charts.
QColor colorMarcada();
