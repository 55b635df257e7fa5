// Graphs that show a movie: opened through the movie subsystem's table when no image loader takes
// the source, and refreshed from the movie after each of its frame updates.
#include <stdint.h>

#include "zovuz/graphics/graph/graph_load_internal.h"

namespace {

MovieGraphFields *FieldsOf(const MovieFunctions *Movies, MovieHandleData *Movie)
{
    return Movie != nullptr && Movies->GetMovieGraphFields != nullptr ? Movies->GetMovieGraphFields(Movie) : nullptr;
}

// The frame image into the graph; a frame with the alpha layout gives its left half as the image
// and its right half as the alpha.
void TransferMovieFrame(int GraphHandle, const MovieGraphFields &Fields)
{
    const BASEIMAGE *frame = Fields.FrameImage;
    if (frame == nullptr || frame->Pixels == nullptr) return;
    if (!Fields.AlphaLayoutFlag) {
        BltBaseImageToGraphWhole(frame, nullptr, 0, 0, GraphHandle, 0, 0);
        return;
    }
    int half = frame->Width / 2;
    BASEIMAGE image, alpha;
    if (CreateBaseImageView(frame, 0, 0, half, frame->Height, &image) == 0 &&
        CreateBaseImageView(frame, half, 0, half * 2, frame->Height, &alpha) == 0)
        BltBaseImageToGraphWhole(&image, &alpha, 0, 0, GraphHandle, 0, 0);
}

// The movie's luma and chroma graphs into the graph through the YUV-to-RGB filter (13; 15 takes
// the left half of a frame with the alpha layout).
void FilterMovieGraphs(int YGraph, int UVGraph, int GraphHandle, const MovieGraphFields &Fields)
{
    const GraphFilterFunctions *filters = GetGraphFilterFunctions();
    if (filters == nullptr) return;
    if (Fields.AlphaLayoutFlag) {
        if (filters->GraphFilterRectBlt != nullptr)
            filters->GraphFilterRectBlt(YGraph, GraphHandle, 0, 0, Fields.Width / 2, Fields.Height, 0, 0, 15, UVGraph);
    } else if (filters->GraphFilterBlt != nullptr) {
        filters->GraphFilterBlt(YGraph, GraphHandle, 13, UVGraph);
    }
}

}  // namespace

int SetupMovieGraph(GraphLoadRequest *Request, int GraphHandle, int ASyncThread)
{
    const MovieFunctions *movies = GetMovieFunctions();
    const wchar_t *name = Request->FileName != nullptr ? Request->FileName : L"";
    int width = 0, height = 0;
    int movie = movies != nullptr && movies->OpenMovie != nullptr
                    ? movies->OpenMovie(&Request->MovieParam, Request->FileName, Request->Memory,
                                        (size_t)Request->MemorySize, &width, &height, 0, ASyncThread)
                    : -1;
    if (movie < 0) {
        AddLogFormat(L"Image File Load Error : %s \n", name);
        return -1;
    }
    MovieGraphFields *fields =
        FieldsOf(movies, movies->GetMovieHandleData != nullptr ? movies->GetMovieHandleData(movie) : nullptr);
    GraphCreateParam param = Request->CreateParam;
    param.ColorBitDepth = GetScreenColorBitDepth() != 0 ? GetScreenColorBitDepth() : 16;
    int alphaLayout = fields != nullptr && fields->AlphaLayoutFlag;
    if (alphaLayout) width /= 2;
    if (fields == nullptr || width < 1 || height < 1 ||
        SetupGraphImage(&param, GraphHandle, width, height, Request->TextureFlag, alphaLayout, 0, 0, 0, 1,
                        ASyncThread) < 0) {
        AddLogFormat(L"Graph Handle Setup Error : %s\n", name);
        if (movies->DeleteMovie != nullptr) movies->DeleteMovie(movie);
        return -1;
    }
    GetGraphEntry(GraphHandle, 1)->MovieHandle = movie;
    if (movies->SetMovieFrameUpdateCallback != nullptr)
        movies->SetMovieFrameUpdateCallback(movie, RefreshMovieGraph, (void *)(intptr_t)GraphHandle);
    return 0;
}

void RefreshMovieGraph(MovieHandleData *Movie, void *Data)
{
    int handle = (int)(intptr_t)Data;
    GraphHandleData *graph = GetGraphEntry(handle, 0);
    const MovieFunctions *movies = GetMovieFunctions();
    MovieGraphFields *fields = movies != nullptr ? FieldsOf(movies, Movie) : nullptr;
    if (graph == nullptr || graph->Image == nullptr || fields == nullptr) return;
    MovieGraphFields &f = *fields;
    const bool hardware = graph->Image->Format.HardwareFlag != 0;

    if (f.UseTheora && movies->TheoraDecode_SetupImage != nullptr) {
        if (!hardware) {
            if (movies->TheoraDecode_SetupImage(Movie, 1, 0, 0, 0)) f.FrameUpdated = 1;
            TransferMovieFrame(handle, f);
            return;
        }
        // The decoder's surface when it has one, else its luma and chroma graphs where the device
        // runs shaders, else its frame image.
        void *surface = movies->TheoraDecode_GetSurface != nullptr ? movies->TheoraDecode_GetSurface(Movie) : nullptr;
        bool useSurface = surface != nullptr && !f.AlphaLayoutFlag;
        bool useGraphs = !useSurface && Graphics_Hardware_GetShaderVersion() >= 200;
        if (!movies->TheoraDecode_SetupImage(Movie, !useSurface && !useGraphs, useGraphs, useSurface, 0) &&
            !f.FrameUpdated)
            return;
        if (useSurface) {
            Graphics_Hardware_CopyMovieFrameToGraph(graph, Movie);
        } else if (useGraphs && movies->TheoraDecode_GetYGraphHandle != nullptr &&
                   movies->TheoraDecode_GetUVGraphHandle != nullptr) {
            FilterMovieGraphs(movies->TheoraDecode_GetYGraphHandle(Movie), movies->TheoraDecode_GetUVGraphHandle(Movie),
                              handle, f);
        } else {
            TransferMovieFrame(handle, f);
        }
        f.FrameUpdated = 1;
        return;
    }
    if (hardware && f.YGraph != -1) {
        MovieGraphFields whole = f;
        whole.AlphaLayoutFlag = 0;
        FilterMovieGraphs(f.YGraph, f.UVGraph, handle, whole);
        return;
    }
    TransferMovieFrame(handle, f);
}
