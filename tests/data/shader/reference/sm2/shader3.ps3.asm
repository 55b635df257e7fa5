ps_3_0
dcl_texcoord0 v0.xy
dcl_color v1
dcl_2d s0
texld r0, v0, s0
add r0, r0, -v1_abs
mul_sat r0, r0, c100
mov oC0, r0
