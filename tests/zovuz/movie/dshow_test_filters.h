// Filters built on the library's DirectShow base classes for the tests: a PCM source with time
// stamps, an XOR in-place filter and a recording renderer with the position pass-through. They
// join the platform's filter graph beside its own filters.
#pragma once

#include <vector>

#include "zovuz/movie/dshow/windows/dshow_allocator.h"
#include "zovuz/movie/dshow/windows/dshow_filter.h"
#include "zovuz/movie/dshow/windows/dshow_position.h"
#include "zovuz/movie/dshow/windows/dshow_transform.h"

// COM on the test's thread, and a check that every object of the family was deleted.
class DShowTest
{
public:
    DShowTest();
    ~DShowTest();
    // A new filter graph (the platform's), with its IGraphBuilder.
    IGraphBuilder *NewGraph();
    // Runs the graph through Control and waits up to Timeout ms for its end (expected): the event
    // code, 0 when none came.
    static long RunToEnd(IGraphBuilder *Graph, IMediaControl *Control, long Timeout = 10000);
};

// A committed memory allocator of Count buffers of Size bytes; the samples taken from it are
// released, and it is decommitted and deleted, with it.
class TestSamples
{
public:
    TestSamples(long Count, long Size);
    ~TestSamples();
    // A buffer holding Bytes, Length of them counted as data (all when -1).
    IMediaSample *Take(const std::vector<BYTE> &Bytes = {}, LONG Length = -1);
    IMemAllocator *Allocator = nullptr;

private:
    D_CMemAllocator *object_ = nullptr;
    std::vector<IMediaSample *> taken_;
};

// 16-bit stereo PCM at 44100 Hz: the type the source offers.
D_CMediaType PcmType(int Channels = 2);
// Byte Index of the source's stream.
BYTE SourceByte(size_t Index);

class TestSource;

// The source's seeking, answered on its output pin: media time only, a fixed duration.
class TestSourceSeeking : public IMediaSeeking
{
public:
    explicit TestSourceSeeking(TestSource *Owner) : Source(Owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void **Object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD *Capabilities) override;
    HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD *Capabilities) override;
    HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID *Format) override;
    HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID *Format) override;
    HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID *Format) override;
    HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID *Format) override;
    HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID *Format) override;
    HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG *Duration) override;
    HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG *Stop) override;
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG *Current) override;
    HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG *Target, const GUID *TargetFormat, LONGLONG Source,
                                                const GUID *SourceFormat) override;
    HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG *Current, DWORD CurrentFlags, LONGLONG *Stop,
                                           DWORD StopFlags) override;
    HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG *Current, LONGLONG *Stop) override;
    HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG *Earliest, LONGLONG *Latest) override;
    HRESULT STDMETHODCALLTYPE SetRate(double Rate) override;
    HRESULT STDMETHODCALLTYPE GetRate(double *Rate) override;
    HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG *Preroll) override;

    TestSource *Source;
    int RateCalls = 0;     // SetRate calls that reached the source
    int CurrentCalls = 0;  // GetCurrentPosition calls that reached the source
};

class TestSourcePin : public D_CBaseOutputPin
{
public:
    TestSourcePin(TestSource *Filter, D_CCritSec *Lock);
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID Id, void **Object) override;
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR *Id) override;
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter *Sender, Quality Q) override;
    HRESULT CheckMediaType(const D_CMediaType *Type) override;
    HRESULT GetMediaType(int Position, D_CMediaType *Type) override;
    HRESULT DecideBufferSize(IMemAllocator *Allocator, ALLOCATOR_PROPERTIES *Properties) override;
    HRESULT Active() override;
    HRESULT Inactive() override;
    // With the source's ReadOnly set, the allocator is handed downstream as read-only.
    HRESULT DecideAllocator(IMemInputPin *Pin, IMemAllocator **Allocator) override;

private:
    static DWORD WINAPI ThreadMain(void *Pin);
    void Stream();
    TestSource *Source;
    HANDLE Thread = nullptr;
};

// Streams SampleCount samples of SampleBytes bytes, each SampleTime long, from a thread started
// when the filter leaves Stopped, then an end of stream. With SampleCount 0 it sends nothing.
class TestSource : public D_CBaseFilter
{
public:
    TestSource();
    ~TestSource() override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR Id, IPin **Pin) override;
    int GetPinCount() override;
    D_CBasePin *GetPin(int Index) override;

    LONG RefCount() const { return m_cRef; }
    IBaseFilter *Filter() { return this; }
    IPin *Output() { return Pin->PinInterface(); }
    REFERENCE_TIME Duration() const { return SampleTime * SampleCount; }

    int SampleCount = 8;
    int SampleBytes = 1000;
    REFERENCE_TIME SampleTime = 100000;  // 10 ms
    D_CMediaType Offered = PcmType();
    bool ReadOnly = false;
    int Spoiled = 0;                 // read-only samples that came back changed
    std::vector<HRESULT> Delivered;  // the result of each Deliver
    TestSourcePin *Pin;
    TestSourceSeeking Seeking{this};
    D_CCritSec Lock;
};

class TestXorFilter : public D_CTransInPlaceFilter
{
public:
    explicit TestXorFilter(BYTE XorKey);
    HRESULT CheckInputType(const D_CMediaType *Type) override;
    HRESULT Transform(IMediaSample *Sample) override;
    IBaseFilter *Filter() { return this; }
    IPin *Input() { return GetPin(0)->PinInterface(); }
    IPin *Output() { return GetPin(1)->PinInterface(); }

    BYTE Key;
    D_CMediaType Accepted = PcmType();
    int Transforms = 0;
};

// A transform filter that writes each sample XORed with its key into an output sample, and drops
// every DropEvery-th sample (0: none) by answering S_FALSE.
class TestCopyXorFilter : public D_CTransformFilter
{
public:
    explicit TestCopyXorFilter(BYTE XorKey);
    HRESULT CheckInputType(const D_CMediaType *Type) override;
    HRESULT CheckTransform(const D_CMediaType *In, const D_CMediaType *Out) override;
    HRESULT DecideBufferSize(IMemAllocator *Allocator, ALLOCATOR_PROPERTIES *Properties) override;
    HRESULT GetMediaType(int Position, D_CMediaType *Type) override;
    HRESULT Transform(IMediaSample *In, IMediaSample *Out) override;
    IBaseFilter *Filter() { return this; }
    IPin *Input() { return GetPin(0)->PinInterface(); }
    IPin *Output() { return GetPin(1)->PinInterface(); }

    BYTE Key;
    int DropEvery = 0;
    int Transforms = 0;
};

class TestRenderer;

class TestRendererPin : public D_CBaseInputPin
{
public:
    TestRendererPin(TestRenderer *Filter, D_CCritSec *Lock);
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR *Id) override;
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample *Sample) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator **Allocator) override;
    HRESULT CheckMediaType(const D_CMediaType *Type) override;

private:
    TestRenderer *Renderer;
};

// Keeps every byte it receives and counts ends of stream; answers the graph's seeking through
// the renderer's position pass-through, and reports EC_COMPLETE once running.
class TestRenderer : public D_CBaseFilter
{
public:
    TestRenderer();
    ~TestRenderer() override;
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID Id, void **Object) override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR Id, IPin **Pin) override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME Start) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    int GetPinCount() override;
    D_CBasePin *GetPin(int Index) override;
    void EndOfStreamReached();

    IBaseFilter *Filter() { return this; }
    IPin *Input() { return Pin->PinInterface(); }

    std::vector<BYTE> Received;
    std::vector<REFERENCE_TIME> Starts;  // of the samples received with times
    int Samples = 0;
    int EndsOfStream = 0;
    bool CompletePending = false;
    TestRendererPin *Pin;
    D_CRendererPosPassThru *Position = nullptr;
    // With OwnAllocator set, the renderer offers the library's memory allocator instead of the
    // platform's. It goes with the renderer: delete the renderer after the filters upstream.
    bool OwnAllocator = false;
    D_CMemAllocator *Allocator = nullptr;
    IMemAllocator *AllocatorInterface = nullptr;
    D_CCritSec Lock;
    D_CCritSec ReceiveLock;
};

// Connects two pins in the graph with ConnectDirect and the type given (null: negotiated).
HRESULT ConnectPins(IGraphBuilder *Graph, IPin *Out, IPin *In, const AM_MEDIA_TYPE *Type = nullptr);
// Waits for the next event of the graph (up to Milliseconds); its code, or 0 when none came.
long NextEvent(IGraphBuilder *Graph, DWORD Milliseconds, LONG_PTR *Param1 = nullptr);
