#pragma once

struct Entorno;
struct Sesion;

// Runs the screens of one student, from registration until "Salir". Each screen is created,
// loaded, shown modally and destroyed before the next one is built, so nothing nests and a
// change of question always starts from a fresh form.
void ejecutarEstacion(Entorno &entorno, Sesion &sesion);

// Style and fonts that every screen of the station expects.
void prepararAparienciaEstacion();
