// ZoVuz Direct3D 9: the public API of the library's Direct3D 9 back end.
//
// The back end draws for the graphics front end when Direct3D 11 cannot start: it fills one
// GraphicsHardwareFunctions table and works on the records the front end hands it
// (zovuz_graphics_backend.h, which the back end's own files include; this header names them only).
// The calls that other layers (the filters, the movies, start-up) make of it are declared here;
// its device, tables and state stay in the *_internal.h and windows/ headers beside its code.
#pragma once

#include <stdint.h>

struct GraphicsHardwareFunctions;

// The back end's operations, for RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9, ...). The
// table lives as long as the program.
const GraphicsHardwareFunctions *GetGraphicsD3D9Functions(void);

// 1 while the Direct3D 9 device exists, else 0.
int Direct3DDevice9_IsValid(void);

// ---- The graph filters' passes (the filter layer draws them; see zovuz/filter/) -------------

// One pass's draw: a four-vertex triangle strip of pre-transformed vertices (VertexFormat an FVF,
// VertexSize bytes each) into render target 0, with PixelShader and the graphs on stages 0 and 1.
struct D3D9FilterQuad
{
    int PixelShader;   // Shader handle
    int SrcGraph;      // stage 0
    int SecondGraph;   // stage 1, -1 = none
    int DestGraph;     // render target 0
    int VertexFormat;  // 0x2C4 (40-byte vertices) or 0x844 (84-byte vertices)
    int VertexSize;
    const void *Vertices;
};
// A multisampled destination is drawn through its render surface, then resolved into its
// texture. 0, or -1 without a device or for a handle that is not a graph with a texture.
int Graphics_D3D9_Filter_DrawQuad(const D3D9FilterQuad *Quad);
// Copies the rectangle (left, top, right, bottom) of a graph to (DestX, DestY) of a draw-valid
// graph, a quad for each texture of the source over each texture of the destination that it
// meets, so that graphs in pieces and parts of larger graphs take their pixels where they lie. It
// draws with the draw state in force (the filters' passes set one that copies colour and alpha)
// and leaves render target 0 on the destination. 0, or -1 without a device, for a handle that is
// not a graph with textures or a destination that cannot be drawn into.
int Graphics_D3D9_Filter_CopyRect(int SrcGraph, const int SrcRect[4], int DestGraph, int DestX, int DestY);
// A scene opened unless one is open; the open scene closed. 0 / -1 without a device.
int Graphics_D3D9_Filter_BeginScene(void);
int Graphics_D3D9_Filter_EndScene(void);
// A graph drawn into made ready to be sampled: the batch drawn, the scene closed, and a
// multisampled graph's render surface resolved into its texture (at the draw target's face when
// the graph is the draw target). 0; -1 without a device, for a handle that is not a graph, or when
// the copy fails.
int Graphics_D3D9_Filter_ResolveDrawTarget(int GraphHandle);
// The bound render targets and depth-stencil surface kept, targets 1 and up and the depth-stencil
// unbound; put back, with the draw area's viewport. 0.
int Graphics_D3D9_Filter_SaveTargets(void);
int Graphics_D3D9_Filter_RestoreTargets(void);
// Pixel-shader float constants of usage set 1 from register 0 with sets 0 and 1 in force; the
// range forgotten again. 0 / -1.
int Graphics_D3D9_Filter_SetPixelConstants(const float *Values, int Registers);
int Graphics_D3D9_Filter_ReleasePixelConstants(int Registers);
// The code of a filter-archive shader by file name, and of a ready channel-mix shader (0-511). 0,
// or -1 when the packs are not loaded or hold no such code.
int Graphics_D3D9_Filter_FindShaderCode(const char *FileName, const void **Code, int *Size);
int Graphics_D3D9_Filter_ChannelMixCode(int Index, const void **Code, int *Size);

// ---- The movies' YUV surfaces (the Theora decoder fills them; see zovuz/movie/) ---------------

// A plain surface of Width x Height (both even: the layouts pair pixels and rows) in the first of
// the layouts YV12, YUY2 and UYVY that the device converts to its screen format; that layout's
// FOURCC in *FourCC. Null without a device, for an odd size, or when none can be made (logged).
void *Graphics_D3D9_CreateYUVSurface(int Width, int Height, uint32_t *FourCC, int ASyncThread);
// The whole surface locked for writing: its first byte and, in *Pitch, its row pitch; null when
// it will not lock (logged).
void *Graphics_D3D9_LockYUVSurface(void *Surface, int *Pitch, int ASyncThread);
// 0 / -1.
int Graphics_D3D9_UnlockYUVSurface(void *Surface, int ASyncThread);
// Releases it; null does nothing. 0.
int Graphics_D3D9_ReleaseYUVSurface(void *Surface, int ASyncThread);
