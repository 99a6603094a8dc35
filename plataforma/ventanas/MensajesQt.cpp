#include "MensajesQt.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

int MensajesQt::mostrar(const QString &texto, int estiloCaja, const QString &titulo,
                        const QString &, int)
{
    // No help viewer exists on this platform, so the help file and context are not used.
    QMessageBox caja(QApplication::activeModalWidget());
    caja.setObjectName(QStringLiteral("CajaMensaje"));
    caja.setWindowTitle(titulo.isEmpty() ? tituloAplicacion() : titulo);
    caja.setText(texto);
    caja.setIcon((estiloCaja & 0x70) == estilo::kCritico ? QMessageBox::Critical
                                                         : QMessageBox::NoIcon);
    if ((estiloCaja & 0x0F) == estilo::kSiNo) {
        QPushButton *si = caja.addButton(QStringLiteral("Sí"), QMessageBox::YesRole);
        QPushButton *no = caja.addButton(QStringLiteral("No"), QMessageBox::NoRole);
        caja.setDefaultButton((estiloCaja & 0xF00) == estilo::kSegundoBotonPorDefecto ? no : si);
        caja.setEscapeButton(no);
        caja.exec();
        return caja.clickedButton() == si ? kRespuestaSi : kRespuestaNo;
    }
    QPushButton *aceptar = caja.addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole);
    caja.setDefaultButton(aceptar);
    caja.setEscapeButton(aceptar);
    caja.exec();
    return kRespuestaAceptar;
}
