// Byte-level reading of UTF-8 XML markup, shared by the collection splitter and the title
// fingerprint: every byte that matters to the markup is ASCII and never part of a longer character.
// Nothing here judges well-formedness; that is the parser's work.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zel::markup {

inline constexpr size_t kMore = std::string_view::npos;  // the text ends before the construct

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Sixteen bytes at a time: the compiler makes vector instructions of these where the machine has
// them, and plain code where it has none.
using Bytes16 = signed char __attribute__((vector_size(16)));

inline Bytes16 Load16(const char* p) {
  Bytes16 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline bool AnySet(Bytes16 mask) {
  uint64_t low, high;
  std::memcpy(&low, &mask, 8);
  std::memcpy(&high, reinterpret_cast<const char*>(&mask) + 8, 8);
  return (low | high) != 0;
}

// The first byte in [p, end) that is one of `Cs`, or (with `kHigh`) from 0x80 on; `end` when there
// is none.
template <bool kHigh, char... Cs>
const char* FindFirstOf(const char* p, const char* end) {
#if defined(__SSE2__)
  for (; end - p >= 16; p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i hit = _mm_setzero_si128();
    ((hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, _mm_set1_epi8(Cs)))), ...);
    int mask = _mm_movemask_epi8(hit);
    if constexpr (kHigh) mask |= _mm_movemask_epi8(v);
    if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
  }
#endif
  for (; p < end; ++p) {
    if (((*p == Cs) || ...) || (kHigh && static_cast<unsigned char>(*p) >= 0x80)) return p;
  }
  return end;
}

// The quote `quote` (" or ') that closes a value, from `p`; `end` when there is none.
inline const char* FindQuote(const char* p, const char* end, char quote) {
  return quote == '"' ? FindFirstOf<false, '"'>(p, end) : FindFirstOf<false, '\''>(p, end);
}

// The line feeds and the UTF-8 continuation bytes (0x80 to 0xBF) in [p, end), added to `lines`
// and `continuations`.
inline void CountBytes(const char* p, const char* end, uint64_t& lines, uint64_t& continuations) {
  const auto total = [](Bytes16 sums) {
    uint64_t low, high, count = 0;
    std::memcpy(&low, &sums, 8);
    std::memcpy(&high, reinterpret_cast<const char*>(&sums) + 8, 8);
    for (uint64_t word : {low, high}) {
      for (int i = 0; i < 8; ++i) count += (word >> (8 * i)) & 0xFF;
    }
    return count;
  };
  while (end - p >= 16) {
    // Up to 255 blocks add into bytes before they are summed.
    Bytes16 feeds = {};
    Bytes16 tails = {};
    const char* stop = p + std::min<ptrdiff_t>((end - p) / 16, 255) * 16;
    for (; p < stop; p += 16) {
      const Bytes16 v = Load16(p);
      feeds -= Bytes16(v == '\n');
      tails -= Bytes16((v & static_cast<signed char>(0xC0)) == static_cast<signed char>(0x80));
    }
    lines += total(feeds);
    continuations += total(tails);
  }
  for (; p < end; ++p) {
    lines += *p == '\n';
    continuations += (static_cast<unsigned char>(*p) & 0xC0) == 0x80;
  }
}

enum class Kind {
  kStartTag,     // <name ...> or <name .../>
  kEndTag,       // </name>
  kComment,      // <!-- ... -->
  kCData,        // <![CDATA[ ... ]]>
  kInstruction,  // <? ... ?>
  kDeclaration,  // <!DOCTYPE ...> and any other <! ... >
};

// What the markup starting with the '<' at text[at] is; false when the text ends too early to
// tell.
bool KindAt(std::string_view text, size_t at, Kind& kind);

// The index just past the markup of `kind` that starts at text[at], or kMore. A tag ends at the
// first '>' outside quoted attribute values; a declaration at the '>' that closes it, past an
// internal subset in brackets with its own quoted texts, comments and instructions.
size_t EndOf(std::string_view text, size_t at, Kind kind);

// The name of the start or end tag at text[at] ("<name" or "</name").
std::string_view TagName(std::string_view text, size_t at);

// Whether the start tag text[at, end) closes itself ("/>").
inline bool SelfClosing(std::string_view text, size_t end) {
  return end >= 2 && text[end - 2] == '/';
}

// The character that the reference "&name;" stands for (a predefined entity or a character
// reference); false for any other entity.
bool ReferencedCharacter(std::string_view name, char32_t& cp);
void AppendUtf8(char32_t cp, std::string& out);
// The UTF-8 of a windows-1252 byte from 0x80 on.
void AppendWindows1252(unsigned char byte, std::string& out);

}  // namespace zel::markup
