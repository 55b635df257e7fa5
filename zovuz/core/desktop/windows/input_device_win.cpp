// The input devices' start and end: DirectInput 8 with its keyboard and mouse (and the joypads),
// or the Windows path with the winmm joystick count; and the DirectInput data formats.
#include "zovuz/core/desktop/windows/input_state_win.h"

#include "zovuz/core/text/log.h"
#include "zovuz/core/desktop/window.h"
#include "zovuz/core/windows/api_table.h"
#include "zovuz/core/com_ref.h"

#include <string.h>

namespace {

// The DirectInput 8 object, created through the Windows API table and initialised for this
// program. Null (logged) on failure, with the call that failed and its code in *Failed and
// *Code for the caller to log once its line is finished.
IDirectInput8W *CreateDirectInput(const wchar_t **Failed, HRESULT *Code)
{
    IDirectInput8W *object = NULL;
    HRESULT hr = E_FAIL;
    if (WinAPIData.CoCreateInstanceFunc == NULL) LoadWinAPI();
    if (WinAPIData.CoCreateInstanceFunc != NULL)
        hr = WinAPIData.CoCreateInstanceFunc(CLSID_DirectInput8, NULL, CLSCTX_INPROC_SERVER, IID_IDirectInput8W,
                                             reinterpret_cast<void **>(&object));
    if (FAILED(hr) || object == NULL) {
        AddLogStringWide(L"取得に失敗。");
        *Failed = L"CoCreateInstance(DirectInput8)";
        *Code = hr;
        return NULL;
    }
    AddLogStringWide(L"成功\n");
    AddLogStringWide(L"引き続き初期化処理... ");
    hr = object->Initialize(GetModuleHandleW(NULL), 0x0800);
    if (FAILED(hr)) {
        AddLogStringWide(L"初期化に失敗。");
        *Failed = L"IDirectInput8::Initialize";
        *Code = hr;
        object->Release();
        return NULL;
    }
    AddLogStringWide(L"初期化成功\n");
    return object;
}

// Makes a system device with its data format, shared with other programs in the background.
// The last call's result; on a failure *Failed names the call that failed (else it stays null).
HRESULT CreateInputDevice(IDirectInput8W *Object, REFGUID Guid, LPCDIDATAFORMAT Format, IDirectInputDevice8W **Device,
                          const wchar_t **Failed)
{
    HRESULT hr = Object->CreateDevice(Guid, Device, NULL);
    if (FAILED(hr) || *Device == NULL) {
        *Failed = L"IDirectInput8::CreateDevice";
        return hr;
    }
    hr = (*Device)->SetDataFormat(Format);
    if (FAILED(hr)) {
        *Failed = L"IDirectInputDevice8::SetDataFormat";
        return hr;
    }
    hr = (*Device)->SetCooperativeLevel(GetMainWindowHandle(), DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    if (FAILED(hr)) *Failed = L"IDirectInputDevice8::SetCooperativeLevel";
    return hr;
}

void StartMouseDevice(IDirectInput8W *Object)
{
    InputStateData &s = InputState;
    AddLogStringWide(L"マウスデバイスの初期化... ");
    IDirectInputDevice8W *mouse = NULL;
    const wchar_t *failed = NULL;
    HRESULT hr = CreateInputDevice(Object, GUID_SysMouse, GetMouseDataFormat(), &mouse, &failed);
    if (failed != NULL) {
        ReleaseAndClear(mouse);
        AddLogStringWide(L"マウスデバイスの取得に失敗しました\n");
        LogPlatformFailure(failed, hr);
        return;
    }
    s.MouseDevice = mouse;
    AddLogStringWide(L"初期化成功\n");
}

void StartKeyboardDevice(IDirectInput8W *Object)
{
    InputStateData &s = InputState;
    AddLogStringWide(L"キーボードデバイスの初期化... ");
    IDirectInputDevice8W *keyboard = NULL;
    const wchar_t *failed = NULL;
    HRESULT failure = CreateInputDevice(Object, GUID_SysKeyboard, GetKeyboardDataFormat(), &keyboard, &failed);
    if (failed != NULL) ReleaseAndClear(keyboard);
    if (keyboard != NULL) {
        DIPROPDWORD buffer = {};
        buffer.diph.dwSize = sizeof(buffer);
        buffer.diph.dwHeaderSize = sizeof(buffer.diph);
        buffer.diph.dwHow = DIPH_DEVICE;
        buffer.dwData = 100;
        if (HRESULT property = keyboard->SetProperty(DIPROP_BUFFERSIZE, &buffer.diph); FAILED(property)) {
            AddLogStringWide(L"キーボードのプロパティ設定に失敗しました\n");
            LogPlatformFailure(L"IDirectInputDevice8::SetProperty", property);
        }

        HANDLE event = StartDeviceEvent(keyboard, L"キーボードイベントのセットアップが失敗しました\n");
        if (event == NULL) {
            ReleaseAndClear(keyboard);
        } else if (FAILED(failure = keyboard->Acquire()) && FAILED(failure = keyboard->Acquire())) {
            failed = L"IDirectInputDevice8::Acquire";
            keyboard->SetEventNotification(NULL);
            ReleaseAndClear(keyboard);
            CloseHandle(event);
        } else {
            s.KeyboardDevice = keyboard;
            s.KeyboardEvent = event;
        }
    }
    AddLogStringWide(s.KeyboardDevice != NULL ? L"初期化成功\n" : L"キーボードデバイスの取得に失敗しました\n");
    if (failed != NULL) LogPlatformFailure(failed, failure);
}

// The DirectInput part of the device start. false when DirectInput could not be had (the off
// flag is then set).
bool StartDirectInput(void)
{
    InputStateData &s = InputState;
    AddLogStringWide(L"DirectInput関係初期化処理\n");
    LogIndentUp();
    LoadXInput();
    AddLogStringWide(L"DirectInput7 の取得中... ");
    AddLogStringWide(L"DirectInput8 の取得を試みます...");
    const wchar_t *failed = NULL;
    HRESULT failure = S_OK;
    IDirectInput8W *object = CreateDirectInput(&failed, &failure);
    if (object == NULL) {
        AddLogStringWide(L"DirectInput を使用しません。\n");
        LogPlatformFailure(failed, failure);
        s.NoUseDirectInputFlag = 1;
        LogIndentDown();
        return false;
    }
    s.DirectInput = object;

    ProcessMessageNoLock();
    SetupJoypads();
    StartMouseDevice(object);

    s.LastKeyboardUpdateTime = GetInputTime();
    StartKeyboardDevice(object);
    s.LastKeyboardUpdateTime = GetInputTime();
    LogIndentDown();
    AddLogStringWide(L"DirectInput 関連の初期化は正常に終了しました\n");
    return true;
}

}  // namespace

int InitializeDirectInput(void)
{
    InputStateData &s = InputState;
    if (s.DirectInput != NULL || s.DeviceStartRunningFlag) return 0;

    int started = s.StartedFlag;
    int noUse = s.NoUseDirectInputFlag;
    int use = s.UseDirectInputFlag;
    memset(&s, 0, sizeof(s));
    s.StartedFlag = started;
    s.NoUseDirectInputFlag = noUse;
    s.UseDirectInputFlag = use;
    s.DeviceStartRunningFlag = 1;

    if (s.NoUseDirectInputFlag || !StartDirectInput()) {
        s.JoypadNum = CountWinmmJoypads();
        AddLogFormat(L"パッドの数は %d 個です\n", s.JoypadNum);
        s.DirectInput = DIRECTINPUT_WINDOWS_PATH;
        AddLogStringWide(L"入力関連の初期化をしました\n");
    }
    s.DeviceStartRunningFlag = 0;
    return 0;
}

int TerminateDirectInput(void)
{
    InputStateData &s = InputState;
    if (s.DirectInput == NULL) return 0;
    if (s.DirectInput == DIRECTINPUT_WINDOWS_PATH) {
        AddLogStringWide(L"入力関連の終了処理... 完了\n");
        s.DirectInput = NULL;
        // XInput is loaded before DirectInput is asked for: a DirectInput that failed leaves it
        // loaded on this path.
        FreeXInput();
        return 0;
    }

    AddLogStringWide(L"DirectInput 関連の終了処理... 完了\n");
    ReleaseJoypads();
    if (s.KeyboardDevice != NULL) {
        s.KeyboardDevice->SetEventNotification(NULL);
        s.KeyboardDevice->Unacquire();
        ReleaseAndClear(s.KeyboardDevice);
    }
    if (s.KeyboardEvent != NULL) {
        CloseHandle(s.KeyboardEvent);
        s.KeyboardEvent = NULL;
    }
    if (s.MouseDevice != NULL) {
        s.MouseDevice->Unacquire();
        ReleaseAndClear(s.MouseDevice);
    }
    ReleaseAndClear(s.DirectInput);
    FreeXInput();
    return 0;
}

HANDLE StartDeviceEvent(IDirectInputDevice8W *Device, const wchar_t *Failure)
{
    HANDLE event = CreateEventW(NULL, TRUE, FALSE, NULL);
    if (event == NULL) {
        const DWORD error = GetLastError();
        AddLogStringWide(Failure);
        LogPlatformFailure(L"CreateEventW", error);
        return NULL;
    }
    HRESULT hr = Device->SetEventNotification(event);
    if (hr != DI_OK && hr != DI_POLLEDDEVICE) {
        AddLogStringWide(Failure);
        LogPlatformFailure(L"IDirectInputDevice8::SetEventNotification", hr);
        CloseHandle(event);
        return NULL;
    }
    return event;
}

// ---- data formats ---------------------------------------------------------------------------

const DIDATAFORMAT *GetKeyboardDataFormat(void)
{
    static DIOBJECTDATAFORMAT objects[KEYSTATE_TABLE_SIZE];
    static const DIDATAFORMAT format = [] {
        for (int i = 0; i < KEYSTATE_TABLE_SIZE; ++i)
            objects[i] = {&GUID_Key, static_cast<DWORD>(i), DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(i), 0};
        return DIDATAFORMAT{sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS,
                            KEYSTATE_TABLE_SIZE,  KEYSTATE_TABLE_SIZE,        objects};
    }();
    return &format;
}

const DIDATAFORMAT *GetMouseDataFormat(void)
{
    static DIOBJECTDATAFORMAT objects[11] = {
        {&GUID_XAxis, DIMOFS_X, DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
        {&GUID_YAxis, DIMOFS_Y, DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
        {&GUID_ZAxis, DIMOFS_Z, DIDFT_AXIS | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0},
    };
    static const DIDATAFORMAT format = [] {
        for (int i = 0; i < 8; ++i)
            objects[3 + i] = {NULL, static_cast<DWORD>(FIELD_OFFSET(DIMOUSESTATE2, rgbButtons) + i),
                              DIDFT_BUTTON | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0};
        return DIDATAFORMAT{
            sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, sizeof(DIMOUSESTATE2), 11, objects};
    }();
    return &format;
}

const DIDATAFORMAT *GetJoystickDataFormat(void)
{
    static DIOBJECTDATAFORMAT objects[44];
    static const DIDATAFORMAT format = [] {
        const GUID *axes[6] = {&GUID_XAxis, &GUID_YAxis, &GUID_ZAxis, &GUID_RxAxis, &GUID_RyAxis, &GUID_RzAxis};
        const DWORD axisType = DIDFT_AXIS | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL;
        int n = 0;
        for (int i = 0; i < 6; ++i)
            objects[n++] = {axes[i], static_cast<DWORD>(i * sizeof(LONG)), axisType, DIDOI_ASPECTPOSITION};
        for (int i = 0; i < 2; ++i)
            objects[n++] = {&GUID_Slider, static_cast<DWORD>(DIJOFS_SLIDER(i)), axisType, DIDOI_ASPECTPOSITION};
        for (int i = 0; i < 4; ++i)
            objects[n++] = {&GUID_POV, static_cast<DWORD>(DIJOFS_POV(i)),
                            DIDFT_POV | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0};
        for (int i = 0; i < 32; ++i)
            objects[n++] = {NULL, static_cast<DWORD>(DIJOFS_BUTTON(i)),
                            DIDFT_BUTTON | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0};
        return DIDATAFORMAT{sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_ABSAXIS,
                            sizeof(DIJOYSTATE),   static_cast<DWORD>(n),      objects};
    }();
    return &format;
}
