cbuffer PixelBase : register(b1)
{
    float4 Factor;
    float4 Reference;
};

float4 main(float4 colour : COLOR0) : SV_Target
{
    float4 c = colour;
    if (c.w < Reference.y)
        c = Factor;
    return c;
}
