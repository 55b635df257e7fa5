// The base filter and the two enumerators.
#include "zovuz/movie/dshow/windows/dshow_filter.h"
#include "zovuz/core/zovuz_core.h"
#include <new>
#include <string.h>

static WCHAR *CopyWideString(const wchar_t *Text)
{
    if (Text == nullptr) return nullptr;
    size_t length = wcslen(Text) + 1;
    WCHAR *copy = new (std::nothrow) WCHAR[length];
    if (copy != nullptr) memcpy(copy, Text, length * sizeof(WCHAR));
    return copy;
}

D_CBaseFilter::D_CBaseFilter(const wchar_t *ObjectName, IUnknown *Outer, D_CCritSec *Lock, REFCLSID ClassId)
    : D_CUnknown(ObjectName, Outer),
      m_State(State_Stopped),
      m_pClock(nullptr),
      m_tStart(0),
      m_clsid(ClassId),
      m_pLock(Lock),
      m_pName(nullptr),
      m_pGraph(nullptr),
      m_pSink(nullptr),
      m_PinVersion(1)
{
}

D_CBaseFilter::D_CBaseFilter(const wchar_t *ObjectName, IUnknown *Outer, D_CCritSec *Lock, REFCLSID ClassId, HRESULT *)
    : D_CBaseFilter(ObjectName, Outer, Lock, ClassId)
{
}

D_CBaseFilter::~D_CBaseFilter()
{
    delete[] m_pName;
    if (m_pClock != nullptr) m_pClock->Release();
}

HRESULT STDMETHODCALLTYPE D_CBaseFilter::NonDelegatingQueryInterface(REFIID Id, void **Object)
{
    if (Object == nullptr) return E_POINTER;
    if (IsEqualIID(Id, IID_IBaseFilter) || IsEqualIID(Id, IID_IMediaFilter) || IsEqualIID(Id, IID_IPersist))
        return D_GetInterface(static_cast<D_IBaseFilter *>(this), Object);
    if (IsEqualIID(Id, IID_IAMovieSetup)) return D_GetInterface(static_cast<D_IAMovieSetup *>(this), Object);
    return D_CUnknown::NonDelegatingQueryInterface(Id, Object);
}

HRESULT STDMETHODCALLTYPE D_CBaseFilter::GetClassID(CLSID *ClassId)
{
    if (ClassId == nullptr) return E_POINTER;
    *ClassId = m_clsid;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseFilter::Stop()
{
    D_CAutoLock lock(m_pLock);
    HRESULT result = S_OK;
    if (m_State != State_Stopped) {
        int count = GetPinCount();
        for (int i = 0; i < count; i++) {
            D_CBasePin *pin = GetPin(i);
            if (pin == nullptr || !pin->IsConnected()) continue;
            HRESULT hr = pin->Inactive();
            if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        }
    }
    m_State = State_Stopped;
    return result;
}

HRESULT STDMETHODCALLTYPE D_CBaseFilter::Pause()
{
    D_CAutoLock lock(m_pLock);
    if (m_State == State_Stopped) {
        int count = GetPinCount();
        for (int i = 0; i < count; i++) {
            D_CBasePin *pin = GetPin(i);
            if (pin == nullptr || !pin->IsConnected()) continue;
            HRESULT hr = pin->Active();
            if (FAILED(hr)) return hr;
        }
    }
    m_State = State_Paused;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseFilter::Run(REFERENCE_TIME Start)
{
    D_CAutoLock lock(m_pLock);
    m_tStart = Start;
    if (m_State == State_Stopped) {
        // Through the interface, so that a derived filter's Pause runs.
        HRESULT hr = static_cast<D_IBaseFilter *>(this)->Pause();
        if (FAILED(hr)) return hr;
    }
    if (m_State != State_Running) {
        int count = GetPinCount();
        for (int i = 0; i < count; i++) {
            D_CBasePin *pin = GetPin(i);
            if (pin == nullptr || !pin->IsConnected()) continue;
            HRESULT hr = pin->Run(Start);
            if (FAILED(hr)) return hr;
        }
    }
    m_State = State_Running;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseFilter::GetState(DWORD, FILTER_STATE *State)
{
    if (State == nullptr) return E_POINTER;
    *State = m_State;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseFilter::SetSyncSource(IReferenceClock *Clock)
{
    D_CAutoLock lock(m_pLock);
    if (Clock != nullptr) Clock->AddRef();
    if (m_pClock != nullptr) m_pClock->Release();
    m_pClock = Clock;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseFilter::GetSyncSource(IReferenceClock **Clock)
{
    if (Clock == nullptr) return E_POINTER;
    D_CAutoLock lock(m_pLock);
    if (m_pClock != nullptr) m_pClock->AddRef();
    *Clock = m_pClock;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseFilter::EnumPins(IEnumPins **Enum)
{
    if (Enum == nullptr) return E_POINTER;
    *Enum = new (std::nothrow) D_CEnumPins(this, nullptr);
    return *Enum == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseFilter::QueryFilterInfo(FILTER_INFO *Info)
{
    if (Info == nullptr) return E_POINTER;
    if (m_pName != nullptr)
        lstrcpynW(Info->achName, m_pName, sizeof(Info->achName) / sizeof(Info->achName[0]));
    else
        Info->achName[0] = L'\0';
    Info->pGraph = m_pGraph;
    if (m_pGraph != nullptr) m_pGraph->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseFilter::JoinFilterGraph(IFilterGraph *Graph, LPCWSTR Name)
{
    D_CAutoLock lock(m_pLock);
    m_pGraph = Graph;
    m_pSink = nullptr;
    if (Graph != nullptr) {
        IMediaEventSink *sink = nullptr;
        // The sink is held without a reference: the graph outlives its membership.
        if (SUCCEEDED(Graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void **>(&sink)))) {
            m_pSink = sink;
            sink->Release();
        }
    }
    delete[] m_pName;
    m_pName = CopyWideString(Name);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseFilter::QueryVendorInfo(LPWSTR *) { return E_NOTIMPL; }

static HRESULT RegisterWithMapper(const FilterSetupData *Setup, bool Register)
{
    HRESULT result = S_OK;
    CoInitializeEx(nullptr, 0);
    IFilterMapper *mapper = nullptr;
    HRESULT hr = CreateComInstance(&CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, &IID_IFilterMapper,
                                   reinterpret_cast<void **>(&mapper));
    if (SUCCEEDED(hr)) {
        if (Register)
            mapper->RegisterFilter(*Setup->ClassId, Setup->Name, Setup->Merit);
        else
            result = mapper->UnregisterFilter(*Setup->ClassId);
        mapper->Release();
    }
    CoFreeUnusedLibraries();
    CoUninitialize();
    if (!Register && result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) result = S_OK;
    return result;
}

HRESULT STDMETHODCALLTYPE D_CBaseFilter::Register()
{
    const FilterSetupData *setup = GetSetupData();
    if (setup == nullptr) return S_FALSE;
    RegisterWithMapper(setup, true);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseFilter::Unregister()
{
    const FilterSetupData *setup = GetSetupData();
    if (setup == nullptr) return S_FALSE;
    return RegisterWithMapper(setup, false);
}

HRESULT D_CBaseFilter::StreamTime(REFERENCE_TIME *Time)
{
    if (m_pClock == nullptr) return VFW_E_NO_CLOCK;
    HRESULT hr = m_pClock->GetTime(Time);
    if (FAILED(hr)) return hr;
    *Time -= m_tStart;
    return S_OK;
}

LONG D_CBaseFilter::GetPinVersion() { return m_PinVersion; }

const FilterSetupData *D_CBaseFilter::GetSetupData() { return nullptr; }

HRESULT D_CBaseFilter::NotifyEvent(long Code, LONG_PTR Param1, LONG_PTR Param2)
{
    if (m_pSink == nullptr) return S_OK;
    return m_pSink->Notify(Code, Param1, Param2);
}

// --- pin enumerator ------------------------------------------------------------------------

D_CEnumPins::D_CEnumPins(D_CBaseFilter *Filter, const D_CEnumPins *Copy)
    : m_Position(0),
      m_PinCount(0),
      m_pFilter(Filter),
      m_Version(0),
      m_cRef(1),
      m_Returned(nullptr),
      m_ReturnedCount(0),
      m_ReturnedCapacity(0)
{
    m_pFilter->BaseFilterInterface()->AddRef();
    if (Copy != nullptr) {
        m_Position = Copy->m_Position;
        m_PinCount = Copy->m_PinCount;
        m_Version = Copy->m_Version;
        if (Copy->m_ReturnedCount > 0) {
            m_Returned = new (std::nothrow) D_CBasePin *[Copy->m_ReturnedCount];
            if (m_Returned != nullptr) {
                memcpy(m_Returned, Copy->m_Returned, Copy->m_ReturnedCount * sizeof(D_CBasePin *));
                m_ReturnedCount = m_ReturnedCapacity = Copy->m_ReturnedCount;
            }
        }
    } else {
        m_Version = m_pFilter->GetPinVersion();
        m_PinCount = m_pFilter->GetPinCount();
    }
}

D_CEnumPins::~D_CEnumPins()
{
    delete[] m_Returned;
    m_pFilter->BaseFilterInterface()->Release();
}

HRESULT STDMETHODCALLTYPE D_CEnumPins::QueryInterface(REFIID Id, void **Object)
{
    if (Object == nullptr) return E_POINTER;
    if (IsEqualIID(Id, IID_IUnknown) || IsEqualIID(Id, IID_IEnumPins)) return D_GetInterface(this, Object);
    *Object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE D_CEnumPins::AddRef() { return InterlockedIncrement(&m_cRef); }

ULONG STDMETHODCALLTYPE D_CEnumPins::Release()
{
    LONG count = InterlockedDecrement(&m_cRef);
    if (count == 0) delete this;
    return count;
}

bool D_CEnumPins::AlreadyReturned(D_CBasePin *Pin) const
{
    for (int i = 0; i < m_ReturnedCount; i++)
        if (m_Returned[i] == Pin) return true;
    return false;
}

HRESULT STDMETHODCALLTYPE D_CEnumPins::Next(ULONG Count, IPin **Pins, ULONG *Fetched)
{
    if (Pins == nullptr) return E_POINTER;
    if (Fetched != nullptr)
        *Fetched = 0;
    else if (Count > 1)
        return E_INVALIDARG;
    if (m_pFilter->GetPinVersion() != m_Version) {
        // The pin set changed: start again, but remember what was handed out already.
        m_Version = m_pFilter->GetPinVersion();
        m_PinCount = m_pFilter->GetPinCount();
        m_Position = 0;
    }
    LONG left = m_PinCount - m_Position;
    ULONG wanted = Count < static_cast<ULONG>(left > 0 ? left : 0) ? Count : static_cast<ULONG>(left > 0 ? left : 0);
    if (wanted == 0) return S_FALSE;
    ULONG fetched = 0;
    while (fetched < wanted && m_Position < m_PinCount) {
        D_CBasePin *pin = m_pFilter->GetPin(m_Position++);
        if (pin == nullptr) return VFW_E_ENUM_OUT_OF_SYNC;
        if (AlreadyReturned(pin)) continue;
        if (m_ReturnedCount == m_ReturnedCapacity) {
            int capacity = m_ReturnedCapacity == 0 ? 10 : m_ReturnedCapacity * 2;
            D_CBasePin **grown = new (std::nothrow) D_CBasePin *[capacity];
            if (grown == nullptr) break;
            if (m_ReturnedCount > 0) memcpy(grown, m_Returned, m_ReturnedCount * sizeof(D_CBasePin *));
            delete[] m_Returned;
            m_Returned = grown;
            m_ReturnedCapacity = capacity;
        }
        m_Returned[m_ReturnedCount++] = pin;
        Pins[fetched] = pin->PinInterface();
        Pins[fetched]->AddRef();
        fetched++;
    }
    if (Fetched != nullptr) *Fetched = fetched;
    return fetched == Count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE D_CEnumPins::Skip(ULONG Count)
{
    if (m_pFilter->GetPinVersion() != m_Version) return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG left = static_cast<ULONG>(m_PinCount - m_Position);
    if (Count > left) return S_FALSE;
    m_Position += Count;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CEnumPins::Reset()
{
    m_Version = m_pFilter->GetPinVersion();
    m_PinCount = m_pFilter->GetPinCount();
    m_Position = 0;
    m_ReturnedCount = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CEnumPins::Clone(IEnumPins **Enum)
{
    if (Enum == nullptr) return E_POINTER;
    if (m_pFilter->GetPinVersion() != m_Version) {
        *Enum = nullptr;
        return VFW_E_ENUM_OUT_OF_SYNC;
    }
    *Enum = new (std::nothrow) D_CEnumPins(m_pFilter, this);
    return *Enum == nullptr ? E_OUTOFMEMORY : S_OK;
}

// --- media-type enumerator -----------------------------------------------------------------

D_CEnumMediaTypes::D_CEnumMediaTypes(D_CBasePin *Pin, const D_CEnumMediaTypes *Copy)
    : m_Position(0), m_pPin(Pin), m_Version(0), m_cRef(1)
{
    m_pPin->PinInterface()->AddRef();
    if (Copy != nullptr) {
        m_Position = Copy->m_Position;
        m_Version = Copy->m_Version;
    } else {
        m_Version = m_pPin->GetMediaTypeVersion();
    }
}

D_CEnumMediaTypes::~D_CEnumMediaTypes() { m_pPin->PinInterface()->Release(); }

HRESULT STDMETHODCALLTYPE D_CEnumMediaTypes::QueryInterface(REFIID Id, void **Object)
{
    if (Object == nullptr) return E_POINTER;
    if (IsEqualIID(Id, IID_IUnknown) || IsEqualIID(Id, IID_IEnumMediaTypes)) return D_GetInterface(this, Object);
    *Object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE D_CEnumMediaTypes::AddRef() { return InterlockedIncrement(&m_cRef); }

ULONG STDMETHODCALLTYPE D_CEnumMediaTypes::Release()
{
    LONG count = InterlockedDecrement(&m_cRef);
    if (count == 0) delete this;
    return count;
}

HRESULT STDMETHODCALLTYPE D_CEnumMediaTypes::Next(ULONG Count, AM_MEDIA_TYPE **Types, ULONG *Fetched)
{
    if (Types == nullptr) return E_POINTER;
    if (m_Version != m_pPin->GetMediaTypeVersion()) return VFW_E_ENUM_OUT_OF_SYNC;
    if (Fetched != nullptr)
        *Fetched = 0;
    else if (Count > 1)
        return E_INVALIDARG;
    ULONG fetched = 0;
    while (fetched < Count) {
        D_CMediaType scratch;
        if (m_pPin->GetMediaType(m_Position++, &scratch) != S_OK) break;
        AM_MEDIA_TYPE *record = static_cast<AM_MEDIA_TYPE *>(D_TaskMemory.Alloc(sizeof(AM_MEDIA_TYPE)));
        if (record == nullptr) break;
        // The format block and pUnk pass to the caller's record; the scratch record lets them go.
        *record = scratch;
        scratch.cbFormat = 0;
        scratch.pbFormat = nullptr;
        scratch.pUnk = nullptr;
        Types[fetched++] = record;
    }
    if (Fetched != nullptr) *Fetched = fetched;
    return fetched == Count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE D_CEnumMediaTypes::Skip(ULONG Count)
{
    if (Count == 0) return S_OK;
    if (m_Version != m_pPin->GetMediaTypeVersion()) return VFW_E_ENUM_OUT_OF_SYNC;
    m_Position += Count;
    D_CMediaType scratch;
    return m_pPin->GetMediaType(m_Position - 1, &scratch) == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE D_CEnumMediaTypes::Reset()
{
    m_Position = 0;
    m_Version = m_pPin->GetMediaTypeVersion();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CEnumMediaTypes::Clone(IEnumMediaTypes **Enum)
{
    if (Enum == nullptr) return E_POINTER;
    if (m_Version != m_pPin->GetMediaTypeVersion()) {
        *Enum = nullptr;
        return VFW_E_ENUM_OUT_OF_SYNC;
    }
    *Enum = new (std::nothrow) D_CEnumMediaTypes(m_pPin, this);
    return *Enum == nullptr ? E_OUTOFMEMORY : S_OK;
}
