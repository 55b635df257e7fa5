// The in-place transform filter and its two pins: the sample is changed where it lies, and both
// connections share one allocator whenever the neighbours allow it.
#include "zovuz/movie/dshow/windows/dshow_transform.h"
#include "zovuz/core/zovuz_core.h"
#include <string.h>

D_CTransInPlaceFilter::D_CTransInPlaceFilter(const wchar_t *ObjectName, IUnknown *Outer, REFCLSID ClassId, HRESULT *,
                                             bool ModifiesData)
    : D_CTransformFilter(ObjectName, Outer, ClassId), m_bModifiesData(ModifiesData)
{
}

D_CBasePin *D_CTransInPlaceFilter::GetPin(int Index)
{
    if (m_pInput == nullptr) m_pInput = MakePin<D_CTransInPlaceInputPin>(this, L"TransInPlace input pin", L"Input");
    if (m_pInput != nullptr && m_pOutput == nullptr) {
        m_pOutput = MakePin<D_CTransInPlaceOutputPin>(this, L"TransInPlace output pin", L"Output");
        if (m_pOutput == nullptr) D_SafeDelete(m_pInput);
    }
    if (Index == 0) return m_pInput;
    if (Index == 1) return m_pOutput;
    return nullptr;
}

// The pins enumerate their neighbours' types; the filter offers none of its own.
HRESULT D_CTransInPlaceFilter::GetMediaType(int, D_CMediaType *) { return E_UNEXPECTED; }
HRESULT D_CTransInPlaceFilter::CheckTransform(const D_CMediaType *, const D_CMediaType *) { return S_OK; }

HRESULT D_CTransInPlaceFilter::DecideBufferSize(IMemAllocator *Allocator, ALLOCATOR_PROPERTIES *Properties)
{
    ALLOCATOR_PROPERTIES request;
    if (m_pInput->IsConnected()) {
        IMemAllocator *input = m_pInput->PeekAllocator();
        if (input == nullptr) return VFW_E_NO_ALLOCATOR;
        HRESULT hr = input->GetProperties(&request);
        if (FAILED(hr)) return hr;
    } else {
        request.cBuffers = 1;
        request.cbBuffer = 1;
        request.cbAlign = 0;
        request.cbPrefix = 0;
    }
    Properties->cBuffers = request.cBuffers > 1 ? request.cBuffers : 1;
    Properties->cbBuffer = request.cbBuffer > 1 ? request.cbBuffer : 1;
    Properties->cbAlign = request.cbAlign;
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = Allocator->SetProperties(Properties, &actual);
    if (FAILED(hr)) return hr;
    if (actual.cBuffers < request.cBuffers || actual.cbBuffer < request.cbBuffer || actual.cbAlign < request.cbAlign)
        return E_FAIL;
    return S_OK;
}

HRESULT D_CTransInPlaceFilter::ReconnectPin(IPin *Pin, const AM_MEDIA_TYPE *Type)
{
    if (m_pGraph == nullptr) return E_NOINTERFACE;
    IFilterGraph2 *graph2 = nullptr;
    if (SUCCEEDED(m_pGraph->QueryInterface(IID_IFilterGraph2, reinterpret_cast<void **>(&graph2)))) {
        HRESULT hr = graph2->ReconnectEx(Pin, Type);
        graph2->Release();
        return hr;
    }
    return m_pGraph->Reconnect(Pin);
}

HRESULT D_CTransInPlaceFilter::CompleteConnect(PIN_DIRECTION Direction, IPin *)
{
    if (m_pGraph == nullptr) return VFW_E_NOT_IN_GRAPH;
    if (Direction == PINDIR_OUTPUT) {
        if (m_pInput->IsConnected()) return ReconnectPin(m_pInput->PinInterface(), &m_pOutput->CurrentMediaType());
        return S_OK;
    }
    if (m_pOutput->IsConnected() && m_pInput->CurrentMediaType() != m_pOutput->CurrentMediaType())
        return ReconnectPin(m_pOutput->PinInterface(), &m_pInput->CurrentMediaType());
    return S_OK;
}

bool D_CTransInPlaceFilter::UsingDifferentAllocators() const
{
    return m_pInput->PeekAllocator() != m_pOutput->PeekAllocator();
}

IMediaSample *D_CTransInPlaceFilter::Copy(IMediaSample *Source)
{
    REFERENCE_TIME start, stop;
    bool times = Source->GetTime(&start, &stop) == S_OK;
    IMediaSample *dest = nullptr;
    HRESULT hr = m_pOutput->PeekAllocator()->GetBuffer(&dest, times ? &start : nullptr, times ? &stop : nullptr,
                                                       m_bSampleSkipped ? AM_GBF_PREVFRAMESKIPPED : 0);
    if (FAILED(hr)) return nullptr;

    IMediaSample2 *dest2 = nullptr;
    if (SUCCEEDED(dest->QueryInterface(IID_IMediaSample2, reinterpret_cast<void **>(&dest2)))) {
        hr = dest2->SetProperties(offsetof(AM_SAMPLE2_PROPERTIES, pbBuffer),
                                  reinterpret_cast<const BYTE *>(m_pInput->SampleProps()));
        dest2->Release();
        if (FAILED(hr)) {
            dest->Release();
            return nullptr;
        }
    } else {
        if (times) dest->SetTime(&start, &stop);
        if (Source->IsSyncPoint() == S_OK) dest->SetSyncPoint(TRUE);
        if (Source->IsDiscontinuity() == S_OK || m_bSampleSkipped) dest->SetDiscontinuity(TRUE);
        if (Source->IsPreroll() == S_OK) dest->SetPreroll(TRUE);
        AM_MEDIA_TYPE *type = nullptr;
        if (Source->GetMediaType(&type) == S_OK) {
            dest->SetMediaType(type);
            D_FreeMediaType(type);
        }
    }
    m_bSampleSkipped = FALSE;
    LONGLONG mediaStart, mediaEnd;
    if (Source->GetMediaTime(&mediaStart, &mediaEnd) == S_OK) dest->SetMediaTime(&mediaStart, &mediaEnd);

    // A source holding more than the output buffer takes is refused rather than overrun.
    LONG length = Source->GetActualDataLength();
    if (FAILED(dest->SetActualDataLength(length)) || length < 0) {
        dest->Release();
        return nullptr;
    }
    BYTE *from = nullptr, *to = nullptr;
    Source->GetPointer(&from);
    dest->GetPointer(&to);
    if (length > 0) memcpy(to, from, length);
    return dest;
}

HRESULT D_CTransInPlaceFilter::Receive(IMediaSample *Sample)
{
    if (Sample == nullptr) return E_POINTER;
    if (m_pInput->SampleProps()->dwStreamId != AM_STREAM_MEDIA)
        return m_pOutput->IsConnected() ? m_pOutput->Deliver(Sample) : S_OK;

    IMediaSample *copy = nullptr;
    if (UsingDifferentAllocators()) {
        copy = Copy(Sample);
        if (copy == nullptr) return E_UNEXPECTED;
    }
    IMediaSample *sample = copy != nullptr ? copy : Sample;
    HRESULT hr = Transform(sample);
    if (hr == S_OK) hr = m_pOutput->Deliver(sample);
    if (copy != nullptr) copy->Release();
    return hr;
}

// --- input pin -----------------------------------------------------------------------------

D_CTransInPlaceInputPin::D_CTransInPlaceInputPin(const wchar_t *ObjectName, D_CTransInPlaceFilter *Filter,
                                                 HRESULT *Result, const wchar_t *Name)
    : D_CTransformInputPin(ObjectName, Filter, Result, Name), m_pTIPFilter(Filter), m_bReadOnly(false)
{
}

HRESULT STDMETHODCALLTYPE D_CTransInPlaceInputPin::EnumMediaTypes(IEnumMediaTypes **Enum)
{
    D_CTransformOutputPin *output = m_pTIPFilter->OutputPin();
    if (output == nullptr || !output->IsConnected()) return VFW_E_NOT_CONNECTED;
    return output->GetConnected()->EnumMediaTypes(Enum);
}

HRESULT D_CTransInPlaceInputPin::CheckMediaType(const D_CMediaType *Type)
{
    HRESULT hr = m_pTIPFilter->CheckInputType(Type);
    if (hr != S_OK) return hr;
    D_CTransformOutputPin *output = m_pTIPFilter->OutputPin();
    if (output != nullptr && output->IsConnected()) return output->GetConnected()->QueryAccept(Type);
    return S_OK;
}

HRESULT D_CTransInPlaceInputPin::CompleteConnect(IPin *ReceivePin)
{
    return m_pTIPFilter->CompleteConnect(PINDIR_INPUT, ReceivePin);
}

HRESULT STDMETHODCALLTYPE D_CTransInPlaceInputPin::GetAllocator(IMemAllocator **Allocator)
{
    if (Allocator == nullptr) return E_POINTER;
    D_CAutoLock lock(m_pLock);
    D_CTransformOutputPin *output = m_pTIPFilter->OutputPin();
    if (output != nullptr && output->IsConnected()) {
        HRESULT hr = output->DownstreamInputPin()->GetAllocator(Allocator);
        if (SUCCEEDED(hr)) output->SetAllocator(*Allocator);
        return hr;
    }
    // Only until the output connects and the input is reconnected.
    return D_CBaseInputPin::GetAllocator(Allocator);
}

HRESULT STDMETHODCALLTYPE D_CTransInPlaceInputPin::NotifyAllocator(IMemAllocator *Allocator, BOOL ReadOnly)
{
    if (Allocator == nullptr) return E_POINTER;
    D_CAutoLock lock(m_pLock);
    m_bReadOnly = ReadOnly != FALSE;
    D_CTransformOutputPin *output = m_pTIPFilter->OutputPin();
    if (output == nullptr || !output->IsConnected()) return D_CBaseInputPin::NotifyAllocator(Allocator, ReadOnly);

    HRESULT hr;
    if (!m_bReadOnly || !m_pTIPFilter->ModifiesData()) {
        hr = output->DownstreamInputPin()->NotifyAllocator(Allocator, ReadOnly);
        if (SUCCEEDED(hr)) output->SetAllocator(Allocator);
    } else {
        // The filter writes into read-only samples: it copies into an allocator of its own.
        IMemAllocator *outputAllocator = output->PeekAllocator();
        if (outputAllocator != nullptr) {
            outputAllocator->AddRef();
        } else if (FAILED(output->DownstreamInputPin()->GetAllocator(&outputAllocator))) {
            outputAllocator = nullptr;
            hr = output->InitAllocator(&outputAllocator);
            if (FAILED(hr)) return hr;
        }
        output->SetAllocator(outputAllocator);
        if (outputAllocator == Allocator) {
            hr = E_FAIL;
        } else {
            ALLOCATOR_PROPERTIES request, actual;
            hr = Allocator->GetProperties(&request);
            if (SUCCEEDED(hr)) hr = outputAllocator->SetProperties(&request, &actual);
            if (SUCCEEDED(hr) && (actual.cBuffers < request.cBuffers || actual.cbBuffer < request.cbBuffer ||
                                  actual.cbAlign < request.cbAlign))
                hr = E_FAIL;
            if (SUCCEEDED(hr)) hr = output->DownstreamInputPin()->NotifyAllocator(outputAllocator, FALSE);
        }
        outputAllocator->Release();
    }
    if (SUCCEEDED(hr)) {
        Allocator->AddRef();
        if (m_pAllocator != nullptr) m_pAllocator->Release();
        m_pAllocator = Allocator;
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE D_CTransInPlaceInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES *Properties)
{
    D_CTransformOutputPin *output = m_pTIPFilter->OutputPin();
    if (output != nullptr && output->IsConnected())
        return output->DownstreamInputPin()->GetAllocatorRequirements(Properties);
    return E_NOTIMPL;
}

// --- output pin ----------------------------------------------------------------------------

D_CTransInPlaceOutputPin::D_CTransInPlaceOutputPin(const wchar_t *ObjectName, D_CTransInPlaceFilter *Filter,
                                                   HRESULT *Result, const wchar_t *Name)
    : D_CTransformOutputPin(ObjectName, Filter, Result, Name), m_pTIPFilter(Filter)
{
}

HRESULT STDMETHODCALLTYPE D_CTransInPlaceOutputPin::EnumMediaTypes(IEnumMediaTypes **Enum)
{
    D_CTransformInputPin *input = m_pTIPFilter->InputPin();
    if (input == nullptr || !input->IsConnected()) return VFW_E_NOT_CONNECTED;
    return input->GetConnected()->EnumMediaTypes(Enum);
}

HRESULT D_CTransInPlaceOutputPin::CheckMediaType(const D_CMediaType *Type)
{
    if (m_pTIPFilter->UsingDifferentAllocators() && !m_pFilter->IsStopped())
        return *Type == m_mt ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT hr = m_pTIPFilter->CheckInputType(Type);
    if (hr != S_OK) return hr;
    D_CTransformInputPin *input = m_pTIPFilter->InputPin();
    if (input != nullptr && input->IsConnected()) return input->GetConnected()->QueryAccept(Type);
    return S_OK;
}

HRESULT D_CTransInPlaceOutputPin::CompleteConnect(IPin *ReceivePin)
{
    HRESULT hr = DecideAllocator(m_pInputPin, &m_pAllocator);
    if (FAILED(hr)) return hr;
    return m_pTIPFilter->CompleteConnect(PINDIR_OUTPUT, ReceivePin);
}
