#include "model/profiles.h"

#include "frame/member_table.h"
#include "frame/text.h"
#include "store/catalogue_file.h"
#include "store/engine_errors.h"
#include "store/text_helpers.h"

namespace zel {

const ClassInfo& ZelProfiles::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelProfiles>("ZelProfiles")
          .Creatable()
          .Get("Count", &ZelProfiles::CountLong)
          .Method("Item", &ZelProfiles::Item, {Param("vntIndexKey")})
          .Default()
          .Method("Remove", &ZelProfiles::Remove, {Param("vntIndexKey")})
          .Method("RemoveAll", &ZelProfiles::RemoveAll)
          .Get("NewEnum", &ZelProfiles::NewEnum)
          .Enumerator()
          .Method("AddProfile", &ZelProfiles::AddProfile, {Param("Profile")})
          .Method("Add", &ZelProfiles::Add, {Param("Title"), Optional("OriginalTitle", "")})
          .Method("Exists", &ZelProfiles::Exists, {Param("ProfileID")})
          .Build();
  return info;
}

std::shared_ptr<ZelProfile> ZelProfiles::AddProfile(std::shared_ptr<ZelProfile> profile) {
  AddExisting(profile);
  return profile;
}

std::shared_ptr<ZelProfile> ZelProfiles::Add(std::string title, std::string original_title) {
  auto profile = std::make_shared<ZelProfile>();
  profile->SetOriginalTitle(std::move(original_title));
  profile->SetTitle(std::move(title));
  return AddProfile(profile);
}

bool ZelProfiles::Exists(std::string_view profile_id) const {
  return AnyOf<ZelProfile>(
      [&](const ZelProfile& profile) { return EqualsFolded(profile.ProfileID(), profile_id); });
}

std::string ZelProfiles::KeyOf(const Object& item) const {
  return static_cast<const ZelProfile&>(item).ProfileID();
}

void ZelProfiles::Save(Object& item) {
  auto& profile = static_cast<ZelProfile&>(item);
  store::CatalogueFile& database = catalogue_.Get();
  store::WriteScope scope(database.connection());
  profile.catalogue().Join(database);
  profile.SaveTo(database);
  if (links_ == Links::kBoxSetParts) AssignBoxSetPart(database, owner_, profile.ProfileID());
  if (links_ == Links::kEpisodeAssignments) {
    database.DbExecute("INSERT INTO Profile2Episodes (ProfileID, EpisodeID) VALUES ('" +
                       QuoteSql(profile.ProfileID()) + "', '" + QuoteSql(owner_) + "')");
  }
  scope.Commit();
}

void ZelProfiles::Delete(Object& item) {
  const std::string id = QuoteSql(static_cast<ZelProfile&>(item).ProfileID());
  switch (links_) {
    case Links::kNone:
      RemoveProfileRows(catalogue_.Get(), static_cast<ZelProfile&>(item).ProfileID());
      break;
    case Links::kBoxSetParts:
      catalogue_.Get().DbExecute("DELETE FROM BoxSet WHERE BoxSetID = '" + QuoteSql(owner_) +
                                 "' AND ChildID = '" + id + "'");
      break;
    case Links::kEpisodeAssignments:
      catalogue_.Get().DbExecute("DELETE FROM Profile2Episodes WHERE ProfileID = '" + id +
                                 "' AND EpisodeID = '" + QuoteSql(owner_) + "'");
      break;
  }
}

namespace {

// Every table that keeps rows of a profile under its ProfileID.
constexpr const char* kProfileTables[] = {
    "Tags",         "VideoFormat",  "Studios",   "SRPInfo",         "Reviews",
    "PurchaseInfo", "Locks",        "LoanInfo",  "AdditionalInfo",  "MetaInfo",
    "Genres",       "Features",     "Subtitles", "Events",          "Discs",
    "CastCrew",     "AudioFormats", "Regions",   "Profile2Episodes"};

}  // namespace

const std::vector<std::string_view>& ProfileRowTables() {
  static const std::vector<std::string_view> tables(std::begin(kProfileTables),
                                                    std::end(kProfileTables));
  return tables;
}

void RemoveProfileRows(store::CatalogueFile& database, std::string_view profile_id) {
  const std::string id = QuoteSql(profile_id);
  store::WriteScope scope(database.connection());
  tv::ReleaseTitleEpisodes(database, profile_id);
  for (const char* table : kProfileTables) DeleteProfileRows(database, profile_id, table);
  // Both ends of a box-set link: a removed part leaves its box, a removed box frees its parts.
  database.DbExecute("DELETE FROM BoxSet WHERE ChildID = '" + id + "' OR BoxSetID = '" + id + "'");
  database.DbExecute("DELETE FROM Profiles WHERE ProfileID = '" + id + "'");
  scope.Commit();
}

void MoveProfileRows(store::CatalogueFile& database, std::string_view from, std::string_view to) {
  const std::string old_id = QuoteSql(from);
  const std::string new_id = QuoteSql(to);
  if (database.DbOpenRecordSet("SELECT ProfileID FROM Profiles WHERE ProfileID = '" + new_id + "'")
          ->RecordCount() != 0) {
    Raise(store::engine_errc::kDuplicateKey, "Profile '" + std::string(from) +
                                                 "' cannot take the identifier '" +
                                                 std::string(to) + "': another profile holds it");
  }
  store::WriteScope scope(database.connection());
  for (const char* table : kProfileTables) {
    database.DbExecute("UPDATE " + std::string(table) + " SET ProfileID = '" + new_id +
                       "' WHERE ProfileID = '" + old_id + "'");
  }
  database.DbExecute("UPDATE BoxSet SET ChildID = '" + new_id + "' WHERE ChildID = '" + old_id +
                     "'");
  database.DbExecute("UPDATE BoxSet SET BoxSetID = '" + new_id + "' WHERE BoxSetID = '" + old_id +
                     "'");
  database.DbExecute("DELETE FROM Profiles WHERE ProfileID = '" + old_id + "'");
  scope.Commit();
}

void AssignBoxSetPart(store::CatalogueFile& database, std::string_view box, std::string_view part) {
  auto records = database.DbOpenRecordSet("SELECT BoxSetID FROM BoxSet WHERE ChildID = '" +
                                          QuoteSql(part) + "'");
  if (records->RecordCount() != 0) {
    const std::string current = records->Value("BoxSetID").ToTextOrEmpty();
    if (EqualsFolded(current, box)) return;
    Raise(store::engine_errc::kDuplicateKey,
          "Profile '" + std::string(part) + "' cannot join box set '" + std::string(box) +
              "': it is a part of box set '" + current + "'; remove it from there first");
  }
  database.DbExecute("INSERT INTO BoxSet (BoxSetID, ChildID) VALUES ('" + QuoteSql(box) + "', '" +
                     QuoteSql(part) + "')");
}

std::shared_ptr<ZelProfiles> ZelProfiles::Load(store::CatalogueFile& database) {
  auto list = std::make_shared<ZelProfiles>();
  list->catalogue().Bind(database);
  auto records = database.DbOpenRecordSet("SELECT * FROM Profiles ORDER BY SortTitle");
  for (; !records->Eof(); records->MoveNext()) {
    list->AddLoaded(ProfileFromRecord(database, *records));
  }
  return list;
}

void ZelProfiles::Store(store::CatalogueFile& database) {
  store::WriteScope scope(database.connection());
  for (const auto& profile : All()) {
    profile->catalogue().Join(database);
    profile->SaveTo(database);
  }
  scope.Commit();
}

void ZelProfiles::SyncStored(store::CatalogueFile& database, std::string_view profile_id) {
  auto records = database.DbOpenRecordSet("SELECT * FROM Profiles WHERE ProfileID = '" +
                                          QuoteSql(profile_id) + "'");
  if (records->RecordCount() == 0) return;
  auto stored = ProfileFromRecord(database, *records);
  if (items_.HasKey(profile_id)) {
    Item(Variant(std::string(profile_id)))->TakeStoredRow(*stored);
  } else {
    AddLoaded(stored);
  }
}

namespace model {

using List = store::CatalogueFile::List;

std::shared_ptr<ZelProfiles> Profiles(store::CatalogueFile& database) {
  return database.LoadList<ZelProfiles>(List::kProfiles, ZelProfiles::Load);
}

void UpdateProfiles(store::CatalogueFile& database) {
  if (auto profiles = database.LoadedAs<ZelProfiles>(List::kProfiles)) profiles->Store(database);
}

}  // namespace model

}  // namespace zel
