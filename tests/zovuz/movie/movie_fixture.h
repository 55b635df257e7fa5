// Support for the movie tests: the encoded test movies, the software renderer with the movie
// system and sound started, and a clock the tests move by hand.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "zovuz/movie/movie_internal.h"
#include "zovuz/movie/theora_decode_internal.h"

typedef std::vector<unsigned char> Bytes;

// The movies of tests/data/movie/make_movies.sh: frame f of each is a flat grey of luma 16 + 7 f.
constexpr int kMovieFrames = 30;
constexpr int kMovieFps = 15;
extern const char *const kGrayMovie;        // 64 x 48
extern const char *const kGraySmallMovie;   // a 60 x 44 picture
extern const char *const kGrayVorbisMovie;  // 64 x 48 with a 2 s Vorbis track
extern const char *const kPatternMovie;       // 40 frames of moving ramps, keyframes every 8 frames
extern const char *const kSmallPatternMovie;  // 8 frames of the ramps in a 60 x 44 picture
extern const char *const kOddPatternMovie;    // the same in a 61 x 45 picture

std::string MoviePath(const char *Name);
Bytes ReadMovie(const char *Name);

// The grey (0-255) that frame f shows once converted to RGB.
int FrameGrey(int Frame);
// The grey of an XRGB pixel value (its green channel).
inline int GreyOf(uint32_t Pixel) { return (int)((Pixel >> 8) & 0xFF); }

// The frame f whose grey is nearest to Grey, or -1 when none lies within 3.
int FrameOfGrey(int Grey);

// The microsecond clock the movies read while a TestClock lives.
class TestClock
{
public:
    TestClock();
    ~TestClock();
    static void Set(int64_t Microseconds);
    static int64_t Now;
};

// The software renderer, the movie system (registered with the graphs) and the sound system.
class MovieTest : public SoftwareGraphics
{
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;
    int allocBaseline_ = 0;
};

// A decoder over a copy of a memory image, kept with its stream: the decode thread reads the
// stream for as long as the decoder lives, long after a caller's image may be gone.
struct MemoryDecoder
{
    explicit MemoryDecoder(Bytes File, int StockCount = THEORA_DEFAULT_STOCK_COUNT);
    ~MemoryDecoder();
    const Bytes Image;
    MemStream *Stream = nullptr;
    TheoraDecodeState *State = nullptr;
};

// The grey of the current frame's image, read at its centre.
int CurrentGrey(TheoraDecodeState *State);
