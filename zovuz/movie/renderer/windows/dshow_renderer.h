// The renderer filter base and its input pin: the upstream streaming thread hands over one sample
// at a time, the renderer holds it until its presentation time on the graph's reference clock,
// hands it to DoRenderSample, and sends EC_COMPLETE when the last sample's stop time has passed.
#pragma once

#include "zovuz/movie/dshow/windows/dshow_filter.h"
#include "zovuz/movie/dshow/windows/dshow_position.h"

class D_CBaseRenderer;

class D_CRendererInputPin : public D_CBaseInputPin
{
public:
    D_CRendererInputPin(D_CBaseRenderer *Renderer, HRESULT *Result, const wchar_t *Name);

    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR *Id) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample *Sample) override;
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES *Properties) override;

    HRESULT CheckMediaType(const D_CMediaType *Type) override;
    HRESULT SetMediaType(const D_CMediaType *Type) override;
    HRESULT CheckConnect(IPin *Pin) override;
    HRESULT CompleteConnect(IPin *ReceivePin) override;
    HRESULT BreakConnect() override;
    HRESULT Active() override;
    HRESULT Inactive() override;
    HRESULT CheckStreaming() override;

    // The base pin's checks of a received sample (state, properties, type change).
    HRESULT BaseReceive(IMediaSample *Sample) { return D_CBaseInputPin::Receive(Sample); }
    bool CanReconnectWhenActive() const { return m_bCanReconnectWhenActive; }
    bool HasRunTimeError() const { return m_bRunTimeError; }

private:
    D_CBaseRenderer *m_pRenderer;
};

class D_CBaseRenderer : public D_CBaseFilter
{
public:
    D_CBaseRenderer(REFCLSID ClassId, const wchar_t *ObjectName, IUnknown *Outer, HRESULT *Result);
    ~D_CBaseRenderer() override;

    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID Id, void **Object) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME Start) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD TimeOut, FILTER_STATE *State) override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR Id, IPin **Pin) override;

    int GetPinCount() override { return 1; }
    D_CBasePin *GetPin(int Index) override;

    virtual HRESULT GetMediaPositionInterface(REFIID Id, void **Object);
    virtual void SourceThreadCanWait(bool CanWait);
    virtual HRESULT WaitForRenderTime();
    virtual HRESULT CompleteStateChange(FILTER_STATE OldState);
    virtual void OnReceiveFirstSample(IMediaSample *) {}
    virtual void OnRenderStart(IMediaSample *) {}
    virtual void OnRenderEnd(IMediaSample *) {}
    virtual HRESULT OnStartStreaming() { return S_OK; }
    virtual HRESULT OnStopStreaming() { return S_OK; }
    virtual void OnWaitStart() {}
    virtual void OnWaitEnd() {}
    virtual void PrepareRender() {}
    virtual bool ScheduleSample(IMediaSample *Sample);
    virtual HRESULT GetSampleTimes(IMediaSample *Sample, REFERENCE_TIME *Start, REFERENCE_TIME *End);
    virtual HRESULT ShouldDrawSampleNow(IMediaSample *Sample, REFERENCE_TIME *Start, REFERENCE_TIME *End);
    virtual HRESULT SendEndOfStream();
    virtual HRESULT ResetEndOfStream();
    virtual HRESULT EndOfStream();
    virtual HRESULT CancelNotification();
    virtual HRESULT ClearPendingSample();
    virtual HRESULT Active() { return S_OK; }
    virtual HRESULT Inactive();
    virtual HRESULT StartStreaming();
    virtual HRESULT StopStreaming();
    virtual HRESULT BeginFlush();
    virtual HRESULT EndFlush();
    virtual HRESULT BreakConnect();
    virtual HRESULT SetMediaType(const D_CMediaType *) { return S_OK; }
    virtual HRESULT CompleteConnect(IPin *ReceivePin);
    virtual HRESULT PrepareReceive(IMediaSample *Sample);
    virtual HRESULT Receive(IMediaSample *Sample);
    virtual bool HaveCurrentSample();
    virtual IMediaSample *GetCurrentSample();
    virtual HRESULT Render(IMediaSample *Sample);
    virtual HRESULT DoRenderSample(IMediaSample *Sample) = 0;
    virtual HRESULT CheckMediaType(const D_CMediaType *Type) = 0;

    HRESULT NotifyEndOfStream();
    void TimerCallback();
    void WaitForReceiveToComplete();
    void Ready() { SetEvent(m_evComplete); }
    void NotReady() { ResetEvent(m_evComplete); }
    bool IsStreaming() const { return m_bStreaming; }
    bool IsEndOfStream() const { return m_bEOS; }
    bool IsEndOfStreamDelivered() const { return m_bEOSDelivered; }
    bool IsAborted() const { return m_bAbort; }
    void SetAbortSignal(bool Abort) { m_bAbort = Abort; }
    D_CCritSec *InterfaceLock() { return &m_InterfaceLock; }
    D_CCritSec *RendererLock() { return &m_RendererLock; }
    D_CRendererInputPin *InputPin() { return static_cast<D_CRendererInputPin *>(GetPin(0)); }

protected:
    D_CRendererPosPassThru *m_pPosition;
    HANDLE m_RenderEvent;   // auto-reset: the clock's advise, or a sample due now
    HANDLE m_ThreadSignal;  // manual-reset: a waiting source thread must leave
    HANDLE m_evComplete;    // manual-reset: the last state change is complete
    bool m_bAbort;
    bool m_bStreaming;
    DWORD_PTR m_dwAdvise;
    IMediaSample *m_pMediaSample;  // counted; at most one
    bool m_bEOS;
    bool m_bEOSDelivered;
    D_CRendererInputPin *m_pInputPin;
    D_CCritSec m_InterfaceLock;
    D_CCritSec m_RendererLock;
    IQualityControl *m_pQSink;  // counted once queried
    bool m_bRepaintStatus;
    volatile bool m_bInReceive;
    REFERENCE_TIME m_SignalTime;
    UINT m_EndOfStreamTimer;
    D_CCritSec m_ObjectCreationLock;
};

// timeSetEvent with TIME_KILL_SYNCHRONOUS on systems that have it.
MMRESULT CompatibleTimeSetEvent(UINT Delay, UINT Resolution, LPTIMECALLBACK Callback, DWORD_PTR User, UINT Flags);

// A wait on Object (and Event when given) that keeps sent messages flowing; the last wait result.
DWORD WaitDispatchingMessages(HANDLE Object, DWORD TimeOut, HWND Window = nullptr, UINT Message = 0,
                              HANDLE Event = nullptr);
