// Reading the library log back in tests of the heap and the tracked allocator.
#pragma once

#include <string>

// The text of "Log.txt" in the current folder, without its FF FE signature; empty when missing.
std::wstring MemoryTestReadLog();

// Removes "Log.txt" from the current folder, so that what a child process logs is all it holds.
void MemoryTestRemoveLog();
