// The Direct3D 11 back end's vertex formats as input elements: the seven formats it draws with
// (D3D11VertexFormat, d3d11_standard_shaders.h) and the two of the simple-transfer quad, with the
// table that maps a batch onto its format. DXGI formats are plain numbers (D3D11Format).
#pragma once

#include "zovuz/d3d11/d3d11_internal.h"
#include "zovuz/d3d11/shader/d3d11_standard_shaders.h"

// One input element: slot 0, per-vertex data, step rate 0.
struct D3D11VertexElement
{
    const char *SemanticName;  // null ends a list
    int SemanticIndex;
    int Format;  // DXGI_FORMAT
    int Offset;  // bytes into the vertex
};

constexpr int D3D11_VERTEX_ELEMENT_MAXNUM = 11;

struct D3D11VertexFormatInfo
{
    const char *ShaderFileName;  // the base vertex shader's file; its code is the base pack slot of the format
    int Size;                    // bytes per vertex, the stride
    D3D11VertexElement Element[D3D11_VERTEX_ELEMENT_MAXNUM];  // ended by a null name
};

// By D3D11VertexFormat. Not constant: the colour-order rewrite changes it once.
extern D3D11VertexFormatInfo D3D11VertexFormats[D3D11_VERTEX_FORMAT_NUM];

// The transfer quad: a clip-space position and two coordinate pairs (24 bytes), and the same with
// eight coordinate pairs (72 bytes). Null-ended.
extern const D3D11VertexElement D3D11TransferVertexElements[4];
extern const D3D11VertexElement D3D11Transfer8VertexElements[10];
constexpr int D3D11_TRANSFER_VERTEX_SIZE = 24;
constexpr int D3D11_TRANSFER8_VERTEX_SIZE = 72;

// Elements before the ending null name.
int D3D11VertexElementCount(const D3D11VertexElement *Elements);

// With vertex colours packed as B, G, R, A: every R8G8B8A8_UNORM element of the seven formats
// becomes B8G8R8A8_UNORM. The table keeps the change, so a second call finds nothing to do.
void D3D11_RewriteVertexColorOrder(void);

// The format of a batch: [3-D flag x 3 + batch kind]. A 3-D batch of kind 2 has no format of its
// own and draws as VERTEX_NOTEX_2D.
constexpr int D3D11BatchVertexFormat[6] = {
    D3D11_VERTEX_NOTEX_2D, D3D11_VERTEX_2D, D3D11_VERTEX_BLENDTEX_2D,
    D3D11_VERTEX_NOTEX_3D, D3D11_VERTEX_3D, D3D11_VERTEX_NOTEX_2D,
};
