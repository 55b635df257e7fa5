// Loop points of Sound handles, and the loop-information file beside a sound file.
#include "zovuz/sound/sound_handle_internal.h"

#include <string.h>
#include <wchar.h>

namespace {

// The loop file's text, converted to UTF-16, fills at most this many bytes with its terminator;
// reading more of the file than can be converted into it is pointless.
constexpr size_t LoopTextBytes = 480;
constexpr int LoopFileReadBytes = 1024;

const wchar_t LoopFileSuffix[] = L"_loop.txt";

// A loop point is set on the handle's first source. A start must lie within the sound, an end
// may also be its very end. A memory sound is first made a stream sound (never while it loads);
// a sound of two or more sources takes no loop point. The stream record, or null (logged for the
// many-sources case).
SoundHandleData *LoopTarget(int SoundHandle, int AllowLoading, int Position, int IsEnd,
                            const wchar_t *ManySourcesMessage)
{
    int total = GetSoundTotalSample(SoundHandle, AllowLoading);
    if (total < 0 || Position > total - 1 + IsEnd) return nullptr;
    SoundHandleData *sound = SoundHandleOf(SoundHandle, AllowLoading);
    if (sound->Type == SOUND_TYPE_MEMORY) {
        if (sound->HandleInfo.ASyncLoadCount != 0 || ConvertSoundMemToStream(SoundHandle) < 0) return nullptr;
        sound = SoundHandleOf(SoundHandle, AllowLoading);  // a new record under the same value
        if (sound == nullptr) return nullptr;
    }
    if (sound->Stream.SourceNum >= 2) {
        AddLogStringWide(ManySourcesMessage);
        return nullptr;
    }
    return sound->Stream.SourceNum > 0 ? sound : nullptr;
}

int MilliSecToSample(int SoundHandle, int MilliSec, int AllowLoading, int *Sample)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, AllowLoading);
    if (sound == nullptr) return -1;
    *Sample = MilliSec == -1 ? -1 : ConvertMilliSecToSample(int(sound->BufferFormat.nSamplesPerSec), MilliSec);
    return 0;
}

// Digits at Text as a number no larger than INT_MAX; Text moves past them. -1 without a digit or
// for a larger number.
int ReadNumber(const wchar_t *&Text)
{
    if (*Text < L'0' || *Text > L'9') return -1;
    int64_t value = 0;
    for (; *Text >= L'0' && *Text <= L'9'; Text++) {
        value = value * 10 + (*Text - L'0');
        if (value > 0x7FFFFFFF) return -1;
    }
    return int(value);
}

// From the next '=' on, the first digit, and the number there.
int ReadValueAfterEquals(const wchar_t *&Text)
{
    Text = wcschr(Text, L'=');
    if (Text == nullptr) return -1;
    while (*Text != 0 && (*Text < L'0' || *Text > L'9')) Text++;
    return ReadNumber(Text);
}

// "LOOPSTART=<n>" and then "LOOPEND=<n>" or "LOOPLENGTH=<n>", in a terminated text.
int ParseLoopText(const wchar_t *Text, int *LoopStart, int *LoopEnd)
{
    Text = wcschr(Text, L'L');
    if (Text == nullptr || wcsncmp(Text, L"LOOPSTART", 9) != 0) return -1;
    int start = ReadValueAfterEquals(Text);
    if (start < 0 || *Text == 0) return -1;
    Text = wcschr(Text, L'L');
    if (Text == nullptr) return -1;
    bool length = wcsncmp(Text, L"LOOPLENGTH", 10) == 0;
    if (!length && wcsncmp(Text, L"LOOPEND", 7) != 0) return -1;
    int value = ReadValueAfterEquals(Text);
    if (value < 0) return -1;
    int64_t end = length ? int64_t(start) + value : value;
    if (end > 0x7FFFFFFF || start >= end) return -1;
    *LoopStart = start;
    *LoopEnd = int(end);
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Loop points

int SetSoundLoopStartSample(int LoopStartSample, int SoundHandle, int AllowLoading)
{
    SoundHandleData *sound =
        LoopTarget(SoundHandle, AllowLoading, LoopStartSample, 0,
                   L"二つ以上の音声ファイルから作成されたサウンドハンドルにループポイントを指定する事は出来ません\n");
    if (sound == nullptr) return -1;
    CRITICALSECTION_GUARD(guard, SoundHandleTypeLock(DX_HANDLETYPE_SOUND));
    StreamSoundSource &source = sound->Stream.Source[0];
    if (LoopStartSample < 0) {
        source.LoopStartSample = 0;
        source.RepeatCount = 0;
        return 0;
    }
    source.LoopStartSample = LoopStartSample;
    SoundConvert_SetPreDecodePosition(&source.Conv, LoopStartSample);
    source.RepeatCount = STREAM_REPEAT_LOOP_POINT;
    return 0;
}

int SetSoundLoopEndSample(int LoopEndSample, int SoundHandle, int AllowLoading)
{
    SoundHandleData *sound =
        LoopTarget(SoundHandle, AllowLoading, LoopEndSample, 1,
                   L"二つ以上の音声ファイルから作成されたサウンドハンドルにループ開始位置を指定する事は出来ません\n");
    if (sound == nullptr) return -1;
    CRITICALSECTION_GUARD(guard, SoundHandleTypeLock(DX_HANDLETYPE_SOUND));
    StreamSoundSource &source = sound->Stream.Source[0];
    source.LoopEndSample = LoopEndSample < 0 ? -1 : LoopEndSample;
    // Data past the new end may already be in the buffer: the next play prepares it afresh from
    // where the sound stands (and one that plays restarts there).
    int align = sound->BufferFormat.nBlockAlign;
    if (source.LoopEndSample >= 0 && sound->Stream.StreamPosition > int64_t(source.LoopEndSample) * align)
        SetStreamSoundCurrentPosition(GetStreamSoundCurrentPosition(SoundHandle), SoundHandle);
    return 0;
}

int SetSoundLoopSamples(int LoopStartSample, int LoopEndSample, int SoundHandle, int AllowLoading)
{
    if (LoopStartSample >= LoopEndSample) return -1;
    if (SetSoundLoopStartSample(LoopStartSample, SoundHandle, AllowLoading) < 0) return -1;
    return SetSoundLoopEndSample(LoopEndSample, SoundHandle, AllowLoading);
}

int SetSoundLoopStartTime(int LoopStartMilliSec, int SoundHandle, int AllowLoading)
{
    int sample;
    if (MilliSecToSample(SoundHandle, LoopStartMilliSec, AllowLoading, &sample) < 0) return -1;
    return SetSoundLoopStartSample(sample, SoundHandle, AllowLoading);
}

int SetSoundLoopEndTime(int LoopEndMilliSec, int SoundHandle, int AllowLoading)
{
    int sample;
    if (MilliSecToSample(SoundHandle, LoopEndMilliSec, AllowLoading, &sample) < 0) return -1;
    return SetSoundLoopEndSample(sample, SoundHandle, AllowLoading);
}

int SetSoundLoopTimes(int LoopStartMilliSec, int LoopEndMilliSec, int SoundHandle, int AllowLoading)
{
    int start, end;
    if (MilliSecToSample(SoundHandle, LoopStartMilliSec, AllowLoading, &start) < 0 ||
        MilliSecToSample(SoundHandle, LoopEndMilliSec, AllowLoading, &end) < 0)
        return -1;
    return SetSoundLoopSamples(start, end, SoundHandle, AllowLoading);
}

int ApplyLoadSoundLoop(const LoadSoundParam *Param, int SoundHandle)
{
    if (Param->LoopStartMilliSec != Param->LoopEndMilliSec)
        return SetSoundLoopTimes(Param->LoopStartMilliSec, Param->LoopEndMilliSec, SoundHandle, 1);
    if (Param->LoopStartSample != Param->LoopEndSample)
        return SetSoundLoopSamples(Param->LoopStartSample, Param->LoopEndSample, SoundHandle, 1);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Loop files

int MakeLoopInfoFilePath(const wchar_t *SoundFileName, wchar_t *Dest, size_t DestBytes)
{
    if (SoundFileName == nullptr || Dest == nullptr) return -1;
    // The extension is the last '.' of the name, after the last separator.
    size_t length = wcslen(SoundFileName);
    size_t nameStart = 0;
    for (size_t i = 0; i < length; i++)
        if (SoundFileName[i] == L'\\' || SoundFileName[i] == L'/') nameStart = i + 1;
    const wchar_t *dot = wcsrchr(SoundFileName + nameStart, L'.');
    size_t keep = dot != nullptr ? size_t(dot - SoundFileName) : length;
    size_t suffix = sizeof(LoopFileSuffix) / sizeof(wchar_t);  // with its terminator
    if ((keep + suffix) * sizeof(wchar_t) > DestBytes) return -1;
    memcpy(Dest, SoundFileName, keep * sizeof(wchar_t));
    memcpy(Dest + keep, LoopFileSuffix, sizeof(LoopFileSuffix));
    return 0;
}

int ParseLoopInfo(const void *FileBytes, int FileSize, int *LoopStart, int *LoopEnd)
{
    if (FileBytes == nullptr || FileSize < 3) return -1;
    const unsigned char *bytes = static_cast<const unsigned char *>(FileBytes);
    int code = CHAR_CODE_SHIFTJIS;
    int skip = 0;
    if (bytes[0] == 0xFF && bytes[1] == 0xFE)
        code = CHAR_CODE_UTF16LE, skip = 2;
    else if (bytes[0] == 0xFE && bytes[1] == 0xFF)
        code = CHAR_CODE_UTF16BE, skip = 2;
    else if (bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        code = CHAR_CODE_UTF8, skip = 3;

    // The converter reads up to a terminator: the text goes into a copy that ends with one wide
    // enough for every code. What does not fit in the text buffer is cut off.
    int textBytes = FileSize - skip < LoopFileReadBytes ? FileSize - skip : LoopFileReadBytes;
    char source[LoopFileReadBytes + 4] = {};
    memcpy(source, bytes + skip, size_t(textBytes));
    wchar_t text[LoopTextBytes / sizeof(wchar_t)];
    if (ConvertCharCode(source, code, reinterpret_cast<char *>(text), sizeof(text), CHAR_CODE_UTF16LE) == 0) return -1;
    text[LoopTextBytes / sizeof(wchar_t) - 1] = 0;
    return ParseLoopText(text, LoopStart, LoopEnd);
}

int ReadLoopInfoFile(const wchar_t *LoopFileName, int *LoopStart, int *LoopEnd)
{
    FileStreamId file = FileAccessOpen(LoopFileName, 0, 1, 0);
    if (file == 0) return -1;
    unsigned char bytes[LoopFileReadBytes + 3];
    size_t got = FileAccessRead(bytes, 1, sizeof(bytes), file);
    FileAccessClose(file);
    return ParseLoopInfo(bytes, int(got > sizeof(bytes) ? sizeof(bytes) : got), LoopStart, LoopEnd);
}
