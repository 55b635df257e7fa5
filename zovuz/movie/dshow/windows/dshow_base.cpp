// Object identity, the live-object count and the media-type record of the DirectShow classes.
#include "zovuz/movie/dshow/windows/dshow_base.h"
#include "zovuz/core/zovuz_core.h"
#include <string.h>

static_assert(sizeof(D_CMediaType) == 72, "the media-type record is AM_MEDIA_TYPE");
static_assert(sizeof(AM_MEDIA_TYPE) == 72, "AM_MEDIA_TYPE is 72 bytes on 32-bit Windows");
static_assert(offsetof(AM_MEDIA_TYPE, subtype) == 16 && offsetof(AM_MEDIA_TYPE, bFixedSizeSamples) == 32 &&
                  offsetof(AM_MEDIA_TYPE, bTemporalCompression) == 36 && offsetof(AM_MEDIA_TYPE, lSampleSize) == 40 &&
                  offsetof(AM_MEDIA_TYPE, formattype) == 44 && offsetof(AM_MEDIA_TYPE, pUnk) == 60 &&
                  offsetof(AM_MEDIA_TYPE, cbFormat) == 64 && offsetof(AM_MEDIA_TYPE, pbFormat) == 68,
              "the media-type record keeps AM_MEDIA_TYPE's offsets");

// The family's process-wide state.
struct DShowBaseState
{
    volatile LONG ObjectCount;  // live D_CBaseObject objects
    HMODULE OleAut32;           // loaded by the type-library code; freed with the last object
};
static DShowBaseState DShowBase = {0, nullptr};

static void *DefaultTaskAlloc(size_t Size) { return AllocComTaskMemory(Size); }
static void DefaultTaskFree(void *Memory) { FreeComTaskMemory(Memory); }
D_TaskMemoryFunctions D_TaskMemory = {DefaultTaskAlloc, DefaultTaskFree};

bool GuidEqual(const GUID &A, const GUID &B)
{
    const DWORD *a = reinterpret_cast<const DWORD *>(&A);
    const DWORD *b = reinterpret_cast<const DWORD *>(&B);
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2] && a[3] == b[3];
}

bool GuidNotEqual(const GUID &A, const GUID &B) { return !GuidEqual(A, B); }

D_CBaseObject::D_CBaseObject() { InterlockedIncrement(&DShowBase.ObjectCount); }

D_CBaseObject::~D_CBaseObject()
{
    if (InterlockedDecrement(&DShowBase.ObjectCount) == 0 && DShowBase.OleAut32 != nullptr) {
        HMODULE module = DShowBase.OleAut32;
        DShowBase.OleAut32 = nullptr;
        FreeLibrary(module);
    }
}

LONG D_CBaseObject::ObjectCount() { return DShowBase.ObjectCount; }

HMODULE D_OleAut32Module() { return DShowBase.OleAut32; }
void D_SetOleAut32Module(HMODULE Module) { DShowBase.OleAut32 = Module; }

D_CUnknown::D_CUnknown(const wchar_t *, IUnknown *Outer)
    : m_pUnknown(Outer != nullptr ? Outer : reinterpret_cast<IUnknown *>(static_cast<D_INonDelegatingUnknown *>(this))),
      m_cRef(0)
{
}

D_CUnknown::~D_CUnknown() {}

HRESULT STDMETHODCALLTYPE D_CUnknown::NonDelegatingQueryInterface(REFIID Id, void **Object)
{
    if (Object == nullptr) return E_POINTER;
    if (IsEqualIID(Id, IID_IUnknown)) {
        D_INonDelegatingUnknown *self = this;
        *Object = self;
        self->NonDelegatingAddRef();
        return S_OK;
    }
    *Object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE D_CUnknown::NonDelegatingAddRef()
{
    // The count is not raised: these objects are owned by whoever made them (see the header).
    ULONG count = static_cast<ULONG>(m_cRef);
    return count > 1 ? count : 1;
}

ULONG STDMETHODCALLTYPE D_CUnknown::NonDelegatingRelease()
{
    LONG count = InterlockedDecrement(&m_cRef);
    if (count == 0) {
        // The count was 1: raised again so that the destructor may take and drop references.
        m_cRef = 1;
        delete this;
        return 0;
    }
    return static_cast<ULONG>(count);
}

HRESULT D_GetInterface(IUnknown *Interface, void **Object)
{
    if (Object == nullptr) return E_POINTER;
    *Object = Interface;
    Interface->AddRef();
    return S_OK;
}

// --- media-type record ---------------------------------------------------------------------

static void ResetMediaType(AM_MEDIA_TYPE *Type)
{
    memset(Type, 0, sizeof(*Type));
    Type->bFixedSizeSamples = TRUE;
    Type->lSampleSize = 1;
}

void D_FreeMediaTypeContents(AM_MEDIA_TYPE *Type)
{
    if (Type->cbFormat != 0) {
        D_TaskMemory.Free(Type->pbFormat);
        Type->cbFormat = 0;
        Type->pbFormat = nullptr;
    }
    if (Type->pUnk != nullptr) {
        Type->pUnk->Release();
        Type->pUnk = nullptr;
    }
}

D_CMediaType::D_CMediaType() { ResetMediaType(this); }

D_CMediaType::D_CMediaType(const AM_MEDIA_TYPE &Other)
{
    ResetMediaType(this);
    D_CopyMediaType(this, &Other);
}

D_CMediaType::D_CMediaType(const D_CMediaType &Other) : AM_MEDIA_TYPE()
{
    ResetMediaType(this);
    D_CopyMediaType(this, &Other);
}

D_CMediaType::~D_CMediaType() { D_FreeMediaTypeContents(this); }

D_CMediaType &D_CMediaType::operator=(const AM_MEDIA_TYPE &Other)
{
    if (&Other != static_cast<AM_MEDIA_TYPE *>(this)) {
        D_FreeMediaTypeContents(this);
        D_CopyMediaType(this, &Other);
    }
    return *this;
}

D_CMediaType &D_CMediaType::operator=(const D_CMediaType &Other)
{
    return *this = static_cast<const AM_MEDIA_TYPE &>(Other);
}

void D_CMediaType::Clear()
{
    D_FreeMediaTypeContents(this);
    ResetMediaType(this);
}

bool D_CMediaType::operator==(const D_CMediaType &Other) const
{
    if (GuidNotEqual(majortype, Other.majortype) || GuidNotEqual(subtype, Other.subtype) ||
        GuidNotEqual(formattype, Other.formattype) || cbFormat != Other.cbFormat)
        return false;
    return cbFormat == 0 || memcmp(pbFormat, Other.pbFormat, cbFormat) == 0;
}

bool D_CMediaType::IsPartiallySpecified() const
{
    return GuidEqual(majortype, GUID_NULL) || GuidEqual(formattype, GUID_NULL);
}

bool D_CMediaType::MatchesPartial(const D_CMediaType *Partial) const
{
    if (GuidNotEqual(Partial->majortype, GUID_NULL) && GuidNotEqual(majortype, Partial->majortype)) return false;
    if (GuidNotEqual(Partial->subtype, GUID_NULL) && GuidNotEqual(subtype, Partial->subtype)) return false;
    if (GuidNotEqual(Partial->formattype, GUID_NULL)) {
        if (GuidNotEqual(formattype, Partial->formattype) || cbFormat != Partial->cbFormat) return false;
        if (cbFormat != 0 && memcmp(pbFormat, Partial->pbFormat, cbFormat) != 0) return false;
    }
    return true;
}

HRESULT D_CopyMediaType(AM_MEDIA_TYPE *Target, const AM_MEDIA_TYPE *Source)
{
    *Target = *Source;
    if (Source->cbFormat != 0) {
        Target->pbFormat = static_cast<BYTE *>(D_TaskMemory.Alloc(Source->cbFormat));
        if (Target->pbFormat == nullptr) {
            // Nothing half-copied: no block and no reference that the target would own.
            Target->cbFormat = 0;
            Target->pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        memcpy(Target->pbFormat, Source->pbFormat, Source->cbFormat);
    }
    if (Target->pUnk != nullptr) Target->pUnk->AddRef();
    return S_OK;
}

AM_MEDIA_TYPE *D_CreateMediaType(const AM_MEDIA_TYPE *Source)
{
    AM_MEDIA_TYPE *type = static_cast<AM_MEDIA_TYPE *>(D_TaskMemory.Alloc(sizeof(AM_MEDIA_TYPE)));
    if (type == nullptr) return nullptr;
    if (FAILED(D_CopyMediaType(type, Source))) {
        D_TaskMemory.Free(type);
        return nullptr;
    }
    return type;
}

void D_FreeMediaType(AM_MEDIA_TYPE *Type)
{
    if (Type == nullptr) return;
    D_FreeMediaTypeContents(Type);
    D_TaskMemory.Free(Type);
}
