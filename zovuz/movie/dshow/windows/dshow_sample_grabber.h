// The sample grabber: an in-place transform filter that passes every sample through unchanged
// and first hands it to its owner's callback. Its input accepts only the media type its owner
// sets; it can also deliver into one buffer of its owner's through a private allocator.
#pragma once

#include "zovuz/movie/dshow/windows/dshow_allocator.h"
#include "zovuz/movie/dshow/windows/dshow_transform.h"

class D_CSampleGrabber;
class D_CSampleGrabberInPin;

// Hands out samples that lie in the owner's delivery buffer; never allocates sample memory.
class D_CSampleGrabberAllocator : public D_CMemAllocator
{
public:
    D_CSampleGrabberAllocator(D_CSampleGrabberInPin *Pin, HRESULT *Result);
    ~D_CSampleGrabberAllocator() override;

    HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES *Request, ALLOCATOR_PROPERTIES *Actual) override;
    HRESULT Alloc() override;
    void Free() override {}

private:
    void FreeSamples();

    D_CSampleGrabberInPin *m_pPin;
    D_CMediaSample **m_Samples;  // every sample made, for deletion
    LONG m_SampleCount;
};

class D_CSampleGrabberInPin : public D_CTransInPlaceInputPin
{
public:
    D_CSampleGrabberInPin(D_CSampleGrabber *Filter, HRESULT *Result);
    ~D_CSampleGrabberInPin() override;

    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes **Enum) override;
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator **Allocator) override;
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator *Allocator, BOOL ReadOnly) override;
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES *Properties) override;
    HRESULT SetMediaType(const D_CMediaType *Type) override;
    HRESULT GetMediaType(int Position, D_CMediaType *Type) override;

    HRESULT SetDeliveryBuffer(ALLOCATOR_PROPERTIES Properties, BYTE *Buffer);
    REFERENCE_TIME SegmentStart() const { return m_tStart; }

private:
    friend class D_CSampleGrabber;
    friend class D_CSampleGrabberAllocator;

    D_CSampleGrabber *m_pGrabber;
    D_CSampleGrabberAllocator *m_pPrivateAllocator;  // owned
    ALLOCATOR_PROPERTIES m_allocprops;
    BYTE *m_pBuffer;  // the owner's
    bool m_bMediaTypeChanged;
};

class D_CSampleGrabber : public D_CTransInPlaceFilter, public D_IGrabberSample
{
public:
    D_CSampleGrabber(IUnknown *Outer, HRESULT *Result, bool ModifiesData);
    ~D_CSampleGrabber() override;

    D_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID Id, void **Object) override;

    HRESULT STDMETHODCALLTYPE SetAcceptedMediaType(const AM_MEDIA_TYPE *Type) override;
    HRESULT STDMETHODCALLTYPE GetConnectedMediaType(AM_MEDIA_TYPE *Type) override;
    HRESULT STDMETHODCALLTYPE SetCallback(SampleGrabberCallback Callback, void *UserData) override;
    HRESULT STDMETHODCALLTYPE SetDeliveryBuffer(ALLOCATOR_PROPERTIES Properties, BYTE *Buffer) override;

    HRESULT CheckInputType(const D_CMediaType *Type) override;
    using D_CTransInPlaceFilter::Transform;
    HRESULT Transform(IMediaSample *Sample) override;

    const D_CMediaType &AcceptedType() const { return m_mtAccept; }
    D_IGrabberSample *GrabberInterface() { return this; }

private:
    friend class D_CSampleGrabberInPin;

    D_CMediaType m_mtAccept;
    SampleGrabberCallback m_callback;
    D_CCritSec m_Lock;
    void *m_CallbackData;
};

// A new grabber (not modifying data), or null with E_OUTOFMEMORY.
D_CSampleGrabber *D_CSampleGrabber_CreateInstance(IUnknown *Outer, HRESULT *Result);
