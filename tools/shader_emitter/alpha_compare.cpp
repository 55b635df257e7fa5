#include "alpha_compare.h"

namespace dxbc {

void DiscardUnlessCompares(ShaderBuilder &B, const Reg &A, const Reg &Reference, const Reg &Comparison, uint32_t First)
{
    const Reg Small = R(First), Small2 = R(First + 1), Large = R(First + 2), Large2 = R(First + 3);
    // Comparisons 2-5: each lane the comparison's number test and its result.
    B.IEq(Small, Comparison, ImmInt(2, 3, 4, 5));
    B.Lt(Small2("x"), A, Reference);
    B.Eq(Small2("y"), A, Reference);
    B.Ge(Small2("z"), Reference, A);
    B.Lt(Small2("w"), Reference, A);
    B.And(Small, Small, Small2);
    // Comparisons 6-8.
    B.IEq(Large("xyz"), Comparison, ImmInt(6, 7, 8, 0));
    B.Ne(Large2("x"), A, Reference);
    B.Ge(Large2("y"), A, Reference);
    B.Mov(Large2("z"), ImmInt(-1));
    B.And(Large("xyz"), Large("xyz"), Large2("xyz"));
    B.Or(Small("xyz"), Small("xyz"), Large("xyz"));
    B.Or(Small("xy"), Small("xy"), Small("zw"));
    B.Or(Small("x"), Small("x"), Small("y"));
    B.Discard(When::Zero, Small("x"));
}

}  // namespace dxbc
