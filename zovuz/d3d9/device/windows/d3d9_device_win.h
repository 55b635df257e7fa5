// The Direct3D 9 back end's device records: what the device can do (D3D9DeviceCapsInfo) and the
// screen objects the back end keeps beside the device (D3D9Screen).
#pragma once

#include "zovuz/d3d9/calls/windows/d3d9_calls.h"

// The device's capabilities as the set-up read them.
struct D3D9DeviceCapsInfoData
{
    IDirect3DSurface9 *BackBuffer;  // back buffer 0 of swap chain 0
    D3DFORMAT BackBufferFormat;     // its format
    D3DCAPS9 Caps;                  // the device's caps
    int TextureStageNum;            // MaxTextureBlendStages
    int ResultArgumentFlag;         // D3DPMISCCAPS_TSSARGTEMP
    int SubtractiveBlendFlag;       // D3DPMISCCAPS_BLENDOP
    int VertexShader20Flag, PixelShader20Flag, VertexShader30Flag, PixelShader30Flag;
    int BackBufferLockFlag;  // read the screen by locking the back buffer
};
extern D3D9DeviceCapsInfoData D3D9DeviceCapsInfo;

#define D3D9_VERTEX_DECLARATION_NUM 10
#define D3D9_USER_VERTEX_DECLARATION_NUM 8

// The objects the back end makes beside the device, released with it.
struct D3D9ScreenData
{
    IDirect3DTexture9 *SubBackBufferTexture;      // the sub back buffer's texture, or null
    IDirect3DSurface9 *SubBackBufferSurface;      // its level 0, or a plain render target; null = none
    int SubBackBufferWidth, SubBackBufferHeight;  // the texture's size
    IDirect3DSurface9 *ZBuffer;                   // the screen's Z buffer
    int UserZBufferSizeFlag;                      // the user's Z-buffer size applies
    int UserZBufferWidth, UserZBufferHeight;
    int UserZBufferDepthFlag;                                                     // the user's Z-buffer depth applies
    int UserZBufferBitDepth;                                                      // 16, 24 or 32 (0 = 16)
    IDirect3DVertexDeclaration9 *VertexDeclaration[D3D9_VERTEX_DECLARATION_NUM];  // by D3D9VertexTypeId
    IDirect3DVertexDeclaration9 *UserVertexDeclaration[D3D9_USER_VERTEX_DECLARATION_NUM];  // 0 and 1 made
    int DisplayModeChangedFlag;                 // the back end changed the display mode
    int BorderPresentCount;                     // maximised presents that still paint the borders
    int BorderClientWidth, BorderClientHeight;  // the client size the count was started for
};
extern D3D9ScreenData D3D9Screen;

// The device and everything the set-up reads from it: the format table, the caps, the log lines
// and the back-buffer read test. 0, -1, or -2 when the Ex device failed (make the Direct3D object
// again without Ex and call again).
int Graphics_D3D9_CreateDevice(void);

// The Z buffer for the screen (the old one released first). 0 / -1.
int Graphics_D3D9_CreateZBuffer(void);

// The twelve vertex declarations; their release. 0 / -1 (what was made stays for the release).
int Graphics_D3D9_CreateVertexDeclarations(void);
int Graphics_D3D9_ReleaseVertexDeclarations(void);

// Undoes everything the device's start made, in order; harmless when nothing is left. 0.
int Graphics_D3D9_TerminateDevice(void);
// Releases the device objects of every graph, shadow map, buffer and shader handle and of the
// system-memory caches' entries, which stay with their keys. 0.
int Graphics_D3D9_ReleaseHandleObjects(void);
