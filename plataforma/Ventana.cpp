#include "Ventana.h"

#include "Geometria.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

Ventana::Ventana(QWidget *padre)
    : QDialog(padre)
{
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setModal(true);
}

void Ventana::quitarCerrar()
{
    m_cierreBloqueado = true;
    const bool visible = isVisible();
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowMinimizeButtonHint);
    if (visible)
        show();
}

void Ventana::reject()
{
    // Escape and the generic "reject" path close nothing; windows close through terminar().
}

void Ventana::terminar(Pantalla siguiente)
{
    m_siguiente = siguiente;
    m_terminando = true;
    done(QDialog::Accepted);
}

void Ventana::fijarAreaCliente(int anchoTwips, int altoTwips)
{
    resize(tw(anchoTwips), tw(altoTwips));
}

void Ventana::fijarTamanoExterior(int anchoTwips, int altoTwips)
{
    const QSize marco = frameGeometry().size() - geometry().size();
    resize(tw(anchoTwips) - marco.width(), tw(altoTwips) - marco.height());
}

void Ventana::closeEvent(QCloseEvent *evento)
{
    if (!m_terminando && !m_cierreBloqueado)
        cerrarDesdeMarco();
    evento->setAccepted(m_terminando);
}

void Ventana::keyPressEvent(QKeyEvent *evento)
{
    switch (evento->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        evento->accept();
        return;
    default:
        QDialog::keyPressEvent(evento);
    }
}

Boton::Boton(const QString &texto, QWidget *padre)
    : QPushButton(texto, padre)
{
    setAutoDefault(false);
    setDefault(false);
}

void Boton::setColorFondo(quint32 color)
{
    m_colorFondo = color;
    QPalette paleta = palette();
    paleta.setColor(QPalette::Button, colorVB(color));
    setPalette(paleta);
    setProperty("colorFondo", QVariant::fromValue(color));
}

void Boton::keyPressEvent(QKeyEvent *evento)
{
    if ((evento->key() == Qt::Key_Return || evento->key() == Qt::Key_Enter)
        && !(evento->modifiers() & ~Qt::KeypadModifier)) {
        click();
        evento->accept();
        return;
    }
    QPushButton::keyPressEvent(evento);
}

void Boton::paintEvent(QPaintEvent *)
{
    QStylePainter pintor(this);
    QStyleOptionButton opcion;
    initStyleOption(&opcion);
    opcion.text.clear();
    pintor.drawControl(QStyle::CE_PushButton, opcion);
    pintor.setFont(font());
    pintor.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                  QPalette::ButtonText));
    pintor.drawText(rect().adjusted(3, 3, -3, -3), Qt::AlignCenter | Qt::TextWordWrap, text());
}
