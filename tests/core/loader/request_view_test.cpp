// The display worker's window of three slots: moves, wrap rules, exact
// requests, storms of requests, stopping while busy, and neighbours held
// while the thumbnails of a folder just opened are made.

#include <random>
#include <utility>

#include "decode/image_bitmap.h"
#include "loader_fixture.h"

namespace {
using loadertest::LoaderTest;

ViewRequest Fit(ImageItem* item, int w = 32, int h = 32)
{
    return ViewRequest {item, w, h, 0, false, false};
}

class RequestViewTest : public LoaderTest {
protected:
    void MakeFolder(int count, int width = 64, int height = 48)
    {
        for (int i = 0; i < count; ++i)
            WriteJpeg(std::string(1, char('a' + i)) + ".jpg", width, height, uint32_t(i + 1));
        ASSERT_TRUE(Open());
        ASSERT_EQ(m_loader.ItemCount(), count);
    }
    // The three slots' items by name ("-" for an empty slot): previous, current, next.
    std::string Window()
    {
        auto name
            = [](const ViewRequest& r) { return r.item ? r.item->name.substr(0, 1) : std::string("-"); };
        return name(m_loader.PreviousSlot()) + name(m_loader.CurrentSlot()) + name(m_loader.NextSlot());
    }
    bool Ready(const std::string& name) { return m_loader.DisplayImageOf(Item(name)) != nullptr; }

    // A decoded image carries a mark until it is decoded again: whether the
    // worker has got to it yet or not, a new decode never leaves the mark.
    static constexpr uint32_t kMark = 0x00C0FFEE;
    void Mark(const std::string& name)
    {
        CImageBitmap* image = m_loader.DisplayImageOf(Item(name));
        ASSERT_NE(image, nullptr) << name;
        PixelLocker lock(*image);
        image->Pixels()[0] = kMark;
    }
    bool Marked(const std::string& name)
    {
        CImageBitmap* image = m_loader.DisplayImageOf(Item(name));
        if (!image)
            return false;
        PixelLocker lock(*image);
        return !image->IsNull() && image->Pixels()[0] == kMark;
    }
};

TEST_F(RequestViewTest, WindowMovesForwardAndBackwardKeepingDecodes)
{
    MakeFolder(5);
    m_loader.RequestView(Fit(Item("a.jpg")), false);
    EXPECT_EQ(Window(), "eab");  // the first item's previous is the last
    ASSERT_TRUE(WaitSlots());
    for (const char* name : {"e.jpg", "a.jpg", "b.jpg"}) {
        CImageBitmap* image = m_loader.DisplayImageOf(Item(name));
        ASSERT_NE(image, nullptr) << name;
        EXPECT_EQ(image->Width(), 32);
        EXPECT_EQ(image->Height(), 24);
        EXPECT_FALSE(m_loader.IsBeingDecoded(Item(name)));
    }

    struct Step {
        const char* name;
        const char* window;
        const char* dropped;
    };
    const Step steps[] = {
        {"b.jpg", "abc", "e.jpg"},                             // forward: the previous is dropped
        {"c.jpg", "bcd", "a.jpg"}, {"b.jpg", "abc", "d.jpg"},  // backward: the next is dropped
        {"a.jpg", "eab", "c.jpg"}, {"e.jpg", "dea", "b.jpg"},  // backward across the start
        {"a.jpg", "eab", "d.jpg"},                             // forward across the end
    };
    for (const Step& s : steps) {
        const ViewRequest request = Fit(Item(s.name));
        m_loader.RequestView(request, false);
        EXPECT_EQ(Window(), s.window) << s.name;
        EXPECT_EQ(m_loader.CurrentSlot(), request);
        // The new current was a ready neighbour: it is shown at once.
        EXPECT_TRUE(Ready(s.name)) << s.name;
        EXPECT_FALSE(Ready(s.dropped)) << s.dropped;
        ASSERT_TRUE(WaitSlots());
        for (const ViewRequest& slot :
             {m_loader.PreviousSlot(), m_loader.CurrentSlot(), m_loader.NextSlot()}) {
            EXPECT_EQ(slot.targetWidth, 32);
            EXPECT_NE(m_loader.DisplayImageOf(slot.item), nullptr);
        }
    }
}

TEST_F(RequestViewTest, OtherSettingsDecodeAgain)
{
    MakeFolder(4);
    m_loader.RequestView(Fit(Item("b.jpg")), false);
    ASSERT_TRUE(WaitSlots());
    Mark("b.jpg");
    Mark("c.jpg");
    // A neighbour asked with other settings is not a move.
    m_loader.RequestView(Fit(Item("c.jpg"), 0, 24), false);
    EXPECT_EQ(Window(), "bcd");
    ASSERT_TRUE(WaitSlots());
    EXPECT_FALSE(Marked("b.jpg"));
    EXPECT_FALSE(Marked("c.jpg"));
    EXPECT_EQ(m_loader.DisplayImageOf(Item("d.jpg"))->Width(), 32);
    EXPECT_EQ(m_loader.DisplayImageOf(Item("c.jpg"))->Height(), 24);
    EXPECT_EQ(m_loader.NextSlot().targetHeight, 24);

    // Rotated by a quarter turn, unconstrained: the image at its own size, turned.
    ViewRequest turned {Item("a.jpg"), 0, 0, 1, true, false};
    m_loader.RequestView(turned, false);
    ASSERT_TRUE(WaitSlots());
    EXPECT_EQ(m_loader.DisplayImageOf(Item("a.jpg"))->Width(), 48);
    EXPECT_EQ(m_loader.DisplayImageOf(Item("a.jpg"))->Height(), 64);
    EXPECT_EQ(m_loader.PreviousSlot(), (ViewRequest {Item("d.jpg"), 0, 0, 1, true, false}));
}

TEST_F(RequestViewTest, MoveAfterSetOptionsDecodesTheNewNeighbour)
{
    // Set options stops the display worker and leaves the slots; a step to
    // the ready neighbour then must still get the next image decoded.
    MakeFolder(4);
    m_loader.RequestView(Fit(Item("a.jpg")), false);
    ASSERT_TRUE(WaitSlots());
    m_loader.SetOptions(true, false, false);
    m_loader.RequestView(Fit(Item("b.jpg")), false);
    EXPECT_EQ(Window(), "abc");
    ASSERT_TRUE(WaitSlots());
    EXPECT_TRUE(Ready("c.jpg"));
}

TEST_F(RequestViewTest, ExactKeepsNeighboursAndDecodesAgain)
{
    MakeFolder(4);
    m_loader.RequestView(Fit(Item("b.jpg")), false);
    ASSERT_TRUE(WaitSlots());
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        Mark(name);
    // Exact on a ready neighbour: no move; the old neighbours stay and decode again.
    m_loader.RequestView(Fit(Item("c.jpg")), true);
    EXPECT_EQ(Window(), "acc");
    EXPECT_FALSE(Ready("b.jpg"));  // in no slot any more
    ASSERT_TRUE(WaitSlots());
    EXPECT_TRUE(Ready("a.jpg"));
    EXPECT_TRUE(Ready("c.jpg"));
    EXPECT_FALSE(Marked("a.jpg"));
    EXPECT_FALSE(Marked("c.jpg"));
}

TEST_F(RequestViewTest, OneItemHasNoNeighbours)
{
    MakeFolder(1);
    m_loader.RequestView(Fit(Item("a.jpg")), false);
    EXPECT_EQ(Window(), "-a-");
    ASSERT_TRUE(WaitSlots());
    Mark("a.jpg");
    // Asked again, it decodes again.
    m_loader.RequestView(Fit(Item("a.jpg")), false);
    ASSERT_TRUE(WaitSlots());
    EXPECT_TRUE(Ready("a.jpg"));
    EXPECT_FALSE(Marked("a.jpg"));
}

TEST_F(RequestViewTest, TwoItemsShareTheNeighbourSlots)
{
    MakeFolder(2);
    m_loader.RequestView(Fit(Item("a.jpg")), false);
    EXPECT_EQ(Window(), "bab");
    ASSERT_TRUE(WaitSlots());
    Mark("a.jpg");
    Mark("b.jpg");
    // Moving to b drops the previous slot, which is b itself: its image is
    // still wanted and stays as it was decoded.
    m_loader.RequestView(Fit(Item("b.jpg")), false);
    EXPECT_EQ(Window(), "aba");
    ASSERT_TRUE(WaitSlots());
    m_loader.RequestView(Fit(Item("a.jpg")), false);
    EXPECT_EQ(Window(), "bab");
    ASSERT_TRUE(WaitSlots());
    EXPECT_TRUE(Marked("a.jpg"));
    EXPECT_TRUE(Marked("b.jpg"));
}

TEST_F(RequestViewTest, UndecodableItemIsDoneWithoutImage)
{
    MakeFolder(2);
    WriteBytes("c.jpg", "not a JPEG at all");
    WriteBytes("d.jpg", "");
    ASSERT_TRUE(Open());
    m_loader.RequestView(Fit(Item("c.jpg")), false);
    EXPECT_EQ(Window(), "bcd");
    ASSERT_TRUE(WaitSlots());
    EXPECT_FALSE(Ready("c.jpg"));
    EXPECT_FALSE(Ready("d.jpg"));
    EXPECT_TRUE(Ready("b.jpg"));
    EXPECT_FALSE(m_loader.IsBeingDecoded(Item("c.jpg")));
}

TEST_F(RequestViewTest, RequestStormSettlesOnTheLastRequest)
{
    MakeFolder(6, 320, 240);
    const std::vector<ImageItem*> items = Items();
    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i) {
        ImageItem* item = items[random() % items.size()];
        const int size = 16 + int(random() % 4) * 16;
        m_loader.RequestView(Fit(item, size, size), random() % 4 == 0);
        m_loader.DisplayImageOf(item);
        m_loader.IsBeingDecoded(item);
    }
    m_loader.RequestView(Fit(Item("f.jpg"), 40, 40), false);
    EXPECT_EQ(Window(), "efa");
    ASSERT_TRUE(WaitSlots());
    for (const char* name : {"e.jpg", "f.jpg", "a.jpg"}) {
        CImageBitmap* image = m_loader.DisplayImageOf(Item(name));
        ASSERT_NE(image, nullptr) << name;
        EXPECT_EQ(image->Width(), 40);
        EXPECT_EQ(image->Height(), 30);
    }
    // Items outside the window hold no decoded image.
    for (const char* name : {"b.jpg", "c.jpg", "d.jpg"})
        EXPECT_FALSE(Ready(name)) << name;
}

TEST_F(RequestViewTest, StoppingWhileBusy)
{
    MakeFolder(4, 800, 600);
    // Options, a new folder and destruction each stop a worker in mid-decode.
    for (int round = 0; round < 5; ++round) {
        m_loader.RequestView(Fit(Item("a.jpg"), 0, 0), false);
        m_loader.StartThumbnails(kSmallThumbnailSize);
        m_loader.SetOptions(round % 2 == 0, true, false);
        EXPECT_FALSE(m_loader.IsBeingDecoded(Item("a.jpg")));
        m_loader.RequestView(Fit(Item("b.jpg"), 0, 0), true);
        ASSERT_TRUE(Open());
    }
    for (int round = 0; round < 5; ++round) {
        auto loader = std::make_unique<CThumbLoader>();
        ASSERT_TRUE(loader->OpenFolder(Pidl(Dir())));
        loader->StartThumbnails(kBigThumbnailSize);
        loader->RequestView(Fit(loader->FirstItem(), 0, 0), false);
        loader.reset();
    }
    // A decode cut short leaves no half image marked ready.
    m_loader.RequestView(Fit(Item("c.jpg"), 0, 0), false);
    m_loader.SetOptions(false, false, false);
    for (ImageItem* item : Items())
        EXPECT_EQ(m_loader.DisplayImageOf(item) != nullptr, item->displayDone.IsSet()) << item->name;
}

// The neighbours wait for the thumbnails, and are let go when the run
// settles, is paused, or the user steps; the image asked for never waits. A
// run paused and resumed at once (a window starting with its panel hidden)
// still holds them.
TEST_F(RequestViewTest, NeighboursWaitForTheThumbnails)
{
    enum class LetGo { Settle, Pause, Step, SettleAfterResume };
    for (const LetGo letGo : {LetGo::Settle, LetGo::Pause, LetGo::Step, LetGo::SettleAfterResume}) {
        SCOPED_TRACE(int(letGo));
        MakeFolder(6, 320, 240);
        // The pool is held at its first item until the test lets it go.
        CEvent handOut;
        m_loader.SetThumbnailTrace([&handOut, first = true](const ImageItem*) mutable {
            if (std::exchange(first, false))
                handOut.Wait();
        });
        m_loader.StartThumbnails(kSmallThumbnailSize);
        if (letGo == LetGo::SettleAfterResume) {
            m_loader.PauseThumbnails();
            m_loader.ResumeThumbnails();
        }
        m_loader.RequestView(Fit(Item("a.jpg")), false);
        ASSERT_TRUE(WaitDone(m_loader.CurrentSlot()));
        if (letGo == LetGo::Settle || letGo == LetGo::SettleAfterResume) {
            EXPECT_FALSE(Item("b.jpg")->displayDone.WaitFor(std::chrono::milliseconds(300)));
            handOut.Set();
        }
        if (letGo == LetGo::Pause)
            m_loader.PauseThumbnails();
        if (letGo == LetGo::Step)
            m_loader.RequestView(Fit(Item("b.jpg")), false);
        EXPECT_TRUE(WaitSlots());
        handOut.Set();
        m_loader.ResumeThumbnails();
        EXPECT_TRUE(WaitThumbnails());
        m_loader.SetThumbnailTrace(nullptr);
    }
}

}  // namespace
