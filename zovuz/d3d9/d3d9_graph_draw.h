// The geometry of the Direct3D 9 back end's graph drawing as plain numbers: the shape test of a
// free quadrilateral, the winding of its two triangles, the 8 x 8 grid a bent quad is drawn as,
// and the triangle-strip index lists of a vertex grid. windows/d3d9_graph_draw_win.cpp turns them
// into draws; the tests check them without a device.
#pragma once

#include <stdint.h>

#include "zovuz/graphics/zovuz_graphics.h"

// Corners: top-left, top-right, bottom-left, bottom-right as (x, y) pairs.
// True when both pairs of opposite edges differ by less than one pixel in x and in y: the quad is
// drawn as two triangles, else as a grid.
bool D3D9IsParallelogram(const float Corners[4][2]);
// True when both triangles (top-left, top-right, bottom-left) and (bottom-right, bottom-left,
// top-right) wind the other way round: their second and third vertices are then exchanged.
bool D3D9QuadReversesWinding(const float Corners[4][2]);

// The grid a free quad is drawn as: 8 x 8 vertices (7 x 7 cells).
constexpr int D3D9_MODI_GRID_SIZE = 8;
// Fills the 64 grid vertices of a quad: positions interpolated down the left and right edges and
// across each row; texture coordinates from (U1, V1) to (U2, V2), each side that is not at the
// texture's border pulled in by a thousandth of a pixel (PieceWidth x PieceHeight: the piece's
// size in pixels). Colour Color, depth Z, rhw 1.
void D3D9ModiGridVertices(const float Corners[4][2], float U1, float V1, float U2, float V2, float PieceWidth,
                          float PieceHeight, uint32_t Color, float Z, VERTEX2D Out[64]);

// A grid draw's index list holds at most this many 16-bit indices.
constexpr int D3D9_GRID_INDEX_MAXNUM = 1000;
// Receives one index list of a grid draw (a triangle strip of Num indices).
typedef void (*D3D9GridStripFunc)(void *Context, const uint16_t *Indices, int Num);
// The triangle strips of a Width x Height vertex grid (row-major): for each row of cells the pairs
// (below, above), rows joined by repeating the last index and the next row's first; a list is
// handed over before a row would take it past the limit, and at the end. -1 (nothing handed over)
// below 2 x 2, for a row that alone passes the limit (500 columns or more) or for more vertices
// than 16-bit indices reach. 0.
int D3D9BuildGridStrips(int Width, int Height, D3D9GridStripFunc Strip, void *Context);

// ---- The back end's graph operations (windows/d3d9_graph_draw_win.cpp) ---------------------------

// Each returns 0, or -1 without a device or for a graph without device textures.
int Graphics_D3D9_DrawGraph(int X, int Y, float XF, float YF, GraphHandleData *Graph, GraphHandleData *BlendGraph,
                            int TransFlag, int PixelExact);
// Also -1 for a zero-width or zero-height destination.
int Graphics_D3D9_DrawExtendGraph(int X1, int Y1, int X2, int Y2, float X1F, float Y1F, float X2F, float Y2F,
                                  GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag, int PixelExact);
// Corners top-left, top-right, bottom-left, bottom-right.
int Graphics_D3D9_DrawModiGraph(float X1, float Y1, float X2, float Y2, float X3, float Y3, float X4, float Y4,
                                GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag, int PixelExact);
int Graphics_D3D9_DrawModiGraphInt(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4,
                                   GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag, int PixelExact);
// One piece on four corners (in Direct3D 9 pixel coordinates); SimpleFlag skips the shape test.
int Graphics_D3D9_DrawModiTexQuad(const float Corners[4][2], const GraphDrawPiece *Piece, int SimpleFlag);
// Draws a grid of VERTEX2D (the texture bound) as triangle strips. -1 below 2 x 2.
int Graphics_D3D9_DrawVertexGrid(const VERTEX2D *Vertices, int Width, int Height);
// One-piece graphs only, else -1.
int Graphics_D3D9_DrawGraphRects(const DrawGraphRectsParam *Param, GraphHandleData *Graph, GraphHandleData *BlendGraph);
// The caller's VERTEX2D array drawn at once. Graph is a shadow map's record when IsShadowMap.
int Graphics_D3D9_DrawPrimitive2D(const VERTEX2D *Vertices, int Num, int PrimitiveType, GraphHandleData *Graph,
                                  int TransFlag, int Mode, int ThreeD, int Reverse, int PieceIndex, int IsShadowMap);
// The same with the user shaders kept.
int Graphics_D3D9_DrawPrimitive2DToShader(const VERTEX2D *Vertices, int Num, int PrimitiveType, GraphHandleData *Graph,
                                          int TransFlag, int ThreeD, int Reverse, int PieceIndex);
