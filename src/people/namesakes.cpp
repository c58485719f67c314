#include "people/namesakes.h"

#include <algorithm>

#include "frame/text.h"
#include "frame/variant.h"
#include "people/aliases.h"
#include "store/catalogue_file.h"
#include "store/text_helpers.h"

namespace zel::people {

bool IsKnownBirthYear(int32_t year) { return year >= 1800 && year <= 2100; }

std::string PersonLabel(const Person& person) {
  if (!person.namesakes) return person.common_name;
  if (person.CouldBeEither()) {
    std::string years;
    for (size_t i = 0; i < person.could_be.size(); ++i) {
      if (i > 0) years += i + 1 == person.could_be.size() ? " or " : ", ";
      years += std::to_string(person.could_be[i]);
    }
    return person.common_name + " (born " + years + ", could be either)";
  }
  if (person.birth_year == 0) return person.common_name;
  return person.common_name + " (born " + std::to_string(person.birth_year) + ")";
}

void Namesakes::Note(std::string_view common_name, int32_t birth_year) {
  if (!IsKnownBirthYear(birth_year)) return;
  std::vector<int32_t>& years = years_[FoldKey(common_name)];
  const auto at = std::lower_bound(years.begin(), years.end(), birth_year);
  if (at == years.end() || *at != birth_year) years.insert(at, birth_year);
}

std::vector<int32_t> Namesakes::YearsOf(std::string_view common_name) const {
  const auto found = years_.find(FoldKey(common_name));
  return found == years_.end() ? std::vector<int32_t>() : found->second;
}

Person Namesakes::Resolve(std::string_view common_name, int32_t birth_year) const {
  Person person{std::string(common_name), 0, {}, false};
  const auto found = years_.find(FoldKey(common_name));
  const std::vector<int32_t> none;
  const std::vector<int32_t>& years = found == years_.end() ? none : found->second;
  person.namesakes = years.size() > 1;
  if (IsKnownBirthYear(birth_year)) {
    person.birth_year = birth_year;
  } else if (years.size() == 1) {
    person.birth_year = years.front();
  } else if (years.size() > 1) {
    person.could_be = years;
  }
  return person;
}

PersonNames NamesOf(store::CatalogueFile& database, std::string_view name) {
  PersonNames person{GetCommonName(database, name), {}};
  person.names.push_back(person.common_name);
  auto rows = database.DbOpenRecordSet("SELECT AliasName FROM Alias WHERE CommonName = '" +
                                       QuoteSql(person.common_name) + "' ORDER BY AliasName");
  for (; !rows->Eof(); rows->MoveNext()) {
    const std::string alias = rows->ValueAt(0).ToTextOrEmpty();
    // An alias equal to a name before it but for letter case names the same credits.
    const bool known = std::any_of(person.names.begin(), person.names.end(),
                                   [&](const std::string& n) { return EqualsFolded(n, alias); });
    if (!known) person.names.push_back(alias);
  }
  return person;
}

std::string NameList(const std::vector<std::string>& names) {
  std::string list = "(";
  for (const std::string& name : names) {
    list += (list.size() > 1 ? ", '" : "'") + QuoteSql(name) + "'";
  }
  return list + ")";
}

bool IsListHeading(std::string_view role) {
  for (std::string_view marker :
       {"[DivGroup]", "[DivEpisode]", "[DivTeam]", "[DivEnd]", "[Divider]"}) {
    if (role == marker) return true;
  }
  return false;
}

Namesakes ReadNamesakes(store::CatalogueFile& database, const PersonNames& names) {
  Namesakes namesakes;
  for (std::string_view table : {"CastCrew", "TVCastCrew"}) {
    auto rows =
        database.DbOpenRecordSet("SELECT DISTINCT BirthYear, Role FROM " + std::string(table) +
                                 " WHERE Name IN " + NameList(names.names));
    for (; !rows->Eof(); rows->MoveNext()) {
      if (IsListHeading(rows->ValueAt(1).ToTextOrEmpty())) continue;
      const Variant year = rows->ValueAt(0);
      if (!year.IsNull()) namesakes.Note(names.common_name, year.ToLong());
    }
  }
  return namesakes;
}

std::optional<Person> PersonOfNomination(store::CatalogueFile& database, const PersonNames& names,
                                         const Namesakes& namesakes, std::string_view movie_title,
                                         int32_t movie_year) {
  const std::string title = QuoteSql(movie_title);
  std::string sql =
      "SELECT DISTINCT c.BirthYear, c.Role FROM CastCrew c INNER JOIN Profiles p ON p.ProfileID = "
      "c.ProfileID WHERE c.Name IN " +
      NameList(names.names) + " AND (p.Title = '" + title + "' OR p.OriginalTitle = '" + title +
      "')";
  if (movie_year != 0) sql += " AND p.ProdYear = " + std::to_string(movie_year);
  std::optional<Person> found;
  auto rows = database.DbOpenRecordSet(sql);
  for (; !rows->Eof(); rows->MoveNext()) {
    if (IsListHeading(rows->ValueAt(1).ToTextOrEmpty())) continue;
    const Variant year = rows->ValueAt(0);
    const Person person = namesakes.Resolve(names.common_name, year.IsNull() ? 0 : year.ToLong());
    if (person.CouldBeEither()) continue;
    if (found && !(*found == person)) return std::nullopt;
    found = person;
  }
  return found;
}

Person PersonOfCredit(store::CatalogueFile& database, std::string_view name, int32_t birth_year) {
  const PersonNames names = NamesOf(database, name);
  return ReadNamesakes(database, names).Resolve(names.common_name, birth_year);
}

}  // namespace zel::people
