// The IME layer's start, the input-string records and the window's IME switch.
#include "zovuz/core/desktop/windows/ime_state_win.h"

#include "zovuz/core/handle/handle.h"
#include "zovuz/core/desktop/input_char_internal.h"
#include "zovuz/core/text/log.h"
#include "zovuz/core/memory/memory.h"
#include "zovuz/core/system_info.h"
#include "zovuz/core/desktop/window.h"
#include "zovuz/core/windows/api_table.h"

#include <string.h>

ImeInputData ImeInputState;

namespace {

void FreeInputStrings(void)
{
    ImeInputData &ime = ImeInputState;
    for (int slot = 0; slot < INPUT_STRING_MAXNUM; ++slot) {
        InputStringRecord &record = ime.InputString[slot];
        if (!record.UsedFlag) continue;
        DXFREE(record.Text);
        if (InputStringHandle(slot) == ime.ActiveInputHandle) ime.ActiveInputHandle = -1;
        memset(&record, 0, sizeof record);
    }
}

}  // namespace

void DropCandidateList(void)
{
    ImeInputData &ime = ImeInputState;
    DXFREE(ime.CandidateList);
    ime.CandidateList = NULL;
    ime.CandidateListSize = 0;
}

void LogCandidateAllocFailure(uint64_t Size)
{
    AddLogFormat(L"漢字変換候補を保存するメモリの確保に失敗しました( 確保しようとしたサイズ %d バイト )",
                 Size > INT32_MAX ? -1 : static_cast<int>(Size));
}

int InputStringHandle(int Slot)
{
    return static_cast<int>(static_cast<unsigned>(DX_HANDLETYPE_INPUT_STRING) << DX_HANDLETYPE_ADDRESS |
                            static_cast<unsigned>(ImeInputState.InputString[Slot].CheckNumber)
                                << DX_HANDLECHECK_ADDRESS |
                            static_cast<unsigned>(Slot));
}

int InitializeInputCharBuffer(void)
{
    ImeInputData &ime = ImeInputState;
    // A second start must not lose what the first one holds.
    TerminateTextServices();
    AddLogStringWide(L"文字コードバッファの初期化を行います... ");
    DropCandidateList();
    FreeInputStrings();
    int useFlag = ime.UseFlag;
    int enableState = ime.EnableState;
    memset(&ime, 0, sizeof ime);
    ime.UseFlag = useFlag;
    ime.EnableState = enableState;
    ClearInputCharRing();

    const wchar_t *failedStep = NULL;
    HRESULT result = S_OK;
    if (GetWindowsVersionCode() >= WINDOWS_VERSION_7) failedStep = SetupTextServices(&result);

    ime.ActiveInputHandle = -1;
    AddLogStringWide(L"完了しました\n");
    if (ime.Sink != NULL)
        AddLogStringWide(L"テキストサービスの UI エレメントシンクを登録しました\n");
    else if (failedStep != NULL)
        AddLogFormat(L"テキストサービスを使用しません( %s に失敗 HRESULT:0x%08X )\n", failedStep,
                     static_cast<unsigned>(result));
    return 0;
}

int DeleteAllInputStrings(void)
{
    ImeInputData &ime = ImeInputState;
    FreeInputStrings();
    int state = ime.UseFlag != 0 ? 1 : 0;
    if (state != ime.EnableState) {
        EnableImeForWindow(GetMainWindowHandle(), state);
        if (!state) {
            DropCandidateList();
            memset(ime.CompositionString, 0, IME_READ_BYTES);
            ime.ComposingFlag = 0;
        }
    }
    ime.ActiveInputHandle = -1;
    return 0;
}

int EnableImeForWindow(HWND__ *Window, int EnableFlag)
{
    if (WinAPIData.WINNLSEnableIMEFunc != NULL) WinAPIData.WINNLSEnableIMEFunc(Window, EnableFlag ? TRUE : FALSE);
    ImeInputState.EnableState = EnableFlag ? 1 : 0;
    return 0;
}

int GetImeUseFlag(void) { return ImeInputState.UseFlag; }

int RestoreImeOnActivate(void)
{
    ImeInputData &ime = ImeInputState;
    if (ime.EnableState && ime.OpenStatus) ime.RestoreStep = 1;
    return 0;
}
