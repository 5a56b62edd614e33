#pragma once
// Test helpers for the main window: a folder of small JPEG files and a main
// window started on it, shown off screen.

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "common/app_settings.h"
#include "app/main_frame.h"
#include "view/image_view.h"
#include "loader/image_item.h"
#include "loader/thumb_loader.h"
#include "tools/jpeg_writer.h"

namespace fixture {

// Writes one photo-like JPEG per name into the folder.
inline void WriteImages(const QString& folder, const std::vector<std::string>& names, int width = 96,
                        int height = 64)
{
    uint32_t seed = 1;
    for (const std::string& name : names) {
        const auto bytes = jpegwriter::Encode(jpegwriter::MakePhotoLike(width, height, seed++));
        const QByteArray path = QFile::encodeName(folder) + '/' + QByteArray::fromStdString(name);
        QVERIFY(jpegwriter::WriteFile(path.toStdString(), bytes));
    }
}

inline std::string PathIn(const QTemporaryDir& dir, const std::string& name)
{
    return (QFile::encodeName(dir.path()) + '/' + QByteArray::fromStdString(name)).toStdString();
}

// Settings for a run on an 800 x 600 screen, not full screen so that the
// window's size is known.
inline AppSettings Settings(const QTemporaryDir& dir)
{
    // The shared thumbnail cache of the tests, not the user's.
    static QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    AppSettings s = AppSettings::Defaults(800, 600, dir.path().toStdString());
    s.fullScreen = 0;
    return s;
}

// A main window created and shown on the settings; the test owns it.
template <typename Frame = CMainFrame> std::unique_ptr<Frame> Start(AppSettings& settings)
{
    auto frame = std::make_unique<Frame>();
    if (!frame->Create(&settings))
        return nullptr;
    frame->ShowAtStart();
    if (!QTest::qWaitForWindowExposed(frame.get()))
        return nullptr;
    return frame;
}

inline QString CurrentName(const CMainFrame& frame)
{
    return frame.CurrentItem() ? QString::fromStdString(frame.CurrentItem()->name) : QString();
}

// The view shows the current item's display image.
inline bool Shown(const CMainFrame& frame)
{
    return frame.CurrentItem() && frame.ImageView()->Image()
        && frame.ImageView()->Image() == &frame.CurrentItem()->decoder.DisplayImage();
}

}  // namespace fixture
