// The HTTP/1.1 server under `zel serve`: connections, limits, routing and the answers the server
// makes by itself. Pages are what web/server.cpp adds on top.
//
// Connections are served by a few threads that wait on all sockets at once, so idle and slow
// clients cost a descriptor and a little memory each, never a thread. A connection reads one
// request at a time, answers it in one write and only then reads the next (pipelined requests are
// answered in order; a client that does not read its answers stops being read). Handlers run on
// these threads, each request whole on one thread; a thread serves many connections, one after
// another.
//
// Every request is bounded before a handler sees it: header bytes and lines, body bytes whatever
// the transfer coding, the time to send a request and to take an answer, the time a connection may
// sit idle, and the number of connections. A request over a limit gets its status (413, 431) and
// its connection is closed. Request bodies are never decompressed: one with a Content-Encoding is
// refused with 415. The Host header must name this server: the address the client reached, a
// loopback name on loopback, or an allowed name; any other (a name of someone else's pointed at
// this address: DNS rebinding) is refused with 421. Unknown methods on known paths get 405 with
// Allow.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zel::web {

struct HttpOptions {
  std::string bind = "127.0.0.1";  // address to listen on
  int port = 8080;                 // 0: any free port
  int threads = 8;                 // threads serving connections and running handlers
  // Host names answered besides the address a client reached the server at (and, on loopback,
  // localhost, 127.0.0.1 and [::1]); compared without the port, letter case ignored.
  std::vector<std::string> allowed_hosts;
  size_t max_header_bytes = 16 * 1024;  // request line and header lines together
  size_t max_header_lines = 100;
  size_t max_body_bytes = 16 * 1024;       // after removing a chunked transfer coding
  size_t max_connections = 4096;           // further ones are closed as soon as they are accepted
  std::chrono::seconds read_timeout{10};   // to send one request, from its first byte
  std::chrono::seconds idle_timeout{15};   // between requests, and before the first
  std::chrono::seconds write_timeout{30};  // for the client to take one answer
};

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct Request {
  std::string method;  // as sent: GET, HEAD, POST...
  std::string target;  // as sent
  std::string path;    // the target's path, percent-decoded
  HeaderList query;    // the target's query, each name and value decoded ("+" is a space)
  HeaderList headers;  // names in lower case, in the order sent
  std::string body;
  // The route's pattern matched the whole path: [0] is the path, then each group, as decoded.
  std::vector<std::string> matches;

  // The first value of the query parameter `name`, empty when absent.
  std::string Query(std::string_view name) const;
  // The header `name` (any letter case), its lines joined with ", "; empty when absent.
  std::string Header(std::string_view name) const;
};

struct Response {
  int status = 200;
  std::string content_type;  // none when empty
  std::string body;
  HeaderList headers;  // besides Content-Type, Content-Length and Connection

  // Sets the header `name`, replacing a value set before.
  void Set(std::string_view name, std::string value);
};

using Handler = std::function<void(const Request&, Response&)>;

// The part of a file a GET asks for with its Range header.
struct ByteRange {
  uintmax_t first = 0;
  uintmax_t length = 0;
  bool unsatisfiable = false;  // a valid request for bytes the file does not have: 416
};

// What a Range header (with its If-Range) selects of a file of `size` bytes whose strong entity
// tag is `etag`. An answer is never larger than the file: one range, or several that overlap or
// touch, give one part; disjoint ranges, more than a few of them, another unit, a malformed header
// or an If-Range other than `etag` give the whole file. Unsatisfiable only when every range starts
// past the end.
ByteRange ChooseRange(std::string_view range, std::string_view if_range, std::string_view etag,
                      uintmax_t size);

// Whether an If-None-Match value ("*" or a list of tags, weak ones too) names `etag`.
bool MatchesEtag(std::string_view if_none_match, std::string_view etag);

class HttpServer {
 public:
  explicit HttpServer(HttpOptions options);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Routes: `pattern` is a regular expression the whole decoded path must match. A GET route
  // also answers HEAD. Routes are tried in the order added; add them all before Run.
  void Get(const std::string& pattern, Handler handler);
  void Post(const std::string& pattern, Handler handler);
  // Fills the answers the server makes by itself: `response.status` is set (400, 404, 405, 408,
  // 413, 415, 421, 431, 500, 501) and the body empty. Without one they have a plain-text body.
  void SetErrorPage(Handler page);

  // Binds the address; returns the port (the chosen one when the options say 0). Raises
  // zel::Error when the address cannot be bound, also when another program listens there
  // already: the port is never shared.
  int Bind();
  // Serves connections until Stop; needs Bind first.
  void Run();
  // Ends Run from any thread; safe to call more than once, before Run too.
  void Stop();
  // True once Run is serving.
  bool IsRunning() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zel::web
