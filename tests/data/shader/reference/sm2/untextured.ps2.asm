ps_2_0
// Untextured: the vertex colour, times four, premultiplied by its alpha.
def c1, 4, 0, 0, 0
dcl v0
mul_sat r0.xyz, v0, c1.x
mul r0.xyz, r0, v0.w
mov r0.w, v0.w
mov oC0, r0
