// The transfer on a thread of its own: a question answered on the owner's
// thread, a cancel from there while the worker waits, and the worker
// destroyed with a question unanswered.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <thread>

#include "decode/sync_event.h"
#include "files/transfer_worker.h"
#include "tests/core/browse/browse_test_util.h"

using browsetest::ReadAll;

TEST(TransferWorker, QuestionsAndCancelCrossFromTheOwnerThread)
{
    enum class Owner { Answers, CancelsWhileAsked, LeavesWhileAsked };
    for (const Owner owner : {Owner::Answers, Owner::CancelsWhileAsked, Owner::LeavesWhileAsked}) {
        SCOPED_TRACE(int(owner));
        browsetest::TempDir dir;
        const std::string src = dir.path() + "/src/", dst = dir.path() + "/dst/";
        ASSERT_TRUE(::mkdir(src.c_str(), 0755) == 0 && ::mkdir(dst.c_str(), 0755) == 0);
        for (const char* name : {"1.jpg", "2.jpg", "3.jpg"})
            ASSERT_TRUE(browsetest::MakeFile(src + name, name));
        ASSERT_TRUE(browsetest::MakeFile(dst + "2.jpg", "old"));  // asked about, answered Keep both

        CEvent news(CEvent::Reset::Automatic);
        std::thread::id workerThread, askThread;
        TransferOutcome outcome = TransferOutcome::Cancelled;
        {
            CTransferWorker worker(TransferKind::Copy, {src + "1.jpg", src + "2.jpg", src + "3.jpg"}, dst,
                                   [&news] { news.Set(); });
            worker.Start([&] { workerThread = std::this_thread::get_id(); });
            const auto ask = [&](const TransferCollision&) {
                askThread = std::this_thread::get_id();
                if (owner == Owner::CancelsWhileAsked)
                    worker.Cancel();
                return CollisionChoice {CollisionAnswer::KeepBoth, false};
            };
            bool finished = false;
            while (!finished && news.WaitFor(std::chrono::seconds(60)) && owner != Owner::LeavesWhileAsked) {
                (void)worker.Progress();
                finished = worker.Serve(ask);
            }
            if (finished) {
                outcome = worker.Result().outcome;
                EXPECT_EQ(askThread, std::this_thread::get_id());
            }
        }
        EXPECT_NE(workerThread, std::this_thread::get_id());
        EXPECT_EQ(outcome, owner == Owner::Answers ? TransferOutcome::Done : TransferOutcome::Cancelled);
        EXPECT_EQ(ReadAll(dst + "1.jpg"), "1.jpg");
        EXPECT_EQ(ReadAll(dst + "2.jpg"), "old");
        EXPECT_EQ(browsetest::Exists(dst + "3.jpg"), owner == Owner::Answers);
        if (owner == Owner::Answers) {
            EXPECT_EQ(ReadAll(dst + "2 (2).jpg"), "2.jpg");
        }
    }
}
