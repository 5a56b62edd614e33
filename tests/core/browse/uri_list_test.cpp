// File lists as text/uri-list: raw bytes survive the round trip, and what
// another program drops is read leniently but never as a foreign path.

#include <gtest/gtest.h>

#include <QString>
#include <QSysInfo>

#include "browse/uri_list.h"

namespace {

TEST(UriList, RoundTripsEveryByte)
{
    const std::vector<std::string> paths = {
        "/home/a/photo.jpg",
        "/tmp/caf\xe9.jpg",
        "/tmp/-dash and space.jpg",
        "/tmp/n\nl%25#?.jpg",
        std::string("/tmp/") + std::string(255, 'x'),
    };
    const QByteArray list = EncodeUriList(paths);
    EXPECT_EQ(list.count("\r\n"), qsizetype(paths.size()));
    EXPECT_TRUE(list.startsWith("file:///home/a/photo.jpg\r\nfile:///tmp/caf%E9.jpg\r\n"));
    EXPECT_EQ(DecodeUriList(list), paths);
}

TEST(UriList, ReadsWhatOtherProgramsDrop)
{
    const QByteArray dropped = "# a comment\r\n"
                               "file:///a/b.jpg\n"
                               "file://localhost/c/d.jpg\r\n"
                               "file://otherhost/e.jpg\r\n"
                               "https://example.invalid/f.jpg\r\n"
                               "file://relative.jpg\r\n"
                               "file:///nul%00.jpg\r\n"
                               "file:///bad%zz.jpg\r\n"
                               "file:///cut%4.jpg\r\n"
                               "file:///end%\r\n"
                               "file:////server/share.jpg\r\n"
                               "file:///query.jpg?x=1#y\r"
                               "file:///fragment%20a.jpg#p?q\r"
                               "file:///lf.jpg\n"
                               "\r\n";
    EXPECT_EQ(
        DecodeUriList(dropped),
        (std::vector<std::string> {"/a/b.jpg", "/c/d.jpg", "/query.jpg", "/fragment a.jpg", "/lf.jpg"}));
    // This machine named as the host is this machine.
    const QByteArray named = "file://" + QSysInfo::machineHostName().toUtf8() + "/g/h%FF.jpg\r\n";
    EXPECT_EQ(DecodeUriList(named), std::vector<std::string> {"/g/h\xff.jpg"});
    EXPECT_TRUE(DecodeUriList("").empty());
}

}  // namespace
