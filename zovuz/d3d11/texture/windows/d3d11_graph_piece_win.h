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

inline ID3D11Texture2D *D3D11PieceTexture(const GraphTextureEntry *Piece, D3D11GraphTextureObject Which)
{
    return Piece != nullptr ? D3D11GraphObject<ID3D11Texture2D>(*Piece, Which) : nullptr;
}

inline ID3D11ShaderResourceView *D3D11PieceView(const GraphTextureEntry *Piece)
{
    return Piece != nullptr ? D3D11GraphObject<ID3D11ShaderResourceView>(*Piece, D3D11_GRAPH_SRV) : nullptr;
}

// The render-target view of a face and mip level, or null.
inline ID3D11RenderTargetView *D3D11PieceTargetView(const GraphTextureEntry *Piece, int MipLevels, int Face, int Mip)
{
    if (Piece == nullptr) return nullptr;
    ID3D11RenderTargetView **views = D3D11GraphObject<ID3D11RenderTargetView *>(*Piece, D3D11_GRAPH_RTV_ARRAY);
    const int mips = MipLevels > 0 ? MipLevels : 1, index = Face * mips + Mip;
    if (views == nullptr || index < 0 || index >= Piece->PF->Value[D3D11_GRAPH_RTV_NUM]) return nullptr;
    return views[index];
}

// The own depth-stencil view of a mip level, or null.
inline ID3D11DepthStencilView *D3D11PieceDepthView(const GraphTextureEntry *Piece, int Mip)
{
    if (Piece == nullptr) return nullptr;
    ID3D11DepthStencilView **views = D3D11GraphObject<ID3D11DepthStencilView *>(*Piece, D3D11_GRAPH_DSV_ARRAY);
    if (views == nullptr || Mip < 0 || Mip >= Piece->PF->Value[D3D11_GRAPH_DSV_NUM]) return nullptr;
    return views[Mip];
}
