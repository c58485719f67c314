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

namespace zel {

using store::Quoted;
using store::Texts;

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

const store::RecordShape<ZelProfile>& ZelProfile::Shape() {
  using P = ZelProfile;
  static const store::RecordShape<P> shape(
      store::Table::kProfiles,
      {store::FieldOf("ProfileID", &P::profile_id_), store::FieldOf("Medium", &P::medium_),
       store::FieldOf("Title", &P::title_), store::FieldOf("OriginalTitle", &P::original_title_),
       store::FieldOf("SortTitle", &P::sort_title_),
       store::FieldOf("OriginalSortTitle", &P::original_sort_title_),
       store::FieldOf("Description", &P::description_),
       store::FieldOf("CollectionNumber", &P::collection_number_),
       store::FieldOf("CollectionType", &P::collection_type_), store::FieldOf("UPC", &P::upc_),
       store::FieldOf("ProfileTimeStamp", &P::profile_time_stamp_),
       store::FieldOf("Rating", &P::rating_), store::FieldOf("RatingSystem", &P::rating_system_),
       store::FieldOf("RatingDetails", &P::rating_details_),
       store::FieldOf("ProductionYear", &P::production_year_),
       store::FieldOf("ReleaseDate", &P::release_date_),
       store::FieldOf("RunningTime", &P::running_time_), store::FieldOf("CaseType", &P::case_type_),
       store::FieldOf("Overview", &P::overview_), store::FieldOf("Notes", &P::notes_),
       store::FieldOf("EasterEggs", &P::easter_eggs_),
       store::FieldOf("LastEdited", &P::last_edited_),
       store::FieldOf("WishListPriority", &P::wish_list_priority_),
       store::FieldOf("DataSource", &P::data_source_), store::FieldOf("Locality", &P::locality_),
       store::FieldOf("CountryOfOrigin", &P::country_of_origin_),
       // A title without the number counts as one.
       store::FieldOf("CountAs", &P::count_as_, Variant(int64_t{1})),
       store::FieldOf("MD5", &P::md5_)});
  return shape;
}

namespace {

constexpr auto kStayEmpty = WithoutCatalogue::kStayEmpty;
constexpr auto kFail = WithoutCatalogue::kFail;

}  // namespace

std::string ZelProfile::StoredID() const {
  if (!row_.Stored()) return {};
  return store::ValueOf(row_, store::Table::kProfiles, "ProfileID").text;
}

std::shared_ptr<ZelCredits> ZelProfile::Cast() {
  return LoadOnce(cast_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, ZelCredits& list) {
    return LoadCredits(db, kProfileCredits, ReadKey(), true, list);
  });
}

std::shared_ptr<ZelCredits> ZelProfile::Crew() {
  return LoadOnce(crew_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, ZelCredits& list) {
    return LoadCredits(db, kProfileCredits, ReadKey(), false, list);
  });
}

std::shared_ptr<ZelDiscs> ZelProfile::Discs() {
  return LoadOnce(discs_, catalogue_, kFail, [&](store::CatalogueFile& db, ZelDiscs& list) {
    return LoadDiscs(db, ReadKey(), list);
  });
}

std::shared_ptr<ZelAudioFormats> ZelProfile::Audio() {
  return LoadOnce(audio_, catalogue_, kStayEmpty,
                  [&](store::CatalogueFile& db, ZelAudioFormats& list) {
                    return LoadAudio(db, ReadKey(), list);
                  });
}

std::shared_ptr<ZelReview> ZelProfile::Review() {
  return LoadOnce(review_, catalogue_, kStayEmpty,
                  [&](store::CatalogueFile& db, ZelReview& review) {
                    return LoadReview(db, ReadKey(), review);
                  });
}

std::shared_ptr<Collection> ZelProfile::Regions() {
  return LoadOnce(regions_, catalogue_, kStayEmpty,
                  [&](store::CatalogueFile& db, Collection& list) {
                    return LoadTextList(db, ReadKey(), TextList::kRegions, list);
                  });
}

std::shared_ptr<ZelStudios> ZelProfile::Studios() {
  return LoadOnce(studios_, catalogue_, kFail, [&](store::CatalogueFile& db, ZelStudios& list) {
    return LoadStudios(db, ReadKey(), list);
  });
}

std::shared_ptr<Collection> ZelProfile::Genres() {
  return LoadOnce(genres_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, Collection& list) {
    return LoadTextList(db, ReadKey(), TextList::kGenres, list);
  });
}

std::shared_ptr<Collection> ZelProfile::Subtitles() {
  return LoadOnce(subtitles_, catalogue_, kFail, [&](store::CatalogueFile& db, Collection& list) {
    return LoadTextList(db, ReadKey(), TextList::kSubtitles, list);
  });
}

std::shared_ptr<Collection> ZelProfile::Features() {
  return LoadOnce(features_, catalogue_, kStayEmpty,
                  [&](store::CatalogueFile& db, Collection& list) {
                    return LoadTextList(db, ReadKey(), TextList::kFeatures, list);
                  });
}

std::shared_ptr<Collection> ZelProfile::Locks() {
  return LoadOnce(locks_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, Collection& list) {
    return LoadTextList(db, ReadKey(), TextList::kLocks, list);
  });
}

std::shared_ptr<ZelVideo> ZelProfile::Video() {
  return LoadOnce(video_, catalogue_, kFail, [&](store::CatalogueFile& db, ZelVideo& video) {
    return LoadVideo(db, ReadKey(), video);
  });
}

std::shared_ptr<ZelSRP> ZelProfile::SRP() {
  return LoadOnce(srp_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, ZelSRP& srp) {
    return LoadSRP(db, ReadKey(), srp);
  });
}

std::shared_ptr<ZelPurchaseInfo> ZelProfile::PurchaseInfo() {
  return LoadOnce(purchase_, catalogue_, kStayEmpty,
                  [&](store::CatalogueFile& db, ZelPurchaseInfo& purchase) {
                    return LoadPurchaseInfo(db, ReadKey(), purchase);
                  });
}

std::shared_ptr<ZelEvents> ZelProfile::Events() {
  return LoadOnce(events_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, ZelEvents& list) {
    return LoadEvents(db, ReadKey(), list);
  });
}

std::shared_ptr<ZelLoanInfo> ZelProfile::LoanInfo() {
  return LoadOnce(loan_, catalogue_, kFail, [&](store::CatalogueFile& db, ZelLoanInfo& loan) {
    return LoadLoanInfo(db, ReadKey(), loan);
  });
}

std::shared_ptr<ZelTags> ZelProfile::Tags() {
  return LoadOnce(tags_, catalogue_, kFail, [&](store::CatalogueFile& db, ZelTags& list) {
    return LoadTags(db, ReadKey(), list);
  });
}

std::shared_ptr<ZelInfos> ZelProfile::Infos() {
  return LoadOnce(infos_, catalogue_, kStayEmpty, [&](store::CatalogueFile& db, ZelInfos& list) {
    return LoadInfos(db, ReadKey(), list);
  });
}

std::shared_ptr<ZelInfos> ZelProfile::MetaInfos() {
  return LoadOnce(
      meta_infos_, catalogue_, kStayEmpty,
      [&](store::CatalogueFile& db, ZelInfos& list) { return LoadMetaInfos(db, ReadKey(), list); });
}

std::shared_ptr<ZelProfiles> ZelProfile::ChildProfiles() {
  if (child_profiles_) return child_profiles_;
  // Children are added as read: saving them here would rewrite their stored rows on every read.
  // Removing one from the list takes it out of the box set; adding one puts it in.
  child_profiles_ = std::make_shared<ZelProfiles>(ZelProfiles::Links::kBoxSetParts, profile_id_);
  store::CatalogueFile* database = catalogue_.Find();
  if (!database) return child_profiles_;
  child_profiles_->catalogue().Bind(*database);
  for (auto& child : LoadProfiles(
           *database,
           "t.\"ProfileID\" IN (SELECT \"ChildID\" FROM \"BoxSet\" WHERE \"BoxSetID\" = ?)",
           Texts({ReadKey()}), "t.\"SortTitle\"")) {
    child_profiles_->AddLoaded(child);
  }
  return child_profiles_;
}

std::shared_ptr<ZelProfile> ZelProfile::ParentProfile() {
  if (parent_profile_) return parent_profile_;
  parent_profile_ = std::make_shared<ZelProfile>();
  store::CatalogueFile* database = catalogue_.Find();
  if (!database) return parent_profile_;
  auto parents = LoadProfiles(
      *database, "t.\"ProfileID\" IN (SELECT \"BoxSetID\" FROM \"BoxSet\" WHERE \"ChildID\" = ?)",
      Texts({ReadKey()}), "t.\"SortTitle\"");
  if (!parents.empty()) parent_profile_ = parents.front();
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

template <class Visit>
void ZelProfile::ForEachList(Visit visit) {
  visit(audio_);
  visit(cast_);
  visit(crew_);
  visit(discs_);
  visit(events_);
  visit(features_);
  visit(genres_);
  visit(infos_);
  visit(meta_infos_);
  visit(loan_);
  visit(locks_);
  visit(purchase_);
  visit(regions_);
  visit(review_);
  visit(srp_);
  visit(studios_);
  visit(subtitles_);
  visit(tags_);
  visit(video_);
}

void ZelProfile::ForgetStoredRows(store::CatalogueFile& database) {
  auto self = weak_from_this().lock();
  store::UndoOnRollback(database, row_, self);
  row_ = {};
  ForEachList([&](auto& slot) {
    store::UndoOnRollback(database, slot.stored, self);
    // The lists become new: what they hold is stored as added, nothing is read to replace.
    slot.stored.reset();
    if (slot.object) slot.stored.emplace();
  });
}

void ZelProfile::JoinList(store::CatalogueFile& database) {
  if (catalogue_.Peek() == &database) return;
  if (catalogue_.Belongs()) ForgetStoredRows(database);
  store::UndoOnRollback(database, catalogue_, weak_from_this().lock());
  catalogue_.Bind(database);
}

void ZelProfile::SaveTo(store::CatalogueFile& database) {
  store::WriteScope scope(database.connection());
  JoinList(database);
  const bool had_row = row_.Stored();
  // Every row stored under the old identifier follows the profile to its new one.
  const bool moved = store::SaveKeyedRow(
      database, Shape(), *this, profile_id_, row_, "Profile",
      [&](const std::string& from) { MoveProfileRows(database, from, profile_id_); });
  SaveLists(database, Owner{profile_id_, had_row, moved});
  if (moved) {
    if (auto listed = database.LoadedAs<ZelProfiles>(store::CatalogueFile::List::kProfiles)) {
      listed->Rekey(*this);
    }
  }
  scope.Commit();
}

void ZelProfile::SaveLists(store::CatalogueFile& database, const Owner& owner) {
  SaveCached(database, audio_, owner, LoadAudio, SaveAudio);
  SaveCached(database, cast_, owner, CreditsLoader(kProfileCredits, true),
             CreditsSaver(kProfileCredits, true));
  SaveCached(database, crew_, owner, CreditsLoader(kProfileCredits, false),
             CreditsSaver(kProfileCredits, false));
  SaveCached(database, discs_, owner, LoadDiscs, SaveDiscs);
  SaveCached(database, events_, owner, LoadEvents, SaveEvents);
  SaveCached(database, features_, owner, TextListLoader(TextList::kFeatures),
             TextListSaver(TextList::kFeatures));
  SaveCached(database, genres_, owner, TextListLoader(TextList::kGenres),
             TextListSaver(TextList::kGenres));
  SaveCached(database, infos_, owner, LoadInfos, SaveInfos);
  if (database.SchemaNumber() >= store::schema::kCreditOnly) {
    SaveCached(database, meta_infos_, owner, LoadMetaInfos, SaveMetaInfos);
  }
  SaveCached(database, loan_, owner, LoadLoanInfo, SaveLoanInfo);
  SaveCached(database, locks_, owner, TextListLoader(TextList::kLocks),
             TextListSaver(TextList::kLocks));
  SaveCached(database, purchase_, owner, LoadPurchaseInfo, SavePurchaseInfo);
  SaveCached(database, regions_, owner, TextListLoader(TextList::kRegions),
             TextListSaver(TextList::kRegions));
  SaveCached(database, review_, owner, LoadReview, SaveReview);
  SaveCached(database, srp_, owner, LoadSRP, SaveSRP);
  SaveCached(database, studios_, owner, LoadStudios, SaveStudios);
  SaveCached(database, subtitles_, owner, TextListLoader(TextList::kSubtitles),
             TextListSaver(TextList::kSubtitles));
  SaveCached(database, tags_, owner, LoadTags, SaveTags);
  SaveCached(database, video_, owner, LoadVideo, SaveVideo);
}

void ZelProfile::DeleteFrom(store::CatalogueFile& database) {
  if (!row_.Stored() || catalogue_.Peek() != &database) return;
  store::WriteScope scope(database.connection());
  store::RowWriter(database, store::Table::kProfiles).Verify(row_, "Profile '" + StoredID() + "'");
  RemoveProfileRows(database, StoredID());
  ForgetStoredRows(database);
  scope.Commit();
}

void ZelProfile::ReadRow(store::CatalogueFile& database, store::RowImage image) {
  Shape().Read(*this, image, database.SchemaNumber());
  row_ = std::move(image);
  catalogue_.Bind(database);
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
  row_ = stored.row_;
  ForEachList([](auto& slot) { slot = {}; });
  child_profiles_.reset();
  parent_profile_.reset();
  awards_.reset();
  episodes_.reset();
}

void ZelProfile::AssignBoxsetChild(std::string_view profile_id) {
  AssignBoxSetPart(catalogue_.Get(), profile_id_, profile_id);
}

void ZelProfile::RemoveBoxsetChild(std::string_view profile_id) {
  catalogue_.Get().connection().Write(
      "DELETE FROM \"BoxSet\" WHERE \"BoxSetID\" = ? AND \"ChildID\" = ?",
      {store::StoredValue::Text(profile_id_), store::StoredValue::Text(std::string(profile_id))});
}

void ZelProfile::AssignEpisode(std::string_view episode_id) {
  AssignEpisodeTo(catalogue_.Get(), profile_id_, episode_id);
}

void ZelProfile::RemoveEpisodeAssignment(std::string_view episode_id) {
  catalogue_.Get().connection().Write(
      "DELETE FROM \"Profile2Episodes\" WHERE \"ProfileID\" = ? AND \"EpisodeID\" = ?",
      {store::StoredValue::Text(profile_id_), store::StoredValue::Text(std::string(episode_id))});
}

std::vector<std::shared_ptr<ZelProfile>> LoadProfiles(store::CatalogueFile& database,
                                                      std::string_view where,
                                                      const std::vector<store::StoredValue>& params,
                                                      std::string_view order) {
  return store::LoadRecords<ZelProfile>(database, store::Table::kProfiles, where, params, order);
}

std::shared_ptr<ZelProfile> ProfileFromRecord(store::CatalogueFile& database,
                                              store::RecordSet& records) {
  const std::string id = records.Value("ProfileID").ToTextOrEmpty();
  auto stored = LoadProfiles(database, "t.\"ProfileID\" = ?", Texts({id}));
  if (!stored.empty()) return stored.front();
  // A row of another table, or one the Profiles table no longer holds: a new profile of its values.
  auto profile = std::make_shared<ZelProfile>();
  store::RowImage image;
  const store::TableLayout& layout = store::Describe(store::Table::kProfiles);
  image.values.resize(layout.columns.size());
  for (size_t i = 0; i < layout.columns.size(); ++i) {
    if (!layout.columns[i].In(database.SchemaNumber())) continue;
    const Variant value = records.Value(layout.columns[i].name);
    if (!value.IsNull()) {
      image.values[i] = store::WriteColumn(layout.columns[i], value, database.SchemaNumber());
    }
  }
  ZelProfile::Shape().Read(*profile, image, database.SchemaNumber());
  profile->catalogue().Bind(database);
  return profile;
}

std::shared_ptr<ZelProfile> ProfileFromRecord(store::RecordSet& records) {
  return ProfileFromRecord(store::RequireActiveCatalogue(), records);
}

}  // namespace zel
