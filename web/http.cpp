// Boost.Beast parses and writes the messages, Boost.Asio waits on the sockets (epoll). What a
// connection does, in order: wait up to the idle timeout for a request's first byte; read its
// header (bounded in bytes, lines and time); check it (Host, codings, Expect); read its body
// (bounded); run the route's handler; write the answer in one gathered write; then the next
// request, which may already be in the buffer. A connection closed after a refusal first stops
// sending and reads what the client still sends for a moment, so that the client sees the answer
// rather than a reset.
#include "web/http.h"

// Beast's views are std::string_view, as everywhere else here; Asio 1.74 uses std::exchange
// without including <utility> itself.
#define BOOST_BEAST_USE_STD_STRING_VIEW
#include <utility>

#include <sys/resource.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <boost/asio/dispatch.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <charconv>
#include <iostream>
#include <optional>
#include <regex>
#include <thread>

#include "frame/error.h"
#include "frame/text.h"

namespace zel::web {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace bhttp = boost::beast::http;
using tcp = asio::ip::tcp;

// Longest target taken; the routes' patterns are matched against it.
constexpr size_t kMaxTargetBytes = 8 * 1024;
// Bodies smaller than this are sent as they are.
constexpr size_t kMinCompressedBytes = 1024;
// After a refusal: how long, and how much, the client may still send before the connection ends.
constexpr auto kLingerTime = std::chrono::seconds(2);
constexpr size_t kLingerBytes = 1024 * 1024;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Percent-decoding; a '%' without two hex digits after it stays as it is.
std::string Decode(std::string_view text, bool plus_is_space) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
        HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += plus_is_space && c == '+' ? ' ' : c;
    }
  }
  return out;
}

HeaderList ParseQuery(std::string_view query) {
  HeaderList pairs;
  while (!query.empty()) {
    const size_t end = std::min(query.find('&'), query.size());
    const std::string_view pair = query.substr(0, end);
    query.remove_prefix(std::min(end + 1, query.size()));
    if (pair.empty()) continue;
    const size_t equals = std::min(pair.find('='), pair.size());
    pairs.emplace_back(Decode(pair.substr(0, equals), true),
                       Decode(pair.substr(std::min(equals + 1, pair.size())), true));
  }
  return pairs;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Whether an Accept-Encoding value takes gzip: named (or "*") without q=0.
bool AcceptsGzip(std::string_view accepted) {
  bool gzip = false, star = false;
  while (!accepted.empty()) {
    const size_t end = std::min(accepted.find(','), accepted.size());
    std::string_view item = accepted.substr(0, end);
    accepted.remove_prefix(std::min(end + 1, accepted.size()));
    const size_t semicolon = std::min(item.find(';'), item.size());
    const std::string_view coding = TrimBlanks(item.substr(0, semicolon));
    std::string_view params = item.substr(semicolon);
    bool refused = false;
    if (const size_t q = params.find("q="); q != std::string_view::npos) {
      const std::string_view value = TrimBlanks(params.substr(q + 2));
      refused = !value.empty() && value.find_first_not_of("0.") == std::string_view::npos;
    }
    if (EqualsFolded(coding, "gzip") || EqualsFolded(coding, "x-gzip")) {
      if (refused) return false;
      gzip = true;
    } else if (coding == "*") {
      star = !refused;
    }
  }
  return gzip || star;
}

bool Compressible(std::string_view content_type) {
  return content_type.starts_with("text/") || content_type.starts_with("application/json");
}

std::optional<std::string> Gzip(std::string_view data) {
  z_stream stream{};
  // 15 + 16: a gzip wrapper around a full-window deflate stream; level 1 costs a tenth of the
  // default and compresses pages almost as well.
  if (deflateInit2(&stream, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::string out(deflateBound(&stream, data.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) return {};
  return out;
}

// The host of a Host header or of an absolute target's authority, without the port, in lower
// case and without a final dot; empty when it is not one.
std::string HostName(std::string_view host) {
  host = TrimBlanks(host);
  std::string_view name;
  if (host.starts_with('[')) {
    const size_t close = host.find(']');
    if (close == std::string_view::npos) return {};
    name = host.substr(0, close + 1);
    host.remove_prefix(close + 1);
  } else {
    const size_t colon = std::min(host.find(':'), host.size());
    name = host.substr(0, colon);
    host.remove_prefix(colon);
  }
  if (!host.empty() &&
      (host[0] != ':' || host.find_first_not_of("0123456789", 1) != std::string_view::npos)) {
    return {};
  }
  if (name.ends_with('.')) name.remove_suffix(1);
  if (name.empty() || name.find_first_of(" \t/\\@") != std::string_view::npos) return {};
  return FoldKey(std::string(name));
}

// How an address is named in a Host header: IPv6 in brackets.
std::string AddressName(const asio::ip::address& address) {
  return address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
}

// Lets the process hold `wanted` descriptors when the hard limit allows; returns how many it may.
size_t RaiseDescriptorLimit(size_t wanted) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return wanted;
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
    limit.rlim_cur =
        limit.rlim_max == RLIM_INFINITY ? wanted : std::min<rlim_t>(wanted, limit.rlim_max);
    setrlimit(RLIMIT_NOFILE, &limit);
    getrlimit(RLIMIT_NOFILE, &limit);
  }
  return limit.rlim_cur == RLIM_INFINITY ? wanted : static_cast<size_t>(limit.rlim_cur);
}

// Decimal digits as a number, a too large one as the largest there is; nullopt for anything else.
std::optional<uintmax_t> Number(std::string_view digits) {
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  uintmax_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return error == std::errc::result_out_of_range ? UINTMAX_MAX : value;
}

struct Route {
  std::string method;
  std::regex pattern;
  Handler handler;
};

}  // namespace

ByteRange ChooseRange(std::string_view range, std::string_view if_range, std::string_view etag,
                      uintmax_t size) {
  // More are refused by some servers and used to multiply an answer by others.
  constexpr size_t kMaxRanges = 16;
  const ByteRange whole{0, size, false};
  range = TrimBlanks(range);
  if_range = TrimBlanks(if_range);
  // If-Range compares strongly: a weak tag or a date (no Last-Modified is sent) never matches.
  const size_t equals = range.find('=');
  if (range.empty() || (!if_range.empty() && if_range != etag) ||
      equals == std::string_view::npos ||
      !EqualsFolded(TrimBlanks(range.substr(0, equals)), "bytes")) {
    return whole;
  }
  std::vector<std::pair<uintmax_t, uintmax_t>> parts;  // first and last byte, within the file
  size_t asked = 0;
  for (std::string_view set = range.substr(equals + 1); !set.empty();) {
    const size_t comma = std::min(set.find(','), set.size());
    const std::string_view part = TrimBlanks(set.substr(0, comma));
    set.remove_prefix(std::min(comma + 1, set.size()));
    if (part.empty()) continue;  // empty list elements are allowed
    const size_t dash = part.find('-');
    if (++asked > kMaxRanges || dash == std::string_view::npos) return whole;
    const auto first = Number(part.substr(0, dash));
    const auto last = Number(part.substr(dash + 1));
    if (dash == 0) {  // the last N bytes
      if (!last) return whole;
      if (*last > 0 && size > 0) parts.emplace_back(size - std::min(*last, size), size - 1);
    } else {
      if (!first || (dash + 1 < part.size() && (!last || *last < *first))) return whole;
      if (*first < size) parts.emplace_back(*first, std::min(last.value_or(size - 1), size - 1));
    }
  }
  if (asked == 0) return whole;
  if (parts.empty()) return {0, 0, true};
  std::sort(parts.begin(), parts.end());
  auto [first, last] = parts.front();
  for (const auto& [next_first, next_last] : parts) {
    if (next_first > last + 1) return whole;  // disjoint parts would need a multipart answer
    last = std::max(last, next_last);
  }
  return {first, last - first + 1, false};
}

bool MatchesEtag(std::string_view if_none_match, std::string_view etag) {
  if (TrimBlanks(if_none_match) == "*") return true;
  for (std::string_view list = if_none_match; !list.empty();) {
    const size_t comma = std::min(list.find(','), list.size());
    std::string_view tag = TrimBlanks(list.substr(0, comma));
    list.remove_prefix(std::min(comma + 1, list.size()));
    if (tag.starts_with("W/")) tag.remove_prefix(2);
    if (tag == etag) return true;
  }
  return false;
}

std::string Request::Query(std::string_view name) const {
  for (const auto& [key, value] : query) {
    if (key == name) return value;
  }
  return {};
}

std::string Request::Header(std::string_view name) const {
  std::string joined;
  bool found = false;
  for (const auto& [key, value] : headers) {
    if (!EqualsFolded(key, name)) continue;
    joined += (found ? ", " : "") + value;
    found = true;
  }
  return joined;
}

std::string Request::Cookie(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (key != "cookie") continue;
    std::string_view rest = value;
    while (!rest.empty()) {
      const size_t end = std::min(rest.find(';'), rest.size());
      const std::string_view pair = TrimBlanks(rest.substr(0, end));
      rest.remove_prefix(std::min(end + 1, rest.size()));
      const size_t equals = pair.find('=');
      if (equals != std::string_view::npos && TrimBlanks(pair.substr(0, equals)) == name) {
        std::string_view cookie = TrimBlanks(pair.substr(equals + 1));
        if (cookie.size() >= 2 && cookie.front() == '"' && cookie.back() == '"') {
          cookie = cookie.substr(1, cookie.size() - 2);
        }
        return std::string(cookie);
      }
    }
  }
  return {};
}

HeaderList Request::Form() const {
  const std::string type = Header("content-type");
  const std::string_view media = TrimBlanks(std::string_view(type).substr(0, type.find(';')));
  if (!EqualsFolded(media, "application/x-www-form-urlencoded")) return {};
  return ParseQuery(body);
}

void Response::Set(std::string_view name, std::string value) {
  for (auto& [key, old] : headers) {
    if (EqualsFolded(key, name)) {
      old = std::move(value);
      return;
    }
  }
  headers.emplace_back(std::string(name), std::move(value));
}

namespace {

// What every connection shares: the options, the routes and the event loop.
struct Core {
  HttpOptions options;
  std::vector<Route> routes;
  Handler error_page;
  std::function<bool(const Request&, Response&)> gate;
  std::vector<std::string> hosts;  // allowed host names, lower case
  size_t max_connections = 0;
  std::atomic<size_t> connections{0};
  std::atomic<bool> running{false};
  asio::io_context io;
  std::optional<tcp::acceptor> acceptor;
  std::optional<asio::steady_timer> accept_pause;

  void Accept();
  // `local`: the address the client reached, as a Host header names it.
  bool HostAllowed(std::string_view host, const std::string& local) const {
    const std::string name = HostName(host);
    return !name.empty() &&
           (name == local || std::find(hosts.begin(), hosts.end(), name) != hosts.end());
  }
  // Fills `response` with the server's own answer of `status`.
  void ErrorPage(const Request& request, Response& response, int status) {
    response = Response{};
    response.status = status;
    if (error_page) {
      try {
        error_page(request, response);
        return;
      } catch (const std::exception& failure) {
        std::cerr << "zel serve: error page " << status << ": " << failure.what() << '\n';
      }
      response = Response{};
      response.status = status;
    }
    response.content_type = "text/plain; charset=utf-8";
    response.body = std::to_string(status) + " " +
                    std::string(bhttp::obsolete_reason(bhttp::int_to_status(status))) + "\n";
  }
  // Runs the route of `request`, or answers 404 or 405.
  void Answer(Request& request, Response& response) {
    const std::string method = request.method == "HEAD" ? "GET" : request.method;
    std::string allowed;
    std::smatch match;
    for (const Route& route : routes) {
      if (!std::regex_match(request.path, match, route.pattern)) continue;
      if (route.method != method) {
        if (allowed.find(route.method) == std::string::npos) {
          allowed += (allowed.empty() ? "" : ", ") + route.method +
                     (route.method == "GET" ? ", HEAD" : "");
        }
        continue;
      }
      request.matches.assign(match.begin(), match.end());
      try {
        if (gate && !gate(request, response)) return;
        route.handler(request, response);
      } catch (const std::exception& failure) {
        std::cerr << "zel serve: " << request.method << ' ' << request.path << ": "
                  << failure.what() << '\n';
        ErrorPage(request, response, 500);
      } catch (...) {
        std::cerr << "zel serve: " << request.method << ' ' << request.path << ": unknown error\n";
        ErrorPage(request, response, 500);
      }
      return;
    }
    ErrorPage(request, response, allowed.empty() ? 404 : 405);
    if (!allowed.empty()) response.Set("Allow", allowed);
  }
};

}  // namespace

struct HttpServer::Impl : Core {};

namespace {

// One client connection; owned by the operation it waits on, so it ends with its last one.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(Core& server, tcp::socket socket)
      : server_(server),
        options_(server.options),
        stream_(std::move(socket)),
        buffer_(options_.max_header_bytes + options_.max_body_bytes + 4096) {}
  ~Connection() { --server_.connections; }

  void Start() {
    asio::dispatch(stream_.get_executor(), [self = shared_from_this()] {
      beast::error_code ignored;
      // Each answer is one write; nothing is held back waiting for the client's acknowledgement.
      self->stream_.socket().set_option(tcp::no_delay(true), ignored);
      self->WaitForRequest();
    });
  }

 private:
  void WaitForRequest() {
    if (buffer_.size() > 0) return ReadHeader();  // pipelined
    stream_.expires_after(options_.idle_timeout);
    stream_.async_read_some(buffer_.prepare(4096),
                            [self = shared_from_this()](beast::error_code error, size_t bytes) {
                              if (error) return self->Close();
                              self->buffer_.commit(bytes);
                              self->ReadHeader();
                            });
  }

  void ReadHeader() {
    parser_.emplace();
    parser_->header_limit(static_cast<uint32_t>(options_.max_header_bytes));
    parser_->body_limit(options_.max_body_bytes);
    // The deadline covers header and body: a client sending a byte at a time is cut off anyway.
    stream_.expires_after(options_.read_timeout);
    bhttp::async_read_header(stream_, buffer_, *parser_,
                             [self = shared_from_this()](beast::error_code error, size_t) {
                               if (error) return self->Failed(error);
                               self->CheckHeader();
                             });
  }

  void CheckHeader() {
    const auto& header = parser_->get();
    const size_t lines = static_cast<size_t>(std::distance(header.begin(), header.end()));
    if (lines > options_.max_header_lines) return Refuse(431);
    if (header.target().size() > kMaxTargetBytes) return Refuse(414);
    const bool has_body = parser_->chunked() || parser_->content_length().value_or(0) > 0;
    if (const auto coding = header.find(bhttp::field::transfer_encoding); coding != header.end()) {
      if (!EqualsFolded(TrimBlanks(coding->value()), "chunked")) return Refuse(501);
    }
    if (has_body && header.find(bhttp::field::content_encoding) != header.end() &&
        !EqualsFolded(TrimBlanks(header[bhttp::field::content_encoding]), "identity")) {
      return Refuse(415);
    }
    const std::string_view target = header.target();
    std::string_view authority;
    if (target.size() > 8 && (EqualsFolded(target.substr(0, 7), "http://") ||
                              EqualsFolded(target.substr(0, 8), "https://"))) {
      authority = target.substr(target.find("//") + 2);
      authority = authority.substr(0, std::min(authority.find('/'), authority.size()));
    } else if (!target.starts_with('/')) {
      return Refuse(400);
    }
    const auto host = header.find(bhttp::field::host);
    if (authority.empty() && host == header.end()) {
      // HTTP/1.1 requires Host; an HTTP/1.0 client may not know it, and a browser always sends it.
      if (header.version() >= 11) return Refuse(400);
    } else if (!server_.HostAllowed(authority.empty() ? host->value() : authority, LocalName())) {
      return Refuse(421);
    }
    if (parser_->is_done()) return Dispatch();
    if (EqualsFolded(TrimBlanks(header[bhttp::field::expect]), "100-continue")) {
      static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
      stream_.expires_after(options_.write_timeout);
      asio::async_write(stream_, asio::buffer(kContinue.data(), kContinue.size()),
                        [self = shared_from_this()](beast::error_code error, size_t) {
                          if (error) return self->Close();
                          self->stream_.expires_after(self->options_.read_timeout);
                          self->ReadBody();
                        });
      return;
    }
    ReadBody();
  }

  void ReadBody() {
    bhttp::async_read(stream_, buffer_, *parser_,
                      [self = shared_from_this()](beast::error_code error, size_t) {
                        if (error) return self->Failed(error);
                        self->Dispatch();
                      });
  }

  // A read that did not give a whole request: the client left or was too slow (the connection
  // ends), or sent what cannot be answered (a refusal, then the connection ends).
  void Failed(beast::error_code error) {
    if (error == bhttp::error::header_limit || error == bhttp::error::buffer_overflow) {
      return Refuse(431);
    }
    if (error == bhttp::error::body_limit) return Refuse(413);
    if (error.category() == make_error_code(bhttp::error::end_of_stream).category() &&
        error != bhttp::error::end_of_stream && error != bhttp::error::partial_message) {
      return Refuse(400);
    }
    Close();
  }

  std::string LocalName() {
    beast::error_code error;
    return NameOf(stream_.socket().local_endpoint(error), error);
  }

  // An endpoint's address as a Host header names it; IPv4 reached over IPv6 as plain IPv4.
  static std::string NameOf(const tcp::endpoint& endpoint, const beast::error_code& error) {
    if (error) return {};
    asio::ip::address address = endpoint.address();
    if (address.is_v6() && address.to_v6().is_v4_mapped()) {
      address = asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
    }
    return AddressName(address);
  }

  Request MakeRequest() {
    auto& message = parser_->get();
    Request request;
    request.method = std::string(message.method_string());
    request.target = std::string(message.target());
    std::string_view target = message.target();
    if (!target.starts_with('/')) {  // absolute form: the path starts after the authority
      const size_t slash = target.find('/', target.find("//") + 2);
      target = slash == std::string_view::npos ? "/" : target.substr(slash);
    }
    const size_t question = std::min(target.find('?'), target.size());
    request.path = Decode(target.substr(0, question), false);
    request.query = ParseQuery(target.substr(std::min(question + 1, target.size())));
    for (const auto& field : message) {
      request.headers.emplace_back(FoldKey(std::string(field.name_string())),
                                   std::string(field.value()));
    }
    request.body = std::move(message.body());
    beast::error_code error;
    request.client = NameOf(stream_.socket().remote_endpoint(error), error);
    return request;
  }

  void Dispatch() {
    Request request = MakeRequest();
    Response response;
    server_.Answer(request, response);
    Send(request, std::move(response), !parser_->keep_alive());
  }

  // Answers with `status` and ends the connection; what is known of the request (its path, for
  // answers in JSON) shapes the page.
  void Refuse(int status) {
    Request request;
    if (parser_ && parser_->is_header_done() && parser_->get().target().size() <= kMaxTargetBytes) {
      request.method = std::string(parser_->get().method_string());
      const std::string_view target = parser_->get().target();
      request.path = Decode(target.substr(0, std::min(target.find('?'), target.size())), false);
    }
    Response response;
    server_.ErrorPage(request, response, status);
    Send(request, std::move(response), true);
  }

  void Send(const Request& request, Response response, bool close) {
    answer_ = {};
    answer_.version(11);
    answer_.result(static_cast<unsigned>(response.status));
    for (auto& [name, value] : response.headers) answer_.set(name, std::move(value));
    if (!response.content_type.empty()) {
      answer_.set(bhttp::field::content_type, response.content_type);
      if (Compressible(response.content_type)) {
        answer_.set(bhttp::field::vary, "Accept-Encoding");
        if (response.body.size() >= kMinCompressedBytes &&
            AcceptsGzip(request.Header("accept-encoding"))) {
          if (auto packed = Gzip(response.body)) {
            response.body = std::move(*packed);
            answer_.set(bhttp::field::content_encoding, "gzip");
          }
        }
      }
    }
    const bool no_body = response.status == 204 || response.status == 304 || response.status < 200;
    if (!no_body) answer_.content_length(response.body.size());
    if (request.method != "HEAD" && !no_body) answer_.body() = std::move(response.body);
    if (close) answer_.set(bhttp::field::connection, "close");
    close_ = close;
    stream_.expires_after(options_.write_timeout);
    bhttp::async_write(stream_, answer_,
                       [self = shared_from_this()](beast::error_code error, size_t) {
                         if (error && error != bhttp::error::end_of_stream) return self->Close();
                         if (self->close_) return self->Linger();
                         self->WaitForRequest();
                       });
  }

  // Stops sending, then reads what the client still sends (for kLingerTime, up to kLingerBytes),
  // so that closing does not reset the connection before the client has read the answer.
  void Linger() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream_.expires_after(kLingerTime);
    drain_ = std::make_unique<char[]>(kDrainBytes);
    Drain();
  }
  void Drain() {
    stream_.async_read_some(asio::buffer(drain_.get(), kDrainBytes),
                            [self = shared_from_this()](beast::error_code error, size_t bytes) {
                              self->drained_ += bytes;
                              if (error || self->drained_ > kLingerBytes) return self->Close();
                              self->Drain();
                            });
  }

  void Close() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
  }

  Core& server_;
  const HttpOptions& options_;
  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<bhttp::request_parser<bhttp::string_body>> parser_;
  bhttp::response<bhttp::string_body> answer_;
  bool close_ = false;
  static constexpr size_t kDrainBytes = 4096;
  std::unique_ptr<char[]> drain_;  // only while lingering
  size_t drained_ = 0;
};

}  // namespace

void Core::Accept() {
  acceptor->async_accept(asio::make_strand(io),
                         [this](beast::error_code error, tcp::socket socket) {
                           if (error == asio::error::operation_aborted || !acceptor->is_open())
                             return;
                           if (error) {
                             // Out of descriptors, most likely: waiting lets connections end rather
                             // than spinning.
                             accept_pause->expires_after(std::chrono::milliseconds(100));
                             accept_pause->async_wait([this](beast::error_code) { Accept(); });
                             return;
                           }
                           if (connections.load() >= max_connections) {
                             beast::error_code ignored;
                             socket.close(ignored);
                           } else {
                             ++connections;
                             std::make_shared<Connection>(*this, std::move(socket))->Start();
                           }
                           Accept();
                         });
}

HttpServer::HttpServer(HttpOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
}

HttpServer::~HttpServer() { Stop(); }

void HttpServer::Get(const std::string& pattern, Handler handler) {
  impl_->routes.push_back({"GET", std::regex(pattern), std::move(handler)});
}

void HttpServer::SetGate(std::function<bool(const Request&, Response&)> gate) {
  impl_->gate = std::move(gate);
}

void HttpServer::Post(const std::string& pattern, Handler handler) {
  impl_->routes.push_back({"POST", std::regex(pattern), std::move(handler)});
}

void HttpServer::SetErrorPage(Handler page) { impl_->error_page = std::move(page); }

int HttpServer::Bind() {
  Impl& impl = *impl_;
  const HttpOptions& options = impl.options;
  const auto fail = [&](const std::string& reason) {
    Raise(errc::kInvalidArgument, "Could not listen on " + options.bind + " port " +
                                      std::to_string(options.port) + ": " + reason);
  };
  beast::error_code error;
  tcp::resolver resolver(impl.io);
  const auto endpoints =
      resolver.resolve(options.bind, std::to_string(options.port),
                       tcp::resolver::passive | tcp::resolver::numeric_service, error);
  if (error || endpoints.empty()) fail("the address is not available");
  const tcp::endpoint endpoint = endpoints.begin()->endpoint();
  tcp::acceptor& acceptor = impl.acceptor.emplace(impl.io);
  acceptor.open(endpoint.protocol(), error);
  // Only a port left in TIME_WAIT by an earlier run is reused, never one another server holds.
  if (!error) acceptor.set_option(asio::socket_base::reuse_address(true), error);
  if (!error) acceptor.bind(endpoint, error);
  if (!error) acceptor.listen(1024, error);
  if (error) {
    fail(error == asio::error::address_in_use
             ? "the address is already in use (is another zel serve running?)"
             : "the address is not available");
  }
  impl.accept_pause.emplace(impl.io);

  // The address a client reached is allowed connection by connection (it is the bound one unless
  // that is 0.0.0.0 or ::); the loopback names wherever a client may come from this machine.
  const asio::ip::address address = endpoint.address();
  if (address.is_loopback() || address.is_unspecified()) {
    for (const char* name : {"localhost", "127.0.0.1", "[::1]"}) impl.hosts.push_back(name);
  }
  for (const std::string& allowed : options.allowed_hosts) {
    const bool bare_v6 = allowed.find(':') != std::string::npos && !allowed.starts_with('[');
    impl.hosts.push_back(HostName(bare_v6 ? "[" + allowed + "]" : allowed));
  }
  // A descriptor per connection, and a few for the catalogue's files and the listening socket.
  constexpr size_t kSpareDescriptors = 64;
  const size_t descriptors = RaiseDescriptorLimit(options.max_connections + kSpareDescriptors);
  impl.max_connections = std::min(options.max_connections, descriptors > 2 * kSpareDescriptors
                                                               ? descriptors - kSpareDescriptors
                                                               : descriptors / 2);
  return acceptor.local_endpoint().port();
}

void HttpServer::Run() {
  Impl& impl = *impl_;
  if (!impl.acceptor) Raise(errc::kInvalidArgument, "The server is not bound to an address");
  impl.Accept();
  impl.running = true;
  std::vector<std::thread> threads;
  for (int i = 1; i < std::max(1, impl.options.threads); ++i) {
    threads.emplace_back([&impl] { impl.io.run(); });
  }
  impl.io.run();
  for (std::thread& thread : threads) thread.join();
  impl.running = false;
}

void HttpServer::Stop() {
  if (impl_) impl_->io.stop();
}

bool HttpServer::IsRunning() const { return impl_->running; }

}  // namespace zel::web
