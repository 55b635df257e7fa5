// The base archive's ps_mask_blend_use_grhandle_chr_reverse.pso: alpha 1 where the mask's red is not 0.
ps_2_0
dcl t0.xy
dcl t1.xy
dcl_2d s0
dcl_2d s1
def c0, 0, 0.5, 1, 2
def c1, 4, 0, 0, 0
texld r0, t0, s0
texld r1, t1, s1
cmp r0.w, -r1.x, c0.x, c0.z
mov oC0, r0
