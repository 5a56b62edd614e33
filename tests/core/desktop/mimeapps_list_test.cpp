// mimeapps.list editing: every line the edit does not name stays byte for
// byte, including comments, other groups, CRLF line ends and a missing final
// line end.

#include <gtest/gtest.h>

#include "desktop/mimeapps_list.h"

namespace {

struct EditCase {
    const char* name;
    const char* before;
    // "set" or "remove"
    const char* op;
    const char* group;
    const char* key;
    const char* value;
    const char* after;
};

const EditCase kEditCases[] = {
    {"ReplacesInPlace",
     "# mine\n[Default Applications]\nimage/png=a.desktop;\nimage/jpeg=b.desktop;\n\n[X]\nk=v\n", "set",
     "Default Applications", "image/jpeg", "c.desktop;",
     "# mine\n[Default Applications]\nimage/png=a.desktop;\nimage/jpeg=c.desktop;\n\n[X]\nk=v\n"},
    {"AddsAfterTheGroupsLastKey", "[Default Applications]\nimage/png=a.desktop;\n\n# about X\n[X]\nk=v\n",
     "set", "Default Applications", "image/jpeg", "c.desktop;",
     "[Default Applications]\nimage/png=a.desktop;\nimage/jpeg=c.desktop;\n\n# about X\n[X]\nk=v\n"},
    {"AddsAGroupAtTheEnd", "[X]\nk=v", "set", "Added Associations", "image/jpeg", "c.desktop;",
     "[X]\nk=v\n\n[Added Associations]\nimage/jpeg=c.desktop;\n"},
    {"StartsAnEmptyFile", "", "set", "Default Applications", "image/jpeg", "c.desktop;",
     "[Default Applications]\nimage/jpeg=c.desktop;\n"},
    {"KeepsCrlf", "[Default Applications]\r\nimage/png=a.desktop;\r\n", "set", "Default Applications",
     "image/jpeg", "c.desktop;",
     "[Default Applications]\r\nimage/png=a.desktop;\r\nimage/jpeg=c.desktop;\r\n"},
    {"KeysMatchWithBlanksAroundThem", "[Default Applications]\n image/jpeg = b.desktop;\n", "set",
     "Default Applications", "image/jpeg", "c.desktop;", "[Default Applications]\n image/jpeg =c.desktop;\n"},
    {"OtherGroupsKeyUntouched", "[Added Associations]\nimage/jpeg=a.desktop;\n[Default Applications]\n",
     "set", "Default Applications", "image/jpeg", "c.desktop;",
     "[Added Associations]\nimage/jpeg=a.desktop;\n[Default Applications]\nimage/jpeg=c.desktop;\n"},
    {"RemovesOnlyThatKey", "[Default Applications]\n# keep\nimage/jpeg=b.desktop;\nimage/png=a.desktop;\n",
     "remove", "Default Applications", "image/jpeg", "",
     "[Default Applications]\n# keep\nimage/png=a.desktop;\n"},
    {"CommentedKeyIsNotAKey", "[Default Applications]\n#image/jpeg=b.desktop;\n", "set",
     "Default Applications", "image/jpeg", "c.desktop;",
     "[Default Applications]\nimage/jpeg=c.desktop;\n#image/jpeg=b.desktop;\n"},
};

void PrintTo(const EditCase& c, std::ostream* os)
{
    *os << c.name;
}

class MimeAppsEdit : public testing::TestWithParam<EditCase> {};

TEST_P(MimeAppsEdit, ChangesOnlyTheNamedLine)
{
    const EditCase& c = GetParam();
    CMimeAppsList list(c.before);
    EXPECT_EQ(list.Text(), c.before) << "parsing alone changes nothing";
    if (std::string(c.op) == "set")
        list.SetValue(c.group, c.key, c.value);
    else
        list.RemoveKey(c.group, c.key);
    EXPECT_EQ(list.Text(), c.after);
}

INSTANTIATE_TEST_SUITE_P(Cases, MimeAppsEdit, testing::ValuesIn(kEditCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MimeAppsList, ListsSplitAndJoin)
{
    EXPECT_EQ(CMimeAppsList::ListItems("a.desktop; b.desktop;;c.desktop"),
              (std::vector<std::string> {"a.desktop", "b.desktop", "c.desktop"}));
    EXPECT_TRUE(CMimeAppsList::ListItems("").empty());
    EXPECT_EQ(CMimeAppsList::JoinList({"a.desktop", "b.desktop"}), "a.desktop;b.desktop;");
    CMimeAppsList list("[G]\nk=a;\n");
    list.SetItems("G", "k", {});
    EXPECT_EQ(list.Text(), "[G]\n");
    EXPECT_EQ(list.Value("G", "k"), std::nullopt);
}

}  // namespace
