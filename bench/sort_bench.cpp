// Opening a folder of 10 000 camera photos in each sort order: listing,
// filtering, reading the keys (the Exif date taken from the files' headers)
// and sorting, on a warm cache; and what one change of that folder costs the
// loader (listing again, comparing, taking a new file in, sorting).

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "browse/shell_pidl.h"
#include "loader/thumb_loader.h"
#include "tools/exif_builder.h"
#include "tools/jpeg_writer.h"

namespace {

constexpr int kFiles = 10000;

// A small photo with the Exif block a camera writes (make, model, times,
// exposure), taken at a different minute each.
std::vector<uint8_t> CameraPhoto(const std::vector<uint8_t>& image, int index)
{
    char taken[32];
    std::snprintf(taken, sizeof taken, "2023:%02d:%02d %02d:%02d:00", 1 + index % 12, 1 + index % 28,
                  index % 24, index % 60);
    using namespace exifbuilder;
    const std::vector<uint8_t> app1 = Builder(Order::Little)
                                          .Ascii(Ifd0, 271, "Maker")
                                          .Ascii(Ifd0, 272, "Model 1")
                                          .Short(Ifd0, 274, {1})
                                          .Ascii(Ifd0, 306, taken)
                                          .Rational(Exif, 33434, {{1, 250}})
                                          .Rational(Exif, 33437, {{28, 10}})
                                          .Short(Exif, 34855, {200})
                                          .Ascii(Exif, 36867, taken)
                                          .Ascii(Exif, 36868, taken)
                                          .Build();
    const size_t length = app1.size() + 2;
    std::vector<uint8_t> file;
    file.reserve(4 + length + image.size());
    for (uint8_t b :
         {uint8_t(0xFF), uint8_t(0xD8), uint8_t(0xFF), uint8_t(0xE1), uint8_t(length >> 8), uint8_t(length)})
        file.push_back(b);
    file.insert(file.end(), app1.begin(), app1.end());
    file.insert(file.end(), image.begin() + 2, image.end());  // the rest after SOI
    return file;
}

const QTemporaryDir& Folder()
{
    static const std::unique_ptr<QTemporaryDir> dir = [] {
        auto d = std::make_unique<QTemporaryDir>();
        const std::string path = d->path().toStdString();
        const std::vector<uint8_t> image = jpegwriter::Encode(jpegwriter::MakePhotoLike(32, 24, 1));
        std::vector<int> order(kFiles);
        for (int i = 0; i < kFiles; ++i)
            order[size_t(i)] = i;
        std::shuffle(order.begin(), order.end(), std::mt19937(1));
        for (int i : order) {
            char name[32];
            std::snprintf(name, sizeof name, "IMG_%d.JPG", i);
            jpegwriter::WriteFile(path + "/" + name, CameraPhoto(image, i));
        }
        return d;
    }();
    return *dir;
}

void OpenSorted(benchmark::State& state, SortKey key)
{
    CShellPidl folder;
    if (!folder.ParseName(Folder().path().toStdString())) {
        state.SkipWithError("cannot parse the folder");
        return;
    }
    for (auto _ : state) {
        CThumbLoader loader;
        loader.SetSortOrder({key, false, true});
        if (!loader.OpenFolder(folder) || loader.ItemCount() != kFiles)
            state.SkipWithError("wrong listing");
        benchmark::DoNotOptimize(loader.FirstItem());
    }
}

void BM_OpenByName(benchmark::State& state)
{
    OpenSorted(state, SortKey::Name);
}
void BM_OpenByDateTaken(benchmark::State& state)
{
    OpenSorted(state, SortKey::DateTaken);
}
void BM_OpenByDateModified(benchmark::State& state)
{
    OpenSorted(state, SortKey::DateModified);
}
void BM_OpenBySize(benchmark::State& state)
{
    OpenSorted(state, SortKey::Size);
}
// One file copied in and removed again by another program, each taken in
// while the folder is shown sorted by date taken.
void BM_FolderChange(benchmark::State& state)
{
    CShellPidl folder;
    if (!folder.ParseName(Folder().path().toStdString())) {
        state.SkipWithError("cannot parse the folder");
        return;
    }
    CThumbLoader loader;
    loader.SetSortOrder({SortKey::DateTaken, false, true});
    loader.OpenFolder(folder);
    const std::string extra = Folder().path().toStdString() + "/extra.jpg";
    const std::vector<uint8_t> photo
        = CameraPhoto(jpegwriter::Encode(jpegwriter::MakePhotoLike(32, 24, 2)), 5);
    for (auto _ : state) {
        for (bool add : {true, false}) {
            if (add)
                jpegwriter::WriteFile(extra, photo);
            else
                std::remove(extra.c_str());
            FolderChanges changes;
            if (!loader.CheckFolder({}, &changes) || changes.Empty())
                state.SkipWithError("no change seen");
            loader.ApplyFolderChanges(changes);
        }
    }
    state.SetItemsProcessed(state.iterations() * 2);
}

BENCHMARK(BM_OpenByName)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenByDateTaken)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenByDateModified)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenBySize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FolderChange)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
