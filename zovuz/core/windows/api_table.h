// The Windows functions the library loads at run time. A DLL that is missing on this system, or a
// function missing from a DLL, leaves its entry null; the caller that needs it tests the entry.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <imm.h>

struct addrinfo;
struct hostent;
struct sockaddr;
struct tagPROPVARIANT;
struct IMFMediaType;
struct IMFAttributes;
struct IMFAsyncCallback;
struct IMFAsyncResult;
struct IMFSourceReader;
struct IMFByteStream;

// Sockets are passed as their integer value (SOCKET is UINT_PTR) so that this header does not need
// winsock2.h, which must come before windows.h in every file that includes it.
#define ZOVUZ_WINAPI_WS2_32(F)                                                       \
    F(WSAGetLastError, int, (void))                                                  \
    F(WSAStartup, int, (WORD, void *))                                               \
    F(WSACleanup, int, (void))                                                       \
    F(WSAAsyncSelect, int, (UINT_PTR, HWND, UINT, LONG))                             \
    F(getaddrinfo, int, (const char *, const char *, const addrinfo *, addrinfo **)) \
    F(gethostbyaddr, hostent *, (const char *, int, int))                            \
    F(gethostbyname, hostent *, (const char *))                                      \
    F(gethostname, int, (char *, int))                                               \
    F(ntohs, unsigned short, (unsigned short))                                       \
    F(htons, unsigned short, (unsigned short))                                       \
    F(connect, int, (UINT_PTR, const sockaddr *, int))                               \
    F(socket, UINT_PTR, (int, int, int))                                             \
    F(send, int, (UINT_PTR, const char *, int, int))                                 \
    F(sendto, int, (UINT_PTR, const char *, int, int, const sockaddr *, int))        \
    F(recvfrom, int, (UINT_PTR, char *, int, int, sockaddr *, int *))                \
    F(accept, UINT_PTR, (UINT_PTR, sockaddr *, int *))                               \
    F(closesocket, int, (UINT_PTR))                                                  \
    F(shutdown, int, (UINT_PTR, int))                                                \
    F(listen, int, (UINT_PTR, int))                                                  \
    F(bind, int, (UINT_PTR, const sockaddr *, int))                                  \
    F(inet_addr, unsigned long, (const char *))                                      \
    F(recv, int, (UINT_PTR, char *, int, int))                                       \
    F(setsockopt, int, (UINT_PTR, int, int, const char *, int))

#define ZOVUZ_WINAPI_IMM32(F)                                             \
    F(ImmGetContext, HIMC, (HWND))                                        \
    F(ImmReleaseContext, BOOL, (HWND, HIMC))                              \
    F(ImmGetOpenStatus, BOOL, (HIMC))                                     \
    F(ImmGetConversionStatus, BOOL, (HIMC, LPDWORD, LPDWORD))             \
    F(ImmNotifyIME, BOOL, (HIMC, DWORD, DWORD, DWORD))                    \
    F(ImmSetOpenStatus, BOOL, (HIMC, BOOL))                               \
    F(ImmGetCandidateListW, DWORD, (HIMC, DWORD, LPCANDIDATELIST, DWORD)) \
    F(ImmGetCandidateListCountW, DWORD, (HIMC, LPDWORD))                  \
    F(ImmGetCompositionStringW, LONG, (HIMC, DWORD, LPVOID, DWORD))       \
    F(ImmSetCompositionStringW, BOOL, (HIMC, DWORD, LPVOID, DWORD, LPVOID, DWORD))

#define ZOVUZ_WINAPI_WINMM(F)                                                \
    F(timeSetEvent, MMRESULT, (UINT, UINT, LPTIMECALLBACK, DWORD_PTR, UINT)) \
    F(timeKillEvent, MMRESULT, (UINT))                                       \
    F(timeBeginPeriod, MMRESULT, (UINT))                                     \
    F(timeEndPeriod, MMRESULT, (UINT))                                       \
    F(timeGetTime, DWORD, (void))                                            \
    F(timeGetDevCaps, MMRESULT, (LPTIMECAPS, UINT))                          \
    F(joyGetPosEx, MMRESULT, (UINT, LPJOYINFOEX))                            \
    F(joyGetDevCapsW, MMRESULT, (UINT_PTR, LPJOYCAPSW, UINT))                \
    F(mciSendCommandW, MCIERROR, (MCIDEVICEID, UINT, DWORD_PTR, DWORD_PTR))

#define ZOVUZ_WINAPI_KERNEL32(F)                                        \
    F(GetModuleHandleW, HMODULE, (LPCWSTR))                             \
    F(VerifyVersionInfoW, BOOL, (LPOSVERSIONINFOEXW, DWORD, DWORDLONG)) \
    F(VerSetConditionMask, ULONGLONG, (ULONGLONG, DWORD, BYTE))

#define ZOVUZ_WINAPI_OLE32(F)                                                    \
    F(CoCreateInstance, HRESULT, (REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID *)) \
    F(CoTaskMemAlloc, LPVOID, (SIZE_T))                                          \
    F(CoTaskMemFree, void, (LPVOID))                                             \
    F(CoInitializeEx, HRESULT, (LPVOID, DWORD))                                  \
    F(CoFreeUnusedLibraries, void, (void))                                       \
    F(CoUninitialize, void, (void))

#define ZOVUZ_WINAPI_OLEAUT32(F) F(SysFreeString, void, (wchar_t *))

#define ZOVUZ_WINAPI_COMCTL32(F) F(InitCommonControls, void, (void))

#define ZOVUZ_WINAPI_USER32(F)                                                                                     \
    F(WINNLSEnableIME, BOOL, (HWND, BOOL))                                                                         \
    F(UpdateLayeredWindow, BOOL, (HWND, HDC, POINT *, SIZE *, HDC, POINT *, COLORREF, BLENDFUNCTION *, DWORD))     \
    F(CreateWindowExW, HWND, (DWORD, LPCWSTR, LPCWSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID)) \
    F(EnumDisplayDevicesW, BOOL, (LPCWSTR, DWORD, PDISPLAY_DEVICEW, DWORD))                                        \
    F(ShutdownBlockReasonCreate, BOOL, (HWND, LPCWSTR))                                                            \
    F(ShutdownBlockReasonDestroy, BOOL, (HWND))                                                                    \
    F(SetTimer, UINT_PTR, (HWND, UINT_PTR, UINT, TIMERPROC))                                                       \
    F(CloseTouchInputHandle, BOOL, (HANDLE))                                                                       \
    F(GetTouchInputInfo, BOOL, (HANDLE, UINT, void *, int))                                                        \
    F(IsTouchWindow, BOOL, (HWND, PULONG))                                                                         \
    F(RegisterTouchWindow, BOOL, (HWND, ULONG))                                                                    \
    F(UnregisterTouchWindow, BOOL, (HWND))

#define ZOVUZ_WINAPI_GDI32(F)                                       \
    F(AddFontMemResourceEx, HANDLE, (PVOID, DWORD, PVOID, DWORD *)) \
    F(RemoveFontMemResourceEx, BOOL, (HANDLE))                      \
    F(GetFontUnicodeRanges, DWORD, (HDC, LPGLYPHSET))

#define ZOVUZ_WINAPI_NTDLL(F) F(RtlGetVersion, LONG, (OSVERSIONINFOW *))

#define ZOVUZ_WINAPI_MFPLAT(F)                                                                           \
    F(MFStartup, HRESULT, (ULONG, DWORD))                                                                \
    F(MFShutdown, HRESULT, (void))                                                                       \
    F(MFCreateMediaType, HRESULT, (IMFMediaType **))                                                     \
    F(MFCreateWaveFormatExFromMFMediaType, HRESULT, (IMFMediaType *, WAVEFORMATEX **, UINT32 *, UINT32)) \
    F(MFCreateAttributes, HRESULT, (IMFAttributes **, UINT32))                                           \
    F(MFCreateAsyncResult, HRESULT, (IUnknown *, IMFAsyncCallback *, IUnknown *, IMFAsyncResult **))     \
    F(MFInvokeCallback, HRESULT, (IMFAsyncResult *))

#define ZOVUZ_WINAPI_MFREADWRITE(F)                                                         \
    F(MFCreateSourceReaderFromURL, HRESULT, (LPCWSTR, IMFAttributes *, IMFSourceReader **)) \
    F(MFCreateSourceReaderFromByteStream, HRESULT, (IMFByteStream *, IMFAttributes *, IMFSourceReader **))

#define ZOVUZ_WINAPI_PROPSYS(F) F(PropVariantToInt64, HRESULT, (const tagPROPVARIANT *, LONGLONG *))

#define ZOVUZ_WINAPI_DWMAPI(F)               \
    F(DwmEnableComposition, HRESULT, (UINT)) \
    F(DwmGetWindowAttribute, HRESULT, (HWND, DWORD, PVOID, DWORD))

// The DLLs in loading order: field prefix, file name as given to LoadLibraryW, function list.
#define ZOVUZ_WINAPI_DLLS(D)                                     \
    D(Ws2_32, L"ws2_32.dll", ZOVUZ_WINAPI_WS2_32)                \
    D(Imm32, L"Imm32.dll", ZOVUZ_WINAPI_IMM32)                   \
    D(WinMM, L"winmm.dll", ZOVUZ_WINAPI_WINMM)                   \
    D(Kernel32, L"kernel32.dll", ZOVUZ_WINAPI_KERNEL32)          \
    D(Ole32, L"ole32.dll", ZOVUZ_WINAPI_OLE32)                   \
    D(OleAut32, L"oleaut32.dll", ZOVUZ_WINAPI_OLEAUT32)          \
    D(Comctl32, L"comctl32.dll", ZOVUZ_WINAPI_COMCTL32)          \
    D(User32, L"User32.dll", ZOVUZ_WINAPI_USER32)                \
    D(Gdi32, L"gdi32.dll", ZOVUZ_WINAPI_GDI32)                   \
    D(Ntdll, L"ntdll.dll", ZOVUZ_WINAPI_NTDLL)                   \
    D(Mfplat, L"Mfplat.dll", ZOVUZ_WINAPI_MFPLAT)                \
    D(Mfreadwrite, L"Mfreadwrite.dll", ZOVUZ_WINAPI_MFREADWRITE) \
    D(Propsys, L"Propsys.dll", ZOVUZ_WINAPI_PROPSYS)             \
    D(Dwmapi, L"dwmapi.dll", ZOVUZ_WINAPI_DWMAPI)

#define ZOVUZ_WINAPI_FUNC_FIELD(Name, Ret, Params) Ret(WINAPI *Name##Func) Params;
#define ZOVUZ_WINAPI_DLL_FIELDS(Prefix, File, List) \
    HMODULE Prefix##DLL;                            \
    List(ZOVUZ_WINAPI_FUNC_FIELD)

// Each DLL's module handle followed by its functions, e.g. WinAPIData.WinMMDLL and
// WinAPIData.timeGetTimeFunc.
struct WinAPIFunctionTable
{
    ZOVUZ_WINAPI_DLLS(ZOVUZ_WINAPI_DLL_FIELDS)
};

extern WinAPIFunctionTable WinAPIData;

// Loads every DLL of the table whose module handle is still null and resolves its functions.
// Always 0; may be called again at any time.
int LoadWinAPI(void);

// Frees every loaded DLL and clears its module handle and function pointers. 0.
int ReleaseWinAPI(void);

// Count of LoadLibraryW calls the table has made since the process began (for tests).
int GetWinAPILoadLibraryCount(void);

// CoCreateInstance through the table. With ASyncThread non-zero the object is created on the
// main thread on behalf of an asynchronous-load worker; a caller that is not such a worker gets -1.
HRESULT CoCreateInstance_ASync(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID *ppv,
                               int ASyncThread);
