// Texture-to-texture transfer: Direct3D 11 has no StretchRect, so the back end copies a rectangle
// of one texture into a rectangle of another by drawing one textured quad with a fixed set of
// state objects, and then puts the cached device state back on the device. The present, the sub
// back buffer, graph copies, the mask screens and the graph filters' passes all copy this way.
#pragma once

#include "zovuz/d3d11/calls/windows/d3d11_calls.h"

// The state objects of the transfer, made once at start-up and kept until the device release.
struct D3D11SimpleTransferData
{
    ID3D11BlendState *Blend;       // plain copy
    ID3D11BlendState *AlphaBlend;  // render target 0 blends by the source alpha
    ID3D11SamplerState *PointSampler;
    ID3D11SamplerState *LinearSampler;
    ID3D11RasterizerState *Rasterizer;
    ID3D11DepthStencilState *DepthStencil;
};
extern D3D11SimpleTransferData D3D11SimpleTransfer;

// Makes whichever of the six states does not exist yet, with its log lines. 0, or -1 (logged).
int Graphics_D3D11_SetupSimpleTransferStates(void);
// Releases the states that exist and clears them. 0.
int Graphics_D3D11_ReleaseSimpleTransferStates(void);

// One vertex of an eight-coordinate quad as callers pass it: destination x, y in pixels, three
// floats the transfer never reads, then eight (u, v) pairs passed on unchanged.
struct D3D11Transfer8InputVertex
{
    float X, Y;
    float Unused[3];
    float UV[8][2];
};

// Draws the batch, then copies SrcRect of the source onto DestRect of the destination by one quad
// and restores the cached state. A null rectangle is its whole texture; null shaders are the
// simple-transfer ones; a second texture (its view and rectangle) goes to slot 1; Vertices8 (four,
// top-left, top-right, bottom-left, bottom-right) gives eight coordinates per vertex. 0, or -1 when the vertex
// buffer could not be grown or mapped (nothing is drawn then; the state is untouched).
int Graphics_D3D11_StretchRect(ID3D11Texture2D *SrcTexture, ID3D11ShaderResourceView *SrcView, const RECT *SrcRect,
                               ID3D11Texture2D *DestTexture, ID3D11RenderTargetView *DestView, const RECT *DestRect,
                               int LinearFlag, int AlphaBlendFlag, ID3D11VertexShader *VertexShader,
                               ID3D11PixelShader *PixelShader, ID3D11Texture2D *SecondTexture,
                               ID3D11ShaderResourceView *SecondView, const RECT *SecondRect,
                               const D3D11Transfer8InputVertex *Vertices8);
