#pragma once

#include <QString>

class IReloj;

// One model draw: starting from model 1, step cyclically through the six models once per
// unit of digit + seconds. `digito` is the character of the student code that is used.
qint16 sortearModelo(QChar digito, int segundos);

// The draws of registration: mathematics from the last digit of the student code, language
// from the first; each reads the clock itself.
qint16 Modelo_Matematica(const QString &dni, const IReloj &reloj);
qint16 Modelo_Lengua(const QString &dni, const IReloj &reloj);
