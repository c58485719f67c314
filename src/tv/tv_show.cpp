#include "tv/tv_show.h"

#include "awards/awards.h"
#include "frame/member_table.h"
#include "frame/text.h"
#include "model/load_once.h"
#include "model/media.h"
#include "store/catalogue_file.h"
#include "store/engine_errors.h"
#include "store/tables.h"

namespace zel {

using store::Quoted;
using store::Texts;

std::string SeasonLockKey(std::string_view show_id, std::string_view season) {
  // The unit separator never occurs in made or imported identifiers, and it also keeps the series
  // and season apart ("S1" + "12" against "S11" + "2").
  return "\x1FSeason\x1F" + std::string(show_id) + "\x1F" + std::string(season);
}

// --- ZelSeason ---

ZelSeason::ZelSeason(std::string show_id, std::string name)
    : show_id_(std::move(show_id)), name_(std::move(name)) {}

const ClassInfo& ZelSeason::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelSeason>("ZelSeason")
          .Creatable()
          .WithReflection(Reflection::kTolerant)
          .Get("Name", &ZelSeason::Name)
          .Property("Episodes", &ZelSeason::Episodes, &ZelSeason::SetEpisodes)
          .Property("Locks", &ZelSeason::Locks, &ZelSeason::SetLocks)
          .Build();
  return info;
}

namespace {

// The beginning every season lock key of a series shares.
std::string SeasonLockPrefix(std::string_view show_id) { return SeasonLockKey(show_id, ""); }

// The episodes of a season: those of its name, and for the empty name also those without one.
std::string SeasonEpisodes(const std::string& season) {
  return season.empty() ? "t.\"SeriesID\" = ? AND (t.\"Season\" = ? OR t.\"Season\" IS NULL)"
                        : "t.\"SeriesID\" = ? AND t.\"Season\" = ?";
}

void RaiseEpisodesAdded(std::string_view what) {
  Raise(store::engine_errc::kChangedElsewhere,
        std::string(what) +
            " was changed elsewhere since it was read: episodes were stored in it since; nothing "
            "was removed. Read it again and repeat the removal.");
}

}  // namespace

std::shared_ptr<ZelEpisodes> ZelSeason::Episodes() {
  if (episodes_) return episodes_;
  episodes_ = std::make_shared<ZelEpisodes>(show_id_, name_);
  store::CatalogueFile* database = catalogue_.Find();
  if (!database) return episodes_;
  episodes_->catalogue().Bind(*database);
  for (auto& episode : LoadEpisodes(*database, SeasonEpisodes(name_), Texts({show_id_, name_}),
                                    "t.\"EpisodeNo\"")) {
    episodes_->AddLoadedEpisode(episode);
  }
  return episodes_;
}

std::shared_ptr<Collection> ZelSeason::Locks() {
  return LoadOnce(locks_, catalogue_, WithoutCatalogue::kStayEmpty,
                  [&](store::CatalogueFile& db, Collection& list) {
                    return LoadTextList(db, SeasonLockKey(show_id_, name_), TextList::kLocks, list);
                  });
}

void ZelSeason::Store(store::CatalogueFile& database, bool moved) {
  SaveCached(database, locks_, Owner{SeasonLockKey(show_id_, name_), true, moved},
             TextListLoader(TextList::kLocks), TextListSaver(TextList::kLocks));
  if (!episodes_) return;
  // Each episode writes what changed in its own rows; episodes the list never held (written by an
  // import or another program since it was read) stay. Removed ones were deleted when removed.
  for (const auto& episode : episodes_->All()) episode->SaveTo(database);
}

void ZelSeason::DeleteRows(store::CatalogueFile& database) {
  for (const auto& episode : Episodes()->All()) episode->DeleteFrom(database);
  if (!database.connection()
           .Read("SELECT 1 FROM \"Episodes\" t WHERE " + SeasonEpisodes(name_),
                 Texts({show_id_, name_}))
           .empty()) {
    RaiseEpisodesAdded("Season '" + name_ + "' of series '" + show_id_ + "'");
  }
  database.connection().Write("DELETE FROM \"Locks\" WHERE \"ProfileID\" = ?",
                              Texts({SeasonLockKey(show_id_, name_)}));
}

void ZelSeason::FollowSeries(store::CatalogueFile& database, const std::string& show_id) {
  store::UndoOnRollback(database, show_id_, weak_from_this().lock());
  show_id_ = show_id;
  if (!episodes_) return;
  for (const auto& episode : episodes_->All()) episode->FollowSeries(database, show_id);
}

// --- ZelSeasons ---

const ClassInfo& ZelSeasons::Info() {
  static const ClassInfo info = ClassBuilder<ZelSeasons>("ZelSeasons")
                                    .Creatable()
                                    .Get("Count", &ZelSeasons::Count)
                                    .Method("Item", &ZelSeasons::ItemOrNew, {Param("vntIndexKey")})
                                    .Default()
                                    .Method("Remove", &ZelSeasons::Remove, {Param("vntIndexKey")})
                                    .Method("RemoveAll", &ZelSeasons::RemoveAll)
                                    .Get("NewEnum", &ZelSeasons::NewEnum)
                                    .Enumerator()
                                    .Method("AddSeason", &ZelSeasons::AddSeason, {Param("Season")})
                                    .Method("Add", &ZelSeasons::Add, {Param("Name")})
                                    .Method("Exists", &ZelSeasons::Exists, {Param("SeasonName")})
                                    .Build();
  return info;
}

std::shared_ptr<ZelSeason> ZelSeasons::ItemOrNew(Variant index) {
  double number = 0;
  const bool numeric =
      index.IsNumeric() || (index.IsString() && ParseNumber(index.ToText(), number));
  if (numeric) return Item(index);
  const std::string name = index.ToText();
  if (!Exists(name)) return Add(name);
  return Item(Variant(name));
}

std::shared_ptr<ZelSeason> ZelSeasons::AddSeason(std::shared_ptr<ZelSeason> season) {
  if (!season) Raise(errc::kMissingObject);
  if (!season->ShowID().empty() && !show_id_.empty() && season->ShowID() != show_id_) {
    Raise(errc::kInvalidArgument, "Season '" + season->Name() + "' belongs to series '" +
                                      season->ShowID() + "', not to '" + show_id_ +
                                      "'; add it to that series' seasons, or Add a season of "
                                      "that name here");
  }
  // A season made by a caller carries no series; it joins this one.
  if (season->ShowID().empty()) season->SetShowID(show_id_);
  season->catalogue().Join(catalogue_);
  AddExisting(season);
  return season;
}

std::shared_ptr<ZelSeason> ZelSeasons::Add(std::string name) {
  auto season = std::make_shared<ZelSeason>(show_id_, std::move(name));
  season->catalogue().Join(catalogue_);
  AddExisting(season);
  return season;
}

bool ZelSeasons::Exists(std::string_view season_name) const {
  return AnyOf<ZelSeason>(
      [&](const ZelSeason& season) { return EqualsFolded(season.Name(), season_name); });
}

std::string ZelSeasons::KeyOf(const Object& item) const {
  return static_cast<const ZelSeason&>(item).Name();
}

void ZelSeasons::Delete(Object& item) {
  store::CatalogueFile& database = catalogue_.Get();
  auto& season = static_cast<ZelSeason&>(item);
  season.Episodes();
  store::WriteScope scope(database.connection());
  season.DeleteRows(database);
  scope.Commit();
}

// --- ZelTVShow ---

const ClassInfo& ZelTVShow::Info() {
  using S = ZelTVShow;
  static const ClassInfo info =
      ClassBuilder<S>("ZelTVShow")
          .Creatable()
          .WithReflection(Reflection::kTolerant)
          .Property("ShowID", &S::ShowID, &S::SetShowID)
          .Property("Title", &S::Title, &S::SetTitle)
          .Property("OriginalTitle", &S::OriginalTitle, &S::SetOriginalTitle)
          .Property("SortTitle", &S::SortTitle, &S::SetSortTitle)
          .Property("OriginalSortTitle", &S::OriginalSortTitle, &S::SetOriginalSortTitle)
          .Get("Seasons", &S::Seasons)
          .Get("Awards", &S::Awards)
          .Property("Locks", &S::Locks, &S::SetLocks)
          .Method("UpdateTVShow", &S::UpdateTVShow)
          .Build();
  return info;
}

const store::RecordShape<ZelTVShow>& ZelTVShow::Shape() {
  using S = ZelTVShow;
  static const store::RecordShape<S> shape(
      store::Table::kTVSeries,
      {store::FieldOf("ShowID", &S::show_id_), store::FieldOf("OriginalTitle", &S::original_title_),
       store::FieldOf("Title", &S::title_), store::FieldOf("SortTitle", &S::sort_title_),
       store::FieldOf("OriginalSortTitle", &S::original_sort_title_)});
  return shape;
}

std::shared_ptr<ZelSeasons> ZelTVShow::Seasons() {
  if (seasons_) return seasons_;
  seasons_ = std::make_shared<ZelSeasons>(show_id_);
  store::CatalogueFile* database = catalogue_.Find();
  if (!database) return seasons_;
  seasons_->catalogue().Bind(*database);
  const std::string show_id =
      row_.Stored() ? store::StoredKey(row_, store::Table::kTVSeries) : show_id_;
  const auto rows = database->connection().Read(
      "SELECT DISTINCT \"Season\" FROM \"Episodes\" WHERE \"SeriesID\" = ? ORDER BY \"Season\"",
      Texts({show_id}));
  for (const auto& row : rows) {
    // A Null season and an empty one are one season, of the empty name.
    const std::string name = row.front().IsNull() ? std::string() : row.front().text;
    if (seasons_->Exists(name) && name.empty()) continue;
    auto season = std::make_shared<ZelSeason>(show_id, name);
    season->catalogue().Bind(*database);
    seasons_->AddLoaded(season);
  }
  return seasons_;
}

std::shared_ptr<ZelAwards> ZelTVShow::Awards() {
  if (awards_) return awards_;
  store::CatalogueFile& database = catalogue_.Get();
  awards_ = LoadAwards(database, "t.\"MovieTitle\" = ?", Texts({original_title_}), "t.\"Award\"");
  return awards_;
}

std::shared_ptr<Collection> ZelTVShow::Locks() {
  return LoadOnce(locks_, catalogue_, WithoutCatalogue::kStayEmpty,
                  [&](store::CatalogueFile& db, Collection& list) {
                    return LoadTextList(db, show_id_, TextList::kLocks, list);
                  });
}

void ZelTVShow::UpdateTVShow() { SaveTo(catalogue_.Get()); }

void ZelTVShow::SaveTo(store::CatalogueFile& database) {
  // The seasons are read before the write begins, from the catalogue the series belongs to.
  auto seasons = Seasons();
  auto self = weak_from_this().lock();
  store::WriteScope scope(database.connection());
  if (catalogue_.Belongs() && catalogue_.Peek() != &database) {
    store::UndoOnRollback(database, row_, self);
    row_ = {};
  }
  store::UndoOnRollback(database, catalogue_, self);
  catalogue_.Bind(database);
  if (!row_.Stored() && sort_title_.empty()) {
    store::UndoOnRollback(database, sort_title_, self);
    sort_title_ = title_;
  }
  const bool had_row = row_.Stored();
  // Its episodes and its and its seasons' locks follow the series to its new identifier.
  const bool moved = store::SaveKeyedRow(
      database, Shape(), *this, show_id_, row_, "Series", [&](const std::string& from) {
        database.connection().Write(
            "UPDATE \"Episodes\" SET \"SeriesID\" = ? WHERE \"SeriesID\" = ?",
            Texts({show_id_, from}));
        database.connection().Write(
            "UPDATE \"Locks\" SET \"ProfileID\" = ? WHERE \"ProfileID\" = ?",
            Texts({show_id_, from}));
        database.connection().Write(
            "UPDATE \"Locks\" SET \"ProfileID\" = ?1 || substr(\"ProfileID\", length(?2) + 1) "
            "WHERE substr(\"ProfileID\", 1, length(?2)) = ?2",
            Texts({SeasonLockPrefix(show_id_), SeasonLockPrefix(from)}));
        seasons->FollowSeries(show_id_);
        for (const auto& season : seasons->All()) season->FollowSeries(database, show_id_);
      });
  SaveCached(database, locks_, Owner{show_id_, had_row, moved}, TextListLoader(TextList::kLocks),
             TextListSaver(TextList::kLocks));
  for (const auto& season : seasons->All()) season->Store(database, moved);
  if (moved) {
    if (auto listed = database.LoadedAs<ZelTVShows>(store::CatalogueFile::List::kTVShows)) {
      listed->Rekey(*this);
    }
  }
  scope.Commit();
}

void ZelTVShow::DeleteFrom(store::CatalogueFile& database) {
  if (!row_.Stored() || catalogue_.Peek() != &database) return;
  auto seasons = Seasons();
  for (const auto& season : seasons->All()) season->Episodes();
  const std::string show_id = store::StoredKey(row_, store::Table::kTVSeries);
  const std::string what = "Series '" + show_id + "'";
  store::WriteScope scope(database.connection());
  store::RowWriter(database, store::Table::kTVSeries).Verify(row_, what);
  for (const auto& season : seasons->All()) season->DeleteRows(database);
  if (!database.connection()
           .Read("SELECT 1 FROM \"Episodes\" WHERE \"SeriesID\" = ?", Texts({show_id}))
           .empty()) {
    RaiseEpisodesAdded(what);
  }
  // The series' locks and its seasons' go with it, so a new series of the identifier starts
  // without them.
  database.connection().Write("DELETE FROM \"Locks\" WHERE \"ProfileID\" = ?", Texts({show_id}));
  database.connection().Write(
      "DELETE FROM \"Locks\" WHERE substr(\"ProfileID\", 1, length(?1)) = ?1",
      Texts({SeasonLockPrefix(show_id)}));
  store::RowWriter(database, store::Table::kTVSeries).Delete(row_, what);
  store::UndoOnRollback(database, row_, weak_from_this().lock());
  row_ = {};
  scope.Commit();
}

void ZelTVShow::ReadRow(store::CatalogueFile& database, store::RowImage image) {
  Shape().Read(*this, image, database.SchemaNumber());
  row_ = std::move(image);
  catalogue_.Bind(database);
}

// --- ZelTVShows ---

const ClassInfo& ZelTVShows::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelTVShows>("ZelTVShows")
          .Creatable()
          .Method("Item", &ZelTVShows::Item, {Param("vntIndexKey")})
          .Default()
          .Get("Count", &ZelTVShows::CountLong)
          .Method("Remove", &ZelTVShows::Remove, {Param("vntIndexKey")})
          .Method("RemoveAll", &ZelTVShows::RemoveAll)
          .Get("NewEnum", &ZelTVShows::NewEnum)
          .Enumerator()
          .Method("AddTVShow", &ZelTVShows::AddTVShow, {Param("TVShow")})
          .Method("Add", &ZelTVShows::Add,
                  {Param("ShowID"), Param("Title"), Optional("SortTitle", ""),
                   Optional("OriginalTitle", ""), Optional("OriginalSortTitle", "")})
          .Method("Exists", &ZelTVShows::Exists, {Param("ShowID")})
          .Build();
  return info;
}

std::shared_ptr<ZelTVShow> ZelTVShows::AddTVShow(std::shared_ptr<ZelTVShow> show) {
  AddExisting(show);
  return show;
}

std::shared_ptr<ZelTVShow> ZelTVShows::Add(std::string show_id, std::string title,
                                           std::string sort_title, std::string original_title,
                                           std::string original_sort_title) {
  auto show = std::make_shared<ZelTVShow>();
  show->SetShowID(std::move(show_id));
  show->SetTitle(std::move(title));
  show->SetSortTitle(std::move(sort_title));
  show->SetOriginalTitle(std::move(original_title));
  show->SetOriginalSortTitle(std::move(original_sort_title));
  return AddTVShow(show);
}

bool ZelTVShows::Exists(std::string_view show_id) const {
  return AnyOf<ZelTVShow>(
      [&](const ZelTVShow& show) { return EqualsFolded(show.ShowID(), show_id); });
}

std::shared_ptr<ZelTVShows> ZelTVShows::Load(store::CatalogueFile& database) {
  auto list = std::make_shared<ZelTVShows>();
  list->catalogue().Bind(database);
  for (auto& show :
       store::LoadRecords<ZelTVShow>(database, store::Table::kTVSeries, "", {}, "t.\"SeriesID\"")) {
    list->AddLoaded(show);
  }
  return list;
}

std::string ZelTVShows::KeyOf(const Object& item) const {
  return static_cast<const ZelTVShow&>(item).ShowID();
}

void ZelTVShows::Save(Object& item) { static_cast<ZelTVShow&>(item).SaveTo(catalogue_.Get()); }

void ZelTVShows::Delete(Object& item) {
  static_cast<ZelTVShow&>(item).DeleteFrom(catalogue_.Get());
}

namespace tv {

std::shared_ptr<ZelTVShows> TVShows(store::CatalogueFile& database) {
  return database.LoadList<ZelTVShows>(store::CatalogueFile::List::kTVShows, ZelTVShows::Load);
}

void UpdateTVShows(store::CatalogueFile& database) {
  const auto shows = database.LoadedAs<ZelTVShows>(store::CatalogueFile::List::kTVShows);
  if (!shows) return;
  shows->RequireDistinctKeys("Series");
  store::WriteScope scope(database.connection());
  for (const auto& show : shows->All()) {
    // A series another catalogue's list took over is saved there.
    if (show->catalogue().Belongs() && show->catalogue().Peek() != &database) continue;
    show->SaveTo(database);
  }
  shows->RekeyChanged();
  scope.Commit();
}

}  // namespace tv

}  // namespace zel
