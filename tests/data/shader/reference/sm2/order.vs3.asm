vs_3_0
dcl_texcoord0 o1.xy
dcl_position v0
def c9, 1, 2, 3, 4
dcl_position o0
dcl_texcoord2 v1
mov o0, v0
mad o1.xy, v1, c9, c9.wzyx
