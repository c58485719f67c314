#include "tv/tv_show.h"

#include "awards/awards.h"
#include "frame/member_table.h"
#include "frame/text.h"
#include "model/load_once.h"
#include "model/media.h"
#include "store/catalogue_file.h"
#include "store/text_helpers.h"

namespace zel {

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

std::shared_ptr<ZelEpisodes> ZelSeason::Episodes() {
  if (episodes_) return episodes_;
  episodes_ = std::make_shared<ZelEpisodes>(show_id_, name_);
  store::CatalogueFile* database = catalogue_.Find();
  if (!database) return episodes_;
  episodes_->catalogue().Bind(*database);
  auto records =
      database->DbOpenRecordSet("SELECT * FROM Episodes WHERE SeriesID = '" + QuoteSql(show_id_) +
                                "' AND Season = '" + QuoteSql(name_) + "' ORDER BY EpisodeNo");
  for (; !records->Eof(); records->MoveNext()) {
    episodes_->AddLoadedEpisode(EpisodeFromRecord(*database, *records));
  }
  return episodes_;
}

std::shared_ptr<Collection> ZelSeason::Locks() {
  return LoadOnce(locks_, catalogue_, WithoutCatalogue::kStayEmpty,
                  [&](store::CatalogueFile& db, Collection& list) {
                    LoadTextList(db, SeasonLockKey(show_id_, name_), TextList::kLocks, list);
                  });
}

void ZelSeason::Store(store::CatalogueFile& database) {
  if (locks_) SaveTextList(database, SeasonLockKey(show_id_, name_), TextList::kLocks, *locks_);
  if (!episodes_) return;
  // Each episode replaces its own row; episodes the list never held (written by an import or
  // another program since it was read) stay. Removed ones were deleted when removed.
  for (const auto& episode : episodes_->All()) {
    episode->catalogue().Join(database);
    episode->SaveTo(database);
  }
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
  // A season made by a caller carries no series; it joins this one rather than unsetting the
  // series of the seasons added later.
  if (season->ShowID().empty()) {
    season->SetShowID(show_id_);
  } else {
    show_id_ = season->ShowID();
  }
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
  auto episodes = static_cast<ZelSeason&>(item).Episodes();
  store::WriteScope scope(database.connection());
  for (const auto& episode : episodes->All()) DeleteEpisodeRows(database, episode->EpisodeID());
  scope.Commit();
  episodes->Forget();
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

std::shared_ptr<ZelSeasons> ZelTVShow::Seasons() {
  if (seasons_) return seasons_;
  seasons_ = std::make_shared<ZelSeasons>(show_id_);
  store::CatalogueFile* database = catalogue_.Find();
  if (!database) return seasons_;
  seasons_->catalogue().Bind(*database);
  auto records = database->DbOpenRecordSet(
      "SELECT DISTINCT Season, SeriesID FROM EPISODES WHERE SeriesID = '" + QuoteSql(show_id_) +
      "' ORDER BY Season");
  for (; !records->Eof(); records->MoveNext()) {
    auto season = std::make_shared<ZelSeason>(records->Value("SeriesID").ToTextOrEmpty(),
                                              records->Value("Season").ToTextOrEmpty());
    season->catalogue().Bind(*database);
    seasons_->AddSeason(season);
  }
  return seasons_;
}

std::shared_ptr<ZelAwards> ZelTVShow::Awards() {
  if (awards_) return awards_;
  store::CatalogueFile& database = catalogue_.Get();
  auto records = database.DbOpenRecordSet("SELECT * FROM Awards WHERE MovieTitle = '" +
                                          QuoteSql(original_title_) + "' ORDER BY Award");
  awards_ = AwardsFromRecords(database, *records);
  return awards_;
}

std::shared_ptr<Collection> ZelTVShow::Locks() {
  return LoadOnce(locks_, catalogue_, WithoutCatalogue::kStayEmpty,
                  [&](store::CatalogueFile& db, Collection& list) {
                    LoadTextList(db, show_id_, TextList::kLocks, list);
                  });
}

void ZelTVShow::UpdateTVShow() { SaveTo(catalogue_.Get()); }

void ZelTVShow::SaveTo(store::CatalogueFile& database) {
  const std::string quoted_id = QuoteSql(show_id_);
  // The seasons are read before the write begins, from the catalogue the series belongs to.
  auto seasons = Seasons();
  store::WriteScope scope(database.connection());
  // A series given another identifier since it was read gives up its old row.
  if (catalogue_.Peek() == &database && !stored_id_.empty() &&
      !EqualsFolded(stored_id_, show_id_)) {
    database.DbExecute("DELETE FROM TVSeries WHERE SeriesID = '" + QuoteSql(stored_id_) + "'");
  }
  // A stored series is replaced, so saving a changed series is never silently skipped.
  database.DbExecute("DELETE FROM TVSeries WHERE SeriesID = '" + quoted_id + "'");
  InsertSavedRow(database,
                 "INSERT INTO TVSeries (SeriesID, OriginalTitle, Title, SortTitle, "
                 "OriginalSortTitle) VALUES ('" +
                     quoted_id + "', '" + QuoteSql(original_title_) + "', '" + QuoteSql(title_) +
                     "', '" + QuoteSql(SortTitle()) + "', '" + QuoteSql(original_sort_title_) +
                     "')",
                 "Series '" + show_id_ + "' could not be stored");
  if (locks_) SaveTextList(database, show_id_, TextList::kLocks, *locks_);
  for (const auto& season : seasons->All()) season->Store(database);
  scope.Commit();
  catalogue_.Join(database);
  if (catalogue_.Peek() == &database) stored_id_ = show_id_;
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
  auto records = database.DbOpenRecordSet("SELECT * FROM TVSeries ORDER BY SeriesID");
  for (; !records->Eof(); records->MoveNext()) {
    auto show = std::make_shared<ZelTVShow>();
    show->SetShowID(records->Value("SeriesID").ToTextOrEmpty());
    show->SetTitle(records->Value("Title").ToTextOrEmpty());
    show->SetOriginalTitle(records->Value("OriginalTitle").ToTextOrEmpty());
    show->SetSortTitle(records->Value("SortTitle").ToTextOrEmpty());
    show->SetOriginalSortTitle(records->Value("OriginalSortTitle").ToTextOrEmpty());
    show->MarkStored();
    show->catalogue().Bind(database);
    list->AddLoaded(show);
  }
  return list;
}

std::string ZelTVShows::KeyOf(const Object& item) const {
  return static_cast<const ZelTVShow&>(item).ShowID();
}

void ZelTVShows::Save(Object& item) {
  auto& show = static_cast<ZelTVShow&>(item);
  store::CatalogueFile& database = catalogue_.Get();
  show.catalogue().Join(database);
  show.SaveTo(database);
}

void ZelTVShows::Delete(Object& item) {
  auto& show = static_cast<ZelTVShow&>(item);
  store::CatalogueFile& database = catalogue_.Get();
  auto seasons = show.Seasons();
  std::vector<std::shared_ptr<ZelEpisodes>> episode_lists;
  for (const auto& season : seasons->All()) episode_lists.push_back(season->Episodes());
  store::WriteScope scope(database.connection());
  for (const auto& episodes : episode_lists) {
    for (const auto& episode : episodes->All()) DeleteEpisodeRows(database, episode->EpisodeID());
  }
  database.DbExecute("DELETE FROM TVSeries WHERE SeriesID = '" + QuoteSql(show.ShowID()) + "'");
  scope.Commit();
  for (const auto& episodes : episode_lists) episodes->Forget();
  seasons->Forget();
}

namespace tv {

std::shared_ptr<ZelTVShows> TVShows(store::CatalogueFile& database) {
  return database.LoadList<ZelTVShows>(store::CatalogueFile::List::kTVShows, ZelTVShows::Load);
}

void UpdateTVShows(store::CatalogueFile& database) {
  const auto shows = database.LoadedAs<ZelTVShows>(store::CatalogueFile::List::kTVShows);
  if (!shows) return;
  // Each series replaces its own row; series the list never held stay. Removed ones were deleted
  // when removed.
  store::WriteScope scope(database.connection());
  for (const auto& show : shows->All()) {
    show->catalogue().Join(database);
    show->SaveTo(database);
  }
  scope.Commit();
}

}  // namespace tv

}  // namespace zel
