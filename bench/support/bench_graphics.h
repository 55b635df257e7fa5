// The library started for a graphics benchmark on one renderer, and the graphs its frames draw.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <vector>

#include "zovuz/graphics/zovuz_graphics_backend.h"
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

// Window mode, no v-sync, kept running while inactive; a client size of 0 keeps the screen's. The
// library starts on Direct3D 11 when it can; Direct3D 9 is reached by taking the Direct3D 11 table
// away and changing the screen mode, as a program that switches Direct3D 11 off would. false, with a
// line saying so, when the library did not end up on the renderer.
inline bool StartBenchGraphics(BenchRenderer Renderer, int Width, int Height, int ClientWidth = 0,
                               int ClientHeight = 0) {
  SetLogFileOutputFlag(0);
  SetUseHardwareRenderFlag(Renderer != BenchRenderer::Software ? 1 : 0);
  ChangeWindowMode(1);
  SetWaitVSyncFlag(0);
  SetAlwaysRunFlag(1);
  SetGraphMode(Width, Height, 32, 60);
  if (ClientWidth > 0) SetWindowSize(ClientWidth, ClientHeight);
  SetMainWindowText("tarvex bench");
  const int api = Renderer == BenchRenderer::Direct3D11  ? GRAPHICS_API_D3D11
                  : Renderer == BenchRenderer::Direct3D9 ? GRAPHICS_API_D3D9
                                                         : GRAPHICS_API_SOFTWARE;
  const bool started = LibraryInit() == 0;
  if (started && Renderer == BenchRenderer::Direct3D9 && GetGraphicsAPIType() == GRAPHICS_API_D3D11) {
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
    ChangeScreenMode(Width, Height, 32, 1, 60);
    if (ClientWidth > 0) SetWindowSize(ClientWidth, ClientHeight);
  }
  if (started && GetGraphicsAPIType() == api) return true;
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
