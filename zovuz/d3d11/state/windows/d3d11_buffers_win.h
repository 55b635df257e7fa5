// The Direct3D 11 back end's buffers: the growing common vertex and index buffers for draws of
// open size, the constant-buffer records with their system copies (the seven standard ones and
// those the graph filters make), and the screen's depth buffer.
#pragma once

#include <stdint.h>

#include "zovuz/d3d11/calls/windows/d3d11_calls.h"

// ---- Constant buffers ------------------------------------------------------------------------

// One allocation: this record, the system copy of Size bytes, then the bytes last sent to the
// device. Writers change the copy and set Dirty; before the next draw the copy goes to the device
// if it differs from what was sent (writers mostly write the values the buffer holds already).
struct D3D11ConstantBuffer
{
    uint32_t Size;              // bytes, a multiple of 16
    ID3D11Buffer *Buffer;       // DEFAULT usage, constant-buffer bind
    void *SystemCopy;           // the bytes right after this record
    uint32_t Dirty;             // 1 = the copy may differ from the device buffer
    uint32_t SentFlag;          // 1 = the bytes after the copy are what the device buffer holds
    D3D11ConstantBuffer *Next;  // the list of live records
    D3D11ConstantBuffer *Prev;
};

// The device's own limit on a constant buffer: 4096 constants of 16 bytes.
constexpr int D3D11_CONSTANT_BUFFER_MAXSIZE = 65536;

// The live records, changed only under the "ShaderConstantBuffer" handle type's lock (loader
// threads make records for their filters).
struct D3D11ConstantBufferListData
{
    D3D11ConstantBuffer *First;
    int Num;
};
extern D3D11ConstantBufferListData D3D11ConstantBufferList;

// The seven standard buffers, in the order they are made, uploaded and bound.
enum D3D11StandardConstantBuffer {
    D3D11_SCB_COMMON = 0,    // 768 bytes, vertex slot 0 and pixel slot 0
    D3D11_SCB_VERTEX_BASE,   // 256, vertex slot 1
    D3D11_SCB_VERTEX_OTHER,  // 288, vertex slot 2
    D3D11_SCB_VERTEX_SLOT3,  // 2592, vertex slot 3 (shadow maps)
    D3D11_SCB_PIXEL_BASE,    // 64, pixel slot 1
    D3D11_SCB_PIXEL_SLOT2,   // 96, pixel slot 2 (shadow-map parameters; the filters bind their own to slot 3)
    D3D11_SCB_PIXEL_SLOT3,   // 256, pixel slot 3 (graph filters)
    D3D11_SCB_NUM
};
extern const int D3D11StandardConstantBufferSize[D3D11_SCB_NUM];

// The common buffers, the standard constant buffers and the depth buffer of the device.
struct D3D11BufferData
{
    ID3D11Buffer *CommonVertexBuffer;  // dynamic, CPU-writable; null = none
    int CommonVertexBufferSize;        // bytes, 0 = none
    ID3D11Buffer *CommonIndexBuffer;
    int CommonIndexBufferSize;
    D3D11ConstantBuffer *Standard[D3D11_SCB_NUM];  // null until made
    ID3D11Texture2D *DepthBuffer;                  // the screen's depth texture
    ID3D11DepthStencilView *DepthBufferDSV;
    int DepthBufferWidth, DepthBufferHeight;
    int DepthBufferBitDepth;  // 16
};
extern D3D11BufferData D3D11Buffers;

// A float of a standard buffer's system copy at a byte offset, or null while the buffer is not
// made; marks the buffer dirty.
float *D3D11ConstantFloats(D3D11StandardConstantBuffer Which, int Offset);

// ---- Operations ----------------------------------------------------------------------------------

// Ensure the common buffer holds at least Bytes: a larger one replaces it with 16 KiB of room to
// grow. 0, or -1 (logged; the buffer is then absent with size 0).
int Graphics_D3D11_CreateCommonVertexBuffer(int Bytes);
int Graphics_D3D11_CreateCommonIndexBuffer(int Bytes);
// Release the common buffers (the vertex one taken off the device when bound). 0.
int Graphics_D3D11_ReleaseCommonVertexBuffer(void);
int Graphics_D3D11_ReleaseCommonIndexBuffer(void);

// A zeroed record of Size bytes with its device buffer, made on the main thread when a loader
// thread asks (ASyncThread). Null (logged) for a size that is not a multiple of 16 or above
// 65,536, without memory, or when the buffer cannot be made.
D3D11ConstantBuffer *Graphics_D3D11_CreateConstantBuffer(int Size, int ASyncThread);
// Forgets the record wherever the device-state cache binds it, then frees it. A null record is
// nothing. 0.
int Graphics_D3D11_DeleteConstantBuffer(D3D11ConstantBuffer *Buffer);
// Uploads the copy when it is dirty and differs from the bytes last sent (always the first time).
// 0.
int Graphics_D3D11_ConstantBuffer_Update(D3D11ConstantBuffer *Buffer);
// Binds the records' buffers to pixel slots Start... through the device-state cache. 0, or -1 when
// Start + Num > 14.
int Graphics_D3D11_DeviceState_SetPSConstantBuffers(int Start, int Num, D3D11ConstantBuffer *const *Buffers);

// The seven standard buffers, with their log lines; a failure deletes those made. 0 / -1.
int Graphics_D3D11_CreateShaderConstantBuffers(void);
int Graphics_D3D11_ReleaseShaderConstantBuffers(void);

// The screen's depth buffer at the screen size, bound and cleared. 0 / -1 (logged).
int Graphics_D3D11_CreateDepthBuffer(void);
// Unbinds and releases it. 0.
int Graphics_D3D11_ReleaseDepthBuffer(void);
