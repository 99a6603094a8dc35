#pragma once

#include "Verificacion.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// Why the master copy cannot go to that station folder, and the detail; nothing when it can.
std::optional<std::pair<QString, QString>> motivoParaNoPreparar(
    const QString &maestra, const QString &estacion);

// Where the station's program is: beside the tool that asks, or in ../app in a build tree; the
// working folder when neither has it.
QString carpetaDelProgramaEstacion();

// The name a station gets when the staff give none: this computer's name and the folder's.
QString nombrePorOmision(const QString &estacion);

struct Preparacion {
    QString nombre; // the station's name in the register
    QString registro; // the staff's register of stations; none: the station goes without a key
    QString programa; // where the station's program is, to be copied when the station lacks it
    ProbarDocumento probar; // how each document is tried
};

struct InformePreparacion {
    QStringList lineas; // what the staff read, in order
    bool lista = false; // copied, checked and, with a register, keyed
};

// Copies the master's content over the station's (the students' workbooks and records are never
// touched), puts the station's program there when missing, gives the station its key pair and
// its line in the register, and checks the result.
InformePreparacion prepararEstacion(
    const QString &maestra, const QString &estacion, const Preparacion &como);
