ps_2_0
// Declarations given out of order: the stream holds them in its own order.
dcl_2d s2
def c3, 1, 0, 0, 1
dcl t1.xy
def c1, 0, 0, 1, 1
dcl v0
dcl_2d s0
texld r0, t1, s2
texld r1, t1, s0
mad r0, r0, c3, r1
mad r0, r0, v0, c1
mov oC0, r0
