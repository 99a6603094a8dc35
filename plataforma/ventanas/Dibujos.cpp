#include "Dibujos.h"

#include "Geometria.h"

#include <QHash>
#include <QLinearGradient>
#include <QPainter>

namespace {

// Draws a picture the first time it is asked for, and hands out the same one after that.
QPixmap guardado(const char *clave, QPixmap (*dibujar)())
{
    static QHash<QByteArray, QPixmap> dibujos;
    auto it = dibujos.find(clave);
    if (it == dibujos.end())
        it = dibujos.insert(clave, dibujar());
    return it.value();
}

QFont calibri(int pixeles, bool negrita)
{
    QFont fuente(QStringLiteral("Calibri"));
    fuente.setPixelSize(pixeles);
    fuente.setBold(negrita);
    return fuente;
}

// The product's colours: a blue gradient along `hacia` with the name over it.
QPixmap conDegradado(QSize tamano, QPointF hacia, const QColor &claro)
{
    QPixmap dibujo(tamano);
    QPainter p(&dibujo);
    QLinearGradient degradado(QPointF(0, 0), hacia);
    degradado.setColorAt(0, QColor(0, 70, 140));
    degradado.setColorAt(1, claro);
    p.fillRect(dibujo.rect(), degradado);
    return dibujo;
}

QPixmap bannerMenu()
{
    QPixmap banner = conDegradado(QSize(386, 89), QPointF(0, 89), QColor(0, 130, 200));
    QPainter p(&banner);
    p.setPen(QColor(255, 210, 60));
    p.drawRect(banner.rect().adjusted(3, 3, -4, -4));
    p.setFont(calibri(46, true));
    p.setPen(Qt::white);
    p.drawText(QRect(0, 4, 386, 56), Qt::AlignCenter, QStringLiteral("ORBELA"));
    p.setFont(calibri(15, false));
    p.drawText(QRect(0, 58, 386, 24), Qt::AlignCenter,
        QStringLiteral("Evaluación de Lengua y Matemática"));
    return banner;
}

// A title in black bold Calibri over `fondo`, written where `escribir` puts it.
template <typename Escribir>
QPixmap titulo(QSize tamano, const QColor &fondo, int pixeles, Escribir escribir)
{
    QPixmap dibujo(tamano);
    dibujo.fill(fondo);
    QPainter p(&dibujo);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(calibri(pixeles, true));
    p.setPen(Qt::black);
    escribir(p, dibujo.rect());
    return dibujo;
}

QPixmap bannerMatematica()
{
    const QSize tamano(tw(10623), tw(1193));
    return titulo(tamano, Qt::transparent, tamano.height() * 6 / 10, [](QPainter &p, QRect r) {
        p.drawText(QRect(0, 0, r.width(), r.height() * 3 / 4), Qt::AlignCenter,
            QStringLiteral("MATEMÁTICA"));
    });
}

QPixmap logoProducto()
{
    QPixmap logo = conDegradado(QSize(394, 76), QPointF(394, 0), QColor(0, 150, 210));
    QPainter p(&logo);
    p.setFont(calibri(40, true));
    p.setPen(QColor(255, 210, 60));
    p.drawText(logo.rect(), Qt::AlignCenter, QStringLiteral("ORBELA"));
    return logo;
}

QPixmap bannerLengua()
{
    const QSize tamano(tw(6507), tw(792));
    return titulo(tamano, Qt::white, tamano.height() * 24 / 40, [](QPainter &p, QRect) {
        p.drawText(QPointF(960.0 / kTwipsPorPixel, 535.0 / kTwipsPorPixel),
            QStringLiteral("LENGUA Y LITERATURA"));
    });
}

} // namespace

QPixmap dibujarBannerMenu()
{
    return guardado("menu", bannerMenu);
}

QPixmap dibujarBannerMatematica()
{
    return guardado("matematica", bannerMatematica);
}

QPixmap dibujarLogoProducto()
{
    return guardado("logo", logoProducto);
}

QPixmap dibujarBannerLengua()
{
    return guardado("lengua", bannerLengua);
}
