// The library started for a graphics benchmark on one renderer, and the graphs its frames draw.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <vector>

#include "zovuz/zovuz.h"

// The renderer a benchmark runs on.
enum class BenchRenderer {
  Software,
  Direct3D11,
  Direct3D9,
};

inline const char* BenchRendererName(BenchRenderer Renderer) {
  switch (Renderer) {
    case BenchRenderer::Direct3D11:
      return "Direct3D 11";
    case BenchRenderer::Direct3D9:
      return "Direct3D 9";
    default:
      return "the software renderer";
  }
}

// Window mode, no v-sync, kept running while inactive; a client size of 0 keeps the screen's. Only
// the renderer's own back end is registered, so the library starts on it or not at all. false,
// with a line saying so, when the library did not start on it.
inline bool StartBenchGraphics(BenchRenderer Renderer, int Width, int Height, int ClientWidth = 0,
                               int ClientHeight = 0) {
  SetLogFileOutputFlag(0);
  SetUseHardwareRenderFlag(Renderer != BenchRenderer::Software ? 1 : 0);
  // The library's start does not register the back ends yet: the benchmark does.
  RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11,
                                    Renderer == BenchRenderer::Direct3D11 ? GetGraphicsD3D11Functions() : nullptr);
  RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9,
                                    Renderer == BenchRenderer::Direct3D9 ? GetGraphicsD3D9Functions() : nullptr);
  ChangeWindowMode(1);
  SetWaitVSyncFlag(0);
  SetAlwaysRunFlag(1);
  SetGraphMode(Width, Height, 32, 60);
  if (ClientWidth > 0) SetWindowSize(ClientWidth, ClientHeight);
  SetMainWindowText("tarvex bench");
  const int api = Renderer == BenchRenderer::Direct3D11  ? GRAPHICS_API_D3D11
                  : Renderer == BenchRenderer::Direct3D9 ? GRAPHICS_API_D3D9
                                                         : GRAPHICS_API_SOFTWARE;
  if (LibraryInit() == 0 && GetGraphicsAPIType() == api) return true;
  printf("the library could not start on %s\n", BenchRendererName(Renderer));
  return false;
}

// A Width x Height graph whose XRGB pixel at (x, y) is Pixel(x, y); -1 when it could not be made.
template <class PixelFunc>
int MakeBenchGraph(int Width, int Height, PixelFunc Pixel) {
  std::vector<uint32_t> pixels((size_t)Width * Height);
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) pixels[(size_t)y * Width + x] = Pixel(x, y);
  const int graph = MakeGraph(Width, Height, 0);
  BASEIMAGE image = {};
  CreateXRGB8ColorData(&image.ColorData);
  image.Width = Width;
  image.Height = Height;
  image.Pitch = Width * 4;
  image.Pixels = pixels.data();
  if (graph < 0 || BltBmpOrBaseImageToGraph(nullptr, nullptr, nullptr, 0, &image, nullptr, 0, 0, graph) < 0) return -1;
  return graph;
}
