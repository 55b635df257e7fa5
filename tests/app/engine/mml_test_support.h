// Helpers of the MML compiler tests: compile a text into song 0 and read a track back.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "app/engine/sequencer/song_engine.h"

// An event as the tests compare it (the dispatched flag is always 0 after a compile).
struct MmlEv {
  uint32_t type;
  uint32_t tick;
  int32_t value;
  int articulate = 1;
  bool operator==(const MmlEv &o) const {
    return type == o.type && tick == o.tick && value == o.value && articulate == o.articulate;
  }
};
std::ostream &operator<<(std::ostream &os, const MmlEv &e);

// The path the in-memory texts pretend to come from.
extern const char kMmlTestSongPath[];

// Compiles Text into song 0 as if read from kMmlTestSongPath.
void CompileMmlText(const std::string &Text);
// Song 0's track up to its end event.
std::vector<MmlEv> MmlTrackEvents(int Track);
// Only the events of the given types, in order.
std::vector<MmlEv> MmlTrackEventsOfType(int Track, std::vector<uint32_t> Types);
// A file of tests/data/zms: its path for CompileMml, and its bytes.
std::string MmlFixturePath(const std::string &Name);
std::string ReadMmlFixture(const std::string &Name);
