#pragma once

#include "Contenido.h"

#include <QSize>
#include <QString>

// Demo exam content: the question pictures of both subjects and all six models, the six
// reading-texts documents and the formula table, below `carpetaPrograma`/Imagenes.
struct ResultadoGeneracion {
    int imagenes = 0;
    int documentos = 0;
    QString error; // empty when everything was written
};

constexpr QSize kTamanoPreguntaDemo(840, 360);

// Writes what is missing (or everything, with `reemplazar`); existing files are kept.
ResultadoGeneracion generarContenido(const QString &carpetaPrograma, bool reemplazar = false);

bool generarPregunta(const QString &ruta, Asignatura asignatura, int modelo, int pregunta,
                     QSize tamano = kTamanoPreguntaDemo);
