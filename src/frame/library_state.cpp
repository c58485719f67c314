#include "frame/library_state.h"

#include <locale>

namespace zel {

LibraryState& State() {
  thread_local LibraryState state;
  return state;
}

std::string UserDecimalSeparator() {
  try {
    std::locale user("");
    return std::string(1, std::use_facet<std::numpunct<char>>(user).decimal_point());
  } catch (const std::exception&) {
    return ".";  // LANG names a locale this machine does not have
  }
}

ScopedDecimalSeparator::ScopedDecimalSeparator(std::string separator)
    : previous_(State().decimal_separator),
      previous_overridden_(State().decimal_separator_overridden) {
  State().decimal_separator = std::move(separator);
  State().decimal_separator_overridden = true;
}

ScopedDecimalSeparator::~ScopedDecimalSeparator() {
  State().decimal_separator = previous_;
  State().decimal_separator_overridden = previous_overridden_;
}

}  // namespace zel
