#include "tests/app/engine/mdx_player_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "tools/song_writer/mdx_builder.h"

void MdxPlayerTest::SetUp() {
  PluginSlotsTest::SetUp();
  UseFakeClock();
  for (uint8_t& flag : state.fmInstrument) flag = 0;
  for (int32_t& key : state.lastKey) key = 0;
  for (PcmVoice& v : g_mdx.voices) v = PcmVoice{};
  state.Reset();
  wave.InitHeader();
  g_mdx.capture = &wave;
}

void MdxPlayerTest::TearDown() {
  if (SongEnded()) ExpectNoHeldKeys();
  song.Rewind();
  g_mdx.capture = nullptr;
  SetSequencerClock(nullptr);
  FreeMdxBuffers();
  state.trackCount = 0;
  PluginSlotsTest::TearDown();
}

bool MdxPlayerTest::SongEnded() const {
  int playable = 0;
  for (int t = 0; t < std::min(state.trackCount, kMdxTrackCount); ++t) {
    if (state.trackLength[t] <= 2) continue;
    ++playable;
    if (!state.ended[t]) return false;
  }
  return playable > 0;
}

void MdxPlayerTest::Load(const std::vector<MdxTrack>& tracks, const std::vector<std::array<uint8_t, 27>>& tones,
                         const std::vector<uint8_t>* pdx) {
  MdxBuilder b;
  if (pdx) b.bankName = "bank";
  for (const MdxTrack& t : tracks) b.tracks.push_back(t.bytes);
  b.tones = tones;
  const std::vector<uint8_t> mdx = b.Build();
  song.LoadFromMemory(mdx.data(), mdx.size(), pdx ? pdx->data() : nullptr, pdx ? pdx->size() : 0);
}

void MdxPlayerTest::Play(const std::vector<MdxTrack>& tracks) {
  Load(tracks);
  song.Play();
  blockAtPlay.clear();
  for (int t = 0; t < kMdxFmTrackCount; ++t) {
    const TpInstance* inst = TestPluginLibrary::Of(SlotOf(t, 0).effect);
    if (inst) blockAtPlay.emplace_back(inst, inst->processCalls);
  }
}

void MdxPlayerTest::Tick(int calls, uint64_t micros) {
  for (int i = 0; i < calls; ++i) {
    g_fakeClock += micros;
    MdxTimerProc(0, 0, 0, 0, 0);
  }
}

std::vector<Frame> MdxPlayerTest::Render(int calls) {
  ArmTestCapture(wave, left, right, calls);
  Tick(calls);
  return TakeTestCapture(wave, left, right);
}

TpInstance* MdxPlayerTest::LoadInstrument(int track, bool fm) {
  if (LoadPlugin(track, 0, TestPluginPath("tp_vornalt").c_str()) != 0) return nullptr;
  state.fmInstrument[track] = fm ? 1 : 0;
  return TestPluginLibrary::Of(SlotOf(track, 0).effect);
}

std::vector<MidiAt> MdxPlayerTest::Log(const TpInstance* instance) const {
  std::vector<MidiAt> out;
  if (!instance) return out;
  int first = 0;
  for (const auto& entry : blockAtPlay) {
    if (entry.first == instance) first = entry.second;
  }
  for (int i = 0; i < std::min(instance->midiTotal, kTpMidiLogSize); ++i) {
    const TpMidiRecord& r = instance->midiLog[i];
    const char* d = r.event.midiData;
    out.push_back({r.block - first,
                   {static_cast<unsigned char>(d[0]), static_cast<unsigned char>(d[1]),
                    static_cast<unsigned char>(d[2])}});
  }
  return out;
}

std::vector<int> MdxPlayerTest::CallsOf(const TpInstance* instance, const MidiBytes& bytes) const {
  std::vector<int> calls;
  for (const MidiAt& m : Log(instance)) {
    if (m.bytes == bytes) calls.push_back(m.call);
  }
  return calls;
}

std::vector<MidiBytes> MdxPlayerTest::TakeQueued(int track) { return TakePendingMidiBytes(SlotOf(track, 0)); }

void MdxPlayerTest::PutSample(int n, int length, int16_t value) {
  std::free(g_mdx.samples[n]);
  int16_t* data = static_cast<int16_t*>(std::malloc(sizeof(int16_t) * length));
  for (int i = 0; i < length; ++i) data[i] = value;
  g_mdx.samples[n] = data;
  g_mdx.sampleLengths[n] = length;
}

int CallReaching(uint64_t micros) { return static_cast<int>((micros + 9999) / 10000) - 1; }

uint64_t TickTime(int tick, int timerB) {
  return 65536 + static_cast<uint64_t>(tick - 1) * static_cast<uint64_t>((256 - timerB) * 256);
}
