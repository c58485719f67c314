// ZelProfile: one title of the collection with everything attached to it.
//
// A profile holds its Profiles row in plain fields and caches each sub-record (credits, discs,
// formats, prices, events, tags, lists...) on first read, each with the rows it was read from.
// UpdateProfile writes what changed since then (store/row_images.h): the columns of the Profiles
// row whose property changed, and of the sub-records whose cache holds an object the rows of
// members removed, changed or added; a list never read keeps its stored rows, a list read and
// emptied clears them. A row changed elsewhere since it was read fails the save (3197). The whole
// save is one write: an error leaves the file and the object as they were and reaches the caller.
// A save never stores less than the object holds: a sub-record row the catalogue refuses (two
// audio tracks at one position, two tags of one name) fails the save with an error naming it.
//
// A profile reads from and writes to its own catalogue: the one it was read from, or added to
// through a list (a profile added to another catalogue's list becomes that catalogue's, and is
// stored there as a new profile); a profile made by a caller joins the active one when it first
// reads or writes. A profile whose ProfileID was changed since it was read keeps its rows: the save
// moves every row stored under the old identifier to the new one, and refuses (3022) an identifier
// another stored profile holds. A new profile whose identifier a stored one holds is refused too.
//
// Sub-record getters: a cached object is returned as it is (nothing is read again). Otherwise the
// empty object is cached and filled from the catalogue. Without a catalogue most getters return
// the empty object, which then stays; Discs, Video, Studios, Subtitles, LoanInfo and Tags fail with
// error 91 instead (a second read then returns the cached empty object). Setting a sub-record
// replaces the cache; setting none empties it, so the next read loads again. Reading never writes.
//
// Numbers of the Profiles row are read whole, whatever their size; an empty date reads as the zero
// date and stays empty in the file until the property changes.
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

namespace zel {

class ZelAwards;
class ZelEpisodes;
class ZelProfiles;

class ZelProfile : public Object {
 public:
  // A new profile with a freshly drawn identifier and every other field empty.
  ZelProfile();
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  // --- sub-records ---
  std::shared_ptr<ZelCredits> Cast();
  void SetCast(std::shared_ptr<ZelCredits> cast) { cast_.object = std::move(cast); }
  std::shared_ptr<ZelCredits> Crew();
  void SetCrew(std::shared_ptr<ZelCredits> crew) { crew_.object = std::move(crew); }
  std::shared_ptr<ZelDiscs> Discs();
  void SetDiscs(std::shared_ptr<ZelDiscs> discs) { discs_.object = std::move(discs); }
  std::shared_ptr<ZelAudioFormats> Audio();
  void SetAudio(std::shared_ptr<ZelAudioFormats> audio) { audio_.object = std::move(audio); }
  std::shared_ptr<ZelReview> Review();
  void SetReview(std::shared_ptr<ZelReview> review) { review_.object = std::move(review); }
  std::shared_ptr<Collection> Regions();
  void SetRegions(std::shared_ptr<Collection> list) { regions_.object = std::move(list); }
  std::shared_ptr<ZelStudios> Studios();
  void SetStudios(std::shared_ptr<ZelStudios> studios) { studios_.object = std::move(studios); }
  std::shared_ptr<Collection> Genres();
  void SetGenres(std::shared_ptr<Collection> list) { genres_.object = std::move(list); }
  std::shared_ptr<Collection> Subtitles();
  void SetSubtitles(std::shared_ptr<Collection> list) { subtitles_.object = std::move(list); }
  std::shared_ptr<Collection> Features();
  void SetFeatures(std::shared_ptr<Collection> list) { features_.object = std::move(list); }
  std::shared_ptr<Collection> Locks();
  void SetLocks(std::shared_ptr<Collection> list) { locks_.object = std::move(list); }
  std::shared_ptr<ZelVideo> Video();
  void SetVideo(std::shared_ptr<ZelVideo> video) { video_.object = std::move(video); }
  std::shared_ptr<ZelSRP> SRP();
  void SetSRP(std::shared_ptr<ZelSRP> srp) { srp_.object = std::move(srp); }
  std::shared_ptr<ZelPurchaseInfo> PurchaseInfo();
  void SetPurchaseInfo(std::shared_ptr<ZelPurchaseInfo> purchase) {
    purchase_.object = std::move(purchase);
  }
  // The profiles of this box set, as read (reading writes nothing).
  std::shared_ptr<ZelProfiles> ChildProfiles();
  // The box set this profile belongs to; an empty profile (empty Title) when there is none.
  std::shared_ptr<ZelProfile> ParentProfile();
  bool HasParentProfile();
  std::shared_ptr<ZelEvents> Events();
  void SetEvents(std::shared_ptr<ZelEvents> events) { events_.object = std::move(events); }
  std::shared_ptr<ZelLoanInfo> LoanInfo();
  void SetLoanInfo(std::shared_ptr<ZelLoanInfo> loan) { loan_.object = std::move(loan); }
  std::shared_ptr<ZelTags> Tags();
  void SetTags(std::shared_ptr<ZelTags> tags) { tags_.object = std::move(tags); }
  std::shared_ptr<ZelInfos> Infos();
  void SetInfos(std::shared_ptr<ZelInfos> infos) { infos_.object = std::move(infos); }
  std::shared_ptr<ZelInfos> MetaInfos();
  void SetMetaInfos(std::shared_ptr<ZelInfos> infos) { meta_infos_.object = std::move(infos); }
  // The awards of OriginalTitle (Title when that is empty) around ProductionYear, read once. None
  // while no catalogue is active.
  std::shared_ptr<ZelAwards> Awards();
  // The television episodes assigned to the profile, in the engine's order, read once. Each keeps
  // its own season and series; the list belongs to no season. Defined beside the episodes
  // (tv/profile_episodes.cpp), whose layer sits above this one.
  std::shared_ptr<ZelEpisodes> Episodes();

  // --- fields of the Profiles row ---
  const std::string& ProfileID() const { return profile_id_; }
  void SetProfileID(std::string text) { profile_id_ = std::move(text); }
  const std::string& Title() const { return title_; }
  void SetTitle(std::string text) { title_ = std::move(text); }
  const std::string& OriginalTitle() const { return original_title_; }
  void SetOriginalTitle(std::string text) { original_title_ = std::move(text); }
  const std::string& SortTitle() const { return sort_title_; }
  void SetSortTitle(std::string text) { sort_title_ = std::move(text); }
  const std::string& OriginalSortTitle() const { return original_sort_title_; }
  void SetOriginalSortTitle(std::string text) { original_sort_title_ = std::move(text); }
  const std::string& Description() const { return description_; }
  void SetDescription(std::string text) { description_ = std::move(text); }
  const std::string& Medium() const { return medium_; }
  void SetMedium(std::string text) { medium_ = std::move(text); }
  const std::string& DataSource() const { return data_source_; }
  void SetDataSource(std::string text) { data_source_ = std::move(text); }
  const std::string& MD5() const { return md5_; }
  void SetMD5(std::string text) { md5_ = std::move(text); }
  const std::string& CollectionNumber() const { return collection_number_; }
  void SetCollectionNumber(std::string text) { collection_number_ = std::move(text); }
  const std::string& CollectionType() const { return collection_type_; }
  void SetCollectionType(std::string text) { collection_type_ = std::move(text); }
  const std::string& UPC() const { return upc_; }
  void SetUPC(std::string text) { upc_ = std::move(text); }
  Date ProfileTimeStamp() const { return profile_time_stamp_; }
  void SetProfileTimeStamp(Date date) { profile_time_stamp_ = date; }
  const std::string& Rating() const { return rating_; }
  void SetRating(std::string text) { rating_ = std::move(text); }
  const std::string& RatingSystem() const { return rating_system_; }
  void SetRatingSystem(std::string text) { rating_system_ = std::move(text); }
  const std::string& RatingDetails() const { return rating_details_; }
  void SetRatingDetails(std::string text) { rating_details_ = std::move(text); }
  int64_t ProductionYear() const { return production_year_; }
  void SetProductionYear(int64_t year) { production_year_ = year; }
  const std::string& CountryOfOrigin() const { return country_of_origin_; }
  void SetCountryOfOrigin(std::string text) { country_of_origin_ = std::move(text); }
  Date ReleaseDate() const { return release_date_; }
  void SetReleaseDate(Date date) { release_date_ = date; }
  int64_t RunningTime() const { return running_time_; }
  void SetRunningTime(int64_t minutes) { running_time_ = minutes; }
  const std::string& CaseType() const { return case_type_; }
  void SetCaseType(std::string text) { case_type_ = std::move(text); }
  const std::string& Overview() const { return overview_; }
  void SetOverview(std::string text) { overview_ = std::move(text); }
  const std::string& Notes() const { return notes_; }
  void SetNotes(std::string text) { notes_ = std::move(text); }
  const std::string& EasterEggs() const { return easter_eggs_; }
  void SetEasterEggs(std::string text) { easter_eggs_ = std::move(text); }
  Date LastEdited() const { return last_edited_; }
  void SetLastEdited(Date date) { last_edited_ = date; }
  int64_t WishListPriority() const { return wish_list_priority_; }
  void SetWishListPriority(int64_t priority) { wish_list_priority_ = priority; }
  int64_t CountAs() const { return count_as_; }
  void SetCountAs(int64_t count) { count_as_ = count; }
  const std::string& Locality() const { return locality_; }
  void SetLocality(std::string text) { locality_ = std::move(text); }

  // --- operations ---
  // Replaces the stored profile by this object (see the file comment). Needs a catalogue.
  void UpdateProfile();
  // Makes `profile_id` a child of this box set; assigning a child it already has changes nothing.
  // A profile that is already a part of another box set fails with 3022 and stays where it is.
  // Neither box-set operation changes a ChildProfiles list already read.
  void AssignBoxsetChild(std::string_view profile_id);
  void RemoveBoxsetChild(std::string_view profile_id);
  // Pairs an episode with this profile; a pair already stored stays as it is.
  void AssignEpisode(std::string_view episode_id);
  void RemoveEpisodeAssignment(std::string_view episode_id);

  // Library-internal.
  CatalogueLink& catalogue() { return catalogue_; }
  // Episodes as the member table hands it out (also defined beside the episodes).
  ObjectPtr EpisodesObject();
  // The save into a given catalogue (UpdateProfile saves into its own). Saving into a catalogue the
  // profile does not belong to stores it there as a new profile.
  void SaveTo(store::CatalogueFile& database);
  // Makes the profile `database`'s, as a profile added to one of its lists: one that belonged to
  // another catalogue is new to this one (its rows there are not this catalogue's).
  void JoinList(store::CatalogueFile& database);
  // Deletes every row stored for the profile (RemoveProfileRows), provided its Profiles row still
  // holds what it was read as; the profile is new afterwards.
  void DeleteFrom(store::CatalogueFile& database);
  // The identifier the profile's rows are stored under; empty when it has none.
  std::string StoredID() const;
  // Takes the row of `stored` (a fresh read of this profile) and drops every sub-record cache, so
  // that the next reads show what the catalogue now holds.
  void TakeStoredRow(const ZelProfile& stored);
  // Reads the profile's fields and its stored row from a loaded image.
  void ReadRow(store::CatalogueFile& database, store::RowImage image);
  static const store::RecordShape<ZelProfile>& Shape();

 private:
  // The identifier the sub-records are read under: the stored one, or the profile's own while it
  // has none.
  std::string ReadKey() const { return row_.Stored() ? StoredID() : profile_id_; }
  void SaveLists(store::CatalogueFile& database, const Owner& owner);
  // Calls `visit` with every sub-record slot, in the order UpdateProfile saves them.
  template <class Visit>
  void ForEachList(Visit visit);
  // Makes the profile new: no stored row, and lists that store what they hold as added. Undone
  // with the write scope.
  void ForgetStoredRows(store::CatalogueFile& database);

  std::string profile_id_, medium_, title_, data_source_, original_title_, sort_title_,
      original_sort_title_, description_, collection_number_, collection_type_, upc_;
  Date profile_time_stamp_;
  std::string rating_, rating_system_, rating_details_;
  int64_t production_year_ = 0;
  Date release_date_;
  int64_t running_time_ = 0;
  std::string case_type_, overview_, notes_, easter_eggs_;
  Date last_edited_;
  int64_t wish_list_priority_ = 0;
  std::string locality_, country_of_origin_, md5_;
  int64_t count_as_ = 0;
  store::RowImage row_;
  CatalogueLink catalogue_;

  Cached<ZelCredits, CreditsImage> cast_, crew_;
  Cached<ZelDiscs, DiscsImage> discs_;
  Cached<ZelAudioFormats, AudioImage> audio_;
  Cached<ZelReview, store::RowImage> review_;
  Cached<Collection, store::TextListImage> regions_, genres_, subtitles_, features_, locks_;
  Cached<ZelStudios, StudiosImage> studios_;
  Cached<ZelVideo, store::RowImage> video_;
  Cached<ZelSRP, store::RowImage> srp_;
  Cached<ZelPurchaseInfo, store::RowImage> purchase_;
  Cached<ZelEvents, EventsImage> events_;
  Cached<ZelLoanInfo, store::RowImage> loan_;
  Cached<ZelTags, TagsImage> tags_;
  Cached<ZelInfos, InfosImage> infos_, meta_infos_;
  std::shared_ptr<ZelProfiles> child_profiles_;
  std::shared_ptr<ZelProfile> parent_profile_;
  std::shared_ptr<ZelAwards> awards_;
  std::shared_ptr<ZelEpisodes> episodes_;
};

// Every stored profile of `database` that `where` selects (the Profiles table called t, `params`
// bound), in `order`: each read with its row, belonging to `database`. Library-internal: shared
// with the television and people code.
std::vector<std::shared_ptr<ZelProfile>> LoadProfiles(store::CatalogueFile& database,
                                                      std::string_view where,
                                                      const std::vector<store::StoredValue>& params,
                                                      std::string_view order = {});

// The profile of the current row of a record set that carries the Profiles columns by their plain
// names (ProfileID included): the stored profile of that ProfileID, read with its row; or, for a
// row the Profiles table does not hold, a new profile of the record's values. Null texts read as
// empty, Null numbers as 0, Null dates as the zero date; MD5 from schema 78 on, CountAs from 88 on
// (Null: 1). Library-internal.
std::shared_ptr<ZelProfile> ProfileFromRecord(store::CatalogueFile& database,
                                              store::RecordSet& records);
// The same for a record set of the active catalogue.
std::shared_ptr<ZelProfile> ProfileFromRecord(store::RecordSet& records);

}  // namespace zel
