// A back end that records the operations the dispatch layer forwards to it, for the tests of the
// dispatch layer, the draw state, the lights and the shader handles.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zovuz/graphics/zovuz_graphics_backend.h"

// What the recording back end was asked, and what it answers.
struct FakeHardwareData
{
    std::vector<std::string> Calls;   // one line per operation: its name and its arguments
    int StartupResult = 0;            // Startup's answer
    int CreateShaderResult = 0;       // CreateShaderHandle's answer
    int FillGraphResult = 2;          // FillGraph's answer (2: not a render target)
    int DeviceValid = 1;              // IsDeviceValid's answer
    int CreateTextureResult = 0;      // CreateTexture's answer
};
extern FakeHardwareData FakeHardware;

// A table with a recording entry for the operations the tests follow; the others stay null.
GraphicsHardwareFunctions RecordingHardwareTable(void);

// The calls recorded since the last clear whose line starts with Prefix.
std::vector<std::string> CallsStartingWith(const std::string &Prefix);

// Every test starts on the software renderer with no table registered and a fresh draw state;
// ends with the tables removed and the software renderer back.
class GraphicsStateTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    // Registers the recording table for APIType and puts that back end in use without a start.
    void UseFakeBackend(int APIType);
    GraphicsHardwareFunctions Table = RecordingHardwareTable();
};
