#include "web/index_schema.h"

namespace zel::web::index {

std::vector<std::string> AfterBuildStatements() {
  return {"CREATE UNIQUE INDEX ix.name_works_by_name ON name_works (name, kind, work)",
          "CREATE UNIQUE INDEX ix.name_births_by_name ON name_births (name, kind, work, born)"};
}

std::vector<std::string> IndexStatements() {
  std::vector<std::string> statements;
  for (const char* table :
       {"meta", "titles", "parts", "facets", "tallies", "names", "people", "roles", "role_credits",
        "name_works", "name_births", "series", "episodes", "title_fts", "person_fts", "name_fts",
        "role_fts", "series_fts", "episode_fts"}) {
    statements.push_back(std::string("DROP TABLE IF EXISTS ix.") + table);
  }
  const auto add = [&](const std::string& sql) { statements.push_back(sql); };
  add("CREATE TABLE ix.meta (name TEXT PRIMARY KEY, value) WITHOUT ROWID");
  // One row per title, what lists show, filter and sort by. order_key is the title order (sort
  // title, title, ProfileID, folded and joined by NUL bytes). A value a title lacks is null, so
  // that it comes last when the highest come first; the sort keys of the orders that begin with
  // the lowest (medium, director, priority) hold an empty blob instead, which sorts after every
  // text and number.
  add("CREATE TABLE ix.titles (id INTEGER PRIMARY KEY, profile_id TEXT NOT NULL UNIQUE COLLATE "
      "NOCASE, title TEXT, original_title TEXT, medium TEXT, upc TEXT, upc_digits TEXT, country "
      "TEXT, rating TEXT, folded_title TEXT, folded_original TEXT, initial TEXT, order_key BLOB, "
      "collection INTEGER, year INTEGER, running_time INTEGER, review INTEGER, added TEXT, edited "
      "TEXT, purchased TEXT, price INTEGER, currency TEXT, retail INTEGER, retail_currency TEXT, "
      "on_loan INTEGER, priority INTEGER, director TEXT, sort_medium, sort_director, "
      "sort_priority, box_set TEXT, count_as INTEGER)");
  // A box set's parts: box_set is the ProfileID of the box set a title is a part of. Lists show
  // a part inside its box set, unless the box set is gone.
  add("CREATE INDEX ix.titles_box_set ON titles (box_set) WHERE box_set IS NOT NULL");
  // The orders' indexes carry box_set, so that a list that shows a box set's parts inside it
  // passes over them without reading their rows.
  add("CREATE INDEX ix.titles_order ON titles (collection, order_key, box_set)");
  add("CREATE INDEX ix.titles_all_order ON titles (order_key, box_set)");
  // What a person's page sorts and counts all their titles by, a few pages of it.
  add("CREATE INDEX ix.titles_lines ON titles (id, year, order_key)");
  // Where a letter begins in the title order.
  add("CREATE INDEX ix.titles_initial ON titles (collection, initial, order_key, box_set)");
  add("CREATE INDEX ix.titles_all_initial ON titles (initial, order_key, box_set)");
  add("CREATE INDEX ix.titles_folded ON titles (folded_title)");
  add("CREATE INDEX ix.titles_folded_original ON titles (folded_original)");
  for (const char* column :
       {"year", "added", "edited", "purchased", "running_time", "review", "price", "retail"}) {
    add(std::string("CREATE INDEX ix.titles_by_") + column + " ON titles (" + column +
        ", order_key DESC, box_set)");
  }
  for (const char* column : {"sort_medium", "sort_director", "sort_priority"}) {
    add(std::string("CREATE INDEX ix.titles_by_") + column + " ON titles (" + column +
        ", order_key, box_set)");
  }
  // What each title (kind 0) and episode (kind 1) contributed: fingerprints of its row and
  // searched text, the ids of the names credited and its cast credits with a role (role,
  // position, name), numbers in seven-bit groups.
  add("CREATE TABLE ix.parts (kind INTEGER, id INTEGER, facts INTEGER, text INTEGER, names BLOB, "
      "credits BLOB, births BLOB, PRIMARY KEY (kind, id)) WITHOUT ROWID");
  add("CREATE TABLE ix.facets (facet INTEGER, key TEXT, title INTEGER, value TEXT, PRIMARY KEY "
      "(facet, key, title)) WITHOUT ROWID");
  add("CREATE INDEX ix.facets_title ON facets (title)");
  add("CREATE TABLE ix.tallies (dimension INTEGER, key TEXT, collection INTEGER, value TEXT, "
      "titles INTEGER, amount INTEGER, PRIMARY KEY (dimension, key, collection)) WITHOUT ROWID");
  // Every credited name and every name of the Alias table, by its lower-case form, with the
  // person it belongs to and the titles and episodes crediting it.
  add("CREATE TABLE ix.names (id INTEGER PRIMARY KEY, key TEXT NOT NULL UNIQUE, name TEXT, folded "
      "TEXT, person INTEGER, titles INTEGER NOT NULL DEFAULT 0, episodes INTEGER NOT NULL DEFAULT "
      "0, alias INTEGER NOT NULL DEFAULT 0)");
  add("CREATE INDEX ix.names_person ON names (person, folded)");
  // A person: a common name and the names gathered under it; the distinct titles of each
  // collection type (t0 owned .. t3 other) and the episodes crediting them under any name.
  add("CREATE TABLE ix.people (id INTEGER PRIMARY KEY, key TEXT NOT NULL UNIQUE, common_name "
      "TEXT, folded TEXT, names INTEGER NOT NULL DEFAULT 0, credited INTEGER NOT NULL DEFAULT 0, "
      "t0 INTEGER NOT NULL DEFAULT 0, t1 INTEGER NOT NULL DEFAULT 0, t2 INTEGER NOT NULL DEFAULT "
      "0, t3 INTEGER NOT NULL DEFAULT 0, episodes INTEGER NOT NULL DEFAULT 0)");
  add("CREATE INDEX ix.people_order ON people (folded, common_name)");
  add("CREATE INDEX ix.people_rank0 ON people (t0 + episodes DESC, key)");
  add("CREATE INDEX ix.people_rank1 ON people (t1 + episodes DESC, key)");
  add("CREATE INDEX ix.people_rank2 ON people (t2 + episodes DESC, key)");
  add("CREATE INDEX ix.people_rank3 ON people (t3 + episodes DESC, key)");
  add("CREATE INDEX ix.people_rank ON people (t0 + t1 + t2 + t3 + episodes DESC, key)");
  add("CREATE TABLE ix.roles (id INTEGER PRIMARY KEY, key TEXT NOT NULL UNIQUE, text TEXT, "
      "credits INTEGER NOT NULL DEFAULT 0)");
  // The cast credits with a role: kind 0 a title, 1 an episode.
  // The titles (kind 0) and episodes (kind 1) crediting each name, for a person's page: the
  // credits of a person with thousands are read in a few pages of the index rather than one
  // page of the catalogue each.
  // Filled in title order by a build and indexed by name once it is done (AfterBuildStatements):
  // sorting the rows once costs far less than keeping them in name order as they come.
  add("CREATE TABLE ix.name_works (name INTEGER, kind INTEGER, work INTEGER)");
  // The birth years each name is credited with on each work (0: none given), filled and indexed
  // as name_works: a person's page tells namesakes apart from these, without reading the credits
  // of every title.
  add("CREATE TABLE ix.name_births (name INTEGER, kind INTEGER, work INTEGER, born INTEGER)");
  add("CREATE TABLE ix.role_credits (role INTEGER, kind INTEGER, work INTEGER, position INTEGER, "
      "name INTEGER, PRIMARY KEY (role, kind, work, position, name)) WITHOUT ROWID");
  add("CREATE TABLE ix.series (id INTEGER PRIMARY KEY, show_id TEXT NOT NULL UNIQUE COLLATE "
      "NOCASE, title TEXT, original_title TEXT, folded TEXT, order_key BLOB)");
  add("CREATE TABLE ix.episodes (id INTEGER PRIMARY KEY, episode_id TEXT NOT NULL UNIQUE COLLATE "
      "NOCASE, show_id TEXT COLLATE NOCASE, series_title TEXT, season TEXT, number TEXT, title "
      "TEXT, original_title TEXT, airdate TEXT, folded TEXT, order_key BLOB)");
  add("CREATE INDEX ix.episodes_show ON episodes (show_id)");
  add("CREATE INDEX ix.episodes_order ON episodes (order_key)");
  // A title's texts in columns of their own: a search for words too short for the trigrams reads
  // these narrow rows rather than the titles'.
  add("CREATE VIRTUAL TABLE ix.title_fts USING fts5(title, original, upc, tokenize = 'trigram', "
      "detail = 'full')");
  for (const char* fts : {"person_fts", "name_fts", "role_fts", "series_fts", "episode_fts"}) {
    add(std::string("CREATE VIRTUAL TABLE ix.") + fts +
        " USING fts5(text, tokenize = 'trigram', detail = 'full')");
  }
  return statements;
}

}  // namespace zel::web::index
