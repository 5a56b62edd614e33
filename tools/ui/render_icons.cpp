// Renders the program's pictures, for the committed PNGs and for looking at
// the icon set:
//   render_icons --app SVG OUTDIR   writes OUTDIR/lumvane-<N>.png for every
//                                   application icon size N
//   render_icons --sheet OUT.png [--zoom Z]
//                                   a contact sheet of the 18 toolbar icons at
//                                   20 and 40 px on a light and a dark
//                                   background (normal and disabled), and the
//                                   application icon at every size; Z > 1
//                                   enlarges it without smoothing
// Runs on the offscreen platform unless another one is asked for.

#include <array>
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QSvgRenderer>

#include "res/toolbar_icons.h"

namespace {

constexpr std::array kAppSizes = {16, 22, 24, 32, 48, 64, 128, 256};

// The sheet's backgrounds: a light and a dark window colour, so the set can be
// judged on both kinds of palette.
constexpr std::array<QRgb, 2> kBackgrounds = {0xffefefef, 0xff2b2b2b};

constexpr int kGap = 8;

int RenderApp(const QString& svgPath, const QString& outDir)
{
    QSvgRenderer renderer(svgPath);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "render_icons: cannot read %s\n", qPrintable(svgPath));
        return 1;
    }
    QDir().mkpath(outDir);
    for (int side : kAppSizes) {
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter, QRectF(0, 0, side, side));
        painter.end();
        const QString out = QDir(outDir).filePath(QStringLiteral("lumvane-%1.png").arg(side));
        if (!image.save(out, "PNG")) {
            std::fprintf(stderr, "render_icons: cannot write %s\n", qPrintable(out));
            return 1;
        }
    }
    return 0;
}

// One row of the 18 toolbar icons at side pixels, starting at y.
void DrawToolbarRow(QPainter& painter, int y, int side, QIcon::Mode mode)
{
    for (int i = 0; i < res::kToolbarImageCount; ++i) {
        const QPixmap pm = res::ToolbarIcon(i).pixmap(QSize(side, side), 1.0, mode);
        painter.drawPixmap(kGap + i * (side + kGap), y, pm);
    }
}

QImage Sheet()
{
    const int toolbarWidth = kGap + res::kToolbarImageCount * (40 + kGap);
    const int bandHeight = kGap + (20 + kGap) * 2 + (40 + kGap) * 2;
    const int appHeight = 256 + 2 * kGap;
    QImage sheet(toolbarWidth, 2 * bandHeight + 2 * appHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&sheet);
    for (std::size_t band = 0; band < kBackgrounds.size(); ++band) {
        const int top = int(band) * bandHeight;
        painter.fillRect(0, top, sheet.width(), bandHeight, QColor::fromRgb(kBackgrounds[band]));
        DrawToolbarRow(painter, top + kGap, 20, QIcon::Normal);
        DrawToolbarRow(painter, top + kGap + 28, 40, QIcon::Normal);
        DrawToolbarRow(painter, top + kGap + 76, 20, QIcon::Disabled);
        DrawToolbarRow(painter, top + kGap + 104, 40, QIcon::Disabled);
    }
    const QIcon app = res::AppIcon();
    for (std::size_t band = 0; band < kBackgrounds.size(); ++band) {
        const int top = 2 * bandHeight + int(band) * appHeight;
        painter.fillRect(0, top, sheet.width(), appHeight, QColor::fromRgb(kBackgrounds[band]));
        int x = kGap;
        for (int side : kAppSizes) {
            painter.drawPixmap(x, top + kGap, app.pixmap(QSize(side, side), 1.0));
            x += side + kGap;
        }
    }
    return sheet;
}

int RenderSheet(const QString& out, int zoom)
{
    QImage sheet = Sheet();
    if (zoom > 1)
        sheet = sheet.scaled(sheet.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!sheet.save(out, "PNG")) {
        std::fprintf(stderr, "render_icons: cannot write %s\n", qPrintable(out));
        return 1;
    }
    return 0;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: render_icons --app SVG OUTDIR\n"
                 "       render_icons --sheet OUT.png [--zoom Z]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A widgets application, so disabled icons get the style's look.
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    if (args.size() == 3 && args[0] == QLatin1String("--app"))
        return RenderApp(args[1], args[2]);
    if (args.size() == 2 && args[0] == QLatin1String("--sheet"))
        return RenderSheet(args[1], 1);
    if (args.size() == 4 && args[0] == QLatin1String("--sheet") && args[2] == QLatin1String("--zoom"))
        return RenderSheet(args[1], args[3].toInt());
    return Usage();
}
