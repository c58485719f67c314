// A deterministic generator of DVD Profiler collection files with realistic titles, for measuring
// the import: 20-60 cast and 20-80 crew per title drawn from a pool of people shared across
// titles (some credited under other names, some with a junior suffix), dividers, 1-4 discs, genres,
// subtitles, audio tracks, features, prices in several currencies, events, loans and tags.
#pragma once

#include <cstdint>
#include <ostream>

namespace zel::bench {

// Writes a collection of `titles` titles to `out` as windows-1252 markup, the way DVD Profiler
// exports it. The same `titles` and `seed` always give the same bytes.
void WriteCollection(std::ostream& out, int titles, uint64_t seed = 1);

}  // namespace zel::bench
