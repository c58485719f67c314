// Editing in `zel serve`, and the login that guards it: the routes that change the catalogue, the
// title and loans pages with their forms, and, for a private server, the gate in front of every
// page.
//
// A post is taken only when it comes from this server's own pages: its Origin (or, without one,
// its Referer) must be the address the browser reached the server at, and it must carry the form
// token of a live session. Anything else is refused with 403 and changes nothing. A change answers
// with 303 to the page its form was on, which shows the new state and a note of what changed; a
// refused value answers with that page and its form again, the error beside the field (400); a
// save that fails (the file busy or changed by another program) answers with the message and the
// current state (409).
//
// Changes are made with a catalogue opened for each one, so that no list read earlier (users,
// tags) stands in for what the file holds now; the thread's reading catalogue is let go first,
// since a thread has one active catalogue.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "web/http.h"

namespace zel::store {
class PlainDatabase;
}

namespace zel::web {

class CoverFolder;

struct EditorOptions {
  std::string catalogue;
  bool edit = false;             // routes that change the catalogue
  std::string password;          // empty: no login (loopback only; the server checks)
  bool private_reading = false;  // every page needs a login (with a password only)
  std::chrono::seconds session_idle{30 * 60};
};

// What the editor needs of the server it is part of.
struct EditorHooks {
  // Runs `read` with this thread's reading connection, as the pages read.
  std::function<void(const std::function<void(store::PlainDatabase&)>&)> read;
  // Lets go of this thread's catalogue, before a change opens the file for itself.
  std::function<void()> release;
  CoverFolder* covers = nullptr;
};

class Editor {
 public:
  // Adds the routes (and the gate of a private server) to `http`; call before the read-only pages
  // are added, whose title and loans pages the editor's stand in for. `options.password` is
  // digested and not kept.
  Editor(EditorOptions options, EditorHooks hooks, HttpServer& http);
  ~Editor();
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Whether `bind` is a loopback address, which only this machine can reach.
bool IsLoopback(const std::string& bind);

}  // namespace zel::web
