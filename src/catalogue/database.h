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

#include "frame/object.h"
#include "store/catalogue_file.h"

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

class ZelDatabase : public store::CatalogueFile {
 public:
  explicit ZelDatabase(std::shared_ptr<store::Connection> connection);
  ~ZelDatabase() override;

  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  // SQL, the key/value stores, the schema number and the import notes are those of
  // store::CatalogueFile. The typed lists below live in its slots and are loaded and written by
  // the layer that owns each type; these members delegate to it.

  // Every profile, ordered by SortTitle; loaded on first read and kept. Setting replaces the cached
  // list (nothing is written until UpdateProfiles).
  std::shared_ptr<ZelProfiles> Profiles();
  void SetProfiles(std::shared_ptr<ZelProfiles> profiles);
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
  void SetCurrencies(std::shared_ptr<ZelCurrencies> list);
  void UpdateCurrencies();
  std::shared_ptr<Dictionary> Translations();
  void SetTranslations(std::shared_ptr<Dictionary> list);
  void UpdateTranslations();
  std::shared_ptr<ZelUsers> Users();
  void SetUsers(std::shared_ptr<ZelUsers> list);
  void UpdateUsers();
  std::shared_ptr<ZelRetailers> Retailers();
  void SetRetailers(std::shared_ptr<ZelRetailers> list);
  void UpdateRetailers();
  std::shared_ptr<ZelSQLQueries> SQLQueries();
  void SetSQLQueries(std::shared_ptr<ZelSQLQueries> list);
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
  // The award queries of awards/awards.h.
  std::shared_ptr<ZelAwards> GetMovieAwards(std::string_view original_title,
                                            int16_t production_year = 0);
  std::shared_ptr<ZelAwards> GetPersonAwards(std::string_view name);
  std::shared_ptr<ZelAwards> GetAwardByYear(std::string_view award_name, const Variant& year);

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
  // The person a credit of `name` with `birth_year` (0: not given) names, as people are shown:
  // the common name, with the birth year where namesakes share it ("Tom Hale (born 1949)"), or
  // the years of the namesakes it could be (people/namesakes.h).
  std::string GetPersonName(std::string_view name, int16_t birth_year = 0);

  // Imports an award file (import/award_file.h): the text form, or the XML form for the extension
  // .xml. A file is imported whole or not at all. A faulty text file, or an XML file without an
  // Awards element, is reported by a message (ShowMessage) naming the file and line and returns
  // normally; other failures of the XML form reach the caller.
  void ImportAwardFile(std::string_view file_path);
  // Imports one DVD element of DVD Profiler's collection XML into the active catalogue (whichever
  // database object it is called on). See import/profiler_import.h, which also reports what
  // happened to the title.
  void ImportSingleProfilerXMLNode(std::string_view xml_string);
};

}  // namespace zel
