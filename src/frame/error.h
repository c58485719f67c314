// Errors of the library: one exception type carrying a number and a description.
//
// The library's own errors keep the numbers and texts its callers know (1, 2, 6, 7, 10, 30). Errors
// of the kind a scripting platform raises (overflow, type mismatch, ...) use the numbers below,
// defined here once. Errors of the database engine carry the engine's numbers
// (store/engine_errors.h).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zel {

class Error : public std::runtime_error {
 public:
  Error(int32_t number, std::string description);

  int32_t number() const { return number_; }
  const std::string& description() const { return description_; }

 private:
  int32_t number_;
  std::string description_;
};

// Platform-style error numbers.
namespace errc {
inline constexpr int32_t kInvalidArgument = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kObjectRequired = 424;
inline constexpr int32_t kUnknownMember = 438;
inline constexpr int32_t kArgumentNotOptional = 449;
inline constexpr int32_t kWrongArguments = 450;
inline constexpr int32_t kMissingObject = 91;
inline constexpr int32_t kDuplicateKey = 457;

// The library's own errors.
inline constexpr int32_t kDatabaseMissing = 1;
inline constexpr int32_t kNoActiveDatabase = 2;
inline constexpr int32_t kCloseActiveFirst = 6;
inline constexpr int32_t kCompactSourceMissing = 7;
inline constexpr int32_t kDatabaseExists = 10;
inline constexpr int32_t kUpdateAwardNotImplemented = 30;
}  // namespace errc

// Throws the platform-style error of that number with its standard description.
[[noreturn]] void Raise(int32_t number);
// Throws an error with the given number and description.
[[noreturn]] void Raise(int32_t number, std::string description);

// The standard description of a platform-style error number ("Overflow", "Type mismatch", ...).
std::string PlatformErrorText(int32_t number);

}  // namespace zel
