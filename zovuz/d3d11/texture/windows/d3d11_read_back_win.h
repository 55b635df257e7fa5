// Read-back of draw targets: a texture cannot be read directly on Direct3D 11, so the wanted mip
// level is copied into a CPU-readable staging texture, which stays mapped from the lock to the
// unlock.
#pragma once

#include "zovuz/d3d11/calls/windows/d3d11_calls.h"

// The staging texture of the current lock, null while nothing is locked, and the one of the last
// lock, kept for the next read-back of the same size and format (a frame that reads the same
// graph back each time makes no texture for it).
struct D3D11ReadBackData
{
    ID3D11Texture2D *Texture;
    ID3D11Texture2D *Spare;
};
extern D3D11ReadBackData D3D11ReadBack;

// Copies Rect (null = the whole level) of mip level MipLevel of array slice ArraySlice into a new
// staging texture, maps it and describes the rectangle's pixels in Image. -1 (logged, nothing
// kept) for a rectangle outside the level or when a step fails.
int Graphics_D3D11_CreateReadBackTexture(ID3D11Texture2D *Texture, int ArraySlice, int MipLevel, const RECT *Rect,
                                         BASEIMAGE *Image, ID3D11Texture2D **Staging);

// Locks Rect of the back screen (the sub back buffer when there is one, else swap chain 0's back
// buffer), or of a graph's piece TextureIndex: Rect is then in the graph at the mip level, and
// must lie in that piece. A multisampled graph reads resolved. A lock still held is released
// first. 0 / -1 (logged).
int Graphics_D3D11_LockBackBuffer(const RECT *Rect, BASEIMAGE *Image, GraphHandleData *Graph, int ArraySlice,
                                  int MipLevel, int TextureIndex);

// Ends a lock still held and releases the kept staging texture (the device's release). 0.
int Graphics_D3D11_ReleaseReadBack(void);
