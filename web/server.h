// The web server of `zel serve`: pages and JSON over one catalogue file, read-only unless editing
// is turned on (web/editor.h).
//
// Requests are answered on a few threads. The library's objects belong to the thread that made
// them, so each worker thread keeps its own Control and open catalogue. What another process (an
// import) has committed is visible to the next request: pages read what they show anew, and the
// few values read from the whole catalogue (the title table behind the lists, the search index,
// the statistics) are kept only until the file changes. Without editing nothing is ever written
// to the file.
//
// The HTTP side (connections, limits, timeouts, host names) is web/http.h; its options are part of
// these.
#pragma once

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
};

// The HTTP server (Bind, Run, Stop) with the pages of one catalogue.
class Server : public HttpServer {
 public:
  // Checks that the catalogue opens (raising the library's error when it does not) and that the
  // images folder, when given, can be read, and sets up the routes; listens only on Run.
  explicit Server(ServerOptions options);
  ~Server();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zel::web
