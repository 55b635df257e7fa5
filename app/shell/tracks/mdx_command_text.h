// The MDX track list's command printer: the text of one command of a track's data, written out
// as MML-like text beside its first byte. Portable, so it is tested and fuzzed on its own.
#pragma once

#include <cstddef>
#include <cstdint>

// What the printer carries from one command to the next while the list walks a track.
struct MdxCommandState {
  int32_t volumeMode;  // 1: the 16-step "v" scale, 0: the direct "@v" scale
  int32_t volume;      // the running volume the "~" and "_" commands step
  int32_t paramBytes;  // bytes after the command's first byte that belong to it
};

constexpr size_t kMdxCommandTextSize = 96;  // enough for the longest text, the LFO's

// Writes the text of the command at `offset` of `data` (`length` bytes) into `text`, sets the
// parameter-byte count and updates the running volume. Tracks 0-7 are FM tracks, the others
// PCM. Bytes past the end of the data read as 0, as the player reads them.
void FormatMdxCommand(const uint8_t* data, int32_t length, int32_t offset, int32_t track, MdxCommandState& state,
                      char (&text)[kMdxCommandTextSize]);
