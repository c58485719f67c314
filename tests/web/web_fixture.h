// The server the zel serve tests talk to: a real `zel serve` process on a loopback port, serving
// the example catalogue (examples/collection.xml imported with zel import, plus a series and awards
// from tests/browser/example_series.sql, a title full of markup characters and kExtraTitles plain
// titles that credit one person, for paging) and an images folder made for the test. Defined in
// server_test.cpp.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "support/test_support.h"

namespace zel::testing {

using Json = nlohmann::json;

inline constexpr int kExtraTitles = 210;

std::string ReadFile(const std::string& path);

inline bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Runs statements on the catalogue in this process, as another program would.
void Execute(const std::string& catalogue, const std::vector<std::string>& statements);
// The first column of the first row of a query, read in this process (0 for Null or no row).
int64_t Count(const std::string& catalogue, const std::string& sql);

// The example catalogue (examples/collection.xml) with a series and awards, as the demo has it.
void BuildExampleCatalogue(const std::string& catalogue);
// The example catalogue with a hostile title and plain titles for paging besides.
void BuildCatalogue(const std::string& catalogue);

// A zel serve process on a free loopback port, stopped with SIGTERM at the end.
class ServerProcess {
 public:
  ServerProcess(const std::string& catalogue, std::vector<std::string> extra = {},
                const std::string& err_path = {});
  ~ServerProcess() { Stop(); }

  // Stops the server; its exit code (0 for a clean stop).
  int Stop();
  // Waits up to `seconds` for the process to end by itself (then kills it); its exit code.
  int Wait(int seconds);
  bool Alive() const;
  int port() const { return port_; }
  // The server's resident memory in kilobytes.
  long ResidentKb() const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  int exit_code_ = -1;
};

// Runs statements with SQLite itself, as another program writing the file would.
void WithSqlite(const std::string& path, const std::vector<std::string>& statements);

// Sends raw bytes and returns whatever the server answers before closing (or a timeout).
std::string RawExchange(int port, const std::string& bytes, bool half_close = true);

// One connection to the server, for what a client library hides: pipelining, keep-alive, what
// the server does with a connection.
class RawClient {
 public:
  explicit RawClient(int port, int timeout_seconds = 10);
  ~RawClient();
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connected() const { return sock_ >= 0; }
  // Sends everything, or as much as the server takes before it stops reading; the bytes sent.
  size_t Send(const std::string& bytes);
  // The next whole answer (status line, header and a body of its Content-Length); empty when the
  // connection ended or fell silent for the timeout first.
  std::string Answer(bool head = false);
  // Whether the server has closed the connection within `seconds`.
  bool Closed(int seconds);

 private:
  int sock_ = -1;
  std::string pending_;
};

// One server for the tests of a process, on the example catalogue, with covers.
class ServeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override { ASSERT_GT(server_->port(), 0) << "the server did not start"; }

  httplib::Result Get(const std::string& path, const httplib::Headers& headers = {});
  // The page at `path`, which must answer 200 with HTML.
  std::string Html(const std::string& path);
  Json GetJson(const std::string& path, int expected_status = 200);
  // A bad value: 400 with a message naming what is allowed, for people and for scripts.
  void ExpectRefused(const std::string& path, const std::string& named);
  // The first column of the first row of a query on the catalogue, read in this process.
  int64_t Sql(const std::string& sql);
  // Every title of every page of a title list.
  std::vector<Json> AllTitles(const std::string& query);

  static TempDir* dir_;
  static std::string catalogue_;
  static ServerProcess* server_;
};

}  // namespace zel::testing
