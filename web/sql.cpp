#include "web/sql.h"

#include <algorithm>

#include "frame/text.h"
#include "web/cells.h"

namespace zel::web {

using store::PlainStatement;

std::string SqlParams::Add(std::string text) {
  values_.emplace_back(std::move(text));
  return "?" + std::to_string(values_.size());
}

std::string SqlParams::Add(int64_t number) {
  values_.emplace_back(number);
  return "?" + std::to_string(values_.size());
}

void SqlParams::Bind(PlainStatement& statement) const {
  for (size_t i = 0; i < values_.size(); ++i) {
    const int index = static_cast<int>(i) + 1;
    if (const auto* text = std::get_if<std::string>(&values_[i])) {
      statement.Bind(index, *text);
    } else {
      statement.Bind(index, std::get<int64_t>(values_[i]));
    }
  }
}

int64_t CountOf(store::PlainDatabase& db, const std::string& sql, const SqlParams& params) {
  PlainStatement& statement = db.Prepare(sql);
  params.Bind(statement);
  const int64_t count = statement.Step() ? statement.Int(0) : 0;
  statement.Reset();
  return count;
}

Json DateJson(Date date) { return date == Date::Zero() ? Json(nullptr) : Json(FormatDate(date)); }

Json StoredDateJson(const PlainStatement& row, int column) {
  return row.IsNull(column) ? Json(nullptr) : Json(row.Text(column));
}

Json StoredAmountJson(const PlainStatement& row, int column) {
  return row.IsNull(column) ? Json(nullptr) : Json(static_cast<double>(row.Int(column)) / 10000.0);
}

namespace {

// The Role of the rows that the import stores for the headings of a cast or crew list, with the
// kind each stands for; they are not credits of anybody.
constexpr std::pair<std::string_view, std::string_view> kDividers[] = {{"[DivGroup]", "Group"},
                                                                       {"[DivEpisode]", "Episode"},
                                                                       {"[DivTeam]", "Team"},
                                                                       {"[DivEnd]", "End"},
                                                                       {"[Divider]", "Divider"}};

}  // namespace

std::string DividerKind(std::string_view role) {
  for (const auto& [marker, kind] : kDividers) {
    if (role == marker) return std::string(kind);
  }
  return {};
}

std::string NotDivider(std::string_view alias) {
  const std::string role = std::string(alias) + ".Role";
  std::string list;
  for (const auto& [marker, kind] : kDividers) {
    list += (list.empty() ? "('" : ", '") + std::string(marker) + "'";
  }
  return "(" + role + " IS NULL OR " + role + " NOT IN " + list + "))";
}

PersonNames NamesOfPerson(store::PlainDatabase& db, const std::string& name) {
  // One step through the Alias table, as the library looks a common name up.
  PersonNames person;
  {
    PlainStatement& common = db.Prepare(
        "SELECT CommonName FROM main.Alias WHERE AliasName = ? AND CommonName <> '' LIMIT 1");
    common.Bind(1, name);
    person.common_name = common.Step() ? common.Text(0) : name;
    common.Reset();
  }
  person.names.push_back(person.common_name);
  PlainStatement& rows = db.Prepare(
      "SELECT AliasName, BirthYear FROM main.Alias WHERE CommonName = ? ORDER BY AliasName");
  rows.Bind(1, person.common_name);
  while (rows.Step()) {
    const std::string alias = rows.Text(0);
    person.aliases.push_back({alias, BoundedAt(rows, 1, 1, 9999)});
    // An alias equal to a name before it but for letter case names the same credits.
    const bool known =
        std::any_of(person.names.begin(), person.names.end(),
                    [&](const std::string& n) { return EqualsIgnoreCase(n, alias); });
    if (!known) person.names.push_back(alias);
  }
  rows.Reset();
  return person;
}

std::string TitlesCrediting(const PersonNames& person, SqlParams& params) {
  std::vector<std::string> keys;
  for (const std::string& name : person.names) keys.push_back(ToLower(name));
  return "(SELECT w.work FROM ix.name_works w JOIN ix.names n ON n.id = w.name WHERE w.kind = 0 "
         "AND n.key IN " +
         InList(keys, params) + ")";
}

std::string InList(const std::vector<std::string>& values, SqlParams& params) {
  std::string list = "(";
  for (size_t i = 0; i < values.size(); ++i) list += (i ? ", " : "") + params.Add(values[i]);
  return list + ")";
}

}  // namespace zel::web
