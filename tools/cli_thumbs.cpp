// lumvane-cli thumbs: runs the loader's thumbnail worker over a folder, as the
// thumbnail pane would with the program's default options, and reports how
// fast it went and how many thumbnails the shared cache gave.

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "browse/shell_pidl.h"
#include "loader/thumb_loader.h"
#include "cache/thumbnail_cache.h"
#include "tools/cli_args.h"
#include "tools/cli_commands.h"

namespace {

int Usage(const char* why)
{
    std::fprintf(
        stderr,
        "lumvane-cli thumbs: %s\n"
        "usage: lumvane-cli thumbs DIR [--size S] [--exif] [--as-stored] [--no-cache] [--threads N]\n"
        "                              [-o OUTDIR]\n"
        "  S from 1 to 4096 (default 120); writes OUTDIR/NAME.ppm for each thumbnail,\n"
        "  NAME being the whole file name (a.jpg gives a.jpg.ppm, a.jpeg a.jpeg.ppm);\n"
        "  thumbnails are upright by the Exif orientation and in true colours from an\n"
        "  embedded ICC profile, as the program shows them, or as stored with\n"
        "  --as-stored; they come from and go to the desktop's shared thumbnail cache\n"
        "  unless --no-cache or --as-stored (the cache holds upright sRGB thumbnails\n"
        "  only); N threads (1 to 64, default one per core) make them\n",
        why);
    return 2;
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int RunThumbs(int argc, char** argv)
{
    std::string dir, outDir;
    int size = kBigThumbnailSize;
    int threads = 0;
    bool useExif = false;
    bool asStored = false;
    bool useCache = true;
    const std::string problem = ParseCliArguments(
        argc, argv,
        {
            OutputOption(outDir),
            SizeOption(size),
            FlagOption("--exif", useExif),
            FlagOption("--as-stored", asStored),
            FlagOption("--no-cache", useCache, false),
            NumberOption("--threads", 1, 64, threads, "--threads wants a number from 1 to 64"),
        },
        "DIR", dir);
    if (!problem.empty())
        return Usage(problem.c_str());

    CShellPidl folder;
    uint32_t attributes = kAttrFolder | kAttrFileSystem;
    CThumbLoader loader;
    if (!folder.ParseName(dir, &attributes) || !(attributes & kAttrFolder) || !loader.OpenFolder(folder)) {
        std::fprintf(stderr, "lumvane-cli thumbs: %s: the folder cannot be opened\n", dir.c_str());
        return 1;
    }
    if (!outDir.empty() && ::mkdir(outDir.c_str(), 0777) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "lumvane-cli thumbs: %s: %s\n", outDir.c_str(), std::strerror(errno));
        return 1;
    }

    loader.SetOptions(false, false, useExif);
    // The program's defaults: upright and in true colours.
    const PictureOptions picture = asStored ? PictureOptions {} : PictureOptions {true, true};
    loader.SetPictureOptions(picture);
    loader.SetThumbnailThreads(threads);
    std::shared_ptr<CThumbnailCache> cache;
    if (const std::string root = CThumbnailCache::DefaultRoot(); useCache && !asStored && !root.empty())
        cache = std::make_shared<CThumbnailCache>(root);
    loader.SetThumbnailCache(cache);
    const auto start = std::chrono::steady_clock::now();
    loader.StartThumbnails(size);
    // The worker ends by itself once every item has its thumbnail or failed.
    loader.ThumbnailsSettledEvent().Wait();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    int made = 0, failed = 0;
    for (ImageItem* item = loader.FirstItem(); item; item = item->next) {
        CImageBitmap* thumb = loader.ThumbnailOf(item);
        if (!thumb) {
            ++failed;
            // The loader keeps no reasons: a file that failed is tried once
            // more here, on its own, to tell why.
            std::string why;
            item->decoder.MakeThumbnail(loader.ItemPath(item), size, useExif, nullptr, picture, &why);
            std::fprintf(stderr, "lumvane-cli thumbs: %s: no thumbnail: %s\n", loader.ItemPath(item).c_str(),
                         why.empty() ? "not a regular file" : why.c_str());
            continue;
        }
        ++made;
        if (outDir.empty() || thumb->IsNull())
            continue;
        const std::string out = outDir + "/" + BaseName(loader.ItemPath(item)) + ".ppm";
        if (!WriteCliImage("thumbs", *thumb, out))
            return 1;
    }
    const std::string fromCache
        = cache ? std::to_string(cache->Hits()) + " from the cache" : std::string("cache off");
    std::printf("thumbnails: %d made, %d failed, %s, %.3f s, %.1f per second\n", made, failed,
                fromCache.c_str(), seconds, seconds > 0 ? (made + failed) / seconds : 0.0);
    return 0;
}
