#include "tests/zovuz/movie/movie_fixture.h"

#include <fstream>
#include <iterator>
#include <utility>

#include "tests/support/test_paths.h"
#include "tests/zovuz/sound/sound_device_support.h"

const char *const kGrayMovie = "gray_64x48.ogv";
const char *const kGraySmallMovie = "gray_60x44.ogv";
const char *const kGrayVorbisMovie = "gray_64x48_vorbis.ogv";
const char *const kPatternMovie = "pattern_64x48.ogv";
const char *const kSmallPatternMovie = "pattern_60x44.ogv";
const char *const kOddPatternMovie = "pattern_61x45.ogv";

std::string MoviePath(const char *Name) { return TestBuildDir() + "/testdata/movie/" + Name; }

Bytes ReadMovie(const char *Name)
{
    std::ifstream in(MoviePath(Name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int FrameGrey(int Frame)
{
    int luma = 16 + 7 * Frame;
    return (int)((luma - 16) * 1.164 + 0.5);
}

int FrameOfGrey(int Grey)
{
    for (int f = 0; f < kMovieFrames; ++f)
        if (abs(FrameGrey(f) - Grey) <= 3) return f;
    return -1;
}

int64_t TestClock::Now = 0;
TestClock::TestClock()
{
    Now = 1000000;
    SetMovieMicroClock([] { return Now; });
}
TestClock::~TestClock() { SetMovieMicroClock(nullptr); }
void TestClock::Set(int64_t Microseconds) { Now = Microseconds; }

namespace {

// The sound tracks play on a scripted device, so the tests make no sound and share no device.
SoundSystemSession *Sound;
ScriptedSoundDevice *Device;

}  // namespace

void MovieTest::SetUpTestSuite()
{
    SoftwareGraphics::SetUpTestSuite();
    InitializeBaseImageTables();
    Sound = new SoundSystemSession;
    Device = new ScriptedSoundDevice;
    // The first draw of a graph takes the renderer's lasting buffers: before any baseline.
    TestImage image = MakeTestImage(8, 8, PatternA);
    int graph = CreateGraphFromBaseImage(&image.Image, nullptr, 0);
    SetLibraryStarted(1);
    DrawGraph(0, 0, graph, 0);
    SetLibraryStarted(0);
    DeleteGraph(graph);
}

void MovieTest::TearDownTestSuite()
{
    delete Device;
    delete Sound;
    SoftwareGraphics::TearDownTestSuite();
}

void MovieTest::SetUp()
{
    SoftwareGraphics::SetUp();
    allocBaseline_ = GetAllocNum();
    ASSERT_EQ(0, InitializeMovieSystem());
    RegisterMovieFunctions(GetMovieFunctionTable());
}

void MovieTest::TearDown()
{
    RegisterMovieFunctions(nullptr);
    EXPECT_EQ(0, TerminateMovieSystem());
    EXPECT_EQ(allocBaseline_, GetAllocNum()) << "the movies left memory behind";
}

MemoryDecoder::MemoryDecoder(Bytes File, int StockCount) : Image(std::move(File))
{
    Stream = CreateMemStream(Image.data(), (uint32_t)Image.size());
    State = TheoraDecode_Open(GetMemStreamFunctionTable(), Stream, StockCount, 0, 0, 0);
}

MemoryDecoder::~MemoryDecoder()
{
    if (State != nullptr) TheoraDecode_Terminate(State);
    MemStreamClose(Stream);
}

int CurrentGrey(TheoraDecodeState *State)
{
    const BASEIMAGE *image = TheoraDecode_GetYUVImage(State);
    const uint8_t *row = (const uint8_t *)image->Pixels + (size_t)(image->Height / 2) * image->Pitch;
    return GreyOf(*(const uint32_t *)(row + (image->Width / 2) * 4));
}
