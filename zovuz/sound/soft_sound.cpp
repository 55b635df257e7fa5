// SoftSound handles: creation (at once or as an asynchronous job), SoftSound data loaded from
// sound files and read frame by frame, deletion. The player's queue and refill are in
// soft_sound_player.cpp.
#include "zovuz/sound/soft_sound_internal.h"
#include "zovuz/sound/sound_convert_internal.h"
#include "zovuz/sound/sound_platform_internal.h"

#include <string.h>

SoftSoundHandleData *SoftSoundOf(int Handle, bool Ready)
{
    static HandleManage *const manage = GetHandleManage(DX_HANDLETYPE_SOFTSOUND);
    return GetTypedHandle<SoftSoundHandleData>(manage, Handle, !Ready);
}

namespace {

constexpr int WidePathStackChars = 512;
constexpr size_t AbsolutePathBytes = 2048;

SoftSoundHandleData *SoftSoundDataOf(int Handle)
{
    SoftSoundHandleData *sound = SoftSoundOf(Handle, true);
    return sound != nullptr && !sound->IsPlayer ? sound : nullptr;
}

// A new SoftSound handle for a creation call, or -1 when the sound system is not started or the
// table is full. A creation made while the main window is inactive waits until it is active
// again, unless it runs inside the handling of an activation change.
int NewSoftSoundHandle(void)
{
    if (!IsSoundSystemInitialized()) return -1;
    if (!GetWindowActiveFlag() && !GetWindowActivationBusyFlag()) WaitWhileWindowInactive();
    return AddHandle(DX_HANDLETYPE_SOFTSOUND, 0, -1);
}

// The set-up of a new SoftSound handle, run by a job.
struct SoftSoundSetupJob
{
    int Handle;
    int IsPlayer, Channels, BitsPerSample, SamplesPerSec, SampleNum, IsFloatType, FormatSourceHandle;
};

void SetupSoftSoundHandleASyncCallback(ASyncLoadData *Job)
{
    const SoftSoundSetupJob j = ASyncLoadJobParams<SoftSoundSetupJob>(Job);
    int result = SetupSoftSoundHandle(j.Handle, j.IsPlayer, j.Channels, j.BitsPerSample, j.SamplesPerSec, j.SampleNum,
                                      j.IsFloatType, j.FormatSourceHandle);
    FinishSoundLayerHandleJob(j.Handle, result);
}

// SoftSound data loaded by a job from a file (its absolute path, since the job may run after the
// current folder has changed) or from a file image the caller keeps.
struct SoftSoundLoadJob
{
    LoadSoundParam Param;
    int Handle;
    int PathGiven;  // 0: no file name, the file image is read
    wchar_t Path[AbsolutePathBytes / sizeof(wchar_t)];
    const void *FileImage;
    int FileImageSize;
};

void LoadSoftSoundBaseASyncCallback(ASyncLoadData *Job)
{
    SoftSoundLoadJob job = ASyncLoadJobParams<SoftSoundLoadJob>(Job);
    FinishSoundLayerHandleJob(
        job.Handle, LoadSoftSoundBaseSync(&job.Param, job.Handle, job.PathGiven ? job.Path : nullptr, job.FileImage,
                                          job.FileImageSize));
}

// The stored width of a converted format's samples: their container (a 12-bit sample in 16
// bits reads as 16-bit, its low bits zero; the converter never gives a sample wider than its
// container). 0 when the frame is not a whole number of 1..4-byte samples.
int ContainerBits(const SoundWaveFormat &Format)
{
    if (Format.nChannels == 0 || Format.nBlockAlign % Format.nChannels != 0) return 0;
    int bytes = Format.nBlockAlign / Format.nChannels;
    return bytes >= 1 && bytes <= 4 ? bytes * 8 : 0;
}

// One sample of a frame on the signed 16-bit scale.
int SampleTo16(const uint8_t *Sample, const SoundWaveFormat &Format)
{
    if (Format.wFormatTag == SOUND_FORMAT_TAG_IEEE_FLOAT) {
        float value;
        memcpy(&value, Sample, sizeof(value));
        double scaled = double(value) * 32768.0;
        if (!(scaled > -32768.0)) return scaled <= -32768.0 ? -32768 : 0;  // the clamp, or NaN
        return scaled >= 32767.0 ? 32767 : int(scaled);
    }
    switch (Format.wBitsPerSample) {
        case 8:
            return (int(Sample[0]) - 128) * 256;
        case 16:
            return int16_t(uint16_t(Sample[0] | Sample[1] << 8));
        case 24:
            return int16_t(uint16_t(Sample[1] | Sample[2] << 8));
        default:
            return int16_t(uint16_t(Sample[2] | Sample[3] << 8));
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Creation

int MakeSoftSoundPlayer2Ch16Bit44100Hz(void)
{
    return MakeSoftSoundHandle(1, 2, 16, 44100, 0, 0, -1, GetUseASyncLoadFlag());
}

int MakeSoftSoundHandle(int IsPlayer, int Channels, int BitsPerSample, int SamplesPerSec, int SampleNum,
                        int IsFloatType, int FormatSourceHandle, int ASyncLoadFlag)
{
    int handle = NewSoftSoundHandle();
    if (handle < 0) return -1;
    // Known at once, so that a delete while the set-up job waits tells data from a player.
    SoftSoundOf(handle, false)->IsPlayer = IsPlayer ? 1 : 0;

    if (!ASyncLoadFlag)
        return KeepSoundLayerHandleIfSetUp(
            handle, SetupSoftSoundHandle(handle, IsPlayer, Channels, BitsPerSample, SamplesPerSec, SampleNum,
                                         IsFloatType, FormatSourceHandle));

    const SoftSoundSetupJob job = {handle,        IsPlayer,  Channels,    BitsPerSample,
                                   SamplesPerSec, SampleNum, IsFloatType, FormatSourceHandle};
    return QueueSoundLayerHandleJob(handle, SetupSoftSoundHandleASyncCallback, job);
}

int SetupSoftSoundHandle(int SoftSoundHandle, int IsPlayer, int Channels, int BitsPerSample, int SamplesPerSec,
                         int SampleNum, int IsFloatType, int FormatSourceHandle)
{
    if (!IsSoundDeviceReady()) return -1;
    if (FormatSourceHandle >= 0 &&
        GetSoftSoundFormat(FormatSourceHandle, &Channels, &BitsPerSample, &SamplesPerSec, &IsFloatType) < 0)
        return -1;
    return AddSoftSoundData(SoftSoundHandle, IsPlayer, Channels, BitsPerSample, SamplesPerSec, IsFloatType, SampleNum);
}

int AddSoftSoundData(int SoftSoundHandle, int IsPlayer, int Channels, int BitsPerSample, int SamplesPerSec,
                     int IsFloatType, int SampleNum)
{
    if (!IsSoundSystemInitialized()) return -1;
    SoftSoundHandleData *sound = SoftSoundOf(SoftSoundHandle, false);
    if (sound == nullptr) return -1;

    // Formats whose frames cannot be addressed are refused: whole bytes of 8 to 32 bits, a
    // frame that fits the format's 16-bit field, a rate, and no negative length.
    int bits = IsFloatType ? 32 : BitsPerSample;
    if (Channels < 1 || bits < 8 || bits > 32 || bits % 8 != 0 || SamplesPerSec < 1 || SampleNum < 0) return -1;
    uint32_t blockAlign = uint32_t(bits / 8) * uint32_t(Channels);
    if (blockAlign > 0xFFFF) return -1;

    sound->IsPlayer = IsPlayer ? 1 : 0;
    SoundWaveFormat &format = sound->BufferFormat;
    FillPcmFormat(&format, Channels, uint32_t(SamplesPerSec), bits / 8);
    if (IsFloatType) format.wFormatTag = SOUND_FORMAT_TAG_IEEE_FLOAT;

    if (!sound->IsPlayer) {
        uint64_t bytes = uint64_t(blockAlign) * uint32_t(SampleNum);
        sound->Data.SampleNum = SampleNum;
        sound->Data.Wave = bytes > 0 && bytes <= 0x7FFFFFFF ? DXALLOC(size_t(bytes)) : nullptr;
        if (bytes > 0 && sound->Data.Wave == nullptr) {
            AddLogStringWide(L"ソフトハンドルの波形を格納するメモリ領域の確保に失敗しました in AddSoftSoundData\n");
            return -1;
        }
        return 0;
    }

    RingBufferInitialize(&sound->Player.Queue);
    sound->Player.QueuedFrames = 0;
    uint32_t bufferBytes = SoftSoundPlayerBufferBytes(format.nAvgBytesPerSec, blockAlign);
    if (bufferBytes == 0 || SoundBuffer_Initialize(&sound->Player.Buffer, bufferBytes, &format, nullptr, 0) < 0) {
        AddLogStringWide(L"ソフトサウンドプレイヤー用サウンドバッファの作成に失敗しました\n");
        return -1;
    }
    sound->Player.BufferBytes = bufferBytes;
    sound->Player.WriteOffset = 0;
    sound->Player.LeadBytes = SoftSoundPlayerLeadBytes(format.nAvgBytesPerSec, blockAlign);
    sound->Player.PlayingFlag = 0;
    SetupSoftSoundPlayerPacing(sound, format.nAvgBytesPerSec, blockAlign);

    DxCriticalSection *lock = SoftSoundPlayerLock();
    CRITICALSECTION_LOCK(lock);
    HandleListAdd(&SoundSystem.SoftSoundPlayerListFirst, &sound->Player.List, SoftSoundHandle, sound);
    CRITICALSECTION_UNLOCK(lock);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Loading

int LoadSoftSound(const char *FileName)
{
    if (FileName == nullptr) return -1;
    int code = GetCurrentCharCodeFormat();
    int bytes = ConvertCharCode(FileName, code, nullptr, 0, CHAR_CODE_UTF16LE);
    if (bytes <= 0) return -1;
    wchar_t stackPath[WidePathStackChars];
    wchar_t *path = stackPath;
    if (size_t(bytes) > sizeof(stackPath)) {
        path = static_cast<wchar_t *>(DXALLOC(size_t(bytes)));
        if (path == nullptr) return -1;
    }
    ConvertCharCode(FileName, code, reinterpret_cast<char *>(path), size_t(bytes), CHAR_CODE_UTF16LE);

    LoadSoundParam param;
    InitLoadSoundParam(&param);
    int handle = LoadSoftSoundBase(&param, path, nullptr, 0, GetUseASyncLoadFlag());
    if (path != stackPath) DXFREE(path);
    return handle;
}

int LoadSoftSoundBase(const LoadSoundParam *Param, const wchar_t *FileName, const void *FileImage, int FileImageSize,
                      int ASyncLoadFlag)
{
    int handle = NewSoftSoundHandle();
    if (handle < 0) return -1;
    if (!ASyncLoadFlag)
        return KeepSoundLayerHandleIfSetUp(handle,
                                           LoadSoftSoundBaseSync(Param, handle, FileName, FileImage, FileImageSize));

    SoftSoundLoadJob job = {*Param, handle, FileName != nullptr, {}, FileImage, FileImageSize};
    if (FileName != nullptr && ConvertFullPath(FileName, job.Path, sizeof(job.Path), nullptr) < 0)
        return KeepSoundLayerHandleIfSetUp(handle, -1);
    return QueueSoundLayerHandleJob(handle, LoadSoftSoundBaseASyncCallback, job);
}

int LoadSoftSoundBaseSync(const LoadSoundParam *Param, int SoftSoundHandle, const wchar_t *FileName,
                          const void *FileImage, int FileImageSize)
{
    if (!IsSoundDeviceReady() || SoftSoundOf(SoftSoundHandle, false) == nullptr) return -1;

    const StreamFunctionTable *table;
    void *stream;
    if (FileName != nullptr) {
        FileStreamId file = FileAccessOpen(FileName, 0, 1, 0);
        if (file == 0) return -1;
        table = GetFileStreamFunctionTable();
        stream = reinterpret_cast<void *>(file);
    } else {
        if (FileImage == nullptr || FileImageSize < 0) return -1;
        stream = CreateMemStream(FileImage, uint32_t(FileImageSize));
        if (stream == nullptr) return -1;
        table = GetMemStreamFunctionTable();
    }

    SoundConvertState conv = {};
    SoundWaveFormat format = {};
    void *pcm = nullptr;
    int pcmBytes = 0;
    int result = -1;
    if (SetupSoundConvert(&conv, table, stream, Param->ConvertSkipMask, Param->ConvertOggVorbisBitDepth,
                          Param->ConvertOggVorbisDecoder) < 0) {
        AddLogStringWide(L"ソフトサウンド用の音声ファイルのＰＣＭへの変換に失敗しました\n");
    } else if (SoundConvert_ReadAll(&conv, &format, &pcm, &pcmBytes) < 0) {
        AddLogStringWide(L"ソフトサウンド用の音声ファイルを格納するメモリ領域の確保に失敗しました\n");
        pcm = nullptr;
    } else {
        result = 0;
    }
    if (conv.InitializeFlag) SoundConvert_Release(&conv);
    table->Close(stream);
    if (result < 0) return -1;

    // The data keeps the samples as stored: a width padded into a larger container is read as
    // that container.
    int bits = ContainerBits(format);
    int isFloat = format.wFormatTag == SOUND_FORMAT_TAG_IEEE_FLOAT ? 1 : 0;
    int frames = bits > 0 ? pcmBytes / format.nBlockAlign : 0;
    if (bits == 0 ||
        AddSoftSoundData(SoftSoundHandle, 0, format.nChannels, bits, int(format.nSamplesPerSec), isFloat, frames) < 0) {
        DXFREE(pcm);
        return -1;
    }
    SoftSoundHandleData *sound = SoftSoundOf(SoftSoundHandle, false);
    if (frames > 0) memcpy(sound->Data.Wave, pcm, size_t(frames) * sound->BufferFormat.nBlockAlign);
    DXFREE(pcm);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Reading SoftSound data

int GetSoftSoundFormat(int SoftSoundHandle, int *Channels, int *BitsPerSample, int *SamplesPerSec, int *IsFloatType)
{
    SoftSoundHandleData *sound = SoftSoundDataOf(SoftSoundHandle);
    if (sound == nullptr) return -1;
    const SoundWaveFormat &format = sound->BufferFormat;
    if (Channels != nullptr) *Channels = format.nChannels;
    if (BitsPerSample != nullptr) *BitsPerSample = format.wBitsPerSample;
    if (SamplesPerSec != nullptr) *SamplesPerSec = int(format.nSamplesPerSec);
    if (IsFloatType != nullptr) *IsFloatType = format.wFormatTag == SOUND_FORMAT_TAG_IEEE_FLOAT ? 1 : 0;
    return 0;
}

int GetSoftSoundSampleNum(int SoftSoundHandle)
{
    SoftSoundHandleData *sound = SoftSoundDataOf(SoftSoundHandle);
    return sound != nullptr ? sound->Data.SampleNum : -1;
}

int ReadSoftSoundData(int SoftSoundHandle, int SamplePosition, int *Left, int *Right)
{
    SoftSoundHandleData *sound = SoftSoundDataOf(SoftSoundHandle);
    if (sound == nullptr || SamplePosition < 0 || SamplePosition >= sound->Data.SampleNum) return -1;
    const SoundWaveFormat &format = sound->BufferFormat;
    const uint8_t *frame = static_cast<const uint8_t *>(sound->Data.Wave) + size_t(SamplePosition) * format.nBlockAlign;
    int sampleBytes = format.wBitsPerSample / 8;
    if (Left != nullptr) *Left = SampleTo16(frame, format);
    if (Right != nullptr) *Right = format.nChannels > 1 ? SampleTo16(frame + sampleBytes, format) : 0;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Deletion

int DeleteSoftSound(int SoftSoundHandle)
{
    SoftSoundHandleData *sound = SoftSoundOf(SoftSoundHandle, false);
    if (sound == nullptr || sound->IsPlayer) return -1;
    return SubHandle(SoftSoundHandle);
}

int DeleteSoftSoundPlayer(int SoftSoundPlayerHandle)
{
    SoftSoundHandleData *sound = SoftSoundOf(SoftSoundPlayerHandle, false);
    if (sound == nullptr || !sound->IsPlayer) return -1;
    return SubHandle(SoftSoundPlayerHandle);
}

int TerminateSoftSoundHandle(HandleInfo *Info)
{
    SoftSoundHandleData *sound = reinterpret_cast<SoftSoundHandleData *>(Info);
    if (!sound->IsPlayer) {
        DXFREE(sound->Data.Wave);
        sound->Data.Wave = nullptr;
        return 0;
    }
    RingBufferTerminate(&sound->Player.Queue);
    sound->Player.QueuedFrames = 0;
    if (sound->Player.Buffer.Valid) SoundBuffer_Terminate(&sound->Player.Buffer);
    if (sound->Player.List.Prev != nullptr) HandleListRemove(&sound->Player.List);
    return 0;
}

int DeleteAllSoftSoundHandles(void)
{
    DeleteHandleTypeAll(DX_HANDLETYPE_SOFTSOUND,
                        [](HandleInfo *Info) { return reinterpret_cast<SoftSoundHandleData *>(Info)->IsPlayer; });
    DeleteHandleTypeAll(DX_HANDLETYPE_SOFTSOUND, nullptr);
    return 0;
}
