#include "people/suspects.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

#include "frame/text.h"
#include "frame/variant.h"
#include "people/namesakes.h"
#include "store/catalogue_file.h"

namespace zel::people {
namespace {

struct Candidate {
  SuspectName name;
  std::string folded;
  std::vector<std::string> words;  // folded, without trailing commas
};

std::vector<std::string> WordsOf(std::string_view folded) {
  std::vector<std::string> words;
  for (std::string word : Split(folded, " ")) {
    while (!word.empty() && word.back() == ',') word.pop_back();
    if (!word.empty()) words.push_back(std::move(word));
  }
  return words;
}

bool IsInitial(std::string_view word) {
  return (word.size() == 1 || (word.size() == 2 && word[1] == '.')) && word[0] >= 'a' &&
         word[0] <= 'z';
}

bool IsJunior(std::string_view word) { return word == "jr." || word == "jr"; }

std::string Joined(const std::vector<std::string>& words, size_t from, size_t to) {
  std::string text;
  for (size_t i = from; i < to; ++i) text += (text.empty() ? "" : " ") + words[i];
  return text;
}

// The known years both have, and whether the two may be one person at all.
struct YearMatch {
  bool compatible = true;
  std::vector<int32_t> shared;
};

YearMatch MatchYears(const SuspectName& a, const SuspectName& b) {
  YearMatch match;
  std::set_intersection(a.birth_years.begin(), a.birth_years.end(), b.birth_years.begin(),
                        b.birth_years.end(), std::back_inserter(match.shared));
  match.compatible = a.birth_years.empty() || b.birth_years.empty() || !match.shared.empty();
  return match;
}

class Finder {
 public:
  explicit Finder(std::vector<Candidate> candidates) : candidates_(std::move(candidates)) {}

  std::vector<Suspect> Run() {
    CloseSpellings();
    Grouped(
        [](const Candidate& c) {
          // First and last word; the middle, when there is one, must be an initial.
          if (c.words.size() == 2) return c.words[0] + ' ' + c.words[1];
          if (c.words.size() == 3 && IsInitial(c.words[1])) return c.words[0] + ' ' + c.words[2];
          return std::string();
        },
        [](const Candidate& a, const Candidate& b) { return a.words.size() != b.words.size(); },
        "a middle initial in one name only");
    Grouped(
        [](const Candidate& c) {
          if (c.words.size() != 2) return std::string();
          return std::min(c.words[0], c.words[1]) + ' ' + std::max(c.words[0], c.words[1]);
        },
        [](const Candidate& a, const Candidate& b) {
          return a.words[0] == b.words[1] && a.words[1] == b.words[0] && a.words[0] != a.words[1];
        },
        "the same names in reversed order");
    Grouped(
        [](const Candidate& c) {
          const bool junior = c.words.size() > 2 && IsJunior(c.words.back());
          return Joined(c.words, 0, c.words.size() - (junior ? 1 : 0));
        },
        [](const Candidate& a, const Candidate& b) {
          return IsJunior(a.words.back()) != IsJunior(b.words.back());
        },
        "\"Jr.\" in one name only");
    std::vector<Suspect> suspects;
    for (auto& [pair, evidence] : found_) {
      const Candidate& a = candidates_[pair.first];
      const Candidate& b = candidates_[pair.second];
      Suspect suspect;
      // The name with more credits is the likelier common name: it comes second.
      const bool swap = a.name.credits > b.name.credits ||
                        (a.name.credits == b.name.credits && a.folded > b.folded);
      suspect.first = swap ? b.name : a.name;
      suspect.second = swap ? a.name : b.name;
      suspect.evidence = evidence;
      const YearMatch years = MatchYears(a.name, b.name);
      if (!years.shared.empty()) {
        suspect.evidence.push_back("both born " + std::to_string(years.shared.front()));
      } else if (!a.name.birth_years.empty() || !b.name.birth_years.empty()) {
        suspect.evidence.push_back("a birth year known for one only");
      }
      suspects.push_back(std::move(suspect));
    }
    std::sort(suspects.begin(), suspects.end(), [](const Suspect& x, const Suspect& y) {
      return std::pair(FoldKey(x.first.common_name), FoldKey(x.second.common_name)) <
             std::pair(FoldKey(y.first.common_name), FoldKey(y.second.common_name));
    });
    return suspects;
  }

 private:
  void Note(size_t a, size_t b, std::string evidence) {
    if (a == b || !MatchYears(candidates_[a].name, candidates_[b].name).compatible) return;
    std::vector<std::string>& known = found_[{std::min(a, b), std::max(a, b)}];
    if (std::find(known.begin(), known.end(), evidence) == known.end()) {
      known.push_back(std::move(evidence));
    }
  }

  // Pairs in one group of `key` (empty: in none) that `differ` as the rule wants.
  template <class Key, class Differ>
  void Grouped(Key key, Differ differ, const std::string& evidence) {
    std::unordered_map<std::string, std::vector<size_t>> groups;
    for (size_t i = 0; i < candidates_.size(); ++i) {
      if (candidates_[i].words.size() < 2) continue;
      std::string k = key(candidates_[i]);
      if (!k.empty()) groups[k].push_back(i);
    }
    for (const auto& [k, members] : groups) {
      for (size_t x = 0; x < members.size(); ++x) {
        for (size_t y = x + 1; y < members.size(); ++y) {
          if (differ(candidates_[members[x]], candidates_[members[y]])) {
            Note(members[x], members[y], evidence);
          }
        }
      }
    }
  }

  // Names of one known birth year that share their first or their last word, compared whole.
  void CloseSpellings() {
    std::unordered_map<std::string, std::vector<size_t>> blocks;
    for (size_t i = 0; i < candidates_.size(); ++i) {
      const Candidate& c = candidates_[i];
      if (c.words.size() < 2) continue;
      for (int32_t year : c.name.birth_years) {
        blocks[std::to_string(year) + " first " + c.words.front()].push_back(i);
        blocks[std::to_string(year) + " last " + c.words.back()].push_back(i);
      }
    }
    for (const auto& [block, members] : blocks) {
      for (size_t x = 0; x < members.size(); ++x) {
        for (size_t y = x + 1; y < members.size(); ++y) {
          const std::string& a = candidates_[members[x]].folded;
          const std::string& b = candidates_[members[y]].folded;
          const size_t allowed = std::min(a.size(), b.size()) >= 8 ? 2 : 1;
          const size_t apart = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
          if (apart > allowed) continue;
          const size_t distance = EditDistance(a, b);
          if (distance == 0 || distance > allowed) continue;
          Note(members[x], members[y],
               "close spelling (" + std::to_string(distance) +
                   (distance == 1 ? " letter apart)" : " letters apart)"));
        }
      }
    }
  }

  std::vector<Candidate> candidates_;
  std::map<std::pair<size_t, size_t>, std::vector<std::string>> found_;
};

}  // namespace

size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::vector<Suspect> FindSuspects(store::CatalogueFile& database) {
  std::unordered_map<std::string, std::string> common_of;  // folded alias name -> common name
  auto aliases = database.DbOpenRecordSet("SELECT AliasName, CommonName FROM Alias");
  for (; !aliases->Eof(); aliases->MoveNext()) {
    common_of[FoldKey(aliases->ValueAt(0).ToTextOrEmpty())] = aliases->ValueAt(1).ToTextOrEmpty();
  }
  aliases.reset();
  // Every credited name with its birth years and credits, gathered by common name.
  std::map<std::string, SuspectName> people;  // by folded common name
  for (std::string_view table : {"CastCrew", "TVCastCrew"}) {
    auto rows = database.DbOpenRecordSet("SELECT Name, BirthYear, Role, COUNT(*) FROM " +
                                         std::string(table) + " GROUP BY Name, BirthYear, Role");
    for (; !rows->Eof(); rows->MoveNext()) {
      if (IsListHeading(rows->ValueAt(2).ToTextOrEmpty())) continue;
      const std::string name = rows->ValueAt(0).ToTextOrEmpty();
      if (Trim(name).empty()) continue;
      const auto alias = common_of.find(FoldKey(name));
      const std::string common = alias == common_of.end() ? name : alias->second;
      SuspectName& person = people[FoldKey(common)];
      if (person.common_name.empty()) person.common_name = common;
      person.credits += rows->ValueAt(3).ToLong();
      const Variant year = rows->ValueAt(1);
      const int32_t birth_year = year.IsNull() ? 0 : year.ToLong();
      if (IsKnownBirthYear(birth_year) &&
          !std::binary_search(person.birth_years.begin(), person.birth_years.end(), birth_year)) {
        person.birth_years.insert(
            std::lower_bound(person.birth_years.begin(), person.birth_years.end(), birth_year),
            birth_year);
      }
    }
  }
  std::vector<Candidate> candidates;
  for (auto& [folded, person] : people) {
    candidates.push_back(
        {person, ToLower(person.common_name), WordsOf(ToLower(person.common_name))});
  }
  return Finder(std::move(candidates)).Run();
}

}  // namespace zel::people
