// Drawing vertices that are not batched: the common-buffer draws, and the shader set-up of a draw
// of VERTEX3D vertices from the 3-D pack (the choice itself is d3d11_3d_shader_choice.h).
#pragma once

#include "zovuz/d3d11/shader/d3d11_3d_shader_choice.h"
#include "zovuz/d3d11/calls/windows/d3d11_calls.h"

// The terms of the 3-D shader choice as the draw state holds them now: the lights, fog, lighting
// and alpha test of the device-state cache, the shader class of the effective blend mode, the
// front end's shadow-map slots and shadow-map draw flag, and the device's per-pixel flag.
D3D11ThreeDDrawTerms Graphics_D3D11_ThreeDDrawTerms(void);

// Makes ready the shaders of a VERTEX3D draw: expands the 3-D pack when needed, brings the 3-D
// pixel switch (pixel base 60) up to date, chooses the pair, makes each chosen object on its first
// use (a failure is logged) and binds those not bound. 1, or 0 when the pack does not expand, the
// state asks for a pair no shader serves, or an object cannot be made.
int Graphics_D3D11_Shader_Normal3DDraw_Setup(void);

// Draws Num vertices of a vertex format (D3D11VertexFormat) with a topology through the common
// vertex buffer: copied in, then the topology, the format's input layout and, with SetShader, the
// format's shader (the 3-D set-up for VERTEX3D, else its base vertex shader), the buffer with the
// format's stride, the state objects and the Draw. 0; -1 without a device, for a format outside
// the table, when the buffer cannot grow or be written, or when the 3-D set-up fails (no Draw).
int Graphics_D3D11_CommonBuffer_Draw(int Format, D3D11_PRIMITIVE_TOPOLOGY Topology, const void *Vertices, int Num,
                                     int SetShader);
// The same with IndexNum indices of IndexFormat (DXGI_FORMAT_R16_UINT or R32_UINT) through the
// common index buffer, bound when it or its format changed, and DrawIndexed. -1 also for another
// index format.
int Graphics_D3D11_CommonBuffer_DrawIndexed(int Format, D3D11_PRIMITIVE_TOPOLOGY Topology, const void *Vertices,
                                            int VertexNum, const void *Indices, int IndexNum, DXGI_FORMAT IndexFormat,
                                            int SetShader);
