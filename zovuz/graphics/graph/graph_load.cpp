// Graphs of image files and memory images: the load request, the direct and the asynchronous
// road, the image and its alpha image, and graphs made from a loaded image.
#include <limits.h>
#include <stdint.h>
#include <string.h>
#include <wchar.h>

#include "zovuz/graphics/graph/graph_load_internal.h"

// ---- The request --------------------------------------------------------------------------

void InitGraphLoadRequest(GraphLoadRequest *Request)
{
    memset(Request, 0, sizeof(*Request));
    InitImageLoadParams(&Request->LoadParam, 0);
    const MovieFunctions *movie = GetMovieFunctions();
    if (movie != nullptr && movie->InitMovieOpenParam != nullptr) movie->InitMovieOpenParam(&Request->MovieParam);
    InitGraphCreateParam(&Request->CreateParam);
    Request->GraphHandle = Request->BaseHandle = -1;
}

GraphFileNameWide::GraphFileNameWide(const char *MultiByteName) : Name(nullptr)
{
    if (MultiByteName == nullptr) return;
    const int code = GetCurrentCharCodeFormat(), wide = GetWideCharCodeFormat();
    int bytes = ConvertCharCode(MultiByteName, code, nullptr, 0, wide);
    if (bytes <= 0) return;
    wchar_t *buffer = (size_t)bytes <= sizeof(Stack) ? Stack : (wchar_t *)DXALLOC((size_t)bytes);
    if (buffer == nullptr) return;
    ConvertCharCode(MultiByteName, code, (char *)buffer, (size_t)bytes, wide);
    Name = buffer;
}

GraphFileNameWide::~GraphFileNameWide()
{
    if (Name != nullptr && Name != Stack) DXFREE((void *)Name);
}

void UseFullGraphFilePath(GraphLoadRequest *Request, wchar_t *Buffer, size_t BufferBytes)
{
    if (Request->FileName != nullptr && ConvertFullPath(Request->FileName, Buffer, BufferBytes, nullptr) == 0)
        Request->FileName = Buffer;
}

// ---- Asynchronous jobs --------------------------------------------------------------------

namespace {

// A graph load's job: the request, then in the job's tail its handles and the file name with its
// terminator, which the request points at again when the job runs.
struct GraphLoadParams
{
    GraphLoadRequest Request;
    int HandleNum;
    int HasFileName;  // 0 for a memory image
};

}  // namespace

int QueueGraphLoadJob(const GraphLoadRequest *Request, ASyncLoadFunction Body, const int *Handles, int HandleNum)
{
    const uint64_t handleBytes = (uint64_t)HandleNum * sizeof(int);
    const uint64_t nameBytes =
        Request->FileName != nullptr ? ((uint64_t)wcslen(Request->FileName) + 1) * sizeof(wchar_t) : 0;
    if (HandleNum < 1 || handleBytes + nameBytes > INT_MAX) return -1;
    const GraphLoadParams params = {
        .Request = *Request, .HandleNum = HandleNum, .HasFileName = Request->FileName != nullptr};
    ASyncLoadData *job = AllocASyncLoadJob(Body, params, (size_t)(handleBytes + nameBytes));
    if (job == nullptr) return -1;
    unsigned char *tail = ASyncLoadJobTail<GraphLoadParams>(job);
    memcpy(tail, Handles, (size_t)handleBytes);
    if (nameBytes > 0) memcpy(tail + handleBytes, Request->FileName, (size_t)nameBytes);
    return QueueHandleLoadJob(DX_HANDLETYPE_GRAPH, Handles, HandleNum, job);
}

const int *UnpackGraphLoadJob(ASyncLoadData *Data, GraphLoadRequest *Request)
{
    const GraphLoadParams params = ASyncLoadJobParams<GraphLoadParams>(Data);
    const unsigned char *tail = ASyncLoadJobTail<GraphLoadParams>(Data);
    *Request = params.Request;
    Request->FileName = params.HasFileName ? (const wchar_t *)(tail + params.HandleNum * sizeof(int)) : nullptr;
    return (const int *)tail;
}

namespace {

void LoadGraphJob(ASyncLoadData *Data)
{
    GraphLoadRequest request;
    UnpackGraphLoadJob(Data, &request);
    int result = SetupGraphFromFile(&request, 1);
    FinishHandleLoadJob(request.GraphHandle, result);
}

// 1 when the file opens through the file layer.
bool GraphFileExists(const wchar_t *FileName)
{
    FileStreamId file = FileAccessOpen(FileName, 0, 1, 0);
    if (file == 0) return false;
    FileAccessClose(file);
    return true;
}

}  // namespace

// ---- Whole graphs ---------------------------------------------------------------------------

int LoadGraph(const char *FileName, int NotUse3DFlag)
{
    GraphFileNameWide name(FileName);
    return name.Name != nullptr ? LoadGraphWide(name.Name, !NotUse3DFlag) : -1;
}

int LoadGraphWide(const wchar_t *FileName, int TextureFlag)
{
    if (FileName == nullptr) return -1;
    GraphLoadRequest request;
    InitGraphLoadRequest(&request);
    request.FileName = FileName;
    request.TextureFlag = TextureFlag;
    return LoadGraphBase(&request, GetUseASyncLoadFlag(), 0);
}

int LoadGraphBase(GraphLoadRequest *Request, int ASyncFlag, int ASyncThread)
{
    if (!GraphicsState.GraphicsStartedFlag || Request == nullptr ||
        (Request->FileName == nullptr && Request->Memory == nullptr))
        return -1;
    if (!ASyncThread) WaitWhileWindowInactive();
    wchar_t fullPath[FILE_PATH_MAX_CHARS];
    UseFullGraphFilePath(Request, fullPath, sizeof(fullPath));
    int handle = AddHandle(DX_HANDLETYPE_GRAPH, 0, -1);
    if (handle < 0) return -1;
    Request->GraphHandle = handle;
    int result = ASyncFlag && !ASyncThread ? QueueGraphLoadJob(Request, LoadGraphJob, &handle, 1)
                                           : SetupGraphFromFile(Request, ASyncThread);
    if (result < 0) {
        SubHandle(handle);
        return -1;
    }
    return handle;
}

int LoadGraphSourceImages(ImageLoadParam *Param, const wchar_t *FileName, const void *Memory, int MemorySize,
                          const void *AlphaMemory, int AlphaMemorySize, int MirrorFlag, int NoAlphaFlag,
                          BASEIMAGE *Image, BASEIMAGE *AlphaImage)
{
    int result = LoadBaseImageWithAlphaFile(Param, FileName, Memory, MemorySize, FileName == nullptr ? 1 : 0,
                                            AlphaMemory, AlphaMemorySize, AlphaMemory != nullptr ? 1 : 0, Image,
                                            NoAlphaFlag ? nullptr : AlphaImage, MirrorFlag);
    return result < 0 ? -1 : result == 0 ? 1 : 0;
}

int LoadGraphSourceImage(GraphLoadRequest *Request, BASEIMAGE *Image, BASEIMAGE *AlphaImage)
{
    const GraphLoadRequest &r = *Request;
    return LoadGraphSourceImages(&Request->LoadParam, r.FileName, r.Memory, r.MemorySize, r.AlphaMemory,
                                 r.AlphaMemorySize, r.MirrorFlag, r.CreateParam.NotLoadAlphaImageFlag, Image,
                                 AlphaImage);
}

int KeepGraphLoadSource(const GraphLoadRequest *Request, int GraphHandle)
{
    const GraphLoadRequest &r = *Request;
    return KeepGraphSourceImage(GraphHandle, r.FileName, r.Memory, r.MemorySize, r.AlphaMemory, r.AlphaMemorySize,
                                nullptr, nullptr, r.MirrorFlag, r.CreateParam.NotLoadAlphaImageFlag, -1, 1);
}

int SetupGraphFromFile(GraphLoadRequest *Request, int ASyncThread)
{
    BASEIMAGE image, alpha;
    int loaded = LoadGraphSourceImage(Request, &image, &alpha);
    if (loaded < 0) {
        // A missing file is reported as such; anything else no image loader takes may be a movie.
        if (Request->FileName != nullptr && !GraphFileExists(Request->FileName)) {
            AddLogFormat(L"画像ファイル %s がありません\n", Request->FileName);
            return -1;
        }
        if (SetupMovieGraph(Request, Request->GraphHandle, ASyncThread) < 0) return -1;
        FillGraph(Request->GraphHandle, 0, 0, 0, 0);
        return 0;
    }
    int result = SetupGraphFromBaseImage(&Request->CreateParam, Request->GraphHandle, &image,
                                         loaded == 1 ? &alpha : nullptr, Request->TextureFlag, ASyncThread);
    if (result == 0) result = KeepGraphLoadSource(Request, Request->GraphHandle);
    ReleaseBaseImage(&image);
    if (loaded == 1) ReleaseBaseImage(&alpha);
    return result;
}

// ---- Graphs of loaded images -------------------------------------------------------------------

int CreateGraphFromBaseImageParam(const GraphCreateParam *Param, const BASEIMAGE *Image, const BASEIMAGE *AlphaImage,
                                  int TextureFlag)
{
    if (!GraphicsState.GraphicsStartedFlag || Image == nullptr) return -1;
    int handle = AddHandle(DX_HANDLETYPE_GRAPH, 0, -1);
    if (handle >= 0 && SetupGraphFromBaseImage(Param, handle, Image, AlphaImage, TextureFlag, 0) < 0) {
        SubHandle(handle);
        return -1;
    }
    return handle;
}

int CreateGraphFromBaseImage(const BASEIMAGE *Image, const BASEIMAGE *AlphaImage, int TextureFlag)
{
    GraphCreateParam param;
    InitGraphCreateParam(&param);
    return CreateGraphFromBaseImageParam(&param, Image, AlphaImage, TextureFlag);
}
