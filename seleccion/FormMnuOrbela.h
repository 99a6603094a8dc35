#pragma once

#include "Contenido.h"
#include "Formulario.h"

class Boton;
class QLabel;
struct Entorno;
struct Sesion;

// The hub between registration and the two exams.
class FormMnuOrbela final : public Formulario {
    Q_OBJECT
public:
    FormMnuOrbela(Entorno &entorno, Sesion &sesion);

    void cargar() override;

private:
    void abrirExamen(Asignatura asignatura);
    void CmdSalir_Click();
    // The clean-up of a finished subject, asking EstadoDeArchivo whether a model is there.
    Restos borrarContenido(Asignatura asignatura);
    bool EstadoDeArchivo(const QString &ruta) const;

    Entorno &m_entorno;
    Sesion &m_sesion;
    Boton *m_cmdLengua;
    Boton *m_cmdMatematica;
    QLabel *m_picture1;
    Boton *m_cmdSalir;
};
