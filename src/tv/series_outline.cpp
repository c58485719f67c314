#include "tv/series_outline.h"

#include <algorithm>
#include <tuple>

#include "frame/text.h"
#include "store/catalogue_file.h"
#include "store/row_images.h"
#include "tv/episode_derivation.h"

namespace zel::tv {
std::tuple<int, int64_t, std::string> NumberOrder(std::string_view text) {
  if (text.empty()) return {2, 0, {}};
  if (IsAsciiDigits(text) && text.size() < 15) return {0, std::stoll(std::string(text)), {}};
  return {1, 0, FoldKey(text)};
}

std::optional<SeriesOutline> ReadSeriesOutline(store::CatalogueFile& database,
                                               std::string_view show_id) {
  auto shows = store::LoadRecords<ZelTVShow>(database, store::Table::kTVSeries,
                                             "t.\"SeriesID\" = ?", store::Texts({show_id}));
  if (shows.empty()) return std::nullopt;
  SeriesOutline outline;
  outline.show = std::move(shows.front());
  ZelTVShow& show = *outline.show;
  outline.derived = IsDerived(database, show.ShowID());
  for (const auto& season : show.Seasons()->All()) {
    SeriesOutline::Season entry{season->Name(), season->Episodes()->All()};
    // Episodes without a number keep the order of their discs, which derivation records.
    std::vector<std::pair<std::shared_ptr<ZelEpisode>, std::string>> keyed;
    for (auto& episode : entry.episodes) {
      keyed.emplace_back(episode,
                         database.ReadMetaInfoByProfileID(episode->EpisodeID(), kDerivedEntry));
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
      return std::tuple(NumberOrder(a.first->Number()), a.second) <
             std::tuple(NumberOrder(b.first->Number()), b.second);
    });
    entry.episodes.clear();
    for (auto& [episode, order] : keyed) entry.episodes.push_back(episode);
    outline.episode_count += static_cast<int64_t>(entry.episodes.size());
    outline.seasons.push_back(std::move(entry));
  }
  std::stable_sort(outline.seasons.begin(), outline.seasons.end(),
                   [](const SeriesOutline::Season& a, const SeriesOutline::Season& b) {
                     return NumberOrder(a.name) < NumberOrder(b.name);
                   });
  return outline;
}

std::string EpisodeLabel(std::string_view season, std::string_view number, std::string_view title) {
  std::string label;
  if (!number.empty())
    label = season.empty() ? std::string(number) : std::string(season) + "." + std::string(number);
  if (!title.empty()) label += (label.empty() ? "" : " ") + std::string(title);
  return label;
}

}  // namespace zel::tv
