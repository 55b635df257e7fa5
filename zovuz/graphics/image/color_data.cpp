// Pixel formats: building a COLORDATA, packing and splitting colours, the screen colour
// values of the drawing calls, and the half-float forms.
#include <string.h>

#include "zovuz/graphics/image/base_image_internal.h"

ColorValueTargetData ColorValueTarget = {0, 16};

namespace {

// Lowest set bit and the length of the run of set bits that starts there.
void MaskPlace(uint32_t Mask, uint8_t *Loc, uint8_t *Width)
{
    *Loc = 0;
    *Width = 0;
    if (Mask == 0) return;
    int loc = 0;
    while (((Mask >> loc) & 1u) == 0) ++loc;
    int width = 0;
    while (loc + width < 32 && ((Mask >> (loc + width)) & 1u) != 0) ++width;
    *Loc = (uint8_t)loc;
    *Width = (uint8_t)width;
}

uint32_t ScaleTo255(uint32_t Value, int Width)
{
    if (Width == 0) return 0;
    if (Width == 8) return Value;  // x 255 / 255, without the 64-bit division every draw call's colour took
    return (uint32_t)((uint64_t)Value * 255u / WidthMax(Width));
}

// The low 8 bits of a channel argument reduced (or, past 8 bits, raised) to the channel's width.
uint32_t PackChannel(int Value, int Width, int Loc)
{
    if (Width == 0) return 0;
    uint32_t v = (uint32_t)Value & 0xFFu;
    v = Width <= 8 ? v >> (8 - Width) : v << (Width - 8);
    return Loc >= 32 ? 0 : v << Loc;
}

// Fills the standard 8-8-8 layouts: masks as ARGB, bytes and depth as given. 0 / -1.
int StandardColorData(COLORDATA *Cd, int Bytes, int Alpha, int NoneBits)
{
    if (Cd == nullptr) return -1;
    Cd->Format = 0;
    Cd->ChannelCount = 0;
    Cd->ChannelBits = 0;
    Cd->FloatFlag = 0;
    Cd->PixelBytes = (uint8_t)Bytes;
    Cd->BitDepth = (uint8_t)(Bytes * 8);
    Cd->RedWidth = Cd->GreenWidth = Cd->BlueWidth = 8;
    Cd->RedLoc = 16;
    Cd->GreenLoc = 8;
    Cd->BlueLoc = 0;
    Cd->RedMask = 0xFF0000;
    Cd->GreenMask = 0xFF00;
    Cd->BlueMask = 0xFF;
    Cd->AlphaWidth = Alpha ? 8 : 0;
    Cd->AlphaLoc = Alpha ? 24 : 0;
    Cd->AlphaMask = Alpha ? 0xFF000000u : 0;
    Cd->NoneLoc = NoneBits ? 24 : 0;
    Cd->NoneWidth = NoneBits ? 8 : 0;
    Cd->NoneMask = NoneBits ? 0xFF000000u : 0;
    Cd->PaletteTop = 0;
    return 0;
}

}  // namespace

int SetColorData(COLORDATA *Cd, int BitDepth, uint32_t RedMask, uint32_t GreenMask, uint32_t BlueMask,
                 uint32_t AlphaMask, int ChannelCount, int ChannelBits, int FloatFlag)
{
    if (Cd == nullptr) return -1;
    memset(Cd, 0, sizeof(*Cd));
    if (ChannelCount != 0 && ChannelBits != 0) {
        Cd->ChannelCount = (uint8_t)ChannelCount;
        Cd->ChannelBits = (uint8_t)ChannelBits;
        Cd->FloatFlag = (uint8_t)FloatFlag;
        Cd->PixelBytes = (uint8_t)(ChannelCount * ChannelBits / 8);
        return 0;
    }
    Cd->BitDepth = (uint8_t)BitDepth;
    Cd->PixelBytes = (uint8_t)(BitDepth / 8);
    Cd->RedMask = RedMask;
    Cd->GreenMask = GreenMask;
    Cd->BlueMask = BlueMask;
    Cd->AlphaMask = AlphaMask;
    Cd->NoneMask = WidthMax(BitDepth) & ~(RedMask | GreenMask | BlueMask | AlphaMask);
    MaskPlace(RedMask, &Cd->RedLoc, &Cd->RedWidth);
    MaskPlace(GreenMask, &Cd->GreenLoc, &Cd->GreenWidth);
    MaskPlace(BlueMask, &Cd->BlueLoc, &Cd->BlueWidth);
    MaskPlace(AlphaMask, &Cd->AlphaLoc, &Cd->AlphaWidth);
    MaskPlace(Cd->NoneMask, &Cd->NoneLoc, &Cd->NoneWidth);
    return 0;
}

int CreateARGB8ColorData(COLORDATA *Cd) { return StandardColorData(Cd, 4, 1, 0); }

int CreateXRGB8ColorData(COLORDATA *Cd) { return StandardColorData(Cd, 4, 0, 1); }

int CreateFullColorData(COLORDATA *Cd) { return StandardColorData(Cd, 3, 0, 0); }

int CreatePalette8ColorData(COLORDATA *Cd)
{
    if (StandardColorData(Cd, 1, 0, 1) < 0) return -1;
    Cd->PaletteTop = 255;
    memset(Cd->Palette, 0, sizeof(Cd->Palette));
    return 0;
}

int CreateGrayPaletteColorData(COLORDATA *Cd)
{
    if (CreatePalette8ColorData(Cd) < 0) return -1;
    for (int i = 0; i < 256; ++i) {
        Cd->Palette[i].Blue = Cd->Palette[i].Green = Cd->Palette[i].Red = (uint8_t)i;
        Cd->Palette[i].Alpha = 0;
    }
    return 0;
}

void SetColorDataNoneMask(COLORDATA *Cd)
{
    if (Cd == nullptr) return;
    Cd->NoneMask = 0;
    int sum = Cd->RedWidth + Cd->GreenWidth + Cd->BlueWidth + Cd->AlphaWidth;
    if (sum != Cd->BitDepth && Cd->BitDepth != 0)
        Cd->NoneMask = WidthMax(Cd->BitDepth) & ~(Cd->RedMask | Cd->GreenMask | Cd->BlueMask | Cd->AlphaMask);
}

uint32_t MakeColorDataValue(const COLORDATA *Cd, int Red, int Green, int Blue, int Alpha)
{
    if (Cd->PixelBytes == 1) {
        // The nearest palette entry; the first of equally near entries wins.
        uint32_t best = 0xFFFFFF;
        uint32_t index = 0;
        for (int i = 0; i < 256; ++i) {
            const COLORPALETTE &e = Cd->Palette[i];
            int db = Blue - e.Blue, dg = Green - e.Green, dr = Red - e.Red;
            uint32_t distance = (uint32_t)(db * db + dg * dg + dr * dr);
            if (distance < best) {
                best = distance;
                index = (uint32_t)i;
            }
        }
        return index;
    }
    uint32_t v = PackChannel(Red, Cd->RedWidth, Cd->RedLoc) | PackChannel(Green, Cd->GreenWidth, Cd->GreenLoc) |
                 PackChannel(Blue, Cd->BlueWidth, Cd->BlueLoc) | Cd->NoneMask;
    if (Cd->AlphaWidth != 0) v |= PackChannel(Alpha, Cd->AlphaWidth, Cd->AlphaLoc);
    return v;
}

int GetColorDataRGBA(const COLORDATA *Cd, uint32_t Value, int *Red, int *Green, int *Blue, int *Alpha)
{
    uint32_t r = (Value & Cd->RedMask) >> Cd->RedLoc;
    uint32_t g = (Value & Cd->GreenMask) >> Cd->GreenLoc;
    uint32_t b = (Value & Cd->BlueMask) >> Cd->BlueLoc;
    uint32_t a = (Value & Cd->AlphaMask) >> Cd->AlphaLoc;
    if (Cd->RedWidth == 8 && Cd->GreenWidth == 8 && Cd->BlueWidth == 8) {
        // Full bytes come out as they are; alpha is left alone when the format has none.
        if (Red) *Red = (int)r;
        if (Green) *Green = (int)g;
        if (Blue) *Blue = (int)b;
        if (Alpha && Cd->AlphaWidth != 0) *Alpha = (int)(Cd->AlphaWidth == 8 ? a : ScaleTo255(a, Cd->AlphaWidth));
        return 0;
    }
    if (Red) *Red = (int)ScaleTo255(r, Cd->RedWidth);
    if (Green) *Green = (int)ScaleTo255(g, Cd->GreenWidth);
    if (Blue) *Blue = (int)ScaleTo255(b, Cd->BlueWidth);
    if (Alpha) *Alpha = (int)ScaleTo255(a, Cd->AlphaWidth);
    return 0;
}

namespace {

// The software screen's format: 5-6-5 at 16 bits, XRGB at 32.
const COLORDATA &SoftwareScreenColorData()
{
    struct Formats
    {
        COLORDATA Screen16, Screen32;
    };
    static const Formats formats = [] {
        Formats f;
        SetColorData(&f.Screen16, 16, 0xF800, 0x07E0, 0x001F, 0, 0, 0, 0);
        SetColorData(&f.Screen32, 32, 0xFF0000, 0xFF00, 0xFF, 0, 0, 0, 0);
        return f;
    }();
    return ColorValueTarget.ScreenBitDepth == 16 ? formats.Screen16 : formats.Screen32;
}

}  // namespace

uint32_t GetColorValue(int Red, int Green, int Blue)
{
    if (ColorValueTarget.HardwareFlag)
        return 0xFF000000u | ((uint32_t)(Red & 0xFF) << 16) | ((uint32_t)(Green & 0xFF) << 8) | (uint32_t)(Blue & 0xFF);
    return MakeColorDataValue(&SoftwareScreenColorData(), Red, Green, Blue, 0);
}

int SplitColor(uint32_t Color, int *Red, int *Green, int *Blue)
{
    if (ColorValueTarget.HardwareFlag) {
        if (Red) *Red = (int)((Color >> 16) & 0xFF);
        if (Green) *Green = (int)((Color >> 8) & 0xFF);
        if (Blue) *Blue = (int)(Color & 0xFF);
        return 0;
    }
    const COLORDATA &cd = SoftwareScreenColorData();
    if (Red) *Red = (int)ScaleTo255((Color & cd.RedMask) >> cd.RedLoc, cd.RedWidth);
    if (Green) *Green = (int)ScaleTo255((Color & cd.GreenMask) >> cd.GreenLoc, cd.GreenWidth);
    if (Blue) *Blue = (int)ScaleTo255((Color & cd.BlueMask) >> cd.BlueLoc, cd.BlueWidth);
    return 0;
}

COLOR_F MakeColorF(COLOR_F *Out, float Red, float Green, float Blue, float Alpha)
{
    COLOR_F c = {Red, Green, Blue, Alpha};
    if (Out) *Out = c;
    return c;
}

uint32_t MakeColorARGB(int Red, int Green, int Blue, int Alpha)
{
    return ((uint32_t)(Alpha & 0xFF) << 24) | ((uint32_t)(Red & 0xFF) << 16) | ((uint32_t)(Green & 0xFF) << 8) |
           (uint32_t)(Blue & 0xFF);
}

float Float16ToFloat32(uint16_t Half)
{
    if (Half == 0) return 0.0f;
    uint32_t bits = ((uint32_t)(Half & 0x8000) << 16) | ((((uint32_t)Half >> 10 & 0x1F) + 112) << 23) |
                    ((uint32_t)(Half & 0x3FF) << 13);
    float f;
    memcpy(&f, &bits, 4);
    return f;
}

uint16_t Float32ToFloat16(float Value)
{
    uint32_t bits;
    memcpy(&bits, &Value, 4);
    int exponent = (int)(bits >> 23 & 0xFF);
    if (bits == 0 || exponent < 112) return 0;
    exponent -= 112;
    if (exponent > 31) exponent = 31;
    return (uint16_t)(((bits >> 16) & 0x8000) | ((uint32_t)exponent << 10) | ((bits >> 13) & 0x3FF));
}
