// The on-screen log area: text lines the screen flip can draw over the picture. Nothing in this
// program writes lines into it or sets its draw flag, so it is never drawn; start-up sets it up
// when a graphics device exists and shut-down releases it.
#pragma once

// 1 when the main window exists and the graphics back end's device object does (the Direct3D 11
// device for back end 2; the DirectDraw object for back end 1 and without hardware graphics),
// else 0. Without a graphics layer: 0.
int GetScreenLogDeviceReady(void);

// Sets the area up (font size 16, no font yet, text cleared): 0, also when already set up;
// -1 while no graphics device exists.
int InitializeScreenLog(void);

// Deletes the font the area made and takes the area down. 0.
int TerminateScreenLog(void);

// The draw flag the screen flip tests: always 0 here.
int GetScreenLogDrawFlag(void);
