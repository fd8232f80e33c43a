#include "platform/Progress.h"

namespace korvel {
namespace {

class NoProgress final : public Progress {
 public:
  void AddExpected(int, std::uint64_t) override {}
  void AddDone(int, std::uint64_t) override {}
  void AddRecords(int, std::uint64_t) override {}
  bool Cancelled() const override { return false; }
};

}  // namespace

Progress& Progress::None() {
  static NoProgress none;
  return none;
}

}  // namespace korvel
