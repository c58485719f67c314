// The one source of random identifiers: new profile identifiers and new event identifiers.
//
// Each thread has one generator, seeded once on its first use, so objects created in the same
// instant draw successive numbers of one sequence instead of repeating a clock-seeded value.
#pragma once

#include <cstdint>
#include <string>

namespace zel {

// A uniform number in 0..2^31-1, the next of this thread's sequence.
int32_t NextRandomId();

// A new profile identifier: a drawn number in decimal followed by "Zel".
std::string NewProfileId();

// Restarts this thread's sequence from `seed`, so that a test sees a repeatable series.
void SeedRandomIds(uint64_t seed);

}  // namespace zel
