// The processor path's pixels: a filter's handles, its 32-bit work images fetched from graphs
// (software images or the pieces of a hardware graph's textures), and the result written back.
#include <string.h>

#include "zovuz/filter/graph_filter_internal.h"

namespace {

// A graph's pixels have no transparent colour to keep when they carry alpha; without alpha they
// keep the colour key they were made with, as the graph's own transfers do.
void TransferOptions(int GraphHandle, int *Option1, int *Option2)
{
    GraphHandleData *graph = GetFilterGraph(GraphHandle);
    *Option1 = graph != nullptr ? graph->Image->Format.TextureOption : 0;
    *Option2 = graph != nullptr && !graph->Image->Format.AlphaChannelFlag ? 1 : 0;
}

// Writes Width x Height of Image to (X, Y) of the graph. 0 / -1.
int TransferToGraph(BASEIMAGE *Image, int Width, int Height, int X, int Y, int GraphHandle)
{
    int option1, option2;
    TransferOptions(GraphHandle, &option1, &option2);
    ImageRect rect = {0, 0, Width, Height};
    return BltBaseImageToGraph(&rect, X, Y, GraphHandle, Image, nullptr, option1, option2, 0, 0);
}

// Copies Rect of a graph (in the graph's coordinates) from its texture TextureIndex of the image
// record into Out at (X, Y). 0 / -1.
int CopyLocked(int GraphHandle, const ImageRect &Rect, int TextureIndex, BASEIMAGE *Out, int X, int Y)
{
    BASEIMAGE locked;
    if (LockDrawScreenBuffer(&Rect, &locked, GraphHandle, 0, 0, 1, TextureIndex) < 0) return -1;
    BltBaseImage(0, 0, Rect.right - Rect.left, Rect.bottom - Rect.top, X, Y, &locked, Out);
    UnlockDrawScreenBuffer();
    return 0;
}

}  // namespace

// ---- Handles ---------------------------------------------------------------------------------------

GraphHandleData *GetFilterGraph(int Handle)
{
    GraphHandleData *graph = GetTypedHandle<GraphHandleData>(Handle, DX_HANDLETYPE_GRAPH, 0);
    return graph != nullptr && graph->Image != nullptr ? graph : nullptr;
}

int GetFilterTarget(int Handle, FilterTarget *Target)
{
    *Target = FilterTarget();
    if ((Target->Graph = GetFilterGraph(Handle)) != nullptr) {
        Target->Width = Target->Graph->Width;
        Target->Height = Target->Graph->Height;
        return 0;
    }
    if ((Target->ShadowMap = GetTypedHandle<ShadowMapHandleData>(Handle, DX_HANDLETYPE_SHADOWMAP, 0)) != nullptr) {
        Target->Width = Target->ShadowMap->Width;
        Target->Height = Target->ShadowMap->Height;
        return 0;
    }
    return -1;
}

// ---- Work images -----------------------------------------------------------------------------------

FilterPixels FilterPixelsOf(const BASEIMAGE &Image)
{
    return {(uint8_t *)Image.Pixels, Image.Pitch, Image.Width, Image.Height};
}

FilterTables GetFilterTables(void) { return {BaseImageTables.MulTable, BaseImageTables.DivTable}; }

int FilterUsesShaders(void) { return GraphicsState.HardwareInUseFlag && GraphicsDeviceCaps.ProgrammableShaderFlag; }

int GraphFilter_GetGraphImage(int GraphHandle, BASEIMAGE *Out, const ImageRect *Rect)
{
    *Out = BASEIMAGE();
    GraphHandleData *graph = GetFilterGraph(GraphHandle);
    if (graph == nullptr) return -1;
    const ImageRect rect = Rect != nullptr ? *Rect : ImageRect{0, 0, graph->Width, graph->Height};
    if (CreateARGB8ColorBaseImage(rect.right - rect.left, rect.bottom - rect.top, Out) < 0) {
        ReleaseBaseImage(Out);
        return -1;
    }
    // Pixels of the rectangle beyond the graph (a blend graph read away from the source
    // rectangle) are transparent black.
    const ImageRect inside = {rect.left > 0 ? rect.left : 0, rect.top > 0 ? rect.top : 0,
                              rect.right < graph->Width ? rect.right : graph->Width,
                              rect.bottom < graph->Height ? rect.bottom : graph->Height};
    const bool beyond = inside.left != rect.left || inside.top != rect.top || inside.right != rect.right ||
                        inside.bottom != rect.bottom;
    if (beyond) FillBaseImage(Out, 0, 0, 0, 0);
    if (!graph->Image->Format.HardwareFlag) {
        if (inside.right <= inside.left || inside.bottom <= inside.top ||
            CopyLocked(GraphHandle, inside, 0, Out, inside.left - rect.left, inside.top - rect.top) == 0)
            return 0;
        ReleaseBaseImage(Out);
        return -1;
    }
    // A hardware graph: each texture piece that overlaps the rectangle, through its own lock. The
    // lock takes the graph's coordinates and the texture's index in the image record, and finds
    // the texture's own coordinates itself (a derived graph's piece lies at an offset in it).
    for (int i = 0; i < graph->PieceNum; ++i) {
        const GraphDrawPiece &piece = graph->Piece[i];
        ImageRect part = {piece.DrawX, piece.DrawY, piece.DrawX + piece.Width, piece.DrawY + piece.Height};
        if (part.left < rect.left) part.left = rect.left;
        if (part.top < rect.top) part.top = rect.top;
        if (part.right > rect.right) part.right = rect.right;
        if (part.bottom > rect.bottom) part.bottom = rect.bottom;
        if (part.left >= part.right || part.top >= part.bottom) continue;
        const int texture = (int)(piece.Texture - graph->Image->Texture);
        if (CopyLocked(GraphHandle, part, texture, Out, part.left - rect.left, part.top - rect.top) < 0) {
            ReleaseBaseImage(Out);
            return -1;
        }
    }
    return 0;
}

int GraphFilter_LockImages(GraphFilterInfo *Info, int NewDestFlag, int Width, int Height, const ImageRect *Rect)
{
    const ImageRect rect = Rect != nullptr ? *Rect : ImageRect{Info->SrcX1, Info->SrcY1, Info->SrcX2, Info->SrcY2};
    const bool sized = Width >= 0 && Height >= 0;
    Info->ImageWidth = sized ? Width : rect.right - rect.left;
    Info->ImageHeight = sized ? Height : rect.bottom - rect.top;
    Info->SrcImage = Info->BlendImage = Info->DestImage = BASEIMAGE();

    bool ok = GetFilterGraph(Info->DestGraph) != nullptr &&
              GraphFilter_GetGraphImage(Info->SrcGraph, &Info->SrcImage, &rect) == 0;
    if (ok && Info->IsBlend) {
        int bx, by;
        FilterBlendOrigin(Info, &bx, &by);
        const ImageRect blend = {bx, by, bx + rect.right - rect.left, by + rect.bottom - rect.top};
        ok = GraphFilter_GetGraphImage(Info->BlendGraph, &Info->BlendImage, &blend) == 0;
    }
    if (ok && NewDestFlag) {
        ok = CreateARGB8ColorBaseImage(Info->ImageWidth, Info->ImageHeight, &Info->DestImage) == 0;
    } else if (ok) {
        const ImageRect dest = {Info->DestX, Info->DestY, Info->DestX + Info->ImageWidth,
                                Info->DestY + Info->ImageHeight};
        ok = GraphFilter_GetGraphImage(Info->DestGraph, &Info->DestImage, &dest) == 0;
    }
    if (ok) return 0;
    ReleaseBaseImage(&Info->SrcImage);
    ReleaseBaseImage(&Info->BlendImage);
    ReleaseBaseImage(&Info->DestImage);
    return -1;
}

int GraphFilter_WriteBackImage(GraphFilterInfo *Info)
{
    ReleaseBaseImage(&Info->SrcImage);
    ReleaseBaseImage(&Info->BlendImage);
    if (Info->DestImage.Pixels != nullptr) {
        TransferToGraph(&Info->DestImage, Info->ImageWidth, Info->ImageHeight, Info->DestX, Info->DestY,
                        Info->DestGraph);
        ReleaseBaseImage(&Info->DestImage);
    }
    return 0;
}

int GraphFilter_ClearSourceRect(const GraphFilterInfo *Info)
{
    const int width = Info->SrcX2 - Info->SrcX1, height = Info->SrcY2 - Info->SrcY1;
    BASEIMAGE clear;
    if (CreateARGB8ColorBaseImage(width, height, &clear) < 0) {
        ReleaseBaseImage(&clear);
        return -1;
    }
    FillBaseImage(&clear, 0, 0, 0, 0);
    TransferToGraph(&clear, width, height, Info->SrcX1, Info->SrcY1, Info->SrcGraph);
    ReleaseBaseImage(&clear);
    return 0;
}
