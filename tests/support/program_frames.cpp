#include "tests/support/program_frames.h"

#include <windows.h>

namespace {

// The program answers between its frames; a renderer that draws a frame a second under Wine (its
// Direct3D 9) answers within about one.
constexpr UINT kAnswerWaitMs = 2000;
constexpr ULONGLONG kFramesWaitMs = 30000;

}  // namespace

unsigned long ReadProgramFrames(HWND MainWindow)
{
    static const UINT asked = RegisterWindowMessageW(L"tarvex.frames");
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(MainWindow, asked, 0, 0, SMTO_ABORTIFHUNG, kAnswerWaitMs, &ignored);
    return static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(GetPropW(MainWindow, L"tarvex.frames")));
}

bool WaitForProgramFrames(HWND MainWindow, unsigned long from, unsigned long atLeastMs,
                          const std::function<bool()>& stillWorthIt)
{
    const ULONGLONG start = GetTickCount64();
    bool read = false;
    while (GetTickCount64() - start < kFramesWaitMs && stillWorthIt()) {
        read = read || ReadProgramFrames(MainWindow) >= from + 2;
        if (read && GetTickCount64() - start >= atLeastMs) return true;
        Sleep(5);
    }
    return read;
}
