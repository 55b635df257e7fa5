// Processor checks.
#pragma once

// 1 when the processor has MMX (CPUID present, leaf 1 reported, EDX bit 23), else 0.
int CheckMMX(void);
