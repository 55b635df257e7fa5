cbuffer VertexBase : register(b1)
{
    float4x4 DrawArea;
};

float4 main(float4 position : POSITION) : SV_Position
{
    return mul(position, DrawArea);
}
