// Expansion of the Direct3D 9 back end's shader packs (the layout is in d3d9_shader_pack_internal.h).
#include "zovuz/d3d9/shader/d3d9_shader_pack_internal.h"

#include <string.h>

D3D9ShaderPackData D3D9ShaderPack;

namespace {

const size_t SlotSizeBytes = 2;

void FillNumberTables(D3D9ShaderNumberTables &Tables)
{
    memset(&Tables, 0, sizeof Tables);
    uint16_t number = 0;
    for (int a = 0; a < 4; a++)
        for (int b = 0; b <= a; b++)
            for (int c = 0; c <= b; c++)
                for (int d = 0; d <= c; d++)
                    for (int e = 0; e <= d; e++)
                        for (int f = 0; f <= e; f++) Tables.Six[a][b][c][d][e][f] = number++;
    number = 0;
    for (int a = 0; a < 4; a++)
        for (int b = 0; b <= a; b++)
            for (int c = 0; c <= b; c++) Tables.Three[a][b][c] = number++;
    number = 0;
    for (int a = 0; a < 3; a++)
        for (int b = 0; b <= a; b++)
            for (int c = 0; c <= b; c++) Tables.ThreeOf3[a][b][c] = number++;
}

void ReleaseExpansions(D3D9ShaderPackData &Pack)
{
    ArchiveCloseRecord(&Pack.BaseArchive);
    ArchiveCloseRecord(&Pack.FilterArchive);
    DXFREE(Pack.BaseImage);
    DXFREE(Pack.ChannelMixMemory);
    DXFREE(Pack.FilterImage);
    Pack.BaseImage = Pack.ChannelMixMemory = Pack.FilterImage = nullptr;
    Pack.BaseImageSize = Pack.FilterImageSize = 0;
    memset(Pack.ChannelMix, 0, sizeof Pack.ChannelMix);
}

// An archive pack expanded and opened on its image. 0, or -1 with nothing kept.
int LoadArchive(PackedTextData *Text, unsigned char **Image, size_t *Size, DxArchiveRecord *Archive)
{
    if (ExpandPackedTextBlock(Text, Image, Size) != 0) return -1;
    ArchiveClearRecord(Archive);
    if (OpenArchiveFromMemory(Archive, *Image, *Size, 0, 0, nullptr, nullptr) == 0) return 0;
    DXFREE(*Image);
    *Image = nullptr;
    *Size = 0;
    return -1;
}

// The channel-mix table: the size table, then the codes it announces, all inside the expansion.
int LoadChannelMix(PackedTextData *Text, D3D9ShaderPackData &Pack)
{
    size_t size = 0;
    if (ExpandPackedTextBlock(Text, &Pack.ChannelMixMemory, &size) != 0) return -1;
    const unsigned char *block = Pack.ChannelMixMemory;
    const size_t table = D3D9_CHANNEL_MIX_PACK_SLOTS * SlotSizeBytes;
    size_t total = 0;
    if (table <= size)
        for (int i = 0; i < D3D9_CHANNEL_MIX_PACK_SLOTS; i++) total += ReadLe16(block + i * SlotSizeBytes);
    if (table > size || total > size - table) return -1;
    // The codes start after the whole size table (byte 1024), where the pack builder puts them.
    const unsigned char *code = block + table;
    for (int i = 0; i < D3D9_CHANNEL_MIX_PACK_SLOTS; i++) {
        const size_t slotSize = ReadLe16(block + i * SlotSizeBytes);
        Pack.ChannelMix[i].Code = slotSize > 0 ? code : nullptr;
        Pack.ChannelMix[i].Size = slotSize;
        code += slotSize;
    }
    return 0;
}

}  // namespace

int D3D9_LoadShaderPackFrom(const D3D9ShaderPackSources *Sources)
{
    D3D9ShaderPackData &pack = D3D9ShaderPack;
    if (pack.LoadedFlag) return 1;
    FillNumberTables(pack.Numbers);
    if (LoadArchive(Sources->Base, &pack.BaseImage, &pack.BaseImageSize, &pack.BaseArchive) != 0 ||
        LoadChannelMix(Sources->ChannelMix, pack) != 0 ||
        LoadArchive(Sources->Filter, &pack.FilterImage, &pack.FilterImageSize, &pack.FilterArchive) != 0) {
        ReleaseExpansions(pack);
        return 0;
    }
    pack.LoadedFlag = 1;
    return 1;
}

int Graphics_D3D9_LoadShaderPack(void)
{
    const D3D9ShaderPackSources builtIn = {&D3D9ShaderPackBase, &D3D9ShaderPackChannelMix, &D3D9ShaderPackFilter};
    return D3D9_LoadShaderPackFrom(&builtIn);
}

int Graphics_D3D9_ReleaseShaderPack(void)
{
    D3D9ShaderPackData &pack = D3D9ShaderPack;
    if (pack.LoadedFlag) ReleaseExpansions(pack);
    pack.LoadedFlag = 0;
    return 1;
}

const void *D3D9_FindBaseShaderCode(const char *FileName)
{
    D3D9ShaderPackData &pack = D3D9ShaderPack;
    uint64_t position = 0, size = 0;
    if (!pack.LoadedFlag || ArchiveFindFile(&pack.BaseArchive, CHAR_CODE_UNICODE_BYTE, FileName, &position, &size) != 0)
        return nullptr;
    // The archive checked at open that every file lies inside the image.
    return pack.BaseImage + position;
}
