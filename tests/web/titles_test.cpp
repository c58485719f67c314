// zel serve: the home page, the title list with its filters, sorting and pages, covers and a
// title's own page.
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "web/html.h"
#include "web_fixture.h"

namespace zel::testing {
namespace {

TEST_F(ServeTest, HomeCountsCollectionTypesApart) {
  const std::string page = Html("/");
  EXPECT_TRUE(Has(page, "<html lang=\"en\">"));
  EXPECT_TRUE(Has(page, "role=\"search\""));
  EXPECT_FALSE(Has(page, "<script"));

  const Json home = GetJson("/api/");
  const Json& counts = home["Counts"];
  EXPECT_EQ(counts["Titles"], Sql("SELECT COUNT(*) FROM Profiles"));
  // A title without a collection type counts as owned, as the desktop program has it.
  EXPECT_EQ(counts["Owned"], Sql("SELECT COUNT(*) FROM Profiles WHERE ColType = 'Owned' OR "
                                 "ColType IS NULL OR ColType = ''"));
  EXPECT_EQ(counts["OnOrder"], 1);
  EXPECT_EQ(counts["WishList"], 1);
  EXPECT_EQ(counts["Series"], Sql("SELECT COUNT(*) FROM TVSeries"));
  EXPECT_EQ(counts["Episodes"], Sql("SELECT COUNT(*) FROM Episodes"));
  EXPECT_EQ(counts["Awards"], 2);
  // People across their names: T. Keller is Tomas Keller; divider captions are nobody.
  const int64_t names = Sql(
      "SELECT COUNT(*) FROM (SELECT Name FROM CastCrew WHERE Role IS NULL OR Role NOT LIKE "
      "'[[]Div*' UNION SELECT Name FROM TVCastCrew WHERE Role IS NULL OR Role NOT LIKE '[[]Div*')");
  const int64_t aliases_credited =
      Sql("SELECT COUNT(*) FROM Alias a WHERE EXISTS (SELECT 1 FROM CastCrew c WHERE c.Name = "
          "a.AliasName) OR EXISTS (SELECT 1 FROM TVCastCrew t WHERE t.Name = a.AliasName)");
  EXPECT_GT(aliases_credited, 0);
  EXPECT_LE(counts["People"].get<int64_t>(), names - 1);
  EXPECT_GE(counts["People"].get<int64_t>(), names - aliases_credited);
  // The titles added last, newest first, with their covers.
  const Json& recent = home["Recent"];
  ASSERT_EQ(recent.size(), 12u);
  for (size_t i = 1; i < recent.size(); ++i) {
    EXPECT_GE(recent[i - 1]["ProfileTimeStamp"], recent[i]["ProfileTimeStamp"]);
  }
  EXPECT_TRUE(recent[0].contains("Cover"));
  EXPECT_TRUE(Has(page, "<a href=\"/people\"><strong>"));
  EXPECT_TRUE(Has(page, "<ul class=\"grid\">"));
}

TEST_F(ServeTest, TitlesKeepCollectionTypesApart) {
  const Json owned = GetJson("/api/titles");
  EXPECT_EQ(owned["Filter"]["CollectionType"], "Owned");
  EXPECT_EQ(owned["Total"], GetJson("/api/titles?parts=titles")["Total"].get<int64_t>() - 2);
  for (const Json& title : AllTitles("")) EXPECT_EQ(title["CollectionType"], "Owned");
  const Json wished = GetJson("/api/titles?collection=wishlist");
  ASSERT_EQ(wished["Total"], 1);
  EXPECT_EQ(wished["Titles"][0]["CollectionType"], "WishList");
  EXPECT_EQ(GetJson("/api/titles?collection=ONORDER")["Titles"][0]["CollectionType"], "OnOrder");
  // A box set shows once, with the number of its parts; the switch lists the parts as titles.
  const Json all = GetJson("/api/titles?collection=all");
  const int64_t parts = Sql(
      "SELECT COUNT(*) FROM BoxSet b WHERE EXISTS (SELECT 1 FROM Profiles p WHERE p.ProfileID = "
      "b.ChildID) AND EXISTS (SELECT 1 FROM Profiles p WHERE p.ProfileID = b.BoxSetID)");
  ASSERT_EQ(parts, 2);
  EXPECT_EQ(all["Total"], Sql("SELECT COUNT(*) FROM Profiles") - parts);
  const Json box_sets = GetJson("/api/titles?collection=all&q=trilogy");
  ASSERT_EQ(box_sets["Titles"].size(), 1u);
  EXPECT_EQ(box_sets["Titles"][0]["Parts"], parts);
  const Json apart = GetJson("/api/titles?collection=all&parts=titles");
  EXPECT_EQ(apart["Total"], Sql("SELECT COUNT(*) FROM Profiles"));
  EXPECT_EQ(std::count_if(apart["Titles"].begin(), apart["Titles"].end(),
                          [](const Json& t) { return t.contains("BoxSet"); }),
            parts);
  EXPECT_TRUE(Has(Html("/titles?collection=all&view=grid"), "box set of 2 parts"));
  EXPECT_TRUE(Has(Html("/titles?parts=titles"), "href=\"/titles?view=grid&amp;parts=titles\""));
  // Search finds a part as its box set.
  const Json found = GetJson("/api/search?q=keeper");
  ASSERT_EQ(found["Titles"]["Items"].size(), 1u);
  EXPECT_EQ(found["Titles"]["Items"][0]["ProfileID"], "Key_800004711000");
  // So it does for words too short for the trigrams, which test every title's texts.
  const Json short_found = GetJson("/api/search?q=ke%20ep%20er&kind=titles");
  std::set<std::string> short_words;
  for (const Json& item : short_found["Titles"]["Items"]) short_words.insert(item["ProfileID"]);
  EXPECT_TRUE(short_words.count("Key_800004711000"));
  EXPECT_FALSE(short_words.count("Key_800004711111"));
  EXPECT_GE(GetJson("/api/search?q=ze")["Titles"]["Total"].get<int>(), kExtraTitles);
  EXPECT_EQ(all["Filter"]["CollectionType"], nullptr);
  EXPECT_EQ(all["Counts"]["WishList"], 1);
  EXPECT_EQ(all["Counts"]["OnOrder"], 1);

  // The switch and the marks are on the page; the choice stays in every address.
  const std::string page = Html("/titles?collection=all&q=cafe");
  EXPECT_TRUE(Has(page, ">Wish list (1)</a>"));
  EXPECT_TRUE(Has(page, "<span class=\"mark\">wish list</span>"));
  EXPECT_TRUE(
      Has(Html("/titles?collection=wishlist&view=grid"), "href=\"/titles?collection=wishlist\""));
  ExpectRefused("/titles?collection=lent", "owned, onorder, wishlist, other, all");
}

TEST_F(ServeTest, TitlesFilterOnEveryField) {
  const auto total = [&](const std::string& query) {
    return GetJson("/api/titles?collection=all&" + query)["Total"].get<int64_t>();
  };
  // Letter case and accents play no part in the text.
  EXPECT_EQ(total("q=cafe"), 3);
  EXPECT_EQ(total("q=CAF%C3%89%20lighthouse"), 2);
  EXPECT_EQ(total("q=*"), 0);
  EXPECT_EQ(total("genre=drama"),
            Sql("SELECT COUNT(DISTINCT ProfileID) FROM Genres WHERE Genre = 'Drama'"));
  EXPECT_EQ(total("medium=UMD"), Sql("SELECT COUNT(*) FROM Profiles WHERE Medium LIKE '*UMD'"));
  EXPECT_EQ(total("year=1950"), Sql("SELECT COUNT(*) FROM Profiles WHERE ProdYear = 1950"));
  // A tag folder finds the titles of every tag inside it.
  EXPECT_EQ(total("tag=Living%20Room"),
            Sql("SELECT COUNT(DISTINCT ProfileID) FROM Tags WHERE FullyQualifiedName LIKE "
                "'Living Room/*'"));
  EXPECT_GT(total("tag=Living%20Room"), 0);
  EXPECT_EQ(total("tag=Favourites"),
            Sql("SELECT COUNT(*) FROM Tags WHERE FullyQualifiedName = 'Favourites'"));
  EXPECT_EQ(total("location=shelf%203"),
            Sql("SELECT COUNT(DISTINCT ProfileID) FROM Discs WHERE Location = 'Shelf 3'"));
  EXPECT_EQ(total("studio=Blue%20Meadow"),
            Sql("SELECT COUNT(DISTINCT ProfileID) FROM Studios WHERE Studio = 'Blue Meadow'"));
  EXPECT_EQ(total("loan=yes"), Sql("SELECT COUNT(*) FROM LoanInfo"));
  EXPECT_EQ(total("loan=yes") + total("loan=no"), total(""));
  const Json lent = GetJson("/api/titles?loan=yes");
  for (const Json& title : lent["Titles"]) EXPECT_TRUE(title["OnLoan"]);
  // A person by any name: every title crediting any of their names.
  const int64_t keller =
      Sql("SELECT COUNT(*) FROM (SELECT DISTINCT ProfileID FROM CastCrew WHERE Name IN ('Tomas "
          "Keller', 'T. Keller'))");
  EXPECT_EQ(total("person=T.%20Keller"), keller);
  EXPECT_EQ(total("person=tomas%20keller"), keller);
  EXPECT_EQ(total("person=Nobody%20Known"), 0);
  // Filters add up; a value no title has finds nothing rather than being dropped.
  EXPECT_LE(total("genre=Drama&loan=no&year=1950"), total("year=1950"));
  EXPECT_EQ(total("genre=No%20Such%20Genre"), 0);
  const Json filtered = GetJson("/api/titles?genre=Drama&person=T.%20Keller&tag=Favourites");
  EXPECT_EQ(filtered["Filter"]["Person"], "T. Keller");
  for (const char* key : {"Genres", "Media", "Tags", "Locations", "Studios"}) {
    EXPECT_FALSE(filtered["Choices"][key].empty()) << key;
  }
  ExpectRefused("/titles?loan=maybe", "yes, no");
  ExpectRefused("/titles?year=abc", "year");
}

TEST_F(ServeTest, TitlesSortPageAndJumpToALetter) {
  // Each sort in each direction, with the titles that lack the value last either way.
  const std::map<std::string, std::string> sorts = {
      {"year", "ProductionYear"},    {"added", "ProfileTimeStamp"}, {"edited", "LastEdited"},
      {"purchased", "PurchaseDate"}, {"runtime", "RunningTime"},    {"price", "Price"}};
  for (const auto& [sort, key] : sorts) {
    for (const std::string order : {"asc", "desc"}) {
      const std::vector<Json> titles = AllTitles("collection=all&sort=" + sort + "&order=" + order);
      bool missing_seen = false;
      for (size_t i = 0; i < titles.size(); ++i) {
        const Json& value = titles[i][key];
        const bool missing = value.is_null() || value == 0;
        EXPECT_FALSE(missing_seen && !missing) << sort << " " << order << " at " << i;
        missing_seen |= missing;
        if (i == 0 || missing || titles[i - 1][key].is_null() || titles[i - 1][key] == 0) continue;
        EXPECT_TRUE(order == "asc" ? titles[i - 1][key] <= value : titles[i - 1][key] >= value)
            << sort << " " << order << " at " << i;
      }
    }
  }
  const std::vector<Json> rated = AllTitles("sort=rating");  // best review first by default
  ASSERT_FALSE(rated.empty());
  EXPECT_GE(rated.front()["Review"]["Film"].get<int>(), rated[1]["Review"]["Film"].get<int>());
  const std::vector<Json> by_title = AllTitles("collection=all&order=desc");
  EXPECT_EQ(by_title.front()["ProfileID"], "x<y>&'z");  // sort title "zzz"

  // Numbered pages; a page past the end shows the last.
  const Json second = GetJson("/api/titles?page=2");
  EXPECT_EQ(second["PerPage"], 50);
  EXPECT_EQ(second["Pages"], (second["Total"].get<int>() + 49) / 50);
  EXPECT_EQ(GetJson("/api/titles?page=999")["Page"], second["Pages"]);
  EXPECT_EQ(GetJson("/api/titles?view=grid")["PerPage"], 48);
  // The jump to a letter lands on the page where that letter begins, in either direction.
  const Json letters = GetJson("/api/titles");
  EXPECT_EQ(letters["Letters"].front(), "C");
  EXPECT_EQ(letters["Letters"].back(), "Z");
  const Json c = GetJson("/api/titles?order=desc&letter=c");
  ASSERT_GT(c["Page"].get<int>(), 1);
  const auto starts_c = [](const Json& t) { return t["Title"].get<std::string>()[0] == 'C'; };
  const auto first_c = std::find_if(c["Titles"].begin(), c["Titles"].end(), starts_c);
  ASSERT_NE(first_c, c["Titles"].end());
  if (first_c == c["Titles"].begin()) {
    const Json before =
        GetJson("/api/titles?order=desc&page=" + std::to_string(c["Page"].get<int>() - 1));
    EXPECT_FALSE(starts_c(before["Titles"].back()));
  }
  const std::string page = Html("/titles?sort=runtime&page=2");
  EXPECT_TRUE(Has(page, "aria-current=\"page\">2</a>"));
  EXPECT_TRUE(Has(page, "href=\"/titles?sort=runtime&amp;page=3\""));
  EXPECT_FALSE(Has(page, "<nav class=\"letters\""));  // letters only in title order
  EXPECT_TRUE(Has(Html("/titles"), "href=\"/titles?letter=Z\""));

  ExpectRefused("/titles?sort=colour", "title, year, added, edited, purchased, runtime, rating");
  ExpectRefused("/titles?order=up", "asc, desc");
  ExpectRefused("/titles?view=tiles", "list, grid");
  ExpectRefused("/titles?letter=ab", "A to Z");
  ExpectRefused("/titles?letter=B&sort=year", "sort=title");
  ExpectRefused("/titles?page=0", "page");
}

TEST_F(ServeTest, CoversComeOnlyFromTheImagesFolder) {
  // Names and the thumbnails folder in any letter case; JPEG and PNG by their extension.
  auto front = Get("/cover/Key_800004711000/front");
  ASSERT_TRUE(front);
  EXPECT_EQ(front->status, 200);
  EXPECT_EQ(front->body, "front large");
  EXPECT_EQ(front->get_header_value("Content-Type"), "image/jpeg");
  EXPECT_EQ(front->get_header_value("Cache-Control"), "public, max-age=3600");
  const std::string etag = front->get_header_value("ETag");
  ASSERT_FALSE(etag.empty());
  auto again = Get("/cover/Key_800004711000/front", {{"If-None-Match", "\"x\", W/" + etag}});
  EXPECT_EQ(again->status, 304);
  EXPECT_TRUE(again->body.empty());

  // Ranges give one part at most: overlapping ones are joined, and whatever else is asked for
  // (disjoint parts, thousands of ranges, another unit, a stale If-Range) gets the whole image.
  const std::string whole = "front large";
  std::string many;
  for (int i = 0; i < 2700; ++i) many += "0-,";
  const std::vector<std::tuple<std::string, std::string, int, std::string>> ranges = {
      {"bytes=0-4", "", 206, "front"},
      {"bytes=-5", "", 206, "large"},
      {"bytes=6-99", "", 206, "large"},
      {"bytes=3-4, 0-2,1-3", etag, 206, "front"},
      {"bytes=0-1,6-7", "", 200, whole},
      {"bytes=" + many + "0-", "", 200, whole},
      {"bytes=9-1", "", 200, whole},
      {"items=0-1", "", 200, whole},
      {"bytes=0-4", "\"stale\"", 200, whole},
      {"bytes=11-", "", 416, ""},
      {"bytes=-0", "", 416, ""}};
  for (const auto& [range, if_range, status, body] : ranges) {
    httplib::Headers headers = {{"Range", range}};
    if (!if_range.empty()) headers.emplace("If-Range", if_range);
    auto part = Get("/cover/Key_800004711000/front", headers);
    ASSERT_TRUE(part) << range;
    EXPECT_EQ(part->status, status) << range;
    if (status == 416) {
      EXPECT_EQ(part->get_header_value("Content-Range"), "bytes */11") << range;
      continue;
    }
    EXPECT_EQ(part->body, body) << range;
    EXPECT_EQ(part->get_header_value("Content-Range"),
              status == 206 ? "bytes " + std::to_string(whole.find(body)) + "-" +
                                  std::to_string(whole.find(body) + body.size() - 1) + "/11"
                            : "")
        << range;
  }
  EXPECT_EQ(Get("/cover/Key_800004711000/front?size=thumb")->body, "front small");
  auto back = Get("/cover/Key_800004711037/back?size=thumb");  // no small copy: the large one
  EXPECT_EQ(back->status, 200);
  EXPECT_EQ(back->body, "back png");
  EXPECT_EQ(back->get_header_value("Content-Type"), "image/png");
  EXPECT_EQ(Get("/cover/Key_800004711037/front")->status, 404);
  EXPECT_EQ(Get("/cover/Key_800004711000/front?size=huge")->status, 400);

  // Nothing outside the folder: parent steps, encoded slashes, absolute paths, a link leading
  // out, and names that are not covers.
  for (const char* path :
       {"/cover/Key_800004711111/front", "/cover/..%2Fsecret/front", "/cover/../secret.jpg",
        "/cover/%2E%2E%2Fsecret.jpg/front", "/cover/Key_..%2F..%2Fsecret/front",
        "/cover/%2Fetc%2Fpasswd/front", "/cover//etc/passwd/front", "/cover/notes.txt/front",
        "/cover/notes/front", "/cover/Key_800004711000/side", "/images/800004711000F.JPG",
        "/cover/Key_800004711000%00/front"}) {
    auto result = Get(path);
    ASSERT_TRUE(result) << path;
    EXPECT_EQ(result->status, 404) << path;
    // The error page names the address asked for, never what lies there.
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/html; charset=utf-8") << path;
    EXPECT_NE(result->body, "secret") << path;
  }
  EXPECT_FALSE(Has(RawExchange(server_->port(),
                               "GET /cover/../../secret.jpg HTTP/1.1\r\nHost: "
                               "localhost\r\n\r\n"),
                   "\r\n\r\nsecret"));

  // Pages show a cover where there is one and a placeholder carrying the title elsewhere.
  const Json title = GetJson("/api/title/Key_800004711000");
  EXPECT_EQ(title["Covers"]["Front"], "/cover/Key_800004711000/front");
  EXPECT_EQ(title["Covers"]["Back"], nullptr);
  EXPECT_EQ(GetJson("/api/title/Key_800004711111")["Covers"]["Front"], nullptr);  // the link
  const std::string grid = Html("/titles?view=grid&q=harbour%20trilogy");
  EXPECT_TRUE(Has(grid, "<img src=\"/cover/Key_800004711000/front?size=thumb\""));
  const std::string others = Html("/titles?view=grid&q=river%20echo");
  EXPECT_FALSE(Has(others, "<img"));
  EXPECT_TRUE(Has(others, "class=\"placeholder tint"));
  EXPECT_TRUE(Has(others, "<span>River Echo</span>"));
}

TEST_F(ServeTest, TitlePageReadsAsACollectorReads) {
  const Json title = GetJson("/api/title/Key_800004711000");
  EXPECT_EQ(title["Title"], "Harbour Trilogy (Box Set)");
  for (const char* key :
       {"Covers",   "Cast",      "Crew",          "Discs",         "Video",
        "Audio",    "Subtitles", "Features",      "Studios",       "Genres",
        "Regions",  "Review",    "SRP",           "PurchaseInfo",  "LoanInfo",
        "Events",   "Tags",      "ParentProfile", "ChildProfiles", "MissingChildProfiles",
        "Episodes", "Awards"}) {
    EXPECT_TRUE(title.contains(key)) << key;
  }
  EXPECT_EQ(title["CollectionType"], "Owned");
  EXPECT_TRUE(title["Studios"][0].contains("StudioType"));
  EXPECT_TRUE(title["PurchaseInfo"].contains("PurchasePlaceName"));
  EXPECT_DOUBLE_EQ(title["SRP"]["Value"].get<double>(), 9.99);
  // The box set's parts: two in the catalogue, one that is not, named by its identifier.
  EXPECT_EQ(title["ChildProfiles"].size(), 2u);
  EXPECT_EQ(title["MissingChildProfiles"], Json::array({"Key_800004711074"}));
  const std::string child = title["ChildProfiles"][0]["ProfileID"];
  EXPECT_EQ(GetJson("/api/title/" + web::EncodeSegment(child))["ParentProfile"]["ProfileID"],
            "Key_800004711000");
  bool saw_divider = false, saw_alias = false;
  for (const Json& credit : title["Cast"]) {
    saw_divider |= credit.value("Divider", "") == "Group";
    saw_alias |= credit.value("Name", "") == "T. Keller" && credit["CommonName"] == "Tomas Keller";
  }
  EXPECT_TRUE(saw_divider && saw_alias);

  const std::string page = Html("/title/Key_800004711000");
  const auto at = [&](const std::string& part) {
    const size_t found = page.find(part);
    EXPECT_NE(found, std::string::npos) << part;
    return found;
  };
  // Covers, facts and overview first; the catalogue's bookkeeping last.
  EXPECT_LT(at("class=\"covers\""), at("<dt>Running time</dt>"));
  EXPECT_LT(at("<dt>Running time</dt>"), at("<h2>Cast</h2>"));
  EXPECT_LT(at("class=\"overview\""), at("<h2>Cast</h2>"));
  EXPECT_LT(at("<h2>Cast</h2>"), at("<dt>Profile ID</dt>"));
  EXPECT_LT(at("<h2>In the collection</h2>"), at("<dt>Data source</dt>"));
  EXPECT_TRUE(Has(page, "<dt>Regions</dt><dd>All</dd>"));
  // A Blu-ray's regions show as letters, the stored codes beside them.
  EXPECT_EQ(GetJson("/api/title/Key_800004711074.4")["Regions"],
            Json::parse(R"([{"Region": "A", "Code": 1}, {"Region": "B", "Code": 2}])"));
  EXPECT_TRUE(Has(Html("/title/Key_800004711074.4"), "<dt>Regions</dt><dd>A, B</dd>"));
  EXPECT_TRUE(Has(page, "800004711074 <span class=\"mark\">missing from the catalogue</span>"));
  EXPECT_TRUE(Has(page, "href=\"/series/HARBOUR#ep-HARBOUR11\""));
  EXPECT_TRUE(Has(page, "scope=\"colgroup\">The Harbour Band"));

  // The overview's own formatting is rendered; everything else stays text.
  const std::string hostile = Html("/title/x%3Cy%3E%26'z");
  EXPECT_TRUE(Has(hostile, "<p><b>Bold</b> and <i>it</i><br>next</p>\n<p>para</p>"));
  EXPECT_TRUE(Has(hostile, "&lt;b onclick=&quot;x&quot;&gt;attr"));
  EXPECT_TRUE(Has(hostile, "<u>open</u></p>"));
  for (const char* raw : {"<script", "<img", "<a href=\"javascript", "onclick=\""}) {
    EXPECT_FALSE(Has(hostile, raw)) << raw;
  }
}

TEST_F(ServeTest, EveryTextIsEscaped) {
  const std::string body = Html("/title/x%3Cy%3E%26'z");
  EXPECT_FALSE(Has(body, "<b>Bold</b> &"));
  EXPECT_FALSE(Has(body, "<Genre>"));
  EXPECT_TRUE(Has(body, "&lt;script&gt;alert(&quot;t&quot;)&lt;/script&gt; &amp; &#39;Co&#39;"));
  EXPECT_TRUE(Has(body, "&lt;img src=x onerror=alert(1)&gt;"));
  EXPECT_TRUE(Has(body, "href=\"/person/%3Cb%3EBold%3C%2Fb%3E%20%26%20%22Co%22\""));
  // The same texts come back unchanged as JSON.
  const Json title = GetJson("/api/title/x%3Cy%3E%26'z");
  EXPECT_EQ(title["Title"], "<script>alert(\"t\")</script> & 'Co'");
  EXPECT_EQ(title["Cast"][0]["Name"], "<b>Bold</b> & \"Co\"");
  EXPECT_FALSE(Has(Html("/person/%3Cb%3EBold%3C%2Fb%3E%20%26%20%22Co%22"), "<b>Bold"));
  EXPECT_FALSE(Has(Html("/search?q=%3Cscript%3E"), "<script>"));
  EXPECT_FALSE(Has(Html("/titles?q=%3Cscript%3E&person=%22%3E%3Cb%3E"), "\"><b>"));
  // Values from the address reach statements only quoted.
  EXPECT_EQ(GetJson("/api/title/'%20OR%20'1'%3D'1", 404)["Status"], 404);
  EXPECT_EQ(Get("/person/x'%3B%20DROP%20TABLE%20Profiles%3B--")->status, 404);
  EXPECT_EQ(GetJson("/api/titles?person=x'%3B%20DROP%20TABLE%20Profiles%3B--")["Total"], 0);
  EXPECT_EQ(GetJson("/api/")["Counts"]["Titles"], Sql("SELECT COUNT(*) FROM Profiles"));
}

}  // namespace
}  // namespace zel::testing
