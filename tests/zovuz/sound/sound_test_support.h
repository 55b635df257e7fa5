// Test support for the sound tests: RIFF WAVE images built chunk by chunk (wave_builder.h),
// converters over memory (also over a stream that cannot tell its size), and the committed
// fixtures.
#pragma once

#include <stdint.h>

#include "tests/zovuz/sound/wave_builder.h"
#include "zovuz/core/file/stream.h"
#include "zovuz/sound/sound_convert_internal.h"

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
