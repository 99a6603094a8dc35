#pragma once

#include "Pantalla.h"
#include "Ventana.h"

// A screen of the station: when it closes it names the screen that follows.
class Formulario : public Ventana {
    Q_OBJECT
public:
    // Its name, its caption and the size of its client area in twips.
    Formulario(const QString &nombre, const QString &titulo, int anchoTwips, int altoTwips,
        QWidget *padre = nullptr)
        : Ventana(padre)
    {
        setObjectName(nombre);
        setWindowTitle(titulo);
        fijarAreaCliente(anchoTwips, altoTwips);
    }

    Pantalla siguiente() const { return m_siguiente; }

protected:
    void terminar(Pantalla siguiente)
    {
        m_siguiente = siguiente;
        cerrarVentana();
    }

private:
    Pantalla m_siguiente = Pantalla::Fin;
};
