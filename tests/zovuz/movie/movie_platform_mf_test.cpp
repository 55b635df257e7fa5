// Media Foundation frame pickup and clock on a scripted source reader, handed to the movie through
// the table entry MFCreateSourceReaderFromURL: frame layouts, type changes, short buffers, the end
// of the stream, a missing frame rate, the type asked of the reader, and the temporary copy.
#include <stdio.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_files.h"
#include "tests/zovuz/graphics/hardware_fixture.h"
#include "tests/zovuz/movie/dshow_test_filters.h"
#include "tests/zovuz/movie/movie_fixture.h"
#include "tests/zovuz/movie/platform_movie_files.h"
#include "zovuz/movie/sound_convert/windows/mf_byte_stream.h"
#include "zovuz/movie/playback/windows/movie_platform_win.h"

namespace {

const int W = 32, H = 24;  // 24 rows: a padded frame differs from a packed one

enum class Frame { None, Packed, Padded, Short };

// One answer of ReadSample: a frame of luma Luma (chroma neutral) at frame number At.
struct Read
{
    Frame Kind;
    int At;
    DWORD Flags;
};

HRESULT(WINAPI *CreateSample)(IMFSample **);
HRESULT(WINAPI *CreateMemoryBuffer)(DWORD, IMFMediaBuffer **);

int LumaOf(int At) { return 40 + 20 * At; }

// A planar frame. Padding bytes are 0xEE, so a frame read with the wrong layout shows colour.
std::vector<BYTE> FrameBytes(Frame Kind, int Luma)
{
    bool padded = Kind == Frame::Padded;
    int yPitch = padded ? (W + 15) & ~15 : W, yRows = padded ? (H + 15) & ~15 : H;
    int cPitch = padded ? (W / 2 + 7) & ~7 : W / 2, cRows = padded ? (H / 2 + 7) & ~7 : H / 2;
    std::vector<BYTE> b(yPitch * yRows + 2 * cPitch * cRows, 0xEE);
    for (int y = 0; y < H; y++) memset(&b[y * yPitch], Luma, W);
    for (int plane = 0; plane < 2; plane++)
        for (int y = 0; y < H / 2; y++) memset(&b[yPitch * yRows + plane * cPitch * cRows + y * cPitch], 128, W / 2);
    if (Kind == Frame::Short) b.resize(b.size() - 1);
    return b;
}

class FakeReader : public IMFSourceReader
{
public:
    FakeReader(IMFMediaType *Native, std::vector<Read> Script, LONGLONG FrameTime)
        : native_(Native), script_(Script), frameTime_(FrameTime)
    {
    }
    virtual ~FakeReader()
    {
        native_->Release();
        if (Output != nullptr) Output->Release();
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void **Out) override
    {
        if (!IsEqualGUID(Id, IID_IUnknown) && !IsEqualGUID(Id, IID_IMFSourceReader)) return E_NOINTERFACE;
        *Out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++ref_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG n = --ref_;
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetStreamSelection(DWORD, BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStreamSelection(DWORD, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetNativeMediaType(DWORD, DWORD, IMFMediaType **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurrentMediaType(DWORD, IMFMediaType **Type) override
    {
        *Type = native_;
        native_->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetCurrentMediaType(DWORD, DWORD *, IMFMediaType *Type) override
    {
        if (Output != nullptr) Output->Release();
        Output = Type;
        Type->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetCurrentPosition(REFGUID, REFPROPVARIANT Position) override
    {
        next_ = 0;
        while (next_ < script_.size() && script_[next_].At * frameTime_ < Position.hVal.QuadPart) next_++;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReadSample(DWORD, DWORD, DWORD *, DWORD *Flags, LONGLONG *Time,
                                         IMFSample **Sample) override
    {
        *Sample = nullptr;
        if (next_ >= script_.size()) {
            *Flags = MF_SOURCE_READERF_ENDOFSTREAM;
            return S_OK;
        }
        const Read &r = script_[next_++];
        *Flags = r.Flags;
        // Stamps a little early, as decoders round them.
        *Time = r.At * frameTime_ - 10;
        if (r.Kind == Frame::None) return S_OK;
        std::vector<BYTE> bytes = FrameBytes(r.Kind, LumaOf(r.At));
        IMFMediaBuffer *buffer = nullptr;
        CreateMemoryBuffer((DWORD)bytes.size(), &buffer);
        BYTE *data = nullptr;
        buffer->Lock(&data, nullptr, nullptr);
        memcpy(data, bytes.data(), bytes.size());
        buffer->Unlock();
        buffer->SetCurrentLength((DWORD)bytes.size());
        CreateSample(Sample);
        (*Sample)->AddBuffer(buffer);
        buffer->Release();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Flush(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetServiceForStream(DWORD, REFGUID, REFIID, LPVOID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPresentationAttribute(DWORD, REFGUID Key, PROPVARIANT *Value) override
    {
        if (!IsEqualGUID(Key, MF_PD_DURATION)) return E_INVALIDARG;
        Value->vt = VT_UI8;
        Value->uhVal.QuadPart = script_.size() * frameTime_ + frameTime_ / 2;
        return S_OK;
    }

    IMFMediaType *Output = nullptr;  // the type the movie asked for

private:
    ULONG ref_ = 1;
    IMFMediaType *native_;
    std::vector<Read> script_;
    LONGLONG frameTime_;
    size_t next_ = 0;
};

// The reader the next open gets, and the paths it was asked for; paths containing Refuse fail.
FakeReader *NextReader;
std::vector<std::wstring> Asked;
std::wstring Refuse;

HRESULT WINAPI FakeCreateReader(LPCWSTR Path, IMFAttributes *, IMFSourceReader **Reader)
{
    Asked.push_back(Path);
    if (!Refuse.empty() && std::wstring(Path).find(Refuse) != std::wstring::npos) return E_FAIL;
    *Reader = NextReader;
    NextReader->AddRef();
    return S_OK;
}

// The scripted reader in the table, a file to open, and the movie record.
class ScriptedMovie
{
public:
    ScriptedMovie()
    {
        InitializeBaseImageTables();
        HMODULE plat = LoadLibraryW(L"mfplat.dll");
        CreateSample = reinterpret_cast<decltype(CreateSample)>(GetProcAddress(plat, "MFCreateSample"));
        CreateMemoryBuffer =
            reinterpret_cast<decltype(CreateMemoryBuffer)>(GetProcAddress(plat, "MFCreateMemoryBuffer"));
        table_ = GetMFFunctionsForTest();
        saved_ = table_->MFCreateSourceReaderFromURL;
        table_->MFCreateSourceReaderFromURL = FakeCreateReader;
        Asked.clear();
        Refuse.clear();
        const char text[] = "not really a movie";
        path_ = WriteFile(L"scripted.mp4", std::vector<BYTE>(text, text + sizeof text - 1));
    }
    ~ScriptedMovie()
    {
        MoviePlatform_Release(&Movie);
        if (NextReader != nullptr) NextReader->Release();
        NextReader = nullptr;
        table_->MFCreateSourceReaderFromURL = saved_;
    }
    // A reader over Script with a native type of W x H, the rate Num / Den (none when 0) and,
    // with Extras, a pixel aspect of 1:1 and a default stride.
    void Script(const std::vector<Read> &Reads, UINT32 Num, UINT32 Den, bool Extras)
    {
        IMFMediaType *native = nullptr;
        GetMFFunctions()->MFCreateMediaType(&native);
        native->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
        native->SetUINT64(MF_MT_FRAME_SIZE, ((UINT64)W << 32) | H);
        if (Num != 0) native->SetUINT64(MF_MT_FRAME_RATE, ((UINT64)Num << 32) | Den);
        if (Extras) {
            native->SetUINT64(MF_MT_PIXEL_ASPECT_RATIO, (1ull << 32) | 1);
            native->SetUINT32(MF_MT_DEFAULT_STRIDE, W);
        }
        LONGLONG frameTime = Num != 0 ? (LONGLONG)Den * 10000000 / Num : 166666;
        NextReader = new FakeReader(native, Reads, frameTime);
    }
    // Opens through Media Foundation alone, with the clock stopped as a movie opens.
    int Open()
    {
        MoviePlatformData *p = new MoviePlatformData();
        if (OpenMovie_MediaFoundation(&Movie, p, path_.c_str(), 0) != 0) {
            delete p;
            return -1;
        }
        Movie.Platform = p;
        Movie.ClockStopped = 1;
        return 0;
    }
    // Starts playing at clock time 1 s as the player does.
    int Play(int Type)
    {
        Movie.PlayType = Type;
        Movie.PlayFlag = 1;
        Movie.ClockStopped = 0;
        TestClock::Set(1000000);
        return MoviePlatform_Play(&Movie, Type);
    }
    // The luma the image shows, or -1 when its pixel is not a grey.
    int ShownLuma()
    {
        const BYTE *px = static_cast<const BYTE *>(Movie.FrameImage.Pixels) + 5 * Movie.FrameImage.Pitch + 20;
        if (abs(px[0] - px[1]) > 2 || abs(px[2] - px[1]) > 2) return -1;
        for (int at = 0; at < 10; at++)
            if (abs(px[1] - (int)((LumaOf(at) - 16) * 1.164 + 0.5)) <= 2) return LumaOf(at);
        return -2;
    }

    MovieHandleData Movie = {};
    std::wstring path_;

private:
    MFFunctionTable *table_ = nullptr;
    HRESULT(WINAPI *saved_)(LPCWSTR, IMFAttributes *, IMFSourceReader **) = nullptr;
};

class ScriptedMediaFoundation : public ::testing::Test, public ScriptedMovie
{
protected:
    TestClock Clock;
};

TEST_F(ScriptedMediaFoundation, ClockPicksUpEachFrameAsTheReaderGivesIt)
{
    struct
    {
        const char *Name;
        UINT32 Num, Den;
        bool Extras;
        std::vector<Read> Reads;
        std::vector<int> Shown;  // the frame (by its luma's frame number) shown at clock frames 0, 1, ...
        LONGLONG FrameTime;
    } const cases[] = {
        {"padded frames", 10, 1, true, {{Frame::Padded, 0, 0}, {Frame::Padded, 1, 0}, {Frame::Padded, 2, 0}},
         {0, 1, 2}, 1000000},
        {"no frame rate: 60 a second", 0, 0, false,
         {{Frame::Packed, 0, 0}, {Frame::Packed, 1, 0}, {Frame::Packed, 2, 0}, {Frame::Packed, 3, 0}},
         {0, 1, 2, 3}, 166666},
        {"a type change, then the frame; a short buffer keeps the frame before", 30000, 1001, false,
         {{Frame::Packed, 0, 0}, {Frame::None, 1, MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED}, {Frame::Packed, 1, 0},
          {Frame::Short, 2, 0}, {Frame::Packed, 3, 0}},
         {0, 1, 1, 3}, 333666},
        {"the end of the stream keeps the last frame", 10, 1, false,
         {{Frame::Packed, 0, 0}, {Frame::Packed, 1, 0}, {Frame::None, 2, 0}, {Frame::None, 3, 0}},
         {0, 1, 1, 1}, 1000000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        Script(c.Reads, c.Num, c.Den, c.Extras);
        ASSERT_EQ(0, Open());
        MoviePlatformData *p = Movie.Platform;
        EXPECT_EQ(c.FrameTime, p->FrameTime);
        // The type asked for carries the aspect and the stride only when the stream's own does.
        UINT64 aspect = 0;
        UINT32 stride = 0;
        EXPECT_EQ(c.Extras, SUCCEEDED(NextReader->Output->GetUINT64(MF_MT_PIXEL_ASPECT_RATIO, &aspect)));
        EXPECT_EQ(c.Extras, SUCCEEDED(NextReader->Output->GetUINT32(MF_MT_DEFAULT_STRIDE, &stride)));
        ASSERT_EQ(0, Play(DX_PLAYTYPE_BACK));
        for (size_t k = 0; k < c.Shown.size(); k++) {
            TestClock::Set(1000000 + (int64_t)(k * 2 + 1) * c.FrameTime / 20);
            MoviePlatform_Update(&Movie, 0);
            EXPECT_EQ(LumaOf(c.Shown[k]), ShownLuma()) << "at clock frame " << k;
        }
        MoviePlatform_Release(&Movie);
        NextReader->Release();
        NextReader = nullptr;
    }
}

TEST_F(ScriptedMediaFoundation, SeekAndLoopGoBackToTheFrame)
{
    std::vector<Read> reads;
    for (int k = 0; k < 6; k++) reads.push_back({Frame::Packed, k, 0});
    Script(reads, 10, 1, false);
    ASSERT_EQ(0, Open());
    ASSERT_EQ(0, MoviePlatform_Seek(&Movie, 4));
    MoviePlatform_Update(&Movie, 0);
    EXPECT_EQ(LumaOf(4), ShownLuma()) << "a seek while stopped";
    ASSERT_EQ(0, Play(DX_PLAYTYPE_LOOP));
    // Frame 4 began at 400 ms: 250 ms on is frame 6, which wraps to frame 0 of 6.
    TestClock::Set(1250000);
    MoviePlatform_Update(&Movie, 0);
    EXPECT_EQ(0, Movie.Platform->MFCurrentFrame);
    EXPECT_EQ(LumaOf(0), ShownLuma()) << "the loop went back";
    EXPECT_EQ(1, Movie.PlayFlag);
}

TEST_F(ScriptedMediaFoundation, PathRefusedIsReadFromATemporaryCopyThatGoesWithTheMovie)
{
    Script({{Frame::Packed, 0, 0}}, 10, 1, false);
    Refuse = L"scripted.mp4";
    ASSERT_EQ(0, Open());
    ASSERT_EQ(2u, Asked.size());
    std::wstring copy = Asked[1];
    EXPECT_EQ(copy, Movie.Platform->TempFilePath);
    EXPECT_TRUE(FileExists(copy));
    EXPECT_EQ(LumaOf(0), ShownLuma());
    MoviePlatform_Release(&Movie);
    EXPECT_FALSE(FileExists(copy)) << "the copy outlived the movie";
    EXPECT_TRUE(FileExists(path_)) << "the user's file was deleted";

    // Refused on the copy too: the copy is deleted at once, and the flag cleared for the next player.
    Asked.clear();
    Refuse = L"\\";
    MoviePlatformData p = {};
    EXPECT_EQ(-1, OpenMovie_MediaFoundation(&Movie, &p, path_.c_str(), 0));
    ASSERT_EQ(2u, Asked.size());
    EXPECT_EQ(0, p.TempFileFlag);
    EXPECT_FALSE(FileExists(Asked[1]));
    EXPECT_TRUE(FileExists(path_));
}

TEST_F(ScriptedMediaFoundation, AfterAFailedCopyTheGraphPlaysTheUsersFileAndLeavesIt)
{
    // Media Foundation refuses the file and its copy; the graph then opens the user's own path,
    // and the movie's end must not take the user's file with it.
    DShowTest com;
    std::wstring avi = WriteFile(L"colours.avi", BuildAvi());
    Script({{Frame::Packed, 0, 0}}, 10, 1, false);
    Refuse = L"\\";
    ASSERT_EQ(0, MoviePlatform_Open(&Movie, avi.c_str(), 0, 0));
    EXPECT_EQ(2u, Asked.size());
    ASSERT_NE(nullptr, Movie.Platform->GraphBuilder);
    EXPECT_EQ(0, Movie.Platform->TempFileFlag);
    EXPECT_EQ(avi, Movie.Platform->TempFilePath);
    MoviePlatform_Release(&Movie);
    EXPECT_TRUE(FileExists(avi)) << "the user's file was deleted";
}

std::pair<int, int> GraphSize(int Graph)
{
    int x = 0, y = 0;
    GetGraphSize(Graph, &x, &y);
    return {x, y};
}

// Where the device runs shaders, the frame goes to the movie's luma and chroma graphs instead of
// its RGB image: on a recording back end that reports shader level 300.
class ShaderMovie : public MovieTest, public ScriptedMovie
{
protected:
    void SetUp() override
    {
        MovieTest::SetUp();
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, &hardware_);
        savedApi_ = GraphicsAPIType;
        GraphicsAPIType = GRAPHICS_API_D3D11;
        GraphicsState.HardwareInUseFlag = 1;
        FakeHardware = FakeHardwareData();
    }
    void TearDown() override
    {
        MoviePlatform_Release(&Movie);
        for (int *graph : {&Movie.Graph.YGraph, &Movie.Graph.UVGraph})
            if (*graph >= 0) DeleteGraph(*graph);
        GraphicsAPIType = savedApi_;
        GraphicsState.HardwareInUseFlag = 0;
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
        MovieTest::TearDown();
    }
    GraphicsHardwareFunctions hardware_ = RecordingHardwareTable();
    int savedApi_ = 0;
};

TEST_F(ShaderMovie, FramesGoToTheLumaAndChromaGraphs)
{
    Movie.Graph.YGraph = Movie.Graph.UVGraph = -1;
    Script({{Frame::Packed, 0, 0}, {Frame::Packed, 1, 0}}, 10, 1, false);
    ASSERT_EQ(0, Open());
    EXPECT_GE(Movie.Graph.YGraph, 0);
    EXPECT_GE(Movie.Graph.UVGraph, 0);
    EXPECT_EQ(1, Movie.Platform->YUVReady);
    EXPECT_EQ(0, Movie.Platform->RGBReady) << "no RGB image is made while the graphs are";
    EXPECT_EQ(std::make_pair(W, H), GraphSize(Movie.Graph.YGraph));
    EXPECT_EQ(std::make_pair(W / 2, H / 2), GraphSize(Movie.Graph.UVGraph));
    EXPECT_EQ(2u, CallsStartingWith("BltToTexture").size());
    // The next frame goes into the same graphs.
    int luma = Movie.Graph.YGraph;
    ASSERT_EQ(0, MoviePlatform_Seek(&Movie, 1));
    MoviePlatform_Update(&Movie, 0);
    EXPECT_EQ(luma, Movie.Graph.YGraph);
    EXPECT_EQ(4u, CallsStartingWith("BltToTexture").size());
}

TEST_F(ShaderMovie, GraphFramesGoToTheLumaAndChromaGraphs)
{
    DShowTest com;
    Movie.Graph.YGraph = Movie.Graph.UVGraph = -1;
    std::string gray = MoviePath(kGrayMovie);
    MoviePlatformData *p = new MoviePlatformData();
    ASSERT_EQ(0, OpenMovie_DirectShow(&Movie, p, std::wstring(gray.begin(), gray.end()).c_str(), 0));
    ASSERT_EQ(0, MoviePlatform_Play(&Movie, DX_PLAYTYPE_BACK));
    DWORD begun = GetTickCount();
    while (Movie.Graph.YGraph < 0 && GetTickCount() - begun < 5000) {
        MoviePlatform_Update(&Movie, 0);
        Sleep(2);
    }
    ASSERT_GE(Movie.Graph.YGraph, 0);
    ASSERT_GE(Movie.Graph.UVGraph, 0);
    EXPECT_EQ(std::make_pair(32, 24), GraphSize(Movie.Graph.UVGraph));
    MoviePlatform_Release(&Movie);
}

}  // namespace
