#include "Geometria.h"

#include <QApplication>
#include <QPalette>

QColor colorVB(quint32 valor)
{
    if (valor & 0x80000000u) {
        const QPalette paleta = QApplication::palette();
        switch (valor & 0xFFu) {
        case 0x05:
            return paleta.color(QPalette::Base);
        case 0x0F:
        default:
            return paleta.color(QPalette::Button);
        }
    }
    return QColor(int(valor & 0xFF), int((valor >> 8) & 0xFF), int((valor >> 16) & 0xFF));
}

void registrarSustitucionesDeFuentes()
{
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
        { QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
            QStringLiteral("DejaVu Sans") });
    QFont::insertSubstitutions(
        QStringLiteral("Calibri"), { QStringLiteral("Carlito"), QStringLiteral("DejaVu Sans") });
}

QFont fuenteSans(double puntos, bool negrita)
{
    QFont fuente(QStringLiteral("MS Sans Serif"));
    fuente.setPointSizeF(puntos);
    fuente.setBold(negrita);
    return fuente;
}
