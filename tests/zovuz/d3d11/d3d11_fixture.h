// What the Direct3D 11 tests share: a fixture that runs the back end against the recording fake,
// and the log read back as lines.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <string>
#include <vector>

#include "tests/support/test_files.h"
#include "tests/zovuz/d3d11/fake_d3d11.h"
#include "zovuz/d3d11/calls/windows/d3d11_calls.h"

// Each test starts in window mode with the fake installed and the back end's state cleared (as in
// a fresh process); it ends with the back end released, and fails when a fake object, a counted
// object or a loaded "DLL" is left.
class FakeD3D11Test : public testing::Test
{
protected:
    // The log of an earlier run goes, so that what a test reads back is this run's.
    static void SetUpTestSuite() { RemoveLogFile(); }
    void SetUp() override;
    void TearDown() override;
    // Ends the test's back end and starts afresh, for one case of a table.
    void Restart()
    {
        TearDown();
        SetUp();
    }
    // Loads both DLLs and makes the device as the back end's start does. 0 / -1.
    int StartDevice();
    // The device, then what drawing needs on it (StartD3D11DrawingState). 0 / -1.
    int StartDrawing();
    // Appends Num vertices of the batch's current format (zeros), so that a flush has a draw to make.
    void AddPendingVertices(int Num = 3);
    // The log lines written since the test began, without their time stamps and indents.
    std::vector<std::wstring> LogLines() const;
    // True when a line written since the test began equals Line, or (LoggedWithin) holds Piece.
    bool Logged(const std::wstring &Line) const;
    bool LoggedWithin(const std::wstring &Piece) const;

private:
    LogAppendReader log_;
};

// A FakeD3D11Test whose tests begin with drawing set up on the fake and its record of calls empty.
class FakeD3D11DrawingTest : public FakeD3D11Test
{
protected:
    void SetUp() override
    {
        FakeD3D11Test::SetUp();
        ASSERT_EQ(0, StartDrawing());
        ForgetCalls();
    }
    static void ForgetCalls()
    {
        FakeD3D11.Calls.clear();
        FakeD3D11.CallCount.clear();
    }
};

// The live objects made through the wrappers, by type.
inline std::array<int, D3D11_OBJECT_TYPE_NUM> LiveObjectCounts()
{
    std::array<int, D3D11_OBJECT_TYPE_NUM> counts;
    for (int type = 0; type < D3D11_OBJECT_TYPE_NUM; ++type) counts[type] = D3D11_GetObjectCount(type);
    return counts;
}

// The start-up's steps on whatever device the call layer reaches (the fake or the platform's own).
// Loads both DLLs and makes the device. 0 / -1.
int StartD3D11Device();
// On a made device, what drawing needs, in the start-up's order: the standard shaders, the
// constant buffers, the depth buffer, the input layouts, the batch buffer and the default state.
// 0 / -1.
int StartD3D11DrawingState();

// Tests on the platform's own Direct3D 11 (Wine's, on llvmpipe under Xvfb): the suite opens the
// library's main window; each test is skipped in the run with d3d11.dll switched off.
class RealD3D11Test : public testing::Test
{
protected:
    static bool D3D11Disabled() { return getenv("TARVEX_D3D11_DISABLED") != nullptr; }
    static void OpenMainWindow(const char *Title)
    {
        ChangeWindowMode(1);
        SetAlwaysRunFlag(1);
        SetMainWindowText(Title);
        ASSERT_EQ(0, CreateMainWindow());
    }
    static void TearDownTestSuite() { TerminateMainWindow(); }
    void SetUp() override
    {
        if (D3D11Disabled()) GTEST_SKIP() << "d3d11.dll is switched off in this run";
    }
};
