vs_2_0
def c10, 0.5, 2, -1, 4
dcl_position v0
dcl_normal v1
dcl_texcoord0 v2
dp3 r0.x, v1, c6
max r0.x, r0.x, c10.x
min r0.y, r0.x, c10.y
sub r1, v0, c7
dp4 r1.w, r1, r1
rsq r1.w, r1.w
mad r2, v0, c10.yyxx, -c8
frc r3.xy, v2
exp r3.z, r0.y
log r3.w, r1.w
pow r4.x, r0.x, c10.w
lrp r5, r0.x, v0, c9
add r5.xyz, r5, r4.x
mov oPos, r5
mov oD0, r3
mov_sat oD1, r2.wzyx
mov oT0.xy, r1.zw
