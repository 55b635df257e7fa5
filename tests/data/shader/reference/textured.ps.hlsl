Texture2D Image : register(t0);
SamplerState ImageSampler : register(s0);

float4 main(float4 colour : COLOR0, float2 uv : TEXCOORD0) : SV_Target
{
    return Image.Sample(ImageSampler, uv) * colour;
}
