// The Direct3D 9 back end's table of operations for the graphics dispatch layer.
#include "zovuz/d3d9/draw/d3d9_graph_draw.h"
#include "zovuz/d3d9/d3d9_internal.h"
#include "zovuz/d3d9/texture/d3d9_mask.h"
#include "zovuz/d3d9/texture/d3d9_memory_cache.h"
#include "zovuz/d3d9/draw/d3d9_shapes.h"

namespace {

// The dispatcher names the source first and passes a rectangle; the copy takes the destination
// first. The destination's surface and mip level are always 0 on this road.
int BltRectGraphToGraph(GraphHandleData *SrcGraph, GraphHandleData *DestGraph, const ImageRect *SrcRect, int DestX,
                        int DestY, int SrcSurface, int, int, int)
{
    if (SrcRect == nullptr) return -1;
    return Graphics_D3D9_BltRectGraphToGraph(DestGraph, SrcGraph, SrcSurface, SrcRect->left, SrcRect->top,
                                             SrcRect->right, SrcRect->bottom, DestX, DestY);
}

// Filled by member name; an operation not listed stays null, and its dispatcher logs and fails.
const GraphicsHardwareFunctions D3D9Functions = {
    .Startup = Graphics_D3D9_Startup,
    .PixelCenterTest = Graphics_D3D9_PixelCenterTest,
    .InitializeDeviceState = Graphics_D3D9_InitializeDeviceStateEntry,
    .ReapplyDeviceState = Graphics_D3D9_ReapplyDeviceState,
    .IsDeviceValid = Graphics_D3D9_IsDeviceValid,
    .ReleaseDeviceObjects = Graphics_D3D9_ReleaseDeviceObjects,
    .ChangeScreenMode = Graphics_D3D9_ChangeScreenMode,
    .PresentFrame = Graphics_D3D9_PresentFrame,
    .GetScreenWriteCount = Graphics_D3D9_GetScreenWriteCount,
    .Terminate = Graphics_D3D9_Terminate,
    .RestoreLostDevice = Graphics_D3D9_RestoreLostDevice,
    .SetDialogBoxMode = Graphics_D3D9_SetDialogBoxMode,
    .SetupSubBackBufferFullScreen = Graphics_D3D9_SetupSubBackBufferFullScreen,
    .StartFrontScreenTimer = Graphics_D3D9_StartFrontScreenTimer,
    .CreateTexture = Graphics_D3D9_CreateTexture,
    .ReleaseGraphTexture = Graphics_D3D9_ReleaseGraphTexture,
    .CheckDXTConvert = Graphics_D3D9_CheckDXTConvert,
    .BltBmpOrBaseImageToTexture = Graphics_D3D9_BltBmpOrBaseImageToTexture,
    .FillGraph = Graphics_D3D9_FillGraph,
    .BltRectGraphToGraph = BltRectGraphToGraph,
    .GetPixel = Graphics_D3D9_GetPixel,
    .CheckRenderTargetGraph = Graphics_D3D9_CheckRenderTargetGraph,
    .CopyMovieFrameToGraph = Graphics_D3D9_CopyMovieFrameToGraph,
    .ReleaseMemoryTextureCache = Graphics_D3D9_ReleaseMemoryTextureCache,
    .ExpireMemoryTextures = Graphics_D3D9_ExpireMemoryTextures,
    .ExpireMemorySurfaces = Graphics_D3D9_ExpireMemorySurfaces,
    .LockBackBuffer = Graphics_D3D9_LockBackBuffer,
    .UnlockBackBuffer = Graphics_D3D9_UnlockBackBuffer,
    .ClearDrawScreen = Graphics_D3D9_ClearDrawScreen,
    .DrawCircle = Graphics_D3D9_DrawCircle,
    .DrawCircleThickness = Graphics_D3D9_DrawCircleThickness,
    .DrawFillBox = Graphics_D3D9_DrawFillBox,
    .DrawLineBox = Graphics_D3D9_DrawLineBox,
    .DrawLine = Graphics_D3D9_DrawLine,
    .DrawGraph = Graphics_D3D9_DrawGraph,
    .DrawExtendGraph = Graphics_D3D9_DrawExtendGraph,
    .DrawModiGraph = Graphics_D3D9_DrawModiGraph,
    .DrawGraphRects = Graphics_D3D9_DrawGraphRects,
    .DrawPrimitive2D = Graphics_D3D9_DrawPrimitive2D,
    .DrawPrimitive2DToShader = Graphics_D3D9_DrawPrimitive2DToShader,
    .RenderVertexBuffer = Graphics_D3D9_RenderVertexBuffer,
    .SetDrawScreen = Graphics_D3D9_SetDrawScreen,
    .SetRenderTargetToShader = Graphics_D3D9_SetRenderTargetToShader,
    .SetupDepthBuffer = Graphics_D3D9_SetupDepthBuffer,
    .UpdateDrawScreenAlphaFlag = Graphics_D3D9_UpdateDrawScreenAlphaFlag,
    .SetDrawArea = Graphics_D3D9_SetDrawArea,
    .SetDrawMode = Graphics_D3D9_SetDrawMode,
    .UpdateDiffuseColor = Graphics_D3D9_UpdateDiffuseColor,
    .SetBlendGraphParam = Graphics_D3D9_SetBlendGraphParam,
    .SetTransformToView = Graphics_D3D9_SetTransformToView,
    .SetTransformToProjection = Graphics_D3D9_SetTransformToProjection,
    .SetTransformToWorld = Graphics_D3D9_SetTransformToWorld,
    .SetUseLighting = Graphics_D3D9_SetUseLighting,
    .SetLightEnable = Graphics_D3D9_SetLightEnable,
    .SetLightParam = Graphics_D3D9_SetLightParam,
    .SetFogEnable = Graphics_D3D9_SetFogEnable,
    .SetFogMode = Graphics_D3D9_SetFogMode,
    .SetFogColor = Graphics_D3D9_SetFogColor,
    .SetFogStartEnd = Graphics_D3D9_SetFogStartEnd,
    .SetVertexBufferData = Graphics_D3D9_SetVertexBufferData,
    .SetIndexBufferData = Graphics_D3D9_SetIndexBufferData,
    .VertexBuffer_Release = Graphics_D3D9_VertexBuffer_Release,
    .IndexBuffer_Release = Graphics_D3D9_IndexBuffer_Release,
    .CreateShaderHandle = Graphics_D3D9_CreateShaderHandle,
    .Shader_Release = Graphics_D3D9_Shader_Release,
    .GetShaderVersion = Graphics_D3D9_GetShaderVersion,
    .UpdateShadowMapParams = Graphics_D3D9_UpdateShadowMapParams,
    .UpdateShadowMapMatrices = Graphics_D3D9_UpdateShadowMapMatrices,
    .SetUseShadowMap = Graphics_D3D9_SetUseShadowMap,
    .ShadowMap_Release = Graphics_D3D9_ShadowMap_Release,
    .Mask_SaveOldScreen = Graphics_D3D9_Mask_SaveOldScreen,
    .Mask_CreateScreen = Graphics_D3D9_Mask_CreateScreen,
    .Mask_CopyOldScreen = Graphics_D3D9_Mask_CopyOldScreen,
    .Mask_DrawBegin = Graphics_D3D9_Mask_DrawBegin,
    .Mask_DrawEnd = Graphics_D3D9_Mask_DrawEnd,
    .Mask_ReleaseScreen = Graphics_D3D9_Mask_ReleaseScreen,
    .Mask_SetUseScreen = Graphics_D3D9_Mask_SetUseScreen,
};

}  // namespace

const GraphicsHardwareFunctions *GetGraphicsD3D9Functions(void) { return &D3D9Functions; }
