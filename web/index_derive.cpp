// The rows of the index derived from the catalogue. This file is long because every kind of row is
// made here the same way: read what the catalogue holds of one thing, take back what the index
// held of it, write what it holds now.
#include "web/index_derive.h"

#include <algorithm>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "frame/text.h"
#include "web/cells.h"
#include "web/fold.h"
#include "web/index_schema.h"
#include "web/titles.h"

namespace zel::web::index {
namespace {

using store::PlainStatement;

constexpr std::string_view kDividerRoles[] = {"[DivGroup]", "[DivEpisode]", "[DivTeam]", "[DivEnd]",
                                              "[Divider]"};

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

bool HasColumn(store::PlainDatabase& db, const std::string& table, const std::string& column) {
  PlainStatement& info =
      db.Prepare("SELECT 1 FROM pragma_table_info(?) WHERE name = ? COLLATE NOCASE");
  info.Bind(1, table).Bind(2, column);
  return info.Step();
}

std::string DigitsOf(std::string_view text) {
  std::string digits;
  for (char c : text) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits;
}

// What one title adds to the statistics: (dimension, key) -> its spelling and amount.
struct Contribution {
  std::string value;
  int64_t amount = 0;
};
using Contributions = std::map<std::pair<int, std::string>, Contribution>;

std::string ContributionsText(const Contributions& contributions) {
  nlohmann::json list = nlohmann::json::array();
  for (const auto& [key, value] : contributions) {
    list.push_back({key.first, key.second, value.value, value.amount});
  }
  return list.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

Contributions ContributionsOf(const std::string& text) {
  Contributions contributions;
  if (text.empty()) return contributions;
  const nlohmann::json list = nlohmann::json::parse(text, nullptr, false);
  if (!list.is_array()) return contributions;
  for (const auto& item : list) {
    contributions[{item[0].get<int>(), item[1].get<std::string>()}] = {item[2].get<std::string>(),
                                                                       item[3].get<int64_t>()};
  }
  return contributions;
}

void Contribute(Contributions& contributions, Tally tally, const std::string& shown,
                int64_t amount = 0) {
  const std::string key = ToLower(Trim(shown));
  contributions.try_emplace({static_cast<int>(tally), key}, Contribution{Trim(shown), amount});
}

// Adds `sign` times the contributions to the tallies of collection type `collection`.
void Apply(store::PlainDatabase& db, const Contributions& contributions, int64_t collection,
           int sign) {
  for (const auto& [key, value] : contributions) {
    PlainStatement& upsert = db.Prepare(
        "INSERT INTO ix.tallies (dimension, key, collection, value, titles, amount) VALUES (?, ?, "
        "?, ?, ?, ?) ON CONFLICT (dimension, key, collection) DO UPDATE SET titles = titles + "
        "excluded.titles, amount = amount + excluded.amount");
    upsert.Bind(1, static_cast<int64_t>(key.first))
        .Bind(2, key.second)
        .Bind(3, collection)
        .Bind(4, value.value)
        .Bind(5, static_cast<int64_t>(sign))
        .Bind(6, sign * value.amount);
    upsert.Run();
  }
  if (sign < 0) db.Prepare("DELETE FROM ix.tallies WHERE titles <= 0").Run();
}

struct FacetValue {
  Facet facet;
  std::string value;
};

void AddFacet(std::vector<FacetValue>& facets, Facet facet, const std::string& value) {
  if (!value.empty()) facets.push_back({facet, value});
}

void FtsReplace(store::PlainDatabase& db, const std::string& table, int64_t id,
                const std::string* text) {
  PlainStatement& remove = db.Prepare("DELETE FROM ix." + table + " WHERE rowid = ?");
  remove.Bind(1, id).Run();
  if (!text) return;
  PlainStatement& insert = db.Prepare("INSERT INTO ix." + table + " (rowid, text) VALUES (?, ?)");
  insert.Bind(1, id).Bind(2, *text).Run();
}

void RemoveRow(store::PlainDatabase& db, const std::string& table, const std::string& fts,
               int64_t id) {
  db.Prepare("DELETE FROM ix." + table + " WHERE id = ?").Bind(1, id).Run();
  FtsReplace(db, fts, id, nullptr);
}

std::optional<std::string> ReadText(store::PlainDatabase& db, const std::string& sql,
                                    const std::string& key) {
  PlainStatement& read = db.Prepare(sql);
  read.Bind(1, key);
  if (!read.Step() || read.IsNull(0)) return std::nullopt;
  return read.Text(0);
}

}  // namespace

bool IsDividerRole(std::string_view role) {
  return std::find(std::begin(kDividerRoles), std::end(kDividerRoles), role) !=
         std::end(kDividerRoles);
}

CatalogueShape ShapeOf(store::PlainDatabase& db) {
  CatalogueShape shape;
  shape.credit_only = HasColumn(db, "CastCrew", "IsCreditOnly");
  shape.tv_credit_only = HasColumn(db, "TVCastCrew", "IsCreditOnly");
  shape.tv_regular = HasColumn(db, "TVCastCrew", "IsRegular");
  return shape;
}

std::string IdsBlob(const std::vector<int64_t>& ids) {
  std::string blob;
  blob.reserve(ids.size() * 4);
  for (int64_t id : ids) {
    const auto value = static_cast<uint32_t>(id);
    for (int shift = 0; shift < 32; shift += 8) blob += static_cast<char>((value >> shift) & 0xFF);
  }
  return blob;
}

std::vector<int64_t> IdsOf(std::string_view blob) {
  std::vector<int64_t> ids;
  for (size_t i = 0; i + 4 <= blob.size(); i += 4) {
    uint32_t value = 0;
    for (int b = 0; b < 4; ++b)
      value |= static_cast<uint32_t>(static_cast<uint8_t>(blob[i + b])) << (8 * b);
    ids.push_back(value);
  }
  return ids;
}

Deriver::Deriver(store::PlainDatabase& db) : db_(db), shape_(ShapeOf(db)) {}

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

Deriver::Credits Deriver::ReadCredits(const std::string& sql, const std::string& owner) {
  Credits credits;
  PlainStatement& rows = db_.Prepare(sql);
  rows.Bind(1, owner);
  std::set<int64_t> names;
  int64_t director_position = INT64_MAX;
  while (rows.Step()) {
    const std::string name = rows.Text(0), role = rows.Text(1);
    if (name.empty() || IsDividerRole(role)) continue;
    const int64_t id = NameId(name);
    names.insert(id);
    const bool cast = FlagAt(rows, 2);
    const int64_t position = WholeNumberAt(rows, 3).value_or(0);
    if (cast && !role.empty()) credits.roles.push_back({id, RoleId(role), position});
    if (!cast && EqualsIgnoreCase(role, "Director") && position < director_position) {
      director_position = position;
      credits.director = name;
    }
  }
  credits.names.assign(names.begin(), names.end());
  for (const Credit& credit : credits.roles) credits.role_ids.push_back(credit.role);
  std::sort(credits.role_ids.begin(), credits.role_ids.end());
  credits.role_ids.erase(std::unique(credits.role_ids.begin(), credits.role_ids.end()),
                         credits.role_ids.end());
  return credits;
}

void Deriver::RemoveRoleCredits(const std::string& roles_blob, int kind, int64_t work) {
  for (int64_t role : IdsOf(roles_blob)) {
    PlainStatement& remove =
        db_.Prepare("DELETE FROM ix.role_credits WHERE role = ? AND kind = ? AND work = ?");
    remove.Bind(1, role).Bind(2, static_cast<int64_t>(kind)).Bind(3, work).Run();
    role_deltas_[role] -= db_.Changes();
  }
}

void Deriver::AddRoleCredits(const std::vector<Credit>& roles, int kind, int64_t work) {
  for (const Credit& credit : roles) {
    PlainStatement& insert = db_.Prepare(
        "INSERT OR IGNORE INTO ix.role_credits (role, kind, work, position, name) VALUES (?, ?, "
        "?, ?, ?)");
    insert.Bind(1, credit.role)
        .Bind(2, static_cast<int64_t>(kind))
        .Bind(3, work)
        .Bind(4, credit.position)
        .Bind(5, credit.name)
        .Run();
    role_deltas_[credit.role] += db_.Changes();
  }
}

void Deriver::Title(const std::string& profile_id) {
  // What the index holds of the title now.
  int64_t id = 0, old_collection = 0;
  std::vector<int64_t> old_names;
  std::string old_roles;
  Contributions old_tallies;
  {
    PlainStatement& old = db_.Prepare(
        "SELECT id, collection, names, roles, tallies FROM ix.titles WHERE profile_id = ?");
    old.Bind(1, profile_id);
    if (old.Step()) {
      id = old.Int(0);
      old_collection = old.Int(1);
      old_names = IdsOf(old.Blob(2));
      old_roles = std::string(old.Blob(3));
      old_tallies = ContributionsOf(old.Text(4));
    }
  }
  if (id) {
    for (int64_t name : old_names) --name_deltas_[name].titles;
    for (int64_t person : PeopleOf(old_names)) --person_deltas_[person].titles[old_collection];
    RemoveRoleCredits(old_roles, 0, id);
    Apply(db_, old_tallies, old_collection, -1);
    db_.Prepare("DELETE FROM ix.facets WHERE title = ?").Bind(1, id).Run();
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
  if (!row.Step()) {
    if (id) RemoveRow(db_, "titles", "title_fts", id);
    return;
  }
  const std::string stored_id = row.Text(0), title = row.Text(1), original = row.Text(2);
  const std::string sort_title = row.Text(3), medium = row.Text(5), upc = row.Text(7);
  const std::string country = row.Text(11), rating = row.Text(12);
  const int64_t year = YearAt(row, 4);
  const auto collection = static_cast<int64_t>(CollectionTypeOf(row.Text(6)));
  const Date added = DateAt(row, 8), edited = DateAt(row, 9), purchased = DateAt(row, 17);
  const int64_t running_time = BoundedAt(row, 10, 1, 100000);
  const int64_t priority = BoundedAt(row, 13, 1, 1000000);
  const std::optional<int64_t> review = WholeNumberAt(row, 14);
  const std::optional<int64_t> price = UnitsAt(row, 15), retail = UnitsAt(row, 18);
  const std::string currency = row.Text(16), retail_currency = row.Text(19);
  const bool on_loan = row.Int(20) != 0;

  const std::string folded_title = Fold(title), folded_original = Fold(original);
  const std::string sort_key = sort_title.empty() ? folded_title : Fold(sort_title);
  const char first = sort_key.empty() ? '#' : sort_key.front();
  const std::string initial(1, first >= 'a' && first <= 'z' ? static_cast<char>(first - 32) : '#');

  const Credits credits = ReadCredits(
      "SELECT Name, Role, IsCast, Position FROM CastCrew WHERE ProfileID = ?", stored_id);

  // Facets and statistics.
  std::vector<FacetValue> facets;
  Contributions tallies;
  Contribute(tallies, Tally::kMedium, medium);
  for (const std::string& part : Split(medium, "/")) AddFacet(facets, Facet::kMedium, Trim(part));
  Contribute(tallies, Tally::kDecade, year ? std::to_string(year / 10 * 10) : std::string());
  Contribute(tallies, Tally::kCountry, country);
  Contribute(tallies, Tally::kRating, rating);
  if (price) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (purchased != Date::Zero()) purchased.ToParts(y, mo, d, h, mi, s);
    const std::string key = (y ? std::to_string(y) : std::string()) + "|" + ToUpper(currency);
    tallies[{static_cast<int>(Tally::kSpending), key}] = {key, *price};
  }
  if (retail) Contribute(tallies, Tally::kValue, ToUpper(retail_currency), *retail);
  if (running_time) Contribute(tallies, Tally::kRunningTime, "", running_time);
  {
    PlainStatement& genres = db_.Prepare("SELECT Genre FROM Genres WHERE ProfileID = ?");
    genres.Bind(1, stored_id);
    while (genres.Step()) {
      const std::string genre = genres.Text(0);
      AddFacet(facets, Facet::kGenre, genre);
      if (!genre.empty()) Contribute(tallies, Tally::kGenre, genre);
    }
  }
  {
    PlainStatement& studios = db_.Prepare("SELECT Studio, Type FROM Studios WHERE ProfileID = ?");
    studios.Bind(1, stored_id);
    while (studios.Step()) {
      const std::string studio = studios.Text(0);
      AddFacet(facets, Facet::kStudio, studio);
      // Studios proper: media companies are the discs' publishers.
      if (!studio.empty() && !EqualsIgnoreCase(studios.Text(1), "Media Company")) {
        Contribute(tallies, Tally::kStudio, studio);
      }
    }
  }
  {
    // A tag's full name is a path of folders ("Living Room/Shelf 3"); a title is also found under
    // each folder above its tags.
    PlainStatement& tags =
        db_.Prepare("SELECT TagName, FullyQualifiedName FROM Tags WHERE ProfileID = ?");
    tags.Bind(1, stored_id);
    while (tags.Step()) {
      std::string name = tags.Text(1);
      if (name.empty()) name = tags.Text(0);
      for (size_t slash = name.find('/'); slash != std::string::npos;
           slash = name.find('/', slash + 1)) {
        if (slash > 0) AddFacet(facets, Facet::kTag, name.substr(0, slash));
      }
      AddFacet(facets, Facet::kTag, name);
    }
  }
  {
    PlainStatement& discs = db_.Prepare("SELECT Location FROM Discs WHERE ProfileID = ?");
    discs.Bind(1, stored_id);
    while (discs.Step()) AddFacet(facets, Facet::kLocation, Trim(discs.Text(0)));
  }
  {
    PlainStatement& regions = db_.Prepare("SELECT Region FROM Regions WHERE ProfileID = ?");
    regions.Bind(1, stored_id);
    while (regions.Step()) {
      if (const auto region = WholeNumberAt(regions, 0)) {
        Contribute(tallies, Tally::kRegion, std::to_string(*region));
      }
    }
  }
  {
    PlainStatement& audio = db_.Prepare("SELECT Language FROM AudioFormats WHERE ProfileID = ?");
    audio.Bind(1, stored_id);
    while (audio.Step()) {
      const std::string language = audio.Text(0);
      if (!Trim(language).empty()) Contribute(tallies, Tally::kAudio, language);
    }
  }

  for (const FacetValue& facet : facets) {
    tallies.try_emplace({kFacetTally + static_cast<int>(facet.facet), Fold(facet.value)},
                        Contribution{facet.value, 0});
  }
  PlainStatement& write = db_.Prepare(
      id ? "UPDATE ix.titles SET profile_id = ?1, title = ?2, original_title = ?3, medium = ?4, "
           "upc = ?5, upc_digits = ?6, country = ?7, rating = ?8, folded_title = ?9, "
           "folded_original = ?10, initial = ?11, order_key = ?12, collection = ?13, year = ?14, "
           "running_time = ?15, review = ?16, added = ?17, edited = ?18, purchased = ?19, price = "
           "?20, currency = ?21, retail = ?22, retail_currency = ?23, on_loan = ?24, priority = "
           "?25, director = ?26, director_key = ?27, names = ?28, roles = ?29, tallies = ?30 "
           "WHERE id = ?31"
         : "INSERT INTO ix.titles (profile_id, title, original_title, medium, upc, upc_digits, "
           "country, rating, folded_title, folded_original, initial, order_key, collection, year, "
           "running_time, review, added, edited, purchased, price, currency, retail, "
           "retail_currency, on_loan, priority, director, director_key, names, roles, tallies) "
           "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, "
           "?18, ?19, ?20, ?21, ?22, ?23, ?24, ?25, ?26, ?27, ?28, ?29, ?30)");
  const auto date = [&](int index, Date value) {
    if (value == Date::Zero()) {
      write.BindNull(index);
    } else {
      write.Bind(index, FormatDate(value));
    }
  };
  const auto optional = [&](int index, const std::optional<int64_t>& value) {
    if (value) {
      write.Bind(index, *value);
    } else {
      write.BindNull(index);
    }
  };
  write.Bind(1, stored_id)
      .Bind(2, title)
      .Bind(3, original)
      .Bind(4, medium)
      .Bind(5, upc)
      .Bind(6, DigitsOf(upc))
      .Bind(7, country)
      .Bind(8, rating)
      .Bind(9, folded_title)
      .Bind(10, folded_original)
      .Bind(11, initial)
      .BindBlob(12, OrderKey({sort_key, folded_title, stored_id}))
      .Bind(13, collection)
      .Bind(14, year)
      .Bind(15, running_time);
  optional(16, review);
  date(17, added);
  date(18, edited);
  date(19, purchased);
  optional(20, price);
  write.Bind(21, currency);
  optional(22, retail);
  write.Bind(23, retail_currency)
      .Bind(24, static_cast<int64_t>(on_loan))
      .Bind(25, priority)
      .Bind(26, credits.director)
      .Bind(27, Fold(credits.director))
      .BindBlob(28, IdsBlob(credits.names))
      .BindBlob(29, IdsBlob(credits.role_ids))
      .Bind(30, ContributionsText(tallies));
  if (id) write.Bind(31, id);
  write.Run();
  if (!id) id = db_.LastInsertId();

  const std::string text = folded_title + "\n" + folded_original + "\n" + DigitsOf(upc);
  FtsReplace(db_, "title_fts", id, &text);
  for (const FacetValue& facet : facets) {
    PlainStatement& insert = db_.Prepare(
        "INSERT OR IGNORE INTO ix.facets (facet, key, title, value) VALUES (?, ?, ?, ?)");
    insert.Bind(1, static_cast<int64_t>(facet.facet))
        .Bind(2, Fold(facet.value))
        .Bind(3, id)
        .Bind(4, facet.value)
        .Run();
  }
  Apply(db_, tallies, collection, 1);
  for (int64_t name : credits.names) ++name_deltas_[name].titles;
  for (int64_t person : PeopleOf(credits.names)) ++person_deltas_[person].titles[collection];
  AddRoleCredits(credits.roles, 0, id);
}

void Deriver::Episode(const std::string& episode_id) {
  int64_t id = 0;
  std::vector<int64_t> old_names;
  std::string old_roles;
  {
    PlainStatement& old =
        db_.Prepare("SELECT id, names, roles FROM ix.episodes WHERE episode_id = ?");
    old.Bind(1, episode_id);
    if (old.Step()) {
      id = old.Int(0);
      old_names = IdsOf(old.Blob(1));
      old_roles = std::string(old.Blob(2));
    }
  }
  if (id) {
    for (int64_t name : old_names) --name_deltas_[name].episodes;
    for (int64_t person : PeopleOf(old_names)) --person_deltas_[person].episodes;
    RemoveRoleCredits(old_roles, 1, id);
  }
  PlainStatement& row = db_.Prepare(
      "SELECT e.EpisodeID, e.SeriesID, s.Title, s.SortTitle, e.Season, e.EpisodeNo, "
      "e.EpisodeTitle, e.EpisodeOriginalTitle, e.Airdate FROM Episodes e LEFT JOIN TVSeries s ON "
      "s.SeriesID = e.SeriesID WHERE e.EpisodeID = ?");
  row.Bind(1, episode_id);
  if (!row.Step()) {
    if (id) RemoveRow(db_, "episodes", "episode_fts", id);
    return;
  }
  const std::string stored_id = row.Text(0), show_id = row.Text(1), series_title = row.Text(2);
  const std::string sort_title = row.Text(3), season = row.Text(4), number = row.Text(5);
  const std::string title = row.Text(6), original = row.Text(7);
  const Date aired = DateAt(row, 8);
  const std::string folded = Fold(title) + "\n" + Fold(original);
  // The order of the series' lists: series sort title, series, season, number (as the catalogue
  // compares them, ignoring the case of ASCII letters).
  const std::string order = OrderKey({AsciiLower(sort_title), AsciiLower(show_id),
                                      AsciiLower(season), AsciiLower(number), stored_id});
  const Credits credits = ReadCredits(
      "SELECT Name, Role, IsCast, Position FROM TVCastCrew WHERE EpisodeID = ?", stored_id);

  PlainStatement& write = db_.Prepare(
      id ? "UPDATE ix.episodes SET episode_id = ?1, show_id = ?2, series_title = ?3, season = ?4, "
           "number = ?5, title = ?6, original_title = ?7, airdate = ?8, folded = ?9, order_key = "
           "?10, names = ?11, roles = ?12 WHERE id = ?13"
         : "INSERT INTO ix.episodes (episode_id, show_id, series_title, season, number, title, "
           "original_title, airdate, folded, order_key, names, roles) VALUES (?1, ?2, ?3, ?4, "
           "?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
  write.Bind(1, stored_id)
      .Bind(2, show_id)
      .Bind(3, series_title)
      .Bind(4, season)
      .Bind(5, number)
      .Bind(6, title)
      .Bind(7, original);
  if (aired == Date::Zero()) {
    write.BindNull(8);
  } else {
    write.Bind(8, FormatDate(aired));
  }
  write.Bind(9, folded)
      .BindBlob(10, order)
      .BindBlob(11, IdsBlob(credits.names))
      .BindBlob(12, IdsBlob(credits.role_ids));
  if (id) write.Bind(13, id);
  write.Run();
  if (!id) id = db_.LastInsertId();
  FtsReplace(db_, "episode_fts", id, &folded);
  for (int64_t name : credits.names) ++name_deltas_[name].episodes;
  for (int64_t person : PeopleOf(credits.names)) ++person_deltas_[person].episodes;
  AddRoleCredits(credits.roles, 1, id);
}

void Deriver::SeriesRow(const std::string& show_id) {
  PlainStatement& row = db_.Prepare(
      "SELECT SeriesID, Title, OriginalTitle, SortTitle FROM TVSeries WHERE SeriesID = ?");
  row.Bind(1, show_id);
  int64_t id = 0;
  {
    PlainStatement& old = db_.Prepare("SELECT id FROM ix.series WHERE show_id = ?");
    old.Bind(1, show_id);
    if (old.Step()) id = old.Int(0);
  }
  if (!row.Step()) {
    if (id) RemoveRow(db_, "series", "series_fts", id);
    return;
  }
  const std::string stored_id = row.Text(0), title = row.Text(1), original = row.Text(2);
  const std::string folded = Fold(title) + "\n" + Fold(original);
  // The order of the series list: sort title, title, ShowID.
  const std::string order =
      OrderKey({AsciiLower(row.Text(3)), AsciiLower(title), AsciiLower(stored_id)});
  PlainStatement& write = db_.Prepare(
      id ? "UPDATE ix.series SET show_id = ?1, title = ?2, original_title = ?3, folded = ?4, "
           "order_key = ?5 WHERE id = ?6"
         : "INSERT INTO ix.series (show_id, title, original_title, folded, order_key) VALUES (?1, "
           "?2, ?3, ?4, ?5)");
  write.Bind(1, stored_id).Bind(2, title).Bind(3, original).Bind(4, folded).BindBlob(5, order);
  if (id) write.Bind(6, id);
  write.Run();
  if (!id) id = db_.LastInsertId();
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
  const std::string key = ToLower(name);
  PlainStatement& read = db_.Prepare("SELECT id, person, alias FROM ix.names WHERE key = ?");
  read.Bind(1, key);
  if (!read.Step()) {
    if (!common || name.empty()) return;
    // A name of the Alias table nobody is credited under: still a name of its person.
    const int64_t id = NameId(name);
    db_.Prepare("UPDATE ix.names SET alias = 1 WHERE id = ?").Bind(1, id).Run();
    return;
  }
  const int64_t id = read.Int(0), old_person = read.Int(1);
  alias_touched_.push_back(id);
  db_.Prepare("UPDATE ix.names SET alias = ? WHERE id = ?")
      .Bind(1, static_cast<int64_t>(common.has_value()))
      .Bind(2, id)
      .Run();
  // The name itself, as stored, when no alias row gives it another common name.
  std::string spelled = name;
  {
    PlainStatement& stored = db_.Prepare("SELECT name FROM ix.names WHERE id = ?");
    stored.Bind(1, id);
    if (stored.Step()) spelled = stored.Text(0);
  }
  const int64_t new_person = PersonId(common.value_or(spelled));
  if (new_person == old_person) return;

  // Every title and episode crediting the name counts for the new person instead, unless another
  // of its names there counts for that person already.
  struct Work {
    int64_t collection;  // -1: an episode
    std::vector<int64_t> before;
  };
  std::vector<Work> works;
  for (const bool episode : {false, true}) {
    PlainStatement& rows = db_.Prepare(
        episode ? "SELECT e.names FROM ix.episodes e WHERE e.episode_id IN (SELECT EpisodeID FROM "
                  "TVCastCrew WHERE Name = ?)"
                : "SELECT t.names, t.collection FROM ix.titles t WHERE t.profile_id IN (SELECT "
                  "ProfileID FROM CastCrew WHERE Name = ?)");
    rows.Bind(1, name);
    std::vector<std::vector<int64_t>> lists;
    std::vector<int64_t> collections;
    while (rows.Step()) {
      lists.push_back(IdsOf(rows.Blob(0)));
      collections.push_back(episode ? -1 : rows.Int(1));
    }
    for (size_t i = 0; i < lists.size(); ++i) {
      if (std::find(lists[i].begin(), lists[i].end(), id) == lists[i].end()) continue;
      works.push_back({collections[i], lists[i]});
    }
  }
  std::vector<std::vector<int64_t>> before;
  for (const Work& work : works) before.push_back(PeopleOf(work.before));
  db_.Prepare("UPDATE ix.names SET person = ? WHERE id = ?").Bind(1, new_person).Bind(2, id).Run();
  person_of_name_[id] = new_person;
  --person_deltas_[old_person].names;
  ++person_deltas_[new_person].names;
  for (size_t i = 0; i < works.size(); ++i) {
    const std::vector<int64_t> after = PeopleOf(works[i].before);
    for (int64_t person : before[i]) {
      if (works[i].collection < 0) {
        --person_deltas_[person].episodes;
      } else {
        --person_deltas_[person].titles[works[i].collection];
      }
    }
    for (int64_t person : after) {
      if (works[i].collection < 0) {
        ++person_deltas_[person].episodes;
      } else {
        ++person_deltas_[person].titles[works[i].collection];
      }
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
    names.insert(name);
    if (delta.titles == 0 && delta.episodes == 0) continue;
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
  for (const auto& [person, delta] : person_deltas_) people.insert(person);
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
    const bool gone = db_.Changes() > 0;
    if (gone) FtsReplace(db_, "person_fts", person, nullptr);
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
    if (delta != 0) {
      db_.Prepare("UPDATE ix.roles SET credits = credits + ? WHERE id = ?")
          .Bind(1, delta)
          .Bind(2, role)
          .Run();
    }
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
