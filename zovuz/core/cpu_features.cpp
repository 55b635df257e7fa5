// Processor checks through CPUID.
#include "zovuz/core/cpu_features.h"

#include <cpuid.h>

int CheckMMX(void)
{
    // __get_cpuid_max first toggles the ID flag of EFLAGS on 32-bit builds: a processor without
    // CPUID reports a highest leaf of 0.
    if (__get_cpuid_max(0, nullptr) == 0) return 0;
    unsigned int Eax, Ebx, Ecx, Edx;
    if (!__get_cpuid(1, &Eax, &Ebx, &Ecx, &Edx)) return 0;
    return (Edx & (1u << 23)) != 0 ? 1 : 0;
}
