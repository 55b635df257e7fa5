// The main window's procedure: the library's answers to its window messages, and the input
// that arrives as messages (clicks, wheel, touch, characters, menu commands).
#include "zovuz/core/desktop/windows/window_state_win.h"

#include "zovuz/core/desktop/input_char_internal.h"
#include "zovuz/core/desktop/ime_internal.h"
#include "zovuz/core/desktop/input_internal.h"
#include "zovuz/core/library_state.h"
#include "zovuz/core/text/log.h"
#include "zovuz/core/memory/memory.h"
#include "zovuz/core/subsystem_hooks.h"
#include "zovuz/core/windows/api_table.h"
#include "zovuz/core/library_state_internal.h"
#include "zovuz/core/subsystem_hooks_internal.h"

void MakeTouchFrame(const TOUCHINPUT *Inputs, int Count, TouchInputData *Frame)
{
    *Frame = TouchInputData();
    if (Count <= 0) return;
    Frame->Time = static_cast<int64_t>(Inputs[0].dwTime) * 1000;
    // A frame holds 16 points; further points of a larger contact are left out.
    for (int i = 0; i < Count && Frame->PointNum < TOUCHINPUTPOINT_MAXNUM; ++i) {
        if (Inputs[i].dwFlags & TOUCHEVENTF_UP) continue;
        int x = 0, y = 0;
        ScreenPosToDrawScreenPos(Inputs[i].x / 100, Inputs[i].y / 100, &x, &y);
        AddTouchInputPoint(Frame, static_cast<int>(Inputs[i].dwID), x, y);
    }
}

namespace {

void HideCursorWhenHidden(void)
{
    if (!MainWindowState.MouseDispState) SetCursor(NULL);
}

void AddMouseRecord(MouseInputRecord *Log, int *Num, int *Next, int Button, LPARAM LParam, int UpFlag)
{
    MouseInputRecord &record = Log[*Next];
    record.Button = Button;
    record.X = static_cast<short>(LOWORD(LParam));
    record.Y = static_cast<short>(HIWORD(LParam));
    record.UpFlag = UpFlag;
    *Next = (*Next + 1) % MOUSEINPUTLOG_MAXNUM;
    if (*Num < MOUSEINPUTLOG_MAXNUM) (*Num)++;
}

void AddWheelDelta(int *Accumulator, WPARAM WParam)
{
    int delta = static_cast<short>(HIWORD(WParam));
    // A turn in the other direction starts the count again.
    if ((delta < 0 && *Accumulator > 0) || (delta > 0 && *Accumulator < 0))
        *Accumulator = delta;
    else
        *Accumulator += delta;
}

// Characters kept below 0x20: Ctrl+A, Ctrl+C, backspace, tab, return, 0x10, Ctrl+V, Ctrl+X, Escape.
bool IsKeptControlChar(WPARAM Char)
{
    switch (Char) {
        case 0x01:
        case 0x03:
        case 0x08:
        case 0x09:
        case 0x0D:
        case 0x10:
        case 0x16:
        case 0x18:
        case 0x1B:
            return true;
        default:
            return false;
    }
}

void RecordMenuSelection(int ItemID)
{
    MainWindowData &w = MainWindowState;
    for (int i = 0; i < w.MenuSelectNum; ++i)
        if (w.MenuSelect[i] == ItemID) return;
    if (w.MenuSelectNum < MENUSELECT_MAXNUM) w.MenuSelect[w.MenuSelectNum++] = ItemID;
}

void RecordTouch(LPARAM LParam, WPARAM WParam)
{
    if (WinAPIData.GetTouchInputInfoFunc == NULL) return;
    int count = LOWORD(WParam);
    HTOUCHINPUT handle = reinterpret_cast<HTOUCHINPUT>(LParam);
    TOUCHINPUT local[TOUCHINPUTPOINT_MAXNUM];
    TOUCHINPUT *inputs = local;
    if (count > TOUCHINPUTPOINT_MAXNUM) inputs = static_cast<TOUCHINPUT *>(DXALLOC(sizeof(TOUCHINPUT) * count));
    if (inputs != NULL && count > 0 && WinAPIData.GetTouchInputInfoFunc(handle, count, inputs, sizeof(TOUCHINPUT))) {
        TouchInputData frame;
        MakeTouchFrame(inputs, count, &frame);
        RecordTouchFrame(&MainWindowState.Touch, &frame);
    }
    if (inputs != local && inputs != NULL) DXFREE(inputs);
    if (WinAPIData.CloseTouchInputHandleFunc != NULL) WinAPIData.CloseTouchInputHandleFunc(handle);
}

// Entering a menu, size or move loop counts as losing the focus at once.
void EnterModalLoop(void)
{
    MainWindowState.InsideLoopFlag = 1;
    OnWindowActivate(0, 0, 0, 1);
}

void LeaveModalLoop(void)
{
    if (!MainWindowState.InsideLoopFlag) return;
    MainWindowState.InsideLoopFlag = 0;
    QueueWindowActivate(1, 0, 0, 1);
}

int HardwareGraphicsInUse(void) { return CallSubsystemHook(SubsystemHooksData.GetHardwareGraphicsFlag) != 0; }

void OnSetCursor(LPARAM LParam)
{
    MainWindowData &w = MainWindowState;
    LeaveModalLoop();
    if (!w.Setup.WindowModeFlag && HardwareGraphicsInUse() && w.Setup.MenuUseFlag) {
        int hitTest = LOWORD(LParam);
        if ((hitTest == HTMENU || hitTest == HTCAPTION) && w.FullScreenMenuShownCount < 5) {
            CallSubsystemHook(SubsystemHooksData.Graphics_Hardware_SetDialogBoxMode, 1);
            DrawMenuBar(w.MainWindow);
            w.FullScreenMenuShownCount++;
            SetMouseDispFlag(-1);
        } else if (hitTest != 0 && w.FullScreenMenuShownCount > 0) {
            CallSubsystemHook(SubsystemHooksData.Graphics_Hardware_SetDialogBoxMode, 0);
            w.FullScreenMenuShownCount = 0;
        }
    }
    HideCursorWhenHidden();
}

// A display depth change in window mode: a depth the program cannot restore into ends it.
// Without a graphics layer there is no screen to restore and no depth to compare.
void OnDisplayChange(WPARAM NewDepth)
{
    MainWindowData &w = MainWindowState;
    if (w.Setup.WindowModeFlag && !w.InsideWindowModeChangeFlag && SubsystemHooksData.GetScreenColorBitDepth != NULL &&
        static_cast<int>(NewDepth) != SubsystemHooksData.GetScreenColorBitDepth()) {
        bool restorable = CallSubsystemHook(SubsystemHooksData.IsRestoreGraphCallbackSet) != 0;
        if (!restorable || NewDepth == 24 || NewDepth == 8) {
            AddLogStringWide(
                L"復元関数が登録されていないためか画面が24ビットカラー、又は8ビットカラーに変更されたため終了します\n");
            PostMainWindowCloseOnce();
            return;
        }
        CallSubsystemHook(SubsystemHooksData.ResumeAllMovies);
    }
    w.DisplayChangedFlag = 1;
}

void OnMove(HWND Window, LPARAM LParam)
{
    MainWindowData &w = MainWindowState;
    GetWindowRect(Window, &w.WindowRect);
    NoteRestoredWindowRect();
    if (w.Setup.WindowModeFlag && !w.InsideWindowModeChangeFlag) {
        int width = w.ClientRect.right - w.ClientRect.left;
        int height = w.ClientRect.bottom - w.ClientRect.top;
        w.ClientRect.left = static_cast<short>(LOWORD(LParam));
        w.ClientRect.top = static_cast<short>(HIWORD(LParam));
        w.ClientRect.right = w.ClientRect.left + width;
        w.ClientRect.bottom = w.ClientRect.top + height;
    }
    // Drawing to the front screen: the mask setting is re-applied for the new position.
    if (CallSubsystemHook(SubsystemHooksData.GetDrawScreenHandle) == -4 &&
        SubsystemHooksData.GetUseMaskScreenFlag != NULL && SubsystemHooksData.SetUseMaskScreenFlag != NULL) {
        int mask = SubsystemHooksData.GetUseMaskScreenFlag();
        SubsystemHooksData.SetUseMaskScreenFlag(0);
        SubsystemHooksData.SetUseMaskScreenFlag(mask);
    }
}

void OnPaint(HWND Window)
{
    CallSubsystemHook(SubsystemHooksData.MarkScreenShownAgain);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Window, &paint);
    if (dc == NULL) return;
    if (MainWindowState.Setup.WindowModeFlag) {
        MainWindowState.InsidePaintFlag = 1;
        PaintMainWindow(dc, &paint.rcPaint);
        MainWindowState.InsidePaintFlag = 0;
    }
    EndPaint(Window, &paint);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam)
{
    MainWindowData &w = MainWindowState;
    switch (Message) {
        case WM_DESTROY:
            AddLogStringWide(L"ウインドウが破棄されようとしています\n");
            w.WindowDestroyedFlag = 1;
            PostQuitMessage(0);
            SetLibraryQuitFlags();
            AddLogStringWide(L"ソフトを終了する準備が整いました\n");
            break;

        case WM_MOVE:
            CallSubsystemHook(SubsystemHooksData.MarkScreenShownAgain);
            OnMove(Window, LParam);
            break;

        case WM_SIZE:
            CallSubsystemHook(SubsystemHooksData.MarkScreenShownAgain);
            GetWindowRect(Window, &w.WindowRect);
            w.MinimizedFlag = WParam == SIZE_MINIMIZED ? 1 : 0;
            UpdateWindowMaximizeState(WParam);
            RefitMainWindow();
            break;

        case WM_ACTIVATE:
            QueueWindowActivate(WParam, LParam, 0, 0);
            break;

        case WM_ACTIVATEAPP:
            if (WParam == 0) QueueWindowActivate(WParam, LParam, 1, 0);
            break;

        case WM_PAINT:
            OnPaint(Window);
            break;

        case WM_CLOSE:
            AddLogStringWide(L"ウインドウを閉じようとしています\n");
            DestroyWindow(w.MainWindow != NULL ? w.MainWindow : Window);
            // Not the library's own end (1), but enough to end an inactive wait of the pump.
            if (LibraryState.Ending == 0) LibraryState.Ending = 4;
            return 0;

        case WM_SETCURSOR:
            OnSetCursor(LParam);
            break;

        case WM_DISPLAYCHANGE:
            CallSubsystemHook(SubsystemHooksData.MarkScreenShownAgain);
            OnDisplayChange(WParam);
            break;

        case WM_NCHITTEST:
            if (!w.Setup.WindowModeFlag && HardwareGraphicsInUse() && static_cast<short>(HIWORD(LParam)) < 8)
                return HTMENU;
            break;

        case WM_NCRBUTTONDOWN:
        case WM_ENTERMENULOOP:
        case WM_ENTERSIZEMOVE:
            if (w.Setup.WindowModeFlag && !w.InsideLoopFlag) EnterModalLoop();
            break;

        case WM_EXITMENULOOP:
        case WM_EXITSIZEMOVE:
            LeaveModalLoop();
            break;

        case WM_SYSCOMMAND:
            switch (WParam & 0xFFF0) {
                case SC_MOVE:
                    if (!w.InsideLoopFlag) EnterModalLoop();
                    break;
                case SC_SCREENSAVE:
                case SC_MONITORPOWER:
                    return 1;
            }
            break;

        case WM_KEYDOWN:
            if (!IsInputCharBufferFull()) {
                uint16_t code = GetEditingKeyInputCode(static_cast<unsigned int>(WParam));
                if (code != 0) StoreInputChar(code);
            }
            break;

        case WM_CHAR:
            if (WParam == 0x0A)
                StoreInputChar(0x0D);
            else if (WParam >= 0x20 || IsKeptControlChar(WParam))
                StoreInputChar(static_cast<uint16_t>(WParam));
            break;

        case WM_SYSCHAR:
            w.LastSysChar = WParam;
            return 0;

        case WM_COMMAND:
            if (w.Setup.MenuUseFlag) {
                if (w.Setup.MenuCallback != NULL) w.Setup.MenuCallback(static_cast<unsigned short>(WParam));
                RecordMenuSelection(LOWORD(WParam));
            }
            break;

        case WM_IME_STARTCOMPOSITION:
        case WM_IME_ENDCOMPOSITION:
        case WM_IME_COMPOSITION:
        case WM_IME_SETCONTEXT:
        case WM_IME_NOTIFY:
        case WM_IME_REQUEST:
            return ImeWindowMessageHandler(Window, Message, WParam, LParam);

        case WM_MOUSEMOVE:
        case WM_LBUTTONDBLCLK:
            HideCursorWhenHidden();
            break;

        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN: {
            int button = Message == WM_LBUTTONDOWN ? 1 : Message == WM_RBUTTONDOWN ? 2 : 4;
            AddMouseRecord(w.MouseClickLog, &w.MouseClickNum, &w.MouseClickNext, button, LParam, 0);
            AddMouseRecord(w.MouseEventLog, &w.MouseEventNum, &w.MouseEventNext, button, LParam, 0);
            HideCursorWhenHidden();
            break;
        }

        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP: {
            int button = Message == WM_LBUTTONUP ? 1 : Message == WM_RBUTTONUP ? 2 : 4;
            AddMouseRecord(w.MouseEventLog, &w.MouseEventNum, &w.MouseEventNext, button, LParam, 1);
            HideCursorWhenHidden();
            break;
        }

        case WM_MOUSEWHEEL:
            AddWheelDelta(&w.WheelAccumulator, WParam);
            break;

        case WM_MOUSEHWHEEL:
            AddWheelDelta(&w.HWheelAccumulator, WParam);
            break;

        case WM_SIZING:
            if (w.Setup.WindowModeFlag) ConstrainWindowSizing(WParam, reinterpret_cast<RECT *>(LParam));
            break;

        case WM_MOVING:
            if (!w.Setup.WindowModeFlag) *reinterpret_cast<RECT *>(LParam) = w.WindowRect;
            break;

        case WM_TOUCH:
            RecordTouch(LParam, WParam);
            break;

        case MM_MCINOTIFY:
            CallSubsystemHook(SubsystemHooksData.ProcessMidiMciNotify);
            break;

        case 0x46F:
        case 0x470:
            SetInputMessageFlag(Message == 0x46F ? 0 : 1, WParam == 1 ? 1 : 0);
            break;

        case 0x505:
            return ProcessNetworkSocketMessage(WParam, LParam);
    }
    return DefWindowProcW(Window, Message, WParam, LParam);
}
