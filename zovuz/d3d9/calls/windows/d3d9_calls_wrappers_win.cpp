// The call layer's method wrappers: the table of calls to the platform, the wrappers that go
// through it, and the forms a worker hands to the main thread.
#include "zovuz/d3d9/calls/windows/d3d9_calls.h"

#include <type_traits>

namespace {

// What a wrapper answers when its object does not exist.
template <typename R>
R MissingObjectResult()
{
    if constexpr (std::is_same<R, HRESULT>::value)
        return D3DERR_INVALIDCALL;
    else
        return R();
}

// The calls to the platform.
#define ZOVUZ_D3D9_SYSTEM_DEVICE(Name, Method, Result, Params, Args)               \
    Result System_##Name Params                                                    \
    {                                                                              \
        if (D3D9CallLayer.Device == nullptr) return MissingObjectResult<Result>(); \
        return D3D9CallLayer.Device->Method Args;                                  \
    }
#define ZOVUZ_D3D9_SYSTEM_OBJECT9(Name, Method, Result, Params, Args)                \
    Result System_##Name Params                                                      \
    {                                                                                \
        if (D3D9CallLayer.Direct3D == nullptr) return MissingObjectResult<Result>(); \
        return D3D9CallLayer.Direct3D->Method Args;                                  \
    }
#define ZOVUZ_D3D9_SYSTEM_ARGUMENT(Name, Type, Method, Result, Params, Args) \
    Result System_##Name Params                                              \
    {                                                                        \
        if (Object == nullptr) return MissingObjectResult<Result>();         \
        return Object->Method Args;                                          \
    }
ZOVUZ_D3D9_DEVICE_CALLS(ZOVUZ_D3D9_SYSTEM_DEVICE)
ZOVUZ_D3D9_OBJECT9_CALLS(ZOVUZ_D3D9_SYSTEM_OBJECT9)
ZOVUZ_D3D9_ARGUMENT_CALLS(ZOVUZ_D3D9_SYSTEM_ARGUMENT)
#undef ZOVUZ_D3D9_SYSTEM_DEVICE
#undef ZOVUZ_D3D9_SYSTEM_OBJECT9
#undef ZOVUZ_D3D9_SYSTEM_ARGUMENT

// Calls a replay on the main thread with the arguments that follow it.
struct MainThreadReplay
{
    ASyncLoadRequestFunction Replay;
    template <typename... A>
    HRESULT operator()(const A &...Args) const
    {
        return (HRESULT)RequestMainThreadReplay(Replay, Args...);
    }
};

// Calls a table entry with the object first, then the method's own arguments.
template <typename Entry, typename Object>
struct WithObject
{
    Entry Call;
    Object *Target;
    template <typename... A>
    auto operator()(const A &...Args) const
    {
        return Call(Target, Args...);
    }
};

// ---- Writes to the screens ------------------------------------------------------------------------
// Each wrapper tells its entry's arguments to ScreenWrite<entry>::Note before the call; only the
// calls that can change a screen's pixels count.

void CountScreenWrite(IDirect3DSurface9 *Surface)
{
    if (Surface != nullptr && Graphics_D3D9_IsScreenSurface(Surface)) ++D3D9CallLayer.ScreenWriteCount;
}

void CountWriteToBoundTargets()
{
    for (IDirect3DSurface9 *target : D3D9CallLayer.BoundTargets) {
        if (target != nullptr && Graphics_D3D9_IsScreenSurface(target)) {
            ++D3D9CallLayer.ScreenWriteCount;
            return;
        }
    }
}

template <auto Entry>
struct ScreenWrite
{
    template <typename... A>
    static void Note(const A &...)
    {
    }
};
template <>
struct ScreenWrite<&D3D9CallTable::Direct3DDevice9_SetRenderTarget>
{
    static void Note(DWORD Index, IDirect3DSurface9 *Surface)
    {
        if (Index < 8) D3D9CallLayer.BoundTargets[Index] = Surface;
    }
};
template <>
struct ScreenWrite<&D3D9CallTable::Direct3DDevice9_Clear>
{
    static void Note(DWORD, const D3DRECT *, DWORD Flags, D3DCOLOR, float, DWORD)
    {
        if (Flags & D3DCLEAR_TARGET) CountWriteToBoundTargets();
    }
};
template <>
struct ScreenWrite<&D3D9CallTable::Direct3DDevice9_DrawPrimitiveUP>
{
    template <typename... A>
    static void Note(const A &...)
    {
        CountWriteToBoundTargets();
    }
};
template <>
struct ScreenWrite<&D3D9CallTable::Direct3DDevice9_DrawIndexedPrimitiveUP>
    : ScreenWrite<&D3D9CallTable::Direct3DDevice9_DrawPrimitiveUP>
{
};
template <>
struct ScreenWrite<&D3D9CallTable::Direct3DDevice9_ColorFill>
{
    static void Note(IDirect3DSurface9 *Surface, const RECT *, D3DCOLOR) { CountScreenWrite(Surface); }
};
template <>
struct ScreenWrite<&D3D9CallTable::Direct3DDevice9_StretchRect>
{
    static void Note(IDirect3DSurface9 *, const RECT *, IDirect3DSurface9 *Dest, const RECT *, D3DTEXTUREFILTERTYPE)
    {
        CountScreenWrite(Dest);
    }
};
template <>
struct ScreenWrite<&D3D9CallTable::Direct3DDevice9_UpdateSurface>
{
    static void Note(IDirect3DSurface9 *, const RECT *, IDirect3DSurface9 *Dest, const POINT *)
    {
        CountScreenWrite(Dest);
    }
};
template <>
struct ScreenWrite<&D3D9CallTable::Direct3DSurface9_LockRect>
{
    static void Note(IDirect3DSurface9 *Surface, D3DLOCKED_RECT *, const RECT *, DWORD Flags)
    {
        if (!(Flags & D3DLOCK_READONLY)) CountScreenWrite(Surface);
    }
};

}  // namespace

#define ZOVUZ_D3D9_SYSTEM_ENTRY(Name, Method, Result, Params, Args) .Name = System_##Name,
#define ZOVUZ_D3D9_SYSTEM_OBJECT_ENTRY(Name, Type, Method, Result, Params, Args) .Name = System_##Name,
const D3D9CallTable D3D9SystemCalls = {ZOVUZ_D3D9_DEVICE_CALLS(ZOVUZ_D3D9_SYSTEM_ENTRY) ZOVUZ_D3D9_OBJECT9_CALLS(
    ZOVUZ_D3D9_SYSTEM_ENTRY) ZOVUZ_D3D9_ARGUMENT_CALLS(ZOVUZ_D3D9_SYSTEM_OBJECT_ENTRY)};
#undef ZOVUZ_D3D9_SYSTEM_ENTRY
#undef ZOVUZ_D3D9_SYSTEM_OBJECT_ENTRY

D3D9CallTable D3D9Calls = D3D9SystemCalls;

// ---- The wrappers -----------------------------------------------------------------------------------

#define ZOVUZ_D3D9_WRAPPER(Name, Method, Result, Params, Args) \
    Result Name Params                                         \
    {                                                          \
        ScreenWrite<&D3D9CallTable::Name>::Note Args;          \
        return D3D9Calls.Name Args;                            \
    }
#define ZOVUZ_D3D9_OBJECT_WRAPPER(Name, Type, Method, Result, Params, Args)                          \
    Result Name Params                                                                               \
    {                                                                                                \
        [&](const auto &...Rest) { ScreenWrite<&D3D9CallTable::Name>::Note(Object, Rest...); } Args; \
        return WithObject<decltype(D3D9Calls.Name), Type>{D3D9Calls.Name, Object} Args;              \
    }
ZOVUZ_D3D9_DEVICE_CALLS(ZOVUZ_D3D9_WRAPPER)
ZOVUZ_D3D9_OBJECT9_CALLS(ZOVUZ_D3D9_WRAPPER)
ZOVUZ_D3D9_ARGUMENT_CALLS(ZOVUZ_D3D9_OBJECT_WRAPPER)
#undef ZOVUZ_D3D9_WRAPPER
#undef ZOVUZ_D3D9_OBJECT_WRAPPER

// ---- The forms a worker uses ------------------------------------------------------------------------

#define ZOVUZ_D3D9_ASYNC(Name, Plain, Params, Args)                                              \
    int Name##Callback(ASyncLoadRequestInfo *Info) { return ReplayMainThreadCall(Plain, Info); } \
    HRESULT Name(ZOVUZ_D3D9_UNPAREN Params, int ASyncThread)                                     \
    {                                                                                            \
        if (!ASyncThread) return (HRESULT)Plain Args;                                            \
        return MainThreadReplay{Name##Callback} Args;                                            \
    }
ZOVUZ_D3D9_ASYNC_CALLS(ZOVUZ_D3D9_ASYNC)
#undef ZOVUZ_D3D9_ASYNC

namespace {

// A buffer creation a worker may ask for (Kind: the FVF of a vertex buffer, the format of an index
// buffer): made on the main thread, without a shared handle. 0, or -1 without a device or when the
// creation fails.
template <typename Kind, typename Buffer>
int CreateBufferASync(HRESULT (*Create)(UINT, DWORD, Kind, D3DPOOL, Buffer **, HANDLE *),
                      ASyncLoadRequestFunction Replay, UINT Length, DWORD Usage, Kind Which, D3DPOOL Pool, Buffer **Out,
                      int ASyncThread)
{
    if (ASyncThread) return RequestMainThreadReplay(Replay, Length, Usage, Which, Pool, Out);
    if (D3D9CallLayer.Device == nullptr) return -1;
    return FAILED(Create(Length, Usage, Which, Pool, Out, nullptr)) ? -1 : 0;
}

// The main thread's side of it.
template <typename Kind, typename Buffer, int (*CreateASync)(UINT, DWORD, Kind, D3DPOOL, Buffer **, int)>
int ReplayBufferCreation(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(
        +[](UINT Length, DWORD Usage, Kind Which, D3DPOOL Pool, Buffer **Out) {
            return CreateASync(Length, Usage, Which, Pool, Out, 0);
        },
        Info);
}

}  // namespace

int Direct3DDevice9_CreateVertexBuffer_ASync(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                             IDirect3DVertexBuffer9 **Buffer, int ASyncThread)
{
    return CreateBufferASync(Direct3DDevice9_CreateVertexBuffer, Direct3DDevice9_CreateVertexBuffer_ASyncCallback,
                             Length, Usage, FVF, Pool, Buffer, ASyncThread);
}

int Direct3DDevice9_CreateVertexBuffer_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayBufferCreation<DWORD, IDirect3DVertexBuffer9, Direct3DDevice9_CreateVertexBuffer_ASync>(Info);
}

int Direct3DDevice9_CreateIndexBuffer_ASync(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                            IDirect3DIndexBuffer9 **Buffer, int ASyncThread)
{
    return CreateBufferASync(Direct3DDevice9_CreateIndexBuffer, Direct3DDevice9_CreateIndexBuffer_ASyncCallback, Length,
                             Usage, Format, Pool, Buffer, ASyncThread);
}

int Direct3DDevice9_CreateIndexBuffer_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayBufferCreation<D3DFORMAT, IDirect3DIndexBuffer9, Direct3DDevice9_CreateIndexBuffer_ASync>(Info);
}
