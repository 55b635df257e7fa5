// Divided loads: one image cut into equal pieces, each a graph derived from a base graph that
// holds the whole image; the pieces share one kept source.
#include <stdint.h>
#include <string.h>

#include "zovuz/graphics/graph/graph_load_internal.h"

namespace {

// Drops the base graph (the pieces keep its image); after a failure the pieces go too.
int FinishDivGraphLoad(GraphLoadRequest *Request, int Result)
{
    SubHandle(Request->BaseHandle);
    if (Result < 0) {
        for (int i = 0; i < Request->AllNum; ++i) {
            SubHandle(Request->HandleArray[i]);
            Request->HandleArray[i] = -1;
        }
    }
    return Result < 0 ? -1 : 0;
}

int LoadDivGraphCore(GraphLoadRequest *Request, int ASyncThread)
{
    BASEIMAGE image, alpha;
    int loaded = LoadGraphSourceImage(Request, &image, &alpha);
    if (loaded < 0) {
        if (Request->FileName != nullptr) AddLogFormat(L"画像ファイル %s のロードに失敗しました\n", Request->FileName);
        return -1;
    }
    int result = CreateDivGraphFromGraphImage(Request, &image, loaded == 1 ? &alpha : nullptr, ASyncThread);
    ReleaseBaseImage(&image);
    if (loaded == 1) ReleaseBaseImage(&alpha);
    return result;
}

// The job's handles: the pieces, then the base graph.
void LoadDivGraphJob(ASyncLoadData *Data)
{
    GraphLoadRequest request;
    const int *handles = UnpackGraphLoadJob(Data, &request);
    request.HandleArray = const_cast<int *>(handles);  // the job's own copy
    int result = LoadDivGraphCore(&request, 1);
    for (int i = 0; i <= request.AllNum; ++i) DecASyncLoadCount(handles[i]);
    FinishDivGraphLoad(&request, result);
}

void SetDivision(GraphLoadRequest *Request, int AllNum, int XNum, int YNum, int Width, int Height, int *HandleArray,
                 int NotUse3DFlag)
{
    Request->AllNum = AllNum;
    Request->XNum = XNum;
    Request->YNum = YNum;
    Request->Width = Width;
    Request->Height = Height;
    Request->HandleArray = HandleArray;
    Request->TextureFlag = !NotUse3DFlag;
}

}  // namespace

int LoadDivGraph(const char *FileName, int AllNum, int XNum, int YNum, int Width, int Height, int *HandleArray,
                 int NotUse3DFlag)
{
    GraphFileNameWide name(FileName);
    if (name.Name == nullptr) return -1;
    GraphLoadRequest request;
    InitGraphLoadRequest(&request);
    request.FileName = name.Name;
    SetDivision(&request, AllNum, XNum, YNum, Width, Height, HandleArray, NotUse3DFlag);
    return LoadDivGraphRequest(&request, GetUseASyncLoadFlag());
}

int CreateDivGraphFromMem(const void *FileImage, int FileImageSize, int AllNum, int XNum, int YNum, int Width,
                          int Height, int *HandleArray, int NotUse3DFlag, int ReverseFlag, const void *AlphaFileImage,
                          int AlphaFileImageSize)
{
    if (FileImage == nullptr || FileImageSize <= 0) return -1;
    GraphLoadRequest request;
    InitGraphLoadRequest(&request);
    request.Memory = FileImage;
    request.MemorySize = FileImageSize;
    if (AlphaFileImage != nullptr && AlphaFileImageSize > 0) {
        request.AlphaMemory = AlphaFileImage;
        request.AlphaMemorySize = AlphaFileImageSize;
    }
    SetDivision(&request, AllNum, XNum, YNum, Width, Height, HandleArray, NotUse3DFlag);
    request.MirrorFlag = request.ReverseFlag = ReverseFlag ? 1 : 0;
    return LoadDivGraphRequest(&request, GetUseASyncLoadFlag());
}

int LoadDivGraphRequest(GraphLoadRequest *Request, int ASyncFlag)
{
    GraphLoadRequest &r = *Request;
    // Every piece must start inside the grid, and the grid's positions must be ints.
    if (!GraphicsState.GraphicsStartedFlag || r.HandleArray == nullptr || r.AllNum < 1 || r.XNum < 1 || r.YNum < 1 ||
        r.Width < 1 || r.Height < 1 || r.AllNum > (int64_t)r.XNum * r.YNum || (int64_t)r.XNum * r.Width > INT32_MAX ||
        (int64_t)r.YNum * r.Height > INT32_MAX)
        return -1;
    WaitWhileWindowInactive();
    wchar_t fullPath[FILE_PATH_MAX_CHARS];
    UseFullGraphFilePath(Request, fullPath, sizeof(fullPath));

    memset(r.HandleArray, 0, (size_t)r.AllNum * sizeof(int));
    for (int i = 0; i < r.AllNum; ++i) {
        r.HandleArray[i] = AddHandle(DX_HANDLETYPE_GRAPH, 0, -1);
        if (r.HandleArray[i] < 0) {
            r.AllNum = i;
            return FinishDivGraphLoad(Request, -1);
        }
    }
    r.BaseHandle = AddHandle(DX_HANDLETYPE_GRAPH, 0, -1);
    if (r.BaseHandle < 0) return FinishDivGraphLoad(Request, -1);
    if (!ASyncFlag) return FinishDivGraphLoad(Request, LoadDivGraphCore(Request, 0));

    // The job gets the handles with the base graph last; the caller's array may be gone by then.
    int *handles = (int *)DXALLOC((size_t)(r.AllNum + 1) * sizeof(int));
    int queued = -1;
    if (handles != nullptr) {
        memcpy(handles, r.HandleArray, (size_t)r.AllNum * sizeof(int));
        handles[r.AllNum] = r.BaseHandle;
        queued = QueueGraphLoadJob(Request, LoadDivGraphJob, handles, r.AllNum + 1);
        DXFREE(handles);
    }
    return queued < 0 ? FinishDivGraphLoad(Request, -1) : 0;
}

int CreateDivGraphFromGraphImage(GraphLoadRequest *Request, const BASEIMAGE *Image, const BASEIMAGE *AlphaImage,
                                 int ASyncThread)
{
    GraphLoadRequest &r = *Request;
    if (SetupGraphFromBaseImage(&r.CreateParam, r.BaseHandle, Image, AlphaImage, r.TextureFlag, ASyncThread) < 0)
        return -1;
    for (int i = 0; i < r.AllNum; ++i) {
        int column = i % r.XNum, row = i / r.XNum;
        if (r.ReverseFlag) column = r.XNum - 1 - column;
        int x = column * r.Width, y = row * r.Height;
        if (DeriveGraphCore(r.HandleArray[i], x, y, r.Width, r.Height, (float)x, (float)y, (float)r.Width,
                            (float)r.Height, r.BaseHandle, 0) < 0)
            return AddLogStringWide(L"グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage\n");
    }
    if (KeepGraphLoadSource(Request, r.HandleArray[0]) < 0) return -1;
    for (int i = 1; i < r.AllNum; ++i)
        KeepGraphSourceImage(r.HandleArray[i], nullptr, nullptr, 0, nullptr, 0, nullptr, nullptr, 0, 0,
                             r.HandleArray[0], 1);
    return 0;
}
