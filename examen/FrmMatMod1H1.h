#pragma once

#include "FrmExamen.h"

// The mathematics exam: the navigator on the mathematics fields, its banner and the
// formula table.
class FrmMatMod1H1 final : public FrmExamen {
    Q_OBJECT
public:
    FrmMatMod1H1(Entorno &entorno, Sesion &sesion);

protected:
    void paintEvent(QPaintEvent *evento) override;

private:
    void CmdTabla_Click();

    QPixmap m_logo;
};
