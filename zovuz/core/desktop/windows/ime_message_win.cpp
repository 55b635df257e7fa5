// The IME's window messages and the pump's restore of an open composition.
#include "zovuz/core/desktop/windows/ime_state_win.h"

#include "zovuz/core/clock.h"
#include "zovuz/core/desktop/input_char_internal.h"
#include "zovuz/core/text/log.h"
#include "zovuz/core/memory/memory.h"
#include "zovuz/core/system_info.h"
#include "zovuz/core/desktop/window.h"
#include "zovuz/core/windows/api_table.h"
#include "zovuz/core/desktop/windows/window_state_win.h"

#include <string.h>

namespace {

// A window's input context for the length of a scope. Without IMM (or without a context) every
// read gives nothing and every change is skipped.
class ImeContext
{
public:
    explicit ImeContext(HWND Window)
        : Window_(Window), Context_(WinAPIData.ImmGetContextFunc != NULL ? WinAPIData.ImmGetContextFunc(Window) : NULL)
    {
    }
    ~ImeContext()
    {
        if (Context_ != NULL && WinAPIData.ImmReleaseContextFunc != NULL)
            WinAPIData.ImmReleaseContextFunc(Window_, Context_);
    }
    ImeContext(const ImeContext &) = delete;
    ImeContext &operator=(const ImeContext &) = delete;

    explicit operator bool() const { return Context_ != NULL; }

    // Bytes the IME wrote (or, for GCS_CURSORPOS, the cursor in units); 0 when there is nothing
    // and the IME's negative error codes as they come.
    LONG GetCompositionString(DWORD Index, void *Buffer, DWORD Bytes) const
    {
        if (Context_ == NULL || WinAPIData.ImmGetCompositionStringWFunc == NULL) return 0;
        return WinAPIData.ImmGetCompositionStringWFunc(Context_, Index, Buffer, Bytes);
    }
    DWORD GetCandidateList(CANDIDATELIST *List, DWORD Bytes) const
    {
        if (Context_ == NULL || WinAPIData.ImmGetCandidateListWFunc == NULL) return 0;
        return WinAPIData.ImmGetCandidateListWFunc(Context_, 0, List, Bytes);
    }
    int GetOpenStatus(void) const
    {
        if (Context_ == NULL || WinAPIData.ImmGetOpenStatusFunc == NULL) return 0;
        return WinAPIData.ImmGetOpenStatusFunc(Context_) ? 1 : 0;
    }
    void SetOpenStatus(BOOL Open) const
    {
        if (Context_ != NULL && WinAPIData.ImmSetOpenStatusFunc != NULL)
            WinAPIData.ImmSetOpenStatusFunc(Context_, Open);
    }
    void CancelComposition(void) const
    {
        if (Context_ != NULL && WinAPIData.ImmNotifyIMEFunc != NULL)
            WinAPIData.ImmNotifyIMEFunc(Context_, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
    }
    void SetCompositionString(void *Text, DWORD Bytes) const
    {
        if (Context_ != NULL && WinAPIData.ImmSetCompositionStringWFunc != NULL)
            WinAPIData.ImmSetCompositionStringWFunc(Context_, SCS_SETSTR, Text, Bytes, NULL, 0);
    }

private:
    HWND Window_;
    HIMC Context_;
};

// Reads the current composition into Buffer after clearing the part a read can fill.
void ReadCompositionString(const ImeContext &Context, wchar_t *Buffer)
{
    memset(Buffer, 0, IME_READ_BYTES);
    Context.GetCompositionString(GCS_COMPSTR, Buffer, IME_READ_BYTES);
}

void OnComposition(HWND Window, LPARAM Flags)
{
    ImeInputData &ime = ImeInputState;
    ImeContext context(Window);
    if (!context) return;
    if (Flags & GCS_COMPSTR) ReadCompositionString(context, ime.CompositionString);
    if (Flags & GCS_RESULTSTR) {
        memset(ime.CompositionString, 0, IME_READ_BYTES);
        LONG bytes = context.GetCompositionString(GCS_RESULTSTR, ime.CompositionString, IME_READ_BYTES);
        int units = bytes > 0 ? (bytes < IME_READ_BYTES ? bytes : IME_READ_BYTES) / 2 : 0;
        for (int i = 0; i < units; ++i) StoreInputChar(static_cast<uint16_t>(ime.CompositionString[i]));
        memset(ime.CompositionString, 0, sizeof ime.CompositionString);
        context.GetCompositionString(GCS_COMPSTR, ime.CompositionString, IME_READ_BYTES);
        DropCandidateList();
    }
    if (Flags & GCS_CURSORPOS) {
        // The composition always ends in zeros (a read fills at most half of it), so the count
        // stops there whatever the IME reports.
        LONG units = context.GetCompositionString(GCS_CURSORPOS, NULL, 0);
        int cursor = CountCharsInUnits(reinterpret_cast<const uint16_t *>(ime.CompositionString), units);
        if (ime.CandidateList != NULL && cursor != ime.CompositionCursor) DropCandidateList();
        ime.CompositionCursor = cursor;
    }
    if (Flags & GCS_COMPCLAUSE) {
        memset(ime.ClauseData, 0, sizeof ime.ClauseData);
        LONG bytes = context.GetCompositionString(GCS_COMPCLAUSE, ime.ClauseData, IME_CLAUSE_BYTES);
        ime.ClauseNum = bytes > 0 ? bytes / 4 : 0;
    }
    if (Flags & GCS_COMPATTR) {
        memset(ime.AttributeData, 0, sizeof ime.AttributeData);
        LONG bytes = context.GetCompositionString(GCS_COMPATTR, ime.AttributeData, IME_ATTRIBUTE_BYTES);
        ime.AttributeLength = bytes > 0 ? bytes : 0;
    }
}

// The candidate list through IMM, used while no text services capture it.
void ReadImeCandidateList(HWND Window)
{
    ImeInputData &ime = ImeInputState;
    if (ime.ThreadMgr != NULL) return;
    ImeContext context(Window);
    DWORD size = context.GetCandidateList(NULL, 0);
    if (size == 0) return;
    DropCandidateList();
    // A list that cannot be allocated is logged and not kept, as on the text-services path; the
    // program goes on without it.
    void *block = size <= INT32_MAX ? DXALLOC(size) : NULL;
    if (block == NULL) {
        LogCandidateAllocFailure(size);
        return;
    }
    if (context.GetCandidateList(static_cast<CANDIDATELIST *>(block), size) == 0) {
        DXFREE(block);
        AddLogFormat(L"漢字変換候補の取得に失敗しました  BufSize:%d\n", static_cast<int>(size));
        return;
    }
    ime.CandidateList = static_cast<CANDIDATELIST *>(block);
    ime.CandidateListSize = static_cast<int>(size);
}

// The IME opened or closed: the system's own handling runs, then the pump runs for up to 2 ms so
// that what the change sends is taken before the new state is read.
void OnSetOpenStatus(HWND Window, WPARAM WParam, LPARAM LParam)
{
    ImeInputData &ime = ImeInputState;
    if (ime.OpenStatusWaitFlag) return;
    ime.OpenStatusWaitFlag = 1;
    DefWindowProcW(Window, WM_IME_NOTIFY, WParam, LParam);

    // The nested pump ends by clearing the pump-active flag, but the pump that dispatched this
    // message is still running: activation changes later in its dispatch must still be queued.
    MainWindowData &w = MainWindowState;
    int pumpActive = w.PumpActiveFlag;
    int64_t start = GetNowMicroCount();
    while (ProcessMessageNoLock() == 0) {
        int64_t now = GetNowMicroCount();
        if (now < 0 || now - start > 1999) break;
    }
    w.PumpActiveFlag = pumpActive;

    ime.OpenStatusWaitFlag = 0;
    ImeContext context(Window);
    ime.OpenStatus = context.GetOpenStatus();
}

LRESULT OnNotify(HWND Window, WPARAM WParam, LPARAM LParam)
{
    switch (WParam) {
        case IMN_CHANGECANDIDATE:
        case IMN_OPENCANDIDATE:
        case IMN_SETCANDIDATEPOS:
            ReadImeCandidateList(Window);
            return 0;
        case IMN_CLOSECANDIDATE:
            DropCandidateList();
            return 0;
        case IMN_SETOPENSTATUS:
            OnSetOpenStatus(Window, WParam, LParam);
            return 0;
        default:
            return DefWindowProcW(Window, WM_IME_NOTIFY, WParam, LParam);
    }
}

}  // namespace

intptr_t ImeWindowMessageHandler(HWND__ *Window, unsigned int Message, uintptr_t WParam, intptr_t LParam)
{
    ImeInputData &ime = ImeInputState;
    switch (Message) {
        case WM_IME_SETCONTEXT:
            // lParam 0: the system draws none of its IME windows.
            return DefWindowProcW(Window, Message, WParam, 0);
        case WM_IME_STARTCOMPOSITION:
            ime.CompositionCursor = 0;
            ime.ComposingFlag = 1;
            return 0;
        case WM_IME_ENDCOMPOSITION:
            memset(ime.CompositionString, 0, sizeof ime.CompositionString);
            ime.ComposingFlag = 0;
            return 0;
        case WM_IME_COMPOSITION:
            OnComposition(Window, LParam);
            return 0;
        case WM_IME_NOTIFY:
            return OnNotify(Window, WParam, LParam);
        case WM_IME_REQUEST:
            // No input string is ever active here, so there is nothing to reconvert.
            DefWindowProcW(Window, Message, WParam, LParam);
            return 0;
        default:
            return 0;
    }
}

int ProcessInputString(void)
{
    ImeInputData &ime = ImeInputState;
    HWND window = GetMainWindowHandle();
    switch (ime.RestoreStep) {
        case 1: {
            ImeContext context(window);
            memset(ime.CompositionString, 0, IME_READ_BYTES);
            ReadCompositionString(context, ime.SavedComposition);
            context.CancelComposition();
        }
            // fall through
        case 2:
            ImeContext(window).SetOpenStatus(FALSE);
            // fall through
        case 3:
            ImeContext(window).SetOpenStatus(TRUE);
            // fall through
        case 4: {
            ImeContext context(window);
            context.SetOpenStatus(TRUE);
            int units = GetWideStringLength(ime.SavedComposition);
            context.SetCompositionString(ime.SavedComposition, static_cast<DWORD>(units) * 2);
            ime.RestoreStep = 0;
            break;
        }
        default:
            break;
    }
    // Editing an active input string from the typed characters would follow here; this program
    // never makes one.
    return 0;
}
