#include "tests/zovuz/movie/dshow_test_filters.h"

#include <mmreg.h>
#include <string.h>

#include <gtest/gtest.h>

static const GUID CLSID_TestSource = {0x5d1e0c01, 0x1b2c, 0x4d3e, {0x8f, 0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x01}};
static const GUID CLSID_TestXor = {0x5d1e0c01, 0x1b2c, 0x4d3e, {0x8f, 0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x02}};
static const GUID CLSID_TestRenderer = {0x5d1e0c01, 0x1b2c, 0x4d3e, {0x8f, 0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x03}};

DShowTest::DShowTest() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }

DShowTest::~DShowTest()
{
    EXPECT_EQ(0, D_CBaseObject::ObjectCount()) << "objects of the family left alive";
    CoUninitialize();
}

TestSamples::TestSamples(long Count, long Size)
{
    EXPECT_EQ(S_OK, D_CreateMemAllocator(&Allocator, &object_));
    ALLOCATOR_PROPERTIES want = {Count, Size, 1, 0}, got;
    EXPECT_EQ(S_OK, Allocator->SetProperties(&want, &got));
    EXPECT_EQ(S_OK, Allocator->Commit());
}

TestSamples::~TestSamples()
{
    for (IMediaSample *sample : taken_) sample->Release();
    Allocator->Decommit();
    Allocator->Release();
    D_SafeDelete(object_);
}

IMediaSample *TestSamples::Take(const std::vector<BYTE> &Bytes, LONG Length)
{
    IMediaSample *sample = nullptr;
    EXPECT_EQ(S_OK, Allocator->GetBuffer(&sample, nullptr, nullptr, 0));
    BYTE *data = nullptr;
    sample->GetPointer(&data);
    memcpy(data, Bytes.data(), Bytes.size());
    sample->SetActualDataLength(Length < 0 ? static_cast<LONG>(Bytes.size()) : Length);
    taken_.push_back(sample);
    return sample;
}

long DShowTest::RunToEnd(IGraphBuilder *Graph, IMediaControl *Control, long Timeout)
{
    HRESULT hr = Control->Run();
    EXPECT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
    IMediaEvent *events = nullptr;
    Graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void **>(&events));
    long code = 0;
    hr = events->WaitForCompletion(Timeout, &code);
    events->Release();
    EXPECT_EQ(S_OK, hr) << std::hex << hr;
    return hr == S_OK ? code : 0;
}

IGraphBuilder *DShowTest::NewGraph()
{
    IGraphBuilder *graph = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                  reinterpret_cast<void **>(&graph));
    EXPECT_EQ(S_OK, hr);
    return graph;
}

D_CMediaType PcmType(int Channels)
{
    D_CMediaType type;
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_PCM;
    type.formattype = FORMAT_WaveFormatEx;
    type.lSampleSize = 2 * Channels;
    WAVEFORMATEX format;
    memset(&format, 0, sizeof(format));
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(Channels);
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(2 * Channels);
    format.nAvgBytesPerSec = 44100 * format.nBlockAlign;
    type.cbFormat = sizeof(format);
    type.pbFormat = static_cast<BYTE *>(CoTaskMemAlloc(sizeof(format)));
    memcpy(type.pbFormat, &format, sizeof(format));
    return type;
}

BYTE SourceByte(size_t Index) { return static_cast<BYTE>((Index * 7 + Index / 251) & 0xFF); }

static HRESULT CopyId(const wchar_t *Text, LPWSTR *Id)
{
    if (Id == nullptr) return E_POINTER;
    size_t bytes = (wcslen(Text) + 1) * sizeof(wchar_t);
    *Id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    memcpy(*Id, Text, bytes);
    return S_OK;
}

static HRESULT FindOnePin(LPCWSTR Id, const wchar_t *Name, D_CBasePin *Pin, IPin **Out)
{
    if (Out == nullptr) return E_POINTER;
    *Out = nullptr;
    if (Id == nullptr || wcscmp(Id, Name) != 0) return VFW_E_NOT_FOUND;
    *Out = Pin->PinInterface();
    (*Out)->AddRef();
    return S_OK;
}

// --- source --------------------------------------------------------------------------------

HRESULT TestSourceSeeking::QueryInterface(REFIID Id, void **Object)
{
    return Source->Output()->QueryInterface(Id, Object);
}
ULONG TestSourceSeeking::AddRef() { return Source->Output()->AddRef(); }
ULONG TestSourceSeeking::Release() { return Source->Output()->Release(); }

HRESULT TestSourceSeeking::GetCapabilities(DWORD *Capabilities)
{
    *Capabilities = AM_SEEKING_CanGetDuration | AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetCurrentPos;
    return S_OK;
}

HRESULT TestSourceSeeking::CheckCapabilities(DWORD *Capabilities)
{
    DWORD own = 0;
    GetCapabilities(&own);
    DWORD asked = *Capabilities;
    *Capabilities &= own;
    return *Capabilities == asked ? S_OK : (*Capabilities != 0 ? S_FALSE : E_FAIL);
}

static bool IsMediaTime(const GUID *Format)
{
    return Format == nullptr || IsEqualGUID(*Format, TIME_FORMAT_MEDIA_TIME);
}

HRESULT TestSourceSeeking::IsFormatSupported(const GUID *Format) { return IsMediaTime(Format) ? S_OK : S_FALSE; }
HRESULT TestSourceSeeking::QueryPreferredFormat(GUID *Format)
{
    *Format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}
HRESULT TestSourceSeeking::GetTimeFormat(GUID *Format) { return QueryPreferredFormat(Format); }
HRESULT TestSourceSeeking::IsUsingTimeFormat(const GUID *Format) { return IsMediaTime(Format) ? S_OK : S_FALSE; }
HRESULT TestSourceSeeking::SetTimeFormat(const GUID *Format) { return IsMediaTime(Format) ? S_OK : E_INVALIDARG; }

HRESULT TestSourceSeeking::GetDuration(LONGLONG *Duration)
{
    *Duration = Source->Duration();
    return S_OK;
}

HRESULT TestSourceSeeking::GetStopPosition(LONGLONG *Stop) { return GetDuration(Stop); }

HRESULT TestSourceSeeking::GetCurrentPosition(LONGLONG *Current)
{
    CurrentCalls++;
    *Current = 0;
    return S_OK;
}

HRESULT TestSourceSeeking::ConvertTimeFormat(LONGLONG *Target, const GUID *TargetFormat, LONGLONG Value,
                                             const GUID *SourceFormat)
{
    if (!IsMediaTime(TargetFormat) || !IsMediaTime(SourceFormat)) return E_INVALIDARG;
    *Target = Value;
    return S_OK;
}

HRESULT TestSourceSeeking::SetPositions(LONGLONG *, DWORD, LONGLONG *, DWORD) { return S_OK; }

HRESULT TestSourceSeeking::GetPositions(LONGLONG *Current, LONGLONG *Stop)
{
    if (Current != nullptr) *Current = 0;
    if (Stop != nullptr) *Stop = Source->Duration();
    return S_OK;
}

HRESULT TestSourceSeeking::GetAvailable(LONGLONG *Earliest, LONGLONG *Latest) { return GetPositions(Earliest, Latest); }

HRESULT TestSourceSeeking::SetRate(double)
{
    RateCalls++;
    return S_OK;
}

HRESULT TestSourceSeeking::GetRate(double *Rate)
{
    *Rate = 1.0;
    return S_OK;
}

HRESULT TestSourceSeeking::GetPreroll(LONGLONG *Preroll)
{
    *Preroll = 0;
    return S_OK;
}

TestSourcePin::TestSourcePin(TestSource *Filter, D_CCritSec *Lock)
    : D_CBaseOutputPin(L"Test source pin", Filter, Lock, nullptr, L"Out"), Source(Filter)
{
}

HRESULT TestSourcePin::NonDelegatingQueryInterface(REFIID Id, void **Object)
{
    if (Object == nullptr) return E_POINTER;
    if (IsEqualIID(Id, IID_IMediaSeeking)) return D_GetInterface(&Source->Seeking, Object);
    return D_CBaseOutputPin::NonDelegatingQueryInterface(Id, Object);
}

HRESULT TestSourcePin::QueryId(LPWSTR *Id) { return CopyId(L"Out", Id); }
HRESULT TestSourcePin::Notify(IBaseFilter *, Quality) { return E_NOTIMPL; }

HRESULT TestSourcePin::CheckMediaType(const D_CMediaType *Type)
{
    return *Type == Source->Offered ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TestSourcePin::GetMediaType(int Position, D_CMediaType *Type)
{
    if (Position < 0) return E_INVALIDARG;
    if (Position > 0) return VFW_S_NO_MORE_ITEMS;
    *Type = Source->Offered;
    return S_OK;
}

HRESULT TestSourcePin::DecideBufferSize(IMemAllocator *Allocator, ALLOCATOR_PROPERTIES *Properties)
{
    Properties->cBuffers = 4;
    Properties->cbBuffer = Source->SampleBytes;
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = Allocator->SetProperties(Properties, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer < Source->SampleBytes ? E_FAIL : S_OK;
}

HRESULT TestSourcePin::Active()
{
    HRESULT hr = D_CBaseOutputPin::Active();
    if (FAILED(hr) || Source->SampleCount == 0) return hr;
    Thread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    return Thread != nullptr ? S_OK : E_FAIL;
}

HRESULT TestSourcePin::Inactive()
{
    HRESULT hr = D_CBaseOutputPin::Inactive();
    if (Thread != nullptr) {
        WaitForSingleObject(Thread, INFINITE);
        CloseHandle(Thread);
        Thread = nullptr;
    }
    return hr;
}

HRESULT TestSourcePin::DecideAllocator(IMemInputPin *Pin, IMemAllocator **Allocator)
{
    if (!Source->ReadOnly) return D_CBaseOutputPin::DecideAllocator(Pin, Allocator);
    *Allocator = nullptr;
    for (int attempt = 0; attempt < 2; attempt++) {
        ALLOCATOR_PROPERTIES properties = {0, 0, 1, 0};
        HRESULT hr = attempt == 0 ? Pin->GetAllocator(Allocator) : InitAllocator(Allocator);
        if (SUCCEEDED(hr)) hr = DecideBufferSize(*Allocator, &properties);
        if (SUCCEEDED(hr)) hr = Pin->NotifyAllocator(*Allocator, TRUE);
        if (SUCCEEDED(hr)) return S_OK;
        if (*Allocator != nullptr) (*Allocator)->Release();
        *Allocator = nullptr;
    }
    return E_FAIL;
}

DWORD WINAPI TestSourcePin::ThreadMain(void *Pin)
{
    static_cast<TestSourcePin *>(Pin)->Stream();
    return 0;
}

void TestSourcePin::Stream()
{
    size_t offset = 0;
    for (int k = 0; k < Source->SampleCount; k++) {
        IMediaSample *sample = nullptr;
        HRESULT hr = GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr)) {
            Source->Delivered.push_back(hr);
            return;
        }
        BYTE *data = nullptr;
        sample->GetPointer(&data);
        for (int i = 0; i < Source->SampleBytes; i++) data[i] = SourceByte(offset + i);
        offset += Source->SampleBytes;
        sample->SetActualDataLength(Source->SampleBytes);
        REFERENCE_TIME start = k * Source->SampleTime, stop = (k + 1) * Source->SampleTime;
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        sample->SetDiscontinuity(k == 0);
        hr = Deliver(sample);
        if (Source->ReadOnly)
            for (int i = 0; i < Source->SampleBytes; i++)
                if (data[i] != SourceByte(offset - Source->SampleBytes + i)) {
                    Source->Spoiled++;
                    break;
                }
        sample->Release();
        Source->Delivered.push_back(hr);
        if (hr != S_OK) return;
    }
    DeliverEndOfStream();
}

TestSource::TestSource() : D_CBaseFilter(L"Test source", nullptr, &Lock, CLSID_TestSource)
{
    Pin = new TestSourcePin(this, &Lock);
}

TestSource::~TestSource() { D_SafeDelete(Pin); }

HRESULT TestSource::FindPin(LPCWSTR Id, IPin **Out) { return FindOnePin(Id, L"Out", Pin, Out); }
int TestSource::GetPinCount() { return 1; }
D_CBasePin *TestSource::GetPin(int Index) { return Index == 0 ? Pin : nullptr; }

// --- XOR filter ----------------------------------------------------------------------------

TestXorFilter::TestXorFilter(BYTE XorKey)
    : D_CTransInPlaceFilter(L"Test XOR", nullptr, CLSID_TestXor, nullptr, true), Key(XorKey)
{
}

HRESULT TestXorFilter::CheckInputType(const D_CMediaType *Type)
{
    return *Type == Accepted ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TestXorFilter::Transform(IMediaSample *Sample)
{
    BYTE *data = nullptr;
    Sample->GetPointer(&data);
    LONG length = Sample->GetActualDataLength();
    for (LONG i = 0; i < length; i++) data[i] ^= Key;
    Transforms++;
    return S_OK;
}

// --- copying XOR filter -------------------------------------------------------------------

static const GUID CLSID_TestCopyXor = {0x5d1e0c01, 0x1b2c, 0x4d3e, {0x8f, 0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x04}};

TestCopyXorFilter::TestCopyXorFilter(BYTE XorKey)
    : D_CTransformFilter(L"Test copy XOR", nullptr, CLSID_TestCopyXor), Key(XorKey)
{
}

HRESULT TestCopyXorFilter::CheckInputType(const D_CMediaType *Type)
{
    return IsEqualGUID(Type->majortype, MEDIATYPE_Audio) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TestCopyXorFilter::CheckTransform(const D_CMediaType *In, const D_CMediaType *Out)
{
    return *In == *Out ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TestCopyXorFilter::DecideBufferSize(IMemAllocator *Allocator, ALLOCATOR_PROPERTIES *Properties)
{
    ALLOCATOR_PROPERTIES input, actual;
    HRESULT hr = m_pInput->PeekAllocator()->GetProperties(&input);
    if (FAILED(hr)) return hr;
    Properties->cBuffers = 2;
    Properties->cbBuffer = input.cbBuffer;
    hr = Allocator->SetProperties(Properties, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer < input.cbBuffer ? E_FAIL : S_OK;
}

HRESULT TestCopyXorFilter::GetMediaType(int Position, D_CMediaType *Type)
{
    if (Position < 0) return E_INVALIDARG;
    if (Position > 0) return VFW_S_NO_MORE_ITEMS;
    *Type = m_pInput->CurrentMediaType();
    return S_OK;
}

HRESULT TestCopyXorFilter::Transform(IMediaSample *In, IMediaSample *Out)
{
    Transforms++;
    if (DropEvery != 0 && Transforms % DropEvery == 0) return S_FALSE;
    BYTE *from = nullptr, *to = nullptr;
    In->GetPointer(&from);
    Out->GetPointer(&to);
    LONG length = In->GetActualDataLength();
    if (length > Out->GetSize()) return E_FAIL;
    for (LONG i = 0; i < length; i++) to[i] = from[i] ^ Key;
    Out->SetActualDataLength(length);
    return S_OK;
}

// --- renderer ------------------------------------------------------------------------------

TestRendererPin::TestRendererPin(TestRenderer *Filter, D_CCritSec *Lock)
    : D_CBaseInputPin(L"Test renderer pin", Filter, Lock, nullptr, L"In"), Renderer(Filter)
{
}

HRESULT TestRendererPin::QueryId(LPWSTR *Id) { return CopyId(L"In", Id); }
HRESULT TestRendererPin::CheckMediaType(const D_CMediaType *Type)
{
    return IsEqualGUID(Type->majortype, MEDIATYPE_Audio) ? S_OK : S_FALSE;
}

HRESULT TestRendererPin::Receive(IMediaSample *Sample)
{
    D_CAutoLock lock(&Renderer->ReceiveLock);
    HRESULT hr = D_CBaseInputPin::Receive(Sample);
    if (hr != S_OK) return hr;
    BYTE *data = nullptr;
    Sample->GetPointer(&data);
    Renderer->Received.insert(Renderer->Received.end(), data, data + Sample->GetActualDataLength());
    Renderer->Samples++;
    REFERENCE_TIME start, stop;
    if (Sample->GetTime(&start, &stop) == S_OK) {
        Renderer->Starts.push_back(start);
        Renderer->Position->RegisterMediaTime(start, stop);
    }
    return S_OK;
}

HRESULT TestRendererPin::GetAllocator(IMemAllocator **Allocator)
{
    if (!Renderer->OwnAllocator) return D_CBaseInputPin::GetAllocator(Allocator);
    if (Allocator == nullptr) return E_POINTER;
    if (Renderer->Allocator == nullptr) {
        HRESULT hr = D_CreateMemAllocator(&Renderer->AllocatorInterface, &Renderer->Allocator);
        if (FAILED(hr)) return hr;
    }
    *Allocator = Renderer->AllocatorInterface;
    (*Allocator)->AddRef();
    return S_OK;
}

HRESULT TestRendererPin::EndOfStream()
{
    Renderer->EndOfStreamReached();
    return S_OK;
}

TestRenderer::TestRenderer() : D_CBaseFilter(L"Test renderer", nullptr, &Lock, CLSID_TestRenderer)
{
    Pin = new TestRendererPin(this, &Lock);
    HRESULT hr = S_OK;
    Position = new D_CRendererPosPassThru(L"Test renderer position", GetOwner(), &hr, Pin->PinInterface());
}

TestRenderer::~TestRenderer()
{
    D_SafeDelete(Position);
    D_SafeDelete(Pin);
    D_SafeDelete(Allocator);
}

HRESULT TestRenderer::NonDelegatingQueryInterface(REFIID Id, void **Object)
{
    if (IsEqualIID(Id, IID_IMediaSeeking) || IsEqualIID(Id, IID_IMediaPosition))
        return Position->NonDelegatingQueryInterface(Id, Object);
    return D_CBaseFilter::NonDelegatingQueryInterface(Id, Object);
}

HRESULT TestRenderer::FindPin(LPCWSTR Id, IPin **Out) { return FindOnePin(Id, L"In", Pin, Out); }
int TestRenderer::GetPinCount() { return 1; }
D_CBasePin *TestRenderer::GetPin(int Index) { return Index == 0 ? Pin : nullptr; }

void TestRenderer::EndOfStreamReached()
{
    D_CAutoLock lock(&Lock);
    EndsOfStream++;
    if (m_State == State_Running)
        NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(Filter()));
    else
        CompletePending = true;
}

HRESULT TestRenderer::Run(REFERENCE_TIME Start)
{
    D_CAutoLock lock(&Lock);
    HRESULT hr = D_CBaseFilter::Run(Start);
    if (SUCCEEDED(hr) && CompletePending) {
        CompletePending = false;
        NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(Filter()));
    }
    return hr;
}

HRESULT TestRenderer::Stop()
{
    D_CAutoLock lock(&Lock);
    CompletePending = false;
    Position->ResetMediaTime();
    return D_CBaseFilter::Stop();
}

HRESULT ConnectPins(IGraphBuilder *Graph, IPin *Out, IPin *In, const AM_MEDIA_TYPE *Type)
{
    return Graph->ConnectDirect(Out, In, Type);
}

long NextEvent(IGraphBuilder *Graph, DWORD Milliseconds, LONG_PTR *Param1)
{
    IMediaEvent *events = nullptr;
    if (FAILED(Graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void **>(&events)))) return 0;
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    if (events->GetEvent(&code, &p1, &p2, Milliseconds) != S_OK)
        code = 0;
    else
        events->FreeEventParams(code, p1, p2);
    events->Release();
    if (Param1 != nullptr) *Param1 = p1;
    return code;
}
