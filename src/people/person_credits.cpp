#include "people/person_credits.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "frame/text.h"
#include "store/catalogue_file.h"
#include "store/text_helpers.h"
#include "tv/episode_derivation.h"
#include "tv/series_outline.h"

namespace zel::people {
namespace {

constexpr std::string_view kEpisodeHeading = "[DivEpisode]";

// One credit row of the person, read.
struct Credit {
  std::string work;  // ProfileID or EpisodeID
  int32_t position = 0;
  int32_t birth_year = 0;
  RoleGroup group;  // without episodes
};

std::string CreditColumns(int16_t schema) {
  return std::string(
             "c.Name, c.Role, c.Position, c.IsCast, c.IsVoice, c.IsUncredited, "
             "c.BirthYear") +
         (schema >= 88 ? ", c.IsCreditOnly" : "");
}

// Reads the credit columns (first in the statement, as CreditColumns names them) and the work.
Credit ReadCredit(store::RecordSet& rows, int16_t schema, int32_t work_at) {
  Credit credit;
  credit.work = rows.ValueAt(work_at).ToTextOrEmpty();
  credit.group.credited_as = rows.ValueAt(0).ToTextOrEmpty();
  credit.group.role = rows.ValueAt(1).ToTextOrEmpty();
  credit.position = rows.ValueAt(2).IsNull() ? 0 : rows.ValueAt(2).ToLong();
  credit.group.cast = StoredCastFlag(rows.ValueAt(3));
  credit.group.voice = credit.group.cast && StoredFlag(rows.ValueAt(4));
  credit.group.uncredited = StoredFlag(rows.ValueAt(5));
  credit.birth_year = rows.ValueAt(6).IsNull() ? 0 : rows.ValueAt(6).ToLong();
  credit.group.credit_only = schema >= 88 && StoredFlag(rows.ValueAt(7));
  return credit;
}

bool Wanted(const Credit& credit, const AppearanceFilter& filter) {
  return credit.group.cast ? filter.cast : filter.crew;
}

bool SameRole(const RoleGroup& a, const RoleGroup& b) {
  return a.role == b.role && a.credited_as == b.credited_as && a.cast == b.cast &&
         a.voice == b.voice && a.uncredited == b.uncredited && a.credit_only == b.credit_only &&
         a.episodes.empty() == b.episodes.empty();
}

}  // namespace

void AddRole(std::vector<RoleGroup>& roles, RoleGroup group, const std::string& heading) {
  if (!heading.empty()) group.episodes.push_back(heading);
  for (RoleGroup& known : roles) {
    if (!SameRole(known, group)) continue;
    if (!heading.empty() &&
        std::find(known.episodes.begin(), known.episodes.end(), heading) == known.episodes.end()) {
      known.episodes.push_back(heading);
    }
    return;
  }
  roles.push_back(std::move(group));
}

namespace {

int32_t YearOf(Date date) {
  if (date == Date::Zero()) return 0;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  date.ToParts(year, month, day, hour, minute, second);
  return year;
}

// Gathers lines per person and per work.
class Gatherer {
 public:
  Gatherer(const Namesakes& namesakes, std::string common_name)
      : namesakes_(namesakes), common_name_(std::move(common_name)) {}

  // The line of `work` of the person the credit names; `describe` fills a new line.
  template <class Describe>
  WorkLine& LineOf(const Credit& credit, bool episode, Describe describe) {
    const Person person = namesakes_.Resolve(common_name_, credit.birth_year);
    const std::string person_key = PersonLabel(person);
    auto [found, added] = person_at_.try_emplace(person_key, people_.size());
    if (added) people_.push_back({person, {}, 0, 0});
    PersonWorks& works = people_[found->second];
    const std::string work_key = person_key + '\x1f' + (episode ? "e" : "t") + FoldKey(credit.work);
    auto [line_at, new_line] = line_at_.try_emplace(work_key, works.lines.size());
    if (new_line) {
      WorkLine line;
      line.episode = episode;
      line.id = credit.work;
      describe(line);
      works.lines.push_back(std::move(line));
      sort_keys_[work_key] = SortKeyOf(works.lines.back());
    }
    return works.lines[line_at->second];
  }

  std::vector<PersonWorks> Finish() {
    for (PersonWorks& works : people_) {
      const std::string person_key = PersonLabel(works.person);
      std::vector<std::pair<std::string, WorkLine>> keyed;
      for (WorkLine& line : works.lines) {
        const std::string key = person_key + '\x1f' + (line.episode ? "e" : "t") + FoldKey(line.id);
        keyed.emplace_back(sort_keys_[key], std::move(line));
      }
      std::stable_sort(keyed.begin(), keyed.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      works.lines.clear();
      for (auto& [key, line] : keyed) {
        if (line.episode) {
          ++works.episodes;
        } else {
          ++works.titles;
          std::set<std::string> headings;
          for (const RoleGroup& group : line.roles) {
            headings.insert(group.episodes.begin(), group.episodes.end());
          }
          works.episodes += static_cast<int64_t>(headings.size());
        }
        works.lines.push_back(std::move(line));
      }
    }
    std::stable_sort(
        people_.begin(), people_.end(), [](const PersonWorks& a, const PersonWorks& b) {
          const auto rank = [](const Person& p) {
            return std::tuple(p.CouldBeEither() ? 2 : p.birth_year == 0 ? 1 : 0, p.birth_year);
          };
          return rank(a.person) < rank(b.person);
        });
    return std::move(people_);
  }

 private:
  // By year (unknown last), then title, then identifier.
  static std::string SortKeyOf(const WorkLine& line) {
    const std::string year = line.year == 0 ? "99999" : std::to_string(10000 + line.year);
    const std::string title =
        line.episode
            ? line.series_title + " " + tv::EpisodeLabel(line.season, line.number, line.title)
            : line.title;
    return year + '\x1f' + FoldKey(title) + '\x1f' + FoldKey(line.id);
  }

  const Namesakes& namesakes_;
  std::string common_name_;
  std::vector<PersonWorks> people_;
  std::map<std::string, size_t> person_at_, line_at_;
  std::map<std::string, std::string> sort_keys_;
};

// The episode headings of titles, by title and list: (position, caption), in position order.
using Headings =
    std::map<std::pair<std::string, bool>, std::vector<std::pair<int32_t, std::string>>>;

Headings ReadHeadings(store::CatalogueFile& database, const std::set<std::string>& titles) {
  Headings headings;
  std::vector<std::string> ids(titles.begin(), titles.end());
  // A few hundred titles a statement keeps each within the engine's limits.
  for (size_t from = 0; from < ids.size(); from += 500) {
    const std::vector<std::string> part(
        ids.begin() + static_cast<ptrdiff_t>(from),
        ids.begin() + static_cast<ptrdiff_t>(std::min(ids.size(), from + 500)));
    auto rows = database.DbOpenRecordSet(
        "SELECT ProfileID, Name, Position, IsCast FROM CastCrew WHERE Role = '" +
        std::string(kEpisodeHeading) + "' AND ProfileID IN " + NameList(part) +
        " ORDER BY ProfileID, Position");
    for (; !rows->Eof(); rows->MoveNext()) {
      headings[{FoldKey(rows->ValueAt(0).ToTextOrEmpty()), StoredCastFlag(rows->ValueAt(3))}]
          .emplace_back(rows->ValueAt(2).ToLong(), rows->ValueAt(1).ToTextOrEmpty());
    }
  }
  return headings;
}

// The caption of the episode heading a credit stands under; empty before the first heading.
std::string HeadingOf(const Headings& headings, const Credit& credit) {
  const auto found = headings.find({FoldKey(credit.work), credit.group.cast});
  if (found == headings.end()) return {};
  const auto& list = found->second;
  const auto after =
      std::upper_bound(list.begin(), list.end(), credit.position,
                       [](int32_t position, const std::pair<int32_t, std::string>& h) {
                         return position < h.first;
                       });
  return after == list.begin() ? std::string() : std::prev(after)->second;
}

}  // namespace

std::string RoleText(const RoleGroup& group, size_t max_episodes) {
  std::string text =
      group.role.empty() ? std::string(group.cast ? "(no role)" : "(no job)") : group.role;
  std::vector<std::string> marks;
  if (group.voice) marks.emplace_back("voice");
  if (group.uncredited) marks.emplace_back("uncredited");
  if (group.credit_only) marks.emplace_back("credit only");
  if (!marks.empty()) {
    text += " (";
    for (size_t i = 0; i < marks.size(); ++i) text += (i ? ", " : "") + marks[i];
    text += ")";
  }
  if (group.episodes.empty()) return text;
  const size_t count = group.episodes.size();
  text += ", " + std::to_string(count) + (count == 1 ? " episode: " : " episodes: ");
  for (size_t i = 0; i < count; ++i) {
    if (max_episodes > 0 && i == max_episodes) {
      text += ", …";
      break;
    }
    text += (i ? ", " : "") + group.episodes[i];
  }
  return text;
}

PersonAppearances ReadPersonAppearances(store::CatalogueFile& database, std::string_view name,
                                        const AppearanceFilter& filter) {
  const PersonNames names = NamesOf(database, name);
  const Namesakes namesakes = ReadNamesakes(database, names);
  const int16_t schema = database.SchemaNumber();
  const int32_t work_at = schema >= 88 ? 8 : 7;
  Gatherer gatherer(namesakes, names.common_name);
  const bool any_credit = filter.cast || filter.crew;

  if (filter.profiles && any_credit) {
    std::vector<std::pair<Credit, std::tuple<std::string, int32_t>>> credits;
    std::set<std::string> titles;
    auto rows = database.DbOpenRecordSet(
        "SELECT " + CreditColumns(schema) +
        ", c.ProfileID, p.Title, p.ProdYear FROM CastCrew c INNER JOIN Profiles p ON "
        "p.ProfileID = c.ProfileID WHERE c.Name IN " +
        NameList(names.names) + " ORDER BY c.ProfileID, c.IsCast DESC, c.Position");
    for (; !rows->Eof(); rows->MoveNext()) {
      Credit credit = ReadCredit(*rows, schema, work_at);
      if (IsListHeading(credit.group.role) || !Wanted(credit, filter)) continue;
      titles.insert(credit.work);
      const Variant year = rows->ValueAt(work_at + 2);
      credits.emplace_back(std::move(credit), std::tuple(rows->ValueAt(work_at + 1).ToTextOrEmpty(),
                                                         year.IsNull() ? 0 : year.ToLong()));
    }
    rows.reset();
    const Headings headings = ReadHeadings(database, titles);
    for (const auto& entry : credits) {
      const Credit& credit = entry.first;
      const auto& title = entry.second;
      WorkLine& line = gatherer.LineOf(credit, false, [&title](WorkLine& l) {
        l.title = std::get<0>(title);
        l.year = std::get<1>(title);
      });
      AddRole(line.roles, credit.group, HeadingOf(headings, credit));
    }
  }

  if (filter.episodes && any_credit) {
    std::string sql =
        "SELECT " + CreditColumns(schema) +
        ", c.EpisodeID, e.SeriesID, e.Season, e.EpisodeNo, e.EpisodeTitle, e.Airdate, s.Title "
        "FROM (TVCastCrew c INNER JOIN Episodes e ON e.EpisodeID = c.EpisodeID) LEFT JOIN TVSeries "
        "s ON s.SeriesID = e.SeriesID WHERE c.Name IN " +
        NameList(names.names);
    if (filter.only_assigned_episodes) {
      sql += " AND EXISTS (SELECT * FROM Profile2Episodes pe WHERE pe.EpisodeID = c.EpisodeID)";
    }
    // Episodes derived from a title's headings hold the title's credits again: the title's line
    // names them already.
    if (filter.profiles) {
      sql +=
          " AND NOT EXISTS (SELECT * FROM MetaInfo m WHERE m.ProfileID = c.EpisodeID AND "
          "m.InfoName = '" +
          std::string(tv::kDerivedEntry) + "')";
    }
    auto rows = database.DbOpenRecordSet(
        sql +
        " ORDER BY e.SeriesID, e.Season, e.EpisodeNo, c.EpisodeID, c.IsCast DESC, c.Position");
    for (; !rows->Eof(); rows->MoveNext()) {
      Credit credit = ReadCredit(*rows, schema, work_at);
      if (IsListHeading(credit.group.role) || !Wanted(credit, filter)) continue;
      WorkLine& line = gatherer.LineOf(credit, true, [&](WorkLine& l) {
        l.show_id = rows->ValueAt(work_at + 1).ToTextOrEmpty();
        l.season = rows->ValueAt(work_at + 2).ToTextOrEmpty();
        l.number = rows->ValueAt(work_at + 3).ToTextOrEmpty();
        l.title = rows->ValueAt(work_at + 4).ToTextOrEmpty();
        const Variant aired = rows->ValueAt(work_at + 5);
        l.airdate = aired.IsNull() || aired.IsEmpty() ? Date::Zero() : aired.ToDate();
        l.year = YearOf(l.airdate);
        l.series_title = rows->ValueAt(work_at + 6).ToTextOrEmpty();
      });
      AddRole(line.roles, credit.group, {});
    }
  }
  return {std::string(name), names.common_name, gatherer.Finish()};
}

}  // namespace zel::people
