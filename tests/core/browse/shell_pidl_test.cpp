// The identifier-list byte format and the holder's list operations.

#include "browse/shell_folder.h"
#include "browse/shell_pidl.h"

#include <gtest/gtest.h>

namespace {

CShellPidl Path(std::initializer_list<std::string_view> names)
{
    CShellPidl list;
    list.SetEmpty();
    for (std::string_view name : names)
        list.Concat(list, CShellPidl::MakeItem(kItemEntry, name));
    return list;
}

std::vector<uint8_t> Bytes(const CShellPidl& list)
{
    return {list.Data(), list.Data() + list.Size()};
}

TEST(ShellPidl, ItemsAreLittleEndianCountsEndedByZero)
{
    const CShellPidl list = Path({"ab", "c"});
    EXPECT_EQ(Bytes(list), (std::vector<uint8_t> {5, 0, 'E', 'a', 'b', 4, 0, 'E', 'c', 0, 0}));
    EXPECT_EQ(list.ItemCount(), 2);

    CShellPidl empty;
    EXPECT_TRUE(empty.IsNull());
    empty.SetEmpty();
    EXPECT_EQ(Bytes(empty), (std::vector<uint8_t> {0, 0}));
    EXPECT_TRUE(empty.IsEmpty());

    // A count above 255 uses the high byte.
    const CShellPidl wide = CShellPidl::MakeItem(kItemEntry, std::string(300, 'x'));
    EXPECT_EQ(wide.Data()[0], (303 & 0xFF));
    EXPECT_EQ(wide.Data()[1], (303 >> 8));
    EXPECT_EQ(wide.Size(), 305u);
    // An item that cannot be counted in 16 bits is refused.
    EXPECT_TRUE(CShellPidl::MakeItem(kItemEntry, std::string(70000, 'x')).IsNull());
}

TEST(ShellPidl, FromBytesRoundTripsAndRefusesMalformedLists)
{
    const CShellPidl list = Path({"photos", "2024", std::string("\xff\xfe", 2)});
    CShellPidl copy;
    ASSERT_TRUE(copy.FromBytes(list.Data(), list.Size()));
    EXPECT_TRUE(copy.Equals(list));

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const Case bad[] = {
        {"nothing", {}},
        {"half a terminator", {0}},
        {"no terminator", {3, 0, 'E'}},
        {"count past the end", {9, 0, 'E', 0, 0}},
        {"count of one never advances", {1, 0, 0, 0}},
        {"bytes after the terminator", {3, 0, 'E', 0, 0, 7}},
    };
    for (const Case& c : bad) {
        CShellPidl pidl;
        EXPECT_FALSE(pidl.FromBytes(c.bytes.data(), c.bytes.size())) << c.what;
        EXPECT_TRUE(pidl.IsNull()) << c.what;
    }
}

TEST(ShellPidl, ConcatSplitAndSingle)
{
    const CShellPidl a = Path({"one", "two"});
    const CShellPidl b = Path({"three"});
    CShellPidl joined;
    joined.Concat(a, b);
    EXPECT_EQ(joined.Size(), a.Size() - 2 + b.Size());
    EXPECT_TRUE(joined.Equals(Path({"one", "two", "three"})));

    CShellPidl parent;
    CShellPidl child;
    CShellPidl source = joined;
    ASSERT_TRUE(source.Split(&parent, &child));
    EXPECT_TRUE(parent.Equals(a));
    EXPECT_TRUE(child.Equals(b));
    EXPECT_TRUE(source.Equals(a)) << "the source is truncated to its parent";

    // Splitting a one-item list gives the Desktop as parent.
    CShellPidl single = Path({"only"});
    ASSERT_TRUE(single.Split(&parent, &child));
    EXPECT_TRUE(parent.IsEmpty());
    EXPECT_TRUE(child.Equals(Path({"only"})));
    // The Desktop itself has no parent.
    EXPECT_FALSE(parent.Split(nullptr, &child));

    CShellPidl first;
    first.SetSingle(joined);
    EXPECT_TRUE(first.Equals(Path({"one"})));
    first.SetSingle(CShellPidl());
    EXPECT_TRUE(first.IsEmpty());

    // Concatenating into one of the operands.
    CShellPidl self = a;
    self.Concat(self, self);
    EXPECT_TRUE(self.Equals(Path({"one", "two", "one", "two"})));
}

TEST(ShellPidl, EqualsNeedsSameSizeAndBytes)
{
    EXPECT_TRUE(Path({"a", "b"}).Equals(Path({"a", "b"})));
    EXPECT_FALSE(Path({"a"}).Equals(Path({"a", "b"}))) << "a prefix is not equal";
    EXPECT_FALSE(Path({"a", "b"}).Equals(Path({"a"})));
    EXPECT_FALSE(Path({"a"}).Equals(Path({"b"})));
    EXPECT_FALSE(CShellPidl().Equals(Path({})));
}

TEST(ShellPidl, DisplayUtf8ReplacesOnlyBadBytes)
{
    EXPECT_EQ(DisplayUtf8("plain.jpg"), "plain.jpg");
    EXPECT_EQ(DisplayUtf8("caf\xc3\xa9"), "caf\xc3\xa9");
    const std::string shown = DisplayUtf8(std::string("a\xff"
                                                      "b",
                                                      3));
    EXPECT_EQ(shown,
              "a\xef\xbf\xbd"
              "b");
    EXPECT_EQ(DisplayUtf8(std::string("\x80", 1)), "\xef\xbf\xbd");
}

}  // namespace
