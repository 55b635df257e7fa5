#include "tests/app/engine/sequencer_fixture.h"

#include <algorithm>

#include "app/engine/mml/sample_load.h"
#include "zovuz/core/system_info_internal.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/sound/sound_thread_internal.h"

uint64_t g_fakeClock = 0;

namespace {
uint64_t FakeClock() { return g_fakeClock; }
}  // namespace

void UseFakeClock() {
  SetSequencerClock(FakeClock);
  g_fakeClock = 100000000;
}

SongEvent Event(uint32_t type, uint32_t tick, int32_t value, uint8_t articulate) {
  return SongEvent{type, tick, 0, value, articulate};
}

std::vector<int> BendBytes(int units) {
  int v = std::clamp(units, -8192, 8191) + 8192;
  return {0xE0, v & 0x7F, v >> 7};
}
std::vector<int> NoteOnBytes(int key, int velocity) { return {0x90, key, velocity}; }
std::vector<int> NoteOffBytes(int key) { return {0x80, key, 100}; }

void SequencerTest::SetUp() {
  PluginSlotsTest::SetUp();
  UseFakeClock();
  StopAllSongEngines();
  ResetSongEngine();
  for (int channel = kSongTrackCount; channel < kMixerChannelCount; ++channel) song.tracks[channel].Reset();
  for (SongEngine& s : g_songs) {
    for (PcmVoice& v : s.voices) v = PcmVoice{};
  }
  song.ended = 0;
  song.tickPosition = 0.0;
  for (PluginSlot& slot : g_pluginSlots) slot.DropPendingEvents();
  wave.InitHeader();
  song.capture = &wave;
}

void SequencerTest::TearDown() {
  // A song that ended holds no key.
  if (song.ended) ExpectNoHeldKeys();
  StopAllSongEngines();
  song.capture = nullptr;
  SetSequencerClock(nullptr);
  PluginSlotsTest::TearDown();
}

void SequencerTest::SetTrack(int track, const std::vector<SongEvent>& events) {
  for (int i = 0; i < kEventsPerTrack; ++i) {
    song.events[track][i] = i < static_cast<int>(events.size()) ? events[i] : SongEvent{kEvEnd, 0, 0, 0, 1};
  }
}

void SequencerTest::Tick(int calls) {
  for (int i = 0; i < calls; ++i) {
    g_fakeClock += 10000;
    SequencerTimerProc(0, 0, 0, 0, 0);
  }
}

bool StartSoundSystemWithoutThread() {
  SetupPerformanceCounter();
  InitializeCom();
  SetSoundThreadCreateFailForTest(1);  // nothing takes the frames out of the queue
  const bool started = InitializeSoundSystem() == 0;
  SetSoundThreadCreateFailForTest(0);
  return started;
}

void ArmTestCapture(WaveFile& wave, std::vector<int16_t>& left, std::vector<int16_t>& right, int calls) {
  const int frames = calls * kMixFrames;
  left.assign(frames, -1);
  right.assign(frames, -1);
  wave.left = left.data();
  wave.right = right.data();
  wave.frameCount = frames;
  wave.captureIndex = 0;
  wave.armed = 1;
}

std::vector<Frame> TakeTestCapture(WaveFile& wave, const std::vector<int16_t>& left,
                                   const std::vector<int16_t>& right) {
  std::vector<Frame> out;
  for (size_t i = 0; i < left.size(); ++i) out.emplace_back(left[i], right[i]);
  wave.left = wave.right = nullptr;
  wave.armed = 0;
  return out;
}

void SequencerTest::Arm(int calls) { ArmTestCapture(wave, left, right, calls); }

std::vector<Frame> SequencerTest::Captured() { return TakeTestCapture(wave, left, right); }

std::vector<Frame> SequencerTest::Render(int calls) {
  Arm(calls);
  Tick(calls);
  return Captured();
}

TpInstance* SequencerTest::LoadInstrument(int track) {
  if (LoadPlugin(track, 0, TestPluginPath("tp_vornalt").c_str()) != 0) return nullptr;
  TpInstance* inst = TestPluginLibrary::Of(SlotOf(track, 0).effect);
  if (inst) midiSeen[inst] = inst->midiTotal;
  return inst;
}

TpInstance* SequencerTest::LoadInsert(int channel, int position, float gain, float offset) {
  if (LoadPlugin(channel, position, TestPluginPath("tp_effect").c_str()) != 0) return nullptr;
  SlotOf(channel, position).SetParameter(0, gain);
  SlotOf(channel, position).SetParameter(1, offset);
  return TestPluginLibrary::Of(SlotOf(channel, position).effect);
}

Midi SequencerTest::TakeMidi(TpInstance* instance) {
  Midi out;
  if (!instance) return out;
  int& seen = midiSeen[instance];
  for (int i = seen; i < std::min(instance->midiTotal, kTpMidiLogSize); ++i) {
    const char* d = instance->midiLog[i].event.midiData;
    out.push_back({static_cast<unsigned char>(d[0]), static_cast<unsigned char>(d[1]),
                   static_cast<unsigned char>(d[2])});
  }
  seen = instance->midiTotal;
  return out;
}

Midi SequencerTest::TakeQueued(int track) { return TakePendingMidiBytes(SlotOf(track, 0)); }
