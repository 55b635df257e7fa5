// Media samples and the allocators that hand them out: a fixed set of samples on a free list,
// given out under the IMemAllocator protocol (set properties, commit, get buffer, release buffer,
// decommit), with callers waiting on a semaphore while all are in use. D_CMemAllocator backs the
// samples with one block of virtual memory.
#pragma once

#include "zovuz/movie/dshow/windows/dshow_base.h"

class D_CBaseAllocator;

class D_CMediaSample : public D_IMediaSample2
{
public:
    D_CMediaSample(const wchar_t *ObjectName, D_CBaseAllocator *Allocator, HRESULT *Result, BYTE *Buffer, LONG Length);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void **Object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetPointer(BYTE **Buffer) override;
    LONG STDMETHODCALLTYPE GetSize() override;
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME *Start, REFERENCE_TIME *Stop) override;
    HRESULT STDMETHODCALLTYPE SetTime(REFERENCE_TIME *Start, REFERENCE_TIME *Stop) override;
    HRESULT STDMETHODCALLTYPE IsSyncPoint() override;
    HRESULT STDMETHODCALLTYPE SetSyncPoint(BOOL SyncPoint) override;
    HRESULT STDMETHODCALLTYPE IsPreroll() override;
    HRESULT STDMETHODCALLTYPE SetPreroll(BOOL Preroll) override;
    LONG STDMETHODCALLTYPE GetActualDataLength() override;
    HRESULT STDMETHODCALLTYPE SetActualDataLength(LONG Length) override;
    HRESULT STDMETHODCALLTYPE GetMediaType(AM_MEDIA_TYPE **Type) override;
    HRESULT STDMETHODCALLTYPE SetMediaType(AM_MEDIA_TYPE *Type) override;
    HRESULT STDMETHODCALLTYPE IsDiscontinuity() override;
    HRESULT STDMETHODCALLTYPE SetDiscontinuity(BOOL Discontinuity) override;
    HRESULT STDMETHODCALLTYPE GetMediaTime(LONGLONG *Start, LONGLONG *Stop) override;
    HRESULT STDMETHODCALLTYPE SetMediaTime(LONGLONG *Start, LONGLONG *Stop) override;
    HRESULT STDMETHODCALLTYPE GetProperties(DWORD Size, BYTE *Properties) override;
    HRESULT STDMETHODCALLTYPE SetProperties(DWORD Size, const BYTE *Properties) override;
    virtual ~D_CMediaSample();

protected:
    friend class D_CBaseAllocator;
    friend class D_CMemAllocator;

    DWORD m_dwFlags;                 // AM_SAMPLE_* flags (0x1FF valid)
    DWORD m_dwTypeSpecificFlags;     // passed through untouched
    BYTE *m_pBuffer;                 // the sample's data, after the allocator's prefix
    LONG m_lActual;                  // bytes of valid data
    LONG m_cbBuffer;                 // bytes available
    D_CBaseAllocator *m_pAllocator;  // owner, not counted
    D_CMediaSample *m_pNext;         // link of the allocator's free list
    REFERENCE_TIME m_Start;
    REFERENCE_TIME m_End;
    LONGLONG m_MediaStart;
    LONG m_MediaEnd;              // media stop minus media start
    AM_MEDIA_TYPE *m_pMediaType;  // task memory, present exactly when AM_SAMPLE_TYPECHANGED is set
    DWORD m_dwStreamId;           // 0 = media
    volatile LONG m_cRef;         // 0 while on the free list
};

// The allocator's flag that is not published under a name: the buffer's time is valid.
enum {
    D_SAMPLE_MEDIATIMEVALID = 0x20,
    D_SAMPLE_VALIDFLAGS = 0x1FF,
};

class D_CBaseAllocator : public D_CUnknown, public D_IMemAllocatorCallbackTemp, public D_CCritSec
{
public:
    D_CBaseAllocator(const wchar_t *ObjectName, IUnknown *Outer, HRESULT *Result, bool MakeSemaphore,
                     bool ReleaseCallback);
    ~D_CBaseAllocator() override;

    D_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID Id, void **Object) override;

    HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES *Request, ALLOCATOR_PROPERTIES *Actual) override;
    HRESULT STDMETHODCALLTYPE GetProperties(ALLOCATOR_PROPERTIES *Properties) override;
    HRESULT STDMETHODCALLTYPE Commit() override;
    HRESULT STDMETHODCALLTYPE Decommit() override;
    HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample **Sample, REFERENCE_TIME *Start, REFERENCE_TIME *Stop,
                                        DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(IMediaSample *Sample) override;
    HRESULT STDMETHODCALLTYPE SetNotify(IMemAllocatorNotifyCallbackTemp *Notify) override;
    HRESULT STDMETHODCALLTYPE GetFreeCount(LONG *Free) override;

    virtual void Free() = 0;
    virtual HRESULT Alloc();

    D_IMemAllocator *MemAllocatorInterface() { return this; }

protected:
    // Wakes every thread waiting for a sample; under the lock.
    void NotifySample();
    void PushFree(D_CMediaSample *Sample);

    D_CMediaSample *m_pFreeList;  // last released first
    LONG m_lFree;                 // samples on the free list
    HANDLE m_hSem;                // GetBuffer waits on it when the list is empty
    LONG m_lWaiting;              // threads about to wait or waiting
    LONG m_lCount;                // buffers agreed
    LONG m_lAllocated;            // samples that exist
    LONG m_lSize;                 // bytes per buffer, without prefix
    LONG m_lAlignment;
    LONG m_lPrefix;
    BOOL m_bChanged;                             // the properties changed since the last allocation
    BOOL m_bCommitted;                           // GetBuffer may hand out samples
    BOOL m_bDecommitInProgress;                  // Decommit waits for outstanding samples
    IMemAllocatorNotifyCallbackTemp *m_pNotify;  // counted; told of every release
    BOOL m_fEnableReleaseCallback;               // answers IID_IMemAllocatorCallbackTemp
};

class D_CMemAllocator : public D_CBaseAllocator
{
public:
    D_CMemAllocator(const wchar_t *ObjectName, IUnknown *Outer, HRESULT *Result);
    ~D_CMemAllocator() override;

    HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES *Request, ALLOCATOR_PROPERTIES *Actual) override;
    void Free() override;
    HRESULT Alloc() override;

    // The block backing the samples (for tests and the grabber's allocator).
    BYTE *Block() const { return m_pBuffer; }

protected:
    // Deletes every sample and releases the block.
    void ReallyFree();

    BYTE *m_pBuffer;  // VirtualAlloc block, null
};

// A new D_CMemAllocator for a pin, handed out as IMemAllocator. Its maker deletes it with
// D_SafeDelete after the graph released it (the allocator does not free itself).
HRESULT D_CreateMemAllocator(IMemAllocator **Allocator, D_CMemAllocator **Object);
