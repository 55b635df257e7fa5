// The Direct3D 11 back end's screen: the table of swap chains, one per window the library
// presents into (in this system only the main window, record 0), with the views of their back
// buffers, and the sub back buffer the library draws into when the back buffer cannot serve.
#pragma once

#include "zovuz/d3d11/calls/windows/d3d11_calls.h"

#define D3D11_SWAP_CHAIN_MAXNUM 256

// One window's swap chain.
struct D3D11SwapChainInfo
{
    int UsedFlag;                         // the record holds a swap chain
    IDXGISwapChain *SwapChain;            // uncounted
    DXGI_SWAP_CHAIN_DESC Desc;            // as the swap chain describes itself; OutputWindow is its window
    IDXGIOutput *Output;                  // the output that contains it (uncounted)
    ID3D11Texture2D *BackBuffer;          // buffer 0
    D3D11_TEXTURE2D_DESC BackBufferDesc;  // its Width and Height are the back-buffer size
    ID3D11ShaderResourceView *BackBufferSRV;
    ID3D11RenderTargetView *BackBufferRTV;
};

struct D3D11ScreenData
{
    int SwapChainNum;  // used records
    D3D11SwapChainInfo SwapChain[D3D11_SWAP_CHAIN_MAXNUM];
    int PresentSwapChain;  // the record that presents (set by device creation)
    int FullScreenFlag;    // a swap chain was made in full-screen state
    // The off-screen texture of the library's screen size that the library draws into when the
    // window's back buffer cannot serve directly (full screen, a resized window).
    ID3D11Texture2D *SubBackBuffer;
    ID3D11RenderTargetView *SubBackBufferRTV;
    ID3D11ShaderResourceView *SubBackBufferSRV;
    int SubBackBufferWidth, SubBackBufferHeight;  // the screen size when it was made
    // The event a paced present waits for, asleep, before it presents (made at the first such
    // present); the failed flag keeps a device without queries from being asked again.
    ID3D11Query *DrawnQuery;
    int DrawnQueryFailedFlag;
};
extern D3D11ScreenData D3D11Screen;

// Releases a texture's shader-resource and render-target views, then the texture, each if set,
// and clears the three pointers (a back buffer, the sub back buffer).
void ReleaseTextureWithViews(ID3D11Texture2D *&Texture, ID3D11ShaderResourceView *&ShaderResourceView,
                             ID3D11RenderTargetView *&RenderTargetView);

// The record of Window's swap chain: the one it has, else a new one. ScreenSizeFlag 0 sizes it to
// the window's client area; otherwise to the library's screen, in full screen at the display mode
// chosen for it. The index, or -1 when all 256 records are used or the swap chain, its output or
// its views cannot be made (the half-made record is released).
int Graphics_D3D11_CreateSwapChain(HWND Window, int ScreenSizeFlag);

// The back buffer of record Index with its shader-resource and render-target views. 0 / -1 (what
// was made released).
int Graphics_D3D11_SetupBackBufferViews(int Index);
// Releases the record's views and back buffer, each if set. 0, or -1 for an index outside 0-255.
int Graphics_D3D11_ReleaseBackBufferViews(int Index);

// Resizes the record's buffers to Width x Height and makes their views again. -1 for a size of 0
// or an index outside 0-255, or when the resize fails (the views then stay released).
int Graphics_D3D11_ResizeBackBuffer(int Index, int Width, int Height);

// Releases one record: Window's when Window is set, else record Index. 0, or -1 when there is no
// such record.
int Graphics_D3D11_ReleaseSwapChain(HWND Window, int Index);

// Waits, asleep, until the device has drawn everything it was given. Under Wine the calls that
// wait for the device (a present with a frame latency of one, a map for reading) spin a core for
// as long as the device is behind: on a software rasteriser that is most of a frame. Waiting
// here first leaves them only their own work. The event query is made at the first wait.
void Graphics_D3D11_WaitUntilDrawn(void);
