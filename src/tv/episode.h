// Television episodes: ZelEpisode (one row of Episodes with its own credits and lists) and
// ZelEpisodes (the episodes of one season, standing for their rows).
//
// An episode keeps the same kinds of lists as a profile, in the same tables, under its EpisodeID in
// the ProfileID column; its credits live in TVCastCrew. Lists load on first read (an episode read
// while no catalogue is active keeps the empty list) and UpdateEpisode writes what changed since
// they and the row were read (store/row_images.h), as one write; a row changed elsewhere since
// fails the save (3197).
//
// An episode reads from and writes to its own catalogue (the one it was read from or added to).
// An episode whose Season is Null in the file reads it as the empty text, and keeps the Null.
//
// Identifiers. The library joins series identifier, season name and number with nothing between
// them, so season 2 number 13 and season 21 number 3 of series S1 both give "S1213". A new episode
// whose identifier a stored row already holds is refused with error 3022; nothing is written. A
// stored episode given another identifier takes its rows along when saved, and is refused the same
// way when another row holds the new one.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frame/collection.h"
#include "model/credits.h"
#include "model/load_once.h"
#include "model/media.h"
#include "model/owner_records.h"
#include "store/catalogue_link.h"
#include "store/connection.h"
#include "store/info.h"
#include "store/keyed_collection.h"

namespace zel {

class ZelAwards;
class ZelProfiles;

class ZelEpisode : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  const std::string& EpisodeID() const { return episode_id_; }
  void SetEpisodeID(std::string id) { episode_id_ = std::move(id); }
  const std::string& Season() const { return season_; }
  const std::string& ShowID() const { return show_id_; }
  const std::string& Number() const { return number_; }
  void SetNumber(std::string number) { number_ = std::move(number); }
  const std::string& Title() const { return title_; }
  void SetTitle(std::string title) { title_ = std::move(title); }
  const std::string& OriginalTitle() const { return original_title_; }
  void SetOriginalTitle(std::string title) { original_title_ = std::move(title); }
  Date Airdate() const { return airdate_; }
  void SetAirdate(Date date) { airdate_ = date; }
  int64_t RunningTime() const { return running_time_; }
  void SetRunningTime(int64_t minutes) { running_time_ = minutes; }
  const std::string& Overview() const { return overview_; }
  void SetOverview(std::string text) { overview_ = std::move(text); }
  const std::string& Rating() const { return rating_; }
  void SetRating(std::string text) { rating_ = std::move(text); }
  const std::string& RatingSystem() const { return rating_system_; }
  void SetRatingSystem(std::string text) { rating_system_ = std::move(text); }
  const std::string& RatingDetails() const { return rating_details_; }
  void SetRatingDetails(std::string text) { rating_details_ = std::move(text); }
  const std::string& Notes() const { return notes_; }
  void SetNotes(std::string text) { notes_ = std::move(text); }

  // --- lists; setting replaces the cache (none: the next read loads again) ---
  std::shared_ptr<ZelCredits> Cast();
  void SetCast(std::shared_ptr<ZelCredits> list) { cast_.object = std::move(list); }
  std::shared_ptr<ZelCredits> Crew();
  void SetCrew(std::shared_ptr<ZelCredits> list) { crew_.object = std::move(list); }
  std::shared_ptr<ZelTags> Tags();
  void SetTags(std::shared_ptr<ZelTags> list) { tags_.object = std::move(list); }
  std::shared_ptr<ZelAudioFormats> Audio();
  void SetAudio(std::shared_ptr<ZelAudioFormats> list) { audio_.object = std::move(list); }
  std::shared_ptr<ZelReview> Review();
  void SetReview(std::shared_ptr<ZelReview> review) { review_.object = std::move(review); }
  std::shared_ptr<ZelStudios> Studios();
  void SetStudios(std::shared_ptr<ZelStudios> list) { studios_.object = std::move(list); }
  std::shared_ptr<Collection> Genres();
  void SetGenres(std::shared_ptr<Collection> list) { genres_.object = std::move(list); }
  std::shared_ptr<Collection> Subtitles();
  void SetSubtitles(std::shared_ptr<Collection> list) { subtitles_.object = std::move(list); }
  std::shared_ptr<ZelEvents> Events();
  void SetEvents(std::shared_ptr<ZelEvents> list) { events_.object = std::move(list); }
  std::shared_ptr<Collection> Features();
  void SetFeatures(std::shared_ptr<Collection> list) { features_.object = std::move(list); }
  std::shared_ptr<Collection> Locks();
  void SetLocks(std::shared_ptr<Collection> list) { locks_.object = std::move(list); }
  std::shared_ptr<ZelInfos> Infos();
  void SetInfos(std::shared_ptr<ZelInfos> list) { infos_.object = std::move(list); }
  std::shared_ptr<ZelVideo> Video();
  void SetVideo(std::shared_ptr<ZelVideo> video) { video_.object = std::move(video); }
  // The profiles this episode is assigned to, by SortTitle; read once.
  std::shared_ptr<ZelProfiles> AssignedProfiles();
  // Awards of OriginalTitle around the air year (no year window without an air date); read once.
  // Needs an active catalogue (error 91).
  std::shared_ptr<ZelAwards> Awards();

  // Writes the row and every list read or set, as one write. An empty EpisodeID is first made from
  // ShowID + Season + Number. Needs a catalogue (error 91); see the file comment for the
  // identifier check (error 3022). A list row the catalogue refuses fails the save, naming it.
  void UpdateEpisode();

  // Library-internal.
  void SetSeason(std::string season) { season_ = std::move(season); }
  void SetShowID(std::string show_id) { show_id_ = std::move(show_id); }
  CatalogueLink& catalogue() { return catalogue_; }
  // The save into a given catalogue (UpdateEpisode saves into its own).
  void SaveTo(store::CatalogueFile& database);
  // Deletes every row stored for the episode (DeleteEpisodeRows), provided its row still holds
  // what it was read as; the episode is new afterwards.
  void DeleteFrom(store::CatalogueFile& database);
  // The identifier the episode's rows are stored under; empty when it has none.
  std::string StoredID() const;
  // Reads the episode's fields and its stored row from a loaded image.
  void ReadRow(store::CatalogueFile& database, store::RowImage image);
  // Records that the series' rows moved to `show_id` (a series renamed): the episode's SeriesID,
  // in memory and in its row as read. Undone with the write scope.
  void FollowSeries(store::CatalogueFile& database, const std::string& show_id);
  static const store::RecordShape<ZelEpisode>& Shape();

 private:
  std::string ReadKey() const { return row_.Stored() ? StoredID() : episode_id_; }
  void SaveLists(store::CatalogueFile& database, const Owner& owner);

  std::string episode_id_, season_, show_id_, number_, title_, original_title_;
  Date airdate_;
  int64_t running_time_ = 0;
  std::string overview_, rating_, rating_system_, rating_details_, notes_;
  store::RowImage row_;
  CatalogueLink catalogue_;

  Cached<ZelCredits, CreditsImage> cast_, crew_;
  Cached<ZelTags, TagsImage> tags_;
  Cached<ZelAudioFormats, AudioImage> audio_;
  Cached<ZelReview, store::RowImage> review_;
  Cached<ZelStudios, StudiosImage> studios_;
  Cached<Collection, store::TextListImage> genres_, subtitles_, features_, locks_;
  Cached<ZelEvents, EventsImage> events_;
  Cached<ZelInfos, InfosImage> infos_;
  Cached<ZelVideo, store::RowImage> video_;
  std::shared_ptr<ZelProfiles> assigned_profiles_;
  std::shared_ptr<ZelAwards> awards_;
};

// The episodes of one season, keyed by EpisodeID. Adding saves the episode; removing deletes its
// rows, its profile assignments included, as one write. A list made for a profile's assigned
// episodes (AssignedTo) belongs to no season and leaves its members' season alone: adding to it
// saves the episode and assigns it to the profile, removing ends the assignment only.
class ZelEpisodes : public TypedCollection<ZelEpisode> {
 public:
  ZelEpisodes() = default;
  ZelEpisodes(std::string show_id, std::string season);
  // The list of the episodes assigned to a profile.
  static std::shared_ptr<ZelEpisodes> AssignedTo(std::string profile_id);
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  // Adds under the episode's current identifier, gives it this season, then saves it. A refused
  // identifier (error 3022) or a failed save leaves the list as it was.
  std::shared_ptr<ZelEpisode> AddEpisode(std::shared_ptr<ZelEpisode> episode);
  // A new episode of this season numbered `number`, identified by series + season + number.
  std::shared_ptr<ZelEpisode> Add(std::string title, std::string number,
                                  std::string original_title);
  bool Exists(std::string_view episode_id) const;

  // Library-internal: adds an episode read from the catalogue without writing.
  void AddLoadedEpisode(std::shared_ptr<ZelEpisode> episode);

 protected:
  std::string KeyOf(const Object& item) const override;
  void Save(Object& item) override;
  void Delete(Object& item) override;

 private:
  std::shared_ptr<ZelEpisode> AddAndSave(std::shared_ptr<ZelEpisode> episode);

  std::string show_id_, season_;
  bool of_season_ = false;
  std::string assigned_to_;
};

// Every stored episode of `database` that `where` selects (the Episodes table called t, `params`
// bound), in `order`, each read with its row. Library-internal: shared with the series and the
// people code.
std::vector<std::shared_ptr<ZelEpisode>> LoadEpisodes(store::CatalogueFile& database,
                                                      std::string_view where,
                                                      const std::vector<store::StoredValue>& params,
                                                      std::string_view order = {});

// The episode of the current row of a record set that carries the Episodes columns by name: the
// stored episode of that EpisodeID, read with its row; or a new episode of the record's values.
std::shared_ptr<ZelEpisode> EpisodeFromRecord(store::CatalogueFile& database,
                                              store::RecordSet& records);
// The same for a record set of the active catalogue.
std::shared_ptr<ZelEpisode> EpisodeFromRecord(store::RecordSet& records);

// Deletes an episode's rows: its lists, its credits, its profile assignments and its Episodes row.
// Callers run it in their write scope.
void DeleteEpisodeRows(store::CatalogueFile& database, std::string_view episode_id);

// Moves an episode's rows (as DeleteEpisodeRows names them, the Episodes row aside) from one
// identifier to another. Callers run it in their write scope.
void MoveEpisodeRows(store::CatalogueFile& database, std::string_view from, std::string_view to);

}  // namespace zel
