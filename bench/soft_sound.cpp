// The SoftSound player on the real device:
// - pushing one second of frames as the engines do (441 frames per tick, 100 ticks), beside the
//   same frames appended to a ring buffer under a bare lock;
// - one refill that moves a tick's 441 queued frames into the device buffer, beside the device
//   calls it is made of (the play cursor, a lock of the region, the copy, the unlock) made
//   directly on a buffer of the same size; and a refill that finds nothing due.
#include "bench/support/bench_clock.h"

#include <stdio.h>
#include <string.h>

#include <vector>

#include "zovuz/core/system_info_internal.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/sound/soft_sound_internal.h"
#include "zovuz/sound/sound_thread_internal.h"
#include "zovuz/sound/zovuz_sound.h"

namespace {

constexpr int FramesPerTick = 441;
constexpr int Ticks = 100;
constexpr int Rounds = 20;
constexpr int RefillCalls = 2000;

SoftSoundHandleData *Record(int Handle)
{
    return reinterpret_cast<SoftSoundHandleData *>(HandleCheck(Handle));
}

void Empty(RingBuffer *Queue)
{
    static std::vector<unsigned char> sink;
    sink.resize(size_t(Queue->DataLength));
    RingBufferDataGet(Queue, sink.data(), Queue->DataLength, 0);
}

int Clamp16(int Value)
{
    return Value < -32768 ? -32768 : Value > 32767 ? 32767 : Value;
}

// Best of the rounds, in seconds.
template <typename Work, typename Reset>
double Best(Work work, Reset reset)
{
    double best = 1e9;
    for (int round = 0; round < Rounds; round++)
    {
        double start = BenchSeconds();
        work();
        double elapsed = BenchSeconds() - start;
        if (elapsed < best)
            best = elapsed;
        reset();
    }
    return best;
}

}  // namespace

int main()
{
    SetLogFileOutputFlag(0);
    InitializeCom();
    SetSoundThreadCreateFailForTest(1);  // the benchmark runs the refills itself
    if (InitializeSoundSystem() != 0)
    {
        printf("the sound system could not be started\n");
        return 1;
    }
    int player = MakeSoftSoundPlayer2Ch16Bit44100Hz();
    if (player < 0)
    {
        printf("no player\n");
        return 1;
    }
    RingBuffer *queue = &Record(player)->Player.Queue;

    // Pushing one second of frames.
    double push = Best(
        [player] {
            for (int tick = 0; tick < Ticks; tick++)
                for (int i = 0; i < FramesPerTick; i++)
                    AddOneDataSoftSoundPlayer(player, i * 50, -i * 50);
        },
        [queue] { Empty(queue); });
    DxCriticalSection lock;
    CriticalSectionInitialize(&lock);
    RingBuffer bare;
    RingBufferInitialize(&bare);
    double reference = Best(
        [&lock, &bare] {
            for (int tick = 0; tick < Ticks; tick++)
                for (int i = 0; i < FramesPerTick; i++)
                {
                    CriticalSectionLock(&lock, __FILE__, __LINE__);
                    short frame[2] = {short(Clamp16(i * 50)), short(Clamp16(-i * 50))};
                    RingBufferDataAdd(&bare, frame, sizeof(frame));
                    CriticalSectionUnlock(&lock);
                }
        },
        [&bare] { Empty(&bare); });
    PrintBenchRatio("push one second (44100 calls)", push * 1e3, "ring buffer under a lock", reference * 1e3, "ms");
    Empty(queue);

    // Refills of one tick's frames: the write offset is put at the play cursor each time, so
    // the refill is due and moves the 441 queued frames.
    StartSoftSoundPlayer(player);
    SoftSoundHandleData *record = Record(player);
    SOUNDBUFFER *device = &record->Player.Buffer;
    std::vector<short> tick(FramesPerTick * 2, 100);
    double refill = 0.0;
    for (int call = 0; call < RefillCalls; call++)
    {
        for (int i = 0; i < FramesPerTick; i++)
            AddOneDataSoftSoundPlayer(player, 100, 100);
        uint32_t play = 0;
        SoundBuffer_GetCurrentPosition(device, &play, nullptr);
        record->Player.WriteOffset = play / 4 * 4;
        double start = BenchSeconds();
        UpdateSoftSoundPlayer(record);
        refill += BenchSeconds() - start;
    }
    double direct = 0.0;
    for (int call = 0; call < RefillCalls; call++)
    {
        double start = BenchSeconds();
        uint32_t play = 0;
        SoundBuffer_GetCurrentPosition(device, &play, nullptr);
        void *p1 = nullptr, *p2 = nullptr;
        uint32_t s1 = 0, s2 = 0;
        if (SoundBuffer_Lock(device, play / 4 * 4, FramesPerTick * 4, &p1, &s1, &p2, &s2) == 0)
        {
            memcpy(p1, tick.data(), s1);
            if (p2 != nullptr)
                memcpy(p2, reinterpret_cast<char *>(tick.data()) + s1, s2);
            SoundBuffer_Unlock(device, p1, s1, p2, s2);
        }
        direct += BenchSeconds() - start;
    }
    PrintBenchRatio("refill moving 441 frames", refill / RefillCalls * 1e6, "the device calls alone",
                    direct / RefillCalls * 1e6, "us");

    // A refill with more than a lead written ahead only reads the cursor.
    double idle = 0.0, cursor = 0.0;
    for (int call = 0; call < RefillCalls; call++)
    {
        uint32_t play = 0;
        SoundBuffer_GetCurrentPosition(device, &play, nullptr);
        record->Player.WriteOffset = (play / 4 * 4 + 4 * 4000) % record->Player.BufferBytes;
        double start = BenchSeconds();
        UpdateSoftSoundPlayer(record);
        idle += BenchSeconds() - start;
        start = BenchSeconds();
        SoundBuffer_GetCurrentPosition(device, &play, nullptr);
        cursor += BenchSeconds() - start;
    }
    PrintBenchRatio("refill with nothing due", idle / RefillCalls * 1e6, "reading the play cursor",
                    cursor / RefillCalls * 1e6, "us");

    StopSoftSoundPlayer(player);
    RingBufferTerminate(&bare);
    CriticalSectionDelete(&lock);
    TerminateSoundSystem();
    return 0;
}
