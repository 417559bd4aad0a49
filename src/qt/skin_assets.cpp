#include "qt/skin_assets.h"

#include <QHash>
#include <cmath>

#include "ui/bitmap_table.h"

namespace tallyro::qt {

const QPixmap& bitmap(int number) {
    static QHash<int, QPixmap> cache;
    auto it = cache.find(number);
    if (it == cache.end()) {
        it = cache.insert(number, QPixmap(QStringLiteral(":/bitmaps/%1.png").arg(number)));
    }
    return *it;
}

QCursor pointerCursor(ui::Pointer pointer) {
    switch (pointer) {
        case ui::Pointer::Hand: {
            static const QCursor hand(bitmap(ui::kBitmapHandPointer), 5, 0);
            return hand;
        }
        case ui::Pointer::Icon: {
            static const QCursor icon(bitmap(ui::kBitmapIconPointer), 16, 16);
            return icon;
        }
        case ui::Pointer::Arrow:
            break;
    }
    return QCursor(Qt::ArrowCursor);
}

int fontPixelSize(float points) {
    return static_cast<int>(std::lround(points * 96.0 / 72.0));
}

QFont qtFont(const ui::Font& font) {
    // Every label paint and every auto-size measure asks; the window uses five fonts.
    static QHash<QString, QFont> cache;
    const QString key = QStringLiteral("%1/%2/%3")
                            .arg(QString::fromStdString(font.face))
                            .arg(font.points)
                            .arg(font.bold);
    auto it = cache.find(key);
    if (it != cache.end())
        return *it;
    QFont f;
    if (font.face == "Arial") {
        f.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                       QStringLiteral("DejaVu Sans")});
    } else {
        f.setFamilies({QStringLiteral("Noto Serif CJK SC"), QStringLiteral("SimSun"),
                       QStringLiteral("Noto Sans CJK SC")});
    }
    f.setPixelSize(fontPixelSize(font.points));
    f.setBold(font.bold);
    return *cache.insert(key, f);
}

QColor rgbColor(std::uint32_t rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

int px(float twips) {
    return static_cast<int>(std::lround(twips / ui::kTwipsPerPixel));
}

}  // namespace tallyro::qt
