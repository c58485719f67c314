// Aliases: the credited forms of a person's name, each tied to the one common name under which the
// catalogue gathers them. A name without an alias row is its own common name.
//
// ZelAlias is one row of the Alias table in memory; ZelAliases stands for the whole table of one
// catalogue (adding writes the row at once, removing deletes it). The catalogue's list
// (ZelDatabase.Aliases), UpdateAliases and GetCommonName are the functions at the end.
// UpdateAliases writes what changed in each member since it was read (store/row_images.h): a member
// whose alias name changed keeps its row under the new name, and one renamed onto a name another
// member or another row holds fails (3022) with nothing written. Rows the list never held, such as
// those an import or another process added, stay; an import brings a loaded list in step.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "store/catalogue_link.h"
#include "store/keyed_collection.h"
#include "store/row_images.h"

namespace zel {

class ZelAlias : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  const std::string& AliasName() const { return alias_name_; }
  void SetAliasName(std::string name) { alias_name_ = std::move(name); }
  const std::string& CommonName() const { return common_name_; }
  void SetCommonName(std::string name) { common_name_ = std::move(name); }
  // Birth year of the person; 0 when not known.
  int64_t BirthYear() const { return birth_year_; }
  void SetBirthYear(int64_t year) { birth_year_ = year; }
  const std::string& Comment() const { return comment_; }
  void SetComment(std::string comment) { comment_ = std::move(comment); }

  // Stores the alias in its catalogue: what changed since it was read into its row, or a new row.
  // A new alias never changes a stored row: when its name is already stored (under any birth year,
  // since the name alone is the table's key) with the same common name, comment and year it takes
  // that row and nothing is written; with others the save fails with 3022 and the row stays.
  void UpdateAlias();

  // Library-internal.
  CatalogueLink& catalogue() { return catalogue_; }
  void SaveTo(store::CatalogueFile& database);
  store::RowImage& row() { return row_; }
  // Reads the alias and its stored row from a loaded image.
  void ReadRow(store::CatalogueFile& database, store::RowImage image);
  static const store::RecordShape<ZelAlias>& Shape();

 private:
  std::string alias_name_;
  std::string common_name_;
  int64_t birth_year_ = 0;
  std::string comment_;
  store::RowImage row_;
  CatalogueLink catalogue_;
};

// The alias key of `alias`: the alias name, followed by the birth year's digits when the year is
// not 0 ("Anna Berg1950").
std::string AliasKey(const ZelAlias& alias);

// The Alias table as a list. Members loaded or added with Add carry the alias key; members added
// with AddAlias are keyed by the alias name alone. Keys ignore the case of ASCII letters. A loaded
// row whose alias key another row already gives ('Anna Berg' born 1950 and 'Anna Berg1950') joins
// the list without a key, so every stored row can be read.
class ZelAliases : public TypedCollection<ZelAlias> {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  // Adds `alias` keyed by its alias name alone, then inserts its row. A duplicate key fails before
  // anything is written; a failing insert leaves the member in the list.
  std::shared_ptr<ZelAlias> AddAlias(std::shared_ptr<ZelAlias> alias);
  // Creates an alias of these values, adds it under its alias key and inserts its row.
  std::shared_ptr<ZelAlias> Add(std::string alias_name, std::string common_name,
                                std::string comment = {}, int64_t birth_year = 0);
  // True when a member has this alias name (letter case ignored) and exactly this birth year.
  bool Exists(std::string_view alias_name, int64_t birth_year = 0) const;
  // Common name of the first member whose alias name equals `alias_name` (letter case ignored,
  // birth year not considered); `alias_name` itself when there is none.
  std::string GetCommonName(std::string_view alias_name) const;

  // Library-internal: adds a row read from the catalogue (see the class comment); adds the stored
  // row of `alias_name` after an import added it.
  void AddLoadedAlias(std::shared_ptr<ZelAlias> alias);
  void SyncStored(store::CatalogueFile& database, std::string_view alias_name) override;

 protected:
  std::string KeyOf(const Object& item) const override;
  void Save(Object& item) override;
  // Deletes the member's row by its alias name alone, whatever its birth year.
  void Delete(Object& item) override;
};

namespace people {

// The catalogue's Alias list (ZelDatabase.Aliases): loaded on first read and kept in the
// catalogue's slot; a load that fails keeps nothing, so the next read tries again.
std::shared_ptr<ZelAliases> Aliases(store::CatalogueFile& database);
// Writes what changed in each alias of the loaded list, in one write scope; nothing when the list
// is not loaded. Rows the list never held stay.
void UpdateAliases(store::CatalogueFile& database);
// The common name stored for `name` in the Alias table; `name` itself when it has no alias row.
std::string GetCommonName(store::CatalogueFile& database, std::string_view name);

}  // namespace people

}  // namespace zel
