#include "tests/zovuz/sound/sound_test_support.h"
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"

#include <string.h>

#include <stdexcept>

Bytes ReadSoundFixture(const char *Name)
{
    std::string path = TestDataDir() + "/sound/" + Name;
    std::string bytes = ReadFileBytes(std::wstring(path.begin(), path.end()));
    return Bytes(bytes.begin(), bytes.end());
}

MemConverter::MemConverter(const Bytes &Image, bool Sizeless) : Image(Image), Sizeless(Sizeless)
{
    memset(&Conv, 0, sizeof Conv);
    Stream = CreateMemStream(this->Image.data(), (uint32_t)this->Image.size());
    Table = {Tell, Seek, Read, Eof, Idle, Close};
}

MemConverter::~MemConverter()
{
    SoundConvert_Release(&Conv);
    MemStreamClose(Stream);
}

int MemConverter::Setup(int SkipMask, int VorbisWidth, int VorbisDecoder)
{
    return SetupSoundConvert(&Conv, &Table, this, SkipMask, VorbisWidth, VorbisDecoder);
}

Bytes MemConverter::ReadRest(int Piece, size_t MaxBytes)
{
    Bytes out;
    Bytes piece(Piece);
    while (out.size() < MaxBytes) {
        int got = RunSoundConvert(&Conv, piece.data(), Piece);
        if (got <= 0) break;
        out.insert(out.end(), piece.begin(), piece.begin() + got);
    }
    return out;
}

SoundWaveFormat MemConverter::Format()
{
    SoundWaveFormat f = {};
    SoundConvert_GetFormat(&Conv, &f);
    return f;
}

int64_t MemConverter::Tell(void *Data) { return MemStreamTell(((MemConverter *)Data)->Stream); }

int MemConverter::Seek(void *Data, int64_t Point, int Type)
{
    MemConverter *self = (MemConverter *)Data;
    if (self->Sizeless && Type == FILE_SEEK_END) return -1;
    return MemStreamSeek(self->Stream, Point, Type);
}

size_t MemConverter::Read(void *Buffer, size_t Block, size_t Count, void *Data)
{
    MemConverter *self = (MemConverter *)Data;
    if (++self->StreamReads > self->ReadLimit) throw std::runtime_error("the reader never stops reading");
    return MemStreamRead(Buffer, Block, Count, self->Stream);
}

int MemConverter::Eof(void *Data) { return MemStreamEof(((MemConverter *)Data)->Stream); }
int MemConverter::Idle(void *) { return 1; }
int MemConverter::Close(void *) { return 0; }

DecodedSound DecodeSound(const Bytes &Image, int SkipMask, bool Sizeless, int VorbisWidth, int VorbisDecoder)
{
    DecodedSound d;
    MemConverter mc(Image, Sizeless);
    d.Setup = mc.Setup(SkipMask, VorbisWidth, VorbisDecoder);
    if (d.Setup != 0) return d;
    d.Method = mc.Conv.Method;
    d.Format = mc.Format();
    d.DestSize = SoundConvert_GetDestSize(&mc.Conv);
    d.Data = mc.ReadRest(3001);
    return d;
}
