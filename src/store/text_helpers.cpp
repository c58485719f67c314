#include "store/text_helpers.h"

#include "frame/text.h"

namespace zel {

std::string QuoteSql(std::string_view text) { return ReplaceAll(text, "'", "''"); }

std::string BoolText(bool flag) { return flag ? "True" : "False"; }

}  // namespace zel
