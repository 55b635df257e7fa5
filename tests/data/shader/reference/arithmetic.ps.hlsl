cbuffer PixelBase : register(b1)
{
    float4 Factor;
    float4 Reference;
};

float4 main(float4 colour : COLOR0, float3 normal : TEXCOORD0) : SV_Target
{
    float light = saturate(dot(normal, Reference.xyz));
    float4 c = colour * Factor + float4(light, light, light, 0.0);
    return max(min(c, 1.0), Reference.wwww) / 2.0;
}
