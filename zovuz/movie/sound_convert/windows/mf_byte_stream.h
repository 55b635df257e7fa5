// The Media Foundation byte stream over a library stream: a read-only, seekable IMFByteStream
// whose asynchronous reads one worker thread per byte stream serves, so that a source reader can
// decode sound files from archives or memory. Also the Media Foundation functions, loaded when
// first needed.
#pragma once

#include <windows.h>
#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include "zovuz/core/zovuz_core.h"

// The Media Foundation functions the library calls; all null when a DLL or one of them is missing.
struct MFFunctionTable
{
    HRESULT(WINAPI *MFStartup)(ULONG, DWORD);
    HRESULT(WINAPI *MFShutdown)(void);
    HRESULT(WINAPI *MFCreateMediaType)(IMFMediaType **);
    HRESULT(WINAPI *MFCreateWaveFormatExFromMFMediaType)(IMFMediaType *, WAVEFORMATEX **, UINT32 *, UINT32);
    HRESULT(WINAPI *MFCreateAttributes)(IMFAttributes **, UINT32);
    HRESULT(WINAPI *MFCreateAsyncResult)(IUnknown *, IMFAsyncCallback *, IUnknown *, IMFAsyncResult **);
    HRESULT(WINAPI *MFInvokeCallback)(IMFAsyncResult *);
    HRESULT(WINAPI *MFCreateSourceReaderFromByteStream)(IMFByteStream *, IMFAttributes *, IMFSourceReader **);
    HRESULT(WINAPI *MFCreateSourceReaderFromURL)(LPCWSTR, IMFAttributes *, IMFSourceReader **);
};
// The table, loaded on the first call; null when any function is missing.
const MFFunctionTable *GetMFFunctions(void);
// The same table for a test to replace an entry in (null when it could not be loaded).
MFFunctionTable *GetMFFunctionsForTest(void);

// Media Foundation is started once per process, by the first movie or sound conversion that
// needs it, and shut down once, after the movie system has ended and the last conversion is
// gone (SoundConvertMF_Terminate). 0, or -1 when it cannot be started.
int MediaFoundation_StartOnce(void);

class D_SoundConvertMFByteStream : public IMFByteStream
{
public:
    D_SoundConvertMFByteStream(const StreamFunctionTable *Stream, void *StreamData, LONGLONG Length);
    virtual ~D_SoundConvertMFByteStream();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void **Object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD *Capabilities) override;
    HRESULT STDMETHODCALLTYPE GetLength(QWORD *Length) override;
    HRESULT STDMETHODCALLTYPE SetLength(QWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(QWORD *Position) override;
    HRESULT STDMETHODCALLTYPE SetCurrentPosition(QWORD Position) override;
    HRESULT STDMETHODCALLTYPE IsEndOfStream(BOOL *End) override;
    HRESULT STDMETHODCALLTYPE Read(BYTE *Buffer, ULONG Size, ULONG *Read) override;
    HRESULT STDMETHODCALLTYPE BeginRead(BYTE *Buffer, ULONG Size, IMFAsyncCallback *Callback, IUnknown *State) override;
    HRESULT STDMETHODCALLTYPE EndRead(IMFAsyncResult *Result, ULONG *Read) override;
    HRESULT STDMETHODCALLTYPE Write(const BYTE *, ULONG, ULONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginWrite(const BYTE *, ULONG, IMFAsyncCallback *, IUnknown *) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EndWrite(IMFAsyncResult *, ULONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Seek(MFBYTESTREAM_SEEK_ORIGIN Origin, LONGLONG Offset, DWORD Flags,
                                   QWORD *Current) override;
    HRESULT STDMETHODCALLTYPE Flush() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Close() override;

    HRESULT StartWorker();

private:
    friend DWORD WINAPI SoundConvertMFReadWorker(LPVOID Param);
    void Worker();

    volatile LONG m_cRef;
    bool m_bReadPending;
    IMFAsyncResult *m_pAsyncResult;
    BYTE *m_pReadBuffer;
    ULONG m_ReadSize;
    LONGLONG m_ReadPosition;
    ULONG m_BytesRead;
    StreamFunctionTable m_Stream;
    void *m_StreamData;
    LONGLONG m_Length;
    IMFAttributes *m_pAttributes;
    CRITICAL_SECTION m_Lock;
    HANDLE m_hThread;
    HANDLE m_hReadEvent;
    volatile bool m_bEndRequest;
    volatile bool m_bWorkerEnded;
};

// A new byte stream (reference count 1) over the stream, or null.
D_SoundConvertMFByteStream *D_SoundConvertMFByteStream_CreateInstance(const StreamFunctionTable *Stream,
                                                                      void *StreamData, LONGLONG Length);
// Starts the byte stream's read worker: S_OK, or E_FAIL when the event or thread cannot be made.
HRESULT SoundConvertMF_StartWorkerThread(D_SoundConvertMFByteStream *ByteStream);
