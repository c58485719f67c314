#include "catalogue/database.h"

#include "awards/awards.h"
#include "frame/dictionary.h"
#include "frame/library_state.h"
#include "frame/member_table.h"
#include "frame/text.h"
#include "import/profiler_import.h"
#include "model/profiles.h"
#include "people/aliases.h"
#include "store/reference_lists.h"
#include "store/table_defs.h"
#include "store/text_helpers.h"
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
          .Method("ImportAwardFile", &ZelDatabase::ImportAwardFile, {Param("FilePath")})
          .Method("ImportSingleProfilerXMLNode", &ZelDatabase::ImportSingleProfilerXMLNode,
                  {Param("XMLString")})
          .Build();
  return info;
}

ZelDatabase::ZelDatabase(std::shared_ptr<store::Connection> connection)
    : connection_(std::move(connection)), file_path_(connection_->Name()) {}

// The active database is held by the library itself, so a database object that ends is never the
// active one: ending leaves ActiveDatabase alone and only closes this object's connection.
ZelDatabase::~ZelDatabase() = default;

void ZelDatabase::ClearTable(std::string_view table_name) {
  DbExecute("DELETE FROM " + QuoteSql(table_name));
}

ObjectPtr ZelDatabase::TableDefs() {
  return std::make_shared<store::TableDefs>(connection_->TableDefs());
}

int16_t ZelDatabase::Schema() { return Variant(ReadDbInfo("Schema", "")).ToInteger(); }

void ZelDatabase::SetSchema(int16_t schema) { WriteDbInfo("Schema", std::to_string(schema)); }

const std::string& ZelDatabase::FilePath() const { return file_path_; }

std::string ZelDatabase::Owner() { return ReadDbInfo("Owner", ""); }

void ZelDatabase::SetOwner(std::string owner) { WriteDbInfo("Owner", owner); }

std::string ZelDatabase::ReadDbInfo(std::string_view name, std::string_view fallback) {
  auto records =
      DbOpenRecordSet("SELECT InfoValue FROM DbInfo WHERE InfoName = '" + QuoteSql(name) + "'");
  if (records->RecordCount() == 0) return std::string(fallback);
  // The column may legally be empty; such an entry reads as empty text rather than failing.
  return records->Value("InfoValue").ToTextOrEmpty();
}

void ZelDatabase::WriteDbInfo(std::string_view name, std::string_view value) {
  store::WriteScope scope(*connection_);
  DbExecute("DELETE FROM DbInfo WHERE InfoName = '" + QuoteSql(name) + "'");
  DbExecute("INSERT INTO DbInfo (InfoName, InfoValue) VALUES ('" + QuoteSql(name) + "', '" +
            QuoteSql(value) + "')");
  scope.Commit();
}

std::string ZelDatabase::ReadInfoByProfileID(std::string_view table, std::string_view profile_id,
                                             std::string_view name, std::string_view fallback) {
  auto records =
      DbOpenRecordSet("SELECT InfoValue FROM " + std::string(table) + " WHERE InfoName = '" +
                      QuoteSql(name) + "' AND ProfileID = '" + QuoteSql(profile_id) + "'");
  if (records->RecordCount() == 0) return std::string(fallback);
  return records->Value("InfoValue").ToTextOrEmpty();
}

std::string ZelDatabase::ReadAdditionalInfoByProfileID(std::string_view profile_id,
                                                       std::string_view name,
                                                       std::string_view fallback) {
  return ReadInfoByProfileID("AdditionalInfo", profile_id, name, fallback);
}

std::string ZelDatabase::ReadMetaInfoByProfileID(std::string_view profile_id, std::string_view name,
                                                 std::string_view fallback) {
  return ReadInfoByProfileID("MetaInfo", profile_id, name, fallback);
}

void ZelDatabase::InsertAdditionalInfo(std::string_view profile_id, std::string_view name,
                                       std::string_view value, std::string_view info_type) {
  const std::string key =
      "'" + QuoteSql(profile_id) + "', '" + QuoteSql(name) + "', '" + QuoteSql(value) + "'";
  if (schema_number_ >= 84) {
    DbExecute("INSERT INTO AdditionalInfo (ProfileID, InfoName, InfoValue, infotype) VALUES (" +
              key + ", '" + QuoteSql(info_type) + "')");
  } else {
    DbExecute("INSERT INTO AdditionalInfo (ProfileID, InfoName, InfoValue) VALUES (" + key + ")");
  }
}

void ZelDatabase::WriteAdditionalInfoByProfileID(std::string_view profile_id, std::string_view name,
                                                 std::string_view value,
                                                 std::string_view info_type) {
  store::WriteScope scope(*connection_);
  DbExecute("DELETE FROM AdditionalInfo WHERE ProfileID = '" + QuoteSql(profile_id) +
            "' AND InfoName = '" + QuoteSql(name) + "'");
  InsertAdditionalInfo(profile_id, name, value, info_type);
  scope.Commit();
}

void ZelDatabase::WriteMetaInfoByProfileID(std::string_view profile_id, std::string_view name,
                                           std::string_view value) {
  store::WriteScope scope(*connection_);
  DbExecute("DELETE FROM MetaInfo WHERE ProfileID = '" + QuoteSql(profile_id) +
            "' AND InfoName = '" + QuoteSql(name) + "'");
  DbExecute("INSERT INTO MetaInfo (ProfileID, InfoName, InfoValue) VALUES ('" +
            QuoteSql(profile_id) + "', '" + QuoteSql(name) + "', '" + QuoteSql(value) + "')");
  scope.Commit();
}

void ZelDatabase::WriteAdditionalInfosByProfileID(std::string_view profile_id,
                                                  const std::shared_ptr<ZelInfos>& infos) {
  if (!infos) Raise(errc::kMissingObject);
  store::WriteScope scope(*connection_);
  DbExecute("DELETE FROM AdditionalInfo WHERE ProfileID = '" + QuoteSql(profile_id) + "'");
  for (const auto& info : infos->All()) {
    InsertAdditionalInfo(profile_id, info->Name(), info->Value(), info->InfoType());
  }
  scope.Commit();
}

std::shared_ptr<ZelInfos> ZelDatabase::ReadAdditionalInfosByProfileID(std::string_view profile_id) {
  auto infos = std::make_shared<ZelInfos>();
  auto records = DbOpenRecordSet("SELECT * FROM AdditionalInfo WHERE ProfileID = '" +
                                 QuoteSql(profile_id) + "' ORDER BY InfoName");
  const bool has_type = schema_number_ > 83;
  for (; !records->Eof(); records->MoveNext()) {
    auto info = infos->Add(records->Value("InfoName").ToTextOrEmpty(),
                           records->Value("InfoValue").ToTextOrEmpty());
    if (has_type) info->SetInfoType(records->Value("InfoType").ToTextOrEmpty());
  }
  return infos;
}

std::shared_ptr<ZelProfiles> ZelDatabase::Profiles() {
  if (!profiles_) profiles_ = ZelProfiles::Load(*this);
  return profiles_;
}

void ZelDatabase::UpdateProfiles() {
  if (profiles_) profiles_->Store(*this);
}

void ZelDatabase::UpdateDatabase() {
  // The list updates, in their fixed order; each writes only a list that was read or set.
  store::WriteScope scope(*connection_);
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

std::shared_ptr<ZelCurrencies> ZelDatabase::Currencies() {
  if (!currencies_) currencies_ = ZelCurrencies::Load(*this);
  return currencies_;
}

void ZelDatabase::UpdateCurrencies() {
  if (currencies_) currencies_->Store(*this);
}

std::shared_ptr<Dictionary> ZelDatabase::Translations() {
  if (!translations_) {
    translations_ = LoadTranslations(*this);
    stored_translation_keys_.clear();
    for (const auto& [original, user_text] : translations_->entries()) {
      stored_translation_keys_.push_back(original);
    }
  }
  return translations_;
}

void ZelDatabase::SetTranslations(std::shared_ptr<Dictionary> list) {
  // A dictionary given by the caller never held the stored rows, so it removes none of them.
  translations_ = std::move(list);
  stored_translation_keys_.clear();
}

void ZelDatabase::UpdateTranslations() {
  if (!translations_) return;
  StoreTranslations(*this, *translations_, stored_translation_keys_);
  stored_translation_keys_.clear();
  for (const auto& [original, user_text] : translations_->entries()) {
    stored_translation_keys_.push_back(original);
  }
}

std::shared_ptr<ZelUsers> ZelDatabase::Users() {
  if (!users_) users_ = ZelUsers::Load(*this);
  return users_;
}

void ZelDatabase::UpdateUsers() {
  if (users_) users_->Store(*this);
}

std::shared_ptr<ZelRetailers> ZelDatabase::Retailers() {
  if (!retailers_) retailers_ = ZelRetailers::Load(*this);
  return retailers_;
}

void ZelDatabase::UpdateRetailers() {
  if (retailers_) retailers_->Store(*this);
}

std::shared_ptr<ZelSQLQueries> ZelDatabase::SQLQueries() {
  if (!sql_queries_) sql_queries_ = ZelSQLQueries::Load(*this);
  return sql_queries_;
}

void ZelDatabase::UpdateSQLQueries() {
  if (sql_queries_) sql_queries_->Store(*this);
}

void ZelDatabase::DbExecute(std::string_view sql) { connection_->Execute(sql); }

std::shared_ptr<store::RecordSet> ZelDatabase::DbOpenRecordSet(std::string_view sql) {
  return connection_->OpenRecordSet(sql);
}

void ZelDatabase::ImportSingleProfilerXMLNode(std::string_view xml_string) {
  ImportProfilerXml(xml_string);
}

ZelDatabase& RequireActiveDatabase() {
  if (!State().active_database) Raise(errc::kMissingObject);
  return *State().active_database;
}

void ZelDatabase::NoteImported(ImportedList list, std::string key) {
  bool loaded = false;
  switch (list) {
    case ImportedList::kProfiles:
      loaded = profiles_ != nullptr;
      break;
    case ImportedList::kAliases:
      loaded = aliases_ != nullptr;
      break;
    case ImportedList::kCurrencies:
      loaded = currencies_ != nullptr;
      break;
    case ImportedList::kUsers:
      loaded = users_ != nullptr;
      break;
    case ImportedList::kRetailers:
      loaded = retailers_ != nullptr;
      break;
  }
  if (loaded) imported_.emplace_back(list, std::move(key));
}

void ZelDatabase::SyncImported() {
  const auto notes = std::move(imported_);
  imported_.clear();
  for (const auto& [list, key] : notes) {
    switch (list) {
      case ImportedList::kProfiles:
        if (profiles_) profiles_->SyncStored(*this, key);
        break;
      case ImportedList::kAliases:
        if (aliases_) aliases_->SyncStored(*this, key);
        break;
      case ImportedList::kCurrencies:
        if (currencies_) currencies_->SyncStored(*this, key);
        break;
      case ImportedList::kUsers:
        if (users_) users_->SyncStored(*this, key);
        break;
      case ImportedList::kRetailers:
        if (retailers_) retailers_->SyncStored(*this, key);
        break;
    }
  }
}

// --- CatalogueLink ---

namespace {

[[noreturn]] void RaiseReleased() {
  Raise(errc::kMissingObject,
        "The catalogue this object belongs to was closed and released; open it again and read "
        "the object anew");
}

}  // namespace

ZelDatabase* CatalogueLink::Find() {
  if (bound_) {
    std::shared_ptr<ZelDatabase> database = database_.lock();
    if (!database) RaiseReleased();
    return database.get();
  }
  ZelDatabase* active = State().active_database.get();
  if (active) Bind(*active);
  return active;
}

ZelDatabase& CatalogueLink::Get() {
  ZelDatabase* database = Find();
  if (!database) Raise(errc::kMissingObject);
  return *database;
}

ZelDatabase* CatalogueLink::Peek() const { return bound_ ? database_.lock().get() : nullptr; }

void CatalogueLink::Join(ZelDatabase& database) {
  if (!bound_) Bind(database);
}

void CatalogueLink::Join(const CatalogueLink& other) {
  if (bound_ || !other.bound_) return;
  database_ = other.database_;
  bound_ = true;
}

void CatalogueLink::Bind(ZelDatabase& database) {
  database_ = std::static_pointer_cast<ZelDatabase>(database.shared_from_this());
  bound_ = true;
}

}  // namespace zel
