#include "tests/zovuz/sound/wave_builder.h"

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
