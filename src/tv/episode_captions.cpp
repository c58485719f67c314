#include "tv/episode_captions.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "frame/text.h"

namespace zel::tv {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiAlnum(char c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

size_t DigitsAt(std::string_view text, size_t from) {
  size_t end = from;
  while (end < text.size() && IsDigit(text[end])) ++end;
  return end - from;
}

std::string WithoutLeadingZeros(std::string_view digits) {
  const size_t first = digits.find_first_not_of('0');
  return first == std::string_view::npos ? "0" : std::string(digits.substr(first));
}

std::string EpisodeNumber(std::string_view digits) {
  std::string number = WithoutLeadingZeros(digits);
  return number.size() < 2 ? "0" + number : number;
}

constexpr size_t kMaxKeyLength = 100;

// The dashes of typeset titles, as UTF-8.
constexpr std::array<std::string_view, 2> kDashes = {"\xE2\x80\x93", "\xE2\x80\x94"};

// `text` without the separators that stand between a number and its title, or before a cut.
std::string_view StripSeparators(std::string_view text, bool leading) {
  constexpr std::string_view kSeparators = " \t-:.)|/,;([";
  for (;;) {
    const size_t before = text.size();
    if (leading) {
      while (!text.empty() && kSeparators.find(text.front()) != std::string_view::npos) {
        text.remove_prefix(1);
      }
      for (std::string_view dash : kDashes) {
        if (text.starts_with(dash)) text.remove_prefix(dash.size());
      }
    } else {
      // A full stop may end an abbreviation of the title ("Dr."), so only the others go.
      constexpr std::string_view kTrailing = " \t-:|/,;([";
      while (!text.empty() && kTrailing.find(text.back()) != std::string_view::npos) {
        text.remove_suffix(1);
      }
      for (std::string_view dash : kDashes) {
        if (text.ends_with(dash)) text.remove_suffix(dash.size());
      }
    }
    if (text.size() == before) return text;
  }
}

// A number that ends where the caption's number should: at the end or before a separator.
bool EndsNumber(std::string_view text, size_t at) {
  return at == text.size() || !IsAsciiAlnum(text[at]);
}

EpisodeCaption Numbered(std::string_view season, std::string_view number, std::string_view rest) {
  return {season.empty() ? std::string() : WithoutLeadingZeros(season), EpisodeNumber(number),
          std::string(StripSeparators(rest, true))};
}

// "S03E01": a season and a number.
std::optional<EpisodeCaption> SeasonEpisodeCode(std::string_view text) {
  if (text.size() < 4 || (text[0] != 'S' && text[0] != 's')) return std::nullopt;
  const size_t season = DigitsAt(text, 1);
  const size_t e = 1 + season;
  if (season == 0 || season > 3 || e >= text.size() || (text[e] != 'E' && text[e] != 'e')) {
    return std::nullopt;
  }
  const size_t number = DigitsAt(text, e + 1);
  if (number == 0 || number > 3 || !EndsNumber(text, e + 1 + number)) return std::nullopt;
  return Numbered(text.substr(1, season), text.substr(e + 1, number), text.substr(e + 1 + number));
}

// "Episode 5", "Ep. 5", "Ep 5": a number without season.
std::optional<EpisodeCaption> EpisodeWord(std::string_view text) {
  const std::string lower = ToLower(text.substr(0, 8));
  for (std::string_view word : {"episode ", "ep. ", "ep "}) {
    if (!lower.starts_with(word)) continue;
    const size_t number = DigitsAt(text, word.size());
    if (number == 0 || number > 3 || !EndsNumber(text, word.size() + number)) return std::nullopt;
    return Numbered({}, text.substr(word.size(), number), text.substr(word.size() + number));
  }
  return std::nullopt;
}

// "3.01", "3x01", or a number alone ("01 - Pilot").
std::optional<EpisodeCaption> LeadingNumber(std::string_view text) {
  const size_t first = DigitsAt(text, 0);
  if (first == 0 || first > 3) return std::nullopt;
  if (first + 1 < text.size() && (text[first] == '.' || text[first] == 'x' || text[first] == 'X') &&
      IsDigit(text[first + 1])) {
    const size_t second = DigitsAt(text, first + 1);
    if (second <= 3 && EndsNumber(text, first + 1 + second)) {
      return Numbered(text.substr(0, first), text.substr(first + 1, second),
                      text.substr(first + 1 + second));
    }
    return std::nullopt;
  }
  if (!EndsNumber(text, first)) return std::nullopt;
  return Numbered({}, text.substr(0, first), text.substr(first));
}

// --- disc titles ---

struct Word {
  std::string_view text;  // as written
  std::string core;       // lower case, without brackets and trailing punctuation
};

std::vector<Word> Words(std::string_view title) {
  std::vector<Word> words;
  size_t at = 0;
  while (at < title.size()) {
    while (at < title.size() && title[at] == ' ') ++at;
    const size_t end = std::min(title.find(' ', at), title.size());
    if (end > at) {
      std::string_view text = title.substr(at, end - at);
      std::string_view core = text;
      while (!core.empty() && (core.front() == '(' || core.front() == '[')) core.remove_prefix(1);
      while (!core.empty() && std::string_view(":,)]").find(core.back()) != std::string::npos) {
        core.remove_suffix(1);
      }
      words.push_back({text, ToLower(core)});
    }
    at = end;
  }
  return words;
}

constexpr std::array<std::string_view, 20> kOrdinals = {
    "first",     "second",    "third",       "fourth",     "fifth",      "sixth",      "seventh",
    "eighth",    "ninth",     "tenth",       "eleventh",   "twelfth",    "thirteenth", "fourteenth",
    "fifteenth", "sixteenth", "seventeenth", "eighteenth", "nineteenth", "twentieth"};
constexpr std::array<std::string_view, 20> kNumberWords = {
    "one",     "two",     "three",     "four",     "five",     "six",      "seven",
    "eight",   "nine",    "ten",       "eleven",   "twelve",   "thirteen", "fourteen",
    "fifteen", "sixteen", "seventeen", "eighteen", "nineteen", "twenty"};

// The value of an ordinal ("third", "3rd"), 0 when the word is none.
int OrdinalValue(std::string_view word) {
  for (size_t i = 0; i < kOrdinals.size(); ++i) {
    if (word == kOrdinals[i]) return static_cast<int>(i) + 1;
  }
  const size_t digits = DigitsAt(word, 0);
  if (digits == 0 || digits > 2) return 0;
  const std::string_view suffix = word.substr(digits);
  if (suffix == "st" || suffix == "nd" || suffix == "rd" || suffix == "th" || suffix == "." ||
      suffix == "e") {
    return std::stoi(std::string(word.substr(0, digits)));
  }
  return 0;
}

// The value of a number as a part of a title ("3", "three", "III"); -1 for a range ("1-3") and
// for a number that is one without a single value; 0 when the word is no number.
int NumberValue(std::string_view word) {
  const size_t digits = DigitsAt(word, 0);
  if (digits > 0 && digits <= 3) {
    if (digits == word.size()) return std::stoi(std::string(word));
    const std::string_view rest = word.substr(digits);
    if ((rest[0] == '-' || rest[0] == '&' || rest[0] == '+') && IsAsciiDigits(rest.substr(1))) {
      return -1;
    }
    return 0;
  }
  for (size_t i = 0; i < kNumberWords.size(); ++i) {
    if (word == kNumberWords[i]) return static_cast<int>(i) + 1;
  }
  if (!word.empty() && word.size() <= 5 &&
      word.find_first_not_of("ivxl") == std::string_view::npos) {
    return -1;  // a Roman numeral: counts as a number, its value is not read
  }
  return 0;
}

enum class Marker { kNone, kSeason, kSeries, kDisc };

Marker MarkerOf(std::string_view word) {
  for (std::string_view season : {"season", "seasons", "staffel", "staffeln", "saison", "saisons",
                                  "temporada", "temporadas", "stagione", "stagioni", "seizoen"}) {
    if (word == season) return Marker::kSeason;
  }
  if (word == "series") return Marker::kSeries;
  for (std::string_view disc :
       {"disc", "discs", "disk", "disks", "dvd", "volume", "volumes", "vol", "vol."}) {
    if (word == disc) return Marker::kDisc;
  }
  return Marker::kNone;
}

// Whether a season or disc part begins at word `i`; `season` gets the season it names, if one.
bool PartBeginsAt(const std::vector<Word>& words, size_t i, std::string& season) {
  const std::string& first = words[i].core;
  // "S1", "S01".
  if (first.size() >= 2 && first.size() <= 3 && first[0] == 's' &&
      DigitsAt(first, 1) == first.size() - 1) {
    season = WithoutLeadingZeros(std::string_view(first).substr(1));
    return true;
  }
  size_t j = i;
  if (j < words.size() && words[j].core == "the") ++j;
  bool complete = false;
  if (j < words.size()) {
    for (std::string_view word : {"complete", "entire", "final", "komplette", "intégrale"}) {
      if (words[j].core == word) {
        complete = true;
        ++j;
        break;
      }
    }
  }
  int ordinal = 0;
  if (j < words.size() && (ordinal = OrdinalValue(words[j].core)) != 0) ++j;
  if (j >= words.size()) return false;
  const Marker marker = MarkerOf(words[j].core);
  if (marker == Marker::kNone) return false;
  const int number = j + 1 < words.size() ? NumberValue(words[j + 1].core) : 0;
  // "DVD" names a medium far more often than a disc: only "DVD 2" counts.
  if (words[j].core == "dvd" && number == 0) return false;
  if (number == 0 && ordinal == 0 && !complete) return false;
  if (marker != Marker::kDisc) {
    const int value = ordinal != 0 ? ordinal : number;
    if (value > 0) season = std::to_string(value);
  }
  return true;
}

}  // namespace

EpisodeCaption ParseEpisodeCaption(std::string_view caption) {
  const std::string trimmed = Trim(caption);
  const std::string_view text = trimmed;
  if (auto code = SeasonEpisodeCode(text)) return *code;
  if (auto word = EpisodeWord(text)) return *word;
  if (auto number = LeadingNumber(text)) return *number;
  return {{}, {}, trimmed};
}

SeriesTitle ReadSeriesTitle(std::string_view title) {
  const std::vector<Word> words = Words(title);
  SeriesTitle result;
  for (size_t i = 0; i < words.size(); ++i) {
    if (!PartBeginsAt(words, i, result.season)) continue;
    const size_t cut = static_cast<size_t>(words[i].text.data() - title.data());
    result.title = std::string(StripSeparators(title.substr(0, cut), false));
    // A further part names the season when the first did not ("Disc 1: Season 2" is rare, but
    // "Castle: Disc 1 (Season 3)" is not).
    for (size_t k = i + 1; k < words.size() && result.season.empty(); ++k) {
      std::string season;
      if (PartBeginsAt(words, k, season)) result.season = season;
    }
    return result;
  }
  result.title = Trim(title);
  return result;
}

std::string SeriesKey(std::string_view title) {
  const std::string lower = ToLower(title);
  std::vector<std::string> words(1);
  for (size_t i = 0; i < lower.size(); ++i) {
    const char c = lower[i];
    if (c == '\'') continue;
    if (std::string_view(lower).substr(i).starts_with("\xE2\x80\x99")) {  // a typeset apostrophe
      i += 2;
      continue;
    }
    const bool dash = std::string_view(lower).substr(i).starts_with(kDashes[0]) ||
                      std::string_view(lower).substr(i).starts_with(kDashes[1]);
    if (!dash && (IsAsciiAlnum(c) || static_cast<unsigned char>(c) >= 0x80)) {
      words.back() += c;
    } else {
      if (dash) i += 2;
      if (!words.back().empty()) words.emplace_back();
    }
  }
  if (words.back().empty()) words.pop_back();
  if (words.size() > 1 && words.front() == "the") words.erase(words.begin());
  std::string key;
  for (const std::string& word : words) {
    // Identifiers are made of keys and hold at most 255 characters: long titles keep their first
    // words.
    if (key.size() + 1 + word.size() > kMaxKeyLength) {
      if (key.empty()) {
        size_t cut = kMaxKeyLength;
        while (cut > 0 && (static_cast<unsigned char>(word[cut]) & 0xC0) == 0x80) --cut;
        key = word.substr(0, cut);
      }
      break;
    }
    key += (key.empty() ? "" : "-") + word;
  }
  return key;
}

}  // namespace zel::tv
