#include "standard_set.h"

#include <functional>

#include "pixel_steps.h"
#include "sm4_builder.h"
#include "zovuz/d3d11/shader/d3d11_standard_shaders.h"

namespace dxbc {

namespace {

// Constant-buffer vectors of the offsets the back end writes.
constexpr uint32_t Vector(int ByteOffset) { return uint32_t(ByteOffset / 16); }
const char *const Lane[4] = {"x", "y", "z", "w"};
const char *Component(int ByteOffset) { return Lane[(ByteOffset % 16) / 4]; }

const uint32_t CommonVectors = Vector(D3D11_COMMON_MATERIAL_SPECULAR) + 1;
const uint32_t VertexBaseVectors = 16;
const uint32_t VertexOtherVectors = Vector(D3D11_VERTEX_OTHER_TEXTURE_MATRIX) + 2;
const uint32_t PixelBaseVectors = 4;

// What a vertex format carries beyond its position and diffuse colour.
struct FormatShape {
    bool ThreeD;
    int TexCoords;   // 0, 1 or 2
    bool Specular;   // a COLOR1 input (only the 3-D formats output it)
    bool Normal;     // a NORMAL input, unused: VERTEX3D's input layout is made against this shader and
                     // the 3-D pack's vertex shaders draw with it, so both declare the same inputs
};
const FormatShape Formats[D3D11_VERTEX_FORMAT_NUM] = {
    {false, 0, false, false}, {false, 1, false, false}, {false, 2, true, false}, {true, 0, false, false},
    {true, 1, false, false},  {true, 2, true, true},    {true, 2, true, false},
};

// Outputs of every vertex shader, in the contract's order: SV_Position, COLOR0, TEXCOORD0,
// TEXCOORD1, COLOR1, as far as present.
struct VertexOutputs {
    Reg Position, Diffuse, Uv0, Uv1, Specular;
};

void Base2DVertex(ShaderBuilder &B, const FormatShape &Shape)
{
    const Reg Position = B.Input("POSITION", 0);
    const Reg Colour = B.Input("COLOR", 0);
    const Reg Uv0 = Shape.TexCoords >= 1 ? B.Input("TEXCOORD", 0, "xy") : Reg();
    const Reg Uv1 = Shape.TexCoords == 2 ? B.Input("TEXCOORD", 1, "xy") : Reg();
    const Reg Base = B.ConstantBuffer(D3D11_CB_VERTEX_BASE, VertexBaseVectors);
    const Reg Out = B.OutputSystemValue("SV_Position", SystemValue::Position);
    const Reg OutColour = B.Output("COLOR", 0);
    const Reg OutUv0 = Shape.TexCoords >= 1 ? B.Output("TEXCOORD", 0, "xy") : Reg();
    const Reg OutUv1 = Shape.TexCoords == 2 ? B.Output("TEXCOORD", 1, "xy") : Reg();
    const uint32_t Matrix = Vector(D3D11_VERTEX_BASE_DRAW_AREA_MATRIX);

    // clip = matrix x (x, y, z, 1), then the whole vector over rhw: w = 1 / rhw.
    B.Mov(R(0)("xyz"), Position("xyz"));
    B.Mov(R(0)("w"), Imm(1.0f));
    for (int i = 0; i < 4; ++i) B.Dp4(R(1)(Lane[i]), R(0), Base[Matrix + i]);
    B.Div(R(2)("x"), Imm(1.0f), Position("w"));
    B.Mul(Out, R(1), R(2)("x"));
    B.Mov(OutColour, Colour);
    if (Shape.TexCoords >= 1) B.Mov(OutUv0, Uv0);
    if (Shape.TexCoords == 2) B.Mov(OutUv1, Uv1);
    B.Ret();
}

void Base3DVertex(ShaderBuilder &B, const FormatShape &Shape)
{
    const Reg Position = B.Input("POSITION", 0, "xyz");
    if (Shape.Normal) B.Input("NORMAL", 0, "xyz");
    const Reg Colour = B.Input("COLOR", 0);
    const Reg Specular = Shape.Specular ? B.Input("COLOR", 1) : Reg();
    const Reg Uv0 = Shape.TexCoords >= 1 ? B.Input("TEXCOORD", 0, "xy") : Reg();
    const Reg Uv1 = Shape.TexCoords == 2 ? B.Input("TEXCOORD", 1, "xy") : Reg();
    const Reg Common = B.ConstantBuffer(D3D11_CB_COMMON, CommonVectors);
    const Reg Base = B.ConstantBuffer(D3D11_CB_VERTEX_BASE, VertexBaseVectors);
    const Reg Other = Shape.TexCoords >= 1 ? B.ConstantBuffer(D3D11_CB_VERTEX_OTHER, VertexOtherVectors) : Reg();
    const Reg Out = B.OutputSystemValue("SV_Position", SystemValue::Position);
    const Reg OutColour = B.Output("COLOR", 0);
    const Reg OutUv0 = Shape.TexCoords >= 1 ? B.Output("TEXCOORD", 0, "xy") : Reg();
    const Reg OutUv1 = Shape.TexCoords == 2 ? B.Output("TEXCOORD", 1, "xy") : Reg();
    const Reg OutSpecular = Shape.Specular ? B.Output("COLOR", 1) : Reg();

    const Reg Switch0 = Base[Vector(D3D11_VERTEX_BASE_SWITCH0)](Component(D3D11_VERTEX_BASE_SWITCH0));
    const Reg Switch1 = Base[Vector(D3D11_VERTEX_BASE_SWITCH1)](Component(D3D11_VERTEX_BASE_SWITCH1));
    const Reg Switch2 = Base[Vector(D3D11_VERTEX_BASE_SWITCH2)](Component(D3D11_VERTEX_BASE_SWITCH2));
    const Reg MaterialDiffuse = Common[Vector(D3D11_COMMON_MATERIAL_DIFFUSE)];
    const Reg MaterialSpecular = Common[Vector(D3D11_COMMON_MATERIAL_SPECULAR)];

    // World, view (three rows each), then projection (four rows).
    B.Mov(R(0)("xyz"), Position);
    B.Mov(R(0)("w"), Imm(1.0f));
    for (int i = 0; i < 3; ++i) B.Dp4(R(1)(Lane[i]), R(0), Base[Vector(D3D11_VERTEX_BASE_WORLD_MATRIX) + i]);
    B.Mov(R(1)("w"), Imm(1.0f));
    for (int i = 0; i < 3; ++i) B.Dp4(R(2)(Lane[i]), R(1), Base[Vector(D3D11_VERTEX_BASE_VIEW_MATRIX) + i]);
    B.Mov(R(2)("w"), Imm(1.0f));
    for (int i = 0; i < 4; ++i) B.Dp4(Out(Lane[i]), R(2), Base[Vector(D3D11_VERTEX_BASE_PROJECTION_MATRIX) + i]);

    // Diffuse: the vertex colour at switch 1 = 1.0, the material's at 0.0.
    B.Add(R(3), Colour, -MaterialDiffuse);
    B.Mad(OutColour, R(3), Switch1, MaterialDiffuse);
    if (Shape.TexCoords >= 1) {
        const uint32_t Matrix = Vector(D3D11_VERTEX_OTHER_TEXTURE_MATRIX);
        B.Mov(R(4)("xy"), Uv0);
        B.Mov(R(4)("zw"), Imm(0.0f, 0.0f, 1.0f, 0.0f));
        B.Dp4(OutUv0("x"), R(4), Other[Matrix]);
        B.Dp4(OutUv0("y"), R(4), Other[Matrix + 1]);
    }
    if (Shape.TexCoords == 2) B.Mov(OutUv1, Uv1);
    if (Shape.Specular) {
        // The vertex's or the material's specular (switch 2), kept only at switch 0 = 1.0.
        B.Add(R(5), Specular, -MaterialSpecular);
        B.Mad(R(5), R(5), Switch2, MaterialSpecular);
        B.Mul(OutSpecular, R(5), Switch0);
    }
    B.Ret();
}

void TransferVertex(ShaderBuilder &B, int TexCoords)
{
    const Reg Position = B.Input("POSITION", 0, "xy");
    std::vector<Reg> In, Out;
    for (int i = 0; i < TexCoords; ++i) In.push_back(B.Input("TEXCOORD", uint32_t(i), "xy"));
    const Reg OutPosition = B.OutputSystemValue("SV_Position", SystemValue::Position);
    for (int i = 0; i < TexCoords; ++i) Out.push_back(B.Output("TEXCOORD", uint32_t(i), "xy"));
    B.Mov(OutPosition("xy"), Position);
    B.Mov(OutPosition("zw"), Imm(0.0f, 0.0f, 0.0f, 1.0f));
    for (int i = 0; i < TexCoords; ++i) B.Mov(Out[size_t(i)], In[size_t(i)]);
    B.Ret();
}

// One shader of the fixed-function tables. Table -1 is the untextured group.
struct PixelVariant {
    int Table, S, Opaque, G, Class;
};

void FixedFunctionPixel(ShaderBuilder &B, const PixelVariant &V)
{
    const bool Textured = V.Table >= 0, Blend = V.Table > D3D11_TEXTURED_TABLE_PLAIN;
    B.InputSystemValue("SV_Position", SystemValue::Position);
    const Reg Colour = B.Input("COLOR", 0);
    const Reg Uv0 = Textured ? B.Input("TEXCOORD", 0, "xy") : Reg();
    const Reg Uv1 = Blend ? B.Input("TEXCOORD", 1, "xy") : Reg();
    const Reg Pixel = B.ConstantBuffer(D3D11_CB_PIXEL_BASE, PixelBaseVectors);
    const Reg Image = Textured ? B.Texture2D(D3D11_TEXTURE_IMAGE) : Reg();
    const Reg ImageSampler = Textured ? B.Sampler(D3D11_TEXTURE_IMAGE) : Reg();
    const Reg BlendImage = Blend ? B.Texture2D(D3D11_TEXTURE_BLEND) : Reg();
    const Reg BlendSampler = Blend ? B.Sampler(D3D11_TEXTURE_BLEND) : Reg();
    const Reg Target = B.Output("SV_Target", 0);
    const Reg Factor = Pixel[Vector(D3D11_PIXEL_BASE_FACTOR_COLOR)];
    const Reg C = R(0), Texel = R(0), Second = R(1);

    if (!Textured) {
        B.Mov(C, Colour);
    } else {
        B.Sample(Texel, Uv0, Image, ImageSampler);
        if (V.Opaque && V.Table != D3D11_TEXTURED_TABLE_BLEND0) B.Mov(Texel("w"), Imm(1.0f));
        if (Blend) B.Sample(Second, Uv1, BlendImage, BlendSampler);
        if (V.Table == D3D11_TEXTURED_TABLE_BLEND0) {
            B.Add(R(2), Second, -Texel);
            B.Mad(Texel, R(2), Factor("w"), Texel);
            if (V.Opaque) B.Mov(Texel("w"), Imm(1.0f));
        }
        if (V.Table == D3D11_TEXTURED_TABLE_BLEND2) B.Mul(Texel, Texel, Second);
        if (V.G) B.Max(Texel("xyz"), Texel("xyz"), Pixel[Vector(D3D11_PIXEL_BASE_SWITCH48)]("xyz"));
        B.Mul(C, Texel, Colour);
        if (V.Table == D3D11_TEXTURED_TABLE_BLEND1) {
            B.Dp3(R(2)("x"), Second("xyz"), Factor("xyz"));
            B.Add(Sat(R(2)("x")), R(2)("x"), Factor("w"));
            B.Mul(C("w"), C("w"), R(2)("x"));
        }
    }
    AlphaTestStep(B, Pixel, C("w"), V.S);
    ShaderClassStep(B, C, Colour("w"), V.Class);
    B.Mov(Target, C);
    B.Ret();
}

// Mask shaders: the mask screen where the mask byte (channel Channel of the mask image) is 0,
// or, Inverse, where it is not.
void MaskPixel(ShaderBuilder &B, int Channel, bool Inverse)
{
    B.InputSystemValue("SV_Position", SystemValue::Position);
    const Reg ScreenUv = B.Input("TEXCOORD", 0, "xy");
    const Reg MaskUv = B.Input("TEXCOORD", 1, "xy");
    const Reg Screen = B.Texture2D(D3D11_TEXTURE_IMAGE);
    const Reg ScreenSampler = B.Sampler(D3D11_TEXTURE_IMAGE);
    const Reg Mask = B.Texture2D(D3D11_TEXTURE_BLEND);
    const Reg MaskSampler = B.Sampler(D3D11_TEXTURE_BLEND);
    const Reg Target = B.Output("SV_Target", 0);

    B.Sample(R(0), MaskUv, Mask, MaskSampler);
    if (Inverse) B.Eq(R(1)("x"), R(0)(Lane[Channel]), Imm(0.0f));
    else B.Ne(R(1)("x"), R(0)(Lane[Channel]), Imm(0.0f));
    B.Discard(When::NonZero, R(1)("x"));
    B.Sample(R(2), ScreenUv, Screen, ScreenSampler);
    B.Mov(Target, R(2));
    B.Ret();
}

void TransferPixel(ShaderBuilder &B)
{
    B.InputSystemValue("SV_Position", SystemValue::Position);
    const Reg Uv = B.Input("TEXCOORD", 0, "xy");
    const Reg Source = B.Texture2D(D3D11_TEXTURE_IMAGE);
    const Reg SourceSampler = B.Sampler(D3D11_TEXTURE_IMAGE);
    const Reg Target = B.Output("SV_Target", 0);
    B.Sample(R(0), Uv, Source, SourceSampler);
    B.Mov(Target, R(0));
    B.Ret();
}

const char *const FormatNames[D3D11_VERTEX_FORMAT_NUM] = {"VERTEX_NOTEX_2D", "VERTEX2D",  "VERTEX_BLENDTEX_2D",
                                                          "VERTEX_NOTEX_3D", "VERTEX_3D", "VERTEX3D",
                                                          "VERTEX3DSHADER"};
const char *const TableNames[D3D11_TEXTURED_TABLE_NUM] = {"textured", "blend0", "blend1", "blend2"};

std::string VariantName(const PixelVariant &V)
{
    std::string Name = V.Table < 0 ? "untextured" : TableNames[V.Table];
    Name += "_s" + std::to_string(V.S);
    if (V.Table >= 0) Name += "_opaque" + std::to_string(V.Opaque) + "_g" + std::to_string(V.G);
    return Name + "_class" + std::to_string(V.Class) + ".pso";
}

struct Made {
    std::vector<SignatureElement> Inputs, Outputs;
};

}  // namespace

bool BuildStandardSet(std::vector<NamedShader> &Out, std::string *Error)
{
    Out.clear();
    std::vector<Made> Signatures;
    auto Make = [&](const std::string &Name, Stage Kind, const std::function<void(ShaderBuilder &)> &Body) {
        ShaderBuilder B(Kind);
        Body(B);
        Bytes Code = B.Finish();
        if (Code.empty()) {
            if (Error) *Error = Name + ": " + B.Error();
            return false;
        }
        Out.push_back({Name, std::move(Code)});
        Signatures.push_back({B.InputSignature(), B.OutputSignature()});
        return true;
    };

    for (int F = 0; F < D3D11_VERTEX_FORMAT_NUM; ++F) {
        const FormatShape &Shape = Formats[F];
        if (!Make(std::string("Base_") + FormatNames[F] + ".vso", Stage::Vertex, [&](ShaderBuilder &B) {
                if (Shape.ThreeD) Base3DVertex(B, Shape);
                else Base2DVertex(B, Shape);
            }))
            return false;
    }
    for (int Class = 0; Class < D3D11_SHADER_CLASS_NUM; ++Class)
        for (int S = 0; S < 2; ++S) {
            const PixelVariant V = {-1, S, 0, 0, Class};
            if (!Make(VariantName(V), Stage::Pixel, [&](ShaderBuilder &B) { FixedFunctionPixel(B, V); })) return false;
        }
    for (int Table = 0; Table < D3D11_TEXTURED_TABLE_NUM; ++Table)
        for (int Class = 0; Class < D3D11_SHADER_CLASS_NUM; ++Class)
            for (int G = 0; G < 2; ++G)
                for (int Opaque = 0; Opaque < 2; ++Opaque)
                    for (int S = 0; S < 2; ++S) {
                        const PixelVariant V = {Table, S, Opaque, G, Class};
                        if (!Make(VariantName(V), Stage::Pixel, [&](ShaderBuilder &B) { FixedFunctionPixel(B, V); }))
                            return false;
                    }
    for (bool Inverse : {false, true})
        if (!Make(Inverse ? "mask_inverse.pso" : "mask.pso", Stage::Pixel, [&](ShaderBuilder &B) { MaskPixel(B, 3, Inverse); }))
            return false;
    for (bool Inverse : {false, true})
        for (int Channel = 0; Channel < D3D11_MASK_CHANNEL_NUM; ++Channel)
            if (!Make(std::string(Inverse ? "mask_inverse_" : "mask_") + Lane[Channel] + ".pso", Stage::Pixel,
                      [&](ShaderBuilder &B) { MaskPixel(B, Channel, Inverse); }))
                return false;
    if (!Make("transfer.vso", Stage::Vertex, [](ShaderBuilder &B) { TransferVertex(B, 2); }) ||
        !Make("transfer8.vso", Stage::Vertex, [](ShaderBuilder &B) { TransferVertex(B, 8); }) ||
        !Make("transfer.pso", Stage::Pixel, TransferPixel))
        return false;
    if (Out.size() != size_t(D3D11_BASE_PACK_SLOTS)) {
        if (Error) *Error = "the set has " + std::to_string(Out.size()) + " shaders for the base pack's slots";
        return false;
    }

    // Every pixel shader after each vertex shader it is drawn with.
    auto Link = [&](int VertexSlot, int PixelSlot) {
        std::string Why;
        if (CheckLinkage(Signatures[size_t(VertexSlot)].Outputs, Signatures[size_t(PixelSlot)].Inputs, &Why)) return true;
        if (Error) *Error = Out[size_t(PixelSlot)].FileName + " after " + Out[size_t(VertexSlot)].FileName + ": " + Why;
        return false;
    };
    for (int Group = D3D11_GROUP_UNTEXTURED_PIXEL; Group < D3D11_BASE_SHADER_GROUP_NUM; ++Group) {
        const D3D11BaseShaderGroupInfo &Info = D3D11BaseShaderGroups[Group];
        if (Info.VertexFlag) continue;
        for (int Slot = Info.FirstSlot; Slot < Info.FirstSlot + Info.Count; ++Slot) {
            std::vector<int> Vertex;
            if (Group == D3D11_GROUP_UNTEXTURED_PIXEL) {
                for (int F = 0; F < D3D11_VERTEX_FORMAT_NUM; ++F) Vertex.push_back(F);
            } else if (Group == D3D11_GROUP_TEXTURED_PIXEL) {
                const bool Blend = Slot >= D3D11TexturedShaderSlot(D3D11_TEXTURED_TABLE_BLEND0, 0, 0, 0, 0);
                for (int F = 0; F < D3D11_VERTEX_FORMAT_NUM; ++F)
                    if (Formats[F].TexCoords >= (Blend ? 2 : 1)) Vertex.push_back(F);
            } else {
                Vertex = {D3D11BaseShaderGroups[D3D11_GROUP_TRANSFER_VERTEX].FirstSlot,
                          D3D11BaseShaderGroups[D3D11_GROUP_TRANSFER8_VERTEX].FirstSlot};
            }
            for (int VertexSlot : Vertex)
                if (!Link(VertexSlot, Slot)) return false;
        }
    }
    return true;
}

}  // namespace dxbc
