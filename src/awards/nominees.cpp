#include "awards/nominees.h"

#include <array>
#include <limits>

#include "frame/collection.h"
#include "frame/error.h"
#include "frame/text.h"

namespace zel {
namespace {

// windows-1252 byte of one UTF-16 unit, 63 ("?") when the code page lacks the character.
unsigned char Windows1252Code(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<unsigned char>(unit);
  // The bytes 0x80..0x9F are the only ones whose character differs from the code point; their table
  // is taken from the decoder, so that both directions agree.
  static const std::array<char16_t, 32> kHighBytes = [] {
    std::array<char16_t, 32> table{};
    for (size_t i = 0; i < table.size(); ++i) {
      const char byte = static_cast<char>(0x80 + i);
      table[i] = Utf8ToUtf16(Windows1252ToUtf8(std::string_view(&byte, 1))).front();
    }
    return table;
  }();
  for (size_t i = 0; i < kHighBytes.size(); ++i) {
    if (kHighBytes[i] == unit) return static_cast<unsigned char>(0x80 + i);
  }
  return '?';
}

bool IsWordCharacter(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u >= 0x80;
}

// Replaces ", Jr" by " Jr" (and the like) where it is a suffix, that is not the start of a longer
// word: "Ann Lee, Sriram Das" names two people, not "Ann Lee Sriram Das".
std::string KeepSuffixWithName(std::string_view text, std::string_view comma_suffix) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  for (size_t hit; (hit = text.find(comma_suffix, pos)) != std::string_view::npos;) {
    const size_t after = hit + comma_suffix.size();
    out.append(text.substr(pos, hit - pos));
    if (after < text.size() && IsWordCharacter(text[after])) {
      out.append(comma_suffix);
    } else {
      out.append(comma_suffix.substr(1));  // drops the comma, keeps the blank
    }
    pos = after;
  }
  out.append(text.substr(pos));
  return out;
}

}  // namespace

std::vector<std::string> SplitNominees(std::string_view nominees) {
  if (nominees.empty()) return {};
  // The suffix belongs to the name before the comma; without this it would become a name of its
  // own.
  std::string text = KeepSuffixWithName(nominees, ", Jr");
  text = KeepSuffixWithName(text, ", jr");
  text = KeepSuffixWithName(text, ", Sr");
  text = KeepSuffixWithName(text, ", sr");
  text = ReplaceAll(text, ", ", "|");
  text = ReplaceAll(text, "; ", "|");
  text = ReplaceAll(text, " & ", "|");
  text = ReplaceAll(text, " and ", "|");
  return Split(text, "|");
}

std::shared_ptr<Collection> SplitNomineesToCollection(std::string_view nominees) {
  auto names = std::make_shared<Collection>();
  for (std::string& name : SplitNominees(nominees)) names->AddText(std::move(name));
  return names;
}

int32_t AwardTextChecksum(std::string_view text) {
  const std::u16string units = Utf8ToUtf16(text);
  int64_t sum = 0;
  for (size_t i = 0; i < units.size(); ++i) {
    const int64_t product = static_cast<int64_t>(i + 1) * Windows1252Code(units[i]);
    if (product > std::numeric_limits<int16_t>::max()) Raise(errc::kOverflow);
    sum += product;
    if (sum > std::numeric_limits<int32_t>::max()) Raise(errc::kOverflow);
  }
  const int64_t length = static_cast<int64_t>(units.size());
  sum += length * length;
  if (sum > std::numeric_limits<int32_t>::max()) Raise(errc::kOverflow);
  return static_cast<int32_t>(sum);
}

int32_t AwardId(std::string_view year_text, std::string_view award, std::string_view movie_title,
                std::string_view category, std::string_view won_mark, std::string_view nominee) {
  const int64_t id =
      int64_t{89} * AwardTextChecksum(year_text) + int64_t{123} * AwardTextChecksum(award) +
      int64_t{678} * AwardTextChecksum(movie_title) + int64_t{456} * AwardTextChecksum(category) +
      AwardTextChecksum(ToUpper(won_mark)) + int64_t{123} * AwardTextChecksum(nominee);
  if (id > std::numeric_limits<int32_t>::max()) Raise(errc::kOverflow);
  return static_cast<int32_t>(id);
}

}  // namespace zel
