// zel serve as a process: what it answers to unknown pages, broken requests and many clients,
// that it reads only and sees what others write, what it refuses to start on; and the server and
// catalogue the other zel serve tests share (web_fixture.h).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>

#include "frame/text.h"
#include "web/fold.h"
#include "web/html.h"
#include "web_fixture.h"

namespace zel::testing {

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

namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
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

}  // namespace

void WithSqlite(const std::string& path, const std::vector<std::string>& statements) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  for (const std::string& sql : statements) {
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << sql << ": " << (error ? error : "");
    sqlite3_free(error);
  }
  sqlite3_close(db);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void BuildExampleCatalogue(const std::string& catalogue) {
  ASSERT_EQ(RunZel({"create", catalogue}).exit_code, 0);
  const CommandResult import =
      RunZel({"import", catalogue, SourceDir() + "/examples/collection.xml"});
  ASSERT_EQ(import.exit_code, 0) << import.err;
  std::vector<std::string> statements;
  std::ifstream series(SourceDir() + "/tests/browser/example_series.sql");
  for (std::string line; std::getline(series, line);) {
    if (!line.empty()) statements.push_back(line);
  }
  Execute(catalogue, statements);
}

void BuildCatalogue(const std::string& catalogue) {
  BuildExampleCatalogue(catalogue);
  std::vector<std::string> statements;
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
  // Namesakes: one name, two known birth years, and a credit that could be either; a narrator of
  // two episodes of a disc, whose credits stand under the disc's episode headings.
  const auto credit = [&](const std::string& id, int position, const std::string& name,
                          const std::string& role, bool cast, const std::string& born) {
    statements.push_back(
        "INSERT INTO CastCrew (Name, Role, ProfileID, Position, IsCast, IsVoice, IsUncredited, "
        "IsCreditOnly, BirthYear) VALUES ('" +
        name + "', '" + role + "', '" + id + "', " + std::to_string(position) + ", " +
        (cast ? "true" : "false") + ", " + (role == "Narrator" ? "true" : "false") +
        ", false, false, " + born + ")");
  };
  for (const auto& [id, title, year] :
       {std::tuple{"Namesake1", "Lund Sailing", 1975},
        std::tuple{"Namesake2", "Lund Cutting", 1980}, std::tuple{"Namesake3", "Lund Either", 1985},
        std::tuple{"Voices", "Wild Coast", 1990}}) {
    statements.push_back(
        "INSERT INTO Profiles (ProfileID, Title, SortTitle, ColType, ProdYear, Medium) VALUES ('" +
        std::string(id) + "', '" + title + "', '" + title + "', 'Owned', " + std::to_string(year) +
        ", 'DVD')");
  }
  credit("Namesake1", 1, "Kim Lund", "Sailor", true, "1949");
  credit("Namesake2", 1, "Kim Lund", "Editor", false, "1946");
  credit("Namesake3", 1, "Kim Lund", "Mayor", true, "NULL");
  credit("Voices", 1, "1.01 Pilot", "[DivEpisode]", true, "0");
  credit("Voices", 2, "Vera Voss", "Narrator", true, "1960");
  credit("Voices", 3, "1.02 Home", "[DivEpisode]", true, "0");
  credit("Voices", 4, "Vera Voss", "Narrator", true, "1960");
  credit("Voices", 5, "Vera Voss", "Producer", false, "1960");
  Execute(catalogue, statements);
  const CommandResult derive = RunZel({"tv", "derive", catalogue});
  ASSERT_EQ(derive.exit_code, 0) << derive.err;
}

ServerProcess::ServerProcess(const std::string& catalogue, std::vector<std::string> extra,
                             const std::string& err_path) {
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

int ServerProcess::Stop() {
  if (pid_ <= 0) return exit_code_;
  kill(pid_, SIGTERM);
  return Wait(30);
}

int ServerProcess::Wait(int seconds) {
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

bool ServerProcess::Alive() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

long ServerProcess::ResidentKb() const {
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
  }
  return -1;
}

std::string RawExchange(int port, const std::string& bytes, bool half_close) {
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

RawClient::RawClient(int port, int timeout_seconds) {
  sock_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
  timeval timeout{timeout_seconds, 0};
  setsockopt(sock_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  setsockopt(sock_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  if (connect(sock_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(sock_);
    sock_ = -1;
  }
}

RawClient::~RawClient() {
  if (sock_ >= 0) close(sock_);
}

size_t RawClient::Send(const std::string& bytes) {
  size_t sent = 0;
  while (sock_ >= 0 && sent < bytes.size()) {
    const ssize_t n = send(sock_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  return sent;
}

std::string RawClient::Answer(bool head) {
  char buffer[65536];
  const auto fill = [&] {
    const ssize_t n = sock_ < 0 ? -1 : recv(sock_, buffer, sizeof buffer, 0);
    if (n > 0) pending_.append(buffer, static_cast<size_t>(n));
    return n > 0;
  };
  size_t end;
  while ((end = pending_.find("\r\n\r\n")) == std::string::npos) {
    if (!fill()) return {};
  }
  size_t length = 0;
  const std::string header = ToLower(pending_.substr(0, end));
  if (const size_t at = header.find("\r\ncontent-length:"); at != std::string::npos && !head) {
    length = std::stoul(header.substr(at + 17));
  }
  while (pending_.size() < end + 4 + length) {
    if (!fill()) return {};
  }
  std::string answer = pending_.substr(0, end + 4 + length);
  pending_.erase(0, answer.size());
  return answer;
}

bool RawClient::Closed(int seconds) {
  timeval timeout{seconds, 0};
  setsockopt(sock_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  char buffer[4096];
  ssize_t n;
  while ((n = recv(sock_, buffer, sizeof buffer, 0)) > 0) {
  }
  return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

void ServeTest::SetUpTestSuite() {
  dir_ = new TempDir;
  catalogue_ = dir_->File("example.zel");
  BuildCatalogue(catalogue_);
  BuildImages(dir_->path());
  server_ = new ServerProcess(catalogue_, {"--images", dir_->File("images")});
}

void ServeTest::TearDownTestSuite() {
  EXPECT_EQ(server_->Stop(), 0) << "the server did not end cleanly";
  delete server_;
  delete dir_;
}

httplib::Result ServeTest::Get(const std::string& path, const httplib::Headers& headers) {
  httplib::Client client("127.0.0.1", server_->port());
  client.set_read_timeout(30, 0);
  return client.Get(path, headers);
}

std::string ServeTest::Html(const std::string& path) {
  auto result = Get(path);
  if (!result || result->status != 200) {
    ADD_FAILURE() << path << ": " << (result ? result->status : -1);
    return {};
  }
  EXPECT_EQ(result->get_header_value("Content-Type"), "text/html; charset=utf-8");
  return result->body;
}

Json ServeTest::GetJson(const std::string& path, int expected_status) {
  auto result = Get(path);
  if (!result) {
    ADD_FAILURE() << "no answer for " << path;
    return {};
  }
  EXPECT_EQ(result->status, expected_status) << path << "\n" << result->body;
  EXPECT_EQ(result->get_header_value("Content-Type"), "application/json; charset=utf-8");
  return Json::parse(result->body);
}

void ServeTest::ExpectRefused(const std::string& path, const std::string& named) {
  const Json error = GetJson("/api" + path, 400);
  EXPECT_EQ(error["Status"], 400) << path;
  EXPECT_TRUE(Has(error.value("Error", ""), named)) << path << ": " << error.dump();
  auto page = Get(path);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 400) << path;
  EXPECT_TRUE(Has(page->body, "<h1>Bad request</h1>")) << path;
}

int64_t ServeTest::Sql(const std::string& sql) { return Count(catalogue_, sql); }

std::vector<Json> ServeTest::AllTitles(const std::string& query) {
  std::vector<Json> titles;
  const Json first = GetJson("/api/titles?" + query);
  for (int page = 1; page <= first["Pages"].get<int>(); ++page) {
    const Json list = GetJson("/api/titles?" + query + "&page=" + std::to_string(page));
    titles.insert(titles.end(), list["Titles"].begin(), list["Titles"].end());
  }
  EXPECT_EQ(static_cast<int64_t>(titles.size()), first["Total"].get<int64_t>()) << query;
  return titles;
}

TempDir* ServeTest::dir_ = nullptr;
std::string ServeTest::catalogue_;
ServerProcess* ServeTest::server_ = nullptr;

namespace {

TEST(ServeHtml, EscapingEncodingFoldingAndTheOverviewAllowList) {
  EXPECT_EQ(web::Escape("<a href=\"x\">Tom & 'Jerry'</a>"),
            "&lt;a href=&quot;x&quot;&gt;Tom &amp; &#39;Jerry&#39;&lt;/a&gt;");
  EXPECT_EQ(web::EncodeSegment("T. Keller/Jr?&#%"), "T.%20Keller%2FJr%3F%26%23%25");
  EXPECT_EQ(web::EncodeSegment(".."), "%2E%2E");
  EXPECT_EQ(web::EncodeSegment("Zo\xC3\xAB"), "Zo%C3%AB");
  EXPECT_EQ(web::Fold("Caf\xC3\xA9 REN\xC3\x89"
                      "E \xC5\x81\xC3\xB3"
                      "d\xC5\xBA \xC3\x86sir O\xE2\x80\x99Hara"),
            "cafe renee lodz aesir o'hara");
  EXPECT_EQ(web::Fold("Rene\xCC\x81"
                      "e"),
            "renee");  // decomposed accent

  EXPECT_EQ(web::RichText("<b>Bold</b> <I>it</I> <u>u</u><br/>x"),
            "<p><b>Bold</b> <i>it</i> <u>u</u><br>x</p>\n");
  EXPECT_EQ(web::RichText("a<p>b</p>c\r\nd"), "<p>a</p>\n<p>b</p>\n<p>c<br>d</p>\n");
  // Unclosed and crossed elements are closed in order; stray closings are dropped.
  EXPECT_EQ(web::RichText("<b>x<i>y</b>z</i>"), "<p><b>x<i>y</i></b>z</p>\n");
  EXPECT_EQ(web::RichText("<u>open"), "<p><u>open</u></p>\n");
  const std::string hostile = web::RichText(
      "<script>alert(1)</script><img src=x onerror=alert(1)><a href=\"javascript:x\">l</a>"
      "<b onclick=\"x\">a</b><p class=x>&amp; &lt;&gt; &bogus;");
  for (const char* raw : {"<script", "<img", "<a ", "<b ", "<p class"}) {
    EXPECT_FALSE(Has(hostile, raw)) << raw << " in " << hostile;
  }
  EXPECT_TRUE(Has(hostile, "&lt;script&gt;alert(1)&lt;/script&gt;"));
  EXPECT_TRUE(Has(hostile, "&amp; &lt;&gt; &amp;bogus;"));
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
  // What was asked for, and a search for it.
  const std::string page = Get("/person/Nobody_Known")->body;
  EXPECT_TRUE(Has(page, "<h1>Not found</h1>"));
  EXPECT_TRUE(Has(page, "<code>/person/Nobody_Known</code>"));
  EXPECT_TRUE(Has(page, "name=\"q\" maxlength=\"200\" value=\"Nobody Known\""));
  auto css = Get("/style.css");
  EXPECT_EQ(css->status, 200);
  EXPECT_EQ(css->get_header_value("Content-Type"), "text/css; charset=utf-8");
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

// Another program may write anything into any column: every page still answers, and a cell that
// does not read as what its column means shows as not given.
TEST(ServeProcess, OddCellsShowAsMissingValuesOnEveryPage) {
  TempDir dir;
  const std::string catalogue = dir.File("odd.zel");
  BuildExampleCatalogue(catalogue);
  const int64_t paid =
      Count(catalogue, "SELECT COUNT(*) FROM PurchaseInfo WHERE Price IS NOT NULL");
  WithSqlite(catalogue,
             {"UPDATE Profiles SET ProdYear = 'nineteen fifty', ProfileTimestamp = 'yesterday', "
              "LastEdited = 12 WHERE ProfileID = 'Key_800004711000'",
              "UPDATE Profiles SET ProdYear = 2147483648, Runtime = 'long', CountAs = 1e300 WHERE "
              "ProfileID = 'Key_800004711037'",
              "UPDATE PurchaseInfo SET Price = 'cheap', PurchaseDate = 'someday' WHERE ProfileID "
              "= 'Key_800004711000'",
              "UPDATE CastCrew SET BirthYear = 'old', Position = 'first' WHERE ProfileID = "
              "'Key_800004711000' AND Name = 'Tomas Keller'",
              "UPDATE LoanInfo SET LoanedDue = 'soon'", "UPDATE Reviews SET Film = 'great'",
              "UPDATE Episodes SET Airdate = 'tuesday', Runtime = x'00ff'",
              "UPDATE Awards SET Year = 'last year', MovieYear = -5"});
  ServerProcess server(catalogue);
  ASSERT_GT(server.port(), 0);
  httplib::Client client("127.0.0.1", server.port());
  client.set_read_timeout(30, 0);
  for (const char* path :
       {"/", "/titles", "/titles?sort=year", "/titles?sort=runtime&collection=all",
        "/titles?sort=price", "/titles?sort=added", "/titles?sort=rating",
        "/title/Key_800004711000", "/title/Key_800004711037", "/person/Tomas%20Keller", "/people",
        "/search?q=harbour", "/stats", "/stats?collection=all", "/series/HARBOUR", "/awards",
        "/api/title/Key_800004711000"}) {
    auto result = client.Get(path);
    ASSERT_TRUE(result) << path;
    EXPECT_EQ(result->status, 200) << path << "\n" << result->body.substr(0, 300);
  }
  const Json title = Json::parse(client.Get("/api/title/Key_800004711000")->body);
  EXPECT_EQ(title["ProductionYear"], 0);
  EXPECT_TRUE(title["ProfileTimeStamp"].is_null());
  EXPECT_TRUE(title["PurchaseInfo"]["Price"].is_null());
  EXPECT_TRUE(title["PurchaseInfo"]["PurchaseDate"].is_null());
  EXPECT_EQ(Json::parse(client.Get("/api/title/Key_800004711037")->body)["ProductionYear"], 0);
  const Json stats = Json::parse(client.Get("/api/stats?collection=all")->body);
  int64_t priced = 0;
  for (const Json& year : stats["Spending"]) priced += year["Titles"].get<int64_t>();
  EXPECT_EQ(priced, paid - 1);
  EXPECT_TRUE(stats["Loans"]["Due"][0]["LoanedDue"].is_null());
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
