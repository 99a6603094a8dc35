#pragma once

#include "Resultado.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <map>

// Who a station is: its name and the public half of its key pair, kept in the station's folder
// so that its results can be told apart. The private half never goes there: it stays on the
// computer that made it, in the user's application data, readable by that user alone.
struct IdentidadEstacion {
    QString nombre;
    QByteArray clavePublica; // 32 bytes
};

// The file in a station's folder that names the station.
QString rutaIdentidad(const QString &carpetaEstacion);
Resultado leerIdentidad(const QString &carpetaEstacion, IdentidadEstacion *identidad);

// Where this computer keeps the private halves of its stations' keys.
QString carpetaDeLlaves();

// A name the register and the seals can hold: not empty, at most 80 characters, no tab, line
// end or other control character.
bool nombreDeEstacionValido(const QString &nombre);

// The staff's register of stations: each station's name with the public halves of its keys
// (a station prepared again on a new computer gets one more) and the day each was made. One
// line per key: name, key in base64 and date, tab-separated; lines beginning with '#' are notes.
class RegistroEstaciones {
public:
    static Resultado leer(const QString &ruta, RegistroEstaciones *registro);
    bool conoce(const QString &estacion) const { return m_llaves.count(estacion) > 0; }
    QStringList estaciones() const;
    const QList<QByteArray> &llaves(const QString &estacion) const;
    // True when `firma` of `mensaje` is one of the station's keys'.
    bool firmaValida(
        const QString &estacion, const QByteArray &mensaje, const QByteArray &firma) const;
    // Adds the line of a key to the register file, which is written as a whole and replaced in
    // one step.
    static Resultado agregar(const QString &ruta, const IdentidadEstacion &identidad, QDate fecha);

private:
    std::map<QString, QList<QByteArray>> m_llaves;
};

// What preparing a station's keys did.
enum class LlavesPreparadas { Nuevas, Existentes };

// Gives the station in `carpetaEstacion` its key pair: a station already prepared on this
// computer keeps the one it has; otherwise a new pair is made, its private half kept in
// carpetaDeLlaves(), and the station's identity written in its folder. The public half goes
// into the register at `rutaRegistro`, which refuses a name that another key already holds.
Resultado prepararLlaves(const QString &carpetaEstacion, const QString &nombre,
    const QString &rutaRegistro, LlavesPreparadas *hecho = nullptr);

// The private key of the station in `carpetaEstacion`, when this computer holds it; nothing
// (and an ok result) when the station has no identity.
Resultado leerLlavePrivada(
    const QString &carpetaEstacion, IdentidadEstacion *identidad, QByteArray *privada);
