// The draw screen: choosing the draw target, presenting the frame, the screen mode before and
// after start-up, reading and locking the draw target's pixels.
#include <string.h>

#include "zovuz/graphics/display_internal.h"
#include "zovuz/graphics/draw_state_internal.h"
#include "zovuz/graphics/graph/graph_internal.h"

DrawScreenStateData DrawScreenState = {0, 0, -1};

namespace {

int ScreenWidth()
{
    int width;
    GetDrawScreenSize(&width, nullptr);
    return width;
}

int ScreenHeight()
{
    int height;
    GetDrawScreenSize(nullptr, &height);
    return height;
}

// The size of a draw target (a graph or a screen value) at a mip level. 0 / -1.
int TargetSize(int Target, int MipLevel, GraphHandleData **Graph, int *Width, int *Height)
{
    *Graph = nullptr;
    if (IsScreenValue(Target)) {
        GetDrawScreenSize(Width, Height);
        return 0;
    }
    *Graph = GetGraphEntry(Target, 0);
    if (*Graph == nullptr || (*Graph)->Image == nullptr) return -1;
    CalcMipLevelSize((*Graph)->Width, (*Graph)->Height, MipLevel, Width, Height);
    return 0;
}

// Whether the window goes on showing a present without being presented to again: a window-mode
// present. Full screen, the display's own mode and border repaints are always presented.
bool ScreenKeepsWhatWasShown() { return GetWindowModeFlag() && GraphicsScreenSettings.BorderRepaintCount <= 0; }

}  // namespace

int IsScreenValue(int DrawScreen)
{
    return DrawScreen == DX_SCREEN_BACK || DrawScreen == DX_SCREEN_FRONT || DrawScreen == -3 || DrawScreen == -16;
}

namespace {

MEMIMG *TargetGraphOrScreen(void)
{
    GraphHandleData *graph = GetGraphEntry(GraphicsDrawSettings.RenderTarget[0], 0);
    if (graph != nullptr && graph->Image != nullptr && !graph->Image->Format.HardwareFlag) return &graph->SoftImage;
    return &SoftwareScreen.Screen;
}

}  // namespace

MEMIMG *GetSoftwareDrawTargetImage(void)
{
    MEMIMG *image = TargetGraphOrScreen();
    // Whoever asks for the screen may write it: a copy that repeats the one before it is skipped
    // only while this count stays as the copy left it.
    if (image == &SoftwareScreen.Screen) ++SoftwareScreen.Changes;
    return image;
}

int SoftwareDrawTargetIsScreen(void)
{
    if (GraphicsDrawSettings.MaskValidFlag && CheckValidMemImg(&MaskScreen.WorkImage)) return 0;
    return TargetGraphOrScreen() == &SoftwareScreen.Screen ? 1 : 0;
}

MEMIMG *GetSoftwareDrawTarget(void)
{
    if (GraphicsDrawSettings.MaskValidFlag && CheckValidMemImg(&MaskScreen.WorkImage)) return &MaskScreen.WorkImage;
    return GetSoftwareDrawTargetImage();
}

// ---- Choosing the draw target ------------------------------------------------------------------

int SetDrawScreen(int DrawScreen)
{
    if (!GraphicsState.GraphicsStartedFlag) return -1;
    WaitWhileWindowInactive();
    GraphHandleData *graph = nullptr;
    if (!IsScreenValue(DrawScreen)) {
        graph = GetGraphEntry(DrawScreen, 0);
        if (graph == nullptr || graph->Image == nullptr || !graph->Image->Format.DrawValidFlag) return -1;
    }
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    if (d.RenderTarget[0] == DX_SCREEN_FRONT) {
        if (GraphicsState.HardwareInUseFlag) Graphics_Hardware_SetupSubBackBufferFullScreen(1);
        ScreenFlip();
    }

    // The mask is switched off across the change and made at least as large as the new target.
    int mask = d.UseMaskScreenFlag;
    SetUseMaskScreenFlag(0);
    if (MaskScreen.CreatedFlag) {
        int width = graph != nullptr ? graph->Width : ScreenWidth();
        int height = graph != nullptr ? graph->Height : ScreenHeight();
        CreateMaskScreen(1, width, height);
    }

    if (graph == nullptr) {
        SelectScreenAsDrawTarget(DrawScreen);
    } else {
        int oldSurface = d.RenderTargetSurface[0], oldMip = d.RenderTargetMipLevel[0];
        GraphHandleData *oldGraph = GetGraphEntry(d.RenderTarget[0], 0);
        SetDrawScreenState(DrawScreen, graph->Width, graph->Height);
        Graphics_Hardware_UpdateDrawScreenAlphaFlag();
        if (GraphicsState.HardwareInUseFlag)
            Graphics_Hardware_SetDrawScreen(DrawScreen, oldSurface, oldMip, graph, oldGraph, nullptr, nullptr);
        ResetCameraForDrawScreen(DrawScreen);
        Graphics_Hardware_StartFrontScreenTimer(DrawScreen);
    }
    SetUseMaskScreenFlag(mask);
    return 0;
}

int SetRenderTargetToShader(int TargetIndex, int DrawScreen, int Surface, int MipLevel)
{
    int count = GraphicsDeviceCaps.RenderTargetNum > 1 ? GraphicsDeviceCaps.RenderTargetNum : 1;
    if (TargetIndex < 0 || TargetIndex >= count || TargetIndex >= DX_RENDERTARGET_COUNT) return -1;
    if (TargetIndex == 0 && Surface == 0 && MipLevel == 0) return SetDrawScreen(DrawScreen);
    if (!GraphicsState.HardwareInUseFlag) return -1;
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    FlushVertexBuffer();
    d.RenderTarget[TargetIndex] = DrawScreen;
    d.RenderTargetSurface[TargetIndex] = Surface;
    d.RenderTargetMipLevel[TargetIndex] = MipLevel;
    if (TargetIndex == 0) {
        GraphHandleData *graph;
        int width, height;
        if (TargetSize(DrawScreen, MipLevel, &graph, &width, &height) == 0) {
            d.DrawSizeX = width;
            d.DrawSizeY = height;
        }
    }
    Graphics_Hardware_UpdateDrawScreenAlphaFlag();
    if (Graphics_Hardware_SetRenderTargetToShader(TargetIndex, DrawScreen, Surface, MipLevel) < 0) return -1;
    if (TargetIndex == 0) ResetCameraForDrawScreen(DrawScreen);
    return 0;
}

// ---- Presentation ------------------------------------------------------------------------------

int ScreenFlip(void)
{
    DrawScreenStateData &s = DrawScreenState;
    if (s.FlippingFlag) return 0;  // called again from inside a flip (the on-screen log's drawing)
    if (!IsLibraryStarted() || GetLibraryEndFlag()) return -1;
    s.FlippingFlag = 1;
    if (GraphicsDrawSettings.MaskValidFlag) {
        const ImageRect &area = GraphicsDrawSettings.DrawArea;
        MaskDrawEnd(area.left, area.top, area.right, area.bottom);
    }
    // The on-screen log would be drawn over the frame here while its draw flag is set; nothing
    //   in this program sets it (GetScreenLogDrawFlag is always 0), so no frame draws it.
    // A frame that drew nothing new on the screen, in a window that still shows the last present,
    // is already on view: presenting it again would cost the present and change nothing.
    uint32_t before = 0;
    const int counted = GetScreenWriteCount(&before) == 0;
    if (counted && s.ShownFlag && before == s.WritesShown && ScreenKeepsWhatWasShown()) {
        PaceUnpresentedFrame();
        s.FlippingFlag = 0;
        return 0;
    }
    PacePresent();
    int result = Graphics_Hardware_PresentFrame();
    uint32_t after = 0;
    s.ShownFlag = counted && result == 0 && GetScreenWriteCount(&after) == 0;
    s.WritesShown = after;
    s.FlippingFlag = 0;
    return result;
}

int MarkScreenShownAgain(void)
{
    DrawScreenState.ShownFlag = 0;
    return 0;
}

int GetScreenWriteCount(uint32_t *Count)
{
    if (!GraphicsState.HardwareInUseFlag) {
        *Count = SoftwareScreen.Changes;
        return 0;
    }
    FlushVertexBuffer();
    return Graphics_Hardware_GetScreenWriteCount(Count);
}

int ScreenFlipWrap(void) { return ScreenFlip(); }

int RefreshScreen(void)
{
    MarkScreenShownAgain();
    if (GraphicsState.HardwareInUseFlag) Graphics_Hardware_SetupSubBackBufferFullScreen(0);
    return ScreenFlip();
}

int GetScreenFlipRunningFlag(void) { return DrawScreenState.FlippingFlag; }

// ---- The screen mode ------------------------------------------------------------------------

int SetGraphMode(int Width, int Height, int ColorBitDepth, int RefreshRate)
{
    GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    if (ColorBitDepth == 0) ColorBitDepth = 16;
    if (s.Emulation320x240Flag) {
        Width = 320;
        Height = 240;
    } else if (Width < 1 || Height < 1) {
        return -1;
    }
    if (ColorBitDepth != 8 && ColorBitDepth != 16 && ColorBitDepth != 32) return -1;

    // Until graphics have started (the library's start-up included) the mode is only stored.
    if (!GraphicsState.GraphicsStartedFlag) {
        SetMainScreenSize(Width, Height);
        s.MainScreenRefreshRate = RefreshRate;
        s.MainScreenColorBitDepth = ColorBitDepth;
        SetMemImgDefaultColorType(ColorBitDepth == 32 ? 1 : 0);
        return 0;
    }

    int oldWidth = s.MainScreenWidth, oldHeight = s.MainScreenHeight;
    int oldDepth = s.MainScreenColorBitDepth, oldRefresh = s.MainScreenRefreshRate;
    ChangeScreenMode(Width, Height, ColorBitDepth, 0, RefreshRate);
    int width = s.MainScreenWidth, height = s.MainScreenHeight;
    int depth = s.MainScreenColorBitDepth, refresh = s.MainScreenRefreshRate;
    int fullScreen = IsFullScreenMode();
    // What took effect decides: the size (with depth and refresh in a window) is success; a
    // fallback to 640 x 480 says how far the request got.
    if (width == Width && height == Height && (fullScreen || (depth == ColorBitDepth && refresh == RefreshRate)))
        return 0;
    bool unchanged = width == oldWidth && height == oldHeight && depth == oldDepth && refresh == oldRefresh;
    if (unchanged || width != 640 || height != 480) return -1;
    if (fullScreen) return -2;
    if (depth != 16) return -1;
    return refresh == 0 ? -2 : -1;
}

int GetScreenRefreshRate(void) { return GraphicsScreenSettings.MainScreenRefreshRate; }

int ConvertWindowPosToScreenPos(int X, int Y, int *ScreenX, int *ScreenY)
{
    const GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    if (s.FullScreenScalingModeInEffect == FULLSCREEN_SCALING_EXACT) {
        int left = 0, top = 0;
        GetWindowPosition(&left, &top);
        *ScreenX = X - left;
        *ScreenY = Y - top;
        return 0;
    }
    if (SetupFullScreenScalingRect() < 0) return -1;
    const ImageRect &r = s.FullScreenScalingRect;
    int width = r.right - r.left, height = r.bottom - r.top;
    if (width < 1 || height < 1) return -1;
    *ScreenX = (X - r.left) * ScreenWidth() / width;
    *ScreenY = (Y - r.top) * ScreenHeight() / height;
    return 0;
}

// ---- Reading the draw target -------------------------------------------------------------------

unsigned int GetPixel(int X, int Y)
{
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    if (X < 0 || Y < 0 || X >= d.DrawSizeX || Y >= d.DrawSizeY) return (unsigned int)-1;
    if (GraphicsState.HardwareInUseFlag) return Graphics_Hardware_GetPixel(X, Y);
    const MEMIMG *image = GetSoftwareDrawTargetImage();
    if (!CheckValidMemImg(image) || X >= image->Width || Y >= image->Height) return (unsigned int)-1;
    const uint8_t *p = image->UseImage + (size_t)Y * image->Base->Pitch;
    if (GetMemImgPixelBytes(image->Base) == 2) {
        uint16_t value;
        memcpy(&value, p + X * 2, 2);
        return value;
    }
    uint32_t value;
    memcpy(&value, p + X * 4, 4);
    return value;
}

int IsDrawScreenSizeMatch(int SrcGraphHandle)
{
    if (GraphicsState.HardwareInUseFlag) return 0;
    GraphHandleData *target = GetGraphEntry(GraphicsDrawSettings.RenderTarget[0], 0);
    GraphHandleData *source = GetGraphEntry(SrcGraphHandle, 0);
    if (!GetHandleManage(DX_HANDLETYPE_GRAPH)->InitializeFlag || target == nullptr || source == nullptr) return -1;
    return target->Width < source->Width || target->Height < source->Height ? -1 : 0;
}

int LockDrawScreenBuffer(const ImageRect *Rect, BASEIMAGE *Image, int TargetHandle, int Surface, int MipLevel,
                         int ReadOnly, int TextureIndex)
{
    if (!GraphicsState.GraphicsStartedFlag || Rect == nullptr || Image == nullptr) return -1;
    if (TargetHandle == -1) TargetHandle = GraphicsDrawSettings.RenderTarget[0];
    GraphHandleData *graph;
    int width, height;
    if (TargetSize(TargetHandle, MipLevel, &graph, &width, &height) < 0) return -1;
    if (Rect->left < 0 || Rect->top < 0 || Rect->left >= Rect->right || Rect->top >= Rect->bottom ||
        Rect->right > width || Rect->bottom > height)
        return -1;
    if (GraphicsState.HardwareInUseFlag) {
        if (Graphics_Hardware_LockBackBuffer(Rect, Image, TargetHandle, graph, Surface, MipLevel, ReadOnly,
                                             TextureIndex) < 0)
            return -1;
    } else {
        const MEMIMG *target = graph != nullptr ? &graph->SoftImage : &SoftwareScreen.Screen;
        if (!CheckValidMemImg(target)) return -1;
        if (target == &SoftwareScreen.Screen) ++SoftwareScreen.Changes;
        const MemImgImage *base = target->Base;
        *Image = BASEIMAGE();
        Image->ColorData = *base->ColorData;
        Image->Width = Rect->right - Rect->left;
        Image->Height = Rect->bottom - Rect->top;
        Image->Pitch = base->Pitch;
        Image->Pixels =
            target->UseImage + (size_t)Rect->top * base->Pitch + (size_t)Rect->left * GetMemImgPixelBytes(base);
    }
    DrawScreenState.LockedFlag = 1;
    return 0;
}

int UnlockDrawScreenBuffer(void)
{
    if (!DrawScreenState.LockedFlag) return 0;
    if (GraphicsState.HardwareInUseFlag) Graphics_Hardware_UnlockBackBuffer();
    DrawScreenState.LockedFlag = 0;
    return 0;
}
