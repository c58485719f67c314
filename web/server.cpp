#include "web/server.h"

#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <ctime>
#include <exception>
#include <fstream>
#include <iostream>
#include <optional>

#include <httplib.h>

#include "frame/error.h"
#include "frame/text.h"
#include "web/cache.h"
#include "web/covers.h"
#include "web/data.h"
#include "web/html.h"
#include "web/index.h"
#include "web/pages.h"
#include "web/search.h"
#include "web/stats.h"
#include "web/titles.h"

namespace zel::web {
namespace {

// Longest text taken from an address; longer ones are cut, not refused.
constexpr size_t kMaxFilterLength = 200;
// Larger image files are not served.
constexpr uintmax_t kMaxImageBytes = 32 * 1024 * 1024;

// This thread's connection to the catalogue and its index. Connections are used by one thread at
// a time, so each worker thread opens its own and keeps it.
class Session {
 public:
  store::PlainDatabase& Reader(const CatalogueIndex& index) {
    if (!reader_) reader_ = index.OpenReader();
    return *reader_;
  }
  // After a failed request: the next one opens the files afresh.
  void Close() noexcept { reader_.reset(); }

 private:
  std::unique_ptr<store::PlainDatabase> reader_;
};

Session& ThisThreadSession() {
  thread_local Session session;
  return session;
}

// `cache`: the Cache-Control value; pages are never kept, since every load reads the catalogue.
void SetSecurityHeaders(httplib::Response& response, const char* cache = "no-store") {
  response.set_header("Content-Security-Policy",
                      "default-src 'none'; style-src 'self'; img-src 'self'; form-action 'self'; "
                      "base-uri 'none'; frame-ancestors 'none'");
  response.set_header("X-Content-Type-Options", "nosniff");
  response.set_header("Referrer-Policy", "no-referrer");
  response.set_header("Cache-Control", cache);
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
    SendJson(response, status, Json{{"Error", message}, {"Status", status}});
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

// A whole number from the address, `fallback` when absent; QueryError when not a number in range.
int32_t NumberParam(const httplib::Request& request, const char* name, int32_t fallback,
                    int32_t low, int32_t high) {
  const std::string text = request.get_param_value(name);
  if (text.empty()) return fallback;
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    throw QueryError("The value of " + std::string(name) + " must be a whole number from " +
                     std::to_string(low) + " to " + std::to_string(high) + ".");
  }
  return value;
}

// One of the named choices, letter case ignored; `fallback` when absent. Any other value is
// refused with the list of the values there are.
int ChoiceParam(const httplib::Request& request, const char* name,
                const std::vector<NamedValue>& choices, int fallback) {
  const std::string text = request.get_param_value(name);
  return text.empty() ? fallback : ChoiceOf(name, text, choices);
}

const std::vector<NamedValue> kOrders = {{"asc", 0}, {"desc", 1}};
const std::vector<NamedValue> kLoans = {{"yes", 1}, {"no", 0}};
const std::vector<NamedValue> kViews = {{"list", 0}, {"grid", 1}};
const std::vector<NamedValue> kPersonSorts = {{"year", 0}, {"title", 1}};
const std::vector<NamedValue> kPeopleSorts = {{"credits", 0}, {"name", 1}};
const std::vector<NamedValue> kSizes = {{"full", 0}, {"thumb", 1}};

std::optional<CollectionType> CollectionParam(const httplib::Request& request) {
  const int value = ChoiceParam(request, "collection", kCollectionChoices,
                                static_cast<int>(CollectionType::kOwned));
  return value < 0 ? std::nullopt : std::optional(static_cast<CollectionType>(value));
}

std::optional<bool> OrderParam(const httplib::Request& request) {
  const int value = ChoiceParam(request, "order", kOrders, -1);
  return value < 0 ? std::nullopt : std::optional<bool>(value == 1);
}

TitleQuery TitleQueryOf(const httplib::Request& request) {
  TitleQuery query;
  query.text = Param(request, "q");
  query.genre = Param(request, "genre");
  query.medium = Param(request, "medium");
  query.tag = Param(request, "tag");
  query.location = Param(request, "location");
  query.studio = Param(request, "studio");
  query.person = Param(request, "person");
  query.year = NumberParam(request, "year", 0, 0, 9999);
  const int loan = ChoiceParam(request, "loan", kLoans, -1);
  if (loan >= 0) query.on_loan = loan == 1;
  query.collection = CollectionParam(request);
  query.sort = static_cast<TitleSort>(
      ChoiceParam(request, "sort", kTitleSorts, static_cast<int>(TitleSort::kTitle)));
  query.descending = OrderParam(request);
  query.grid = ChoiceParam(request, "view", kViews, 0) == 1;
  const std::string letter = request.get_param_value("letter");
  if (!letter.empty()) {
    const char c = letter.size() == 1 ? static_cast<char>(std::toupper(letter[0])) : 0;
    if (!((c >= 'A' && c <= 'Z') || c == '#')) {
      throw QueryError("Unknown letter '" + letter.substr(0, 20) + "': it is one of A to Z or #.");
    }
    query.letter = c;
  }
  query.page = NumberParam(request, "page", 1, 1, 1000000);
  return query;
}

}  // namespace

struct Server::Impl {
  ServerOptions options;
  httplib::Server http;
  std::atomic<bool> bound{false};
  std::unique_ptr<CoverFolder> covers;
  std::unique_ptr<CatalogueIndex> index;
  Kept<Json> stats;

  // What one request reads with: its thread's connection, inside one read transaction, once the
  // index has caught up with the catalogue; and the values kept for the catalogue's generation.
  class Context {
   public:
    Context(Impl& server, store::PlainDatabase& db)
        : server_(server), generation_(server.index->Refresh()), db_(db), scope_(db) {}
    store::PlainDatabase& db() { return db_; }
    CoverFolder* covers() { return server_.covers.get(); }
    std::shared_ptr<const Json> Stats(const StatsQuery& query, Date today) {
      const std::string key =
          FormatDate(today) + "/" +
          (query.collection ? std::string(CollectionTypeName(*query.collection)) : "all");
      return server_.stats.Get(key, generation_, [&] { return StatsData(db_, query, today); });
    }

   private:
    Impl& server_;
    uint64_t generation_;
    store::PlainDatabase& db_;
    ReadScope scope_;
  };

  // Answers one page: `read` gives the page's JSON (nullopt: not found); `render` its HTML.
  template <class Read, class Render>
  void Answer(const httplib::Request& request, httplib::Response& response, bool api, Read read,
              Render render) {
    Session& session = ThisThreadSession();
    std::optional<Json> data;
    try {
      Context context(*this, session.Reader(*index));
      data = read(context);
    } catch (const QueryError& bad) {
      SendError(request, response, 400, "Bad request", bad.what());
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
                request, response, api, [&](Context& context) { return read(context, request); },
                render);
          });
    }
  }

  void SendCover(const httplib::Request& request, httplib::Response& response) {
    const std::string profile_id = request.matches[1];
    const CoverSide side = request.matches[2] == "back" ? CoverSide::kBack : CoverSide::kFront;
    bool thumbnail = false;
    try {
      thumbnail = ChoiceParam(request, "size", kSizes, 0) == 1;
    } catch (const QueryError& bad) {
      SendError(request, response, 400, "Bad request", bad.what());
      return;
    }
    const auto image = covers ? covers->Find(profile_id, side, thumbnail) : std::nullopt;
    std::string bytes;
    if (image && image->size <= kMaxImageBytes) {
      std::ifstream in(image->path, std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      if (!in && !in.eof()) bytes.clear();
    }
    if (!image || bytes.size() != image->size) {
      SendError(request, response, 404, "Not found", "There is no such cover.");
      return;
    }
    SetSecurityHeaders(response, "public, max-age=3600");
    response.set_header("ETag", image->etag);
    if (request.get_header_value("If-None-Match") == image->etag) {
      response.status = 304;
      return;
    }
    response.status = 200;
    response.set_content(std::move(bytes), image->content_type.c_str());
  }

  void SetUpRoutes() {
    using Request = httplib::Request;
    Route(
        "/",
        [](Context& context, const Request&) -> std::optional<Json> {
          return HomeData(context.db(), context.covers());
        },
        HomePage);
    Route(
        "/titles",
        [](Context& context, const Request& request) -> std::optional<Json> {
          return TitlesData(context.db(), TitleQueryOf(request), context.covers());
        },
        TitlesPage);
    Route(R"(/title/(.+))",
          [](Context& context, const Request& request) {
            return TitleData(context.db(), request.matches[1], context.covers());
          },
          TitlePage);
    Route(R"(/person/(.+))",
          [](Context& context, const Request& request) {
            PersonQuery query;
            query.name = request.matches[1];
            query.by_title = ChoiceParam(request, "sort", kPersonSorts, 0) == 1;
            query.descending = OrderParam(request).value_or(false);
            query.page = NumberParam(request, "page", 1, 1, 1000000);
            query.episode_page = NumberParam(request, "epage", 1, 1, 1000000);
            return PersonData(context.db(), query);
          },
          PersonPage);
    Route(
        "/people",
        [](Context& context, const Request& request) -> std::optional<Json> {
          PeopleQuery query;
          query.by_credits = ChoiceParam(request, "sort", kPeopleSorts, 0) == 0;
          query.page = NumberParam(request, "page", 1, 1, 1000000);
          return PeopleData(context.db(), query);
        },
        PeoplePage);
    Route(
        "/series",
        [](Context& context, const Request&) -> std::optional<Json> {
          return SeriesListData(context.db());
        },
        SeriesListPage);
    Route(R"(/series/(.+))",
          [](Context& context, const Request& request) {
            return SeriesData(context.db(), request.matches[1]);
          },
          SeriesPage);
    Route(
        "/awards",
        [](Context& context, const Request& request) -> std::optional<Json> {
          return AwardsData(context.db(), Param(request, "award"));
        },
        AwardsPage);
    Route(
        "/search",
        [](Context& context, const Request& request) -> std::optional<Json> {
          SearchQuery query;
          query.text = Param(request, "q");
          const int kind = ChoiceParam(request, "kind", kSearchKinds, -1);
          if (kind >= 0) query.kind = static_cast<SearchKind>(kind);
          query.page = NumberParam(request, "page", 1, 1, 1000000);
          return SearchData(context.db(), query, context.covers());
        },
        SearchPage);
    Route(
        "/stats",
        [](Context& context, const Request& request) -> std::optional<Json> {
          StatsQuery query;
          query.collection = CollectionParam(request);
          return *context.Stats(query, Today());
        },
        StatsPage);

    http.Get(R"(/cover/(.+)/(front|back))",
             [this](const httplib::Request& request, httplib::Response& response) {
               SendCover(request, response);
             });
    http.Get("/style.css", [](const httplib::Request&, httplib::Response& response) {
      SetSecurityHeaders(response, "max-age=3600");
      const std::string_view css = StyleSheet();
      response.set_content(css.data(), css.size(), "text/css; charset=utf-8");
    });

    // Unknown addresses and failures answer with a page of their own; no request ends the server.
    http.set_error_handler([](const httplib::Request& request, httplib::Response& response) {
      if (!response.body.empty() || response.status == 304) return;  // answered already
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
  if (!impl_->options.images.empty()) {
    impl_->covers = std::make_unique<CoverFolder>(impl_->options.images);
  }
  // Fails early, with the engine's error, when the file is not a catalogue; builds the index when
  // there is none yet.
  impl_->index =
      std::make_unique<CatalogueIndex>(impl_->options.catalogue, impl_->options.progress);
  httplib::Server& http = impl_->http;
  const size_t threads = static_cast<size_t>(std::max(1, impl_->options.threads));
  http.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  http.set_payload_max_length(impl_->options.max_body_bytes);
  http.set_read_timeout(impl_->options.read_timeout_seconds, 0);
  http.set_write_timeout(impl_->options.read_timeout_seconds, 0);
  http.set_keep_alive_timeout(2);
  // The library's default lets a second server share the port (SO_REUSEPORT), and requests then
  // alternate between two catalogues. Only a port left in TIME_WAIT by an earlier run is reused.
  http.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  impl_->SetUpRoutes();
}

Server::~Server() { Stop(); }

int Server::Bind() {
  httplib::Server& http = impl_->http;
  const ServerOptions& options = impl_->options;
  int port = options.port;
  errno = 0;
  if (port == 0) {
    port = http.bind_to_any_port(options.bind);
    if (port < 0) port = 0;
  } else if (!http.bind_to_port(options.bind, port)) {
    port = 0;
  }
  if (port == 0) {
    const std::string reason = errno == EADDRINUSE
                                   ? "the address is already in use (is another zel serve running?)"
                                   : "the address is not available";
    Raise(errc::kInvalidArgument, "Could not listen on " + options.bind + " port " +
                                      std::to_string(options.port) + ": " + reason);
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

}  // namespace zel::web
