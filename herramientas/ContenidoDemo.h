#pragma once

#include "Claves.h"
#include "Contenido.h"
#include "Resultado.h"

#include <QSize>
#include <QString>

// Demo exam content: the question pictures of both subjects and all six models, the six
// reading-texts documents and the formula table, below `carpetaPrograma`/Imagenes.
struct ResultadoGeneracion {
    int imagenes = 0;
    int documentos = 0;
    Resultado resultado; // ok when everything was written
};

constexpr QSize kTamanoPreguntaDemo(840, 360);

// Writes what is missing (or everything, with `reemplazar`); existing files are kept.
ResultadoGeneracion generarContenido(const QString &carpetaPrograma, bool reemplazar = false);

// The words of a demo question for a screen reader: its statement and its four options, a
// line each, as its picture shows them.
bool generarDescripcion(const QString &ruta, Asignatura asignatura, int modelo, int pregunta);
bool generarPregunta(const QString &ruta, Asignatura asignatura, int modelo, int pregunta,
    QSize tamano = kTamanoPreguntaDemo);

// The right option of a demo question, 'A' to 'D': the demo pictures are drawn so.
char letraCorrectaDemo(Asignatura asignatura, int modelo, int pregunta);
// The key of the whole demo content.
Claves clavesDemo();
// Writes it as a key workbook at `ruta` and reads it back; never inside the station's folder
// `carpetaEstacion`, where a student could find it.
Resultado escribirClavesDemo(const QString &carpetaEstacion, const QString &ruta);
