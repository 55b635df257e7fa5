// The Theora decoder on the encoded test movies: stream information, every frame's picture,
// moves forward and across the end, and seeks; and its YUV surface, on a device that records
// its locks.
#include "tests/zovuz/movie/movie_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <memory>
#include <string>

#include "zovuz/graphics/zovuz_graphics_backend.h"

class TheoraDecode : public MovieTest
{
};

TEST_F(TheoraDecode, InfoGivesTheRateFrameCountAndPictureSize)
{
    struct Case
    {
        const char *Movie;
        int Width, Height;
    } cases[] = {{kGrayMovie, 64, 48}, {kGraySmallMovie, 60, 44}, {kGrayVorbisMovie, 64, 48}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Movie);
        MemoryDecoder decoder(ReadMovie(c.Movie));
        ASSERT_NE(nullptr, decoder.State);
        TheoraDecodeInfo info;
        ASSERT_EQ(0, TheoraDecode_GetInfo(decoder.State, &info));
        EXPECT_DOUBLE_EQ(15.0, info.FrameRate);
        EXPECT_EQ(kMovieFrames, info.FrameCount);
        EXPECT_EQ(c.Width, info.Width);
        EXPECT_EQ(c.Height, info.Height);
        EXPECT_EQ(c.Width, TheoraDecode_GetYUVImage(decoder.State)->Width);
        EXPECT_EQ(0, TheoraDecode_GetCurrentFrame(decoder.State));
    }
}

// The ramps of the pattern movies in the stocked frame: the picture is cut from the coded frame
// at its offset, top row first, and U and V are interleaved per chroma sample.
TEST_F(TheoraDecode, TheStockedFrameIsThePictureTopRowFirst)
{
    for (const char *name : {kPatternMovie, kSmallPatternMovie}) {
        SCOPED_TRACE(name);
        MemoryDecoder decoder(ReadMovie(name));
        ASSERT_NE(nullptr, decoder.State);
        for (int n : {0, 1, 5}) {
            TheoraDecode_SeekToFrame(decoder.State, n);
            TheoraDecode_GetYUVImage(decoder.State);
            const TheoraDecodeState *s = decoder.State;
            const TheoraFrameStockEntry *e = nullptr;
            for (int i = 0; i < s->StockCount; ++i)
                if (s->Stock[i].Used && s->Stock[i].Packet == s->CurrentPacket) e = &s->Stock[i];
            ASSERT_NE(nullptr, e);
            ASSERT_EQ(s->Width, e->YWidth);
            ASSERT_EQ(s->Width / 2, e->UVWidth);
            ASSERT_EQ(s->Height / 2, e->UVHeight);
            int worst = 0;
            for (int y = 0; y < e->YHeight; y += 3)
                for (int x = 0; x < e->YWidth; x += 5) {
                    int luma = e->YBuffer[y * e->YPitch + x], u = e->UVBuffer[y / 2 * e->UVPitch + x / 2 * 2],
                        v = e->UVBuffer[y / 2 * e->UVPitch + x / 2 * 2 + 1];
                    worst = std::max(worst, abs(luma - (16 + (x + 2 * y + 5 * n) % 220)));
                    worst = std::max(worst, abs(u - (64 + (x / 2 + y / 2 + 3 * n) % 128)));
                    worst = std::max(worst, abs(v - (64 + (x / 2 + y + n) % 128)));
                }
            EXPECT_LE(worst, 3) << "frame " << n;
        }
    }
}

// One frame at a time, round the end of the movie twice: every frame, the wrapped ones
// included, shows its own grey, over the whole picture of both sizes.
TEST_F(TheoraDecode, EveryFrameShowsItsOwnPictureAlsoAfterTheWrap)
{
    for (const char *name : {kGrayMovie, kGraySmallMovie}) {
        SCOPED_TRACE(name);
        MemoryDecoder decoder(ReadMovie(name));
        ASSERT_NE(nullptr, decoder.State);
        for (int step = 0; step < kMovieFrames * 2 + 2; ++step) {
            int frame = step % kMovieFrames;
            ASSERT_EQ(frame, TheoraDecode_GetCurrentFrame(decoder.State));
            const BASEIMAGE *image = TheoraDecode_GetYUVImage(decoder.State);
            for (int y : {0, image->Height - 1})
                for (int x : {0, image->Width - 1}) {
                    uint32_t pixel = *(const uint32_t *)((const uint8_t *)image->Pixels + y * image->Pitch + x * 4);
                    ASSERT_NEAR(FrameGrey(frame), GreyOf(pixel), 3) << "frame " << frame << " at " << x << "," << y;
                }
            TheoraDecode_IncToFrame(decoder.State, 1);
        }
    }
}

TEST_F(TheoraDecode, MovesForwardWrapAndSeeksLandOnTheirFrames)
{
    MemoryDecoder decoder(ReadMovie(kGrayMovie));
    ASSERT_NE(nullptr, decoder.State);
    struct Step
    {
        enum { Seek, Inc } Kind;
        int Value;
        int Expected;
    } steps[] = {
        {Step::Seek, 10, 10}, {Step::Inc, 25, 5},   // past the end by more than it has left
        {Step::Inc, 95, 10},                        // several times round
        {Step::Inc, 0, 10},   {Step::Inc, -4, 10},  // only forward moves count
        {Step::Seek, 29, 29}, {Step::Seek, 29, 29}, {Step::Inc, 1, 0},
        {Step::Seek, 3, 3},   {Step::Seek, 30, 3},  // a frame the movie lacks
    };
    for (const Step &s : steps) {
        if (s.Kind == Step::Seek)
            TheoraDecode_SeekToFrame(decoder.State, s.Value);
        else
            TheoraDecode_IncToFrame(decoder.State, s.Value);
        SCOPED_TRACE(testing::Message() << (s.Kind == Step::Seek ? "seek " : "inc ") << s.Value);
        ASSERT_EQ(s.Expected, TheoraDecode_GetCurrentFrame(decoder.State));
        EXPECT_NEAR(FrameGrey(s.Expected), CurrentGrey(decoder.State), 3);
    }
}

// A stock of one frame still shows every frame: the thread frees what the current frame left.
TEST_F(TheoraDecode, ASmallStockStillDecodesEveryFrame)
{
    MemoryDecoder decoder(ReadMovie(kGrayMovie), 1);
    ASSERT_NE(nullptr, decoder.State);
    for (int frame = 0; frame < kMovieFrames + 3; ++frame) {
        ASSERT_NEAR(FrameGrey(frame % kMovieFrames), CurrentGrey(decoder.State), 3) << frame;
        TheoraDecode_IncToFrame(decoder.State, 1);
    }
}

// A movie of inter frames between keyframes: a frame reached by a seek or a jump, which decode
// only from a keyframe on, is the picture that playing frame by frame shows.
TEST_F(TheoraDecode, SeeksAndJumpsShowWhatPlayingFrameByFrameShows)
{
    const Bytes file = ReadMovie(kPatternMovie);
    std::vector<std::vector<uint8_t>> played;
    {
        MemoryDecoder decoder(file);
        ASSERT_NE(nullptr, decoder.State);
        TheoraDecodeInfo info;
        TheoraDecode_GetInfo(decoder.State, &info);
        ASSERT_EQ(40, info.FrameCount);
        for (int f = 0; f < info.FrameCount; ++f) {
            const BASEIMAGE *image = TheoraDecode_GetYUVImage(decoder.State);
            const uint8_t *pixels = (const uint8_t *)image->Pixels;
            played.emplace_back(pixels, pixels + image->Pitch * image->Height);
            TheoraDecode_IncToFrame(decoder.State, 1);
        }
    }
    ASSERT_NE(played[9], played[10]);
    MemoryDecoder decoder(file);
    ASSERT_NE(nullptr, decoder.State);
    const struct
    {
        bool Seek;
        int Value;
    } steps[] = {{true, 37}, {true, 5}, {false, 13}, {true, 39}, {false, 3}, {true, 12}, {false, 19}, {true, 30}};
    for (const auto &s : steps) {
        if (s.Seek)
            TheoraDecode_SeekToFrame(decoder.State, s.Value);
        else
            TheoraDecode_IncToFrame(decoder.State, s.Value);
        int frame = TheoraDecode_GetCurrentFrame(decoder.State);
        const BASEIMAGE *image = TheoraDecode_GetYUVImage(decoder.State);
        const uint8_t *pixels = (const uint8_t *)image->Pixels;
        EXPECT_TRUE(std::vector<uint8_t>(pixels, pixels + image->Pitch * image->Height) == played[frame])
            << (s.Seek ? "seek to " : "jump by ") << s.Value << ": frame " << frame;
    }
}

// ---- The YUV surface ----------------------------------------------------------------------------

namespace {

constexpr uint32_t kYV12 = THEORA_FOURCC('Y', 'V', '1', '2'), kYUY2 = THEORA_FOURCC('Y', 'U', 'Y', '2'),
                   kUYVY = THEORA_FOURCC('U', 'Y', 'V', 'Y');
constexpr uint8_t kUntouched = 0xEE;

// A surface in memory: its rows padded past the layout's bytes and a guard after its end, all
// of it kUntouched until written.
struct FakeSurface
{
    uint32_t FourCC;
    int Width, Height, Pitch;
    std::vector<uint8_t> Bytes;
    FakeSurface(uint32_t Layout, int W, int H) : FourCC(Layout), Width(W), Height(H)
    {
        Pitch = (Layout == kYV12 ? W : W * 2) + 8;
        Bytes.assign((size_t)Pitch * H * (Layout == kYV12 ? 3 : 2) / 2 + 64, kUntouched);
    }
    // The Y, U or V (Which 0, 1, 2) of pixel (x, y) as the layout places it.
    int Sample(int X, int Y, int Which) const
    {
        const uint8_t *p = Bytes.data();
        if (FourCC == kYV12) {
            const uint8_t *v = p + Pitch * Height, *u = v + Pitch / 2 * (Height / 2);
            return Which == 0 ? p[Y * Pitch + X] : (Which == 1 ? u : v)[Y / 2 * (Pitch / 2) + X / 2];
        }
        const uint8_t *pair = p + Y * Pitch + X / 2 * 4;
        const int luma = FourCC == kUYVY ? 1 : 0;
        return Which == 0 ? pair[luma + X % 2 * 2] : pair[1 - luma + (Which - 1) * 2];
    }
    // The bytes of a row that the layout does not use, and the guard, are as they were.
    bool PaddingUntouched() const
    {
        const int used = FourCC == kYV12 ? Width : Width * 2;
        for (int y = 0; y < Height; ++y)
            for (int x = used; x < Pitch; ++x)
                if (Bytes[(size_t)y * Pitch + x] != kUntouched) return false;
        return std::all_of(Bytes.end() - 64, Bytes.end(), [](uint8_t b) { return b == kUntouched; });
    }
};

// Every pixel of the part of the surface the frame covers holds the frame's samples; a picture of
// odd width repeats its last luma sample in the surface's last column (packed layouts).
void ExpectCarries(const FakeSurface &S, const TheoraFrameStockEntry &E)
{
    for (int y = 0; y < std::min(S.Height, E.YHeight); ++y)
        for (int x = 0; x < std::min(S.Width, E.UVWidth * 2); ++x)
            for (int which = 0; which < 3; ++which) {
                const int fx = std::min(x, E.YWidth - 1);
                if (S.FourCC == kYV12 && (which == 0 ? x != fx : y / 2 >= std::min(E.UVHeight, S.Height / 2))) continue;
                const int want =
                    which == 0 ? E.YBuffer[y * E.YPitch + fx] : E.UVBuffer[y / 2 * E.UVPitch + fx / 2 * 2 + which - 1];
                ASSERT_EQ(want, S.Sample(x, y, which)) << "sample " << which << " of " << x << "," << y;
            }
}

}  // namespace

// Each layout's copy puts every sample where the layout says, at the surface's pitch, cut to the
// surface; the packed layouts take only 4:2:0 frames.
TEST(TheoraSurfaceCopy, EachLayoutPlacesEverySampleCutToTheSurface)
{
    struct Case
    {
        const char *Name;
        int W, H, CW, CH, Is420;
    } cases[] = {
        {"4:2:0", 6, 4, 3, 2, 1},
        {"odd 4:2:0 on the even surface", 5, 3, 3, 2, 1},
        {"larger than the surface", 10, 8, 5, 4, 1},
        {"4:4:4", 6, 4, 6, 4, 0},
    };
    for (const Case &c : cases)
        for (uint32_t layout : {kYV12, kYUY2, kUYVY}) {
            SCOPED_TRACE(testing::Message() << c.Name << " " << std::string((const char *)&layout, 4));
            std::vector<uint8_t> y((size_t)c.W * c.H), uv((size_t)c.CW * c.CH * 2);
            for (size_t i = 0; i < y.size(); ++i) y[i] = (uint8_t)(7 + i * 3);
            for (size_t i = 0; i < uv.size(); ++i) uv[i] = (uint8_t)(100 + i * 5);
            const TheoraFrameStockEntry frame = {1, 0, y.data(), uv.data(), c.W, c.H, c.W, c.CW, c.CH, c.CW * 2};
            FakeSurface surface(layout, 6, 4);
            const int copied = TheoraDecode_CopyToSurface(&frame, c.Is420, layout, surface.Bytes.data(), surface.Pitch,
                                                          surface.Width, surface.Height);
            EXPECT_TRUE(surface.PaddingUntouched());
            if (!c.Is420 && layout != kYV12) {
                EXPECT_EQ(0, copied);
                EXPECT_EQ(std::vector<uint8_t>(surface.Bytes.size(), kUntouched), surface.Bytes);
            } else {
                EXPECT_EQ(1, copied);
                ExpectCarries(surface, frame);
            }
        }
}

namespace {

using Calls = std::vector<std::string>;

// The device's side of the surface, recording each call.
struct RecordingDevice
{
    uint32_t Layout = kYUY2;
    int RefuseCreate = 0;  // Create answers null
    int FailLocks = 0;     // the next this many locks fail
    int Live = 0;          // surfaces made and not released
    Calls Seen;
    std::list<FakeSurface> Surfaces;

    static RecordingDevice *Current;
    static void *Create(int W, int H, uint32_t *FourCC, int)
    {
        Current->Seen.push_back("Create " + std::to_string(W) + "x" + std::to_string(H));
        if (Current->RefuseCreate) return nullptr;
        *FourCC = Current->Layout;
        Current->Live++;
        return &Current->Surfaces.emplace_back(Current->Layout, W, H);
    }
    static void *Lock(void *Surface, int *Pitch, int)
    {
        Current->Seen.push_back("Lock");
        if (Current->FailLocks > 0 && Current->FailLocks--) return nullptr;
        *Pitch = ((FakeSurface *)Surface)->Pitch;
        return ((FakeSurface *)Surface)->Bytes.data();
    }
    static int Unlock(void *, int) { return Current->Seen.push_back("Unlock"), 0; }
    static int Release(void *, int) { return Current->Seen.push_back("Release"), Current->Live--, 0; }
};
RecordingDevice *RecordingDevice::Current;
const TheoraSurfaceDevice kRecordingDevice = {.Create = RecordingDevice::Create,
                                              .Lock = RecordingDevice::Lock,
                                              .Unlock = RecordingDevice::Unlock,
                                              .Release = RecordingDevice::Release};

// One step of a decoder's life with its surface, and the device calls it makes.
struct SurfaceStep
{
    enum { Get, Update, Next, Refresh, FailLocks, RefuseCreate, Not420 } Do;
    int Arg;  // Get, Update: whether the decoder has a surface, a filled one
    Calls Want;
};

}  // namespace

// The decoder of the odd-sized pattern movie on the recording device, Direct3D 9 in use, step by
// step.
class TheoraSurface : public MovieTest
{
protected:
    void SetUp() override
    {
        MovieTest::SetUp();
        RecordingDevice::Current = &Device;
        TheoraSurfaceSystem.Device = &kRecordingDevice;
        decoder_ = std::make_unique<MemoryDecoder>(ReadMovie(kOddPatternMovie));
        ASSERT_NE(nullptr, decoder_->State);
        EXPECT_EQ(nullptr, TheoraDecode_GetSurface(decoder_->State)) << "the software renderer has no surface";
        GraphicsAPIType = GRAPHICS_API_D3D9;
    }
    void TearDown() override
    {
        GraphicsAPIType = GRAPHICS_API_SOFTWARE;
        decoder_.reset();
        TheoraSurfaceSystem.Device = nullptr;
        EXPECT_EQ(0, Device.Live) << "a surface was left";
        MovieTest::TearDown();
    }
    void Run(const SurfaceStep &Step)
    {
        TheoraDecodeState *s = decoder_->State;
        Device.Seen.clear();
        switch (Step.Do) {
            case SurfaceStep::Get:
                EXPECT_EQ(Step.Arg != 0, TheoraDecode_GetSurface(s) != nullptr);
                break;
            case SurfaceStep::Update:
                TheoraDecode_SetupImage(s, 0, 0, 1, 0);
                EXPECT_EQ(Step.Arg, s->SurfaceReady);
                if (s->SurfaceReady) ExpectCarries(*(const FakeSurface *)s->Surface, CurrentEntry());
                break;
            case SurfaceStep::Next:
                TheoraDecode_IncToFrame(s, Step.Arg);
                break;
            case SurfaceStep::Refresh:
                EXPECT_EQ(0, TheoraDecode_RefreshSurface(s));
                break;
            case SurfaceStep::FailLocks:
                Device.FailLocks = Step.Arg;
                break;
            case SurfaceStep::RefuseCreate:
                Device.RefuseCreate = Step.Arg;
                break;
            case SurfaceStep::Not420:
                s->Info.pixelformat = Step.Arg ? OC_PF_444 : OC_PF_420;
                break;
        }
        EXPECT_EQ(Step.Want, Device.Seen);
    }
    const TheoraFrameStockEntry &CurrentEntry() const
    {
        const TheoraDecodeState *s = decoder_->State;
        return *std::find_if(s->Stock, s->Stock + s->StockCount,
                             [s](const TheoraFrameStockEntry &e) { return e.Used && e.Packet == s->CurrentPacket; });
    }
    RecordingDevice Device;
    std::unique_ptr<MemoryDecoder> decoder_;
};

// Asked for by the graph layer, the surface is made once, in the picture's size (rounded up to the
// layouts' pairs); each new frame is locked, copied and unlocked once.
TEST_F(TheoraSurface, MadeOnUseFilledPerFrameMadeAgainWhenLost)
{
    const Calls lockOnce = {"Lock", "Unlock"}, none, create = {"Create 64x46"}, release = {"Release"};
    using S = SurfaceStep;
    const SurfaceStep steps[] = {
        // Made on the first request only; each frame filled once.
        {S::Get, 1, create}, {S::Get, 1, none}, {S::Update, 1, lockOnce}, {S::Update, 1, none},
        {S::Next, 3, none}, {S::Update, 1, lockOnce},
        // Lost with the device's objects: nothing to fill until the next request.
        {S::Refresh, 0, release}, {S::Update, 0, none}, {S::Get, 1, create}, {S::Update, 1, lockOnce},
        // A lock that fails once is made good by a new surface; three failures give the frame up.
        {S::Next, 1, none}, {S::FailLocks, 1, none},
        {S::Update, 1, {"Lock", "Release", "Create 64x46", "Lock", "Unlock"}},
        {S::Next, 1, none}, {S::FailLocks, 3, none},
        {S::Update, 0, {"Lock", "Release", "Create 64x46", "Lock", "Release", "Create 64x46", "Lock"}},
        // A device that makes none is asked again only once its objects are made anew.
        {S::Refresh, 0, release}, {S::RefuseCreate, 1, none}, {S::Get, 0, create}, {S::Get, 0, none},
        {S::RefuseCreate, 0, none}, {S::Refresh, 0, none},
        // A stream that is not 4:2:0 gets none.
        {S::Not420, 1, none}, {S::Get, 0, none}, {S::Not420, 0, none}, {S::Get, 1, create},
    };
    for (uint32_t layout : {kYUY2, kYV12, kUYVY}) {
        TheoraDecode_RefreshSurface(decoder_->State);
        Device.Layout = layout;
        for (size_t i = 0; i < sizeof steps / sizeof steps[0]; ++i) {
            SCOPED_TRACE(testing::Message() << std::string((const char *)&layout, 4) << " step " << i);
            Run(steps[i]);
        }
    }
    // A load job hands the release to the main thread; this thread is none, so the surface stays
    // until the main thread's replay releases it.
    TheoraDecodeState *s = decoder_->State;
    ASSERT_EQ(-1, TheoraDecode_SurfaceTerminate(s, 1));
    EXPECT_EQ(1, Device.Live);
    ASyncLoadRequestInfo request = {};
    request.Data[0] = (uintptr_t)s;
    EXPECT_EQ(0, TheoraDecode_SurfaceTerminateCallback(&request));
    EXPECT_EQ(0, Device.Live);
}
