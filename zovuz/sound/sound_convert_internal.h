// Sound conversion: a converter recognises a sound file's format on a stream and delivers
// plain PCM block by block, with seeking, its total size and loop points.
//
// Formats are tried in a fixed order, one entry each in the recogniser table of
// sound_convert.cpp: WAVE, Ogg Vorbis, Ogg Opus, ACM WAVE, MP3 through ACM, MP3 through
// DirectShow, Media Foundation. A caller's skip mask leaves any of them out. Every method
// fills one row of the method table (decode, seek, size, loop points, release); a format
// without a recogniser answers "not this format".
//
// A converter is used by one thread at a time and takes no lock. The stream belongs to the
// caller and is never closed here; everything else the converter allocates is freed by
// SoundConvert_Release.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "zovuz/core/zovuz_core.h"

// The 18-byte wave format record of sound files and sound buffers (the layout of Windows'
// WAVEFORMATEX), spelt out so the portable converter needs no system header.
#pragma pack(push, 1)
struct SoundWaveFormat
{
    uint16_t wFormatTag;       // 1 PCM, 3 IEEE float, other tags are compressed formats
    uint16_t nChannels;        // interleaved channels per frame
    uint32_t nSamplesPerSec;   // frames per second
    uint32_t nAvgBytesPerSec;  // bytes per second as the file states it
    uint16_t nBlockAlign;      // bytes per frame
    uint16_t wBitsPerSample;   // bits of one sample
    uint16_t cbSize;           // extra format bytes after these 18
};
#pragma pack(pop)
static_assert(sizeof(SoundWaveFormat) == 18, "the wave format record is 18 bytes");

constexpr uint16_t SOUND_FORMAT_TAG_PCM = 1;
constexpr uint16_t SOUND_FORMAT_TAG_IEEE_FLOAT = 3;

// A plain PCM format: Channels samples of SampleBytes each per frame, Rate frames a second.
inline void FillPcmFormat(SoundWaveFormat *Format, int Channels, uint32_t Rate, int SampleBytes)
{
    Format->wFormatTag = SOUND_FORMAT_TAG_PCM;
    Format->nChannels = (uint16_t)Channels;
    Format->nSamplesPerSec = Rate;
    Format->wBitsPerSample = (uint16_t)(8 * SampleBytes);
    Format->nBlockAlign = (uint16_t)(Channels * SampleBytes);
    Format->nAvgBytesPerSec = Format->nBlockAlign * Rate;
    Format->cbSize = 0;
}

// Converter methods (the format that took the stream).
enum SoundConvertMethodId {
    SOUND_CONV_METHOD_WAVE = 0,
    SOUND_CONV_METHOD_OGG_VORBIS = 1,
    SOUND_CONV_METHOD_OGG_OPUS = 2,
    SOUND_CONV_METHOD_ACM = 3,
    SOUND_CONV_METHOD_DSMP3 = 4,
    SOUND_CONV_METHOD_MF = 5,
    SOUND_CONV_METHOD_COUNT = 6,
};

// Skip-mask bits of SetupSoundConvert, one per recogniser.
constexpr int SOUND_CONV_SKIP_WAVE = 1;
constexpr int SOUND_CONV_SKIP_OGG_VORBIS = 2;
constexpr int SOUND_CONV_SKIP_OGG_OPUS = 4;
constexpr int SOUND_CONV_SKIP_ACM_WAVE = 8;
constexpr int SOUND_CONV_SKIP_ACM_MP3 = 16;
constexpr int SOUND_CONV_SKIP_DSHOW_MP3 = 32;
constexpr int SOUND_CONV_SKIP_MF = 64;

struct OggVorbis_File;
struct OggOpusFile;

// WAVE method state.
struct SoundConvertWave
{
    unsigned char *FloatBuffer;  // one block of float source frames (float sources only)
    uint32_t FloatBufferSize;    // its size in bytes, a whole number of source frames
    int LoopStart;               // "smpl" loop start in frames, -1 = none
    int LoopEnd;                 // "smpl" loop end in frames, exclusive, -1 = none
    SoundWaveFormat SrcFormat;   // the file's own format
    uint32_t DataRead;           // source bytes of the data chunk consumed so far
};

// Ogg Vorbis method state.
struct SoundConvertOggVorbis
{
    int OpenFlag;          // 1 while File is open
    OggVorbis_File *File;  // the vorbisfile record (allocated)
    int SampleWidth;       // bytes per decoded sample, 1 (unsigned) or 2 (signed)
    int LoopStart;         // from the comments, frames, -1 = none
    int LoopEnd;           // exclusive, -1 = none
    int LinkCount;         // leading links decoded (those sharing the first's format)
    int64_t TotalFrames;   // frames of those links
};

// Ogg Opus method state.
struct SoundConvertOggOpus
{
    int OpenFlag;         // 1 while File is open
    OggOpusFile *File;    // the opusfile decoder
    int FrameSize;        // output bytes per frame (channels x 2)
    int LinkCount;        // leading links decoded (those sharing the first's channels)
    int64_t TotalFrames;  // frames of those links
};

// ACM method state (compressed WAVE and MP3 sources). The compressed data is read whole at
// set-up; a second stream on the same formats (the look-ahead) decodes ahead, up to the
// converter's pre-decode position, so that a jump back there needs no decoding from the start.
struct SoundConvertAcm
{
    unsigned char *SrcFormat;        // the source format as ACM takes it (allocated, extra bytes included)
    void *Stream;                    // main ACM stream
    void *LookAheadStream;           // look-ahead ACM stream, null until a pre-decode position needs it
    unsigned char *SrcData;          // the whole compressed data
    uint32_t SrcDataSize;            // its size in bytes, whole source blocks
    uint32_t SrcPiece;               // source bytes handed to one conversion, whole blocks
    uint32_t SrcOffset;              // main stream's read offset in SrcData
    int64_t TotalSamples;            // frames of an MP3 source; -1 for WAVE (ACM tells the size)
    int64_t TotalBytes;              // the output's size: what is delivered, at most
    uint32_t LookAheadOffset;        // look-ahead stream's read offset in SrcData
    int64_t LookAheadPosition;       // and its output position in bytes
    unsigned char *LookAheadBuffer;  // its output, thrown away (DestBufferSize bytes)
};

// One converter, embedded in its owner.
struct SoundConvertState
{
    int InitializeFlag;           // 1 after a successful set-up
    int EndFlag;                  // 1 once the source is exhausted, cleared by a seek
    int Method;                   // SoundConvertMethodId
    StreamFunctionTable Stream;   // the caller's stream operations
    void *StreamData;             // and stream
    int64_t FormatChunkPosition;  // "fmt " chunk data in the stream (WAVE, ACM WAVE)
    uint32_t FormatChunkSize;
    int64_t DataPosition;       // first data byte in the stream
    uint32_t DataSize;          // data bytes present, a whole number of source frames
    SoundWaveFormat OutFormat;  // the output format, always PCM
    union {                     // the method's own state
        SoundConvertWave Wave;
        SoundConvertOggVorbis OggVorbis;
        SoundConvertOggOpus OggOpus;
        SoundConvertAcm Acm;
    };
    unsigned char *DestBuffer;      // output buffer
    uint32_t DestBufferSize;        // its size in bytes, chosen by the recogniser
    uint32_t DestBufferValid;       // bytes still unread in it
    uint32_t DestBufferReadOffset;  // next unread byte
    int64_t DestOutputPosition;     // output byte offset of the next byte delivered
    int64_t PreDecodePosition;      // output byte offset decoded ahead (ACM)
    int OggVorbisBitDepth;          // Ogg Vorbis sample width asked for, 1 or 2 bytes
    int OggVorbisDecoder;           // Vorbis open selector: 0 one-step open, else test open
};

// Start and end of the conversion system: InitializeSoundConvert / TerminateSoundConvert
// are declared in zovuz_sound.h. They live with the system's ACM loader (windows/), so the
// portable files call nothing of the platform.

// 0 with an initialised converter on the stream, -1 when no format takes it. The stream's
// operations are copied. Mask: SOUND_CONV_SKIP_* bits of the formats to leave out.
int SetupSoundConvert(SoundConvertState *Conv, const StreamFunctionTable *Stream, void *StreamData, int SkipMask,
                      int OggVorbisBitDepth, int OggVorbisDecoder);
// Up to Bytes converted bytes into Dest: the count written, 0 after the end, -1 when the
// converter is not initialised.
int RunSoundConvert(SoundConvertState *Conv, void *Dest, int Bytes);
// Moves to a frame; a move of less than 16 bytes does nothing. The method's result.
int SoundConvert_SetPosition(SoundConvertState *Conv, int64_t Sample);
int SoundConvert_SetPreDecodePosition(SoundConvertState *Conv, int64_t Sample);
// Total bytes of converted PCM.
int64_t SoundConvert_GetDestSize(SoundConvertState *Conv);
int SoundConvert_GetFormat(SoundConvertState *Conv, SoundWaveFormat *Format);
// Loop points in frames (end exclusive); both -1 and result -1 when there are none.
int SoundConvert_GetLoopInfo(SoundConvertState *Conv, int *LoopStart, int *LoopEnd);
// The whole sound in one new block (DXFREE it): 0, or -1.
int SoundConvert_ReadAll(SoundConvertState *Conv, SoundWaveFormat *Format, void **Dest, int *DestBytes);
int SoundConvert_Release(SoundConvertState *Conv);

// ---- shared by the recognisers ------------------------------------------------------------

// Reads up to Bytes bytes from the converter's stream: the bytes actually read.
size_t SoundConvert_ReadStream(SoundConvertState *Conv, void *Buffer, size_t Bytes);
// A read of a memory stream (GetMemStreamFunctionTable) without the copy: the bytes in the
// stream's own block, *Got of them, the stream moved past them as a read moves it. Null for
// any other stream, which is then left as it was.
const unsigned char *SoundConvert_ReadStreamInPlace(SoundConvertState *Conv, size_t Bytes, size_t *Got);
int SoundConvert_SeekStream(SoundConvertState *Conv, int64_t Position);
int64_t SoundConvert_TellStream(SoundConvertState *Conv);
// The stream's length in bytes (the position is kept), or INT64_MAX when it cannot be told.
int64_t SoundConvert_StreamSize(SoundConvertState *Conv);

// RIFF chunk scan from the stream's position: headers are read one after the other, chunks
// skipped with their size rounded up to even, until one with the 4-character Id starts
// before Limit. 0 with the stream at its data and *Size its stated size; -1 when the stream
// or the limit ends first (a short header read ends the scan).
int SoundConvert_FindChunk(SoundConvertState *Conv, const char *Id, int64_t Limit, uint32_t *Size);

// Reads a "fmt " chunk of Size bytes at the stream's position into Format (the first 18
// bytes at most, the rest zero); a 16-byte PCM chunk gets its bits from the block
// alignment. 0, or -1 for a chunk under 16 bytes or one whose counts cannot describe sound
// (no channels, no rate, no bytes per second, a block too small for its samples).
int SoundConvert_ReadFormatChunk(SoundConvertState *Conv, uint32_t Size, SoundWaveFormat *Format);

// Trims a loop to the sound: the end is clamped to TotalFrames, and a loop that starts
// below 0 or does not end after its start becomes no loop (both -1).
void SoundConvert_ClampLoop(int64_t Start, int64_t End, int64_t TotalFrames, int *LoopStart, int *LoopEnd);

// ---- the methods --------------------------------------------------------------------------

int SetupSoundConvertWave(SoundConvertState *Conv);
int SoundConvert_Wave_Decode(SoundConvertState *Conv);
int SoundConvert_Wave_Seek(SoundConvertState *Conv, int64_t Sample);
int64_t SoundConvert_Wave_GetDestSize(SoundConvertState *Conv);
int SoundConvert_Wave_GetLoopInfo(SoundConvertState *Conv, int *LoopStart, int *LoopEnd);
void SoundConvert_Wave_Release(SoundConvertState *Conv);

int SoundConvert_OggVorbis_Open(SoundConvertState *Conv);
int SoundConvert_OggVorbis_Decode(SoundConvertState *Conv);
int SoundConvert_OggVorbis_Seek(SoundConvertState *Conv, int64_t Sample);
int64_t SoundConvert_OggVorbis_GetTotalSample(SoundConvertState *Conv);
int SoundConvert_Ogg_GetLoopInfo(SoundConvertState *Conv, int *LoopStart, int *LoopEnd);
void SoundConvert_OggVorbis_Close(SoundConvertState *Conv);

int SoundConvert_OggOpus_Open(SoundConvertState *Conv);
int SoundConvert_OggOpus_Decode(SoundConvertState *Conv);
int SoundConvert_OggOpus_Seek(SoundConvertState *Conv, int64_t Sample);
int64_t SoundConvert_OggOpus_GetTotalSample(SoundConvertState *Conv);
void SoundConvert_OggOpus_Close(SoundConvertState *Conv);

// ---- ACM: compressed WAVE and MP3 -------------------------------------------------------

// The audio compression manager as the ACM method uses it: the system's msacm32, loaded at
// run time, behind calls that need no system header. Null (no ACM) until SoundConvert_LoadACM
// succeeds; without it both ACM recognisers refuse at once.
struct SoundAcmApi
{
    // Completes Dest, whose tag is set to PCM, as the PCM format the codec suggests for Src: 0, -1.
    int (*FormatSuggest)(const void *Src, SoundWaveFormat *Dest);
    // The largest format record of any installed codec in bytes, or -1.
    int (*MaxFormatSize)(void);
    // A non-real-time stream from Src to Dest, or null.
    void *(*StreamOpen)(const void *Src, const SoundWaveFormat *Dest);
    void (*StreamClose)(void *Stream);
    // Converts whole source blocks of Src into Dest: 0 with the bytes used and produced (both 0
    // when the codec refused the piece), -1 when the stream header cannot be prepared.
    int (*StreamConvert)(void *Stream, const void *Src, uint32_t SrcBytes, void *Dest, uint32_t DestBytes,
                         uint32_t *SrcUsed, uint32_t *DestUsed);
    // Output bytes of SrcBytes source bytes, or -1.
    int64_t (*StreamSize)(void *Stream, uint32_t SrcBytes);
};

// Start and end of the system's ACM (Windows): 0, or -1 when msacm32 or one of its functions
// is missing (what was found stays loaded until SoundConvert_Platform_Terminate).
int SoundConvert_LoadACM(void);
int SoundConvert_Platform_Terminate(void);
// The ACM the converters use, null when none is loaded.
const SoundAcmApi *SoundConvert_GetACM(void);
void SoundConvert_SetACM(const SoundAcmApi *Api);

// One MPEG audio frame header.
struct SoundMp3FrameInfo
{
    int Layer;    // 0 Layer I, 1 Layer II, 2 Layer III
    int Version;  // 0 MPEG-1, 1 MPEG-2
    int BitRateIndex;
    int SampleRateIndex;
    int Padding;          // 1 when the frame has its padding slot
    int Channels;         // 1 or 2
    int SampleRate;       // Hz
    int BitRate;          // kbit/s; 0 for a free-format frame
    int FrameLength;      // bytes, header included
    int SamplesPerFrame;  // 384, 1152 or 576
};
// Parses the 4 header bytes: 0, -1 for a reserved or invalid field, -2 without a sync.
int SoundConvert_AnalyseMP3FrameHeader(const unsigned char *Header, SoundMp3FrameInfo *Info);

// Where an MP3 file's frames are: tags skipped (ID3v2 at the start, ID3v1 "TAG" at the end),
// the frame chain followed from the first sync.
struct SoundMp3Layout
{
    int64_t AudioStart;       // first byte after an ID3v2 tag (0 without one)
    int64_t AudioEnd;         // the end of the stream, less an ID3v1 tag
    int64_t FirstFrame;       // the first frame header
    int64_t DataEnd;          // end of the data handed to the decoder
    int64_t TotalSamples;     // frames found x samples per frame
    SoundMp3FrameInfo First;  // the first frame
};
// Scans the converter's stream from its start: 0, or -1 when no frame is found or a sync
// leads to an invalid header.
int SoundConvert_ScanMP3(SoundConvertState *Conv, SoundMp3Layout *Layout);

int SoundConvert_SetupWAVE(SoundConvertState *Conv);
int SoundConvert_SetupMP3(SoundConvertState *Conv);
int SoundConvert_ACM_Decode(SoundConvertState *Conv);
int SoundConvert_ACM_Seek(SoundConvertState *Conv, int64_t Sample);
int64_t SoundConvert_ACM_GetDestSize(SoundConvertState *Conv);
void SoundConvert_ACM_Release(SoundConvertState *Conv);
