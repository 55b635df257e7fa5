#include "filter_set_d3d11.h"

#include <functional>

#include "sm4_builder.h"
#include "standard_set.h"
#include "zovuz/d3d11/shader/d3d11_standard_shaders.h"
#include "zovuz/filter/filter_d3d11_shaders.h"

namespace dxbc {

namespace {

const char *const Lane[4] = {"x", "y", "z", "w"};
constexpr float Eps = 0.001f;  // below 1/510, the smallest fraction of the quotients taken here

// One filter pixel shader being written. Values are kept as 8-bit numbers in floats (0-255, or
// larger integers below 2^24), so that the processor kernels' integer steps come out exact.
struct FilterPixel {
    ShaderBuilder B{Stage::Pixel};
    uint32_t Next = 0;
    Reg Uv[8];
    Reg Cb, Source, SourceSampler, Second, SecondSampler, Target;

    FilterPixel(int Coords, uint32_t Registers, bool SecondTexture)
    {
        B.InputSystemValue("SV_Position", SystemValue::Position);
        for (int i = 0; i < Coords; ++i) Uv[i] = B.Input("TEXCOORD", uint32_t(i), "xy");
        if (Registers) Cb = B.ConstantBuffer(FILTER_D3D11_CONSTANT_SLOT, Registers);
        Source = B.Texture2D(D3D11_TEXTURE_IMAGE);
        SourceSampler = B.Sampler(D3D11_TEXTURE_IMAGE);
        if (SecondTexture) {
            Second = B.Texture2D(D3D11_TEXTURE_BLEND);
            SecondSampler = B.Sampler(D3D11_TEXTURE_BLEND);
        }
        Target = B.Output("SV_Target", 0);
    }
    Reg Temp() { return R(Next++); }

    // The texel at Coord as four bytes.
    Reg Bytes(const Reg &Texture, const Reg &Sampler, const Reg &Coord)
    {
        const Reg T = Temp();
        B.Sample(T, Coord, Texture, Sampler);
        B.Mul(T, T, Imm(255.0f));
        B.RoundNe(T, T);
        return T;
    }
    Reg SourceBytes() { return Bytes(Source, SourceSampler, Uv[0]); }

    // D = floor(A / Divisor) for non-negative integers A and positive integers Divisor.
    void FloorDiv(const Reg &D, const Reg &A, const Reg &Divisor)
    {
        B.Div(D, A, Divisor);
        B.Add(D, D, Imm(Eps));
        B.RoundNi(D, D);
    }
    // D = A >> Shift (a floor, negative values too).
    void Shift(const Reg &D, const Reg &A, int Bits)
    {
        B.Mul(D, A, Imm(1.0f / float(1 << Bits)));
        B.RoundNi(D, D);
    }
    void Clamp255(const Reg &D)
    {
        B.Max(D, D, Imm(0.0f));
        B.Min(D, D, Imm(255.0f));
    }
    // D = X x A / 255, truncated: the multiply table.
    void MulTable(const Reg &D, const Reg &X, const Reg &A)
    {
        B.Mul(D, X, A);
        B.Mul(D, D, Imm(1.0f / 255.0f));
        B.Add(D, D, Imm(Eps));
        B.RoundNi(D, D);
    }
    // The straight colour of premultiplied bytes P: min(c x 255 / a, 255), 0 where a = 0; alpha kept.
    Reg Straight(const Reg &P)
    {
        const Reg S = Temp(), T = Temp();
        B.Max(T("x"), P("w"), Imm(1.0f));
        B.Mul(S("xyz"), P("xyz"), Imm(255.0f));
        FloorDiv(S("xyz"), S("xyz"), T("x"));
        B.Min(S("xyz"), S("xyz"), Imm(255.0f));
        B.Ne(T("y"), P("w"), Imm(0.0f));
        B.And(S("xyz"), S("xyz"), T("y"));
        B.Mov(S("w"), P("w"));
        return S;
    }
    // Bytes premultiplied by their own alpha (in place).
    void Premultiply(const Reg &P) { MulTable(P("xyz"), P("xyz"), P("w")); }
    // The colour a filter computes on from source bytes S: straight when the source is
    // premultiplied (Pma).
    Reg ColorOf(const Reg &S, int Pma) { return Pma ? Straight(S) : S; }
    // Writes straight bytes O, premultiplied first when the filter's output is (Pma).
    void WriteColor(const Reg &O, int Pma)
    {
        if (Pma) Premultiply(O);
        Write(O);
    }
    // The processor's brightness, 1224 R + 2404 G + 466 B, into D (one component).
    void Luma(const Reg &D, const Reg &P) { B.Dp3(D, P("xyz"), Imm(1224.0f, 2404.0f, 466.0f, 0.0f)); }
    // A float colour register as the kernels pack it: trunc(c x 255), 0-255, premultiplied by its
    // own alpha when Pma.
    Reg PackedColor(const Reg &Color, int Pma)
    {
        const Reg P = Temp();
        B.Mul(P, Color, Imm(255.0f));
        B.RoundZ(P, P);
        Clamp255(P);
        if (Pma) Premultiply(P);
        return P;
    }
    void Write(const Reg &P)
    {
        B.Mul(Target, P, Imm(1.0f / 255.0f));
        B.Ret();
    }
};

// ---- The lightness model of BrightnessScale and Hsb --------------------------------------------

// H = (max, min, delta, L) of bytes C (rgb), S.x = the saturation 0-256.
void LightnessOf(FilterPixel &P, const Reg &C, const Reg &H, const Reg &S)
{
    ShaderBuilder &B = P.B;
    const Reg T = P.Temp();
    B.Max(H("x"), C("x"), C("y"));
    B.Max(H("x"), H("x"), C("z"));
    B.Min(H("y"), C("x"), C("y"));
    B.Min(H("y"), H("y"), C("z"));
    B.Add(H("z"), H("x"), -H("y"));
    B.Add(T("x"), H("x"), H("y"));
    P.Shift(H("w"), T("x"), 1);
    B.Add(T("y"), -T("x"), Imm(512.0f));
    B.Ge(T("w"), Imm(128.0f), H("w"));
    B.Movc(T("z"), T("w"), T("x"), T("y"));
    B.Max(T("z"), T("z"), Imm(1.0f));
    B.Mul(T("x"), H("z"), Imm(256.0f));
    P.FloorDiv(S("x"), T("x"), T("z"));
}

// D.x = the hue 0-1535 of bytes C with lightness H; 0 for a grey.
void HueOf(FilterPixel &P, const Reg &C, const Reg &H, const Reg &D)
{
    ShaderBuilder &B = P.B;
    const Reg Dist = P.Temp(), T = P.Temp();
    B.Max(T("x"), H("z"), Imm(1.0f));
    B.Add(Dist("xyz"), -C("xyz"), H("x"));
    B.Mul(Dist("xyz"), Dist("xyz"), Imm(256.0f));
    P.FloorDiv(Dist("xyz"), Dist("xyz"), T("x"));
    // Red largest: dB - dG; green: dR - dB + 512; blue: dG - dR + 1024.
    B.Add(T("x"), Dist("z"), -Dist("y"));
    B.Add(T("y"), Dist("x"), -Dist("z"));
    B.Add(T("y"), T("y"), Imm(512.0f));
    B.Add(T("z"), Dist("y"), -Dist("x"));
    B.Add(T("z"), T("z"), Imm(1024.0f));
    B.Eq(T("w"), C("y"), H("x"));
    B.Movc(T("y"), T("w"), T("y"), T("z"));
    B.Eq(T("w"), C("x"), H("x"));
    B.Movc(D("x"), T("w"), T("x"), T("y"));
    B.Lt(T("w"), D("x"), Imm(0.0f));
    B.And(T("w"), T("w"), Imm(1536.0f));
    B.Add(D("x"), D("x"), T("w"));
    B.Ne(T("w"), H("z"), Imm(0.0f));
    B.And(D("x"), D("x"), T("w"));
}

// Pure.rgb = the pure colour of hue Hue.x (0-1535).
void PureColorOfHue(FilterPixel &P, const Reg &Hue, const Reg &Pure)
{
    ShaderBuilder &B = P.B;
    const Reg T = P.Temp();
    const Reg X = Hue("x");
    B.Add(T("xyz"), -X, Imm(511.0f, 1023.0f, 1535.0f, 0.0f));
    B.Add(Pure("xyz"), X, Imm(-1024.0f, 0.0f, -512.0f, 0.0f));
    B.Max(Pure("x"), Pure("x"), T("x"));
    B.Min(Pure("yz"), Pure("yz"), T("yz"));
    P.Clamp255(Pure("xyz"));
}

// Out.rgb = the channels rebuilt from the pure colour, saturation S.x 0-256 and lightness L.
void Rebuild(FilterPixel &P, const Reg &Pure, const Reg &S, const Reg &L, const Reg &Out)
{
    ShaderBuilder &B = P.B;
    const Reg C1 = P.Temp(), T = P.Temp(), U = P.Temp();
    B.Add(T("x"), -S("x"), Imm(256.0f));
    B.Add(C1("xyz"), -Pure("xyz"), Imm(128.0f));
    B.Mul(C1("xyz"), C1("xyz"), T("x"));
    P.Shift(C1("xyz"), C1("xyz"), 8);
    B.Add(C1("xyz"), C1("xyz"), Pure("xyz"));
    B.Mul(T("xyz"), C1("xyz"), L);
    P.Shift(T("xyz"), T("xyz"), 7);  // 2 L c1 >> 8
    B.Add(U("xyz"), -C1("xyz"), Imm(255.0f));
    B.Add(U("w"), L, Imm(-128.0f));
    B.Mul(U("xyz"), U("xyz"), U("w"));
    P.Shift(U("xyz"), U("xyz"), 7);
    B.Add(U("xyz"), U("xyz"), C1("xyz"));
    B.Ge(U("w"), Imm(128.0f), L);
    B.Movc(Out("xyz"), U("w"), T("xyz"), U("xyz"));
}

// ---- The filters ---------------------------------------------------------------------------------

void Mono(FilterPixel &P)
{
    ShaderBuilder &B = P.B;
    const Reg S = P.SourceBytes(), L = P.Temp(), K = P.Temp(), O = P.Temp();
    P.Luma(L("x"), S);
    // The tints as the kernel's fixed point: trunc(c1 x 255 x 4096).
    B.Mul(K("xyz"), P.Cb[1]("xyz"), Imm(255.0f));
    B.Mul(K("xyz"), K("xyz"), Imm(4096.0f));
    B.RoundZ(K("xyz"), K("xyz"));
    B.Add(O("xyz"), K("xyz"), L("x"));
    P.Shift(O("xyz"), O("xyz"), 12);
    P.Clamp255(O("xyz"));
    B.Mov(O("w"), S("w"));
    P.Write(O);
}

void Gauss(FilterPixel &P, int Half)
{
    ShaderBuilder &B = P.B;
    // The weights as the kernel truncates them, to 1/65536.
    const Reg W[4] = {P.Temp(), P.Temp(), P.Temp(), P.Temp()};
    for (int i = 0; i < (Half + 3) / 4; ++i) {
        B.Mul(W[i], P.Cb[uint32_t(i)], Imm(65536.0f));
        B.RoundNi(W[i], W[i]);
        B.Mul(W[i], W[i], Imm(1.0f / 65536.0f));
    }
    // Every tap is held to the centres of the rectangle's edge texels (c12), so that a tap beyond
    // the rectangle reads its edge, as the processor's blur does.
    const Reg Sum = P.Temp(), T = P.Temp(), Coord = P.Temp();
    const Reg Bounds = P.Cb[12];
    B.Max(Coord("xy"), P.Uv[0], Bounds("xy"));
    B.Min(Coord("xy"), Coord("xy"), Bounds("zw"));
    B.Sample(Sum, Coord("xy"), P.Source, P.SourceSampler);
    B.Mul(Sum, Sum, W[0]("x"));
    for (int i = 1; i < Half; ++i) {
        const Reg Offset = P.Cb[uint32_t(4 + i / 2)](i % 2 ? "zw" : "xy");
        const Reg Weight = W[i / 4](Lane[i % 4]);
        for (int Side = 0; Side < 2; ++Side) {
            B.Add(Coord("xy"), P.Uv[0], Side ? -Offset : Offset);
            B.Max(Coord("xy"), Coord("xy"), Bounds("xy"));
            B.Min(Coord("xy"), Coord("xy"), Bounds("zw"));
            B.Sample(T, Coord("xy"), P.Source, P.SourceSampler);
            B.Mad(Sum, T, Weight, Sum);
        }
    }
    B.Mul(Sum, Sum, Imm(255.0f));
    B.Add(Sum, Sum, Imm(Eps));
    B.RoundNi(Sum, Sum);
    P.Clamp255(Sum);
    P.Write(Sum);
}

void DownScale(FilterPixel &P, int Offsets)
{
    ShaderBuilder &B = P.B;
    const Reg Sum = P.Temp(), T = P.Temp(), Coord = P.Temp();
    for (int i = 0; i < Offsets; ++i) {
        B.Add(Coord("xy"), P.Uv[0], P.Cb[uint32_t(i / 2)](i % 2 ? "zw" : "xy"));
        if (i == 0) {
            B.Sample(Sum, Coord("xy"), P.Source, P.SourceSampler);
        } else {
            B.Sample(T, Coord("xy"), P.Source, P.SourceSampler);
            B.Add(Sum, Sum, T);
        }
    }
    // Each linear sample is the mean of a 2 x 2 block: the mean of all, truncated.
    B.Mul(Sum, Sum, Imm(255.0f / float(Offsets)));
    B.Add(Sum, Sum, Imm(Eps));
    B.RoundNi(Sum, Sum);
    P.Clamp255(Sum);
    P.Write(Sum);
}

void BrightClip(FilterPixel &P, int Greater, int Fill, int Pma)
{
    ShaderBuilder &B = P.B;
    const Reg S = P.SourceBytes(), T = P.Temp();
    P.Luma(T("x"), P.ColorOf(S, Pma));
    B.Mul(T("y"), P.Cb[0]("x"), Imm(255.0f));
    B.Mul(T("y"), T("y"), Imm(4096.0f));
    B.RoundZ(T("y"), T("y"));
    if (Greater) B.Lt(T("z"), T("y"), T("x"));
    else B.Lt(T("z"), T("x"), T("y"));
    if (!Fill) {
        // A clipped pixel without a fill leaves the destination as it is.
        B.Discard(When::NonZero, T("z"));
        P.Write(S);
        return;
    }
    const Reg F = P.PackedColor(P.Cb[2], Pma);
    B.Movc(F, T("z"), F, S);
    P.Write(F);
}

void BrightnessScale(FilterPixel &P, int Pma)
{
    ShaderBuilder &B = P.B;
    const Reg S = P.SourceBytes();
    const Reg C = P.ColorOf(S, Pma);
    const Reg H = P.Temp(), Sat = P.Temp(), Hue = P.Temp(), Pure = P.Temp(), L = P.Temp(), O = P.Temp();
    LightnessOf(P, C, H, Sat);
    HueOf(P, C, H, Hue);
    PureColorOfHue(P, Hue, Pure);
    // The lightness range lo-hi stretched to 0-255.
    B.Mul(L("x"), P.Cb[0]("x"), Imm(255.0f));
    B.RoundNe(L("x"), L("x"));
    B.Add(L("x"), H("w"), -L("x"));
    B.Mul(L("x"), L("x"), P.Cb[0]("y"));
    B.Add(L("x"), L("x"), Imm(Eps));
    B.RoundNi(L("x"), L("x"));
    P.Clamp255(L("x"));
    Rebuild(P, Pure, Sat, L("x"), O);
    B.Mov(O("w"), S("w"));
    P.WriteColor(O, Pma);
}

void Hsb(FilterPixel &P, int Lock, int Pma)
{
    ShaderBuilder &B = P.B;
    const Reg S = P.SourceBytes();
    const Reg C = P.ColorOf(S, Pma);
    const Reg K = P.Temp(), Br = P.Temp(), T = P.Temp();
    // The integer hue, saturation and brightness of c0.
    B.Max(K("z"), P.Cb[0]("z"), Imm(-1.0f));
    B.Min(K("z"), K("z"), Imm(1.0f));
    B.Mov(K("xy"), P.Cb[0]("xy"));
    B.Mul(K("xyz"), K("xyz"), Imm(256.0f));
    B.RoundZ(K("xyz"), K("xyz"));
    // Brightness: towards white by bi / 256, or towards black.
    B.Add(T("xyz"), -C("xyz"), Imm(255.0f));
    B.Mul(T("xyz"), T("xyz"), K("z"));
    P.Shift(T("xyz"), T("xyz"), 8);
    B.Add(T("xyz"), T("xyz"), C("xyz"));
    B.Add(Br("w"), K("z"), Imm(256.0f));
    B.Mul(Br("xyz"), C("xyz"), Br("w"));
    P.Shift(Br("xyz"), Br("xyz"), 8);
    B.Lt(Br("w"), Imm(0.0f), K("z"));
    B.Movc(Br("xyz"), Br("w"), T("xyz"), Br("xyz"));

    const Reg H = P.Temp(), Sat = P.Temp(), Hue = P.Temp(), Pure = P.Temp(), O = P.Temp();
    LightnessOf(P, Br, H, Sat);
    B.Add(Sat("y"), K("y"), Imm(256.0f));
    B.Mul(Sat("x"), Sat("x"), Sat("y"));
    P.Shift(Sat("x"), Sat("x"), 8);
    B.Min(Sat("x"), Sat("x"), Imm(256.0f));
    if (Lock) {
        B.Mov(Hue("x"), K("x"));
    } else {
        HueOf(P, Br, H, Hue);
        B.Add(Hue("x"), Hue("x"), K("x"));
        B.Lt(T("w"), Hue("x"), Imm(0.0f));
        B.And(T("w"), T("w"), Imm(1536.0f));
        B.Add(Hue("x"), Hue("x"), T("w"));
    }
    B.Ge(T("w"), Hue("x"), Imm(1536.0f));
    B.And(T("w"), T("w"), Imm(1536.0f));
    B.Add(Hue("x"), Hue("x"), -T("w"));
    PureColorOfHue(P, Hue, Pure);
    Rebuild(P, Pure, Sat, H("w"), O);
    B.Mov(O("w"), S("w"));
    P.WriteColor(O, Pma);
}

void Invert(FilterPixel &P, int Pma)
{
    ShaderBuilder &B = P.B;
    const Reg S = P.SourceBytes();
    const Reg C = P.ColorOf(S, Pma);
    const Reg O = P.Temp();
    B.Add(O("xyz"), -C("xyz"), Imm(255.0f));
    B.Mov(O("w"), S("w"));
    P.WriteColor(O, Pma);
}

void Level(FilterPixel &P, int Pma)
{
    ShaderBuilder &B = P.B;
    const Reg S = P.SourceBytes();
    const Reg C = P.ColorOf(S, Pma);
    const Reg Range = P.Temp(), T = P.Temp(), Step = P.Temp(), O = P.Temp(), Coord = P.Temp(), G = P.Temp();
    const Reg Lo = P.Cb[1]("x");
    B.Add(Range("x"), P.Cb[1]("y"), -Lo);
    B.Add(Range("y"), P.Cb[1]("w"), -P.Cb[1]("z"));
    B.Max(Range("z"), Range("x"), Imm(1.0f));
    // The curve's index: (c - lo) x 256 / range, held to 0-255; an empty range is a step at lo.
    B.Add(T("xyz"), C("xyz"), -Lo);
    B.Mul(T("xyz"), T("xyz"), Imm(256.0f));
    B.Div(T("xyz"), T("xyz"), Range("z"));
    B.Add(T("xyz"), T("xyz"), Imm(Eps));
    B.RoundNi(T("xyz"), T("xyz"));
    P.Clamp255(T("xyz"));
    B.Lt(Step("xyz"), Lo, C("xyz"));
    B.And(Step("xyz"), Step("xyz"), Imm(255.0f));
    B.Eq(Range("w"), Range("x"), Imm(0.0f));
    B.Movc(T("xyz"), Range("w"), Step("xyz"), T("xyz"));
    // The gamma graph holds the curve in its 256 texels; each channel reads its own.
    B.Add(T("xyz"), T("xyz"), Imm(0.5f));
    B.Mul(T("xyz"), T("xyz"), Imm(1.0f / 256.0f));
    B.Mov(Coord("y"), Imm(0.5f));
    for (int i = 0; i < 3; ++i) {
        B.Mov(Coord("x"), T(Lane[i]));
        B.Sample(G, Coord("xy"), P.Second, P.SecondSampler);
        B.Mov(O(Lane[i]), G("x"));
    }
    B.Mul(O("xyz"), O("xyz"), Imm(255.0f));
    B.RoundNe(O("xyz"), O("xyz"));
    // (v x (ohi - olo) + olo x 256) >> 8
    B.Mul(O("xyz"), O("xyz"), Range("y"));
    B.Mad(O("xyz"), P.Cb[1]("z"), Imm(256.0f), O("xyz"));
    P.Shift(O("xyz"), O("xyz"), 8);
    B.Mov(O("w"), S("w"));
    P.WriteColor(O, Pma);
}

void TwoColor(FilterPixel &P, int Pma)
{
    ShaderBuilder &B = P.B;
    const Reg S = P.SourceBytes(), T = P.Temp();
    P.Luma(T("x"), P.ColorOf(S, Pma));
    B.Mul(T("y"), P.Cb[0]("w"), Imm(255.0f));
    B.Mul(T("y"), T("y"), Imm(4096.0f));
    B.RoundZ(T("y"), T("y"));
    B.Lt(T("z"), T("x"), T("y"));
    const Reg Low = P.PackedColor(P.Cb[1], Pma), High = P.PackedColor(P.Cb[2], Pma);
    B.Movc(Low, T("z"), Low, High);
    P.Write(Low);
}

void GradientMap(FilterPixel &P, int Reverse, int Pma)
{
    ShaderBuilder &B = P.B;
    const Reg S = P.SourceBytes(), T = P.Temp();
    P.Luma(T("x"), P.ColorOf(S, Pma));
    P.Shift(T("x"), T("x"), 12);
    if (Reverse) B.Add(T("x"), -T("x"), Imm(255.0f));
    // Entry i is the gradient's top-row pixel (i x width) >> 8.
    B.Mul(T("x"), T("x"), P.Cb[1]("x"));
    P.Shift(T("x"), T("x"), 8);
    B.Add(T("x"), T("x"), Imm(0.5f));
    B.Mul(T("x"), T("x"), P.Cb[1]("y"));
    B.Mov(T("y"), P.Cb[1]("z"));
    const Reg G = P.Bytes(P.Second, P.SecondSampler, T("xy"));
    if (Pma) P.Premultiply(G);
    P.Write(G);
}

void PremultipliedAlpha(FilterPixel &P)
{
    ShaderBuilder &B = P.B;
    const Reg S = P.SourceBytes();
    B.Mul(S("xyz"), S("xyz"), S("w"));
    P.Shift(S("xyz"), S("xyz"), 8);
    P.Write(S);
}

void InterpolatedAlpha(FilterPixel &P) { P.Write(P.Straight(P.SourceBytes())); }

// Y in the blue byte (the first) of the source; U and V in the first two bytes (blue, green) of
// the chroma graph, or, without one, in the source's green and red bytes.
void YuvToRgb(FilterPixel &P, int ChromaGraph, int Rra)
{
    ShaderBuilder &B = P.B;
    const Reg L = P.SourceBytes();
    Reg Chroma = L, ChromaCoord;
    if (ChromaGraph) {
        ChromaCoord = P.Temp();
        B.Mul(ChromaCoord("xy"), P.Uv[0], P.Cb[0]("xy"));
        Chroma = P.Bytes(P.Second, P.SecondSampler, ChromaCoord("xy"));
    }
    const Reg U = ChromaGraph ? Chroma("z") : Chroma("y"), V = ChromaGraph ? Chroma("y") : Chroma("x");
    const Reg T = P.Temp(), O = P.Temp();
    B.Add(T("x"), U, Imm(-128.0f));
    B.Add(T("y"), V, Imm(-128.0f));
    B.Mul(T("z"), L("z"), Imm(32768.0f));
    B.Mad(O("z"), T("x"), Imm(58064.0f), T("z"));
    B.Mad(O("y"), T("x"), Imm(-11272.0f), T("z"));
    B.Mad(O("y"), T("y"), Imm(-23396.0f), O("y"));
    B.Mad(O("x"), T("y"), Imm(45940.0f), T("z"));
    if (Rra) {
        // The alpha is the red of the right half's pixel.
        const Reg Coord = P.Temp();
        B.Add(Coord("x"), P.Uv[0]("x"), P.Cb[0]("z"));
        B.Mov(Coord("y"), P.Uv[0]("y"));
        const Reg Right = P.Bytes(P.Source, P.SourceSampler, Coord("xy"));
        Reg RightV = Right("x");
        if (ChromaGraph) {
            const Reg RightCoord = P.Temp();
            B.Add(RightCoord("x"), ChromaCoord("x"), P.Cb[0]("w"));
            B.Mov(RightCoord("y"), ChromaCoord("y"));
            RightV = P.Bytes(P.Second, P.SecondSampler, RightCoord("xy"))("y");
        }
        B.Add(T("w"), RightV, Imm(-128.0f));
        B.Mul(T("z"), Right("z"), Imm(32768.0f));
        B.Mad(O("w"), T("w"), Imm(45940.0f), T("z"));
        P.Shift(O, O, 15);
    } else {
        P.Shift(O("xyz"), O("xyz"), 15);
        B.Mov(O("w"), Imm(255.0f));
    }
    P.Clamp255(O);
    P.Write(O);
}

// Snaps coordinate pair Coord (texels of size Texel = (1/w, 1/h)) to the centre of the texel it
// lies in, so that point sampling reads that texel whatever the rounding at its edges.
void SnapToTexel(FilterPixel &P, const Reg &D, const Reg &Coord)
{
    ShaderBuilder &B = P.B;
    B.Mul(D("xy"), Coord, P.Cb[0]("xy"));
    B.RoundNi(D("xy"), D("xy"));
    B.Add(D("xy"), D("xy"), Imm(0.5f));
    B.Div(D("xy"), D("xy"), P.Cb[0]("xy"));
}

// Bicubic (Catmull-Rom): pairs 0-3 are column -1 of rows -1..2, pairs 4-7 column 0; columns 1
// and 2 are c0.z (two texels) to the right.
void Bicubic(FilterPixel &P)
{
    ShaderBuilder &B = P.B;
    const Reg T = P.Temp(), Wx = P.Temp(), Wy = P.Temp(), Sum = P.Temp(), Coord = P.Temp(), Texel = P.Temp();
    // t = the fraction of the position past the centre of texel 0.
    B.Mul(T("x"), P.Uv[4]("x"), P.Cb[0]("x"));
    B.Mul(T("y"), P.Uv[1]("y"), P.Cb[0]("y"));
    B.Frc(T("xy"), T("xy"));
    for (int Axis = 0; Axis < 2; ++Axis) {
        const Reg W = Axis ? Wy : Wx;
        const Reg X = T(Lane[Axis]), X2 = T(Lane[2]), X3 = T(Lane[3]);
        B.Mul(X2, X, X);
        B.Mul(X3, X2, X);
        // w0 = (-t^3 + 2t^2 - t) / 2, w1 = (3t^3 - 5t^2 + 2) / 2, w2 = (-3t^3 + 4t^2 + t) / 2,
        // w3 = (t^3 - t^2) / 2
        B.Mul(W, X3, Imm(-0.5f, 1.5f, -1.5f, 0.5f));
        B.Mad(W, X2, Imm(1.0f, -2.5f, 2.0f, -0.5f), W);
        B.Mad(W, X, Imm(-0.5f, 0.0f, 0.5f, 0.0f), W);
        B.Add(W, W, Imm(0.0f, 1.0f, 0.0f, 0.0f));
    }
    bool First = true;
    for (int Row = 0; Row < 4; ++Row)
        for (int Column = 0; Column < 4; ++Column) {
            const Reg Pair = P.Uv[Column % 2 ? 4 + Row : Row];
            SnapToTexel(P, Coord, Pair);
            if (Column >= 2) B.Add(Coord("x"), Coord("x"), P.Cb[0]("z"));
            B.Sample(Texel, Coord("xy"), P.Source, P.SourceSampler);
            B.Mul(Coord("z"), Wx(Lane[Column]), Wy(Lane[Row]));
            if (First) B.Mul(Sum, Texel, Coord("z"));
            else B.Mad(Sum, Texel, Coord("z"), Sum);
            First = false;
        }
    B.Mov(Sat(P.Target), Sum);
    B.Ret();
}

// Lanczos3: pairs 0-5 are column 0 of rows -2..3; the columns -2..3 are steps of c0.z apart.
// Weights sinc(x) sinc(x / 3), normalised.
void Lanczos3(FilterPixel &P)
{
    ShaderBuilder &B = P.B;
    const Reg T = P.Temp(), Wx[2] = {P.Temp(), P.Temp()}, Wy[2] = {P.Temp(), P.Temp()};
    const Reg Sum = P.Temp(), Coord = P.Temp(), Texel = P.Temp(), X = P.Temp(), S1 = P.Temp(), S3 = P.Temp();
    B.Mul(T("x"), P.Uv[0]("x"), P.Cb[0]("x"));
    B.Mul(T("y"), P.Uv[2]("y"), P.Cb[0]("y"));
    B.Frc(T("xy"), T("xy"));
    const float Pi = 3.14159265f;
    for (int Axis = 0; Axis < 2; ++Axis) {
        const Reg *W = Axis ? Wy : Wx;
        for (int Half = 0; Half < 2; ++Half) {
            // Distances of taps -2..3 (three per register) from the position, nudged off zero.
            const float K = Half ? 1.0f : -2.0f;
            B.Add(X("xyz"), -T(Lane[Axis]), Imm(K + 1e-4f, K + 1.0f + 1e-4f, K + 2.0f + 1e-4f, 0.0f));
            B.Mul(X("xyz"), X("xyz"), Imm(Pi));
            B.SinCos(S1("xyz"), Null(), X("xyz"));
            B.Mul(S3("xyz"), X("xyz"), Imm(1.0f / 3.0f));
            B.SinCos(S3("xyz"), Null(), S3("xyz"));
            B.Mul(S1("xyz"), S1("xyz"), S3("xyz"));
            B.Mul(X("xyz"), X("xyz"), X("xyz"));
            B.Mul(S1("xyz"), S1("xyz"), Imm(3.0f));
            B.Div(W[Half]("xyz"), S1("xyz"), X("xyz"));
        }
        // Normalised so that a flat picture stays flat.
        B.Add(X("x"), W[0]("x"), W[0]("y"));
        B.Add(X("x"), X("x"), W[0]("z"));
        B.Add(X("x"), X("x"), W[1]("x"));
        B.Add(X("x"), X("x"), W[1]("y"));
        B.Add(X("x"), X("x"), W[1]("z"));
        B.Div(W[0]("xyz"), W[0]("xyz"), X("x"));
        B.Div(W[1]("xyz"), W[1]("xyz"), X("x"));
    }
    bool First = true;
    for (int Row = 0; Row < 6; ++Row)
        for (int Column = 0; Column < 6; ++Column) {
            SnapToTexel(P, Coord, P.Uv[Row]);
            B.Mad(Coord("x"), P.Cb[0]("z"), Imm(float(Column - 2)), Coord("x"));
            B.Sample(Texel, Coord("xy"), P.Source, P.SourceSampler);
            B.Mul(Coord("z"), Wx[Column / 3](Lane[Column % 3]), Wy[Row / 3](Lane[Row % 3]));
            if (First) B.Mul(Sum, Texel, Coord("z"));
            else B.Mad(Sum, Texel, Coord("z"), Sum);
            First = false;
        }
    B.Mov(Sat(P.Target), Sum);
    B.Ret();
}

// ---- Blends ----------------------------------------------------------------------------------------

// F.xyz = the value of blend type Type for straight source bytes Sc and blend bytes Bc.
void BlendValue(FilterPixel &P, int Type, const Reg &Sc, const Reg &Bc, const Reg &F)
{
    ShaderBuilder &B = P.B;
    const Reg s = Sc("xyz"), b = Bc("xyz"), f = F("xyz");
    const Reg T = P.Temp(), U = P.Temp(), M = P.Temp();
    // ((256 - s) b + 256 s) x 2 >> 8, less 255: the upper half of Overlay and HardLight.
    auto Upper = [&](const Reg &D) {
        B.Add(D, -s, Imm(256.0f));
        B.Mul(D, D, b);
        B.Mad(D, s, Imm(256.0f), D);
        P.Shift(D, D, 7);
        B.Add(D, D, Imm(-255.0f));
    };
    switch (Type) {
        case 0: B.Mov(f, b); break;
        case 2:
            B.Mul(f, b, s);
            P.Shift(f, f, 8);
            break;
        case 3:
            B.Add(f, s, -b);
            B.Max(f, f, Imm(0.0f));
            break;
        case 4:
            B.Add(f, s, b);
            B.Min(f, f, Imm(255.0f));
            break;
        case 5:
            B.Add(T("xyz"), -s, Imm(255.0f));
            B.Add(U("xyz"), -b, Imm(255.0f));
            B.Mul(T("xyz"), T("xyz"), U("xyz"));
            P.Shift(T("xyz"), T("xyz"), 8);
            B.Add(f, -T("xyz"), Imm(255.0f));
            break;
        case 6:
        case 12: {
            // Overlay chooses by the source, HardLight by the blend.
            const Reg By = Type == 6 ? s : b;
            B.Mul(T("xyz"), s, b);
            P.Shift(T("xyz"), T("xyz"), 7);
            Upper(U("xyz"));
            B.Lt(M("xyz"), By, Imm(128.0f));
            B.Movc(f, M("xyz"), T("xyz"), U("xyz"));
            B.Min(f, f, Imm(255.0f));
            break;
        }
        case 7:
            B.Add(T("xyz"), -b, Imm(255.0f));
            B.Max(U("xyz"), T("xyz"), Imm(1.0f));
            B.Mul(f, s, Imm(256.0f));
            P.FloorDiv(f, f, U("xyz"));
            B.Min(f, f, Imm(255.0f));
            B.Eq(M("xyz"), T("xyz"), Imm(0.0f));
            B.Movc(f, M("xyz"), Imm(255.0f), f);
            break;
        case 8:
            // ((s - 255) x 256) / (b + 1) truncates towards zero.
            B.Add(T("xyz"), -s, Imm(255.0f));
            B.Mul(T("xyz"), T("xyz"), Imm(256.0f));
            B.Add(U("xyz"), b, Imm(1.0f));
            P.FloorDiv(T("xyz"), T("xyz"), U("xyz"));
            B.Add(f, -T("xyz"), Imm(255.0f));
            B.Max(f, f, Imm(0.0f));
            break;
        case 9: B.Min(f, s, b); break;
        case 10: B.Max(f, s, b); break;
        case 11:
            // pow(s / 255, e), e = (1 - b / 255) x 2 below 128, else 0.5 / (b / 255).
            B.Mul(T("xyz"), b, Imm(-2.0f / 255.0f));
            B.Add(T("xyz"), T("xyz"), Imm(2.0f));
            B.Max(U("xyz"), b, Imm(1.0f));
            B.Div(U("xyz"), Imm(127.5f), U("xyz"));
            B.Lt(M("xyz"), b, Imm(128.0f));
            B.Movc(T("xyz"), M("xyz"), T("xyz"), U("xyz"));
            B.Mul(U("xyz"), s, Imm(1.0f / 255.0f));
            B.Log(U("xyz"), U("xyz"));
            B.Mul(U("xyz"), U("xyz"), T("xyz"));
            B.Exp(U("xyz"), U("xyz"));
            B.Mul(f, U("xyz"), Imm(255.0f));
            B.RoundZ(f, f);
            P.Clamp255(f);
            break;
        case 13:
            B.Add(T("xyz"), -s, Imm(128.0f));
            B.Mul(T("xyz"), T("xyz"), b);
            B.Mad(f, s, Imm(128.0f), T("xyz"));
            P.Shift(f, f, 7);
            B.Min(f, f, Imm(255.0f));
            break;
        default: B.Mov(f, s); break;
    }
}

void BasicBlend(FilterPixel &P, int Type, int Pma)
{
    ShaderBuilder &B = P.B;
    const Reg Sp = P.SourceBytes(), Bp = P.Bytes(P.Second, P.SecondSampler, P.Uv[1]);
    const Reg s = Pma ? P.Straight(Sp) : Sp, b = Pma ? P.Straight(Bp) : Bp;
    const Reg K = P.Temp(), O = P.Temp();
    // K.x = Ratio256, K.y = w = blend alpha x Ratio256, K.z = bw = w >> 8.
    B.Mul(K("x"), P.Cb[0]("x"), Imm(256.0f));
    B.RoundZ(K("x"), K("x"));
    B.Mul(K("y"), Bp("w"), K("x"));
    P.Shift(K("z"), K("y"), 8);
    const Reg sa = Sp("w");
    if (Type == 14 || Type == 15) {
        const Reg A = P.Temp(), N = P.Temp();
        B.Add(A("x"), -K("z"), Imm(256.0f));  // 256 - bw
        B.Mul(A("y"), sa, A("x"));
        B.Mad(A("y"), K("z"), Imm(256.0f), A("y"));  // sa (256 - bw) + bw 256
        if (Type == 15) P.Shift(A("y"), A("y"), 8);
        // Nothing to show: the destination keeps its pixel.
        B.Eq(A("z"), A("y"), Imm(0.0f));
        B.Discard(When::NonZero, A("z"));
        if (Type == 14) {
            B.Mul(N("xyz"), s("xyz"), sa);
            B.Mul(N("xyz"), N("xyz"), A("x"));
            B.Mul(O("xyz"), b("xyz"), K("z"));
            B.Mad(N("xyz"), O("xyz"), Imm(256.0f), N("xyz"));
            P.FloorDiv(O("xyz"), N("xyz"), A("y"));
            P.Shift(O("w"), A("y"), 8);
        } else {
            B.Mul(N("xyz"), b("xyz"), K("z"));
            B.Mad(N("xyz"), s("xyz"), sa, N("xyz"));
            P.FloorDiv(O("xyz"), N("xyz"), A("y"));
            B.Min(O("xyz"), O("xyz"), Imm(255.0f));
            B.Mov(O("w"), A("y"));
        }
        P.WriteColor(O, Pma);
        return;
    }
    if (Type == 16) {
        // a = sa + ((ba x sa >> 8) - sa) x Ratio256 x 255 >> 16; the colour kept.
        const Reg A = P.Temp();
        B.Mul(A("x"), Bp("w"), sa);
        P.Shift(A("x"), A("x"), 8);
        B.Add(A("x"), A("x"), -sa);
        B.Mul(A("x"), A("x"), K("x"));
        B.Mul(A("x"), A("x"), Imm(255.0f));
        P.Shift(A("x"), A("x"), 16);
        B.Add(O("w"), A("x"), sa);
        B.Mov(O("xyz"), s("xyz"));
        P.WriteColor(O, Pma);
        return;
    }
    const Reg F = P.Temp();
    BlendValue(P, Type, s, b, F);
    // The weighted mix: s + ((f - s) w >> 16).
    B.Add(O("xyz"), F("xyz"), -s("xyz"));
    B.Mul(O("xyz"), O("xyz"), K("y"));
    P.Shift(O("xyz"), O("xyz"), 16);
    B.Add(O("xyz"), O("xyz"), s("xyz"));
    B.Mov(O("w"), sa);
    P.WriteColor(O, Pma);
}

// The channel mix whose selectors (0-3 the source's channels, 4-7 the blend's) are read from c0
// as selector + 0.5; a selector outside 0-7 matches no channel and gives 0.
void ChannelMixBase(FilterPixel &P)
{
    ShaderBuilder &B = P.B;
    const Reg S = P.Temp(), Bl = P.Temp(), Sel = P.Temp(), M = P.Temp(), O = P.Temp(), T = P.Temp();
    B.Sample(S, P.Uv[0], P.Source, P.SourceSampler);
    B.Sample(Bl, P.Uv[1], P.Second, P.SecondSampler);
    B.RoundNi(Sel, P.Cb[0]);
    for (int Out = 0; Out < 4; ++Out) {
        B.Eq(M, Sel(Lane[Out]), Imm(0.0f, 1.0f, 2.0f, 3.0f));
        B.And(T, S, M);
        B.Eq(M, Sel(Lane[Out]), Imm(4.0f, 5.0f, 6.0f, 7.0f));
        B.And(M, Bl, M);
        B.Add(T, T, M);
        B.Dp4(O(Lane[Out]), T, Imm(1.0f, 1.0f, 1.0f, 1.0f));
    }
    B.Mov(P.Target, O);
    B.Ret();
}

// A named channel mix: red, green and blue from source channels Rgb, alpha from blend channel A.
void ChannelMixNamed(FilterPixel &P, const int Rgb[3], int A)
{
    ShaderBuilder &B = P.B;
    const Reg S = P.Temp(), Bl = P.Temp(), O = P.Temp();
    B.Sample(S, P.Uv[0], P.Source, P.SourceSampler);
    B.Sample(Bl, P.Uv[1], P.Second, P.SecondSampler);
    for (int i = 0; i < 3; ++i) B.Mov(O(Lane[i]), S(Lane[Rgb[i]]));
    B.Mov(O("w"), Bl(Lane[A]));
    B.Mov(P.Target, O);
    B.Ret();
}

// ---- The set ---------------------------------------------------------------------------------------

struct Entry {
    std::string Name;
    int Coords;          // 2, or 8 for the tap filters
    uint32_t Registers;  // constant registers read
    bool SecondTexture;
    std::function<void(FilterPixel &)> Body;
};

std::vector<Entry> FilterEntries()
{
    std::vector<Entry> E;
    auto Add = [&](const std::string &Name, uint32_t Registers, bool Second, std::function<void(FilterPixel &)> Body,
                   int Coords = 2) { E.push_back({Name, Coords, Registers, Second, std::move(Body)}); };
    auto Suffix = [](int Pma) { return std::string(Pma ? "_PMA.pso" : ".pso"); };
    Add("Mono.pso", 2, false, Mono);
    for (int i = 0; i < 3; ++i)
        Add(FilterD3D11FilterShaderNames[1 + i], 13, false, [i](FilterPixel &P) { Gauss(P, 4 << i); });
    for (int i = 0; i < 3; ++i) {
        const int Offsets = 1 << (2 * i);  // ratio 2, 4, 8: 1, 4 and 16 samples of 2 x 2 texels
        Add(FilterD3D11FilterShaderNames[4 + i], uint32_t((Offsets + 1) / 2), false,
            [Offsets](FilterPixel &P) { DownScale(P, Offsets); });
    }
    for (int Greater = 0; Greater < 2; ++Greater)
        for (int Fill = 0; Fill < 2; ++Fill)
            for (int Pma = 0; Pma < 2; ++Pma)
                Add(std::string("BrightClip") + (Fill ? "Fill" : "") + (Greater ? "Greater" : "Less") + Suffix(Pma),
                    Fill ? 3 : 1, false, [=](FilterPixel &P) { BrightClip(P, Greater, Fill, Pma); });
    for (int Pma = 0; Pma < 2; ++Pma)
        Add("BrightnessScale" + Suffix(Pma), 1, false, [Pma](FilterPixel &P) { BrightnessScale(P, Pma); });
    for (int Lock = 0; Lock < 2; ++Lock)
        for (int Pma = 0; Pma < 2; ++Pma)
            Add(std::string(Lock ? "Hsb_HSB_HLOCK" : "Hsb_HSB_BASE") + Suffix(Pma), 3, false,
                [=](FilterPixel &P) { Hsb(P, Lock, Pma); });
    for (int Pma = 0; Pma < 2; ++Pma) Add("Invert" + Suffix(Pma), 0, false, [Pma](FilterPixel &P) { Invert(P, Pma); });
    for (int Pma = 0; Pma < 2; ++Pma) Add("Level" + Suffix(Pma), 2, true, [Pma](FilterPixel &P) { Level(P, Pma); });
    for (int Pma = 0; Pma < 2; ++Pma)
        Add("TwoColor" + Suffix(Pma), 3, false, [Pma](FilterPixel &P) { TwoColor(P, Pma); });
    for (int Reverse = 0; Reverse < 2; ++Reverse)
        for (int Pma = 0; Pma < 2; ++Pma)
            Add(std::string(Reverse ? "GradientMapRev" : "GradientMap") + Suffix(Pma), 2, true,
                [=](FilterPixel &P) { GradientMap(P, Reverse, Pma); });
    Add("PremultipliedAlpha.pso", 0, false, PremultipliedAlpha);
    Add("InterpolatedAlpha.pso", 0, false, InterpolatedAlpha);
    for (int Rra = 0; Rra < 2; ++Rra)
        for (int Chroma = 0; Chroma < 2; ++Chroma)
            Add(std::string(Chroma ? "Y2uv1ToRgb" : "Y2uv2ToRgb") + (Rra ? "_RRA.pso" : ".pso"), Chroma || Rra ? 1 : 0,
                Chroma != 0, [=](FilterPixel &P) { YuvToRgb(P, Chroma, Rra); });
    Add("Bicubic.pso", 1, false, Bicubic, 8);
    Add("Lanczos3.pso", 1, false, Lanczos3, 8);

    for (int Pma = 0; Pma < 2; ++Pma)
        for (int i = 0; i < FILTER_D3D11_BASIC_BLEND_NUM; ++i) {
            const int Type = FilterD3D11BasicBlendType(i);
            Add(FilterD3D11BasicBlendNames[i] + Suffix(Pma), 1, true, [=](FilterPixel &P) { BasicBlend(P, Type, Pma); });
        }
    for (int Pma = 0; Pma < 2; ++Pma) Add("RGBAMix_Base" + Suffix(Pma), 1, true, ChannelMixBase);
    for (int Pma = 0; Pma < 2; ++Pma)
        for (int A = 0; A < 4; ++A) {
            for (int Grey = 0; Grey < 3; ++Grey) {
                const int Rgb[3] = {Grey, Grey, Grey};
                const char L = FilterD3D11ChannelLetters[Grey];
                Add(std::string("RGBAMix_S") + L + "S" + L + "S" + L + "B" + FilterD3D11ChannelLetters[A] +
                        Suffix(Pma),
                    0, true, [Rgb, A](FilterPixel &P) { ChannelMixNamed(P, Rgb, A); });
            }
            const int Rgb[3] = {0, 1, 2};
            Add(std::string("RGBAMix_SRSGSBB") + FilterD3D11ChannelLetters[A] + Suffix(Pma), 0, true,
                [Rgb, A](FilterPixel &P) { ChannelMixNamed(P, Rgb, A); });
        }
    return E;
}

// The output signatures of the base pack's two transfer vertex shaders, the ones the filter
// passes draw with.
bool TransferOutputs(std::vector<SignatureElement> &Two, std::vector<SignatureElement> &Eight, std::string *Error)
{
    std::vector<NamedShader> Standard;
    if (!BuildStandardSet(Standard, Error)) return false;
    auto Outputs = [&](int Group, std::vector<SignatureElement> &Elements) {
        const Bytes &Code = Standard[size_t(D3D11BaseShaderGroups[Group].FirstSlot)].Code;
        std::vector<Chunk> Chunks;
        if (!ReadContainer(Code.data(), Code.size(), Chunks, Error)) return false;
        const Chunk *Signature = FindChunk(Chunks, TagOutputSignature);
        return Signature != nullptr && ReadSignature(Signature->Data, Elements, Error);
    };
    return Outputs(D3D11_GROUP_TRANSFER_VERTEX, Two) && Outputs(D3D11_GROUP_TRANSFER8_VERTEX, Eight);
}

}  // namespace

bool BuildD3D11FilterSet(std::vector<NamedShader> &Out, std::string *Error)
{
    Out.clear();
    std::vector<SignatureElement> Transfer2, Transfer8;
    if (!TransferOutputs(Transfer2, Transfer8, Error)) return false;
    for (const Entry &E : FilterEntries()) {
        FilterPixel P(E.Coords, E.Registers, E.SecondTexture);
        E.Body(P);
        Bytes Code = P.B.Finish();
        std::string Why;
        if (Code.empty()) Why = P.B.Error();
        else if (!CheckLinkage(E.Coords == 8 ? Transfer8 : Transfer2, P.B.InputSignature(), &Why)) Why = "inputs: " + Why;
        if (!Why.empty()) {
            if (Error) *Error = E.Name + ": " + Why;
            return false;
        }
        Out.push_back({E.Name, std::move(Code)});
    }
    return true;
}

bool BuildD3D11ChannelMixSet(std::vector<NamedShader> &Out, std::string *Error)
{
    Out.assign(D3D11_CHANNEL_MIX_PACK_SLOTS, NamedShader());
    for (int R = 0; R < 4; ++R)
        for (int G = 0; G < 4; ++G)
            for (int B = 0; B < 4; ++B)
                for (int A = 0; A < 4; ++A)
                    for (int Pma = 0; Pma < 2; ++Pma) {
                        FilterPixel P(1, 0, false);
                        const Reg S = P.Temp(), O = P.Temp();
                        P.B.Sample(S, P.Uv[0], P.Source, P.SourceSampler);
                        const int Selector[4] = {R, G, B, A};
                        for (int i = 0; i < 4; ++i) P.B.Mov(O(Lane[i]), S(Lane[Selector[i]]));
                        P.B.Mov(P.Target, O);
                        P.B.Ret();
                        NamedShader &Slot = Out[size_t(FilterD3D11ChannelMixSlot(R, G, B, A, Pma))];
                        Slot.FileName = std::string("RGBAMix_") + FilterD3D11ChannelLetters[R] +
                                        FilterD3D11ChannelLetters[G] + FilterD3D11ChannelLetters[B] +
                                        FilterD3D11ChannelLetters[A] + (Pma ? "_PMA.pso" : ".pso");
                        Slot.Code = P.B.Finish();
                        if (Slot.Code.empty()) {
                            if (Error) *Error = Slot.FileName + ": " + P.B.Error();
                            return false;
                        }
                    }
    return true;
}

}  // namespace dxbc
