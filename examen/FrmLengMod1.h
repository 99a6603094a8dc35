#pragma once

#include "FrmExamen.h"

// The language exam: the navigator on the language fields, the instruction box before every
// question and the reading texts of the model.
class FrmLengMod1 final : public FrmExamen {
    Q_OBJECT
public:
    FrmLengMod1(Entorno &entorno, Sesion &sesion);

protected:
    void antesDeCargar() override;

private:
    static QString textoInstrucciones();
    void CmdTexos_Click();
};
