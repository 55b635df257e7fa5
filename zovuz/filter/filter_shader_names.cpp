// The filter shaders' file names by slot, and the choice of a channel-mix shader.
#include <stdio.h>
#include <string.h>

#include "zovuz/filter/filter_d3d11_shaders.h"
#include "zovuz/filter/filter_pass_internal.h"

namespace {

// Slots 0-40 hold the same files on both back ends but for the HSB slots: Direct3D 11 does HSB
// in one pass (slot = PMA + type x 2, four files), Direct3D 9 in two (six files).
constexpr int kHsbSlots = 6, kD3D11HsbFiles = 4;
static_assert(FILTER_D3D11_FILTER_SHADER_NUM == FILTER_SLOT_BLEND - (kHsbSlots - kD3D11HsbFiles),
              "the Direct3D 11 filter files are the filter slots without the two-pass HSB ones");
const char *const kD3D9HsbNames[kHsbSlots] = {"Hsb_RGB_TO_HSB.pso", "Hsb_RGB_TO_HSB_PMA.pso",
                                              "Hsb_HSB_TO_RGB.pso", "Hsb_HSB_TO_RGB_PMA.pso",
                                              "Hsb_HSB_HLOCK.pso",  "Hsb_HSB_HLOCK_PMA.pso"};

const char *FilterSlotName(int APIType, int Slot)
{
    if (Slot < FILTER_SLOT_HSB) return FilterD3D11FilterShaderNames[Slot];
    if (Slot >= FILTER_SLOT_HSB + kHsbSlots) return FilterD3D11FilterShaderNames[Slot - (kHsbSlots - kD3D11HsbFiles)];
    if (APIType == GRAPHICS_API_D3D9) return kD3D9HsbNames[Slot - FILTER_SLOT_HSB];
    return Slot < FILTER_SLOT_HSB + kD3D11HsbFiles ? FilterD3D11FilterShaderNames[Slot] : nullptr;
}

// Blend shader numbers 0-15 (the _PMA ones 16-31 add the suffix): the same files on both back ends.
const char *const *const kBlendNames = FilterD3D11BasicBlendNames;
static_assert(FILTER_D3D11_BASIC_BLEND_NUM == 16, "16 basic blend shaders");

// Names built once per slot, for the slots whose names are made from parts.
struct BuiltNames
{
    char Blend[32][40];
    char Grey[24][40];
    char Rgb[8][40];
    BuiltNames()
    {
        for (int n = 0; n < 32; ++n)
            snprintf(Blend[n], sizeof(Blend[n]), "%s%s.pso", kBlendNames[n % 16], n >= 16 ? "_PMA" : "");
        for (int r = 0; r < 3; ++r)
            for (int a = 0; a < 4; ++a)
                for (int pma = 0; pma < 2; ++pma)
                    FilterChannelMixName(Grey[pma + (a + r * 4) * 2], 40, r, r, r, a, pma);
        for (int a = 0; a < 4; ++a)
            for (int pma = 0; pma < 2; ++pma) FilterChannelMixName(Rgb[pma + a * 2], 40, 0, 1, 2, a, pma);
    }
};
const BuiltNames &Names()
{
    static const BuiltNames names;
    return names;
}

}  // namespace

int FilterBlendShaderNumber(int BlendType)
{
    if (BlendType < 0 || BlendType >= DX_GRAPH_BLEND_NUM) return -1;
    const int pma = BlendType >= DX_GRAPH_BLEND_PMA_BASE ? 1 : 0;
    const int plain = BlendType - pma * DX_GRAPH_BLEND_PMA_BASE;
    if (plain == DX_GRAPH_BLEND_RGBA_SELECT_MIX) return -1;
    return (plain == 0 ? 0 : plain - 1) + pma * 16;
}

const char *FilterShaderFileName(int APIType, int Slot)
{
    if (APIType != GRAPHICS_API_D3D9 && APIType != GRAPHICS_API_D3D11) return nullptr;
    if (Slot < 0 || Slot >= FILTER_SLOT_END) return nullptr;
    if (Slot < FILTER_SLOT_BLEND) return FilterSlotName(APIType, Slot);
    if (Slot < FILTER_SLOT_MIX_READY) return Names().Blend[Slot - FILTER_SLOT_BLEND];
    if (Slot < FILTER_SLOT_MIX_GREY) return nullptr;
    if (Slot < FILTER_SLOT_MIX_RGB) return Names().Grey[Slot - FILTER_SLOT_MIX_GREY];
    if (Slot < FILTER_SLOT_MIX_BASE) return Names().Rgb[Slot - FILTER_SLOT_MIX_RGB];
    return Slot == FILTER_SLOT_MIX_BASE ? "RGBAMix_Base.pso" : "RGBAMix_Base_PMA.pso";
}

int FilterGaussSlot(int PixelWidth) { return FILTER_SLOT_GAUSS + (PixelWidth == 16 ? 1 : PixelWidth == 32 ? 2 : 0); }

int FilterDownScaleSlot(int Ratio) { return FILTER_SLOT_DOWN_SCALE + (Ratio == 4 ? 1 : Ratio == 8 ? 2 : 0); }

int FilterBrightClipSlot(int Compare, int FillFlag, int Pma)
{
    const int greater = Compare == FILTER_COMPARE_GREATER ? 1 : 0;
    return FILTER_SLOT_BRIGHT_CLIP + (Pma ? 1 : 0) + ((FillFlag ? 1 : 0) + 2 * greater) * 2;
}

int FilterHsbSlot(int APIType, int Type, int PassIndex, int Pma)
{
    const int k = APIType == GRAPHICS_API_D3D11 ? (Type == 1 ? 1 : 0) : Type == 1 ? 2 : (PassIndex ? 1 : 0);
    return FILTER_SLOT_HSB + (Pma ? 1 : 0) + k * 2;
}

int FilterGradientMapSlot(int Reverse, int Pma) { return FILTER_SLOT_GRADIENT_MAP + (Pma ? 1 : 0) + (Reverse ? 2 : 0); }

int FilterYuvSlot(int FilterId, int HasChromaGraph)
{
    const int rra = FilterId == DX_GRAPH_FILTER_YUV_TO_RGB_RRA || FilterId == DX_GRAPH_FILTER_Y2UV1_TO_RGB_RRA;
    return FILTER_SLOT_YUV + (rra ? 2 : 0) + (HasChromaGraph ? 1 : 0);
}

void FilterChannelMixName(char *Out, int OutSize, int Red, int Green, int Blue, int BlendAlpha, int Pma)
{
    snprintf(Out, (size_t)OutSize, "RGBAMix_S%cS%cS%cB%c%s.pso", FilterD3D11ChannelLetters[Red & 3],
             FilterD3D11ChannelLetters[Green & 3], FilterD3D11ChannelLetters[Blue & 3],
             FilterD3D11ChannelLetters[BlendAlpha & 3], Pma ? "_PMA" : "");
}

void ChooseFilterChannelMix(int Red, int Green, int Blue, int Alpha, int Pma, FilterChannelMixChoice *Out)
{
    memset(Out, 0, sizeof(*Out));
    Pma = Pma ? 1 : 0;
    int r = Red, g = Green, b = Blue, a = Alpha;
    // The ready and named shaders know the selectors 0-7 only; the Base shader reads any selector
    // and writes 0 for one outside them, as the processor does.
    const bool inRange = (unsigned)r < 8 && (unsigned)g < 8 && (unsigned)b < 8 && (unsigned)a < 8;
    const bool allSource = r < 4 && g < 4 && b < 4 && a < 4;
    const bool allBlend = r >= 4 && g >= 4 && b >= 4 && a >= 4;
    if (!inRange) {
        Out->Slot = FILTER_SLOT_MIX_BASE + Pma;
        snprintf(Out->Name, sizeof(Out->Name), "%s", Pma ? "RGBAMix_Base_PMA.pso" : "RGBAMix_Base.pso");
    } else if (allSource || allBlend) {
        // Every channel from one graph: a ready shader of the code table.
        if (allBlend) Out->Swap = 1, r -= 4, g -= 4, b -= 4, a -= 4;
        Out->Ready = 1;
        Out->ReadyIndex = FilterD3D11ChannelMixSlot(r, g, b, a, Pma);
        Out->Slot = FILTER_SLOT_MIX_READY + Out->ReadyIndex;
    } else if (r == g && g == b && r != 3 && r != 7) {
        // One colour channel as grey, alpha from the other graph. The grey and the colour-kept
        // shaders keep ranges of their own: sharing slots, a shader made for one would be reused
        // for the other.
        if (r >= 4) Out->Swap = 1, r -= 4, g -= 4, b -= 4, a += 4;
        Out->Slot = FILTER_SLOT_MIX_GREY + Pma + ((a - 4) + r * 4) * 2;
        FilterChannelMixName(Out->Name, sizeof(Out->Name), r, g, b, a - 4, Pma);
    } else if ((r == 0 && g == 1 && b == 2 && a >= 4) || (r == 4 && g == 5 && b == 6 && a < 4)) {
        if (r == 4) Out->Swap = 1, r = 0, g = 1, b = 2, a += 4;
        Out->Slot = FILTER_SLOT_MIX_RGB + Pma + (a - 4) * 2;
        FilterChannelMixName(Out->Name, sizeof(Out->Name), r, g, b, a - 4, Pma);
    } else {
        Out->Slot = FILTER_SLOT_MIX_BASE + Pma;
        snprintf(Out->Name, sizeof(Out->Name), "%s", Pma ? "RGBAMix_Base_PMA.pso" : "RGBAMix_Base.pso");
    }
    Out->Selector[0] = r, Out->Selector[1] = g, Out->Selector[2] = b, Out->Selector[3] = a;
}
