// Test images built in code: formats by masks, pixel rows from 32-bit values, and read-back.
#pragma once

#include <stdint.h>
#include <string.h>

#include <vector>

#include "zovuz/graphics/zovuz_graphics.h"

inline COLORDATA MaskFormat(int Depth, uint32_t R, uint32_t G, uint32_t B, uint32_t A)
{
    COLORDATA c;
    SetColorData(&c, Depth, R, G, B, A, 0, 0, 0);
    return c;
}

inline COLORDATA ChannelFormat(int Count, int Bits, int Float)
{
    COLORDATA c;
    SetColorData(&c, 0, 0, 0, 0, 0, Count, Bits, Float);
    return c;
}

// The layouts the tests use by name.
inline COLORDATA Argb() { return MaskFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u); }
inline COLORDATA Abgr() { return MaskFormat(32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000u); }
inline COLORDATA Xrgb() { return MaskFormat(32, 0xFF0000, 0xFF00, 0xFF, 0); }
inline COLORDATA Xbgr() { return MaskFormat(32, 0xFF, 0xFF00, 0xFF0000, 0); }
inline COLORDATA Rgb24() { return MaskFormat(24, 0xFF0000, 0xFF00, 0xFF, 0); }
inline COLORDATA R565() { return MaskFormat(16, 0xF800, 0x07E0, 0x001F, 0); }
inline COLORDATA X555() { return MaskFormat(16, 0x7C00, 0x03E0, 0x001F, 0); }
inline COLORDATA A1555() { return MaskFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000); }
inline COLORDATA A5551() { return MaskFormat(16, 0xF800, 0x07C0, 0x003E, 0x0001); }
inline COLORDATA Pal8()
{
    COLORDATA c;
    CreatePalette8ColorData(&c);
    return c;
}

inline void SetEntry(COLORDATA &c, int Index, uint32_t Argb)
{
    memcpy(&c.Palette[Index], &Argb, 4);
}

// Pixels of one format, rows of Width pixels with a pitch padded by 4 bytes.
struct PixelRows
{
    int Bytes;
    int Width, Height, Pitch;
    std::vector<uint8_t> Data;

    PixelRows(const COLORDATA &c, int W, int H, uint8_t Fill = 0)
        : Bytes(c.PixelBytes), Width(W), Height(H), Pitch(W * c.PixelBytes + 4),
          Data((size_t)Pitch * H, Fill)
    {
    }

    uint8_t *At(int X, int Y) { return Data.data() + (size_t)Y * Pitch + (size_t)X * Bytes; }

    void Set(int X, int Y, uint32_t V)
    {
        for (int i = 0; i < Bytes && i < 4; ++i)
            At(X, Y)[i] = (uint8_t)(V >> (8 * i));
    }

    uint32_t Get(int X, int Y)
    {
        uint32_t v = 0;
        for (int i = 0; i < Bytes && i < 4; ++i)
            v |= (uint32_t)At(X, Y)[i] << (8 * i);
        return v;
    }

    // Row 0 from a list of values.
    PixelRows &Row(std::initializer_list<uint32_t> Values, int Y = 0)
    {
        int x = 0;
        for (uint32_t v : Values)
            Set(x++, Y, v);
        return *this;
    }
};

inline BASEIMAGE ImageOver(const COLORDATA &c, PixelRows &Rows)
{
    BASEIMAGE b = {};
    b.ColorData = c;
    b.Width = Rows.Width;
    b.Height = Rows.Height;
    b.Pitch = Rows.Pitch;
    b.Pixels = Rows.Data.data();
    return b;
}
