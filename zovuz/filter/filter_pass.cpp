// The hardware passes' framework: pass set-up with the work textures, the final copy and the
// shaders by slot, for both Direct3D back ends.
#include <string.h>
#include <wchar.h>

#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/d3d9/zovuz_d3d9.h"
#include "zovuz/filter/filter_d3d9_internal.h"
#include "zovuz/filter/filter_pass_internal.h"

namespace {

struct FilterPassStateData
{
    FilterWorkTextureCache WorkTexture[GRAPHICS_API_D3D11 + 1];  // by API type (0 unused)
    FilterPassStateData() { memset(WorkTexture, 0xFF, sizeof(WorkTexture)); }
};
FilterPassStateData FilterPassState;

// ---- The library's own calls at the bottom --------------------------------------------------------

int DescribeTargetDefault(int APIType, int Handle, FilterPassTarget *Out)
{
    memset(Out, 0, sizeof(*Out));
    FilterTarget target;
    if (GetFilterTarget(Handle, &target) < 0) return -1;
    Out->Width = target.Width, Out->Height = target.Height;
    Out->TextureWidth = target.Width, Out->TextureHeight = target.Height;
    GetGraphTextureSize(Handle, &Out->TextureWidth, &Out->TextureHeight);
    if (target.ShadowMap != nullptr) {
        // Its colour surface is a render target: passes draw into it as into a draw-valid graph.
        Out->IsShadowMap = 1;
        Out->DrawValid = 1;
        Out->OneTextureAtOrigin = 1;
        Out->FloatFlag = target.ShadowMap->FloatFormatFlag ? 1 : 0;
        Out->FloatBits = Out->FloatFlag ? 16 : 0;
        return 0;
    }
    const GraphHandleData *graph = target.Graph;
    const GraphImageRecord *image = graph->Image;
    if (image != nullptr) {
        Out->DrawValid = image->Format.DrawValidFlag ? 1 : 0;
        const COLORDATA *format = GetPixelFormatEntry(image->PixelFormat);
        if (format != nullptr && format->FloatFlag) {
            Out->FloatFlag = 1;
            Out->FloatBits = APIType == GRAPHICS_API_D3D9 && format->ChannelBits >= 32 ? 32 : 16;
        }
    }
    Out->OneTextureAtOrigin = graph->PieceNum <= 1 &&
                              (graph->PieceNum == 0 || (graph->Piece[0].UsePosX == 0 && graph->Piece[0].UsePosY == 0));
    return 0;
}

int MakeWorkGraphDefault(int APIType, int FloatFlag, int Bits, int Width, int Height)
{
    GraphCreateParam param;
    InitDrawValidGraphCreateParam(&param, 32, 1);
    if (FloatFlag) {
        param.DrawValidFloatTypeFlag = 1;
        if (APIType == GRAPHICS_API_D3D9) param.DrawValidChannelNum = 4, param.ChannelBitDepth = Bits;
    }
    return MakeGraphWithCreateParam(&param, Width, Height, 0, 0, 0, 0, 0);
}

// The back end's copy of a rectangle between graphs, each texture piece where it lies. The graph
// layer's rectangle copy takes the first piece only, and Direct3D 11's reads it without its offset.
int CopyRectByPieces(int APIType, int SrcGraph, int X1, int Y1, int X2, int Y2, int DestX, int DestY, int DestGraph)
{
    const int rect[4] = {X1, Y1, X2, Y2};
    if (APIType == GRAPHICS_API_D3D9) return Graphics_D3D9_Filter_CopyRect(SrcGraph, rect, DestGraph, DestX, DestY);
    if (APIType == GRAPHICS_API_D3D11) return Graphics_D3D11_Filter_CopyRect(SrcGraph, rect, DestGraph, DestX, DestY);
    return -1;
}

int CopyPiecesDefault(int APIType, int SrcGraph, int WorkGraph)
{
    int width = 0, height = 0;
    if (GetGraphSize(SrcGraph, &width, &height) < 0) return -1;
    return CopyRectByPieces(APIType, SrcGraph, 0, 0, width, height, 0, 0, WorkGraph);
}

int BltRectDefault(int SrcGraph, int X1, int Y1, int X2, int Y2, int DestX, int DestY, int DestGraph)
{
    // The graph layer copies between graphs only (it takes a source that is no graph for the
    // screen): into or out of a shadow map each back end draws a plain quad.
    auto shadowMap = [](int Handle) {
        return GetTypedHandle<ShadowMapHandleData>(Handle, DX_HANDLETYPE_SHADOWMAP, 0) != nullptr;
    };
    const int api = GetGraphicsAPIType();
    const bool quad = shadowMap(DestGraph) || shadowMap(SrcGraph);
    if (quad && api == GRAPHICS_API_D3D9)
        return Graphics_D3D9_Filter_CopyShadowMapRect(SrcGraph, X1, Y1, X2, Y2, DestX, DestY, DestGraph);
    if (quad && api == GRAPHICS_API_D3D11) {
        D3D11FilterQuad quad = {};
        quad.SrcGraph = SrcGraph;
        quad.SrcRect[0] = X1, quad.SrcRect[1] = Y1, quad.SrcRect[2] = X2, quad.SrcRect[3] = Y2;
        quad.DestGraph = DestGraph;
        quad.DestRect[0] = DestX, quad.DestRect[1] = DestY;
        quad.DestRect[2] = DestX + X2 - X1, quad.DestRect[3] = DestY + Y2 - Y1;
        quad.SecondGraph = -1;
        quad.PixelShader = -1;
        return Graphics_D3D11_Filter_DrawQuad(&quad);
    }
    // Into a draw-valid graph, one in pieces or a part of a larger graph on either side is copied
    // piece by piece. (Into a plain graph the copy goes through the image transfer, which places
    // every piece itself; its source is then one of the work textures.)
    FilterPassTarget src, dest;
    if (DescribeTargetDefault(api, SrcGraph, &src) == 0 && DescribeTargetDefault(api, DestGraph, &dest) == 0 &&
        dest.DrawValid && (!src.OneTextureAtOrigin || !dest.OneTextureAtOrigin))
        return CopyRectByPieces(api, SrcGraph, X1, Y1, X2, Y2, DestX, DestY, DestGraph);
    return BltRectGraphToGraph(SrcGraph, 0, 0, X1, Y1, X2, Y2, DestX, DestY, DestGraph);
}

// A pixel shader from the registered back end's filter archive.
int CreateShaderDefault(int APIType, const char *FileName)
{
    if (APIType != GRAPHICS_API_D3D9 && APIType != GRAPHICS_API_D3D11) return -1;
    const GraphFilterBackendFunctions *backend = GraphFilterState.Backend[APIType];
    const void *code = nullptr;
    int size = 0;
    if (backend == nullptr || backend->FindShaderCode == nullptr || backend->FindShaderCode(FileName, &code, &size) < 0)
        return -1;
    return CreateShaderHandle(0, code, size, 0, 0, 0);
}

int CreateReadyShaderDefault(int APIType, int Index)
{
    if (APIType != GRAPHICS_API_D3D9 && APIType != GRAPHICS_API_D3D11) return -1;
    const GraphFilterBackendFunctions *backend = GraphFilterState.Backend[APIType];
    const void *code = nullptr;
    int size = 0;
    if (backend == nullptr || backend->ChannelMixCode == nullptr || backend->ChannelMixCode(Index, &code, &size) < 0)
        return -1;
    return LoadPixelShaderFromMem(code, size);
}

int ResolveDrawTargetDefault(int APIType, int Handle)
{
    if (APIType == GRAPHICS_API_D3D9) return Graphics_D3D9_Filter_ResolveDrawTarget(Handle);
    if (APIType == GRAPHICS_API_D3D11) return Graphics_D3D11_Filter_ResolveDrawTarget(Handle);
    return -1;
}

const FilterPassDeviceCalls kDefaultCalls = {
    .UsesShaders = FilterUsesShaders,
    .DescribeTarget = DescribeTargetDefault,
    .MakeWorkGraph = MakeWorkGraphDefault,
    .WatchHandle = SetHandleDeleteNotify,
    .DeleteHandle = SubHandle,
    .CopyPieces = CopyPiecesDefault,
    .BltRect = BltRectDefault,
    .CreateShader = CreateShaderDefault,
    .CreateReadyShader = CreateReadyShaderDefault,
    .ResolveDrawTarget = ResolveDrawTargetDefault,
};

// A file name of code page 32765 (bytes that are Unicode 0-255) for the log, at most 128 characters.
void LogNameWide(const char *FileName, wchar_t (&Out)[129])
{
    int i = 0;
    for (; FileName[i] != '\0' && i < 128; ++i) Out[i] = (wchar_t)(unsigned char)FileName[i];
    Out[i] = L'\0';
}

}  // namespace

FilterPassDeviceCalls FilterPassDevice = kDefaultCalls;

void ResetFilterPassDeviceCalls(void) { FilterPassDevice = kDefaultCalls; }

// ---- Work textures ---------------------------------------------------------------------------------

FilterWorkTextureCache *FilterWorkTextures(int APIType)
{
    if (APIType != GRAPHICS_API_D3D9 && APIType != GRAPHICS_API_D3D11) return nullptr;
    return &FilterPassState.WorkTexture[APIType];
}

int FilterWorkTextureSizeClass(int Width, int Height)
{
    const int side = Width > Height ? Width : Height;
    int k = 0;
    while (k < 15 && (1 << k) < side) ++k;
    return k;
}

int FilterWorkTextureIndex(int APIType, int FloatFlag, int Bits, int SizeClass, int Slot)
{
    if (SizeClass < 0 || SizeClass > 15 || Slot < 0 || Slot > 1) return -1;
    int format = 0;
    if (APIType == GRAPHICS_API_D3D9)
        format = FloatFlag ? 2 + (Bits == 32 ? 1 : 0) : 0;
    else if (APIType == GRAPHICS_API_D3D11)
        format = FloatFlag ? 1 : 0;
    else
        return -1;
    return Slot + (format * 16 + SizeClass) * 2;
}

int Filter_CreateWorkTexture(int APIType, int FloatFlag, int Bits, int Width, int Height, int Slot)
{
    FilterWorkTextureCache *cache = FilterWorkTextures(APIType);
    const int k = FilterWorkTextureSizeClass(Width, Height);
    const int index = FilterWorkTextureIndex(APIType, FloatFlag, Bits, k, Slot);
    if (cache == nullptr || index < 0) return -1;
    int &entry = cache->Handle[index];
    FilterPassTarget present;
    if (entry >= 0 && FilterPassDevice.DescribeTarget(APIType, entry, &present) == 0) return entry;
    const int side = 1 << k;
    entry = FilterPassDevice.MakeWorkGraph(APIType, FloatFlag ? 1 : 0, Bits, side, side);
    if (entry < 0) {
        AddLogFormat(L"作業用描画可能テクスチャの作成に失敗しました Size:%dx%d", side, side);
        return -1;
    }
    FilterPassDevice.WatchHandle(entry, &entry);
    return entry;
}

// ---- Begin, pass set-up, copy ------------------------------------------------------------------------

void FilterPass_BeginCommon(GraphFilterInfo *Info)
{
    const bool gauss = !Info->IsBlend && Info->Type == DX_GRAPH_FILTER_GAUSS;
    Info->PassCount = gauss && FilterPassDevice.UsesShaders() ? 2 : 1;
    Info->UseWorkTexture = gauss ? 1 : 0;
    if (Info->SrcX1 != Info->DestX || Info->SrcY1 != Info->DestY) Info->UseWorkTexture = 1;
}

void FilterPass_ResolveDrawTargetRead(int APIType, const GraphFilterInfo *Info, const GraphFilterParams *Params)
{
    const int target = GraphicsDrawSettings.RenderTarget[0];
    const GraphHandleData *graph = GetTypedHandle<GraphHandleData>(target, DX_HANDLETYPE_GRAPH, 0);
    if (graph == nullptr || graph->Image == nullptr) return;
    // A graph reads the target when it shares its pixels (a derived graph shares its image).
    auto reads = [&](const GraphHandleData *Read) { return Read != nullptr && Read->Image == graph->Image; };
    auto readsHandle = [&](int Handle) {
        return reads(GetTypedHandle<GraphHandleData>(Handle, DX_HANDLETYPE_GRAPH, 0));
    };
    bool read = reads(Info->SrcGraphData) || reads(Info->BlendGraphData);
    if (!Info->IsBlend && Params != nullptr) {
        const int type = Info->Type;
        if (type == DX_GRAPH_FILTER_GRADIENT_MAP || type == DX_GRAPH_FILTER_PMA_GRADIENT_MAP)
            read = read || readsHandle(Params->GradientGraph);
        if (type == DX_GRAPH_FILTER_Y2UV1_TO_RGB || type == DX_GRAPH_FILTER_Y2UV1_TO_RGB_RRA)
            read = read || readsHandle(Params->YUVChromaGraph);
    }
    if (read) FilterPassDevice.ResolveDrawTarget(APIType, target);
}

int FilterPass_Setup(int APIType, GraphFilterInfo *Info, int *SrcGraph, int *DestGraph)
{
    FilterPassTarget src, dest;
    if (FilterPassDevice.DescribeTarget(APIType, *SrcGraph, &src) < 0 ||
        FilterPassDevice.DescribeTarget(APIType, Info->DestGraph, &dest) < 0)
        return -1;
    if (!FilterPassDevice.UsesShaders()) {
        *DestGraph = Info->DestGraph;
        return 0;
    }
    const bool sameGraph = Info->SrcGraph == Info->DestGraph;  // the call's own source
    bool destWork = true;
    // Direct3D 11 cannot read a texture while it draws into it: a pass within one shadow map
    // draws into a work texture too.
    if (src.IsShadowMap && !(APIType == GRAPHICS_API_D3D11 && sameGraph))
        destWork = false;
    else if (APIType == GRAPHICS_API_D3D9)
        destWork = !(dest.DrawValid && !(Info->UseWorkTexture == 1 && sameGraph));
    else
        destWork = !(!sameGraph && dest.DrawValid);
    // A blend cut to its graph copies the source's pixels around the part it draws: both go into
    // a work texture, so that every pixel the call reads is read before the final copy, its one
    // write to the destination, and a failing pass leaves the destination as it was.
    if (Info->IsBlend && !FilterBlendCoverOf(Info).Whole()) destWork = true;
    // A pass draws into its destination's first texture at the destination position: a graph in
    // pieces or a part of a larger graph takes the pass's result through a work texture, which the
    // final copy brings into each of its pieces where they lie.
    if (!dest.OneTextureAtOrigin) destWork = true;
    const bool parity = Info->UseWorkTexture == 1 && (Info->PassIndex & 1) == (Info->PassCount & 1);
    const bool srcCopy = !src.IsShadowMap && Info->PassIndex == 0 && !src.OneTextureAtOrigin;

    // A later pass reads what the pass before drew: its rectangle sits at the destination position
    // of that pass's work texture.
    const int w = Info->SrcX2 - Info->SrcX1, h = Info->SrcY2 - Info->SrcY1;
    if (Info->PassIndex > 0) {
        Info->SrcX1 = Info->DestX, Info->SrcY1 = Info->DestY;
        Info->SrcX2 = Info->DestX + w, Info->SrcY2 = Info->DestY + h;
    }

    int copySlot = 0;
    if (!destWork && !parity) {
        *DestGraph = Info->DestGraph;
    } else {
        const int slot = destWork && !parity ? 1 : 0;
        copySlot = 1 - slot;
        // The work texture holds the source's texture (or the whole graph when it is copied) and
        // the pass's rectangle at the destination position, whichever reaches further.
        int width = srcCopy ? src.Width : src.TextureWidth, height = srcCopy ? src.Height : src.TextureHeight;
        int outWidth, outHeight;
        FilterOutputSize(Info, &outWidth, &outHeight);
        if (Info->DestX + outWidth > width) width = Info->DestX + outWidth;
        if (Info->DestY + outHeight > height) height = Info->DestY + outHeight;
        *DestGraph = Filter_CreateWorkTexture(APIType, dest.FloatFlag, dest.FloatBits, width, height, slot);
        if (*DestGraph < 0) return -1;
        // The last pass's work texture is copied back over the output rectangle: where its shader
        // may leave a pixel unwritten, it starts from the destination's present pixels there, so
        // that the pixel keeps the destination's, as on the processor, and no earlier call's texel
        // comes through.
        if (Info->PassIndex == Info->PassCount - 1 && FilterPassMayDiscard(Info) && outWidth > 0 && outHeight > 0 &&
            FilterPassDevice.BltRect(Info->DestGraph, Info->DestX, Info->DestY, Info->DestX + outWidth,
                                     Info->DestY + outHeight, Info->DestX, Info->DestY, *DestGraph) < 0)
            return -1;
    }
    if (srcCopy) {
        const int work =
            Filter_CreateWorkTexture(APIType, src.FloatFlag, src.FloatBits, src.Width, src.Height, copySlot);
        if (work < 0) return -1;
        if (FilterPassDevice.CopyPieces(APIType, *SrcGraph, work) < 0) return -1;
        *SrcGraph = work;
    }
    return 0;
}

int FilterPass_SampledGraph(int APIType, int Graph)
{
    FilterPassTarget target;
    if (FilterPassDevice.DescribeTarget(APIType, Graph, &target) < 0 || target.OneTextureAtOrigin) return Graph;
    const int copy =
        FilterPassDevice.MakeWorkGraph(APIType, target.FloatFlag, target.FloatBits, target.Width, target.Height);
    if (copy < 0) {
        AddLogFormat(L"作業用描画可能テクスチャの作成に失敗しました Size:%dx%d", target.Width, target.Height);
        return -1;
    }
    if (FilterPassDevice.CopyPieces(APIType, Graph, copy) < 0) {
        FilterPassDevice.DeleteHandle(copy);
        return -1;
    }
    return copy;
}

void FilterSourceSize(int APIType, const GraphFilterInfo *Info, int *Width, int *Height)
{
    if (Info->SrcGraphData != nullptr) {
        *Width = Info->SrcGraphData->Width, *Height = Info->SrcGraphData->Height;
        return;
    }
    // A shadow map, which is never copied: the pass reads it itself.
    FilterPassTarget source;
    if (FilterPassDevice.DescribeTarget(APIType, Info->SrcGraph, &source) < 0) source.Width = source.Height = 0;
    *Width = source.Width, *Height = source.Height;
}

bool FilterPassMayDiscard(const GraphFilterInfo *Info)
{
    if (Info->IsBlend) {
        const int type = Info->Type >= DX_GRAPH_BLEND_PMA_BASE ? Info->Type - DX_GRAPH_BLEND_PMA_BASE : Info->Type;
        return type == DX_GRAPH_BLEND_NORMAL_ALPHACH || type == DX_GRAPH_BLEND_ADD_ALPHACH;
    }
    return Info->Type == DX_GRAPH_FILTER_BRIGHT_CLIP || Info->Type == DX_GRAPH_FILTER_PMA_BRIGHT_CLIP;
}

int FilterPass_D3D11Begin(GraphFilterInfo *Info, GraphFilterParams *Params)
{
    FilterPass_BeginCommon(Info);
    if (FilterPassDevice.UsesShaders()) FilterPass_ResolveDrawTargetRead(GRAPHICS_API_D3D11, Info, Params);
    return 0;
}

int FilterPass_D3D11Setup(GraphFilterInfo *Info, int *SrcGraph, int *DestGraph)
{
    return FilterPass_Setup(GRAPHICS_API_D3D11, Info, SrcGraph, DestGraph);
}

int FilterPass_D3D11Copy(GraphFilterInfo *Info, int LastDestGraph, int KernelResult)
{
    return FilterPass_Copy(Info, LastDestGraph, KernelResult);
}

int FilterPass_Copy(GraphFilterInfo *Info, int LastDestGraph, int KernelResult)
{
    // A last pass that drew into the destination itself leaves nothing to bring back (copying the
    // destination onto itself would only read and write the same pixels).
    if (KernelResult < 0 || LastDestGraph < 0 || LastDestGraph == Info->DestGraph) return 0;
    int w, h;
    FilterOutputSize(Info, &w, &h);
    if (w < 1 || h < 1) return 0;  // a DownScale smaller than one block drew nothing
    // The passes drew at the destination position of the work texture.
    return FilterPassDevice.BltRect(LastDestGraph, Info->DestX, Info->DestY, Info->DestX + w, Info->DestY + h,
                                    Info->DestX, Info->DestY, Info->DestGraph);
}

bool FilterPass_DownScaleBlocks(const GraphFilterInfo *Info, int Ratio, GraphFilterInfo *Blocks)
{
    *Blocks = *Info;
    const int columns = (Info->SrcX2 - Info->SrcX1) / Ratio, rows = (Info->SrcY2 - Info->SrcY1) / Ratio;
    Blocks->SrcX2 = Info->SrcX1 + columns * Ratio;
    Blocks->SrcY2 = Info->SrcY1 + rows * Ratio;
    return columns > 0 && rows > 0;
}

void FilterPass_SwapBlend(GraphFilterInfo *Info)
{
    int bx, by;
    FilterBlendOrigin(Info, &bx, &by);
    const int w = Info->SrcX2 - Info->SrcX1, h = Info->SrcY2 - Info->SrcY1, graph = Info->SrcGraph;
    Info->SrcGraph = Info->BlendGraph, Info->BlendGraph = graph;
    Info->BlendX = Info->SrcX1, Info->BlendY = Info->SrcY1, Info->BlendPosFlag = 1;
    Info->SrcX1 = bx, Info->SrcY1 = by, Info->SrcX2 = bx + w, Info->SrcY2 = by + h;
}

// ---- Shaders by slot -----------------------------------------------------------------------------------

int FilterPass_NamedShaderInSlot(int APIType, int Slot, const char *FileName, const wchar_t *LogFormat)
{
    if (Slot < 0 || Slot >= GRAPH_FILTER_SHADER_SLOT_NUM || FileName == nullptr) return -1;
    int &entry = GraphFilterState.ShaderHandles.Shader[Slot];
    if (entry >= 0) return entry;
    entry = FilterPassDevice.CreateShader(APIType, FileName);
    if (entry < 0) {
        entry = -1;
        wchar_t name[129];
        LogNameWide(FileName, name);
        AddLogFormat(LogFormat, name);
        return -1;
    }
    FilterPassDevice.WatchHandle(entry, &entry);
    return entry;
}

int FilterPass_ReadyShaderInSlot(int APIType, int Slot, int Index)
{
    if (Slot < 0 || Slot >= GRAPH_FILTER_SHADER_SLOT_NUM) return -1;
    int &entry = GraphFilterState.ShaderHandles.Shader[Slot];
    if (entry >= 0) return entry;
    entry = FilterPassDevice.CreateReadyShader(APIType, Index);
    if (entry < 0) {
        entry = -1;
        AddLogStringWide(L"RGBAMixS フィルター用シェーダーの作成に失敗しました");
        return -1;
    }
    FilterPassDevice.WatchHandle(entry, &entry);
    return entry;
}

int FilterPass_ShaderInSlot(int APIType, int Slot)
{
    return FilterPass_NamedShaderInSlot(APIType, Slot, FilterShaderFileName(APIType, Slot),
                                        L"フィルター用シェーダーの作成に失敗しました %s");
}

// The handles are deleted, not only forgotten: a forgotten handle would stay alive for good, and
// its delete notify would later write -1 over the slot's newer handle.
int GraphFilter_ResetShaderHandles(void)
{
    GraphFilterShaderHandles &h = GraphFilterState.ShaderHandles;
    for (int &slot : h.Shader) {
        if (slot < 0) continue;
        const int handle = slot;
        FilterPassDevice.WatchHandle(handle, nullptr);
        FilterPassDevice.DeleteHandle(handle);
    }
    if (h.LevelGammaGraph >= 0) {
        const int handle = h.LevelGammaGraph;
        FilterPassDevice.WatchHandle(handle, nullptr);
        FilterPassDevice.DeleteHandle(handle);
    }
    memset(&h, 0xFF, sizeof(h));
    return 0;
}
