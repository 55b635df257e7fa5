// Stream tables over file-access streams and over memory.
#include "zovuz/core/file/stream.h"

#include <string.h>

#include "zovuz/core/file/file_access.h"
#include "zovuz/core/memory/memory.h"

namespace {

// File streams carry their file-access stream id in the stream pointer.
FileStreamId IdOf(void *StreamData) { return (FileStreamId)StreamData; }

int64_t FileStreamTell(void *s) { return FileAccessTell(IdOf(s)); }
int FileStreamSeek(void *s, int64_t p, int t) { return FileAccessSeek(IdOf(s), p, t); }
size_t FileStreamRead(void *b, size_t bs, size_t n, void *s) { return FileAccessRead(b, bs, n, IdOf(s)); }
int FileStreamEof(void *s) { return FileAccessEof(IdOf(s)); }
int FileStreamIdle(void *s) { return FileAccessIdleCheck(IdOf(s)); }
int FileStreamClose(void *s) { return FileAccessClose(IdOf(s)); }

// A memory stream never has a read in flight, yet its idle test answers 0: loaders only poll
// the idle test of streams they opened asynchronously, which memory streams never are.
int MemStreamIdleCheck(void *) { return 0; }

const StreamFunctionTable FileStreamTable = {
    .Tell = FileStreamTell,
    .Seek = FileStreamSeek,
    .Read = FileStreamRead,
    .Eof = FileStreamEof,
    .IdleCheck = FileStreamIdle,
    .Close = FileStreamClose,
};

const StreamFunctionTable MemoryStreamTable = {
    .Tell = MemStreamTell,
    .Seek = MemStreamSeek,
    .Read = MemStreamRead,
    .Eof = MemStreamEof,
    .IdleCheck = MemStreamIdleCheck,
    .Close = MemStreamClose,
};

}  // namespace

const StreamFunctionTable *GetFileStreamFunctionTable(void) { return &FileStreamTable; }
const StreamFunctionTable *GetMemStreamFunctionTable(void) { return &MemoryStreamTable; }

MemStream *CreateMemStream(const void *DataBuffer, uint32_t DataSize)
{
    MemStream *stream = (MemStream *)DXALLOC(sizeof(MemStream));
    if (stream == nullptr) return nullptr;
    stream->DataBuffer = (const unsigned char *)DataBuffer;
    stream->DataSize = DataSize;
    stream->DataPoint = 0;
    stream->EOFFlag = 0;
    return stream;
}

int64_t MemStreamTell(void *StreamData) { return ((MemStream *)StreamData)->DataPoint; }

int MemStreamSeek(void *StreamData, int64_t SeekPoint, int SeekType)
{
    MemStream *stream = (MemStream *)StreamData;
    int64_t position;
    switch (SeekType) {
        case FILE_SEEK_SET:
            position = SeekPoint;
            break;
        case FILE_SEEK_CUR:
            position = (int64_t)stream->DataPoint + SeekPoint;
            break;
        case FILE_SEEK_END:
            position = (int64_t)stream->DataSize + SeekPoint;
            break;
        default:
            return -1;  // an unknown origin moves nothing, as with file and archive streams
    }
    if (position < 0) position = 0;
    if (position > (int64_t)stream->DataSize) position = stream->DataSize;
    stream->DataPoint = (uint32_t)position;
    stream->EOFFlag = 0;
    return 0;
}

size_t MemStreamRead(void *Buffer, size_t BlockSize, size_t DataNum, void *StreamData)
{
    MemStream *stream = (MemStream *)StreamData;
    if (stream->DataPoint >= stream->DataSize) {
        stream->EOFFlag = 1;
        return 0;
    }
    if (BlockSize == 0 || DataNum == 0) return 0;

    uint64_t left = stream->DataSize - stream->DataPoint;
    uint64_t count = DataNum;
    if ((uint64_t)BlockSize * count > left) count = left / BlockSize;

    if (count > 0) {
        size_t bytes = (size_t)(count * BlockSize);
        memcpy(Buffer, stream->DataBuffer + stream->DataPoint, bytes);
        stream->DataPoint += (uint32_t)bytes;
        stream->EOFFlag = 0;
        return (size_t)count;
    }

    // Less than one block left: the tail is handed over and counts as one block. The end
    // flag is raised only by the next read.
    memcpy(Buffer, stream->DataBuffer + stream->DataPoint, (size_t)left);
    stream->DataPoint = stream->DataSize;
    return 1;
}

int MemStreamEof(void *StreamData) { return ((MemStream *)StreamData)->EOFFlag; }

int MemStreamClose(void *StreamData)
{
    DXFREE(StreamData);
    return 0;
}
