#pragma once

#include "Claves.h"
#include "HojaCalculo.h"
#include "Resultado.h"

#include <QString>

// Results workbooks of made-up students, written as the station writes them, for trying the
// collector and measuring it. Each student's answers follow a simple ability model against
// the key, so scores and questions behave like real ones: question 7 of every model answers
// to luck alone, on question 13 the best students prefer another option than the key, the
// models run from easier to harder, and question 5 of every model is harder for Sexo 2.
struct ResultadoLibrosDemo {
    int libros = 0;
    Resultado resultado; // ok when all were written
};

// With `sellador`, every row is sealed as the station seals it.
ResultadoLibrosDemo generarLibrosDemo(const QString &carpeta, const Claves &claves, int alumnos,
    quint32 semilla, ISellador *sellador = nullptr);
