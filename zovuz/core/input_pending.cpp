// Stand-ins for the keyboard, mouse, joypad and IME layers, which are not built yet: nothing is
// read and no IME message is handled. The keyboard/mouse/joypad and IME work replaces this file.
#include "zovuz/core/input_pending_internal.h"

int RefreshKeyboardInput(int)
{
    return 0;
}

int UpdateJoypadInput(void)
{
    return 0;
}

int RefreshJoypadVibration(void)
{
    return 0;
}

int RefreshDeviceCooperation(void)
{
    return 0;
}

int IsDirectInputMouseUsed(void)
{
    return 0;
}

int GetDirectInputWheelRotation(int)
{
    return 0;
}

void SetInputMessageFlag(int, int)
{
}

int ProcessInputString(void)
{
    return 0;
}

intptr_t ImeWindowMessageHandler(HWND__ *, unsigned int, uintptr_t, intptr_t)
{
    return 0;
}

int GetImeUseFlag(void)
{
    return 0;
}

int RestoreImeOnActivate(void)
{
    return 0;
}

int TerminateTextServices(void)
{
    return 0;
}
