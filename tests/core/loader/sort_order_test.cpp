// The sort orders on a real folder: natural name order, date taken from the
// Exif data (falling back to the modification time), date modified and size,
// each reversed; and the date reader on files that are not what they seem.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <memory>

#include "loader/image_item.h"
#include "loader/sort_order.h"
#include "tools/exif_builder.h"
#include "tools/jpeg_writer.h"

namespace {

std::vector<uint8_t> Photo(const char* dateTaken, int side = 16)
{
    jpegwriter::EncodeOptions options;
    if (dateTaken) {
        options.app1.push_back(exifbuilder::Builder(exifbuilder::Order::Little)
                                   .Ascii(exifbuilder::Ifd0, 271, "Camera")
                                   .Ascii(exifbuilder::Exif, 0x9003, dateTaken)
                                   .Build());
    }
    return jpegwriter::Encode(jpegwriter::MakePhotoLike(side, side, uint32_t(side)), options);
}

class SortFolder {
public:
    std::string Add(const std::string& name, const std::vector<uint8_t>& bytes, int64_t mtime)
    {
        const std::string path = m_dir.path().toStdString() + "/" + name;
        jpegwriter::WriteFile(path, bytes);
        const timespec times[2] = {{mtime, 0}, {mtime, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        auto item = std::make_unique<ImageItem>();
        item->name = name;
        m_items.push_back(std::move(item));
        return path;
    }
    std::vector<std::string> Sorted(const SortOrder& order)
    {
        std::vector<ImageItem*> items;
        for (auto& item : m_items)
            items.push_back(item.get());
        SortItems(items, order,
                  [this](const ImageItem* item) { return m_dir.path().toStdString() + "/" + item->name; });
        std::vector<std::string> names;
        for (ImageItem* item : items)
            names.push_back(item->name);
        return names;
    }

private:
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<ImageItem>> m_items;
};

}  // namespace

TEST(NaturalOrder, ComparesDigitRunsByValue)
{
    struct Case {
        const char* a;
        const char* b;
        int sign;
    } cases[] = {
        {"IMG_9.jpg", "IMG_10.jpg", -1},
        {"IMG_10.jpg", "IMG_9.jpg", 1},
        {"img_2.jpg", "IMG_10.JPG", -1},
        {"a2b10.jpg", "a2b9.jpg", 1},
        {"a.jpg", "a1.jpg", -1},
        {"photo.jpg", "Photo.jpg", 1},
        {"IMG_007.jpg", "IMG_7.jpg", -1},
        {"IMG_007.jpg", "IMG_8.jpg", -1},
        {"x.jpg", "x.jpg", 0},
        {"99999999999999999999.jpg", "100000000000000000000.jpg", -1},
    };
    for (const Case& c : cases) {
        const int got = CompareNaturally(c.a, c.b);
        EXPECT_EQ((got > 0) - (got < 0), c.sign) << c.a << " vs " << c.b;
    }
}

TEST(SortOrder, EachKeyForwardAndReversed)
{
    SortFolder folder;
    // name, date taken, modified, size (the side of the picture).
    folder.Add("IMG_10.jpg", Photo("2021:05:01 10:00:00", 64), 3000);
    folder.Add("IMG_9.jpg", Photo("2021:05:01 09:00:00", 16), 1000);
    folder.Add("IMG_100.jpg", Photo(nullptr, 32), 1500);               // no date: its modification time
    folder.Add("img_8.jpg", Photo("    :  :     :  :  ", 48), 500);    // a blank date too
    folder.Add("IMG_11.jpg", Photo("2021:05:01 09:00:00", 24), 2000);  // taken with IMG_9

    using V = std::vector<std::string>;
    EXPECT_EQ(folder.Sorted(kFolderOrder),
              (V {"IMG_10.jpg", "IMG_100.jpg", "IMG_11.jpg", "img_8.jpg", "IMG_9.jpg"}));
    EXPECT_EQ(folder.Sorted({SortKey::Name, false, true}),
              (V {"img_8.jpg", "IMG_9.jpg", "IMG_10.jpg", "IMG_11.jpg", "IMG_100.jpg"}));
    EXPECT_EQ(folder.Sorted({SortKey::Name, true, true}),
              (V {"IMG_100.jpg", "IMG_11.jpg", "IMG_10.jpg", "IMG_9.jpg", "img_8.jpg"}));
    // The same date: the name decides.
    EXPECT_EQ(folder.Sorted({SortKey::DateTaken, false, true}),
              (V {"img_8.jpg", "IMG_100.jpg", "IMG_9.jpg", "IMG_11.jpg", "IMG_10.jpg"}));
    EXPECT_EQ(folder.Sorted({SortKey::DateTaken, true, true}),
              (V {"IMG_10.jpg", "IMG_11.jpg", "IMG_9.jpg", "IMG_100.jpg", "img_8.jpg"}));
    EXPECT_EQ(folder.Sorted({SortKey::DateModified, false, true}),
              (V {"img_8.jpg", "IMG_9.jpg", "IMG_100.jpg", "IMG_11.jpg", "IMG_10.jpg"}));
    const V bySize = folder.Sorted({SortKey::Size, false, true});
    EXPECT_EQ(bySize.front(), "IMG_9.jpg");
    EXPECT_EQ(bySize.back(), "IMG_10.jpg");
    const V bySizeReversed = folder.Sorted({SortKey::Size, true, true});
    EXPECT_EQ(V(bySizeReversed.rbegin(), bySizeReversed.rend()), bySize);
}

TEST(DateTaken, HostileFilesHaveNoDate)
{
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString() + "/";
    const std::vector<uint8_t> good = Photo("2020:02:29 23:59:59");
    std::vector<uint8_t> cut(good.begin(), good.begin() + 40);  // inside the Exif segment
    std::vector<uint8_t> badLength = good;
    badLength[4] = 0;  // the first segment claims a length of 0 or 1
    badLength[5] = 1;
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
        {"empty.jpg", {}},
        {"text.jpg", {'h', 'e', 'l', 'l', 'o'}},
        {"cut.jpg", cut},
        {"bad-length.jpg", badLength},
        {"no-exif.jpg", Photo(nullptr)},
        {"month-13.jpg", Photo("2020:13:01 00:00:00")},
    };
    for (const auto& [name, bytes] : files) {
        jpegwriter::WriteFile(base + name, bytes);
        EXPECT_FALSE(ReadDateTaken(base + name)) << name;
    }
    EXPECT_FALSE(ReadDateTaken(base + "missing.jpg"));
    EXPECT_FALSE(ReadDateTaken(base));  // a folder
    ASSERT_EQ(::mkfifo((base + "pipe.jpg").c_str(), 0600), 0);
    EXPECT_FALSE(ReadDateTaken(base + "pipe.jpg"));  // returns at once
    jpegwriter::WriteFile(base + "good.jpg", good);
    EXPECT_TRUE(ReadDateTaken(base + "good.jpg"));
}
