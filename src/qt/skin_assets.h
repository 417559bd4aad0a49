// The numbered bitmaps, pointers and fonts as Qt objects, loaded once and kept.
#pragma once

#include <QCursor>
#include <QFont>
#include <QPixmap>

#include "ui/element.h"

namespace tallyro::qt {

// The bitmap with this number from the embedded resources; a null pixmap for an
// unknown number.
const QPixmap& bitmap(int number);

QCursor pointerCursor(ui::Pointer pointer);

// Fonts by their classic face names, mapped to installed ones: 宋体 to a Song
// (serif) CJK face, Arial to a metric-compatible sans. Sizes are fixed in pixels
// (points at 96 dpi), since the layout is laid out in pixels.
QFont qtFont(const ui::Font& font);
int fontPixelSize(float points);

QColor rgbColor(std::uint32_t rgb);

// Twips to logical pixels, rounded to the nearest pixel.
int px(float twips);

}  // namespace tallyro::qt
