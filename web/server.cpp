#include "web/server.h"

#include <malloc.h>

#include <charconv>
#include <ctime>
#include <exception>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <utility>

#include "frame/error.h"
#include "frame/text.h"
#include "web/cache.h"
#include "web/covers.h"
#include "web/data.h"
#include "web/editor.h"
#include "web/html.h"
#include "web/http.h"
#include "web/index.h"
#include "web/loans.h"
#include "web/pages.h"
#include "web/search.h"
#include "web/stats.h"
#include "web/titles.h"

namespace zel::web {
namespace {

// Longest text taken from an address; longer ones are cut, not refused.
constexpr size_t kMaxFilterLength = 200;
// Larger image files are not served: an image is read whole into memory to be sent.
constexpr uintmax_t kMaxImageBytes = 8 * 1024 * 1024;

// This thread's connection to the catalogue and its index. Connections are used by one thread at
// a time, so each worker thread opens its own and keeps it.
class Session {
 public:
  store::PlainDatabase& Reader(const CatalogueIndex& index) {
    if (!reader_) reader_ = index.OpenReader();
    return *reader_;
  }
  // After a failed request: the next one opens the files afresh (they may have been replaced).
  void Close() noexcept { reader_.reset(); }

 private:
  std::unique_ptr<store::PlainDatabase> reader_;
};

Session& ThisThreadSession() {
  thread_local Session session;
  return session;
}

// `cache`: the Cache-Control value; pages are never kept, since every load reads the catalogue.
void SetSecurityHeaders(Response& response, const char* cache = "no-store") {
  response.Set("Content-Security-Policy",
               "default-src 'none'; style-src 'self'; img-src 'self'; form-action 'self'; "
               "base-uri 'none'; frame-ancestors 'none'");
  response.Set("X-Content-Type-Options", "nosniff");
  response.Set("Referrer-Policy", "no-referrer");
  response.Set("Cache-Control", cache);
}

std::string Dump(const Json& json) {
  // Texts that are not valid UTF-8 are answered with replacement characters rather than failing.
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void SendJson(Response& response, int status, const Json& json) {
  response.status = status;
  response.content_type = "application/json; charset=utf-8";
  response.body = Dump(json);
}

void SendHtml(Response& response, int status, std::string html) {
  response.status = status;
  response.content_type = "text/html; charset=utf-8";
  response.body = std::move(html);
}

bool IsApi(const Request& request) {
  return request.path == "/api" || request.path.starts_with("/api/");
}

void SendError(const Request& request, Response& response, int status, const std::string& title,
               const std::string& message) {
  SetSecurityHeaders(response);
  if (IsApi(request)) {
    SendJson(response, status, Json{{"Error", message}, {"Status", status}});
  } else {
    SendHtml(response, status,
             status == 404 ? NotFoundPage(request.path) : MessagePage(title, message));
  }
}

// A query value from the address, cut to a bounded length.
std::string Param(const Request& request, const char* name) {
  std::string value = request.Query(name);
  if (value.size() > kMaxFilterLength) value.resize(kMaxFilterLength);
  return value;
}

// A whole number from the address, `fallback` when absent; QueryError when not a number in range.
int32_t NumberParam(const Request& request, const char* name, int32_t fallback, int32_t low,
                    int32_t high) {
  const std::string text = request.Query(name);
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
int ChoiceParam(const Request& request, const char* name, const std::vector<NamedValue>& choices,
                int fallback) {
  const std::string text = request.Query(name);
  return text.empty() ? fallback : ChoiceOf(name, text, choices);
}

const std::vector<NamedValue> kOrders = {{"asc", 0}, {"desc", 1}};
const std::vector<NamedValue> kLoans = {{"yes", 1}, {"no", 0}};
const std::vector<NamedValue> kViews = {{"list", 0}, {"grid", 1}};
// Box sets once with their parts inside, or every part as a title of its own.
const std::vector<NamedValue> kPartsChoices = {{"inside", 0}, {"titles", 1}};
const std::vector<NamedValue> kPersonSorts = {{"year", 0}, {"title", 1}};
const std::vector<NamedValue> kPeopleSorts = {{"credits", 0}, {"name", 1}};
const std::vector<NamedValue> kSizes = {{"full", 0}, {"thumb", 1}};

std::optional<CollectionType> CollectionParam(const Request& request) {
  const int value = ChoiceParam(request, "collection", kCollectionChoices,
                                static_cast<int>(CollectionType::kOwned));
  return value < 0 ? std::nullopt : std::optional(static_cast<CollectionType>(value));
}

std::optional<bool> OrderParam(const Request& request) {
  const int value = ChoiceParam(request, "order", kOrders, -1);
  return value < 0 ? std::nullopt : std::optional<bool>(value == 1);
}

TitleQuery TitleQueryOf(const Request& request) {
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
  query.parts_as_titles = ChoiceParam(request, "parts", kPartsChoices, 0) == 1;
  const std::string letter = request.Query("letter");
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
  Impl(ServerOptions server_options, HttpServer& server)
      : options(std::move(server_options)), http(server) {}

  ServerOptions options;
  std::unique_ptr<CoverFolder> covers;
  std::unique_ptr<CatalogueIndex> index;
  Kept<Json> stats;
  HttpServer& http;  // the server itself, which routes requests here
  std::unique_ptr<Editor> editor;

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
  void Answer(const Request& request, Response& response, bool api, Read read, Render render) {
    Session& session = ThisThreadSession();
    std::optional<Json> data;
    try {
      Context context(*this, session.Reader(*index));
      data = read(context);
    } catch (const QueryError& bad) {
      SendError(request, response, 400, "Bad request", bad.what());
      return;
    } catch (...) {
      // The server answers 500 and says why on standard error.
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

  // Registers a page at `path` and its JSON at "/api" + `path`. The groups of `path` are item
  // names in addresses built by Link, which they are turned back into.
  template <class Read, class Render>
  void Route(const std::string& path, Read read, Render render) {
    for (const bool api : {false, true}) {
      http.Get((api ? "/api" : "") + path,
               [this, api, read, render](const Request& sent, Response& response) {
                 Request request = sent;
                 for (size_t i = 1; i < request.matches.size(); ++i) {
                   request.matches[i] = LinkedValue(request.matches[i]);
                 }
                 Answer(
                     request, response, api,
                     [&](Context& context) { return read(context, request); }, render);
               });
    }
  }

  void SendCover(const Request& request, Response& response) {
    const std::string profile_id = LinkedValue(request.matches[1]);
    const CoverSide side = request.matches[2] == "back" ? CoverSide::kBack : CoverSide::kFront;
    bool thumbnail = false;
    try {
      thumbnail = ChoiceParam(request, "size", kSizes, 0) == 1;
    } catch (const QueryError& bad) {
      SendError(request, response, 400, "Bad request", bad.what());
      return;
    }
    const auto image = covers ? covers->Find(profile_id, side, thumbnail) : std::nullopt;
    if (!image || image->size > kMaxImageBytes) {
      if (image) std::cerr << "zel serve: " << image->path << " is too large to be served\n";
      SendError(request, response, 404, "Not found", "There is no such cover.");
      return;
    }
    SetSecurityHeaders(response, "public, max-age=3600");
    response.Set("ETag", image->etag);
    response.Set("Accept-Ranges", "bytes");
    if (MatchesEtag(request.Header("If-None-Match"), image->etag)) {
      response.status = 304;
      return;
    }
    const ByteRange range = request.method == "GET"
                                ? ChooseRange(request.Header("Range"), request.Header("If-Range"),
                                              image->etag, image->size)
                                : ByteRange{0, image->size, false};
    if (range.unsatisfiable) {
      SendError(request, response, 416, "Range not satisfiable", "The cover has no such part.");
      response.Set("Content-Range", "bytes */" + std::to_string(image->size));
      return;
    }
    std::ifstream in(image->path, std::ios::binary);
    std::string bytes(range.length, '\0');
    in.seekg(static_cast<std::streamoff>(range.first));
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
      SendError(request, response, 404, "Not found", "There is no such cover.");
      return;
    }
    response.status = 200;
    if (range.length != image->size) {
      response.status = 206;
      response.Set("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                        std::to_string(range.first + range.length - 1) + "/" +
                                        std::to_string(image->size));
    }
    response.content_type = image->content_type;
    response.body = std::move(bytes);
  }

  // The answers the HTTP layer makes by itself, in the form of the pages: JSON under /api.
  static void ErrorPage(const Request& request, Response& response) {
    static const std::map<int, std::pair<const char*, const char*>> kMessages = {
        {400, {"Bad request", "The request could not be understood."}},
        {404, {"Not found", "There is no such page in the catalogue."}},
        {405, {"Method not allowed", "This address does not take that kind of request."}},
        {413, {"Request too large", "The request is too large."}},
        {414, {"Address too long", "The address is too long."}},
        {415, {"Unsupported request", "Request bodies are taken only as they are, not encoded."}},
        {421,
         {"Unknown host name",
          "This server does not answer for the host name in the address. Start zel serve "
          "with --allowed-host NAME to allow another name."}},
        {431, {"Request too large", "The request's header is too large."}},
        {500,
         {"Server error",
          "The page could not be shown because of an error in the server. The server's log "
          "says what happened."}},
        {501, {"Not implemented", "The request's transfer coding is not supported."}},
    };
    const auto found = kMessages.find(response.status);
    const auto [title, message] =
        found != kMessages.end() ? found->second
                                 : std::pair{"Bad request", "The request could not be understood."};
    const HeaderList kept = response.headers;  // the Allow of a 405
    SendError(request, response, response.status, title, message);
    for (const auto& [name, value] : kept) response.Set(name, value);
  }

  // Editing and login (web/editor.h): added first, its title and loans pages stand in for these.
  void SetUpEditor() {
    EditorOptions editing;
    editing.catalogue = options.catalogue;
    editing.edit = options.edit;
    editing.password = std::exchange(options.password, {});
    editing.private_reading = options.private_reading;
    editing.session_idle = options.session_idle;
    EditorHooks hooks;
    hooks.read = [this](const std::function<void(store::PlainDatabase&)>& read) {
      Session& session = ThisThreadSession();
      try {
        Context context(*this, session.Reader(*index));
        read(context.db());
      } catch (...) {
        session.Close();
        throw;
      }
    };
    hooks.release = [] { ThisThreadSession().Close(); };
    hooks.covers = covers.get();
    editor = std::make_unique<Editor>(std::move(editing), std::move(hooks), http);
  }

  void SendCalendar(Response& response) {
    Session& session = ThisThreadSession();
    Json loans;
    try {
      Context context(*this, session.Reader(*index));
      loans = LoansData(context.db(), Today());
    } catch (...) {
      session.Close();
      throw;
    }
    SetSecurityHeaders(response);
    response.content_type = "text/calendar; charset=utf-8";
    response.body = LoansCalendar(loans, std::time(nullptr));
  }

  void SetUpRoutes() {
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
            query.born = NumberParam(request, "born", 0, 0, 9999);
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

    Route(
        "/loans",
        [](Context& context, const Request&) -> std::optional<Json> {
          return LoansData(context.db(), Today());
        },
        LoansPage);
    http.Get("/loans.ics", [this](const Request&, Response& response) { SendCalendar(response); });
    http.Get(R"(/cover/(.+)/(front|back))",
             [this](const Request& request, Response& response) { SendCover(request, response); });
    http.Get("/style.css", [](const Request&, Response& response) {
      SetSecurityHeaders(response, "max-age=3600");
      response.content_type = "text/css; charset=utf-8";
      response.body = StyleSheet();
    });
    http.SetErrorPage(ErrorPage);
  }
};

Server::Server(ServerOptions options)
    : HttpServer(options), impl_(std::make_unique<Impl>(std::move(options), *this)) {
  // Each thread answering requests would otherwise keep a heap of its own, holding on to what its
  // largest page needed; two shared heaps keep the server's memory near what it uses.
  mallopt(M_ARENA_MAX, 2);
  if (!impl_->options.images.empty()) {
    impl_->covers = std::make_unique<CoverFolder>(impl_->options.images);
  }
  const ServerOptions& set = impl_->options;
  if (set.password.empty() && set.private_reading) {
    throw Error(errc::kInvalidArgument,
                "A private server needs a password (--password-file FILE or "
                "the environment variable ZEL_SERVE_PASSWORD).");
  }
  if (set.password.empty() && set.edit && !IsLoopback(set.bind)) {
    throw Error(errc::kInvalidArgument,
                "Editing on an address other machines can reach needs a password "
                "(--password-file FILE or the environment variable ZEL_SERVE_PASSWORD).");
  }
  // Fails early, with the engine's error, when the file is not a catalogue; builds the index when
  // there is none yet.
  impl_->index =
      std::make_unique<CatalogueIndex>(impl_->options.catalogue, impl_->options.progress);
  if (set.edit || !set.password.empty()) impl_->SetUpEditor();
  impl_->SetUpRoutes();
}

// No request may run once the values it reads are gone.
Server::~Server() { Stop(); }

}  // namespace zel::web
