#include "frame/error.h"

namespace zel {

Error::Error(int32_t number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

std::string PlatformErrorText(int32_t number) {
  switch (number) {
    case errc::kInvalidArgument:
      return "Invalid procedure call or argument";
    case errc::kOverflow:
      return "Overflow";
    case errc::kSubscriptOutOfRange:
      return "Subscript out of range";
    case errc::kTypeMismatch:
      return "Type mismatch";
    case errc::kMissingObject:
      return "Object variable or With block variable not set";
    case errc::kObjectRequired:
      return "Object required";
    case errc::kUnknownMember:
      return "Object doesn't support this property or method";
    case errc::kArgumentNotOptional:
      return "Argument not optional";
    case errc::kWrongArguments:
      return "Wrong number of arguments or invalid property assignment";
    case errc::kDuplicateKey:
      return "This key is already associated with an element of this collection";
    default:
      return "Application-defined or object-defined error";
  }
}

void Raise(int32_t number) { throw Error(number, PlatformErrorText(number)); }

void Raise(int32_t number, std::string description) { throw Error(number, std::move(description)); }

}  // namespace zel
