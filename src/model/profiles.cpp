#include "model/profiles.h"

#include "frame/member_table.h"
#include "frame/text.h"
#include "store/catalogue_file.h"
#include "store/engine_errors.h"
#include "store/tables.h"
#include "store/title_parts.h"

namespace zel {

using store::Quoted;
using store::Texts;

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
  profile.JoinList(database);
  profile.SaveTo(database);
  if (links_ == Links::kBoxSetParts) AssignBoxSetPart(database, owner_, profile.ProfileID());
  if (links_ == Links::kEpisodeAssignments) AssignEpisodeTo(database, profile.ProfileID(), owner_);
  scope.Commit();
}

void ZelProfiles::Delete(Object& item) {
  auto& profile = static_cast<ZelProfile&>(item);
  store::CatalogueFile& database = catalogue_.Get();
  switch (links_) {
    case Links::kNone:
      profile.DeleteFrom(database);
      break;
    case Links::kBoxSetParts:
      database.connection().Write(
          "DELETE FROM \"BoxSet\" WHERE \"BoxSetID\" = ? AND \"ChildID\" = ?",
          Texts({owner_, profile.ProfileID()}));
      break;
    case Links::kEpisodeAssignments:
      database.connection().Write(
          "DELETE FROM \"Profile2Episodes\" WHERE \"ProfileID\" = ? AND \"EpisodeID\" = ?",
          Texts({profile.ProfileID(), owner_}));
      break;
  }
}

const std::vector<std::string_view>& ProfileRowTables() {
  static const std::vector<std::string_view> names = [] {
    std::vector<std::string_view> tables;
    for (store::Table table : store::ProfileRowTables()) {
      tables.push_back(store::Describe(table).name);
    }
    return tables;
  }();
  return names;
}

void RemoveProfileRows(store::CatalogueFile& database, std::string_view profile_id) {
  store::WriteScope scope(database.connection());
  tv::ReleaseTitleEpisodes(database, profile_id);
  for (store::Table table : store::ProfileRowTables()) {
    const store::TableLayout& layout = store::Describe(table);
    database.connection().Write(
        "DELETE FROM " + Quoted(layout.name) + " WHERE " + Quoted(layout.owner) + " = ?",
        Texts({profile_id}));
  }
  // Both ends of a box-set link: a removed part leaves its box, a removed box frees its parts.
  database.connection().Write("DELETE FROM \"BoxSet\" WHERE \"ChildID\" = ? OR \"BoxSetID\" = ?",
                              Texts({profile_id, profile_id}));
  database.connection().Write("DELETE FROM \"Profiles\" WHERE \"ProfileID\" = ?",
                              Texts({profile_id}));
  store::DropEditMarks(database.connection(), profile_id);
  scope.Commit();
}

void MoveProfileRows(store::CatalogueFile& database, std::string_view from, std::string_view to) {
  for (store::Table table : store::ProfileRowTables()) {
    const store::TableLayout& layout = store::Describe(table);
    database.connection().Write("UPDATE " + Quoted(layout.name) + " SET " + Quoted(layout.owner) +
                                    " = ? WHERE " + Quoted(layout.owner) + " = ?",
                                Texts({to, from}));
  }
  for (const char* column : {"ChildID", "BoxSetID"}) {
    database.connection().Write(
        "UPDATE \"BoxSet\" SET " + Quoted(column) + " = ? WHERE " + Quoted(column) + " = ?",
        Texts({to, from}));
  }
  store::DropEditMarks(database.connection(), from, to);
}

void AssignBoxSetPart(store::CatalogueFile& database, std::string_view box, std::string_view part) {
  const auto rows = database.connection().Read(
      "SELECT \"BoxSetID\" FROM \"BoxSet\" WHERE \"ChildID\" = ?", Texts({part}));
  if (!rows.empty()) {
    const std::string current = rows.front().front().text;
    if (EqualsFolded(current, box)) return;
    Raise(store::engine_errc::kDuplicateKey,
          "Profile '" + std::string(part) + "' cannot join box set '" + std::string(box) +
              "': it is a part of box set '" + current + "'; remove it from there first");
  }
  database.connection().Write("INSERT INTO \"BoxSet\" (\"BoxSetID\", \"ChildID\") VALUES (?, ?)",
                              Texts({box, part}));
}

void AssignEpisodeTo(store::CatalogueFile& database, std::string_view profile_id,
                     std::string_view episode_id) {
  const std::vector<store::StoredValue> pair = Texts({profile_id, episode_id});
  if (!database.connection()
           .Read("SELECT 1 FROM \"Profile2Episodes\" WHERE \"ProfileID\" = ? AND \"EpisodeID\" = ?",
                 pair)
           .empty()) {
    return;
  }
  database.connection().Write(
      "INSERT INTO \"Profile2Episodes\" (\"ProfileID\", \"EpisodeID\") VALUES (?, ?)", pair);
}

std::shared_ptr<ZelProfiles> ZelProfiles::Load(store::CatalogueFile& database) {
  auto list = std::make_shared<ZelProfiles>();
  list->catalogue().Bind(database);
  for (auto& profile : LoadProfiles(database, "", {}, "t.\"SortTitle\"")) {
    list->AddLoaded(std::move(profile));
  }
  return list;
}

void ZelProfiles::Store(store::CatalogueFile& database) {
  RequireDistinctKeys("Profile");
  store::WriteScope scope(database.connection());
  for (const auto& profile : All()) {
    // A profile another catalogue's list took over is saved there.
    if (profile->catalogue().Belongs() && profile->catalogue().Peek() != &database) continue;
    profile->SaveTo(database);
  }
  RekeyChanged();
  scope.Commit();
}

void ZelProfiles::SyncStored(store::CatalogueFile& database, std::string_view profile_id) {
  auto stored = LoadProfiles(database, "t.\"ProfileID\" = ?", Texts({profile_id}));
  if (stored.empty()) return;
  if (items_.HasKey(profile_id)) {
    Item(Variant(std::string(profile_id)))->TakeStoredRow(*stored.front());
  } else {
    AddLoaded(stored.front());
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
