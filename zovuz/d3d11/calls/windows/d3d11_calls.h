// The Direct3D 11 and DXGI call layer: the only code of the library that calls a Direct3D 11 or
// DXGI interface method. Every other file of the back end reaches the platform through the
// functions below, one per method.
//
// The layer owns the process-wide interface pointers (the device, its immediate and deferred
// contexts, the factory and adapter 0), loads and frees "d3d11.dll" and "dxgi.dll", counts the
// live objects of each type for the dump at the end, and lets an asynchronous-load worker hand a
// call to the main thread. It adds no caching and no policy beyond the feature-level choice, the
// multisample negotiation and its log lines.
//
// Conventions of every wrapper:
// - Global wrappers (D3D11DeviceContext_*, D3D11Device_*, DXGIFactory_*) take the method's
//   arguments without the interface: they call the immediate context, the device or the factory.
//   Object wrappers take the object first.
// - A wrapper returns the method's HRESULT unchanged where the method has one, else nothing.
// - A creating wrapper counts its object only when the method returned S_OK; a typed release
//   wrapper takes a null object as nothing, else lowers the count and calls Release. An object
//   made by a creating wrapper goes back through the release wrapper of its type, or the count
//   stays raised (Direct3D_ReleaseObject counts nothing). The swap chain's back buffer counts as
//   a Texture2D.
// - *_IsValid: 1 while the pointer is set, else 0.
//
// Calls from an asynchronous-load worker. A method a worker may need comes in three forms: the
// plain one; the _ASync form, whose extra last argument is the run-on-main-thread flag; and the
// replay (_ASyncCallback), which the main thread runs. With the flag 0 the _ASync form is the
// plain call. With the flag set it packs its arguments into a request record, one word each in
// call order (a float travels as its address, a byte widened), and waits in RequestMainThreadCall
// until the main thread has run the replay; it returns the replay's result: the method's HRESULT,
// or 0 for a method without one. A thread that is not an asynchronous-load worker gets -1 and the
// call is not made.
//
// Threads: the layer has no lock. Its state is used on the main thread only; workers come in
// through the _ASync forms.
//
// Tests: D3D11_SetModuleFunctions puts a stand-in loader in front of the two DLLs, whose entry
// points then make stand-in objects (tests/zovuz/d3d11/fake_d3d11.h). The wrappers do not know:
// they call the same interface methods on whatever objects they were given, so the real path
// pays nothing for the seam.
#pragma once

#include <windows.h>

#include <d3d11.h>
#include <dxgi.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/d3d11/d3d11_internal.h"

// ---- The layer's state ------------------------------------------------------------------------

// The live-object counters, in the order of the dump.
enum D3D11ObjectType {
    D3D11_OBJECT_BUFFER,
    D3D11_OBJECT_TEXTURE1D,  // never made: stays 0
    D3D11_OBJECT_TEXTURE2D,
    D3D11_OBJECT_TEXTURE3D,  // never made: stays 0
    D3D11_OBJECT_SHADER_RESOURCE_VIEW,
    D3D11_OBJECT_RENDER_TARGET_VIEW,
    D3D11_OBJECT_DEPTH_STENCIL_VIEW,
    D3D11_OBJECT_INPUT_LAYOUT,
    D3D11_OBJECT_VERTEX_SHADER,
    D3D11_OBJECT_PIXEL_SHADER,
    D3D11_OBJECT_BLEND_STATE,
    D3D11_OBJECT_DEPTH_STENCIL_STATE,
    D3D11_OBJECT_RASTERIZER_STATE,
    D3D11_OBJECT_SAMPLER_STATE,
    D3D11_OBJECT_TYPE_NUM
};

// What device creation reads besides the window. All start at 0 and nothing in the system sets
// them, except that a WARP device without a minimum level stores 10_0 as its minimum.
struct D3D11CreationSettingsData
{
    int MinFeatureLevel;  // 0 = 11_1 and 11_0 only; else every known level from this one up
    int UseWarpFlag;      // the software rasteriser instead of adapter 0
    int MultiThreadFlag;  // a device usable from several threads, with a deferred context
    int DwmMode;          // 2 = switch desktop composition off in window mode; else on
};

// How the layer reaches the two DLLs: the system's loader unless a test put its own in front.
struct D3D11ModuleFunctions
{
    HMODULE(WINAPI *Load)(LPCWSTR FileName);
    FARPROC(WINAPI *GetProc)(HMODULE Module, LPCSTR Name);
    BOOL(WINAPI *Free)(HMODULE Module);
};

// The layer's own state (d3d11_calls_module_win.cpp). The rest of the back end reads the feature
// level and the settings; the pointers are the wrappers' alone.
struct D3D11CallLayerData
{
    HMODULE D3D11Module;                      // "d3d11.dll", null while not loaded
    HMODULE DXGIModule;                       // "dxgi.dll", null while not loaded
    IDXGIFactory *Factory;                    // every DXGI call goes to it
    IDXGIFactory1 *Factory1;                  // the same object when CreateDXGIFactory1 made it
    IDXGIAdapter *Adapter;                    // adapter 0 of the factory, which the device runs on
    ID3D11Device *Device;                     // the device
    ID3D11DeviceContext *Context;             // the immediate context every context wrapper uses
    ID3D11DeviceContext *DeferredContext;     // made only with the multi-thread setting
    IDXGIDevice1 *DXGIDevice;                 // the device's DXGI side, for the frame latency
    int FeatureLevel;                         // the level the device obtained (D3D_FEATURE_LEVEL)
    int ObjectCount[D3D11_OBJECT_TYPE_NUM];   // live objects made through the wrappers, by type
    unsigned int DrawCallCount;               // Draw and DrawIndexed calls made (wraps)
    unsigned int MapCallCount;                // Map calls made (wraps)
    unsigned int UpdateSubresourceCallCount;  // UpdateSubresource calls made (wraps)
    unsigned int PresentCallCount;            // swap chain presents made (wraps)
    D3D11CreationSettingsData Settings;       // what device creation reads
    const D3D11ModuleFunctions *Modules;      // the loader in use; null = the system's
    // The render targets bound last (OMSetRenderTargets), and the calls that may have written one
    // of the screens the window is shown from: a draw while one is bound, a clear of one, a copy,
    // resolve or update into one (wraps). The device layer tells which are screens.
    ID3D11RenderTargetView *BoundTargets[8];
    UINT BoundTargetNum;
    uint32_t ScreenWriteCount;
};
extern D3D11CallLayerData D3D11CallLayer;

// Whether a view or a resource is one of the screens the window is shown from (the device
// layer's swap chains and sub back buffer).
int Graphics_D3D11_IsScreenView(ID3D11RenderTargetView *View);
int Graphics_D3D11_IsScreenResource(ID3D11Resource *Resource);

// Puts a loader in front of the two DLLs (null restores the system's) and returns the one it
// replaces. Only while neither DLL is loaded.
const D3D11ModuleFunctions *D3D11_SetModuleFunctions(const D3D11ModuleFunctions *Functions);

// ---- Modules, factory and device (each 0, or -1 on failure) ----------------------------------------

// Loads "d3d11.dll" (nothing when it is loaded already).
int D3D11_LoadDLL(void);
// Loads "dxgi.dll"; on failure also frees "d3d11.dll", so a back end without DXGI keeps neither.
int DXGI_LoadDLL(void);
// Free the DLL when it is loaded. Always 0.
int D3D11_FreeDLL(void);
int DXGI_FreeDLL(void);

// Makes the factory anew: CreateDXGIFactory1 where dxgi.dll has it, else CreateDXGIFactory.
int DXGI_CreateFactory(void);
// Releases the factory when there is one and clears both factory pointers. 0.
int DXGI_ReleaseFactory(void);

// Makes the device on adapter 0 (or WARP) with the immediate context, the deferred context when
// the multi-thread setting asks, and the DXGI device with a frame latency of 1. Requested levels:
// 11_1 and 11_0, or with a minimum every known level from it up. A failed step releases what the
// steps made.
int D3D11_CreateDevice(void);
// Clears, flushes and releases both contexts, then the DXGI device, the device, the adapter and
// the factory. 0.
int D3D11_Terminate(void);

// The level the device obtained, 0 without a device.
int D3D11_GetFeatureLevel(void);

// Logs the live objects of each type whose count is above 0, then their total. 0.
int D3D11_OutputObjectCount(void);
// Live objects of one type (D3D11ObjectType), or -1 for a type outside the table.
int D3D11_GetObjectCount(int Type);

// ---- Immediate-context wrappers ---------------------------------------------------------------------

void D3D11DeviceContext_ClearDepthStencilView(ID3D11DepthStencilView *View, UINT ClearFlags, FLOAT Depth,
                                              UINT8 Stencil);
int D3D11DeviceContext_ClearDepthStencilView_ASync(ID3D11DepthStencilView *View, UINT ClearFlags, FLOAT Depth,
                                                   UINT8 Stencil, int ASyncThread);
int D3D11DeviceContext_ClearDepthStencilView_ASyncCallback(ASyncLoadRequestInfo *Info);
void D3D11DeviceContext_ClearRenderTargetView(ID3D11RenderTargetView *View, const FLOAT ColorRGBA[4]);
int D3D11DeviceContext_ClearRenderTargetView_ASync(ID3D11RenderTargetView *View, const FLOAT ColorRGBA[4],
                                                   int ASyncThread);
int D3D11DeviceContext_ClearRenderTargetView_ASyncCallback(ASyncLoadRequestInfo *Info);
void D3D11DeviceContext_CopyResource(ID3D11Resource *Dest, ID3D11Resource *Src);
void D3D11DeviceContext_CopySubresourceRegion(ID3D11Resource *Dest, UINT DestSubresource, UINT DestX, UINT DestY,
                                              UINT DestZ, ID3D11Resource *Src, UINT SrcSubresource,
                                              const D3D11_BOX *SrcBox);
void D3D11DeviceContext_CSSetShader(ID3D11ComputeShader *Shader, ID3D11ClassInstance *const *ClassInstances,
                                    UINT ClassInstanceNum);
void D3D11DeviceContext_DSSetShader(ID3D11DomainShader *Shader, ID3D11ClassInstance *const *ClassInstances,
                                    UINT ClassInstanceNum);
void D3D11DeviceContext_GSSetShader(ID3D11GeometryShader *Shader, ID3D11ClassInstance *const *ClassInstances,
                                    UINT ClassInstanceNum);
void D3D11DeviceContext_HSSetShader(ID3D11HullShader *Shader, ID3D11ClassInstance *const *ClassInstances,
                                    UINT ClassInstanceNum);
void D3D11DeviceContext_Draw(UINT VertexCount, UINT StartVertexLocation);
void D3D11DeviceContext_DrawIndexed(UINT IndexCount, UINT StartIndexLocation, INT BaseVertexLocation);
void D3D11DeviceContext_End(ID3D11Asynchronous *Async);
// Without a device: E_POINTER.
HRESULT D3D11DeviceContext_GetData(ID3D11Asynchronous *Async, void *Data, UINT DataSize, UINT GetDataFlags);
void D3D11DeviceContext_IASetIndexBuffer(ID3D11Buffer *Buffer, DXGI_FORMAT Format, UINT Offset);
void D3D11DeviceContext_IASetInputLayout(ID3D11InputLayout *InputLayout);
void D3D11DeviceContext_IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY Topology);
void D3D11DeviceContext_IASetVertexBuffers(UINT StartSlot, UINT BufferNum, ID3D11Buffer *const *Buffers,
                                           const UINT *Strides, const UINT *Offsets);
HRESULT D3D11DeviceContext_Map(ID3D11Resource *Resource, UINT Subresource, D3D11_MAP MapType, UINT MapFlags,
                               D3D11_MAPPED_SUBRESOURCE *Mapped);
HRESULT D3D11DeviceContext_Map_ASync(ID3D11Resource *Resource, UINT Subresource, D3D11_MAP MapType, UINT MapFlags,
                                     D3D11_MAPPED_SUBRESOURCE *Mapped, int ASyncThread);
int D3D11DeviceContext_Map_ASyncCallback(ASyncLoadRequestInfo *Info);
// Only this form exists: callers on the main thread pass 0.
int D3D11DeviceContext_Unmap_ASync(ID3D11Resource *Resource, UINT Subresource, int ASyncThread);
int D3D11DeviceContext_Unmap_ASyncCallback(ASyncLoadRequestInfo *Info);
void D3D11DeviceContext_UpdateSubresource(ID3D11Resource *Resource, UINT Subresource, const D3D11_BOX *Box,
                                          const void *Data, UINT RowPitch, UINT DepthPitch);
int D3D11DeviceContext_UpdateSubresource_ASync(ID3D11Resource *Resource, UINT Subresource, const D3D11_BOX *Box,
                                               const void *Data, UINT RowPitch, UINT DepthPitch, int ASyncThread);
int D3D11DeviceContext_UpdateSubresource_ASyncCallback(ASyncLoadRequestInfo *Info);
void D3D11DeviceContext_OMSetBlendState(ID3D11BlendState *State, const FLOAT BlendFactor[4], UINT SampleMask);
void D3D11DeviceContext_OMSetDepthStencilState(ID3D11DepthStencilState *State, UINT StencilRef);
void D3D11DeviceContext_OMSetRenderTargets(UINT ViewNum, ID3D11RenderTargetView *const *Views,
                                           ID3D11DepthStencilView *DepthStencilView);
void D3D11DeviceContext_PSSetConstantBuffers(UINT StartSlot, UINT BufferNum, ID3D11Buffer *const *Buffers);
void D3D11DeviceContext_PSSetSamplers(UINT StartSlot, UINT SamplerNum, ID3D11SamplerState *const *Samplers);
void D3D11DeviceContext_PSSetShader(ID3D11PixelShader *Shader, ID3D11ClassInstance *const *ClassInstances,
                                    UINT ClassInstanceNum);
void D3D11DeviceContext_PSSetShaderResources(UINT StartSlot, UINT ViewNum, ID3D11ShaderResourceView *const *Views);
void D3D11DeviceContext_VSSetConstantBuffers(UINT StartSlot, UINT BufferNum, ID3D11Buffer *const *Buffers);
void D3D11DeviceContext_VSSetShader(ID3D11VertexShader *Shader, ID3D11ClassInstance *const *ClassInstances,
                                    UINT ClassInstanceNum);
void D3D11DeviceContext_RSSetState(ID3D11RasterizerState *State);
void D3D11DeviceContext_RSSetViewports(UINT ViewportNum, const D3D11_VIEWPORT *Viewports);
void D3D11DeviceContext_ResolveSubresource(ID3D11Resource *Dest, UINT DestSubresource, ID3D11Resource *Src,
                                           UINT SrcSubresource, DXGI_FORMAT Format);

// ---- Device wrappers ----------------------------------------------------------------------------

HRESULT D3D11Device_CreateBuffer(const D3D11_BUFFER_DESC *Desc, const D3D11_SUBRESOURCE_DATA *InitialData,
                                 ID3D11Buffer **Buffer);
HRESULT D3D11Device_CreateBuffer_ASync(const D3D11_BUFFER_DESC *Desc, const D3D11_SUBRESOURCE_DATA *InitialData,
                                       ID3D11Buffer **Buffer, int ASyncThread);
int D3D11Device_CreateBuffer_ASyncCallback(ASyncLoadRequestInfo *Info);
HRESULT D3D11Device_CreateTexture2D(const D3D11_TEXTURE2D_DESC *Desc, const D3D11_SUBRESOURCE_DATA *InitialData,
                                    ID3D11Texture2D **Texture);
HRESULT D3D11Device_CreateTexture2D_ASync(const D3D11_TEXTURE2D_DESC *Desc, const D3D11_SUBRESOURCE_DATA *InitialData,
                                          ID3D11Texture2D **Texture, int ASyncThread);
int D3D11Device_CreateTexture2D_ASyncCallback(ASyncLoadRequestInfo *Info);
HRESULT D3D11Device_CreateShaderResourceView(ID3D11Resource *Resource, const D3D11_SHADER_RESOURCE_VIEW_DESC *Desc,
                                             ID3D11ShaderResourceView **View);
HRESULT D3D11Device_CreateShaderResourceView_ASync(ID3D11Resource *Resource,
                                                   const D3D11_SHADER_RESOURCE_VIEW_DESC *Desc,
                                                   ID3D11ShaderResourceView **View, int ASyncThread);
int D3D11Device_CreateShaderResourceView_ASyncCallback(ASyncLoadRequestInfo *Info);
HRESULT D3D11Device_CreateRenderTargetView(ID3D11Resource *Resource, const D3D11_RENDER_TARGET_VIEW_DESC *Desc,
                                           ID3D11RenderTargetView **View);
HRESULT D3D11Device_CreateRenderTargetView_ASync(ID3D11Resource *Resource, const D3D11_RENDER_TARGET_VIEW_DESC *Desc,
                                                 ID3D11RenderTargetView **View, int ASyncThread);
int D3D11Device_CreateRenderTargetView_ASyncCallback(ASyncLoadRequestInfo *Info);
HRESULT D3D11Device_CreateDepthStencilView(ID3D11Resource *Resource, const D3D11_DEPTH_STENCIL_VIEW_DESC *Desc,
                                           ID3D11DepthStencilView **View);
HRESULT D3D11Device_CreateDepthStencilView_ASync(ID3D11Resource *Resource, const D3D11_DEPTH_STENCIL_VIEW_DESC *Desc,
                                                 ID3D11DepthStencilView **View, int ASyncThread);
int D3D11Device_CreateDepthStencilView_ASyncCallback(ASyncLoadRequestInfo *Info);
HRESULT D3D11Device_CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC *Elements, UINT ElementNum, const void *Bytecode,
                                      SIZE_T BytecodeLength, ID3D11InputLayout **InputLayout);
HRESULT D3D11Device_CreateVertexShader(const void *Bytecode, SIZE_T BytecodeLength, ID3D11ClassLinkage *ClassLinkage,
                                       ID3D11VertexShader **Shader);
HRESULT D3D11Device_CreateVertexShader_ASync(const void *Bytecode, SIZE_T BytecodeLength,
                                             ID3D11ClassLinkage *ClassLinkage, ID3D11VertexShader **Shader,
                                             int ASyncThread);
int D3D11Device_CreateVertexShader_ASyncCallback(ASyncLoadRequestInfo *Info);
HRESULT D3D11Device_CreatePixelShader(const void *Bytecode, SIZE_T BytecodeLength, ID3D11ClassLinkage *ClassLinkage,
                                      ID3D11PixelShader **Shader);
HRESULT D3D11Device_CreatePixelShader_ASync(const void *Bytecode, SIZE_T BytecodeLength,
                                            ID3D11ClassLinkage *ClassLinkage, ID3D11PixelShader **Shader,
                                            int ASyncThread);
int D3D11Device_CreatePixelShader_ASyncCallback(ASyncLoadRequestInfo *Info);
HRESULT D3D11Device_CreateBlendState(const D3D11_BLEND_DESC *Desc, ID3D11BlendState **State);
HRESULT D3D11Device_CreateDepthStencilState(const D3D11_DEPTH_STENCIL_DESC *Desc, ID3D11DepthStencilState **State);
HRESULT D3D11Device_CreateRasterizerState(const D3D11_RASTERIZER_DESC *Desc, ID3D11RasterizerState **State);
HRESULT D3D11Device_CreateSamplerState(const D3D11_SAMPLER_DESC *Desc, ID3D11SamplerState **State);
// Uncounted: release it with Direct3D_ReleaseObject.
HRESULT D3D11Device_CreateQuery(const D3D11_QUERY_DESC *Desc, ID3D11Query **Query);
HRESULT D3D11Device_CheckFormatSupport(DXGI_FORMAT Format, UINT *Support);

// The sample count and quality the device gives Format and the D16 depth buffer that goes with it.
// Count 1 (or less) gives quality 0 without asking. Otherwise the count is lowered until the
// colour format has quality levels for it, then until the depth format has; Strict refuses the
// first lowering instead (-1, quality 0). Once the count is found, the quality is capped at the
// highest level both formats have at that count. 0 / -1.
int D3D11Device_CheckMultisampleQualityLevels(DXGI_FORMAT Format, UINT *SampleCount, UINT *Quality, int Strict);
int D3D11Device_CheckMultisampleQualityLevels_ASync(DXGI_FORMAT Format, UINT *SampleCount, UINT *Quality, int Strict,
                                                    int ASyncThread);
int D3D11Device_CheckMultisampleQualityLevels_ASyncCallback(ASyncLoadRequestInfo *Info);
int D3D11Device_IsValid(void);

// ---- Object wrappers -------------------------------------------------------------------------------

void D3D11Texture2D_GetDesc(ID3D11Texture2D *Texture, D3D11_TEXTURE2D_DESC *Desc);
void D3D11View_GetResource(ID3D11View *View, ID3D11Resource **Resource);
void D3D11RenderTargetView_GetDesc(ID3D11RenderTargetView *View, D3D11_RENDER_TARGET_VIEW_DESC *Desc);
HRESULT DXGIAdapter_EnumOutputs(IDXGIAdapter *Adapter, UINT Index, IDXGIOutput **Output);
HRESULT DXGIAdapter_GetDesc(IDXGIAdapter *Adapter, DXGI_ADAPTER_DESC *Desc);
HRESULT DXGIOutput_GetDesc(IDXGIOutput *Output, DXGI_OUTPUT_DESC *Desc);
HRESULT DXGIOutput_WaitForVBlank(IDXGIOutput *Output);
// Counts the buffer as a Texture2D on success: release it with D3D11Texture2D_Release.
HRESULT DXGISwapChain_GetBuffer(IDXGISwapChain *SwapChain, UINT Buffer, REFIID Riid, void **Surface);
HRESULT DXGISwapChain_GetContainingOutput(IDXGISwapChain *SwapChain, IDXGIOutput **Output);
HRESULT DXGISwapChain_GetDesc(IDXGISwapChain *SwapChain, DXGI_SWAP_CHAIN_DESC *Desc);
HRESULT DXGISwapChain_Present(IDXGISwapChain *SwapChain, UINT SyncInterval, UINT Flags);
HRESULT DXGISwapChain_ResizeBuffers(IDXGISwapChain *SwapChain, UINT BufferCount, UINT Width, UINT Height,
                                    DXGI_FORMAT Format, UINT Flags);
HRESULT DXGISwapChain_SetFullscreenState(IDXGISwapChain *SwapChain, BOOL Fullscreen, IDXGIOutput *Target);

// ---- Factory wrappers ----------------------------------------------------------------------------

// The device is the swap chain's device.
HRESULT DXGIFactory_CreateSwapChain(DXGI_SWAP_CHAIN_DESC *Desc, IDXGISwapChain **SwapChain);
HRESULT DXGIFactory_EnumAdapters(UINT Index, IDXGIAdapter **Adapter);
HRESULT DXGIFactory_MakeWindowAssociation(HWND Window, UINT Flags);
int DXGIFactory_IsValid(void);

// ---- Releases --------------------------------------------------------------------------------------

// Each lowers its type's count and calls Release; the result is Release's (the references left).
ULONG D3D11BlendState_Release(ID3D11BlendState *Object);
ULONG D3D11Buffer_Release(ID3D11Buffer *Object);
ULONG D3D11DepthStencilState_Release(ID3D11DepthStencilState *Object);
ULONG D3D11InputLayout_Release(ID3D11InputLayout *Object);
ULONG D3D11RasterizerState_Release(ID3D11RasterizerState *Object);
ULONG D3D11RenderTargetView_Release(ID3D11RenderTargetView *Object);
ULONG D3D11SamplerState_Release(ID3D11SamplerState *Object);
ULONG D3D11ShaderResourceView_Release(ID3D11ShaderResourceView *Object);
ULONG D3D11DepthStencilView_Release(ID3D11DepthStencilView *Object);
int D3D11DepthStencilView_Release_ASync(ID3D11DepthStencilView *Object, int ASyncThread);
int D3D11DepthStencilView_Release_ASyncCallback(ASyncLoadRequestInfo *Info);
ULONG D3D11PixelShader_Release(ID3D11PixelShader *Object);
int D3D11PixelShader_Release_ASync(ID3D11PixelShader *Object, int ASyncThread);
int D3D11PixelShader_Release_ASyncCallback(ASyncLoadRequestInfo *Info);
ULONG D3D11Texture2D_Release(ID3D11Texture2D *Object);
int D3D11Texture2D_Release_ASync(ID3D11Texture2D *Object, int ASyncThread);
int D3D11Texture2D_Release_ASyncCallback(ASyncLoadRequestInfo *Info);
ULONG D3D11VertexShader_Release(ID3D11VertexShader *Object);
int D3D11VertexShader_Release_ASync(ID3D11VertexShader *Object, int ASyncThread);
int D3D11VertexShader_Release_ASyncCallback(ASyncLoadRequestInfo *Info);
// IUnknown::Release with no count: swap chains, outputs, adapters, queries. A null object is
// nothing.
ULONG Direct3D_ReleaseObject(IUnknown *Object);
