#include "report/string_table.h"

namespace res {
namespace {
    struct StringEntry {
        int id;
        const char* text;
    };

    constexpr StringEntry kStrings[] = {
        {1, "Name"},
        {2, "Folder"},
        {3, "Image Width"},
        {4, "Image Height"},
        {5, "File Size"},
        {6, "File Created"},
        {7, "Comment"},
        {8, "File Modified"},
        {9, "bytes"},
        {10, "pixels"},
        {11, "Image Type"},
        {12, "Read-only file"},
        {13, "Yes"},
        {14, "No"},
        {15, "Color"},
        {16, "Gray-scale"},
        {17, "Lumvane.1"},
        {18, "Lumvane"},
        {19, "seconds"},
        {20, "About Lumvane"},
        {21, "New Folder"},
        {22, "Can't create folder"},
        {23,
         "The new file name has neither 'JPG' nor 'JPEG' extension and will not be recognized by Lumvane. Do "
         "you wish to apply changes?"},
        {24, "Do you want to %s %i item(s) to %s?"},
        {25, "move"},
        {26, "copy"},
        {60, "Can't open this folder: %s"},
        {61, "Documentation"},
        {62, "Report a problem"},
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
