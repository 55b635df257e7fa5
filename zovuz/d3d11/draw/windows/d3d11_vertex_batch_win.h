// The Direct3D 11 back end's input layouts and its vertex batch: the layout objects made from the
// vertex-format table (d3d11_vertex_formats.h) against the base vertex shaders, and the 64 KiB
// dynamic vertex buffer the 2-D primitives write their vertices into. The buffer stays mapped
// between draws: a flush unmaps it, draws what was written and maps it again at once. Batches
// follow one another through the buffer, each mapped without overwriting what the device may
// still read; only a batch that no longer fits discards the buffer and starts again at its head.
#pragma once

#include <stdint.h>

#include "zovuz/d3d11/draw/d3d11_vertex_formats.h"
#include "zovuz/d3d11/calls/windows/d3d11_calls.h"

constexpr int D3D11_BATCH_BUFFER_SIZE = 65536;

// Layouts: one per vertex format, then the two transfer layouts.
constexpr int D3D11_INPUT_LAYOUT_TRANSFER = D3D11_VERTEX_FORMAT_NUM;
constexpr int D3D11_INPUT_LAYOUT_TRANSFER8 = D3D11_VERTEX_FORMAT_NUM + 1;
constexpr int D3D11_INPUT_LAYOUT_NUM = D3D11_VERTEX_FORMAT_NUM + 2;

struct D3D11BatchBuffer
{
    ID3D11Buffer *Buffer;   // 65536 bytes, dynamic, CPU-writable
    uint8_t *Mapped;        // the pending batch's first vertex; null while not mapped (or when the map failed)
    uint8_t *Write;         // where the next vertex goes; null while not mapped
    int Used;               // bytes before the pending batch, drawn since the last discard
    int Count;              // vertices written
    int Kind;               // 0 untextured, 1 textured, 2 blend-textured
    int Flag3D;             // 0 for 2-D drawing
    int Topology;           // D3D11_PRIMITIVE_TOPOLOGY: 2 line list, 4 triangle list
    int SkipFlag;           // drop the pending vertices instead of drawing them
    uint32_t DiffuseColor;  // the packed colour of the draw settings
};
extern D3D11BatchBuffer D3D11Batch;

struct D3D11InputLayoutData
{
    ID3D11InputLayout *Layout[D3D11_INPUT_LAYOUT_NUM];
};
extern D3D11InputLayoutData D3D11InputLayouts;

// Releases any layouts, then makes the nine, with their log lines. 0, or -1 at the first failure
// (the layouts made so far stay).
int Graphics_D3D11_CreateInputLayouts(void);
// -1 without a device, else 0.
int Graphics_D3D11_ReleaseInputLayouts(void);
// The batch's vertex buffer, with its log lines. 0 / -1.
int Graphics_D3D11_CreateStandardVertexBuffer(void);
// Unmaps and releases it; the batch's pointers become null. 0.
int Graphics_D3D11_ReleaseStandardVertexBuffer(void);

// Draws the pending vertices (unless the library ends or the skip flag is set), empties the batch
// and maps the buffer again. Next3D >= 0 becomes the 3-D flag of the next batch. With ASyncThread
// the call is made on the main thread. 0, or -1 without a device.
int Graphics_D3D11_RenderVertexBuffer(int Next3D, int ASyncThread);
int Graphics_D3D11_RenderVertexBuffer_ASyncCallback(ASyncLoadRequestInfo *Info);

// Appends Num vertices of the batch's format with Topology, drawing the batch first when its
// topology differs, it is 3-D, or the vertices would fill it. 0, or -1 when the buffer could not
// be mapped (nothing is written; the next flush maps again).
int Graphics_D3D11_AppendBatchVertices(const void *Vertices, int Num, int Topology);
