// The catalogue of public classes: what scripts may name and create.
#pragma once

#include <string_view>
#include <vector>

#include "frame/object.h"

namespace zel {

// Every public class of the library, in a fixed order.
const std::vector<const ClassInfo*>& PublicClasses();

// The public class of that name (ignoring case); nullptr when there is none.
const ClassInfo* FindPublicClass(std::string_view name);

}  // namespace zel
