// Joypads: XInput loading, the controller enumeration over XInput and DirectInput game
// controllers (with their force-feedback effects), the winmm joystick count, vibration timing
// and its application to the motors, and the devices' cooperative level.
#include "zovuz/core/desktop/windows/input_state_win.h"

#include "zovuz/core/clock.h"
#include "zovuz/core/com_ref.h"
#include "zovuz/core/text/log.h"
#include "zovuz/core/desktop/window.h"
#include "zovuz/core/windows/api_table.h"

#include <string.h>
#include <wchar.h>

namespace {

const DWORD JoypadAxisOffsets[6] = {DIJOFS_X, DIJOFS_Y, DIJOFS_Z, DIJOFS_RX, DIJOFS_RY, DIJOFS_RZ};

bool AnyXInputPad(void)
{
    for (int i = 0; i < InputState.JoypadNum; ++i)
        if (InputState.Joypad[i].XInputUserIndex >= 0) return true;
    return false;
}

void CopyName(wchar_t *Dest, const wchar_t *Source)
{
    wcsncpy(Dest, Source, JOYPAD_NAME_LENGTH - 1);
    Dest[JOYPAD_NAME_LENGTH - 1] = L'\0';
}

// The power a slot asks for now: its power while playing, else 0.
int RequestedPower(const JoypadVibrationSlot &Slot) { return Slot.PlayFlag ? Slot.Power : 0; }

WORD MotorSpeed(int Power)
{
    if (Power < 0) Power = 0;
    if (Power > JOYPAD_VIBRATION_MAXPOWER) Power = JOYPAD_VIBRATION_MAXPOWER;
    return static_cast<WORD>(Power * 65535 / JOYPAD_VIBRATION_MAXPOWER);
}

void SetXInputMotors(int UserIndex, int LeftPower, int RightPower)
{
    XInputSetStateFunction set = InputState.XInput.SetStateFunc;
    if (set == NULL) return;
    XINPUT_VIBRATION vibration = {MotorSpeed(LeftPower), MotorSpeed(RightPower)};
    set(static_cast<DWORD>(UserIndex), &vibration);
}

HRESULT SetEffectMagnitude(IDirectInputEffect *Effect, int Power, DWORD Flags)
{
    DICONSTANTFORCE force = {Power};
    DIEFFECT parameters = {};
    parameters.dwSize = sizeof(parameters);
    parameters.cbTypeSpecificParams = sizeof(force);
    parameters.lpvTypeSpecificParams = &force;
    return Effect->SetParameters(&parameters, Flags);
}

void ApplyXInputPad(JoypadRecord &Pad)
{
    int power[JOYPAD_VIBRATION_SLOTNUM];
    for (int slot = 0; slot < JOYPAD_VIBRATION_SLOTNUM; ++slot) power[slot] = RequestedPower(Pad.Vibration[slot]);
    if (Pad.Vibration[0].AppliedPower != power[0] || Pad.Vibration[1].AppliedPower != power[1]) {
        Pad.Vibration[0].AppliedPower = power[0];
        Pad.Vibration[1].AppliedPower = power[1];
        SetXInputMotors(Pad.XInputUserIndex, power[0], power[1]);
    }
    for (JoypadVibrationSlot &slot : Pad.Vibration) slot.AppliedPlayFlag = slot.PlayFlag;
}

void ApplyDirectInputPad(JoypadRecord &Pad)
{
    for (JoypadVibrationSlot &slot : Pad.Vibration) {
        if (slot.Effect == NULL) continue;
        int power = RequestedPower(slot);
        if (slot.AppliedPower == power && slot.AppliedPlayFlag == (power > 0 ? 1 : 0)) continue;
        bool powerChanged = slot.AppliedPower != power;
        if (power > 0 && slot.AppliedPlayFlag) {
            if (powerChanged) SetEffectMagnitude(slot.Effect, power, DIEP_TYPESPECIFICPARAMS | DIEP_START);
        } else if (power > 0) {
            if (powerChanged) SetEffectMagnitude(slot.Effect, power, DIEP_TYPESPECIFICPARAMS);
            slot.Effect->Start(INFINITE, 0);
        } else {
            if (slot.AppliedPlayFlag) slot.Effect->Stop();
            if (powerChanged) SetEffectMagnitude(slot.Effect, power, DIEP_TYPESPECIFICPARAMS);
        }
        slot.AppliedPower = power;
        slot.AppliedPlayFlag = slot.PlayFlag;
    }
}

// The inactive window: every motor silent, the requests kept for when it is active again.
void SilencePad(JoypadRecord &Pad)
{
    if (Pad.XInputUserIndex >= 0) {
        if (Pad.Vibration[0].AppliedPower != 0 || Pad.Vibration[1].AppliedPower != 0)
            SetXInputMotors(Pad.XInputUserIndex, 0, 0);
    } else {
        for (JoypadVibrationSlot &slot : Pad.Vibration) {
            if (slot.Effect == NULL || !slot.AppliedPlayFlag) continue;
            slot.Effect->Stop();
            if (slot.AppliedPower != 0) SetEffectMagnitude(slot.Effect, 0, DIEP_TYPESPECIFICPARAMS);
        }
    }
    for (JoypadVibrationSlot &slot : Pad.Vibration) {
        slot.AppliedPlayFlag = 0;
        slot.AppliedPower = 0;
    }
}

void StopVibrationSlot(JoypadRecord &Pad, int Slot)
{
    JoypadVibrationSlot &slot = Pad.Vibration[Slot];
    if (!JoypadHasVibration(&Pad, Slot) || !slot.PlayFlag) return;
    slot.PlayFlag = 0;
    slot.Power = JOYPAD_VIBRATION_MAXPOWER;
    RefreshJoypadVibration();
}

void ReleaseEffect(IDirectInputEffect *&Effect)
{
    if (Effect == NULL) return;
    Effect->Stop();
    Effect->Unload();
    ReleaseAndClear(Effect);
}

// Gives back what was made for a controller: a released one, or one that was not added.
void DropDevice(JoypadRecord &Pad, IDirectInputDevice8W *Device, HANDLE Event)
{
    for (JoypadVibrationSlot &slot : Pad.Vibration) ReleaseEffect(slot.Effect);
    Device->Release();
    if (Event != NULL) CloseHandle(Event);
}

// Sets a property on each of the six axes by offset; failures on X and Y are logged.
template <typename Property>
void SetEachAxis(IDirectInputDevice8W *Device, REFGUID Guid, Property Value, const wchar_t *const Failures[2])
{
    for (int i = 0; i < 6; ++i) {
        Property p = Value;
        p.diph.dwSize = sizeof(p);
        p.diph.dwHeaderSize = sizeof(p.diph);
        p.diph.dwHow = DIPH_BYOFFSET;
        p.diph.dwObj = JoypadAxisOffsets[i];
        HRESULT hr = Device->SetProperty(Guid, &p.diph);
        if (FAILED(hr) && i < 2) {
            AddLogStringWide(Failures[i]);
            LogPlatformFailure(L"IDirectInputDevice8::SetProperty", hr);
        }
    }
}

void SetAxisProperties(IDirectInputDevice8W *Device)
{
    static const wchar_t *const rangeFailures[2] = {L"ジョイパッドデバイスのＸ軸関係の設定に失敗しました\n",
                                                    L"ジョイパッドデバイスのＹ軸関係の設定に失敗しました\n"};
    static const wchar_t *const deadZoneFailures[2] = {L"ジョイパッドデバイスのＸ軸の無効ゾーンの設定に失敗しました\n",
                                                       L"ジョイパッドデバイスのＹ軸の無効ゾーンの設定に失敗しました\n"};
    DIPROPRANGE range = {};
    range.lMin = -1000;
    range.lMax = 1000;
    SetEachAxis(Device, DIPROP_RANGE, range, rangeFailures);
    DIPROPDWORD deadZone = {};
    deadZone.dwData = 3499;
    SetEachAxis(Device, DIPROP_DEADZONE, deadZone, deadZoneFailures);
}

// An effect of full gain and no end over the X and Y axes, started by no button.
DIEFFECT EffectOverXAndY(DWORD CoordinateFlag, DWORD *Axes, LONG *Direction, void *Parameters, DWORD ParametersSize)
{
    DIEFFECT effect = {};
    effect.dwSize = sizeof(effect);
    effect.dwFlags = CoordinateFlag | DIEFF_OBJECTOFFSETS;
    effect.dwDuration = INFINITE;
    effect.dwGain = 10000;
    effect.dwTriggerButton = DIEB_NOTRIGGER;
    effect.cAxes = 2;
    effect.rgdwAxes = Axes;
    effect.rglDirection = Direction;
    effect.cbTypeSpecificParams = ParametersSize;
    effect.lpvTypeSpecificParams = Parameters;
    return effect;
}

void CreateVibrationEffects(IDirectInputDevice8W *Device, JoypadRecord &Pad)
{
    DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};

    LONG polarDirection[2] = {0, 0};
    DIENVELOPE envelope = {sizeof(DIENVELOPE), 0, 500000, 0, 1000000};
    DIPERIODIC periodic = {10000, 0, 0, 1500000};
    DIEFFECT sine = EffectOverXAndY(DIEFF_POLAR, axes, polarDirection, &periodic, sizeof(periodic));
    sine.lpEnvelope = &envelope;
    if (FAILED(Device->CreateEffect(GUID_Sine, &sine, &Pad.Vibration[1].Effect, NULL))) Pad.Vibration[1].Effect = NULL;

    LONG cartesianDirection[2] = {0, 0};
    DICONSTANTFORCE constant = {10000};
    DIEFFECT force = EffectOverXAndY(DIEFF_CARTESIAN, axes, cartesianDirection, &constant, sizeof(constant));
    if (HRESULT hr = Device->CreateEffect(GUID_ConstantForce, &force, &Pad.Vibration[0].Effect, NULL); FAILED(hr)) {
        Pad.Vibration[0].Effect = NULL;
        AddLogStringWide(L"周期的エフェクトの作成に失敗しました。\n");
        LogPlatformFailure(L"IDirectInputDevice8::CreateEffect", hr);
    }

    for (JoypadVibrationSlot &slot : Pad.Vibration) {
        slot.PlayFlag = 0;
        slot.Power = JOYPAD_VIBRATION_MAXPOWER;
        slot.AppliedPlayFlag = 0;
        slot.AppliedPower = 0;
    }
}

}  // namespace

void LoadXInput(void)
{
    static const wchar_t *const libraries[3] = {L"xinput1_4.dll", L"xinput1_3.dll", L"xinput9_1_0.dll"};
    XInputModuleData &x = InputState.XInput;
    AddLogStringWide(L"XInput DLL の読み込み中... ");
    for (const wchar_t *name : libraries) {
        x.Module = LoadLibraryW(name);
        if (x.Module != NULL) {
            // XInput runs a thread of its own that can outlive a FreeLibrary of the module and
            // then executes unmapped code: the module stays mapped for the process, and the
            // FreeLibrary of the device end only gives back this start's reference.
            HMODULE pinned = NULL;
            GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, name, &pinned);
            break;
        }
    }
    if (x.Module == NULL) {
        AddLogStringWide(L"失敗、XInputは使用しません\n");
        return;
    }
    AddLogStringWide(L"成功\n");
    x.GetStateFunc = reinterpret_cast<XInputGetStateFunction>(GetProcAddress(x.Module, "XInputGetState"));
    x.SetStateFunc = reinterpret_cast<XInputSetStateFunction>(GetProcAddress(x.Module, "XInputSetState"));
}

void FreeXInput(void)
{
    XInputModuleData &x = InputState.XInput;
    if (x.Module != NULL) FreeLibrary(x.Module);
    x.Module = NULL;
    x.GetStateFunc = NULL;
    x.SetStateFunc = NULL;
}

int SetupJoypads(void)
{
    if (!InputState.StartedFlag) return -1;
    if (EnumerateJoypads() != 0) return -1;
    AddLogStringWide(L"ジョイパッドの初期化は正常に終了しました\n");
    return 0;
}

int EnumerateJoypads(void)
{
    InputStateData &s = InputState;
    if (!DirectInputObjectInUse()) return -1;
    ReleaseJoypads();
    AddLogStringWide(L"ジョイパッドの初期化... \n");
    s.JoypadNum = 0;

    if (s.XInput.GetStateFunc != NULL) {
        for (int user = 0; user < XINPUT_USER_MAXNUM; ++user) {
            XINPUT_STATE state = {};
            if (s.XInput.GetStateFunc(static_cast<DWORD>(user), &state) != ERROR_SUCCESS) continue;
            AddLogFormat(L"ジョイパッドナンバー %d は Xbox360 Controller です", s.JoypadNum);
            JoypadRecord &pad = s.Joypad[s.JoypadNum];
            memset(&pad, 0, sizeof(pad));
            pad.XInputUserIndex = user;
            pad.DeadZone = JOYPAD_DEADZONE;
            CopyName(pad.InstanceName, L"Controller (XBOX 360 For Windows)");
            CopyName(pad.ProductName, L"Controller (XBOX 360 For Windows)");
            s.JoypadNum++;
        }
    }

    s.DirectInput->EnumDevices(DI8DEVCLASS_GAMECTRL, EnumJoypadCallback, NULL, DIEDFL_ATTACHEDONLY);
    return 0;
}

BOOL CALLBACK EnumJoypadCallback(LPCDIDEVICEINSTANCEW Instance, LPVOID)
{
    InputStateData &s = InputState;
    if (s.JoypadNum >= JOYPAD_MAXNUM) return DIENUM_STOP;
    JoypadRecord &pad = s.Joypad[s.JoypadNum];
    memset(&pad, 0, sizeof(pad));
    pad.XInputUserIndex = -1;

    IDirectInputDevice8W *device = NULL;
    if (HRESULT hr = s.DirectInput->CreateDevice(Instance->guidInstance, &device, NULL); FAILED(hr) || device == NULL) {
        AddLogStringWide(L"入力装置の取得に失敗しました\n");
        LogPlatformFailure(L"IDirectInput8::CreateDevice", hr);
        return DIENUM_CONTINUE;
    }

    DIDEVICEINSTANCEW info = {};
    info.dwSize = sizeof(info);
    device->GetDeviceInfo(&info);
    // An XInput controller's DirectInput twin: it is served through XInput already.
    if (wcsstr(info.tszInstanceName, L"XBOX 360 For Windows") != NULL && AnyXInputPad()) {
        device->Release();
        return DIENUM_CONTINUE;
    }

    AddLogStringWide(L"入力装置を見つけました\n");
    CopyName(pad.InstanceName, info.tszInstanceName);
    CopyName(pad.ProductName, info.tszProductName);
    LogIndentUp();
    AddLogFormat(L"Device Instance Name : %s", pad.InstanceName);
    AddLogFormat(L"Device Product Name  : %s", pad.ProductName);
    LogIndentDown();

    if (HRESULT hr = device->SetDataFormat(GetJoystickDataFormat()); FAILED(hr)) {
        device->Release();
        AddLogStringWide(L"ジョイパッドデバイスではありませんでした、又は設定に失敗しました\n");
        LogPlatformFailure(L"IDirectInputDevice8::SetDataFormat", hr);
        return DIENUM_CONTINUE;
    }
    if (HRESULT hr = device->SetCooperativeLevel(GetMainWindowHandle(), DISCL_EXCLUSIVE | DISCL_FOREGROUND);
        FAILED(hr)) {
        AddLogStringWide(L"ジョイパッドデバイスの協調レベルの設定に失敗しました\n");
        LogPlatformFailure(L"IDirectInputDevice8::SetCooperativeLevel", hr);
    }

    SetAxisProperties(device);
    pad.DeadZone = JOYPAD_DEADZONE;
    CreateVibrationEffects(device, pad);

    HANDLE event = StartDeviceEvent(device, L"ジョイパッドイベントのセットアップが失敗しました\n");
    if (event == NULL) {
        DropDevice(pad, device, NULL);
        memset(&pad, 0, sizeof(pad));
        return DIENUM_CONTINUE;
    }

    device->Acquire();
    pad.Device = device;
    pad.Event = event;
    memset(&pad.State, 0, sizeof(pad.State));
    s.JoypadNum++;
    AddLogStringWide(L"ジョイパッドの追加は正常に終了しました\n");
    return s.JoypadNum != JOYPAD_MAXNUM ? DIENUM_CONTINUE : DIENUM_STOP;
}

int CountWinmmJoypads(void)
{
    InputStateData &s = InputState;
    if (WinAPIData.joyGetDevCapsWFunc == NULL) LoadWinAPI();
    if (WinAPIData.joyGetDevCapsWFunc == NULL) return 0;
    int count = 0;
    for (UINT id = 0; id < JOYPAD_MAXNUM; ++id) {
        JOYCAPSW caps = {};
        if (WinAPIData.joyGetDevCapsWFunc(id, &caps, sizeof(caps)) != JOYERR_NOERROR) break;
        JoypadRecord &pad = s.Joypad[count];
        pad.DeadZone = JOYPAD_DEADZONE;
        pad.HasZAndRAxisFlag = (caps.wCaps & JOYCAPS_HASZ) && (caps.wCaps & JOYCAPS_HASR) ? 1 : 0;
        count++;
    }
    return count;
}

int JoypadHasVibration(const JoypadRecord *Pad, int Slot)
{
    if (Slot < 0 || Slot >= JOYPAD_VIBRATION_SLOTNUM) return 0;
    if (Pad->XInputUserIndex >= 0) return 1;
    return Pad->Device != NULL && Pad->Vibration[Slot].Effect != NULL ? 1 : 0;
}

int UpdateJoypadInput(void)
{
    InputStateData &s = InputState;
    if (!s.StartedFlag) return 0;
    int now = GetNowMilliCount();
    for (int i = 0; i < s.JoypadNum; ++i) {
        for (int slot = 0; slot < JOYPAD_VIBRATION_SLOTNUM; ++slot) {
            JoypadVibrationSlot &v = s.Joypad[i].Vibration[slot];
            if (!JoypadHasVibration(&s.Joypad[i], slot) || !v.PlayFlag || v.PlayTime < 0) continue;
            if (now != v.LastTime) {
                // A clock that went backwards counts nothing.
                if (now > v.LastTime) v.ElapsedTime += now - v.LastTime;
                v.LastTime = now;
            }
            if (v.ElapsedTime >= v.PlayTime) StopJoypadVibration(i + 1, slot);
        }
    }
    if (s.StartedFlag) ApplyJoypadVibration();
    return 0;
}

int RefreshJoypadVibration(void)
{
    if (InputState.StartedFlag) ApplyJoypadVibration();
    return 0;
}

int ApplyJoypadVibration(void)
{
    InputStateData &s = InputState;
    if (!DirectInputObjectInUse()) return 0;
    bool active = GetWindowActiveFlag() != 0;
    for (int i = 0; i < s.JoypadNum; ++i) {
        JoypadRecord &pad = s.Joypad[i];
        if (!active)
            SilencePad(pad);
        else if (pad.XInputUserIndex >= 0)
            ApplyXInputPad(pad);
        else
            ApplyDirectInputPad(pad);
    }
    return 0;
}

int StopJoypadVibration(int PadNumber, int Slot)
{
    int result = 0;
    if (!RunInputPrologue(&result)) return result;
    InputStateData &s = InputState;
    int index = (PadNumber & ~0x1000) - 1;
    if (index < 0 || index >= s.JoypadNum) return 0;
    if (Slot == -1) {
        StopVibrationSlot(s.Joypad[index], 0);
        StopVibrationSlot(s.Joypad[index], 1);
    } else if (Slot >= 0 && Slot < JOYPAD_VIBRATION_SLOTNUM) {
        StopVibrationSlot(s.Joypad[index], Slot);
    }
    return 0;
}

int RefreshDeviceCooperation(void)
{
    InputStateData &s = InputState;
    if (!DirectInputObjectInUse()) return 0;
    DWORD level =
        GetWindowActiveFlag() ? (DISCL_EXCLUSIVE | DISCL_FOREGROUND) : (DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    for (int i = 0; i < s.JoypadNum; ++i) {
        IDirectInputDevice8W *device = s.Joypad[i].Device;
        if (device == NULL) continue;
        device->Unacquire();
        device->SetCooperativeLevel(GetMainWindowHandle(), level);
        device->Acquire();
    }
    if (s.KeyboardDevice != NULL) {
        s.KeyboardDevice->Unacquire();
        s.KeyboardDevice->Acquire();
    }
    return 0;
}

int ReleaseJoypads(void)
{
    if (!InputState.StartedFlag) return -1;
    return ReleaseJoypadDevices();
}

int ReleaseJoypadDevices(void)
{
    InputStateData &s = InputState;
    if (!DirectInputObjectInUse()) return -1;
    for (int i = 0; i < s.JoypadNum; ++i) {
        JoypadRecord &pad = s.Joypad[i];
        if (pad.Device == NULL) continue;
        pad.Device->Unacquire();
        pad.Device->SetEventNotification(NULL);
        DropDevice(pad, pad.Device, pad.Event);
    }
    memset(s.Joypad, 0, sizeof(s.Joypad));
    s.JoypadNum = 0;
    return 0;
}
