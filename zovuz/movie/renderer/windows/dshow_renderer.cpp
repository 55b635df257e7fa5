// The renderer filter base: one held sample, rendered at its time on the reference clock.
#include "zovuz/movie/renderer/windows/dshow_renderer.h"

#include <mmsystem.h>

#include <cwchar>
#include <new>

// --- input pin -----------------------------------------------------------------------------

D_CRendererInputPin::D_CRendererInputPin(D_CBaseRenderer *Renderer, HRESULT *Result, const wchar_t *Name)
    : D_CBaseInputPin(L"Renderer pin", Renderer, Renderer->InterfaceLock(), Result, Name), m_pRenderer(Renderer)
{
}

HRESULT STDMETHODCALLTYPE D_CRendererInputPin::QueryId(LPWSTR *Id)
{
    if (Id == nullptr) return E_POINTER;
    *Id = static_cast<LPWSTR>(CoTaskMemAlloc(8));
    if (*Id == nullptr) return E_OUTOFMEMORY;
    wcscpy(*Id, L"In");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CRendererInputPin::EndOfStream()
{
    D_CAutoLock interfaceLock(m_pRenderer->InterfaceLock());
    D_CAutoLock rendererLock(m_pRenderer->RendererLock());
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    hr = m_pRenderer->EndOfStream();
    return FAILED(hr) ? hr : S_OK;
}

HRESULT STDMETHODCALLTYPE D_CRendererInputPin::BeginFlush()
{
    D_CAutoLock interfaceLock(m_pRenderer->InterfaceLock());
    {
        D_CAutoLock rendererLock(m_pRenderer->RendererLock());
        D_CBaseInputPin::BeginFlush();
        m_pRenderer->BeginFlush();
    }
    return m_pRenderer->ResetEndOfStream();
}

HRESULT STDMETHODCALLTYPE D_CRendererInputPin::EndFlush()
{
    D_CAutoLock interfaceLock(m_pRenderer->InterfaceLock());
    D_CAutoLock rendererLock(m_pRenderer->RendererLock());
    HRESULT hr = m_pRenderer->EndFlush();
    if (SUCCEEDED(hr)) hr = D_CBaseInputPin::EndFlush();
    return hr;
}

HRESULT STDMETHODCALLTYPE D_CRendererInputPin::Receive(IMediaSample *Sample)
{
    HRESULT hr = m_pRenderer->Receive(Sample);
    if (FAILED(hr)) {
        D_CAutoLock interfaceLock(m_pRenderer->InterfaceLock());
        if (!m_pRenderer->IsStopped() && !IsFlushing() && !m_pRenderer->IsAborted() && !m_bRunTimeError) {
            m_pRenderer->NotifyEvent(EC_ERRORABORT, hr, 0);
            {
                D_CAutoLock rendererLock(m_pRenderer->RendererLock());
                if (m_pRenderer->IsStreaming() && !m_pRenderer->IsEndOfStreamDelivered())
                    m_pRenderer->NotifyEndOfStream();
            }
            m_bRunTimeError = true;
        }
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE D_CRendererInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES *) { return E_NOTIMPL; }

HRESULT D_CRendererInputPin::CheckMediaType(const D_CMediaType *Type) { return m_pRenderer->CheckMediaType(Type); }

HRESULT D_CRendererInputPin::SetMediaType(const D_CMediaType *Type)
{
    HRESULT hr = D_CBaseInputPin::SetMediaType(Type);
    if (FAILED(hr)) return hr;
    return m_pRenderer->SetMediaType(Type);
}

HRESULT D_CRendererInputPin::CheckConnect(IPin *Pin)
{
    PIN_DIRECTION direction;
    if (SUCCEEDED(Pin->QueryDirection(&direction)) && direction == m_dir) return VFW_E_INVALID_DIRECTION;
    return S_OK;
}

HRESULT D_CRendererInputPin::CompleteConnect(IPin *ReceivePin)
{
    HRESULT hr = m_pRenderer->CompleteConnect(ReceivePin);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT D_CRendererInputPin::BreakConnect()
{
    HRESULT hr = m_pRenderer->BreakConnect();
    if (FAILED(hr)) return hr;
    return D_CBaseInputPin::BreakConnect();
}

HRESULT D_CRendererInputPin::Active() { return m_pRenderer->Active(); }

HRESULT D_CRendererInputPin::Inactive()
{
    m_bRunTimeError = false;
    return m_pRenderer->Inactive();
}

HRESULT D_CRendererInputPin::CheckStreaming()
{
    if (m_pRenderer->IsStopped()) return VFW_E_WRONG_STATE;
    if (m_bFlushing) return S_FALSE;
    if (m_bRunTimeError) return VFW_E_RUNTIME_ERROR;
    return S_OK;
}

// --- renderer ------------------------------------------------------------------------------

D_CBaseRenderer::D_CBaseRenderer(REFCLSID ClassId, const wchar_t *ObjectName, IUnknown *Outer, HRESULT *)
    : D_CBaseFilter(ObjectName, Outer, &m_InterfaceLock, ClassId),
      m_pPosition(nullptr),
      m_RenderEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_ThreadSignal(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_evComplete(CreateEventW(nullptr, TRUE, TRUE, nullptr)),
      m_bAbort(false),
      m_bStreaming(false),
      m_dwAdvise(0),
      m_pMediaSample(nullptr),
      m_bEOS(false),
      m_bEOSDelivered(false),
      m_pInputPin(nullptr),
      m_pQSink(nullptr),
      m_bRepaintStatus(true),
      m_bInReceive(false),
      m_SignalTime(0),
      m_EndOfStreamTimer(0)
{
}

D_CBaseRenderer::~D_CBaseRenderer()
{
    StopStreaming();
    ClearPendingSample();
    if (m_EndOfStreamTimer != 0) timeKillEvent(m_EndOfStreamTimer);
    if (m_pQSink != nullptr) m_pQSink->Release();
    delete m_pPosition;
    delete m_pInputPin;
    CloseHandle(m_RenderEvent);
    CloseHandle(m_ThreadSignal);
    CloseHandle(m_evComplete);
}

HRESULT STDMETHODCALLTYPE D_CBaseRenderer::NonDelegatingQueryInterface(REFIID Id, void **Object)
{
    if (Object == nullptr) return E_POINTER;
    if (IsEqualIID(Id, IID_IMediaPosition) || IsEqualIID(Id, IID_IMediaSeeking))
        return GetMediaPositionInterface(Id, Object);
    return D_CBaseFilter::NonDelegatingQueryInterface(Id, Object);
}

HRESULT D_CBaseRenderer::GetMediaPositionInterface(REFIID Id, void **Object)
{
    D_CAutoLock lock(&m_ObjectCreationLock);
    if (m_pPosition == nullptr) {
        HRESULT hr = S_OK;
        m_pPosition = new (std::nothrow)
            D_CRendererPosPassThru(L"Renderer D_CPosPassThru", GetOwner(), &hr, GetPin(0)->PinInterface());
        if (m_pPosition == nullptr) return E_OUTOFMEMORY;
        if (FAILED(hr)) {
            D_SafeDelete(m_pPosition);
            return E_NOINTERFACE;
        }
    }
    return m_pPosition->NonDelegatingQueryInterface(Id, Object);
}

D_CBasePin *D_CBaseRenderer::GetPin(int Index)
{
    D_CAutoLock lock(&m_ObjectCreationLock);
    if (Index != 0) return nullptr;
    if (m_pInputPin == nullptr) {
        HRESULT hr = S_OK;
        m_pInputPin = new (std::nothrow) D_CRendererInputPin(this, &hr, L"In");
        if (m_pInputPin != nullptr && FAILED(hr)) D_SafeDelete(m_pInputPin);
    }
    return m_pInputPin;
}

HRESULT STDMETHODCALLTYPE D_CBaseRenderer::FindPin(LPCWSTR Id, IPin **Pin)
{
    if (Pin == nullptr) return E_POINTER;
    *Pin = nullptr;
    if (Id == nullptr || wcscmp(Id, L"In") != 0) return VFW_E_NOT_FOUND;
    D_CBasePin *pin = GetPin(0);
    if (pin == nullptr) return E_OUTOFMEMORY;
    return D_GetInterface(pin->PinInterface(), reinterpret_cast<void **>(Pin));
}

HRESULT STDMETHODCALLTYPE D_CBaseRenderer::Stop()
{
    D_CAutoLock lock(&m_InterfaceLock);
    if (m_State == State_Stopped) return S_OK;
    if (!GetPin(0)->IsConnected()) {
        m_State = State_Stopped;
        return S_OK;
    }
    D_CBaseFilter::Stop();
    if (m_pInputPin->PeekAllocator() != nullptr) m_pInputPin->PeekAllocator()->Decommit();
    m_bRepaintStatus = true;
    StopStreaming();
    SourceThreadCanWait(false);
    ResetEndOfStream();
    CancelNotification();
    Ready();
    WaitForReceiveToComplete();
    m_bAbort = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseRenderer::Pause()
{
    D_CAutoLock lock(&m_InterfaceLock);
    FILTER_STATE old = m_State;
    if (m_State == State_Paused) return CompleteStateChange(State_Paused);
    if (!GetPin(0)->IsConnected()) {
        m_State = State_Paused;
        return CompleteStateChange(State_Paused);
    }
    HRESULT hr = D_CBaseFilter::Pause();
    if (FAILED(hr)) return hr;
    m_bRepaintStatus = true;
    StopStreaming();
    SourceThreadCanWait(true);
    CancelNotification();
    if (m_EndOfStreamTimer != 0) {
        timeKillEvent(m_EndOfStreamTimer);
        m_EndOfStreamTimer = 0;
    }
    if (m_pInputPin->PeekAllocator() != nullptr) m_pInputPin->PeekAllocator()->Commit();
    if (old == State_Stopped) {
        m_bAbort = false;
        ClearPendingSample();
    }
    return CompleteStateChange(old);
}

HRESULT STDMETHODCALLTYPE D_CBaseRenderer::Run(REFERENCE_TIME Start)
{
    D_CAutoLock lock(&m_InterfaceLock);
    FILTER_STATE old = m_State;
    if (m_State == State_Running) return S_OK;
    if (!GetPin(0)->IsConnected()) {
        NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(BaseFilterInterface()));
        m_State = State_Running;
        return S_OK;
    }
    Ready();
    HRESULT hr = D_CBaseFilter::Run(Start);
    if (FAILED(hr)) return hr;
    SourceThreadCanWait(true);
    m_bRepaintStatus = false;
    if (m_pInputPin->PeekAllocator() != nullptr) m_pInputPin->PeekAllocator()->Commit();
    if (old == State_Stopped) {
        m_bAbort = false;
        ClearPendingSample();
    }
    return StartStreaming();
}

HRESULT STDMETHODCALLTYPE D_CBaseRenderer::GetState(DWORD TimeOut, FILTER_STATE *State)
{
    if (State == nullptr) return E_POINTER;
    HRESULT hr = WaitDispatchingMessages(m_evComplete, TimeOut) == WAIT_TIMEOUT ? VFW_S_STATE_INTERMEDIATE : S_OK;
    *State = m_State;
    return hr;
}

void D_CBaseRenderer::SourceThreadCanWait(bool CanWait)
{
    if (CanWait)
        ResetEvent(m_ThreadSignal);
    else
        SetEvent(m_ThreadSignal);
}

HRESULT D_CBaseRenderer::WaitForRenderTime()
{
    HANDLE handles[2] = {m_ThreadSignal, m_RenderEvent};
    OnWaitStart();
    DWORD result = WAIT_TIMEOUT;
    while (result == WAIT_TIMEOUT) result = WaitForMultipleObjects(2, handles, FALSE, 10000);
    OnWaitEnd();
    if (result == WAIT_OBJECT_0) return VFW_E_STATE_CHANGED;
    m_dwAdvise = 0;
    return S_OK;
}

HRESULT D_CBaseRenderer::CompleteStateChange(FILTER_STATE OldState)
{
    if (!GetPin(0)->IsConnected() || m_bEOS) {
        Ready();
        return S_OK;
    }
    if (HaveCurrentSample() && OldState != State_Stopped) {
        Ready();
        return S_OK;
    }
    NotReady();
    return S_FALSE;
}

bool D_CBaseRenderer::ScheduleSample(IMediaSample *Sample)
{
    if (Sample == nullptr) return false;
    REFERENCE_TIME start = 0, end = 0;
    HRESULT hr = GetSampleTimes(Sample, &start, &end);
    if (FAILED(hr)) return false;
    if (hr == S_OK) {
        SetEvent(m_RenderEvent);
        return true;
    }
    DWORD_PTR cookie = 0;
    hr = m_pClock->AdviseTime(m_tStart, start, reinterpret_cast<HEVENT>(m_RenderEvent), &cookie);
    if (FAILED(hr)) return false;
    m_dwAdvise = cookie;
    return true;
}

HRESULT D_CBaseRenderer::GetSampleTimes(IMediaSample *Sample, REFERENCE_TIME *Start, REFERENCE_TIME *End)
{
    if (FAILED(Sample->GetTime(Start, End))) return S_OK;
    if (*End < *Start) return VFW_E_START_TIME_AFTER_END;
    if (m_pClock == nullptr) return S_OK;
    return ShouldDrawSampleNow(Sample, Start, End);
}

HRESULT D_CBaseRenderer::ShouldDrawSampleNow(IMediaSample *, REFERENCE_TIME *, REFERENCE_TIME *) { return S_FALSE; }

static void CALLBACK EndOfStreamTimerProc(UINT, UINT, DWORD_PTR User, DWORD_PTR, DWORD_PTR)
{
    reinterpret_cast<D_CBaseRenderer *>(User)->TimerCallback();
}

HRESULT D_CBaseRenderer::SendEndOfStream()
{
    if (!m_bEOS || m_bEOSDelivered || m_EndOfStreamTimer != 0) return S_OK;
    if (m_pClock == nullptr) return NotifyEndOfStream();
    REFERENCE_TIME now = 0;
    m_pClock->GetTime(&now);
    LONGLONG delay = (m_tStart + m_SignalTime - now) / 10000;
    if (delay < 50) return NotifyEndOfStream();
    m_EndOfStreamTimer = CompatibleTimeSetEvent(static_cast<UINT>(delay), 10, EndOfStreamTimerProc,
                                                reinterpret_cast<DWORD_PTR>(this), TIME_ONESHOT);
    if (m_EndOfStreamTimer == 0) return NotifyEndOfStream();
    return S_OK;
}

void D_CBaseRenderer::TimerCallback()
{
    D_CAutoLock lock(&m_RendererLock);
    if (m_EndOfStreamTimer != 0) {
        m_EndOfStreamTimer = 0;
        SendEndOfStream();
    }
}

HRESULT D_CBaseRenderer::NotifyEndOfStream()
{
    if (!m_bStreaming) return S_OK;
    m_EndOfStreamTimer = 0;
    if (m_pPosition != nullptr) m_pPosition->EOS();
    m_bEOSDelivered = true;
    if (m_pSink == nullptr) return E_NOTIMPL;
    return m_pSink->Notify(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(BaseFilterInterface()));
}

HRESULT D_CBaseRenderer::ResetEndOfStream()
{
    if (m_EndOfStreamTimer != 0) {
        timeKillEvent(m_EndOfStreamTimer);
        m_EndOfStreamTimer = 0;
    }
    D_CAutoLock lock(&m_RendererLock);
    m_bEOS = false;
    m_bEOSDelivered = false;
    m_SignalTime = 0;
    return S_OK;
}

HRESULT D_CBaseRenderer::EndOfStream()
{
    if (m_State == State_Stopped) return S_OK;
    m_bEOS = true;
    if (m_pMediaSample != nullptr) return S_OK;
    Ready();
    if (m_bStreaming) SendEndOfStream();
    return S_OK;
}

HRESULT D_CBaseRenderer::CancelNotification()
{
    DWORD_PTR advise = m_dwAdvise;
    if (m_dwAdvise != 0) {
        if (m_pClock != nullptr) m_pClock->Unadvise(m_dwAdvise);
        m_dwAdvise = 0;
    }
    ResetEvent(m_RenderEvent);
    return advise != 0 ? S_OK : S_FALSE;
}

HRESULT D_CBaseRenderer::ClearPendingSample()
{
    D_CAutoLock lock(&m_RendererLock);
    if (m_pMediaSample != nullptr) {
        m_pMediaSample->Release();
        m_pMediaSample = nullptr;
    }
    return S_OK;
}

HRESULT D_CBaseRenderer::Inactive()
{
    if (m_pPosition != nullptr) m_pPosition->ResetMediaTime();
    ClearPendingSample();
    return S_OK;
}

HRESULT D_CBaseRenderer::StartStreaming()
{
    D_CAutoLock lock(&m_RendererLock);
    if (m_bStreaming) return S_OK;
    m_bStreaming = true;
    timeBeginPeriod(1);
    OnStartStreaming();
    if (m_pMediaSample == nullptr) return SendEndOfStream();
    if (!ScheduleSample(m_pMediaSample)) SetEvent(m_RenderEvent);
    return S_OK;
}

HRESULT D_CBaseRenderer::StopStreaming()
{
    D_CAutoLock lock(&m_RendererLock);
    m_bEOSDelivered = false;
    if (m_bStreaming) {
        m_bStreaming = false;
        OnStopStreaming();
        timeEndPeriod(1);
    }
    return S_OK;
}

HRESULT D_CBaseRenderer::BeginFlush()
{
    if (m_State == State_Paused) NotReady();
    SourceThreadCanWait(false);
    CancelNotification();
    ClearPendingSample();
    WaitForReceiveToComplete();
    return S_OK;
}

HRESULT D_CBaseRenderer::EndFlush()
{
    if (m_pPosition != nullptr) m_pPosition->ResetMediaTime();
    SourceThreadCanWait(true);
    return S_OK;
}

HRESULT D_CBaseRenderer::BreakConnect()
{
    if (m_pQSink != nullptr) {
        m_pQSink->Release();
        m_pQSink = nullptr;
    }
    if (!m_pInputPin->IsConnected()) return S_FALSE;
    if (m_State != State_Stopped && !m_pInputPin->CanReconnectWhenActive()) return VFW_E_NOT_STOPPED;
    {
        D_CAutoLock lock(&m_RendererLock);
        m_bRepaintStatus = false;
    }
    ResetEndOfStream();
    ClearPendingSample();
    m_bAbort = false;
    if (m_State == State_Running) StopStreaming();
    return S_OK;
}

HRESULT D_CBaseRenderer::CompleteConnect(IPin *)
{
    m_bAbort = false;
    if (m_State != State_Running) {
        m_bRepaintStatus = true;
        return S_OK;
    }
    HRESULT hr = StartStreaming();
    if (SUCCEEDED(hr)) m_bRepaintStatus = false;
    return hr;
}

HRESULT D_CBaseRenderer::PrepareReceive(IMediaSample *Sample)
{
    D_CAutoLock interfaceLock(&m_InterfaceLock);
    m_bInReceive = true;
    HRESULT hr = m_pInputPin->BaseReceive(Sample);
    if (hr != S_OK) {
        m_bInReceive = false;
        return E_FAIL;
    }
    const AM_SAMPLE2_PROPERTIES *props = m_pInputPin->SampleProps();
    if (props->pMediaType != nullptr && (props->dwSampleFlags & AM_SAMPLE_TYPECHANGED)) {
        hr = m_pInputPin->SetMediaType(reinterpret_cast<const D_CMediaType *>(props->pMediaType));
        if (FAILED(hr)) {
            m_bInReceive = false;
            return hr;
        }
    }
    D_CAutoLock rendererLock(&m_RendererLock);
    if (m_pMediaSample != nullptr || m_bEOS || m_bAbort) {
        Ready();
        m_bInReceive = false;
        return E_UNEXPECTED;
    }
    if (m_pPosition != nullptr) {
        REFERENCE_TIME start = 0, end = 0;
        if (SUCCEEDED(Sample->GetTime(&start, &end))) m_pPosition->RegisterMediaTime(start, end);
    }
    if (m_bStreaming && !ScheduleSample(Sample)) {
        m_bInReceive = false;
        return VFW_E_SAMPLE_REJECTED;
    }
    REFERENCE_TIME start = 0, stop = 0;
    if (SUCCEEDED(Sample->GetTime(&start, &stop))) m_SignalTime = stop;
    m_pMediaSample = Sample;
    m_pMediaSample->AddRef();
    if (!m_bStreaming) m_bRepaintStatus = true;
    return S_OK;
}

HRESULT D_CBaseRenderer::Receive(IMediaSample *Sample)
{
    HRESULT hr = PrepareReceive(Sample);
    if (hr == VFW_E_SAMPLE_REJECTED) return S_OK;
    if (FAILED(hr)) return hr;
    if (m_State == State_Paused) {
        PrepareRender();
        m_bInReceive = false;
        {
            D_CAutoLock interfaceLock(&m_InterfaceLock);
            if (m_State == State_Stopped) return S_OK;
            m_bInReceive = true;
            D_CAutoLock rendererLock(&m_RendererLock);
            OnReceiveFirstSample(Sample);
        }
        Ready();
    }
    hr = WaitForRenderTime();
    if (FAILED(hr)) {
        m_bInReceive = false;
        return S_OK;
    }
    PrepareRender();
    m_bInReceive = false;
    D_CAutoLock interfaceLock(&m_InterfaceLock);
    if (m_State == State_Stopped) return S_OK;
    D_CAutoLock rendererLock(&m_RendererLock);
    Render(m_pMediaSample);
    ClearPendingSample();
    SendEndOfStream();
    CancelNotification();
    return S_OK;
}

bool D_CBaseRenderer::HaveCurrentSample()
{
    D_CAutoLock lock(&m_RendererLock);
    return m_pMediaSample != nullptr;
}

IMediaSample *D_CBaseRenderer::GetCurrentSample()
{
    D_CAutoLock lock(&m_RendererLock);
    if (m_pMediaSample != nullptr) m_pMediaSample->AddRef();
    return m_pMediaSample;
}

HRESULT D_CBaseRenderer::Render(IMediaSample *Sample)
{
    if (Sample == nullptr || !m_bStreaming) return S_FALSE;
    OnRenderStart(Sample);
    DoRenderSample(Sample);
    OnRenderEnd(Sample);
    return S_OK;
}

void D_CBaseRenderer::WaitForReceiveToComplete()
{
    MSG msg;
    while (m_bInReceive) {
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        Sleep(1);
    }
    if (HIWORD(GetQueueStatus(QS_POSTMESSAGE)) & QS_POSTMESSAGE)
        PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

// --- helpers -------------------------------------------------------------------------------

MMRESULT CompatibleTimeSetEvent(UINT Delay, UINT Resolution, LPTIMECALLBACK Callback, DWORD_PTR User, UINT Flags)
{
    static int killSynchronous = -1;
    if (killSynchronous < 0) {
        OSVERSIONINFOA info = {};
        info.dwOSVersionInfoSize = sizeof(info);
        GetVersionExA(&info);
        killSynchronous = info.dwMajorVersion > 5 || (info.dwMajorVersion == 5 && info.dwMinorVersion >= 1) ? 1 : 0;
    }
    if (killSynchronous == 1) Flags |= TIME_KILL_SYNCHRONOUS;
    return timeSetEvent(Delay, Resolution, Callback, User, Flags);
}

DWORD WaitDispatchingMessages(HANDLE Object, DWORD TimeOut, HWND Window, UINT Message, HANDLE Event)
{
    static UINT unblockMessage = 0;
    HANDLE objects[2] = {Object, Event};
    DWORD count = Event != nullptr ? 2 : 1;
    DWORD result = WaitForMultipleObjects(count, objects, FALSE, 0);
    bool raised = false;
    int priority = THREAD_PRIORITY_NORMAL;
    DWORD remaining = TimeOut;
    while (result == WAIT_TIMEOUT && remaining != 0) {
        DWORD slice = remaining < 10 ? remaining : 10;
        DWORD begun = GetTickCount();
        DWORD wake = Window != nullptr ? QS_SENDMESSAGE | QS_POSTMESSAGE : QS_SENDMESSAGE;
        result = MsgWaitForMultipleObjects(count, objects, FALSE, slice, wake);
        bool message = result == WAIT_OBJECT_0 + count;
        if (!message && !(result == WAIT_TIMEOUT && slice < remaining)) break;
        MSG msg;
        if (Window != nullptr) {
            while (PeekMessageW(&msg, Window, Message, Message, PM_REMOVE)) DispatchMessageW(&msg);
        }
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        if (TimeOut != INFINITE) {
            DWORD elapsed = GetTickCount() - begun;
            remaining = elapsed >= remaining ? 0 : remaining - elapsed;
        }
        if (!raised) {
            priority = GetThreadPriority(GetCurrentThread());
            if (priority < THREAD_PRIORITY_HIGHEST) {
                SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
                raised = true;
            }
        }
        result = WaitForMultipleObjects(count, objects, FALSE, 0);
    }
    if (raised) {
        SetThreadPriority(GetCurrentThread(), priority);
        if (HIWORD(GetQueueStatus(QS_POSTMESSAGE)) & QS_POSTMESSAGE) {
            if (unblockMessage == 0) unblockMessage = RegisterWindowMessageA("AMUnblock");
            MSG msg;
            while (PeekMessageW(&msg, reinterpret_cast<HWND>(-1), unblockMessage, unblockMessage, PM_REMOVE)) {
            }
            PostThreadMessageW(GetCurrentThreadId(), unblockMessage, 0, 0);
        }
    }
    return result;
}
