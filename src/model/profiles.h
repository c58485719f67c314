// ZelProfiles: profiles keyed by ProfileID, standing for the Profiles table.
//
// Adding saves the profile (UpdateProfile); removing deletes every row that belongs to the profile
// (RemoveProfileRows), as one write, and only then drops it from the list. AddLoaded
// (library-internal) adds a profile read from the catalogue without writing.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "model/keyed_collection.h"
#include "model/profile.h"

namespace zel {

class ZelDatabase;

class ZelProfiles : public TypedCollection<ZelProfile> {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  // Adds under the profile's ProfileID and saves it; a duplicate identifier fails before the save.
  std::shared_ptr<ZelProfile> AddProfile(std::shared_ptr<ZelProfile> profile);
  // A new profile (fresh identifier) with these titles, added and saved.
  std::shared_ptr<ZelProfile> Add(std::string title, std::string original_title);
  // Compares ProfileID exactly, case included (the key lookup of Item ignores case).
  bool Exists(std::string_view profile_id) const;

  // Every stored profile, ordered by SortTitle, added without writing.
  static std::shared_ptr<ZelProfiles> Load(ZelDatabase& database);
  // Replaces the Profiles table by this list (each profile saved as by UpdateProfile), as one
  // write. Profiles stored but not in the list lose their Profiles row; their other rows stay.
  void Store(ZelDatabase& database) const;

 protected:
  std::string KeyOf(const Object& item) const override;
  void Save(Object& item) override;
  void Delete(Object& item) override;
};

// Deletes every row of `database` that belongs to the profile, as one write: its Profiles row, the
// rows of every table keyed by its ProfileID (sub-records, credits, locks, information and meta
// entries, episode links) and both ends of its box-set links. Episodes, series, aliases and the
// other profiles stay.
void RemoveProfileRows(ZelDatabase& database, std::string_view profile_id);

}  // namespace zel
