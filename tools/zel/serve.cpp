#include "serve.h"

#include <atomic>
#include <charconv>
#include <exception>
#include <iostream>
#include <optional>

#include <httplib.h>

#include "frame/control.h"
#include "frame/error.h"
#include "frame/library_state.h"
#include "serve_data.h"
#include "serve_html.h"
#include "serve_pages.h"
#include "store/database.h"

namespace zel::serve {
namespace {

// Longest text filter taken from an address; longer ones are cut, not refused.
constexpr size_t kMaxFilterLength = 200;

// This thread's open catalogue. The library's values are per thread, so each worker thread opens
// the file once and keeps it; every request reads what it shows anew, so nothing cached outlives a
// request but the connection itself.
class Session {
 public:
  ZelDatabase& Database(const std::string& path) {
    if (!database_ || path_ != path) {
      Close();
      control_ = std::make_unique<Control>();
      database_ = control_->OpenDatabase(path);
      path_ = path;
    }
    return *database_;
  }
  // After a failed request: the next one opens the file afresh (it may have been replaced).
  void Close() noexcept {
    try {
      if (control_) control_->CloseDatabase();
    } catch (...) {
    }
    database_.reset();
    control_.reset();
  }
  ~Session() { Close(); }

 private:
  std::unique_ptr<Control> control_;
  std::shared_ptr<ZelDatabase> database_;
  std::string path_;
};

Session& ThisThreadSession() {
  // The library's per-thread values must outlive the session that closes the catalogue in them.
  State();
  thread_local Session session;
  return session;
}

void SetSecurityHeaders(httplib::Response& response) {
  response.set_header("Content-Security-Policy",
                      "default-src 'none'; style-src 'self'; img-src 'self'; form-action 'self'; "
                      "base-uri 'none'; frame-ancestors 'none'");
  response.set_header("X-Content-Type-Options", "nosniff");
  response.set_header("Referrer-Policy", "no-referrer");
  response.set_header("Cache-Control", "no-store");
}

std::string Dump(const Json& json) {
  // Texts that are not valid UTF-8 are answered with replacement characters rather than failing.
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void SendJson(httplib::Response& response, int status, const Json& json) {
  response.status = status;
  response.set_content(Dump(json), "application/json; charset=utf-8");
}

void SendHtml(httplib::Response& response, int status, const std::string& html) {
  response.status = status;
  response.set_content(html, "text/html; charset=utf-8");
}

bool IsApi(const httplib::Request& request) { return request.path.starts_with("/api/"); }

void SendError(const httplib::Request& request, httplib::Response& response, int status,
               const std::string& title, const std::string& message) {
  SetSecurityHeaders(response);
  if (IsApi(request)) {
    SendJson(response, status, Json{{"error", message}, {"status", status}});
  } else {
    SendHtml(response, status, MessagePage(title, message));
  }
}

// A query value from the address, cut to a bounded length.
std::string Param(const httplib::Request& request, const char* name) {
  std::string value = request.get_param_value(name);
  if (value.size() > kMaxFilterLength) value.resize(kMaxFilterLength);
  return value;
}

// A whole number from the address; nullopt when given but not a number in range.
std::optional<int32_t> NumberParam(const httplib::Request& request, const char* name,
                                   int32_t fallback, int32_t low, int32_t high) {
  const std::string text = request.get_param_value(name);
  if (text.empty()) return fallback;
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

struct BadRequest {
  std::string message;
};

}  // namespace

struct Server::Impl {
  ServerOptions options;
  httplib::Server http;
  std::atomic<bool> bound{false};

  // Answers one page: `read` gives the page's JSON (nullopt: not found); `render` its HTML.
  template <class Read, class Render>
  void Answer(const httplib::Request& request, httplib::Response& response, bool api, Read read,
              Render render) {
    Session& session = ThisThreadSession();
    std::optional<Json> data;
    try {
      data = read(session.Database(options.catalogue));
    } catch (const BadRequest& bad) {
      SendError(request, response, 400, "Bad request", bad.message);
      return;
    } catch (...) {
      session.Close();
      throw;
    }
    if (!data) {
      SendError(request, response, 404, "Not found", "There is no such page in the catalogue.");
      return;
    }
    SetSecurityHeaders(response);
    if (api) {
      SendJson(response, 200, *data);
    } else {
      SendHtml(response, 200, render(*data));
    }
  }

  // Registers a page at `path` and its JSON at "/api" + `path`.
  template <class Read, class Render>
  void Route(const std::string& path, Read read, Render render) {
    for (const bool api : {false, true}) {
      http.Get(
          (api ? "/api" : "") + path,
          [this, api, read, render](const httplib::Request& request, httplib::Response& response) {
            Answer(
                request, response, api, [&](ZelDatabase& db) { return read(db, request); }, render);
          });
    }
  }

  static TitleFilter Filter(const httplib::Request& request) {
    TitleFilter filter;
    filter.text = Param(request, "q");
    filter.genre = Param(request, "genre");
    filter.medium = Param(request, "medium");
    const auto year = NumberParam(request, "year", 0, 0, 9999);
    if (!year) throw BadRequest{"The year must be a whole number from 1 to 9999."};
    filter.year = *year;
    const auto page = NumberParam(request, "page", 1, 1, 1000000);
    if (!page) throw BadRequest{"The page must be a whole number from 1 on."};
    filter.page = *page;
    return filter;
  }

  void SetUpRoutes() {
    using Request = httplib::Request;
    auto whole = [](auto function) {
      return [function](ZelDatabase& db, const Request&) -> std::optional<Json> {
        return function(db);
      };
    };
    Route("/", whole(HomeData), HomePage);
    Route(
        "/titles",
        [](ZelDatabase& db, const Request& request) -> std::optional<Json> {
          return TitlesData(db, Filter(request));
        },
        TitlesPage);
    Route(R"(/title/(.+))",
          [](ZelDatabase& db, const Request& request) { return TitleData(db, request.matches[1]); },
          TitlePage);
    Route(
        R"(/person/(.+))",
        [](ZelDatabase& db, const Request& request) { return PersonData(db, request.matches[1]); },
        PersonPage);
    Route("/series", whole(SeriesListData), SeriesListPage);
    Route(
        R"(/series/(.+))",
        [](ZelDatabase& db, const Request& request) { return SeriesData(db, request.matches[1]); },
        SeriesPage);
    Route(
        "/awards",
        [](ZelDatabase& db, const Request& request) -> std::optional<Json> {
          return AwardsData(db, Param(request, "award"));
        },
        AwardsPage);
    Route(
        "/search",
        [](ZelDatabase& db, const Request& request) -> std::optional<Json> {
          return SearchData(db, Param(request, "q"));
        },
        SearchPage);

    http.Get("/style.css", [](const httplib::Request&, httplib::Response& response) {
      SetSecurityHeaders(response);
      response.set_header("Cache-Control", "max-age=3600");
      const std::string_view css = StyleSheet();
      response.set_content(css.data(), css.size(), "text/css; charset=utf-8");
    });

    // Unknown addresses and failures answer with a page of their own; no request ends the server.
    http.set_error_handler([](const httplib::Request& request, httplib::Response& response) {
      if (!response.body.empty()) return;  // answered by a page already
      if (response.status == 404) {
        SendError(request, response, 404, "Not found", "There is no such page in the catalogue.");
      } else if (response.status == 413) {
        SendError(request, response, 413, "Request too large", "The request is too large.");
      } else if (response.status >= 400 && response.status < 500) {
        SendError(request, response, response.status, "Bad request",
                  "The request could not be understood.");
      }
    });
    http.set_exception_handler([](const httplib::Request& request, httplib::Response& response,
                                  std::exception_ptr error) {
      std::string detail = "unknown error";
      try {
        std::rethrow_exception(error);
      } catch (const zel::Error& e) {
        detail = e.description() + " (error " + std::to_string(e.number()) + ")";
      } catch (const std::exception& e) {
        detail = e.what();
      } catch (...) {
      }
      std::cerr << "zel serve: " << request.method << ' ' << request.path << ": " << detail << '\n';
      SendError(request, response, 500, "Server error",
                "The catalogue could not be read: " + detail);
    });
  }
};

Server::Server(ServerOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
  {
    // Fails early, with the library's own error, when the file is not a catalogue.
    Control control;
    control.OpenDatabase(impl_->options.catalogue);
    control.CloseDatabase();
  }
  httplib::Server& http = impl_->http;
  const size_t threads = static_cast<size_t>(std::max(1, impl_->options.threads));
  http.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  http.set_payload_max_length(impl_->options.max_body_bytes);
  http.set_read_timeout(impl_->options.read_timeout_seconds, 0);
  http.set_write_timeout(impl_->options.read_timeout_seconds, 0);
  http.set_keep_alive_timeout(2);
  impl_->SetUpRoutes();
}

Server::~Server() { Stop(); }

int Server::Bind() {
  httplib::Server& http = impl_->http;
  const ServerOptions& options = impl_->options;
  int port = options.port;
  if (port == 0) {
    port = http.bind_to_any_port(options.bind);
    if (port < 0) port = 0;
  } else if (!http.bind_to_port(options.bind, port)) {
    port = 0;
  }
  if (port == 0) {
    Raise(errc::kInvalidArgument, "Could not listen on " + options.bind + " port " +
                                      std::to_string(options.port) +
                                      " (address in use or not available)");
  }
  impl_->bound = true;
  return port;
}

void Server::Run() {
  if (!impl_->bound) Raise(errc::kInvalidArgument, "The server is not bound to an address");
  impl_->http.listen_after_bind();
}

void Server::Stop() {
  if (impl_ && impl_->bound) impl_->http.stop();
}

bool Server::IsRunning() const { return impl_->http.is_running(); }

}  // namespace zel::serve
