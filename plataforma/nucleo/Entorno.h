#pragma once

#include "Abridor.h"
#include "Archivos.h"
#include "Disco.h"
#include "HojaCalculo.h"
#include "Mensajes.h"
#include "Reloj.h"

#include <QString>

// What the forms need from the machine: the program's folder and the platform services.
// The station gets the real ones, a test its fakes.
struct Entorno {
    QString carpetaPrograma;
    IMensajes &mensajes;
    IArchivos &archivos;
    IReloj &reloj;
    IAbridorDocumentos &abridor;
    IHojaCalculo &hoja;
    IDisco &disco;
    // The run's record could not be written at the last try, and the student was told.
    bool resguardoFallido = false;
    // The size of the question picture the student chose on this exam, in percent of its
    // natural size; it holds across questions and starts again at 100 on the next exam.
    int zoomPregunta = 100;
};
