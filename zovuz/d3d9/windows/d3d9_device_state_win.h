// The Direct3D 9 back end's device-state cache: a mirror of every device state the back end sets,
// so that a setter reaches the device only when the value changes and the whole state can be sent
// again after the device was made anew.
//
// Each setter flushes the pending vertex batch before it changes anything (a change in the middle
// of a batch would apply to vertices already queued), calls the device through the call layer,
// stores the value and raises the changed flag. While the force flag is raised every setter sends
// regardless of the cache.
#pragma once

#include "zovuz/d3d9/windows/d3d9_calls.h"

#define D3D9_STAGE_NUM 16
#define D3D9_TEXTURE_TRANSFORM_STAGE_NUM 8
#define D3D9_RENDER_TARGET_NUM 8

// Draw modes: nearest, bilinear, anisotropic, and none chosen (set filter by filter).
#define D3D9_DRAW_MODE_NONE 3

struct D3D9SamplerStateData
{
    DWORD MagFilter, MinFilter, MipFilter;
    int MaxAnisotropy;
    DWORD AddressU, AddressV, AddressW;
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

    // Samplers.
    int DrawMode;  // 0 nearest, 1 bilinear, 2 anisotropic, 3 none chosen
    D3D9SamplerStateData Sampler[D3D9_STAGE_NUM];
    int MaxAnisotropyAll;  // the value last set for all stages, -1 when stages differ

    // Texture transforms.
    int TextureTransformEnable[D3D9_TEXTURE_TRANSFORM_STAGE_NUM];
    D3DMATRIX TextureTransform[D3D9_TEXTURE_TRANSFORM_STAGE_NUM];

    // Material, read back from the device at initialisation.
    D3DMATERIAL9 Material;

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
