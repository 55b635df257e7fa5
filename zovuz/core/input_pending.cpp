// Stand-ins for the keyboard, mouse and joypad layers, which are not built yet: nothing is read.
// The keyboard/mouse/joypad work replaces this file.
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
