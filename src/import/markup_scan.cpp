#include "import/markup_scan.h"

#include <array>
#include <vector>

#include "frame/text.h"

namespace zel::markup {

namespace {

// Bytes that end a name in a tag.
constexpr std::array<bool, 256> kNameStop = [] {
  std::array<bool, 256> table{};
  table[' '] = table['\t'] = table['\n'] = table['\r'] = table['>'] = table['/'] = true;
  return table;
}();

bool StartsWith(std::string_view text, size_t at, std::string_view prefix, bool& short_text) {
  const size_t available = text.size() - at;
  if (available < prefix.size()) {
    short_text = text.substr(at) == prefix.substr(0, available);
    return false;
  }
  return text.compare(at, prefix.size(), prefix) == 0;
}

size_t After(std::string_view text, size_t from, std::string_view terminator) {
  const size_t found = text.find(terminator, from);
  return found == std::string_view::npos ? kMore : found + terminator.size();
}

// Past the closing quote of the quoted text starting at text[at].
size_t AfterQuoted(std::string_view text, size_t at) {
  const size_t close = text.find(text[at], at + 1);
  return close == std::string_view::npos ? kMore : close + 1;
}

size_t DeclarationEnd(std::string_view text, size_t at) {
  int brackets = 0;
  size_t i = at + 2;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"' || c == '\'') {
      i = AfterQuoted(text, i);
      if (i == kMore) return kMore;
      continue;
    }
    if (c == '<' && brackets > 0) {
      // Declarations, comments and instructions of an internal subset.
      Kind kind;
      if (!KindAt(text, i, kind)) return kMore;
      if (kind == Kind::kComment || kind == Kind::kInstruction) {
        i = EndOf(text, i, kind);
        if (i == kMore) return kMore;
        continue;
      }
    }
    if (c == '[') ++brackets;
    if (c == ']' && brackets > 0) --brackets;
    if (c == '>' && brackets == 0) return i + 1;
    ++i;
  }
  return kMore;
}

}  // namespace

bool KindAt(std::string_view text, size_t at, Kind& kind) {
  if (at + 1 >= text.size()) return false;
  const char next = text[at + 1];
  if (next == '/') {
    kind = Kind::kEndTag;
  } else if (next == '?') {
    kind = Kind::kInstruction;
  } else if (next == '!') {
    bool short_text = false;
    if (StartsWith(text, at, "<!--", short_text)) {
      kind = Kind::kComment;
    } else if (StartsWith(text, at, "<![CDATA[", short_text)) {
      kind = Kind::kCData;
    } else if (short_text) {
      return false;
    } else {
      kind = Kind::kDeclaration;
    }
  } else {
    kind = Kind::kStartTag;
  }
  return true;
}

size_t EndOf(std::string_view text, size_t at, Kind kind) {
  switch (kind) {
    case Kind::kComment:
      return After(text, at + 4, "-->");
    case Kind::kCData:
      return After(text, at + 9, "]]>");
    case Kind::kInstruction:
      return After(text, at + 2, "?>");
    case Kind::kDeclaration:
      return DeclarationEnd(text, at);
    case Kind::kStartTag:
    case Kind::kEndTag:
      break;
  }
  const char* data = text.data();
  const char* end = data + text.size();
  const char* p = data + at + 1;
  for (;;) {
    p = FindFirstOf<false, '>', '"', '\''>(p, end);
    if (p == end) return kMore;
    if (*p == '>') return static_cast<size_t>(p - data) + 1;
    const void* close = std::memchr(p + 1, *p, static_cast<size_t>(end - p - 1));
    if (!close) return kMore;
    p = static_cast<const char*>(close) + 1;
  }
}

void AppendWindows1252(unsigned char byte, std::string& out) {
  static const std::vector<std::string> table = [] {
    std::vector<std::string> built(128);
    for (int b = 0x80; b <= 0xFF; ++b) {
      built[static_cast<size_t>(b - 0x80)] =
          Windows1252ToUtf8(std::string(1, static_cast<char>(b)));
    }
    return built;
  }();
  out += table[byte - 0x80];
}

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
    return;
  }
  std::u16string units;
  if (cp >= 0x10000) {
    units += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
    units += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
  } else {
    units += static_cast<char16_t>(cp);
  }
  out += Utf16ToUtf8(units);
}

// The character of a reference "&...;" whose inside is `name`; false for other entities.
bool ReferencedCharacter(std::string_view name, char32_t& cp) {
  if (name == "lt")
    cp = '<';
  else if (name == "gt")
    cp = '>';
  else if (name == "amp")
    cp = '&';
  else if (name == "quot")
    cp = '"';
  else if (name == "apos")
    cp = '\'';
  else if (name.size() > 1 && name[0] == '#') {
    const bool hex = name[1] == 'x';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t value = 0;
    for (char c : digits) {
      int digit;
      if (c >= '0' && c <= '9')
        digit = c - '0';
      else if (hex && c >= 'a' && c <= 'f')
        digit = c - 'a' + 10;
      else if (hex && c >= 'A' && c <= 'F')
        digit = c - 'A' + 10;
      else
        return false;
      value = value * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
    }
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    cp = value;
  } else {
    return false;
  }
  return true;
}

std::string_view TagName(std::string_view text, size_t at) {
  size_t start = at + 1;
  if (start < text.size() && text[start] == '/') ++start;
  size_t end = start;
  while (end < text.size() && !kNameStop[static_cast<unsigned char>(text[end])]) ++end;
  return text.substr(start, end - start);
}

}  // namespace zel::markup
