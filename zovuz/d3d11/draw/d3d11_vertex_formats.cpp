// The vertex formats' input elements.
#include "zovuz/d3d11/draw/d3d11_vertex_formats.h"

namespace {

constexpr int F4 = D3D11FMT_R32G32B32A32_FLOAT;
constexpr int F3 = 6;  // DXGI_FORMAT_R32G32B32_FLOAT
constexpr int F2 = D3D11FMT_R32G32_FLOAT;
constexpr int C = D3D11FMT_R8G8B8A8_UNORM;

}  // namespace

D3D11VertexFormatInfo D3D11VertexFormats[D3D11_VERTEX_FORMAT_NUM] = {
    {"Base_VERTEX_NOTEX_2D.vso", 20, {{"POSITION", 0, F4, 0}, {"COLOR", 0, C, 16}}},
    {"Base_VERTEX2D.vso", 28, {{"POSITION", 0, F4, 0}, {"COLOR", 0, C, 16}, {"TEXCOORD", 0, F2, 20}}},
    {"Base_VERTEX_BLENDTEX_2D.vso",
     40,
     {{"POSITION", 0, F4, 0},
      {"COLOR", 0, C, 16},
      {"COLOR", 1, C, 20},
      {"TEXCOORD", 0, F2, 24},
      {"TEXCOORD", 1, F2, 32}}},
    {"Base_VERTEX_NOTEX_3D.vso", 16, {{"POSITION", 0, F3, 0}, {"COLOR", 0, C, 12}}},
    {"Base_VERTEX_3D.vso", 24, {{"POSITION", 0, F3, 0}, {"COLOR", 0, C, 12}, {"TEXCOORD", 0, F2, 16}}},
    {"Base_VERTEX3D.vso",
     48,
     {{"POSITION", 0, F3, 0},
      {"NORMAL", 0, F3, 12},
      {"COLOR", 0, C, 24},
      {"COLOR", 1, C, 28},
      {"TEXCOORD", 0, F2, 32},
      {"TEXCOORD", 1, F2, 40}}},
    {"Base_VERTEX3DSHADER.vso",
     88,
     {{"POSITION", 0, F3, 0},
      {"POSITION", 1, F4, 12},
      {"NORMAL", 0, F3, 28},
      {"TANGENT", 0, F3, 40},
      {"BINORMAL", 0, F3, 52},
      {"COLOR", 0, C, 64},
      {"COLOR", 1, C, 68},
      {"TEXCOORD", 0, F2, 72},
      {"TEXCOORD", 1, F2, 80}}},
};

const D3D11VertexElement D3D11TransferVertexElements[4] = {
    {"POSITION", 0, F2, 0}, {"TEXCOORD", 0, F2, 8}, {"TEXCOORD", 1, F2, 16}, {nullptr, 0, 0, 0}};

const D3D11VertexElement D3D11Transfer8VertexElements[10] = {
    {"POSITION", 0, F2, 0},  {"TEXCOORD", 0, F2, 8},  {"TEXCOORD", 1, F2, 16}, {"TEXCOORD", 2, F2, 24},
    {"TEXCOORD", 3, F2, 32}, {"TEXCOORD", 4, F2, 40}, {"TEXCOORD", 5, F2, 48}, {"TEXCOORD", 6, F2, 56},
    {"TEXCOORD", 7, F2, 64}, {nullptr, 0, 0, 0}};

int D3D11VertexElementCount(const D3D11VertexElement *Elements)
{
    int count = 0;
    while (count < D3D11_VERTEX_ELEMENT_MAXNUM && Elements[count].SemanticName != nullptr) count++;
    return count;
}

void D3D11_RewriteVertexColorOrder(void)
{
    for (D3D11VertexFormatInfo &format : D3D11VertexFormats)
        for (int i = 0; i < D3D11VertexElementCount(format.Element); i++)
            if (format.Element[i].Format == D3D11FMT_R8G8B8A8_UNORM) format.Element[i].Format = D3D11FMT_B8G8R8A8_UNORM;
}
