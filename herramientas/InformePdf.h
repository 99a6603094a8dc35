#pragma once

#include "Analisis.h"

#include <QByteArray>
#include <QColor>
#include <QString>

#include <vector>

// The printable report of an exam day: the table of models; for each subject and model the
// histogram of correct answers and the facility and discrimination of every question, the
// flagged ones marked; then the classes' mean percentages. A4, pages numbered. Drawn in
// memory, so that the caller writes it where and when it chooses and sees that write fail;
// empty when it could not be drawn.
QByteArray dibujarInformePdf(const std::vector<AnalisisModelo> &modelos,
    const std::vector<AnalisisEstablecimiento> &establecimientos);

// The colour that marks a flagged question in the report's charts.
QColor colorMarcada();
