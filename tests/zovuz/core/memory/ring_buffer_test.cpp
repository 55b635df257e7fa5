// The growable byte FIFO: growth rule, wrapping, peeking, and that nothing queued is ever
// lost when growth fails.
#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

#include "tests/support/test_files.h"
#include "zovuz/core/memory/ring_buffer.h"
#include "zovuz/core/memory/ring_buffer_internal.h"

namespace {

std::vector<unsigned char> Counting(int n, int start = 0)
{
    std::vector<unsigned char> v((size_t)n);
    for (int i = 0; i < n; ++i) v[(size_t)i] = (unsigned char)(start + i);
    return v;
}

struct Ring
{
    RingBuffer r;
    Ring() { RingBufferInitialize(&r); }
    ~Ring() { RingBufferTerminate(&r); }
};

TEST(RingBuffer, GrowthFollowsTheRuleAndAnExactFitDoesNotGrow)
{
    Ring ring;
    auto a = Counting(100);
    ASSERT_EQ(0, RingBufferDataAdd(&ring.r, a.data(), 100));
    EXPECT_EQ(1100, ring.r.BufferSize);  // 0 * 3 / 2 + 100 + 1000
    EXPECT_EQ(100, ring.r.DataLength);

    // Filling the free room exactly keeps the buffer; the write position sits at the end.
    auto b = Counting(1000, 100);
    ASSERT_EQ(0, RingBufferDataAdd(&ring.r, b.data(), 1000));
    EXPECT_EQ(1100, ring.r.BufferSize);
    EXPECT_EQ(1100, ring.r.WritePosition);

    // One more byte grows to 1100 * 3 / 2 + 1 + 1000.
    unsigned char one = 0xEE;
    ASSERT_EQ(0, RingBufferDataAdd(&ring.r, &one, 1));
    EXPECT_EQ(1650 + 1 + 1000, ring.r.BufferSize);
    std::vector<unsigned char> out(1101);
    ASSERT_EQ(0, RingBufferDataGet(&ring.r, out.data(), 1101, 0));
    for (int i = 0; i < 1100; ++i) ASSERT_EQ((unsigned char)i, out[(size_t)i]) << i;
    EXPECT_EQ(0xEE, out[1100]);
    EXPECT_EQ(0, ring.r.DataLength);
}

TEST(RingBuffer, FullBufferFoldsItsWritePositionOnTheNextOperation)
{
    Ring ring;
    auto a = Counting(1100);
    ASSERT_EQ(0, RingBufferDataAdd(&ring.r, a.data(), 100));
    ASSERT_EQ(0, RingBufferDataAdd(&ring.r, a.data() + 100, 1000));
    std::vector<unsigned char> out(50);
    ASSERT_EQ(0, RingBufferDataGet(&ring.r, out.data(), 50, 0));
    EXPECT_EQ(0, ring.r.WritePosition);  // folded
    // Now there is room for 50 at the front: it wraps without growing.
    auto c = Counting(50, 200);
    ASSERT_EQ(0, RingBufferDataAdd(&ring.r, c.data(), 50));
    EXPECT_EQ(1100, ring.r.BufferSize);
    EXPECT_EQ(50, ring.r.WritePosition);
}

TEST(RingBuffer, WrappedDataComesBackInOrderAlsoAfterGrowth)
{
    Ring ring;
    auto a = Counting(800);
    ASSERT_EQ(0, RingBufferDataAdd(&ring.r, a.data(), 800));  // buffer 1800
    std::vector<unsigned char> sink(700);
    ASSERT_EQ(0, RingBufferDataGet(&ring.r, sink.data(), 700, 0));
    auto b = Counting(1500, 800);  // 100 stored + 1500 = 1600 fits in 1800, wraps at the end
    ASSERT_EQ(0, RingBufferDataAdd(&ring.r, b.data(), 1500));
    ASSERT_EQ(1800, ring.r.BufferSize);
    ASSERT_LT(ring.r.WritePosition, ring.r.ReadPosition);  // really wrapped

    // Peek then consume: same bytes, peek changes nothing.
    std::vector<unsigned char> p(1600), q(1600);
    ASSERT_EQ(0, RingBufferDataGet(&ring.r, p.data(), 1600, 1));
    EXPECT_EQ(1600, ring.r.DataLength);
    EXPECT_EQ(700, ring.r.ReadPosition);
    ASSERT_EQ(0, RingBufferDataGet(&ring.r, q.data(), 1, 1));
    EXPECT_EQ(p[0], q[0]);

    // Growth while wrapped unwraps the bytes to the start of the new buffer.
    auto c = Counting(500, 2300);
    ASSERT_EQ(0, RingBufferDataAdd(&ring.r, c.data(), 500));
    EXPECT_EQ(1600 * 3 / 2 + 500 + 1000, ring.r.BufferSize);
    EXPECT_EQ(0, ring.r.ReadPosition);
    std::vector<unsigned char> all(2100);
    ASSERT_EQ(0, RingBufferDataGet(&ring.r, all.data(), 2100, 0));
    for (int i = 0; i < 2100; ++i) ASSERT_EQ((unsigned char)(700 + i), all[(size_t)i]) << i;
    for (int i = 0; i < 1600; ++i) ASSERT_EQ(p[(size_t)i], all[(size_t)i]) << i;
}

TEST(RingBuffer, TakingMoreThanStoredChangesNothing)
{
    Ring ring;
    unsigned char x[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    unsigned char out[9] = {0};
    EXPECT_EQ(-1, RingBufferDataGet(&ring.r, out, 1, 0));  // empty, never allocated
    ASSERT_EQ(0, RingBufferDataAdd(&ring.r, x, 8));
    RingBuffer before = ring.r;
    EXPECT_EQ(-1, RingBufferDataGet(&ring.r, out, 9, 0));
    EXPECT_EQ(-1, RingBufferDataGet(&ring.r, out, 9, 1));
    EXPECT_EQ(0, memcmp(&before, &ring.r, sizeof(before)));
    for (unsigned char b : out) EXPECT_EQ(0, b);
}

TEST(RingBuffer, FailedGrowthKeepsEveryQueuedByte)
{
    Ring ring;
    auto a = Counting(3000);
    ASSERT_EQ(0, RingBufferDataAdd(&ring.r, a.data(), 3000));
    std::vector<unsigned char> sink(2500);
    ASSERT_EQ(0, RingBufferDataGet(&ring.r, sink.data(), 2500, 0));
    auto b = Counting(3000, 3000);
    ASSERT_EQ(0, RingBufferDataAdd(&ring.r, b.data(), 3000));  // wraps inside 4000
    ASSERT_EQ(4000, ring.r.BufferSize);
    RingBuffer before = ring.r;

    // An allocation the process cannot give (about 2 GB), and one whose size does not fit 32 bits.
    EXPECT_EQ(-1, RingBufferReSize(&ring.r, 0x7F000000));
    EXPECT_EQ(0, memcmp(&before, &ring.r, sizeof(before)));
    EXPECT_EQ(-1, RingBufferReSize(&ring.r, 0x7FFFFFFF));
    EXPECT_EQ(0, memcmp(&before, &ring.r, sizeof(before)));

    // A failed append says which size it tried and how long the append was; the bytes stay.
    unsigned char z = 0x5A;
    EXPECT_EQ(-1, RingBufferDataAdd(&ring.r, &z, 0x7F000000));  // fails before any copy
    EXPECT_EQ(0, memcmp(&before, &ring.r, sizeof(before)));
    std::wstring log = ReadLogText();
    EXPECT_NE(std::wstring::npos,
              log.find(L"リングバッファの再確保に失敗しました(確保しようとしたサイズ 2130712682 byte)"));
    EXPECT_NE(std::wstring::npos, log.find(L"リングバッファへのデータの追加に失敗しました(追加する長さ 2130706432 byte)"));

    // The ring still works and holds the same 3500 bytes in order.
    ASSERT_EQ(0, RingBufferDataAdd(&ring.r, &z, 1));
    std::vector<unsigned char> out(3501);
    ASSERT_EQ(0, RingBufferDataGet(&ring.r, out.data(), 3501, 0));
    for (int i = 0; i < 3500; ++i) ASSERT_EQ((unsigned char)(2500 + i), out[(size_t)i]) << i;
    EXPECT_EQ(0x5A, out[3500]);
}

TEST(RingBuffer, RefusesBadArguments)
{
    Ring ring;
    unsigned char x[4] = {0};
    EXPECT_EQ(-1, RingBufferInitialize(nullptr));
    EXPECT_EQ(-1, RingBufferTerminate(nullptr));
    EXPECT_EQ(-1, RingBufferDataAdd(nullptr, x, 4));
    EXPECT_EQ(-1, RingBufferDataAdd(&ring.r, nullptr, 4));
    EXPECT_EQ(-1, RingBufferDataAdd(&ring.r, x, -1));
    EXPECT_EQ(-1, RingBufferDataGet(&ring.r, x, -1, 0));
    EXPECT_EQ(-1, RingBufferReSize(&ring.r, -5));
    EXPECT_EQ(0, RingBufferDataAdd(&ring.r, x, 0));
    EXPECT_EQ(nullptr, ring.r.DataBuffer);
}

// Random appends, peeks and takes against a plain deque: catches any slip in the wrap
// arithmetic, the folding or the unwrapping on growth.
TEST(RingBuffer, MatchesAQueueOverRandomTraffic)
{
    std::mt19937 rng(20261207);
    for (int round = 0; round < 20; ++round)
    {
        Ring ring;
        std::deque<unsigned char> model;
        unsigned char next = 0;
        std::vector<unsigned char> buf;
        for (int op = 0; op < 2000; ++op)
        {
            int size = (int)(rng() % 1500);
            if (rng() % 2 == 0)
            {
                buf.resize((size_t)size);
                for (auto& b : buf) { b = next++; model.push_back(b); }
                ASSERT_EQ(0, RingBufferDataAdd(&ring.r, buf.data(), size));
            }
            else
            {
                int peek = (int)(rng() % 3 == 0);
                buf.assign((size_t)size, 0);
                int rc = RingBufferDataGet(&ring.r, buf.data(), size, peek);
                if ((size_t)size > model.size()) { ASSERT_EQ(-1, rc); continue; }
                ASSERT_EQ(0, rc);
                for (int i = 0; i < size; ++i) ASSERT_EQ(model[(size_t)i], buf[(size_t)i]);
                if (!peek) model.erase(model.begin(), model.begin() + size);
            }
            ASSERT_EQ((int)model.size(), ring.r.DataLength);
            ASSERT_LE(ring.r.DataLength, ring.r.BufferSize);
        }
    }
}

}  // namespace
