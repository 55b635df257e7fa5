// The library's main window as the window benchmarks open it: log off, window mode, kept
// running while inactive, its creation's messages taken.
#pragma once

#include <stdio.h>

#include "zovuz/core/zovuz_core.h"

// false (and a line printed) when the window could not be made.
inline bool StartBenchWindow()
{
    SetLogFileOutputFlag(0);
    ChangeWindowMode(1);
    SetAlwaysRunFlag(1);
    SetMainWindowText("tarvex bench");
    if (CreateMainWindow() != 0) {
        printf("the main window could not be made\n");
        return false;
    }
    ProcessMessage();
    return true;
}
