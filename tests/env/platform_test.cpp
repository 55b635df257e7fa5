// Environment checks: the pieces of the platform that tarvex and its tests stand on.
// Each failure message names the piece that is missing.
#include <windows.h>
#include <d3d11.h>
#include <dsound.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/support/test_paths.h"

namespace {

template <typename T>
struct ComRelease {
  T* p = nullptr;
  ~ComRelease() {
    if (p) p->Release();
  }
};

HWND MakeProbeWindow() {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"tarvex_env_probe";
  RegisterClassW(&wc);
  // A shown window: Direct3D under Wine draws into the window's X drawable.
  HWND window = CreateWindowW(L"tarvex_env_probe", L"probe", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr, nullptr,
                              wc.hInstance, nullptr);
  if (window) {
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
  }
  return window;
}

}  // namespace

TEST(Platform, AnsiAndOemCodePagesAre932) {
  EXPECT_EQ(GetACP(), 932u) << "Wine must run with LANG=ja_JP.UTF-8 (the program's narrow strings are code page 932)";
  EXPECT_EQ(GetOEMCP(), 932u) << "Wine must run with LANG=ja_JP.UTF-8";
  // The compiler's execution character set: a narrow Japanese literal is Shift_JIS.
  const char* text = "あ";
  EXPECT_EQ(std::string(text), std::string("\x82\xA0")) << "build with -fexec-charset=CP932";
}

TEST(Platform, Direct3D11DeviceAndSwapChainOnTheDisplay) {
  HMODULE d3d11 = LoadLibraryA("d3d11.dll");
  ASSERT_NE(d3d11, nullptr) << "d3d11.dll does not load: is wine32 installed?";
  auto create = reinterpret_cast<PFN_D3D11_CREATE_DEVICE_AND_SWAP_CHAIN>(
      GetProcAddress(d3d11, "D3D11CreateDeviceAndSwapChain"));
  ASSERT_NE(create, nullptr);

  HWND window = MakeProbeWindow();
  ASSERT_NE(window, nullptr) << "no window: is DISPLAY set to a running Xvfb?";

  DXGI_SWAP_CHAIN_DESC desc = {};
  desc.BufferCount = 1;
  desc.BufferDesc.Width = 320;
  desc.BufferDesc.Height = 240;
  desc.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
  desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
  desc.OutputWindow = window;
  desc.SampleDesc.Count = 1;
  desc.Windowed = TRUE;

  ComRelease<IDXGISwapChain> swap;
  ComRelease<ID3D11Device> device;
  ComRelease<ID3D11DeviceContext> context;
  D3D_FEATURE_LEVEL level = {};
  HRESULT hr = create(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION, &desc, &swap.p,
                      &device.p, &level, &context.p);
  ASSERT_EQ(hr, S_OK) << "D3D11CreateDeviceAndSwapChain failed: are libgl1-mesa-dri:i386 and libglx-mesa0:i386 installed "
                         "and is DISPLAY an Xvfb with GLX?";
  EXPECT_GE(level, D3D_FEATURE_LEVEL_10_0);
  EXPECT_EQ(swap.p->Present(0, 0), S_OK);
  DestroyWindow(window);
}

TEST(Platform, DirectSoundPlaysInRealTime) {
  HMODULE dsound = LoadLibraryA("dsound.dll");
  ASSERT_NE(dsound, nullptr) << "dsound.dll does not load";
  using CreateFn = HRESULT(WINAPI*)(LPCGUID, IDirectSound8**, IUnknown*);
  auto create = reinterpret_cast<CreateFn>(GetProcAddress(dsound, "DirectSoundCreate8"));
  ASSERT_NE(create, nullptr);

  ComRelease<IDirectSound8> ds;
  ASSERT_EQ(create(nullptr, &ds.p, nullptr), DS_OK) << "DirectSound has no device: is the PulseAudio null sink running?";
  HWND window = MakeProbeWindow();
  ASSERT_EQ(ds.p->SetCooperativeLevel(window, DSSCL_PRIORITY), DS_OK);

  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = 44100;
  format.wBitsPerSample = 16;
  format.nBlockAlign = 4;
  format.nAvgBytesPerSec = 44100 * 4;
  DSBUFFERDESC desc = {};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
  desc.dwBufferBytes = format.nAvgBytesPerSec;  // one second, looping
  desc.lpwfxFormat = &format;
  ComRelease<IDirectSoundBuffer> buffer;
  ASSERT_EQ(ds.p->CreateSoundBuffer(&desc, &buffer.p, nullptr), DS_OK);
  ASSERT_EQ(buffer.p->Play(0, 0, DSBPLAY_LOOPING), DS_OK);

  // Follow the play cursor from its first step, counting wraps of the one-second buffer, over
  // windows of about 600 ms, one after the other, until one runs within 0.4 of real time: the
  // stream's start in the sound server is not the device's speed (under load it took a third of
  // the time measured), and a machine running twice as many programs as it has cores starves the
  // server for a while, late in one window and on time in the next. An ALSA null device runs
  // several times too fast in every window; a cursor that stands still is out in every one.
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  DWORD first = 0, write = 0;
  buffer.p->GetCurrentPosition(&first, &write);
  QueryPerformanceCounter(&start);
  DWORD previous = first;
  do {
    Sleep(1);
    buffer.p->GetCurrentPosition(&previous, &write);
    QueryPerformanceCounter(&now);
  } while (previous == first && now.QuadPart - start.QuadPart < frequency.QuadPart * 2);
  ASSERT_NE(previous, first) << "the play cursor did not move in 2 s";
  start = now;
  double played = 0, seconds = 1;  // of the window nearest to real time
  for (int window = 0; window < 4 && std::fabs(played / seconds - 1.0) > 0.4; ++window) {
    unsigned long long advanced = 0;
    do {
      Sleep(20);
      DWORD play = 0;
      buffer.p->GetCurrentPosition(&play, &write);
      advanced += (play + desc.dwBufferBytes - previous) % desc.dwBufferBytes;
      previous = play;
      QueryPerformanceCounter(&now);
    } while (now.QuadPart - start.QuadPart < frequency.QuadPart * 6 / 10);
    const double elapsed = double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    const double covered = double(advanced) / format.nAvgBytesPerSec;
    if (window == 0 || std::fabs(covered / elapsed - 1.0) < std::fabs(played / seconds - 1.0))
      played = covered, seconds = elapsed;
    start = now;
  }
  buffer.p->Stop();
  EXPECT_NEAR(played / seconds, 1.0, 0.4)
      << "the play cursor moved " << played << " s in " << seconds
      << " s: DirectSound needs the PulseAudio null sink (an ALSA null device runs too fast)";
  DestroyWindow(window);
}

TEST(Platform, DllOfThisBuildLoadsAndItsExportIsCalled) {
  const std::string path = TestBinPath("env_probe.dll");
  HMODULE module = LoadLibraryA(path.c_str());
  ASSERT_NE(module, nullptr) << "LoadLibraryA(" << path << ") failed with " << GetLastError();
  using ProbeFn = int(__cdecl*)(int);
  auto probe = reinterpret_cast<ProbeFn>(GetProcAddress(module, "EnvProbeTwice"));
  ASSERT_NE(probe, nullptr) << "the DLL does not export EnvProbeTwice";
  EXPECT_EQ(probe(20), 41);
  EXPECT_TRUE(FreeLibrary(module));
}
