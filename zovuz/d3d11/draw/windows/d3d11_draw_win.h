// The Direct3D 11 back end's 2-D drawing: boxes, lines, circles, graphs (plain, stretched, on
// four free corners, as rectangle lists), caller vertex arrays and mesh grids.
//
// Most primitives append their vertices to the batch (draw/windows/d3d11_vertex_batch_win.h), which is
// drawn when its format, topology, a state or the texture changes, or when it is full. Circles,
// caller arrays and the grids of free quadrilaterals go through the common buffers instead.
//
// Every vertex carries the front end's draw depth as z and 1.0 as rhw; colours are packed in the
// device's byte order. Each call returns 0, or -1 without a device (and where noted). Main thread
// only, under the library's API lock.
#pragma once

#include <stdint.h>

#include "zovuz/d3d11/d3d11_internal.h"

// The flags word of a graph draw: the transparent and alpha-keep flags, textured, and the alpha
// bits of the graph's image.
uint32_t Graphics_D3D11_GraphDrawFlags(const GraphHandleData *Graph, int TransFlag, int AlphaKeepFlag);

// Runs the draw preparation with Flags when the front end's draw settings changed, the cache's
// draw state is dirty, or the last preparation had other flags.
void Graphics_D3D11_PrepareDrawIfNeeded(uint32_t Flags);

// The drawing operations of the dispatch table are declared with the back end's other operations
// (d3d11_internal.h).

int Graphics_D3D11_DrawModiGraphInt(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4,
                                    GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag);
// A grid of Columns x Rows VERTEX2D (row-major) as joined triangle strips. -1 for fewer than 2
// columns or rows, 500 columns or more, or more vertices than 16-bit indices reach.
int Graphics_D3D11_DrawMeshGrid(const VERTEX2D *Vertex, int Columns, int Rows);
