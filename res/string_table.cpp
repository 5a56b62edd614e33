#include "res/string_table.h"

namespace res {
namespace {
    struct StringEntry {
        int id;
        const char* text;
    };

    constexpr StringEntry kStrings[] = {
        {17, "Lumvane.1"},
        {18, "Lumvane"},
        {19, "seconds"},
        {20, "About Lumvane"},
        {21, "New Folder"},
        {22, "Can't create folder"},
        {23,
         "The new file name has neither 'JPG' nor 'JPEG' extension and will not be recognized by Lumvane. Do "
         "you wish to apply changes?"},
        {25, "move"},
        {26, "copy"},
        {57344, "Lumvane"},
        {57345, "Tag"},
        {57346, "Value"},
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
