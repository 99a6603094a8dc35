#include "MensajesQt.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace {

// A message box whose lines are never wrapped, as the classic boxes show them. The box's own
// label wraps any line wider than half the screen and the box keeps itself within a width
// limit of its own; this one puts the text in a label that never wraps, in the same place,
// and widens itself to it as far as the screen allows. Should the box ever be laid out
// otherwise, its own label stays.
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
        etiqueta->setText(QString(texto).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
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

int MensajesQt::mostrar(const QString &texto, int estiloCaja, const QString &titulo,
                        const QString &, int)
{
    // No help viewer exists on this platform, so the help file and context are not used.
    CajaSinCortes caja(QApplication::activeModalWidget());
    caja.setObjectName(QStringLiteral("CajaMensaje"));
    caja.setWindowTitle(titulo.isEmpty() ? tituloAplicacion() : titulo);
    // The texts are the station's own, but a cause may name a file: never read as markup.
    caja.setTextFormat(Qt::PlainText);
    caja.setIcon((estiloCaja & 0x70) == estilo::kCritico ? QMessageBox::Critical
                                                         : QMessageBox::NoIcon);
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
