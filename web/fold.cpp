#include "web/fold.h"

#include <algorithm>

#include "frame/text.h"

namespace zel::web {
namespace {

// Base letters of U+00C0..U+00FF; '*' marks the characters handled apart (two letters or none).
constexpr std::string_view kLatin1 =
    "aaaaaa*ceeeeiiii"   // C0..CF (C6 Æ)
    "dnooooo*ouuuuy**"   // D0..DF (D7 ×, DE Þ, DF ß)
    "aaaaaa*ceeeeiiii"   // E0..EF (E6 æ)
    "dnooooo*ouuuuy*y";  // F0..FF (F7 ÷, FE þ)

// Base letters of U+0100..U+017F (Latin Extended-A); '*' as above.
constexpr std::string_view kExtendedA =
    "aaaaaaccccccccdd"   // 0100..010F
    "ddeeeeeeeeeegggg"   // 0110..011F
    "gggghhhhiiiiiiii"   // 0120..012F
    "ii**jjkkklllllll"   // 0130..013F (0132 Ĳ, 0133 ĳ)
    "lllnnnnnnnnnoooo"   // 0140..014F
    "oo**rrrrrrssssss"   // 0150..015F (0152 Œ, 0153 œ)
    "ssttttttuuuuuuuu"   // 0160..016F
    "uuuuwwyyyzzzzzzs";  // 0170..017F

}  // namespace

std::string Fold(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      out += static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 32 : byte);
      ++i;
      continue;
    }
    const size_t start = i;
    const char32_t cp = NextCodePoint(text, i);
    // Characters without a folded form are kept as they were written.
    const std::string_view as_written = text.substr(start, i - start);
    if (cp >= 0xC0 && cp <= 0xFF) {
      const char base = kLatin1[cp - 0xC0];
      if (base != '*') {
        out += base;
      } else if (cp == 0xC6 || cp == 0xE6) {
        out += "ae";
      } else if (cp == 0xDE || cp == 0xFE) {
        out += "th";
      } else if (cp == 0xDF) {
        out += "ss";
      } else {
        out += as_written;  // × and ÷
      }
    } else if (cp >= 0x100 && cp <= 0x17F) {
      const char base = kExtendedA[cp - 0x100];
      if (base != '*') {
        out += base;
      } else {
        out += (cp == 0x132 || cp == 0x133) ? "ij" : "oe";
      }
    } else if (cp >= 0x300 && cp <= 0x36F) {
      // A combining mark of a decomposed letter: the letter before it stands alone.
    } else if (cp == 0x2018 || cp == 0x2019 || cp == 0x201A || cp == 0x2032 || cp == 0x02BC) {
      out += '\'';
    } else if (cp == 0x201C || cp == 0x201D || cp == 0x201E) {
      out += '"';
    } else if (cp >= 0x2010 && cp <= 0x2015) {
      out += '-';
    } else if (cp == 0xA0) {
      out += ' ';
    } else {
      out += as_written;
    }
  }
  return out;
}

std::vector<std::string> FoldedWords(std::string_view text, size_t max_words) {
  std::vector<std::string> words;
  for (std::string& word : Split(Fold(text), " ")) {
    if (word.empty()) continue;
    if (words.size() == max_words) break;
    if (std::find(words.begin(), words.end(), word) == words.end()) {
      words.push_back(std::move(word));
    }
  }
  return words;
}

bool ContainsAll(std::string_view folded, const std::vector<std::string>& words) {
  if (words.empty()) return false;
  for (const std::string& word : words) {
    if (folded.find(word) == std::string_view::npos) return false;
  }
  return true;
}

WordMatch MatchOf(std::string_view text) {
  WordMatch match;
  match.words = FoldedWords(text);
  for (const std::string& word : match.words) {
    size_t characters = 0;
    for (char c : word) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (characters < 3) continue;
    match.fts += (match.fts.empty() ? "\"" : " AND \"") + ReplaceAll(word, "\"", "\"\"") + "\"";
  }
  return match;
}

std::string AllWordsIn(std::string_view column, const std::vector<std::string>& placeholders) {
  std::string condition = "(";
  for (size_t i = 0; i < placeholders.size(); ++i) {
    condition +=
        (i ? " AND instr(" : "instr(") + std::string(column) + ", " + placeholders[i] + ") > 0";
  }
  return condition + ")";
}

}  // namespace zel::web
