ps_2_0
// A dependent read: the first texel moves the second's coordinates.
dcl t0.xy
dcl_2d s0
dcl_2d s3
texld r0, t0, s0
mad r1.xy, r0, c1, t0
texld r2, r1, s3
cmp r2, r2.x, r2, -r2
mov oC0, r2
