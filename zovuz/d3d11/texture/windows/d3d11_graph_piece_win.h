// Reading a graph's first texture piece as a draw target: the draw-target selection, the depth
// buffer choice and the mask take its textures and views from here (d3d11_graph_texture_win.h
// makes them).
#pragma once

#include "zovuz/d3d11/texture/windows/d3d11_graph_texture_win.h"

// The first piece of a graph, or null when it has no device objects.
inline const GraphTextureEntry *D3D11FirstPiece(const GraphHandleData *Graph)
{
    if (Graph == nullptr || Graph->Image == nullptr || Graph->Image->TextureNum < 1 ||
        Graph->Image->Texture == nullptr || Graph->Image->Texture[0].PF == nullptr)
        return nullptr;
    return &Graph->Image->Texture[0];
}

inline ID3D11Texture2D *D3D11PieceTexture(const GraphTextureEntry *Piece)
{
    return Piece != nullptr ? D3D11GraphObjects(*Piece)->Texture : nullptr;
}

inline ID3D11Texture2D *D3D11PieceDepthTexture(const GraphTextureEntry *Piece)
{
    return Piece != nullptr ? D3D11GraphObjects(*Piece)->DepthTexture : nullptr;
}

inline ID3D11ShaderResourceView *D3D11PieceView(const GraphTextureEntry *Piece)
{
    return Piece != nullptr ? D3D11GraphObjects(*Piece)->View : nullptr;
}

// The render-target view of a face and mip level, or null.
inline ID3D11RenderTargetView *D3D11PieceTargetView(const GraphTextureEntry *Piece, int MipLevels, int Face, int Mip)
{
    if (Piece == nullptr) return nullptr;
    const D3D11GraphTextureObjects &objects = *D3D11GraphObjects(*Piece);
    const int mips = MipLevels > 0 ? MipLevels : 1, index = Face * mips + Mip;
    if (objects.TargetViews == nullptr || index < 0 || index >= objects.TargetViewNum) return nullptr;
    return objects.TargetViews[index];
}

// The own depth-stencil view of a mip level, or null.
inline ID3D11DepthStencilView *D3D11PieceDepthView(const GraphTextureEntry *Piece, int Mip)
{
    if (Piece == nullptr) return nullptr;
    const D3D11GraphTextureObjects &objects = *D3D11GraphObjects(*Piece);
    if (objects.DepthViews == nullptr || Mip < 0 || Mip >= objects.DepthViewNum) return nullptr;
    return objects.DepthViews[Mip];
}
