// MIDI output: the MCI sequencer's notification step, the device side of Music handles, and the
// DirectMusic start and end of MIDI modes 1 and 2.
#include "zovuz/sound/midi_output_internal.h"
#include "zovuz/sound/sound_system_internal.h"
#include "zovuz/sound/windows/sound_device_win.h"

#include "zovuz/core/zovuz_core.h"

#include <windows.h>
#include <mmsystem.h>
#include <dmusici.h>

#include <string.h>

MidiOutputData MidiOutput;

namespace {

// MCI commands issued after a stop so that the close's own notification is handled at once.
constexpr int StopPumpPasses = 5;

constexpr DWORD PerformanceChannels = 64;
// DirectMusic: the Unicode description of a port, at most this many characters logged.
constexpr size_t PortDescriptionLength = 262;

IDirectMusicPerformance8 *Performance() { return static_cast<IDirectMusicPerformance8 *>(MidiOutput.Performance); }

IDirectMusicLoader8 *Loader() { return static_cast<IDirectMusicLoader8 *>(MidiOutput.Loader); }

IDirectMusicSegment8 *SegmentOf(MusicHandleData *Music) { return static_cast<IDirectMusicSegment8 *>(Music->Segment); }

// The DirectMusic ports, for the log. -1 when the DirectMusic object cannot be had.
int LogPorts(void)
{
    ComRef<IDirectMusic> music;
    HRESULT hr =
        CreateComInstance(&CLSID_DirectMusic, nullptr, CLSCTX_INPROC_SERVER, &IID_IDirectMusic, music.PutVoid());
    if (FAILED(hr) || !music) {
        AddLogStringWide(L"DirectMusic オブジェクトの取得に失敗しました\n");
        return LogPlatformFailure(L"CoCreateInstance(DirectMusic)", hr);
    }
    ComRef<IDirectMusic8> music8;
    hr = music->QueryInterface(IID_IDirectMusic8, music8.PutVoid());
    if (FAILED(hr) || !music8) {
        AddLogStringWide(L"DirectMusic8 オブジェクトの取得に失敗しました\n");
        return LogPlatformFailure(L"IDirectMusic::QueryInterface(IDirectMusic8)", hr);
    }
    static_assert(sizeof(DMUS_PORTCAPS) == 308, "the 308-byte port description");
    for (DWORD index = 0;; index++) {
        DMUS_PORTCAPS caps;
        memset(&caps, 0, sizeof(caps));
        caps.dwSize = sizeof(caps);
        // Anything but S_OK ends the list: S_FALSE past the last port, or a failure.
        if (music8->EnumPort(index, &caps) != S_OK) break;
        wchar_t description[PortDescriptionLength + 1];
        size_t length = wcsnlen(caps.wszDescription, sizeof(caps.wszDescription) / sizeof(wchar_t));
        if (length > PortDescriptionLength) length = PortDescriptionLength;
        memcpy(description, caps.wszDescription, length * sizeof(wchar_t));
        description[length] = L'\0';
        AddLogFormat(L"%s  Device%d:%s ", caps.dwClass == DMUS_PC_OUTPUTCLASS ? L"Output port" : L"Input port",
                     int(index), description);
    }
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// MCI

int ProcessMidiMciNotify(void)
{
    MidiOutputData &m = MidiOutput;
    if (m.MciLoopFlag == 1) {
        MCI_PLAY_PARMS play;
        memset(&play, 0, sizeof(play));
        play.dwCallback = reinterpret_cast<DWORD_PTR>(GetMainWindowHandle());
        play.dwFrom = 0;
        SendMciCommand(m.MciDeviceId, MCI_PLAY, MCI_NOTIFY | MCI_FROM, reinterpret_cast<uintptr_t>(&play));
        m.MciPlayFlag = 1;
    } else if (m.MciPlayFlag == 1) {
        SendMciCommand(m.MciDeviceId, MCI_CLOSE, 0, 0);
        m.MciPlayFlag = 0;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// The device side of Music handles

int Music_Platform_CheckPlaying(MusicHandleData *Music)
{
    if (MidiOutput.MidiMode == MIDI_MODE_MCI) return MidiOutput.MciPlayFlag;
    if (MidiOutputIsDirectMusic()) return Music->PlayFlag;
    return -1;
}

int Music_Platform_Process(MusicHandleData *Music)
{
    if (!MidiOutputIsDirectMusic() || Performance() == nullptr || SegmentOf(Music) == nullptr) return 0;
    bool playing = Performance()->IsPlaying(SegmentOf(Music), nullptr) != S_FALSE;
    // Until the segment is first seen playing, a silent answer is its start still to come.
    if (!Music->PlayStartFlag) {
        if (playing) Music->PlayStartFlag = 1;
    } else
        Music->PlayFlag = playing ? 1 : 0;
    return 0;
}

int Music_Platform_Stop(MusicHandleData *Music)
{
    if (MidiOutput.MidiMode == MIDI_MODE_MCI) {
        ProcessMidiMciNotify();
        for (int i = 0; i < StopPumpPasses; i++) ProcessMessage();
    } else if (MidiOutputIsDirectMusic() && Performance() != nullptr && SegmentOf(Music) != nullptr)
        Performance()->StopEx(SegmentOf(Music), 0, 0);

    if (MidiOutput.TempFileWrittenFlag == 1) {
        DeleteFileW(MidiOutput.TempFilePath);
        MidiOutput.TempFileWrittenFlag = 0;
    }
    return 0;
}

int Music_Platform_Terminate(MusicHandleData *Music)
{
    IDirectMusicSegment8 *segment = SegmentOf(Music);
    if (segment == nullptr) return 0;
    if (Performance() != nullptr) segment->Unload(Performance());
    if (Loader() != nullptr) Loader()->ReleaseObjectByUnknown(segment);
    segment->Release();
    Music->Segment = nullptr;
    Music->SegmentState = nullptr;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// DirectMusic start and end

int DirectMusic_Start(IDirectSound **DirectSound)
{
    MidiOutputData &m = MidiOutput;
    AddLogStringWide(L"DirectSound8 の初期化を行います\n");

    IDirectMusicLoader8 *loader = nullptr;
    HRESULT hr = CreateComInstance(&CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                   &IID_IDirectMusicLoader8, reinterpret_cast<void **>(&loader));
    if (FAILED(hr) || loader == nullptr) {
        AddLogStringWide(L"DirectMusicLoader8 オブジェクトの作成に失敗しました\n");
        AddLogStringWide(L"前バージョンでの初期化処理に移ります\n");
        LogPlatformFailure(L"CoCreateInstance(DirectMusicLoader)", hr);
        m.MidiMode = MIDI_MODE_MCI;
        return 1;
    }
    IDirectMusicPerformance8 *performance = nullptr;
    hr = CreateComInstance(&CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                           &IID_IDirectMusicPerformance8, reinterpret_cast<void **>(&performance));
    if (FAILED(hr) || performance == nullptr) {
        loader->Release();
        AddLogStringWide(L"DirectMusicPerformance オブジェクトの作成に失敗しました\n");
        LogPlatformFailure(L"CoCreateInstance(DirectMusicPerformance)", hr);
        m.MidiMode = MIDI_MODE_MCI;
        return 1;
    }
    m.Loader = loader;
    m.Performance = performance;

    // The loader and performance made so far go with a failure, so that a later start begins
    // afresh.
    if (LogPorts() < 0) {
        DirectMusic_End();
        return -1;
    }

    DMUS_AUDIOPARAMS params;
    memset(&params, 0, sizeof(params));
    static_assert(sizeof(DMUS_AUDIOPARAMS) == 40, "the 40-byte audio parameters");
    params.dwSize = sizeof(params);
    params.fInitNow = TRUE;
    params.dwValidData = DMUS_AUDIOPARAMS_FEATURES | DMUS_AUDIOPARAMS_SAMPLERATE;
    params.dwFeatures = DMUS_AUDIOF_ALL;
    params.dwSampleRate = 44100;
    DWORD pathType =
        m.MidiMode == MIDI_MODE_DIRECTMUSIC ? DMUS_APATH_SHARED_STEREOPLUSREVERB : DMUS_APATH_DYNAMIC_STEREO;
    hr = performance->InitAudio(nullptr, DirectSound, nullptr, pathType, PerformanceChannels, DMUS_AUDIOF_ALL, &params);
    if (FAILED(hr)) {
        AddLogStringWide(L"DirectMusicPerformanceオブジェクトの初期化に失敗しました\n");
        LogPlatformFailure(L"IDirectMusicPerformance8::InitAudio", hr);
        if (DirectSound != nullptr && *DirectSound != nullptr) ReleaseAndClear(*DirectSound);
        DirectMusic_End();
        return -1;
    }
    long volume = 0;
    performance->GetGlobalParam(GUID_PerfMasterVolume, &volume, sizeof(volume));
    m.MasterVolume = volume;
    return 0;
}

void DirectMusic_End(void)
{
    MidiOutputData &m = MidiOutput;
    if (Performance() != nullptr) {
        Performance()->Stop(nullptr, nullptr, 0, 0);
        Performance()->CloseDown();
        Performance()->Release();
        m.Performance = nullptr;
    }
    if (Loader() != nullptr) {
        Loader()->Release();
        m.Loader = nullptr;
    }
}
