// lumvane-cli info FILE: the properties report of one file, as the
// properties window's "Copy Report" writes it, with "\n" line ends.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "decode/jpeg_decoder.h"
#include "tools/cli_commands.h"
#include "report/properties_report.h"

namespace {

int Fail(const char* path, const char* why)
{
    std::fprintf(stderr, "lumvane-cli info: %s: %s\n", path, why);
    return 1;
}

// The file must exist, be a regular file and open for reading; anything
// else (a non-JPEG file included) gets its report.
int CheckReadable(const char* path)
{
    struct stat st {};
    if (::stat(path, &st) != 0)
        return Fail(path, std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        return Fail(path, "is a folder");
    if (!S_ISREG(st.st_mode))
        return Fail(path, "is not a regular file");
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Fail(path, std::strerror(errno));
    ::close(fd);
    return 0;
}

}  // namespace

int RunInfo(int argc, char** argv)
{
    // "--" lets a file name start with '-', as in the other subcommands.
    if (argc == 2 && std::strcmp(argv[0], "--") == 0) {
        --argc;
        ++argv;
    }
    if (argc != 1 || argv[0][0] == '\0') {
        std::fprintf(stderr, "usage: lumvane-cli info [--] FILE\n");
        return 2;
    }
    const char* path = argv[0];
    if (const int status = CheckReadable(path))
        return status;
    CJpegDecoder decoder;
    const ImageInfo& info = decoder.ReadInfo(path);
    const std::string report = FormatReport(BuildPropertiesRows(path, info), "\n");
    std::fwrite(report.data(), 1, report.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
