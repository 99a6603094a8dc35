#pragma once

#include <QPixmap>

// Pictures that the exam forms draw themselves instead of loading them from the content.
QPixmap dibujarBannerMatematica(); // "MATEMÁTICA", 10623 × 1193 twips, transparent
QPixmap dibujarLogoProducto();     // 394 × 76 pixels
QPixmap dibujarBannerLengua();     // "LENGUA Y LITERATURA" on white, 6507 × 792 twips
