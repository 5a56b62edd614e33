// The Copy Image command: the clipboard's packed DIB and image, the progress
// updates, and the cases where nothing may be copied.

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "export/clipboard_image_data.h"
#include "app/copy_image.h"
#include "tools/exif_builder.h"
#include "tools/jpeg_writer.h"

namespace {

jpegwriter::EncodeOptions Options(int quality, bool subsample)
{
    jpegwriter::EncodeOptions options;
    options.quality = quality;
    options.subsample = subsample;
    return options;
}

uint32_t Le32(const QByteArray& b, int at)
{
    const auto* p = reinterpret_cast<const uint8_t*>(b.constData()) + at;
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

uint16_t Le16(const QByteArray& b, int at)
{
    const auto* p = reinterpret_cast<const uint8_t*>(b.constData()) + at;
    return uint16_t(p[0] | p[1] << 8);
}

// A JPEG whose pixels are all different, encoded without chroma subsampling.
jpegwriter::RawImage Pattern(int width, int height)
{
    jpegwriter::RawImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = image.Row(y) + 3 * x;
            p[0] = uint8_t(40 + 60 * x);
            p[1] = uint8_t(30 + 50 * y);
            p[2] = uint8_t(200 - 30 * x - 20 * y);
        }
    return image;
}

}  // namespace

class TestCopyImage : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::string Write(const char* name, const jpegwriter::RawImage& image,
                      const jpegwriter::EncodeOptions& options)
    {
        const std::string path = (m_dir.path() + "/" + name).toStdString();
        jpegwriter::WriteFile(path, jpegwriter::Encode(image, options));
        return path;
    }
    static void SetClipboardText(const QString& text) { QApplication::clipboard()->setText(text); }

private slots:
    void dibRowsArePaddedAndBottomUp_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("rowSize");
        QTest::newRow("3 wide: 9 bytes of pixels, 3 to round up") << 3 << 5 << 12;
        QTest::newRow("4 wide: no rounding") << 4 << 3 << 12;
        QTest::newRow("1 wide") << 1 << 2 << 4;
        QTest::newRow("17 wide") << 17 << 2 << 52;
    }
    void dibRowsArePaddedAndBottomUp()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, rowSize);
        const auto bytes = jpegwriter::Encode(Pattern(width, height), Options(100, false));
        const std::string path = (m_dir.path() + "/pattern.jpg").toStdString();
        QVERIFY(jpegwriter::WriteFile(path, bytes));
        const jpegwriter::RawImage expected = jpegwriter::DecodeReference(bytes);

        CopyImageToClipboard(path, nullptr);
        const QMimeData* data = QApplication::clipboard()->mimeData();
        QVERIFY(data);
        QVERIFY(data->hasImage());
        const QImage image = qvariant_cast<QImage>(data->imageData());
        QCOMPARE(image.size(), QSize(width, height));
        const QByteArray bmp = data->data("image/bmp");
        QCOMPARE(bmp.size(), 14 + 40 + rowSize * height);
        QCOMPARE(bmp.left(2), QByteArray("BM"));
        QCOMPARE(Le32(bmp, 2), uint32_t(bmp.size()));
        QCOMPARE(Le32(bmp, 10), 54u);
        QCOMPARE(Le32(bmp, 14), 40u);
        QCOMPARE(int32_t(Le32(bmp, 18)), width);
        QCOMPARE(int32_t(Le32(bmp, 22)), height);  // positive: bottom-up
        QCOMPARE(Le16(bmp, 26), 1);
        QCOMPARE(Le16(bmp, 28), 24);
        QCOMPARE(Le32(bmp, 30), 0u);  // BI_RGB
        for (int r = 0; r < height; ++r) {
            // DIB row r holds image row height - 1 - r, blue, green, red.
            const int y = height - 1 - r;
            const auto* row = reinterpret_cast<const uint8_t*>(bmp.constData()) + 54 + r * rowSize;
            for (int x = 0; x < width; ++x) {
                const uint8_t* want = expected.Row(y) + 3 * x;
                QCOMPARE(row[3 * x], want[2]);
                QCOMPARE(row[3 * x + 1], want[1]);
                QCOMPARE(row[3 * x + 2], want[0]);
                QCOMPARE(image.pixel(x, y), qRgb(want[0], want[1], want[2]));
            }
            for (int pad = 3 * width; pad < rowSize; ++pad)
                QCOMPARE(row[pad], uint8_t(0));
        }
    }

    // A photo stored sideways is copied upright when the option asks for it,
    // pixel for pixel the stored one turned a quarter clockwise.
    void copyIsUprightByExifOrientation()
    {
        jpegwriter::EncodeOptions options = Options(100, false);
        options.app1.push_back(
            exifbuilder::Builder(exifbuilder::Order::Big).Short(exifbuilder::Ifd0, 274, {6}).Build());
        const auto bytes = jpegwriter::Encode(Pattern(6, 4), options);
        const std::string path = (m_dir.path() + "/sideways.jpg").toStdString();
        QVERIFY(jpegwriter::WriteFile(path, bytes));
        const jpegwriter::RawImage stored = jpegwriter::DecodeReference(bytes);

        CopyImageToClipboard(path, nullptr, {true, false});
        QImage image = qvariant_cast<QImage>(QApplication::clipboard()->mimeData()->imageData());
        QCOMPARE(image.size(), QSize(4, 6));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) {
                const uint8_t* want = stored.Row(y) + 3 * x;
                QCOMPARE(image.pixel(3 - y, x), qRgb(want[0], want[1], want[2]));
            }
        CopyImageToClipboard(path, nullptr, {false, false});
        image = qvariant_cast<QImage>(QApplication::clipboard()->mimeData()->imageData());
        QCOMPARE(image.size(), QSize(6, 4));
    }

    void progressEverySixteenRows()
    {
        QProgressBar bar;
        QSignalSpy values(&bar, &QProgressBar::valueChanged);
        CCopyProgress progress(&bar);
        for (int row = 0; row < 100; ++row) {
            QVERIFY(progress.Progress(100, row));
            if (row % 16 == 0) {
                QCOMPARE(bar.minimum(), 0);
                QCOMPARE(bar.maximum(), 99);
                QCOMPARE(bar.value(), row);
            }
        }
        QList<int> seen;
        for (const auto& call : values)
            seen << call.at(0).toInt();
        QCOMPARE(seen, (QList<int> {0, 16, 32, 48, 64, 80, 96}));
    }

    // The copy is the stored image: an Orientation tag, like the view's
    // rotation and flips, does not turn it.
    void copiesTheStoredImageUnturned()
    {
        exifbuilder::Builder exif(exifbuilder::Order::Big);
        exif.Short(exifbuilder::Ifd0, 0x0112, {6});
        jpegwriter::EncodeOptions options = Options(90, true);
        options.app1.push_back(exif.Build());
        const std::string path = Write("turned.jpg", jpegwriter::MakePhotoLike(48, 20, 3), options);
        CopyImageToClipboard(path, nullptr);
        const QByteArray bmp = QApplication::clipboard()->mimeData()->data("image/bmp");
        QCOMPARE(int32_t(Le32(bmp, 18)), 48);
        QCOMPARE(int32_t(Le32(bmp, 22)), 20);
    }

    void noCurrentItemLeavesTheClipboard()
    {
        SetClipboardText("kept");
        QSignalSpy changes(QApplication::clipboard(), &QClipboard::dataChanged);
        CopyImageToClipboard(std::string(), nullptr);
        QCOMPARE(changes.count(), 0);
        QCOMPARE(QApplication::clipboard()->text(), QString("kept"));
    }

    // Regression: a file that could not be decoded left the previous copy on
    // the clipboard, so the user pasted another picture than the one shown.
    void undecodableFileEmptiesTheClipboard_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not a JPEG") << QByteArray("GIF89a, not a JPEG");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("SOI only") << QByteArray("\xff\xd8", 2);
    }
    void undecodableFileEmptiesTheClipboard()
    {
        QFETCH(QByteArray, content);
        CopyImageToClipboard(Write("good.jpg", jpegwriter::MakePhotoLike(16, 8, 2), Options(90, true)),
                             nullptr);
        QVERIFY(QApplication::clipboard()->mimeData()->hasImage());
        const std::string path = (m_dir.path() + "/bad.jpg").toStdString();
        QVERIFY(jpegwriter::WriteFile(path, std::vector<uint8_t>(content.begin(), content.end())));
        CopyImageToClipboard(path, nullptr);
        const QMimeData* data = QApplication::clipboard()->mimeData();
        QVERIFY(!data || (!data->hasImage() && data->formats().isEmpty()));
        QVERIFY(!QApplication::overrideCursor());
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!w->isVisible());
    }

    // Regression: pasting a large copy as PNG encoded it on request on the
    // window thread, freezing the viewer. The PNG is now made at once on a
    // thread of its own, and only PNG and BMP are offered.
    void pngIsReadyWithoutARequest()
    {
        const auto bytes = jpegwriter::Encode(jpegwriter::MakePhotoLike(301, 203, 4), Options(95, false));
        const std::string path = (m_dir.path() + "/png.jpg").toStdString();
        QVERIFY(jpegwriter::WriteFile(path, bytes));
        CopyImageToClipboard(path, nullptr);
        const auto* data = qobject_cast<const CClipboardImageData*>(QApplication::clipboard()->mimeData());
        QVERIFY(data);
        QCOMPARE(data->formats(), (QStringList {"image/png", "image/bmp"}));
        QTRY_VERIFY(data->PngReady());
        QImage png;
        QVERIFY(png.loadFromData(data->data("image/png"), "PNG"));
        const QImage copied = qvariant_cast<QImage>(data->imageData());
        QCOMPARE(png.size(), QSize(301, 203));
        QCOMPARE(png.convertToFormat(QImage::Format_RGB32), copied.convertToFormat(QImage::Format_RGB32));
    }

    // A file cut short copies the rows decoded so far over black.
    void truncatedFileCopiesWhatWasDecoded()
    {
        auto bytes = jpegwriter::Encode(jpegwriter::MakePhotoLike(64, 64, 5), Options(90, true));
        bytes.resize(bytes.size() / 2);
        const std::string path = (m_dir.path() + "/cut.jpg").toStdString();
        QVERIFY(jpegwriter::WriteFile(path, bytes));
        CopyImageToClipboard(path, nullptr);
        const QByteArray bmp = QApplication::clipboard()->mimeData()->data("image/bmp");
        QCOMPARE(bmp.size(), 54 + 64 * 3 * 64);
        QVERIFY(!QApplication::overrideCursor());
    }
};

QTEST_MAIN(TestCopyImage)
#include "tst_copyimage.moc"
