// The shader-constant manager.
#include "zovuz/d3d9/shader/windows/d3d9_shader_constant_win.h"

#include <cstring>

#include "zovuz/graphics/zovuz_graphics_backend.h"

ShaderConstantManagerData ShaderConstantManager;

namespace {

const int RegisterNums[D3D9_CONSTANT_TYPE_NUM] = {256, 16, 16, 224, 16, 16};
const int ElementSizes[D3D9_CONSTANT_TYPE_NUM] = {16, 16, 4, 16, 16, 4};

bool ValidRange(int Type, int Set, int First, int Count)
{
    return Type >= 0 && Type < D3D9_CONSTANT_TYPE_NUM && Set >= 0 && Set < D3D9_CONSTANT_SET_NUM && First >= 0 &&
           Count >= 0 && First + Count <= RegisterNums[Type];
}

ShaderUsageSetRecord &RecordOf(ShaderConstantManagerData *M, int Type, int Set)
{
    return M->Record[Type * D3D9_CONSTANT_SET_NUM + Set];
}

void Send(int Type, int First, const void *Data, int Count)
{
    switch (Type) {
        case D3D9_CONSTANT_VS_FLOAT:
            Direct3DDevice9_SetVertexShaderConstantF(First, (const float *)Data, Count);
            break;
        case D3D9_CONSTANT_VS_INT:
            Direct3DDevice9_SetVertexShaderConstantI(First, (const int *)Data, Count);
            break;
        case D3D9_CONSTANT_VS_BOOL:
            Direct3DDevice9_SetVertexShaderConstantB(First, (const BOOL *)Data, Count);
            break;
        case D3D9_CONSTANT_PS_FLOAT:
            Direct3DDevice9_SetPixelShaderConstantF(First, (const float *)Data, Count);
            break;
        case D3D9_CONSTANT_PS_INT:
            Direct3DDevice9_SetPixelShaderConstantI(First, (const int *)Data, Count);
            break;
        default:
            Direct3DDevice9_SetPixelShaderConstantB(First, (const BOOL *)Data, Count);
            break;
    }
}

// The values in force for a range: each register from its set, zeros where none.
void Gather(ShaderConstantManagerData *M, int Type, int First, int Count, unsigned char *Out)
{
    const int size = ElementSizes[Type];
    for (int r = First; r < First + Count; ++r) {
        unsigned char set = M->InForce[Type][r];
        unsigned char *dest = Out + (r - First) * size;
        if (set == D3D9_CONSTANT_NOT_IN_FORCE)
            std::memset(dest, 0, size);
        else
            std::memcpy(dest, RecordOf(M, Type, set).Values + r * size, size);
    }
}

}  // namespace

int Graphics_D3D9_ShaderConstant_RegisterNum(int Type)
{
    return Type >= 0 && Type < D3D9_CONSTANT_TYPE_NUM ? RegisterNums[Type] : 0;
}

int Graphics_D3D9_ShaderConstant_Initialize(ShaderConstantManagerData *M)
{
    std::memset(M, 0, sizeof *M);
    std::memset(M->InForce, D3D9_CONSTANT_NOT_IN_FORCE, sizeof M->InForce);
    for (int type = 0; type < D3D9_CONSTANT_TYPE_NUM; ++type)
        for (int set = 0; set < D3D9_CONSTANT_SET_NUM; ++set) {
            RecordOf(M, type, set).RegisterNum = RegisterNums[type];
            RecordOf(M, type, set).ElementSize = ElementSizes[type];
        }
    return 0;
}

int Graphics_D3D9_ShaderConstant_UpdateUsedRange(ShaderUsageSetRecord *R, int AddFlag, int First, int Count)
{
    if (Count <= 0) return 0;
    const int start = First, end = First + Count;
    unsigned short newStart[D3D9_CONSTANT_REGISTER_MAX], newEnd[D3D9_CONSTANT_REGISTER_MAX];
    int n = 0;
    if (AddFlag) {
        int s = start, e = end;
        bool placed = false;
        for (int i = 0; i < R->RangeNum; ++i) {
            if (R->RangeEnd[i] < s) {  // wholly before, not touching
                newStart[n] = R->RangeStart[i], newEnd[n++] = R->RangeEnd[i];
            } else if (R->RangeStart[i] > e) {  // wholly after
                if (!placed) newStart[n] = (unsigned short)s, newEnd[n++] = (unsigned short)e, placed = true;
                newStart[n] = R->RangeStart[i], newEnd[n++] = R->RangeEnd[i];
            } else {  // overlaps or touches: merge
                if (R->RangeStart[i] < s) s = R->RangeStart[i];
                if (R->RangeEnd[i] > e) e = R->RangeEnd[i];
            }
        }
        if (!placed) newStart[n] = (unsigned short)s, newEnd[n++] = (unsigned short)e;
    } else {
        for (int i = 0; i < R->RangeNum; ++i) {
            int s = R->RangeStart[i], e = R->RangeEnd[i];
            if (e <= start || s >= end) {
                newStart[n] = (unsigned short)s, newEnd[n++] = (unsigned short)e;
                continue;
            }
            if (s < start) newStart[n] = (unsigned short)s, newEnd[n++] = (unsigned short)start;
            if (e > end) newStart[n] = (unsigned short)end, newEnd[n++] = (unsigned short)e;
        }
    }
    std::memcpy(R->RangeStart, newStart, n * sizeof newStart[0]);
    std::memcpy(R->RangeEnd, newEnd, n * sizeof newEnd[0]);
    R->RangeNum = n;
    return 0;
}

int Graphics_D3D9_ShaderConstant_Upload(ShaderConstantManagerData *M, int Type, int First, const void *Values,
                                        int Count)
{
    if (Type < 0 || Type >= D3D9_CONSTANT_TYPE_NUM) return 0;
    if (!ValidRange(Type, 0, First, Count)) return -1;
    if (Count == 0) return 0;
    const int size = ElementSizes[Type];
    unsigned char gathered[D3D9_CONSTANT_REGISTER_MAX * 16];
    if (Values == nullptr) {
        Gather(M, Type, First, Count, gathered);
        Values = gathered;
    }
    if (GraphicsDeviceCaps.ProgrammableShaderFlag && D3D9CallLayer.Device != nullptr) Send(Type, First, Values, Count);
    std::memcpy(M->Mirror[Type].Values + First * size, Values, Count * size);
    return 0;
}

int Graphics_D3D9_ShaderConstant_Set(ShaderConstantManagerData *M, int Type, int Set, int First, const void *Values,
                                     int Count, int UpdateUsed)
{
    if (!ValidRange(Type, Set, First, Count) || (Values == nullptr && Count > 0)) return -1;
    ShaderUsageSetRecord &r = RecordOf(M, Type, Set);
    if (UpdateUsed) Graphics_D3D9_ShaderConstant_UpdateUsedRange(&r, 1, First, Count);
    std::memcpy(r.Values + First * r.ElementSize, Values, Count * r.ElementSize);
    bool conflict = false;
    for (int reg = First; reg < First + Count; ++reg) {
        M->Used[Type][Set][reg] = 1;
        if (!M->SetEnabled[Set]) continue;
        unsigned char &inForce = M->InForce[Type][reg];
        if (inForce == D3D9_CONSTANT_NOT_IN_FORCE || inForce <= Set)
            inForce = (unsigned char)Set;
        else
            conflict = true;
    }
    if (M->SetEnabled[Set]) Graphics_D3D9_ShaderConstant_Upload(M, Type, First, conflict ? nullptr : Values, Count);
    return 0;
}

int Graphics_D3D9_ShaderConstant_Reset(ShaderConstantManagerData *M, int Type, int Set, int First, int Count)
{
    if (!ValidRange(Type, Set, First, Count)) return -1;
    Graphics_D3D9_ShaderConstant_UpdateUsedRange(&RecordOf(M, Type, Set), 0, First, Count);
    bool handed = false;
    for (int reg = First; reg < First + Count; ++reg) {
        M->Used[Type][Set][reg] = 0;
        unsigned char &inForce = M->InForce[Type][reg];
        if (inForce != Set) continue;
        // Only an enabled set may take the register over: a disabled one must not reach the device.
        inForce = D3D9_CONSTANT_NOT_IN_FORCE;
        for (int lower = Set - 1; lower >= 0; --lower)
            if (M->SetEnabled[lower] && M->Used[Type][lower][reg]) {
                inForce = (unsigned char)lower;
                handed = true;
                break;
            }
    }
    if (handed) Graphics_D3D9_ShaderConstant_Upload(M, Type, First, nullptr, Count);
    return 0;
}

int Graphics_D3D9_ShaderConstant_Apply(ShaderConstantManagerData *M, int SetMask)
{
    if (D3D9CallLayer.Device == nullptr) return -1;
    if (SetMask == M->UsageMask) return 0;
    M->UsageMask = SetMask;
    for (int set = 0; set < D3D9_CONSTANT_SET_NUM; ++set) M->SetEnabled[set] = (SetMask >> set) & 1;
    for (int type = 0; type < D3D9_CONSTANT_TYPE_NUM; ++type) {
        unsigned char next[D3D9_CONSTANT_REGISTER_MAX];
        std::memset(next, D3D9_CONSTANT_NOT_IN_FORCE, sizeof next);
        for (int set = 0; set < D3D9_CONSTANT_SET_NUM; ++set) {
            if (!M->SetEnabled[set]) continue;
            const ShaderUsageSetRecord &r = RecordOf(M, type, set);
            for (int i = 0; i < r.RangeNum; ++i)
                std::memset(next + r.RangeStart[i], set, r.RangeEnd[i] - r.RangeStart[i]);
        }
        const int num = RegisterNums[type], size = ElementSizes[type];
        bool changed[D3D9_CONSTANT_REGISTER_MAX];
        for (int reg = 0; reg < num; ++reg)
            changed[reg] = next[reg] != D3D9_CONSTANT_NOT_IN_FORCE && next[reg] != M->InForce[type][reg];
        std::memcpy(M->InForce[type], next, sizeof next);
        for (int reg = 0; reg < num;) {
            if (!changed[reg]) {
                ++reg;
                continue;
            }
            int end = reg;
            while (end < num && changed[end]) ++end;
            unsigned char gathered[D3D9_CONSTANT_REGISTER_MAX * 16];
            Gather(M, type, reg, end - reg, gathered);
            Send(type, reg, gathered, end - reg);
            std::memcpy(M->Mirror[type].Values + reg * size, gathered, (end - reg) * size);
            reg = end;
        }
    }
    return 0;
}
