#include "catalogue_tables.h"

#include <charconv>
#include <map>
#include <ostream>
#include <set>

#include "catalogue/database.h"
#include "frame/text.h"
#include "output.h"
#include "people/namesakes.h"
#include "store/connection.h"
#include "tv/episode_derivation.h"
#include "web/sql.h"

namespace zel::cli {
namespace {

bool IsNoDate(const Variant& value) {
  return value.type() == VarType::kDate && value.ToDate() == Date::Zero();
}

std::string CsvText(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return {};
    case VarType::kBoolean:
      return value.ToBool() ? "true" : "false";
    case VarType::kDouble:
    case VarType::kCurrency: {
      char buffer[32];
      const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value.ToDouble());
      return error == std::errc() ? std::string(buffer, end) : value.ToText();
    }
    case VarType::kDate:
      return IsNoDate(value) ? std::string() : FormatDate(value.ToDate());
    default:
      return CellText(value);
  }
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  return "\"" + ReplaceAll(text, "\"", "\"\"") + "\"";
}

class Csv : public TableSink {
 public:
  explicit Csv(std::ostream& out) : out_(out) {}
  void Begin(const std::vector<std::string>& header) override {
    out_ << "\xEF\xBB\xBF";
    Line(header);
  }
  void Add(const Row& row) override {
    std::vector<std::string> cells;
    cells.reserve(row.size());
    for (const Variant& value : row) cells.push_back(CsvText(value));
    Line(cells);
  }
  void End() override { out_.flush(); }

 private:
  void Line(const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) out_ << (i ? "," : "") << CsvField(cells[i]);
    out_ << "\r\n";
  }
  std::ostream& out_;
};

class JsonRows : public TableSink {
 public:
  explicit JsonRows(std::ostream& out) : out_(out) {}
  void Begin(const std::vector<std::string>& header) override {
    header_ = header;
    out_ << "[";
  }
  void Add(const Row& row) override {
    Json object = Json::object();
    for (size_t i = 0; i < row.size(); ++i) {
      object[header_[i]] = IsNoDate(row[i]) ? Json(nullptr) : ToJson(row[i]);
    }
    out_ << (first_ ? "\n  " : ",\n  ") << object.dump();
    first_ = false;
  }
  void End() override { out_ << (first_ ? "]\n" : "\n]\n") << std::flush; }

 private:
  std::ostream& out_;
  std::vector<std::string> header_;
  bool first_ = true;
};

// A yes/no value of any schema: a boolean, or in files before schema 76 a text ("yes", "True",
// "X" for a won award).
Variant Flag(const Variant& value) {
  if (value.type() == VarType::kBoolean) return value;
  if (value.IsString()) {
    const std::string text = ToLower(Trim(value.ToText()));
    return Variant(text == "yes" || text == "true" || text == "x" || text == "-1" || text == "1");
  }
  return Variant(value.IsNumeric() && value.ToBool());
}

bool HasColumn(ZelDatabase& database, std::string_view table, std::string_view column) {
  const store::TableDef* definition = database.connection().FindTable(table);
  if (!definition) return false;
  for (const store::ColumnDef& candidate : definition->columns) {
    if (EqualsIgnoreCase(candidate.name, column)) return true;
  }
  return false;
}

// `alias.column` when the file's table has the column (older files lack some), else NULL.
std::string ColumnOrNull(ZelDatabase& database, std::string_view table, std::string_view alias,
                         std::string_view column) {
  return HasColumn(database, table, column) ? std::string(alias) + "." + std::string(column)
                                            : "NULL AS " + std::string(column);
}

void QueryRows(ZelDatabase& database, const std::string& sql,
               const std::function<void(Row&)>& each) {
  auto records = database.DbOpenRecordSet(sql);
  const int32_t columns = records->FieldCount();
  for (; !records->Eof(); records->MoveNext()) {
    Row row;
    row.reserve(static_cast<size_t>(columns));
    for (int32_t c = 0; c < columns; ++c) row.push_back(records->ValueAt(c));
    each(row);
  }
}

// Per profile, the texts of one list table joined by "; " in their stored order.
std::map<std::string, std::string> JoinedLists(ZelDatabase& database, const std::string& sql) {
  std::map<std::string, std::string> lists;
  QueryRows(database, sql, [&](Row& row) {
    std::string& list = lists[row[0].ToTextOrEmpty()];
    list += (list.empty() ? "" : "; ") + row[1].ToTextOrEmpty();
  });
  return lists;
}

void WriteProfiles(ZelDatabase& database, TableSink& sink) {
  const auto genres = JoinedLists(database, "SELECT ProfileID, Genre FROM Genres ORDER BY rowid");
  const auto studios =
      JoinedLists(database, "SELECT ProfileID, Studio FROM Studios ORDER BY rowid");
  const auto tags = JoinedLists(
      database, "SELECT ProfileID, FullyQualifiedName FROM Tags ORDER BY ProfileID, TagName");
  auto lookup = [](const std::map<std::string, std::string>& lists, const std::string& id) {
    const auto found = lists.find(id);
    return Variant(found == lists.end() ? std::string() : found->second);
  };
  sink.Begin({"ProfileID",
              "Title",
              "OriginalTitle",
              "SortTitle",
              "ProductionYear",
              "Medium",
              "CollectionType",
              "CollectionNumber",
              "UPC",
              "ReleaseDate",
              "RunningTime",
              "Rating",
              "RatingSystem",
              "CountryOfOrigin",
              "Locality",
              "CaseType",
              "Genres",
              "Studios",
              "Tags",
              "PurchaseDate",
              "PurchasePrice",
              "PurchaseCurrencyID",
              "PurchasePlace",
              "SRPValue",
              "SRPCurrencyID",
              "UserID",
              "LoanedDue",
              "LastEdited",
              "Overview",
              "Notes"});
  QueryRows(database,
            "SELECT p.ProfileID, p.Title, p.OriginalTitle, p.SortTitle, p.ProdYear, p.Medium, "
            "p.ColType, p.ColNo, p.UPC, p.Released, p.Runtime, p.Rating, p.RatingSystem, "
            "p.CountryOfOrigin, p.Locality, p.CaseType, pu.PurchaseDate, pu.Price, "
            "pu.CurrencyID, pu.PurchasePlace, s.SRPValue, s.CurrencyID, l.UserID, l.LoanedDue, "
            "p.LastEdited, p.Overview, p.Notes FROM Profiles AS p LEFT JOIN PurchaseInfo AS pu "
            "ON pu.ProfileID = p.ProfileID LEFT JOIN SRPInfo AS s ON s.ProfileID = p.ProfileID "
            "LEFT JOIN LoanInfo AS l ON l.ProfileID = p.ProfileID ORDER BY p.SortTitle, "
            "p.ProfileID",
            [&](Row& row) {
              const std::string id = row[0].ToTextOrEmpty();
              const auto lists = {lookup(genres, id), lookup(studios, id), lookup(tags, id)};
              row.insert(row.begin() + 16, lists.begin(), lists.end());
              sink.Add(row);
            });
  sink.End();
}

void WriteCredits(ZelDatabase& database, TableSink& sink) {
  sink.Begin({"ProfileID", "Title", "ProductionYear", "IsCast", "Position", "Name", "CommonName",
              "Role", "BirthYear", "IsVoice", "IsUncredited", "IsCreditOnly"});
  ForEachPage(database,
              "c.ProfileID, p.Title, p.ProdYear, c.IsCast, c.Position, c.Name, "
              "COALESCE(a.CommonName, c.Name), c.Role, c.BirthYear, c.IsVoice, c.IsUncredited, " +
                  ColumnOrNull(database, "CastCrew", "c", "IsCreditOnly"),
              "CastCrew AS c LEFT JOIN Profiles AS p ON p.ProfileID = c.ProfileID LEFT JOIN "
              "Alias AS a ON a.AliasName = c.Name",
              web::NotDivider("c"), "c.rowid", [&](const Row& credit) {
                Row row = credit;
                for (size_t flag : {3, 9, 10, 11}) row[flag] = Flag(row[flag]);
                sink.Add(row);
              });
  sink.End();
}

// A person is a common name, and among namesakes a birth year (people/namesakes.h): every credited
// name that is an alias counts for its common name. Credits of an episode derived from a title's
// episode headings are the title's credits again: its episode counts, its credits do not.
void WritePeople(ZelDatabase& database, TableSink& sink) {
  std::map<std::string, std::string> common_of;  // folded alias name -> common name
  QueryRows(database, "SELECT AliasName, CommonName FROM Alias",
            [&](Row& row) { common_of[ToLower(row[0].ToTextOrEmpty())] = row[1].ToTextOrEmpty(); });
  std::set<std::string> derived;  // folded identifiers of derived episodes
  QueryRows(
      database,
      "SELECT ProfileID FROM MetaInfo WHERE InfoName = '" + std::string(tv::kDerivedEntry) + "'",
      [&](Row& row) { derived.insert(ToLower(row[0].ToTextOrEmpty())); });
  const auto common = [&](const std::string& credited) {
    const auto alias = common_of.find(ToLower(credited));
    return alias == common_of.end() ? credited : alias->second;
  };
  const auto year_of = [](const Variant& value) { return value.IsNull() ? 0 : value.ToLong(); };
  // The known birth years of every common name first, for the rule on credits without one.
  people::Namesakes namesakes;
  for (const char* table : {"CastCrew", "TVCastCrew"}) {
    QueryRows(database,
              "SELECT DISTINCT c.Name, c.BirthYear FROM " + std::string(table) + " AS c WHERE " +
                  web::NotDivider("c"),
              [&](Row& row) { namesakes.Note(common(row[0].ToTextOrEmpty()), year_of(row[1])); });
  }
  struct Person {
    people::Person person;
    std::set<std::string> names, titles, episodes;
    int32_t cast = 0, crew = 0;
  };
  std::map<std::string, Person> people;  // by folded label
  auto count = [&](const Row& credit, bool episode) {
    const std::string credited = credit[0].ToTextOrEmpty();
    const people::Person person = namesakes.Resolve(common(credited), year_of(credit[3]));
    Person& entry = people[ToLower(people::PersonLabel(person))];
    if (entry.person.common_name.empty()) entry.person = person;
    entry.names.insert(credited);
    const std::string owner = credit[1].ToTextOrEmpty();
    (episode ? entry.episodes : entry.titles).insert(owner);
    if (episode && derived.contains(ToLower(owner))) return;
    ++(Flag(credit[2]).ToBool() ? entry.cast : entry.crew);
  };
  // List headings are stored as credits and are nobody's.
  ForEachPage(database, "c.Name, c.ProfileID, c.IsCast, c.BirthYear", "CastCrew AS c",
              web::NotDivider("c"), "c.rowid", [&](const Row& credit) { count(credit, false); });
  ForEachPage(database, "c.Name, c.EpisodeID, c.IsCast, c.BirthYear", "TVCastCrew AS c",
              web::NotDivider("c"), "c.rowid", [&](const Row& credit) { count(credit, true); });
  sink.Begin({"CommonName", "BirthYear", "CouldBe", "Names", "Titles", "Episodes", "CastCredits",
              "CrewCredits"});
  for (const auto& [key, entry] : people) {
    std::string names, could_be;
    for (const std::string& name : entry.names) names += (names.empty() ? "" : "; ") + name;
    for (int32_t year : entry.person.could_be) {
      could_be += (could_be.empty() ? "" : "; ") + std::to_string(year);
    }
    sink.Add({Variant(entry.person.common_name),
              entry.person.birth_year == 0 ? Variant::Null() : Variant(entry.person.birth_year),
              could_be.empty() ? Variant::Null() : Variant(could_be), Variant(names),
              Variant(static_cast<int32_t>(entry.titles.size())),
              Variant(static_cast<int32_t>(entry.episodes.size())), Variant(entry.cast),
              Variant(entry.crew)});
  }
  sink.End();
}

// A table that is one query, with the flags at `flags` read as booleans in any schema.
TableView QueryView(std::string name, std::string description, std::vector<std::string> header,
                    std::function<std::string(ZelDatabase&)> sql, std::vector<size_t> flags = {}) {
  return {std::move(name), std::move(description),
          [header = std::move(header), sql = std::move(sql), flags = std::move(flags)](
              ZelDatabase& database, TableSink& sink) {
            sink.Begin(header);
            QueryRows(database, sql(database), [&](Row& row) {
              for (size_t flag : flags) row[flag] = Flag(row[flag]);
              sink.Add(row);
            });
            sink.End();
          }};
}

}  // namespace

std::unique_ptr<TableSink> CsvSink(std::ostream& out) { return std::make_unique<Csv>(out); }
std::unique_ptr<TableSink> JsonSink(std::ostream& out) { return std::make_unique<JsonRows>(out); }

void ForEachPage(ZelDatabase& database, const std::string& columns, const std::string& from,
                 const std::string& where, const std::string& key,
                 const std::function<void(const Row&)>& row) {
  constexpr int kPage = 2000;
  int64_t last = 0;  // rowids start at 1
  while (true) {
    auto records = database.DbOpenRecordSet(
        "SELECT " + key + " AS RowKey, " + columns + " FROM " + from + " WHERE " +
        (where.empty() ? "" : "(" + where + ") AND ") + key + " > " + std::to_string(last) +
        " ORDER BY " + key + " LIMIT " + std::to_string(kPage));
    const int32_t count = records->FieldCount();
    int rows = 0;
    for (; !records->Eof(); records->MoveNext(), ++rows) {
      last = static_cast<int64_t>(records->ValueAt(0).ToDouble());
      Row values;
      values.reserve(static_cast<size_t>(count - 1));
      for (int32_t c = 1; c < count; ++c) values.push_back(records->ValueAt(c));
      row(values);
    }
    if (rows < kPage) return;
  }
}

const std::vector<TableView>& TableViews() {
  static const std::vector<TableView> views = {
      {"profiles",
       "one row per title: its fields, genres, studios and tags, purchase, price and loan",
       WriteProfiles},
      {"credits", "one row per cast or crew credit of a title, with the common name", WriteCredits},
      {"people",
       "one row per person (common name; namesakes apart by birth year): credited names, titles, "
       "episodes and credit counts",
       WritePeople},
      QueryView("loans", "one row per title on loan, with the borrower and the due date",
                {"ProfileID", "Title", "UserID", "LoanedDue", "PhoneNumber", "EmailAddress"},
                [](ZelDatabase&) {
                  return "SELECT l.ProfileID, p.Title, l.UserID, l.LoanedDue, u.PhoneNumber, "
                         "u.EmailAddress FROM LoanInfo AS l LEFT JOIN Profiles AS p ON "
                         "p.ProfileID = l.ProfileID LEFT JOIN Users AS u ON u.UserID = l.UserID "
                         "ORDER BY l.LoanedDue, p.SortTitle";
                }),
      QueryView("purchases", "one row per purchase: date, price, currency and place",
                {"ProfileID", "Title", "PurchaseDate", "Price", "CurrencyID", "PurchasePlace"},
                [](ZelDatabase&) {
                  return "SELECT pu.ProfileID, p.Title, pu.PurchaseDate, pu.Price, "
                         "pu.CurrencyID, pu.PurchasePlace FROM PurchaseInfo AS pu LEFT JOIN "
                         "Profiles AS p ON p.ProfileID = pu.ProfileID ORDER BY pu.PurchaseDate, "
                         "p.SortTitle";
                }),
      QueryView("awards", "one row per award nomination",
                {"Award", "Year", "Category", "MovieTitle", "MovieYear", "Nominee", "HasWon"},
                [](ZelDatabase& database) {
                  return "SELECT Award, Year, Category, MovieTitle, " +
                         ColumnOrNull(database, "Awards", "Awards", "MovieYear") +
                         ", Nominee, Won FROM Awards ORDER BY Award, Year, Category, MovieTitle";
                },
                {6}),
      QueryView("episodes", "one row per television episode, with its series",
                {"EpisodeID", "ShowID", "SeriesTitle", "Season", "Number", "Title", "OriginalTitle",
                 "Airdate", "RunningTime", "Rating"},
                [](ZelDatabase&) {
                  return "SELECT e.EpisodeID, e.SeriesID, s.Title, e.Season, e.EpisodeNo, "
                         "e.EpisodeTitle, e.EpisodeOriginalTitle, e.Airdate, e.Runtime, e.Rating "
                         "FROM Episodes AS e LEFT JOIN TVSeries AS s ON s.SeriesID = e.SeriesID "
                         "ORDER BY s.SortTitle, e.SeriesID, e.Season, e.EpisodeNo";
                }),
  };
  return views;
}

const TableView* FindTableView(std::string_view name) {
  for (const TableView& view : TableViews()) {
    if (EqualsIgnoreCase(view.name, name)) return &view;
  }
  return nullptr;
}

}  // namespace zel::cli
