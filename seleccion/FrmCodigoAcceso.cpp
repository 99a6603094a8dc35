#include "FrmCodigoAcceso.h"

#include "Controles.h"
#include "Module1.h"

#include <QKeyEvent>
#include <QLineEdit>

FrmCodigoAcceso::FrmCodigoAcceso(Sesion &sesion, QWidget *padre)
    : Formulario(
        QStringLiteral("FrmCodigoAcceso"), QStringLiteral("Código de Acceso"), 2940, 1860, padre)
    , m_sesion(sesion)
{

    m_txtCodAcceso = crearControl<QLineEdit>(this,
        { QStringLiteral("TxtCodAcceso"), {}, { 720, 120, 1455, 615 }, fuenteSans(13.5), {} });
    m_txtCodAcceso->setAlignment(Qt::AlignCenter);
    m_cmdIngresar = crearControl<Boton>(this,
        { QStringLiteral("CmdIngresar"), QStringLiteral("Ingresar"), { 240, 960, 975, 615 }, {},
            0x00C0FFC0 });
    m_cmdSalir = crearControl<Boton>(this,
        { QStringLiteral("CmdSalir"), QStringLiteral("Salir"), { 1680, 960, 975, 615 }, {},
            0x0080C0FF });

    setTabOrder(m_txtCodAcceso, m_cmdIngresar);
    setTabOrder(m_cmdIngresar, m_cmdSalir);
    m_txtCodAcceso->setFocus();

    m_txtCodAcceso->installEventFilter(this);
    connect(m_cmdIngresar, &QPushButton::clicked, this, &FrmCodigoAcceso::CmdIngresar_Click);
    connect(m_cmdSalir, &QPushButton::clicked, this, &FrmCodigoAcceso::CmdSalir_Click);
}

bool FrmCodigoAcceso::eventFilter(QObject *objeto, QEvent *evento)
{
    if (objeto == m_txtCodAcceso && evento->type() == QEvent::KeyPress) {
        const int tecla = static_cast<QKeyEvent *>(evento)->key();
        if (tecla == Qt::Key_Return || tecla == Qt::Key_Enter) {
            CmdIngresar_Click();
            return true;
        }
    }
    return Formulario::eventFilter(objeto, evento);
}

void FrmCodigoAcceso::CmdIngresar_Click()
{
    m_sesion.CodigoAcceso = Trim(m_txtCodAcceso->text());
    terminar(Pantalla::Menu);
}

void FrmCodigoAcceso::CmdSalir_Click()
{
    terminar(Pantalla::Menu);
}
