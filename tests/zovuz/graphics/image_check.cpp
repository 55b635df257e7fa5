#include "tests/zovuz/graphics/image_check.h"

std::string ImageProblem(BASEIMAGE &Img, int HeaderOnly)
{
    if (Img.Width <= 0 || Img.Height <= 0 || Img.Width > kImageMaxSide || Img.Height > kImageMaxSide)
        return "size " + std::to_string(Img.Width) + "x" + std::to_string(Img.Height);
    if (HeaderOnly)
        return Img.Pixels == nullptr ? "" : "pixels";
    if (Img.Pixels == nullptr)
        return "no pixels";
    size_t bytes;
    if (Img.ColorData.Format != COLORDATA_FORMAT_PLAIN) {
        bytes = (size_t)GetDxtImageDataSize(Img.ColorData.Format, Img.Width, Img.Height, Img.MipCount) *
                (Img.CubeFlag ? 6 : 1);
    } else {
        if (Img.Pitch < Img.Width * Img.ColorData.PixelBytes || Img.ColorData.PixelBytes == 0)
            return "pitch " + std::to_string(Img.Pitch);
        bytes = (size_t)Img.Pitch * Img.Height;
    }
    volatile uint8_t sum = 0;
    for (size_t i = 0; i < bytes; ++i)
        sum += ((const uint8_t *)Img.Pixels)[i];
    if (Img.ColorData.Format != COLORDATA_FORMAT_PLAIN && DecompressDxtBaseImage(&Img, 1) != 0)
        return "DXT decode";
    return "";
}
