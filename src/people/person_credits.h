// Where a person appears, as a collector reads it: one line per title or episode, each person apart
// from namesakes (namesakes.h), and a person's credits on one title grouped by role with the
// episodes they stand under ("Narrator (voice), 7 episodes: 1.01 Pilot, 1.02 ...") rather than
// repeated once per episode.
//
// A title's credits stand under the episode heading before them in its list. Episodes derived from
// those headings (tv/episode_derivation.h) hold the same credits again; with titles listed they
// are not listed a second time. Episodes a host made are lines of their own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "frame/variant.h"
#include "people/appearances.h"
#include "people/namesakes.h"

namespace zel::store {
class CatalogueFile;
}  // namespace zel::store

namespace zel::people {

// Credits of one person on one work that share role, name and marks.
struct RoleGroup {
  std::string role, credited_as;
  bool cast = false, voice = false, uncredited = false, credit_only = false;
  // The episode headings the credits stand under, in list order; empty for credits of the title
  // itself (before any heading, or on a title without them).
  std::vector<std::string> episodes;
};

// Adds a credit standing under the episode heading `heading` (empty: the title's own) to the
// roles of one work: to the group of the same role, name and marks, or as a new group.
void AddRole(std::vector<RoleGroup>& roles, RoleGroup group, const std::string& heading);

// "Narrator (voice, uncredited), 7 episodes: 1.01 Pilot, 1.02 Home"; "Director" for a crew credit
// of the title itself. `max_episodes` > 0 names at most that many episodes, then "…".
std::string RoleText(const RoleGroup& group, size_t max_episodes = 0);

// One title or episode with the person's roles there.
struct WorkLine {
  bool episode = false;
  std::string id;     // ProfileID or EpisodeID
  std::string title;  // the title's, or the episode's own
  int32_t year = 0;   // production year, or the year the episode was first aired; 0 when unknown
  // Episodes only.
  std::string show_id, series_title, season, number;
  Date airdate;
  std::vector<RoleGroup> roles;
};

struct PersonWorks {
  Person person;
  std::vector<WorkLine> lines;  // by year (unknown last), then title
  int64_t titles = 0, episodes = 0;
};

struct PersonAppearances {
  std::string name, common_name;
  // Each namesake with a known birth year in the order of the years, then the one person without
  // a known year, then the credits that could be any of several namesakes.
  std::vector<PersonWorks> people;
};

// Everything credited to the person named `name` (any credited form), as `filter` narrows it.
PersonAppearances ReadPersonAppearances(store::CatalogueFile& database, std::string_view name,
                                        const AppearanceFilter& filter = {});

}  // namespace zel::people
