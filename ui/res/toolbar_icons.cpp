#include "res/toolbar_icons.h"

#include <array>
#include <memory>
#include <string_view>

#include "res/svg_icon_engine.h"

// The pictures live in the ui library's resources; a static library's
// resources must be registered by name, and a program that only asks for an
// icon (a test, a tool) may not have done so. Registering twice is harmless.
static void RegisterResources()
{
    Q_INIT_RESOURCE(lumvane);
}

namespace res {
namespace {

    // The toolbar's image strip in order: image i is the picture of the i-th
    // non-separator button.
    constexpr std::array<std::string_view, kToolbarImageCount> kToolbarImages = {
        "00-small-thumbnails.svg",          //  0  500 Small Thumbnails
        "01-big-thumbnails.svg",            //  1  501 Big Thumbnails
        "02-list.svg",                      //  2  502 List
        "03-no-fitting.svg",                //  3  610 No fitting
        "04-fit-horizontally.svg",          //  4  611 Fit Horizontally
        "05-fit-vertically.svg",            //  5  612 Fit Vertically
        "06-fit-both-directions.svg",       //  6  613 Fit Both Directions
        "07-no-rotation.svg",               //  7  630 No Rotation
        "08-rotate-clockwise.svg",          //  8  631 Rotate Clockwise
        "09-rotate-upside-down.svg",        //  9  632 Rotate Upside-down
        "10-rotate-counter-clockwise.svg",  // 10  633 Rotate Counter-clockwise
        "11-flip-horizontally.svg",         // 11  640 Flip Horizontally
        "12-flip-vertically.svg",           // 12  641 Flip Vertically
        "13-increase-gamma.svg",            // 13  620 Increase Gamma
        "14-decrease-gamma.svg",            // 14  621 Decrease Gamma
        "15-reset-gamma.svg",               // 15  622 Reset Gamma
        "16-slide-show.svg",                // 16  701 Start/Stop Slide Show
        "17-image-properties.svg",          // 17  650 Image Properties
    };

    constexpr std::array kToolbarSizes = {20, 40};
    constexpr std::array kAppSizes = {16, 22, 24, 32, 48, 64, 128, 256};

    template <std::size_t N> QList<QSize> Squares(const std::array<int, N>& sides)
    {
        QList<QSize> sizes;
        for (int side : sides)
            sizes.append(QSize(side, side));
        return sizes;
    }

    QIcon SvgIcon(const QString& path, QList<QSize> sizes)
    {
        static const bool registered = (RegisterResources(), true);
        Q_UNUSED(registered);
        auto engine = std::make_unique<CSvgIconEngine>(path, std::move(sizes));
        if (!engine->IsValid())
            return QIcon();
        return QIcon(engine.release());
    }

}  // namespace

QIcon ToolbarIcon(int index)
{
    if (index < 0 || index >= kToolbarImageCount)
        return QIcon();
    const std::string_view name = kToolbarImages[static_cast<std::size_t>(index)];
    const QString path
        = QStringLiteral(":/res/icons/toolbar/") + QString::fromLatin1(name.data(), qsizetype(name.size()));
    return SvgIcon(path, Squares(kToolbarSizes));
}

QIcon AppIcon()
{
    return SvgIcon(QStringLiteral(":/res/icons/app/lumvane.svg"), Squares(kAppSizes));
}

}  // namespace res
