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
    // The access codes of the two subjects.
    static QString codigoDe(Asignatura asignatura);
    void abrirExamen(Asignatura asignatura);
    void CmdSalir_Click();
    // Deletes every file of the six model folders of a finished subject whose first
    // picture is still there; returns the files that could not be deleted.
    QStringList borrarContenido(Asignatura asignatura);
    bool EstadoDeArchivo(const QString &ruta) const;

    Entorno &m_entorno;
    Sesion &m_sesion;
    Boton *m_cmdLengua;
    Boton *m_cmdMatematica;
    QLabel *m_picture1;
    Boton *m_cmdSalir;
};
