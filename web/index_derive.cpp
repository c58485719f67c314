// The rows of the index derived from the catalogue. This file is long because every kind of row is
// made here the same way: read what the catalogue holds of one thing, compare it with what the
// index holds of it, and write the difference.
#include "web/index_derive.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <variant>

#include "frame/text.h"
#include "model/region_codes.h"
#include "tv/episode_derivation.h"
#include "web/cells.h"
#include "web/fold.h"
#include "web/index_schema.h"
#include "web/titles.h"

namespace zel::web::index {
namespace {

using store::PlainDatabase;
using store::PlainStatement;
using Credit = Deriver::Credit;
using Contribution = Deriver::Contribution;
using Contributions = Deriver::Contributions;

constexpr std::string_view kDividerRoles[] = {"[DivGroup]", "[DivEpisode]", "[DivTeam]", "[DivEnd]",
                                              "[Divider]"};
constexpr int kTitle = 0, kEpisode = 1;

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

// Parts joined by NUL bytes, which sort before any character: the order of the parts in turn.
std::string OrderKey(std::initializer_list<std::string> parts) {
  std::string key;
  for (const std::string& part : parts) {
    if (!key.empty()) key += '\0';
    key += part;
  }
  return key;
}

std::string DigitsOf(std::string_view text) {
  std::string digits;
  for (char c : text) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits;
}

// A value written to a column: null, a number, a text or a blob.
struct Blob {
  std::string bytes;
};
using Value = std::variant<std::monostate, int64_t, std::string, Blob>;

Value Optional(const std::optional<int64_t>& value) {
  return value ? Value(*value) : Value(std::monostate());
}
Value DateValue(Date date) {
  return date == Date::Zero() ? Value(std::monostate()) : Value(FormatDate(date));
}
// A sort key of an order that begins with the lowest: missing values sort after all others.
Value LastIfMissing(bool missing, Value value) {
  return missing ? Value(Blob{}) : std::move(value);
}

// The columns of one row of an index table with their values, and a fingerprint of them.
struct RowValues {
  std::vector<const char*> columns;
  std::vector<Value> values;

  void Add(const char* column, Value value) {
    columns.push_back(column);
    values.push_back(std::move(value));
  }
  uint64_t Fingerprint() const {
    std::string all;
    for (const Value& value : values) {
      all += std::to_string(value.index()) + ":";
      if (const auto* number = std::get_if<int64_t>(&value)) all += std::to_string(*number);
      if (const auto* text = std::get_if<std::string>(&value)) all += *text;
      if (const auto* blob = std::get_if<Blob>(&value)) all += blob->bytes;
      all += '\0';
    }
    return std::hash<std::string>()(all);
  }
};

// Writes `row` as row `id` of `table` (0: a new row); returns its id.
int64_t WriteRow(PlainDatabase& db, const std::string& table, int64_t id, const RowValues& row) {
  std::string sql;
  if (id) {
    sql = "UPDATE ix." + table + " SET ";
    for (size_t i = 0; i < row.columns.size(); ++i) {
      sql += (i ? ", " : "") + std::string(row.columns[i]) + " = ?" + std::to_string(i + 1);
    }
    sql += " WHERE id = ?" + std::to_string(row.columns.size() + 1);
  } else {
    std::string names, marks;
    for (size_t i = 0; i < row.columns.size(); ++i) {
      names += (i ? ", " : "") + std::string(row.columns[i]);
      marks += (i ? ", ?" : "?") + std::to_string(i + 1);
    }
    sql = "INSERT INTO ix." + table + " (" + names + ") VALUES (" + marks + ")";
  }
  PlainStatement& write = db.Prepare(sql);
  for (size_t i = 0; i < row.values.size(); ++i) {
    const int at = static_cast<int>(i) + 1;
    const Value& value = row.values[i];
    if (const auto* number = std::get_if<int64_t>(&value)) write.Bind(at, *number);
    if (const auto* text = std::get_if<std::string>(&value)) write.Bind(at, *text);
    if (const auto* blob = std::get_if<Blob>(&value)) write.BindBlob(at, blob->bytes);
    if (std::holds_alternative<std::monostate>(value)) write.BindNull(at);
  }
  if (id) write.Bind(static_cast<int>(row.columns.size()) + 1, id);
  write.Run();
  return id ? id : db.LastInsertId();
}

void RemoveRow(PlainDatabase& db, const std::string& table, int64_t id) {
  db.Prepare("DELETE FROM ix." + table + " WHERE id = ?").Bind(1, id).Run();
}

void FtsReplace(PlainDatabase& db, const std::string& table, int64_t id, const std::string* text) {
  PlainStatement& remove = db.Prepare("DELETE FROM ix." + table + " WHERE rowid = ?");
  remove.Bind(1, id).Run();
  if (!text) return;
  PlainStatement& insert = db.Prepare("INSERT INTO ix." + table + " (rowid, text) VALUES (?, ?)");
  insert.Bind(1, id).Bind(2, *text).Run();
}

// A title's searched texts: title, original title and the digits of its UPC, folded.
struct TitleText {
  std::string title, original, upc;
};

void TitleFtsReplace(PlainDatabase& db, int64_t id, const TitleText* text) {
  db.Prepare("DELETE FROM ix.title_fts WHERE rowid = ?").Bind(1, id).Run();
  if (!text) return;
  db.Prepare("INSERT INTO ix.title_fts (rowid, title, original, upc) VALUES (?, ?, ?, ?)")
      .Bind(1, id)
      .Bind(2, text->title)
      .Bind(3, text->original)
      .Bind(4, text->upc)
      .Run();
}

// Lists of numbers as ix.parts keeps ids: each in seven-bit groups, lowest first, the high bit
// of a byte saying another follows.
void PutNumber(std::string& blob, int64_t number) {
  auto value = static_cast<uint64_t>(number);
  do {
    const auto low = static_cast<uint8_t>(value & 0x7F);
    value >>= 7;
    blob += static_cast<char>(value ? low | 0x80 : low);
  } while (value);
}
std::vector<int64_t> NumbersOf(std::string_view blob) {
  std::vector<int64_t> numbers;
  uint64_t value = 0;
  int shift = 0;
  for (char c : blob) {
    const auto byte = static_cast<uint8_t>(c);
    value |= static_cast<uint64_t>(byte & 0x7F) << shift;
    shift += 7;
    if (byte & 0x80) continue;
    numbers.push_back(static_cast<int64_t>(value));
    value = 0;
    shift = 0;
  }
  return numbers;
}

// Adds `sign` times one contribution to the tallies of collection type `collection`.
void Tallied(PlainDatabase& db, const std::pair<int, std::string>& key, const Contribution& value,
             int64_t collection, int sign) {
  PlainStatement& upsert = db.Prepare(
      "INSERT INTO ix.tallies (dimension, key, collection, value, titles, amount) VALUES (?, ?, ?, "
      "?, ?, ?) ON CONFLICT (dimension, key, collection) DO UPDATE SET titles = titles + "
      "excluded.titles, amount = amount + excluded.amount");
  upsert.Bind(1, static_cast<int64_t>(key.first))
      .Bind(2, key.second)
      .Bind(3, collection)
      .Bind(4, value.value)
      .Bind(5, static_cast<int64_t>(sign))
      .Bind(6, sign * value.amount)
      .Run();
  if (sign < 0) {
    db.Prepare(
          "DELETE FROM ix.tallies WHERE dimension = ? AND key = ? AND collection = ? AND titles "
          "<= 0")
        .Bind(1, static_cast<int64_t>(key.first))
        .Bind(2, key.second)
        .Bind(3, collection)
        .Run();
  }
}

std::optional<std::string> ReadText(PlainDatabase& db, const std::string& sql,
                                    const std::string& key) {
  PlainStatement& read = db.Prepare(sql);
  read.Bind(1, key);
  if (!read.Step() || read.IsNull(0)) return std::nullopt;
  return read.Text(0);
}

// What a title adds to the statistics and to the choices of the title list, as its row in
// ix.titles and its rows in ix.facets keep it: read back from there, the contributions of a title
// before a change are known exactly.
struct TitleFacts {
  int64_t collection = 0, year = 0, running_time = 0;
  std::string medium, initial, country, rating, purchased, currency, retail_currency;
  std::optional<int64_t> price, retail;
  std::map<std::pair<int64_t, std::string>, std::string> facets;  // (facet, folded) -> value
  int64_t count_as = 1;                                           // 1 in files that keep no CountAs
};

void AddFacet(TitleFacts& facts, Facet facet, const std::string& value) {
  if (!value.empty()) facts.facets.try_emplace({static_cast<int64_t>(facet), Fold(value)}, value);
}

// The year of a date as FormatDate writes it ("0987-05-01" gives "987"), or "" for no date.
std::string YearOf(const std::string& date) {
  int64_t year = 0;
  const auto [end, error] = std::from_chars(date.data(), date.data() + date.size(), year);
  return error == std::errc() && end != date.data() ? std::to_string(year) : std::string();
}

Contributions ContributionsOf(const TitleFacts& facts) {
  Contributions tallies;
  // Under `tally`, the value keyed without letter case and blanks.
  const auto add = [&](Tally tally, const std::string& shown, int64_t amount = 0) {
    tallies.try_emplace({static_cast<int>(tally), ToLower(Trim(shown))},
                        Contribution{Trim(shown), amount});
  };
  add(Tally::kMedium, facts.medium);
  add(Tally::kDecade, facts.year ? std::to_string(facts.year / 10 * 10) : std::string());
  add(Tally::kInitial, facts.initial);
  add(Tally::kCountry, facts.country);
  add(Tally::kRating, facts.rating);
  if (facts.price) {
    const std::string key = YearOf(facts.purchased) + "|" + ToUpper(facts.currency);
    tallies[{static_cast<int>(Tally::kSpending), key}] = {key, *facts.price};
  }
  if (facts.retail) add(Tally::kValue, ToUpper(facts.retail_currency), *facts.retail);
  if (facts.running_time) add(Tally::kRunningTime, "", facts.running_time);
  add(Tally::kCounted, "", std::max<int64_t>(0, facts.count_as));
  for (const auto& [key, value] : facts.facets) {
    switch (static_cast<Facet>(key.first)) {
      case Facet::kGenre:
        add(Tally::kGenre, value);
        break;
      case Facet::kMaker:
        add(Tally::kStudio, value);
        break;
      case Facet::kRegion:
        add(Tally::kRegion, value);
        break;
      case Facet::kAudio:
        add(Tally::kAudio, value);
        break;
      default:
        break;
    }
    if (key.first < static_cast<int64_t>(Facet::kMaker)) {
      // The choices of the title list.
      tallies.try_emplace({kFacetTally + static_cast<int>(key.first), key.second},
                          Contribution{value, 0});
    }
  }
  return tallies;
}

// The differences of two sorted lists: what only `before` has, and what only `after` has.
template <class T>
std::pair<std::vector<T>, std::vector<T>> Differences(const std::vector<T>& before,
                                                      const std::vector<T>& after) {
  std::vector<T> gone, come;
  std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                      std::back_inserter(gone));
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                      std::back_inserter(come));
  return {gone, come};
}

}  // namespace

bool IsDividerRole(std::string_view role) {
  return std::find(std::begin(kDividerRoles), std::end(kDividerRoles), role) !=
         std::end(kDividerRoles);
}

Deriver::Deriver(PlainDatabase& db) : db_(db) {}

std::optional<std::string> Deriver::AliasCommonName(const std::string& name) {
  // One step through the Alias table, as the library looks a common name up.
  const auto common = ReadText(
      db_, "SELECT CommonName FROM Alias WHERE AliasName = ? AND CommonName <> '' LIMIT 1", name);
  if (!common || common->empty()) return std::nullopt;
  return common;
}

int64_t Deriver::PersonId(const std::string& common_name) {
  const std::string key = ToLower(common_name);
  if (const auto found = person_ids_.find(key); found != person_ids_.end()) return found->second;
  PlainStatement& read = db_.Prepare("SELECT id FROM ix.people WHERE key = ?");
  read.Bind(1, key);
  int64_t id = 0;
  if (read.Step()) {
    id = read.Int(0);
  } else {
    const std::string folded = Fold(common_name);
    PlainStatement& insert =
        db_.Prepare("INSERT INTO ix.people (key, common_name, folded) VALUES (?, ?, ?)");
    insert.Bind(1, key).Bind(2, common_name).Bind(3, folded).Run();
    id = db_.LastInsertId();
    FtsReplace(db_, "person_fts", id, &folded);
  }
  person_ids_.emplace(key, id);
  return id;
}

int64_t Deriver::NameId(const std::string& name) {
  const std::string key = ToLower(name);
  if (const auto found = name_ids_.find(key); found != name_ids_.end()) return found->second;
  PlainStatement& read = db_.Prepare("SELECT id, person FROM ix.names WHERE key = ?");
  read.Bind(1, key);
  int64_t id = 0;
  if (read.Step()) {
    id = read.Int(0);
    person_of_name_[id] = read.Int(1);
  } else {
    const int64_t person = PersonId(AliasCommonName(name).value_or(name));
    const std::string folded = Fold(name);
    PlainStatement& insert =
        db_.Prepare("INSERT INTO ix.names (key, name, folded, person) VALUES (?, ?, ?, ?)");
    insert.Bind(1, key).Bind(2, name).Bind(3, folded).Bind(4, person).Run();
    id = db_.LastInsertId();
    FtsReplace(db_, "name_fts", id, &folded);
    person_of_name_[id] = person;
    ++person_deltas_[person].names;
  }
  name_ids_.emplace(key, id);
  return id;
}

int64_t Deriver::PersonOfName(int64_t name) {
  if (const auto found = person_of_name_.find(name); found != person_of_name_.end()) {
    return found->second;
  }
  PlainStatement& read = db_.Prepare("SELECT person FROM ix.names WHERE id = ?");
  read.Bind(1, name);
  const int64_t person = read.Step() ? read.Int(0) : 0;
  person_of_name_[name] = person;
  return person;
}

std::vector<int64_t> Deriver::PeopleOf(const std::vector<int64_t>& names) {
  std::vector<int64_t> people;
  for (int64_t name : names) people.push_back(PersonOfName(name));
  std::sort(people.begin(), people.end());
  people.erase(std::unique(people.begin(), people.end()), people.end());
  return people;
}

int64_t Deriver::RoleId(const std::string& role) {
  const std::string key = Fold(role);
  if (const auto found = role_ids_.find(key); found != role_ids_.end()) return found->second;
  PlainStatement& read = db_.Prepare("SELECT id FROM ix.roles WHERE key = ?");
  read.Bind(1, key);
  int64_t id = 0;
  if (read.Step()) {
    id = read.Int(0);
  } else {
    PlainStatement& insert = db_.Prepare("INSERT INTO ix.roles (key, text) VALUES (?, ?)");
    insert.Bind(1, key).Bind(2, role).Run();
    id = db_.LastInsertId();
    FtsReplace(db_, "role_fts", id, &key);
  }
  role_ids_.emplace(key, id);
  return id;
}

void Deriver::ReadCredits(const std::string& sql, const std::string& owner, Parts& parts,
                          std::string& director) {
  PlainStatement& rows = db_.Prepare(sql);
  rows.Bind(1, owner);
  std::set<int64_t> names, births;
  std::set<Credit> credits;
  int64_t director_position = INT64_MAX;
  while (rows.Step()) {
    const std::string name = rows.Text(0), role = rows.Text(1);
    if (name.empty() || IsDividerRole(role)) continue;
    const int64_t id = NameId(name);
    names.insert(id);
    births.insert(BirthKey(id, BoundedAt(rows, 4, 0, kBornSpan - 1)));
    const bool cast = FlagAt(rows, 2);
    const int64_t position = BoundedAt(rows, 3, 0, INT32_MAX);
    if (cast && !role.empty()) credits.insert({RoleId(role), position, id});
    if (!cast && EqualsIgnoreCase(role, "Director") && position < director_position) {
      director_position = position;
      director = name;
    }
  }
  parts.names.assign(names.begin(), names.end());
  parts.credits.assign(credits.begin(), credits.end());
  parts.births.assign(births.begin(), births.end());
}

std::set<int64_t> Deriver::UnitPeople(const std::string& unit, int64_t collection, int64_t except) {
  std::set<int64_t> people;
  // The unary + keeps the collection from choosing an index: while an index is being built it has
  // no statistics, and the planner would walk every title of the collection.
  PlainStatement& members = db_.Prepare(
      "SELECT p.names FROM ix.titles t JOIN ix.parts p ON p.kind = 0 AND p.id = t.id WHERE "
      "t.box_set = ?1 AND +t.collection = ?2 AND t.id IS NOT ?3 UNION ALL SELECT p.names FROM "
      "ix.titles t JOIN ix.parts p ON p.kind = 0 AND p.id = t.id WHERE t.profile_id = ?1 AND "
      "t.box_set IS NULL AND +t.collection = ?2 AND t.id IS NOT ?3");
  members.Bind(1, unit).Bind(2, collection).Bind(3, except);
  while (members.Step()) {
    for (int64_t person : PeopleOf(NumbersOf(members.Blob(0)))) people.insert(person);
  }
  members.Reset();
  return people;
}

void Deriver::CountInUnit(const std::vector<int64_t>& people, const std::string& unit,
                          int64_t collection, int64_t title, int delta) {
  if (people.empty()) return;
  const std::set<int64_t> counted = UnitPeople(unit, collection, title);
  for (int64_t person : people) {
    if (!counted.count(person)) person_deltas_[person].titles[collection] += delta;
  }
}

Deriver::Parts Deriver::ReadParts(int kind, int64_t id) {
  Parts parts;
  PlainStatement& read = db_.Prepare(
      "SELECT facts, text, names, credits, births FROM ix.parts WHERE kind = ? AND id = ?");
  read.Bind(1, static_cast<int64_t>(kind)).Bind(2, id);
  if (!read.Step()) return parts;
  parts.facts = static_cast<uint64_t>(read.Int(0));
  parts.text = static_cast<uint64_t>(read.Int(1));
  parts.names = NumbersOf(read.Blob(2));
  parts.births = NumbersOf(read.Blob(4));
  const std::vector<int64_t> credits = NumbersOf(read.Blob(3));
  for (size_t i = 0; i + 2 < credits.size(); i += 3) {
    parts.credits.push_back({credits[i], credits[i + 1], credits[i + 2]});
  }
  return parts;
}

void Deriver::WriteParts(int kind, int64_t id, const Parts& before, const Parts& after) {
  if (before.facts == after.facts && before.text == after.text && before.names == after.names &&
      before.credits == after.credits && before.births == after.births) {
    return;
  }
  std::string names, credits, births;
  for (int64_t name : after.names) PutNumber(names, name);
  for (int64_t birth : after.births) PutNumber(births, birth);
  for (const Credit& credit : after.credits) {
    PutNumber(credits, credit.role);
    PutNumber(credits, credit.position);
    PutNumber(credits, credit.name);
  }
  db_.Prepare(
         "INSERT OR REPLACE INTO ix.parts (kind, id, facts, text, names, credits, births) VALUES "
         "(?, ?, ?, ?, ?, ?, ?)")
      .Bind(1, static_cast<int64_t>(kind))
      .Bind(2, id)
      .Bind(3, static_cast<int64_t>(after.facts))
      .Bind(4, static_cast<int64_t>(after.text))
      .BindBlob(5, names)
      .BindBlob(6, credits)
      .BindBlob(7, births)
      .Run();
}

void Deriver::MoveCredits(int kind, int64_t work, const Parts& before, const Parts& after,
                          int64_t collection_before, int64_t collection_after,
                          const std::string& unit_before, const std::string& unit_after) {
  const auto [names_gone, names_come] = Differences(before.names, after.names);
  for (int64_t name : names_gone) {
    --(kind == kTitle ? name_deltas_[name].titles : name_deltas_[name].episodes);
    db_.Prepare("DELETE FROM ix.name_works WHERE name = ? AND kind = ? AND work = ?")
        .Bind(1, name)
        .Bind(2, static_cast<int64_t>(kind))
        .Bind(3, work)
        .Run();
  }
  for (int64_t name : names_come) {
    ++(kind == kTitle ? name_deltas_[name].titles : name_deltas_[name].episodes);
    db_.Prepare("INSERT OR IGNORE INTO ix.name_works (name, kind, work) VALUES (?, ?, ?)")
        .Bind(1, name)
        .Bind(2, static_cast<int64_t>(kind))
        .Bind(3, work)
        .Run();
  }
  const auto [births_gone, births_come] = Differences(before.births, after.births);
  for (const auto& [births, sql] :
       {std::pair{&births_gone,
                  "DELETE FROM ix.name_births WHERE name = ?1 AND kind = ?2 AND work = ?3 AND born "
                  "= ?4"},
        std::pair{&births_come,
                  "INSERT OR IGNORE INTO ix.name_births (name, kind, work, born) VALUES (?1, ?2, "
                  "?3, ?4)"}}) {
    PlainStatement& statement = db_.Prepare(sql);
    for (int64_t birth : *births) {
      statement.Reset();
      statement.Bind(1, birth / kBornSpan)
          .Bind(2, static_cast<int64_t>(kind))
          .Bind(3, work)
          .Bind(4, birth % kBornSpan)
          .Run();
    }
  }
  // People: a title counts once for each of its people, under its collection type, and a box
  // set with its parts once; an episode once for each of its people.
  const std::vector<int64_t> people_before = PeopleOf(before.names);
  const std::vector<int64_t> people_after = PeopleOf(after.names);
  if (kind == kTitle) {
    if (people_before != people_after || collection_before != collection_after ||
        unit_before != unit_after) {
      CountInUnit(people_before, unit_before, collection_before, work, -1);
      CountInUnit(people_after, unit_after, collection_after, work, 1);
    }
  } else {
    const auto [people_gone, people_come] = Differences(people_before, people_after);
    for (int64_t person : people_gone) --person_deltas_[person].episodes;
    for (int64_t person : people_come) ++person_deltas_[person].episodes;
  }
  const auto [credits_gone, credits_come] = Differences(before.credits, after.credits);
  for (const Credit& credit : credits_gone) {
    db_.Prepare(
           "DELETE FROM ix.role_credits WHERE role = ? AND kind = ? AND work = ? AND position = ? "
           "AND name = ?")
        .Bind(1, credit.role)
        .Bind(2, static_cast<int64_t>(kind))
        .Bind(3, work)
        .Bind(4, credit.position)
        .Bind(5, credit.name)
        .Run();
    --role_deltas_[credit.role];
  }
  for (const Credit& credit : credits_come) {
    db_.Prepare(
           "INSERT INTO ix.role_credits (role, kind, work, position, name) VALUES (?, ?, ?, ?, ?)")
        .Bind(1, credit.role)
        .Bind(2, static_cast<int64_t>(kind))
        .Bind(3, work)
        .Bind(4, credit.position)
        .Bind(5, credit.name)
        .Run();
    ++role_deltas_[credit.role];
  }
}

void Deriver::Title(const std::string& profile_id) {
  // What the index holds of the title now.
  int64_t id = 0;
  TitleFacts was;
  {
    PlainStatement& old = db_.Prepare(
        "SELECT id, collection, year, running_time, medium, initial, country, rating, purchased, "
        "currency, retail_currency, price, retail, count_as FROM ix.titles WHERE profile_id = ?");
    old.Bind(1, profile_id);
    if (old.Step()) {
      id = old.Int(0);
      was = {old.Int(1),
             old.Int(2),
             old.Int(3),
             old.Text(4),
             old.Text(5),
             old.Text(6),
             old.Text(7),
             old.Text(8),
             old.Text(9),
             old.Text(10),
             old.IsNull(11) ? std::nullopt : std::optional(old.Int(11)),
             old.IsNull(12) ? std::nullopt : std::optional(old.Int(12)),
             {},
             old.Int(13)};
    }
  }
  const bool indexed = id != 0;
  const Parts before = indexed ? ReadParts(kTitle, id) : Parts();
  std::string unit_before;
  if (indexed) {
    PlainStatement& unit =
        db_.Prepare("SELECT coalesce(box_set, profile_id) FROM ix.titles WHERE id = ?");
    unit.Bind(1, id);
    if (unit.Step()) unit_before = unit.Text(0);
    unit.Reset();
  }
  std::string unit_after;
  if (indexed) {
    PlainStatement& facets = db_.Prepare("SELECT facet, key, value FROM ix.facets WHERE title = ?");
    facets.Bind(1, id);
    while (facets.Step()) was.facets[{facets.Int(0), facets.Text(1)}] = facets.Text(2);
  }

  PlainStatement& row = db_.Prepare(
      "SELECT p.ProfileID, p.Title, p.OriginalTitle, p.SortTitle, p.ProdYear, p.Medium, "
      "p.ColType, p.UPC, p.ProfileTimestamp, p.LastEdited, p.Runtime, p.CountryOfOrigin, "
      "p.Rating, p.WishListPriority, (SELECT r.Film FROM Reviews r WHERE r.ProfileID = "
      "p.ProfileID), i.Price, i.CurrencyID, i.PurchaseDate, s.SRPValue, s.CurrencyID, EXISTS "
      "(SELECT 1 FROM LoanInfo l WHERE l.ProfileID = p.ProfileID) FROM Profiles p LEFT JOIN "
      "PurchaseInfo i ON i.ProfileID = p.ProfileID LEFT JOIN SRPInfo s ON s.ProfileID = "
      "p.ProfileID WHERE p.ProfileID = ?");
  row.Bind(1, profile_id);
  const bool exists = row.Step();
  if (!exists && !id) return;

  Parts after;
  TitleFacts now;
  now.collection = was.collection;
  std::string profile;  // as stored
  RowValues values;
  TitleText text;
  if (exists) {
    const std::string stored_id = row.Text(0), title = row.Text(1), original = row.Text(2);
    const std::string sort_title = row.Text(3), upc = row.Text(7);
    now.medium = row.Text(5);
    now.country = row.Text(11);
    now.rating = row.Text(12);
    now.year = YearAt(row, 4);
    now.collection = static_cast<int64_t>(CollectionTypeOf(row.Text(6)));
    const Date purchased = DateAt(row, 17);
    now.purchased = purchased == Date::Zero() ? std::string() : FormatDate(purchased);
    now.running_time = BoundedAt(row, 10, 1, 100000);
    const int64_t priority = BoundedAt(row, 13, 1, 1000000);
    now.price = UnitsAt(row, 15);
    now.retail = UnitsAt(row, 18);
    now.currency = row.Text(16);
    now.retail_currency = row.Text(19);
    const std::string folded_title = Fold(title), folded_original = Fold(original);
    const std::string sort_key = sort_title.empty() ? folded_title : Fold(sort_title);
    const char first = sort_key.empty() ? '#' : sort_key.front();
    now.initial =
        std::string(1, first >= 'a' && first <= 'z' ? static_cast<char>(first - 32) : '#');
    std::string director;
    ReadCredits("SELECT Name, Role, IsCast, Position, BirthYear FROM CastCrew WHERE ProfileID = ?",
                stored_id, after, director);

    values.Add("profile_id", stored_id);
    values.Add("title", title);
    values.Add("original_title", original);
    values.Add("medium", now.medium);
    values.Add("upc", upc);
    values.Add("upc_digits", DigitsOf(upc));
    values.Add("country", now.country);
    values.Add("rating", now.rating);
    values.Add("folded_title", folded_title);
    values.Add("folded_original", folded_original);
    values.Add("initial", now.initial);
    values.Add("order_key", Blob{OrderKey({sort_key, folded_title, stored_id})});
    values.Add("collection", now.collection);
    values.Add("year", now.year ? Value(now.year) : Value());
    values.Add("running_time", now.running_time ? Value(now.running_time) : Value());
    values.Add("review", Optional(WholeNumberAt(row, 14)));
    values.Add("added", DateValue(DateAt(row, 8)));
    values.Add("edited", DateValue(DateAt(row, 9)));
    values.Add("purchased", DateValue(purchased));
    values.Add("price", Optional(now.price));
    values.Add("currency", now.currency);
    values.Add("retail", Optional(now.retail));
    values.Add("retail_currency", now.retail_currency);
    values.Add("on_loan", row.Int(20) != 0 ? int64_t{1} : int64_t{0});
    values.Add("priority", priority ? Value(priority) : Value());
    values.Add("director", director);
    values.Add("sort_medium", LastIfMissing(Trim(now.medium).empty(), ToLower(Trim(now.medium))));
    values.Add("sort_director", LastIfMissing(director.empty(), Fold(director)));
    values.Add("sort_priority", LastIfMissing(priority == 0, priority));
    const auto box_set = ReadText(
        db_, "SELECT BoxSetID FROM BoxSet WHERE ChildID = ? AND BoxSetID IS NOT ChildID LIMIT 1",
        stored_id);
    values.Add("box_set", box_set ? Value(*box_set) : Value());
    unit_after = box_set.value_or(stored_id);
    if (!count_as_) {
      count_as_ = ReadText(db_,
                           "SELECT 1 FROM pragma_table_info('Profiles') WHERE name = ? COLLATE "
                           "NOCASE",
                           "CountAs")
                      .has_value();
    }
    if (*count_as_) {
      const auto count_as =
          ReadText(db_, "SELECT CountAs FROM Profiles WHERE ProfileID = ?", stored_id);
      int64_t number = 1;
      if (count_as &&
          std::from_chars(count_as->data(), count_as->data() + count_as->size(), number).ec !=
              std::errc())
        number = 1;
      now.count_as = number;
    }
    values.Add("count_as", now.count_as);
    profile = stored_id;
    after.facts = values.Fingerprint();
    text = {folded_title, folded_original, DigitsOf(upc)};
    after.text = std::hash<std::string>()(text.title + '\n' + text.original + '\n' + text.upc);

    for (const std::string& part : Split(now.medium, "/"))
      AddFacet(now, Facet::kMedium, Trim(part));
    const auto each = [&](const char* sql, const auto& read) {
      PlainStatement& rows = db_.Prepare(sql);
      rows.Bind(1, stored_id);
      while (rows.Step()) read(rows);
    };
    each("SELECT Genre FROM Genres WHERE ProfileID = ?",
         [&](const PlainStatement& rows) { AddFacet(now, Facet::kGenre, rows.Text(0)); });
    each("SELECT Studio, Type FROM Studios WHERE ProfileID = ?", [&](const PlainStatement& rows) {
      AddFacet(now, Facet::kStudio, rows.Text(0));
      // Studios proper: media companies are the discs' publishers.
      if (!EqualsIgnoreCase(rows.Text(1), "Media Company")) {
        AddFacet(now, Facet::kMaker, rows.Text(0));
      }
    });
    // A tag's full name is a path of folders ("Living Room/Shelf 3"); a title is also found
    // under each folder above its tags.
    each("SELECT TagName, FullyQualifiedName FROM Tags WHERE ProfileID = ?",
         [&](const PlainStatement& rows) {
           std::string name = rows.Text(1);
           if (name.empty()) name = rows.Text(0);
           for (size_t slash = name.find('/'); slash != std::string::npos;
                slash = name.find('/', slash + 1)) {
             if (slash > 0) AddFacet(now, Facet::kTag, name.substr(0, slash));
           }
           AddFacet(now, Facet::kTag, name);
         });
    each("SELECT Location FROM Discs WHERE ProfileID = ?",
         [&](const PlainStatement& rows) { AddFacet(now, Facet::kLocation, Trim(rows.Text(0))); });
    each("SELECT Region FROM Regions WHERE ProfileID = ?", [&](const PlainStatement& rows) {
      if (const auto region = WholeNumberAt(rows, 0)) {
        AddFacet(now, Facet::kRegion, model::RegionLabel(now.medium, std::to_string(*region)));
      }
    });
    each("SELECT Language FROM AudioFormats WHERE ProfileID = ?",
         [&](const PlainStatement& rows) { AddFacet(now, Facet::kAudio, Trim(rows.Text(0))); });
  }

  if (!exists) {
    RemoveRow(db_, "titles", id);
    TitleFtsReplace(db_, id, nullptr);
  } else if (!id || before.facts != after.facts) {
    id = WriteRow(db_, "titles", id, values);
  }
  if (exists && before.text != after.text) TitleFtsReplace(db_, id, &text);
  // Parts derived before their box set was written learn of it here, and move into its unit one
  // at a time, so that each counts against the parts moved before it.
  if (exists) {
    struct Moving {
      int64_t id, collection;
      std::string unit;
    };
    std::vector<Moving> moving;
    PlainStatement& parts = db_.Prepare(
        "SELECT id, collection, coalesce(box_set, profile_id) FROM ix.titles WHERE box_set IS NOT "
        "?1 AND profile_id IS NOT ?1 AND profile_id IN (SELECT ChildID FROM main.BoxSet WHERE "
        "BoxSetID = ?1)");
    parts.Bind(1, profile);
    while (parts.Step()) moving.push_back({parts.Int(0), parts.Int(1), parts.Text(2)});
    for (const Moving& part : moving) {
      db_.Prepare("UPDATE ix.titles SET box_set = ? WHERE id = ?")
          .Bind(1, profile)
          .Bind(2, part.id)
          .Run();
      const std::vector<int64_t> people = PeopleOf(ReadParts(kTitle, part.id).names);
      CountInUnit(people, part.unit, part.collection, part.id, -1);
      CountInUnit(people, profile, part.collection, part.id, 1);
    }
  }

  for (const auto& [key, value] : was.facets) {
    if (now.facets.count(key)) continue;
    db_.Prepare("DELETE FROM ix.facets WHERE facet = ? AND key = ? AND title = ?")
        .Bind(1, key.first)
        .Bind(2, key.second)
        .Bind(3, id)
        .Run();
  }
  for (const auto& [key, value] : now.facets) {
    const auto old = was.facets.find(key);
    if (old != was.facets.end() && old->second == value) continue;
    db_.Prepare("INSERT OR REPLACE INTO ix.facets (facet, key, title, value) VALUES (?, ?, ?, ?)")
        .Bind(1, key.first)
        .Bind(2, key.second)
        .Bind(3, id)
        .Bind(4, value)
        .Run();
  }
  // The statistics: what the title no longer adds, then what it adds anew.
  const Contributions tallies_before = indexed ? ContributionsOf(was) : Contributions();
  const Contributions tallies_after = exists ? ContributionsOf(now) : Contributions();
  const bool moved = was.collection != now.collection;
  for (const auto& [key, value] : tallies_before) {
    const auto kept = tallies_after.find(key);
    if (moved || kept == tallies_after.end() || !(kept->second == value)) {
      Tallied(db_, key, value, was.collection, -1);
    }
  }
  for (const auto& [key, value] : tallies_after) {
    const auto kept = tallies_before.find(key);
    if (moved || kept == tallies_before.end() || !(kept->second == value)) {
      Tallied(db_, key, value, now.collection, 1);
    }
  }
  MoveCredits(kTitle, id, before, after, was.collection, now.collection, unit_before, unit_after);
  if (exists) {
    WriteParts(kTitle, id, before, after);
  } else {
    db_.Prepare("DELETE FROM ix.parts WHERE kind = ? AND id = ?")
        .Bind(1, static_cast<int64_t>(kTitle))
        .Bind(2, id)
        .Run();
  }
}

void Deriver::Episode(const std::string& episode_id) {
  int64_t id = 0;
  {
    PlainStatement& old = db_.Prepare("SELECT id FROM ix.episodes WHERE episode_id = ?");
    old.Bind(1, episode_id);
    if (old.Step()) id = old.Int(0);
  }
  const Parts before = id ? ReadParts(kEpisode, id) : Parts();
  PlainStatement& row = db_.Prepare(
      "SELECT e.EpisodeID, e.SeriesID, s.Title, s.SortTitle, e.Season, e.EpisodeNo, "
      "e.EpisodeTitle, e.EpisodeOriginalTitle, e.Airdate FROM Episodes e LEFT JOIN TVSeries s ON "
      "s.SeriesID = e.SeriesID WHERE e.EpisodeID = ?");
  row.Bind(1, episode_id);
  const bool exists = row.Step();
  if (!exists && !id) return;
  Parts after;
  if (exists) {
    const std::string stored_id = row.Text(0), show_id = row.Text(1);
    const std::string title = row.Text(6), original = row.Text(7);
    const std::string folded = Fold(title) + "\n" + Fold(original);
    RowValues values;
    values.Add("episode_id", stored_id);
    values.Add("show_id", show_id);
    values.Add("series_title", row.Text(2));
    values.Add("season", row.Text(4));
    values.Add("number", row.Text(5));
    values.Add("title", title);
    values.Add("original_title", original);
    values.Add("airdate", DateValue(DateAt(row, 8)));
    values.Add("folded", folded);
    // The order of the series' lists: series sort title, series, season, number (as the
    // catalogue compares them, ignoring the case of ASCII letters).
    values.Add("order_key",
               Blob{OrderKey({AsciiLower(row.Text(3)), AsciiLower(show_id), AsciiLower(row.Text(4)),
                              AsciiLower(row.Text(5)), stored_id})});
    // A derived episode repeats credits its disc's title has already: they are the title's, and
    // count once, there.
    PlainStatement& derived =
        db_.Prepare("SELECT 1 FROM MetaInfo WHERE ProfileID = ? AND InfoName = '" +
                    std::string(tv::kDerivedEntry) + "'");
    derived.Bind(1, stored_id);
    const bool repeats_title = derived.Step();
    derived.Reset();
    std::string director;
    if (!repeats_title) {
      ReadCredits(
          "SELECT Name, Role, IsCast, Position, BirthYear FROM TVCastCrew WHERE EpisodeID = ?",
          stored_id, after, director);
    }
    after.facts = values.Fingerprint();
    after.text = std::hash<std::string>()(folded);
    if (!id || before.facts != after.facts) id = WriteRow(db_, "episodes", id, values);
    if (before.text != after.text) FtsReplace(db_, "episode_fts", id, &folded);
  } else {
    RemoveRow(db_, "episodes", id);
    FtsReplace(db_, "episode_fts", id, nullptr);
  }
  MoveCredits(kEpisode, id, before, after, 0, 0);
  if (exists) {
    WriteParts(kEpisode, id, before, after);
  } else {
    db_.Prepare("DELETE FROM ix.parts WHERE kind = ? AND id = ?")
        .Bind(1, static_cast<int64_t>(kEpisode))
        .Bind(2, id)
        .Run();
  }
}

void Deriver::SeriesRow(const std::string& show_id) {
  int64_t id = 0;
  {
    PlainStatement& old = db_.Prepare("SELECT id FROM ix.series WHERE show_id = ?");
    old.Bind(1, show_id);
    if (old.Step()) id = old.Int(0);
  }
  PlainStatement& row = db_.Prepare(
      "SELECT SeriesID, Title, OriginalTitle, SortTitle FROM TVSeries WHERE SeriesID = ?");
  row.Bind(1, show_id);
  if (!row.Step()) {
    if (id) {
      RemoveRow(db_, "series", id);
      FtsReplace(db_, "series_fts", id, nullptr);
    }
    return;
  }
  const std::string stored_id = row.Text(0), title = row.Text(1), original = row.Text(2);
  const std::string folded = Fold(title) + "\n" + Fold(original);
  RowValues values;
  values.Add("show_id", stored_id);
  values.Add("title", title);
  values.Add("original_title", original);
  values.Add("folded", folded);
  // The order of the series list: sort title, title, ShowID.
  values.Add("order_key",
             Blob{OrderKey({AsciiLower(row.Text(3)), AsciiLower(title), AsciiLower(stored_id)})});
  id = WriteRow(db_, "series", id, values);
  FtsReplace(db_, "series_fts", id, &folded);
}

void Deriver::Series(const std::string& show_id) {
  SeriesRow(show_id);
  // Its episodes show its title and sort by it.
  std::set<std::string> episodes;
  for (const char* sql : {"SELECT EpisodeID FROM Episodes WHERE SeriesID = ?",
                          "SELECT episode_id FROM ix.episodes WHERE show_id = ?"}) {
    PlainStatement& rows = db_.Prepare(sql);
    rows.Bind(1, show_id);
    while (rows.Step()) episodes.insert(rows.Text(0));
  }
  for (const std::string& episode : episodes) Episode(episode);
}

void Deriver::Alias(const std::string& name) {
  const std::optional<std::string> common = AliasCommonName(name);
  PlainStatement& read = db_.Prepare("SELECT id, person, name FROM ix.names WHERE key = ?");
  read.Bind(1, ToLower(name));
  if (!read.Step()) {
    if (!common || name.empty()) return;
    // A name of the Alias table nobody is credited under: still a name of its person.
    const int64_t id = NameId(name);
    db_.Prepare("UPDATE ix.names SET alias = 1 WHERE id = ?").Bind(1, id).Run();
    return;
  }
  const int64_t id = read.Int(0), old_person = read.Int(1);
  // The name itself, as stored, when no alias row gives it another common name.
  const int64_t new_person = PersonId(common.value_or(read.Text(2)));
  alias_touched_.push_back(id);
  db_.Prepare("UPDATE ix.names SET alias = ? WHERE id = ?")
      .Bind(1, static_cast<int64_t>(common.has_value()))
      .Bind(2, id)
      .Run();
  if (new_person == old_person) return;

  // Every title and episode crediting the name counts for the new person instead, unless another
  // of its names there counts for that person already.
  // An episode counts by itself; a title with the other titles of its box-set unit.
  struct Work {
    int64_t collection;  // -1: an episode
    std::string unit;
    std::vector<int64_t> names;
    std::set<int64_t> people;
  };
  std::vector<Work> works;
  std::set<std::pair<std::string, int64_t>> units;
  for (const int kind : {kTitle, kEpisode}) {
    PlainStatement& rows = db_.Prepare(
        kind == kEpisode
            ? "SELECT -1, p.names, NULL FROM ix.episodes e JOIN ix.parts p ON p.kind = 1 AND p.id "
              "= e.id WHERE e.episode_id IN (SELECT EpisodeID FROM TVCastCrew WHERE Name = ?)"
            : "SELECT t.collection, p.names, coalesce(t.box_set, t.profile_id) FROM ix.titles t "
              "JOIN ix.parts p ON p.kind = 0 AND p.id = t.id WHERE t.profile_id IN (SELECT "
              "ProfileID FROM CastCrew WHERE Name = ?)");
    rows.Bind(1, name);
    while (rows.Step()) {
      std::vector<int64_t> names = NumbersOf(rows.Blob(1));
      if (!std::binary_search(names.begin(), names.end(), id)) continue;
      if (kind == kTitle) {
        // A unit is looked at once, with every title in it.
        if (units.insert({rows.Text(2), rows.Int(0)}).second) {
          works.push_back({rows.Int(0), rows.Text(2), {}, {}});
        }
      } else {
        works.push_back({-1, {}, std::move(names), {}});
      }
    }
  }
  const auto people_of = [&](const Work& work) {
    if (work.collection >= 0) return UnitPeople(work.unit, work.collection, 0);
    const std::vector<int64_t> people = PeopleOf(work.names);
    return std::set<int64_t>(people.begin(), people.end());
  };
  for (Work& work : works) work.people = people_of(work);
  db_.Prepare("UPDATE ix.names SET person = ? WHERE id = ?").Bind(1, new_person).Bind(2, id).Run();
  person_of_name_[id] = new_person;
  --person_deltas_[old_person].names;
  ++person_deltas_[new_person].names;
  for (const Work& work : works) {
    const std::set<int64_t> now = people_of(work);
    for (int64_t person : work.people) {
      if (now.count(person)) continue;
      --(work.collection < 0 ? person_deltas_[person].episodes
                             : person_deltas_[person].titles[work.collection]);
    }
    for (int64_t person : now) {
      if (work.people.count(person)) continue;
      ++(work.collection < 0 ? person_deltas_[person].episodes
                             : person_deltas_[person].titles[work.collection]);
    }
  }
}

void Deriver::All(const Progress& progress) {
  std::vector<std::string> titles, series, episodes, aliases;
  const auto read = [&](const char* sql, std::vector<std::string>& into) {
    PlainStatement& rows = db_.Prepare(sql);
    while (rows.Step()) into.push_back(rows.Text(0));
  };
  read("SELECT ProfileID FROM Profiles", titles);
  read("SELECT SeriesID FROM TVSeries", series);
  read("SELECT EpisodeID FROM Episodes", episodes);
  read("SELECT AliasName FROM Alias WHERE AliasName <> '' AND CommonName <> ''", aliases);
  const int64_t total = static_cast<int64_t>(titles.size() + episodes.size());
  int64_t done = 0;
  for (const std::string& id : titles) {
    Title(id);
    if (progress && ++done % 1000 == 0) progress(done, total);
  }
  for (const std::string& id : series) SeriesRow(id);
  for (const std::string& id : episodes) {
    Episode(id);
    if (progress && ++done % 1000 == 0) progress(done, total);
  }
  for (const std::string& name : aliases) Alias(name);
  if (progress) progress(total, total);
}

void Deriver::Finish() {
  // Names: their new counts; those nothing credits and no alias row names go.
  std::set<int64_t> names(alias_touched_.begin(), alias_touched_.end());
  for (const auto& [name, delta] : name_deltas_) {
    if (delta.titles == 0 && delta.episodes == 0) continue;
    names.insert(name);
    db_.Prepare("UPDATE ix.names SET titles = titles + ?, episodes = episodes + ? WHERE id = ?")
        .Bind(1, delta.titles)
        .Bind(2, delta.episodes)
        .Bind(3, name)
        .Run();
  }
  std::set<int64_t> people;
  for (int64_t name : names) {
    PlainStatement& read = db_.Prepare(
        "SELECT person, titles = 0 AND episodes = 0 AND alias = 0 FROM ix.names WHERE id = ?");
    read.Bind(1, name);
    if (!read.Step()) continue;
    const int64_t person = read.Int(0);
    people.insert(person);
    if (read.Int(1) == 0) continue;
    db_.Prepare("DELETE FROM ix.names WHERE id = ?").Bind(1, name).Run();
    FtsReplace(db_, "name_fts", name, nullptr);
    --person_deltas_[person].names;
  }
  // People: their counts, and whether any of their names is credited.
  int64_t credited_people = 0;
  for (const auto& [person, delta] : person_deltas_) {
    const bool changed = delta.names || delta.titles[0] || delta.titles[1] || delta.titles[2] ||
                         delta.titles[3] || delta.episodes;
    if (changed) people.insert(person);
  }
  for (int64_t person : people) {
    const PersonDelta& delta = person_deltas_[person];
    PlainStatement& read = db_.Prepare("SELECT credited > 0 FROM ix.people WHERE id = ?");
    read.Bind(1, person);
    if (!read.Step()) continue;
    const int64_t before = read.Int(0);
    db_.Prepare(
           "UPDATE ix.people SET names = names + ?, t0 = t0 + ?, t1 = t1 + ?, t2 = t2 + ?, t3 = "
           "t3 + ?, episodes = episodes + ?, credited = (SELECT COUNT(*) FROM ix.names n WHERE "
           "n.person = ?7 AND n.titles + n.episodes > 0) WHERE id = ?7")
        .Bind(1, delta.names)
        .Bind(2, delta.titles[0])
        .Bind(3, delta.titles[1])
        .Bind(4, delta.titles[2])
        .Bind(5, delta.titles[3])
        .Bind(6, delta.episodes)
        .Bind(7, person)
        .Run();
    db_.Prepare("DELETE FROM ix.people WHERE id = ? AND names <= 0").Bind(1, person).Run();
    if (db_.Changes()) FtsReplace(db_, "person_fts", person, nullptr);
    PlainStatement& after = db_.Prepare("SELECT credited > 0 FROM ix.people WHERE id = ?");
    after.Bind(1, person);
    credited_people += (after.Step() ? after.Int(0) : 0) - before;
  }
  if (credited_people) {
    db_.Prepare(
           "INSERT INTO ix.meta (name, value) VALUES ('credited_people', ?) ON CONFLICT (name) "
           "DO UPDATE SET value = value + excluded.value")
        .Bind(1, credited_people)
        .Run();
  }
  for (const auto& [role, delta] : role_deltas_) {
    if (delta == 0) continue;
    db_.Prepare("UPDATE ix.roles SET credits = credits + ? WHERE id = ?")
        .Bind(1, delta)
        .Bind(2, role)
        .Run();
    db_.Prepare("DELETE FROM ix.roles WHERE id = ? AND credits <= 0").Bind(1, role).Run();
    if (db_.Changes()) FtsReplace(db_, "role_fts", role, nullptr);
  }
  name_deltas_.clear();
  person_deltas_.clear();
  alias_touched_.clear();
  role_deltas_.clear();
  name_ids_.clear();
  person_ids_.clear();
  role_ids_.clear();
  person_of_name_.clear();
}

}  // namespace zel::web::index
