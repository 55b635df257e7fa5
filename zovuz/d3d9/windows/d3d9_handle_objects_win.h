// The Direct3D 9 objects of vertex-buffer, index-buffer and shader handles: one record each in the
// handle's back-end part (its PF), reached through the accessors below. A shadow map keeps a
// D3D9TextureObjects record (d3d9_device_state_win.h).
#pragma once

#include "zovuz/d3d9/calls/windows/d3d9_calls.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"

struct D3D9VertexBufferObjects
{
    IDirect3DVertexBuffer9 *Buffer;
};
static_assert(sizeof(D3D9VertexBufferObjects) <= sizeof(GraphicsBackendObjectData) &&
                  alignof(D3D9VertexBufferObjects) <= alignof(GraphicsBackendObjectData),
              "a vertex buffer's objects fit its back-end part");

struct D3D9IndexBufferObjects
{
    IDirect3DIndexBuffer9 *Buffer;
};
static_assert(sizeof(D3D9IndexBufferObjects) <= sizeof(GraphicsBackendObjectData) &&
                  alignof(D3D9IndexBufferObjects) <= alignof(GraphicsBackendObjectData),
              "an index buffer's objects fit its back-end part");

// A shader handle's shader (only the member of the handle's kind is ever set) and where its
// constant table is: the count, and the byte offset of the first description inside the handle's
// copy of the code.
struct D3D9ShaderObjects
{
    IDirect3DVertexShader9 *Vertex;
    IDirect3DPixelShader9 *Pixel;
    int ConstantNum;
    int ConstantOffset;
};
static_assert(sizeof(D3D9ShaderObjects) <= sizeof(GraphicsBackendObjectData) &&
                  alignof(D3D9ShaderObjects) <= alignof(GraphicsBackendObjectData),
              "a shader's objects fit its back-end part");

// Each handle's record, null when the handle has no back-end part.
inline D3D9VertexBufferObjects *D3D9VertexBufferObjectsOf(const VertexBufferHandleData *Buffer)
{
    return GraphicsBackendRecord<D3D9VertexBufferObjects>(Buffer->PF);
}
inline D3D9IndexBufferObjects *D3D9IndexBufferObjectsOf(const IndexBufferHandleData *Buffer)
{
    return GraphicsBackendRecord<D3D9IndexBufferObjects>(Buffer->PF);
}
inline D3D9ShaderObjects *D3D9ShaderObjectsOf(const ShaderHandleData *Shader)
{
    return GraphicsBackendRecord<D3D9ShaderObjects>(Shader->PF);
}
