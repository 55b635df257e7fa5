// Internal calls of the core behind ring_buffer.h: used by the core's own files and its tests, never by
// the application or another subsystem.
#pragma once

#include "zovuz/core/memory/ring_buffer.h"

// Makes room for size_to_add more bytes. 0, or -1 when the new buffer could not be had;
// the old buffer and its bytes then stay as they were.
int RingBufferReSize(RingBuffer* ring, int size_to_add);
