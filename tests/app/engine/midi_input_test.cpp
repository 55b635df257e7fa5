// MIDI input: the device's open and close through a recording layer over WinMM, with a device
// and without one (this machine has none), and the callback's notes on the current track,
// called as WinMM would call it.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/engine/engine_lock.h"
#include "app/engine/midi_input.h"
#include "app/engine/sequencer/song_engine.h"
#include "app/engine/windows/midi_input_win.h"
#include "tests/support/engine/plugin_fixture.h"

namespace {

class MidiInputTest : public PluginSlotsTest {
 protected:
  void SetUp() override {
    PluginSlotsTest::SetUp();
    ResetSongEngine();
    for (PcmVoice& v : g_songs[0].voices) v = PcmVoice{};
    // What the reset queued (bends to the centre) is not the keyboard's.
    for (PluginSlot& slot : g_pluginSlots) slot.DropPendingEvents();
  }
  void TearDown() override {
    g_midiInput.currentTrack = 0;
    ResetSongEngine();
    for (PcmVoice& v : g_songs[0].voices) v = PcmVoice{};
    PluginSlotsTest::TearDown();
  }
  // The callback with a short message, as WinMM calls it.
  static void Receive(uint32_t message, UINT type = MIM_DATA) { MidiInCallback(nullptr, type, 0, message, 0); }
};

// WinMM as the device code sees it: the calls in order, each marked when it was given another
// handle or header than the device's, or a header size that is not the header's.
UINT g_devices;  // device 0 opens when there is one
std::vector<std::string> g_calls;
LPMIDIHDR g_header;  // the header the device was first given
const HMIDIIN kDevice = reinterpret_cast<HMIDIIN>(0x4d49);

MMRESULT Record(const char* call, HMIDIIN handle, LPMIDIHDR header = nullptr, UINT bytes = sizeof(MIDIHDR)) {
  if (header && !g_header) g_header = header;
  const bool asked = handle == kDevice && (!header || (header == g_header && bytes == sizeof(MIDIHDR)));
  g_calls.push_back(std::string(call) + (asked ? "" : " (another handle or header)"));
  return MMSYSERR_NOERROR;
}
UINT WINAPI RecordDevices() { return g_devices; }
MMRESULT WINAPI RecordCaps(UINT_PTR, LPMIDIINCAPSA, UINT) { return Record("caps", kDevice); }
MMRESULT WINAPI RecordOpen(LPHMIDIIN handle, UINT device, DWORD_PTR callback, DWORD_PTR, DWORD flags) {
  const bool asked =
      device == 0 && callback == reinterpret_cast<DWORD_PTR>(MidiInCallback) && flags == CALLBACK_FUNCTION;
  g_calls.push_back(asked ? "open" : "open (not device 0 with the callback)");
  if (g_devices == 0) return MMSYSERR_BADDEVICEID;
  *handle = kDevice;
  return MMSYSERR_NOERROR;
}
MMRESULT WINAPI RecordPrepare(HMIDIIN h, LPMIDIHDR header, UINT bytes) { return Record("prepare", h, header, bytes); }
MMRESULT WINAPI RecordAddBuffer(HMIDIIN h, LPMIDIHDR header, UINT bytes) {
  return Record(header->dwBufferLength == 1024 ? "add buffer" : "add buffer (not 1024 bytes)", h, header, bytes);
}
MMRESULT WINAPI RecordStart(HMIDIIN h) { return Record("start", h); }
MMRESULT WINAPI RecordStop(HMIDIIN h) { return Record("stop", h); }
MMRESULT WINAPI RecordReset(HMIDIIN h) { return Record("reset", h); }
MMRESULT WINAPI RecordUnprepare(HMIDIIN h, LPMIDIHDR header, UINT bytes) {
  return Record("unprepare", h, header, bytes);
}
MMRESULT WINAPI RecordClose(HMIDIIN h) { return Record("close", h); }

const MidiInCalls kRecordingCalls = {
    .GetNumDevs = RecordDevices,
    .GetDevCaps = RecordCaps,
    .Open = RecordOpen,
    .PrepareHeader = RecordPrepare,
    .AddBuffer = RecordAddBuffer,
    .Start = RecordStart,
    .Stop = RecordStop,
    .Reset = RecordReset,
    .UnprepareHeader = RecordUnprepare,
    .Close = RecordClose,
};

// With a device: prepared, queued and started; at the end stopped, reset, unprepared and closed,
// once. Without one: nothing past the open, nothing allocated, nothing to close.
TEST(MidiDevice, OpensAndClosesInOrderWithADeviceAndCallsNothingMoreWithout) {
  using Calls = std::vector<std::string>;
  const struct {
    UINT devices;
    bool opens;
    Calls open, close;
  } cases[] = {
      {2, true, {"caps", "caps", "open", "prepare", "add buffer", "start"}, {"stop", "reset", "unprepare", "close"}},
      {0, false, {"open"}, {}},
  };
  SetMidiInCalls(&kRecordingCalls);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.devices << " devices");
    g_devices = c.devices;
    g_header = nullptr;
    EXPECT_EQ(c.opens, OpenMidiInput());
    EXPECT_EQ(c.opens, MidiInputIsOpen());
    EXPECT_EQ(c.open, std::exchange(g_calls, {}));
    CloseMidiInput();
    CloseMidiInput();
    EXPECT_FALSE(MidiInputIsOpen());
    EXPECT_EQ(c.close, std::exchange(g_calls, {}));
  }
  HMIDIIN handle = nullptr;
  MIDIHDR* header = nullptr;
  EXPECT_EQ(0u, OpenMidiInHandle(&handle, &header));
  EXPECT_TRUE(handle == nullptr && header == nullptr);
  SetMidiInCalls(nullptr);
}

TEST_F(MidiInputTest, KeysOnAnInstrumentTrackQueueNotesOnItsInstrument) {
  const struct {
    uint32_t message;
    UINT type;
    std::vector<std::vector<int>> queued;
  } cases[] = {
      {0x7F3C90, MIM_DATA, {{0x90, 60, 127}}},
      {0x203C93, MIM_DATA, {{0x90, 60, 32}}},
      {0x003C90, MIM_DATA, {{0x80, 60, 100}}},
      {0x403C80, MIM_DATA, {{0x80, 60, 100}}},
      {0x7F3CB0, MIM_DATA, {}},
      {0x7F3CE0, MIM_DATA, {}},
      {0x7F3C90, MIM_OPEN, {}},
      {0x7F3C90, MIM_LONGDATA, {}},
  };
  g_midiInput.currentTrack = 2;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.message << " " << c.type);
    Receive(c.message, c.type);
    EXPECT_EQ(PendingMidiBytes(SlotOf(2, 0)), c.queued);
    EXPECT_TRUE(PendingMidiBytes(SlotOf(0, 0)).empty());
    SlotOf(2, 0).DropPendingEvents();
  }
}

TEST_F(MidiInputTest, KeysOnASampleTrackStartTheFirstFreeVoiceOfSong0) {
  SongEngine& song = g_songs[0];
  // The track's own volume and pan, and the song's scale, play no part: the key sounds at the
  // centre, as loud as it was struck.
  song.tracks[11].volume = 200;
  song.tracks[11].pan = 30;
  song.volumeScale = 0.5f;
  song.voices[0].active = 1;
  song.voices[1].active = 1;
  // Bank mode: the first record whose note is the played key.
  song.sampleMode = 1;
  song.bankLastIndex = 2;
  song.bankKeys[0] = 72;
  song.bankKeys[1] = 60;
  song.bankKeys[2] = 60;
  song.bankLengths[1] = 5000;
  g_midiInput.currentTrack = 11;
  Receive(0x7F3C90);
  const PcmVoice& v = song.voices[2];
  EXPECT_TRUE(v.active);
  EXPECT_EQ(v.sample, 1);
  EXPECT_EQ(v.length, 5000);
  EXPECT_EQ(v.volume, 254);
  EXPECT_EQ(v.pan, 64);
  EXPECT_EQ(v.track, 11);
  EXPECT_EQ(v.channels, 1);
  // A key no record carries, and a note-off, start nothing; the note-off still goes to the
  // channel's slot 0.
  Receive(0x403D90);
  Receive(0x403C80);
  EXPECT_FALSE(song.voices[3].active);
  EXPECT_EQ(TakePendingMidiBytes(SlotOf(11, 0)), (std::vector<std::vector<int>>{{0x80, 60, 100}}));
  // List mode: the entry with the key; with every voice busy nothing is started.
  song.sampleMode = 0;
  song.listCount = 1;
  song.sampleList[0] = SongSampleListEntry{60, 1234, 777, 2};
  Receive(0x013C90);
  EXPECT_EQ(song.voices[3].sample, 1234);
  EXPECT_EQ(song.voices[3].length, 777);
  EXPECT_EQ(song.voices[3].channels, 2);
  EXPECT_EQ(song.voices[3].volume, 2);
  EXPECT_EQ(song.voices[3].pan, 64);
  for (PcmVoice& each : song.voices) each.active = 1;
  song.voices[3].sample = 0;
  Receive(0x403C90);
  EXPECT_EQ(song.voices[3].sample, 0);
  EXPECT_TRUE(PendingMidiBytes(SlotOf(11, 0)).empty());
}

TEST_F(MidiInputTest, AVoiceIsFilledOnlyWhileNoTickRuns) {
  SongEngine& song = g_songs[0];
  song.listCount = 1;
  song.sampleList[0] = SongSampleListEntry{60, 5, 100, 1};
  g_midiInput.currentTrack = 9;
  std::thread keyboard;
  {
    EngineLock tick = LockEngine();  // as a render tick holds it
    keyboard = std::thread([] { Receive(0x403C90); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(song.voices[0].active);
  }
  keyboard.join();
  EXPECT_TRUE(song.voices[0].active);
}

}  // namespace
