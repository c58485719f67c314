#include "serve_data.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <vector>

#include "awards/awards.h"
#include "frame/control.h"
#include "frame/library_state.h"
#include "frame/text.h"
#include "import/profiler_import.h"
#include "model/profile.h"
#include "model/profiles.h"
#include "store/connection.h"
#include "store/database.h"
#include "store/text_helpers.h"
#include "tv/episode.h"
#include "tv/tv_show.h"

namespace zel::serve {
namespace {

using store::RecordSet;

std::string Text(RecordSet& records, std::string_view column) {
  return records.Value(column).ToTextOrEmpty();
}

int32_t Number(RecordSet& records, std::string_view column) {
  const Variant value = records.Value(column);
  return value.IsNull() ? 0 : value.ToLong();
}

// A yes/no column in either stored form: booleans from schema 76, the texts "True"/"False" before;
// an empty value is false.
bool Flag(RecordSet& records, std::string_view column) {
  const Variant value = records.Value(column);
  if (value.IsNull()) return false;
  if (value.IsString() && value.ToText().empty()) return false;
  return value.ToBool();
}

int16_t Schema() { return State().active_db_schema; }

// Whether a credit row is cast: a boolean from schema 76, the exact text "yes" before.
bool IsCastRow(RecordSet& records) {
  const Variant value = records.Value("IsCast");
  if (value.IsNull()) return false;
  if (Schema() >= 76) return value.ToBool();
  return value.ToText() == "yes";
}

// ISO date, or null for the zero date that stands for "no date".
Json DateJson(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return nullptr;
  const Date date = value.ToDate();
  if (date == Date::Zero()) return nullptr;
  return FormatDate(date);
}

Json DateJson(Date date) { return date == Date::Zero() ? Json(nullptr) : Json(FormatDate(date)); }

Json AmountJson(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return nullptr;
  return value.ToDouble();
}

int64_t CountOf(ZelDatabase& database, const std::string& sql) {
  auto records = database.DbOpenRecordSet(sql);
  if (records->Eof()) return 0;
  const Variant value = records->ValueAt(0);
  return value.IsNull() ? 0 : value.ToLong();
}

// The kind of a list divider by its marker role, or empty for a real credit.
std::string DividerKind(std::string_view role) {
  if (role == "[DivGroup]") return "Group";
  if (role == "[DivEpisode]") return "Episode";
  if (role == "[DivTeam]") return "Team";
  if (role == "[DivEnd]") return "End";
  if (role == "[Divider]") return "Divider";
  return {};
}

constexpr std::string_view kDividerRoles =
    "('[DivGroup]', '[DivEpisode]', '[DivTeam]', '[DivEnd]', '[Divider]')";

// People are the distinct common names of the credited names. Divider captions are not people:
// a name counts when it has at least one credit that is not a divider, which the name index finds
// without reading every credit.
std::string PeopleCountSql() {
  const std::string dividers(kDividerRoles);
  return "SELECT COUNT(*) FROM (SELECT DISTINCT COALESCE(a.CommonName, n.Name) AS Person FROM "
         "(SELECT Name FROM CastCrew UNION SELECT Name FROM TVCastCrew) n LEFT JOIN Alias a ON "
         "a.AliasName = n.Name WHERE EXISTS (SELECT 1 FROM CastCrew c WHERE c.Name = n.Name AND "
         "(c.Role IS NULL OR c.Role NOT IN " +
         dividers +
         ")) OR EXISTS (SELECT 1 FROM TVCastCrew t WHERE t.Name = n.Name AND (t.Role IS NULL OR "
         "t.Role NOT IN " +
         dividers + "))) people";
}

std::string InList(const std::vector<std::string>& values) {
  std::string list = "(";
  for (size_t i = 0; i < values.size(); ++i) {
    list += (i ? ", '" : "'") + QuoteSql(values[i]) + "'";
  }
  return list + ")";
}

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

Json TitleSummary(RecordSet& records) {
  return {{"ProfileID", Text(records, "ProfileID")},
          {"Title", Text(records, "Title")},
          {"ProductionYear", Number(records, "ProdYear")},
          {"Medium", Text(records, "Medium")}};
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
          {"CollectionType", profile.CollectionType()},
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
    studios.push_back({{"Name", studio->Name()}, {"Type", studio->StudioType()}});
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
                                    {"PurchasePlace", Text(*purchase, "PurchasePlace")}};
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
                    {"FullName", Text(*tag_rows, "FullyQualifiedName")}});
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

std::string LikeLiteral(const std::string& text) {
  std::string out;
  for (char c : text) {
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

Json HomeData(ZelDatabase& database) {
  Json counts = {{"titles", CountOf(database, "SELECT COUNT(*) FROM Profiles")},
                 {"people", CountOf(database, PeopleCountSql())},
                 {"series", CountOf(database, "SELECT COUNT(*) FROM TVSeries")},
                 {"episodes", CountOf(database, "SELECT COUNT(*) FROM Episodes")},
                 {"awards", CountOf(database, "SELECT COUNT(*) FROM Awards")}};
  Json recent = Json::array();
  auto records = database.DbOpenRecordSet(
      "SELECT ProfileID, Title, ProdYear, Medium, LastEdited FROM Profiles "
      "ORDER BY LastEdited DESC, SortTitle LIMIT 10");
  for (; !records->Eof(); records->MoveNext()) {
    Json item = TitleSummary(*records);
    item["LastEdited"] = DateJson(records->Value("LastEdited"));
    recent.push_back(std::move(item));
  }
  return {{"counts", std::move(counts)}, {"recent", std::move(recent)}};
}

Json TitlesData(ZelDatabase& database, const TitleFilter& filter) {
  std::string where = " WHERE 1 = 1";
  if (!filter.text.empty()) {
    const std::string pattern = "'*" + QuoteSql(LikeLiteral(filter.text)) + "*'";
    where += " AND (p.Title LIKE " + pattern + " OR p.OriginalTitle LIKE " + pattern + ")";
  }
  if (!filter.medium.empty()) {
    where += " AND p.Medium LIKE '*" + QuoteSql(LikeLiteral(filter.medium)) + "*'";
  }
  if (filter.year != 0) where += " AND p.ProdYear = " + std::to_string(filter.year);
  if (!filter.genre.empty()) {
    where += " AND EXISTS (SELECT 1 FROM Genres g WHERE g.ProfileID = p.ProfileID AND g.Genre = '" +
             QuoteSql(filter.genre) + "')";
  }
  const int64_t total = CountOf(database, "SELECT COUNT(*) FROM Profiles p" + where);
  const int32_t per_page = std::clamp(filter.per_page, 1, 500);
  const int64_t pages = std::max<int64_t>(1, (total + per_page - 1) / per_page);
  const int64_t page = std::clamp<int64_t>(filter.page, 1, pages);
  Json titles = Json::array();
  auto records = database.DbOpenRecordSet(
      "SELECT p.ProfileID AS ProfileID, p.Title AS Title, p.ProdYear AS ProdYear, p.Medium AS "
      "Medium FROM Profiles p" +
      where + " ORDER BY p.SortTitle, p.Title LIMIT " + std::to_string(per_page) + " OFFSET " +
      std::to_string((page - 1) * per_page));
  for (; !records->Eof(); records->MoveNext()) titles.push_back(TitleSummary(*records));

  Json genres = Json::array();
  auto genre_rows = database.DbOpenRecordSet(
      "SELECT DISTINCT g.Genre AS Genre FROM Genres g INNER JOIN Profiles p ON p.ProfileID = "
      "g.ProfileID ORDER BY g.Genre");
  for (; !genre_rows->Eof(); genre_rows->MoveNext()) genres.push_back(Text(*genre_rows, "Genre"));
  // Media are stored joined ("DVD/Blu-ray"); the choices are the single media.
  std::set<std::string, bool (*)(const std::string&, const std::string&)> media(
      [](const std::string& a, const std::string& b) { return ToLower(a) < ToLower(b); });
  auto medium_rows = database.DbOpenRecordSet("SELECT DISTINCT Medium FROM Profiles");
  for (; !medium_rows->Eof(); medium_rows->MoveNext()) {
    for (const std::string& part : Split(Text(*medium_rows, "Medium"), "/")) {
      if (!part.empty()) media.insert(part);
    }
  }
  return {{"filter",
           {{"text", filter.text},
            {"genre", filter.genre},
            {"medium", filter.medium},
            {"year", filter.year}}},
          {"total", total},
          {"page", page},
          {"pages", pages},
          {"per_page", per_page},
          {"titles", std::move(titles)},
          {"genres", std::move(genres)},
          {"media", Json(std::vector<std::string>(media.begin(), media.end()))}};
}

std::optional<Json> TitleData(ZelDatabase& database, const std::string& text) {
  // The stored ProfileID or the ID that DVD Profiler shows.
  const std::string profile_id = FindProfileId(database, text);
  if (profile_id.empty()) return std::nullopt;
  auto records = database.DbOpenRecordSet("SELECT * FROM Profiles WHERE ProfileID = '" +
                                          QuoteSql(profile_id) + "'");
  if (records->Eof()) return std::nullopt;
  const auto profile = ProfileFromRecord(*records);
  records.reset();
  Json json = ProfileFields(*profile);
  json["Cast"] = CreditsJson(*profile->Cast(), true);
  json["Crew"] = CreditsJson(*profile->Crew(), false);
  AddMedia(*profile, json);
  AddOwnerRecords(database, profile->ProfileID(), json);

  json["ParentProfile"] =
      profile->HasParentProfile() ? ProfileRef(*profile->ParentProfile()) : Json(nullptr);
  Json children = Json::array();
  for (const auto& child : profile->ChildProfiles()->All()) children.push_back(ProfileRef(*child));
  json["ChildProfiles"] = std::move(children);

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

std::optional<Json> PersonData(ZelDatabase& database, const std::string& name) {
  const std::string common_name = database.GetCommonName(name);
  std::vector<std::string> names{common_name};
  Json aliases = Json::array();
  auto alias_rows =
      database.DbOpenRecordSet("SELECT AliasName, BirthYear FROM Alias WHERE CommonName = '" +
                               QuoteSql(common_name) + "' ORDER BY AliasName");
  for (; !alias_rows->Eof(); alias_rows->MoveNext()) {
    const std::string alias = Text(*alias_rows, "AliasName");
    aliases.push_back({{"Name", alias}, {"BirthYear", Number(*alias_rows, "BirthYear")}});
    // An alias equal to its common name but for letter case names the same credits.
    const bool known = std::any_of(names.begin(), names.end(), [&](const std::string& n) {
      return EqualsIgnoreCase(n, alias);
    });
    if (!known) names.push_back(alias);
  }
  alias_rows.reset();
  const std::string in_list = InList(names);
  const std::string credit_only = Schema() >= 88 ? ", c.IsCreditOnly AS IsCreditOnly" : "";

  Json title_cast = Json::array(), title_crew = Json::array();
  auto rows = database.DbOpenRecordSet(
      "SELECT c.Name AS Name, c.Role AS Role, c.Position AS Position, c.IsCast AS IsCast, "
      "c.IsVoice AS IsVoice, c.IsUncredited AS IsUncredited" +
      credit_only +
      ", p.ProfileID AS ProfileID, p.Title AS Title, p.ProdYear AS ProdYear, p.Medium AS Medium "
      "FROM CastCrew c INNER JOIN Profiles p ON p.ProfileID = c.ProfileID WHERE c.Name IN " +
      in_list + " ORDER BY p.SortTitle, p.ProfileID, c.Position");
  for (; !rows->Eof(); rows->MoveNext()) {
    const std::string role = Text(*rows, "Role");
    if (!DividerKind(role).empty()) continue;
    const bool cast = IsCastRow(*rows);
    Json item = TitleSummary(*rows);
    item["CreditedAs"] = Text(*rows, "Name");
    item["Role"] = role;
    if (cast) item["IsVoice"] = Flag(*rows, "IsVoice");
    item["IsUncredited"] = Flag(*rows, "IsUncredited");
    item["IsCreditOnly"] = Schema() >= 88 && Flag(*rows, "IsCreditOnly");
    (cast ? title_cast : title_crew).push_back(std::move(item));
  }
  rows.reset();

  Json episode_cast = Json::array(), episode_crew = Json::array();
  auto episode_rows = database.DbOpenRecordSet(
      "SELECT c.Name AS Name, c.Role AS Role, c.Position AS Position, c.IsCast AS IsCast, "
      "c.IsVoice AS IsVoice, c.IsUncredited AS IsUncredited" +
      credit_only + ", " + std::string(kEpisodeColumns) +
      " FROM (TVCastCrew c INNER JOIN Episodes e ON e.EpisodeID = c.EpisodeID) LEFT JOIN TVSeries "
      "s ON s.SeriesID = e.SeriesID WHERE c.Name IN " +
      in_list + " ORDER BY s.SortTitle, e.SeriesID, e.Season, e.EpisodeNo, c.Position");
  for (; !episode_rows->Eof(); episode_rows->MoveNext()) {
    const std::string role = Text(*episode_rows, "Role");
    if (!DividerKind(role).empty()) continue;
    const bool cast = IsCastRow(*episode_rows);
    Json item = EpisodeRef(*episode_rows);
    item["CreditedAs"] = Text(*episode_rows, "Name");
    item["Role"] = role;
    if (cast) item["IsVoice"] = Flag(*episode_rows, "IsVoice");
    item["IsUncredited"] = Flag(*episode_rows, "IsUncredited");
    item["IsCreditOnly"] = Schema() >= 88 && Flag(*episode_rows, "IsCreditOnly");
    (cast ? episode_cast : episode_crew).push_back(std::move(item));
  }
  episode_rows.reset();

  // The award query matches any nominee text holding the name, so "Tom" would find "Tom Hale":
  // only nominations naming one of the person's names (a note in brackets aside) are theirs.
  Json awards = Json::array();
  for (Json& award : AwardsJson(*database.GetPersonAwards(common_name))) {
    const bool theirs = std::any_of(
        award["Nominees"].begin(), award["Nominees"].end(),
        [&](const Json& nominee) { return NamesPerson(nominee.get<std::string>(), names); });
    if (theirs) awards.push_back(std::move(award));
  }
  if (aliases.empty() && title_cast.empty() && title_crew.empty() && episode_cast.empty() &&
      episode_crew.empty() && awards.empty()) {
    return std::nullopt;
  }
  return Json{{"Name", name},
              {"CommonName", common_name},
              {"Aliases", std::move(aliases)},
              {"Titles", {{"Cast", std::move(title_cast)}, {"Crew", std::move(title_crew)}}},
              {"Episodes", {{"Cast", std::move(episode_cast)}, {"Crew", std::move(episode_crew)}}},
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
  return {{"series", std::move(series)}};
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
  return {{"award", award}, {"names", std::move(names)}, {"awards", std::move(awards)}};
}

Json SearchData(ZelDatabase& database, const std::string& text, int32_t limit) {
  Json titles = Json::array(), people = Json::array();
  if (!text.empty()) {
    const std::string pattern = "'*" + QuoteSql(LikeLiteral(text)) + "*'";
    const std::string top = std::to_string(limit);
    auto records = database.DbOpenRecordSet(
        "SELECT ProfileID, Title, ProdYear, Medium FROM Profiles WHERE Title LIKE " + pattern +
        " OR OriginalTitle LIKE " + pattern + " ORDER BY SortTitle, Title LIMIT " + top);
    for (; !records->Eof(); records->MoveNext()) titles.push_back(TitleSummary(*records));
    records.reset();
    auto names = database.DbOpenRecordSet(
        "SELECT DISTINCT COALESCE(a.CommonName, n.Name) AS Person FROM (SELECT Name FROM CastCrew "
        "WHERE Name LIKE " +
        pattern + " AND (Role IS NULL OR Role NOT IN " + std::string(kDividerRoles) +
        ") UNION SELECT Name FROM TVCastCrew WHERE Name LIKE " + pattern +
        " AND (Role IS NULL OR Role NOT IN " + std::string(kDividerRoles) +
        ") UNION SELECT AliasName FROM Alias WHERE AliasName LIKE " + pattern +
        " UNION SELECT CommonName FROM Alias WHERE CommonName LIKE " + pattern +
        ") n LEFT JOIN Alias a ON a.AliasName = n.Name ORDER BY Person LIMIT " + top);
    for (; !names->Eof(); names->MoveNext()) people.push_back(Text(*names, "Person"));
  }
  return {{"text", text}, {"titles", std::move(titles)}, {"people", std::move(people)}};
}

}  // namespace zel::serve
