// The cores shared between the display worker and the thumbnail threads.

#include <gtest/gtest.h>

#include <thread>

#include "loader/decode_gate.h"

namespace {

struct GateCase {
    int cores;
    bool displayBusy;
    int admitted;  // thumbnail decodes let in at once
};

class DecodeGateTest : public ::testing::TestWithParam<GateCase> {};

TEST_P(DecodeGateTest, AdmitsOneThumbnailPerCoreLessTheDisplays)
{
    const GateCase c = GetParam();
    CDecodeGate gate(c.cores);
    if (c.displayBusy)
        gate.DisplayBegins();
    int admitted = 0;
    while (admitted < 100 && gate.TryEnterThumbnail())
        ++admitted;
    EXPECT_EQ(admitted, c.admitted);
    // When the display decode ends, its core goes to a thumbnail.
    if (c.displayBusy) {
        gate.DisplayEnds();
        EXPECT_TRUE(gate.TryEnterThumbnail());
        EXPECT_FALSE(gate.TryEnterThumbnail());
    }
}

INSTANTIATE_TEST_SUITE_P(Cores, DecodeGateTest,
                         ::testing::Values(GateCase {1, false, 1}, GateCase {1, true, 0},
                                           GateCase {2, false, 2}, GateCase {2, true, 1},
                                           GateCase {8, true, 7}, GateCase {0, false, 1}));

TEST(DecodeGate, CloseWakesAWaiterAndRefusesUntilOpen)
{
    CDecodeGate gate(1);
    gate.DisplayBegins();  // a single core busy with the display: thumbnails wait
    bool entered = true;
    std::thread waiter([&] { entered = gate.EnterThumbnail(); });
    gate.Close();
    waiter.join();
    EXPECT_FALSE(entered);
    gate.DisplayEnds();
    EXPECT_FALSE(gate.TryEnterThumbnail());
    gate.Open();
    EXPECT_TRUE(gate.TryEnterThumbnail());
}

// An announced display decode holds its core until it is met, a decode cut
// short on the way included, and a single core's waiter gets in once an
// announcement that never came true lapses.
TEST(DecodeGate, AnnouncedDisplayCountsUntilMetOrLapsed)
{
    CDecodeGate gate(2);
    gate.ExpectDisplay(std::chrono::hours(1));
    ASSERT_TRUE(gate.TryEnterThumbnail());
    gate.DisplayBegins();
    gate.DisplayEnds();
    EXPECT_FALSE(gate.TryEnterThumbnail());
    gate.ExpectationMet();
    EXPECT_TRUE(gate.TryEnterThumbnail());

    CDecodeGate single(1);
    single.ExpectDisplay(std::chrono::milliseconds(50));
    EXPECT_FALSE(single.TryEnterThumbnail());
    EXPECT_TRUE(single.EnterThumbnail());
}

TEST(DecodeGate, LeavingLetsAWaiterIn)
{
    CDecodeGate gate(2);
    ASSERT_TRUE(gate.TryEnterThumbnail());
    ASSERT_TRUE(gate.TryEnterThumbnail());
    bool entered = false;
    std::thread waiter([&] { entered = gate.EnterThumbnail(); });
    gate.LeaveThumbnail();
    waiter.join();
    EXPECT_TRUE(entered);
}

}  // namespace
