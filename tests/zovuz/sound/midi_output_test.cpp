// MIDI output and Music handles on the real device: the MCI notification step, the stop and
// play state of a Music handle (with the MCI commands recorded at the Windows API table), the
// temporary MIDI file, and the DirectMusic start of MIDI modes 1 and 2 with its fall-back to MCI
// when DirectMusic cannot be made (forced through the API table's CoCreateInstance).
#include "sound_handle_support.h"

#include "zovuz/core/system_info_internal.h"
#include "zovuz/core/windows/api_table.h"
#include "zovuz/core/desktop/windows/window_state_win.h"
#include "zovuz/sound/midi_output_internal.h"
#include "zovuz/sound/sound_system_internal.h"
#include "zovuz/sound/windows/dsound_device_win.h"
#include "zovuz/sound/zovuz_sound.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <dmusici.h>

#include <string>
#include <vector>

namespace {

struct MciCall {
    UINT Device, Message;
    DWORD_PTR Flags;
    DWORD From;
    DWORD_PTR Callback;
};
std::vector<MciCall> MciCalls;

MCIERROR WINAPI RecordMci(MCIDEVICEID Device, UINT Message, DWORD_PTR Flags, DWORD_PTR Parameters)
{
    MciCall call = {Device, Message, Flags, 0, 0};
    if (Message == MCI_PLAY && Parameters != 0)
    {
        call.From = reinterpret_cast<MCI_PLAY_PARMS *>(Parameters)->dwFrom;
        call.Callback = reinterpret_cast<MCI_PLAY_PARMS *>(Parameters)->dwCallback;
    }
    MciCalls.push_back(call);
    return 0;
}

// Records the MCI commands for the life of the record instead of sending them.
class MciRecorder
{
public:
    MciRecorder()
    {
        LoadWinAPI();
        previous_ = WinAPIData.mciSendCommandWFunc;
        WinAPIData.mciSendCommandWFunc = RecordMci;
        MciCalls.clear();
    }
    ~MciRecorder() { WinAPIData.mciSendCommandWFunc = previous_; }

private:
    decltype(WinAPIData.mciSendCommandWFunc) previous_;
};

TEST(MidiOutput, TheMciNotificationReplaysALoopAndClosesWhatPlays)
{
    MciRecorder recorder;
    // The replay's end is reported to the main window (only its handle is read here).
    HWND window = reinterpret_cast<HWND>(0x1234);
    MainWindowState.MainWindow = window;
    const struct {
        int Loop, Playing;
        UINT Message;  // 0: no command
        int PlayingAfter;
    } cases[] = {
        {0, 0, 0, 0},
        {0, 1, MCI_CLOSE, 0},
        {1, 0, MCI_PLAY, 1},
        {1, 1, MCI_PLAY, 1},
    };
    for (const auto &c : cases)
    {
        MciCalls.clear();
        MidiOutput.MciDeviceId = 7;
        MidiOutput.MciLoopFlag = c.Loop;
        MidiOutput.MciPlayFlag = c.Playing;
        EXPECT_EQ(0, ProcessMidiMciNotify());
        EXPECT_EQ(c.PlayingAfter, MidiOutput.MciPlayFlag) << c.Loop << c.Playing;
        if (c.Message == 0)
        {
            EXPECT_TRUE(MciCalls.empty()) << c.Loop << c.Playing;
            continue;
        }
        ASSERT_EQ(1u, MciCalls.size()) << c.Loop << c.Playing;
        EXPECT_EQ(7u, MciCalls[0].Device);
        EXPECT_EQ(c.Message, MciCalls[0].Message);
        if (c.Message == MCI_PLAY)
        {
            EXPECT_EQ(DWORD_PTR(MCI_NOTIFY | MCI_FROM), MciCalls[0].Flags);
            EXPECT_EQ(0u, MciCalls[0].From);
            EXPECT_EQ(reinterpret_cast<DWORD_PTR>(window), MciCalls[0].Callback);
        }
        else
            EXPECT_EQ(0u, MciCalls[0].Flags);
    }
    MidiOutput.MciLoopFlag = 0;
    MidiOutput.MciPlayFlag = 0;
    MainWindowState.MainWindow = nullptr;
}

MusicHandleData *MusicRecord(int Handle)
{
    return reinterpret_cast<MusicHandleData *>(HandleCheck(Handle));
}

bool FileExists(const wchar_t *Path)
{
    return GetFileAttributesW(Path) != INVALID_FILE_ATTRIBUTES;
}

void MakeTemporaryFile(const wchar_t *Path)
{
    HANDLE file = CreateFileW(Path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    wcscpy(MidiOutput.TempFilePath, Path);
}

TEST(MusicHandles, StopClosesTheSequencerAndDeletesTheWrittenFileAndTheEndDeletesTheRest)
{
    EXPECT_EQ(-1, CheckMusicPlaying(0x14000000));
    EXPECT_EQ(-1, StopMusicHandle(0x14000000));
    MciRecorder recorder;
    const wchar_t *path = L"music.mid";
    {
        SoundSystemSession session;
        ASSERT_EQ(0, session.StartResult);
        ASSERT_EQ(MIDI_MODE_MCI, MidiOutput.MidiMode);
        int music = AddHandle(DX_HANDLETYPE_MUSIC, 0, -1);
        ASSERT_GE(music, 0);
        EXPECT_EQ(-1, CheckMusicPlaying(MakeSoftSoundPlayer2Ch16Bit44100Hz()));
        EXPECT_EQ(-1, CheckMusicPlaying(-1));
        EXPECT_EQ(0, CheckMusicPlaying(music));

        // The sequencer plays in a loop from the temporary file.
        MakeTemporaryFile(path);
        MidiOutput.TempFileWrittenFlag = 1;
        MidiOutput.MciLoopFlag = 1;
        MidiOutput.MciPlayFlag = 1;
        MusicRecord(music)->PlayFlag = 1;
        MusicRecord(music)->PlayStartFlag = 1;
        EXPECT_EQ(1, CheckMusicPlaying(music));

        EXPECT_EQ(0, StopMusicHandle(music));
        ASSERT_EQ(1u, MciCalls.size()) << "closed, not played again";
        EXPECT_EQ(UINT(MCI_CLOSE), MciCalls[0].Message);
        EXPECT_EQ(0, MidiOutput.MciLoopFlag);
        EXPECT_EQ(0, CheckMusicPlaying(music));
        EXPECT_EQ(0, MusicRecord(music)->PlayFlag);
        EXPECT_EQ(0, MusicRecord(music)->PlayStartFlag);
        EXPECT_FALSE(FileExists(path));
        EXPECT_EQ(0, MidiOutput.TempFileWrittenFlag);

        // A file not written yet stays until the device ends; a playing handle's deletion
        // stops it.
        MakeTemporaryFile(path);
        MidiOutput.MciPlayFlag = 1;
        MciCalls.clear();
        EXPECT_EQ(0, SubHandle(music));
        ASSERT_EQ(1u, MciCalls.size());
        EXPECT_EQ(UINT(MCI_CLOSE), MciCalls[0].Message);
        EXPECT_TRUE(FileExists(path));
    }
    EXPECT_FALSE(FileExists(path));
    MidiOutput.TempFilePath[0] = L'\0';
    // The MCI device's end leaves no current music (-1), which a later stop finds nothing in.
    EXPECT_EQ(-1, SoundSystem.CurrentMusicHandle);
    MciCalls.clear();
    EXPECT_EQ(0, StopCurrentMusic());
    EXPECT_EQ(-1, SoundSystem.CurrentMusicHandle);
}

// A Sound handle played in place of MIDI music answers for every Music handle, and a stop of
// either kind ends and deletes it.
class SoundAsMusic : public SoundHandleTest
{
};

TEST_F(SoundAsMusic, TheCurrentSoundHandleIsAskedStoppedAndDeleted)
{
    Bytes image = BuildRiffWave({{"fmt ", PlainFormatBody(1, 2, 44100, 16)}, {"data", Bytes(4000, 0)}});
    int music = AddHandle(DX_HANDLETYPE_MUSIC, 0, -1);
    for (bool stopCurrent : {false, true})
    {
        int sound = LoadSoundImage(image);
        ASSERT_GE(sound, 0);
        ASSERT_EQ(0, PlaySoundHandle(sound, DX_PLAYTYPE_LOOP, 1));
        SoundSystem.CurrentMusicHandle = sound;
        SoundSystem.CurrentMusicIsSound = 1;
        EXPECT_EQ(1, CheckMusicPlaying(music)) << stopCurrent;
        EXPECT_EQ(0, stopCurrent ? StopCurrentMusic() : StopMusicHandle(music));
        EXPECT_EQ(nullptr, HandleCheck(sound)) << stopCurrent;
        EXPECT_EQ(0, SoundSystem.CurrentMusicHandle);
        EXPECT_EQ(0, SoundSystem.CurrentMusicIsSound);
        EXPECT_NE(nullptr, HandleCheck(music)) << "the Music handle itself stays";
    }
}

// CoCreateInstance through the API table, refusing one class.
const CLSID *RefusedClass;
decltype(WinAPIData.CoCreateInstanceFunc) RealCoCreateInstance;

HRESULT WINAPI RefusingCoCreateInstance(REFCLSID Class, LPUNKNOWN Outer, DWORD Context, REFIID Interface, LPVOID *Object)
{
    if (RefusedClass != nullptr && IsEqualCLSID(Class, *RefusedClass))
    {
        *Object = nullptr;
        return REGDB_E_CLASSNOTREG;
    }
    return RealCoCreateInstance(Class, Outer, Context, Interface, Object);
}

class DirectMusicStart : public ::testing::Test
{
protected:
    void SetUp() override
    {
        InitializeCom();
        LoadWinAPI();
        RealCoCreateInstance = WinAPIData.CoCreateInstanceFunc;
        WinAPIData.CoCreateInstanceFunc = RefusingCoCreateInstance;
    }
    void TearDown() override
    {
        TerminateSoundPlatform();
        WinAPIData.CoCreateInstanceFunc = RealCoCreateInstance;
        RefusedClass = nullptr;
        SoundPlatform_SetMidiMode(MIDI_MODE_MCI);
    }
};

TEST_F(DirectMusicStart, WithoutDirectMusicTheDeviceStartsOnDirectSoundForMci)
{
    const struct {
        const CLSID *Refused;
        std::vector<std::wstring> Lines;
    } cases[] = {
        {&CLSID_DirectMusicLoader,
         {L"DirectSound8 の初期化を行います\n", L"DirectMusicLoader8 オブジェクトの作成に失敗しました\n",
          L"前バージョンでの初期化処理に移ります\n", L"DirectSound の初期化を行います\n"}},
        {&CLSID_DirectMusicPerformance,
         {L"DirectSound8 の初期化を行います\n", L"DirectMusicPerformance オブジェクトの作成に失敗しました\n",
          L"DirectSound の初期化を行います\n"}},
    };
    for (const auto &c : cases)
    {
        RefusedClass = c.Refused;
        LogReader log;
        ASSERT_EQ(0, SoundPlatform_SetXAudio2Flag(1));
        ASSERT_EQ(0, SoundPlatform_SetMidiMode(MIDI_MODE_DIRECTMUSIC));
        ASSERT_EQ(0, InitializeSoundPlatform());
        EXPECT_TRUE(log.HasInOrder(c.Lines)) << log.Appended();
        EXPECT_EQ(MIDI_MODE_MCI, MidiOutput.MidiMode);
        EXPECT_EQ(0, SoundPlatform_GetXAudio2Flag()) << "DirectMusic's start leaves XAudio2 off";
        EXPECT_NE(nullptr, GetDirectSoundDevice());
        EXPECT_EQ(nullptr, MidiOutput.Loader);
        EXPECT_EQ(nullptr, MidiOutput.Performance);
        TerminateSoundPlatform();
    }
}

TEST_F(DirectMusicStart, ThePerformanceMakesTheDirectSoundDeviceInBothModes)
{
    EXPECT_EQ(-1, SoundPlatform_SetMidiMode(3));
    for (int mode : {MIDI_MODE_DIRECTMUSIC, MIDI_MODE_DIRECTMUSIC_DYNAMIC})
    {
        LogReader log;
        ASSERT_EQ(0, SoundPlatform_SetMidiMode(mode));
        ASSERT_EQ(0, InitializeSoundPlatform()) << log.Appended();
        EXPECT_EQ(-1, SoundPlatform_SetMidiMode(MIDI_MODE_MCI));
        EXPECT_TRUE(log.HasInOrder({L"DirectSound8 の初期化を行います\n", L"Output port  Device0:",
                                    L"DirectSound デバイスを列挙します\n"}))
            << log.Appended();
        EXPECT_EQ(std::wstring::npos, log.Appended().find(L"DirectSound の初期化を行います")) << log.Appended();
        EXPECT_NE(nullptr, MidiOutput.Performance);
        ASSERT_NE(nullptr, GetDirectSoundDevice());

        // Buffers are made on the performance's DirectSound device.
        SOUNDBUFFER buffer = {};
        SoundWaveFormat format = Pcm16Format(2, 44100);
        EXPECT_EQ(0, SoundBuffer_Initialize(&buffer, 4000, &format, nullptr, 0));
        SoundBuffer_Terminate(&buffer);

        EXPECT_EQ(0, TerminateSoundPlatform());
        EXPECT_EQ(nullptr, MidiOutput.Performance);
        EXPECT_EQ(nullptr, MidiOutput.Loader);
        EXPECT_EQ(0, SoundPlatform_IsInitialized());
        EXPECT_EQ(mode, MidiOutput.MidiMode);
    }
}

}  // namespace
