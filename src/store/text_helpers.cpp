#include "store/text_helpers.h"

#include "frame/text.h"
#include "store/database.h"

namespace zel {

std::string QuoteSql(std::string_view text) { return ReplaceAll(text, "'", "''"); }

std::string BoolText(bool flag) { return flag ? "True" : "False"; }

void DeleteProfileRows(ZelDatabase& database, std::string_view profile_id, std::string_view table) {
  database.DbExecute("DELETE FROM " + std::string(table) + " WHERE ProfileID = '" +
                     QuoteSql(profile_id) + "'");
}

}  // namespace zel
