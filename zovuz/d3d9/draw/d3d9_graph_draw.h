// The geometry of the Direct3D 9 back end's graph drawing as plain numbers: the winding of a free
// quadrilateral's two triangles (the shape test, the grid of a bent quad and the strips of a vertex
// grid are the graphics layer's, shared with Direct3D 11). draw/windows/d3d9_graph_draw_win.cpp
// turns them into draws; the tests check them without a device.
#pragma once

#include <stdint.h>

#include "zovuz/graphics/zovuz_graphics_backend.h"

// Corners: top-left, top-right, bottom-left, bottom-right as (x, y) pairs.
// True when both triangles (top-left, top-right, bottom-left) and (bottom-right, bottom-left,
// top-right) wind the other way round: their second and third vertices are then exchanged.
bool D3D9QuadReversesWinding(const float Corners[4][2]);

// ---- The back end's graph operations (draw/windows/d3d9_graph_draw_win.cpp) ----------------------

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
