// The Direct3D 9 graph drawing's geometry.
#include "zovuz/d3d9/d3d9_graph_draw.h"

#include <math.h>
#include <string.h>

bool D3D9IsParallelogram(const float C[4][2])
{
    int matching = 0;
    if (fabsf((C[1][0] - C[0][0]) - (C[3][0] - C[2][0])) < 1.0f &&
        fabsf((C[1][1] - C[0][1]) - (C[3][1] - C[2][1])) < 1.0f)
        ++matching;
    if (fabsf((C[2][0] - C[0][0]) - (C[3][0] - C[1][0])) < 1.0f &&
        fabsf((C[2][1] - C[0][1]) - (C[3][1] - C[1][1])) < 1.0f)
        ++matching;
    return matching >= 2;
}

bool D3D9QuadReversesWinding(const float C[4][2])
{
    const float x1 = C[0][0], y1 = C[0][1], x2 = C[1][0], y2 = C[1][1];
    const float x3 = C[2][0], y3 = C[2][1], x4 = C[3][0], y4 = C[3][1];
    const float c1 = (y3 - y1) * (x2 - x1) - (y2 - y1) * (x3 - x1);
    const float c2 = (x3 - x4) * (y2 - y4) - (x2 - x4) * (y3 - y4);
    return c1 <= 0.0f && c2 <= 0.0f;
}

void D3D9ModiGridVertices(const float C[4][2], float U1, float V1, float U2, float V2, float PieceWidth,
                          float PieceHeight, uint32_t Color, float Z, VERTEX2D Out[64])
{
    // A side inside the texture borders another piece: a thousandth of a pixel in keeps its
    // neighbour's texels out.
    const float du = PieceWidth > 0.0f ? (U2 - U1) / PieceWidth * 0.001f : 0.0f;
    const float dv = PieceHeight > 0.0f ? (V2 - V1) / PieceHeight * 0.001f : 0.0f;
    float u1 = U1, u2 = U2, v1 = V1, v2 = V2;
    if (U1 >= 1e-06f) u1 += du;
    if (U2 <= 0.99999f) u2 -= du;
    if (V1 >= 1e-06f) v1 += dv;
    if (V2 <= 0.99999f) v2 -= dv;
    const int n = D3D9_MODI_GRID_SIZE;
    for (int row = 0; row < n; ++row) {
        const float fy = (float)row / (float)(n - 1);
        const float lx = C[0][0] + (C[2][0] - C[0][0]) * fy, ly = C[0][1] + (C[2][1] - C[0][1]) * fy;
        const float rx = C[1][0] + (C[3][0] - C[1][0]) * fy, ry = C[1][1] + (C[3][1] - C[1][1]) * fy;
        for (int col = 0; col < n; ++col) {
            const float fx = (float)col / (float)(n - 1);
            VERTEX2D &v = Out[row * n + col];
            v.pos = VECTOR{lx + (rx - lx) * fx, ly + (ry - ly) * fx, Z};
            v.rhw = 1.0f;
            memcpy(&v.dif, &Color, sizeof Color);
            v.u = u1 + (u2 - u1) * fx;
            v.v = v1 + (v2 - v1) * fy;
        }
    }
}

int D3D9BuildGridStrips(int Width, int Height, D3D9GridStripFunc Strip, void *Context)
{
    if (Width < 2 || Height < 2) return -1;
    // A row must fit one list with its join, and every vertex must be reachable by a 16-bit index.
    if (2 * Width + 2 > D3D9_GRID_INDEX_MAXNUM || (long long)Width * Height > 65536) return -1;
    uint16_t list[D3D9_GRID_INDEX_MAXNUM];
    int num = 0;
    for (int row = 0; row + 1 < Height; ++row) {
        const int start = row * Width;
        const int join = num > 0 ? 2 : 0;
        if (num + join + 2 * Width > D3D9_GRID_INDEX_MAXNUM) {
            Strip(Context, list, num);
            num = 0;
        } else if (join) {
            list[num] = list[num - 1];
            list[num + 1] = (uint16_t)(start + Width);
            num += 2;
        }
        for (int k = 0; k < Width; ++k) {
            list[num++] = (uint16_t)(start + k + Width);
            list[num++] = (uint16_t)(start + k);
        }
    }
    if (num > 0) Strip(Context, list, num);
    return 0;
}
