#include "people/alias_registration.h"

#include <string>
#include <vector>

#include "frame/text.h"
#include "store/catalogue_file.h"
#include "store/connection.h"
#include "store/text_helpers.h"

namespace zel {

namespace {

class AliasLookups {
 public:
  AliasLookups(store::CatalogueFile& database, int16_t birth_year)
      : database_(database), birth_year_(birth_year), year_(std::to_string(birth_year)) {}

  // The lookups are the import's most frequent reads after its writes: bound statements, compared
  // as the catalogue compares names (ignoring letter case).

  // The common name of the first alias row of `name` (empty text when null), if there is one.
  bool FindAlias(std::string_view name, std::string* common_name = nullptr) {
    const auto rows =
        Lookup("SELECT CommonName FROM Alias WHERE AliasName = ?1 AND BirthYear = ?2", name);
    if (rows.empty()) return false;
    // (The column keeps texts: its affinity makes a text of any number written to it.)
    if (common_name != nullptr) *common_name = rows[0][0].text;
    return true;
  }

  bool FindAliasOrCommon(std::string_view name) {
    return !Lookup(
                "SELECT 1 FROM Alias WHERE (AliasName = ?1 OR CommonName = ?1) AND BirthYear = "
                "?2 LIMIT 1",
                name)
                .empty();
  }

  bool FindCommon(std::string_view name) {
    return !Lookup("SELECT 1 FROM Alias WHERE CommonName = ?1 AND BirthYear = ?2 LIMIT 1", name)
                .empty();
  }

  void Insert(std::string_view alias_name, std::string_view common_name) {
    const int64_t stored = database_.connection().Execute(
        "INSERT INTO Alias (AliasName, CommonName, BirthYear) VALUES ('" + QuoteSql(alias_name) +
        "', '" + QuoteSql(common_name) + "', '" + year_ + "')");
    if (stored > 0) {
      database_.NoteImported(store::CatalogueFile::List::kAliases, std::string(alias_name));
    }
  }

  // Makes every alias of the common name `from` an alias of `to`, so that no alias points at a
  // name that is itself an alias.
  void Repoint(std::string_view from, std::string_view to) {
    auto records = database_.DbOpenRecordSet("SELECT AliasName FROM Alias WHERE CommonName = '" +
                                             QuoteSql(from) + "' AND BirthYear = " + year_);
    std::vector<std::string> names;
    for (; !records->Eof(); records->MoveNext()) {
      names.push_back(records->Value("AliasName").ToTextOrEmpty());
    }
    if (names.empty()) return;
    database_.ExecuteSQL("UPDATE Alias SET CommonName = '" + QuoteSql(to) +
                         "' WHERE CommonName = '" + QuoteSql(from) + "' AND BirthYear = " + year_);
    for (std::string& name : names) {
      database_.NoteImported(store::CatalogueFile::List::kAliases, std::move(name));
    }
  }

 private:
  std::vector<std::vector<store::StoredValue>> Lookup(const std::string& sql,
                                                      std::string_view name) {
    return database_.connection().Read(sql, {store::StoredValue::Text(std::string(name)),
                                             store::StoredValue::Integer(birth_year_)});
  }

  store::CatalogueFile& database_;
  int16_t birth_year_;
  std::string year_;
};

// "jr" or "sr" as the last word of `lower`, without a comma before it, with or without a dot.
bool EndsWithBareSuffix(std::string_view lower, std::string_view suffix) {
  const std::string bare = " " + std::string(suffix);
  const std::string comma = ", " + std::string(suffix);
  return (lower.ends_with(bare) && !lower.ends_with(comma)) ||
         (lower.ends_with(bare + ".") && !lower.ends_with(comma + "."));
}

}  // namespace

void RegisterAlias(store::CatalogueFile& database, std::string_view full_name,
                   std::string_view credited_name, int16_t birth_year) {
  if (full_name == credited_name || full_name.empty() || credited_name.empty()) return;
  AliasLookups lookups(database, birth_year);
  std::string common_name;
  if (lookups.FindAlias(full_name, &common_name)) {
    if (!lookups.FindAliasOrCommon(credited_name)) lookups.Insert(credited_name, common_name);
    return;
  }
  if (lookups.FindAlias(credited_name)) return;
  if (lookups.FindCommon(credited_name)) {
    // The full name was looked up above and is no alias: it joins the credited name's group. When
    // it is a common name itself, its aliases come along, so none is left pointing at an alias.
    lookups.Repoint(full_name, credited_name);
    lookups.Insert(full_name, credited_name);
    return;
  }
  lookups.Insert(credited_name, full_name);
}

void RegisterSuffixVariant(store::CatalogueFile& database, std::string_view name,
                           int16_t birth_year) {
  // Only a name ending in "r" or "." can end in a suffix; the import asks for every credit.
  if (name.empty() || (name.back() != 'r' && name.back() != 'R' && name.back() != '.')) return;
  if (Utf8ToUtf16(name).size() <= 4) return;
  const std::string lower = ToLower(name);
  if (EndsWithBareSuffix(lower, "jr")) {
    const std::string variant = ReplaceAll(ReplaceAll(name, " jr", ", jr"), " Jr", ", Jr");
    RegisterAlias(database, variant, name, birth_year);
  }
  if (EndsWithBareSuffix(lower, "sr")) {
    const std::string variant = ReplaceAll(ReplaceAll(name, " sr", ", sr"), " Sr", ", Sr");
    RegisterAlias(database, variant, name, birth_year);
  }
}

}  // namespace zel
