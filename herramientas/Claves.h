#pragma once

#include "Contenido.h"
#include "Resultado.h"
#include "Xlsx.h"

#include <QString>
#include <QStringList>

#include <array>

// The answer key the staff fill in: the right letter of every question of every model.
class Claves {
public:
    static QString nombreHoja() { return QStringLiteral("Claves"); }

    // 'A' to 'D', or 0 where the key has no letter.
    char letra(Asignatura asignatura, int modelo, int pregunta) const;
    void poner(Asignatura asignatura, int modelo, int pregunta, char letra);

private:
    std::array<std::array<std::array<char, kPreguntas>, kModelos>, 2> m_letras {};
};

struct LecturaClaves {
    Claves claves;
    QStringList errores; // each names its cell, or the row that is missing
    bool ok() const { return errores.isEmpty(); }
};

// Sheet "Claves": a header row "Materia", "Modelo", "P1" … "P22", then one row per subject and
// model ("Matematica" or "Lengua", 1 to 6, and 22 letters A to D), all twelve of them.
LecturaClaves interpretarClaves(const CeldasHoja &celdas);
LecturaClaves leerClaves(const QString &ruta);

// Writes a key workbook in that form.
Resultado escribirClaves(const QString &ruta, const Claves &claves);
