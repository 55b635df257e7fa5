// The Direct3D 11 present: ScreenFlip of a 1920 x 1080 screen into the application's 1299 x 755
// client (the sub back buffer stretched into the back buffer, the batch, Present and the state put
// back), beside the platform's own path on the same device in the same run: one textured quad over
// the whole client from the same texture, then Present. The software renderer's GDI flip of the
// same screen is printed for information. The screen does not change between rounds, and a flip
// of a screen already shown presents nothing: each round marks it as not yet shown first.
#include "bench/support/bench_clock.h"
#include "bench/support/bench_graphics.h"

#include <stdio.h>

#include "zovuz/d3d11/shader/d3d11_standard_shaders.h"
#include "zovuz/d3d11/device/windows/d3d11_swap_chain_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_transfer_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"
#include "zovuz/d3d11/shader/windows/d3d11_shader_win.h"
#include "zovuz/zovuz.h"

namespace {

constexpr int kScreenWidth = 1920, kScreenHeight = 1080;
constexpr int kClientWidth = 1299, kClientHeight = 755;
constexpr int kRounds = 100;

bool Start(BenchRenderer Renderer) {
  if (!StartBenchGraphics(Renderer, kScreenWidth, kScreenHeight, kClientWidth, kClientHeight)) return false;
  SetBackgroundColor(24, 48, 96);
  SetDrawScreen(DX_SCREEN_BACK);
  ClearDrawScreen(nullptr);
  ScreenFlip();
  return true;
}

// One timed flip: the unchanged screen presented again, as a flip after drawing would present it.
void FlipUnchangedScreen() {
  MarkScreenShownAgain();
  ScreenFlip();
}

// The platform's own path: the sub back buffer drawn as one quad over the back buffer, presented.
// Nothing is put back afterwards.
double PlainQuadMs() {
  const D3D11ScreenData& screen = D3D11Screen;
  const D3D11SwapChainInfo& chain = screen.SwapChain[0];
  const float quad[4][6] = {{-1, 1, 0, 0, 0, 0}, {1, 1, 1, 0, 0, 0}, {-1, -1, 0, 1, 0, 0}, {1, -1, 1, 1, 0, 0}};
  D3D11_BUFFER_DESC desc = {sizeof(quad), D3D11_USAGE_IMMUTABLE, D3D11_BIND_VERTEX_BUFFER, 0, 0, 0};
  D3D11_SUBRESOURCE_DATA data = {quad, 0, 0};
  ID3D11Buffer* buffer = nullptr;
  if (D3D11Device_CreateBuffer(&desc, &data, &buffer) != S_OK) return -1.0;
  const D3D11_VIEWPORT viewport = {0, 0, (float)chain.BackBufferDesc.Width, (float)chain.BackBufferDesc.Height, 0, 1};
  ID3D11VertexShader* vertex =
      D3D11StandardShaders.Vertex[D3D11BaseShaderGroups[D3D11_GROUP_TRANSFER_VERTEX].FirstSlot];
  ID3D11PixelShader* pixel = D3D11StandardShaders.Pixel[D3D11BaseShaderGroups[D3D11_GROUP_TRANSFER_PIXEL].FirstSlot];
  const FLOAT factor[4] = {};
  const double seconds = BenchSecondsPerCall(kRounds, [&] {
    ID3D11RenderTargetView* target = chain.BackBufferRTV;
    ID3D11ShaderResourceView* source = screen.SubBackBufferSRV;
    ID3D11SamplerState* sampler = D3D11SimpleTransfer.LinearSampler;
    UINT stride = D3D11_TRANSFER_VERTEX_SIZE, offset = 0;
    D3D11DeviceContext_OMSetRenderTargets(1, &target, nullptr);
    D3D11DeviceContext_RSSetViewports(1, &viewport);
    D3D11DeviceContext_PSSetShaderResources(0, 1, &source);
    D3D11DeviceContext_PSSetSamplers(0, 1, &sampler);
    D3D11DeviceContext_IASetInputLayout(D3D11InputLayouts.Layout[D3D11_INPUT_LAYOUT_TRANSFER]);
    D3D11DeviceContext_IASetVertexBuffers(0, 1, &buffer, &stride, &offset);
    D3D11DeviceContext_IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    D3D11DeviceContext_VSSetShader(vertex, nullptr, 0);
    D3D11DeviceContext_PSSetShader(pixel, nullptr, 0);
    D3D11DeviceContext_OMSetBlendState(D3D11SimpleTransfer.Blend, factor, 0xFFFFFFFF);
    D3D11DeviceContext_Draw(4, 0);
    DXGISwapChain_Present(chain.SwapChain, 0, 0);
  });
  D3D11Buffer_Release(buffer);
  // The library's own state goes back before it draws again.
  Graphics_Hardware_ReapplyDeviceState();
  return seconds * 1000.0;
}

}  // namespace

int main() {
  if (!Start(BenchRenderer::Direct3D11)) return 1;
  if (D3D11Screen.SubBackBuffer == nullptr) {
    printf("the client matches the screen: no sub back buffer to stretch\n");
    return 1;
  }
  ScreenFlip();
  const double flip = BenchSecondsPerCall(kRounds, FlipUnchangedScreen) * 1000.0;
  const double plain = PlainQuadMs();
  PrintBenchRatio("ScreenFlip 1920x1080 -> 1299x755", flip, "one quad + Present", plain, "ms");
  LibraryEnd();

  if (!Start(BenchRenderer::Software)) return 1;
  const double gdi = BenchSecondsPerCall(20, FlipUnchangedScreen) * 1000.0;
  printf("ScreenFlip on the software renderer (GDI, for information) %6.2f ms\n", gdi);
  LibraryEnd();
  return 0;
}
