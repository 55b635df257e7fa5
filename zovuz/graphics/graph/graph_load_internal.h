// Inside the library: loading graphs from image files and memory images, whole or divided into
// pieces, directly or as asynchronous jobs, and graphs that show a movie. Never included from app/.
#pragma once

#include "zovuz/graphics/graph/graph_internal.h"
#include "zovuz/graphics/image/image_load_internal.h"

// One load: where the image comes from, how its graphs are made and, for a divided load, how it is
// cut. Zeroed, then filled by InitGraphLoadRequest and the caller.
struct GraphLoadRequest
{
    ImageLoadParam LoadParam;      // the image loaders' settings
    MovieOpenParam MovieParam;     // for a source no image loader accepts
    GraphCreateParam CreateParam;  // word 24 set: no alpha image is looked for
    int GraphHandle;               // a whole load: the graph, -1 until added
    int BaseHandle;                // a divided load: the graph of the whole image, -1 until added
    const wchar_t *FileName;       // the file, or null for a memory image
    const void *Memory;            // a memory image (the caller keeps it until the load ends)
    int MemorySize;
    const void *AlphaMemory;  // its alpha image, or null
    int AlphaMemorySize;
    int TextureFlag;         // made as textures (the callers' !notUse3D)
    int MirrorFlag;          // the image is mirrored left to right as it loads
    int AllNum, XNum, YNum;  // a divided load: pieces, pieces per row, rows
    int Width, Height;       // a divided load: the size of one piece
    int *HandleArray;        // a divided load: AllNum handles
    int ReverseFlag;         // a divided load: columns are taken right to left
};

// The request from the current settings: loaders, movie words, creation settings; no source.
void InitGraphLoadRequest(GraphLoadRequest *Request);

// A file name in the library's wide code, converted from its current multibyte code (in a
// buffer on the stack unless the name is long). Name is null when the conversion fails.
class GraphFileNameWide
{
public:
    explicit GraphFileNameWide(const char *MultiByteName);
    ~GraphFileNameWide();
    GraphFileNameWide(const GraphFileNameWide &) = delete;
    GraphFileNameWide &operator=(const GraphFileNameWide &) = delete;
    const wchar_t *Name;

private:
    wchar_t Stack[512];
};

// A graph of the request's file or memory image: the handle, or -1. Asynchronous (and not on a
// worker): the handle comes back at once, loading, and is deleted when the load fails.
int LoadGraphBase(GraphLoadRequest *Request, int ASyncFlag, int ASyncThread);
int LoadGraphWide(const wchar_t *FileName, int TextureFlag);

// Fills Request->GraphHandle from the request's source: the image (and alpha image) into a new
// graph image with the source kept for the restore, or, for a source no loader accepts, a movie.
// 0 / -1.
int SetupGraphFromFile(GraphLoadRequest *Request, int ASyncThread);

// The image and the alpha image of a file (FileName) or a memory image, mirrored with
// MirrorFlag; with NoAlphaFlag no alpha image is looked for. -1 when the image fails, 1 when the
// alpha image came too, else 0.
int LoadGraphSourceImages(ImageLoadParam *Param, const wchar_t *FileName, const void *Memory, int MemorySize,
                          const void *AlphaMemory, int AlphaMemorySize, int MirrorFlag, int NoAlphaFlag,
                          BASEIMAGE *Image, BASEIMAGE *AlphaImage);
// The same for the request's source and options.
int LoadGraphSourceImage(GraphLoadRequest *Request, BASEIMAGE *Image, BASEIMAGE *AlphaImage);
// The request's source (its file name or memory images, and its two loader options) kept by the
// graph for the restore. 0 / -1 (logged).
int KeepGraphLoadSource(const GraphLoadRequest *Request, int GraphHandle);

// Points the request's file name at its full path in Buffer, so that neither a job nor a restore
// depends on the current folder (left as it is when it cannot be made).
void UseFullGraphFilePath(GraphLoadRequest *Request, wchar_t *Buffer, size_t BufferBytes);

// Queues Body with copies of the request, its file name and the handles in the job, and counts the
// job on every handle. 0 / -1 (nothing queued).
int QueueGraphLoadJob(const GraphLoadRequest *Request, ASyncLoadFunction Body, const int *Handles, int HandleNum);
// In the job: the request (its file name pointing into the job) and the handles it was queued with.
const int *UnpackGraphLoadJob(ASyncLoadData *Data, GraphLoadRequest *Request);

// A graph of an image made with the given creation settings. The handle, or -1.
int CreateGraphFromBaseImageParam(const GraphCreateParam *Param, const BASEIMAGE *Image, const BASEIMAGE *AlphaImage,
                                  int TextureFlag);

// A divided load of the request's source into Request->HandleArray. 0 / -1 (no handle left).
int LoadDivGraphRequest(GraphLoadRequest *Request, int ASyncFlag);

// Cuts the loaded image into the request's pieces: the base graph takes the whole image, each
// piece is derived from it, the first keeps the source and the others share it. 0 / -1 (logged).
int CreateDivGraphFromGraphImage(GraphLoadRequest *Request, const BASEIMAGE *Image, const BASEIMAGE *AlphaImage,
                                 int ASyncThread);

// Makes Graph a graph that shows a movie of the file or memory image. 0 / -1 (logged; the movie
// is closed again).
int SetupMovieGraph(GraphLoadRequest *Request, int GraphHandle, int ASyncThread);
// The movie's frame into its graph after each frame update (the movie's frame-update callback;
// Data is the graph handle).
void RefreshMovieGraph(MovieHandleData *Movie, void *Data);
