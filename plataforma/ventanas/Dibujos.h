#pragma once

#include <QPixmap>

// Pictures the station draws itself instead of loading them from the content. Each is drawn
// once and kept: the forms are rebuilt at every change of question.
QPixmap dibujarBannerMenu(); // the menu's title banner, 386 × 89 pixels
QPixmap dibujarBannerMatematica(); // "MATEMÁTICA", 10623 × 1193 twips, transparent
QPixmap dibujarLogoProducto(); // 394 × 76 pixels
QPixmap dibujarBannerLengua(); // "LENGUA Y LITERATURA" on white, 6507 × 792 twips
