// The library's start-up and shut-down: every part of the library in one fixed order, and the
// reverse order at the end.
#include "zovuz/startup/startup_internal.h"

#include "zovuz/core/zovuz_core.h"
#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/d3d9/zovuz_d3d9.h"
#include "zovuz/filter/zovuz_filter.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"
#include "zovuz/movie/zovuz_movie.h"
#include "zovuz/sound/zovuz_sound.h"

namespace {

constexpr int ErrorCode24BitColor = 0x1010001;

// The entries of the core's hook table that the linked subsystems answer.
void FillSubsystemHooks(void)
{
    SubsystemHooks &h = *GetSubsystemHooks();
    h.TerminateLibrary = TerminateLibrary;
    h.GetUseDisplayRecord = GetUseDisplayRecord;
    h.SelectFullScreenDisplayMode = SelectFullScreenDisplayModeSize;
    h.DirectDraw7_GetObject = DirectDraw7_GetObject;
    h.ProcessStreamSounds = ProcessStreamSounds;
    h.ProcessSoftSoundPlayers = ProcessSoftSoundPlayers;
    h.ProcessPlayedSoundList = ProcessPlayedSoundList;
    h.SoundThreadExists = SoundThreadExists;
    h.ProcessDeleteOnPlayEndSounds = ProcessDeleteOnPlayEndSounds;
    h.ProcessMusicHandles = ProcessMusicHandles;
    h.PauseAllSoundHandles = PauseAllSoundHandles;
    h.PauseAllSoftSoundPlayers = PauseAllSoftSoundPlayers;
    h.ProcessMidiMciNotify = ProcessMidiMciNotify;
    h.Graphics_Hardware_ExpireMemoryTextureCache = Graphics_Hardware_ExpireMemoryTextureCache;
    h.Graphics_Hardware_SetDialogBoxMode = Graphics_Hardware_SetDialogBoxMode;
    h.Graphics_Hardware_GetDialogBoxModeFlag = Graphics_Hardware_GetDialogBoxModeFlag;
    // A full-screen deactivation keeps the back screen before the device goes.
    h.Graphics_Hardware_ReleaseDeviceObjects = SaveScreenCopyAndReleaseDeviceObjects;
    h.Graphics_Hardware_RestoreLostDevice = Graphics_Hardware_RestoreLostDevice;
    h.GetHardwareGraphicsFlag = GetHardwareGraphicsFlag;
    h.GetGraphicsAPIType = GetGraphicsAPIType;
    h.GetDrawScreenSize = GetDrawScreenSize;
    h.GetDrawScreenHandle = GetDrawScreenHandle;
    h.GetBackgroundColor = GetBackgroundColor;
    h.RefreshScreen = RefreshScreen;
    h.MarkScreenShownAgain = MarkScreenShownAgain;
    h.ChangeScreenMode = ChangeScreenMode;
    h.GetScreenFlipRunningFlag = GetScreenFlipRunningFlag;
    h.GetUseMaskScreenFlag = GetUseMaskScreenFlag;
    h.SetUseMaskScreenFlag = SetUseMaskScreenFlag;
    h.RestoreGraphicsDevice = RestoreGraphicsDevice;
    h.ConvertWindowPosToScreenPos = ConvertWindowPosToScreenPos;
    h.GetScreenColorBitDepth = GetScreenColorBitDepth;
    h.IsRestoreGraphCallbackSet = IsRestoreGraphCallbackSet;
    h.IsFullScreenMode = IsFullScreenMode;
    h.PauseAllMovies = PauseAllMovies;
    h.ResumeAllMovies = ResumeAllMovies;
    h.IsSavedScreenCopyHeld = IsScreenCopySaved;
    h.DrawSavedScreenCopy = DrawSavedScreenCopy;
    h.ReleaseSavedScreenCopy = ReleaseSavedScreenCopy;
    h.DrawStringToHandleW = DrawStringToHandleW;
    h.DeleteFontToHandle = DeleteFontToHandle;
    h.D3D11Device_IsValid = D3D11Device_IsValid;
}

// Full screen: the requested mode is looked for among the display's modes. Only a 640x480x16
// request that the display lacks is changed (to 32 bits); any other goes on as it is.
void CheckFullScreenMode(void)
{
    for (;;) {
        int width, height;
        int depth = GetScreenColorBitDepth();
        GetDrawScreenSize(&width, &height);
        AddLogFormat(L"設定されている画面設定 %dx%d %dbit color", width, height, depth);
        int display = GetUseDisplayIndex();
        int count = GetDisplayModeNum(display);
        for (int i = 0; i < count; ++i) {
            DISPLAYMODEDATA mode = GetDisplayMode(nullptr, i, display);
            if (mode.Width == width && mode.Height == height && mode.ColorBitDepth == depth) return;
        }
        AddLogFormat(L"対応している画面モードなし");
        if (width != 640 || height != 480 || depth != 16) return;
        SetGraphMode(640, 480, 32, GetScreenRefreshRate());
    }
}

// A failed step among the window, input and graphics: the library is left as far as it came.
int FailStartup(void)
{
    TerminateLibrary();
    LogIndentDown();
    AddLogFormat(L"RUrazadの初期化処理失敗");
    SetLibraryStarting(0);
    return -1;
}

}  // namespace

int InitializeLibrary(void)
{
    if (IsLibraryStarted()) return 0;
    FillSubsystemHooks();

    AddLogFormat(L"RUrazadの初期化処理開始");
    LogIndentUp();
    SetLibraryStarting(1);
    ClearLibraryQuitFlags();

    InitializeCoreServices();

    if (!GetWindowModeFlag()) CheckFullScreenMode();
    if ((GetDesktopColorBitDepth() == 24 && GetWindowModeFlag() == 1) || GetScreenColorBitDepth() == 24) {
        AddLogStringWide(L"RUrazadは２４ビットカラーモードに対応していません\n");
        LogIndentDown();
        AddLogStringWideErrorCode(ErrorCode24BitColor, L"RUrazadの初期化処理失敗\n");
        return -1;
    }

    SetupPerformanceCounter();
    OutputSystemInfo();
    SetRestoreGraphCallback(NULL);
    InitializeCom();
    if (CreateMainWindow() != 0) return FailStartup();
    if (InitializeInput() == -1) return FailStartup();

    InitializeSoundConvert();
    InitializeSoundSystem();

    InitializeBaseImageTables();
    InitializeSoftImageManage();
    InitializeMovieSystem();
    RegisterMovieFunctions(GetMovieFunctionTable());
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, GetGraphicsD3D11Functions());
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9, GetGraphicsD3D9Functions());
    RegisterGraphFilterFunctions(GetGraphFilterFunctionTable());
    RegisterGraphFilterD3D11Passes();
    if (InitializeGraphics() < 0) return FailStartup();

    InitializeInputCharBuffer();
    SetLibraryStarted(1);
    if (!GetWindowModeFlag()) ForceForegroundWindow(GetMainWindowHandle(), 1);
    InitializeScreenLog();
    SetDrawScreen(DX_SCREEN_BACK);
    SetDrawScreen(DX_SCREEN_FRONT);
    FinishLibraryStarting();

    LogIndentDown();
    AddLogFormat(L"RUrazadの初期化処理終了");
    return 0;
}

int TerminateLibrary(void)
{
    if (!IsLibraryStarted()) return 0;
    SetLibraryEnding(1);

    DeleteAllSoftImages();
    TerminateScreenLog();
    TerminateNetwork();
    StopCurrentMusic();
    TerminateGraphics();
    TerminateBaseImageTables();
    TerminateSoftImageManage();
    TerminateMovieSystem();
    TerminateInput();
    TerminateSoundSystem();
    TerminateSoundConvert();

    TerminateMainWindow();
    TerminateCom();
    SetLibraryStarted(0);
    ReleaseMainWindowClass();
    TerminateCoreServices();

    *GetSubsystemHooks() = SubsystemHooks();
    return 0;
}

int LibraryInit(void)
{
    if (IsLibraryStarted()) return 0;
    EnterDxFunctionLock();
    int result = InitializeLibrary();
    LeaveDxFunctionLock();
    return result;
}

int LibraryEnd(void)
{
    if (!IsLibraryStarted()) return 0;
    EnterDxFunctionLock();
    int result = TerminateLibrary();
    LeaveDxFunctionLock();
    CloseDxFunctionLock();
    return result;
}
