// The device objects of one texture piece of a graph (GraphTextureEntry::PF), as the graph
// texture code makes them: the draw targets, the mask and the release read them from here.
#pragma once

#include "zovuz/d3d11/windows/d3d11_calls.h"

// The slots of a piece's GraphicsBackendObjectData.
enum D3D11GraphPieceObject {
    D3D11_PIECE_MS_TEXTURE = 0,  // the multisampled render target, or null
    D3D11_PIECE_TEXTURE = 1,     // the texture that is sampled
    D3D11_PIECE_SRV = 2,         // its shader-resource view
    D3D11_PIECE_RTV_ARRAY = 3,   // faces x mip levels render-target views, index face x mips + mip
    D3D11_PIECE_DEPTH = 4,       // the graph's own depth texture, or null
    D3D11_PIECE_DSV_ARRAY = 5,   // one depth-stencil view per mip level
};

// The first piece of a graph, or null when it has no device objects.
inline GraphicsBackendObjectData *D3D11FirstPiece(const GraphHandleData *Graph)
{
    if (Graph == nullptr || Graph->Image == nullptr || Graph->Image->TextureNum < 1 || Graph->Image->Texture == nullptr)
        return nullptr;
    return Graph->Image->Texture[0].PF;
}

inline ID3D11Texture2D *D3D11PieceTexture(const GraphicsBackendObjectData *Piece, D3D11GraphPieceObject Which)
{
    return Piece != nullptr ? (ID3D11Texture2D *)Piece->Object[Which] : nullptr;
}

inline ID3D11ShaderResourceView *D3D11PieceView(const GraphicsBackendObjectData *Piece)
{
    return Piece != nullptr ? (ID3D11ShaderResourceView *)Piece->Object[D3D11_PIECE_SRV] : nullptr;
}

// The render target a draw uses: the multisampled texture when there is one, else the texture.
inline ID3D11Texture2D *D3D11PieceTargetTexture(const GraphicsBackendObjectData *Piece)
{
    ID3D11Texture2D *ms = D3D11PieceTexture(Piece, D3D11_PIECE_MS_TEXTURE);
    return ms != nullptr ? ms : D3D11PieceTexture(Piece, D3D11_PIECE_TEXTURE);
}

// The render-target view of a face and mip level, or null.
inline ID3D11RenderTargetView *D3D11PieceTargetView(const GraphicsBackendObjectData *Piece, int MipLevels, int Face,
                                                    int Mip)
{
    if (Piece == nullptr || Piece->Object[D3D11_PIECE_RTV_ARRAY] == nullptr) return nullptr;
    const int mips = MipLevels > 0 ? MipLevels : 1;
    return ((ID3D11RenderTargetView **)Piece->Object[D3D11_PIECE_RTV_ARRAY])[Face * mips + Mip];
}

// The own depth-stencil view of a mip level, or null.
inline ID3D11DepthStencilView *D3D11PieceDepthView(const GraphicsBackendObjectData *Piece, int Mip)
{
    if (Piece == nullptr || Piece->Object[D3D11_PIECE_DSV_ARRAY] == nullptr) return nullptr;
    return ((ID3D11DepthStencilView **)Piece->Object[D3D11_PIECE_DSV_ARRAY])[Mip];
}
