// The start-up report of the machine and the figures other parts choose their paths by.
#include "zovuz/core/system_info.h"
#include "zovuz/core/system_info_internal.h"

#include "zovuz/core/text/char_code.h"
#include "zovuz/core/text/char_code_internal.h"
#include "zovuz/core/text/format_print.h"
#include "zovuz/core/text/format_print_internal.h"
#include "zovuz/core/text/log.h"
#include "zovuz/core/windows/api_table.h"

#include <windows.h>
#include <cpuid.h>
#include <x86intrin.h>
#include <string.h>
#include <wchar.h>

namespace {

const wchar_t LibraryVersionText[] = L"3.19 ";

// System information state, process-wide.
struct SystemInfoState
{
    SystemInfoData Data;         // the figures found
    int VersionKnown;            // the version and OS name are filled
    int ProcessorCountKnown;     // the processor count is filled
    int ProcessorCountOverride;  // above 0: stands in for the reported count (tests)
};
SystemInfoState SystemInfo;

struct VersionName
{
    const wchar_t *Name;  // text after "Windows"
    int Code;             // Windows version code
};

// NT-family name by major and minor version; anything newer than 10.0 is named 10.
VersionName NameNtVersion(DWORD Major, DWORD Minor)
{
    if (Major <= 3) return {L"NT 3.51", WINDOWS_VERSION_NT31};
    if (Major == 4) return {L"4.0", WINDOWS_VERSION_NT40};
    if (Major == 5)
        return Minor == 0 ? VersionName{L"2000", WINDOWS_VERSION_2000} : VersionName{L"XP", WINDOWS_VERSION_XP};
    if (Major == 6) {
        switch (Minor) {
            case 0:
                return {L"Vista", WINDOWS_VERSION_VISTA};
            case 1:
                return {L"7", WINDOWS_VERSION_7};
            case 2:
                return {L"8", WINDOWS_VERSION_8};
            case 3:
                return {L"8.1", WINDOWS_VERSION_8_1};
            default:
                return {L"10", WINDOWS_VERSION_10};
        }
    }
    return {L"10", WINDOWS_VERSION_10};
}

// Without RtlGetVersion the system is asked whether it is at least a given version.
bool VersionAtLeast(DWORD Major, DWORD Minor, BYTE Condition)
{
    OSVERSIONINFOEXW info;
    memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = Major;
    info.dwMinorVersion = Minor;
    ULONGLONG mask = WinAPIData.VerSetConditionMaskFunc(0, VER_MAJORVERSION, Condition);
    mask = WinAPIData.VerSetConditionMaskFunc(mask, VER_MINORVERSION, Condition);
    return WinAPIData.VerifyVersionInfoWFunc(&info, VER_MAJORVERSION | VER_MINORVERSION, mask) != FALSE;
}

void FillWindowsVersion()
{
    if (SystemInfo.VersionKnown) return;
    if (WinAPIData.Kernel32DLL == NULL || WinAPIData.NtdllDLL == NULL) LoadWinAPI();

    OSVERSIONINFOW info;
    memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    GetVersionExW(&info);

    VersionName version = {L"", WINDOWS_VERSION_10};
    wchar_t extra[8] = L"";
    bool buildKnown = false;
    bool verifyPair = WinAPIData.VerifyVersionInfoWFunc != NULL && WinAPIData.VerSetConditionMaskFunc != NULL;
    if (info.dwPlatformId == VER_PLATFORM_WIN32s) {
        version = {L"3.1", WINDOWS_VERSION_31};
    } else if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        if (info.dwMinorVersion == 0) {
            version = {L"95", WINDOWS_VERSION_95};
            if (info.szCSDVersion[0] == L'C') wcscpy(extra, L"OSR2");
        } else if (info.dwMinorVersion == 10) {
            version = {L"98", WINDOWS_VERSION_98};
            if (info.szCSDVersion[0] == L'A') wcscpy(extra, L"SE");
        } else {
            version = {L"Me", WINDOWS_VERSION_ME};
        }
    } else if (info.dwMajorVersion < 6 || info.dwMinorVersion < 2 ||
               (WinAPIData.RtlGetVersionFunc == NULL && !verifyPair)) {
        version = NameNtVersion(info.dwMajorVersion, info.dwMinorVersion);
        buildKnown = true;
    } else if (WinAPIData.RtlGetVersionFunc != NULL) {
        // Newer systems report 6.2 to GetVersionExW unless the program declares them; the
        // kernel's own call tells the truth.
        OSVERSIONINFOW real;
        memset(&real, 0, sizeof(real));
        real.dwOSVersionInfoSize = sizeof(real);
        if (WinAPIData.RtlGetVersionFunc(&real) == 0) info = real;
        version = NameNtVersion(info.dwMajorVersion, info.dwMinorVersion);
        buildKnown = true;
    } else if (VersionAtLeast(10, 0, VER_GREATER))
        version = {L"10 After", WINDOWS_VERSION_10};
    else if (VersionAtLeast(10, 0, VER_GREATER_EQUAL) || VersionAtLeast(6, 4, VER_GREATER_EQUAL))
        version = {L"10", WINDOWS_VERSION_10};
    else if (VersionAtLeast(6, 3, VER_GREATER_EQUAL))
        version = {L"8.1", WINDOWS_VERSION_8_1};
    else
        version = {L"8", WINDOWS_VERSION_8};

    SystemInfoData &data = SystemInfo.Data;
    data.WindowsVersion = version.Code;
    wchar_t name[64];
    CharCodeSPrintf(CHAR_CODE_UTF16LE, 1, GetCurrentCharCodeFormat(), CHAR_CODE_UTF16LE, reinterpret_cast<char *>(name),
                    64, reinterpret_cast<const char *>(L"Windows%s%s"), version.Name, extra);
    if (buildKnown && info.dwBuildNumber != 0)
        CharCodeSPrintf(CHAR_CODE_UTF16LE, 1, GetCurrentCharCodeFormat(), CHAR_CODE_UTF16LE,
                        reinterpret_cast<char *>(data.OSName), 256,
                        reinterpret_cast<const char *>(L"%s ( Build %d %s )"), name,
                        static_cast<int>(info.dwBuildNumber & 0xFFFF), info.szCSDVersion);
    else
        wcscpy(data.OSName, name);
    SystemInfo.VersionKnown = 1;
}

void FillProcessorCount()
{
    if (SystemInfo.ProcessorCountKnown) return;
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    SystemInfo.Data.ProcessorCount = static_cast<int>(info.dwNumberOfProcessors);
    SystemInfo.ProcessorCountKnown = 1;
}

void FillProcessorFeatures()
{
    SystemInfoData &data = SystemInfo.Data;
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    // __get_cpuid_max tests the identification flag of the flags register first.
    unsigned int maxLeaf = __get_cpuid_max(0, nullptr);
    if (maxLeaf == 0) {
        data.CpuidAvailable = 0;
        data.ProcessorLevel = 0;
        return;
    }
    data.CpuidAvailable = 1;
    __cpuid(0, eax, ebx, ecx, edx);
    memcpy(data.CpuVendor + 0, &ebx, 4);
    memcpy(data.CpuVendor + 4, &edx, 4);
    memcpy(data.CpuVendor + 8, &ecx, 4);
    data.CpuVendor[12] = '\0';

    __cpuid(1, eax, ebx, ecx, edx);
    data.RDTSCFlag = (edx >> 4) & 1;
    bool mmx = (edx >> 23) & 1;
    bool sse = (edx >> 25) & 1;
    bool sse2 = (edx >> 26) & 1;
    data.ProcessorLevel = !mmx ? 1 : !sse ? 3 : !sse2 ? 4 : 5;
    data.MMXFlag = data.ProcessorLevel >= 3 ? 1 : 0;
    data.SSEFlag = data.ProcessorLevel >= 4 ? 1 : 0;
    data.SSE2Flag = data.ProcessorLevel >= 5 ? 1 : 0;

    data.CpuName[0] = L'\0';
    if (__get_cpuid_max(0x80000000, nullptr) >= 0x80000004) {
        char brand[49];
        for (unsigned int leaf = 0; leaf < 3; leaf++) {
            __cpuid(0x80000002 + leaf, eax, ebx, ecx, edx);
            memcpy(brand + leaf * 16 + 0, &eax, 4);
            memcpy(brand + leaf * 16 + 4, &ebx, 4);
            memcpy(brand + leaf * 16 + 8, &ecx, 4);
            memcpy(brand + leaf * 16 + 12, &edx, 4);
        }
        brand[48] = '\0';
        ConvertCharCode(brand, CHAR_CODE_UNICODE_BYTE, reinterpret_cast<char *>(data.CpuName), sizeof(data.CpuName),
                        CHAR_CODE_UTF16LE);
    }
}

// Counts time-stamp cycles over 100 ms of the millisecond clock.
void MeasureProcessorClock()
{
    SystemInfoData &data = SystemInfo.Data;
    if (!data.RDTSCFlag || WinAPIData.timeGetTimeFunc == NULL) return;
    DWORD start = WinAPIData.timeGetTimeFunc();
    unsigned long long first = __rdtsc();
    while (WinAPIData.timeGetTimeFunc() - start < 100) {
    }
    unsigned long long cycles = __rdtsc() - first;
    data.CpuSpeedMHz = static_cast<int>(static_cast<double>(cycles) / 100000.0);
    data.CpuCyclesPerSecond = static_cast<int64_t>(cycles) * 10;
    AddLogFormat(L"現時点のＣＰＵ動作速度：大体%.2fGHz", data.CpuSpeedMHz / 1000.0);
}

}  // namespace

int OutputSystemInfo(void)
{
    LoadWinAPI();
    SystemInfoData &data = SystemInfo.Data;
    AddLogStringWide(L"システムの情報を出力します\n");
    LogIndentUp();

    wchar_t line[512];
    CharCodeSPrintf(CHAR_CODE_UTF16LE, 1, GetCurrentCharCodeFormat(), CHAR_CODE_UTF16LE, reinterpret_cast<char *>(line),
                    512, reinterpret_cast<const char *>(L"RUrazad Ver%s\n"), LibraryVersionText);
    AddLogStringWide(line);

    SystemInfo.ProcessorCountKnown = 0;
    FillProcessorCount();
    AddLogFormat(L"論理プロセッサの数 : %d", data.ProcessorCount);

    AddLogStringWide(L"ＯＳ  ");
    SystemInfo.VersionKnown = 0;
    FillWindowsVersion();
    AddLogFormat(L"%s", data.OSName);

    data.DirectXVersion = 0x70000;
    if (WinAPIData.timeGetDevCapsFunc != NULL && WinAPIData.timeBeginPeriodFunc != NULL) {
        TIMECAPS caps;
        if (WinAPIData.timeGetDevCapsFunc(&caps, sizeof(caps)) == TIMERR_NOERROR)
            WinAPIData.timeBeginPeriodFunc(caps.wPeriodMin);
    }

    FillProcessorFeatures();
    MeasureProcessorClock();
    switch (data.ProcessorLevel) {
        case 0:
            AddLogStringWide(L"ＣＰＵＩＤ命令は使えません\n");
            break;
        case 1:
            AddLogStringWide(L"ＭＭＸは使えません\n");
            break;
        default:
            AddLogStringWide(L"ＭＭＸ命令を使用します\n");
            if (data.ProcessorLevel >= 4) AddLogStringWide(L"ＳＳＥ命令が使用可能です\n");
            if (data.ProcessorLevel >= 5) AddLogStringWide(L"ＳＳＥ２命令が使用可能です\n");
            break;
    }
    if (data.CpuidAvailable) {
        wchar_t vendor[13];
        ConvertCharCode(data.CpuVendor, CHAR_CODE_UNICODE_BYTE, reinterpret_cast<char *>(vendor), sizeof(vendor),
                        CHAR_CODE_UTF16LE);
        CharCodeSPrintf(CHAR_CODE_UTF16LE, 1, GetCurrentCharCodeFormat(), CHAR_CODE_UTF16LE,
                        reinterpret_cast<char *>(line), 512, reinterpret_cast<const char *>(L"ＣＰＵベンダ：%s\n"),
                        vendor);
        AddLogStringWide(line);
        if (data.CpuName[0] != L'\0') AddLogFormat(L"ＣＰＵ名：%s", data.CpuName);
    }
    LogIndentDown();
    return 0;
}

const SystemInfoData *GetSystemInfoData(void)
{
    FillWindowsVersion();
    FillProcessorCount();
    return &SystemInfo.Data;
}

int GetWindowsVersionCode(void)
{
    FillWindowsVersion();
    return SystemInfo.Data.WindowsVersion;
}

int GetProcessorCount(void)
{
    if (SystemInfo.ProcessorCountOverride > 0) return SystemInfo.ProcessorCountOverride;
    FillProcessorCount();
    return SystemInfo.Data.ProcessorCount;
}

int SetProcessorCountOverride(int Count)
{
    SystemInfo.ProcessorCountOverride = Count > 0 ? Count : 0;
    return 0;
}

int GetMMXFlag(void) { return SystemInfo.Data.MMXFlag; }

int FileTimeToDateTime(const _FILETIME *FileTime, int *DateTime)
{
    if (FileTime == NULL || DateTime == NULL) return -1;
    FILETIME local;
    SYSTEMTIME time;
    if (!FileTimeToLocalFileTime(FileTime, &local) || !FileTimeToSystemTime(&local, &time)) return -1;
    DateTime[0] = time.wYear;
    DateTime[1] = time.wMonth;
    DateTime[2] = time.wDay;
    DateTime[3] = time.wHour;
    DateTime[4] = time.wMinute;
    DateTime[5] = time.wSecond;
    return 0;
}

// SSE conversions truncate toward zero whatever the rounding mode, so no mode switch is needed.
int DoubleToInt(double Value) { return static_cast<int>(Value); }

int FloatToInt(float Value) { return static_cast<int>(Value); }

int GetWideStringLength(const wchar_t *String) { return String == NULL ? 0 : static_cast<int>(wcslen(String)); }
