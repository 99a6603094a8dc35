#include "Ventana.h"

#include "Geometria.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QHash>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QStaticText>
#include <QTextOption>
#include <QWindow>

#include <algorithm>

Ventana::Ventana(QWidget *padre)
    : QDialog(padre)
{
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    // Modal to its own parent only: a window of the station blocks the window it was opened
    // over, never the reference documents the student reads beside the exam.
    setWindowModality(Qt::WindowModal);
}

void Ventana::quitarCerrar()
{
    m_cierreBloqueado = true;
    const bool visible = isVisible();
    setWindowFlags(
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
    if (visible)
        show();
}

void Ventana::reject()
{
    // Escape and the generic "reject" path close nothing; windows close through terminar().
}

void Ventana::cerrarVentana()
{
    m_terminando = true;
    done(QDialog::Accepted);
}

void Ventana::fijarAreaCliente(int anchoTwips, int altoTwips)
{
    resize(tw(anchoTwips), tw(altoTwips));
}

void Ventana::fijarTamanoExterior(int anchoTwips, int altoTwips)
{
    m_tamanoExterior = QSize(tw(anchoTwips), tw(altoTwips));
    ajustarTamanoExterior();
}

void Ventana::ajustarTamanoExterior()
{
    if (m_tamanoExterior.isEmpty())
        return;
    // Asked of the window itself: the widget's own idea of its frame is only updated when
    // the window moves, and some window managers frame a window without moving it.
    const QMargins marco = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const QSize interior
        = m_tamanoExterior - QSize(marco.left() + marco.right(), marco.top() + marco.bottom());
    if (size() != interior)
        resize(interior);
    traerALaPantalla(marco);
}

// The manager may place a window at the size it had before its frame: on a small screen (a
// netbook's 1024 × 600) that can leave the title bar above the top. Once framed, the window is
// kept wholly on the screen, where it fits, wherever the manager or a drag puts it.
void Ventana::traerALaPantalla(const QMargins &marco)
{
    const QScreen *pantalla = screen();
    if (!pantalla || marco.top() <= 0)
        return;
    const QRect libre = pantalla->availableGeometry();
    // The frame's place, as the window itself has it: a widget's move() may place the client.
    QWindow *ventana = windowHandle();
    QRect caja(ventana->framePosition(), m_tamanoExterior);
    if (libre.contains(caja))
        return;
    caja.moveLeft(std::clamp(
        caja.left(), libre.left(), std::max(libre.left(), libre.right() + 1 - caja.width())));
    caja.moveTop(std::clamp(
        caja.top(), libre.top(), std::max(libre.top(), libre.bottom() + 1 - caja.height())));
    if (caja.topLeft() != ventana->framePosition())
        ventana->setFramePosition(caja.topLeft());
}

bool Ventana::event(QEvent *evento)
{
    const bool atendido = QDialog::event(evento);
    switch (evento->type()) {
    // Whichever of these comes after the window manager has framed the window.
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowActivate:
        ajustarTamanoExterior();
        break;
    default:
        break;
    }
    return atendido;
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

Boton::Boton(QWidget *padre)
    : QPushButton(padre)
{
    setAutoDefault(false);
    setDefault(false);
}

void Boton::setColorFondo(quint32 color)
{
    if (color == m_colorFondo && property("colorFondo").isValid())
        return;
    m_colorFondo = color;
    setProperty("colorFondo", QVariant::fromValue(color));
    update();
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

namespace {
// Captions laid out once and reused by every button with the same text, font and width;
// the exam forms are rebuilt at every change of question.
const QStaticText &rotuloEnCache(const QString &texto, const QFont &fuente, int ancho)
{
    static QHash<QString, QStaticText> cache;
    const QString clave
        = texto + QLatin1Char('\x1f') + fuente.key() + QLatin1Char('\x1f') + QString::number(ancho);
    auto it = cache.find(clave);
    if (it == cache.end()) {
        QStaticText rotulo;
        rotulo.setTextFormat(Qt::PlainText);
        rotulo.setTextOption(QTextOption(Qt::AlignHCenter));
        const QFontMetrics metricas(fuente);
        // Wrapped only when it does not fit on one line.
        if (metricas.horizontalAdvance(texto) > ancho)
            rotulo.setTextWidth(ancho);
        rotulo.setText(texto);
        rotulo.prepare(QTransform(), fuente);
        if (cache.size() > 512)
            cache.clear();
        it = cache.insert(clave, rotulo);
    }
    return it.value();
}
} // namespace

void Boton::paintEvent(QPaintEvent *)
{
    // Drawn by hand in the classic raised style: the back colour is the whole face, and no
    // per-palette pixmaps pile up in the style's cache while forms come and go.
    QPainter p(this);
    const QRect r = rect();
    const QColor cara = colorVB(m_colorFondo);
    p.fillRect(r, cara);
    const QColor claro = Qt::white;
    const QColor sombra(128, 128, 128);
    const QColor oscuro = Qt::black;
    auto marco = [&p](QRect c, const QColor &arribaIzq, const QColor &abajoDer) {
        p.setPen(arribaIzq);
        p.drawLine(c.topLeft(), c.topRight());
        p.drawLine(c.topLeft(), c.bottomLeft());
        p.setPen(abajoDer);
        p.drawLine(c.bottomLeft(), c.bottomRight());
        p.drawLine(c.topRight(), c.bottomRight());
    };
    const bool hundido = isDown() || isChecked();
    if (hundido) {
        marco(r, oscuro, oscuro);
        marco(r.adjusted(1, 1, -1, -1), sombra, sombra);
    } else {
        marco(r, claro, oscuro);
        marco(r.adjusted(1, 1, -1, -1), cara, sombra);
    }
    const QRect area = r.adjusted(4, 3, -4, -3).translated(hundido ? 1 : 0, hundido ? 1 : 0);
    p.setFont(font());
    const QStaticText &rotulo = rotuloEnCache(text(), font(), area.width());
    const QPointF origen(area.x() + (area.width() - rotulo.size().width()) / 2,
        area.y() + (area.height() - rotulo.size().height()) / 2);
    if (isEnabled()) {
        p.setPen(Qt::black);
    } else {
        p.setPen(claro);
        p.drawStaticText(origen + QPointF(1, 1), rotulo);
        p.setPen(sombra);
    }
    p.drawStaticText(origen, rotulo);
    if (hasFocus()) {
        QPen punteado(Qt::black, 1, Qt::DotLine);
        p.setPen(punteado);
        p.drawRect(r.adjusted(4, 4, -5, -5));
    }
}
