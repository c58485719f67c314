#include "store/catalogue_file.h"

#include "frame/library_state.h"
#include "frame/variant.h"
#include "store/keyed_collection.h"
#include "store/table_defs.h"
#include "store/text_helpers.h"

namespace zel::store {

CatalogueFile::CatalogueFile(std::shared_ptr<Connection> connection)
    : connection_(std::move(connection)), file_path_(connection_->Name()) {}

CatalogueFile::~CatalogueFile() = default;

void CatalogueFile::ClearTable(std::string_view table_name) {
  DbExecute("DELETE FROM " + QuoteSql(table_name));
}

ObjectPtr CatalogueFile::TableDefs() {
  return std::make_shared<store::TableDefs>(connection_->TableDefs());
}

int16_t CatalogueFile::Schema() { return Variant(ReadDbInfo("Schema", "")).ToInteger(); }

void CatalogueFile::SetSchema(int16_t schema) { WriteDbInfo("Schema", std::to_string(schema)); }

std::string CatalogueFile::Owner() { return ReadDbInfo("Owner", ""); }

void CatalogueFile::SetOwner(std::string owner) { WriteDbInfo("Owner", owner); }

std::string CatalogueFile::ReadDbInfo(std::string_view name, std::string_view fallback) {
  auto records =
      DbOpenRecordSet("SELECT InfoValue FROM DbInfo WHERE InfoName = '" + QuoteSql(name) + "'");
  if (records->RecordCount() == 0) return std::string(fallback);
  // The column may legally be empty; such an entry reads as empty text rather than failing.
  return records->Value("InfoValue").ToTextOrEmpty();
}

void CatalogueFile::WriteDbInfo(std::string_view name, std::string_view value) {
  WriteScope scope(*connection_);
  DbExecute("DELETE FROM DbInfo WHERE InfoName = '" + QuoteSql(name) + "'");
  DbExecute("INSERT INTO DbInfo (InfoName, InfoValue) VALUES ('" + QuoteSql(name) + "', '" +
            QuoteSql(value) + "')");
  scope.Commit();
}

std::string CatalogueFile::ReadInfoByProfileID(std::string_view table, std::string_view profile_id,
                                               std::string_view name, std::string_view fallback) {
  auto records =
      DbOpenRecordSet("SELECT InfoValue FROM " + std::string(table) + " WHERE InfoName = '" +
                      QuoteSql(name) + "' AND ProfileID = '" + QuoteSql(profile_id) + "'");
  if (records->RecordCount() == 0) return std::string(fallback);
  return records->Value("InfoValue").ToTextOrEmpty();
}

std::string CatalogueFile::ReadAdditionalInfoByProfileID(std::string_view profile_id,
                                                         std::string_view name,
                                                         std::string_view fallback) {
  return ReadInfoByProfileID("AdditionalInfo", profile_id, name, fallback);
}

std::string CatalogueFile::ReadMetaInfoByProfileID(std::string_view profile_id,
                                                   std::string_view name,
                                                   std::string_view fallback) {
  return ReadInfoByProfileID("MetaInfo", profile_id, name, fallback);
}

void CatalogueFile::InsertAdditionalInfo(std::string_view profile_id, std::string_view name,
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

void CatalogueFile::WriteAdditionalInfoByProfileID(std::string_view profile_id,
                                                   std::string_view name, std::string_view value,
                                                   std::string_view info_type) {
  WriteScope scope(*connection_);
  DbExecute("DELETE FROM AdditionalInfo WHERE ProfileID = '" + QuoteSql(profile_id) +
            "' AND InfoName = '" + QuoteSql(name) + "'");
  InsertAdditionalInfo(profile_id, name, value, info_type);
  scope.Commit();
}

void CatalogueFile::WriteMetaInfoByProfileID(std::string_view profile_id, std::string_view name,
                                             std::string_view value) {
  WriteScope scope(*connection_);
  DbExecute("DELETE FROM MetaInfo WHERE ProfileID = '" + QuoteSql(profile_id) +
            "' AND InfoName = '" + QuoteSql(name) + "'");
  DbExecute("INSERT INTO MetaInfo (ProfileID, InfoName, InfoValue) VALUES ('" +
            QuoteSql(profile_id) + "', '" + QuoteSql(name) + "', '" + QuoteSql(value) + "')");
  scope.Commit();
}

void CatalogueFile::WriteAdditionalInfosByProfileID(std::string_view profile_id,
                                                    const std::shared_ptr<ZelInfos>& infos) {
  if (!infos) Raise(errc::kMissingObject);
  WriteScope scope(*connection_);
  DbExecute("DELETE FROM AdditionalInfo WHERE ProfileID = '" + QuoteSql(profile_id) + "'");
  for (const auto& info : infos->All()) {
    InsertAdditionalInfo(profile_id, info->Name(), info->Value(), info->InfoType());
  }
  scope.Commit();
}

std::shared_ptr<ZelInfos> CatalogueFile::ReadAdditionalInfosByProfileID(
    std::string_view profile_id) {
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

void CatalogueFile::DbExecute(std::string_view sql) { connection_->Execute(sql); }

std::shared_ptr<RecordSet> CatalogueFile::DbOpenRecordSet(std::string_view sql) {
  return connection_->OpenRecordSet(sql);
}

void CatalogueFile::NoteImported(List list, std::string key) {
  if (Loaded(list)) imported_.emplace_back(list, std::move(key));
}

void CatalogueFile::SyncImported() {
  const auto notes = std::move(imported_);
  imported_.clear();
  for (const auto& [list, key] : notes) {
    if (auto* loaded = dynamic_cast<KeyedCollection*>(Loaded(list).get())) {
      loaded->SyncStored(*this, key);
    }
  }
}

CatalogueFile& RequireActiveCatalogue() {
  if (!State().active_database) Raise(errc::kMissingObject);
  return *State().active_database;
}

}  // namespace zel::store
