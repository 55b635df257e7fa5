// The Direct3D 11 objects of vertex-buffer, index-buffer, constant-buffer and shader handles: one
// record each in the handle's back-end part (its PF), reached through the accessors below.
#pragma once

#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"

// A vertex or index buffer handle's device buffer.
struct D3D11BufferObjects
{
    ID3D11Buffer *Buffer;
};
static_assert(sizeof(D3D11BufferObjects) <= sizeof(GraphicsBackendObjectData) &&
                  alignof(D3D11BufferObjects) <= alignof(GraphicsBackendObjectData),
              "a buffer's objects fit its back-end part");

// A ShaderConstantBuffer handle's constant-buffer record.
struct D3D11ConstantBufferObjects
{
    D3D11ConstantBuffer *Record;
};
static_assert(sizeof(D3D11ConstantBufferObjects) <= sizeof(GraphicsBackendObjectData) &&
                  alignof(D3D11ConstantBufferObjects) <= alignof(GraphicsBackendObjectData),
              "a constant buffer's objects fit its back-end part");

// A shader handle's shader: only the member of the handle's kind is ever set.
struct D3D11ShaderObjects
{
    ID3D11VertexShader *Vertex;
    ID3D11PixelShader *Pixel;
};
static_assert(sizeof(D3D11ShaderObjects) <= sizeof(GraphicsBackendObjectData) &&
                  alignof(D3D11ShaderObjects) <= alignof(GraphicsBackendObjectData),
              "a shader's objects fit its back-end part");

// Each handle's record, null when the handle has no back-end part.
template <typename Handle>
D3D11BufferObjects *D3D11BufferObjectsOf(const Handle *Buffer)
{
    return GraphicsBackendRecord<D3D11BufferObjects>(Buffer->PF);
}
inline D3D11ConstantBufferObjects *D3D11ConstantBufferObjectsOf(const ShaderConstantBufferHandleData *Buffer)
{
    return GraphicsBackendRecord<D3D11ConstantBufferObjects>(Buffer->PF);
}
inline D3D11ShaderObjects *D3D11ShaderObjectsOf(const ShaderHandleData *Shader)
{
    return GraphicsBackendRecord<D3D11ShaderObjects>(Shader->PF);
}
