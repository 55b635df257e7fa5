// The Direct3D 9 vertex batch and draw preparation. Every 2-D drawing function appends its
// vertices to one shared batch, which goes to the device in one DrawPrimitiveUP only when it must
// change (another vertex kind or primitive type, a full buffer, a state change, a present).
// Before a draw appends, its draw flags and the front end's draw settings become device state
// once (Graphics_D3D9_PrepareDraw), and again only when they change.
#pragma once

#include "zovuz/d3d9/state/windows/d3d9_device_state_win.h"
#include "zovuz/d3d9/device/windows/d3d9_device_win.h"

// DrawPrepareFlags.
enum : unsigned {
    D3D9_PREPARE_TRANS = 0x1,           // the caller's transparent flag
    D3D9_PREPARE_EXACT = 0x2,           // pixel-exact placement: keep the alpha flags under bilinear filtering
    D3D9_PREPARE_GOURAUD = 0x8,         // Gouraud shading, else flat
    D3D9_PREPARE_VERTEX_COLOR = 0x20,   // use the vertex colour
    D3D9_PREPARE_VERTEX_ALPHA = 0x40,   // use the vertex alpha
    D3D9_PREPARE_FOG = 0x80,            // fog allowed
    D3D9_PREPARE_USER_SHADER = 0x100,   // the blend and texture part follows the user-shader rules
    D3D9_PREPARE_LIGHTING = 0x200,      // lighting allowed
    D3D9_PREPARE_SPECULAR = 0x400,      // specular allowed
    D3D9_PREPARE_Z3D = 0x800,           // the 3-D depth settings, else the 2-D ones
    D3D9_PREPARE_ADDRESS = 0x1000,      // the front end's texture addressing, else clamp on stages 0-3
    D3D9_PREPARE_KEEP_SHADER = 0x2000,  // keep the user vertex and pixel shaders
    D3D9_PREPARE_CULL = 0x4000,         // the front end's culling, else none
    D3D9_PREPARE_TEXTURED = 0x8000,     // textured drawing
    D3D9_PREPARE_ALPHA_CHANNEL = 0x10000,
    D3D9_PREPARE_ALPHA_TEST = 0x20000,
};

// The batch buffers, by vertex kind x 3 + texture mode: vertex size, capacity and D3D9VertexTypeId.
struct D3D9BatchBufferInfo
{
    int VertexSize, Capacity, VertexTypeId;
};
extern const D3D9BatchBufferInfo D3D9BatchBuffers[D3D9_BATCH_BUFFER_NUM];
// The FVF of each D3D9VertexTypeId.
extern const DWORD D3D9VertexTypeFVF[D3D9_VERTEX_DECLARATION_NUM];

// The primitives Num vertices of a D3DPRIMITIVETYPE make (0 for another type).
int D3D9PrimitiveCount(int Type, int Num);

// Points the batch at its buffers and presets the fields drawing functions never write (rhw 1,
// z 0, the blend-texture vertices' specular white); the batch is left empty, 2-D, one texture.
void Graphics_D3D9_InitializeVertexBatch(void);
// Empties the batch (count 0, 2-D, the one-texture buffer) without drawing it.
void Graphics_D3D9_ResetVertexBatch(void);

// Draws the batch and empties it. With ASyncThread the main thread does it. 0, or -1 without a
// device.
int Graphics_D3D9_RenderVertexBuffer(int ASyncThread);
int Graphics_D3D9_RenderVertexBuffer_ASyncCallback(ASyncLoadRequestInfo *Info);
// Where a 2-D drawing function writes Num vertices of PrimitiveType: the batch is drawn first
// when it is 3-D, holds another primitive type or would reach its capacity. Null without a device
// or for more vertices than one buffer holds.
void *Graphics_D3D9_ReserveVertices(int PrimitiveType, int Num);
// Selects how vertices of a D3D9VertexTypeId are read: the base 2-D vertex shader and its
// declaration, or the type's FVF.
int Graphics_D3D9_SetVertexType(int TypeId);

// Draw-setting setters: 0, or -1 without a device.
int Graphics_D3D9_DrawSetting_SetTexture(IDirect3DBaseTexture9 *Texture);
int Graphics_D3D9_DrawSetting_SetBlendTexture(IDirect3DBaseTexture9 *Texture, int Width, int Height);
// Type 0 (Params: ratio), 1 (border parameter, border range) or 2.
int Graphics_D3D9_DrawSetting_SetBlendTextureParam(int Type, const int *Params);
int Graphics_D3D9_DrawSetting_SetAlphaTestMode(int Mode, int Value);
int Graphics_D3D9_DrawSetting_SetBlendMode(int BlendMode, int AlphaTestFlag, int AlphaChannelFlag);
int Graphics_D3D9_DrawSetting_SetIgnoreColor(int Flag);
int Graphics_D3D9_DrawSetting_SetUseVertexAlpha(int Flag);
int Graphics_D3D9_DrawSetting_SetUseVertexColor(int Flag);
// The packed colour drawing functions scale their vertices by. 0.
int Graphics_D3D9_UpdateDiffuseColor(void);

// Turns draw flags and the front end's draw settings into device state.
unsigned Graphics_D3D9_PrepareDraw(unsigned Flags);
// True when a draw with Flags must prepare: settings changed, the cache changed, or other flags.
bool Graphics_D3D9_DrawNeedsPrepare(unsigned Flags);
// Prepares a draw through user or filter shaders: VertexKind below 0 draws the library's own
// vertices (TwoD: 2-D ones), 0 or 1 a user declaration; ConstantSetPair applies usage sets 0 and 1.
int Graphics_D3D9_SetupShaderDrawState(unsigned Flags, int VertexKind, int TwoD, int ConstantSetPair);
