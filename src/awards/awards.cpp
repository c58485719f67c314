#include "awards/awards.h"

#include <cmath>

#include "awards/award_file.h"
#include "frame/library_state.h"
#include "frame/member_table.h"
#include "frame/text.h"
#include "store/database.h"
#include "store/text_helpers.h"

namespace zel {
namespace {

constexpr std::string_view kAwardOrder = " ORDER BY Award, Won DESC, Category, Year";

// A person's name as a LIKE pattern that matches it literally: the pattern characters a name may
// hold ("*", "?", "#", "[") stand in brackets, the engine's way of matching one literally.
std::string LiteralLikeText(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '*' || c == '?' || c == '#' || c == '[') {
      out += '[';
      out += c;
      out += ']';
    } else {
      out += c;
    }
  }
  return out;
}

// The award year of a query as a number: a whole number given as a number or as its decimal text.
// Anything else is a type mismatch, so no text of the caller ever reaches the statement.
int32_t WholeYear(const Variant& year) {
  if (year.IsString()) {
    const std::string text = Trim(year.ToText());
    const std::string_view digits =
        !text.empty() && text[0] == '-' ? std::string_view(text).substr(1) : std::string_view(text);
    if (!IsAsciiDigits(digits)) Raise(errc::kTypeMismatch);
    return Variant(text).ToLong();
  }
  if (!year.IsNumeric() || year.type() == VarType::kBoolean) Raise(errc::kTypeMismatch);
  const double value = year.ToDouble();
  if (value != std::floor(value)) Raise(errc::kTypeMismatch);
  return year.ToLong();
}

std::shared_ptr<ZelAwards> MovieAwardsOf(ZelDatabase& database, std::string_view title,
                                         int16_t production_year) {
  std::string sql = "SELECT * FROM Awards WHERE MovieTitle = '" + QuoteSql(title) + "'";
  if (production_year != 0) {
    const int32_t year = production_year;
    const std::string window =
        "(Year BETWEEN " + std::to_string(year - 1) + " AND " + std::to_string(year + 2) + ")";
    if (State().active_db_schema < 80) {
      sql += " AND (" + window + " OR Year = 0)";
    } else {
      sql += " AND (((MovieYear = " + std::to_string(year) + ") OR (" + window +
             " AND (MovieYear IS NULL OR MovieYear = 0 OR Year = MovieYear)) OR Year = 0))";
    }
  }
  sql += kAwardOrder;
  auto records = database.DbOpenRecordSet(sql);
  return AwardsFromRecords(*records);
}

}  // namespace

const ClassInfo& ZelAward::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelAward>("ZelAward")
          .Creatable()
          .WithReflection(Reflection::kPlain)
          .Property("Award", &ZelAward::Award, &ZelAward::SetAward)
          .Property("Year", &ZelAward::Year, &ZelAward::SetYear)
          .Property("MovieYear", &ZelAward::MovieYear, &ZelAward::SetMovieYear)
          .Property("Category", &ZelAward::Category, &ZelAward::SetCategory)
          .Property("MovieTitle", &ZelAward::MovieTitle, &ZelAward::SetMovieTitle)
          .Property("HasWon", &ZelAward::HasWon, &ZelAward::SetHasWon)
          .Property("Nominee", &ZelAward::Nominee, &ZelAward::SetNominee)
          .Method("UpdateAward", &ZelAward::UpdateAward)
          .Build();
  return info;
}

void ZelAward::UpdateAward() {
  Raise(errc::kUpdateAwardNotImplemented, "Update Award not implemented");
}

const ClassInfo& ZelAwards::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelAwards>("ZelAwards")
          .Creatable()
          .Get("Count", &ZelAwards::Count)
          .Method("Item", &ZelAwards::Item, {Param("vntIndexKey")})
          .Default()
          .Method("Remove", &ZelAwards::Remove, {Param("vntIndexKey")})
          .Method("RemoveAll", &ZelAwards::RemoveAll)
          .Get("NewEnum", &ZelAwards::NewEnum)
          .Enumerator()
          .Method("AddAward", &ZelAwards::AddAward, {Param("Award")})
          .Method("Add", &ZelAwards::Add,
                  {Param("Award"), Param("Category"), Param("Year"), Param("MovieTitle"),
                   Param("HasWon"), Param("Nominee")})
          .Build();
  return info;
}

std::shared_ptr<ZelAward> ZelAwards::AddAward(std::shared_ptr<ZelAward> award) {
  AddExisting(award);
  return award;
}

std::shared_ptr<ZelAward> ZelAwards::Add(std::string award, std::string category, int16_t year,
                                         std::string movie_title, bool has_won,
                                         std::string nominee) {
  auto item = std::make_shared<ZelAward>();
  item->SetNominee(std::move(nominee));
  item->SetAward(std::move(award));
  item->SetYear(year);
  item->SetCategory(std::move(category));
  item->SetHasWon(has_won);
  item->SetMovieTitle(std::move(movie_title));
  AddExisting(item);
  return item;
}

std::shared_ptr<ZelAwards> AwardsFromRecords(store::RecordSet& records) {
  const int16_t schema = State().active_db_schema;
  auto awards = std::make_shared<ZelAwards>();
  for (; !records.Eof(); records.MoveNext()) {
    auto award = std::make_shared<ZelAward>();
    award->SetAward(records.Value("Award").ToTextOrEmpty());
    award->SetYear(records.Value("Year").ToInteger());
    award->SetCategory(records.Value("Category").ToTextOrEmpty());
    award->SetMovieTitle(records.Value("MovieTitle").ToTextOrEmpty());
    const Variant won = records.Value("Won");
    if (schema < 76) {
      award->SetHasWon(ToLower(won.ToTextOrEmpty()) == "x");
    } else {
      // A yes/no column is never empty in the engine's own files; a row written by another tool
      // without the flag reads as not won.
      award->SetHasWon(!won.IsNull() && won.ToBool());
    }
    award->SetNominee(records.Value("Nominee").ToTextOrEmpty());
    if (schema >= 80) {
      const Variant movie_year = records.Value("MovieYear");
      if (!movie_year.IsNull()) award->SetMovieYear(movie_year.ToInteger());
    }
    awards->AddAward(award);
  }
  return awards;
}

// ZelDatabase's award members live here, beside the classes they load and save.

std::shared_ptr<ZelAwards> ZelDatabase::Awards() {
  if (!awards_) {
    auto records = DbOpenRecordSet("SELECT * FROM Awards ORDER BY Award, Category");
    awards_ = AwardsFromRecords(*records);
  }
  return awards_;
}

void ZelDatabase::SetAwards(std::shared_ptr<ZelAwards> awards) { awards_ = std::move(awards); }

void ZelDatabase::UpdateAwards() {
  if (!awards_) return;
  const int16_t schema = State().active_db_schema;
  store::WriteScope scope(*connection_);
  DbExecute("DELETE FROM Awards");
  auto records = DbOpenRecordSet("SELECT * FROM Awards");
  for (const auto& award : awards_->All()) {
    records->AddNew();
    records->SetValue("Award", Variant(award->Award()));
    records->SetValue("Year", Variant(award->Year()));
    records->SetValue("MovieTitle", Variant(award->MovieTitle()));
    if (schema >= 80) records->SetValue("MovieYear", Variant(award->MovieYear()));
    records->SetValue("Category", Variant(award->Category()));
    records->SetValue("Nominee", Variant(award->Nominee()));
    // Older files keep the flag as a mark, and the oldest a checksum of the row; both are written
    // the way the award file import writes them, so a saved row reads back as it was.
    const std::string won_mark = award->HasWon() ? "X" : "";
    if (schema < 76) {
      records->SetValue("Won", Variant(won_mark));
    } else {
      records->SetValue("Won", Variant(award->HasWon()));
    }
    if (schema < 77) {
      records->SetValue(
          "AwardID",
          Variant(AwardId(
              std::to_string(award->Year()), award->Award(), award->MovieTitle(), award->Category(),
              schema < 76 ? won_mark : ToUpper(BoolText(award->HasWon())), award->Nominee())));
    }
    records->Update();
  }
  scope.Commit();
}

std::shared_ptr<ZelAwards> ZelDatabase::GetMovieAwards(std::string_view original_title,
                                                       int16_t production_year) {
  auto awards = MovieAwardsOf(*this, original_title, production_year);
  const size_t colon = original_title.rfind(':');
  if (awards->empty() && colon != std::string_view::npos) {
    awards = MovieAwardsOf(*this, Trim(original_title.substr(0, colon)), production_year);
  }
  return awards;
}

std::shared_ptr<ZelAwards> ZelDatabase::GetPersonAwards(std::string_view name) {
  auto records = DbOpenRecordSet("SELECT * FROM Awards WHERE Nominee LIKE '*" +
                                 QuoteSql(LiteralLikeText(name)) + "*'" + std::string(kAwardOrder));
  return AwardsFromRecords(*records);
}

std::shared_ptr<ZelAwards> ZelDatabase::GetAwardByYear(std::string_view award_name,
                                                       const Variant& year) {
  const int32_t whole_year = WholeYear(year);
  auto records = DbOpenRecordSet("SELECT * FROM Awards WHERE Award = '" + QuoteSql(award_name) +
                                 "' AND Year = " + std::to_string(whole_year) +
                                 " ORDER BY Award, Won DESC, Category, MovieTitle");
  return AwardsFromRecords(*records);
}

}  // namespace zel
