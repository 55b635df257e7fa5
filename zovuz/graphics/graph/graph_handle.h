// ZoVuz graphics: graph handles, the library's pictures; part of the public graphics API
// (zovuz_graphics.h includes it).
//
// A graph is anything that can be drawn or drawn into: a loaded picture, an empty off-screen
// screen, a rectangle of another graph. Its pixels live in an image record that several graphs can
// share (derived graphs, the pieces of a divided image): device textures while a Direct3D back end
// is in use, else a software image. A graph lives until DeleteGraph or the end of graphics.
#pragma once

// An empty Width x Height graph with the current creation settings; between
// SetDrawValidGraphCreateFlag(1) and (0) it can be a draw screen. The handle, or -1.
int MakeGraph(int Width, int Height, int NotUse3DFlag);

// Deletes a graph. A graph that is the draw screen leaves the front screen (-4) selected; the
// image goes with the last graph that shares it. 0, or -1 for a handle that is not a graph.
int DeleteGraph(int GraphHandle);

// A new graph that shows the rectangle (X, Y, Width, Height) of SrcGraphHandle and shares its
// pixels. The rectangle must start inside the source; what runs past it is cut off. Handle / -1.
int DeriveGraph(int X, int Y, int Width, int Height, int SrcGraphHandle);

// 1 for a live graph that is not loading, else 0.
int IsValidGraphHandle(int GraphHandle);

// Fills a graph with one colour (each value clamped to 0-255). On the software renderer the fill
// draws nothing. 0 / -1.
int FillGraph(int GraphHandle, int Red, int Green, int Blue, int Alpha);

// Copies the rectangle (SrcX1, SrcY1)-(SrcX2, SrcY2) of a graph (or, for a value that is not a
// graph, the draw screen) to (DestX, DestY) of DestGraphHandle. 0, or -1 for a rectangle outside
// the source or too large for the destination.
int BltRectGraphToGraph(int SrcGraphHandle, int SrcSurface, int SrcMipLevel, int SrcX1, int SrcY1, int SrcX2, int SrcY2,
                        int DestX, int DestY, int DestGraphHandle);
// The rectangle of the draw screen into a graph of exactly its size. 0 / -1.
int CopyDrawScreenToGraph(int X1, int Y1, int X2, int Y2, int GraphHandle);

// A graph's size (a shadow map's, or the screen's for -2 and -4). 0, or -1 for a bad handle.
int GetGraphSize(int GraphHandle, int *Width, int *Height);
// The size of the texture behind a graph (a software graph's own size). 0 / -1.
int GetGraphTextureSize(int GraphHandle, int *Width, int *Height);
// 1 when the graph's image is a texture with draw-target options (never in this system).
int GetGraphDrawTargetOptionFlag(int GraphHandle);

// Registers an int that the graph's deletion sets to 1; it is set to 0 now. 0 / -1.
int SetGraphLostFlag(int GraphHandle, int *LostFlag);

// The library's own 8 x 8 opaque white graph, made on first use. The handle, or -1.
int GetWhiteTextureGraph(void);
