// The platform's movie player for files the library does not decode itself: Media Foundation is
// tried first, then a DirectShow graph. A file the platform cannot open by its path (one inside
// an archive, say) is copied to a temporary file, which lives as long as the movie.
#include <string.h>

#include <new>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/movie/playback/windows/movie_platform_win.h"

int MoviePlatform_SetPath(MoviePlatformData *P, const wchar_t *FileName)
{
    // The copy's path is never replaced: it is the one the copy is deleted by.
    if (P->TempFileFlag) return 0;
    size_t n = 0;
    for (; FileName[n] != 0; n++) {
        if (n + 1 >= MoviePlatformPathChars) {
            P->TempFilePath[0] = 0;
            return -1;
        }
        P->TempFilePath[n] = FileName[n] == L'/' ? L'\\' : FileName[n];
    }
    P->TempFilePath[n] = 0;
    return 0;
}

int MoviePlatform_CopyToTempFile(MoviePlatformData *P, const wchar_t *FileName)
{
    if (P->TempFileFlag) return -1;
    FileStreamId in = FileAccessOpen(FileName, 0, 1, 0);
    if (in == 0) return -1;
    FileAccessSeek(in, 0, FILE_SEEK_END);
    int64_t size = FileAccessTell(in);
    FileAccessSeek(in, 0, FILE_SEEK_SET);
    void *buffer = size > 0 ? DXALLOC(MoviePlatformCopyChunk) : nullptr;
    wchar_t path[MoviePlatformPathChars];
    HANDLE out = buffer != nullptr ? (HANDLE)CreateTemporaryFile(path, sizeof(path)) : nullptr;
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        DXFREE(buffer);
        FileAccessClose(in);
        return -1;
    }
    int64_t left = size;
    while (left > 0) {
        DWORD chunk = left < MoviePlatformCopyChunk ? (DWORD)left : MoviePlatformCopyChunk;
        DWORD written = 0;
        if (FileAccessRead(buffer, 1, chunk, in) != chunk || !WriteFile(out, buffer, chunk, &written, nullptr) ||
            written != chunk)
            break;
        left -= chunk;
    }
    CloseHandle(out);
    DXFREE(buffer);
    FileAccessClose(in);
    // A short copy would only fail later, or play part of the movie: it is not kept.
    if (left != 0) {
        DeleteFileW(path);
        return -1;
    }
    memcpy(P->TempFilePath, path, sizeof(path));
    P->TempFileFlag = 1;
    return 0;
}

void MoviePlatform_DeleteTempFile(MoviePlatformData *P)
{
    if (P->TempFileFlag) DeleteFileW(P->TempFilePath);
    P->TempFileFlag = 0;
    P->TempFilePath[0] = 0;
}

int MoviePlatform_Open(MovieHandleData *Movie, const wchar_t *FileName, int, int ASyncThread)
{
    if (Movie == nullptr || FileName == nullptr) return -1;
    MoviePlatformData *p = new (std::nothrow) MoviePlatformData();
    if (p == nullptr) return -1;
    p->MFSoundHandle = -1;
    if (OpenMovie_MediaFoundation(Movie, p, FileName, ASyncThread) != 0 &&
        OpenMovie_DirectShow(Movie, p, FileName, ASyncThread) != 0) {
        delete p;
        return -1;
    }
    Movie->Platform = p;
    return 0;
}

int MoviePlatform_Update(MovieHandleData *Movie, int)
{
    MoviePlatformData *p = Movie != nullptr ? Movie->Platform : nullptr;
    if (p == nullptr) return -1;
    if (p->SourceReader != nullptr) return UpdateMovieFrame_MediaFoundation(Movie);
    if (p->GraphBuilder != nullptr) return UpdateMovieFrame_DirectShow(Movie);
    return -1;
}

int MoviePlatform_Pause(MovieHandleData *Movie)
{
    MoviePlatformData *p = Movie != nullptr ? Movie->Platform : nullptr;
    if (p == nullptr) return -1;
    if (p->SourceReader != nullptr) return PauseMovie_MediaFoundation(Movie);
    return PauseMovie_DirectShow(Movie);
}

int MoviePlatform_Play(MovieHandleData *Movie, int PlayType)
{
    MoviePlatformData *p = Movie != nullptr ? Movie->Platform : nullptr;
    if (p == nullptr) return -1;
    if (p->SourceReader != nullptr) return PlayMovie_MediaFoundation(Movie, PlayType);
    return PlayMovie_DirectShow(Movie);
}

int MoviePlatform_Seek(MovieHandleData *Movie, int Frame)
{
    MoviePlatformData *p = Movie != nullptr ? Movie->Platform : nullptr;
    if (p == nullptr || Frame < 0) return -1;
    if (p->SourceReader != nullptr) return SeekMovie_MediaFoundation(Movie, Frame);
    return SeekMovie_DirectShow(Movie, Frame);
}

int MoviePlatform_Release(MovieHandleData *Movie)
{
    MoviePlatformData *p = Movie != nullptr ? Movie->Platform : nullptr;
    if (p == nullptr) return 0;
    TerminateMovie_MediaFoundation(p);
    TerminateMovie_DirectShow(p);
    // Last: the sound track, the reader and the graph may hold the copy open until released.
    MoviePlatform_DeleteTempFile(p);
    delete p;
    Movie->Platform = nullptr;
    Movie->FrameImage.Pixels = nullptr;
    Movie->Graph.FrameImage = nullptr;
    return 0;
}

int MoviePlatform_Initialize(void) { return 0; }
// Media Foundation is shut down by the movie system's end, once the sound layer's conversions
// are gone too (SoundConvertMF_Terminate).
int MoviePlatform_Terminate(void) { return 0; }
