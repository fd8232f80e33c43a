#pragma once
// CpuFeatures: which optional instruction sets the byte loops may use.
//
// The program is built for the x86-64 baseline (SSE2); a loop with a faster form for a later
// instruction set asks here, once, whether the machine has it. Every such loop keeps its
// baseline form, which gives the same results; tests narrow the features to the baseline
// to check that form on machines that would never take it.

namespace korvel {

// Whether the loops may use AVX2 (which implies SSSE3 and SSE4.1 as well).
bool UseAvx2();

// Tests: `on` limits the loops to the baseline from now on (false gives back the machine's
// features). Objects that chose their loops before keep them.
void LimitToBaselineForTesting(bool on);

}  // namespace korvel
