// The movie calls the graphics front end makes, as the table it is given at the library's start.
#include "zovuz/movie/movie_internal.h"
#include "zovuz/movie/theora_decode_internal.h"

namespace {

TheoraDecodeState *DecoderOf(MovieHandleData *Movie) { return Movie != nullptr ? Movie->TheoraHandle : nullptr; }

const MovieFunctions MovieFunctionTable = {
    .GetMovieHandleData = GetMovieHandleData,
    .GetMovieGraphFields = [](MovieHandleData *Movie) { return Movie != nullptr ? &Movie->Graph : nullptr; },
    .InitMovieOpenParam = InitMovieOpenParam,
    .OpenMovie = OpenMovie,
    .SetMovieFrameUpdateCallback = SetMovieFrameUpdateCallback,
    .UpdateMovieFrame = UpdateMovieFrame,
    .TheoraDecode_GetYGraphHandle =
        [](MovieHandleData *Movie) { return TheoraDecode_GetYGraphHandle(DecoderOf(Movie)); },
    .TheoraDecode_GetUVGraphHandle =
        [](MovieHandleData *Movie) { return TheoraDecode_GetUVGraphHandle(DecoderOf(Movie)); },
    .TheoraDecode_GetSurface = [](MovieHandleData *Movie) { return TheoraDecode_GetSurface(DecoderOf(Movie)); },
    .TheoraDecode_SetupImage =
        [](MovieHandleData *Movie, int ImageFlag, int GraphFlag, int SurfaceFlag, int ASyncThread) {
            return TheoraDecode_SetupImage(DecoderOf(Movie), ImageFlag, GraphFlag, SurfaceFlag, ASyncThread);
        },
    .DeleteMovie = SubHandle,
    .RefreshMovieSurface = RefreshMovieSurface,
};

}  // namespace

const MovieFunctions *GetMovieFunctionTable(void) { return &MovieFunctionTable; }
