// The sources graphs keep, and filling every graph again from its source after a device loss.
#include <string.h>
#include <wchar.h>

#include "zovuz/graphics/graph/graph_load_internal.h"

namespace {

// The stored pixel bytes of an image (every face), -1 for one that cannot be sized.
int ImageDataBytes(const BASEIMAGE &Image)
{
    int face = GetBaseImageDataSize(&Image);
    if (face < 0 || Image.Pixels == nullptr) return face < 0 ? -1 : 0;
    int faces = Image.CubeFlag == 6 ? 6 : 1;
    if (face > INT32_MAX / faces) return -1;
    // Never more than the image holds.
    return Image.DataSize > 0 && Image.DataSize < face * faces ? Image.DataSize : face * faces;
}

size_t Align8(size_t Size) { return (Size + 7) & ~(size_t)7; }

// Copies Image into Place (the record first, its pixels after it); the bytes used.
size_t CopyImage(const BASEIMAGE &Image, int Bytes, uint8_t *Place, BASEIMAGE **Out)
{
    BASEIMAGE *copy = (BASEIMAGE *)Place;
    *copy = Image;
    copy->Pixels = nullptr;
    copy->DataSize = Bytes > 0 ? Bytes : 0;
    if (Bytes > 0) {
        copy->Pixels = Place + Align8(sizeof(BASEIMAGE));
        memcpy(copy->Pixels, Image.Pixels, (size_t)Bytes);
    }
    *Out = copy;
    return Align8(sizeof(BASEIMAGE)) + Align8((size_t)Bytes);
}

// The last image loaded for a restore, reused by the next graph with the same source.
struct LoadedSource
{
    const wchar_t *Name = nullptr;                // the file's name, or
    const void *Key1 = nullptr, *Key2 = nullptr;  // the two memory images
    int Option1 = 0, Option2 = 0;
    bool Valid = false, HasAlpha = false;
    BASEIMAGE Image = {}, Alpha = {};

    ~LoadedSource() { Release(); }
    void Release()
    {
        if (Valid) {
            ReleaseBaseImage(&Image);
            if (HasAlpha) ReleaseBaseImage(&Alpha);
        }
        Valid = HasAlpha = false;
    }
    bool Holds(const GraphSourceKeep &s) const
    {
        if (!Valid || Option1 != s.Option1 || Option2 != s.Option2) return false;
        if (s.FileName != nullptr) return Name != nullptr && wcscmp(Name, s.FileName) == 0;
        return Key1 == s.Memory && Key2 == s.AlphaMemory;
    }
    bool Load(const GraphSourceKeep &s)
    {
        Release();
        ImageLoadParam param;
        InitImageLoadParams(&param, 0);
        int result = LoadGraphSourceImages(&param, s.FileName, s.Memory, s.MemorySize, s.AlphaMemory, s.AlphaMemorySize,
                                           s.Option1, s.Option2, &Image, &Alpha);
        if (result < 0) return false;
        Valid = true;
        HasAlpha = result == 1;
        Name = s.FileName;
        Key1 = s.Memory;
        Key2 = s.AlphaMemory;
        Option1 = s.Option1;
        Option2 = s.Option2;
        return true;
    }
};

}  // namespace

int KeepGraphSourceImage(int GraphHandle, const wchar_t *FileName, const void *Memory, int MemorySize,
                         const void *AlphaMemory, int AlphaMemorySize, const BASEIMAGE *Image,
                         const BASEIMAGE *AlphaImage, int Option1, int Option2, int ShareFrom, int AllowLoading)
{
    GraphHandleData *graph = GetGraphEntry(GraphHandle, AllowLoading);
    if (graph == nullptr) return -1;
    ReleaseGraphSourceKeep(graph);
    if ((FileName == nullptr && Memory == nullptr && Image == nullptr) || ShareFrom >= 0) {
        GraphHandleData *share = ShareFrom >= 0 ? GetGraphEntry(ShareFrom, 1) : nullptr;
        if (share != nullptr && share->Source != nullptr) {
            graph->Source = share->Source;
            graph->Source->RefCount++;
        }
        return 0;
    }

    size_t nameBytes = FileName != nullptr ? (wcslen(FileName) + 1) * sizeof(wchar_t) : 0;
    int memoryBytes = Memory != nullptr && MemorySize > 0 ? MemorySize : 0;
    int alphaMemoryBytes = Memory != nullptr && AlphaMemory != nullptr && AlphaMemorySize > 0 ? AlphaMemorySize : 0;
    int imageBytes = Image != nullptr ? ImageDataBytes(*Image) : 0;
    int alphaBytes = Image != nullptr && AlphaImage != nullptr ? ImageDataBytes(*AlphaImage) : 0;
    const wchar_t *failure = FileName != nullptr
                                 ? L"転送する画像ファイルのファイル名を保存するメモリ領域の確保に失敗しました\n"
                             : Memory != nullptr ? L"転送する画像データを保存するメモリ領域の確保に失敗しました\n"
                                                 : L"転送する基本イメージを保存するメモリ領域の確保に失敗しました\n";
    if (imageBytes < 0 || alphaBytes < 0) return AddLogStringWide(failure);
    size_t size = Align8(sizeof(GraphSourceKeep)) + Align8(nameBytes) + Align8((size_t)memoryBytes) +
                  Align8((size_t)alphaMemoryBytes);
    if (Image != nullptr) size += Align8(sizeof(BASEIMAGE)) + Align8((size_t)imageBytes);
    if (Image != nullptr && AlphaImage != nullptr) size += Align8(sizeof(BASEIMAGE)) + Align8((size_t)alphaBytes);
    uint8_t *block = (uint8_t *)DXCALLOC(size);
    if (block == nullptr) return AddLogStringWide(failure);

    GraphSourceKeep *keep = (GraphSourceKeep *)block;
    uint8_t *place = block + Align8(sizeof(GraphSourceKeep));
    if (FileName != nullptr) {
        keep->FileName = (wchar_t *)place;
        memcpy(place, FileName, nameBytes);
        place += Align8(nameBytes);
    } else if (Memory != nullptr) {
        keep->Memory = place;
        keep->MemorySize = memoryBytes;
        memcpy(place, Memory, (size_t)memoryBytes);
        place += Align8((size_t)memoryBytes);
        if (alphaMemoryBytes > 0) {
            keep->AlphaMemory = place;
            keep->AlphaMemorySize = alphaMemoryBytes;
            memcpy(place, AlphaMemory, (size_t)alphaMemoryBytes);
            place += Align8((size_t)alphaMemoryBytes);
        }
    } else {
        place += CopyImage(*Image, imageBytes, place, &keep->Image);
        if (AlphaImage != nullptr) CopyImage(*AlphaImage, alphaBytes, place, &keep->AlphaImage);
    }
    keep->Option1 = Option1;
    keep->Option2 = Option2;
    keep->RefCount = 1;
    graph->Source = keep;
    return 0;
}

void ReleaseGraphSourceKeep(GraphHandleData *Graph)
{
    GraphSourceKeep *keep = Graph->Source;
    Graph->Source = nullptr;
    if (keep != nullptr && --keep->RefCount <= 0) DXFREE(keep);
}

int RestoreAllGraphs(void)
{
    AddLogStringWide(L"グラフィックを復帰します\n");
    HandleManage &m = *GetHandleManage(DX_HANDLETYPE_GRAPH);
    LoadedSource file, memory;
    for (int slot = m.InitializeFlag ? m.AreaMin : 0; m.InitializeFlag && slot <= m.AreaMax; ++slot) {
        HandleInfo *info = m.Handle[slot];
        GraphHandleData *graph = reinterpret_cast<GraphHandleData *>(info);
        if (graph == nullptr || info->ASyncLoadCount != 0 || graph->Source == nullptr || graph->Image == nullptr)
            continue;
        const GraphSourceKeep &s = *graph->Source;
        const BASEIMAGE *image, *alpha;
        if (s.FileName != nullptr) {
            if (!file.Holds(s) && !file.Load(s)) {
                AddLogFormat(L"Image File Load Error : %s\n", s.FileName);
                continue;
            }
            image = &file.Image;
            alpha = file.HasAlpha ? &file.Alpha : nullptr;
        } else if (s.Memory != nullptr) {
            if (!memory.Holds(s) && !memory.Load(s)) {
                AddLogStringWide(L"メモリからの画像データのローができませんでした\n");
                continue;
            }
            image = &memory.Image;
            alpha = memory.HasAlpha ? &memory.Alpha : nullptr;
        } else if (s.Image != nullptr) {
            image = s.Image;
            alpha = s.AlphaImage;
        } else {
            continue;
        }
        BltBaseImageToGraphWhole(image, alpha, graph->SourceX, graph->SourceY, info->Handle, 1, 0);
    }
    file.Release();
    memory.Release();
    AddLogStringWide(L"グラフィックの復帰が完了しました\n");
    return 0;
}
