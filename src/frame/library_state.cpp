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
    : previous_(State().decimal_separator) {
  State().decimal_separator = std::move(separator);
}

ScopedDecimalSeparator::~ScopedDecimalSeparator() { State().decimal_separator = previous_; }

}  // namespace zel
