// Media samples, the base allocator's free list and the virtual-memory allocator.
#include "zovuz/movie/dshow/windows/dshow_allocator.h"
#include <new>
#include <stdint.h>
#include <string.h>

static_assert(sizeof(D_CMediaSample) == 72, "a media sample is 72 bytes");
static_assert(sizeof(AM_SAMPLE2_PROPERTIES) == 48, "the sample property record is 48 bytes");

// --- media sample --------------------------------------------------------------------------

D_CMediaSample::D_CMediaSample(const wchar_t *, D_CBaseAllocator *Allocator, HRESULT *, BYTE *Buffer, LONG Length)
    : m_dwFlags(0),
      m_dwTypeSpecificFlags(0),
      m_pBuffer(Buffer),
      m_lActual(Length),
      m_cbBuffer(Length),
      m_pAllocator(Allocator),
      m_pNext(nullptr),
      m_Start(0),
      m_End(0),
      m_MediaStart(0),
      m_MediaEnd(0),
      m_pMediaType(nullptr),
      m_dwStreamId(0),
      m_cRef(0)
{
}

D_CMediaSample::~D_CMediaSample() { D_FreeMediaType(m_pMediaType); }

HRESULT STDMETHODCALLTYPE D_CMediaSample::QueryInterface(REFIID Id, void **Object)
{
    if (IsEqualIID(Id, IID_IMediaSample) || IsEqualIID(Id, IID_IMediaSample2) || IsEqualIID(Id, IID_IUnknown))
        return D_GetInterface(static_cast<IMediaSample2 *>(this), Object);
    if (Object == nullptr) return E_POINTER;
    *Object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE D_CMediaSample::AddRef() { return InterlockedIncrement(&m_cRef); }

ULONG STDMETHODCALLTYPE D_CMediaSample::Release()
{
    LONG count;
    if (m_cRef == 1) {
        m_cRef = 0;
        count = 0;
    } else {
        count = InterlockedDecrement(&m_cRef);
    }
    if (count != 0) return count;
    // Back to the allocator; the sample itself is never deleted here.
    if (m_dwFlags & AM_SAMPLE_TYPECHANGED) SetMediaType(nullptr);
    m_dwFlags = 0;
    m_dwTypeSpecificFlags = 0;
    m_dwStreamId = 0;
    m_pAllocator->MemAllocatorInterface()->ReleaseBuffer(this);
    return 0;
}

HRESULT STDMETHODCALLTYPE D_CMediaSample::GetPointer(BYTE **Buffer)
{
    *Buffer = m_pBuffer;
    return S_OK;
}

LONG STDMETHODCALLTYPE D_CMediaSample::GetSize() { return m_cbBuffer; }

HRESULT STDMETHODCALLTYPE D_CMediaSample::GetTime(REFERENCE_TIME *Start, REFERENCE_TIME *Stop)
{
    if (m_dwFlags & AM_SAMPLE_STOPVALID) {
        *Start = m_Start;
        *Stop = m_End;
        return S_OK;
    }
    if (m_dwFlags & AM_SAMPLE_TIMEVALID) {
        *Start = m_Start;
        *Stop = m_Start + 1;
        return VFW_S_NO_STOP_TIME;
    }
    return VFW_E_SAMPLE_TIME_NOT_SET;
}

HRESULT STDMETHODCALLTYPE D_CMediaSample::SetTime(REFERENCE_TIME *Start, REFERENCE_TIME *Stop)
{
    if (Start == nullptr) {
        m_dwFlags &= ~(AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID);
        return S_OK;
    }
    m_Start = *Start;
    if (Stop != nullptr) {
        m_End = *Stop;
        m_dwFlags |= AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID;
    } else {
        m_dwFlags = (m_dwFlags & ~AM_SAMPLE_STOPVALID) | AM_SAMPLE_TIMEVALID;
    }
    return S_OK;
}

static HRESULT FlagResult(DWORD Flags, DWORD Flag) { return (Flags & Flag) ? S_OK : S_FALSE; }

static void SetFlag(DWORD &Flags, DWORD Flag, BOOL On)
{
    if (On)
        Flags |= Flag;
    else
        Flags &= ~Flag;
}

HRESULT STDMETHODCALLTYPE D_CMediaSample::IsSyncPoint() { return FlagResult(m_dwFlags, AM_SAMPLE_SPLICEPOINT); }
HRESULT STDMETHODCALLTYPE D_CMediaSample::IsPreroll() { return FlagResult(m_dwFlags, AM_SAMPLE_PREROLL); }
HRESULT STDMETHODCALLTYPE D_CMediaSample::IsDiscontinuity()
{
    return FlagResult(m_dwFlags, AM_SAMPLE_DATADISCONTINUITY);
}

HRESULT STDMETHODCALLTYPE D_CMediaSample::SetSyncPoint(BOOL SyncPoint)
{
    SetFlag(m_dwFlags, AM_SAMPLE_SPLICEPOINT, SyncPoint);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CMediaSample::SetPreroll(BOOL Preroll)
{
    SetFlag(m_dwFlags, AM_SAMPLE_PREROLL, Preroll);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CMediaSample::SetDiscontinuity(BOOL Discontinuity)
{
    SetFlag(m_dwFlags, AM_SAMPLE_DATADISCONTINUITY, Discontinuity);
    return S_OK;
}

LONG STDMETHODCALLTYPE D_CMediaSample::GetActualDataLength() { return m_lActual; }

HRESULT STDMETHODCALLTYPE D_CMediaSample::SetActualDataLength(LONG Length)
{
    if (Length > m_cbBuffer) return VFW_E_BUFFER_OVERFLOW;
    m_lActual = Length;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CMediaSample::GetMediaType(AM_MEDIA_TYPE **Type)
{
    if (!(m_dwFlags & AM_SAMPLE_TYPECHANGED)) {
        *Type = nullptr;
        return S_FALSE;
    }
    *Type = D_CreateMediaType(m_pMediaType);
    return *Type == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT STDMETHODCALLTYPE D_CMediaSample::SetMediaType(AM_MEDIA_TYPE *Type)
{
    D_FreeMediaType(m_pMediaType);
    m_pMediaType = nullptr;
    if (Type == nullptr) {
        m_dwFlags &= ~AM_SAMPLE_TYPECHANGED;
        return S_OK;
    }
    m_pMediaType = D_CreateMediaType(Type);
    if (m_pMediaType == nullptr) {
        m_dwFlags &= ~AM_SAMPLE_TYPECHANGED;
        return E_OUTOFMEMORY;
    }
    m_dwFlags |= AM_SAMPLE_TYPECHANGED;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CMediaSample::GetMediaTime(LONGLONG *Start, LONGLONG *Stop)
{
    if (!(m_dwFlags & D_SAMPLE_MEDIATIMEVALID)) return VFW_E_MEDIA_TIME_NOT_SET;
    *Start = m_MediaStart;
    *Stop = m_MediaStart + m_MediaEnd;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CMediaSample::SetMediaTime(LONGLONG *Start, LONGLONG *Stop)
{
    if (Start == nullptr) {
        m_dwFlags &= ~D_SAMPLE_MEDIATIMEVALID;
        return S_OK;
    }
    m_MediaStart = *Start;
    m_MediaEnd = static_cast<LONG>(*Stop - *Start);
    m_dwFlags |= D_SAMPLE_MEDIATIMEVALID;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CMediaSample::GetProperties(DWORD Size, BYTE *Properties)
{
    if (Size == 0) return S_OK;
    if (Properties == nullptr) return E_POINTER;
    AM_SAMPLE2_PROPERTIES record;
    record.cbData = Size < sizeof(record) ? Size : sizeof(record);
    record.dwTypeSpecificFlags = m_dwTypeSpecificFlags;
    record.dwSampleFlags = m_dwFlags & ~D_SAMPLE_MEDIATIMEVALID;
    record.lActual = m_lActual;
    record.tStart = m_Start;
    record.tStop = m_End;
    record.dwStreamId = m_dwStreamId;
    record.pMediaType = (m_dwFlags & AM_SAMPLE_TYPECHANGED) ? m_pMediaType : nullptr;
    record.pbBuffer = m_pBuffer;
    record.cbBuffer = m_cbBuffer;
    memcpy(Properties, &record, record.cbData);
    return S_OK;
}

// A field of the record is present when it ends within the size given.
#define D_PRESENT(Field, Size) \
    (offsetof(AM_SAMPLE2_PROPERTIES, Field) + sizeof(((AM_SAMPLE2_PROPERTIES *)0)->Field) <= (Size))

HRESULT STDMETHODCALLTYPE D_CMediaSample::SetProperties(DWORD Size, const BYTE *Properties)
{
    if (Size < sizeof(DWORD)) return S_OK;
    if (Properties == nullptr) return E_POINTER;
    AM_SAMPLE2_PROPERTIES record;
    memset(&record, 0, sizeof(record));
    memcpy(&record, Properties, Size < sizeof(record) ? Size : sizeof(record));
    if (Size > sizeof(record) || record.cbData > sizeof(record)) return E_INVALIDARG;
    DWORD size = Size < record.cbData ? Size : record.cbData;

    if (D_PRESENT(dwSampleFlags, size)) {
        if (record.dwSampleFlags & ~(D_SAMPLE_VALIDFLAGS & ~D_SAMPLE_MEDIATIMEVALID)) return E_INVALIDARG;
        if ((record.dwSampleFlags & AM_SAMPLE_TIMEVALID) && !(m_dwFlags & AM_SAMPLE_TIMEVALID) &&
            !D_PRESENT(tStop, size))
            return E_INVALIDARG;
    }
    if (D_PRESENT(pbBuffer, size) && record.pbBuffer != nullptr && record.pbBuffer != m_pBuffer) return E_INVALIDARG;
    if (D_PRESENT(cbBuffer, size)) {
        if (record.cbBuffer != 0 && record.cbBuffer != m_cbBuffer) return E_INVALIDARG;
        if (record.cbBuffer < m_lActual) return E_INVALIDARG;
    }
    AM_MEDIA_TYPE *type = nullptr;
    bool typePresent = false;
    if (D_PRESENT(pMediaType, size) && D_PRESENT(dwSampleFlags, size) &&
        (record.dwSampleFlags & AM_SAMPLE_TYPECHANGED)) {
        if (record.pMediaType == nullptr) return E_POINTER;
        type = D_CreateMediaType(record.pMediaType);
        if (type == nullptr) return E_OUTOFMEMORY;
        typePresent = true;
    }

    if (D_PRESENT(dwStreamId, size)) m_dwStreamId = record.dwStreamId;
    if (D_PRESENT(dwSampleFlags, size)) {
        m_dwFlags = record.dwSampleFlags | (m_dwFlags & D_SAMPLE_MEDIATIMEVALID);
        m_dwTypeSpecificFlags = record.dwTypeSpecificFlags;
    } else if (D_PRESENT(dwTypeSpecificFlags, size)) {
        m_dwTypeSpecificFlags = record.dwTypeSpecificFlags;
    }
    if (D_PRESENT(lActual, size)) m_lActual = record.lActual;
    if (D_PRESENT(tStop, size)) m_End = record.tStop;
    if (D_PRESENT(tStart, size)) m_Start = record.tStart;
    if (typePresent || (D_PRESENT(dwSampleFlags, size) && !(record.dwSampleFlags & AM_SAMPLE_TYPECHANGED))) {
        // The record's flags say whether the sample carries a changed type; the old one goes.
        D_FreeMediaType(m_pMediaType);
        m_pMediaType = type;
    }
    if (m_pMediaType != nullptr)
        m_dwFlags |= AM_SAMPLE_TYPECHANGED;
    else
        m_dwFlags &= ~AM_SAMPLE_TYPECHANGED;
    return S_OK;
}

// --- base allocator ------------------------------------------------------------------------

D_CBaseAllocator::D_CBaseAllocator(const wchar_t *ObjectName, IUnknown *Outer, HRESULT *Result, bool MakeSemaphore,
                                   bool ReleaseCallback)
    : D_CUnknown(ObjectName, Outer),
      m_pFreeList(nullptr),
      m_lFree(0),
      m_hSem(nullptr),
      m_lWaiting(0),
      m_lCount(0),
      m_lAllocated(0),
      m_lSize(0),
      m_lAlignment(0),
      m_lPrefix(0),
      m_bChanged(FALSE),
      m_bCommitted(FALSE),
      m_bDecommitInProgress(FALSE),
      m_pNotify(nullptr),
      m_fEnableReleaseCallback(ReleaseCallback)
{
    if (MakeSemaphore) {
        m_hSem = CreateSemaphoreW(nullptr, 0, 0x7FFFFFFF, nullptr);
        if (m_hSem == nullptr && Result != nullptr) *Result = E_OUTOFMEMORY;
    }
}

D_CBaseAllocator::~D_CBaseAllocator()
{
    if (m_hSem != nullptr) CloseHandle(m_hSem);
    if (m_pNotify != nullptr) m_pNotify->Release();
}

HRESULT STDMETHODCALLTYPE D_CBaseAllocator::NonDelegatingQueryInterface(REFIID Id, void **Object)
{
    if (Object == nullptr) return E_POINTER;
    if (IsEqualIID(Id, IID_IMemAllocator) ||
        (m_fEnableReleaseCallback && IsEqualIID(Id, IID_IMemAllocatorCallbackTemp)))
        return D_GetInterface(static_cast<D_IMemAllocatorCallbackTemp *>(this), Object);
    return D_CUnknown::NonDelegatingQueryInterface(Id, Object);
}

HRESULT STDMETHODCALLTYPE D_CBaseAllocator::SetProperties(ALLOCATOR_PROPERTIES *, ALLOCATOR_PROPERTIES *)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE D_CBaseAllocator::GetProperties(ALLOCATOR_PROPERTIES *Properties)
{
    if (Properties == nullptr) return E_POINTER;
    D_CAutoLock lock(this);
    Properties->cbBuffer = m_lSize;
    Properties->cBuffers = m_lCount;
    Properties->cbAlign = m_lAlignment;
    Properties->cbPrefix = m_lPrefix;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseAllocator::Commit()
{
    D_CAutoLock lock(this);
    if (m_bCommitted) return S_OK;
    m_bCommitted = TRUE;
    if (m_bDecommitInProgress) {
        m_bDecommitInProgress = FALSE;
        return S_OK;
    }
    HRESULT hr = Alloc();
    if (FAILED(hr)) {
        m_bCommitted = FALSE;
        return hr;
    }
    AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseAllocator::Decommit()
{
    bool release = false;
    {
        D_CAutoLock lock(this);
        if (!m_bCommitted && !m_bDecommitInProgress) return S_OK;
        m_bCommitted = FALSE;
        if (m_lFree < m_lAllocated) {
            m_bDecommitInProgress = TRUE;
        } else {
            m_bDecommitInProgress = FALSE;
            Free();
            release = true;
        }
        NotifySample();
    }
    if (release) Release();
    return S_OK;
}

void D_CBaseAllocator::NotifySample()
{
    if (m_lWaiting != 0) {
        ReleaseSemaphore(m_hSem, m_lWaiting, nullptr);
        m_lWaiting = 0;
    }
}

void D_CBaseAllocator::PushFree(D_CMediaSample *Sample)
{
    Sample->m_pNext = m_pFreeList;
    m_pFreeList = Sample;
    m_lFree++;
}

HRESULT D_CBaseAllocator::Alloc()
{
    if (m_lCount <= 0 || m_lSize <= 0 || m_lAlignment <= 0) return VFW_E_SIZENOTSET;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseAllocator::GetBuffer(IMediaSample **Sample, REFERENCE_TIME *, REFERENCE_TIME *,
                                                      DWORD Flags)
{
    *Sample = nullptr;
    for (;;) {
        D_CMediaSample *sample = nullptr;
        {
            D_CAutoLock lock(this);
            if (!m_bCommitted) return VFW_E_NOT_COMMITTED;
            sample = m_pFreeList;
            if (sample != nullptr) {
                m_pFreeList = sample->m_pNext;
                m_lFree--;
            } else {
                m_lWaiting++;
            }
        }
        if (sample != nullptr) {
            sample->m_cRef = 1;
            *Sample = sample;
            return S_OK;
        }
        if (Flags & AM_GBF_NOWAIT) {
            // Not waiting after all: the count of waiters must stay true for the next release.
            D_CAutoLock lock(this);
            if (m_lWaiting > 0) m_lWaiting--;
            return VFW_E_TIMEOUT;
        }
        WaitForSingleObject(m_hSem, INFINITE);
    }
}

HRESULT STDMETHODCALLTYPE D_CBaseAllocator::ReleaseBuffer(IMediaSample *Sample)
{
    if (Sample == nullptr) return E_POINTER;
    bool release = false;
    {
        D_CAutoLock lock(this);
        PushFree(static_cast<D_CMediaSample *>(Sample));
        NotifySample();
        if (m_bDecommitInProgress && m_lFree == m_lAllocated) {
            Free();
            m_bDecommitInProgress = FALSE;
            release = true;
        }
    }
    if (m_pNotify != nullptr) m_pNotify->NotifyRelease();
    if (release) Release();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseAllocator::SetNotify(IMemAllocatorNotifyCallbackTemp *Notify)
{
    D_CAutoLock lock(this);
    if (Notify != nullptr) Notify->AddRef();
    if (m_pNotify != nullptr) m_pNotify->Release();
    m_pNotify = Notify;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseAllocator::GetFreeCount(LONG *Free)
{
    D_CAutoLock lock(this);
    *Free = m_lCount - m_lAllocated + m_lFree;
    return S_OK;
}

// --- memory allocator ----------------------------------------------------------------------

D_CMemAllocator::D_CMemAllocator(const wchar_t *ObjectName, IUnknown *Outer, HRESULT *Result)
    : D_CBaseAllocator(ObjectName, Outer, Result, true, true), m_pBuffer(nullptr)
{
}

D_CMemAllocator::~D_CMemAllocator()
{
    Decommit();
    ReallyFree();
}

HRESULT STDMETHODCALLTYPE D_CMemAllocator::SetProperties(ALLOCATOR_PROPERTIES *Request, ALLOCATOR_PROPERTIES *Actual)
{
    if (Actual == nullptr) return E_POINTER;
    D_CAutoLock lock(this);
    memset(Actual, 0, sizeof(*Actual));
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    if (Request->cbAlign == 0 || (info.dwAllocationGranularity & (Request->cbAlign - 1)) != 0) return VFW_E_BADALIGN;
    if (m_bCommitted) return VFW_E_ALREADY_COMMITTED;
    if (m_lFree < m_lAllocated) return VFW_E_BUFFERS_OUTSTANDING;
    // In 64 bits: a size near the top of the range must not wrap into a small one.
    int64_t size = static_cast<int64_t>(Request->cbBuffer) + Request->cbPrefix;
    int64_t remainder = size % Request->cbAlign;
    if (remainder != 0) size += Request->cbAlign - remainder;
    if (size - Request->cbPrefix > 0x7FFFFFFF) return E_OUTOFMEMORY;
    Actual->cbBuffer = m_lSize = static_cast<LONG>(size - Request->cbPrefix);
    Actual->cBuffers = m_lCount = Request->cBuffers;
    Actual->cbAlign = m_lAlignment = Request->cbAlign;
    Actual->cbPrefix = m_lPrefix = Request->cbPrefix;
    m_bChanged = TRUE;
    return S_OK;
}

// The block stays until the allocator goes or its size changes.
void D_CMemAllocator::Free() {}

void D_CMemAllocator::ReallyFree()
{
    while (m_pFreeList != nullptr) {
        D_CMediaSample *sample = m_pFreeList;
        m_pFreeList = sample->m_pNext;
        delete sample;
    }
    m_lFree = 0;
    m_lAllocated = 0;
    if (m_pBuffer != nullptr) {
        VirtualFree(m_pBuffer, 0, MEM_RELEASE);
        m_pBuffer = nullptr;
    }
}

HRESULT D_CMemAllocator::Alloc()
{
    HRESULT hr = D_CBaseAllocator::Alloc();
    if (FAILED(hr)) return hr;
    if (!m_bChanged) return S_OK;
    if (m_pBuffer != nullptr) ReallyFree();

    uint64_t aligned = static_cast<uint64_t>(m_lSize) + static_cast<uint64_t>(m_lPrefix);
    if (m_lAlignment > 1) {
        uint64_t remainder = aligned % static_cast<uint64_t>(m_lAlignment);
        if (remainder != 0) aligned += m_lAlignment - remainder;
    }
    // The block size is checked in 64 bits: a product that overflows 32 bits would give a small
    // block with the samples placed beyond it.
    uint64_t total = aligned * static_cast<uint64_t>(m_lCount);
    if (aligned > 0x7FFFFFFF || total > 0x7FFFFFFF) return E_OUTOFMEMORY;
    m_pBuffer = static_cast<BYTE *>(VirtualAlloc(nullptr, static_cast<SIZE_T>(total), MEM_COMMIT, PAGE_READWRITE));
    if (m_pBuffer == nullptr) return E_OUTOFMEMORY;

    for (LONG k = 0; m_lAllocated < m_lCount; k++) {
        BYTE *buffer = m_pBuffer + static_cast<SIZE_T>(k) * static_cast<SIZE_T>(aligned) + m_lPrefix;
        D_CMediaSample *sample =
            new (std::nothrow) D_CMediaSample(L"Default memory media sample", this, nullptr, buffer, m_lSize);
        // The samples made so far stay; changed stays set, so the next Commit starts afresh.
        if (sample == nullptr) return E_OUTOFMEMORY;
        PushFree(sample);
        m_lAllocated++;
    }
    m_bChanged = FALSE;
    return S_OK;
}

HRESULT D_CreateMemAllocator(IMemAllocator **Allocator, D_CMemAllocator **Object)
{
    if (Allocator == nullptr) return E_POINTER;
    *Allocator = nullptr;
    if (Object != nullptr) *Object = nullptr;
    HRESULT hr = S_OK;
    D_CMemAllocator *allocator = new (std::nothrow) D_CMemAllocator(L"CMemAllocator", nullptr, &hr);
    if (allocator == nullptr) return E_OUTOFMEMORY;
    if (FAILED(hr)) {
        delete allocator;
        return hr;
    }
    if (FAILED(allocator->NonDelegatingQueryInterface(IID_IMemAllocator, reinterpret_cast<void **>(Allocator)))) {
        delete allocator;
        return E_NOINTERFACE;
    }
    if (Object != nullptr) *Object = allocator;
    return S_OK;
}
