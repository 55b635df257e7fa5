// Movie handles: the movie system's start and end, the open (Theora, then the platform), the
// sound track, pausing and resuming every movie, and the deletion of a movie.
#include "zovuz/movie/movie_internal.h"
#include "zovuz/movie/theora_decode_internal.h"

#include <string.h>

MovieSystemData MovieSystem;

namespace {

HandleManage *MovieManage(void) { return GetHandleManage(DX_HANDLETYPE_MOVIE); }

int MovieHandleInitialize(HandleInfo *Info)
{
    MovieHandleData *movie = reinterpret_cast<MovieHandleData *>(Info);
    movie->Graph.YGraph = -1;
    movie->Graph.UVGraph = -1;
    movie->SoundHandle = -1;
    return 0;
}

void CloseStream(MovieHandleData *Movie)
{
    if (Movie->Stream == nullptr) return;
    if (Movie->StreamIsMemory)
        MemStreamClose(Movie->Stream);
    else
        FileAccessClose((FileStreamId)Movie->Stream);
    Movie->Stream = nullptr;
}

int TerminateMovieHandle(HandleInfo *Info)
{
    MovieHandleData *movie = reinterpret_cast<MovieHandleData *>(Info);
    if (movie->Graph.YGraph >= 0) SubHandle(movie->Graph.YGraph);
    if (movie->Graph.UVGraph >= 0) SubHandle(movie->Graph.UVGraph);
    movie->Graph.YGraph = -1;
    movie->Graph.UVGraph = -1;
    MoviePlatform_Release(movie);
    if (movie->Graph.UseTheora) {
        TheoraDecode_Terminate(movie->TheoraHandle);
        CloseStream(movie);
        if (movie->SoundHandle >= 0) SubHandle(movie->SoundHandle);
        // -1, not 0: 0 could be taken for a live handle value.
        movie->SoundHandle = -1;
        movie->TheoraHandle = nullptr;
        movie->Graph.UseTheora = 0;
    }
    if (!movie->FrameImageBorrowed) DXFREE(movie->FrameImage.Pixels);
    movie->FrameImage.Pixels = nullptr;
    movie->Graph.FrameImage = nullptr;
    return 0;
}

// The sound track: the same file or image loaded as a stream sound, or -1 when it has none.
int LoadSoundTrack(MovieHandleData *Movie, const wchar_t *FileName, const void *FileImage, size_t FileImageSize,
                   int ASyncThread)
{
    LoadSoundParam param;
    InitLoadSoundParam(&param);
    param.KeepFlag = 1;
    param.CreateType = FileName != nullptr ? 3 : 2;
    param.ConvertSkipMask = -3;
    param.ConvertOggVorbisDecoder = 1;
    if (FileName != nullptr) return LoadSoundMemFromFile(&param, FileName, 1, -1, 0, ASyncThread);
    if (FileImageSize > 0x7FFFFFFF) return -1;
    return LoadSoundMemFromMemImage(&param, 1, -1, FileImage, (int)FileImageSize, 1, -1, 0, ASyncThread);
}

int FailOpen(int Handle, int ASyncThread)
{
    if (ASyncThread) DecASyncLoadCount(Handle);
    SubHandle(Handle);
    return -1;
}

template <class Visit>
void ForEachMovie(Visit Action)
{
    HandleManage *manage = MovieManage();
    if (manage == nullptr || !manage->InitializeFlag) return;
    CRITICALSECTION_GUARD(guard, &manage->CriticalSection);
    for (HandleListNode *node = manage->ListFirst.Next; node != nullptr && node->Next != nullptr; node = node->Next) {
        MovieHandleData *movie = GetMovieHandleData(node->Handle);
        if (movie != nullptr) Action(node->Handle, movie);
    }
}

}  // namespace

int InitializeMovieSystem(void)
{
    if (MovieSystem.Initialized) return -1;
    if (InitializeHandleType(DX_HANDLETYPE_MOVIE, (int)sizeof(MovieHandleData), DX_MAX_MOVIE_NUM, MovieHandleInitialize,
                             TerminateMovieHandle, L"Movie") != 0)
        return -1;
    MoviePlatform_Initialize();
    TheoraDecode_SetupPlatformSurface();
    SoundConvert_RegisterPlatformMethods();
    MovieSystem.Initialized = 1;
    return 0;
}

int TerminateMovieSystem(void)
{
    if (!MovieSystem.Initialized) return -1;
    if (MoviePlatform_Terminate() != 0) return -1;
    TerminateHandleType(DX_HANDLETYPE_MOVIE);
    SoundConvert_SetPlatformMethods(nullptr, nullptr);
    SoundConvertMF_Terminate();
    MovieSystem.Initialized = 0;
    return 0;
}

MovieHandleData *GetMovieHandleData(int MovieHandle)
{
    return GetTypedHandle<MovieHandleData>(MovieManage(), MovieHandle, 0);
}

int InitMovieOpenParam(MovieOpenParam *Param)
{
    if (Param == nullptr) return -1;
    // The three settings have no setter in this system.
    memset(Param, 0, sizeof(*Param));
    return 0;
}

int OpenMovie(const MovieOpenParam *Param, const wchar_t *FileName, const void *FileImage, size_t FileImageSize,
              int *Width, int *Height, int Unused, int ASyncThread)
{
    if (!MovieSystem.Initialized) return -1;
    if (FileName == nullptr && (FileImage == nullptr || FileImageSize == 0 || FileImageSize > 0xFFFFFFFFu)) return -1;
    int handle = AddHandle(DX_HANDLETYPE_MOVIE, ASyncThread, -1);
    if (handle < 0) return -1;
    MovieHandleData *movie = GetTypedHandle<MovieHandleData>(MovieManage(), handle, 1);
    if (Param != nullptr) movie->OpenParam = *Param;

    const StreamFunctionTable *ops;
    if (FileName != nullptr) {
        movie->Stream = (void *)FileAccessOpen(FileName, 0, 1, 0);
        movie->StreamIsMemory = 0;
        ops = GetFileStreamFunctionTable();
    } else {
        movie->Stream = CreateMemStream(FileImage, (uint32_t)FileImageSize);
        movie->StreamIsMemory = 1;
        ops = GetMemStreamFunctionTable();
    }
    if (movie->Stream != nullptr)
        movie->TheoraHandle = TheoraDecode_Open(ops, movie->Stream, THEORA_DEFAULT_STOCK_COUNT,
                                                movie->OpenParam.DecoderOption, 0, ASyncThread);
    if (movie->TheoraHandle == nullptr) {
        CloseStream(movie);
        if (FileName != nullptr) {
            if (MoviePlatform_Open(movie, FileName, Unused, ASyncThread) == 0) {
                movie->Graph.Width = movie->FrameImage.Width;
                movie->Graph.Height = movie->FrameImage.Height;
                movie->Graph.FrameImage = &movie->FrameImage;
                movie->NewFrame = 0;
                movie->ClockStopped = 1;
                movie->PlayFlag = 0;
                movie->PlayType = DX_PLAYTYPE_BACK;
                if (Width != nullptr) *Width = movie->Graph.Width;
                if (Height != nullptr) *Height = movie->Graph.Height;
                if (ASyncThread) DecASyncLoadCount(handle);
                return handle;
            }
            AddLogStringWide(L"ムービーファイルオープン処理時にエラーが発生しました\n");
        } else {
            AddLogStringWide(L"ムービーファイルオープン処理時に失敗しました\n");
        }
        return FailOpen(handle, ASyncThread);
    }

    TheoraDecodeInfo info;
    TheoraDecode_GetInfo(movie->TheoraHandle, &info);
    movie->Graph.Width = info.Width;
    movie->Graph.Height = info.Height;
    if (Width != nullptr) *Width = info.Width;
    if (Height != nullptr) *Height = info.Height;
    movie->FrameRate = info.FrameRate;
    movie->TotalTime = (int)(1000.0 / info.FrameRate * info.FrameCount);

    movie->SoundHandle = LoadSoundTrack(movie, FileName, FileImage, FileImageSize, ASyncThread);
    movie->SoundTotalTime = movie->SoundHandle >= 0 ? GetSoundTotalTime(movie->SoundHandle) : 0;
    movie->SoundPosition = movie->SoundHandle >= 0 ? GetSoundCurrentPosition(movie->SoundHandle) : 0;

    movie->PlayRate = 1.0;
    movie->Graph.UseTheora = 1;
    movie->SoundLonger = movie->SoundTotalTime > movie->TotalTime ? 1 : 0;
    movie->Graph.FrameImage = TheoraDecode_GetYUVImage(movie->TheoraHandle);
    movie->NewFrame = 0;
    movie->ClockStopped = 1;
    movie->PlayFlag = 0;
    movie->PlayType = DX_PLAYTYPE_BACK;
    if (ASyncThread) DecASyncLoadCount(handle);
    return handle;
}

int SetMovieFrameUpdateCallback(int MovieHandle, MovieFrameUpdateCallback Callback, void *Data)
{
    MovieHandleData *movie = GetMovieHandleData(MovieHandle);
    if (movie == nullptr) return -1;
    movie->UpdateCallback = Callback;
    movie->UpdateCallbackData = Data;
    return 0;
}

int PauseAllMovies(void)
{
    if (!MovieSystem.Initialized) return -1;
    ForEachMovie([](int Handle, MovieHandleData *Movie) {
        if (Movie->ClockStopped == 1) return;
        if (Movie->Graph.UseTheora) {
            if (Movie->SoundHandle >= 0) StopSoundHandle(Movie->SoundHandle);
            UpdateMovieFrame(Handle, 0);
            Movie->ClockStopped = 1;
        } else if (MoviePlatform_Pause(Movie) == 0) {
            Movie->ClockStopped = 1;
        }
    });
    return 0;
}

int ResumeAllMovies(void)
{
    if (!MovieSystem.Initialized) return -1;
    ForEachMovie([](int, MovieHandleData *Movie) {
        if (!Movie->ClockStopped || !Movie->PlayFlag) return;
        Movie->NewFrame = 0;
        Movie->ClockStopped = 0;
        Movie->PlayFlag = 1;
        if (Movie->PlayType == 0) Movie->PlayType = DX_PLAYTYPE_BACK;
        if (Movie->Graph.UseTheora) {
            Movie->LastClock = (uint64_t)MovieClock_Now();
            Movie->PlayedTime =
                MovieClock_ResumeTime(Movie->FrameRate, TheoraDecode_GetCurrentFrame(Movie->TheoraHandle));
            if (Movie->SoundHandle >= 0)
                PlaySoundHandle(Movie->SoundHandle, Movie->SoundLonger && Movie->PlayType ? Movie->PlayType : 1, 0);
        } else {
            MoviePlatform_Play(Movie, Movie->PlayType);
        }
    });
    return 0;
}

int RefreshMovieSurface(int MovieHandle)
{
    MovieHandleData *movie = GetMovieHandleData(MovieHandle);
    if (movie == nullptr) return -1;
    if (movie->Graph.UseTheora) TheoraDecode_RefreshSurface(movie->TheoraHandle);
    return 0;
}
