float4 main(float4 colour : COLOR0) : SV_Target
{
    return colour;
}
