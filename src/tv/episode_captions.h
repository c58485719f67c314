// What the texts of a disc title say about television: the episode an episode heading of a cast or
// crew list names, and the series a disc title belongs to.
//
// DVD Profiler marks each episode of a television disc with a divider in both lists, captioned
// "3.01 A Deadly Affair" (season 3, episode 01), and names the disc "Castle: Season 3: Disc 1".
// These functions read such texts by a few fixed rules, listed with each; they never fail, and
// a text they cannot read leaves the parts it would give empty.
#pragma once

#include <string>
#include <string_view>

namespace zel::tv {

// What an episode heading says of its episode.
struct EpisodeCaption {
  std::string season;  // "3" (no leading zeros); empty when the caption gives none
  std::string number;  // at least two digits ("01"); empty for an episode without a number
  std::string title;   // the rest of the caption, without the separator after the number
};

// Reads a heading that starts with "S.EE" ("3.01 A Deadly Affair"), "SxEE" ("3x01"), "SnnEnn"
// ("S03E01"), a number alone ("01 - Pilot", "1. Pilot": a number without season) or "Episode N".
// Anything else ("Pilot", "The Making Of") is an episode without a number, titled by the whole
// caption.
EpisodeCaption ParseEpisodeCaption(std::string_view caption);

// What a disc title says of its series.
struct SeriesTitle {
  std::string title;   // "Castle" for "Castle: Season 3: Disc 1"; empty when the title is all parts
  std::string season;  // "3" when the title names one season
};

// Cuts a disc title before its first season or disc part: "Season 3", "Seasons 1-3", "The Complete
// Third Season", "Series 2", "The Complete Series", "Staffel 4", "Saison 2", "Temporada 1", "Disc
// 1", "Disk 2", "Volume 3", "Vol. 3", "S1". A marker word counts only beside a number or an
// ordinal ("Star Trek: The Animated Series" stays whole). Separators left at the cut (":", "-",
// ",", "(") go with the part.
SeriesTitle ReadSeriesTitle(std::string_view title);

// The identity of a series title: lower case, letters and digits only, a leading "The" left out
// ("The X-Files" and "X-Files" are one series); words joined by "-", as many as fit in 100
// characters. Empty for a title without letters or digits.
std::string SeriesKey(std::string_view title);

}  // namespace zel::tv
