// Graph textures on Direct3D 9: their device objects, the transfer of images into them, fills,
// copies between graphs and the copy of a movie frame.
#include "zovuz/d3d9/texture/windows/d3d9_graph_texture_win.h"

#include "zovuz/d3d9/texture/d3d9_memory_cache.h"
#include "zovuz/d3d9/texture/d3d9_texture_transfer.h"
#include "zovuz/d3d9/device/windows/d3d9_device_win.h"
#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"

namespace {

int Fail(const wchar_t *Line)
{
    AddLogStringWide(Line);
    return -1;
}

// A creation or load given up because the device refused it: the line, then the call and its answer.
int Fail(const wchar_t *Line, const wchar_t *Call, HRESULT Result)
{
    AddLogStringWide(Line);
    return LogPlatformFailure(Call, (unsigned long)Result);
}

D3D9TextureObjects &ObjectsOf(const GraphTextureEntry &Entry) { return *D3D9TextureObjectsOf(Entry.PF); }

int FaceNum(const GraphImageRecord &Image) { return Image.Format.CubeMapFlag ? 6 : 1; }
int MipNum(const GraphImageRecord &Image) { return Image.MipLevels > 1 ? Image.MipLevels : 1; }

// The D3DFORMAT of the record's pixel format, 0 for none.
unsigned FormatOf(const GraphImageRecord &Image)
{
    if (Image.PixelFormat < 0 || Image.PixelFormat >= PIXEL_FORMAT_NUM) return 0;
    return D3D9TextureFormatTable.Format[Image.PixelFormat];
}

bool ScreenMultisampled() { return GraphicsDeviceMode.MultiSampleCount > 1; }

// What every entry of one record is made with.
struct TextureSettings
{
    D3DFORMAT Format;
    D3DMULTISAMPLE_TYPE MultiSample;
    DWORD Quality;
    int RenderTarget, Cube, Mips;
    int ASyncThread;
};

int CreateRenderObjects(const GraphTextureEntry &Entry, const GraphImageRecord &Image, const TextureSettings &T)
{
    D3D9TextureObjects &objects = ObjectsOf(Entry);
    IDirect3DSurface9 *&render = objects.RenderSurface;
    HRESULT hr = S_OK;
    if (T.MultiSample != D3DMULTISAMPLE_NONE && render == nullptr &&
        FAILED(hr = Direct3DDevice9_CreateRenderTarget_ASync((UINT)Entry.TexWidth, (UINT)Entry.TexHeight, T.Format,
                                                             T.MultiSample, T.Quality, FALSE, &render, nullptr,
                                                             T.ASyncThread))) {
        render = nullptr;
        return Fail(L"書き込み専用サーフェスの作成に失敗しました\n", L"IDirect3DDevice9::CreateRenderTarget", hr);
    }
    // A target whose sampling differs from the screen's cannot share the screen's depth buffer.
    const bool multi = T.MultiSample != D3DMULTISAMPLE_NONE;
    const bool own = (multi && !ScreenMultisampled()) || (ScreenMultisampled() && !multi) || Image.ZBufferFlag;
    IDirect3DSurface9 *&depth = objects.DepthSurface;
    if (!own) {
        if (depth != nullptr) Direct3D9_ReleaseObject_ASync(depth, T.ASyncThread);
        depth = nullptr;
        return 0;
    }
    if (depth != nullptr) return 0;
    int index = Image.ZBufferBitDepthIndex;
    if (index < 0 || index > 2) index = 0;
    const D3DFORMAT format = (D3DFORMAT)D3D9TextureFormatTable.Format[D3D9_FORMAT_SLOT_ZBUFFER16 + index];
    if (FAILED(hr = Direct3DDevice9_CreateDepthStencilSurface_ASync((UINT)Entry.TexWidth, (UINT)Entry.TexHeight, format,
                                                                    T.MultiSample, T.Quality, TRUE, &depth, nullptr,
                                                                    T.ASyncThread))) {
        depth = nullptr;
        return Fail(L"書き込み専用マルチサンプル深度サーフェスの作成に失敗しました\n",
                    L"IDirect3DDevice9::CreateDepthStencilSurface", hr);
    }
    return 0;
}

int CreateEntry(const GraphTextureEntry &Entry, const GraphImageRecord &Image, const TextureSettings &T)
{
    if (Entry.PF == nullptr) return -1;
    if (T.RenderTarget && !T.Cube && CreateRenderObjects(Entry, Image, T) < 0) return -1;
    D3D9TextureObjects &objects = ObjectsOf(Entry);
    IDirect3DBaseTexture9 *&texture = objects.Texture;
    const DWORD usage = T.RenderTarget ? D3DUSAGE_RENDERTARGET : 0;
    if (texture == nullptr) {
        HRESULT hr;
        if (T.Cube) {
            IDirect3DCubeTexture9 *cube = nullptr;
            hr = Direct3DDevice9_CreateCubeTexture_ASync((UINT)Entry.TexWidth, (UINT)T.Mips, usage, T.Format,
                                                         D3DPOOL_DEFAULT, &cube, nullptr, T.ASyncThread);
            texture = cube;
        } else {
            IDirect3DTexture9 *plain = nullptr;
            hr = Direct3DDevice9_CreateTexture_ASync((UINT)Entry.TexWidth, (UINT)Entry.TexHeight, (UINT)T.Mips, usage,
                                                     T.Format, D3DPOOL_DEFAULT, &plain, nullptr, T.ASyncThread);
            texture = plain;
        }
        if (FAILED(hr) || texture == nullptr) {
            texture = nullptr;
            if (T.Cube)
                return Fail(L"キューブマップテクスチャの作成に失敗しました\n", L"IDirect3DDevice9::CreateCubeTexture",
                            hr);
            return Fail(L"テクスチャの作成に失敗しました\n", L"IDirect3DDevice9::CreateTexture", hr);
        }
    }
    IDirect3DSurface9 *&level = objects.LevelSurface;
    if (level == nullptr) {
        level = Graphics_D3D9_GetGraphSurface(Entry, T.Cube, 0, T.ASyncThread);
        if (level == nullptr)
            return Fail(T.Cube ? L"キューブテクスチャのサーフェスアドレスの取得に失敗しました\n"
                               : L"テクスチャのサーフェスアドレスの取得に失敗しました\n");
        // The slot holds the reference the fetch gave.
    }
    if (T.RenderTarget) {
        for (int face = 0; face < (T.Cube ? 6 : 1); ++face) {
            IDirect3DSurface9 *surface = Graphics_D3D9_GetGraphSurface(Entry, T.Cube, face, T.ASyncThread);
            if (surface == nullptr) continue;
            Direct3DDevice9_ColorFill_ASync(surface, nullptr, 0, T.ASyncThread);
            Direct3D9_ReleaseObject_ASync(surface, T.ASyncThread);
        }
        if (objects.RenderSurface != nullptr)
            Direct3DDevice9_ColorFill_ASync(objects.RenderSurface, nullptr, 0, T.ASyncThread);
    }
    return 0;
}

bool HasDevice() { return Direct3DDevice9_IsValid() != 0; }

// The state cache must not name a released object: a later object at the same address would pass
// as bound already.
void ForgetObject(const void *Object)
{
    D3D9DeviceStateCacheData &c = D3D9DeviceStateCache;
    for (IDirect3DSurface9 *&target : c.RenderTarget)
        if (target == Object) target = nullptr;
    for (D3D9DrawStateStage &stage : c.Out.Stage)
        if (stage.Texture == Object) stage.Texture = nullptr;
    if (c.Draw.Texture == Object || c.Draw.BlendTexture == Object) {
        if (c.Draw.Texture == Object) c.Draw.Texture = nullptr;
        if (c.Draw.BlendTexture == Object) c.Draw.BlendTexture = nullptr;
        c.Draw.TextureChangedFlag = 1;
        c.Draw.DrawStateChangedFlag = 1;
    }
}

void FlushAndEndScene(int ASyncThread = 0)
{
    Graphics_D3D9_RenderVertexBuffer(ASyncThread);
    if (!ASyncThread) Direct3DDevice9_EndSceneIfNeeded();
}

// Waits for a cached system-memory texture: the message loop once and a 1 ms sleep per miss. -1
// when the library is ending.
int AcquireTextureWaiting(int Cube, int Width, int Height, int Mips, unsigned Format, int ASyncThread)
{
    for (;;) {
        const int index = Graphics_D3D9_AcquireMemoryTexture(Cube, Width, Height, Mips, Format, ASyncThread);
        // A texture that cannot be made is not waited for: no entry coming back would help.
        if (index >= 0 || D3D9MemoryTextureCache.CreateFailedFlag) return index;
        if (IsMainThread() && ProcessMessageNoLock() != 0) return -1;
        Sleep(1);
    }
}

// A system-memory copy of a rectangle of an image (and its alpha image), for a render target the
// CPU cannot write.
struct SystemImage
{
    IDirect3DSurface9 *Surface = nullptr;
    int ASyncThread = 0;
    ~SystemImage()
    {
        if (Surface != nullptr) Direct3D9_ReleaseObject_ASync(Surface, ASyncThread);
    }
};

// -1 with the call that failed and its answer in *Call and *Result.
int MakeSystemImage(SystemImage &Out, const D3D9TextureTransferJob &J, int Face, const wchar_t **Call, HRESULT *Result)
{
    const int width = J.SrcRect.right - J.SrcRect.left, height = J.SrcRect.bottom - J.SrcRect.top;
    Out.ASyncThread = J.ASyncThread;
    if (FAILED(*Result = Direct3DDevice9_CreateOffscreenPlainSurface_ASync((UINT)width, (UINT)height,
                                                                           (D3DFORMAT)J.Format, D3DPOOL_SYSTEMMEM,
                                                                           &Out.Surface, nullptr, J.ASyncThread))) {
        Out.Surface = nullptr;
        *Call = L"IDirect3DDevice9::CreateOffscreenPlainSurface";
        return -1;
    }
    D3DLOCKED_RECT locked = {};
    if (FAILED(*Result =
                   Direct3DSurface9_LockRect_ASync(Out.Surface, &locked, nullptr, D3DLOCK_DISCARD, J.ASyncThread))) {
        *Call = L"IDirect3DSurface9::LockRect";
        return -1;
    }
    const BASEIMAGE &src = *J.Source;
    const int faceBytes = GetBaseImageDataSize(&src);
    const uint8_t *pixels = (const uint8_t *)src.Pixels + (ptrdiff_t)Face * (faceBytes > 0 ? faceBytes : 0);
    const BASEIMAGE *alpha = J.AlphaSource;
    const int colorKey =
        J.TransColorFlag && J.DestColorData->AlphaWidth != 0 && alpha == nullptr && src.ColorData.AlphaWidth == 0;
    const int result =
        ConvertColorDataBlt(locked.pBits, locked.Pitch, J.DestColorData, pixels, src.Pitch, &src.ColorData,
                            alpha != nullptr ? alpha->Pixels : nullptr, alpha != nullptr ? alpha->Pitch : 0,
                            alpha != nullptr ? &alpha->ColorData : nullptr, 0, 0, &J.SrcRect, 0, colorKey, J.TransColor,
                            COLOR_DITHER_NONE, 0, 0, 0, 0);
    Direct3DSurface9_UnlockRect_ASync(Out.Surface, J.ASyncThread);
    return result < 0 ? -1 : 0;
}

}  // namespace

IDirect3DSurface9 *Graphics_D3D9_GetGraphSurface(const GraphTextureEntry &Entry, int CubeMapFlag, int Face,
                                                 int ASyncThread)
{
    if (Entry.PF == nullptr) return nullptr;
    IDirect3DBaseTexture9 *texture = ObjectsOf(Entry).Texture;
    if (texture == nullptr) return nullptr;
    IDirect3DSurface9 *surface = nullptr;
    const HRESULT hr =
        CubeMapFlag ? Direct3DCubeTexture9_GetCubeMapSurface_ASync(static_cast<IDirect3DCubeTexture9 *>(texture),
                                                                   (D3DCUBEMAP_FACES)Face, 0, &surface, ASyncThread)
                    : Direct3DTexture9_GetSurfaceLevel_ASync(static_cast<IDirect3DTexture9 *>(texture), 0, &surface,
                                                             ASyncThread);
    if (SUCCEEDED(hr)) return surface;
    LogPlatformFailure(
        CubeMapFlag ? L"IDirect3DCubeTexture9::GetCubeMapSurface" : L"IDirect3DTexture9::GetSurfaceLevel",
        (unsigned long)hr);
    return nullptr;
}

int Graphics_D3D9_CreateTexture(GraphImageRecord *Image, int ASyncThread)
{
    if (!HasDevice()) return -1;
    if (Image == nullptr || !Image->Format.HardwareFlag || Image->Texture == nullptr) return 0;
    TextureSettings t = {};
    t.Format = (D3DFORMAT)FormatOf(*Image);
    if (t.Format == 0) return Fail(L"指定のフォーマットで作成できるテクスチャフォーマットがありませんでした\n");
    t.RenderTarget = Image->Format.DrawValidFlag;
    t.Cube = Image->Format.CubeMapFlag;
    t.Mips = MipNum(*Image);
    t.ASyncThread = ASyncThread;
    t.MultiSample = D3DMULTISAMPLE_NONE;
    if (t.RenderTarget && !t.Cube && Image->MultiSampleCount >= 2) {
        t.MultiSample = (D3DMULTISAMPLE_TYPE)Image->MultiSampleCount;
        t.Quality = (DWORD)(Image->MultiSampleQuality > 0 ? Image->MultiSampleQuality : 0);
        Direct3D9_CheckMultiSampleType_ASync(t.Format, &t.MultiSample, &t.Quality, 0, ASyncThread);
        if ((int)t.MultiSample < 2) {
            t.MultiSample = D3DMULTISAMPLE_NONE;
            t.Quality = 0;
        }
    }
    for (int i = 0; i < Image->TextureNum; i++)
        if (CreateEntry(Image->Texture[i], *Image, t) < 0) return -1;
    return 0;
}

int Graphics_D3D9_ReleaseGraphTexture(GraphImageRecord *Image)
{
    if (Image == nullptr || !Image->Format.HardwareFlag || Image->Texture == nullptr) return 0;
    // Vertices already batched may still draw with these textures.
    if (HasDevice()) Graphics_D3D9_RenderVertexBuffer(0);
    for (int i = 0; i < Image->TextureNum; i++) {
        const GraphTextureEntry &entry = Image->Texture[i];
        if (entry.PF == nullptr) continue;
        D3D9TextureObjects &objects = ObjectsOf(entry);
        const auto forgetAndRelease = [](IUnknown *Object) {
            ForgetObject(Object);
            Direct3D9_ReleaseObject(Object);
        };
        ReleaseAndClear(objects.LevelSurface, forgetAndRelease);
        ReleaseAndClear(objects.RenderSurface, forgetAndRelease);
        ReleaseAndClear(objects.DepthSurface, forgetAndRelease);
        ReleaseAndClear(objects.Texture, forgetAndRelease);
    }
    return 0;
}

int Graphics_D3D9_BltBmpOrBaseImageToTexture(const ImageRect *SrcRect, int DestX, int DestY, GraphHandleData *Graph,
                                             const BASEIMAGE *Image, const BASEIMAGE *AlphaImage, int,
                                             int TransferOption2, int WholeImageFlag, int AcceptLoadingFlag)
{
    if (!HasDevice()) return -1;
    const int asyncThread = AcceptLoadingFlag && !IsMainThread() ? 1 : 0;
    Graphics_D3D9_RenderVertexBuffer(asyncThread);
    const int check = CheckGraphTransfer(SrcRect, Image, Graph, AcceptLoadingFlag);
    if (check <= 0) return check;
    ImageRect rect = *SrcRect;
    const GraphImageRecord &record = *Graph->Image;
    const unsigned format = FormatOf(record);
    const COLORDATA *colorData = Graphics_D3D9_GetFormatColorData(format);
    const int block = D3D9DXTFormatOfKind(Image->ColorData.Format) != 0 ? 1 : 0;
    if (format == 0 || (colorData == nullptr && !D3D9IsDXTFormat(format))) return -1;

    if (!ClipTransferRectToImage(Image, block, &rect, &DestX, &DestY)) return 0;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;

    D3D9TextureTransferJob job = {};
    job.Format = format;
    job.DestColorData = colorData;
    job.CubeMapFlag = record.Format.CubeMapFlag;
    job.MipLevels = MipNum(record);
    job.Source = Image;
    job.AlphaSource = AlphaImage;
    job.TransColorFlag = TransferOption2;
    job.TransColor = record.TransColor;
    job.ASyncThread = asyncThread;

    // A render target cannot be written by the CPU: each face goes through a system-memory copy.
    const bool target = record.Format.DrawValidFlag != 0;
    SystemImage faces[6];
    if (target) {
        if (colorData == nullptr) return -1;
        job.SrcRect = rect;
        for (int f = 0; f < FaceNum(record); ++f) {
            const wchar_t *call = nullptr;
            HRESULT hr = S_OK;
            if (MakeSystemImage(faces[f], job, f, &call, &hr) < 0) {
                const wchar_t *line = L"画像転送用のシステムメモリテクスチャの作成に失敗しました\n";
                return call != nullptr ? Fail(line, call, hr) : Fail(line);
            }
        }
    }

    auto transfer = [&](const GraphTextureEntry &Entry, const ImageRect &TexRect, const ImageRect &Source) -> int {
        const D3D9TextureObjects &objects = ObjectsOf(Entry);
        IDirect3DBaseTexture9 *texture = objects.Texture;
        if (texture == nullptr) return -1;
        if (target) {
            for (int f = 0; f < FaceNum(record); ++f) {
                IDirect3DSurface9 *level = Graphics_D3D9_GetGraphSurface(Entry, job.CubeMapFlag, f, asyncThread);
                const RECT from = {Source.left - rect.left, Source.top - rect.top, Source.right - rect.left,
                                   Source.bottom - rect.top};
                const POINT at = {TexRect.left, TexRect.top};
                const HRESULT hr = level == nullptr ? E_FAIL
                                                    : Direct3DDevice9_UpdateSurface_ASync(faces[f].Surface, &from,
                                                                                          level, &at, asyncThread);
                IDirect3DSurface9 *render = objects.RenderSurface;
                if (SUCCEEDED(hr) && f == 0 && render != nullptr && !asyncThread) {
                    const RECT to = {TexRect.left, TexRect.top, TexRect.right, TexRect.bottom};
                    Direct3DDevice9_StretchRect(level, &to, render, &to, D3DTEXF_NONE);
                }
                if (level != nullptr) Direct3D9_ReleaseObject_ASync(level, asyncThread);
                if (FAILED(hr) && level != nullptr)
                    return Fail(L"描画可能テクスチャへの画像の転送に失敗しました\n", L"IDirect3DDevice9::UpdateSurface",
                                hr);
                if (FAILED(hr)) return Fail(L"描画可能テクスチャへの画像の転送に失敗しました\n");
            }
            return 0;
        }
        job.SrcRect = Source;
        job.DestX = TexRect.left;
        job.DestY = TexRect.top;
        job.TexWidth = Entry.TexWidth;
        job.TexHeight = Entry.TexHeight;
        job.UsedWidth = Entry.Width;
        job.UsedHeight = Entry.Height;
        const bool whole = TexRect.left == 0 && TexRect.top == 0 && TexRect.right == Entry.TexWidth &&
                           TexRect.bottom == Entry.TexHeight;
        if (whole) {
            // The whole texture goes up at once from a cached system-memory texture.
            const int index = AcquireTextureWaiting(job.CubeMapFlag, Entry.TexWidth, Entry.TexHeight, job.MipLevels,
                                                    format, asyncThread);
            if (index < 0) return -1;
            job.Texture = (IDirect3DBaseTexture9 *)Graphics_D3D9_MemoryTextureObject(index);
            job.UseMemorySurfaceFlag = 0;
            int result =
                job.MipLevels > 1 ? Graphics_D3D9_TextureTransfer(job) : Graphics_D3D9_TextureTransferBaseLevel(job);
            if (result == 0) {
                const HRESULT hr = Direct3DDevice9_UpdateTexture_ASync(job.Texture, texture, asyncThread);
                if (FAILED(hr)) result = LogPlatformFailure(L"IDirect3DDevice9::UpdateTexture", (unsigned long)hr);
            }
            Graphics_D3D9_ReleaseMemoryTexture(index, asyncThread);
            return result;
        }
        job.Texture = texture;
        job.UseMemorySurfaceFlag = 1;
        return job.MipLevels > 1 ? Graphics_D3D9_TextureTransfer(job) : Graphics_D3D9_TextureTransferBaseLevel(job);
    };

    return ForEachTransferTexture(Graph, rect, width, height, DestX, DestY, WholeImageFlag, block, transfer);
}

// ---- Graph operations ------------------------------------------------------------------------

int Graphics_D3D9_FillGraph(GraphHandleData *Graph, int Red, int Green, int Blue, int Alpha)
{
    if (!HasDevice()) return -1;
    if (Graph == nullptr || Graph->Image == nullptr || !Graph->Image->Format.DrawValidFlag) return 2;
    FlushAndEndScene();
    const D3DCOLOR color = (D3DCOLOR)((Alpha & 0xFF) << 24 | (Red & 0xFF) << 16 | (Green & 0xFF) << 8 | (Blue & 0xFF));
    for (int i = 0; i < Graph->PieceNum; i++) {
        const GraphDrawPiece &piece = Graph->Piece[i];
        if (piece.Texture == nullptr || piece.Texture->PF == nullptr) continue;
        const RECT rect = {piece.UsePosX, piece.UsePosY, piece.UsePosX + piece.Width, piece.UsePosY + piece.Height};
        // A multisampled graph is drawn through its render surface, which its texture is later
        // resolved from: both get the colour.
        const D3D9TextureObjects &objects = ObjectsOf(*piece.Texture);
        for (IDirect3DSurface9 *surface : {objects.LevelSurface, objects.RenderSurface})
            if (surface != nullptr) Direct3DDevice9_ColorFill(surface, &rect, color);
    }
    return 0;
}

int Graphics_D3D9_BltRectGraphToGraph(GraphHandleData *DestGraph, GraphHandleData *SrcGraph, int SrcSurface, int X1,
                                      int Y1, int X2, int Y2, int DestX, int DestY)
{
    if (!HasDevice() || DestGraph == nullptr || DestGraph->Image == nullptr) return -1;
    FlushAndEndScene();
    if (!DestGraph->Image->Format.DrawValidFlag) {
        BASEIMAGE image;
        const ImageRect rect = {X1, Y1, X2, Y2};
        const int source = SrcGraph != nullptr ? SrcGraph->Info.Handle : -1;
        if (LockDrawScreenBuffer(&rect, &image, source, SrcSurface, 0, 1, 0) < 0) return -1;
        const ImageRect whole = {0, 0, image.Width, image.Height};
        const int result = BltBaseImageToGraph(&whole, DestX, DestY, DestGraph->Info.Handle, &image, nullptr,
                                               DestGraph->Image->Format.TextureOption, 0, 0, 0);
        UnlockDrawScreenBuffer();
        return result < 0 ? -1 : 0;
    }
    IDirect3DSurface9 *source = nullptr;
    bool ownSource = false;
    int sx = 0, sy = 0;
    if (SrcGraph != nullptr) {
        if (SrcGraph->Image == nullptr || SrcGraph->PieceNum < 1 || SrcGraph->Piece[0].Texture == nullptr) return -1;
        const GraphDrawPiece &piece = SrcGraph->Piece[0];
        sx = piece.UsePosX - piece.DrawX;
        sy = piece.UsePosY - piece.DrawY;
        source = ObjectsOf(*piece.Texture).RenderSurface;
        if (source == nullptr) {
            source = Graphics_D3D9_GetGraphSurface(*piece.Texture, SrcGraph->Image->Format.CubeMapFlag, SrcSurface, 0);
            ownSource = true;
        }
    } else {
        source = D3D9Screen.SubBackBufferSurface != nullptr ? D3D9Screen.SubBackBufferSurface
                                                            : D3D9DeviceCapsInfo.BackBuffer;
    }
    if (DestGraph->PieceNum < 1 || DestGraph->Piece[0].Texture == nullptr) source = nullptr;
    IDirect3DSurface9 *dest = source != nullptr ? ObjectsOf(*DestGraph->Piece[0].Texture).LevelSurface : nullptr;
    int result = -1;
    if (source != nullptr && dest != nullptr) {
        const GraphDrawPiece &piece = DestGraph->Piece[0];
        const int dx = DestX + piece.UsePosX - piece.DrawX, dy = DestY + piece.UsePosY - piece.DrawY;
        const RECT from = {X1 + sx, Y1 + sy, X2 + sx, Y2 + sy};
        const RECT to = {dx, dy, dx + X2 - X1, dy + Y2 - Y1};
        result = SUCCEEDED(Direct3DDevice9_StretchRect(source, &from, dest, &to, D3DTEXF_NONE)) ? 0 : -1;
        // A multisampled graph is drawn and read through its render surface, and resolved from it
        // into its texture: the copy goes there too, or the next resolve would undo it.
        IDirect3DSurface9 *render = ObjectsOf(*piece.Texture).RenderSurface;
        if (result == 0 && render != nullptr && render != source)
            result = SUCCEEDED(Direct3DDevice9_StretchRect(source, &from, render, &to, D3DTEXF_NONE)) ? 0 : -1;
    }
    if (ownSource && source != nullptr) Direct3D9_ReleaseObject(source);
    return result;
}

int Graphics_D3D9_CheckRenderTargetGraph(int, GraphHandleData *Graph)
{
    if (Graph == nullptr) return 0;
    const GraphImageRecord *image = Graph->Image;
    if (image == nullptr || !image->Format.DrawValidFlag || image->TextureNum < 1 || image->Texture[0].PF == nullptr)
        return -1;
    return ObjectsOf(image->Texture[0]).DepthSurface != nullptr ? 0 : -1;
}

namespace {

// A StretchRect cannot write a texture that is no render target: the frame is converted into a
// render target of the screen's format, read back into system memory and transferred into the
// graph as an image. The whole surface is converted: the YUV layouts pair their pixels, and a
// rectangle of odd size (a picture of odd size) is not converted as it is.
int CopyMovieFrameThroughMemory(GraphHandleData *Graph, IDirect3DSurface9 *Frame, const RECT &Rect)
{
    const D3DFORMAT format = D3D9DeviceCapsInfo.BackBufferFormat;
    const COLORDATA *colorData = Graphics_D3D9_GetFormatColorData((unsigned)format);
    D3DSURFACE_DESC desc = {};
    HRESULT hr = Direct3DSurface9_GetDesc(Frame, &desc);
    const int width = Rect.right, height = Rect.bottom;
    if (colorData == nullptr || FAILED(hr) || width < 1 || height < 1 || (UINT)width > desc.Width ||
        (UINT)height > desc.Height)
        return -1;
    IDirect3DSurface9 *target = nullptr;
    hr = Direct3DDevice9_CreateRenderTarget(desc.Width, desc.Height, format, D3DMULTISAMPLE_NONE, 0, FALSE, &target,
                                            nullptr);
    if (FAILED(hr)) return LogPlatformFailure(L"IDirect3DDevice9::CreateRenderTarget", (unsigned long)hr);
    const int index = Graphics_D3D9_AcquireMemorySurfaceWaiting((int)desc.Width, (int)desc.Height, (unsigned)format, 0);
    if (index < 0) {
        Direct3D9_ReleaseObject(target);
        return -1;
    }
    IDirect3DSurface9 *memory = (IDirect3DSurface9 *)Graphics_D3D9_MemorySurfaceObject(index);
    D3DLOCKED_RECT locked = {};
    const wchar_t *failed = nullptr;
    if (FAILED(hr = Direct3DDevice9_StretchRect(Frame, nullptr, target, nullptr, D3DTEXF_NONE)))
        failed = L"IDirect3DDevice9::StretchRect";
    else if (FAILED(hr = Direct3DDevice9_GetRenderTargetData(target, memory)))
        failed = L"IDirect3DDevice9::GetRenderTargetData";
    else if (FAILED(hr = Direct3DSurface9_LockRect(memory, &locked, nullptr, D3DLOCK_READONLY)))
        failed = L"IDirect3DSurface9::LockRect";
    Direct3D9_ReleaseObject(target);
    int result = -1;
    if (failed == nullptr) {
        BASEIMAGE image = {};
        image.ColorData = *colorData;
        image.Width = width;
        image.Height = height;
        image.Pitch = (int)locked.Pitch;
        image.Pixels = locked.pBits;
        const ImageRect whole = {0, 0, width, height};
        result = BltBaseImageToGraph(&whole, 0, 0, Graph->Info.Handle, &image, nullptr,
                                     Graph->Image->Format.TextureOption, 0, 0, 0) < 0
                     ? -1
                     : 0;
        Direct3DSurface9_UnlockRect(memory);
    } else {
        LogPlatformFailure(failed, (unsigned long)hr);
    }
    Graphics_D3D9_ReleaseMemorySurface(index, 0);
    return result;
}

}  // namespace

int Graphics_D3D9_CopyMovieFrameToGraph(GraphHandleData *Graph, MovieHandleData *Movie)
{
    if (!HasDevice()) return -1;
    const MovieFunctions *movies = GetMovieFunctions();
    if (Graph == nullptr || Graph->Image == nullptr || movies == nullptr || movies->TheoraDecode_GetSurface == nullptr)
        return -1;
    IDirect3DSurface9 *frame = (IDirect3DSurface9 *)movies->TheoraDecode_GetSurface(Movie);
    if (frame == nullptr || Graph->Image->TextureNum < 1) return -1;
    const RECT rect = {0, 0, Graph->Image->Width, Graph->Image->Height};
    if (!Graph->Image->Format.DrawValidFlag) return CopyMovieFrameThroughMemory(Graph, frame, rect);
    IDirect3DSurface9 *level = Graphics_D3D9_GetGraphSurface(Graph->Image->Texture[0], 0, 0, 0);
    if (level == nullptr) return 0;
    Direct3DDevice9_StretchRect(frame, &rect, level, &rect, D3DTEXF_NONE);
    Direct3D9_ReleaseObject(level);
    return 0;
}
