// Every filter and blend on the processor, end to end (GraphFilterBlt / GraphFilterBase between
// two software graphs), against references written here per pixel from the filters' formulas,
// each with its own edge handling.
#include <gtest/gtest.h>

#include <math.h>
#include <stdarg.h>

#include <algorithm>
#include <functional>
#include <random>

#include "tests/zovuz/filter/filter_fixture.h"
#include "zovuz/filter/zovuz_filter.h"

namespace {

constexpr int kW = 37, kH = 23;
constexpr int kExtra = 0x7E000000;  // an argument that stands for the case's extra graph

struct Px
{
    int b, g, r, a;
};
Px Split(uint32_t v) { return {(int)(v & 255), (int)(v >> 8 & 255), (int)(v >> 16 & 255), (int)(v >> 24)}; }
uint32_t Join(int b, int g, int r, int a)
{
    return (uint32_t)(b & 255) | (uint32_t)(g & 255) << 8 | (uint32_t)(r & 255) << 16 | (uint32_t)(a & 255) << 24;
}
int Clamp255(int v) { return std::min(std::max(v, 0), 255); }
int Mul(int c, int a) { return c * a / 255; }
int Div(int c, int a) { return a == 0 ? 0 : std::min(c * 255 / a, 255); }
int Luma(int r, int g, int b) { return 1224 * r + 2404 * g + 466 * b; }
Px Straight(Px p) { return {Div(p.b, p.a), Div(p.g, p.a), Div(p.r, p.a), p.a}; }
uint32_t Premultiplied(int b, int g, int r, int a, bool Pma)
{
    return Pma ? Join(Mul(b, a), Mul(g, a), Mul(r, a), a) : Join(b, g, r, a);
}
// A colour argument (0x00RRGGBB on the 32-bit software screen) with its alpha, as the filters pack it.
uint32_t PackColor(int Color, int Alpha, bool Pma)
{
    auto byte = [](int v) { return Clamp255((int)((float)v / 255.0f * 255.0f)); };
    return Premultiplied(byte(Color & 255), byte(Color >> 8 & 255), byte(Color >> 16 & 255), byte(Alpha), Pma);
}

// The pixels a case sees: source, blend (blends only), the destination's present pixels and the
// extra graph (gradient or chroma).
struct Images
{
    std::vector<uint32_t> Src, Blend, Dest, Extra;
    int ExtraW = 0, ExtraH = 0;
};
using Args = std::vector<int>;
using Reference = std::function<std::vector<uint32_t>(const Images &, const Args &)>;

// A reference of one output pixel from the pixels at the same place.
Reference PerPixel(std::function<uint32_t(const Args &, Px S, Px B, uint32_t D)> F)
{
    return [F](const Images &im, const Args &a) {
        std::vector<uint32_t> out(im.Dest.size());
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = F(a, Split(im.Src[i]), im.Blend.empty() ? Px{} : Split(im.Blend[i]), im.Dest[i]);
        return out;
    };
}

uint32_t Mono(const Args &a, Px s, Px, uint32_t)
{
    auto tint = [](int v) { return std::min(std::max((float)v * 100.0f / 255.0f / 200.0f, -0.5f), 0.5f); };
    float cb = tint(a[0]), cr = tint(a[1]);
    int kb = (int)(cb * 1.772f * 255.0f * 4096.0f), kg = (int)((cb * 0.34414f - cr * 0.71414f) * 255.0f * 4096.0f),
        kr = (int)(cr * 1.402f * 255.0f * 4096.0f), l = Luma(s.r, s.g, s.b);
    return Join(Clamp255((l + kb) >> 12), Clamp255((l + kg) >> 12), Clamp255((l + kr) >> 12), s.a);
}

uint32_t Invert(bool Pma, Px s)
{
    auto inv = [&](int c) { return Pma ? Mul(255 - Div(c, s.a), s.a) : 255 - c; };
    return Join(inv(s.b), inv(s.g), inv(s.r), s.a);
}

uint32_t BrightClip(bool Pma, const Args &a, Px s, uint32_t d)
{
    Px t = Pma ? Straight(s) : s;
    int threshold = (int)(std::min(std::max((float)a[1] / 255.0f, 0.0f), 1.0f) * 255.0f * 4096.0f);
    int l = Luma(t.r, t.g, t.b);
    bool clipped = a[0] == 2 ? l < threshold : l > threshold;
    if (!clipped) return Join(s.b, s.g, s.r, s.a);
    return a[2] ? PackColor(a[3], a[4], Pma) : d;
}

// The lightness model: S and L, and the rebuild of a channel from its pure colour.
void LightnessOf(int r, int g, int b, int &mx, int &mn, int &l, int &sat)
{
    mx = std::max({r, g, b}), mn = std::min({r, g, b}), l = (mx + mn) / 2;
    sat = mx == mn ? 0 : (mx - mn) * 256 / (l <= 128 ? mx + mn : 512 - mx - mn);
}
int Rebuild(int p, int s, int l)
{
    int c = p + (((128 - p) * (256 - s)) >> 8);
    return (l <= 128 ? (2 * l * c) >> 8 : c + (((255 - c) * (l - 128) * 2) >> 8)) & 255;
}
uint32_t Rebuilt(bool Pma, const int Pure[3], int s, int l, int a)
{
    return Premultiplied(Rebuild(Pure[2], s, l), Rebuild(Pure[1], s, l), Rebuild(Pure[0], s, l), a, Pma);
}

uint32_t BrightnessScale(bool Pma, const Args &a, Px p)
{
    Px t = Pma ? Straight(p) : p;
    int lo = std::min(std::max(a[0], 0), 254), hi = std::min(std::max(a[1], 1), 255);
    if (lo == hi) hi = lo + 1;
    int mx, mn, l, sat;
    LightnessOf(t.r, t.g, t.b, mx, mn, l, sat);
    int pure[3] = {255, 0, 0};
    if (mx != mn) {
        int d = mx - mn, dr = (mx - t.r) * 256 / d, dg = (mx - t.g) * 256 / d, db = (mx - t.b) * 256 / d;
        if (t.r == mx)
            pure[0] = 255, pure[1] = std::max(db - dg, 0), pure[2] = db > dg ? 0 : dg - db;
        else if (t.g == mx)
            pure[1] = 255, pure[0] = dr <= db ? db - dr : 0, pure[2] = dr <= db ? 0 : dr - db;
        else
            pure[2] = 255, pure[1] = dg <= dr ? dr - dg : 0, pure[0] = dg <= dr ? 0 : dg - dr;
        for (int &c : pure) c = std::min(c, 255);
    }
    int nl = Clamp255(((l - lo) * (255 * 4096 / (hi - lo))) >> 12);
    return Rebuilt(Pma, pure, sat, nl, p.a);
}

uint32_t Level(bool Pma, const Args &a, Px p)
{
    auto unit = [](int v) { return std::min(std::max((float)v / 255.0f, 0.0f), 1.0f); };
    float m0 = unit(a[0]), m1 = unit(a[1]), o0 = unit(a[3]), o1 = unit(a[4]), g = (float)a[2] / 100.0f;
    g = std::max(g, 0.001f), m0 = std::min(m0, m1), o0 = std::min(o0, o1);
    int lo = (int)(m0 * 255.0f), hi = (int)(m1 * 255.0f), olo = (int)(o0 * 255.0f), ohi = (int)(o1 * 255.0f);
    auto gamma = [&](int i) {
        float v = powf((float)i / 255.0f, 1.0f / g) * 255.0f;
        return v > 255.0f ? 255 : (int)v;
    };
    auto level = [&](int c) {
        // An empty input range is a step at lo.
        int t = hi == lo ? (c <= lo ? -1 : 256) : (c - lo) * 256 / (hi - lo);
        return (gamma(std::min(std::max(t, 0), 255)) * (ohi - olo) + olo * 256) >> 8;
    };
    Px t = Pma ? Straight(p) : p;
    return Premultiplied(level(t.b), level(t.g), level(t.r), p.a, Pma);
}

uint32_t Hsb(bool Pma, const Args &a, Px p)
{
    float h = (float)a[1] / 360.0f;
    h = a[0] == 0 ? std::min(std::max(h, -0.5f), 0.5f) : std::min(std::max(h, 0.0f), 1.0f);
    float s = std::min(std::max((float)a[2] * 100.0f / 255.0f / 100.0f, -1.0f), 1.0f);
    float b = std::min(std::max((float)a[3] * 100.0f / 255.0f / 100.0f, -1.0f), 1.0f);
    int hi = (int)(h * 6.0f * 256.0f), si = s > 0 ? (int)(s * 5.0f * 256.0f) : (int)(s * 256.0f),
        bi = (int)(b * 256.0f);
    Px t = Pma ? Straight(p) : p;
    int c[3] = {t.r, t.g, t.b};
    for (int &v : c) v = bi > 0 ? v + (((255 - v) * bi) >> 8) : (v * (bi + 256)) >> 8;
    int mx, mn, l, sat;
    LightnessOf(c[0], c[1], c[2], mx, mn, l, sat);
    int hue = hi;
    if (a[0] != 1) {
        int own = 0;
        if (mx != mn) {
            int d = mx - mn, dr = (mx - c[0]) * 256 / d, dg = (mx - c[1]) * 256 / d, db = (mx - c[2]) * 256 / d;
            own = c[0] == mx ? db - dg : c[1] == mx ? dr - db + 512 : dg - dr + 1024;
            own = (own + 1536) % 1536;
        }
        hue = own + hi;
    }
    hue = (hue + 3072) % 1536;
    int f = hue & 255;
    static const int kSector[6][3] = {{255, -1, 0}, {-2, 255, 0}, {0, 255, -1},
                                      {0, -2, 255}, {-1, 0, 255}, {255, 0, -2}};
    int pure[3];
    for (int i = 0; i < 3; ++i) {
        int v = kSector[hue >> 8][i];
        pure[i] = v == -1 ? f : v == -2 ? 255 - f : v;
    }
    return Rebuilt(Pma, pure, std::min(((si + 256) * sat) >> 8, 256), l, p.a);
}

Reference GradientMap(bool Pma)
{
    return [Pma](const Images &im, const Args &a) {
        std::vector<uint32_t> out(im.Src.size());
        for (size_t i = 0; i < out.size(); ++i) {
            Px t = Pma ? Straight(Split(im.Src[i])) : Split(im.Src[i]);
            int k = Luma(t.r, t.g, t.b) >> 12;
            Px e = Split(im.Extra[((a[1] ? 255 - k : k) * im.ExtraW) >> 8]);
            out[i] = Premultiplied(e.b, e.g, e.r, e.a, Pma);
        }
        return out;
    };
}

// The blur, per byte, in the weights' fixed point, with the row or column's end pixels repeated.
std::vector<uint32_t> Gauss(const Images &im, const Args &a)
{
    int half = (a[0] <= 8 ? 8 : a[0] <= 16 ? 16 : 32) / 2;
    float strength = (float)a[1] / 100.0f, s = std::max(strength, 1e-10f), w[16], sides = 0;
    for (int i = 0; i < half; ++i) w[i] = expf(-0.5f * (float)(i * i) / s);
    for (int i = 1; i < half; ++i) sides += w[i];
    float total = w[0] + 2.0f * sides;
    int W[16];
    for (int i = 0; i < half; ++i) W[i] = (int)(w[i] / total * 65536.0f);
    if (strength < 1e-7f) return im.Src;
    auto pass = [&](const std::vector<uint32_t> &in, int dx, int dy) {
        std::vector<uint32_t> out(in.size());
        auto at = [&](int x, int y, int sh) {
            return (int)(in[std::min(std::max(y, 0), kH - 1) * kW + std::min(std::max(x, 0), kW - 1)] >> sh & 255);
        };
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                for (int sh = 0; sh < 32; sh += 8) {
                    int sum = 0;
                    for (int j = 1; j <= 2 * half - 2; ++j)
                        sum += W[(j + 1) / 2] * (at(x - j * dx, y - j * dy, sh) + at(x + j * dx, y + j * dy, sh));
                    out[y * kW + x] |= (uint32_t)(((sum >> 1) + W[0] * at(x, y, sh)) >> 16) << sh;
                }
        return out;
    };
    return pass(pass(im.Src, 1, 0), 0, 1);
}

std::vector<uint32_t> DownScale(const Images &im, const Args &a)
{
    int r = a[0] <= 2 ? 2 : a[0] <= 4 ? 4 : 8;
    std::vector<uint32_t> out = im.Dest;
    for (int y = 0; y < kH / r; ++y)
        for (int x = 0; x < kW / r; ++x) {
            uint32_t v = 0;
            for (int sh = 0; sh < 32; sh += 8) {
                int sum = 0;
                for (int j = 0; j < r * r; ++j) sum += im.Src[(y * r + j / r) * kW + x * r + j % r] >> sh & 255;
                v |= (uint32_t)(sum / (r * r)) << sh;
            }
            out[y * kW + x] = v;
        }
    return out;
}

// ---- Blends ----

int BlendValue(int type, int s, int b)
{
    switch (type) {
        case 0:
            return b;
        case 2:
            return b * s / 256;
        case 3:
            return std::max(s - b, 0);
        case 4:
            return std::min(s + b, 255);
        case 5:
            return 255 - (255 - s) * (255 - b) / 256;
        case 6:
            return std::min(s < 128 ? b * s / 128 : ((256 - s) * b + s * 256) * 2 / 256 - 255, 255);
        case 7:
            return b == 255 ? 255 : std::min(s * 256 / (255 - b), 255);
        case 8:
            return std::max((s - 255) * 256 / (b + 1) + 255, 0);
        case 9:
            return std::min(s, b);
        case 10:
            return std::max(s, b);
        case 11: {
            float e = b < 128 ? (1.0f - (float)b / 255.0f) * 2.0f : 0.5f / ((float)b / 255.0f);
            return Clamp255((int)(powf((float)s / 255.0f, e) * 255.0f));
        }
        case 12:
            return std::min(b < 128 ? s * b / 128 : ((256 - s) * b + s * 256) * 2 / 256 - 255, 255);
        default:
            return std::min((s * 128 + (128 - s) * b) / 128, 255);  // 13
    }
}

uint32_t Blend(int Type, int Ratio, Px sp, Px bp, uint32_t d)
{
    bool pma = Type >= 17;
    int type = Type % 17, r256 = (int)((float)Ratio / 255.0f * 256.0f), w = bp.a * r256, sa = sp.a;
    Px s = pma ? Straight(sp) : sp, b = pma ? Straight(bp) : bp;
    int sc[3] = {s.b, s.g, s.r}, bc[3] = {b.b, b.g, b.r}, out[3];
    if (type == 14 || type == 15) {
        int bw = w >> 8;
        int den = type == 14 ? sa * (256 - bw) + bw * 256 : ((256 - bw) * sa + bw * 256) >> 8;
        if (den == 0) return d;
        int alpha = type == 14 ? den >> 8 : den;
        for (int i = 0; i < 3; ++i)
            out[i] = type == 14 ? (sc[i] * sa * (256 - bw) + bc[i] * bw * 256) / den
                                : std::min((bc[i] * bw + sc[i] * sa) / den, 255);
        return Premultiplied(out[0], out[1], out[2], alpha, pma);
    }
    if (type == 16) {
        int alpha = ((((bp.a * sa) >> 8) - sa) * (r256 * 255) + sa * 65536) >> 16;
        return Premultiplied(s.b, s.g, s.r, alpha, pma);
    }
    for (int i = 0; i < 3; ++i) out[i] = ((BlendValue(type, sc[i], bc[i]) - sc[i]) * w + sc[i] * 65536) >> 16;
    return Premultiplied(out[0], out[1], out[2], sa, pma);
}

uint32_t RgbaMix(const Args &a, Px s, Px b, uint32_t)
{
    const int channel[8] = {s.r, s.g, s.b, s.a, b.r, b.g, b.b, b.a};
    int out[4];
    for (int i = 0; i < 4; ++i) out[i] = a[i] >= 0 && a[i] < 8 ? channel[a[i]] : 0;
    return Join(out[2], out[1], out[0], out[3]);
}

// ---- The cases ----

struct Case
{
    const char *Name;
    int IsBlend, Type;
    Args Arguments;
    Reference Expect;
    int ExtraW = 0, ExtraH = 0;  // an extra graph of random pixels, passed where an argument is kExtra
};

std::vector<Case> FilterCases()
{
    auto pixel = [](auto f) { return PerPixel([f](const Args &a, Px s, Px b, uint32_t d) { return f(a, s, b, d); }); };
    auto plainOrPma = [&](bool pma, auto f) {
        return pixel([pma, f](const Args &a, Px s, Px, uint32_t) { return f(pma, a, s); });
    };
    std::vector<Case> cases = {
        {"Mono grey", 0, 0, {0, 0}, PerPixel(Mono)},
        {"Mono tinted", 0, 0, {-100, 180}, PerPixel(Mono)},
        {"Mono beyond 255", 0, 0, {400, -300}, PerPixel(Mono)},
        {"Invert", 0, 6, {}, pixel([](const Args &, Px s, Px, uint32_t) { return Invert(false, s); })},
        {"Invert PMA", 0, 21, {}, pixel([](const Args &, Px s, Px, uint32_t) { return Invert(true, s); })},
        {"PremultipliedAlpha", 0, 10, {}, pixel([](const Args &, Px s, Px, uint32_t) {
             return Join(s.b * s.a >> 8, s.g * s.a >> 8, s.r * s.a >> 8, s.a);
         })},
        {"InterpolatedAlpha", 0, 11, {}, pixel([](const Args &, Px s, Px, uint32_t) {
             return Join(Div(s.b, s.a), Div(s.g, s.a), Div(s.r, s.a), s.a);
         })},
        {"BrightClip less keeps", 0, 3, {2, 128, 0}, pixel([](const Args &a, Px s, Px, uint32_t d) {
             return BrightClip(false, a, s, d);
         })},
        {"BrightClip greater fills", 0, 3, {5, 60, 1, 0x123456, 200}, pixel([](const Args &a, Px s, Px, uint32_t d) {
             return BrightClip(false, a, s, d);
         })},
        {"BrightClip PMA", 0, 18, {2, 100, 1, 0xFFFFFF, 128}, pixel([](const Args &a, Px s, Px, uint32_t d) {
             return BrightClip(true, a, s, d);
         })},
        {"TwoColor", 0, 8, {100, 0x102030, 255, 0xF0E0D0, 128}, pixel([](const Args &a, Px s, Px, uint32_t) {
             return Luma(s.r, s.g, s.b) < a[0] * 4096 ? PackColor(a[1], a[2], false) : PackColor(a[3], a[4], false);
         })},
        {"TwoColor PMA", 0, 23, {150, 0x804020, 100, 0x20F080, 220}, pixel([](const Args &a, Px s, Px, uint32_t) {
             Px t = Straight(s);
             return Luma(t.r, t.g, t.b) < a[0] * 4096 ? PackColor(a[1], a[2], true) : PackColor(a[3], a[4], true);
         })},
        {"GradientMap", 0, 9, {kExtra, 0}, GradientMap(false), 7, 2},
        {"GradientMap reversed PMA", 0, 24, {kExtra, 1}, GradientMap(true), 300, 1},
        {"BrightnessScale", 0, 4, {40, 210}, plainOrPma(false, BrightnessScale)},
        {"BrightnessScale equal ends", 0, 4, {100, 100}, plainOrPma(false, BrightnessScale)},
        {"BrightnessScale inverted", 0, 4, {300, 0}, plainOrPma(false, BrightnessScale)},
        {"BrightnessScale PMA", 0, 19, {0, 198}, plainOrPma(true, BrightnessScale)},
        {"Level", 0, 7, {20, 230, 150, 10, 240}, plainOrPma(false, Level)},
        {"Level empty range", 0, 7, {100, 100, 100, 0, 255}, plainOrPma(false, Level)},
        {"Level crossed ends", 0, 7, {200, 100, 0, 0, 255}, plainOrPma(false, Level)},
        {"Level gamma 0", 0, 7, {0, 255, 0, 0, 255}, plainOrPma(false, Level)},
        {"Level PMA", 0, 22, {0, 255, 50, 30, 200}, plainOrPma(true, Level)},
        {"Hsb shift", 0, 5, {0, 90, 100, -50}, plainOrPma(false, Hsb)},
        {"Hsb set hue", 0, 5, {1, 120, -255, 0}, plainOrPma(false, Hsb)},
        {"Hsb full turn", 0, 5, {2, 400, 60, 30}, plainOrPma(false, Hsb)},
        {"Hsb half turn at most", 0, 5, {0, 400, 0, 0}, plainOrPma(false, Hsb)},
        {"Hsb set hue 360", 0, 5, {1, 360, 0, 0}, plainOrPma(false, Hsb)},
        {"Hsb bright past 255", 0, 5, {0, -30, 40, 300}, plainOrPma(false, Hsb)},
        {"Hsb PMA", 0, 20, {0, 45, 60, 40}, plainOrPma(true, Hsb)},
        {"Gauss 8", 0, 1, {8, 100}, Gauss},
        {"Gauss 8 stronger", 0, 1, {0, 400}, Gauss},
        {"Gauss 16", 0, 1, {12, 250}, Gauss},
        {"Gauss 32", 0, 1, {1000, 3000}, Gauss},
        {"Gauss strength 0", 0, 1, {8, 0}, Gauss},
        {"DownScale 2", 0, 2, {2}, DownScale},
        {"DownScale 3 is 4", 0, 2, {3}, DownScale},
        {"DownScale 4", 0, 2, {4}, DownScale},
        {"DownScale 5 is 8", 0, 2, {5}, DownScale},
        {"RGBA mix", 1, 1, {4, 5, 6, 3}, PerPixel(RgbaMix)},
        {"RGBA mix outside 0-7", 1, 18, {9, -1, 2, 7}, PerPixel(RgbaMix)},
    };
    static const char *const kBlendNames[] = {
        "Normal",    "",          "Multiple",       "Difference",  "Add",           "Screen",
        "Overlay",   "Dodge",     "Burn",           "Darken",      "Lighten",       "SoftLight",
        "HardLight", "Exclusion", "Normal_AlphaCh", "Add_AlphaCh", "Multiple_AOnly"};
    for (int type = 0; type < 34; ++type) {
        if (type % 17 == 1) continue;
        const int ratio = type * 7 % 256;  // 0 for Normal, full-ish for the others
        cases.push_back({kBlendNames[type % 17], 1, type, {ratio}, pixel([type](const Args &a, Px s, Px b, uint32_t d) {
                             return Blend(type, a[0], s, b, d);
                         })});
    }
    return cases;
}

class FilterKernels : public FilterGraphs
{
};

TEST_F(FilterKernels, EveryFilterAndBlendMatchesItsReference)
{
    for (const Case &c : FilterCases()) {
        for (unsigned seed = 1; seed <= 2; ++seed) {
            SCOPED_TRACE(testing::Message() << c.Name << " (type " << c.Type << ", seed " << seed << ")");
            std::mt19937 rng(seed * 7919 + c.Type);
            Images im;
            im.Src = RandomPixels(rng, kW * kH);
            im.Dest = RandomPixels(rng, kW * kH);
            int src = Graph(im.Src, kW, kH), dest = Graph(im.Dest, kW, kH), blend = -1;
            if (c.IsBlend) blend = Graph(im.Blend = RandomPixels(rng, kW * kH), kW, kH);
            Args a = c.Arguments;
            a.resize(10);
            if (c.ExtraW > 0) {
                im.ExtraW = c.ExtraW, im.ExtraH = c.ExtraH;
                int extra = Graph(im.Extra = RandomPixels(rng, c.ExtraW * c.ExtraH), c.ExtraW, c.ExtraH);
                std::replace(a.begin(), a.end(), kExtra, extra);
            }
            int ratio = c.IsBlend && c.Type % 17 != 1 ? c.Arguments[0] : 255;
            ASSERT_EQ(0, c.IsBlend ? FilterBase(1, src, blend, dest, ratio, c.Type, 0, 0, kW, kH, 0, 0, a[0], a[1],
                                                a[2], a[3])
                                   : GraphFilterBlt(src, dest, c.Type, a[0], a[1], a[2], a[3], a[4], a[5], a[6]));
            EXPECT_EQ(c.Expect(im, c.Arguments), GraphPixels(dest));
        }
    }
}

// Single pixels with known answers: these pin the references above to the filters' own numbers.
TEST_F(FilterKernels, KnownPixels)
{
    struct Known
    {
        const char *Name;
        int IsBlend, Type;
        Args Arguments;
        uint32_t In, Blend, Out;
    };
    const Known known[] = {
        {"Mono grey: white becomes 254", 0, 0, {0, 0}, 0xFFFFFFFF, 0, 0xFFFEFEFE},
        {"Mono Cb 255: black to (225, 43, 0)", 0, 0, {255, 0}, 0xFF000000, 0, 0xFF002BE1},
        {"PremultipliedAlpha of white", 0, 10, {}, 0xFFFFFFFF, 0, 0xFFFEFEFE},
        {"InterpolatedAlpha (100, 50, 200, 128)", 0, 11, {}, 0x80C83264, 0, 0x80FF63C7},
        {"InterpolatedAlpha with alpha 0", 0, 11, {}, 0x001E140A, 0, 0x00000000},
        {"Invert PMA of transparent black", 0, 21, {}, 0x00000000, 0, 0x00000000},
        {"BrightnessScale keeps yellow", 0, 4, {0, 198}, 0xFFC8C800, 0, 0xFFFFFF00},
        {"Hsb bright 255 on black", 0, 5, {0, 0, 0, 255}, 0xFF000000, 0, 0xFFFEFEFE},
        {"Hsb bright 300 on black", 0, 5, {0, 0, 0, 300}, 0xFF000000, 0, 0xFFFEFEFE},
        {"Hsb bright 300 on (255, 243, 243)", 0, 5, {0, 0, 0, 300}, 0xFFFFF3F3, 0, 0xFFFEFEFE},
        {"Hsb bright -255", 0, 5, {0, 0, 0, -255}, 0xFF8090A0, 0, 0xFF000000},
        {"BrightClip less than 0 keeps black", 0, 3, {2, 0, 1, 0xFFFFFF, 255}, 0xFF000000, 0, 0xFF000000},
        {"BrightClip greater than 0 keeps black", 0, 3, {5, 0, 1, 0xFFFFFF, 255}, 0xFF000000, 0, 0xFF000000},
        {"BrightClip greater than 0 fills", 0, 3, {5, 0, 1, 0xFFFFFF, 255}, 0xFF010000, 0, 0xFFFFFFFF},
        {"TwoColor threshold 0: high", 0, 8, {0, 0x000000, 255, 0xFFFFFF, 255}, 0xFF000000, 0, 0xFFFFFFFF},
        {"TwoColor threshold 256: low", 0, 8, {256, 0x000000, 255, 0xFFFFFF, 255}, 0xFFFFFFFF, 0, 0xFF000000},
        {"TwoColor threshold past the int range: low",
         0,
         8,
         {600000, 0x000000, 255, 0xFFFFFF, 255},
         0xFFFFFFFF,
         0,
         0xFF000000},
        {"Difference of 10 and 50", 1, 3, {255}, 0xFF0A0A0A, 0xFF323232, 0xFF000000},
        {"Dodge with blend 255", 1, 7, {255}, 0xFF102030, 0xFFFFFFFF, 0xFFFEFEFE},
    };
    for (const Known &k : known) {
        SCOPED_TRACE(k.Name);
        int graph = Graph({k.In}, 1, 1), blend = k.IsBlend ? Graph({k.Blend}, 1, 1) : -1;
        Args a = k.Arguments;
        a.resize(5);
        int ratio = k.IsBlend ? a[0] : 0;
        ASSERT_EQ(0, FilterBase(k.IsBlend, graph, blend, graph, ratio, k.Type, 0, 0, 1, 1, 0, 0, a[0], a[1], a[2], a[3],
                                a[4]));
        EXPECT_EQ(k.Out, GraphPixels(graph)[0]) << std::hex << GraphPixels(graph)[0];
    }
}

// A blend reads its graph at (BlendX, BlendY) with the position flag on, at the rectangle's own
// coordinates with it off; beyond the blend graph the output is the source's pixel. The channel
// mix (4, 5, 6, 7) copies the blend pixel it read.
int BlendAtPosition(int Src, int Blend, int Dest, int BlendX, int BlendY, int Flag, ...)
{
    va_list args;
    va_start(args, Flag);
    const int result = GraphFilterBase(1, Src, Blend, Dest, 255, DX_GRAPH_BLEND_RGBA_SELECT_MIX, 1, 1, 3, 3, BlendX,
                                       BlendY, Flag, 0, 0, args);
    va_end(args);
    return result;
}

TEST_F(FilterKernels, BlendGraphIsReadWhereItsPositionSays)
{
    std::mt19937 rng(31);
    const std::vector<uint32_t> src = RandomPixels(rng, 16), other = RandomPixels(rng, 16);
    for (const int flag : {0, 1}) {
        // The rectangle (1, 1)-(3, 3); the position (2, -1) reaches above the blend graph.
        const int s = Graph(src, 4, 4), b = Graph(other, 4, 4), d = Graph(std::vector<uint32_t>(16, 0), 4, 4);
        ASSERT_EQ(0, BlendAtPosition(s, b, d, 2, -1, flag, 4, 5, 6, 7));
        std::vector<uint32_t> expect(16, 0);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) {
                const int bx = (flag ? 2 : 1) + x, by = (flag ? -1 : 1) + y;
                expect[y * 4 + x] = by >= 0 ? other[by * 4 + bx] : src[(1 + y) * 4 + 1 + x];
            }
        EXPECT_EQ(expect, GraphPixels(d)) << "flag " << flag;
    }
}

// Filters 13 and 15: all nine chroma layouts of a 37 x 23 picture; the chroma pixel of graph
// pixel (X, Y) is (X / block width, Y / block height), and columns and rows past the last chroma
// block that ends inside the rectangle keep the destination's pixels.
TEST_F(FilterKernels, YuvToRgbOfEveryChromaLayout)
{
    auto channel = [](int sum) { return Clamp255(sum >> 15); };
    // Filter 13 on the whole picture, on a narrower rectangle and on one from (3, 5), which starts
    // inside a block; filter 15 on the left half.
    const struct
    {
        int Alpha, X, Y, RectW, RectH;
    } shapes[] = {{0, 0, 0, kW, kH}, {0, 0, 0, kW - 2, kH}, {0, 3, 5, 26, 15}, {1, 0, 0, kW, kH}};
    for (const auto &shape : shapes)
        for (int bx : {1, 2, 4})
            for (int by : {1, 2, 4}) {
                const int alpha = shape.Alpha, rw = shape.RectW, rh = shape.RectH, x0 = shape.X, y0 = shape.Y;
                SCOPED_TRACE(testing::Message() << "block " << bx << "x" << by << " from (" << x0 << ", " << y0
                                                << ") width " << rw << (alpha ? ", alpha half" : ""));
                std::mt19937 rng(bx * 10 + by + alpha * 100);
                const int lw = kW * (alpha + 1), cw = lw / bx, ch = kH / by;
                std::vector<uint32_t> luma = RandomPixels(rng, lw * kH), chroma = RandomPixels(rng, cw * ch),
                                      dest = RandomPixels(rng, kW * kH);
                int y = Graph(luma, lw, kH), uv = Graph(chroma, cw, ch), out = Graph(dest, kW, kH);
                ASSERT_EQ(0, GraphFilterRectBlt(y, out, x0, y0, x0 + rw, y0 + rh, 0, 0, alpha ? 15 : 13, uv));
                std::vector<uint32_t> expect = dest;
                const int lastX = std::min((x0 + rw) / bx, cw - (alpha ? cw / 2 : 0)) * bx;
                const int lastY = std::min((y0 + rh) / by, ch) * by;
                for (int gy = y0; gy < lastY; ++gy)
                    for (int gx = x0; gx < lastX; ++gx) {
                        const int px = gx - x0, py = gy - y0;
                        int l = luma[gy * lw + gx] & 255, c = gy / by * cw + gx / bx;
                        int u = (chroma[c] & 255) - 128, v = (chroma[c] >> 8 & 255) - 128;
                        int a = 255;
                        if (alpha)
                            a = channel((luma[gy * lw + gx + kW] & 255) * 32768 +
                                        ((int)(chroma[c + cw / 2] >> 8 & 255) - 128) * 45940);
                        expect[py * kW + px] =
                            Join(channel(l * 32768 + u * 58064), channel(l * 32768 - u * 11272 - v * 23396),
                                 channel(l * 32768 + v * 45940), a);
                    }
                EXPECT_EQ(expect, GraphPixels(out));
            }
}

TEST_F(FilterKernels, YuvKnownPixels)
{
    struct Known
    {
        uint32_t Y, UV, Out;
    };
    const Known known[] = {
        {128, 0x8080, 0xFF808080},  // grey stays grey
        {255, 0xFF80, 0xFFFFA4FF},  // V 255: red clamped, green 164
        {0, 0x8000, 0xFF002C00},    // U 0: blue clamped at 0
    };
    for (const Known &k : known) {
        int y = Graph({k.Y}, 1, 1), uv = Graph({k.UV}, 1, 1);
        ASSERT_EQ(0, GraphFilterBlt(y, y, 13, uv));
        EXPECT_EQ(k.Out, GraphPixels(y)[0]) << std::hex << k.Y << " " << k.UV;
    }
}

}  // namespace
