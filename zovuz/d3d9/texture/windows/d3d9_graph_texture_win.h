// Graph textures on Direct3D 9: the device objects behind each texture of a graph's image record,
// the transfer of images into them, fills, copies between graphs, the read-back of draw targets
// and the copy of a movie frame.
//
// A texture entry's objects live in its back-end part (GraphTextureEntry::PF) as a
// D3D9TextureObjects record: the texture, the render surface of a multisampled target, the own
// depth surface, and level 0 of the texture (face 0 of a cube map). The other faces of a cube are
// fetched when needed.
#pragma once

#include "zovuz/d3d9/calls/windows/d3d9_calls.h"
#include "zovuz/d3d9/state/windows/d3d9_device_state_win.h"

// ---- Surfaces ----------------------------------------------------------------------------------

// A surface of an entry's level 0: Face of a cube map, else the texture's level 0. The caller
// releases what it gets (null when it cannot be had).
IDirect3DSurface9 *Graphics_D3D9_GetGraphSurface(const GraphTextureEntry &Entry, int CubeMapFlag, int Face,
                                                 int ASyncThread);

// ---- Transfers -------------------------------------------------------------------------------

// One transfer of a rectangle of an image into one texture (every face, and every level the
// texture has).
struct D3D9TextureTransferJob
{
    unsigned Format;                 // the texture's D3DFORMAT
    const COLORDATA *DestColorData;  // its COLORDATA (null for DXT)
    int CubeMapFlag;                 // six faces
    int MipLevels;                   // levels of the texture (1 or more)
    int TexWidth, TexHeight;         // level 0's size
    int UsedWidth, UsedHeight;       // the part of it the image covers (its edge is repeated past it)
    ImageRect SrcRect;               // in the source image
    int DestX, DestY;                // where SrcRect lands in level 0
    int UseMemorySurfaceFlag;        // written through a cached system-memory surface and UpdateSurface
    IDirect3DBaseTexture9 *Texture;  // lockable, or the default-pool target of UpdateSurface
    const BASEIMAGE *Source;
    const BASEIMAGE *AlphaSource;  // its red gives alpha, or null
    int TransColorFlag;            // the record's transparent colour becomes alpha 0
    unsigned TransColor;           // 0x00RRGGBB
    int ASyncThread;
};

// Level 0 only, its edge column and row repeated past a rectangle that ends inside the texture.
// 0 / -1 (logged); a plain image bound for a DXT texture logs and copies nothing (0).
int Graphics_D3D9_TextureTransferBaseLevel(const D3D9TextureTransferJob &Job);
// Every level: the image's own levels when it has enough, else level 0 converted and the others
// halved from it. 0 / -1 (logged).
int Graphics_D3D9_TextureTransfer(const D3D9TextureTransferJob &Job);
