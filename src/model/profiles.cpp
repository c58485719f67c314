#include "model/profiles.h"

#include "frame/member_table.h"
#include "store/database.h"
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
      [&](const ZelProfile& profile) { return profile.ProfileID() == profile_id; });
}

std::string ZelProfiles::KeyOf(const Object& item) const {
  return static_cast<const ZelProfile&>(item).ProfileID();
}

void ZelProfiles::Save(Object& item) { static_cast<ZelProfile&>(item).UpdateProfile(); }

void ZelProfiles::Delete(Object& item) {
  RemoveProfileRows(RequireActiveDatabase(), static_cast<ZelProfile&>(item).ProfileID());
}

void RemoveProfileRows(ZelDatabase& database, std::string_view profile_id) {
  static constexpr const char* kTables[] = {
      "Tags",         "VideoFormat",  "Studios",   "SRPInfo",         "Reviews",
      "PurchaseInfo", "Locks",        "LoanInfo",  "AdditionalInfo",  "MetaInfo",
      "Genres",       "Features",     "Subtitles", "Events",          "Discs",
      "CastCrew",     "AudioFormats", "Regions",   "Profile2Episodes"};
  const std::string id = QuoteSql(profile_id);
  store::WriteScope scope(database.connection());
  for (const char* table : kTables) DeleteProfileRows(database, profile_id, table);
  // Both ends of a box-set link: a removed part leaves its box, a removed box frees its parts.
  database.DbExecute("DELETE FROM BoxSet WHERE ChildID = '" + id + "' OR BoxSetID = '" + id + "'");
  database.DbExecute("DELETE FROM Profiles WHERE ProfileID = '" + id + "'");
  scope.Commit();
}

std::shared_ptr<ZelProfiles> ZelProfiles::Load(ZelDatabase& database) {
  auto list = std::make_shared<ZelProfiles>();
  auto records = database.DbOpenRecordSet("SELECT * FROM Profiles ORDER BY SortTitle");
  for (; !records->Eof(); records->MoveNext()) list->AddLoaded(ProfileFromRecord(*records));
  return list;
}

void ZelProfiles::Store(ZelDatabase& database) const {
  store::WriteScope scope(database.connection());
  database.DbExecute("DELETE FROM Profiles");
  for (const auto& profile : All()) profile->UpdateProfile();
  scope.Commit();
}

}  // namespace zel
