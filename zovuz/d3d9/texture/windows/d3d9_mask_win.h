// What the rest of the Direct3D 9 back end asks of the mask screen: the surface drawing lands in
// while a mask is in effect, and the draw target's own surface it stands in for.
#pragma once

#include "zovuz/d3d9/calls/windows/d3d9_calls.h"

// The mask screen's surface while a mask is in effect, else null.
IDirect3DSurface9 *Graphics_D3D9_Mask_ScreenSurfaceInUse(void);

// The draw target's own surface: a shadow map's, a graph's render surface or the level 0 of its
// current face, else the screen's (the sub back buffer, else the back buffer). Not counted: the
// target's texture or the screen keeps it alive.
IDirect3DSurface9 *Graphics_D3D9_DrawTargetSurface(void);
