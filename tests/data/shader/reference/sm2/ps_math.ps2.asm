ps_2_0
def c2, 0.25, 3, -2, 1
dcl v0
dcl v1.xyz
rcp r0.x, v0.x
rsq r0.y, v0.y
exp r0.z, v0.z
log r0.w, v0.w
pow r1.x, r0.x, c2.y
frc r1.yz, r0
min r1.w, r0.w, c2.w
max r2, r0, -c2.x
dp3 r3.x, v1, c3
dp4 r3.y, r2, c4
add_sat r3.zw, r1, -r2
mad r3.xy, r3, c2.z, r1
mov oC0, r3
