#include "decode/sync_event.h"

#include <gtest/gtest.h>

#include <thread>

TEST(SyncEvent, ManualResetStaysSetUntilReset)
{
    CEvent e(CEvent::Reset::Manual);
    EXPECT_FALSE(e.IsSet());
    e.Set();
    EXPECT_TRUE(e.IsSet());
    EXPECT_TRUE(e.IsSet());
    e.Reset();
    EXPECT_FALSE(e.IsSet());
}

TEST(SyncEvent, AutomaticResetIsConsumedByOneTest)
{
    CEvent e(CEvent::Reset::Automatic);
    e.Set();
    EXPECT_TRUE(e.IsSet());
    EXPECT_FALSE(e.IsSet());
}

TEST(SyncEvent, WaitAnyWakesOnEitherEventFromAnotherThread)
{
    for (int which = 0; which < 2; ++which) {
        CEvent a(CEvent::Reset::Automatic), b(CEvent::Reset::Manual);
        std::thread t([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            (which == 0 ? a : b).Set();
        });
        EXPECT_EQ(CEvent::WaitAny(a, b), which);
        t.join();
    }
}

TEST(SyncEvent, WaitAnyPrefersFirstWhenBothSet)
{
    CEvent a, b;
    a.Set();
    b.Set();
    EXPECT_EQ(CEvent::WaitAny(a, b), 0);
}

TEST(SyncEvent, WaitForTimesOut)
{
    CEvent e;
    EXPECT_FALSE(e.WaitFor(std::chrono::milliseconds(1)));
}
