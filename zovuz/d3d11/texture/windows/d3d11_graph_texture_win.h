// Graph textures on Direct3D 11: the device objects behind each texture piece of a graph's image
// record, the transfer of images into them, fills, copies between graphs and the multisample
// resolve.
//
// A piece's objects live in its back-end part (GraphTextureEntry::PF) as a D3D11GraphTextureObjects
// record; the two view arrays are tracked allocations whose entry counts the record keeps beside
// them. Main thread only, apart from the creation and the transfer, which an
// asynchronous-load worker may run with its run-on-main-thread flag (every device call then goes
// through the call layer's _ASync forms).
// The creation, release, DXT check, image transfer, fill and graph-to-graph copy the back end's
// table calls are declared in d3d11_internal.h.
#pragma once

#include "zovuz/d3d11/calls/windows/d3d11_calls.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"

struct D3D11GraphTextureObjects
{
    ID3D11Texture2D *MultisampleTexture;   // the multisampled render target, when multisampling is on
    ID3D11Texture2D *Texture;              // the texture that is sampled
    ID3D11ShaderResourceView *View;        // its shader-resource view
    ID3D11RenderTargetView **TargetViews;  // faces x mip levels, index face * levels + mip
    ID3D11Texture2D *DepthTexture;         // an own depth buffer
    ID3D11DepthStencilView **DepthViews;   // its depth-stencil views, one per mip level
    int TargetViewNum;                     // entries of TargetViews
    int DepthViewNum;                      // entries of DepthViews
};
static_assert(sizeof(D3D11GraphTextureObjects) <= sizeof(GraphicsBackendObjectData) &&
                  alignof(D3D11GraphTextureObjects) <= alignof(GraphicsBackendObjectData),
              "a piece's objects fit its back-end part");

// A piece's objects (null when it has no back-end part).
inline D3D11GraphTextureObjects *D3D11GraphObjects(const GraphTextureEntry &Piece)
{
    return GraphicsBackendRecord<D3D11GraphTextureObjects>(Piece.PF);
}

// The texture a piece is drawn into: the multisampled one when it exists.
inline ID3D11Texture2D *D3D11GraphTargetTexture(const GraphTextureEntry &Piece)
{
    const D3D11GraphTextureObjects &objects = *D3D11GraphObjects(Piece);
    return objects.MultisampleTexture != nullptr ? objects.MultisampleTexture : objects.Texture;
}

// ---- Objects ----------------------------------------------------------------------------------

// Unbinds View from every shader-resource slot of the cache that holds it (drawing the batch
// first), forgets it as the draw texture, and releases it. 0.
int Graphics_D3D11_ReleaseTextureShaderResourceView(ID3D11ShaderResourceView *View);
// Resolves Subresource of the piece's multisampled texture into its texture. 0.
int Graphics_D3D11_ResolveMultisampleTexture(const GraphTextureEntry *Piece, int Subresource, DXGI_FORMAT Format);

// ---- Transfers -------------------------------------------------------------------------------

// The common transfer buffer: one block that only grows, for the transfers of the main thread.
struct D3D11TextureCommonBufferData
{
    void *Buffer;  // null until the first transfer
    int Size;      // bytes
};
extern D3D11TextureCommonBufferData D3D11TextureCommonBuffer;

// Grows the buffer to at least Size bytes (an exact new block when it is smaller). 0 / -1 (logged,
// the buffer then empty).
int Graphics_D3D11_Texture_SetupCommonBuffer(int Size);
// Frees it (the device's release). 0.
int Graphics_D3D11_Texture_ReleaseCommonBuffer(void);

// The transfer of a rectangle of an image into one texture.
struct D3D11TextureTransfer
{
    const GraphImageRecord *Image;   // its face count and mip-level count
    ImageRect SrcRect;               // in the image
    ImageRect DestRect;              // in the texture
    ID3D11Texture2D *Texture;        // the texture written
    int TexWidth, TexHeight;         // its size
    int UsedWidth, UsedHeight;       // the part of it the image covers (its edges are repeated past it)
    const BASEIMAGE *Source;         // the image
    const BASEIMAGE *AlphaSource;    // an image whose red gives alpha, or null
    const COLORDATA *DestColorData;  // the texture's format
    int ConvertOption;               // the first transfer option (not read)
    int TransColorFlag;              // the second: the transparent colour becomes alpha 0
    int OwnMemoryFlag;               // an asynchronous loader's: staging in its own block, writes on the main thread
};

// One mip level: the converted rectangle with its edge column, edge row and corner repeated past
// the used size, face by face; a DXT image covering the texture goes up as it is. 0 / -1 (logged).
int Graphics_D3D11_BltBmpOrBaseImageToGraph3_NoMipMapBlt(const D3D11TextureTransfer &Transfer);
// Every mip level: the image's stored chain when it has enough levels and covers the texture,
// else level 0 converted and the others halved from it. 0 / -1 (logged).
int Graphics_D3D11_BltBmpOrBaseImageToGraph3_MipMapBlt(const D3D11TextureTransfer &Transfer);
