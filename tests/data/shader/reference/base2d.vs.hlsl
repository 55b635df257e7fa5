cbuffer VertexBase : register(b1)
{
    float4x4 DrawArea;
};

struct Output
{
    float4 position : SV_Position;
    float4 colour : COLOR0;
    float2 uv0 : TEXCOORD0;
    float2 uv1 : TEXCOORD1;
};

Output main(float4 position : POSITION, float4 colour : COLOR0, float2 uv0 : TEXCOORD0, float2 uv1 : TEXCOORD1)
{
    Output o;
    o.position = mul(float4(position.xyz, 1.0), DrawArea);
    o.colour = colour;
    o.uv0 = uv0;
    o.uv1 = uv1;
    return o;
}
