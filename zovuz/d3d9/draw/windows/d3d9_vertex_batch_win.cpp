// The vertex batch: its buffers, the flush, the room for a drawing function's vertices, the vertex
// type, and the draw-setting setters whose changes must not reach vertices already batched.
#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"

#include "zovuz/d3d9/shader/windows/d3d9_base_shaders_win.h"
#include "zovuz/d3d9/device/windows/d3d9_device_win.h"

const D3D9BatchBufferInfo D3D9BatchBuffers[D3D9_BATCH_BUFFER_NUM] = {
    {(int)sizeof(D3D9VertexNoTex2D), 3225, 1},    {(int)sizeof(VERTEX2D), 2340, 2},
    {(int)sizeof(D3D9VertexBlendTex2D), 1638, 3}, {(int)sizeof(D3D9VertexNoTex3D), 4096, 5},
    {(int)sizeof(D3D9Vertex3D), 2730, 6},         {0, 0, 0},
};

const DWORD D3D9VertexTypeFVF[D3D9_VERTEX_DECLARATION_NUM] = {
    D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1,
    D3DFVF_XYZRHW | D3DFVF_DIFFUSE,
    D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1,
    D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2,
    D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2,
    D3DFVF_XYZ | D3DFVF_DIFFUSE,
    D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1,
    D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2,
    D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2,
    D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX8,
};
static_assert((D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1) == 0x144 &&
                  (D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2) == 0x2D2,
              "the vertex formats' FVF codes");

namespace {

D3D9DeviceStateCacheData &Cache = D3D9DeviceStateCache;
D3D9VertexBatchData &Batch = D3D9DeviceStateCache.Batch;
D3D9DrawSettingData &Draw = D3D9DeviceStateCache.Draw;

// Three 2-D buffers, then the one block the two 3-D buffers share.
alignas(16) unsigned char Storage[4][D3D9_BATCH_BUFFER_BYTES];

bool HasDevice() { return D3D9CallLayer.Device != nullptr; }

int CurrentBufferIndex() { return Batch.VertexKind * 3 + Cache.Out.TextureMode; }

// The common shape of a draw-setting setter: nothing when the values are equal (and not forced);
// else the batch is drawn, the values stored, and the changed flags raised.
template <typename F>
int ChangeSetting(bool Equal, bool DrawStateChanged, F Store)
{
    if (!HasDevice()) return -1;
    if (Equal && !Cache.ForceFlag) return 0;
    if (!Cache.ForceFlag) Graphics_D3D9_RenderVertexBuffer(0);
    Store();
    if (DrawStateChanged) Draw.DrawStateChangedFlag = 1;
    Cache.ChangedFlag = 1;
    return 0;
}

}  // namespace

int D3D9PrimitiveCount(int Type, int Num)
{
    switch (Type) {
        case D3DPT_POINTLIST:
            return Num;
        case D3DPT_LINELIST:
            return Num / 2;
        case D3DPT_LINESTRIP:
            return Num - 1;
        case D3DPT_TRIANGLELIST:
            return Num / 3;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN:
            return Num - 2;
        default:
            return 0;
    }
}

// ---- The batch ------------------------------------------------------------------------------------

void Graphics_D3D9_InitializeVertexBatch(void)
{
    for (int i = 0; i < 3; ++i) Batch.Buffer[i] = Storage[i];
    Batch.Buffer[3] = Batch.Buffer[4] = Storage[3];
    Batch.Buffer[5] = nullptr;
    for (int i = 0; i < D3D9BatchBuffers[0].Capacity; ++i) {
        D3D9VertexNoTex2D &v = ((D3D9VertexNoTex2D *)Storage[0])[i];
        v.z = 0.0f;
        v.rhw = 1.0f;
    }
    for (int i = 0; i < D3D9BatchBuffers[1].Capacity; ++i) {
        VERTEX2D &v = ((VERTEX2D *)Storage[1])[i];
        v.pos.z = 0.0f;
        v.rhw = 1.0f;
    }
    for (int i = 0; i < D3D9BatchBuffers[2].Capacity; ++i) {
        D3D9VertexBlendTex2D &v = ((D3D9VertexBlendTex2D *)Storage[2])[i];
        v.z = 0.0f;
        v.rhw = 1.0f;
        v.spc = 0xFFFFFFFF;
    }
    Graphics_D3D9_ResetVertexBatch();
}

void Graphics_D3D9_ResetVertexBatch(void)
{
    Batch.VertexNum = 0;
    Batch.VertexKind = 0;
    Batch.WritePointer = Batch.Buffer[CurrentBufferIndex()];
}

int Graphics_D3D9_RenderVertexBuffer_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    (void)Info;
    return Graphics_D3D9_RenderVertexBuffer(0);
}

int Graphics_D3D9_RenderVertexBuffer(int ASyncThread)
{
    if (ASyncThread) return RequestMainThreadReplay(Graphics_D3D9_RenderVertexBuffer_ASyncCallback);
    if (!HasDevice()) return -1;
    const int index = CurrentBufferIndex();
    const int num = Batch.VertexNum;
    // Emptied first: choosing the vertex type below goes through setters that flush.
    Batch.VertexNum = 0;
    Batch.WritePointer = Batch.Buffer[index];
    if (num > 0 && !GetLibraryEndFlag() && Batch.Buffer[index] != nullptr) {
        Direct3DDevice9_BeginSceneIfNeeded();
        const int count = D3D9PrimitiveCount(Batch.PrimitiveType, num);
        // A wipe whose border covers everything draws nothing.
        if (!Cache.Out.BorderFullFlag && count > 0) {
            const D3D9BatchBufferInfo &info = D3D9BatchBuffers[index];
            Graphics_D3D9_SetVertexType(info.VertexTypeId);
            Direct3DDevice9_DrawPrimitiveUP((D3DPRIMITIVETYPE)Batch.PrimitiveType, (UINT)count, Batch.Buffer[index],
                                            (UINT)info.VertexSize);
        }
    }
    return 0;
}

void *Graphics_D3D9_ReserveVertices(int PrimitiveType, int Num)
{
    if (!HasDevice() || Num <= 0) return nullptr;
    const D3D9BatchBufferInfo &info = D3D9BatchBuffers[Cache.Out.TextureMode];
    if (Num >= info.Capacity) return nullptr;
    if (Batch.VertexKind != 0 || Batch.PrimitiveType != PrimitiveType || Batch.VertexNum + Num >= info.Capacity) {
        Graphics_D3D9_RenderVertexBuffer(0);
        Batch.VertexKind = 0;
        Batch.PrimitiveType = PrimitiveType;
        Batch.WritePointer = Batch.Buffer[Cache.Out.TextureMode];
    }
    void *at = Batch.WritePointer;
    Batch.WritePointer += Num * info.VertexSize;
    Batch.VertexNum += Num;
    return at;
}

int Graphics_D3D9_SetVertexType(int TypeId)
{
    if (TypeId < 0 || TypeId >= D3D9_VERTEX_DECLARATION_NUM) return -1;
    // The front end has no switch for drawing 2-D vertices through its projection, so 2-D
    // vertices are always read by their FVF.
    return Graphics_D3D9_DeviceState_SetFVF(D3D9VertexTypeFVF[TypeId]);
}

// ---- Draw-setting setters -----------------------------------------------------------------------------

int Graphics_D3D9_DrawSetting_SetTexture(IDirect3DBaseTexture9 *Texture)
{
    const bool bindingChanges = (Draw.Texture == nullptr) != (Texture == nullptr);
    return ChangeSetting(Draw.Texture == Texture, bindingChanges, [&] {
        Draw.Texture = Texture;
        Draw.TextureChangedFlag = 1;
    });
}

int Graphics_D3D9_DrawSetting_SetBlendTexture(IDirect3DBaseTexture9 *Texture, int Width, int Height)
{
    const bool bindingChanges = (Draw.BlendTexture == nullptr) != (Texture == nullptr);
    const bool equal = Draw.BlendTexture == Texture && Draw.BlendTextureWidth == (float)Width &&
                       Draw.BlendTextureHeight == (float)Height;
    return ChangeSetting(equal, bindingChanges, [&] {
        Draw.BlendTexture = Texture;
        Draw.BlendTextureWidth = (float)Width;
        Draw.BlendTextureHeight = (float)Height;
        Draw.BlendTextureInvWidth = Width > 0 ? 1.0f / (float)Width : 0.0f;
        Draw.BlendTextureInvHeight = Height > 0 ? 1.0f / (float)Height : 0.0f;
        Draw.TextureChangedFlag = 1;
    });
}

int Graphics_D3D9_DrawSetting_SetBlendTextureParam(int Type, const int *Params)
{
    int ratio = Draw.BlendRatio, border = Draw.BorderParam, range = Draw.BorderRange;
    if (Type == 0 && Params != nullptr) ratio = Params[0];
    if (Type == 1 && Params != nullptr) border = Params[0], range = Params[1];
    const bool equal = Draw.BlendGraphType == Type && Draw.BlendRatio == ratio && Draw.BorderParam == border &&
                       Draw.BorderRange == range;
    return ChangeSetting(equal, true, [&] {
        Draw.BlendGraphType = Type;
        Draw.BlendRatio = ratio;
        Draw.BorderParam = border;
        Draw.BorderRange = range;
    });
}

int Graphics_D3D9_DrawSetting_SetAlphaTestMode(int Mode, int Value)
{
    return ChangeSetting(Draw.AlphaTestFunc == Mode && Draw.AlphaTestRef == Value, true, [&] {
        Draw.AlphaTestFunc = Mode;
        Draw.AlphaTestRef = Value;
    });
}

int Graphics_D3D9_DrawSetting_SetBlendMode(int BlendMode, int AlphaTestFlag, int AlphaChannelFlag)
{
    const bool equal =
        Draw.BlendMode == BlendMode && Draw.AlphaTestFlag == AlphaTestFlag && Draw.AlphaChannelFlag == AlphaChannelFlag;
    return ChangeSetting(equal, true, [&] {
        Draw.BlendMode = BlendMode;
        Draw.AlphaTestFlag = AlphaTestFlag;
        Draw.AlphaChannelFlag = AlphaChannelFlag;
    });
}

int Graphics_D3D9_DrawSetting_SetIgnoreColor(int Flag)
{
    return ChangeSetting(Draw.IgnoreColorFlag == Flag, true, [&] { Draw.IgnoreColorFlag = Flag; });
}

int Graphics_D3D9_DrawSetting_SetUseVertexAlpha(int Flag)
{
    return ChangeSetting(Draw.UseVertexAlphaFlag == Flag, true, [&] { Draw.UseVertexAlphaFlag = Flag; });
}

int Graphics_D3D9_DrawSetting_SetUseVertexColor(int Flag)
{
    return ChangeSetting(Draw.UseVertexColorFlag == Flag, true, [&] { Draw.UseVertexColorFlag = Flag; });
}

int Graphics_D3D9_UpdateDiffuseColor(void)
{
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    const int alpha = d.BlendMode != DX_BLENDMODE_NOBLEND || d.BlendParamAlphaFlag ? d.BlendParam : 255;
    Draw.DiffuseColor = (D3DCOLOR)alpha << 24 | (D3DCOLOR)d.DrawBrightRed << 16 | (D3DCOLOR)d.DrawBrightGreen << 8 |
                        (D3DCOLOR)d.DrawBrightBlue;
    return 0;
}
