// The pixel-format table from which graph and screen formats are taken, and the choice of an
// entry for a format request.
#include <string.h>

#include "zovuz/graphics/draw_state_internal.h"

namespace {

struct PixelFormatTableData
{
    COLORDATA Entry[PIXEL_FORMAT_NUM];
    int Built;  // the entries hold their formats
};
PixelFormatTableData PixelFormatTable;

void SetChannels(COLORDATA *Entry, int Count, int Bits, int Float)
{
    SetColorData(Entry, 0, 0, 0, 0, 0, Count, Bits, Float);
}

// The four channel layouts of one channel count, integer 8 and 16 bits, float 16 and 32 bits.
void SetChannelRow(COLORDATA *First, int Count)
{
    SetChannels(First + 0, Count, 8, 0);
    SetChannels(First + 1, Count, 16, 0);
    SetChannels(First + 2, Count, 16, 1);
    SetChannels(First + 3, Count, 32, 1);
}

void BuildPixelFormatTable()
{
    COLORDATA *e = PixelFormatTable.Entry;
    memset(e, 0, sizeof(PixelFormatTable.Entry));  // the palette formats and entry 21 stay empty

    SetColorData(&e[PIXEL_FORMAT_RGB16], 16, 0xF800, 0x07E0, 0x001F, 0, 0, 0, 0);
    SetColorData(&e[PIXEL_FORMAT_RGB32], 32, 0xFF0000, 0xFF00, 0xFF, 0, 0, 0, 0);
    SetColorData(&e[PIXEL_FORMAT_ALPHA_RGB16], 16, 0x0F00, 0x00F0, 0x000F, 0xF000, 0, 0, 0);
    SetColorData(&e[PIXEL_FORMAT_ALPHA_RGB32], 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u, 0, 0, 0);
    SetColorData(&e[PIXEL_FORMAT_ALPHATEST_RGB16], 16, 0x7C00, 0x03E0, 0x001F, 0x8000, 0, 0, 0);
    SetColorData(&e[PIXEL_FORMAT_ALPHATEST_RGB32], 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u, 0, 0, 0);

    // Block formats: only the format id and the bits per pixel.
    for (int id = 1; id <= 9; ++id) {
        COLORDATA &block = e[PIXEL_FORMAT_BLOCK_FIRST + id - 1];
        block.Format = (uint8_t)id;
        block.BitDepth = id == COLORDATA_FORMAT_DXT1 ? 4 : 8;
    }

    SetChannels(&e[PIXEL_FORMAT_ABGR_I16], 4, 16, 0);
    SetChannels(&e[PIXEL_FORMAT_ABGR_F16], 4, 16, 1);
    SetChannels(&e[PIXEL_FORMAT_ABGR_F32], 4, 32, 1);
    SetChannelRow(&e[PIXEL_FORMAT_ONE_I8], 1);
    SetChannelRow(&e[PIXEL_FORMAT_TWO_I8], 2);

    e[PIXEL_FORMAT_TARGET_RGB16] = e[PIXEL_FORMAT_RGB16];
    e[PIXEL_FORMAT_TARGET_RGB32] = e[PIXEL_FORMAT_RGB32];
    e[PIXEL_FORMAT_TARGET_ALPHA_RGB32] = e[PIXEL_FORMAT_ALPHA_RGB32];
    e[PIXEL_FORMAT_TARGET_ABGR_I16] = e[PIXEL_FORMAT_ABGR_I16];
    e[PIXEL_FORMAT_TARGET_ABGR_F16] = e[PIXEL_FORMAT_ABGR_F16];
    e[PIXEL_FORMAT_TARGET_ABGR_F32] = e[PIXEL_FORMAT_ABGR_F32];
    SetChannelRow(&e[PIXEL_FORMAT_TARGET_ONE_I8], 1);
    SetChannelRow(&e[PIXEL_FORMAT_TARGET_TWO_I8], 2);
    PixelFormatTable.Built = 1;
}

// The depth a channel format is judged by: the channel's own, else the colour depth.
int JudgedDepth(const PixelFormatRequest &r) { return r.ChannelBitDepth != 0 ? r.ChannelBitDepth : r.ColorBitDepth; }

}  // namespace

const COLORDATA *GetPixelFormatEntry(int Index)
{
    if (Index < 0 || Index >= PIXEL_FORMAT_NUM) return nullptr;
    if (!PixelFormatTable.Built) BuildPixelFormatTable();
    return &PixelFormatTable.Entry[Index];
}

int SelectPixelFormatIndex(const PixelFormatRequest *Request)
{
    const PixelFormatRequest &r = *Request;
    if (r.FormatId >= 1 && r.FormatId <= 9) return PIXEL_FORMAT_BLOCK_FIRST + r.FormatId - 1;

    if (r.ChannelCount == 1) {
        int index = r.RenderTargetFlag ? (r.FloatFlag ? PIXEL_FORMAT_TARGET_ONE_F32 : PIXEL_FORMAT_TARGET_ONE_I16)
                                       : (r.FloatFlag ? PIXEL_FORMAT_ONE_F32 : PIXEL_FORMAT_ONE_I16);
        return JudgedDepth(r) < (r.FloatFlag ? 32 : 16) ? index - 1 : index;
    }
    if (r.ChannelCount == 2) {
        int index = r.RenderTargetFlag ? (r.FloatFlag ? PIXEL_FORMAT_TARGET_TWO_F32 : PIXEL_FORMAT_TARGET_TWO_I16)
                                       : (r.FloatFlag ? PIXEL_FORMAT_TWO_F32 : PIXEL_FORMAT_TWO_I16);
        // Without a channel depth the colour depth holds both channels.
        int limit = r.FloatFlag ? 32 : 16;
        if (r.ChannelBitDepth == 0) limit *= 2;
        return JudgedDepth(r) < limit ? index - 1 : index;
    }

    if (r.ColorBitDepth == 4)
        return r.AlphaChannelFlag ? PIXEL_FORMAT_PAL4_ALPHA
               : r.AlphaTestFlag  ? PIXEL_FORMAT_PAL4_ALPHATEST
                                  : PIXEL_FORMAT_PAL4;
    if (r.ColorBitDepth == 8)
        return r.AlphaChannelFlag ? PIXEL_FORMAT_PAL8_ALPHA
               : r.AlphaTestFlag  ? PIXEL_FORMAT_PAL8_ALPHATEST
                                  : PIXEL_FORMAT_PAL8;

    // Four float channels: 16-bit halves below 32 bits a channel (128 for the whole pixel).
    bool halfFloat = r.ChannelBitDepth != 0 ? r.ChannelBitDepth < 32 : r.ColorBitDepth < 128;
    bool bits16 = r.ColorBitDepth == 16;
    if (!r.RenderTargetFlag) {
        if (r.FloatFlag) return halfFloat ? PIXEL_FORMAT_ABGR_F16 : PIXEL_FORMAT_ABGR_F32;
        if (r.ChannelBitDepth >= 9) return PIXEL_FORMAT_ABGR_I16;
        if (r.AlphaChannelFlag) return bits16 ? PIXEL_FORMAT_ALPHA_RGB16 : PIXEL_FORMAT_ALPHA_RGB32;
        if (r.AlphaTestFlag) return bits16 ? PIXEL_FORMAT_ALPHATEST_RGB16 : PIXEL_FORMAT_ALPHATEST_RGB32;
        return bits16 ? PIXEL_FORMAT_RGB16 : PIXEL_FORMAT_RGB32;
    }
    if (r.FloatFlag) return halfFloat ? PIXEL_FORMAT_TARGET_ABGR_F16 : PIXEL_FORMAT_TARGET_ABGR_F32;
    if (r.ChannelBitDepth >= 9) return PIXEL_FORMAT_TARGET_ABGR_I16;
    if (r.AlphaChannelFlag || r.AlphaTestFlag) return PIXEL_FORMAT_TARGET_ALPHA_RGB32;
    return bits16 ? PIXEL_FORMAT_TARGET_RGB16 : PIXEL_FORMAT_TARGET_RGB32;
}

int IsAlphaTestPixelFormat(int Index)
{
    return Index == PIXEL_FORMAT_ALPHATEST_RGB32 || Index == PIXEL_FORMAT_ALPHATEST_RGB16 ||
                   Index == PIXEL_FORMAT_PAL8_ALPHATEST || Index == PIXEL_FORMAT_PAL4_ALPHATEST
               ? 1
               : 0;
}

const COLORDATA *GetPixelFormatForRequest(int AlphaFlag, int AlphaTestFlag, int Use32BitFlag, int RenderTargetFlag)
{
    PixelFormatRequest request;
    memset(&request, 0, sizeof(request));
    request.AlphaChannelFlag = AlphaFlag;
    request.AlphaTestFlag = AlphaTestFlag;
    request.RenderTargetFlag = RenderTargetFlag;
    request.ColorBitDepth = Use32BitFlag ? 32 : 16;
    return GetPixelFormatEntry(SelectPixelFormatIndex(&request));
}
