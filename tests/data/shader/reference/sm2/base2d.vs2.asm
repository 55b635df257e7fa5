vs_2_0
// The base 2-D vertex shader's shape: pixels through the draw-area matrix, over rhw.
def c0, 0, 1, 0, 0
dcl_position v0
dcl_color v1
dcl_color1 v2
dcl_texcoord0 v3
dcl_texcoord1 v4
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
