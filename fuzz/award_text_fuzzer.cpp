// The award importer's text form: any bytes as a "|"-separated award file.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "import/award_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zel::fuzz::Catalogue& catalogue = zel::fuzz::Shared();
  const std::string path = catalogue.Write("input.txt", data, size);
  zel::store::WriteScope scope(catalogue.database->connection());
  try {
    zel::ImportAwards(*catalogue.database, path);
  } catch (const zel::Error&) {
  }
  return 0;
}
