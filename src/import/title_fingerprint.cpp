#include "import/title_fingerprint.h"

#include <cstring>

#include "digest/md5.h"
#include "import/markup_scan.h"

namespace zel {

namespace {

using markup::FindFirstOf;
using markup::Kind;
using markup::kMore;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// Writes the canonical form of an element's markup into a digest, through a buffer of its own.
class Canonical {
 public:
  Canonical() : buffer_(kBuffer, '\0') {}

  std::string Fingerprint(std::string_view text) {
    w_ = buffer_.data();
    held_.clear();
    open_start_ = false;
    text_started_ = false;
    const char* p = text.data();
    const char* const end = p + text.size();
    end_ = end;
    while (p < end) {
      const char* lt = FindFirstOf<false, '<'>(p, end);
      if (lt > p) Text(p, lt);
      if (lt == end) break;
      p = Markup(lt, text);
    }
    EndText(false);
    digest_.Update(std::string_view(buffer_.data(), static_cast<size_t>(w_ - buffer_.data())));
    return digest_.HexDigest();
  }

 private:
  static constexpr size_t kBuffer = 32768;

  // --- output ---

  void Spill() {
    digest_.Update(std::string_view(buffer_.data(), static_cast<size_t>(w_ - buffer_.data())));
    w_ = buffer_.data();
  }
  void Put(const char* p, size_t n) {
    if (static_cast<size_t>(buffer_.data() + kBuffer - w_) < n) {
      Spill();
      if (n > kBuffer) {
        digest_.Update(std::string_view(p, n));
        return;
      }
    }
    std::memcpy(w_, p, n);
    w_ += n;
  }
  void Put(std::string_view text) { Put(text.data(), text.size()); }
  void Put(char c) {
    if (w_ == buffer_.data() + kBuffer) Spill();
    *w_++ = c;
  }
  void PutCharacter(char32_t cp) {
    std::string utf8;
    markup::AppendUtf8(cp, utf8);
    Put(utf8);
  }

  // --- text ---

  // The first character of text that is not blank: what was held back goes out before it.
  void StartText() {
    if (text_started_) return;
    text_started_ = true;
    if (open_start_) Put('>');
    open_start_ = false;
    Put(held_);
    held_.clear();
  }

  // Before a tag: blank text is dropped unless it is the whole content of an element
  // (`closing_that`: the tag is the end tag right after that start tag). True when the start tag
  // before was closed as <X/> and the end tag is not to be written.
  bool EndText(bool closing_that) {
    bool empty_element = false;
    if (!text_started_ && open_start_) {
      if (closing_that && held_.empty()) {
        Put("/>");
        empty_element = true;
      } else {
        Put('>');
        if (closing_that) Put(held_);
      }
    }
    open_start_ = false;
    text_started_ = false;
    held_.clear();
    return empty_element;
  }

  // A character as canonical text writes it; in an attribute value, the quote and the blanks that
  // the value normalization would change are escaped too.
  void Escaped(char32_t cp, bool in_attribute) {
    switch (cp) {
      case '&':
        return Put("&amp;");
      case '<':
        return Put("&lt;");
      case '>':
        return Put("&gt;");
      case '\r':
        return Put("&#13;");
      case '"':
      case '\t':
      case '\n':
        if (in_attribute) {
          return Put(cp == '"' ? "&quot;" : cp == '\t' ? "&#9;" : "&#10;");
        }
        break;
      default:
        break;
    }
    PutCharacter(cp);
  }

  void TextCharacter(char32_t cp) {
    StartText();
    Escaped(cp, false);
  }

  // The reference at `amp`: the character it stands for, escaped; a reference to an entity of the
  // document's own as written; a lone '&' as a character. Returns where the markup goes on.
  const char* Reference(const char* amp, const char* end, bool in_attribute) {
    if (!in_attribute) StartText();
    const char* semicolon =
        static_cast<const char*>(std::memchr(amp + 1, ';', static_cast<size_t>(end - amp - 1)));
    char32_t cp = 0;
    if (semicolon && markup::ReferencedCharacter(
                         std::string_view(amp + 1, static_cast<size_t>(semicolon - amp - 1)), cp)) {
      Escaped(cp, in_attribute);
      return semicolon + 1;
    }
    if (semicolon) {
      Put(amp, static_cast<size_t>(semicolon + 1 - amp));
      return semicolon + 1;
    }
    Escaped('&', in_attribute);
    return amp + 1;
  }

  // Character data as written: references resolved, line ends normalized.
  void Text(const char* p, const char* end) {
    while (p < end) {
      if (!text_started_) {
        for (;;) {
          const char* blanks = p;
          while (blanks < end && IsBlank(*blanks)) ++blanks;
          held_.append(p, static_cast<size_t>(blanks - p));
          p = blanks;
          if (p == end || *p != '\r') break;
          held_ += '\n';
          if (++p < end && *p == '\n') ++p;
        }
        if (p == end) return;
      }
      // (A '<' ends the text at `end` at the latest.)
      const char* run = FindFirstOf<false, '&', '\r', '<', '>'>(p, end_);
      if (run > end) run = end;
      if (run > p) {
        StartText();
        Put(p, static_cast<size_t>(run - p));
        p = run;
        continue;
      }
      const char c = *p++;
      if (c == '\r') {
        StartText();
        Put('\n');
        if (p < end && *p == '\n') ++p;
      } else if (c == '&') {
        p = Reference(p - 1, end, false);
      } else {
        TextCharacter(static_cast<unsigned char>(c));
      }
    }
  }

  // The content of a CDATA section: text with nothing to resolve.
  void CData(const char* p, const char* end) {
    for (; p < end; ++p) {
      const char c = *p;
      if (c == '\r' || (!text_started_ && IsBlank(c))) {
        const char blank = c == '\r' ? '\n' : c;
        if (c == '\r' && p + 1 < end && p[1] == '\n') ++p;
        if (text_started_) {
          Put(blank);
        } else {
          held_ += blank;
        }
      } else if (c == '&' || c == '<' || c == '>') {
        TextCharacter(static_cast<unsigned char>(c));
      } else {
        StartText();
        Put(c);
      }
    }
  }

  // --- markup ---

  // The markup at `lt`; returns where the text goes on.
  const char* Markup(const char* lt, std::string_view text) {
    const char next = lt + 1 < end_ ? lt[1] : '\0';
    if (next == '/') {
      const char* gt = FindFirstOf<false, '>'>(lt + 2, end_);
      if (gt == end_) return Broken(lt);
      EndTag(lt + 2, gt);
      return gt + 1;
    }
    if (next != '!' && next != '?' && next != '\0') {
      const char* p = lt + 1;
      for (;;) {
        p = FindFirstOf<false, '>', '"', '\''>(p, end_);
        if (p == end_) return Broken(lt);
        if (*p == '>') break;
        const char* close = markup::FindQuote(p + 1, end_, *p);
        if (close == end_) return Broken(lt);
        p = close + 1;
      }
      StartTag(lt, p);
      return p + 1;
    }
    const size_t at = static_cast<size_t>(lt - text.data());
    Kind kind;
    const size_t stop = markup::KindAt(text, at, kind) ? markup::EndOf(text, at, kind) : kMore;
    if (stop == kMore) return Broken(lt);
    const char* after = text.data() + stop;
    if (kind == Kind::kCData) {
      CData(lt + 9, after - 3);
    } else if (kind == Kind::kComment || kind == Kind::kInstruction) {
      // Nothing of them is stored: the text on either side runs on as one, as it reads.
    } else {
      // Declarations: as written but for line ends.
      EndText(false);
      for (const char* p = lt; p < after;) {
        const char* cr = FindFirstOf<false, '\r'>(p, after);
        Put(p, static_cast<size_t>(cr - p));
        if (cr == after) break;
        Put('\n');
        p = cr + 1;
        if (p < after && *p == '\n') ++p;
      }
    }
    return after;
  }

  // A '<' that opens nothing complete: taken as text.
  const char* Broken(const char* lt) {
    TextCharacter('<');
    return lt + 1;
  }

  static const char* SkipBlanks(const char* p, const char* end) {
    while (p < end && (IsBlank(*p) || *p == '\r')) ++p;
    return p;
  }

  // Whether the start tag from `lt` to its '>' at `gt` is written canonically already, as tags of
  // exports nearly always are: attributes in double quotes, one space before each, no blank
  // elsewhere, nothing to resolve. (It may say no to a canonical tag, never yes to another.)
  bool WrittenCanonically(const char* lt, const char* gt) const {
    if (FindFirstOf<false, '\t', '\n', '\r', '\'', '&', '<', '>'>(lt + 1, end_) != gt) return false;
    for (const char* p = lt + 1;; ++p) {
      p = FindFirstOf<false, ' ', '=', '>'>(p, end_);
      if (p == gt) return true;
      if (*p == ' ') {
        if (p[1] == ' ' || p[1] == '=' || p[1] == '>' || p[1] == '/') return false;
      } else if (p[-1] == ' ' || p[1] != '"') {
        return false;
      }
    }
  }

  // The start tag from `lt` to its '>' at `gt`.
  void StartTag(const char* lt, const char* gt) {
    EndText(false);
    const bool self_closing = gt > lt + 1 && gt[-1] == '/';
    if (WrittenCanonically(lt, gt)) {
      if (self_closing) {
        Put(lt, static_cast<size_t>(gt + 1 - lt));
        return;
      }
      Put(lt, static_cast<size_t>(gt - lt));
      open_start_ = true;
      const char* name_end = FindFirstOf<false, ' ', '>'>(lt + 1, end_);
      open_name_ = std::string_view(lt + 1, static_cast<size_t>(name_end - lt - 1));
      return;
    }
    const char* end = self_closing ? gt - 1 : gt;
    // (The search may run on: the '>' of the tag stops it.)
    const char* name_end = FindFirstOf<false, ' ', '\t', '\n', '\r', '>', '/'>(lt + 1, end_);
    if (name_end > end) name_end = end;
    Put('<');
    Put(lt + 1, static_cast<size_t>(name_end - lt - 1));
    const char* p = name_end;
    while (p < end) {
      p = SkipBlanks(p, end);
      if (p >= end) break;
      const char* attribute_end = FindFirstOf<false, ' ', '\t', '\n', '\r', '=', '>', '/'>(p, end_);
      if (attribute_end > end) attribute_end = end;
      const char* q = SkipBlanks(attribute_end, end);
      const char* close = nullptr;
      if (attribute_end > p && q < end && *q == '=') {
        q = SkipBlanks(q + 1, end);
        if (q < end && (*q == '"' || *q == '\'')) {
          close =
              static_cast<const char*>(std::memchr(q + 1, *q, static_cast<size_t>(end - q - 1)));
        }
      }
      if (!close) {
        // Not an attribute: broken markup, kept as it stands.
        Put(' ');
        Put(p, static_cast<size_t>(end - p));
        break;
      }
      Put(' ');
      Put(p, static_cast<size_t>(attribute_end - p));
      Put("=\"");
      AttributeValue(q + 1, close);
      Put('"');
      p = close + 1;
    }
    if (self_closing) {
      Put("/>");
    } else {
      open_start_ = true;
      open_name_ = std::string_view(lt + 1, static_cast<size_t>(name_end - lt - 1));
    }
  }

  // The end tag whose name starts at `name` and whose '>' is at `gt`.
  void EndTag(const char* name, const char* gt) {
    const char* name_end = FindFirstOf<false, ' ', '\t', '\n', '\r', '>'>(name, end_);
    const std::string_view tag_name(name, static_cast<size_t>(name_end - name));
    if (EndText(open_start_ && tag_name == open_name_)) return;  // written as <X/>
    if (name_end == gt) {
      Put(name - 2, static_cast<size_t>(gt + 1 - (name - 2)));
      return;
    }
    Put("</");
    Put(tag_name);
    Put('>');
  }

  void AttributeCharacter(char32_t cp) { Escaped(cp, true); }

  // An attribute value as the parser normalizes it: blanks written as such become spaces (a line
  // end one space), referenced characters stay what they are.
  void AttributeValue(const char* p, const char* end) {
    while (p < end) {
      // (The closing quote of the value stops the search at `end` at the latest.)
      const char* run = FindFirstOf<false, '&', '\r', '\n', '\t', '<', '>', '"', '\''>(p, end_);
      if (run > end) run = end;
      Put(p, static_cast<size_t>(run - p));
      if (run == end) return;
      const char c = *run;
      p = run + 1;
      if (c == '\r' || c == '\n' || c == '\t') {
        Put(' ');
        if (c == '\r' && p < end && *p == '\n') ++p;
      } else if (c == '&') {
        p = Reference(run, end, true);
      } else if (c == '\'') {
        Put(c);
      } else {
        AttributeCharacter(static_cast<unsigned char>(c));
      }
    }
  }

  Md5Stream digest_;
  std::string buffer_;
  char* w_ = nullptr;
  const char* end_ = nullptr;  // the end of the markup
  std::string held_;           // blank text since the last tag, not yet known to stay
  bool open_start_ = false;    // the last tag was a start tag whose '>' is not written yet
  bool text_started_ = false;  // text that is not blank came since the last tag
  std::string_view open_name_;
};

}  // namespace

std::string TitleFingerprint(std::string_view markup) {
  thread_local Canonical canonical;
  return canonical.Fingerprint(markup);
}

}  // namespace zel
