// COM start and end for the library's thread, and the clipboard's UTF-16 text.
#include "zovuz/core/system_info.h"
#include "zovuz/core/system_info_internal.h"

#include "zovuz/core/text/log.h"
#include "zovuz/core/desktop/window.h"
#include "zovuz/core/windows/api_table.h"

#include <windows.h>
#include <string.h>
#include <wchar.h>

namespace {

// COM and clipboard state, process-wide.
struct ComClipboardState
{
    int ComStarted;          // InitializeCom succeeded and TerminateCom has not run since
    int ClipboardSizeBytes;  // last size GetClipboardText reported for sizing, 0 before any
};
ComClipboardState ComClipboard;

// Closes the clipboard on every path out.
struct ClipboardGuard
{
    bool Opened;
    // The main window owns what the library puts on the clipboard (none before it exists).
    ClipboardGuard() : Opened(OpenClipboard(GetMainWindowHandle()) != FALSE) {}
    ~ClipboardGuard()
    {
        if (Opened) CloseClipboard();
    }
    ClipboardGuard(const ClipboardGuard &) = delete;
    ClipboardGuard &operator=(const ClipboardGuard &) = delete;
};

}  // namespace

int InitializeCom(void)
{
    if (ComClipboard.ComStarted) return -1;
    if (WinAPIData.CoInitializeExFunc == NULL) LoadWinAPI();
    AddLogStringWide(L"ＣＯＭの初期化... ");
    if (WinAPIData.CoInitializeExFunc == NULL || WinAPIData.CoInitializeExFunc(NULL, COINIT_APARTMENTTHREADED) < 0) {
        AddLogStringWide(L"失敗\n");
        return -1;
    }
    AddLogStringWide(L"成功\n");
    ComClipboard.ComStarted = 1;
    return 0;
}

int TerminateCom(void)
{
    if (!ComClipboard.ComStarted) return -1;
    if (WinAPIData.CoUninitializeFunc != NULL) WinAPIData.CoUninitializeFunc();
    AddLogStringWide(L"ＣＯＭを終了... 完了\n");
    ComClipboard.ComStarted = 0;
    return 0;
}

int SetClipboardText(const wchar_t *Text)
{
    if (Text == NULL) return 0;
    size_t bytes = (wcslen(Text) + 1) * sizeof(wchar_t);
    // The clipboard takes movable global memory; it owns the block once SetClipboardData succeeds.
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == NULL) return 0;
    void *data = GlobalLock(memory);
    if (data == NULL) {
        GlobalFree(memory);
        return 0;
    }
    memcpy(data, Text, bytes);
    GlobalUnlock(memory);

    ClipboardGuard clipboard;
    if (!clipboard.Opened) {
        GlobalFree(memory);
        return 0;
    }
    EmptyClipboard();
    if (SetClipboardData(CF_UNICODETEXT, memory) == NULL) GlobalFree(memory);
    return 0;
}

int GetClipboardText(wchar_t *DestBuffer)
{
    ClipboardGuard clipboard;
    if (!clipboard.Opened) return -1;
    HANDLE memory = GetClipboardData(CF_UNICODETEXT);
    if (memory == NULL) return -1;
    SIZE_T blockBytes = GlobalSize(memory);
    if (DestBuffer == NULL) {
        if (blockBytes > 0x7FFFFFF0) return -1;
        ComClipboard.ClipboardSizeBytes = static_cast<int>(blockBytes) + 1;
        return ComClipboard.ClipboardSizeBytes;
    }

    // The caller's buffer holds what the sizing call reported; the clipboard may have grown
    // since, so the copy never goes beyond that.
    size_t roomUnits = static_cast<size_t>(ComClipboard.ClipboardSizeBytes) / sizeof(wchar_t);
    if (roomUnits == 0) return -1;
    const wchar_t *text = static_cast<const wchar_t *>(GlobalLock(memory));
    if (text == NULL) return -1;
    size_t blockUnits = blockBytes / sizeof(wchar_t);
    size_t length = 0;
    while (length < blockUnits && length + 1 < roomUnits && text[length] != L'\0') length++;
    memcpy(DestBuffer, text, length * sizeof(wchar_t));
    DestBuffer[length] = L'\0';
    GlobalUnlock(memory);
    return 0;
}
