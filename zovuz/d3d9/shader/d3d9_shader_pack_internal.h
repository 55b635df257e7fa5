// The shader packs of the Direct3D 9 back end: the compiled shaders built into the program (a
// source file the build writes with tools/shader_pack), expanded into memory on the first start
// with programmable shaders and kept until the back end ends.
//
// Each pack is packed text (zovuz/core/file/packed_text.h) of an LZ-packed block (the archive
// layer's packing):
// - the base archive: an archive image whose base shaders are found by file name;
// - the channel-mix code table: 512 16-bit sizes (1024 bytes), then the codes back to back in
//   slot order from byte 1024; a size of 0 is a slot without code;
// - the filter archive: a second archive image, for the graph filters' shaders.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/d3d9/shader/d3d9_base_shaders.h"

// One slot of the channel-mix table: its code in the expansion, null with size 0 when empty.
struct D3D9ShaderCode
{
    const unsigned char *Code;
    size_t Size;
};

// The packs to load: the built-in ones, or a test's.
struct D3D9ShaderPackSources
{
    PackedTextData *Base;
    PackedTextData *ChannelMix;
    PackedTextData *Filter;
};

// The numbers of the non-increasing digit combinations, in loop order (other entries 0).
struct D3D9ShaderNumberTables
{
    uint16_t Six[4][4][4][4][4][4];  // six digits 0-3
    uint16_t Three[4][4][4];         // three digits 0-3
    uint16_t ThreeOf3[3][3][3];      // three digits 0-2
};

// The expanded packs. Main thread only.
struct D3D9ShaderPackData
{
    int LoadedFlag;                                          // the three packs below are expanded
    unsigned char *BaseImage;                                // the base archive's image
    size_t BaseImageSize;                                    // its bytes
    DxArchiveRecord BaseArchive;                             // open on the image
    unsigned char *ChannelMixMemory;                         // the channel-mix table's expansion
    D3D9ShaderCode ChannelMix[D3D9_CHANNEL_MIX_PACK_SLOTS];  // its slots
    unsigned char *FilterImage;                              // the filter archive's image
    size_t FilterImageSize;                                  // its bytes
    DxArchiveRecord FilterArchive;                           // open on the image
    D3D9ShaderNumberTables Numbers;                          // filled by every load
};
extern D3D9ShaderPackData D3D9ShaderPack;

// The packs built into the program (the build's generated source defines them).
extern PackedTextData D3D9ShaderPackBase;
extern PackedTextData D3D9ShaderPackChannelMix;
extern PackedTextData D3D9ShaderPackFilter;

// Expands the three packs and opens both archives, unless loaded: 1, or 0 (logged) with nothing
// kept.
int Graphics_D3D9_LoadShaderPack(void);
// The same from other packs.
int D3D9_LoadShaderPackFrom(const D3D9ShaderPackSources *Sources);
// Frees the expansions and closes the archives. 1.
int Graphics_D3D9_ReleaseShaderPack(void);

// The code of a file of the base archive, or null when it holds no such file.
const void *D3D9_FindBaseShaderCode(const char *FileName);
