// The call layer's immediate-context wrappers: one call each on the device's immediate context.
// Without a device (nothing to draw on) they do nothing; Map answers E_POINTER.
#include "zovuz/d3d11/calls/windows/d3d11_calls.h"

namespace {

ID3D11DeviceContext *Context() { return D3D11CallLayer.Context; }

void CountIfScreenView(ID3D11RenderTargetView *View)
{
    if (View != nullptr && Graphics_D3D11_IsScreenView(View)) D3D11CallLayer.ScreenWriteCount++;
}

void CountIfScreenResource(ID3D11Resource *Resource)
{
    if (Resource != nullptr && Graphics_D3D11_IsScreenResource(Resource)) D3D11CallLayer.ScreenWriteCount++;
}

void CountDrawOnScreen()
{
    const D3D11CallLayerData &c = D3D11CallLayer;
    for (UINT i = 0; i < c.BoundTargetNum; ++i) {
        if (c.BoundTargets[i] != nullptr && Graphics_D3D11_IsScreenView(c.BoundTargets[i])) {
            D3D11CallLayer.ScreenWriteCount++;
            return;
        }
    }
}

}  // namespace

// ---- Clears -----------------------------------------------------------------------------------

void D3D11DeviceContext_ClearDepthStencilView(ID3D11DepthStencilView *View, UINT ClearFlags, FLOAT Depth, UINT8 Stencil)
{
    if (Context() != nullptr) Context()->ClearDepthStencilView(View, ClearFlags, Depth, Stencil);
}

int D3D11DeviceContext_ClearDepthStencilView_ASync(ID3D11DepthStencilView *View, UINT ClearFlags, FLOAT Depth,
                                                   UINT8 Stencil, int ASyncThread)
{
    if (!ASyncThread) {
        D3D11DeviceContext_ClearDepthStencilView(View, ClearFlags, Depth, Stencil);
        return 0;
    }
    return RequestMainThreadReplay(D3D11DeviceContext_ClearDepthStencilView_ASyncCallback, View, ClearFlags, Depth,
                                   Stencil);
}

int D3D11DeviceContext_ClearDepthStencilView_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(D3D11DeviceContext_ClearDepthStencilView, Info);
}

void D3D11DeviceContext_ClearRenderTargetView(ID3D11RenderTargetView *View, const FLOAT ColorRGBA[4])
{
    CountIfScreenView(View);
    if (Context() != nullptr) Context()->ClearRenderTargetView(View, ColorRGBA);
}

int D3D11DeviceContext_ClearRenderTargetView_ASync(ID3D11RenderTargetView *View, const FLOAT ColorRGBA[4],
                                                   int ASyncThread)
{
    if (!ASyncThread) {
        D3D11DeviceContext_ClearRenderTargetView(View, ColorRGBA);
        return 0;
    }
    return RequestMainThreadReplay(D3D11DeviceContext_ClearRenderTargetView_ASyncCallback, View, ColorRGBA);
}

int D3D11DeviceContext_ClearRenderTargetView_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    // The colour is read on this side of the hand-over, into the main thread's own copy.
    const FLOAT *source = (const FLOAT *)Info->Data[1];
    FLOAT color[4] = {source[0], source[1], source[2], source[3]};
    D3D11DeviceContext_ClearRenderTargetView((ID3D11RenderTargetView *)Info->Data[0], color);
    return 0;
}

// ---- Copies -------------------------------------------------------------------------------------

void D3D11DeviceContext_CopyResource(ID3D11Resource *Dest, ID3D11Resource *Src)
{
    CountIfScreenResource(Dest);
    if (Context() != nullptr) Context()->CopyResource(Dest, Src);
}

void D3D11DeviceContext_CopySubresourceRegion(ID3D11Resource *Dest, UINT DestSubresource, UINT DestX, UINT DestY,
                                              UINT DestZ, ID3D11Resource *Src, UINT SrcSubresource,
                                              const D3D11_BOX *SrcBox)
{
    CountIfScreenResource(Dest);
    if (Context() != nullptr)
        Context()->CopySubresourceRegion(Dest, DestSubresource, DestX, DestY, DestZ, Src, SrcSubresource, SrcBox);
}

void D3D11DeviceContext_ResolveSubresource(ID3D11Resource *Dest, UINT DestSubresource, ID3D11Resource *Src,
                                           UINT SrcSubresource, DXGI_FORMAT Format)
{
    CountIfScreenResource(Dest);
    if (Context() != nullptr) Context()->ResolveSubresource(Dest, DestSubresource, Src, SrcSubresource, Format);
}

void D3D11DeviceContext_UpdateSubresource(ID3D11Resource *Resource, UINT Subresource, const D3D11_BOX *Box,
                                          const void *Data, UINT RowPitch, UINT DepthPitch)
{
    D3D11CallLayer.UpdateSubresourceCallCount++;
    CountIfScreenResource(Resource);
    if (Context() != nullptr) Context()->UpdateSubresource(Resource, Subresource, Box, Data, RowPitch, DepthPitch);
}

int D3D11DeviceContext_UpdateSubresource_ASync(ID3D11Resource *Resource, UINT Subresource, const D3D11_BOX *Box,
                                               const void *Data, UINT RowPitch, UINT DepthPitch, int ASyncThread)
{
    if (!ASyncThread) {
        D3D11DeviceContext_UpdateSubresource(Resource, Subresource, Box, Data, RowPitch, DepthPitch);
        return 0;
    }
    return RequestMainThreadReplay(D3D11DeviceContext_UpdateSubresource_ASyncCallback, Resource, Subresource, Box, Data,
                                   RowPitch, DepthPitch);
}

int D3D11DeviceContext_UpdateSubresource_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(D3D11DeviceContext_UpdateSubresource, Info);
}

// ---- Map and Unmap ------------------------------------------------------------------------------

HRESULT D3D11DeviceContext_Map(ID3D11Resource *Resource, UINT Subresource, D3D11_MAP MapType, UINT MapFlags,
                               D3D11_MAPPED_SUBRESOURCE *Mapped)
{
    D3D11CallLayer.MapCallCount++;
    if (Context() == nullptr) return E_POINTER;
    return Context()->Map(Resource, Subresource, MapType, MapFlags, Mapped);
}

HRESULT D3D11DeviceContext_Map_ASync(ID3D11Resource *Resource, UINT Subresource, D3D11_MAP MapType, UINT MapFlags,
                                     D3D11_MAPPED_SUBRESOURCE *Mapped, int ASyncThread)
{
    if (!ASyncThread) return D3D11DeviceContext_Map(Resource, Subresource, MapType, MapFlags, Mapped);
    return RequestMainThreadReplay(D3D11DeviceContext_Map_ASyncCallback, Resource, Subresource, MapType, MapFlags,
                                   Mapped);
}

int D3D11DeviceContext_Map_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(D3D11DeviceContext_Map, Info);
}

namespace {

void Unmap(ID3D11Resource *Resource, UINT Subresource)
{
    if (Context() != nullptr) Context()->Unmap(Resource, Subresource);
}

}  // namespace

int D3D11DeviceContext_Unmap_ASync(ID3D11Resource *Resource, UINT Subresource, int ASyncThread)
{
    if (!ASyncThread) {
        Unmap(Resource, Subresource);
        return 0;
    }
    return RequestMainThreadReplay(D3D11DeviceContext_Unmap_ASyncCallback, Resource, Subresource);
}

int D3D11DeviceContext_Unmap_ASyncCallback(ASyncLoadRequestInfo *Info) { return ReplayMainThreadCall(Unmap, Info); }

// ---- Drawing ------------------------------------------------------------------------------------

void D3D11DeviceContext_Draw(UINT VertexCount, UINT StartVertexLocation)
{
    D3D11CallLayer.DrawCallCount++;
    CountDrawOnScreen();
    if (Context() != nullptr) Context()->Draw(VertexCount, StartVertexLocation);
}

void D3D11DeviceContext_DrawIndexed(UINT IndexCount, UINT StartIndexLocation, INT BaseVertexLocation)
{
    D3D11CallLayer.DrawCallCount++;
    CountDrawOnScreen();
    if (Context() != nullptr) Context()->DrawIndexed(IndexCount, StartIndexLocation, BaseVertexLocation);
}

void D3D11DeviceContext_End(ID3D11Asynchronous *Async)
{
    if (Context() != nullptr) Context()->End(Async);
}

HRESULT D3D11DeviceContext_GetData(ID3D11Asynchronous *Async, void *Data, UINT DataSize, UINT GetDataFlags)
{
    if (Context() == nullptr) return E_POINTER;
    return Context()->GetData(Async, Data, DataSize, GetDataFlags);
}

// ---- Input assembler ----------------------------------------------------------------------------

void D3D11DeviceContext_IASetIndexBuffer(ID3D11Buffer *Buffer, DXGI_FORMAT Format, UINT Offset)
{
    if (Context() != nullptr) Context()->IASetIndexBuffer(Buffer, Format, Offset);
}

void D3D11DeviceContext_IASetInputLayout(ID3D11InputLayout *InputLayout)
{
    if (Context() != nullptr) Context()->IASetInputLayout(InputLayout);
}

void D3D11DeviceContext_IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY Topology)
{
    if (Context() != nullptr) Context()->IASetPrimitiveTopology(Topology);
}

void D3D11DeviceContext_IASetVertexBuffers(UINT StartSlot, UINT BufferNum, ID3D11Buffer *const *Buffers,
                                           const UINT *Strides, const UINT *Offsets)
{
    if (Context() != nullptr) Context()->IASetVertexBuffers(StartSlot, BufferNum, Buffers, Strides, Offsets);
}

// ---- Output merger ------------------------------------------------------------------------------

void D3D11DeviceContext_OMSetBlendState(ID3D11BlendState *State, const FLOAT BlendFactor[4], UINT SampleMask)
{
    if (Context() != nullptr) Context()->OMSetBlendState(State, BlendFactor, SampleMask);
}

void D3D11DeviceContext_OMSetDepthStencilState(ID3D11DepthStencilState *State, UINT StencilRef)
{
    if (Context() != nullptr) Context()->OMSetDepthStencilState(State, StencilRef);
}

void D3D11DeviceContext_OMSetRenderTargets(UINT ViewNum, ID3D11RenderTargetView *const *Views,
                                           ID3D11DepthStencilView *DepthStencilView)
{
    D3D11CallLayerData &c = D3D11CallLayer;
    c.BoundTargetNum = Views != nullptr && ViewNum <= 8 ? ViewNum : 0;
    for (UINT i = 0; i < c.BoundTargetNum; ++i) c.BoundTargets[i] = Views[i];
    if (Context() != nullptr) Context()->OMSetRenderTargets(ViewNum, Views, DepthStencilView);
}

// ---- Shader stages ------------------------------------------------------------------------------

void D3D11DeviceContext_CSSetShader(ID3D11ComputeShader *Shader, ID3D11ClassInstance *const *ClassInstances,
                                    UINT ClassInstanceNum)
{
    if (Context() != nullptr) Context()->CSSetShader(Shader, ClassInstances, ClassInstanceNum);
}

void D3D11DeviceContext_DSSetShader(ID3D11DomainShader *Shader, ID3D11ClassInstance *const *ClassInstances,
                                    UINT ClassInstanceNum)
{
    if (Context() != nullptr) Context()->DSSetShader(Shader, ClassInstances, ClassInstanceNum);
}

void D3D11DeviceContext_GSSetShader(ID3D11GeometryShader *Shader, ID3D11ClassInstance *const *ClassInstances,
                                    UINT ClassInstanceNum)
{
    if (Context() != nullptr) Context()->GSSetShader(Shader, ClassInstances, ClassInstanceNum);
}

void D3D11DeviceContext_HSSetShader(ID3D11HullShader *Shader, ID3D11ClassInstance *const *ClassInstances,
                                    UINT ClassInstanceNum)
{
    if (Context() != nullptr) Context()->HSSetShader(Shader, ClassInstances, ClassInstanceNum);
}

void D3D11DeviceContext_PSSetConstantBuffers(UINT StartSlot, UINT BufferNum, ID3D11Buffer *const *Buffers)
{
    if (Context() != nullptr) Context()->PSSetConstantBuffers(StartSlot, BufferNum, Buffers);
}

void D3D11DeviceContext_PSSetSamplers(UINT StartSlot, UINT SamplerNum, ID3D11SamplerState *const *Samplers)
{
    if (Context() != nullptr) Context()->PSSetSamplers(StartSlot, SamplerNum, Samplers);
}

void D3D11DeviceContext_PSSetShader(ID3D11PixelShader *Shader, ID3D11ClassInstance *const *ClassInstances,
                                    UINT ClassInstanceNum)
{
    if (Context() != nullptr) Context()->PSSetShader(Shader, ClassInstances, ClassInstanceNum);
}

void D3D11DeviceContext_PSSetShaderResources(UINT StartSlot, UINT ViewNum, ID3D11ShaderResourceView *const *Views)
{
    if (Context() != nullptr) Context()->PSSetShaderResources(StartSlot, ViewNum, Views);
}

void D3D11DeviceContext_VSSetConstantBuffers(UINT StartSlot, UINT BufferNum, ID3D11Buffer *const *Buffers)
{
    if (Context() != nullptr) Context()->VSSetConstantBuffers(StartSlot, BufferNum, Buffers);
}

void D3D11DeviceContext_VSSetShader(ID3D11VertexShader *Shader, ID3D11ClassInstance *const *ClassInstances,
                                    UINT ClassInstanceNum)
{
    if (Context() != nullptr) Context()->VSSetShader(Shader, ClassInstances, ClassInstanceNum);
}

// ---- Rasterizer ---------------------------------------------------------------------------------

void D3D11DeviceContext_RSSetState(ID3D11RasterizerState *State)
{
    if (Context() != nullptr) Context()->RSSetState(State);
}

void D3D11DeviceContext_RSSetViewports(UINT ViewportNum, const D3D11_VIEWPORT *Viewports)
{
    if (Context() != nullptr) Context()->RSSetViewports(ViewportNum, Viewports);
}
