// Small text helpers for building statements in the library's dialect (scripts' statements, and
// the imports' row writers). The library's own reads and saves bind their values instead
// (store/row_images.h).
#pragma once

#include <string>
#include <string_view>

namespace zel {

// `text` with every single quote doubled, for placing between single quotes in a statement.
std::string QuoteSql(std::string_view text);

// "True" or "False".
std::string BoolText(bool flag);

}  // namespace zel
