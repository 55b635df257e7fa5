// The Direct3D 9 filter shaders drawn by the library's own passes on the platform's device, against
// the processor kernels. The passes run as the filters call them (kernel entry point, dispatcher,
// pass), with a device layer of this test underneath: graphs are plain textures of this device,
// shaders are made from the emitter's archive files, and the quad is drawn as the back end draws
// it (no vertex shader, pre-transformed vertices, clamped sampling).
#include <windows.h>
#include <d3d9.h>

#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tools/shader_emitter/d3d9_filter_set.h"
#include "zovuz/filter/filter_d3d9_internal.h"

namespace {

constexpr int kWidth = 64, kHeight = 48, kTexture = 64;

// One "graph" of the test: a render-target texture and the picture it holds.
struct TestGraph
{
    IDirect3DTexture9 *Texture = nullptr;
    int Width = 0, Height = 0, TextureWidth = 0, TextureHeight = 0;
};

struct DeviceLayer
{
    HWND Window = nullptr;
    IDirect3D9 *D3D = nullptr;
    IDirect3DDevice9 *Device = nullptr;
    std::map<int, TestGraph> Graphs;
    std::map<int, IDirect3DPixelShader9 *> Shaders;
    std::map<std::string, sm2::Bytes> Files;
    std::vector<sm2::Bytes> Ready;
    std::vector<float> Constants;  // registers x 4
    int NextHandle = 100;

    bool Open();
    void Close();
    int MakeGraph(int Width, int Height, const std::vector<uint32_t> &Pixels);
    std::vector<uint32_t> Read(int Graph);  // Width x Height of the graph
    void Write(int Graph, const std::vector<uint32_t> &Pixels, int RowWidth, int Rows);
    int Draw(const FilterD3D9Draw *Draw);
};
DeviceLayer *Layer = nullptr;

bool DeviceLayer::Open()
{
    WNDCLASSW Class = {};
    Class.lpfnWndProc = DefWindowProcW;
    Class.hInstance = GetModuleHandleW(nullptr);
    Class.lpszClassName = L"tarvex_filter_shader_test";
    RegisterClassW(&Class);
    Window = CreateWindowW(Class.lpszClassName, L"filter shaders", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr,
                           Class.hInstance, nullptr);
    if (Window == nullptr) return false;
    ShowWindow(Window, SW_SHOWNORMAL);
    HMODULE library = LoadLibraryA("d3d9.dll");
    auto create = library ? reinterpret_cast<IDirect3D9 *(WINAPI *)(UINT)>(GetProcAddress(library, "Direct3DCreate9"))
                          : nullptr;
    if (create == nullptr || (D3D = create(D3D_SDK_VERSION)) == nullptr) return false;
    D3DPRESENT_PARAMETERS p = {};
    p.Windowed = TRUE;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.BackBufferFormat = D3DFMT_UNKNOWN;
    p.hDeviceWindow = Window;
    if (FAILED(D3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, Window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p,
                                 &Device)))
        return false;
    std::vector<sm2::NamedProgram> set;
    std::string error;
    if (!sm2::BuildD3D9FilterSet(set, &error) || !sm2::BuildD3D9ChannelMixSet(Ready, &error)) return false;
    for (auto &shader : set) Files[shader.FileName] = shader.Code;
    return true;
}

void DeviceLayer::Close()
{
    for (auto &g : Graphs) g.second.Texture->Release();
    for (auto &s : Shaders) s.second->Release();
    Graphs.clear(), Shaders.clear();
    if (Device) Device->Release();
    if (D3D) D3D->Release();
    if (Window) DestroyWindow(Window);
    Device = nullptr, D3D = nullptr, Window = nullptr;
}

// A graph of Pixels (Width x Height, 0xAARRGGBB), its texture's edge repeated past the picture.
int DeviceLayer::MakeGraph(int Width, int Height, const std::vector<uint32_t> &Pixels)
{
    TestGraph g;
    g.Width = Width, g.Height = Height;
    g.TextureWidth = g.TextureHeight = 1;
    while (g.TextureWidth < Width) g.TextureWidth *= 2;
    while (g.TextureHeight < Height) g.TextureHeight *= 2;
    if (FAILED(Device->CreateTexture(g.TextureWidth, g.TextureHeight, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                     D3DPOOL_DEFAULT, &g.Texture, nullptr)))
        return -1;
    const int handle = NextHandle++;
    Graphs[handle] = g;
    std::vector<uint32_t> full((size_t)g.TextureWidth * g.TextureHeight);
    for (int y = 0; y < g.TextureHeight; ++y)
        for (int x = 0; x < g.TextureWidth; ++x)
            full[(size_t)y * g.TextureWidth + x] = Pixels[(size_t)std::min(y, Height - 1) * Width + std::min(x, Width - 1)];
    Write(handle, full, g.TextureWidth, g.TextureHeight);
    return handle;
}

void DeviceLayer::Write(int Graph, const std::vector<uint32_t> &Pixels, int RowWidth, int Rows)
{
    const TestGraph &g = Graphs[Graph];
    IDirect3DSurface9 *memory = nullptr, *surface = nullptr;
    Device->CreateOffscreenPlainSurface(g.TextureWidth, g.TextureHeight, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &memory,
                                        nullptr);
    g.Texture->GetSurfaceLevel(0, &surface);
    Device->GetRenderTargetData(surface, memory);
    D3DLOCKED_RECT lock;
    memory->LockRect(&lock, nullptr, 0);
    for (int y = 0; y < Rows; ++y) memcpy((uint8_t *)lock.pBits + y * lock.Pitch, &Pixels[(size_t)y * RowWidth], RowWidth * 4);
    memory->UnlockRect();
    Device->UpdateSurface(memory, nullptr, surface, nullptr);
    surface->Release();
    memory->Release();
}

std::vector<uint32_t> DeviceLayer::Read(int Graph)
{
    const TestGraph &g = Graphs[Graph];
    IDirect3DSurface9 *memory = nullptr, *surface = nullptr;
    Device->CreateOffscreenPlainSurface(g.TextureWidth, g.TextureHeight, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &memory,
                                        nullptr);
    g.Texture->GetSurfaceLevel(0, &surface);
    Device->GetRenderTargetData(surface, memory);
    D3DLOCKED_RECT lock;
    memory->LockRect(&lock, nullptr, D3DLOCK_READONLY);
    std::vector<uint32_t> out((size_t)g.TextureWidth * g.TextureHeight);
    for (int y = 0; y < g.TextureHeight; ++y)
        memcpy(&out[(size_t)y * g.TextureWidth], (uint8_t *)lock.pBits + y * lock.Pitch, g.TextureWidth * 4);
    memory->UnlockRect();
    surface->Release();
    memory->Release();
    return out;
}

int DeviceLayer::Draw(const FilterD3D9Draw *D)
{
    if (!Graphs.count(D->SrcGraph) || !Graphs.count(D->DestGraph) || !Shaders.count(D->PixelShader)) return -1;
    IDirect3DSurface9 *target = nullptr;
    Graphs[D->DestGraph].Texture->GetSurfaceLevel(0, &target);
    Device->SetRenderTarget(0, target);
    target->Release();
    Device->SetTexture(0, Graphs[D->SrcGraph].Texture);
    Device->SetTexture(1, D->SecondGraph >= 0 ? Graphs[D->SecondGraph].Texture : nullptr);
    const D3DTEXTUREFILTERTYPE filter = GraphicsDrawSettings.DrawMode == 0 ? D3DTEXF_POINT : D3DTEXF_LINEAR;
    for (DWORD stage = 0; stage < 2; ++stage) {
        Device->SetSamplerState(stage, D3DSAMP_MINFILTER, filter);
        Device->SetSamplerState(stage, D3DSAMP_MAGFILTER, filter);
        Device->SetSamplerState(stage, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        Device->SetSamplerState(stage, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    }
    Device->SetRenderState(D3DRS_ZENABLE, FALSE);
    Device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    Device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    Device->SetRenderState(D3DRS_LIGHTING, FALSE);
    Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    Device->SetVertexShader(nullptr);
    Device->SetPixelShader(Shaders[D->PixelShader]);
    if (!Constants.empty()) Device->SetPixelShaderConstantF(0, Constants.data(), (UINT)Constants.size() / 4);
    Device->SetFVF(D->VertexFormat);
    Device->BeginScene();
    const HRESULT hr = Device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, D->Vertices, D->VertexSize);
    Device->EndScene();
    return hr == D3D_OK ? 0 : -1;
}

// ---- Processor references -------------------------------------------------------------------------

uint8_t MulTable[256][256], DivTable[256][256];
FilterTables Tables()
{
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            MulTable[a][b] = (uint8_t)(a * b / 255);
            DivTable[a][b] = b == 0 ? 0 : (uint8_t)std::min(a * 255 / b, 255);
        }
    return {MulTable, DivTable};
}

FilterPixels View(std::vector<uint32_t> &Pixels, int Width, int Height)
{
    return {(uint8_t *)Pixels.data(), Width * 4, Width, Height};
}

// Random pixels; with Pma the colour is premultiplied by the alpha. Every thirteenth has alpha 0
// with a colour (a premultiplied picture holds none there), which the division table takes to 0.
std::vector<uint32_t> Random(std::mt19937 &Rng, int Count, bool Pma)
{
    std::vector<uint32_t> out(Count);
    for (uint32_t &p : out) {
        p = Rng();
        if (Pma) {
            const uint32_t a = p >> 24;
            uint32_t q = a << 24;
            for (int s = 0; s < 24; s += 8) q |= ((p >> s & 255) * a / 255) << s;
            p = q;
        }
    }
    for (int i = 0; i < Count; i += 13) out[i] = (uint32_t)Rng() & 0x00FFFFFFu;
    return out;
}

class FilterShadersD3D9 : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        Layer = new DeviceLayer;
        Opened = Layer->Open();
    }
    static void TearDownTestSuite()
    {
        Layer->Close();
        delete Layer;
        Layer = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(Opened) << "no Direct3D 9 device";
        ApiType = GraphicsAPIType;
        GraphicsAPIType = GRAPHICS_API_D3D9;
        FilterPassDevice.UsesShaders = [] { return 1; };
        FilterPassDevice.DescribeTarget = [](int, int Handle, FilterPassTarget *Out) {
            if (!Layer->Graphs.count(Handle)) return -1;
            const TestGraph &g = Layer->Graphs[Handle];
            *Out = {};
            Out->DrawValid = 1, Out->OneTextureAtOrigin = 1;
            Out->Width = g.Width, Out->Height = g.Height, Out->TextureWidth = g.TextureWidth, Out->TextureHeight = g.TextureHeight;
            return 0;
        };
        FilterPassDevice.WatchHandle = [](int, int *) { return 0; };
        FilterPassDevice.CreateShader = [](int, const char *Name) {
            auto it = Layer->Files.find(Name);
            return it == Layer->Files.end() ? -1 : MakeShader(it->second);
        };
        FilterPassDevice.CreateReadyShader = [](int, int Index) { return MakeShader(Layer->Ready[Index]); };
        FilterD3D9Device.SetPixelConstants = [](const float *V, int N) {
            Layer->Constants.assign(V, V + N * 4);
            return 0;
        };
        FilterD3D9Device.ReleasePixelConstants = [](int) {
            Layer->Constants.clear();
            return 0;
        };
        FilterD3D9Device.DrawQuad = [](const FilterD3D9Draw *D) { return Layer->Draw(D); };
        FilterD3D9Device.DrawRows = [](const VERTEX2D *V, int, int Graph) {
            // The rows y0..y1 repeat the row the vertices' v names, across x0..x1.
            TestGraph &g = Layer->Graphs[Graph];
            std::vector<uint32_t> pixels = Layer->Read(Graph);
            const int x0 = (int)(V[0].pos.x + 0.5f), x1 = (int)(V[3].pos.x + 0.5f), y0 = (int)(V[0].pos.y + 0.5f);
            const int y1 = (int)(V[3].pos.y + 0.5f), row = (int)(V[0].v * g.TextureHeight);
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x) pixels[(size_t)y * g.TextureWidth + x] = pixels[(size_t)row * g.TextureWidth + x];
            Layer->Write(Graph, pixels, g.TextureWidth, g.TextureHeight);
            return 0;
        };
        memset(&GraphFilterState.ShaderHandles, 0xFF, sizeof(GraphFilterState.ShaderHandles));
    }
    void TearDown() override
    {
        GraphicsAPIType = ApiType;
        ResetFilterPassDeviceCalls();
        ResetFilterD3D9DeviceCalls();
        memset(&GraphFilterState.ShaderHandles, 0xFF, sizeof(GraphFilterState.ShaderHandles));
    }
    static int MakeShader(const sm2::Bytes &Code)
    {
        IDirect3DPixelShader9 *shader = nullptr;
        if (FAILED(Layer->Device->CreatePixelShader((const DWORD *)Code.data(), &shader))) return -1;
        const int h = Layer->NextHandle++;
        Layer->Shaders[h] = shader;
        return h;
    }
    static GraphFilterInfo Info(int Src, int Dest, int Width = kWidth, int Height = kHeight)
    {
        GraphFilterInfo info = {};
        info.SrcGraph = Src, info.DestGraph = Dest, info.BlendGraph = -1;
        info.SrcX2 = Width, info.SrcY2 = Height, info.DivideRatio = 1, info.PassCount = 1;
        return info;
    }
    // The largest per-channel difference over Width x Height, and where.
    static int MaxDifference(const std::vector<uint32_t> &Device, int DeviceRow, const std::vector<uint32_t> &Reference,
                             int Width, int Height, std::string *Where)
    {
        int worst = 0;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                for (int s = 0; s < 32; s += 8) {
                    const int a = Device[(size_t)y * DeviceRow + x] >> s & 255, b = Reference[(size_t)y * Width + x] >> s & 255;
                    if (abs(a - b) > worst) {
                        worst = abs(a - b);
                        char text[96];
                        snprintf(text, sizeof(text), "(%d, %d) byte %d: device %d, processor %d", x, y, s / 8, a, b);
                        *Where = text;
                    }
                }
        return worst;
    }
    static bool Opened;
    int ApiType = 0;
};
bool FilterShadersD3D9::Opened = false;

// One single-pass filter or blend: the pass drawn from Src (and Blend) into a destination that
// starts as Dest, against Reference on the same pictures.
struct Case
{
    std::string Name;
    bool Pma;
    int Tolerance;
    std::function<int(GraphFilterInfo *)> Pass;
    std::function<void(const FilterPixels &Src, const FilterPixels &Blend, const FilterPixels &Dest)> Reference;
    bool Blend = false;
    int Type = 0;  // the blend type
};

TEST_F(FilterShadersD3D9, SinglePassFiltersAndBlendsMatchTheProcessorKernels)
{
    const FilterTables t = Tables();
    std::vector<Case> cases;
    for (int pma = 0; pma < 2; ++pma) {
        cases.push_back({"Invert", pma != 0, 1, [pma](GraphFilterInfo *I) { return GraphFilter_Invert(I, pma); },
                         [pma, t](const FilterPixels &s, const FilterPixels &, const FilterPixels &d) { InvertKernel(s, d, pma, t); }});
        for (int compare : {FILTER_COMPARE_LESS, FILTER_COMPARE_GREATER})
            for (int fill = 0; fill < 2; ++fill) {
                // An alpha past 255 (a caller's 300) is clamped before the colour is premultiplied.
                static const float kFill[4] = {1.0f, 0.5f, 0.25f, 300.0f / 255};
                cases.push_back({"BrightClip " + std::to_string(compare) + (fill ? " fill" : ""), pma != 0, 2,
                                 [=](GraphFilterInfo *I) { return GraphFilter_BrightClip(I, compare, 100.0f, fill, kFill, pma); },
                                 [=](const FilterPixels &s, const FilterPixels &, const FilterPixels &d) {
                                     BrightClipSetup setup = {compare, BrightClipThreshold(100.0f / 255.0f), fill,
                                                              PackFilterColor(kFill, pma, t)};
                                     BrightClipKernel(s, d, setup, pma, t);
                                 }});
            }
        // The processor's lightness model step for step, on ranges whose scale is no whole number
        // too (the last one backwards): the same bytes.
        for (const auto &range : {std::make_pair(40, 200), std::make_pair(1, 232), std::make_pair(237, 84)})
            cases.push_back({"BrightnessScale " + std::to_string(range.first) + "-" + std::to_string(range.second),
                             pma != 0, 0,
                             [=](GraphFilterInfo *I) { return GraphFilter_BrightnessScale(I, range.first, range.second, pma); },
                             [=](const FilterPixels &s, const FilterPixels &, const FilterPixels &d) {
                                 BrightnessScaleKernel(s, d, range.first, range.second, pma, t);
                             }});
        // Alphas past 255 (300 and 1000), clamped before the colours are premultiplied.
        static const float kLow[4] = {0.1f, 0.2f, 0.3f, 300.0f / 255}, kHigh[4] = {0.9f, 0.8f, 0.7f, 1000.0f / 255};
        cases.push_back({"TwoColor", pma != 0, 2, [pma](GraphFilterInfo *I) { return GraphFilter_TwoColor(I, 120.0f, kLow, kHigh, pma); },
                         [pma, t](const FilterPixels &s, const FilterPixels &, const FilterPixels &d) {
                             TwoColorKernel(s, d, TwoColorThreshold(120.0f), PackFilterColor(kLow, pma, t),
                                            PackFilterColor(kHigh, pma, t), pma, t);
                         }});
        cases.push_back({"HSB type 1", pma != 0, 6,
                         [pma](GraphFilterInfo *I) { return GraphFilter_Hsb(I, 1, 200.0f, 30.0f * 100 / 255, 10.0f * 100 / 255, pma); },
                         [pma, t](const FilterPixels &s, const FilterPixels &, const FilterPixels &d) {
                             HsbKernel(s, d, HsbSetupOf(1, 200.0f, 30.0f * 100 / 255, 10.0f * 100 / 255), pma, t);
                         }});
        for (int type = 0; type < 17; ++type) {
            if (type == 1) continue;
            const int blendType = type + pma * DX_GRAPH_BLEND_PMA_BASE;
            Case c{"blend " + std::to_string(blendType), pma != 0, 2,
                   [pma](GraphFilterInfo *I) { return GraphBlend_Basic(I, pma); },
                   [type, pma, t](const FilterPixels &s, const FilterPixels &b, const FilterPixels &d) {
                       BlendBasicKernel(s, b, d, type, (int)(0.75f * 256), pma, t);
                   }};
            c.Blend = true, c.Type = blendType;
            cases.push_back(c);
        }
    }
    cases.push_back({"Mono", false, 2, [](GraphFilterInfo *I) { return GraphFilter_Mono(I, 40.0f, -30.0f); },
                     [](const FilterPixels &s, const FilterPixels &, const FilterPixels &d) {
                         MonoKernel(s, d, MonoTint(40.0f), MonoTint(-30.0f));
                     }});
    cases.push_back({"PremultipliedAlpha", false, 1, [](GraphFilterInfo *I) { return GraphFilter_PremultipliedAlpha(I); },
                     [](const FilterPixels &s, const FilterPixels &, const FilterPixels &d) { PremultiplyAlphaKernel(s, d); }});
    cases.push_back({"InterpolatedAlpha", true, 2, [](GraphFilterInfo *I) { return GraphFilter_InterpolatedAlpha(I); },
                     [](const FilterPixels &s, const FilterPixels &, const FilterPixels &d) { InterpolateAlphaKernel(s, d); }});
    static const int kSelectors[][4] = {{2, 1, 0, 3}, {2, 2, 2, 7}, {4, 5, 6, 3}, {1, 0, 6, 7}, {0, 1, 2, 5}, {6, 6, 6, 1}};
    for (const int *sel : kSelectors) {
        const std::vector<int> s(sel, sel + 4);
        Case c{"channel mix " + std::to_string(s[0]) + std::to_string(s[1]) + std::to_string(s[2]) + std::to_string(s[3]),
               false, 0, [s](GraphFilterInfo *I) { return GraphBlend_RGBAMix(I, s[0], s[1], s[2], s[3], 0); },
               [s](const FilterPixels &src, const FilterPixels &b, const FilterPixels &d) { BlendRgbaMixKernel(src, b, d, s.data()); }};
        c.Blend = true, c.Type = DX_GRAPH_BLEND_RGBA_SELECT_MIX;
        cases.push_back(c);
    }

    std::mt19937 rng(680);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<uint32_t> src = Random(rng, kWidth * kHeight, c.Pma), blend = Random(rng, kWidth * kHeight, c.Pma),
                              dest = Random(rng, kWidth * kHeight, c.Pma);
        const int s = Layer->MakeGraph(kWidth, kHeight, src), b = Layer->MakeGraph(kWidth, kHeight, blend),
                  d = Layer->MakeGraph(kWidth, kHeight, dest);
        GraphFilterInfo info = Info(s, d);
        if (c.Blend) info.IsBlend = 1, info.BlendGraph = b, info.BlendRatio = 0.75f, info.Type = c.Type;
        ASSERT_EQ(c.Pass(&info), 0);
        std::vector<uint32_t> reference = dest;
        c.Reference(View(src, kWidth, kHeight), View(blend, kWidth, kHeight), View(reference, kWidth, kHeight));
        std::string where;
        const int worst = MaxDifference(Layer->Read(d), kTexture, reference, kWidth, kHeight, &where);
        EXPECT_LE(worst, c.Tolerance) << where;
    }
}

// The filters of two passes, of a smaller output and of a second texture, each against its kernel.
TEST_F(FilterShadersD3D9, MultiPassAndSecondTextureFiltersMatchTheProcessorKernels)
{
    const FilterTables t = Tables();
    std::mt19937 rng(681);
    auto graph = [&](std::vector<uint32_t> &Pixels, int W, int H, bool Pma = false) {
        Pixels = Random(rng, W * H, Pma);
        return Layer->MakeGraph(W, H, Pixels);
    };
    auto check = [&](const char *Name, int Dest, const std::vector<uint32_t> &Reference, int W, int H, int Tolerance) {
        std::string where;
        EXPECT_LE(MaxDifference(Layer->Read(Dest), Layer->Graphs[Dest].TextureWidth, Reference, W, H, &where), Tolerance)
            << Name << " " << where;
    };
    std::vector<uint32_t> src, dest, work;
    for (int width : {8, 16, 32}) {
        const int s = graph(src, kWidth, kHeight), d = graph(dest, kWidth, kHeight), w = graph(work, kWidth, kHeight);
        GraphFilterInfo info = Info(s, w);
        info.PassCount = 2;
        ASSERT_EQ(GraphFilter_Gauss(&info, width, 3.0f), 0);
        info = Info(w, d);
        info.PassCount = 2, info.PassIndex = 1;
        ASSERT_EQ(GraphFilter_Gauss(&info, width, 3.0f), 0);
        float weights[GAUSS_WEIGHT_MAX];
        BuildGaussWeights(width, 3.0f, weights);
        std::vector<uint32_t> between(src.size());
        GaussKernel(View(src, kWidth, kHeight), View(between, kWidth, kHeight), View(dest, kWidth, kHeight), width,
                    weights);
        check(("Gauss " + std::to_string(width)).c_str(), d, dest, kWidth, kHeight, 2);
    }
    for (int pma = 0; pma < 2; ++pma) {
        const int s = graph(src, kWidth, kHeight, pma), d = graph(dest, kWidth, kHeight), w = graph(work, kWidth, kHeight);
        GraphFilterInfo info = Info(s, w);
        info.PassCount = 2;
        const float hue = 200.0f, saturation = 30.0f * 100 / 255, bright = -20.0f * 100 / 255;
        ASSERT_EQ(GraphFilter_Hsb(&info, 0, hue, saturation, bright, pma), 0);
        info = Info(w, d);
        info.PassCount = 2, info.PassIndex = 1;
        ASSERT_EQ(GraphFilter_Hsb(&info, 0, hue, saturation, bright, pma), 0);
        HsbKernel(View(src, kWidth, kHeight), View(dest, kWidth, kHeight), HsbSetupOf(0, hue, saturation, bright), pma,
                  t);
        // The hue passes between the two shaders as a byte, in steps of 6 of the processor's 1536.
        check(pma ? "HSB type 0, PMA" : "HSB type 0", d, dest, kWidth, kHeight, 6);
    }
    for (int ratio : {2, 4, 8}) {
        const int s = graph(src, kWidth, kHeight), d = graph(dest, kWidth, kHeight);
        GraphFilterInfo info = Info(s, d);
        info.DivideRatio = ratio;
        ASSERT_EQ(GraphFilter_DownScale(&info, ratio), 0);
        std::vector<uint32_t> reference((kWidth / ratio) * (kHeight / ratio));
        DownScaleKernel(View(src, kWidth, kHeight), View(reference, kWidth / ratio, kHeight / ratio), ratio);
        check(("DownScale " + std::to_string(ratio)).c_str(), d, reference, kWidth / ratio, kHeight / ratio, 2);
    }
    for (int pma = 0; pma < 2; ++pma) {
        const LevelSetup setup = LevelSetupOf(30.0f, 220.0f, 1.6f, 10.0f, 240.0f);
        int table[256];
        BuildLevelGammaTable(setup.Gamma, table);
        std::vector<uint32_t> gamma(256);
        for (int i = 0; i < 256; ++i) gamma[i] = 0x01010101u * (uint32_t)table[i];
        GraphFilterState.ShaderHandles.LevelGammaGraph = Layer->MakeGraph(256, 1, gamma);
        const int s = graph(src, kWidth, kHeight, pma), d = graph(dest, kWidth, kHeight);
        GraphFilterInfo info = Info(s, d);
        ASSERT_EQ(GetD3D9FilterPasses()->Filter_Level(&info, setup.InMin, setup.InMax, setup.Gamma, setup.OutMin,
                                                      setup.OutMax, pma),
                  0);
        LevelKernel(View(src, kWidth, kHeight), View(dest, kWidth, kHeight), setup, table, pma, t);
        check(pma ? "Level, PMA" : "Level", d, dest, kWidth, kHeight, 2);
        for (int reverse = 0; reverse < 2; ++reverse) {
            // A gradient that does not fill its texture (100 in 128), one of two columns per entry.
            const int width = reverse ? 512 : 100;
            std::vector<uint32_t> gradient;
            const int g = graph(gradient, width, 1, pma);
            const int s2 = graph(src, kWidth, kHeight, pma), d2 = graph(dest, kWidth, kHeight);
            GraphFilterInfo gi = Info(s2, d2);
            ASSERT_EQ(GraphFilter_GradientMap(&gi, g, reverse, pma), 0);
            uint32_t entries[256];
            std::vector<uint32_t> straight = gradient;
            BuildGradientTable(View(straight, width, 1), reverse, pma, t, entries);
            GradientMapKernel(View(src, kWidth, kHeight), View(dest, kWidth, kHeight), entries, pma, t);
            check(reverse ? "GradientMap reversed" : "GradientMap", d2, dest, kWidth, kHeight, 2);
        }
    }
    std::vector<uint32_t> chroma;
    const int s = graph(src, kWidth, kHeight), d = graph(dest, kWidth, kHeight),
              c = graph(chroma, kWidth / 2, kHeight / 2);
    GraphFilterInfo info = Info(s, d);
    info.Type = DX_GRAPH_FILTER_Y2UV1_TO_RGB;
    ASSERT_EQ(GraphFilter_YUVToRGB(&info, c), 0);
    const YuvLayout layout = {2, 2, 0, 0, 0};
    YuvToRgbKernel(View(src, kWidth, kHeight), View(chroma, kWidth / 2, kHeight / 2), View(dest, kWidth, kHeight),
                   layout);
    check("YUV 13", d, dest, kWidth, kHeight, 2);
}

// Bicubic (Catmull-Rom, 4 x 4 taps) and Lanczos3 (6 x 6 taps) enlarging by 1.5, against the
// same weights in double precision on the texels the taps read, each axis's weights normalised.
double CatmullRom(double D)
{
    D = fabs(D);
    return D < 1 ? 1.5 * D * D * D - 2.5 * D * D + 1 : D < 2 ? -0.5 * D * D * D + 2.5 * D * D - 4 * D + 2 : 0;
}
double Lanczos3(double D)
{
    const double pi = 3.14159265358979323846;
    if (fabs(D) < 1e-9) return 1;
    return fabs(D) >= 3 ? 0 : 3 * sin(pi * D) * sin(pi * D / 3) / (pi * pi * D * D);
}

TEST_F(FilterShadersD3D9, ResamplingMatchesItsTapWeights)
{
    std::mt19937 rng(682);
    const int W = 96, H = 72;
    for (bool bicubic : {true, false}) {
        SCOPED_TRACE(bicubic ? "Bicubic" : "Lanczos3");
        std::vector<uint32_t> src = Random(rng, kWidth * kHeight, false), dest(W * H);
        const int s = Layer->MakeGraph(kWidth, kHeight, src), d = Layer->MakeGraph(W, H, dest);
        GraphFilterInfo info = Info(s, d);
        // The scaled picture as the front end clips it: the whole source onto W x H at (0, 0).
        info.OutputWidth = W, info.OutputHeight = H;
        info.ScaleSrc[2] = (float)kWidth, info.ScaleSrc[3] = (float)kHeight;
        ASSERT_EQ(bicubic ? GraphFilter_Bicubic(&info, W, H) : GraphFilter_Lanczos3(&info, W, H), 0);
        auto texel = [&](int X, int Y, int Byte) {
            X = std::min(std::max(X, 0), kWidth - 1), Y = std::min(std::max(Y, 0), kHeight - 1);
            return (double)(src[(size_t)Y * kWidth + X] >> Byte * 8 & 255);
        };
        // Taps first - reach + 1 .. first + reach around the texel below the sample point.
        const int reach = bicubic ? 2 : 3;
        std::vector<uint32_t> reference(W * H);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const double X = (x + 0.5) * kWidth / W - 0.5, Y = (y + 0.5) * kHeight / H - 0.5;
                const int bx = (int)floor(X) - reach + 1, by = (int)floor(Y) - reach + 1;
                double wx[6], wy[6], sx = 0, sy = 0;
                for (int k = 0; k < 2 * reach; ++k) {
                    wx[k] = bicubic ? CatmullRom(X - (bx + k)) : Lanczos3(X - (bx + k));
                    wy[k] = bicubic ? CatmullRom(Y - (by + k)) : Lanczos3(Y - (by + k));
                    sx += wx[k], sy += wy[k];
                }
                uint32_t out = 0;
                for (int byte = 0; byte < 4; ++byte) {
                    double v = 0;
                    for (int j = 0; j < 2 * reach; ++j)
                        for (int i = 0; i < 2 * reach; ++i) v += wx[i] / sx * wy[j] / sy * texel(bx + i, by + j, byte);
                    out |= (uint32_t)std::min(std::max((int)floor(v + 0.5), 0), 255) << byte * 8;
                }
                reference[(size_t)y * W + x] = out;
            }
        std::string where;
        EXPECT_LE(MaxDifference(Layer->Read(d), Layer->Graphs[d].TextureWidth, reference, W, H, &where), 2) << where;
    }
}

}  // namespace
