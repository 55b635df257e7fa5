// The rules of voices fed from memory, without a device: the pieces of one processing pass
// (cut, wrap, end), channel gains from volumes and pan, the stereo shadow of mono data, and the
// reverb's post-stop timer across the clock's wrap.
#include "sound_device_support.h"

#include "zovuz/sound/sound_voice_internal.h"

#include <gtest/gtest.h>

#include <string.h>

#include <vector>

namespace {

struct Recorded {
    std::vector<SoundVoicePiece> Pieces;
    bool Refuse = false;
};

int Record(void *Context, SOUNDBUFFER *, const SoundVoicePiece *Piece)
{
    Recorded &r = *static_cast<Recorded *>(Context);
    if (r.Refuse)
        return -1;
    r.Pieces.push_back(*Piece);
    return 0;
}

TEST(SoundVoice, APassSubmitsPiecesOfAtMostASixtiethCutToTheBytesAsked)
{
    const struct {
        const char *Name;
        uint32_t Frames, Start;
        int Loop;
        uint32_t Required, Align;
        bool Refuse;
        std::vector<SoundVoicePiece> Pieces;
        uint32_t SubmitAfter;
        int Result;
    } cases[] = {
        {"one tick of stereo", 44100, 0, 1, 1764, 4, false, {{0, 441}}, 441, 0},
        {"more than a sixtieth", 44100, 100, 1, 6000, 4, false, {{100, 735}, {835, 735}, {1570, 735}}, 2305, 0},
        {"wraps when looping", 1000, 900, 1, 1764, 4, false, {{900, 100}, {0, 441}}, 441, 0},
        {"a sixtieth of a short loop", 1000, 0, 1, 6000, 4, false, {{0, 735}, {735, 265}, {0, 735}}, 735, 0},
        {"ends without a loop", 1000, 900, 0, 1764, 4, false, {{900, 100}}, 1000, 1},
        {"already at the end", 1000, 1000, 0, 4, 4, false, {}, 1000, 1},
        {"nothing asked", 1000, 10, 0, 0, 4, false, {}, 10, 0},
        {"less than a frame asked", 1000, 10, 1, 3, 4, false, {}, 10, 0},
        {"frames of the stereo shadow", 44100, 0, 1, 1764, 8, false, {{0, 220}, {220, 220}}, 440, 0},
        {"a refused piece ends the pass", 44100, 0, 1, 1764, 4, true, {}, 0, 0},
    };
    for (const auto &c : cases)
    {
        SOUNDBUFFER buffer = {};
        buffer.Format = Pcm16Format(2, 44100);
        buffer.SampleNum = c.Frames;
        buffer.SubmitPos = c.Start;
        buffer.Loop = c.Loop;
        Recorded recorded;
        recorded.Refuse = c.Refuse;
        EXPECT_EQ(c.Result, SoundVoice_Feed(&buffer, c.Required, c.Align, Record, &recorded)) << c.Name;
        EXPECT_EQ(c.SubmitAfter, buffer.SubmitPos) << c.Name;
        ASSERT_EQ(c.Pieces.size(), recorded.Pieces.size()) << c.Name;
        for (size_t i = 0; i < c.Pieces.size(); i++)
        {
            EXPECT_EQ(c.Pieces[i].Frame, recorded.Pieces[i].Frame) << c.Name << " " << i;
            EXPECT_EQ(c.Pieces[i].Frames, recorded.Pieces[i].Frames) << c.Name << " " << i;
        }
    }
}

TEST(SoundVoice, ChannelGainsFollowVolumesAndThePanLowersTheOtherSide)
{
    const struct {
        const char *Name;
        int Channels, VoiceChannels;
        int Volume[6];
        int Pan;
        float Gains[6];
    } cases[] = {
        {"stereo", 2, 2, {0, -2000}, 0, {1.0f, 0.1f}},
        {"mono as stereo", 1, 2, {-2000, -6000}, 0, {0.1f, 0.1f}},
        {"pan left", 2, 2, {0, 0}, -2000, {1.0f, 0.1f}},
        {"pan right", 2, 2, {-1000, 0}, 4000, {0.00316228f, 1.0f}},
        {"a mono voice", 1, 1, {-2000}, 2000, {0.01f}},
        {"six channels: no pan", 6, 6, {0, -2000, -4000, 0, 0, 500}, 5000, {1.0f, 0.1f, 0.01f, 1.0f, 1.0f, 1.7782794f}},
    };
    for (const auto &c : cases)
    {
        SOUNDBUFFER buffer = {};
        buffer.Format = Pcm16Format(c.Channels, 44100);
        memcpy(buffer.Volume, c.Volume, sizeof(c.Volume));
        buffer.Pan = c.Pan;
        float gains[SOUNDBUFFER_MAX_CHANNEL_NUM] = {};
        SoundVoice_ChannelGains(&buffer, c.VoiceChannels, gains);
        for (int i = 0; i < c.VoiceChannels; i++)
            EXPECT_NEAR(c.Gains[i], gains[i], 1e-6) << c.Name << " " << i;
    }
}

TEST(SoundVoice, MonoDataIsCopiedTwiceIntoTheShadowAndRegionsOutsideAreRefused)
{
    for (int bits : {8, 16})
    {
        SOUNDBUFFER buffer = {};
        buffer.Format = Pcm16Format(1, 22050);
        buffer.Format.wBitsPerSample = uint16_t(bits);
        buffer.Format.nBlockAlign = uint16_t(bits / 8);
        uint32_t bytes = 16 * buffer.Format.nBlockAlign;
        buffer.Wave = AllocSoundBufferWaveBlock(bytes, 1);
        ASSERT_NE(nullptr, buffer.Wave);
        uint8_t *data = static_cast<uint8_t *>(buffer.Wave->Data);
        uint8_t *shadow = static_cast<uint8_t *>(buffer.Wave->DoubleData);
        memset(shadow, 0, bytes * 2);
        for (uint32_t i = 0; i < bytes; i++)
            data[i] = uint8_t(0x10 + i);

        uint32_t width = buffer.Format.nBlockAlign;
        EXPECT_EQ(0, SoundVoice_CopyToStereoShadow(&buffer, data + 2 * width, 3 * width)) << bits;
        for (uint32_t frame = 0; frame < 16; frame++)
            for (int side = 0; side < 2; side++)
            {
                const uint8_t *sample = shadow + (frame * 2 + side) * width;
                bool copied = frame >= 2 && frame < 5;
                EXPECT_EQ(copied ? data[frame * width] : 0, sample[0]) << bits << " " << frame;
                EXPECT_EQ(copied ? data[frame * width + width - 1] : 0, sample[width - 1]) << bits << " " << frame;
            }
        EXPECT_EQ(-1, SoundVoice_CopyToStereoShadow(&buffer, data + bytes - width, 2 * width)) << "past the end";
        EXPECT_EQ(-1, SoundVoice_CopyToStereoShadow(&buffer, data - width, width)) << "before the start";
        EXPECT_EQ(0, SoundVoice_CopyToStereoShadow(&buffer, nullptr, 0));
        ReleaseSoundBufferWaveBlock(buffer.Wave);
    }
}

TEST(SoundVoice, PostStopTimerWaits3000MillisecondsAcrossTheClocksWrap)
{
    const struct {
        const char *Name;
        int State, Playing, StopTime, Now;
        int Result, StateAfter, StopTimeAfter;
    } cases[] = {
        {"idle", 0, 0, 0, 100, -1, 0, 0},
        {"still playing", 1, 1, 0, 100, 0, 1, 0},
        {"stop first seen", 1, 0, 0, 5000, 0, 2, 5000},
        {"one short", 2, 0, 5000, 7999, 0, 2, 5000},
        {"rung out", 2, 0, 5000, 8000, 1, 0, 5000},
        {"played again meanwhile", 2, 1, 5000, 90000, 0, 2, 5000},
        {"rung out across the wrap", 2, 0, 0x7FFFFF00, 0xB00, 1, 0, 0x7FFFFF00},
        {"waiting across the wrap", 2, 0, 0x7FFFFF00, 0xA00, 0, 2, 0x7FFFFF00},
    };
    for (const auto &c : cases)
    {
        SOUNDBUFFER buffer = {};
        buffer.PostStopState = c.State;
        buffer.PlayFlag = c.Playing;
        buffer.StopTime = c.StopTime;
        EXPECT_EQ(c.Result, SoundVoice_PostStopStep(&buffer, c.Now)) << c.Name;
        EXPECT_EQ(c.StateAfter, buffer.PostStopState) << c.Name;
        EXPECT_EQ(c.StopTimeAfter, buffer.StopTime) << c.Name;
    }
}

}  // namespace
