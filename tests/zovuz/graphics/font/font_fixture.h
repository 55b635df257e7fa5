// Font tests' helpers: the ink of a cache cell, and graphics started on the software renderer or
// on the recording back end (texture caches).
#pragma once

#include <gtest/gtest.h>

#include "tests/zovuz/graphics/font/font_data_builder.h"
#include "tests/zovuz/graphics/hardware_fixture.h"
#include "zovuz/graphics/font/font_internal.h"

// The level of pixel (X, Y) of a cell (0 = empty): the software cache's stored value + 1 (the bit
// for 1-bit caches), or the texture cache's alpha. Edge: the texture's edge layer.
int CellPixel(const FontHandleData &Font, const FontCharData &Cell, int X, int Y, bool Edge = false);
// Ink of a cell: whether any pixel has ink, and whether all ink lies inside its Width x Height.
struct CellInk
{
    int Pixels = 0;
    bool InsideBox = true;
};
CellInk InkOfCell(const FontHandleData &Font, const FontCharData &Cell);

// The font's cell of a code (rasterised when missing), or null.
FontCharData *CellOf(FontHandleData *Font, uint32_t Code);

// Graphics started on the software renderer, a 640 x 480 x 32 screen (font caches in memory).
class SoftwareFonts : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
};

// Graphics started on the recording back end (font caches in textures).
class TextureFonts : public GraphicsStateTest
{
protected:
    void SetUp() override;
    void TearDown() override;
    void Start(int Width, int Height);
};
