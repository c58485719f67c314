// zel serve's HTTP layer over real sockets: what it refuses and how early (floods of headers and
// bodies, broken requests), idle and slow clients, host names, methods, compression, pipelining and
// keep-alive, and the error pages of a failing catalogue. Memory is read from the server's /proc.
#include <sys/socket.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "web/html.h"
#include "web_fixture.h"

namespace zel::testing {
namespace {

std::string RawGet(const std::string& path, const std::string& headers = "Host: localhost\r\n") {
  return "GET " + path + " HTTP/1.1\r\n" + headers + "\r\n";
}

std::string Repeat(const std::string& part, size_t bytes) {
  std::string out;
  while (out.size() + part.size() <= bytes) out += part;
  return out;
}

std::string Status(const std::string& answer) { return answer.substr(0, answer.find("\r\n")); }

// The status of the answer to `request` alone on a connection.
std::string StatusOf(int port, const std::string& request) {
  return Status(RawExchange(port, request));
}

// Sends `head`, then `pattern` again and again until `bytes` are sent or the server stops taking
// them; the bytes sent.
size_t Flood(int port, const std::string& head, const std::string& pattern, size_t bytes) {
  RawClient client(port, 3);
  size_t sent = client.Send(head);
  const std::string block = Repeat(pattern, 1 << 16);
  while (sent < bytes) {
    const size_t n = client.Send(block);
    sent += n;
    if (n < block.size()) break;
  }
  return sent;
}

TEST_F(ServeTest, FloodsAndBrokenRequestsAreCutOffWithoutGrowingTheServer) {
  const int port = server_->port();
  // Each thread keeps its own connection to the catalogue from its first page on: many pages at
  // once open them all before the server's size is taken.
  std::vector<std::thread> pages;
  for (int i = 0; i < 24; ++i) pages.emplace_back([this] { Html("/titles"); });
  for (std::thread& page : pages) page.join();
  const long before = server_->ResidentKb();

  // Over a limit: the status, and the connection ends.
  EXPECT_EQ(StatusOf(port, RawGet("/", "Host: localhost\r\n" + Repeat("a: b\r\n", 60000))),
            "HTTP/1.1 431 Request Header Fields Too Large");
  EXPECT_EQ(StatusOf(port, RawGet("/", "Host: localhost\r\n" + Repeat("a: b\r\n", 101 * 6))),
            "HTTP/1.1 431 Request Header Fields Too Large");
  EXPECT_EQ(StatusOf(port, RawGet("/search?q=" + std::string(9000, 'e'))),
            "HTTP/1.1 414 URI Too Long");
  EXPECT_EQ(StatusOf(port,
                     "POST /titles HTTP/1.1\r\nHost: localhost\r\nContent-Length: "
                     "10000000\r\n\r\n"),
            "HTTP/1.1 413 Payload Too Large");
  const std::string chunks = Repeat("1\r\nc\r\n", 6 * 20000);  // 20,000 bytes of body
  EXPECT_EQ(StatusOf(port,
                     "POST /titles HTTP/1.1\r\nHost: localhost\r\nTransfer-Encoding: "
                     "chunked\r\n\r\n" +
                         chunks + "0\r\n\r\n"),
            "HTTP/1.1 413 Payload Too Large");
  // Bodies are never inflated, nor taken in a transfer coding other than chunked.
  EXPECT_EQ(StatusOf(port,
                     "POST /titles HTTP/1.1\r\nHost: localhost\r\nContent-Encoding: "
                     "gzip\r\nContent-Length: 4\r\n\r\nabcd"),
            "HTTP/1.1 415 Unsupported Media Type");
  EXPECT_EQ(StatusOf(port,
                     "POST /titles HTTP/1.1\r\nHost: localhost\r\nTransfer-Encoding: gzip, "
                     "chunked\r\n\r\n1\r\nc\r\n0\r\n\r\n"),
            "HTTP/1.1 501 Not Implemented");
  EXPECT_EQ(StatusOf(port, "GARBAGE\r\n\r\n"), "HTTP/1.1 400 Bad Request");
  EXPECT_EQ(StatusOf(port, "GET / HTTP/1.1\r\nHost\r\n\r\n"), "HTTP/1.1 400 Bad Request");
  EXPECT_EQ(StatusOf(port, "GET nowhere HTTP/1.1\r\nHost: localhost\r\n\r\n"),
            "HTTP/1.1 400 Bad Request");
  RawExchange(port, std::string("\x00\xff\x01\r\n\r\n", 7));
  RawExchange(port, "GET / HTTP/1.1\r\n");  // cut off mid-request
  for (const char* path : {"/title/%ZZ%00", "/titles?year=99999999999999999999"}) {
    EXPECT_NE(StatusOf(port, RawGet(path)), "HTTP/1.1 500 Internal Server Error") << path;
  }
  // Many ranges of a page: the page once, as if none were asked for.
  const std::string ranged = RawExchange(
      port, RawGet("/titles", "Host: localhost\r\nRange: bytes=" + Repeat("0-,", 8100) + "0-\r\n"));
  EXPECT_EQ(Status(ranged), "HTTP/1.1 200 OK");
  EXPECT_LT(ranged.size(), 200000u);

  // Floods: the server stops reading long before their end, and keeps nothing of them.
  EXPECT_LT(Flood(port, "GET / HTTP/1.1\r\nHost: localhost\r\n", "a: b\r\n", 64 << 20), 64u << 20);
  EXPECT_LT(Flood(port,
                  "POST /titles HTTP/1.1\r\nHost: localhost\r\nTransfer-Encoding: "
                  "chunked\r\n\r\n10000000\r\n",
                  "c", 256 << 20),
            256u << 20);
  EXPECT_LT(server_->ResidentKb() - before, 10 * 1024);
  EXPECT_TRUE(server_->Alive());
  auto result = ServeTest::Get("/api/");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 200);
}

TEST_F(ServeTest, IdleAndSlowClientsLeaveOthersAnswered) {
  const int port = server_->port();
  const long before = server_->ResidentKb();
  // More than there are threads, many times over: connections that send nothing, and ones that
  // send a header a byte at a time.
  std::vector<std::unique_ptr<RawClient>> idle, slow;
  for (int i = 0; i < 300; ++i) idle.push_back(std::make_unique<RawClient>(port));
  for (int i = 0; i < 100; ++i) {
    slow.push_back(std::make_unique<RawClient>(port));
    slow.back()->Send("GET / HTTP/1.1\r\nHost: localhost\r\nX-Slow: ");
  }
  for (int round = 0; round < 10; ++round) {
    for (auto& client : slow) client->Send("x");
    RawClient other(port);
    other.Send(RawGet("/style.css"));
    EXPECT_EQ(Status(other.Answer()), "HTTP/1.1 200 OK") << round;
  }
  // A connection costs a buffer, not a thread (the sanitizers' own bookkeeping included).
  EXPECT_LT(server_->ResidentKb() - before, 400 * 48);
}

TEST_F(ServeTest, HostNamesMethodsAndCompression) {
  const int port = server_->port();
  const std::string own = "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
  // The names of the loopback address are answered; any other name is refused, even one a DNS
  // server points here, and so is a request with no Host at all.
  for (const std::string& host :
       {own, std::string("Host: localhost\r\n"), std::string("Host: LOCALHOST.:80\r\n"),
        "Host: [::1]:" + std::to_string(port) + "\r\n"}) {
    EXPECT_EQ(StatusOf(port, RawGet("/style.css", host)), "HTTP/1.1 200 OK") << host;
  }
  for (const char* host : {"Host: evil.example\r\n", "Host: localhost.evil.example\r\n",
                           "Host: 127.0.0.1@evil.example\r\n", "Host: localhost:http\r\n"}) {
    EXPECT_EQ(StatusOf(port, RawGet("/", host)), "HTTP/1.1 421 Misdirected Request") << host;
  }
  EXPECT_EQ(StatusOf(port, "GET http://evil.example/ HTTP/1.1\r\nHost: localhost\r\n\r\n"),
            "HTTP/1.1 421 Misdirected Request");
  EXPECT_EQ(StatusOf(port, "GET http://localhost/style.css HTTP/1.1\r\nHost: x\r\n\r\n"),
            "HTTP/1.1 200 OK");
  EXPECT_EQ(StatusOf(port, "GET /style.css HTTP/1.1\r\n\r\n"), "HTTP/1.1 400 Bad Request");
  EXPECT_EQ(StatusOf(port, "GET /style.css HTTP/1.0\r\n\r\n"), "HTTP/1.1 200 OK");
  const std::string refused = RawExchange(port, RawGet("/api/stats", "Host: evil.example\r\n"));
  EXPECT_TRUE(Has(refused, "\r\n\r\n{\"Error\":\"This server does not answer for the host name"))
      << refused;

  // Known paths name the methods they take; unknown ones are not found whatever the method.
  const std::string post = RawExchange(port, "POST /titles HTTP/1.1\r\n" + own + "\r\n");
  EXPECT_EQ(Status(post), "HTTP/1.1 405 Method Not Allowed");
  EXPECT_TRUE(Has(post, "\r\nAllow: GET, HEAD\r\n")) << post;
  EXPECT_TRUE(Has(post, "<h1>Method not allowed</h1>"));
  EXPECT_TRUE(Has(RawExchange(port, "DELETE /api/stats HTTP/1.1\r\n" + own + "\r\n"),
                  "{\"Error\":\"This address does not take that kind of request.\""));
  EXPECT_EQ(StatusOf(port, "POST /nowhere HTTP/1.1\r\n" + own + "\r\n"), "HTTP/1.1 404 Not Found");
  RawClient head(port);
  head.Send("HEAD /style.css HTTP/1.1\r\n" + own + "\r\n");
  const std::string headers = head.Answer(true);
  EXPECT_TRUE(Has(headers, "\r\nContent-Length: " + std::to_string(web::StyleSheet().size())))
      << headers;
  EXPECT_TRUE(headers.ends_with("\r\n\r\n"));
  head.Send(RawGet("/style.css", own));  // nothing was sent after the header
  EXPECT_EQ(Status(head.Answer()), "HTTP/1.1 200 OK");

  // Text is compressed when the client takes gzip, and says that it varies by what it takes.
  for (const char* accepted : {"", "Accept-Encoding: gzip, br\r\n", "Accept-Encoding: gzip;q=0\r\n",
                               "Accept-Encoding: *\r\n"}) {
    const std::string css = RawExchange(port, RawGet("/style.css", own + accepted));
    EXPECT_TRUE(Has(css, "\r\nVary: Accept-Encoding\r\n")) << accepted;
    EXPECT_EQ(Has(css, "\r\nContent-Encoding: gzip\r\n"),
              std::string(accepted).find("gzip, br") != std::string::npos ||
                  std::string(accepted).find('*') != std::string::npos)
        << accepted;
  }
  EXPECT_TRUE(Has(RawExchange(port, RawGet("/titles", own + "Accept-Encoding: gzip\r\n")),
                  "\r\nContent-Encoding: gzip\r\n"));
}

TEST_F(ServeTest, PipelinedRequestsAreAnsweredInOrderOnAKeptConnection) {
  RawClient client(server_->port());
  ASSERT_TRUE(client.connected());
  client.Send(RawGet("/style.css") + RawGet("/api/nothing") + RawGet("/api/titles?q=harbour"));
  EXPECT_TRUE(Has(client.Answer(), "Content-Type: text/css"));
  EXPECT_EQ(Status(client.Answer()), "HTTP/1.1 404 Not Found");
  EXPECT_TRUE(Has(client.Answer(), "\"Total\":"));
  // The connection stays open for the next request, until the client asks for its end.
  client.Send(RawGet("/api/stats"));
  EXPECT_EQ(Status(client.Answer()), "HTTP/1.1 200 OK");
  client.Send(RawGet("/style.css", "Host: localhost\r\nConnection: close\r\n"));
  EXPECT_TRUE(Has(client.Answer(), "\r\nConnection: close\r\n"));
  EXPECT_TRUE(client.Closed(5));
  RawClient old(server_->port());
  old.Send("GET /style.css HTTP/1.0\r\n\r\n");
  EXPECT_EQ(Status(old.Answer()), "HTTP/1.1 200 OK");
  EXPECT_TRUE(old.Closed(5));
}

// A server of its own, on a small catalogue holding names a browser would take for path steps:
// names allowed by --allowed-host, clients dropped by the timeouts, and a catalogue that fails
// under the server (a table dropped by another program) answering with a page that names nothing
// of the file, while standard error says what happened.
TEST(ServeProcess, AllowedHostsTimeoutsDotNamesAndErrorPages) {
  TempDir dir;
  const std::string catalogue = dir.File("dots.zel");
  ASSERT_EQ(RunZel({"create", catalogue}).exit_code, 0);
  const auto execute = [&](const std::string& sql) {
    Control control;
    control.OpenDatabase(catalogue)->ExecuteSQL(sql);
    control.CloseDatabase();
  };
  execute(
      "INSERT INTO Profiles (ProfileID, Title, SortTitle, Medium) VALUES ('..', 'Dots', "
      "'Dots', 'DVD')");
  execute(
      "INSERT INTO CastCrew (Name, Role, ProfileID, Position, IsCast, IsVoice, IsUncredited, "
      "IsCreditOnly) VALUES ('.', 'Dot', '..', 1, true, false, false, false)");
  const std::string err = dir.File("serve.err");
  ServerProcess server(
      catalogue, {"--allowed-host", "Catalogue.LAN", "--read-timeout", "1", "--idle-timeout", "1"},
      err);
  const int port = server.port();
  ASSERT_GT(port, 0);

  EXPECT_EQ(StatusOf(port, RawGet("/style.css", "Host: catalogue.lan:8080\r\n")),
            "HTTP/1.1 200 OK");
  EXPECT_EQ(StatusOf(port, RawGet("/style.css", "Host: other.lan\r\n")),
            "HTTP/1.1 421 Misdirected Request");

  // Links to "." and ".." stay links to them, and lead there.
  EXPECT_EQ(web::Link("/title/", ".."), "/title/~%2E%2E");
  EXPECT_EQ(web::Link("/person/", "~x"), "/person/~~x");
  EXPECT_EQ(web::LinkedValue("~~x"), "~x");
  const std::string title = RawExchange(port, RawGet(web::Link("/title/", "..")));
  EXPECT_EQ(Status(title), "HTTP/1.1 200 OK");
  EXPECT_TRUE(Has(title, "href=\"/person/~%2E\"")) << title;
  EXPECT_EQ(StatusOf(port, RawGet(web::Link("/person/", "."))), "HTTP/1.1 200 OK");

  // Idle, slow and finished clients are let go; others are answered meanwhile.
  RawClient idle(port), slow(port), kept(port);
  slow.Send("GET / HTTP/1.1\r\nHost: localhost\r\n");
  kept.Send(RawGet("/style.css"));
  EXPECT_EQ(Status(kept.Answer()), "HTTP/1.1 200 OK");
  for (int i = 0; i < 10; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    slow.Send("X");  // a byte at a time: busy, but never done
  }
  EXPECT_TRUE(idle.Closed(1));
  EXPECT_TRUE(slow.Closed(1));
  EXPECT_TRUE(kept.Closed(1));

  execute("DROP TABLE CastCrew");
  for (const std::string& path : {web::Link("/title/", ".."), web::Link("/api/title/", "..")}) {
    const std::string failed = RawExchange(port, RawGet(path));
    EXPECT_EQ(Status(failed), "HTTP/1.1 500 Internal Server Error") << path;
    for (const std::string& detail : {std::string("CastCrew"), catalogue, std::string("SELECT")}) {
      EXPECT_FALSE(Has(failed, detail)) << failed;
    }
  }
  EXPECT_EQ(server.Stop(), 0);
  const std::string log = ReadFile(err);
  EXPECT_TRUE(Has(log, "zel serve: GET /title/~..: ")) << log;
  EXPECT_TRUE(Has(log, "CastCrew")) << log;
}

}  // namespace
}  // namespace zel::testing
