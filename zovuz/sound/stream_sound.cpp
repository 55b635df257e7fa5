// Stream sounds: a Sound handle that plays one looping device buffer, refilled while it plays
// from up to three sources in turn, with repeats, a loop point and a loop of the whole.
//
// The refill writes ahead of the play cursor in units of 1/8 s. Its window runs from the long
// lead (3/4 s, or 12.75 s for a sound read from the caller's stream) behind the write offset up
// to the write offset: while the cursor is in it, the buffer is topped up. A loop jump written
// into the buffer is recorded, so that the play position can follow the cursor across it; only
// one can be pending, so a second one waits until the cursor has passed the first. The end of a
// sound that does not loop is recorded too: the buffer stops once the cursor has passed it.
#include "zovuz/sound/sound_handle_internal.h"
#include "zovuz/sound/wave_image_internal.h"

#include <limits.h>
#include <string.h>

namespace {

DxCriticalSection *SoundLock() { return SoundHandleTypeLock(DX_HANDLETYPE_SOUND); }

// The refill's sizes for a sound's format, in bytes unless said otherwise.
struct RefillSizes
{
    uint32_t BytesPerSecond;
    uint32_t Frame;
    uint32_t Unit;          // 1/8 s in whole frames
    uint32_t ShortLead512;  // the least kept written ahead, in 1/512 s
    uint32_t LongLead;      // how far the window reaches back from the write offset, whole frames up
    uint32_t FirstFill;     // what a buffer's first fill writes, whole frames down
};

RefillSizes SizesOf(const SoundHandleData *Sound)
{
    uint64_t a = Sound->BufferFormat.nAvgBytesPerSec;
    uint64_t f = Sound->BufferFormat.nBlockAlign;
    uint64_t lead256 = Sound->Stream.BigBlock ? 3264 : 192;
    RefillSizes sizes;
    sizes.BytesPerSecond = uint32_t(a);
    sizes.Frame = uint32_t(f);
    sizes.Unit = uint32_t(a / 8 / f * f);
    sizes.ShortLead512 = Sound->Stream.BigBlock ? 6144 : 192;
    sizes.LongLead = uint32_t((a * lead256 + 256 * f - 1) / (256 * f) * f);
    sizes.FirstFill = uint32_t(a * lead256 / (256 * f) * f);
    return sizes;
}

// The buffer of a source kind: one second, or 13 seconds (3328/256) for the caller's stream,
// in whole frames.
uint32_t StreamBufferBytes(const SoundWaveFormat &Format, int Kind)
{
    uint64_t per256 = Kind == STREAM_SOURCE_KIND_STREAM ? 3328 : 256;
    uint64_t frame = Format.nBlockAlign;
    uint64_t bytes = (uint64_t(Format.nAvgBytesPerSec) * per256 + 256 * frame - 1) / (256 * frame) * frame;
    return bytes <= 0x7FFFFFFF ? uint32_t(bytes) : 0;
}

// Distance from From forward to To in a buffer of Size bytes.
uint32_t Ahead(uint32_t From, uint32_t To, uint32_t Size) { return (To + Size - From) % Size; }

// The cursor lies in the window from Start forward to End (End itself outside).
bool InWindow(uint32_t Cursor, uint32_t Start, uint32_t End, uint32_t Size)
{
    return Ahead(Start, Cursor, Size) < Ahead(Start, End, Size);
}

// The cursor has left the stretch from the cursor at the end (EndCursor) to the end of the data.
bool PassedEnd(uint32_t Cursor, uint32_t EndCursor, uint32_t DataEnd)
{
    if (EndCursor < DataEnd) return Cursor < EndCursor || Cursor > DataEnd;
    if (EndCursor > DataEnd) return DataEnd < Cursor && Cursor < EndCursor;
    return true;
}

// The stream state that says who plays through a buffer: the owner's, for a sound that plays
// through another one's buffer.
StreamSoundData *BufferOwner(SoundHandleData *Sound)
{
    if (Sound->Stream.SharedFromHandle < 0) return &Sound->Stream;
    SoundHandleData *owner = GetTypedHandle<SoundHandleData>(Sound->Stream.SharedFromHandle, DX_HANDLETYPE_SOUND, 1);
    return owner != nullptr ? &owner->Stream : &Sound->Stream;
}

// The buffer plays this sound, or nobody has claimed it.
bool UsesBufferNow(SoundHandleData *Sound, int SoundHandle)
{
    int user = BufferOwner(Sound)->CurrentUser;
    return user == SoundHandle || user == -1;
}

uint8_t SilenceByte(const SoundWaveFormat &Format)
{
    // Unsigned 8-bit samples are silent at their middle.
    return Format.wFormatTag == SOUND_FORMAT_TAG_PCM && Format.wBitsPerSample == 8 ? 0x80 : 0x00;
}

// The play position follows the cursor: by the distance it moved, or from a loop jump it passed.
void UpdatePlayPosition(SoundHandleData *Sound, SOUNDBUFFER *Buffer)
{
    StreamSoundData &st = Sound->Stream;
    uint32_t cursor;
    if (st.BufferBytes == 0 || SoundBuffer_GetCurrentPosition(Buffer, &cursor, nullptr) < 0) return;
    uint32_t moved = Ahead(uint32_t(st.LastPlayCursor), cursor, st.BufferBytes);
    uint32_t toJump = Ahead(uint32_t(st.LastPlayCursor), uint32_t(st.JumpOffset), st.BufferBytes);
    if (st.LoopPending && toJump <= moved) {
        st.PlayPosition = st.JumpPosition + int(moved - toJump);
        st.LoopPending = 0;
    } else {
        st.PlayPosition += int(moved);
    }
    st.LastPlayCursor = int(cursor);
}

void SeekSource(StreamSoundSource &Source, int BytePosition, uint32_t Frame)
{
    SoundConvert_SetPosition(&Source.Conv, BytePosition / int(Frame));
}

void SetJump(StreamSoundData &St, uint32_t DataEnd, int Position)
{
    St.LoopPending = 1;
    St.JumpOffset = int(DataEnd);
    St.JumpPosition = Position;
}

// The current source gives nothing more (its end, or its loop end): the next data to read.
// DataEnd is the buffer offset where the data written so far ends. False when filling stops
// for this pass.
bool NextSourceData(SoundHandleData *Sound, uint32_t DataEnd, uint32_t Cursor)
{
    StreamSoundData &st = Sound->Stream;
    uint32_t frame = Sound->BufferFormat.nBlockAlign;
    StreamSoundSource &source = st.Source[st.SourceIndex];
    if (source.RepeatCount == STREAM_REPEAT_LOOP_POINT) {
        if (st.LoopPending) return false;
        st.StreamPosition = source.LoopStartSample * int(frame);
        SetJump(st, DataEnd, st.StreamPosition);
        SeekSource(source, st.StreamPosition, frame);
        return true;
    }
    if (st.RepeatsDone < source.RepeatCount)
        st.RepeatsDone++;
    else if (st.SourceIndex + 1 < st.SourceNum)
        st.SourceIndex++, st.RepeatsDone = 0;
    else {
        st.AllPlayed = 1;
        if (Sound->PlayType != DX_PLAYTYPE_LOOP) {
            st.Ended = 1;
            st.EndOffset = int(DataEnd);
            st.EndPlayCursor = int(Cursor);
            return false;
        }
        if (st.LoopPending) return false;
        st.SourceIndex = 0;
        st.RepeatsDone = 0;
        SetJump(st, DataEnd, 0);
    }
    st.StreamPosition = 0;
    SeekSource(st.Source[st.SourceIndex], 0, frame);
    return true;
}

// Reads the current source into Dest, not past its loop end. The bytes read (whole frames).
uint32_t ReadSource(SoundHandleData *Sound, uint8_t *Dest, uint32_t Room)
{
    StreamSoundData &st = Sound->Stream;
    StreamSoundSource &source = st.Source[st.SourceIndex];
    int64_t want = Room;
    if (source.LoopEndSample >= 0) {
        int64_t left = int64_t(source.LoopEndSample) * Sound->BufferFormat.nBlockAlign - st.StreamPosition;
        if (left < want) want = left;
    }
    int got = want > 0 ? RunSoundConvert(&source.Conv, Dest, int(want)) : 0;
    if (got <= 0) return 0;
    st.StreamPosition += got;
    return uint32_t(got);
}

// Fills the locked parts source by source. The bytes written.
uint32_t FillFromSources(SoundHandleData *Sound, uint32_t Offset, uint8_t *const Part[2], const uint32_t Size[2],
                         uint32_t Cursor)
{
    uint32_t written = 0;
    for (int p = 0; p < 2; p++) {
        uint32_t done = 0;
        while (done < Size[p]) {
            uint32_t got = ReadSource(Sound, Part[p] + done, Size[p] - done);
            done += got;
            written += got;
            if (got == 0 && !NextSourceData(Sound, (Offset + written) % Sound->Stream.BufferBytes, Cursor))
                return written;
        }
    }
    return written;
}

// The write offset moves on by Bytes, and the window with it.
void AdvanceWriteOffset(StreamSoundData &St, uint32_t Bytes, uint32_t LongLead)
{
    uint32_t size = St.BufferBytes;
    St.WriteOffset = int((uint32_t(St.WriteOffset) + Bytes) % size);
    St.RefillStart = int((uint32_t(St.WriteOffset) + size - LongLead % size) % size);
}

int WriteSilence(SoundHandleData *Sound, SOUNDBUFFER *Buffer, uint32_t Bytes, uint32_t LongLead)
{
    StreamSoundData &st = Sound->Stream;
    void *part1, *part2;
    uint32_t size1, size2;
    if (SoundBuffer_Lock(Buffer, uint32_t(st.WriteOffset), Bytes, &part1, &size1, &part2, &size2) < 0) return -1;
    uint8_t silence = SilenceByte(Sound->BufferFormat);
    memset(part1, silence, size1);
    if (part2 != nullptr) memset(part2, silence, size2);
    SoundBuffer_Unlock(Buffer, part1, size1, part2, size2);
    AdvanceWriteOffset(st, Bytes, LongLead);
    return 0;
}

// A sound that played through to its end stops and goes back to its start.
void StopAtEnd(StreamSoundData &St, SOUNDBUFFER *Buffer)
{
    SoundBuffer_Stop(Buffer, 0);
    St.Ended = 0;
    St.LoopPending = 0;
    St.Prepared = 0;
    St.SourceIndex = 0;
    St.RepeatsDone = 0;
    St.StreamPosition = 0;
    St.PlayPosition = 0;
}

// One refill, under the sound lock. 0 when it wrote or stopped the sound, -1 when there was
// nothing to do or the buffer refused.
int RefillStreamSound(SoundHandleData *Sound)
{
    StreamSoundData &st = Sound->Stream;
    SOUNDBUFFER *buffer = StreamSoundBuffer(Sound);
    if (!st.Prepared || buffer == nullptr || st.BufferBytes == 0) return -1;
    RefillSizes sizes = SizesOf(Sound);
    UpdatePlayPosition(Sound, buffer);
    uint32_t cursor;
    if (SoundBuffer_GetCurrentPosition(buffer, &cursor, nullptr) < 0) return -1;
    uint32_t size = st.BufferBytes;
    bool first = st.WriteOffset == STREAM_WRITE_OFFSET_UNFILLED;
    bool inWindow = !first && InWindow(cursor, uint32_t(st.RefillStart), uint32_t(st.WriteOffset), size);

    if (st.Ended) {
        if (PassedEnd(cursor, uint32_t(st.EndPlayCursor), uint32_t(st.EndOffset))) {
            StopAtEnd(st, buffer);
            return 0;
        }
        return inWindow ? WriteSilence(Sound, buffer, sizes.Unit, sizes.LongLead) : -1;
    }

    uint32_t offset = 0;
    uint32_t amount = sizes.FirstFill;
    if (!first) {
        if (!inWindow || SoundBuffer_GetStatus(buffer) != 1) return -1;
        // At least the short lead written ahead: one unit more; less: what is missing of it.
        uint32_t ahead512 =
            uint32_t(uint64_t(Ahead(cursor, uint32_t(st.WriteOffset), size)) * 512 / sizes.BytesPerSecond);
        amount = ahead512 >= sizes.ShortLead512 ? sizes.Unit
                                                : uint32_t(uint64_t(sizes.ShortLead512 - ahead512) *
                                                           sizes.BytesPerSecond / 512 / sizes.Frame * sizes.Frame);
        offset = uint32_t(st.WriteOffset);
    }
    if (amount == 0) return -1;

    void *part1, *part2;
    uint32_t size1, size2;
    if (SoundBuffer_Lock(buffer, offset, amount, &part1, &size1, &part2, &size2) < 0) return -1;
    uint8_t *parts[2] = {static_cast<uint8_t *>(part1), static_cast<uint8_t *>(part2)};
    uint32_t sizes2[2] = {size1, part2 != nullptr ? size2 : 0};
    uint32_t written = FillFromSources(Sound, offset, parts, sizes2, cursor);
    SoundBuffer_Unlock(buffer, part1, size1, part2, size2);

    if (first) {
        st.WriteOffset = int(written % size);
        st.RefillStart = 0;
    } else {
        AdvanceWriteOffset(st, written, sizes.LongLead);
    }
    // After the last data, a unit of silence: the cursor plays into it until the stop.
    if (st.Ended) WriteSilence(Sound, buffer, sizes.Unit, sizes.LongLead);
    return 0;
}

// Bytes of a source's converted data that play, up to its loop end.
int64_t SourceBytes(StreamSoundSource &Source, uint32_t Frame)
{
    int64_t bytes = SoundConvert_GetDestSize(&Source.Conv);
    if (Source.LoopEndSample >= 0 && int64_t(Source.LoopEndSample) * Frame < bytes)
        bytes = int64_t(Source.LoopEndSample) * Frame;
    return bytes > 0 ? bytes - bytes % Frame : 0;
}

// The source, repeat and offset that the play position falls in, so that a play resumes where
// the last one was stopped.
void LocatePlayPosition(SoundHandleData *Sound)
{
    StreamSoundData &st = Sound->Stream;
    uint32_t frame = Sound->BufferFormat.nBlockAlign;
    int64_t position = st.PlayPosition - st.PlayPosition % int(frame);
    for (int i = 0; i < st.SourceNum; i++) {
        StreamSoundSource &source = st.Source[i];
        int64_t bytes = SourceBytes(source, frame);
        int64_t repeats = 0;
        if (source.RepeatCount == STREAM_REPEAT_LOOP_POINT) {
            if (bytes > 0) position %= bytes;
        } else {
            int64_t span = bytes * (source.RepeatCount + 1);
            if (position >= span && i + 1 < st.SourceNum) {
                position -= span;
                continue;
            }
            repeats = bytes > 0 ? position / bytes : 0;
            if (repeats > source.RepeatCount) repeats = source.RepeatCount;
            position -= repeats * bytes;
            if (position > bytes) position = bytes;
        }
        st.SourceIndex = i;
        st.RepeatsDone = int(repeats);
        st.StreamPosition = int(position);
        return;
    }
    st.SourceIndex = 0;
    st.RepeatsDone = 0;
    st.StreamPosition = 0;
}

// Back to the start of the first source.
void ResetStreamPosition(StreamSoundData &St)
{
    St.SourceIndex = 0;
    St.RepeatsDone = 0;
    St.StreamPosition = 0;
    St.PlayPosition = 0;
    St.LoopPending = 0;
    St.Ended = 0;
    St.AllPlayed = 0;
}

// Stops the sound where it stands, under the sound lock. 0, or -1 when the buffer's state
// cannot be read.
int StopStream(SoundHandleData *Sound, int SoundHandle)
{
    SOUNDBUFFER *buffer = StreamSoundBuffer(Sound);
    if (buffer == nullptr) return -1;
    StreamSoundData *owner = BufferOwner(Sound);
    bool mine = UsesBufferNow(Sound, SoundHandle);
    if (owner->CurrentUser == SoundHandle) owner->CurrentUser = -1;
    // A stop also forgets a pause, so the window's activation does not start the sound again.
    Sound->BufferPaused[0] = 0;
    Sound->BufferWasPlaying[0] = 0;
    if (!mine) return 0;
    UpdatePlayPosition(Sound, buffer);
    int status = SoundBuffer_GetStatus(buffer);
    if (status < 0) return -1;
    if (status == 1) SoundBuffer_Stop(buffer, 1);
    return 0;
}

// The preparation of a play, under the sound lock. 0, or -1 (also for a sound that plays already
// when it is not asked to start from the top).
int PrepareStreamSoundPlay(SoundHandleData *Sound, int SoundHandle, int PlayType, int TopPositionFlag)
{
    SOUNDBUFFER *buffer = StreamSoundBuffer(Sound);
    if (buffer == nullptr) return -1;
    StreamSoundData *owner = BufferOwner(Sound);
    if (owner->CurrentUser >= 0 && owner->CurrentUser != SoundHandle) StopStreamSound(owner->CurrentUser);
    if (!TopPositionFlag && owner->CurrentUser == SoundHandle && SoundBuffer_GetStatus(buffer) == 1) return -1;
    owner->CurrentUser = SoundHandle;
    StopStream(Sound, SoundHandle);
    owner->CurrentUser = SoundHandle;

    StreamSoundData &st = Sound->Stream;
    bool loopingChanged = (PlayType == DX_PLAYTYPE_LOOP) != (Sound->PlayType == DX_PLAYTYPE_LOOP);
    if (loopingChanged || st.AllPlayed || (TopPositionFlag && st.PlayPosition != 0)) ResetStreamPosition(st);
    if (TopPositionFlag) st.AllPlayed = 0;
    Sound->PlayType = PlayType;
    if (PrepareStreamSound(Sound, SoundHandle) < 0) return -1;
    ApplySoundHandleSettings(Sound, buffer);
    return 0;
}

void ReleaseSource(StreamSoundSource &Source)
{
    if (Source.Conv.InitializeFlag) SoundConvert_Release(&Source.Conv);
    if (Source.Stream != nullptr) {
        if (Source.KeepStream)
            Source.Table.Close(Source.Stream);
        else if (Source.Image != nullptr)
            MemStreamClose(Source.Stream);
    }
    DXFREE(Source.Image);
    memset(&Source, 0, sizeof(Source));
}

// A converter over the source's own bytes. 0 / -1.
int OpenImageSource(StreamSoundSource &Source, const LoadSoundParam &Param)
{
    Source.Stream = CreateMemStream(Source.Image, uint32_t(Source.ImageSize));
    Source.Table = *GetMemStreamFunctionTable();
    if (Source.Stream == nullptr ||
        SetupSoundConvert(&Source.Conv, &Source.Table, Source.Stream, Param.ConvertSkipMask,
                          Param.ConvertOggVorbisBitDepth, Param.ConvertOggVorbisDecoder) < 0) {
        AddLogStringWide(L"音声データのオープンに失敗しました");
        return -1;
    }
    return 0;
}

// Kind 0: the whole sound converted now and held as a WAVE image of its PCM.
int SetupPcmImageSource(StreamSoundSource &Source, const LoadSoundParam &Param, const StreamFunctionTable *Table,
                        void *Stream)
{
    void *file;
    int fileSize;
    if (ReadWholeStream(Table, Stream, &file, &fileSize, INT_MAX) < 0) {
        AddLogStringWide(L"音声データの読み込みに失敗しました");
        return -1;
    }
    SoundWaveFormat format;
    void *pcm;
    int pcmBytes, loopStart, loopEnd;
    int decoded = DecodeSoundFileImage(&Param, file, fileSize, 0, &format, &pcm, &pcmBytes, &loopStart, &loopEnd);
    DXFREE(file);
    if (decoded < 0) {
        AddLogStringWide(L"音声データの変換に失敗しました");
        return -1;
    }
    size_t imageSize = 0;
    int built = BuildWaveFileImage(&Source.Image, &imageSize, &format, sizeof(format), pcm, size_t(pcmBytes));
    DXFREE(pcm);
    if (built < 0) return -1;
    Source.ImageSize = int(imageSize);
    return OpenImageSource(Source, Param);
}

// Kind 2: the file's bytes held in memory.
int SetupFileImageSource(StreamSoundSource &Source, const LoadSoundParam &Param, const StreamFunctionTable *Table,
                         void *Stream)
{
    int read = ReadWholeStream(Table, Stream, &Source.Image, &Source.ImageSize, INT_MAX);
    if (read < 0) {
        AddLogStringWide(read == -2 ? L"ストリームの読み込みに必要なメモリの確保に失敗しました"
                                    : L"音声データの読み込みに失敗しました");
        Source.Image = nullptr;
        return -1;
    }
    return OpenImageSource(Source, Param);
}

// Kind 3: the caller's stream, read as the sound plays; the source keeps it.
int SetupStreamSource(StreamSoundSource &Source, const LoadSoundParam &Param, const StreamFunctionTable *Table,
                      void *Stream)
{
    Source.Table = *Table;
    if (SetupSoundConvert(&Source.Conv, Table, Stream, Param.ConvertSkipMask, Param.ConvertOggVorbisBitDepth,
                          Param.ConvertOggVorbisDecoder) < 0) {
        AddLogStringWide(L"音声データのオープンに失敗しました");
        return -1;
    }
    Source.Stream = Stream;
    Source.KeepStream = 1;
    return 0;
}

// The first source: the sound's buffer, its own or that of the sound it shares one with. 0 / -1.
int SetupStreamBuffer(SoundHandleData *Sound, int SoundHandle, const SoundWaveFormat &Format, int Kind,
                      int SharingHandle)
{
    StreamSoundData &st = Sound->Stream;
    uint32_t bytes = StreamBufferBytes(Format, Kind);
    SoundHandleData *other = SharingHandle >= 0 ? SoundHandleOf(SharingHandle, 1) : nullptr;
    if (other != nullptr && other != Sound && other->Type == SOUND_TYPE_STREAM && other->Stream.SharedFromHandle < 0 &&
        memcmp(&other->BufferFormat, &Format, sizeof(Format)) == 0 && other->Stream.BufferBytes == bytes) {
        Sound->Type = SOUND_TYPE_STREAM;
        Sound->BufferFormat = Format;
        st.SharedFromHandle = SharingHandle;
        other->Stream.ShareCount++;
        CRITICALSECTION_GUARD(guard, &SoundSystem.StreamListLock);
        HandleListAdd(&SoundSystem.StreamSoundListFirst, &st.List, SoundHandle, Sound);
    } else if (bytes == 0 || SetupSoundBuffers(Sound, SoundHandle, 1, bytes, &Format, 1) < 0) {
        return -1;
    }
    st.BufferBytes = bytes;
    st.BigBlock = Kind == STREAM_SOURCE_KIND_STREAM ? 1 : 0;
    st.ShareCount = 0;
    st.CurrentUser = -1;
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Sources

int AddSreamSound(LoadSoundParam *Param, const StreamFunctionTable *Table, void *Stream, int RepeatCount,
                  int SoundHandle, int Kind, int *CanCloseStream, int SharingHandle, int AllowLoading)
{
    if (CanCloseStream != nullptr) *CanCloseStream = 1;
    SoundHandleData *sound = SoundHandleOf(SoundHandle, AllowLoading);
    if (sound == nullptr || Param == nullptr || Table == nullptr) return -1;
    // Kind 1, a file read as it plays without a converter, has no reader here.
    if (Kind != STREAM_SOURCE_KIND_PCM_IMAGE && Kind != STREAM_SOURCE_KIND_FILE_IMAGE &&
        Kind != STREAM_SOURCE_KIND_STREAM)
        return -1;
    StreamSoundData &st = sound->Stream;
    if (sound->Type != SOUND_TYPE_STREAM && (st.SourceNum > 0 || sound->BufferNum > 0)) {
        AddLogStringWide(L"ストリーム風サウンドではないサウンドデータが渡されました in AddSreamSound\n");
        return -1;
    }
    if (st.SourceNum > 0 && SoundBuffer_GetStatus(StreamSoundBuffer(sound)) == 1) {
        AddLogStringWide(L"既に再生中のストリームサウンドデータにデータを追加しようとしました\n");
        return -1;
    }
    if (st.SourceNum >= STREAM_SOURCE_MAX_NUM) {
        AddLogStringWide(L"ストリーム風サウンドの制御データ領域がいっぱいです\n");
        return -1;
    }

    StreamSoundSource &source = st.Source[st.SourceNum];
    memset(&source, 0, sizeof(source));
    source.Kind = Kind;
    source.LoopEndSample = -1;
    Table->Seek(Stream, 0, FILE_SEEK_SET);
    int setup = Kind == STREAM_SOURCE_KIND_PCM_IMAGE    ? SetupPcmImageSource(source, *Param, Table, Stream)
                : Kind == STREAM_SOURCE_KIND_FILE_IMAGE ? SetupFileImageSource(source, *Param, Table, Stream)
                                                        : SetupStreamSource(source, *Param, Table, Stream);
    if (setup < 0) {
        ReleaseSource(source);
        return -1;
    }
    if (Kind != STREAM_SOURCE_KIND_PCM_IMAGE && !LoadSoundLoopSet(*Param) && !Param->IgnoreFileLoop) {
        int start, end;
        if (SoundConvert_GetLoopInfo(&source.Conv, &start, &end) == 0) {
            Param->LoopStartSample = start;
            Param->LoopEndSample = end;
        }
    }

    SoundWaveFormat format = source.Conv.OutFormat;
    if (st.SourceNum > 0 && memcmp(&format, &sound->BufferFormat, sizeof(format)) != 0) {
        AddLogStringWide(L"フォーマットの違う音声データは同時に使うことは出来ません");
        ReleaseSource(source);
        return -1;
    }
    if (st.SourceNum == 0 && SetupStreamBuffer(sound, SoundHandle, format, Kind, SharingHandle) < 0) {
        ReleaseSource(source);
        return -1;
    }

    if (source.KeepStream && CanCloseStream != nullptr) *CanCloseStream = 0;
    source.RepeatCount = RepeatCount < 0                          ? 0
                         : RepeatCount > STREAM_REPEAT_LOOP_POINT ? STREAM_REPEAT_LOOP_POINT
                                                                  : RepeatCount;
    st.SourceNum++;
    int64_t total = 0;
    for (int i = 0; i < st.SourceNum; i++) total += SoundConvert_GetDestSize(&st.Source[i].Conv) / format.nBlockAlign;
    st.TotalSample = total > INT_MAX ? INT_MAX : int(total);
    return 0;
}

int AddStreamSoundFile(LoadSoundParam *Param, const wchar_t *FileName, int RepeatCount, int SoundHandle, int Kind,
                       int SharingHandle, int AllowLoading)
{
    FileStreamId file = FileAccessOpen(FileName, 0, 1, 0);
    if (file == 0) {
        AddLogFormat(L"Sound File Open Error : %s \n", FileName);
        return -1;
    }
    int canClose = 1;
    if (AddSreamSound(Param, GetFileStreamFunctionTable(), reinterpret_cast<void *>(file), RepeatCount, SoundHandle,
                      Kind, &canClose, SharingHandle, AllowLoading) < 0) {
        FileAccessClose(file);
        AddLogFormat(L"Sound File Setup Error : %s \n", FileName);
        return -1;
    }
    if (canClose) FileAccessClose(file);
    return 0;
}

int AddStreamSoundMemImage(LoadSoundParam *Param, const void *FileImage, int FileImageSize, int RepeatCount,
                           int SoundHandle, int Kind, int SharingHandle, int AllowLoading)
{
    // The image is the caller's: the source keeps a copy of its own.
    if (Kind == STREAM_SOURCE_KIND_STREAM) Kind = STREAM_SOURCE_KIND_FILE_IMAGE;
    MemStream *stream =
        FileImage != nullptr && FileImageSize >= 0 ? CreateMemStream(FileImage, uint32_t(FileImageSize)) : nullptr;
    if (stream == nullptr) {
        AddLogStringWide(L"ＷＡＶファイルのストリームイメージハンドルの作成に失敗しました \n");
        return -1;
    }
    int canClose = 1;
    int result = AddSreamSound(Param, GetMemStreamFunctionTable(), stream, RepeatCount, SoundHandle, Kind, &canClose,
                               SharingHandle, AllowLoading);
    MemStreamClose(stream);
    if (result < 0) {
        AddLogStringWide(L"ＷＡＶファイルのストリームイメージのセットアップに失敗しました \n");
        return -1;
    }
    return 0;
}

int TerminateStreamSound(SoundHandleData *Sound, int SoundHandle)
{
    StreamSoundData &st = Sound->Stream;
    if (st.SharedFromHandle >= 0) {
        int ownerHandle = st.SharedFromHandle;
        SoundHandleData *owner = GetTypedHandle<SoundHandleData>(ownerHandle, DX_HANDLETYPE_SOUND, 1);
        st.SharedFromHandle = -1;
        if (owner != nullptr) {
            owner->Stream.ShareCount--;
            if (owner->Stream.CurrentUser == SoundHandle) owner->Stream.CurrentUser = -1;
            if (owner->Stream.ShareCount == 0 && owner->Stream.WaitingDelete && ownerHandle != SoundHandle)
                SubHandle(ownerHandle);
        }
    }
    if (st.ShareCount > 0) {
        st.WaitingDelete = 1;
        return 1;
    }
    if (st.List.Prev != nullptr) {
        CRITICALSECTION_GUARD(guard, &SoundSystem.StreamListLock);
        HandleListRemove(&st.List);
    }
    for (int i = 0; i < st.SourceNum; i++) ReleaseSource(st.Source[i]);
    st.SourceNum = 0;
    if (Sound->Buffer[0].Valid) SoundBuffer_Terminate(&Sound->Buffer[0]);
    Sound->BufferNum = 0;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Playing

SOUNDBUFFER *StreamSoundBuffer(SoundHandleData *Sound)
{
    SoundHandleData *owner = Sound;
    if (Sound->Stream.SharedFromHandle >= 0)
        owner = GetTypedHandle<SoundHandleData>(Sound->Stream.SharedFromHandle, DX_HANDLETYPE_SOUND, 1);
    return owner != nullptr && owner->Buffer[0].Valid ? &owner->Buffer[0] : nullptr;
}

int PrepareStreamSound(SoundHandleData *Sound, int SoundHandle)
{
    (void)SoundHandle;
    CRITICALSECTION_GUARD(guard, SoundLock());
    StreamSoundData &st = Sound->Stream;
    SOUNDBUFFER *buffer = StreamSoundBuffer(Sound);
    if (buffer == nullptr || st.SourceNum == 0) return -1;
    SoundBuffer_SetCurrentPosition(buffer, 0);
    st.LastPlayCursor = 0;
    st.LoopPending = 0;
    st.Ended = 0;
    LocatePlayPosition(Sound);
    SeekSource(st.Source[st.SourceIndex], st.StreamPosition, Sound->BufferFormat.nBlockAlign);
    st.WriteOffset = STREAM_WRITE_OFFSET_UNFILLED;
    st.Prepared = 1;
    RefillStreamSound(Sound);
    return 0;
}

int PlayStreamSound(int SoundHandle, int PlayType, int TopPositionFlag)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    if (sound == nullptr) return -1;
    {
        CRITICALSECTION_GUARD(guard, SoundLock());
        if (PrepareStreamSoundPlay(sound, SoundHandle, PlayType, TopPositionFlag) < 0) return -1;
        // The buffer always loops: the refill ends a sound that does not.
        if (SoundBuffer_Play(StreamSoundBuffer(sound), 1) < 0) return -1;
        AddToPlayedSoundList(sound, SoundHandle);
    }
    return PlayType == DX_PLAYTYPE_NORMAL ? WaitSoundPlayEnd(SoundHandle) : 0;
}

int StopStreamSound(int SoundHandle)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    if (sound == nullptr) return -1;
    CRITICALSECTION_GUARD(guard, SoundLock());
    return StopStream(sound, SoundHandle);
}

int CheckStreamSoundPlaying(int SoundHandle)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    if (sound == nullptr) return -1;
    if (sound->BufferPaused[0]) return sound->BufferWasPlaying[0];
    SOUNDBUFFER *buffer = StreamSoundBuffer(sound);
    return buffer != nullptr && UsesBufferNow(sound, SoundHandle) && SoundBuffer_GetStatus(buffer) == 1 ? 1 : 0;
}

int ProcessStreamSound(int SoundHandle, int AllowLoading)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, AllowLoading);
    if (sound == nullptr || sound->Type != SOUND_TYPE_STREAM) return -1;
    CRITICALSECTION_GUARD(guard, SoundLock());
    return UsesBufferNow(sound, SoundHandle) ? RefillStreamSound(sound) : -1;
}

void ProcessStreamSoundList(void)
{
    for (HandleListNode *node = SoundSystem.StreamSoundListFirst.Next; node->Next != nullptr; node = node->Next) {
        SoundHandleData *sound = static_cast<SoundHandleData *>(node->Data);
        SOUNDBUFFER *buffer = StreamSoundBuffer(sound);
        if (sound->HandleInfo.ASyncLoadCount != 0 || buffer == nullptr || !UsesBufferNow(sound, node->Handle) ||
            SoundBuffer_GetStatus(buffer) != 1)
            continue;
        RefillStreamSound(sound);
    }
}

// ---------------------------------------------------------------------------------------------
// Position

int GetStreamSoundCurrentPosition(int SoundHandle)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    if (sound == nullptr) return -1;
    CRITICALSECTION_GUARD(guard, SoundLock());
    SOUNDBUFFER *buffer = StreamSoundBuffer(sound);
    if (buffer != nullptr && UsesBufferNow(sound, SoundHandle)) UpdatePlayPosition(sound, buffer);
    return sound->Stream.PlayPosition;
}

int SetStreamSoundCurrentPosition(int BytePosition, int SoundHandle)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    if (sound == nullptr || sound->BufferFormat.nBlockAlign == 0) return -1;
    CRITICALSECTION_GUARD(guard, SoundLock());
    StreamSoundData &st = sound->Stream;
    int frame = sound->BufferFormat.nBlockAlign;
    if (st.SourceNum >= 2 || BytePosition < 0 || BytePosition / frame > st.TotalSample) return -1;
    // A sound that plays goes on from the new position at once, rather than playing what its
    // buffer held on and on.
    SOUNDBUFFER *buffer = StreamSoundBuffer(sound);
    bool playing = buffer != nullptr && UsesBufferNow(sound, SoundHandle) && SoundBuffer_GetStatus(buffer) == 1;
    if (playing) SoundBuffer_Stop(buffer, 0);
    ResetStreamPosition(st);
    st.Prepared = 0;
    st.StreamPosition = BytePosition - BytePosition % frame;
    st.PlayPosition = st.StreamPosition;
    if (playing && PrepareStreamSound(sound, SoundHandle) == 0) SoundBuffer_Play(buffer, 1);
    return 0;
}

int SetStreamSoundCurrentTime(int MilliSec, int SoundHandle)
{
    SoundHandleData *sound = SoundHandleOf(SoundHandle, 0);
    if (sound == nullptr || MilliSec < 0) return -1;
    int64_t bytes = int64_t(ConvertMilliSecToSample(int(sound->BufferFormat.nSamplesPerSec), MilliSec)) *
                    sound->BufferFormat.nBlockAlign;
    return bytes > INT_MAX ? -1 : SetStreamSoundCurrentPosition(int(bytes), SoundHandle);
}
