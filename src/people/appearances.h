// Where a person appears: every profile and television episode that credits the person under the
// common name or under any alias of it (ZelDatabase.FindAppearances, which delegates to
// people::FindAppearances).
//
// The answer is a Collection without keys holding new ZelEpisode and ZelProfile objects built from
// the rows that found them (not the cached ones of Profiles or TVShows): all episodes first, then
// all profiles; within each, the credits of the common name, then those of each alias in the
// engine's order. Nothing is de-duplicated: a title appears once per matching credit row, and with
// only assigned episodes an episode assigned to two profiles appears twice per credit. Birth years
// play no part: the aliases of everyone sharing the common name are searched. Credited names match
// by the engine's text comparison.
//
// IsCast reads as a boolean from schema 76; in older files a credit is cast exactly when the text
// is "yes" (an empty value, "Yes" or "no" is crew).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frame/object.h"

namespace zel {

class Collection;
namespace store {
class CatalogueFile;
}  // namespace store

// Which credits a search lists. With neither profiles nor episodes nothing is read at all; with
// neither cast nor crew the statements run and the answer is empty.
struct AppearanceFilter {
  bool profiles = true;
  bool episodes = true;
  // Only episodes assigned to some profile.
  bool only_assigned_episodes = false;
  bool cast = true;
  bool crew = true;
};

// One credit row found: the new ZelEpisode or ZelProfile, and the credit that found it.
struct Appearance {
  ObjectPtr item;
  bool episode = false;
  bool cast = false;
  std::string credited_name;
  std::string role;
};

// The search behind ZelDatabase.FindAppearances, on `database`, with each hit's credit (for
// callers that show the role). Same members in the same order as FindAppearances.
std::vector<Appearance> SearchAppearances(store::CatalogueFile& database,
                                          std::string_view cast_name,
                                          const AppearanceFilter& filter);

namespace people {

// ZelDatabase.FindAppearances: the hits of SearchAppearances as a collection of profiles and
// episodes.
std::shared_ptr<Collection> FindAppearances(store::CatalogueFile& database,
                                            std::string_view cast_name,
                                            bool include_profiles = true,
                                            bool include_episodes = true,
                                            bool only_assigned_episodes = false,
                                            bool include_cast = true, bool include_crew = true);

}  // namespace people

}  // namespace zel
