#include "tests/app/engine/mml_test_support.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "app/engine/mml/mml_compile.h"
#include "tests/support/test_paths.h"

const char kMmlTestSongPath[] = "C:\\songs\\test.zms";

std::ostream &operator<<(std::ostream &os, const MmlEv &e) {
  os << "{" << e.type << ", " << e.tick << ", " << e.value;
  if (e.articulate != 1) os << ", art " << e.articulate;
  return os << "}";
}

void CompileMmlText(const std::string &Text) {
  CompileMmlFromMemory(Text.data(), Text.size(), kMmlTestSongPath);
}

std::vector<MmlEv> MmlTrackEvents(int Track) {
  std::vector<MmlEv> out;
  const SongEvent *events = g_songs[0].events[Track];
  for (int i = 0; i < kEventsPerTrack && events[i].type != kEvEnd; ++i) {
    out.push_back(MmlEv{events[i].type, events[i].tick, events[i].value, events[i].articulate});
  }
  return out;
}

std::vector<MmlEv> MmlTrackEventsOfType(int Track, std::vector<uint32_t> Types) {
  std::vector<MmlEv> out;
  for (const MmlEv &e : MmlTrackEvents(Track)) {
    if (std::find(Types.begin(), Types.end(), e.type) != Types.end()) out.push_back(e);
  }
  return out;
}

std::string MmlFixturePath(const std::string &Name) { return TestDataDir() + "/zms/" + Name; }

std::string ReadMmlFixture(const std::string &Name) {
  std::ifstream in(MmlFixturePath(Name), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
