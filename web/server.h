// The web server of `zel serve`: read-only pages and JSON over one catalogue file.
//
// Requests are answered on a pool of threads. The library's objects belong to the thread that made
// them, so each worker thread keeps its own Control and open catalogue. What another process (an
// import) has committed is visible to the next request: pages read what they show anew, and the
// few values read from the whole catalogue (the title table behind the lists, the search index,
// the statistics) are kept only until the file changes. Nothing is ever written to the file.
#pragma once

#include <cstddef>
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
};

class Server {
 public:
  // Checks that the catalogue opens (raising the library's error when it does not) and that the
  // images folder, when given, can be read, and sets up the routes; listens only on Run.
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
