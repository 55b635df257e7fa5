// Filters with one input and one output pin: the transform filter turns each input sample into an
// output sample from the output allocator; the in-place filter changes the sample where it lies
// and passes the same buffer on, sharing one allocator between both connections when it can.
// A derived filter supplies the media-type decisions and the transform itself.
#pragma once

#include "zovuz/movie/dshow/windows/dshow_filter.h"
#include <new>

class D_CTransformFilter;
class D_CTransInPlaceFilter;

class D_CTransformInputPin : public D_CBaseInputPin
{
public:
    D_CTransformInputPin(const wchar_t *ObjectName, D_CTransformFilter *Filter, HRESULT *Result, const wchar_t *Name);

    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR *Id) override;
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample *Sample) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME Start, REFERENCE_TIME Stop, double Rate) override;

    HRESULT CheckConnect(IPin *Pin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin *ReceivePin) override;
    HRESULT CheckMediaType(const D_CMediaType *Type) override;
    HRESULT SetMediaType(const D_CMediaType *Type) override;
    HRESULT CheckStreaming() override;

protected:
    D_CTransformFilter *m_pTransformFilter;
};

class D_CTransformOutputPin : public D_CBaseOutputPin
{
public:
    D_CTransformOutputPin(const wchar_t *ObjectName, D_CTransformFilter *Filter, HRESULT *Result, const wchar_t *Name);
    ~D_CTransformOutputPin() override;

    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID Id, void **Object) override;
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR *Id) override;
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter *Sender, Quality Q) override;

    HRESULT CheckConnect(IPin *Pin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin *ReceivePin) override;
    HRESULT CheckMediaType(const D_CMediaType *Type) override;
    HRESULT SetMediaType(const D_CMediaType *Type) override;
    HRESULT DecideBufferSize(IMemAllocator *Allocator, ALLOCATOR_PROPERTIES *Properties) override;
    HRESULT GetMediaType(int Position, D_CMediaType *Type) override;

protected:
    D_CTransformFilter *m_pTransformFilter;
    IUnknown *m_pPosition;  // the system's seeking pass-through, made when first asked for
};

class D_CTransformFilter : public D_CBaseFilter
{
public:
    D_CTransformFilter(const wchar_t *ObjectName, IUnknown *Outer, REFCLSID ClassId);
    ~D_CTransformFilter() override;

    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR Id, IPin **Pin) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;

    int GetPinCount() override;
    D_CBasePin *GetPin(int Index) override;

    virtual HRESULT Transform(IMediaSample *In, IMediaSample *Out);
    virtual HRESULT CheckInputType(const D_CMediaType *Type) = 0;
    virtual HRESULT CheckTransform(const D_CMediaType *In, const D_CMediaType *Out) = 0;
    virtual HRESULT DecideBufferSize(IMemAllocator *Allocator, ALLOCATOR_PROPERTIES *Properties) = 0;
    virtual HRESULT GetMediaType(int Position, D_CMediaType *Type) = 0;
    virtual HRESULT StartStreaming();
    virtual HRESULT StopStreaming();
    virtual HRESULT AlterQuality(Quality Q);
    virtual HRESULT SetMediaType(PIN_DIRECTION Direction, const D_CMediaType *Type);
    virtual HRESULT CheckConnect(PIN_DIRECTION Direction, IPin *Pin);
    virtual HRESULT BreakConnect(PIN_DIRECTION Direction);
    virtual HRESULT CompleteConnect(PIN_DIRECTION Direction, IPin *ReceivePin);
    virtual HRESULT Receive(IMediaSample *Sample);
    virtual HRESULT EndOfStream();
    virtual HRESULT BeginFlush();
    virtual HRESULT EndFlush();
    virtual HRESULT NewSegment(REFERENCE_TIME Start, REFERENCE_TIME Stop, double Rate);

    D_CCritSec *ReceiveLock() { return &m_csReceive; }
    D_CTransformInputPin *InputPin() const { return m_pInput; }
    D_CTransformOutputPin *OutputPin() const { return m_pOutput; }

protected:
    friend class D_CTransformInputPin;
    friend class D_CTransformOutputPin;

    // Makes a pin and deletes it again when its constructor reported a failure.
    template <class Pin, class Filter>
    static Pin *MakePin(Filter *Owner, const wchar_t *ObjectName, const wchar_t *Name)
    {
        HRESULT hr = S_OK;
        Pin *pin = new (std::nothrow) Pin(ObjectName, Owner, &hr, Name);
        if (pin != nullptr && FAILED(hr)) D_SafeDelete(pin);
        return pin;
    }

    BOOL m_bEOSDelivered;              // an end of stream went downstream while the input was unconnected
    BOOL m_bSampleSkipped;             // the last sample was not delivered
    BOOL m_bQualityChanged;            // EC_QUALITY_CHANGE was sent since the last Pause
    D_CCritSec m_csFilter;             // the object lock: state changes and connections
    D_CCritSec m_csReceive;            // held while a sample or an end of stream is processed
    D_CTransformInputPin *m_pInput;    // owned
    D_CTransformOutputPin *m_pOutput;  // owned
};

class D_CTransInPlaceInputPin : public D_CTransformInputPin
{
public:
    D_CTransInPlaceInputPin(const wchar_t *ObjectName, D_CTransInPlaceFilter *Filter, HRESULT *Result,
                            const wchar_t *Name);

    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes **Enum) override;
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator **Allocator) override;
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator *Allocator, BOOL ReadOnly) override;
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES *Properties) override;
    HRESULT CheckMediaType(const D_CMediaType *Type) override;
    HRESULT CompleteConnect(IPin *ReceivePin) override;

    bool ReadOnly() const { return m_bReadOnly; }

protected:
    D_CTransInPlaceFilter *m_pTIPFilter;
    bool m_bReadOnly;  // from NotifyAllocator
};

class D_CTransInPlaceOutputPin : public D_CTransformOutputPin
{
public:
    D_CTransInPlaceOutputPin(const wchar_t *ObjectName, D_CTransInPlaceFilter *Filter, HRESULT *Result,
                             const wchar_t *Name);

    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes **Enum) override;
    HRESULT CheckMediaType(const D_CMediaType *Type) override;
    HRESULT CompleteConnect(IPin *ReceivePin) override;

protected:
    D_CTransInPlaceFilter *m_pTIPFilter;
};

class D_CTransInPlaceFilter : public D_CTransformFilter
{
public:
    D_CTransInPlaceFilter(const wchar_t *ObjectName, IUnknown *Outer, REFCLSID ClassId, HRESULT *Result,
                          bool ModifiesData);

    D_CBasePin *GetPin(int Index) override;
    HRESULT GetMediaType(int Position, D_CMediaType *Type) override;
    HRESULT CheckTransform(const D_CMediaType *In, const D_CMediaType *Out) override;
    HRESULT DecideBufferSize(IMemAllocator *Allocator, ALLOCATOR_PROPERTIES *Properties) override;
    HRESULT CompleteConnect(PIN_DIRECTION Direction, IPin *ReceivePin) override;
    HRESULT Receive(IMediaSample *Sample) override;
    using D_CTransformFilter::Transform;
    virtual HRESULT Transform(IMediaSample *Sample) = 0;

    bool ModifiesData() const { return m_bModifiesData; }
    // True when the two connections use different allocators (the data is copied).
    bool UsingDifferentAllocators() const;
    D_CTransInPlaceInputPin *InPlaceInput() const { return static_cast<D_CTransInPlaceInputPin *>(m_pInput); }
    D_CTransInPlaceOutputPin *InPlaceOutput() const { return static_cast<D_CTransInPlaceOutputPin *>(m_pOutput); }

protected:
    IMediaSample *Copy(IMediaSample *Source);
    HRESULT ReconnectPin(IPin *Pin, const AM_MEDIA_TYPE *Type);

    bool m_bModifiesData;  // the filter writes into the samples
};
