#include "tests/zovuz/graphics/hardware_fixture.h"

#include <stdarg.h>
#include <stdio.h>

#include "zovuz/graphics/display_internal.h"
#include "zovuz/graphics/graph/graph_internal.h"

FakeHardwareData FakeHardware;

namespace {

void Record(const char *Format, ...) __attribute__((format(printf, 1, 2)));
void Record(const char *Format, ...)
{
    char line[256];
    va_list args;
    va_start(args, Format);
    vsnprintf(line, sizeof(line), Format, args);
    va_end(args);
    FakeHardware.Calls.push_back(line);
}

}  // namespace

GraphicsHardwareFunctions RecordingHardwareTable(void)
{
    GraphicsHardwareFunctions t = {};
    t.Startup = [] { Record("Startup"); return FakeHardware.StartupResult; };
    t.PixelCenterTest = [] { Record("PixelCenterTest"); return 0; };
    t.IsDeviceValid = [] { return FakeHardware.DeviceValid; };
    t.ReleaseDeviceObjects = [] { Record("ReleaseDeviceObjects"); return 0; };
    t.ChangeScreenMode = [](int f, int w, int h, int b, int r) { Record("ChangeScreenMode %d %d %d %d %d", f, w, h, b, r); return 0; };
    t.PresentFrame = [] { Record("PresentFrame"); return 0; };
    t.Terminate = [] { Record("Terminate"); return 7; };
    t.SetDialogBoxMode = [](int f) { Record("SetDialogBoxMode %d", f); return 0; };
    t.StartFrontScreenTimer = [](int s) { Record("StartFrontScreenTimer %d", s); return 0; };
    t.CreateTexture = [](GraphImageRecord *image, int) {
        std::string line = "CreateTexture";
        for (int i = 0; i < image->TextureNum; ++i)
            line += " " + std::to_string(image->Texture[i].TexWidth) + "x" + std::to_string(image->Texture[i].TexHeight);
        Record("%s", line.c_str());
        return FakeHardware.CreateTextureResult;
    };
    t.ReleaseGraphTexture = [](GraphImageRecord *) { Record("ReleaseGraphTexture"); return 0; };
    t.BltBmpOrBaseImageToTexture = [](const ImageRect *r, int x, int y, GraphHandleData *, const BASEIMAGE *,
                                      const BASEIMAGE *, int, int, int, int) {
        Record("BltToTexture %d %d %d %d to %d %d", r->left, r->top, r->right, r->bottom, x, y);
        return 0;
    };
    t.FillGraph = [](GraphHandleData *, int, int, int, int) { Record("FillGraph"); return FakeHardware.FillGraphResult; };
    t.CheckRenderTargetGraph = [](int, GraphHandleData *) { Record("CheckRenderTargetGraph"); return -1; };
    t.ExpireMemoryTextures = [] { Record("ExpireMemoryTextures"); return 0; };
    t.ExpireMemorySurfaces = [] { Record("ExpireMemorySurfaces"); return 0; };
    t.ClearDrawScreen = [](const ImageRect *r) { Record("ClearDrawScreen %s", r != nullptr ? "rect" : "all"); return 0; };
    t.DrawCircle = [](int x, int y, int r, unsigned c, int f, int, int) { Record("DrawCircle %d %d %d %08X %d", x, y, r, c, f); return 0; };
    t.DrawCircleThickness = [](int x, int y, int r, unsigned c, int t) { Record("DrawCircleThickness %d %d %d %08X %d", x, y, r, c, t); return 0; };
    t.DrawFillBox = [](int x1, int y1, int x2, int y2, unsigned c) { Record("DrawFillBox %d %d %d %d %08X", x1, y1, x2, y2, c); return 0; };
    t.DrawLineBox = [](int x1, int y1, int x2, int y2, unsigned c) { Record("DrawLineBox %d %d %d %d %08X", x1, y1, x2, y2, c); return 0; };
    t.DrawLine = [](int x1, int y1, int x2, int y2, unsigned c) { Record("DrawLine %d %d %d %d %08X", x1, y1, x2, y2, c); return 0; };
    // Graphs with the draw area they are cut to.
    t.DrawGraph = [](int x, int y, float, float, GraphHandleData *, GraphHandleData *, int trans, int) {
        const ImageRect &a = GraphicsDrawSettings.DrawArea;
        Record("DrawGraph %d %d %d in %d %d %d %d", x, y, trans, a.left, a.top, a.right, a.bottom);
        return 0;
    };
    t.DrawModiGraph = [](float x1, float y1, float x2, float y2, float x4, float y4, float x3, float y3,
                         GraphHandleData *, GraphHandleData *, int trans, int) {
        const ImageRect &a = GraphicsDrawSettings.DrawArea;
        Record("DrawModiGraph %g %g %g %g %g %g %g %g %d in %d %d %d %d", x1, y1, x2, y2, x3, y3, x4, y4, trans, a.left,
               a.top, a.right, a.bottom);
        return 0;
    };
    t.DrawGraphRects = [](const DrawGraphRectsParam *p, GraphHandleData *, GraphHandleData *) {
        std::string line = "DrawGraphRects " + std::to_string(p->RectNum);
        char vertex[48];
        for (int i = 0; i < p->RectNum * 4; ++i) {
            snprintf(vertex, sizeof(vertex), " %g %g", p->Vertex[i].x, p->Vertex[i].y);
            line += vertex;
        }
        Record("%s", line.c_str());
        return 0;
    };
    t.DrawPrimitive2D = [](const VERTEX2D *v, int n, int type, GraphHandleData *g, int trans, int, int, int, int, int) {
        std::string line = "DrawPrimitive2D " + std::to_string(n) + " " + std::to_string(type) + " " +
                           std::to_string(g != nullptr) + " " + std::to_string(trans);
        char vertex[64];
        for (int i = 0; i < n; ++i) {
            snprintf(vertex, sizeof(vertex), " (%g %g %02X%02X%02X%02X)", v[i].pos.x, v[i].pos.y, v[i].dif.a, v[i].dif.r,
                     v[i].dif.g, v[i].dif.b);
            line += vertex;
        }
        Record("%s", line.c_str());
        return 0;
    };
    t.RenderVertexBuffer = [](int a) { Record("RenderVertexBuffer %d", a); return 0; };
    t.SetDrawScreen = [](int s, int, int, GraphHandleData *, GraphHandleData *old, ShadowMapHandleData *, ShadowMapHandleData *) {
        if (old != nullptr)
            Record("SetDrawScreen %d from %d", s, old->Info.Handle);
        else
            Record("SetDrawScreen %d", s);
        return 0;
    };
    t.Mask_SaveOldScreen = [] { Record("Mask_SaveOldScreen"); return 0; };
    t.Mask_CreateScreen = [](int w, int h) { Record("Mask_CreateScreen %d %d", w, h); return 0; };
    t.Mask_CopyOldScreen = [](int w, int h) { Record("Mask_CopyOldScreen %d %d", w, h); return 0; };
    t.Mask_DrawBegin = [](int x1, int y1, int x2, int y2) { Record("Mask_DrawBegin %d %d %d %d", x1, y1, x2, y2); return 0; };
    t.Mask_DrawEnd = [](int x1, int y1, int x2, int y2) { Record("Mask_DrawEnd %d %d %d %d", x1, y1, x2, y2); return 0; };
    t.Mask_ReleaseScreen = [] { Record("Mask_ReleaseScreen"); return 0; };
    t.Mask_SetUseScreen = [] { Record("Mask_SetUseScreen"); return 0; };
    t.UpdateDrawScreenAlphaFlag = [] { Record("UpdateDrawScreenAlphaFlag"); return 0; };
    t.SetDrawArea = [] { Record("SetDrawArea"); return 0; };
    t.SetDrawMode = [](int m) { Record("SetDrawMode %d", m); return 0; };
    t.UpdateDiffuseColor = [] { Record("UpdateDiffuseColor"); return 0; };
    t.SetBlendGraphParam = [](GraphHandleData *g, int type, const int *p) { Record("SetBlendGraphParam %d %d %d %d", g != nullptr, type, p[0], p[1]); return 0; };
    t.SetTransformToView = [](const MATRIX *) { Record("SetTransformToView"); return 0; };
    t.SetTransformToProjection = [](const MATRIX *) { Record("SetTransformToProjection"); return 0; };
    t.SetTransformToWorld = [](const MATRIX *) { Record("SetTransformToWorld"); return 0; };
    t.SetUseLighting = [](int f) { Record("SetUseLighting %d", f); return 0; };
    t.SetLightEnable = [](int i, int f) { Record("SetLightEnable %d %d", i, f); return 0; };
    t.SetLightParam = [](int i, const LIGHTPARAM *p) { Record("SetLightParam %d %d", i, p->LightType); return 0; };
    t.SetFogEnable = [](int f) { Record("SetFogEnable %d", f); return 0; };
    t.SetFogMode = [](int m) { Record("SetFogMode %d", m); return 0; };
    t.SetFogColor = [](unsigned c) { Record("SetFogColor %08X", c); return 0; };
    t.SetFogStartEnd = [](float s, float e) { Record("SetFogStartEnd %g %g", s, e); return 0; };
    t.ShaderConstantBuffer_Release = [](ShaderConstantBufferHandleData *) { Record("ShaderConstantBuffer_Release"); return 0; };
    t.CreateShaderHandle = [](ShaderHandleData *, int v, const void *, int size, int option, int async) { Record("CreateShaderHandle %d %d %d %d", v, size, option, async); return FakeHardware.CreateShaderResult; };
    t.Shader_Release = [](ShaderHandleData *s) { Record("Shader_Release %d", s->Info.Handle); return 0; };
    t.GetShaderVersion = [] { return 300; };
    t.UpdateShadowMapParams = [] { Record("UpdateShadowMapParams"); return 0; };
    return t;
}

std::vector<std::string> CallsStartingWith(const std::string &Prefix)
{
    std::vector<std::string> found;
    for (const std::string &line : FakeHardware.Calls)
        if (line.compare(0, Prefix.size(), Prefix) == 0)
            found.push_back(line);
    return found;
}

void GraphicsStateTest::SetUp()
{
    FakeHardware = FakeHardwareData();
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9, nullptr);
    GraphicsAPIType = GRAPHICS_API_SOFTWARE;
    GraphicsState.HardwareInUseFlag = 0;
    GraphicsState.SoftwareRenderRequestFlag = 0;
    GraphicsScreenSettings = {};
    GraphicsDeviceCaps = {};
    DeleteLightHandleAll();
    ResetDrawSettings();
}

void GraphicsStateTest::TearDown()
{
    DeleteLightHandleAll();
    GraphicsAPIType = GRAPHICS_API_SOFTWARE;
    GraphicsState.HardwareInUseFlag = 0;
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9, nullptr);
}

void GraphicsStateTest::UseFakeBackend(int APIType)
{
    RegisterGraphicsHardwareFunctions(APIType, &Table);
    GraphicsAPIType = APIType;
    GraphicsState.HardwareInUseFlag = 1;
    FakeHardware.Calls.clear();
}
