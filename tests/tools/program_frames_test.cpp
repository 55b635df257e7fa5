// The wait a driver keeps a key down by: it returns once two frames counted after the call have
// read the input and the asked time has passed, outlasts a program whose frames stall for seconds,
// and gives up when the caller says waiting no longer makes sense. The "program" is a window of
// this thread that answers the frames question with a count that follows a schedule in time.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/support/program_frames.h"

namespace {

struct FakeProgram {
    ULONGLONG start = 0;
    std::function<unsigned long(ULONGLONG elapsedMs)> count;
    std::vector<unsigned long> answers;  // every count given, in order
};

FakeProgram g_program;

LRESULT CALLBACK FakeProgramProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    static const UINT asked = RegisterWindowMessageW(L"tarvex.frames");
    if (message == asked) {
        const unsigned long count = g_program.count(GetTickCount64() - g_program.start);
        g_program.answers.push_back(count);
        SetPropW(window, L"tarvex.frames", reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(count)));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeFakeProgramWindow()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = FakeProgramProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"fake_program_frames";
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 10, 10, nullptr, nullptr, windowClass.hInstance,
                           nullptr);
}

struct WaitCase {
    const char* name;
    std::function<unsigned long(ULONGLONG)> count;
    unsigned long atLeastMs;
    ULONGLONG worthItMs;  // the caller's condition holds this long
    bool expected;
    ULONGLONG minMs, maxMs;  // the wait's length
};

TEST(ProgramFrames, WaitsForTwoFramesTheAskedTimeAndAStalledProgram)
{
    HWND window = MakeFakeProgramWindow();
    ASSERT_NE(nullptr, window);
    const auto everyFrameOf20Ms = [](ULONGLONG ms) { return static_cast<unsigned long>(1 + ms / 20); };
    const WaitCase cases[] = {
        {"frames at 50 Hz", everyFrameOf20Ms, 0, 60000, true, 20, 2000},
        {"frames at 50 Hz, held 300 ms", everyFrameOf20Ms, 300, 60000, true, 300, 2000},
        // The first frames of a start on a busy machine came more than 5 s late.
        {"frames stalled for 6 s", [](ULONGLONG ms) { return static_cast<unsigned long>(ms < 6000 ? 1 : ms / 20); }, 0,
         60000, true, 6000, 8000},
        {"no frames, the caller gives up", [](ULONGLONG) { return 7ul; }, 0, 300, false, 300, 2000},
    };
    for (const WaitCase& c : cases) {
        SCOPED_TRACE(c.name);
        g_program.count = c.count;
        g_program.answers.clear();
        g_program.start = GetTickCount64();
        const bool read = WaitForProgramFrames(window, ReadProgramFrames(window), c.atLeastMs,
                                               [&] { return GetTickCount64() - g_program.start < c.worthItMs; });
        const ULONGLONG took = GetTickCount64() - g_program.start;
        EXPECT_EQ(c.expected, read);
        EXPECT_GE(took, c.minMs);
        EXPECT_LE(took, c.maxMs);
        ASSERT_FALSE(g_program.answers.empty());
        if (c.expected) {
            EXPECT_GE(g_program.answers.back(), g_program.answers.front() + 2);
        }
    }
    DestroyWindow(window);
}

}  // namespace
