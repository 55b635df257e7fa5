#include "d3d9_filter_set.h"

#include <math.h>
#include <stdio.h>

#include <functional>

namespace sm2 {

namespace {

const char *const Lane[4] = {"x", "y", "z", "w"};

// The shaders' own numbers, defined from c24 up (the passes' constants stay below).
// c31 = (1 / 1024, 0.5, 1, 0): the least divisor, a half, one, zero.
// c30 = (1224, 2404, 466, 0) / 4096: the processor's luma weights, for the filters that compare
//       a brightness with a threshold (the passes' rounder weights would move pixels across it).
// c22 = (255, 1 / 255, 1 / 512, 255 / 256): truncation to the byte below, as the processor stores.
// c21 = (128, 256, 510 / 256 x 255, 512) / 255: the processor's lightness model, whose grey is 128
//       and whose pure colours and lightness steps count 256 to the whole.
// c29 = (2, -1, 1 / 6, 6): doubling, minus one, sixths.
// c28 = (0, 2 / 3, 1 / 3, 3): the hue offsets of red, green and blue, and three.
void Numbers(ShaderWriter &W)
{
    W.Def(C(31), 1.0f / 1024.0f, 0.5f, 1, 0);
    W.Def(C(30), 1224.0f / 4096.0f, 2404.0f / 4096.0f, 466.0f / 4096.0f, 0);
    W.Def(C(22), 255.0f, 1.0f / 255.0f, 1.0f / 512.0f, 255.0f / 256.0f);
    W.Def(C(21), 128.0f / 255.0f, 256.0f / 255.0f, 510.0f / 256.0f, 512.0f / 255.0f);
    W.Def(C(29), 2, -1, 1.0f / 6.0f, 6);
    W.Def(C(28), 0, 2.0f / 3.0f, 1.0f / 3.0f, 3);
}

// A pass's usual inputs: t0 and s0, with t1 and s1 for a second texture.
struct Inputs {
    Reg Uv, Image, Uv2, Image2;
};
Inputs Declare(ShaderWriter &W, bool Second)
{
    Inputs In;
    In.Uv = W.Dcl(T(0)("xy"));
    if (Second) In.Uv2 = W.Dcl(T(1)("xy"));
    In.Image = W.Dcl2D(0);
    if (Second) In.Image2 = W.Dcl2D(1);
    Numbers(W);
    return In;
}

// Value (the lanes of Mask) truncated to a whole byte: floor(v x 255 + 1 / 512) / 255, the byte a
// processor kernel stores (the device would round to the nearest). Uses the same lanes of Work.
void Truncate(ShaderWriter &W, const Reg &Value, const char *Mask, const Reg &Work)
{
    W.Mad(Work(Mask), Value, C(22)("x"), C(22)("z"));
    W.Frc(Value(Mask), Work);
    W.Sub(Work(Mask), Work, Value);
    W.Mul(Value(Mask), Work, C(22)("y"));
}

// To = From's colour divided by its alpha (0 where the alpha is 0, as the processor's division
// table gives it), truncated like the processor's table, alpha kept. Uses Work whole.
void Straight(ShaderWriter &W, const Reg &From, const Reg &To, const Reg &Work, bool Truncated = true)
{
    W.Rcp(Work("x"), From("w"));
    W.Cmp(Work("x"), -From("w"), C(31)("w"), Work("x"));
    W.Mul(Sat(To("xyz")), From, Work("x"));
    W.Mov(To("w"), From("w"));
    if (Truncated) Truncate(W, To, "xyz", Work);
}

// Colour times Alpha (a replicated component).
void Premultiply(ShaderWriter &W, const Reg &Colour, const Reg &Alpha) { W.Mul(Colour("xyz"), Colour, Alpha); }

// |Value| lane-wise into Into.
void Absolute(ShaderWriter &W, const Reg &Into, const Reg &Value)
{
    W.Max(Into, Value, -Value);
}

// The channels' largest and smallest value of straight colour Cc (rgb) into Spread: x max, y min,
// z delta, w 1 / delta (a grey's delta of 0 divides by the least value).
void SpreadOf(ShaderWriter &W, const Reg &Cc, const Reg &Spread)
{
    W.Max(Spread("x"), Cc("x"), Cc("y"));
    W.Max(Spread("x"), Spread("x"), Cc("z"));
    W.Min(Spread("y"), Cc("x"), Cc("y"));
    W.Min(Spread("y"), Spread("y"), Cc("z"));
    W.Sub(Spread("z"), Spread("x"), Spread("y"));
    W.Max(Spread("w"), Spread("z"), C(31)("x"));
    W.Rcp(Spread("w"), Spread("w"));
}

// The processor's lightness (max + min) / 2, a whole byte, into Out.z and its saturation delta /
// (max + min), or delta / (512 / 255 - max - min) above 128, into Out.y; with WholeSteps the
// saturation in the processor's whole 256ths (needs c27.x = 256). Uses Work whole.
void LightnessAndSaturation(ShaderWriter &W, const Reg &Spread, const Reg &Out, const Reg &Work,
                            bool WholeSteps = false)
{
    W.Add(Work("x"), Spread("x"), Spread("y"));
    W.Mul(Out("z"), Work("x"), C(31)("y"));
    W.Mad(Work("y"), Out("z"), C(22)("x"), C(22)("z"));
    W.Frc(Work("z"), Work("y"));
    W.Sub(Work("y"), Work("y"), Work("z"));
    W.Mul(Out("z"), Work("y"), C(22)("y"));
    W.Sub(Work("y"), C(21)("w"), Work("x"));
    W.Sub(Work("w"), C(21)("x"), Out("z"));
    W.Cmp(Work("x"), Work("w"), Work("x"), Work("y"));
    W.Max(Work("x"), Work("x"), C(31)("x"));
    W.Rcp(Work("x"), Work("x"));
    if (!WholeSteps) {
        W.Mul(Sat(Out("y")), Spread("z"), Work("x"));
        return;
    }
    // floor(delta x 256 / q) / 256; a quotient that fell just short of a whole number is lifted.
    W.Mul(Work("x"), Spread("z"), Work("x"));
    W.Mad(Work("x"), Work("x"), C(27)("x"), C(31)("x"));
    W.Frc(Work("y"), Work("x"));
    W.Sub(Work("x"), Work("x"), Work("y"));
    W.Mul(Sat(Out("y")), Work("x"), C(27)("y"));
}

// Hue (0-1), HSL saturation and lightness of straight colour C (rgb) into Out (x hue, y s, z l).
// Uses Work1 and Work2 whole.
void RgbToHsl(ShaderWriter &W, const Reg &Cc, const Reg &Out, const Reg &Work1, const Reg &Work2)
{
    SpreadOf(W, Cc, Work1);
    // The hue by where the largest channel lies, in sixths: red (g - b), green 2 + (b - r), blue
    // 4 + (r - g), each over the delta.
    W.Sub(Work2("x"), Cc("y"), Cc("z"));
    W.Sub(Work2("y"), Cc("z"), Cc("x"));
    W.Sub(Work2("z"), Cc("x"), Cc("y"));
    W.Mul(Work2("xyz"), Work2, Work1("w"));
    W.Add(Work2("y"), Work2("y"), C(29)("x"));
    W.Mad(Work2("z"), C(29)("x"), C(29)("x"), Work2("z"));
    W.Sub(Work2("w"), Cc("y"), Work1("x"));  // 0 when green is the largest
    W.Cmp(Out("x"), Work2("w"), Work2("y"), Work2("z"));
    W.Sub(Work2("w"), Cc("x"), Work1("x"));  // 0 when red is the largest
    W.Cmp(Out("x"), Work2("w"), Work2("x"), Out("x"));
    // Sixths to 0-1, wrapped.
    W.Mad(Out("x"), Out("x"), C(29)("z"), C(31)("z"));
    W.Frc(Out("x"), Out("x"));
    LightnessAndSaturation(W, Work1, Out, Work2);
}

// The pure colour of hue Hue (0-1) into Pure.xyz: each channel clamp(|frac(h + offset) x 6 - 3| -
// 1), in the processor's steps of 1 / 256 of the whole.
void PureColourOfHue(ShaderWriter &W, const Reg &Hue, const Reg &Pure)
{
    W.Add(Pure("xyz"), Hue, C(28));
    W.Frc(Pure("xyz"), Pure);
    W.Mad(Pure("xyz"), Pure, C(29)("w"), -C(28)("w"));
    Absolute(W, Pure("xyz"), Pure);
    W.Mad(Sat(Pure("xyz")), Pure, C(21)("y"), -C(21)("y"));  // (|..| - 1) x 256 / 255
}

// Straight colour into Out.xyz from pure colour Pure (rgb, clobbered), saturation Sl.y and
// lightness Sl.z. Uses Work whole.
void Rebuild(ShaderWriter &W, const Reg &Pure, const Reg &Sl, const Reg &Out, const Reg &Work)
{
    // Towards grey by the saturation: p + (128 / 255 - p) x (1 - s).
    W.Sub(Work("xyz"), C(21)("x"), Pure);
    W.Sub(Work("w"), C(31)("z"), Sl("y"));
    W.Mad(Pure("xyz"), Work, Work("w"), Pure);
    Truncate(W, Pure, "xyz", Work);  // a whole byte, as the processor shifts it
    // Lightness L (bytes): L c / 128 up to 128, else c + (1 - c) (L - 128) / 128.
    W.Mul(Work("w"), Sl("z"), C(21)("z"));
    W.Mul(Work("xyz"), Pure, Work("w"));
    W.Sub(Out("xyz"), C(31)("z"), Pure);
    W.Add(Work("w"), Work("w"), C(29)("y"));
    W.Mad(Out("xyz"), Out, Work("w"), Pure);
    W.Sub(Work("w"), C(21)("x"), Sl("z"));
    W.Cmp(Sat(Out("xyz")), Work("w"), Work, Out);
}

// Straight colour from hue, saturation and lightness (Hsl x, y, z) into Out.xyz. Uses Work1 and
// Work2 whole.
void HslToRgb(ShaderWriter &W, const Reg &Hsl, const Reg &Out, const Reg &Work1, const Reg &Work2)
{
    PureColourOfHue(W, Hsl("x"), Work1);
    Rebuild(W, Work1, Hsl, Out, Work2);
}

// ---- Filters ----------------------------------------------------------------------------------------

// The colour filters that read one texel and write one: Body turns r0 (as stored) into r1 (as
// stored), and Define, where given, adds the shader's own numbers.
using Body = std::function<void(ShaderWriter &W, const Inputs &In)>;
void OneTexel(ShaderWriter &W, bool Second, const Body &Make, bool Truncated = true,
              const std::function<void(ShaderWriter &W)> &Define = nullptr)
{
    const Inputs In = Declare(W, Second);
    if (Define) Define(W);
    W.Texld(R(0), In.Uv, In.Image);
    Make(W, In);
    if (Truncated) Truncate(W, R(1), "xyzw", R(11));
    W.Mov(OC(0), R(1));
}

// c0 luma weights, c1 the offsets added to red, green and blue.
void Mono(ShaderWriter &W)
{
    OneTexel(W, false, [](ShaderWriter &W, const Inputs &) {
        W.Dp3(R(1)("x"), R(0), C(0));
        W.Add(Sat(R(1)("xyz")), R(1)("x"), C(1));
        W.Mov(R(1)("w"), R(0)("w"));
    });
}

// c0 clip value (0-1), c1 luma weights, c2 the fill colour. Clipped pixels take the fill, or are not
// drawn (the destination keeps them).
void BrightClip(ShaderWriter &W, bool Greater, bool Fill, bool Pma)
{
    OneTexel(W, false, [&](ShaderWriter &W, const Inputs &) {
        const Reg Colour = Pma ? R(2) : R(0);
        if (Pma) Straight(W, R(0), R(2), R(3));
        W.Dp3(R(3)("x"), Colour, C(30));
        // Kept where the compare is not met: l >= value (less), l <= value (greater).
        if (Greater) W.Sub(R(3), C(0)("x"), R(3)("x"));
        else W.Sub(R(3), R(3)("x"), C(0)("x"));
        if (Fill) {
            // The colour's bytes clamped before the premultiplication, as the processor packs it.
            W.Mov(Sat(R(4)), C(2));
            if (Pma) Premultiply(W, R(4), R(4)("w"));
            W.Cmp(R(1), R(3)("x"), R(0), R(4));
        } else {
            W.Texkill(R(3));
            W.Mov(R(1), R(0));
        }
    });
}

// c0 = (lo / 255, 255 / (hi - lo), trunc(255 x 4096 / (hi - lo)) / 4096): the lightness range
// stretched to 0-1, hue and saturation kept.
// The hue stays in the pure colour, built straight from the channels as the processor does: each
// channel's distance above the smallest over the delta, in steps of 1 / 256.
void BrightnessScale(ShaderWriter &W, bool Pma)
{
    OneTexel(W, false, [&](ShaderWriter &W, const Inputs &) {
        const Reg Colour = Pma ? R(2) : R(0);
        if (Pma) Straight(W, R(0), R(2), R(3));
        SpreadOf(W, Colour, R(3));
        LightnessAndSaturation(W, R(3), R(5), R(4), true);
        // Each channel's pure colour in the processor's whole steps: 256 less its distance below
        // the largest, floor((max - c) x 256 / delta), at most 255. (A distance is a whole number
        // or at least 1 / 255 below the next: 1 / 1024 lifts a product that fell just short.)
        W.Mul(R(3)("w"), R(3)("w"), C(27)("x"));
        W.Sub(R(4)("xyz"), R(3)("x"), Colour);
        W.Mad(R(4)("xyz"), R(4), R(3)("w"), C(31)("x"));
        W.Frc(R(6)("xyz"), R(4));
        W.Sub(R(4)("xyz"), R(4), R(6));
        W.Mad(Sat(R(4)("xyz")), R(4), -C(22)("y"), C(21)("y"));
        // The stretched lightness as the processor takes it: the whole L - lo times c0.z (its
        // whole scale over 4096), floored and clamped to a byte.
        W.Sub(R(5)("z"), R(5)("z"), C(0)("x"));
        W.Mad(R(5)("z"), R(5)("z"), C(22)("x"), C(31)("y"));
        W.Frc(R(6)("z"), R(5)("z"));
        W.Sub(R(5)("z"), R(5)("z"), R(6)("z"));
        W.Mul(R(5)("z"), R(5)("z"), C(0)("z"));
        W.Frc(R(6)("z"), R(5)("z"));
        W.Sub(R(5)("z"), R(5)("z"), R(6)("z"));
        W.Mul(Sat(R(5)("z")), R(5)("z"), C(22)("y"));
        Rebuild(W, R(4), R(5), R(1), R(6));
        W.Mov(R(1)("w"), R(0)("w"));
        if (Pma) {  // the rebuilt byte, then its premultiplication
            Truncate(W, R(1), "xyz", R(11));
            Premultiply(W, R(1), R(0)("w"));
        }
    }, true, [](ShaderWriter &W) { W.Def(C(27), 256.0f, 1.0f / 256.0f, 0, 0); });
}

// c0 = (hue shift in sixths, saturation factor - 1, brightness). The first pass applies the
// brightness and stores hue, saturation and lightness; the second shifts the hue, scales the
// saturation and rebuilds the colour. HLOCK does both in one pass with the hue set.
enum class HsbStep { RgbToHsb, HsbToRgb, HueLock };
void Brighten(ShaderWriter &W, const Reg &Colour)
{
    // b > 0: c + (1 - c) x b; else c x (1 + b).
    W.Sub(R(6)("xyz"), C(31)("z"), Colour);
    W.Mad(R(6)("xyz"), R(6), C(0)("z"), Colour);
    W.Add(R(7)("x"), C(31)("z"), C(0)("z"));
    W.Mul(R(7)("xyz"), Colour, R(7)("x"));
    W.Mov(R(6)("w"), C(0)("z"));
    W.Cmp(Colour("xyz"), -R(6)("w"), R(7), R(6));
}
// The same in the processor's whole numbers: the brightness in whole 256ths (towards zero), each
// channel's byte c + floor((255 - c) b) or floor(c (1 + b)). Needs c27 = (256, 1 / 256).
void BrightenBytes(ShaderWriter &W, const Reg &Colour)
{
    W.Mul(R(7)("x"), C(0)("z"), C(27)("x"));
    Absolute(W, R(7)("y"), R(7)("x"));
    W.Frc(R(7)("z"), R(7)("y"));
    W.Sub(R(7)("y"), R(7)("y"), R(7)("z"));
    W.Cmp(R(7)("x"), R(7)("x"), R(7)("y"), -R(7)("y"));
    W.Mul(R(7)("x"), R(7)("x"), C(27)("y"));
    W.Mul(R(6)("xyz"), Colour, C(22)("x"));
    // Brighter: c + floor((255 - c) b).
    W.Sub(R(8)("xyz"), C(22)("x"), R(6));
    W.Mad(R(8)("xyz"), R(8), R(7)("x"), C(22)("z"));
    W.Frc(R(9)("xyz"), R(8));
    W.Sub(R(8)("xyz"), R(8), R(9));
    W.Add(R(8)("xyz"), R(8), R(6));
    // Darker: floor(c (1 + b)).
    W.Add(R(7)("y"), R(7)("x"), C(31)("z"));
    W.Mad(R(9)("xyz"), R(6), R(7)("y"), C(22)("z"));
    W.Frc(R(10)("xyz"), R(9));
    W.Sub(R(9)("xyz"), R(9), R(10));
    W.Cmp(R(6)("xyz"), -R(7)("x"), R(9), R(8));
    W.Mul(Colour("xyz"), R(6), C(22)("y"));
}
void Hsb(ShaderWriter &W, HsbStep Step, bool Pma)
{
    OneTexel(W, false, [&](ShaderWriter &W, const Inputs &) {
        if (Step == HsbStep::HsbToRgb) {
            // Hue shifted by c0.x sixths, wrapped; saturation x (1 + c0.y), at most 1.
            W.Mad(R(5)("x"), C(0)("x"), C(29)("z"), R(0)("x"));
            W.Add(R(5)("x"), R(5)("x"), C(31)("z"));
            W.Frc(R(5)("x"), R(5)("x"));
            W.Add(R(5)("y"), C(0)("y"), C(31)("z"));
            W.Mul(Sat(R(5)("y")), R(5)("y"), R(0)("y"));
            W.Mov(R(5)("z"), R(0)("z"));
            HslToRgb(W, R(5), R(1), R(3), R(4));
            W.Mov(R(1)("w"), R(0)("w"));
            if (Pma) Premultiply(W, R(1), R(0)("w"));
            return;
        }
        W.Mov(R(2), R(0));
        if (Pma) Straight(W, R(0), R(2), R(3));
        if (Step == HsbStep::RgbToHsb) {
            BrightenBytes(W, R(2));
            // Stored as the device rounds: the hue and saturation to the nearest byte (a truncated
            // hue would lose up to a whole step of 6 of the processor's 1536).
            RgbToHsl(W, R(2), R(5), R(3), R(4));
            W.Mov(R(1)("xyz"), R(5));
            W.Mov(R(1)("w"), R(0)("w"));
            return;
        }
        // The hue is set: only the lightness and saturation are needed. (The one-pass form has no
        // slots to spare for the processor's whole numbers.)
        Brighten(W, R(2));
        SpreadOf(W, R(2), R(3));
        LightnessAndSaturation(W, R(3), R(5), R(4));
        W.Mul(R(5)("x"), C(0)("x"), C(29)("z"));
        W.Frc(R(5)("x"), R(5)("x"));
        W.Add(R(6)("y"), C(0)("y"), C(31)("z"));
        W.Mul(Sat(R(5)("y")), R(5)("y"), R(6)("y"));
        HslToRgb(W, R(5), R(1), R(3), R(4));
        W.Mov(R(1)("w"), R(0)("w"));
        if (Pma) Premultiply(W, R(1), R(0)("w"));
    }, Step != HsbStep::RgbToHsb, [](ShaderWriter &W) { W.Def(C(27), 256.0f, 1.0f / 256.0f, 0, 0); });
}

void Invert(ShaderWriter &W, bool Pma)
{
    OneTexel(W, false, [&](ShaderWriter &W, const Inputs &) {
        // The inverse of the straight colour, premultiplied again, is alpha - c.
        W.Sub(Sat(R(1)("xyz")), Pma ? R(0)("w") : C(31)("z"), R(0));
        W.Mov(R(1)("w"), R(0)("w"));
    });
}

// c0 = (m0, 1 / (m1 - m0), o0, o1); s1 the 256 x 1 gamma graph.
void Level(ShaderWriter &W, bool Pma)
{
    const Inputs In = Declare(W, true);
    W.Def(C(27), 1.0f / 256.0f, 0.5f / 256.0f, 0.5f, 256.0f);
    W.Texld(R(0), In.Uv, In.Image);
    const Reg Colour = Pma ? R(2) : R(0);
    if (Pma) Straight(W, R(0), R(2), R(3));
    // The processor's table index floor((c - m0) / (m1 - m0) x 256), at most 255, read at its texel
    // centre; its curve scales by the output range over 256.
    W.Sub(R(4)("xyz"), Colour, C(0)("x"));
    W.Mul(Sat(R(4)("xyz")), R(4), C(0)("y"));
    W.Mul(R(4)("xyz"), R(4), C(27)("w"));
    W.Frc(R(3)("xyz"), R(4));
    W.Sub(R(4)("xyz"), R(4), R(3));
    W.Min(R(4)("xyz"), R(4), C(22)("x"));
    W.Mad(R(4)("xyz"), R(4), C(27)("x"), C(27)("y"));
    W.Sub(R(3)("x"), C(0)("w"), C(0)("z"));
    W.Mul(R(3)("x"), R(3)("x"), C(22)("w"));
    for (int i = 0; i < 3; ++i) {
        W.Mov(R(5 + i)("x"), R(4)(Lane[i]));
        W.Mov(R(5 + i)("y"), C(27)("z"));
        W.Texld(R(5 + i), R(5 + i), In.Image2);
        W.Mad(R(1)(Lane[i]), R(5 + i)("x"), R(3)("x"), C(0)("z"));
    }
    W.Mov(R(1)("w"), R(0)("w"));
    if (Pma) {
        Truncate(W, R(1), "xyz", R(11));  // the curve's byte, then its premultiplication
        Premultiply(W, R(1), R(0)("w"));
    }
    Truncate(W, R(1), "xyzw", R(11));
    W.Mov(OC(0), R(1));
}

// c0 = (luma weights, threshold / 255); c1 the low colour, c2 the high colour.
void TwoColor(ShaderWriter &W, bool Pma)
{
    OneTexel(W, false, [&](ShaderWriter &W, const Inputs &) {
        const Reg Colour = Pma ? R(2) : R(0);
        if (Pma) Straight(W, R(0), R(2), R(3));
        W.Dp3(R(3)("x"), Colour, C(30));
        W.Sub(R(3)("x"), R(3)("x"), C(0)("w"));
        // The colours' bytes clamped before the premultiplication, as the processor packs them.
        W.Mov(Sat(R(4)), C(1));
        W.Mov(Sat(R(5)), C(2));
        if (Pma) {
            Premultiply(W, R(4), R(4)("w"));
            Premultiply(W, R(5), R(5)("w"));
        }
        W.Cmp(R(1), R(3)("x"), R(5), R(4));
    });
}

// c0 luma weights, c1 = (the gradient's width, 1 / its texture width, 0.5 / its texture height);
// s1 the gradient graph, read along its top row.
void GradientMap(ShaderWriter &W, bool Reverse, bool Pma)
{
    const Inputs In = Declare(W, true);
    W.Def(C(27), 1.0f / 256.0f, 0.5f / 256.0f, 1.0f / 8192.0f, 0);
    W.Texld(R(0), In.Uv, In.Image);
    const Reg Colour = Pma ? R(2) : R(0);
    if (Pma) Straight(W, R(0), R(2), R(3));
    // The processor's brightness index floor(255 l) (reversed: 255 - it). (The index is a multiple
    // of 1 / 4096 below a whole number at worst: the rounding allowance stays below that.)
    W.Dp3(R(4)("x"), Colour, C(30));
    W.Mad(R(4)("x"), R(4)("x"), C(22)("x"), C(27)("z"));
    W.Frc(R(4)("y"), R(4)("x"));
    W.Sub(R(4)("x"), R(4)("x"), R(4)("y"));
    if (Reverse) W.Sub(R(4)("x"), C(22)("x"), R(4)("x"));
    // Entry i is the gradient's column (i x width) >> 8 (exact: whole numbers times a power of
    // two), read at its texel centre.
    W.Mul(R(4)("x"), R(4)("x"), C(1)("x"));
    W.Mul(R(4)("x"), R(4)("x"), C(27)("x"));
    W.Frc(R(4)("y"), R(4)("x"));
    W.Sub(R(4)("x"), R(4)("x"), R(4)("y"));
    W.Add(R(4)("x"), R(4)("x"), C(31)("y"));
    W.Mul(R(4)("x"), R(4)("x"), C(1)("y"));
    W.Mov(R(4)("y"), C(1)("z"));
    W.Texld(R(1), R(4), In.Image2);
    if (Pma) Premultiply(W, R(1), R(1)("w"));
    W.Mov(OC(0), R(1));
}

void PremultipliedAlpha(ShaderWriter &W)
{
    // c x a >> 8: the processor divides by 256.
    OneTexel(W, false, [](ShaderWriter &W, const Inputs &) {
        W.Mul(R(1)("xyz"), R(0), R(0)("w"));
        W.Mul(R(1)("xyz"), R(1), C(22)("w"));
        W.Mov(R(1)("w"), R(0)("w"));
    });
}

void InterpolatedAlpha(ShaderWriter &W)
{
    OneTexel(W, false, [](ShaderWriter &W, const Inputs &) { Straight(W, R(0), R(1), R(2)); });
}

// Luma (first byte: blue) and chroma U, V (bytes blue, green of the chroma graph on s1, or green
// and red of the source itself) to RGB. c0 = (chroma scale x, y, the alpha half's u offset, the
// chroma alpha half's u offset).
void YuvToRgb(ShaderWriter &W, bool ChromaGraph, bool AlphaHalf)
{
    const Inputs In = Declare(W, ChromaGraph);
    // c27 = (1.772, -0.344136, -0.714136, 1.402), c26 = (0.5, 0, 0, 0).
    W.Def(C(27), 1.772f, -0.344136f, -0.714136f, 1.402f);
    W.Texld(R(0), In.Uv, In.Image);
    auto Convert = [&](const Reg &LumaTexel, const Reg &ChromaTexel, bool InSource, const Reg &Out) {
        // u, v centred on 0 into r8.x, r8.y.
        W.Sub(R(8)("x"), InSource ? ChromaTexel("y") : ChromaTexel("z"), C(31)("y"));
        W.Sub(R(8)("y"), InSource ? ChromaTexel("x") : ChromaTexel("y"), C(31)("y"));
        W.Mad(Sat(Out("z")), R(8)("x"), C(27)("x"), LumaTexel("z"));
        W.Mad(R(9)("x"), R(8)("x"), C(27)("y"), LumaTexel("z"));
        W.Mad(Sat(Out("y")), R(8)("y"), C(27)("z"), R(9)("x"));
        W.Mad(Sat(Out("x")), R(8)("y"), C(27)("w"), LumaTexel("z"));
    };
    Reg Chroma = R(0);
    if (ChromaGraph) {
        W.Mul(R(2)("xy"), In.Uv, C(0));
        W.Texld(R(2), R(2), In.Image2);
        Chroma = R(2);
    }
    Convert(R(0), Chroma, !ChromaGraph, R(1));
    if (AlphaHalf) {
        // The alpha is the red of the picture converted from the right half.
        W.Add(R(3)("xy"), In.Uv, C(0)("z"));
        W.Mov(R(3)("y"), In.Uv("y"));
        W.Texld(R(3), R(3), In.Image);
        Reg RightChroma = R(3);
        if (ChromaGraph) {
            W.Mul(R(4)("xy"), In.Uv, C(0));
            W.Add(R(4)("x"), R(4)("x"), C(0)("w"));
            W.Texld(R(4), R(4), In.Image2);
            RightChroma = R(4);
        }
        W.Sub(R(8)("y"), ChromaGraph ? RightChroma("y") : RightChroma("x"), C(31)("y"));
        W.Mad(Sat(R(1)("w")), R(8)("y"), C(27)("w"), R(3)("z"));
    } else {
        W.Mov(R(1)("w"), C(31)("z"));
    }
    Truncate(W, R(1), "xyzw", R(11));
    W.Mov(OC(0), R(1));
}

// ---- Gauss and DownScale ----------------------------------------------------------------------------

// c0 = (texture size, u of the rectangle's first and last column centres), c1-c4 the sixteen
// weights, c5-c20 the taps' offsets. Tap 0 is the centre (weight w0); tap k (1 .. N / 2 - 1) lies
// between texels 2k - 1 and 2k on each side, so linear filtering reads their average, and weighs
// wk on each side: the processor's blur, term for term. A tap past the rectangle's first or last
// column reads that column, as the processor repeats its edge pixel (rows past it are filled by
// the pass). The result is truncated as the processor's is.
void Gauss(ShaderWriter &W, int Width)
{
    const Inputs In = Declare(W, false);
    const int taps = Width / 2 - 1;
    W.Texld(R(0), In.Uv, In.Image);
    W.Mul(R(1), R(0), C(1)("x"));
    for (int k = 1; k <= taps; ++k) {
        const int offset = 5 + k;  // c5 holds tap 0, the centre
        W.Add(R(5)("xy"), In.Uv, C(offset));
        W.Min(R(5)("x"), R(5)("x"), C(0)("w"));
        W.Sub(R(6)("xy"), In.Uv, C(offset));
        W.Max(R(6)("x"), R(6)("x"), C(0)("z"));
        W.Texld(R(2), R(5), In.Image);
        W.Texld(R(3), R(6), In.Image);
        W.Add(R(2), R(2), R(3));
        W.Mad(R(1), R(2), C(1 + k / 4)(Lane[k % 4]), R(1));
    }
    Truncate(W, R(1), "xyzw", R(11));
    W.Mov(OC(0), R(1));
}

// c0.. the sample offsets; each sample is the linear average of a 2 x 2 block.
void DownScale(ShaderWriter &W, int Ratio)
{
    const Inputs In = Declare(W, false);
    const int samples = Ratio == 2 ? 1 : Ratio == 4 ? 4 : 16;
    W.Def(C(27), 1.0f / (float)samples, 0, 0, 0);
    for (int i = 0; i < samples; ++i) {
        W.Add(R(5)("xy"), In.Uv, C(i));
        W.Texld(R(2), R(5), In.Image);
        if (i == 0) W.Mul(R(1), R(2), C(27)("x"));
        else W.Mad(R(1), R(2), C(27)("x"), R(1));
    }
    Truncate(W, R(1), "xyzw", R(11));
    W.Mov(OC(0), R(1));
}

// ---- Bicubic and Lanczos3 ---------------------------------------------------------------------------

// The four weights of taps at distances (1 + f, f, 1 - f, 2 - f) as cubic polynomials of f: the
// coefficients of f^0 .. f^3 for the four taps.
struct TapCubic {
    float A[4][4];  // [power][tap]
};

TapCubic CatmullRom()
{
    // w0 = -0.5f^3 + f^2 - 0.5f, w1 = 1.5f^3 - 2.5f^2 + 1, w2 = -1.5f^3 + 2f^2 + 0.5f, w3 = 0.5f^3 - 0.5f^2.
    return {{{0, 1, 0, 0}, {-0.5f, 0, 0.5f, 0}, {1, -2.5f, 2, -0.5f}, {-0.5f, 1.5f, -1.5f, 0.5f}}};
}

double Lanczos3Kernel(double X)
{
    const double pi = 3.14159265358979323846;
    if (fabs(X) < 1e-9) return 1;
    if (fabs(X) >= 3) return 0;
    return 3 * sin(pi * X) * sin(pi * X / 3) / (pi * pi * X * X);
}

// Lanczos3's weights of taps 0-2 of six (columns base - 2 .. base) as quintics of f, the
// coefficients of f^0 .. f^5, fitted by least squares over 64 points (the same numbers on every
// build); tap 5 - j at f is tap j at 1 - f.
struct TapQuintic {
    float A[6][3];  // [power][tap]
};

TapQuintic Lanczos3Fit()
{
    TapQuintic Out;
    const int N = 64;
    for (int tap = 0; tap < 3; ++tap) {
        double M[6][7] = {};
        for (int n = 0; n < N; ++n) {
            const double f = (n + 0.5) / N;
            const double value = Lanczos3Kernel(f + 2 - tap);
            double p[6] = {1};
            for (int r = 1; r < 6; ++r) p[r] = p[r - 1] * f;
            for (int r = 0; r < 6; ++r) {
                for (int c = 0; c < 6; ++c) M[r][c] += p[r] * p[c];
                M[r][6] += p[r] * value;
            }
        }
        for (int c = 0; c < 6; ++c) {  // Gauss-Jordan on the normal equations
            for (int r = 0; r < 6; ++r) {
                if (r == c) continue;
                const double q = M[r][c] / M[c][c];
                for (int k = c; k < 7; ++k) M[r][k] -= q * M[c][k];
            }
        }
        for (int power = 0; power < 6; ++power) Out.A[power][tap] = (float)(M[power][6] / M[power][power]);
    }
    return Out;
}

// Lanczos3 over six by six point-sampled taps, columns and rows base - 2 .. base + 3: pairs 0-5
// hold the rows at the base column, c1 = (1 / tw, 0) steps across and c0 is the texture size.
// 36 reads do not fit ps_2_0, so this is the extended model. Each axis's six weights are
// normalised to sum to one.
void Lanczos3(ShaderWriter &W)
{
    std::vector<Reg> Pair;
    for (uint32_t i = 0; i < 6; ++i) Pair.push_back(W.Dcl(T(i)("xy")));
    const Reg Image = W.Dcl2D(0);
    const TapQuintic Fit = Lanczos3Fit();
    for (int power = 0; power < 6; ++power)
        W.Def(C(2 + power), Fit.A[power][0], Fit.A[power][1], Fit.A[power][2], 0);
    W.Def(C(8), -2, -1, 2, 3);
    W.Def(C(9), 1, 1, 1, 0);
    // r0 = (fx, fy, 1 - fx, 1 - fy).
    W.Mul(R(0)("xy"), Pair[2], C(0));
    W.Frc(R(0)("xy"), R(0));
    W.Sub(R(0)("z"), C(9)("x"), R(0)("x"));
    W.Sub(R(0)("w"), C(9)("x"), R(0)("y"));
    // Columns (r1, r2) and rows (r3, r4): taps 0, 1, 2 in x, y, z of the first, taps 5, 4, 3 (the
    // same quintics at 1 - f) in x, y, z of the second.
    for (int axis = 0; axis < 2; ++axis) {
        for (int half = 0; half < 2; ++half) {
            const Reg Wt = R(1 + 2 * axis + half);
            const Reg F = R(0)(Lane[axis + 2 * half]);
            W.Mad(Wt("xyz"), C(7), F, C(6));
            for (int power = 3; power >= 0; --power) W.Mad(Wt("xyz"), Wt, F, C(2 + power));
        }
        const Reg Forward = R(1 + 2 * axis), Back = R(2 + 2 * axis);
        W.Dp3(R(5)("x"), Forward, C(9));
        W.Dp3(R(5)("y"), Back, C(9));
        W.Add(R(5)("x"), R(5)("x"), R(5)("y"));
        W.Rcp(R(5)("x"), R(5)("x"));
        W.Mul(Forward("xyz"), Forward, R(5)("x"));
        W.Mul(Back("xyz"), Back, R(5)("x"));
    }
    auto Weight = [](int Axis, int Tap) {
        return Tap < 3 ? R(1 + 2 * Axis)(Lane[Tap]) : R(2 + 2 * Axis)(Lane[5 - Tap]);
    };
    // Row by row: r6 a tap's coordinates, r7 its texel, r8 the row's sum, r9 the total.
    static const char *const Step[6] = {"x", "y", "", "", "z", "w"};
    for (int row = 0; row < 6; ++row) {
        for (int column = 0; column < 6; ++column) {
            Reg Coord = Pair[row];
            if (column == 3) {
                W.Add(R(6)("xy"), Pair[row], C(1));
                Coord = R(6);
            } else if (column != 2) {
                W.Mad(R(6)("xy"), C(1), C(8)(Step[column]), Pair[row]);
                Coord = R(6);
            }
            W.Texld(R(7), Coord, Image);
            if (column == 0) W.Mul(R(8), R(7), Weight(0, column));
            else W.Mad(R(8), R(7), Weight(0, column), R(8));
        }
        if (row == 0) W.Mul(R(9), R(8), Weight(1, row));
        else W.Mad(R(9), R(8), Weight(1, row), R(9));
    }
    W.Mov(OC(0), R(9));
}

// Bicubic: sixteen point-sampled taps around the sample point, columns and rows base - 1 ..
// base + 2. Pairs 0-3 hold the rows at column base - 1 and pairs 4-7 at the base, and c1 = (2 / tw,
// 0) reaches the two columns right of them. c0 = the texture size.
void Bicubic(ShaderWriter &W)
{
    std::vector<Reg> Pair;
    for (uint32_t i = 0; i < 8; ++i) Pair.push_back(W.Dcl(T(i)("xy")));
    const Reg Image = W.Dcl2D(0);
    Numbers(W);
    const TapCubic Weights = CatmullRom();
    for (int power = 0; power < 4; ++power)
        W.Def(C(24 + power), Weights.A[power][0], Weights.A[power][1], Weights.A[power][2], Weights.A[power][3]);
    // f for x and y: pair 4 sits at the base column, pair 1 at the base row.
    W.Mul(R(0)("x"), Pair[4]("x"), C(0)("x"));
    W.Mul(R(0)("y"), Pair[1]("y"), C(0)("y"));
    W.Frc(R(0)("xy"), R(0));
    // Weights of the four columns (r1) and rows (r2): ((a3 f + a2) f + a1) f + a0.
    for (int axis = 0; axis < 2; ++axis) {
        const Reg Wt = R(1 + axis);
        const Reg F = R(0)(Lane[axis]);
        W.Mad(Wt, C(27), F, C(26));
        W.Mad(Wt, Wt, F, C(25));
        W.Mad(Wt, Wt, F, C(24));
    }
    // Row j's four taps: columns base - 1 .. base + 2. r3-r6 the coordinates, r7-r10 the texels,
    // r11 the row's sum; r0 (f no longer needed) the total.
    for (int row = 0; row < 4; ++row) {
        W.Mov(R(3)("xy"), Pair[row]);
        W.Mov(R(4)("xy"), Pair[4 + row]);
        W.Add(R(5)("xy"), Pair[row], C(1));
        W.Add(R(6)("xy"), Pair[4 + row], C(1));
        for (int c = 0; c < 4; ++c) W.Texld(R(7 + c), R(3 + c), Image);
        W.Mul(R(11), R(7), R(1)("x"));
        for (int c = 1; c < 4; ++c) W.Mad(R(11), R(7 + c), R(1)(Lane[c]), R(11));
        if (row == 0) W.Mul(R(0), R(11), R(2)("x"));
        else W.Mad(R(0), R(11), R(2)(Lane[row]), R(0));
    }
    W.Mov(OC(0), R(0));
}

// ---- Blends -------------------------------------------------------------------------------------------

// The blend types 14 (Normal_AlphaCh) and 15 (Add_AlphaCh) in the processor's whole numbers: r2 and
// r3 hold the straight source and blend, r0 and r1 as stored; the result goes to r1. A pixel of
// alpha 0 is left as it is.
void AlphaChannelBlend(ShaderWriter &W, bool Normal, bool Pma)
{
    auto Floor = [&](const Reg &Value, const char *Mask, const Reg &Work) {
        W.Frc(Work(Mask), Value);
        W.Sub(Value(Mask), Value, Work);
    };
    // r4 = source bytes (w: its alpha), r6 = blend bytes (w: its alpha).
    W.Mov(R(2)("w"), R(0)("w"));
    W.Mov(R(3)("w"), R(1)("w"));
    W.Mad(R(4), R(2), C(27)("y"), C(31)("y"));
    Floor(R(4), "xyzw", R(5));
    W.Mad(R(6), R(3), C(27)("y"), C(31)("y"));
    Floor(R(6), "xyzw", R(5));
    // r7: x = ratio x 256 whole, y = bw = (blend alpha x it) / 256 whole, z = 256 - bw.
    W.Mul(R(7)("x"), C(0)("x"), C(27)("x"));
    Floor(R(7), "x", R(8));
    W.Mul(R(7)("y"), R(6)("w"), R(7)("x"));
    W.Mul(R(7)("y"), R(7)("y"), C(26)("x"));
    Floor(R(7), "y", R(8));
    W.Sub(R(7)("z"), C(27)("x"), R(7)("y"));
    // r8.x: the alpha sum sa (256 - bw) + bw 256; Add_AlphaCh keeps it over 256, whole.
    W.Mul(R(8)("x"), R(7)("z"), R(4)("w"));
    W.Mad(R(8)("x"), R(7)("y"), C(27)("x"), R(8)("x"));
    if (!Normal) {
        W.Mul(R(8)("x"), R(8)("x"), C(26)("x"));
        Floor(R(8), "x", R(9));
    }
    W.Sub(R(9), R(8)("x"), C(31)("y"));
    W.Texkill(R(9));
    // The colour: Normal (s sa (256 - bw) + b bw 256) / sum; Add (b bw + s sa) / alpha, at most 255.
    if (Normal) {
        W.Mul(R(5)("xyz"), R(4), R(4)("w"));
        W.Mul(R(5)("xyz"), R(5), R(7)("z"));
        W.Mul(R(9)("xyz"), R(6), R(7)("y"));
        W.Mad(R(5)("xyz"), R(9), C(27)("x"), R(5));
    } else {
        W.Mul(R(5)("xyz"), R(6), R(7)("y"));
        W.Mad(R(5)("xyz"), R(4), R(4)("w"), R(5));
    }
    W.Rcp(R(8)("y"), R(8)("x"));
    W.Mad(R(5)("xyz"), R(5), R(8)("y"), C(26)("y"));
    Floor(R(5), "xyz", R(9));
    W.Min(R(5)("xyz"), R(5), C(27)("y"));
    // The alpha byte: Normal's sum over 256, whole; Add's alpha as it is.
    if (Normal) {
        W.Mul(R(8)("x"), R(8)("x"), C(26)("x"));
        Floor(R(8), "x", R(9));
    }
    if (Pma) {  // the processor's table: c x alpha / 255, whole
        W.Mul(R(5)("xyz"), R(5), R(8)("x"));
        W.Mad(R(5)("xyz"), R(5), C(27)("w"), C(26)("y"));
        Floor(R(5), "xyz", R(9));
    }
    W.Mul(R(1)("xyz"), R(5), C(27)("w"));
    W.Mul(R(1)("w"), R(8)("x"), C(27)("w"));
}

// c0 the blend ratio in all four, c1 = (1, 1, 1, 1). s = source (r2, straight), b = blend (r3,
// straight); w the weight of the mix (r4.x).
void BasicBlend(ShaderWriter &W, int Number, bool Pma)
{
    const Inputs In = Declare(W, true);
    W.Def(C(27), 256.0f, 255.0f, 1.9921875f, 1.0f / 255.0f);
    W.Def(C(26), 1.0f / 256.0f, 1.0f / 16384.0f, 255.0f / 65536.0f, 0);
    W.Texld(R(0), In.Uv, In.Image);
    W.Texld(R(1), In.Uv2, In.Image2);
    if (Pma) {
        Straight(W, R(0), R(2), R(5));
        Straight(W, R(1), R(3), R(5));
    } else {
        W.Mov(R(2), R(0));
        W.Mov(R(3), R(1));
    }
    const Reg S = R(2), B = R(3), F = R(5), T = R(6);
    // The blend types 0, 2-13 in blend-number order 0-12.
    switch (Number) {
    case 0: W.Mov(F, B); break;
    case 1: W.Mul(F, S, B); break;
    case 2: W.Sub(F, S, B); W.Max(F, F, C(31)("w")); break;
    case 3: W.Add(Sat(F), S, B); break;
    case 4:  // 1 - (1 - s)(1 - b)
        W.Sub(F, C(1), S);
        W.Sub(T, C(1), B);
        W.Mul(F, F, T);
        W.Sub(F, C(1), F);
        break;
    case 5:    // Overlay: s < 0.5: 2bs, else 2((1 - s) b + s) - 1
    case 11: {  // HardLight: the same with b deciding
        W.Mul(T, S, B);
        W.Add(T, T, T);
        W.Sub(F, C(1), S);
        W.Mad(F, F, B, S);
        W.Mad(F, F, C(29)("x"), C(29)("y"));
        W.Sub(R(7), (Number == 5 ? S : B), C(31)("y"));
        W.Cmp(Sat(F), R(7), F, T);
        break;
    }
    case 6:  // Dodge: s / (1 - b), 1 where b is 1
        W.Sub(T, C(1), B);
        W.Max(T, T, C(31)("x"));
        for (int i = 0; i < 3; ++i) W.Rcp(T(Lane[i]), T(Lane[i]));
        W.Mul(Sat(F), S, T);
        W.Sub(R(7), B, C(1));  // b = 1 gives 1 even where s is 0
        W.Cmp(F, R(7), C(1), F);
        break;
    case 7:  // Burn: 1 + (s - 1) x 256 / (255 b + 1), at least 0
        W.Mad(T, B, C(27)("y"), C(1));
        for (int i = 0; i < 3; ++i) W.Rcp(T(Lane[i]), T(Lane[i]));
        W.Sub(F, S, C(1));
        W.Mul(F, F, C(27)("x"));
        W.Mad(Sat(F), F, T, C(1));
        break;
    case 8: W.Min(F, S, B); break;
    case 9: W.Max(F, S, B); break;
    case 10: {  // SoftLight: s ^ e, e = 2(1 - b) below a half, else 0.5 / b
        W.Sub(T, C(1), B);
        W.Add(T, T, T);
        W.Max(R(7), B, C(31)("x"));
        for (int i = 0; i < 3; ++i) W.Rcp(R(7)(Lane[i]), R(7)(Lane[i]));
        W.Mul(R(7), R(7), C(31)("y"));
        W.Sub(R(8), B, C(31)("y"));
        W.Cmp(T, R(8), R(7), T);
        for (int i = 0; i < 3; ++i) W.Pow(F(Lane[i]), S(Lane[i]), T(Lane[i]));
        W.Mov(F("w"), C(1)("x"));
        break;
    }
    case 12:  // Exclusion: s + b - 1.992 s b
        W.Mul(T, S, B);
        W.Add(F, S, B);
        W.Mad(Sat(F), -T, C(27)("z"), F);
        break;
    default: break;
    }
    if (Number <= 12) {
        // s + (f - s) w, alpha the source's, with the processor's weight w: the blend alpha byte
        // times the ratio in whole 256ths, over 65536.
        W.Mul(R(4)("x"), C(0)("x"), C(27)("x"));
        W.Frc(R(4)("y"), R(4)("x"));
        W.Sub(R(4)("x"), R(4)("x"), R(4)("y"));
        W.Mul(R(4)("x"), R(4)("x"), R(1)("w"));
        W.Mul(R(4)("x"), R(4)("x"), C(26)("z"));
        W.Sub(F, F, S);
        W.Mad(R(1)("xyz"), F, R(4)("x"), S);
        W.Mov(R(1)("w"), R(0)("w"));
        if (Pma) {  // the mix's whole byte, then its premultiplication
            Truncate(W, R(1), "xyz", R(11));
            Premultiply(W, R(1), R(0)("w"));
        }
    } else if (Number == 13 || Number == 14) {
        AlphaChannelBlend(W, Number == 13, Pma);
    } else {
        // Multiple_AOnly: alpha sa + (ba sa - sa) ratio, colour the source's.
        W.Mad(T("x"), R(1)("w"), R(0)("w"), -R(0)("w"));
        W.Mad(R(1)("w"), T("x"), C(0)("x"), R(0)("w"));
        W.Mov(R(1)("xyz"), S);
        if (Pma) Premultiply(W, R(1), R(1)("w"));
    }
    Truncate(W, R(1), "xyzw", R(11));
    W.Mov(OC(0), R(1));
}

// ---- Channel mix ----------------------------------------------------------------------------------------

// Output red, green, blue from source channels Rgb, alpha from the blend's channel BlendAlpha.
void NamedChannelMix(ShaderWriter &W, const int Rgb[3], int BlendAlpha)
{
    const Inputs In = Declare(W, true);
    W.Texld(R(0), In.Uv, In.Image);
    W.Texld(R(1), In.Uv2, In.Image2);
    for (int i = 0; i < 3; ++i) W.Mov(R(2)(Lane[i]), R(0)(Lane[Rgb[i]]));
    W.Mov(R(2)("w"), R(1)(Lane[BlendAlpha]));
    W.Mov(OC(0), R(2));
}

// c1 = (r, g, b, a) + 0.5: 0-3 the source's red, green, blue, alpha, 4-7 the blend's, any other
// selector 0. Each output is candidate 0 plus the steps to every candidate at or below its
// selector, then 0 where the selector lies below 0 or at 8 or above.
void BaseChannelMix(ShaderWriter &W)
{
    const Inputs In = Declare(W, true);
    W.Def(C(27), 1, 2, 3, 4);
    W.Def(C(26), 5, 6, 7, 8);
    W.Texld(R(0), In.Uv, In.Image);
    W.Texld(R(1), In.Uv2, In.Image2);
    auto Candidate = [](int i) { return (i < 4 ? R(0) : R(1))(Lane[i & 3]); };
    W.Mov(R(2), Candidate(0));
    for (int i = 1; i < 8; ++i) {
        W.Sub(R(3), C(1), (i < 5 ? C(27) : C(26))(Lane[(i - 1) & 3]));
        W.Sub(R(4), Candidate(i), Candidate(i - 1));
        W.Cmp(R(4), R(3), R(4), C(31)("w"));
        W.Add(R(2), R(2), R(4));
    }
    W.Cmp(R(2), C(1), R(2), C(31)("w"));
    W.Sub(R(3), C(1), C(26)("w"));
    W.Cmp(R(2), R(3), C(31)("w"), R(2));
    W.Mov(OC(0), R(2));
}

void ReadyChannelMix(ShaderWriter &W, const int Selector[4])
{
    const Reg Uv = W.Dcl(T(0)("xy"));
    const Reg Image = W.Dcl2D(0);
    W.Texld(R(0), Uv, Image);
    for (int i = 0; i < 4; ++i) W.Mov(R(1)(Lane[i]), R(0)(Lane[Selector[i]]));
    W.Mov(OC(0), R(1));
}

}  // namespace

// ---- The set -------------------------------------------------------------------------------------------

bool BuildD3D9FilterSet(std::vector<NamedProgram> &Out, std::string *Error)
{
    Out.clear();
    struct Entry {
        std::string Name;
        std::function<void(ShaderWriter &)> Make;
        uint32_t Minor;   // 1: the extended pixel model
    };
    std::vector<Entry> Set;
    auto Add = [&](const std::string &Name, std::function<void(ShaderWriter &)> Make, uint32_t Minor = 0) {
        Set.push_back({Name, std::move(Make), Minor});
    };
    auto Both = [&](const std::string &Stem, std::function<void(ShaderWriter &, bool)> Make) {
        Add(Stem + ".pso", [Make](ShaderWriter &W) { Make(W, false); });
        Add(Stem + "_PMA.pso", [Make](ShaderWriter &W) { Make(W, true); });
    };
    Add("Mono.pso", Mono);
    for (int width : {8, 16, 32}) {
        char name[32];
        snprintf(name, sizeof(name), "Gauss_%02dPixel_PS.pso", width);
        // The 32-pixel blur's taps need the extended model's slots.
        Add(name, [width](ShaderWriter &W) { Gauss(W, width); }, width == 32 ? 1 : 0);
    }
    for (int ratio : {2, 4, 8})
        Add("DownScaleX" + std::to_string(ratio) + ".pso", [ratio](ShaderWriter &W) { DownScale(W, ratio); });
    for (bool greater : {false, true})
        for (bool fill : {false, true})
            Both(std::string("BrightClip") + (fill ? "Fill" : "") + (greater ? "Greater" : "Less"),
                 [greater, fill](ShaderWriter &W, bool Pma) { BrightClip(W, greater, fill, Pma); });
    // BrightnessScale's whole steps of the processor's lightness model need the extended model's slots.
    Add("BrightnessScale.pso", [](ShaderWriter &W) { BrightnessScale(W, false); }, 1);
    Add("BrightnessScale_PMA.pso", [](ShaderWriter &W) { BrightnessScale(W, true); }, 1);
    Both("Hsb_RGB_TO_HSB", [](ShaderWriter &W, bool Pma) { Hsb(W, HsbStep::RgbToHsb, Pma); });
    Both("Hsb_HSB_TO_RGB", [](ShaderWriter &W, bool Pma) { Hsb(W, HsbStep::HsbToRgb, Pma); });
    Both("Hsb_HSB_HLOCK", [](ShaderWriter &W, bool Pma) { Hsb(W, HsbStep::HueLock, Pma); });
    Both("Invert", Invert);
    Both("Level", Level);
    Both("TwoColor", TwoColor);
    Both("GradientMap", [](ShaderWriter &W, bool Pma) { GradientMap(W, false, Pma); });
    Both("GradientMapRev", [](ShaderWriter &W, bool Pma) { GradientMap(W, true, Pma); });
    Add("PremultipliedAlpha.pso", PremultipliedAlpha);
    Add("InterpolatedAlpha.pso", InterpolatedAlpha);
    Add("Y2uv2ToRgb.pso", [](ShaderWriter &W) { YuvToRgb(W, false, false); });
    Add("Y2uv1ToRgb.pso", [](ShaderWriter &W) { YuvToRgb(W, true, false); });
    Add("Y2uv2ToRgb_RRA.pso", [](ShaderWriter &W) { YuvToRgb(W, false, true); });
    Add("Y2uv1ToRgb_RRA.pso", [](ShaderWriter &W) { YuvToRgb(W, true, true); });
    Add("Bicubic.pso", Bicubic);
    Add("Lanczos3.pso", Lanczos3, 1);

    static const char *const Blend[16] = {
        "Normal", "Multiple", "Difference", "Add", "Screen", "Overlay", "Dodge", "Burn", "Darken", "Lighten",
        "SoftLight", "HardLight", "Exclusion", "Normal_AlphaCh", "Add_AlphaCh", "Multiple_AOnly"};
    for (int pma = 0; pma < 2; ++pma)
        for (int n = 0; n < 16; ++n)
            Add(std::string("BasBF_") + Blend[n] + (pma ? "_PMA" : "") + ".pso",
                [n, pma](ShaderWriter &W) { BasicBlend(W, n, pma != 0); });

    Both("RGBAMix_Base", [](ShaderWriter &W, bool) { BaseChannelMix(W); });
    static const char Letter[4] = {'R', 'G', 'B', 'A'};
    for (int r = 0; r < 3; ++r)
        for (int a = 0; a < 4; ++a)
            for (int pma = 0; pma < 2; ++pma) {
                const int rgb[3] = {r, r, r};
                char name[40];
                snprintf(name, sizeof(name), "RGBAMix_S%cS%cS%cB%c%s.pso", Letter[r], Letter[r], Letter[r], Letter[a],
                         pma ? "_PMA" : "");
                Add(name, [rgb, a](ShaderWriter &W) { NamedChannelMix(W, rgb, a); });
            }
    for (int a = 0; a < 4; ++a)
        for (int pma = 0; pma < 2; ++pma) {
            const int rgb[3] = {0, 1, 2};
            char name[40];
            snprintf(name, sizeof(name), "RGBAMix_SRSGSBB%c%s.pso", Letter[a], pma ? "_PMA" : "");
            Add(name, [rgb, a](ShaderWriter &W) { NamedChannelMix(W, rgb, a); });
        }

    for (const Entry &Shader : Set)
        if (!AddProgram(Out, Error, Shader.Name, Stage::Pixel, Shader.Make, Shader.Minor)) return false;
    return true;
}

bool BuildD3D9ChannelMixSet(std::vector<Bytes> &Out, std::string *Error)
{
    Out.assign(512, Bytes());
    for (int slot = 0; slot < 512; ++slot) {
        const int index = slot >> 1;
        const int selector[4] = {index >> 6 & 3, index >> 4 & 3, index >> 2 & 3, index & 3};
        ShaderWriter W(Stage::Pixel, 2);
        ReadyChannelMix(W, selector);
        Out[slot] = W.Finish();
        if (Out[slot].empty()) {
            if (Error) *Error = "channel mix " + std::to_string(slot) + ": " + W.Error();
            return false;
        }
    }
    return true;
}

}  // namespace sm2
