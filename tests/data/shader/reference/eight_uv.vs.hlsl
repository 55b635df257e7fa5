struct Output
{
    float4 position : SV_Position;
    float2 uv0 : TEXCOORD0;
    float2 uv1 : TEXCOORD1;
    float2 uv2 : TEXCOORD2;
    float2 uv3 : TEXCOORD3;
    float2 uv4 : TEXCOORD4;
    float2 uv5 : TEXCOORD5;
    float2 uv6 : TEXCOORD6;
    float2 uv7 : TEXCOORD7;
};

Output main(float2 position : POSITION, float2 uv0 : TEXCOORD0, float2 uv1 : TEXCOORD1, float2 uv2 : TEXCOORD2,
            float2 uv3 : TEXCOORD3, float2 uv4 : TEXCOORD4, float2 uv5 : TEXCOORD5, float2 uv6 : TEXCOORD6,
            float2 uv7 : TEXCOORD7)
{
    Output o;
    o.position = float4(position, 0.0, 1.0);
    o.uv0 = uv0;
    o.uv1 = uv1;
    o.uv2 = uv2;
    o.uv3 = uv3;
    o.uv4 = uv4;
    o.uv5 = uv5;
    o.uv6 = uv6;
    o.uv7 = uv7;
    return o;
}
