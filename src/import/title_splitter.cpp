#include "import/title_splitter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "frame/error.h"
#include "import/decoded_source.h"
#include "import/markup_scan.h"

namespace zel {

namespace {

using markup::Kind;
using markup::kMore;

constexpr int kFileNotFound = 53;

}  // namespace

bool PlainText(std::string_view bytes, std::string& text, bool strict) {
  text.clear();
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '<') return false;
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
      // A control character, which no XML text may hold: its title will fail.
      if (strict) return false;
      text += "\xEF\xBF\xBD";
      continue;
    }
    if (c == '&') {
      const size_t end = bytes.find(';', i);
      char32_t cp = 0;
      if (end == std::string_view::npos ||
          !markup::ReferencedCharacter(bytes.substr(i + 1, end - i - 1), cp)) {
        return false;
      }
      markup::AppendUtf8(cp, text);
      i = end;
    } else if (c == '\r') {
      text += '\n';
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      text += c;
    }
  }
  return true;
}

// --- the splitter -------------------------------------------------------------------------------

struct CollectionSplitter::Impl {
  std::string path;
  int fd = -1;
  std::unique_ptr<DecodedSource> source;
  uint64_t total = 0;

  // The bytes read and not yet let go: buffer[0] is byte `base` of the stream.
  ByteBuffer buffer;
  uint64_t base = 0;
  bool at_end = false;
  uint64_t keep = 0;  // the first byte that must stay in the buffer
  uint64_t pos = 0;   // where scanning goes on

  uint64_t line = 1;  // the line of byte `line_at`
  uint64_t line_at = 0;
  uint64_t continuations = 0;  // UTF-8 continuation bytes before `line_at`

  std::string root;
  std::string doctype;
  bool finished = false;
  std::string error;
  uint64_t titles = 0;
  struct OpenElement;
  std::vector<OpenElement> stack;  // open elements of the title being cut

  ~Impl() {
    source.reset();
    if (fd >= 0) ::close(fd);
  }

  std::string_view View() const { return std::string_view(buffer.data(), buffer.size()); }
  size_t Index(uint64_t offset) const { return static_cast<size_t>(offset - base); }
  uint64_t Offset(size_t index) const { return base + index; }

  uint64_t LineOf(uint64_t offset) {
    if (offset > line_at) {
      const char* from = buffer.data() + Index(line_at);
      const char* to = buffer.data() + Index(offset);
      markup::CountBytes(from, to, line, continuations);
      line_at = offset;
    }
    return line;
  }

  // Bytes of the file up to `offset` of the UTF-8 stream.
  uint64_t FileOffset(uint64_t offset) {
    LineOf(offset);
    return source->FileOffset(offset, continuations);
  }

  // Reads more of the file, letting go of the bytes before `keep`; false at the end of the file.
  bool More() {
    if (at_end) return false;
    LineOf(keep);
    const size_t drop = Index(keep);
    if (drop > 0) {
      buffer.Drop(drop);
      base += drop;
    }
    const size_t before = buffer.size();
    while (buffer.size() == before) {
      if (!source->Read(buffer)) {
        at_end = true;
        return false;
      }
    }
    return true;
  }

  // The kind of markup at `at` (a '<'); false when the file ends first.
  bool KindAt(uint64_t at, Kind& kind) {
    while (!markup::KindAt(View(), Index(at), kind)) {
      if (!More()) return false;
    }
    return true;
  }

  // Past the markup of `kind` at `at`; kMore when the file ends first.
  uint64_t EndOf(uint64_t at, Kind kind) {
    for (;;) {
      const size_t end = markup::EndOf(View(), Index(at), kind);
      if (end != kMore) return Offset(end);
      if (!More()) return kMore;
    }
  }

  // The next '<' from `from`; kMore when the file ends first. Outside a title (`between` true)
  // the bytes passed over are let go as the scan goes. With `text`, the scan stops at the first
  // byte that is not blank and gives its offset there (kMore when there is none).
  uint64_t NextMarkup(uint64_t from, bool between, uint64_t* text = nullptr) {
    if (text) *text = kMore;
    for (;;) {
      const std::string_view view = View();
      const size_t index = Index(from);
      const char* found = nullptr;
      if (index < view.size()) {
        found =
            static_cast<const char*>(std::memchr(view.data() + index, '<', view.size() - index));
      }
      const size_t stop = found ? static_cast<size_t>(found - view.data()) : view.size();
      if (text) {
        for (size_t i = index; i < stop; ++i) {
          if (!markup::IsBlank(view[i])) {
            *text = Offset(i);
            return Offset(i);
          }
        }
      }
      if (found) return Offset(stop);
      from = Offset(view.size());
      if (between) keep = from;
      if (!More()) return kMore;
    }
  }

  [[noreturn]] void Fail(uint64_t at, const std::string& what) {
    Raise(errc::kInvalidArgument, path + " line " + std::to_string(LineOf(at)) + ": " + what);
  }

  void Stop(uint64_t at, const std::string& what) {
    error = path + " line " + std::to_string(LineOf(at)) + ": " + what;
    finished = true;
  }

  void Open() {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
      Raise(kFileNotFound, "File not found: " + path);
    }
    total = static_cast<uint64_t>(info.st_size);
    unsigned char head[4] = {0, 0, 0, 0};
    const ssize_t got = ::pread(fd, head, sizeof head, 0);
    const auto starts = [&](std::initializer_list<unsigned char> bytes) {
      if (got < static_cast<ssize_t>(bytes.size())) return false;
      return std::equal(bytes.begin(), bytes.end(), head);
    };
    // Encodings that are not ASCII-compatible show in their first bytes.
    const char* wide = nullptr;
    size_t skip = 0;
    if (starts({0xFF, 0xFE, 0x00, 0x00})) {
      wide = "UTF-32LE";
      skip = 4;
    } else if (starts({0x00, 0x00, 0xFE, 0xFF})) {
      wide = "UTF-32BE";
      skip = 4;
    } else if (starts({0xFF, 0xFE})) {
      wide = "UTF-16LE";
      skip = 2;
    } else if (starts({0xFE, 0xFF})) {
      wide = "UTF-16BE";
      skip = 2;
    } else if (starts({0x3C, 0x00, 0x3F, 0x00})) {
      wide = "UTF-16LE";
    } else if (starts({0x00, 0x3C, 0x00, 0x3F})) {
      wide = "UTF-16BE";
    } else if (starts({0xEF, 0xBB, 0xBF})) {
      skip = 3;
    }
    if (wide) {
      Convert(wide, skip, std::string_view(wide).find("32") != std::string_view::npos ? 4 : 2);
      return;
    }
    ::lseek(fd, static_cast<off_t>(skip), SEEK_SET);
    source = Utf8FileSource(fd, skip, path);
    if (skip == 3) return;  // the byte order mark of UTF-8 decides
    // The declaration, in ASCII, names any other encoding.
    while (View().size() < 5 && More()) {
    }
    if (View().substr(0, 5) != "<?xml") return;
    const uint64_t end = EndOf(0, Kind::kInstruction);
    if (end == kMore) return;
    const std::string name = DeclaredEncoding(View().substr(0, Index(end)));
    const Encoding encoding = name.empty() ? Encoding::kUtf8 : EncodingNamed(name);
    if (encoding == Encoding::kUtf8) return;
    Restart();
    if (encoding == Encoding::kOther) {
      Convert(name.c_str(), 0, 1);
      return;
    }
    source = SingleByteFileSource(fd, encoding == Encoding::kWindows1252, path);
  }

  // Reads the file again from its start.
  void Restart() {
    ::lseek(fd, 0, SEEK_SET);
    buffer.Clear();
    base = 0;
    at_end = false;
  }

  void Convert(const char* from, size_t skip, size_t unit) {
    std::unique_ptr<DecodedSource> converting = ConvertingFileSource(fd, from, unit, path);
    Restart();
    ::lseek(fd, static_cast<off_t>(skip), SEEK_SET);
    source = std::move(converting);
  }

  // Reads past the declaration, comments, instructions and the DOCTYPE to the document element.
  void ReadProlog() {
    for (;;) {
      keep = pos;
      uint64_t text = kMore;
      const uint64_t at = NextMarkup(pos, true, &text);
      if (text != kMore) Fail(text, "Start tag expected, '<' not found");
      if (at == kMore) {
        Raise(errc::kInvalidArgument, path + ": The file has no document element");
      }
      keep = at;
      Kind kind;
      if (!KindAt(at, kind)) Fail(at, "The file ends in its first markup");
      if (kind == Kind::kStartTag) {
        const uint64_t end = EndOf(at, kind);
        if (end == kMore) Fail(at, "The start tag of the document element is not closed");
        root = std::string(markup::TagName(View(), Index(at)));
        if (root.empty()) Fail(at, "Start tag expected, '<' not found");
        finished = markup::SelfClosing(View(), Index(end));
        pos = keep = end;
        return;
      }
      if (kind == Kind::kEndTag || kind == Kind::kCData) Fail(at, "Start tag expected");
      const uint64_t end = EndOf(at, kind);
      if (end == kMore) Fail(at, "The file ends inside its declarations");
      if (kind == Kind::kDeclaration) {
        const std::string_view declaration = View().substr(Index(at), Index(end) - Index(at));
        if (!declaration.starts_with("<!DOCTYPE") || !doctype.empty()) {
          Fail(at, "A declaration other than one DOCTYPE before the document element");
        }
        doctype = std::string(declaration) + "\n";
      }
      pos = end;
    }
  }

  // Past the end of the document element: only blanks, comments and instructions may follow.
  void ReadEpilog() {
    finished = true;
    for (;;) {
      keep = pos;
      uint64_t text = kMore;
      const uint64_t at = NextMarkup(pos, true, &text);
      if (text != kMore) {
        Stop(text, "Extra content at the end of the document");
        return;
      }
      if (at == kMore) return;
      keep = at;
      Kind kind;
      uint64_t end = kMore;
      if (KindAt(at, kind) && (kind == Kind::kComment || kind == Kind::kInstruction)) {
        end = EndOf(at, kind);
      }
      if (end == kMore) {
        Stop(at, "Extra content at the end of the document");
        return;
      }
      pos = end;
    }
  }

  bool Next(TitleBytes& title) {
    while (!finished) {
      keep = pos;
      const uint64_t at = NextMarkup(pos, true);
      if (at == kMore) {
        Stop(Offset(View().size()),
             "The file ends before the end tag of its document element " + root);
        return false;
      }
      keep = at;
      Kind kind;
      if (!KindAt(at, kind)) {
        Stop(at, "The file ends before the end tag of its document element " + root);
        return false;
      }
      if (kind == Kind::kStartTag) return CutTitle(at, title);
      const uint64_t end = EndOf(at, kind);
      if (end == kMore) {
        Stop(at, "The file ends inside markup between titles");
        return false;
      }
      pos = end;
      if (kind == Kind::kEndTag) {
        // Only the end of the document element can close anything here.
        if (markup::TagName(View(), Index(at)) != root) {
          Stop(at, "Opening and ending tag mismatch: " + root + " and " +
                       std::string(markup::TagName(View(), Index(at))));
          return false;
        }
        ReadEpilog();
        return false;
      }
      if (kind == Kind::kDeclaration) {
        Stop(at, "A declaration inside the document element");
        return false;
      }
    }
    return false;
  }

  // The name of an open element: where it stands in the stream, which keeps it while the title is
  // being cut.
  struct OpenElement {
    uint64_t at;
    size_t length;
  };
  std::string_view NameOf(const OpenElement& element) const {
    return View().substr(Index(element.at), element.length);
  }

  // Cuts the element whose start tag is at `start`.
  bool CutTitle(uint64_t start, TitleBytes& title) {
    const uint64_t position = titles + 1;
    const uint64_t start_line = LineOf(start);
    const auto cut_off = [&](uint64_t at) {
      Stop(at, "title " + std::to_string(position) + ", which starts on line " +
                   std::to_string(start_line) + ", is cut off: the file ends inside it");
      return false;
    };
    // Where the first ID and Title children hold their text: [begin, end).
    struct Capture {
      std::string_view name;
      uint64_t begin = 0, end = 0;
      bool seen = false, closed = false;
    } captures[2] = {{"ID"}, {"Title"}};
    std::vector<OpenElement>& open = stack;
    open.clear();
    uint64_t from = start;
    uint64_t end = 0;
    for (;;) {
      const std::string_view view = View();
      const char* data = view.data();
      const char* const limit = data + view.size();
      const char* lt = markup::FindFirstOf<false, '<'>(data + Index(from), limit);
      // What follows a '<' is read whole before it counts; at the end of the buffer, read more.
      if (limit - lt < 2) {
        from = Offset(static_cast<size_t>(lt - data));
        if (!More()) return cut_off(Offset(View().size()));
        continue;
      }
      const uint64_t at = Offset(static_cast<size_t>(lt - data));
      const char* gt = nullptr;
      if (lt[1] == '/') {
        gt = markup::FindFirstOf<false, '>'>(lt + 2, limit);
      } else if (lt[1] != '!' && lt[1] != '?') {
        // A start tag ends at the first '>' outside quoted values.
        const char* p = lt + 1;
        for (;;) {
          p = markup::FindFirstOf<false, '>', '"', '\''>(p, limit);
          if (p == limit || *p == '>') break;
          const char* close = markup::FindQuote(p + 1, limit, *p);
          p = close == limit ? limit : close + 1;
        }
        gt = p;
      } else {
        // Comments, CDATA sections, instructions, declarations: passed over whole.
        Kind kind;
        const size_t markup_end =
            markup::KindAt(view, Index(at), kind) ? markup::EndOf(view, Index(at), kind) : kMore;
        if (markup_end == kMore) {
          from = at;
          if (!More()) return cut_off(at);
          continue;
        }
        from = Offset(markup_end);
        continue;
      }
      if (gt == limit) {
        from = at;
        if (!More()) return cut_off(at);
        continue;
      }
      const uint64_t after = Offset(static_cast<size_t>(gt + 1 - data));
      from = after;
      const bool end_tag = lt[1] == '/';
      const char* name_begin = lt + (end_tag ? 2 : 1);
      const char* name_end =
          markup::FindFirstOf<false, ' ', '\t', '\n', '\r', '>', '/'>(name_begin, gt + 1);
      const std::string_view name(name_begin, static_cast<size_t>(name_end - name_begin));
      if (!end_tag) {
        const bool self_closing = gt[-1] == '/';
        if (open.empty()) {
          open.push_back({at + (name_begin - lt), name.size()});
          if (self_closing) {
            end = after;
            break;
          }
          continue;
        }
        // A title never holds an element of its own name as a child: one that stands there
        // begins the next title, and this one lost its end tag.
        if (open.size() == 1 && name == NameOf(open[0])) {
          end = at;
          break;
        }
        if (open.size() == 1) {
          for (Capture& capture : captures) {
            if (!capture.seen && name == capture.name) {
              capture.seen = true;
              capture.begin = after;
              if (self_closing) {
                capture.closed = true;
                capture.end = after;
              }
            }
          }
        }
        if (!self_closing) open.push_back({at + (name_begin - lt), name.size()});
        continue;
      }
      // The nearest open element of that name closes, with any left open inside it.
      size_t match = open.size();
      while (match > 0 && NameOf(open[match - 1]) != name) --match;
      if (match == 0) {
        if (name == root) {
          // The end of the collection inside a title: the title lost its end tag.
          end = at;
          break;
        }
        continue;  // a stray end tag: the title's parser will say so
      }
      if (match <= 2) {
        for (Capture& capture : captures) {
          if (capture.seen && !capture.closed) {
            capture.closed = true;
            capture.end = at;
          }
        }
      }
      open.resize(match - 1);
      if (open.empty()) {
        end = after;
        break;
      }
    }
    ++titles;
    title.position = position;
    title.line = start_line;
    title.end_offset = FileOffset(end);
    title.markup.assign(View().substr(Index(start), Index(end) - Index(start)));
    const auto text_of = [&](const Capture& capture, std::string& text, bool strict) {
      return capture.seen && capture.closed &&
             PlainText(
                 View().substr(Index(capture.begin), Index(capture.end) - Index(capture.begin)),
                 text, strict);
    };
    title.id_known = text_of(captures[0], title.id, true);
    if (!title.id_known) title.id.clear();
    if (!text_of(captures[1], title.title, false)) title.title.clear();
    pos = keep = end;
    return true;
  }
};

CollectionSplitter::CollectionSplitter(const std::string& path) : impl_(std::make_unique<Impl>()) {
  impl_->path = path;
  impl_->Open();
  impl_->ReadProlog();
}

CollectionSplitter::~CollectionSplitter() = default;

const std::string& CollectionSplitter::root_name() const { return impl_->root; }
const std::string& CollectionSplitter::doctype() const { return impl_->doctype; }
uint64_t CollectionSplitter::bytes_total() const { return impl_->total; }
bool CollectionSplitter::Next(TitleBytes& title) { return impl_->Next(title); }
const std::string& CollectionSplitter::error() const { return impl_->error; }

std::string_view DocumentElement(std::string_view text) {
  size_t i = 0;
  if (text.starts_with("\xEF\xBB\xBF")) i = 3;
  while (i < text.size()) {
    const size_t at = text.find('<', i);
    if (at == std::string_view::npos) return {};
    Kind kind;
    if (!markup::KindAt(text, at, kind)) return {};
    size_t end = markup::EndOf(text, at, kind);
    if (end == kMore) return {};
    if (kind != Kind::kStartTag) {
      i = end;
      continue;
    }
    if (markup::SelfClosing(text, end)) return text.substr(at, end - at);
    int depth = 1;
    while (depth > 0) {
      const size_t next = text.find('<', end);
      if (next == std::string_view::npos || !markup::KindAt(text, next, kind)) return {};
      end = markup::EndOf(text, next, kind);
      if (end == kMore) return {};
      if (kind == Kind::kStartTag && !markup::SelfClosing(text, end)) ++depth;
      if (kind == Kind::kEndTag) --depth;
    }
    return text.substr(at, end - at);
  }
  return {};
}

}  // namespace zel
