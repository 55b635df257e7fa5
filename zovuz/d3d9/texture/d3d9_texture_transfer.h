// The pixel arithmetic of moving an image into a Direct3D 9 texture level: DXT levels copied
// block row by block row into locked memory of any pitch, the edge column and row repeated beside
// a sub-image.
#pragma once

#include <stddef.h>

#include "zovuz/graphics/zovuz_graphics_backend.h"

// Bytes of one block row of a DXT level Width pixels wide: 8 bytes per 4 x 4 block at 4 bits per
// pixel, 16 at 8.
size_t D3D9DXTBlockRowBytes(int BitsPerPixel, int Width);
// Bytes of a whole DXT level, its blocks packed: every block row of (Height + 3) / 4.
size_t D3D9DXTLevelBytes(int BitsPerPixel, int Width, int Height);

// Copies a packed DXT level into locked memory whose block rows lie DestPitch bytes apart. The
// packed bytes read, D3D9DXTLevelBytes.
size_t D3D9CopyDXTLevel(unsigned char *Dest, int DestPitch, const unsigned char *Source, int BitsPerPixel, int Width,
                        int Height);

// After Width x Height pixels were written at Dest: the column right of them repeats the last
// column (AddColumn), the row below them the last row (AddRow), and the corner the pixel
// diagonally inside. Only 2- and 4-byte pixels get a column; a row and corner take any size.
void D3D9FillTransferEdge(unsigned char *Dest, int Pitch, int BytesPerPixel, int Width, int Height, int AddColumn,
                          int AddRow);

// The D3DFORMAT of DXT kind Kind (1-5), 0 for any other kind.
unsigned D3D9DXTFormatOfKind(int Kind);
// 1 when a DXT-compressed format is Format.
int D3D9IsDXTFormat(unsigned Format);
// 1 when an image of DXT kind Kind must be decoded before it reaches a texture of SlotFormat: on
// the device (Hardware) unless the texture is of that DXT format, else whenever it is DXT.
int D3D9DXTMustConvert(int Hardware, unsigned SlotFormat, int Kind);

// One pixel of a draw target read as 0xFF000000 | R << 16 | G << 8 | B: float channels (halves or
// singles, a missing one 1.0) clamped to 0-255; 16- and 32-bit integer pixels split by their
// format; any other size 0.
unsigned D3D9PixelToARGB(const COLORDATA &ColorData, const void *Pixel);
