// Image transfer into a graph on Direct3D 11: 256 BltBaseImageToGraph transfers of a 512 x 512
// XRGB image into a 512 x 512 graph (conversion into the texture's format and UpdateSubresource),
// beside the same transfers into the software renderer's graph in the same run. The ratio is ours
// over the software renderer's (the target is 1.5 or less: conversion dominates both).
#include "bench/support/bench_clock.h"
#include "bench/support/bench_graphics.h"

#include <stdio.h>

#include "zovuz/zovuz.h"

namespace {

constexpr int kSide = 512;
constexpr int kRounds = 256;

bool Start(BenchRenderer Renderer) { return StartBenchGraphics(Renderer, 640, 480); }

// Milliseconds per transfer, or a negative value when a transfer fails.
double TransferMs() {
  BASEIMAGE image;
  if (CreateXRGB8ColorBaseImage(kSide, kSide, &image) < 0) return -1.0;
  for (int y = 0; y < kSide; y++)
    for (int x = 0; x < kSide; x++) SetPixelBaseImage(&image, x, y, x & 0xFF, y & 0xFF, (x ^ y) & 0xFF, 255);
  const int graph = MakeGraph(kSide, kSide, 0);
  const ImageRect rect = {0, 0, kSide, kSide};
  int failed = graph < 0 ? 1 : BltBaseImageToGraph(&rect, 0, 0, graph, &image, nullptr, 0, 0, 0, 0) < 0;
  const double seconds = BenchSecondsPerCall(
      kRounds, [&] { failed |= BltBaseImageToGraph(&rect, 0, 0, graph, &image, nullptr, 0, 0, 0, 0) < 0; });
  DeleteGraph(graph);
  ReleaseBaseImage(&image);
  return failed ? -1.0 : seconds * 1000.0;
}

// The conversion alone, into a buffer of the Direct3D 11 textures' R8G8B8A8 layout.
double ConversionMs() {
  BASEIMAGE image, dest;
  if (CreateXRGB8ColorBaseImage(kSide, kSide, &image) < 0) return -1.0;
  if (CreateARGB8ColorBaseImage(kSide, kSide, &dest) < 0) return -1.0;
  COLORDATA abgr;
  SetColorData(&abgr, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000u, 0, 0, 0);
  const ImageRect rect = {0, 0, kSide, kSide};
  const double seconds = BenchSecondsPerCall(kRounds, [&] {
    ConvertColorDataBlt(dest.Pixels, dest.Pitch, &abgr, image.Pixels, image.Pitch, &image.ColorData, nullptr, 0,
                        nullptr, 0, 0, &rect, 0, 0, 0, COLOR_DITHER_NONE, 0, 0, 0, 0);
  });
  ReleaseBaseImage(&image);
  ReleaseBaseImage(&dest);
  return seconds * 1000.0;
}

}  // namespace

int main() {
  if (!Start(BenchRenderer::Direct3D11)) return 1;
  const double hardware = TransferMs();
  const double conversion = ConversionMs();
  LibraryEnd();
  if (!Start(BenchRenderer::Software)) return 1;
  const double software = TransferMs();
  LibraryEnd();
  if (hardware < 0 || software < 0) {
    printf("a transfer failed\n");
    return 1;
  }
  PrintBenchRatio("BltBaseImageToGraph 512x512 D3D11", hardware, "software graph", software, "ms");
  printf("of the Direct3D 11 transfer, the conversion alone (for information) %6.2f ms\n", conversion);
  return 0;
}
