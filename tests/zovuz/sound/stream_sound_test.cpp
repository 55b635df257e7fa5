// Stream sounds on a scripted device whose play cursor the test moves: the refill's window,
// units and shortfall, loop points and the play position across a jump, the end of a sound
// that does not loop (silence, stop, back to 0; also for a truncated file), sources with
// repeats and the loop of the whole, the limit of three sources, positions set and resumed;
// and the loop-information file: its path and its text.
#include "sound_handle_support.h"
#include "tests/support/test_files.h"

#include <string.h>

#include <string>

namespace {

// 8000 Hz mono 16-bit: 16000 bytes a second, a unit of 2000 bytes, a 16000-byte buffer whose
// first fill and long lead are 12000 bytes. Sample n of a ramp is First + n.
constexpr uint32_t BufferBytes = 16000;

Bytes Ramp(int Frames, int First = 0)
{
    return PcmWaveImage(1, 16, 8000, Frames, [First](int Frame, int) { return First + Frame; });
}

class StreamSounds : public SoundHandleTest
{
protected:
    static int16_t Sample(int Handle, uint32_t ByteOffset)
    {
        int16_t value;
        memcpy(&value, &Device(Handle).Data[ByteOffset % BufferBytes], 2);
        return value;
    }
    // Bytes [Offset, Offset + Bytes) of the buffer hold the ramp from First on.
    static bool HoldsRamp(int Handle, uint32_t Offset, uint32_t Bytes, int First)
    {
        for (uint32_t b = 0; b < Bytes; b += 2)
            if (Sample(Handle, Offset + b) != First + int(b / 2)) return false;
        return true;
    }
    // One refill with the cursor at Cursor.
    static int RefillAt(int Handle, uint32_t Cursor)
    {
        Device(Handle).PlayCursor = Cursor;
        return ProcessStreamSound(Handle, 0);
    }
};

TEST_F(StreamSounds, RefillWritesAUnitAheadOrWhatTheShortLeadLacks)
{
    int handle = LoadSoundImage(Ramp(16000), 2);
    ASSERT_GE(handle, 0);
    ASSERT_EQ(0, PlaySoundHandle(handle, DX_PLAYTYPE_BACK, 0));
    EXPECT_EQ(1, Device(handle).LoopFlag);  // the buffer always loops
    EXPECT_TRUE(HoldsRamp(handle, 0, 12000, 0));

    struct Step
    {
        uint32_t Cursor;
        int Result;
        uint32_t WriteAt, Bytes;  // what the refill wrote
        int First;                // ramp value of its first sample
    } steps[] = {
        {0, 0, 12000, 2000, 6000},                               // 3/4 s written ahead: one unit
        {1000, -1, 0, 0, 0},                                     // not yet back in the window
        {2000, 0, 14000, 2000, 7000}, {4000, 0, 0, 2000, 8000},  // the write offset wrapped to 0
        {15000, 0, 2000, 3000, 9000},                            // late: 3/16 s ahead, 3/16 s missing of the short lead
    };
    for (const Step &s : steps) {
        int before = Record(handle).Stream.WriteOffset;
        ASSERT_EQ(s.Result, RefillAt(handle, s.Cursor)) << s.Cursor;
        if (s.Result < 0) {
            EXPECT_EQ(before, Record(handle).Stream.WriteOffset) << s.Cursor;
            continue;
        }
        EXPECT_EQ(int((s.WriteAt + s.Bytes) % BufferBytes), Record(handle).Stream.WriteOffset) << s.Cursor;
        EXPECT_TRUE(HoldsRamp(handle, s.WriteAt, s.Bytes, s.First)) << s.Cursor;
    }
    EXPECT_EQ(15000, GetSoundCurrentPosition(handle));
}

TEST_F(StreamSounds, ALoopPointJumpsAndThePlayPositionFollowsTheJump)
{
    LoadSoundParam param;
    InitLoadSoundParam(&param);
    param.LoopStartSample = 2000;
    param.LoopEndSample = 6000;
    param.CreateType = 2;
    Bytes image = Ramp(8000);
    int handle = LoadSoundMemFromMemImage(&param, 1, -1, image.data(), int(image.size()), 1, -1, 0, 0);
    ASSERT_GE(handle, 0);
    ASSERT_EQ(0, PlaySoundHandle(handle, DX_PLAYTYPE_BACK, 1));
    EXPECT_TRUE(HoldsRamp(handle, 0, 12000, 0));  // exactly up to the loop end

    ASSERT_EQ(0, RefillAt(handle, 0));
    EXPECT_TRUE(HoldsRamp(handle, 12000, 2000, 2000));
    EXPECT_EQ(1, Record(handle).Stream.LoopPending);
    ASSERT_EQ(0, RefillAt(handle, 2000));
    EXPECT_TRUE(HoldsRamp(handle, 14000, 2000, 3000));
    EXPECT_EQ(2000, GetSoundCurrentPosition(handle));
    Device(handle).PlayCursor = 13000;  // 1000 bytes past the jump
    EXPECT_EQ(4000 + 1000, GetSoundCurrentPosition(handle));
    EXPECT_EQ(0, Record(handle).Stream.LoopPending);
    EXPECT_EQ(1, CheckSoundPlaying(handle));
}

// A sound that does not loop: silence after its data (the middle value for 8-bit samples), and
// once the cursor has passed the end the buffer stops and the position is back at 0. A file
// whose data chunk claims more than it holds ends where its bytes end.
TEST_F(StreamSounds, TheEndStopsTheSoundAndRewindsIt)
{
    struct Case
    {
        const char *Name;
        Bytes Image;
        uint32_t DataBytes;  // where the data ends in the buffer
        uint8_t Silence;
    } cases[] = {
        {"8-bit", PcmWaveImage(1, 8, 8000, 4000, [](int, int) { return 0x10; }), 4000, 0x80},
        {"16-bit, truncated",
         BuildRiffWave({{"fmt ", PlainFormatBody(1, 1, 8000, 16)}, {"data", Bytes(4000, 0x11), 20000}}), 4000, 0x00},
    };
    for (const Case &c : cases) {
        int handle = LoadSoundImage(c.Image, 2);
        ASSERT_GE(handle, 0) << c.Name;
        EXPECT_EQ(int(c.DataBytes) / Record(handle).BufferFormat.nBlockAlign, GetSoundTotalSample(handle, 0)) << c.Name;
        ASSERT_EQ(0, PlaySoundHandle(handle, DX_PLAYTYPE_BACK, 1));
        const StreamSoundData &st = Record(handle).Stream;
        EXPECT_EQ(1, st.Ended) << c.Name;
        EXPECT_EQ(int(c.DataBytes), st.EndOffset) << c.Name;
        EXPECT_EQ(c.Silence, Device(handle).Data[c.DataBytes]) << c.Name;
        EXPECT_EQ(c.Silence, Device(handle).Data[c.DataBytes + st.BufferBytes / 8 - 1]) << c.Name;

        EXPECT_EQ(0, RefillAt(handle, c.DataBytes - 100)) << c.Name;  // more silence, still playing
        EXPECT_EQ(1, CheckSoundPlaying(handle)) << c.Name;
        EXPECT_EQ(0, RefillAt(handle, c.DataBytes + 100)) << c.Name;
        EXPECT_EQ(0, CheckSoundPlaying(handle)) << c.Name;
        EXPECT_EQ(0, GetSoundCurrentPosition(handle)) << c.Name;
        SubHandle(handle);
    }
}

TEST_F(StreamSounds, SourcesRepeatInTurnAndTheWholeLoopsWithAJump)
{
    LoadSoundParam param;
    InitLoadSoundParam(&param);
    int handle = LoadSoundImage(Ramp(1000, 0), 2);
    ASSERT_GE(handle, 0);
    Record(handle).Stream.Source[0].RepeatCount = 1;
    Bytes second = Ramp(500, 20000), third = Ramp(250, 30000);
    ASSERT_EQ(0, AddStreamSoundMemImage(&param, second.data(), int(second.size()), 0, handle, 2, -1, 0));
    ASSERT_EQ(0, AddStreamSoundMemImage(&param, third.data(), int(third.size()), 0, handle, 2, -1, 0));
    EXPECT_EQ(1750, GetSoundTotalSample(handle, 0));

    LogReader log;
    Bytes fourth = Ramp(10);
    EXPECT_EQ(-1, AddStreamSoundMemImage(&param, fourth.data(), int(fourth.size()), 0, handle, 2, -1, 0));
    EXPECT_TRUE(log.HasInOrder({L"ストリーム風サウンドの制御データ領域がいっぱいです\n"})) << log.Appended();

    // A, A, B, C, then a jump back to A, A, A, B, C, and a second jump waits for the first.
    ASSERT_EQ(0, PlaySoundHandle(handle, DX_PLAYTYPE_LOOP, 1));
    struct Piece
    {
        uint32_t Offset, Bytes;
        int First;
    } pieces[] = {{0, 2000, 0},    {2000, 2000, 0}, {4000, 1000, 20000}, {5000, 500, 30000},
                  {5500, 2000, 0}, {7500, 2000, 0}, {9500, 1000, 20000}, {10500, 500, 30000}};
    for (const Piece &p : pieces) EXPECT_TRUE(HoldsRamp(handle, p.Offset, p.Bytes, p.First)) << p.Offset;
    EXPECT_EQ(11000, Record(handle).Stream.WriteOffset);
    EXPECT_EQ(5500, Record(handle).Stream.JumpOffset);
    Device(handle).PlayCursor = 6000;
    EXPECT_EQ(500, GetSoundCurrentPosition(handle));
}

TEST_F(StreamSounds, PositionsSetOrStoppedAtAreWhereTheNextPlayStarts)
{
    int handle = LoadSoundImage(Ramp(16000), 2);
    ASSERT_GE(handle, 0);
    ASSERT_EQ(0, PlaySoundHandle(handle, DX_PLAYTYPE_BACK, 1));
    Device(handle).PlayCursor = 3000;
    ASSERT_EQ(0, StopSoundHandle(handle));
    EXPECT_EQ(3000, GetSoundCurrentPosition(handle));
    ASSERT_EQ(0, PlaySoundHandle(handle, DX_PLAYTYPE_BACK, 0));
    EXPECT_TRUE(HoldsRamp(handle, 0, 12000, 1500));  // resumed where it stopped

    // Set while it plays: it goes on from there at once. Set while stopped: the next play starts
    // there. Positions are cut to whole frames; one past the end is refused.
    ASSERT_EQ(0, SetSoundCurrentPosition(20001, handle));
    EXPECT_EQ(1, CheckSoundPlaying(handle));
    EXPECT_TRUE(HoldsRamp(handle, 0, 12000, 10000));
    ASSERT_EQ(0, StopSoundHandle(handle));
    ASSERT_EQ(0, SetSoundCurrentTime(500, handle));
    ASSERT_EQ(0, PlaySoundHandle(handle, DX_PLAYTYPE_BACK, 0));
    EXPECT_TRUE(HoldsRamp(handle, 0, 2000, 4000));
    EXPECT_EQ(-1, SetSoundCurrentPosition(32002, handle));
    ASSERT_EQ(0, PlaySoundHandle(handle, DX_PLAYTYPE_BACK, 1));
    EXPECT_TRUE(HoldsRamp(handle, 0, 2000, 0));
}

// ---------------------------------------------------------------------------------------------
// Loop files

// ASCII text as UTF-16 with its byte-order mark.
std::string Utf16(const char *Text, bool BigEndian)
{
    std::string out = BigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (; *Text != 0; Text++) out += BigEndian ? std::string(1, '\0') + *Text : std::string(1, *Text) + '\0';
    return out;
}

TEST(LoopInfoFile, PathReplacesTheExtensionOfTheNameOnly)
{
    struct
    {
        const wchar_t *Sound, *Loop;
    } cases[] = {
        {L"a.b.wav", L"a.b_loop.txt"},
        {L"noext", L"noext_loop.txt"},
        {L"C:\\a.b\\song", L"C:\\a.b\\song_loop.txt"},
        {L"x.y/z.ogg", L"x.y/z_loop.txt"},
        {L"dir\\.wav", L"dir\\_loop.txt"},
    };
    for (const auto &c : cases) {
        wchar_t path[SOUND_LOOP_FILE_PATH_BYTES / 2];
        ASSERT_EQ(0, MakeLoopInfoFilePath(c.Sound, path, sizeof(path))) << c.Sound;
        EXPECT_EQ(std::wstring(c.Loop), path);
    }
    wchar_t small[10];
    EXPECT_EQ(-1, MakeLoopInfoFilePath(L"noext", small, sizeof(small)));  // 15 characters needed
}

TEST(LoopInfoFile, TextGivesTheLoopOrNothing)
{
    std::string padded = "LOOPSTART=10\nLOOPEND=20\n" + std::string(5000, 'L');
    struct Case
    {
        const char *Name;
        std::string Bytes;
        int Result, Start, End;
    } cases[] = {
        {"length", "LOOPSTART=1000\nLOOPLENGTH=500\n", 0, 1000, 1500},
        {"end", "LOOPSTART=1000\nLOOPEND=1200", 0, 1000, 1200},
        {"end before start", "LOOPSTART=1000\nLOOPEND=900\n", -1, 0, 0},
        {"utf-8, bom, crlf", "\xEF\xBB\xBFLOOPSTART = 44100\r\nLOOPEND = 88200\r\n", 0, 44100, 88200},
        {"utf-16le", Utf16("LOOPSTART=5\nLOOPEND=9", false), 0, 5, 9},
        {"utf-16be", Utf16("LOOPSTART=5\nLOOPEND=9", true), 0, 5, 9},
        {"two bytes", "LO", -1, 0, 0},
        {"nothing after the start", "LOOPSTART=5", -1, 0, 0},
        {"no number", "LOOPSTART=\nLOOPEND=5", -1, 0, 0},
        {"too large", "LOOPSTART=1\nLOOPEND=99999999999", -1, 0, 0},
        {"other key", "LOOPSTART=1\nLOOPSIZE=5", -1, 0, 0},
        {"5000 bytes after the loop", padded, 0, 10, 20},
        {"5000 bytes of text", std::string(5000, 'L'), -1, 0, 0},
        {"keys past the text's room", std::string(300, ' ') + "LOOPSTART=1\nLOOPEND=5\n", -1, 0, 0},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(WriteFileBytes(L"case_loop.txt", c.Bytes));
        int start = 0, end = 0;
        EXPECT_EQ(c.Result, ReadLoopInfoFile(L"case_loop.txt", &start, &end)) << c.Name;
        EXPECT_EQ(c.Start, start) << c.Name;
        EXPECT_EQ(c.End, end) << c.Name;
    }
    int start, end;
    EXPECT_EQ(-1, ReadLoopInfoFile(L"missing_loop.txt", &start, &end));
}

}  // namespace
