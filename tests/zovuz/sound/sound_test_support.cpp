#include "tests/zovuz/sound/sound_test_support.h"
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"

#include <string.h>

#include <stdexcept>

namespace {

void PutLe16(Bytes &Out, uint32_t Value)
{
    Out.push_back((uint8_t)Value);
    Out.push_back((uint8_t)(Value >> 8));
}

void PutLe32(Bytes &Out, uint32_t Value)
{
    PutLe16(Out, Value & 0xFFFF);
    PutLe16(Out, Value >> 16);
}

}  // namespace

Bytes BuildRiffWave(const std::vector<RiffChunk> &Chunks)
{
    Bytes body;
    for (const RiffChunk &c : Chunks) {
        body.insert(body.end(), c.Id.begin(), c.Id.begin() + 4);
        PutLe32(body, c.StatedSize >= 0 ? (uint32_t)c.StatedSize : (uint32_t)c.Body.size());
        body.insert(body.end(), c.Body.begin(), c.Body.end());
        if (c.Body.size() & 1) body.push_back(0);
    }
    Bytes out = {'R', 'I', 'F', 'F'};
    PutLe32(out, (uint32_t)body.size() + 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E'});
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes FormatBody(uint16_t Tag, uint16_t Channels, uint32_t Rate, uint32_t BytesPerSecond, uint16_t BlockAlign,
                 uint16_t Bits, int Size)
{
    Bytes out;
    PutLe16(out, Tag);
    PutLe16(out, Channels);
    PutLe32(out, Rate);
    PutLe32(out, BytesPerSecond);
    PutLe16(out, BlockAlign);
    PutLe16(out, Bits);
    out.resize(Size, 0);
    return out;
}

Bytes PcmWaveImage(uint16_t Channels, uint16_t Bits, uint32_t Rate, int Frames,
                   const std::function<int(int, int)> &Sample, const std::vector<RiffChunk> &Extra)
{
    Bytes data;
    for (int frame = 0; frame < Frames; frame++)
        for (int channel = 0; channel < Channels; channel++)
            for (int b = 0, value = Sample(frame, channel); b < Bits / 8; b++)
                data.push_back((uint8_t)(uint32_t(value) >> (8 * b)));
    std::vector<RiffChunk> chunks = {{"fmt ", PlainFormatBody(1, Channels, Rate, Bits)}, {"data", data}};
    chunks.insert(chunks.end(), Extra.begin(), Extra.end());
    return BuildRiffWave(chunks);
}

Bytes PlainFormatBody(uint16_t Tag, uint16_t Channels, uint32_t Rate, uint16_t Bits)
{
    uint16_t align = (uint16_t)(Channels * (Bits / 8));
    return FormatBody(Tag, Channels, Rate, align * Rate, align, Bits, Tag == 1 ? 16 : 18);
}

Bytes SampleLoopBody(uint32_t LoopCount, uint32_t Start, uint32_t End, int Size)
{
    Bytes out(36, 0);
    out[28] = (uint8_t)LoopCount;
    out[29] = (uint8_t)(LoopCount >> 8);
    PutLe32(out, 0);  // cue point id
    PutLe32(out, 0);  // loop type: forward
    PutLe32(out, Start);
    PutLe32(out, End);
    PutLe32(out, 0);  // fraction
    PutLe32(out, 0);  // play count: endless
    out.resize(Size, 0);
    return out;
}

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
