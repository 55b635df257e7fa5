#include "tools/song_writer/mdx_builder.h"

#include <cstdio>

namespace {

void PutU16(std::vector<uint8_t>& out, size_t at, uint16_t v)
{
    out[at] = static_cast<uint8_t>(v >> 8);
    out[at + 1] = static_cast<uint8_t>(v);
}

void PutU32(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

}  // namespace

std::array<uint8_t, 27> PackMdxTone(const MdxToneFields& t)
{
    std::array<uint8_t, 27> r{};
    r[0] = t.number;
    r[1] = static_cast<uint8_t>((t.connection & 7) | ((t.feedback & 7) << 3));
    r[2] = t.slotMask;
    static const int kToneOperatorOfByte[4] = {0, 2, 1, 3};
    for (int g = 0; g < 4; ++g) {
        const MdxOperatorFields& o = t.op[kToneOperatorOfByte[g]];
        r[3 + g] = static_cast<uint8_t>((o.mul & 15) | ((o.dt1 & 7) << 4));
        r[7 + g] = static_cast<uint8_t>(o.tl);
        r[11 + g] = static_cast<uint8_t>((o.ar & 31) | ((o.ks & 3) << 6));
        r[15 + g] = static_cast<uint8_t>((o.d1r & 31) | ((o.ame & 1) << 7));
        r[19 + g] = static_cast<uint8_t>((o.d2r & 31) | ((o.dt2 & 3) << 6));
        r[23 + g] = static_cast<uint8_t>((o.rr & 15) | ((o.d1l & 15) << 4));
    }
    return r;
}

size_t MdxBuilder::DataStart() const { return title.size() + (rawTitle ? 0 : 1) + bankName.size() + 1; }

std::vector<uint8_t> MdxBuilder::Build() const
{
    std::vector<uint8_t> out(title.begin(), title.end());
    if (!rawTitle) out.push_back(0x1A);
    out.insert(out.end(), bankName.begin(), bankName.end());
    out.push_back(0x00);
    size_t data = out.size();
    size_t header = 2 + 2 * tracks.size();
    out.resize(data + header);
    size_t offset = header;
    for (size_t t = 0; t < tracks.size(); ++t) {
        PutU16(out, data + 2 + 2 * t, static_cast<uint16_t>(offset));
        out.insert(out.end(), tracks[t].begin(), tracks[t].end());
        offset += tracks[t].size();
    }
    PutU16(out, data, static_cast<uint16_t>(offset));
    for (const auto& tone : tones) out.insert(out.end(), tone.begin(), tone.end());
    return out;
}

std::vector<uint8_t> BuildPdx(const std::vector<std::pair<int, std::vector<uint8_t>>>& samples)
{
    std::vector<uint8_t> out(768, 0);
    for (const auto& s : samples) {
        uint32_t offset = static_cast<uint32_t>(out.size());
        SetPdxEntry(out, s.first, offset, static_cast<uint32_t>(s.second.size()));
        out.insert(out.end(), s.second.begin(), s.second.end());
    }
    return out;
}

void SetPdxEntry(std::vector<uint8_t>& pdx, int index, uint32_t offset, uint32_t length)
{
    PutU32(pdx, 8 * index, offset);
    PutU32(pdx, 8 * index + 4, length);
}

bool WriteTestFile(const std::string& name, const std::vector<uint8_t>& bytes)
{
    FILE* f = std::fopen(name.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

MdxTrack& MdxTrack::Raw(std::initializer_list<int> b)
{
    for (int v : b) bytes.push_back(static_cast<uint8_t>(v));
    return *this;
}

MdxTrack& MdxTrack::Lfo(int waveform, int period, int step)
{
    return Raw({0xEC, waveform, (period >> 8) & 0xFF, period & 0xFF, (step >> 8) & 0xFF, step & 0xFF});
}

MdxTrack& MdxTrack::RepeatEnd(size_t startAt)
{
    // The end jumps to its own position + 3 + offset: the command after the start.
    const int offset = static_cast<int>(startAt) - static_cast<int>(Here());
    return Raw({0xF5, (offset >> 8) & 0xFF, offset & 0xFF});
}

MdxTrack& MdxTrack::EscapeTo(size_t escapeAt, size_t endAt)
{
    // The escape jumps to its own position + 2 + offset: the repeat end, which closes it.
    const int offset = static_cast<int>(endAt) - static_cast<int>(escapeAt) - 2;
    bytes[escapeAt + 1] = static_cast<uint8_t>((offset >> 8) & 0xFF);
    bytes[escapeAt + 2] = static_cast<uint8_t>(offset & 0xFF);
    return *this;
}

MdxTrack& MdxTrack::JumpTo(size_t target)
{
    const int offset = static_cast<int>(target) - static_cast<int>(Here()) - 3;
    return Raw({0xF1, (offset >> 8) & 0xFF, offset & 0xFF});
}
