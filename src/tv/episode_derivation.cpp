#include "tv/episode_derivation.h"

#include <algorithm>
#include <set>
#include <vector>

#include "frame/error.h"
#include "frame/text.h"
#include "frame/variant.h"
#include "store/catalogue_file.h"
#include "store/connection.h"
#include "store/text_helpers.h"
#include "tv/episode.h"
#include "tv/episode_captions.h"
#include "tv/tv_corrections.h"

namespace zel::tv {
namespace {

constexpr std::string_view kEpisodeHeading = "[DivEpisode]";
// In an episode's mark, between its place in the order of discs and the title its credits come
// from.
constexpr char kOwnerSeparator = '\x1f';

std::string OwnerOf(std::string_view mark) {
  const size_t separator = mark.find(kOwnerSeparator);
  return separator == std::string_view::npos ? std::string()
                                             : std::string(mark.substr(separator + 1));
}

// One credit as an episode keeps it: its position is its place in the episode's list.
struct CreditRow {
  std::string name, role;
  int32_t birth_year = 0;
  bool voice = false, uncredited = false, credit_only = false;
  bool operator==(const CreditRow&) const = default;
};

struct Segment {
  std::string suffix;  // the episode's identifier after its series' and a "/"
  std::string season, number, title;
  std::vector<CreditRow> cast, crew;
};

std::string Quoted(std::string_view text) { return "'" + QuoteSql(text) + "'"; }

// The first column of every row of a query, as texts.
std::vector<std::string> Column(store::CatalogueFile& database, const std::string& sql) {
  std::vector<std::string> values;
  auto rows = database.DbOpenRecordSet(sql);
  for (; !rows->Eof(); rows->MoveNext()) values.push_back(rows->ValueAt(0).ToTextOrEmpty());
  return values;
}

// A sort key that orders the numbers inside a text by value ("Disc 2" before "Disc 10").
std::string NaturalKey(std::string_view text) {
  const std::string folded = FoldKey(text);
  std::string key;
  for (size_t i = 0; i < folded.size();) {
    if (folded[i] < '0' || folded[i] > '9') {
      key += folded[i++];
      continue;
    }
    size_t end = i;
    while (end < folded.size() && folded[end] >= '0' && folded[end] <= '9') ++end;
    const std::string digits = folded.substr(i, end - i);
    key += std::string(digits.size() < 6 ? 6 - digits.size() : 0, '0') + digits;
    i = end;
  }
  return key;
}

std::string Index4(size_t index) {
  std::string text = std::to_string(index);
  return std::string(text.size() < 4 ? 4 - text.size() : 0, '0') + text;
}

// The series a title's episodes belong to.
struct SeriesChoice {
  std::string title, original_title, season;
};

// Whether series title `whole` begins with the words of `start` ("Band of Brothers: Currahee" and
// "Band of Brothers").
bool BeginsWithSeries(std::string_view whole, std::string_view start) {
  const std::string a = SeriesKey(whole), b = SeriesKey(start);
  return !b.empty() && a.starts_with(b) && (a.size() == b.size() || a[b.size()] == '-');
}

SeriesChoice ChooseSeries(const std::string& title, const std::string& original,
                          const std::string* parent_title, const std::string* parent_original) {
  const SeriesTitle own = ReadSeriesTitle(title);
  SeriesChoice choice{own.title, ReadSeriesTitle(original).title, own.season};
  if (parent_title) {
    const SeriesTitle parent = ReadSeriesTitle(*parent_title);
    if (!parent.title.empty() && (own.title.empty() || BeginsWithSeries(own.title, parent.title))) {
      choice.title = parent.title;
      choice.original_title = ReadSeriesTitle(*parent_original).title;
      if (choice.season.empty()) choice.season = parent.season;
    }
  }
  if (choice.title.empty()) choice.title = Trim(title);
  if (choice.original_title.empty()) choice.original_title = choice.title;
  return choice;
}

class Deriver {
 public:
  explicit Deriver(store::CatalogueFile& database)
      : database_(database), schema_(database.SchemaNumber()) {}

  DerivationCounts counts;

  void DeriveTitle(std::string_view profile_id, bool headings_possible) {
    const std::string folded = FoldKey(profile_id);
    if (!in_progress_.insert(folded).second) return;
    std::vector<Segment> segments;
    std::string series_id, order_base;
    if (headings_possible) segments = ReadSegments(profile_id, series_id, order_base);
    std::set<std::string> held;
    const std::vector<std::string> linked = LinkedDerived(profile_id);
    for (size_t i = 0; i < segments.size(); ++i) {
      const std::string episode_id = series_id + "/" + segments[i].suffix;
      if (Place(profile_id, episode_id, series_id, segments[i], linked,
                order_base + "|" + Index4(i))) {
        held.insert(FoldKey(episode_id));
      }
    }
    if (!series_id.empty()) series_to_check_.insert(series_id);
    for (const std::string& episode_id : linked) {
      if (!held.contains(FoldKey(episode_id))) Unlink(profile_id, episode_id);
    }
    in_progress_.erase(folded);
  }

  void Release(std::string_view profile_id) {
    for (const std::string& episode_id : LinkedDerived(profile_id)) {
      Unlink(profile_id, episode_id);
    }
  }

  void RemoveEpisode(const std::string& episode_id) {
    auto row = database_.DbOpenRecordSet("SELECT SeriesID FROM Episodes WHERE EpisodeID = " +
                                         Quoted(episode_id));
    if (!row->Eof()) series_to_check_.insert(row->ValueAt(0).ToTextOrEmpty());
    row.reset();
    DeleteEpisodeRows(database_, episode_id);
    DeleteMark(episode_id);
    ++counts.episodes_removed;
  }

  void CheckSeries(const std::string& series_id) { series_to_check_.insert(series_id); }

  // Removes the derived series, among those touched, that hold no episode any more.
  void RemoveEmptySeries() {
    for (const std::string& series_id : series_to_check_) {
      if (!IsDerived(database_, series_id)) continue;
      auto episodes = database_.DbOpenRecordSet("SELECT COUNT(*) FROM Episodes WHERE SeriesID = " +
                                                Quoted(series_id));
      if (episodes->ValueAt(0).ToLong() != 0) continue;
      episodes.reset();
      database_.DbExecute("DELETE FROM TVSeries WHERE SeriesID = " + Quoted(series_id));
      DeleteMark(series_id);
      ++counts.series_removed;
    }
    series_to_check_.clear();
  }

 private:
  struct StoredCredit {
    bool cast = false;
    int32_t position = 0;
    CreditRow row;
  };

  std::vector<StoredCredit> ReadCredits(std::string_view table, std::string_view owner_column,
                                        std::string_view owner) {
    std::string columns = "Name, Role, Position, IsCast, IsVoice, IsUncredited, BirthYear";
    if (schema_ >= 88) columns += ", IsCreditOnly";
    auto rows = database_.DbOpenRecordSet("SELECT " + columns + " FROM " + std::string(table) +
                                          " WHERE " + std::string(owner_column) + " = " +
                                          Quoted(owner) + " ORDER BY Position");
    std::vector<StoredCredit> credits;
    for (; !rows->Eof(); rows->MoveNext()) {
      StoredCredit credit;
      credit.cast = StoredCastFlag(rows->ValueAt(3));
      credit.position = rows->ValueAt(2).IsNull() ? 0 : rows->ValueAt(2).ToLong();
      credit.row.name = rows->ValueAt(0).ToTextOrEmpty();
      credit.row.role = rows->ValueAt(1).ToTextOrEmpty();
      credit.row.voice = credit.cast && StoredFlag(rows->ValueAt(4));
      credit.row.uncredited = StoredFlag(rows->ValueAt(5));
      credit.row.birth_year = rows->ValueAt(6).IsNull() ? 0 : rows->ValueAt(6).ToLong();
      credit.row.credit_only = schema_ >= 88 && StoredFlag(rows->ValueAt(7));
      credits.push_back(std::move(credit));
    }
    return credits;
  }

  // The title's episodes as its lists head them; empty when they hold no episode heading. Gives
  // the series they belong to (created when new) and the title's place in the order of discs.
  std::vector<Segment> ReadSegments(std::string_view profile_id, std::string& series_id,
                                    std::string& order_base) {
    const std::vector<StoredCredit> credits = ReadCredits("CastCrew", "ProfileID", profile_id);
    const bool headings = std::any_of(credits.begin(), credits.end(), [](const StoredCredit& c) {
      return c.row.role == kEpisodeHeading;
    });
    if (!headings) return {};
    auto profile = database_.DbOpenRecordSet(
        "SELECT Title, OriginalTitle, SortTitle FROM Profiles WHERE ProfileID = " +
        Quoted(profile_id));
    if (profile->Eof()) return {};
    const std::string title = profile->ValueAt(0).ToTextOrEmpty();
    const std::string original = profile->ValueAt(1).ToTextOrEmpty();
    const std::string sort_title = profile->ValueAt(2).ToTextOrEmpty();
    profile.reset();
    auto parent = database_.DbOpenRecordSet(
        "SELECT p.Title, p.OriginalTitle FROM BoxSet b INNER JOIN Profiles p ON p.ProfileID = "
        "b.BoxSetID WHERE b.ChildID = " +
        Quoted(profile_id));
    std::string parent_title, parent_original;
    const bool has_parent = !parent->Eof();
    if (has_parent) {
      parent_title = parent->ValueAt(0).ToTextOrEmpty();
      parent_original = parent->ValueAt(1).ToTextOrEmpty();
    }
    parent.reset();
    ++counts.titles;
    const SeriesChoice series = ChooseSeries(title, original, has_parent ? &parent_title : nullptr,
                                             has_parent ? &parent_original : nullptr);
    series_id = ResolveSeries(series);
    order_base = NaturalKey(sort_title.empty() ? title : sort_title);

    std::vector<Segment> segments;
    for (const bool cast : {true, false}) {
      Segment* current = nullptr;
      for (const StoredCredit& credit : credits) {
        if (credit.cast != cast) continue;
        if (credit.row.role == kEpisodeHeading) {
          current = &SegmentOf(segments, credit.row.name, series.season);
          continue;
        }
        // Credits before the first heading are the title's own.
        if (current) (cast ? current->cast : current->crew).push_back(credit.row);
      }
    }
    return segments;
  }

  static Segment& SegmentOf(std::vector<Segment>& segments, const std::string& caption,
                            const std::string& title_season) {
    EpisodeCaption parsed = ParseEpisodeCaption(caption);
    if (parsed.season.empty()) parsed.season = title_season;
    std::string suffix;
    if (!parsed.number.empty()) {
      suffix = parsed.season + "." + parsed.number;
    } else {
      const std::string slug = SeriesKey(parsed.title);
      suffix = parsed.season + "/" + (slug.empty() ? "untitled" : slug);
    }
    for (Segment& segment : segments) {
      if (EqualsFolded(segment.suffix, suffix)) return segment;
    }
    segments.push_back({suffix, parsed.season, parsed.number, parsed.title, {}, {}});
    return segments.back();
  }

  bool SeriesExists(const std::string& series_id) {
    return database_
               .DbOpenRecordSet("SELECT SeriesID FROM TVSeries WHERE SeriesID = " +
                                Quoted(series_id))
               ->RecordCount() != 0;
  }

  // The series of this key: the one a correction merged it into, the derived series of the key,
  // or a new one. An identifier a host's series already holds is left to the host.
  std::string ResolveSeries(const SeriesChoice& choice) {
    const std::string key = SeriesKey(choice.title).empty() ? "untitled" : SeriesKey(choice.title);
    const std::string base = std::string(kSeriesIdPrefix) + key;
    for (int n = 1; n <= 100; ++n) {
      const std::string id = n == 1 ? base : base + "~" + std::to_string(n);
      const std::string merged = database_.ReadMetaInfoByProfileID(id, kMergedIntoEntry);
      if (!merged.empty() && SeriesExists(merged) && IsDerived(database_, merged)) return merged;
      if (!SeriesExists(id)) {
        const std::string corrected = database_.ReadMetaInfoByProfileID(id, kCorrectedTitleEntry);
        const std::string& title = corrected.empty() ? choice.title : corrected;
        database_.DbExecute(
            "INSERT INTO TVSeries (SeriesID, OriginalTitle, Title, SortTitle, OriginalSortTitle) "
            "VALUES (" +
            Quoted(id) + ", " + Quoted(choice.original_title) + ", " + Quoted(title) + ", " +
            Quoted(title) + ", " + Quoted(choice.original_title) + ")");
        WriteMark(id, key);
        ++counts.series_added;
        return id;
      }
      if (database_.ReadMetaInfoByProfileID(id, kDerivedEntry) == key) return id;
    }
    Raise(errc::kInvalidArgument, "No identifier is free for the series '" + choice.title + "'");
  }

  // The derived episodes the title is linked to.
  std::vector<std::string> LinkedDerived(std::string_view profile_id) {
    return Column(database_,
                  "SELECT pe.EpisodeID FROM Profile2Episodes pe INNER JOIN MetaInfo m ON "
                  "m.ProfileID = pe.EpisodeID WHERE pe.ProfileID = " +
                      Quoted(profile_id) + " AND m.InfoName = " + Quoted(kDerivedEntry));
  }

  bool IsLinked(const std::string& profile_id, const std::string& episode_id) {
    return database_
               .DbOpenRecordSet("SELECT EpisodeID FROM Profile2Episodes WHERE ProfileID = " +
                                Quoted(profile_id) + " AND EpisodeID = " + Quoted(episode_id))
               ->RecordCount() != 0;
  }

  // The title with the lowest ProfileID among those holding the episode; empty when none does.
  std::string Owner(const std::string& episode_id) {
    auto row = database_.DbOpenRecordSet(
        "SELECT MIN(ProfileID) FROM Profile2Episodes WHERE EpisodeID = " + Quoted(episode_id));
    return row->Eof() ? std::string() : row->ValueAt(0).ToTextOrEmpty();
  }

  // Makes the episode of `segment` exist, linked to the title, and, when the title is the one
  // its credits come from, as the segment says. False when a host's episode holds the identifier.
  bool Place(std::string_view profile_id, const std::string& episode_id,
             const std::string& series_id, const Segment& segment,
             const std::vector<std::string>& linked, const std::string& order) {
    auto row = database_.DbOpenRecordSet("SELECT EpisodeTitle FROM Episodes WHERE EpisodeID = " +
                                         Quoted(episode_id));
    const bool created = row->Eof();
    const std::string stored_title = created ? std::string() : row->ValueAt(0).ToTextOrEmpty();
    row.reset();
    const std::string mark =
        created ? std::string() : database_.ReadMetaInfoByProfileID(episode_id, kDerivedEntry);
    if (!created && mark.empty()) return false;
    const std::string corrected =
        database_.ReadMetaInfoByProfileID(episode_id, kCorrectedTitleEntry);
    const std::string& title = corrected.empty() ? segment.title : corrected;
    if (created) {
      database_.DbExecute(
          "INSERT INTO Episodes (EpisodeID, EpisodeNo, EpisodeTitle, EpisodeOriginalTitle, Season, "
          "SeriesID) VALUES (" +
          Quoted(episode_id) + ", " + Quoted(segment.number) + ", " + Quoted(title) + ", '', " +
          Quoted(segment.season) + ", " + Quoted(series_id) + ")");
      ++counts.episodes_added;
    }
    const bool is_linked = std::any_of(linked.begin(), linked.end(), [&](const std::string& id) {
      return EqualsFolded(id, episode_id);
    });
    if (!is_linked) {
      database_.DbExecute("INSERT INTO Profile2Episodes (ProfileID, EpisodeID) VALUES (" +
                          Quoted(profile_id) + ", " + Quoted(episode_id) + ")");
      ++counts.links_added;
    }
    // The title that gives the episode its credits is the one with the lowest ProfileID, recorded
    // in the mark, so that a disc of many releases needs no search of them all.
    const std::string owner = OwnerOf(mark);
    if (!owner.empty() && FoldKey(owner) < FoldKey(profile_id) && IsLinked(owner, episode_id)) {
      return true;
    }
    bool changed = false;
    if (!created && stored_title != title) {
      database_.DbExecute("UPDATE Episodes SET EpisodeTitle = " + Quoted(title) +
                          " WHERE EpisodeID = " + Quoted(episode_id));
      changed = true;
    }
    const std::string new_mark = order + kOwnerSeparator + std::string(profile_id);
    if (mark != new_mark) WriteMark(episode_id, new_mark);
    if (created || !SameCredits(episode_id, segment)) {
      WriteCredits(episode_id, segment);
      changed = true;
    }
    if (changed && !created) ++counts.episodes_changed;
    return true;
  }

  bool SameCredits(const std::string& episode_id, const Segment& segment) {
    const std::vector<StoredCredit> stored = ReadCredits("TVCastCrew", "EpisodeID", episode_id);
    size_t cast = 0, crew = 0;
    for (const StoredCredit& credit : stored) {
      const std::vector<CreditRow>& wanted = credit.cast ? segment.cast : segment.crew;
      size_t& next = credit.cast ? cast : crew;
      if (next >= wanted.size() || credit.position != static_cast<int32_t>(next) + 1 ||
          !(credit.row == wanted[next])) {
        return false;
      }
      ++next;
    }
    return cast == segment.cast.size() && crew == segment.crew.size();
  }

  // Through a record set, as the import writes credits: many rows of one shape.
  void WriteCredits(const std::string& episode_id, const Segment& segment) {
    database_.DbExecute("DELETE FROM TVCastCrew WHERE EpisodeID = " + Quoted(episode_id));
    const auto flag = [this](bool value) {
      return schema_ < 76 ? Variant(BoolText(value)) : Variant(value);
    };
    auto records = database_.DbOpenRecordSet("SELECT * FROM TVCastCrew WHERE EpisodeID = " +
                                             Quoted(episode_id));
    for (const bool cast : {true, false}) {
      const std::vector<CreditRow>& rows = cast ? segment.cast : segment.crew;
      for (size_t i = 0; i < rows.size(); ++i) {
        const CreditRow& row = rows[i];
        records->AddNew();
        records->SetValue("EpisodeID", Variant(episode_id));
        records->SetValue("Name", Variant(row.name));
        records->SetValue("Role", Variant(row.role));
        records->SetValue("Position", Variant(static_cast<int32_t>(i + 1)));
        records->SetValue("IsCast", schema_ < 76 ? Variant(cast ? "yes" : "no") : Variant(cast));
        records->SetValue("IsVoice", flag(row.voice));
        records->SetValue("IsUncredited", flag(row.uncredited));
        if (schema_ >= 79) records->SetValue("IsRegular", Variant(false));
        if (schema_ >= 88) records->SetValue("IsCreditOnly", Variant(row.credit_only));
        records->SetValue("BirthYear", Variant(row.birth_year));
        records->Update();
      }
    }
  }

  void Unlink(std::string_view profile_id, const std::string& episode_id) {
    database_.DbExecute("DELETE FROM Profile2Episodes WHERE ProfileID = " + Quoted(profile_id) +
                        " AND EpisodeID = " + Quoted(episode_id));
    ++counts.links_removed;
    const std::string owner = Owner(episode_id);
    if (owner.empty()) {
      RemoveEpisode(episode_id);
    } else {
      // The title that now gives the episode its credits writes them (nothing when they agree).
      DeriveTitle(owner, true);
    }
  }

  void WriteMark(const std::string& id, const std::string& value) {
    database_.WriteMetaInfoByProfileID(id, kDerivedEntry, value);
  }
  void DeleteMark(const std::string& id) {
    database_.DbExecute("DELETE FROM MetaInfo WHERE ProfileID = " + Quoted(id) +
                        " AND InfoName = " + Quoted(kDerivedEntry));
  }

  store::CatalogueFile& database_;
  int16_t schema_;
  std::set<std::string> in_progress_;  // folded ProfileIDs being derived
  std::set<std::string> series_to_check_;
};

int64_t CountOf(store::CatalogueFile& database, const std::string& sql) {
  auto row = database.DbOpenRecordSet(sql);
  return row->Eof() ? 0 : row->ValueAt(0).ToLong();
}

}  // namespace

bool DerivationCounts::Changed() const {
  return series_added + series_removed + episodes_added + episodes_changed + episodes_removed +
             links_added + links_removed !=
         0;
}

DerivationCounts& DerivationCounts::operator+=(const DerivationCounts& other) {
  titles += other.titles;
  series_added += other.series_added;
  series_removed += other.series_removed;
  episodes_added += other.episodes_added;
  episodes_changed += other.episodes_changed;
  episodes_removed += other.episodes_removed;
  links_added += other.links_added;
  links_removed += other.links_removed;
  return *this;
}

DerivationCounts DeriveTitleEpisodes(store::CatalogueFile& database, std::string_view profile_id,
                                     bool headings_possible) {
  Deriver deriver(database);
  deriver.DeriveTitle(profile_id, headings_possible);
  deriver.RemoveEmptySeries();
  return deriver.counts;
}

DerivationCounts DeriveBoxSetParts(store::CatalogueFile& database, std::string_view box_id) {
  const std::vector<std::string> parts = Column(
      database,
      "SELECT DISTINCT b.ChildID FROM BoxSet b INNER JOIN CastCrew c ON c.ProfileID = b.ChildID "
      "WHERE b.BoxSetID = " +
          Quoted(box_id) + " AND c.Role = " + Quoted(kEpisodeHeading));
  Deriver deriver(database);
  for (const std::string& part : parts) deriver.DeriveTitle(part, true);
  deriver.RemoveEmptySeries();
  return deriver.counts;
}

DerivationSummary DeriveAllEpisodes(store::CatalogueFile& database) {
  store::WriteScope scope(database.connection());
  Deriver deriver(database);
  // Every title with an episode heading, and every title linked to a derived episode (which may
  // have lost its headings); each once, in ProfileID order.
  std::set<std::string> seen;
  std::vector<std::string> titles;
  for (const std::string& sql :
       {"SELECT DISTINCT ProfileID FROM CastCrew WHERE Role = " + Quoted(kEpisodeHeading),
        "SELECT DISTINCT pe.ProfileID FROM Profile2Episodes pe INNER JOIN MetaInfo m ON "
        "m.ProfileID = pe.EpisodeID WHERE m.InfoName = " +
            Quoted(kDerivedEntry)}) {
    for (std::string& id : Column(database, sql)) {
      if (seen.insert(FoldKey(id)).second) titles.push_back(std::move(id));
    }
  }
  std::sort(titles.begin(), titles.end(),
            [](const std::string& a, const std::string& b) { return FoldKey(a) < FoldKey(b); });
  for (const std::string& title : titles) deriver.DeriveTitle(title, true);

  // Derived episodes no title holds, and derived series without episodes (a title removed by
  // other means than the library's).
  for (const std::string& orphan :
       Column(database,
              "SELECT e.EpisodeID FROM Episodes e INNER JOIN MetaInfo m ON m.ProfileID = "
              "e.EpisodeID WHERE m.InfoName = " +
                  Quoted(kDerivedEntry) +
                  " AND NOT EXISTS (SELECT * FROM Profile2Episodes pe WHERE pe.EpisodeID = "
                  "e.EpisodeID)")) {
    deriver.RemoveEpisode(orphan);
  }
  for (const std::string& series :
       Column(database,
              "SELECT s.SeriesID FROM TVSeries s INNER JOIN MetaInfo m ON m.ProfileID = "
              "s.SeriesID WHERE m.InfoName = " +
                  Quoted(kDerivedEntry))) {
    deriver.CheckSeries(series);
  }
  deriver.RemoveEmptySeries();

  DerivationSummary summary;
  summary.changes = deriver.counts;
  const std::string derived_episodes =
      "FROM Episodes e INNER JOIN MetaInfo m ON m.ProfileID = e.EpisodeID WHERE m.InfoName = " +
      Quoted(kDerivedEntry);
  summary.series = CountOf(database,
                           "SELECT COUNT(*) FROM TVSeries s INNER JOIN MetaInfo m ON m.ProfileID = "
                           "s.SeriesID WHERE m.InfoName = " +
                               Quoted(kDerivedEntry));
  summary.episodes = CountOf(database, "SELECT COUNT(*) " + derived_episodes);
  summary.seasons =
      CountOf(database, "SELECT COUNT(*) FROM (SELECT DISTINCT e.SeriesID, e.Season " +
                            derived_episodes + ")");
  scope.Commit();
  return summary;
}

void ReleaseTitleEpisodes(store::CatalogueFile& database, std::string_view profile_id) {
  Deriver deriver(database);
  deriver.Release(profile_id);
  deriver.RemoveEmptySeries();
}

bool IsDerived(store::CatalogueFile& database, std::string_view id) {
  return database
             .DbOpenRecordSet("SELECT InfoValue FROM MetaInfo WHERE ProfileID = " + Quoted(id) +
                              " AND InfoName = " + Quoted(kDerivedEntry))
             ->RecordCount() != 0;
}

}  // namespace zel::tv
