// Inside the library: bridges between BASEIMAGE and Windows device-independent bitmaps.
#pragma once

#include <windows.h>

#include "zovuz/graphics/image/image_load_internal.h"

// Describes (top-down 16-, 24-bit or bit-field bitmaps; CopyFlag 1 copies the bits) or draws
// with GDI into a 24-bit image (every other bitmap). CopyFlag when described, 1 after a GDI
// drawing, -1 on failure.
int ConvertBitmapToBaseImage(const BITMAPINFO *BitmapInfo, const void *Bits, BASEIMAGE *Image, int CopyFlag);

// A top-down 8-bit (palette) or 24-bit bitmap of the image into BitmapInfo (room for 40 + 1024
// bytes). *Bits gets the image's own pixels when they serve as they are (result CopyFlag), else
// a new DxAlloc block (result 1). -1 on failure.
int ConvertBaseImageToBitmap(const BASEIMAGE *Image, BITMAPINFO *BitmapInfo, void **Bits, int CopyFlag, int Force24Bit);

// A GDI bitmap (DIB section) holding the bitmap, in Format's layout when one is given, mirrored
// left to right with MirrorFlag. 0 on failure.
HBITMAP CreateDIBGraph(const BITMAPINFO *BitmapInfo, const void *Bits, int MirrorFlag, const BASEIMAGE *Format);
HBITMAP CreateDIBGraphFromFileOrMemory(const wchar_t *FileName, const void *Memory, int MemorySize, int FromMemory,
                                       int MirrorFlag, const BASEIMAGE *Format);
HBITMAP CreateDIBGraphFromFile(const wchar_t *FileName, int MirrorFlag, const BASEIMAGE *Format);
