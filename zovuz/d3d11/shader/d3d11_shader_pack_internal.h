// The shader packs of the Direct3D 11 back end: the compiled shaders built into the program
// (a source file the build writes with tools/shader_pack), expanded into memory once the back end
// first needs them.
//
// Each pack is packed text (zovuz/core/file/packed_text.h) of an LZ-packed block (the archive
// layer's packing). A code pack expands into a table of 16-bit sizes, one per slot, followed by
// the codes back to back in slot order; a size of 0 is a slot without code. The filter archive
// expands into an archive image, whose shaders are found by file name.
//
// The packs come from the program itself, but the expansion still checks them: a text that does
// not decode, a block that does not expand, or a size table that runs past the expanded codes is
// refused with a log line, and nothing is kept.
#pragma once

#include <stddef.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/d3d11/shader/d3d11_3d_shaders.h"
#include "zovuz/d3d11/shader/d3d11_standard_shaders.h"

// The packs built into the program (the build's generated source defines them).
extern PackedTextData D3D11ShaderPackBase;
extern PackedTextData D3D11ShaderPackChannelMix;
extern PackedTextData D3D11ShaderPackFilter;
extern PackedTextData D3D11ShaderPack3D;  // expanded only when 3-D drawing first needs it

// One slot of a code pack: its code in the expansion, null with size 0 when the slot has none.
struct D3D11ShaderCode
{
    const unsigned char *Code;
    size_t Size;
};

// The packs to load: the built-in ones, or a test's.
struct D3D11ShaderPackSources
{
    PackedTextData *Base;
    PackedTextData *ChannelMix;
    PackedTextData *Filter;
};

// The expanded packs. Main thread only (the back end runs under the library's API lock).
struct D3D11ShaderPackData
{
    int LoadedFlag;                                            // the three packs below are expanded
    unsigned char *BaseMemory;                                 // the base pack's expansion
    D3D11ShaderCode Base[D3D11_BASE_PACK_SLOTS];               // its slots
    unsigned char *ChannelMixMemory;                           // the channel-mix pack's expansion
    D3D11ShaderCode ChannelMix[D3D11_CHANNEL_MIX_PACK_SLOTS];  // its slots
    unsigned char *FilterImage;                                // the filter archive's image
    size_t FilterImageSize;                                    // its bytes
    DxArchiveRecord FilterArchive;                             // the shader-archive record, open on the image
    D3D11LightIndexTables LightIndex;                          // the light-type numbers of the 3-D slots
    int LightIndexBuiltFlag;                                   // LightIndex is filled
    // The 3-D pack, expanded apart from the others when 3-D drawing first needs it: under the
    // back end's lock (D3D11BackendLock), since it may be asked for from several threads. The
    // flag is set (release order) only once the slots are filled, so that a reader who sees it
    // set may read them without the lock.
    int ThreeDLoadedFlag;
    unsigned char *ThreeDMemory;                  // the 3-D pack's expansion
    D3D11ShaderCode ThreeD[D3D11_3D_PACK_SLOTS];  // its slots
};
extern D3D11ShaderPackData D3D11ShaderPack;

// The back end's own lock: guards the expansion of the 3-D pack. Made on first use. Nothing is
// waited for while it is held.
DxCriticalSection *D3D11BackendLock(void);

// Expands the base pack, the channel-mix pack and the filter archive, unless they are: 1, or 0
// when one fails to expand (logged), with nothing kept.
int Graphics_D3D11_LoadShaderPack(void);
// The same from other packs (the built-in ones are Graphics_D3D11_LoadShaderPack's).
int D3D11_LoadShaderPackFrom(const D3D11ShaderPackSources *Sources);
// Frees the expansions and closes the filter archive, when loaded, and the 3-D pack's expansion.
// 1.
int Graphics_D3D11_ReleaseShaderPack(void);

// Expands the 3-D pack and builds the light-type tables, unless done: 1, or 0 when it does not
// expand (logged; nothing kept). Safe to call from several threads at once: one expands, the
// others wait for it.
int Graphics_D3D11_Load3DShaderPack(void);
// The same from another pack (the built-in one is Graphics_D3D11_Load3DShaderPack's).
int D3D11_Load3DShaderPackFrom(PackedTextData *Text);

// Expands one code pack of SlotCount slots into a DxAlloc block (*Memory) and fills Slots: 0, or
// -1 with a log line naming the pack (Name) and nothing allocated.
int D3D11_ExpandShaderCodePack(PackedTextData *Text, const wchar_t *Name, int SlotCount, D3D11ShaderCode *Slots,
                               unsigned char **Memory);
// Expands a packed block into a DxAlloc block: 0 with the block and its size, or -1 (logged).
int D3D11_ExpandShaderPackBlock(PackedTextData *Text, const wchar_t *Name, unsigned char **Memory, size_t *Size);
