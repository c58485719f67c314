// zel serve over HTTP: a real server process on a loopback port, serving the example catalogue
// (examples/collection.xml imported with zel import, plus a series and awards from
// tests/browser/example_series.sql, a title full of markup characters and 210 plain titles that
// credit one person, for paging) and an images folder made for the test.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "frame/text.h"
#include "serve_fold.h"
#include "serve_html.h"
#include "support/test_support.h"

namespace zel::testing {
namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

constexpr int kExtraTitles = 210;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// Runs statements on the catalogue in this process, as another program would.
void Execute(const std::string& catalogue, const std::vector<std::string>& statements) {
  Control control;
  auto database = control.OpenDatabase(catalogue);
  for (const std::string& sql : statements) database->ExecuteSQL(sql);
  control.CloseDatabase();
}

// The first column of the first row of a query, read in this process.
int64_t Count(const std::string& catalogue, const std::string& sql) {
  Control control;
  auto database = control.OpenDatabase(catalogue);
  auto records = database->DbOpenRecordSet(sql);
  const Variant value = records->Eof() ? Variant() : records->ValueAt(0);
  records.reset();
  control.CloseDatabase();
  return value.IsNull() || value.IsEmpty() ? 0 : value.ToLong();
}

// The example catalogue with a series, awards, a hostile title and plain titles for paging.
void BuildCatalogue(const std::string& catalogue) {
  ASSERT_EQ(RunZel({"create", catalogue}).exit_code, 0);
  const CommandResult import =
      RunZel({"import", catalogue, SourceDir() + "/examples/collection.xml"});
  ASSERT_EQ(import.exit_code, 0) << import.err;
  std::vector<std::string> statements;
  std::ifstream series(SourceDir() + "/tests/browser/example_series.sql");
  for (std::string line; std::getline(series, line);) {
    if (!line.empty()) statements.push_back(line);
  }
  statements.push_back(
      "INSERT INTO Profiles (ProfileID, Title, SortTitle, OriginalTitle, Overview, Medium) VALUES "
      "('x<y>&''z', '<script>alert(\"t\")</script> & ''Co''', 'zzz', '', '<b>Bold</b> and "
      "<I>it</I><br>next<p>para</p><script>alert(1)</script><img src=x onerror=alert(1)>"
      "<a href=\"javascript:alert(1)\">link</a><b onclick=\"x\">attr</b><u>open', 'DVD')");
  statements.push_back(
      "INSERT INTO CastCrew (Name, Role, ProfileID, Position, IsCast, IsVoice, IsUncredited, "
      "IsCreditOnly) VALUES ('<b>Bold</b> & \"Co\"', '<img src=x onerror=alert(1)>', 'x<y>&''z', "
      "1, true, false, false, false)");
  statements.push_back("INSERT INTO Genres (ProfileID, Genre) VALUES ('x<y>&''z', '<Genre>')");
  for (int i = 1; i <= kExtraTitles; ++i) {
    const std::string n = std::to_string(1000 + i).substr(1);
    const std::string id = "Extra" + n;
    statements.push_back(
        "INSERT INTO Profiles (ProfileID, Title, SortTitle, ColType, ProdYear, "
        "Runtime, Medium) VALUES ('" +
        id + "', 'Zebra " + n + "', 'Zebra " + n + "', 'Owned', " + std::to_string(1900 + i % 100) +
        ", " + std::to_string(60 + i) + ", 'DVD')");
    statements.push_back(
        "INSERT INTO CastCrew (Name, Role, ProfileID, Position, IsCast, IsVoice, IsUncredited, "
        "IsCreditOnly) VALUES ('Paging Person', 'Extra " +
        n + "', '" + id + "', 1, true, false, false, false)");
  }
  Execute(catalogue, statements);
}

// Covers in every letter case, a thumbnail in a folder of its own case, a link that leads out of
// the folder and a file beside the folder that must never be served.
void BuildImages(const fs::path& root) {
  WriteFile(root / "images" / "800004711000F.JPG", "front large");
  WriteFile(root / "images" / "Thumbnails" / "800004711000f.jpeg", "front small");
  WriteFile(root / "images" / "800004711037b.PNG", "back png");
  WriteFile(root / "images" / "notes.txt", "not an image");
  WriteFile(root / "secret.jpg", "secret");
  fs::create_symlink(root / "secret.jpg", root / "images" / "800004711111f.jpg");
}

// A zel serve process on a free loopback port, stopped with SIGTERM at the end.
class ServerProcess {
 public:
  ServerProcess(const std::string& catalogue, std::vector<std::string> extra = {},
                const std::string& err_path = {}) {
    int out[2];
    if (pipe(out) != 0) return;
    const std::string zel = BinaryDir() + "/bin/zel";
    std::vector<std::string> args = {zel, "serve", catalogue, "--bind", "127.0.0.1"};
    if (std::find(extra.begin(), extra.end(), "--port") == extra.end()) extra.push_back("--port");
    if (extra.back() == "--port") extra.push_back("0");
    args.insert(args.end(), extra.begin(), extra.end());
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      // Errors reach the test's own output (sanitizer reports among them) unless kept for reading.
      if (!err_path.empty()) dup2(open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv;
      for (std::string& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      execv(zel.c_str(), argv.data());
      _exit(127);
    }
    close(out[1]);
    // The first line names the address: "Serving FILE at http://127.0.0.1:PORT/ ...".
    std::string line;
    char c = 0;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    const size_t at = line.find("http://127.0.0.1:");
    if (at != std::string::npos) port_ = std::stoi(line.substr(at + 17));
  }
  ~ServerProcess() { Stop(); }

  // Stops the server; its exit code (0 for a clean stop).
  int Stop() {
    if (pid_ <= 0) return exit_code_;
    kill(pid_, SIGTERM);
    return Wait(30);
  }
  // Waits up to `seconds` for the process to end by itself (then kills it); its exit code.
  int Wait(int seconds) {
    if (pid_ <= 0) return exit_code_;
    int status = 0;
    for (int i = 0; i < seconds * 20 && waitpid(pid_, &status, WNOHANG) == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (i + 1 == seconds * 20) kill(pid_, SIGKILL);
    }
    waitpid(pid_, &status, 0);
    pid_ = -1;
    exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return exit_code_;
  }
  bool Alive() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
  int port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  int exit_code_ = -1;
};

// Sends raw bytes and returns whatever the server answers before closing (or a timeout).
std::string RawExchange(int port, const std::string& bytes, bool half_close = true) {
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
  if (connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(sock);
    return "<no connection>";
  }
  timeval timeout{10, 0};
  setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(sock, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  if (half_close) shutdown(sock, SHUT_WR);
  // Without a half close the server may keep the connection open: the first answer is enough.
  std::string answer;
  char buffer[4096];
  for (ssize_t n; (n = recv(sock, buffer, sizeof buffer, 0)) > 0;) {
    answer.append(buffer, n);
    if (!half_close && answer.find("\r\n\r\n") != std::string::npos) break;
  }
  close(sock);
  return answer;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class ServeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    catalogue_ = dir_->File("example.zel");
    BuildCatalogue(catalogue_);
    BuildImages(dir_->path());
    server_ = new ServerProcess(catalogue_, {"--images", dir_->File("images")});
  }
  static void TearDownTestSuite() {
    EXPECT_EQ(server_->Stop(), 0) << "the server did not end cleanly";
    delete server_;
    delete dir_;
  }
  void SetUp() override { ASSERT_GT(server_->port(), 0) << "the server did not start"; }

  httplib::Result Get(const std::string& path, const httplib::Headers& headers = {}) {
    httplib::Client client("127.0.0.1", server_->port());
    client.set_read_timeout(30, 0);
    return client.Get(path, headers);
  }
  std::string Html(const std::string& path) {
    auto result = Get(path);
    if (!result || result->status != 200) {
      ADD_FAILURE() << path << ": " << (result ? result->status : -1);
      return {};
    }
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/html; charset=utf-8");
    return result->body;
  }
  Json GetJson(const std::string& path, int expected_status = 200) {
    auto result = Get(path);
    if (!result) {
      ADD_FAILURE() << "no answer for " << path;
      return {};
    }
    EXPECT_EQ(result->status, expected_status) << path << "\n" << result->body;
    EXPECT_EQ(result->get_header_value("Content-Type"), "application/json; charset=utf-8");
    return Json::parse(result->body);
  }
  // A bad value: 400 with a message naming what is allowed, for people and for scripts.
  void ExpectRefused(const std::string& path, const std::string& named) {
    const Json error = GetJson("/api" + path, 400);
    EXPECT_EQ(error["Status"], 400) << path;
    EXPECT_TRUE(Has(error.value("Error", ""), named)) << path << ": " << error.dump();
    auto page = Get(path);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 400) << path;
    EXPECT_TRUE(Has(page->body, "<h1>Bad request</h1>")) << path;
  }
  int64_t Sql(const std::string& sql) { return Count(catalogue_, sql); }
  // Every title of every page of a title list.
  std::vector<Json> AllTitles(const std::string& query) {
    std::vector<Json> titles;
    const Json first = GetJson("/api/titles?" + query);
    for (int page = 1; page <= first["Pages"].get<int>(); ++page) {
      const Json list = GetJson("/api/titles?" + query + "&page=" + std::to_string(page));
      titles.insert(titles.end(), list["Titles"].begin(), list["Titles"].end());
    }
    EXPECT_EQ(static_cast<int64_t>(titles.size()), first["Total"].get<int64_t>()) << query;
    return titles;
  }

  static TempDir* dir_;
  static std::string catalogue_;
  static ServerProcess* server_;
};
TempDir* ServeTest::dir_ = nullptr;
std::string ServeTest::catalogue_;
ServerProcess* ServeTest::server_ = nullptr;

TEST(ServeHtml, EscapingEncodingFoldingAndTheOverviewAllowList) {
  EXPECT_EQ(serve::Escape("<a href=\"x\">Tom & 'Jerry'</a>"),
            "&lt;a href=&quot;x&quot;&gt;Tom &amp; &#39;Jerry&#39;&lt;/a&gt;");
  EXPECT_EQ(serve::EncodeSegment("T. Keller/Jr?&#%"), "T.%20Keller%2FJr%3F%26%23%25");
  EXPECT_EQ(serve::EncodeSegment(".."), "%2E%2E");
  EXPECT_EQ(serve::EncodeSegment("Zo\xC3\xAB"), "Zo%C3%AB");
  EXPECT_EQ(serve::Fold("Caf\xC3\xA9 REN\xC3\x89"
                        "E \xC5\x81\xC3\xB3"
                        "d\xC5\xBA \xC3\x86sir O\xE2\x80\x99Hara"),
            "cafe renee lodz aesir o'hara");
  EXPECT_EQ(serve::Fold("Rene\xCC\x81"
                        "e"),
            "renee");  // decomposed accent

  EXPECT_EQ(serve::RichText("<b>Bold</b> <I>it</I> <u>u</u><br/>x"),
            "<p><b>Bold</b> <i>it</i> <u>u</u><br>x</p>\n");
  EXPECT_EQ(serve::RichText("a<p>b</p>c\r\nd"), "<p>a</p>\n<p>b</p>\n<p>c<br>d</p>\n");
  // Unclosed and crossed elements are closed in order; stray closings are dropped.
  EXPECT_EQ(serve::RichText("<b>x<i>y</b>z</i>"), "<p><b>x<i>y</i></b>z</p>\n");
  EXPECT_EQ(serve::RichText("<u>open"), "<p><u>open</u></p>\n");
  const std::string hostile = serve::RichText(
      "<script>alert(1)</script><img src=x onerror=alert(1)><a href=\"javascript:x\">l</a>"
      "<b onclick=\"x\">a</b><p class=x>&amp; &lt;&gt; &bogus;");
  for (const char* raw : {"<script", "<img", "<a ", "<b ", "<p class"}) {
    EXPECT_FALSE(Has(hostile, raw)) << raw << " in " << hostile;
  }
  EXPECT_TRUE(Has(hostile, "&lt;script&gt;alert(1)&lt;/script&gt;"));
  EXPECT_TRUE(Has(hostile, "&amp; &lt;&gt; &amp;bogus;"));
}

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
  EXPECT_EQ(counts["Series"], 1);
  EXPECT_EQ(counts["Episodes"], 3);
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
  ASSERT_EQ(home["Recent"].size(), 10u);
  for (const char* key : {"ProfileID", "Title", "ProductionYear", "Medium", "CollectionType",
                          "OnLoan", "Cover", "LastEdited"}) {
    EXPECT_TRUE(home["Recent"][0].contains(key)) << key;
  }
}

TEST_F(ServeTest, TitlesKeepCollectionTypesApart) {
  const Json owned = GetJson("/api/titles");
  EXPECT_EQ(owned["Filter"]["CollectionType"], "Owned");
  EXPECT_EQ(owned["Total"], GetJson("/api/")["Counts"]["Owned"]);
  for (const Json& title : AllTitles("")) EXPECT_EQ(title["CollectionType"], "Owned");
  const Json wished = GetJson("/api/titles?collection=wishlist");
  ASSERT_EQ(wished["Total"], 1);
  EXPECT_EQ(wished["Titles"][0]["CollectionType"], "WishList");
  EXPECT_EQ(GetJson("/api/titles?collection=ONORDER")["Titles"][0]["CollectionType"], "OnOrder");
  const Json all = GetJson("/api/titles?collection=all");
  EXPECT_EQ(all["Total"], Sql("SELECT COUNT(*) FROM Profiles"));
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
  auto again = Get("/cover/Key_800004711000/front", {{"If-None-Match", etag}});
  EXPECT_EQ(again->status, 304);
  EXPECT_TRUE(again->body.empty());
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
    EXPECT_FALSE(Has(result->body, "secret")) << path;
  }
  EXPECT_FALSE(Has(RawExchange(server_->port(),
                               "GET /cover/../../secret.jpg HTTP/1.1\r\nHost: "
                               "x\r\n\r\n"),
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
  EXPECT_EQ(GetJson("/api/title/" + serve::EncodeSegment(child))["ParentProfile"]["ProfileID"],
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

TEST_F(ServeTest, PersonPageSummarisesAndPagesTheirTitles) {
  const Json by_common = GetJson("/api/person/Tomas%20Keller");
  const Json by_alias = GetJson("/api/person/T.%20Keller");
  EXPECT_EQ(by_alias["CommonName"], "Tomas Keller");
  EXPECT_EQ(by_common["Titles"], by_alias["Titles"]);
  EXPECT_EQ(by_alias["Aliases"][0]["AliasName"], "T. Keller");
  // One line per title, every role of theirs there joined, under whichever name.
  const int64_t titles =
      Sql("SELECT COUNT(*) FROM (SELECT DISTINCT ProfileID FROM CastCrew WHERE Name IN ('Tomas "
          "Keller', 'T. Keller'))");
  const Json& summary = by_common["Summary"];
  EXPECT_EQ(summary["Titles"], titles);
  EXPECT_EQ(summary["Episodes"], 3);
  EXPECT_EQ(summary["Awards"], 1);
  EXPECT_EQ(summary["Won"], 1);
  EXPECT_EQ(summary["FirstYear"], 1950);
  const Json& lines = by_common["Titles"]["Items"];
  ASSERT_EQ(static_cast<int64_t>(lines.size()), titles);
  const Json& box_set = lines[0];  // in year order, 1950 first
  EXPECT_EQ(box_set["ProfileID"], "Key_800004711000");
  ASSERT_EQ(box_set["Roles"].size(), 2u);
  EXPECT_EQ(box_set["Roles"][0]["Role"], "River Captain");
  EXPECT_EQ(box_set["Roles"][0]["CreditedAs"], "T. Keller");
  EXPECT_TRUE(box_set["Roles"][0]["IsCast"]);
  EXPECT_EQ(box_set["Roles"][1]["Role"], "Screenwriter");
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_LE(lines[i - 1]["ProductionYear"], lines[i]["ProductionYear"]);
  }
  const Json by_title = GetJson("/api/person/Tomas%20Keller?sort=title&order=desc");
  EXPECT_EQ(by_title["Sort"], "title");
  const Json& sorted = by_title["Titles"]["Items"];
  for (size_t i = 1; i < sorted.size(); ++i) {
    EXPECT_GE(ToLower(sorted[i - 1]["Title"].get<std::string>()),
              ToLower(sorted[i]["Title"].get<std::string>()));
  }
  ASSERT_EQ(by_common["Episodes"]["Items"].size(), 3u);
  EXPECT_EQ(by_common["Episodes"]["Items"][2]["Roles"][0]["Role"], "Director");
  // Awards are the person's own, not those of every nominee text holding the name.
  EXPECT_EQ(GetJson("/api/person/Anna%20J.%20Berg")["Awards"].size(), 1u);
  EXPECT_TRUE(GetJson("/api/person/Anna%20Berg")["Awards"].empty());
  EXPECT_EQ(GetJson("/api/person/Keller", 404)["Status"], 404);
  EXPECT_EQ(GetJson("/api/person/The%20Harbour%20Band", 404)["Status"], 404);  // a divider

  const std::string page = Html("/person/T.%20Keller");
  EXPECT_TRUE(Has(page, "<h1>Tomas Keller</h1>"));
  EXPECT_TRUE(Has(page, "active 1950"));
  EXPECT_TRUE(Has(page, "River Captain (as T. Keller); Screenwriter"));
  EXPECT_TRUE(Has(page, "href=\"/person/T.%20Keller?sort=title\""));

  // Beyond 200 lines the list is paged.
  const Json first = GetJson("/api/person/Paging%20Person");
  EXPECT_EQ(first["Titles"]["Total"], kExtraTitles);
  EXPECT_EQ(first["Titles"]["Items"].size(), 200u);
  const Json second = GetJson("/api/person/Paging%20Person?page=2");
  ASSERT_EQ(second["Titles"]["Items"].size(), static_cast<size_t>(kExtraTitles - 200));
  EXPECT_NE(second["Titles"]["Items"][0], first["Titles"]["Items"][0]);
  EXPECT_TRUE(Has(Html("/person/Paging%20Person"), "href=\"/person/Paging%20Person?page=2\""));
  ExpectRefused("/person/Paging%20Person?sort=age", "year, title");
}

TEST_F(ServeTest, SearchFoldsCaseAndAccentsAndPagesEveryMatch) {
  const auto totals = [&](const std::string& text) {
    const Json found = GetJson("/api/search?q=" + text);
    std::map<std::string, int64_t> out;
    for (const char* kind : {"Titles", "People", "Roles", "Series", "Episodes"}) {
      out[kind] = found[kind]["Total"];
    }
    return out;
  };
  EXPECT_EQ(totals("cafe"), totals("CAF%C3%89"));
  EXPECT_EQ(totals("cafe")["Titles"], 3);
  const Json renee = GetJson("/api/search?q=renee%20novak");
  std::set<std::string> people;
  for (const Json& person : renee["People"]["Items"]) people.insert(person["CommonName"]);
  EXPECT_TRUE(people.count("Ren\xC3\xA9"
                           "e Novak") &&
              people.count("Ren\xC3\xA9"
                           "e J. Novak"));
  // Any credited name finds the person; every word must match somewhere.
  const Json alias = GetJson("/api/search?q=t.%20keller");
  ASSERT_EQ(alias["People"]["Total"], 1);
  EXPECT_EQ(alias["People"]["Items"][0]["CommonName"], "Tomas Keller");
  EXPECT_EQ(alias["People"]["Items"][0]["MatchedName"], "T. Keller");
  EXPECT_EQ(totals("keller%20nobody")["People"], 0);
  // Roles, series, episodes and UPCs.
  const Json captain = GetJson("/api/search?q=river%20captain");
  ASSERT_GE(captain["Roles"]["Total"].get<int>(), 1);
  EXPECT_EQ(captain["Roles"]["Items"][0]["Role"], "River Captain");
  EXPECT_TRUE(captain["Roles"]["Items"][0].contains("ProfileID"));
  EXPECT_EQ(totals("harbour%20lights")["Series"], 1);
  const Json keeper = GetJson("/api/search?q=lighthouse%20keeper&kind=roles");
  EXPECT_TRUE(std::any_of(keeper["Roles"]["Items"].begin(), keeper["Roles"]["Items"].end(),
                          [](const Json& role) { return role.contains("EpisodeID"); }));
  EXPECT_EQ(totals("low%20tide")["Episodes"], 1);
  const Json upc = GetJson("/api/search?q=000047-11296");
  ASSERT_EQ(upc["Titles"]["Total"], 1);
  EXPECT_EQ(upc["Titles"]["Items"][0]["ProfileID"], "Key_800004711296.4");

  // Every match is counted and reachable page by page, none twice.
  const Json overview = GetJson("/api/search?q=extra");
  const int64_t roles = overview["Roles"]["Total"];
  EXPECT_EQ(roles, kExtraTitles);
  EXPECT_EQ(overview["Roles"]["Items"].size(), 10u);
  std::set<std::string> seen;
  const int pages = GetJson("/api/search?q=extra&kind=roles")["Roles"]["Pages"];
  EXPECT_EQ(pages, (kExtraTitles + 49) / 50);
  for (int page = 1; page <= pages; ++page) {
    const Json found = GetJson("/api/search?q=extra&kind=roles&page=" + std::to_string(page));
    EXPECT_FALSE(found["Titles"].contains("Items"));  // other kinds give their totals only
    for (const Json& item : found["Roles"]["Items"]) seen.insert(item["ProfileID"]);
  }
  EXPECT_EQ(static_cast<int64_t>(seen.size()), roles);

  const std::string page = Html("/search?q=zebra");
  EXPECT_TRUE(Has(page, ">Titles (210)</a>"));
  EXPECT_TRUE(Has(page, "href=\"/search?q=zebra&amp;kind=titles\">All 210 titles</a>"));
  EXPECT_TRUE(Has(Html("/search?q=zebra&kind=titles&page=2"), "aria-current=\"page\">2</a>"));
  EXPECT_TRUE(Has(Html("/search?q=qqqq"), "Nothing found."));
  ExpectRefused("/search?q=a&kind=things", "titles, people, roles, series, episodes");
}

TEST_F(ServeTest, StatisticsAgreeWithTheCatalogue) {
  const std::string owned = "(p.ColType = 'Owned' OR p.ColType IS NULL OR p.ColType = '')";
  const Json stats = GetJson("/api/stats");
  EXPECT_EQ(stats["CollectionType"], "Owned");
  EXPECT_EQ(stats["Titles"], Sql("SELECT COUNT(*) FROM Profiles p WHERE " + owned));
  const auto titles_of = [](const Json& list, const char* key, const std::string& value) {
    for (const Json& item : list) {
      if (item[key] == value) return item["Titles"].get<int64_t>();
    }
    return int64_t{0};
  };
  EXPECT_EQ(titles_of(stats["Genres"], "Genre", "Drama"),
            Sql("SELECT COUNT(*) FROM Genres g INNER JOIN Profiles p ON p.ProfileID = "
                "g.ProfileID WHERE g.Genre = 'Drama' AND " +
                owned));
  EXPECT_EQ(titles_of(stats["Media"], "Medium", "DVD"),
            Sql("SELECT COUNT(*) FROM Profiles p WHERE p.Medium = 'DVD' AND " + owned));
  EXPECT_EQ(titles_of(stats["Studios"], "Studio", "Blue Meadow"),
            Sql("SELECT COUNT(DISTINCT s.ProfileID) FROM Studios s INNER JOIN Profiles p ON "
                "p.ProfileID = s.ProfileID WHERE s.Studio = 'Blue Meadow' AND s.Type = '' AND " +
                owned));
  EXPECT_EQ(titles_of(stats["Countries"], "CountryOfOrigin", "Sweden"),
            Sql("SELECT COUNT(*) FROM Profiles p WHERE p.CountryOfOrigin = 'Sweden' AND " + owned));
  int64_t by_decade = 0;
  for (const Json& decade : stats["Decades"]) by_decade += decade["Titles"].get<int64_t>();
  EXPECT_EQ(by_decade, stats["Titles"]);
  for (const Json& decade : stats["Decades"]) {
    if (decade["Decade"] != 1950) continue;
    EXPECT_EQ(decade["Titles"], Sql("SELECT COUNT(*) FROM Profiles p WHERE p.ProdYear >= 1950 "
                                    "AND p.ProdYear < 1960 AND " +
                                    owned));
  }
  // Spending: amounts per currency add up to what the purchases hold.
  std::map<std::string, double> spent;
  for (const Json& year : stats["Spending"]) {
    spent[year["CurrencyID"]] += year["Spent"].get<double>();
  }
  const int64_t usd_cents =
      Sql("SELECT SUM(i.Price * 100) FROM PurchaseInfo i INNER JOIN Profiles p ON p.ProfileID "
          "= i.ProfileID WHERE i.CurrencyID = 'USD' AND " +
          owned);
  EXPECT_GT(usd_cents, 0);
  EXPECT_NEAR(spent["USD"] * 100, static_cast<double>(usd_cents), 1);
  // People across their names, by the titles crediting them.
  ASSERT_FALSE(stats["People"].empty());
  EXPECT_EQ(stats["People"][0]["CommonName"], "Paging Person");
  EXPECT_EQ(stats["People"][0]["Titles"], kExtraTitles);
  for (const Json& person : stats["People"]) {
    if (person["CommonName"] != "Tomas Keller") continue;
    EXPECT_EQ(person["Titles"], Sql("SELECT COUNT(*) FROM (SELECT DISTINCT c.ProfileID FROM "
                                    "CastCrew c INNER JOIN Profiles p ON p.ProfileID = "
                                    "c.ProfileID WHERE c.Name IN ('Tomas Keller', 'T. Keller') "
                                    "AND " +
                                    owned + ")"));
    EXPECT_EQ(person["Episodes"], 3);
  }
  EXPECT_TRUE(std::none_of(stats["People"].begin(), stats["People"].end(), [](const Json& p) {
    return p["CommonName"] == "T. Keller" || p["CommonName"] == "The Harbour Band";
  }));
  // Loans: overdue before today, due from today on.
  const Json& loans = stats["Loans"];
  EXPECT_EQ(static_cast<int64_t>(loans["Overdue"].size() + loans["Due"].size()),
            Sql("SELECT COUNT(*) FROM LoanInfo"));
  for (const Json& loan : loans["Overdue"]) EXPECT_LT(loan["Days"].get<int>(), 0);
  for (const Json& loan : loans["Overdue"]) {
    EXPECT_LT(loan["LoanedDue"].get<std::string>(), stats["Today"].get<std::string>());
  }
  const Json all = GetJson("/api/stats?collection=all");
  EXPECT_EQ(all["Titles"], Sql("SELECT COUNT(*) FROM Profiles"));
  EXPECT_EQ(all["Counts"], stats["Counts"]);

  // Charts drawn as inline SVG, each with its figures in a table; nothing from outside.
  const std::string page = Html("/stats");
  EXPECT_TRUE(Has(page, "<svg class=\"chart\""));
  EXPECT_TRUE(Has(page, "<table class=\"sr\">\n<caption>Titles by genre</caption>"));
  EXPECT_TRUE(Has(page, "<a href=\"/titles?collection=owned&amp;genre=Drama\">Drama</a>") ||
              Has(page, "<a href=\"/titles?genre=Drama\">Drama</a>"));
  EXPECT_FALSE(Has(page, "<script"));
  EXPECT_FALSE(Has(ReplaceAll(page, "http://www.w3.org/2000/svg", ""), "http"));
  ExpectRefused("/stats?collection=borrowed", "owned, onorder, wishlist, other, all");
}

TEST_F(ServeTest, SeriesAndAwards) {
  const Json list = GetJson("/api/series");
  ASSERT_EQ(list["Series"].size(), 1u);
  EXPECT_EQ(list["Series"][0]["Episodes"], 3);
  const Json series = GetJson("/api/series/HARBOUR");
  ASSERT_EQ(series["Seasons"].size(), 2u);
  const Json& pilot = series["Seasons"][0]["Episodes"][0];
  EXPECT_EQ(pilot["Airdate"], "1999-09-01");
  ASSERT_EQ(pilot["Cast"].size(), 3u);
  EXPECT_TRUE(pilot["Cast"][0]["IsRegular"].get<bool>());
  EXPECT_EQ(pilot["Cast"][1]["Divider"], "Group");
  EXPECT_TRUE(Has(Html("/series/HARBOUR"), "id=\"ep-HARBOUR12\""));
  const Json awards = GetJson("/api/awards");
  ASSERT_EQ(awards["Awards"].size(), 1u);
  const Json& nominations = awards["Awards"][0]["Years"][0]["Nominations"];
  ASSERT_EQ(nominations.size(), 2u);
  EXPECT_EQ(nominations[1]["Nominees"], Json::array({"Sven Eklund", "Anna J. Berg"}));
  EXPECT_EQ(GetJson("/api/awards?award=None")["Awards"].size(), 0u);
  EXPECT_TRUE(GetJson("/api/awards")["Names"].is_array());
}

TEST_F(ServeTest, UnknownPagesAnswer404) {
  for (const char* path :
       {"/nothing", "/title/", "/title/NoSuchProfile", "/series/NONE", "/person/Nobody%20At%20All",
        "/api/nothing", "/api/title/none", "/titles/extra", "/style.css/x", "/cover/x"}) {
    auto result = Get(path);
    ASSERT_TRUE(result) << path;
    EXPECT_EQ(result->status, 404) << path;
  }
  const Json error = Json::parse(Get("/api/nothing")->body);
  EXPECT_EQ(error, Json({{"Error", "There is no such page in the catalogue."}, {"Status", 404}}));
  EXPECT_TRUE(Has(Get("/nothing")->body, "<h1>Not found</h1>"));
  auto css = Get("/style.css");
  EXPECT_EQ(css->status, 200);
  EXPECT_EQ(css->get_header_value("Content-Type"), "text/css; charset=utf-8");
}

TEST_F(ServeTest, MalformedAndOversizedRequestsLeaveTheServerRunning) {
  const int port = server_->port();
  EXPECT_TRUE(Has(RawExchange(port, "GARBAGE\r\n\r\n", false), " 400 "));
  EXPECT_NE(RawExchange(port, "GET / HTTP/1.1\r\nHost\r\n\r\n"), "<no connection>");
  RawExchange(port, std::string("\x00\xff\x01\r\n\r\n", 7));
  RawExchange(port, "GET /" + std::string(20000, 'a') + " HTTP/1.1\r\nHost: x\r\n\r\n");
  RawExchange(port, "GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + std::string(100000, 'b') + "\r\n\r\n");
  const std::string answer = RawExchange(
      port, "POST /titles HTTP/1.1\r\nHost: x\r\nContent-Length: 10000000\r\n\r\n", false);
  EXPECT_TRUE(Has(answer, " 413 ")) << answer.substr(0, 200);
  RawExchange(port, "GET /title/%ZZ%00 HTTP/1.1\r\nHost: x\r\n\r\n");
  RawExchange(port, "GET /titles?year=99999999999999999999 HTTP/1.1\r\nHost: x\r\n\r\n");
  RawExchange(port, "GET /search?q=" + std::string(5000, 'e') + " HTTP/1.1\r\nHost: x\r\n\r\n");
  RawExchange(port, "GET / HTTP/1.1\r\nHost: x\r\nRange: bytes=9-1,-5\r\n\r\n");
  RawExchange(port, "GET / HTTP/1.1\r\n");  // cut off mid-request
  EXPECT_TRUE(server_->Alive());
  auto result = Get("/api/");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 200);
}

TEST_F(ServeTest, ManyClientsAtOnce) {
  std::vector<std::thread> clients;
  std::atomic<int> failures{0};
  const char* paths[] = {"/person/T.%20Keller",
                         "/title/Key_800004711000",
                         "/titles?sort=price",
                         "/search?q=harbour",
                         "/stats",
                         "/cover/Key_800004711000/front"};
  for (int i = 0; i < 20; ++i) {
    clients.emplace_back([&, i] {
      httplib::Client client("127.0.0.1", server_->port());
      client.set_read_timeout(60, 0);
      for (int j = 0; j < 6; ++j) {
        auto result = client.Get(paths[(i + j) % 6]);
        if (!result || result->status != 200) ++failures;
      }
    });
  }
  for (auto& client : clients) client.join();
  EXPECT_EQ(failures, 0);
}

// A second server on its own copy of the catalogue: reading never writes, what an import adds
// beside the server shows on the next request (also in the lists, search and statistics the
// server keeps between requests), and SIGTERM stops it cleanly.
TEST(ServeProcess, ReadsOnlyAndSeesConcurrentImports) {
  TempDir dir;
  const std::string catalogue = dir.File("live.zel");
  BuildCatalogue(catalogue);
  ServerProcess server(catalogue);
  ASSERT_GT(server.port(), 0);
  httplib::Client client("127.0.0.1", server.port());
  client.set_read_timeout(30, 0);
  const auto get = [&](const std::string& path) {
    auto result = client.Get(path);
    EXPECT_TRUE(result && result->status == 200) << path;
    return result ? Json::parse(result->body) : Json();
  };
  const Json titles_before = get("/api/titles?q=Fresh%20Arrival");
  EXPECT_EQ(titles_before["Total"], 0);
  const int64_t owned_before = get("/api/stats")["Titles"];
  EXPECT_EQ(get("/api/search?q=fresh%20arrival")["Titles"]["Total"], 0);

  // Browsing every kind of page leaves the file and its log exactly as they were.
  const auto size_of = [](const std::string& path) {
    std::error_code error;
    const auto size = fs::file_size(path, error);
    return error ? 0 : size;
  };
  const std::string content = ReadFile(catalogue);
  const auto wal_size = size_of(catalogue + "-wal");
  for (const char* path :
       {"/", "/titles?view=grid", "/title/Key_800004711000", "/person/T.%20Keller", "/series",
        "/series/HARBOUR", "/awards", "/search?q=a", "/stats", "/api/title/Key_800004711000"}) {
    auto result = client.Get(path);
    ASSERT_TRUE(result) << path;
    EXPECT_EQ(result->status, 200) << path;
  }
  EXPECT_EQ(ReadFile(catalogue), content);
  EXPECT_EQ(size_of(catalogue + "-wal"), wal_size);

  // An import by another process while the server holds the file open: the first title of the
  // example, under another identifier and title.
  const std::string xml = dir.File("one.xml");
  {
    const std::string example = ReadFile(SourceDir() + "/examples/collection.xml");
    // The title's own end tag is the indented one; the media type <DVD> closes on its line.
    const size_t begin = example.find("<DVD>"), end = example.find("  </DVD>");
    ASSERT_NE(end, std::string::npos);
    std::string title = example.substr(begin, end + 8 - begin);
    title = ReplaceAll(title, "<ID>800004711000</ID>", "<ID>990000000001</ID>");
    title = ReplaceAll(title, "<Title>Harbour Trilogy (Box Set)</Title>",
                       "<Title>Fresh Arrival</Title>");
    std::ofstream out(xml, std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<Collection>\n"
        << title << "\n</Collection>\n";
  }
  const CommandResult import = RunZel({"import", catalogue, xml});
  ASSERT_EQ(import.exit_code, 0) << import.out << import.err;
  EXPECT_EQ(get("/api/titles?q=Fresh%20Arrival")["Total"], 1);
  EXPECT_EQ(get("/api/stats")["Titles"], owned_before + 1);
  EXPECT_EQ(get("/api/search?q=fresh%20arrival")["Titles"]["Total"], 1);
  EXPECT_EQ(get("/api/title/Key_990000000001")["Title"], "Fresh Arrival");
  EXPECT_EQ(server.Stop(), 0);
}

TEST(ServeProcess, RefusesABusyPortABadFolderAndWhatIsNotACatalogue) {
  TempDir dir;
  const std::string catalogue = dir.File("one.zel");
  ASSERT_EQ(RunZel({"create", catalogue}).exit_code, 0);
  ServerProcess first(catalogue);
  ASSERT_GT(first.port(), 0);
  // A second server on the same port would share it and answer half the requests.
  const std::string err = dir.File("second.err");
  ServerProcess second(catalogue, {"--port", std::to_string(first.port())}, err);
  EXPECT_EQ(second.port(), 0);
  EXPECT_EQ(second.Wait(20), 1);
  const std::string message = ReadFile(err);
  EXPECT_TRUE(Has(message, "zel: Could not listen on 127.0.0.1 port " +
                               std::to_string(first.port()) + ": the address is already in use"))
      << message;
  EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
  EXPECT_TRUE(first.Alive());

  const CommandResult missing = RunZel({"serve", dir.File("none.zel"), "--port", "0"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_TRUE(Has(missing.err, "zel: "));
  EXPECT_NE(RunZel({"serve", catalogue, "--port", "70000"}).exit_code, 0);
  EXPECT_NE(RunZel({"serve", catalogue, "--port", "0", "--images", dir.File("nowhere")}).exit_code,
            0);
}

}  // namespace
}  // namespace zel::testing
