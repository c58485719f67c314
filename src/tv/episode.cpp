#include "tv/episode.h"

#include <utility>
#include <vector>

#include "awards/awards.h"
#include "frame/member_table.h"
#include "frame/text.h"
#include "model/load_once.h"
#include "model/profiles.h"
#include "store/catalogue_file.h"
#include "store/engine_errors.h"
#include "store/tables.h"

namespace zel {

using store::Quoted;
using store::Texts;

const ClassInfo& ZelEpisode::Info() {
  using E = ZelEpisode;
  static const ClassInfo info =
      ClassBuilder<E>("ZelEpisode")
          .Creatable()
          .WithReflection(Reflection::kTolerant)
          .Property("EpisodeID", &E::EpisodeID, &E::SetEpisodeID)
          .Get("Season", &E::Season)
          .Property("Airdate", &E::Airdate, &E::SetAirdate)
          .Get("ShowID", &E::ShowID)
          .Property("Number", &E::Number, &E::SetNumber)
          .Property("Title", &E::Title, &E::SetTitle)
          .Property("OriginalTitle", &E::OriginalTitle, &E::SetOriginalTitle)
          .Property("Cast", &E::Cast, &E::SetCast)
          .Get("AssignedProfiles", &E::AssignedProfiles)
          .Property("Tags", &E::Tags, &E::SetTags)
          .Property("Crew", &E::Crew, &E::SetCrew)
          .Property("Audio", &E::Audio, &E::SetAudio)
          .Property("Review", &E::Review, &E::SetReview)
          .Property("Studios", &E::Studios, &E::SetStudios)
          .Property("Genres", &E::Genres, &E::SetGenres)
          .Property("Subtitles", &E::Subtitles, &E::SetSubtitles)
          .Property("Events", &E::Events, &E::SetEvents)
          .Property("Features", &E::Features, &E::SetFeatures)
          .Property("Locks", &E::Locks, &E::SetLocks)
          .Property("Infos", &E::Infos, &E::SetInfos)
          .Property("Notes", &E::Notes, &E::SetNotes)
          .Get("Awards", &E::Awards)
          .Property("Rating", &E::Rating, &E::SetRating)
          .Property("RatingSystem", &E::RatingSystem, &E::SetRatingSystem)
          .Property("RatingDetails", &E::RatingDetails, &E::SetRatingDetails)
          .Property("Overview", &E::Overview, &E::SetOverview)
          .Property("RunningTime", &E::RunningTime, &E::SetRunningTime)
          .Property("Video", &E::Video, &E::SetVideo)
          .Method("UpdateEpisode", &E::UpdateEpisode)
          .Build();
  return info;
}

namespace {

int64_t YearOf(Date date) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  date.ToParts(year, month, day, hour, minute, second);
  return year;
}

constexpr auto kStayEmpty = WithoutCatalogue::kStayEmpty;

}  // namespace

const store::RecordShape<ZelEpisode>& ZelEpisode::Shape() {
  using E = ZelEpisode;
  static const store::RecordShape<E> shape(
      store::Table::kEpisodes,
      {store::FieldOf("EpisodeID", &E::episode_id_), store::FieldOf("Number", &E::number_),
       store::FieldOf("Title", &E::title_), store::FieldOf("OriginalTitle", &E::original_title_),
       store::FieldOf("Season", &E::season_), store::FieldOf("Overview", &E::overview_),
       store::FieldOf("RunningTime", &E::running_time_), store::FieldOf("Rating", &E::rating_),
       store::FieldOf("RatingSystem", &E::rating_system_),
       store::FieldOf("RatingDetails", &E::rating_details_),
       store::FieldOf("Airdate", &E::airdate_), store::FieldOf("Notes", &E::notes_),
       store::FieldOf("ShowID", &E::show_id_)});
  return shape;
}

std::string ZelEpisode::StoredID() const {
  return row_.Stored() ? store::StoredKey(row_, store::Table::kEpisodes) : std::string();
}

std::shared_ptr<ZelCredits> ZelEpisode::Cast() {
  return LoadOnce(cast_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, ZelCredits& list) {
    return LoadCredits(db, kEpisodeCredits, ReadKey(), true, list);
  });
}

std::shared_ptr<ZelCredits> ZelEpisode::Crew() {
  return LoadOnce(crew_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, ZelCredits& list) {
    return LoadCredits(db, kEpisodeCredits, ReadKey(), false, list);
  });
}

std::shared_ptr<ZelTags> ZelEpisode::Tags() {
  return LoadOnce(tags_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, ZelTags& list) {
    return LoadTags(db, ReadKey(), list);
  });
}

std::shared_ptr<ZelAudioFormats> ZelEpisode::Audio() {
  return LoadOnce(audio_, catalogue_, kStayEmpty,
                  [&](store::CatalogueFile& db, ZelAudioFormats& list) {
                    return LoadAudio(db, ReadKey(), list);
                  });
}

std::shared_ptr<ZelReview> ZelEpisode::Review() {
  return LoadOnce(review_, catalogue_, kStayEmpty,
                  [&](store::CatalogueFile& db, ZelReview& review) {
                    return LoadReview(db, ReadKey(), review);
                  });
}

std::shared_ptr<ZelStudios> ZelEpisode::Studios() {
  return LoadOnce(
      studios_, catalogue_, kStayEmpty,
      [&](store::CatalogueFile& db, ZelStudios& list) { return LoadStudios(db, ReadKey(), list); });
}

std::shared_ptr<Collection> ZelEpisode::Genres() {
  return LoadOnce(genres_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, Collection& list) {
    return LoadTextList(db, ReadKey(), TextList::kGenres, list);
  });
}

std::shared_ptr<Collection> ZelEpisode::Subtitles() {
  return LoadOnce(subtitles_, catalogue_, kStayEmpty,
                  [&](store::CatalogueFile& db, Collection& list) {
                    return LoadTextList(db, ReadKey(), TextList::kSubtitles, list);
                  });
}

std::shared_ptr<ZelEvents> ZelEpisode::Events() {
  return LoadOnce(events_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, ZelEvents& list) {
    return LoadEvents(db, ReadKey(), list);
  });
}

std::shared_ptr<Collection> ZelEpisode::Features() {
  return LoadOnce(features_, catalogue_, kStayEmpty,
                  [&](store::CatalogueFile& db, Collection& list) {
                    return LoadTextList(db, ReadKey(), TextList::kFeatures, list);
                  });
}

std::shared_ptr<Collection> ZelEpisode::Locks() {
  return LoadOnce(locks_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, Collection& list) {
    return LoadTextList(db, ReadKey(), TextList::kLocks, list);
  });
}

std::shared_ptr<ZelInfos> ZelEpisode::Infos() {
  return LoadOnce(infos_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, ZelInfos& list) {
    return LoadInfos(db, ReadKey(), list);
  });
}

std::shared_ptr<ZelVideo> ZelEpisode::Video() {
  return LoadOnce(video_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, ZelVideo& video) {
    return LoadVideo(db, ReadKey(), video);
  });
}

std::shared_ptr<ZelProfiles> ZelEpisode::AssignedProfiles() {
  if (assigned_profiles_) return assigned_profiles_;
  // Profiles are added as read: an episode's list must not rewrite the profiles it names.
  // Removing one from the list ends its assignment; adding one assigns it.
  assigned_profiles_ =
      std::make_shared<ZelProfiles>(ZelProfiles::Links::kEpisodeAssignments, episode_id_);
  store::CatalogueFile* database = catalogue_.Find();
  if (!database) return assigned_profiles_;
  assigned_profiles_->catalogue().Bind(*database);
  for (auto& profile : LoadProfiles(*database,
                                    "t.\"ProfileID\" IN (SELECT \"ProfileID\" FROM "
                                    "\"Profile2Episodes\" WHERE \"EpisodeID\" = ?)",
                                    Texts({ReadKey()}), "t.\"SortTitle\"")) {
    assigned_profiles_->AddLoaded(profile);
  }
  return assigned_profiles_;
}

std::shared_ptr<ZelAwards> ZelEpisode::Awards() {
  if (awards_) return awards_;
  store::CatalogueFile& database = catalogue_.Get();
  // Without an air date there is no year to centre the window on; the zero date's 1899 would
  // hide every award but those without a year.
  const int64_t year = airdate_ == Date::Zero() ? 0 : YearOf(airdate_);
  awards_ = awards::GetMovieAwards(database, original_title_, year);
  return awards_;
}

void ZelEpisode::UpdateEpisode() { SaveTo(catalogue_.Get()); }

void ZelEpisode::SaveTo(store::CatalogueFile& database) {
  store::WriteScope scope(database.connection());
  auto self = weak_from_this().lock();
  if (catalogue_.Belongs() && catalogue_.Peek() != &database) {
    // Another catalogue's episode is new to this one, and so are its lists.
    store::UndoOnRollback(database, row_, self);
    row_ = {};
  }
  store::UndoOnRollback(database, catalogue_, self);
  catalogue_.Bind(database);
  if (episode_id_.empty()) {
    store::UndoOnRollback(database, episode_id_, self);
    episode_id_ = show_id_ + season_ + number_;
  }
  const bool had_row = row_.Stored();
  if (!had_row || StoredID() != episode_id_) {
    // Joined identifiers collide across seasons ("S1" + "2" + "13" and "S1" + "21" + "3"): say
    // which episode holds this one.
    const auto holders = database.connection().Read(
        "SELECT \"SeriesID\", \"Season\", \"EpisodeNo\" FROM \"Episodes\" WHERE \"EpisodeID\" = ? "
        "AND rowid <> ?",
        {store::StoredValue::Text(episode_id_), store::StoredValue::Integer(row_.rowid)});
    if (!holders.empty()) {
      const auto& holder = holders.front();
      Raise(store::engine_errc::kDuplicateKey,
            "Episode identifier '" + episode_id_ + "' already belongs to season '" +
                holder[1].text + "', episode '" + holder[2].text + "' of series '" +
                holder[0].text + "'");
    }
  }
  // Every row stored under the old identifier follows the episode to its new one.
  const bool moved = store::SaveKeyedRow(
      database, Shape(), *this, episode_id_, row_, "Episode",
      [&](const std::string& from) { MoveEpisodeRows(database, from, episode_id_); });
  SaveLists(database, Owner{episode_id_, had_row, moved});
  scope.Commit();
}

void ZelEpisode::SaveLists(store::CatalogueFile& database, const Owner& owner) {
  SaveCached(database, audio_, owner, LoadAudio, SaveAudio);
  SaveCached(database, cast_, owner, CreditsLoader(kEpisodeCredits, true),
             CreditsSaver(kEpisodeCredits, true));
  SaveCached(database, crew_, owner, CreditsLoader(kEpisodeCredits, false),
             CreditsSaver(kEpisodeCredits, false));
  SaveCached(database, events_, owner, LoadEvents, SaveEvents);
  SaveCached(database, features_, owner, TextListLoader(TextList::kFeatures),
             TextListSaver(TextList::kFeatures));
  SaveCached(database, genres_, owner, TextListLoader(TextList::kGenres),
             TextListSaver(TextList::kGenres));
  SaveCached(database, infos_, owner, LoadInfos, SaveInfos);
  SaveCached(database, locks_, owner, TextListLoader(TextList::kLocks),
             TextListSaver(TextList::kLocks));
  SaveCached(database, review_, owner, LoadReview, SaveReview);
  SaveCached(database, studios_, owner, LoadStudios, SaveStudios);
  SaveCached(database, subtitles_, owner, TextListLoader(TextList::kSubtitles),
             TextListSaver(TextList::kSubtitles));
  SaveCached(database, tags_, owner, LoadTags, SaveTags);
  SaveCached(database, video_, owner, LoadVideo, SaveVideo);
}

void ZelEpisode::DeleteFrom(store::CatalogueFile& database) {
  if (!row_.Stored() || catalogue_.Peek() != &database) return;
  store::WriteScope scope(database.connection());
  store::RowWriter(database, store::Table::kEpisodes).Verify(row_, "Episode '" + StoredID() + "'");
  DeleteEpisodeRows(database, StoredID());
  auto self = weak_from_this().lock();
  store::UndoOnRollback(database, row_, self);
  row_ = {};
  scope.Commit();
}

void ZelEpisode::ReadRow(store::CatalogueFile& database, store::RowImage image) {
  Shape().Read(*this, image, database.SchemaNumber());
  row_ = std::move(image);
  catalogue_.Bind(database);
}

void ZelEpisode::FollowSeries(store::CatalogueFile& database, const std::string& show_id) {
  auto self = weak_from_this().lock();
  store::UndoOnRollback(database, show_id_, self);
  show_id_ = show_id;
  if (!row_.Stored()) return;
  store::UndoOnRollback(database, row_, self);
  row_.values[store::Describe(store::Table::kEpisodes).IndexOf("SeriesID")] =
      store::StoredValue::Text(show_id);
}

std::vector<std::shared_ptr<ZelEpisode>> LoadEpisodes(store::CatalogueFile& database,
                                                      std::string_view where,
                                                      const std::vector<store::StoredValue>& params,
                                                      std::string_view order) {
  return store::LoadRecords<ZelEpisode>(database, store::Table::kEpisodes, where, params, order);
}

std::shared_ptr<ZelEpisode> EpisodeFromRecord(store::RecordSet& records) {
  return EpisodeFromRecord(store::RequireActiveCatalogue(), records);
}

std::shared_ptr<ZelEpisode> EpisodeFromRecord(store::CatalogueFile& database,
                                              store::RecordSet& records) {
  const std::string id = records.Value("EpisodeID").ToTextOrEmpty();
  auto stored = LoadEpisodes(database, "t.\"EpisodeID\" = ?", Texts({id}));
  if (!stored.empty()) return stored.front();
  // A row the Episodes table does not hold: a new episode of its values.
  auto episode = std::make_shared<ZelEpisode>();
  const store::TableLayout& layout = store::Describe(store::Table::kEpisodes);
  store::RowImage image;
  image.values.resize(layout.columns.size());
  for (size_t i = 0; i < layout.columns.size(); ++i) {
    const Variant value = records.Value(layout.columns[i].name);
    if (!value.IsNull()) {
      image.values[i] = store::WriteColumn(layout.columns[i], value, database.SchemaNumber());
    }
  }
  ZelEpisode::Shape().Read(*episode, image, database.SchemaNumber());
  episode->catalogue().Bind(database);
  return episode;
}

void DeleteEpisodeRows(store::CatalogueFile& database, std::string_view episode_id) {
  for (store::Table table : store::EpisodeListTables()) {
    const store::TableLayout& layout = store::Describe(table);
    database.connection().Write(
        "DELETE FROM " + Quoted(layout.name) + " WHERE " + Quoted(layout.owner) + " = ?",
        Texts({episode_id}));
  }
  // An assignment to a profile means nothing once the episode is gone.
  for (const char* table : {"TVCastCrew", "Profile2Episodes", "Episodes"}) {
    database.connection().Write("DELETE FROM " + Quoted(table) + " WHERE \"EpisodeID\" = ?",
                                Texts({episode_id}));
  }
}

void MoveEpisodeRows(store::CatalogueFile& database, std::string_view from, std::string_view to) {
  for (store::Table table : store::EpisodeListTables()) {
    const store::TableLayout& layout = store::Describe(table);
    database.connection().Write("UPDATE " + Quoted(layout.name) + " SET " + Quoted(layout.owner) +
                                    " = ? WHERE " + Quoted(layout.owner) + " = ?",
                                Texts({to, from}));
  }
  for (const char* table : {"TVCastCrew", "Profile2Episodes"}) {
    database.connection().Write(
        "UPDATE " + Quoted(table) + " SET \"EpisodeID\" = ? WHERE \"EpisodeID\" = ?",
        Texts({to, from}));
  }
}

// --- ZelEpisodes ---

ZelEpisodes::ZelEpisodes(std::string show_id, std::string season)
    : show_id_(std::move(show_id)), season_(std::move(season)), of_season_(true) {}

const ClassInfo& ZelEpisodes::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelEpisodes>("ZelEpisodes")
          .Creatable()
          .Get("Count", &ZelEpisodes::Count)
          .Method("Item", &ZelEpisodes::Item, {Param("vntIndexKey")})
          .Default()
          .Method("Remove", &ZelEpisodes::Remove, {Param("vntIndexKey")})
          .Method("RemoveAll", &ZelEpisodes::RemoveAll)
          .Get("NewEnum", &ZelEpisodes::NewEnum)
          .Enumerator()
          .Method("AddEpisode", &ZelEpisodes::AddEpisode, {Param("Episode")})
          .Method("Add", &ZelEpisodes::Add,
                  {Param("Title"), Param("EpisodeNumber"), Optional("OriginalTitle", "")})
          .Method("Exists", &ZelEpisodes::Exists, {Param("EpisodeID")})
          .Build();
  return info;
}

std::shared_ptr<ZelEpisodes> ZelEpisodes::AssignedTo(std::string profile_id) {
  auto list = std::make_shared<ZelEpisodes>();
  list->assigned_to_ = std::move(profile_id);
  return list;
}

std::shared_ptr<ZelEpisode> ZelEpisodes::AddAndSave(std::shared_ptr<ZelEpisode> episode) {
  if (!episode) Raise(errc::kMissingObject);
  const std::string old_season = episode->Season();
  const std::string old_show = episode->ShowID();
  if (of_season_) {
    episode->SetSeason(season_);
    episode->SetShowID(show_id_);
  }
  try {
    AddExisting(episode);
  } catch (...) {
    // A refused episode leaves neither the list nor the episode changed.
    episode->SetSeason(old_season);
    episode->SetShowID(old_show);
    throw;
  }
  UndoOnRollback([episode, old_season, old_show] {
    episode->SetSeason(old_season);
    episode->SetShowID(old_show);
  });
  return episode;
}

std::shared_ptr<ZelEpisode> ZelEpisodes::AddEpisode(std::shared_ptr<ZelEpisode> episode) {
  return AddAndSave(std::move(episode));
}

std::shared_ptr<ZelEpisode> ZelEpisodes::Add(std::string title, std::string number,
                                             std::string original_title) {
  auto episode = std::make_shared<ZelEpisode>();
  episode->SetEpisodeID(show_id_ + season_ + number);
  episode->SetNumber(std::move(number));
  episode->SetTitle(std::move(title));
  episode->SetOriginalTitle(std::move(original_title));
  return AddAndSave(episode);
}

bool ZelEpisodes::Exists(std::string_view episode_id) const {
  return AnyOf<ZelEpisode>(
      [&](const ZelEpisode& episode) { return EqualsFolded(episode.EpisodeID(), episode_id); });
}

void ZelEpisodes::AddLoadedEpisode(std::shared_ptr<ZelEpisode> episode) {
  AddLoaded(std::move(episode));
}

std::string ZelEpisodes::KeyOf(const Object& item) const {
  return static_cast<const ZelEpisode&>(item).EpisodeID();
}

void ZelEpisodes::Save(Object& item) {
  auto& episode = static_cast<ZelEpisode&>(item);
  store::CatalogueFile& database = catalogue_.Get();
  store::WriteScope scope(database.connection());
  episode.SaveTo(database);
  if (!assigned_to_.empty()) AssignEpisodeTo(database, assigned_to_, episode.EpisodeID());
  scope.Commit();
}

void ZelEpisodes::Delete(Object& item) {
  auto& episode = static_cast<ZelEpisode&>(item);
  store::CatalogueFile& database = catalogue_.Get();
  if (!assigned_to_.empty()) {
    database.connection().Write(
        "DELETE FROM \"Profile2Episodes\" WHERE \"ProfileID\" = ? AND \"EpisodeID\" = ?",
        Texts({assigned_to_, episode.EpisodeID()}));
    return;
  }
  episode.DeleteFrom(database);
}

}  // namespace zel
