// Media Foundation conversion through the library's byte stream: WAVE and MP3 files against the
// WAVE reader and lame, whole frames for any channel count, seeking, clean refusals, and the byte
// stream's own protocol where Media Foundation never exercises it.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "tests/zovuz/movie/sound_convert_platform.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/movie/dshow/windows/dshow_base.h"
#include "zovuz/movie/sound_convert/windows/mf_byte_stream.h"
#include "zovuz/movie/sound_convert/windows/sound_convert_dshow.h"

namespace {

using MediaFoundation = PlatformConvertTest<nullptr, &SoundConvertMFMethod>;

TEST_F(MediaFoundation, WaveEqualsTheWaveReader)
{
    const Bytes file = Fixture("tone_440_source.wav");
    MemConverter c(file);
    ASSERT_EQ(0, c.Setup(kToMF));
    EXPECT_EQ(SOUND_CONV_METHOD_MF, c.Conv.Method);
    SoundWaveFormat f = c.Format();
    EXPECT_EQ(2, f.nChannels);
    EXPECT_EQ(44100u, f.nSamplesPerSec);
    EXPECT_EQ(16, f.wBitsPerSample);
    const Bytes pcm = c.ReadRest(5000);
    const Bytes expected = WaveReaderPcm(file);
    ASSERT_EQ(expected.size(), pcm.size());
    EXPECT_TRUE(pcm == expected);
}

TEST_F(MediaFoundation, Mp3MatchesLame)
{
    MemConverter c(Fixture("tone_440_stereo.mp3"));
    ASSERT_EQ(0, c.Setup(kToMF));
    EXPECT_EQ(44100u, c.Format().nSamplesPerSec);
    EXPECT_EQ(2, c.Format().nChannels);
    ExpectLikeLame(c.ReadRest(65536));
}

// Six 16-bit channels do not divide the 4096-byte block: every delivery is whole frames and
// nothing is written behind the block.
TEST_F(MediaFoundation, SixChannelsStayInsideTheBlock)
{
    const Bytes file = Fixture("six_channels.wav");
    MemStream *stream = CreateMemStream(file.data(), (uint32_t)file.size());
    void *state = nullptr;
    unsigned char format[18];
    unsigned int block = 0;
    ASSERT_EQ(0, SoundConvertMFMethod.Setup(GetMemStreamFunctionTable(), stream, &state, format, &block));
    ASSERT_EQ(4096u, block);
    Bytes out(block + 64, 0xA5);
    Bytes all;
    for (int n; (n = SoundConvertMFMethod.Decode(state, out.data(), block, (long long)all.size())) > 0;) {
        ASSERT_LE(n, (int)block);
        EXPECT_EQ(0, n % 12);
        all.insert(all.end(), out.begin(), out.begin() + n);
        for (size_t i = block; i < out.size(); i++) ASSERT_EQ(0xA5, out[i]) << "overrun at " << i;
    }
    SoundConvertMFMethod.Release(state);
    MemStreamClose(stream);
    EXPECT_TRUE(all == WaveReaderPcm(file));
}

// After a seek the first bytes come from at or after the target.
TEST_F(MediaFoundation, SeekStartsAtOrAfterTheTarget)
{
    const Bytes file = Fixture("tone_440_source.wav");
    const Bytes reference = WaveReaderPcm(file);
    MemConverter c(file);
    ASSERT_EQ(0, c.Setup(kToMF));
    for (int64_t sample : {int64_t(44100), int64_t(1000), int64_t(70000)}) {
        SCOPED_TRACE(sample);
        ASSERT_EQ(0, SoundConvert_SetPosition(&c.Conv, sample));
        Bytes got = c.ReadRest(4096, 4096);
        ASSERT_EQ(4096u, got.size());
        size_t at = std::string::npos;
        for (size_t i = (size_t)sample * 4; i + got.size() <= reference.size(); i += 4) {
            if (memcmp(&reference[i], got.data(), got.size()) == 0) {
                at = i;
                break;
            }
        }
        EXPECT_NE(std::string::npos, at);
    }
}

TEST_F(MediaFoundation, RefusesWhatItCannotRead)
{
    for (const char *name : kHostileMp3) {
        SCOPED_TRACE(name);
        MemConverter c(HostileMp3(name));
        EXPECT_EQ(-1, c.Setup(kToMF));
    }
}

// ---- the byte stream ----------------------------------------------------------------------

class TestCallback : public IMFAsyncCallback
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void **Object) override
    {
        if (IsEqualIID(Id, IID_IUnknown) || IsEqualIID(Id, IID_IMFAsyncCallback)) {
            *Object = this;
            return S_OK;
        }
        *Object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetParameters(DWORD *, DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(IMFAsyncResult *Result) override
    {
        Got = Result;
        SetEvent(Done);
        return S_OK;
    }
    HANDLE Done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    IMFAsyncResult *Got = nullptr;
};

TEST_F(MediaFoundation, ByteStreamProtocol)
{
    ASSERT_NE(nullptr, GetMFFunctions());
    ASSERT_HRESULT_SUCCEEDED(GetMFFunctions()->MFStartup(0x20070, MFSTARTUP_FULL));
    Bytes data(1000);
    for (size_t i = 0; i < data.size(); i++) data[i] = (unsigned char)(i * 3);
    MemStream *stream = CreateMemStream(data.data(), (uint32_t)data.size());
    D_SoundConvertMFByteStream *bs =
        D_SoundConvertMFByteStream_CreateInstance(GetMemStreamFunctionTable(), stream, (LONGLONG)data.size());
    ASSERT_NE(nullptr, bs);
    ASSERT_EQ(S_OK, SoundConvertMF_StartWorkerThread(bs));

    IUnknown *unknown = nullptr;
    ASSERT_EQ(S_OK, bs->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&unknown)));
    EXPECT_EQ(static_cast<IUnknown *>(bs), unknown);
    unknown->Release();
    IMFAttributes *attributes = nullptr;
    EXPECT_EQ(S_OK, bs->QueryInterface(IID_IMFAttributes, reinterpret_cast<void **>(&attributes)));
    if (attributes != nullptr) attributes->Release();

    EXPECT_EQ(E_INVALIDARG, bs->Seek((MFBYTESTREAM_SEEK_ORIGIN)2, 0, 0, nullptr));
    QWORD position = 0;
    ASSERT_EQ(S_OK, bs->Seek(msoBegin, 100, 0, &position));
    EXPECT_EQ(100u, position);

    TestCallback callback;
    BYTE buffer[64];
    ASSERT_EQ(S_OK, bs->BeginRead(buffer, 50, &callback, nullptr));
    EXPECT_EQ(E_FAIL, bs->BeginRead(buffer, 50, &callback, nullptr));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(callback.Done, 5000));
    // Still pending until EndRead: reads refused, seeks answered but not made.
    ULONG read = 0;
    EXPECT_EQ(E_FAIL, bs->Read(buffer, 1, &read));
    EXPECT_EQ(S_OK, bs->Seek(msoBegin, 0, 0, nullptr));
    EXPECT_EQ(E_FAIL, bs->EndRead(nullptr, &read));
    ASSERT_EQ(S_OK, bs->EndRead(callback.Got, &read));
    EXPECT_EQ(50u, read);
    EXPECT_EQ(0, memcmp(buffer, &data[100], 50));
    bs->GetCurrentPosition(&position);
    EXPECT_EQ(150u, position);

    BOOL end = FALSE;
    bs->SetCurrentPosition(1000);
    EXPECT_EQ(S_OK, bs->IsEndOfStream(&end));
    EXPECT_TRUE(end);
    EXPECT_EQ(S_OK, bs->Close());
    EXPECT_EQ(S_OK, bs->Close());
    bs->Release();
    MemStreamClose(stream);
    CloseHandle(callback.Done);
    GetMFFunctions()->MFShutdown();
}

}  // namespace
