// zel profiles and zel show: the titles of a catalogue and one title with what it carries.
#include <iostream>

#include "commands.h"
#include "frame/control.h"
#include "frame/error.h"
#include "import/profiler_import.h"
#include "model/profiles.h"
#include "output.h"
#include "store/database.h"
#include "store/text_helpers.h"

namespace zel::cli {
namespace {

std::string YearText(int16_t year) { return year == 0 ? "" : std::to_string(year); }

// The stored profile of that identifier (letter case ignored, as keys are) or of that ID as DVD
// Profiler shows it, read on its own rather than through the whole list.
std::shared_ptr<ZelProfile> FindProfile(ZelDatabase& database, const std::string& path,
                                        const std::string& text) {
  const std::string profile_id = FindProfileId(database, text);
  if (profile_id.empty()) {
    std::string description = "No profile '" + text + "' in " + path;
    const std::vector<std::string> similar = SimilarProfileIds(database, text);
    for (size_t i = 0; i < similar.size(); ++i) {
      description += (i == 0 ? "; did you mean " : " or ") + similar[i];
    }
    Raise(errc::kInvalidArgument, description + (similar.empty() ? "" : "?"));
  }
  auto records = database.DbOpenRecordSet("SELECT * FROM Profiles WHERE ProfileID = '" +
                                          QuoteSql(profile_id) + "'");
  return ProfileFromRecord(*records);
}

Json CreditsJson(const ZelCredits& credits, bool cast) {
  Json list = Json::array();
  for (const auto& credit : credits.All()) {
    Json item = {{"Position", credit->Position()},        {"Name", credit->Name()},
                 {"CommonName", credit->CommonName()},    {"Role", credit->Role()},
                 {"BirthYear", credit->BirthYear()},      {"IsUncredited", credit->IsUncredited()},
                 {"IsCreditOnly", credit->IsCreditOnly()}};
    if (cast) item["IsVoice"] = credit->IsVoice();
    list.push_back(std::move(item));
  }
  return list;
}

Json TextsJson(const Collection& texts) {
  Json list = Json::array();
  for (const Variant& text : texts.Items()) list.push_back(ToJson(text));
  return list;
}

std::string JoinTexts(const Collection& texts) {
  std::string joined;
  for (const Variant& text : texts.Items()) joined += (joined.empty() ? "" : ", ") + CellText(text);
  return joined;
}

Json ProfileJson(ZelProfile& profile) {
  Json json = {{"ProfileID", profile.ProfileID()},
               {"Title", profile.Title()},
               {"OriginalTitle", profile.OriginalTitle()},
               {"SortTitle", profile.SortTitle()},
               {"Medium", profile.Medium()},
               {"ProductionYear", profile.ProductionYear()},
               {"RunningTime", profile.RunningTime()},
               {"ReleaseDate", ToJson(Variant(profile.ReleaseDate()))},
               {"Rating", profile.Rating()},
               {"RatingSystem", profile.RatingSystem()},
               {"CollectionType", profile.CollectionType()},
               {"CollectionNumber", profile.CollectionNumber()},
               {"UPC", profile.UPC()},
               {"CountryOfOrigin", profile.CountryOfOrigin()},
               {"Genres", TextsJson(*profile.Genres())},
               {"Cast", CreditsJson(*profile.Cast(), true)},
               {"Crew", CreditsJson(*profile.Crew(), false)}};
  Json discs = Json::array();
  for (const auto& disc : profile.Discs()->All()) {
    discs.push_back({{"Number", disc->Number()},
                     {"DescriptionSideA", disc->DescriptionSideA()},
                     {"DescriptionSideB", disc->DescriptionSideB()},
                     {"LabelSideA", disc->LabelSideA()},
                     {"LabelSideB", disc->LabelSideB()},
                     {"DualSided", disc->DualSided()},
                     {"DualLayered", disc->DualLayered()},
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
  return json;
}

void PrintCredits(const std::string& heading, const ZelCredits& credits, bool cast) {
  std::cout << '\n' << heading << " (" << credits.CountLong() << ")\n";
  if (credits.empty()) return;
  std::vector<std::vector<std::string>> rows;
  for (const auto& credit : credits.All()) {
    std::string notes;
    if (cast && credit->IsVoice()) notes += "voice ";
    if (credit->IsUncredited()) notes += "uncredited ";
    if (credit->IsCreditOnly()) notes += "credit only ";
    if (!notes.empty()) notes.pop_back();
    const std::string common = credit->CommonName() == credit->Name() ? "" : credit->CommonName();
    rows.push_back({std::to_string(credit->Position()), credit->Name(), common, credit->Role(),
                    YearText(credit->BirthYear()), notes});
  }
  PrintTable(std::cout, {"Pos", "Name", "Common name", cast ? "Role" : "Job", "Born", "Notes"},
             rows);
}

std::string Flags(std::initializer_list<std::pair<bool, const char*>> flags) {
  std::string text;
  for (const auto& [set, name] : flags) {
    if (set) text += (text.empty() ? "" : ", ") + std::string(name);
  }
  return text;
}

void PrintProfile(ZelProfile& profile) {
  std::cout << profile.Title();
  if (profile.ProductionYear() != 0) std::cout << " (" << profile.ProductionYear() << ")";
  std::cout << '\n';
  std::vector<std::pair<std::string, std::string>> fields = {
      {"Profile", profile.ProfileID()},
      {"Original title", profile.OriginalTitle()},
      {"Sort title", profile.SortTitle()},
      {"Medium", profile.Medium()},
      {"Released", profile.ReleaseDate() == Date::Zero() ? "" : FormatDate(profile.ReleaseDate())},
      {"Running time",
       profile.RunningTime() == 0 ? "" : std::to_string(profile.RunningTime()) + " min"},
      {"Rating", profile.Rating() +
                     (profile.RatingSystem().empty() ? "" : " (" + profile.RatingSystem() + ")")},
      {"Collection",
       profile.CollectionType() +
           (profile.CollectionNumber().empty() ? "" : " #" + profile.CollectionNumber())},
      {"UPC", profile.UPC()},
      {"Country", profile.CountryOfOrigin()},
      {"Genres", JoinTexts(*profile.Genres())},
  };
  for (const auto& [label, value] : fields) {
    if (!value.empty()) std::cout << "  " << label << ": " << value << '\n';
  }
  PrintCredits("Cast", *profile.Cast(), true);
  PrintCredits("Crew", *profile.Crew(), false);

  const auto discs = profile.Discs();
  std::cout << "\nDiscs (" << discs->CountLong() << ")\n";
  if (!discs->empty()) {
    std::vector<std::vector<std::string>> rows;
    for (const auto& disc : discs->All()) {
      rows.push_back({std::to_string(disc->Number()), disc->DescriptionSideA(),
                      disc->DescriptionSideB(), disc->Location(), disc->Slot(),
                      Flags({{disc->DualSided(), "dual sided"},
                             {disc->DualLayered(), "dual layered"},
                             {disc->Flipper(), "flipper"}})});
    }
    PrintTable(std::cout, {"No", "Side A", "Side B", "Location", "Slot", "Notes"}, rows);
  }

  const auto video = profile.Video();
  const std::string video_text =
      Flags({{!video->AspectRatio().empty(), video->AspectRatio().c_str()},
             {!video->VideoStandard().empty(), video->VideoStandard().c_str()},
             {video->Anamorphic(), "anamorphic"},
             {video->LetterBox(), "letterbox"},
             {video->PanAndScan(), "pan and scan"},
             {video->FullFrame(), "full frame"}});
  std::cout << "\nVideo: " << (video_text.empty() ? "(none)" : video_text) << '\n';
  const auto audio = profile.Audio();
  std::cout << "\nAudio (" << audio->CountLong() << ")\n";
  if (!audio->empty()) {
    std::vector<std::vector<std::string>> rows;
    for (const auto& format : audio->All()) {
      rows.push_back({std::to_string(format->Position()), format->Language(), format->Compression(),
                      format->Channels()});
    }
    PrintTable(std::cout, {"Pos", "Language", "Compression", "Channels"}, rows);
  }
}

void RunProfiles(const std::string& path, bool json) {
  Control control;
  auto database = OpenCatalogue(control, path);
  const auto profiles = database->Profiles()->All();
  if (json) {
    Json list = Json::array();
    for (const auto& profile : profiles) {
      list.push_back({{"ProfileID", profile->ProfileID()},
                      {"Title", profile->Title()},
                      {"SortTitle", profile->SortTitle()},
                      {"ProductionYear", profile->ProductionYear()},
                      {"Medium", profile->Medium()}});
    }
    std::cout << list.dump(2) << '\n';
    return;
  }
  std::vector<std::vector<std::string>> rows;
  for (const auto& profile : profiles) {
    rows.push_back({profile->ProfileID(), profile->Title(), YearText(profile->ProductionYear()),
                    profile->Medium()});
  }
  PrintTable(std::cout, {"ProfileID", "Title", "Year", "Medium"}, rows);
}

void RunShow(const std::string& path, const std::string& profile_id, bool json) {
  Control control;
  auto database = OpenCatalogue(control, path);
  auto profile = FindProfile(*database, path, profile_id);
  if (json) {
    std::cout << ProfileJson(*profile).dump(2) << '\n';
  } else {
    PrintProfile(*profile);
  }
}

}  // namespace

void AddProfileCommands(CLI::App& app) {
  static std::string path;
  static std::string profile_id;
  static bool json = false;

  auto* profiles = app.add_subcommand("profiles", "List the profiles of a catalogue by sort title");
  profiles->add_option("FILE", path, "Catalogue file")->required();
  profiles->add_flag("--json", json, "Print JSON for scripts");
  profiles->callback([] { RunProfiles(path, json); });

  auto* show = app.add_subcommand(
      "show", "Show one profile: titles, key fields, cast and crew, discs and formats");
  show->add_option("FILE", path, "Catalogue file")->required();
  show->add_option("PROFILEID", profile_id, "Identifier of the profile")->required();
  show->add_flag("--json", json, "Print JSON for scripts");
  show->callback([] { RunShow(path, profile_id, json); });
}

}  // namespace zel::cli
