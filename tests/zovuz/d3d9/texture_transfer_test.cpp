// The pixel arithmetic of texture transfers: the repeated edge beside a sub-image, DXT levels
// copied block row by block row at the locked pitch.
#include <gtest/gtest.h>

#include <string.h>
#include <vector>

#include "zovuz/d3d9/texture/d3d9_texture_transfer.h"

namespace {

const unsigned char Untouched = 0xCD;

TEST(D3D9TextureTransfer, TheEdgeBesideASubImageRepeatsItsLastColumnAndRow)
{
    struct Case
    {
        int BytesPerPixel, AddColumn, AddRow;
        bool ColumnFilled, RowFilled;
    } cases[] = {{4, 1, 1, true, true}, {2, 1, 0, true, false}, {4, 0, 1, false, true}, {1, 1, 1, false, true}};
    for (const Case &c : cases) {
        // A 3 x 3 image written into a 4 x 4 level, each pixel's bytes its own number.
        const int pitch = 4 * c.BytesPerPixel + 8;
        std::vector<unsigned char> level(pitch * 4, Untouched);
        auto at = [&](int x, int y) { return &level[y * pitch + x * c.BytesPerPixel]; };
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x) memset(at(x, y), 1 + y * 3 + x, c.BytesPerPixel);
        D3D9FillTransferEdge(level.data(), pitch, c.BytesPerPixel, 3, 3, c.AddColumn, c.AddRow);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                const bool filled = (x < 3 || c.ColumnFilled) && (y < 3 || c.RowFilled);
                const int expected = filled ? 1 + (y < 3 ? y : 2) * 3 + (x < 3 ? x : 2) : Untouched;
                for (int b = 0; b < c.BytesPerPixel; ++b)
                    ASSERT_EQ(at(x, y)[b], expected) << c.BytesPerPixel << " bytes, pixel " << x << "," << y;
            }
        EXPECT_EQ(level[4 * c.BytesPerPixel], Untouched) << "past the column";
    }
}

TEST(D3D9TextureTransfer, DXTLevelsLandBlockRowByBlockRowAtThePitch)
{
    struct Case
    {
        int BitsPerPixel, Width, Height;
        size_t RowBytes;
        int Rows;
    } cases[] = {{4, 5, 5, 16, 2}, {4, 1, 1, 8, 1}, {8, 8, 3, 32, 1}, {8, 5, 9, 32, 3}};
    for (const Case &c : cases) {
        const int pitch = 64;
        std::vector<unsigned char> packed(c.RowBytes * c.Rows), locked(pitch * (c.Rows + 1), Untouched);
        for (size_t i = 0; i < packed.size(); ++i) packed[i] = (unsigned char)(i * 7 + 1);
        EXPECT_EQ(D3D9CopyDXTLevel(locked.data(), pitch, packed.data(), c.BitsPerPixel, c.Width, c.Height),
                  packed.size());
        for (int row = 0; row <= c.Rows; ++row)
            for (size_t i = 0; i < (size_t)pitch; ++i) {
                const bool written = row < c.Rows && i < c.RowBytes;
                ASSERT_EQ(locked[row * pitch + i], written ? packed[row * c.RowBytes + i] : Untouched)
                    << c.Width << "x" << c.Height << " row " << row << " byte " << i;
            }
    }
}

}  // namespace
