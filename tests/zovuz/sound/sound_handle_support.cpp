#include "sound_handle_support.h"

void SoundHandleTest::SetUp()
{
    ASSERT_EQ(0, session_.StartResult);
    device_ = new ScriptedSoundDevice;
}

void SoundHandleTest::TearDown()
{
    DeleteHandleTypeAll(DX_HANDLETYPE_SOUND, nullptr);
    delete device_;
}

SoundHandleData &SoundHandleTest::Record(int Handle)
{
    return *reinterpret_cast<SoundHandleData *>(HandleCheck(Handle));
}

ScriptedDeviceBuffer &SoundHandleTest::Device(int Handle, int Buffer)
{
    return *ScriptedSoundDevice::Of(&Record(Handle).Buffer[Buffer]);
}

int SoundHandleTest::LoadSoundImage(const Bytes &Image, int CreateType, int BufferNum, int Is3DSound)
{
    LoadSoundParam param;
    InitLoadSoundParam(&param);
    param.CreateType = CreateType;
    param.Is3DSound = Is3DSound;
    return LoadSoundMemFromMemImage(&param, 1, -1, Image.data(), int(Image.size()), BufferNum, -1, 0, 0);
}
