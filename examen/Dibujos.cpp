#include "Dibujos.h"

#include "Geometria.h"

#include <QLinearGradient>
#include <QPainter>

namespace {
QPixmap dibujarBannerMatematicaSinCache()
{
    QPixmap dibujo(tw(10623), tw(1193));
    dibujo.fill(Qt::transparent);
    QPainter p(&dibujo);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont fuente(QStringLiteral("Calibri"));
    fuente.setBold(true);
    fuente.setPixelSize(dibujo.height() * 6 / 10);
    p.setFont(fuente);
    p.setPen(Qt::black);
    p.drawText(QRect(0, 0, dibujo.width(), dibujo.height() * 3 / 4), Qt::AlignCenter,
               QStringLiteral("MATEMÁTICA"));
    return dibujo;
}
} // namespace

// Drawn once; every reload of an exam form reuses it.
QPixmap dibujarBannerMatematica()
{
    static const QPixmap dibujo = dibujarBannerMatematicaSinCache();
    return dibujo;
}

namespace {
QPixmap dibujarLogoProductoSinCache()
{
    QPixmap logo(394, 76);
    QPainter p(&logo);
    QLinearGradient degradado(0, 0, 394, 0);
    degradado.setColorAt(0, QColor(0, 70, 140));
    degradado.setColorAt(1, QColor(0, 150, 210));
    p.fillRect(logo.rect(), degradado);
    QFont fuente(QStringLiteral("Calibri"));
    fuente.setBold(true);
    fuente.setPixelSize(40);
    p.setFont(fuente);
    p.setPen(QColor(255, 210, 60));
    p.drawText(logo.rect(), Qt::AlignCenter, QStringLiteral("ORBELA"));
    return logo;
}
} // namespace

// Drawn once; every reload of an exam form reuses it.
QPixmap dibujarLogoProducto()
{
    static const QPixmap dibujo = dibujarLogoProductoSinCache();
    return dibujo;
}

namespace {
QPixmap dibujarBannerLenguaSinCache()
{
    QPixmap dibujo(tw(6507), tw(792));
    dibujo.fill(Qt::white);
    QPainter p(&dibujo);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont fuente(QStringLiteral("Calibri"));
    fuente.setBold(true);
    fuente.setPixelSize(dibujo.height() * 24 / 40);
    p.setFont(fuente);
    p.setPen(Qt::black);
    p.drawText(QPointF(960.0 / kTwipsPorPixel, 535.0 / kTwipsPorPixel),
               QStringLiteral("LENGUA Y LITERATURA"));
    return dibujo;
}
} // namespace

// Drawn once; every reload of an exam form reuses it.
QPixmap dibujarBannerLengua()
{
    static const QPixmap dibujo = dibujarBannerLenguaSinCache();
    return dibujo;
}
