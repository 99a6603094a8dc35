#pragma once

#include "FrmExamen.h"

// The language exam: the navigator on the language fields, the instruction box before every
// question and the reading texts of the model.
class FrmLengMod1 final : public FrmExamen {
    Q_OBJECT
public:
    FrmLengMod1(Entorno &entorno, Sesion &sesion);

    static const ConfigExamen &configuracion();
    static QString textoInstrucciones();

protected:
    void antesDeCargar() override;

private:
    void CmdTexos_Click();
};
