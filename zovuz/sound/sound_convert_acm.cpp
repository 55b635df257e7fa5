// The ACM method: compressed WAVE files (IMA and Microsoft ADPCM, GSM 6.10, A-law, µ-law, or
// whatever codec the system has) and MP3 files, decoded by the system's audio compression
// manager. The compressed data is read into memory once at set-up; every decode step then
// converts one piece of it on the main stream, and a second stream (the look-ahead) decodes
// ahead towards the pre-decode position, so that a jump back to a loop start is cheap.
#include <string.h>

#include <atomic>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/sound/sound_convert_internal.h"

namespace {

// The codecs' suggested PCM target for a few recent source formats. Asking ACM for one asks
// every installed codec in turn, which costs more than decoding seconds of sound; the answer
// for a format does not change while the same ACM is loaded.
constexpr int kSuggestionSlots = 4;
constexpr uint32_t kSuggestionFormatBytes = 64;  // longer formats are always asked for
struct AcmSuggestion
{
    uint32_t FormatBytes;                          // 0: the slot is empty
    unsigned char Format[kSuggestionFormatBytes];  // the source format, extra bytes included
    SoundWaveFormat Suggested;                     // what ACM suggested for it
};

struct SoundConvertAcmSystem
{
    const SoundAcmApi *Api;                       // the loaded ACM, null when there is none
    std::atomic_flag SuggestionsBusy;             // held while a thread reads or writes the slots
    AcmSuggestion Suggestions[kSuggestionSlots];  // recent answers of FormatSuggest for Api
    int NextSuggestion;                           // the slot the next answer replaces
};
SoundConvertAcmSystem g_AcmSystem = {nullptr, ATOMIC_FLAG_INIT, {}, 0};

// Source bytes handed to one conversion, before rounding to whole source blocks.
constexpr uint32_t kPieceBytes = 2048;
// The look-ahead stream runs only while it is more than this (or a whole output buffer) short
// of the pre-decode position.
constexpr int64_t kLookAheadSlack = 10240;
// Limits on what a file may ask for: the compressed data held in memory, the output buffer.
constexpr uint32_t kMaxSourceBytes = 256u << 20;
constexpr uint32_t kMaxBufferBytes = 4u << 20;
// A "fmt " chunk holds an 18-byte record and at most 65535 extra bytes.
constexpr uint32_t kMaxFormatBytes = 18 + 0xFFFF;
constexpr uint16_t kFormatTagMpegLayer3 = 0x55;

// The MP3 format record ACM takes (MPEGLAYER3WAVEFORMAT).
#pragma pack(push, 1)
struct Mp3WaveFormat
{
    SoundWaveFormat Wave;
    uint16_t Id;              // 1: MPEG
    uint32_t Flags;           // the first frame's padding bit
    uint16_t BlockSize;       // the first frame's length
    uint16_t FramesPerBlock;  // 1
    uint16_t CodecDelay;      // 700
};
#pragma pack(pop)
static_assert(sizeof(Mp3WaveFormat) == 30, "MPEGLAYER3WAVEFORMAT is 30 bytes");
constexpr uint16_t kMp3ExtraBytes = sizeof(Mp3WaveFormat) - sizeof(SoundWaveFormat);

// The system's ADPCM codecs decode as many samples per block as the format's extra field says,
// reading past the block when it says more than the block holds: the field must be what the
// block alignment gives. Other codecs check their own formats.
constexpr uint16_t kFormatTagMsAdpcm = 2;
constexpr uint16_t kFormatTagImaAdpcm = 0x11;

bool CodecFieldsConsistent(const unsigned char *Format)
{
    SoundWaveFormat f;
    memcpy(&f, Format, sizeof f);
    const unsigned char *extra = Format + sizeof f;
    const uint32_t ch = f.nChannels, align = f.nBlockAlign;
    switch (f.wFormatTag) {
        case kFormatTagImaAdpcm: {
            if (f.cbSize < 2 || (f.wBitsPerSample != 3 && f.wBitsPerSample != 4) || align <= 4 * ch) return false;
            uint32_t perBlock = (align - 4 * ch) * 8 / (f.wBitsPerSample * ch) + 1;
            return (uint32_t)(extra[0] | extra[1] << 8) == perBlock;
        }
        case kFormatTagMsAdpcm: {
            if (f.cbSize < 4 || f.wBitsPerSample != 4 || align <= 7 * ch) return false;
            uint32_t perBlock = (align - 7 * ch) * 8 / (4 * ch) + 2;
            uint32_t coefficients = extra[2] | extra[3] << 8;
            return (uint32_t)(extra[0] | extra[1] << 8) == perBlock && coefficients >= 1 &&
                   4 + 4 * coefficients <= f.cbSize;
        }
        default:
            return true;
    }
}

// The PCM target ACM suggested: every count set, laid out as plain PCM. The system's PCM
// converter takes a PCM format with no bytes per second down with the whole process, so such a
// format must never reach it, as target or as source (the "fmt " reader refuses those).
bool PcmTargetUsable(const SoundWaveFormat &F)
{
    if (F.wFormatTag != SOUND_FORMAT_TAG_PCM || F.nChannels == 0 || F.nSamplesPerSec == 0) return false;
    if (F.wBitsPerSample != 8 && F.wBitsPerSample != 16) return false;
    return F.nBlockAlign == F.nChannels * (F.wBitsPerSample / 8) &&
           (uint64_t)F.nAvgBytesPerSec == (uint64_t)F.nSamplesPerSec * F.nBlockAlign;
}

const SoundWaveFormat &SourceFormat(const SoundConvertState *Conv)
{
    return *(const SoundWaveFormat *)Conv->Acm.SrcFormat;
}

// A zeroed source-format block of at least Bytes and of the largest format any codec uses,
// so that a codec reading its own fields never reads past it.
unsigned char *AllocSourceFormat(const SoundAcmApi *Api, uint32_t Bytes)
{
    int largest = Api->MaxFormatSize();
    uint32_t size = largest > (int)Bytes ? (uint32_t)largest : Bytes;
    unsigned char *block = (unsigned char *)DXALLOC(size);
    if (block != nullptr) memset(block, 0, size);
    return block;
}

void CloseStream(void **Stream)
{
    if (*Stream != nullptr) g_AcmSystem.Api->StreamClose(*Stream);
    *Stream = nullptr;
}

// Drops the look-ahead stream's progress: a new stream from the start of the data.
int RestartLookAhead(SoundConvertState *Conv)
{
    SoundConvertAcm &a = Conv->Acm;
    CloseStream(&a.LookAheadStream);
    a.LookAheadStream = g_AcmSystem.Api->StreamOpen(a.SrcFormat, &Conv->OutFormat);
    a.LookAheadOffset = 0;
    a.LookAheadPosition = 0;
    return a.LookAheadStream != nullptr ? 0 : -1;
}

// Converts the next piece of the data on one stream into Dest: 0, or -1 when the stream
// header cannot be prepared. *Produced is 0 when nothing came out.
int ConvertPiece(SoundConvertState *Conv, void *Stream, uint32_t *Offset, void *Dest, uint32_t *Produced)
{
    SoundConvertAcm &a = Conv->Acm;
    *Produced = 0;
    if (Stream == nullptr || *Offset >= a.SrcDataSize) return 0;
    uint32_t piece = a.SrcDataSize - *Offset < a.SrcPiece ? a.SrcDataSize - *Offset : a.SrcPiece;
    uint32_t used = 0, produced = 0;
    if (g_AcmSystem.Api->StreamConvert(Stream, a.SrcData + *Offset, piece, Dest, Conv->DestBufferSize, &used,
                                       &produced) != 0) {
        return -1;
    }
    if (used > piece) used = piece;
    if (produced > Conv->DestBufferSize) produced = Conv->DestBufferSize;
    *Offset += used;
    *Produced = produced;
    return 0;
}

// One piece on the look-ahead stream, when it is far enough behind the pre-decode position
// that a whole piece of output cannot carry it past: a stream that went past would have to
// start again from the beginning.
int StepLookAhead(SoundConvertState *Conv)
{
    SoundConvertAcm &a = Conv->Acm;
    if (Conv->PreDecodePosition == a.LookAheadPosition) return 0;
    if ((a.LookAheadStream == nullptr || a.LookAheadPosition > Conv->PreDecodePosition) && RestartLookAhead(Conv) != 0)
        return 0;
    int64_t slack = Conv->DestBufferSize > kLookAheadSlack ? Conv->DestBufferSize : kLookAheadSlack;
    if (Conv->PreDecodePosition - a.LookAheadPosition <= slack) return 0;
    uint32_t produced;
    if (ConvertPiece(Conv, a.LookAheadStream, &a.LookAheadOffset, a.LookAheadBuffer, &produced) != 0) return -1;
    a.LookAheadPosition += produced;
    if (produced == 0) a.LookAheadOffset = a.SrcDataSize;  // the codec refused: stop here
    return 0;
}

// Empties the output buffer at output position P.
void EmptyBuffer(SoundConvertState *Conv, int64_t P)
{
    Conv->DestOutputPosition = P;
    Conv->DestBufferValid = 0;
    Conv->DestBufferReadOffset = 0;
}

// Moves forward inside the output buffer by Bytes (at most what it holds).
void MoveInBuffer(SoundConvertState *Conv, int64_t Bytes)
{
    Conv->DestBufferReadOffset += (uint32_t)Bytes;
    Conv->DestBufferValid -= (uint32_t)Bytes;
    Conv->DestOutputPosition += Bytes;
}

// Reads the data chunk or frame chain (Size bytes at the data position) into memory: only
// whole source blocks of what the stream really holds count. The block grows as the data
// comes, so a stated size far beyond the stream's end costs nothing.
int ReadSourceData(SoundConvertState *Conv, int64_t Size)
{
    SoundConvertAcm &a = Conv->Acm;
    if (Size <= 0 || SoundConvert_SeekStream(Conv, Conv->DataPosition) != 0) return -1;
    if (Size > kMaxSourceBytes) Size = kMaxSourceBytes;
    uint32_t got = 0, capacity = 0;
    while (got < Size) {
        if (got == capacity) {
            uint32_t grown = capacity == 0 ? 1u << 16 : capacity * 2;
            if (grown > Size) grown = (uint32_t)Size;
            unsigned char *block = (unsigned char *)DXREALLOC(a.SrcData, grown);
            if (block == nullptr) return -1;
            a.SrcData = block;
            capacity = grown;
        }
        uint32_t n = (uint32_t)SoundConvert_ReadStream(Conv, a.SrcData + got, capacity - got);
        got += n;
        if (n == 0 || got < capacity) break;
    }
    got -= got % SourceFormat(Conv).nBlockAlign;
    if (got == 0) return -1;
    a.SrcDataSize = got;
    Conv->DataSize = got;
    return SoundConvert_SeekStream(Conv, Conv->DataPosition);
}

// The source format's bytes as a codec reads them: the record and its extra bytes.
uint32_t FormatBytes(const unsigned char *Format)
{
    SoundWaveFormat f;
    memcpy(&f, Format, sizeof f);
    return (uint32_t)sizeof f + f.cbSize;
}

// FormatSuggest through the recent answers. A thread that finds the slots in use by another
// asks ACM itself rather than wait. Only usable targets are kept.
int SuggestTarget(const unsigned char *Src, SoundWaveFormat *Dest)
{
    SoundConvertAcmSystem &sys = g_AcmSystem;
    const uint32_t bytes = FormatBytes(Src);
    const bool cacheable = bytes <= kSuggestionFormatBytes;
    if (cacheable && !sys.SuggestionsBusy.test_and_set(std::memory_order_acquire)) {
        bool found = false;
        for (const AcmSuggestion &slot : sys.Suggestions) {
            if (slot.FormatBytes == bytes && memcmp(slot.Format, Src, bytes) == 0) {
                *Dest = slot.Suggested;
                found = true;
                break;
            }
        }
        sys.SuggestionsBusy.clear(std::memory_order_release);
        if (found) return 0;
    }
    if (sys.Api->FormatSuggest(Src, Dest) != 0) return -1;
    if (cacheable && PcmTargetUsable(*Dest) && !sys.SuggestionsBusy.test_and_set(std::memory_order_acquire)) {
        AcmSuggestion &slot = sys.Suggestions[sys.NextSuggestion];
        sys.NextSuggestion = (sys.NextSuggestion + 1) % kSuggestionSlots;
        slot.FormatBytes = bytes;
        memcpy(slot.Format, Src, bytes);
        slot.Suggested = *Dest;
        sys.SuggestionsBusy.clear(std::memory_order_release);
    }
    return 0;
}

// What both recognisers share once the source format and the data are known: the PCM output
// format, the data in memory, both streams, the piece and buffer sizes. Mp3 is the first
// frame of an MP3 source, null for WAVE.
int OpenStreams(SoundConvertState *Conv, int64_t DataBytes, const SoundMp3FrameInfo *Mp3)
{
    SoundConvertAcm &a = Conv->Acm;
    const SoundAcmApi *api = g_AcmSystem.Api;
    if (!CodecFieldsConsistent(a.SrcFormat)) return -1;
    memset(&Conv->OutFormat, 0, sizeof Conv->OutFormat);
    Conv->OutFormat.wFormatTag = SOUND_FORMAT_TAG_PCM;
    if (SuggestTarget(a.SrcFormat, &Conv->OutFormat) != 0 || !PcmTargetUsable(Conv->OutFormat)) return -1;
    Conv->OutFormat.cbSize = 0;
    if (ReadSourceData(Conv, DataBytes) != 0) return -1;

    // The look-ahead stream is opened when a pre-decode position first asks for it.
    a.Stream = api->StreamOpen(a.SrcFormat, &Conv->OutFormat);
    if (a.Stream == nullptr) return -1;

    // Pieces of whole source blocks (at least one, however large a block is).
    const uint32_t align = SourceFormat(Conv).nBlockAlign;
    a.SrcPiece = kPieceBytes - kPieceBytes % align;
    if (a.SrcPiece == 0) a.SrcPiece = align;

    // The output buffer holds about a second (an MP3 a third more); a codec that cannot write
    // a piece's whole output refuses it or drops the rest, so the buffer also holds the most
    // one piece can give.
    const SoundWaveFormat &out = Conv->OutFormat;
    uint64_t buffer = Mp3 != nullptr ? (uint64_t)out.nAvgBytesPerSec * 4 / 3 : out.nAvgBytesPerSec;
    int64_t piece;
    if (Mp3 != nullptr) {
        // The shortest frames of this version, layer and rate: the lowest bit rate, no padding.
        // A piece may also finish a frame the previous one began.
        SoundMp3FrameInfo f;
        const unsigned char lowest[4] = {0xFF, (unsigned char)(0xF1 | (1 - Mp3->Version) << 3 | (3 - Mp3->Layer) << 1),
                                         (unsigned char)(0x10 | Mp3->SampleRateIndex << 2), 0};
        if (SoundConvert_AnalyseMP3FrameHeader(lowest, &f) != 0) return -1;
        piece = ((int64_t)a.SrcPiece / f.FrameLength + 2) * f.SamplesPerFrame * out.nBlockAlign;
    } else {
        piece = api->StreamSize(a.Stream, a.SrcPiece);
        if (piece <= 0) return -1;
    }
    if ((uint64_t)piece > buffer) buffer = (uint64_t)piece;
    if (buffer > kMaxBufferBytes) {
        if ((uint64_t)piece > kMaxBufferBytes) return -1;
        buffer = kMaxBufferBytes;
    }
    buffer -= buffer % out.nBlockAlign;
    Conv->DestBufferSize = (uint32_t)buffer;
    a.LookAheadBuffer = (unsigned char *)DXALLOC(Conv->DestBufferSize);
    if (a.LookAheadBuffer == nullptr) return -1;
    // The total: an MP3's frames, or what ACM says the data makes (it ends the delivery too,
    // should a damaged block give more).
    if (a.TotalSamples >= 0) {
        a.TotalBytes = a.TotalSamples * out.nBlockAlign;
    } else {
        a.TotalBytes = api->StreamSize(a.Stream, a.SrcDataSize);
        a.TotalBytes -= a.TotalBytes % out.nBlockAlign;
    }
    if (a.TotalBytes <= 0) return -1;
    a.SrcOffset = 0;
    a.LookAheadOffset = 0;
    a.LookAheadPosition = 0;
    Conv->Method = SOUND_CONV_METHOD_ACM;
    return 0;
}

// Clears the method state before a recogniser starts; total samples as given.
void ClearState(SoundConvertState *Conv, int64_t TotalSamples)
{
    memset(&Conv->Acm, 0, sizeof Conv->Acm);
    Conv->Acm.TotalSamples = TotalSamples;
    memset(&Conv->OutFormat, 0, sizeof Conv->OutFormat);
}

}  // namespace

const SoundAcmApi *SoundConvert_GetACM(void) { return g_AcmSystem.Api; }

// Another ACM may suggest otherwise: the recent answers go with the old one.
void SoundConvert_SetACM(const SoundAcmApi *Api)
{
    SoundConvertAcmSystem &sys = g_AcmSystem;
    while (sys.SuggestionsBusy.test_and_set(std::memory_order_acquire)) {
    }
    memset(sys.Suggestions, 0, sizeof sys.Suggestions);
    sys.NextSuggestion = 0;
    sys.Api = Api;
    sys.SuggestionsBusy.clear(std::memory_order_release);
}

int SoundConvert_SetupWAVE(SoundConvertState *Conv)
{
    const SoundAcmApi *api = g_AcmSystem.Api;
    if (api == nullptr) return -1;
    ClearState(Conv, -1);

    unsigned char riff[12];
    if (SoundConvert_ReadStream(Conv, riff, sizeof riff) != sizeof riff) return -1;
    if (memcmp(riff, "RIFF", 4) != 0 || memcmp(riff + 8, "WAVE", 4) != 0) return -1;

    // "fmt " wherever it stands ("bext" or anything else may come first), with its extra
    // bytes; an extra size that claims more than the chunk holds is cut to what it holds.
    uint32_t fmtSize;
    SoundWaveFormat head;
    if (SoundConvert_FindChunk(Conv, "fmt ", INT64_MAX, &fmtSize) != 0) return -1;
    Conv->FormatChunkPosition = SoundConvert_TellStream(Conv);
    Conv->FormatChunkSize = fmtSize;
    if (SoundConvert_ReadFormatChunk(Conv, fmtSize, &head) != 0) return -1;
    uint32_t kept = fmtSize < kMaxFormatBytes ? fmtSize : kMaxFormatBytes;
    uint32_t extra = kept > sizeof head ? kept - (uint32_t)sizeof head : 0;
    if (head.cbSize > extra) head.cbSize = (uint16_t)extra;
    Conv->Acm.SrcFormat = AllocSourceFormat(api, (uint32_t)sizeof head + extra);
    if (Conv->Acm.SrcFormat == nullptr) return -1;
    memcpy(Conv->Acm.SrcFormat, &head, sizeof head);
    if (extra > 0 && SoundConvert_ReadStream(Conv, Conv->Acm.SrcFormat + sizeof head, extra) != extra) {
        SoundConvert_ACM_Release(Conv);
        return -1;
    }

    // "data" after "fmt ", as the WAVE reader takes it.
    uint32_t dataSize;
    bool found = SoundConvert_SeekStream(Conv, Conv->FormatChunkPosition + fmtSize + (fmtSize & 1)) == 0 &&
                 SoundConvert_FindChunk(Conv, "data", INT64_MAX, &dataSize) == 0;
    if (!found) {
        SoundConvert_ACM_Release(Conv);
        return -1;
    }
    Conv->DataPosition = SoundConvert_TellStream(Conv);
    if (OpenStreams(Conv, dataSize, nullptr) != 0) {
        SoundConvert_ACM_Release(Conv);
        return -1;
    }
    return 0;
}

int SoundConvert_SetupMP3(SoundConvertState *Conv)
{
    const SoundAcmApi *api = g_AcmSystem.Api;
    if (api == nullptr) return -1;
    ClearState(Conv, 0);

    SoundMp3Layout layout;
    if (SoundConvert_ScanMP3(Conv, &layout) != 0) return -1;
    const SoundMp3FrameInfo &first = layout.First;
    // A free-format first frame states no bit rate, so the format could give the codec no
    // bytes per second.
    if (first.BitRate == 0) return -1;
    Conv->Acm.TotalSamples = layout.TotalSamples;

    Conv->Acm.SrcFormat = AllocSourceFormat(api, (uint32_t)sizeof(Mp3WaveFormat));
    if (Conv->Acm.SrcFormat == nullptr) return -1;
    Mp3WaveFormat f = {};
    f.Wave.wFormatTag = kFormatTagMpegLayer3;
    f.Wave.nChannels = (uint16_t)first.Channels;
    f.Wave.nSamplesPerSec = (uint32_t)first.SampleRate;
    f.Wave.nAvgBytesPerSec = (uint32_t)first.BitRate * 1000 / 8;
    f.Wave.nBlockAlign = 1;
    f.Wave.wBitsPerSample = 0;
    f.Wave.cbSize = kMp3ExtraBytes;
    f.Id = 1;
    f.Flags = (uint32_t)first.Padding;
    f.BlockSize = (uint16_t)first.FrameLength;
    f.FramesPerBlock = 1;
    f.CodecDelay = 700;
    memcpy(Conv->Acm.SrcFormat, &f, sizeof f);

    Conv->DataPosition = layout.FirstFrame;
    if (OpenStreams(Conv, layout.DataEnd - layout.FirstFrame, &first) != 0) {
        SoundConvert_ACM_Release(Conv);
        return -1;
    }
    return 0;
}

int SoundConvert_ACM_Decode(SoundConvertState *Conv)
{
    SoundConvertAcm &a = Conv->Acm;
    if (StepLookAhead(Conv) != 0) return -1;

    if (a.SrcOffset >= a.SrcDataSize) return -1;
    // The sound ends at its total (an MP3 with its last frame's samples), whatever the codec
    // still has to give.
    int64_t limit = a.TotalBytes - Conv->DestOutputPosition;
    uint32_t produced;
    if (limit <= 0 || ConvertPiece(Conv, a.Stream, &a.SrcOffset, Conv->DestBuffer, &produced) != 0) return -1;
    if (produced > limit) produced = (uint32_t)limit;
    Conv->DestBufferValid = produced;
    Conv->DestBufferReadOffset = 0;
    if (produced == 0) {
        a.SrcOffset = a.SrcDataSize;
        return -1;
    }
    return 0;
}

int SoundConvert_ACM_Seek(SoundConvertState *Conv, int64_t Sample)
{
    SoundConvertAcm &a = Conv->Acm;
    const SoundAcmApi *api = g_AcmSystem.Api;
    const int64_t t = Sample * Conv->OutFormat.nBlockAlign;
    const int64_t p = Conv->DestOutputPosition;
    if (t < p && (t < a.LookAheadPosition || a.LookAheadStream == nullptr)) {
        // Back before the look-ahead (or with none open, at the start): the main stream starts
        // again.
        CloseStream(&a.Stream);
        a.Stream = api->StreamOpen(a.SrcFormat, &Conv->OutFormat);
        a.SrcOffset = 0;
        EmptyBuffer(Conv, 0);
    } else if (t < p) {
        // Back, but not before the look-ahead: it becomes the main stream, and a new
        // look-ahead starts from the beginning.
        void *main = a.Stream;
        a.Stream = a.LookAheadStream;
        a.LookAheadStream = main;
        a.SrcOffset = a.LookAheadOffset;
        EmptyBuffer(Conv, a.LookAheadPosition);
        RestartLookAhead(Conv);
    }
    // Forward, through the buffer and as many decode steps as it takes.
    while (Conv->DestOutputPosition + Conv->DestBufferValid < t) {
        EmptyBuffer(Conv, Conv->DestOutputPosition + Conv->DestBufferValid);
        if (SoundConvert_ACM_Decode(Conv) != 0) {
            Conv->EndFlag = 1;
            EmptyBuffer(Conv, Conv->DestOutputPosition);
            return 0;
        }
    }
    MoveInBuffer(Conv, t - Conv->DestOutputPosition);
    return 0;
}

int64_t SoundConvert_ACM_GetDestSize(SoundConvertState *Conv) { return Conv->Acm.TotalBytes; }

void SoundConvert_ACM_Release(SoundConvertState *Conv)
{
    SoundConvertAcm &a = Conv->Acm;
    DXFREE(a.SrcFormat);
    DXFREE(a.LookAheadBuffer);
    if (g_AcmSystem.Api != nullptr) {
        CloseStream(&a.Stream);
        CloseStream(&a.LookAheadStream);
    }
    DXFREE(a.SrcData);
    memset(&a, 0, sizeof a);
}
