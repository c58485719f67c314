#include "web/data.h"

#include <algorithm>
#include <map>
#include <vector>

#include "awards/awards.h"
#include "catalogue/control.h"
#include "catalogue/database.h"
#include "frame/text.h"
#include "import/profiler_import.h"
#include "model/profile.h"
#include "model/profiles.h"
#include "store/connection.h"
#include "store/text_helpers.h"
#include "tv/episode.h"
#include "tv/tv_show.h"
#include "web/covers.h"
#include "web/fold.h"
#include "web/html.h"
#include "web/titles.h"

namespace zel::web {
namespace {

using store::RecordSet;

// `episode`: the credit of an episode, which carries the series-regular mark.
Json CreditJson(const ZelCredit& credit, bool cast, bool episode) {
  const std::string divider = DividerKind(credit.Role());
  if (!divider.empty()) {
    return {{"Position", credit.Position()}, {"Divider", divider}, {"Caption", credit.Name()}};
  }
  Json item = {{"Position", credit.Position()},        {"Name", credit.Name()},
               {"CommonName", credit.CommonName()},    {"Role", credit.Role()},
               {"BirthYear", credit.BirthYear()},      {"IsUncredited", credit.IsUncredited()},
               {"IsCreditOnly", credit.IsCreditOnly()}};
  if (episode) item["IsRegular"] = credit.IsRegular();
  if (cast) item["IsVoice"] = credit.IsVoice();
  return item;
}

Json CreditsJson(const ZelCredits& credits, bool cast, bool episode = false) {
  Json list = Json::array();
  for (const auto& credit : credits.All()) list.push_back(CreditJson(*credit, cast, episode));
  return list;
}

Json TextsJson(const Collection& texts) {
  Json list = Json::array();
  for (const Variant& text : texts.Items()) list.push_back(text.ToTextOrEmpty());
  return list;
}

Json AwardsJson(const ZelAwards& awards) {
  Json list = Json::array();
  for (const auto& award : awards.All()) {
    list.push_back({{"Award", award->Award()},
                    {"Year", award->Year()},
                    {"Category", award->Category()},
                    {"MovieTitle", award->MovieTitle()},
                    {"MovieYear", award->MovieYear()},
                    {"Nominee", award->Nominee()},
                    {"Nominees", TextsJson(*Control::SplitUpNominees(award->Nominee()))},
                    {"HasWon", award->HasWon()}});
  }
  return list;
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

Json ProfileFields(ZelProfile& profile) {
  return {{"ProfileID", profile.ProfileID()},
          {"Title", profile.Title()},
          {"OriginalTitle", profile.OriginalTitle()},
          {"SortTitle", profile.SortTitle()},
          {"OriginalSortTitle", profile.OriginalSortTitle()},
          {"Description", profile.Description()},
          {"Medium", profile.Medium()},
          {"DataSource", profile.DataSource()},
          {"CollectionNumber", profile.CollectionNumber()},
          {"CollectionType", CollectionTypeName(CollectionTypeOf(profile.CollectionType()))},
          {"UPC", profile.UPC()},
          {"ProfileTimeStamp", DateJson(profile.ProfileTimeStamp())},
          {"Rating", profile.Rating()},
          {"RatingSystem", profile.RatingSystem()},
          {"RatingDetails", profile.RatingDetails()},
          {"ProductionYear", profile.ProductionYear()},
          {"CountryOfOrigin", profile.CountryOfOrigin()},
          {"ReleaseDate", DateJson(profile.ReleaseDate())},
          {"RunningTime", profile.RunningTime()},
          {"CaseType", profile.CaseType()},
          {"Overview", profile.Overview()},
          {"Notes", profile.Notes()},
          {"EasterEggs", profile.EasterEggs()},
          {"LastEdited", DateJson(profile.LastEdited())},
          {"WishListPriority", profile.WishListPriority()},
          {"CountAs", profile.CountAs()},
          {"Locality", profile.Locality()}};
}

Json ProfileRef(ZelProfile& profile) {
  return {{"ProfileID", profile.ProfileID()},
          {"Title", profile.Title()},
          {"ProductionYear", profile.ProductionYear()}};
}

// Reads the physical records through the model: none of their loaders writes.
void AddMedia(ZelProfile& profile, Json& json) {
  Json discs = Json::array();
  for (const auto& disc : profile.Discs()->All()) {
    discs.push_back({{"Number", disc->Number()},
                     {"DescriptionSideA", disc->DescriptionSideA()},
                     {"DescriptionSideB", disc->DescriptionSideB()},
                     {"DiscIDSideA", disc->DiscIDSideA()},
                     {"DiscIDSideB", disc->DiscIDSideB()},
                     {"LabelSideA", disc->LabelSideA()},
                     {"LabelSideB", disc->LabelSideB()},
                     {"DualSided", disc->DualSided()},
                     {"DualLayered", disc->DualLayered()},
                     {"Flipper", disc->Flipper()},
                     {"Location", disc->Location()},
                     {"Slot", disc->Slot()}});
  }
  json["Discs"] = std::move(discs);
  const auto video = profile.Video();
  json["Video"] = {{"AspectRatio", video->AspectRatio()}, {"VideoStandard", video->VideoStandard()},
                   {"LetterBox", video->LetterBox()},     {"PanAndScan", video->PanAndScan()},
                   {"FullFrame", video->FullFrame()},     {"Anamorphic", video->Anamorphic()}};
  Json audio = Json::array();
  for (const auto& format : profile.Audio()->All()) {
    audio.push_back({{"Position", format->Position()},
                     {"Language", format->Language()},
                     {"Compression", format->Compression()},
                     {"Channels", format->Channels()}});
  }
  json["Audio"] = std::move(audio);
  json["Subtitles"] = TextsJson(*profile.Subtitles());
  json["Features"] = TextsJson(*profile.Features());
  Json studios = Json::array();
  for (const auto& studio : profile.Studios()->All()) {
    studios.push_back({{"Name", studio->Name()}, {"StudioType", studio->StudioType()}});
  }
  json["Studios"] = std::move(studios);
  json["Genres"] = TextsJson(*profile.Genres());
  json["Regions"] = TextsJson(*profile.Regions());
  const auto review = profile.Review();
  json["Review"] = {{"Film", review->Film()},
                    {"Video", review->Video()},
                    {"Audio", review->Audio()},
                    {"Extras", review->Extras()}};
}

// Prices, purchase, loan and events by query: the model's loaders of these records add the
// currency, retailer or user they name to its list when missing, which would write.
void AddOwnerRecords(ZelDatabase& database, const std::string& id, Json& json) {
  const std::string owner = "'" + QuoteSql(id) + "'";
  auto srp = database.DbOpenRecordSet(
      "SELECT SRPValue, CurrencyID FROM SRPInfo WHERE ProfileID = " + owner);
  json["SRP"] = srp->Eof() ? Json(nullptr)
                           : Json{{"Value", AmountJson(srp->Value("SRPValue"))},
                                  {"CurrencyID", Text(*srp, "CurrencyID")}};
  auto purchase = database.DbOpenRecordSet(
      "SELECT Price, CurrencyID, PurchaseDate, PurchasePlace FROM PurchaseInfo WHERE ProfileID = " +
      owner);
  json["PurchaseInfo"] = purchase->Eof()
                             ? Json(nullptr)
                             : Json{{"Price", AmountJson(purchase->Value("Price"))},
                                    {"CurrencyID", Text(*purchase, "CurrencyID")},
                                    {"PurchaseDate", DateJson(purchase->Value("PurchaseDate"))},
                                    {"PurchasePlaceName", Text(*purchase, "PurchasePlace")}};
  auto loan =
      database.DbOpenRecordSet("SELECT UserID, LoanedDue FROM LoanInfo WHERE ProfileID = " + owner);
  json["LoanInfo"] = loan->Eof() ? Json(nullptr)
                                 : Json{{"UserID", Text(*loan, "UserID")},
                                        {"LoanedDue", DateJson(loan->Value("LoanedDue"))}};
  Json events = Json::array();
  auto rows = database.DbOpenRecordSet(
      "SELECT EventType, EventTimeStamp, UserID, Comment FROM Events WHERE ProfileID = " + owner +
      " ORDER BY EventTimeStamp, EventID");
  for (; !rows->Eof(); rows->MoveNext()) {
    events.push_back({{"EventType", Text(*rows, "EventType")},
                      {"TimeStamp", DateJson(rows->Value("EventTimeStamp"))},
                      {"UserID", Text(*rows, "UserID")},
                      {"Comment", Text(*rows, "Comment")}});
  }
  json["Events"] = std::move(events);
  Json tags = Json::array();
  auto tag_rows = database.DbOpenRecordSet(
      "SELECT TagName, FullyQualifiedName FROM Tags WHERE ProfileID = " + owner +
      " ORDER BY TagName");
  for (; !tag_rows->Eof(); tag_rows->MoveNext()) {
    tags.push_back({{"Name", Text(*tag_rows, "TagName")},
                    {"LongName", Text(*tag_rows, "FullyQualifiedName")}});
  }
  json["Tags"] = std::move(tags);
}

Json EpisodeRef(RecordSet& records) {
  return {{"EpisodeID", Text(records, "EpisodeID")},     {"ShowID", Text(records, "SeriesID")},
          {"SeriesTitle", Text(records, "SeriesTitle")}, {"Season", Text(records, "Season")},
          {"Number", Text(records, "EpisodeNo")},        {"Title", Text(records, "EpisodeTitle")}};
}

// Episodes and their series come from the tables the television classes keep: Episodes, TVSeries,
// TVCastCrew and Profile2Episodes.
constexpr std::string_view kEpisodeColumns =
    "e.EpisodeID AS EpisodeID, e.SeriesID AS SeriesID, s.Title AS SeriesTitle, e.Season AS "
    "Season, e.EpisodeNo AS EpisodeNo, e.EpisodeTitle AS EpisodeTitle";

}  // namespace

std::optional<Json> TitleData(ZelDatabase& database, const std::string& text, CoverFolder* covers) {
  // The stored ProfileID or the ID that DVD Profiler shows.
  const std::string profile_id = FindProfileId(database, text);
  if (profile_id.empty()) return std::nullopt;
  auto records = database.DbOpenRecordSet("SELECT * FROM Profiles WHERE ProfileID = '" +
                                          QuoteSql(profile_id) + "'");
  if (records->Eof()) return std::nullopt;
  const auto profile = ProfileFromRecord(*records);
  records.reset();
  Json json = ProfileFields(*profile);
  Json cover_links = Json::object();
  for (const auto& [side, name] :
       {std::pair{CoverSide::kFront, "Front"}, std::pair{CoverSide::kBack, "Back"}}) {
    const bool found = covers && covers->Has(profile->ProfileID(), side);
    cover_links[name] = found ? Json(Link("/cover/", profile->ProfileID()) +
                                     (side == CoverSide::kFront ? "/front" : "/back"))
                              : Json(nullptr);
  }
  json["Covers"] = std::move(cover_links);
  json["Cast"] = CreditsJson(*profile->Cast(), true);
  json["Crew"] = CreditsJson(*profile->Crew(), false);
  AddMedia(*profile, json);
  AddOwnerRecords(database, profile->ProfileID(), json);

  json["ParentProfile"] =
      profile->HasParentProfile() ? ProfileRef(*profile->ParentProfile()) : Json(nullptr);
  Json children = Json::array();
  for (const auto& child : profile->ChildProfiles()->All()) children.push_back(ProfileRef(*child));
  json["ChildProfiles"] = std::move(children);
  // Parts of a box set that were never imported, or were removed, are named by their identifier.
  Json missing = Json::array();
  auto missing_rows = database.DbOpenRecordSet(
      "SELECT b.ChildID FROM BoxSet b LEFT JOIN Profiles p ON p.ProfileID = b.ChildID WHERE "
      "b.BoxSetID = '" +
      QuoteSql(profile->ProfileID()) + "' AND p.ProfileID IS NULL ORDER BY b.ChildID");
  for (; !missing_rows->Eof(); missing_rows->MoveNext())
    missing.push_back(TextAt(*missing_rows, 0));
  json["MissingChildProfiles"] = std::move(missing);

  Json episodes = Json::array();
  auto episode_rows = database.DbOpenRecordSet(
      "SELECT " + std::string(kEpisodeColumns) +
      " FROM (Profile2Episodes pe INNER JOIN Episodes e ON e.EpisodeID = pe.EpisodeID) LEFT JOIN "
      "TVSeries s ON s.SeriesID = e.SeriesID WHERE pe.ProfileID = '" +
      QuoteSql(profile->ProfileID()) + "' ORDER BY s.SortTitle, e.SeriesID, e.Season, e.EpisodeNo");
  for (; !episode_rows->Eof(); episode_rows->MoveNext()) {
    episodes.push_back(EpisodeRef(*episode_rows));
  }
  json["Episodes"] = std::move(episodes);
  const std::string award_title =
      profile->OriginalTitle().empty() ? profile->Title() : profile->OriginalTitle();
  json["Awards"] = AwardsJson(*database.GetMovieAwards(award_title, profile->ProductionYear()));
  return json;
}

namespace {

// One line of a person's titles or episodes: the work and every role of theirs in it. The JSON
// of the roles is made only for the lines of the page shown.
struct Line {
  struct Role {
    std::string role, credited_as;
    bool cast = false, voice = false, uncredited = false, credit_only = false;
  };
  Json item;                        // the work, unless `title` describes it
  const TitleRow* title = nullptr;  // the work in the title table
  std::string title_key;            // folded sort title
  int32_t year = 0;
  std::vector<Role> roles;
};

Json TitleHead(const std::string& id, const std::string& title, int32_t year,
               const std::string& medium, CollectionType type) {
  return {{"ProfileID", id},
          {"Title", title},
          {"ProductionYear", year},
          {"Medium", medium},
          {"CollectionType", CollectionTypeName(type)}};
}

// Reads credit rows ordered by work into one line per work. `work(rows, line)` describes the work
// of a new line, or returns false to leave the work out.
template <class Work>
std::vector<Line> ReadLines(ZelDatabase& database, const std::string& sql, Work work) {
  std::vector<Line> lines;
  std::string last;
  bool skipping = false;
  auto rows = database.DbOpenRecordSet(sql);
  // The rows are many: the credit's columns, first in every statement (Name, Role, IsCast, IsVoice,
  // IsUncredited, IsCreditOnly), are read by position.
  const int32_t work_at = rows->Eof() ? -1 : PositionOf(*rows, "WorkID");
  const bool credit_only = Schema() >= 88;
  for (; !rows->Eof(); rows->MoveNext()) {
    std::string role = TextAt(*rows, 1);
    if (!DividerKind(role).empty()) continue;
    const std::string key = ToLower(TextAt(*rows, work_at));
    if (lines.empty() || key != last) {
      last = key;
      Line line;
      skipping = !work(*rows, line);
      if (!skipping) lines.push_back(std::move(line));
    }
    if (skipping) continue;
    const bool cast = IsCastValue(rows->ValueAt(2));
    lines.back().roles.push_back({std::move(role), TextAt(*rows, 0), cast, cast && FlagAt(*rows, 3),
                                  FlagAt(*rows, 4), credit_only && FlagAt(*rows, 5)});
  }
  return lines;
}

Json LinePage(const std::vector<Line>& lines, int32_t wanted_page) {
  const int32_t per_page = kPersonLinesPerPage;
  const int64_t total = static_cast<int64_t>(lines.size());
  const int64_t pages = std::max<int64_t>(1, (total + per_page - 1) / per_page);
  const int64_t page = std::clamp<int64_t>(wanted_page, 1, pages);
  Json items = Json::array();
  for (int64_t i = (page - 1) * per_page; i < total && i < page * per_page; ++i) {
    const Line& line = lines[static_cast<size_t>(i)];
    Json item = line.title ? TitleHead(line.title->profile_id, line.title->title, line.title->year,
                                       line.title->medium, line.title->collection)
                           : line.item;
    Json roles = Json::array();
    for (const Line::Role& role : line.roles) {
      roles.push_back({{"Role", role.role},
                       {"CreditedAs", role.credited_as},
                       {"IsCast", role.cast},
                       {"IsVoice", role.voice},
                       {"IsUncredited", role.uncredited},
                       {"IsCreditOnly", role.credit_only}});
    }
    item["Roles"] = std::move(roles);
    items.push_back(std::move(item));
  }
  return {{"Total", total},
          {"Page", page},
          {"Pages", pages},
          {"PerPage", per_page},
          {"Items", std::move(items)}};
}

int32_t YearOf(Date date) {
  if (date == Date::Zero()) return 0;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  date.ToParts(year, month, day, hour, minute, second);
  return year;
}

}  // namespace

std::optional<Json> PersonData(ZelDatabase& database, const PersonQuery& query,
                               const TitleTable* table) {
  const PersonNames person = NamesOfPerson(database, query.name);
  Json aliases = Json::array();
  for (const auto& alias : person.aliases) {
    aliases.push_back({{"AliasName", alias.name}, {"BirthYear", alias.birth_year}});
  }
  const std::string in_list = InList(person.names);
  // First in each statement, in this order: ReadLines reads them by position.
  const std::string credit_columns =
      "c.Name AS Name, c.Role AS Role, c.IsCast AS IsCast, c.IsVoice AS IsVoice, c.IsUncredited "
      "AS IsUncredited" +
      std::string(Schema() >= 88 ? ", c.IsCreditOnly AS IsCreditOnly" : "");

  // Cast roles before crew jobs within a line, each in credit order. With the title table the
  // titles are described from it, which spares reading each title's row.
  std::vector<Line> titles;
  if (table) {
    titles = ReadLines(database,
                       "SELECT " + credit_columns +
                           ", c.ProfileID AS WorkID FROM CastCrew c WHERE c.Name IN " + in_list +
                           " ORDER BY c.ProfileID, c.IsCast DESC, c.Position",
                       [&](RecordSet& rows, Line& line) {
                         const TitleRow* row = table->Find(Text(rows, "WorkID"));
                         if (!row) return false;
                         line.year = row->year;
                         line.title_key = row->sort_key;
                         line.title = row;
                         return true;
                       });
  } else {
    titles = ReadLines(
        database,
        "SELECT " + credit_columns +
            ", p.ProfileID AS WorkID, p.Title AS Title, p.ProdYear AS ProdYear, p.Medium AS "
            "Medium, p.ColType AS ColType, p.SortTitle AS SortTitle FROM CastCrew c INNER JOIN "
            "Profiles p ON p.ProfileID = c.ProfileID WHERE c.Name IN " +
            in_list + " ORDER BY p.ProfileID, c.IsCast DESC, c.Position",
        [](RecordSet& rows, Line& line) {
          line.year = Number(rows, "ProdYear");
          const std::string title = Text(rows, "Title"), sort_title = Text(rows, "SortTitle");
          line.title_key = Fold(sort_title.empty() ? title : sort_title);
          line.item = TitleHead(Text(rows, "WorkID"), title, line.year, Text(rows, "Medium"),
                                CollectionTypeOf(Text(rows, "ColType")));
          return true;
        });
  }
  std::sort(titles.begin(), titles.end(), [&](const Line& a, const Line& b) {
    // Titles without a year come last in either direction.
    if (!query.by_title && (a.year == 0) != (b.year == 0)) return b.year == 0;
    const bool before = query.by_title
                            ? std::tie(a.title_key, a.year) < std::tie(b.title_key, b.year)
                            : std::tie(a.year, a.title_key) < std::tie(b.year, b.title_key);
    const bool after = query.by_title
                           ? std::tie(b.title_key, b.year) < std::tie(a.title_key, a.year)
                           : std::tie(b.year, b.title_key) < std::tie(a.year, a.title_key);
    return query.descending ? after : before;
  });

  std::vector<Line> episodes = ReadLines(
      database,
      "SELECT " + credit_columns + ", " + std::string(kEpisodeColumns) +
          ", e.EpisodeID AS WorkID, e.Airdate AS Airdate FROM (TVCastCrew c INNER JOIN Episodes e "
          "ON e.EpisodeID = c.EpisodeID) LEFT JOIN TVSeries s ON s.SeriesID = e.SeriesID WHERE "
          "c.Name IN " +
          in_list +
          " ORDER BY s.SortTitle, e.SeriesID, e.Season, e.EpisodeNo, e.EpisodeID, c.IsCast DESC, "
          "c.Position",
      [](RecordSet& rows, Line& line) {
        const Date aired = DateOf(rows.Value("Airdate"));
        line.year = YearOf(aired);
        line.item = EpisodeRef(rows);
        line.item["Airdate"] = DateJson(aired);
        return true;
      });

  // The award query matches any nominee text holding the name, so "Tom" would find "Tom Hale":
  // only nominations naming one of the person's names (a note in brackets aside) are theirs.
  Json awards = Json::array();
  int64_t won = 0;
  for (Json& award : AwardsJson(*database.GetPersonAwards(person.common_name))) {
    const bool theirs = std::any_of(
        award["Nominees"].begin(), award["Nominees"].end(),
        [&](const Json& nominee) { return NamesPerson(nominee.get<std::string>(), person.names); });
    if (!theirs) continue;
    won += award["HasWon"].get<bool>() ? 1 : 0;
    awards.push_back(std::move(award));
  }
  if (aliases.empty() && titles.empty() && episodes.empty() && awards.empty()) {
    return std::nullopt;
  }
  int32_t first_year = 0, last_year = 0;
  for (const auto* lines : {&titles, &episodes}) {
    for (const Line& line : *lines) {
      if (line.year == 0) continue;
      first_year = first_year ? std::min(first_year, line.year) : line.year;
      last_year = std::max(last_year, line.year);
    }
  }
  const int64_t award_count = static_cast<int64_t>(awards.size());
  return Json{{"Name", query.name},
              {"CommonName", person.common_name},
              {"Aliases", std::move(aliases)},
              {"Summary",
               {{"Titles", titles.size()},
                {"Episodes", episodes.size()},
                {"Awards", award_count},
                {"Won", won},
                {"FirstYear", first_year ? Json(first_year) : Json(nullptr)},
                {"LastYear", last_year ? Json(last_year) : Json(nullptr)}}},
              {"Sort", query.by_title ? "title" : "year"},
              {"Order", query.descending ? "desc" : "asc"},
              {"Titles", LinePage(titles, query.page)},
              {"Episodes", LinePage(episodes, query.episode_page)},
              {"Awards", std::move(awards)}};
}

Json SeriesListData(ZelDatabase& database) {
  Json series = Json::array();
  auto records = database.DbOpenRecordSet(
      "SELECT s.SeriesID AS SeriesID, s.Title AS Title, s.OriginalTitle AS OriginalTitle, "
      "(SELECT COUNT(*) FROM Episodes e WHERE e.SeriesID = s.SeriesID) AS EpisodeCount "
      "FROM TVSeries s ORDER BY s.SortTitle, s.Title, s.SeriesID");
  for (; !records->Eof(); records->MoveNext()) {
    series.push_back({{"ShowID", Text(*records, "SeriesID")},
                      {"Title", Text(*records, "Title")},
                      {"OriginalTitle", Text(*records, "OriginalTitle")},
                      {"Episodes", Number(*records, "EpisodeCount")}});
  }
  return {{"Series", std::move(series)}};
}

std::optional<Json> SeriesData(ZelDatabase& database, const std::string& show_id) {
  auto row = database.DbOpenRecordSet("SELECT * FROM TVSeries WHERE SeriesID = '" +
                                      QuoteSql(show_id) + "'");
  if (row->Eof()) return std::nullopt;
  // A series object of its own, not the catalogue's cached list, so that every request reads the
  // seasons, episodes and credits as they are stored now.
  auto show = std::make_shared<ZelTVShow>();
  show->SetShowID(Text(*row, "SeriesID"));
  show->SetTitle(Text(*row, "Title"));
  show->SetOriginalTitle(Text(*row, "OriginalTitle"));
  show->SetSortTitle(Text(*row, "SortTitle"));
  show->SetOriginalSortTitle(Text(*row, "OriginalSortTitle"));
  row.reset();
  Json json = {{"ShowID", show->ShowID()},
               {"Title", show->Title()},
               {"OriginalTitle", show->OriginalTitle()},
               {"SortTitle", show->SortTitle()},
               {"OriginalSortTitle", show->OriginalSortTitle()}};
  Json seasons = Json::array();
  int32_t episode_count = 0;
  for (const auto& season : show->Seasons()->All()) {
    Json episodes = Json::array();
    for (const auto& episode : season->Episodes()->All()) {
      episodes.push_back({{"EpisodeID", episode->EpisodeID()},
                          {"Number", episode->Number()},
                          {"Title", episode->Title()},
                          {"OriginalTitle", episode->OriginalTitle()},
                          {"Airdate", DateJson(episode->Airdate())},
                          {"RunningTime", episode->RunningTime()},
                          {"Rating", episode->Rating()},
                          {"Overview", episode->Overview()},
                          {"Notes", episode->Notes()},
                          {"Cast", CreditsJson(*episode->Cast(), true, true)},
                          {"Crew", CreditsJson(*episode->Crew(), false, true)}});
      ++episode_count;
    }
    seasons.push_back({{"Name", season->Name()}, {"Episodes", std::move(episodes)}});
  }
  json["Seasons"] = std::move(seasons);
  json["EpisodeCount"] = episode_count;
  json["Awards"] = AwardsJson(*show->Awards());
  return json;
}

Json AwardsData(ZelDatabase& database, const std::string& award) {
  std::string sql = "SELECT * FROM Awards";
  if (!award.empty()) sql += " WHERE Award = '" + QuoteSql(award) + "'";
  sql += " ORDER BY Award, Year DESC, Category, MovieTitle";
  auto records = database.DbOpenRecordSet(sql);
  const auto list = AwardsFromRecords(*records);
  records.reset();
  Json awards = Json::array();
  for (const Json& item : AwardsJson(*list)) {
    if (awards.empty() || awards.back()["Award"] != item["Award"]) {
      awards.push_back({{"Award", item["Award"]}, {"Years", Json::array()}});
    }
    Json& years = awards.back()["Years"];
    if (years.empty() || years.back()["Year"] != item["Year"]) {
      years.push_back({{"Year", item["Year"]}, {"Nominations", Json::array()}});
    }
    Json nomination = item;
    nomination.erase("Award");
    nomination.erase("Year");
    years.back()["Nominations"].push_back(std::move(nomination));
  }
  Json names = Json::array();
  auto name_rows = database.DbOpenRecordSet("SELECT DISTINCT Award FROM Awards ORDER BY Award");
  for (; !name_rows->Eof(); name_rows->MoveNext()) names.push_back(Text(*name_rows, "Award"));
  return {{"Award", award}, {"Names", std::move(names)}, {"Awards", std::move(awards)}};
}

}  // namespace zel::web
