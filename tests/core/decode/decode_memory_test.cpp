// The decode-memory budget: the estimate of a decode's working memory held
// against what the library allocates, and the budget's waiting rules.

#include <gtest/gtest.h>

#include <malloc.h>

#include <thread>

#include "decode/decode_limits.h"
#include "decode/decode_memory.h"
#include "decode/jpeg_source.h"
#include "decode/sync_event.h"
#include "decode_test_util.h"

namespace {

struct EstimateCase {
    const char* name;
    bool progressive;
    int components;  // 1: gray
    bool subsample;
    bool vertically;
    int scale;
};

class DecodeMemoryEstimate : public ::testing::TestWithParam<EstimateCase> {};

int64_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return int64_t(info.uordblks + info.hblkhd);
}

// The library's buffers must fit the estimate (a decode that reserves less
// than it takes lets the budget overrun), and the estimate must not be far
// above them (a budget then runs fewer decodes than it could).
TEST_P(DecodeMemoryEstimate, CoversWhatTheLibraryAllocates)
{
    const EstimateCase c = GetParam();
    jpegwriter::EncodeOptions options;
    options.progressive = c.progressive;
    options.subsample = c.subsample;
    options.subsampleVertically = c.vertically;
    const std::vector<uint8_t> bytes
        = jpegwriter::Encode(decodetest::Pattern(1536, 1024, c.components), options);
    jpeg_decompress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    ASSERT_EQ(jpeg_read_header(&info, TRUE), JPEG_HEADER_OK);
    info.scale_num = 1;
    info.scale_denom = unsigned(c.scale);
    const int64_t before = HeapInUse();
    ASSERT_TRUE(jpeg_start_decompress(&info));
    std::vector<uint8_t> row(size_t(info.output_width) * info.output_components);
    JSAMPROW rows[1] = {row.data()};
    ASSERT_EQ(jpeg_read_scanlines(&info, rows, 1), 1u);
    const int64_t library = HeapInUse() - before;
    const int64_t estimate = DecodeMemoryFor(info, false, false, c.scale, 1) - 1;
    jpeg_destroy_decompress(&info);
    if (library <= 0)
        GTEST_SKIP() << "the allocator does not tell what it holds";
    EXPECT_LE(library, estimate);
    EXPECT_LE(estimate, library + library / 4 + (int64_t(256) << 10));
}

INSTANTIATE_TEST_SUITE_P(Files, DecodeMemoryEstimate,
                         ::testing::Values(EstimateCase {"baseline420", false, 3, true, true, 1},
                                           EstimateCase {"baseline420eighth", false, 3, true, true, 8},
                                           EstimateCase {"baseline444half", false, 3, false, false, 2},
                                           EstimateCase {"baselineGray", false, 1, false, false, 1},
                                           EstimateCase {"progressive420", true, 3, true, true, 1},
                                           EstimateCase {"progressive422eighth", true, 3, true, false, 8},
                                           EstimateCase {"progressive444quarter", true, 3, false, false, 4},
                                           EstimateCase {"progressiveGray", true, 1, false, false, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// A thumbnail of a progressive file keeps one coefficient per block of the
// components it reads by their DC alone: everything at 1/8 scale but the
// chroma of a 4:2:0 file, which the library scales through a 2 x 2 transform.
TEST(DecodeMemory, ReducedProgressiveDecodeKeepsTheDcAlone)
{
    struct Case {
        bool subsample, vertically;
        int components;
        int64_t wholeBlocksPer64;  // of every 64 blocks, those kept whole
    };
    const decodetest::TempDir dir;
    for (const Case& c : {Case {false, false, 3, 0}, Case {true, false, 3, 0}, Case {false, false, 1, 0},
                          Case {true, true, 3, 16}}) {
        jpegwriter::EncodeOptions options;
        options.progressive = true;
        options.subsample = c.subsample;
        options.subsampleVertically = c.vertically;
        const std::string path
            = dir.Write("p.jpg", jpegwriter::Encode(decodetest::Pattern(2048, 1536, c.components), options));
        CJpegSource source;
        ASSERT_TRUE(source.OpenFile(path, nullptr, nullptr));
        ASSERT_TRUE(source.ReadHeader());
        const int64_t before = HeapInUse();
        ASSERT_TRUE(source.StartReducedDecompress(JCS_RGB, 8));
        const int64_t taken = HeapInUse() - before;
        const int64_t blocks = (2048 / 8) * (1536 / 8) * (c.components == 1 ? 1 : c.subsample ? 2 : 3);
        const int64_t whole = blocks * c.wholeBlocksPer64 / 64 * int64_t(sizeof(JBLOCK));
        SCOPED_TRACE(c.components * 10 + c.subsample + c.vertically);
        if (before > 0) {
            EXPECT_LE(taken, whole + blocks * 2 + (int64_t(1) << 20));
        }
    }
}

void AwaitWaiters(const CDecodeMemory& memory, int count)
{
    while (memory.Waiting() != count)
        std::this_thread::yield();
}

// Alone past the budget, borrowing beyond it, first come first served, and a
// cancelled waiter leaving the queue without holding up those behind it.
TEST(DecodeMemory, WaitsInTurnAndWakesOnCancel)
{
    CDecodeMemory memory(100);
    ASSERT_TRUE(memory.Reserve(150, nullptr));  // alone, so it runs
    memory.Borrow(30);                          // the image shown never waits
    EXPECT_EQ(memory.Reserved(), 180);

    CEvent cancel;
    bool bigGot = true, smallGot = false;
    std::thread big([&] { bigGot = memory.Reserve(90, &cancel); });
    AwaitWaiters(memory, 1);
    std::thread small([&] { smallGot = memory.Reserve(10, nullptr); });
    AwaitWaiters(memory, 2);
    memory.Release(150);
    // 30 + 10 would fit, but the small one does not overtake the large one.
    EXPECT_EQ(memory.Waiting(), 2);
    cancel.Set();
    big.join();
    small.join();
    EXPECT_FALSE(bigGot);
    EXPECT_TRUE(smallGot);
    EXPECT_EQ(memory.Reserved(), 40);

    std::thread last([&] { memory.Reserve(100, nullptr); });
    AwaitWaiters(memory, 1);
    memory.Release(40);
    last.join();
    EXPECT_EQ(memory.Reserved(), 100);
}

struct SizeCase {
    const char* text;
    int64_t bytes;
};

TEST(DecodeMemory, ParsesSizes)
{
    const SizeCase cases[] = {{"1000", 1000},
                              {"96M", int64_t(96) << 20},
                              {"2g", int64_t(2) << 30},
                              {"64K", 65536},
                              {"0", 0},
                              {"-5M", 0},
                              {"12MB", 0},
                              {"lots", 0},
                              {"", 0}};
    for (const SizeCase& c : cases)
        EXPECT_EQ(CDecodeMemory::ParseSize(c.text), c.bytes) << c.text;
}

}  // namespace
