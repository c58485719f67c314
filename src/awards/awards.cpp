#include "awards/awards.h"

#include <cmath>
#include <unordered_map>

#include "awards/nominees.h"
#include "frame/member_table.h"
#include "frame/text.h"
#include "store/catalogue_file.h"
#include "store/tables.h"

namespace zel {

namespace {

constexpr std::string_view kAwardOrder = "t.\"Award\", t.\"Won\" DESC, t.\"Category\", t.\"Year\"";

std::vector<store::StoredValue> Params(std::initializer_list<store::StoredValue> values) {
  return values;
}

store::StoredValue Text(std::string_view text) {
  return store::StoredValue::Text(std::string(text));
}
store::StoredValue Number(int64_t value) { return store::StoredValue::Integer(value); }

// A person's name as a LIKE pattern that matches it literally anywhere in a text.
std::string ContainsPattern(std::string_view name) {
  std::string out = "%";
  for (char c : name) {
    if (c == '%' || c == '_' || c == '\\') out += '\\';
    out += c;
  }
  return out + "%";
}

// The award year of a query as a number: a whole number given as a number or as its decimal text.
// Anything else is a type mismatch, so no text of the caller ever reaches the statement.
int64_t WholeYear(const Variant& year) {
  if (year.IsString()) {
    const std::string text = Trim(year.ToText());
    const std::string_view digits =
        !text.empty() && text[0] == '-' ? std::string_view(text).substr(1) : std::string_view(text);
    if (!IsAsciiDigits(digits)) Raise(errc::kTypeMismatch);
    return Variant(text).ToLongLong();
  }
  if (!year.IsNumeric() || year.type() == VarType::kBoolean) Raise(errc::kTypeMismatch);
  const double value = year.ToDouble();
  if (value != std::floor(value)) Raise(errc::kTypeMismatch);
  return year.ToLongLong();
}

std::shared_ptr<ZelAwards> MovieAwardsOf(store::CatalogueFile& database, std::string_view title,
                                         int64_t year) {
  std::string where = "t.\"MovieTitle\" = ?";
  std::vector<store::StoredValue> params = {Text(title)};
  if (year != 0) {
    const std::string window = "(t.\"Year\" BETWEEN ? AND ?)";
    if (database.SchemaNumber() < store::schema::kAwardFilmYear) {
      where += " AND (" + window + " OR t.\"Year\" = 0)";
      params.insert(params.end(), {Number(year - 1), Number(year + 2)});
    } else {
      where += " AND ((t.\"MovieYear\" = ?) OR (" + window +
               " AND (t.\"MovieYear\" IS NULL OR t.\"MovieYear\" = 0 OR t.\"Year\" = "
               "t.\"MovieYear\")) OR t.\"Year\" = 0)";
      params.insert(params.end(), {Number(year), Number(year - 1), Number(year + 2)});
    }
  }
  return LoadAwards(database, where, params, kAwardOrder);
}

// The checksum column of files before schema 77, as the award file import writes it.
store::StoredValue AwardChecksum(const ZelAward& award) {
  return Number(AwardId(std::to_string(award.Year()), award.Award(), award.MovieTitle(),
                        award.Category(), award.HasWon() ? "X" : "", award.Nominee()));
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

const store::RecordShape<ZelAward>& ZelAward::Shape() {
  using A = ZelAward;
  static const store::RecordShape<A> shape(
      store::Table::kAwards,
      {store::FieldOf("Award", &A::award_), store::FieldOf("Year", &A::year_),
       store::FieldOf("Category", &A::category_), store::FieldOf("MovieTitle", &A::movie_title_),
       store::FieldOf("HasWon", &A::has_won_), store::FieldOf("Nominee", &A::nominee_),
       store::FieldOf("MovieYear", &A::movie_year_)});
  return shape;
}

void ZelAward::ReadRow(store::CatalogueFile& database, store::RowImage image) {
  Shape().Read(*this, image, database.SchemaNumber());
  row_ = std::move(image);
  catalogue_.Bind(database);
}

bool ZelAward::StoredAs(std::string_view award, std::optional<int64_t> year) const {
  if (!row_.Stored()) return false;
  const store::TableLayout& layout = Shape().layout();
  const size_t award_column = layout.IndexOf("Award");
  const size_t year_column = layout.IndexOf("Year");
  return EqualsFolded(
             store::ReadColumn(layout.columns[award_column], row_.values[award_column]).ToText(),
             award) &&
         (!year ||
          store::ReadColumn(layout.columns[year_column], row_.values[year_column]).ToLongLong() ==
              *year);
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

std::shared_ptr<ZelAward> ZelAwards::Add(std::string award, std::string category, int64_t year,
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
  if (award->row().Stored()) removed_.push_back(std::move(award));
}

std::shared_ptr<ZelAwards> LoadAwards(store::CatalogueFile& database, std::string_view where,
                                      const std::vector<store::StoredValue>& params,
                                      std::string_view order) {
  auto awards = std::make_shared<ZelAwards>();
  for (auto& award :
       store::LoadRecords<ZelAward>(database, store::Table::kAwards, where, params, order)) {
    awards->AddAward(award);
  }
  return awards;
}

std::shared_ptr<ZelAwards> AwardsFromRecords(store::RecordSet& records) {
  return AwardsFromRecords(store::RequireActiveCatalogue(), records);
}

std::shared_ptr<ZelAwards> AwardsFromRecords(store::CatalogueFile& database,
                                             store::RecordSet& records) {
  bool has_row = false;
  for (int32_t i = 0; i < records.FieldCount(); ++i) {
    if (records.FieldName(i) == "ZelRow") has_row = true;
  }
  const store::TableLayout& layout = ZelAward::Shape().layout();
  const int16_t schema = database.SchemaNumber();
  auto awards = std::make_shared<ZelAwards>();
  for (; !records.Eof(); records.MoveNext()) {
    if (has_row) {
      for (const auto& award :
           LoadAwards(database, "t.rowid = ?",
                      Params({Number(records.Value("ZelRow").ToLongLong())}), "")
               ->All()) {
        awards->AddAward(award);
      }
      continue;
    }
    // Values without their row: a new award of them.
    store::RowImage image;
    image.values.resize(layout.columns.size());
    for (size_t i = 0; i < layout.columns.size(); ++i) {
      if (!layout.columns[i].In(schema)) continue;
      const Variant value = records.Value(layout.columns[i].name);
      if (!value.IsNull()) image.values[i] = store::WriteColumn(layout.columns[i], value, schema);
    }
    auto award = std::make_shared<ZelAward>();
    ZelAward::Shape().Read(*award, image, schema);
    award->catalogue().Bind(database);
    awards->AddAward(award);
  }
  return awards;
}

namespace awards {

using List = store::CatalogueFile::List;

std::shared_ptr<ZelAwards> Awards(store::CatalogueFile& database) {
  return database.LoadList<ZelAwards>(List::kAwards, [](store::CatalogueFile& file) {
    return LoadAwards(file, "", {}, "t.\"Award\", t.\"Category\"");
  });
}

std::shared_ptr<ZelAwards> CachedAwards(store::CatalogueFile& database) {
  return database.LoadedAs<ZelAwards>(List::kAwards);
}

void UpdateAwards(store::CatalogueFile& database) {
  const std::shared_ptr<ZelAwards> awards = CachedAwards(database);
  if (!awards) return;
  const int16_t schema = database.SchemaNumber();
  const bool checksums = schema < store::schema::kAwardsWithoutId;
  const size_t checksum_column = ZelAward::Shape().layout().IndexOf("AwardID");
  store::RowWriter writer(database, store::Table::kAwards);
  auto removed = awards->TakeRemoved();
  try {
    store::WriteScope scope(database.connection());
    for (const auto& award : removed) {
      if (award->catalogue().Peek() != &database) continue;
      writer.Delete(award->row(), "Award '" + award->Award() + "' of " +
                                      std::to_string(award->Year()) + " for '" +
                                      award->MovieTitle() + "'");
      store::UndoOnRollback(database, award->row(), award);
      award->row() = {};
    }
    for (const auto& award : awards->All()) {
      const std::string what = "Award '" + award->Award() + "' of " +
                               std::to_string(award->Year()) + " for '" + award->MovieTitle() + "'";
      // An award read from another catalogue is new to this one.
      const bool here = award->row().Stored() && award->catalogue().Peek() == &database;
      store::ColumnValues changes =
          ZelAward::Shape().Changes(*award, here ? &award->row() : nullptr, schema);
      if (here && changes.empty()) continue;
      if (checksums) changes.emplace_back(checksum_column, AwardChecksum(*award));
      store::RowImage next = here ? (writer.Update(award->row(), changes, what),
                                     store::RowWriter::Applied(award->row(), changes))
                                  : writer.Insert(changes, what);
      store::UndoOnRollback(database, award->row(), award);
      store::UndoOnRollback(database, award->catalogue(), award);
      award->row() = std::move(next);
      award->catalogue().Bind(database);
    }
    scope.Commit();
  } catch (...) {
    // Nothing was written: the removals are still to be made by the next write.
    for (auto& award : removed) awards->KeepRemoved(std::move(award));
    throw;
  }
}

std::shared_ptr<ZelAwards> GetMovieAwards(store::CatalogueFile& database,
                                          std::string_view original_title,
                                          int64_t production_year) {
  auto awards = MovieAwardsOf(database, original_title, production_year);
  const size_t colon = original_title.rfind(':');
  if (awards->empty() && colon != std::string_view::npos) {
    awards = MovieAwardsOf(database, Trim(original_title.substr(0, colon)), production_year);
  }
  return awards;
}

std::shared_ptr<ZelAwards> GetPersonAwards(store::CatalogueFile& database, std::string_view name) {
  return LoadAwards(database, "t.\"Nominee\" LIKE ? ESCAPE '\\'",
                    Params({Text(ContainsPattern(name))}), kAwardOrder);
}

std::shared_ptr<ZelAwards> GetAwardByYear(store::CatalogueFile& database,
                                          std::string_view award_name, const Variant& year) {
  return LoadAwards(database, "t.\"Award\" = ? AND t.\"Year\" = ?",
                    Params({Text(award_name), Number(WholeYear(year))}),
                    "t.\"Award\", t.\"Won\" DESC, t.\"Category\", t.\"MovieTitle\"");
}

}  // namespace awards

}  // namespace zel
