#include "web/data.h"

#include <algorithm>
#include <deque>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "catalogue/control.h"
#include "frame/collection.h"
#include "frame/text.h"
#include "model/region_codes.h"
#include "people/namesakes.h"
#include "people/person_credits.h"
#include "tv/episode_derivation.h"
#include "tv/series_outline.h"
#include "web/cells.h"
#include "web/covers.h"
#include "web/fold.h"
#include "web/html.h"
#include "web/titles.h"

namespace zel::web {
namespace {

using store::PlainDatabase;
using store::PlainStatement;

// The current row of a statement read by column name, for tables whose columns differ between
// schemas: a column the file lacks reads as empty.
class Row {
 public:
  explicit Row(const PlainStatement& row) : row_(row) {
    const int count = sqlite3_column_count(row.get());
    for (int i = 0; i < count; ++i) at_[ToLower(sqlite3_column_name(row.get(), i))] = i;
  }
  int At(std::string_view name) const {
    const auto found = at_.find(ToLower(name));
    return found == at_.end() ? -1 : found->second;
  }
  std::string Text(std::string_view name) const {
    const int at = At(name);
    return at < 0 ? std::string() : row_.Text(at);
  }
  // A whole number within the range the object model keeps for the column, or 0.
  int64_t Number(std::string_view name, int64_t low = -32768, int64_t high = 32767) const {
    const int at = At(name);
    return at < 0 ? 0 : BoundedAt(row_, at, low, high);
  }
  Json Date(std::string_view name) const {
    const int at = At(name);
    return at < 0 ? Json(nullptr) : DateJson(DateAt(row_, at));
  }
  bool Flag(std::string_view name) const {
    const int at = At(name);
    return at >= 0 && FlagAt(row_, at);
  }
  Json Amount(std::string_view name) const {
    const int at = At(name);
    const auto value = at < 0 ? std::nullopt : NumberAt(row_, at);
    return value ? Json(*value) : Json(nullptr);
  }

 private:
  const PlainStatement& row_;
  std::unordered_map<std::string, int> at_;
};

// Whether a credit row is cast: a yes/no column, or the text "yes" in the oldest files.
bool IsCast(const Row& row) { return row.Flag("IsCast"); }

// Cast or crew of a title or an episode in credit order, the common name of each credited name
// through the Alias table. `episode`: the credits of an episode, which carry the series-regular
// mark.
void ReadCredits(PlainDatabase& db, const std::string& table, const std::string& owner_column,
                 const std::string& owner, bool episode, Json& cast, Json& crew) {
  cast = Json::array();
  crew = Json::array();
  PlainStatement& rows =
      db.Prepare("SELECT c.*, a.CommonName AS AliasCommonName FROM main." + table +
                 " c LEFT JOIN main.Alias a ON a.AliasName = c.Name WHERE c." + owner_column +
                 " = ? ORDER BY c.Position");
  rows.Bind(1, owner);
  while (rows.Step()) {
    const Row row(rows);
    const bool is_cast = IsCast(row);
    const std::string name = row.Text("Name"), role = row.Text("Role");
    const int64_t position = row.Number("Position");
    Json& list = is_cast ? cast : crew;
    if (const std::string divider = DividerKind(role); !divider.empty()) {
      list.push_back({{"Position", position}, {"Divider", divider}, {"Caption", name}});
      continue;
    }
    std::string common = row.Text("AliasCommonName");
    if (row.At("AliasCommonName") < 0 || rows.IsNull(row.At("AliasCommonName"))) common = name;
    Json item = {{"Position", position},
                 {"Name", name},
                 {"CommonName", common},
                 {"Role", role},
                 {"BirthYear", row.Number("BirthYear")},
                 {"IsUncredited", row.Flag("IsUncredited")},
                 {"IsCreditOnly", row.Flag("IsCreditOnly")}};
    if (episode) item["IsRegular"] = row.Flag("IsRegular");
    if (is_cast) item["IsVoice"] = row.Flag("IsVoice");
    list.push_back(std::move(item));
  }
}

// The texts of one column of a title's rows in `table`, in order.
Json Texts(PlainDatabase& db, const std::string& table, const std::string& column,
           const std::string& profile_id) {
  Json list = Json::array();
  PlainStatement& rows = db.Prepare("SELECT " + column + " FROM main." + table +
                                    " WHERE ProfileID = ? ORDER BY " + column);
  rows.Bind(1, profile_id);
  while (rows.Step()) list.push_back(rows.Text(0));
  return list;
}

// A title's regions as the collection means them ("B" for a Blu-ray's 2), each with the stored
// code beside it: a number, or the text a cell of another type holds.
Json RegionsJson(PlainDatabase& db, const std::string& profile_id, const std::string& medium) {
  Json list = Json::array();
  PlainStatement& rows =
      db.Prepare("SELECT Region FROM main.Regions WHERE ProfileID = ? ORDER BY Region");
  rows.Bind(1, profile_id);
  while (rows.Step()) {
    const auto number = WholeNumberAt(rows, 0);
    const std::string code = number ? std::to_string(*number) : rows.Text(0);
    list.push_back({{"Region", model::RegionLabel(medium, code)},
                    {"Code", number ? Json(*number) : Json(code)}});
  }
  return list;
}

Json AwardJson(const Row& row) {
  const std::string nominee = row.Text("Nominee");
  Json nominees = Json::array();
  for (const Variant& name : Control::SplitUpNominees(nominee)->Items()) {
    nominees.push_back(name.ToTextOrEmpty());
  }
  // Older files mark a win with "X".
  const bool won = row.Flag("Won") || EqualsIgnoreCase(Trim(row.Text("Won")), "x");
  return {{"Award", row.Text("Award")},           {"Year", row.Number("Year")},
          {"Category", row.Text("Category")},     {"MovieTitle", row.Text("MovieTitle")},
          {"MovieYear", row.Number("MovieYear")}, {"Nominee", nominee},
          {"Nominees", std::move(nominees)},      {"HasWon", won}};
}

Json AwardsOf(PlainDatabase& db, const std::string& sql, const SqlParams& params) {
  Json list = Json::array();
  PlainStatement& rows = db.Prepare(sql);
  params.Bind(rows);
  while (rows.Step()) list.push_back(AwardJson(Row(rows)));
  return list;
}

bool HasColumn(PlainDatabase& db, const char* table, const char* column) {
  PlainStatement& info =
      db.Prepare("SELECT 1 FROM pragma_table_info(?) WHERE name = ? COLLATE NOCASE");
  info.Bind(1, std::string_view(table)).Bind(2, std::string_view(column));
  const bool found = info.Step();
  info.Reset();
  return found;
}

// The awards of a film, by its title (or, failing that, the part before a colon) and a window
// around its year, as the library finds them.
Json MovieAwards(PlainDatabase& db, const std::string& title, int64_t year) {
  const bool movie_year = HasColumn(db, "Awards", "MovieYear");
  const auto read = [&](const std::string& name) {
    SqlParams params;
    std::string sql = "SELECT * FROM main.Awards WHERE MovieTitle = " + params.Add(name);
    if (year != 0) {
      const std::string window =
          "(Year BETWEEN " + params.Add(year - 1) + " AND " + params.Add(year + 2) + ")";
      sql += movie_year ? " AND ((MovieYear = " + params.Add(year) + ") OR (" + window +
                              " AND (MovieYear IS NULL OR MovieYear = 0 OR Year = MovieYear)) OR "
                              "Year = 0)"
                        : " AND (" + window + " OR Year = 0)";
    }
    return AwardsOf(db, sql + " ORDER BY Award, Won DESC, Category, Year", params);
  };
  Json awards = read(title);
  const size_t colon = title.rfind(':');
  if (awards.empty() && colon != std::string::npos) awards = read(Trim(title.substr(0, colon)));
  return awards;
}

// Whether one nominee of an award ("Ann Lee", " Ann Lee (music)") is one of `names`.
bool NamesPerson(const std::string& nominee, const std::vector<std::string>& names) {
  std::string name = Trim(nominee);
  const size_t note = name.find(" (");
  if (note != std::string::npos && note > 1) name = Trim(name.substr(0, note));
  return std::any_of(names.begin(), names.end(), [&](const std::string& candidate) {
    return EqualsIgnoreCase(candidate, name);
  });
}

Json TitleRef(const PlainStatement& row) {
  return {{"ProfileID", row.Text(0)}, {"Title", row.Text(1)}, {"ProductionYear", YearAt(row, 2)}};
}

// Episodes and their series: the columns of an episode reference, first in a statement.
constexpr std::string_view kEpisodeColumns =
    "e.EpisodeID, e.SeriesID, s.Title, e.Season, e.EpisodeNo, e.EpisodeTitle";

Json EpisodeRefAt(const PlainStatement& row, int at) {
  return {{"EpisodeID", row.Text(at)},       {"ShowID", row.Text(at + 1)},
          {"SeriesTitle", row.Text(at + 2)}, {"Season", row.Text(at + 3)},
          {"Number", row.Text(at + 4)},      {"Title", row.Text(at + 5)}};
}

// The stored ProfileID `text` names: as stored (letter case aside), or as DVD Profiler shows it.
std::string FindProfileId(PlainDatabase& db, const std::string& text) {
  if (text.empty()) return {};
  for (const std::string& candidate : {text, "Key_" + text}) {
    PlainStatement& find = db.Prepare("SELECT ProfileID FROM main.Profiles WHERE ProfileID = ?");
    find.Bind(1, candidate);
    if (find.Step()) return find.Text(0);
  }
  return {};
}

}  // namespace

std::optional<Json> TitleData(PlainDatabase& db, const std::string& text, CoverFolder* covers) {
  const std::string profile_id = FindProfileId(db, text);
  if (profile_id.empty()) return std::nullopt;
  PlainStatement& profile = db.Prepare("SELECT * FROM main.Profiles WHERE ProfileID = ?");
  profile.Bind(1, profile_id);
  if (!profile.Step()) return std::nullopt;
  const Row row(profile);
  const std::string title = row.Text("Title"), original = row.Text("OriginalTitle");
  const int64_t year = row.Number("ProdYear", 1, 9999);
  Json json = {{"ProfileID", profile_id},
               {"Title", title},
               {"OriginalTitle", original},
               {"SortTitle", row.Text("SortTitle")},
               {"OriginalSortTitle", row.Text("OriginalSortTitle")},
               {"Description", row.Text("Description")},
               {"Medium", row.Text("Medium")},
               {"DataSource", row.Text("DataSource")},
               {"CollectionNumber", row.Text("ColNo")},
               {"CollectionType", CollectionTypeName(CollectionTypeOf(row.Text("ColType")))},
               {"UPC", row.Text("UPC")},
               {"ProfileTimeStamp", row.Date("ProfileTimestamp")},
               {"Rating", row.Text("Rating")},
               {"RatingSystem", row.Text("RatingSystem")},
               {"RatingDetails", row.Text("RatingDetails")},
               {"ProductionYear", year},
               {"CountryOfOrigin", row.Text("CountryOfOrigin")},
               {"ReleaseDate", row.Date("Released")},
               {"RunningTime", row.Number("Runtime", 0, 1000000)},
               {"CaseType", row.Text("CaseType")},
               {"Overview", row.Text("Overview")},
               {"Notes", row.Text("Notes")},
               {"EasterEggs", row.Text("Eastereggs")},
               {"LastEdited", row.Date("LastEdited")},
               {"WishListPriority", row.Number("WishListPriority", 0, 1000000)},
               {"CountAs", row.Number("CountAs")},
               {"Locality", row.Text("Locality")}};
  profile.Reset();
  Json cover_links = Json::object();
  for (const auto& [side, name] :
       {std::pair{CoverSide::kFront, "Front"}, std::pair{CoverSide::kBack, "Back"}}) {
    const bool found = covers && covers->Has(profile_id, side);
    cover_links[name] =
        found ? Json(Link("/cover/", profile_id) + (side == CoverSide::kFront ? "/front" : "/back"))
              : Json(nullptr);
  }
  json["Covers"] = std::move(cover_links);
  ReadCredits(db, "CastCrew", "ProfileID", profile_id, false, json["Cast"], json["Crew"]);

  Json discs = Json::array();
  {
    PlainStatement& rows =
        db.Prepare("SELECT * FROM main.Discs WHERE ProfileID = ? ORDER BY DiscNo");
    rows.Bind(1, profile_id);
    while (rows.Step()) {
      const Row disc(rows);
      discs.push_back({{"Number", disc.Number("DiscNo")},
                       {"DescriptionSideA", disc.Text("Description")},
                       {"DescriptionSideB", disc.Text("DescriptionSideB")},
                       {"DiscIDSideA", disc.Text("DiscIDSideA")},
                       {"DiscIDSideB", disc.Text("DiscIDSideB")},
                       {"LabelSideA", disc.Text("LabelSideA")},
                       {"LabelSideB", disc.Text("LabelSideB")},
                       {"DualSided", disc.Flag("DualSided")},
                       {"DualLayered", disc.Flag("DualLayered")},
                       {"Flipper", disc.Flag("Flipper")},
                       {"Location", disc.Text("Location")},
                       {"Slot", disc.Text("Slot")}});
    }
  }
  json["Discs"] = std::move(discs);
  {
    PlainStatement& rows = db.Prepare("SELECT * FROM main.VideoFormat WHERE ProfileID = ?");
    rows.Bind(1, profile_id);
    const bool found = rows.Step();
    const Row video(rows);
    json["Video"] = {{"AspectRatio", found ? video.Text("AspectRatio") : ""},
                     {"VideoStandard", found ? video.Text("VideoStandard") : ""},
                     {"LetterBox", found && video.Flag("LetterBox")},
                     {"PanAndScan", found && video.Flag("PanAndScan")},
                     {"FullFrame", found && video.Flag("FullFrame")},
                     {"Anamorphic", found && video.Flag("F16X9")}};
    rows.Reset();
  }
  Json audio = Json::array();
  {
    PlainStatement& rows =
        db.Prepare("SELECT * FROM main.AudioFormats WHERE ProfileID = ? ORDER BY OrderPos");
    rows.Bind(1, profile_id);
    while (rows.Step()) {
      const Row format(rows);
      audio.push_back({{"Position", format.Number("OrderPos")},
                       {"Language", format.Text("Language")},
                       {"Compression", format.Text("Compression")},
                       {"Channels", format.Text("Channels")}});
    }
  }
  json["Audio"] = std::move(audio);
  json["Subtitles"] = Texts(db, "Subtitles", "Subtitle", profile_id);
  json["Features"] = Texts(db, "Features", "Feature", profile_id);
  Json studios = Json::array();
  {
    PlainStatement& rows = db.Prepare(
        "SELECT Studio, Type FROM main.Studios WHERE ProfileID = ? ORDER BY Studio, Type");
    rows.Bind(1, profile_id);
    while (rows.Step()) studios.push_back({{"Name", rows.Text(0)}, {"StudioType", rows.Text(1)}});
  }
  json["Studios"] = std::move(studios);
  json["Genres"] = Texts(db, "Genres", "Genre", profile_id);
  json["Regions"] = RegionsJson(db, profile_id, json["Medium"].get<std::string>());
  {
    PlainStatement& rows =
        db.Prepare("SELECT Film, Video, Audio, Extras FROM main.Reviews WHERE ProfileID = ?");
    rows.Bind(1, profile_id);
    const bool found = rows.Step();
    const auto score = [&](int column) {
      return found ? BoundedAt(rows, column, -32768, 32767) : 0;
    };
    json["Review"] = {
        {"Film", score(0)}, {"Video", score(1)}, {"Audio", score(2)}, {"Extras", score(3)}};
    rows.Reset();
  }
  {
    PlainStatement& rows = db.Prepare("SELECT * FROM main.SRPInfo WHERE ProfileID = ?");
    rows.Bind(1, profile_id);
    const Row srp(rows);
    json["SRP"] = rows.Step() ? Json{{"Value", srp.Amount("SRPValue")},
                                     {"CurrencyID", srp.Text("CurrencyID")}}
                              : Json(nullptr);
    rows.Reset();
  }
  {
    PlainStatement& rows = db.Prepare("SELECT * FROM main.PurchaseInfo WHERE ProfileID = ?");
    rows.Bind(1, profile_id);
    const Row purchase(rows);
    json["PurchaseInfo"] = rows.Step() ? Json{{"Price", purchase.Amount("Price")},
                                              {"CurrencyID", purchase.Text("CurrencyID")},
                                              {"PurchaseDate", purchase.Date("PurchaseDate")},
                                              {"PurchasePlaceName", purchase.Text("PurchasePlace")}}
                                       : Json(nullptr);
    rows.Reset();
  }
  {
    PlainStatement& rows = db.Prepare("SELECT * FROM main.LoanInfo WHERE ProfileID = ?");
    rows.Bind(1, profile_id);
    const Row loan(rows);
    json["LoanInfo"] =
        rows.Step() ? Json{{"UserID", loan.Text("UserID")}, {"LoanedDue", loan.Date("LoanedDue")}}
                    : Json(nullptr);
    rows.Reset();
  }
  Json events = Json::array();
  {
    PlainStatement& rows = db.Prepare(
        "SELECT * FROM main.Events WHERE ProfileID = ? ORDER BY EventTimeStamp, EventID");
    rows.Bind(1, profile_id);
    while (rows.Step()) {
      const Row event(rows);
      events.push_back({{"EventType", event.Text("EventType")},
                        {"TimeStamp", event.Date("EventTimeStamp")},
                        {"UserID", event.Text("UserID")},
                        {"Comment", event.Text("Comment")}});
    }
  }
  json["Events"] = std::move(events);
  Json tags = Json::array();
  {
    PlainStatement& rows = db.Prepare(
        "SELECT TagName, FullyQualifiedName FROM main.Tags WHERE ProfileID = ? ORDER BY TagName");
    rows.Bind(1, profile_id);
    while (rows.Step()) tags.push_back({{"Name", rows.Text(0)}, {"LongName", rows.Text(1)}});
  }
  json["Tags"] = std::move(tags);

  {
    PlainStatement& rows = db.Prepare(
        "SELECT ProfileID, Title, ProdYear FROM main.Profiles WHERE ProfileID IN (SELECT BoxSetID "
        "FROM main.BoxSet WHERE ChildID = ?) ORDER BY SortTitle");
    rows.Bind(1, profile_id);
    json["ParentProfile"] = rows.Step() && !rows.Text(1).empty() ? TitleRef(rows) : Json(nullptr);
    rows.Reset();
  }
  Json children = Json::array();
  {
    PlainStatement& rows = db.Prepare(
        "SELECT p.ProfileID, p.Title, p.ProdYear FROM main.Profiles p INNER JOIN main.BoxSet b ON "
        "b.ChildID = p.ProfileID WHERE b.BoxSetID = ? ORDER BY p.SortTitle");
    rows.Bind(1, profile_id);
    while (rows.Step()) children.push_back(TitleRef(rows));
  }
  json["ChildProfiles"] = std::move(children);
  // Parts of a box set that were never imported, or were removed, are named by their identifier.
  Json missing = Json::array();
  {
    PlainStatement& rows = db.Prepare(
        "SELECT b.ChildID FROM main.BoxSet b LEFT JOIN main.Profiles p ON p.ProfileID = b.ChildID "
        "WHERE b.BoxSetID = ? AND p.ProfileID IS NULL ORDER BY b.ChildID");
    rows.Bind(1, profile_id);
    while (rows.Step()) missing.push_back(rows.Text(0));
  }
  json["MissingChildProfiles"] = std::move(missing);
  Json episodes = Json::array();
  {
    PlainStatement& rows = db.Prepare(
        "SELECT " + std::string(kEpisodeColumns) +
        " FROM (main.Profile2Episodes pe INNER JOIN main.Episodes e ON e.EpisodeID = "
        "pe.EpisodeID) LEFT JOIN main.TVSeries s ON s.SeriesID = e.SeriesID WHERE pe.ProfileID = "
        "? ORDER BY s.SortTitle, e.SeriesID, e.Season, e.EpisodeNo");
    rows.Bind(1, profile_id);
    while (rows.Step()) episodes.push_back(EpisodeRefAt(rows, 0));
  }
  json["Episodes"] = std::move(episodes);
  json["Awards"] = MovieAwards(db, original.empty() ? title : original, year);
  return json;
}

namespace {

// Who a line is of: the person a credit's birth year resolves to, and how they are named. A name
// has few birth years, so a page has few of these, and its lines point to them.
struct Someone {
  int32_t birth_year = 0;  // as credited
  people::Person person;
  std::string label;  // PersonLabel(person)
};

// One line of a person's titles or episodes: the work and every role of theirs in it, grouped by
// role with the episodes each stands under. A person may have tens of thousands of lines, of
// which a page shows a few hundred: a line holds what sorting and counting need, and a title's
// facts are read only for the lines shown.
struct Line {
  std::string id;         // the work's ProfileID or EpisodeID as stored; a title's once shown
  std::string title_key;  // the title order
  int64_t work = 0;       // tells works apart within a kind: a title's row in the index
  int64_t year = 0;
  bool derived = false;  // an episode derived from its titles' credits
  const Someone* who = nullptr;
  std::vector<people::RoleGroup> roles;
  Json item;      // an episode's reference; a title's once shown
  Json episodes;  // the derived episodes a title line holds, or null
};

// Reads credit rows into one line per person and work. The credit's columns come first in every
// statement (Name, Role, IsCast, IsVoice, IsUncredited, IsCreditOnly, BirthYear, the caption of the
// episode heading it stands under), then the work's key, then what `work(row, line)` reads of a
// new line. Namesakes are told apart once every credit is read: `years` gathers the birth years.
struct RawCredit {
  size_t line;
  int32_t birth_year;
  int32_t role = -1;  // in Credits::roles; none when the roles are read later, for the lines shown
};
struct Credits {
  std::vector<RawCredit> credits;
  std::vector<std::pair<people::RoleGroup, std::string>> roles;  // with their episode headings
};

// The credit of `rows` at its leading columns (see RawCredit): its birth year (0 for none or one
// out of range) and its role.
std::pair<int32_t, people::RoleGroup> CreditAt(const PlainStatement& rows, bool credit_only) {
  const bool cast = FlagAt(rows, 2);
  const auto year = WholeNumberAt(rows, 6);
  const int32_t birth_year = year && *year > 0 && *year < 100000 ? static_cast<int32_t>(*year) : 0;
  return {birth_year, people::RoleGroup{rows.Text(1),
                                        rows.Text(0),
                                        cast,
                                        cast && FlagAt(rows, 3),
                                        FlagAt(rows, 4),
                                        credit_only && FlagAt(rows, 5),
                                        {}}};
}
template <class Work>
void ReadPersonCredits(PlainDatabase& db, const std::string& sql, const SqlParams& params,
                       bool credit_only, std::vector<Line>& lines, Credits& credits,
                       people::Namesakes& years, const std::string& common_name, Work work) {
  std::unordered_map<std::string, size_t> line_of;
  PlainStatement& rows = db.Prepare(sql);
  params.Bind(rows);
  while (rows.Step()) {
    if (!DividerKind(rows.Text(1)).empty()) continue;
    const auto [at, added] = line_of.try_emplace(ToLower(rows.Text(8)), lines.size());
    if (added) {
      Line& line = lines.emplace_back();
      line.id = rows.Text(8);
      line.work = static_cast<int64_t>(at->second);
      work(rows, line);
    }
    auto [birth_year, group] = CreditAt(rows, credit_only);
    years.Note(common_name, birth_year);
    credits.credits.push_back({at->second, birth_year, static_cast<int32_t>(credits.roles.size())});
    credits.roles.emplace_back(std::move(group), rows.Text(7));
  }
}

// The page of lines shown, by 1-based number (the last when beyond it): [first, end).
std::pair<int64_t, int64_t> PageOf(int64_t total, int32_t wanted_page) {
  const int32_t per_page = kPersonLinesPerPage;
  const int64_t pages = std::max<int64_t>(1, (total + per_page - 1) / per_page);
  const int64_t page = std::clamp<int64_t>(wanted_page, 1, pages);
  return {(page - 1) * per_page, std::min(total, page * per_page)};
}

// Splits the lines read by person: a line whose credits name namesakes becomes one line each.
// `someone` holds the people met, one per birth year credited, and outlives the lines.
std::vector<Line> ByPerson(std::vector<Line> lines, const Credits& credits,
                           const people::Namesakes& years, const std::string& common_name,
                           std::deque<Someone>& someone) {
  std::vector<Line> out;
  out.reserve(credits.credits.size());  // a line out of each credit at most
  constexpr size_t kNone = static_cast<size_t>(-1);
  // The first line out of each line read; the further ones, of namesakes, are few.
  std::vector<size_t> first(lines.size(), kNone);
  std::vector<std::pair<size_t, size_t>> further;
  for (const RawCredit& credit : credits.credits) {
    auto known = std::find_if(someone.begin(), someone.end(),
                              [&](const Someone& s) { return s.birth_year == credit.birth_year; });
    if (known == someone.end()) {
      people::Person person = years.Resolve(common_name, credit.birth_year);
      std::string label = people::PersonLabel(person);
      known =
          someone.insert(someone.end(), {credit.birth_year, std::move(person), std::move(label)});
    }
    const Someone* who = &*known;
    const auto same = [&](size_t i) {
      return out[i].who == who || out[i].who->person == who->person;
    };
    size_t found = first[credit.line];
    if (found == kNone) {
      out.push_back(std::move(lines[credit.line]));
      out.back().who = who;
      found = first[credit.line] = out.size() - 1;
    } else if (!same(found)) {
      auto other = std::find_if(further.begin(), further.end(), [&](const auto& f) {
        return f.first == credit.line && same(f.second);
      });
      if (other == further.end()) {
        // A line is copied only for a second namesake.
        out.push_back(out[first[credit.line]]);
        out.back().roles.clear();
        out.back().who = who;
        other = further.insert(further.end(), {credit.line, out.size() - 1});
      }
      found = other->second;
    }
    if (credit.role >= 0) {
      const auto& [group, heading] = credits.roles[static_cast<size_t>(credit.role)];
      people::AddRole(out[found].roles, group, heading);
    }
  }
  return out;
}

// Fills in the roles of the title lines shown: the person's credits on each title that name the
// line's person, cast roles before crew jobs, each in credit order, each under the episode heading
// before it. Only titles holding episodes have their lists searched for headings.
void ReadTitleRoles(PlainDatabase& db, const PersonNames& person, bool credit_only,
                    const people::Namesakes& years, const std::vector<Line*>& lines) {
  if (lines.empty()) return;
  SqlParams params;
  const std::string names = InList(person.names, params);
  const std::string owner = params.Add(std::string());
  PlainStatement& rows = db.Prepare(
      std::string("SELECT c.Name, c.Role, c.IsCast, c.IsVoice, c.IsUncredited, ") +
      (credit_only ? "c.IsCreditOnly" : "0") +
      ", c.BirthYear, CASE WHEN EXISTS (SELECT 1 FROM main.Profile2Episodes pe WHERE "
      "pe.ProfileID = c.ProfileID) THEN (SELECT h.Name FROM main.CastCrew h WHERE h.ProfileID = "
      "c.ProfileID AND h.Role = '[DivEpisode]' AND h.IsCast IS c.IsCast AND h.Position < "
      "c.Position ORDER BY h.Position DESC LIMIT 1) END FROM main.CastCrew c WHERE c.Name IN " +
      names + " AND c.ProfileID = " + owner + " ORDER BY c.IsCast DESC, c.Position");
  for (Line* line : lines) {
    params.Bind(rows);
    rows.Bind(static_cast<int>(person.names.size()) + 1, line->id);
    const std::string& label = line->who->label;
    while (rows.Step()) {
      if (!DividerKind(rows.Text(1)).empty()) continue;
      auto [birth_year, group] = CreditAt(rows, credit_only);
      if (people::PersonLabel(years.Resolve(person.common_name, birth_year)) != label) continue;
      people::AddRole(line->roles, std::move(group), rows.Text(7));
    }
    rows.Reset();
  }
}

// Reads the facts of the title lines a page shows from the index; the rest are never read.
void ReadTitleItems(PlainDatabase& db, const std::vector<Line*>& lines) {
  PlainStatement& row =
      db.Prepare("SELECT profile_id, title, year, medium, collection FROM ix.titles WHERE id = ?");
  for (Line* line : lines) {
    row.Bind(1, line->work);
    if (row.Step()) {
      const auto type = static_cast<CollectionType>(std::clamp<int64_t>(row.Int(4), 0, 3));
      line->id = row.Text(0);
      line->item = {{"ProfileID", line->id},
                    {"Title", row.Text(1)},
                    {"ProductionYear", row.Int(2)},
                    {"Medium", row.Text(3)},
                    {"CollectionType", CollectionTypeName(type)}};
    }
    row.Reset();
    if (!line->episodes.is_null()) line->item["Episodes"] = line->episodes;
  }
}

Json PersonJson(const people::Person& person) {
  return {{"Label", people::PersonLabel(person)},
          {"BirthYear", person.birth_year ? Json(person.birth_year) : Json(nullptr)},
          {"CouldBe", person.could_be}};
}

Json LinePage(const std::vector<const Line*>& lines, int32_t wanted_page, bool namesakes) {
  const int32_t per_page = kPersonLinesPerPage;
  const int64_t total = static_cast<int64_t>(lines.size());
  const int64_t pages = std::max<int64_t>(1, (total + per_page - 1) / per_page);
  const auto [first, end] = PageOf(total, wanted_page);
  const int64_t page = first / per_page + 1;
  Json items = Json::array();
  for (int64_t i = first; i < end; ++i) {
    const Line& line = *lines[static_cast<size_t>(i)];
    Json item = line.item;
    Json roles = Json::array();
    for (const people::RoleGroup& role : line.roles) {
      roles.push_back({{"Role", role.role},
                       {"CreditedAs", role.credited_as},
                       {"IsCast", role.cast},
                       {"IsVoice", role.voice},
                       {"IsUncredited", role.uncredited},
                       {"IsCreditOnly", role.credit_only},
                       {"Episodes", role.episodes}});
    }
    item["Roles"] = std::move(roles);
    if (namesakes) item["Person"] = PersonJson(line.who->person);
    items.push_back(std::move(item));
  }
  return {{"Total", total},
          {"Page", page},
          {"Pages", pages},
          {"PerPage", per_page},
          {"Items", std::move(items)}};
}

int64_t YearOf(Date date) {
  if (date == Date::Zero()) return 0;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  date.ToParts(year, month, day, hour, minute, second);
  return year;
}

// What a person's lines add up to: the titles and the episodes of their own (a title's credits
// standing under its episode headings count with the title) and the years they span.
Json SummaryOf(const std::vector<const Line*>& titles, const std::vector<const Line*>& episodes) {
  int64_t first_year = 0, last_year = 0;
  size_t works[2] = {0, 0};
  for (const int kind : {0, 1}) {
    // A work has a line for each namesake credited on it, and is counted once.
    std::vector<int64_t> seen;
    for (const Line* line : kind == 0 ? titles : episodes) {
      seen.push_back(line->work);
      if (line->year == 0) continue;
      first_year = first_year ? std::min(first_year, line->year) : line->year;
      last_year = std::max(last_year, line->year);
    }
    std::sort(seen.begin(), seen.end());
    works[kind] = static_cast<size_t>(std::unique(seen.begin(), seen.end()) - seen.begin());
  }
  return {{"Titles", works[0]},
          {"Episodes", works[1]},
          {"FirstYear", first_year ? Json(first_year) : Json(nullptr)},
          {"LastYear", last_year ? Json(last_year) : Json(nullptr)}};
}

}  // namespace

std::optional<Json> PersonData(PlainDatabase& db, const PersonQuery& query) {
  const PersonNames person = NamesOfPerson(db, query.name);
  Json aliases = Json::array();
  for (const auto& alias : person.aliases) {
    aliases.push_back({{"AliasName", alias.name}, {"BirthYear", alias.birth_year}});
  }
  const bool credit_only = HasColumn(db, "CastCrew", "IsCreditOnly");
  const bool tv_credit_only = HasColumn(db, "TVCastCrew", "IsCreditOnly");
  const auto credit_columns = [](bool has_credit_only) {
    return std::string("c.Name, c.Role, c.IsCast, c.IsVoice, c.IsUncredited, ") +
           (has_credit_only ? "c.IsCreditOnly" : "0") + ", c.BirthYear";
  };
  people::Namesakes years;
  Credits title_credits, episode_credits;

  // The titles crediting the person, with the birth years they give, from the index: a person
  // credited on thousands of titles costs a few pages of the index, not a read of every credit.
  // Their roles and facts are read below, for the lines shown.
  std::vector<Line> titles;
  {
    SqlParams title_params;
    std::vector<std::string> keys;
    for (const std::string& name : person.names) keys.push_back(ToLower(name));
    const std::string names = InList(keys, title_params);
    // Counted first, so that tens of thousands of lines are not moved as their list grows.
    PlainStatement& count = db.Prepare(
        "SELECT count(*) FROM ix.name_births b JOIN ix.names n ON n.id = b.name WHERE b.kind = 0 "
        "AND n.key IN " +
        names);
    title_params.Bind(count);
    const auto credited = static_cast<size_t>(count.Step() ? count.Int(0) : 0);
    count.Reset();
    titles.reserve(credited);
    title_credits.credits.reserve(credited);
    // The lines are sorted and counted from a narrow index of the titles, which a page's cache
    // holds where the titles' rows would not.
    PlainStatement& rows = db.Prepare(
        "SELECT b.born, t.id, t.year, t.order_key FROM ix.name_births b JOIN ix.names n ON n.id = "
        "b.name JOIN ix.titles t INDEXED BY titles_lines ON t.id = b.work WHERE b.kind = 0 AND "
        "n.key IN " +
        names + " ORDER BY b.work, b.born");
    title_params.Bind(rows);
    std::vector<int32_t> noted;  // a name has few birth years; each is noted once
    while (rows.Step()) {
      if (titles.empty() || rows.Int(1) != titles.back().work) {
        Line& line = titles.emplace_back();
        line.work = rows.Int(1);
        line.year = rows.Int(2);
        line.title_key = std::string(rows.Blob(3));
      }
      const auto born = static_cast<int32_t>(std::clamp<int64_t>(rows.Int(0), 0, 99999));
      if (std::find(noted.begin(), noted.end(), born) == noted.end()) {
        noted.push_back(born);
        years.Note(person.common_name, born);
      }
      title_credits.credits.push_back({titles.size() - 1, born});
    }
  }

  SqlParams episode_params;
  std::vector<Line> episodes;
  ReadPersonCredits(
      db,
      "SELECT " + credit_columns(tv_credit_only) + ", NULL, e.EpisodeID, " +
          std::string(kEpisodeColumns) +
          ", e.Airdate, EXISTS (SELECT 1 FROM main.MetaInfo m WHERE m.ProfileID = e.EpisodeID "
          "AND m.InfoName = '" +
          std::string(tv::kDerivedEntry) +
          "') FROM (main.TVCastCrew c INNER JOIN main.Episodes e ON e.EpisodeID = "
          "c.EpisodeID) LEFT JOIN main.TVSeries s ON s.SeriesID = e.SeriesID WHERE c.Name IN " +
          InList(person.names, episode_params) +
          " ORDER BY s.SortTitle, e.SeriesID, e.Season, e.EpisodeNo, e.EpisodeID, c.IsCast DESC, "
          "c.Position",
      episode_params, tv_credit_only, episodes, episode_credits, years, person.common_name,
      [](const PlainStatement& row, Line& line) {
        const Date aired = DateAt(row, 15);
        line.year = YearOf(aired);
        line.item = EpisodeRefAt(row, 9);
        line.item["Airdate"] = DateJson(aired);
        line.derived = row.Int(16) != 0;
      });
  std::deque<Someone> someone;
  titles = ByPerson(std::move(titles), title_credits, years, person.common_name, someone);
  episodes = ByPerson(std::move(episodes), episode_credits, years, person.common_name, someone);
  // A derived episode repeats credits of the titles that hold it: it is shown as an episode of
  // those titles (its caption links to it), not as an appearance of its own.
  if (std::any_of(episodes.begin(), episodes.end(), [](const Line& e) { return e.derived; })) {
    std::map<std::pair<int64_t, std::string_view>, Line*> title_lines;
    for (Line& line : titles) title_lines[{line.work, line.who->label}] = &line;
    PlainStatement& holders = db.Prepare(
        "SELECT t.id FROM main.Profile2Episodes pe JOIN ix.titles t ON t.profile_id = "
        "pe.ProfileID WHERE pe.EpisodeID = ?");
    std::vector<Line> own;
    for (Line& episode : episodes) {
      bool shown = false;
      if (episode.derived) {
        holders.Bind(1, episode.id);
        while (holders.Step()) {
          const auto holder = title_lines.find({holders.Int(0), episode.who->label});
          if (holder == title_lines.end()) continue;
          Json& held = holder->second->episodes;
          if (held.is_null()) held = Json::array();
          held.push_back(episode.item);
          shown = true;
        }
        holders.Reset();
      }
      if (!shown) own.push_back(std::move(episode));
    }
    episodes = std::move(own);
  }

  // Namesakes: the people of this name, each with what is theirs; a credit that could be any of
  // them is listed apart. `born` narrows the lists to one of them and what could be theirs.
  const std::vector<int32_t> known_years = years.YearsOf(person.common_name);
  const bool namesakes = known_years.size() > 1;
  const int32_t born = namesakes && std::find(known_years.begin(), known_years.end(), query.born) !=
                                        known_years.end()
                           ? query.born
                           : 0;
  const auto shown = [&](const Line& line) {
    const people::Person& of = line.who->person;
    return born == 0 || of.birth_year == born ||
           std::find(of.could_be.begin(), of.could_be.end(), born) != of.could_be.end();
  };
  // Only the page shown is put in order: the lines before it are found in linear time, which a
  // person with tens of thousands of titles notices. Lines are ordered by reference, a line being
  // far larger than a pointer to it, and a namesake's copy of a line stays after the line.
  std::vector<Line*> shown_title_lines;
  for (Line& line : titles)
    if (shown(line)) shown_title_lines.push_back(&line);
  const auto precedes = [&](const Line* x, const Line* y) {
    // Titles without a year come last in either direction.
    if (!query.by_title && (x->year == 0) != (y->year == 0)) return y->year == 0;
    const int by_year = (x->year > y->year) - (x->year < y->year);
    const int by_title = x->title_key.compare(y->title_key);
    const int order =
        query.by_title ? (by_title ? by_title : by_year) : (by_year ? by_year : by_title);
    if (order != 0) return query.descending ? order > 0 : order < 0;
    return x < y;
  };
  {
    const auto [first, end] = PageOf(static_cast<int64_t>(shown_title_lines.size()), query.page);
    const auto from = shown_title_lines.begin() + first, to = shown_title_lines.begin() + end;
    std::nth_element(shown_title_lines.begin(), from, shown_title_lines.end(), precedes);
    std::partial_sort(from, to, shown_title_lines.end(), precedes);
    const std::vector<Line*> page(from, to);
    ReadTitleItems(db, page);
    ReadTitleRoles(db, person, credit_only, years, page);
  }
  std::vector<const Line*> shown_titles(shown_title_lines.begin(), shown_title_lines.end());
  std::vector<const Line*> shown_episodes;
  for (const Line& line : episodes)
    if (shown(line)) shown_episodes.push_back(&line);
  Json people_json = Json::array();
  if (namesakes) {
    std::vector<people::Person> people_of_name;
    for (int32_t year : known_years)
      people_of_name.push_back(years.Resolve(person.common_name, year));
    people_of_name.push_back(years.Resolve(person.common_name, 0));  // could be either
    for (const people::Person& one : people_of_name) {
      const std::string label = people::PersonLabel(one);
      std::vector<const Line*> own_titles, own_episodes;
      for (const Line& line : titles)
        if (line.who->label == label) own_titles.push_back(&line);
      for (const Line& line : episodes)
        if (line.who->label == label) own_episodes.push_back(&line);
      if (own_titles.empty() && own_episodes.empty()) continue;
      Json entry = PersonJson(one);
      entry["Summary"] = SummaryOf(own_titles, own_episodes);
      people_json.push_back(std::move(entry));
    }
  }
  // The award query matches any nominee text holding the name, so "Tom" would find "Tom Hale":
  // only nominations naming one of the person's names (a note in brackets aside) are theirs.
  SqlParams award_params;
  std::string pattern;
  for (char c : person.common_name) {
    if (c == '%' || c == '_' || c == '\\') pattern += '\\';
    pattern += c;
  }
  Json awards = Json::array();
  int64_t won = 0;
  // Of namesakes, one is shown the nominations of films credited to them: their titles, folded,
  // read once and only then.
  std::optional<std::unordered_set<std::string>> films_shown;
  for (Json& award : AwardsOf(db,
                              "SELECT * FROM main.Awards WHERE Nominee LIKE " +
                                  award_params.Add("%" + pattern + "%") +
                                  " ESCAPE '\\' ORDER BY Award, Won DESC, Category, Year",
                              award_params)) {
    bool theirs = std::any_of(
        award["Nominees"].begin(), award["Nominees"].end(),
        [&](const Json& nominee) { return NamesPerson(nominee.get<std::string>(), person.names); });
    if (theirs && born) {
      if (!films_shown) {
        films_shown.emplace();
        PlainStatement& film = db.Prepare("SELECT title FROM ix.titles WHERE id = ?");
        for (const Line* line : shown_titles) {
          film.Bind(1, line->work);
          if (film.Step()) films_shown->insert(Fold(film.Text(0)));
          film.Reset();
        }
      }
      theirs = films_shown->contains(Fold(award["MovieTitle"].get<std::string>()));
    }
    if (!theirs) continue;
    won += award["HasWon"].get<bool>() ? 1 : 0;
    awards.push_back(std::move(award));
  }
  if (aliases.empty() && titles.empty() && episodes.empty() && awards.empty()) {
    return std::nullopt;
  }
  // One namesake's summary is of what is theirs, not of what could be.
  std::vector<const Line*> own_titles, own_episodes;
  for (const auto& [from, to] :
       {std::pair{&shown_titles, &own_titles}, std::pair{&shown_episodes, &own_episodes}}) {
    for (const Line* line : *from)
      if (!line->who->person.CouldBeEither() || !born) to->push_back(line);
  }
  Json summary = SummaryOf(own_titles, own_episodes);
  summary["Awards"] = static_cast<int64_t>(awards.size());
  summary["Won"] = won;
  return Json{{"Name", query.name},
              {"CommonName", person.common_name},
              {"Born", born ? Json(born) : Json(nullptr)},
              {"Aliases", std::move(aliases)},
              {"People", std::move(people_json)},
              {"Summary", std::move(summary)},
              {"Sort", query.by_title ? "title" : "year"},
              {"Order", query.descending ? "desc" : "asc"},
              {"Titles", LinePage(shown_titles, query.page, namesakes)},
              {"Episodes", LinePage(shown_episodes, query.episode_page, namesakes)},
              {"Awards", std::move(awards)}};
}

Json PeopleData(PlainDatabase& db, const PeopleQuery& query) {
  constexpr int32_t kPerPage = 100;
  const int64_t total = CountOf(db, "SELECT value FROM ix.meta WHERE name = 'credited_people'");
  const int64_t pages = std::max<int64_t>(1, (total + kPerPage - 1) / kPerPage);
  const int64_t page = std::clamp<int64_t>(query.page, 1, pages);
  SqlParams params;
  const std::string limit = params.Add(int64_t{kPerPage});
  const std::string offset = params.Add((page - 1) * kPerPage);
  PlainStatement& rows = db.Prepare(
      "SELECT common_name, t0 + t1 + t2 + t3, episodes FROM ix.people WHERE t0 + t1 + t2 + t3 + "
      "episodes > 0 ORDER BY " +
      std::string(query.by_credits ? "t0 + t1 + t2 + t3 + episodes DESC, key"
                                   : "folded, common_name") +
      " LIMIT " + limit + " OFFSET " + offset);
  params.Bind(rows);
  Json people = Json::array();
  while (rows.Step()) {
    people.push_back(
        {{"CommonName", rows.Text(0)}, {"Titles", rows.Int(1)}, {"Episodes", rows.Int(2)}});
  }
  return {{"Sort", query.by_credits ? "credits" : "name"},
          {"Total", total},
          {"Page", page},
          {"Pages", pages},
          {"PerPage", kPerPage},
          {"People", std::move(people)}};
}

Json SeriesListData(PlainDatabase& db) {
  Json series = Json::array();
  PlainStatement& rows = db.Prepare(
      "SELECT s.SeriesID, s.Title, s.OriginalTitle, (SELECT COUNT(*) FROM main.Episodes e WHERE "
      "e.SeriesID = s.SeriesID) FROM main.TVSeries s ORDER BY s.SortTitle, s.Title, s.SeriesID");
  while (rows.Step()) {
    series.push_back({{"ShowID", rows.Text(0)},
                      {"Title", rows.Text(1)},
                      {"OriginalTitle", rows.Text(2)},
                      {"Episodes", rows.Int(3)}});
  }
  return {{"Series", std::move(series)}};
}

std::optional<Json> SeriesData(PlainDatabase& db, const std::string& show_id) {
  PlainStatement& show = db.Prepare(
      "SELECT SeriesID, Title, OriginalTitle, SortTitle, OriginalSortTitle FROM main.TVSeries "
      "WHERE SeriesID = ?");
  show.Bind(1, show_id);
  if (!show.Step()) return std::nullopt;
  const std::string id = show.Text(0), original = show.Text(2);
  Json json = {{"ShowID", id},
               {"Title", show.Text(1)},
               {"OriginalTitle", original},
               {"SortTitle", show.Text(3)},
               {"OriginalSortTitle", show.Text(4)}};
  show.Reset();
  // The discs of every episode, read at once: an episode can be on several.
  std::unordered_map<std::string, Json> discs;
  {
    PlainStatement& rows = db.Prepare(
        "SELECT pe.EpisodeID, p.ProfileID, p.Title, p.ProdYear FROM main.Profile2Episodes pe "
        "INNER JOIN main.Profiles p ON p.ProfileID = pe.ProfileID WHERE pe.EpisodeID IN (SELECT "
        "EpisodeID FROM main.Episodes WHERE SeriesID = ?) ORDER BY p.SortTitle, p.ProfileID");
    rows.Bind(1, id);
    while (rows.Step()) {
      Json& list = discs[ToLower(rows.Text(0))];
      if (list.is_null()) list = Json::array();
      list.push_back({{"ProfileID", rows.Text(1)},
                      {"Title", rows.Text(2)},
                      {"ProductionYear", YearAt(rows, 3)}});
    }
  }
  // Seasons and episodes in the order of their numbers ("2" before "10"); episodes without a
  // number in the order of the discs they were derived from.
  struct Entry {
    std::string season, number, disc_order;
    Json json;
  };
  std::vector<Entry> entries;
  {
    PlainStatement& rows = db.Prepare(
        "SELECT e.*, (SELECT m.InfoValue FROM main.MetaInfo m WHERE m.ProfileID = e.EpisodeID AND "
        "m.InfoName = '" +
        std::string(tv::kDerivedEntry) +
        "') AS zel_derived FROM main.Episodes e WHERE e.SeriesID = ?");
    rows.Bind(1, id);
    while (rows.Step()) {
      const Row episode(rows);
      const std::string episode_id = episode.Text("EpisodeID");
      const std::string season = episode.Text("Season"), number = episode.Text("EpisodeNo");
      const std::string title = episode.Text("EpisodeTitle");
      const auto held = discs.find(ToLower(episode_id));
      entries.push_back(
          {season,
           number,
           episode.Text("zel_derived"),
           {{"EpisodeID", episode_id},
            {"Number", number},
            {"Label", tv::EpisodeLabel(season, number, title)},
            {"Title", title},
            {"OriginalTitle", episode.Text("EpisodeOriginalTitle")},
            {"Airdate", episode.Date("Airdate")},
            {"RunningTime", episode.Number("Runtime", 0, 1000000)},
            {"Rating", episode.Text("Rating")},
            {"Overview", episode.Text("Overview")},
            {"Notes", episode.Text("Notes")},
            {"Derived", episode.At("zel_derived") >= 0 && !episode.Text("zel_derived").empty()},
            {"Discs", held == discs.end() ? Json::array() : held->second}}});
    }
  }
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return std::tuple(tv::NumberOrder(a.season), tv::NumberOrder(a.number), a.disc_order) <
           std::tuple(tv::NumberOrder(b.season), tv::NumberOrder(b.number), b.disc_order);
  });
  Json seasons = Json::array();
  int64_t episode_count = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    Entry& entry = entries[i];
    if (i == 0 || entries[i - 1].season != entry.season) {
      seasons.push_back({{"Name", entry.season}, {"Episodes", Json::array()}});
    }
    ReadCredits(db, "TVCastCrew", "EpisodeID", entry.json["EpisodeID"].get<std::string>(), true,
                entry.json["Cast"], entry.json["Crew"]);
    seasons.back()["Episodes"].push_back(std::move(entry.json));
    ++episode_count;
  }
  json["Seasons"] = std::move(seasons);
  json["EpisodeCount"] = episode_count;
  SqlParams params;
  json["Awards"] = AwardsOf(
      db,
      "SELECT * FROM main.Awards WHERE MovieTitle = " + params.Add(original) + " ORDER BY Award",
      params);
  return json;
}

Json AwardsData(PlainDatabase& db, const std::string& award) {
  SqlParams params;
  std::string sql = "SELECT * FROM main.Awards";
  if (!award.empty()) sql += " WHERE Award = " + params.Add(award);
  sql += " ORDER BY Award, Year DESC, Category, MovieTitle";
  Json awards = Json::array();
  for (Json& item : AwardsOf(db, sql, params)) {
    if (awards.empty() || awards.back()["Award"] != item["Award"]) {
      awards.push_back({{"Award", item["Award"]}, {"Years", Json::array()}});
    }
    Json& years = awards.back()["Years"];
    if (years.empty() || years.back()["Year"] != item["Year"]) {
      years.push_back({{"Year", item["Year"]}, {"Nominations", Json::array()}});
    }
    // The film when the catalogue holds it: by title or original title and, when the nomination
    // gives it, the production year; otherwise the one nearest the award's year.
    PlainStatement& film = db.Prepare(
        "SELECT profile_id FROM ix.titles WHERE (folded_title = ?1 OR folded_original = ?1) AND "
        "(?2 = 0 OR year = ?2) ORDER BY abs(year - ?3), order_key LIMIT 1");
    film.Bind(1, Fold(item["MovieTitle"].get<std::string>()))
        .Bind(2, item["MovieYear"].get<int64_t>())
        .Bind(3, item["Year"].get<int64_t>());
    item["ProfileID"] = film.Step() ? Json(film.Text(0)) : Json(nullptr);
    film.Reset();
    item.erase("Award");
    item.erase("Year");
    years.back()["Nominations"].push_back(std::move(item));
  }
  Json names = Json::array();
  PlainStatement& rows = db.Prepare("SELECT DISTINCT Award FROM main.Awards ORDER BY Award");
  while (rows.Step()) names.push_back(rows.Text(0));
  return {{"Award", award}, {"Names", std::move(names)}, {"Awards", std::move(awards)}};
}

}  // namespace zel::web
