// A GDI bitmap pair or a base-image pair into an existing graph, kept for the restore.
#include <windows.h>

#include "zovuz/graphics/graph/graph_internal.h"

namespace {

// A bitmap's own pixels described as an image of the given format: 0 / -1.
int DescribeBitmap(const COLORDATA &ColorData, HBITMAP Bitmap, BASEIMAGE *Image)
{
    BITMAP info;
    if (Bitmap == nullptr || GetObjectA(Bitmap, sizeof(info), &info) == 0 || info.bmBits == nullptr) return -1;
    *Image = BASEIMAGE();
    Image->ColorData = ColorData;
    Image->Width = info.bmWidth;
    Image->Height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    Image->Pitch = (info.bmWidthBytes + 3) / 4 * 4;
    Image->Pixels = info.bmBits;
    return 0;
}

}  // namespace

int BltBmpOrBaseImageToGraph(const COLORDATA *BmpColorData, HBITMAP__ *RgbBmp, HBITMAP__ *AlphaBmp, int BmpFlag,
                             const BASEIMAGE *RgbImage, const BASEIMAGE *AlphaImage, int X, int Y, int GraphHandle)
{
    if (!GraphicsState.GraphicsStartedFlag) return -1;
    BASEIMAGE rgb, alpha;
    const BASEIMAGE *alphaImage = nullptr;
    if (BmpFlag) {
        if (BmpColorData == nullptr || DescribeBitmap(*BmpColorData, RgbBmp, &rgb) < 0) return -1;
        if (AlphaBmp != nullptr) {
            if (DescribeBitmap(*BmpColorData, AlphaBmp, &alpha) < 0) return -1;
            alphaImage = &alpha;
        }
    } else {
        if (RgbImage == nullptr) return -1;
        rgb = *RgbImage;
        alphaImage = AlphaImage;
    }
    int result = BltBaseImageToGraphWhole(&rgb, alphaImage, X, Y, GraphHandle, 1, 0);
    if (result < 0) return result;
    KeepGraphSourceImage(GraphHandle, nullptr, nullptr, 0, nullptr, 0, &rgb, alphaImage, 0, 0, -1, 0);
    return 0;
}
