// Opening a folder of 10 000 JPEG names: listing, filtering and sorting, and
// the sort alone.

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "browse/shell_pidl.h"
#include "loader/name_order.h"
#include "loader/thumb_loader.h"

namespace {

constexpr int kFiles = 10000;

// Names in an order the file system might give: shuffled, in mixed case.
std::vector<std::string> MakeNames()
{
    std::vector<std::string> names;
    for (int i = 0; i < kFiles; ++i) {
        static const char* const kPatterns[] = {"img_%05d.jpeg", "IMG_%05d.JPG", "Img_%05d.jpg"};
        char name[64];
        std::snprintf(name, sizeof name, kPatterns[i % 3], i);
        names.push_back(name);
    }
    std::shuffle(names.begin(), names.end(), std::mt19937(1));
    return names;
}

const QTemporaryDir& Folder()
{
    static const std::unique_ptr<QTemporaryDir> dir = [] {
        auto d = std::make_unique<QTemporaryDir>();
        const std::string path = d->path().toStdString();
        std::vector<std::string> names = MakeNames();
        for (int i = 0; i < 200; ++i)
            names.push_back("other_" + std::to_string(i) + ".txt");  // left out
        for (const std::string& name : names)
            if (FILE* f = std::fopen((path + "/" + name).c_str(), "wb"))
                std::fclose(f);
        return d;
    }();
    return *dir;
}

void BM_OpenFolder(benchmark::State& state)
{
    CShellPidl folder;
    if (!folder.ParseName(Folder().path().toStdString())) {
        state.SkipWithError("cannot parse the folder");
        return;
    }
    for (auto _ : state) {
        CThumbLoader loader;
        if (!loader.OpenFolder(folder) || loader.ItemCount() != kFiles)
            state.SkipWithError("wrong listing");
        benchmark::DoNotOptimize(loader.FirstItem());
    }
}
BENCHMARK(BM_OpenFolder)->Unit(benchmark::kMillisecond);

void BM_SortNames(benchmark::State& state)
{
    const std::vector<std::string> names = MakeNames();
    std::vector<ImageItem> items(names.size());
    for (size_t i = 0; i < names.size(); ++i)
        items[i].name = names[i];
    for (auto _ : state) {
        std::vector<ImageItem*> order;
        for (ImageItem& item : items)
            order.push_back(&item);
        SortByName(order);
        benchmark::DoNotOptimize(order.data());
    }
}
BENCHMARK(BM_SortNames)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
