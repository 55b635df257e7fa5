// The Direct3D 11 back end's table of operations for the graphics dispatch layer.
#include "zovuz/d3d11/d3d11_internal.h"
#include "zovuz/d3d11/zovuz_d3d11.h"

namespace {

// The dispatcher's flush draws the batch and keeps its 3-D flag.
int RenderVertexBuffer(int ASyncThread) { return Graphics_D3D11_RenderVertexBuffer(-1, ASyncThread); }

// The dispatcher hands over the front end's matrix; the device's projection is made from the
// front end's matrices as a whole.
int SetTransformToProjection(const MATRIX *) { return Graphics_D3D11_SetTransformToProjection(); }

int SetupSubBackBufferFullScreen(void) { return Graphics_D3D11_SetupSubBackBufferFullScreen(); }

// The dispatcher's corners come as top-left, top-right, bottom-left, bottom-right already; its last
// flag is not used.
int DrawModiGraph(float X1, float Y1, float X2, float Y2, float X3, float Y3, float X4, float Y4,
                  GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag, int)
{
    return Graphics_D3D11_DrawModiGraph(X1, Y1, X2, Y2, X3, Y3, X4, Y4, Graph, BlendGraph, TransFlag);
}

// The dispatcher's three spare words are the fog-3-D flag and the piece index.
int DrawPrimitive2DToShader(const VERTEX2D *Vertex, int Num, int PrimitiveType, GraphHandleData *Graph, int TransFlag,
                            int Fog3DFlag, int PieceIndex, int)
{
    return Graphics_D3D11_DrawPrimitive2DToShader(Vertex, Num, PrimitiveType, Graph, TransFlag, Fog3DFlag, PieceIndex);
}

// The dispatcher names the source first and passes a rectangle; the copy takes the destination
// first. The destination's surface and mip level are always 0 on this road.
int BltRectGraphToGraph(GraphHandleData *SrcGraph, GraphHandleData *DestGraph, const ImageRect *SrcRect, int DestX,
                        int DestY, int SrcSurface, int SrcMipLevel, int, int)
{
    if (SrcRect == nullptr) return -1;
    return Graphics_D3D11_BltRectGraphToGraph(DestGraph, SrcGraph, SrcSurface, SrcMipLevel, SrcRect->left, SrcRect->top,
                                              SrcRect->right, SrcRect->bottom, DestX, DestY);
}

// Filled by member name; an operation not listed stays null, and its dispatcher logs and fails.
const GraphicsHardwareFunctions D3D11Functions = {
    .Startup = Graphics_D3D11_Startup,
    .PixelCenterTest = Graphics_D3D11_PixelCenterTest,
    .InitializeDeviceState = Graphics_D3D11_InitializeDeviceState,
    .ReapplyDeviceState = Graphics_D3D11_ReapplyDeviceState,
    .IsDeviceValid = Graphics_D3D11_IsDeviceValid,
    .ReleaseDeviceObjects = Graphics_D3D11_ReleaseDeviceObjects,
    .ChangeScreenMode = Graphics_D3D11_ChangeScreenMode,
    .PresentFrame = Graphics_D3D11_PresentFrame,
    .GetScreenWriteCount = Graphics_D3D11_GetScreenWriteCount,
    .Terminate = Graphics_D3D11_Terminate,
    .SetupSubBackBufferFullScreen = SetupSubBackBufferFullScreen,
    .StartFrontScreenTimer = Graphics_D3D11_StartFrontScreenTimer,
    .CreateTexture = Graphics_D3D11_CreateTexture,
    .ReleaseGraphTexture = Graphics_D3D11_ReleaseGraphTexture,
    .CheckDXTConvert = Graphics_D3D11_CheckDXTConvert,
    .BltBmpOrBaseImageToTexture = Graphics_D3D11_BltBmpOrBaseImageToTexture,
    .FillGraph = Graphics_D3D11_FillGraph,
    .BltRectGraphToGraph = BltRectGraphToGraph,
    .GetPixel = Graphics_D3D11_GetPixel,
    .LockBackBuffer = Graphics_D3D11_LockDrawTargetBuffer,
    .UnlockBackBuffer = Graphics_D3D11_UnlockBackBuffer,
    .ClearDrawScreen = Graphics_D3D11_ClearDrawScreen,
    .DrawCircle = Graphics_D3D11_DrawCircle,
    .DrawCircleThickness = Graphics_D3D11_DrawCircleThickness,
    .DrawFillBox = Graphics_D3D11_DrawFillBox,
    .DrawLineBox = Graphics_D3D11_DrawLineBox,
    .DrawLine = Graphics_D3D11_DrawLine,
    // The front end's integer-position flag is the alpha-keep flag: a graph drawn at whole pixels
    // keeps its cut-out edges tested under bilinear filtering.
    .DrawGraph = Graphics_D3D11_DrawGraph,
    .DrawExtendGraph = Graphics_D3D11_DrawExtendGraph,
    .DrawModiGraph = DrawModiGraph,
    .DrawGraphRects = Graphics_D3D11_DrawGraphRects,
    // The five spare words are the graph-UV, fog-3-D and mirror flags, the piece index and the
    // shadow-map flag (all 0 from the front end).
    .DrawPrimitive2D = Graphics_D3D11_DrawPrimitive2D,
    .DrawPrimitive2DToShader = DrawPrimitive2DToShader,
    .RenderVertexBuffer = RenderVertexBuffer,
    .SetDrawScreen = Graphics_D3D11_SetDrawScreen,
    .SetRenderTargetToShader = Graphics_D3D11_SetRenderTargetToShader,
    .SetupDepthBuffer = Graphics_D3D11_SetupDepthBuffer,
    .UpdateDrawScreenAlphaFlag = Graphics_D3D11_UpdateDrawScreenAlphaFlag,
    .SetDrawArea = Graphics_D3D11_SetDrawArea,
    .SetDrawMode = Graphics_D3D11_SetDrawMode,
    .UpdateDiffuseColor = Graphics_D3D11_UpdateDiffuseColor,
    .SetBlendGraphParam = Graphics_D3D11_SetBlendGraphParam,
    .SetTransformToView = Graphics_D3D11_SetTransformToView,
    .SetTransformToProjection = SetTransformToProjection,
    .SetTransformToWorld = Graphics_D3D11_SetTransformToWorld,
    .SetUseLighting = Graphics_D3D11_SetUseLighting,
    .SetLightEnable = Graphics_D3D11_SetLightEnable,
    .SetLightParam = Graphics_D3D11_SetLightParam,
    .SetFogEnable = Graphics_D3D11_SetFogEnable,
    .SetFogMode = Graphics_D3D11_SetFogMode,
    .SetFogColor = Graphics_D3D11_SetFogColor,
    .SetFogStartEnd = Graphics_D3D11_SetFogStartEnd,
    .SetVertexBufferData = Graphics_D3D11_SetBufferData,
    .SetIndexBufferData = Graphics_D3D11_SetIndexBufferData,
    .VertexBuffer_Release = Graphics_D3D11_VertexBuffer_Release,
    .IndexBuffer_Release = Graphics_D3D11_IndexBuffer_Release,
    .ShaderConstantBuffer_Release = Graphics_D3D11_ShaderConstantBuffer_Release,
    .CreateShaderHandle = Graphics_D3D11_CreateShaderHandle,
    .Shader_Release = Graphics_D3D11_Shader_Release,
    .GetShaderVersion = Graphics_D3D11_GetShaderVersion,
    .UpdateShadowMapParams = Graphics_D3D11_UpdateShadowMapParams,
    .UpdateShadowMapMatrices = Graphics_D3D11_UpdateShadowMapMatrices,
    .SetUseShadowMap = Graphics_D3D11_SetUseShadowMap,
    .ShadowMap_Release = Graphics_D3D11_ShadowMap_Release,
    // Drawing into a shadow map leaves nothing to finish on this device.
    .EndShadowMapDraw = [](ShadowMapHandleData *) { return 0; },
    .Mask_SaveOldScreen = Graphics_D3D11_Mask_SaveOldScreen,
    .Mask_CreateScreen = Graphics_D3D11_Mask_CreateScreen,
    .Mask_CopyOldScreen = Graphics_D3D11_Mask_CopyOldScreen,
    .Mask_DrawBegin = Graphics_D3D11_Mask_DrawBegin,
    .Mask_DrawEnd = Graphics_D3D11_Mask_DrawEnd,
    .Mask_ReleaseScreen = Graphics_D3D11_Mask_ReleaseScreen,
    .Mask_SetUseScreen = Graphics_D3D11_Mask_SetUseScreen,
};

}  // namespace

const GraphicsHardwareFunctions *GetGraphicsD3D11Functions(void) { return &D3D11Functions; }
