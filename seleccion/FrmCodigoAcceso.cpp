#include "FrmCodigoAcceso.h"

#include "Geometria.h"
#include "Module1.h"

#include <QKeyEvent>
#include <QLineEdit>

FrmCodigoAcceso::FrmCodigoAcceso(Sesion &sesion, QWidget *padre)
    : Ventana(padre)
    , m_sesion(sesion)
{
    setObjectName(QStringLiteral("FrmCodigoAcceso"));
    setWindowTitle(QStringLiteral("Código de Acceso"));
    fijarAreaCliente(2940, 1860);

    m_txtCodAcceso = new QLineEdit(this);
    m_txtCodAcceso->setObjectName(QStringLiteral("TxtCodAcceso"));
    m_txtCodAcceso->setGeometry(twRect(720, 120, 1455, 615));
    m_txtCodAcceso->setFont(fuenteSans(13.5));
    m_txtCodAcceso->setAlignment(Qt::AlignCenter);

    m_cmdIngresar = new Boton(QStringLiteral("Ingresar"), this);
    m_cmdIngresar->setObjectName(QStringLiteral("CmdIngresar"));
    m_cmdIngresar->setGeometry(twRect(240, 960, 975, 615));
    m_cmdIngresar->setColorFondo(0x00C0FFC0);

    m_cmdSalir = new Boton(QStringLiteral("Salir"), this);
    m_cmdSalir->setObjectName(QStringLiteral("CmdSalir"));
    m_cmdSalir->setGeometry(twRect(1680, 960, 975, 615));
    m_cmdSalir->setColorFondo(0x0080C0FF);

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
    return Ventana::eventFilter(objeto, evento);
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
