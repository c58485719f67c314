#include "store/text_helpers.h"

#include "frame/error.h"
#include "frame/text.h"
#include "frame/variant.h"
#include "store/catalogue_file.h"
#include "store/engine_errors.h"

namespace zel {

std::string QuoteSql(std::string_view text) { return ReplaceAll(text, "'", "''"); }

std::string BoolText(bool flag) { return flag ? "True" : "False"; }

void DeleteProfileRows(store::CatalogueFile& database, std::string_view profile_id,
                       std::string_view table) {
  database.DbExecute("DELETE FROM " + std::string(table) + " WHERE ProfileID = '" +
                     QuoteSql(profile_id) + "'");
}

int16_t Int16Column(const Variant& value) {
  if (value.IsNull()) return 0;
  const double number = value.ToDouble();
  if (number < INT16_MIN) return INT16_MIN;
  if (number > INT16_MAX) return INT16_MAX;
  return value.ToInteger();
}

bool StoredFlag(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return false;
  if (value.IsString() && value.ToText().empty()) return false;
  return value.ToBool();
}

bool StoredCastFlag(const Variant& value) {
  if (value.IsString()) return value.ToText() == "yes";
  return StoredFlag(value);
}

void InsertSavedRow(store::CatalogueFile& database, std::string_view sql,
                    std::string_view refusal) {
  if (database.connection().Execute(sql) > 0) return;
  Raise(store::engine_errc::kDuplicateKey, std::string(refusal));
}

}  // namespace zel
