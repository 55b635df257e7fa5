// MP3 decoded whole through a DirectShow graph: the memory reader and the sample grabber on
// their own, then the conversion method against lame's own decoding of the same file, its
// seeking, its clean failures and the objects it leaves behind.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>

#include "zovuz/core/library_state_internal.h"
#include "tests/zovuz/movie/dshow_test_filters.h"
#include "tests/zovuz/movie/sound_convert_platform.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/movie/dshow/windows/dshow_mem_reader.h"
#include "zovuz/movie/dshow/windows/dshow_sample_grabber.h"
#include "zovuz/movie/sound_convert/windows/sound_convert_dshow.h"

namespace {

// Only the DirectShow method; every D_ object gone at the end.
class DShowMp3 : public PlatformConvertTest<&SoundConvertDShowMp3Method, nullptr>, public DShowTest
{
};

TEST_F(DShowMp3, DecodesLikeLame)
{
    Bytes pcm;
    {
        MemConverter mp3(Fixture("tone_440_stereo.mp3"));
        ASSERT_EQ(0, mp3.Setup(kToDShow));
        EXPECT_EQ(SOUND_CONV_METHOD_DSMP3, mp3.Conv.Method);
        SoundWaveFormat f = mp3.Format();
        EXPECT_EQ(44100u, f.nSamplesPerSec);
        EXPECT_EQ(2, f.nChannels);
        EXPECT_EQ(16, f.wBitsPerSample);
        pcm = mp3.ReadRest(65536);
        EXPECT_EQ((size_t)SoundConvert_GetDestSize(&mp3.Conv), pcm.size());
    }
    ExpectLikeLame(pcm);
    EXPECT_EQ(0, D_CBaseObject::ObjectCount());
}

// A seek to sample s delivers the image from s x 4 bytes on; seeks past the end deliver nothing.
TEST_F(DShowMp3, SeekDeliversTheImageFromThere)
{
    MemConverter mp3(Fixture("tone_440_stereo.mp3"));
    ASSERT_EQ(0, mp3.Setup(kToDShow));
    const Bytes whole = mp3.ReadRest(65536);
    ASSERT_GT(whole.size(), 40000u);
    for (int64_t sample : {int64_t(0), int64_t(1), int64_t(12345), int64_t(whole.size() / 4 - 10)}) {
        SCOPED_TRACE(sample);
        SoundConvert_SetPosition(&mp3.Conv, whole.size() / 8);  // away first, so the seek is not too small
        ASSERT_EQ(0, SoundConvert_SetPosition(&mp3.Conv, sample));
        Bytes got = mp3.ReadRest(7000);
        ASSERT_EQ(whole.size() - sample * 4, got.size());
        EXPECT_TRUE(memcmp(&whole[sample * 4], got.data(), got.size()) == 0);
    }
    EXPECT_EQ(0, SoundConvert_SetPosition(&mp3.Conv, whole.size()));
    EXPECT_TRUE(mp3.ReadRest().empty());
}

// A stream that claims Size bytes and holds none.
struct ClaimedSizeStream
{
    int64_t Size, Position = 0;
    int Reads = 0;
    static StreamFunctionTable Table()
    {
        StreamFunctionTable t = {};
        t.Tell = [](void *S) { return static_cast<ClaimedSizeStream *>(S)->Position; };
        t.Seek = [](void *S, int64_t Point, int Type) {
            ClaimedSizeStream *s = static_cast<ClaimedSizeStream *>(S);
            s->Position = Type == FILE_SEEK_END ? s->Size + Point : Point;
            return 0;
        };
        t.Read = [](void *, size_t, size_t, void *S) {
            static_cast<ClaimedSizeStream *>(S)->Reads++;
            return size_t(0);
        };
        return t;
    }
};

// What the platform cannot decode is refused with nothing held; so is a file whose PCM image
// would not fit 32 bits (before a byte of it is read), and a decode the program's end interrupts.
TEST_F(DShowMp3, FailuresHoldNothing)
{
    for (const char *name : kHostileMp3) {
        SCOPED_TRACE(name);
        MemConverter c(HostileMp3(name));
        EXPECT_EQ(-1, c.Setup(kToDShow));
        EXPECT_EQ(0, D_CBaseObject::ObjectCount());
    }
    RemoveLogFile();
    {
        ClaimedSizeStream huge = {0xFFFFFFFFLL / 10 + 1};
        const StreamFunctionTable table = ClaimedSizeStream::Table();
        void *state = nullptr;
        unsigned char format[18];
        unsigned int block = 0;
        EXPECT_EQ(-1, SoundConvertDShowMp3Method.Setup(&table, &huge, &state, format, &block));
        EXPECT_EQ(0, huge.Reads);
        EXPECT_NE(std::wstring::npos, ReadLogText().find(L"PCMデータを格納するメモリ領域の確保に失敗しました"));
    }
    LibraryState.Quit = 1;
    {
        MemConverter c(Fixture("tone_440_stereo.mp3"));
        EXPECT_EQ(-1, c.Setup(kToDShow));
    }
    ClearLibraryQuitFlags();
    EXPECT_NE(std::wstring::npos, ReadLogText().find(L"MP3変換の途中でソフトが終了しました"));
    EXPECT_EQ(0, D_CBaseObject::ObjectCount());
}

// ---- the memory reader on its own ----------------------------------------------------------

struct ReaderFixture : public DShowTest
{
    Bytes Data = Bytes(1000);
    D_CMemStream *Stream;
    D_CMemReader *Reader;
    ReaderFixture()
    {
        for (size_t i = 0; i < Data.size(); i++) Data[i] = (BYTE)(i * 7);
        Stream = D_CMemStream_Create(Data.data(), (LONGLONG)Data.size(), 0, 0xFFFFFFFF);
        D_CMediaType type;
        type.majortype = MEDIATYPE_Stream;
        type.subtype = MEDIASUBTYPE_MPEG1Audio;
        HRESULT hr;
        Reader = D_CMemReader_CreateInstance(Stream, &type, &hr);
    }
    ~ReaderFixture()
    {
        D_SafeDelete(Reader);
        delete Stream;
    }
    IAsyncReader *Async()
    {
        IAsyncReader *async = nullptr;
        Reader->OutputPin()->PinInterface()->QueryInterface(IID_IAsyncReader, reinterpret_cast<void **>(&async));
        return async;
    }
};

TEST(MemReader, StreamBoundsAndLength)
{
    ReaderFixture f;
    EXPECT_EQ(S_OK, f.Stream->SetPointer(1000));
    EXPECT_EQ(S_FALSE, f.Stream->SetPointer(1001));
    EXPECT_EQ(S_FALSE, f.Stream->SetPointer(-1));
    IAsyncReader *async = f.Async();
    ASSERT_NE(nullptr, async);
    LONGLONG total = 0, available = 0;
    EXPECT_EQ(S_OK, async->Length(&total, &available));
    EXPECT_EQ(1000, total);
    EXPECT_EQ(1000, available);
    EXPECT_EQ(E_POINTER, async->Length(nullptr, &available));

    BYTE buffer[64];
    EXPECT_EQ(S_OK, async->SyncRead(990, 10, buffer));
    EXPECT_EQ(f.Data[995], buffer[5]);
    EXPECT_EQ(S_FALSE, async->SyncRead(995, 10, buffer));
    // A negative length is refused instead of becoming a huge copy.
    EXPECT_EQ(E_INVALIDARG, async->SyncRead(0, -1, buffer));
    async->Release();
}

// Request / WaitForNext with samples of the reader's allocator, as a downstream pin uses them.
TEST(MemReader, RequestsCutAtTheEndAndFlush)
{
    ReaderFixture f;
    IAsyncReader *async = f.Async();
    ASSERT_NE(nullptr, async);
    ALLOCATOR_PROPERTIES props = {2, 512, 1, 0};
    IMemAllocator *allocator = nullptr;
    ASSERT_EQ(S_OK, async->RequestAllocator(nullptr, &props, &allocator));
    ASSERT_EQ(S_OK, allocator->Commit());

    IMediaSample *sample = nullptr;
    ASSERT_EQ(S_OK, allocator->GetBuffer(&sample, nullptr, nullptr, 0));
    REFERENCE_TIME start = 768LL * 10000000, stop = (768LL + 512) * 10000000;
    sample->SetTime(&start, &stop);
    ASSERT_EQ(S_OK, async->Request(sample, 77));
    IMediaSample *done = nullptr;
    DWORD_PTR user = 0;
    EXPECT_EQ(S_OK, async->WaitForNext(5000, &done, &user));
    EXPECT_EQ(sample, done);
    EXPECT_EQ(77u, user);
    EXPECT_EQ(232, done->GetActualDataLength());
    done->GetTime(&start, &stop);
    EXPECT_EQ(10000000000LL, stop);
    BYTE *data = nullptr;
    done->GetPointer(&data);
    EXPECT_EQ(0, memcmp(data, &f.Data[768], 232));

    // While flushing, requests are refused and WaitForNext does not block.
    async->BeginFlush();
    EXPECT_EQ(VFW_E_WRONG_STATE, async->Request(sample, 1));
    EXPECT_EQ(VFW_E_WRONG_STATE, async->WaitForNext(INFINITE, &done, &user));
    async->EndFlush();
    EXPECT_EQ(VFW_E_TIMEOUT, async->WaitForNext(10, &done, &user));
    sample->Release();
    allocator->Decommit();
    allocator->Release();
    async->Release();
}

TEST(MemReader, PinOffersItsTypeAndNeedsTheAsyncQuery)
{
    ReaderFixture f;
    D_CAsyncOutputPin *pin = f.Reader->OutputPin();
    D_CMediaType type;
    EXPECT_EQ(E_INVALIDARG, pin->GetMediaType(-1, &type));
    EXPECT_EQ(VFW_S_NO_MORE_ITEMS, pin->GetMediaType(1, &type));
    ASSERT_EQ(S_OK, pin->GetMediaType(0, &type));
    EXPECT_TRUE(GuidEqual(MEDIASUBTYPE_MPEG1Audio, type.subtype));
    type.subtype = MEDIASUBTYPE_PCM;
    EXPECT_EQ(S_FALSE, pin->CheckMediaType(&type));
    type.subtype = MEDIASUBTYPE_MPEG1Audio;
    EXPECT_EQ(S_OK, pin->CheckMediaType(&type));
    EXPECT_EQ(E_FAIL, pin->CompleteConnect(nullptr));
    EXPECT_EQ(nullptr, f.Reader->GetPin(1));
}

// ---- the sample grabber on its own --------------------------------------------------------

TEST(SampleGrabber, InputTypesAndDeliveryBufferMisuse)
{
    DShowTest com;
    HRESULT hr;
    D_CSampleGrabber *grabber = D_CSampleGrabber_CreateInstance(nullptr, &hr);
    ASSERT_NE(nullptr, grabber);
    D_IGrabberSample *sample = nullptr;
    ASSERT_EQ(S_OK,
              grabber->BaseFilterInterface()->QueryInterface(IID_IGrabberSample, reinterpret_cast<void **>(&sample)));
    D_CMediaType pcm = PcmType(2);
    D_CMediaType video;
    video.majortype = MEDIATYPE_Video;
    D_CMediaType otherSub = pcm;
    otherSub.subtype = MEDIASUBTYPE_IEEE_FLOAT;
    D_CMediaType otherFormat = pcm;
    otherFormat.formattype = FORMAT_VideoInfo;

    D_CMediaType accept;
    // Nothing set: everything passes.
    EXPECT_EQ(S_OK, grabber->CheckInputType(&video));
    accept.majortype = MEDIATYPE_Audio;
    accept.subtype = MEDIASUBTYPE_PCM;
    ASSERT_EQ(S_OK, sample->SetAcceptedMediaType(&accept));
    struct Case
    {
        const D_CMediaType *Type;
        HRESULT Expected;
    };
    const Case noFormat[] = {
        {&pcm, S_OK}, {&video, VFW_E_INVALID_MEDIA_TYPE}, {&otherSub, VFW_E_INVALID_MEDIA_TYPE}, {&otherFormat, S_OK}};
    for (const Case &c : noFormat) EXPECT_EQ(c.Expected, grabber->CheckInputType(c.Type));
    accept.formattype = FORMAT_WaveFormatEx;
    ASSERT_EQ(S_OK, sample->SetAcceptedMediaType(&accept));
    EXPECT_EQ(VFW_E_INVALID_MEDIA_TYPE, grabber->CheckInputType(&otherFormat));
    EXPECT_EQ(S_OK, grabber->CheckInputType(&pcm));
    ASSERT_EQ(S_OK, sample->SetAcceptedMediaType(nullptr));
    EXPECT_EQ(S_OK, grabber->CheckInputType(&video));

    D_CMediaType connected;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, sample->GetConnectedMediaType(&connected));
    BYTE buffer[256];
    ALLOCATOR_PROPERTIES two = {2, 128, 1, 0}, one = {1, 128, 1, 0};
    EXPECT_EQ(E_POINTER, sample->SetDeliveryBuffer(one, buffer));  // no output pin made yet
    grabber->GetPin(1);
    EXPECT_EQ(E_INVALIDARG, sample->SetDeliveryBuffer(two, buffer));
    EXPECT_EQ(E_POINTER, sample->SetDeliveryBuffer(one, nullptr));
    EXPECT_EQ(S_OK, sample->SetDeliveryBuffer(one, buffer));
    sample->Release();
    D_SafeDelete(grabber);
}

}  // namespace
