// The device-state cache's lighting, material, view and fog setters. Besides the fixed-function
// render states each keeps the shader constants the library's shaders read (usage set 0).
#include <cmath>
#include <cstring>

#include "zovuz/d3d9/state/windows/d3d9_device_state_win.h"
#include "zovuz/d3d9/shader/windows/d3d9_shader_constant_win.h"

namespace {

D3D9DeviceStateCacheData &Cache = D3D9DeviceStateCache;

bool HasDevice() { return D3D9CallLayer.Device != nullptr; }
bool Programmable() { return GraphicsDeviceCaps.ProgrammableShaderFlag != 0; }

// Register maps of the library's shaders.
enum : int {
    VsAmbient = 1,
    VsView = 6,
    VsFog = 10,
    VsMaterial = 11,
    VsLightBlock = 14,  // 7 registers per light, lights 0-3
    VsMaterialSource = 43,
    PsAmbient = 1,
    PsMaterial = 2,
    PsFogColor = 8,
    PsLightColor = 9,   // 3 registers per light, lights 0-3
    PsLightBlock = 32,  // 7 registers per light, lights 0-5
    VbFogMode = 0,      // 4 flags: linear, exp, exp2, any
    VbFogEnable = 3,
    VbLight = 4,  // 3 flags per light: enabled, point or spot, spot
};
const int LightBlockSize = 7, LightBlockShaderNum = 6, LightVertexShaderNum = 4;

void SetFloats(int Type, int Register, const float *Values, int Count)
{
    Graphics_D3D9_ShaderConstant_Set(&ShaderConstantManager, Type, 0, Register, Values, Count, 1);
}

void SetBool(int Register, int Flag)
{
    BOOL value = Flag ? TRUE : FALSE;
    Graphics_D3D9_ShaderConstant_Set(&ShaderConstantManager, D3D9_CONSTANT_VS_BOOL, 0, Register, &value, 1, 1);
}

DWORD FloatBits(float Value)
{
    DWORD bits;
    std::memcpy(&bits, &Value, sizeof bits);
    return bits;
}

void ColorToFloats(D3DCOLOR Color, float Out[4])
{
    Out[0] = ((Color >> 16) & 0xFF) / 255.0f;
    Out[1] = ((Color >> 8) & 0xFF) / 255.0f;
    Out[2] = (Color & 0xFF) / 255.0f;
    Out[3] = ((Color >> 24) & 0xFF) / 255.0f;
}

// A row vector (x, y, z, w) times the matrix.
void Transform(const D3DVECTOR &V, float W, const D3DMATRIX &M, float Out[4])
{
    for (int c = 0; c < 4; ++c) Out[c] = V.x * M.m[0][c] + V.y * M.m[1][c] + V.z * M.m[2][c] + W * M.m[3][c];
}

// The first two registers of a light's block: its view-space position and direction.
void LightPlacement(const D3DLIGHT9 &L, float Out[8])
{
    Transform(L.Position, 1.0f, Cache.View, Out);
    Out[3] = 1.0f;
    Transform(L.Direction, 0.0f, Cache.View, Out + 4);
    Out[7] = 0.0f;
}

void SendLightPlacement(int Index)
{
    float place[8];
    LightPlacement(Cache.Light[Index], place);
    SetFloats(D3D9_CONSTANT_PS_FLOAT, PsLightBlock + LightBlockSize * Index, place, 2);
    if (Index < LightVertexShaderNum)
        SetFloats(D3D9_CONSTANT_VS_FLOAT, VsLightBlock + LightBlockSize * Index, place, 2);
}

// Stores a render state that a device failure must not record: -1 then.
int SendRenderState(D3DRENDERSTATETYPE State, DWORD Value)
{
    return FAILED(Direct3DDevice9_SetRenderState(State, Value)) ? -1 : 0;
}

void FlushUnlessForced()
{
    if (!Cache.ForceFlag) Graphics_Hardware_RenderVertexBuffer(0);
}

// The common shape of the setters here: nothing when the cache holds Value (and nothing is forced);
// else the batch is drawn, the render state sent and the value stored. 1 when sent, 0 when not,
// -1 when the device refused it.
template <typename T>
int SendCached(T &Cached, T Value, D3DRENDERSTATETYPE State, DWORD DeviceValue)
{
    if (!Cache.ForceFlag && Cached == Value) return 0;
    FlushUnlessForced();
    if (SendRenderState(State, DeviceValue) < 0) return -1;
    Cached = Value;
    Cache.ChangedFlag = 1;
    return 1;
}

void SendMaterialSourceConstant()
{
    const float flags[4] = {Cache.DiffuseMaterialSource ? 1.0f : 0.0f, Cache.SpecularMaterialSource ? 1.0f : 0.0f, 0.0f,
                            0.0f};
    SetFloats(D3D9_CONSTANT_VS_FLOAT, VsMaterialSource, flags, 1);
}

int SetMaterialSource(int &Cached, int Flag, D3DRENDERSTATETYPE State, DWORD VertexSource)
{
    if (!HasDevice()) return 0;
    Flag = Flag ? 1 : 0;
    const int sent = SendCached(Cached, Flag, State, Flag ? VertexSource : (DWORD)D3DMCS_MATERIAL);
    if (sent > 0) SendMaterialSourceConstant();
    return sent < 0 ? -1 : 0;
}

void SendFogConstant()
{
    const float span = Cache.FogEnd - Cache.FogStart;
    const float values[4] = {span != 0.0f ? Cache.FogEnd / span : 0.0f, span != 0.0f ? -1.0f / span : 0.0f,
                             Cache.FogDensity, 2.71828f};
    SetFloats(D3D9_CONSTANT_VS_FLOAT, VsFog, values, 1);
}

}  // namespace

// ---- Lighting and material -------------------------------------------------------------------------

int Graphics_D3D9_DeviceState_SetLighting(int Flag)
{
    if (!HasDevice()) return 0;
    Flag = Flag ? 1 : 0;
    return SendCached(Cache.Lighting, Flag, D3DRS_LIGHTING, (DWORD)Flag) < 0 ? -1 : 0;
}

int Graphics_D3D9_DeviceState_SetDiffuseMaterialSource(int UseVertexColor)
{
    return SetMaterialSource(Cache.DiffuseMaterialSource, UseVertexColor, D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
}

int Graphics_D3D9_DeviceState_SetSpecularMaterialSource(int UseVertexColor)
{
    return SetMaterialSource(Cache.SpecularMaterialSource, UseVertexColor, D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2);
}

int Graphics_D3D9_DeviceState_SetAmbientLight(D3DCOLOR Color)
{
    if (!HasDevice()) return 0;
    FlushUnlessForced();
    if (SendRenderState(D3DRS_AMBIENT, Color) < 0) return -1;
    Cache.Ambient = Color;
    ColorToFloats(Color, Cache.AmbientF);
    Cache.ChangedFlag = 1;
    return Graphics_D3D9_DeviceState_UpdateLightColorConstants();
}

int Graphics_D3D9_DeviceState_UpdateLightColorConstants(void)
{
    const D3DMATERIAL9 &m = Cache.Material;
    for (int i = 0; i <= Cache.LightEnableMax && i < LightBlockShaderNum; ++i) {
        if (!Cache.LightEnable[i]) continue;
        const D3DCOLORVALUE &a = Cache.Light[i].Ambient;
        const float ambient[4] = {a.r * m.Ambient.r, a.g * m.Ambient.g, a.b * m.Ambient.b, a.a * m.Ambient.a};
        if (i < LightVertexShaderNum) {
            SetFloats(D3D9_CONSTANT_VS_FLOAT, VsLightBlock + LightBlockSize * i + 4, ambient, 1);
            SetFloats(D3D9_CONSTANT_PS_FLOAT, PsLightColor + 3 * i + 2, ambient, 1);
        }
        SetFloats(D3D9_CONSTANT_PS_FLOAT, PsLightBlock + LightBlockSize * i + 4, ambient, 1);
    }
    const float *g = Cache.AmbientF;
    const float global[4] = {g[0] * m.Ambient.r + m.Emissive.r, g[1] * m.Ambient.g + m.Emissive.g,
                             g[2] * m.Ambient.b + m.Emissive.b, g[3] * m.Ambient.a + m.Emissive.a};
    SetFloats(D3D9_CONSTANT_VS_FLOAT, VsAmbient, global, 1);
    SetFloats(D3D9_CONSTANT_PS_FLOAT, PsAmbient, global, 1);
    return 0;
}

int Graphics_D3D9_DeviceState_SetLightEnable(int Index, int Flag)
{
    if (!HasDevice()) return 0;
    FlushUnlessForced();
    if (FAILED(Direct3DDevice9_LightEnable((DWORD)Index, Flag ? TRUE : FALSE))) return -1;
    Cache.ChangedFlag = 1;
    if (Index < 0 || Index >= D3D9_LIGHT_NUM) return 0;
    Cache.LightEnable[Index] = Flag ? 1 : 0;
    int highest = -1;
    for (int i = 0; i < D3D9_LIGHT_NUM; ++i)
        if (Cache.LightEnable[i]) highest = i;
    Cache.LightEnableMax = highest;
    Graphics_D3D9_DeviceState_UpdateLightColorConstants();
    if (Programmable() && Index < LightVertexShaderNum) SetBool(VbLight + 3 * Index, Flag);
    return 0;
}

int Graphics_D3D9_DeviceState_SetLight(int Index, const D3DLIGHT9 *Light)
{
    if (!HasDevice()) return 0;
    if (Light == nullptr) return -1;
    FlushUnlessForced();
    if (FAILED(Direct3DDevice9_SetLight((DWORD)Index, Light))) return -1;
    Cache.ChangedFlag = 1;
    if (Index < 0 || Index >= D3D9_LIGHT_NUM) return 0;
    Cache.Light[Index] = *Light;
    if (Index >= LightBlockShaderNum) return 0;

    const D3DLIGHT9 &l = *Light;
    float block[LightBlockSize * 4];
    LightPlacement(l, block);
    std::memcpy(block + 8, &l.Diffuse, 16);
    std::memcpy(block + 12, &l.Specular, 16);
    std::memcpy(block + 16, &l.Ambient, 16);
    const float cosPhi = std::cos(l.Phi / 2.0f), cosSpan = std::cos(l.Theta / 2.0f) - cosPhi;
    const float rest[8] = {l.Range * l.Range, l.Falloff, l.Attenuation0, l.Attenuation1, l.Attenuation2, cosPhi,
                           // equal cones leave no span: a hard edge instead of a division by zero
                           cosSpan > 0.0f ? 1.0f / cosSpan : 1.0e6f, 0.0f};
    std::memcpy(block + 20, rest, sizeof rest);
    SetFloats(D3D9_CONSTANT_PS_FLOAT, PsLightBlock + LightBlockSize * Index, block, LightBlockSize);
    if (Index < LightVertexShaderNum) {
        SetFloats(D3D9_CONSTANT_VS_FLOAT, VsLightBlock + LightBlockSize * Index, block, LightBlockSize);
        SetFloats(D3D9_CONSTANT_PS_FLOAT, PsLightColor + 3 * Index, block + 8, 3);
    }
    Graphics_D3D9_DeviceState_UpdateLightColorConstants();
    if (Index < LightVertexShaderNum) {
        SetBool(VbLight + 3 * Index + 1, l.Type == D3DLIGHT_POINT || l.Type == D3DLIGHT_SPOT);
        SetBool(VbLight + 3 * Index + 2, l.Type == D3DLIGHT_SPOT);
    }
    return 0;
}

int Graphics_D3D9_DeviceState_SetMaterial(const D3DMATERIAL9 *Material)
{
    if (!HasDevice()) return 0;
    if (Material == nullptr) return -1;
    // Nothing in the front end sets a light setting yet: the material is combined with zeros.
    static const float lightSetting[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    if (!Cache.ForceFlag && std::memcmp(&Cache.Material, Material, sizeof *Material) == 0 &&
        std::memcmp(Cache.MaterialLightSetting, lightSetting, sizeof lightSetting) == 0)
        return 0;
    FlushUnlessForced();
    if (FAILED(Direct3DDevice9_SetMaterial(Material))) return -1;
    Cache.Material = *Material;
    std::memcpy(Cache.MaterialLightSetting, lightSetting, sizeof lightSetting);
    Cache.ChangedFlag = 1;
    float values[12];
    std::memcpy(values, &Material->Diffuse, 16);
    std::memcpy(values + 4, &Material->Specular, 16);
    values[8] = Material->Power;
    std::memcpy(values + 9, lightSetting, 12);
    SetFloats(D3D9_CONSTANT_VS_FLOAT, VsMaterial, values, 3);
    SetFloats(D3D9_CONSTANT_PS_FLOAT, PsMaterial, values, 3);
    return Graphics_D3D9_DeviceState_UpdateLightColorConstants();
}

int Graphics_D3D9_DeviceState_SetViewMatrix(const D3DMATRIX *Matrix)
{
    if (!HasDevice() || Matrix == nullptr) return -1;
    FlushUnlessForced();
    Direct3DDevice9_SetTransform(D3DTS_VIEW, Matrix);
    Cache.View = *Matrix;
    float transposed[16];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) transposed[r * 4 + c] = Matrix->m[c][r];
    SetFloats(D3D9_CONSTANT_VS_FLOAT, VsView, transposed, 4);
    for (int i = 0; i < LightBlockShaderNum; ++i) SendLightPlacement(i);
    Cache.ChangedFlag = 1;
    return 0;
}

// ---- Fog ---------------------------------------------------------------------------------------------

int Graphics_D3D9_DeviceState_SetFogEnable(int Flag)
{
    if (!HasDevice()) return 0;
    Flag = Flag ? 1 : 0;
    const int sent = SendCached(Cache.FogEnable, Flag, D3DRS_FOGENABLE, (DWORD)Flag);
    if (sent > 0) SetBool(VbFogEnable, Flag);
    return sent < 0 ? -1 : 0;
}

int Graphics_D3D9_DeviceState_SetFogMode(int Mode)
{
    if (!HasDevice()) return 0;
    const int sent = SendCached(Cache.FogMode, Mode, D3DRS_FOGVERTEXMODE, (DWORD)Mode);
    if (sent <= 0) return sent;
    if (Programmable()) {
        const BOOL flags[4] = {Mode == D3DFOG_LINEAR, Mode == D3DFOG_EXP, Mode == D3DFOG_EXP2, Mode != D3DFOG_NONE};
        Graphics_D3D9_ShaderConstant_Set(&ShaderConstantManager, D3D9_CONSTANT_VS_BOOL, 0, VbFogMode, flags, 4, 1);
    }
    return 0;
}

int Graphics_D3D9_DeviceState_SetFogColor(D3DCOLOR Color)
{
    if (!HasDevice()) return 0;
    const int sent = SendCached(Cache.FogColor, Color, D3DRS_FOGCOLOR, Color);
    if (sent <= 0) return sent;
    float color[4];
    ColorToFloats(Color, color);
    color[3] = 1.0f;
    SetFloats(D3D9_CONSTANT_PS_FLOAT, PsFogColor, color, 1);
    return 0;
}

int Graphics_D3D9_DeviceState_SetFogStartEnd(float Start, float End)
{
    if (!HasDevice()) return 0;
    const bool start = Cache.ForceFlag || Cache.FogStart != Start, end = Cache.ForceFlag || Cache.FogEnd != End;
    if (!start && !end) return 0;
    FlushUnlessForced();
    if (start && SendRenderState(D3DRS_FOGSTART, FloatBits(Start)) < 0) return -1;
    if (end && SendRenderState(D3DRS_FOGEND, FloatBits(End)) < 0) return -1;
    Cache.FogStart = Start;
    Cache.FogEnd = End;
    Cache.ChangedFlag = 1;
    SendFogConstant();
    return 0;
}

int Graphics_D3D9_DeviceState_SetFogDensity(float Density)
{
    if (!HasDevice()) return 0;
    const int sent = SendCached(Cache.FogDensity, Density, D3DRS_FOGDENSITY, FloatBits(Density));
    if (sent > 0) SendFogConstant();
    return sent < 0 ? -1 : 0;
}
