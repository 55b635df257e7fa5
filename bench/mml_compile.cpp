// Compile time of a 200 KB ".zms" song with 16 busy tracks, from its file and from memory,
// beside one pass of the C run-time over the same text (strtol on every number, isalpha on
// every other byte) as the reference.
#include "bench/support/bench_clock.h"
#include <windows.h>

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "app/engine/mml/mml_compile.h"
#include "app/engine/sequencer/song_engine.h"

namespace {

// One bar of a busy track: notes with lengths, a chord, a tie, a tuplet, a small repeat,
// parameters, a portamento and a comment, as hand-written songs mix them.
const char *const kBars[] = {
    "o4 l8 c d e f g4 a16 b16 > c4. < / run\r\n",
    "'c e g'4 & 'c e g'8 r8 {c d e}4 v12 ~2 _1\r\n",
    "|:2 c16 d16 e16 f16 :| @p+2 @p-2 (c8,e) & d4\r\n",
    "q6 c8 d8 @q3 e8 f8 q8 k-2 g4 k0 t+4 t-4 @v100\r\n",
};

std::string BusySong(size_t bytes) {
  std::string text = ".comment benchmark\r\n.s 1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16\r\n";
  text += "(@1,31,4,2,4,11,26,1,1,6,0,0,31,0,0,4,0,47,1,8,0,2,0,31,31,8,4,0,41,1,1,7,0,0,"
          "20,31,3,6,0,0,1,2,0,0,0,2,7,15)\r\n";
  const size_t perTrack = (bytes - text.size()) / 16;
  for (int t = 1; t <= 16; ++t) {
    std::string track = "(t" + std::to_string(t) + ") @1 t120 o4 [d]\r\n";
    for (int bar = 0; track.size() < perTrack - 8; ++bar) track += kBars[(bar + t) % 4];
    text += track + "[l]\r\n";
  }
  return text;
}

long ReferenceScan(const std::string &text) {
  long sum = 0;
  const char *p = text.c_str();
  while (*p) {
    if (isdigit(static_cast<unsigned char>(*p))) {
      char *end;
      sum += strtol(p, &end, 10);
      p = end;
    } else {
      sum += isalpha(static_cast<unsigned char>(*p)) ? 1 : 0;
      ++p;
    }
  }
  return sum;
}

}  // namespace

int main() {
  const std::string text = BusySong(200 * 1024);
  char path[MAX_PATH];
  GetTempPathA(MAX_PATH, path);
  strcat(path, "tarvex_bench.zms");
  FILE *f = fopen(path, "wb");
  if (f == nullptr) return 1;
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);

  const int rounds = 20;
  CompileMml(path);  // warm up
  double start = BenchSeconds();
  for (int i = 0; i < rounds; ++i) CompileMml(path);
  const double fromFile = (BenchSeconds() - start) / rounds;

  start = BenchSeconds();
  for (int i = 0; i < rounds; ++i) CompileMmlFromMemory(text.data(), text.size(), path);
  const double fromMemory = (BenchSeconds() - start) / rounds;

  long events = 0, fullest = 0;
  for (int t = 0; t < kSongTrackCount; ++t) {
    int n = 0;
    while (n < kEventsPerTrack && g_songs[0].events[t][n].type != kEvEnd) ++n;
    events += n;
    if (n > fullest) fullest = n;
  }

  // The parts: the reset every compile starts with, and the repeat expansion it ends with.
  start = BenchSeconds();
  for (int i = 0; i < rounds; ++i) ResetSongEngine();
  const double reset = (BenchSeconds() - start) / rounds;
  double expand = 0;
  for (int i = 0; i < rounds; ++i) {
    CompileMmlFromMemory(text.data(), text.size(), path);
    start = BenchSeconds();
    ExpandMmlRepeats();  // nothing left to expand: the scan alone
    expand += BenchSeconds() - start;
  }
  expand /= rounds;

  // The same text with its repeat marks blanked: the share of the expansion itself.
  std::string flat = text;
  for (size_t at; (at = flat.find("|:2")) != std::string::npos;) flat.replace(at, 3, "   ");
  for (size_t at; (at = flat.find(":|")) != std::string::npos;) flat.replace(at, 2, "  ");
  start = BenchSeconds();
  for (int i = 0; i < rounds; ++i) CompileMmlFromMemory(flat.data(), flat.size(), path);
  const double withoutRepeats = (BenchSeconds() - start) / rounds;

  volatile long sink = 0;
  start = BenchSeconds();
  for (int i = 0; i < rounds; ++i) sink += ReferenceScan(text);
  const double reference = (BenchSeconds() - start) / rounds;

  printf("MML compile of %u bytes, 16 tracks: %ld events (fullest track %ld), loaded %d\n",
         static_cast<unsigned>(text.size()), events, fullest, g_songs[0].loaded);
  printf("CompileMml (file)      %8.3f ms\n", fromFile * 1e3);
  printf("CompileMmlFromMemory   %8.3f ms\n", fromMemory * 1e3);
  printf("  of which reset        %8.3f ms, an expansion pass over expanded tracks %.3f ms\n",
         reset * 1e3, expand * 1e3);
  printf("  without its repeats   %8.3f ms\n", withoutRepeats * 1e3);
  printf("C run-time scan        %8.3f ms   ratio compile/scan %.1f\n", reference * 1e3,
         fromMemory / reference);
  DeleteFileA(path);
  return 0;
}
