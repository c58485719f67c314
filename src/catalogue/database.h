// ZelDatabase: the open catalogue. Every row the library reads or writes passes through it.
//
// A ZelDatabase is obtained only from Control (open or create); it owns the engine connection and
// closes the file when its last reference goes. It runs SQL in the library's dialect, keeps the
// key/value stores of the file (DbInfo, AdditionalInfo, MetaInfo) and caches the top-level lists,
// each loaded on first read. Operations that delete and write rows again run in one write scope:
// an error leaves the file as it was and still reaches the caller.
//
// Every object reads from and writes to the catalogue it belongs to (CatalogueLink), never to
// whichever one happens to be active, and adapts to that catalogue's schema number. A list save
// deletes only rows removed through that list: rows it never held (written by an import, another
// object or another process) stay. The imports keep the lists already loaded in step with what they
// write.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frame/object.h"
#include "store/catalogue_link.h"
#include "store/connection.h"
#include "store/info.h"

namespace zel {

class ZelAliases;
class ZelAwards;
class Dictionary;
class ZelProfiles;
class ZelCurrencies;
class ZelUsers;
class ZelRetailers;
class ZelSQLQueries;
class ZelTVShows;
class Collection;

class ZelProfile;

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
  // Replaces all information entries of a profile by `infos`, in their order.
  void WriteAdditionalInfosByProfileID(std::string_view profile_id,
                                       const std::shared_ptr<ZelInfos>& infos);
  std::shared_ptr<ZelInfos> ReadAdditionalInfosByProfileID(std::string_view profile_id);

  // Every profile, ordered by SortTitle; loaded on first read and kept. Setting replaces the cached
  // list (nothing is written until UpdateProfiles).
  std::shared_ptr<ZelProfiles> Profiles();
  void SetProfiles(std::shared_ptr<ZelProfiles> profiles) { profiles_ = std::move(profiles); }
  // When a list is cached: saves each of its profiles (as UpdateProfile), as one write. Otherwise
  // nothing. Profiles the list never held stay.
  void UpdateProfiles();

  // Writes every top-level list that was loaded or replaced, in the fixed order of list updates.
  void UpdateDatabase();

  // The reference lists, each loaded on first read and kept; setting replaces the cached list. The
  // Update* of a list writes each member (edits its row or adds one), as one write, and does
  // nothing when the list was never read or set. Translations compare keys as the file does
  // (ASCII letters in either case); their update also deletes the keys removed from the loaded
  // dictionary.
  std::shared_ptr<ZelCurrencies> Currencies();
  void SetCurrencies(std::shared_ptr<ZelCurrencies> list) { currencies_ = std::move(list); }
  void UpdateCurrencies();
  std::shared_ptr<Dictionary> Translations();
  void SetTranslations(std::shared_ptr<Dictionary> list);
  void UpdateTranslations();
  std::shared_ptr<ZelUsers> Users();
  void SetUsers(std::shared_ptr<ZelUsers> list) { users_ = std::move(list); }
  void UpdateUsers();
  std::shared_ptr<ZelRetailers> Retailers();
  void SetRetailers(std::shared_ptr<ZelRetailers> list) { retailers_ = std::move(list); }
  void UpdateRetailers();
  std::shared_ptr<ZelSQLQueries> SQLQueries();
  void SetSQLQueries(std::shared_ptr<ZelSQLQueries> list) { sql_queries_ = std::move(list); }
  void UpdateSQLQueries();

  // The television series by SeriesID, loaded on first read and cached; setting replaces the
  // cached list and writes nothing.
  std::shared_ptr<ZelTVShows> TVShows();
  void SetTVShows(std::shared_ptr<ZelTVShows> shows);
  // Saves each series of the cached list (as UpdateTVShow), as one write; does nothing when no
  // list was read or set. Series the list never held stay.
  void UpdateTVShows();

  // The Alias table, loaded on first read and cached; setting replaces the cached list (nullptr:
  // the next read loads again) and writes nothing.
  std::shared_ptr<ZelAliases> Aliases();
  void SetAliases(std::shared_ptr<ZelAliases> aliases);
  // Writes each alias of the cached list (replacing its row), in one write scope; does nothing
  // when no list was read or set. Rows the list never held stay.
  void UpdateAliases();

  // The Awards table by award and category, loaded on first read and cached; setting replaces it.
  std::shared_ptr<ZelAwards> Awards();
  void SetAwards(std::shared_ptr<ZelAwards> awards);
  // Writes the cached list back row by row (awards/awards.h), in one write scope; does nothing
  // when no list was read or set. Rows the list never held stay.
  void UpdateAwards();
  // The awards of a film by its title. With a production year Y, award years Y-1 to Y+2 and award
  // year 0 match; from schema 80 a row whose film year is Y matches whatever its award year, and a
  // row naming another film year only when that is its award year. A title with no awards is tried
  // again cut before its last ":" ("Alien: Director's Cut" finds "Alien").
  std::shared_ptr<ZelAwards> GetMovieAwards(std::string_view original_title,
                                            int16_t production_year = 0);
  // The awards whose nominee text contains `name` anywhere, letter case ignored.
  std::shared_ptr<ZelAwards> GetPersonAwards(std::string_view name);
  // The nominations of one award in one year. `year` must be a whole number, as a number or as
  // its decimal text; anything else fails with a type mismatch (13).
  std::shared_ptr<ZelAwards> GetAwardByYear(std::string_view award_name, const Variant& year);

  void ExecuteSQL(std::string_view sql) { DbExecute(sql); }
  std::shared_ptr<store::RecordSet> ExecuteSQLWithResult(std::string_view sql) {
    return DbOpenRecordSet(sql);
  }
  // Runs an action statement; rows refused by keys or constraints are skipped without error.
  void DbExecute(std::string_view sql);
  std::shared_ptr<store::RecordSet> DbOpenRecordSet(std::string_view sql);

  // Every profile and episode crediting the person `cast_name` names, under the common name or any
  // alias of it (people/appearances.h). Episodes come first, then profiles; within each, the
  // credits of the common name, then those of each alias; one member per matching credit row.
  std::shared_ptr<Collection> FindAppearances(std::string_view cast_name,
                                              bool include_profiles = true,
                                              bool include_episodes = true,
                                              bool only_assigned_episodes = false,
                                              bool include_cast = true, bool include_crew = true);

  // The common name stored for `name` in the Alias table; `name` itself when it has no alias row.
  std::string GetCommonName(std::string_view name);

  // Imports an award file (award_file.h): the text form, or the XML form for the extension .xml.
  // A file is imported whole or not at all. A faulty text file, or an XML file without an Awards
  // element, is reported by a message (ShowMessage) naming the file and line and returns normally;
  // other failures of the XML form reach the caller.
  void ImportAwardFile(std::string_view file_path);
  // Imports one DVD element of DVD Profiler's collection XML into the active catalogue (whichever
  // database object it is called on). See import/profiler_import.h, which also reports what
  // happened to the title.
  void ImportSingleProfilerXMLNode(std::string_view xml_string);

  // Library-internal.
  store::Connection& connection() { return *connection_; }
  // The schema number the operations adapt to: the stored one when the file was opened, the one
  // written when it was created. Set by Control.
  int16_t SchemaNumber() const { return schema_number_; }
  void SetSchemaNumber(int16_t schema) { schema_number_ = schema; }

  // Library-internal: keeping loaded lists in step with an import. While an import runs it notes
  // the rows it wrote (for profiles) or added (for the reference lists and aliases); once its write
  // scope is committed, SyncImported reads those rows into the lists that are loaded, and after a
  // failure ForgetImported drops the notes. Notes for a list that is not loaded are not kept.
  enum class ImportedList { kProfiles, kAliases, kCurrencies, kUsers, kRetailers };
  void NoteImported(ImportedList list, std::string key);
  void SyncImported();
  void ForgetImported() { imported_.clear(); }
  // The Awards list when it is loaded, without loading it.
  const std::shared_ptr<ZelAwards>& CachedAwards() const { return awards_; }

 private:
  std::string ReadInfoByProfileID(std::string_view table, std::string_view profile_id,
                                  std::string_view name, std::string_view fallback);
  void InsertAdditionalInfo(std::string_view profile_id, std::string_view name,
                            std::string_view value, std::string_view info_type);

  std::shared_ptr<store::Connection> connection_;
  std::string file_path_;
  std::shared_ptr<ZelProfiles> profiles_;
  std::shared_ptr<ZelCurrencies> currencies_;
  std::shared_ptr<Dictionary> translations_;
  std::shared_ptr<ZelUsers> users_;
  std::shared_ptr<ZelRetailers> retailers_;
  std::shared_ptr<ZelSQLQueries> sql_queries_;
  std::shared_ptr<ZelAliases> aliases_;
  std::shared_ptr<ZelAwards> awards_;
  std::shared_ptr<ZelTVShows> tv_shows_;
  // The translation keys as loaded or last stored; a key among them and no longer in the
  // dictionary was removed through it.
  std::vector<std::string> stored_translation_keys_;
  int16_t schema_number_ = 0;
  std::vector<std::pair<ImportedList, std::string>> imported_;
};

// The active catalogue; raises error 91 (missing object) when none is active. For operations that
// need a catalogue and have no error of their own for its absence.
ZelDatabase& RequireActiveDatabase();

}  // namespace zel
