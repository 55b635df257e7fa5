#include "tests/zovuz/d3d11/draw_fixture.h"

#include "zovuz/graphics/zovuz_graphics.h"
#include "zovuz/graphics/graph_internal.h"

std::vector<uint32_t> ReadDrawScreen(int X, int Y, int Width, int Height)
{
    std::vector<uint32_t> out;
    const ImageRect rect = {X, Y, X + Width, Y + Height};
    BASEIMAGE image;
    if (LockDrawScreenBuffer(&rect, &image, -1, 0, 0, 1, 0) < 0) return out;
    out.reserve((size_t)Width * Height);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const uint32_t value = ((const uint32_t *)((const uint8_t *)image.Pixels + (size_t)y * image.Pitch))[x];
            int r, g, b;
            GetColorDataRGBA(&image.ColorData, value, &r, &g, &b, nullptr);
            out.push_back((uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b);
        }
    UnlockDrawScreenBuffer();
    return out;
}
