#include "d3d11_test_device.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"

namespace {
const DXGI_FORMAT Float4 = DXGI_FORMAT_R32G32B32A32_FLOAT, Float3 = DXGI_FORMAT_R32G32B32_FLOAT,
                  Float2 = DXGI_FORMAT_R32G32_FLOAT, Colour = DXGI_FORMAT_R8G8B8A8_UNORM;
#define ELEMENT(Name, Index, Format, Offset) {Name, Index, Format, 0, Offset, D3D11_INPUT_PER_VERTEX_DATA, 0}

}  // namespace

const std::vector<D3D11_INPUT_ELEMENT_DESC> LibraryLayouts[9] = {
    {ELEMENT("POSITION", 0, Float4, 0), ELEMENT("COLOR", 0, Colour, 16)},
    {ELEMENT("POSITION", 0, Float4, 0), ELEMENT("COLOR", 0, Colour, 16), ELEMENT("TEXCOORD", 0, Float2, 20)},
    {ELEMENT("POSITION", 0, Float4, 0), ELEMENT("COLOR", 0, Colour, 16), ELEMENT("COLOR", 1, Colour, 20),
     ELEMENT("TEXCOORD", 0, Float2, 24), ELEMENT("TEXCOORD", 1, Float2, 32)},
    {ELEMENT("POSITION", 0, Float3, 0), ELEMENT("COLOR", 0, Colour, 12)},
    {ELEMENT("POSITION", 0, Float3, 0), ELEMENT("COLOR", 0, Colour, 12), ELEMENT("TEXCOORD", 0, Float2, 16)},
    {ELEMENT("POSITION", 0, Float3, 0), ELEMENT("NORMAL", 0, Float3, 12), ELEMENT("COLOR", 0, Colour, 24),
     ELEMENT("COLOR", 1, Colour, 28), ELEMENT("TEXCOORD", 0, Float2, 32), ELEMENT("TEXCOORD", 1, Float2, 40)},
    {ELEMENT("POSITION", 0, Float3, 0), ELEMENT("POSITION", 1, Float4, 12), ELEMENT("NORMAL", 0, Float3, 28),
     ELEMENT("TANGENT", 0, Float3, 40), ELEMENT("BINORMAL", 0, Float3, 52), ELEMENT("COLOR", 0, Colour, 64),
     ELEMENT("COLOR", 1, Colour, 68), ELEMENT("TEXCOORD", 0, Float2, 72), ELEMENT("TEXCOORD", 1, Float2, 80)},
    {ELEMENT("POSITION", 0, Float2, 0), ELEMENT("TEXCOORD", 0, Float2, 8), ELEMENT("TEXCOORD", 1, Float2, 16)},
    {ELEMENT("POSITION", 0, Float2, 0), ELEMENT("TEXCOORD", 0, Float2, 8), ELEMENT("TEXCOORD", 1, Float2, 16),
     ELEMENT("TEXCOORD", 2, Float2, 24), ELEMENT("TEXCOORD", 3, Float2, 32), ELEMENT("TEXCOORD", 4, Float2, 40),
     ELEMENT("TEXCOORD", 5, Float2, 48), ELEMENT("TEXCOORD", 6, Float2, 56), ELEMENT("TEXCOORD", 7, Float2, 64)},
};
bool D3D11TestDevice::Open()
{
    WNDCLASSW Class = {};
    Class.lpfnWndProc = DefWindowProcW;
    Class.hInstance = GetModuleHandleW(nullptr);
    Class.lpszClassName = L"tarvex_shader_test";
    RegisterClassW(&Class);
    // A shown window: Direct3D under Wine draws into the window's X drawable.
    Window = CreateWindowW(L"tarvex_shader_test", L"shader test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr,
                           Class.hInstance, nullptr);
    EXPECT_NE(Window, nullptr) << "no window: is DISPLAY set to a running Xvfb?";
    if (!Window) return false;
    ShowWindow(Window, SW_SHOWNORMAL);

    HMODULE Library = LoadLibraryA("d3d11.dll");
    auto Create = Library ? reinterpret_cast<PFN_D3D11_CREATE_DEVICE_AND_SWAP_CHAIN>(GetProcAddress(Library, "D3D11CreateDeviceAndSwapChain"))
                          : nullptr;
    EXPECT_NE(Create, nullptr) << "d3d11.dll does not load";
    if (!Create) return false;
    DXGI_SWAP_CHAIN_DESC Chain = {};
    Chain.BufferCount = 1;
    Chain.BufferDesc.Width = 64;
    Chain.BufferDesc.Height = 64;
    Chain.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    Chain.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    Chain.OutputWindow = Window;
    Chain.SampleDesc.Count = 1;
    Chain.Windowed = TRUE;
    const HRESULT Result = Create(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION, &Chain,
                                  &SwapChain, &Device, nullptr, &Context);
    EXPECT_EQ(Result, S_OK) << "D3D11CreateDeviceAndSwapChain";
    if (Result != S_OK) return false;

    D3D11_RASTERIZER_DESC Raster = {};
    Raster.FillMode = D3D11_FILL_SOLID;
    Raster.CullMode = D3D11_CULL_NONE;
    Raster.DepthClipEnable = TRUE;
    D3D11_SAMPLER_DESC Sampling = {};
    Sampling.Filter = D3D11_FILTER_MIN_MAG_MIP_POINT;
    Sampling.AddressU = Sampling.AddressV = Sampling.AddressW = D3D11_TEXTURE_ADDRESS_CLAMP;
    Sampling.MaxLOD = D3D11_FLOAT32_MAX;
    return Device->CreateRasterizerState(&Raster, &Rasterizer) == S_OK &&
           Device->CreateSamplerState(&Sampling, &PointSampler) == S_OK;
}

void D3D11TestDevice::Close()
{
    for (IUnknown *P : std::initializer_list<IUnknown *>{PointSampler, Rasterizer, Staging, TargetView, Target, Context,
                                                         Device, SwapChain})
        if (P) P->Release();
    PointSampler = nullptr;
    Rasterizer = nullptr;
    Staging = nullptr;
    TargetView = nullptr;
    Target = nullptr;
    Context = nullptr;
    Device = nullptr;
    SwapChain = nullptr;
    if (Window) DestroyWindow(Window);
    Window = nullptr;
}

bool D3D11TestDevice::Begin(int TargetWidth, int TargetHeight, DXGI_FORMAT Format, UINT BytesPerPixel)
{
    if (!Device) return false;
    if (Staging) Staging->Release();
    if (TargetView) TargetView->Release();
    if (Target) Target->Release();
    Staging = nullptr;
    TargetView = nullptr;
    Target = nullptr;
    Width = TargetWidth;
    Height = TargetHeight;
    PixelBytes = BytesPerPixel;
    D3D11_TEXTURE2D_DESC Desc = {};
    Desc.Width = Width;
    Desc.Height = Height;
    Desc.MipLevels = Desc.ArraySize = 1;
    Desc.Format = Format;
    Desc.SampleDesc.Count = 1;
    Desc.BindFlags = D3D11_BIND_RENDER_TARGET;
    if (Device->CreateTexture2D(&Desc, nullptr, &Target) != S_OK) return false;
    if (Device->CreateRenderTargetView(Target, nullptr, &TargetView) != S_OK) return false;
    Desc.BindFlags = 0;
    Desc.Usage = D3D11_USAGE_STAGING;
    Desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    if (Device->CreateTexture2D(&Desc, nullptr, &Staging) != S_OK) return false;

    const float Clear[4] = {0, 0, 0, 0};
    Context->ClearRenderTargetView(TargetView, Clear);
    Context->OMSetRenderTargets(1, &TargetView, nullptr);
    D3D11_VIEWPORT View = {0, 0, float(Width), float(Height), 0, 1};
    Context->RSSetViewports(1, &View);
    Context->RSSetState(Rasterizer);
    return true;
}

std::vector<unsigned char> D3D11TestDevice::ReadBack()
{
    std::vector<unsigned char> Pixels(size_t(Width) * Height * PixelBytes, 0xcd);
    Context->CopyResource(Staging, Target);
    D3D11_MAPPED_SUBRESOURCE Mapped = {};
    EXPECT_EQ(Context->Map(Staging, 0, D3D11_MAP_READ, 0, &Mapped), S_OK);
    if (!Mapped.pData) return Pixels;
    for (int Y = 0; Y < Height; ++Y)
        memcpy(&Pixels[size_t(Y) * Width * PixelBytes], static_cast<const char *>(Mapped.pData) + Y * Mapped.RowPitch, Width * PixelBytes);
    Context->Unmap(Staging, 0);
    return Pixels;
}

std::vector<uint32_t> D3D11TestDevice::ReadBackPixels()
{
    const std::vector<unsigned char> Bytes = ReadBack();
    std::vector<uint32_t> Pixels(Bytes.size() / 4);
    memcpy(Pixels.data(), Bytes.data(), Pixels.size() * 4);
    return Pixels;
}

ID3D11Buffer *D3D11TestDevice::MakeBuffer(UINT Bind, const void *Data, UINT Bytes)
{
    D3D11_BUFFER_DESC Desc = {};
    Desc.ByteWidth = Bytes;
    Desc.Usage = D3D11_USAGE_DEFAULT;
    Desc.BindFlags = Bind;
    D3D11_SUBRESOURCE_DATA Init = {Data, 0, 0};
    ID3D11Buffer *Buffer = nullptr;
    EXPECT_EQ(Device->CreateBuffer(&Desc, &Init, &Buffer), S_OK);
    return Buffer;
}

ID3D11Texture2D *D3D11TestDevice::MakeTexture(int TextureWidth, int TextureHeight, DXGI_FORMAT Format, const void *Texels,
                                              UINT Pitch, ID3D11ShaderResourceView **View)
{
    D3D11_TEXTURE2D_DESC Desc = {};
    Desc.Width = TextureWidth;
    Desc.Height = TextureHeight;
    Desc.MipLevels = Desc.ArraySize = 1;
    Desc.Format = Format;
    Desc.SampleDesc.Count = 1;
    Desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    D3D11_SUBRESOURCE_DATA Init = {Texels, Pitch, 0};
    ID3D11Texture2D *Texture = nullptr;
    EXPECT_EQ(Device->CreateTexture2D(&Desc, &Init, &Texture), S_OK);
    if (Texture) {
        EXPECT_EQ(Device->CreateShaderResourceView(Texture, nullptr, View), S_OK);
    }
    return Texture;
}

std::vector<unsigned char> ReadSetShader(const char *Name)
{
    const std::string Path = TestBuildDir() + "/shaders/representative/" + Name;
    const std::string Data = ReadFileBytes(std::wstring(Path.begin(), Path.end()));
    EXPECT_FALSE(Data.empty()) << "the build did not write " << Path;
    return std::vector<unsigned char>(Data.begin(), Data.end());
}
