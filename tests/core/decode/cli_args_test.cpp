// The argument parser of lumvane-cli: options, values, one positional
// argument, and the reason given for each usage error.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tools/cli_args.h"

namespace {

struct ArgsCase {
    std::vector<std::string> args;
    std::string why;  // empty: accepted
    std::string file;
    std::string output;
    int size;
    bool flag;
};

TEST(CliArguments, OptionsValuesAndOnePositional)
{
    const ArgsCase cases[] = {
        {{"a.jpg", "-o", "b.png", "--size", "120", "--exif"}, "", "a.jpg", "b.png", 120, true},
        {{"--exif", "-o", "x", "-"}, "", "-", "x", 80, true},
        {{"a.jpg"}, "", "a.jpg", "", 80, false},
        {{"--exif", "--", "--size"}, "", "--size", "", 80, true},
        {{"--", "a", "b"}, "more than one FILE", "a", "", 80, false},
        {{}, "FILE is required", "", "", 80, false},
        {{"a.jpg", "b.jpg"}, "more than one FILE", "a.jpg", "", 80, false},
        {{"a.jpg", "-o"}, "unknown or incomplete option -o", "a.jpg", "", 80, false},
        {{"a.jpg", "--bogus"}, "unknown or incomplete option --bogus", "a.jpg", "", 80, false},
        {{"a.jpg", "--size", "0"}, "bad size", "a.jpg", "", 80, false},
        {{"a.jpg", "--size", "+5"}, "bad size", "a.jpg", "", 80, false},
        {{"a.jpg", "--size", "5x"}, "bad size", "a.jpg", "", 80, false},
        {{"a.jpg", "--size", "99999999999999999999"}, "bad size", "a.jpg", "", 80, false},
        {{"a.jpg", "--size", "4096"}, "", "a.jpg", "", 4096, false},
    };
    for (const ArgsCase& c : cases) {
        std::vector<std::string> storage = c.args;
        std::vector<char*> argv;
        for (std::string& s : storage)
            argv.push_back(s.data());
        std::string file, output;
        int size = 80;
        bool flag = false;
        const std::string why = ParseCliArguments(
            int(argv.size()), argv.data(),
            {{"-o", true,
              [&](const char* v) {
                  output = v;
                  return true;
              },
              ""},
             {"--size", true, [&](const char* v) { return ParseCliNumber(v, 1, 4096, size); }, "bad size"},
             {"--exif", false, [&](const char*) { return flag = true; }, ""}},
            "FILE", file);
        const std::string name = c.args.empty() ? "(none)" : c.args.back();
        EXPECT_EQ(why, c.why) << name;
        EXPECT_EQ(file, c.file) << name;
        EXPECT_EQ(output, c.output) << name;
        EXPECT_EQ(size, c.size) << name;
        EXPECT_EQ(flag, c.flag) << name;
    }
}

// The shared option makers: each value is checked, and a refused one gives
// the option's own complaint.
TEST(CliArguments, SharedOptionMakers)
{
    struct MakerCase {
        std::vector<std::string> args;
        std::string why;  // empty: accepted
        int width, height, rotation, count;
        bool dither;
    };
    const MakerCase cases[] = {
        {{"d", "--fit", "1920x1080", "--rotate", "3", "--count", "7"}, "", 1920, 1080, 3, 7, true},
        {{"d", "--fit", "0x65535", "--no-dither"}, "", 0, 65535, 0, -1, false},
        {{"d", "--fit", "32"}, "bad fit", -1, -1, 0, -1, true},
        {{"d", "--fit", "x32"}, "bad fit", -1, -1, 0, -1, true},
        {{"d", "--fit", "65536x1"}, "bad fit", -1, -1, 0, -1, true},
        {{"d", "--rotate", "4"}, "--rotate wants 0, 1, 2 or 3", -1, -1, 0, -1, true},
        {{"d", "--count", "-1"}, "bad count", -1, -1, 0, -1, true},
        {{"d", "--count", "11"}, "bad count", -1, -1, 0, -1, true},
    };
    for (const MakerCase& c : cases) {
        std::vector<std::string> storage = c.args;
        std::vector<char*> argv;
        for (std::string& s : storage)
            argv.push_back(s.data());
        std::string dir;
        int width = -1, height = -1, rotation = 0, count = -1;
        bool dither = true;
        const std::string why = ParseCliArguments(
            int(argv.size()), argv.data(),
            {FitOption(width, height, 65535, "bad fit"), RotateOption(rotation),
             NumberOption("--count", 0, 10, count, "bad count"), FlagOption("--no-dither", dither, false)},
            "DIR", dir);
        const std::string name = c.args.back();
        EXPECT_EQ(why, c.why) << name;
        if (c.why.empty()) {
            EXPECT_EQ(std::make_tuple(width, height, rotation, count, dither),
                      std::make_tuple(c.width, c.height, c.rotation, c.count, c.dither))
                << name;
        }
    }
}

}  // namespace
