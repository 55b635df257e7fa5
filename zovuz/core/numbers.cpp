// Number wrappers (single-precision calls compute in double and round the result to float) and the
// 64/128-bit integer arithmetic of the clocks and sample-count conversions.
#include "zovuz/core/base_helpers.h"

#include <math.h>

#include <limits>

namespace {

// Out-of-range conversions of floating values are undefined in C++; these give the nearest
// representable value (0 for a NaN) instead.
template <typename Int>
Int TruncateSaturated(double Value, double Limit)
{
    if (Value != Value) return 0;
    if (Value >= Limit) return std::numeric_limits<Int>::max();
    if (Value < -Limit) return std::numeric_limits<Int>::min();
    return Int(Value);
}

}  // namespace

float AcosF(float X) { return float(acos(double(X))); }
double Atan2D(double Y, double X) { return atan2(Y, X); }
int64_t DoubleToInt64(double X) { return TruncateSaturated<int64_t>(X, 9223372036854775808.0); }
float ExpF(float X) { return float(exp(double(X))); }
double Log10D(double X) { return log10(X); }
float PowF(float X, float Y) { return float(pow(double(X), double(Y))); }
float SqrtF(float X) { return float(sqrt(double(X))); }
double SqrtD(double X) { return sqrt(X); }

void FloatToIntArray4(const float *In, int *Out)
{
    for (int i = 0; i < 4; i++) Out[i] = TruncateSaturated<int32_t>(double(In[i]), 2147483648.0);
}

void SinCosF(float Angle, float *Sin, float *Cos)
{
    *Sin = float(sin(double(Angle)));
    *Cos = float(cos(double(Angle)));
}

void SinCosD(double Angle, double *Sin, double *Cos)
{
    *Sin = sin(Angle);
    *Cos = cos(Angle);
}

// Four 32 x 32-bit partial products; the two middle ones are summed with the carry of the low
// one before they reach the upper half.
void UInt64MulTo128(const uint64_t *A, const uint64_t *B, UInt128 *Result)
{
    const uint64_t A0 = uint32_t(*A), A1 = *A >> 32;
    const uint64_t B0 = uint32_t(*B), B1 = *B >> 32;
    const uint64_t LowLow = A0 * B0;
    const uint64_t LowHigh = A0 * B1;
    const uint64_t HighLow = A1 * B0;
    const uint64_t HighHigh = A1 * B1;
    const uint64_t Middle = (LowLow >> 32) + uint32_t(LowHigh) + uint32_t(HighLow);
    Result->Low = uint32_t(LowLow) | (Middle << 32);
    Result->High = HighHigh + (LowHigh >> 32) + (HighLow >> 32) + (Middle >> 32);
}

// Binary long division. The upper half is divided first (its quotient lies above bit 63 and is
// cut off); its remainder then leads the division of the lower half bit by bit. A zero divisor
// gives 0: sample rates reach here from files.
void UInt128DivBy64(const UInt128 *Dividend, uint64_t Divisor, uint64_t *Quotient)
{
    if (Divisor == 0) {
        *Quotient = 0;
        return;
    }
    uint64_t Remainder = Dividend->High % Divisor;
    uint64_t Result = 0;
    for (int Bit = 63; Bit >= 0; Bit--) {
        const bool Carry = (Remainder >> 63) != 0;
        Remainder = Remainder << 1 | ((Dividend->Low >> Bit) & 1);
        if (Carry || Remainder >= Divisor) {
            Remainder -= Divisor;
            Result |= uint64_t(1) << Bit;
        }
    }
    *Quotient = Result;
}

uint64_t DivU64ByU32(const uint64_t *Dividend, uint32_t Divisor) { return Divisor == 0 ? 0 : *Dividend / Divisor; }
