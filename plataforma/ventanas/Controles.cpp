#include "Controles.h"

#include <QPalette>

void ponerColorFondo(QWidget *control, quint32 color)
{
    if (auto *boton = qobject_cast<Boton *>(control)) {
        boton->setColorFondo(color);
        return;
    }
    control->setAutoFillBackground(true);
    QPalette paleta = control->palette();
    paleta.setColor(QPalette::Window, colorVB(color));
    control->setPalette(paleta);
}

void aplicarDiseno(QWidget *control, const DisenoControl &diseno)
{
    control->setObjectName(diseno.nombre);
    control->setGeometry(
        twRect(diseno.caja.izquierda, diseno.caja.arriba, diseno.caja.ancho, diseno.caja.alto));
    if (diseno.fuente)
        control->setFont(*diseno.fuente);
    if (diseno.colorFondo)
        ponerColorFondo(control, *diseno.colorFondo);
}
