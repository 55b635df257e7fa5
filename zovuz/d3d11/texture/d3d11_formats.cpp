// The format table: which DXGI format the device gives each of the library's texture, render-target
// and depth formats, chosen along fixed fall-back chains by what the device reports, and the
// COLORDATA of the formats the back end transfers pixels in.
#include <string.h>

#include "zovuz/d3d11/d3d11_internal.h"

D3D11FormatTableData D3D11FormatTable;

namespace {

// ---- Names ------------------------------------------------------------------------------------

struct FormatNameEntry
{
    int Format;
    const wchar_t *Wide;
    const char *Narrow;  // the same text, for the lines written through the multibyte log
};

#define FORMAT_NAME(format)                                                \
    {                                                                      \
        D3D11FMT_##format, L"DXGI_FORMAT_" #format, "DXGI_FORMAT_" #format \
    }
constexpr FormatNameEntry FormatNames[] = {
    FORMAT_NAME(R32G32B32A32_FLOAT), FORMAT_NAME(R16G16B16A16_FLOAT), FORMAT_NAME(R16G16B16A16_UNORM),
    FORMAT_NAME(R32G32_FLOAT),       FORMAT_NAME(R8G8B8A8_UNORM),     FORMAT_NAME(R16G16_FLOAT),
    FORMAT_NAME(R16G16_UNORM),       FORMAT_NAME(D32_FLOAT),          FORMAT_NAME(R32_FLOAT),
    FORMAT_NAME(D24_UNORM_S8_UINT),  FORMAT_NAME(R8G8_UNORM),         FORMAT_NAME(R16_FLOAT),
    FORMAT_NAME(D16_UNORM),          FORMAT_NAME(R16_UNORM),          FORMAT_NAME(R8_UNORM),
    FORMAT_NAME(BC1_UNORM),          FORMAT_NAME(BC2_UNORM),          FORMAT_NAME(BC3_UNORM),
    FORMAT_NAME(B5G6R5_UNORM),       FORMAT_NAME(B8G8R8X8_UNORM),
};
#undef FORMAT_NAME

const FormatNameEntry *FindName(int Format)
{
    for (const FormatNameEntry &e : FormatNames)
        if (e.Format == Format) return &e;
    return nullptr;
}

const char *NarrowName(int Format)
{
    const FormatNameEntry *e = FindName(Format);
    return e != nullptr ? e->Narrow : "";
}

const wchar_t *WideName(int Format)
{
    const FormatNameEntry *e = FindName(Format);
    return e != nullptr ? e->Wide : L"";
}

// ---- The device's answers -------------------------------------------------------------------

// 1 when the device supports Format with the bits asked for: all of them, or with AnyOf any one.
bool Supports(D3D11FormatSupportQuery Query, int Format, unsigned int Bits, bool AnyOf)
{
    unsigned int support = 0;
    if (Query(Format, &support) < 0) return false;
    return AnyOf ? (support & Bits) != 0 : (support & Bits) == Bits;
}

// ---- Depth buffers ------------------------------------------------------------------------------

void SetupDepthFormats(D3D11FormatSupportQuery Query)
{
    D3D11FormatTableData &t = D3D11FormatTable;
    t.DepthTexture[0] = t.DepthView[0] = D3D11FMT_D16_UNORM;
    AddLogFormat(L"16bit Zバッファフォーマットは %s です", WideName(D3D11FMT_D16_UNORM));

    // Depth formats that are also read as textures are made typeless, their views typed.
    if (Supports(Query, D3D11FMT_D24_UNORM_S8_UINT, D3D11_SUPPORT_DEPTH_STENCIL, false)) {
        t.DepthTexture[1] = D3D11FMT_R24G8_TYPELESS;
        t.DepthView[1] = D3D11FMT_D24_UNORM_S8_UINT;
    } else {
        t.DepthTexture[1] = t.DepthTexture[0];
        t.DepthView[1] = t.DepthView[0];
    }
    AddLogFormat(L"24bit Zバッファフォーマットは %s です", WideName(t.DepthView[1]));

    if (Supports(Query, D3D11FMT_D32_FLOAT, D3D11_SUPPORT_DEPTH_STENCIL, false)) {
        t.DepthTexture[2] = D3D11FMT_R32_TYPELESS;
        t.DepthView[2] = D3D11FMT_D32_FLOAT;
    } else {
        t.DepthTexture[2] = t.DepthTexture[1];
        t.DepthView[2] = t.DepthView[1];
    }
    AddLogFormat(L"32bit Zバッファフォーマットは %s です", WideName(t.DepthView[2]));
}

// ---- Block-compressed textures -----------------------------------------------------------------

// A DXT kind takes its BC format when the device has it, else the plain format of another slot
// (the image is then converted before transfer).
void SetupBlockFormat(D3D11FormatSupportQuery Query, int Slot, int Candidate, int FallbackSlot, const wchar_t *Line,
                      const wchar_t *ChosenText)
{
    int *f = D3D11FormatTable.Format;
    if (Supports(Query, Candidate, D3D11_SUPPORT_TEXTURE2D, false)) {
        f[Slot] = Candidate;
        AddLogFormat(Line, ChosenText);
    } else {
        f[Slot] = f[FallbackSlot];
        AddLogFormat(Line, L"使えません");
    }
}

void SetupBlockFormats(D3D11FormatSupportQuery Query)
{
    int *f = D3D11FormatTable.Format;
    SetupBlockFormat(Query, PIXEL_FORMAT_BLOCK_FIRST + 0, D3D11FMT_BC1_UNORM, PIXEL_FORMAT_ALPHATEST_RGB16,
                     L"ＤＸＴ１テクスチャフォーマットは%s", L" DXGI_FORMAT_BC1_UNORM です");
    // DXT2 and DXT4 (premultiplied alpha) have no DXGI format: they are always converted.
    f[PIXEL_FORMAT_BLOCK_FIRST + 1] = f[PIXEL_FORMAT_ALPHA_RGB32];
    AddLogFormat(L"ＤＸＴ２テクスチャフォーマットは使えません");
    SetupBlockFormat(Query, PIXEL_FORMAT_BLOCK_FIRST + 2, D3D11FMT_BC2_UNORM, PIXEL_FORMAT_ALPHA_RGB32,
                     L"ＤＸＴ３テクスチャフォーマットは%s", L" DXGI_FORMAT_BC2_UNORM です");
    f[PIXEL_FORMAT_BLOCK_FIRST + 3] = f[PIXEL_FORMAT_ALPHA_RGB32];
    AddLogFormat(L"ＤＸＴ４テクスチャフォーマットは使えません");
    SetupBlockFormat(Query, PIXEL_FORMAT_BLOCK_FIRST + 4, D3D11FMT_BC3_UNORM, PIXEL_FORMAT_ALPHA_RGB32,
                     L"ＤＸＴ５テクスチャフォーマットは%s", L" DXGI_FORMAT_BC3_UNORM です");
}

// ---- The fall-back chains -------------------------------------------------------------------------

// What a candidate of a chain must support.
enum class Need {
    Texture,           // Texture2D
    TextureOrTarget,   // Texture2D or render target
    TextureAndTarget,  // both
};

// One slot's chain and its two log lines. The channel formats (slots 22-32) log through the
// multibyte log, whose lines for a missing format end in a written-out "\n"; the render targets
// (33-46) log wide text with a real line end.
struct FormatChain
{
    int Slot;
    int Candidates[5];  // in order of preference, ended by 0
    Need Needs;
    const char *ChosenNarrow, *NoneNarrow;  // slots 22-32
    const wchar_t *ChosenWide, *NoneWide;   // slots 33-46
};

#define MB_LINES(chosen, none) chosen, none, nullptr, nullptr
#define WIDE_LINES(chosen, none) nullptr, nullptr, chosen, none

// clang-format off
const FormatChain FormatChains[] = {
    {PIXEL_FORMAT_ABGR_I16, {11}, Need::Texture,
     MB_LINES("ABGR 整数 16 ビット型カラーフォーマットは %s です",
              "使用できる ABGR 整数 16 ビット型カラーフォーマットがありませんでした\\n")},
    {PIXEL_FORMAT_ABGR_F16, {10}, Need::Texture,
     MB_LINES("ABGR 浮動小数点 16 ビット型カラーフォーマットは %s です",
              "使用できるABGR 浮動小数点 16 ビット型カラーフォーマットがありませんでした\\n")},
    {PIXEL_FORMAT_ABGR_F32, {2, 10}, Need::Texture,
     MB_LINES("ABGR 浮動小数点 32 ビット型カラーフォーマットは %s です",
              "使用できるABGR 浮動小数点 32 ビット型カラーフォーマットがありませんでした\\n")},
    {PIXEL_FORMAT_ONE_I8, {61, 49, 28}, Need::Texture,
     MB_LINES("１チャンネル整数 8 ビット型カラーフォーマットは %s です",
              "使用できる１チャンネル整数 8 ビット型カラーフォーマットがありませんでした\\n")},
    {PIXEL_FORMAT_ONE_I16, {56, 35, 11}, Need::Texture,
     MB_LINES("１チャンネル整数 16 ビット型カラーフォーマットは %s です",
              "使用できる１チャンネル整数 16 ビット型カラーフォーマットがありませんでした\\n")},
    {PIXEL_FORMAT_ONE_F16, {54, 34, 10, 2}, Need::Texture,
     MB_LINES("１チャンネル浮動小数点 16 ビット型カラーフォーマットは %s です",
              "使用できる１チャンネル浮動小数点 16 ビット型カラーフォーマットがありませんでした\\n")},
    {PIXEL_FORMAT_ONE_F32, {41, 16, 2, 10}, Need::Texture,
     MB_LINES("１チャンネル浮動小数点 32 ビット型カラーフォーマットは %s です",
              "使用できる１チャンネル浮動小数点 32 ビット型カラーフォーマットがありませんでした\\n")},
    {PIXEL_FORMAT_TWO_I8, {49, 28}, Need::Texture,
     MB_LINES("２チャンネル整数 8 ビット型カラーフォーマットは %s です",
              "使用できる２チャンネル整数 8 ビット型カラーフォーマットがありませんでした\\n")},
    {PIXEL_FORMAT_TWO_I16, {35, 11}, Need::Texture,
     MB_LINES("２チャンネル整数 16 ビット型カラーフォーマットは %s です",
              "使用できる２チャンネル整数 16 ビット型カラーフォーマットがありませんでした\\n")},
    {PIXEL_FORMAT_TWO_F16, {34, 10, 2}, Need::Texture,
     MB_LINES("２チャンネル浮動小数点 16 ビット型カラーフォーマットは %s です",
              "使用できる２チャンネル浮動小数点 16 ビット型カラーフォーマットがありませんでした\\n")},
    {PIXEL_FORMAT_TWO_F32, {16, 2, 10}, Need::Texture,
     MB_LINES("２チャンネル浮動小数点 32 ビット型カラーフォーマットは %s です",
              "使用できる２チャンネル浮動小数点 32 ビット型カラーフォーマットがありませんでした\\n")},

    {PIXEL_FORMAT_TARGET_RGB16, {85, 88, 28}, Need::TextureOrTarget,
     WIDE_LINES(L"描画用 16bit カラーフォーマットは %s です",
                L"使用できる 16bit 描画可能カラーフォーマットが見つかりませんでした\n")},
    {PIXEL_FORMAT_TARGET_RGB32, {88, 28}, Need::TextureOrTarget,
     WIDE_LINES(L"描画用 32bit カラーフォーマットは %s です",
                L"使用できる 32bit 描画可能カラーフォーマットが見つかりませんでした\n")},
    {PIXEL_FORMAT_TARGET_ALPHA_RGB32, {28}, Need::TextureOrTarget,
     WIDE_LINES(L"描画用アルファ付き 32bit カラーフォーマットは %s です",
                L"使用できるアルファ付き 32bit 描画可能カラーフォーマットが見つかりませんでした\n")},
    {PIXEL_FORMAT_TARGET_ABGR_I16, {11}, Need::TextureAndTarget,
     WIDE_LINES(L"描画用 ABGR 整数 16 ビット型カラーフォーマットは %s です",
                L"使用できる描画用 ABGR 整数 16 ビット型カラーフォーマットがありませんでした\n")},
    {PIXEL_FORMAT_TARGET_ABGR_F16, {10}, Need::TextureAndTarget,
     WIDE_LINES(L"描画用 ABGR 浮動小数点 16 ビット型カラーフォーマットは %s です",
                L"使用できる描画用 ABGR 浮動小数点 16 ビット型カラーフォーマットがありませんでした\n")},
    {PIXEL_FORMAT_TARGET_ABGR_F32, {2, 10}, Need::TextureAndTarget,
     WIDE_LINES(L"描画用 ABGR 浮動小数点 32 ビット型カラーフォーマットは %s です",
                L"使用できる描画用 ABGR 浮動小数点 32 ビット型カラーフォーマットがありませんでした\n")},
    {PIXEL_FORMAT_TARGET_ONE_I8, {61, 49, 28}, Need::TextureAndTarget,
     WIDE_LINES(L"描画用１チャンネル整数 8 ビット型カラーフォーマットは %s です",
                L"使用できる描画用１チャンネル整数 8 ビット型カラーフォーマットがありませんでした\n")},
    {PIXEL_FORMAT_TARGET_ONE_I16, {56, 35, 11}, Need::TextureAndTarget,
     WIDE_LINES(L"描画用１チャンネル整数 16 ビット型カラーフォーマットは %s です",
                L"使用できる描画用１チャンネル整数 16 ビット型カラーフォーマットがありませんでした\n")},
    {PIXEL_FORMAT_TARGET_ONE_F16, {54, 34, 10, 2}, Need::TextureAndTarget,
     WIDE_LINES(L"描画用１チャンネル浮動小数点 16 ビット型カラーフォーマットは %s です",
                L"使用できる描画用１チャンネル浮動小数点 16 ビット型カラーフォーマットがありませんでした\n")},
    {PIXEL_FORMAT_TARGET_ONE_F32, {41, 16, 2, 10}, Need::TextureAndTarget,
     WIDE_LINES(L"描画用１チャンネル浮動小数点 32 ビット型カラーフォーマットは %s です",
                L"使用できる描画用１チャンネル浮動小数点 32 ビット型カラーフォーマットがありませんでした\n")},
    {PIXEL_FORMAT_TARGET_TWO_I8, {49, 28}, Need::TextureAndTarget,
     WIDE_LINES(L"描画用２チャンネル整数 8 ビット型カラーフォーマットは %s です",
                L"使用できる描画用２チャンネル整数 8 ビット型カラーフォーマットがありませんでした\n")},
    {PIXEL_FORMAT_TARGET_TWO_I16, {35, 11}, Need::TextureAndTarget,
     WIDE_LINES(L"描画用２チャンネル整数 16 ビット型カラーフォーマットは %s です",
                L"使用できる描画用２チャンネル整数 16 ビット型カラーフォーマットがありませんでした\n")},
    {PIXEL_FORMAT_TARGET_TWO_F16, {34, 10, 2}, Need::TextureAndTarget,
     WIDE_LINES(L"描画用２チャンネル浮動小数点 16 ビット型カラーフォーマットは %s です",
                L"使用できる描画用２チャンネル浮動小数点 16 ビット型カラーフォーマットがありませんでした\n")},
    {PIXEL_FORMAT_TARGET_TWO_F32, {16, 2, 10}, Need::TextureAndTarget,
     WIDE_LINES(L"描画用２チャンネル浮動小数点 32 ビット型カラーフォーマットは %s です",
                L"使用できる描画用２チャンネル浮動小数点 32 ビット型カラーフォーマットがありませんでした\n")},
};
// clang-format on

#undef MB_LINES
#undef WIDE_LINES

int FirstSupported(D3D11FormatSupportQuery Query, const FormatChain &Chain)
{
    const unsigned int both = D3D11_SUPPORT_TEXTURE2D | D3D11_SUPPORT_RENDER_TARGET;
    for (int i = 0; i < 5 && Chain.Candidates[i] != 0; ++i) {
        int format = Chain.Candidates[i];
        bool ok = Chain.Needs == Need::Texture           ? Supports(Query, format, D3D11_SUPPORT_TEXTURE2D, false)
                  : Chain.Needs == Need::TextureOrTarget ? Supports(Query, format, both, true)
                                                         : Supports(Query, format, both, false);
        if (ok) return format;
    }
    return D3D11FMT_NONE;
}

void SetupChain(D3D11FormatSupportQuery Query, const FormatChain &Chain)
{
    int format = FirstSupported(Query, Chain);
    D3D11FormatTable.Format[Chain.Slot] = format;
    if (Chain.ChosenNarrow != nullptr) {
        if (format != D3D11FMT_NONE)
            AddLogFormatShiftJis(Chain.ChosenNarrow, NarrowName(format));
        else
            AddLogFormatShiftJis(Chain.NoneNarrow);
    } else {
        if (format != D3D11FMT_NONE)
            AddLogFormat(Chain.ChosenWide, WideName(format));
        else
            AddLogFormat(Chain.NoneWide);
    }
}

// ---- COLORDATA of the transfer formats ------------------------------------------------------------

struct ColorDataTableData
{
    int Built;           // the records hold their formats
    int Format[14];      // the DXGI format of each record
    COLORDATA Data[14];  // its description
};
ColorDataTableData ColorDataTable;

void BuildColorDataTable()
{
    ColorDataTableData &t = ColorDataTable;
    struct Row
    {
        int Format, BitDepth;
        uint32_t Red, Green, Blue, Alpha;
        int Channels, ChannelBits, Float;
    };
    const Row rows[14] = {
        {D3D11FMT_B5G6R5_UNORM, 16, 0xF800, 0x07E0, 0x001F, 0, 0, 0, 0},
        {D3D11FMT_R8G8B8A8_UNORM, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000, 0, 0, 0},
        {D3D11FMT_B8G8R8X8_UNORM, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0, 0, 0, 0},
        {D3D11FMT_R16G16B16A16_UNORM, 0, 0, 0, 0, 0, 4, 16, 0},
        {D3D11FMT_R16G16B16A16_FLOAT, 0, 0, 0, 0, 0, 4, 16, 1},
        {D3D11FMT_R32G32B32A32_FLOAT, 0, 0, 0, 0, 0, 4, 32, 1},
        {D3D11FMT_R8_UNORM, 0, 0, 0, 0, 0, 1, 8, 0},
        {D3D11FMT_R16_UNORM, 0, 0, 0, 0, 0, 1, 16, 0},
        {D3D11FMT_R16_FLOAT, 0, 0, 0, 0, 0, 1, 16, 1},
        {D3D11FMT_R32_FLOAT, 0, 0, 0, 0, 0, 1, 32, 1},
        {D3D11FMT_R8G8_UNORM, 0, 0, 0, 0, 0, 2, 8, 0},
        {D3D11FMT_R16G16_UNORM, 0, 0, 0, 0, 0, 2, 16, 0},
        {D3D11FMT_R16G16_FLOAT, 0, 0, 0, 0, 0, 2, 16, 1},
        {D3D11FMT_R32G32_FLOAT, 0, 0, 0, 0, 0, 2, 32, 1},
    };
    for (int i = 0; i < 14; ++i) {
        const Row &r = rows[i];
        t.Format[i] = r.Format;
        SetColorData(&t.Data[i], r.BitDepth, r.Red, r.Green, r.Blue, r.Alpha, r.Channels, r.ChannelBits, r.Float);
    }
    t.Built = 1;
}

}  // namespace

const wchar_t *D3D11FormatName(int Format)
{
    const FormatNameEntry *e = FindName(Format);
    return e != nullptr ? e->Wide : nullptr;
}

int Graphics_D3D11_SetupFormatTable(D3D11FormatSupportQuery Query)
{
    D3D11FormatTableData &t = D3D11FormatTable;
    // A new device answers anew: nothing of the previous device's table stays.
    memset(&t, 0, sizeof(t));

    t.ScreenFormat = D3D11FMT_R8G8B8A8_UNORM;
    AddLogFormat(L"画面のフォーマットは %s です", WideName(t.ScreenFormat));

    SetupDepthFormats(Query);

    // Every plain colour format is R8G8B8A8: without it the device cannot serve the library.
    if (!Supports(Query, D3D11FMT_R8G8B8A8_UNORM, D3D11_SUPPORT_TEXTURE2D, false)) {
        AddLogStringWide(L"使用できるカラーフォーマットが見つかりませんでした\n");
        return -1;
    }
    for (int slot = PIXEL_FORMAT_RGB16; slot <= PIXEL_FORMAT_ALPHATEST_RGB32; ++slot)
        t.Format[slot] = D3D11FMT_R8G8B8A8_UNORM;
    AddLogFormat(L"カラーフォーマットは %s です", WideName(D3D11FMT_R8G8B8A8_UNORM));
    // The palette formats are converted to it too.
    for (int slot = PIXEL_FORMAT_PAL4; slot <= PIXEL_FORMAT_PAL8_ALPHATEST; ++slot)
        t.Format[slot] = D3D11FMT_R8G8B8A8_UNORM;

    SetupBlockFormats(Query);
    for (const FormatChain &chain : FormatChains) SetupChain(Query, chain);

    t.Format[D3D11_FORMAT_SLOT_DRAW_SCREEN] =
        GetScreenColorBitDepth() == 32 ? t.Format[PIXEL_FORMAT_TARGET_RGB32] : t.Format[PIXEL_FORMAT_TARGET_RGB16];
    t.Format[D3D11_FORMAT_SLOT_R8] = D3D11FMT_R8_UNORM;
    return 0;
}

const COLORDATA *Graphics_D3D11_GetFormatColorData(int Format)
{
    if (!ColorDataTable.Built) BuildColorDataTable();
    for (int i = 0; i < 14; ++i)
        if (ColorDataTable.Format[i] == Format) return &ColorDataTable.Data[i];
    return nullptr;
}
