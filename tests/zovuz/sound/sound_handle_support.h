// Support for the Sound-handle tests: the sound system started without its thread, a scripted
// device installed for the test's handles, and loading from file images.
#pragma once

#include "sound_device_support.h"
#include "sound_test_support.h"

#include "zovuz/sound/sound_handle_internal.h"

#include <gtest/gtest.h>

class SoundHandleTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    static SoundHandleData &Record(int Handle);
    static ScriptedDeviceBuffer &Device(int Handle, int Buffer = 0);
    // A new handle loaded from an image with the create type and buffer count given; -1 on failure.
    static int LoadSoundImage(const Bytes &Image, int CreateType = 0, int BufferNum = 1, int Is3DSound = 0);

    SoundSystemSession session_;
    ScriptedSoundDevice *device_ = nullptr;
};
