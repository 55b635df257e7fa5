// Joypads over stand-in devices: the winmm count, the XInput and DirectInput enumeration, the
// vibration timing, its application to XInput motors and DirectInput effects, the window's
// deactivation, the pad number mapping and the devices' release.
#include "tests/support/test_files.h"
#include "zovuz/core/windows/api_table.h"
#include "zovuz/core/desktop/windows/input_state_win.h"
#include "zovuz/core/desktop/windows/window_state_win.h"

#include <gtest/gtest.h>

#include <stdarg.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace {

std::string Calls;  // what the stand-in devices were asked, in order
void Note(const char *Format, ...)
{
    char text[128];
    va_list args;
    va_start(args, Format);
    vsnprintf(text, sizeof(text), Format, args);
    va_end(args);
    Calls += text;
}

DWORD FakeNow;
DWORD WINAPI FakeTimeGetTime(void) { return FakeNow; }

// ---- XInput and winmm ----------------------------------------------------------------------
unsigned ConnectedUsers;  // bit per XInput user index
DWORD WINAPI FakeXInputGetState(DWORD User, XINPUT_STATE *) { return (ConnectedUsers >> User) & 1 ? ERROR_SUCCESS : ERROR_DEVICE_NOT_CONNECTED; }
DWORD WINAPI FakeXInputSetState(DWORD User, XINPUT_VIBRATION *V)
{
    Note("x%lu %u %u;", User, V->wLeftMotorSpeed, V->wRightMotorSpeed);
    return ERROR_SUCCESS;
}

std::vector<WORD> JoystickCaps;  // one entry per joystick that answers
MMRESULT WINAPI FakeJoyGetDevCaps(UINT_PTR Id, LPJOYCAPSW Caps, UINT)
{
    if (Id >= JoystickCaps.size()) return JOYERR_UNPLUGGED;
    Caps->wCaps = JoystickCaps[Id];
    return JOYERR_NOERROR;
}

// ---- DirectInput -----------------------------------------------------------------------------
#define NOT_USED(Name, Params) STDMETHOD(Name) Params override { return E_NOTIMPL; }

struct FakeEffect : IDirectInputEffect {
    int Pad = 0, Slot = 0;
    STDMETHOD(QueryInterface)(REFIID, void **) override { return E_NOINTERFACE; }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { Note("e%d.%d release;", Pad, Slot); return 1; }
    NOT_USED(Initialize, (HINSTANCE, DWORD, REFGUID))
    NOT_USED(GetEffectGuid, (LPGUID))
    NOT_USED(GetParameters, (LPDIEFFECT, DWORD))
    STDMETHOD(SetParameters)(LPCDIEFFECT Effect, DWORD Flags) override
    {
        Note("e%d.%d set %ld %lx;", Pad, Slot, static_cast<const DICONSTANTFORCE *>(Effect->lpvTypeSpecificParams)->lMagnitude, Flags);
        return S_OK;
    }
    STDMETHOD(Start)(DWORD, DWORD) override { Note("e%d.%d start;", Pad, Slot); return S_OK; }
    STDMETHOD(Stop)() override { Note("e%d.%d stop;", Pad, Slot); return S_OK; }
    NOT_USED(GetEffectStatus, (LPDWORD))
    NOT_USED(Download, ())
    STDMETHOD(Unload)() override { Note("e%d.%d unload;", Pad, Slot); return S_OK; }
    NOT_USED(Escape, (LPDIEFFESCAPE))
};

struct FakeDevice : IDirectInputDevice8W {
    int Id = 0;
    std::wstring Name;
    bool FormatFails = false;
    FakeEffect Effects[2];
    STDMETHOD(QueryInterface)(REFIID, void **) override { return E_NOINTERFACE; }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { Note("d%d release;", Id); return 1; }
    NOT_USED(GetCapabilities, (LPDIDEVCAPS))
    NOT_USED(EnumObjects, (LPDIENUMDEVICEOBJECTSCALLBACKW, LPVOID, DWORD))
    NOT_USED(GetProperty, (REFGUID, LPDIPROPHEADER))
    STDMETHOD(SetProperty)(REFGUID, LPCDIPROPHEADER) override { return S_OK; }
    STDMETHOD(Acquire)() override { Note("d%d acquire;", Id); return S_OK; }
    STDMETHOD(Unacquire)() override { Note("d%d unacquire;", Id); return S_OK; }
    NOT_USED(GetDeviceState, (DWORD, LPVOID))
    NOT_USED(GetDeviceData, (DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD))
    STDMETHOD(SetDataFormat)(LPCDIDATAFORMAT Format) override
    {
        return FormatFails || Format->dwDataSize != sizeof(DIJOYSTATE) ? DIERR_INVALIDPARAM : S_OK;
    }
    STDMETHOD(SetEventNotification)(HANDLE Event) override { if (!Event) Note("d%d no event;", Id); return S_OK; }
    STDMETHOD(SetCooperativeLevel)(HWND, DWORD Flags) override { Note("d%d level %lx;", Id, Flags); return S_OK; }
    NOT_USED(GetObjectInfo, (LPDIDEVICEOBJECTINSTANCEW, DWORD, DWORD))
    STDMETHOD(GetDeviceInfo)(LPDIDEVICEINSTANCEW Info) override
    {
        wcscpy(Info->tszInstanceName, Name.c_str());
        wcscpy(Info->tszProductName, (Name + L" product").c_str());
        return S_OK;
    }
    NOT_USED(RunControlPanel, (HWND, DWORD))
    NOT_USED(Initialize, (HINSTANCE, DWORD, REFGUID))
    STDMETHOD(CreateEffect)(REFGUID Guid, LPCDIEFFECT, LPDIRECTINPUTEFFECT *Effect, LPUNKNOWN) override
    {
        *Effect = &Effects[IsEqualGUID(Guid, GUID_Sine) ? 1 : 0];
        return S_OK;
    }
    NOT_USED(EnumEffects, (LPDIENUMEFFECTSCALLBACKW, LPVOID, DWORD))
    NOT_USED(GetEffectInfo, (LPDIEFFECTINFOW, REFGUID))
    NOT_USED(GetForceFeedbackState, (LPDWORD))
    NOT_USED(SendForceFeedbackCommand, (DWORD))
    NOT_USED(EnumCreatedEffectObjects, (LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD))
    NOT_USED(Escape, (LPDIEFFESCAPE))
    NOT_USED(Poll, ())
    NOT_USED(SendDeviceData, (DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD))
    NOT_USED(EnumEffectsInFile, (LPCWSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD))
    NOT_USED(WriteEffectToFile, (LPCWSTR, DWORD, LPDIFILEEFFECT, DWORD))
    NOT_USED(BuildActionMap, (LPDIACTIONFORMATW, LPCWSTR, DWORD))
    NOT_USED(SetActionMap, (LPDIACTIONFORMATW, LPCWSTR, DWORD))
    NOT_USED(GetImageInfo, (LPDIDEVICEIMAGEINFOHEADERW))
};

// Enumerates its devices in order; the instance GUID's first word is the device's index.
struct FakeDirectInput : IDirectInput8W {
    std::vector<FakeDevice> Devices;
    STDMETHOD(QueryInterface)(REFIID, void **) override { return E_NOINTERFACE; }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(CreateDevice)(REFGUID Guid, LPDIRECTINPUTDEVICE8W *Device, LPUNKNOWN) override
    {
        *Device = &Devices[Guid.Data1];
        return S_OK;
    }
    STDMETHOD(EnumDevices)(DWORD, LPDIENUMDEVICESCALLBACKW Callback, LPVOID Context, DWORD) override
    {
        for (size_t i = 0; i < Devices.size(); ++i) {
            DIDEVICEINSTANCEW instance = {};
            instance.dwSize = sizeof(instance);
            instance.guidInstance.Data1 = static_cast<unsigned long>(i);
            if (Callback(&instance, Context) == DIENUM_STOP) {
                Note("stopped after %u;", static_cast<unsigned>(i + 1));
                break;
            }
        }
        return S_OK;
    }
    NOT_USED(GetDeviceStatus, (REFGUID))
    NOT_USED(RunControlPanel, (HWND, DWORD))
    NOT_USED(Initialize, (HINSTANCE, DWORD))
    NOT_USED(FindDevice, (REFGUID, LPCWSTR, LPGUID))
    NOT_USED(EnumDevicesBySemantics, (LPCWSTR, LPDIACTIONFORMATW, LPDIENUMDEVICESBYSEMANTICSCBW, LPVOID, DWORD))
    NOT_USED(ConfigureDevices, (LPDICONFIGUREDEVICESCALLBACK, LPDICONFIGUREDEVICESPARAMSW, DWORD, LPVOID))
};

class Joypad : public testing::Test {
protected:
    void SetUp() override
    {
        LoadWinAPI();
        Saved = WinAPIData;
        WinAPIData.timeGetTimeFunc = FakeTimeGetTime;
        WinAPIData.joyGetDevCapsWFunc = FakeJoyGetDevCaps;
        FakeNow = 5000;
        JoystickCaps.clear();
        ConnectedUsers = 0;
        Calls.clear();
        MainWindowState.WindowActiveFlag = 1;
        SetDirectInputUseFlag(0);
    }
    void TearDown() override
    {
        if (InputState.DirectInput == &DirectInput) {
            ReleaseJoypadDevices();
            InputState.DirectInput = DIRECTINPUT_WINDOWS_PATH;
        }
        TerminateInput();
        WinAPIData = Saved;
        MainWindowState.WindowActiveFlag = 0;
    }

    // Input started on the Windows path, then the stand-in DirectInput in its place, the
    // stand-in XInput entry points, and the joypads enumerated.
    void StartWithDevices(unsigned Users, const std::vector<std::wstring> &Names)
    {
        ASSERT_EQ(0, InitializeInput());
        DirectInput.Devices.assign(Names.size(), FakeDevice());
        for (size_t i = 0; i < Names.size(); ++i) {
            FakeDevice &d = DirectInput.Devices[i];
            d.Id = static_cast<int>(i);
            d.Name = Names[i];
            d.FormatFails = Names[i] == L"keypad";
            for (int slot = 0; slot < 2; ++slot) {
                d.Effects[slot].Pad = d.Id;
                d.Effects[slot].Slot = slot;
            }
        }
        InputState.DirectInput = &DirectInput;
        InputState.XInput.GetStateFunc = FakeXInputGetState;
        InputState.XInput.SetStateFunc = FakeXInputSetState;
        ConnectedUsers = Users;
        ASSERT_EQ(0, SetupJoypads());
        Calls.clear();
    }

    static void Play(int Pad, int Slot, int Power, int Time)
    {
        JoypadVibrationSlot &v = InputState.Joypad[Pad].Vibration[Slot];
        v.PlayFlag = 1;
        v.Power = Power;
        v.PlayTime = Time;
        v.ElapsedTime = 0;
        v.LastTime = static_cast<int>(FakeNow);
    }

    // The calls one step makes.
    template <typename Step> static std::string CallsOf(Step S)
    {
        Calls.clear();
        S();
        return Calls;
    }

    WinAPIFunctionTable Saved;
    FakeDirectInput DirectInput;
};

TEST_F(Joypad, WindowsPathCountsWinmmJoysticksUntilTheFirstThatFails)
{
    JoystickCaps = {JOYCAPS_HASZ, JOYCAPS_HASZ | JOYCAPS_HASR, JOYCAPS_HASR};
    LogAppendReader log;
    ASSERT_EQ(0, InitializeInput());
    EXPECT_EQ(3, InputState.JoypadNum);
    EXPECT_NE(std::wstring::npos, log.Appended().find(L"パッドの数は 3 個です"));
    const int zAndR[3] = {0, 1, 0};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(zAndR[i], InputState.Joypad[i].HasZAndRAxisFlag) << i;
        EXPECT_EQ(JOYPAD_DEADZONE, InputState.Joypad[i].DeadZone) << i;
        EXPECT_EQ(0xFFFFFFFFu, InputState.Joypad[i].State.rgdwPOV[3]) << "centred";
    }
    EXPECT_EQ(0, InputState.Joypad[3].DeadZone);
}

HRESULT WINAPI FailingCoCreateInstance(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID *Object)
{
    *Object = NULL;
    return REGDB_E_CLASSNOTREG;
}

// Without a DirectInput object the start takes the Windows path and the end gives XInput back.
TEST_F(Joypad, DirectInputRefusedFallsBackToTheWindowsPath)
{
    WinAPIData.CoCreateInstanceFunc = FailingCoCreateInstance;
    SetDirectInputUseFlag(1);
    LogAppendReader log;
    ASSERT_EQ(0, InitializeInput());
    std::wstring text = log.Appended();
    EXPECT_NE(std::wstring::npos, text.find(L"DirectInput8 の取得を試みます...取得に失敗。DirectInput を使用しません。"));
    EXPECT_NE(std::wstring::npos, text.find(L"CoCreateInstance(DirectInput8) failed: 0x80040154"));  // the code, after it
    EXPECT_NE(std::wstring::npos, text.find(L"パッドの数は 0 個です"));
    EXPECT_EQ(DIRECTINPUT_WINDOWS_PATH, InputState.DirectInput);
    EXPECT_EQ(1, InputState.NoUseDirectInputFlag);
    EXPECT_NE(nullptr, InputState.XInput.Module);
    EXPECT_EQ(0, TerminateInput());
    EXPECT_EQ(nullptr, InputState.XInput.Module);
    EXPECT_EQ(nullptr, InputState.XInput.GetStateFunc);
}

TEST_F(Joypad, XInputPadsComeFirstAndTheirDirectInputTwinsAreLeftOut)
{
    struct Case {
        unsigned Users;
        std::vector<int> XInputIndex;  // of each record in order
        std::vector<std::wstring> Names;
    } cases[] = {
        {0x5, {0, 2, -1}, {L"Controller (XBOX 360 For Windows)", L"keypad", L"Stick"}},
        {0x0, {-1, -1}, {L"Controller (XBOX 360 For Windows)", L"keypad", L"Stick"}},
    };
    for (const Case &c : cases) {
        LogAppendReader log;
        StartWithDevices(c.Users, {L"Controller (XBOX 360 For Windows)", L"keypad", L"Stick"});
        ASSERT_EQ(static_cast<int>(c.XInputIndex.size()), InputState.JoypadNum) << c.Users;
        for (size_t i = 0; i < c.XInputIndex.size(); ++i) {
            const JoypadRecord &pad = InputState.Joypad[i];
            EXPECT_EQ(c.XInputIndex[i], pad.XInputUserIndex) << i;
            EXPECT_EQ(JOYPAD_DEADZONE, pad.DeadZone) << i;
            EXPECT_EQ(c.XInputIndex[i] < 0, pad.Device != nullptr) << i;
            EXPECT_EQ(1, JoypadHasVibration(&pad, 1)) << i;
        }
        const JoypadRecord &last = InputState.Joypad[InputState.JoypadNum - 1];
        EXPECT_STREQ(L"Stick", last.InstanceName);
        EXPECT_STREQ(L"Stick product", last.ProductName);
        std::wstring text = log.Appended();
        EXPECT_EQ(c.Users != 0, text.find(L"ジョイパッドナンバー 1 は Xbox360 Controller です") != std::wstring::npos);
        EXPECT_NE(std::wstring::npos, text.find(L"Device Instance Name : Stick"));
        EXPECT_NE(std::wstring::npos, text.find(L"ジョイパッドデバイスではありませんでした"));
        EXPECT_EQ(0, ReleaseJoypadDevices());
        TearDown();
        SetUp();
    }
}

TEST_F(Joypad, EnumerationStopsAtSixteenControllers)
{
    StartWithDevices(0x3, std::vector<std::wstring>(20, L"Stick"));
    EXPECT_EQ(JOYPAD_MAXNUM, InputState.JoypadNum);
    EXPECT_EQ(-1, InputState.Joypad[15].XInputUserIndex);
    Calls.clear();
    EnumerateJoypads();
    EXPECT_NE(std::string::npos, Calls.find("stopped after 14;")) << Calls;
}

TEST_F(Joypad, XInputMotorsFollowTimedVibrationAndTheWindowsActivity)
{
    StartWithDevices(0x2, {});
    Play(0, 0, 5000, 100);
    Play(0, 1, 10000, -1);
    struct Step {
        DWORD Advance;
        int Active;
        const char *Calls;
    } steps[] = {
        {0, 1, "x1 32767 65535;"},
        {60, 1, ""},                  // nothing changed
        {40, 1, "x1 0 65535;"},       // slot 0 has played its 100 ms
        {1000, 1, ""},                // slot 1 has no limit
        {0, 0, "x1 0 0;"},            // the inactive window silences the motors
        {0, 0, ""},
        {0, 1, "x1 0 65535;"},        // and they resume
    };
    for (const Step &s : steps) {
        FakeNow += s.Advance;
        MainWindowState.WindowActiveFlag = s.Active;
        EXPECT_EQ(s.Calls, CallsOf([] { UpdateJoypadInput(); })) << FakeNow;
    }
    EXPECT_EQ(0, InputState.Joypad[0].Vibration[0].PlayFlag);
    EXPECT_EQ(JOYPAD_VIBRATION_MAXPOWER, InputState.Joypad[0].Vibration[0].Power);

    // A clock that went backwards counts nothing.
    Play(0, 0, 5000, 100);
    FakeNow -= 500;
    UpdateJoypadInput();
    EXPECT_EQ(0, InputState.Joypad[0].Vibration[0].ElapsedTime);
}

TEST_F(Joypad, DirectInputEffectsStartChangeAndStop)
{
    StartWithDevices(0, {L"Stick"});
    Play(0, 0, 5000, -1);
    struct Step {
        int Power, Active;
        const char *Calls;
    } steps[] = {
        {5000, 1, "e0.0 set 5000 100;e0.0 start;"},
        {8000, 1, "e0.0 set 8000 20000100;"},  // type-specific parameters and start
        {8000, 0, "e0.0 stop;e0.0 set 0 100;"},
        {8000, 1, "e0.0 set 8000 100;e0.0 start;"},
    };
    for (const Step &s : steps) {
        InputState.Joypad[0].Vibration[0].Power = s.Power;
        MainWindowState.WindowActiveFlag = s.Active;
        EXPECT_EQ(s.Calls, CallsOf([] { RefreshJoypadVibration(); })) << s.Power << " " << s.Active;
    }
    EXPECT_EQ("e0.0 stop;e0.0 set 0 100;", CallsOf([] { StopJoypadVibration(1, 0); }));
    EXPECT_EQ("d0 unacquire;d0 level 5;d0 acquire;", CallsOf([] { RefreshDeviceCooperation(); }));
    MainWindowState.WindowActiveFlag = 0;
    EXPECT_EQ("d0 unacquire;d0 level a;d0 acquire;", CallsOf([] { RefreshDeviceCooperation(); }));
    EXPECT_EQ("d0 unacquire;d0 no event;e0.0 stop;e0.0 unload;e0.0 release;e0.1 stop;e0.1 unload;e0.1 release;d0 release;",
              CallsOf([] { ReleaseJoypadDevices(); }));
    EXPECT_EQ(0, InputState.JoypadNum);
}

TEST_F(Joypad, StopTakesPadNumbersFromOne)
{
    StartWithDevices(0x3, {});
    struct Case {
        int Number, Slot;
        int Playing[2][2];  // pad, slot
    } cases[] = {
        {0x1001, 0, {{0, 1}, {1, 1}}},
        {2, -1, {{1, 1}, {0, 0}}},
        {0, 0, {{1, 1}, {1, 1}}},
        {3, 0, {{1, 1}, {1, 1}}},
        {1, 2, {{1, 1}, {1, 1}}},
    };
    for (const Case &c : cases) {
        for (int pad = 0; pad < 2; ++pad)
            for (int slot = 0; slot < 2; ++slot) Play(pad, slot, 5000, -1);
        StopJoypadVibration(c.Number, c.Slot);
        for (int pad = 0; pad < 2; ++pad)
            for (int slot = 0; slot < 2; ++slot)
                EXPECT_EQ(c.Playing[pad][slot], InputState.Joypad[pad].Vibration[slot].PlayFlag)
                    << c.Number << " " << c.Slot << " pad " << pad << " slot " << slot;
    }
}

} // namespace
