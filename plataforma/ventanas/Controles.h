#pragma once

#include "Geometria.h"
#include "Ventana.h"

#include <QFont>
#include <QString>

#include <optional>

// Where a control sits in its container, in twips: left, top, width, height.
struct Twips {
    int izquierda;
    int arriba;
    int ancho;
    int alto;
};

// A control as the forms' tables give it.
struct DisenoControl {
    QString nombre; // the name tests find it by
    QString texto; // caption, when the kind has one
    Twips caja;
    std::optional<QFont> fuente; // the container's font when absent
    std::optional<quint32> colorFondo; // 0x00BBGGRR or a system colour; the default when absent
};

// Gives a control its name, place, font and back colour.
void aplicarDiseno(QWidget *control, const DisenoControl &diseno);

// Creates a control of kind T (a label, a text box, an option button, a command button...)
// inside `padre`, laid out as `diseno` says.
template <typename T> T *crearControl(QWidget *padre, const DisenoControl &diseno)
{
    auto *control = new T(padre);
    if constexpr (requires { control->setText(diseno.texto); }) {
        if (!diseno.texto.isEmpty())
            control->setText(diseno.texto);
    }
    aplicarDiseno(control, diseno);
    return control;
}

// The back colour of a label or a picture box.
void ponerColorFondo(QWidget *control, quint32 color);

// Makes every list that cannot be typed into (a combo box that is not editable) known to a
// screen reader by its accessible name, its label's words, with its choice as its value; by
// default the desktop's accessibility reads such a list by its choice alone ("Seleccione").
// Once per program; later calls do nothing.
void nombrarListasPorSuEtiqueta();
