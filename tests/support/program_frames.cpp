#include "tests/support/program_frames.h"

#include <windows.h>

namespace {

// The program answers between its frames; a renderer that draws a frame a second under Wine (its
// Direct3D 9) answers within about one.
constexpr UINT kAnswerWaitMs = 2000;

}  // namespace

unsigned long ReadProgramFrames(HWND MainWindow)
{
    static const UINT asked = RegisterWindowMessageW(L"tarvex.frames");
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(MainWindow, asked, 0, 0, SMTO_ABORTIFHUNG, kAnswerWaitMs, &ignored);
    return static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(GetPropW(MainWindow, L"tarvex.frames")));
}
