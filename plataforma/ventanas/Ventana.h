#pragma once

#include <QDialog>
#include <QPushButton>

// Base of every window of the station. No button is a default or cancel button: Escape
// closes nothing and Enter only reaches the focused control.
class Ventana : public QDialog {
    Q_OBJECT
public:
    explicit Ventana(QWidget *padre = nullptr);

    // The load step, run before the window is shown.
    virtual void cargar() { }

    // Removes the frame's close button and ignores every close request that does not come
    // from the window's own buttons (window manager, Alt+F4).
    void quitarCerrar();

    void reject() override;

protected:
    // Closes the window from one of its own handlers.
    void cerrarVentana();
    void fijarAreaCliente(int anchoTwips, int altoTwips);
    // Sets the size of the whole window, frame included, as far as the frame is known.
    void fijarTamanoExterior(int anchoTwips, int altoTwips);

    // The frame's close button of a window that keeps it; by default it closes the window.
    virtual void cerrarDesdeMarco() { cerrarVentana(); }

    void closeEvent(QCloseEvent *evento) override;
    bool event(QEvent *evento) override;
    void keyPressEvent(QKeyEvent *evento) override;

private:
    bool m_cierreBloqueado = false;
    bool m_terminando = false;
    // Keeps the whole window, frame included, at the size asked for: the frame a window
    // manager adds is only known some time after the window shows.
    void ajustarTamanoExterior();
    void traerALaPantalla(const QMargins &marco);
    QSize m_tamanoExterior; // pixels, frame included; empty when not set
};

// A command button that never acts as a default button and clicks on Enter when it has
// the focus, as on the desktop the forms were designed for.
class Boton : public QPushButton {
    Q_OBJECT
public:
    explicit Boton(QWidget *padre = nullptr);
    // Back colour as 0x00BBGGRR or a system colour; kept in the "colorFondo" property.
    void setColorFondo(quint32 color);

protected:
    void keyPressEvent(QKeyEvent *evento) override;
    // Captions wrap onto several lines when the button is narrow.
    void paintEvent(QPaintEvent *evento) override;

private:
    quint32 m_colorFondo = 0x8000000F;
};
