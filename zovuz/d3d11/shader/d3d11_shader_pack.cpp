// Expansion of the Direct3D 11 back end's shader packs (the layout is in d3d11_shader_pack_internal.h).
#include "zovuz/d3d11/shader/d3d11_shader_pack_internal.h"

#include <string.h>

D3D11ShaderPackData D3D11ShaderPack;

namespace {

const size_t SlotSizeBytes = 2;

void LogDamaged(const wchar_t *Name)
{
    AddLogFormat(L"シェーダーパック %s のデータが壊れているため展開できません\n", Name);
}

void BuildLightIndexTables(D3D11ShaderPackData &Pack)
{
    D3D11BuildLightIndexTables(Pack.LightIndex);
    Pack.LightIndexBuiltFlag = 1;
}

void ReleaseExpansions(D3D11ShaderPackData &Pack)
{
    DXFREE(Pack.BaseMemory);
    Pack.BaseMemory = nullptr;
    ArchiveCloseRecord(&Pack.FilterArchive);
    DXFREE(Pack.ChannelMixMemory);
    Pack.ChannelMixMemory = nullptr;
    DXFREE(Pack.FilterImage);
    Pack.FilterImage = nullptr;
    Pack.FilterImageSize = 0;
    memset(Pack.Base, 0, sizeof Pack.Base);
    memset(Pack.ChannelMix, 0, sizeof Pack.ChannelMix);
}

}  // namespace

int D3D11_ExpandShaderPackBlock(PackedTextData *Text, const wchar_t *Name, unsigned char **Memory, size_t *Size)
{
    const int result = ExpandPackedTextBlock(Text, Memory, Size);
    if (result == -2)
        AddLogFormat(L"シェーダーパック %s を展開するメモリ( %d byte )の確保に失敗しました\n", Name, (int)*Size);
    else if (result != 0)
        LogDamaged(Name);
    if (result != 0) *Size = 0;
    return result == 0 ? 0 : -1;
}

int D3D11_ExpandShaderCodePack(PackedTextData *Text, const wchar_t *Name, int SlotCount, D3D11ShaderCode *Slots,
                               unsigned char **Memory)
{
    unsigned char *block = nullptr;
    size_t size = 0;
    if (D3D11_ExpandShaderPackBlock(Text, Name, &block, &size) != 0) {
        *Memory = nullptr;
        return -1;
    }
    // The size table must lie inside the expansion, and the codes it announces too.
    const size_t table = (size_t)SlotCount * SlotSizeBytes;
    size_t total = 0;
    if (table <= size)
        for (int i = 0; i < SlotCount; i++) total += ReadLe16(block + i * SlotSizeBytes);
    if (table > size || total > size - table) {
        AddLogFormat(L"シェーダーパック %s のサイズ表( コード %d byte )が展開したデータ( %d byte )を超えています\n",
                     Name, (int)(table + total), (int)size);
        DXFREE(block);
        *Memory = nullptr;
        return -1;
    }
    const unsigned char *code = block + table;
    for (int i = 0; i < SlotCount; i++) {
        const size_t slotSize = ReadLe16(block + i * SlotSizeBytes);
        Slots[i].Code = slotSize > 0 ? code : nullptr;
        Slots[i].Size = slotSize;
        code += slotSize;
    }
    *Memory = block;
    return 0;
}

int D3D11_LoadShaderPackFrom(const D3D11ShaderPackSources *Sources)
{
    D3D11ShaderPackData &pack = D3D11ShaderPack;
    if (pack.LoadedFlag) return 1;
    BuildLightIndexTables(pack);
    if (D3D11_ExpandShaderCodePack(Sources->Base, L"Base", D3D11_BASE_PACK_SLOTS, pack.Base, &pack.BaseMemory) != 0 ||
        D3D11_ExpandShaderCodePack(Sources->ChannelMix, L"ChannelMix", D3D11_CHANNEL_MIX_PACK_SLOTS, pack.ChannelMix,
                                   &pack.ChannelMixMemory) != 0 ||
        D3D11_ExpandShaderPackBlock(Sources->Filter, L"Filter", &pack.FilterImage, &pack.FilterImageSize) != 0) {
        ReleaseExpansions(pack);
        return 0;
    }
    ArchiveClearRecord(&pack.FilterArchive);
    if (OpenArchiveFromMemory(&pack.FilterArchive, pack.FilterImage, pack.FilterImageSize, 0, 0, nullptr, nullptr) !=
        0) {
        AddLogFormat(L"シェーダーパック %s をアーカイブとして開けませんでした\n", L"Filter");
        ReleaseExpansions(pack);
        return 0;
    }
    pack.LoadedFlag = 1;
    return 1;
}

int Graphics_D3D11_LoadShaderPack(void)
{
    const D3D11ShaderPackSources builtIn = {&D3D11ShaderPackBase, &D3D11ShaderPackChannelMix, &D3D11ShaderPackFilter};
    return D3D11_LoadShaderPackFrom(&builtIn);
}

int Graphics_D3D11_ReleaseShaderPack(void)
{
    D3D11ShaderPackData &pack = D3D11ShaderPack;
    if (pack.LoadedFlag) {
        ReleaseExpansions(pack);
        pack.LoadedFlag = 0;
    }
    CRITICALSECTION_GUARD(guard, D3D11BackendLock());
    if (pack.ThreeDLoadedFlag) {
        __atomic_store_n(&pack.ThreeDLoadedFlag, 0, __ATOMIC_RELEASE);
        DXFREE(pack.ThreeDMemory);
        pack.ThreeDMemory = nullptr;
        memset(pack.ThreeD, 0, sizeof pack.ThreeD);
    }
    return 1;
}

DxCriticalSection *D3D11BackendLock(void)
{
    struct Lock
    {
        DxCriticalSection Section;
        Lock() { CriticalSectionInitialize(&Section); }
    };
    static Lock lock;
    return &lock.Section;
}

int D3D11_Load3DShaderPackFrom(PackedTextData *Text)
{
    D3D11ShaderPackData &pack = D3D11ShaderPack;
    if (__atomic_load_n(&pack.ThreeDLoadedFlag, __ATOMIC_ACQUIRE)) return 1;
    // The lock records the back end's name rather than this file's.
    CriticalSectionGuard guard(D3D11BackendLock(), "DxGraphicsD3D11", __LINE__);
    if (pack.ThreeDLoadedFlag) return 1;
    if (!pack.LightIndexBuiltFlag) BuildLightIndexTables(pack);
    if (D3D11_ExpandShaderCodePack(Text, L"3D", D3D11_3D_PACK_SLOTS, pack.ThreeD, &pack.ThreeDMemory) != 0) {
        memset(pack.ThreeD, 0, sizeof pack.ThreeD);
        return 0;
    }
    __atomic_store_n(&pack.ThreeDLoadedFlag, 1, __ATOMIC_RELEASE);
    return 1;
}

int Graphics_D3D11_Load3DShaderPack(void) { return D3D11_Load3DShaderPackFrom(&D3D11ShaderPack3D); }
