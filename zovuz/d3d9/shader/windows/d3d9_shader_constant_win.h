// The shader-constant manager: several independent users (the library itself, the graph filters)
// keep their shader constants in separate usage sets; the manager decides which set's value is in
// force for each register and sends the device only what changes.
#pragma once

#include "zovuz/d3d9/calls/windows/d3d9_calls.h"

// Constant types: vertex float, int, bool, then pixel float, int, bool.
#define D3D9_CONSTANT_TYPE_NUM 6
#define D3D9_CONSTANT_SET_NUM 4
#define D3D9_CONSTANT_REGISTER_MAX 256
#define D3D9_CONSTANT_NOT_IN_FORCE 255

enum D3D9ConstantType {
    D3D9_CONSTANT_VS_FLOAT,
    D3D9_CONSTANT_VS_INT,
    D3D9_CONSTANT_VS_BOOL,
    D3D9_CONSTANT_PS_FLOAT,
    D3D9_CONSTANT_PS_INT,
    D3D9_CONSTANT_PS_BOOL,
};

// The registers one set uses of one type, and their values.
struct ShaderUsageSetRecord
{
    unsigned short RangeStart[D3D9_CONSTANT_REGISTER_MAX];  // sorted, disjoint, half-open ranges
    unsigned short RangeEnd[D3D9_CONSTANT_REGISTER_MAX];
    int RangeNum;
    int RegisterNum;  // 256, 224 or 16
    int ElementSize;  // 16 or 4 bytes
    unsigned char Values[D3D9_CONSTANT_REGISTER_MAX * 16];
};

struct ShaderConstantManagerData
{
    int SetEnabled[D3D9_CONSTANT_SET_NUM];
    int UsageMask;
    ShaderUsageSetRecord Record[D3D9_CONSTANT_TYPE_NUM * D3D9_CONSTANT_SET_NUM];  // type x 4 + set
    unsigned char Used[D3D9_CONSTANT_TYPE_NUM][D3D9_CONSTANT_SET_NUM][D3D9_CONSTANT_REGISTER_MAX];
    ShaderUsageSetRecord Mirror[D3D9_CONSTANT_TYPE_NUM];                        // what the device was last sent
    unsigned char InForce[D3D9_CONSTANT_TYPE_NUM][D3D9_CONSTANT_REGISTER_MAX];  // set number or 255
};
extern ShaderConstantManagerData ShaderConstantManager;

// Register counts by type.
int Graphics_D3D9_ShaderConstant_RegisterNum(int Type);

int Graphics_D3D9_ShaderConstant_Initialize(ShaderConstantManagerData *Manager);
// Stores Count registers of Values in a set; sends them when the set is enabled. A range outside
// the type's registers: -1, nothing stored or sent.
int Graphics_D3D9_ShaderConstant_Set(ShaderConstantManagerData *Manager, int Type, int Set, int FirstRegister,
                                     const void *Values, int Count, int UpdateUsed);
// Forgets a range of a set; registers this set held go back to the highest lower enabled set
// that uses them. -1 for a range outside the type's registers.
int Graphics_D3D9_ShaderConstant_Reset(ShaderConstantManagerData *Manager, int Type, int Set, int FirstRegister,
                                       int Count);
// Enables set s exactly when bit s of SetMask is set and sends what the change put in force.
// 0, or -1 without a device.
int Graphics_D3D9_ShaderConstant_Apply(ShaderConstantManagerData *Manager, int SetMask);
// Sends a range (Values, or with null what is in force); -1 for a range outside the registers.
int Graphics_D3D9_ShaderConstant_Upload(ShaderConstantManagerData *Manager, int Type, int FirstRegister,
                                        const void *Values, int Count);
// Adds (AddFlag 1) or removes [First, First + Count) from a record's range list.
int Graphics_D3D9_ShaderConstant_UpdateUsedRange(ShaderUsageSetRecord *Record, int AddFlag, int FirstRegister,
                                                 int Count);
