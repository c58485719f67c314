#include "store/text_helpers.h"

#include "frame/text.h"

namespace zel {

std::string QuoteSql(std::string_view text) { return ReplaceAll(text, "'", "''"); }

std::string BoolText(bool flag) { return flag ? "True" : "False"; }

bool StoredFlag(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return false;
  if (value.IsString() && value.ToText().empty()) return false;
  return value.ToBool();
}

bool StoredCastFlag(const Variant& value) {
  if (value.IsString()) return value.ToText() == "yes";
  return StoredFlag(value);
}

}  // namespace zel
