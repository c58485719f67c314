// ZelDatabase: the open catalogue. Every row the library reads or writes passes through it.
//
// A ZelDatabase is obtained only from Control (open or create); it owns the engine connection and
// closes the file when its last reference goes. It runs SQL in the library's dialect, keeps the
// key/value stores of the file (DbInfo, AdditionalInfo, MetaInfo) and caches the top-level lists,
// each loaded on first read. Operations that delete and write rows again run in one write scope:
// an error leaves the file as it was and still reaches the caller.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frame/object.h"
#include "store/connection.h"
#include "store/info.h"

namespace zel {

class ZelDatabase : public Object {
 public:
  explicit ZelDatabase(std::shared_ptr<store::Connection> connection);
  ~ZelDatabase() override;

  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  // Deletes every row of a table.
  void ClearTable(std::string_view table_name);
  // Read-only view of the file's tables and columns.
  ObjectPtr TableDefs();
  // The "Schema" DbInfo entry as a number; a missing or non-numeric entry fails the conversion.
  int16_t Schema();
  void SetSchema(int16_t schema);
  const std::string& FilePath() const;
  std::string Owner();
  void SetOwner(std::string owner);

  // DbInfo entry `name`, or `fallback` when absent. A stored Null fails the conversion (94).
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
  // Replaces all information entries of a profile by `infos`, in their order.
  void WriteAdditionalInfosByProfileID(std::string_view profile_id,
                                       const std::shared_ptr<ZelInfos>& infos);
  std::shared_ptr<ZelInfos> ReadAdditionalInfosByProfileID(std::string_view profile_id);

  // Writes every top-level list that was loaded or replaced, in the fixed order of list updates.
  void UpdateDatabase();

  void ExecuteSQL(std::string_view sql) { DbExecute(sql); }
  std::shared_ptr<store::RecordSet> ExecuteSQLWithResult(std::string_view sql) {
    return DbOpenRecordSet(sql);
  }
  // Runs an action statement; rows refused by keys or constraints are skipped without error.
  void DbExecute(std::string_view sql);
  std::shared_ptr<store::RecordSet> DbOpenRecordSet(std::string_view sql);

  // Imports one DVD element of DVD Profiler's collection XML into the active catalogue (whichever
  // database object it is called on). See import/profiler_import.h, which also reports what
  // happened to the title.
  void ImportSingleProfilerXMLNode(std::string_view xml_string);

  // Library-internal.
  store::Connection& connection() { return *connection_; }

 private:
  std::string ReadInfoByProfileID(std::string_view table, std::string_view profile_id,
                                  std::string_view name, std::string_view fallback);
  void InsertAdditionalInfo(std::string_view profile_id, std::string_view name,
                            std::string_view value, std::string_view info_type);

  std::shared_ptr<store::Connection> connection_;
  std::string file_path_;
};

// The active catalogue; raises error 91 (missing object) when none is active. For operations that
// need a catalogue and have no error of their own for its absence.
ZelDatabase& RequireActiveDatabase();

}  // namespace zel
