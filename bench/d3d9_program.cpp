// The program on Direct3D 9 while the example ".mdx" plays: tarvex's own start-up and frame loop
// in a child of this program that Wine gives no Direct3D 11, in a folder set up as for a first run
// (the test instrument on the eight instrument tracks). Printed:
// - the program's frames a second, and its Direct3D 9 calls a frame by kind;
// - the time a click on ▶‖ takes to act (a quick click: the button held 100 ms, the press at no
//   fixed point of a frame), counted from the press to the end of the frame that acted, and how
//   many of the clicks no frame saw;
// - beside the program's frames, in turn with them, a bare loop: the Direct3D 9 calls one program
//   frame made, recorded with their data, made again straight to the device with nothing of the
//   library or the program between. Its frame time over the program's is the share of the frame
//   that is Wine's;
// - idle, the song paused and nothing new on the screen: the frames a second, the calls a frame by
//   kind and those of them that set a state to the value the device held already, and the cores
//   and processor time a frame of the whole process (Wine's and the renderer's threads with the
//   program's), beside a bare loop at the same pace that makes only the calls one idle frame needs
//   (its recorded calls without those that set what the device held). Target: the program within
//   1.3 times the bare loop's cores.
#include "bench/support/bench_clock.h"
#include "bench/support/bench_programs.h"
#include "bench/support/thread_clock.h"
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "app/engine/mdx/mdx_player.h"
#include "app/shell/app_startup.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_loop.h"
#include "app/shell/menu_commands.h"
#include "app/shell/shell_tables.h"
#include "zovuz/d3d9/calls/windows/d3d9_calls.h"
#include "zovuz/graphics/display_internal.h"
#include "zovuz/zovuz.h"

namespace {

// Each part ends after its seconds (and a least count of frames or pairs): a platform that draws a
// frame a second then draws fewer rather than taking longer.
constexpr double kFramesSeconds = 5.0, kPairsSeconds = 6.0, kClicksSeconds = 20.0;
constexpr double kIdleSettleSeconds = 2.0, kIdleCountSeconds = 2.0, kIdleBlockSeconds = 2.0;
constexpr int kMinFrames = 3, kClicks = 6, kIdleRounds = 3;
constexpr DWORD kClickHoldMs = 100, kClickWaitMs = 2000;

std::string BuildDir() {
  const char* build = std::getenv("TARVEX_BUILD_DIR");
  return build ? build : ".";
}

double Median(const std::vector<double>& values) { return BenchMedian(values, 0); }

const D3D9CallTable& Sys() { return D3D9SystemCalls; }

// ---- What the device holds ------------------------------------------------------------------------
// The values the calls so far left on the device, as far as they are known (nothing is known of a
// state until a call sets it). A call that sets a state to what the device holds already is one
// the frame did not need.

enum HeldKind {
  kRenderState,
  kSamplerState,
  kStageState,
  kTexture,
  kFVF,
  kDeclaration,
  kVertexShader,
  kPixelShader,
  kDepthStencil,
  kViewport,
  kScissor,
  kTransform,
  kVertexShaderConstantF,
  kVertexShaderConstantI,
  kVertexShaderConstantB,
  kPixelShaderConstantF,
  kPixelShaderConstantI,
  kPixelShaderConstantB,
};

std::map<std::pair<int, uint64_t>, std::string> g_held;  // (kind, which) -> the value's bytes

// Whether the device holds Size bytes at Value for (Kind, Which); it holds them from now on.
bool Holds(int Kind, uint64_t Which, const void* Value, size_t Size) {
  const std::string bytes(static_cast<const char*>(Value), Size);
  const auto [place, added] = g_held.try_emplace({Kind, Which}, bytes);
  if (added) return false;
  if (place->second == bytes) return true;
  place->second = bytes;
  return false;
}
template <class T>
bool Holds(int Kind, uint64_t Which, const T& Value) {
  return Holds(Kind, Which, &Value, sizeof Value);
}
uint64_t Pair(DWORD First, DWORD Second) { return (uint64_t)First << 32 | Second; }

// Constants are held register by register: a call is held when each of its registers is.
bool HoldsRegisters(int Kind, UINT Start, const void* Data, UINT Count, size_t RegisterBytes) {
  if (Data == nullptr) return false;
  bool all = true;
  for (UINT i = 0; i < Count; ++i)
    all = Holds(Kind, Start + i, static_cast<const char*>(Data) + i * RegisterBytes, RegisterBytes) && all;
  return all;
}

// One judge per state call, named after the wrapper. An FVF and a declaration replace each other;
// a render target resets the viewport and the scissor rectangle.
bool Held_Direct3DDevice9_SetRenderState(D3DRENDERSTATETYPE S, DWORD V) { return Holds(kRenderState, S, V); }
bool Held_Direct3DDevice9_SetSamplerState(DWORD St, D3DSAMPLERSTATETYPE T, DWORD V) {
  return Holds(kSamplerState, Pair(St, T), V);
}
bool Held_Direct3DDevice9_SetTextureStageState(DWORD St, D3DTEXTURESTAGESTATETYPE T, DWORD V) {
  return Holds(kStageState, Pair(St, T), V);
}
bool Held_Direct3DDevice9_SetTexture(DWORD St, IDirect3DBaseTexture9* T) { return Holds(kTexture, St, T); }
bool Held_Direct3DDevice9_SetFVF(DWORD F) {
  g_held.erase({kDeclaration, 0});
  return Holds(kFVF, 0, F);
}
bool Held_Direct3DDevice9_SetVertexDeclaration(IDirect3DVertexDeclaration9* D) {
  g_held.erase({kFVF, 0});
  return Holds(kDeclaration, 0, D);
}
bool Held_Direct3DDevice9_SetVertexShader(IDirect3DVertexShader9* S) { return Holds(kVertexShader, 0, S); }
bool Held_Direct3DDevice9_SetPixelShader(IDirect3DPixelShader9* S) { return Holds(kPixelShader, 0, S); }
bool Held_Direct3DDevice9_SetDepthStencilSurface(IDirect3DSurface9* S) { return Holds(kDepthStencil, 0, S); }
bool Held_Direct3DDevice9_SetRenderTarget(DWORD, IDirect3DSurface9*) {
  g_held.erase({kViewport, 0});
  g_held.erase({kScissor, 0});
  return false;
}
bool Held_Direct3DDevice9_SetViewport(const D3DVIEWPORT9* V) { return V != nullptr && Holds(kViewport, 0, *V); }
bool Held_Direct3DDevice9_SetScissorRect(const RECT* R) { return R != nullptr && Holds(kScissor, 0, *R); }
bool Held_Direct3DDevice9_SetTransform(D3DTRANSFORMSTATETYPE S, const D3DMATRIX* M) {
  return M != nullptr && Holds(kTransform, S, *M);
}
#define HELD_CONSTANTS(Kind, Type, Register)                                              \
  bool Held_Direct3DDevice9_Set##Kind(UINT Start, const Type* Data, UINT Count) {         \
    return HoldsRegisters(k##Kind, Start, Data, Count, sizeof(Type) * Register);          \
  }
HELD_CONSTANTS(VertexShaderConstantF, float, 4)
HELD_CONSTANTS(VertexShaderConstantI, int, 4)
HELD_CONSTANTS(VertexShaderConstantB, BOOL, 1)
HELD_CONSTANTS(PixelShaderConstantF, float, 4)
HELD_CONSTANTS(PixelShaderConstantI, int, 4)
HELD_CONSTANTS(PixelShaderConstantB, BOOL, 1)

// The state calls judged above, each with its parameters and their names.
#define HELD_CALLS(F)                                                                                       \
  F(Direct3DDevice9_SetRenderState, (D3DRENDERSTATETYPE S, DWORD V), (S, V))                                \
  F(Direct3DDevice9_SetSamplerState, (DWORD St, D3DSAMPLERSTATETYPE T, DWORD V), (St, T, V))                \
  F(Direct3DDevice9_SetTextureStageState, (DWORD St, D3DTEXTURESTAGESTATETYPE T, DWORD V), (St, T, V))      \
  F(Direct3DDevice9_SetTexture, (DWORD St, IDirect3DBaseTexture9 * T), (St, T))                             \
  F(Direct3DDevice9_SetFVF, (DWORD F), (F))                                                                 \
  F(Direct3DDevice9_SetVertexDeclaration, (IDirect3DVertexDeclaration9 * D), (D))                           \
  F(Direct3DDevice9_SetVertexShader, (IDirect3DVertexShader9 * S), (S))                                     \
  F(Direct3DDevice9_SetPixelShader, (IDirect3DPixelShader9 * S), (S))                                       \
  F(Direct3DDevice9_SetDepthStencilSurface, (IDirect3DSurface9 * S), (S))                                   \
  F(Direct3DDevice9_SetRenderTarget, (DWORD I, IDirect3DSurface9 * S), (I, S))                              \
  F(Direct3DDevice9_SetViewport, (const D3DVIEWPORT9* V), (V))                                              \
  F(Direct3DDevice9_SetScissorRect, (const RECT* R), (R))                                                   \
  F(Direct3DDevice9_SetTransform, (D3DTRANSFORMSTATETYPE S, const D3DMATRIX* M), (S, M))                    \
  F(Direct3DDevice9_SetVertexShaderConstantF, (UINT Start, const float* Data, UINT Count), (Start, Data, Count)) \
  F(Direct3DDevice9_SetVertexShaderConstantI, (UINT Start, const int* Data, UINT Count), (Start, Data, Count))   \
  F(Direct3DDevice9_SetVertexShaderConstantB, (UINT Start, const BOOL* Data, UINT Count), (Start, Data, Count))  \
  F(Direct3DDevice9_SetPixelShaderConstantF, (UINT Start, const float* Data, UINT Count), (Start, Data, Count))  \
  F(Direct3DDevice9_SetPixelShaderConstantI, (UINT Start, const int* Data, UINT Count), (Start, Data, Count))    \
  F(Direct3DDevice9_SetPixelShaderConstantB, (UINT Start, const BOOL* Data, UINT Count), (Start, Data, Count))

// ---- The calls a frame makes, by kind -----------------------------------------------------------

std::map<std::string, long> g_calls;
std::map<std::string, long> g_heldCalls;  // of them, those that set what the device held

#define COUNTING(Name, Method, Result, Params, Args) \
  Result Counting_##Name Params {                    \
    ++g_calls[#Name];                                \
    return D3D9SystemCalls.Name Args;                \
  }
#define COMMA_ARGS(...) , ##__VA_ARGS__
#define COUNTING_OBJECT(Name, Type, Method, Result, Params, Args) \
  Result Counting_##Name Params {                                 \
    ++g_calls[#Name];                                             \
    return D3D9SystemCalls.Name(Object COMMA_ARGS Args);          \
  }
ZOVUZ_D3D9_DEVICE_CALLS(COUNTING)
ZOVUZ_D3D9_OBJECT9_CALLS(COUNTING)
ZOVUZ_D3D9_ARGUMENT_CALLS(COUNTING_OBJECT)
#define COUNTING_HELD(Name, Params, Args)   \
  HRESULT CountingHeld_##Name Params {      \
    ++g_calls[#Name];                       \
    if (Held_##Name Args) ++g_heldCalls[#Name]; \
    return Sys().Name Args;                 \
  }
HELD_CALLS(COUNTING_HELD)

#define INSTALL_COUNTING(Name, ...) D3D9Calls.Name = Counting_##Name;
#define INSTALL_COUNTING_HELD(Name, ...) D3D9Calls.Name = CountingHeld_##Name;
// Counts from now on; what the device holds is learnt anew.
void CountCalls() {
  // clang-format off
  ZOVUZ_D3D9_DEVICE_CALLS(INSTALL_COUNTING)
  ZOVUZ_D3D9_OBJECT9_CALLS(INSTALL_COUNTING)
  ZOVUZ_D3D9_ARGUMENT_CALLS(INSTALL_COUNTING)
  HELD_CALLS(INSTALL_COUNTING_HELD)
  // clang-format on
  g_calls.clear();
  g_heldCalls.clear();
  g_held.clear();
}

// The calls counted over Frames frames, by kind, then those that set what the device held.
void PrintCalls(const char* Label, int Frames) {
  const auto print = [Frames](const std::map<std::string, long>& counts, long* total) {
    std::vector<std::pair<long, std::string>> kinds;
    *total = 0;
    for (const auto& [name, count] : counts) kinds.emplace_back(count, name), *total += count;
    std::sort(kinds.rbegin(), kinds.rend());
    std::string text;
    char figure[32];
    for (const auto& [count, name] : kinds)
      if (count >= Frames) {
        const size_t method = name.find('_');  // the call's name without its interface
        std::snprintf(figure, sizeof figure, " %.1f;", (double)count / Frames);
        text += " " + name.substr(method == std::string::npos ? 0 : method + 1) + figure;
      }
    return text;
  };
  long total = 0, held = 0;
  const std::string calls = print(g_calls, &total), heldCalls = print(g_heldCalls, &held);
  std::printf("d3d9_program: %s %.1f Direct3D 9 calls a frame:%s\n", Label, (double)total / Frames, calls.c_str());
  std::printf("d3d9_program: %s %.1f of them a frame set what the device held:%s\n", Label, (double)held / Frames,
              heldCalls.c_str());
}

// ---- One frame's calls, kept to be made again ---------------------------------------------------
// Objects the frame makes (the read-back's render target) are made again by the bare frame: the
// calls after it that name the frame's object take the bare frame's instead. The rest (the draw
// screen, the back buffer, shaders) are the device's own and stay.

// A recorded call, and whether it set what the device held (the calls a frame needs leave it out).
struct Step {
  bool held;
  std::function<void()> make;
};
std::vector<Step> g_steps;
std::map<void*, void*> g_madeAgain;  // the recorded frame's object -> the bare frame's
int g_unkept = 0;                    // calls of the frame that the bare frame cannot make

template <class T>
T* Same(T* Object) {
  const auto found = g_madeAgain.find(Object);
  return found == g_madeAgain.end() ? Object : static_cast<T*>(found->second);
}
template <class T>
void MadeAgain(T* Recorded, T* Made) {
  if (Recorded != nullptr && Made != Recorded) g_madeAgain[Recorded] = Made;
}

// Every object a kept call names is held by a reference of the bare frame's own until the frame is
// dropped: the library may release one in the meantime (a system-memory surface of its cache that
// expired) and make another in its place.
std::set<IUnknown*> g_pinned;
template <class T>
void PinOne(const T&) {}
template <class T>
void PinOne(T* Object) {
  if constexpr (std::is_base_of_v<IUnknown, T>)
    if (Object != nullptr && g_pinned.insert(Object).second) Object->AddRef();
}
template <class... A>
void Pin(const A&... Args) {
  (PinOne(Args), ...);
}
void UnpinAll() {
  for (IUnknown* object : g_pinned) object->Release();
  g_pinned.clear();
}

// A copy of Count items at Data (none when null), and the pointer to pass for it.
template <class T>
struct Kept {
  std::vector<T> items;
  bool null = true;
  Kept(const T* Data, size_t Count) : null(Data == nullptr) {
    if (Data != nullptr) items.assign(Data, Data + Count);
  }
  const T* get() const { return null ? nullptr : items.data(); }
};

UINT VerticesOf(D3DPRIMITIVETYPE Type, UINT Count) {
  switch (Type) {
    case D3DPT_POINTLIST:
      return Count;
    case D3DPT_LINELIST:
      return Count * 2;
    case D3DPT_LINESTRIP:
      return Count + 1;
    case D3DPT_TRIANGLELIST:
      return Count * 3;
    default:
      return Count + 2;
  }
}

// A call that is no state: always needed.
void Keep(std::function<void()> Make) { g_steps.push_back({false, std::move(Make)}); }

// Calls of plain values (objects of the device pass through Same); a state call is judged.
#define KEEP_VALUES(Name, Params, Args, Values) \
  HRESULT Keeping_##Name Params {               \
    Pin Args;                                   \
    Keep([=] { Sys().Name Values; });           \
    return Sys().Name Args;                     \
  }
#define KEEP_STATE(Name, Params, Args, Values)                        \
  HRESULT Keeping_##Name Params {                                     \
    Pin Args;                                                         \
    g_steps.push_back({Held_##Name Args, [=] { Sys().Name Values; }}); \
    return Sys().Name Args;                                           \
  }
KEEP_VALUES(Direct3DDevice9_BeginScene, (void), (), ())
KEEP_VALUES(Direct3DDevice9_EndScene, (void), (), ())
KEEP_STATE(Direct3DDevice9_SetRenderState, (D3DRENDERSTATETYPE S, DWORD V), (S, V), (S, V))
KEEP_STATE(Direct3DDevice9_SetSamplerState, (DWORD St, D3DSAMPLERSTATETYPE T, DWORD V), (St, T, V), (St, T, V))
KEEP_STATE(Direct3DDevice9_SetTextureStageState, (DWORD St, D3DTEXTURESTAGESTATETYPE T, DWORD V), (St, T, V),
           (St, T, V))
KEEP_STATE(Direct3DDevice9_SetFVF, (DWORD F), (F), (F))
KEEP_STATE(Direct3DDevice9_SetTexture, (DWORD St, IDirect3DBaseTexture9* T), (St, T), (St, Same(T)))
KEEP_STATE(Direct3DDevice9_SetRenderTarget, (DWORD I, IDirect3DSurface9* S), (I, S), (I, Same(S)))
KEEP_STATE(Direct3DDevice9_SetDepthStencilSurface, (IDirect3DSurface9 * S), (S), (Same(S)))
KEEP_STATE(Direct3DDevice9_SetPixelShader, (IDirect3DPixelShader9 * S), (S), (S))
KEEP_STATE(Direct3DDevice9_SetVertexShader, (IDirect3DVertexShader9 * S), (S), (S))
KEEP_STATE(Direct3DDevice9_SetVertexDeclaration, (IDirect3DVertexDeclaration9 * D), (D), (D))
KEEP_VALUES(Direct3DDevice9_GetRenderTargetData, (IDirect3DSurface9 * T, IDirect3DSurface9* D), (T, D),
            (Same(T), Same(D)))
KEEP_VALUES(Direct3DSurface9_UnlockRect, (IDirect3DSurface9 * S), (S), (Same(S)))

HRESULT Keeping_Direct3DDevice9_Clear(DWORD Count, const D3DRECT* Rects, DWORD Flags, D3DCOLOR Color, float Z,
                                      DWORD Stencil) {
  const Kept<D3DRECT> rects(Rects, Count);
  Keep([=] { Sys().Direct3DDevice9_Clear(Count, rects.get(), Flags, Color, Z, Stencil); });
  return Sys().Direct3DDevice9_Clear(Count, Rects, Flags, Color, Z, Stencil);
}
HRESULT Keeping_Direct3DDevice9_SetViewport(const D3DVIEWPORT9* Viewport) {
  const D3DVIEWPORT9 v = *Viewport;
  g_steps.push_back({Held_Direct3DDevice9_SetViewport(Viewport), [=] { Sys().Direct3DDevice9_SetViewport(&v); }});
  return Sys().Direct3DDevice9_SetViewport(Viewport);
}
HRESULT Keeping_Direct3DDevice9_SetScissorRect(const RECT* Rect) {
  const RECT r = *Rect;
  g_steps.push_back({Held_Direct3DDevice9_SetScissorRect(Rect), [=] { Sys().Direct3DDevice9_SetScissorRect(&r); }});
  return Sys().Direct3DDevice9_SetScissorRect(Rect);
}
HRESULT Keeping_Direct3DDevice9_SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* Matrix) {
  const D3DMATRIX m = *Matrix;
  g_steps.push_back(
      {Held_Direct3DDevice9_SetTransform(State, Matrix), [=] { Sys().Direct3DDevice9_SetTransform(State, &m); }});
  return Sys().Direct3DDevice9_SetTransform(State, Matrix);
}
#define KEEP_CONSTANTS(Name, Type, PerRegister)                                                    \
  HRESULT Keeping_##Name(UINT Start, const Type* Data, UINT Count) {                               \
    const Kept<Type> data(Data, Count* PerRegister);                                               \
    g_steps.push_back({Held_##Name(Start, Data, Count), [=] { Sys().Name(Start, data.get(), Count); }}); \
    return Sys().Name(Start, Data, Count);                                                         \
  }
KEEP_CONSTANTS(Direct3DDevice9_SetVertexShaderConstantF, float, 4)
KEEP_CONSTANTS(Direct3DDevice9_SetPixelShaderConstantF, float, 4)
KEEP_CONSTANTS(Direct3DDevice9_SetVertexShaderConstantI, int, 4)
KEEP_CONSTANTS(Direct3DDevice9_SetPixelShaderConstantI, int, 4)
KEEP_CONSTANTS(Direct3DDevice9_SetVertexShaderConstantB, BOOL, 1)
KEEP_CONSTANTS(Direct3DDevice9_SetPixelShaderConstantB, BOOL, 1)
HRESULT Keeping_Direct3DDevice9_DrawPrimitiveUP(D3DPRIMITIVETYPE Type, UINT Count, const void* Data, UINT Stride) {
  const Kept<uint8_t> data(static_cast<const uint8_t*>(Data), (size_t)VerticesOf(Type, Count) * Stride);
  Keep([=] { Sys().Direct3DDevice9_DrawPrimitiveUP(Type, Count, data.get(), Stride); });
  return Sys().Direct3DDevice9_DrawPrimitiveUP(Type, Count, Data, Stride);
}
HRESULT Keeping_Direct3DDevice9_StretchRect(IDirect3DSurface9* Src, const RECT* SrcRect, IDirect3DSurface9* Dest,
                                            const RECT* DestRect, D3DTEXTUREFILTERTYPE Filter) {
  Pin(Src, Dest);
  const Kept<RECT> from(SrcRect, 1), to(DestRect, 1);
  Keep([=] { Sys().Direct3DDevice9_StretchRect(Same(Src), from.get(), Same(Dest), to.get(), Filter); });
  return Sys().Direct3DDevice9_StretchRect(Src, SrcRect, Dest, DestRect, Filter);
}
HRESULT Keeping_Direct3DDevice9_CreateRenderTarget(UINT W, UINT H, D3DFORMAT F, D3DMULTISAMPLE_TYPE M, DWORD Q,
                                                   BOOL Lockable, IDirect3DSurface9** Surface, HANDLE* Shared) {
  const HRESULT result = Sys().Direct3DDevice9_CreateRenderTarget(W, H, F, M, Q, Lockable, Surface, Shared);
  IDirect3DSurface9* recorded = SUCCEEDED(result) ? *Surface : nullptr;
  Keep([=] {
    IDirect3DSurface9* made = nullptr;
    Sys().Direct3DDevice9_CreateRenderTarget(W, H, F, M, Q, Lockable, &made, nullptr);
    MadeAgain(recorded, made);
  });
  return result;
}
HRESULT Keeping_Direct3DDevice9_CreateOffscreenPlainSurface(UINT W, UINT H, D3DFORMAT F, D3DPOOL Pool,
                                                            IDirect3DSurface9** Surface, HANDLE* Shared) {
  const HRESULT result = Sys().Direct3DDevice9_CreateOffscreenPlainSurface(W, H, F, Pool, Surface, Shared);
  IDirect3DSurface9* recorded = SUCCEEDED(result) ? *Surface : nullptr;
  Keep([=] {
    IDirect3DSurface9* made = nullptr;
    Sys().Direct3DDevice9_CreateOffscreenPlainSurface(W, H, F, Pool, &made, nullptr);
    MadeAgain(recorded, made);
  });
  return result;
}
HRESULT Keeping_Direct3DTexture9_GetSurfaceLevel(IDirect3DTexture9* Texture, UINT Level, IDirect3DSurface9** Surface) {
  Pin(Texture);
  const HRESULT result = Sys().Direct3DTexture9_GetSurfaceLevel(Texture, Level, Surface);
  IDirect3DSurface9* recorded = SUCCEEDED(result) ? *Surface : nullptr;
  Keep([=] {
    IDirect3DSurface9* got = nullptr;
    Sys().Direct3DTexture9_GetSurfaceLevel(Same(Texture), Level, &got);
    MadeAgain(recorded, got);
  });
  return result;
}
HRESULT Keeping_Direct3DDevice9_GetDepthStencilSurface(IDirect3DSurface9** Surface) {
  const HRESULT result = Sys().Direct3DDevice9_GetDepthStencilSurface(Surface);
  IDirect3DSurface9* recorded = SUCCEEDED(result) ? *Surface : nullptr;
  Keep([=] {
    IDirect3DSurface9* got = nullptr;
    Sys().Direct3DDevice9_GetDepthStencilSurface(&got);
    MadeAgain(recorded, got);
  });
  return result;
}
HRESULT Keeping_Direct3DSurface9_GetDesc(IDirect3DSurface9* Surface, D3DSURFACE_DESC* Desc) {
  Pin(Surface);
  Keep([=] {
    D3DSURFACE_DESC desc;
    Sys().Direct3DSurface9_GetDesc(Same(Surface), &desc);
  });
  return Sys().Direct3DSurface9_GetDesc(Surface, Desc);
}
HRESULT Keeping_Direct3DSurface9_LockRect(IDirect3DSurface9* Surface, D3DLOCKED_RECT* Locked, const RECT* Rect,
                                          DWORD Flags) {
  Pin(Surface);
  const Kept<RECT> rect(Rect, 1);
  Keep([=] {
    D3DLOCKED_RECT locked;
    Sys().Direct3DSurface9_LockRect(Same(Surface), &locked, rect.get(), Flags);
  });
  return Sys().Direct3DSurface9_LockRect(Surface, Locked, Rect, Flags);
}
ULONG Keeping_Direct3D9_ReleaseObject(IUnknown* Object) {
  Pin(Object);
  Keep([=] {
    Sys().Direct3D9_ReleaseObject(Same(Object));
    g_madeAgain.erase(Object);
  });
  return Sys().Direct3D9_ReleaseObject(Object);
}
HRESULT Keeping_Direct3DSwapChain9_Present(IDirect3DSwapChain9* Chain, const RECT* SrcRect, const RECT* DestRect,
                                           HWND Window, const RGNDATA* Dirty, DWORD Flags) {
  const Kept<RECT> from(SrcRect, 1), to(DestRect, 1);
  Keep([=] { Sys().Direct3DSwapChain9_Present(Chain, from.get(), to.get(), Window, nullptr, Flags); });
  return Sys().Direct3DSwapChain9_Present(Chain, SrcRect, DestRect, Window, Dirty, Flags);
}

// Every other call of the frame is counted as one the bare frame leaves out.
#define UNKEPT(Name, Method, Result, Params, Args) \
  Result Unkept_##Name Params {                    \
    ++g_unkept;                                    \
    return D3D9SystemCalls.Name Args;              \
  }
#define UNKEPT_OBJECT(Name, Type, Method, Result, Params, Args) \
  Result Unkept_##Name Params {                                 \
    ++g_unkept;                                                 \
    return D3D9SystemCalls.Name(Object COMMA_ARGS Args);        \
  }
ZOVUZ_D3D9_DEVICE_CALLS(UNKEPT)
ZOVUZ_D3D9_OBJECT9_CALLS(UNKEPT)
ZOVUZ_D3D9_ARGUMENT_CALLS(UNKEPT_OBJECT)

#define INSTALL_UNKEPT(Name, ...) D3D9Calls.Name = Unkept_##Name;
#define KEEP(Name) D3D9Calls.Name = Keeping_##Name
void KeepCalls() {
  // clang-format off
  ZOVUZ_D3D9_DEVICE_CALLS(INSTALL_UNKEPT)
  ZOVUZ_D3D9_OBJECT9_CALLS(INSTALL_UNKEPT)
  ZOVUZ_D3D9_ARGUMENT_CALLS(INSTALL_UNKEPT)
  // clang-format on
  KEEP(Direct3DDevice9_BeginScene);
  KEEP(Direct3DDevice9_EndScene);
  KEEP(Direct3DDevice9_SetRenderState);
  KEEP(Direct3DDevice9_SetSamplerState);
  KEEP(Direct3DDevice9_SetTextureStageState);
  KEEP(Direct3DDevice9_SetFVF);
  KEEP(Direct3DDevice9_SetTexture);
  KEEP(Direct3DDevice9_SetRenderTarget);
  KEEP(Direct3DDevice9_SetDepthStencilSurface);
  KEEP(Direct3DDevice9_SetPixelShader);
  KEEP(Direct3DDevice9_SetVertexShader);
  KEEP(Direct3DDevice9_SetVertexDeclaration);
  KEEP(Direct3DDevice9_GetRenderTargetData);
  KEEP(Direct3DSurface9_UnlockRect);
  KEEP(Direct3DDevice9_Clear);
  KEEP(Direct3DDevice9_SetViewport);
  KEEP(Direct3DDevice9_SetScissorRect);
  KEEP(Direct3DDevice9_SetTransform);
  KEEP(Direct3DDevice9_SetVertexShaderConstantF);
  KEEP(Direct3DDevice9_SetPixelShaderConstantF);
  KEEP(Direct3DDevice9_SetVertexShaderConstantI);
  KEEP(Direct3DDevice9_SetPixelShaderConstantI);
  KEEP(Direct3DDevice9_SetVertexShaderConstantB);
  KEEP(Direct3DDevice9_SetPixelShaderConstantB);
  KEEP(Direct3DDevice9_DrawPrimitiveUP);
  KEEP(Direct3DDevice9_StretchRect);
  KEEP(Direct3DDevice9_CreateRenderTarget);
  KEEP(Direct3DDevice9_CreateOffscreenPlainSurface);
  KEEP(Direct3DTexture9_GetSurfaceLevel);
  KEEP(Direct3DDevice9_GetDepthStencilSurface);
  KEEP(Direct3DSurface9_GetDesc);
  KEEP(Direct3DSurface9_LockRect);
  KEEP(Direct3D9_ReleaseObject);
  KEEP(Direct3DSwapChain9_Present);
}

// The kept frame made again: every call, or only the calls it needs. It ends in the state the
// program's frame ended in, so the library's cache of the device's state still holds for the next
// program frame.
void BareFrame(bool NeededOnly) {
  for (const Step& step : g_steps)
    if (!NeededOnly || !step.held) step.make();
  g_madeAgain.clear();
}

size_t NeededSteps() {
  return (size_t)std::count_if(g_steps.begin(), g_steps.end(), [](const Step& step) { return !step.held; });
}

// ---- Processor use ------------------------------------------------------------------------------

// What the whole process used over a run of frames: cores (processor seconds a wall second),
// processor milliseconds a frame, frames a second.
struct Use {
  double cores, msPerFrame, fps;
};

// Frames of Frame (false: stop) for Seconds.
template <class Frame>
Use MeasureUse(double Seconds, Frame frame) {
  const double cpu = ProcessSeconds(), wall = BenchSeconds();
  int frames = 0;
  while (BenchSeconds() - wall < Seconds && frame()) ++frames;
  const double used = ProcessSeconds() - cpu, passed = BenchSeconds() - wall;
  return {used / passed, frames > 0 ? used * 1000.0 / frames : 0.0, frames / passed};
}

// ---- The clicks on ▶‖ ---------------------------------------------------------------------------

void PressLeft(bool Down) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = Down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  SendInput(1, &input, sizeof input);
}

struct ClickResult {
  std::vector<double> actMs;
  int missed = 0;
};

// Quick clicks on the play/pause button while the frames run on this thread; each waits for the
// act (the player's playing state changing) or kClickWaitMs after its release.
ClickResult ClickPlayPause() {
  HWND window = (HWND)GetMainWindowHandle();
  SetForegroundWindow(window);
  const ImageButton& button = g_shell.buttons[kTransportButton + 2];
  POINT point = {2 * (button.x + button.width / 2), 2 * (button.y + button.height / 2)};
  ClientToScreen(window, &point);
  SetCursorPos(point.x, point.y);
  for (int i = 0; i < 3; ++i) RunFrame();  // the pointer seen over the button

  ClickResult result;
  const double clicking = BenchSeconds();
  for (int click = 0; click < kClicks && BenchSeconds() - clicking < kClicksSeconds; ++click) {
    // Not in step with the frames: a press lands anywhere within one.
    const DWORD delay = 150 + (DWORD)(click * 97 % 250);
    for (const double start = BenchSeconds(); BenchSeconds() - start < delay / 1000.0;) RunFrame();
    const int before = g_mdx.state.playing;
    std::atomic<double> pressed{0};
    std::thread clicker([&] {
      pressed = BenchSeconds();
      PressLeft(true);
      Sleep(kClickHoldMs);
      PressLeft(false);
    });
    while (pressed == 0) Sleep(0);
    double acted = 0;
    while (acted == 0 && BenchSeconds() - pressed < (kClickHoldMs + kClickWaitMs) / 1000.0) {
      RunFrame();
      if (g_mdx.state.playing != before) acted = BenchSeconds();
    }
    clicker.join();
    if (acted != 0)
      result.actMs.push_back((acted - pressed) * 1000.0);
    else
      ++result.missed;
  }
  return result;
}

// ---- Idle ---------------------------------------------------------------------------------------

// The song paused and the meters fallen: nothing new on the screen. The program's frames beside a
// bare loop of the calls one of them needs, paced as the program's flip paces its frames, in turn
// for kIdleRounds rounds.
int MeasureIdle() {
  if (g_mdx.state.playing == 1) g_app.song.Pause();
  for (const double start = BenchSeconds(); BenchSeconds() - start < kIdleSettleSeconds;)
    if (RunFrame() != 0) return 1;

  CountCalls();
  if (RunFrame() != 0) return 1;  // what the device holds is learnt
  g_calls.clear();
  g_heldCalls.clear();
  int frames = 0;
  for (const double start = BenchSeconds(); frames < kMinFrames || BenchSeconds() - start < kIdleCountSeconds;
       ++frames)
    if (RunFrame() != 0) return 1;
  PrintCalls("idle:", frames);
  UnpinAll();
  g_steps.clear();
  g_unkept = 0;
  KeepCalls();
  RunFrame();
  D3D9Calls = D3D9SystemCalls;

  std::vector<double> programCores, programMs, programFps, bareCores, bareMs, bareFps;
  for (int round = 0; round < kIdleRounds; ++round) {
    const Use program = MeasureUse(kIdleBlockSeconds, [] { return RunFrame() == 0; });
    const Use bare = MeasureUse(kIdleBlockSeconds, [] {
      BareFrame(true);
      PaceFrame(true);
      return true;
    });
    programCores.push_back(program.cores), programMs.push_back(program.msPerFrame), programFps.push_back(program.fps);
    bareCores.push_back(bare.cores), bareMs.push_back(bare.msPerFrame), bareFps.push_back(bare.fps);
  }
  std::printf(
      "d3d9_program: idle, the bare loop makes the %zu calls one program frame needs of its %zu (left out: %d)\n",
      NeededSteps(), g_steps.size(), g_unkept);
  PrintBenchRatio("idle on Direct3D 9", Median(programCores), "bare loop of the calls", Median(bareCores), "cores");
  PrintBenchRatio("idle processor a frame", Median(programMs), "bare loop a frame", Median(bareMs), "ms");
  std::printf(
      "d3d9_program: idle %.1f frames a second, bare loop %.1f (medians of %d rounds of %.0f s each); idle / bare "
      "loop %.2f (target <= 1.3)\n",
      Median(programFps), Median(bareFps), kIdleRounds, kIdleBlockSeconds, Median(programCores) / Median(bareCores));
  return 0;
}

// ---- The program --------------------------------------------------------------------------------

// The folder of a first run: the interface images, the test instrument, the example song and the
// project that loads the instrument into the eight instrument tracks, reopened at the start.
void PrepareFolder() {
  const std::string build = BuildDir();
  CreateDirectoryA("IMG", nullptr);
  CreateDirectoryA("VSTPlugins", nullptr);
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((build + "/IMG/*.png").c_str(), &found);
  for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found))
    CopyFileA((build + "/IMG/" + found.cFileName).c_str(), (std::string("IMG/") + found.cFileName).c_str(), FALSE);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  CopyFileA((build + "/testbin/tp_tone.dll").c_str(), "VSTPlugins/tp_tone.dll", FALSE);
  for (const char* name : {"adpcm_groove.mdx", "adpcm_groove.pdx", "test_instruments.tvx"})
    CopyFileA((build + "/examples/" + name).c_str(), name, FALSE);
  const char ini[] = "[config]\r\ninipj=.\\test_instruments.tvx\r\n";
  if (FILE* file = std::fopen("tarvex.ini", "wb")) {
    std::fwrite(ini, 1, sizeof ini - 1, file);
    std::fclose(file);
  }
}

int RunProgram() {
  PrepareFolder();
  g_app.instance = GetModuleHandleA(nullptr);
  g_app.showCommand = SW_SHOWNORMAL;
  if (InitLibraryAndScreen() != 0 || !InitGuiResources() || !StartAppEngines()) {
    std::printf("d3d9_program: the program did not start\n");
    return 1;
  }
  if (GetGraphicsAPIType() != GRAPHICS_API_D3D9) {
    std::printf("d3d9_program: the program did not start on Direct3D 9 (graphics API %d)\n", GetGraphicsAPIType());
    ShutDownApp();
    LibraryEnd();
    return 1;
  }
  ProcessMessage();
  OpenSongFile("adpcm_groove.mdx");
  for (int i = 0; i < 3; ++i) RunFrame();  // the glyph caches fill

  // The frames a second, and the calls of those frames.
  CountCalls();
  int frames = 0;
  const double start = BenchSeconds();
  while (frames < kMinFrames || BenchSeconds() - start < kFramesSeconds) {
    if (RunFrame() != 0) break;
    ++frames;
  }
  const double seconds = BenchSeconds() - start;
  D3D9Calls = D3D9SystemCalls;
  std::printf("d3d9_program: %d frames in %.1f s while the song plays: %.1f frames a second (%s vertex processing)\n",
              frames, seconds, frames / seconds, D3D9CallLayer.HardwareVertexProcessing ? "mixed" : "software");
  PrintCalls("playing:", frames);

  // One frame recorded, then program frames and bare frames in turn.
  KeepCalls();
  RunFrame();
  D3D9Calls = D3D9SystemCalls;
  std::vector<double> program, bare;
  for (const double begin = BenchSeconds();
       program.size() < (size_t)kMinFrames || BenchSeconds() - begin < kPairsSeconds;) {
    double t = BenchSeconds();
    if (RunFrame() != 0) break;
    program.push_back((BenchSeconds() - t) * 1000.0);
    t = BenchSeconds();
    BareFrame(false);
    bare.push_back((BenchSeconds() - t) * 1000.0);
  }
  PrintBenchRatio("program frame on Direct3D 9", Median(program), "its calls alone (bare)", Median(bare), "ms");
  std::printf(
      "d3d9_program: the bare loop makes the %zu calls of one program frame (left out: %d): %.1f frames a second; "
      "Wine's share of the program's frame %.0f %%\n",
      g_steps.size(), g_unkept, 1000.0 / Median(bare), 100.0 * Median(bare) / Median(program));

  const ClickResult clicks = ClickPlayPause();
  std::printf(
      "d3d9_program: a click on the play/pause button (held %lu ms) acted after %.0f ms (median of %zu); %d of %zu "
      "clicks were not seen\n",
      kClickHoldMs, Median(clicks.actMs), clicks.actMs.size(), clicks.missed, clicks.actMs.size() + clicks.missed);
  const int idle = MeasureIdle();
  UnpinAll();
  ShutDownApp();
  LibraryEnd();
  return idle;
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc == 2 && std::strcmp(argv[1], "program") == 0) return RunProgram();
  // The child gets no Direct3D 11 from Wine (a child takes Wine's DLL settings from the settings
  // of its program's name, not from its environment), so the library starts on Direct3D 9.
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const char* name = std::strrchr(self, '\\') ? std::strrchr(self, '\\') + 1 : self;
  const std::string settings = std::string("Software\\Wine\\AppDefaults\\") + name;
  const std::string overrides = settings + "\\DllOverrides";
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, overrides.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return 1;
  RegSetValueExA(key, "d3d11", 0, REG_SZ, (const BYTE*)"", 1);
  RegCloseKey(key);
  const DWORD code = RunToItsEnd(ThisProgramWith(L"program"), 180000, 1, true);
  RegDeleteKeyA(HKEY_CURRENT_USER, overrides.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, settings.c_str());
  return (int)code;
}
