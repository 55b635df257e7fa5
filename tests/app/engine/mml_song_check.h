// What every compile must leave in song 0, whatever the text: shared by the in-Wine mutation
// test and the native fuzz target of the MML compiler.
#pragma once
#include <string>

// Empty when song 0 is loaded and playable: every track ends inside its table, holds no repeat
// marker or unknown event, keeps its time below the limit, selects only defined effects, closes
// each portamento and loops back by real time; otherwise what is wrong.
std::string MmlSongProblem();
