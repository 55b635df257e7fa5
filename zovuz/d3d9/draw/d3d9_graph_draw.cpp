// The Direct3D 9 graph drawing's geometry.
#include "zovuz/d3d9/draw/d3d9_graph_draw.h"

bool D3D9QuadReversesWinding(const float C[4][2])
{
    const float x1 = C[0][0], y1 = C[0][1], x2 = C[1][0], y2 = C[1][1];
    const float x3 = C[2][0], y3 = C[2][1], x4 = C[3][0], y4 = C[3][1];
    const float c1 = (y3 - y1) * (x2 - x1) - (y2 - y1) * (x3 - x1);
    const float c2 = (x3 - x4) * (y2 - y4) - (x2 - x4) * (y3 - y4);
    return c1 <= 0.0f && c2 <= 0.0f;
}
