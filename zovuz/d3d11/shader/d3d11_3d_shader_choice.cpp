// The choice of the 3-D shaders (the terms and the rules are in d3d11_3d_shader_choice.h).
#include "zovuz/d3d11/shader/d3d11_3d_shader_choice.h"

D3D11ThreeDShaderSettingsData D3D11ThreeDShaderSettings;

namespace {

// The terms every pair shares, checked against their ranges.
bool TermsInRange(const D3D11ThreeDDrawTerms &T)
{
    if (T.FogMode < 0 || T.FogMode >= D3D11_3D_FOG_MODE_NUM) return false;
    if (T.AlphaTest < 0 || T.AlphaTest > 1 || T.Blend < 0 || T.Blend >= D3D11_SHADER_CLASS_NUM) return false;
    for (int Type : T.LightTypes)
        if (Type < 0 || Type >= D3D11_3D_LIGHT_TYPE_NUM) return false;
    return true;
}

}  // namespace

int D3D11ChooseThreeDShaders(const D3D11ThreeDDrawTerms *Terms, const D3D11LightIndexTables *Tables,
                             const D3D11ShaderCode *Slots, D3D11ThreeDShaderChoice *Out)
{
    const D3D11ThreeDDrawTerms &t = *Terms;
    if (!TermsInRange(t)) return -1;
    const int shadow = t.ShadowFlag ? 1 : 0;

    if (t.ShadowMapDrawFlag) {
        Out->VertexSlot = D3D11ThreeDShaderSlot(D3D11_3D_GROUP_SHADOW_MAP_VERTEX, 0);
        Out->PixelSlot = D3D11ThreeDShaderSlot(D3D11_3D_GROUP_SHADOW_MAP_PIXEL, D3D11ShadowMapPixelIndex(t.AlphaTest));
        return 0;
    }
    if (!t.LightingFlag) {
        Out->VertexSlot = D3D11ThreeDShaderSlot(D3D11_3D_GROUP_UNLIT_VERTEX, D3D11UnlitVertexIndex(t.FogMode));
        Out->PixelSlot = D3D11ThreeDShaderSlot(D3D11_3D_GROUP_UNLIT_PIXEL, D3D11UnlitPixelIndex(t.AlphaTest, t.Blend));
        return 0;
    }

    const int *ty = t.LightTypes;
    const int light6 = Tables->Light6[ty[0]][ty[1]][ty[2]][ty[3]][ty[4]][ty[5]];
    const int light3 = Tables->Light3[ty[0]][ty[1]][ty[2]];
    const int light3b = Tables->Light3b[D3D11Light3bType(ty[0])][D3D11Light3bType(ty[1])][D3D11Light3bType(ty[2])];
    if (light6 == D3D11_LIGHT_INDEX_NONE || light3 == D3D11_LIGHT_INDEX_NONE || light3b == D3D11_LIGHT_INDEX_NONE)
        return -1;

    const int pixelVertex =
        D3D11ThreeDShaderSlot(D3D11_3D_GROUP_PIXEL_LIGHTING_VERTEX, D3D11PixelLightingVertexIndex(t.FogMode, shadow));
    const int pixelPixel = D3D11ThreeDShaderSlot(D3D11_3D_GROUP_PIXEL_LIGHTING_PIXEL,
                                                 D3D11PixelLightingPixelIndex(t.AlphaTest, t.Blend, light6, shadow));
    if ((t.EnabledLightNum > D3D11_3D_VERTEX_LIGHT_NUM || t.PixelLightingFlag) && Slots[pixelVertex].Size > 0 &&
        Slots[pixelPixel].Size > 0) {
        Out->VertexSlot = pixelVertex;
        Out->PixelSlot = pixelPixel;
        return 0;
    }
    Out->VertexSlot = D3D11ThreeDShaderSlot(D3D11_3D_GROUP_VERTEX_LIGHTING_VERTEX,
                                            D3D11VertexLightingVertexIndex(light3, t.FogMode, shadow));
    Out->PixelSlot = D3D11ThreeDShaderSlot(D3D11_3D_GROUP_VERTEX_LIGHTING_PIXEL,
                                           D3D11VertexLightingPixelIndex(t.AlphaTest, t.Blend, light3b, shadow));
    return 0;
}
