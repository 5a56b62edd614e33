#include "res/string_table.h"

namespace res {
namespace {
struct StringEntry {
    int id;
    const char* text;
};

constexpr StringEntry kStrings[] = {
    {23, "The new file name has neither 'JPG' nor 'JPEG' extension and will not be recognized by Lumvane. Do you wish to apply changes?"},
};
}  // namespace

const char* String(int id)
{
    for (const StringEntry& e : kStrings)
        if (e.id == id)
            return e.text;
    return "";
}
}  // namespace res
