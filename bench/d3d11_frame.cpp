// A frame like the application's on Direct3D 11 beside the software renderer in the same run: a
// 960 x 540 screen cleared, 2,000 textured 32 x 32 quads cut from one atlas graph, 200
// DrawFormatString calls, then shown stretched in a 1920 x 1080 client and flipped. 10 frames warm
// up, then up to 100 are timed, for at most 3 s of each kind. Printed: ms per frame on each, their ratio (target
// <= 1.5), the tracked blocks a frame leaves alive (0), and on Direct3D 11 the draw calls per frame beside the batch
// rules' count for the quads (a break every 2,340 VERTEX2D vertices and at each texture switch).
//
// Where the Direct3D 11 frame's time goes: the same frame split into a draw-only frame (the clear,
// the quads and the strings, the batch drawn, no flip) and a present-only frame (a flip of an
// unchanged screen marked as not yet shown, so that it presents), each with its Draw, Map,
// UpdateSubresource and Present calls per frame; the present-only frame beside a bare loop of the
// platform's Present alone on the library's swap chain, in turn with it. Our share of
// the draw-only frame is its time against a bare platform loop on the same device in the same run
// that makes the same clear, Map, Draw and texture-switch calls with the same vertices (recorded
// from one draw-only frame of the library), and nothing else; the two are timed in turn, each
// frame until the device has drawn it.
#include "bench/support/bench_clock.h"
#include "bench/support/bench_graphics.h"

#include <stdio.h>
#include <string.h>

#include <vector>

#include "zovuz/d3d11/calls/windows/d3d11_calls.h"
#include "zovuz/d3d11/device/windows/d3d11_swap_chain_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"
#include "zovuz/zovuz.h"

namespace {

constexpr int kScreenWidth = 960, kScreenHeight = 540;
constexpr int kClientWidth = 1920, kClientHeight = 1080;
constexpr int kQuads = 2000, kStrings = 200, kWarmUp = 10, kFrames = 100;
constexpr double kMeasureSeconds = 3.0;

// A 256 x 256 atlas of 8 x 8 cells of 32 x 32, each cell its own colour ramp.
int MakeAtlas() {
  return MakeBenchGraph(256, 256, [](int x, int y) {
    return (uint32_t)((x / 32) * 32 + x % 32) << 16 | (uint32_t)((y / 32) * 32 + y % 32) << 8 |
           (uint32_t)((x ^ y) & 0xFF);
  });
}

// The frame's drawing: the clear, the quads and the strings, with the pending batch drawn.
void DrawOnly(int Atlas) {
  ClearDrawScreen(nullptr);
  for (int i = 0; i < kQuads; ++i) {
    const int x = (i * 37) % (kScreenWidth - 32), y = (i * 53) % (kScreenHeight - 32);
    DrawRectGraph(x, y, (i % 8) * 32, (i / 8 % 8) * 32, 32, 32, Atlas, 1, 0);
  }
  const unsigned int text = GetColorValue(220, 220, 220);
  for (int i = 0; i < kStrings; ++i) {
    const int x = (i * 43) % (kScreenWidth - 120), y = (i * 23) % (kScreenHeight - 16);
    DrawFormatString(x, y, text, "Tr%02d %5d", i % 16, i * 37);
  }
  Graphics_Hardware_RenderVertexBuffer(0);
}

void DrawFrame(int Atlas) {
  DrawOnly(Atlas);
  ScreenFlip();
}

// ---- The bare platform loop ---------------------------------------------------------------------

// One batch of a recorded frame: the texture bound at slot 0 when it was drawn, its vertices.
struct RecordedBatch {
  ID3D11ShaderResourceView* Texture;
  UINT VertexCount;
  std::vector<uint8_t> Bytes;
};

// The context's method table, copied and patched while one frame is recorded: the entries by their
// place in ID3D11DeviceContext (after IUnknown's 3 and ID3D11DeviceChild's 4 methods).
constexpr int kContextMethods = 115, kPSSetShaderResources = 8, kDraw = 13, kUnmap = 15;

struct Recorder {
  void** Original = nullptr;
  void* Patched[kContextMethods] = {};
  ID3D11ShaderResourceView* Texture = nullptr;
  std::vector<uint8_t> Pending;  // the batch's bytes, taken as it is unmapped
  std::vector<RecordedBatch> Batches;
};
Recorder TheRecorder;

typedef void(STDMETHODCALLTYPE* SetResourcesCall)(ID3D11DeviceContext*, UINT, UINT, ID3D11ShaderResourceView* const*);
typedef void(STDMETHODCALLTYPE* DrawCall)(ID3D11DeviceContext*, UINT, UINT);
typedef void(STDMETHODCALLTYPE* UnmapCall)(ID3D11DeviceContext*, ID3D11Resource*, UINT);

void STDMETHODCALLTYPE RecordSetResources(ID3D11DeviceContext* Self, UINT Start, UINT Num,
                                          ID3D11ShaderResourceView* const* Views) {
  if (Start == 0 && Num > 0) TheRecorder.Texture = Views != nullptr ? Views[0] : nullptr;
  ((SetResourcesCall)TheRecorder.Original[kPSSetShaderResources])(Self, Start, Num, Views);
}

void STDMETHODCALLTYPE RecordUnmap(ID3D11DeviceContext* Self, ID3D11Resource* Resource, UINT Sub) {
  const D3D11BatchBuffer& b = D3D11Batch;
  if (Resource == b.Buffer && b.Mapped != nullptr) TheRecorder.Pending.assign(b.Mapped, b.Write);
  ((UnmapCall)TheRecorder.Original[kUnmap])(Self, Resource, Sub);
}

void STDMETHODCALLTYPE RecordDraw(ID3D11DeviceContext* Self, UINT Count, UINT Start) {
  TheRecorder.Batches.push_back(RecordedBatch{TheRecorder.Texture, Count, TheRecorder.Pending});
  ((DrawCall)TheRecorder.Original[kDraw])(Self, Count, Start);
}

// The Map, Draw and texture switches of one draw-only frame of the library.
std::vector<RecordedBatch> RecordFrame(int Atlas) {
  ID3D11DeviceContext* context = D3D11CallLayer.Context;
  Recorder& r = TheRecorder;
  r.Original = *(void***)context;
  memcpy(r.Patched, r.Original, sizeof(r.Patched));
  r.Patched[kPSSetShaderResources] = (void*)RecordSetResources;
  r.Patched[kDraw] = (void*)RecordDraw;
  r.Patched[kUnmap] = (void*)RecordUnmap;
  r.Batches.clear();
  *(void***)context = r.Patched;
  DrawOnly(Atlas);
  *(void***)context = r.Original;
  return r.Batches;
}

// The recorded frame made again straight on the device, with the library's state as it is bound:
// the clear, then per batch the buffer mapped, filled and drawn, the texture set where it changed.
void BareFrame(const std::vector<RecordedBatch>& Batches) {
  const D3D11ScreenData& screen = D3D11Screen;
  ID3D11RenderTargetView* target =
      screen.SubBackBufferRTV != nullptr ? screen.SubBackBufferRTV : screen.SwapChain[0].BackBufferRTV;
  const FLOAT clear[4] = {24 / 255.0f, 24 / 255.0f, 24 / 255.0f, 0.0f};
  D3D11DeviceContext_ClearRenderTargetView(target, clear);
  ID3D11Buffer* buffer = D3D11Batch.Buffer;
  ID3D11ShaderResourceView* bound = nullptr;
  for (const RecordedBatch& batch : Batches) {
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    if (D3D11DeviceContext_Map(buffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped) != S_OK) return;
    memcpy(mapped.pData, batch.Bytes.data(), batch.Bytes.size());
    D3D11DeviceContext_Unmap_ASync(buffer, 0, 0);
    if (batch.Texture != bound) {
      bound = batch.Texture;
      D3D11DeviceContext_PSSetShaderResources(0, 1, &bound);
    }
    D3D11DeviceContext_Draw(batch.VertexCount, 0);
  }
}

// Waits until the device has drawn all it was asked to: one pixel of the back screen copied into a
// staging texture and mapped. Straight on the context, so that the frames' call counts stay theirs.
struct DeviceWait {
  ID3D11Texture2D* Staging = nullptr;

  bool Make() {
    D3D11_TEXTURE2D_DESC desc = {};
    desc.Width = desc.Height = desc.MipLevels = desc.ArraySize = 1;
    desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.SampleDesc.Count = 1;
    desc.Usage = D3D11_USAGE_STAGING;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    return D3D11Device_CreateTexture2D(&desc, nullptr, &Staging) == S_OK;
  }
  void operator()() const {
    ID3D11DeviceContext* context = D3D11CallLayer.Context;
    const D3D11_BOX pixel = {0, 0, 0, 1, 1, 1};
    context->CopySubresourceRegion(Staging, 0, 0, 0, 0, D3D11Screen.SubBackBuffer, 0, &pixel);
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    if (context->Map(Staging, 0, D3D11_MAP_READ, 0, &mapped) == S_OK) context->Unmap(Staging, 0);
  }
  ~DeviceWait() {
    if (Staging != nullptr) D3D11Texture2D_Release(Staging);
  }
};

// ---- Figures --------------------------------------------------------------------------------

// Time and the device calls per frame of one kind of frame.
struct FrameCost {
  double Ms = -1.0;
  double Draws = 0.0, Maps = 0.0, Updates = 0.0, Presents = 0.0;
};

template <class Frame>
FrameCost Measure(Frame Run, int Frames = kFrames, double Seconds = kMeasureSeconds) {
  const D3D11CallLayerData& c = D3D11CallLayer;
  const unsigned draws = c.DrawCallCount, maps = c.MapCallCount, updates = c.UpdateSubresourceCallCount,
                 presents = c.PresentCallCount;
  FrameCost f;
  const BenchCalls frames = BenchTimedCalls(Frames, Seconds, Run);
  f.Ms = frames.SecondsPerCall * 1000.0;
  f.Draws = (double)(c.DrawCallCount - draws) / frames.Calls;
  f.Maps = (double)(c.MapCallCount - maps) / frames.Calls;
  f.Updates = (double)(c.UpdateSubresourceCallCount - updates) / frames.Calls;
  f.Presents = (double)(c.PresentCallCount - presents) / frames.Calls;
  return f;
}

// Ours and the reference in turn, five trials of a fifth of the frames (and time) each, the best
// of each kept, so that a busy machine slows both alike. The library's state goes back before each trial
// of ours (the reference draws with whatever is bound).
template <class Ours, class Reference>
void MeasureInTurn(Ours RunOurs, Reference RunReference, FrameCost* OursCost, FrameCost* ReferenceCost) {
  for (int trial = 0; trial < 5; ++trial) {
    Graphics_Hardware_ReapplyDeviceState();
    const FrameCost ours = Measure(RunOurs, kFrames / 5, kMeasureSeconds / 5),
                    reference = Measure(RunReference, kFrames / 5, kMeasureSeconds / 5);
    if (trial == 0 || ours.Ms < OursCost->Ms) *OursCost = ours;
    if (trial == 0 || reference.Ms < ReferenceCost->Ms) *ReferenceCost = reference;
  }
}

struct FrameFigures {
  FrameCost Whole, DrawOnly, PresentOnly, Bare, BarePresent;
  int BlocksLeft = 0;
};

FrameFigures Run(BenchRenderer Renderer) {
  FrameFigures f;
  if (!StartBenchGraphics(Renderer, kScreenWidth, kScreenHeight, kClientWidth, kClientHeight)) return f;
  const int atlas = MakeAtlas();
  if (atlas >= 0) {
    SetDrawScreen(DX_SCREEN_BACK);
    SetBackgroundColor(24, 24, 24);
    for (int i = 0; i < kWarmUp; ++i) DrawFrame(atlas);
    const int blocks = GetAllocNum();
    f.Whole = Measure([&] { DrawFrame(atlas); });
    f.BlocksLeft = GetAllocNum() - blocks;
    if (Renderer == BenchRenderer::Direct3D11) {
      const std::vector<RecordedBatch> batches = RecordFrame(atlas);
      // Each frame ends when the device has drawn it, so that the frame's own work is timed.
      DeviceWait wait;
      if (!wait.Make()) return f;
      MeasureInTurn(
          [&] {
            DrawOnly(atlas);
            wait();
          },
          [&] {
            BareFrame(batches);
            wait();
          },
          &f.DrawOnly, &f.Bare);
      Graphics_Hardware_ReapplyDeviceState();
      DrawFrame(atlas);
      // A flip of a screen already shown presents nothing: each is marked as not yet shown.
      const D3D11ScreenData& screen = D3D11Screen;
      IDXGISwapChain* chain = screen.SwapChain[screen.PresentSwapChain].SwapChain;
      const UINT interval = GraphicsScreenSettings.NotWaitVSyncFlag ? 0 : 1;
      MeasureInTurn(
          [] {
            MarkScreenShownAgain();
            ScreenFlip();
          },
          [&] { DXGISwapChain_Present(chain, interval, 0); }, &f.PresentOnly, &f.BarePresent);
    }
    DeleteGraph(atlas);
  }
  LibraryEnd();
  return f;
}

void PrintCost(const char* Name, const FrameCost& F) {
  printf("%-34s %7.2f ms  Draw %6.1f  Map %6.1f  UpdateSubresource %6.1f  Present %4.1f per frame\n", Name, F.Ms,
         F.Draws, F.Maps, F.Updates, F.Presents);
}

}  // namespace

int main() {
  const FrameFigures d3d11 = Run(BenchRenderer::Direct3D11);
  const FrameFigures software = Run(BenchRenderer::Software);
  if (d3d11.Whole.Ms < 0.0 || software.Whole.Ms < 0.0) return 1;
  PrintBenchRatio("Direct3D 11 frame", d3d11.Whole.Ms, "software frame", software.Whole.Ms, "ms");
  printf("target ratio <= 1.5 (a guess)\n");
  printf("tracked blocks a frame leaves alive: Direct3D 11 %d, software %d (target 0)\n", d3d11.BlocksLeft,
         software.BlocksLeft);
  // The quads alone: 389 six-vertex quads fit a batch of 2,340 VERTEX2D.
  const int quadBatches = (kQuads + 388) / 389;
  printf(
      "Direct3D 11 draw calls per frame %.1f (the quads' batches alone: %d; strings, flip and texture "
      "switches add theirs)\n",
      d3d11.Whole.Draws, quadBatches);

  printf("Direct3D 11 frame split:\n");
  PrintCost("  whole frame", d3d11.Whole);
  PrintCost("  draw-only frame", d3d11.DrawOnly);
  PrintCost("  present-only frame", d3d11.PresentOnly);
  PrintCost("  bare loop, same Map and Draw calls", d3d11.Bare);
  PrintCost("  bare loop, platform Present", d3d11.BarePresent);
  PrintBenchRatio("draw-only frame", d3d11.DrawOnly.Ms, "bare platform loop", d3d11.Bare.Ms, "ms");
  printf("target ratio <= 1.2 (our share of the draw-only frame)\n");
  PrintBenchRatio("present-only frame", d3d11.PresentOnly.Ms, "bare platform Present", d3d11.BarePresent.Ms, "ms");
  return 0;
}
