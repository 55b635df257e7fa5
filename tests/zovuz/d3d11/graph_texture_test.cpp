// Graph textures against the recording fake: what each record is made of (multisampling, views,
// the own-depth rule), that deleting gives every object and block back, and the image writers'
// pitches, boxes, faces, edges and mip levels, with sources held against a no-access page.
#include <windows.h>

#include <string.h>

#include <vector>

#include "tests/zovuz/d3d11/d3d11_fixture.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_graph_texture_win.h"

namespace {

// An image record as the front end lays it out: the head, the entries, one back-end part each.
struct Record
{
    std::vector<unsigned char> Memory;
    GraphImageRecord *Image;

    Record(int PixelFormat, const std::vector<SIZE> &Pieces, int Mips = 1, bool Target = false, bool Cube = false)
        : Memory(sizeof(GraphImageRecord) +
                 Pieces.size() * (sizeof(GraphTextureEntry) + sizeof(GraphicsBackendObjectData)))
    {
        Image = (GraphImageRecord *)Memory.data();
        Image->Texture = (GraphTextureEntry *)(Image + 1);
        auto *backend = (GraphicsBackendObjectData *)(Image->Texture + Pieces.size());
        for (size_t i = 0; i < Pieces.size(); i++) {
            GraphTextureEntry &e = Image->Texture[i];
            e.PF = &backend[i];
            e.Width = e.TexWidth = Pieces[i].cx;
            e.Height = e.TexHeight = Pieces[i].cy;
        }
        Image->TextureNum = (int)Pieces.size();
        Image->PixelFormat = PixelFormat;
        Image->MipLevels = Mips;
        Image->Format.HardwareFlag = 1;
        Image->Format.DrawValidFlag = Target;
        Image->Format.CubeMapFlag = Cube;
    }
    ~Record() { Graphics_D3D11_ReleaseGraphTexture(Image); }
};

// Bytes whose last one lies just before a no-access page.
struct Fenced
{
    unsigned char *Base = nullptr, *Data = nullptr;
    size_t Pages;
    explicit Fenced(size_t Size) : Pages((Size + 4095) / 4096 + 1)
    {
        Base = (unsigned char *)VirtualAlloc(nullptr, Pages * 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        DWORD old = 0;
        VirtualProtect(Base + (Pages - 1) * 4096, 4096, PAGE_NOACCESS, &old);
        Data = Base + (Pages - 1) * 4096 - Size;
        for (size_t i = 0; i < Size; i++) Data[i] = (unsigned char)(i * 7 + 3);
    }
    ~Fenced() { VirtualFree(Base, 0, MEM_RELEASE); }
};

BASEIMAGE DxtImage(int Format, int Width, int Height, void *Pixels, int Mips = 1, int Cube = 0)
{
    BASEIMAGE image = {};
    CreateARGB8ColorData(&image.ColorData);
    image.ColorData.Format = (uint8_t)Format;
    image.ColorData.BitDepth = Format == COLORDATA_FORMAT_DXT1 ? 4 : 8;
    image.Width = Width;
    image.Height = Height;
    image.Pixels = Pixels;
    image.MipCount = Mips;
    image.CubeFlag = Cube;
    return image;
}

class GraphTexture : public FakeD3D11DrawingTest
{
protected:
    void SetUp() override
    {
        FakeD3D11DrawingTest::SetUp();
        FakeD3D11.Updates.clear();
    }
    void TearDown() override
    {
        GraphicsDeviceMode = GraphicsDeviceModeData();
        FakeD3D11DrawingTest::TearDown();
    }
    static void Make(Record &R) { ASSERT_EQ(0, Graphics_D3D11_CreateTexture(R.Image, 0)); }
    // A transfer of Src into the record's first texture.
    static D3D11TextureTransfer Transfer(const Record &R, const BASEIMAGE &Src, ImageRect Rect, ImageRect Dest)
    {
        const GraphTextureEntry &piece = R.Image->Texture[0];
        D3D11TextureTransfer t = {};
        t.Image = R.Image;
        t.SrcRect = Rect;
        t.DestRect = Dest;
        t.Texture = D3D11GraphObjects(piece)->Texture;
        t.TexWidth = piece.TexWidth;
        t.TexHeight = piece.TexHeight;
        t.UsedWidth = piece.Width;
        t.UsedHeight = piece.Height;
        t.Source = &Src;
        t.DestColorData = Graphics_D3D11_GetFormatColorData(D3D11FormatTable.Format[R.Image->PixelFormat]);
        return t;
    }
};

TEST_F(GraphTexture, DxtUploadsAsItIsOnlyWhereTheTextureTakesIt)
{
    Record bc1(PIXEL_FORMAT_BLOCK_FIRST + 0, {{256, 256}});
    Record argb(PIXEL_FORMAT_ALPHA_RGB32, {{256, 256}});
    GraphImageRecord software = {};
    const struct
    {
        GraphImageRecord *image;
        int format, convert;
    } cases[] = {
        {bc1.Image, COLORDATA_FORMAT_DXT1, 0}, {argb.Image, COLORDATA_FORMAT_DXT1, 1},
        {bc1.Image, COLORDATA_FORMAT_DXT2, 1}, {bc1.Image, COLORDATA_FORMAT_DXT4, 1},
        {&software, COLORDATA_FORMAT_DXT1, 1}, {argb.Image, COLORDATA_FORMAT_PLAIN, 0},
    };
    for (const auto &c : cases) {
        int convert = -1, alpha = -1;
        EXPECT_EQ(0, Graphics_D3D11_CheckDXTConvert(c.image, c.format, &convert, c.format, &alpha));
        EXPECT_EQ(c.convert, convert) << c.format;
        EXPECT_EQ(c.convert, alpha) << c.format;
    }
    int untouched = 7;
    Graphics_D3D11_CheckDXTConvert(bc1.Image, COLORDATA_FORMAT_DXT2, nullptr, -1, &untouched);
    EXPECT_EQ(7, untouched);
}

TEST_F(GraphTexture, WholeDxtFacesGoUpInOneWriteEach)
{
    const int faceBytes = 256 / 4 * 256 / 4 * 8;
    for (int cube : {0, 6}) {
        Record r(PIXEL_FORMAT_BLOCK_FIRST + 0, {{256, 256}}, 1, false, cube != 0);
        Make(r);
        Fenced pixels((size_t)faceBytes * (cube ? 6 : 1));
        const BASEIMAGE image = DxtImage(COLORDATA_FORMAT_DXT1, 256, 256, pixels.Data, 1, cube);
        FakeD3D11.Updates.clear();
        ASSERT_EQ(0, Graphics_D3D11_BltBmpOrBaseImageToGraph3_NoMipMapBlt(
                         Transfer(r, image, {0, 0, 256, 256}, {0, 0, 256, 256})));
        ASSERT_EQ(cube ? 6u : 1u, FakeD3D11.Updates.size());
        for (size_t f = 0; f < FakeD3D11.Updates.size(); f++) {
            const auto &u = FakeD3D11.Updates[f];
            EXPECT_EQ(f, u.Subresource);
            EXPECT_EQ(512u, u.RowPitch);
            EXPECT_EQ(pixels.Data + f * faceBytes, u.Data);
        }
    }
    // Part of a DXT texture cannot take blocks: refused per face, still 0.
    Record r(PIXEL_FORMAT_BLOCK_FIRST + 0, {{256, 256}});
    Make(r);
    std::vector<unsigned char> pixels(faceBytes);
    const BASEIMAGE image = DxtImage(COLORDATA_FORMAT_DXT1, 256, 256, pixels.data());
    FakeD3D11.Updates.clear();
    EXPECT_EQ(0, Graphics_D3D11_BltBmpOrBaseImageToGraph3_NoMipMapBlt(
                     Transfer(r, image, {0, 0, 128, 128}, {0, 0, 128, 128})));
    EXPECT_TRUE(FakeD3D11.Updates.empty());
    EXPECT_TRUE(Logged(L"DXTフォーマットのテクスチャに標準形式のイメージを転送することはできません"));
}

TEST_F(GraphTexture, AStoredChainGoesUpLevelByLevelUnlessTheImageIsShort)
{
    // 64 x 64 DXT1 with seven levels: 2048, 512, 128, 32, then one 8-byte block each.
    const int levels[] = {2048, 512, 128, 32, 8, 8, 8};
    const int whole = 2744;
    const struct
    {
        int held, mips, cube, result, updates;
    } cases[] = {
        {whole, 7, 0, 0, 7},        // the chain level by level
        {2048 + 512, 7, 0, -1, 2},  // the file held only the first two levels
        {2048 + 512, 1, 6, -1, 1},  // whole faces: the second face is missing
    };
    for (const auto &c : cases) {
        Fenced pixels(c.held);
        Record r(PIXEL_FORMAT_BLOCK_FIRST + 0, {{64, 64}}, c.mips, false, c.cube != 0);
        Make(r);
        BASEIMAGE image = DxtImage(COLORDATA_FORMAT_DXT1, 64, 64, pixels.Data, 7, c.cube);
        image.DataSize = c.held;
        FakeD3D11.Updates.clear();
        const D3D11TextureTransfer t = Transfer(r, image, {0, 0, 64, 64}, {0, 0, 64, 64});
        EXPECT_EQ(c.result, c.mips > 1 ? Graphics_D3D11_BltBmpOrBaseImageToGraph3_MipMapBlt(t)
                                       : Graphics_D3D11_BltBmpOrBaseImageToGraph3_NoMipMapBlt(t))
            << c.held;
        ASSERT_EQ((size_t)c.updates, FakeD3D11.Updates.size()) << c.held;
        int offset = 0;
        for (int l = 0; l < c.updates; offset += levels[l++]) {
            const auto &u = FakeD3D11.Updates[l];
            EXPECT_EQ(pixels.Data + offset, u.Data) << l;
            EXPECT_EQ((UINT)(64 >> l), u.Right) << l;
            EXPECT_EQ((size_t)levels[l], u.Bytes.size()) << l;
        }
        EXPECT_EQ(c.result < 0, Logged(L"画像のデータがテクスチャへの転送に必要なサイズに足りません")) << c.held;
    }
}

TEST_F(GraphTexture, EdgesRepeatPastTheImageForEveryPixelSize)
{
    const int slots[] = {PIXEL_FORMAT_ONE_I8, PIXEL_FORMAT_ALPHA_RGB32, PIXEL_FORMAT_ABGR_I16, PIXEL_FORMAT_ABGR_F32};
    for (int slot : slots) {
        Record r(slot, {{16, 8}});
        r.Image->Texture[0].Width = 10;
        r.Image->Texture[0].Height = 6;
        Make(r);
        BASEIMAGE image = {};
        image.ColorData = *Graphics_D3D11_GetFormatColorData(D3D11FormatTable.Format[slot]);
        const int bpp = image.ColorData.PixelBytes;
        image.Width = 10;
        image.Height = 6;
        image.Pitch = 10 * bpp;
        Fenced pixels((size_t)image.Pitch * 6);
        image.Pixels = pixels.Data;
        // The stale bytes a reused buffer holds must not reach the edge.
        ASSERT_EQ(0, Graphics_D3D11_Texture_SetupCommonBuffer(4096));
        memset(D3D11TextureCommonBuffer.Buffer, 0xEE, 4096);
        FakeD3D11.Updates.clear();
        ASSERT_EQ(
            0, Graphics_D3D11_BltBmpOrBaseImageToGraph3_NoMipMapBlt(Transfer(r, image, {0, 0, 10, 6}, {0, 0, 10, 6})));
        ASSERT_EQ(1u, FakeD3D11.Updates.size());
        const auto &u = FakeD3D11.Updates[0];
        EXPECT_EQ(11u, u.Right) << slot;
        EXPECT_EQ(7u, u.Bottom) << slot;
        const unsigned char *out = u.Bytes.data();
        const int row = 11 * bpp;
        for (int y = 0; y < 7; y++)
            for (int x = 0; x < 11; x++) {
                const int sx = x < 10 ? x : 9, sy = y < 6 ? y : 5;
                EXPECT_EQ(0, memcmp(out + y * row + x * bpp, pixels.Data + sy * image.Pitch + sx * bpp, bpp))
                    << "slot " << slot << " at " << x << "," << y;
            }
    }
}

TEST_F(GraphTexture, GeneratedLevelsWorkInPowerOfTwoHalves)
{
    Record r(PIXEL_FORMAT_ALPHA_RGB32, {{512, 512}}, 4);
    Make(r);
    BASEIMAGE image = {};
    ASSERT_EQ(0, CreateARGB8ColorBaseImage(300, 200, &image));
    const ImageRect dest = {8, 24, 308, 224};
    FakeD3D11.Updates.clear();
    ASSERT_EQ(0, Graphics_D3D11_BltBmpOrBaseImageToGraph3_MipMapBlt(Transfer(r, image, {0, 0, 300, 200}, dest)));
    ReleaseBaseImage(&image);
    ASSERT_EQ(4u, FakeD3D11.Updates.size());
    EXPECT_EQ(2 * 512 * 256 * 4, D3D11TextureCommonBuffer.Size);
    for (int l = 0; l < 4; l++) {
        const auto &u = FakeD3D11.Updates[l];
        EXPECT_EQ((UINT)l, u.Subresource);
        EXPECT_EQ(512u * 4, u.RowPitch);
        EXPECT_EQ((UINT)(dest.left >> l), u.Left);
        EXPECT_EQ((UINT)(dest.top >> l), u.Top);
        EXPECT_EQ((UINT)(dest.right >> l), u.Right);
        EXPECT_EQ((UINT)(dest.bottom >> l), u.Bottom);
    }
}

TEST_F(GraphTexture, MultisamplingAndTheOwnDepthRule)
{
    const struct
    {
        int screen, asked;
        bool cube, ownFlag;
        UINT samples;
        int depthViews;
    } cases[] = {
        {1, 0, false, false, 1, 0}, {1, 4, false, false, 4, 1}, {4, 0, false, false, 1, 1},
        {4, 4, false, false, 4, 0}, {1, 0, false, true, 1, 1},  {1, 4, true, false, 1, 0},
    };
    for (const auto &c : cases) {
        Record r(PIXEL_FORMAT_TARGET_ALPHA_RGB32, {{64, 32}}, 1, true, c.cube);
        r.Image->MultiSampleCount = c.asked;
        r.Image->ZBufferFlag = c.ownFlag;
        GraphicsDeviceMode.MultiSampleCount = c.screen;
        FakeD3D11.Calls.clear();
        FakeD3D11.CallCount.clear();
        Make(r);
        const GraphTextureEntry &piece = r.Image->Texture[0];
        EXPECT_EQ(c.samples > 1 ? 2 : 1, FakeD3D11Count("CreateTexture2D") - c.depthViews) << c.screen << c.asked;
        EXPECT_EQ(c.samples > 1, D3D11GraphObjects(piece)->MultisampleTexture != nullptr);
        EXPECT_EQ(c.depthViews, FakeD3D11Count("CreateDepthStencilView")) << c.screen << "/" << c.asked;
        EXPECT_EQ(c.cube ? 6 : 1, FakeD3D11Count("CreateRenderTargetView"));
        EXPECT_EQ(c.cube ? 6 : 1, FakeD3D11Count("ClearRenderTargetView"));
        if (c.cube) {
            EXPECT_EQ(0, FakeD3D11Count("CheckMultisampleQualityLevels"));
        }
    }
}

TEST_F(GraphTexture, ReleasingGivesEveryObjectAndBlockBack)
{
    const auto objects = LiveObjectCounts();
    const int blocks = GetAllocNum();
    Record r(PIXEL_FORMAT_TARGET_ALPHA_RGB32, {{64, 64}, {32, 64}}, 3, true, true);
    r.Image->ZBufferFlag = 1;
    ASSERT_EQ(0, Graphics_D3D11_CreateTexture(r.Image, 0));
    EXPECT_EQ(objects[D3D11_OBJECT_RENDER_TARGET_VIEW] + 2 * 6 * 3,
              D3D11_GetObjectCount(D3D11_OBJECT_RENDER_TARGET_VIEW));
    // A bound view goes from the cache with it.
    ID3D11ShaderResourceView *view = D3D11GraphObjects(r.Image->Texture[0])->View;
    Graphics_D3D11_DeviceState_SetPSShaderResources(100, 1, &view);
    Graphics_D3D11_SetTexture(D3D11GraphObjects(r.Image->Texture[0])->Texture, view);

    EXPECT_EQ(0, Graphics_D3D11_ReleaseGraphTexture(r.Image));
    EXPECT_EQ(nullptr, D3D11DeviceState.PSShaderResource[100]);
    EXPECT_EQ(nullptr, D3D11DeviceState.TextureView);
    EXPECT_EQ(objects, LiveObjectCounts());
    EXPECT_EQ(blocks, GetAllocNum());
    EXPECT_EQ(0, Graphics_D3D11_ReleaseGraphTexture(r.Image));  // twice is harmless
}

TEST_F(GraphTexture, TransfersOfOneSizeAllocateOnceAndEmptyOnesNothing)
{
    Record r(PIXEL_FORMAT_RGB32, {{64, 64}});
    Make(r);
    BASEIMAGE image = {};
    ASSERT_EQ(0, CreateXRGB8ColorBaseImage(64, 64, &image));
    const D3D11TextureTransfer t = Transfer(r, image, {0, 0, 64, 64}, {0, 0, 64, 64});
    ASSERT_EQ(0, Graphics_D3D11_BltBmpOrBaseImageToGraph3_NoMipMapBlt(t));
    const int blocks = GetAllocNum();
    for (int i = 0; i < 99; i++) ASSERT_EQ(0, Graphics_D3D11_BltBmpOrBaseImageToGraph3_NoMipMapBlt(t));
    EXPECT_EQ(blocks, GetAllocNum());
    ReleaseBaseImage(&image);

    // An empty rectangle is done before the graph is even looked at.
    const ImageRect empty = {5, 5, 5, 9};
    EXPECT_EQ(0, Graphics_D3D11_BltBmpOrBaseImageToTexture(&empty, 0, 0, nullptr, &image, nullptr, 0, 0, 0, 0));
    const ImageRect some = {0, 0, 4, 4};
    EXPECT_EQ(-1, Graphics_D3D11_BltBmpOrBaseImageToTexture(&some, 0, 0, nullptr, &image, nullptr, 0, 0, 0, 0));
}

}  // namespace
