// Font handles, the default font and its settings, and the font system's start and end.
#include "zovuz/graphics/font/font_internal.h"

#include <string.h>

FontSystemData FontSystem = {};

namespace {

constexpr int DefaultFontSize = 16;
constexpr int DefaultFontThickness = 6;
constexpr int AllCodesCodePage = 65535;  // the font's strings use the library's current code

// Code page of the strings of each character-set index.
constexpr int CharSetCodePage[DX_CHARSET_NUM] = {AllCodesCodePage, 932, 949, 950, 936, 1252, 32764, 65001};

void BuildLevelTables(FontSystemData &f)
{
    for (int v = 0; v < 256; ++v) {
        int bits = 0;
        for (int b = v; b != 0; b >>= 1) bits += b & 1;
        f.BitCount[v] = (uint8_t)bits;
        f.Grey8To16[v] = (uint8_t)(v * 16 / 255);
        f.Grey8To64[v] = (uint8_t)(v * 64 / 255);
    }
    for (int v = 0; v < 16; ++v) {
        f.Grey4To16[v] = (uint8_t)(v == 0 ? 0 : v + 1);
        f.Grey4To64[v] = (uint8_t)(v * 64 / 15);
    }
}

// Every setting whose set-before-start flag is down gets its default; the flags are cleared.
void ApplyDefaultSettings(FontSystemData &f)
{
    if (!f.FaceNameSetFlag) f.FaceName[0] = 0;
    if (!f.TypeSetFlag) f.Type = DX_FONTTYPE_NORMAL;
    if (!f.SizeSetFlag) f.Size = DefaultFontSize;
    if (!f.ThicknessSetFlag) f.Thickness = DefaultFontThickness;
    if (!f.CharSetSetFlag) {
        f.CharSet = GetCharSetIndex();
        f.CharSetChangedFlag = 1;
    }
    if (!f.EdgeSizeSetFlag) f.EdgeSize = 1;
    if (!f.ItalicSetFlag) f.Italic = 0;
    if (!f.SpaceSetFlag) f.Space = 0;
    if (!f.LineSpaceSetFlag) {
        f.LineSpaceValidFlag = 0;
        f.LineSpace = 0;
    }
    f.FaceNameSetFlag = f.SizeSetFlag = f.ThicknessSetFlag = f.TypeSetFlag = f.CharSetSetFlag = 0;
    f.EdgeSizeSetFlag = f.ItalicSetFlag = f.SpaceSetFlag = f.LineSpaceSetFlag = 0;
}

int RegisterDefaultFont(int Handle)
{
    FontSystem.DefaultFontHandle = Handle;
    if (Handle >= 0) SetHandleDeleteNotify(Handle, &FontSystem.DefaultFontHandle);
    return Handle;
}

// The arguments of an asynchronous font creation; the face name cut as the font keeps it.
struct SetupFontParams
{
    FontCreateOptions Options;
    int Handle;
    wchar_t FaceName[FONT_NAME_LENGTH];
    int Size, Thickness;
    int Type, CharSet;
    int EdgeSize, Italic;
};

void SetupFontHandleASyncJob(ASyncLoadData *Data)
{
    const SetupFontParams p = ASyncLoadJobParams<SetupFontParams>(Data);
    int result = SetupFontHandle(&p.Options, p.Handle, p.FaceName, p.Size, p.Thickness, p.Type, p.CharSet, p.EdgeSize,
                                 p.Italic, 1);
    FinishHandleLoadJob(p.Handle, result);
}

int QueueSetupFontHandleJob(const FontCreateOptions &Options, int Handle, const wchar_t *Name, int Size, int Thickness,
                            int Type, int CharSet, int EdgeSize, int Italic)
{
    SetupFontParams p = {.Options = Options,
                         .Handle = Handle,
                         .FaceName = {},
                         .Size = Size,
                         .Thickness = Thickness,
                         .Type = Type,
                         .CharSet = CharSet,
                         .EdgeSize = EdgeSize,
                         .Italic = Italic};
    CopyFaceName(p.FaceName, Name);
    return QueueHandleJob(DX_HANDLETYPE_FONT, Handle, SetupFontHandleASyncJob, p);
}

// The default font was made for these settings and can stay.
bool DefaultFontMatchesSettings(const FontSystemData &f, const FontHandleData &Font)
{
    if (f.FaceName[0] != 0 && WideStrCompare(f.FaceName, Font.FaceNameW) != 0) return false;
    // A type the set-up changed (no anti-aliasing on an 8-bit screen, no outlines) still counts as
    // the type it was made for.
    if (f.Type != f.DefaultFontRequestedType || f.Size != Font.Metrics.Size || f.Thickness != Font.Metrics.Thickness)
        return false;
    if (f.CharSetChangedFlag) return false;
    if (IsEdgedType(f.Type) && (f.EdgeSize == -1 ? 1 : f.EdgeSize) != Font.EdgeSize) return false;
    return f.Italic == Font.Metrics.Italic;
}

}  // namespace

// ---- Start and end --------------------------------------------------------------------------

int InitializeFontSystem(void)
{
    FontSystemData &f = FontSystem;
    if (f.StartedFlag) return -1;
    f.StartedFlag = 1;
    InitializeHandleType(DX_HANDLETYPE_FONT, sizeof(FontHandleData), DX_MAX_FONT_NUM, InitializeFontHandle,
                         TerminateFontHandle, L"Font");

    wchar_t space[4] = {};
    ConvertCharCode((const char *)L"\x3000", CHAR_CODE_UTF16LE, (char *)space, sizeof(space), GetWideCharCodeFormat());
    f.IdeographicSpaceCode = (uint16_t)space[0];

    ApplyDefaultSettings(f);
    f.DefaultFontRequestedType = f.Type;
    BuildLevelTables(f);
    InitFontToHandle(0);
    return 0;
}

int TerminateFontSystem(void)
{
    FontSystemData &f = FontSystem;
    if (!f.StartedFlag) return -1;
    InitFontToHandle(1);
    TerminateHandleType(DX_HANDLETYPE_FONT);
    TerminateFallbackFont();
    f.StartedFlag = 0;
    return 0;
}

int InitFontToHandle(int EndingFlag)
{
    FontSystemData &f = FontSystem;
    AddLogStringWide(L"フォントの初期化を行います\n");
    LogIndentUp();

    wchar_t name[FONT_NAME_LENGTH];
    int size = f.Size, thickness = f.Thickness, type = f.Type, charSet = f.CharSet, edge = f.EdgeSize,
        italic = f.Italic;
    CopyFaceName(name, f.FaceName);
    const bool hadDefault = f.DefaultFontHandle >= 1 && GetFontEntry(f.DefaultFontHandle, 0) != nullptr;
    if (hadDefault) GetFontStateToHandle(name, &size, &thickness, f.DefaultFontHandle, &type, &charSet, &edge, &italic);

    DeleteHandleTypeAll(DX_HANDLETYPE_FONT, nullptr);
    if (!EndingFlag) {
        const int handle = CreateFontHandleBase(nullptr, name, size, thickness, type, charSet, edge, italic, -1, 0);
        RegisterDefaultFont(handle);
        if (!hadDefault && handle >= 0) {
            // Made from the settings: it takes their spacing too, as a refresh would (the settings
            // kept across a graphics restart include it).
            f.DefaultFontRequestedType = type;
            SetFontSpaceToHandle(f.Space, handle);
            if (f.LineSpaceValidFlag) SetFontLineSpaceToHandle(f.LineSpace, handle);
        }
    }

    LogIndentDown();
    AddLogStringWide(L"フォントの初期化は正常に終了しました\n");
    return 0;
}

// ---- Creation ---------------------------------------------------------------------------------

int CreateFontHandleBase(const FontCreateOptions *Options, const wchar_t *FontName, int Size, int Thickness,
                         int FontType, int CharSet, int EdgeSize, int Italic, int Handle, int ASyncFlag)
{
    FontCreateOptions options = Options != nullptr ? *Options : FontCreateOptions();
    WaitWhileWindowInactive();
    int handle = AddHandle(DX_HANDLETYPE_FONT, 0, Handle);
    if (handle < 0) return -1;
    if (!ASyncFlag) {
        if (SetupFontHandle(&options, handle, FontName, Size, Thickness, FontType, CharSet, EdgeSize, Italic, 0) < 0) {
            SubHandle(handle);
            return -1;
        }
        return handle;
    }
    if (QueueSetupFontHandleJob(options, handle, FontName, Size, Thickness, FontType, CharSet, EdgeSize, Italic) < 0) {
        SubHandle(handle);
        return -1;
    }
    return handle;
}

int SetupFontHandle(const FontCreateOptions *Options, int FontHandle, const wchar_t *FontName, int Size, int Thickness,
                    int FontType, int CharSet, int EdgeSize, int Italic, int ASyncFlag)
{
    FontHandleData *font = GetFontEntry(FontHandle, 1);
    if (font == nullptr) return -1;
    FontCreateOptions options = Options != nullptr ? *Options : FontCreateOptions();

    int type = FontType < 0 ? DX_FONTTYPE_NORMAL : FontType;
    int codePage = AllCodesCodePage;
    int checkFace = 0;
    if (CharSet < 0 || CharSet >= DX_CHARSET_NUM) {
        CharSet = GetCharSetIndex();
        checkFace = 1;
    } else {
        codePage = CharSetCodePage[CharSet];
    }
    if (GetScreenColorBitDepth() == 8) type &= ~DX_FONTTYPE_ANTIALIASING;

    FontMetrics &m = font->Metrics;
    m.Size = (uint16_t)(Size < 0 ? DefaultFontSize : Size);
    m.Thickness = (uint16_t)(Thickness < 0 ? DefaultFontThickness : Thickness);
    m.Italic = (uint8_t)(Italic != 0);
    m.CodePage = (uint16_t)codePage;
    m.CharSet = (uint16_t)CharSet;
    font->EdgeSize = IsEdgedType(type) ? (EdgeSize < 0 ? 1 : EdgeSize) : 0;
    font->FontType = type;
    font->Space = 0;
    font->LineSpaceValidFlag = 0;
    font->LineSpace = 0;
    font->CharCodeFormat = -1;
    font->LostFlag = nullptr;
    font->FromDataFlag = 0;
    CopyFaceName(font->FaceNameW, FontName);

    if (CFont(&options, font, checkFace) < 0) return -1;
    ConvertCharCode((const char *)font->FaceNameW, GetWideCharCodeFormat(), font->FaceName, sizeof(font->FaceName),
                    GetCurrentCharCodeFormat());
    if (CreateFontToHandle(&options, font, ASyncFlag) < 0) {
        DeleteFontHandleGDIFont(font);
        return -1;
    }
    return 0;
}

int DeleteFontToHandle(int FontHandle)
{
    FontHandleData *font = GetFontHandleData(FontHandle);
    return font != nullptr ? SubHandle(font->Info.Handle) : -1;
}

// ---- Callbacks ----------------------------------------------------------------------------------

int InitializeFontHandle(HandleInfo *Info)
{
    FontHandleData *font = reinterpret_cast<FontHandleData *>(Info);
    font->Win = &font->WinData;
    font->CacheGraph = -1;
    font->EdgeGraph = -1;
    return 0;
}

int TerminateFontHandle(HandleInfo *Info)
{
    FontHandleData *font = reinterpret_cast<FontHandleData *>(Info);
    TerminateFontHandleGDI(font);
    DXFREE(font->SoftCacheBuffer);
    font->SoftCacheBuffer = nullptr;
    DXFREE(font->WorkBuffer);
    font->WorkBuffer = nullptr;
    if (font->CacheGraph != -1) DeleteGraph(font->CacheGraph);
    if (font->EdgeGraph != -1) DeleteGraph(font->EdgeGraph);
    font->CacheGraph = font->EdgeGraph = -1;
    ReleaseBaseImage(&font->CacheImage);
    DXFREE(font->DataImage);
    font->DataImage = nullptr;
    if (font->LostFlag != nullptr) *font->LostFlag = 1;
    return 0;
}

// ---- Lookups and per-handle settings ----------------------------------------------------------

FontHandleData *GetFontHandleData(int FontHandle)
{
    if (FontHandle == DX_DEFAULT_FONT_HANDLE) {
        if (!FontSystem.StartedFlag) return nullptr;
        RefreshDefaultFont();
        FontHandle = FontSystem.DefaultFontHandle;
    }
    return GetFontEntry(FontHandle, 0);
}

int CheckFontHandleValid(int FontHandle) { return GetFontHandleData(FontHandle) != nullptr ? 1 : 0; }

int GetFontSizeToHandle(int FontHandle)
{
    FontHandleData *font = GetFontHandleData(FontHandle);
    return font != nullptr ? font->Metrics.Size : -1;
}

int GetFontSpaceToHandle(int FontHandle)
{
    FontHandleData *font = GetFontHandleData(FontHandle);
    return font != nullptr ? font->Space : -1;
}

int GetFontStateToHandle(wchar_t *FontName, int *Size, int *Thickness, int FontHandle, int *FontType, int *CharSet,
                         int *EdgeSize, int *Italic)
{
    FontHandleData *font = GetFontHandleData(FontHandle);
    if (font == nullptr) return -1;
    if (FontName != nullptr) CopyFaceName(FontName, font->FaceNameW);
    const int values[] = {font->Metrics.Size,    font->Metrics.Thickness, font->FontType,
                          font->Metrics.CharSet, font->EdgeSize,          font->Metrics.Italic};
    int *outs[] = {Size, Thickness, FontType, CharSet, EdgeSize, Italic};
    for (int i = 0; i < 6; ++i)
        if (outs[i] != nullptr) *outs[i] = values[i];
    return 0;
}

int GetFontCharCodeFormat(int FontHandle)
{
    FontHandleData *font = GetFontHandleData(FontHandle);
    if (font == nullptr) return -1;
    if (font->CharCodeFormat >= 0) return font->CharCodeFormat;
    if (font->Metrics.CodePage < AllCodesCodePage) return font->Metrics.CodePage;
    return GetCurrentCharCodeFormat();
}

int SetFontSpaceToHandle(int Space, int FontHandle)
{
    FontHandleData *font = GetFontHandleData(FontHandle);
    if (font == nullptr) return -1;
    font->Space = Space;
    return 0;
}

int SetFontLineSpaceToHandle(int LineSpace, int FontHandle)
{
    FontHandleData *font = GetFontHandleData(FontHandle);
    if (font == nullptr) return -1;
    font->LineSpace = LineSpace;
    font->LineSpaceValidFlag = 1;
    return 0;
}

int SetFontCharCodeFormatToHandle(int CharCodeFormat, int FontHandle)
{
    FontHandleData *font = GetFontHandleData(FontHandle);
    if (font == nullptr) return -1;
    font->CharCodeFormat = CharCodeFormat;
    return 0;
}

int SetFontLostFlag(int FontHandle, int *LostFlag)
{
    FontHandleData *font = GetFontHandleData(FontHandle);
    if (font == nullptr) return -1;
    font->LostFlag = LostFlag;
    if (LostFlag != nullptr) *LostFlag = 0;
    return 0;
}

void GetFontSystemSettings(FontCreateOptions *Options)
{
    if (Options != nullptr) *Options = FontCreateOptions();
}

// ---- The default font -------------------------------------------------------------------------

int RefreshDefaultFont(void)
{
    FontSystemData &f = FontSystem;
    if (f.DefaultFontHandle > 0) {
        if (f.FallbackInUseFlag && f.FallbackGraphs[0] > 0) return 0;  // the fallback stays while its graphs exist
        FontHandleData *font = GetFontEntry(f.DefaultFontHandle, 0);
        if (font != nullptr && DefaultFontMatchesSettings(f, *font)) return 0;
        SubHandle(f.DefaultFontHandle);
    }

    int handle = AddHandle(DX_HANDLETYPE_FONT, 0, -1);
    if (handle >= 0 && SetupFontHandle(nullptr, handle, f.FaceName, f.Size, f.Thickness, f.Type, f.CharSet, f.EdgeSize,
                                       f.Italic, 0) < 0) {
        SubHandle(handle);
        handle = -1;
    }
    f.DefaultFontHandle = handle;
    f.DefaultFontRequestedType = f.Type;
    f.CharSetChangedFlag = 0;

    if (handle < 0) {
        if (SetupFallbackFont() < 0) return -1;
    } else {
        f.FallbackInUseFlag = 0;
        SetFontSpaceToHandle(f.Space, handle);
        if (f.LineSpaceValidFlag) SetFontLineSpaceToHandle(f.LineSpace, handle);
    }
    RegisterDefaultFont(f.DefaultFontHandle);
    return 0;
}

int SetFontSize(int Size)
{
    FontSystemData &f = FontSystem;
    f.Size = Size == -1 ? DefaultFontSize : Size;
    if (!f.StartedFlag) {
        f.SizeSetFlag = 1;
        return 0;
    }
    RefreshDefaultFont();
    return 0;
}

int SetFontThickness(int Thickness)
{
    FontSystemData &f = FontSystem;
    f.Thickness = Thickness == -1 ? DefaultFontThickness : Thickness;
    if (!f.StartedFlag) {
        f.ThicknessSetFlag = 1;
        return 0;
    }
    RefreshDefaultFont();
    return 0;
}

int SetDefaultFontState(const wchar_t *FontName, int Size, int Thickness, int FontType, int CharSet, int EdgeSize,
                        int Italic)
{
    FontSystemData &f = FontSystem;
    int type = FontType < 0 ? DX_FONTTYPE_NORMAL : FontType;
    if (EdgeSize >= 2) type |= DX_FONTTYPE_EDGE;
    f.Type = type;
    CopyFaceName(f.FaceName, FontName);
    f.Size = Size < 0 ? DefaultFontSize : Size;
    f.Thickness = Thickness < 0 ? DefaultFontThickness : Thickness;
    if (CharSet != f.CharSet) f.CharSetChangedFlag = 1;
    f.CharSet = CharSet;
    f.EdgeSize = EdgeSize < 0 ? 1 : EdgeSize;
    f.Italic = Italic;
    if (!f.StartedFlag) {
        f.FaceNameSetFlag = f.SizeSetFlag = f.ThicknessSetFlag = f.TypeSetFlag = f.CharSetSetFlag = 1;
        f.EdgeSizeSetFlag = f.ItalicSetFlag = 1;
        return 0;
    }
    RefreshDefaultFont();
    return 0;
}

int SetFontSpace(int Space)
{
    FontSystemData &f = FontSystem;
    if (!f.StartedFlag) {
        f.Space = Space;
        f.SpaceSetFlag = 1;
        return 0;
    }
    RefreshDefaultFont();
    f.Space = Space;
    SetFontSpaceToHandle(Space, f.DefaultFontHandle);
    return 0;
}

int GetDefaultFontHandle(void) { return FontSystem.DefaultFontHandle; }

void SaveDefaultFontState(DefaultFontStateSave *Save)
{
    *Save = DefaultFontStateSave();
    if (!GraphicsState.GraphicsStartedFlag || !FontSystem.StartedFlag ||
        GetFontEntry(FontSystem.DefaultFontHandle, 0) == nullptr)
        return;
    if (GetFontStateToHandle(Save->FaceName, &Save->Size, &Save->Thickness, DX_DEFAULT_FONT_HANDLE, &Save->Type,
                             &Save->CharSet, &Save->EdgeSize, &Save->Italic) < 0)
        return;
    Save->Space = GetFontSpaceToHandle(DX_DEFAULT_FONT_HANDLE);
    Save->ValidFlag = 1;
}

void RestoreDefaultFontState(const DefaultFontStateSave *Save)
{
    if (!Save->ValidFlag) return;
    SetDefaultFontState(Save->FaceName, Save->Size, Save->Thickness, Save->Type, Save->CharSet, Save->EdgeSize,
                        Save->Italic);
    SetFontSpace(Save->Space);
}

// ---- Re-creation after a device reset -----------------------------------------------------------

int ReCreateAllFontHandles(void)
{
    HandleManage &m = *GetHandleManage(DX_HANDLETYPE_FONT);
    if (!m.InitializeFlag) return -1;
    // Deleting and adding again under the same value keeps each font in its slot.
    const int first = m.AreaMin, last = m.Num > 0 ? m.AreaMax : -1;
    for (int slot = first; slot <= last; ++slot) {
        FontHandleData *font = reinterpret_cast<FontHandleData *>(m.Handle[slot]);
        if (font == nullptr || font->Info.ASyncLoadCount != 0) continue;
        const int handle = font->Info.Handle;
        const int edge = font->EdgeSize, space = font->Space, lineSpaceValid = font->LineSpaceValidFlag,
                  lineSpace = font->LineSpace, charCode = font->CharCodeFormat;
        if (font->FromDataFlag) {
            const int size = font->DataImageSize;
            void *copy = DXALLOC((size_t)(size > 0 ? size : 1));
            if (copy == nullptr) {
                AddLogStringWide(L"フォントファイルイメージを一時的に保存するメモリ領域の確保に失敗しました\n");
                continue;
            }
            memcpy(copy, font->DataImage, (size_t)size);
            SubHandle(handle);
            if (AddHandle(DX_HANDLETYPE_FONT, 0, handle) >= 0 &&
                SetupFontHandleFromData(nullptr, handle, copy, size, edge, 0) < 0)
                SubHandle(handle);
            DXFREE(copy);
        } else {
            wchar_t name[FONT_NAME_LENGTH];
            CopyFaceName(name, font->FaceNameW);
            const int size = font->Metrics.Size, thickness = font->Metrics.Thickness, type = font->FontType,
                      charSet = font->Metrics.CharSet, italic = font->Metrics.Italic;
            SubHandle(handle);
            if (AddHandle(DX_HANDLETYPE_FONT, 0, handle) >= 0 &&
                SetupFontHandle(nullptr, handle, name, size, thickness, type, charSet, edge, italic, 0) < 0)
                SubHandle(handle);
        }
        if (GetFontEntry(handle, 0) == nullptr) continue;
        SetFontSpaceToHandle(space, handle);
        if (lineSpaceValid) SetFontLineSpaceToHandle(lineSpace, handle);
        SetFontCharCodeFormatToHandle(charCode, handle);
    }
    return 0;
}
