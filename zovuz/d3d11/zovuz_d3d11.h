// ZoVuz Direct3D 11: the public API of the library's Direct3D 11 back end.
//
// The back end draws for the graphics front end: it fills one GraphicsHardwareFunctions table and
// works on the records the front end hands it (zovuz_graphics_backend.h, which the back end's own
// files include; this header names them only). The calls that other layers (the filters, the movies, start-up) make of
// it are declared here; its device, tables and state stay in the *_internal.h and windows/ headers beside its code.
#pragma once

struct GraphicsHardwareFunctions;

// The back end's operations, for RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, ...). The
// table lives as long as the program.
const GraphicsHardwareFunctions *GetGraphicsD3D11Functions(void);

// 1 while the Direct3D 11 device exists, else 0.
int D3D11Device_IsValid(void);

// ---- The graph filters' hooks (windows/d3d11_filter_hooks_win.cpp) -----------------------------

// A file of the filter archive: 0 with its code (inside the archive image), or -1 when the packs
// are not loaded or the archive has no such file.
int Graphics_D3D11_Filter_FindShaderCode(const char *FileName, const void **Code, int *Size);
// The code of ready channel-mix shader Index (0-511) of the channel-mix pack: 0, or -1 for an
// empty slot.
int Graphics_D3D11_Filter_ChannelMixCode(int Index, const void **Code, int *Size);
// Writes Count floats into the filters' constant buffer from register c0 on and sends it to the
// device. 0, or -1 without the buffer.
int Graphics_D3D11_Filter_SetConstants(const float *Values, int Count);

// One filter quad: a rectangle of a graph's first drawing piece's texture onto a rectangle of a
// draw-valid graph's, drawn by a filter pixel shader with the filters' constant buffer in pixel
// slot 3.
struct D3D11FilterQuad
{
    int SrcGraph;
    int SrcRect[4];  // left, top, right, bottom in the source's texture
    int DestGraph;
    int DestRect[4];
    int SecondGraph;  // the second texture's graph, or -1
    int SecondRect[4];
    int LinearFlag;          // 1 linear filtering, 0 point sampling
    int PixelShader;         // a Shader handle, or -1 for the plain copy
    const float *Vertices8;  // null, or four vertices (top-left, top-right, bottom-left, bottom-right)
                             // of 21 floats: x, y in destination pixels, three unused, eight (u, v)
};
// A multisampled destination is drawn into its multisampled texture, then resolved into the
// texture that is sampled. 0, or -1 when a graph, its texture or the shader is missing.
int Graphics_D3D11_Filter_DrawQuad(const D3D11FilterQuad *Quad);
// Copies the rectangle (left, top, right, bottom) of a graph or shadow map to (DestX, DestY) of a
// draw-valid graph or a shadow map, each texture of the source into each texture of the
// destination that it meets, so that graphs in pieces and parts of larger graphs take their pixels
// where they lie. 0, or -1 when a handle or a texture is missing or the destination cannot be
// drawn into.
int Graphics_D3D11_Filter_CopyRect(int SrcGraph, const int SrcRect[4], int DestGraph, int DestX, int DestY);
// A graph drawn into made ready to be sampled: the batch drawn, and a multisampled graph resolved
// into its texture (at the draw target's face when the graph is the draw target). 0; -1 without a
// device or for a handle that is not a graph.
int Graphics_D3D11_Filter_ResolveDrawTarget(int GraphHandle);
