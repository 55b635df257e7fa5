// Sound handles: creation, loading from files and file images (at once or as a job), the
// memory sound's buffers, the change of a memory sound into a stream sound, and deletion.
// Plays and properties are in sound_handle_play.cpp, stream sounds in stream_sound.cpp.
#include "zovuz/sound/sound_handle_internal.h"
#include "zovuz/sound/wave_image_internal.h"

#include <limits.h>
#include <string.h>

namespace {

// A sound longer than this many seconds is played as a stream sound.
constexpr int MemorySoundMaxSeconds = 180;

// The loop file beside the sound file, when the parameters name no loop: its loop becomes theirs,
// and a memory sound becomes a stream sound of the file image.
void TakeLoopFile(LoadSoundParam *Param, const wchar_t *FileName)
{
    if (LoadSoundLoopSet(*Param)) return;
    wchar_t path[SOUND_LOOP_FILE_PATH_BYTES / sizeof(wchar_t)];
    int start, end;
    if (MakeLoopInfoFilePath(FileName, path, sizeof(path)) < 0 || ReadLoopInfoFile(path, &start, &end) < 0) return;
    Param->LoopStartSample = start;
    Param->LoopEndSample = end;
    if (Param->CreateType == 0) Param->CreateType = STREAM_SOURCE_KIND_FILE_IMAGE;
}

// A stream sound whose source was just added: its buffer is filled ahead and the loop of the
// parameters is set. 0 / -1.
int FinishStreamLoad(const LoadSoundParam *Param, int SoundHandle, int AllowLoading)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, AllowLoading);
    if (sound == nullptr) return -1;
    PrepareStreamSound(sound, SoundHandle);
    return ApplyLoadSoundLoop(Param, SoundHandle);
}

// A Sound handle loaded from a file by a job: the absolute path, since the job may run after the
// current folder has changed.
struct SoundFileJob
{
    LoadSoundParam Param;
    int Handle;
    int BufferNum;
    int SharingHandle;
    wchar_t Path[FILE_PATH_MAX_CHARS];
};

void SetupSoundHandleFromFileASyncCallback(ASyncLoadData *Job)
{
    SoundFileJob job = ASyncLoadJobParams<SoundFileJob>(Job);
    FinishSoundLayerHandleJob(
        job.Handle, SetupSoundHandleFromFile(&job.Param, job.Handle, job.Path, job.BufferNum, job.SharingHandle, 1));
}

// A Sound handle loaded from a file image in memory by a job (the caller keeps the image).
struct SoundMemImageJob
{
    LoadSoundParam Param;
    int Handle;
    const void *FileImage;
    int FileImageSize;
    int BufferNum;
    int SharingHandle;
};

void LoadSoundMemByMemImageBaseASyncCallback(ASyncLoadData *Job)
{
    SoundMemImageJob job = ASyncLoadJobParams<SoundMemImageJob>(Job);
    FinishSoundLayerHandleJob(
        job.Handle, LoadSoundMemByMemImageBase(&job.Param, job.Handle, job.FileImage, job.FileImageSize, job.BufferNum,
                                               job.SharingHandle, 1));
}

// The end of a load run at once. A caller that is itself a job made the handle loading: the
// count goes down, and the handle goes on failure either way. The handle, or -1.
int FinishLoadAtOnce(int SoundHandle, int ASyncThread, int Result)
{
    if (!ASyncThread) return KeepSoundLayerHandleIfSetUp(SoundHandle, Result);
    FinishSoundLayerHandleJob(SoundHandle, Result);
    return Result < 0 ? -1 : SoundHandle;
}

// Copies the PCM into every buffer of a memory sound. 0 / -1 (logged).
int TransferPcm(SoundHandleData *Sound)
{
    uint32_t bytes = uint32_t(Sound->Normal.WaveSize);
    for (int i = 0; i < Sound->BufferNum; i++) {
        void *part1, *part2;
        uint32_t size1, size2;
        if (SoundBuffer_Lock(&Sound->Buffer[i], 0, bytes, &part1, &size1, &part2, &size2) < 0) {
            AddLogStringWide(L"サウンドデータの転送に失敗しました_1");
            return -1;
        }
        memcpy(part1, Sound->Normal.WaveData, size1);
        if (part2 != nullptr) memcpy(part2, static_cast<char *>(Sound->Normal.WaveData) + size1, size2);
        if (SoundBuffer_Unlock(&Sound->Buffer[i], part1, size1, part2, size2) < 0) {
            AddLogStringWide(L"サウンドデータの転送に失敗しました_2");
            return -1;
        }
    }
    return 0;
}

// Stops every buffer of a memory sound.
void StopMemorySound(SoundHandleData *Sound)
{
    for (int i = 0; i < Sound->BufferNum; i++)
        if (SoundBuffer_GetStatus(&Sound->Buffer[i]) == 1) SoundBuffer_Stop(&Sound->Buffer[i], 1);
}

void Unlink(DxCriticalSection *Lock, HandleListNode *Node)
{
    CRITICALSECTION_GUARD(guard, Lock);
    if (Node->Prev != nullptr) HandleListRemove(Node);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Records

SoundHandleData *SoundHandleOf(int SoundHandle, int AllowLoading)
{
    static HandleManage *const manage = GetHandleManage(DX_HANDLETYPE_SOUND);
    if (!IsSoundDeviceReady()) return nullptr;
    return GetTypedHandle<SoundHandleData>(manage, SoundHandle, AllowLoading);
}

int InitializeSoundHandle(HandleInfo *Info)
{
    SoundHandleData *sound = reinterpret_cast<SoundHandleData *>(Info);
    sound->BufferPlayIndex = 0;
    for (int i = 0; i < SOUNDBUFFER_MAX_CHANNEL_NUM; i++) {
        sound->Volume[i] = 0;
        sound->LinearVolume[i] = 255;
    }
    for (int i = 0; i < 3; i++) {
        sound->Position3D[i] = 0.0f;
        sound->Velocity3D[i] = 0.0f;
    }
    sound->DistanceScale3D = 14.0f;
    sound->FrequencyScaleFlag = 0;
    sound->FrequencyScale = 1.0f;
    sound->DeleteOnPlayEnd = 0;
    StreamSoundData &stream = sound->Stream;
    stream.SourceNum = 0;
    stream.SharedFromHandle = -1;
    stream.ShareCount = 0;
    stream.CurrentUser = -1;
    stream.WriteOffset = STREAM_WRITE_OFFSET_UNFILLED;
    return 0;
}

int AddSoundHandle(int Is3DSound, int KeepFlag, int ASyncThread, int ReuseHandle)
{
    if (!IsSoundSystemInitialized()) return -1;
    int handle = AddHandle(DX_HANDLETYPE_SOUND, ASyncThread, ReuseHandle);
    if (handle < 0) return -1;
    SoundHandleData *sound = GetTypedHandle<SoundHandleData>(handle, DX_HANDLETYPE_SOUND, 1);
    sound->Is3DSound = Is3DSound ? 1 : 0;
    sound->KeepFlag = KeepFlag ? 1 : 0;
    if (sound->Is3DSound) {
        CRITICALSECTION_GUARD(guard, &SoundSystem.Sound3DListLock);
        HandleListAdd(&SoundSystem.Sound3DListFirst, &sound->List3D, handle, sound);
    }
    return handle;
}

int TerminateSoundHandle(HandleInfo *Info)
{
    SoundHandleData *sound = reinterpret_cast<SoundHandleData *>(Info);
    int handle = Info->Handle;
    if (sound->Type == SOUND_TYPE_STREAM) {
        if (!sound->Stream.WaitingDelete) StopStreamSound(handle);
    } else {
        StopMemorySound(sound);
    }
    if (sound->Is3DSound) {
        Unlink(&SoundSystem.Sound3DListLock, &sound->List3D);
        Unlink(&SoundSystem.PlayedListLock, &sound->PlayedList);
        sound->OnPlayedList = 0;
    }
    if (sound->DeleteOnPlayEndList.Prev != nullptr) HandleListRemove(&sound->DeleteOnPlayEndList);
    sound->DeleteOnPlayEnd = 0;

    if (sound->Type == SOUND_TYPE_STREAM) return TerminateStreamSound(sound, handle);

    for (int i = 0; i < sound->BufferNum; i++) SoundBuffer_Terminate(&sound->Buffer[i]);
    sound->BufferNum = 0;
    if (sound->Normal.WaveDataUseCount != nullptr && --*sound->Normal.WaveDataUseCount == 0) {
        DXFREE(sound->Normal.WaveData);
        DXFREE(sound->Normal.WaveDataUseCount);
    }
    sound->Normal.WaveData = nullptr;
    sound->Normal.WaveDataUseCount = nullptr;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Loading

int LoadSoundMemFromFile(const LoadSoundParam *Param, const wchar_t *FileName, int BufferNum, int SharingHandle,
                         int ASyncLoadFlag, int ASyncThread)
{
    if (Param == nullptr || FileName == nullptr || !IsSoundDeviceReady()) return -1;
    int handle = AddSoundHandle(Param->Is3DSound, Param->KeepFlag, ASyncThread);
    if (handle < 0) return -1;

    SoundFileJob job = {*Param, handle, BufferNum, SharingHandle, {}};
    if (ConvertFullPath(FileName, job.Path, sizeof(job.Path), nullptr) < 0)
        return FinishLoadAtOnce(handle, ASyncThread, -1);
    if (ASyncLoadFlag && !ASyncThread)
        return QueueSoundLayerHandleJob(handle, SetupSoundHandleFromFileASyncCallback, job);
    return FinishLoadAtOnce(handle, ASyncThread,
                            SetupSoundHandleFromFile(&job.Param, handle, job.Path, BufferNum, SharingHandle, 1));
}

int SetupSoundHandleFromFile(LoadSoundParam *Param, int SoundHandle, const wchar_t *FileName, int BufferNum,
                             int SharingHandle, int AllowLoading)
{
    if (SoundHandleOf(SoundHandle, AllowLoading) == nullptr || FileName == nullptr) return -1;
    TakeLoopFile(Param, FileName);

    if (Param->CreateType != 0) {
        if (AddStreamSoundFile(Param, FileName, 0, SoundHandle, Param->CreateType, SharingHandle, AllowLoading) < 0)
            return -1;
        return FinishStreamLoad(Param, SoundHandle, AllowLoading);
    }

    FileStreamId file = FileAccessOpen(FileName, 0, 1, 0);
    void *image = nullptr;
    int imageSize = 0;
    int read = -1;
    if (file == 0) {
        AddLogFormat(L"File Open Error : %s", FileName);
    } else {
        read =
            ReadWholeStream(GetFileStreamFunctionTable(), reinterpret_cast<void *>(file), &image, &imageSize, INT_MAX);
        FileAccessClose(file);
        if (read == -2) AddLogFormat(L"File Load : Memory Alloc Error : %s", FileName);
    }
    if (read < 0) {
        AddLogFormat(L"Sound File Load Error : %s", FileName);
        return -1;
    }
    int result = LoadSoundMemByMemImageBase(Param, SoundHandle, image, imageSize,
                                            BufferNum > SOUND_BUFFER_MAX_NUM ? SOUND_BUFFER_MAX_NUM : BufferNum,
                                            SharingHandle, AllowLoading);
    DXFREE(image);
    if (result < 0) {
        AddLogFormat(L"Sound File Setup Error : %s", FileName);
        return -1;
    }
    return 0;
}

int LoadSoundMemFromMemImage(const LoadSoundParam *Param, int CreateFlag, int SoundHandle, const void *FileImage,
                             int FileImageSize, int BufferNum, int SharingHandle, int ASyncLoadFlag, int ASyncThread)
{
    if (Param == nullptr || FileImage == nullptr || FileImageSize < 0 || !IsSoundDeviceReady()) return -1;
    LoadSoundParam param = *Param;
    if (!CreateFlag) {
        return LoadSoundMemByMemImageBase(&param, SoundHandle, FileImage, FileImageSize, BufferNum, SharingHandle, 0) <
                       0
                   ? -1
                   : 0;
    }
    int handle = AddSoundHandle(Param->Is3DSound, Param->KeepFlag, ASyncThread);
    if (handle < 0) return -1;
    if (ASyncLoadFlag && !ASyncThread) {
        const SoundMemImageJob job = {param, handle, FileImage, FileImageSize, BufferNum, SharingHandle};
        return QueueSoundLayerHandleJob(handle, LoadSoundMemByMemImageBaseASyncCallback, job);
    }
    return FinishLoadAtOnce(
        handle, ASyncThread,
        LoadSoundMemByMemImageBase(&param, handle, FileImage, FileImageSize, BufferNum, SharingHandle, 1));
}

int LoadSoundMemByMemImageBase(LoadSoundParam *Param, int SoundHandle, const void *FileImage, int FileImageSize,
                               int BufferNum, int SharingHandle, int AllowLoading)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, AllowLoading);
    if (sound == nullptr || BufferNum < 1 || BufferNum > SOUND_BUFFER_MAX_NUM) return -1;

    if (Param->CreateType != 0) {
        if (AddStreamSoundMemImage(Param, FileImage, FileImageSize, 0, SoundHandle, Param->CreateType, SharingHandle,
                                   AllowLoading) < 0)
            return -1;
        return FinishStreamLoad(Param, SoundHandle, AllowLoading);
    }
    // A memory sound is made once: a handle that holds a sound already takes no second one.
    if (sound->BufferNum > 0 || sound->Stream.SourceNum > 0) return -1;

    struct
    {
        SoundWaveFormat Format;
        void *Pcm;
        int PcmBytes, LoopStart, LoopEnd;
    } decoded;
    int decode =
        DecodeSoundFileImage(Param, FileImage, FileImageSize, !LoadSoundLoopSet(*Param) && !Param->IgnoreFileLoop,
                             &decoded.Format, &decoded.Pcm, &decoded.PcmBytes, &decoded.LoopStart, &decoded.LoopEnd);
    if (decode < 0) {
        AddLogStringWide(decode == -1 ? L"音声ファイルのＰＣＭへの変換に失敗しました"
                                      : L"音声ファイルを格納するメモリ領域の確保に失敗しました");
        return -1;
    }

    // A sound with its own loop, a long one, and one whose buffers cannot be made stream from
    // the image instead.
    bool ownLoop = decoded.LoopStart >= 0 && decoded.LoopEnd >= 0;
    bool stream = ownLoop || decoded.PcmBytes / decoded.Format.nAvgBytesPerSec > uint32_t(MemorySoundMaxSeconds) ||
                  SetupSoundBuffers(sound, SoundHandle, BufferNum, uint32_t(decoded.PcmBytes), &decoded.Format, 0) < 0;
    if (stream) {
        DXFREE(decoded.Pcm);
        if (ownLoop) {
            Param->LoopStartSample = decoded.LoopStart;
            Param->LoopEndSample = decoded.LoopEnd;
        }
        if (AddStreamSoundMemImage(Param, FileImage, FileImageSize, 0, SoundHandle, STREAM_SOURCE_KIND_FILE_IMAGE,
                                   SharingHandle, AllowLoading) < 0)
            return -1;
        return FinishStreamLoad(Param, SoundHandle, AllowLoading);
    }

    sound->Frequency = 0;
    for (int i = 0; i < sound->BufferNum; i++)
        SoundBuffer_SetFrequency(&sound->Buffer[i], decoded.Format.nSamplesPerSec);
    int *useCount = static_cast<int *>(DXALLOC(sizeof(int)));
    if (useCount == nullptr) {
        AddLogStringWide(L"サウンドデータの参照数を保存するメモリ領域の確保に失敗しました");
        DXFREE(decoded.Pcm);
        return -1;
    }
    *useCount = 1;
    sound->Normal.WaveDataUseCount = useCount;
    sound->Normal.WaveData = decoded.Pcm;
    sound->Normal.WaveSize = decoded.PcmBytes;
    if (TransferPcm(sound) < 0) return -1;
    return ApplyLoadSoundLoop(Param, SoundHandle);
}

int SetupSoundBuffers(SoundHandleData *Sound, int SoundHandle, int BufferNum, uint32_t Bytes,
                      const SoundWaveFormat *Format, int IsStream)
{
    Sound->BufferFormat = *Format;
    if (SoundBuffer_Initialize(&Sound->Buffer[0], Bytes, Format, nullptr, Sound->Is3DSound) < 0) {
        AddLogStringWide(IsStream ? L"ストリーム風サウンドバッファの作成に失敗しました\n"
                                  : L"DirectSoundBuffer の作成に失敗しました\n");
        return -1;
    }
    if (IsStream) {
        Sound->Type = SOUND_TYPE_STREAM;
        Sound->BufferNum = 1;
        CRITICALSECTION_GUARD(guard, &SoundSystem.StreamListLock);
        HandleListAdd(&SoundSystem.StreamSoundListFirst, &Sound->Stream.List, SoundHandle, Sound);
        return 0;
    }
    // A duplicate that cannot be made ends the count: the sound plays on the buffers it has.
    int made = 1;
    for (; made < BufferNum; made++) {
        if (SoundBuffer_Duplicate(&Sound->Buffer[made], &Sound->Buffer[0], Sound->Is3DSound) < 0) break;
        Sound->BufferDuplicate[made] = 1;
    }
    Sound->Type = SOUND_TYPE_MEMORY;
    Sound->BufferNum = made;
    return 0;
}

int DecodeSoundFileImage(const LoadSoundParam *Param, const void *FileImage, int FileImageSize, int WithLoop,
                         SoundWaveFormat *Format, void **Pcm, int *PcmBytes, int *LoopStart, int *LoopEnd)
{
    *LoopStart = -1;
    *LoopEnd = -1;
    MemStream *stream = FileImageSize >= 0 ? CreateMemStream(FileImage, uint32_t(FileImageSize)) : nullptr;
    SoundConvertState conv = {};
    if (stream == nullptr || SetupSoundConvert(&conv, GetMemStreamFunctionTable(), stream, Param->ConvertSkipMask,
                                               Param->ConvertOggVorbisBitDepth, Param->ConvertOggVorbisDecoder) < 0) {
        if (stream != nullptr) MemStreamClose(stream);
        return -1;
    }
    int result = SoundConvert_ReadAll(&conv, Format, Pcm, PcmBytes) < 0 ? -2 : 0;
    if (result == 0 && WithLoop) SoundConvert_GetLoopInfo(&conv, LoopStart, LoopEnd);
    SoundConvert_Release(&conv);
    MemStreamClose(stream);
    return result;
}

int ReadWholeStream(const StreamFunctionTable *Table, void *Stream, void **Data, int *Size, int MaxBytes)
{
    if (Table->Seek(Stream, 0, FILE_SEEK_END) != 0) return -1;
    int64_t size = Table->Tell(Stream);
    Table->Seek(Stream, 0, FILE_SEEK_SET);
    if (size < 0 || size > MaxBytes) return -1;
    void *block = DXALLOC(size > 0 ? size_t(size) : 1);
    if (block == nullptr) return -2;
    if (Table->Read(block, 1, size_t(size), Stream) != size_t(size)) {
        DXFREE(block);
        return -1;
    }
    *Data = block;
    *Size = int(size);
    return 0;
}

int ConvertMilliSecToSample(int SamplesPerSec, int MilliSec) { return int(int64_t(SamplesPerSec) * MilliSec / 1000); }

int ConvertSampleToMilliSec(int SamplesPerSec, int Sample)
{
    return SamplesPerSec > 0 ? int(int64_t(Sample) * 1000 / SamplesPerSec) : -1;
}

// ---------------------------------------------------------------------------------------------
// A memory sound becomes a stream sound

int ConvertSoundMemToStream(int SoundHandle)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    if (sound == nullptr || sound->BufferNum < 1) return -1;
    if (sound->Type == SOUND_TYPE_STREAM) return 0;

    void *image;
    size_t imageSize;
    if (BuildWaveFileImage(&image, &imageSize, &sound->BufferFormat, sizeof(SoundWaveFormat), sound->Normal.WaveData,
                           size_t(sound->Normal.WaveSize)) < 0)
        return -1;
    int volume = sound->Volume[0];
    int position = GetSoundCurrentPosition(SoundHandle);
    int frequency = sound->Frequency;
    int pan = sound->Pan;
    int is3D = sound->Is3DSound;
    int keep = sound->KeepFlag;

    StopSoundHandle(SoundHandle);
    SubHandle(SoundHandle);
    int result = -1;
    if (AddSoundHandle(is3D, keep, 0, SoundHandle) == SoundHandle) {
        LoadSoundParam param;
        InitLoadSoundParam(&param);
        MemStream *stream = CreateMemStream(image, uint32_t(imageSize));
        int canClose = 1;
        if (stream != nullptr) {
            result = AddSreamSound(&param, GetMemStreamFunctionTable(), stream, 0, SoundHandle,
                                   STREAM_SOURCE_KIND_FILE_IMAGE, &canClose, -1, 0);
            MemStreamClose(stream);
        }
    }
    DXFREE(image);
    if (result < 0) {
        AddLogStringWide(L"ストリームサウンドハンドルの作成に失敗しました\n");
        return -1;
    }
    SetSoundVolume(volume + 10000, SoundHandle);
    if (position > 0) SetStreamSoundCurrentPosition(position, SoundHandle);
    SetSoundFrequency(frequency == 0 ? -1 : frequency, SoundHandle);
    SetSoundPan(pan, SoundHandle);
    return 0;
}
