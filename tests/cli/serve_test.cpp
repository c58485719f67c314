// zel serve over HTTP: a real server process on a loopback port, serving the example catalogue
// (examples/collection.xml imported with zel import, plus a series and awards from
// tests/browser/example_series.sql and a title full of markup characters).
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
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <thread>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "frame/text.h"
#include "serve_data.h"
#include "serve_html.h"
#include "support/test_support.h"

namespace zel::testing {
namespace {

using Json = nlohmann::json;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Sql(const std::string& catalogue, const std::string& statement) {
  const CommandResult result = RunZel({"sql", catalogue, statement});
  ASSERT_EQ(result.exit_code, 0) << statement << "\n" << result.err;
}

// The example catalogue with a series, awards and a hostile title.
void BuildCatalogue(const std::string& catalogue) {
  ASSERT_EQ(RunZel({"create", catalogue}).exit_code, 0);
  const CommandResult import =
      RunZel({"import", catalogue, SourceDir() + "/examples/collection.xml"});
  ASSERT_EQ(import.exit_code, 0) << import.err;
  std::ifstream statements(SourceDir() + "/tests/browser/example_series.sql");
  for (std::string line; std::getline(statements, line);) {
    if (!line.empty()) Sql(catalogue, line);
  }
  Sql(catalogue,
      "INSERT INTO Profiles (ProfileID, Title, SortTitle, OriginalTitle, Overview) VALUES "
      "('x<y>&''z', '<script>alert(\"t\")</script> & ''Co''', 'zzz', '', 'a\"b')");
  Sql(catalogue,
      "INSERT INTO CastCrew (Name, Role, ProfileID, Position, IsCast, IsVoice, IsUncredited, "
      "IsCreditOnly) VALUES ('<b>Bold</b> & \"Co\"', '<img src=x onerror=alert(1)>', 'x<y>&''z', "
      "1, true, false, false, false)");
  Sql(catalogue, "INSERT INTO Genres (ProfileID, Genre) VALUES ('x<y>&''z', '<Genre>')");
}

// A zel serve process on a free loopback port, stopped with SIGTERM at the end.
class ServerProcess {
 public:
  explicit ServerProcess(const std::string& catalogue) {
    int out[2];
    if (pipe(out) != 0) return;
    const std::string zel = BinaryDir() + "/bin/zel";
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      execl(zel.c_str(), zel.c_str(), "serve", catalogue.c_str(), "--port", "0", "--bind",
            "127.0.0.1", static_cast<char*>(nullptr));
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
    int status = 0;
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

class ServeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    catalogue_ = dir_->File("example.zel");
    BuildCatalogue(catalogue_);
    server_ = new ServerProcess(catalogue_);
  }
  static void TearDownTestSuite() {
    delete server_;
    delete dir_;
  }
  void SetUp() override { ASSERT_GT(server_->port(), 0) << "the server did not start"; }

  httplib::Result Get(const std::string& path) {
    httplib::Client client("127.0.0.1", server_->port());
    client.set_read_timeout(20, 0);
    return client.Get(path);
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

  static TempDir* dir_;
  static std::string catalogue_;
  static ServerProcess* server_;
};
TempDir* ServeTest::dir_ = nullptr;
std::string ServeTest::catalogue_;
ServerProcess* ServeTest::server_ = nullptr;

TEST(ServeHtml, EscapeAndEncode) {
  EXPECT_EQ(serve::Escape("<a href=\"x\">Tom & 'Jerry'</a>"),
            "&lt;a href=&quot;x&quot;&gt;Tom &amp; &#39;Jerry&#39;&lt;/a&gt;");
  EXPECT_EQ(serve::EncodeSegment("T. Keller/Jr?&#%"), "T.%20Keller%2FJr%3F%26%23%25");
  EXPECT_EQ(serve::EncodeSegment(".."), "%2E%2E");
  EXPECT_EQ(serve::EncodeSegment("Zo\xC3\xAB"), "Zo%C3%AB");
  EXPECT_EQ(serve::LikeLiteral("50% *off* [x]?#"), "50% [*]off[*] [[]x][?][#]");
}

TEST_F(ServeTest, HomeCountsAndEditedLast) {
  auto page = Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(page->body.find("<html lang=\"en\">"), std::string::npos);
  EXPECT_NE(page->body.find("name=\"viewport\""), std::string::npos);
  EXPECT_NE(page->body.find("role=\"search\""), std::string::npos);
  EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'none'"),
            std::string::npos);

  const Json home = GetJson("/api/");
  EXPECT_EQ(home["counts"]["titles"], 31);
  EXPECT_EQ(home["counts"]["series"], 1);
  EXPECT_EQ(home["counts"]["episodes"], 3);
  EXPECT_EQ(home["counts"]["awards"], 2);
  EXPECT_GT(home["counts"]["people"].get<int>(), 10);
  ASSERT_EQ(home["recent"].size(), 10u);
  for (const char* key : {"ProfileID", "Title", "ProductionYear", "Medium", "LastEdited"}) {
    EXPECT_TRUE(home["recent"][0].contains(key)) << key;
  }
}

TEST_F(ServeTest, TitlesFilteredAndPaged) {
  Json all = GetJson("/api/titles");
  EXPECT_EQ(all["total"], 31);
  EXPECT_EQ(all["pages"], 1);
  ASSERT_EQ(all["titles"].size(), 31u);
  // Sort-title order: the hostile title sorts last by its sort title "zzz".
  EXPECT_EQ(all["titles"][30]["ProfileID"], "x<y>&'z");
  EXPECT_FALSE(all["genres"].empty());
  EXPECT_FALSE(all["media"].empty());

  const Json harbour = GetJson("/api/titles?q=harbour");
  ASSERT_GE(harbour["total"].get<int>(), 1);
  for (const Json& title : harbour["titles"]) {
    EXPECT_NE(ToLower(title["Title"].get<std::string>()).find("harbour"), std::string::npos);
  }
  const Json paged = GetJson("/api/titles?page=2&q=");
  EXPECT_EQ(paged["page"], 1);  // one page only: a page past the end shows the last
  const Json year = GetJson("/api/titles?year=1950");
  for (const Json& title : year["titles"]) EXPECT_EQ(title["ProductionYear"], 1950);
  EXPECT_GE(year["total"].get<int>(), 1);
  const Json drama = GetJson("/api/titles?genre=Drama");
  EXPECT_GE(drama["total"].get<int>(), 1);
  EXPECT_LT(drama["total"].get<int>(), 31);
  const Json wildcard = GetJson("/api/titles?q=*");
  EXPECT_EQ(wildcard["total"], 0);  // a literal star, not a wildcard

  EXPECT_EQ(GetJson("/api/titles?year=abc", 400)["status"], 400);
  EXPECT_EQ(Get("/titles?page=-1")->status, 400);
}

TEST_F(ServeTest, TitlePageShowsEverything) {
  const Json title = GetJson("/api/title/Key_800004711000");
  EXPECT_EQ(title["Title"], "Harbour Trilogy (Box Set)");
  EXPECT_EQ(title["ProductionYear"], 1950);
  for (const char* key : {"Cast",      "Crew",          "Discs",         "Video",    "Audio",
                          "Subtitles", "Features",      "Studios",       "Genres",   "Regions",
                          "Review",    "SRP",           "PurchaseInfo",  "LoanInfo", "Events",
                          "Tags",      "ParentProfile", "ChildProfiles", "Episodes", "Awards"}) {
    EXPECT_TRUE(title.contains(key)) << key;
  }
  // Credits in credit order with the divider as its own entry and the common name of an alias.
  bool saw_divider = false, saw_alias = false;
  int last_position = 0;
  for (const Json& credit : title["Cast"]) {
    EXPECT_GT(credit["Position"].get<int>(), last_position);
    last_position = credit["Position"];
    if (credit.contains("Divider")) {
      saw_divider |= credit["Divider"] == "Group" && credit["Caption"] == "The Harbour Band";
    } else if (credit["Name"] == "T. Keller") {
      saw_alias |= credit["CommonName"] == "Tomas Keller" && credit["Role"] == "River Captain";
    }
  }
  EXPECT_TRUE(saw_divider);
  EXPECT_TRUE(saw_alias);
  EXPECT_EQ(title["SRP"]["CurrencyID"], "USD");
  EXPECT_DOUBLE_EQ(title["SRP"]["Value"].get<double>(), 9.99);
  ASSERT_EQ(title["Episodes"].size(), 1u);
  EXPECT_EQ(title["Episodes"][0]["EpisodeID"], "HARBOUR11");
  EXPECT_EQ(title["Episodes"][0]["SeriesTitle"], "Harbour Lights");
  ASSERT_EQ(title["Awards"].size(), 2u);
  EXPECT_EQ(title["Awards"][0]["Nominees"], Json::array({"Tomas Keller"}));

  auto page = Get("/title/Key_800004711000");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("<h1>Harbour Trilogy (Box Set)</h1>"), std::string::npos);
  EXPECT_NE(page->body.find("scope=\"colgroup\">The Harbour Band"), std::string::npos);
  EXPECT_NE(page->body.find("href=\"/person/T.%20Keller\""), std::string::npos);
  EXPECT_NE(page->body.find("Harbour Film Prize"), std::string::npos);
  EXPECT_NE(page->body.find("href=\"/series/HARBOUR#ep-HARBOUR11\""), std::string::npos);
}

TEST_F(ServeTest, BoxSetParentAndChildren) {
  const Json title = GetJson("/api/title/Key_800004711000");
  if (title["ChildProfiles"].empty()) GTEST_SKIP() << "the example has no box-set rows";
  const std::string child = title["ChildProfiles"][0]["ProfileID"];
  const Json child_title = GetJson("/api/title/" + serve::EncodeSegment(child));
  EXPECT_EQ(child_title["ParentProfile"]["ProfileID"], "Key_800004711000");
}

TEST_F(ServeTest, PersonUnderEveryName) {
  const Json by_common = GetJson("/api/person/Tomas%20Keller");
  const Json by_alias = GetJson("/api/person/T.%20Keller");
  EXPECT_EQ(by_common["CommonName"], "Tomas Keller");
  EXPECT_EQ(by_alias["CommonName"], "Tomas Keller");
  EXPECT_EQ(by_common["Titles"], by_alias["Titles"]);
  EXPECT_EQ(by_common["Episodes"], by_alias["Episodes"]);
  bool alias_listed = false;
  for (const Json& alias : by_common["Aliases"]) alias_listed |= alias["Name"] == "T. Keller";
  EXPECT_TRUE(alias_listed);

  std::set<std::string> credited_as;
  for (const Json& row : by_common["Titles"]["Cast"]) credited_as.insert(row["CreditedAs"]);
  EXPECT_TRUE(credited_as.count("Tomas Keller"));
  EXPECT_TRUE(credited_as.count("T. Keller"));
  EXPECT_FALSE(by_common["Titles"]["Crew"].empty());
  ASSERT_EQ(by_common["Episodes"]["Cast"].size(), 2u);
  EXPECT_EQ(by_common["Episodes"]["Cast"][0]["CreditedAs"], "Tomas Keller");
  EXPECT_EQ(by_common["Episodes"]["Cast"][0]["Title"], "The Lighthouse");
  EXPECT_EQ(by_common["Episodes"]["Cast"][1]["CreditedAs"], "T. Keller");
  ASSERT_EQ(by_common["Episodes"]["Crew"].size(), 1u);
  EXPECT_EQ(by_common["Episodes"]["Crew"][0]["Role"], "Director");
  EXPECT_FALSE(by_common["Episodes"]["Crew"][0].contains("IsVoice"));
  ASSERT_EQ(by_common["Awards"].size(), 1u);
  EXPECT_TRUE(by_common["Awards"][0]["HasWon"].get<bool>());

  auto page = Get("/person/T.%20Keller");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("<h1>Tomas Keller</h1>"), std::string::npos);
  EXPECT_NE(page->body.find("Low Tide"), std::string::npos);
  // Awards are the person's own, not those of every nominee text holding the name.
  const Json anna = GetJson("/api/person/Anna%20J.%20Berg");
  ASSERT_EQ(anna["Awards"].size(), 1u);
  EXPECT_EQ(anna["Awards"][0]["Category"], "Best Score");
  EXPECT_TRUE(GetJson("/api/person/Anna%20Berg")["Awards"].empty());
  EXPECT_EQ(GetJson("/api/person/Keller", 404)["status"], 404);
  // Dividers are headings, not people.
  EXPECT_EQ(GetJson("/api/person/The%20Harbour%20Band", 404)["status"], 404);
}

TEST_F(ServeTest, SeriesWithSeasonsEpisodesAndCredits) {
  const Json list = GetJson("/api/series");
  ASSERT_EQ(list["series"].size(), 1u);
  EXPECT_EQ(list["series"][0]["Episodes"], 3);
  const Json series = GetJson("/api/series/HARBOUR");
  EXPECT_EQ(series["Title"], "Harbour Lights");
  ASSERT_EQ(series["Seasons"].size(), 2u);
  EXPECT_EQ(series["Seasons"][0]["Name"], "1");
  ASSERT_EQ(series["Seasons"][0]["Episodes"].size(), 2u);
  const Json& pilot = series["Seasons"][0]["Episodes"][0];
  EXPECT_EQ(pilot["Title"], "The Lighthouse");
  EXPECT_EQ(pilot["Airdate"], "1999-09-01");
  ASSERT_EQ(pilot["Cast"].size(), 3u);
  EXPECT_TRUE(pilot["Cast"][0]["IsRegular"].get<bool>());
  EXPECT_EQ(pilot["Cast"][1]["Divider"], "Group");
  EXPECT_TRUE(pilot["Cast"][2]["IsVoice"].get<bool>());
  EXPECT_EQ(series["Seasons"][1]["Episodes"][0]["Crew"][0]["CommonName"], "Tomas Keller");

  auto page = Get("/series/HARBOUR");
  ASSERT_TRUE(page);
  EXPECT_NE(page->body.find("id=\"ep-HARBOUR12\""), std::string::npos);
  EXPECT_NE(page->body.find("<h2>Season 2</h2>"), std::string::npos);
}

TEST_F(ServeTest, AwardsByAwardAndYear) {
  const Json awards = GetJson("/api/awards");
  ASSERT_EQ(awards["awards"].size(), 1u);
  EXPECT_EQ(awards["awards"][0]["Award"], "Harbour Film Prize");
  ASSERT_EQ(awards["awards"][0]["Years"].size(), 1u);
  EXPECT_EQ(awards["awards"][0]["Years"][0]["Year"], 1951);
  const Json& nominations = awards["awards"][0]["Years"][0]["Nominations"];
  ASSERT_EQ(nominations.size(), 2u);
  EXPECT_EQ(nominations[1]["Nominees"], Json::array({"Sven Eklund", "Anna J. Berg"}));
  EXPECT_EQ(GetJson("/api/awards?award=None")["awards"].size(), 0u);
  EXPECT_EQ(Get("/awards")->status, 200);
}

TEST_F(ServeTest, SearchFindsTitlesAndPeople) {
  const Json found = GetJson("/api/search?q=keller");
  EXPECT_TRUE(std::find(found["people"].begin(), found["people"].end(), "Tomas Keller") !=
              found["people"].end());
  const Json titles = GetJson("/api/search?q=lighthouse");
  EXPECT_FALSE(titles["titles"].empty());
  EXPECT_EQ(Get("/search?q=%3Cscript%3E")->status, 200);
}

TEST_F(ServeTest, EveryTextIsEscaped) {
  auto page = Get("/title/x%3Cy%3E%26'z");
  ASSERT_TRUE(page);
  ASSERT_EQ(page->status, 200);
  const std::string& body = page->body;
  EXPECT_EQ(body.find("<script>"), std::string::npos);
  EXPECT_EQ(body.find("<b>Bold"), std::string::npos);
  EXPECT_EQ(body.find("<img"), std::string::npos);
  EXPECT_EQ(body.find("<Genre>"), std::string::npos);
  EXPECT_NE(body.find("&lt;script&gt;alert(&quot;t&quot;)&lt;/script&gt; &amp; &#39;Co&#39;"),
            std::string::npos);
  EXPECT_NE(body.find("&lt;img src=x onerror=alert(1)&gt;"), std::string::npos);
  EXPECT_NE(body.find("href=\"/person/%3Cb%3EBold%3C%2Fb%3E%20%26%20%22Co%22\""),
            std::string::npos);
  // The same texts come back unchanged as JSON.
  const Json title = GetJson("/api/title/x%3Cy%3E%26'z");
  EXPECT_EQ(title["Title"], "<script>alert(\"t\")</script> & 'Co'");
  EXPECT_EQ(title["Cast"][0]["Name"], "<b>Bold</b> & \"Co\"");

  auto person = Get("/person/%3Cb%3EBold%3C%2Fb%3E%20%26%20%22Co%22");
  ASSERT_TRUE(person);
  EXPECT_EQ(person->status, 200);
  EXPECT_EQ(person->body.find("<b>Bold"), std::string::npos);
  // Values from the address reach statements only quoted.
  EXPECT_EQ(GetJson("/api/title/'%20OR%20'1'%3D'1", 404)["status"], 404);
  EXPECT_EQ(Get("/person/x'%3B%20DROP%20TABLE%20Profiles%3B--")->status, 404);
  EXPECT_EQ(GetJson("/api/")["counts"]["titles"], 31);
}

TEST_F(ServeTest, UnknownPagesAnswer404) {
  for (const char* path :
       {"/nothing", "/title/", "/title/NoSuchProfile", "/series/NONE", "/person/Nobody%20At%20All",
        "/api/nothing", "/api/title/none", "/titles/extra", "/style.css/x"}) {
    auto result = Get(path);
    ASSERT_TRUE(result) << path;
    EXPECT_EQ(result->status, 404) << path;
  }
  auto api = Get("/api/nothing");
  EXPECT_EQ(Json::parse(api->body)["status"], 404);
  auto html = Get("/nothing");
  EXPECT_NE(html->body.find("<h1>Not found</h1>"), std::string::npos);
  auto css = Get("/style.css");
  EXPECT_EQ(css->status, 200);
  EXPECT_EQ(css->get_header_value("Content-Type"), "text/css; charset=utf-8");
}

TEST_F(ServeTest, MalformedAndOversizedRequestsLeaveTheServerRunning) {
  const int port = server_->port();
  EXPECT_NE(RawExchange(port, "GARBAGE\r\n\r\n", false).find(" 400 "), std::string::npos);
  EXPECT_NE(RawExchange(port, "GET / HTTP/1.1\r\nHost\r\n\r\n"), "<no connection>");
  RawExchange(port, std::string("\x00\xff\x01\r\n\r\n", 7));
  RawExchange(port, "GET /" + std::string(20000, 'a') + " HTTP/1.1\r\nHost: x\r\n\r\n");
  RawExchange(port, "GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + std::string(100000, 'b') + "\r\n\r\n");
  const std::string answer = RawExchange(
      port, "POST /titles HTTP/1.1\r\nHost: x\r\nContent-Length: 10000000\r\n\r\n", false);
  EXPECT_NE(answer.find(" 413 "), std::string::npos) << answer.substr(0, 200);
  RawExchange(port, "GET /title/%ZZ%00 HTTP/1.1\r\nHost: x\r\n\r\n");
  RawExchange(port, "GET /titles?year=99999999999999999999 HTTP/1.1\r\nHost: x\r\n\r\n");
  RawExchange(port, "GET / HTTP/1.1\r\nHost: x\r\nRange: bytes=9-1,-5\r\n\r\n");
  RawExchange(port, "POST /titles HTTP/1.1\r\nHost: x\r\nContent-Length: 10000000\r\n\r\n" +
                        std::string(100000, 'c'));
  RawExchange(port, "GET / HTTP/1.1\r\n");  // cut off mid-request
  EXPECT_TRUE(server_->Alive());
  auto result = Get("/api/");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 200);
}

TEST_F(ServeTest, ManyClientsAtOnce) {
  std::vector<std::thread> clients;
  std::atomic<int> failures{0};
  for (int i = 0; i < 20; ++i) {
    clients.emplace_back([&, i] {
      httplib::Client client("127.0.0.1", server_->port());
      client.set_read_timeout(30, 0);
      for (int j = 0; j < 5; ++j) {
        const char* path = (i + j) % 2 ? "/person/T.%20Keller" : "/title/Key_800004711000";
        auto result = client.Get(path);
        if (!result || result->status != 200) ++failures;
      }
    });
  }
  for (auto& client : clients) client.join();
  EXPECT_EQ(failures, 0);
}

// A second server on its own copy of the catalogue: reading never writes, an import running
// beside the server is seen by the next request, and SIGTERM stops it cleanly.
TEST(ServeProcess, ReadsOnlyAndSeesConcurrentImports) {
  TempDir dir;
  const std::string catalogue = dir.File("live.zel");
  BuildCatalogue(catalogue);
  ServerProcess server(catalogue);
  ASSERT_GT(server.port(), 0);
  httplib::Client client("127.0.0.1", server.port());
  client.set_read_timeout(20, 0);

  auto before = client.Get("/api/titles?q=Fresh%20Arrival");
  ASSERT_TRUE(before);
  EXPECT_EQ(Json::parse(before->body)["total"], 0);

  // Browsing every kind of page leaves the file and its log exactly as they were.
  const auto size_of = [](const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
  };
  const std::string content = ReadFile(catalogue);
  const auto wal_size = size_of(catalogue + "-wal");
  for (const char* path :
       {"/", "/titles", "/title/Key_800004711000", "/person/T.%20Keller", "/series",
        "/series/HARBOUR", "/awards", "/search?q=a", "/api/title/Key_800004711000"}) {
    auto result = client.Get(path);
    ASSERT_TRUE(result) << path;
    EXPECT_EQ(result->status, 200) << path;
  }
  EXPECT_EQ(ReadFile(catalogue), content);
  EXPECT_EQ(size_of(catalogue + "-wal"), wal_size);

  // An import by another process while the server holds the file open.
  // The first title of the example, under another identifier and title.
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
  auto after = client.Get("/api/titles?q=Fresh%20Arrival");
  ASSERT_TRUE(after);
  EXPECT_EQ(Json::parse(after->body)["total"], 1);
  auto title = client.Get("/api/title/Key_990000000001");
  ASSERT_TRUE(title);
  EXPECT_EQ(title->status, 200);

  EXPECT_EQ(server.Stop(), 0);
}

TEST(ServeProcess, RefusesWhatIsNotACatalogue) {
  TempDir dir;
  const CommandResult missing = RunZel({"serve", dir.File("none.zel"), "--port", "0"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("zel: "), std::string::npos);
  const CommandResult bad_port = RunZel({"serve", dir.File("none.zel"), "--port", "70000"});
  EXPECT_NE(bad_port.exit_code, 0);
}

}  // namespace
}  // namespace zel::testing
