// How a graph's image is cut into device textures, the drawing pieces of each graph over those
// textures, and the clip of a transfer against one piece.
#include "zovuz/graphics/graph/graph_internal.h"

namespace {

int RoundUp4(int Value) { return (Value + 3) & ~3; }

// The largest texture the device takes for a graph.
int DeviceMaxTextureSize()
{
    const GraphicsDeviceCapsData &c = GraphicsDeviceCaps;
    int size = c.MaxTextureSize > 0 ? c.MaxTextureSize : 256;
    if (c.TextureSizeLimit > 0 && c.TextureSizeLimit < size) size = c.TextureSizeLimit;
    return size;
}

// Where one side of a piece lies in the graph and in its texture, and how long it is, for a
// texture that starts at Entry and holds EntryLength pixels, a graph that starts at Offset and is
// Length long.
struct PieceSide
{
    float Draw, Use, Length;
};
PieceSide Side(float Entry, float EntryLength, float Offset, float Length)
{
    PieceSide s;
    if (Entry < Offset) {
        s.Draw = 0.0f;
        s.Use = Offset - Entry;
        s.Length = Entry + EntryLength - Offset;
    } else {
        s.Draw = Entry - Offset;
        s.Use = 0.0f;
        s.Length = EntryLength;
    }
    if (s.Draw + s.Length > Length) s.Length = Length - s.Draw;
    return s;
}

// A float length as whole pixels: one more when the cut-off part is more than 0.01.
int WholeLength(float Length)
{
    int whole = (int)Length;
    return Length - (float)whole > 0.01f ? whole + 1 : whole;
}

bool Overlaps(const GraphTextureEntry &e, const GraphHandleData &g)
{
    if (g.FloatPositionFlag)
        return (float)e.X < g.OffsetXF + g.WidthF && g.OffsetXF < (float)(e.X + e.Width) &&
               (float)e.Y < g.OffsetYF + g.HeightF && g.OffsetYF < (float)(e.Y + e.Height);
    return e.X < g.OffsetX + g.Width && g.OffsetX < e.X + e.Width && e.Y < g.OffsetY + g.Height &&
           g.OffsetY < e.Y + e.Height;
}

void SetupPiece(GraphDrawPiece &p, GraphTextureEntry &e, const GraphHandleData &g)
{
    bool floats = g.FloatPositionFlag != 0;
    PieceSide x =
        Side((float)e.X, (float)e.Width, floats ? g.OffsetXF : (float)g.OffsetX, floats ? g.WidthF : (float)g.Width);
    PieceSide y =
        Side((float)e.Y, (float)e.Height, floats ? g.OffsetYF : (float)g.OffsetY, floats ? g.HeightF : (float)g.Height);
    p.Texture = &e;
    p.DrawXF = x.Draw;
    p.DrawYF = y.Draw;
    p.UsePosXF = x.Use;
    p.UsePosYF = y.Use;
    p.WidthF = x.Length;
    p.HeightF = y.Length;
    p.DrawX = (int)x.Draw;
    p.DrawY = (int)y.Draw;
    p.UsePosX = (int)x.Use;
    p.UsePosY = (int)y.Use;
    p.Width = floats ? WholeLength(x.Length) : (int)x.Length;
    p.Height = floats ? WholeLength(y.Length) : (int)y.Length;

    float w = floats ? g.WidthF : (float)g.Width, h = floats ? g.HeightF : (float)g.Height;
    for (int i = 0; i < 4; ++i) {
        GraphDrawPieceVertex &v = p.Vertex[i];
        float right = (float)(i & 1), bottom = (float)(i >> 1);
        v.x = p.DrawXF + p.WidthF * right;
        v.y = p.DrawYF + p.HeightF * bottom;
        v.u = (p.UsePosXF + p.WidthF * right) / (float)e.TexWidth;
        v.v = (p.UsePosYF + p.HeightF * bottom) / (float)e.TexHeight;
        p.VertexOnDiagonal[i] = v.y <= h - v.x * h / w ? 1 : 0;
    }
}

// The transfer rectangle against one piece, in the piece's and in the area's coordinates.
int ClipToPiece(int PieceX, int PieceY, int PieceWidth, int PieceHeight, int DestX, int DestY, int Width, int Height,
                ImageRect *Tex, ImageRect *Img)
{
    if (PieceX >= DestX + Width || PieceY >= DestY + Height || DestX >= PieceX + PieceWidth ||
        DestY >= PieceY + PieceHeight)
        return -1;
    auto side = [](int Piece, int Length, int Dest, int AreaLength, int32_t *TexLow, int32_t *TexHigh, int32_t *ImgLow,
                   int32_t *ImgHigh) {
        if (Piece <= Dest) {
            *TexLow = Dest - Piece;
            *ImgLow = 0;
        } else {
            *TexLow = 0;
            *ImgLow = Piece - Dest;
        }
        if (Piece + Length >= Dest + AreaLength) {
            *TexHigh = AreaLength - Piece + Dest;
            *ImgHigh = AreaLength;
        } else {
            *TexHigh = Length;
            *ImgHigh = Length - Dest + Piece;
        }
    };
    side(PieceX, PieceWidth, DestX, Width, &Tex->left, &Tex->right, &Img->left, &Img->right);
    side(PieceY, PieceHeight, DestY, Height, &Tex->top, &Tex->bottom, &Img->top, &Img->bottom);
    return 0;
}

void Offset(ImageRect *Rect, int X, int Y)
{
    Rect->left += X;
    Rect->right += X;
    Rect->top += Y;
    Rect->bottom += Y;
}

void RoundUpRect(ImageRect *Rect)
{
    Rect->left = RoundUp4(Rect->left);
    Rect->top = RoundUp4(Rect->top);
    Rect->right = RoundUp4(Rect->right);
    Rect->bottom = RoundUp4(Rect->bottom);
}

}  // namespace

int CalcTexturePieceSizes(int Size, int *Sizes, int FitAllowed, int ForceSplit, int MaxSize, int BlockCompressed)
{
    const GraphicsDeviceCapsData &c = GraphicsDeviceCaps;
    int smallest = BlockCompressed ? 4 : 1;
    int max = MaxSize > 0 ? MaxSize : DeviceMaxTextureSize();
    if (Size < 1) return 0;
    if (!ForceSplit && (!c.PowerOfTwoTextureOnly || c.NonPow2Conditional) && Size <= max) {
        Sizes[0] = BlockCompressed ? RoundUp4(Size) : Size;
        return 1;
    }
    if (Size <= smallest) {
        Sizes[0] = smallest;
        return 1;
    }
    int p = max;
    while (p > Size && p / 2 >= smallest) p /= 2;
    int screenWidth;
    GetDrawScreenSize(&screenWidth, nullptr);
    bool fit = FitAllowed || (MaxSize <= 0 && Size <= screenWidth);
    if (2 * p <= max && fit) {
        Sizes[0] = p == Size ? p : 2 * p;
        return 1;
    }

    int n = 0, rest = Size;
    for (;;) {
        if (n >= GRAPH_TEXTURE_MAXNUM) return 0;
        Sizes[n++] = p;
        rest -= p;
        if (rest <= 0) break;
        if (rest * 4 > p * 3 && p < max) {
            Sizes[n - 1] = 2 * p;
            break;
        }
        while (p > rest && p / 2 >= smallest) p /= 2;
    }
    if (n >= 2 && Sizes[n - 1] == Sizes[n - 2] && Sizes[n - 1] * 2 <= max) {
        Sizes[n - 2] *= 2;
        --n;
    }
    return n;
}

void CalcMipLevelSize(int Width, int Height, int Level, int *OutWidth, int *OutHeight)
{
    for (int i = 0; i < Level; ++i) {
        Width = Width / 2 > 1 ? Width / 2 : 1;
        Height = Height / 2 > 1 ? Height / 2 : 1;
    }
    *OutWidth = Width;
    *OutHeight = Height;
}

int SetupGraphDrawPieces(int GraphHandle)
{
    GraphHandleData *graph = GetGraphEntry(GraphHandle, 1);
    if (graph == nullptr || graph->Image == nullptr) return -1;
    GraphImageRecord *image = graph->Image;
    if (!image->Format.HardwareFlag) {
        TerminateMemImg(&graph->SoftImage);
        CreateMemImgView(&graph->SoftImage, &image->SoftImage, graph->OffsetX, graph->OffsetY, graph->Width,
                         graph->Height);
        return CheckValidMemImg(&graph->SoftImage) ? 0 : -1;
    }

    int n = 0;
    for (int i = 0; i < image->TextureNum; ++i) n += Overlaps(image->Texture[i], *graph) ? 1 : 0;
    if (n == 0) {
        AddLogStringWide(L"テクスチャ描画情報の作成に失敗しました\n");
        return -1;
    }
    if (n > GRAPH_DRAW_PIECE_ROOM) {
        int size = (int)(sizeof(GraphHandleData) + (n - GRAPH_DRAW_PIECE_ROOM) * sizeof(GraphDrawPiece));
        if (graph->Info.AllocSize < size && ReallocHandleData(GraphHandle, size) < 0) {
            AddLogStringWide(L"画像描画情報格納用メモリの確保に失敗しました\n");
            return -1;
        }
        graph = GetGraphEntry(GraphHandle, 1);
    }
    int piece = 0;
    for (int i = 0; i < image->TextureNum; ++i)
        if (Overlaps(image->Texture[i], *graph)) SetupPiece(graph->Piece[piece++], image->Texture[i], *graph);
    graph->PieceNum = n;
    return 0;
}

int CalcTextureTransferRect(const GraphTransferPiece *Piece, int OriginX, int OriginY, int Width, int Height, int DestX,
                            int DestY, ImageRect *TexRect, ImageRect *ImageRectOut, int BlockCompressed)
{
    if (ClipToPiece(Piece->X, Piece->Y, Piece->Width, Piece->Height, DestX, DestY, Width, Height, TexRect,
                    ImageRectOut) < 0)
        return -1;
    Offset(TexRect, Piece->TexX, Piece->TexY);
    Offset(ImageRectOut, OriginX, OriginY);
    if (BlockCompressed) {
        RoundUpRect(TexRect);
        RoundUpRect(ImageRectOut);
    }
    return 0;
}

int CalcDrawPartTransferRect(const GraphDrawPiece *Piece, int OffsetX, int OffsetY, int Width, int Height, int X, int Y,
                             ImageRect *SourceRect, ImageRect *DestRect, int BlockCompressed)
{
    GraphTransferPiece p = {Piece->DrawX, Piece->DrawY, Piece->UsePosX + OffsetX, Piece->UsePosY + OffsetY,
                            Piece->Width, Piece->Height};
    return CalcTextureTransferRect(&p, 0, 0, Width, Height, X, Y, DestRect, SourceRect, BlockCompressed);
}
