#pragma once

#include <QDialog>
#include <QPushButton>

// The screens of a run; every form tells the screen loop which one comes after it.
enum class Pantalla { Registro, Menu, ExamenMatematica, ExamenLengua, Fin };

// Base of every window of the station. No button is a default or cancel button: Escape
// closes nothing and Enter only reaches the focused control.
class Ventana : public QDialog {
    Q_OBJECT
public:
    explicit Ventana(QWidget *padre = nullptr);

    // The load step, run by the screen loop before the window is shown.
    virtual void cargar() {}

    Pantalla siguiente() const { return m_siguiente; }
    bool cierreBloqueado() const { return m_cierreBloqueado; }

    // Removes the frame's close button and ignores every close request that does not come
    // from the window's own buttons (window manager, Alt+F4).
    void quitarCerrar();

    void reject() override;

protected:
    // Closes the window from one of its own handlers and names the screen that follows.
    void terminar(Pantalla siguiente);
    void fijarAreaCliente(int anchoTwips, int altoTwips);
    // Sets the size of the whole window, frame included, as far as the frame is known.
    void fijarTamanoExterior(int anchoTwips, int altoTwips);

    // The frame's close button of a window that keeps it; by default it leaves like the
    // window's own exit.
    virtual void cerrarDesdeMarco() { terminar(m_siguiente); }

    void closeEvent(QCloseEvent *evento) override;
    void showEvent(QShowEvent *evento) override;
    void keyPressEvent(QKeyEvent *evento) override;

private:
    Pantalla m_siguiente = Pantalla::Fin;
    bool m_cierreBloqueado = false;
    bool m_terminando = false;
    QSize m_tamanoExterior; // pixels, frame included; empty when not set
};

// A command button that never acts as a default button and clicks on Enter when it has
// the focus, as on the desktop the forms were designed for.
class Boton : public QPushButton {
    Q_OBJECT
public:
    explicit Boton(const QString &texto, QWidget *padre = nullptr);
    // Back colour as 0x00BBGGRR or a system colour; kept in the "colorFondo" property.
    void setColorFondo(quint32 color);
    quint32 colorFondo() const { return m_colorFondo; }

protected:
    void keyPressEvent(QKeyEvent *evento) override;
    // Captions wrap onto several lines when the button is narrow.
    void paintEvent(QPaintEvent *evento) override;

private:
    quint32 m_colorFondo = 0x8000000F;
};
