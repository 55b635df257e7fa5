// Run-time loading of the Windows functions in WinAPIFunctionTable.
#include "zovuz/core/windows/api_table.h"

#include "zovuz/core/handle/async_load.h"
#include "zovuz/core/system_info.h"

#include <cstddef>
#include <cstring>

WinAPIFunctionTable WinAPIData;

namespace {

// One function entry of the table: its exported name and the field that receives it.
struct WinAPIFunctionSlot
{
    const char *Name;  // exported name passed to GetProcAddress
    FARPROC *Field;    // the entry in WinAPIData
};

#define ZOVUZ_WINAPI_SLOT(Name, Ret, Params) {#Name, reinterpret_cast<FARPROC *>(&WinAPIData.Name##Func)},
#define ZOVUZ_WINAPI_SLOTS(Prefix, File, List) const WinAPIFunctionSlot Prefix##Slots[] = {List(ZOVUZ_WINAPI_SLOT)};
ZOVUZ_WINAPI_DLLS(ZOVUZ_WINAPI_SLOTS)

// One DLL of the table.
struct WinAPIDll
{
    const wchar_t *File;              // name given to LoadLibraryW
    HMODULE *Module;                  // its module handle in WinAPIData
    const WinAPIFunctionSlot *Slots;  // its functions, in lookup order
    size_t SlotCount;                 // number of functions
};

#define ZOVUZ_WINAPI_DLL_ENTRY(Prefix, File, List) \
    {File, &WinAPIData.Prefix##DLL, Prefix##Slots, sizeof(Prefix##Slots) / sizeof(Prefix##Slots[0])},
const WinAPIDll WinAPIDlls[] = {ZOVUZ_WINAPI_DLLS(ZOVUZ_WINAPI_DLL_ENTRY)};

enum WinAPIDllIndex {
    DllWs2_32,
    DllImm32,
    DllWinMM,
    DllKernel32,
    DllOle32,
    DllOleAut32,
    DllComctl32,
    DllUser32,
    DllGdi32,
    DllNtdll,
    DllMfplat,
    DllMfreadwrite,
    DllPropsys,
    DllDwmapi,
    DllCount
};
static_assert(sizeof(WinAPIDlls) / sizeof(WinAPIDlls[0]) == DllCount, "DLL index list out of step");

// The window and display DLLs go first so that nothing is left pointing into a freed user32
// while the others are released.
const WinAPIDllIndex ReleaseOrder[DllCount] = {
    DllDwmapi,   DllUser32,   DllWs2_32, DllImm32, DllWinMM,  DllKernel32,    DllOle32,
    DllOleAut32, DllComctl32, DllGdi32,  DllNtdll, DllMfplat, DllMfreadwrite, DllPropsys,
};

// Loader state besides the table itself.
struct WinAPILoaderState
{
    int LoadLibraryCount;  // LoadLibraryW calls made, so a second LoadWinAPI can be shown to load nothing
};
WinAPILoaderState WinAPILoader;

}  // namespace

int LoadWinAPI(void)
{
    for (const WinAPIDll &dll : WinAPIDlls) {
        if (*dll.Module != NULL) continue;
        *dll.Module = LoadLibraryW(dll.File);
        WinAPILoader.LoadLibraryCount++;
        // A DLL that did not load leaves its functions null; GetProcAddress is not asked with a
        // null module, which would search the program's own exports instead.
        if (*dll.Module == NULL) continue;
        for (size_t i = 0; i < dll.SlotCount; i++) *dll.Slots[i].Field = GetProcAddress(*dll.Module, dll.Slots[i].Name);
    }
    return 0;
}

int ReleaseWinAPI(void)
{
    for (WinAPIDllIndex index : ReleaseOrder) {
        const WinAPIDll &dll = WinAPIDlls[index];
        if (*dll.Module == NULL) continue;
        FreeLibrary(*dll.Module);
        *dll.Module = NULL;
        for (size_t i = 0; i < dll.SlotCount; i++) *dll.Slots[i].Field = NULL;
    }
    return 0;
}

int GetWinAPILoadLibraryCount(void) { return WinAPILoader.LoadLibraryCount; }

namespace {

// A CoCreateInstance call handed to the main thread. The GUIDs are copied into the request, so
// the asking worker's own GUID objects need not outlive the call.
struct CoCreateInstanceRequest
{
    ASyncLoadRequestInfo Info;  // the request header; must come first
    CLSID ClassId;              // copied class id
    IID InterfaceId;            // copied interface id
    LPUNKNOWN Outer;            // aggregating object
    DWORD ClassContext;         // class context
    LPVOID *Out;                // receives the interface pointer
};

int CoCreateInstanceOnMainThread(ASyncLoadRequestInfo *Info)
{
    CoCreateInstanceRequest *request = reinterpret_cast<CoCreateInstanceRequest *>(Info);
    CLSID classId = request->ClassId;
    IID interfaceId = request->InterfaceId;
    if (WinAPIData.CoCreateInstanceFunc == NULL) return E_NOTIMPL;
    return WinAPIData.CoCreateInstanceFunc(classId, request->Outer, request->ClassContext, interfaceId, request->Out);
}

}  // namespace

HRESULT CoCreateInstance_ASync(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID *ppv,
                               int ASyncThread)
{
    if (ASyncThread == 0) {
        if (WinAPIData.CoCreateInstanceFunc == NULL) return E_NOTIMPL;
        return WinAPIData.CoCreateInstanceFunc(rclsid, pUnkOuter, dwClsContext, riid, ppv);
    }
    CoCreateInstanceRequest request;
    memset(&request, 0, sizeof(request));
    request.Info.Function = CoCreateInstanceOnMainThread;
    request.ClassId = rclsid;
    request.InterfaceId = riid;
    request.Outer = pUnkOuter;
    request.ClassContext = dwClsContext;
    request.Out = ppv;
    // The result is the HRESULT, or -1 when the caller is not an asynchronous-load worker.
    return RequestMainThreadCall(&request.Info);
}

long CreateComInstance(const void *ClassId, void *Outer, unsigned long ClassContext, const void *InterfaceId,
                       void **Object)
{
    if (WinAPIData.CoCreateInstanceFunc == NULL) LoadWinAPI();
    return CoCreateInstance_ASync(*static_cast<const CLSID *>(ClassId), static_cast<IUnknown *>(Outer), ClassContext,
                                  *static_cast<const IID *>(InterfaceId), Object, 0);
}

void *AllocComTaskMemory(size_t Size)
{
    if (WinAPIData.CoTaskMemAllocFunc == NULL) LoadWinAPI();
    if (WinAPIData.CoTaskMemAllocFunc == NULL) return NULL;
    return WinAPIData.CoTaskMemAllocFunc(Size);
}

void FreeComTaskMemory(void *Memory)
{
    if (Memory == NULL) return;
    if (WinAPIData.CoTaskMemFreeFunc == NULL) LoadWinAPI();
    if (WinAPIData.CoTaskMemFreeFunc != NULL) WinAPIData.CoTaskMemFreeFunc(Memory);
}

unsigned long SendMciCommand(unsigned int DeviceId, unsigned int Message, uintptr_t Flags, uintptr_t Parameters)
{
    if (WinAPIData.mciSendCommandWFunc == NULL) LoadWinAPI();
    if (WinAPIData.mciSendCommandWFunc == NULL) return MCIERR_UNRECOGNIZED_COMMAND;
    return WinAPIData.mciSendCommandWFunc(DeviceId, Message, Flags, Parameters);
}

uintptr_t SetWindowTimer(HWND__ *Window, uintptr_t TimerId, unsigned int Elapse, WindowTimerProc Proc)
{
    if (WinAPIData.SetTimerFunc == NULL) LoadWinAPI();
    if (WinAPIData.SetTimerFunc == NULL) return 0;
    return WinAPIData.SetTimerFunc(Window, TimerId, Elapse, reinterpret_cast<TIMERPROC>(Proc));
}
