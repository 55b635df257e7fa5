// The common buffers, the constant-buffer records and the screen's depth buffer.
#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"

#include <string.h>

#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_texture_desc_win.h"

D3D11ConstantBufferListData D3D11ConstantBufferList;
D3D11BufferData D3D11Buffers;

const int D3D11StandardConstantBufferSize[D3D11_SCB_NUM] = {768, 256, 288, 2592, 64, 96, 256};

namespace {

// The "ShaderConstantBuffer" handle type's lock, while the type is registered (before that only
// the main thread makes records).
class ConstantBufferLock
{
public:
    explicit ConstantBufferLock(int Line)
    {
        HandleManage *manage = GetHandleManage(DX_HANDLETYPE_SHADER_CONSTANT_BUFFER);
        if (manage != nullptr && manage->InitializeFlag) {
            Section = &manage->CriticalSection;
            CriticalSectionLock(Section, __FILE__, Line);
        }
    }
    ~ConstantBufferLock()
    {
        if (Section != nullptr) CriticalSectionUnlock(Section);
    }
    ConstantBufferLock(const ConstantBufferLock &) = delete;
    ConstantBufferLock &operator=(const ConstantBufferLock &) = delete;

private:
    DxCriticalSection *Section = nullptr;
};

// Grows one common buffer. Forget unbinds the old buffer wherever the device-state cache holds it.
int GrowCommonBuffer(ID3D11Buffer *&Buffer, int &Size, int Bytes, UINT Bind, const wchar_t *Failure,
                     void (*Forget)(ID3D11Buffer *Old))
{
    if (Bytes <= Size) return 0;
    if (Buffer != nullptr) {
        Forget(Buffer);
        D3D11Buffer_Release(Buffer);
        Buffer = nullptr;
    }
    Size = 0;
    const int size = (Bytes + 16384 + 15) / 16 * 16;
    D3D11_BUFFER_DESC desc = {};
    desc.ByteWidth = (UINT)size;
    desc.Usage = D3D11_USAGE_DYNAMIC;
    desc.BindFlags = Bind;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
    ID3D11Buffer *buffer = nullptr;
    if (D3D11Device_CreateBuffer(&desc, nullptr, &buffer) != S_OK) {
        AddLogFormat(Failure, size);
        return -1;
    }
    Buffer = buffer;
    Size = size;
    return 0;
}

void ForgetVertexBuffer(ID3D11Buffer *Old)
{
    if (D3D11DeviceState.VertexBuffer == Old) Graphics_D3D11_DeviceState_SetVertexBuffer(nullptr, 0);
}

void ForgetIndexBuffer(ID3D11Buffer *)
{
    D3D11DeviceState.IndexBuffer = nullptr;
    D3D11DeviceState.IndexFormat = DXGI_FORMAT_R16_UINT;
}

}  // namespace

float *D3D11ConstantFloats(D3D11StandardConstantBuffer Which, int Offset)
{
    D3D11ConstantBuffer *buffer = D3D11Buffers.Standard[Which];
    if (buffer == nullptr || Offset < 0 || Offset + 4 > (int)buffer->Size) return nullptr;
    buffer->Dirty = 1;
    return (float *)((uint8_t *)buffer->SystemCopy + Offset);
}

// ---- Common buffers -----------------------------------------------------------------------------

int Graphics_D3D11_CreateCommonVertexBuffer(int Bytes)
{
    return GrowCommonBuffer(D3D11Buffers.CommonVertexBuffer, D3D11Buffers.CommonVertexBufferSize, Bytes,
                            D3D11_BIND_VERTEX_BUFFER,
                            L"汎用描画用の頂点バッファの作成に失敗しました( サイズ %d byte )\n", ForgetVertexBuffer);
}

int Graphics_D3D11_CreateCommonIndexBuffer(int Bytes)
{
    return GrowCommonBuffer(
        D3D11Buffers.CommonIndexBuffer, D3D11Buffers.CommonIndexBufferSize, Bytes, D3D11_BIND_INDEX_BUFFER,
        L"汎用描画用のインデックスバッファの作成に失敗しました( サイズ %d byte )\n", ForgetIndexBuffer);
}

int Graphics_D3D11_ReleaseCommonVertexBuffer(void)
{
    if (D3D11Buffers.CommonVertexBuffer != nullptr) {
        ForgetVertexBuffer(D3D11Buffers.CommonVertexBuffer);
        D3D11Buffer_Release(D3D11Buffers.CommonVertexBuffer);
    }
    D3D11Buffers.CommonVertexBuffer = nullptr;
    D3D11Buffers.CommonVertexBufferSize = 0;
    return 0;
}

int Graphics_D3D11_ReleaseCommonIndexBuffer(void)
{
    if (D3D11Buffers.CommonIndexBuffer != nullptr) {
        ForgetIndexBuffer(D3D11Buffers.CommonIndexBuffer);
        D3D11Buffer_Release(D3D11Buffers.CommonIndexBuffer);
    }
    D3D11Buffers.CommonIndexBuffer = nullptr;
    D3D11Buffers.CommonIndexBufferSize = 0;
    return 0;
}

// ---- Constant buffers ---------------------------------------------------------------------------

D3D11ConstantBuffer *Graphics_D3D11_CreateConstantBuffer(int Size, int ASyncThread)
{
    ConstantBufferLock lock(__LINE__);
    if (Size <= 0 || Size % 16 != 0) {
        AddLogStringWide(L"定数バッファのサイズは１６の倍数である必要があります\n");
        return nullptr;
    }
    // The device refuses a larger buffer anyway; refusing first keeps a wild size from the heap.
    if (Size > D3D11_CONSTANT_BUFFER_MAXSIZE) {
        AddLogFormat(L"定数バッファのサイズが大きすぎます( %d byte )\n", Size);
        return nullptr;
    }
    D3D11ConstantBuffer *record =
        (D3D11ConstantBuffer *)DxAlloc(sizeof(D3D11ConstantBuffer) + 2 * (size_t)Size, __FILE__, __LINE__);
    if (record == nullptr) {
        AddLogStringWide(L"定数バッファ情報を格納するメモリ領域の確保に失敗しました\n");
        return nullptr;
    }
    memset(record, 0, sizeof(D3D11ConstantBuffer) + 2 * (size_t)Size);
    D3D11_BUFFER_DESC desc = {};
    desc.ByteWidth = (UINT)Size;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_CONSTANT_BUFFER;
    if (D3D11Device_CreateBuffer_ASync(&desc, nullptr, &record->Buffer, ASyncThread) != S_OK) {
        AddLogStringWide(L"定数バッファ用の ID3D11Buffer の作成に失敗しました\n");
        DxFree(record);
        return nullptr;
    }
    record->Size = (uint32_t)Size;
    record->SystemCopy = record + 1;
    record->Dirty = 0;
    record->Next = D3D11ConstantBufferList.First;
    if (record->Next != nullptr) record->Next->Prev = record;
    D3D11ConstantBufferList.First = record;
    D3D11ConstantBufferList.Num++;
    return record;
}

int Graphics_D3D11_DeleteConstantBuffer(D3D11ConstantBuffer *Buffer)
{
    if (Buffer == nullptr) return 0;
    ConstantBufferLock lock(__LINE__);
    // A slot that still names the buffer would keep a later bind of a new buffer at the same
    // address from reaching the device.
    for (int slot = 0; slot < D3D11_CONSTANT_BUFFER_SLOTS; slot++) {
        if (D3D11DeviceState.VSConstantBuffer[slot] == Buffer->Buffer)
            D3D11DeviceState.VSConstantBuffer[slot] = nullptr;
        if (D3D11DeviceState.PSConstantBuffer[slot] == Buffer->Buffer)
            D3D11DeviceState.PSConstantBuffer[slot] = nullptr;
    }
    D3D11Buffer_Release(Buffer->Buffer);
    if (Buffer->Prev != nullptr)
        Buffer->Prev->Next = Buffer->Next;
    else
        D3D11ConstantBufferList.First = Buffer->Next;
    if (Buffer->Next != nullptr) Buffer->Next->Prev = Buffer->Prev;
    D3D11ConstantBufferList.Num--;
    DxFree(Buffer);
    return 0;
}

int Graphics_D3D11_ConstantBuffer_Update(D3D11ConstantBuffer *Buffer)
{
    if (Buffer == nullptr || !Buffer->Dirty) return 0;
    Buffer->Dirty = 0;
    uint8_t *sent = (uint8_t *)Buffer->SystemCopy + Buffer->Size;
    if (Buffer->SentFlag && memcmp(Buffer->SystemCopy, sent, Buffer->Size) == 0) return 0;
    D3D11DeviceContext_UpdateSubresource(Buffer->Buffer, 0, nullptr, Buffer->SystemCopy, 0, 0);
    memcpy(sent, Buffer->SystemCopy, Buffer->Size);
    Buffer->SentFlag = 1;
    return 0;
}

int Graphics_D3D11_DeviceState_SetPSConstantBuffers(int Start, int Num, D3D11ConstantBuffer *const *Buffers)
{
    if (Start < 0 || Num < 0 || Start + Num > D3D11_CONSTANT_BUFFER_SLOTS) return -1;
    ID3D11Buffer *buffers[D3D11_CONSTANT_BUFFER_SLOTS];
    for (int i = 0; i < Num; i++) buffers[i] = Buffers[i] != nullptr ? Buffers[i]->Buffer : nullptr;
    Graphics_D3D11_DeviceState_PSSetConstantBuffers(Start, Num, buffers);
    return 0;
}

int Graphics_D3D11_CreateShaderConstantBuffers(void)
{
    AddLogStringWide(L"各種シェーダー用定数バッファの作成.... ");
    for (int i = 0; i < D3D11_SCB_NUM; i++) {
        D3D11Buffers.Standard[i] = Graphics_D3D11_CreateConstantBuffer(D3D11StandardConstantBufferSize[i], 0);
        if (D3D11Buffers.Standard[i] == nullptr) {
            AddLogStringWide(L"失敗\n");
            Graphics_D3D11_ReleaseShaderConstantBuffers();
            return -1;
        }
    }
    AddLogStringWide(L"成功\n");
    return 0;
}

int Graphics_D3D11_ReleaseShaderConstantBuffers(void)
{
    for (D3D11ConstantBuffer *&buffer : D3D11Buffers.Standard) {
        Graphics_D3D11_DeleteConstantBuffer(buffer);
        buffer = nullptr;
    }
    return 0;
}

// ---- The depth buffer -----------------------------------------------------------------------------

int Graphics_D3D11_ReleaseDepthBuffer(void)
{
    D3D11BufferData &b = D3D11Buffers;
    if (D3D11DeviceState.DepthStencil == b.DepthBuffer && b.DepthBuffer != nullptr)
        Graphics_D3D11_DeviceState_SetDepthStencil(nullptr, nullptr);
    D3D11DepthStencilView_Release(b.DepthBufferDSV);
    b.DepthBufferDSV = nullptr;
    D3D11Texture2D_Release(b.DepthBuffer);
    b.DepthBuffer = nullptr;
    return 0;
}

int Graphics_D3D11_CreateDepthBuffer(void)
{
    if (!D3D11Device_IsValid()) return -1;
    D3D11BufferData &b = D3D11Buffers;
    Graphics_D3D11_ReleaseDepthBuffer();
    AddLogStringWide(L"深度バッファを作成します.... ");

    int width = 0, height = 0;
    GetDrawScreenSize(&width, &height);
    b.DepthBufferWidth = width;
    b.DepthBufferHeight = height;
    b.DepthBufferBitDepth = 16;
    const int samples = GraphicsDeviceMode.MultiSampleCount > 1 ? GraphicsDeviceMode.MultiSampleCount : 1;

    D3D11_TEXTURE2D_DESC desc = D3D11PlainTextureDesc(
        (UINT)width, (UINT)height, (DXGI_FORMAT)D3D11FormatTable.DepthTexture[0], D3D11_BIND_DEPTH_STENCIL,
        (UINT)samples, samples > 1 ? (UINT)GraphicsDeviceMode.MultiSampleQuality : 0);
    if (D3D11Device_CreateTexture2D(&desc, nullptr, &b.DepthBuffer) != S_OK) {
        b.DepthBuffer = nullptr;
        AddLogStringWide(L"深度バッファ用 Texture2D の作成に失敗しました\n");
        return -1;
    }
    D3D11_DEPTH_STENCIL_VIEW_DESC view = {};
    view.Format = (DXGI_FORMAT)D3D11FormatTable.DepthView[0];
    view.ViewDimension = samples < 2 ? D3D11_DSV_DIMENSION_TEXTURE2D : D3D11_DSV_DIMENSION_TEXTURE2DMS;
    if (D3D11Device_CreateDepthStencilView(b.DepthBuffer, &view, &b.DepthBufferDSV) != S_OK) {
        b.DepthBufferDSV = nullptr;
        AddLogStringWide(L"深度バッファ用 DepthStencilView の作成に失敗しました\n");
        return -1;
    }
    Graphics_D3D11_DeviceState_SetDepthStencil(b.DepthBuffer, b.DepthBufferDSV);
    D3D11DeviceContext_ClearDepthStencilView(b.DepthBufferDSV, D3D11_CLEAR_DEPTH, 1.0f, 0);
    AddLogStringWide(L"成功\n");
    return 0;
}
