// The SoftSound player: a producer appends frames one at a time to the player's queue; the
// refill, run by the sound thread (or the message pump) every 10 ms, moves them into a looping
// device buffer of one second, keeping about 0.1 s of written sound ahead of the play cursor,
// at most two leads (12/256 s each) per pass. It writes silence only when the queue is empty
// and less than a lead is left ahead.
//
// A refill that comes late, after the play cursor has passed the write offset, goes on from the
// device's write cursor: the listener hears a short gap. What the cursor runs over meanwhile is
// silence, never the sound of a second ago, because every pass silences what was heard since the
// pass before. The queue is bounded: while nothing drains it (a paused device, a stalled refill)
// the oldest frames make room, so that the sound is current again soon after the refill resumes.
#include "zovuz/sound/soft_sound_internal.h"
#include "zovuz/sound/sound_platform_internal.h"

#include <string.h>

namespace {

// The record of a live player (not loading), or null.
SoftSoundHandleData *PlayerOf(int Handle)
{
    SoftSoundHandleData *sound = SoftSoundOf(Handle, true);
    return sound != nullptr && sound->IsPlayer ? sound : nullptr;
}

// Runs Work with the live player of Handle under the player lock: its result, or -1 when the
// sound system is not started or Handle is no live player. The lookup is made under the lock,
// so that a deletion on another thread cannot free the record in between.
template <typename Work>
int WithPlayer(int Handle, Work work)
{
    if (!IsSoundSystemInitialized()) return -1;
    CRITICALSECTION_GUARD(guard, SoftSoundPlayerLock());
    SoftSoundHandleData *player = PlayerOf(Handle);
    return player != nullptr ? work(player) : -1;
}

int Clamp(int Value, int Low, int High) { return Value < Low ? Low : Value > High ? High : Value; }

// Builds one frame of the player's format: its size in bytes, or 0 for a format that takes no
// frames (only 8- and 16-bit PCM in one or two channels does; float is always 32-bit).
int BuildFrame(const SoundWaveFormat &Format, int Left, int Right, uint8_t Frame[4])
{
    if (Format.nChannels > 2) return 0;
    bool stereo = Format.nChannels == 2;
    if (Format.wBitsPerSample == 8) {
        Frame[0] = uint8_t(Clamp(Left, 0, 255));
        if (stereo) Frame[1] = uint8_t(Clamp(Right, 0, 255));
        return Format.nBlockAlign;
    }
    if (Format.wBitsPerSample == 16) {
        int16_t samples[2] = {int16_t(Clamp(Left, -32768, 32767)), int16_t(Clamp(Right, -32768, 32767))};
        memcpy(Frame, samples, sizeof(samples));
        return Format.nBlockAlign;
    }
    return 0;
}

// Bytes from From forward to To in a looping buffer of Size bytes.
uint32_t Forward(uint32_t From, uint32_t To, uint32_t Size) { return To >= From ? To - From : To + Size - From; }

// The byte that silence is made of: 8-bit samples are unsigned, their silence is the middle of
// the range.
uint8_t SilenceByte(const SoundWaveFormat &Format)
{
    return Format.wFormatTag == SOUND_FORMAT_TAG_PCM && Format.wBitsPerSample == 8 ? 0x80 : 0;
}

// The queue's frames, whatever the producer or the refill last did with it.
void CountQueuedFrames(SoftSoundHandleData *Player)
{
    Player->Player.QueuedFrames = Player->Player.Queue.DataLength / Player->BufferFormat.nBlockAlign;
}

// The two locked parts of a device region, written in order as one span.
struct LockedRegion
{
    uint8_t *Part[2];
    uint32_t Size[2];

    // Fills Bytes bytes from Offset in the span with Byte.
    void Fill(uint32_t Offset, uint32_t Bytes, uint8_t Byte)
    {
        for (int i = 0; i < 2 && Bytes > 0; i++) {
            if (Offset >= Size[i]) {
                Offset -= Size[i];
                continue;
            }
            uint32_t n = Size[i] - Offset < Bytes ? Size[i] - Offset : Bytes;
            memset(Part[i] + Offset, Byte, n);
            Bytes -= n;
            Offset = 0;
        }
    }
};

}  // namespace

DxCriticalSection *SoftSoundPlayerLock(void) { return SoundHandleTypeLock(DX_HANDLETYPE_SOFTSOUND); }

uint32_t SoftSoundPlayerBufferBytes(uint32_t AvgBytesPerSec, uint32_t BlockAlign)
{
    if (BlockAlign == 0) return 0;
    uint64_t bytes = (uint64_t(AvgBytesPerSec) + BlockAlign - 1) / BlockAlign * BlockAlign;
    return bytes <= 0xFFFFFFFFu ? uint32_t(bytes) : 0;
}

uint32_t SoftSoundPlayerLeadBytes(uint32_t AvgBytesPerSec, uint32_t BlockAlign)
{
    if (BlockAlign == 0) return 0;
    uint64_t lead = uint64_t(AvgBytesPerSec) * 12 / 256;
    return uint32_t((lead + BlockAlign - 1) / BlockAlign * BlockAlign);
}

int AddOneDataSoftSoundPlayer(int SoftSoundPlayerHandle, int Left, int Right)
{
    return WithPlayer(SoftSoundPlayerHandle, [Left, Right](SoftSoundHandleData *Player) {
        auto &p = Player->Player;
        uint8_t frame[4];
        int bytes = BuildFrame(Player->BufferFormat, Left, Right, frame);
        if (bytes == 0) return -1;
        if (p.QueuedFrames >= p.QueueLimitFrames) {
            // Full: the oldest frame makes room, so the queue always ends with the newest.
            uint8_t oldest[4];
            RingBufferDataGet(&p.Queue, oldest, bytes, 0);
            if (p.DroppedFrames++ == 0)
                AddLogStringWide(L"ソフトサウンドプレイヤーのキューが一杯になったため古いデータを破棄しました\n");
        }
        // A queue that cannot grow keeps what it held: the frame is dropped, nothing else.
        int added = RingBufferDataAdd(&p.Queue, frame, bytes);
        CountQueuedFrames(Player);
        return added < 0 ? -1 : 0;
    });
}

namespace {

// Locks Bytes bytes of the device buffer from Offset; false when the device refuses.
bool LockRegion(SOUNDBUFFER &Buffer, uint32_t Offset, uint32_t Bytes, LockedRegion &Region)
{
    void *part1 = nullptr;
    void *part2 = nullptr;
    if (SoundBuffer_Lock(&Buffer, Offset, Bytes, &part1, &Region.Size[0], &part2, &Region.Size[1]) < 0) return false;
    Region.Part[0] = static_cast<uint8_t *>(part1);
    Region.Part[1] = static_cast<uint8_t *>(part2);
    if (Region.Part[1] == nullptr) Region.Size[1] = 0;
    return true;
}

void UnlockRegion(SOUNDBUFFER &Buffer, const LockedRegion &Region)
{
    SoundBuffer_Unlock(&Buffer, Region.Part[0], Region.Size[0], Region.Part[1], Region.Size[1]);
}

// Silences what the play cursor ran over since the last pass, so that the buffer holds nothing
// but silence outside the stretch written ahead. A cursor seen behind its last place (or a whole
// loop on) only ever silences what lies outside that stretch.
void SilenceHeard(SoftSoundHandleData *Player, uint32_t Play)
{
    auto &p = Player->Player;
    const uint32_t size = p.BufferBytes;
    uint32_t ahead = Forward(Play, p.WriteOffset, size);
    uint32_t outside = ahead == 0 ? size : size - ahead;
    uint32_t from = Forward(p.HeardTo, Play, size) <= outside ? p.HeardTo : p.WriteOffset;
    uint32_t bytes = Forward(from, Play, size);
    LockedRegion region;
    if (bytes == 0 || !LockRegion(p.Buffer, from, bytes, region)) return;
    region.Fill(0, region.Size[0] + region.Size[1], SilenceByte(Player->BufferFormat));
    UnlockRegion(p.Buffer, region);
    p.HeardTo = Play;
}

}  // namespace

void SetupSoftSoundPlayerPacing(SoftSoundHandleData *Player, uint32_t AvgBytesPerSec, uint32_t BlockAlign)
{
    auto &p = Player->Player;
    uint64_t ahead = BlockAlign == 0 ? 0 : (uint64_t(AvgBytesPerSec) / 10 + BlockAlign - 1) / BlockAlign * BlockAlign;
    p.AheadBytes = ahead < p.BufferBytes ? uint32_t(ahead) : p.BufferBytes / 2 / BlockAlign * BlockAlign;
    p.HeardTo = 0;
    uint64_t limit = BlockAlign == 0 ? 0 : uint64_t(AvgBytesPerSec) * 4 / 10 / BlockAlign;
    p.QueueLimitFrames = limit < 1 ? 1 : int(limit);
    p.DroppedFrames = 0;
    // The buffer starts silent, as the refill keeps it outside what it wrote ahead.
    LockedRegion region;
    if (!LockRegion(p.Buffer, 0, p.BufferBytes, region)) return;
    region.Fill(0, region.Size[0] + region.Size[1], SilenceByte(Player->BufferFormat));
    UnlockRegion(p.Buffer, region);
}

int UpdateSoftSoundPlayer(SoftSoundHandleData *Player)
{
    auto &p = Player->Player;
    if (!p.PlayingFlag) return 0;
    CRITICALSECTION_GUARD(guard, SoftSoundPlayerLock());

    uint32_t play = 0;
    uint32_t deviceWrite = 0;
    if (SoundBuffer_GetCurrentPosition(&p.Buffer, &play, &deviceWrite) < 0) return -1;
    const uint32_t size = p.BufferBytes;
    const uint32_t lead = p.LeadBytes;
    const uint32_t frameBytes = Player->BufferFormat.nBlockAlign;

    // The device may already have taken what lies between its play and write cursors (a
    // device whose write cursor is not near its play cursor, or that gives none, is written from
    // the play cursor). A write offset there, or one the play cursor has passed (more written
    // ahead than the refill ever keeps), means the refill came late: it goes on from the write
    // cursor, after a short gap.
    uint32_t committed = Forward(play, deviceWrite % size, size);
    if (committed >= p.AheadBytes) committed = 0;
    uint32_t written = Forward(play, p.WriteOffset, size);
    if (written > p.AheadBytes || written < committed) {
        uint32_t next = (play + committed + frameBytes - 1) / frameBytes * frameBytes;
        p.WriteOffset = next >= size ? next - size : next;
    }
    SilenceHeard(Player, play);

    // Top up to the stretch kept ahead, two leads at most; silence only when the queue is empty
    // and the device is down to its last lead.
    const uint32_t ahead = Forward(play, p.WriteOffset, size);
    if (ahead >= p.AheadBytes) return 0;
    uint32_t wanted = p.AheadBytes - ahead < 2 * lead ? p.AheadBytes - ahead : 2 * lead;
    uint32_t needed = wanted / frameBytes;
    uint32_t queued = uint32_t(p.QueuedFrames);
    uint32_t fromQueue = queued < needed ? queued : needed;
    uint32_t silent = queued == 0 && ahead <= lead ? needed : 0;
    uint32_t bytes = (fromQueue + silent) * frameBytes;
    if (bytes == 0) return 0;

    LockedRegion region;
    if (!LockRegion(p.Buffer, p.WriteOffset, bytes, region)) return -1;

    // Never more than the device gave, and whole frames only.
    uint32_t locked = region.Size[0] + region.Size[1];
    uint32_t queueBytes = fromQueue * frameBytes;
    if (queueBytes > locked) queueBytes = locked / frameBytes * frameBytes;
    uint32_t first = queueBytes < region.Size[0] ? queueBytes : region.Size[0];
    RingBufferDataGet(&p.Queue, region.Part[0], int(first), 0);
    RingBufferDataGet(&p.Queue, region.Part[1], int(queueBytes - first), 0);
    CountQueuedFrames(Player);
    if (silent > 0) region.Fill(queueBytes, locked - queueBytes, SilenceByte(Player->BufferFormat));
    UnlockRegion(p.Buffer, region);

    uint32_t next = p.WriteOffset + locked;
    p.WriteOffset = next >= size ? next - size : next;
    return 0;
}

int ProcessSoftSoundPlayers(void)
{
    if (!IsSoundDeviceReady()) return -1;
    if (!IsSoundSystemInitialized()) return 0;
    CRITICALSECTION_GUARD(guard, SoftSoundPlayerLock());
    for (HandleListNode *node = SoundSystem.SoftSoundPlayerListFirst.Next; node->Next != nullptr; node = node->Next)
        UpdateSoftSoundPlayer(static_cast<SoftSoundHandleData *>(node->Data));
    return 0;
}

int StartSoftSoundPlayer(int SoftSoundPlayerHandle)
{
    return WithPlayer(SoftSoundPlayerHandle, [](SoftSoundHandleData *Player) {
        if (Player->Player.PlayingFlag) return 0;
        Player->Player.PlayingFlag = 1;
        UpdateSoftSoundPlayer(Player);
        if (SoundBuffer_Play(&Player->Player.Buffer, 1) < 0) {
            // Not playing: the next start must try the device again.
            Player->Player.PlayingFlag = 0;
            return -1;
        }
        return 0;
    });
}

int StopSoftSoundPlayer(int SoftSoundPlayerHandle)
{
    return WithPlayer(SoftSoundPlayerHandle, [](SoftSoundHandleData *Player) {
        if (Player->Player.PlayingFlag) {
            SoundBuffer_Stop(&Player->Player.Buffer, 1);
            Player->Player.PlayingFlag = 0;
        }
        return 0;
    });
}

int PauseAllSoftSoundPlayers(int PauseFlag)
{
    if (!IsSoundSystemInitialized() || !IsSoundDeviceReady()) return -1;
    CRITICALSECTION_GUARD(guard, SoftSoundPlayerLock());
    for (HandleListNode *node = SoundSystem.SoftSoundPlayerListFirst.Next; node->Next != nullptr; node = node->Next) {
        auto &p = static_cast<SoftSoundHandleData *>(node->Data)->Player;
        bool onDevice = p.Buffer.Valid && SoundBuffer_Platform_HasDeviceBuffer(&p.Buffer);
        if (PauseFlag) {
            if (!onDevice || p.PausedFlag) continue;
            int status = SoundBuffer_GetStatus(&p.Buffer);
            if (status < 0) {
                p.PausedFlag = 0;
                continue;
            }
            p.PausedFlag = 1;
            p.WasPlayingFlag = status == 1 ? 1 : 0;
            if (status == 1) SoundBuffer_Stop(&p.Buffer, 1);
        } else if (!p.PlayingFlag) {
            p.PausedFlag = 0;
        } else if (onDevice) {
            if (p.PausedFlag && p.WasPlayingFlag) SoundBuffer_Play(&p.Buffer, p.Buffer.Loop);
            p.PausedFlag = 0;
        }
    }
    return 0;
}
