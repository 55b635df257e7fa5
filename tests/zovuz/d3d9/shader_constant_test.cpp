// The shader-constant manager against a plain per-register reference: after every random Set,
// Reset or Apply, the set in force for each register and the values the device holds agree with
// the reference. Range lists merge and split; ranges outside a type's registers are refused.
#include "tests/zovuz/d3d9/d3d9_fixture.h"

#include <cstring>
#include <random>

#include "zovuz/d3d9/shader/windows/d3d9_shader_constant_win.h"

namespace {

const int RegisterNums[6] = {256, 16, 16, 224, 16, 16};
const int ElementSizes[6] = {16, 16, 4, 16, 16, 4};

// What the device was sent, register by register, and how many calls.
struct DeviceModel
{
    unsigned char Values[6][256][16];
    int Calls;
} Device;

void Sent(int Type, UINT Start, const void *Data, UINT Count)
{
    ++Device.Calls;
    for (UINT i = 0; i < Count; ++i)
        std::memcpy(Device.Values[Type][Start + i], (const unsigned char *)Data + i * ElementSizes[Type],
                    ElementSizes[Type]);
}

// clang-format off
HRESULT VsF(UINT S, const float *D, UINT C) { Sent(0, S, D, C); return D3D9SystemCalls.Direct3DDevice9_SetVertexShaderConstantF(S, D, C); }
HRESULT VsI(UINT S, const int *D, UINT C) { Sent(1, S, D, C); return D3D9SystemCalls.Direct3DDevice9_SetVertexShaderConstantI(S, D, C); }
HRESULT VsB(UINT S, const BOOL *D, UINT C) { Sent(2, S, D, C); return D3D9SystemCalls.Direct3DDevice9_SetVertexShaderConstantB(S, D, C); }
HRESULT PsF(UINT S, const float *D, UINT C) { Sent(3, S, D, C); return D3D9SystemCalls.Direct3DDevice9_SetPixelShaderConstantF(S, D, C); }
HRESULT PsI(UINT S, const int *D, UINT C) { Sent(4, S, D, C); return D3D9SystemCalls.Direct3DDevice9_SetPixelShaderConstantI(S, D, C); }
HRESULT PsB(UINT S, const BOOL *D, UINT C) { Sent(5, S, D, C); return D3D9SystemCalls.Direct3DDevice9_SetPixelShaderConstantB(S, D, C); }
// clang-format on

// The reference: each set's values and listed registers; the highest enabled set that lists a
// register is in force.
struct Reference
{
    unsigned char Values[6][4][256][16] = {};
    bool Listed[6][4][256] = {};
    bool Enabled[4] = {};
    int InForce(int Type, int Reg) const
    {
        for (int set = 3; set >= 0; --set)
            if (Enabled[set] && Listed[Type][set][Reg]) return set;
        return 255;
    }
};

// The suite's tests share the device.
class D3D9ShaderConstants : public D3D9DeviceTest
{
protected:
    static void TearDownTestSuite() { EndSharedDeviceSuite(); }
    void SetUp() override
    {
        const bool started = Direct3DDevice9_IsValid() != 0;
        if (!started) D3D9DeviceTest::SetUp();
        D3D9Calls.Direct3DDevice9_SetVertexShaderConstantF = VsF;
        D3D9Calls.Direct3DDevice9_SetVertexShaderConstantI = VsI;
        D3D9Calls.Direct3DDevice9_SetVertexShaderConstantB = VsB;
        D3D9Calls.Direct3DDevice9_SetPixelShaderConstantF = PsF;
        D3D9Calls.Direct3DDevice9_SetPixelShaderConstantI = PsI;
        D3D9Calls.Direct3DDevice9_SetPixelShaderConstantB = PsB;
        if (!started) {
            ASSERT_EQ(0, Graphics_D3D9_Initialize());
        }
        GraphicsDeviceCaps.ProgrammableShaderFlag = 1;
        std::memset(&Device, 0, sizeof Device);
        Graphics_D3D9_ShaderConstant_Initialize(&M);
    }
    void TearDown() override { KeepDeviceUnless(false); }
    ShaderConstantManagerData &M = ShaderConstantManager;

    // Registers filled with a value that names them and a seed.
    static std::vector<unsigned char> Fill(int Type, int Count, int Seed)
    {
        std::vector<unsigned char> v(Count * ElementSizes[Type] + 1);
        for (size_t i = 0; i < v.size(); ++i) v[i] = (unsigned char)(Seed * 31 + i);
        return v;
    }
    int Set(int Type, int SetNo, int First, int Count, int Seed)
    {
        return Graphics_D3D9_ShaderConstant_Set(&M, Type, SetNo, First, Fill(Type, Count, Seed).data(), Count, 1);
    }
};

TEST_F(D3D9ShaderConstants, RandomSequencesAgreeWithThePerRegisterReference)
{
    std::mt19937 random(64);
    static Reference ref;
    ref = Reference();
    for (int step = 0; step < 3000; ++step) {
        const int op = random() % 7, type = random() % 6, set = random() % 4, num = RegisterNums[type];
        const int first = random() % num;
        // Now and then a range that runs past the type's registers, which must be refused.
        const int count = random() % 8 == 0 ? num - first + 1 + random() % 4 : 1 + random() % (num - first);
        const bool fits = first + count <= num;
        const int callsBefore = Device.Calls;
        if (op <= 2) {
            std::vector<unsigned char> values = Fill(type, count, step);
            ASSERT_EQ(fits ? 0 : -1,
                      Graphics_D3D9_ShaderConstant_Set(&M, type, set, first, values.data(), count, 1));
            if (fits)
                for (int r = 0; r < count; ++r) {
                    std::memcpy(ref.Values[type][set][first + r], &values[r * ElementSizes[type]], ElementSizes[type]);
                    ref.Listed[type][set][first + r] = true;
                }
        } else if (op <= 4) {
            ASSERT_EQ(fits ? 0 : -1, Graphics_D3D9_ShaderConstant_Reset(&M, type, set, first, count));
            if (fits)
                for (int r = 0; r < count; ++r) ref.Listed[type][set][first + r] = false;
        } else {
            const int mask = random() % 16;
            ASSERT_EQ(0, Graphics_D3D9_ShaderConstant_Apply(&M, mask));
            for (int s = 0; s < 4; ++s) ref.Enabled[s] = (mask >> s) & 1;
        }
        if (!fits && op <= 4) {
            ASSERT_EQ(callsBefore, Device.Calls) << "a refused range reached the device";
        }
        for (int t = 0; t < 6; ++t)
            for (int r = 0; r < RegisterNums[t]; ++r) {
                const int inForce = ref.InForce(t, r);
                ASSERT_EQ(inForce, M.InForce[t][r]) << "step " << step << " type " << t << " register " << r;
                if (inForce != 255) {
                    ASSERT_EQ(0, std::memcmp(ref.Values[t][inForce][r], Device.Values[t][r], ElementSizes[t]))
                        << "step " << step << " type " << t << " register " << r;
                }
            }
    }
}

TEST_F(D3D9ShaderConstants, SetsSendOnlyWhenEnabledAndHandRegistersBack)
{
    // A disabled set stores and sends nothing; enabling it sends only its listed registers.
    ASSERT_EQ(0, Set(D3D9_CONSTANT_PS_FLOAT, 1, 4, 2, 1));
    EXPECT_EQ(0, Device.Calls);
    ASSERT_EQ(0, Graphics_D3D9_ShaderConstant_Apply(&M, 3));
    EXPECT_EQ(1, Device.Calls);
    // The same mask again sends nothing.
    EXPECT_EQ(0, Graphics_D3D9_ShaderConstant_Apply(&M, 3));
    EXPECT_EQ(1, Device.Calls);
    // Set 0 shares register 5 with set 1, which wins; resetting set 1 gives it back with set 0's value.
    ASSERT_EQ(0, Set(D3D9_CONSTANT_PS_FLOAT, 0, 5, 1, 2));
    EXPECT_EQ(1, M.InForce[D3D9_CONSTANT_PS_FLOAT][5]);
    ASSERT_EQ(0, Graphics_D3D9_ShaderConstant_Reset(&M, D3D9_CONSTANT_PS_FLOAT, 1, 4, 2));
    EXPECT_EQ(0, M.InForce[D3D9_CONSTANT_PS_FLOAT][5]);
    EXPECT_EQ(255, M.InForce[D3D9_CONSTANT_PS_FLOAT][4]);
    EXPECT_EQ(0, std::memcmp(Fill(D3D9_CONSTANT_PS_FLOAT, 1, 2).data(), Device.Values[3][5], 16));
}

TEST_F(D3D9ShaderConstants, RangeListsMergeAndSplit)
{
    struct Case
    {
        const char *Name;
        std::vector<std::pair<int, int>> Start;  // ranges added first
        int Add, First, Count;
        std::vector<std::pair<int, int>> Expected;
    };
    const Case cases[] = {
        {"touching end extends", {{0, 4}}, 1, 4, 2, {{0, 6}}},
        {"bridges two", {{0, 2}, {5, 8}}, 1, 1, 5, {{0, 8}}},
        {"apart stays apart", {{0, 2}}, 1, 3, 1, {{0, 2}, {3, 4}}},
        {"inserted before", {{10, 12}}, 1, 1, 2, {{1, 3}, {10, 12}}},
        {"splits one", {{0, 10}}, 0, 3, 2, {{0, 3}, {5, 10}}},
        {"trims both ends", {{0, 4}, {6, 10}}, 0, 2, 6, {{0, 2}, {8, 10}}},
        {"removes whole", {{2, 4}}, 0, 0, 8, {}},
        {"count zero", {{2, 4}}, 0, 2, 0, {{2, 4}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        ShaderUsageSetRecord r = {};
        for (auto range : c.Start)
            Graphics_D3D9_ShaderConstant_UpdateUsedRange(&r, 1, range.first, range.second - range.first);
        Graphics_D3D9_ShaderConstant_UpdateUsedRange(&r, c.Add, c.First, c.Count);
        std::vector<std::pair<int, int>> got;
        for (int i = 0; i < r.RangeNum; ++i) got.emplace_back(r.RangeStart[i], r.RangeEnd[i]);
        EXPECT_EQ(c.Expected, got);
    }
}

TEST_F(D3D9ShaderConstants, RangesOutsideATypeAreRefused)
{
    for (int type = 0; type < 6; ++type) {
        SCOPED_TRACE(type);
        const int num = RegisterNums[type];
        EXPECT_EQ(-1, Set(type, 0, num - 1, 2, 1));
        EXPECT_EQ(-1, Set(type, 0, -1, 1, 1));
        EXPECT_EQ(-1, Graphics_D3D9_ShaderConstant_Reset(&M, type, 0, num, 1));
        EXPECT_EQ(-1, Graphics_D3D9_ShaderConstant_Upload(&M, type, num - 3, nullptr, 4));
        EXPECT_EQ(0, Set(type, 0, num - 1, 1, 1));
        EXPECT_EQ(0, M.Record[type * 4].RangeNum == 1 ? 0 : 1);
    }
    EXPECT_EQ(0, Device.Calls);
}

}  // namespace
