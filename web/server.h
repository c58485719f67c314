// The web server of `zel serve`: read-only pages and JSON over one catalogue file.
//
// Requests are answered on a pool of threads, each with its own connection reading the catalogue
// and its index (index.h). What another process (an import) has committed is visible to the next
// request: the index catches up with the change first, and pages read what they show anew; the
// statistics are kept only until the file changes. The catalogue's tables are never written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace zel::web {

struct ServerOptions {
  std::string catalogue;              // path of the catalogue file
  std::string images;                 // the desktop program's images folder; empty: no covers
  std::string bind = "127.0.0.1";     // address to listen on
  int port = 8080;                    // 0: any free port
  int threads = 8;                    // worker threads, each with its own open catalogue
  size_t max_body_bytes = 16 * 1024;  // larger request bodies are refused with 413
  int read_timeout_seconds = 5;       // a client that stops sending is dropped after this
  // Called while the index is built for the first time: titles and episodes done of the total.
  std::function<void(int64_t done, int64_t total)> progress;
};

class Server {
 public:
  // Checks that the catalogue opens (raising the engine's error when it does not) and that the
  // images folder, when given, can be read, brings the catalogue's index up to date (building it
  // when there is none) and sets up the routes; listens only on Run.
  explicit Server(ServerOptions options);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds the address; returns the port (the chosen one when the options say 0). Raises
  // zel::Error when the address cannot be bound, also when another program (another zel serve)
  // listens there already: the port is never shared.
  int Bind();
  // Answers requests until Stop; needs Bind first.
  void Run();
  // Ends Run from any thread (or a signal-waiting thread); safe to call more than once.
  void Stop();
  // True once Run is accepting connections.
  bool IsRunning() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zel::web
