// The Direct3D 9 back end's device-state cache: a mirror of every device state the back end sets,
// so that a setter reaches the device only when the value changes and the whole state can be sent
// again after the device was made anew.
//
// Each setter flushes the pending vertex batch before it changes anything (a change in the middle
// of a batch would apply to vertices already queued), calls the device through the call layer,
// stores the value and raises the changed flag. While the force flag is raised every setter sends
// regardless of the cache.
#pragma once

#include "zovuz/d3d9/calls/windows/d3d9_calls.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"

#define D3D9_STAGE_NUM 16
#define D3D9_TEXTURE_TRANSFORM_STAGE_NUM 8
#define D3D9_RENDER_TARGET_NUM 8
#define D3D9_LIGHT_NUM 256

// A graph texture entry's or a shadow map's objects, in its back-end part.
struct D3D9TextureObjects
{
    IDirect3DBaseTexture9 *Texture;    // a cube texture for a cube-map graph, else a plain one
    IDirect3DSurface9 *RenderSurface;  // a multisampled target's own surface; a shadow map's level 0
    IDirect3DSurface9 *DepthSurface;   // an own depth surface
    IDirect3DSurface9 *LevelSurface;   // a graph's level 0 (face 0 of a cube map), kept while it lives
};
static_assert(sizeof(D3D9TextureObjects) <= sizeof(GraphicsBackendObjectData) &&
                  alignof(D3D9TextureObjects) <= alignof(GraphicsBackendObjectData),
              "a texture's objects fit its back-end part");

// The objects in a graph texture entry's or a shadow map's part (null for none).
inline D3D9TextureObjects *D3D9TextureObjectsOf(GraphicsBackendObjectData *Part)
{
    return GraphicsBackendRecord<D3D9TextureObjects>(Part);
}

// Draw modes: nearest, bilinear, anisotropic, and none chosen (set filter by filter).
#define D3D9_DRAW_MODE_NONE 3

struct D3D9SamplerStateData
{
    DWORD MagFilter, MinFilter, MipFilter;
    int MaxAnisotropy;
    DWORD AddressU, AddressV, AddressW;
};

// One texture stage as the draw state sets it: the texture (or, in a record that holds handles, a
// graph or shadow-map handle), the coordinate index, the result argument (0 D3DTA_CURRENT, other
// D3DTA_TEMP), then the six operations and arguments; -1 in any field but the texture leaves the
// device value.
struct D3D9DrawStateStage
{
    IDirect3DBaseTexture9 *Texture;
    int TexCoordIndex;
    int ResultArg;
    short AlphaArg1, AlphaArg2, AlphaOp, ColorArg1, ColorArg2, ColorOp;
};
static_assert(sizeof(D3D9DrawStateStage) == 24, "a stage record is 24 bytes");

// The explicit form of a draw state (Graphics_D3D9_DeviceState_SetDrawState): -1 in the last six
// blend words leaves the device value.
struct D3D9DrawStateRecord
{
    int AlphaTestEnable, AlphaRef, AlphaFunc, AlphaBlendEnable, SeparateAlphaBlendEnable;
    D3DCOLOR TextureFactor;
    int DestBlend, SrcBlend, BlendOp, SrcBlendAlpha, DestBlendAlpha, BlendOpAlpha;
    int TextureNum;
    D3D9DrawStateStage Stage[D3D9_STAGE_NUM];
};
static_assert(sizeof(D3D9DrawStateRecord) == 13 * 4 + D3D9_STAGE_NUM * 24, "13 words, then the stages");

// The draw setting: what the draw-setting setters store and the draw-state flush reads.
struct D3D9DrawSettingData
{
    IDirect3DBaseTexture9 *Texture;       // the main texture
    IDirect3DBaseTexture9 *BlendTexture;  // the blend texture
    float BlendTextureWidth, BlendTextureHeight, BlendTextureInvWidth, BlendTextureInvHeight;
    int BlendGraphType;    // 0 cross-fade, 1 wipe, 2 masked
    int BlendRatio;        // cross-fade, 0-255
    int BorderParam;       // wipe, 0-255 (-1 none)
    int BorderRange;       // wipe
    int BlendMode;         // the row of D3D9BlendStateTable
    int AlphaTestFlag;     // the transparency test
    int AlphaChannelFlag;  // the texture's alpha is used
    int AlphaTestFunc;     // an explicit alpha test, -1 none
    int AlphaTestRef;
    int IgnoreColorFlag;       // the texture's colour is not used
    int UseVertexColorFlag;    // colour modulation
    int UseVertexAlphaFlag;    // alpha modulation
    int DrawStateChangedFlag;  // the flush must choose again
    int TextureChangedFlag;    // the flush must bind the textures again
    D3DCOLOR DiffuseColor;     // the packed colour drawing functions scale their vertices by
};

// What the draw-state flush sent last.
struct D3D9DrawStateOutputData
{
    int AlphaTestEnable, AlphaRef, AlphaFunc, AlphaBlendEnable, SeparateAlphaBlendEnable;
    D3DCOLOR TextureFactor;
    float TextureFactorF[4];  // pixel constant 5
    int DestBlend, SrcBlend, BlendOp, SrcBlendAlpha, DestBlendAlpha, BlendOpAlpha;
    D3D9DrawStateStage Stage[D3D9_STAGE_NUM];
    int StageNum;
    int LibraryPixelShaderFlag;  // a base pixel shader draws
    int BorderFullFlag;          // the wipe covers everything: the flush draws nothing
    int TextureMode;             // 0 none, 1 one texture, 2 blend texture
};

// The library's 2-D and 3-D vertex formats as the batch holds them.
struct D3D9VertexNoTex2D
{
    float x, y, z, rhw;
    D3DCOLOR dif;
};
struct D3D9VertexBlendTex2D
{
    float x, y, z, rhw;
    D3DCOLOR dif, spc;
    float u, v, su, sv;
};
struct D3D9VertexNoTex3D
{
    float x, y, z;
    D3DCOLOR dif;
};
struct D3D9Vertex3D
{
    float x, y, z;
    D3DCOLOR dif;
    float u, v;
};
static_assert(sizeof(D3D9VertexNoTex2D) == 20 && sizeof(VERTEX2D) == 28 && sizeof(D3D9VertexBlendTex2D) == 40 &&
                  sizeof(D3D9VertexNoTex3D) == 16 && sizeof(D3D9Vertex3D) == 24,
              "the batch's vertex sizes");

#define D3D9_BATCH_BUFFER_BYTES 65536
#define D3D9_BATCH_BUFFER_NUM 6  // vertex kind x 3 + texture mode

// The vertex batch: vertices collect here and go to the device in one DrawPrimitiveUP.
struct D3D9VertexBatchData
{
    unsigned char *Buffer[D3D9_BATCH_BUFFER_NUM];  // by vertex kind x 3 + texture mode, null for none
    unsigned char *WritePointer;
    int VertexNum;
    int VertexKind;     // 0 2-D, 1 3-D
    int PrimitiveType;  // D3DPRIMITIVETYPE
};

struct D3D9DeviceStateCacheData
{
    // Control.
    int ChangedFlag;  // a setter changed the device since the last prepared draw
    int ForceFlag;    // setters ignore the cache
    int PreparedDrawFlags;
    int InitializedFlag;  // the library's defaults were put on the device

    // Render states.
    int ZEnable, ZWriteEnable, ZFunc, DepthBias, FillMode;
    int CullMode;  // library value: 0 none, 1 counter-clockwise, 2 clockwise
    int ShadeMode, Lighting, SpecularEnable;
    int DiffuseMaterialSource, SpecularMaterialSource;  // 1: from the vertex colour
    D3DCOLOR Ambient;
    float AmbientF[4];
    int FogEnable, FogMode;
    D3DCOLOR FogColor;
    float FogStart, FogEnd, FogDensity;

    // Samplers.
    int DrawMode;  // 0 nearest, 1 bilinear, 2 anisotropic, 3 none chosen
    D3D9SamplerStateData Sampler[D3D9_STAGE_NUM];
    int MaxAnisotropyAll;  // the value last set for all stages, -1 when stages differ

    // Texture transforms.
    int TextureTransformEnable[D3D9_TEXTURE_TRANSFORM_STAGE_NUM];
    D3DMATRIX TextureTransform[D3D9_TEXTURE_TRANSFORM_STAGE_NUM];

    // Lights and material.
    D3DLIGHT9 Light[D3D9_LIGHT_NUM];
    int LightEnable[D3D9_LIGHT_NUM];
    int LightEnableMax;  // the highest enabled index, -1 none
    D3DMATERIAL9 Material;
    float MaterialLightSetting[4];  // the light setting the material was last combined with
    D3DMATRIX View;                 // the view matrix lights are placed with

    // Targets and geometry.
    IDirect3DSurface9 *RenderTarget[D3D9_RENDER_TARGET_NUM];
    D3DVIEWPORT9 Viewport;
    RECT ScissorRect;
    IDirect3DVertexBuffer9 *VertexBuffer;
    int VertexStride;
    IDirect3DIndexBuffer9 *IndexBuffer;
    DWORD FVF;
    IDirect3DVertexDeclaration9 *VertexDeclaration;
    IDirect3DVertexShader9 *VertexShader;
    int VertexShaderLibraryFlag;  // the bound vertex shader is the library's own
    IDirect3DPixelShader9 *PixelShader;
    int PixelShaderLibraryFlag;
    int UserShaderFields[3];  // the user-shader draw's vertex kind, declaration and shader, cleared per draw

    // The draw state and the batch.
    D3D9DrawSettingData Draw;
    D3D9DrawStateOutputData Out;
    D3D9VertexBatchData Batch;
};
extern D3D9DeviceStateCacheData D3D9DeviceStateCache;

// Puts device and cache to the library's defaults after the device was made. 0 / -1 without a
// device.
int Graphics_D3D9_InitializeDeviceState(void);
// Sends the whole cache with the force flag raised. 0 / -1 without a device.
int Graphics_D3D9_DeviceState_SendAll(void);
// The entry the front end calls after the device was made.
int Graphics_D3D9_InitializeDeviceStateEntry(void);

// Setters: 0 on success, -1 without a device (the cull, shade, specular, anisotropy, filter and
// address setters answer 0 then).
int Graphics_D3D9_DeviceState_SetZEnable(int Flag);
int Graphics_D3D9_DeviceState_SetZWriteEnable(int Flag);
int Graphics_D3D9_DeviceState_SetZFunc(int CmpFunc);
int Graphics_D3D9_DeviceState_SetDepthBias(int Bias);
int Graphics_D3D9_DeviceState_SetFillMode(int FillMode);
int Graphics_D3D9_DeviceState_SetCullMode(int Mode);
// NoFlush skips both the cache test and the batch flush.
int Graphics_D3D9_DeviceState_SetShadeMode(int ShadeMode, int NoFlush);
int Graphics_D3D9_DeviceState_SetSpecularEnable(int Flag);
// 0 nearest, 1 bilinear, 2 anisotropic; any other mode -1.
int Graphics_D3D9_DeviceState_SetDrawMode(int DrawMode);
// Which: 16 magnification, 17 minification, 18 mip.
int Graphics_D3D9_DeviceState_SetSamplerFilter(int Sampler, int Which, int Filter);
// Sampler negative: all stages.
int Graphics_D3D9_DeviceState_SetMaxAnisotropy(int MaxAnisotropy, int Sampler);
// Stage -1: all stages.
int Graphics_D3D9_DeviceState_SetTextureAddress(int AddressMode, int Stage);
int Graphics_D3D9_DeviceState_SetTextureAddressU(int AddressMode, int Stage);
int Graphics_D3D9_DeviceState_SetTextureAddressV(int AddressMode, int Stage);
int Graphics_D3D9_DeviceState_SetTextureAddressW(int AddressMode, int Stage);
int Graphics_D3D9_DeviceState_SetTextureAddressUVW(int AddressModeU, int AddressModeV, int AddressModeW, int Stage);
// Stage -1: stages 0-3. Only with a device.
int Graphics_D3D9_DeviceState_SetTextureTransform(int UseFlag, const D3DMATRIX *Matrix, int Stage);
int Graphics_D3D9_DeviceState_SetFVF(DWORD FVF);
int Graphics_D3D9_DeviceState_SetVertexDeclaration(IDirect3DVertexDeclaration9 *Declaration);
int Graphics_D3D9_DeviceState_SetVertexShader(IDirect3DVertexShader9 *Shader, int LibraryFlag);
int Graphics_D3D9_DeviceState_SetPixelShader(IDirect3DPixelShader9 *Shader, int LibraryFlag);
// KeepLibraryShader leaves a bound library shader in place.
int Graphics_D3D9_DeviceState_ResetVertexShader(int KeepLibraryShader);
int Graphics_D3D9_DeviceState_ResetPixelShader(int KeepLibraryShader);
int Graphics_D3D9_DeviceState_SetVertexBuffer(IDirect3DVertexBuffer9 *Buffer, int Stride);
int Graphics_D3D9_DeviceState_SetIndexBuffer(IDirect3DIndexBuffer9 *Buffer);
int Graphics_D3D9_DeviceState_SetRenderTarget(IDirect3DSurface9 *Surface, int Index);
int Graphics_D3D9_SetViewport(const D3DVIEWPORT9 *Viewport);
int Graphics_D3D9_DeviceState_SetViewportRect(int x1, int y1, int x2, int y2);
int Graphics_D3D9_DeviceState_SetScissorRect(const RECT *Rect);

// Lighting and material (no device: 0).
int Graphics_D3D9_DeviceState_SetLighting(int Flag);
int Graphics_D3D9_DeviceState_SetDiffuseMaterialSource(int UseVertexColor);
int Graphics_D3D9_DeviceState_SetSpecularMaterialSource(int UseVertexColor);
// Always sent.
int Graphics_D3D9_DeviceState_SetAmbientLight(D3DCOLOR Color);
int Graphics_D3D9_DeviceState_SetLightEnable(int Index, int Flag);
int Graphics_D3D9_DeviceState_SetLight(int Index, const D3DLIGHT9 *Light);
int Graphics_D3D9_DeviceState_SetMaterial(const D3DMATERIAL9 *Material);
int Graphics_D3D9_DeviceState_SetViewMatrix(const D3DMATRIX *Matrix);
// The light and material colours the shaders read, from the cache.
int Graphics_D3D9_DeviceState_UpdateLightColorConstants(void);

// Fog.
int Graphics_D3D9_DeviceState_SetFogEnable(int Flag);
int Graphics_D3D9_DeviceState_SetFogMode(int Mode);  // a D3DFOGMODE
int Graphics_D3D9_DeviceState_SetFogColor(D3DCOLOR Color);
int Graphics_D3D9_DeviceState_SetFogStartEnd(float Start, float End);
int Graphics_D3D9_DeviceState_SetFogDensity(float Density);

// The state every draw starts from: addresses and coordinate indices of stages 0-3, shading and
// lighting, the base shader constants; user shaders and buffers are taken off. 0 / -1.
int Graphics_D3D9_DeviceState_SetBaseState(void);
// Sends everything again after a screen-mode change, from the cache and the front end's draw
// settings. 0 / -1 without a device.
int Graphics_D3D9_DeviceState_Refresh(void);
// Sends an explicit draw state; the next ordinary draw sends its own again.
int Graphics_D3D9_DeviceState_SetDrawState(const D3D9DrawStateRecord *Record, int TexturesOnly, int HandlesFlag,
                                           int MayUseShaders);
// The vertex shader of a Shader handle: -1 for an invalid handle, a pixel shader or one still loading.
int Graphics_D3D9_DeviceState_SetVertexShaderToHandle(int ShaderHandle);

// The draw-state flush: the draw setting (or Record) turned into render states, texture stages or
// a base pixel shader. TexturesOnly with a record sends only textures and coordinate indices;
// HandlesFlag reads the record's textures as graph or shadow-map handles. 0 / -1 without a device.
int Graphics_D3D9_ApplyDrawState(const D3D9DrawStateRecord *Record, int TexturesOnly, int HandlesFlag,
                                 int MayUseShaders);
