#include "web/edit_access.h"

#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "digest/md5.h"
#include "frame/error.h"

namespace zel::web {

std::string RandomHex(size_t bytes) {
  std::vector<unsigned char> raw(bytes);
  size_t filled = 0;
  while (filled < bytes) {
    const ssize_t got = getrandom(raw.data() + filled, bytes - filled, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw Error(errc::kInvalidArgument, "The system's random source failed.");
    }
    filled += static_cast<size_t>(got);
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes * 2);
  for (const unsigned char byte : raw) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char difference = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  }
  return difference == 0;
}

EditAccess::EditAccess(std::string_view password, std::chrono::seconds idle)
    : key_(RandomHex(32)), idle_(idle) {
  if (!password.empty()) password_digest_ = Digest(password);
}

// HMAC over MD5 with a key drawn per process: what is kept says nothing about the password
// outside this process, and comparing digests takes the same time whatever was typed.
std::string EditAccess::Digest(std::string_view password) const {
  constexpr size_t kBlock = 64;
  std::string inner(kBlock, '\x36'), outer(kBlock, '\x5c');
  for (size_t i = 0; i < key_.size() && i < kBlock; ++i) {
    inner[i] = static_cast<char>(inner[i] ^ key_[i]);
    outer[i] = static_cast<char>(outer[i] ^ key_[i]);
  }
  Md5Stream first;
  first.Update(inner);
  first.Update(password);
  Md5Stream second;
  second.Update(outer);
  second.Update(first.HexDigest());
  return second.HexDigest();
}

void EditAccess::DropExpired(Clock::time_point now) {
  std::erase_if(sessions_, [&](const auto& item) {
    return now - item.second.used > idle_ || now - item.second.opened > kLifetime;
  });
  std::erase_if(failures_, [&](const auto& item) {
    return now - item.second.next_allowed > kMaxLoginDelay * 10;
  });
}

std::optional<EditAccess::Session> EditAccess::Find(std::string_view id) {
  if (id.empty()) return std::nullopt;
  const std::lock_guard lock(mutex_);
  const auto found = sessions_.find(std::string(id));
  if (found == sessions_.end()) return std::nullopt;
  const auto now = Clock::now();
  if (now - found->second.used > idle_ || now - found->second.opened > kLifetime) {
    sessions_.erase(found);
    return std::nullopt;
  }
  found->second.used = now;
  return Session{found->first, found->second.form_token};
}

EditAccess::Session EditAccess::Open() {
  Session session{RandomHex(32), RandomHex(32)};
  const auto now = Clock::now();
  const std::lock_guard lock(mutex_);
  DropExpired(now);
  if (sessions_.size() >= kMaxSessions) {
    const auto oldest = std::min_element(sessions_.begin(), sessions_.end(), [](auto& a, auto& b) {
      return a.second.used < b.second.used;
    });
    sessions_.erase(oldest);
  }
  sessions_[session.id] = Entry{session.form_token, {}, now, now};
  return session;
}

void EditAccess::Close(std::string_view id) {
  const std::lock_guard lock(mutex_);
  sessions_.erase(std::string(id));
}

void EditAccess::SetNote(std::string_view id, std::string note) {
  const std::lock_guard lock(mutex_);
  if (const auto found = sessions_.find(std::string(id)); found != sessions_.end()) {
    found->second.note = std::move(note);
  }
}

std::string EditAccess::TakeNote(std::string_view id) {
  const std::lock_guard lock(mutex_);
  const auto found = sessions_.find(std::string(id));
  return found == sessions_.end() ? std::string() : std::exchange(found->second.note, {});
}

EditAccess::Login EditAccess::TryLogin(const std::string& client, std::string_view password,
                                       int& wait) {
  const auto now = Clock::now();
  {
    const std::lock_guard lock(mutex_);
    const auto found = failures_.find(client);
    if (found != failures_.end() && now < found->second.next_allowed) {
      const auto left = found->second.next_allowed - now;
      wait = static_cast<int>(std::chrono::ceil<std::chrono::seconds>(left).count());
      return Login::kTooSoon;
    }
  }
  const bool right = HasPassword() && SameText(Digest(password), password_digest_);
  const std::lock_guard lock(mutex_);
  if (right) {
    failures_.erase(client);
    return Login::kAccepted;
  }
  DropExpired(now);
  Failures& failures = failures_[client];
  failures.count = std::min(failures.count + 1, 30);
  const auto delay = std::min<std::chrono::seconds>(
      std::chrono::seconds(1LL << std::min(failures.count - 1, 6)), kMaxLoginDelay);
  failures.next_allowed = now + delay;
  return Login::kWrong;
}

std::string EditAccess::CookieHeader(std::string_view id) {
  return std::string(kCookie) + "=" + std::string(id) + "; HttpOnly; SameSite=Strict; Path=/" +
         (id.empty() ? "; Max-Age=0" : "");
}

}  // namespace zel::web
