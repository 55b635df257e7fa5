// The MIDI keyboard: the track the shell makes current is the one the device callback plays,
// keys played hard against a running render never reach outside a sample, and the open flag
// follows the device, whether the machine has one or not.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "app/engine/mml/sample_load.h"
#include "app/engine/sequencer/sequencer.h"
#include "app/engine/sequencer/song_engine.h"
#include "app/engine/windows/midi_input_win.h"
#include "app/shell/app_state.h"
#include "app/shell/midi_keyboard.h"
#include "tests/support/engine/plugin_fixture.h"

namespace {

typedef std::vector<std::vector<int>> Midi;

class MidiKeyboard : public PluginSlotsTest {
 protected:
  void SetUp() override {
    PluginSlotsTest::SetUp();
    ResetSongEngine();
    // What the reset queued (bends to the centre) is not the keyboard's.
    for (PluginSlot& slot : g_pluginSlots) slot.DropPendingEvents();
  }
  void TearDown() override {
    g_app.SetCurrentTrack(1);
    ResetSongEngine();
    PluginSlotsTest::TearDown();
  }
  // The callback with a short message, as WinMM calls it.
  static void Receive(uint32_t message, UINT type = MIM_DATA) { MidiInCallback(nullptr, type, 0, message, 0); }
  static int ActiveVoices() {
    int n = 0;
    for (const PcmVoice& v : g_songs[0].voices) n += v.active;
    return n;
  }
};

TEST_F(MidiKeyboard, TheCallbackPlaysTheTrackTheShellMadeCurrent) {
  SongEngine& song = g_songs[0];
  song.listCount = 1;
  song.sampleList[0] = SongSampleListEntry{60, 7, 100, 1};
  const struct {
    int track;
    uint32_t message;
    UINT type;
    Midi queued;  // on slot 0 of the track
    int voices;   // sample voices started
  } cases[] = {
      {3, 0x003C93, MIM_DATA, {{0x80, 60, 100}}, 0},  // a note-on at velocity 0 ends the note
      {3, 0x403C90, MIM_LONGDATA, {}, 0},
      {11, 0x7F3C90, MIM_DATA, {}, 1},
      {16, 0x7F3C90, MIM_DATA, {}, 0},                 // a bus plays no notes
      {16, 0x003C90, MIM_DATA, {{0x80, 60, 100}}, 0},  // but its note-offs still go to slot 0
      {18, 0x003C80, MIM_DATA, {{0x80, 60, 100}}, 0},
      {19, 0x003C80, MIM_DATA, {}, 0},
      {-1, 0x7F3C90, MIM_DATA, {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "track " << c.track << std::hex << " message " << c.message);
    g_app.SetCurrentTrack(c.track);
    EXPECT_EQ(g_app.currentTrack, c.track);
    Receive(c.message, c.type);
    for (int slot = 0; slot < kPluginSlotCount; ++slot) {
      const bool own = slot == c.track * kPluginPositionCount;
      EXPECT_EQ(TakePendingMidiBytes(g_pluginSlots[slot]), own ? c.queued : Midi{}) << "slot " << slot;
    }
    EXPECT_EQ(ActiveVoices(), c.voices);
    if (c.voices) {
      EXPECT_EQ(song.voices[0].track, c.track);
    }
    song.StopVoices();
  }
}

// Sample data whose last byte is the last before a page that may not be read: a read one frame
// past the end faults at once.
class FencedSample {
 public:
  FencedSample(int32_t frames, int32_t channels) : frames(frames), channels(channels) {
    const size_t bytes = sizeof(int16_t) * frames * channels, room = (bytes + kPage - 1) / kPage * kPage;
    base_ = static_cast<char*>(VirtualAlloc(nullptr, room + kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    if (base_ && VirtualProtect(base_ + room, kPage, PAGE_NOACCESS, &old))
      samples = reinterpret_cast<int16_t*>(base_ + room - bytes);
  }
  ~FencedSample() { VirtualFree(base_, 0, MEM_RELEASE); }

  static constexpr size_t kPage = 4096;
  const int32_t frames, channels;
  int16_t* samples = nullptr;

 private:
  char* base_ = nullptr;
};

std::vector<FencedSample*> g_fenced;
std::atomic<int> g_framesRead{0};

// Reads without a bounds check, as a reader that trusts the voice's length would.
int ReadFenced(int32_t handle, int32_t frame, int32_t* left, int32_t* right) {
  const FencedSample& s = *g_fenced.at(handle);
  *left = s.samples[frame * s.channels];
  *right = s.samples[frame * s.channels + s.channels - 1];
  g_framesRead.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

// The list is set up by the test: nothing is loaded or released through the ops.
int32_t LoadNothing(const char*, int32_t*, int32_t*) { return -1; }
void ReleaseNothing(int32_t) {}

uint64_t SteadyMicros() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

TEST_F(MidiKeyboard, KeysPlayedUnderARunningRenderNeverReadPastASample) {
  FencedSample first(1000, 1), second(2205, 2), third(441, 1);
  g_fenced = {&first, &second, &third};
  for (FencedSample* s : g_fenced) ASSERT_NE(s->samples, nullptr);
  const SampleSoundOps ops = {LoadNothing, ReleaseNothing, ReadFenced};
  SetSampleSoundOps(&ops);
  SetSequencerClock(SteadyMicros);

  // Song 0 in list mode, one key per sample, with a track of its own playing them too.
  SongEngine& song = g_songs[0];
  song.listCount = static_cast<int32_t>(g_fenced.size());
  for (int i = 0; i < song.listCount; ++i)
    song.sampleList[i] = SongSampleListEntry{uint16_t(60 + i), i, g_fenced[i]->frames, g_fenced[i]->channels};
  constexpr int kSongNotes = 2000;
  for (int i = 0; i < kSongNotes; ++i) song.events[8][i] = SongEvent{kEvNoteOn, uint32_t(6 * i), 0, 60 + i % 3, 1};
  song.events[8][kSongNotes] = SongEvent{kEvEnd, 0, 0, 0, 1};
  song.tracks[8].volume = 256;
  PlaySequencerFromTop();
  StartSequencerTimer();

  // 20,000 note-ons from the device's thread while the interface moves between the sample tracks.
  std::atomic<bool> done{false};
  std::thread keyboard([&done] {
    for (int i = 0; i < 20000; ++i) {
      const uint32_t key = 59 + i % 5;  // keys 59 and 63 name no sample
      const uint32_t velocity = 1 + i % 127;
      Receive(0x90 | key << 8 | velocity << 16);
      if (i % 200 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    done = true;
  });
  for (int i = 0; !done; ++i) {
    g_app.SetCurrentTrack(8 + i % 8);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  keyboard.join();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  StopSequencerTimer();

  EXPECT_GT(g_framesRead.load(), 0);
  SetSampleSoundOps(nullptr);
  SetSequencerClock(nullptr);
  g_fenced.clear();
}

// With a device or without: the open flag says what the device is, and shut-down closes it.
TEST_F(MidiKeyboard, TheOpenFlagFollowsTheDeviceAndShutDownClosesIt) {
  g_app.midiInputOpen = 1;
  OpenAppMidiInput(g_app);
  EXPECT_EQ(g_app.midiInputOpen, MidiInputIsOpen() ? 1 : 0);
  CloseAppMidiInput(g_app);
  EXPECT_EQ(g_app.midiInputOpen, 0);
  EXPECT_FALSE(MidiInputIsOpen());
}

}  // namespace
