#include "web/sql.h"

#include <algorithm>
#include <utility>

#include "catalogue/database.h"
#include "frame/library_state.h"
#include "frame/text.h"
#include "store/connection.h"
#include "store/text_helpers.h"

namespace zel::web {

using store::RecordSet;

std::string Text(RecordSet& records, std::string_view column) {
  return records.Value(column).ToTextOrEmpty();
}

int32_t Number(RecordSet& records, std::string_view column) {
  const Variant value = records.Value(column);
  return value.IsNull() || value.IsEmpty() ? 0 : value.ToLong();
}

std::string TextAt(RecordSet& records, int32_t position) {
  return records.ValueAt(position).ToTextOrEmpty();
}

int32_t NumberAt(RecordSet& records, int32_t position) {
  const Variant value = records.ValueAt(position);
  return value.IsNull() || value.IsEmpty() ? 0 : value.ToLong();
}

namespace {

bool FlagOf(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return false;
  if (value.IsString() && value.ToText().empty()) return false;
  return value.ToBool();
}

}  // namespace

bool Flag(RecordSet& records, std::string_view column) { return FlagOf(records.Value(column)); }

bool FlagAt(RecordSet& records, int32_t position) { return FlagOf(records.ValueAt(position)); }

int32_t PositionOf(RecordSet& records, std::string_view column) {
  for (int32_t i = 0; i < records.FieldCount(); ++i) {
    if (EqualsIgnoreCase(records.FieldName(i), column)) return i;
  }
  return -1;
}

int16_t Schema() { return State().active_db_schema; }

bool IsCastRow(RecordSet& records) { return IsCastValue(records.Value("IsCast")); }

bool IsCastValue(const Variant& value) {
  if (value.IsNull()) return false;
  if (Schema() >= 76) return value.ToBool();
  return value.ToText() == "yes";
}

std::string CastCondition(std::string_view column) {
  return std::string(column) + (Schema() >= 76 ? " = true" : " = 'yes'");
}

Date DateOf(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return Date::Zero();
  return value.ToDate();
}

Json DateJson(Date date) { return date == Date::Zero() ? Json(nullptr) : Json(FormatDate(date)); }

Json DateJson(const Variant& value) { return DateJson(DateOf(value)); }

Json AmountJson(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return nullptr;
  return value.ToDouble();
}

int64_t CountOf(ZelDatabase& database, const std::string& sql) {
  auto records = database.DbOpenRecordSet(sql);
  if (records->Eof()) return 0;
  const Variant value = records->ValueAt(0);
  return value.IsNull() ? 0 : value.ToLong();
}

namespace {

// The Role of the rows that the import stores for the headings of a cast or crew list, with the
// kind each stands for; they are not credits of anybody.
constexpr std::pair<std::string_view, std::string_view> kDividers[] = {{"[DivGroup]", "Group"},
                                                                       {"[DivEpisode]", "Episode"},
                                                                       {"[DivTeam]", "Team"},
                                                                       {"[DivEnd]", "End"},
                                                                       {"[Divider]", "Divider"}};

std::string DividerRoles() {
  std::string list;
  for (const auto& [role, kind] : kDividers) {
    list += (list.empty() ? "('" : ", '") + std::string(role) + "'";
  }
  return list + ")";
}

}  // namespace

std::string DividerKind(std::string_view role) {
  for (const auto& [marker, kind] : kDividers) {
    if (role == marker) return std::string(kind);
  }
  return {};
}

std::string NotDivider(std::string_view alias) {
  const std::string role = std::string(alias) + ".Role";
  return "(" + role + " IS NULL OR " + role + " NOT IN " + DividerRoles() + ")";
}

std::string IsDivider(std::string_view alias) {
  return std::string(alias) + ".Role IN " + DividerRoles();
}

std::string InList(const std::vector<std::string>& values) {
  std::string list = "(";
  for (size_t i = 0; i < values.size(); ++i) {
    list += (i ? ", '" : "'") + QuoteSql(values[i]) + "'";
  }
  return list + ")";
}

PersonNames NamesOfPerson(ZelDatabase& database, const std::string& name) {
  PersonNames person{database.GetCommonName(name), {}};
  person.names.push_back(person.common_name);
  auto rows =
      database.DbOpenRecordSet("SELECT AliasName, BirthYear FROM Alias WHERE CommonName = '" +
                               QuoteSql(person.common_name) + "' ORDER BY AliasName");
  for (; !rows->Eof(); rows->MoveNext()) {
    const std::string alias = TextAt(*rows, 0);
    person.aliases.push_back({alias, NumberAt(*rows, 1)});
    // An alias equal to a name before it but for letter case names the same credits.
    const bool known =
        std::any_of(person.names.begin(), person.names.end(),
                    [&](const std::string& n) { return EqualsIgnoreCase(n, alias); });
    if (!known) person.names.push_back(alias);
  }
  return person;
}

}  // namespace zel::web
