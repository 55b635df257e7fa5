// The fake's COM objects and the entry points of its two "DLLs".
//
// This file sees the Direct3D 11 and DXGI interfaces in their C form (CINTERFACE): each interface
// is a table of function pointers that can be filled by member name, so a fake object implements
// only the methods the back end calls. Every other slot of a table holds a trap that names the
// interface and the slot and stops the program. Nothing of this file's view of the interfaces
// leaves it: the rest of the tests see the fake through fake_d3d11.h only.
#define CINTERFACE
#include "tests/zovuz/d3d11/fake_d3d11.h"

#include <d3d11.h>
#include <dxgi.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <array>
#include <tuple>
#include <type_traits>
#include <utility>

namespace {

// ---- Recording ----------------------------------------------------------------------------------

std::string Describe(const char *Text, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, Text);
    vsnprintf(buffer, sizeof(buffer), Text, args);
    va_end(args);
    return buffer;
}

void Record(const char *Method, const std::string &Args = std::string())
{
    FakeD3D11.Calls.push_back(Args.empty() ? std::string(Method) : std::string(Method) + " " + Args);
    ++FakeD3D11.CallCount[Method];
    FakeD3D11.CallThreads.push_back(GetCurrentThreadId());
}

// One argument as the recorded line shows it: numbers as numbers, objects and arrays as "obj" or
// "null".
template <typename T>
std::string ArgumentText(T Value)
{
    if constexpr (std::is_pointer<T>::value)
        return Value != nullptr ? "obj" : "null";
    else if constexpr (std::is_floating_point<T>::value)
        return Describe("%g", (double)Value);
    else if constexpr (std::is_enum<T>::value || std::is_signed<T>::value)
        return Describe("%d", (int)Value);
    else
        return Describe("%u", (unsigned)Value);
}

template <typename... A>
std::string ArgumentsText(A... Args)
{
    std::string text;
    ((text += (text.empty() ? "" : " ") + ArgumentText(Args)), ...);
    return text;
}

// True when the test asked Method to fail at this call (recorded already); *Result is then what
// it returns.
bool Failing(const char *Method, HRESULT *Result)
{
    auto it = FakeD3D11.Fail.find(Method);
    if (it == FakeD3D11.Fail.end()) return false;
    auto from = FakeD3D11.FailFrom.find(Method);
    if (from != FakeD3D11.FailFrom.end() && FakeD3D11.CallCount[Method] < from->second) return false;
    *Result = it->second;
    return true;
}

// The names that methods sharing one body are told apart by: FAKE_NAME(Draw) declares DrawName.
#define FAKE_NAME(name) constexpr char name##Name[] = #name;

// ---- Objects ------------------------------------------------------------------------------------

// The head of every fake object: the interface's table first, as COM lays it out.
struct FakeObject
{
    const void *lpVtbl;
    const char *Interface;  // for the trap's message
    LONG References;
    void (*Destroy)(FakeObject *Self);  // frees the object when its last reference goes
};

template <typename T>
T *NewObject(const void *Table, const char *Interface)
{
    T *object = new T();
    object->Head = FakeObject{Table, Interface, 1, [](FakeObject *Self) { delete (T *)Self; }};
    ++FakeD3D11.LiveObjects;
    return object;
}

ULONG AddRefFake(FakeObject *Object) { return (ULONG)++Object->References; }

ULONG ReleaseFake(FakeObject *Object)
{
    LONG left = --Object->References;
    if (left == 0) {
        // The end of a swap chain is recorded: it must leave full-screen state before.
        if (strcmp(Object->Interface, "IDXGISwapChain") == 0) Record("SwapChainDestroyed");
        --FakeD3D11.LiveObjects;
        Object->Destroy(Object);
    }
    return (ULONG)left;
}

// A texture or buffer with memory that Map hands out.
struct FakeResource
{
    FakeObject Head;
    D3D11_TEXTURE2D_DESC TextureDesc;  // textures
    D3D11_BUFFER_DESC BufferDesc;      // buffers
    UINT RowPitch;                     // bytes per row of the mapped memory
    std::vector<unsigned char> Memory;
};

struct FakeView
{
    FakeObject Head;
    FakeObject *Resource;                   // the view's reference on its resource
    D3D11_RENDER_TARGET_VIEW_DESC RtvDesc;  // render-target views: as made (a null description: 2-D, mip 0)
    ~FakeView()
    {
        if (Resource != nullptr) ReleaseFake(Resource);
    }
};

struct FakeChild  // states, shaders, input layouts, the DXGI device, the factory
{
    FakeObject Head;
};

struct FakeDevice
{
    FakeObject Head;
    D3D_FEATURE_LEVEL FeatureLevel;
};

struct FakeContext
{
    FakeObject Head;
    int Deferred;
};

struct FakeAdapter
{
    FakeObject Head;
    UINT Index;
};

struct FakeOutput
{
    FakeObject Head;
    UINT Adapter, Index;
};

struct FakeSwapChain
{
    FakeObject Head;
    DXGI_SWAP_CHAIN_DESC Desc;
    FakeResource *Buffer;  // buffer 0; the swap chain holds one reference
    ~FakeSwapChain()
    {
        if (Buffer != nullptr) ReleaseFake(&Buffer->Head);
    }
};

// ---- Traps for the methods not faked ------------------------------------------------------------

template <size_t Slot>
HRESULT STDMETHODCALLTYPE Unfaked(FakeObject *Self)
{
    fprintf(stderr, "fake Direct3D 11: %s method %u is not faked\n", Self->Interface, (unsigned)Slot);
    fflush(stderr);
    abort();
}

typedef HRESULT(STDMETHODCALLTYPE *TrapFunction)(FakeObject *Self);
template <size_t... Slot>
constexpr std::array<TrapFunction, sizeof...(Slot)> MakeTraps(std::index_sequence<Slot...>)
{
    return {{Unfaked<Slot>...}};
}
constexpr size_t MaxSlots = 128;
const std::array<TrapFunction, MaxSlots> Traps = MakeTraps(std::make_index_sequence<MaxSlots>());

// Every slot of a table a trap; then IUnknown's three methods.
template <typename Vtbl>
void FillTraps(Vtbl *Table)
{
    static_assert(sizeof(Vtbl) % sizeof(void *) == 0 && sizeof(Vtbl) / sizeof(void *) <= MaxSlots,
                  "a table of function pointers");
    for (size_t i = 0; i < sizeof(Vtbl) / sizeof(void *); ++i)
        memcpy((char *)Table + i * sizeof(void *), &Traps[i], sizeof(void *));
}

template <typename I>
HRESULT STDMETHODCALLTYPE QueryInterfaceOwn(I *Self, REFIID Riid, void **Out)
{
    if (IsEqualGUID(Riid, IID_IUnknown)) {
        AddRefFake((FakeObject *)Self);
        *Out = Self;
        return S_OK;
    }
    *Out = nullptr;
    return E_NOINTERFACE;
}

template <typename I>
ULONG STDMETHODCALLTYPE AddRefMethod(I *Self)
{
    return AddRefFake((FakeObject *)Self);
}

template <typename I>
ULONG STDMETHODCALLTYPE ReleaseMethod(I *Self)
{
    return ReleaseFake((FakeObject *)Self);
}

template <typename I, typename Vtbl>
void FillUnknown(Vtbl *Table)
{
    FillTraps(Table);
    Table->QueryInterface = QueryInterfaceOwn<I>;
    Table->AddRef = AddRefMethod<I>;
    Table->Release = ReleaseMethod<I>;
}

// The table of interface I: traps, IUnknown's methods, then the methods SetMethods fills in.
template <typename I, typename Vtbl, typename Fill>
Vtbl MakeTable(Fill SetMethods)
{
    Vtbl table;
    FillUnknown<I>(&table);
    SetMethods(table);
    return table;
}

// ---- Resources, views and the other device children -----------------------------------------

UINT BytesPerPixel(DXGI_FORMAT Format)
{
    switch (Format) {
        case DXGI_FORMAT_R32G32B32A32_FLOAT:
            return 16;
        case DXGI_FORMAT_R16G16B16A16_FLOAT:
        case DXGI_FORMAT_R16G16B16A16_UNORM:
        case DXGI_FORMAT_R32G32_FLOAT:
            return 8;
        case DXGI_FORMAT_R8G8_UNORM:
        case DXGI_FORMAT_R16_FLOAT:
        case DXGI_FORMAT_R16_UNORM:
        case DXGI_FORMAT_D16_UNORM:
        case DXGI_FORMAT_B5G6R5_UNORM:
            return 2;
        case DXGI_FORMAT_R8_UNORM:
            return 1;
        default:
            return 4;
    }
}

void STDMETHODCALLTYPE TextureGetDesc(ID3D11Texture2D *Self, D3D11_TEXTURE2D_DESC *Desc)
{
    *Desc = ((FakeResource *)Self)->TextureDesc;
}

void STDMETHODCALLTYPE TextureGetType(ID3D11Texture2D *, D3D11_RESOURCE_DIMENSION *Dimension)
{
    *Dimension = D3D11_RESOURCE_DIMENSION_TEXTURE2D;
}

void STDMETHODCALLTYPE BufferGetDesc(ID3D11Buffer *Self, D3D11_BUFFER_DESC *Desc)
{
    *Desc = ((FakeResource *)Self)->BufferDesc;
}

void STDMETHODCALLTYPE ViewGetResource(ID3D11View *Self, ID3D11Resource **Resource)
{
    FakeObject *resource = ((FakeView *)Self)->Resource;
    if (resource != nullptr) AddRefFake(resource);
    *Resource = (ID3D11Resource *)resource;
}

void STDMETHODCALLTYPE RenderTargetViewGetDesc(ID3D11RenderTargetView *Self, D3D11_RENDER_TARGET_VIEW_DESC *Desc)
{
    *Desc = ((FakeView *)Self)->RtvDesc;
}

struct ChildTables
{
    ID3D11Texture2DVtbl Texture;
    ID3D11BufferVtbl Buffer;
    ID3D11ViewVtbl View;
    ID3D11RenderTargetViewVtbl RenderTargetView;
    ID3D11DeviceChildVtbl Child;
    IDXGIDevice1Vtbl DXGIDevice;
};

HRESULT STDMETHODCALLTYPE DXGIDeviceSetMaximumFrameLatency(IDXGIDevice1 *, UINT Latency)
{
    Record("SetMaximumFrameLatency", Describe("%u", Latency));
    return S_OK;
}

const ChildTables &Children()
{
    static ChildTables t = [] {
        ChildTables c;
        FillUnknown<ID3D11Texture2D>(&c.Texture);
        c.Texture.GetDesc = TextureGetDesc;
        c.Texture.GetType = TextureGetType;
        FillUnknown<ID3D11Buffer>(&c.Buffer);
        c.Buffer.GetDesc = BufferGetDesc;
        FillUnknown<ID3D11View>(&c.View);
        c.View.GetResource = ViewGetResource;
        FillUnknown<ID3D11RenderTargetView>(&c.RenderTargetView);
        c.RenderTargetView.GetResource = (decltype(c.RenderTargetView.GetResource))ViewGetResource;
        c.RenderTargetView.GetDesc = RenderTargetViewGetDesc;
        FillUnknown<ID3D11DeviceChild>(&c.Child);
        FillUnknown<IDXGIDevice1>(&c.DXGIDevice);
        c.DXGIDevice.SetMaximumFrameLatency = DXGIDeviceSetMaximumFrameLatency;
        return c;
    }();
    return t;
}

FakeResource *NewTexture(const D3D11_TEXTURE2D_DESC &Desc)
{
    FakeResource *texture = NewObject<FakeResource>(&Children().Texture, "ID3D11Texture2D");
    texture->TextureDesc = Desc;
    texture->RowPitch = Desc.Width * BytesPerPixel(Desc.Format);
    texture->Memory.assign((size_t)texture->RowPitch * (Desc.Height > 0 ? Desc.Height : 1), 0);
    return texture;
}

// A creation: recorded; failed when the test asks (the out pointer then stays as it was, so code
// that trusts the pointer rather than the result is caught); else the new object into *Out.
template <typename Out, typename Make>
HRESULT Create(const char *Method, const std::string &Args, Out **Result, Make MakeObject)
{
    Record(Method, Args);
    HRESULT failure;
    if (Failing(Method, &failure)) return failure;
    if (Result == nullptr) return S_FALSE;  // a creation that only checks its arguments
    *Result = (Out *)MakeObject();
    return S_OK;
}

FakeChild *NewChild(const char *Interface) { return NewObject<FakeChild>(&Children().Child, Interface); }

FakeView *NewView(ID3D11Resource *Resource, const char *Interface)
{
    FakeView *view = NewObject<FakeView>(&Children().View, Interface);
    view->Resource = (FakeObject *)Resource;
    if (view->Resource != nullptr) AddRefFake(view->Resource);
    return view;
}

// ---- The device ---------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE DeviceQueryInterface(ID3D11Device *Self, REFIID Riid, void **Out)
{
    if (IsEqualGUID(Riid, IID_IDXGIDevice1) || IsEqualGUID(Riid, IID_IDXGIDevice)) {
        Record("QueryInterface", "IDXGIDevice1");
        HRESULT failure;
        if (Failing("QueryInterface", &failure)) {
            *Out = nullptr;
            return failure;
        }
        *Out = NewObject<FakeChild>(&Children().DXGIDevice, "IDXGIDevice1");
        return S_OK;
    }
    return QueryInterfaceOwn(Self, Riid, Out);
}

HRESULT STDMETHODCALLTYPE DeviceCreateBuffer(ID3D11Device *, const D3D11_BUFFER_DESC *Desc,
                                             const D3D11_SUBRESOURCE_DATA *, ID3D11Buffer **Buffer)
{
    return Create("CreateBuffer",
                  Describe("bytes=%u bind=0x%x usage=%d", Desc->ByteWidth, Desc->BindFlags, Desc->Usage), Buffer, [&] {
                      FakeResource *buffer = NewObject<FakeResource>(&Children().Buffer, "ID3D11Buffer");
                      buffer->BufferDesc = *Desc;
                      buffer->RowPitch = Desc->ByteWidth;
                      buffer->Memory.assign(Desc->ByteWidth > 0 ? Desc->ByteWidth : 1, 0);
                      return buffer;
                  });
}

HRESULT STDMETHODCALLTYPE DeviceCreateTexture2D(ID3D11Device *, const D3D11_TEXTURE2D_DESC *Desc,
                                                const D3D11_SUBRESOURCE_DATA *, ID3D11Texture2D **Texture)
{
    return Create("CreateTexture2D",
                  Describe("%ux%u fmt=%d bind=0x%x samples=%u", Desc->Width, Desc->Height, Desc->Format,
                           Desc->BindFlags, Desc->SampleDesc.Count),
                  Texture, [&] { return NewTexture(*Desc); });
}

HRESULT STDMETHODCALLTYPE DeviceCreateShaderResourceView(ID3D11Device *, ID3D11Resource *Resource,
                                                         const D3D11_SHADER_RESOURCE_VIEW_DESC *Desc,
                                                         ID3D11ShaderResourceView **View)
{
    return Create("CreateShaderResourceView", Describe("fmt=%d", Desc != nullptr ? (int)Desc->Format : -1), View,
                  [&] { return NewView(Resource, "ID3D11ShaderResourceView"); });
}

HRESULT STDMETHODCALLTYPE DeviceCreateRenderTargetView(ID3D11Device *, ID3D11Resource *Resource,
                                                       const D3D11_RENDER_TARGET_VIEW_DESC *Desc,
                                                       ID3D11RenderTargetView **View)
{
    return Create("CreateRenderTargetView", Describe("fmt=%d", Desc != nullptr ? (int)Desc->Format : -1), View, [&] {
        FakeView *view = NewView(Resource, "ID3D11RenderTargetView");
        view->Head.lpVtbl = &Children().RenderTargetView;
        view->RtvDesc = D3D11_RENDER_TARGET_VIEW_DESC{};
        view->RtvDesc.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2D;
        if (Desc != nullptr) view->RtvDesc = *Desc;
        return view;
    });
}

HRESULT STDMETHODCALLTYPE DeviceCreateDepthStencilView(ID3D11Device *, ID3D11Resource *Resource,
                                                       const D3D11_DEPTH_STENCIL_VIEW_DESC *Desc,
                                                       ID3D11DepthStencilView **View)
{
    return Create("CreateDepthStencilView", Describe("fmt=%d", Desc != nullptr ? (int)Desc->Format : -1), View,
                  [&] { return NewView(Resource, "ID3D11DepthStencilView"); });
}

// The creations of objects that only need to exist: states, shaders, input layouts. An entry is
// `v.CreateBlendState = CreatedChild<CreateBlendStateName, ID3D11BlendStateName>;`; the last
// argument of each is the out pointer.
FAKE_NAME(CreateInputLayout)
FAKE_NAME(CreateVertexShader)
FAKE_NAME(CreatePixelShader)
FAKE_NAME(CreateBlendState)
FAKE_NAME(CreateDepthStencilState)
FAKE_NAME(CreateRasterizerState)
FAKE_NAME(CreateSamplerState)
FAKE_NAME(CreateQuery)
FAKE_NAME(ID3D11InputLayout)
FAKE_NAME(ID3D11VertexShader)
FAKE_NAME(ID3D11PixelShader)
FAKE_NAME(ID3D11BlendState)
FAKE_NAME(ID3D11DepthStencilState)
FAKE_NAME(ID3D11RasterizerState)
FAKE_NAME(ID3D11SamplerState)
FAKE_NAME(ID3D11Query)

template <const char *Method, const char *Interface, typename... A>
HRESULT STDMETHODCALLTYPE CreatedChild(ID3D11Device *, A... Args)
{
    auto out = std::get<sizeof...(A) - 1>(std::make_tuple(Args...));
    return Create(Method, ArgumentsText(Args...), out, [] { return NewChild(Interface); });
}

FakeContext *NewContext(int Deferred);

HRESULT STDMETHODCALLTYPE DeviceCreateDeferredContext(ID3D11Device *, UINT, ID3D11DeviceContext **Context)
{
    return Create("CreateDeferredContext", std::string(), Context, [] { return NewContext(1); });
}

HRESULT STDMETHODCALLTYPE DeviceCheckFormatSupport(ID3D11Device *, DXGI_FORMAT Format, UINT *Support)
{
    Record("CheckFormatSupport", Describe("fmt=%d", (int)Format));
    HRESULT failure;
    if (Failing("CheckFormatSupport", &failure)) return failure;
    auto it = FakeD3D11.FormatSupport.find((int)Format);
    *Support = it != FakeD3D11.FormatSupport.end() ? it->second : FAKE_D3D11_FULL_SUPPORT;
    return *Support != 0 ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE DeviceCheckMultisampleQualityLevels(ID3D11Device *, DXGI_FORMAT Format, UINT Count,
                                                              UINT *Levels)
{
    Record("CheckMultisampleQualityLevels", Describe("fmt=%d count=%u", (int)Format, Count));
    HRESULT failure;
    if (Failing("CheckMultisampleQualityLevels", &failure)) return failure;
    auto it = FakeD3D11.QualityLevels.find({(int)Format, (int)Count});
    if (it != FakeD3D11.QualityLevels.end())
        *Levels = it->second;
    else
        *Levels = (Count == 1 || Count == 2 || Count == 4 || Count == 8) ? 1 : 0;
    return S_OK;
}

D3D_FEATURE_LEVEL STDMETHODCALLTYPE DeviceGetFeatureLevel(ID3D11Device *Self)
{
    return ((FakeDevice *)Self)->FeatureLevel;
}

const ID3D11DeviceVtbl &DeviceTable()
{
    static const ID3D11DeviceVtbl t = MakeTable<ID3D11Device, ID3D11DeviceVtbl>([](ID3D11DeviceVtbl &v) {
        v.QueryInterface = DeviceQueryInterface;
        v.CreateBuffer = DeviceCreateBuffer;
        v.CreateTexture2D = DeviceCreateTexture2D;
        v.CreateShaderResourceView = DeviceCreateShaderResourceView;
        v.CreateRenderTargetView = DeviceCreateRenderTargetView;
        v.CreateDepthStencilView = DeviceCreateDepthStencilView;
        v.CreateInputLayout = CreatedChild<CreateInputLayoutName, ID3D11InputLayoutName>;
        v.CreateVertexShader = CreatedChild<CreateVertexShaderName, ID3D11VertexShaderName>;
        v.CreatePixelShader = CreatedChild<CreatePixelShaderName, ID3D11PixelShaderName>;
        v.CreateBlendState = CreatedChild<CreateBlendStateName, ID3D11BlendStateName>;
        v.CreateDepthStencilState = CreatedChild<CreateDepthStencilStateName, ID3D11DepthStencilStateName>;
        v.CreateRasterizerState = CreatedChild<CreateRasterizerStateName, ID3D11RasterizerStateName>;
        v.CreateSamplerState = CreatedChild<CreateSamplerStateName, ID3D11SamplerStateName>;
        v.CreateQuery = CreatedChild<CreateQueryName, ID3D11QueryName>;
        v.CreateDeferredContext = DeviceCreateDeferredContext;
        v.CheckFormatSupport = DeviceCheckFormatSupport;
        v.CheckMultisampleQualityLevels = DeviceCheckMultisampleQualityLevels;
        v.GetFeatureLevel = DeviceGetFeatureLevel;
    });
    return t;
}

// ---- The device contexts ------------------------------------------------------------------------

typedef ID3D11DeviceContext Ctx;

// Methods that only record their arguments share one body: an entry is
// `v.Draw = Recorded<DrawName>;`, with the method's name declared by FAKE_NAME.
FAKE_NAME(ClearDepthStencilView)
FAKE_NAME(CopyResource)
FAKE_NAME(CopySubresourceRegion)
FAKE_NAME(CSSetShader)
FAKE_NAME(DSSetShader)
FAKE_NAME(GSSetShader)
FAKE_NAME(HSSetShader)
FAKE_NAME(Draw)
FAKE_NAME(DrawIndexed)
FAKE_NAME(IASetIndexBuffer)
FAKE_NAME(IASetInputLayout)
FAKE_NAME(IASetPrimitiveTopology)
FAKE_NAME(IASetVertexBuffers)
FAKE_NAME(Unmap)
FAKE_NAME(OMSetBlendState)
FAKE_NAME(OMSetDepthStencilState)
FAKE_NAME(OMSetRenderTargets)
FAKE_NAME(PSSetConstantBuffers)
FAKE_NAME(PSSetSamplers)
FAKE_NAME(PSSetShader)
FAKE_NAME(PSSetShaderResources)
FAKE_NAME(VSSetConstantBuffers)
FAKE_NAME(VSSetShader)
FAKE_NAME(RSSetState)
FAKE_NAME(RSSetViewports)
FAKE_NAME(ResolveSubresource)

template <const char *Name, typename... A>
void STDMETHODCALLTYPE Recorded(Ctx *, A... Args)
{
    Record(Name, ArgumentsText(Args...));
}

void STDMETHODCALLTYPE ContextUpdateSubresource(Ctx *, ID3D11Resource *Resource, UINT Subresource, const D3D11_BOX *Box,
                                                const void *Data, UINT RowPitch, UINT DepthPitch)
{
    FakeD3D11Data::Update update = {Subresource, 0, 0, 0, 0, RowPitch, Data, {}};
    if (Box != nullptr) {
        update = {Subresource, Box->left, Box->top, Box->right, Box->bottom, RowPitch, Data, {}};
        const DXGI_FORMAT format = ((FakeResource *)Resource)->TextureDesc.Format;
        const bool block =
            format == DXGI_FORMAT_BC1_UNORM || format == DXGI_FORMAT_BC2_UNORM || format == DXGI_FORMAT_BC3_UNORM;
        const UINT width = Box->right - Box->left, height = Box->bottom - Box->top;
        const UINT rowBytes =
            block ? (width + 3) / 4 * (format == DXGI_FORMAT_BC1_UNORM ? 8 : 16) : width * BytesPerPixel(format);
        const UINT rows = block ? (height + 3) / 4 : height;
        for (UINT y = 0; y < rows; y++) {
            const unsigned char *row = (const unsigned char *)Data + (size_t)y * RowPitch;
            update.Bytes.insert(update.Bytes.end(), row, row + rowBytes);
        }
    }
    Record("UpdateSubresource", Describe("sub=%u box=%u,%u,%u,%u pitch=%u", Subresource, update.Left, update.Top,
                                         update.Right, update.Bottom, RowPitch));
    (void)DepthPitch;
    FakeD3D11.Updates.push_back(std::move(update));
}

void STDMETHODCALLTYPE ContextClearRenderTargetView(Ctx *, ID3D11RenderTargetView *View, const FLOAT Color[4])
{
    Record("ClearRenderTargetView",
           ArgumentsText(View) + Describe(" %g %g %g %g", Color[0], Color[1], Color[2], Color[3]));
}

HRESULT STDMETHODCALLTYPE ContextMap(Ctx *, ID3D11Resource *Resource, UINT Subresource, D3D11_MAP Type, UINT Flags,
                                     D3D11_MAPPED_SUBRESOURCE *Mapped)
{
    Record("Map", ArgumentsText(Resource, Subresource, Type, Flags));
    HRESULT failure;
    if (Failing("Map", &failure)) return failure;
    FakeResource *resource = (FakeResource *)Resource;
    Mapped->pData = resource->Memory.data();
    Mapped->RowPitch = resource->RowPitch;
    Mapped->DepthPitch = (UINT)resource->Memory.size();
    return S_OK;
}

// An event query: busy for FakeD3D11.QueryBusyPolls GetData calls after each End, then done.
int QueryPollsLeft = 0;

void STDMETHODCALLTYPE ContextEnd(Ctx *, ID3D11Asynchronous *Async)
{
    Record("End", ArgumentsText(Async));
    QueryPollsLeft = FakeD3D11.QueryBusyPolls;
}

HRESULT STDMETHODCALLTYPE ContextGetData(Ctx *, ID3D11Asynchronous *, void *Data, UINT Size, UINT Flags)
{
    Record("GetData", Describe("flags=%u", Flags));
    if (QueryPollsLeft > 0) {
        QueryPollsLeft--;
        return S_FALSE;
    }
    if (Data != nullptr && Size == sizeof(BOOL)) *(BOOL *)Data = TRUE;
    return S_OK;
}

void STDMETHODCALLTYPE ContextClearState(Ctx *Self)
{
    Record("ClearState", ((FakeContext *)Self)->Deferred ? "deferred" : "immediate");
}

void STDMETHODCALLTYPE ContextFlush(Ctx *Self)
{
    Record("Flush", ((FakeContext *)Self)->Deferred ? "deferred" : "immediate");
}

const ID3D11DeviceContextVtbl &ContextTable()
{
    static const ID3D11DeviceContextVtbl t =
        MakeTable<ID3D11DeviceContext, ID3D11DeviceContextVtbl>([](ID3D11DeviceContextVtbl &v) {
            v.ClearDepthStencilView = Recorded<ClearDepthStencilViewName>;
            v.ClearRenderTargetView = ContextClearRenderTargetView;
            v.CopyResource = Recorded<CopyResourceName>;
            v.CopySubresourceRegion = Recorded<CopySubresourceRegionName>;
            v.CSSetShader = Recorded<CSSetShaderName>;
            v.DSSetShader = Recorded<DSSetShaderName>;
            v.GSSetShader = Recorded<GSSetShaderName>;
            v.HSSetShader = Recorded<HSSetShaderName>;
            v.Draw = Recorded<DrawName>;
            v.DrawIndexed = Recorded<DrawIndexedName>;
            v.IASetIndexBuffer = Recorded<IASetIndexBufferName>;
            v.IASetInputLayout = Recorded<IASetInputLayoutName>;
            v.IASetPrimitiveTopology = Recorded<IASetPrimitiveTopologyName>;
            v.IASetVertexBuffers = Recorded<IASetVertexBuffersName>;
            v.Map = ContextMap;
            v.Unmap = Recorded<UnmapName>;
            v.UpdateSubresource = ContextUpdateSubresource;
            v.OMSetBlendState = Recorded<OMSetBlendStateName>;
            v.OMSetDepthStencilState = Recorded<OMSetDepthStencilStateName>;
            v.OMSetRenderTargets = Recorded<OMSetRenderTargetsName>;
            v.PSSetConstantBuffers = Recorded<PSSetConstantBuffersName>;
            v.PSSetSamplers = Recorded<PSSetSamplersName>;
            v.PSSetShader = Recorded<PSSetShaderName>;
            v.PSSetShaderResources = Recorded<PSSetShaderResourcesName>;
            v.VSSetConstantBuffers = Recorded<VSSetConstantBuffersName>;
            v.VSSetShader = Recorded<VSSetShaderName>;
            v.RSSetState = Recorded<RSSetStateName>;
            v.RSSetViewports = Recorded<RSSetViewportsName>;
            v.ResolveSubresource = Recorded<ResolveSubresourceName>;
            v.ClearState = ContextClearState;
            v.End = ContextEnd;
            v.GetData = ContextGetData;
            v.Flush = ContextFlush;
        });
    return t;
}

FakeContext *NewContext(int Deferred)
{
    FakeContext *context = NewObject<FakeContext>(&ContextTable(), "ID3D11DeviceContext");
    context->Deferred = Deferred;
    return context;
}

// ---- Outputs and adapters -----------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE OutputGetDesc(IDXGIOutput *Self, DXGI_OUTPUT_DESC *Desc)
{
    FakeOutput *output = (FakeOutput *)Self;
    Record("OutputGetDesc", Describe("%u.%u", output->Adapter, output->Index));
    memset(Desc, 0, sizeof(*Desc));
    _snwprintf(Desc->DeviceName, 32, L"\\\\.\\FAKE%u", output->Index + 1);
    Desc->DesktopCoordinates = FakeD3D11.OutputRect;
    Desc->AttachedToDesktop = TRUE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE OutputWaitForVBlank(IDXGIOutput *)
{
    Record("WaitForVBlank");
    HRESULT failure;
    return Failing("WaitForVBlank", &failure) ? failure : S_OK;
}

const IDXGIOutputVtbl &OutputTable()
{
    static const IDXGIOutputVtbl t = MakeTable<IDXGIOutput, IDXGIOutputVtbl>([](IDXGIOutputVtbl &v) {
        v.GetDesc = OutputGetDesc;
        v.WaitForVBlank = OutputWaitForVBlank;
    });
    return t;
}

FakeOutput *NewOutput(UINT Adapter, UINT Index)
{
    FakeOutput *output = NewObject<FakeOutput>(&OutputTable(), "IDXGIOutput");
    output->Adapter = Adapter;
    output->Index = Index;
    return output;
}

HRESULT STDMETHODCALLTYPE AdapterEnumOutputs(IDXGIAdapter *Self, UINT Index, IDXGIOutput **Output)
{
    FakeAdapter *adapter = (FakeAdapter *)Self;
    Record("EnumOutputs", Describe("%u.%u", adapter->Index, Index));
    if ((int)Index >= FakeD3D11.OutputNum) {
        *Output = nullptr;
        return DXGI_ERROR_NOT_FOUND;
    }
    *Output = (IDXGIOutput *)NewOutput(adapter->Index, Index);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AdapterGetDesc(IDXGIAdapter *Self, DXGI_ADAPTER_DESC *Desc)
{
    FakeAdapter *adapter = (FakeAdapter *)Self;
    Record("AdapterGetDesc", Describe("%u", adapter->Index));
    memset(Desc, 0, sizeof(*Desc));
    _snwprintf(Desc->Description, 128, L"Fake adapter %u", adapter->Index);
    Desc->VendorId = 0xFACE;
    return S_OK;
}

const IDXGIAdapterVtbl &AdapterTable()
{
    static const IDXGIAdapterVtbl t = MakeTable<IDXGIAdapter, IDXGIAdapterVtbl>([](IDXGIAdapterVtbl &v) {
        v.EnumOutputs = AdapterEnumOutputs;
        v.GetDesc = AdapterGetDesc;
    });
    return t;
}

// ---- Swap chains --------------------------------------------------------------------------------

FakeResource *NewBackBuffer(const DXGI_SWAP_CHAIN_DESC &Desc)
{
    D3D11_TEXTURE2D_DESC texture = {};
    texture.Width = Desc.BufferDesc.Width;
    texture.Height = Desc.BufferDesc.Height;
    texture.MipLevels = 1;
    texture.ArraySize = 1;
    texture.Format = Desc.BufferDesc.Format;
    texture.SampleDesc = Desc.SampleDesc;
    texture.BindFlags = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET;
    return NewTexture(texture);
}

HRESULT STDMETHODCALLTYPE SwapChainPresent(IDXGISwapChain *, UINT SyncInterval, UINT Flags)
{
    Record("Present", Describe("%u flags=%u", SyncInterval, Flags));
    HRESULT failure;
    return Failing("Present", &failure) ? failure : S_OK;
}

HRESULT STDMETHODCALLTYPE SwapChainGetBuffer(IDXGISwapChain *Self, UINT Index, REFIID Riid, void **Surface)
{
    Record("GetBuffer", Describe("%u", Index));
    HRESULT failure;
    if (Failing("GetBuffer", &failure)) {
        *Surface = nullptr;
        return failure;
    }
    if (Index != 0 || !IsEqualGUID(Riid, IID_ID3D11Texture2D)) {
        *Surface = nullptr;
        return E_NOINTERFACE;
    }
    FakeResource *buffer = ((FakeSwapChain *)Self)->Buffer;
    AddRefFake(&buffer->Head);
    *Surface = buffer;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SwapChainSetFullscreenState(IDXGISwapChain *, BOOL Fullscreen, IDXGIOutput *)
{
    Record("SetFullscreenState", Describe("%d", Fullscreen));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SwapChainGetDesc(IDXGISwapChain *Self, DXGI_SWAP_CHAIN_DESC *Desc)
{
    Record("SwapChainGetDesc");
    *Desc = ((FakeSwapChain *)Self)->Desc;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SwapChainResizeBuffers(IDXGISwapChain *Self, UINT Count, UINT Width, UINT Height,
                                                 DXGI_FORMAT Format, UINT Flags)
{
    Record("ResizeBuffers", Describe("%u %ux%u fmt=%d flags=%u", Count, Width, Height, (int)Format, Flags));
    HRESULT failure;
    if (Failing("ResizeBuffers", &failure)) return failure;
    FakeSwapChain *chain = (FakeSwapChain *)Self;
    // As on the platform: nobody else may still hold the buffers.
    if (chain->Buffer->Head.References > 1) return DXGI_ERROR_INVALID_CALL;
    chain->Desc.BufferCount = Count;
    chain->Desc.BufferDesc.Width = Width;
    chain->Desc.BufferDesc.Height = Height;
    if (Format != DXGI_FORMAT_UNKNOWN) chain->Desc.BufferDesc.Format = Format;
    ReleaseFake(&chain->Buffer->Head);
    chain->Buffer = NewBackBuffer(chain->Desc);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SwapChainGetContainingOutput(IDXGISwapChain *, IDXGIOutput **Output)
{
    Record("GetContainingOutput");
    HRESULT failure;
    if (Failing("GetContainingOutput", &failure)) {
        *Output = nullptr;
        return failure;
    }
    *Output = (IDXGIOutput *)NewOutput(0, 0);
    return S_OK;
}

const IDXGISwapChainVtbl &SwapChainTable()
{
    static const IDXGISwapChainVtbl t = MakeTable<IDXGISwapChain, IDXGISwapChainVtbl>([](IDXGISwapChainVtbl &v) {
        v.Present = SwapChainPresent;
        v.GetBuffer = SwapChainGetBuffer;
        v.SetFullscreenState = SwapChainSetFullscreenState;
        v.GetDesc = SwapChainGetDesc;
        v.ResizeBuffers = SwapChainResizeBuffers;
        v.GetContainingOutput = SwapChainGetContainingOutput;
    });
    return t;
}

// ---- The factory --------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE FactoryEnumAdapters(IDXGIFactory1 *, UINT Index, IDXGIAdapter **Adapter)
{
    Record("EnumAdapters", Describe("%u", Index));
    HRESULT failure;
    if (Failing("EnumAdapters", &failure) || (int)Index >= FakeD3D11.AdapterNum) {
        *Adapter = nullptr;
        return (int)Index >= FakeD3D11.AdapterNum ? DXGI_ERROR_NOT_FOUND : failure;
    }
    FakeAdapter *adapter = NewObject<FakeAdapter>(&AdapterTable(), "IDXGIAdapter");
    adapter->Index = Index;
    *Adapter = (IDXGIAdapter *)adapter;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FactoryMakeWindowAssociation(IDXGIFactory1 *, HWND, UINT Flags)
{
    Record("MakeWindowAssociation", Describe("flags=%u", Flags));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FactoryCreateSwapChain(IDXGIFactory1 *, IUnknown *Device, DXGI_SWAP_CHAIN_DESC *Desc,
                                                 IDXGISwapChain **SwapChain)
{
    Record("CreateSwapChain",
           Describe("%ux%u fmt=%d usage=0x%x buffers=%u samples=%u/%u windowed=%d swap=%d flags=%u "
                    "refresh=%u/%u device=%s",
                    Desc->BufferDesc.Width, Desc->BufferDesc.Height, (int)Desc->BufferDesc.Format, Desc->BufferUsage,
                    Desc->BufferCount, Desc->SampleDesc.Count, Desc->SampleDesc.Quality, Desc->Windowed,
                    (int)Desc->SwapEffect, Desc->Flags, Desc->BufferDesc.RefreshRate.Numerator,
                    Desc->BufferDesc.RefreshRate.Denominator, Device != nullptr ? "set" : "null"));
    HRESULT failure;
    if (Failing("CreateSwapChain", &failure)) {
        *SwapChain = nullptr;
        return failure;
    }
    FakeSwapChain *chain = NewObject<FakeSwapChain>(&SwapChainTable(), "IDXGISwapChain");
    chain->Desc = *Desc;
    chain->Buffer = NewBackBuffer(*Desc);
    *SwapChain = (IDXGISwapChain *)chain;
    return S_OK;
}

const IDXGIFactory1Vtbl &FactoryTable()
{
    static const IDXGIFactory1Vtbl t = MakeTable<IDXGIFactory1, IDXGIFactory1Vtbl>([](IDXGIFactory1Vtbl &v) {
        v.EnumAdapters = FactoryEnumAdapters;
        v.MakeWindowAssociation = FactoryMakeWindowAssociation;
        v.CreateSwapChain = FactoryCreateSwapChain;
    });
    return t;
}

// ---- The DLLs' entry points ---------------------------------------------------------------------

HRESULT MakeFactory(const char *Entry, void **Factory)
{
    Record(Entry);
    HRESULT failure;
    if (Failing(Entry, &failure)) {
        *Factory = nullptr;
        return failure;
    }
    *Factory = NewObject<FakeChild>(&FactoryTable(), "IDXGIFactory1");
    return S_OK;
}

HRESULT WINAPI FakeCreateDXGIFactory1(REFIID, void **Factory) { return MakeFactory("CreateDXGIFactory1", Factory); }

HRESULT WINAPI FakeCreateDXGIFactory(REFIID, void **Factory) { return MakeFactory("CreateDXGIFactory", Factory); }

HRESULT WINAPI FakeD3D11CreateDevice(IDXGIAdapter *Adapter, D3D_DRIVER_TYPE DriverType, HMODULE, UINT Flags,
                                     const D3D_FEATURE_LEVEL *Levels, UINT LevelNum, UINT SdkVersion,
                                     ID3D11Device **Device, D3D_FEATURE_LEVEL *Obtained, ID3D11DeviceContext **Context)
{
    std::string levels;
    FakeD3D11.RequestedLevels.clear();
    for (UINT i = 0; i < LevelNum; ++i) {
        FakeD3D11.RequestedLevels.push_back((int)Levels[i]);
        levels += Describe(i == 0 ? "%X" : ",%X", (unsigned)Levels[i]);
    }
    Record("D3D11CreateDevice", Describe("adapter=%s driver=%d flags=%u levels=%s sdk=%u", Adapter ? "set" : "null",
                                         (int)DriverType, Flags, levels.c_str(), SdkVersion));
    HRESULT failure;
    if (Failing("D3D11CreateDevice", &failure)) return failure;
    for (UINT i = 0; i < LevelNum; ++i) {
        if ((int)Levels[i] > FakeD3D11.MaxFeatureLevel) continue;
        FakeDevice *device = NewObject<FakeDevice>(&DeviceTable(), "ID3D11Device");
        device->FeatureLevel = Levels[i];
        *Device = (ID3D11Device *)device;
        *Context = (ID3D11DeviceContext *)NewContext(0);
        *Obtained = Levels[i];
        return S_OK;
    }
    return DXGI_ERROR_UNSUPPORTED;
}

// The two modules, told apart by the address of their tags.
char D3D11ModuleTag, DXGIModuleTag;

std::wstring ModuleName(HMODULE Module)
{
    return Module == (HMODULE)&D3D11ModuleTag ? L"d3d11.dll" : Module == (HMODULE)&DXGIModuleTag ? L"dxgi.dll" : L"?";
}

std::string Narrow(const std::wstring &Text) { return std::string(Text.begin(), Text.end()); }

}  // namespace

// ---- The loader ---------------------------------------------------------------------------------

HMODULE WINAPI FakeD3D11LoadLibrary(LPCWSTR FileName)
{
    std::wstring name = FileName;
    Record("LoadLibrary", Narrow(name));
    for (const std::wstring &missing : FakeD3D11.MissingModules)
        if (_wcsicmp(missing.c_str(), FileName) == 0) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
    HMODULE module = _wcsicmp(FileName, L"d3d11.dll") == 0  ? (HMODULE)&D3D11ModuleTag
                     : _wcsicmp(FileName, L"dxgi.dll") == 0 ? (HMODULE)&DXGIModuleTag
                                                            : nullptr;
    if (module == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    FakeD3D11.LoadedModules.push_back(ModuleName(module));
    return module;
}

FARPROC WINAPI FakeD3D11GetProcAddress(HMODULE Module, LPCSTR Name)
{
    Record("GetProcAddress", Name);
    for (const std::string &missing : FakeD3D11.MissingProcs)
        if (missing == Name) return nullptr;
    if (Module == (HMODULE)&D3D11ModuleTag && strcmp(Name, "D3D11CreateDevice") == 0)
        return (FARPROC)(void *)FakeD3D11CreateDevice;
    if (Module == (HMODULE)&DXGIModuleTag && strcmp(Name, "CreateDXGIFactory1") == 0)
        return (FARPROC)(void *)FakeCreateDXGIFactory1;
    if (Module == (HMODULE)&DXGIModuleTag && strcmp(Name, "CreateDXGIFactory") == 0)
        return (FARPROC)(void *)FakeCreateDXGIFactory;
    return nullptr;
}

BOOL WINAPI FakeD3D11FreeLibrary(HMODULE Module)
{
    std::wstring name = ModuleName(Module);
    Record("FreeLibrary", Narrow(name));
    for (auto it = FakeD3D11.LoadedModules.begin(); it != FakeD3D11.LoadedModules.end(); ++it)
        if (*it == name) {
            FakeD3D11.LoadedModules.erase(it);
            return TRUE;
        }
    return FALSE;
}
