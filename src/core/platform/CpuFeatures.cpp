#include "platform/CpuFeatures.h"

#include <atomic>

namespace korvel {
namespace {

bool MachineHasAvx2() {
#if defined(__x86_64__) || defined(__i386__)
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

std::atomic<bool> limitedToBaseline{false};

}  // namespace

bool UseAvx2() {
  static const bool machine = MachineHasAvx2();
  return machine && !limitedToBaseline.load(std::memory_order_relaxed);
}

void LimitToBaselineForTesting(bool on) { limitedToBaseline.store(on, std::memory_order_relaxed); }

}  // namespace korvel
