#pragma once

#include <memory>

class IMensajes;
class SelladorEstacion;
class QLockFile;
class QString;
struct Entorno;
struct Sesion;

// The lock that keeps one station per program folder: two stations in one folder would
// register and save over each other. Only a lock whose process is gone counts as stale.
QString rutaCerrojoEstacion(const QString &carpetaPrograma);

// Takes the folder for this station. When another station already runs there, or the folder
// cannot be written, tells the person at the keyboard and returns false: the program ends
// and the other station carries on untouched.
bool ocuparCarpeta(QLockFile &cerrojo, IMensajes &mensajes);

// Runs the screens of one student, from registration until "Salir". Each screen is created,
// loaded, shown modally and destroyed before the next one is built, so nothing nests and a
// change of question always starts from a fresh form.
void ejecutarEstacion(Entorno &entorno, Sesion &sesion);

// Style and fonts that every screen of the station expects.
void prepararAparienciaEstacion();

// The sealer of the station's results, when it was prepared with a key on this computer.
// A station whose key cannot be used here still runs, unsealed, once the supervisor is told.
std::unique_ptr<SelladorEstacion> cargarSellador(
    const QString &carpetaPrograma, IMensajes &mensajes);
