// Fuzz target: one APP1 payload through the Exif reader, then every
// directory listed and every entry rendered, as the properties report does.

#include <cstddef>
#include <cstdint>

#include "decode/exif_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CExifReader reader;
    reader.ParseApp1(data, size);
    size_t total = 0;
    for (int d = 0; d < 4; ++d) {
        const auto dir = static_cast<CExifReader::Directory>(d);
        reader.ListIfd(dir, [&total](const std::string& name, const std::string& text) {
            total += name.size() + text.size();
        });
        for (const ExifEntry& entry : reader.Ifd(dir).entries) {
            if (const auto text = CExifReader::FormatValue(entry))
                total += text->size();
            if (const char* name = CExifReader::TagName(entry.tag))
                total += name[0] != 0;
        }
    }
    // A second payload replaces the first; the reader must stay consistent.
    reader.ParseApp1(data, size);
    return total == size_t(-1);
}
