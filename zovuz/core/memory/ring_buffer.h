// Growable byte FIFO: the SoftSound player's frame queue and the network layer's receive
// queue. It never blocks and never refuses data for lack of room; it grows instead.
// No lock inside: its users serialise access.
#pragma once

// A plain record owned by its user. Positions lie in 0 .. BufferSize; a position equal to
// BufferSize stands for 0 and is folded to 0 at the start of every operation.
struct RingBuffer
{
    unsigned char* DataBuffer;  // the stored bytes (DxAlloc), null while nothing was ever added
    int ReadPosition;           // byte offset of the oldest stored byte
    int WritePosition;          // byte offset where the next byte goes
    int DataLength;             // stored bytes; users read this field directly
    int BufferSize;             // bytes allocated
};

// Clears the record (no allocation). 0.
int RingBufferInitialize(RingBuffer* ring);

// Frees the data and clears the record. 0.
int RingBufferTerminate(RingBuffer* ring);

// Appends size bytes, growing the buffer when needed. 0, or -1 when the growth failed;
// a failed append leaves every queued byte in place.
int RingBufferDataAdd(RingBuffer* ring, const void* data, int size);

// Copies size bytes from the read position into dest, wrapping at the end of the buffer.
// peek 0 consumes them, peek 1 leaves the ring unchanged. -1, with nothing copied, when
// fewer than size bytes are stored.
int RingBufferDataGet(RingBuffer* ring, void* dest, int size, int peek);
