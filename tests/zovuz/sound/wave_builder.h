// RIFF WAVE images built chunk by chunk: shared by the sound tests and the native fuzz build's
// seed maker, so it uses nothing of Windows.
#pragma once

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

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
