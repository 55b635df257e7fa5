// Keyboard and mouse: the input layer's start and end, the key state table on its two paths
// (DirectInput keyboard, or the Windows key state through the virtual-key table), the readers'
// shared prologue, the mouse buttons, position and DirectInput wheel.
#include "zovuz/core/desktop/windows/input_state_win.h"

#include "zovuz/core/system_info.h"
#include "zovuz/core/desktop/window_internal.h"
#include "zovuz/core/windows/api_table.h"

#include <string.h>

InputStateData InputState;

namespace {

bool VistaOrLater(void) { return GetWindowsVersionCode() >= WINDOWS_VERSION_VISTA; }

// Left, right and middle from a GetKeyboardState buffer; X1 and X2 too on Vista and later (older
// versions leave those two bytes as they were).
void TakeMouseButtonBytes(const BYTE *KeyboardState, unsigned char *Bytes)
{
    static const int keys[5] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_XBUTTON1, VK_XBUTTON2};
    int count = VistaOrLater() ? 5 : 3;
    for (int i = 0; i < count; ++i) Bytes[i] = (KeyboardState[keys[i]] & 0x80) ? 1 : 0;
}

int MouseBitsFromBytes(const unsigned char *Bytes)
{
    int count = VistaOrLater() ? 5 : 3;
    int bits = 0;
    for (int i = 0; i < count; ++i)
        if (Bytes[i]) bits |= 1 << i;
    return bits;
}

// GetDeviceState, retried once after Acquire. 0 / -1.
int ReadDeviceState(IDirectInputDevice8W *Device, DWORD Size, void *Data)
{
    if (SUCCEEDED(Device->GetDeviceState(Size, Data))) return 0;
    if (FAILED(Device->Acquire())) return -1;
    return SUCCEEDED(Device->GetDeviceState(Size, Data)) ? 0 : -1;
}

int UpdateDirectInputKeyboard(int PumpFirst)
{
    InputStateData &s = InputState;
    DWORD now = GetInputTime();
    if (now == s.LastKeyboardUpdateTime && WaitForSingleObject(s.KeyboardEvent, 0) != WAIT_OBJECT_0) return 0;
    if (PumpFirst && ProcessMessageNoLock() != 0) return 0;
    // The pump may have ended the devices.
    if (s.DirectInput == NULL || s.KeyboardDevice == NULL) return 0;
    if (ReadDeviceState(s.KeyboardDevice, KEYSTATE_TABLE_SIZE, s.KeyStateTable) != 0) return 0;
    s.LastKeyboardUpdateTime = now;
    if (WaitForSingleObject(s.KeyboardEvent, 0) == WAIT_OBJECT_0) ResetEvent(s.KeyboardEvent);

    // DirectInput's right Shift is unreliable; the Windows key state decides it.
    BYTE keyboard[256] = {};
    if (GetKeyboardState(keyboard)) s.KeyStateTable[DIK_RSHIFT] = keyboard[VK_RSHIFT];
    return 1;
}

int UpdateWindowsKeyboard(int PumpFirst)
{
    InputStateData &s = InputState;
    if (GetCurrentThreadId() != GetMainThreadID()) return 0;
    DWORD now = GetInputTime();
    if (now == s.LastKeyboardUpdateTime) return 0;
    s.LastKeyboardUpdateTime = now;
    if (PumpFirst && ProcessMessageNoLock() != 0) return 0;

    BYTE keyboard[256] = {};
    if (!GetKeyboardState(keyboard)) return 0;
    FillKeyStateTable(keyboard, s.KeyStateTable);
    TakeMouseButtonBytes(keyboard, s.SavedMouseButton);
    s.SavedMouseButtonFlag = 1;
    return 1;
}

int StartInputOnDemand(void)
{
    // A window that is closing is not given new devices.
    if (GetWindowClosePostedFlag()) return 0;
    return InitializeInput();
}

}  // namespace

DWORD GetInputTime(void)
{
    if (WinAPIData.timeGetTimeFunc == NULL) LoadWinAPI();
    return WinAPIData.timeGetTimeFunc != NULL ? WinAPIData.timeGetTimeFunc() : 0;
}

int DirectInputPathAllowed(void)
{
    const InputStateData &s = InputState;
    return !s.NoUseDirectInputFlag && (s.UseDirectInputFlag || !VistaOrLater());
}

int RunInputPrologue(int *Result)
{
    if (!GetWindowActiveFlag() && !GetWindowActivationBusyFlag()) WaitWhileWindowInactive();
    if (!InputState.StartedFlag) {
        *Result = StartInputOnDemand();
        return 0;
    }
    return 1;
}

int InitializeInput(void)
{
    InputStateData &s = InputState;
    if (s.StartedFlag) return 0;
    s.StartedFlag = 1;
    if (InitializeDirectInput() != 0) {
        s.StartedFlag = 0;
        return -1;
    }
    for (JoypadRecord &pad : s.Joypad)
        for (DWORD &pov : pad.State.rgdwPOV) pov = static_cast<DWORD>(-1);
    return 0;
}

int TerminateInput(void)
{
    InputStateData &s = InputState;
    if (!s.StartedFlag) return 0;
    if (TerminateDirectInput() != 0) return -1;
    s.StartedFlag = 0;
    return 0;
}

int GetInputStartedFlag(void) { return InputState.StartedFlag; }

int SetDirectInputUseFlag(int UseFlag)
{
    InputState.UseDirectInputFlag = UseFlag;
    InputState.NoUseDirectInputFlag = UseFlag == 0 ? 1 : 0;
    return 0;
}

void SetInputMessageFlag(int Index, int Value)
{
    if (Index == 0 || Index == 1) InputState.InputMessageFlag[Index] = Value;
}

int UpdateKeyboardInput(int PumpFirst)
{
    if (DirectInputPathAllowed() && InputState.KeyboardDevice != NULL) return UpdateDirectInputKeyboard(PumpFirst);
    return UpdateWindowsKeyboard(PumpFirst);
}

int RefreshKeyboardInput(int PumpFirst)
{
    InputStateData &s = InputState;
    if (s.KeyboardUpdateRunningFlag) return 0;
    s.KeyboardUpdateRunningFlag = 1;
    int result = UpdateKeyboardInput(PumpFirst);
    s.KeyboardUpdateRunningFlag = 0;
    return result;
}

int CheckKeyDown(int KeyIndex)
{
    int result = 0;
    if (!RunInputPrologue(&result)) return result;
    RefreshKeyboardInput(1);
    // Key numbers outside the table are never down.
    if (KeyIndex < 0 || KeyIndex >= KEYSTATE_TABLE_SIZE) return 0;
    return (InputState.KeyStateTable[KeyIndex] & 0x80) ? 1 : 0;
}

int GetAllKeyState(char *KeyStateArray)
{
    if (KeyStateArray == NULL) return -1;
    int result = 0;
    if (!RunInputPrologue(&result)) return result;
    RefreshKeyboardInput(1);
    return KeyStateTableToFlags(InputState.KeyStateTable, KeyStateArray);
}

int IsDirectInputMouseUsed(void) { return DirectInputPathAllowed() && InputState.MouseDevice != NULL ? 1 : 0; }

int ReadMouseButtons(void)
{
    InputStateData &s = InputState;
    if (IsDirectInputMouseUsed() && GetWindowActiveFlag()) {
        DIMOUSESTATE2 state = {};
        if (ReadDeviceState(s.MouseDevice, sizeof(state), &state) != 0) return 0;
        int bits = 0;
        for (int i = 0; i < 8; ++i)
            if (state.rgbButtons[i] & 0x80) bits |= 1 << i;
        s.WheelAccumulator += state.lZ;
        return bits;
    }

    RefreshKeyboardInput(1);
    if (s.SavedMouseButtonFlag) return MouseBitsFromBytes(s.SavedMouseButton);
    BYTE keyboard[256] = {};
    unsigned char bytes[5] = {};
    GetKeyboardState(keyboard);
    TakeMouseButtonBytes(keyboard, bytes);
    return MouseBitsFromBytes(bytes);
}

int GetMouseButtons(void)
{
    int bits = ReadMouseButtons();
    if (GetMainTouchPosition(GetTouchRecord(), NULL, NULL)) bits |= MOUSE_INPUT_LEFT;
    return bits;
}

int GetMousePoint(int *XBuf, int *YBuf)
{
    int x = 0, y = 0;
    if (!GetMainTouchPosition(GetTouchRecord(), &x, &y)) GetCursorDrawScreenPos(&x, &y);
    if (XBuf != NULL) *XBuf = x;
    if (YBuf != NULL) *YBuf = y;
    return 0;
}

int GetDirectInputWheelRotation(int ClearFlag)
{
    GetMouseButtons();
    InputStateData &s = InputState;
    int notches = s.WheelAccumulator / WHEEL_DELTA;
    if (ClearFlag) s.WheelAccumulator -= notches * WHEEL_DELTA;
    return notches;
}
