// Small text helpers for building statements in the library's dialect (scripts' statements, and
// the imports' row writers). The library's own reads and saves bind their values instead
// (store/row_images.h).
#pragma once

#include <string>
#include <string_view>

#include "frame/variant.h"

namespace zel {

// `text` with every single quote doubled, for placing between single quotes in a statement.
std::string QuoteSql(std::string_view text);

// "True" or "False".
std::string BoolText(bool flag);

// A yes/no column in either stored form: a boolean, or the texts "True"/"False" of files before
// schema 76. Null and empty text are false.
bool StoredFlag(const Variant& value);
// Whether a credit row's IsCast marks a cast credit: a boolean, or the exact text "yes" of files
// before schema 76 (where "Yes", "no" and empty text are crew).
bool StoredCastFlag(const Variant& value);

}  // namespace zel
