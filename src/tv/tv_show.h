// Television series and their seasons.
//
// A series (ZelTVShow) is a row of TVSeries. Seasons have no table: the seasons of a series are the
// distinct Season texts of its episode rows, in text order ("10" before "2"), and a ZelSeason only
// groups the episodes of one name and carries a lock list. A season made in memory exists in the
// catalogue only through episodes saved under its name.
//
// Lock lists live in Locks: a series' under its ShowID, a season's under SeasonLockKey, which
// begins with a control character that no profile, episode or series identifier the library makes
// or imports contains, so seasons of one name in different series keep separate lists.
//
// A series writes what changed since it was read (store/row_images.h). A series given another
// ShowID takes its episodes (their SeriesID) and its and its seasons' lock rows along when saved;
// one removed deletes them all. A season whose name is Null in the file shows as the empty name.
//
// The catalogue's series list (ZelDatabase.TVShows, UpdateTVShows) is the pair of functions at
// the end.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "frame/collection.h"
#include "model/load_once.h"
#include "store/keyed_collection.h"
#include "tv/episode.h"

namespace zel {

class ZelAwards;
class ZelSeasons;

// The Locks key of a season of a series.
std::string SeasonLockKey(std::string_view show_id, std::string_view season);

class ZelSeason : public Object {
 public:
  ZelSeason() = default;
  ZelSeason(std::string show_id, std::string name);
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  const std::string& Name() const { return name_; }
  // The episodes of this season by EpisodeNo in text order; read once.
  std::shared_ptr<ZelEpisodes> Episodes();
  void SetEpisodes(std::shared_ptr<ZelEpisodes> episodes) { episodes_ = std::move(episodes); }
  std::shared_ptr<Collection> Locks();
  void SetLocks(std::shared_ptr<Collection> locks) { locks_.object = std::move(locks); }

  // Library-internal.
  const std::string& ShowID() const { return show_id_; }
  void SetShowID(std::string show_id) { show_id_ = std::move(show_id); }
  void SetName(std::string name) { name_ = std::move(name); }
  CatalogueLink& catalogue() { return catalogue_; }
  // Writes the lock list and the episodes, each only when read or set; `moved` tells that the
  // series' rows were just moved to its ShowID. Callers run it in their write scope.
  void Store(store::CatalogueFile& database, bool moved);
  // Deletes the rows of the season's episodes as read, and its lock rows; fails (3197) when an
  // episode of it was stored elsewhere since. Callers run it in their write scope.
  void DeleteRows(store::CatalogueFile& database);
  // Records that the series' rows moved to `show_id`. Undone with the write scope.
  void FollowSeries(store::CatalogueFile& database, const std::string& show_id);

 private:
  std::string show_id_, name_;
  std::shared_ptr<ZelEpisodes> episodes_;
  Cached<Collection, store::TextListImage> locks_;
  CatalogueLink catalogue_;
};

// Seasons keyed by name; neither form of adding writes. Removing a season deletes its episodes'
// rows as one write.
class ZelSeasons : public TypedCollection<ZelSeason> {
 public:
  ZelSeasons() = default;
  explicit ZelSeasons(std::string show_id) : show_id_(std::move(show_id)) {}
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  // A number (or text that reads as one) is passed to the list as it is: a position, or a key. Any
  // other text is a season name: the member of that exact name, or a new empty season of it.
  std::shared_ptr<ZelSeason> ItemOrNew(Variant index);
  // Adds without writing. A season of none is given this list's series; a season of another
  // series is refused (5): it stays that series', and its episodes with it.
  std::shared_ptr<ZelSeason> AddSeason(std::shared_ptr<ZelSeason> season);
  std::shared_ptr<ZelSeason> Add(std::string name);
  bool Exists(std::string_view season_name) const;

  // Library-internal: the series of the list's seasons, after the series' rows moved.
  void FollowSeries(const std::string& show_id) { show_id_ = show_id; }

 protected:
  std::string KeyOf(const Object& item) const override;
  void Delete(Object& item) override;

 private:
  std::string show_id_;
};

class ZelTVShow : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  const std::string& ShowID() const { return show_id_; }
  void SetShowID(std::string id) { show_id_ = std::move(id); }
  const std::string& Title() const { return title_; }
  void SetTitle(std::string title) { title_ = std::move(title); }
  const std::string& OriginalTitle() const { return original_title_; }
  void SetOriginalTitle(std::string title) { original_title_ = std::move(title); }
  // Title when no sort title is stored.
  const std::string& SortTitle() const { return sort_title_.empty() ? title_ : sort_title_; }
  void SetSortTitle(std::string title) { sort_title_ = std::move(title); }
  const std::string& OriginalSortTitle() const { return original_sort_title_; }
  void SetOriginalSortTitle(std::string title) { original_sort_title_ = std::move(title); }

  // The seasons found among the series' episode rows; read once.
  std::shared_ptr<ZelSeasons> Seasons();
  // The awards whose film title is OriginalTitle, by award; read once. Needs a catalogue.
  std::shared_ptr<ZelAwards> Awards();
  std::shared_ptr<Collection> Locks();
  void SetLocks(std::shared_ptr<Collection> locks) { locks_.object = std::move(locks); }

  // Writes what changed in the series row, its locks and, season by season, the season locks and
  // episodes that were read or set; as one write, in the series' catalogue. A new series is stored
  // with its Title as SortTitle when it has none.
  void UpdateTVShow();

  // Library-internal.
  CatalogueLink& catalogue() { return catalogue_; }
  void SaveTo(store::CatalogueFile& database);
  // Deletes the series' rows (see ZelTVShows), provided its row still holds what it was read as.
  void DeleteFrom(store::CatalogueFile& database);
  void ReadRow(store::CatalogueFile& database, store::RowImage image);
  static const store::RecordShape<ZelTVShow>& Shape();

 private:
  std::string show_id_, title_, original_title_, sort_title_, original_sort_title_;
  store::RowImage row_;
  CatalogueLink catalogue_;
  std::shared_ptr<ZelSeasons> seasons_;
  std::shared_ptr<ZelAwards> awards_;
  Cached<Collection, store::TextListImage> locks_;
};

// Series keyed by ShowID (32-bit Count). Adding saves the series at once; removing deletes its
// episodes with their rows, its and its seasons' lock rows and its TVSeries row, as one write.
class ZelTVShows : public TypedCollection<ZelTVShow> {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  std::shared_ptr<ZelTVShow> AddTVShow(std::shared_ptr<ZelTVShow> show);
  std::shared_ptr<ZelTVShow> Add(std::string show_id, std::string title, std::string sort_title,
                                 std::string original_title, std::string original_sort_title);
  bool Exists(std::string_view show_id) const;

  // Every stored series by SeriesID, added without writing.
  static std::shared_ptr<ZelTVShows> Load(store::CatalogueFile& database);

 protected:
  std::string KeyOf(const Object& item) const override;
  void Save(Object& item) override;
  void Delete(Object& item) override;
};

namespace tv {

// The catalogue's series by SeriesID (ZelDatabase.TVShows): loaded on first read and kept in the
// catalogue's slot.
std::shared_ptr<ZelTVShows> TVShows(store::CatalogueFile& database);
// Saves each series of the loaded list (as UpdateTVShow), as one write; nothing when the list is
// not loaded. Series renamed onto one another's ShowID fail (3022) first; series the list never
// held stay.
void UpdateTVShows(store::CatalogueFile& database);

}  // namespace tv

}  // namespace zel
