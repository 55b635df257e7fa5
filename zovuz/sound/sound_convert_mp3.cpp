// MPEG audio files: the frame-header parser and the scan that finds the frames between the
// tags (ID3v2 at the start, ID3v1 at the end). The frames themselves are decoded by ACM
// (sound_convert_acm.cpp).
#include <string.h>

#include "zovuz/sound/sound_convert_internal.h"

namespace {

// Bit rates in kbit/s by version (MPEG-1, MPEG-2), layer (I, II, III) and index; index 0 is
// free format, 15 is invalid. MPEG-2 Layers II and III share a table.
constexpr short kBitRates[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
};
constexpr int kSampleRates[2][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}};

constexpr int kId3v2HeaderBytes = 10;
constexpr int kId3v2FooterBytes = 10;
constexpr int kId3v2FooterFlag = 0x10;
constexpr int kId3v1Bytes = 128;

// The stream read through a window, so that the scan can look at single bytes cheaply.
class ScanReader
{
public:
    explicit ScanReader(SoundConvertState *Conv) : Conv(Conv) {}

    // Pointer to Bytes bytes at Position, or null when the stream ends first. StreamEnd is the
    // lowest position a read has found the stream ending at.
    const unsigned char *At(int64_t Position, uint32_t Bytes)
    {
        if (Position < Start || Position + Bytes > Start + Filled) {
            Start = Position;
            Filled = 0;
            if (SoundConvert_SeekStream(Conv, Position) == 0) {
                Filled = (uint32_t)SoundConvert_ReadStream(Conv, Window, sizeof Window);
            }
            if (Filled < sizeof Window && Start + Filled < StreamEnd) StreamEnd = Start + Filled;
            if (Filled < Bytes) return nullptr;
        }
        return Window + (Position - Start);
    }

    int64_t StreamEnd = INT64_MAX;

private:
    SoundConvertState *Conv;
    unsigned char Window[8192];
    int64_t Start = 0;
    uint32_t Filled = 0;
};

}  // namespace

int SoundConvert_AnalyseMP3FrameHeader(const unsigned char *Header, SoundMp3FrameInfo *Info)
{
    memset(Info, 0, sizeof *Info);
    if (Header[0] != 0xFF || (Header[1] & 0xF0) != 0xF0) return -2;
    Info->Version = 1 - ((Header[1] >> 3) & 1);
    Info->Layer = 3 - ((Header[1] >> 1) & 3);
    if (Info->Layer > 2) return -1;
    Info->BitRateIndex = Header[2] >> 4;
    if (Info->BitRateIndex == 15) return -1;
    Info->SampleRateIndex = (Header[2] >> 2) & 3;
    if (Info->SampleRateIndex == 3) return -1;
    Info->BitRate = kBitRates[Info->Version][Info->Layer][Info->BitRateIndex];
    Info->SampleRate = kSampleRates[Info->Version][Info->SampleRateIndex];
    Info->Padding = (Header[2] >> 1) & 1;
    Info->Channels = (Header[3] >> 6) == 3 ? 1 : 2;

    const int rate = Info->SampleRate, bits = Info->BitRate;
    if (Info->Layer == 0) {
        Info->FrameLength = (12000 * bits / rate + Info->Padding) * 4;
        Info->SamplesPerFrame = 384;
    } else if (Info->Layer == 1 || Info->Version == 0) {
        Info->FrameLength = 144000 * bits / rate + Info->Padding;
        Info->SamplesPerFrame = 1152;
    } else {
        Info->FrameLength = 72000 * bits / rate + Info->Padding;
        Info->SamplesPerFrame = 576;
    }
    // A free-format frame does not say its length: only its header is known, and the scan
    // looks for the next sync right after it.
    if (bits == 0) Info->FrameLength = 4;
    return 0;
}

int SoundConvert_ScanMP3(SoundConvertState *Conv, SoundMp3Layout *Layout)
{
    memset(Layout, 0, sizeof *Layout);
    ScanReader reader(Conv);
    const int64_t fileSize = SoundConvert_StreamSize(Conv);

    // ID3v2: a syncsafe size (7 bits a byte) after "ID3", version, revision and flags; a
    // version 4 tag may carry a footer of its own.
    const unsigned char *tag = reader.At(0, kId3v2HeaderBytes);
    if (tag != nullptr && memcmp(tag, "ID3", 3) == 0) {
        int64_t size = (((int64_t)tag[6] * 128 + tag[7]) * 128 + tag[8]) * 128 + tag[9];
        Layout->AudioStart = size + kId3v2HeaderBytes;
        if (tag[3] == 4 && (tag[5] & kId3v2FooterFlag) != 0) Layout->AudioStart += kId3v2FooterBytes;
    }
    // ID3v1: the last 128 bytes, starting "TAG".
    Layout->AudioEnd = fileSize;
    if (fileSize != INT64_MAX && fileSize > kId3v1Bytes) {
        const unsigned char *v1 = reader.At(fileSize - kId3v1Bytes, 3);
        if (v1 != nullptr && memcmp(v1, "TAG", 3) == 0) Layout->AudioEnd -= kId3v1Bytes;
    }

    // The frame chain: from a header to the end of its frame, over anything that is not a sync.
    Layout->FirstFrame = -1;
    Layout->DataEnd = -1;
    int64_t pos = Layout->AudioStart;
    while (pos + 1 < Layout->AudioEnd) {
        const unsigned char *h = reader.At(pos, 2);
        if (h == nullptr) break;
        if (h[0] != 0xFF || (h[1] & 0xF0) != 0xF0) {
            pos++;
            continue;
        }
        h = reader.At(pos, 4);
        if (h == nullptr) break;
        SoundMp3FrameInfo info;
        if (SoundConvert_AnalyseMP3FrameHeader(h, &info) != 0 || info.FrameLength == 0) return -1;
        if (Layout->FirstFrame < 0) {
            Layout->FirstFrame = pos;
            Layout->First = info;
        }
        Layout->TotalSamples += info.SamplesPerFrame;
        int64_t end = pos + info.FrameLength;
        if (end >= Layout->AudioEnd) {
            Layout->DataEnd = Layout->AudioEnd;
            break;
        }
        pos = end;
    }
    // A scan that ran off the stream (or off the audio between frames) takes the data to the
    // end of what is there.
    if (Layout->DataEnd < 0) {
        Layout->DataEnd = Layout->AudioEnd < reader.StreamEnd ? Layout->AudioEnd : reader.StreamEnd;
    }
    if (Layout->FirstFrame < 0 || Layout->DataEnd <= Layout->FirstFrame) return -1;
    return 0;
}
