// The WAV-dest filter between the tests' PCM source and a stream sink: the types it takes and
// offers, the byte offsets it stamps, and the header it writes into the sink's IStream (Wine's
// own file writer offers none, so the sink here is the tests' own).
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "tests/zovuz/movie/dshow_test_filters.h"
#include "zovuz/movie/dshow/windows/dshow_wav_dest.h"

namespace {

class StreamSink;

// Takes byte streams; answers IID_IStream with a memory stream while Offer is set.
class StreamSinkPin : public D_CBaseInputPin
{
public:
    StreamSinkPin(D_CBaseFilter *Filter, D_CCritSec *Lock, IStream *Stream)
        : D_CBaseInputPin(L"Stream sink pin", Filter, Lock, nullptr, L"In"), Stream(Stream)
    {
    }
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID Id, void **Object) override
    {
        if (IsEqualIID(Id, IID_IStream)) {
            if (!Offer) return E_NOINTERFACE;
            Stream->AddRef();
            *Object = Stream;
            return S_OK;
        }
        return D_CBaseInputPin::NonDelegatingQueryInterface(Id, Object);
    }
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndOfStream() override { return S_OK; }
    HRESULT CheckMediaType(const D_CMediaType *Type) override
    {
        return GuidEqual(Type->majortype, MEDIATYPE_Stream) ? S_OK : S_FALSE;
    }
    IStream *Stream;
    bool Offer = true;
};

class StreamSink : public D_CBaseFilter
{
public:
    explicit StreamSink(IStream *Stream)
        : D_CBaseFilter(L"Stream sink", nullptr, &Lock, CLSID_NULL), Pin(this, &Lock, Stream)
    {
    }
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin **) override { return E_NOTIMPL; }
    int GetPinCount() override { return 1; }
    D_CBasePin *GetPin(int Index) override { return Index == 0 ? &Pin : nullptr; }
    D_CCritSec Lock;
    StreamSinkPin Pin;
};

struct WavDestFixture : public DShowTest
{
    IGraphBuilder *Graph = NewGraph();
    IStream *Memory = nullptr;
    TestSource *Source = new TestSource();
    D_CWavDestFilter *Dest = nullptr;
    StreamSink *Sink = nullptr;
    WavDestFixture()
    {
        CreateStreamOnHGlobal(nullptr, TRUE, &Memory);
        Sink = new StreamSink(Memory);
        HRESULT hr;
        IUnknown *unknown = D_CWavDestFilter_CreateInstance(nullptr, &hr);
        Dest = static_cast<D_CWavDestFilter *>(reinterpret_cast<D_INonDelegatingUnknown *>(unknown));
        Source->Offered.cbFormat = 16;  // a plain PCMWAVEFORMAT
        Graph->AddFilter(Source->Filter(), L"Source");
        Graph->AddFilter(Dest->BaseFilterInterface(), L"WavDest");
        Graph->AddFilter(Sink->BaseFilterInterface(), L"Sink");
        EXPECT_EQ(S_OK, Graph->ConnectDirect(Source->Output(), Dest->GetPin(0)->PinInterface(), nullptr));
        EXPECT_EQ(S_OK, Graph->ConnectDirect(Dest->GetPin(1)->PinInterface(), Sink->Pin.PinInterface(), nullptr));
    }
    ~WavDestFixture()
    {
        Graph->Release();
        Memory->Release();
        D_SafeDelete(Dest);
        D_SafeDelete(Sink);
        D_SafeDelete(Source);
    }
    std::vector<BYTE> Written()
    {
        STATSTG stat;
        Memory->Stat(&stat, STATFLAG_NONAME);
        std::vector<BYTE> bytes((size_t)stat.cbSize.QuadPart);
        LARGE_INTEGER zero = {};
        Memory->Seek(zero, STREAM_SEEK_SET, nullptr);
        ULONG read = 0;
        if (!bytes.empty()) Memory->Read(bytes.data(), (ULONG)bytes.size(), &read);
        return bytes;
    }
};

TEST(WavDest, TypesTemplatesAndPins)
{
    WavDestFixture f;
    D_CMediaType pcm = PcmType(2), video;
    EXPECT_EQ(S_OK, f.Dest->CheckInputType(&pcm));
    EXPECT_EQ(S_FALSE, f.Dest->CheckInputType(&video));
    D_CMediaType out;
    EXPECT_EQ(VFW_S_NO_MORE_ITEMS, f.Dest->GetMediaType(1, &out));
    ASSERT_EQ(S_OK, f.Dest->GetMediaType(0, &out));
    EXPECT_TRUE(GuidEqual(MEDIASUBTYPE_WAVE, out.subtype));
    EXPECT_EQ(1, g_cTemplates);
    EXPECT_STREQ(L"WAV Dest", g_Templates[0].Name);
    EXPECT_EQ(nullptr, f.Dest->GetSetupData());
}

// Samples are stamped with their offsets behind the 44-byte header, which goes in at the end.
TEST(WavDest, StampsOffsetsAndWritesTheHeader)
{
    WavDestFixture f;
    ASSERT_EQ(S_OK, f.Dest->StartStreaming());
    EXPECT_EQ(44u, f.Dest->HeaderBytes());
    TestSamples samples(2, 100);
    IMediaSample *in = samples.Take(), *out = samples.Take();
    for (LONG length : {100L, 60L}) {
        in->SetActualDataLength(length);
        ASSERT_EQ(S_OK, f.Dest->Transform(in, out));
        REFERENCE_TIME start, stop;
        out->GetTime(&start, &stop);
        EXPECT_EQ(stop - start, length);
    }
    REFERENCE_TIME start, stop;
    out->GetTime(&start, &stop);
    EXPECT_EQ(44 + 100, start);

    f.Sink->Pin.Offer = false;
    EXPECT_EQ(E_NOINTERFACE, f.Dest->StopStreaming());
    EXPECT_TRUE(f.Written().empty());
    f.Sink->Pin.Offer = true;
    ASSERT_EQ(S_OK, f.Dest->StopStreaming());
    std::vector<BYTE> header = f.Written();
    ASSERT_EQ(44u, header.size());
    EXPECT_EQ(0, memcmp(header.data(), "RIFF", 4));
    EXPECT_EQ(160u + 44 - 8, header[4] | header[5] << 8);
    EXPECT_EQ(0, memcmp(&header[8], "WAVEfmt ", 8));
    EXPECT_EQ(16, header[16]);
    EXPECT_EQ(0, memcmp(&header[36], "data", 4));
    EXPECT_EQ(160, header[40]);
}

}  // namespace
