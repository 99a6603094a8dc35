#include "MensajesQt.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <limits>

namespace {

// Breaks at spaces every line wider than `ancho`; the others stay as they are.
QString ajustarRenglones(const QString &texto, const QFontMetrics &medidas, int ancho)
{
    QStringList salida;
    for (const QString &linea : texto.split(QLatin1Char('\n'))) {
        if (medidas.horizontalAdvance(linea) <= ancho) {
            salida << linea;
            continue;
        }
        QString actual;
        for (const QString &palabra : linea.split(QLatin1Char(' '))) {
            const QString probada
                = actual.isEmpty() ? palabra : actual + QLatin1Char(' ') + palabra;
            if (!actual.isEmpty() && medidas.horizontalAdvance(probada) > ancho) {
                salida << actual;
                actual = palabra;
            } else {
                actual = probada;
            }
        }
        salida << actual;
    }
    return salida.join(QLatin1Char('\n'));
}

// A message box whose lines are never wrapped, as the classic boxes show them. The box's own
// label wraps any line wider than half the screen and the box keeps itself within a width
// limit of its own; this one puts the text in a label that never wraps, in the same place,
// and widens itself to it as far as the screen allows; only a line wider than the screen
// itself is broken, at a word, so that nothing falls off a small screen. Should the box ever
// be laid out otherwise, its own label stays.
class CajaSinCortes final : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

    void ponerTexto(const QString &texto)
    {
        setText(texto);
        auto *grilla = qobject_cast<QGridLayout *>(layout());
        auto *propia = findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        const int indice = grilla && propia ? grilla->indexOf(propia) : -1;
        if (indice < 0)
            return;
        int fila, columna, filas, columnas;
        grilla->getItemPosition(indice, &fila, &columna, &filas, &columnas);
        auto *etiqueta = new QLabel(this);
        etiqueta->setObjectName(QStringLiteral("TextoCaja"));
        etiqueta->setTextFormat(Qt::PlainText);
        etiqueta->setWordWrap(false);
        etiqueta->setTextInteractionFlags(propia->textInteractionFlags());
        // What the box needs beside its text: its margins, its frame and its icon.
        const QScreen *pantalla
            = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
        const int reserva = 96 + (icon() == QMessageBox::NoIcon ? 0 : 64);
        const int ancho = pantalla ? pantalla->availableGeometry().width() - reserva
                                   : std::numeric_limits<int>::max();
        etiqueta->setText(
            ajustarRenglones(QString(texto).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                QFontMetrics(etiqueta->font()), ancho));
        propia->hide();
        grilla->addWidget(etiqueta, fila, columna, filas, columnas);
    }

protected:
    bool event(QEvent *evento) override
    {
        const bool atendido = QMessageBox::event(evento);
        // The box sizes itself on these; then it is widened to its text.
        if (evento->type() == QEvent::LayoutRequest || evento->type() == QEvent::Show)
            ensanchar();
        return atendido;
    }

private:
    void ensanchar()
    {
        if (!layout() || !isVisible())
            return;
        layout()->activate();
        const QSize minimo = layout()->totalMinimumSize();
        const int limite = screen() ? screen()->availableGeometry().width() : minimo.width();
        const int ancho = qMin(minimo.width(), limite);
        if (width() < ancho)
            setFixedSize(ancho, qMax(height(), minimo.height()));
    }
};

} // namespace

int MensajesQt::mostrar(
    const QString &texto, int estiloCaja, const QString &titulo, const QString &, int)
{
    // No help viewer exists on this platform, so the help file and context are not used.
    CajaSinCortes caja(QApplication::activeModalWidget());
    caja.setObjectName(QStringLiteral("CajaMensaje"));
    caja.setWindowTitle(titulo.isEmpty() ? tituloAplicacion() : titulo);
    // The texts are the station's own, but a cause may name a file: never read as markup.
    caja.setTextFormat(Qt::PlainText);
    caja.setIcon(
        (estiloCaja & 0x70) == estilo::kCritico ? QMessageBox::Critical : QMessageBox::NoIcon);
    QPushButton *si = nullptr;
    if ((estiloCaja & 0x0F) == estilo::kSiNo) {
        si = caja.addButton(QStringLiteral("Sí"), QMessageBox::YesRole);
        QPushButton *no = caja.addButton(QStringLiteral("No"), QMessageBox::NoRole);
        caja.setDefaultButton((estiloCaja & 0xF00) == estilo::kSegundoBotonPorDefecto ? no : si);
        caja.setEscapeButton(no);
    } else {
        QPushButton *aceptar = caja.addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole);
        caja.setDefaultButton(aceptar);
        caja.setEscapeButton(aceptar);
    }
    caja.ponerTexto(texto);
    caja.exec();
    if (!si)
        return kRespuestaAceptar;
    return caja.clickedButton() == si ? kRespuestaSi : kRespuestaNo;
}
