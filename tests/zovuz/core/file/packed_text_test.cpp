// Packed text: every length decodes back to its bytes in its own memory, with 7-bit units only,
// and the checked decoder refuses a damaged text before it writes anything.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "zovuz/core/file/packed_text.h"

namespace {

typedef std::vector<unsigned char> Bytes;

Bytes Random(size_t Size, unsigned Seed)
{
    std::mt19937 random(Seed);
    Bytes data(Size);
    for (unsigned char &b : data) b = (unsigned char)random();
    return data;
}

Bytes Encode(const Bytes &Data)
{
    Bytes text(PackedTextSize(Data.size()));
    EncodePackedText(Data.data(), Data.size(), text.data());
    return text;
}

}  // namespace

TEST(PackedText, EveryLengthDecodesInItsOwnMemory)
{
    std::vector<size_t> sizes;
    for (size_t size = 0; size <= 16; size++) sizes.push_back(size);
    sizes.push_back(1000);
    sizes.push_back(70001);
    for (size_t size : sizes)
        for (bool ones : {false, true}) {  // all bits set: no unit of the text may be dropped
            SCOPED_TRACE(size);
            const Bytes data = ones ? Bytes(size, 0xFF) : Random(size, (unsigned)size);
            const Bytes text = Encode(data);
            for (unsigned char unit : text) ASSERT_LT(unit, 0x80);

            Bytes trusted = text, checked = text;
            ASSERT_EQ(DecodePackedText(trusted.data(), trusted.data()), (int64_t)size);
            EXPECT_TRUE(std::equal(data.begin(), data.end(), trusted.begin()));
            ASSERT_EQ(DecodePackedTextChecked(checked.data(), checked.size(), nullptr, 0), (int64_t)size);
            ASSERT_EQ(DecodePackedTextChecked(checked.data(), checked.size(), checked.data(), checked.size()),
                      (int64_t)size);
            EXPECT_TRUE(std::equal(data.begin(), data.end(), checked.begin()));

            // Decoded once: the second call finds the bytes in place and does not decode them again.
            Bytes once = text;
            PackedTextData record = {once.data(), once.size(), -1};
            ASSERT_EQ(DecodePackedTextOnce(&record), (int64_t)size);
            ASSERT_EQ(DecodePackedTextOnce(&record), (int64_t)size);
            EXPECT_TRUE(std::equal(data.begin(), data.end(), once.begin()));
        }
}

TEST(PackedText, CheckedDecodeRefusesDamageBeforeWriting)
{
    const Bytes good = Encode(Random(20, 7));  // 20 bytes: 23 data units, 4 spare bits in the last
    auto with = [&](size_t At, unsigned char Value) {
        Bytes text = good;
        text[At] = Value;
        return text;
    };
    const struct
    {
        const char *what;
        Bytes text;
        size_t destSize;
    } cases[] = {
        {"one unit short", Bytes(good.begin(), good.end() - 1), 64},
        {"no whole header", Bytes(good.begin(), good.begin() + 4), 64},
        {"top bit in the header", with(0, (unsigned char)(good[0] | 0x80)), 64},
        {"top bit in the data", with(10, (unsigned char)(good[10] | 0x80)), 64},
        {"spare bits of the last unit set", with(good.size() - 1, (unsigned char)(good.back() | 0x40)), 64},
        {"a length beyond 32 bits", with(4, 0x10), 1 << 20},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes text = c.text;
        Bytes dest(c.destSize, 0xCD);
        EXPECT_EQ(DecodePackedTextChecked(text.data(), text.size(), dest.data(), dest.size()), -1);
        EXPECT_EQ(dest, Bytes(c.destSize, 0xCD));
        PackedTextData record = {text.data(), text.size(), -1};
        EXPECT_EQ(DecodePackedTextOnce(&record), -1);
        EXPECT_EQ(text, c.text);
    }
    Bytes text = good, dest(19, 0xCD);
    EXPECT_EQ(DecodePackedTextChecked(text.data(), text.size(), dest.data(), dest.size()), -1);
    EXPECT_EQ(dest, Bytes(19, 0xCD));
}
