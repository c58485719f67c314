// A series as a collector reads it: its seasons in order, each with its episodes in order, each
// episode with its cast, crew and the discs (titles) that hold it. For `zel show` and the series
// pages of `zel serve`.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "tv/episode.h"
#include "tv/tv_show.h"

namespace zel::store {
class CatalogueFile;
}  // namespace zel::store

namespace zel::tv {

struct SeriesOutline {
  struct Season {
    std::string name;
    // Their lists (Cast, Crew, AssignedProfiles: the discs) load when first read.
    std::vector<std::shared_ptr<ZelEpisode>> episodes;
  };
  std::shared_ptr<ZelTVShow> show;  // a new object, not the catalogue's cached one
  bool derived = false;             // derived from episode headings (episode_derivation.h)
  std::vector<Season> seasons;
  int64_t episode_count = 0;
};

// The series `show_id` as stored now, or nullopt when there is none. Seasons come in the order of
// their numbers ("2" before "10"), a season without a name last; episodes by number, then those
// without one in the order of their discs.
std::optional<SeriesOutline> ReadSeriesOutline(store::CatalogueFile& database,
                                               std::string_view show_id);

// The order of season and episode numbers: numbers by value, other texts after them in text
// order, empty text last ("2" before "10" before "Specials").
std::tuple<int, int64_t, std::string> NumberOrder(std::string_view text);

// How a collector names an episode: "3.01 A Deadly Affair", "01 Pilot" (a number without season),
// "Pilot" (no number).
std::string EpisodeLabel(std::string_view season, std::string_view number, std::string_view title);

}  // namespace zel::tv
