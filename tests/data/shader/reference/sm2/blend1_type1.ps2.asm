// The base archive's ps_blend1_type1_igcolor0_igtalpha0_ach0.pso: a cross-fade, then towards white by the alpha.
ps_2_0
dcl t0.xy
dcl t1.xy
dcl v0
dcl_2d s0
dcl_2d s1
def c0, 0, 0.5, 1, 2
def c1, 4, 0, 0, 0
texld r0, t0, s0
texld r1, t1, s1
lrp r2, c5.w, r1, r0
mov r0, r2
mul r0.xyz, r0, v0
mul r0.w, r0.w, v0.w
mov r1.xyz, c0.z
lrp r2.xyz, r0.w, r0, r1
mov r0.xyz, r2
mov oC0, r0
