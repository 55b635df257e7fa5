// The base pin with its connection protocol, and the input and output pins.
#include "zovuz/movie/dshow/windows/dshow_filter.h"
#include "zovuz/core/zovuz_core.h"
#include <new>
#include <string.h>

D_CBasePin::D_CBasePin(const wchar_t *ObjectName, D_CBaseFilter *Filter, D_CCritSec *Lock, HRESULT *,
                       const wchar_t *Name, PIN_DIRECTION Direction)
    : D_CUnknown(ObjectName, nullptr),
      m_pName(nullptr),
      m_Connected(nullptr),
      m_dir(Direction),
      m_pLock(Lock),
      m_bRunTimeError(false),
      m_bCanReconnectWhenActive(false),
      m_bTryMyTypesFirst(false),
      m_pFilter(Filter),
      m_pQSink(nullptr),
      m_TypeVersion(1),
      m_tStart(0),
      m_tStop(0x7FFFFFFFFFFFFFFFLL),
      m_dRate(1.0)
{
    if (Name != nullptr) {
        size_t length = wcslen(Name) + 1;
        m_pName = new (std::nothrow) WCHAR[length];
        if (m_pName != nullptr) memcpy(m_pName, Name, length * sizeof(WCHAR));
    }
}

// The connected pin is not released here: a pin is destroyed with its filter, after the graph let go.
D_CBasePin::~D_CBasePin() { delete[] m_pName; }

HRESULT STDMETHODCALLTYPE D_CBasePin::NonDelegatingQueryInterface(REFIID Id, void **Object)
{
    if (Object == nullptr) return E_POINTER;
    if (IsEqualIID(Id, IID_IPin)) return D_GetInterface(static_cast<D_IPin *>(this), Object);
    if (IsEqualIID(Id, IID_IQualityControl)) return D_GetInterface(static_cast<D_IQualityControl *>(this), Object);
    return D_CUnknown::NonDelegatingQueryInterface(Id, Object);
}

// A pin lives exactly as long as its filter.
ULONG STDMETHODCALLTYPE D_CBasePin::NonDelegatingAddRef() { return m_pFilter->BaseFilterInterface()->AddRef(); }
ULONG STDMETHODCALLTYPE D_CBasePin::NonDelegatingRelease() { return m_pFilter->BaseFilterInterface()->Release(); }

static bool IsRefusal(HRESULT Result) { return Result == E_FAIL || Result == E_INVALIDARG; }

HRESULT STDMETHODCALLTYPE D_CBasePin::Connect(IPin *ReceivePin, const AM_MEDIA_TYPE *Type)
{
    if (ReceivePin == nullptr) return E_POINTER;
    D_CAutoLock lock(m_pLock);
    if (m_Connected != nullptr) return VFW_E_ALREADY_CONNECTED;
    if (!m_pFilter->IsStopped() && !m_bCanReconnectWhenActive) return VFW_E_NOT_STOPPED;
    HRESULT hr = AgreeMediaType(ReceivePin, reinterpret_cast<const D_CMediaType *>(Type));
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    return S_OK;
}

HRESULT D_CBasePin::AgreeMediaType(IPin *ReceivePin, const D_CMediaType *Proposed)
{
    if (Proposed != nullptr && !Proposed->IsPartiallySpecified()) return AttemptConnection(ReceivePin, Proposed);
    HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
    for (int i = 0; i < 2; i++) {
        IEnumMediaTypes *types = nullptr;
        HRESULT hr = (i == (m_bTryMyTypesFirst ? 1 : 0)) ? ReceivePin->EnumMediaTypes(&types)
                                                         : static_cast<D_IPin *>(this)->EnumMediaTypes(&types);
        if (FAILED(hr)) continue;
        hr = TryMediaTypes(ReceivePin, Proposed, types);
        types->Release();
        if (SUCCEEDED(hr)) return S_OK;
        if (!IsRefusal(hr) && hr != VFW_E_TYPE_NOT_ACCEPTED) failure = hr;
    }
    return failure;
}

HRESULT D_CBasePin::TryMediaTypes(IPin *ReceivePin, const D_CMediaType *Proposed, IEnumMediaTypes *Enum)
{
    HRESULT hr = Enum->Reset();
    if (FAILED(hr)) return hr;
    HRESULT failure = S_OK;
    for (;;) {
        AM_MEDIA_TYPE *type = nullptr;
        ULONG fetched = 0;
        if (Enum->Next(1, &type, &fetched) != S_OK) return SUCCEEDED(failure) ? VFW_E_NO_ACCEPTABLE_TYPES : failure;
        const D_CMediaType *candidate = reinterpret_cast<const D_CMediaType *>(type);
        if (Proposed == nullptr || candidate->MatchesPartial(Proposed))
            hr = AttemptConnection(ReceivePin, candidate);
        else
            hr = VFW_E_NO_ACCEPTABLE_TYPES;
        if (FAILED(hr) && SUCCEEDED(failure) && !IsRefusal(hr) && hr != VFW_E_TYPE_NOT_ACCEPTED) failure = hr;
        D_FreeMediaType(type);
        if (hr == S_OK) return S_OK;
    }
}

HRESULT D_CBasePin::AttemptConnection(IPin *ReceivePin, const D_CMediaType *Type)
{
    HRESULT hr = CheckConnect(ReceivePin);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    hr = CheckMediaType(Type);
    if (hr == S_OK) {
        m_Connected = ReceivePin;
        m_Connected->AddRef();
        hr = SetMediaType(Type);
        if (SUCCEEDED(hr)) {
            hr = ReceivePin->ReceiveConnection(static_cast<D_IPin *>(this), Type);
            if (SUCCEEDED(hr)) {
                hr = CompleteConnect(ReceivePin);
                if (SUCCEEDED(hr)) return hr;
                ReceivePin->Disconnect();
            }
        }
    } else if (SUCCEEDED(hr) || IsRefusal(hr)) {
        hr = VFW_E_TYPE_NOT_ACCEPTED;
    }
    BreakConnect();
    if (m_Connected != nullptr) {
        m_Connected->Release();
        m_Connected = nullptr;
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE D_CBasePin::ReceiveConnection(IPin *ConnectorPin, const AM_MEDIA_TYPE *Type)
{
    if (ConnectorPin == nullptr || Type == nullptr) return E_POINTER;
    D_CAutoLock lock(m_pLock);
    if (m_Connected != nullptr) return VFW_E_ALREADY_CONNECTED;
    if (!m_pFilter->IsStopped() && !m_bCanReconnectWhenActive) return VFW_E_NOT_STOPPED;
    HRESULT hr = CheckConnect(ConnectorPin);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    const D_CMediaType *type = reinterpret_cast<const D_CMediaType *>(Type);
    hr = CheckMediaType(type);
    if (hr != S_OK) {
        BreakConnect();
        return (SUCCEEDED(hr) || IsRefusal(hr)) ? VFW_E_TYPE_NOT_ACCEPTED : hr;
    }
    m_Connected = ConnectorPin;
    m_Connected->AddRef();
    hr = SetMediaType(type);
    if (SUCCEEDED(hr)) hr = CompleteConnect(ConnectorPin);
    if (FAILED(hr)) {
        m_Connected->Release();
        m_Connected = nullptr;
        BreakConnect();
        return hr;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBasePin::Disconnect()
{
    D_CAutoLock lock(m_pLock);
    if (!m_pFilter->IsStopped()) return VFW_E_NOT_STOPPED;
    return DisconnectInternal();
}

HRESULT D_CBasePin::DisconnectInternal()
{
    if (m_Connected == nullptr) return S_FALSE;
    HRESULT hr = BreakConnect();
    if (FAILED(hr)) return hr;
    m_Connected->Release();
    m_Connected = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBasePin::ConnectedTo(IPin **Pin)
{
    if (Pin == nullptr) return E_POINTER;
    IPin *connected = m_Connected;
    *Pin = connected;
    if (connected == nullptr) return VFW_E_NOT_CONNECTED;
    connected->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBasePin::ConnectionMediaType(AM_MEDIA_TYPE *Type)
{
    if (Type == nullptr) return E_POINTER;
    D_CAutoLock lock(m_pLock);
    if (m_Connected != nullptr) {
        D_CopyMediaType(Type, &m_mt);
        return S_OK;
    }
    memset(Type, 0, sizeof(*Type));
    Type->bFixedSizeSamples = TRUE;
    Type->lSampleSize = 1;
    return VFW_E_NOT_CONNECTED;
}

HRESULT STDMETHODCALLTYPE D_CBasePin::QueryPinInfo(PIN_INFO *Info)
{
    if (Info == nullptr) return E_POINTER;
    Info->pFilter = m_pFilter != nullptr ? m_pFilter->BaseFilterInterface() : nullptr;
    if (Info->pFilter != nullptr) Info->pFilter->AddRef();
    if (m_pName != nullptr)
        lstrcpynW(Info->achName, m_pName, sizeof(Info->achName) / sizeof(Info->achName[0]));
    else
        Info->achName[0] = L'\0';
    Info->dir = m_dir;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBasePin::QueryDirection(PIN_DIRECTION *Direction)
{
    if (Direction == nullptr) return E_POINTER;
    *Direction = m_dir;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBasePin::QueryAccept(const AM_MEDIA_TYPE *Type)
{
    if (Type == nullptr) return E_POINTER;
    HRESULT hr = CheckMediaType(reinterpret_cast<const D_CMediaType *>(Type));
    return FAILED(hr) ? S_FALSE : hr;
}

HRESULT STDMETHODCALLTYPE D_CBasePin::EnumMediaTypes(IEnumMediaTypes **Enum)
{
    if (Enum == nullptr) return E_POINTER;
    *Enum = new (std::nothrow) D_CEnumMediaTypes(this, nullptr);
    return *Enum == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBasePin::QueryInternalConnections(IPin **, ULONG *) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE D_CBasePin::NewSegment(REFERENCE_TIME Start, REFERENCE_TIME Stop, double Rate)
{
    m_tStart = Start;
    m_tStop = Stop;
    m_dRate = Rate;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBasePin::SetSink(IQualityControl *Sink)
{
    D_CAutoLock lock(m_pLock);
    m_pQSink = Sink;
    return S_OK;
}

LONG D_CBasePin::GetMediaTypeVersion() { return m_TypeVersion; }
HRESULT D_CBasePin::Active() { return S_OK; }
HRESULT D_CBasePin::Run(REFERENCE_TIME) { return S_OK; }

HRESULT D_CBasePin::Inactive()
{
    m_bRunTimeError = false;
    return S_OK;
}

HRESULT D_CBasePin::SetMediaType(const D_CMediaType *Type)
{
    if (Type == &m_mt) return S_OK;
    D_FreeMediaTypeContents(&m_mt);
    return FAILED(D_CopyMediaType(&m_mt, Type)) ? E_OUTOFMEMORY : S_OK;
}

HRESULT D_CBasePin::CheckConnect(IPin *Pin)
{
    PIN_DIRECTION direction;
    HRESULT hr = Pin->QueryDirection(&direction);
    if (FAILED(hr)) return hr;
    return direction == m_dir ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT D_CBasePin::BreakConnect() { return S_OK; }
HRESULT D_CBasePin::CompleteConnect(IPin *) { return S_OK; }
HRESULT D_CBasePin::GetMediaType(int, D_CMediaType *) { return E_UNEXPECTED; }

// --- input pin -----------------------------------------------------------------------------

D_CBaseInputPin::D_CBaseInputPin(const wchar_t *ObjectName, D_CBaseFilter *Filter, D_CCritSec *Lock, HRESULT *Result,
                                 const wchar_t *Name)
    : D_CBasePin(ObjectName, Filter, Lock, Result, Name, PINDIR_INPUT),
      m_pAllocator(nullptr),
      m_bReadOnly(false),
      m_bFlushing(false),
      m_pSampleType(nullptr)
{
    memset(&m_SampleProps, 0, sizeof(m_SampleProps));
}

D_CBaseInputPin::~D_CBaseInputPin()
{
    if (m_pAllocator != nullptr) m_pAllocator->Release();
    D_FreeMediaType(m_pSampleType);
}

HRESULT STDMETHODCALLTYPE D_CBaseInputPin::NonDelegatingQueryInterface(REFIID Id, void **Object)
{
    if (Object == nullptr) return E_POINTER;
    if (IsEqualIID(Id, IID_IMemInputPin)) return D_GetInterface(static_cast<D_IMemInputPin *>(this), Object);
    return D_CBasePin::NonDelegatingQueryInterface(Id, Object);
}

HRESULT STDMETHODCALLTYPE D_CBaseInputPin::GetAllocator(IMemAllocator **Allocator)
{
    if (Allocator == nullptr) return E_POINTER;
    D_CAutoLock lock(m_pLock);
    if (m_pAllocator == nullptr) {
        HRESULT hr = CreateComInstance(&CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, &IID_IMemAllocator,
                                       reinterpret_cast<void **>(&m_pAllocator));
        if (FAILED(hr)) {
            m_pAllocator = nullptr;
            return hr;
        }
    }
    *Allocator = m_pAllocator;
    m_pAllocator->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseInputPin::NotifyAllocator(IMemAllocator *Allocator, BOOL ReadOnly)
{
    if (Allocator == nullptr) return E_POINTER;
    D_CAutoLock lock(m_pLock);
    Allocator->AddRef();
    if (m_pAllocator != nullptr) m_pAllocator->Release();
    m_pAllocator = Allocator;
    m_bReadOnly = ReadOnly != FALSE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES *) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE D_CBaseInputPin::Receive(IMediaSample *Sample)
{
    if (Sample == nullptr) return E_POINTER;
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    D_FreeMediaType(m_pSampleType);
    m_pSampleType = nullptr;
    IMediaSample2 *sample2 = nullptr;
    if (SUCCEEDED(Sample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void **>(&sample2)))) {
        hr = sample2->GetProperties(sizeof(m_SampleProps), reinterpret_cast<BYTE *>(&m_SampleProps));
        sample2->Release();
        if (FAILED(hr)) return hr;
    } else {
        memset(&m_SampleProps, 0, sizeof(m_SampleProps));
        m_SampleProps.cbData = sizeof(m_SampleProps);
        if (Sample->IsDiscontinuity() == S_OK) m_SampleProps.dwSampleFlags |= AM_SAMPLE_DATADISCONTINUITY;
        if (Sample->IsPreroll() == S_OK) m_SampleProps.dwSampleFlags |= AM_SAMPLE_PREROLL;
        if (Sample->IsSyncPoint() == S_OK) m_SampleProps.dwSampleFlags |= AM_SAMPLE_SPLICEPOINT;
        if (SUCCEEDED(Sample->GetTime(&m_SampleProps.tStart, &m_SampleProps.tStop)))
            m_SampleProps.dwSampleFlags |= AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID;
        if (Sample->GetMediaType(&m_SampleProps.pMediaType) == S_OK) {
            m_SampleProps.dwSampleFlags |= AM_SAMPLE_TYPECHANGED;
            m_pSampleType = m_SampleProps.pMediaType;
        }
        Sample->GetPointer(&m_SampleProps.pbBuffer);
        m_SampleProps.lActual = Sample->GetActualDataLength();
        m_SampleProps.cbBuffer = Sample->GetSize();
    }
    if (!(m_SampleProps.dwSampleFlags & AM_SAMPLE_TYPECHANGED)) return S_OK;
    if (CheckMediaType(reinterpret_cast<const D_CMediaType *>(m_SampleProps.pMediaType)) == S_OK) return S_OK;
    // A type change the pin cannot take ends the stream: every later sample is refused.
    m_bRunTimeError = true;
    EndOfStream();
    m_pFilter->NotifyEvent(EC_ERRORABORT, VFW_E_TYPE_NOT_ACCEPTED, 0);
    return VFW_E_INVALIDMEDIATYPE;
}

HRESULT STDMETHODCALLTYPE D_CBaseInputPin::ReceiveMultiple(IMediaSample **Samples, LONG Count, LONG *Processed)
{
    if (Samples == nullptr) return E_POINTER;
    *Processed = 0;
    for (LONG i = 0; i < Count; i++) {
        HRESULT hr = static_cast<D_IMemInputPin *>(this)->Receive(Samples[i]);
        if (hr != S_OK) return hr;
        (*Processed)++;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseInputPin::ReceiveCanBlock()
{
    int count = m_pFilter->GetPinCount();
    int outputs = 0;
    for (int i = 0; i < count; i++) {
        D_CBasePin *pin = m_pFilter->GetPin(i);
        if (pin == nullptr) break;
        PIN_DIRECTION direction;
        HRESULT hr = pin->QueryDirection(&direction);
        if (FAILED(hr)) return hr;
        if (direction != PINDIR_OUTPUT || !pin->IsConnected()) continue;
        outputs++;
        IMemInputPin *input = nullptr;
        if (FAILED(pin->GetConnected()->QueryInterface(IID_IMemInputPin, reinterpret_cast<void **>(&input))))
            return S_OK;
        hr = input->ReceiveCanBlock();
        input->Release();
        if (hr != S_FALSE) return S_OK;
    }
    return outputs == 0 ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE D_CBaseInputPin::BeginFlush()
{
    D_CAutoLock lock(m_pLock);
    m_bFlushing = true;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseInputPin::EndFlush()
{
    D_CAutoLock lock(m_pLock);
    m_bFlushing = false;
    m_bRunTimeError = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseInputPin::Notify(IBaseFilter *Sender, Quality)
{
    return Sender == nullptr ? E_POINTER : S_OK;
}

HRESULT D_CBaseInputPin::Inactive()
{
    m_bRunTimeError = false;
    if (m_pAllocator == nullptr) return VFW_E_NO_ALLOCATOR;
    m_bFlushing = false;
    return m_pAllocator->Decommit();
}

HRESULT D_CBaseInputPin::BreakConnect()
{
    if (m_pAllocator != nullptr) {
        HRESULT hr = m_pAllocator->Decommit();
        if (FAILED(hr)) return hr;
        m_pAllocator->Release();
        m_pAllocator = nullptr;
    }
    return S_OK;
}

HRESULT D_CBaseInputPin::CheckStreaming()
{
    if (m_bFlushing) return S_FALSE;
    if (m_pFilter->IsStopped()) return VFW_E_WRONG_STATE;
    if (m_bRunTimeError) return VFW_E_RUNTIME_ERROR;
    return S_OK;
}

HRESULT D_CBaseInputPin::PassNotify(Quality &Q)
{
    if (m_pQSink != nullptr) return m_pQSink->Notify(m_pFilter->BaseFilterInterface(), Q);
    if (m_Connected == nullptr) return VFW_E_NOT_FOUND;
    IQualityControl *control = nullptr;
    if (FAILED(m_Connected->QueryInterface(IID_IQualityControl, reinterpret_cast<void **>(&control))))
        return VFW_E_NOT_FOUND;
    HRESULT hr = control->Notify(m_pFilter->BaseFilterInterface(), Q);
    control->Release();
    return hr;
}

// --- output pin ----------------------------------------------------------------------------

D_CBaseOutputPin::D_CBaseOutputPin(const wchar_t *ObjectName, D_CBaseFilter *Filter, D_CCritSec *Lock, HRESULT *Result,
                                   const wchar_t *Name)
    : D_CBasePin(ObjectName, Filter, Lock, Result, Name, PINDIR_OUTPUT), m_pAllocator(nullptr), m_pInputPin(nullptr)
{
}

D_CBaseOutputPin::~D_CBaseOutputPin()
{
    if (m_pAllocator != nullptr) m_pAllocator->Release();
    if (m_pInputPin != nullptr) m_pInputPin->Release();
}

HRESULT STDMETHODCALLTYPE D_CBaseOutputPin::EndOfStream() { return E_UNEXPECTED; }
HRESULT STDMETHODCALLTYPE D_CBaseOutputPin::BeginFlush() { return E_UNEXPECTED; }
HRESULT STDMETHODCALLTYPE D_CBaseOutputPin::EndFlush() { return E_UNEXPECTED; }

HRESULT D_CBaseOutputPin::Active()
{
    if (m_pAllocator == nullptr) return VFW_E_NO_ALLOCATOR;
    return m_pAllocator->Commit();
}

HRESULT D_CBaseOutputPin::Inactive()
{
    m_bRunTimeError = false;
    if (m_pAllocator == nullptr) return VFW_E_NO_ALLOCATOR;
    return m_pAllocator->Decommit();
}

HRESULT D_CBaseOutputPin::CheckConnect(IPin *Pin)
{
    HRESULT hr = D_CBasePin::CheckConnect(Pin);
    if (FAILED(hr)) return hr;
    if (m_pInputPin != nullptr) {
        m_pInputPin->Release();
        m_pInputPin = nullptr;
    }
    hr = Pin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void **>(&m_pInputPin));
    if (FAILED(hr)) {
        m_pInputPin = nullptr;
        return hr;
    }
    return S_OK;
}

HRESULT D_CBaseOutputPin::BreakConnect()
{
    if (m_pAllocator != nullptr) {
        HRESULT hr = m_pAllocator->Decommit();
        if (FAILED(hr)) return hr;
        m_pAllocator->Release();
        m_pAllocator = nullptr;
    }
    if (m_pInputPin != nullptr) {
        m_pInputPin->Release();
        m_pInputPin = nullptr;
    }
    return S_OK;
}

HRESULT D_CBaseOutputPin::CompleteConnect(IPin *) { return DecideAllocator(m_pInputPin, &m_pAllocator); }

HRESULT D_CBaseOutputPin::DecideAllocator(IMemInputPin *Pin, IMemAllocator **Allocator)
{
    *Allocator = nullptr;
    ALLOCATOR_PROPERTIES properties;
    memset(&properties, 0, sizeof(properties));
    Pin->GetAllocatorRequirements(&properties);
    if (properties.cbAlign == 0) properties.cbAlign = 1;

    HRESULT hr = Pin->GetAllocator(Allocator);
    if (SUCCEEDED(hr)) {
        hr = DecideBufferSize(*Allocator, &properties);
        if (SUCCEEDED(hr)) {
            hr = Pin->NotifyAllocator(*Allocator, FALSE);
            if (SUCCEEDED(hr)) return S_OK;
        }
    }
    if (*Allocator != nullptr) {
        (*Allocator)->Release();
        *Allocator = nullptr;
    }
    hr = InitAllocator(Allocator);
    if (SUCCEEDED(hr)) {
        hr = DecideBufferSize(*Allocator, &properties);
        if (SUCCEEDED(hr)) {
            hr = Pin->NotifyAllocator(*Allocator, FALSE);
            if (SUCCEEDED(hr)) return S_OK;
        }
    }
    if (*Allocator != nullptr) {
        (*Allocator)->Release();
        *Allocator = nullptr;
    }
    return hr;
}

HRESULT D_CBaseOutputPin::GetDeliveryBuffer(IMediaSample **Sample, REFERENCE_TIME *Start, REFERENCE_TIME *Stop,
                                            DWORD Flags)
{
    if (m_pAllocator == nullptr) return E_NOINTERFACE;
    return m_pAllocator->GetBuffer(Sample, Start, Stop, Flags);
}

HRESULT D_CBaseOutputPin::Deliver(IMediaSample *Sample)
{
    if (m_pInputPin == nullptr) return VFW_E_NOT_CONNECTED;
    return m_pInputPin->Receive(Sample);
}

HRESULT D_CBaseOutputPin::InitAllocator(IMemAllocator **Allocator)
{
    return CreateComInstance(&CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, &IID_IMemAllocator,
                             reinterpret_cast<void **>(Allocator));
}

HRESULT D_CBaseOutputPin::DeliverEndOfStream()
{
    if (m_Connected == nullptr) return VFW_E_NOT_CONNECTED;
    return m_Connected->EndOfStream();
}

HRESULT D_CBaseOutputPin::DeliverBeginFlush()
{
    if (m_Connected == nullptr) return VFW_E_NOT_CONNECTED;
    return m_Connected->BeginFlush();
}

HRESULT D_CBaseOutputPin::DeliverEndFlush()
{
    if (m_Connected == nullptr) return VFW_E_NOT_CONNECTED;
    return m_Connected->EndFlush();
}

HRESULT D_CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME Start, REFERENCE_TIME Stop, double Rate)
{
    if (m_Connected == nullptr) return VFW_E_NOT_CONNECTED;
    return m_Connected->NewSegment(Start, Stop, Rate);
}

void D_CBaseOutputPin::SetAllocator(IMemAllocator *Allocator)
{
    if (Allocator != nullptr) Allocator->AddRef();
    if (m_pAllocator != nullptr) m_pAllocator->Release();
    m_pAllocator = Allocator;
}
