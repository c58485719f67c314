#include "frame/text.h"

namespace zel {
namespace {

// Changes the case of ASCII letters and of the two-byte Latin-1 letters in place. Both cases of a
// Latin-1 letter take two bytes in UTF-8, so the length never changes.
void ChangeCaseInPlace(std::string& text, bool upper) {
  const size_t size = text.size();
  for (size_t i = 0; i < size; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (upper ? (c >= 'a' && c <= 'z') : (c >= 'A' && c <= 'Z')) {
        text[i] = static_cast<char>(upper ? c - 32 : c + 32);
      }
    } else if (c == 0xC3 && i + 1 < size) {
      const unsigned char next = static_cast<unsigned char>(text[++i]);
      // U+00C0..U+00DE (except U+00D7) pair with U+00E0..U+00FE (except U+00F7).
      if (!upper && next >= 0x80 && next <= 0x9E && next != 0x97)
        text[i] = static_cast<char>(next + 0x20);
      if (upper && next >= 0xA0 && next <= 0xBE && next != 0xB7)
        text[i] = static_cast<char>(next - 0x20);
    }
  }
}

// The lower-case form of the byte at text[i], given the byte before it (for Latin-1 letters).
unsigned char FoldedByte(std::string_view text, size_t i) {
  const unsigned char c = static_cast<unsigned char>(text[i]);
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (i > 0 && static_cast<unsigned char>(text[i - 1]) == 0xC3 && c >= 0x80 && c <= 0x9E &&
      c != 0x97) {
    return static_cast<unsigned char>(c + 0x20);
  }
  return c;
}

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string ToLower(std::string_view text) {
  std::string out(text);
  ChangeCaseInPlace(out, false);
  return out;
}

std::string ToUpper(std::string_view text) {
  std::string out(text);
  ChangeCaseInPlace(out, true);
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && FoldedByte(a, i) != FoldedByte(b, i)) return false;
  }
  return true;
}

std::string FoldKey(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

bool EqualsFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  for (size_t hit; (hit = text.find(from, pos)) != std::string_view::npos;
       pos = hit + from.size()) {
    out.append(text.substr(pos, hit - pos));
    out.append(to);
  }
  out.append(text.substr(pos));
  return out;
}

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  size_t pos = 0;
  for (size_t hit; (hit = text.find(separator, pos)) != std::string_view::npos;
       pos = hit + separator.size()) {
    pieces.emplace_back(text.substr(pos, hit - pos));
  }
  pieces.emplace_back(text.substr(pos));
  return pieces;
}

std::string Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

bool IsAsciiDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

char32_t NextCodePoint(std::string_view text, size_t& i) {
  const unsigned char c = static_cast<unsigned char>(text[i]);
  size_t length = 1;
  if (c < 0x80) {
    ++i;
    return c;
  }
  if ((c >> 5) == 0x6) {
    length = 2;
  } else if ((c >> 4) == 0xE) {
    length = 3;
  } else if ((c >> 3) == 0x1E) {
    length = 4;
  } else {
    ++i;
    return 0xFFFD;
  }
  if (i + length > text.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t value = c & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    const unsigned char cc = static_cast<unsigned char>(text[i + k]);
    if ((cc >> 6) != 0x2) {
      ++i;
      return 0xFFFD;
    }
    value = (value << 6) | (cc & 0x3F);
  }
  i += length;
  return value;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t cp = NextCodePoint(text, i);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(cp, out);
  }
  return out;
}

std::string Windows1252ToUtf8(std::string_view text) {
  // Code points of 0x80..0x9F in windows-1252; 0 marks the five unassigned bytes.
  static const char16_t kHigh[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    char32_t cp = c;
    if (c >= 0x80 && c <= 0x9F) cp = kHigh[c - 0x80] ? kHigh[c - 0x80] : c;
    AppendUtf8(cp, out);
  }
  return out;
}

}  // namespace zel
