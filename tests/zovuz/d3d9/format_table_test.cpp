// The format ladder against a device that refuses chosen formats: the slot each kind of image
// ends in, the fatal slots, and the current slots that follow the screen's depth. Also where a
// present lands in the window.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/support/test_files.h"
#include "zovuz/d3d9/d3d9_internal.h"

namespace {

// What the device refuses, by use; everything else it takes.
std::set<unsigned> RefusedTextures, RefusedTargets, RefusedDepths;

int Query(int Use, unsigned Format)
{
    const std::set<unsigned> &refused = Use == D3D9_USE_DEPTH           ? RefusedDepths
                                        : Use == D3D9_USE_RENDER_TARGET ? RefusedTargets
                                                                        : RefusedTextures;
    return refused.count(Format) != 0 ? -1 : 0;
}

struct LadderCase
{
    const char *Name;
    std::set<unsigned> Textures, Targets, Depths;  // refused
    int ScreenDepth;
    int Result;
    int Slot;          // the slot looked at
    unsigned Expected;  // its format
    const wchar_t *Logged;
};

TEST(D3D9FormatTable, EachKindEndsInTheFirstFormatTheDeviceTakes)
{
    const unsigned dxt3 = D3D9FMT_DXT3;
    const LadderCase cases[] = {
        {"everything taken", {}, {}, {}, 32, 0, D3D9_FORMAT_SLOT_RGB16, D3D9FMT_R5G6B5,
         L"16bit カラーフォーマットは D3DFMT_R5G6B5 です"},
        {"no 16-bit colour", {D3D9FMT_R5G6B5, D3D9FMT_X1R5G5B5}, {}, {}, 32, -1, D3D9_FORMAT_SLOT_RGB16, 0,
         L"使用できる 16bit カラーフォーマットが見つかりませんでした"},
        {"no alpha format", {D3D9FMT_A8R8G8B8, D3D9FMT_A4R4G4B4}, {}, {}, 32, -1, 8, 0,
         L"使用できるアルファ付き 16bit カラーフォーマットが見つかりませんでした"},
        {"DXT3 missing", {dxt3}, {}, {}, 32, 0, D3D9_FORMAT_SLOT_DXT1 + 2, D3D9FMT_A8R8G8B8,
         L"ＤＸＴ３テクスチャフォーマットは使えません"},
        {"DXT1 missing", {D3D9FMT_DXT1}, {}, {}, 32, 0, D3D9_FORMAT_SLOT_DXT1, D3D9FMT_A1R5G5B5,
         L"ＤＸＴ１テクスチャフォーマットは使えません"},
        {"24-bit Z missing", {}, {}, {D3D9FMT_D24X8, D3D9FMT_D32}, 32, 0, D3D9_FORMAT_SLOT_ZBUFFER24, D3D9FMT_D16,
         L"24bit Zバッファフォーマットは D3DFMT_D16 です"},
        {"no X8R8G8B8", {D3D9FMT_X8R8G8B8}, {}, {}, 32, 0, D3D9_FORMAT_SLOT_RGB32, D3D9FMT_R5G6B5,
         L"32bit カラーフォーマットは D3DFMT_R5G6B5 です"},
        {"optional slot left empty", {D3D9FMT_A16B16G16R16}, {}, {}, 32, 0, 22, 0,
         L"使用できる４チャンネル整数 16 ビット型カラーフォーマットがありませんでした"},
        {"render target falls back", {}, {D3D9FMT_L8, D3D9FMT_A8L8}, {}, 32, 0, 39, D3D9FMT_A8R8G8B8,
         L"描画用１チャンネル整数 8 ビット型カラーフォーマットは D3DFMT_A8R8G8B8 です"},
        {"32-bit screen's current format", {}, {}, {}, 32, 0, 0, D3D9FMT_X8R8G8B8, nullptr},
        {"16-bit screen's current format", {}, {}, {}, 16, 0, 0, D3D9FMT_R5G6B5, nullptr},
        {"16-bit screen's render target", {}, {}, {}, 16, 0, D3D9_FORMAT_SLOT_TARGET, D3D9FMT_X1R5G5B5, nullptr},
        {"32-bit screen's alpha test", {}, {}, {}, 32, 0, D3D9_FORMAT_SLOT_TARGET_ALPHATEST, D3D9FMT_A8R8G8B8, nullptr},
    };
    RemoveLogFile();
    for (const LadderCase &c : cases) {
        SCOPED_TRACE(c.Name);
        RefusedTextures = c.Textures;
        RefusedTargets = c.Targets;
        RefusedDepths = c.Depths;
        LogAppendReader log;
        // The back buffer is X1R5G5B5, so the 16-bit render target takes it before R5G6B5.
        EXPECT_EQ(c.Result, Graphics_D3D9_SetupFormatTable(Query, D3D9FMT_X1R5G5B5, c.ScreenDepth));
        if (c.Result == 0) {
            EXPECT_EQ(c.Expected, D3D9TextureFormatTable.Format[c.Slot]);
        }
        if (c.Logged != nullptr) {
            EXPECT_NE(std::wstring::npos, log.Appended().find(c.Logged)) << "no line for it";
        }
    }
}

struct PlacementCase
{
    const char *Name;
    D3D9PresentPlacement Placement;
    ImageRect Expected;
};

TEST(D3D9PresentDestRect, TheFrameLandsWhereTheWindowShowsIt)
{
    const PlacementCase cases[] = {
        {"full screen", {0, 0, 640, 480, 2.0, 2.0, 1920, 1080, 0, 0}, {0, 0, 640, 480}},
        {"window", {1, 0, 640, 480, 1.0, 1.0, 800, 600, 0, 0}, {0, 0, 640, 480}},
        {"window scaled", {1, 0, 640, 480, 1.5, 2.0, 800, 600, 0, 0}, {0, 0, 960, 960}},
        {"centred", {1, 1, 640, 480, 1.0, 1.0, 1000, 700, 180, 110}, {180, 110, 820, 590}},
        {"centred, 2 pixels snap", {1, 1, 640, 480, 1.0, 1.0, 644, 483, 2, 2}, {0, 0, 644, 483}},
        {"centred, 3 pixels stay", {1, 1, 640, 480, 1.0, 1.0, 646, 486, 3, 3}, {3, 3, 643, 483}},
    };
    for (const PlacementCase &c : cases) {
        SCOPED_TRACE(c.Name);
        ImageRect r = D3D9PresentDestRect(c.Placement);
        EXPECT_EQ(c.Expected.left, r.left);
        EXPECT_EQ(c.Expected.top, r.top);
        EXPECT_EQ(c.Expected.right, r.right);
        EXPECT_EQ(c.Expected.bottom, r.bottom);
    }
}

}  // namespace
