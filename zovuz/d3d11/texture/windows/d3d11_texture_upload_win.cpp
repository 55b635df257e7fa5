// Images into graph textures: the common transfer buffer, the DXT check, the single-level and
// mip-level writers, and the transfer that clips an image rectangle against a graph's pieces.
#include <string.h>

#include "zovuz/d3d11/texture/windows/d3d11_graph_texture_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"

D3D11TextureCommonBufferData D3D11TextureCommonBuffer;

namespace {

const wchar_t kCommonBufferFailure[] =
    L"テクスチャに画像を転送するためのメモリの確保に失敗しました[Graphics_D3D11_Texture_SetupCommonBuffer]\n";
const wchar_t kDxtRefused[] = L"DXTフォーマットのテクスチャに標準形式のイメージを転送することはできません\n";
const wchar_t kShortImage[] = L"画像のデータがテクスチャへの転送に必要なサイズに足りません\n";

bool IsBlockFormat(int Format) { return Format >= COLORDATA_FORMAT_DXT1 && Format <= COLORDATA_FORMAT_DXT5; }
// The formats a texture can take as they are.
bool IsUploadableBlock(int Format)
{
    return Format == COLORDATA_FORMAT_DXT1 || Format == COLORDATA_FORMAT_DXT3 || Format == COLORDATA_FORMAT_DXT5;
}

int FaceNum(const GraphImageRecord &Image) { return Image.Format.CubeMapFlag ? 6 : 1; }
int MipNum(const GraphImageRecord &Image) { return Image.MipLevels > 1 ? Image.MipLevels : 1; }
int Half(int Size) { return Size > 1 ? Size / 2 : 1; }
int Blocks(int Size) { return (Size + 3) / 4; }

bool CoversTexture(const D3D11TextureTransfer &T)
{
    return T.DestRect.left == 0 && T.DestRect.top == 0 && T.DestRect.right == T.TexWidth &&
           T.DestRect.bottom == T.TexHeight;
}

// A read of Bytes at Offset of the image's pixels: refused (logged) when the image does not hold it.
bool Holds(const BASEIMAGE &Image, int64_t Offset, int64_t Bytes)
{
    if (BaseImageHoldsBytes(&Image, Offset, Bytes)) return true;
    AddLogStringWide(kShortImage);
    return false;
}

// ---- Staging memory ----

// A transfer's staging block: its own allocation for a loader's transfer, else the common buffer.
struct Staging
{
    uint8_t *Memory = nullptr;
    bool Own = false;

    ~Staging()
    {
        if (Own) DXFREE(Memory);
    }
    int Take(int64_t Size, int OwnFlag, const wchar_t *OwnFailure)
    {
        if (Size <= 0 || Size > 0x7FFFFFFF) {
            AddLogStringWide(OwnFlag ? OwnFailure : kCommonBufferFailure);
            return -1;
        }
        if (OwnFlag) {
            Memory = (uint8_t *)DXALLOC((size_t)Size);
            if (Memory == nullptr) {
                AddLogStringWide(OwnFailure);
                return -1;
            }
            Own = true;
            return 0;
        }
        if (Graphics_D3D11_Texture_SetupCommonBuffer((int)Size) < 0) return -1;
        Memory = (uint8_t *)D3D11TextureCommonBuffer.Buffer;
        return 0;
    }
};

// Converts Rect of face Face of the source (and alpha source) to (0, 0) of Dest.
int ConvertFace(const D3D11TextureTransfer &T, int Face, const ImageRect &Rect, uint8_t *Dest, int DestPitch)
{
    // A cube map's faces lie one whole stored chain apart.
    const BASEIMAGE &src = *T.Source;
    const uint8_t *pixels = (const uint8_t *)src.Pixels + (ptrdiff_t)(Face * GetBaseImageFaceBytes(&src));
    const BASEIMAGE *alpha = T.AlphaSource;
    const uint8_t *alphaPixels =
        alpha != nullptr ? (const uint8_t *)alpha->Pixels + (ptrdiff_t)(Face * GetBaseImageFaceBytes(alpha)) : nullptr;
    // The transparent colour becomes alpha 0 only where the texture has alpha and no alpha image
    // gives it.
    const int colorKey = T.TransColorFlag && T.DestColorData->AlphaWidth != 0 && alpha == nullptr;
    // A 16-bit image (the glyph cache among them) goes into the 8-bit channels that stand for its
    // 16-bit texture, which samples a full channel as 1.0. The fast pairs leave the widened low
    // bits 0 (white would draw as 248), so such an image takes the general conversion, which
    // widens to full scale; the ordered dither selects it and changes no widened channel.
    const bool widened = src.ColorData.BitDepth == 16 && src.ColorData.ChannelCount == 0 && !src.ColorData.FloatFlag &&
                         T.DestColorData->BitDepth == 32;
    return ConvertColorDataBlt(Dest, DestPitch, T.DestColorData, pixels, src.Pitch, &src.ColorData, alphaPixels,
                               alpha != nullptr ? alpha->Pitch : 0, alpha != nullptr ? &alpha->ColorData : nullptr, 0,
                               0, &Rect, 0, colorKey, T.Image->TransColor,
                               widened ? COLOR_DITHER_ORDERED : COLOR_DITHER_NONE, 0, 0, 0, 0);
}

int Update(const D3D11TextureTransfer &T, int Subresource, const D3D11_BOX &Box, const void *Data, int Pitch)
{
    return D3D11DeviceContext_UpdateSubresource_ASync(T.Texture, (UINT)Subresource, &Box, Data, (UINT)Pitch, 0,
                                                      T.OwnMemoryFlag);
}

D3D11_BOX Box(int Left, int Top, int Right, int Bottom)
{
    return D3D11_BOX{(UINT)Left, (UINT)Top, 0, (UINT)Right, (UINT)Bottom, 1};
}

// A DXT image that covers the texture, face by face as it is. 0 / -1 (an image too short).
int UploadWholeBlocks(const D3D11TextureTransfer &T, int Face)
{
    const BASEIMAGE &src = *T.Source;
    const int bits = src.ColorData.BitDepth;
    const int64_t offset = (int64_t)Face * GetBaseImageFaceBytes(&src);
    const int64_t bytes = (int64_t)Blocks(T.TexWidth) * Blocks(T.TexHeight) * bits * 2;
    if (!Holds(src, offset, bytes)) return -1;
    Update(T, Face, Box(0, 0, T.TexWidth, T.TexHeight), (const uint8_t *)src.Pixels + offset, bits / 2 * T.TexWidth);
    return 0;
}

// Repeats the last converted column and row of a Width x Height block one step past it, and the
// corner from the pixel up and to the left of it, whatever the pixel's size.
void CopyEdges(uint8_t *Block, int Pitch, int Width, int Height, int PixelBytes, bool Column, bool Row)
{
    if (Row)
        memcpy(Block + (ptrdiff_t)Height * Pitch, Block + (ptrdiff_t)(Height - 1) * Pitch, (size_t)Width * PixelBytes);
    if (Column)
        for (int y = 0; y < Height; y++) {
            uint8_t *row = Block + (ptrdiff_t)y * Pitch;
            memcpy(row + (ptrdiff_t)Width * PixelBytes, row + (ptrdiff_t)(Width - 1) * PixelBytes, PixelBytes);
        }
    if (Row && Column) {
        uint8_t *corner = Block + (ptrdiff_t)Height * Pitch + (ptrdiff_t)Width * PixelBytes;
        memcpy(corner, corner - Pitch - PixelBytes, PixelBytes);
    }
}

// The stored chain: every level of every face from the image, DXT blocks as they are, plain
// pixels converted level by level. 0 / -1.
int UploadStoredChain(const D3D11TextureTransfer &T)
{
    const BASEIMAGE &src = *T.Source;
    const bool dxt = IsUploadableBlock(src.ColorData.Format);
    const int levels = MipNum(*T.Image);
    const int64_t faceBytes = GetBaseImageFaceBytes(&src);
    Staging staging;
    const int bpp = dxt ? 0 : T.DestColorData->PixelBytes;
    if (!dxt && staging.Take((int64_t)T.TexWidth * T.TexHeight * bpp, T.OwnMemoryFlag,
                             L"テクスチャへ転送する画像を一時的に格納するメモリ領域の確保に失敗しました\n") < 0)
        return -1;
    for (int f = 0; f < FaceNum(*T.Image); f++) {
        int64_t offset = (int64_t)f * faceBytes;
        int w = T.TexWidth, h = T.TexHeight;
        for (int l = 0; l < levels; l++, w = Half(w), h = Half(h)) {
            const int64_t bytes = GetBaseImageLevelBytes(&src, w, h, l);
            if (!Holds(src, offset, bytes)) return -1;
            const uint8_t *level = (const uint8_t *)src.Pixels + offset;
            if (dxt) {
                // The box ends at the level's edge: a box rounded past a level under 4 pixels is
                // refused by the device, and that level would stay empty.
                Update(T, levels * f + l, Box(0, 0, w, h), level, Blocks(w) * src.ColorData.BitDepth * 2);
            } else {
                BASEIMAGE view = src;
                view.Pixels = (void *)level;
                view.Pitch = l == 0 ? src.Pitch : w * src.ColorData.PixelBytes;
                view.Height = h;
                D3D11TextureTransfer t = T;
                t.Source = &view;
                t.AlphaSource = nullptr;
                const ImageRect rect = {0, 0, w, h};
                if (ConvertFace(t, 0, rect, staging.Memory, w * bpp) < 0) return -1;
                Update(T, levels * f + l, Box(0, 0, w, h), staging.Memory, w * bpp);
            }
            offset += bytes;
        }
    }
    return 0;
}

}  // namespace

int Graphics_D3D11_Texture_SetupCommonBuffer(int Size)
{
    D3D11TextureCommonBufferData &b = D3D11TextureCommonBuffer;
    if (b.Buffer != nullptr && b.Size >= Size) return 0;
    DXFREE(b.Buffer);
    b.Buffer = DXALLOC((size_t)(Size > 0 ? Size : 1));
    b.Size = b.Buffer != nullptr ? Size : 0;
    if (b.Buffer == nullptr) {
        AddLogStringWide(kCommonBufferFailure);
        return -1;
    }
    return 0;
}

int Graphics_D3D11_Texture_ReleaseCommonBuffer(void)
{
    DXFREE(D3D11TextureCommonBuffer.Buffer);
    D3D11TextureCommonBuffer = D3D11TextureCommonBufferData();
    return 0;
}

int Graphics_D3D11_CheckDXTConvert(GraphImageRecord *Image, int ImageFormat, int *ConvertFlag, int AlphaFormat,
                                   int *AlphaConvertFlag)
{
    auto needs = [Image](int Format) -> int {
        if (!IsBlockFormat(Format)) return 0;
        if (Image == nullptr || !Image->Format.HardwareFlag || !IsUploadableBlock(Format)) return 1;
        const int slot = Image->PixelFormat;
        const int texture = slot >= 0 && slot < PIXEL_FORMAT_NUM ? D3D11FormatTable.Format[slot] : 0;
        const int wanted = Format == COLORDATA_FORMAT_DXT1   ? D3D11FMT_BC1_UNORM
                           : Format == COLORDATA_FORMAT_DXT3 ? D3D11FMT_BC2_UNORM
                                                             : D3D11FMT_BC3_UNORM;
        return texture != wanted ? 1 : 0;
    };
    if (ConvertFlag != nullptr) *ConvertFlag = needs(ImageFormat);
    if (AlphaFormat >= 0 && AlphaConvertFlag != nullptr) *AlphaConvertFlag = needs(AlphaFormat);
    return 0;
}

int Graphics_D3D11_BltBmpOrBaseImageToGraph3_NoMipMapBlt(const D3D11TextureTransfer &T)
{
    const bool dxt = IsUploadableBlock(T.Source->ColorData.Format);
    const int destWidth = T.DestRect.right - T.DestRect.left, destHeight = T.DestRect.bottom - T.DestRect.top;
    const bool column = !dxt && T.UsedWidth < T.TexWidth && T.DestRect.right == T.UsedWidth;
    const bool row = !dxt && T.UsedHeight < T.TexHeight && T.DestRect.bottom == T.UsedHeight;
    const int bpp = dxt ? 0 : T.DestColorData->PixelBytes;
    const int pitch = (destWidth + (column ? 1 : 0)) * bpp;
    Staging staging;
    if (!dxt && staging.Take((int64_t)pitch * (destHeight + (row ? 1 : 0)), T.OwnMemoryFlag,
                             L"テクスチャに画像を転送するためのメモリの確保に失敗しました"
                             L"[Graphics_D3D11_BltBmpOrBaseImageToGraph3_NoMipMapBlt]\n") < 0)
        return -1;

    for (int f = 0; f < FaceNum(*T.Image); f++) {
        if (dxt) {
            if (!CoversTexture(T)) {
                AddLogStringWide(kDxtRefused);
                continue;
            }
            if (UploadWholeBlocks(T, f) < 0) return -1;
            continue;
        }
        if (ConvertFace(T, f, T.SrcRect, staging.Memory, pitch) < 0) return -1;
        CopyEdges(staging.Memory, pitch, destWidth, destHeight, bpp, column, row);
        Update(T, f,
               Box(T.DestRect.left, T.DestRect.top, T.DestRect.right + (column ? 1 : 0),
                   T.DestRect.bottom + (row ? 1 : 0)),
               staging.Memory, pitch);
    }
    return 0;
}

int Graphics_D3D11_BltBmpOrBaseImageToGraph3_MipMapBlt(const D3D11TextureTransfer &T)
{
    const BASEIMAGE &src = *T.Source;
    const bool dxt = IsUploadableBlock(src.ColorData.Format);
    const int levels = MipNum(*T.Image);
    // The stored chain serves only a texture of the image's own size.
    const int imageWidth = dxt ? Blocks(src.Width) * 4 : src.Width;
    const int imageHeight = dxt ? Blocks(src.Height) * 4 : src.Height;
    const int stored = src.MipCount > 1 ? src.MipCount : 1;
    if (CoversTexture(T) && levels <= stored && imageWidth == T.TexWidth && imageHeight == T.TexHeight)
        return UploadStoredChain(T);
    if (dxt) {
        AddLogStringWide(kDxtRefused);
        return 0;
    }

    const int destWidth = T.DestRect.right - T.DestRect.left, destHeight = T.DestRect.bottom - T.DestRect.top;
    const int w2 = CalcPowerOfTwoAtLeast(destWidth), h2 = CalcPowerOfTwoAtLeast(destHeight);
    const int bpp = T.DestColorData->PixelBytes;
    const int pitch = w2 * bpp;
    const int64_t half = (int64_t)pitch * h2;
    Staging staging;
    if (staging.Take(half * 2, T.OwnMemoryFlag,
                     L"テクスチャへ転送する画像を一時的に格納するメモリ領域の確保に失敗しました\n") < 0)
        return -1;
    uint8_t *halves[2] = {staging.Memory, staging.Memory + half};
    for (int f = 0; f < FaceNum(*T.Image); f++) {
        int w = w2, h = h2;
        for (int l = 0; l < levels; l++) {
            uint8_t *level = halves[l & 1];
            if (l == 0) {
                if (ConvertFace(T, f, T.SrcRect, level, pitch) < 0) return -1;
                PadMipBlock(level, pitch, destWidth, destHeight, w2, h2, bpp);
            } else {
                ShrinkImageHalf(T.DestColorData, level, pitch, halves[(l - 1) & 1], pitch, 0, 0, 0, 0, w, h);
                w = Half(w);
                h = Half(h);
            }
            const ImageRect at = GraphMipLevelRect(T.DestRect, l);
            Update(T, levels * f + l, Box(at.left, at.top, at.right, at.bottom), level, pitch);
        }
    }
    return 0;
}

int Graphics_D3D11_BltBmpOrBaseImageToTexture(const ImageRect *SrcRect, int DestX, int DestY, GraphHandleData *Graph,
                                              const BASEIMAGE *Image, const BASEIMAGE *AlphaImage, int TransferOption1,
                                              int TransferOption2, int WholeImageFlag, int AcceptLoadingFlag)
{
    if (!D3D11Device_IsValid()) return -1;
    // A loader thread's device calls go to the main thread, its staging into its own memory.
    const int asyncThread = AcceptLoadingFlag && !IsMainThread() ? 1 : 0;
    Graphics_D3D11_RenderVertexBuffer(-1, asyncThread);
    const int check = CheckGraphTransfer(SrcRect, Image, Graph, AcceptLoadingFlag);
    if (check <= 0) return check;
    const int block = IsBlockFormat(Image->ColorData.Format) ? 1 : 0;
    ImageRect rect = *SrcRect;
    const GraphImageRecord &record = *Graph->Image;
    const int slot = record.PixelFormat;
    const int format = slot >= 0 && slot < PIXEL_FORMAT_NUM ? D3D11FormatTable.Format[slot] : 0;
    const COLORDATA *colorData = Graphics_D3D11_GetFormatColorData(format);
    if (colorData == nullptr && !IsUploadableBlock(Image->ColorData.Format)) return -1;

    if (!ClipTransferRectToImage(Image, block, &rect, &DestX, &DestY)) return 0;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;

    D3D11TextureTransfer t = {};
    t.Image = &record;
    t.Source = Image;
    t.AlphaSource = AlphaImage;
    t.DestColorData = colorData;
    t.ConvertOption = TransferOption1;
    t.TransColorFlag = TransferOption2;
    t.OwnMemoryFlag = asyncThread;
    auto transfer = [&](const GraphTextureEntry &Piece, const ImageRect &TexRect, const ImageRect &ImageRectIn) {
        t.Texture = D3D11GraphObjects(Piece)->Texture;
        if (t.Texture == nullptr) return -1;
        t.SrcRect = ImageRectIn;
        t.DestRect = TexRect;
        t.TexWidth = Piece.TexWidth;
        t.TexHeight = Piece.TexHeight;
        t.UsedWidth = Piece.Width;
        t.UsedHeight = Piece.Height;
        return MipNum(record) > 1 ? Graphics_D3D11_BltBmpOrBaseImageToGraph3_MipMapBlt(t)
                                  : Graphics_D3D11_BltBmpOrBaseImageToGraph3_NoMipMapBlt(t);
    };

    return ForEachTransferTexture(Graph, rect, width, height, DestX, DestY, WholeImageFlag, block, transfer);
}
