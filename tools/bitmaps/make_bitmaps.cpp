// Build-time program: draws every numbered bitmap of the skin at its table size and writes
// <outdir>/<number>.png plus <outdir>/bitmaps.qrc, which lists them under the prefix
// /bitmaps. Fails when a drawing is missing or does not have its table size.
//
//   make_bitmaps <outdir>
//   make_bitmaps --sheet <file.png> [--scale <n>]   enlarged contact sheet for looking at
//   make_bitmaps --icons <dir>   the desktop icon as <dir>/hicolor/<n>x<n>/apps/tallyro.png
//                                and <dir>/hicolor/scalable/apps/tallyro.svg
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <set>
#include <vector>

#include "skin_drawing.h"
#include "ui/bitmap_table.h"

namespace tallyro::bitmaps {
namespace {

void fail(const QString& message) {
    std::fprintf(stderr, "make_bitmaps: %s\n", qPrintable(message));
}

QString fileName(const ui::BitmapInfo& info) {
    return QString::number(info.number) + ".png";
}

// Draws one bitmap and checks it against its table entry.
bool drawChecked(const ui::BitmapInfo& info, QImage& out) {
    out = drawBitmap(info);
    if (out.isNull()) {
        fail(QStringLiteral("no drawing for bitmap %1 (%2)").arg(info.number).arg(info.role));
        return false;
    }
    if (out.width() != info.width || out.height() != info.height) {
        fail(QStringLiteral("bitmap %1 (%2) was drawn %3 x %4, the table says %5 x %6")
                 .arg(info.number)
                 .arg(info.role)
                 .arg(out.width())
                 .arg(out.height())
                 .arg(info.width)
                 .arg(info.height));
        return false;
    }
    if (out.hasAlphaChannel() != info.alpha) {
        fail(QStringLiteral("bitmap %1 (%2) %3 an alpha channel")
                 .arg(info.number)
                 .arg(info.role)
                 .arg(out.hasAlphaChannel() ? "has" : "lacks"));
        return false;
    }
    return true;
}

bool tableIsSound() {
    std::set<int> seen;
    for (const auto& info : ui::kBitmaps) {
        if (!seen.insert(info.number).second) {
            fail(QStringLiteral("bitmap %1 is listed twice").arg(info.number));
            return false;
        }
        if (info.width <= 0 || info.height <= 0) {
            fail(QStringLiteral("bitmap %1 has an empty size").arg(info.number));
            return false;
        }
    }
    return true;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

// Opaque bitmaps are stored as 24-bit RGB, the rest as 32-bit RGBA. The written file is read
// back, so a size or depth the PNG writer changed would be caught as well.
bool writePng(const QString& path, const ui::BitmapInfo& info, const QImage& img) {
    const QImage stored =
        img.convertToFormat(info.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB888);
    if (!stored.save(path, "PNG")) {
        fail(QStringLiteral("cannot write %1").arg(path));
        return false;
    }
    const QImage back(path);
    if (back.size() != QSize(info.width, info.height) || back.hasAlphaChannel() != info.alpha) {
        fail(QStringLiteral("%1 does not read back as a %2 x %3 %4 image")
                 .arg(path)
                 .arg(info.width)
                 .arg(info.height)
                 .arg(info.alpha ? "RGBA" : "RGB"));
        return false;
    }
    return true;
}

QByteArray resourceCollection() {
    QByteArray qrc = "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/bitmaps\">\n";
    for (const auto& info : ui::kBitmaps) {
        qrc += "    <file>" + fileName(info).toUtf8() + "</file>\n";
    }
    qrc += "</qresource>\n</RCC>\n";
    return qrc;
}

int writeAll(const QString& outDir) {
    QDir dir(outDir);
    if (!dir.mkpath(QStringLiteral("."))) {
        fail(QStringLiteral("cannot create %1").arg(outDir));
        return 1;
    }
    // Without the collection file the build cannot go on with a half-written folder.
    QFile::remove(dir.filePath(QStringLiteral("bitmaps.qrc")));

    QStringList wanted;
    for (const auto& info : ui::kBitmaps) {
        QImage img;
        if (!drawChecked(info, img) || !writePng(dir.filePath(fileName(info)), info, img)) {
            return 1;
        }
        wanted << fileName(info);
    }
    // Pictures of numbers no longer in the table would linger unseen; remove them.
    for (const QString& old : dir.entryList({QStringLiteral("*.png")}, QDir::Files)) {
        if (!wanted.contains(old))
            dir.remove(old);
    }
    return writeFile(dir.filePath(QStringLiteral("bitmaps.qrc")), resourceCollection()) ? 0 : 1;
}

void drawChecker(QPainter& p, QRect r) {
    const int cell = 8;
    for (int y = r.top(); y <= r.bottom(); y += cell) {
        for (int x = r.left(); x <= r.right(); x += cell) {
            const bool dark = ((x - r.left()) / cell + (y - r.top()) / cell) % 2 != 0;
            p.fillRect(QRect(x, y, cell, cell).intersected(r),
                       dark ? QColor(0xbdbdbd) : QColor(0xe6e6e6));
        }
    }
}

int writeSheet(const QString& path, int scale) {
    struct Tile {
        ui::BitmapInfo info;
        QImage img;
    };
    std::vector<Tile> tiles;
    for (const auto& info : ui::kBitmaps) {
        QImage img;
        if (!drawChecked(info, img))
            return 1;
        tiles.push_back({info, img});
    }
    const int margin = 12;
    const int label = 30;
    const int sheetWidth = 1400;
    // Shelf packing in table order.
    std::vector<QRect> places;
    int x = margin, y = margin, shelf = 0;
    for (const Tile& t : tiles) {
        const int w = std::max(t.info.width * scale, 96);
        const int h = t.info.height * scale + label;
        if (x + w + margin > sheetWidth) {
            x = margin;
            y += shelf + margin;
            shelf = 0;
        }
        places.emplace_back(x, y, w, h);
        x += w + margin;
        shelf = std::max(shelf, h);
    }
    QImage sheet(sheetWidth, y + shelf + margin, QImage::Format_RGB32);
    sheet.fill(QColor(0x8a8a8a));
    QPainter p(&sheet);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    p.setFont(font);
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        const Tile& t = tiles[i];
        const QRect area(places[i].topLeft(), QSize(t.info.width * scale, t.info.height * scale));
        if (t.info.alpha)
            drawChecker(p, area);
        p.drawImage(area, t.img);  // nearest-neighbour: every pixel stays a sharp square
        p.setPen(Qt::black);
        p.drawText(QRect(places[i].left(), area.bottom() + 2, places[i].width(), label - 2),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   QString::number(t.info.number) + " " + t.info.role);
    }
    p.end();
    if (!sheet.save(path)) {
        fail(QStringLiteral("cannot write %1").arg(path));
        return 1;
    }
    return 0;
}

// The sizes desktops look for in the hicolor theme.
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

int writeIcons(const QString& outDir) {
    for (const int size : kIconSizes) {
        const QString dir =
            QStringLiteral("%1/hicolor/%2x%2/apps").arg(outDir, QString::number(size));
        const QString path = dir + QStringLiteral("/tallyro.png");
        const QImage img = drawAppIcon(size);
        if (!QDir().mkpath(dir) || img.size() != QSize(size, size) || !img.save(path, "PNG")) {
            fail(QStringLiteral("cannot write %1").arg(path));
            return 1;
        }
    }
    const QString scalable = outDir + QStringLiteral("/hicolor/scalable/apps");
    if (!QDir().mkpath(scalable))
        return 1;
    return writeFile(scalable + QStringLiteral("/tallyro.svg"), appIconSvg()) ? 0 : 1;
}

QtMessageHandler defaultHandler = nullptr;

// The offscreen platform complains about a missing XDG_RUNTIME_DIR, which drawing never
// needs; everything else goes through.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    if (defaultHandler != nullptr) {
        defaultHandler(type, context, message);
    } else {
        std::fprintf(stderr, "%s\n", qPrintable(message));
    }
}

int usage() {
    fail(QStringLiteral(
        "usage: make_bitmaps <outdir> | --sheet <file.png> [--scale <n>] | --icons <dir>"));
    return 2;
}

int run(const QStringList& args) {
    if (!tableIsSound())
        return 1;
    if (captionFamily().isEmpty()) {
        fail(
            QStringLiteral("no installed font has the Chinese captions' glyphs "
                           "(install fonts-noto-cjk)"));
        return 1;
    }
    if (args.size() == 2 && !args[1].startsWith(QLatin1String("--")))
        return writeAll(args[1]);
    if (args.size() == 3 && args[1] == QLatin1String("--icons"))
        return writeIcons(args[2]);
    if ((args.size() == 3 || args.size() == 5) && args[1] == QLatin1String("--sheet")) {
        int scale = 4;
        if (args.size() == 5) {
            bool ok = false;
            scale = args[4].toInt(&ok);
            if (args[3] != QLatin1String("--scale") || !ok || scale < 1 || scale > 16) {
                return usage();
            }
        }
        return writeSheet(args[2], scale);
    }
    return usage();
}

}  // namespace
}  // namespace tallyro::bitmaps

int main(int argc, char** argv) {
    // Runs during the build, usually without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    tallyro::bitmaps::defaultHandler = qInstallMessageHandler(tallyro::bitmaps::quietHandler);
    QGuiApplication app(argc, argv);
    return tallyro::bitmaps::run(QGuiApplication::arguments());
}
