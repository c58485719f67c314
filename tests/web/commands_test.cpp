// zel show, search and stats beside the pages and the /api answers of zel serve.
#include <algorithm>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "web/html.h"
#include "web_fixture.h"

namespace zel::testing {
namespace {

// zel show, search and stats read with the functions the pages read with: their --json is what
// /api answers (from a server without covers, which a command has no addresses for).
TEST_F(ServeTest, CommandsPrintWhatTheApiAnswers) {
  ServerProcess plain(catalogue_);
  ASSERT_GT(plain.port(), 0);
  httplib::Client client("127.0.0.1", plain.port());
  client.set_read_timeout(30, 0);
  const auto api = [&](const std::string& path) {
    auto result = client.Get("/api" + path);
    EXPECT_TRUE(result && result->status == 200) << path;
    return result ? Json::parse(result->body) : Json();
  };
  const auto zel_json = [&](std::vector<std::string> args) {
    args.insert(args.begin() + 1, catalogue_);
    args.push_back("--json");
    const CommandResult result = RunZel(args);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    return result.exit_code == 0 ? Json::parse(result.out) : Json();
  };
  for (const std::string id : {"Key_800004711000", "Key_800004711185", "x<y>&'z"}) {
    EXPECT_EQ(zel_json({"show", id}), api("/title/" + web::EncodeSegment(id))) << id;
  }
  const std::pair<std::vector<std::string>, std::string> searches[] = {
      {{"search", "CAF\xC3\x89"}, "/search?q=CAF%C3%89"},
      {{"search", "t. keller", "--kind", "person"}, "/search?q=t.%20keller&kind=people"},
      {{"search", "extra", "--kind", "roles", "--page", "3"}, "/search?q=extra&kind=roles&page=3"},
      {{"search", "zebra", "--kind", "Title", "--page", "99"},
       "/search?q=zebra&kind=titles&page=99"},
      {{"stats"}, "/stats"},
      {{"stats", "--collection", "wishlist"}, "/stats?collection=wishlist"},
      {{"stats", "--collection", "ALL"}, "/stats?collection=all"}};
  for (const auto& [args, path] : searches) EXPECT_EQ(zel_json(args), api(path)) << path;
  EXPECT_EQ(plain.Stop(), 0);
}

// Whether one line of `text` holds every one of `parts`, in that order.
bool LineHas(const std::string& text, const std::vector<std::string>& parts) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    size_t at = 0;
    bool all = true;
    for (const std::string& part : parts) {
      at = line.find(part, at);
      if (at == std::string::npos) {
        all = false;
        break;
      }
      at += part.size();
    }
    if (all) return true;
  }
  return false;
}

TEST_F(ServeTest, CommandsShowWhatThePagesShowAsText) {
  const CommandResult box = RunZel({"show", catalogue_, "Key_800004711000"});
  ASSERT_EQ(box.exit_code, 0) << box.err;
  const std::string& title = box.out;
  EXPECT_EQ(title.rfind("Harbour Trilogy (Box Set) (1950)\n", 0), 0u);
  // The page's sections in its order, a list divider as a heading of its own.
  size_t last = 0;
  for (const char* heading :
       {"\nOverview\n", "\nCast (6)\n", "\nThe Harbour Band (group)\n", "\nCrew (3)\n",
        "\nIn this box set (3)\n", "\nEpisodes on these discs (1)\n", "\nDiscs (3)\n",
        "\nFormats\n", "\nAwards (2)\n", "\nIn the collection\n", "\nNotes\n",
        "\nCatalogue details\n"}) {
    const size_t at = title.find(heading);
    ASSERT_NE(at, std::string::npos) << heading;
    EXPECT_GT(at, last) << heading;
    last = at;
  }
  EXPECT_FALSE(Has(title, "[Div")) << title;
  EXPECT_TRUE(LineHas(title, {"T. Keller", "Tomas Keller", "River Captain", "1941"}));
  EXPECT_TRUE(LineHas(title, {"800004711074", "(missing from the catalogue)"}));
  EXPECT_TRUE(LineHas(title, {"HARBOUR11", "Harbour Lights \xE2\x80\x93 1.1 The Lighthouse"}));
  EXPECT_TRUE(LineHas(title, {"Harbour Film Prize", "1951", "Best Score",
                              "Sven Eklund, Anna J. Berg", "Nominated"}));
  EXPECT_TRUE(LineHas(title, {"Regions:", "All"}));
  EXPECT_TRUE(LineHas(title, {"Harbour Films Home Video (Media Company)"}));
  const std::string lent = RunZel({"show", catalogue_, "Key_800004711185"}).out;
  EXPECT_TRUE(Has(lent, "\n  (on loan)\n")) << lent;
  EXPECT_TRUE(LineHas(lent, {"On loan:", "to Lena Berg, due 2013-07-01"}));
  EXPECT_TRUE(LineHas(lent, {"Price paid:", "12.49 EUR"}));
  EXPECT_TRUE(LineHas(lent, {"Tags:", "Favourites"}) && LineHas(lent, {"Living Room/Shelf 2"}));
  EXPECT_TRUE(LineHas(lent, {"Events:", "2013-06-11 20:15:00 Watched (Lena Berg)"}));
  EXPECT_TRUE(LineHas(RunZel({"show", catalogue_, "Key_800004711037"}).out,
                      {"Part of:", "Harbour Trilogy (Box Set) (1950)", "Key_800004711000"}));
  // The overview's formatting becomes lines; other markup stays as written.
  EXPECT_TRUE(Has(RunZel({"show", catalogue_, "x<y>&'z"}).out,
                  "\nOverview\nBold and it\nnext\n\npara\n\n<script>alert(1)</script>"));

  const CommandResult zebra = RunZel({"search", catalogue_, "ZEBRA"});
  ASSERT_EQ(zebra.exit_code, 0) << zebra.err;
  EXPECT_EQ(zebra.out.rfind(
                "Search for \"ZEBRA\": Titles 210, People 0, Roles 0, Series 0, Episodes 0\n", 0),
            0u);
  EXPECT_TRUE(Has(zebra.out, "(the first 10; --kind title lists all of them, a page at a time)"));
  const std::string page =
      RunZel({"search", catalogue_, "zebra", "--kind", "title", "--page", "4"}).out;
  EXPECT_TRUE(Has(page, "\nTitles (210), page 4 of 5\n")) << page;
  EXPECT_TRUE(Has(page, "(--page 5 for the next page)"));
  EXPECT_EQ(std::count(page.begin(), page.end(), '\n'), 2 + 1 + 2 + 50 + 1);
  EXPECT_TRUE(LineHas(RunZel({"search", catalogue_, "lighthouse keeper", "--kind", "role"}).out,
                      {"Lighthouse Keeper", "Tomas Keller", "HARBOUR11", "Harbour Lights"}));
  const CommandResult nothing = RunZel({"search", catalogue_, "qqqq"});
  EXPECT_EQ(nothing.exit_code, 0);
  EXPECT_TRUE(nothing.out.ends_with("\nNothing found.\n")) << nothing.out;

  const std::string stats = RunZel({"stats", catalogue_}).out;
  EXPECT_EQ(stats.rfind("Statistics of the owned titles: " +
                            std::to_string(Sql("SELECT COUNT(*) FROM Profiles WHERE ColType = "
                                               "'Owned' OR ColType IS NULL OR ColType = ''")) +
                            " titles\n",
                        0),
            0u)
      << stats;
  EXPECT_TRUE(LineHas(stats, {"Paging Person", "210", "0"}));
  EXPECT_TRUE(LineHas(
      stats, {"Garden Paper", "Key_800004711185", "Lena Berg", "2013-07-01 (", " days late)"}));
  EXPECT_EQ(RunZel({"stats", catalogue_, "--collection", "wishlist"})
                .out.rfind("Statistics of the wish list titles: 1 title\n", 0),
            0u);

  // Bad values are usage errors naming what there is; a missing catalogue is the usual one line.
  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"search", catalogue_, "a", "--kind", "things"}, "title, person, role, series, episode"},
      {{"search", catalogue_, "a", "--kind", "title", "--page", "0"}, "--page"},
      {{"search", catalogue_, " "}, "give at least one word to search for"},
      {{"stats", catalogue_, "--collection", "lent"}, "owned, onorder, wishlist, other, all"}};
  for (const auto& [args, named] : refused) {
    const CommandResult result = RunZel(args);
    EXPECT_NE(result.exit_code, 0) << named;
    EXPECT_TRUE(Has(result.err, named)) << result.err;
  }
  const CommandResult missing = RunZel({"stats", dir_->File("none.zel")});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_EQ(missing.err.rfind("zel: ", 0), 0u);
}

}  // namespace
}  // namespace zel::testing
