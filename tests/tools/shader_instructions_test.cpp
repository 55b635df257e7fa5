// What each instruction the emitter writes computes on the platform's Direct3D 11: a pixel
// shader made by the emitter (cross-built here) evaluates one group of instructions on
// constants and writes the result to a one-pixel float or integer target, which is read back
// and compared with the expected values. This catches a wrong opcode number, operand order or
// control bit that the validators and shader creation accept.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <functional>

#include "d3d11_test_device.h"
#include "tools/shader_emitter/sm4_builder.h"

using namespace dxbc;

namespace {

uint32_t F(float Value)
{
    uint32_t Bits;
    memcpy(&Bits, &Value, 4);
    return Bits;
}

uint32_t I(int32_t Value)
{
    return uint32_t(Value);
}

constexpr uint32_t True = 0xffffffffu;

struct Case {
    const char *What;
    std::function<void(ShaderBuilder &, const Reg &In)> Body;  // In = cb0[0..3]; writes all of r0
    uint32_t In[16];
    uint32_t Expected[4];
    bool Integer = false;       // the result is four integers (an integer target), else four floats
    float Tolerance = 1e-5f;
    bool DepthMap = false;      // t8/s8: a depth map cleared to 0.5 with a less-than comparison sampler
};

const Case Cases[] = {
    {"mad multiplies the first two and adds the third",
     [](ShaderBuilder &B, const Reg &In) { B.Mad(R(0), In[0], In[1], In[2]); },
     {F(2), F(3), F(4), F(5), F(3), F(4), F(5), F(6), F(1), F(1), F(1), F(1)},
     {F(7), F(13), F(21), F(31)}},
    {"div divides the first by the second",
     [](ShaderBuilder &B, const Reg &In) { B.Div(R(0), In[0], In[1]); },
     {F(1), F(9), F(-6), F(3), F(4), F(3), F(2), F(8)},
     {F(0.25f), F(3), F(-3), F(0.375f)}},
    {"negate and absolute modifiers",
     [](ShaderBuilder &B, const Reg &In) { B.Add(R(0), -In[0], Abs(In[1])); },
     {F(1), F(2), F(3), F(4), F(-5), F(6), F(-7), F(1)},
     {F(4), F(4), F(4), F(-3)}},
    {"min and max, lanes lined up with the mask",
     [](ShaderBuilder &B, const Reg &In) {
         B.Min(R(0)("xy"), In[0]("xy"), In[1]("xy"));
         B.Max(R(0)("zw"), In[0]("xy"), In[1]("xy"));
     },
     {F(1), F(5), F(0), F(0), F(3), F(2)},
     {F(1), F(2), F(3), F(5)}},
    {"dot products of two, three and four components",
     [](ShaderBuilder &B, const Reg &In) {
         B.Dp2(R(0)("x"), In[0], In[1]);
         B.Dp3(R(0)("y"), In[0], In[1]);
         B.Dp4(R(0)("z"), In[0], In[1]);
         B.Mov(R(0)("w"), Imm(0.0f));
     },
     {F(1), F(2), F(3), F(4), F(5), F(6), F(7), F(8)},
     {F(17), F(38), F(70), F(0)}},
    {"saturate clamps to 0-1",
     [](ShaderBuilder &B, const Reg &In) { B.Mov(Sat(R(0)), In[0]); },
     {F(-1), F(0.25f), F(1.5f), F(1)},
     {F(0), F(0.25f), F(1), F(1)}},
    {"frc, exp (base 2), log (base 2), sqrt",
     [](ShaderBuilder &B, const Reg &In) {
         B.Frc(R(0)("x"), In[0]("x"));
         B.Exp(R(0)("y"), In[0]("y"));
         B.Log(R(0)("z"), In[0]("z"));
         B.Sqrt(R(0)("w"), In[0]("w"));
     },
     {F(-1.25f), F(3), F(8), F(16)},
     {F(0.75f), F(8), F(3), F(4)}},
    {"rsq, and sincos writing sine first",
     [](ShaderBuilder &B, const Reg &In) {
         B.Rsq(R(0)("x"), In[0]("x"));
         B.SinCos(R(0)("y"), R(0)("z"), In[0]("y"));
         B.Mov(R(0)("w"), Imm(0.0f));
     },
     {F(4), F(0.5f)},
     {F(0.5f), F(sinf(0.5f)), F(cosf(0.5f)), F(0)},
     false, 1e-3f},
    {"rounding to nearest even, down, up and toward zero",
     [](ShaderBuilder &B, const Reg &In) {
         B.RoundNe(R(0)("x"), In[0]("x"));
         B.RoundNi(R(0)("y"), In[0]("y"));
         B.RoundPi(R(0)("z"), In[0]("z"));
         B.RoundZ(R(0)("w"), In[0]("w"));
     },
     {F(2.5f), F(-1.5f), F(1.25f), F(-1.75f)},
     {F(2), F(-2), F(2), F(-1)}},
    {"float to signed and unsigned integers truncate",
     [](ShaderBuilder &B, const Reg &In) {
         B.FtoI(R(0)("xz"), In[0]("xz"));
         B.FtoU(R(0)("yw"), In[0]("yw"));
     },
     {F(-3.7f), F(4.9f), F(2.5f), F(0.2f)},
     {I(-3), 4, 2, 0},
     true},
    {"signed and unsigned integers to float",
     [](ShaderBuilder &B, const Reg &In) {
         B.ItoF(R(0)("xz"), In[0]("xz"));
         B.UtoF(R(0)("yw"), In[0]("yw"));
     },
     {I(-7), 9, 0x80000000u, 0x80000000u},
     {F(-7), F(9), F(-2147483648.0f), F(2147483648.0f)}},
    {"float comparisons give all ones or zero",
     [](ShaderBuilder &B, const Reg &In) {
         B.Eq(R(0)("x"), In[0]("x"), In[1]("x"));
         B.Ne(R(0)("y"), In[0]("y"), In[1]("y"));
         B.Lt(R(0)("z"), In[0]("z"), In[1]("z"));
         B.Ge(R(0)("w"), In[0]("w"), In[1]("w"));
     },
     {F(1), F(1), F(2), F(2), F(1), F(2), F(1), F(2)},
     {True, True, 0, True},
     true},
    {"signed integer comparisons",
     [](ShaderBuilder &B, const Reg &In) {
         B.IEq(R(0)("x"), In[0]("x"), In[1]("x"));
         B.INe(R(0)("y"), In[0]("y"), In[1]("y"));
         B.ILt(R(0)("z"), In[0]("z"), In[1]("z"));
         B.IGe(R(0)("w"), In[0]("w"), In[1]("w"));
     },
     {5, 5, I(-1), I(-3), 5, 5, 1, I(-2)},
     {True, 0, True, 0},
     true},
    {"unsigned comparisons and signed minimum and maximum",
     [](ShaderBuilder &B, const Reg &In) {
         B.ULt(R(0)("x"), In[0]("x"), In[1]("x"));
         B.UGe(R(0)("y"), In[0]("y"), In[1]("y"));
         B.IMin(R(0)("z"), In[0]("z"), In[1]("z"));
         B.IMax(R(0)("w"), In[0]("w"), In[1]("w"));
     },
     {0xffffffffu, 0xffffffffu, I(-3), I(-3), 1, 1, 2, 2},
     {0, True, I(-3), 2},
     true},
    {"integer add, negate, multiply-add and left shift",
     [](ShaderBuilder &B, const Reg &In) {
         B.IAdd(R(0)("x"), In[0]("x"), In[1]("x"));
         B.INeg(R(0)("y"), In[0]("y"));
         B.IMad(R(0)("z"), In[0]("z"), In[1]("z"), In[2]("z"));
         B.IShl(R(0)("w"), In[0]("w"), In[1]("w"));
     },
     {7, 5, 3, 3, I(-3), 0, 4, 4, 0, 0, 5, 0},
     {4, I(-5), 17, 48},
     true},
    {"arithmetic and logical right shifts, and, or",
     [](ShaderBuilder &B, const Reg &In) {
         B.IShr(R(0)("x"), In[0]("x"), In[1]("x"));
         B.UShr(R(0)("y"), In[0]("y"), In[1]("y"));
         B.And(R(0)("z"), In[0]("z"), In[1]("z"));
         B.Or(R(0)("w"), In[0]("w"), In[1]("w"));
     },
     {I(-16), 0x80000000u, 0xf0f0u, 0xf0f0u, 2, 4, 0xff00u, 0x0f0fu},
     {I(-4), 0x08000000u, 0xf000u, 0xffffu},
     true},
    {"xor and not",
     [](ShaderBuilder &B, const Reg &In) {
         B.Xor(R(0)("xy"), In[0]("xy"), In[1]("xy"));
         B.Not(R(0)("zw"), In[0]("xy"));
     },
     {0xff00ff00u, 0x12345678u, 0, 0, 0x0ff00ff0u, 0x12345678u},
     {0xf0f0f0f0u, 0, 0x00ff00ffu, 0xedcba987u},
     true},
    {"movc picks the second operand where the first is non-zero",
     [](ShaderBuilder &B, const Reg &In) { B.Movc(R(0), In[0], In[1], In[2]); },
     {True, 0, 1, 0, F(1), F(2), F(3), F(4), F(5), F(6), F(7), F(8)},
     {F(1), F(6), F(3), F(8)}},
    {"if and else on zero and non-zero tests",
     [](ShaderBuilder &B, const Reg &In) {
         B.If(When::NonZero, In[0]("x"));
         B.Mov(R(0)("x"), In[1]("x"));
         B.Else();
         B.Mov(R(0)("x"), In[2]("x"));
         B.EndIf();
         B.If(When::Zero, In[0]("y"));
         B.Mov(R(0)("y"), In[1]("y"));
         B.Else();
         B.Mov(R(0)("y"), In[2]("y"));
         B.EndIf();
         B.If(When::NonZero, In[0]("z"));
         B.Mov(R(0)("zw"), In[1]("zw"));
         B.Else();
         B.Mov(R(0)("zw"), In[2]("zw"));
         B.EndIf();
     },
     {0, 0, 1, 0, F(1), F(2), F(3), F(4), F(5), F(6), F(7), F(8)},
     {F(5), F(2), F(3), F(4)}},
};

// A counting loop: i runs 1, 2, ... and the sum skips 4 (continue); breakc leaves when i
// reaches In.x, break (inside an if) when the sum reaches In.y.
void CountingLoop(ShaderBuilder &B, const Reg &In)
{
    B.Mov(R(0), ImmInt(0, 0, 0, 0));
    B.Mov(R(1)("x"), ImmInt(0));
    B.Loop();
    B.IGe(R(1)("y"), R(1)("x"), In[0]("x"));
    B.BreakC(When::NonZero, R(1)("y"));
    B.IGe(R(1)("w"), R(0)("x"), In[0]("y"));
    B.If(When::NonZero, R(1)("w"));
    B.Break();
    B.EndIf();
    B.IAdd(R(1)("x"), R(1)("x"), ImmInt(1));
    B.IEq(R(1)("z"), R(1)("x"), ImmInt(4));
    B.If(When::NonZero, R(1)("z"));
    B.Continue();
    B.EndIf();
    B.IAdd(R(0)("x"), R(0)("x"), R(1)("x"));
    B.IAdd(R(0)("y"), R(0)("y"), ImmInt(1));
    B.EndLoop();
}

const Case FlowCases[] = {
    {"loop ended by breakc, with continue", CountingLoop, {6, 1000}, {1 + 2 + 3 + 5 + 6, 5, 0, 0}, true},
    {"loop ended by break", CountingLoop, {100, 10}, {1 + 2 + 3 + 5, 4, 0, 0}, true},
    {"indexable temp read and written through a register",
     [](ShaderBuilder &B, const Reg &In) {
         const Reg X0 = B.IndexableTemp(0, 4, 4);
         B.Mov(X0[0], In[0]);
         B.Mov(X0[1], In[1]);
         B.Mov(X0[2], In[2]);
         B.FtoI(R(1)("x"), In[3]("x"));
         B.Mov(X0.At(R(1)("x"), 1), In[0]);
         B.Mov(R(0)("xyz"), X0.At(R(1)("x"))("xyz"));
         B.Mov(R(0)("w"), X0.At(R(1)("x"), 1)("y"));
     },
     {F(1), F(2), F(3), F(4), F(5), F(6), F(7), F(8), F(9), F(10), F(11), F(12), F(2)},
     {F(9), F(10), F(11), F(2)}},
    {"constant buffer indexed through a register",
     [](ShaderBuilder &B, const Reg &In) {
         B.FtoI(R(1)("x"), In[0]("x"));
         B.Mov(R(0), In.At(R(1)("x"), 1));
     },
     {F(2), 0, 0, 0, F(1), F(2), F(3), F(4), F(5), F(6), F(7), F(8), F(9), F(10), F(11), F(12)},
     {F(9), F(10), F(11), F(12)}},
    {"sample_c and sample_c_lz compare the reference with the depth map",
     [](ShaderBuilder &B, const Reg &In) {
         const Reg Depth = B.Texture2D(8);
         const Reg Compare = B.Sampler(8, SamplerMode::Comparison);
         B.SampleC(R(0)("x"), Imm(0.5f, 0.5f, 0.0f, 0.0f), Depth, Compare, In[0]("x"));
         B.SampleCLz(R(0)("y"), Imm(0.5f, 0.5f, 0.0f, 0.0f), Depth, Compare, In[0]("y"));
         B.SampleCLz(R(0)("z"), Imm(0.5f, 0.5f, 0.0f, 0.0f), Depth, Compare, In[0]("z"));
         B.Mov(R(0)("w"), Imm(0.0f));
     },
     {F(0.25f), F(0.75f), F(0.125f)},
     {F(1), F(0), F(1), F(0)},
     false, 1e-5f, true},
};

class ShaderInstructions : public ::testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite() { Ready = D3D.Open(); }
    static void TearDownTestSuite() { D3D.Close(); }

    // Builds the case's pixel shader, draws one pixel with it and returns the four result words.
    static bool Run(const Case &C, uint32_t Out[4])
    {
        ShaderBuilder B(Stage::Pixel);
        B.InputSystemValue("SV_Position", SystemValue::Position);
        const Reg In = B.ConstantBuffer(0, 4, true);
        const Reg Target = B.Output("SV_Target", 0, "xyzw", C.Integer ? ComponentType::Uint : ComponentType::Float);
        C.Body(B, In);
        B.Mov(Target, R(0));
        B.Ret();
        const Bytes Code = B.Finish();
        EXPECT_FALSE(Code.empty()) << B.Error();
        if (Code.empty()) return false;

        const std::vector<unsigned char> VertexCode = ReadSetShader("transfer.vso");
        Com<ID3D11VertexShader> Vs;
        Com<ID3D11PixelShader> Ps;
        Com<ID3D11InputLayout> Layout;
        const std::vector<D3D11_INPUT_ELEMENT_DESC> &Elements = LibraryLayouts[7];  // the transfer vertices
        EXPECT_EQ(D3D.Device->CreateVertexShader(VertexCode.data(), VertexCode.size(), nullptr, &Vs.p), S_OK);
        EXPECT_EQ(D3D.Device->CreatePixelShader(Code.data(), Code.size(), nullptr, &Ps.p), S_OK);
        EXPECT_EQ(D3D.Device->CreateInputLayout(Elements.data(), 3, VertexCode.data(), VertexCode.size(), &Layout.p), S_OK);
        if (!Vs.p || !Ps.p || !Layout.p) return false;

        // One triangle over the whole one-pixel target.
        const float Triangle[3][6] = {{-1, -1, 0, 0, 0, 0}, {-1, 3, 0, 0, 0, 0}, {3, -1, 0, 0, 0, 0}};
        Com<ID3D11Buffer> Vertices, Constants;
        Vertices.p = D3D.MakeBuffer(D3D11_BIND_VERTEX_BUFFER, Triangle, sizeof Triangle);
        Constants.p = D3D.MakeBuffer(D3D11_BIND_CONSTANT_BUFFER, C.In, sizeof C.In);
        if (!Vertices.p || !Constants.p) return false;
        if (!D3D.Begin(1, 1, C.Integer ? DXGI_FORMAT_R32G32B32A32_UINT : DXGI_FORMAT_R32G32B32A32_FLOAT, 16)) return false;

        Com<ID3D11Texture2D> DepthMap;
        Com<ID3D11DepthStencilView> DepthView;
        Com<ID3D11ShaderResourceView> DepthRead;
        Com<ID3D11SamplerState> Compare;
        if (C.DepthMap && !MakeDepthMap(&DepthMap.p, &DepthView.p, &DepthRead.p, &Compare.p)) return false;

        const UINT Stride = sizeof Triangle[0], Offset = 0;
        D3D.Context->IASetInputLayout(Layout.p);
        D3D.Context->IASetVertexBuffers(0, 1, &Vertices.p, &Stride, &Offset);
        D3D.Context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        D3D.Context->VSSetShader(Vs.p, nullptr, 0);
        D3D.Context->PSSetShader(Ps.p, nullptr, 0);
        D3D.Context->PSSetConstantBuffers(0, 1, &Constants.p);
        D3D.Context->Draw(3, 0);
        ID3D11ShaderResourceView *None = nullptr;
        D3D.Context->PSSetShaderResources(8, 1, &None);
        const std::vector<unsigned char> Pixel = D3D.ReadBack();
        memcpy(Out, Pixel.data(), 16);
        return true;
    }

    // A 1x1 depth map cleared to 0.5, bound as t8 with a less-than comparison sampler as s8.
    static bool MakeDepthMap(ID3D11Texture2D **Texture, ID3D11DepthStencilView **DepthView, ID3D11ShaderResourceView **Read,
                             ID3D11SamplerState **Compare)
    {
        D3D11_TEXTURE2D_DESC Desc = {};
        Desc.Width = Desc.Height = 1;
        Desc.MipLevels = Desc.ArraySize = 1;
        Desc.Format = DXGI_FORMAT_R32_TYPELESS;
        Desc.SampleDesc.Count = 1;
        Desc.BindFlags = D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE;
        EXPECT_EQ(D3D.Device->CreateTexture2D(&Desc, nullptr, Texture), S_OK);
        if (!*Texture) return false;
        D3D11_DEPTH_STENCIL_VIEW_DESC DsvDesc = {};
        DsvDesc.Format = DXGI_FORMAT_D32_FLOAT;
        DsvDesc.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
        D3D11_SHADER_RESOURCE_VIEW_DESC SrvDesc = {};
        SrvDesc.Format = DXGI_FORMAT_R32_FLOAT;
        SrvDesc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
        SrvDesc.Texture2D.MipLevels = 1;
        D3D11_SAMPLER_DESC Sampling = {};
        Sampling.Filter = D3D11_FILTER_COMPARISON_MIN_MAG_MIP_POINT;
        Sampling.AddressU = Sampling.AddressV = Sampling.AddressW = D3D11_TEXTURE_ADDRESS_CLAMP;
        Sampling.ComparisonFunc = D3D11_COMPARISON_LESS;
        Sampling.MaxLOD = D3D11_FLOAT32_MAX;
        EXPECT_EQ(D3D.Device->CreateDepthStencilView(*Texture, &DsvDesc, DepthView), S_OK);
        EXPECT_EQ(D3D.Device->CreateShaderResourceView(*Texture, &SrvDesc, Read), S_OK);
        EXPECT_EQ(D3D.Device->CreateSamplerState(&Sampling, Compare), S_OK);
        if (!*DepthView || !*Read || !*Compare) return false;
        D3D.Context->ClearDepthStencilView(*DepthView, D3D11_CLEAR_DEPTH, 0.5f, 0);
        D3D.Context->PSSetShaderResources(8, 1, Read);
        D3D.Context->PSSetSamplers(8, 1, Compare);
        return true;
    }

    static D3D11TestDevice D3D;
    static bool Ready;
};

D3D11TestDevice ShaderInstructions::D3D;
bool ShaderInstructions::Ready;

std::string CaseName(const ::testing::TestParamInfo<Case> &Info)
{
    std::string Name;
    for (const char *P = Info.param.What; *P; ++P)
        if (isalnum(static_cast<unsigned char>(*P))) Name += *P;
    return Name.substr(0, 40) + "_" + std::to_string(Info.index);
}

}  // namespace

TEST_P(ShaderInstructions, ComputeWhatTheyStandFor)
{
    ASSERT_TRUE(Ready);
    const Case &C = GetParam();
    uint32_t Out[4] = {};
    ASSERT_TRUE(Run(C, Out));
    for (int i = 0; i < 4; ++i) {
        if (C.Integer) {
            EXPECT_EQ(Out[i], C.Expected[i]) << C.What << ", component " << "xyzw"[i];
        } else {
            float Got, Want;
            memcpy(&Got, &Out[i], 4);
            memcpy(&Want, &C.Expected[i], 4);
            EXPECT_NEAR(Got, Want, C.Tolerance * (1 + fabsf(Want))) << C.What << ", component " << "xyzw"[i];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Arithmetic, ShaderInstructions, ::testing::ValuesIn(Cases), CaseName);
INSTANTIATE_TEST_SUITE_P(FlowAndAddressing, ShaderInstructions, ::testing::ValuesIn(FlowCases), CaseName);
