// The core's start-up and shut-down steps and the fatal-error exit.
#include "zovuz/core/library_core.h"

#include "zovuz/core/api_lock.h"
#include "zovuz/core/file/archive_internal.h"
#include "zovuz/core/base_helpers.h"
#include "zovuz/core/text/char_code.h"
#include "zovuz/core/text/char_code_internal.h"
#include "zovuz/core/file/file_access.h"
#include "zovuz/core/file/file_access_internal.h"
#include "zovuz/core/desktop/ime_internal.h"
#include "zovuz/core/text/log.h"
#include "zovuz/core/text/log_internal.h"
#include "zovuz/core/memory/memory.h"
#include "zovuz/core/memory/memory_internal.h"
#include "zovuz/core/subsystem_hooks.h"
#include "zovuz/core/windows/api_table.h"
#include "zovuz/core/subsystem_hooks_internal.h"

#include <stdarg.h>
#include <string.h>
#include <wchar.h>

namespace {

constexpr int StartDirectoryBytes = 3072;
constexpr int FatalTextStackUnits = 496;  // longer messages are copied to the heap
constexpr int FatalFormatUnits = 1024;

struct CoreServicesData
{
    wchar_t StartDirectory[StartDirectoryBytes / sizeof(wchar_t)];  // current directory at start-up
};
CoreServicesData CoreServices;

}  // namespace

int InitializeCoreServices(void)
{
    SetupCharCodeTables();
    SetDefaultCharCodeFormat();
    LoadWinAPI();
    InitializeArchiveSystem();
    SetStreamFunctionTable(NULL);
    if (FileAccessGetDir(CoreServices.StartDirectory, sizeof(CoreServices.StartDirectory)) != 0)
        CoreServices.StartDirectory[0] = L'\0';
    StartLogFile();
    return 0;
}

int TerminateCoreServices(void)
{
    if (CoreServices.StartDirectory[0] != L'\0') FileAccessChangeDir(CoreServices.StartDirectory);
    TerminateArchiveSystem();
    DumpAllocMemory();
    TerminateTextServices();
    TerminateMemory();
    ReleaseWinAPI();
    return 0;
}

int FatalErrorExit(const wchar_t *Text)
{
    if (Text == NULL) Text = L"";
    // The text may live in memory the library's end releases: log a copy of it.
    size_t length = wcslen(Text);
    wchar_t local[FatalTextStackUnits + 1];
    wchar_t *copy = local;
    if (length > FatalTextStackUnits) {
        copy = static_cast<wchar_t *>(DXALLOC((length + 16) * sizeof(wchar_t)));
        if (copy == NULL) return -1;
    }
    memcpy(copy, Text, (length + 1) * sizeof(wchar_t));
    AddLogStringWide(copy);
    AddLogStringWide(L"\n");
    CallSubsystemHook(SubsystemHooksData.TerminateLibrary);
    CloseDxFunctionLock();
    ExitProcess(static_cast<UINT>(-1));
}

int FatalErrorExitFormat(const wchar_t *FormatString, ...)
{
    wchar_t text[FatalFormatUnits];
    va_list args;
    va_start(args, FormatString);
    if (VFormatWideStringN(text, FatalFormatUnits, FormatString, args) < 0) text[0] = L'\0';
    va_end(args);
    return FatalErrorExit(text);
}
