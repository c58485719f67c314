#include <fstream>

#include <nlohmann/json.hpp>

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "model/profiles.h"
#include "support/test_support.h"

namespace zel {
namespace {

using testing::RunZel;
using Json = nlohmann::json;

// A catalogue with two profiles, the first with cast, crew, a disc and formats.
std::string MakeCatalogue(const testing::TempDir& dir, std::string& alien_id) {
  const std::string path = dir.File("cli.zel");
  Control control;
  auto db = control.CreateDatabase(path);
  db->DbExecute(
      "INSERT INTO Alias (AliasName, CommonName) VALUES ('Sigourney Weaver', 'Susan Weaver')");
  auto profiles = db->Profiles();
  auto alien = profiles->Add("Alien", "");
  alien->SetSortTitle("Alien");
  alien->SetProductionYear(1979);
  alien->SetMedium("DVD");
  alien->Cast()->Add("Sigourney Weaver", "Ripley", 1, 1949);
  alien->Crew()->Add("Ridley Scott", "Director", 1, 0);
  alien->Discs()->Add("1", "Feature")->SetDualLayered(true);
  alien->Audio()->Add("English", "Dolby Digital", 1, "5.1");
  alien->Video()->SetAspectRatio("2.35");
  alien->UpdateProfile();
  auto brazil = profiles->Add("Brazil", "");
  brazil->SetSortTitle("Brazil");
  brazil->UpdateProfile();
  alien_id = alien->ProfileID();
  control.CloseDatabase();
  return path;
}

TEST(ZelCli, ProfilesListsOneLinePerProfileBySortTitle) {
  testing::TempDir dir;
  std::string id;
  const std::string path = MakeCatalogue(dir, id);
  auto table = RunZel({"profiles", path});
  ASSERT_EQ(table.exit_code, 0) << table.err;
  const size_t alien = table.out.find("Alien");
  ASSERT_NE(alien, std::string::npos);
  EXPECT_LT(alien, table.out.find("Brazil"));
  EXPECT_NE(table.out.find(id), std::string::npos);

  auto json = RunZel({"profiles", path, "--json"});
  ASSERT_EQ(json.exit_code, 0) << json.err;
  Json list = Json::parse(json.out);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]["ProfileID"], id);
  EXPECT_EQ(list[0]["ProductionYear"], 1979);
  EXPECT_EQ(list[1]["Title"], "Brazil");
}

// An imported collection: a season box set counting as one title with its two discs counting as
// none, a Blu-ray of regions B and "All", and a title on the wish list.
TEST(ZelCli, ProfilesShowBoxSetsOnceCountsRegionsAndCollectionTypes) {
  testing::TempDir dir;
  const std::string path = dir.File("boxes.zel");
  const std::string collection = dir.File("collection.xml");
  const auto title = [](const std::string& id, const std::string& name, const std::string& more) {
    return "<DVD><ID>" + id + "</ID><UPC>" + id + "</UPC><Title>" + name + "</Title>" + more +
           "</DVD>";
  };
  std::ofstream(collection)
      << "<Collection>"
      << title("B1", "Castle: Season 3",
               "<CountAs>1</CountAs><BoxSet><Contents><Content>D1</Content><Content>D2</Content>"
               "</Contents></BoxSet>")
      << title("D1", "Castle: Season 3: Disc 1", "<CountAs>0</CountAs>")
      << title("D2", "Castle: Season 3: Disc 2", "<CountAs>0</CountAs>")
      << title("M1", "Moon",
               "<MediaTypes><DVD>false</DVD><BluRay>true</BluRay></MediaTypes>"
               "<Regions><Region>B</Region><Region>All</Region></Regions>")
      << title("W1", "Wanted", "<CollectionType>Wish List</CollectionType>") << "</Collection>";
  ASSERT_EQ(RunZel({"create", path}).exit_code, 0);
  auto imported = RunZel({"import", path, collection, "--quiet"});
  ASSERT_EQ(imported.exit_code, 0) << imported.err;

  auto table = RunZel({"profiles", path});
  ASSERT_EQ(table.exit_code, 0) << table.err;
  EXPECT_EQ(table.out.find("Disc 1"), std::string::npos) << table.out;
  for (const char* part : {"2 parts", "All, B", "WishList",
                           "(5 profiles, 2 of them inside 1 box set; counted as 3: Owned 2, "
                           "WishList 1)"}) {
    EXPECT_NE(table.out.find(part), std::string::npos) << part << " in\n" << table.out;
  }
  auto flat = RunZel({"profiles", path, "--parts"});
  EXPECT_NE(flat.out.find("part of Key_B1"), std::string::npos) << flat.out;

  const Json list = Json::parse(RunZel({"profiles", path, "--json"}).out);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(std::tuple(list[0]["PartCount"], list[0]["Counted"], list[0]["Parts"].size()),
            std::tuple(2, 1, 2u));
  EXPECT_EQ(list[1]["Regions"], Json::parse(R"([{"Region": "All", "Code": 0},
                                                {"Region": "B", "Code": 2}])"));
  EXPECT_EQ(list[2]["CollectionType"], "WishList");
}

// A title made through the model rather than imported; the command's likeness to the title page
// is tested with the server's.
TEST(ZelCli, ShowPrintsOneTitleAndNamesAnUnknownOne) {
  testing::TempDir dir;
  std::string id;
  const std::string path = MakeCatalogue(dir, id);
  auto text = RunZel({"show", path, id});
  ASSERT_EQ(text.exit_code, 0) << text.err;
  EXPECT_EQ(text.out.rfind("Alien (1979)\n", 0), 0u);
  for (const char* part : {"Sigourney Weaver  Susan Weaver  Ripley", "Ridley Scott", "dual layered",
                           "English, Dolby Digital, 5.1", "2.35:1"}) {
    EXPECT_NE(text.out.find(part), std::string::npos) << part << " in\n" << text.out;
  }
  auto json = RunZel({"show", path, id, "--json"});
  ASSERT_EQ(json.exit_code, 0) << json.err;
  EXPECT_EQ(Json::parse(json.out)["Cast"][0]["CommonName"], "Susan Weaver");

  auto missing = RunZel({"show", path, "nope"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_EQ(missing.err, "zel: No title 'nope' in " + path + " (error 5)\n");
  // The start of a stored identifier names the titles it would have matched.
  auto near = RunZel({"show", path, id.substr(0, 6)});
  EXPECT_EQ(near.exit_code, 1);
  EXPECT_EQ(near.err, "zel: No title '" + id.substr(0, 6) + "' in " + path + "; did you mean " +
                          id + "? (error 5)\n");
}

}  // namespace
}  // namespace zel
