// Fuzz target: the decoder's header and marker path on one file's bytes.
// The bytes go to a temporary file (the decoder reads files), then the
// information, an Exif-assisted thumbnail and a small fitted display decode,
// both upright and in true colours (the Exif orientation and the embedded
// ICC profile, CMYK included, are read from the same bytes).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "decode/jpeg_decoder.h"

namespace {

// One temporary file per process, removed at exit. The name is never
// destroyed: the exit handler that removes the file runs after the
// destructors of function-local statics made before it was registered.
const std::string& TempPath()
{
    static const std::string& path = *new std::string([] {
        const char* dir = std::getenv("TMPDIR");
        std::string p = std::string(dir && *dir ? dir : "/tmp") + "/lumvane-fuzz-XXXXXX";
        const int fd = mkstemp(p.data());
        if (fd < 0)
            std::abort();
        close(fd);
        std::atexit([] { unlink(TempPath().c_str()); });
        return p;
    }());
    return path;
}

bool WriteAll(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = TempPath();
    if (!WriteAll(path, data, size))
        return 0;
    {
        CJpegDecoder decoder;
        const ImageInfo& info = decoder.ReadInfo(path);
        (void)info;
        decoder.MakeThumbnail(path, 64, true, nullptr, {true, true});
        decoder.MakeThumbnail(path, 64, false, nullptr, {true, true});
    }
    {
        CJpegDecoder decoder;
        DecodeRequest request;
        request.path = path;
        request.targetWidth = 96;
        request.targetHeight = 64;
        request.rotation = int(size % 4);
        request.highQuality = size % 2 == 0;
        request.earlyPicture = size % 3 != 0;
        request.picture = {true, true};
        if (decoder.OpenForDisplay(request))
            decoder.Decode(nullptr, nullptr);
    }
    return 0;
}
