vs_3_0
dcl_position v0
dcl_texcoord0 v1
dcl_position o0
dcl_color o1
dcl_texcoord0 o2.xy
dp4 o0.x, v0, c0
dp4 o0.y, v0, c1
dp4 o0.z, v0, c2
dp4 o0.w, v0, c3
mov o1, c4
mov o2.xy, v1
