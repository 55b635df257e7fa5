// What the Direct3D 11 tests share: a fixture that runs the back end against the recording fake,
// and the log read back as lines.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_files.h"
#include "tests/zovuz/d3d11/fake_d3d11.h"
#include "zovuz/d3d11/windows/d3d11_calls.h"

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
    // The device, then what drawing needs on it, in the start-up's order: the standard shaders, the
    // constant buffers, the depth buffer, the input layouts, the batch buffer and the default state.
    // 0 / -1.
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
