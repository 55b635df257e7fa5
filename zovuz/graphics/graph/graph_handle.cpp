// Graph handles: their creation settings, the image records behind them, empty, derived and
// library-internal graphs, lookups, sizes and deletion.
#include <string.h>

#include "zovuz/graphics/graph/graph_load_internal.h"

GraphCreateSettingsData GraphCreateSettings = {0, 1, 0, 0, 0};

namespace {

GraphHandleData *RecordOf(HandleInfo *Info) { return reinterpret_cast<GraphHandleData *>(Info); }

int MipChainLength(int Width, int Height)
{
    int levels = 1;
    while (Width > 1 || Height > 1) {
        Width = Width > 1 ? Width / 2 : 1;
        Height = Height > 1 ? Height / 2 : 1;
        ++levels;
    }
    return levels;
}

void ReleaseImageRecord(GraphImageRecord *Image)
{
    if (Image->Format.HardwareFlag)
        Graphics_Hardware_ReleaseGraphTexture(Image);
    else
        TerminateMemImg(&Image->SoftImage);
    DXFREE(Image);
}

// The hardware pixel format of a request, from the pixel-format table.
int HardwarePixelFormat(const GraphFormatRequest &r)
{
    PixelFormatRequest p = {};
    p.AlphaChannelFlag = r.AlphaChannelFlag;
    p.AlphaTestFlag = !r.AlphaChannelFlag && !r.DrawValidFlag;  // a transparent colour
    p.RenderTargetFlag = r.DrawValidFlag;
    p.FormatId = r.FormatId;
    p.FloatFlag = r.FloatTypeFlag;
    p.ColorBitDepth = r.ColorBitDepth;
    p.ChannelCount = r.ChannelNum;
    p.ChannelBitDepth = r.ChannelBitDepth;
    return SelectPixelFormatIndex(&p);
}

// The hardware image record: the textures that tile the image, made by the back end.
GraphImageRecord *CreateHardwareImage(const GraphCreateParam *Param, const GraphFormatRequest &Request, int Width,
                                      int Height, int ASyncThread)
{
    int block = Request.FormatId >= 1 && Request.FormatId <= 5;
    int widths[GRAPH_TEXTURE_MAXNUM], heights[GRAPH_TEXTURE_MAXNUM];
    int nx = CalcTexturePieceSizes(Width, widths, 1, 0, Param->MaxTextureSize, block);
    int ny = CalcTexturePieceSizes(Height, heights, 1, 0, Param->MaxTextureSize, block);

    // The grid, square-only devices cutting every texture into squares of its shorter side.
    struct Tile
    {
        int X, Y, W, H;
    };
    Tile tiles[GRAPH_TEXTURE_MAXNUM];
    int n = 0;
    for (int j = 0, y = 0; j < ny; y += heights[j++])
        for (int i = 0, x = 0; i < nx; x += widths[i++]) {
            int side = widths[i] < heights[j] ? widths[i] : heights[j];
            int stepX = GraphicsDeviceCaps.SquareTextureOnly ? side : widths[i];
            int stepY = GraphicsDeviceCaps.SquareTextureOnly ? side : heights[j];
            for (int ty = 0; ty < heights[j]; ty += stepY)
                for (int tx = 0; tx < widths[i]; tx += stepX) {
                    if (n >= GRAPH_TEXTURE_MAXNUM) return nullptr;
                    tiles[n++] = Tile{x + tx, y + ty, stepX, stepY};
                }
        }
    if (nx == 0 || ny == 0) return nullptr;

    size_t size = sizeof(GraphImageRecord) + n * (sizeof(GraphTextureEntry) + sizeof(GraphicsBackendObjectData));
    GraphImageRecord *image = (GraphImageRecord *)DXCALLOC(size);
    if (image == nullptr) {
        AddLogStringWide(L"グラフィックのオリジナル画像データ保存用メモリの確保に失敗しました\n");
        return nullptr;
    }
    image->Texture = (GraphTextureEntry *)(image + 1);
    GraphicsBackendObjectData *backend = (GraphicsBackendObjectData *)(image->Texture + n);
    for (int i = 0; i < n; ++i) {
        GraphTextureEntry &e = image->Texture[i];
        e.PF = &backend[i];
        e.X = tiles[i].X;
        e.Y = tiles[i].Y;
        e.TexWidth = tiles[i].W;
        e.TexHeight = tiles[i].H;
        e.Width = Width - e.X < e.TexWidth ? Width - e.X : e.TexWidth;
        e.Height = Height - e.Y < e.TexHeight ? Height - e.Y : e.TexHeight;
    }
    image->TextureNum = n;
    image->MipLevels = Request.MipLevels;
    image->PixelFormat = HardwarePixelFormat(Request);
    if (Request.DrawValidFlag && Param->DrawValidZBufferFlag) {
        image->ZBufferFlag = 1;
        image->ZBufferBitDepthIndex = Param->ZBufferBitDepth == 24 ? 1 : Param->ZBufferBitDepth == 32 ? 2 : 0;
    }
    image->Format = Request;
    image->Width = Width;
    image->Height = Height;
    if (Graphics_Hardware_CreateTexture(image, ASyncThread) < 0) {
        DXFREE(image);
        return nullptr;
    }
    return image;
}

// The software image record: one software image of the graph's size.
GraphImageRecord *CreateSoftwareImage(const GraphFormatRequest &Request, int Width, int Height)
{
    GraphImageRecord *image = (GraphImageRecord *)DXCALLOC(sizeof(GraphImageRecord));
    if (image == nullptr) return nullptr;
    int type = Request.ColorBitDepth == 16 ? MEMIMG_COLORTYPE_565 : MEMIMG_COLORTYPE_XRGB8;
    uint32_t key = Request.PaletteFlag == 1 ? 0xFFFF : SoftwareColorKey(Request.TransColor, type);
    if (CreateMemImg(&image->SoftImage, Width, Height, -1, key, type, Request.PaletteFlag, Request.AlphaChannelFlag, 1,
                     nullptr) < 0) {
        AddLogStringWide(L"メモリイメージの作成に失敗しました\n");
        DXFREE(image);
        return nullptr;
    }
    image->PixelFormat = (type == MEMIMG_COLORTYPE_565 ? GRAPH_SOFT_FORMAT_RGB16 : GRAPH_SOFT_FORMAT_RGB32) +
                         (Request.AlphaChannelFlag ? 1 : 0);
    image->Format = Request;
    image->Width = Width;
    image->Height = Height;
    return image;
}

// The arguments of an asynchronous MakeGraph.
struct MakeGraphParams
{
    GraphCreateParam Param;
    int Handle;
    int Width, Height;
    int NotUse3DFlag;
    int PaletteFlag, PaletteBits;
};

void MakeGraphJob(ASyncLoadData *Data)
{
    const MakeGraphParams p = ASyncLoadJobParams<MakeGraphParams>(Data);
    int result = SetupGraphImage(&p.Param, p.Handle, p.Width, p.Height, !p.NotUse3DFlag, p.Param.AlphaChannelFlag,
                                 p.PaletteFlag, p.PaletteBits, 0, -1, 1);
    FinishHandleLoadJob(p.Handle, result);
}

int QueueMakeGraphJob(const GraphCreateParam *Param, int Handle, int Width, int Height, int NotUse3DFlag,
                      int PaletteFlag, int PaletteBits)
{
    const MakeGraphParams p = {.Param = *Param,
                               .Handle = Handle,
                               .Width = Width,
                               .Height = Height,
                               .NotUse3DFlag = NotUse3DFlag,
                               .PaletteFlag = PaletteFlag,
                               .PaletteBits = PaletteBits};
    return QueueHandleJob(DX_HANDLETYPE_GRAPH, Handle, MakeGraphJob, p);
}

}  // namespace

// ---- The handle type ---------------------------------------------------------------------------

int InitializeGraphHandle(HandleInfo *Info)
{
    RecordOf(Info)->MovieHandle = -1;
    return 0;
}

int TerminateGraphHandle(HandleInfo *Info)
{
    GraphHandleData *graph = RecordOf(Info);
    const MovieFunctions *movie = GetMovieFunctions();
    if (graph->MovieHandle != -1 && movie != nullptr && movie->DeleteMovie != nullptr)
        movie->DeleteMovie(graph->MovieHandle);
    graph->MovieHandle = -1;

    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    int targets = GraphicsDeviceCaps.RenderTargetNum > 1 ? GraphicsDeviceCaps.RenderTargetNum : 1;
    if (targets > DX_RENDERTARGET_COUNT) targets = DX_RENDERTARGET_COUNT;
    for (int slot = 0; slot < targets; ++slot) {
        if (d.RenderTarget[slot] != Info->Handle) continue;
        if (slot == 0) {
            SetDrawScreen(DX_SCREEN_FRONT);
        } else {
            d.RenderTarget[slot] = -1;
            d.RenderTargetSurface[slot] = d.RenderTargetMipLevel[slot] = 0;
            Graphics_Hardware_UpdateDrawScreenAlphaFlag();
            Graphics_Hardware_SetRenderTargetToShader(slot, -1, 0, 0);
        }
    }

    if (graph->Image != nullptr) {
        TerminateMemImg(&graph->SoftImage);
        if (--graph->Image->RefCount <= 0) ReleaseImageRecord(graph->Image);
        graph->Image = nullptr;
    }
    for (void *&buffer : graph->WorkBuffer) {
        DXFREE(buffer);
        buffer = nullptr;
    }
    ReleaseGraphSourceKeep(graph);
    if (graph->LostFlag != nullptr) *graph->LostFlag = 1;
    return 0;
}

GraphHandleData *GetGraphEntry(int GraphHandle, int AllowLoading)
{
    static HandleManage *const manage = GetHandleManage(DX_HANDLETYPE_GRAPH);
    return GetTypedHandle<GraphHandleData>(manage, GraphHandle, AllowLoading);
}

int IsValidGraphHandle(int GraphHandle) { return GetGraphEntry(GraphHandle, 0) != nullptr ? 1 : 0; }

// ---- Creation settings -------------------------------------------------------------------------

void InitGraphCreateParam(GraphCreateParam *Param)
{
    memset(Param, 0, sizeof(*Param));
    const GraphCreateSettingsData &s = GraphCreateSettings;
    Param->TransColor = (int)(ImageLoadDefaults.TransparentColor & 0xFFFFFF);
    Param->ColorBitDepth = s.ColorBitDepth;
    Param->TextureOption = s.TextureOption;
    Param->TextureOptionByte = 1;
    Param->FontOptionByte = s.FontOptionByte;
    Param->DrawValidFlag = s.DrawValidFlag;
    Param->DrawValidZBufferFlag = 1;
    Param->FontCacheFlag = s.FontCacheFlag;
}

namespace {

// The words both fillers set alike.
void InitFilledGraphCreateParam(GraphCreateParam *Param, int BitDepth, int AlphaFlag)
{
    memset(Param, 0, sizeof(*Param));
    Param->TransColor = 0xFF00FF;
    Param->ColorBitDepth = BitDepth;
    Param->AlphaChannelFlag = AlphaFlag;
    Param->MipLevels = 1;
    Param->Word23 = 1;
    Param->NotLoadAlphaImageFlag = 1;
}

}  // namespace

void InitDrawValidGraphCreateParam(GraphCreateParam *Param, int BitDepth, int AlphaFlag)
{
    InitFilledGraphCreateParam(Param, BitDepth, AlphaFlag);
    Param->DrawValidFlag = 1;
    Param->DrawValidAlphaFlag = AlphaFlag;
}

void InitLoadGraphParam(GraphCreateParam *Param, int BitDepth, int AlphaFlag, int Option5)
{
    InitFilledGraphCreateParam(Param, BitDepth, AlphaFlag);
    Param->TextureOption = Option5;
    Param->TextureOptionByte = 1;
}

void SetupGraphFormatRequest(GraphFormatRequest *Request, const GraphCreateParam *Param, int Width, int Height,
                             int AlphaFlag, int PaletteFlag, int PaletteBits, int FormatId, int TextureFlag,
                             int MipOverride)
{
    GraphFormatRequest &r = *Request;
    memset(&r, 0, sizeof(r));
    r.HardwareFlag = GraphicsState.HardwareInUseFlag ? 1 : 0;
    r.CubeMapFlag = Param->CubeMapFlag ? 1 : 0;
    r.TextureOptionByte = (uint8_t)Param->TextureOptionByte;
    r.FontOptionByte = (uint8_t)Param->FontOptionByte;
    r.OptionByte11 = (uint8_t)Param->OptionByte11;
    r.FormatId = (uint8_t)FormatId;
    r.TextureFlag = TextureFlag ? 1 : 0;
    r.PaletteFlag = PaletteFlag ? 1 : 0;
    if (MipOverride != -1)
        r.MipLevels = MipOverride;
    else
        r.MipLevels = Param->MipLevels == -1  ? MipChainLength(Width, Height)
                      : Param->MipLevels == 0 ? 1
                                              : Param->MipLevels;
    if (Param->DrawValidFlag) {
        r.DrawValidFlag = 1;
        r.AlphaChannelFlag = Param->DrawValidAlphaFlag ? 1 : 0;
        r.DrawTargetOption = (uint8_t)Param->DrawTargetOption;
        r.MipLevels = 1;
    } else {
        r.AlphaChannelFlag = AlphaFlag ? 1 : 0;
        r.TextureOption = Param->TextureOption;
    }

    if (!r.HardwareFlag) {
        r.ColorBitDepth = Param->ColorBitDepth != 0 ? Param->ColorBitDepth : GetScreenColorBitDepth();
        r.ChannelNum = r.ChannelBitDepth = r.MipLevels = r.TextureOption = 0;
        r.TextureOptionByte = r.FontOptionByte = r.OptionByte11 = r.DrawTargetOption = 0;
        r.TransColor = (uint32_t)Param->TransColor & 0xFFFFFF;
        return;
    }
    r.ColorBitDepth = Param->ColorBitDepth != 0 ? Param->ColorBitDepth
                      : r.AlphaChannelFlag      ? 32
                                                : GetScreenColorBitDepth();
    r.TransColor = (uint32_t)Param->TransColor & 0xFFFFFF;
    if (Param->ChannelNum >= 1) {
        r.ChannelNum = Param->ChannelNum;
        r.ChannelBitDepth = Param->ChannelBitDepth;
        r.FloatTypeFlag = Param->FloatTypeFlag ? 1 : 0;
    }
    if (r.DrawValidFlag) {
        r.ChannelNum = Param->DrawValidChannelNum;
        r.FloatTypeFlag = Param->DrawValidFloatTypeFlag ? 1 : 0;
    } else if (r.PaletteFlag) {
        r.ColorBitDepth = PaletteBits == 4 ? 4 : 8;
        r.PaletteBits = (uint8_t)r.ColorBitDepth;
    }
}

// ---- Empty graphs -----------------------------------------------------------------------------

int MakeGraph(int Width, int Height, int NotUse3DFlag)
{
    GraphCreateParam param;
    InitGraphCreateParam(&param);
    return MakeGraphWithCreateParam(&param, Width, Height, NotUse3DFlag, 0, 0, GetUseASyncLoadFlag(), 0);
}

int MakeGraphWithCreateParam(const GraphCreateParam *Param, int Width, int Height, int NotUse3DFlag, int PaletteFlag,
                             int PaletteBits, int ASyncFlag, int ASyncThread)
{
    if (!GraphicsState.GraphicsStartedFlag || Width < 1 || Height < 1) return -1;
    if (!ASyncThread) WaitWhileWindowInactive();
    int handle = AddHandle(DX_HANDLETYPE_GRAPH, ASyncThread, -1);
    if (handle < 0) return -1;
    int result = ASyncFlag && !ASyncThread
                     ? QueueMakeGraphJob(Param, handle, Width, Height, NotUse3DFlag, PaletteFlag, PaletteBits)
                     : SetupGraphImage(Param, handle, Width, Height, !NotUse3DFlag, Param->AlphaChannelFlag,
                                       PaletteFlag, PaletteBits, 0, -1, ASyncThread);
    if (result < 0) {
        SubHandle(handle);
        return -1;
    }
    return handle;
}

int SetupGraphImage(const GraphCreateParam *Param, int GraphHandle, int Width, int Height, int TextureFlag,
                    int AlphaFlag, int PaletteFlag, int PaletteBits, int FormatId, int MipOverride, int ASyncThread)
{
    GraphHandleData *graph = GetGraphEntry(GraphHandle, 1);
    if (graph == nullptr || graph->Image != nullptr) return -1;
    GraphFormatRequest request;
    SetupGraphFormatRequest(&request, Param, Width, Height, AlphaFlag, PaletteFlag, PaletteBits, FormatId, TextureFlag,
                            MipOverride);
    GraphImageRecord *image = request.HardwareFlag ? CreateHardwareImage(Param, request, Width, Height, ASyncThread)
                                                   : CreateSoftwareImage(request, Width, Height);
    if (image == nullptr) return -1;
    image->TransColor = (uint32_t)Param->TransColor & 0xFFFFFF;
    image->RefCount = 1;
    graph->Image = image;
    graph->FontCacheFlag = Param->FontCacheFlag;
    graph->Width = Width;
    graph->Height = Height;
    graph->WidthF = (float)Width;
    graph->HeightF = (float)Height;
    graph->OffsetX = graph->OffsetY = 0;
    graph->OffsetXF = graph->OffsetYF = 0.0f;
    return SetupGraphDrawPieces(GraphHandle);
}

// ---- Derived graphs --------------------------------------------------------------------------

int DeriveGraph(int X, int Y, int Width, int Height, int SrcGraphHandle)
{
    return DeriveGraphHandle(X, Y, Width, Height, (float)X, (float)Y, (float)Width, (float)Height, SrcGraphHandle, 0);
}

int DeriveGraphHandle(int X, int Y, int Width, int Height, float XF, float YF, float WidthF, float HeightF,
                      int SrcGraphHandle, int FloatFlag)
{
    if (GetGraphEntry(SrcGraphHandle, 1) == nullptr) return -1;
    int handle = AddHandle(DX_HANDLETYPE_GRAPH, 0, -1);
    if (handle < 0) return -1;
    if (DeriveGraphCore(handle, X, Y, Width, Height, XF, YF, WidthF, HeightF, SrcGraphHandle, FloatFlag) < 0) {
        SubHandle(handle);
        return -1;
    }
    return handle;
}

int DeriveGraphCore(int GraphHandle, int X, int Y, int Width, int Height, float XF, float YF, float WidthF,
                    float HeightF, int SrcGraphHandle, int FloatFlag)
{
    GraphHandleData *parent = GetGraphEntry(SrcGraphHandle, 1);
    GraphHandleData *graph = GetGraphEntry(GraphHandle, 1);
    if (parent == nullptr || graph == nullptr || parent->Image == nullptr || graph->Image != nullptr) return -1;
    if (X < 0 || X >= parent->Width || Y < 0 || Y >= parent->Height || Width < 1 || Height < 1) return -1;
    if (FloatFlag &&
        (XF < 0.0f || XF >= parent->WidthF || YF < 0.0f || YF >= parent->HeightF || WidthF <= 0.0f || HeightF <= 0.0f))
        return -1;
    if (X + Width > parent->Width) Width = parent->Width - X;
    if (Y + Height > parent->Height) Height = parent->Height - Y;
    if (XF + WidthF > parent->WidthF) WidthF = parent->WidthF - XF;
    if (YF + HeightF > parent->HeightF) HeightF = parent->HeightF - YF;

    // The parent's image, kept source and offsets, shifted by the rectangle.
    graph->Image = parent->Image;
    graph->Image->RefCount++;
    graph->Source = parent->Source;
    if (graph->Source != nullptr) graph->Source->RefCount++;
    graph->FontCacheFlag = parent->FontCacheFlag;
    graph->FloatPositionFlag = FloatFlag || parent->FloatPositionFlag;
    graph->SourceX = parent->SourceX + X;
    graph->SourceY = parent->SourceY + Y;
    graph->OffsetX = parent->OffsetX + X;
    graph->OffsetY = parent->OffsetY + Y;
    float fx = FloatFlag ? XF : (float)X, fy = FloatFlag ? YF : (float)Y;
    graph->SourceXF = parent->SourceXF + fx;
    graph->SourceYF = parent->SourceYF + fy;
    graph->OffsetXF = parent->OffsetXF + fx;
    graph->OffsetYF = parent->OffsetYF + fy;
    graph->Width = Width;
    graph->Height = Height;
    graph->WidthF = FloatFlag ? WidthF : (float)Width;
    graph->HeightF = FloatFlag ? HeightF : (float)Height;
    return SetupGraphDrawPieces(GraphHandle);
}

// ---- Deletion and queries ----------------------------------------------------------------------

int DeleteGraph(int GraphHandle)
{
    if (GetTypedHandle(GraphHandle, DX_HANDLETYPE_GRAPH, 1) == nullptr) return -1;
    return SubHandle(GraphHandle);
}

int DeleteInternalGraphs(void)
{
    return DeleteHandleTypeAll(DX_HANDLETYPE_GRAPH, [](HandleInfo *Info) {
        GraphHandleData *graph = RecordOf(Info);
        return graph->Image != nullptr && graph->InternalFlag ? 0 : 1;
    });
}

int IsGraphKeptInFirstPass(GraphHandleData *Graph) { return Graph->FontCacheFlag; }

namespace {

// The size of a graph (with TextureFlag the size of the texture behind a hardware graph), of a
// shadow map, or of the screen for -2 and -4. 0 / -1.
int GraphOrShadowMapSize(int Handle, bool TextureFlag, int *Width, int *Height)
{
    int w, h;
    GraphHandleData *graph = GetGraphEntry(Handle, 0);
    if (!TextureFlag && (Handle == DX_SCREEN_BACK || Handle == DX_SCREEN_FRONT)) {
        GetDrawScreenSize(&w, &h);
    } else if (graph != nullptr && graph->Image != nullptr) {
        bool texture = TextureFlag && graph->Image->Format.HardwareFlag && graph->PieceNum >= 1;
        w = texture ? graph->Piece[0].Texture->TexWidth : graph->Width;
        h = texture ? graph->Piece[0].Texture->TexHeight : graph->Height;
    } else if (ShadowMapHandleData *map = GetShadowMapEntry(Handle, 0)) {
        w = map->Width;
        h = map->Height;
    } else {
        return -1;
    }
    if (Width != nullptr) *Width = w;
    if (Height != nullptr) *Height = h;
    return 0;
}

}  // namespace

int GetGraphSize(int GraphHandle, int *Width, int *Height)
{
    return GraphOrShadowMapSize(GraphHandle, false, Width, Height);
}

int GetGraphTextureSize(int GraphHandle, int *Width, int *Height)
{
    return GraphOrShadowMapSize(GraphHandle, true, Width, Height);
}

int GetGraphDrawTargetOptionFlag(int GraphHandle)
{
    GraphHandleData *graph = GetGraphEntry(GraphHandle, 0);
    if (graph == nullptr || graph->Image == nullptr || !graph->Image->Format.HardwareFlag) return 0;
    return graph->Image->Format.DrawTargetOption ? 1 : 0;
}

int SetGraphLostFlag(int GraphHandle, int *LostFlag)
{
    GraphHandleData *graph = GetGraphEntry(GraphHandle, 1);
    if (graph == nullptr) return -1;
    graph->LostFlag = LostFlag;
    if (LostFlag != nullptr) *LostFlag = 0;
    return 0;
}

// ---- The library's white graph -----------------------------------------------------------------

int GetWhiteTextureGraph(void)
{
    DrawScreenStateData &s = DrawScreenState;
    if (s.WhiteGraph != -1 && IsValidGraphHandle(s.WhiteGraph)) return s.WhiteGraph;
    // An 8 x 8 run-length TGA: eight runs of eight opaque white pixels, then the TGA 2.0 footer.
    uint8_t tga[84] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 8, 0, 32, 8};
    for (int run = 0; run < 8; ++run) {
        uint8_t *p = tga + 18 + run * 5;
        p[0] = 0x87;
        memset(p + 1, 0xFF, 4);
    }
    memcpy(tga + 84 - 18, "TRUEVISION-XFILE.", 18);

    s.WhiteGraph = -1;
    ImageLoadParam load;
    InitImageLoadParams(&load, 0);
    BASEIMAGE image;
    if (LoadBaseImageFromFile(&load, nullptr, tga, sizeof(tga), 1, 0, 0, &image, nullptr, nullptr) < 0) return -1;
    GraphCreateParam param;
    InitLoadGraphParam(&param, 16, 1, 0);
    int handle = CreateGraphFromBaseImageParam(&param, &image, nullptr, 1);
    ReleaseBaseImage(&image);
    if (handle < 0) return -1;
    GetGraphEntry(handle, 0)->InternalFlag = 1;
    s.WhiteGraph = handle;
    SetHandleDeleteNotify(handle, &s.WhiteGraph);
    return handle;
}
