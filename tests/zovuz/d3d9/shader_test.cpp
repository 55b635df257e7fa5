// The base shaders at the back end's start: every one made from the built-in base archive with
// programmable shaders announced; with the user's forbid setting, a damaged pack, or a base
// archive that lacks a mask shader, the start goes on in fixed function.
#include "tests/zovuz/d3d9/d3d9_fixture.h"

#include <string>
#include <vector>

#include "tools/archive_writer/archive_writer.h"
#include "zovuz/d3d9/windows/d3d9_shader_constant_win.h"
#include "zovuz/d3d9/windows/d3d9_shader_win.h"

namespace {

const wchar_t *const InUse = L"プログラマブルシェーダーを使用します";
const wchar_t *const NotInUse = L"プログラマブルシェーダーを使用しません";

int CountBaseShaders()
{
    const D3D9BaseShaderData &s = D3D9BaseShader;
    int count = s.Base2DVertexShader != nullptr;
    for (IDirect3DPixelShader9 *shader : s.NoneTexPixelShader) count += shader != nullptr;
    for (IDirect3DPixelShader9 *shader : s.BlendPixelShader) count += shader != nullptr;
    for (IDirect3DPixelShader9 *shader : s.MaskPixelShader) count += shader != nullptr;
    return count;
}

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

class D3D9Shaders : public D3D9DeviceTest
{
protected:
    void TearDown() override
    {
        D3D9DeviceTest::TearDown();
        EXPECT_EQ(0, CountBaseShaders()) << "base shaders outlived the device";
        EXPECT_EQ(0, D3D9ShaderPack.LoadedFlag) << "the packs outlived the back end";
    }
};

TEST_F(D3D9Shaders, EveryBaseShaderIsMadeAndAnnounced)
{
    LogAppendReader log;
    ASSERT_EQ(0, Graphics_D3D9_Startup());
    EXPECT_TRUE(Contains(log.Appended(), InUse));
    EXPECT_EQ(1, GraphicsDeviceCaps.ProgrammableShaderFlag);
    EXPECT_EQ(D3D9_BASE_SHADER_NUM, CountBaseShaders());
    EXPECT_NE(nullptr, D3D9Screen.VertexDeclaration[0]);
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

TEST_F(D3D9Shaders, TheForbidSettingKeepsFixedFunction)
{
    D3D9CallLayer.Settings.SoftwareVertexProcessingFlag = 1;
    LogAppendReader log;
    ASSERT_EQ(0, Graphics_D3D9_Startup());
    D3D9CallLayer.Settings.SoftwareVertexProcessingFlag = 0;
    EXPECT_TRUE(Contains(log.Appended(), NotInUse));
    EXPECT_EQ(0, GraphicsDeviceCaps.ProgrammableShaderFlag);
    EXPECT_EQ(0, CountBaseShaders());
    EXPECT_EQ(nullptr, D3D9Screen.VertexDeclaration[0]);
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
    struct Restore
    {
        const PackedTextData BuiltIn = D3D9ShaderPackBase;
        ~Restore() { D3D9ShaderPackBase = BuiltIn; }
    } restore;
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
        D3D9ShaderPackBase = c.Base;
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

}  // namespace
