// The Direct3D 9 format chosen for each kind of library image: a ladder of candidates per slot,
// the first the device takes wins, each choice logged; and the COLORDATA of the plain formats.
#include "zovuz/d3d9/d3d9_internal.h"

D3D9TextureFormatTableData D3D9TextureFormatTable;

namespace {

// One log line with one text argument (the log ends the line).
void LogLine(const wchar_t *Format, const wchar_t *Text) { AddLogFormat(Format, Text); }

// One slot of the ladder: its candidates (ended by 0), how they are used, the log line of the
// choice (the format's name goes into %s) and the line when none serves. A fatal slot without a
// format fails the set-up.
struct FormatSlot
{
    int Slot;
    int Use;
    unsigned Candidates[5];
    const wchar_t *Chosen;
    const wchar_t *None;
    bool Fatal;
};

// Integer channels of one or two components are kept in a wider colour format.
#define D3D9_INT8_CHANNEL_LADDER \
    {                            \
        D3D9FMT_A8R8G8B8, 0      \
    }
#define D3D9_INT16_CHANNEL_LADDER               \
    {                                           \
        D3D9FMT_G16R16, D3D9FMT_A16B16G16R16, 0 \
    }
// The one-channel and two-channel float ladders serve the textures and the render targets alike.
#define D3D9_R16F_LADDER                                                               \
    {                                                                                  \
        D3D9FMT_R16F, D3D9FMT_G16R16F, D3D9FMT_A16B16G16R16F, D3D9FMT_A32B32G32R32F, 0 \
    }
#define D3D9_R32F_LADDER                                                               \
    {                                                                                  \
        D3D9FMT_R32F, D3D9FMT_G32R32F, D3D9FMT_A32B32G32R32F, D3D9FMT_A16B16G16R16F, 0 \
    }
#define D3D9_G16R16F_LADDER                                              \
    {                                                                    \
        D3D9FMT_G16R16F, D3D9FMT_A16B16G16R16F, D3D9FMT_A32B32G32R32F, 0 \
    }
#define D3D9_G32R32F_LADDER                                              \
    {                                                                    \
        D3D9FMT_G32R32F, D3D9FMT_A32B32G32R32F, D3D9FMT_A16B16G16R16F, 0 \
    }

// In the order the slots are filled and logged. The 16-bit render target (slot 33) and the DXT
// slots depend on the back buffer and on other slots: they are filled in code.
const FormatSlot kSlots[] = {
    {D3D9_FORMAT_SLOT_ZBUFFER16,
     D3D9_USE_DEPTH,
     {D3D9FMT_D16, 0},
     L"16bit Zバッファフォーマットは %s です",
     L"使用できる 16bit Zバッファフォーマットがありませんでした",
     false},
    {D3D9_FORMAT_SLOT_ZBUFFER24,
     D3D9_USE_DEPTH,
     {D3D9FMT_D24X8, D3D9FMT_D32, D3D9FMT_D16, 0},
     L"24bit Zバッファフォーマットは %s です",
     L"使用できる 24bit Zバッファフォーマットがありませんでした",
     false},
    {D3D9_FORMAT_SLOT_ZBUFFER32,
     D3D9_USE_DEPTH,
     {D3D9FMT_D32, D3D9FMT_D24X8, D3D9FMT_D16, 0},
     L"32bit Zバッファフォーマットは %s です",
     L"使用できる 32bit Zバッファフォーマットがありませんでした",
     false},
    {D3D9_FORMAT_SLOT_RGB16,
     D3D9_USE_TEXTURE,
     {D3D9FMT_R5G6B5, D3D9FMT_X1R5G5B5, 0},
     L"16bit カラーフォーマットは %s です",
     L"使用できる 16bit カラーフォーマットが見つかりませんでした",
     true},
    {D3D9_FORMAT_SLOT_RGB32,
     D3D9_USE_TEXTURE,
     {D3D9FMT_X8R8G8B8, 0},
     L"32bit カラーフォーマットは %s です",
     nullptr,
     false},
    {D3D9_FORMAT_SLOT_ALPHA_RGB16,
     D3D9_USE_TEXTURE,
     {D3D9FMT_A4R4G4B4, D3D9FMT_A8R8G8B8, 0},
     L"アルファ付き 16bit カラーフォーマットは %s です",
     L"使用できるアルファ付き 16bit カラーフォーマットが見つかりませんでした",
     true},
    {D3D9_FORMAT_SLOT_ALPHA_RGB32,
     D3D9_USE_TEXTURE,
     {D3D9FMT_A8R8G8B8, D3D9FMT_A4R4G4B4, 0},
     L"アルファ付き 32bit カラーフォーマットは %s です",
     L"使用できるアルファ付き 32bit カラーフォーマットが見つかりませんでした",
     true},
    {D3D9_FORMAT_SLOT_ALPHATEST_RGB16,
     D3D9_USE_TEXTURE,
     {D3D9FMT_A1R5G5B5, D3D9FMT_A8R8G8B8, D3D9FMT_A4R4G4B4, 0},
     L"アルファテスト用 16bit カラーフォーマットは %s です",
     L"使用できるアルファテスト用 16bit カラーフォーマットが見つかりませんでした",
     true},
    {D3D9_FORMAT_SLOT_ALPHATEST_RGB32,
     D3D9_USE_TEXTURE,
     {D3D9FMT_A8R8G8B8, D3D9FMT_A1R5G5B5, D3D9FMT_A4R4G4B4, 0},
     L"アルファテスト用 32bit カラーフォーマットは %s です",
     L"使用できるアルファテスト用 32bit カラーフォーマットが見つかりませんでした",
     true},
    {22,
     D3D9_USE_TEXTURE,
     {D3D9FMT_A16B16G16R16, 0},
     L"４チャンネル整数 16 ビット型カラーフォーマットは %s です",
     L"使用できる４チャンネル整数 16 ビット型カラーフォーマットがありませんでした",
     false},
    {23,
     D3D9_USE_TEXTURE,
     {D3D9FMT_A16B16G16R16F, 0},
     L"４チャンネル浮動小数点 16 ビット型カラーフォーマットは %s です",
     L"使用できる４チャンネル浮動小数点 16 ビット型カラーフォーマットがありませんでした",
     false},
    {24,
     D3D9_USE_TEXTURE,
     {D3D9FMT_A32B32G32R32F, D3D9FMT_A16B16G16R16F, 0},
     L"４チャンネル浮動小数点 32 ビット型カラーフォーマットは %s です",
     L"使用できる４チャンネル浮動小数点 32 ビット型カラーフォーマットがありませんでした",
     false},
    {25, D3D9_USE_TEXTURE, D3D9_INT8_CHANNEL_LADDER, L"１チャンネル整数 8 ビット型カラーフォーマットは %s です",
     L"使用できる１チャンネル整数 8 ビット型カラーフォーマットがありませんでした", false},
    {26, D3D9_USE_TEXTURE, D3D9_INT16_CHANNEL_LADDER, L"１チャンネル整数 16 ビット型カラーフォーマットは %s です",
     L"使用できる１チャンネル整数 16 ビット型カラーフォーマットがありませんでした", false},
    {27, D3D9_USE_TEXTURE, D3D9_R16F_LADDER, L"１チャンネル浮動小数点 16 ビット型カラーフォーマットは %s です",
     L"使用できる１チャンネル浮動小数点 16 ビット型カラーフォーマットがありませんでした", false},
    {28, D3D9_USE_TEXTURE, D3D9_R32F_LADDER, L"１チャンネル浮動小数点 32 ビット型カラーフォーマットは %s です",
     L"使用できる１チャンネル浮動小数点 32 ビット型カラーフォーマットがありませんでした", false},
    {29, D3D9_USE_TEXTURE, D3D9_INT8_CHANNEL_LADDER, L"２チャンネル整数 8 ビット型カラーフォーマットは %s です",
     L"使用できる２チャンネル整数 8 ビット型カラーフォーマットがありませんでした", false},
    {30, D3D9_USE_TEXTURE, D3D9_INT16_CHANNEL_LADDER, L"２チャンネル整数 16 ビット型カラーフォーマットは %s です",
     L"使用できる２チャンネル整数 16 ビット型カラーフォーマットがありませんでした", false},
    {31, D3D9_USE_TEXTURE, D3D9_G16R16F_LADDER, L"２チャンネル浮動小数点 16 ビット型カラーフォーマットは %s です",
     L"使用できる２チャンネル浮動小数点 16 ビット型カラーフォーマットがありませんでした", false},
    {32, D3D9_USE_TEXTURE, D3D9_G32R32F_LADDER, L"２チャンネル浮動小数点 32 ビット型カラーフォーマットは %s です",
     L"使用できる２チャンネル浮動小数点 32 ビット型カラーフォーマットがありませんでした", false},
    {D3D9_FORMAT_SLOT_TARGET_RGB32,
     D3D9_USE_RENDER_TARGET,
     {D3D9FMT_X8R8G8B8, D3D9FMT_R5G6B5, D3D9FMT_X1R5G5B5, 0},
     L"描画用 32bit カラーフォーマットは %s です",
     L"使用できる描画用 32bit カラーフォーマットがありませんでした",
     false},
    {35,
     D3D9_USE_RENDER_TARGET,
     {D3D9FMT_A8R8G8B8, D3D9FMT_A4R4G4B4, 0},
     L"描画用アルファ付き 32bit カラーフォーマットは %s です",
     L"使用できる描画用アルファ付き 32bit カラーフォーマットがありませんでした",
     false},
    {36,
     D3D9_USE_RENDER_TARGET,
     {D3D9FMT_A16B16G16R16, 0},
     L"描画用４チャンネル整数 16 ビット型カラーフォーマットは %s です",
     L"使用できる描画用４チャンネル整数 16 ビット型カラーフォーマットがありませんでした",
     false},
    {37,
     D3D9_USE_RENDER_TARGET,
     {D3D9FMT_A16B16G16R16F, 0},
     L"描画用４チャンネル浮動小数点 16 ビット型カラーフォーマットは %s です",
     L"使用できる描画用４チャンネル浮動小数点 16 ビット型カラーフォーマットがありませんでした",
     false},
    {38,
     D3D9_USE_RENDER_TARGET,
     {D3D9FMT_A32B32G32R32F, D3D9FMT_A16B16G16R16F, 0},
     L"描画用４チャンネル浮動小数点 32 ビット型カラーフォーマットは %s です",
     L"使用できる描画用４チャンネル浮動小数点 32 ビット型カラーフォーマットがありませんでした",
     false},
    {39,
     D3D9_USE_RENDER_TARGET,
     {D3D9FMT_L8, D3D9FMT_A8L8, D3D9FMT_A8R8G8B8, 0},
     L"描画用１チャンネル整数 8 ビット型カラーフォーマットは %s です",
     L"使用できる描画用１チャンネル整数 8 ビット型カラーフォーマットがありませんでした",
     false},
    {40,
     D3D9_USE_RENDER_TARGET,
     {D3D9FMT_L16, D3D9FMT_G16R16, D3D9FMT_A16B16G16R16, 0},
     L"描画用１チャンネル整数 16 ビット型カラーフォーマットは %s です",
     L"使用できる描画用１チャンネル整数 16 ビット型カラーフォーマットがありませんでした",
     false},
    {41, D3D9_USE_RENDER_TARGET, D3D9_R16F_LADDER,
     L"描画用１チャンネル浮動小数点 16 ビット型カラーフォーマットは %s です",
     L"使用できる描画用１チャンネル浮動小数点 16 ビット型カラーフォーマットがありませんでした", false},
    {42, D3D9_USE_RENDER_TARGET, D3D9_R32F_LADDER,
     L"描画用１チャンネル浮動小数点 32 ビット型カラーフォーマットは %s です",
     L"使用できる描画用１チャンネル浮動小数点 32 ビット型カラーフォーマットがありませんでした", false},
    {43,
     D3D9_USE_RENDER_TARGET,
     {D3D9FMT_A8L8, D3D9FMT_A8R8G8B8, 0},
     L"描画用２チャンネル整数 8 ビット型カラーフォーマットは %s です",
     L"使用できる描画用２チャンネル整数 8 ビット型カラーフォーマットがありませんでした",
     false},
    {44, D3D9_USE_RENDER_TARGET, D3D9_INT16_CHANNEL_LADDER,
     L"描画用２チャンネル整数 16 ビット型カラーフォーマットは %s です",
     L"使用できる描画用２チャンネル整数 16 ビット型カラーフォーマットがありませんでした", false},
    {45, D3D9_USE_RENDER_TARGET, D3D9_G16R16F_LADDER,
     L"描画用２チャンネル浮動小数点 16 ビット型カラーフォーマットは %s です",
     L"使用できる描画用２チャンネル浮動小数点 16 ビット型カラーフォーマットがありませんでした", false},
    {46, D3D9_USE_RENDER_TARGET, D3D9_G32R32F_LADDER,
     L"描画用２チャンネル浮動小数点 32 ビット型カラーフォーマットは %s です",
     L"使用できる描画用２チャンネル浮動小数点 32 ビット型カラーフォーマットがありませんでした", false},
};

struct FormatNameEntry
{
    unsigned Format;
    const wchar_t *Name;
};
const FormatNameEntry kFormatNames[] = {
    {D3D9FMT_A8R8G8B8, L"D3DFMT_A8R8G8B8"},
    {D3D9FMT_X8R8G8B8, L"D3DFMT_X8R8G8B8"},
    {D3D9FMT_R5G6B5, L"D3DFMT_R5G6B5"},
    {D3D9FMT_X1R5G5B5, L"D3DFMT_X1R5G5B5"},
    {D3D9FMT_A1R5G5B5, L"D3DFMT_A1R5G5B5"},
    {D3D9FMT_A4R4G4B4, L"D3DFMT_A4R4G4B4"},
    {D3D9FMT_G16R16, L"D3DFMT_G16R16"},
    {D3D9FMT_A16B16G16R16, L"D3DFMT_A16B16G16R16"},
    {D3D9FMT_L8, L"D3DFMT_L8"},
    {D3D9FMT_A8L8, L"D3DFMT_A8L8"},
    {D3D9FMT_D32, L"D3DFMT_D32"},
    {D3D9FMT_D24X8, L"D3DFMT_D24X8"},
    {D3D9FMT_D16, L"D3DFMT_D16"},
    {D3D9FMT_L16, L"D3DFMT_L16"},
    {D3D9FMT_R16F, L"D3DFMT_R16F"},
    {D3D9FMT_G16R16F, L"D3DFMT_G16R16F"},
    {D3D9FMT_A16B16G16R16F, L"D3DFMT_A16B16G16R16F"},
    {D3D9FMT_R32F, L"D3DFMT_R32F"},
    {D3D9FMT_G32R32F, L"D3DFMT_G32R32F"},
    {D3D9FMT_A32B32G32R32F, L"D3DFMT_A32B32G32R32F"},
    {D3D9FMT_DXT1, L"D3DFMT_DXT1"},
    {D3D9FMT_DXT2, L"D3DFMT_DXT2"},
    {D3D9FMT_DXT3, L"D3DFMT_DXT3"},
    {D3D9FMT_DXT4, L"D3DFMT_DXT4"},
    {D3D9FMT_DXT5, L"D3DFMT_DXT5"},
};

// The first candidate the device takes, or 0.
unsigned FirstSupported(D3D9FormatQuery Query, int Use, const unsigned *Candidates)
{
    for (; *Candidates != 0; ++Candidates)
        if (Query(Use, *Candidates) == 0) return *Candidates;
    return 0;
}

// Fills one slot from its ladder and logs it: 0, or -1 for a fatal slot left empty.
int FillSlot(D3D9FormatQuery Query, const FormatSlot &Slot)
{
    unsigned format = FirstSupported(Query, Slot.Use, Slot.Candidates);
    D3D9TextureFormatTable.Format[Slot.Slot] = format;
    if (format != 0) {
        LogLine(Slot.Chosen, D3D9FormatName(format));
        return 0;
    }
    if (Slot.None != nullptr) LogLine(L"%s", Slot.None);
    return Slot.Fatal ? -1 : 0;
}

// The 16-bit render target: the back buffer's own 16-bit format first.
void FillTarget16Slot(D3D9FormatQuery Query, unsigned BackBufferFormat)
{
    unsigned first = BackBufferFormat == D3D9FMT_X1R5G5B5 ? D3D9FMT_X1R5G5B5 : D3D9FMT_R5G6B5;
    unsigned second = first == D3D9FMT_R5G6B5 ? D3D9FMT_X1R5G5B5 : D3D9FMT_R5G6B5;
    const FormatSlot slot = {D3D9_FORMAT_SLOT_TARGET_RGB16,
                             D3D9_USE_RENDER_TARGET,
                             {first, second, D3D9FMT_X8R8G8B8, 0},
                             L"描画用 16bit カラーフォーマットは %s です",
                             L"使用できる描画用 16bit カラーフォーマットがありませんでした",
                             false};
    FillSlot(Query, slot);
}

// DXT1-DXT5: the format itself, else the alpha-test format (DXT1) or the alpha format.
void FillDxtSlots(D3D9FormatQuery Query)
{
    static const wchar_t *const kLines[5] = {
        L"ＤＸＴ１テクスチャフォーマットは%s", L"ＤＸＴ２テクスチャフォーマットは%s",
        L"ＤＸＴ３テクスチャフォーマットは%s", L"ＤＸＴ４テクスチャフォーマットは%s",
        L"ＤＸＴ５テクスチャフォーマットは%s"};
    static const wchar_t *const kUsable[5] = {L"D3DFMT_DXT1 です", L"D3DFMT_DXT2 です", L"D3DFMT_DXT3 です",
                                              L"D3DFMT_DXT4 です", L"D3DFMT_DXT5 です"};
    static const unsigned kFormats[5] = {D3D9FMT_DXT1, D3D9FMT_DXT2, D3D9FMT_DXT3, D3D9FMT_DXT4, D3D9FMT_DXT5};
    unsigned *table = D3D9TextureFormatTable.Format;
    for (int i = 0; i < 5; ++i) {
        bool usable = Query(D3D9_USE_TEXTURE, kFormats[i]) == 0;
        int fallback = i == 0 ? D3D9_FORMAT_SLOT_ALPHATEST_RGB16 : D3D9_FORMAT_SLOT_ALPHA_RGB32;
        table[D3D9_FORMAT_SLOT_DXT1 + i] = usable ? kFormats[i] : table[fallback];
        LogLine(kLines[i], usable ? kUsable[i] : L"使えません");
    }
}

}  // namespace

const wchar_t *D3D9FormatName(unsigned Format)
{
    for (const FormatNameEntry &e : kFormatNames)
        if (e.Format == Format) return e.Name;
    return nullptr;
}

int Graphics_D3D9_SetupFormatTable(D3D9FormatQuery Query, unsigned BackBufferFormat, int ScreenBitDepth)
{
    D3D9TextureFormatTable = D3D9TextureFormatTableData();
    unsigned *table = D3D9TextureFormatTable.Format;
    for (const FormatSlot &slot : kSlots) {
        if (FillSlot(Query, slot) < 0) return -1;
        // Without X8R8G8B8 the 32-bit colour slot takes the 16-bit one.
        if (slot.Slot == D3D9_FORMAT_SLOT_RGB32 && table[slot.Slot] == 0) {
            table[slot.Slot] = table[D3D9_FORMAT_SLOT_RGB16];
            LogLine(slot.Chosen, D3D9FormatName(table[slot.Slot]));
        }
        if (slot.Slot == D3D9_FORMAT_SLOT_ALPHATEST_RGB32) FillDxtSlots(Query);
        if (slot.Slot == 32) FillTarget16Slot(Query, BackBufferFormat);
    }
    // The current formats follow the screen's depth.
    bool deep = ScreenBitDepth == 32;
    for (int i = 0; i < 3; ++i) {
        int source = deep ? D3D9_FORMAT_SLOT_RGB32 + 2 * i : D3D9_FORMAT_SLOT_RGB16 + 2 * i;
        table[2 * i] = table[2 * i + 1] = table[source];
    }
    table[D3D9_FORMAT_SLOT_TARGET] = table[deep ? D3D9_FORMAT_SLOT_TARGET_RGB32 : D3D9_FORMAT_SLOT_TARGET_RGB16];
    table[D3D9_FORMAT_SLOT_TARGET_ALPHATEST] =
        table[deep ? D3D9_FORMAT_SLOT_ALPHATEST_RGB32 : D3D9_FORMAT_SLOT_ALPHATEST_RGB16];
    return 0;
}

void Graphics_D3D9_LogVertexTextureFormats(D3D9FormatQuery Query)
{
    static const FormatNameEntry kPlain[] = {{D3D9FMT_A8R8G8B8, L"A8R8G8B8"},
                                             {D3D9FMT_X8R8G8B8, L"X8R8G8B8"},
                                             {D3D9FMT_R5G6B5, L"R5G6B5"},
                                             {D3D9FMT_A1R5G5B5, L"A1R5G5B5"},
                                             {D3D9FMT_X1R5G5B5, L"X1R5G5B5"}};
    for (const FormatNameEntry &e : kPlain)
        LogLine(Query(D3D9_USE_VERTEX_TEXTURE, e.Format) == 0
                    ? L"%s カラーフォーマットは頂点テクスチャフェッチに使用できます"
                    : L"%s カラーフォーマットは頂点テクスチャフェッチに使用できません",
                e.Name);
}

const COLORDATA *Graphics_D3D9_GetFormatColorData(unsigned Format)
{
    // Masked formats give a bit depth and masks; channel formats a count, bits and a float flag.
    struct FormatColor
    {
        unsigned Format;
        int BitDepth;
        uint32_t Red, Green, Blue, Alpha;
        int Channels, ChannelBits, Float;
    };
    static const FormatColor kFormats[] = {
        {20, 24, 0xFF0000, 0xFF00, 0xFF, 0, 0, 0, 0},
        {D3D9FMT_A8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u, 0, 0, 0},
        {D3D9FMT_X8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0, 0, 0, 0},
        {D3D9FMT_R5G6B5, 16, 0xF800, 0x7E0, 0x1F, 0, 0, 0, 0},
        {D3D9FMT_X1R5G5B5, 16, 0x7C00, 0x3E0, 0x1F, 0, 0, 0, 0},
        {D3D9FMT_A1R5G5B5, 16, 0x7C00, 0x3E0, 0x1F, 0x8000, 0, 0, 0},
        {D3D9FMT_A4R4G4B4, 16, 0xF00, 0xF0, 0xF, 0xF000, 0, 0, 0},
        {30, 16, 0xF00, 0xF0, 0xF, 0, 0, 0, 0},
        {27, 8, 0xE0, 0x1C, 0x3, 0, 0, 0, 0},
        {29, 16, 0xE0, 0x1C, 0x3, 0xFF00, 0, 0, 0},
        {31, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000u, 0, 0, 0},
        {32, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000u, 0, 0, 0},
        {33, 32, 0xFF, 0xFF00, 0xFF0000, 0, 0, 0, 0},
        {35, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000u, 0, 0, 0},
        {D3D9FMT_G16R16, 0, 0, 0, 0, 0, 2, 16, 0},
        {D3D9FMT_A16B16G16R16, 0, 0, 0, 0, 0, 4, 16, 0},
        {D3D9FMT_L8, 0, 0, 0, 0, 0, 1, 8, 0},
        {D3D9FMT_A8L8, 0, 0, 0, 0, 0, 2, 8, 0},
        {60, 0, 0, 0, 0, 0, 2, 8, 0},
        {D3D9FMT_L16, 0, 0, 0, 0, 0, 1, 16, 0},
        {D3D9FMT_R16F, 0, 0, 0, 0, 0, 1, 16, 1},
        {D3D9FMT_G16R16F, 0, 0, 0, 0, 0, 2, 16, 1},
        {D3D9FMT_A16B16G16R16F, 0, 0, 0, 0, 0, 4, 16, 1},
        {D3D9FMT_R32F, 0, 0, 0, 0, 0, 1, 32, 1},
        {D3D9FMT_G32R32F, 0, 0, 0, 0, 0, 2, 32, 1},
        {D3D9FMT_A32B32G32R32F, 0, 0, 0, 0, 0, 4, 32, 1},
    };
    constexpr size_t kNum = sizeof(kFormats) / sizeof(kFormats[0]);
    static COLORDATA records[kNum];
    static bool built = false;
    if (!built) {
        for (size_t i = 0; i < kNum; ++i) {
            const FormatColor &f = kFormats[i];
            SetColorData(&records[i], f.BitDepth, f.Red, f.Green, f.Blue, f.Alpha, f.Channels, f.ChannelBits, f.Float);
        }
        built = true;
    }
    for (size_t i = 0; i < kNum; ++i)
        if (kFormats[i].Format == Format) return &records[i];
    return nullptr;
}
