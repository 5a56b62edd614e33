#include <gtest/gtest.h>

#include <memory>

#include "loader/image_item.h"
#include "loader/name_order.h"

namespace {

TEST(NameOrder, JpegExtension)
{
    struct Case {
        const char* name;
        bool listed;
    };
    const Case cases[] = {
        {"A.JPG", true},         {"b.jpeg", true},       {"c.Jpg", true},      {"a.JpEg", true},
        {".hidden.jpg", true},   {"\xff\xfe.jpg", true},  // not UTF-8, judged by its extension
        {"d.jpe", false},        {"e.jpg.bak", false},   {"a.jpg.txt", false}, {"jpg", false},
        {"ajpg", false},         {"a.jpgx", false},      {"a.", false},        {"", false},
        {"a.j\xc3\xa9g", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HasJpegExtension(c.name), c.listed) << c.name;
}

std::vector<std::string> Sorted(const std::vector<std::string>& names)
{
    std::vector<std::unique_ptr<ImageItem>> owned;
    std::vector<ImageItem*> items;
    for (const std::string& name : names) {
        owned.push_back(std::make_unique<ImageItem>());
        owned.back()->name = name;
        items.push_back(owned.back().get());
    }
    SortByName(items);
    std::vector<std::string> out;
    for (ImageItem* item : items)
        out.push_back(item->name);
    return out;
}

TEST(NameOrder, CaseInsensitiveAndStable)
{
    struct Case {
        std::vector<std::string> listed;
        std::vector<std::string> sorted;
    };
    const Case cases[] = {
        {{"b.jpg", "A.jpg", "a.jpg"}, {"A.jpg", "a.jpg", "b.jpg"}},
        {{"b.jpg", "a.jpg", "A.jpg"}, {"a.jpg", "A.jpg", "b.jpg"}},
        {{"IMG_10.jpg", "img_1.jpg", "Img_2.jpg"}, {"img_1.jpg", "IMG_10.jpg", "Img_2.jpg"}},
        // Non-ASCII letters fold too: É and é compare equal and keep their order.
        {{"\xc3\xa9t\xc3\xa9.jpg", "Z.jpg", "\xc3\x89T\xc3\x89.jpg", "e.jpg"},
         {"e.jpg", "Z.jpg", "\xc3\xa9t\xc3\xa9.jpg", "\xc3\x89T\xc3\x89.jpg"}},
        {{}, {}},
        {{"only.jpg"}, {"only.jpg"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Sorted(c.listed), c.sorted);
}

TEST(NameOrder, ManyEqualNamesKeepListingOrder)
{
    std::vector<std::string> names;
    for (int i = 0; i < 500; ++i)
        names.push_back(i % 2 ? "same.jpg" : "SAME.jpg");
    EXPECT_EQ(Sorted(names), names);
}

}  // namespace
