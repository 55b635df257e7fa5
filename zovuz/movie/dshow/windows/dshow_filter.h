// The abstract bases of every filter of the family: the filter (state, clock, graph membership,
// pin enumeration), the pin and its connection protocol, the input pin (allocator hand-over, the
// checks every received sample passes, flushing) and the output pin (allocator decision and
// delivery downstream), with the two enumerators.
#pragma once

#include "zovuz/movie/dshow/windows/dshow_base.h"

class D_CBasePin;

class D_CBaseFilter : public D_CUnknown, public D_IBaseFilter, public D_IAMovieSetup
{
public:
    D_CBaseFilter(const wchar_t *ObjectName, IUnknown *Outer, D_CCritSec *Lock, REFCLSID ClassId);
    D_CBaseFilter(const wchar_t *ObjectName, IUnknown *Outer, D_CCritSec *Lock, REFCLSID ClassId, HRESULT *Result);
    ~D_CBaseFilter() override;

    D_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID Id, void **Object) override;

    // IPersist, IMediaFilter, IBaseFilter
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID *ClassId) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME Start) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD TimeOut, FILTER_STATE *State) override;
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock *Clock) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock **Clock) override;
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins **Enum) override;
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO *Info) override;
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph *Graph, LPCWSTR Name) override;
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR *VendorInfo) override;
    // IAMovieSetup
    HRESULT STDMETHODCALLTYPE Register() override;
    HRESULT STDMETHODCALLTYPE Unregister() override;

    virtual HRESULT StreamTime(REFERENCE_TIME *Time);
    virtual LONG GetPinVersion();
    virtual int GetPinCount() = 0;
    virtual D_CBasePin *GetPin(int Index) = 0;
    virtual const FilterSetupData *GetSetupData();

    // Sends an event to the graph; nothing without an event sink.
    HRESULT NotifyEvent(long Code, LONG_PTR Param1, LONG_PTR Param2);
    // A pin was added or removed: enumerators restart.
    void IncrementPinVersion() { InterlockedIncrement(&m_PinVersion); }
    bool IsStopped() const { return m_State == State_Stopped; }
    bool IsActive() const { return m_State != State_Stopped; }
    IFilterGraph *GetFilterGraph() const { return m_pGraph; }
    D_IBaseFilter *BaseFilterInterface() { return this; }

protected:
    FILTER_STATE m_State;       // Stopped, Paused or Running
    IReferenceClock *m_pClock;  // counted
    REFERENCE_TIME m_tStart;    // stream time 0 in reference-clock time, set by Run
    CLSID m_clsid;              // returned by GetClassID
    D_CCritSec *m_pLock;        // the filter's object lock, owned by the derived class
    WCHAR *m_pName;             // owned copy given by JoinFilterGraph
    IFilterGraph *m_pGraph;     // not counted
    IMediaEventSink *m_pSink;   // not counted
    volatile LONG m_PinVersion;
};

class D_CBasePin : public D_CUnknown, public D_IPin, public D_IQualityControl
{
public:
    D_CBasePin(const wchar_t *ObjectName, D_CBaseFilter *Filter, D_CCritSec *Lock, HRESULT *Result, const wchar_t *Name,
               PIN_DIRECTION Direction);
    ~D_CBasePin() override;

    D_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID Id, void **Object) override;
    ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
    ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

    // IPin
    HRESULT STDMETHODCALLTYPE Connect(IPin *ReceivePin, const AM_MEDIA_TYPE *Type) override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin *ConnectorPin, const AM_MEDIA_TYPE *Type) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin **Pin) override;
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE *Type) override;
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO *Info) override;
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION *Direction) override;
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE *Type) override;
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes **Enum) override;
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin **Pins, ULONG *Count) override;
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME Start, REFERENCE_TIME Stop, double Rate) override;
    // IQualityControl
    HRESULT STDMETHODCALLTYPE SetSink(IQualityControl *Sink) override;

    virtual LONG GetMediaTypeVersion();
    virtual HRESULT Active();
    virtual HRESULT Inactive();
    virtual HRESULT Run(REFERENCE_TIME Start);
    virtual HRESULT CheckMediaType(const D_CMediaType *Type) = 0;
    virtual HRESULT SetMediaType(const D_CMediaType *Type);
    virtual HRESULT CheckConnect(IPin *Pin);
    virtual HRESULT BreakConnect();
    virtual HRESULT CompleteConnect(IPin *ReceivePin);
    virtual HRESULT GetMediaType(int Position, D_CMediaType *Type);
    virtual HRESULT DisconnectInternal();

    bool IsConnected() const { return m_Connected != nullptr; }
    IPin *GetConnected() const { return m_Connected; }
    const D_CMediaType &CurrentMediaType() const { return m_mt; }
    D_IPin *PinInterface() { return this; }
    D_CBaseFilter *Filter() const { return m_pFilter; }
    // The media types offered changed: enumerators become out of sync.
    void IncrementTypeVersion() { InterlockedIncrement(&m_TypeVersion); }

protected:
    HRESULT AgreeMediaType(IPin *ReceivePin, const D_CMediaType *Proposed);
    HRESULT TryMediaTypes(IPin *ReceivePin, const D_CMediaType *Proposed, IEnumMediaTypes *Enum);
    HRESULT AttemptConnection(IPin *ReceivePin, const D_CMediaType *Type);

    WCHAR *m_pName;                  // owned
    IPin *m_Connected;               // counted while connected
    PIN_DIRECTION m_dir;             // input or output
    D_CCritSec *m_pLock;             // the filter's lock
    bool m_bRunTimeError;            // a sample was refused; cleared by Inactive and EndFlush
    bool m_bCanReconnectWhenActive;  // Connect and ReceiveConnection outside the Stopped state
    bool m_bTryMyTypesFirst;         // this pin's types before the receiving pin's
    D_CBaseFilter *m_pFilter;        // the owning filter, not counted
    IQualityControl *m_pQSink;       // not counted
    volatile LONG m_TypeVersion;     // returned by GetMediaTypeVersion
    D_CMediaType m_mt;               // the agreed media type
    REFERENCE_TIME m_tStart;         // segment start
    REFERENCE_TIME m_tStop;          // segment stop
    double m_dRate;                  // segment rate
};

class D_CBaseInputPin : public D_CBasePin, public D_IMemInputPin
{
public:
    D_CBaseInputPin(const wchar_t *ObjectName, D_CBaseFilter *Filter, D_CCritSec *Lock, HRESULT *Result,
                    const wchar_t *Name);
    ~D_CBaseInputPin() override;

    D_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID Id, void **Object) override;

    // IMemInputPin
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator **Allocator) override;
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator *Allocator, BOOL ReadOnly) override;
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES *Properties) override;
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample *Sample) override;
    HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample **Samples, LONG Count, LONG *Processed) override;
    HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;
    // IPin, IQualityControl parts of input pins
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter *Sender, Quality Q) override;

    HRESULT Inactive() override;
    HRESULT BreakConnect() override;
    virtual HRESULT CheckStreaming();

    // Passes a quality message upstream: to the quality sink, else to the connected pin.
    HRESULT PassNotify(Quality &Q);
    bool IsFlushing() const { return m_bFlushing; }
    bool IsReadOnly() const { return m_bReadOnly; }
    IMemAllocator *PeekAllocator() const { return m_pAllocator; }
    const AM_SAMPLE2_PROPERTIES *SampleProps() const { return &m_SampleProps; }
    D_IMemInputPin *MemInputPinInterface() { return this; }

protected:
    IMemAllocator *m_pAllocator;          // counted
    bool m_bReadOnly;                     // the allocator's samples may not be written
    bool m_bFlushing;                     // between BeginFlush and EndFlush
    AM_SAMPLE2_PROPERTIES m_SampleProps;  // of the sample being received
    AM_MEDIA_TYPE *m_pSampleType;         // a changed type taken from a plain IMediaSample; ours to free
};

class D_CBaseOutputPin : public D_CBasePin
{
public:
    D_CBaseOutputPin(const wchar_t *ObjectName, D_CBaseFilter *Filter, D_CCritSec *Lock, HRESULT *Result,
                     const wchar_t *Name);
    ~D_CBaseOutputPin() override;

    // IPin parts that belong to input pins
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;

    HRESULT Active() override;
    HRESULT Inactive() override;
    HRESULT CheckConnect(IPin *Pin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin *ReceivePin) override;

    virtual HRESULT DecideAllocator(IMemInputPin *Pin, IMemAllocator **Allocator);
    virtual HRESULT DecideBufferSize(IMemAllocator *Allocator, ALLOCATOR_PROPERTIES *Properties) = 0;
    virtual HRESULT GetDeliveryBuffer(IMediaSample **Sample, REFERENCE_TIME *Start, REFERENCE_TIME *Stop, DWORD Flags);
    virtual HRESULT Deliver(IMediaSample *Sample);
    virtual HRESULT InitAllocator(IMemAllocator **Allocator);
    virtual HRESULT DeliverEndOfStream();
    virtual HRESULT DeliverBeginFlush();
    virtual HRESULT DeliverEndFlush();
    virtual HRESULT DeliverNewSegment(REFERENCE_TIME Start, REFERENCE_TIME Stop, double Rate);

    IMemAllocator *PeekAllocator() const { return m_pAllocator; }
    // Takes an allocator in place of the present one (reference added to the new, dropped from the old).
    void SetAllocator(IMemAllocator *Allocator);
    IMemInputPin *DownstreamInputPin() const { return m_pInputPin; }

protected:
    IMemAllocator *m_pAllocator;  // counted
    IMemInputPin *m_pInputPin;    // the downstream input pin, counted
};

class D_CEnumPins : public D_IEnumPins
{
public:
    D_CEnumPins(D_CBaseFilter *Filter, const D_CEnumPins *Copy);
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void **Object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Next(ULONG Count, IPin **Pins, ULONG *Fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG Count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumPins **Enum) override;
    virtual ~D_CEnumPins();

private:
    bool AlreadyReturned(D_CBasePin *Pin) const;
    int m_Position;
    int m_PinCount;
    D_CBaseFilter *m_pFilter;  // counted through its IBaseFilter
    LONG m_Version;
    volatile LONG m_cRef;
    // The pins handed out since the last Reset, so that a restart after a change of the pin set
    // never returns a pin twice.
    D_CBasePin **m_Returned;
    int m_ReturnedCount;
    int m_ReturnedCapacity;
};

class D_CEnumMediaTypes : public D_IEnumMediaTypes
{
public:
    D_CEnumMediaTypes(D_CBasePin *Pin, const D_CEnumMediaTypes *Copy);
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void **Object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Next(ULONG Count, AM_MEDIA_TYPE **Types, ULONG *Fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG Count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes **Enum) override;
    virtual ~D_CEnumMediaTypes();

private:
    int m_Position;
    D_CBasePin *m_pPin;  // counted through its IPin
    LONG m_Version;
    volatile LONG m_cRef;
};
