// Inside the graphics layer: the software renderer's drawers. The steps every drawing call goes
// through before it reaches them are the front end's (draw_steps_internal.h). Never included from
// app/.
//
// The drawers write one MEMIMG (the software draw target) with the software renderer's own
// settings (MemImgManage): the draw area clips, the blend mode and parameter give the opacity
// (mode 0 opaque, mode 1 the parameter; other modes draw nothing), the draw-bright colour tints.
// They follow the geometry the Direct3D back ends produce: boxes [x1, x2) x [y1, y2), lines
// without their end point, pixel centres for quadrilaterals, nearest sampling at pixel centres for
// stretched images. 16-bit 5-6-5 and 32-bit targets, with or without alpha, are drawn; a target
// with alpha receives the "over" alpha of what is drawn.
#pragma once

#include <stdint.h>

#include "zovuz/graphics/image/memimg_internal.h"

// ---- Primitives (each 0; nothing is drawn for an empty result) ----------------------------------

int SoftDrawFillBox(MEMIMG *Dest, int X1, int Y1, int X2, int Y2, unsigned int Color);
// The four bands of the front end's line box.
int SoftDrawLineBox(MEMIMG *Dest, int X1, int Y1, int X2, int Y2, unsigned int Color);
int SoftDrawLine(MEMIMG *Dest, int X1, int Y1, int X2, int Y2, unsigned int Color);
// A midpoint circle, or with FillFlag the disc it bounds.
int SoftDrawCircle(MEMIMG *Dest, int X, int Y, int Radius, unsigned int Color, int FillFlag);
// The spans of the ring span table; -1 when the table cannot grow.
int SoftDrawCircleThickness(MEMIMG *Dest, int X, int Y, int Radius, unsigned int Color, int Thickness);
// The quadrilateral of the triangle strip (X1, Y1), (X2, Y2), (X3, Y3), (X4, Y4): pixels whose centre
// lies inside.
int SoftDrawQuadrangle(MEMIMG *Dest, int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4,
                       unsigned int Color);

// ---- Images ------------------------------------------------------------------------------------

// What of a source image is see-through.
struct SoftImageSource
{
    const MEMIMG *Image;
    int KeyFlag;    // pixels whose colour bits equal Key are skipped
    uint32_t Key;   // a pixel value of the image (a palette index for palette images)
    int AlphaFlag;  // the image's alpha weighs each pixel
};
// A graph's image drawn with or without its transparent flag: the alpha channel of an alpha
// image, else the image's colour key.
SoftImageSource GraphImageSource(const MEMIMG *Image, int TransFlag);

// The whole source with its left edge on X1, right edge on X2, top on Y1, bottom on Y2 (mirrored
// where X1 > X2 or Y1 > Y2), one source pixel per pixel centre; 0, or -1 when the work buffer
// cannot grow. Nothing for a zero width or height.
int SoftDrawImage(MEMIMG *Dest, int X1, int Y1, int X2, int Y2, const SoftImageSource *Source);
// The source row SoftDrawImage reads for target row Y of an image of Height rows whose top edge
// is on Y1 and bottom edge on Y2.
int SoftImageSourceRow(int Y, int Y1, int Y2, int Height);
// The part of Image (source columns and rows, right and bottom excluded) that SoftDrawImage reads
// drawing it from (X1, Y1) to (X2, Y2) onto Dest through the draw area; false when it reads none.
bool SoftImageSourcePart(const MEMIMG *Dest, const MEMIMG *Image, int X1, int Y1, int X2, int Y2, ImageRect *Part);
// 1 when SoftDrawImage would put the source's pixels onto Dest as they are, with the settings in
// effect (the same pixel format, nothing see-through, no tint, opaque, not onto itself): what
// it draws then does not depend on what Dest held.
int SoftDrawImageCopies(const MEMIMG *Dest, const SoftImageSource *Source);
