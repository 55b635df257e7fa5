// The library's DirectShow base classes: the interfaces, the object identity shared by every
// filter, pin and allocator (D_CUnknown), the live-object count, the lock and the media-type
// record. Objects of these classes are handed to the system's filter graph manager and answer
// under the published interface identifiers.
//
// Reference counting of a D_CUnknown object: the count starts at 0 and AddRef never raises it, so
// Release never deletes the object. Whoever made it deletes it with D_SafeDelete once every graph
// that held it has been released. The enumerators and the media sample count their references
// normally.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <amvideo.h>
#include <mfobjects.h>

// The published interfaces, under the library's names.
using D_IUnknown = IUnknown;
using D_IPersist = IPersist;
using D_IMediaFilter = IMediaFilter;
using D_IBaseFilter = IBaseFilter;
using D_IPin = IPin;
using D_IEnumPins = IEnumPins;
using D_IEnumMediaTypes = IEnumMediaTypes;
using D_IMemInputPin = IMemInputPin;
using D_IMemAllocator = IMemAllocator;
using D_IMemAllocatorCallbackTemp = IMemAllocatorCallbackTemp;
using D_IMediaSample = IMediaSample;
using D_IMediaSample2 = IMediaSample2;
using D_IQualityControl = IQualityControl;
using D_IQualProp = IQualProp;
using D_IMediaSeeking = IMediaSeeking;
using D_IDispatch = IDispatch;
using D_IMediaPosition = IMediaPosition;
using D_IAMovieSetup = IAMovieSetup;
using D_IAsyncReader = IAsyncReader;
using D_IMFByteStream = IMFByteStream;

// The non-delegating unknown of COM aggregation. Its table has the shape of IUnknown's, so an
// object without an outer unknown hands this table out as its IUnknown.
struct D_INonDelegatingUnknown
{
    virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID Id, void **Object) = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};

// The sample grabber's own interface: called with the IMediaSample of every sample passing
// through, its stream times, whether its media type changed, and the user data.
typedef HRESULT (*SampleGrabberCallback)(IMediaSample *Sample, REFERENCE_TIME *Start, REFERENCE_TIME *Stop,
                                         BOOL TypeChanged, void *UserData);

struct D_IGrabberSample : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE SetAcceptedMediaType(const AM_MEDIA_TYPE *Type) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConnectedMediaType(AM_MEDIA_TYPE *Type) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCallback(SampleGrabberCallback Callback, void *UserData) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDeliveryBuffer(ALLOCATOR_PROPERTIES Properties, BYTE *Buffer) = 0;
};

// Identifiers the platform headers lack, and the class identifiers of the library's own filters
// (D_ names: some published names stand for other classes). The grabber's interface identifier
// is the library's own.
static const GUID IID_IGrabberSample = {0x6b652fff, 0x11fe, 0x4fce, {0x92, 0xad, 0x02, 0x66, 0xb5, 0xd7, 0xc7, 0x8f}};
static const GUID MEDIASUBTYPE_NV11 = {0x3131564e, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
static const GUID CLSID_NullRenderer = {0xc1f400a4, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};
static const GUID D_CLSID_WavDest = {0x3c78b8e2, 0x6c4d, 0x11d1, {0xad, 0xe2, 0x00, 0x00, 0xf8, 0x75, 0x4b, 0x99}};
static const GUID D_CLSID_MovieRender = {0x71771540, 0x2017, 0x11cf, {0xae, 0x26, 0x00, 0x20, 0xaf, 0xd7, 0x97, 0x67}};
static const GUID D_CLSID_GrabberSample = {
    0x2fa4f053, 0x6d60, 0x4cb0, {0x95, 0x03, 0x8e, 0x89, 0x23, 0x4f, 0x3f, 0x73}};
static const GUID D_CLSID_AsyncReader = {0xc553f2c0, 0x1529, 0x11d0, {0xb4, 0xd1, 0x00, 0x80, 0x5f, 0x6c, 0xbb, 0xea}};

// Two GUIDs compared as four 32-bit words.
bool GuidEqual(const GUID &A, const GUID &B);
bool GuidNotEqual(const GUID &A, const GUID &B);

// COM task memory of the media-type records. Tests replace the pair to make the allocator fail;
// by default it is the task allocator of the library's table of Windows functions.
struct D_TaskMemoryFunctions
{
    void *(*Alloc)(size_t Size);  // null when the memory cannot be had
    void (*Free)(void *Memory);   // nothing for null
};
extern D_TaskMemoryFunctions D_TaskMemory;

// Counts the live objects of the family, process-wide. When the last one goes after the type
// library code loaded OleAut32, the library is freed again.
class D_CBaseObject
{
public:
    D_CBaseObject();
    ~D_CBaseObject();
    static LONG ObjectCount();
};

// OleAut32 as the position pass-through loaded it for the type library (null when not loaded);
// D_CBaseObject frees it with the last object.
HMODULE D_OleAut32Module();
void D_SetOleAut32Module(HMODULE Module);

class D_CUnknown : public D_INonDelegatingUnknown, public D_CBaseObject
{
public:
    D_CUnknown(const wchar_t *ObjectName, IUnknown *Outer);
    D_CUnknown(const D_CUnknown &) = delete;
    D_CUnknown &operator=(const D_CUnknown &) = delete;

    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID Id, void **Object) override;
    ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
    ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;
    virtual ~D_CUnknown();

    IUnknown *GetOwner() const { return m_pUnknown; }

protected:
    IUnknown *m_pUnknown;  // the outer unknown, or this object's own non-delegating unknown
    volatile LONG m_cRef;  // starts at 0; only falls as graphs release what they believe they hold
};

// The delegating IUnknown of an interface sub-object: everything goes to the owner.
#define D_DECLARE_IUNKNOWN                                                      \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void **Object) override \
    {                                                                           \
        return GetOwner()->QueryInterface(Id, Object);                          \
    }                                                                           \
    ULONG STDMETHODCALLTYPE AddRef() override { return GetOwner()->AddRef(); }  \
    ULONG STDMETHODCALLTYPE Release() override { return GetOwner()->Release(); }

// Hands out an interface of this object with a reference added.
HRESULT D_GetInterface(IUnknown *Interface, void **Object);

// Deletes a D_CUnknown object (or any object of the family) and clears the pointer; nothing for null.
template <class T>
void D_SafeDelete(T *&Object)
{
    if (Object != nullptr) {
        delete Object;
        Object = nullptr;
    }
}

// One Windows critical section.
class D_CCritSec
{
public:
    D_CCritSec() { InitializeCriticalSection(&m_CritSec); }
    ~D_CCritSec() { DeleteCriticalSection(&m_CritSec); }
    D_CCritSec(const D_CCritSec &) = delete;
    D_CCritSec &operator=(const D_CCritSec &) = delete;
    void Lock() { EnterCriticalSection(&m_CritSec); }
    void Unlock() { LeaveCriticalSection(&m_CritSec); }

private:
    CRITICAL_SECTION m_CritSec;
};

// Holds a lock for a scope.
class D_CAutoLock
{
public:
    explicit D_CAutoLock(D_CCritSec *Lock) : m_pLock(Lock) { m_pLock->Lock(); }
    ~D_CAutoLock() { m_pLock->Unlock(); }
    D_CAutoLock(const D_CAutoLock &) = delete;
    D_CAutoLock &operator=(const D_CAutoLock &) = delete;

private:
    D_CCritSec *m_pLock;
};

// The media-type record, laid out as AM_MEDIA_TYPE. The format block is COM task memory owned by
// the record; pUnk is an owned reference.
class D_CMediaType : public AM_MEDIA_TYPE
{
public:
    D_CMediaType();
    D_CMediaType(const AM_MEDIA_TYPE &Other);
    D_CMediaType(const D_CMediaType &Other);
    ~D_CMediaType();
    D_CMediaType &operator=(const AM_MEDIA_TYPE &Other);
    D_CMediaType &operator=(const D_CMediaType &Other);
    bool operator==(const D_CMediaType &Other) const;
    bool operator!=(const D_CMediaType &Other) const { return !(*this == Other); }
    bool IsPartiallySpecified() const;
    bool MatchesPartial(const D_CMediaType *Partial) const;
    // Back to the state after construction, the format block and pUnk freed.
    void Clear();
};

// Copies every field; the format block into new task memory, pUnk with a reference added. When
// the format block cannot be had, the target's cbFormat is 0 and pbFormat null: E_OUTOFMEMORY.
HRESULT D_CopyMediaType(AM_MEDIA_TYPE *Target, const AM_MEDIA_TYPE *Source);
// A copy in task memory, or null; D_FreeMediaType frees it (and the records enumerators hand out).
AM_MEDIA_TYPE *D_CreateMediaType(const AM_MEDIA_TYPE *Source);
void D_FreeMediaType(AM_MEDIA_TYPE *Type);
// Frees the format block and pUnk of a record, leaving the record itself.
void D_FreeMediaTypeContents(AM_MEDIA_TYPE *Type);

// The factory-template records: what a filter offers for registration.
struct FilterSetupData
{
    const CLSID *ClassId;
    const wchar_t *Name;
    DWORD Merit;
    UINT PinCount;
    const void *Pins;
};

struct FactoryTemplate
{
    const wchar_t *Name;
    const CLSID *ClassId;
    IUnknown *(*CreateInstance)(IUnknown *Outer, HRESULT *Result);
    void (*Initialize)(BOOL Loading, const CLSID *ClassId);
    const FilterSetupData *SetupData;
};
