// The asynchronous reader filter, its output pin, the request queue and the memory stream.
#include "zovuz/movie/dshow/windows/dshow_mem_reader.h"

#include <mmsystem.h>
#include <new>
#include <string.h>

#include "zovuz/movie/dshow/windows/dshow_allocator.h"

// ---- memory stream ------------------------------------------------------------------------

D_CMemStream::D_CMemStream(const BYTE *Data, LONGLONG Length, DWORD KBPerSec)
    : m_pbData(Data), m_llLength(Length), m_llPosition(0), m_dwKBPerSec(KBPerSec), m_dwTimeStart(timeGetTime())
{
}

HRESULT D_CMemStream::SetPointer(LONGLONG Position)
{
    if (Position < 0 || Position > m_llLength) return S_FALSE;
    m_llPosition = Position;
    return S_OK;
}

HRESULT D_CMemStream::Read(BYTE *Buffer, DWORD Bytes, BOOL, LPDWORD Read)
{
    D_CAutoLock lock(&m_csLock);
    DWORD n = Bytes;
    LONGLONG left = m_llLength - m_llPosition;
    if (left < 0) left = 0;
    if ((LONGLONG)n > left) n = (DWORD)left;
    // The division and comparison are unsigned, so the unlimited rate never sleeps.
    DWORD due = (DWORD)((ULONGLONG)(m_llPosition + n) / m_dwKBPerSec);
    DWORD elapsed = timeGetTime() - m_dwTimeStart;
    if (elapsed < due) Sleep(due - elapsed);
    if (n > 0) memcpy(Buffer, m_pbData + m_llPosition, n);
    m_llPosition += n;
    *Read = n;
    return S_OK;
}

LONGLONG D_CMemStream::Size(LONGLONG *Available)
{
    if (Available != nullptr && m_dwKBPerSec == 0xFFFFFFFF) {
        // Unlimited: everything is there, even in the first millisecond.
        *Available = m_llLength;
    } else if (Available != nullptr) {
        ULONGLONG reached = (ULONGLONG)(timeGetTime() - m_dwTimeStart) * (ULONGLONG)m_dwKBPerSec;
        *Available = reached < (ULONGLONG)m_llLength ? (LONGLONG)reached : m_llLength;
    }
    return m_llLength;
}

D_CMemStream *D_CMemStream_Create(const void *Data, LONGLONG Length, DWORD, DWORD Rate)
{
    return new (std::nothrow) D_CMemStream(static_cast<const BYTE *>(Data), Length, Rate);
}

// ---- requests -----------------------------------------------------------------------------

HRESULT D_CAsyncRequest::Complete()
{
    m_pStream->Lock();
    m_hr = m_pStream->SetPointer(m_llPos);
    if (m_hr == S_OK) {
        DWORD read = 0;
        m_hr = m_pStream->Read(m_pBuffer, (DWORD)m_lLength, m_bAligned, &read);
        if (m_hr == OLE_S_FIRST) {
            if (m_pContext != nullptr) static_cast<IMediaSample *>(m_pContext)->SetDiscontinuity(TRUE);
            m_hr = S_OK;
        }
        if (SUCCEEDED(m_hr) && (LONG)read != m_lLength) {
            m_lLength = (LONG)read;
            m_hr = S_FALSE;
        }
    }
    m_pStream->Unlock();
    return m_hr;
}

// ---- request queue ------------------------------------------------------------------------

bool D_CAsyncIo::Queue::Push(D_CAsyncRequest *Request)
{
    Node *node = new (std::nothrow) Node{Request, nullptr};
    if (node == nullptr) return false;
    if (Tail != nullptr)
        Tail->Next = node;
    else
        Head = node;
    Tail = node;
    Count++;
    return true;
}

D_CAsyncRequest *D_CAsyncIo::Queue::Pop()
{
    Node *node = Head;
    if (node == nullptr) return nullptr;
    Head = node->Next;
    if (Head == nullptr) Tail = nullptr;
    Count--;
    D_CAsyncRequest *request = node->Request;
    delete node;
    return request;
}

D_CAsyncIo::D_CAsyncIo(D_CAsyncStream *Stream)
    : m_pStream(Stream),
      m_bFlushing(FALSE),
      m_evWork(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_evDone(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_cItemsOut(0),
      m_bWaiting(FALSE),
      m_evAllDone(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_evStop(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_hThread(nullptr)
{
}

D_CAsyncIo::~D_CAsyncIo()
{
    BeginFlush();
    CloseThread();
    while (D_CAsyncRequest *request = m_listDone.Pop()) delete request;
    HANDLE events[] = {m_evWork, m_evDone, m_evAllDone, m_evStop};
    for (HANDLE e : events) {
        if (e != nullptr) CloseHandle(e);
    }
}

void D_CAsyncIo::CloseThread()
{
    if (m_hThread == nullptr) return;
    SetEvent(m_evStop);
    WaitForSingleObject(m_hThread, INFINITE);
    CloseHandle(m_hThread);
    m_hThread = nullptr;
}

DWORD WINAPI AsyncReaderProcessRequests(LPVOID Param)
{
    static_cast<D_CAsyncIo *>(Param)->ProcessRequests();
    return 0;
}

HRESULT D_CAsyncIo::StartThread()
{
    if (m_hThread != nullptr) return S_OK;
    ResetEvent(m_evStop);
    DWORD id;
    m_hThread = CreateThread(nullptr, 0, AsyncReaderProcessRequests, this, 0, &id);
    if (m_hThread == nullptr) return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}

HRESULT D_CAsyncIo::PutWorkItem(D_CAsyncRequest *Request)
{
    D_CAutoLock lock(&m_csLists);
    if (m_bFlushing) {
        delete Request;
        return VFW_E_WRONG_STATE;
    }
    if (!m_listWork.Push(Request)) {
        delete Request;
        return E_OUTOFMEMORY;
    }
    SetEvent(m_evWork);
    return StartThread();
}

D_CAsyncRequest *D_CAsyncIo::GetWorkItem()
{
    D_CAutoLock lock(&m_csLists);
    D_CAsyncRequest *request = m_listWork.Pop();
    if (m_listWork.Count == 0) ResetEvent(m_evWork);
    if (request != nullptr) m_cItemsOut++;
    return request;
}

void D_CAsyncIo::PutDoneItem(D_CAsyncRequest *Request)
{
    if (!m_listDone.Push(Request)) delete Request;
    SetEvent(m_evDone);
}

void D_CAsyncIo::ProcessRequests()
{
    for (;;) {
        HANDLE events[] = {m_evStop, m_evWork};
        if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
        while (D_CAsyncRequest *request = GetWorkItem()) {
            request->Complete();
            D_CAutoLock lock(&m_csLists);
            PutDoneItem(request);
            if (--m_cItemsOut == 0 && m_bWaiting) SetEvent(m_evAllDone);
        }
    }
}

HRESULT D_CAsyncIo::Request(LONGLONG Position, LONG Length, BOOL Aligned, BYTE *Buffer, LPVOID Context, DWORD_PTR User)
{
    if (Aligned && (!IsAligned(Position) || !IsAligned(Length) || !IsAligned((LONG)(DWORD_PTR)Buffer)))
        return VFW_E_BADALIGN;
    // A negative length would reach the stream as a huge copy.
    if (Length < 0) return E_INVALIDARG;
    D_CAsyncRequest *request = new (std::nothrow)
        D_CAsyncRequest{this, m_pStream, Position, Length, Aligned, Buffer, Context, User, VFW_E_TIMEOUT};
    if (request == nullptr) return E_OUTOFMEMORY;
    return PutWorkItem(request);
}

HRESULT D_CAsyncIo::WaitForNext(DWORD Timeout, LPVOID *Context, DWORD_PTR *User, LONG *Actual)
{
    if (Context == nullptr || User == nullptr || Actual == nullptr) return E_POINTER;
    *Context = nullptr;
    for (;;) {
        if (WaitForSingleObject(m_evDone, Timeout) == WAIT_TIMEOUT) return VFW_E_TIMEOUT;
        D_CAsyncRequest *request;
        {
            D_CAutoLock lock(&m_csLists);
            request = m_listDone.Pop();
            if (m_listDone.Count == 0 && (!m_bFlushing || m_bWaiting)) ResetEvent(m_evDone);
            if (request == nullptr && m_bFlushing && !m_bWaiting) return VFW_E_WRONG_STATE;
        }
        if (request == nullptr) continue;
        HRESULT hr = request->m_hr;
        if (hr == S_FALSE) {
            LONGLONG total = m_pStream->Size();
            hr = request->m_llPos + request->m_lLength == total ? S_OK : E_FAIL;
        }
        *Actual = request->m_lLength;
        *Context = request->m_pContext;
        *User = request->m_dwUser;
        delete request;
        return hr;
    }
}

HRESULT D_CAsyncIo::SyncReadAligned(LONGLONG Position, LONG Length, BYTE *Buffer, LONG *Actual, PVOID Context)
{
    if (!IsAligned(Position) || !IsAligned(Length) || !IsAligned((LONG)(DWORD_PTR)Buffer)) return VFW_E_BADALIGN;
    if (Length < 0) return E_INVALIDARG;
    D_CAsyncRequest request{this, m_pStream, Position, Length, TRUE, Buffer, Context, 0, VFW_E_TIMEOUT};
    D_CAutoLock lock(&m_csReader);
    HRESULT hr = request.Complete();
    *Actual = request.m_lLength;
    return hr;
}

HRESULT D_CAsyncIo::SyncRead(LONGLONG Position, LONG Length, BYTE *Buffer)
{
    if (Length < 0) return E_INVALIDARG;
    if (IsAligned(Position) && IsAligned(Length) && IsAligned((LONG)(DWORD_PTR)Buffer)) {
        LONG actual;
        return SyncReadAligned(Position, Length, Buffer, &actual, nullptr);
    }
    D_CAsyncRequest request{this, m_pStream, Position, Length, FALSE, Buffer, nullptr, 0, VFW_E_TIMEOUT};
    D_CAutoLock lock(&m_csReader);
    return request.Complete();
}

HRESULT D_CAsyncIo::Length(LONGLONG *Total, LONGLONG *Available)
{
    *Total = m_pStream->Size(Available);
    return S_OK;
}

HRESULT D_CAsyncIo::Alignment(LONG *Alignment)
{
    *Alignment = (LONG)m_pStream->Alignment();
    return S_OK;
}

HRESULT D_CAsyncIo::BeginFlush()
{
    {
        D_CAutoLock lock(&m_csLists);
        m_bFlushing = TRUE;
        while (D_CAsyncRequest *request = m_listWork.Pop()) PutDoneItem(request);
        ResetEvent(m_evWork);
        if (m_cItemsOut > 0) m_bWaiting = TRUE;
    }
    for (;;) {
        {
            D_CAutoLock lock(&m_csLists);
            if (m_cItemsOut == 0) {
                m_bWaiting = FALSE;
                break;
            }
        }
        WaitForSingleObject(m_evAllDone, INFINITE);
    }
    SetEvent(m_evDone);
    return S_OK;
}

HRESULT D_CAsyncIo::EndFlush()
{
    D_CAutoLock lock(&m_csLists);
    m_bFlushing = FALSE;
    if (m_listDone.Count > 0)
        SetEvent(m_evDone);
    else
        ResetEvent(m_evDone);
    return S_OK;
}

// ---- output pin ---------------------------------------------------------------------------

D_CAsyncOutputPin::D_CAsyncOutputPin(HRESULT *Result, D_CAsyncReader *Reader, D_CAsyncIo *Io, D_CCritSec *Lock)
    : D_CBasePin(L"Async output pin", Reader, Lock, Result, L"Output", PINDIR_OUTPUT),
      m_pReader(Reader),
      m_pIo(Io),
      m_bQueriedForAsyncReader(FALSE),
      m_pOwnAllocator(nullptr)
{
}

D_CAsyncOutputPin::~D_CAsyncOutputPin() { D_SafeDelete(m_pOwnAllocator); }

HRESULT STDMETHODCALLTYPE D_CAsyncOutputPin::NonDelegatingQueryInterface(REFIID Id, void **Object)
{
    if (Object == nullptr) return E_POINTER;
    if (IsEqualIID(Id, IID_IAsyncReader)) {
        m_bQueriedForAsyncReader = TRUE;
        return D_GetInterface(static_cast<D_IAsyncReader *>(this), Object);
    }
    return D_CBasePin::NonDelegatingQueryInterface(Id, Object);
}

HRESULT STDMETHODCALLTYPE D_CAsyncOutputPin::Connect(IPin *ReceivePin, const AM_MEDIA_TYPE *Type)
{
    return m_pReader->Connect(ReceivePin, Type);
}

HRESULT STDMETHODCALLTYPE D_CAsyncOutputPin::QueryId(LPWSTR *Id)
{
    if (Id == nullptr) return E_POINTER;
    size_t bytes = (wcslen(m_pName) + 1) * sizeof(WCHAR);
    *Id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (*Id == nullptr) return E_OUTOFMEMORY;
    memcpy(*Id, m_pName, bytes);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CAsyncOutputPin::BeginFlush() { return m_pIo->BeginFlush(); }
HRESULT STDMETHODCALLTYPE D_CAsyncOutputPin::EndFlush() { return m_pIo->EndFlush(); }

HRESULT D_CAsyncOutputPin::GetMediaType(int Position, D_CMediaType *Type)
{
    if (Position < 0) return E_INVALIDARG;
    if (Position > 0) return VFW_S_NO_MORE_ITEMS;
    if (m_pReader == nullptr) return E_UNEXPECTED;
    *Type = *m_pReader->LoadType();
    return S_OK;
}

HRESULT D_CAsyncOutputPin::CheckMediaType(const D_CMediaType *Type)
{
    D_CAutoLock lock(m_pLock);
    const D_CMediaType *own = m_pReader->LoadType();
    if (GuidEqual(own->majortype, Type->majortype) &&
        (GuidEqual(own->subtype, MEDIASUBTYPE_NULL) || GuidEqual(own->subtype, Type->subtype)))
        return S_OK;
    return S_FALSE;
}

HRESULT D_CAsyncOutputPin::CheckConnect(IPin *Pin)
{
    m_bQueriedForAsyncReader = FALSE;
    return D_CBasePin::CheckConnect(Pin);
}

HRESULT D_CAsyncOutputPin::CompleteConnect(IPin *ReceivePin)
{
    if (!m_bQueriedForAsyncReader) return E_FAIL;
    return D_CBasePin::CompleteConnect(ReceivePin);
}

HRESULT D_CAsyncOutputPin::BreakConnect()
{
    m_bQueriedForAsyncReader = FALSE;
    return D_CBasePin::BreakConnect();
}

HRESULT D_CAsyncOutputPin::InitAllocator(IMemAllocator **Allocator)
{
    D_CMemAllocator *object = nullptr;
    if (m_pOwnAllocator != nullptr) {
        *Allocator = m_pOwnAllocator->MemAllocatorInterface();
        (*Allocator)->AddRef();
        return S_OK;
    }
    HRESULT hr = D_CreateMemAllocator(Allocator, &object);
    if (SUCCEEDED(hr)) m_pOwnAllocator = object;
    return hr;
}

HRESULT STDMETHODCALLTYPE D_CAsyncOutputPin::RequestAllocator(IMemAllocator *Preferred,
                                                              ALLOCATOR_PROPERTIES *Properties, IMemAllocator **Actual)
{
    if (Properties == nullptr || Actual == nullptr) return E_POINTER;
    LONG alignment = m_pIo->Alignment();
    if (Properties->cbAlign == 0 || (Properties->cbAlign & (alignment - 1)) != 0) Properties->cbAlign = alignment;
    ALLOCATOR_PROPERTIES got;
    HRESULT hr;
    if (Preferred != nullptr) {
        hr = Preferred->SetProperties(Properties, &got);
        if (SUCCEEDED(hr) && m_pIo->IsAligned(got.cbAlign)) {
            Preferred->AddRef();
            *Actual = Preferred;
            return S_OK;
        }
    }
    IMemAllocator *allocator = nullptr;
    hr = InitAllocator(&allocator);
    if (FAILED(hr)) return hr;
    hr = allocator->SetProperties(Properties, &got);
    if (SUCCEEDED(hr) && m_pIo->IsAligned(got.cbAlign)) {
        *Actual = allocator;
        return S_OK;
    }
    allocator->Release();
    return SUCCEEDED(hr) ? VFW_E_BADALIGN : hr;
}

HRESULT D_CAsyncOutputPin::SampleRange(IMediaSample *Sample, LONGLONG *Position, LONG *Length, BYTE **Buffer)
{
    REFERENCE_TIME start, stop;
    HRESULT hr = Sample->GetTime(&start, &stop);
    if (FAILED(hr)) return hr;
    *Position = start / 10000000;
    *Length = (LONG)((stop - start) / 10000000);
    LONGLONG total, available;
    m_pIo->Length(&total, &available);
    if (*Position + *Length > total) {
        LONG alignment = m_pIo->Alignment();
        total = (total + alignment - 1) & ~(LONGLONG)(alignment - 1);
        if (*Position + *Length > total) {
            *Length = (LONG)(total - *Position);
            stop = total * 10000000;
            Sample->SetTime(&start, &stop);
        }
    }
    return Sample->GetPointer(Buffer);
}

HRESULT STDMETHODCALLTYPE D_CAsyncOutputPin::Request(IMediaSample *Sample, DWORD_PTR User)
{
    if (Sample == nullptr) return E_POINTER;
    LONGLONG position;
    LONG length;
    BYTE *buffer;
    HRESULT hr = SampleRange(Sample, &position, &length, &buffer);
    if (FAILED(hr)) return hr;
    return m_pIo->Request(position, length, TRUE, buffer, Sample, User);
}

HRESULT STDMETHODCALLTYPE D_CAsyncOutputPin::WaitForNext(DWORD Timeout, IMediaSample **Sample, DWORD_PTR *User)
{
    if (Sample == nullptr) return E_POINTER;
    LONG actual = 0;
    LPVOID context = nullptr;
    HRESULT hr = m_pIo->WaitForNext(Timeout, &context, User, &actual);
    IMediaSample *sample = static_cast<IMediaSample *>(context);
    if (SUCCEEDED(hr)) sample->SetActualDataLength(actual);
    *Sample = sample;
    return hr;
}

HRESULT STDMETHODCALLTYPE D_CAsyncOutputPin::SyncReadAligned(IMediaSample *Sample)
{
    if (Sample == nullptr) return E_POINTER;
    LONGLONG position;
    LONG length;
    BYTE *buffer;
    HRESULT hr = SampleRange(Sample, &position, &length, &buffer);
    if (FAILED(hr)) return hr;
    LONG actual = 0;
    hr = m_pIo->SyncReadAligned(position, length, buffer, &actual, Sample);
    Sample->SetActualDataLength(actual);
    return hr;
}

HRESULT STDMETHODCALLTYPE D_CAsyncOutputPin::SyncRead(LONGLONG Position, LONG Length, BYTE *Buffer)
{
    return m_pIo->SyncRead(Position, Length, Buffer);
}

HRESULT STDMETHODCALLTYPE D_CAsyncOutputPin::Length(LONGLONG *Total, LONGLONG *Available)
{
    if (Total == nullptr) return E_POINTER;
    LONGLONG available;
    HRESULT hr = m_pIo->Length(Total, Available != nullptr ? Available : &available);
    return hr;
}

// ---- filters ------------------------------------------------------------------------------

D_CAsyncReader::D_CAsyncReader(const wchar_t *Name, IUnknown *Outer, D_CAsyncStream *Stream, HRESULT *Result)
    : D_CBaseFilter(Name, Outer, &m_csFilter, D_CLSID_AsyncReader, Result),
      m_Io(Stream),
      m_OutputPin(Result, this, &m_Io, &m_csFilter)
{
}

D_CAsyncReader::~D_CAsyncReader() {}

HRESULT STDMETHODCALLTYPE D_CAsyncReader::FindPin(LPCWSTR Id, IPin **Pin)
{
    if (Id == nullptr || Pin == nullptr) return E_POINTER;
    *Pin = nullptr;
    if (wcscmp(Id, L"Output") != 0) return VFW_E_NOT_FOUND;
    *Pin = m_OutputPin.PinInterface();
    (*Pin)->AddRef();
    return S_OK;
}

D_CBasePin *D_CAsyncReader::GetPin(int Index) { return Index == 0 ? &m_OutputPin : nullptr; }

D_CMemReader::D_CMemReader(D_CMemStream *Stream, const AM_MEDIA_TYPE *Type, HRESULT *Result)
    : D_CAsyncReader(L"Mem Reader", nullptr, Stream, Result)
{
    m_mt = *Type;
}

D_CMemReader *D_CMemReader_CreateInstance(D_CMemStream *Stream, const AM_MEDIA_TYPE *Type, HRESULT *Result)
{
    HRESULT hr = S_OK;
    D_CMemReader *reader = new (std::nothrow) D_CMemReader(Stream, Type, &hr);
    if (reader == nullptr) hr = E_OUTOFMEMORY;
    if (Result != nullptr) *Result = hr;
    return reader;
}
