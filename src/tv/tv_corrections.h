// A collector's corrections of the series and episodes derived from episode headings
// (episode_derivation.h): a better title for a series or an episode, and two derived series that
// are one. Each correction is kept as a MetaInfo entry under the identifier it corrects, apart from
// the derived rows, so that deriving again (after the next import, or `zel tv derive`) honours it
// and a series or episode derived anew after it was gone takes it up again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tv/episode_derivation.h"

namespace zel::store {
class CatalogueFile;
}  // namespace zel::store

namespace zel::tv {

// Identifiers of derived series begin with this; an episode's is its series' followed by "/".
inline constexpr std::string_view kSeriesIdPrefix = "tv:";
// The collector's title of a derived series or episode.
inline constexpr std::string_view kCorrectedTitleEntry = "CorrectedTitle";
// Under the identifier a derived series had: the series it was merged into.
inline constexpr std::string_view kMergedIntoEntry = "MergedInto";

struct RenameResult {
  std::string id;
  bool episode = false;  // an episode rather than a series
  bool derived = false;  // a correction was recorded (a host's series or episode is only renamed)
  std::string old_title, new_title;
};

// Gives the series or episode `id` the title `title`, as one write. A derived one keeps it through
// every later derivation. An unknown identifier or an empty title raises 5.
RenameResult RenameSeriesOrEpisode(store::CatalogueFile& database, std::string_view id,
                                   std::string_view title);

struct MergeResult {
  std::string from, into;
  std::string from_title, into_title;
  int64_t episodes = 0;  // episodes `from` had
  int64_t titles = 0;    // titles derived again
  DerivationCounts changes;
};

// Makes derived series `from` part of derived series `into`: the titles that gave `from` its
// episodes are derived again into `into` (an episode both had becomes one), the collector's episode
// titles of `from` go along, and every later derivation puts `from`'s titles into `into`. As one
// write. Raises 5 when either is unknown or was not derived, or both are one series.
MergeResult MergeDerivedSeries(store::CatalogueFile& database, std::string_view from,
                               std::string_view into);

}  // namespace zel::tv
