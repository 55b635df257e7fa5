// The graph filters' heavy processor kernels on a 1920 x 1080 picture, each beside a plain loop
// written here that does the same kind of work the obvious way, in the same run:
// - Gauss (N = 16, strength 100) against a separable blur with float weights and clamped edges;
// - DownScale by 4 against a block average with a division per channel;
// - YUV to RGB (filter 13, chroma at half width and height) against a float conversion;
// - Hsb (hue shift, saturation and brightness) against a float HSV round trip.
// The ratio is the kernel's time over the plain loop's; the Gauss target is 1.0 or less.
// Then Gauss N = 16 through each graphics back end that starts here (Direct3D 11, Direct3D 9), a
// 1920 x 1080 graph into a draw-valid graph of its size, and the draw-valid graph filtered in
// place (its last pass goes through a work texture and is copied back): the first against the
// processor kernel's time of the same run (informational: llvmpipe draws on the processor too),
// the second against the first. Each is the fastest of ten calls.
#include "bench/support/bench_clock.h"
#include "bench/support/bench_graphics.h"

#include <math.h>
#include <stdint.h>

#include <algorithm>
#include <vector>

#include "zovuz/filter/kernels/filter_kernels_internal.h"
#include "zovuz/d3d9/zovuz_d3d9.h"
#include "zovuz/filter/graph_filter_internal.h"
#include "zovuz/graphics/graph/graph_internal.h"
#include "zovuz/graphics/zovuz_graphics.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

struct Picture {
  std::vector<uint8_t> Bytes;
  FilterPixels Pixels;
  Picture(int Width, int Height) : Bytes((size_t)Width * Height * 4) {
    for (size_t i = 0; i < Bytes.size(); ++i) Bytes[i] = (uint8_t)((i * 2654435761u) >> 13);
    Pixels = {Bytes.data(), Width * 4, Width, Height};
  }
};

inline uint8_t ToByte(float v) { return (uint8_t)std::min(std::max(v, 0.0f), 255.0f); }

// ---- The plain loops ----

void PlainBlur(const Picture& Src, Picture& Work, Picture& Dest, const float* Tap, int Reach) {
  auto pass = [&](const Picture& in, Picture& out, int dx, int dy) {
    const int w = in.Pixels.Width, h = in.Pixels.Height;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < 4; ++c) {
          float sum = 0.0f;
          for (int j = -Reach; j <= Reach; ++j) {
            const int sx = std::min(std::max(x + j * dx, 0), w - 1);
            const int sy = std::min(std::max(y + j * dy, 0), h - 1);
            sum += Tap[j + Reach] * in.Bytes[((size_t)sy * w + sx) * 4 + c];
          }
          out.Bytes[((size_t)y * w + x) * 4 + c] = ToByte(sum);
        }
  };
  pass(Src, Work, 1, 0);
  pass(Work, Dest, 0, 1);
}

void PlainDownScale(const Picture& Src, Picture& Dest, int Ratio) {
  for (int y = 0; y < Dest.Pixels.Height; ++y)
    for (int x = 0; x < Dest.Pixels.Width; ++x)
      for (int c = 0; c < 4; ++c) {
        int sum = 0;
        for (int j = 0; j < Ratio; ++j)
          for (int i = 0; i < Ratio; ++i)
            sum += Src.Bytes[((size_t)(y * Ratio + j) * Src.Pixels.Width + x * Ratio + i) * 4 + c];
        Dest.Bytes[((size_t)y * Dest.Pixels.Width + x) * 4 + c] = (uint8_t)(sum / (Ratio * Ratio));
      }
}

void PlainYuv(const Picture& Luma, const Picture& Chroma, Picture& Dest) {
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const float l = Luma.Bytes[((size_t)y * kWidth + x) * 4];
      const uint8_t* uv = &Chroma.Bytes[((size_t)(y / 2) * Chroma.Pixels.Width + x / 2) * 4];
      const float u = uv[0] - 128.0f, v = uv[1] - 128.0f;
      uint8_t* d = &Dest.Bytes[((size_t)y * kWidth + x) * 4];
      d[0] = ToByte(l + 1.772f * u);
      d[1] = ToByte(l - 0.344f * u - 0.714f * v);
      d[2] = ToByte(l + 1.402f * v);
      d[3] = 255;
    }
}

void PlainHsb(const Picture& Src, Picture& Dest, float HueShift, float SaturationScale, float Bright) {
  for (size_t p = 0; p < Src.Bytes.size(); p += 4) {
    const float b = Src.Bytes[p] / 255.0f, g = Src.Bytes[p + 1] / 255.0f, r = Src.Bytes[p + 2] / 255.0f;
    const float mx = std::max({r, g, b}), mn = std::min({r, g, b}), d = mx - mn;
    float h = 0.0f;
    if (d > 0.0f) h = mx == r ? fmodf((g - b) / d + 6.0f, 6.0f) : mx == g ? (b - r) / d + 2.0f : (r - g) / d + 4.0f;
    h = fmodf(h + HueShift, 6.0f);
    const float s = std::min((mx > 0.0f ? d / mx : 0.0f) * SaturationScale, 1.0f);
    const float v = std::min(mx + Bright, 1.0f);
    const float f = h - floorf(h), q = v * (1.0f - s * f), t = v * (1.0f - s * (1.0f - f)), o = v * (1.0f - s);
    float rgb[3];
    switch ((int)h) {
      case 0:
        rgb[0] = v, rgb[1] = t, rgb[2] = o;
        break;
      case 1:
        rgb[0] = q, rgb[1] = v, rgb[2] = o;
        break;
      case 2:
        rgb[0] = o, rgb[1] = v, rgb[2] = t;
        break;
      case 3:
        rgb[0] = o, rgb[1] = q, rgb[2] = v;
        break;
      case 4:
        rgb[0] = t, rgb[1] = o, rgb[2] = v;
        break;
      default:
        rgb[0] = v, rgb[1] = o, rgb[2] = q;
        break;
    }
    Dest.Bytes[p] = ToByte(rgb[2] * 255.0f);
    Dest.Bytes[p + 1] = ToByte(rgb[1] * 255.0f);
    Dest.Bytes[p + 2] = ToByte(rgb[0] * 255.0f);
    Dest.Bytes[p + 3] = Src.Bytes[p + 3];
  }
}

template <typename Work>
double Seconds(Work work) {
  work();  // warm up
  return BenchSecondsPerCall(3, work);
}

void Report(const char* Name, double Kernel, const char* Plain, double Reference) {
  PrintBenchRatio(Name, Kernel * 1000.0, Plain, Reference * 1000.0, "ms");
}

// Seconds per Gauss N = 16 of Src's pixels on the back end Api (GRAPHICS_API_D3D11 or
// GRAPHICS_API_D3D9), into another graph (Blt) and in place (InPlace), each call finished by a
// pixel read from the result; negative when the back end or its filter passes are not there. The
// library's start registers both back ends and takes Direct3D 11 when it starts: for Direct3D 9
// its table is then taken away and graphics start again.
void DeviceGauss(int Api, const Picture& Src, double* Blt, double* InPlace) {
  SetLogFileOutputFlag(0);
  SetUseHardwareRenderFlag(1);
  ChangeWindowMode(1);
  SetWaitVSyncFlag(0);
  SetAlwaysRunFlag(1);
  SetGraphMode(kWidth, kHeight, 32, 60);
  SetMainWindowText("tarvex bench");
  *Blt = *InPlace = -1.0;
  if (LibraryInit() != 0) return;
  if (Api == GRAPHICS_API_D3D9 && GetGraphicsAPIType() == GRAPHICS_API_D3D11) {
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
    ChangeScreenMode(kWidth, kHeight, 32, 1, 60);
  }
  if (GetGraphicsAPIType() == Api && GraphFilterState.Backend[Api] != nullptr) {
    BASEIMAGE image = {};
    CreateARGB8ColorData(&image.ColorData);
    image.Width = kWidth, image.Height = kHeight, image.Pitch = kWidth * 4;
    image.Pixels = (void*)Src.Bytes.data();
    const int src = CreateGraphFromBaseImage(&image, nullptr, 0);
    GraphCreateParam param;
    InitDrawValidGraphCreateParam(&param, 32, 1);
    const int dest = MakeGraphWithCreateParam(&param, kWidth, kHeight, 0, 0, 0, 0, 0);
    int failed = src < 0 || dest < 0;
    auto gauss = [&](bool InPlaceFlag) {
      failed |= (InPlaceFlag ? GraphFilter(dest, DX_GRAPH_FILTER_GAUSS, 16, 100)
                             : GraphFilterBlt(src, dest, DX_GRAPH_FILTER_GAUSS, 16, 100)) < 0;
      SetDrawScreen(dest);
      GetPixel(kWidth / 2, kHeight / 2);
      SetDrawScreen(DX_SCREEN_BACK);
    };
    // The two kinds of call take turns and each keeps its fastest: on a shared machine the other
    // programs' load only ever adds time.
    gauss(false), gauss(true);  // warm up
    double best[2] = {1e9, 1e9};
    for (int round = 0; round < 10 && !failed; ++round)
      for (int inPlace = 0; inPlace < 2; ++inPlace) {
        const double start = BenchSeconds();
        gauss(inPlace != 0);
        best[inPlace] = std::min(best[inPlace], BenchSeconds() - start);
      }
    if (!failed) *Blt = best[0], *InPlace = best[1];
  }
  LibraryEnd();
}

}  // namespace

int main() {
  InitializeBaseImageTables();
  const FilterTables tables = {BaseImageTables.MulTable, BaseImageTables.DivTable};
  Picture src(kWidth, kHeight), work(kWidth, kHeight), dest(kWidth, kHeight);
  printf("%d x %d pixels per call\n", kWidth, kHeight);

  // Gauss: the plain loop spreads the same weights over the same 29 taps.
  float weights[GAUSS_WEIGHT_MAX];
  BuildGaussWeights(16, 1.0f, weights);
  float taps[29];
  for (int j = -14; j <= 14; ++j) taps[j + 14] = j == 0 ? weights[0] : weights[(std::abs(j) + 1) / 2] / 2.0f;
  const double gaussKernel = Seconds([&] { GaussKernel(src.Pixels, work.Pixels, dest.Pixels, 16, weights); });
  Report("Gauss N=16 strength 100", gaussKernel, "plain float blur", Seconds([&] { PlainBlur(src, work, dest, taps, 14); }));

  Picture small(kWidth / 4, kHeight / 4);
  Report("DownScale x4", Seconds([&] { DownScaleKernel(src.Pixels, small.Pixels, 4); }), "plain block average",
         Seconds([&] { PlainDownScale(src, small, 4); }));

  Picture chroma(kWidth / 2, kHeight / 2);
  const YuvLayout layout = {2, 2, 0, 0, 0};
  Report("YUV to RGB 4:2:0", Seconds([&] { YuvToRgbKernel(src.Pixels, chroma.Pixels, dest.Pixels, layout); }),
         "plain float YUV", Seconds([&] { PlainYuv(src, chroma, dest); }));

  const HsbSetup hsb = HsbSetupOf(0, 40.0f, 20.0f, 10.0f);
  Report("Hsb shift", Seconds([&] { HsbKernel(src.Pixels, dest.Pixels, hsb, 0, tables); }), "plain float HSV",
         Seconds([&] { PlainHsb(src, dest, 40.0f / 60.0f, 1.2f, 0.1f); }));

  const struct {
    int Api;
    const char *Name, *InPlaceName;
  } backEnds[] = {{GRAPHICS_API_D3D11, "Gauss N=16 on Direct3D 11", "Gauss N=16 in place on Direct3D 11"},
                  {GRAPHICS_API_D3D9, "Gauss N=16 on Direct3D 9", "Gauss N=16 in place on Direct3D 9"}};
  for (const auto& b : backEnds) {
    double blt, inPlace;
    DeviceGauss(b.Api, src, &blt, &inPlace);
    if (blt < 0.0)
      printf("%-36s not available here\n", b.Name);
    else
      Report(b.Name, blt, "processor kernel", gaussKernel);
    if (inPlace < 0.0)
      printf("%-36s not available here\n", b.InPlaceName);
    else
      Report(b.InPlaceName, inPlace, "into a draw target", blt);
  }
  return 0;
}
