#include "tests/app/engine/mdx_player_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "tests/app/engine/mdx_builder.h"

uint64_t g_mdxFakeClock = 0;

namespace {
uint64_t FakeClock() { return g_mdxFakeClock; }
}  // namespace

MdxTrack& MdxTrack::Raw(std::initializer_list<int> b) {
  for (int v : b) bytes.push_back(static_cast<uint8_t>(v));
  return *this;
}

MdxTrack& MdxTrack::Lfo(int waveform, int period, int step) {
  return Raw({0xEC, waveform, (period >> 8) & 0xFF, period & 0xFF, (step >> 8) & 0xFF, step & 0xFF});
}

MdxTrack& MdxTrack::RepeatEnd(size_t startAt) {
  // The end jumps to its own position + 3 + offset: the command after the start.
  const int offset = static_cast<int>(startAt) - static_cast<int>(Here());
  return Raw({0xF5, (offset >> 8) & 0xFF, offset & 0xFF});
}

MdxTrack& MdxTrack::EscapeTo(size_t escapeAt, size_t endAt) {
  // The escape jumps to its own position + 2 + offset: the repeat end, which closes it.
  const int offset = static_cast<int>(endAt) - static_cast<int>(escapeAt) - 2;
  bytes[escapeAt + 1] = static_cast<uint8_t>((offset >> 8) & 0xFF);
  bytes[escapeAt + 2] = static_cast<uint8_t>(offset & 0xFF);
  return *this;
}

MdxTrack& MdxTrack::JumpTo(size_t target) {
  const int offset = static_cast<int>(target) - static_cast<int>(Here()) - 3;
  return Raw({0xF1, (offset >> 8) & 0xFF, offset & 0xFF});
}

MidiBytes NoteOnBytes(int key) { return {0x90, key, 127}; }
MidiBytes NoteOffBytes(int key) { return {0x80, key, 100}; }
MidiBytes BendBytes(int units) {
  const int v = std::clamp(units, -8192, 8191) + 8192;
  return {0xE0, v & 0x7F, v >> 7};
}

void MdxPlayerTest::SetUp() {
  PluginSlotsTest::SetUp();
  SetMdxClock(FakeClock);
  g_mdxFakeClock = 100000000;  // 100 s: far from 0, as the system clock is
  for (uint8_t& flag : state.fmInstrument) flag = 0;
  for (int32_t& key : state.lastKey) key = 0;
  for (PcmVoice& v : g_mdx.voices) v = PcmVoice{};
  state.Reset();
  wave.InitHeader();
  g_mdx.capture = &wave;
}

void MdxPlayerTest::TearDown() {
  song.Rewind();
  g_mdx.capture = nullptr;
  SetMdxClock(nullptr);
  FreeMdxBuffers();
  state.trackCount = 0;
  PluginSlotsTest::TearDown();
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
    g_mdxFakeClock += micros;
    MdxTimerProc(0, 0, 0, 0, 0);
  }
}

std::vector<Frame> MdxPlayerTest::Render(int calls) {
  const int frames = calls * kMdxFrameCount;
  left.assign(frames, -1);
  right.assign(frames, -1);
  wave.left = left.data();
  wave.right = right.data();
  wave.frameCount = frames;
  wave.captureIndex = 0;
  wave.armed = 1;
  Tick(calls);
  std::vector<Frame> out;
  for (int i = 0; i < frames; ++i) out.emplace_back(left[i], right[i]);
  wave.left = wave.right = nullptr;
  wave.armed = 0;
  return out;
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

std::vector<MidiBytes> MdxPlayerTest::TakeQueued(int track) {
  std::vector<MidiBytes> m = PendingMidiBytes(SlotOf(track, 0));
  EventQueueLock lock = SlotOf(track, 0).LockEvents();
  SlotOf(track, 0).pendingEvents.clear();
  return m;
}

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
