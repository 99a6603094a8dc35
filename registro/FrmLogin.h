#pragma once

#include "Formulario.h"

class Boton;
class QComboBox;
class QInputMethodEvent;
class QLabel;
class QLineEdit;
struct Entorno;
struct Sesion;

// The start-up window: establishment, shift, section, sex and student code.
class FrmLogin final : public Formulario {
    Q_OBJECT
public:
    FrmLogin(Entorno &entorno, Sesion &sesion);

    void cargar() override;

protected:
    bool eventFilter(QObject *objeto, QEvent *evento) override;

private:
    void CmdAceptar_Click();
    void CmdSalir_Click();
    void TxtCodEmpresa_LostFocus();
    bool filtrarComposicion(QObject *objeto, QInputMethodEvent *evento);
    void Validar_Empresa();

    Entorno &m_entorno;
    Sesion &m_sesion;
    qint16 m_empresaInvalida = 0;

    QLineEdit *m_txtCodEmpresa;
    QComboBox *m_cmbTurno;
    QLineEdit *m_txtSeccion;
    QComboBox *m_cmbSexo;
    QLineEdit *m_txtDNI;
    Boton *m_cmdAceptar;
    Boton *m_cmdSalir;
    QLineEdit *m_txtEscuela;
};
