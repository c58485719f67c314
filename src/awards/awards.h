// Award nominations: which award, in which year and category, for which film and nominee, and
// whether it was won. Nothing ties an award row to a profile by key; awards are matched to films by
// title and year and to people by the nominee text.
//
// ZelAward is one row of the Awards table in memory; ZelAwards is an in-memory list of them,
// without keys. ZelDatabase.Awards, UpdateAwards and the three award queries are defined in
// awards.cpp; ImportAwardFile in award_file.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "model/keyed_collection.h"

namespace zel {

namespace store {
class RecordSet;
}

class ZelAward : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  const std::string& Award() const { return award_; }
  void SetAward(std::string award) { award_ = std::move(award); }
  // The award year; 0 means none.
  int16_t Year() const { return year_; }
  void SetYear(int16_t year) { year_ = year; }
  // The film's production year; 0 when not known. Stored from schema 80 on.
  int16_t MovieYear() const { return movie_year_; }
  void SetMovieYear(int16_t year) { movie_year_ = year; }
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

 private:
  std::string award_;
  int16_t year_ = 0;
  int16_t movie_year_ = 0;
  std::string category_;
  std::string movie_title_;
  bool has_won_ = false;
  std::string nominee_;
};

// Awards addressed by position only.
class ZelAwards : public TypedCollection<ZelAward> {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  std::shared_ptr<ZelAward> AddAward(std::shared_ptr<ZelAward> award);
  // A new award of these values (MovieYear 0), appended.
  std::shared_ptr<ZelAward> Add(std::string award, std::string category, int16_t year,
                                std::string movie_title, bool has_won, std::string nominee);
};

// The rows of an award query, in row order, as a new list. Reads the columns the active schema has:
// Won as text below 76 ("x" in either case is a win), MovieYear from 80 on. Library-internal.
std::shared_ptr<ZelAwards> AwardsFromRecords(store::RecordSet& records);

}  // namespace zel
