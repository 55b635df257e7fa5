// The mask screen on the Direct3D 11 device: the mask bytes in an image texture, the screen
// texture that drawing lands in while the mask is in effect, and the real target remembered
// between the two hooks of a masked draw. The mask module of the front end drives it through the
// Graphics_Hardware_Mask_* dispatchers. Main thread only, under the library's API lock.
#pragma once

#include "zovuz/d3d11/d3d11_internal.h"
#include "zovuz/d3d11/calls/windows/d3d11_calls.h"

struct D3D11MaskData
{
    ID3D11Texture2D *ImageTexture;  // the mask bytes, one 8-bit channel, the mask's exact size
    ID3D11ShaderResourceView *ImageSRV;
    ID3D11Texture2D *ScreenTexture;  // in the screen format, the mask's exact size
    ID3D11ShaderResourceView *ScreenSRV;
    ID3D11RenderTargetView *ScreenRTV;
    int Width, Height;                  // as given to Graphics_D3D11_Mask_CreateScreen
    ID3D11Texture2D *OldScreenTexture;  // the screen before the mask grew, until it is copied
    ID3D11ShaderResourceView *OldScreenSRV;
    ID3D11RenderTargetView *OldScreenRTV;
    ID3D11Texture2D *TargetTexture;  // the real target of the masked draw (uncounted)
    ID3D11ShaderResourceView *TargetSRV;
    ID3D11RenderTargetView *TargetRTV;
};
extern D3D11MaskData D3D11Mask;
