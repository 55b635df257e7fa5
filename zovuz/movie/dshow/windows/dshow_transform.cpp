// The transform filter and its two pins.
#include "zovuz/movie/dshow/windows/dshow_transform.h"
#include "zovuz/core/zovuz_core.h"
#include <string.h>

// A pin id in task memory, as IPin::QueryId hands it out.
static HRESULT CopyPinId(const wchar_t *Text, LPWSTR *Id)
{
    if (Id == nullptr) return E_POINTER;
    size_t bytes = (wcslen(Text) + 1) * sizeof(wchar_t);
    *Id = static_cast<LPWSTR>(D_TaskMemory.Alloc(bytes));
    if (*Id == nullptr) return E_OUTOFMEMORY;
    memcpy(*Id, Text, bytes);
    return S_OK;
}

// --- filter --------------------------------------------------------------------------------

D_CTransformFilter::D_CTransformFilter(const wchar_t *ObjectName, IUnknown *Outer, REFCLSID ClassId)
    : D_CBaseFilter(ObjectName, Outer, &m_csFilter, ClassId),
      m_bEOSDelivered(FALSE),
      m_bSampleSkipped(FALSE),
      m_bQualityChanged(FALSE),
      m_pInput(nullptr),
      m_pOutput(nullptr)
{
}

D_CTransformFilter::~D_CTransformFilter()
{
    D_SafeDelete(m_pInput);
    D_SafeDelete(m_pOutput);
}

int D_CTransformFilter::GetPinCount() { return 2; }

D_CBasePin *D_CTransformFilter::GetPin(int Index)
{
    if (m_pInput == nullptr) {
        m_pInput = MakePin<D_CTransformInputPin>(this, L"Transform input pin", L"XForm In");
        if (m_pInput != nullptr) {
            m_pOutput = MakePin<D_CTransformOutputPin>(this, L"Transform output pin", L"XForm Out");
            if (m_pOutput == nullptr) D_SafeDelete(m_pInput);
        }
    }
    if (Index == 0) return m_pInput;
    if (Index == 1) return m_pOutput;
    return nullptr;
}

HRESULT STDMETHODCALLTYPE D_CTransformFilter::FindPin(LPCWSTR Id, IPin **Pin)
{
    if (Pin == nullptr) return E_POINTER;
    D_CBasePin *pin = nullptr;
    if (Id != nullptr && wcscmp(Id, L"In") == 0)
        pin = GetPin(0);
    else if (Id != nullptr && wcscmp(Id, L"Out") == 0)
        pin = GetPin(1);
    else {
        *Pin = nullptr;
        return VFW_E_NOT_FOUND;
    }
    if (pin == nullptr) {
        *Pin = nullptr;
        return E_OUTOFMEMORY;
    }
    *Pin = pin->PinInterface();
    (*Pin)->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CTransformFilter::Stop()
{
    D_CAutoLock lock(&m_csFilter);
    if (m_State == State_Stopped) return S_OK;
    if (m_pInput == nullptr || m_pOutput == nullptr || !m_pInput->IsConnected() || !m_pOutput->IsConnected()) {
        m_State = State_Stopped;
        m_bEOSDelivered = FALSE;
        return S_OK;
    }
    // The input first, outside the receive lock, so that a Receive blocked in GetBuffer can end.
    m_pInput->Inactive();
    D_CAutoLock receive(&m_csReceive);
    m_pOutput->Inactive();
    HRESULT hr = StopStreaming();
    if (SUCCEEDED(hr)) {
        m_State = State_Stopped;
        m_bEOSDelivered = FALSE;
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE D_CTransformFilter::Pause()
{
    D_CAutoLock lock(&m_csFilter);
    HRESULT hr = S_OK;
    if (m_State == State_Paused) {
    } else if (m_pInput == nullptr || !m_pInput->IsConnected()) {
        // Nothing will come in: tell downstream at once, once until the next Stop.
        if (m_pOutput != nullptr && !m_bEOSDelivered) {
            m_pOutput->DeliverEndOfStream();
            m_bEOSDelivered = TRUE;
        }
        m_State = State_Paused;
    } else if (!m_pOutput->IsConnected()) {
        m_State = State_Paused;
    } else {
        if (m_State == State_Stopped) {
            D_CAutoLock receive(&m_csReceive);
            hr = StartStreaming();
        }
        if (SUCCEEDED(hr)) hr = D_CBaseFilter::Pause();
    }
    m_bSampleSkipped = FALSE;
    m_bQualityChanged = FALSE;
    return hr;
}

HRESULT D_CTransformFilter::Transform(IMediaSample *, IMediaSample *) { return E_UNEXPECTED; }
HRESULT D_CTransformFilter::StartStreaming() { return S_OK; }
HRESULT D_CTransformFilter::StopStreaming() { return S_OK; }
HRESULT D_CTransformFilter::AlterQuality(Quality) { return S_FALSE; }
HRESULT D_CTransformFilter::SetMediaType(PIN_DIRECTION, const D_CMediaType *) { return S_OK; }
HRESULT D_CTransformFilter::CheckConnect(PIN_DIRECTION, IPin *) { return S_OK; }
HRESULT D_CTransformFilter::BreakConnect(PIN_DIRECTION) { return S_OK; }
HRESULT D_CTransformFilter::CompleteConnect(PIN_DIRECTION, IPin *) { return S_OK; }

HRESULT D_CTransformFilter::Receive(IMediaSample *Sample)
{
    const AM_SAMPLE2_PROPERTIES *props = m_pInput->SampleProps();
    if (props->dwStreamId != AM_STREAM_MEDIA) return m_pOutput->DownstreamInputPin()->Receive(Sample);

    DWORD flags = 0;
    if (m_bSampleSkipped) flags |= AM_GBF_PREVFRAMESKIPPED;
    if (!(props->dwSampleFlags & AM_SAMPLE_SPLICEPOINT)) flags |= AM_GBF_NOTASYNCPOINT;
    REFERENCE_TIME start = props->tStart, stop = props->tStop;
    IMediaSample *out = nullptr;
    HRESULT hr =
        m_pOutput->PeekAllocator()->GetBuffer(&out, (props->dwSampleFlags & AM_SAMPLE_TIMEVALID) ? &start : nullptr,
                                              (props->dwSampleFlags & AM_SAMPLE_STOPVALID) ? &stop : nullptr, flags);
    if (FAILED(hr)) return hr;

    IMediaSample2 *out2 = nullptr;
    if (SUCCEEDED(out->QueryInterface(IID_IMediaSample2, reinterpret_cast<void **>(&out2)))) {
        AM_SAMPLE2_PROPERTIES outProps;
        memset(&outProps, 0, sizeof(outProps));
        out2->GetProperties(16, reinterpret_cast<BYTE *>(&outProps));
        outProps.dwTypeSpecificFlags = props->dwTypeSpecificFlags;
        outProps.dwSampleFlags =
            (outProps.dwSampleFlags & AM_SAMPLE_TYPECHANGED) | (props->dwSampleFlags & ~AM_SAMPLE_TYPECHANGED);
        outProps.tStart = props->tStart;
        outProps.tStop = props->tStop;
        // The record says how much of it is written: the times too, up to the stream id.
        outProps.cbData = offsetof(AM_SAMPLE2_PROPERTIES, dwStreamId);
        out2->SetProperties(offsetof(AM_SAMPLE2_PROPERTIES, dwStreamId), reinterpret_cast<const BYTE *>(&outProps));
        if (props->dwSampleFlags & AM_SAMPLE_DATADISCONTINUITY) m_bSampleSkipped = FALSE;
        out2->Release();
    } else {
        if (props->dwSampleFlags & AM_SAMPLE_TIMEVALID) out->SetTime(&start, &stop);
        if (props->dwSampleFlags & AM_SAMPLE_SPLICEPOINT) out->SetSyncPoint(TRUE);
        if (props->dwSampleFlags & AM_SAMPLE_DATADISCONTINUITY) {
            out->SetDiscontinuity(TRUE);
            m_bSampleSkipped = FALSE;
        }
        LONGLONG mediaStart, mediaEnd;
        if (Sample->GetMediaTime(&mediaStart, &mediaEnd) == S_OK) out->SetMediaTime(&mediaStart, &mediaEnd);
    }

    hr = Transform(Sample, out);
    if (FAILED(hr)) {
        out->Release();
        return hr;
    }
    if (hr == S_OK) {
        hr = m_pOutput->DownstreamInputPin()->Receive(out);
        m_bSampleSkipped = FALSE;
    } else if (hr == S_FALSE) {
        // The filter dropped the sample: the quality is changing, said once per Pause.
        out->Release();
        m_bSampleSkipped = TRUE;
        if (!m_bQualityChanged) {
            NotifyEvent(EC_QUALITY_CHANGE, 0, 0);
            m_bQualityChanged = TRUE;
        }
        return S_OK;
    }
    out->Release();
    return hr;
}

HRESULT D_CTransformFilter::EndOfStream() { return m_pOutput != nullptr ? m_pOutput->DeliverEndOfStream() : S_OK; }
HRESULT D_CTransformFilter::BeginFlush() { return m_pOutput != nullptr ? m_pOutput->DeliverBeginFlush() : S_OK; }
HRESULT D_CTransformFilter::EndFlush() { return m_pOutput->DeliverEndFlush(); }

HRESULT D_CTransformFilter::NewSegment(REFERENCE_TIME Start, REFERENCE_TIME Stop, double Rate)
{
    return m_pOutput != nullptr ? m_pOutput->DeliverNewSegment(Start, Stop, Rate) : S_OK;
}

// --- input pin -----------------------------------------------------------------------------

D_CTransformInputPin::D_CTransformInputPin(const wchar_t *ObjectName, D_CTransformFilter *Filter, HRESULT *Result,
                                           const wchar_t *Name)
    : D_CBaseInputPin(ObjectName, Filter, &Filter->m_csFilter, Result, Name), m_pTransformFilter(Filter)
{
}

HRESULT STDMETHODCALLTYPE D_CTransformInputPin::QueryId(LPWSTR *Id) { return CopyPinId(L"In", Id); }

HRESULT D_CTransformInputPin::CheckConnect(IPin *Pin)
{
    HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_INPUT, Pin);
    if (FAILED(hr)) return hr;
    return D_CBasePin::CheckConnect(Pin);
}

HRESULT D_CTransformInputPin::BreakConnect()
{
    m_pTransformFilter->BreakConnect(PINDIR_INPUT);
    return D_CBaseInputPin::BreakConnect();
}

HRESULT D_CTransformInputPin::CompleteConnect(IPin *ReceivePin)
{
    HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_INPUT, ReceivePin);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT D_CTransformInputPin::CheckMediaType(const D_CMediaType *Type)
{
    HRESULT hr = m_pTransformFilter->CheckInputType(Type);
    if (hr != S_OK) return hr;
    D_CTransformOutputPin *output = m_pTransformFilter->m_pOutput;
    if (output != nullptr && output->IsConnected())
        return m_pTransformFilter->CheckTransform(Type, &output->CurrentMediaType());
    return S_OK;
}

HRESULT D_CTransformInputPin::SetMediaType(const D_CMediaType *Type)
{
    HRESULT hr = D_CBasePin::SetMediaType(Type);
    if (FAILED(hr)) return hr;
    return m_pTransformFilter->SetMediaType(PINDIR_INPUT, Type);
}

HRESULT D_CTransformInputPin::CheckStreaming()
{
    D_CTransformOutputPin *output = m_pTransformFilter->m_pOutput;
    if (output == nullptr || !output->IsConnected()) return VFW_E_NOT_CONNECTED;
    if (m_bFlushing) return S_FALSE;
    if (m_pFilter->IsStopped()) return VFW_E_WRONG_STATE;
    if (m_bRunTimeError) return VFW_E_RUNTIME_ERROR;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CTransformInputPin::Receive(IMediaSample *Sample)
{
    D_CAutoLock lock(&m_pTransformFilter->m_csReceive);
    HRESULT hr = D_CBaseInputPin::Receive(Sample);
    if (hr == S_OK) hr = m_pTransformFilter->Receive(Sample);
    return hr;
}

HRESULT STDMETHODCALLTYPE D_CTransformInputPin::EndOfStream()
{
    D_CAutoLock lock(&m_pTransformFilter->m_csReceive);
    HRESULT hr = CheckStreaming();
    if (hr == S_OK) hr = m_pTransformFilter->EndOfStream();
    return hr;
}

HRESULT STDMETHODCALLTYPE D_CTransformInputPin::BeginFlush()
{
    D_CAutoLock lock(&m_pTransformFilter->m_csFilter);
    D_CTransformOutputPin *output = m_pTransformFilter->m_pOutput;
    if (!IsConnected() || output == nullptr || !output->IsConnected()) return VFW_E_NOT_CONNECTED;
    HRESULT hr = D_CBaseInputPin::BeginFlush();
    if (FAILED(hr)) return hr;
    return m_pTransformFilter->BeginFlush();
}

HRESULT STDMETHODCALLTYPE D_CTransformInputPin::EndFlush()
{
    D_CAutoLock lock(&m_pTransformFilter->m_csFilter);
    D_CTransformOutputPin *output = m_pTransformFilter->m_pOutput;
    if (!IsConnected() || output == nullptr || !output->IsConnected()) return VFW_E_NOT_CONNECTED;
    HRESULT hr = m_pTransformFilter->EndFlush();
    if (FAILED(hr)) return hr;
    return D_CBaseInputPin::EndFlush();
}

HRESULT STDMETHODCALLTYPE D_CTransformInputPin::NewSegment(REFERENCE_TIME Start, REFERENCE_TIME Stop, double Rate)
{
    D_CBasePin::NewSegment(Start, Stop, Rate);
    return m_pTransformFilter->NewSegment(Start, Stop, Rate);
}

// --- output pin ----------------------------------------------------------------------------

D_CTransformOutputPin::D_CTransformOutputPin(const wchar_t *ObjectName, D_CTransformFilter *Filter, HRESULT *Result,
                                             const wchar_t *Name)
    : D_CBaseOutputPin(ObjectName, Filter, &Filter->m_csFilter, Result, Name),
      m_pTransformFilter(Filter),
      m_pPosition(nullptr)
{
}

D_CTransformOutputPin::~D_CTransformOutputPin()
{
    if (m_pPosition != nullptr) m_pPosition->Release();
}

HRESULT STDMETHODCALLTYPE D_CTransformOutputPin::NonDelegatingQueryInterface(REFIID Id, void **Object)
{
    if (Object == nullptr) return E_POINTER;
    if (IsEqualIID(Id, IID_IMediaPosition) || IsEqualIID(Id, IID_IMediaSeeking)) {
        if (m_pPosition == nullptr) {
            // The system's seeking pass-through, aggregated by this pin, asks the input's peer.
            HRESULT hr = CreateComInstance(&CLSID_SeekingPassThru, GetOwner(), CLSCTX_INPROC_SERVER, &IID_IUnknown,
                                           reinterpret_cast<void **>(&m_pPosition));
            if (FAILED(hr)) {
                m_pPosition = nullptr;
                return hr;
            }
            ISeekingPassThru *passThru = nullptr;
            hr = m_pPosition->QueryInterface(IID_ISeekingPassThru, reinterpret_cast<void **>(&passThru));
            if (SUCCEEDED(hr)) {
                hr = passThru->Init(FALSE, m_pTransformFilter->m_pInput->PinInterface());
                passThru->Release();
            }
            if (FAILED(hr)) {
                m_pPosition->Release();
                m_pPosition = nullptr;
                return hr;
            }
        }
        return m_pPosition->QueryInterface(Id, Object);
    }
    return D_CBaseOutputPin::NonDelegatingQueryInterface(Id, Object);
}

HRESULT STDMETHODCALLTYPE D_CTransformOutputPin::QueryId(LPWSTR *Id) { return CopyPinId(L"Out", Id); }

HRESULT STDMETHODCALLTYPE D_CTransformOutputPin::Notify(IBaseFilter *, Quality Q)
{
    HRESULT hr = m_pTransformFilter->AlterQuality(Q);
    if (hr != S_FALSE) return hr;
    return m_pTransformFilter->m_pInput->PassNotify(Q);
}

HRESULT D_CTransformOutputPin::CheckConnect(IPin *Pin)
{
    D_CTransformInputPin *input = m_pTransformFilter->m_pInput;
    if (input == nullptr || !input->IsConnected()) return E_UNEXPECTED;
    HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_OUTPUT, Pin);
    if (FAILED(hr)) return hr;
    return D_CBaseOutputPin::CheckConnect(Pin);
}

HRESULT D_CTransformOutputPin::BreakConnect()
{
    m_pTransformFilter->BreakConnect(PINDIR_OUTPUT);
    return D_CBaseOutputPin::BreakConnect();
}

HRESULT D_CTransformOutputPin::CompleteConnect(IPin *ReceivePin)
{
    HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_OUTPUT, ReceivePin);
    if (FAILED(hr)) return hr;
    return D_CBaseOutputPin::CompleteConnect(ReceivePin);
}

HRESULT D_CTransformOutputPin::CheckMediaType(const D_CMediaType *Type)
{
    D_CTransformInputPin *input = m_pTransformFilter->m_pInput;
    if (input == nullptr || !input->IsConnected()) return E_INVALIDARG;
    return m_pTransformFilter->CheckTransform(&input->CurrentMediaType(), Type);
}

HRESULT D_CTransformOutputPin::SetMediaType(const D_CMediaType *Type)
{
    HRESULT hr = D_CBasePin::SetMediaType(Type);
    if (FAILED(hr)) return hr;
    return m_pTransformFilter->SetMediaType(PINDIR_OUTPUT, Type);
}

HRESULT D_CTransformOutputPin::DecideBufferSize(IMemAllocator *Allocator, ALLOCATOR_PROPERTIES *Properties)
{
    return m_pTransformFilter->DecideBufferSize(Allocator, Properties);
}

HRESULT D_CTransformOutputPin::GetMediaType(int Position, D_CMediaType *Type)
{
    D_CTransformInputPin *input = m_pTransformFilter->m_pInput;
    if (input == nullptr || !input->IsConnected()) return VFW_S_NO_MORE_ITEMS;
    return m_pTransformFilter->GetMediaType(Position, Type);
}
