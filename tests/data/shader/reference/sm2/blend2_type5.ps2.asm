// The base archive's ps_blend2_type5_igcolor1_igtalpha1_ach1.pso: a wipe, the factor's colour inverted and x the vertex alpha.
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
add_sat r1.w, r1.w, c5.w
mul_sat r1.w, r1.w, c5.z
mov r0.w, r1.w
mov r0.xyz, c0.z
sub r0.xyz, c0.z, r0
mul r0.xyz, r0, v0
mul r0.w, r0.w, v0.w
mul r0.xyz, r0, v0.w
mov oC0, r0
