#include "frame/random_ids.h"

#include <chrono>
#include <random>

namespace zel {
namespace {

std::mt19937_64& Generator() {
  thread_local std::mt19937_64 generator = [] {
    std::random_device device;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    std::seed_seq seeds{static_cast<uint64_t>(device()), static_cast<uint64_t>(device()),
                        static_cast<uint64_t>(now)};
    return std::mt19937_64(seeds);
  }();
  return generator;
}

}  // namespace

int32_t NextRandomId() {
  // Drawn as an integer: scaling a real in [0, 1) by 2^31 and rounding can reach 2^31 itself,
  // which does not fit the 32-bit event identifier.
  std::uniform_int_distribution<int32_t> numbers(0, INT32_MAX);
  return numbers(Generator());
}

std::string NewProfileId() { return std::to_string(NextRandomId()) + "Zel"; }

void SeedRandomIds(uint64_t seed) { Generator().seed(seed); }

}  // namespace zel
