// The Direct3D 9 base shaders on the platform's Direct3D 9 device: each pixel shader draws what
// the texture-stage program it stands for draws, and the base vertex shader puts a point-sampled
// quad on the same pixels as pre-transformed vertices.
#include <windows.h>
#include <d3d9.h>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <map>
#include <string>
#include <vector>

#include "tools/shader_emitter/d3d9_base_set.h"

namespace {

const int Size = 4;   // target and texture: 4 x 4, one texel a pixel

struct Vertex2D {
    float X, Y, Z, Rhw;
    D3DCOLOR Diffuse;
    float U, V;
};

struct Device9 {
    HWND Window = nullptr;
    IDirect3D9 *D3D = nullptr;
    IDirect3DDevice9 *Device = nullptr;
    IDirect3DTexture9 *Target = nullptr;
    IDirect3DSurface9 *TargetSurface = nullptr, *ReadSurface = nullptr;
    IDirect3DTexture9 *Image = nullptr;
    IDirect3DVertexDeclaration9 *Declaration = nullptr;
    std::map<std::string, sm2::Bytes> Codes;

    bool Open()
    {
        WNDCLASSW Class = {};
        Class.lpfnWndProc = DefWindowProcW;
        Class.hInstance = GetModuleHandleW(nullptr);
        Class.lpszClassName = L"tarvex_shader_d3d9_test";
        RegisterClassW(&Class);
        Window = CreateWindowW(Class.lpszClassName, L"shader test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr,
                               Class.hInstance, nullptr);
        EXPECT_NE(Window, nullptr) << "no window: is DISPLAY set to a running Xvfb?";
        if (!Window) return false;
        ShowWindow(Window, SW_SHOWNORMAL);
        HMODULE Library = LoadLibraryA("d3d9.dll");
        typedef IDirect3D9 *(WINAPI * CreateFunction)(UINT);
        auto Create = Library ? reinterpret_cast<CreateFunction>(GetProcAddress(Library, "Direct3DCreate9")) : nullptr;
        D3D = Create ? Create(D3D_SDK_VERSION) : nullptr;
        EXPECT_NE(D3D, nullptr) << "d3d9.dll does not start";
        if (!D3D) return false;
        D3DPRESENT_PARAMETERS Present = {};
        Present.BackBufferWidth = 64;
        Present.BackBufferHeight = 64;
        Present.BackBufferFormat = D3DFMT_X8R8G8B8;
        Present.BackBufferCount = 1;
        Present.SwapEffect = D3DSWAPEFFECT_DISCARD;
        Present.hDeviceWindow = Window;
        Present.Windowed = TRUE;
        const HRESULT Result = D3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, Window,
                                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &Present, &Device);
        EXPECT_EQ(Result, D3D_OK);
        if (!Device) return false;

        std::vector<sm2::NamedProgram> Set;
        std::string Error;
        EXPECT_TRUE(sm2::BuildD3D9BaseSet(Set, &Error)) << Error;
        for (sm2::NamedProgram &P : Set) Codes[P.FileName] = std::move(P.Code);

        EXPECT_EQ(Device->CreateTexture(Size, Size, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &Target,
                                        nullptr),
                  D3D_OK);
        EXPECT_EQ(Device->CreateOffscreenPlainSurface(Size, Size, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &ReadSurface, nullptr),
                  D3D_OK);
        if (!Target || !ReadSurface) return false;
        Target->GetSurfaceLevel(0, &TargetSurface);
        // Texels of every kind: dark, light, half alpha, opaque, transparent.
        EXPECT_EQ(Device->CreateTexture(Size, Size, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &Image, nullptr), D3D_OK);
        if (!Image) return false;
        D3DLOCKED_RECT Locked;
        EXPECT_EQ(Image->LockRect(0, &Locked, nullptr, 0), D3D_OK);
        for (int y = 0; y < Size; ++y)
            for (int x = 0; x < Size; ++x) {
                const uint32_t i = uint32_t(y * Size + x);
                reinterpret_cast<uint32_t *>(static_cast<char *>(Locked.pBits) + y * Locked.Pitch)[x] =
                    (i * 17u) << 24 | (255 - i * 13u) << 16 | (i * 29u % 256) << 8 | (i * 61u % 256);
            }
        Image->UnlockRect(0);
        const D3DVERTEXELEMENT9 Elements[] = {{0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0},
                                              {0, 16, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                              {0, 20, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                              D3DDECL_END()};
        EXPECT_EQ(Device->CreateVertexDeclaration(Elements, &Declaration), D3D_OK);
        return Declaration != nullptr;
    }

    void Close()
    {
        for (IUnknown *Object : std::initializer_list<IUnknown *>{Declaration, Image, ReadSurface, TargetSurface, Target,
                                                                  Device, D3D})
            if (Object) Object->Release();
        if (Window) DestroyWindow(Window);
    }

    // Common state of a draw: the target cleared, no blending, point sampling, clamped.
    void Begin()
    {
        Device->SetRenderTarget(0, TargetSurface);
        Device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        Device->BeginScene();
        Device->SetRenderState(D3DRS_LIGHTING, FALSE);
        Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        Device->SetRenderState(D3DRS_ZENABLE, FALSE);
        Device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        Device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFFFFFFFF);
        for (DWORD Stage = 0; Stage < 2; ++Stage) {
            Device->SetSamplerState(Stage, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
            Device->SetSamplerState(Stage, D3DSAMP_MINFILTER, D3DTEXF_POINT);
            Device->SetSamplerState(Stage, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
            Device->SetSamplerState(Stage, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
        }
        Device->SetTexture(0, Image);
    }

    // A quad over the whole target (the drawing functions' -0.5), every pixel one texel.
    void DrawQuad(D3DCOLOR Diffuse)
    {
        const float L = -0.5f, R = Size - 0.5f;
        const Vertex2D Quad[4] = {{L, L, 0, 1, Diffuse, 0, 0}, {R, L, 0, 1, Diffuse, 1, 0},
                                  {L, R, 0, 1, Diffuse, 0, 1}, {R, R, 0, 1, Diffuse, 1, 1}};
        Device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, Quad, sizeof(Vertex2D));
        Device->EndScene();
    }

    std::vector<uint32_t> ReadBack()
    {
        std::vector<uint32_t> Pixels(Size * Size, 0);
        EXPECT_EQ(Device->GetRenderTargetData(TargetSurface, ReadSurface), D3D_OK);
        D3DLOCKED_RECT Locked;
        if (ReadSurface->LockRect(&Locked, nullptr, D3DLOCK_READONLY) != D3D_OK) return Pixels;
        for (int y = 0; y < Size; ++y)
            memcpy(&Pixels[size_t(y * Size)], static_cast<char *>(Locked.pBits) + y * Locked.Pitch, Size * 4);
        ReadSurface->UnlockRect();
        return Pixels;
    }

    // Draws through the base vertex shader and the named pixel shader.
    std::vector<uint32_t> DrawWithShaders(const std::string &PixelName, D3DCOLOR Diffuse)
    {
        IDirect3DVertexShader9 *VertexShader = nullptr;
        IDirect3DPixelShader9 *PixelShader = nullptr;
        Device->CreateVertexShader(reinterpret_cast<const DWORD *>(Codes.at("Base2DVertexShader.vso").data()), &VertexShader);
        Device->CreatePixelShader(reinterpret_cast<const DWORD *>(Codes.at(PixelName).data()), &PixelShader);
        EXPECT_NE(PixelShader, nullptr) << PixelName;
        Begin();
        // The draw area (the whole target) to clip space, rows of the matrix in c2-c5.
        const float Rows[4][4] = {{2.0f / Size, 0, 0, -1}, {0, -2.0f / Size, 0, 1}, {0, 0, 1, 0}, {0, 0, 0, 1}};
        Device->SetVertexShaderConstantF(2, &Rows[0][0], 4);
        const float White[4] = {1, 1, 1, 1};
        Device->SetPixelShaderConstantF(5, White, 1);
        Device->SetVertexDeclaration(Declaration);
        Device->SetVertexShader(VertexShader);
        Device->SetPixelShader(PixelShader);
        DrawQuad(Diffuse);
        Device->SetVertexShader(nullptr);
        Device->SetPixelShader(nullptr);
        if (VertexShader) VertexShader->Release();
        if (PixelShader) PixelShader->Release();
        return ReadBack();
    }

    // Draws pre-transformed vertices through texture stages: (stage, state, value) triples.
    std::vector<uint32_t> DrawWithStages(const std::vector<std::vector<DWORD>> &States, D3DCOLOR Diffuse)
    {
        Begin();
        for (DWORD Stage = 0; Stage < 3; ++Stage) {
            Device->SetTextureStageState(Stage, D3DTSS_COLOROP, D3DTOP_DISABLE);
            Device->SetTextureStageState(Stage, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
            Device->SetTextureStageState(Stage, D3DTSS_TEXCOORDINDEX, 0);
        }
        for (const std::vector<DWORD> &S : States) Device->SetTextureStageState(S[0], D3DTEXTURESTAGESTATETYPE(S[1]), S[2]);
        Device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        DrawQuad(Diffuse);
        return ReadBack();
    }
};

class D3D9BaseShaders : public testing::Test {
protected:
    static Device9 D;
    static bool Opened;
    static void SetUpTestSuite() { Opened = D.Open(); }
    static void TearDownTestSuite() { D.Close(); }
    void SetUp() override
    {
        if (!Opened) GTEST_SKIP() << "no Direct3D 9 device";
    }
};
Device9 D3D9BaseShaders::D;
bool D3D9BaseShaders::Opened = false;

int Channel(uint32_t Pixel, int Shift)
{
    return int(Pixel >> Shift & 0xFF);
}

}  // namespace

TEST_F(D3D9BaseShaders, PixelShadersDrawWhatTheTextureStagesDraw)
{
    using S = std::vector<DWORD>;
    const DWORD Tex = D3DTA_TEXTURE, Dif = D3DTA_DIFFUSE, Cur = D3DTA_CURRENT;
    const struct {
        const char *Shader;
        std::vector<S> Stages;
    } Cases[] = {
        {"ps_blend0_type0_igcolor0_igtalpha0_ach0.pso",
         {{0, D3DTSS_COLOROP, D3DTOP_MODULATE}, {0, D3DTSS_COLORARG1, Tex}, {0, D3DTSS_COLORARG2, Dif},
          {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE}, {0, D3DTSS_ALPHAARG1, Tex}, {0, D3DTSS_ALPHAARG2, Dif}}},
        {"ps_blend0_type2_igcolor0_igtalpha1_ach1.pso",
         {{0, D3DTSS_COLOROP, D3DTOP_MODULATE}, {0, D3DTSS_COLORARG1, Tex | D3DTA_COMPLEMENT}, {0, D3DTSS_COLORARG2, Dif},
          {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2}, {0, D3DTSS_ALPHAARG2, Dif}}},
        {"ps_blend0_type3_igcolor0_igtalpha0_ach0.pso",
         {{0, D3DTSS_COLOROP, D3DTOP_MODULATE4X}, {0, D3DTSS_COLORARG1, Tex}, {0, D3DTSS_COLORARG2, Dif},
          {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE}, {0, D3DTSS_ALPHAARG1, Tex}, {0, D3DTSS_ALPHAARG2, Dif}}},
        {"ps_blend0_type6_igcolor0_igtalpha0_ach0.pso",
         {{0, D3DTSS_COLOROP, D3DTOP_MODULATE4X}, {0, D3DTSS_COLORARG1, Tex}, {0, D3DTSS_COLORARG2, Dif},
          {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE}, {0, D3DTSS_ALPHAARG1, Tex}, {0, D3DTSS_ALPHAARG2, Dif},
          {1, D3DTSS_COLOROP, D3DTOP_MODULATE}, {1, D3DTSS_COLORARG1, Cur}, {1, D3DTSS_COLORARG2, Dif | D3DTA_ALPHAREPLICATE},
          {1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1}, {1, D3DTSS_ALPHAARG1, Cur}}},
        {"ps_blend0_type1_igcolor0_igtalpha0_ach0.pso",
         {{0, D3DTSS_COLOROP, D3DTOP_MODULATE}, {0, D3DTSS_COLORARG1, Tex}, {0, D3DTSS_COLORARG2, Dif},
          {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE}, {0, D3DTSS_ALPHAARG1, Tex}, {0, D3DTSS_ALPHAARG2, Dif},
          {1, D3DTSS_COLOROP, D3DTOP_BLENDCURRENTALPHA}, {1, D3DTSS_COLORARG1, Cur}, {1, D3DTSS_COLORARG2, D3DTA_TFACTOR},
          {1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1}, {1, D3DTSS_ALPHAARG1, Cur}}},
        {"ps_nonetex_type5_ach0.pso",
         {{0, D3DTSS_COLOROP, D3DTOP_MODULATE}, {0, D3DTSS_COLORARG1, Dif | D3DTA_COMPLEMENT},
          {0, D3DTSS_COLORARG2, Dif | D3DTA_ALPHAREPLICATE}, {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2},
          {0, D3DTSS_ALPHAARG2, Dif}}},
    };
    const D3DCOLOR Diffuse = 0xA0C06030;
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.Shader);
        const std::vector<uint32_t> Stages = D.DrawWithStages(Case.Stages, Diffuse);
        const std::vector<uint32_t> Shaders = D.DrawWithShaders(Case.Shader, Diffuse);
        for (size_t i = 0; i < Stages.size(); ++i)
            for (int Shift : {0, 8, 16, 24})
                EXPECT_LE(abs(Channel(Stages[i], Shift) - Channel(Shaders[i], Shift)), 2)
                    << "pixel " << i << std::hex << ": stages " << Stages[i] << ", shaders " << Shaders[i];
    }
}

TEST_F(D3D9BaseShaders, VertexShaderPutsPointSampledTexelsWherePretransformedVerticesDo)
{
    using S = std::vector<DWORD>;
    const std::vector<uint32_t> Fixed = D.DrawWithStages(
        {S{0, D3DTSS_COLOROP, D3DTOP_SELECTARG1}, S{0, D3DTSS_COLORARG1, D3DTA_TEXTURE},
         S{0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1}, S{0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE}},
        0xFFFFFFFF);
    const std::vector<uint32_t> Shaded = D.DrawWithShaders("ps_blend0_type0_igcolor0_igtalpha0_ach0.pso", 0xFFFFFFFF);
    EXPECT_EQ(Fixed, Shaded);
    // Every texel lands once: the draw is the texture itself.
    D3DLOCKED_RECT Locked;
    ASSERT_EQ(D.Image->LockRect(0, &Locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x)
            EXPECT_EQ(Shaded[size_t(y * Size + x)],
                      reinterpret_cast<const uint32_t *>(static_cast<const char *>(Locked.pBits) + y * Locked.Pitch)[x])
                << x << ", " << y;
    D.Image->UnlockRect(0);
}
