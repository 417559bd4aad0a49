// The drawings of the dark skin: every numbered bitmap of the table, drawn with QPainter.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include "ui/bitmap_table.h"

namespace tallyro::bitmaps {

// The font family for the button captions and the index badges: the first installed family
// that has every glyph they use. Empty when none has.
QString captionFamily();

// Draws the bitmap `info.number` at the size the drawing itself arrives at (the caller checks
// it against the table). Opaque bitmaps come back without an alpha channel, pointer and icon
// images with one. A number without a drawing gives a null image.
QImage drawBitmap(const ui::BitmapInfo& info);

// The program's icon for the desktop at size x size pixels: the emblem, redrawn with bars for
// sizes below 32. And the same emblem as SVG, for the scalable icon.
QImage drawAppIcon(int size);
QByteArray appIconSvg();

}  // namespace tallyro::bitmaps
