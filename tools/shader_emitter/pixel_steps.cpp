#include "pixel_steps.h"

#include "alpha_compare.h"
#include "zovuz/d3d11/shader/d3d11_standard_shaders.h"

namespace dxbc {

void AlphaTestStep(ShaderBuilder &B, const Reg &PixelBase, const Reg &Alpha, int S)
{
    const Reg Reference = PixelBase[D3D11_PIXEL_BASE_ALPHA_REFERENCE / 16]("y");
    const Reg Comparison = PixelBase[D3D11_PIXEL_BASE_ALPHA_COMPARISON / 16]("x");
    static_assert(D3D11_PIXEL_BASE_ALPHA_REFERENCE % 16 == 4 && D3D11_PIXEL_BASE_ALPHA_COMPARISON % 16 == 0,
                  "the components read above");
    B.Mul(R(3)("x"), Alpha, Imm(255.0f));
    B.Mul(R(3)("y"), Reference, Imm(255.0f));
    B.RoundNe(R(3)("xy"), R(3)("xy"));
    const Reg A = R(3)("x"), Ref = R(3)("y");
    if (S == 0) {
        B.Ge(R(3)("z"), Ref, A);
        B.Discard(When::NonZero, R(3)("z"));
        return;
    }
    DiscardUnlessCompares(B, A, Ref, Comparison, 4);
}

void ShaderClassStep(ShaderBuilder &B, const Reg &C, const Reg &VertexAlpha, int Class)
{
    const Reg Rgb = C("xyz"), A = C("w");
    switch (Class) {
        case 1:
            B.Add(R(3)("z"), -A, Imm(1.0f));
            B.Mad(Rgb, Rgb, A, R(3)("z"));
            break;
        case 2: B.Add(Rgb, -Rgb, Imm(1.0f)); break;
        case 3: B.Mul(Rgb, Rgb, Imm(4.0f)); break;
        case 4: B.Mul(Rgb, Rgb, VertexAlpha); break;
        case 5:
            B.Mul(Rgb, Rgb, VertexAlpha);
            B.Add(Rgb, -Rgb, A);
            break;
        case 6:
            B.Mul(Rgb, Rgb, VertexAlpha);
            B.Mul(Rgb, Rgb, Imm(4.0f));
            break;
        default: break;
    }
}

}  // namespace dxbc
