// The transfer on a thread of its own: the question answered on the owner's
// thread, a cancel from there while the worker waits, and the worker
// destroyed with a question unanswered.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <thread>

#include "decode/sync_event.h"
#include "files/transfer_worker.h"
#include "tests/core/browse/browse_test_util.h"

using browsetest::Exists;
using browsetest::MakeFile;
using browsetest::ReadAll;

TEST(TransferWorker, QuestionsAndCancelCrossFromTheOwnerThread)
{
    enum class Owner { Answers, CancelsWhileAsked, LeavesWhileAsked };
    const struct {
        Owner owner;
        TransferOutcome outcome;
    } cases[] = {
        {Owner::Answers, TransferOutcome::Done},
        {Owner::CancelsWhileAsked, TransferOutcome::Cancelled},
        {Owner::LeavesWhileAsked, TransferOutcome::Cancelled},  // the worker destroyed unanswered
    };
    constexpr std::chrono::seconds kWait {60};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.owner));
        browsetest::TempDir dir;
        const std::string src = dir.path() + "/src/", dst = dir.path() + "/dst/";
        ASSERT_TRUE(::mkdir(src.c_str(), 0755) == 0 && ::mkdir(dst.c_str(), 0755) == 0);
        for (const char* name : {"1.jpg", "2.jpg", "3.jpg"})
            ASSERT_TRUE(MakeFile(src + name, name));
        ASSERT_TRUE(MakeFile(dst + "2.jpg", "old"));

        CEvent news(CEvent::Reset::Automatic);
        std::thread::id workerThread, askThread;
        {
            CTransferWorker worker(TransferKind::Copy, {src + "1.jpg", src + "2.jpg", src + "3.jpg"}, dst,
                                   [&news] { news.Set(); });
            worker.Start([&] { workerThread = std::this_thread::get_id(); });
            const auto ask = [&](const TransferCollision&) {
                askThread = std::this_thread::get_id();
                if (c.owner == Owner::CancelsWhileAsked)
                    worker.Cancel();
                return CollisionChoice {CollisionAnswer::KeepBoth, false};
            };
            if (c.owner == Owner::LeavesWhileAsked) {
                ASSERT_TRUE(news.WaitFor(kWait));  // the question
            } else {
                bool finished = false;
                while (!finished && news.WaitFor(kWait)) {
                    (void)worker.Progress();
                    finished = worker.Serve(ask);
                }
                ASSERT_TRUE(finished);
                EXPECT_EQ(worker.Result().outcome, c.outcome);
                EXPECT_EQ(askThread, std::this_thread::get_id());
            }
        }
        EXPECT_NE(workerThread, std::this_thread::get_id());
        EXPECT_EQ(ReadAll(dst + "1.jpg"), "1.jpg");
        EXPECT_EQ(ReadAll(dst + "2.jpg"), "old");
        const bool done = c.outcome == TransferOutcome::Done;
        EXPECT_EQ(Exists(dst + "3.jpg"), done);
        if (done) {
            EXPECT_EQ(ReadAll(dst + "2 (2).jpg"), "2.jpg");
        }
    }
}
