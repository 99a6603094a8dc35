#pragma once

#include "Formulario.h"

class Boton;
class QLineEdit;
struct Sesion;

// The small dialog in which the access code of the chosen subject is typed. It only
// collects the entry; the menu judges it.
class FrmCodigoAcceso final : public Formulario {
    Q_OBJECT
public:
    explicit FrmCodigoAcceso(Sesion &sesion, QWidget *padre = nullptr);

protected:
    bool eventFilter(QObject *objeto, QEvent *evento) override;
    void cerrarDesdeMarco() override { CmdSalir_Click(); }

private:
    void CmdIngresar_Click();
    void CmdSalir_Click();

    Sesion &m_sesion;
    QLineEdit *m_txtCodAcceso;
    Boton *m_cmdIngresar;
    Boton *m_cmdSalir;
};
