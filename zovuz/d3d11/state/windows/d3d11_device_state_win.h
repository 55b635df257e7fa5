// The Direct3D 11 back end's device-state cache: the one record that holds every state the back
// end has sent (or will send) to the device, its setters, the state objects made from its
// descriptions, and the draw preparation that turns the front end's draw settings into them.
//
// Direct3D 11 has no render states; the library still sets states one at a time. Each setter
// compares with the cache and does nothing for an unchanged value. A change that drawing depends
// on first draws the batched vertices, so that they keep the state they were batched under, then
// either calls the device at once (input assembly, shaders, views, viewport), writes the system
// copy of a standard constant buffer (uploaded before the next draw), or changes a state-object
// description (the object is made before the next draw, Graphics_D3D11_ApplyStateObjects).
//
// While ForceFlag is set every setter sends without comparing and (mostly) without drawing the
// batch: the whole-state operations use it to send everything again.
//
// Setters return 0, or -1 without a device or for an index out of range. Main thread only, under
// the library's API lock.
#pragma once

#include <stdint.h>

#include "zovuz/d3d11/state/d3d11_state_tables.h"
#include "zovuz/d3d11/calls/windows/d3d11_calls.h"

constexpr int D3D11_LIGHT_NUM = 6;
constexpr int D3D11_CONSTANT_BUFFER_SLOTS = 14;
constexpr int D3D11_PS_RESOURCE_SLOTS = 128;  // every shader-resource slot of the pixel stage
constexpr int D3D11_SAMPLER_NUM = 16;
constexpr int D3D11_RENDER_TARGET_NUM = 8;

struct D3D11DeviceStateCache
{
    // ---- Control ----
    int ForceFlag;              // every setter sends without comparing
    int DrawStateDirtyFlag;     // a setting drawing depends on changed: prepare again before drawing
    uint32_t PrepareDrawFlags;  // the flags word of the last draw preparation

    // ---- Pipeline: the values last sent ----
    D3D11_PRIMITIVE_TOPOLOGY Topology;
    ID3D11InputLayout *InputLayout;
    ID3D11Buffer *VertexBuffer;
    UINT VertexStride;
    ID3D11Buffer *IndexBuffer;
    DXGI_FORMAT IndexFormat;
    ID3D11VertexShader *VertexShader;
    int VertexShaderStandardFlag;  // 1 = the back end's own choice for its drawing
    ID3D11PixelShader *PixelShader;
    int PixelShaderStandardFlag;
    ID3D11Buffer *VSConstantBuffer[D3D11_CONSTANT_BUFFER_SLOTS];
    ID3D11Buffer *PSConstantBuffer[D3D11_CONSTANT_BUFFER_SLOTS];
    ID3D11ShaderResourceView *PSShaderResource[D3D11_PS_RESOURCE_SLOTS];
    ID3D11Texture2D *RenderTarget[D3D11_RENDER_TARGET_NUM];
    ID3D11RenderTargetView *RenderTargetView[D3D11_RENDER_TARGET_NUM];
    D3D11_TEXTURE2D_DESC RenderTargetDesc[D3D11_RENDER_TARGET_NUM];  // zeros for no target
    ID3D11Texture2D *DepthStencil;
    ID3D11DepthStencilView *DepthStencilView;
    D3D11_TEXTURE2D_DESC DepthStencilDesc;
    D3D11_VIEWPORT Viewport;

    // ---- State objects: description, change flag, bound object, owned flag, cache ----
    D3D11_RASTERIZER_DESC RasterizerDesc;
    int RasterizerChangedFlag;
    ID3D11RasterizerState *RasterizerState;
    int RasterizerOwnedFlag;  // the bound object is private, not in the cache
    ID3D11RasterizerState *RasterizerCache[D3D11_RASTERIZER_CACHE_NUM];

    D3D11_DEPTH_STENCIL_DESC DepthStencilStateDesc;
    int DepthStencilChangedFlag;
    ID3D11DepthStencilState *DepthStencilState;
    int DepthStencilOwnedFlag;
    ID3D11DepthStencilState *DepthStencilCache[D3D11_DEPTH_STENCIL_CACHE_NUM];

    int BlendPreset;             // row of D3D11BlendPresets, -1 = BlendDesc
    D3D11_BLEND_DESC BlendDesc;  // the custom description
    int BlendChangedFlag;
    ID3D11BlendState *BlendState;
    int BlendOwnedFlag;
    ID3D11BlendState *BlendCache[D3D11_BLEND_PRESET_NUM];

    D3D11_SAMPLER_DESC SamplerDesc[D3D11_SAMPLER_NUM];
    int SamplerChangedFlag[D3D11_SAMPLER_NUM];
    int AnySamplerChangedFlag;
    ID3D11SamplerState *SamplerState[D3D11_SAMPLER_NUM];
    int SamplerOwnedFlag[D3D11_SAMPLER_NUM];
    ID3D11SamplerState *SamplerCache[D3D11_SAMPLER_CACHE_NUM];

    int DrawMode;       // 0 point, 1 bilinear, 2 anisotropic; -1 after a per-sampler filter change
    int MaxAnisotropy;  // -1 after a per-sampler change

    // ---- Lighting and fog ----
    LIGHTPARAM Light[D3D11_LIGHT_NUM];  // the front end's layout
    int LightEnable[D3D11_LIGHT_NUM];
    int LightLoopBound;  // the highest enabled index (0 when none)
    int LightingEnable;  // read by the 3-D shader choice
    float GlobalAmbient[4];
    MATERIALPARAM Material;
    float MaterialExtra[4];  // the three floats the front end keeps after its material
    int FogEnable;           // read by the 3-D shader choice
    int FogMode;
    uint32_t FogColor;  // 0x00RRGGBB
    float FogStart, FogEnd, FogDensity;
    int TexTransformEnable;
    float TexTransformMatrix[16];
    int VertexShaderSwitch[3];  // sent as 1.0 or 0.0

    // ---- Draw preparation ----
    ID3D11Texture2D *Texture;  // of the next draw, null = untextured
    ID3D11ShaderResourceView *TextureView;
    ID3D11Texture2D *BlendTexture;  // second texture of blend drawing, null = none
    ID3D11ShaderResourceView *BlendTextureView;
    float BlendTextureWidth, BlendTextureHeight;
    float BlendTextureInvWidth, BlendTextureInvHeight;
    int BlendTextureMode;   // 0 cross-fade, 1 border, 2 multiply
    int BlendRatio;         // mode 0: 0-255
    int BorderPosition;     // mode 1: 0-255
    int BorderRange;        // mode 1: pixels
    int AlphaTestOverride;  // -1 = none, else a comparison 1-8
    int AlphaTestOverrideParam;
    int BlendMode;           // the front end's
    int AlphaTestSwitch;     // the image's alpha-test byte is used
    int AlphaChannelSwitch;  // the image's alpha channel is used
    int PixelSwitch48;       // pixel base 48-56
    int PixelSwitch60;       // pixel base 60
    int ReChooseFlag;        // the pixel shader must be chosen again
    int TextureChangedFlag;
    int AlphaTestOn;  // results of the last choice
    int AlphaTestShaderBit;
    int OpaqueTexelFlag;   // the chosen shader takes the image's alpha as 1 (the opaque bit)
    int AlphaTestRef;      // 0-255 as last written, -1 = the test is off
    int AlphaTestFunc;     // as last written
    float FactorColor[4];  // as last written
};
extern D3D11DeviceStateCache D3D11DeviceState;

// Bits of the flags word each primitive hands to Graphics_D3D11_PrepareDraw.
#define D3D11_PREPARE_TRANS 0x1
#define D3D11_PREPARE_KEEP_ALPHA 0x2
#define D3D11_PREPARE_UNTEXTURED 0x20
#define D3D11_PREPARE_FOG 0x80
#define D3D11_PREPARE_KEEP_SHADER 0x100
#define D3D11_PREPARE_LIGHTING 0x200
#define D3D11_PREPARE_SPECULAR 0x400
#define D3D11_PREPARE_Z3D 0x800
#define D3D11_PREPARE_ADDRESS 0x1000
#define D3D11_PREPARE_CULL 0x4000
#define D3D11_PREPARE_TEXTURED 0x8000
#define D3D11_PREPARE_ALPHA_CHANNEL 0x10000
#define D3D11_PREPARE_ALPHA_TEST 0x20000

// ---- Setters -----------------------------------------------------------------------------------

int Graphics_D3D11_DeviceState_SetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY Topology);
int Graphics_D3D11_DeviceState_SetInputLayout(ID3D11InputLayout *Layout);
int Graphics_D3D11_DeviceState_SetVertexBuffer(ID3D11Buffer *Buffer, UINT Stride);
int Graphics_D3D11_DeviceState_SetIndexBuffer(ID3D11Buffer *Buffer, DXGI_FORMAT Format);
int Graphics_D3D11_DeviceState_SetVertexShader(ID3D11VertexShader *Shader, int StandardFlag);
int Graphics_D3D11_DeviceState_SetPixelShader(ID3D11PixelShader *Shader, int StandardFlag);
// With KeepStandard, a standard vertex shader stays bound (unless forced).
int Graphics_D3D11_DeviceState_ClearVertexShader(int KeepStandard);
int Graphics_D3D11_DeviceState_ClearPixelShader(void);
int Graphics_D3D11_DeviceState_VSSetConstantBuffers(int Start, int Num, ID3D11Buffer *const *Buffers);
int Graphics_D3D11_DeviceState_PSSetConstantBuffers(int Start, int Num, ID3D11Buffer *const *Buffers);
int Graphics_D3D11_DeviceState_SetPSShaderResources(int Start, int Num, ID3D11ShaderResourceView *const *Views);
int Graphics_D3D11_DeviceState_SetRenderTarget(ID3D11Texture2D *Texture, ID3D11RenderTargetView *View, int Index);
int Graphics_D3D11_DeviceState_SetDepthStencil(ID3D11Texture2D *Texture, ID3D11DepthStencilView *View);
// Binds the cached targets when their sizes agree (else leaves the device as it was). 0 / -1.
int Graphics_D3D11_DeviceState_BindRenderTargets(void);
int Graphics_D3D11_DeviceState_SetViewport(const D3D11_VIEWPORT *Viewport);
int Graphics_D3D11_DeviceState_SetViewportRect(float X1, float Y1, float X2, float Y2);
int Graphics_D3D11_DeviceState_SetCullMode(int CullMode);
int Graphics_D3D11_DeviceState_SetFillMode(int FillMode);
int Graphics_D3D11_DeviceState_SetDepthBias(int Bias);
int Graphics_D3D11_DeviceState_SetDepthEnable(int Flag);
int Graphics_D3D11_DeviceState_SetDepthWriteEnable(int Flag);
int Graphics_D3D11_DeviceState_SetDepthFunc(int Func);
int Graphics_D3D11_DeviceState_SetDrawMode(int DrawMode);
// Sampler -1 = all 16.
int Graphics_D3D11_DeviceState_SetSampleFilter(int Filter, int Sampler);
int Graphics_D3D11_DeviceState_SetMaxAnisotropy(int MaxAnisotropy, int Sampler);
int Graphics_D3D11_DeviceState_SetTextureAddress(int Mode, int Sampler);
int Graphics_D3D11_DeviceState_SetTextureAddressU(int Mode, int Sampler);
int Graphics_D3D11_DeviceState_SetTextureAddressV(int Mode, int Sampler);
int Graphics_D3D11_DeviceState_SetTextureAddressW(int Mode, int Sampler);
int Graphics_D3D11_SetUseLighting(int Flag);
int Graphics_D3D11_DeviceState_SetLightEnable(int Index, int Flag);
int Graphics_D3D11_DeviceState_SetLightParam(int Index, const LIGHTPARAM *Light);
int Graphics_D3D11_DeviceState_SetGlobalAmbient(const float Color[4]);
// Extra: the three floats the front end keeps after its material (null = zeros).
int Graphics_D3D11_DeviceState_SetMaterial(const MATERIALPARAM *Material, const float *Extra);
int Graphics_D3D11_DeviceState_SetFogEnable(int Flag);
int Graphics_D3D11_DeviceState_SetFogMode(int Mode);
int Graphics_D3D11_DeviceState_SetFogColor(uint32_t Color);
int Graphics_D3D11_DeviceState_SetFogStartEnd(float Start, float End);
int Graphics_D3D11_DeviceState_SetFogDensity(float Density);
int Graphics_D3D11_DeviceState_SetTextureAddressTransform(int Flag, const float *Matrix);
int Graphics_D3D11_DeviceState_SetVertexShaderSwitch0(int Flag);
int Graphics_D3D11_DeviceState_SetVertexShaderSwitch1(int Flag);
int Graphics_D3D11_DeviceState_SetVertexShaderSwitch2(int Flag);
int Graphics_D3D11_DeviceState_SetAlphaTestFunc(int Func);
int Graphics_D3D11_DeviceState_SetAlphaTestRef(int Ref);
int Graphics_D3D11_DeviceState_SetFactorColor(const float Color[4]);
// The matrix writers: no comparison, no flush; the buffer is marked dirty.
// The matrices are the front end's (row vectors times the matrix); the buffer gets their columns.
int Graphics_D3D11_DeviceState_SetDrawAreaMatrix(const MATRIX *Matrix);
int Graphics_D3D11_DeviceState_SetProjectionMatrix(const MATRIX *Matrix);
int Graphics_D3D11_DeviceState_SetViewMatrix(const MATRIX *Matrix);
int Graphics_D3D11_DeviceState_SetWorldMatrix(const MATRIX *Matrix);
// Rewrites the ambient constants from the lights, the material and the global ambient.
void Graphics_D3D11_DeviceState_UpdateAmbient(void);
void Graphics_D3D11_DeviceState_UpdateFogConstants(void);

// ---- Whole-state operations ------------------------------------------------------------------

// The library's defaults after start-up and after each screen-mode change, sent in full. 0 / -1.
int Graphics_D3D11_InitializeDeviceState(void);
// Sends everything in the cache again. 0 / -1.
int Graphics_D3D11_DeviceState_ResendAll(void);
// After a screen-mode change: the settings the front end holds, then everything. 0 / -1.
int Graphics_D3D11_RestoreDeviceState(void);
// Clears the geometry, hull, domain and compute shaders and re-creates every state object.
int Graphics_D3D11_DeviceState_ResetShaderStages(void);
// Forgets everything (the device is gone): the caches must hold no stale pointer.
void Graphics_D3D11_DeviceState_Clear(void);

// ---- State objects -------------------------------------------------------------------------

// Makes and binds the state objects whose description changed, then uploads the dirty standard
// constant buffers. Run before every Draw and DrawIndexed of the back end.
void Graphics_D3D11_ApplyStateObjects(void);
int Graphics_D3D11_CreateRasterizerState(void);
int Graphics_D3D11_CreateDepthStencilState(void);
int Graphics_D3D11_CreateBlendState(void);
int Graphics_D3D11_CreateSamplerState(void);
int Graphics_D3D11_ReleaseBlendStates(void);
int Graphics_D3D11_ReleaseDepthStencilStates(void);
int Graphics_D3D11_ReleaseRasterizerStates(void);
int Graphics_D3D11_ReleaseSamplerStates(void);

// ---- Draw preparation ----------------------------------------------------------------------

void Graphics_D3D11_PrepareDraw(uint32_t Flags);
int Graphics_D3D11_ApplyDrawState(void);
int Graphics_D3D11_SetTexture(ID3D11Texture2D *Texture, ID3D11ShaderResourceView *View);
int Graphics_D3D11_SetBlendTexture(ID3D11Texture2D *Texture, ID3D11ShaderResourceView *View, int Width, int Height);
int Graphics_D3D11_SetBlendTextureParam(int Mode, const int *Params);
int Graphics_D3D11_SetAlphaTestState(int Mode, int Param);
int Graphics_D3D11_SetBlendModeState(int BlendMode, int AlphaTestSwitch, int AlphaChannelSwitch);
int Graphics_D3D11_SetPixelSwitch48(int Flag);
int Graphics_D3D11_SetPixelSwitch60(int Flag);
// The diffuse colour of the front end's draw settings, packed in the device's byte order.
uint32_t Graphics_D3D11_GetDiffuseColor(void);
