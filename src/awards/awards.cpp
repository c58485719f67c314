#include "awards/awards.h"

#include <cmath>
#include <unordered_map>

#include "awards/nominees.h"
#include "frame/member_table.h"
#include "frame/text.h"
#include "store/catalogue_file.h"
#include "store/text_helpers.h"

namespace zel {
namespace {

constexpr std::string_view kAwardOrder = " ORDER BY Award, Won DESC, Category, Year";
// Every award query selects the row identifier too, so an award remembers its row: a list of them
// given to ZelDatabase.Awards and written back does not add its rows a second time.
constexpr std::string_view kSelectRows = "SELECT rowid AS ZelRow, * ";

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

std::shared_ptr<ZelAwards> MovieAwardsOf(store::CatalogueFile& database, std::string_view title,
                                         int16_t production_year) {
  std::string sql =
      std::string(kSelectRows) + "FROM Awards WHERE MovieTitle = '" + QuoteSql(title) + "'";
  if (production_year != 0) {
    const int32_t year = production_year;
    const std::string window =
        "(Year BETWEEN " + std::to_string(year - 1) + " AND " + std::to_string(year + 2) + ")";
    if (database.SchemaNumber() < 80) {
      sql += " AND (" + window + " OR Year = 0)";
    } else {
      sql += " AND (((MovieYear = " + std::to_string(year) + ") OR (" + window +
             " AND (MovieYear IS NULL OR MovieYear = 0 OR Year = MovieYear)) OR Year = 0))";
    }
  }
  sql += kAwardOrder;
  auto records = database.DbOpenRecordSet(sql);
  return AwardsFromRecords(database, *records);
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

ZelAward::Values ZelAward::Current() const {
  return {award_, category_, movie_title_, nominee_, year_, movie_year_, has_won_};
}

void ZelAward::MarkStored(int64_t row) {
  stored_row_ = row;
  stored_ = Current();
}

bool ZelAward::ChangedSinceStored() const { return !(Current() == stored_); }

bool ZelAward::MatchesStored(const ZelAward& row) const { return row.Current() == stored_; }

bool ZelAward::StoredAs(std::string_view award, std::optional<int16_t> year) const {
  return stored_row_ != 0 && EqualsFolded(stored_.award, award) && (!year || stored_.year == *year);
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

void ZelAwards::Delete(Object& item) {
  auto award = std::static_pointer_cast<ZelAward>(item.shared_from_this());
  if (award->StoredRow() != 0) removed_.push_back(std::move(award));
}

std::shared_ptr<ZelAwards> AwardsFromRecords(store::RecordSet& records) {
  return AwardsFromRecords(store::RequireActiveCatalogue(), records);
}

std::shared_ptr<ZelAwards> AwardsFromRecords(store::CatalogueFile& database,
                                             store::RecordSet& records) {
  const int16_t schema = database.SchemaNumber();
  bool has_row = false;
  for (int32_t i = 0; i < records.FieldCount(); ++i) {
    if (records.FieldName(i) == "ZelRow") has_row = true;
  }
  auto awards = std::make_shared<ZelAwards>();
  for (; !records.Eof(); records.MoveNext()) {
    auto award = std::make_shared<ZelAward>();
    award->SetAward(records.Value("Award").ToTextOrEmpty());
    award->SetYear(Int16Column(records.Value("Year")));
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
    if (schema >= 80) award->SetMovieYear(Int16Column(records.Value("MovieYear")));
    award->catalogue().Bind(database);
    if (has_row) award->MarkStored(records.Value("ZelRow").ToLong());
    awards->AddAward(award);
  }
  return awards;
}

namespace {

// Assigns the columns of one award row in the form the catalogue's schema keeps them.
void WriteAwardColumns(store::RecordSet& records, const ZelAward& award, int16_t schema) {
  records.SetValue("Award", Variant(award.Award()));
  records.SetValue("Year", Variant(award.Year()));
  records.SetValue("MovieTitle", Variant(award.MovieTitle()));
  if (schema >= 80) records.SetValue("MovieYear", Variant(award.MovieYear()));
  records.SetValue("Category", Variant(award.Category()));
  records.SetValue("Nominee", Variant(award.Nominee()));
  // Older files keep the flag as a mark, and the oldest a checksum of the row; both are written
  // the way the award file import writes them, so a saved row reads back as it was.
  const std::string won_mark = award.HasWon() ? "X" : "";
  if (schema < 76) {
    records.SetValue("Won", Variant(won_mark));
  } else {
    records.SetValue("Won", Variant(award.HasWon()));
  }
  if (schema < 77) {
    records.SetValue(
        "AwardID", Variant(AwardId(std::to_string(award.Year()), award.Award(), award.MovieTitle(),
                                   award.Category(), won_mark, award.Nominee())));
  }
}

}  // namespace

namespace awards {

using List = store::CatalogueFile::List;

std::shared_ptr<ZelAwards> Awards(store::CatalogueFile& database) {
  return database.LoadList<ZelAwards>(List::kAwards, [](store::CatalogueFile& file) {
    auto records =
        file.DbOpenRecordSet(std::string(kSelectRows) + "FROM Awards ORDER BY Award, Category");
    return AwardsFromRecords(file, *records);
  });
}

std::shared_ptr<ZelAwards> CachedAwards(store::CatalogueFile& database) {
  return database.LoadedAs<ZelAwards>(List::kAwards);
}

void UpdateAwards(store::CatalogueFile& database) {
  const std::shared_ptr<ZelAwards> awards = CachedAwards(database);
  if (!awards) return;
  const int16_t schema = database.SchemaNumber();
  // The rows as they are now: an award counts as stored only while its row still holds what it
  // was read as. A row another program changed or deleted, or that a rolled-back write never
  // kept, is neither skipped nor deleted on the award's word.
  std::unordered_map<int64_t, std::shared_ptr<ZelAward>> rows;
  {
    auto records = database.DbOpenRecordSet(std::string(kSelectRows) + "FROM Awards");
    for (const auto& row : AwardsFromRecords(database, *records)->All())
      rows[row->StoredRow()] = row;
  }
  const auto stored_here = [&](const ZelAward& award) {
    if (award.StoredRow() == 0 || award.catalogue().Peek() != &database) return false;
    auto row = rows.find(award.StoredRow());
    return row != rows.end() && award.MatchesStored(*row->second);
  };
  auto removed = awards->TakeRemoved();
  try {
    store::WriteScope scope(database.connection());
    for (const auto& award : removed) {
      if (stored_here(*award)) {
        database.DbExecute("DELETE FROM Awards WHERE rowid = " +
                           std::to_string(award->StoredRow()));
      }
    }
    std::vector<std::pair<std::shared_ptr<ZelAward>, int64_t>> written;
    for (const auto& award : awards->All()) {
      if (stored_here(*award)) {
        if (!award->ChangedSinceStored()) continue;
        auto row = database.DbOpenRecordSet("SELECT * FROM Awards WHERE rowid = " +
                                            std::to_string(award->StoredRow()));
        if (row->RecordCount() != 0) {
          row->Edit();
          WriteAwardColumns(*row, *award, schema);
          row->Update();
          written.emplace_back(award, award->StoredRow());
          continue;
        }
      }
      auto row = database.DbOpenRecordSet("SELECT * FROM Awards WHERE rowid = 0");
      row->AddNew();
      WriteAwardColumns(*row, *award, schema);
      row->Update();
      written.emplace_back(award,
                           database.DbOpenRecordSet("SELECT max(rowid) AS ZelRow FROM Awards")
                               ->Value("ZelRow")
                               .ToLong());
    }
    scope.Commit();
    for (const auto& [award, row] : written) {
      award->catalogue().Bind(database);
      award->MarkStored(row);
    }
  } catch (...) {
    // Nothing was written: the removals are still to be made by the next write.
    for (auto& award : removed) awards->KeepRemoved(std::move(award));
    throw;
  }
}

std::shared_ptr<ZelAwards> GetMovieAwards(store::CatalogueFile& database,
                                          std::string_view original_title,
                                          int16_t production_year) {
  auto awards = MovieAwardsOf(database, original_title, production_year);
  const size_t colon = original_title.rfind(':');
  if (awards->empty() && colon != std::string_view::npos) {
    awards = MovieAwardsOf(database, Trim(original_title.substr(0, colon)), production_year);
  }
  return awards;
}

std::shared_ptr<ZelAwards> GetPersonAwards(store::CatalogueFile& database, std::string_view name) {
  auto records =
      database.DbOpenRecordSet(std::string(kSelectRows) + "FROM Awards WHERE Nominee LIKE '*" +
                               QuoteSql(LiteralLikeText(name)) + "*'" + std::string(kAwardOrder));
  return AwardsFromRecords(database, *records);
}

std::shared_ptr<ZelAwards> GetAwardByYear(store::CatalogueFile& database,
                                          std::string_view award_name, const Variant& year) {
  const int32_t whole_year = WholeYear(year);
  auto records =
      database.DbOpenRecordSet(std::string(kSelectRows) + "FROM Awards WHERE Award = '" +
                               QuoteSql(award_name) + "' AND Year = " + std::to_string(whole_year) +
                               " ORDER BY Award, Won DESC, Category, MovieTitle");
  return AwardsFromRecords(database, *records);
}

}  // namespace awards

}  // namespace zel
