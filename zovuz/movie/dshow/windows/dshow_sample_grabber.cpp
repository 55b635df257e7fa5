// The sample grabber filter, its input pin and the allocator over the owner's buffer.
#include "zovuz/movie/dshow/windows/dshow_sample_grabber.h"

#include <new>

// ---- allocator over the delivery buffer ---------------------------------------------------

D_CSampleGrabberAllocator::D_CSampleGrabberAllocator(D_CSampleGrabberInPin *Pin, HRESULT *Result)
    : D_CMemAllocator(L"SampleGrabberAllocator", nullptr, Result), m_pPin(Pin), m_Samples(nullptr), m_SampleCount(0)
{
}

D_CSampleGrabberAllocator::~D_CSampleGrabberAllocator() { FreeSamples(); }

void D_CSampleGrabberAllocator::FreeSamples()
{
    for (LONG i = 0; i < m_SampleCount; i++) delete m_Samples[i];
    delete[] m_Samples;
    m_Samples = nullptr;
    m_SampleCount = 0;
    m_pFreeList = nullptr;
    m_lFree = 0;
    m_lAllocated = 0;
}

HRESULT STDMETHODCALLTYPE D_CSampleGrabberAllocator::SetProperties(ALLOCATOR_PROPERTIES *Request,
                                                                   ALLOCATOR_PROPERTIES *Actual)
{
    HRESULT hr = D_CMemAllocator::SetProperties(Request, Actual);
    if (FAILED(hr)) return hr;
    const ALLOCATOR_PROPERTIES &own = m_pPin->m_allocprops;
    if (Request->cbAlign != own.cbAlign) return VFW_E_BADALIGN;
    if (Request->cbPrefix != own.cbPrefix) return E_FAIL;
    if (Request->cbBuffer > own.cbBuffer || Request->cBuffers > own.cBuffers) return E_FAIL;
    *Actual = own;
    m_lCount = own.cBuffers;
    m_lSize = own.cbBuffer;
    m_lAlignment = own.cbAlign;
    m_lPrefix = own.cbPrefix;
    return S_OK;
}

HRESULT D_CSampleGrabberAllocator::Alloc()
{
    D_CAutoLock lock(this);
    if (m_lCount < 1 || m_lSize < 1 || m_lAlignment < 1) return VFW_E_SIZENOTSET;
    if (!m_bChanged) return S_OK;
    FreeSamples();
    LONG aligned = (m_lSize + m_lPrefix + m_lAlignment - 1) / m_lAlignment * m_lAlignment;
    BYTE *memory = m_pPin->m_pBuffer;
    if (memory == nullptr) return E_OUTOFMEMORY;
    m_Samples = new (std::nothrow) D_CMediaSample *[m_lCount];
    if (m_Samples == nullptr) return E_OUTOFMEMORY;
    for (LONG i = 0; i < m_lCount; i++) {
        D_CMediaSample *sample = new (std::nothrow) D_CMediaSample(L"Sample grabber memory media sample", this, nullptr,
                                                                   memory + i * aligned + m_lPrefix, m_lSize);
        if (sample == nullptr) return E_OUTOFMEMORY;
        m_Samples[m_SampleCount++] = sample;
        PushFree(sample);
        m_lAllocated++;
    }
    m_bChanged = FALSE;
    return S_OK;
}

// ---- input pin ----------------------------------------------------------------------------

D_CSampleGrabberInPin::D_CSampleGrabberInPin(D_CSampleGrabber *Filter, HRESULT *Result)
    : D_CTransInPlaceInputPin(L"SampleGrabberInputPin", Filter, Result, L"Input"),
      m_pGrabber(Filter),
      m_pPrivateAllocator(nullptr),
      m_allocprops(),
      m_pBuffer(nullptr),
      m_bMediaTypeChanged(false)
{
}

D_CSampleGrabberInPin::~D_CSampleGrabberInPin()
{
    // The private allocator goes whatever its count; the one given by NotifyAllocator is the base's.
    if (m_pPrivateAllocator != nullptr && m_pAllocator == m_pPrivateAllocator->MemAllocatorInterface()) {
        m_pAllocator = nullptr;
    }
    D_SafeDelete(m_pPrivateAllocator);
}

HRESULT D_CSampleGrabberInPin::SetMediaType(const D_CMediaType *Type)
{
    m_bMediaTypeChanged = true;
    return D_CTransInPlaceInputPin::SetMediaType(Type);
}

HRESULT D_CSampleGrabberInPin::GetMediaType(int Position, D_CMediaType *Type)
{
    if (Position < 0) return E_INVALIDARG;
    if (Position > 0) return VFW_S_NO_MORE_ITEMS;
    Type->Clear();
    Type->majortype = m_pGrabber->m_mtAccept.majortype;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CSampleGrabberInPin::EnumMediaTypes(IEnumMediaTypes **Enum)
{
    if (Enum == nullptr) return E_POINTER;
    D_CTransformOutputPin *output = m_pGrabber->OutputPin();
    if (output == nullptr || !output->IsConnected()) {
        *Enum = new (std::nothrow) D_CEnumMediaTypes(this, nullptr);
        return *Enum != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    return output->GetConnected()->EnumMediaTypes(Enum);
}

HRESULT STDMETHODCALLTYPE D_CSampleGrabberInPin::GetAllocator(IMemAllocator **Allocator)
{
    if (m_pPrivateAllocator == nullptr) return D_CTransInPlaceInputPin::GetAllocator(Allocator);
    if (Allocator == nullptr) return E_POINTER;
    *Allocator = m_pPrivateAllocator->MemAllocatorInterface();
    (*Allocator)->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CSampleGrabberInPin::NotifyAllocator(IMemAllocator *Allocator, BOOL ReadOnly)
{
    if (m_pPrivateAllocator != nullptr) {
        if (Allocator != m_pPrivateAllocator->MemAllocatorInterface()) return E_FAIL;
        if (ReadOnly && m_pGrabber->ModifiesData()) return E_FAIL;
    }
    return D_CTransInPlaceInputPin::NotifyAllocator(Allocator, ReadOnly);
}

HRESULT STDMETHODCALLTYPE D_CSampleGrabberInPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES *Properties)
{
    if (m_pPrivateAllocator != nullptr) {
        if (Properties == nullptr) return E_POINTER;
        *Properties = m_allocprops;
        return S_OK;
    }
    D_CTransformOutputPin *output = m_pGrabber->OutputPin();
    if (output != nullptr && output->IsConnected())
        return output->DownstreamInputPin()->GetAllocatorRequirements(Properties);
    return E_NOTIMPL;
}

HRESULT D_CSampleGrabberInPin::SetDeliveryBuffer(ALLOCATOR_PROPERTIES Properties, BYTE *Buffer)
{
    if (Properties.cBuffers != 1) return E_INVALIDARG;
    if (Buffer == nullptr) return E_POINTER;
    m_allocprops = Properties;
    m_pBuffer = Buffer;
    if (m_pPrivateAllocator != nullptr) {
        m_pPrivateAllocator->Release();
        D_SafeDelete(m_pPrivateAllocator);
    }
    HRESULT hr = S_OK;
    m_pPrivateAllocator = new (std::nothrow) D_CSampleGrabberAllocator(this, &hr);
    if (m_pPrivateAllocator == nullptr) return E_OUTOFMEMORY;
    m_pPrivateAllocator->AddRef();
    return hr;
}

// ---- filter -------------------------------------------------------------------------------

D_CSampleGrabber::D_CSampleGrabber(IUnknown *Outer, HRESULT *Result, bool ModifiesData)
    : D_CTransInPlaceFilter(L"SampleGrabber", Outer, D_CLSID_GrabberSample, Result, ModifiesData),
      m_callback(nullptr),
      m_CallbackData(nullptr)
{
    m_pInput = new (std::nothrow) D_CSampleGrabberInPin(this, Result);
    if (m_pInput == nullptr && Result != nullptr) *Result = E_OUTOFMEMORY;
}

D_CSampleGrabber::~D_CSampleGrabber() {}

HRESULT STDMETHODCALLTYPE D_CSampleGrabber::NonDelegatingQueryInterface(REFIID Id, void **Object)
{
    if (Object == nullptr) return E_POINTER;
    if (IsEqualIID(Id, IID_IGrabberSample)) return D_GetInterface(static_cast<D_IGrabberSample *>(this), Object);
    return D_CTransInPlaceFilter::NonDelegatingQueryInterface(Id, Object);
}

HRESULT STDMETHODCALLTYPE D_CSampleGrabber::SetAcceptedMediaType(const AM_MEDIA_TYPE *Type)
{
    D_CAutoLock lock(&m_Lock);
    if (Type == nullptr) {
        m_mtAccept.Clear();
        return S_OK;
    }
    if (Type == &m_mtAccept) return S_OK;
    D_FreeMediaTypeContents(&m_mtAccept);
    return D_CopyMediaType(&m_mtAccept, Type);
}

HRESULT STDMETHODCALLTYPE D_CSampleGrabber::GetConnectedMediaType(AM_MEDIA_TYPE *Type)
{
    if (m_pInput == nullptr || !m_pInput->IsConnected()) return VFW_E_NOT_CONNECTED;
    return m_pInput->ConnectionMediaType(Type);
}

HRESULT STDMETHODCALLTYPE D_CSampleGrabber::SetCallback(SampleGrabberCallback Callback, void *UserData)
{
    D_CAutoLock lock(&m_Lock);
    m_callback = Callback;
    m_CallbackData = UserData;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CSampleGrabber::SetDeliveryBuffer(ALLOCATOR_PROPERTIES Properties, BYTE *Buffer)
{
    if (m_pInput == nullptr || m_pOutput == nullptr) return E_POINTER;
    if (m_pInput->IsConnected() || m_pOutput->IsConnected()) return E_INVALIDARG;
    return static_cast<D_CSampleGrabberInPin *>(m_pInput)->SetDeliveryBuffer(Properties, Buffer);
}

HRESULT D_CSampleGrabber::CheckInputType(const D_CMediaType *Type)
{
    D_CAutoLock lock(&m_Lock);
    if (GuidEqual(m_mtAccept.majortype, GUID_NULL)) return S_OK;
    if (GuidNotEqual(m_mtAccept.majortype, Type->majortype)) return VFW_E_INVALID_MEDIA_TYPE;
    if (GuidEqual(m_mtAccept.subtype, GUID_NULL)) return S_OK;
    if (GuidNotEqual(m_mtAccept.subtype, Type->subtype)) return VFW_E_INVALID_MEDIA_TYPE;
    if (GuidEqual(m_mtAccept.formattype, GUID_NULL)) return S_OK;
    if (GuidNotEqual(m_mtAccept.formattype, Type->formattype)) return VFW_E_INVALID_MEDIA_TYPE;
    return S_OK;
}

HRESULT D_CSampleGrabber::Transform(IMediaSample *Sample)
{
    D_CAutoLock lock(&m_Lock);
    if (m_callback == nullptr) return S_OK;
    REFERENCE_TIME start = 0, stop = 0;
    Sample->GetTime(&start, &stop);
    REFERENCE_TIME segment = static_cast<D_CSampleGrabberInPin *>(m_pInput)->SegmentStart();
    start += segment;
    stop += segment;
    D_CSampleGrabberInPin *pin = static_cast<D_CSampleGrabberInPin *>(m_pInput);
    HRESULT hr = m_callback(Sample, &start, &stop, pin->m_bMediaTypeChanged, m_CallbackData);
    pin->m_bMediaTypeChanged = false;
    return hr;
}

D_CSampleGrabber *D_CSampleGrabber_CreateInstance(IUnknown *Outer, HRESULT *Result)
{
    HRESULT hr = S_OK;
    D_CSampleGrabber *grabber = new (std::nothrow) D_CSampleGrabber(Outer, &hr, false);
    if (grabber == nullptr) hr = E_OUTOFMEMORY;
    if (Result != nullptr) *Result = hr;
    return grabber;
}
