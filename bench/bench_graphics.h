// The library started for a graphics benchmark, on the software renderer or on Direct3D 11.
#pragma once

#include "zovuz/zovuz.h"

// Window mode, no v-sync, kept running while inactive; a client size of 0 keeps the screen's.
// false when the library did not start.
inline bool StartBenchGraphics(int Hardware, int Width, int Height, int ClientWidth = 0, int ClientHeight = 0)
{
    SetLogFileOutputFlag(0);
    SetUseHardwareRenderFlag(Hardware);
    // The library's start does not register the back end yet: the benchmark does.
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, Hardware ? GetGraphicsD3D11Functions() : nullptr);
    ChangeWindowMode(1);
    SetWaitVSyncFlag(0);
    SetAlwaysRunFlag(1);
    SetGraphMode(Width, Height, 32, 60);
    if (ClientWidth > 0) SetWindowSize(ClientWidth, ClientHeight);
    SetMainWindowText("tarvex bench");
    return LibraryInit() == 0;
}
