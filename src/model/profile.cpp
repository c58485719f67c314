#include "model/profile.h"

#include <vector>

#include "awards/awards.h"
#include "frame/library_state.h"
#include "frame/member_table.h"
#include "frame/random_ids.h"
#include "frame/text.h"
#include "model/load_once.h"
#include "model/profiles.h"
#include "store/catalogue_file.h"
#include "store/engine_errors.h"
#include "store/text_helpers.h"

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
          .Get("Episodes", &P::EpisodesObject)
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

// A stored number as a 16-bit property: out-of-range values take the nearest 16-bit value, and
// `wide` keeps the stored one so that a save can write it back.
int16_t Narrow(const Variant& value, std::optional<int32_t>& wide) {
  if (value.IsNull()) return 0;
  const double number = value.ToDouble();
  if (number >= INT16_MIN && number <= INT16_MAX) return value.ToInteger();
  wide = value.ToLong();
  return number < 0 ? INT16_MIN : INT16_MAX;
}

// The text a 16-bit property is saved as: the stored wide number while the property still shows
// it, else the property.
std::string Widened(int16_t property, const std::optional<int32_t>& wide) {
  if (wide && property == (*wide < 0 ? INT16_MIN : INT16_MAX)) return std::to_string(*wide);
  return std::to_string(property);
}

constexpr auto kStayEmpty = WithoutCatalogue::kStayEmpty;
constexpr auto kFail = WithoutCatalogue::kFail;

}  // namespace

std::shared_ptr<ZelCredits> ZelProfile::Cast() {
  return LoadOnce(cast_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, ZelCredits& list) {
    LoadCredits(db, kProfileCredits, profile_id_, true, list);
  });
}

std::shared_ptr<ZelCredits> ZelProfile::Crew() {
  return LoadOnce(crew_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, ZelCredits& list) {
    LoadCredits(db, kProfileCredits, profile_id_, false, list);
  });
}

std::shared_ptr<ZelDiscs> ZelProfile::Discs() {
  return LoadOnce(discs_, catalogue_, kFail, [&](store::CatalogueFile& db, ZelDiscs& list) {
    LoadDiscs(db, profile_id_, list);
  });
}

std::shared_ptr<ZelAudioFormats> ZelProfile::Audio() {
  return LoadOnce(
      audio_, catalogue_, kStayEmpty,
      [&](store::CatalogueFile& db, ZelAudioFormats& list) { LoadAudio(db, profile_id_, list); });
}

std::shared_ptr<ZelReview> ZelProfile::Review() {
  return LoadOnce(
      review_, catalogue_, kStayEmpty,
      [&](store::CatalogueFile& db, ZelReview& review) { LoadReview(db, profile_id_, review); });
}

std::shared_ptr<Collection> ZelProfile::Regions() {
  return LoadOnce(regions_, catalogue_, kStayEmpty,
                  [&](store::CatalogueFile& db, Collection& list) {
                    LoadTextList(db, profile_id_, TextList::kRegions, list);
                  });
}

std::shared_ptr<ZelStudios> ZelProfile::Studios() {
  return LoadOnce(studios_, catalogue_, kFail, [&](store::CatalogueFile& db, ZelStudios& list) {
    LoadStudios(db, profile_id_, list);
  });
}

std::shared_ptr<Collection> ZelProfile::Genres() {
  return LoadOnce(genres_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, Collection& list) {
    LoadTextList(db, profile_id_, TextList::kGenres, list);
  });
}

std::shared_ptr<Collection> ZelProfile::Subtitles() {
  return LoadOnce(subtitles_, catalogue_, kFail, [&](store::CatalogueFile& db, Collection& list) {
    LoadTextList(db, profile_id_, TextList::kSubtitles, list);
  });
}

std::shared_ptr<Collection> ZelProfile::Features() {
  return LoadOnce(features_, catalogue_, kStayEmpty,
                  [&](store::CatalogueFile& db, Collection& list) {
                    LoadTextList(db, profile_id_, TextList::kFeatures, list);
                  });
}

std::shared_ptr<Collection> ZelProfile::Locks() {
  return LoadOnce(locks_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, Collection& list) {
    LoadTextList(db, profile_id_, TextList::kLocks, list);
  });
}

std::shared_ptr<ZelVideo> ZelProfile::Video() {
  return LoadOnce(video_, catalogue_, kFail, [&](store::CatalogueFile& db, ZelVideo& video) {
    LoadVideo(db, profile_id_, video);
  });
}

std::shared_ptr<ZelSRP> ZelProfile::SRP() {
  return LoadOnce(srp_, catalogue_, kStayEmpty,
                  [&](store::CatalogueFile& db, ZelSRP& srp) { LoadSRP(db, profile_id_, srp); });
}

std::shared_ptr<ZelPurchaseInfo> ZelProfile::PurchaseInfo() {
  return LoadOnce(purchase_, catalogue_, kStayEmpty,
                  [&](store::CatalogueFile& db, ZelPurchaseInfo& purchase) {
                    LoadPurchaseInfo(db, profile_id_, purchase);
                  });
}

std::shared_ptr<ZelEvents> ZelProfile::Events() {
  return LoadOnce(events_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, ZelEvents& list) {
    LoadEvents(db, profile_id_, list);
  });
}

std::shared_ptr<ZelLoanInfo> ZelProfile::LoanInfo() {
  return LoadOnce(loan_, catalogue_, kFail, [&](store::CatalogueFile& db, ZelLoanInfo& loan) {
    LoadLoanInfo(db, profile_id_, loan);
  });
}

std::shared_ptr<ZelTags> ZelProfile::Tags() {
  return LoadOnce(tags_, catalogue_, kFail, [&](store::CatalogueFile& db, ZelTags& list) {
    LoadTags(db, profile_id_, list);
  });
}

std::shared_ptr<ZelInfos> ZelProfile::Infos() {
  return LoadOnce(infos_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, ZelInfos& list) {
    LoadInfos(db, profile_id_, list);
  });
}

std::shared_ptr<ZelInfos> ZelProfile::MetaInfos() {
  return LoadOnce(
      meta_infos_, catalogue_, kStayEmpty,
      [&](store::CatalogueFile& db, ZelInfos& list) { LoadMetaInfos(db, profile_id_, list); });
}

std::shared_ptr<ZelProfiles> ZelProfile::ChildProfiles() {
  if (child_profiles_) return child_profiles_;
  // Children are added as read: saving them here would rewrite their stored rows on every read.
  // Removing one from the list takes it out of the box set; adding one puts it in.
  child_profiles_ = std::make_shared<ZelProfiles>(ZelProfiles::Links::kBoxSetParts, profile_id_);
  store::CatalogueFile* database = catalogue_.Find();
  if (!database) return child_profiles_;
  child_profiles_->catalogue().Bind(*database);
  auto records = database->DbOpenRecordSet(
      "SELECT * FROM Profiles p INNER JOIN BoxSet b ON b.ChildID = p.ProfileID "
      "WHERE b.BoxSetID = '" +
      QuoteSql(profile_id_) + "' ORDER BY SortTitle");
  for (; !records->Eof(); records->MoveNext()) {
    child_profiles_->AddLoaded(ProfileFromRecord(*database, *records));
  }
  return child_profiles_;
}

std::shared_ptr<ZelProfile> ZelProfile::ParentProfile() {
  if (parent_profile_) return parent_profile_;
  parent_profile_ = std::make_shared<ZelProfile>();
  store::CatalogueFile* database = catalogue_.Find();
  if (!database) return parent_profile_;
  auto records = database->DbOpenRecordSet(
      "SELECT * FROM Profiles WHERE ProfileID IN "
      "(SELECT BoxSetID FROM BoxSet WHERE ChildID = '" +
      QuoteSql(profile_id_) + "') ORDER BY SortTitle");
  if (records->RecordCount() > 0) parent_profile_ = ProfileFromRecord(*database, *records);
  return parent_profile_;
}

bool ZelProfile::HasParentProfile() { return !ParentProfile()->Title().empty(); }

std::shared_ptr<ZelAwards> ZelProfile::Awards() {
  store::CatalogueFile* database = catalogue_.Find();
  if (!database) return nullptr;
  if (!awards_) {
    const std::string& title = original_title_.empty() ? title_ : original_title_;
    awards_ = awards::GetMovieAwards(*database, title, production_year_);
  }
  return awards_;
}

void ZelProfile::UpdateProfile() { SaveTo(catalogue_.Get()); }

void ZelProfile::SaveTo(store::CatalogueFile& database) {
  const int16_t schema = database.SchemaNumber();
  const std::string quoted_id = QuoteSql(profile_id_);
  store::WriteScope scope(database.connection());

  // A changed identifier takes the profile's rows along, so nothing is left behind under the old.
  const bool own_catalogue = catalogue_.Peek() == &database;
  if (own_catalogue && !stored_id_.empty() && !EqualsFolded(stored_id_, profile_id_)) {
    MoveProfileRows(database, stored_id_, profile_id_);
  }
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
      {"ProdYear", Widened(production_year_, wide_.production_year)},
      {"Released", FormatDateTime(release_date_)},
      {"Runtime", Widened(running_time_, wide_.running_time)},
      {"CaseType", case_type_},
      {"Overview", overview_},
      {"Notes", notes_},
      {"Eastereggs", easter_eggs_},
      {"LastEdited", FormatDateTime(last_edited_)},
      {"WishListPriority", Widened(wish_list_priority_, wide_.wish_list_priority)},
      {"DataSource", data_source_},
      {"Locality", locality_},
      {"CountryOfOrigin", country_of_origin_},
  };
  if (schema >= 78) columns.emplace_back("MD5", md5_);
  if (schema >= 88) columns.emplace_back("CountAs", Widened(count_as_, wide_.count_as));
  std::string names;
  std::string values;
  for (const auto& [name, value] : columns) {
    names += (names.empty() ? "" : ", ") + std::string(name);
    values += (values.empty() ? "'" : ", '") + QuoteSql(value) + "'";
  }
  InsertSavedRow(database, "INSERT INTO Profiles (" + names + ") VALUES (" + values + ")",
                 "Profile '" + profile_id_ + "' could not be stored");

  const std::string& id = profile_id_;
  if (audio_) SaveAudio(database, id, *audio_);
  if (cast_) SaveCredits(database, kProfileCredits, id, true, *cast_);
  if (crew_) SaveCredits(database, kProfileCredits, id, false, *crew_);
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
  catalogue_.Join(database);
  if (catalogue_.Peek() == &database) stored_id_ = profile_id_;
}

void ZelProfile::TakeStoredRow(const ZelProfile& stored) {
  profile_id_ = stored.profile_id_;
  medium_ = stored.medium_;
  title_ = stored.title_;
  data_source_ = stored.data_source_;
  original_title_ = stored.original_title_;
  sort_title_ = stored.sort_title_;
  original_sort_title_ = stored.original_sort_title_;
  description_ = stored.description_;
  collection_number_ = stored.collection_number_;
  collection_type_ = stored.collection_type_;
  upc_ = stored.upc_;
  profile_time_stamp_ = stored.profile_time_stamp_;
  rating_ = stored.rating_;
  rating_system_ = stored.rating_system_;
  rating_details_ = stored.rating_details_;
  production_year_ = stored.production_year_;
  release_date_ = stored.release_date_;
  running_time_ = stored.running_time_;
  case_type_ = stored.case_type_;
  overview_ = stored.overview_;
  notes_ = stored.notes_;
  easter_eggs_ = stored.easter_eggs_;
  last_edited_ = stored.last_edited_;
  wish_list_priority_ = stored.wish_list_priority_;
  locality_ = stored.locality_;
  country_of_origin_ = stored.country_of_origin_;
  md5_ = stored.md5_;
  count_as_ = stored.count_as_;
  wide_ = stored.wide_;
  stored_id_ = stored.stored_id_;
  cast_.reset();
  crew_.reset();
  discs_.reset();
  audio_.reset();
  review_.reset();
  regions_.reset();
  genres_.reset();
  subtitles_.reset();
  features_.reset();
  locks_.reset();
  studios_.reset();
  video_.reset();
  srp_.reset();
  purchase_.reset();
  events_.reset();
  loan_.reset();
  tags_.reset();
  infos_.reset();
  meta_infos_.reset();
  child_profiles_.reset();
  parent_profile_.reset();
  awards_.reset();
  episodes_.reset();
}

void ZelProfile::AssignBoxsetChild(std::string_view profile_id) {
  AssignBoxSetPart(catalogue_.Get(), profile_id_, profile_id);
}

void ZelProfile::RemoveBoxsetChild(std::string_view profile_id) {
  catalogue_.Get().DbExecute("DELETE FROM BoxSet WHERE BoxSetID = '" + QuoteSql(profile_id_) +
                             "' AND ChildID = '" + QuoteSql(profile_id) + "'");
}

void ZelProfile::AssignEpisode(std::string_view episode_id) {
  catalogue_.Get().DbExecute("INSERT INTO Profile2Episodes (ProfileID, EpisodeID) VALUES ('" +
                             QuoteSql(profile_id_) + "', '" + QuoteSql(episode_id) + "')");
}

void ZelProfile::RemoveEpisodeAssignment(std::string_view episode_id) {
  catalogue_.Get().DbExecute("DELETE FROM Profile2Episodes WHERE ProfileID = '" +
                             QuoteSql(profile_id_) + "' AND EpisodeID = '" + QuoteSql(episode_id) +
                             "'");
}

namespace {

std::string TextColumn(store::RecordSet& records, std::string_view name) {
  return records.Value(name).ToTextOrEmpty();
}

Date DateColumn(store::RecordSet& records, std::string_view name) {
  const Variant value = records.Value(name);
  return value.IsNull() ? Date::Zero() : value.ToDate();
}

}  // namespace

std::shared_ptr<ZelProfile> ProfileFromRecord(store::CatalogueFile& database,
                                              store::RecordSet& records) {
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
  ZelProfile::WideNumbers wide;
  profile->SetProductionYear(Narrow(records.Value("ProdYear"), wide.production_year));
  profile->SetRunningTime(Narrow(records.Value("Runtime"), wide.running_time));
  profile->SetWishListPriority(Narrow(records.Value("WishListPriority"), wide.wish_list_priority));
  profile->SetProfileTimeStamp(DateColumn(records, "ProfileTimeStamp"));
  profile->SetReleaseDate(DateColumn(records, "Released"));
  profile->SetLastEdited(DateColumn(records, "LastEdited"));
  const int16_t schema = database.SchemaNumber();
  if (schema >= 78) profile->SetMD5(TextColumn(records, "MD5"));
  if (schema >= 88) {
    const Variant count_as = records.Value("CountAs");
    profile->SetCountAs(count_as.IsNull() ? int16_t{1} : Narrow(count_as, wide.count_as));
  }
  profile->SetWideNumbers(wide);
  profile->MarkStored();
  profile->catalogue().Bind(database);
  return profile;
}

std::shared_ptr<ZelProfile> ProfileFromRecord(store::RecordSet& records) {
  return ProfileFromRecord(store::RequireActiveCatalogue(), records);
}

}  // namespace zel
