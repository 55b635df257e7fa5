// The Media Foundation byte stream and its read worker.
#include "zovuz/movie/sound_convert/windows/mf_byte_stream.h"

#include <new>

MFFunctionTable *GetMFFunctionsForTest(void)
{
    static MFFunctionTable table;
    static int state = 0;  // 0 not tried, 1 loaded, -1 missing
    if (state == 0) {
        // Once, for the process: a system without Media Foundation says so in the log once.
        auto load = [](const wchar_t *FileName, const wchar_t *Call) {
            HMODULE module = LoadLibraryW(FileName);
            if (module == nullptr) LogPlatformFailure(Call, GetLastError());
            return module;
        };
        HMODULE plat = load(L"Mfplat.dll", L"LoadLibraryW(Mfplat.dll)");
        HMODULE readwrite = load(L"Mfreadwrite.dll", L"LoadLibraryW(Mfreadwrite.dll)");
        auto get = [](HMODULE Module, const char *Name) {
            return Module != nullptr ? reinterpret_cast<void *>(GetProcAddress(Module, Name)) : nullptr;
        };
        void *f[] = {get(plat, "MFStartup"),
                     get(plat, "MFShutdown"),
                     get(plat, "MFCreateMediaType"),
                     get(plat, "MFCreateWaveFormatExFromMFMediaType"),
                     get(plat, "MFCreateAttributes"),
                     get(plat, "MFCreateAsyncResult"),
                     get(plat, "MFInvokeCallback"),
                     get(readwrite, "MFCreateSourceReaderFromByteStream"),
                     get(readwrite, "MFCreateSourceReaderFromURL")};
        state = 1;
        for (void *p : f) {
            if (p == nullptr) state = -1;
        }
        static_assert(sizeof table == sizeof f, "one entry per function");
        if (state == 1) memcpy(&table, f, sizeof table);
    }
    return state == 1 ? &table : nullptr;
}

const MFFunctionTable *GetMFFunctions(void) { return GetMFFunctionsForTest(); }

D_SoundConvertMFByteStream::D_SoundConvertMFByteStream(const StreamFunctionTable *Stream, void *StreamData,
                                                       LONGLONG Length)
    : m_cRef(1),
      m_bReadPending(false),
      m_pAsyncResult(nullptr),
      m_pReadBuffer(nullptr),
      m_ReadSize(0),
      m_ReadPosition(0),
      m_BytesRead(0),
      m_Stream(*Stream),
      m_StreamData(StreamData),
      m_Length(Length),
      m_pAttributes(nullptr),
      m_hThread(nullptr),
      m_hReadEvent(nullptr),
      m_bEndRequest(false),
      m_bWorkerEnded(false)
{
    InitializeCriticalSection(&m_Lock);
    const MFFunctionTable *mf = GetMFFunctions();
    if (mf != nullptr) mf->MFCreateAttributes(&m_pAttributes, 0);
}

D_SoundConvertMFByteStream::~D_SoundConvertMFByteStream()
{
    Close();
    if (m_pAttributes != nullptr) m_pAttributes->Release();
    if (m_pAsyncResult != nullptr) m_pAsyncResult->Release();
    DeleteCriticalSection(&m_Lock);
}

namespace {
class Locked
{
public:
    explicit Locked(CRITICAL_SECTION *Lock) : m_Lock(Lock) { EnterCriticalSection(m_Lock); }
    ~Locked() { LeaveCriticalSection(m_Lock); }

private:
    CRITICAL_SECTION *m_Lock;
};
}  // namespace

HRESULT STDMETHODCALLTYPE D_SoundConvertMFByteStream::QueryInterface(REFIID Id, void **Object)
{
    if (Object == nullptr) return E_INVALIDARG;
    *Object = nullptr;
    // IUnknown answers with the byte stream, as COM identity requires.
    if (IsEqualIID(Id, IID_IMFByteStream) || IsEqualIID(Id, IID_IUnknown)) {
        *Object = static_cast<IMFByteStream *>(this);
        AddRef();
        return S_OK;
    }
    if (IsEqualIID(Id, IID_IMFAttributes) && m_pAttributes != nullptr) {
        *Object = m_pAttributes;
        m_pAttributes->AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE D_SoundConvertMFByteStream::AddRef() { return (ULONG)InterlockedIncrement(&m_cRef); }

ULONG STDMETHODCALLTYPE D_SoundConvertMFByteStream::Release()
{
    LONG count = InterlockedDecrement(&m_cRef);
    if (count == 0) delete this;
    return (ULONG)count;
}

HRESULT STDMETHODCALLTYPE D_SoundConvertMFByteStream::GetCapabilities(DWORD *Capabilities)
{
    if (Capabilities == nullptr) return E_POINTER;
    *Capabilities = MFBYTESTREAM_IS_READABLE | MFBYTESTREAM_IS_SEEKABLE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_SoundConvertMFByteStream::GetLength(QWORD *Length)
{
    if (Length == nullptr) return E_POINTER;
    *Length = (QWORD)m_Length;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_SoundConvertMFByteStream::GetCurrentPosition(QWORD *Position)
{
    if (Position == nullptr) return E_POINTER;
    Locked lock(&m_Lock);
    *Position = (QWORD)m_Stream.Tell(m_StreamData);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_SoundConvertMFByteStream::SetCurrentPosition(QWORD Position)
{
    return Seek(msoBegin, (LONGLONG)Position, 0, nullptr);
}

HRESULT STDMETHODCALLTYPE D_SoundConvertMFByteStream::IsEndOfStream(BOOL *End)
{
    if (End == nullptr) return E_POINTER;
    Locked lock(&m_Lock);
    *End = m_Stream.Tell(m_StreamData) >= m_Length ? TRUE : FALSE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_SoundConvertMFByteStream::Read(BYTE *Buffer, ULONG Size, ULONG *Read)
{
    Locked lock(&m_Lock);
    if (m_bReadPending) return E_FAIL;
    size_t got = m_Stream.Read(Buffer, 1, Size, m_StreamData);
    if (Read != nullptr) *Read = (ULONG)got;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_SoundConvertMFByteStream::BeginRead(BYTE *Buffer, ULONG Size, IMFAsyncCallback *Callback,
                                                                IUnknown *State)
{
    Locked lock(&m_Lock);
    if (m_bReadPending) return E_FAIL;
    const MFFunctionTable *mf = GetMFFunctions();
    if (mf == nullptr) return E_FAIL;
    HRESULT hr = mf->MFCreateAsyncResult(nullptr, Callback, State, &m_pAsyncResult);
    if (FAILED(hr)) return hr;
    m_pReadBuffer = Buffer;
    m_ReadSize = Size;
    m_bReadPending = true;
    m_ReadPosition = m_Stream.Tell(m_StreamData);
    m_BytesRead = 0;
    if (m_hReadEvent != nullptr) SetEvent(m_hReadEvent);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_SoundConvertMFByteStream::EndRead(IMFAsyncResult *Result, ULONG *Read)
{
    Locked lock(&m_Lock);
    if (!m_bReadPending || Result != m_pAsyncResult) return E_FAIL;
    if (Read != nullptr) *Read = m_BytesRead;
    ReleaseAndClear(m_pAsyncResult);
    m_bReadPending = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_SoundConvertMFByteStream::Seek(MFBYTESTREAM_SEEK_ORIGIN Origin, LONGLONG Offset, DWORD,
                                                           QWORD *Current)
{
    Locked lock(&m_Lock);
    if (Origin != msoBegin && Origin != msoCurrent) return E_INVALIDARG;
    // A pending read keeps its position; the seek is answered as done.
    if (m_bReadPending) return S_OK;
    m_Stream.Seek(m_StreamData, Offset, Origin == msoBegin ? FILE_SEEK_SET : FILE_SEEK_CUR);
    if (Current != nullptr) *Current = (QWORD)m_Stream.Tell(m_StreamData);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_SoundConvertMFByteStream::Close()
{
    if (m_hThread == nullptr) return S_OK;
    {
        Locked lock(&m_Lock);
        m_bEndRequest = true;
    }
    while (!m_bWorkerEnded) Sleep(2);
    WaitForSingleObject(m_hThread, INFINITE);
    CloseHandle(m_hThread);
    CloseHandle(m_hReadEvent);
    m_hThread = nullptr;
    m_hReadEvent = nullptr;
    return S_OK;
}

DWORD WINAPI SoundConvertMFReadWorker(LPVOID Param)
{
    static_cast<D_SoundConvertMFByteStream *>(Param)->Worker();
    return 0;
}

void D_SoundConvertMFByteStream::Worker()
{
    for (;;) {
        DWORD wait;
        while ((wait = WaitForSingleObject(m_hReadEvent, 16)) == WAIT_TIMEOUT) {
            if (m_bEndRequest) break;
        }
        EnterCriticalSection(&m_Lock);
        if (wait != WAIT_OBJECT_0 || m_bEndRequest || !m_bReadPending) {
            LeaveCriticalSection(&m_Lock);
            m_bWorkerEnded = true;
            return;
        }
        BYTE *buffer = m_pReadBuffer;
        ULONG size = m_ReadSize;
        IMFAsyncResult *result = m_pAsyncResult;
        LeaveCriticalSection(&m_Lock);
        m_BytesRead = (ULONG)m_Stream.Read(buffer, 1, size, m_StreamData);
        GetMFFunctions()->MFInvokeCallback(result);
    }
}

HRESULT D_SoundConvertMFByteStream::StartWorker()
{
    if (m_hThread != nullptr) return S_OK;
    m_hReadEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (m_hReadEvent == nullptr) {
        LogPlatformFailure(L"CreateEventW", GetLastError());
        return E_FAIL;
    }
    m_bEndRequest = false;
    m_bWorkerEnded = false;
    DWORD id;
    m_hThread = CreateThread(nullptr, 0, SoundConvertMFReadWorker, this, 0, &id);
    if (m_hThread == nullptr) {
        LogPlatformFailure(L"CreateThread", GetLastError());
        CloseHandle(m_hReadEvent);
        m_hReadEvent = nullptr;
        return E_FAIL;
    }
    return S_OK;
}

D_SoundConvertMFByteStream *D_SoundConvertMFByteStream_CreateInstance(const StreamFunctionTable *Stream,
                                                                      void *StreamData, LONGLONG Length)
{
    return new (std::nothrow) D_SoundConvertMFByteStream(Stream, StreamData, Length);
}

HRESULT SoundConvertMF_StartWorkerThread(D_SoundConvertMFByteStream *ByteStream)
{
    return ByteStream != nullptr ? ByteStream->StartWorker() : E_FAIL;
}
