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
#include "store/text_helpers.h"

namespace zel {

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

int16_t YearOf(Date date) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  date.ToParts(year, month, day, hour, minute, second);
  return static_cast<int16_t>(year);
}

}  // namespace

void ZelEpisode::SetEpisodeID(std::string id) {
  if (id != episode_id_) owns_id_ = false;
  episode_id_ = std::move(id);
}

void ZelEpisode::MarkStored() {
  owns_id_ = true;
  stored_id_ = episode_id_;
}

std::shared_ptr<ZelCredits> ZelEpisode::Cast() {
  return LoadOnce(cast_, catalogue_, WithoutCatalogue::kStayEmpty,
                  [&](store::CatalogueFile& db, ZelCredits& list) {
                    LoadCredits(db, kEpisodeCredits, episode_id_, true, list);
                  });
}

std::shared_ptr<ZelCredits> ZelEpisode::Crew() {
  return LoadOnce(crew_, catalogue_, WithoutCatalogue::kStayEmpty,
                  [&](store::CatalogueFile& db, ZelCredits& list) {
                    LoadCredits(db, kEpisodeCredits, episode_id_, false, list);
                  });
}

std::shared_ptr<ZelTags> ZelEpisode::Tags() {
  return LoadOnce(
      tags_, catalogue_, WithoutCatalogue::kStayEmpty,
      [&](store::CatalogueFile& db, ZelTags& list) { LoadTags(db, episode_id_, list); });
}

std::shared_ptr<ZelAudioFormats> ZelEpisode::Audio() {
  return LoadOnce(
      audio_, catalogue_, WithoutCatalogue::kStayEmpty,
      [&](store::CatalogueFile& db, ZelAudioFormats& list) { LoadAudio(db, episode_id_, list); });
}

std::shared_ptr<ZelReview> ZelEpisode::Review() {
  return LoadOnce(
      review_, catalogue_, WithoutCatalogue::kStayEmpty,
      [&](store::CatalogueFile& db, ZelReview& review) { LoadReview(db, episode_id_, review); });
}

std::shared_ptr<ZelStudios> ZelEpisode::Studios() {
  return LoadOnce(
      studios_, catalogue_, WithoutCatalogue::kStayEmpty,
      [&](store::CatalogueFile& db, ZelStudios& list) { LoadStudios(db, episode_id_, list); });
}

std::shared_ptr<Collection> ZelEpisode::Genres() {
  return LoadOnce(genres_, catalogue_, WithoutCatalogue::kStayEmpty,
                  [&](store::CatalogueFile& db, Collection& list) {
                    LoadTextList(db, episode_id_, TextList::kGenres, list);
                  });
}

std::shared_ptr<Collection> ZelEpisode::Subtitles() {
  return LoadOnce(subtitles_, catalogue_, WithoutCatalogue::kStayEmpty,
                  [&](store::CatalogueFile& db, Collection& list) {
                    LoadTextList(db, episode_id_, TextList::kSubtitles, list);
                  });
}

std::shared_ptr<ZelEvents> ZelEpisode::Events() {
  return LoadOnce(
      events_, catalogue_, WithoutCatalogue::kStayEmpty,
      [&](store::CatalogueFile& db, ZelEvents& list) { LoadEvents(db, episode_id_, list); });
}

std::shared_ptr<Collection> ZelEpisode::Features() {
  return LoadOnce(features_, catalogue_, WithoutCatalogue::kStayEmpty,
                  [&](store::CatalogueFile& db, Collection& list) {
                    LoadTextList(db, episode_id_, TextList::kFeatures, list);
                  });
}

std::shared_ptr<Collection> ZelEpisode::Locks() {
  return LoadOnce(locks_, catalogue_, WithoutCatalogue::kStayEmpty,
                  [&](store::CatalogueFile& db, Collection& list) {
                    LoadTextList(db, episode_id_, TextList::kLocks, list);
                  });
}

std::shared_ptr<ZelInfos> ZelEpisode::Infos() {
  return LoadOnce(
      infos_, catalogue_, WithoutCatalogue::kStayEmpty,
      [&](store::CatalogueFile& db, ZelInfos& list) { LoadInfos(db, episode_id_, list); });
}

std::shared_ptr<ZelVideo> ZelEpisode::Video() {
  return LoadOnce(
      video_, catalogue_, WithoutCatalogue::kStayEmpty,
      [&](store::CatalogueFile& db, ZelVideo& video) { LoadVideo(db, episode_id_, video); });
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
  auto records = database->DbOpenRecordSet(
      "SELECT * FROM Profiles p INNER JOIN Profile2Episodes pe ON pe.ProfileID = p.ProfileID "
      "WHERE pe.EpisodeID = '" +
      QuoteSql(episode_id_) + "' ORDER BY SortTitle");
  for (; !records->Eof(); records->MoveNext()) {
    assigned_profiles_->AddLoaded(ProfileFromRecord(*database, *records));
  }
  return assigned_profiles_;
}

std::shared_ptr<ZelAwards> ZelEpisode::Awards() {
  if (awards_) return awards_;
  store::CatalogueFile& database = catalogue_.Get();
  // Without an air date there is no year to centre the window on; the zero date's 1899 would
  // hide every award but those without a year.
  const int16_t year = airdate_ == Date::Zero() ? int16_t{0} : YearOf(airdate_);
  awards_ = awards::GetMovieAwards(database, original_title_, year);
  return awards_;
}

void ZelEpisode::CheckIdentifierFree(store::CatalogueFile& database) const {
  if (owns_id_) return;
  const std::string id = episode_id_.empty() ? show_id_ + season_ + number_ : episode_id_;
  auto records = database.DbOpenRecordSet(
      "SELECT SeriesID, Season, EpisodeNo FROM Episodes WHERE EpisodeID = '" + QuoteSql(id) + "'");
  for (; !records->Eof(); records->MoveNext()) {
    const std::string series = records->Value("SeriesID").ToTextOrEmpty();
    const std::string season = records->Value("Season").ToTextOrEmpty();
    const std::string number = records->Value("EpisodeNo").ToTextOrEmpty();
    if (series == show_id_ && season == season_ && number == number_) continue;
    Raise(store::engine_errc::kDuplicateKey,
          "Episode identifier '" + id + "' already belongs to season '" + season + "', episode '" +
              number + "' of series '" + series + "'");
  }
}

void ZelEpisode::UpdateEpisode() { SaveTo(catalogue_.Get()); }

void ZelEpisode::SaveTo(store::CatalogueFile& database) {
  CheckIdentifierFree(database);
  const std::string id = episode_id_.empty() ? show_id_ + season_ + number_ : episode_id_;
  const std::string quoted_id = QuoteSql(id);
  store::WriteScope scope(database.connection());

  // A changed identifier takes the episode's rows along, so nothing is left behind under the old.
  if (catalogue_.Peek() == &database && !stored_id_.empty() && !EqualsFolded(stored_id_, id)) {
    MoveEpisodeRows(database, stored_id_, id);
  }
  database.DbExecute("DELETE FROM Episodes WHERE EpisodeID = '" + quoted_id + "'");
  const std::vector<std::string> values = {id,
                                           number_,
                                           title_,
                                           original_title_,
                                           season_,
                                           overview_,
                                           std::to_string(running_time_),
                                           rating_,
                                           rating_system_,
                                           rating_details_,
                                           FormatDateTime(airdate_),
                                           notes_,
                                           show_id_};
  std::string list;
  for (const std::string& value : values) {
    list += (list.empty() ? "'" : ", '") + QuoteSql(value) + "'";
  }
  InsertSavedRow(
      database,
      "INSERT INTO Episodes (EpisodeID, EpisodeNo, EpisodeTitle, EpisodeOriginalTitle, Season, "
      "Overview, Runtime, Rating, RatingSystem, RatingDetails, Airdate, Notes, SeriesID) VALUES (" +
          list + ")",
      "Episode '" + id + "' could not be stored");

  if (audio_) SaveAudio(database, id, *audio_);
  if (cast_) SaveCredits(database, kEpisodeCredits, id, true, *cast_);
  if (crew_) SaveCredits(database, kEpisodeCredits, id, false, *crew_);
  if (events_) SaveEvents(database, id, *events_);
  if (features_) SaveTextList(database, id, TextList::kFeatures, *features_);
  if (genres_) SaveTextList(database, id, TextList::kGenres, *genres_);
  if (infos_) SaveInfos(database, id, *infos_);
  if (locks_) SaveTextList(database, id, TextList::kLocks, *locks_);
  if (review_) SaveReview(database, id, *review_);
  if (studios_) SaveStudios(database, id, *studios_);
  if (subtitles_) SaveTextList(database, id, TextList::kSubtitles, *subtitles_);
  if (tags_) SaveTags(database, id, *tags_);
  if (video_) SaveVideo(database, id, *video_);
  scope.Commit();
  episode_id_ = id;
  owns_id_ = true;
  catalogue_.Join(database);
  if (catalogue_.Peek() == &database) stored_id_ = id;
}

std::shared_ptr<ZelEpisode> EpisodeFromRecord(store::RecordSet& records) {
  return EpisodeFromRecord(store::RequireActiveCatalogue(), records);
}

std::shared_ptr<ZelEpisode> EpisodeFromRecord(store::CatalogueFile& database,
                                              store::RecordSet& records) {
  auto episode = std::make_shared<ZelEpisode>();
  auto text = [&](std::string_view name) { return records.Value(name).ToTextOrEmpty(); };
  episode->SetEpisodeID(text("EpisodeID"));
  episode->SetNumber(text("EpisodeNo"));
  episode->SetTitle(text("EpisodeTitle"));
  episode->SetOriginalTitle(text("EpisodeOriginalTitle"));
  episode->SetSeason(text("Season"));
  episode->SetOverview(text("Overview"));
  const Variant runtime = records.Value("Runtime");
  const bool no_runtime = runtime.IsNull() || (runtime.IsString() && runtime.ToText().empty());
  episode->SetRunningTime(no_runtime ? int16_t{0} : Int16Column(runtime));
  episode->SetRating(text("Rating"));
  episode->SetRatingSystem(text("RatingSystem"));
  episode->SetRatingDetails(text("RatingDetails"));
  const Variant airdate = records.Value("Airdate");
  const bool no_airdate = airdate.IsNull() || (airdate.IsString() && airdate.ToText().empty());
  episode->SetAirdate(no_airdate ? Date::Zero() : airdate.ToDate());
  episode->SetNotes(text("Notes"));
  episode->SetShowID(text("SeriesID"));
  episode->MarkStored();
  episode->catalogue().Bind(database);
  return episode;
}

namespace {

// The tables that keep an episode's lists under its identifier in the ProfileID column.
constexpr const char* kEpisodeLists[] = {"VideoFormat",    "Studios", "Reviews",     "Locks",
                                         "AdditionalInfo", "Genres",  "Features",    "Subtitles",
                                         "Events",         "Tags",    "AudioFormats"};

}  // namespace

void DeleteEpisodeRows(store::CatalogueFile& database, std::string_view episode_id) {
  const std::string quoted_id = QuoteSql(episode_id);
  for (const char* table : kEpisodeLists) DeleteProfileRows(database, episode_id, table);
  database.DbExecute("DELETE FROM TVCastCrew WHERE EpisodeID = '" + quoted_id + "'");
  // An assignment to a profile means nothing once the episode is gone.
  database.DbExecute("DELETE FROM Profile2Episodes WHERE EpisodeID = '" + quoted_id + "'");
  database.DbExecute("DELETE FROM Episodes WHERE EpisodeID = '" + quoted_id + "'");
}

void MoveEpisodeRows(store::CatalogueFile& database, std::string_view from, std::string_view to) {
  const std::string old_id = QuoteSql(from);
  const std::string new_id = QuoteSql(to);
  for (const char* table : kEpisodeLists) {
    database.DbExecute("UPDATE " + std::string(table) + " SET ProfileID = '" + new_id +
                       "' WHERE ProfileID = '" + old_id + "'");
  }
  for (const char* table : {"TVCastCrew", "Profile2Episodes"}) {
    database.DbExecute("UPDATE " + std::string(table) + " SET EpisodeID = '" + new_id +
                       "' WHERE EpisodeID = '" + old_id + "'");
  }
  database.DbExecute("DELETE FROM Episodes WHERE EpisodeID = '" + old_id + "'");
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
  store::CatalogueFile& database = catalogue_.Get();
  const std::string old_season = episode->Season();
  const std::string old_show = episode->ShowID();
  if (of_season_) {
    episode->SetSeason(season_);
    episode->SetShowID(show_id_);
  }
  bool inserted = false;
  try {
    episode->CheckIdentifierFree(database);
    Insert(episode, KeyOf(*episode));
    inserted = true;
    Save(*episode);
  } catch (...) {
    // A refused episode leaves neither the list nor the episode changed.
    if (inserted) items_.Remove(Variant(items_.Count()));
    episode->SetSeason(old_season);
    episode->SetShowID(old_show);
    throw;
  }
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
  if (of_season_) {
    episode->SetSeason(season_);
    episode->SetShowID(show_id_);
  }
  AddLoaded(std::move(episode));
}

std::string ZelEpisodes::KeyOf(const Object& item) const {
  return static_cast<const ZelEpisode&>(item).EpisodeID();
}

void ZelEpisodes::Save(Object& item) {
  auto& episode = static_cast<ZelEpisode&>(item);
  store::CatalogueFile& database = catalogue_.Get();
  store::WriteScope scope(database.connection());
  episode.catalogue().Join(database);
  episode.SaveTo(database);
  if (!assigned_to_.empty()) {
    const std::string pair = "ProfileID = '" + QuoteSql(assigned_to_) + "' AND EpisodeID = '" +
                             QuoteSql(episode.EpisodeID()) + "'";
    if (database.DbOpenRecordSet("SELECT EpisodeID FROM Profile2Episodes WHERE " + pair)
            ->RecordCount() == 0) {
      InsertSavedRow(
          database,
          "INSERT INTO Profile2Episodes (ProfileID, EpisodeID) VALUES ('" + QuoteSql(assigned_to_) +
              "', '" + QuoteSql(episode.EpisodeID()) + "')",
          "Episode '" + episode.EpisodeID() + "' could not be assigned to '" + assigned_to_ + "'");
    }
  }
  scope.Commit();
}

void ZelEpisodes::Delete(Object& item) {
  const std::string& id = static_cast<ZelEpisode&>(item).EpisodeID();
  store::CatalogueFile& database = catalogue_.Get();
  if (!assigned_to_.empty()) {
    database.DbExecute("DELETE FROM Profile2Episodes WHERE ProfileID = '" + QuoteSql(assigned_to_) +
                       "' AND EpisodeID = '" + QuoteSql(id) + "'");
    return;
  }
  store::WriteScope scope(database.connection());
  DeleteEpisodeRows(database, id);
  scope.Commit();
}

}  // namespace zel
