#include "model/box_sets.h"

#include <algorithm>
#include <functional>
#include <set>
#include <tuple>
#include <unordered_map>

#include "frame/text.h"
#include "frame/variant.h"
#include "store/catalogue_file.h"
#include "store/text_helpers.h"

namespace zel::model {
namespace {

std::string Quoted(std::string_view text) { return "'" + QuoteSql(text) + "'"; }

std::string InList(const std::vector<std::string>& ids) {
  std::string list = "(";
  for (const std::string& id : ids) list += (list.size() > 1 ? ", " : "") + Quoted(id);
  return list + ")";
}

// The profiles' own fields; `where` narrows the rows (empty: every profile).
std::vector<TitleEntry> ReadEntries(store::CatalogueFile& database, const std::string& where) {
  const bool count_as = database.SchemaNumber() >= 88;
  auto rows = database.DbOpenRecordSet(
      std::string("SELECT ProfileID, Title, SortTitle, ProdYear, Medium, ColType") +
      (count_as ? ", CountAs" : "") + " FROM Profiles" + where);
  std::vector<TitleEntry> entries;
  for (; !rows->Eof(); rows->MoveNext()) {
    TitleEntry entry;
    entry.profile_id = rows->ValueAt(0).ToTextOrEmpty();
    entry.title = rows->ValueAt(1).ToTextOrEmpty();
    entry.sort_title = rows->ValueAt(2).ToTextOrEmpty();
    if (entry.sort_title.empty()) entry.sort_title = entry.title;
    entry.year = rows->ValueAt(3).IsNull() ? 0 : rows->ValueAt(3).ToLong();
    entry.medium = rows->ValueAt(4).ToTextOrEmpty();
    entry.collection_type = CollectionTypeName(rows->ValueAt(5).ToTextOrEmpty());
    if (count_as && !rows->ValueAt(6).IsNull()) entry.count_as = rows->ValueAt(6).ToLong();
    entries.push_back(std::move(entry));
  }
  return entries;
}

void SortEntries(std::vector<TitleEntry>& entries) {
  std::sort(entries.begin(), entries.end(), [](const TitleEntry& a, const TitleEntry& b) {
    return std::tuple(FoldKey(a.sort_title), FoldKey(a.title), FoldKey(a.profile_id)) <
           std::tuple(FoldKey(b.sort_title), FoldKey(b.title), FoldKey(b.profile_id));
  });
}

int64_t CountOf(int32_t count_as) { return std::max<int32_t>(count_as, 0); }

// The catalogue's profiles, box-set rows and regions, read for a set of profiles or all of them.
class Catalogue {
 public:
  Catalogue(store::CatalogueFile& database, const std::string& where, const std::string& box_where,
            const std::string& region_where)
      : entries_(ReadEntries(database, where)) {
    for (size_t i = 0; i < entries_.size(); ++i) at_[FoldKey(entries_[i].profile_id)] = i;
    auto regions = database.DbOpenRecordSet("SELECT ProfileID, Region FROM Regions" + region_where +
                                            " ORDER BY ProfileID, Region");
    for (; !regions->Eof(); regions->MoveNext()) {
      if (TitleEntry* entry = Find(regions->ValueAt(0).ToTextOrEmpty())) {
        entry->regions.push_back(regions->ValueAt(1).ToTextOrEmpty());
      }
    }
    auto boxes = database.DbOpenRecordSet("SELECT ChildID, BoxSetID FROM BoxSet" + box_where);
    for (; !boxes->Eof(); boxes->MoveNext()) {
      const std::string child = boxes->ValueAt(0).ToTextOrEmpty();
      TitleEntry* box = Find(boxes->ValueAt(1).ToTextOrEmpty());
      if (!box) continue;
      if (TitleEntry* part = Find(child)) {
        part->box_set_id = box->profile_id;
        ++box->part_count;
        parts_[FoldKey(box->profile_id)].push_back(at_[FoldKey(child)]);
      } else {
        box->missing_parts.push_back(child);
      }
    }
  }

  TitleEntry* Find(const std::string& id) {
    const auto found = at_.find(FoldKey(id));
    return found == at_.end() ? nullptr : &entries_[found->second];
  }

  // The entry with its parts inside; `placed` notes every profile placed, against loops.
  TitleEntry Nested(size_t index, std::set<size_t>& placed) {
    placed.insert(index);
    TitleEntry entry = entries_[index];
    const auto parts = parts_.find(FoldKey(entry.profile_id));
    if (parts != parts_.end()) {
      for (size_t part : parts->second) {
        if (!placed.contains(part)) entry.parts.push_back(Nested(part, placed));
      }
    }
    SortEntries(entry.parts);
    std::sort(entry.missing_parts.begin(), entry.missing_parts.end());
    return entry;
  }

  std::vector<TitleEntry>& entries() { return entries_; }
  bool HasParts(const TitleEntry& entry) const {
    return parts_.contains(FoldKey(entry.profile_id));
  }

 private:
  std::vector<TitleEntry> entries_;
  std::unordered_map<std::string, size_t> at_;
  std::unordered_map<std::string, std::vector<size_t>> parts_;
};

}  // namespace

std::string CollectionTypeName(std::string_view stored) {
  const std::string text = Trim(stored);
  if (text.empty() || EqualsIgnoreCase(text, "Owned")) return "Owned";
  if (EqualsIgnoreCase(text, "OnOrder")) return "OnOrder";
  if (EqualsIgnoreCase(text, "WishList")) return "WishList";
  return text;
}

int64_t TitleEntry::Counted() const {
  int64_t counted = CountOf(count_as);
  for (const TitleEntry& part : parts) counted += part.Counted();
  return counted;
}

TitleList ReadTitleList(store::CatalogueFile& database, bool parts_as_titles) {
  Catalogue catalogue(database, "", "", "");
  TitleList list;
  TitleCounts& counts = list.counts;
  for (const TitleEntry& entry : catalogue.entries()) {
    ++counts.profiles;
    counts.counted += CountOf(entry.count_as);
    counts.counted_by_type[entry.collection_type] += CountOf(entry.count_as);
    if (catalogue.HasParts(entry)) ++counts.box_sets;
    if (!entry.box_set_id.empty()) ++counts.parts;
  }
  std::set<size_t> placed;
  for (size_t i = 0; i < catalogue.entries().size(); ++i) {
    if (catalogue.entries()[i].box_set_id.empty()) ++counts.entries;
    if (parts_as_titles) continue;
    if (catalogue.entries()[i].box_set_id.empty())
      list.titles.push_back(catalogue.Nested(i, placed));
  }
  if (parts_as_titles) {
    list.titles = catalogue.entries();
  } else {
    // Parts of box sets that are parts of one another, round in a loop, have no top: each shows
    // as a title of its own.
    for (size_t i = 0; i < catalogue.entries().size(); ++i) {
      if (!placed.contains(i)) {
        list.titles.push_back(catalogue.Nested(i, placed));
        ++counts.entries;
      }
    }
  }
  SortEntries(list.titles);
  return list;
}

std::optional<TitleEntry> ReadTitleEntry(store::CatalogueFile& database,
                                         std::string_view profile_id) {
  // The title, then its parts, and theirs, a level at a time.
  std::vector<std::string> ids{std::string(profile_id)};
  std::set<std::string> seen{FoldKey(profile_id)};
  for (size_t level = 0; level < ids.size();) {
    const std::vector<std::string> wanted(ids.begin() + static_cast<ptrdiff_t>(level), ids.end());
    level = ids.size();
    auto parts =
        database.DbOpenRecordSet("SELECT ChildID FROM BoxSet WHERE BoxSetID IN " + InList(wanted));
    for (; !parts->Eof(); parts->MoveNext()) {
      std::string child = parts->ValueAt(0).ToTextOrEmpty();
      if (seen.insert(FoldKey(child)).second) ids.push_back(std::move(child));
    }
  }
  const std::string in = InList(ids);
  Catalogue catalogue(database, " WHERE ProfileID IN " + in, " WHERE BoxSetID IN " + in,
                      " WHERE ProfileID IN " + in);
  TitleEntry* entry = catalogue.Find(std::string(profile_id));
  if (!entry) return std::nullopt;
  std::set<size_t> placed;
  TitleEntry nested =
      catalogue.Nested(static_cast<size_t>(entry - catalogue.entries().data()), placed);
  auto box = database.DbOpenRecordSet(
      "SELECT p.ProfileID FROM BoxSet b INNER JOIN Profiles p ON p.ProfileID = b.BoxSetID WHERE "
      "b.ChildID = " +
      Quoted(profile_id));
  if (!box->Eof()) nested.box_set_id = box->ValueAt(0).ToTextOrEmpty();
  return nested;
}

}  // namespace zel::model
