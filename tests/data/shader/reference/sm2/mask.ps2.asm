ps_2_0
// The screen where the mask's alpha is 0: alpha 1 there, 0 elsewhere.
def c0, 0, 0.5, 1, 2
dcl t0.xy
dcl t1.xy
dcl_2d s0
dcl_2d s1
texld r0, t0, s0
texld r1, t1, s1
cmp r0.w, -r1.w, c0.z, c0.x
mov oC0, r0
