// Award nominations: which award, in which year and category, for which film and nominee, and
// whether it was won. Nothing ties an award row to a profile by key; awards are matched to films by
// title and year and to people by the nominee text.
//
// ZelAward is one row of the Awards table in memory; ZelAwards is an in-memory list of them,
// without keys. The catalogue's list and the three award queries are the functions at the end
// (ZelDatabase delegates to them); the award file import is in import/award_file.h.
//
// An award read from a catalogue remembers its row there as it was read (store/row_images.h).
// UpdateAwards writes the list of the catalogue back row by row: awards added since are inserted,
// the changed columns of changed ones written into their rows, unchanged ones left alone (so their
// stored values, the old row checksum included, stay), and only the rows of awards removed from
// that list are deleted. A row changed or deleted elsewhere since it was read fails the write
// (3197) and nothing is written. Rows the list never held, such as those an award file import
// added, stay; the import also brings a loaded list in step.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/catalogue_link.h"
#include "store/keyed_collection.h"
#include "store/row_images.h"

namespace zel {

namespace store {
class CatalogueFile;
class RecordSet;
}  // namespace store

class ZelAward : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  const std::string& Award() const { return award_; }
  void SetAward(std::string award) { award_ = std::move(award); }
  // The award year; 0 means none.
  int64_t Year() const { return year_; }
  void SetYear(int64_t year) { year_ = year; }
  // The film's production year; 0 when not known. Stored from schema 80 on.
  int64_t MovieYear() const { return movie_year_; }
  void SetMovieYear(int64_t year) { movie_year_ = year; }
  const std::string& Category() const { return category_; }
  void SetCategory(std::string category) { category_ = std::move(category); }
  const std::string& MovieTitle() const { return movie_title_; }
  void SetMovieTitle(std::string title) { movie_title_ = std::move(title); }
  bool HasWon() const { return has_won_; }
  void SetHasWon(bool won) { has_won_ = won; }
  // One or more names as one text ("Ann Lee and Bo Wu").
  const std::string& Nominee() const { return nominee_; }
  void SetNominee(std::string nominee) { nominee_ = std::move(nominee); }

  // Single awards are saved with the whole list (ZelDatabase.UpdateAwards); this always fails
  // with error 30.
  void UpdateAward();

  // Library-internal: the catalogue it belongs to and its row there as read or last written.
  CatalogueLink& catalogue() const { return catalogue_; }
  store::RowImage& row() { return row_; }
  void ReadRow(store::CatalogueFile& database, store::RowImage image);
  // Whether the stored row was of this award (ASCII letters in either case) and, when given, year.
  bool StoredAs(std::string_view award, std::optional<int64_t> year) const;
  static const store::RecordShape<ZelAward>& Shape();

 private:
  std::string award_;
  int64_t year_ = 0;
  int64_t movie_year_ = 0;
  std::string category_;
  std::string movie_title_;
  bool has_won_ = false;
  std::string nominee_;
  mutable CatalogueLink catalogue_;
  store::RowImage row_;
};

// Awards addressed by position only.
class ZelAwards : public TypedCollection<ZelAward> {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  std::shared_ptr<ZelAward> AddAward(std::shared_ptr<ZelAward> award);
  // A new award of these values (MovieYear 0), appended.
  std::shared_ptr<ZelAward> Add(std::string award, std::string category, int64_t year,
                                std::string movie_title, bool has_won, std::string nominee);

  // Library-internal: the stored awards removed from the list since it was last written, which
  // the write deletes; and taking members out without counting them as removed.
  std::vector<std::shared_ptr<ZelAward>> TakeRemoved() { return std::exchange(removed_, {}); }
  void KeepRemoved(std::shared_ptr<ZelAward> award) { removed_.push_back(std::move(award)); }
  template <class Pred>
  void Forget(Pred matches) {
    for (int32_t position = items_.Count(); position >= 1; --position) {
      if (matches(*Item(Variant(position)))) items_.Remove(Variant(position));
    }
  }
  void Append(const ZelAwards& other) {
    for (const auto& award : other.All()) items_.Add(Variant(award));
  }

 protected:
  void Delete(Object& item) override;

 private:
  std::vector<std::shared_ptr<ZelAward>> removed_;
};

// The stored awards of `database` that `where` selects (the Awards table called t, `params` bound),
// in `order`, each with its row, as a new list. Reads the columns the catalogue's schema has: Won
// as text below 76 ("x" in either case is a win), MovieYear from 80 on. Library-internal.
std::shared_ptr<ZelAwards> LoadAwards(store::CatalogueFile& database, std::string_view where,
                                      const std::vector<store::StoredValue>& params,
                                      std::string_view order);
// The awards of the rows of a record set of `database`: those it selects the row identifier of
// (as ZelRow) read with their rows, the others as new awards of the record's values.
std::shared_ptr<ZelAwards> AwardsFromRecords(store::CatalogueFile& database,
                                             store::RecordSet& records);
// The same for a record set of the active catalogue.
std::shared_ptr<ZelAwards> AwardsFromRecords(store::RecordSet& records);

namespace awards {

// The catalogue's Awards list by award and category (ZelDatabase.Awards): loaded on first read and
// kept in the catalogue's slot.
std::shared_ptr<ZelAwards> Awards(store::CatalogueFile& database);
// The list when it is loaded, without loading it; nullptr otherwise.
std::shared_ptr<ZelAwards> CachedAwards(store::CatalogueFile& database);
// Writes the loaded list back row by row, in one write scope: edited rows in place, new members
// as new rows, and deletes the rows of members removed through the list. Nothing when the list is
// not loaded. Rows the list never held stay.
void UpdateAwards(store::CatalogueFile& database);

// The awards of a film by its title. With a production year Y, award years Y-1 to Y+2 and award
// year 0 match; from schema 80 a row whose film year is Y matches whatever its award year, and a
// row naming another film year only when that is its award year. A title with no awards is tried
// again cut before its last ":" ("Alien: Director's Cut" finds "Alien").
std::shared_ptr<ZelAwards> GetMovieAwards(store::CatalogueFile& database,
                                          std::string_view original_title,
                                          int64_t production_year = 0);
// The awards whose nominee text contains `name` anywhere, letter case ignored.
std::shared_ptr<ZelAwards> GetPersonAwards(store::CatalogueFile& database, std::string_view name);
// The nominations of one award in one year. `year` must be a whole number, as a number or as
// its decimal text; anything else fails with a type mismatch (13).
std::shared_ptr<ZelAwards> GetAwardByYear(store::CatalogueFile& database,
                                          std::string_view award_name, const Variant& year);

}  // namespace awards

}  // namespace zel
