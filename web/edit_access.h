// Who may change the catalogue through `zel serve --edit`, and how a post proves that it comes
// from a form this server handed out.
//
// A browser holds a session: a random identifier (from the system's random source) in a cookie
// that scripts cannot read and other sites cannot make the browser send (HttpOnly,
// SameSite=Strict). Each session has its own form token, which every form carries and every post
// must return; with the Origin check of the posts this refuses what another page makes a browser
// send. With a password a session is made only by a login; without one (loopback only) every
// browser gets one at its first page with forms. Sessions end after an idle time and after a
// fixed lifetime, whichever comes first; at most kMaxSessions live at once (the oldest goes).
//
// Of the password only a keyed digest is kept (the key random per process), compared in constant
// time. Failed logins are slowed down per client address: after each failure the next attempt is
// refused unchecked until a delay has passed that doubles with every failure (1 s up to 60 s). The
// delay is a refusal, never a wait, so a guessing client holds no server thread.
//
// Thread-safe: every member may be called from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zel::web {

// `bytes` random bytes from the system's source (getrandom) as lower-case hexadecimal. Raises
// zel::Error when the source fails: a guessable session is worse than none.
std::string RandomHex(size_t bytes);

// Whether two texts are equal, taking the same time for every text of a length.
bool SameText(std::string_view a, std::string_view b);

class EditAccess {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr const char* kCookie = "zel_session";
  static constexpr size_t kMaxSessions = 4096;
  static constexpr std::chrono::hours kLifetime{12};
  static constexpr std::chrono::seconds kMaxLoginDelay{60};

  struct Session {
    std::string id;          // the cookie's value
    std::string form_token;  // what every form of the session carries
  };

  // `password` empty: no login (the caller allows that on loopback only). The text is digested
  // and the caller's copy may be wiped at once.
  EditAccess(std::string_view password, std::chrono::seconds idle);
  EditAccess(const EditAccess&) = delete;
  EditAccess& operator=(const EditAccess&) = delete;

  bool HasPassword() const { return !password_digest_.empty(); }

  // The live session named by the request's cookie value `id`; it counts as used now.
  std::optional<Session> Find(std::string_view id);
  // A new session.
  Session Open();
  // Ends the session `id`, if there is one.
  void Close(std::string_view id);
  // A one-line note for the session's next page (what a post changed); Take reads and clears it.
  void SetNote(std::string_view id, std::string note);
  std::string TakeNote(std::string_view id);

  enum class Login { kAccepted, kWrong, kTooSoon };
  // Checks a login attempt from `client`: kTooSoon (nothing checked) while that client's delay
  // runs, `wait` set to the seconds left.
  Login TryLogin(const std::string& client, std::string_view password, int& wait);

  // The Set-Cookie value that gives the browser the session `id`; an empty `id` removes it.
  static std::string CookieHeader(std::string_view id);

 private:
  struct Entry {
    std::string form_token;
    std::string note;
    Clock::time_point opened, used;
  };
  struct Failures {
    int count = 0;
    Clock::time_point next_allowed;
  };
  std::string Digest(std::string_view password) const;
  void DropExpired(Clock::time_point now);

  std::string key_;              // random, for the digest
  std::string password_digest_;  // empty: no password
  std::chrono::seconds idle_;
  std::mutex mutex_;
  std::unordered_map<std::string, Entry> sessions_;
  std::map<std::string, Failures> failures_;  // by client address
};

}  // namespace zel::web
