// The index behind zel serve, zel search and zel stats: its answers are those the whole-catalogue
// search and statistics gave (kept in search_and_stats_expected.json), and after any program
// writes the file they are the answers of an index built afresh. The catalogue stays a catalogue
// for SQLite itself and for zel export.
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "model/profile.h"
#include "model/profiles.h"
#include "web/data.h"
#include "web/index.h"
#include "web/index_schema.h"
#include "web/search.h"
#include "web/stats.h"
#include "web_fixture.h"

namespace zel::testing {
namespace {

namespace fs = std::filesystem;

std::string SqliteText(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_stmt* statement = nullptr;
  std::string text;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0)) {
    text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return text;
}

// `zel ARGS[0] CATALOGUE ARGS[1..] --json`.
Json ZelJson(const std::string& catalogue, std::vector<std::string> args) {
  args.insert(args.begin() + 1, catalogue);
  args.push_back("--json");
  const CommandResult result = RunZel(args);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  return result.exit_code == 0 ? Json::parse(result.out) : Json();
}

// What `zel search` or `zel stats` answers for ARGS (its own words for kinds and collection
// types), or {"person", NAME} a person's page, asked in this process of a CatalogueIndex of
// `catalogue`.
Json Answer(const std::string& catalogue, const std::vector<std::string>& args) {
  web::CatalogueIndex index(catalogue);
  const auto reader = index.OpenReader();
  web::ReadScope scope(*reader);
  const auto option = [&](const std::string& name) {
    const auto at = std::find(args.begin(), args.end(), name);
    return at == args.end() ? std::string() : *(at + 1);
  };
  if (args[0] == "person") {
    web::PersonQuery query;
    query.name = args[1];
    return web::PersonData(*reader, query).value_or(Json());
  }
  if (args[0] == "stats") {
    web::StatsQuery query;
    const int type = web::ChoiceOf(
        "collection", option("--collection").empty() ? "owned" : option("--collection"),
        web::kCollectionChoices);
    if (type < 0) query.collection.reset();
    if (type >= 0) query.collection = static_cast<web::CollectionType>(type);
    return Json::parse(web::StatsData(*reader, query, web::Today()).dump());
  }
  web::SearchQuery query;
  query.text = args[1];
  if (const std::string kind = option("--kind"); !kind.empty()) {
    // zel search names a kind in the singular.
    const std::string plural = kind == "person" ? "people" : kind == "series" ? kind : kind + "s";
    query.kind = static_cast<web::SearchKind>(web::ChoiceOf("kind", plural, web::kSearchKinds));
  }
  if (const std::string page = option("--page"); !page.empty()) query.page = std::stoi(page);
  return Json::parse(web::SearchData(*reader, query, nullptr).dump());
}

// The statistics without what depends on the day they are asked on.
Json Undated(Json stats) {
  stats.erase("Today");
  for (auto& [list, loans] : stats["Loans"].items()) {
    for (Json& loan : loans) loan.erase("Days");
  }
  return stats;
}

TEST(CatalogueIndex, AnswersAsTheWholeCatalogueSearchAndStatisticsDid) {
  const Json expected =
      Json::parse(ReadFile(SourceDir() + "/tests/web/search_and_stats_expected.json"));
  TempDir dir;
  for (const auto& [name, catalogue_answers] : expected.items()) {
    const std::string catalogue = dir.File(name + ".zel");
    if (name == "demo") {
      BuildExampleCatalogue(catalogue);
    } else {
      const std::string xml = dir.File(name + ".xml");
      const std::string generate = BinaryDir() + "/bin/generate_collection " +
                                   catalogue_answers["Titles"].dump() + " " + xml + " " +
                                   catalogue_answers["Seed"].dump();
      ASSERT_EQ(std::system(generate.c_str()), 0);
      ASSERT_EQ(RunZel({"create", catalogue}).exit_code, 0);
      ASSERT_EQ(RunZel({"import", catalogue, xml, "--quiet"}).exit_code, 0);
    }
    for (const Json& entry : catalogue_answers["Entries"]) {
      const auto args = entry["Args"].get<std::vector<std::string>>();
      Json answer = Answer(catalogue, args);
      Json want = entry["Result"];
      if (args[0] == "stats") {
        // The statistics show more figures now; those shown before are the same, but for the
        // most credited people, who count a box set with its parts once.
        Json shown = Json::object();
        for (const auto& [key, value] : want.items()) shown[key] = answer[key];
        answer = Undated(shown);
        want = Undated(want);
      }
      EXPECT_EQ(answer, want) << name << ": " << entry["Args"].dump();
    }
  }
}

TEST(CatalogueIndex, FollowsTheLibraryAndOtherProgramsAsAFreshIndexWould) {
  TempDir dir;
  const std::string catalogue = dir.File("live.zel");
  BuildCatalogue(catalogue);
  const Json before = ZelJson(catalogue, {"stats", "--collection", "all"});

  // The library's writes added a change log to the file and nothing else of the catalogue's:
  // SQLite finds the file sound, and zel info and zel export leave the log out.
  EXPECT_EQ(SqliteText(catalogue, "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(SqliteText(catalogue,
                       "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND "
                       "name <> 'zel_changes'"),
            "32");
  EXPECT_EQ(ZelJson(catalogue, {"info"})["Tables"].size(), 32u);
  const CommandResult dump = RunZel({"export", catalogue, "--format", "json"});
  EXPECT_FALSE(Json::parse(dump.out)["Tables"].contains("zel_changes"));
  EXPECT_TRUE(fs::exists(catalogue + "-index"));

  // Saves through the library: a new title, and a title that moves to the wish list.
  {
    Control control;
    auto database = control.OpenDatabase(catalogue);
    auto fresh = database->Profiles()->Add("Fresh Arrival", "");
    fresh->Cast()->Add("Tomas Keller", "Harbour Master", 1, 0);
    fresh->Crew()->Add("Nadia Newcomer", "Director", 1, 0);
    fresh->UpdateProfile();
    auto moved = database->Profiles()->Item(Variant("Extra001"));
    moved->SetTitle("Zebra Moved");
    moved->SetCollectionType("WishList");
    moved->UpdateProfile();
    control.CloseDatabase();
  }
  // Writes of another program: a title gone (its credits left behind), a name that becomes an
  // alias of someone else, a role renamed, a series retitled, an episode's credits gone.
  WithSqlite(
      catalogue,
      {"DELETE FROM Profiles WHERE ProfileID = 'Extra002'",
       "INSERT INTO Alias (AliasName, CommonName) VALUES ('Paging Person', 'Tomas Keller')",
       "UPDATE CastCrew SET Role = 'Ferryman' WHERE Role = 'River Captain'",
       "UPDATE TVSeries SET Title = 'Harbour Nights' WHERE SeriesID = 'HARBOUR'",
       "DELETE FROM TVCastCrew WHERE EpisodeID = 'HARBOUR12'",
       "UPDATE Profiles SET ProdYear = 1901 WHERE ProfileID = 'Extra003'",
       "INSERT INTO Alias (AliasName, CommonName) VALUES ('Nadia Newcomer', 'Tomas Keller')",
       "UPDATE CastCrew SET BirthYear = 1931 WHERE rowid = (SELECT min(rowid) FROM CastCrew WHERE "
       "Name = 'Tomas Keller')",
       "INSERT INTO BoxSet (BoxSetID, ChildID) VALUES ('Key_800004711000', 'Key_800004711851')",
       "INSERT INTO BoxSet (BoxSetID, ChildID) VALUES ('Key_800004711185', 'Key_800004711185')"});
  Answer(catalogue, {"stats"});
  // The last row of a table gone, the next row written takes its rowid again: a row seen before
  // for all its rowid says, and it must be read all the same.
  WithSqlite(catalogue,
             {"DELETE FROM Alias WHERE AliasName = 'Nadia Newcomer'",
              "INSERT INTO Alias (AliasName, CommonName) VALUES ('Renee Other', 'Anna J. Berg')"});

  const std::string copy = dir.File("copy.zel");
  fs::copy_file(catalogue, copy);
  ASSERT_FALSE(fs::exists(copy + "-index"));
  const std::vector<std::vector<std::string>> questions = {
      {"stats", "--collection", "all"},
      {"stats", "--collection", "wishlist"},
      {"search", "keller"},
      {"search", "ferryman captain harbour nights fresh"},
      {"search", "zebra", "--kind", "title", "--page", "5"},
      {"search", "extra", "--kind", "role", "--page", "2"},
      {"search", "e", "--kind", "person"},
      {"search", "renee other"},
      {"person", "Tomas Keller"},
      {"person", "Nadia Newcomer"},
      {"person", "Renee Other"}};
  for (const auto& question : questions) {
    const Json followed = Answer(catalogue, question), fresh = Answer(copy, question);
    if (question[0] == "stats") {
      EXPECT_EQ(Undated(followed), Undated(fresh)) << question[1] << question[2];
    } else {
      EXPECT_EQ(followed, fresh) << question[1];
    }
  }
  // And the changes show.
  const Json after = Answer(catalogue, {"stats", "--collection", "all"});
  EXPECT_EQ(after["Titles"], before["Titles"].get<int64_t>());  // one more, one less
  EXPECT_EQ(after["People"][0]["CommonName"], "Tomas Keller");
  EXPECT_EQ(Answer(catalogue, {"search", "ferryman"})["Roles"]["Total"], 2);
  EXPECT_EQ(Answer(catalogue, {"search", "river captain"})["Roles"]["Total"], 0);
  EXPECT_EQ(Answer(catalogue, {"search", "harbour nights"})["Series"]["Total"], 1);
  // A title that joins a box set crediting one of its people counts for them no more.
  const auto anna_berg = [&](const std::string& file) {
    const Json stats = Answer(file, {"stats", "--collection", "all"});
    for (const Json& person : stats["People"]) {
      if (person["CommonName"] == "Anna Berg") return person["Titles"].get<int64_t>();
    }
    return int64_t{0};
  };
  EXPECT_EQ(anna_berg(catalogue), anna_berg(copy));
  // Regression: a title named as its own part stays a title of its own, not a part of itself.
  EXPECT_EQ(SqliteText(catalogue + "-index",
                       "SELECT box_set IS NULL FROM titles WHERE profile_id = 'Key_800004711185'"),
            "1");
  // A birth year given on one credit makes a namesake, as a fresh index finds.
  EXPECT_NE(Answer(catalogue, {"person", "Tomas Keller"}).dump().find("born 1931"),
            std::string::npos);
  EXPECT_EQ(SqliteText(catalogue, "PRAGMA integrity_check"), "ok");
}

// Reading never writes: on a file no library write has given the log (here, one from which
// another program removed it), zel search and zel stats change nothing and leave nothing beside
// it but the index, which they build once and then trust while the file stays as it is. The next
// library write adds the log in its own transaction, and from then on the index follows it.
TEST(CatalogueIndex, ReadersLeaveTheFileAsItWasAndTheFirstWriteAddsTheLog) {
  TempDir dir;
  const std::string catalogue = dir.File("untouched.zel");
  BuildCatalogue(catalogue);
  std::vector<std::string> drop;
  for (const std::string& trigger : web::index::ChangeLogTriggers()) {
    drop.push_back("DROP TRIGGER IF EXISTS " + trigger);
  }
  drop.push_back("DROP TABLE zel_changes");
  WithSqlite(catalogue, drop);
  const std::string log_tables =
      "SELECT COUNT(*) FROM sqlite_master WHERE name LIKE 'zel_changes%'";
  const std::string bytes = ReadFile(catalogue);
  const auto untouched = [&] {
    EXPECT_EQ(ReadFile(catalogue), bytes);
    EXPECT_FALSE(fs::exists(catalogue + "-wal"));
    EXPECT_FALSE(fs::exists(catalogue + "-shm"));
  };
  ZelJson(catalogue, {"search", "keller"});
  EXPECT_EQ(ZelJson(catalogue, {"stats"})["Titles"], ZelJson(catalogue, {"stats"})["Titles"]);
  untouched();
  {
    web::CatalogueIndex index(catalogue);
    EXPECT_FALSE(index.tracked());
    EXPECT_FALSE(index.built_afresh());
  }
  untouched();
  EXPECT_EQ(SqliteText(catalogue, log_tables), "0");

  const auto retitle = [&](const std::string& title) {
    Control control;
    auto profile = control.OpenDatabase(catalogue)->Profiles()->Item(Variant("Extra001"));
    profile->SetTitle(title);
    profile->UpdateProfile();
    control.CloseDatabase();
  };
  retitle("Keller Returns");
  EXPECT_NE(SqliteText(catalogue, log_tables), "0");
  EXPECT_EQ(SqliteText(catalogue, "PRAGMA integrity_check"), "ok");
  {
    web::CatalogueIndex index(catalogue);
    EXPECT_TRUE(index.tracked());
  }
  retitle("Keller Again");
  web::CatalogueIndex index(catalogue);
  EXPECT_TRUE(index.tracked());
  EXPECT_FALSE(index.built_afresh());
  EXPECT_EQ(Answer(catalogue, {"search", "keller again"})["Titles"]["Total"], 1);
}

}  // namespace
}  // namespace zel::testing
