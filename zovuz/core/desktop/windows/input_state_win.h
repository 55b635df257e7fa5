// The input layer's state on Windows: the key table, the saved mouse buttons, the DirectInput
// objects, the joypad records and the XInput module. Shared by the keyboard and mouse readers,
// the device start and end, and the joypads. Main thread only.
#pragma once

#include "zovuz/core/desktop/input_internal.h"

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif
#include <windows.h>
#include <dinput.h>
#include <xinput.h>

#define JOYPAD_DEADZONE 22937       // 35 % in 1/65536 units
#define JOYPAD_VIBRATION_SLOTNUM 2  // slot 0 constant force, slot 1 sine
#define JOYPAD_VIBRATION_MAXPOWER 10000
#define JOYPAD_NAME_LENGTH 260  // UTF-16 units of a device name
#define XINPUT_USER_MAXNUM 4

// The DirectInput object when the devices were started without DirectInput.
#define DIRECTINPUT_WINDOWS_PATH (reinterpret_cast<IDirectInput8W *>(static_cast<intptr_t>(-1)))

struct JoypadVibrationSlot
{
    int PlayFlag;         // vibration requested
    int Power;            // 0 .. 10000
    int PlayTime;         // ms; -1 = no limit
    int ElapsedTime;      // ms played so far
    int LastTime;         // ms stamp of the last count
    int AppliedPlayFlag;  // what the motor was last set to
    int AppliedPower;
    IDirectInputEffect *Effect;  // DirectInput effect, may be null
};

struct JoypadRecord
{
    JoypadVibrationSlot Vibration[JOYPAD_VIBRATION_SLOTNUM];
    int DeadZone;                  // 1/65536 units
    DIJOYSTATE State;              // last state
    int XInputUserIndex;           // 0..3, -1 for a DirectInput controller
    IDirectInputDevice8W *Device;  // DirectInput device, null for XInput
    HANDLE Event;                  // the device's notification event
    int HasZAndRAxisFlag;          // the winmm joystick has a Z and an R axis
    wchar_t InstanceName[JOYPAD_NAME_LENGTH];
    wchar_t ProductName[JOYPAD_NAME_LENGTH];
};

typedef DWORD(WINAPI *XInputGetStateFunction)(DWORD UserIndex, XINPUT_STATE *State);
typedef DWORD(WINAPI *XInputSetStateFunction)(DWORD UserIndex, XINPUT_VIBRATION *Vibration);

// XInput, loaded at run time. Tests may replace the two entry points after the device start.
struct XInputModuleData
{
    HMODULE Module;                       // null when not loaded
    XInputGetStateFunction GetStateFunc;  // XInputGetState
    XInputSetStateFunction SetStateFunc;  // XInputSetState
};

// Zeroed at every device start except StartedFlag and the two use flags.
struct InputStateData
{
    int StartedFlag;                                   // InitializeInput succeeded
    unsigned char KeyStateTable[KEYSTATE_TABLE_SIZE];  // bit 7 = down
    DWORD LastKeyboardUpdateTime;                      // timeGetTime of the last refresh
    unsigned char SavedMouseButton[5];                 // left, right, middle, X1, X2: 1 or 0
    int SavedMouseButtonFlag;                          // written at least once
    int WheelAccumulator;                              // DirectInput mouse Z, 120 per notch
    IDirectInput8W *DirectInput;                       // null, DIRECTINPUT_WINDOWS_PATH or the object
    IDirectInputDevice8W *MouseDevice;
    IDirectInputDevice8W *KeyboardDevice;
    HANDLE KeyboardEvent;           // manual reset, set by new keyboard input
    int NoUseDirectInputFlag;       // off flag
    int UseDirectInputFlag;         // forcing flag
    int KeyboardUpdateRunningFlag;  // re-entrancy guard of the keyboard refresh
    int DeviceStartRunningFlag;     // the device start runs
    int InputMessageFlag[2];        // messages 0x46F and 0x470

    JoypadRecord Joypad[JOYPAD_MAXNUM];
    int JoypadNum;  // records in use
    XInputModuleData XInput;
};

extern InputStateData InputState;

// 1 when a DirectInput object (not the Windows-path marker) exists.
inline bool DirectInputObjectInUse(void)
{
    return InputState.DirectInput != NULL && InputState.DirectInput != DIRECTINPUT_WINDOWS_PATH;
}

// timeGetTime through the Windows API table: the keyboard's update tick.
DWORD GetInputTime(void);

// 1 when DirectInput may be used at all: the off flag is clear and it is forced or Windows is
// older than Vista.
int DirectInputPathAllowed(void);

// The readers' prologue: waits while the main window is inactive (unless its activation is being
// handled), then, when input is not started, starts it (not when the window is closing). 1: go
// on reading; 0: return *Result instead.
int RunInputPrologue(int *Result);

// ---- device start and end (input_device_win.cpp) --------------------------------------------
int InitializeDirectInput(void);
int TerminateDirectInput(void);

// ---- joypads (joypad_win.cpp) ---------------------------------------------------------------
// XInput loaded in its fixed order of libraries (logged); freed with both entry points nulled.
void LoadXInput(void);
void FreeXInput(void);
// -1 when input is not started or the enumeration fails, else 0 after its log line.
int SetupJoypads(void);
int EnumerateJoypads(void);
BOOL CALLBACK EnumJoypadCallback(LPCDIDEVICEINSTANCEW Instance, LPVOID Context);
// Without DirectInput: the winmm joysticks, counted until the first id that fails.
int CountWinmmJoypads(void);
int JoypadHasVibration(const JoypadRecord *Pad, int Slot);
int ReleaseJoypads(void);
int ReleaseJoypadDevices(void);

// Makes a device's notification event and hands it to the device: the event, or null when it
// cannot be made or the device takes it neither as an event nor as a polled device. A failure
// logs Failure (the library's line for it) and the call that failed, and leaves no event.
HANDLE StartDeviceEvent(IDirectInputDevice8W *Device, const wchar_t *Failure);

// The DirectInput data formats of the keyboard (256 bytes), the mouse (DIMOUSESTATE2) and the
// joypads (DIJOYSTATE).
const DIDATAFORMAT *GetKeyboardDataFormat(void);
const DIDATAFORMAT *GetMouseDataFormat(void);
const DIDATAFORMAT *GetJoystickDataFormat(void);
