// The base shaders at the back end's start: every one made from the built-in base archive with
// programmable shaders announced; with the user's forbid setting, a damaged pack, or a base
// archive that lacks a mask shader, the start goes on in fixed function. Then what they draw on
// the back end's device where the back end's own draws do not reach them: the blend and mask
// shaders their blends, and the base vertex shader every texel where pre-transformed vertices
// put it (shader_picture_test.cpp compares the back end's draws).
#include "tests/zovuz/d3d9/d3d9_fixture.h"

#include <string>
#include <vector>

#include "tools/archive_writer/archive_writer.h"
#include "zovuz/d3d9/shader/windows/d3d9_shader_constant_win.h"
#include "zovuz/d3d9/shader/windows/d3d9_shader_win.h"

namespace {

const wchar_t *const InUse = L"プログラマブルシェーダーを使用します";
const wchar_t *const NotInUse = L"プログラマブルシェーダーを使用しません";

int CountBaseShaders()
{
    const D3D9BaseShaderData &s = D3D9BaseShaders;
    int count = s.Vertex2D != nullptr;
    for (IDirect3DPixelShader9 *shader : s.NoneTex) count += shader != nullptr;
    for (IDirect3DPixelShader9 *shader : s.Blend) count += shader != nullptr;
    for (IDirect3DPixelShader9 *shader : s.Mask) count += shader != nullptr;
    return count;
}

// ---- Drawing on the back end's device: a 4 x 4 target, one texel a pixel ----

const int Side = 4;
using Pixels = std::vector<uint32_t>;

class Canvas
{
public:
    IDirect3DDevice9 *Device = D3D9CallLayer.Device;
    Pixels Image;                       // texels of every kind: dark, light, half alpha, opaque, transparent
    IDirect3DTexture9 *Main = nullptr;  // what stage 0 samples: the image unless a test says otherwise
    float RightRhw = 1;                 // the rhw of the quad's right edge (its left edge has 1)

    Canvas()
    {
        EXPECT_EQ(D3D_OK, Device->CreateTexture(Side, Side, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                                &Target, nullptr));
        EXPECT_EQ(D3D_OK, Device->CreateOffscreenPlainSurface(Side, Side, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                              &ReadSurface, nullptr));
        if (Target != nullptr) Target->GetSurfaceLevel(0, &TargetSurface);
        for (uint32_t i = 0; i < Side * Side; ++i)
            Image.push_back((i * 17u) << 24 | (255 - i * 13u) << 16 | (i * 29u % 256) << 8 | (i * 61u % 256));
        Main = Texture(Image);
    }
    ~Canvas()
    {
        for (IUnknown *object : Made) object->Release();
        for (IUnknown *object : std::initializer_list<IUnknown *>{ReadSurface, TargetSurface, Target})
            if (object != nullptr) object->Release();
    }

    // A texture of Side x Side texels, kept until the canvas goes.
    IDirect3DTexture9 *Texture(const Pixels &Texels)
    {
        IDirect3DTexture9 *texture = nullptr;
        EXPECT_EQ(D3D_OK, Device->CreateTexture(Side, Side, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                                &texture, nullptr));
        D3DLOCKED_RECT locked;
        if (texture == nullptr || texture->LockRect(0, &locked, nullptr, 0) != D3D_OK) return texture;
        for (int y = 0; y < Side; ++y) memcpy((char *)locked.pBits + y * locked.Pitch, &Texels[y * Side], Side * 4);
        texture->UnlockRect(0);
        Made.push_back(texture);
        return texture;
    }

    // Through the base vertex shader and a base pixel shader, with pixel constant c5 (zeros without).
    Pixels WithShader(IDirect3DPixelShader9 *Shader, D3DCOLOR Diffuse, IDirect3DTexture9 *Second = nullptr,
                      const float *C5 = nullptr)
    {
        Begin(Second);
        // The whole target to clip space, the rows of the draw-area matrix in c2-c5.
        const float rows[4][4] = {{2.0f / Side, 0, 0, -1}, {0, -2.0f / Side, 0, 1}, {0, 0, 1, 0}, {0, 0, 0, 1}};
        const float zeros[4] = {};
        Device->SetVertexShaderConstantF(2, &rows[0][0], 4);
        Device->SetPixelShaderConstantF(5, C5 != nullptr ? C5 : zeros, 1);
        Device->SetVertexDeclaration(D3D9Screen.VertexDeclaration[0]);
        Device->SetVertexShader(D3D9BaseShaders.Vertex2D);
        Device->SetPixelShader(Shader);
        return DrawQuad(Diffuse);
    }

    // Pre-transformed vertices, stage 0 selecting the texture's colour and alpha.
    Pixels WithTextureStage()
    {
        Begin(nullptr);
        Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        Device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        Device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        Device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        Device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        return DrawQuad(0xFFFFFFFF);
    }

private:
    IDirect3DTexture9 *Target = nullptr;
    IDirect3DSurface9 *TargetSurface = nullptr, *ReadSurface = nullptr;
    std::vector<IUnknown *> Made;

    // The target cleared, no blending, point sampling, Main on stage 0 and Second on stage 1.
    void Begin(IDirect3DTexture9 *Second)
    {
        Device->SetRenderTarget(0, TargetSurface);
        Device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        Device->BeginScene();
        for (D3DRENDERSTATETYPE off : {D3DRS_LIGHTING, D3DRS_ZENABLE, D3DRS_ALPHABLENDENABLE, D3DRS_ALPHATESTENABLE})
            Device->SetRenderState(off, FALSE);
        Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        for (DWORD stage = 0; stage < 2; ++stage) {
            for (D3DSAMPLERSTATETYPE filter : {D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER})
                Device->SetSamplerState(stage, filter, D3DTEXF_POINT);
            for (D3DSAMPLERSTATETYPE address : {D3DSAMP_ADDRESSU, D3DSAMP_ADDRESSV})
                Device->SetSamplerState(stage, address, D3DTADDRESS_CLAMP);
        }
        Device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        Device->SetTexture(0, Main);
        Device->SetTexture(1, Second);
    }

    // A quad over the whole target (the drawing functions' -0.5), then the pixels read back.
    Pixels DrawQuad(D3DCOLOR Diffuse)
    {
        struct Vertex
        {
            float X, Y, Z, Rhw;
            D3DCOLOR Diffuse;
            float U, V;
        };
        const float l = -0.5f, r = Side - 0.5f, w = RightRhw;
        const Vertex quad[4] = {{l, l, 0, 1, Diffuse, 0, 0},
                                {r, l, 0, w, Diffuse, 1, 0},
                                {l, r, 0, 1, Diffuse, 0, 1},
                                {r, r, 0, w, Diffuse, 1, 1}};
        Device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
        Device->EndScene();
        Device->SetVertexShader(nullptr);
        Device->SetPixelShader(nullptr);
        Pixels pixels(Side * Side, 0);
        D3DLOCKED_RECT locked;
        EXPECT_EQ(D3D_OK, Device->GetRenderTargetData(TargetSurface, ReadSurface));
        if (ReadSurface->LockRect(&locked, nullptr, D3DLOCK_READONLY) != D3D_OK) return pixels;
        for (int y = 0; y < Side; ++y)
            memcpy(&pixels[size_t(y * Side)], (char *)locked.pBits + y * locked.Pitch, Side * 4);
        ReadSurface->UnlockRect();
        return pixels;
    }
};

// A base archive of some of the built-in files, as packed text the loader reads.
struct TestPack
{
    std::vector<unsigned char> Text;
    PackedTextData Record;

    explicit TestPack(const std::vector<const char *> &Names)
    {
        std::vector<ArchiveWriterItem> items;
        for (const char *name : Names) {
            uint64_t position = 0, size = 0;
            EXPECT_EQ(0, ArchiveFindFile(&D3D9ShaderPack.BaseArchive, CHAR_CODE_UNICODE_BYTE, name, &position, &size));
            ArchiveWriterItem item;
            item.Path = name;
            item.Data.assign(D3D9ShaderPack.BaseImage + position, D3D9ShaderPack.BaseImage + position + size);
            items.push_back(item);
        }
        std::vector<unsigned char> image;
        std::string error;
        EXPECT_EQ(0, BuildArchive(items, ArchiveWriterOptions(), image, &error)) << error;
        const std::vector<unsigned char> packed = ArchivePack(image.data(), image.size());
        Text.resize(PackedTextSize(packed.size()));
        EncodePackedText(packed.data(), packed.size(), Text.data());
        Record = {Text.data(), Text.size(), -1};
    }
};

// Another base archive in the built-in one's place while the object lives.
struct BaseArchiveSwap
{
    const PackedTextData BuiltIn = D3D9ShaderPackBase;
    explicit BaseArchiveSwap(const PackedTextData &Other) { D3D9ShaderPackBase = Other; }
    ~BaseArchiveSwap() { D3D9ShaderPackBase = BuiltIn; }
};

class D3D9Shaders : public D3D9DeviceTest
{
protected:
    void TearDown() override
    {
        D3D9DeviceTest::TearDown();
        ExpectShadersGone();
    }
    static void ExpectShadersGone()
    {
        EXPECT_EQ(0, CountBaseShaders()) << "base shaders outlived the device";
        EXPECT_EQ(0, D3D9ShaderPack.LoadedFlag) << "the packs outlived the back end";
    }
};

// The shader versions the device reports to the back end's set-up.
DWORD ReportedVertexShader, ReportedPixelShader;
HRESULT ReportingGetDeviceCaps(D3DCAPS9 *Caps)
{
    const HRESULT result = D3D9SystemCalls.Direct3DDevice9_GetDeviceCaps(Caps);
    Caps->VertexShaderVersion = ReportedVertexShader;
    Caps->PixelShaderVersion = ReportedPixelShader;
    return result;
}

TEST_F(D3D9Shaders, ShaderLevelsAndTheForbidSettingChooseTheProgrammablePath)
{
    const struct
    {
        DWORD Vertex, Pixel;
        int Forbid, Programmable;
    } cases[] = {
        {D3DVS_VERSION(3, 0), D3DPS_VERSION(2, 0), 0, 1}, {D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), 0, 1},
        {D3DVS_VERSION(3, 0), D3DPS_VERSION(1, 4), 0, 0}, {D3DVS_VERSION(1, 1), D3DPS_VERSION(3, 0), 0, 0},
        {D3DVS_VERSION(3, 0), D3DPS_VERSION(3, 0), 1, 0},
    };
    D3D9Calls.Direct3DDevice9_GetDeviceCaps = ReportingGetDeviceCaps;
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.Vertex << " " << c.Pixel << " forbid " << c.Forbid);
        ReportedVertexShader = c.Vertex, ReportedPixelShader = c.Pixel;
        D3D9CallLayer.Settings.SoftwareVertexProcessingFlag = c.Forbid;
        LogAppendReader log;
        ASSERT_EQ(0, Graphics_D3D9_Startup());
        D3D9CallLayer.Settings.SoftwareVertexProcessingFlag = 0;
        EXPECT_TRUE(Contains(log.Appended(), c.Programmable ? InUse : NotInUse));
        EXPECT_EQ(c.Programmable, GraphicsDeviceCaps.ProgrammableShaderFlag);
        EXPECT_EQ(c.Programmable ? D3D9_BASE_SHADER_NUM : 0, CountBaseShaders());
        EXPECT_EQ(c.Programmable != 0, D3D9Screen.VertexDeclaration[0] != nullptr);
        Graphics_D3D9_Terminate();
    }
}

TEST_F(D3D9Shaders, ABaseArchiveThatFailsLeavesFixedFunction)
{
    // The built-in archive, once, for the files the test archives copy.
    ASSERT_EQ(1, Graphics_D3D9_LoadShaderPack());
    const TestPack empty({});
    const TestPack noReverseB({"Base2DVertexShader.vso", "ps_mask_blend.pso", "ps_mask_blend_use_grhandle_cha.pso",
                               "ps_mask_blend_use_grhandle_cha_reverse.pso", "ps_mask_blend_use_grhandle_chr.pso",
                               "ps_mask_blend_use_grhandle_chr_reverse.pso", "ps_mask_blend_use_grhandle_chg.pso",
                               "ps_mask_blend_use_grhandle_chg_reverse.pso", "ps_mask_blend_use_grhandle_chb.pso"});
    unsigned char garbage[] = "not packed text\x7f\x7f";
    const PackedTextData damaged = {garbage, sizeof garbage - 1, -1};
    Graphics_D3D9_ReleaseShaderPack();
    const struct
    {
        const char *Name;
        PackedTextData Base;
        const wchar_t *Logged;
    } cases[] = {
        {"empty archive", empty.Record, L"マスク処理用シェーダーオブジェクトの作成に失敗しました"},
        {"one mask shader missing", noReverseB.Record, L"マスク処理用シェーダーオブジェクトの作成に失敗しました"},
        {"damaged pack", damaged, L"シェーダーコードを展開するメモリ領域の確保に失敗しました"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const BaseArchiveSwap swap(c.Base);
        LogAppendReader log;
        ASSERT_EQ(0, Graphics_D3D9_Startup());
        const std::wstring text = log.Appended();
        EXPECT_TRUE(Contains(text, c.Logged));
        EXPECT_TRUE(Contains(text, NotInUse));
        EXPECT_EQ(0, GraphicsDeviceCaps.ProgrammableShaderFlag);
        EXPECT_EQ(0, CountBaseShaders()) << "what was made is released";
        Graphics_D3D9_Terminate();
    }
}

// The back end started with its shaders, shared by the suite's tests; what the end must release
// is checked when it ends.
class D3D9ShaderDrawing : public D3D9Shaders
{
protected:
    static void TearDownTestSuite()
    {
        EndBackEnd();
        ExpectShadersGone();
        D3D9DeviceTest::TearDownTestSuite();
    }
    void SetUp() override
    {
        if (!Direct3DDevice9_IsValid()) {
            D3D9Shaders::SetUp();
            ASSERT_EQ(0, Graphics_D3D9_Startup());
        }
        ASSERT_EQ(1, GraphicsDeviceCaps.ProgrammableShaderFlag);
    }
    void TearDown() override
    {
        KeepDeviceUnless(false);
        if (!Direct3DDevice9_IsValid()) ExpectShadersGone();
    }
};

// First: the suite's start is the one checked.
TEST_F(D3D9ShaderDrawing, EveryBaseShaderIsMadeAndAnnounced)
{
    EXPECT_EQ(D3D9_BASE_SHADER_NUM, CountBaseShaders());
    // The two constants of the start reach the device once the manager applies set 0.
    const float vertex[4] = {0, 1, 0, 0}, pixel[4] = {0, 0.5f, 1, 2};
    EXPECT_EQ(0, memcmp(vertex, ShaderConstantManager.Mirror[D3D9_CONSTANT_VS_FLOAT].Values, sizeof vertex));
    EXPECT_EQ(0, memcmp(pixel, ShaderConstantManager.Mirror[D3D9_CONSTANT_PS_FLOAT].Values, sizeof pixel));

    // They go with the device and come back with the next one, from the packs kept meanwhile.
    Graphics_D3D9_ReleaseDeviceObjects();
    EXPECT_EQ(0, CountBaseShaders());
    EXPECT_EQ(1, D3D9ShaderPack.LoadedFlag);
    ASSERT_EQ(0, Graphics_D3D9_Initialize());
    EXPECT_EQ(D3D9_BASE_SHADER_NUM, CountBaseShaders());
}

TEST(D3D9BaseShaderChoice, SelectorsOfADrawState)
{
    const struct
    {
        bool BlendTexture;
        int GraphType, StageType;
        bool IgnoreColour;
        int AlphaVariant;
        bool DrawScreenAlpha;
        const char *Name;
    } cases[] = {
        {false, 0, 0, false, 0, false, "ps_blend0_type0_igcolor0_igtalpha1_ach0.pso"},
        {false, 2, 4, false, 1, false, "ps_blend0_type4_igcolor0_igtalpha0_ach0.pso"},
        {false, 0, 6, true, 2, true, "ps_blend0_type6_igcolor1_igtalpha0_ach1.pso"},
        {true, 0, 3, false, 0, true, "ps_blend1_type3_igcolor0_igtalpha1_ach1.pso"},
        {true, 1, 0, true, 1, false, "ps_blend2_type0_igcolor1_igtalpha0_ach0.pso"},
        {true, 2, 5, false, 2, true, "ps_blend3_type5_igcolor0_igtalpha0_ach1.pso"},
    };
    for (const auto &c : cases) {
        const D3D9BlendShaderSelector s = D3D9SelectBlendShader(c.BlendTexture, c.GraphType, c.StageType,
                                                                c.IgnoreColour, c.AlphaVariant, c.DrawScreenAlpha);
        char name[D3D9_BASE_SHADER_NAME_MAX];
        D3D9BlendShaderName(D3D9BlendShaderAt(D3D9BlendShaderIndex(s)), name);
        EXPECT_STREQ(c.Name, name);
    }
}

TEST_F(D3D9ShaderDrawing, BlendAndMaskShadersDrawTheirBlends)
{
    Canvas canvas;
    // Main texel (0.5, 0.25, 1; alpha 0.5) and diffuse (1, 0.5, 1; 0.5); c5 as the draw state
    // writes it: for a cross-fade the ratio in w, for a wipe the scale and offset in z and w.
    IDirect3DTexture9 *texel = canvas.Texture(Pixels(Side * Side, 0x808040FF));
    const struct
    {
        D3D9BlendShaderSelector Shader;
        D3DCOLOR Blend;
        float C5[4];
        float Want[4];  // r, g, b, a
    } cases[] = {
        // cross-fade towards the blend texel by c5.w
        {{1, 0, 0, 0, 0}, 0xFF00FF00, {1, 1, 1, 0.25f}, {0.375f, 0.21875f, 0.75f, 0.3125f}},
        {{1, 0, 0, 1, 0}, 0xFF00FF00, {1, 1, 1, 0.25f}, {0.375f, 0.21875f, 0.75f, 0.5f}},
        {{1, 0, 1, 0, 1}, 0xFF00FF00, {1, 1, 1, 0.25f}, {1, 0.5f, 1, 0.3125f}},
        // wipe: alpha x clamp(clamp(blend alpha + offset) x scale)
        {{2, 0, 0, 0, 0}, 0x80000000, {0, 0, 2, -0.25f}, {0.5f, 0.125f, 1, 0.125f}},
        {{2, 0, 0, 1, 0}, 0x80000000, {0, 0, 4, 0.5f}, {0.5f, 0.125f, 1, 0.5f}},
        {{2, 0, 0, 0, 1}, 0x80000000, {0, 0, 1, -0.75f}, {0.5f, 0.125f, 1, 0}},
        // mask: alpha x the blend texel's alpha
        {{3, 0, 0, 0, 0}, 0x80000000, {1, 1, 1, 1}, {0.5f, 0.125f, 1, 0.125f}},
        {{3, 4, 0, 1, 1}, 0x80000000, {1, 1, 1, 1}, {0.25f, 0.0625f, 0.5f, 0.25f}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(D3D9BlendShaderIndex(c.Shader));
        canvas.Main = texel;
        D3DCOLOR want = 0;
        for (int i = 0; i < 4; ++i) want |= D3DCOLOR(c.Want[i] * 255 + 0.5f) << (i == 3 ? 24 : 16 - 8 * i);
        ExpectPixelsClose(canvas.WithShader(D3D9BaseShaders.Blend[D3D9BlendShaderIndex(c.Shader)], 0x80FF80FF,
                                            canvas.Texture(Pixels(Side * Side, c.Blend)), c.C5),
                          Pixels(Side * Side, want));
    }
    // Mask shaders: the screen texel with alpha 1 where their channel of the mask texel is 0 (or,
    // reversed, where it is not). The mask texel: red and blue 0, green and alpha not.
    canvas.Main = canvas.Texture(Pixels(Side * Side, 0x20406080));
    IDirect3DTexture9 *mask = canvas.Texture(Pixels(Side * Side, 0xFF008000));
    const int alpha[D3D9_MASK_SHADER_NUM] = {0, 0, 1, 1, 0, 0, 1, 1, 0};
    for (int i = 0; i < D3D9_MASK_SHADER_NUM; ++i) {
        SCOPED_TRACE(i);
        ExpectPixelsClose(canvas.WithShader(D3D9BaseShaders.Mask[i], 0xFFFFFFFF, mask),
                          Pixels(Side * Side, (alpha[i] ? 0xFF000000 : 0) | 0x406080));
    }
}

TEST_F(D3D9ShaderDrawing, BaseVertexShaderPutsPointSampledTexelsWherePretransformedVerticesDo)
{
    Canvas canvas;
    // Every texel lands once: the draw is the image itself. Then with a deeper right edge the
    // texels follow the perspective of the pre-transformed vertices.
    for (float rhw : {1.0f, 0.25f}) {
        SCOPED_TRACE(rhw);
        canvas.RightRhw = rhw;
        const Pixels fixed = canvas.WithTextureStage();
        EXPECT_EQ(fixed, canvas.WithShader(D3D9BaseShaders.Blend[0], 0xFFFFFFFF));
        EXPECT_EQ(rhw == 1, canvas.Image == fixed);
    }
}

}  // namespace
