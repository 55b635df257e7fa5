// The base archive's ps_nonetex_type3_ach0.pso: the diffuse colour x 4, clamped.
ps_2_0
dcl v0
def c0, 0, 0.5, 1, 2
def c1, 4, 0, 0, 0
mov r0, v0
mul_sat r0.xyz, r0, c1.x
mov oC0, r0
