// The web server of `zel serve`: pages and JSON over one catalogue file, read-only unless editing
// is turned on (web/editor.h).
//
// Requests are answered on a few threads, each with its own connection reading the catalogue and
// its index (index.h). What another process (an import) has committed is visible to the next
// request: the index catches up with the change first, and pages read what they show anew; the
// statistics are kept only until the file changes. Without editing the catalogue's tables are never
// written.
//
// The HTTP side (connections, limits, timeouts, host names) is web/http.h; its options are part of
// these.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "web/http.h"

namespace zel::web {

// Besides the HTTP options: each of the `threads` keeps its own open catalogue.
struct ServerOptions : HttpOptions {
  std::string catalogue;  // path of the catalogue file
  std::string images;     // the desktop program's images folder; empty: no covers
  // Editing and login (web/editor.h). Editing on an address other machines can reach needs a
  // password, and so does private reading; the constructor refuses either without one.
  bool edit = false;
  std::string password;  // digested, then wiped; empty: none
  bool private_reading = false;
  std::chrono::seconds session_idle{30 * 60};
  // Called while the index is built for the first time: titles and episodes done of the total.
  std::function<void(int64_t done, int64_t total)> progress;
};

// The HTTP server (Bind, Run, Stop) with the pages of one catalogue.
class Server : public HttpServer {
 public:
  // Checks that the catalogue opens (raising the engine's error when it does not) and that the
  // images folder, when given, can be read, brings the catalogue's index up to date (building it
  // when there is none) and sets up the routes; listens only on Run.
  explicit Server(ServerOptions options);
  ~Server();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zel::web
