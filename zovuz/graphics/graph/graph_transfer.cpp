// Pixels into graphs: base images (converted from block compression where the graph cannot take
// it), fills, copies between graphs and from the draw screen, and a graph made from an image.
#include <string.h>

#include "zovuz/graphics/image/base_image_internal.h"
#include "zovuz/graphics/graph/graph_internal.h"

namespace {

bool IsBlockCompressed(const BASEIMAGE &Image)
{
    return Image.ColorData.Format >= COLORDATA_FORMAT_DXT1 && Image.ColorData.Format <= COLORDATA_FORMAT_DXT5;
}

int RoundUp4(int Value) { return (Value + 3) & ~3; }

// A working copy of a transfer's image: block-compressed sides in whole blocks, and decoded into
// its own pixels when the graph cannot take the compressed form.
struct TransferImage
{
    BASEIMAGE Image;
    bool Converted = false;

    ~TransferImage()
    {
        if (Converted) ReleaseBaseImage(&Image);
    }
    void Take(const BASEIMAGE &Source)
    {
        Image = Source;
        if (IsBlockCompressed(Image)) {
            Image.Width = RoundUp4(Image.Width);
            Image.Height = RoundUp4(Image.Height);
        }
    }
    // Decodes into new pixels; the source's pixels are left as they are. 0 / -1.
    int Convert()
    {
        if (DecompressDxtBaseImage(&Image, 0) < 0) return -1;
        Converted = true;
        return 0;
    }
};

// The transparent colour of a palette image: the first entry of its colour, else 0.
void SetPaletteTransparentIndex(MemImgImage *Image, uint32_t TransColor)
{
    if (Image->Palette == nullptr) return;
    bool wide = Image->ColorType != MEMIMG_COLORTYPE_565;
    uint32_t key = SoftwareColorKey(TransColor, Image->ColorType);
    uint32_t index = 0;
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t entry =
            wide ? ((const uint32_t *)Image->Palette)[i] & 0xFFFFFF : ((const uint16_t *)Image->Palette)[i];
        if (entry == key) {
            index = i;
            break;
        }
    }
    Image->ColorKey = index;
}

// The software transfer: the rectangle clipped to the image and to the destination, then copied
// into the record's image. -1 when nothing is left.
int TransferToSoftwareGraph(GraphHandleData *Graph, ImageRect Rect, int DestX, int DestY, const BASEIMAGE &Image,
                            const BASEIMAGE *AlphaImage, int TransferOption2, int WholeFlag)
{
    GraphImageRecord *record = Graph->Image;
    // The parts of the rectangle outside the image, and those that would land left of or above
    // the destination, are cut off with their destination.
    if (Rect.left < 0) {
        DestX -= Rect.left;
        Rect.left = 0;
    }
    if (Rect.top < 0) {
        DestY -= Rect.top;
        Rect.top = 0;
    }
    if (DestX < 0) {
        Rect.left -= DestX;
        DestX = 0;
    }
    if (DestY < 0) {
        Rect.top -= DestY;
        DestY = 0;
    }
    if (Rect.right > Image.Width) Rect.right = Image.Width;
    if (Rect.bottom > Image.Height) Rect.bottom = Image.Height;
    int limitWidth = WholeFlag ? record->Width : Graph->Width;
    int limitHeight = WholeFlag ? record->Height : Graph->Height;
    int width = Rect.right - Rect.left, height = Rect.bottom - Rect.top;
    if (width > limitWidth - DestX) width = limitWidth - DestX;
    if (height > limitHeight - DestY) height = limitHeight - DestY;
    if (!WholeFlag) {
        DestX += Graph->OffsetX;
        DestY += Graph->OffsetY;
    }
    if (width < 1 || height < 1) return -1;
    BltBaseImageToMemImg(&Image, AlphaImage, &record->SoftImage, Rect.left, Rect.top, width, height, DestX, DestY,
                         TransferOption2);
    MemImgImage *image = record->SoftImage.Base;
    if (image->UsePalette) SetPaletteTransparentIndex(image, record->TransColor);
    return 0;
}

}  // namespace

int BltBaseImageToGraph(const ImageRect *SrcRect, int DestX, int DestY, int GraphHandle, const BASEIMAGE *Image,
                        const BASEIMAGE *AlphaImage, int TransferOption1, int TransferOption2, int WholeFlag,
                        int AcceptLoadingFlag)
{
    if (!GraphicsState.GraphicsStartedFlag || Image == nullptr || SrcRect == nullptr) return -1;
    GraphHandleData *graph = GetGraphEntry(GraphHandle, AcceptLoadingFlag);
    if (graph == nullptr || graph->Image == nullptr) return -1;
    TransferImage image, alpha;
    image.Take(*Image);
    if (AlphaImage != nullptr) alpha.Take(*AlphaImage);
    if ((image.Image.CubeFlag != 0) != (graph->Image->Format.CubeMapFlag != 0)) return -1;

    // A block-compressed rectangle covers whole blocks; the widening never loses a pixel.
    ImageRect rect = *SrcRect;
    if (IsBlockCompressed(image.Image)) AlignDxtTransferRect(&rect);
    if (rect.right - rect.left < 1 || rect.bottom - rect.top < 1) return 0;

    int convert = 0, convertAlpha = 0;
    if (graph->Image->Format.HardwareFlag) {
        Graphics_Hardware_CheckDXTConvert(graph->Image, image.Image.ColorData.Format, &convert,
                                          AlphaImage != nullptr ? alpha.Image.ColorData.Format : -1, &convertAlpha);
    } else {
        convert = IsBlockCompressed(image.Image);
        convertAlpha = AlphaImage != nullptr && IsBlockCompressed(alpha.Image);
    }
    if ((convert && image.Convert() < 0) || (convertAlpha && alpha.Convert() < 0)) {
        AddLogStringWide(L"標準イメージ用のメモリ確保に失敗しました\n");
        return -1;
    }
    const BASEIMAGE *alphaImage = AlphaImage != nullptr ? &alpha.Image : nullptr;

    if (!graph->Image->Format.HardwareFlag)
        return TransferToSoftwareGraph(graph, rect, DestX, DestY, image.Image, alphaImage, TransferOption2, WholeFlag);
    if (Graphics_Hardware_BltBmpOrBaseImageToTexture(&rect, DestX, DestY, graph, &image.Image, alphaImage,
                                                     TransferOption1, TransferOption2, WholeFlag,
                                                     AcceptLoadingFlag) < 0)
        return -1;
    return 0;
}

int BltBaseImageToGraphWhole(const BASEIMAGE *Image, const BASEIMAGE *AlphaImage, int X, int Y, int GraphHandle,
                             int TransferOption2, int AcceptLoadingFlag)
{
    GraphHandleData *graph = GetGraphEntry(GraphHandle, AcceptLoadingFlag);
    if (graph == nullptr || graph->Image == nullptr || Image == nullptr) return -1;
    graph->SourceX = X;
    graph->SourceY = Y;
    graph->SourceXF = (float)X;
    graph->SourceYF = (float)Y;
    ImageRect rect = {X, Y, X + Image->Width, Y + Image->Height};
    return BltBaseImageToGraph(&rect, 0, 0, GraphHandle, Image, AlphaImage, graph->Image->Format.TextureOption,
                               TransferOption2, 0, AcceptLoadingFlag);
}

int BltBaseImageToGraphAt(const BASEIMAGE *Image, const BASEIMAGE *AlphaImage, const ImageRect *Rect, int X, int Y,
                          int GraphHandle, int TransferOption2, int AcceptLoadingFlag)
{
    GraphHandleData *graph = GetGraphEntry(GraphHandle, AcceptLoadingFlag);
    if (graph == nullptr || graph->Image == nullptr || Rect == nullptr) return -1;
    graph->SourceX = Rect->left - X;
    graph->SourceY = Rect->top - Y;
    graph->SourceXF = (float)graph->SourceX;
    graph->SourceYF = (float)graph->SourceY;
    return BltBaseImageToGraph(Rect, X, Y, GraphHandle, Image, AlphaImage, graph->Image->Format.TextureOption,
                               TransferOption2, 0, AcceptLoadingFlag);
}

int SetupGraphFromBaseImage(const GraphCreateParam *Param, int GraphHandle, const BASEIMAGE *Image,
                            const BASEIMAGE *AlphaImage, int TextureFlag, int ASyncThread)
{
    if (Image == nullptr) return -1;
    if (AlphaImage != nullptr && (AlphaImage->Width != Image->Width || AlphaImage->Height != Image->Height)) return -1;
    GraphCreateParam param = *Param;
    const COLORDATA &c = Image->ColorData;
    param.CubeMapFlag = Image->CubeFlag == 6 ? 1 : 0;

    // A palette image becomes a palette texture where the device (or the software image) can
    // show it: 4 bits when the device has palette textures and the image uses fewer than 16.
    int hasAlpha = c.AlphaWidth != 0 || (c.ChannelCount == 4 && c.ChannelBits != 0);
    int palette = 0, paletteBits = 0;
    if (c.PixelBytes == 1 && c.ChannelCount == 0 && AlphaImage == nullptr &&
        (GraphicsState.HardwareInUseFlag || !hasAlpha) && !param.NotUsePaletteFlag) {
        palette = 1;
        paletteBits =
            GraphicsDeviceCaps.PaletteTextureFlag && c.BitDepth == 8 && GetBaseImageMaxIndex(Image) < 16 ? 4 : 8;
    }
    if (c.ChannelCount != 0 && c.ChannelBits != 0) {
        param.ChannelBitDepth = c.ChannelBits;
        if (param.DrawValidFlag) {
            param.DrawValidChannelNum = c.ChannelCount;
            param.DrawValidFloatTypeFlag = c.FloatFlag;
        } else {
            param.ChannelNum = c.ChannelCount;
            param.FloatTypeFlag = c.FloatFlag;
        }
    }
    int alpha = hasAlpha || AlphaImage != nullptr ? 1 : 0;
    if (SetupGraphImage(&param, GraphHandle, Image->Width, Image->Height, TextureFlag, alpha, palette, paletteBits,
                        c.Format, Image->MipCount >= 1 ? Image->MipCount : -1, ASyncThread) < 0)
        return -1;
    return BltBaseImageToGraphWhole(Image, AlphaImage, 0, 0, GraphHandle, 1, 1);
}

// ---- Fills and copies --------------------------------------------------------------------------

int FillGraph(int GraphHandle, int Red, int Green, int Blue, int Alpha)
{
    Red = Clamp255(Red);
    Green = Clamp255(Green);
    Blue = Clamp255(Blue);
    Alpha = Clamp255(Alpha);
    GraphHandleData *graph = GetGraphEntry(GraphHandle, 0);
    if (graph == nullptr || graph->Image == nullptr) return -1;
    if (!graph->Image->Format.HardwareFlag) {
        const MemImgImage *image = graph->SoftImage.Base;
        FillMemImg(&graph->SoftImage, nullptr, MakeColorDataValue(image->ColorData, Red, Green, Blue, Alpha));
        return 0;
    }
    int result = Graphics_Hardware_FillGraph(graph, Red, Green, Blue, Alpha);
    if (result != 2) return result;
    // A texture that cannot be drawn into is filled through an image of its size.
    BASEIMAGE image;
    if (CreateARGB8ColorBaseImage(graph->Width, graph->Height, &image) < 0) return -1;
    FillBaseImage(&image, Red, Green, Blue, Alpha);
    result = BltBmpOrBaseImageToGraph(nullptr, nullptr, nullptr, 0, &image, nullptr, 0, 0, GraphHandle);
    ReleaseBaseImage(&image);
    return result;
}

int BltRectGraphToGraph(int SrcGraphHandle, int SrcSurface, int SrcMipLevel, int SrcX1, int SrcY1, int SrcX2, int SrcY2,
                        int DestX, int DestY, int DestGraphHandle)
{
    GraphHandleData *dest = GetGraphEntry(DestGraphHandle, 0);
    if (dest == nullptr || dest->Image == nullptr) return -1;
    GraphHandleData *src = GetGraphEntry(SrcGraphHandle, 0);
    int srcWidth, srcHeight;
    if (src != nullptr) {
        srcWidth = src->Width;
        srcHeight = src->Height;
    } else {
        srcWidth = GraphicsDrawSettings.DrawSizeX;
        srcHeight = GraphicsDrawSettings.DrawSizeY;
    }
    if (SrcX1 < 0 || SrcX1 >= SrcX2 || SrcY1 < 0 || SrcY1 >= SrcY2 || SrcX2 > srcWidth || SrcY2 > srcHeight) return -1;
    if (DestX < 0 || DestY < 0 || DestX + (SrcX2 - SrcX1) > dest->Width || DestY + (SrcY2 - SrcY1) > dest->Height)
        return -1;
    ImageRect rect = {SrcX1, SrcY1, SrcX2, SrcY2};
    if (dest->Image->Format.HardwareFlag)
        return Graphics_Hardware_BltRectGraphToGraph(src, dest, &rect, DestX, DestY, SrcSurface, SrcMipLevel, 0, 0) < 0
                   ? -1
                   : 0;
    // The draw screen's own image is the one of its size (the draw-target graph's, or the screen).
    const MEMIMG *source = src != nullptr ? &src->SoftImage : GetSoftwareDrawTargetImage();
    BltMemImg(&dest->SoftImage, source, &rect, DestX, DestY);
    return 0;
}

int CopyDrawScreenToGraph(int X1, int Y1, int X2, int Y2, int GraphHandle)
{
    GraphHandleData *graph = GetGraphEntry(GraphHandle, 0);
    if (graph == nullptr || graph->Width != X2 - X1 || graph->Height != Y2 - Y1) return -1;
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    return BltRectGraphToGraph(d.RenderTarget[0], d.RenderTargetSurface[0], d.RenderTargetMipLevel[0], X1, Y1, X2, Y2,
                               0, 0, GraphHandle);
}

int CalcPowerOfTwoAtLeast(int Size)
{
    int power = 1;
    while (power < Size) power <<= 1;
    return power;
}

void PadMipBlock(uint8_t *Block, int Pitch, int Width, int Height, int BlockWidth, int BlockHeight, int PixelBytes)
{
    for (int y = 0; y < Height; y++) {
        uint8_t *row = Block + (ptrdiff_t)y * Pitch;
        for (int x = Width; x < BlockWidth; x++)
            memcpy(row + (ptrdiff_t)x * PixelBytes, row + (ptrdiff_t)(Width - 1) * PixelBytes, PixelBytes);
    }
    for (int y = Height; y < BlockHeight; y++)
        memcpy(Block + (ptrdiff_t)y * Pitch, Block + (ptrdiff_t)(Height - 1) * Pitch, (size_t)Pitch);
}

ImageRect GraphMipLevelRect(const ImageRect &Rect, int Level)
{
    ImageRect r = {Rect.left >> Level, Rect.top >> Level, Rect.right >> Level, Rect.bottom >> Level};
    if (r.right <= r.left) r.right = r.left + 1;
    if (r.bottom <= r.top) r.bottom = r.top + 1;
    return r;
}

int CheckGraphTransfer(const ImageRect *SrcRect, const BASEIMAGE *Image, GraphHandleData *Graph, int AcceptLoadingFlag)
{
    if (SrcRect == nullptr || Image == nullptr) return -1;
    if (SrcRect->right - SrcRect->left < 1 || SrcRect->bottom - SrcRect->top < 1) return 0;
    if (Graph == nullptr ||
        GetTypedHandle<GraphHandleData>(Graph->Info.Handle, DX_HANDLETYPE_GRAPH, AcceptLoadingFlag) != Graph ||
        Graph->Image == nullptr)
        return -1;
    return 1;
}

int ClipTransferRectToImage(const BASEIMAGE *Image, int BlockCompressed, ImageRect *Rect, int *DestX, int *DestY)
{
    const int imageWidth = BlockCompressed ? (Image->Width + 3) & ~3 : Image->Width;
    const int imageHeight = BlockCompressed ? (Image->Height + 3) & ~3 : Image->Height;
    if (Rect->left < 0) {
        *DestX -= Rect->left;
        Rect->left = 0;
    }
    if (Rect->top < 0) {
        *DestY -= Rect->top;
        Rect->top = 0;
    }
    if (Rect->right > imageWidth) Rect->right = imageWidth;
    if (Rect->bottom > imageHeight) Rect->bottom = imageHeight;
    return Rect->right - Rect->left >= 1 && Rect->bottom - Rect->top >= 1 ? 1 : 0;
}
