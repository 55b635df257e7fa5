// Shader handles and the user-shader selection; the buffer, constant-buffer and shadow-map handle
// records, whose device objects the back ends make and release.
#include <string.h>

#include "zovuz/graphics/draw_state_internal.h"

namespace {

template <typename Record>
Record *RecordOf(HandleInfo *Info)
{
    return reinterpret_cast<Record *>(Info);
}

// The init callbacks: each record keeps its back end's part in its own tail.
template <typename Record>
int PointAtOwnBackendPart(HandleInfo *Info)
{
    Record *record = RecordOf<Record>(Info);
    record->PF = &record->Backend;
    return 0;
}

// A buffer's device object and its system copy.
template <typename Record>
void ReleaseBuffer(HandleInfo *Info, int (*Release)(Record *))
{
    Record *buffer = RecordOf<Record>(Info);
    Release(buffer);
    DxFree(buffer->Buffer);
    buffer->Buffer = nullptr;
}

// Shader creation's arguments in the load job: the code is the handle's own copy.
struct CreateShaderParams
{
    int Handle;
    int Option;  // passed to the back end
};

void CreateShaderJob(ASyncLoadData *Data)
{
    const CreateShaderParams p = ASyncLoadJobParams<CreateShaderParams>(Data);
    ShaderHandleData *shader = GetShaderEntry(p.Handle, 1);
    int result = -1;
    if (shader != nullptr)
        result = Graphics_Hardware_CreateShaderHandle(shader, shader->IsVertexShader, shader->FunctionCode,
                                                      shader->FunctionCodeSize, p.Option, 1);
    FinishHandleLoadJob(p.Handle, result);
}

// Queues the back-end creation.
int QueueCreateShaderJob(int Handle, int Option)
{
    return QueueHandleJob(DX_HANDLETYPE_SHADER, Handle, CreateShaderJob,
                          CreateShaderParams{.Handle = Handle, .Option = Option});
}

}  // namespace

// ---- Handle callbacks --------------------------------------------------------------------------

int InitializeShaderHandle(HandleInfo *Info) { return PointAtOwnBackendPart<ShaderHandleData>(Info); }

int TerminateShaderHandle(HandleInfo *Info)
{
    ShaderHandleData *shader = RecordOf<ShaderHandleData>(Info);
    DrawShaderSelection &selection = GraphicsDrawSettings.Shader;
    if (selection.VertexShader == Info->Handle) selection.VertexShader = 0;
    if (selection.PixelShader == Info->Handle) selection.PixelShader = 0;
    Graphics_Hardware_Shader_Release(shader);
    DxFree(shader->FunctionCode);
    shader->FunctionCode = nullptr;
    return 0;
}

int InitializeShaderConstantBufferHandle(HandleInfo *Info)
{
    return PointAtOwnBackendPart<ShaderConstantBufferHandleData>(Info);
}

int TerminateShaderConstantBufferHandle(HandleInfo *Info)
{
    Graphics_Hardware_ShaderConstantBuffer_Release(RecordOf<ShaderConstantBufferHandleData>(Info));
    return 0;
}

int InitializeVertexIndexBufferHandle(HandleInfo *Info)
{
    // Both records put their back-end part at the same place.
    return PointAtOwnBackendPart<VertexBufferHandleData>(Info);
}

int ReleaseVertexIndexBufferHandle(HandleInfo *Info)
{
    int type = HandleTypeOf(Info->Handle);
    if (type == DX_HANDLETYPE_INDEX_BUFFER)
        ReleaseBuffer<IndexBufferHandleData>(Info, Graphics_Hardware_IndexBuffer_Release);
    else
        ReleaseBuffer<VertexBufferHandleData>(Info, Graphics_Hardware_VertexBuffer_Release);
    return 0;
}

int InitializeShadowMapHandle(HandleInfo *Info)
{
    ShadowMapHandleData *map = RecordOf<ShadowMapHandleData>(Info);
    map->GraphHandle[0] = map->GraphHandle[1] = -1;
    map->AdjustDepth = 0.002f;
    map->GradationParam = 0.0007f;
    map->Scale[0] = map->Scale[1] = 1.0f;
    return PointAtOwnBackendPart<ShadowMapHandleData>(Info);
}

int TerminateShadowMapHandle(HandleInfo *Info)
{
    for (int &slot : GraphicsShadowMapSettings.Slot)
        if (slot == Info->Handle) slot = 0;
    Graphics_Hardware_ShadowMap_Release(RecordOf<ShadowMapHandleData>(Info));
    return 0;
}

ShaderHandleData *GetShaderEntry(int ShaderHandle, int AllowLoading)
{
    return GetTypedHandle<ShaderHandleData>(ShaderHandle, DX_HANDLETYPE_SHADER, AllowLoading);
}

ShadowMapHandleData *GetShadowMapEntry(int ShadowMapHandle, int AllowLoading)
{
    return GetTypedHandle<ShadowMapHandleData>(ShadowMapHandle, DX_HANDLETYPE_SHADOWMAP, AllowLoading);
}

// ---- Shaders -----------------------------------------------------------------------------

int CreateShaderHandle(int IsVertexShader, const void *Code, int CodeSize, int Option, int ASyncFlag, int ASyncThread)
{
    if (Code == nullptr || CodeSize <= 0) return -1;
    if (!Graphics_Hardware_IsDeviceValid() || !GraphicsDeviceCaps.ProgrammableShaderFlag) return -1;
    int handle = AddHandle(DX_HANDLETYPE_SHADER, ASyncThread, -1);
    if (handle < 0) return -1;
    ShaderHandleData *shader = GetShaderEntry(handle, 1);
    shader->IsVertexShader = IsVertexShader ? 1 : 0;
    shader->FunctionCode = DXALLOC((size_t)CodeSize);
    if (shader->FunctionCode == nullptr) {
        SubHandle(handle);
        return -1;
    }
    memcpy(shader->FunctionCode, Code, (size_t)CodeSize);
    shader->FunctionCodeSize = CodeSize;

    int result = ASyncFlag ? QueueCreateShaderJob(handle, Option)
                           : Graphics_Hardware_CreateShaderHandle(shader, shader->IsVertexShader, shader->FunctionCode,
                                                                  CodeSize, Option, ASyncThread);
    if (result < 0) {
        SubHandle(handle);
        return -1;
    }
    return handle;
}

int LoadPixelShaderFromMem(const void *Code, int CodeSize)
{
    return CreateShaderHandle(0, Code, CodeSize, 0, GetUseASyncLoadFlag(), 0);
}

namespace {

int SelectShader(int ShaderHandle, int VertexFlag, int *Selection)
{
    if (ShaderHandle <= 0) {
        *Selection = 0;
        return 0;
    }
    ShaderHandleData *shader = GetShaderEntry(ShaderHandle, 0);
    if (shader == nullptr || shader->IsVertexShader != VertexFlag) return -1;
    *Selection = ShaderHandle;
    return 0;
}

}  // namespace

int SetUseVertexShader(int ShaderHandle)
{
    return SelectShader(ShaderHandle, 1, &GraphicsDrawSettings.Shader.VertexShader);
}

int SetUsePixelShader(int ShaderHandle)
{
    return SelectShader(ShaderHandle, 0, &GraphicsDrawSettings.Shader.PixelShader);
}

int SetUseTextureToShader(int Stage, int GraphHandle)
{
    if (Stage < 0 || Stage >= DX_SHADER_TEXTURE_STAGE_NUM) return -1;
    int &slot = GraphicsDrawSettings.Shader.Texture[Stage];
    if (GraphHandle == -1) {
        slot = 0;
        return 0;
    }
    if (GetGraphEntry(GraphHandle, 0) == nullptr) return -1;
    slot = GraphHandle;
    return 0;
}

// ---- Vertex and index buffers ------------------------------------------------------------------

namespace {

// Copies Num units from Start into the system copy, refusing a range outside the buffer.
template <typename Buffer>
int CopyIntoBuffer(Buffer *Record, int Start, const void *Source, int Num)
{
    if (Source == nullptr || Start < 0 || Num < 0 || Start > Record->Num || Num > Record->Num - Start) return -1;
    if (Record->Buffer != nullptr)
        memcpy((uint8_t *)Record->Buffer + (size_t)Start * Record->UnitSize, Source, (size_t)Num * Record->UnitSize);
    return 0;
}

}  // namespace

int SetVertexBufferData(int Start, const void *Source, int Num, int VertexBufferHandle)
{
    VertexBufferHandleData *buffer =
        GetTypedHandle<VertexBufferHandleData>(VertexBufferHandle, DX_HANDLETYPE_VERTEX_BUFFER, 0);
    if (buffer == nullptr || CopyIntoBuffer(buffer, Start, Source, Num) < 0) return -1;
    return Graphics_Hardware_SetVertexBufferData(buffer, Start, Source, Num) < 0 ? -1 : 0;
}

int SetIndexBufferData(int Start, const void *Source, int Num, int IndexBufferHandle)
{
    IndexBufferHandleData *buffer =
        GetTypedHandle<IndexBufferHandleData>(IndexBufferHandle, DX_HANDLETYPE_INDEX_BUFFER, 0);
    if (buffer == nullptr || CopyIntoBuffer(buffer, Start, Source, Num) < 0) return -1;
    return Graphics_Hardware_SetIndexBufferData(buffer, Start, Source, Num) < 0 ? -1 : 0;
}
