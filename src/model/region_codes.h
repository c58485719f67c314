// Region codes as the collection means them. The import stores a region as a number: "All" as 0,
// and DVD regions as their numbers; a Blu-ray's regions A, B and C become 1, 2 and 3, the same
// numbers as DVD regions 1 to 3. The medium tells them apart again.
#pragma once

#include <string>
#include <string_view>

namespace zel::model {

// Whether a title of this medium ("Blu-ray Disc", "DVD/Blu-ray Disc", ...) has Blu-ray regions: its
// medium names Blu-ray and no DVD. A combination with a DVD keeps the numbers, which may be either.
bool HasBluRayRegions(std::string_view medium);

// How a stored region code shows: "All" for 0; "A", "B" and "C" for 1, 2 and 3 of a title with
// Blu-ray regions; the stored text otherwise.
std::string RegionLabel(std::string_view medium, std::string_view code);

}  // namespace zel::model
