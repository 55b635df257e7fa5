// The string core: lays out a string of a font handle glyph by glyph, draws each glyph from the
// font's glyph cache (texture caches through the graph drawers, software caches written straight
// into an image) and measures the block it makes.
#include <math.h>
#include <string.h>

#include <initializer_list>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/draw_steps_internal.h"
#include "zovuz/graphics/font/string_internal.h"

StringDrawData StringDraw;

namespace {

constexpr uint32_t kLineFeed = 10;
constexpr uint32_t kSpace = 32;
constexpr double kQuarterTurn = 1.5707963267948966;

struct Rgb
{
    int R, G, B;
};

bool IsWhite(const Rgb &C) { return C.R == 255 && C.G == 255 && C.B == 255; }

// The screen's pixel format on the software renderer.
const COLORDATA &ScreenColorData()
{
    return *GetMemImgColorData(GetScreenColorBitDepth() == 16 ? MEMIMG_COLORTYPE_565 : MEMIMG_COLORTYPE_XRGB8, 0, 0);
}

int Channel(uint32_t Color, uint32_t Mask, int Loc, int Width)
{
    if (Width <= 0) return 0;
    return (int)(((Color & Mask) >> Loc) * 255 / ((1u << Width) - 1));
}

uint32_t PutChannel(int Value, int Loc, int Width)
{
    return Width <= 0 ? 0 : ((uint32_t)Value * ((1u << Width) - 1) / 255) << Loc;
}

Rgb SplitTextColor(uint32_t Color, bool Hardware)
{
    if (Hardware) return Rgb{(int)(Color >> 16 & 0xFF), (int)(Color >> 8 & 0xFF), (int)(Color & 0xFF)};
    const COLORDATA &c = ScreenColorData();
    return Rgb{Channel(Color, c.RedMask, c.RedLoc, c.RedWidth), Channel(Color, c.GreenMask, c.GreenLoc, c.GreenWidth),
               Channel(Color, c.BlueMask, c.BlueLoc, c.BlueWidth)};
}

uint32_t PackTextColor(const Rgb &C, bool Hardware)
{
    if (Hardware) return (uint32_t)C.R << 16 | (uint32_t)C.G << 8 | (uint32_t)C.B;
    const COLORDATA &c = ScreenColorData();
    return PutChannel(C.R, c.RedLoc, c.RedWidth) | PutChannel(C.G, c.GreenLoc, c.GreenWidth) |
           PutChannel(C.B, c.BlueLoc, c.BlueWidth);
}

// ---- Glyph pixels written straight into an image ----------------------------------------------

// The cache value of pixel (X, Y) of a cell: the bit of a 1-bit cache, else the byte.
struct CacheCell
{
    const uint8_t *Origin;  // the cell's top-left byte
    int Pitch;
    int OneBit;
    int At(int X, int Y) const
    {
        const uint8_t *row = Origin + (size_t)Y * Pitch;
        return OneBit ? (row[X >> 3] >> (7 - (X & 7))) & 1 : row[X];
    }
};

// What one glyph becomes in the destination: colours already in the destination's format.
struct GlyphPixels
{
    int CacheType;  // font type & 3
    int Parts;      // DRAW_STRING_PARTS_*
    int Depth;      // 32, 16 or 8
    uint32_t Text, Edge;
    int TextRgb[3], EdgeRgb[3];  // channels at the destination's widths (8 or 5-6-5)

    // The pixel for cache value V; false for an empty pixel.
    bool Pixel(int V, uint32_t *Out) const
    {
        const bool body = Parts != DRAW_STRING_PARTS_EDGE, edge = Parts != DRAW_STRING_PARTS_BODY;
        switch (CacheType) {
            case 0:
                *Out = Text;
                return V != 0 && body;
            case 1:
                *Out = V == 1 ? Text : Edge;
                return V != 0 && (V == 1 ? body : edge);
            case 2: {
                if (!body) return false;
                uint32_t alpha = (uint32_t)V * 16;
                *Out = Depth == 32 ? alpha << 24 | (Text & 0xFFFFFF) : alpha << 16 | (Text & 0xFFFF);
                return V != 0;
            }
            default: {
                // Body only: the edge values are not read; edge only: the body values.
                int b = body ? V & 0x0F : 0, e = edge ? V >> 4 : 0;
                if (b == 0 && e == 0) return false;
                uint32_t alpha, rgb;
                if (b == 0) {
                    alpha = (uint32_t)e * 16;
                    rgb = Edge;
                } else if (b == 15) {
                    alpha = 255;
                    rgb = Text;
                } else {
                    int a = (e * (15 - b) + 16 * b) & 0xFF;
                    int t = (b * 4096) / a;
                    int mixed[3];
                    for (int i = 0; i < 3; ++i) mixed[i] = EdgeRgb[i] + ((TextRgb[i] - EdgeRgb[i]) * t) / 256;
                    alpha = (uint32_t)a;
                    rgb = Depth == 32 ? (uint32_t)mixed[0] << 16 | (uint32_t)mixed[1] << 8 | (uint32_t)mixed[2]
                                      : (uint32_t)mixed[0] << 11 | (uint32_t)mixed[1] << 5 | (uint32_t)mixed[2];
                }
                *Out = Depth == 32 ? alpha << 24 | (rgb & 0xFFFFFF) : alpha << 16 | (rgb & 0xFFFF);
                return true;
            }
        }
    }
};

// Writes the glyph of size (Width, Height) whose cache cell is Cell with its top-left corner at
// (X, Y) of Dest, clipped to Clip; in vertical writing turned a quarter turn clockwise (its x
// axis running down, its y axis running left).
template <class Pixel>
void WriteGlyphRows(MEMIMG *Dest, const CacheCell &Cell, const GlyphPixels &G, int X, int Y, int Width, int Height,
                    const ImageRect &Clip, int Vertical, int TransFlag)
{
    ImageRect r = {X, Y, X + (Vertical ? Height : Width), Y + (Vertical ? Width : Height)};
    ClipRect(&r, &Clip);
    const uint8_t *base = Dest->UseImage;
    const int pitch = Dest->Base->Pitch;
    for (int y = r.top; y < r.bottom; ++y) {
        Pixel *row = (Pixel *)(base + (size_t)y * pitch);
        for (int x = r.left; x < r.right; ++x) {
            int sx = Vertical ? y - Y : x - X;
            int sy = Vertical ? Height - 1 - (x - X) : y - Y;
            uint32_t value;
            if (G.Pixel(Cell.At(sx, sy), &value))
                row[x] = (Pixel)value;
            else if (!TransFlag)
                row[x] = 0;
        }
    }
}

void WriteGlyph(MEMIMG *Dest, const ImageRect *Clip, const CacheCell &Cell, const GlyphPixels &G, int X, int Y,
                int Width, int Height, int Vertical, int TransFlag)
{
    ImageRect clip = {0, 0, Dest->Width, Dest->Height};
    if (Clip != nullptr) ClipRect(&clip, Clip);
    if (G.Depth == 8)
        WriteGlyphRows<uint8_t>(Dest, Cell, G, X, Y, Width, Height, clip, Vertical, TransFlag);
    else if (G.Depth == 16 && G.CacheType < 2)
        WriteGlyphRows<uint16_t>(Dest, Cell, G, X, Y, Width, Height, clip, Vertical, TransFlag);
    else
        WriteGlyphRows<uint32_t>(Dest, Cell, G, X, Y, Width, Height, clip, Vertical, TransFlag);
}

// The destination's depth and the colours in its format; false when the font's glyphs cannot be
// written into it (anti-aliased glyphs need 4-byte pixels with alpha).
bool PrepareGlyphPixels(const MEMIMG *Dest, int FontType, const Rgb &Text, const Rgb &Edge, uint32_t TextValue,
                        uint32_t EdgeValue, GlyphPixels *G)
{
    if (!CheckValidMemImg(Dest)) return false;
    const MemImgImage &image = *Dest->Base;
    G->CacheType = FontType & 3;
    G->Depth = image.ColorType == MEMIMG_COLORTYPE_565 ? 16 : image.ColorType == MEMIMG_COLORTYPE_XRGB8 ? 32 : 8;
    if (image.ColorType == MEMIMG_COLORTYPE_VALUE16) return false;
    if (G->CacheType >= 2 && (G->Depth == 8 || !image.UseAlpha)) return false;
    if (G->CacheType < 2 && G->Depth == 16 && image.UseAlpha)
        return false;  // 2-byte glyph pixels do not fit a 5-6-5 image's 4-byte pixels
    G->Text = TextValue;
    G->Edge = EdgeValue;
    const int shift[3] = {G->Depth == 32 ? 0 : 3, G->Depth == 32 ? 0 : 2, G->Depth == 32 ? 0 : 3};
    const int text[3] = {Text.R, Text.G, Text.B}, edge[3] = {Edge.R, Edge.G, Edge.B};
    for (int i = 0; i < 3; ++i) {
        G->TextRgb[i] = text[i] >> shift[i];
        G->EdgeRgb[i] = edge[i] >> shift[i];
    }
    return true;
}

// ---- The walk ---------------------------------------------------------------------------------

struct Layout
{
    const DrawStringCoreParam *P;
    FontHandleData *Font;
    bool Texture;  // the glyph cache is a texture graph
    bool Hardware;
    bool IntPosition;
    double ScaleX, ScaleY;
    bool Scaled;
    bool Rotate;
    float Sin, Cos;
    double ShiftX, ShiftY;  // the edge shift
    double LineScale, AdvanceScale;
    double LineHeight;
    double FontHeight;
    float HalfPixel;
    Rgb Text, Edge;
    uint32_t TextValue, EdgeValue;
    GlyphPixels Pixels;
    bool PixelsReady;
};

// Origin of the pen in the current position mode (the edge shift included).
double OriginX(const Layout &L) { return (L.IntPosition ? L.P->X : (double)L.P->XF) + L.ShiftX; }
double OriginY(const Layout &L) { return (L.IntPosition ? L.P->Y : (double)L.P->YF) + L.ShiftY; }

void SetBright(const Rgb &C) { SetDrawBright(C.R, C.G, C.B); }

// The glyph's cell origin in the cache image.
void CellOrigin(const FontHandleData &Font, const FontCharData &Cell, int *X, int *Y)
{
    *X = Cell.Column * Font.Metrics.CellSide;
    *Y = Cell.Row * Font.Metrics.CellSide;
}

// The corners of a glyph box turned about the rotation centre, on the screen: the box is
// Width x Height glyph pixels at (X, Y) from the pen, which stands Advance along the line and Line
// across it. Corners top left, top right, bottom left, bottom right.
struct GlyphCorners
{
    float X[4], Y[4];
};
GlyphCorners RotatedGlyphCorners(const Layout &L, double X, double Y, double Width, double Height, double Advance,
                                 double Line)
{
    const DrawStringCoreParam &p = *L.P;
    const double left = (X + Advance / L.AdvanceScale - p.RotateCenterX) * L.AdvanceScale;
    const double top = (Y + Line / L.LineScale - p.RotateCenterY) * L.LineScale;
    const double right = left + Width * L.AdvanceScale, bottom = top + Height * L.LineScale;
    const double ox = (L.IntPosition ? p.X + L.HalfPixel : p.XF) + L.ShiftX;
    const double oy = (L.IntPosition ? p.Y + L.HalfPixel : p.YF) + L.ShiftY;
    const double us[4] = {left, right, left, right}, vs[4] = {top, top, bottom, bottom};
    GlyphCorners c;
    for (int i = 0; i < 4; ++i) {
        c.X[i] = (float)(us[i] * L.Cos - vs[i] * L.Sin + ox);
        c.Y[i] = (float)(us[i] * L.Sin + vs[i] * L.Cos + oy);
    }
    return c;
}

// A glyph box of vertical text, turned a quarter turn clockwise: the box as above, Bias added to
// the screen position.
void DrawVerticalGlyphBox(const Layout &L, double X, double Y, double Width, double Height, double Advance, double Line,
                          float Bias, int Graph)
{
    const double xr = OriginX(L) - Line + (L.FontHeight - Y) * L.ScaleX + Bias;
    const double yt = OriginY(L) + Advance + X * L.ScaleY + Bias;
    const double xl = xr - Height * L.ScaleX, yb = yt + Width * L.ScaleY;
    DrawModiGraph((float)xr, (float)yt, (float)xr, (float)yb, (float)xl, (float)yb, (float)xl, (float)yt, Graph, 1);
}

// A cached glyph of a texture cache, one pass (Graph: the body or the edge graph).
void DrawTextureGlyph(const Layout &L, const FontHandleData &Font, const FontCharData &C, int Graph, bool EdgePass,
                      double Advance, double Line, int AddX, int AddY)
{
    int cx, cy;
    CellOrigin(Font, C, &cx, &cy);
    const int w = C.Width, h = C.Height;
    const int dx = C.DrawX + AddX, dy = C.DrawY + AddY;
    const DrawStringCoreParam &p = *L.P;

    if (L.Rotate) {
        const GlyphCorners corners = RotatedGlyphCorners(L, dx - 1, dy - 1, w + 2, h + 2, Advance, Line);
        float u0 = (float)(cx - 1) * Font.TextureInvWidth, u1 = (float)(cx + w + 1) * Font.TextureInvWidth;
        const float v0 = (float)(cy - 1) * Font.TextureInvHeight, v1 = (float)(cy + h + 1) * Font.TextureInvHeight;
        if (EdgePass) {
            u0 += 0.5f;
            u1 += 0.5f;
        }
        const float tu[4] = {u0, u1, u0, u1}, tv[4] = {v0, v0, v1, v1};
        DrawGraphRectsVertex v[4];
        for (int i = 0; i < 4; ++i) {
            v[i].x = corners.X[i];
            v[i].y = corners.Y[i];
            v[i].u = tu[i];
            v[i].v = tv[i];
        }
        DrawGraphRectsParam block = {1, v, Font.CacheGraph, 1};
        DrawGraphRects(&block);
        return;
    }

    if (!p.VerticalFlag) {
        if (L.Scaled) {
            const float x1 = (float)(OriginX(L) + Advance + (dx - 1) * L.ScaleX);
            const float y1 = (float)(OriginY(L) + Line + (dy - 1) * L.ScaleY);
            DrawRectExtendGraphF(x1, y1, x1 + (float)((w + 2) * L.ScaleX), y1 + (float)((h + 2) * L.ScaleY), cx - 1,
                                 cy - 1, w + 2, h + 2, Graph, 1);
        } else if (L.IntPosition) {
            DrawRectGraph(p.X + (int)L.ShiftX + (int)Advance + dx, p.Y + (int)L.ShiftY + (int)Line + dy, cx, cy, w, h,
                          Graph, 1, 0);
        } else {
            DrawRectGraphF((float)(OriginX(L) + Advance + dx - 1), (float)(OriginY(L) + Line + dy - 1), cx - 1, cy - 1,
                           w + 2, h + 2, Graph, 1, 0);
        }
        return;
    }

    if (L.IntPosition) {
        // The whole cache graph turned a quarter turn clockwise under a draw area cut to the glyph.
        const int X = p.X + (int)L.ShiftX - (int)Line + (int)L.FontHeight - dy;
        const int Y = p.Y + (int)L.ShiftY + (int)Advance + dx;
        int gw = 0, gh = 0;
        GetGraphSize(Graph, &gw, &gh);
        DrawAreaSave saved;
        if (NarrowDrawArea(ImageRect{X - h - 1, Y, X + 1, Y + w}, &saved)) {
            const float x0 = (float)(X + cy), y0 = (float)(Y - cx);
            DrawModiGraph(x0, y0, x0, y0 + (float)gw, x0 - (float)gh, y0 + (float)gw, x0 - (float)gh, y0, Graph, 1);
            RestoreDrawArea(&saved);
        }
        return;
    }
    int cell = DeriveGraph(cx - 1, cy - 1, w + 2, h + 2, Graph);
    if (cell < 0) return;
    DrawVerticalGlyphBox(L, dx - 1, dy - 1, w + 2, h + 2, Advance, Line, L.HalfPixel, cell);
    DeleteGraph(cell);
}

// A graph character on the texture path: its own graph, without the cell border.
void DrawGraphChar(const Layout &L, const FontCharData &C, double Advance, double Line, int AddX, int AddY)
{
    const int graph = C.CellIndex, w = C.Width, h = C.Height;
    const int dx = C.DrawX + AddX, dy = C.DrawY + AddY;
    const DrawStringCoreParam &p = *L.P;
    if (L.Rotate) {
        const GlyphCorners c = RotatedGlyphCorners(L, dx, dy, w, h, Advance, Line);
        DrawModiGraph(c.X[0], c.Y[0], c.X[1], c.Y[1], c.X[3], c.Y[3], c.X[2], c.Y[2], graph, 1);
    } else if (p.VerticalFlag) {
        DrawVerticalGlyphBox(L, dx, dy, w, h, Advance, Line, 0.0f, graph);
    } else if (L.Scaled) {
        const double x1 = OriginX(L) + Advance + dx * L.ScaleX, y1 = OriginY(L) + Line + dy * L.ScaleY;
        DrawExtendGraphF((float)x1, (float)y1, (float)(x1 + w * L.ScaleX), (float)(y1 + h * L.ScaleY), graph, 1);
    } else if (L.IntPosition) {
        DrawGraph(p.X + (int)L.ShiftX + (int)Advance + dx, p.Y + (int)L.ShiftY + (int)Line + dy, graph, 1);
    } else {
        DrawGraphF((float)(OriginX(L) + Advance + dx), (float)(OriginY(L) + Line + dy), graph, 1);
    }
}

// One glyph in every pass it has.
void DrawGlyph(Layout &L, FontHandleData &Font, const FontCharData &C, double Advance, double Line, int AddX, int AddY)
{
    const DrawStringCoreParam &p = *L.P;
    const bool body = p.OnlyParts != DRAW_STRING_PARTS_EDGE, edgePass = p.OnlyParts != DRAW_STRING_PARTS_BODY;
    const bool edged = IsEdgedType(L.Font->FontType);

    if (C.GraphCharFlag) {
        if (!body) return;
        if (edged) SetBright(L.Text);
        if (L.Texture) {
            DrawGraphChar(L, C, Advance, Line, AddX, AddY);
        } else if (p.DestImage == GetSoftwareDrawTarget()) {
            // A graph character of a software cache goes through the software graph drawer.
            DrawGraph(p.X + (int)L.ShiftX + (int)(p.VerticalFlag ? -Line : Advance) + C.DrawX + AddX,
                      p.Y + (int)L.ShiftY + (int)(p.VerticalFlag ? Advance : Line) + C.DrawY + AddY, C.CellIndex, 1);
        }
        return;
    }

    if (L.Texture) {
        // A blend graph would cut the glyph: it is off while the glyph is drawn.
        GraphicsDrawSettingsData &d = GraphicsDrawSettings;
        const int blendGraph = d.BlendGraph;
        const int blendParam[2] = {d.BlendGraphParam[0], d.BlendGraphParam[1]};
        if (blendGraph != -1) SetBlendGraphParamBase(-1, 0, nullptr);
        if (edged && edgePass) {
            SetBright(L.Edge);
            DrawTextureGlyph(L, Font, C, Font.EdgeGraph, true, Advance, Line, AddX, AddY);
        }
        if (body) {
            if (edged) SetBright(L.Text);
            DrawTextureGlyph(L, Font, C, Font.CacheGraph, false, Advance, Line, AddX, AddY);
        }
        if (blendGraph != -1) SetBlendGraphParamBase(blendGraph, 1, blendParam);
        return;
    }

    // The software cache keeps body and edge in one value: GlyphPixels writes the parts asked for.
    if (!L.PixelsReady) return;
    int cx, cy;
    CellOrigin(Font, C, &cx, &cy);
    CacheCell cell = {Font.SoftCacheBuffer + (size_t)cy * Font.SoftCachePitch + (Font.SoftCacheBitDepth == 1 ? 0 : cx),
                      Font.SoftCachePitch, Font.SoftCacheBitDepth == 1};
    int x, y;
    if (p.VerticalFlag) {
        x = p.X + (int)L.ShiftX + (int)L.FontHeight - C.Height - C.DrawY - AddY - (int)Line;
        y = p.Y + (int)L.ShiftY + (int)Advance + C.DrawX + AddX;
    } else {
        x = p.X + (int)L.ShiftX + (int)Advance + C.DrawX + AddX;
        y = p.Y + (int)L.ShiftY + (int)Line + C.DrawY + AddY;
    }
    WriteGlyph(p.DestImage, p.ClipRect, cell, L.Pixels, x, y, C.Width, C.Height, p.VerticalFlag, p.TransFlag);
}

}  // namespace

namespace {

// The record of one character.
// A and B: the pen origin plus the advance offset and plus the line offset; Width the advance.
void FillCharInfo(DrawStringCharInfo *Info, uint32_t Code, double A, double B, double Width, double Height,
                  int Vertical)
{
    Info->Char[0] = Info->Char[1] = Info->Char[2] = 0;
    const int format = GetCurrentCharCodeFormat();
    uint32_t code = ConvertCharCodeOne(Code, CHAR_CODE_UTF32LE, format);
    Info->Bytes = (uint8_t)PutCharCode(code, format, Info->Char, sizeof(Info->Char));
    Info->DrawX = (float)(Vertical ? B : A);
    Info->DrawY = (float)(Vertical ? A : B);
    Info->SizeX = (float)(Vertical ? Height : Width);
    Info->SizeY = (float)(Vertical ? Width : Height);
}

// Position mode, scales, rotation, edge shift and colours. false when the call must fail.
bool SetUpLayout(const DrawStringCoreParam &P, Layout *L)
{
    FontHandleData &font = *P.Font;
    L->P = &P;
    L->Font = &font;
    L->Texture = font.TextureCacheFlag != 0;
    L->Hardware = GraphicsState.HardwareInUseFlag != 0;
    if (L->Texture && !Graphics_Hardware_IsDeviceValid()) return false;
    if (L->Texture && P.DestImage == nullptr) {
        L->IntPosition = P.IntPositionFlag != 0;
        L->ScaleX = P.ScaleValidFlag ? P.ScaleX : 1.0;
        L->ScaleY = P.ScaleValidFlag ? P.ScaleY : 1.0;
        L->Rotate = P.RotateValidFlag != 0;
    } else {
        if (P.ScaleValidFlag || P.RotateValidFlag) return false;
        L->IntPosition = true;
        L->ScaleX = L->ScaleY = 1.0;
        L->Rotate = false;
    }
    L->Scaled = P.ScaleValidFlag && L->Texture && P.DestImage == nullptr;
    const double angle = P.RotateAngle + (P.VerticalFlag ? kQuarterTurn : 0.0);
    L->Sin = (float)sin(angle);
    L->Cos = (float)cos(angle);

    double shift = 0.0;
    if (font.EdgeSize > 0)
        shift = L->IntPosition ? (double)(-(int)(font.EdgeSize * L->ScaleY) / 2) : font.EdgeSize * L->ScaleY * -0.5;
    L->ShiftX = P.VerticalFlag ? shift : 0.0;
    L->ShiftY = P.VerticalFlag ? 0.0 : shift;

    // The colours as red, green and blue, tinted by the caller's draw bright.
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    L->Text = SplitTextColor(P.Color, L->Hardware);
    L->Edge = SplitTextColor(P.EdgeColor, L->Hardware);
    const Rgb bright = {d.DrawBrightRed, d.DrawBrightGreen, d.DrawBrightBlue};
    if (!IsWhite(bright)) {
        for (Rgb *c : {&L->Text, &L->Edge}) {
            c->R = c->R * bright.R / 255;
            c->G = c->G * bright.G / 255;
            c->B = c->B * bright.B / 255;
        }
    }
    const uint32_t alphaBits = L->Hardware ? 0xFF000000u : ScreenColorData().AlphaMask;
    L->TextValue = (IsWhite(bright) ? P.Color : PackTextColor(L->Text, L->Hardware)) & ~alphaBits;
    L->EdgeValue = (IsWhite(bright) ? P.EdgeColor : PackTextColor(L->Edge, L->Hardware)) & ~alphaBits;

    L->LineScale = P.VerticalFlag ? L->ScaleX : L->ScaleY;
    L->AdvanceScale = P.VerticalFlag ? L->ScaleY : L->ScaleX;
    L->FontHeight = font.Metrics.LineHeight;
    L->LineHeight = (font.LineSpaceValidFlag ? font.LineSpace : font.Metrics.LineHeight) * L->LineScale;
    L->HalfPixel = L->Texture && !GetPixelCenterNoOffsetFlag() ? -0.5f : 0.0f;
    L->PixelsReady = P.DestImage != nullptr && PrepareGlyphPixels(P.DestImage, font.FontType, L->Text, L->Edge,
                                                                  L->TextValue, L->EdgeValue, &L->Pixels);
    L->Pixels.Parts = P.OnlyParts;
    return true;
}

struct DrawingFlagScope
{
    DrawingFlagScope() { StringDraw.DrawingFlag = 1; }
    ~DrawingFlagScope() { StringDraw.DrawingFlag = 0; }
};

}  // namespace

int DrawStringCore(const DrawStringCoreParam *Param)
{
    const DrawStringCoreParam &p = *Param;
    DrawingFlagScope drawing;
    if (p.SizeOut != nullptr) p.SizeOut[0] = p.SizeOut[1] = 0;
    if (p.LineCountOut != nullptr) *p.LineCountOut = 0;
    if (p.Font == nullptr) return -1;
    Layout L;
    if (!SetUpLayout(p, &L)) return -1;
    if (p.String == nullptr || p.String[0] == 0 || p.Length == 0) return 0;

    // The code points: the shared buffer for short strings, an allocated one for long ones.
    int units = p.Length;
    if (units < 0)
        for (units = 0; p.String[units] != 0;) ++units;
    uint32_t *codes = StringDraw.CodeBuffer, *allocated = nullptr;
    if (units > DRAW_STRING_CODE_BUFFER_NUM) {
        allocated = (uint32_t *)DXALLOC(sizeof(uint32_t) * (size_t)units);
        if (allocated == nullptr) return -1;
        codes = allocated;
    }
    int count = 0;
    if (AddStringToFontCache(p.Font, p.String, units, codes, &count) < 0) {
        DXFREE(allocated);
        return -1;
    }

    const bool draw = p.DrawFlag == 1;
    const bool edged = IsEdgedType(p.Font->FontType);
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    const Rgb callerBright = {d.DrawBrightRed, d.DrawBrightGreen, d.DrawBrightBlue};
    if (draw && !edged) SetBright(L.Text);

    double advance = 0.0, line = 0.0, widest = 0.0;
    int lines = 1;
    const double spacing = p.Font->Space;
    for (int i = 0; i < count; ++i) {
        const uint32_t code = codes[i];
        double step = 0.0, width = 0.0;
        const double x = advance, y = line;
        if (code == kLineFeed) {
            ++lines;
            line += L.LineHeight;
            advance = 0.0;
        } else {
            FontHandleData *useFont = p.Font;
            int addX = 0, addY = 0;
            const FontCharData *c = GetFontCacheCharData(p.Font, code, &useFont, &addX, &addY, 1, 1);
            step = ((c != nullptr ? c->Advance : 0) + spacing) * L.AdvanceScale;
            width = step;
            const bool blank = code == kSpace || code == FontSystem.IdeographicSpaceCode ||
                               (c != nullptr && c->Width == 0 && c->Height == 0);
            if (draw && c != nullptr && !blank) DrawGlyph(L, *useFont, *c, advance, line, addX, addY);
            advance += step;
            widest = advance > widest ? advance : widest;
        }
        if (p.CharInfo != nullptr && (unsigned int)i < p.CharInfoCapacity) {
            FillCharInfo(&p.CharInfo[i], code, OriginX(L) + x, OriginY(L) + y, width, L.LineHeight, p.VerticalFlag);
        }
    }

    if (draw) SetBright(callerBright);
    const int largest = (int)widest;
    const int extent = (int)(line + L.FontHeight * L.AdvanceScale);
    if (p.SizeOut != nullptr) {
        p.SizeOut[0] = p.VerticalFlag ? extent : largest;
        p.SizeOut[1] = p.VerticalFlag ? largest : extent;
    }
    if (p.LineCountOut != nullptr) *p.LineCountOut = lines;
    if (p.CharInfoNumOut != nullptr) *p.CharInfoNumOut = count;
    DXFREE(allocated);
    return largest;
}
