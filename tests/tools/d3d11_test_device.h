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
    int Width = 0, Height = 0;
    UINT PixelBytes = 0;

    // Opens the window and device; false (with a test failure) when either cannot be made.
    bool Open();
    void Close();
    // (Re)makes the draw target, clears it to zero, binds it with a full viewport and no culling.
    bool Begin(int TargetWidth, int TargetHeight, DXGI_FORMAT Format, UINT BytesPerPixel);
    // The target's pixels, row after row, PixelBytes each.
    std::vector<unsigned char> ReadBack();

    ID3D11Buffer *MakeBuffer(UINT Bind, const void *Data, UINT Bytes);
    ID3D11Texture2D *MakeTexture(int TextureWidth, int TextureHeight, DXGI_FORMAT Format, const void *Texels, UINT Pitch,
                                 ID3D11ShaderResourceView **View);
};

// A shader of the representative set the build wrote (empty, with a test failure, if missing).
std::vector<unsigned char> ReadSetShader(const char *Name);
