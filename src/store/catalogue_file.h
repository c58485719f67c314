// CatalogueFile: what every layer above the engine needs of an open catalogue file.
//
// It owns the engine connection, runs SQL in the library's dialect, keeps the key/value stores of
// the file (DbInfo, AdditionalInfo, MetaInfo), knows the schema number the operations adapt to,
// and holds one slot per top-level list (profiles, aliases, reference lists, awards, series). A
// slot is empty until the layer that owns the list loads it (model, people, awards, tv); that
// layer's functions read and fill the slot, so there is one cache per list per catalogue whoever
// asks for it. The scriptable catalogue object (ZelDatabase) derives from this class and adds the
// typed members by delegating to those functions.
//
// Imports keep the loaded lists in step with what they write through the import notes below.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "frame/object.h"
#include "store/connection.h"
#include "store/info.h"
#include "store/row_images.h"

namespace zel::store {

class CatalogueFile : public Object {
 public:
  explicit CatalogueFile(std::shared_ptr<Connection> connection);
  ~CatalogueFile() override;

  // Closes the file now (Control.CloseDatabase), whoever still holds this object, its lists or
  // its record sets: any later use of them fails with kObjectInvalid (3420).
  void Close();

  // Deletes every row of a table.
  void ClearTable(std::string_view table_name);
  // Read-only view of the file's tables and columns.
  ObjectPtr TableDefs();
  // The "Schema" DbInfo entry as a number; a missing or non-numeric entry fails the conversion.
  int16_t Schema();
  void SetSchema(int16_t schema);
  const std::string& FilePath() const { return file_path_; }
  std::string Owner();
  void SetOwner(std::string owner);

  // DbInfo entry `name`, or `fallback` when absent; a stored Null reads as empty text.
  std::string ReadDbInfo(std::string_view name, std::string_view fallback = {});
  // Replaces DbInfo entry `name` by `value`.
  void WriteDbInfo(std::string_view name, std::string_view value);

  std::string ReadAdditionalInfoByProfileID(std::string_view profile_id, std::string_view name,
                                            std::string_view fallback = {});
  std::string ReadMetaInfoByProfileID(std::string_view profile_id, std::string_view name,
                                      std::string_view fallback = {});
  // Replaces one information entry of a profile; the type is kept from schema 84 on.
  void WriteAdditionalInfoByProfileID(std::string_view profile_id, std::string_view name,
                                      std::string_view value, std::string_view info_type = {});
  void WriteMetaInfoByProfileID(std::string_view profile_id, std::string_view name,
                                std::string_view value);
  // Replaces all information entries of a profile by `infos`, in their order. Two entries whose
  // names differ only in the case of letters fail (3022) before anything is written: the file
  // takes them as one.
  void WriteAdditionalInfosByProfileID(std::string_view profile_id,
                                       const std::shared_ptr<ZelInfos>& infos);
  std::shared_ptr<ZelInfos> ReadAdditionalInfosByProfileID(std::string_view profile_id);

  void ExecuteSQL(std::string_view sql) { DbExecute(sql); }
  std::shared_ptr<RecordSet> ExecuteSQLWithResult(std::string_view sql) {
    return DbOpenRecordSet(sql);
  }
  // Runs an action statement; rows refused by keys or constraints are skipped without error.
  void DbExecute(std::string_view sql);
  std::shared_ptr<RecordSet> DbOpenRecordSet(std::string_view sql);

  Connection& connection() { return *connection_; }
  // The schema number the operations adapt to: the stored one when the file was opened, the one
  // written when it was created. Set by Control.
  int16_t SchemaNumber() const { return schema_number_; }
  void SetSchemaNumber(int16_t schema) { schema_number_ = schema; }

  // The top-level lists, one slot each.
  enum class List {
    kProfiles,
    kAliases,
    kCurrencies,
    kUsers,
    kRetailers,
    kSQLQueries,
    kTranslations,
    kAwards,
    kTVShows,
  };
  // The lists an import adds rows to.
  using ImportedList = List;
  // The cached list, nullptr while it is not loaded. Assigning replaces the cache; resetting makes
  // the next read load again.
  ObjectPtr& Loaded(List list) { return loaded_[static_cast<size_t>(list)]; }
  // The cached list as the type its layer keeps there; nullptr while it is not loaded.
  template <class T>
  std::shared_ptr<T> LoadedAs(List list) {
    return std::static_pointer_cast<T>(Loaded(list));
  }
  // The cached list, first filled by `load(*this)` when the slot is empty. A load that fails
  // leaves the slot empty, so the next read tries again.
  template <class T, class Load>
  std::shared_ptr<T> LoadList(List list, Load load) {
    ObjectPtr& slot = Loaded(list);
    if (!slot) slot = load(*this);
    return std::static_pointer_cast<T>(slot);
  }
  // The translation rows as loaded or last stored; a row whose key is no longer in the dictionary
  // was removed through it. None while the dictionary was set by a caller and not yet stored.
  std::optional<std::vector<RowImage>>& StoredTranslations() { return stored_translations_; }

  // Keeping loaded lists in step with an import. While an import runs it notes the rows it wrote
  // (for profiles) or added (for the reference lists and aliases); once its write scope is
  // committed, SyncImported reads those rows into the lists that are loaded (their SyncStored), and
  // after a failure ForgetImported drops the notes. Notes for a list that is not loaded are not
  // kept.
  void NoteImported(List list, std::string key);
  void SyncImported();
  void ForgetImported() { imported_.clear(); }

 private:
  std::string ReadInfoByProfileID(std::string_view table, std::string_view profile_id,
                                  std::string_view name, std::string_view fallback);
  void InsertAdditionalInfo(std::string_view profile_id, std::string_view name,
                            std::string_view value, std::string_view info_type);

  std::shared_ptr<Connection> connection_;
  std::string file_path_;
  int16_t schema_number_ = 0;
  std::array<ObjectPtr, static_cast<size_t>(List::kTVShows) + 1> loaded_;
  std::optional<std::vector<RowImage>> stored_translations_;
  std::vector<std::pair<List, std::string>> imported_;
};

// The active catalogue; raises error 91 (missing object) when none is active. For operations that
// need a catalogue and have no error of their own for its absence.
CatalogueFile& RequireActiveCatalogue();

}  // namespace zel::store
