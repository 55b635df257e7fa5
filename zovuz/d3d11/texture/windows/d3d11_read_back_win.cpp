// Read-back of the draw targets through a staging texture.
#include "zovuz/d3d11/texture/windows/d3d11_read_back_win.h"

#include <string.h>

#include "zovuz/d3d11/texture/windows/d3d11_graph_texture_win.h"
#include "zovuz/d3d11/device/windows/d3d11_swap_chain_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_texture_desc_win.h"

D3D11ReadBackData D3D11ReadBack;

namespace {

int Fail(const wchar_t *Line, ID3D11Texture2D *&Temporary, ID3D11Texture2D *&Staging)
{
    AddLogStringWide(Line);
    D3D11Texture2D_Release(Temporary);
    Temporary = nullptr;
    D3D11Texture2D_Release(Staging);
    Staging = nullptr;
    return -1;
}

D3D11_TEXTURE2D_DESC LevelDesc(const D3D11_TEXTURE2D_DESC &Source, int Width, int Height)
{
    return D3D11PlainTextureDesc((UINT)Width, (UINT)Height, Source.Format, 0);
}

// A channel of a floating-point pixel as a byte: 0 at or below 0, 255 at or above 1.
int FloatChannel(float Value)
{
    if (Value <= 0.0f) return 0;
    if (Value >= 1.0f) return 255;
    return (int)(Value * 255.0f);
}

unsigned int ReadPixel(const BASEIMAGE &Image)
{
    const COLORDATA &c = Image.ColorData;
    int rgba[4] = {255, 255, 255, 255};
    if (c.FloatFlag) {
        for (int i = 0; i < c.ChannelCount && i < 4; i++) {
            float value;
            if (c.ChannelBits == 16) {
                uint16_t half;
                memcpy(&half, (const uint8_t *)Image.Pixels + i * 2, 2);
                value = Float16ToFloat32(half);
            } else {
                memcpy(&value, (const uint8_t *)Image.Pixels + i * 4, 4);
            }
            rgba[i] = FloatChannel(value);
        }
    } else if (c.PixelBytes == 2 || c.PixelBytes == 4) {
        uint32_t value = 0;
        memcpy(&value, Image.Pixels, c.PixelBytes);
        GetColorDataRGBA(&c, value, &rgba[0], &rgba[1], &rgba[2], &rgba[3]);
    } else {
        return (unsigned int)-1;
    }
    return 0xFF000000u | ((unsigned int)rgba[0] << 16) | ((unsigned int)rgba[1] << 8) | (unsigned int)rgba[2];
}

// The texture of a graph's piece that holds what was drawn (the multisampled one when there is
// one), and Rect, given in the graph at the mip level, moved into that texture. Null for a piece
// index outside the record or a piece without a texture.
ID3D11Texture2D *GraphPieceRect(const GraphHandleData *Graph, int TextureIndex, int MipLevel, const RECT *Rect,
                                RECT *PieceRect)
{
    const GraphImageRecord *image = Graph->Image;
    if (image == nullptr || !image->Format.HardwareFlag || TextureIndex < 0 || TextureIndex >= image->TextureNum)
        return nullptr;
    const GraphTextureEntry &piece = image->Texture[TextureIndex];
    if (piece.PF == nullptr) return nullptr;
    if (Rect != nullptr) {
        const int dx = (Graph->OffsetX - piece.X) >> MipLevel, dy = (Graph->OffsetY - piece.Y) >> MipLevel;
        *PieceRect = RECT{Rect->left + dx, Rect->top + dy, Rect->right + dx, Rect->bottom + dy};
    }
    return D3D11GraphTargetTexture(piece);
}

// The kept staging texture when it is made as Desc asks, else null (a kept one of another
// kind is released).
ID3D11Texture2D *TakeSpare(const D3D11_TEXTURE2D_DESC &Desc)
{
    ID3D11Texture2D *spare = D3D11ReadBack.Spare;
    D3D11ReadBack.Spare = nullptr;
    if (spare == nullptr) return nullptr;
    D3D11_TEXTURE2D_DESC kept = {};
    D3D11Texture2D_GetDesc(spare, &kept);
    if (kept.Width == Desc.Width && kept.Height == Desc.Height && kept.Format == Desc.Format) return spare;
    D3D11Texture2D_Release(spare);
    return nullptr;
}

}  // namespace

int Graphics_D3D11_CreateReadBackTexture(ID3D11Texture2D *Texture, int ArraySlice, int MipLevel, const RECT *Rect,
                                         BASEIMAGE *Image, ID3D11Texture2D **Staging)
{
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    *Staging = nullptr;
    D3D11_TEXTURE2D_DESC source = {};
    D3D11Texture2D_GetDesc(Texture, &source);
    int width = 0, height = 0;
    CalcMipLevelSize((int)source.Width, (int)source.Height, MipLevel, &width, &height);
    RECT rect = {0, 0, width, height};
    if (Rect != nullptr) rect = *Rect;
    // The image points into the mapped level: a rectangle outside it would point outside the memory.
    const COLORDATA *colorData = Graphics_D3D11_GetFormatColorData(source.Format);
    if (rect.left < 0 || rect.top < 0 || rect.right > width || rect.bottom > height || rect.left >= rect.right ||
        rect.top >= rect.bottom || colorData == nullptr)
        return -1;

    // Only a multisampled texture is resolved (into a single-sampled one of the same size); one
    // level of a texture with mip levels or array slices is copied into the staging texture as it is.
    const UINT subresource = source.MipLevels * (UINT)ArraySlice + (UINT)MipLevel;
    ID3D11Texture2D *temporary = nullptr, *staging = nullptr;
    if (source.SampleDesc.Count > 1) {
        D3D11_TEXTURE2D_DESC desc = LevelDesc(source, width, height);
        if (D3D11Device_CreateTexture2D(&desc, nullptr, &temporary) != S_OK) {
            temporary = nullptr;
            return Fail(L"ダウンサンプリング用テクスチャの作成に失敗しました\n", temporary, staging);
        }
        D3D11DeviceContext_ResolveSubresource(temporary, 0, Texture, subresource, source.Format);
    }
    D3D11_TEXTURE2D_DESC desc = LevelDesc(source, width, height);
    desc.Usage = D3D11_USAGE_STAGING;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    staging = TakeSpare(desc);
    if (staging == nullptr && D3D11Device_CreateTexture2D(&desc, nullptr, &staging) != S_OK) {
        staging = nullptr;
        return Fail(L"描画対象バッファ読み取り用のテクスチャの作成に失敗しました\n", temporary, staging);
    }
    if (temporary != nullptr)
        D3D11DeviceContext_CopyResource(staging, temporary);
    else if (source.MipLevels > 1 || source.ArraySize > 1)
        D3D11DeviceContext_CopySubresourceRegion(staging, 0, 0, 0, 0, Texture, subresource, nullptr);
    else
        D3D11DeviceContext_CopyResource(staging, Texture);
    Graphics_D3D11_WaitUntilDrawn();
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    if (D3D11DeviceContext_Map(staging, 0, D3D11_MAP_READ, 0, &mapped) != S_OK || mapped.pData == nullptr)
        return Fail(L"描画対象バッファ読み取り用のテクスチャのマッピングに失敗しました\n", temporary, staging);
    D3D11Texture2D_Release(temporary);

    *Image = BASEIMAGE();
    Image->ColorData = *colorData;
    Image->Width = rect.right - rect.left;
    Image->Height = rect.bottom - rect.top;
    Image->Pitch = (int)mapped.RowPitch;
    Image->Pixels =
        (uint8_t *)mapped.pData + (size_t)mapped.RowPitch * rect.top + (size_t)colorData->PixelBytes * rect.left;
    *Staging = staging;
    return 0;
}

int Graphics_D3D11_LockBackBuffer(const RECT *Rect, BASEIMAGE *Image, GraphHandleData *Graph, int ArraySlice,
                                  int MipLevel, int TextureIndex)
{
    // A second lock without an unlock would leave the first staging texture behind.
    Graphics_D3D11_UnlockBackBuffer();
    const D3D11ScreenData &screen = D3D11Screen;
    ID3D11Texture2D *texture = screen.SubBackBuffer != nullptr ? screen.SubBackBuffer : screen.SwapChain[0].BackBuffer;
    RECT pieceRect;
    if (Graph != nullptr) {
        texture = GraphPieceRect(Graph, TextureIndex, MipLevel, Rect, &pieceRect);
        if (Rect != nullptr) Rect = &pieceRect;
    }
    if (texture == nullptr ||
        Graphics_D3D11_CreateReadBackTexture(texture, ArraySlice, MipLevel, Rect, Image, &D3D11ReadBack.Texture) < 0) {
        AddLogStringWide(L"描画対象バッファのロックに失敗しました\n");
        return -1;
    }
    return 0;
}

int Graphics_D3D11_LockDrawTargetBuffer(const ImageRect *Rect, BASEIMAGE *Image, int TargetHandle,
                                        GraphHandleData *Graph, int Surface, int MipLevel, int, int TextureIndex)
{
    if (Graph == nullptr && TargetHandle != DX_SCREEN_BACK && TargetHandle != DX_SCREEN_FRONT) return -1;
    RECT rect;
    if (Rect != nullptr) rect = RECT{Rect->left, Rect->top, Rect->right, Rect->bottom};
    return Graphics_D3D11_LockBackBuffer(Rect != nullptr ? &rect : nullptr, Image, Graph, Surface, MipLevel,
                                         TextureIndex);
}

int Graphics_D3D11_UnlockBackBuffer(void)
{
    D3D11ReadBackData &r = D3D11ReadBack;
    if (r.Texture != nullptr) {
        D3D11DeviceContext_Unmap_ASync(r.Texture, 0, 0);
        D3D11Texture2D_Release(r.Spare);
        r.Spare = r.Texture;
    }
    r.Texture = nullptr;
    return 0;
}

int Graphics_D3D11_ReleaseReadBack(void)
{
    Graphics_D3D11_UnlockBackBuffer();
    D3D11Texture2D_Release(D3D11ReadBack.Spare);
    D3D11ReadBack.Spare = nullptr;
    return 0;
}

unsigned int Graphics_D3D11_GetPixel(int X, int Y)
{
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    const ImageRect rect = {X, Y, X + 1, Y + 1};
    BASEIMAGE image;
    if (LockDrawScreenBuffer(&rect, &image, -1, d.RenderTargetSurface[0], d.RenderTargetMipLevel[0], 1, 0) < 0)
        return (unsigned int)-1;
    const unsigned int color = ReadPixel(image);
    UnlockDrawScreenBuffer();
    return color;
}
