// The description of a plain 2-D texture: one mip level, one slice, default usage.
#pragma once

#include <d3d11.h>

inline D3D11_TEXTURE2D_DESC D3D11PlainTextureDesc(UINT Width, UINT Height, DXGI_FORMAT Format, UINT BindFlags,
                                                  UINT SampleCount = 1, UINT SampleQuality = 0)
{
    D3D11_TEXTURE2D_DESC desc = {};
    desc.Width = Width;
    desc.Height = Height;
    desc.MipLevels = 1;
    desc.ArraySize = 1;
    desc.Format = Format;
    desc.SampleDesc.Count = SampleCount;
    desc.SampleDesc.Quality = SampleQuality;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = BindFlags;
    return desc;
}
