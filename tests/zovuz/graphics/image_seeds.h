// Valid files of every format the image loaders read, built in code: the seeds of the in-Wine
// mutation test and of the native fuzz target's corpus.
#pragma once

#include <vector>

#include "tests/zovuz/graphics/image_fixture.h"

struct ImageSeedSet {
    const char *Name;              // the format
    ImageLoaderFunction Loader;    // its loader
    std::vector<Bytes> Seeds;      // files it reads
};

std::vector<ImageSeedSet> ImageLoaderSeeds();
