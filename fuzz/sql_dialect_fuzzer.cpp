// The engine adapter's dialect layer: any text as one statement, translated against the tables of
// a real catalogue, and as a LIKE pattern.
#include <cstddef>
#include <cstdint>
#include <string>

#include "frame/error.h"
#include "fuzz_support.h"
#include "store/sql_translator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zel::fuzz::Catalogue& catalogue = zel::fuzz::Shared();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  zel::store::Connection& connection = catalogue.database->connection();
  try {
    zel::store::Translate(text, [&](std::string_view name) { return connection.FindTable(name); });
  } catch (const zel::Error&) {
  }
  std::string pattern;
  zel::store::LikePattern(text, pattern);
  zel::store::GlobPattern(text);
  return 0;
}
