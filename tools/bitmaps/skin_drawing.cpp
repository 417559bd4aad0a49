// The drawings of the dark skin. Pieces that meet on screen (title strip, frame, title-bar
// buttons, popup strips) are cut from one drawn window so that they join without a seam.
#include "skin_drawing.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>
#include <vector>

namespace tallyro::bitmaps {
namespace {

// Skin colours. The body and frame values are fixed by the window's design; the rest are
// shades around them.
constexpr QRgb kBody = 0xff404040;
constexpr QRgb kFrame = 0xff262626;
constexpr QRgb kOutline = 0xff121212;
constexpr QRgb kInnerLine = 0xff1b1b1b;  // seam between the dark frame and the body
constexpr QRgb kTitleHighlight = 0xff3b3b3b;
constexpr QRgb kTitleTop = 0xff333333;  // title gradient, fading to kFrame at its foot
constexpr QRgb kWhite = 0xffffffff;
constexpr QRgb kAccent = 0xffef8a24;
constexpr QRgb kTabIcon = 0xff9e9e9e;
constexpr QRgb kTabSelectedPanel = 0xff464646;

// Window chrome geometry in pixels: the title strip is 26 rows including the seam on its
// last row; the sides and the bottom are 4 pixels (outline, two frame, seam).
constexpr int kTitleRows = 26;
constexpr int kEdge = 4;
// The window is clipped to a rounded rectangle with a 9 x 9 corner ellipse.
constexpr double kCornerRadius = 4.5;

// Title-bar buttons sit 2 pixels below the window's top edge, on the title strip.
constexpr int kTitleButtonTop = 2;
constexpr int kTitleButtonColumn = 100;  // any column of the plain title strip

QRgb mix(QRgb a, QRgb b, double t) {
    auto channel = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
    return qRgb(channel(qRed(a), qRed(b)), channel(qGreen(a), qGreen(b)),
                channel(qBlue(a), qBlue(b)));
}

QImage opaqueImage(int w, int h, QRgb fill) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(fill);
    return img;
}

QImage transparentImage(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

void prepare(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

// Characters drawn in the caption font; the font is only accepted if it has all of them.
constexpr std::u16string_view kCaptionGlyphs = u"登录返回取消沪深Tallyro";

QString findCaptionFamily() {
    const QStringList installed = QFontDatabase::families();
    for (const char* name : {"Noto Sans CJK SC", "Source Han Sans SC", "Noto Sans SC",
                             "WenQuanYi Micro Hei", "WenQuanYi Zen Hei"}) {
        const QString family = QString::fromLatin1(name);
        if (!installed.contains(family))
            continue;
        QFont font(family);
        font.setPixelSize(14);
        const QFontMetricsF metrics(font);
        const bool complete =
            std::all_of(kCaptionGlyphs.begin(), kCaptionGlyphs.end(),
                        [&](char16_t c) { return metrics.inFontUcs4(static_cast<uint>(c)); });
        if (complete)
            return family;
    }
    return {};
}

QFont captionFont(int pixelSize, bool bold) {
    QFont font(captionFamily());
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    // Grey-level smoothing only: coloured fringes would show on other backgrounds and screens.
    font.setStyleStrategy(QFont::NoSubpixelAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

// Draws `text` with its inked outline centred on `centre`, on whole-pixel baselines so the
// hinted glyphs stay sharp.
void drawCentredText(QPainter& p, QPointF centre, const QString& text, const QFont& font,
                     QColor colour, QColor shadow = Qt::transparent) {
    const QFontMetricsF metrics(font);
    const QRectF ink = metrics.tightBoundingRect(text);
    const double x = std::round(centre.x() - ink.width() / 2 - ink.left());
    const double baseline = std::round(centre.y() - ink.height() / 2 - ink.top());
    p.setFont(font);
    if (shadow.alpha() > 0) {
        p.setPen(shadow);
        p.drawText(QPointF(x, baseline + 1), text);
    }
    p.setPen(colour);
    p.drawText(QPointF(x, baseline), text);
}

QRgb titleRowColour(int y) {
    if (y == 0)
        return kOutline;
    if (y == 1)
        return kTitleHighlight;
    const double t = static_cast<double>(y - 2) / (kTitleRows - 4);
    return mix(kTitleTop, kFrame, std::clamp(t, 0.0, 1.0));
}

QRgb chromePixel(int x, int y, int w, int h) {
    const bool leftOrRightEdge = x == 0 || x == w - 1;
    if (y < kTitleRows) {
        if (y == 0 || leftOrRightEdge)
            return kOutline;
        if (y == kTitleRows - 1)
            return (x < kEdge - 1 || x > w - kEdge) ? kFrame : kInnerLine;
        return titleRowColour(y);
    }
    const int fromBottom = h - 1 - y;
    if (fromBottom < kEdge) {
        if (fromBottom == 0 || leftOrRightEdge)
            return kOutline;
        if (fromBottom == kEdge - 1 && x >= kEdge - 1 && x <= w - kEdge)
            return kInnerLine;
        return kFrame;
    }
    if (leftOrRightEdge)
        return kOutline;
    if (x < kEdge - 1 || x > w - kEdge)
        return kFrame;
    if (x == kEdge - 1 || x == w - kEdge)
        return kInnerLine;
    return kBody;
}

bool outsideRoundedOutline(int x, int y, int w, int h) {
    const double cx = x + 0.5;
    const double cy = y + 0.5;
    const double nearestX = std::clamp(cx, kCornerRadius, w - kCornerRadius);
    const double nearestY = std::clamp(cy, kCornerRadius, h - kCornerRadius);
    return std::hypot(cx - nearestX, cy - nearestY) > kCornerRadius;
}

// A whole window of w x h pixels: title strip, frame and body. The pixels that the rounded
// outline cuts away, and the ring just inside it, take the outline colour, so the visible
// edge keeps its dark line around the corners.
QImage drawChrome(int w, int h) {
    QImage img = opaqueImage(w, h, kBody);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, chromePixel(x, y, w, h));
    }
    auto outside = [&](int x, int y) {
        return x < 0 || y < 0 || x >= w || y >= h || outsideRoundedOutline(x, y, w, h);
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool corner =
                (x < kEdge + 1 || x >= w - kEdge - 1) && (y < kEdge + 1 || y >= h - kEdge - 1);
            if (!corner)
                continue;
            if (outside(x, y) || outside(x - 1, y) || outside(x + 1, y) || outside(x, y - 1) ||
                outside(x, y + 1)) {
                img.setPixel(x, y, kOutline);
            }
        }
    }
    return img;
}

// The main window's chrome, wide and tall enough that every piece is cut from plain parts.
const QImage& mainChrome() {
    static const QImage chrome = drawChrome(480, 64);
    return chrome;
}

// The popup's chrome at the size of its pieces.
const QImage& popupChrome() {
    static const QImage chrome = drawChrome(240, 64);
    return chrome;
}

QImage cut(const QImage& from, int x, int y, int w, int h) {
    return from.copy(x, y, w, h);
}

QImage cutBottom(const QImage& from, int x, int w, int rows) {
    return from.copy(x, from.height() - rows, w, rows);
}

QImage cutRight(const QImage& from, int y, int w, int h) {
    return from.copy(from.width() - w, y, w, h);
}

QLinearGradient emblemGradient(QRectF r) {
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0.0, QColor(0xffb347));
    g.setColorAt(1.0, QColor(0xe0531d));
    return g;
}

struct Candle {
    int left, wickTop, bodyTop, bodyBottom, wickBottom;  // rows inclusive
};
// The emblem's candlesticks in its 32 x 32 units.
constexpr std::array<Candle, 4> kEmblemCandles{{
    {5, 16, 19, 24, 26},
    {11, 12, 15, 21, 24},
    {17, 9, 12, 18, 20},
    {23, 5, 7, 14, 17},
}};

// The emblem at 32 x 32 units: a rounded square with four rising candlesticks. Scale 1 and 2
// keep every edge on the pixel grid.
void drawEmblem(QPainter& p, QPointF origin, double scale) {
    p.save();
    p.translate(origin);
    p.scale(scale, scale);
    const QRectF square(0, 0, 32, 32);
    p.setPen(Qt::NoPen);
    p.setBrush(emblemGradient(square));
    p.drawRoundedRect(square, 7, 7);

    p.setBrush(QColor(kWhite));
    for (const Candle& c : kEmblemCandles) {
        p.drawRect(QRectF(c.left + 1, c.wickTop, 2, c.wickBottom - c.wickTop + 1));
        p.drawRect(QRectF(c.left, c.bodyTop, 4, c.bodyBottom - c.bodyTop + 1));
    }
    p.restore();
}

// The emblem redrawn for 16 x 16: three rising bars, no wicks, which would only smear.
void drawSmallEmblem(QPainter& p, QPoint origin) {
    p.save();
    p.translate(origin);
    const QRectF square(0, 0, 16, 16);
    p.setPen(Qt::NoPen);
    p.setBrush(emblemGradient(square));
    p.drawRoundedRect(square, 3.5, 3.5);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(QColor(kWhite));
    p.drawRect(3, 8, 2, 5);
    p.drawRect(7, 5, 2, 6);
    p.drawRect(11, 3, 2, 6);
    p.restore();
}

QImage drawLogo(int w, int h) {
    QImage img = opaqueImage(w, h, kBody);
    QPainter p(&img);
    prepare(p);
    const double size = 64;
    const QPointF origin(std::floor((w - size) / 2), 1);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawRoundedRect(QRectF(origin + QPointF(0, 1.5), QSizeF(size, size)), 14, 14);
    drawEmblem(p, origin, size / 32);
    drawCentredText(p, QPointF(w / 2.0, h - 8.5), QStringLiteral("Tallyro"), captionFont(14, true),
                    QColor(0xf2f2f2), QColor(0, 0, 0, 90));
    return img;
}

QImage drawTitleLeft(int w, int h) {
    QImage img = cut(mainChrome(), 0, 0, w, h);
    QPainter p(&img);
    prepare(p);
    drawSmallEmblem(p, QPoint(8, 5));
    QFont font = captionFont(13, true);
    const QFontMetricsF metrics(font);
    const QRectF ink = metrics.tightBoundingRect(QStringLiteral("Tall"));
    // Cap height centred on the title strip's visible rows 1 to 24.
    const double baseline = std::round(13.0 + ink.height() / 2);
    p.setFont(font);
    p.setPen(QColor(0, 0, 0, 110));
    p.drawText(QPointF(30, baseline + 1), QStringLiteral("Tallyro"));
    p.setPen(QColor(0xe6e6e6));
    p.drawText(QPointF(30, baseline), QStringLiteral("Tallyro"));
    return img;
}

QImage drawTitleButton(int w, int h, bool close, bool hover) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const QRgb c = mainChrome().pixel(kTitleButtonColumn, y + kTitleButtonTop);
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, c);
    }
    QPainter p(&img);
    prepare(p);
    // The strip's visible rows above its seam are the button's rows 0 to h - 2.
    const QRectF face(1, 0, w - 2, h - 1);
    if (hover) {
        p.setPen(Qt::NoPen);
        p.setBrush(close ? QColor(0xc9372c) : QColor(0x4d4d4d));
        p.drawRoundedRect(face, 3, 3);
    }
    const QColor glyph = hover ? QColor(kWhite) : QColor(0xb4b4b4);
    const QPointF centre = face.center();
    if (close) {
        QPen pen(glyph, 1.6, Qt::SolidLine, Qt::RoundCap);
        p.setPen(pen);
        const double r = 4.0;
        p.drawLine(centre + QPointF(-r, -r), centre + QPointF(r, r));
        p.drawLine(centre + QPointF(-r, r), centre + QPointF(r, -r));
    } else {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(QRect(static_cast<int>(centre.x()) - 4, static_cast<int>(centre.y()), 9, 2),
                   glyph);
    }
    return img;
}

struct ButtonLook {
    QRgb top, bottom, border, highlight, text;
};

QImage drawTextButton(int w, int h, const QString& caption, const ButtonLook& look) {
    QImage img = opaqueImage(w, h, kBody);
    QPainter p(&img);
    prepare(p);
    const QRectF face(0.5, 0.5, w - 1, h - 1);
    QLinearGradient fill(face.topLeft(), face.bottomLeft());
    fill.setColorAt(0, QColor(look.top));
    fill.setColorAt(1, QColor(look.bottom));
    p.setPen(QPen(QColor(look.border), 1));
    p.setBrush(fill);
    p.drawRoundedRect(face, 4, 4);
    p.setPen(QPen(QColor(look.highlight), 1));
    p.drawLine(QPointF(4, 1.5), QPointF(w - 4, 1.5));
    drawCentredText(p, QPointF(w / 2.0, h / 2.0), caption, captionFont(14, true), QColor(look.text),
                    QColor(0, 0, 0, 80));
    return img;
}

constexpr ButtonLook kPrimary{0xfff0922f, 0xffd86f18, 0xff9c4c0d, 0xffffb865, kWhite};
constexpr ButtonLook kPrimaryHover{0xffffaa4c, 0xffeb8527, 0xffad5a12, 0xffffd095, kWhite};
constexpr ButtonLook kSecondary{0xff5f5f5f, 0xff4b4b4b, 0xff232323, 0xff727272, 0xfff0f0f0};
constexpr ButtonLook kSecondaryHover{0xff727272, 0xff5b5b5b, 0xff262626, 0xff8a8a8a, kWhite};

enum class TabIcon { Search, Result, Handbook, Picking };

void drawTabIcon(QPainter& p, TabIcon icon, QColor colour) {
    QPen pen(colour, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (icon) {
        case TabIcon::Search: {
            p.setPen(QPen(colour, 2.2));
            p.drawEllipse(QPointF(16.5, 16.5), 6.5, 6.5);
            p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(21.8, 21.8), QPointF(27, 27));
            break;
        }
        case TabIcon::Result: {
            QPainterPath page;
            page.moveTo(11, 8);
            page.lineTo(21, 8);
            page.lineTo(26, 13);
            page.lineTo(26, 29);
            page.lineTo(11, 29);
            page.closeSubpath();
            p.drawPath(page);
            p.drawPolyline(QPolygonF({QPointF(21, 8), QPointF(21, 13), QPointF(26, 13)}));
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawRect(14, 22, 2, 4);
            p.drawRect(17, 19, 2, 7);
            p.drawRect(20, 16, 2, 10);
            p.setRenderHint(QPainter::Antialiasing, true);
            break;
        }
        case TabIcon::Handbook: {
            QPainterPath left;
            left.moveTo(18.5, 11);
            left.cubicTo(15.5, 9, 11.5, 8.5, 8, 9.5);
            left.lineTo(8, 27);
            left.cubicTo(11.5, 26, 15.5, 26.5, 18.5, 28.5);
            QPainterPath right;
            right.moveTo(18.5, 11);
            right.cubicTo(21.5, 9, 25.5, 8.5, 29, 9.5);
            right.lineTo(29, 27);
            right.cubicTo(25.5, 26, 21.5, 26.5, 18.5, 28.5);
            p.drawPath(left);
            p.drawPath(right);
            p.setPen(QPen(colour, 1));
            p.drawLine(QPointF(18.5, 12), QPointF(18.5, 27.5));
            for (double y : {14.5, 18.5, 22.5}) {
                p.drawLine(QPointF(11, y - 0.5), QPointF(15.5, y));
                p.drawLine(QPointF(26, y - 0.5), QPointF(21.5, y));
            }
            break;
        }
        case TabIcon::Picking: {
            QPainterPath funnel;
            funnel.moveTo(9, 10);
            funnel.lineTo(28, 10);
            funnel.lineTo(21, 18.5);
            funnel.lineTo(21, 26);
            funnel.lineTo(16, 28.5);
            funnel.lineTo(16, 18.5);
            funnel.closeSubpath();
            p.drawPath(funnel);
            break;
        }
    }
}

// Tabs are stacked at a 37-pixel pitch in a 37-pixel-wide bar, so a 38-pixel picture loses
// its last row and column under its neighbour and the bar's edge. Every tab is therefore
// drawn on a 37 x 37 cell; the extra row and column are plain bar colour.
QImage drawTab(int w, int h, TabIcon icon, bool selected) {
    QImage img = opaqueImage(w, h, kFrame);
    QPainter p(&img);
    prepare(p);
    constexpr int kCell = 37;
    QColor iconColour(kTabIcon);
    if (selected) {
        QPainterPath panel;
        panel.addRoundedRect(QRectF(1, 1, kCell - 2, kCell - 2), 3, 3);
        p.fillPath(panel, QColor(kTabSelectedPanel));
        p.save();
        p.setClipPath(panel);
        p.fillRect(QRectF(1, 1, 3, kCell - 2), QColor(kAccent));
        p.restore();
        iconColour = QColor(kWhite);
    }
    drawTabIcon(p, icon, iconColour);
    return img;
}

// Pixel art: each character is one pixel, looked up in `palette`; characters not in it are
// transparent (or white for opaque art).
struct PaletteEntry {
    char key;
    QRgb colour;
};

QImage drawPixelArt(int w, int h, const std::vector<std::string_view>& rows, QPoint at,
                    const std::vector<PaletteEntry>& palette, bool opaque) {
    QImage img = opaque ? opaqueImage(w, h, kWhite) : transparentImage(w, h);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            for (const PaletteEntry& e : palette) {
                if (e.key == rows[r][c]) {
                    img.setPixel(at.x() + static_cast<int>(c), at.y() + static_cast<int>(r),
                                 e.colour);
                }
            }
        }
    }
    return img;
}

QImage drawIndexBadge(int w, int h, const QString& glyph, QRgb colour) {
    QImage img = opaqueImage(w, h, kWhite);
    QPainter p(&img);
    prepare(p);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(colour));
    p.drawRoundedRect(QRectF(0, 0, w, h), 4, 4);
    // Regular weight: the bold strokes of 深 run together at this size.
    drawCentredText(p, QPointF(w / 2.0, h / 2.0), glyph, captionFont(13, false), QColor(kWhite));
    return img;
}

// Drawn pixel by pixel: at 7 pixels an antialiased cross turns into a grey blot.
QImage drawPanelCross(int w, int h) {
    static const std::vector<std::string_view> art{
        "#.....#",  //
        "##...##",  //
        ".##.##.",  //
        "..###..",  //
        ".##.##.",  //
        "##...##",  //
        "#.....#",  //
    };
    return drawPixelArt(w, h, art, QPoint((w - 7) / 2, (h - 7 + 1) / 2), {{'#', 0xff3c3c3c}}, true);
}

constexpr std::array<QRgb, 5> kDotLevels{0xff1e1e1e, 0xff383838, 0xff545454, 0xff6f6f6f,
                                         0xff8c8c8c};

QImage drawDot(int w, int h, int level) {
    QImage img = opaqueImage(w, h, kBody);
    QPainter p(&img);
    prepare(p);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(kDotLevels.at(static_cast<std::size_t>(level))));
    p.drawEllipse(QRectF(0.5, 0.5, w - 1, h - 1));
    return img;
}

QImage drawArrow(int w, int h, bool up) {
    QImage img = opaqueImage(w, h, kWhite);
    QPainter p(&img);
    prepare(p);
    const double mid = w / 2.0;
    QPolygonF arrow({QPointF(mid, 0), QPointF(w, 6), QPointF(mid + 2.5, 6), QPointF(mid + 2.5, h),
                     QPointF(mid - 2.5, h), QPointF(mid - 2.5, 6), QPointF(0, 6)});
    if (!up) {
        for (QPointF& pt : arrow)
            pt.setY(h - pt.y());
    }
    p.setPen(Qt::NoPen);
    p.setBrush(up ? QColor(0xe23b2e) : QColor(0x1f9a3c));
    p.drawPolygon(arrow);
    return img;
}

// The favourite folder, or its faint form (the row under the pointer, not a
// favourite): the same drawing in pale tones.
QImage drawFolder(int w, int h, bool faint) {
    static const std::vector<std::string_view> art{
        ".#####.........",  //
        ".#hhh#########.",  //
        ".#ooooooooooo#.",  //
        ".#############.",  //
        ".#lllllllllll#.",  //
        ".#fffffffffff#.",  //
        ".#fffffffffff#.",  //
        ".#fffffffffff#.",  //
        ".#fffffffffff#.",  //
        ".#fffffffffff#.",  //
        ".#fffffffffff#.",  //
        ".#fffffffffff#.",  //
        ".#############.",  //
    };
    if (faint) {
        return drawPixelArt(w, h, art, QPoint(0, 0),
                            {{'#', 0xffe6c9a5},
                             {'h', 0xfffff1d6},
                             {'o', 0xfff7e2c2},
                             {'l', 0xfffff3dd},
                             {'f', 0xfffdeccf}},
                            true);
    }
    return drawPixelArt(w, h, art, QPoint(0, 0),
                        {{'#', 0xffbf6f12},
                         {'h', 0xffffc766},
                         {'o', 0xffeea032},
                         {'l', 0xffffd27a},
                         {'f', 0xfffbb545}},
                        true);
}

// The hand, outline only ('#'); the inside is filled white by a flood from the image border.
// The fingertip's left pixel is the hot spot.
const std::vector<std::string_view>& handOutline() {
    static const std::vector<std::string_view> art{
        ".....##..........",  // 0
        "....#..#.........",  // 1
        "....#..#.........",  // 2
        "....#..#.........",  // 3
        "....#..#.........",  // 4
        "....#..###.......",  // 5
        "....#..#..###....",  // 6
        "....#..#..#..###.",  // 7
        "....#..#..#..#..#",  // 8
        ".##.#..#..#..#..#",  // 9
        "#..##..#..#..#..#",  // 10
        "#...#...........#",  // 11
        ".#..............#",  // 12
        ".#..............#",  // 13
        "..#.............#",  // 14
        "..#............#.",  // 15
        "...#...........#.",  // 16
        "...#..........#..",  // 17
        "....#.........#..",  // 18
        "....#.........#..",  // 19
        "....#.........#..",  // 20
        "....###########..",  // 21
    };
    return art;
}

// The compact hand of the icon pointer: the same outline without rows that only repeat
// their neighbour, 16 rows tall so that it fits the lower half of its picture.
std::vector<std::string_view> compactHandOutline() {
    const auto& full = handOutline();
    constexpr std::array<std::size_t, 6> dropped{3, 4, 13, 17, 19, 20};
    std::vector<std::string_view> rows;
    for (std::size_t r = 0; r < full.size(); ++r) {
        if (std::find(dropped.begin(), dropped.end(), r) == dropped.end()) {
            rows.push_back(full[r]);
        }
    }
    return rows;
}

QImage drawHand(int w, int h, const std::vector<std::string_view>& outline, QPoint tip) {
    // The outline's fingertip starts at column 5 of row 0.
    const QPoint at = tip - QPoint(5, 0);
    QImage img = drawPixelArt(w, h, outline, at, {{'#', 0xff000000}}, false);
    // Flood the outside (4-connected) from the border; what stays unreached inside the
    // outline is the hand's body.
    const int rows = static_cast<int>(outline.size());
    const int cols = static_cast<int>(outline.front().size());
    std::vector<char> outside(static_cast<std::size_t>((rows + 2) * (cols + 2)), 0);
    auto index = [cols](int r, int c) { return static_cast<std::size_t>(r * (cols + 2) + c); };
    auto isOutline = [&](int r, int c) {
        return r >= 1 && r <= rows && c >= 1 && c <= cols &&
               outline[static_cast<std::size_t>(r - 1)][static_cast<std::size_t>(c - 1)] == '#';
    };
    std::vector<QPoint> stack{QPoint(0, 0)};
    outside[index(0, 0)] = 1;
    while (!stack.empty()) {
        const QPoint q = stack.back();
        stack.pop_back();
        for (QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
            const int c = q.x() + d.x();
            const int r = q.y() + d.y();
            if (r < 0 || c < 0 || r > rows + 1 || c > cols + 1)
                continue;
            if (outside[index(r, c)] || isOutline(r, c))
                continue;
            outside[index(r, c)] = 1;
            stack.emplace_back(c, r);
        }
    }
    for (int r = 1; r <= rows; ++r) {
        for (int c = 1; c <= cols; ++c) {
            if (!outside[index(r, c)] && !isOutline(r, c)) {
                img.setPixel(at.x() + c - 1, at.y() + r - 1, kWhite);
            }
        }
    }
    return img;
}

QImage drawIcon(int w, int h) {
    QImage img = transparentImage(w, h);
    QPainter p(&img);
    prepare(p);
    if (w >= 32 && h >= 32) {
        drawEmblem(p, QPointF((w - 32) / 2, (h - 32) / 2), 1.0);
    } else {
        drawSmallEmblem(p, QPoint((w - 16) / 2, (h - 16) / 2));
    }
    return img;
}

QImage finish(QImage img, bool alpha) {
    return img.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

}  // namespace

QImage drawAppIcon(int size) {
    QImage img = transparentImage(size, size);
    QPainter p(&img);
    prepare(p);
    if (size >= 32) {
        drawEmblem(p, QPointF(0, 0), size / 32.0);
    } else {
        drawSmallEmblem(p, QPoint((size - 16) / 2, (size - 16) / 2));
    }
    p.end();
    return finish(img, true);
}

QByteArray appIconSvg() {
    QByteArray svg =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" "
        "viewBox=\"0 0 32 32\">\n"
        "  <defs>\n"
        "    <linearGradient id=\"face\" x1=\"0\" y1=\"0\" x2=\"32\" y2=\"32\" "
        "gradientUnits=\"userSpaceOnUse\">\n"
        "      <stop offset=\"0\" stop-color=\"#ffb347\"/>\n"
        "      <stop offset=\"1\" stop-color=\"#e0531d\"/>\n"
        "    </linearGradient>\n"
        "  </defs>\n"
        "  <rect width=\"32\" height=\"32\" rx=\"7\" fill=\"url(#face)\"/>\n"
        "  <g fill=\"#ffffff\">\n";
    for (const Candle& c : kEmblemCandles) {
        svg += QStringLiteral("    <rect x=\"%1\" y=\"%2\" width=\"2\" height=\"%3\"/>\n")
                   .arg(c.left + 1)
                   .arg(c.wickTop)
                   .arg(c.wickBottom - c.wickTop + 1)
                   .toUtf8();
        svg += QStringLiteral("    <rect x=\"%1\" y=\"%2\" width=\"4\" height=\"%3\"/>\n")
                   .arg(c.left)
                   .arg(c.bodyTop)
                   .arg(c.bodyBottom - c.bodyTop + 1)
                   .toUtf8();
    }
    svg += "  </g>\n</svg>\n";
    return svg;
}

QString captionFamily() {
    static const QString family = findCaptionFamily();
    return family;
}

QImage drawBitmap(const ui::BitmapInfo& info) {
    const int w = info.width;
    const int h = info.height;
    const QImage& chrome = mainChrome();
    const QImage& popup = popupChrome();
    QImage img;
    switch (info.number) {
        // Main window chrome.
        case 146:
            img = drawTitleLeft(w, h);
            break;
        case 147:
            img = cut(chrome, chrome.width() / 2, 0, w, h);
            break;
        case 148:
            img = cutRight(chrome, 0, w, h);
            break;
        case 149:
            img = cut(chrome, 0, kTitleRows + 8, w, h);
            break;
        case 150:
            img = cut(chrome, chrome.width() / 2, kTitleRows + 8, w, h);
            break;
        case 151:
            img = cutRight(chrome, kTitleRows + 8, w, h);
            break;
        case 152:
            img = cutBottom(chrome, 0, w, h);
            break;
        case 153:
            img = cutBottom(chrome, chrome.width() / 2, w, h);
            break;
        case 154:
            img = cutBottom(chrome, chrome.width() - w, w, h);
            break;
        // Popup chrome: whole-width strips.
        case 1011:
            img = cut(popup, 0, 0, w, h);
            break;
        case 102:
            img = cut(popup, 0, kTitleRows + 8, w, h);
            break;
        case 103:
            img = cutBottom(popup, 0, w, h);
            break;
        // Title-bar buttons.
        case 108:
            img = drawTitleButton(w, h, false, false);
            break;
        case 109:
            img = drawTitleButton(w, h, false, true);
            break;
        case 110:
            img = drawTitleButton(w, h, true, false);
            break;
        case 111:
            img = drawTitleButton(w, h, true, true);
            break;
        // Button faces.
        case 121:
            img = drawTextButton(w, h, QStringLiteral("登 录"), kPrimary);
            break;
        case 122:
            img = drawTextButton(w, h, QStringLiteral("登 录"), kPrimaryHover);
            break;
        case 125:
            img = drawTextButton(w, h, QStringLiteral("返 回"), kSecondary);
            break;
        case 126:
            img = drawTextButton(w, h, QStringLiteral("返 回"), kSecondaryHover);
            break;
        case 137:
            img = drawTextButton(w, h, QStringLiteral("取 消"), kSecondary);
            break;
        case 138:
            img = drawTextButton(w, h, QStringLiteral("取 消"), kSecondaryHover);
            break;
        case 120:
            img = drawLogo(w, h);
            break;
        // Tabs.
        case 127:
            img = drawTab(w, h, TabIcon::Search, false);
            break;
        case 128:
            img = drawTab(w, h, TabIcon::Search, true);
            break;
        case 129:
            img = drawTab(w, h, TabIcon::Search, false);
            break;
        case 131:
            img = drawTab(w, h, TabIcon::Result, false);
            break;
        case 132:
            img = drawTab(w, h, TabIcon::Result, true);
            break;
        case 142:
            img = drawTab(w, h, TabIcon::Handbook, false);
            break;
        case 143:
            img = drawTab(w, h, TabIcon::Handbook, true);
            break;
        case 144:
            img = drawTab(w, h, TabIcon::Picking, false);
            break;
        case 145:
            img = drawTab(w, h, TabIcon::Picking, true);
            break;
        // Search box and result panel.
        case 133:
            img = drawIndexBadge(w, h, QStringLiteral("沪"), 0xffd8443a);
            break;
        case 135:
            img = drawIndexBadge(w, h, QStringLiteral("深"), 0xff2f78d2);
            break;
        case 139:
            img = drawPanelCross(w, h);
            break;
        case 1000:
        case 1001:
        case 1002:
        case 1003:
        case 1004:
            img = drawDot(w, h, info.number - 1000);
            break;
        case ui::kBitmapFolder:
        case ui::kBitmapFolderFaint:
            img = drawFolder(w, h, info.number == ui::kBitmapFolderFaint);
            break;
        case ui::kBitmapUpArrow:
            img = drawArrow(w, h, true);
            break;
        case ui::kBitmapDownArrow:
            img = drawArrow(w, h, false);
            break;
        case ui::kBitmapTrayIcon:
        case ui::kBitmapWindowIcon:
            img = drawIcon(w, h);
            break;
        case ui::kBitmapHandPointer:
            img = drawHand(w, h, handOutline(), QPoint(5, 0));
            break;
        case ui::kBitmapIconPointer:
            img = drawHand(w, h, compactHandOutline(), QPoint(16, 16));
            break;
        default:
            return {};
    }
    return finish(img, info.alpha);
}

}  // namespace tallyro::bitmaps
