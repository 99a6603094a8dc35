#pragma once

#include <QColor>
#include <QFont>
#include <QRect>

// The screens are laid out in twips (1/1440 inch); at 96 dpi that is 15 twips per pixel.
constexpr int kTwipsPorPixel = 15;

constexpr int tw(int twips)
{
    return (twips + (twips >= 0 ? kTwipsPorPixel / 2 : -kTwipsPorPixel / 2)) / kTwipsPorPixel;
}

inline QRect twRect(int left, int top, int width, int height)
{
    return QRect(tw(left), tw(top), tw(width), tw(height));
}

// Colour values are 0x00BBGGRR; a value with the top bit set names a system colour
// (0x8000000F is the button face, 0x80000005 the window background).
QColor colorVB(quint32 valor);

constexpr quint32 kColorCaraBoton = 0x8000000F;
constexpr quint32 kColorFondoVentana = 0x80000005;

// The forms were designed with "MS Sans Serif"; the family is substituted by a metric-alike
// sans serif installed on the machine.
QFont fuenteSans(double puntos, bool negrita = false);
void registrarSustitucionesDeFuentes();
