ps_2_0
// Two textures cross-faded by c5.w, the colour towards white by the alpha.
def c0, 0, 0.5, 1, 2
dcl t0.xy
dcl t1.xy
dcl v0
dcl_2d s0
dcl_2d s1
texld r0, t0, s0
texld r1, t1, s1
lrp r2, c5.w, r1, r0
mul r2, r2, v0
sub r3.w, c0.z, r2.w
mad r2.xyz, r2, r2.w, r3.w
mov oC0, r2
