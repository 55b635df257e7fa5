// The dispatchers that only forward: each calls the operation of the same name on the back end in
// use (Direct3D 9 only where it says so) and returns its result; 0 on the software renderer.
#include "zovuz/graphics/graphics_dispatch_internal.h"

int Graphics_Hardware_PixelCenterTest(void)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::PixelCenterTest, L"PixelCenterTest");
}

int Graphics_Hardware_InitializeDeviceState(void)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::InitializeDeviceState, L"InitializeDeviceState");
}

int Graphics_Hardware_ReapplyDeviceState(void)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::ReapplyDeviceState, L"ReapplyDeviceState");
}

int Graphics_Hardware_IsDeviceValid(void)
{
    // A back end that cannot say has no device to offer.
    return HardwareDispatch(&GraphicsHardwareFunctions::IsDeviceValid, L"IsDeviceValid") > 0;
}

int Graphics_Hardware_ReleaseDeviceObjects(void)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::ReleaseDeviceObjects, L"ReleaseDeviceObjects");
}

int Graphics_Hardware_SetupSubBackBufferFullScreen(int)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetupSubBackBufferFullScreen, L"SetupSubBackBufferFullScreen");
}

int Graphics_Hardware_PresentFrameOnDevice(void)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::PresentFrame, L"PresentFrame");
}

int Graphics_Hardware_RestoreLostDevice(void)
{
    return D3D9OnlyDispatch(&GraphicsHardwareFunctions::RestoreLostDevice, L"RestoreLostDevice");
}

int Graphics_Hardware_CreateTexture(GraphImageRecord *Image, int ASyncThread)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::CreateTexture, L"CreateTexture", Image, ASyncThread);
}

int Graphics_Hardware_ReleaseGraphTexture(GraphImageRecord *Image)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::ReleaseGraphTexture, L"ReleaseGraphTexture", Image);
}

int Graphics_Hardware_CheckDXTConvert(GraphImageRecord *Image, int ImageFormat, int *ConvertFlag, int AlphaImageFormat,
                                      int *AlphaConvertFlag)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::CheckDXTConvert, L"CheckDXTConvert", Image, ImageFormat,
                            ConvertFlag, AlphaImageFormat, AlphaConvertFlag);
}

int Graphics_Hardware_BltBmpOrBaseImageToTexture(const ImageRect *SrcRect, int DestX, int DestY, GraphHandleData *Graph,
                                                 const BASEIMAGE *Image, const BASEIMAGE *AlphaImage,
                                                 int TransferOption1, int TransferOption2, int WholeImageFlag,
                                                 int AcceptLoadingFlag)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::BltBmpOrBaseImageToTexture, L"BltBmpOrBaseImageToTexture",
                            SrcRect, DestX, DestY, Graph, Image, AlphaImage, TransferOption1, TransferOption2,
                            WholeImageFlag, AcceptLoadingFlag);
}

int Graphics_Hardware_FillGraph(GraphHandleData *Graph, int Red, int Green, int Blue, int Alpha)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::FillGraph, L"FillGraph", Graph, Red, Green, Blue, Alpha);
}

int Graphics_Hardware_BltRectGraphToGraph(GraphHandleData *SrcGraph, GraphHandleData *DestGraph,
                                          const ImageRect *SrcRect, int DestX, int DestY, int SrcSurface,
                                          int SrcMipLevel, int DestSurface, int DestMipLevel)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::BltRectGraphToGraph, L"BltRectGraphToGraph", SrcGraph,
                            DestGraph, SrcRect, DestX, DestY, SrcSurface, SrcMipLevel, DestSurface, DestMipLevel);
}

unsigned int Graphics_Hardware_GetPixel(int X, int Y)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::GetPixel, L"GetPixel", X, Y);
}

int Graphics_Hardware_CheckRenderTargetGraph(int GraphHandle, GraphHandleData *Graph)
{
    return D3D9OnlyDispatch(&GraphicsHardwareFunctions::CheckRenderTargetGraph, L"CheckRenderTargetGraph", GraphHandle,
                            Graph);
}

int Graphics_Hardware_CopyMovieFrameToGraph(GraphHandleData *Graph, MovieHandleData *Movie)
{
    return D3D9OnlyDispatch(&GraphicsHardwareFunctions::CopyMovieFrameToGraph, L"CopyMovieFrameToGraph", Graph, Movie);
}

int Graphics_Hardware_ReleaseMemoryTextureCache(void)
{
    return D3D9OnlyDispatch(&GraphicsHardwareFunctions::ReleaseMemoryTextureCache, L"ReleaseMemoryTextureCache");
}

int Graphics_Hardware_LockBackBuffer(const ImageRect *Rect, BASEIMAGE *Image, int TargetHandle, GraphHandleData *Graph,
                                     int Surface, int MipLevel, int ReadOnly, int TextureIndex)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::LockBackBuffer, L"LockBackBuffer", Rect, Image, TargetHandle,
                            Graph, Surface, MipLevel, ReadOnly, TextureIndex);
}

int Graphics_Hardware_UnlockBackBuffer(void)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::UnlockBackBuffer, L"UnlockBackBuffer");
}

int Graphics_Hardware_ClearDrawScreen(const ImageRect *ClearRect)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::ClearDrawScreen, L"ClearDrawScreen", ClearRect);
}

int Graphics_Hardware_DrawCircle(int X, int Y, int Radius, unsigned int Color, int FillFlag, int Unused1, int Unused2)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::DrawCircle, L"DrawCircle", X, Y, Radius, Color, FillFlag,
                            Unused1, Unused2);
}

int Graphics_Hardware_DrawCircleThickness(int X, int Y, int Radius, unsigned int Color, int Thickness)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::DrawCircleThickness, L"DrawCircleThickness", X, Y, Radius,
                            Color, Thickness);
}

int Graphics_Hardware_DrawFillBox(int X1, int Y1, int X2, int Y2, unsigned int Color)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::DrawFillBox, L"DrawFillBox", X1, Y1, X2, Y2, Color);
}

int Graphics_Hardware_DrawLineBox(int X1, int Y1, int X2, int Y2, unsigned int Color)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::DrawLineBox, L"DrawLineBox", X1, Y1, X2, Y2, Color);
}

int Graphics_Hardware_DrawLine(int X1, int Y1, int X2, int Y2, unsigned int Color)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::DrawLine, L"DrawLine", X1, Y1, X2, Y2, Color);
}

int Graphics_Hardware_DrawGraph(int X, int Y, float XF, float YF, GraphHandleData *Graph, GraphHandleData *BlendGraph,
                                int TransFlag, int IntFlag)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::DrawGraph, L"DrawGraph", X, Y, XF, YF, Graph, BlendGraph,
                            TransFlag, IntFlag);
}

int Graphics_Hardware_DrawExtendGraph(int X1, int Y1, int X2, int Y2, float X1F, float Y1F, float X2F, float Y2F,
                                      GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag, int IntFlag)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::DrawExtendGraph, L"DrawExtendGraph", X1, Y1, X2, Y2, X1F, Y1F,
                            X2F, Y2F, Graph, BlendGraph, TransFlag, IntFlag);
}

int Graphics_Hardware_DrawModiGraph(float X1, float Y1, float X2, float Y2, float X4, float Y4, float X3, float Y3,
                                    GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag, int SimpleFlag)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::DrawModiGraph, L"DrawModiGraph", X1, Y1, X2, Y2, X4, Y4, X3, Y3,
                            Graph, BlendGraph, TransFlag, SimpleFlag);
}

int Graphics_Hardware_DrawGraphRects(const DrawGraphRectsParam *Param, GraphHandleData *Graph,
                                     GraphHandleData *BlendGraph)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::DrawGraphRects, L"DrawGraphRects", Param, Graph, BlendGraph);
}

int Graphics_Hardware_DrawPrimitive2D(const VERTEX2D *Vertex, int Num, int PrimitiveType, GraphHandleData *Graph,
                                      int TransFlag, int Unused1, int Unused2, int Unused3, int Unused4, int Unused5)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::DrawPrimitive2D, L"DrawPrimitive2D", Vertex, Num, PrimitiveType,
                            Graph, TransFlag, Unused1, Unused2, Unused3, Unused4, Unused5);
}

int Graphics_Hardware_DrawPrimitive2DToShader(const VERTEX2D *Vertex, int Num, int PrimitiveType,
                                              GraphHandleData *Graph, int TransFlag, int Unused1, int Unused2,
                                              int Unused3)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::DrawPrimitive2DToShader, L"DrawPrimitive2DToShader", Vertex,
                            Num, PrimitiveType, Graph, TransFlag, Unused1, Unused2, Unused3);
}

int Graphics_Hardware_RenderVertexBuffer(int ASyncThread)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::RenderVertexBuffer, L"RenderVertexBuffer", ASyncThread);
}

int Graphics_Hardware_SetDrawScreen(int DrawScreen, int OldSurface, int OldMipLevel, GraphHandleData *NewGraph,
                                    GraphHandleData *OldGraph, ShadowMapHandleData *NewShadowMap,
                                    ShadowMapHandleData *OldShadowMap)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetDrawScreen, L"SetDrawScreen", DrawScreen, OldSurface,
                            OldMipLevel, NewGraph, OldGraph, NewShadowMap, OldShadowMap);
}

int Graphics_Hardware_SetRenderTargetToShader(int TargetIndex, int DrawScreen, int Surface, int MipLevel)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetRenderTargetToShader, L"SetRenderTargetToShader",
                            TargetIndex, DrawScreen, Surface, MipLevel);
}

int Graphics_Hardware_SetupDepthBuffer(void)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetupDepthBuffer, L"SetupDepthBuffer");
}

int Graphics_Hardware_UpdateDrawScreenAlphaFlag(void)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::UpdateDrawScreenAlphaFlag, L"UpdateDrawScreenAlphaFlag");
}

int Graphics_Hardware_SetDrawArea(void)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetDrawArea, L"SetDrawArea");
}

int Graphics_Hardware_SetDrawMode(int DrawMode)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetDrawMode, L"SetDrawMode", DrawMode);
}

int Graphics_Hardware_UpdateDiffuseColor(void)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::UpdateDiffuseColor, L"UpdateDiffuseColor");
}

int Graphics_Hardware_SetBlendGraphParam(GraphHandleData *BlendGraph, int BlendType, const int *Param)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetBlendGraphParam, L"SetBlendGraphParam", BlendGraph,
                            BlendType, Param);
}

int Graphics_Hardware_SetTransformToView(const MATRIX *Matrix)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetTransformToView, L"SetTransformToView", Matrix);
}

int Graphics_Hardware_SetTransformToProjection(const MATRIX *Matrix)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetTransformToProjection, L"SetTransformToProjection", Matrix);
}

int Graphics_Hardware_SetTransformToWorld(const MATRIX *Matrix)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetTransformToWorld, L"SetTransformToWorld", Matrix);
}

int Graphics_Hardware_SetUseLighting(int Flag)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetUseLighting, L"SetUseLighting", Flag);
}

int Graphics_Hardware_SetLightEnable(int DeviceLightIndex, int Flag)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetLightEnable, L"SetLightEnable", DeviceLightIndex, Flag);
}

int Graphics_Hardware_SetLightParam(int DeviceLightIndex, const LIGHTPARAM *Param)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetLightParam, L"SetLightParam", DeviceLightIndex, Param);
}

int Graphics_Hardware_SetFogEnable(int Flag)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetFogEnable, L"SetFogEnable", Flag);
}

int Graphics_Hardware_SetFogMode(int Mode)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetFogMode, L"SetFogMode", Mode);
}

int Graphics_Hardware_SetFogColor(unsigned int Color)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetFogColor, L"SetFogColor", Color);
}

int Graphics_Hardware_SetFogStartEnd(float Start, float End)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetFogStartEnd, L"SetFogStartEnd", Start, End);
}

int Graphics_Hardware_SetVertexBufferData(VertexBufferHandleData *Buffer, int Start, const void *Source, int Num)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetVertexBufferData, L"SetVertexBufferData", Buffer, Start,
                            Source, Num);
}

int Graphics_Hardware_SetIndexBufferData(IndexBufferHandleData *Buffer, int Start, const void *Source, int Num)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetIndexBufferData, L"SetIndexBufferData", Buffer, Start,
                            Source, Num);
}

int Graphics_Hardware_VertexBuffer_Release(VertexBufferHandleData *Buffer)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::VertexBuffer_Release, L"VertexBuffer_Release", Buffer);
}

int Graphics_Hardware_IndexBuffer_Release(IndexBufferHandleData *Buffer)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::IndexBuffer_Release, L"IndexBuffer_Release", Buffer);
}

int Graphics_Hardware_CreateShaderHandle(ShaderHandleData *Shader, int IsVertexShader, const void *Code, int CodeSize,
                                         int Option, int ASyncThread)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::CreateShaderHandle, L"CreateShaderHandle", Shader,
                            IsVertexShader, Code, CodeSize, Option, ASyncThread);
}

int Graphics_Hardware_Shader_Release(ShaderHandleData *Shader)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::Shader_Release, L"Shader_Release", Shader);
}

int Graphics_Hardware_GetShaderVersion(void)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::GetShaderVersion, L"GetShaderVersion");
}

int Graphics_Hardware_UpdateShadowMapParams(void)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::UpdateShadowMapParams, L"UpdateShadowMapParams");
}

int Graphics_Hardware_UpdateShadowMapMatrices(void)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::UpdateShadowMapMatrices, L"UpdateShadowMapMatrices");
}

int Graphics_Hardware_SetUseShadowMap(int SlotIndex, int ShadowMapHandle)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::SetUseShadowMap, L"SetUseShadowMap", SlotIndex,
                            ShadowMapHandle);
}

int Graphics_Hardware_ShadowMap_Release(ShadowMapHandleData *ShadowMap)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::ShadowMap_Release, L"ShadowMap_Release", ShadowMap);
}

int Graphics_Hardware_EndShadowMapDraw(ShadowMapHandleData *ShadowMap)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::EndShadowMapDraw, L"EndShadowMapDraw", ShadowMap);
}

int Graphics_Hardware_Mask_SaveOldScreen(void)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::Mask_SaveOldScreen, L"Mask_SaveOldScreen");
}

int Graphics_Hardware_Mask_CreateScreen(int Width, int Height)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::Mask_CreateScreen, L"Mask_CreateScreen", Width, Height);
}

int Graphics_Hardware_Mask_CopyOldScreen(int OldWidth, int OldHeight)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::Mask_CopyOldScreen, L"Mask_CopyOldScreen", OldWidth, OldHeight);
}

int Graphics_Hardware_Mask_DrawBegin(int X1, int Y1, int X2, int Y2)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::Mask_DrawBegin, L"Mask_DrawBegin", X1, Y1, X2, Y2);
}

int Graphics_Hardware_Mask_DrawEnd(int X1, int Y1, int X2, int Y2)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::Mask_DrawEnd, L"Mask_DrawEnd", X1, Y1, X2, Y2);
}

int Graphics_Hardware_Mask_ReleaseScreen(void)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::Mask_ReleaseScreen, L"Mask_ReleaseScreen");
}

int Graphics_Hardware_Mask_SetUseScreen(void)
{
    return HardwareDispatch(&GraphicsHardwareFunctions::Mask_SetUseScreen, L"Mask_SetUseScreen");
}
