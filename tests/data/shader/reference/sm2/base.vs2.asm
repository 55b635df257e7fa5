// The base archive's Base2DVertexShader.vso: pixels to clip space by c2-c5 over rhw.
vs_2_0
dcl_position v0
dcl_color v1
dcl_color1 v2
dcl_texcoord v3
dcl_texcoord1 v4
dcl_texcoord2 v5
dcl_texcoord3 v6
dcl_texcoord4 v7
dcl_texcoord5 v8
dcl_texcoord6 v9
dcl_texcoord7 v10
def c0, 0, 1, 0, 0
mov r0.xyz, v0
mov r0.w, c0.y
dp4 r1.x, r0, c2
dp4 r1.y, r0, c3
dp4 r1.z, r0, c4
dp4 r1.w, r0, c5
rcp r2.x, v0.w
mul oPos, r1, r2.x
mov oD0, v1
mov oD1, v2
mov oT0.xy, v3
mov oT1.xy, v4
mov oT2.xy, v5
mov oT3.xy, v6
mov oT4.xy, v7
mov oT5.xy, v8
mov oT6.xy, v9
mov oT7.xy, v10
