// Stream tables: the six read operations that the sound, image and movie loaders read
// through, each paired with a stream pointer. One table forwards to the file-access table
// (its streams are file-access stream ids); the other reads a block of memory (MemStream).
#pragma once

#include <stddef.h>
#include <stdint.h>

// Seek origins of every stream operation.
#define FILE_SEEK_SET 0
#define FILE_SEEK_CUR 1
#define FILE_SEEK_END 2

struct StreamFunctionTable
{
    int64_t (*Tell)(void *StreamData);
    int (*Seek)(void *StreamData, int64_t SeekPoint, int SeekType);                    // 0, or -1
    size_t (*Read)(void *Buffer, size_t BlockSize, size_t DataNum, void *StreamData);  // blocks read
    int (*Eof)(void *StreamData);                                                      // non-zero at the end
    int (*IdleCheck)(void *StreamData);                                                // 1 when idle
    int (*Close)(void *StreamData);                                                    // 0, or -1
};

// A read-only stream over a block of memory the caller owns and keeps alive.
struct MemStream
{
    const unsigned char *DataBuffer;  // first byte, owned by the caller
    uint32_t DataSize;                // bytes in the block
    uint32_t DataPoint;               // read position, 0..DataSize
    int EOFFlag;                      // set by a read at the end, cleared by a seek or a read
};

// The two tables, filled when file access starts (InitializeFileSystem) and also usable
// before it: they hold only function pointers.
const StreamFunctionTable *GetFileStreamFunctionTable(void);
const StreamFunctionTable *GetMemStreamFunctionTable(void);

// A new MemStream at position 0, or null when memory is short. Freed by MemStreamClose.
MemStream *CreateMemStream(const void *DataBuffer, uint32_t DataSize);

int64_t MemStreamTell(void *StreamData);
// Origin 0 begin, 1 current, 2 end, clamped to 0..size; clears the end flag. 0, or -1 for any
// other origin, which leaves the position and the end flag as they were.
int MemStreamSeek(void *StreamData, int64_t SeekPoint, int SeekType);
// Whole blocks when they remain; when less than one block is left the rest is copied and
// counts as one block; at the end the end flag is set and 0 returned.
size_t MemStreamRead(void *Buffer, size_t BlockSize, size_t DataNum, void *StreamData);
int MemStreamEof(void *StreamData);
int MemStreamClose(void *StreamData);
