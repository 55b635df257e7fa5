// The asynchronous reader: a source filter whose one output pin serves a byte stream to a
// parser through IAsyncReader. D_CAsyncIo queues read requests for one worker thread and also
// reads synchronously on the caller's thread; D_CMemStream serves a memory image. The sound
// layer's MP3 decoding reads a whole file image through D_CMemReader.
#pragma once

#include "zovuz/movie/dshow/windows/dshow_allocator.h"
#include "zovuz/movie/dshow/windows/dshow_filter.h"

// A byte stream the reader serves. Lock / Unlock bracket a SetPointer + Read pair.
class D_CAsyncStream
{
public:
    virtual ~D_CAsyncStream() {}
    virtual HRESULT SetPointer(LONGLONG Position) = 0;
    virtual HRESULT Read(BYTE *Buffer, DWORD Bytes, BOOL Aligned, LPDWORD Read) = 0;
    virtual LONGLONG Size(LONGLONG *Available = nullptr) = 0;
    virtual DWORD Alignment() = 0;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
};

// A memory image served at a limited rate (kilobytes per second; 0xFFFFFFFF: unlimited). The
// image stays its owner's and must outlive the stream.
class D_CMemStream : public D_CAsyncStream
{
public:
    D_CMemStream(const BYTE *Data, LONGLONG Length, DWORD KBPerSec);
    HRESULT SetPointer(LONGLONG Position) override;
    HRESULT Read(BYTE *Buffer, DWORD Bytes, BOOL Aligned, LPDWORD Read) override;
    LONGLONG Size(LONGLONG *Available = nullptr) override;
    DWORD Alignment() override { return 1; }
    void Lock() override { m_csLock.Lock(); }
    void Unlock() override { m_csLock.Unlock(); }

private:
    D_CCritSec m_csLock;
    const BYTE *m_pbData;  // not owned
    LONGLONG m_llLength;
    LONGLONG m_llPosition;
    DWORD m_dwKBPerSec;
    DWORD m_dwTimeStart;  // timeGetTime at creation
};

// A new memory stream (Rate as above; the last argument is unused), or null.
D_CMemStream *D_CMemStream_Create(const void *Data, LONGLONG Length, DWORD Reserved, DWORD Rate);

class D_CAsyncIo;

// One read: queued by Request, completed by the worker or on the caller's thread.
struct D_CAsyncRequest
{
    D_CAsyncIo *m_pIo;
    D_CAsyncStream *m_pStream;
    LONGLONG m_llPos;
    LONG m_lLength;
    BOOL m_bAligned;
    BYTE *m_pBuffer;
    LPVOID m_pContext;  // the IMediaSample, or none
    DWORD_PTR m_dwUser;
    HRESULT m_hr;  // VFW_E_TIMEOUT until completed

    // Reads under the stream's lock; S_FALSE for a short read.
    HRESULT Complete();
};

// The request queue and its worker thread.
class D_CAsyncIo
{
public:
    explicit D_CAsyncIo(D_CAsyncStream *Stream);
    ~D_CAsyncIo();
    D_CAsyncIo(const D_CAsyncIo &) = delete;
    D_CAsyncIo &operator=(const D_CAsyncIo &) = delete;

    HRESULT Request(LONGLONG Position, LONG Length, BOOL Aligned, BYTE *Buffer, LPVOID Context, DWORD_PTR User);
    HRESULT WaitForNext(DWORD Timeout, LPVOID *Context, DWORD_PTR *User, LONG *Actual);
    HRESULT SyncReadAligned(LONGLONG Position, LONG Length, BYTE *Buffer, LONG *Actual, PVOID Context);
    HRESULT SyncRead(LONGLONG Position, LONG Length, BYTE *Buffer);
    HRESULT Length(LONGLONG *Total, LONGLONG *Available);
    HRESULT Alignment(LONG *Alignment);
    HRESULT BeginFlush();
    HRESULT EndFlush();
    LONG Alignment() { return (LONG)m_pStream->Alignment(); }
    bool IsAligned(LONG Value) { return (Value & (Alignment() - 1)) == 0; }
    bool IsAligned(LONGLONG Value) { return IsAligned((LONG)(Value & 0xFFFFFFFF)); }

private:
    friend DWORD WINAPI AsyncReaderProcessRequests(LPVOID Param);
    HRESULT PutWorkItem(D_CAsyncRequest *Request);
    HRESULT StartThread();
    void CloseThread();
    D_CAsyncRequest *GetWorkItem();
    void ProcessRequests();
    void PutDoneItem(D_CAsyncRequest *Request);

    // A plain singly linked queue of requests.
    struct Node
    {
        D_CAsyncRequest *Request;
        Node *Next;
    };
    struct Queue
    {
        Node *Head = nullptr;
        Node *Tail = nullptr;
        int Count = 0;
        bool Push(D_CAsyncRequest *Request);
        D_CAsyncRequest *Pop();
    };

    D_CCritSec m_csReader;
    D_CAsyncStream *m_pStream;
    D_CCritSec m_csLists;
    BOOL m_bFlushing;
    Queue m_listWork;
    Queue m_listDone;
    HANDLE m_evWork;  // manual reset
    HANDLE m_evDone;  // manual reset
    LONG m_cItemsOut;
    BOOL m_bWaiting;
    HANDLE m_evAllDone;  // auto reset
    HANDLE m_evStop;     // manual reset
    HANDLE m_hThread;
};

class D_CAsyncReader;

class D_CAsyncOutputPin : public D_IAsyncReader, public D_CBasePin
{
public:
    D_CAsyncOutputPin(HRESULT *Result, D_CAsyncReader *Reader, D_CAsyncIo *Io, D_CCritSec *Lock);
    ~D_CAsyncOutputPin() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void **Object) override
    {
        return GetOwner()->QueryInterface(Id, Object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return GetOwner()->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return GetOwner()->Release(); }
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID Id, void **Object) override;

    // IPin
    HRESULT STDMETHODCALLTYPE Connect(IPin *ReceivePin, const AM_MEDIA_TYPE *Type) override;
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR *Id) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter *, Quality) override { return E_NOTIMPL; }
    // IAsyncReader
    HRESULT STDMETHODCALLTYPE RequestAllocator(IMemAllocator *Preferred, ALLOCATOR_PROPERTIES *Properties,
                                               IMemAllocator **Actual) override;
    HRESULT STDMETHODCALLTYPE Request(IMediaSample *Sample, DWORD_PTR User) override;
    HRESULT STDMETHODCALLTYPE WaitForNext(DWORD Timeout, IMediaSample **Sample, DWORD_PTR *User) override;
    HRESULT STDMETHODCALLTYPE SyncReadAligned(IMediaSample *Sample) override;
    HRESULT STDMETHODCALLTYPE SyncRead(LONGLONG Position, LONG Length, BYTE *Buffer) override;
    HRESULT STDMETHODCALLTYPE Length(LONGLONG *Total, LONGLONG *Available) override;

    HRESULT GetMediaType(int Position, D_CMediaType *Type) override;
    HRESULT CheckMediaType(const D_CMediaType *Type) override;
    HRESULT CheckConnect(IPin *Pin) override;
    HRESULT CompleteConnect(IPin *ReceivePin) override;
    HRESULT BreakConnect() override;

private:
    // Byte position and length of a sample from its times (the length cut at the stream's end), and
    // its buffer.
    HRESULT SampleRange(IMediaSample *Sample, LONGLONG *Position, LONG *Length, BYTE **Buffer);
    HRESULT InitAllocator(IMemAllocator **Allocator);

    D_CAsyncReader *m_pReader;
    D_CAsyncIo *m_pIo;
    BOOL m_bQueriedForAsyncReader;
    D_CMemAllocator *m_pOwnAllocator;  // made by RequestAllocator; deleted with the pin
};

class D_CAsyncReader : public D_CBaseFilter
{
public:
    D_CAsyncReader(const wchar_t *Name, IUnknown *Outer, D_CAsyncStream *Stream, HRESULT *Result);
    ~D_CAsyncReader() override;

    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR Id, IPin **Pin) override;
    int GetPinCount() override { return 1; }
    D_CBasePin *GetPin(int Index) override;
    const D_CMediaType *LoadType() const { return &m_mt; }
    HRESULT Connect(IPin *ReceivePin, const AM_MEDIA_TYPE *Type)
    {
        return m_OutputPin.D_CBasePin::Connect(ReceivePin, Type);
    }
    D_CAsyncOutputPin *OutputPin() { return &m_OutputPin; }

protected:
    D_CCritSec m_csFilter;
    D_CAsyncIo m_Io;
    D_CAsyncOutputPin m_OutputPin;
    D_CMediaType m_mt;
};

class D_CMemReader : public D_CAsyncReader
{
public:
    D_CMemReader(D_CMemStream *Stream, const AM_MEDIA_TYPE *Type, HRESULT *Result);
    HRESULT STDMETHODCALLTYPE Register() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unregister() override { return S_OK; }
};

// A new memory reader offering Stream with Type, or null with E_OUTOFMEMORY.
D_CMemReader *D_CMemReader_CreateInstance(D_CMemStream *Stream, const AM_MEDIA_TYPE *Type, HRESULT *Result);
