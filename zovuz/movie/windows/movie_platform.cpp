// The platform's movie players for files the library does not decode itself.
//
// NOT YET BUILT (Media Foundation and DirectShow movie playback): until the platform players
// exist, every file that is not Ogg Theora fails to open, so no movie ever reaches the other
// entry points with UseTheora 0.
#include "zovuz/movie/movie_internal.h"

int MoviePlatform_Open(MovieHandleData *, const wchar_t *, int, int) { return -1; }
int MoviePlatform_Update(MovieHandleData *, int) { return -1; }
int MoviePlatform_Pause(MovieHandleData *) { return -1; }
int MoviePlatform_Play(MovieHandleData *, int) { return -1; }
int MoviePlatform_Release(MovieHandleData *) { return 0; }
int MoviePlatform_Initialize(void) { return 0; }
int MoviePlatform_Terminate(void) { return 0; }
