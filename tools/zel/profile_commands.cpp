// zel profiles and zel show: the titles of a catalogue and one title with what it carries.
#include <algorithm>
#include <iostream>
#include <optional>

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "commands.h"
#include "frame/error.h"
#include "frame/text.h"
#include "model/box_sets.h"
#include "model/credits.h"
#include "model/profile.h"
#include "model/profiles.h"
#include "model/region_codes.h"
#include "output.h"
#include "people/namesakes.h"
#include "store/plain_database.h"
#include "tv/series_outline.h"
#include "web/data.h"
#include "web/html.h"
#include "web/sql.h"
#include "web/text.h"

namespace zel::cli {
namespace {

std::string YearText(int16_t year) { return year == 0 ? "" : std::to_string(year); }

// The catalogue read as the title page reads it; a file this user may not write, or on a
// read-only disk, is read as one nobody writes.
std::unique_ptr<store::PlainDatabase> OpenTitleReader(const std::string& path) {
  try {
    return store::PlainDatabase::Open(path, store::PlainDatabase::Mode::kReadOnly);
  } catch (const Error&) {
    return store::PlainDatabase::Open(path, store::PlainDatabase::Mode::kImmutable);
  }
}

std::string Joined(const std::vector<std::string>& texts) {
  std::string joined;
  for (const std::string& text : texts) joined += (joined.empty() ? "" : ", ") + text;
  return joined;
}

// Labelled values, one a line, the values lined up; a value of several lines continues under
// the first. Empty values are left out.
class Fields {
 public:
  void Add(std::string label, std::string value) {
    if (!value.empty()) fields_.push_back({std::move(label), {std::move(value)}});
  }
  void Add(std::string label, std::vector<std::string> values) {
    if (!values.empty()) fields_.push_back({std::move(label), std::move(values)});
  }
  bool empty() const { return fields_.empty(); }
  void Print(std::ostream& out) const {
    size_t width = 0;
    for (const auto& [label, values] : fields_) width = std::max(width, label.size() + 1);
    for (const auto& [label, values] : fields_) {
      std::string lead = "  " + label + ":" + std::string(width - label.size() - 1 + 2, ' ');
      for (const std::string& value : values) {
        out << lead << value << '\n';
        lead.assign(lead.size(), ' ');
      }
    }
  }

 private:
  std::vector<std::pair<std::string, std::vector<std::string>>> fields_;
};

void Heading(const std::string& heading) { std::cout << '\n' << heading << '\n'; }

void PrintFields(const std::string& heading, const Fields& fields) {
  if (fields.empty()) return;
  Heading(heading);
  fields.Print(std::cout);
}

void PrintText(const std::string& heading, const std::string& rich_text) {
  const std::string text = web::PlainText(rich_text);
  if (text.empty()) return;
  Heading(heading);
  std::cout << text << '\n';
}

// A cast or crew list in credit order. A divider opens a new group under its caption as a
// heading; an end divider closes the group with an empty line. Where namesakes share a name, the
// person column says which of them a credit is, or that it could be either.
void PrintCredits(ZelDatabase& database, const std::string& heading, const Json& credits,
                  bool cast) {
  std::vector<std::vector<std::string>> rows;
  int64_t count = 0;
  const auto break_group = [&] {
    if (!rows.empty() && !rows.back().empty()) rows.push_back({});
  };
  for (const Json& credit : credits) {
    if (credit.contains("Divider")) {
      const std::string kind = web::Str(credit, "Divider");
      const std::string caption = web::Str(credit, "Caption");
      break_group();
      if (kind != "End" && !caption.empty()) {
        rows.push_back({caption + (kind == "Divider" ? "" : " (" + ToLower(kind) + ")")});
      }
      continue;
    }
    ++count;
    const std::string name = web::Str(credit, "Name");
    std::string common = web::Str(credit, "CommonName");
    const people::Person person =
        people::PersonOfCredit(database, name, static_cast<int32_t>(web::Int(credit, "BirthYear")));
    if (person.namesakes) common = people::PersonLabel(person);
    rows.push_back({name, common == name ? "" : common, web::Str(credit, "Role"),
                    web::YearText(credit, "BirthYear"), Joined(web::CreditMarks(credit))});
  }
  while (!rows.empty() && rows.back().empty()) rows.pop_back();
  if (rows.empty()) return;
  Heading(heading + " (" + std::to_string(count) + ")");
  PrintTable(std::cout, {"Name", "Common name", cast ? "Role" : "Job", "Born", "Notes"}, rows);
}

void PrintTableSection(const std::string& heading, size_t count,
                       const std::vector<std::string>& header,
                       const std::vector<std::vector<std::string>>& rows) {
  if (rows.empty()) return;
  Heading(heading + " (" + std::to_string(count) + ")");
  PrintTable(std::cout, header, rows);
}

// Everything the title page shows, in its order: what a collector reads first, then the lists,
// the formats, the awards, what the collection knows of its copy, and the catalogue's own fields.
void PrintTitle(ZelDatabase& database, const Json& title) {
  using web::Member;
  using web::Str;
  std::cout << Str(title, "Title");
  if (!web::YearText(title, "ProductionYear").empty()) {
    std::cout << " (" << web::YearText(title, "ProductionYear") << ")";
  }
  std::cout << '\n';
  std::vector<std::string> marks;
  if (const std::string type = web::CollectionMark(Str(title, "CollectionType")); !type.empty()) {
    marks.push_back(type);
  }
  if (!Member(title, "LoanInfo").is_null()) marks.emplace_back("on loan");
  if (!marks.empty()) std::cout << "  (" << Joined(marks) << ")\n";
  Fields facts;
  facts.Add("Medium", Str(title, "Medium"));
  facts.Add("Rating", web::RatingText(title));
  if (web::Int(title, "RunningTime")) {
    facts.Add("Running time", Str(title, "RunningTime") + " minutes");
  }
  facts.Add("Genres", web::Joined(Member(title, "Genres")));
  if (Str(title, "OriginalTitle") != Str(title, "Title")) {
    facts.Add("Original title", Str(title, "OriginalTitle"));
  }
  facts.Add("Edition", Str(title, "Description"));
  facts.Add("Country of origin", Str(title, "CountryOfOrigin"));
  facts.Add("Released", Str(title, "ReleaseDate"));
  facts.Add("Regions", web::RegionsText(Member(title, "Regions")));
  if (const Json& parent = Member(title, "ParentProfile"); !parent.is_null()) {
    std::string part_of = Str(parent, "Title");
    if (web::Int(parent, "ProductionYear")) part_of += " (" + Str(parent, "ProductionYear") + ")";
    facts.Add("Part of", part_of + ", " + Str(parent, "ProfileID"));
  }
  facts.Print(std::cout);
  PrintText("Overview", Str(title, "Overview"));

  PrintCredits(database, "Cast", Member(title, "Cast"), true);
  PrintCredits(database, "Crew", Member(title, "Crew"), false);

  std::vector<std::vector<std::string>> parts;
  for (const Json& child : Member(title, "ChildProfiles")) {
    parts.push_back(
        {Str(child, "ProfileID"), Str(child, "Title"), web::YearText(child, "ProductionYear")});
  }
  for (const Json& missing : Member(title, "MissingChildProfiles")) {
    parts.push_back({web::ShownId(missing.get<std::string>()), "(missing from the catalogue)", ""});
  }
  PrintTableSection("In this box set", parts.size(), {"ProfileID", "Title", "Year"}, parts);
  std::vector<std::vector<std::string>> episodes;
  for (const Json& episode : Member(title, "Episodes")) {
    episodes.push_back({Str(episode, "EpisodeID"), web::EpisodeLabel(episode)});
  }
  PrintTableSection("Episodes on these discs", episodes.size(), {"EpisodeID", "Episode"}, episodes);

  std::vector<std::vector<std::string>> discs;
  for (const Json& disc : Member(title, "Discs")) {
    discs.push_back({Str(disc, "Number"), web::DiscSideText(disc, false),
                     web::DiscSideText(disc, true), web::DiscPlaceText(disc),
                     Joined(web::DiscMarks(disc))});
  }
  PrintTableSection("Discs", discs.size(), {"No", "Side A", "Side B", "Location", "Notes"}, discs);

  Fields formats;
  formats.Add("Video", web::VideoText(Member(title, "Video")));
  std::vector<std::string> audio, studios;
  for (const Json& track : Member(title, "Audio")) audio.push_back(web::AudioText(track));
  formats.Add("Audio", audio);
  formats.Add("Subtitles", web::Joined(Member(title, "Subtitles")));
  formats.Add("Features", web::Joined(Member(title, "Features")));
  for (const Json& studio : Member(title, "Studios")) {
    const std::string type = Str(studio, "StudioType");
    studios.push_back(Str(studio, "Name") + (type.empty() ? "" : " (" + type + ")"));
  }
  formats.Add("Studios", studios);
  formats.Add("Review", web::ReviewText(Member(title, "Review")));
  formats.Add("Case", Str(title, "CaseType"));
  PrintFields("Formats", formats);

  std::vector<std::vector<std::string>> awards;
  for (const Json& award : Member(title, "Awards")) {
    awards.push_back({Str(award, "Award"), web::YearText(award, "Year"), Str(award, "Category"),
                      web::Joined(Member(award, "Nominees")),
                      web::Bool(award, "HasWon") ? "Won" : "Nominated"});
  }
  PrintTableSection("Awards", awards.size(), {"Award", "Year", "Category", "Nominee", "Result"},
                    awards);

  Fields owner;
  if (const Json& srp = Member(title, "SRP"); !srp.is_null()) {
    owner.Add("Retail price", web::Amount(Member(srp, "Value"), Str(srp, "CurrencyID")));
  }
  if (const Json& purchase = Member(title, "PurchaseInfo"); !purchase.is_null()) {
    owner.Add("Price paid", web::Amount(Member(purchase, "Price"), Str(purchase, "CurrencyID")));
    owner.Add("Purchased", Str(purchase, "PurchaseDate"));
    owner.Add("Purchased at", Str(purchase, "PurchasePlaceName"));
  }
  if (const Json& loan = Member(title, "LoanInfo"); !loan.is_null()) {
    owner.Add("On loan", web::LoanText(loan));
  }
  std::vector<std::string> tags, events;
  for (const Json& tag : Member(title, "Tags")) tags.push_back(web::TagText(tag));
  owner.Add("Tags", tags);
  for (const Json& event : Member(title, "Events")) events.push_back(web::EventText(event));
  owner.Add("Events", events);
  owner.Add("Collection number", Str(title, "CollectionNumber"));
  if (web::Int(title, "WishListPriority")) {
    owner.Add("Wish list priority", Str(title, "WishListPriority"));
  }
  if (web::Int(title, "CountAs") > 1) owner.Add("Counts as", Str(title, "CountAs"));
  PrintFields("In the collection", owner);
  PrintText("Notes", Str(title, "Notes"));
  PrintText("Easter eggs", Str(title, "EasterEggs"));

  Fields details;
  details.Add("Sort title", Str(title, "SortTitle"));
  details.Add("Original sort title", Str(title, "OriginalSortTitle"));
  details.Add("UPC", Str(title, "UPC"));
  details.Add("Locality", Str(title, "Locality"));
  details.Add("Data source", Str(title, "DataSource"));
  details.Add("Profile time stamp", Str(title, "ProfileTimeStamp"));
  details.Add("Last edited", Str(title, "LastEdited"));
  details.Add("Profile ID", Str(title, "ProfileID"));
  PrintFields("Catalogue details", details);
}

Json RegionsJson(const model::TitleEntry& entry) {
  Json regions = Json::array();
  for (const std::string& code : entry.regions) {
    regions.push_back(
        {{"Region", model::RegionLabel(entry.medium, code)}, {"Code", Variant(code).ToLong()}});
  }
  return regions;
}

std::string RegionsText(const model::TitleEntry& entry) {
  std::vector<std::string> labels;
  for (const std::string& code : entry.regions) {
    labels.push_back(model::RegionLabel(entry.medium, code));
  }
  return Joined(labels);
}

Json EntryJson(const model::TitleEntry& entry) {
  Json parts = Json::array();
  for (const model::TitleEntry& part : entry.parts) parts.push_back(EntryJson(part));
  return {{"ProfileID", entry.profile_id},
          {"Title", entry.title},
          {"SortTitle", entry.sort_title},
          {"ProductionYear", entry.year},
          {"Medium", entry.medium},
          {"CollectionType", entry.collection_type},
          {"Regions", RegionsJson(entry)},
          {"CountAs", entry.count_as},
          {"Counted", entry.Counted()},
          {"BoxSetID", entry.box_set_id.empty() ? Json(nullptr) : Json(entry.box_set_id)},
          {"PartCount", entry.part_count},
          {"Parts", std::move(parts)},
          {"MissingParts", entry.missing_parts}};
}

std::string CountText(int64_t count, const std::string& one, const std::string& many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Box sets once, with how many parts they hold, unless `parts_as_titles`: then every profile, each
// part naming its box set. The counts follow CountAs, as the desktop program counts.
void RunProfiles(const std::string& path, bool json, bool parts_as_titles) {
  Control control;
  auto database = OpenCatalogue(control, path);
  const model::TitleList list = model::ReadTitleList(*database, parts_as_titles);
  if (json) {
    Json entries = Json::array();
    for (const model::TitleEntry& entry : list.titles) entries.push_back(EntryJson(entry));
    PrintJson(std::cout, entries);
    return;
  }
  std::vector<std::vector<std::string>> rows;
  for (const model::TitleEntry& entry : list.titles) {
    std::string box;
    if (entry.part_count > 0 || !entry.missing_parts.empty()) {
      box = CountText(entry.part_count, "part", "parts");
      if (!entry.missing_parts.empty()) {
        box += " (" + std::to_string(entry.missing_parts.size()) + " missing)";
      }
    } else if (!entry.box_set_id.empty()) {
      box = "part of " + entry.box_set_id;
    }
    rows.push_back({entry.profile_id, entry.title, YearText(static_cast<int16_t>(entry.year)),
                    entry.medium, RegionsText(entry), entry.collection_type,
                    entry.count_as == 1 ? "" : std::to_string(entry.count_as), box});
  }
  PrintTable(
      std::cout,
      {"ProfileID", "Title", "Year", "Medium", "Regions", "Collection", "Counts as", "Box set"},
      rows);
  const model::TitleCounts& counts = list.counts;
  std::string by_type;
  for (const auto& [type, counted] : counts.counted_by_type) {
    by_type += (by_type.empty() ? "" : ", ") + type + " " + std::to_string(counted);
  }
  std::cout << "(" << CountText(counts.profiles, "profile", "profiles");
  if (counts.box_sets > 0) {
    std::cout << ", " << CountText(counts.parts, "of them", "of them") << " inside "
              << CountText(counts.box_sets, "box set", "box sets");
  }
  std::cout << "; counted as " << counts.counted << (by_type.empty() ? "" : ": " + by_type)
            << ")\n";
}

Json SeriesCreditsJson(const ZelCredits& credits, bool cast) {
  Json list = Json::array();
  for (const auto& credit : credits.All()) {
    const std::string heading = web::DividerKind(credit->Role());
    if (!heading.empty()) {
      list.push_back(
          {{"Position", credit->Position()}, {"Divider", heading}, {"Caption", credit->Name()}});
      continue;
    }
    Json item = {{"Position", credit->Position()},         {"Name", credit->Name()},
                 {"CommonName", credit->CommonName()},     {"Role", credit->Role()},
                 {"BirthYear", credit->BirthYear()},       {"IsUncredited", credit->IsUncredited()},
                 {"IsCreditOnly", credit->IsCreditOnly()}, {"IsRegular", credit->IsRegular()}};
    if (cast) item["IsVoice"] = credit->IsVoice();
    list.push_back(std::move(item));
  }
  return list;
}

// A series with its seasons and episodes, each episode with its discs and credits.
Json SeriesJson(const tv::SeriesOutline& outline) {
  const ZelTVShow& show = *outline.show;
  Json seasons = Json::array();
  for (const tv::SeriesOutline::Season& season : outline.seasons) {
    Json episodes = Json::array();
    for (const auto& episode : season.episodes) {
      Json discs = Json::array();
      for (const auto& profile : episode->AssignedProfiles()->All()) {
        discs.push_back({{"ProfileID", profile->ProfileID()}, {"Title", profile->Title()}});
      }
      episodes.push_back(
          {{"EpisodeID", episode->EpisodeID()},
           {"Number", episode->Number()},
           {"Title", episode->Title()},
           {"Label", tv::EpisodeLabel(season.name, episode->Number(), episode->Title())},
           {"OriginalTitle", episode->OriginalTitle()},
           {"Airdate", episode->Airdate() == Date::Zero() ? Json(nullptr)
                                                          : Json(FormatDate(episode->Airdate()))},
           {"RunningTime", episode->RunningTime()},
           {"Discs", std::move(discs)},
           {"Cast", SeriesCreditsJson(*episode->Cast(), true)},
           {"Crew", SeriesCreditsJson(*episode->Crew(), false)}});
    }
    seasons.push_back({{"Name", season.name}, {"Episodes", std::move(episodes)}});
  }
  return {{"ShowID", show.ShowID()},
          {"Title", show.Title()},
          {"OriginalTitle", show.OriginalTitle()},
          {"SortTitle", show.SortTitle()},
          {"Derived", outline.derived},
          {"EpisodeCount", outline.episode_count},
          {"Seasons", std::move(seasons)}};
}

void PrintSeries(ZelDatabase& database, const Json& series) {
  using web::Member;
  using web::Str;
  std::cout << Str(series, "Title") << '\n';
  std::cout << "  (series " << Str(series, "ShowID")
            << (web::Bool(series, "Derived") ? ", derived from the episode headings of its discs"
                                             : "")
            << ")\n";
  Fields facts;
  if (Str(series, "OriginalTitle") != Str(series, "Title")) {
    facts.Add("Original title", Str(series, "OriginalTitle"));
  }
  facts.Add("Episodes", Str(series, "EpisodeCount"));
  facts.Print(std::cout);
  for (const Json& season : Member(series, "Seasons")) {
    const std::string name = Str(season, "Name");
    Heading(std::string(40, '='));
    std::cout << (name.empty() ? std::string("Without a season") : "Season " + name) << " ("
              << Member(season, "Episodes").size()
              << (Member(season, "Episodes").size() == 1 ? " episode)\n" : " episodes)\n");
    for (const Json& episode : Member(season, "Episodes")) {
      Heading(Str(episode, "Label") + "  [" + Str(episode, "EpisodeID") + "]");
      Fields fields;
      std::vector<std::string> discs;
      for (const Json& disc : Member(episode, "Discs")) {
        discs.push_back(Str(disc, "Title") + ", " + Str(disc, "ProfileID"));
      }
      fields.Add(discs.size() == 1 ? "Disc" : "Discs", discs);
      fields.Add("Aired", Str(episode, "Airdate"));
      fields.Print(std::cout);
      PrintCredits(database, "Cast", Member(episode, "Cast"), true);
      PrintCredits(database, "Crew", Member(episode, "Crew"), false);
    }
  }
}

// A title by its ProfileID (or the ID DVD Profiler shows), else a series by its ShowID.
void RunShow(const std::string& path, const std::string& id, bool json) {
  Control control;
  auto database = OpenCatalogue(control, path);
  if (const std::optional<Json> title = web::TitleData(*OpenTitleReader(path), id)) {
    json ? PrintJson(std::cout, *title) : PrintTitle(*database, *title);
    return;
  }
  if (const std::optional<tv::SeriesOutline> outline = tv::ReadSeriesOutline(*database, id)) {
    const Json series = SeriesJson(*outline);
    json ? PrintJson(std::cout, series) : PrintSeries(*database, series);
    return;
  }
  RaiseUnknownTitle(*database, path, id);
}

}  // namespace

void AddProfileCommands(CLI::App& app) {
  static std::string path;
  static std::string profile_id;
  static bool json = false;
  static bool parts = false;

  auto* profiles = app.add_subcommand("profiles", "List the titles of a catalogue by sort title");
  profiles->footer(
      "A box set is one line with the number of parts it holds; --parts lists every part as a "
      "title of its own. Counts follow each title's CountAs, as DVD Profiler counts.");
  profiles->add_option("FILE", path, "Catalogue file")->required();
  profiles->add_flag("--parts", parts, "List the parts of box sets as titles of their own");
  profiles->add_flag("--json", json, "Print JSON for scripts");
  profiles->callback([] { RunProfiles(path, json, parts); });

  auto* show =
      app.add_subcommand("show", "Show one title with everything its page in zel serve shows");
  show->footer(
      "The facts and the overview; cast and crew in credit order under their group headings, "
      "with common names; box-set parts (those missing from the catalogue by ID); episodes on "
      "the discs; discs and formats; awards; prices, purchase, loan, tags and events; notes; the "
      "catalogue's own fields. --json prints what /api/title/ID of zel serve answers. A series "
      "identifier (zel tv list) shows the series: its seasons, and each episode with its discs, "
      "cast and crew.");
  show->add_option("FILE", path, "Catalogue file")->required();
  show->add_option("PROFILEID", profile_id,
                   "Identifier of the title (zel profiles lists them), or of a series")
      ->required();
  show->add_flag("--json", json, "Print JSON for scripts");
  show->callback([] { RunShow(path, profile_id, json); });
}

}  // namespace zel::cli
