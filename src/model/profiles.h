// ZelProfiles: profiles keyed by ProfileID, standing for the Profiles table of one catalogue.
//
// Adding saves the profile; removing deletes every row that belongs to the profile
// (RemoveProfileRows), as one write, and only then drops it from the list. AddLoaded
// (library-internal) adds a profile read from the catalogue without writing. Two kinds of list
// stand for links instead: the parts of a box set (ZelProfile.ChildProfiles) and the profiles an
// episode is assigned to (ZelEpisode.AssignedProfiles). Removing from those ends the link and
// leaves the profile; adding saves the profile and makes the link, failing (3022) when a part
// already belongs to another box set.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/profile.h"
#include "store/keyed_collection.h"

namespace zel {

namespace store {
class CatalogueFile;
}  // namespace store

class ZelProfiles : public TypedCollection<ZelProfile> {
 public:
  // What the list stands for: the Profiles table, or links of one profile or episode (`owner`).
  enum class Links { kNone, kBoxSetParts, kEpisodeAssignments };
  ZelProfiles() = default;
  ZelProfiles(Links links, std::string owner) : links_(links), owner_(std::move(owner)) {}
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  // Adds under the profile's ProfileID and saves it; a duplicate identifier fails before the save.
  std::shared_ptr<ZelProfile> AddProfile(std::shared_ptr<ZelProfile> profile);
  // A new profile (fresh identifier) with these titles, added and saved.
  std::shared_ptr<ZelProfile> Add(std::string title, std::string original_title);
  // Compares ProfileID exactly, case included (the key lookup of Item ignores case).
  bool Exists(std::string_view profile_id) const;

  // Every stored profile, ordered by SortTitle, added without writing.
  static std::shared_ptr<ZelProfiles> Load(store::CatalogueFile& database);
  // Saves every profile of the list into `database` (as UpdateProfile does), as one write.
  // Profiles the list never held stay as they are.
  void Store(store::CatalogueFile& database);
  // Library-internal: brings the member of `profile_id` in step with its stored row (after an
  // import): a member is refreshed in place (its sub-records read again on demand), a missing one
  // is added.
  void SyncStored(store::CatalogueFile& database, std::string_view profile_id) override;

 protected:
  std::string KeyOf(const Object& item) const override;
  void Save(Object& item) override;
  void Delete(Object& item) override;

 private:
  Links links_ = Links::kNone;
  std::string owner_;
};

// Deletes every row of `database` that belongs to the profile, as one write: its Profiles row, the
// rows of every table keyed by its ProfileID (sub-records, credits, locks, information and meta
// entries, episode links) and both ends of its box-set links. Aliases, the other profiles and the
// series and episodes a host made stay; the episodes derived from the profile's episode headings
// that no other profile holds go, with derived series left without episodes
// (tv::ReleaseTitleEpisodes).
void RemoveProfileRows(store::CatalogueFile& database, std::string_view profile_id);

// The tables that keep rows of a profile under its ProfileID, beside its Profiles row and its
// box-set links (BoxSet, by BoxSetID and by ChildID).
const std::vector<std::string_view>& ProfileRowTables();

namespace tv {
// Defined beside the derivation it belongs to, in tv/episode_derivation.cpp: the television layer
// sits above this one, and a removal that left derived episodes behind would show discs that are
// gone. Callers run it in their write scope.
void ReleaseTitleEpisodes(store::CatalogueFile& database, std::string_view profile_id);
}  // namespace tv

// Moves every row stored under `from` (as RemoveProfileRows names them) to `to`, as one write.
// Fails with 3022 when a stored profile already holds `to`.
void MoveProfileRows(store::CatalogueFile& database, std::string_view from, std::string_view to);

// Makes `part` a part of the box set `box`. A part it already has is left as it is; a profile that
// is a part of another box set fails with 3022.
void AssignBoxSetPart(store::CatalogueFile& database, std::string_view box, std::string_view part);

namespace model {

// The catalogue's list of every profile, ordered by SortTitle (ZelDatabase.Profiles): loaded on
// first read and kept in the catalogue's slot.
std::shared_ptr<ZelProfiles> Profiles(store::CatalogueFile& database);
// Saves each profile of the loaded list (as UpdateProfile), as one write; nothing when the list
// is not loaded. Profiles the list never held stay.
void UpdateProfiles(store::CatalogueFile& database);

}  // namespace model

}  // namespace zel
