// System information, COM and the clipboard.
//
// At start-up OutputSystemInfo writes a description of the machine to the log and keeps the
// figures that other parts choose their paths by: the Windows version code (DirectInput only
// before Vista, the text-services sink from Windows 7) and the logical processor count (the
// sound refill runs in the message pump below 2 processors; the load workers are sized by it).
#pragma once

#include <stddef.h>
#include <stdint.h>

struct _FILETIME;
struct HWND__;

// Windows version codes.
#define WINDOWS_VERSION_31 0x000
#define WINDOWS_VERSION_95 0x001
#define WINDOWS_VERSION_98 0x002
#define WINDOWS_VERSION_ME 0x003
#define WINDOWS_VERSION_NT31 0x104
#define WINDOWS_VERSION_NT40 0x105
#define WINDOWS_VERSION_2000 0x106
#define WINDOWS_VERSION_XP 0x107
#define WINDOWS_VERSION_VISTA 0x108
#define WINDOWS_VERSION_7 0x109
#define WINDOWS_VERSION_8 0x10A
#define WINDOWS_VERSION_8_1 0x10B
#define WINDOWS_VERSION_10 0x10C

// What OutputSystemInfo found.
struct SystemInfoData
{
    int WindowsVersion;          // one of the codes above
    wchar_t OSName[256];         // "Windows" + version name, with the build when known
    int DirectXVersion;          // always 0x70000
    int ProcessorCount;          // logical processors from GetSystemInfo
    int CpuidAvailable;          // 1 when the CPUID instruction exists
    int ProcessorLevel;          // 0 no CPUID, 1 no MMX, 3 MMX, 4 + SSE, 5 + SSE2
    int MMXFlag;                 // 1 when MMX is usable
    int SSEFlag;                 // 1 when SSE is usable
    int SSE2Flag;                // 1 when SSE2 is usable
    int RDTSCFlag;               // 1 when the time-stamp counter exists
    int CpuSpeedMHz;             // processor clock measured over 100 ms
    int64_t CpuCyclesPerSecond;  // the same in cycles per second
    char CpuVendor[13];          // CPUID vendor text, terminated
    wchar_t CpuName[256];        // CPUID brand string, empty when the processor has none
};

// Fills the system information and logs it. Returns 0.
int OutputSystemInfo(void);

// The figures found (the processor count and version are filled on first use when
// OutputSystemInfo has not run yet).
const SystemInfoData *GetSystemInfoData(void);
int GetWindowsVersionCode(void);
// The logical processor count; what other subsystems call "ProcessorCount" (more than one: the
// sound and load threads run; one: the message pump refills the sound).
int GetProcessorCount(void);
int GetMMXFlag(void);

// COM objects of the library's subsystems: CoCreateInstance through the Windows API table (loaded
// when needed), on the calling thread. The class and interface IDs are the addresses of their
// GUIDs and Object receives the interface pointer, so that the header needs no Windows types.
// The HRESULT; E_NOTIMPL when ole32 offers no CoCreateInstance.
long CreateComInstance(const void *ClassId, void *Outer, unsigned long ClassContext, const void *InterfaceId,
                       void **Object);

// COM task memory through the Windows API table (loaded when needed), for records handed to and
// taken from COM objects. AllocComTaskMemory gives null when ole32 offers no CoTaskMemAlloc or the
// allocation fails; FreeComTaskMemory does nothing for null.
void *AllocComTaskMemory(size_t Size);
void FreeComTaskMemory(void *Memory);

// COM on the calling thread (the library's start-up and end): InitializeCom -1 when already
// started, 0 on success, -1 when CoInitializeEx fails; TerminateCom -1 when not started, else 0.
int InitializeCom(void);
int TerminateCom(void);

// A window timer of the subsystems, set through the Windows API table (loaded when needed). The
// procedure has the shape of a Windows TIMERPROC. SetTimer's result: 0 when it fails or user32
// offers no SetTimer.
typedef void(__stdcall *WindowTimerProc)(HWND__ *Window, unsigned int Message, uintptr_t TimerId, unsigned long Time);
uintptr_t SetWindowTimer(HWND__ *Window, uintptr_t TimerId, unsigned int Elapse, WindowTimerProc Proc);

// An MCI command of the subsystems (MIDI music), sent with mciSendCommandW through the Windows API
// table (loaded when needed). The MCI error code; MCIERR_UNRECOGNIZED_COMMAND (0x105) when winmm
// offers no mciSendCommandW.
unsigned long SendMciCommand(unsigned int DeviceId, unsigned int Message, uintptr_t Flags, uintptr_t Parameters);

// Truncation toward zero.
int DoubleToInt(double Value);
int FloatToInt(float Value);

// 16-bit units before the terminator (0 for a null text).
int GetWideStringLength(const wchar_t *String);
