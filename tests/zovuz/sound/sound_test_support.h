// Test support for the sound tests: RIFF WAVE images built chunk by chunk, converters over
// memory (also over a stream that cannot tell its size), and the committed fixtures.
#pragma once

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "zovuz/core/stream.h"
#include "zovuz/sound/sound_convert_internal.h"

using Bytes = std::vector<uint8_t>;

struct RiffChunk {
    std::string Id;               // four characters
    Bytes Body;                   // written as it is, padded to even
    int64_t StatedSize = -1;      // the size field; -1 = the body's size
};

// "RIFF", size, "WAVE" and the chunks in order.
Bytes BuildRiffWave(const std::vector<RiffChunk> &Chunks);

// A "fmt " body of 16 or 18 bytes.
Bytes FormatBody(uint16_t Tag, uint16_t Channels, uint32_t Rate, uint32_t BytesPerSecond, uint16_t BlockAlign,
                 uint16_t Bits, int Size = 16);
// The usual body for PCM or float: bytes per second and block alignment follow the counts.
Bytes PlainFormatBody(uint16_t Tag, uint16_t Channels, uint32_t Rate, uint16_t Bits);
// A PCM WAVE image of Frames frames: sample (frame, channel) is the low Bits bits of
// Sample(frame, channel); Extra chunks follow the data.
Bytes PcmWaveImage(uint16_t Channels, uint16_t Bits, uint32_t Rate, int Frames,
                   const std::function<int(int, int)> &Sample, const std::vector<RiffChunk> &Extra = {});
// A "smpl" body of 60 bytes (one loop; Size cuts or extends it).
Bytes SampleLoopBody(uint32_t LoopCount, uint32_t Start, uint32_t End, int Size = 60);

// The whole of a committed fixture in tests/data/sound (empty when missing).
Bytes ReadSoundFixture(const char *Name);

// A converter over a copy of an image, released on destruction. Sizeless streams refuse to
// seek to their end, as some file systems' streams do, so only short reads show the end.
class MemConverter {
public:
    explicit MemConverter(const Bytes &Image, bool Sizeless = false);
    ~MemConverter();
    MemConverter(const MemConverter &) = delete;
    MemConverter &operator=(const MemConverter &) = delete;

    int Setup(int SkipMask = 0, int VorbisWidth = 2, int VorbisDecoder = 0);
    // Everything still to come, read in pieces of Piece bytes; stops after MaxBytes.
    Bytes ReadRest(int Piece = 1000, size_t MaxBytes = 64u << 20);
    SoundWaveFormat Format();

    SoundConvertState Conv;
    int StreamReads = 0;  // reads the converter made of the stream
    // A reader that goes on reading past this many reads is stuck: the read throws, so the
    // test fails instead of hanging.
    int ReadLimit = 1000000;

private:
    static int64_t Tell(void *Data);
    static int Seek(void *Data, int64_t Point, int Type);
    static size_t Read(void *Buffer, size_t Block, size_t Count, void *Data);
    static int Eof(void *Data);
    static int Idle(void *Data);
    static int Close(void *Data);

    Bytes Image;
    MemStream *Stream;
    bool Sizeless;
    StreamFunctionTable Table;
};

// One converter over an image, read whole in pieces of 3001 bytes.
struct DecodedSound {
    int Setup = -1;            // SetupSoundConvert's result; nothing below is set unless 0
    int Method = -1;
    SoundWaveFormat Format = {};
    int64_t DestSize = -1;     // SoundConvert_GetDestSize
    Bytes Data;
};
DecodedSound DecodeSound(const Bytes &Image, int SkipMask = 0, bool Sizeless = false, int VorbisWidth = 2,
                         int VorbisDecoder = 0);
