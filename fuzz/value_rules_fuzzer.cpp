// The rules for names, prices and time stamps: the first byte picks the rule, the rest is its text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "awards/nominees.h"
#include "frame/error.h"
#include "frame/variant.h"
#include "import/value_conversions.h"
#include "people/name_parsing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    switch (data[0] % 6) {
      case 0:
        zel::SplitPersonName(text);
        break;
      case 1:
        zel::SplitNominees(text);
        break;
      case 2: {
        const size_t bar = text.find('|');
        zel::ReadPrice(text.substr(0, bar),
                       bar == std::string_view::npos ? std::string_view() : text.substr(bar + 1));
        zel::SplitPrice(text);
        break;
      }
      case 3: {
        zel::FixTimestamp(text);
        zel::Date date;
        zel::ParseDate(text, date);
        break;
      }
      case 4:
        zel::LocalityOfId(text);
        break;
      case 5: {
        double number = 0;
        zel::ParseNumber(text, number);
        zel::AwardTextChecksum(text);
        break;
      }
    }
  } catch (const zel::Error&) {
  }
  return 0;
}
