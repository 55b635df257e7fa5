// Direct3D 11 for the shader tests of this folder: a shown window with a device and swap
// chain, one draw target of a chosen format with exact read-back, and small resource makers.
#pragma once

#include <windows.h>
#include <d3d11.h>

#include <stdint.h>

#include <vector>

template <typename T>
struct Com {
    T *p = nullptr;
    Com() = default;
    Com(const Com &) = delete;
    Com &operator=(const Com &) = delete;
    ~Com()
    {
        if (p) p->Release();
    }
    T *operator->() const { return p; }
};

struct D3D11TestDevice {
    HWND Window = nullptr;
    IDXGISwapChain *SwapChain = nullptr;
    ID3D11Device *Device = nullptr;
    ID3D11DeviceContext *Context = nullptr;
    ID3D11Texture2D *Target = nullptr;
    ID3D11Texture2D *Staging = nullptr;
    ID3D11RenderTargetView *TargetView = nullptr;
    ID3D11RasterizerState *Rasterizer = nullptr;
    ID3D11SamplerState *PointSampler = nullptr;  // point sampling, clamped: the tests' usual sampler
    int Width = 0, Height = 0;
    UINT PixelBytes = 0;

    // Opens the window and device; false (with a test failure) when either cannot be made.
    bool Open();
    void Close();
    // (Re)makes the draw target, clears it to zero, binds it with a full viewport and no culling.
    bool Begin(int TargetWidth, int TargetHeight, DXGI_FORMAT Format, UINT BytesPerPixel);
    // The target's pixels, row after row, PixelBytes each.
    std::vector<unsigned char> ReadBack();
    // The same for a target of four bytes per pixel, one word per pixel.
    std::vector<uint32_t> ReadBackPixels();

    ID3D11Buffer *MakeBuffer(UINT Bind, const void *Data, UINT Bytes);
    ID3D11Texture2D *MakeTexture(int TextureWidth, int TextureHeight, DXGI_FORMAT Format, const void *Texels, UINT Pitch,
                                 ID3D11ShaderResourceView **View);
};

// A colour as R8G8B8A8 bytes, red lowest: the texel and vertex-colour order of these tests.
inline uint32_t Rgba(unsigned R, unsigned G, unsigned B, unsigned A)
{
    return R | G << 8 | B << 16 | A << 24;
}

// The library's 2-D vertices: untextured (20 bytes) and textured (28 bytes).
struct VertexNoTex {
    float X, Y, Z, Rhw;
    uint32_t Colour;
};
struct Vertex2D {
    float X, Y, Z, Rhw;
    uint32_t Colour;
    float U, V;
};

// The input layouts of the library's seven vertex formats (D3D11_VERTEX_NOTEX_2D onwards) and its
// two transfer formats (two and eight coordinate pairs).
extern const std::vector<D3D11_INPUT_ELEMENT_DESC> LibraryLayouts[9];

// A shader of the representative set the build wrote (empty, with a test failure, if missing).
std::vector<unsigned char> ReadSetShader(const char *Name);
