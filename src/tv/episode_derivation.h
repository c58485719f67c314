// Series, seasons and episodes derived from the episode headings of imported titles.
//
// An imported television disc keeps its cast and crew as the export lists them: under a heading
// per episode ("3.01 A Deadly Affair", stored as a CastCrew row whose Role is "[DivEpisode]"). From
// those rows this derives what the television tables hold of the disc:
//   - the series, from the title or, where the title names only its parts ("Disc 1") or begins with
//     it, its box-set parent's title, without the season and disc parts (episode_captions.h);
//   - one episode per heading, in the season and with the number of its caption, titled by the
//     rest of it; a caption without a number gives an episode without one, in the disc's order;
//   - the episode's cast and crew: the rows after its heading up to the next episode heading, from
//     both lists, group headings included;
//   - a Profile2Episodes link from the title to each of its episodes.
// An episode that several titles hold (two releases of one disc) is one episode linked to each;
// its title and credits come from the title with the lowest ProfileID.
//
// What is derived is marked, so that series, seasons and episodes a host made itself are never
// touched: a MetaInfo entry "Derived" under the series' and the episode's identifier (the
// identifiers begin with "tv:"; no profile carries one). The collector's corrections are MetaInfo
// entries too, under the identifier they correct (tv_corrections.h), and derivation honours them.
// MetaInfo is one of the catalogue's tables, so marks and corrections travel with zel export and
// zel restore and stay through zel compact, and a catalogue without them reads as it always did.
//
// Deriving is idempotent: run again over the same rows it writes nothing. It never fails on odd
// captions or titles; engine errors reach the caller.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zel::store {
class CatalogueFile;
}  // namespace zel::store

namespace zel::tv {

// The MetaInfo entry that marks a series or episode as derived. Its value is the series' key
// (SeriesKey) for a series; for an episode, its place in the order of discs (which sorts episodes
// without a number), then a unit separator (U+001F) and the ProfileID its credits come from.
inline constexpr std::string_view kDerivedEntry = "Derived";

// What one derivation changed.
struct DerivationCounts {
  int64_t titles = 0;  // titles whose episode headings were read
  int64_t series_added = 0, series_removed = 0;
  int64_t episodes_added = 0, episodes_changed = 0, episodes_removed = 0;
  int64_t links_added = 0, links_removed = 0;

  bool Changed() const;
  DerivationCounts& operator+=(const DerivationCounts& other);
};

// Derives the series, episodes and links of one title from its stored rows, and removes its links
// to derived episodes it no longer holds (with the episodes no title holds any more, and derived
// series left without episodes). `headings_possible` false says the title's lists are known to hold
// no episode heading (the import has just written them), which spares reading them. Callers run it
// in their write scope.
DerivationCounts DeriveTitleEpisodes(store::CatalogueFile& database, std::string_view profile_id,
                                     bool headings_possible = true);

// Derives again the stored parts of box set `box_id` that hold episode headings: their series may
// follow the box set's title. Callers run it in their write scope.
DerivationCounts DeriveBoxSetParts(store::CatalogueFile& database, std::string_view box_id);

// What the catalogue holds of derived television after DeriveAllEpisodes.
struct DerivationSummary {
  DerivationCounts changes;
  int64_t series = 0, seasons = 0, episodes = 0;
};

// Derives every title of the catalogue again and removes what no title holds any more, as one
// write: the command `zel tv derive`, for a catalogue imported before titles were derived.
DerivationSummary DeriveAllEpisodes(store::CatalogueFile& database);

// A title is about to go: removes its links to derived episodes, the episodes no title holds then,
// and the derived series left without episodes; episodes still held by another title take their
// credits from it. Callers run it in their write scope.
void ReleaseTitleEpisodes(store::CatalogueFile& database, std::string_view profile_id);

// Whether the series or episode with this identifier was derived.
bool IsDerived(store::CatalogueFile& database, std::string_view id);

}  // namespace zel::tv
