// The call layer's device, object and factory wrappers, and the typed releases that balance the
// live-object counts. Without a device (or factory) the global wrappers answer E_POINTER.
#include "zovuz/d3d11/calls/windows/d3d11_calls.h"

namespace {

ID3D11Device *Device() { return D3D11CallLayer.Device; }

// A creation's result, counting the object it made.
template <typename T>
HRESULT Counted(HRESULT Result, T **Object, D3D11ObjectType Type)
{
    if (Result == S_OK && Object != nullptr && *Object != nullptr) ++D3D11CallLayer.ObjectCount[Type];
    return Result;
}

template <typename T>
ULONG ReleaseCounted(T *Object, D3D11ObjectType Type)
{
    if (Object == nullptr) return 0;
    --D3D11CallLayer.ObjectCount[Type];
    return Object->Release();
}

}  // namespace

// ---- Creation -----------------------------------------------------------------------------------

HRESULT D3D11Device_CreateBuffer(const D3D11_BUFFER_DESC *Desc, const D3D11_SUBRESOURCE_DATA *InitialData,
                                 ID3D11Buffer **Buffer)
{
    if (Device() == nullptr) return E_POINTER;
    return Counted(Device()->CreateBuffer(Desc, InitialData, Buffer), Buffer, D3D11_OBJECT_BUFFER);
}

HRESULT D3D11Device_CreateBuffer_ASync(const D3D11_BUFFER_DESC *Desc, const D3D11_SUBRESOURCE_DATA *InitialData,
                                       ID3D11Buffer **Buffer, int ASyncThread)
{
    if (!ASyncThread) return D3D11Device_CreateBuffer(Desc, InitialData, Buffer);
    return RequestMainThreadReplay(D3D11Device_CreateBuffer_ASyncCallback, Desc, InitialData, Buffer);
}

int D3D11Device_CreateBuffer_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(D3D11Device_CreateBuffer, Info);
}

HRESULT D3D11Device_CreateTexture2D(const D3D11_TEXTURE2D_DESC *Desc, const D3D11_SUBRESOURCE_DATA *InitialData,
                                    ID3D11Texture2D **Texture)
{
    if (Device() == nullptr) return E_POINTER;
    return Counted(Device()->CreateTexture2D(Desc, InitialData, Texture), Texture, D3D11_OBJECT_TEXTURE2D);
}

HRESULT D3D11Device_CreateTexture2D_ASync(const D3D11_TEXTURE2D_DESC *Desc, const D3D11_SUBRESOURCE_DATA *InitialData,
                                          ID3D11Texture2D **Texture, int ASyncThread)
{
    if (!ASyncThread) return D3D11Device_CreateTexture2D(Desc, InitialData, Texture);
    return RequestMainThreadReplay(D3D11Device_CreateTexture2D_ASyncCallback, Desc, InitialData, Texture);
}

int D3D11Device_CreateTexture2D_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(D3D11Device_CreateTexture2D, Info);
}

HRESULT D3D11Device_CreateShaderResourceView(ID3D11Resource *Resource, const D3D11_SHADER_RESOURCE_VIEW_DESC *Desc,
                                             ID3D11ShaderResourceView **View)
{
    if (Device() == nullptr) return E_POINTER;
    return Counted(Device()->CreateShaderResourceView(Resource, Desc, View), View, D3D11_OBJECT_SHADER_RESOURCE_VIEW);
}

HRESULT D3D11Device_CreateShaderResourceView_ASync(ID3D11Resource *Resource,
                                                   const D3D11_SHADER_RESOURCE_VIEW_DESC *Desc,
                                                   ID3D11ShaderResourceView **View, int ASyncThread)
{
    if (!ASyncThread) return D3D11Device_CreateShaderResourceView(Resource, Desc, View);
    return RequestMainThreadReplay(D3D11Device_CreateShaderResourceView_ASyncCallback, Resource, Desc, View);
}

int D3D11Device_CreateShaderResourceView_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(D3D11Device_CreateShaderResourceView, Info);
}

HRESULT D3D11Device_CreateRenderTargetView(ID3D11Resource *Resource, const D3D11_RENDER_TARGET_VIEW_DESC *Desc,
                                           ID3D11RenderTargetView **View)
{
    if (Device() == nullptr) return E_POINTER;
    return Counted(Device()->CreateRenderTargetView(Resource, Desc, View), View, D3D11_OBJECT_RENDER_TARGET_VIEW);
}

HRESULT D3D11Device_CreateRenderTargetView_ASync(ID3D11Resource *Resource, const D3D11_RENDER_TARGET_VIEW_DESC *Desc,
                                                 ID3D11RenderTargetView **View, int ASyncThread)
{
    if (!ASyncThread) return D3D11Device_CreateRenderTargetView(Resource, Desc, View);
    return RequestMainThreadReplay(D3D11Device_CreateRenderTargetView_ASyncCallback, Resource, Desc, View);
}

int D3D11Device_CreateRenderTargetView_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(D3D11Device_CreateRenderTargetView, Info);
}

HRESULT D3D11Device_CreateDepthStencilView(ID3D11Resource *Resource, const D3D11_DEPTH_STENCIL_VIEW_DESC *Desc,
                                           ID3D11DepthStencilView **View)
{
    if (Device() == nullptr) return E_POINTER;
    return Counted(Device()->CreateDepthStencilView(Resource, Desc, View), View, D3D11_OBJECT_DEPTH_STENCIL_VIEW);
}

HRESULT D3D11Device_CreateDepthStencilView_ASync(ID3D11Resource *Resource, const D3D11_DEPTH_STENCIL_VIEW_DESC *Desc,
                                                 ID3D11DepthStencilView **View, int ASyncThread)
{
    if (!ASyncThread) return D3D11Device_CreateDepthStencilView(Resource, Desc, View);
    return RequestMainThreadReplay(D3D11Device_CreateDepthStencilView_ASyncCallback, Resource, Desc, View);
}

int D3D11Device_CreateDepthStencilView_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(D3D11Device_CreateDepthStencilView, Info);
}

HRESULT D3D11Device_CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC *Elements, UINT ElementNum, const void *Bytecode,
                                      SIZE_T BytecodeLength, ID3D11InputLayout **InputLayout)
{
    if (Device() == nullptr) return E_POINTER;
    return Counted(Device()->CreateInputLayout(Elements, ElementNum, Bytecode, BytecodeLength, InputLayout),
                   InputLayout, D3D11_OBJECT_INPUT_LAYOUT);
}

HRESULT D3D11Device_CreateVertexShader(const void *Bytecode, SIZE_T BytecodeLength, ID3D11ClassLinkage *ClassLinkage,
                                       ID3D11VertexShader **Shader)
{
    if (Device() == nullptr) return E_POINTER;
    return Counted(Device()->CreateVertexShader(Bytecode, BytecodeLength, ClassLinkage, Shader), Shader,
                   D3D11_OBJECT_VERTEX_SHADER);
}

HRESULT D3D11Device_CreateVertexShader_ASync(const void *Bytecode, SIZE_T BytecodeLength,
                                             ID3D11ClassLinkage *ClassLinkage, ID3D11VertexShader **Shader,
                                             int ASyncThread)
{
    if (!ASyncThread) return D3D11Device_CreateVertexShader(Bytecode, BytecodeLength, ClassLinkage, Shader);
    return RequestMainThreadReplay(D3D11Device_CreateVertexShader_ASyncCallback, Bytecode, BytecodeLength, ClassLinkage,
                                   Shader);
}

int D3D11Device_CreateVertexShader_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(D3D11Device_CreateVertexShader, Info);
}

HRESULT D3D11Device_CreatePixelShader(const void *Bytecode, SIZE_T BytecodeLength, ID3D11ClassLinkage *ClassLinkage,
                                      ID3D11PixelShader **Shader)
{
    if (Device() == nullptr) return E_POINTER;
    return Counted(Device()->CreatePixelShader(Bytecode, BytecodeLength, ClassLinkage, Shader), Shader,
                   D3D11_OBJECT_PIXEL_SHADER);
}

HRESULT D3D11Device_CreatePixelShader_ASync(const void *Bytecode, SIZE_T BytecodeLength,
                                            ID3D11ClassLinkage *ClassLinkage, ID3D11PixelShader **Shader,
                                            int ASyncThread)
{
    if (!ASyncThread) return D3D11Device_CreatePixelShader(Bytecode, BytecodeLength, ClassLinkage, Shader);
    return RequestMainThreadReplay(D3D11Device_CreatePixelShader_ASyncCallback, Bytecode, BytecodeLength, ClassLinkage,
                                   Shader);
}

int D3D11Device_CreatePixelShader_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(D3D11Device_CreatePixelShader, Info);
}

HRESULT D3D11Device_CreateBlendState(const D3D11_BLEND_DESC *Desc, ID3D11BlendState **State)
{
    if (Device() == nullptr) return E_POINTER;
    return Counted(Device()->CreateBlendState(Desc, State), State, D3D11_OBJECT_BLEND_STATE);
}

HRESULT D3D11Device_CreateDepthStencilState(const D3D11_DEPTH_STENCIL_DESC *Desc, ID3D11DepthStencilState **State)
{
    if (Device() == nullptr) return E_POINTER;
    return Counted(Device()->CreateDepthStencilState(Desc, State), State, D3D11_OBJECT_DEPTH_STENCIL_STATE);
}

HRESULT D3D11Device_CreateRasterizerState(const D3D11_RASTERIZER_DESC *Desc, ID3D11RasterizerState **State)
{
    if (Device() == nullptr) return E_POINTER;
    return Counted(Device()->CreateRasterizerState(Desc, State), State, D3D11_OBJECT_RASTERIZER_STATE);
}

HRESULT D3D11Device_CreateSamplerState(const D3D11_SAMPLER_DESC *Desc, ID3D11SamplerState **State)
{
    if (Device() == nullptr) return E_POINTER;
    return Counted(Device()->CreateSamplerState(Desc, State), State, D3D11_OBJECT_SAMPLER_STATE);
}

HRESULT D3D11Device_CreateQuery(const D3D11_QUERY_DESC *Desc, ID3D11Query **Query)
{
    if (Device() == nullptr) return E_POINTER;
    return Device()->CreateQuery(Desc, Query);
}

HRESULT D3D11Device_CheckFormatSupport(DXGI_FORMAT Format, UINT *Support)
{
    if (Device() == nullptr) return E_POINTER;
    return Device()->CheckFormatSupport(Format, Support);
}

// ---- Objects ------------------------------------------------------------------------------------

void D3D11Texture2D_GetDesc(ID3D11Texture2D *Texture, D3D11_TEXTURE2D_DESC *Desc) { Texture->GetDesc(Desc); }

void D3D11View_GetResource(ID3D11View *View, ID3D11Resource **Resource) { View->GetResource(Resource); }

void D3D11RenderTargetView_GetDesc(ID3D11RenderTargetView *View, D3D11_RENDER_TARGET_VIEW_DESC *Desc)
{
    View->GetDesc(Desc);
}

HRESULT DXGIAdapter_EnumOutputs(IDXGIAdapter *Adapter, UINT Index, IDXGIOutput **Output)
{
    return Adapter->EnumOutputs(Index, Output);
}

HRESULT DXGIAdapter_GetDesc(IDXGIAdapter *Adapter, DXGI_ADAPTER_DESC *Desc) { return Adapter->GetDesc(Desc); }

HRESULT DXGIOutput_GetDesc(IDXGIOutput *Output, DXGI_OUTPUT_DESC *Desc) { return Output->GetDesc(Desc); }

HRESULT DXGIOutput_WaitForVBlank(IDXGIOutput *Output) { return Output->WaitForVBlank(); }

HRESULT DXGISwapChain_GetBuffer(IDXGISwapChain *SwapChain, UINT Buffer, REFIID Riid, void **Surface)
{
    return Counted(SwapChain->GetBuffer(Buffer, Riid, Surface), Surface, D3D11_OBJECT_TEXTURE2D);
}

HRESULT DXGISwapChain_GetContainingOutput(IDXGISwapChain *SwapChain, IDXGIOutput **Output)
{
    return SwapChain->GetContainingOutput(Output);
}

HRESULT DXGISwapChain_GetDesc(IDXGISwapChain *SwapChain, DXGI_SWAP_CHAIN_DESC *Desc)
{
    return SwapChain->GetDesc(Desc);
}

HRESULT DXGISwapChain_Present(IDXGISwapChain *SwapChain, UINT SyncInterval, UINT Flags)
{
    D3D11CallLayer.PresentCallCount++;
    return SwapChain->Present(SyncInterval, Flags);
}

HRESULT DXGISwapChain_ResizeBuffers(IDXGISwapChain *SwapChain, UINT BufferCount, UINT Width, UINT Height,
                                    DXGI_FORMAT Format, UINT Flags)
{
    return SwapChain->ResizeBuffers(BufferCount, Width, Height, Format, Flags);
}

HRESULT DXGISwapChain_SetFullscreenState(IDXGISwapChain *SwapChain, BOOL Fullscreen, IDXGIOutput *Target)
{
    return SwapChain->SetFullscreenState(Fullscreen, Target);
}

// ---- Factory ------------------------------------------------------------------------------------

HRESULT DXGIFactory_CreateSwapChain(DXGI_SWAP_CHAIN_DESC *Desc, IDXGISwapChain **SwapChain)
{
    if (D3D11CallLayer.Factory == nullptr) return E_POINTER;
    return D3D11CallLayer.Factory->CreateSwapChain(Device(), Desc, SwapChain);
}

HRESULT DXGIFactory_EnumAdapters(UINT Index, IDXGIAdapter **Adapter)
{
    if (D3D11CallLayer.Factory == nullptr) return E_POINTER;
    return D3D11CallLayer.Factory->EnumAdapters(Index, Adapter);
}

HRESULT DXGIFactory_MakeWindowAssociation(HWND Window, UINT Flags)
{
    if (D3D11CallLayer.Factory == nullptr) return E_POINTER;
    return D3D11CallLayer.Factory->MakeWindowAssociation(Window, Flags);
}

// ---- Releases -----------------------------------------------------------------------------------

ULONG D3D11BlendState_Release(ID3D11BlendState *Object) { return ReleaseCounted(Object, D3D11_OBJECT_BLEND_STATE); }

ULONG D3D11Buffer_Release(ID3D11Buffer *Object) { return ReleaseCounted(Object, D3D11_OBJECT_BUFFER); }

ULONG D3D11DepthStencilState_Release(ID3D11DepthStencilState *Object)
{
    return ReleaseCounted(Object, D3D11_OBJECT_DEPTH_STENCIL_STATE);
}

ULONG D3D11InputLayout_Release(ID3D11InputLayout *Object) { return ReleaseCounted(Object, D3D11_OBJECT_INPUT_LAYOUT); }

ULONG D3D11RasterizerState_Release(ID3D11RasterizerState *Object)
{
    return ReleaseCounted(Object, D3D11_OBJECT_RASTERIZER_STATE);
}

ULONG D3D11RenderTargetView_Release(ID3D11RenderTargetView *Object)
{
    return ReleaseCounted(Object, D3D11_OBJECT_RENDER_TARGET_VIEW);
}

ULONG D3D11SamplerState_Release(ID3D11SamplerState *Object)
{
    return ReleaseCounted(Object, D3D11_OBJECT_SAMPLER_STATE);
}

ULONG D3D11ShaderResourceView_Release(ID3D11ShaderResourceView *Object)
{
    return ReleaseCounted(Object, D3D11_OBJECT_SHADER_RESOURCE_VIEW);
}

ULONG D3D11DepthStencilView_Release(ID3D11DepthStencilView *Object)
{
    return ReleaseCounted(Object, D3D11_OBJECT_DEPTH_STENCIL_VIEW);
}

int D3D11DepthStencilView_Release_ASync(ID3D11DepthStencilView *Object, int ASyncThread)
{
    if (!ASyncThread) return (int)D3D11DepthStencilView_Release(Object);
    return RequestMainThreadReplay(D3D11DepthStencilView_Release_ASyncCallback, Object);
}

int D3D11DepthStencilView_Release_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(D3D11DepthStencilView_Release, Info);
}

ULONG D3D11PixelShader_Release(ID3D11PixelShader *Object) { return ReleaseCounted(Object, D3D11_OBJECT_PIXEL_SHADER); }

int D3D11PixelShader_Release_ASync(ID3D11PixelShader *Object, int ASyncThread)
{
    if (!ASyncThread) return (int)D3D11PixelShader_Release(Object);
    return RequestMainThreadReplay(D3D11PixelShader_Release_ASyncCallback, Object);
}

int D3D11PixelShader_Release_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(D3D11PixelShader_Release, Info);
}

ULONG D3D11Texture2D_Release(ID3D11Texture2D *Object) { return ReleaseCounted(Object, D3D11_OBJECT_TEXTURE2D); }

int D3D11Texture2D_Release_ASync(ID3D11Texture2D *Object, int ASyncThread)
{
    if (!ASyncThread) return (int)D3D11Texture2D_Release(Object);
    return RequestMainThreadReplay(D3D11Texture2D_Release_ASyncCallback, Object);
}

int D3D11Texture2D_Release_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(D3D11Texture2D_Release, Info);
}

ULONG D3D11VertexShader_Release(ID3D11VertexShader *Object)
{
    return ReleaseCounted(Object, D3D11_OBJECT_VERTEX_SHADER);
}

int D3D11VertexShader_Release_ASync(ID3D11VertexShader *Object, int ASyncThread)
{
    if (!ASyncThread) return (int)D3D11VertexShader_Release(Object);
    return RequestMainThreadReplay(D3D11VertexShader_Release_ASyncCallback, Object);
}

int D3D11VertexShader_Release_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(D3D11VertexShader_Release, Info);
}

ULONG Direct3D_ReleaseObject(IUnknown *Object) { return Object != nullptr ? Object->Release() : 0; }
