#include "model/profile.h"

#include <vector>

#include "awards/awards.h"
#include "frame/library_state.h"
#include "frame/member_table.h"
#include "frame/random_ids.h"
#include "model/profiles.h"
#include "store/database.h"
#include "store/text_helpers.h"
#include "tv/episode.h"

namespace zel {

const ClassInfo& ZelProfile::Info() {
  using P = ZelProfile;
  static const ClassInfo info =
      ClassBuilder<P>("ZelProfile")
          .Creatable()
          .WithReflection(Reflection::kTolerant)
          .Property("Cast", &P::Cast, &P::SetCast)
          .Property("Crew", &P::Crew, &P::SetCrew)
          .Property("Discs", &P::Discs, &P::SetDiscs)
          .Property("Audio", &P::Audio, &P::SetAudio)
          .Property("Review", &P::Review, &P::SetReview)
          .Property("Regions", &P::Regions, &P::SetRegions)
          .Property("Studios", &P::Studios, &P::SetStudios)
          .Property("Genres", &P::Genres, &P::SetGenres)
          .Property("Subtitles", &P::Subtitles, &P::SetSubtitles)
          .Property("Features", &P::Features, &P::SetFeatures)
          .Property("Locks", &P::Locks, &P::SetLocks)
          .Property("Video", &P::Video, &P::SetVideo)
          .Property("SRP", &P::SRP, &P::SetSRP)
          .Property("PurchaseInfo", &P::PurchaseInfo, &P::SetPurchaseInfo)
          .Get("ChildProfiles", &P::ChildProfiles)
          .Get("ParentProfile", &P::ParentProfile)
          .Get("HasParentProfile", &P::HasParentProfile)
          .Property("ProfileID", &P::ProfileID, &P::SetProfileID)
          .Property("Title", &P::Title, &P::SetTitle)
          .Property("OriginalTitle", &P::OriginalTitle, &P::SetOriginalTitle)
          .Property("SortTitle", &P::SortTitle, &P::SetSortTitle)
          .Property("OriginalSortTitle", &P::OriginalSortTitle, &P::SetOriginalSortTitle)
          .Property("Description", &P::Description, &P::SetDescription)
          .Property("Medium", &P::Medium, &P::SetMedium)
          .Property("DataSource", &P::DataSource, &P::SetDataSource)
          .Property("MD5", &P::MD5, &P::SetMD5)
          .Property("CollectionNumber", &P::CollectionNumber, &P::SetCollectionNumber)
          .Property("CollectionType", &P::CollectionType, &P::SetCollectionType)
          .Property("UPC", &P::UPC, &P::SetUPC)
          .Property("ProfileTimeStamp", &P::ProfileTimeStamp, &P::SetProfileTimeStamp)
          .Property("Rating", &P::Rating, &P::SetRating)
          .Property("RatingSystem", &P::RatingSystem, &P::SetRatingSystem)
          .Property("RatingDetails", &P::RatingDetails, &P::SetRatingDetails)
          .Property("ProductionYear", &P::ProductionYear, &P::SetProductionYear)
          .Property("CountryOfOrigin", &P::CountryOfOrigin, &P::SetCountryOfOrigin)
          .Property("ReleaseDate", &P::ReleaseDate, &P::SetReleaseDate)
          .Property("RunningTime", &P::RunningTime, &P::SetRunningTime)
          .Property("CaseType", &P::CaseType, &P::SetCaseType)
          .Property("Overview", &P::Overview, &P::SetOverview)
          .Property("Notes", &P::Notes, &P::SetNotes)
          .Property("EasterEggs", &P::EasterEggs, &P::SetEasterEggs)
          .Property("LastEdited", &P::LastEdited, &P::SetLastEdited)
          .Property("WishListPriority", &P::WishListPriority, &P::SetWishListPriority)
          .Property("CountAs", &P::CountAs, &P::SetCountAs)
          .Property("Locality", &P::Locality, &P::SetLocality)
          .Property("Events", &P::Events, &P::SetEvents)
          .Property("LoanInfo", &P::LoanInfo, &P::SetLoanInfo)
          .Property("Tags", &P::Tags, &P::SetTags)
          .Property("Infos", &P::Infos, &P::SetInfos)
          .Property("MetaInfos", &P::MetaInfos, &P::SetMetaInfos)
          .Get("Awards", &P::Awards)
          .Get("Episodes", &P::Episodes)
          .Method("UpdateProfile", &P::UpdateProfile)
          .Method("AssignBoxsetChild", &P::AssignBoxsetChild, {Param("ProfileID")})
          .Method("RemoveBoxsetChild", &P::RemoveBoxsetChild, {Param("ProfileID")})
          .Method("AssignEpisode", &P::AssignEpisode, {Param("EpisodeID")})
          .Method("RemoveEpisodeAssignment", &P::RemoveEpisodeAssignment, {Param("EpisodeID")})
          .Build();
  return info;
}

ZelProfile::ZelProfile() : profile_id_(NewProfileId()) {}

namespace {

// Whether a getter without an active catalogue keeps its empty object or fails after caching it.
enum class WithoutCatalogue { kStayEmpty, kFail };

// The lazy rule of every sub-record: a cached object is returned as it is; otherwise the empty
// object is cached first and then filled, so a failed fill leaves what was read so far.
template <class T, class Fill>
std::shared_ptr<T> LoadOnce(std::shared_ptr<T>& cache, WithoutCatalogue absent, Fill fill) {
  if (cache) return cache;
  cache = std::make_shared<T>();
  ZelDatabase* database = State().active_database.get();
  if (!database) {
    if (absent == WithoutCatalogue::kFail) Raise(errc::kMissingObject);
    return cache;
  }
  fill(*database, *cache);
  return cache;
}

constexpr auto kStayEmpty = WithoutCatalogue::kStayEmpty;
constexpr auto kFail = WithoutCatalogue::kFail;

}  // namespace

std::shared_ptr<ZelCredits> ZelProfile::Cast() {
  return LoadOnce(cast_, kStayEmpty, [&](ZelDatabase& db, ZelCredits& list) {
    LoadProfileCredits(db, profile_id_, true, list);
  });
}

std::shared_ptr<ZelCredits> ZelProfile::Crew() {
  return LoadOnce(crew_, kStayEmpty, [&](ZelDatabase& db, ZelCredits& list) {
    LoadProfileCredits(db, profile_id_, false, list);
  });
}

std::shared_ptr<ZelDiscs> ZelProfile::Discs() {
  return LoadOnce(discs_, kFail,
                  [&](ZelDatabase& db, ZelDiscs& list) { LoadDiscs(db, profile_id_, list); });
}

std::shared_ptr<ZelAudioFormats> ZelProfile::Audio() {
  return LoadOnce(audio_, kStayEmpty, [&](ZelDatabase& db, ZelAudioFormats& list) {
    LoadAudio(db, profile_id_, list);
  });
}

std::shared_ptr<ZelReview> ZelProfile::Review() {
  return LoadOnce(review_, kStayEmpty,
                  [&](ZelDatabase& db, ZelReview& review) { LoadReview(db, profile_id_, review); });
}

std::shared_ptr<Collection> ZelProfile::Regions() {
  return LoadOnce(regions_, kStayEmpty, [&](ZelDatabase& db, Collection& list) {
    LoadTextList(db, profile_id_, TextList::kRegions, list);
  });
}

std::shared_ptr<ZelStudios> ZelProfile::Studios() {
  return LoadOnce(studios_, kFail,
                  [&](ZelDatabase& db, ZelStudios& list) { LoadStudios(db, profile_id_, list); });
}

std::shared_ptr<Collection> ZelProfile::Genres() {
  return LoadOnce(genres_, kStayEmpty, [&](ZelDatabase& db, Collection& list) {
    LoadTextList(db, profile_id_, TextList::kGenres, list);
  });
}

std::shared_ptr<Collection> ZelProfile::Subtitles() {
  return LoadOnce(subtitles_, kFail, [&](ZelDatabase& db, Collection& list) {
    LoadTextList(db, profile_id_, TextList::kSubtitles, list);
  });
}

std::shared_ptr<Collection> ZelProfile::Features() {
  return LoadOnce(features_, kStayEmpty, [&](ZelDatabase& db, Collection& list) {
    LoadTextList(db, profile_id_, TextList::kFeatures, list);
  });
}

std::shared_ptr<Collection> ZelProfile::Locks() {
  return LoadOnce(locks_, kStayEmpty, [&](ZelDatabase& db, Collection& list) {
    LoadTextList(db, profile_id_, TextList::kLocks, list);
  });
}

std::shared_ptr<ZelVideo> ZelProfile::Video() {
  return LoadOnce(video_, kFail,
                  [&](ZelDatabase& db, ZelVideo& video) { LoadVideo(db, profile_id_, video); });
}

std::shared_ptr<ZelSRP> ZelProfile::SRP() {
  return LoadOnce(srp_, kStayEmpty,
                  [&](ZelDatabase& db, ZelSRP& srp) { LoadSRP(db, profile_id_, srp); });
}

std::shared_ptr<ZelPurchaseInfo> ZelProfile::PurchaseInfo() {
  return LoadOnce(purchase_, kStayEmpty, [&](ZelDatabase& db, ZelPurchaseInfo& purchase) {
    LoadPurchaseInfo(db, profile_id_, purchase);
  });
}

std::shared_ptr<ZelEvents> ZelProfile::Events() {
  return LoadOnce(events_, kStayEmpty,
                  [&](ZelDatabase& db, ZelEvents& list) { LoadEvents(db, profile_id_, list); });
}

std::shared_ptr<ZelLoanInfo> ZelProfile::LoanInfo() {
  return LoadOnce(loan_, kFail,
                  [&](ZelDatabase& db, ZelLoanInfo& loan) { LoadLoanInfo(db, profile_id_, loan); });
}

std::shared_ptr<ZelTags> ZelProfile::Tags() {
  return LoadOnce(tags_, kFail,
                  [&](ZelDatabase& db, ZelTags& list) { LoadTags(db, profile_id_, list); });
}

std::shared_ptr<ZelInfos> ZelProfile::Infos() {
  return LoadOnce(infos_, kStayEmpty,
                  [&](ZelDatabase& db, ZelInfos& list) { LoadInfos(db, profile_id_, list); });
}

std::shared_ptr<ZelInfos> ZelProfile::MetaInfos() {
  return LoadOnce(meta_infos_, kStayEmpty,
                  [&](ZelDatabase& db, ZelInfos& list) { LoadMetaInfos(db, profile_id_, list); });
}

std::shared_ptr<ZelProfiles> ZelProfile::ChildProfiles() {
  // Children are added as read: saving them here would rewrite their stored rows on every read.
  return LoadOnce(child_profiles_, kStayEmpty, [&](ZelDatabase& db, ZelProfiles& list) {
    auto records = db.DbOpenRecordSet(
        "SELECT * FROM Profiles p INNER JOIN BoxSet b ON b.ChildID = p.ProfileID "
        "WHERE b.BoxSetID = '" +
        QuoteSql(profile_id_) + "' ORDER BY SortTitle");
    for (; !records->Eof(); records->MoveNext()) list.AddLoaded(ProfileFromRecord(*records));
  });
}

std::shared_ptr<ZelProfile> ZelProfile::ParentProfile() {
  if (parent_profile_) return parent_profile_;
  parent_profile_ = std::make_shared<ZelProfile>();
  ZelDatabase* database = State().active_database.get();
  if (!database) return parent_profile_;
  auto records = database->DbOpenRecordSet(
      "SELECT * FROM Profiles WHERE ProfileID IN "
      "(SELECT BoxSetID FROM BoxSet WHERE ChildID = '" +
      QuoteSql(profile_id_) + "') ORDER BY SortTitle");
  if (records->RecordCount() > 0) parent_profile_ = ProfileFromRecord(*records);
  return parent_profile_;
}

bool ZelProfile::HasParentProfile() { return !ParentProfile()->Title().empty(); }

std::shared_ptr<ZelAwards> ZelProfile::Awards() {
  ZelDatabase* database = State().active_database.get();
  if (!database) return nullptr;
  if (!awards_) {
    const std::string& title = original_title_.empty() ? title_ : original_title_;
    awards_ = database->GetMovieAwards(title, production_year_);
  }
  return awards_;
}

std::shared_ptr<ZelEpisodes> ZelProfile::Episodes() {
  return LoadOnce(episodes_, kStayEmpty, [&](ZelDatabase& db, ZelEpisodes& list) {
    auto records = db.DbOpenRecordSet(
        "SELECT e.EpisodeID , EpisodeNo, EpisodeTitle, EpisodeOriginalTitle, Season, Overview, "
        "RunTime, Rating, RatingDetails, RatingSystem, Airdate, Notes, SeriesID  FROM Episodes e "
        "INNER JOIN Profile2Episodes p ON e.EpisodeID = p.EpisodeID WHERE ProfileID = '" +
        QuoteSql(profile_id_) + "'");
    for (; !records->Eof(); records->MoveNext()) list.AddLoadedEpisode(EpisodeFromRecord(*records));
  });
}

void ZelProfile::UpdateProfile() {
  ZelDatabase& database = RequireActiveDatabase();
  const int16_t schema = State().active_db_schema;
  const std::string quoted_id = QuoteSql(profile_id_);
  store::WriteScope scope(database.connection());

  database.DbExecute("DELETE FROM Profiles WHERE ProfileID = '" + quoted_id + "'");
  std::vector<std::pair<const char*, std::string>> columns = {
      {"ProfileID", profile_id_},
      {"Medium", medium_},
      {"Title", title_},
      {"OriginalTitle", original_title_},
      {"SortTitle", sort_title_},
      {"OriginalSortTitle", original_sort_title_},
      {"Description", description_},
      {"ColNo", collection_number_},
      {"ColType", collection_type_},
      {"UPC", upc_},
      {"ProfileTimeStamp", FormatDateTime(profile_time_stamp_)},
      {"Rating", rating_},
      {"RatingSystem", rating_system_},
      {"RatingDetails", rating_details_},
      {"ProdYear", std::to_string(production_year_)},
      {"Released", FormatDateTime(release_date_)},
      {"Runtime", std::to_string(running_time_)},
      {"CaseType", case_type_},
      {"Overview", overview_},
      {"Notes", notes_},
      {"Eastereggs", easter_eggs_},
      {"LastEdited", FormatDateTime(last_edited_)},
      {"WishListPriority", std::to_string(wish_list_priority_)},
      {"DataSource", data_source_},
      {"Locality", locality_},
      {"CountryOfOrigin", country_of_origin_},
  };
  if (schema >= 78) columns.emplace_back("MD5", md5_);
  if (schema >= 88) columns.emplace_back("CountAs", std::to_string(count_as_));
  std::string names;
  std::string values;
  for (const auto& [name, value] : columns) {
    names += (names.empty() ? "" : ", ") + std::string(name);
    values += (values.empty() ? "'" : ", '") + QuoteSql(value) + "'";
  }
  database.DbExecute("INSERT INTO Profiles (" + names + ") VALUES (" + values + ")");

  const std::string& id = profile_id_;
  if (audio_) SaveAudio(database, id, *audio_);
  if (cast_) SaveProfileCredits(database, id, true, *cast_);
  if (crew_) SaveProfileCredits(database, id, false, *crew_);
  if (discs_) SaveDiscs(database, id, *discs_);
  if (events_) SaveEvents(database, id, *events_);
  if (features_) SaveTextList(database, id, TextList::kFeatures, *features_);
  if (genres_) SaveTextList(database, id, TextList::kGenres, *genres_);
  if (infos_) SaveInfos(database, id, *infos_);
  if (meta_infos_ && schema >= 88) SaveMetaInfos(database, id, *meta_infos_);
  if (loan_) SaveLoanInfo(database, id, *loan_);
  if (locks_) SaveTextList(database, id, TextList::kLocks, *locks_);
  if (purchase_) SavePurchaseInfo(database, id, *purchase_);
  if (regions_) SaveTextList(database, id, TextList::kRegions, *regions_);
  if (review_) SaveReview(database, id, *review_);
  if (srp_) SaveSRP(database, id, *srp_);
  if (studios_) SaveStudios(database, id, *studios_);
  if (subtitles_) SaveTextList(database, id, TextList::kSubtitles, *subtitles_);
  if (tags_) SaveTags(database, id, *tags_);
  if (video_) SaveVideo(database, id, *video_);
  scope.Commit();
}

void ZelProfile::AssignBoxsetChild(std::string_view profile_id) {
  RequireActiveDatabase().DbExecute("INSERT INTO BoxSet (BoxSetID, ChildID) VALUES ('" +
                                    QuoteSql(profile_id_) + "', '" + QuoteSql(profile_id) + "')");
}

void ZelProfile::RemoveBoxsetChild(std::string_view profile_id) {
  RequireActiveDatabase().DbExecute("DELETE FROM BoxSet WHERE BoxSetID = '" +
                                    QuoteSql(profile_id_) + "' AND ChildID = '" +
                                    QuoteSql(profile_id) + "'");
}

void ZelProfile::AssignEpisode(std::string_view episode_id) {
  RequireActiveDatabase().DbExecute(
      "INSERT INTO Profile2Episodes (ProfileID, EpisodeID) VALUES ('" + QuoteSql(profile_id_) +
      "', '" + QuoteSql(episode_id) + "')");
}

void ZelProfile::RemoveEpisodeAssignment(std::string_view episode_id) {
  RequireActiveDatabase().DbExecute("DELETE FROM Profile2Episodes WHERE ProfileID = '" +
                                    QuoteSql(profile_id_) + "' AND EpisodeID = '" +
                                    QuoteSql(episode_id) + "'");
}

namespace {

std::string TextColumn(store::RecordSet& records, std::string_view name) {
  return records.Value(name).ToTextOrEmpty();
}

int16_t NumberColumn(store::RecordSet& records, std::string_view name) {
  const Variant value = records.Value(name);
  return value.IsNull() ? int16_t{0} : value.ToInteger();
}

Date DateColumn(store::RecordSet& records, std::string_view name) {
  const Variant value = records.Value(name);
  return value.IsNull() ? Date::Zero() : value.ToDate();
}

}  // namespace

std::shared_ptr<ZelProfile> ProfileFromRecord(store::RecordSet& records) {
  auto profile = std::make_shared<ZelProfile>();
  profile->SetProfileID(TextColumn(records, "ProfileID"));
  profile->SetMedium(TextColumn(records, "Medium"));
  profile->SetTitle(TextColumn(records, "Title"));
  profile->SetOriginalTitle(TextColumn(records, "OriginalTitle"));
  profile->SetSortTitle(TextColumn(records, "SortTitle"));
  profile->SetOriginalSortTitle(TextColumn(records, "OriginalSortTitle"));
  profile->SetDescription(TextColumn(records, "Description"));
  profile->SetCollectionNumber(TextColumn(records, "ColNo"));
  profile->SetCollectionType(TextColumn(records, "ColType"));
  profile->SetUPC(TextColumn(records, "UPC"));
  profile->SetRating(TextColumn(records, "Rating"));
  profile->SetRatingSystem(TextColumn(records, "RatingSystem"));
  profile->SetRatingDetails(TextColumn(records, "RatingDetails"));
  profile->SetCaseType(TextColumn(records, "CaseType"));
  profile->SetOverview(TextColumn(records, "Overview"));
  profile->SetNotes(TextColumn(records, "Notes"));
  profile->SetEasterEggs(TextColumn(records, "EasterEggs"));
  profile->SetDataSource(TextColumn(records, "DataSource"));
  profile->SetLocality(TextColumn(records, "Locality"));
  profile->SetCountryOfOrigin(TextColumn(records, "CountryOfOrigin"));
  profile->SetProductionYear(NumberColumn(records, "ProdYear"));
  profile->SetRunningTime(NumberColumn(records, "Runtime"));
  profile->SetWishListPriority(NumberColumn(records, "WishListPriority"));
  profile->SetProfileTimeStamp(DateColumn(records, "ProfileTimeStamp"));
  profile->SetReleaseDate(DateColumn(records, "Released"));
  profile->SetLastEdited(DateColumn(records, "LastEdited"));
  const int16_t schema = State().active_db_schema;
  if (schema >= 78) profile->SetMD5(TextColumn(records, "MD5"));
  if (schema >= 88) {
    const Variant count_as = records.Value("CountAs");
    profile->SetCountAs(count_as.IsNull() ? int16_t{1} : count_as.ToInteger());
  }
  return profile;
}

}  // namespace zel
