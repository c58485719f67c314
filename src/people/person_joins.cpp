#include "people/person_joins.h"

#include <algorithm>

#include "digest/md5.h"
#include "frame/error.h"
#include "frame/text.h"
#include "people/aliases.h"
#include "people/namesakes.h"
#include "store/catalogue_file.h"
#include "store/connection.h"
#include "store/text_helpers.h"

namespace zel::people {
namespace {

// The record of a join lives under this and the joined common name.
constexpr std::string_view kJoinPrefix = "person:";
constexpr std::string_view kJoinedName = "JoinedName";
constexpr std::string_view kJoinedInto = "JoinedInto";
constexpr std::string_view kJoinedRow = "JoinedRow";  // "added", or "was:" and its common name
constexpr std::string_view kMovedAliases = "MovedAliases";  // one alias name a line

std::string YearsText(const std::vector<int32_t>& years) {
  std::string text;
  for (int32_t year : years) text += (text.empty() ? "" : " or ") + std::to_string(year);
  return text;
}

// Where the record of a join of `name` lives: under "person:" and the name, or its fingerprint for
// a name too long for an identifier.
std::string JoinRecord(std::string_view name) {
  std::string record = std::string(kJoinPrefix) + std::string(name);
  if (record.size() > 255) record = std::string(kJoinPrefix) + Md5Fingerprint(name);
  return record;
}

// The 1-based position of the alias `name` in the list; 0 when it has none.
int32_t PositionOf(const ZelAliases& aliases, std::string_view name) {
  const auto all = aliases.All();
  for (size_t i = 0; i < all.size(); ++i) {
    if (EqualsFolded(all[i]->AliasName(), name)) return static_cast<int32_t>(i) + 1;
  }
  return 0;
}

}  // namespace

JoinResult JoinPeople(store::CatalogueFile& database, std::string_view name,
                      std::string_view into) {
  if (Trim(name).empty() || Trim(into).empty()) {
    Raise(errc::kInvalidArgument, "Joining needs two names");
  }
  const PersonNames joined = NamesOf(database, name);
  const PersonNames kept = NamesOf(database, into);
  if (EqualsFolded(joined.common_name, kept.common_name)) {
    Raise(errc::kInvalidArgument, "'" + std::string(name) + "' and '" + std::string(into) +
                                      "' are one person already: " + kept.common_name);
  }
  const std::vector<int32_t> joined_years =
      ReadNamesakes(database, joined).YearsOf(joined.common_name);
  const std::vector<int32_t> kept_years = ReadNamesakes(database, kept).YearsOf(kept.common_name);
  std::vector<int32_t> shared;
  std::set_intersection(joined_years.begin(), joined_years.end(), kept_years.begin(),
                        kept_years.end(), std::back_inserter(shared));
  if (!joined_years.empty() && !kept_years.empty() && shared.empty()) {
    Raise(errc::kInvalidArgument, "'" + joined.common_name + "' (born " + YearsText(joined_years) +
                                      ") and '" + kept.common_name + "' (born " +
                                      YearsText(kept_years) +
                                      ") are different people: their birth years differ");
  }
  const int32_t year = !shared.empty()            ? shared.front()
                       : joined_years.size() == 1 ? joined_years.front()
                       : kept_years.size() == 1   ? kept_years.front()
                                                  : 0;

  JoinResult result{joined.common_name, kept.common_name, {}};
  store::WriteScope scope(database.connection());
  const auto aliases = Aliases(database);
  std::string moved;
  std::string row = "added";
  for (const auto& alias : aliases->All()) {
    if (!EqualsFolded(alias->CommonName(), joined.common_name)) continue;
    if (EqualsFolded(alias->AliasName(), joined.common_name)) {
      row = "was:" + alias->CommonName();
    } else {
      moved += (moved.empty() ? "" : "\n") + alias->AliasName();
    }
    result.changes.push_back({alias->AliasName(), alias->CommonName(), kept.common_name});
    alias->SetCommonName(kept.common_name);
    alias->ReplaceIn(database);
  }
  if (row == "added") {
    if (const int32_t at = PositionOf(*aliases, joined.common_name); at != 0) {
      // A row of the name that gathers under a third name: it moves, and comes back on a split.
      const auto alias = aliases->Item(Variant(at));
      row = "was:" + alias->CommonName();
      result.changes.push_back({alias->AliasName(), alias->CommonName(), kept.common_name});
      alias->SetCommonName(kept.common_name);
      alias->ReplaceIn(database);
    } else {
      aliases->Add(joined.common_name, kept.common_name, "Joined by the collector",
                   static_cast<int16_t>(year));
      result.changes.push_back({joined.common_name, "", kept.common_name});
    }
  }
  const std::string record = JoinRecord(joined.common_name);
  database.WriteMetaInfoByProfileID(record, kJoinedName, joined.common_name);
  database.WriteMetaInfoByProfileID(record, kJoinedInto, kept.common_name);
  database.WriteMetaInfoByProfileID(record, kJoinedRow, row);
  database.WriteMetaInfoByProfileID(record, kMovedAliases, moved);
  scope.Commit();
  return result;
}

JoinResult SplitPeople(store::CatalogueFile& database, std::string_view name) {
  const std::string record = JoinRecord(name);
  const std::string into = database.ReadMetaInfoByProfileID(record, kJoinedInto);
  if (into.empty()) {
    Raise(
        errc::kInvalidArgument,
        "'" + std::string(name) + "' is not a name a join made one with another; nothing to split");
  }
  const std::string joined = database.ReadMetaInfoByProfileID(record, kJoinedName, name);
  const std::string row = database.ReadMetaInfoByProfileID(record, kJoinedRow);
  const std::vector<std::string> moved =
      Split(database.ReadMetaInfoByProfileID(record, kMovedAliases), "\n");

  JoinResult result{joined, into, {}};
  store::WriteScope scope(database.connection());
  const auto aliases = Aliases(database);
  // Only rows as the join left them go back: a row changed since is the collector's.
  if (const int32_t at = PositionOf(*aliases, joined); at != 0) {
    const auto alias = aliases->Item(Variant(at));
    if (EqualsFolded(alias->CommonName(), into)) {
      if (row.starts_with("was:")) {
        result.changes.push_back({alias->AliasName(), alias->CommonName(), row.substr(4)});
        alias->SetCommonName(row.substr(4));
        alias->ReplaceIn(database);
      } else {
        result.changes.push_back({alias->AliasName(), alias->CommonName(), ""});
        aliases->Remove(Variant(at));
      }
    }
  }
  for (const std::string& alias_name : moved) {
    if (alias_name.empty()) continue;
    const int32_t at = PositionOf(*aliases, alias_name);
    if (at == 0) continue;
    const auto alias = aliases->Item(Variant(at));
    if (!EqualsFolded(alias->CommonName(), into)) continue;
    result.changes.push_back({alias->AliasName(), alias->CommonName(), joined});
    alias->SetCommonName(joined);
    alias->ReplaceIn(database);
  }
  database.DbExecute("DELETE FROM MetaInfo WHERE ProfileID = '" + QuoteSql(record) + "'");
  scope.Commit();
  return result;
}

}  // namespace zel::people
