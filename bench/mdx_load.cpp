// Load time of a 64 KB ".mdx" song with a 1 MB ".pdx" bank, decode and
// stretch included, from memory and from files. The reference is the C
// run-time copying the same volume of 16-bit samples the load produces.
// Beside the loads from memory a render thread ticks every 10 ms: the longest
// time a tick waits for the engine lock is printed against the load time.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "app/engine/mdx/mdx_player.h"
#include "bench/support/tick_probe.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::vector<uint8_t> MakeSong(std::mt19937& rng) {
  const char* head = "Benchmark song\r\n\x1A" "benchbank";
  std::vector<uint8_t> out(head, head + std::strlen(head));
  out.push_back(0);
  size_t data = out.size();
  const int tracks = 16, trackBytes = 4000, tones = 64;
  out.resize(data + 2 + 2 * tracks);
  size_t offset = 2 + 2 * tracks;
  for (int t = 0; t < tracks; ++t) {
    out[data + 2 + 2 * t] = static_cast<uint8_t>(offset >> 8);
    out[data + 3 + 2 * t] = static_cast<uint8_t>(offset);
    for (int i = 0; i < trackBytes; ++i) out.push_back(static_cast<uint8_t>(rng()));
    offset += trackBytes;
  }
  out[data] = static_cast<uint8_t>(offset >> 8);
  out[data + 1] = static_cast<uint8_t>(offset);
  for (int i = 0; i < tones * 27; ++i) out.push_back(static_cast<uint8_t>(rng()));
  return out;
}

std::vector<uint8_t> MakeBank(std::mt19937& rng) {
  const uint32_t sampleBytes = (1024 * 1024 - kPdxHeaderBytes) / kMdxSampleCount;
  std::vector<uint8_t> out(kPdxHeaderBytes, 0);
  for (int i = 0; i < kMdxSampleCount; ++i) {
    uint32_t offset = static_cast<uint32_t>(out.size());
    for (int k = 0; k < 4; ++k) {
      out[8 * i + k] = static_cast<uint8_t>(offset >> (24 - 8 * k));
      out[8 * i + 4 + k] = static_cast<uint8_t>(sampleBytes >> (24 - 8 * k));
    }
    for (uint32_t b = 0; b < sampleBytes; ++b) out.push_back(static_cast<uint8_t>(rng()));
  }
  return out;
}

bool WriteFile(const char* name, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(name, "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main() {
  std::mt19937 rng(64);
  std::vector<uint8_t> song = MakeSong(rng);
  std::vector<uint8_t> bank = MakeBank(rng);
  const int rounds = 20;
  MdxSong mdx;

  mdx.LoadFromMemory(song.data(), song.size(), bank.data(), bank.size());  // warm-up
  size_t producedBytes = 0;
  for (int i = 0; i < kMdxSampleCount; ++i) producedBytes += g_mdx.sampleLengths[i] * sizeof(int16_t);

  TickProbe probe([] {});
  probe.Start();
  Clock::time_point start = Clock::now();
  for (int r = 0; r < rounds; ++r) mdx.LoadFromMemory(song.data(), song.size(), bank.data(), bank.size());
  double memoryMs = MillisSince(start) / rounds;
  probe.Stop();

  double fileMs = -1.0;
  if (WriteFile("bench.mdx", song) && WriteFile("benchbank.pdx", bank)) {
    start = Clock::now();
    for (int r = 0; r < rounds; ++r) mdx.Load("bench.mdx");
    fileMs = MillisSince(start) / rounds;
    std::remove("bench.mdx");
    std::remove("benchbank.pdx");
  }

  // Reference: the run-time copying the bytes the load hands the player.
  std::vector<uint8_t> from(producedBytes, 1), to(producedBytes);
  start = Clock::now();
  for (int r = 0; r < rounds; ++r) {
    std::memcpy(to.data(), from.data(), producedBytes);
    from[r] = to[producedBytes - 1 - r];
  }
  double copyMs = MillisSince(start) / rounds;

  std::printf("mdx_load: song %u bytes, bank %u bytes, %d tracks, %u bytes of 44.1 kHz samples\n",
              static_cast<unsigned>(song.size()), static_cast<unsigned>(bank.size()), g_mdx.state.trackCount,
              static_cast<unsigned>(producedBytes));
  std::printf("  load from memory: %8.3f ms\n", memoryMs);
  std::printf("  load from files:  %8.3f ms\n", fileMs);
  std::printf("  reference memcpy of the samples: %8.3f ms\n", copyMs);
  std::printf("  ratio load/memcpy: %.1f\n", copyMs > 0 ? memoryMs / copyMs : 0.0);
  std::printf("  longest lock wait of a 10 ms tick beside the loads: %.3f ms (%d ticks; ratio to a load %.2g)\n",
              probe.LongestWaitMs(), probe.Ticks(), memoryMs > 0 ? probe.LongestWaitMs() / memoryMs : 0.0);
  FreeMdxBuffers();
  return 0;
}
