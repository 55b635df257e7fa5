// The dispatchers that only forward, made from the list of operations (graphics_hardware.h), and
// three that nearly do.
#include "zovuz/graphics/graphics_dispatch_internal.h"

// Prefixes the arguments of a call with a comma, and drops it when there are none.
#define GRAPHICS_HARDWARE_MORE_ARGUMENTS(...) , ##__VA_ARGS__

#define GRAPHICS_HARDWARE_FORWARDER(Dispatch, Result, Name, Params, Args)                                   \
    Result Graphics_Hardware_##Name Params                                                                  \
    {                                                                                                       \
        return Dispatch(&GraphicsHardwareFunctions::Name, L"" #Name GRAPHICS_HARDWARE_MORE_ARGUMENTS Args); \
    }
#define GRAPHICS_HARDWARE_FORWARD(Result, Name, Params, Args) \
    GRAPHICS_HARDWARE_FORWARDER(HardwareDispatch, Result, Name, Params, Args)
#define GRAPHICS_HARDWARE_FORWARD_D3D9(Result, Name, Params, Args) \
    GRAPHICS_HARDWARE_FORWARDER(D3D9OnlyDispatch, Result, Name, Params, Args)
#define GRAPHICS_HARDWARE_OWN(Result, Name, Params, Args)

GRAPHICS_HARDWARE_OPERATIONS(GRAPHICS_HARDWARE_FORWARD, GRAPHICS_HARDWARE_FORWARD_D3D9, GRAPHICS_HARDWARE_OWN)

int Graphics_Hardware_IsDeviceValid(void)
{
    // A back end that cannot say has no device to offer.
    return HardwareDispatch(&GraphicsHardwareFunctions::IsDeviceValid, L"IsDeviceValid") > 0;
}

int Graphics_Hardware_SetupSubBackBufferFullScreen(int)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetupSubBackBufferFullScreen, L"SetupSubBackBufferFullScreen");
}

int Graphics_Hardware_GetScreenWriteCount(uint32_t *Count)
{
    // Not a failure for a back end without the count: its presents are never skipped.
    const GraphicsHardwareFunctions *table = CurrentHardwareFunctions();
    if (table == nullptr || table->GetScreenWriteCount == nullptr) return -1;
    return table->GetScreenWriteCount(Count);
}

int Graphics_Hardware_PresentFrameOnDevice(void)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::PresentFrame, L"PresentFrame");
}
