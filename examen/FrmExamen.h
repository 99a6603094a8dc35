#pragma once

#include "Contenido.h"
#include "Formulario.h"

#include <QImage>
#include <QList>
#include <QPair>

#include <array>

class Boton;
class QLabel;
class QRadioButton;
class QScrollArea;
struct Entorno;
struct Sesion;

// What distinguishes the two exam screens that run the same question navigator.
struct ConfigExamen {
    Asignatura asignatura;
    const char *nombreFormulario; // "FrmMatMod1H1" / "FrmLengMod1"
    const char *nombreBotones; // "CmdPreg" / "Command1"
    const char *prefijoOpciones; // "OpMatMod1Preg1Op" / "OpLengMod1Preg1Op"
    const char *nombreBanner; // "Picture3" / "Picture1"
    int izquierdaBotones; // left edge of question button 1, twips
    int centroImagenY; // vertical centre of the question picture, twips
    int altoOpciones;
    std::array<int, 4> anchoOpciones;
    int anchoLabel1;
    int anchoLabel2;
    struct OrdenTab {
        int siguiente;
        int anterior;
        int finalizar;
        int salir;
        int primeraOpcion;
        int primerBoton;
    } tab; // tab indexes of the shared controls
};

// The question navigator: one question of the drawn model at a time, options A to D, the
// row of question buttons, and the two ways out. The form keeps no state between
// questions: every change of question records the choice in the record and asks the screen
// loop for a fresh form, whose load step rebuilds everything from the record.
class FrmExamen : public Formulario {
    Q_OBJECT
public:
    FrmExamen(Entorno &entorno, Sesion &sesion, const ConfigExamen &config);

    void cargar() override;

    // The sizes of the question picture, in percent of its natural size, that the zoom keys
    // step through.
    static constexpr std::array<int, 5> kPasosZoom = { 100, 125, 150, 200, 300 };

protected:
    bool eventFilter(QObject *objeto, QEvent *evento) override;
    void keyPressEvent(QKeyEvent *evento) override;
    // The form's own first step of the load step, before the close lock.
    virtual void antesDeCargar() { }
    QLabel *banner() const { return m_banner; }
    void ordenTab(int indice, QWidget *control);
    Entorno &entorno() const { return m_entorno; }
    Sesion &sesion() const { return m_sesion; }

private:
    void crearOpciones();
    void crearNavegacion();
    void CmdSiguiente_Click();
    void CmdAnterior_Click();
    void CmdPreg_Click(int indice);
    void CmdFinalizar_Click();
    void CmdSalir_Click();
    void RegistrarRespuesta();
    // Writes the record of the run, so that a power cut costs no answer recorded so far.
    void guardarAvance();
    void RecargarExamen();
    bool GuardarRespuestas();
    void mostrarImagen(int modelo, int pregunta);
    // Shows the picture at the chosen zoom: at 100 % exactly as it always was, larger in a
    // scrolled area that stays between the question buttons and the options.
    void presentarImagen();
    void nombrarBotonPregunta(int pregunta, const QString &respuesta);
    // One step up (+1) or down (-1), or back to the natural size (0).
    void cambiarZoom(int paso);
    // Ctrl and an arrow scroll a zoomed picture a quarter of what shows; true when the key
    // was one of those, zoomed or not, so that it never moves the choice of an answer.
    bool desplazarImagen(const QKeyEvent &tecla);
    void aplicarOrdenTab();

    Entorno &m_entorno;
    Sesion &m_sesion;
    ConfigExamen m_config;
    QLabel *m_banner;
    QLabel *m_label2;
    QLabel *m_image1;
    QLabel *m_label1;
    QImage m_imagenNatural;
    QScrollArea *m_zona = nullptr;
    int m_ruedaAcumulada = 0;
    std::array<Boton *, 22> m_botones {};
    std::array<QRadioButton *, 4> m_opciones {};
    Boton *m_cmdAnterior;
    Boton *m_cmdSiguiente;
    Boton *m_cmdSalir;
    Boton *m_cmdFinalizar;
    QList<QPair<int, QWidget *>> m_ordenTab;
};
