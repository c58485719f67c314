#include "catalogue/database.h"

#include "awards/awards.h"
#include "frame/dictionary.h"
#include "frame/member_table.h"
#include "import/award_file.h"
#include "import/profiler_import.h"
#include "model/profiles.h"
#include "model/reference_lists.h"
#include "people/aliases.h"
#include "people/appearances.h"
#include "people/namesakes.h"
#include "tv/tv_show.h"

namespace zel {

const ClassInfo& ZelDatabase::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelDatabase>("ZelDatabase")
          .WithReflection(Reflection::kTolerant)
          .Method("ClearTable", &ZelDatabase::ClearTable, {Param("TableName")})
          .Get("TableDefs", &ZelDatabase::TableDefs)
          .Property("Schema", &ZelDatabase::Schema, &ZelDatabase::SetSchema)
          .Get("FilePath", &ZelDatabase::FilePath)
          .Property("Owner", &ZelDatabase::Owner, &ZelDatabase::SetOwner)
          .Method("ReadDbInfo", &ZelDatabase::ReadDbInfo,
                  {Param("DbInfoName"), Optional("Default", "")})
          .Method("WriteDbInfo", &ZelDatabase::WriteDbInfo,
                  {Param("DbInfoName"), Param("DbInfoValue")})
          .Method("ReadAdditionalInfoByProfileID", &ZelDatabase::ReadAdditionalInfoByProfileID,
                  {Param("ProfileID"), Param("DbInfoName"), Optional("Default", "")})
          .Method("ReadMetaInfoByProfileID", &ZelDatabase::ReadMetaInfoByProfileID,
                  {Param("ProfileID"), Param("DbInfoName"), Optional("Default", "")})
          .Method("WriteAdditionalInfoByProfileID", &ZelDatabase::WriteAdditionalInfoByProfileID,
                  {Param("ProfileID"), Param("DbInfoName"), Param("InfoValue"),
                   Optional("InfoType", "")})
          .Method("WriteMetaInfoByProfileID", &ZelDatabase::WriteMetaInfoByProfileID,
                  {Param("ProfileID"), Param("DbInfoName"), Param("InfoValue")})
          .Method("WriteAdditionalInfosByProfileID", &ZelDatabase::WriteAdditionalInfosByProfileID,
                  {Param("ProfileID"), Param("Infos")})
          .Method("ReadAdditionalInfosByProfileID", &ZelDatabase::ReadAdditionalInfosByProfileID,
                  {Param("ProfileID")})
          .Property("Profiles", &ZelDatabase::Profiles, &ZelDatabase::SetProfiles)
          .Method("UpdateProfiles", &ZelDatabase::UpdateProfiles)
          .Method("UpdateDatabase", &ZelDatabase::UpdateDatabase)
          .Property("Currencies", &ZelDatabase::Currencies, &ZelDatabase::SetCurrencies)
          .Method("UpdateCurrencies", &ZelDatabase::UpdateCurrencies)
          .Property("TVShows", &ZelDatabase::TVShows, &ZelDatabase::SetTVShows)
          .Method("UpdateTVShows", &ZelDatabase::UpdateTVShows)
          .Property("Translations", &ZelDatabase::Translations, &ZelDatabase::SetTranslations)
          .Method("UpdateTranslations", &ZelDatabase::UpdateTranslations)
          .Property("Aliases", &ZelDatabase::Aliases, &ZelDatabase::SetAliases)
          .Method("UpdateAliases", &ZelDatabase::UpdateAliases)
          .Property("Users", &ZelDatabase::Users, &ZelDatabase::SetUsers)
          .Method("UpdateUsers", &ZelDatabase::UpdateUsers)
          .Property("Retailers", &ZelDatabase::Retailers, &ZelDatabase::SetRetailers)
          .Method("UpdateRetailers", &ZelDatabase::UpdateRetailers)
          .Property("SQLQueries", &ZelDatabase::SQLQueries, &ZelDatabase::SetSQLQueries)
          .Method("UpdateSQLQueries", &ZelDatabase::UpdateSQLQueries)
          .Property("Awards", &ZelDatabase::Awards, &ZelDatabase::SetAwards)
          .Method("UpdateAwards", &ZelDatabase::UpdateAwards)
          .Method("GetMovieAwards", &ZelDatabase::GetMovieAwards,
                  {Param("OriginalTitle"), Optional("ProductionYear", Variant(int16_t{0}))})
          .Method("GetPersonAwards", &ZelDatabase::GetPersonAwards, {Param("Name")})
          .Method("GetAwardByYear", &ZelDatabase::GetAwardByYear,
                  {Param("AwardName"), Param("Year")})
          .Method("ExecuteSQL", &ZelDatabase::ExecuteSQL, {Param("strSQL")})
          .Method("ExecuteSQLWithResult", &ZelDatabase::ExecuteSQLWithResult, {Param("strSQL")})
          .Method("DbExecute", &ZelDatabase::DbExecute, {Param("strSQL")})
          .Method("DbOpenRecordSet", &ZelDatabase::DbOpenRecordSet, {Param("strSQL")})
          .Method(
              "FindAppearances", &ZelDatabase::FindAppearances,
              {Param("CastName"), Optional("IncludeProfiles", true),
               Optional("IncludeEpisodes", true), Optional("OnlyIncludeAssignedEpisodes", false),
               Optional("IncludeCast", true), Optional("IncludeCrew", true)})
          .Method("GetCommonName", &ZelDatabase::GetCommonName, {Param("Name")})
          .Method("GetPersonName", &ZelDatabase::GetPersonName,
                  {Param("Name"), Optional("BirthYear", Variant(int16_t{0}))})
          .Method("ImportAwardFile", &ZelDatabase::ImportAwardFile, {Param("FilePath")})
          .Method("ImportSingleProfilerXMLNode", &ZelDatabase::ImportSingleProfilerXMLNode,
                  {Param("XMLString")})
          .Build();
  return info;
}

ZelDatabase::ZelDatabase(std::shared_ptr<store::Connection> connection)
    : CatalogueFile(std::move(connection)) {}

// The active database is held by the library itself, so a database object that ends is never the
// active one: ending leaves ActiveDatabase alone and only closes this object's connection.
ZelDatabase::~ZelDatabase() = default;

std::shared_ptr<ZelProfiles> ZelDatabase::Profiles() { return model::Profiles(*this); }

void ZelDatabase::SetProfiles(std::shared_ptr<ZelProfiles> profiles) {
  Loaded(List::kProfiles) = std::move(profiles);
}

void ZelDatabase::UpdateProfiles() { model::UpdateProfiles(*this); }

void ZelDatabase::UpdateDatabase() {
  // The list updates, in their fixed order; each writes only a list that was read or set.
  store::WriteScope scope(connection());
  UpdateAliases();
  UpdateAwards();
  UpdateCurrencies();
  UpdateProfiles();
  UpdateRetailers();
  UpdateSQLQueries();
  UpdateTranslations();
  UpdateTVShows();
  UpdateUsers();
  scope.Commit();
}

std::shared_ptr<ZelCurrencies> ZelDatabase::Currencies() { return model::Currencies(*this); }

void ZelDatabase::SetCurrencies(std::shared_ptr<ZelCurrencies> list) {
  Loaded(List::kCurrencies) = std::move(list);
}

void ZelDatabase::UpdateCurrencies() { model::UpdateCurrencies(*this); }

std::shared_ptr<Dictionary> ZelDatabase::Translations() { return model::Translations(*this); }

void ZelDatabase::SetTranslations(std::shared_ptr<Dictionary> list) {
  model::SetTranslations(*this, std::move(list));
}

void ZelDatabase::UpdateTranslations() { model::UpdateTranslations(*this); }

std::shared_ptr<ZelUsers> ZelDatabase::Users() { return model::Users(*this); }

void ZelDatabase::SetUsers(std::shared_ptr<ZelUsers> list) {
  Loaded(List::kUsers) = std::move(list);
}

void ZelDatabase::UpdateUsers() { model::UpdateUsers(*this); }

std::shared_ptr<ZelRetailers> ZelDatabase::Retailers() { return model::Retailers(*this); }

void ZelDatabase::SetRetailers(std::shared_ptr<ZelRetailers> list) {
  Loaded(List::kRetailers) = std::move(list);
}

void ZelDatabase::UpdateRetailers() { model::UpdateRetailers(*this); }

std::shared_ptr<ZelSQLQueries> ZelDatabase::SQLQueries() { return model::SQLQueries(*this); }

void ZelDatabase::SetSQLQueries(std::shared_ptr<ZelSQLQueries> list) {
  Loaded(List::kSQLQueries) = std::move(list);
}

void ZelDatabase::UpdateSQLQueries() { model::UpdateSQLQueries(*this); }

std::shared_ptr<ZelTVShows> ZelDatabase::TVShows() { return tv::TVShows(*this); }

void ZelDatabase::SetTVShows(std::shared_ptr<ZelTVShows> shows) {
  Loaded(List::kTVShows) = std::move(shows);
}

void ZelDatabase::UpdateTVShows() { tv::UpdateTVShows(*this); }

std::shared_ptr<ZelAliases> ZelDatabase::Aliases() { return people::Aliases(*this); }

void ZelDatabase::SetAliases(std::shared_ptr<ZelAliases> aliases) {
  Loaded(List::kAliases) = std::move(aliases);
}

void ZelDatabase::UpdateAliases() { people::UpdateAliases(*this); }

std::string ZelDatabase::GetCommonName(std::string_view name) {
  return people::GetCommonName(*this, name);
}

std::string ZelDatabase::GetPersonName(std::string_view name, int16_t birth_year) {
  return people::PersonLabel(people::PersonOfCredit(*this, name, birth_year));
}

std::shared_ptr<Collection> ZelDatabase::FindAppearances(std::string_view cast_name,
                                                         bool include_profiles,
                                                         bool include_episodes,
                                                         bool only_assigned_episodes,
                                                         bool include_cast, bool include_crew) {
  return people::FindAppearances(*this, cast_name, include_profiles, include_episodes,
                                 only_assigned_episodes, include_cast, include_crew);
}

std::shared_ptr<ZelAwards> ZelDatabase::Awards() { return awards::Awards(*this); }

void ZelDatabase::SetAwards(std::shared_ptr<ZelAwards> awards) {
  Loaded(List::kAwards) = std::move(awards);
}

void ZelDatabase::UpdateAwards() { awards::UpdateAwards(*this); }

std::shared_ptr<ZelAwards> ZelDatabase::GetMovieAwards(std::string_view original_title,
                                                       int16_t production_year) {
  return awards::GetMovieAwards(*this, original_title, production_year);
}

std::shared_ptr<ZelAwards> ZelDatabase::GetPersonAwards(std::string_view name) {
  return awards::GetPersonAwards(*this, name);
}

std::shared_ptr<ZelAwards> ZelDatabase::GetAwardByYear(std::string_view award_name,
                                                       const Variant& year) {
  return awards::GetAwardByYear(*this, award_name, year);
}

void ZelDatabase::ImportAwardFile(std::string_view file_path) {
  zel::ImportAwardFile(*this, file_path);
}

void ZelDatabase::ImportSingleProfilerXMLNode(std::string_view xml_string) {
  ImportProfilerXml(xml_string);
}

}  // namespace zel
