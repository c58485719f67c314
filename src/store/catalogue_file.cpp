#include "store/catalogue_file.h"

#include "frame/library_state.h"
#include "frame/text.h"
#include "frame/variant.h"
#include "store/engine_errors.h"
#include "store/keyed_collection.h"
#include "store/table_defs.h"
#include "store/tables.h"
#include "store/text_helpers.h"

namespace zel::store {

CatalogueFile::CatalogueFile(std::shared_ptr<Connection> connection)
    : connection_(std::move(connection)), file_path_(connection_->Name()) {}

CatalogueFile::~CatalogueFile() = default;

void CatalogueFile::Close() {
  connection_->Close();
  imported_.clear();
}

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

namespace {

// The first row's value, a Null read as empty text; `fallback` without a row.
std::string FirstValue(const std::vector<std::vector<StoredValue>>& rows,
                       std::string_view fallback) {
  if (rows.empty()) return std::string(fallback);
  const StoredValue& value = rows.front().front();
  if (value.kind == StoredValue::Kind::kText) return value.text;
  if (value.IsNull()) return {};
  return value.Describe();
}

}  // namespace

std::string CatalogueFile::ReadDbInfo(std::string_view name, std::string_view fallback) {
  // The column may legally be empty; such an entry reads as empty text rather than failing.
  return FirstValue(connection_->Read("SELECT \"InfoValue\" FROM \"DbInfo\" WHERE \"InfoName\" = ?",
                                      Texts({name})),
                    fallback);
}

void CatalogueFile::WriteDbInfo(std::string_view name, std::string_view value) {
  WriteScope scope(*connection_);
  connection_->Write("DELETE FROM \"DbInfo\" WHERE \"InfoName\" = ?", Texts({name}));
  connection_->Write("INSERT INTO \"DbInfo\" (\"InfoName\", \"InfoValue\") VALUES (?, ?)",
                     Texts({name, value}));
  scope.Commit();
}

std::string CatalogueFile::ReadInfoByProfileID(std::string_view table, std::string_view profile_id,
                                               std::string_view name, std::string_view fallback) {
  return FirstValue(connection_->Read("SELECT \"InfoValue\" FROM \"" + std::string(table) +
                                          "\" WHERE \"InfoName\" = ? AND \"ProfileID\" = ?",
                                      Texts({name, profile_id})),
                    fallback);
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
  try {
    if (schema_number_ >= schema::kInfoTypes) {
      connection_->Write(
          "INSERT INTO \"AdditionalInfo\" (\"ProfileID\", \"InfoName\", \"InfoValue\", "
          "\"InfoType\") VALUES (?, ?, ?, ?)",
          Texts({profile_id, name, value, info_type}));
    } else {
      connection_->Write(
          "INSERT INTO \"AdditionalInfo\" (\"ProfileID\", \"InfoName\", \"InfoValue\") "
          "VALUES (?, ?, ?)",
          Texts({profile_id, name, value}));
    }
  } catch (const Error& error) {
    Raise(error.number(), "Information '" + std::string(name) + "' of '" + std::string(profile_id) +
                              "' could not be stored: " + error.description());
  }
}

void CatalogueFile::WriteAdditionalInfoByProfileID(std::string_view profile_id,
                                                   std::string_view name, std::string_view value,
                                                   std::string_view info_type) {
  WriteScope scope(*connection_);
  connection_->Write("DELETE FROM \"AdditionalInfo\" WHERE \"ProfileID\" = ? AND \"InfoName\" = ?",
                     Texts({profile_id, name}));
  InsertAdditionalInfo(profile_id, name, value, info_type);
  scope.Commit();
}

void CatalogueFile::WriteMetaInfoByProfileID(std::string_view profile_id, std::string_view name,
                                             std::string_view value) {
  WriteScope scope(*connection_);
  connection_->Write("DELETE FROM \"MetaInfo\" WHERE \"ProfileID\" = ? AND \"InfoName\" = ?",
                     Texts({profile_id, name}));
  connection_->Write(
      "INSERT INTO \"MetaInfo\" (\"ProfileID\", \"InfoName\", \"InfoValue\") VALUES (?, ?, "
      "?)",
      Texts({profile_id, name, value}));
  scope.Commit();
}

void CatalogueFile::WriteAdditionalInfosByProfileID(std::string_view profile_id,
                                                    const std::shared_ptr<ZelInfos>& infos) {
  if (!infos) Raise(errc::kMissingObject);
  const auto members = infos->All();
  // Renamed members can share a name the file takes as one; storing one of them would lose the
  // other.
  for (size_t i = 0; i < members.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      if (EqualsFolded(members[i]->Name(), members[j]->Name())) {
        Raise(engine_errc::kDuplicateKey,
              "Information '" + members[j]->Name() + "' and '" + members[i]->Name() + "' of '" +
                  std::string(profile_id) +
                  "' cannot both be stored: the catalogue's names ignore the case of letters");
      }
    }
  }
  WriteScope scope(*connection_);
  connection_->Write("DELETE FROM \"AdditionalInfo\" WHERE \"ProfileID\" = ?", Texts({profile_id}));
  for (const auto& info : members) {
    InsertAdditionalInfo(profile_id, info->Name(), info->Value(), info->InfoType());
  }
  scope.Commit();
}

std::shared_ptr<ZelInfos> CatalogueFile::ReadAdditionalInfosByProfileID(
    std::string_view profile_id) {
  auto infos = std::make_shared<ZelInfos>();
  const auto& shape = ZelInfo::Shape(Table::kAdditionalInfo);
  for (const LoadedRow& row : LoadRows(*this, Table::kAdditionalInfo, "t.\"ProfileID\" = ?",
                                       Texts({profile_id}), "t.\"InfoName\"")) {
    auto info = std::make_shared<ZelInfo>();
    shape.Read(*info, row.image, schema_number_);
    infos->AddInfo(info);
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
