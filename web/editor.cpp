#include "web/editor.h"

#include <ctime>
#include <iostream>

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "frame/error.h"
#include "frame/text.h"
#include "store/plain_database.h"
#include "web/data.h"
#include "web/edit_access.h"
#include "web/edit_pages.h"
#include "web/html.h"
#include "web/loans.h"
#include "web/pages.h"
#include "web/sql.h"
#include "web/stats.h"
#include "web/title_edits.h"

namespace zel::web {
namespace {

// Most users and tags offered in a form's list of suggestions.
constexpr int kMaxSuggestions = 1000;

// The pages with forms send the page's origin with their posts, which the check below needs (a
// page under "no-referrer" makes browsers send "Origin: null").
void SetEditHeaders(Response& response) {
  response.Set("Content-Security-Policy",
               "default-src 'none'; style-src 'self'; img-src 'self'; form-action 'self'; "
               "base-uri 'none'; frame-ancestors 'none'");
  response.Set("X-Content-Type-Options", "nosniff");
  response.Set("Referrer-Policy", "same-origin");
  response.Set("Cache-Control", "no-store");
}

void SendPage(Response& response, int status, std::string html) {
  SetEditHeaders(response);
  response.status = status;
  response.content_type = "text/html; charset=utf-8";
  response.body = std::move(html);
}

void Redirect(Response& response, const std::string& location) {
  SetEditHeaders(response);
  response.status = 303;
  response.Set("Location", location);
}

// Whether a post comes from a page of this server: its Origin, or its Referer when it sends no
// Origin, names the host the request was sent to (the Host the server checked). Either scheme
// counts, so that the server works behind a TLS proxy; no other site can hold this host name.
bool FromThisServer(const Request& request) {
  const std::string host = ToLower(request.Header("host"));
  if (host.empty()) return false;
  const std::string origin = ToLower(request.Header("origin"));
  const std::string referer = ToLower(request.Header("referer"));
  for (const char* scheme : {"http://", "https://"}) {
    const std::string own = scheme + host;
    if (!origin.empty() ? origin == own : referer.starts_with(own + "/")) return true;
  }
  return false;
}

// A local address to go back to: a path of this server, never another site ("//host", "\").
bool IsLocalPath(const std::string& path) {
  if (path.empty() || path[0] != '/' || path.starts_with("//") || path.size() > 2000) return false;
  for (const char c : path) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == '\\' || c == '"' || c == 0x7F) return false;
  }
  return true;
}

std::string FormValue(const HeaderList& fields, std::string_view name) {
  for (const auto& [key, value] : fields) {
    if (key == name) return value;
  }
  return {};
}

Json Column(store::PlainDatabase& db, const std::string& sql) {
  Json values = Json::array();
  store::PlainStatement& rows = db.Prepare(sql);
  for (int count = 0; count < kMaxSuggestions && rows.Step(); ++count) {
    values.push_back(rows.Text(0));
  }
  rows.Reset();
  return values;
}

}  // namespace

bool IsLoopback(const std::string& bind) {
  return bind == "localhost" || bind == "::1" || bind == "[::1]" || bind.starts_with("127.");
}

struct Editor::Impl {
  Impl(EditorOptions editor_options, EditorHooks editor_hooks)
      : options(std::move(editor_options)),
        hooks(std::move(editor_hooks)),
        access(options.password, options.session_idle) {
    std::fill(options.password.begin(), options.password.end(), '\0');
    options.password.clear();
  }

  EditorOptions options;
  EditorHooks hooks;
  EditAccess access;

  std::optional<EditAccess::Session> SessionOf(const Request& request) {
    return access.Find(request.Cookie(EditAccess::kCookie));
  }

  // The session of a browser viewing a page with forms; without a password one is made for a
  // browser that has none (the cookie goes with `response`).
  std::optional<EditAccess::Session> ViewingSession(const Request& request, Response& response) {
    auto session = SessionOf(request);
    if (!session && !access.HasPassword()) {
      session = access.Open();
      response.Set("Set-Cookie", EditAccess::CookieHeader(session->id));
    }
    return session;
  }

  // The session a post belongs to when it passes every check; refuses it (403) otherwise.
  std::optional<EditAccess::Session> CheckPost(const Request& request, Response& response,
                                               const HeaderList& fields) {
    const auto session = SessionOf(request);
    const char* why = nullptr;
    if (!FromThisServer(request)) {
      why = "The form was not sent from a page of this server.";
    } else if (!session) {
      why = access.HasPassword() ? "You are not logged in, or your session has expired: log in "
                                   "and send the form again."
                                 : "The page has expired: load it again and send the form again.";
    } else if (!SameText(FormValue(fields, "token"), session->form_token)) {
      why = "The form has expired: load the page again and send the form again.";
    }
    if (!why) return session;
    SendPage(response, 403, MessagePage("Not changed", std::string(why) + " Nothing was changed."));
    return std::nullopt;
  }

  // The title page with its forms; `edit` carries a refused form or a failure to show.
  void SendTitle(const Request& request, Response& response, const std::string& id, Json edit,
                 int status) {
    std::optional<Json> data;
    hooks.read([&](store::PlainDatabase& database) {
      data = TitleData(database, id, hooks.covers);
      if (data && edit.is_object()) {
        edit["Users"] = Column(database, "SELECT UserID FROM Users ORDER BY UserID");
        edit["Tags"] = Column(database,
                              "SELECT DISTINCT FullyQualifiedName FROM Tags WHERE "
                              "FullyQualifiedName <> '' ORDER BY FullyQualifiedName");
      }
    });
    if (!data) {
      SendPage(response, 404, MessagePage("Not found", "There is no such page in the catalogue."));
      return;
    }
    const bool editing = edit.is_object();
    if (editing) {
      edit["Today"] = FormatDate(Today());
      (*data)["Edit"] = std::move(edit);
    }
    std::string html = TitlePage(*data);
    if (!editing && access.HasPassword()) {
      html.insert(html.rfind("</main>"),
                  "<p><a href=\"" + Escape("/login?back=" + EncodeSegment(request.path)) +
                      "\">Log in</a> to lend, tag or change this title.</p>\n");
    }
    SendPage(response, status, std::move(html));
  }

  void ViewTitle(const Request& request, Response& response) {
    const auto session = ViewingSession(request, response);
    Json edit;
    if (session) {
      edit = {{"Token", session->form_token},
              {"Note", access.TakeNote(session->id)},
              {"Logout", access.HasPassword()}};
    }
    SendTitle(request, response, LinkedValue(request.matches[1]), std::move(edit), 200);
  }

  void ChangeTitle(const Request& request, Response& response) {
    const HeaderList fields = request.Form();
    const auto session = CheckPost(request, response, fields);
    if (!session) return;
    const std::string id = LinkedValue(request.matches[1]);
    EditResult result;
    std::string failure;
    {
      hooks.release();
      Control control;
      try {
        auto database = control.OpenDatabase(options.catalogue);
        result = EditTitle(*database, id, fields, NowStamp());
      } catch (const Error& error) {
        failure = error.what();
      }
      control.CloseDatabase();
    }
    const std::string action = FormValue(fields, "action");
    if (failure.empty() && result.ok()) {
      access.SetNote(session->id, result.note);
      const std::string back = FormValue(fields, "back");
      Redirect(response, back == "/loans" ? back : Link("/title/", id));
      return;
    }
    Json values = Json::object();
    for (const auto& [key, value] : fields) {
      if (key != "token") values[key] = value;
    }
    Json errors = Json::object();
    for (const auto& [field, text] : result.errors) errors[field] = text;
    if (!failure.empty()) {
      std::cerr << "zel serve: a change to " << id << " failed: " << failure << '\n';
      errors[""] = "Nothing was changed: " + failure + " The page shows the title as it is now.";
    }
    SendTitle(request, response, id,
              {{"Token", session->form_token},
               {"Action", action},
               {"Errors", std::move(errors)},
               {"Values", std::move(values)}},
              failure.empty() ? 400 : 409);
  }

  static std::time_t NowTime() { return std::time(nullptr); }
  // The local time of day now, as the catalogue stores time stamps.
  static Date NowStamp() {
    const std::time_t now = NowTime();
    std::tm local{};
    localtime_r(&now, &local);
    return Date::FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                           local.tm_min, local.tm_sec);
  }

  void ViewLoans(const Request& request, Response& response) {
    const auto session = ViewingSession(request, response);
    Json data;
    hooks.read([&](store::PlainDatabase& database) { data = LoansData(database, Today()); });
    if (session) {
      data["Edit"] = {{"Token", session->form_token}, {"Note", access.TakeNote(session->id)}};
    }
    SendPage(response, 200, LoansPage(data));
  }

  void ViewLogin(const Request& request, Response& response) {
    const std::string back = request.Query("back");
    SendPage(response, 200, LoginPage(IsLocalPath(back) ? back : "/", {}));
  }

  void LogIn(const Request& request, Response& response) {
    const HeaderList fields = request.Form();
    std::string back = FormValue(fields, "back");
    if (!IsLocalPath(back)) back = "/";
    if (!FromThisServer(request)) {
      SendPage(response, 403,
               MessagePage("Not logged in", "The form was not sent from a page of this server."));
      return;
    }
    int wait = 0;
    switch (access.TryLogin(request.client, FormValue(fields, "password"), wait)) {
      case EditAccess::Login::kAccepted: {
        const auto old = SessionOf(request);
        if (old) access.Close(old->id);
        const auto session = access.Open();
        Redirect(response, back);
        response.Set("Set-Cookie", EditAccess::CookieHeader(session.id));
        return;
      }
      case EditAccess::Login::kWrong:
        SendPage(response, 403, LoginPage(back, "Wrong password."));
        return;
      case EditAccess::Login::kTooSoon:
        SendPage(response, 429,
                 LoginPage(back, "Too many wrong passwords: try again in " + std::to_string(wait) +
                                     " seconds."));
        response.Set("Retry-After", std::to_string(wait));
        return;
    }
  }

  void LogOut(const Request& request, Response& response) {
    const HeaderList fields = request.Form();
    const auto session = CheckPost(request, response, fields);
    if (!session) return;
    access.Close(session->id);
    Redirect(response, "/");
    response.Set("Set-Cookie", EditAccess::CookieHeader(""));
  }

  // A private server shows nothing but its login page and stylesheet without a session.
  bool Gate(const Request& request, Response& response) {
    if (request.path == "/login" || request.path == "/style.css" || SessionOf(request)) return true;
    if (request.path == "/api" || request.path.starts_with("/api/")) {
      SetEditHeaders(response);
      response.status = 401;
      response.content_type = "application/json; charset=utf-8";
      response.body = R"({"Error":"Log in first: this server is private.","Status":401})";
      return false;
    }
    Redirect(response, "/login?back=" + EncodeSegment(request.path));
    return false;
  }
};

Editor::Editor(EditorOptions options, EditorHooks hooks, HttpServer& http)
    : impl_(std::make_unique<Impl>(std::move(options), std::move(hooks))) {
  Impl& impl = *impl_;
  if (impl.options.private_reading) {
    http.SetGate([&impl](const Request& request, Response& response) {
      return impl.Gate(request, response);
    });
  }
  if (impl.access.HasPassword()) {
    http.Get("/login", [&impl](const Request& request, Response& response) {
      impl.ViewLogin(request, response);
    });
    http.Post("/login", [&impl](const Request& request, Response& response) {
      impl.LogIn(request, response);
    });
    http.Post("/logout", [&impl](const Request& request, Response& response) {
      impl.LogOut(request, response);
    });
  }
  if (!impl.options.edit) return;
  http.Get(R"(/title/(.+))", [&impl](const Request& request, Response& response) {
    impl.ViewTitle(request, response);
  });
  http.Post(R"(/title/(.+))", [&impl](const Request& request, Response& response) {
    impl.ChangeTitle(request, response);
  });
  http.Get("/loans", [&impl](const Request& request, Response& response) {
    impl.ViewLoans(request, response);
  });
}

Editor::~Editor() = default;

}  // namespace zel::web
