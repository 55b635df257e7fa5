// The image tests' expectations on refused files (GoogleTest); the builders in
// image_fixture.cpp stay free of it, so the native fuzz build's seed maker can use them.
#include "tests/zovuz/graphics/image_fixture.h"

#include <gtest/gtest.h>

void ExpectAllRefused(ImageLoaderFunction Loader, const NamedFiles &Files)
{
    const int allocs = GetAllocNum();
    for (const auto &f : Files) {
        LoadedImage img;
        LoadBytes(Loader, f.second, img);
        EXPECT_EQ(img.Result, -1) << f.first;
        EXPECT_EQ(img.Image.Pixels, nullptr) << f.first;
    }
    EXPECT_EQ(GetAllocNum(), allocs) << "blocks left allocated";
}
