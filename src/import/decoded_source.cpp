#include "import/decoded_source.h"

#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "frame/error.h"
#include "frame/text.h"
#include "import/markup_scan.h"

namespace zel {
namespace {

constexpr int kFileNotFound = 53;

// Reads up to `n` bytes of `fd` to `to`; 0 at the end of the file.
size_t ReadSome(int fd, char* to, size_t n, const std::string& path) {
  ssize_t got;
  do {
    got = ::read(fd, to, n);
  } while (got < 0 && errno == EINTR);
  if (got < 0) Raise(kFileNotFound, "File not found: " + path + " (" + std::strerror(errno) + ")");
  return static_cast<size_t>(got);
}

// A file in UTF-8: taken as it is.
class Utf8Source : public DecodedSource {
 public:
  Utf8Source(int fd, uint64_t skipped, const std::string& path)
      : fd_(fd), skipped_(skipped), path_(path) {}
  bool Read(ByteBuffer& out) override {
    const size_t got = ReadSome(fd_, out.Reserve(kReadChunk), kReadChunk, path_);
    out.Commit(got);
    return got > 0;
  }
  uint64_t FileOffset(uint64_t stream_offset, uint64_t) const override {
    return skipped_ + stream_offset;
  }

 private:
  int fd_;
  uint64_t skipped_;  // a byte order mark
  const std::string& path_;
};

// A file in windows-1252 or ISO 8859-1, one byte per character: converted by a table. Each
// character from 0x80 on becomes a lead byte and one or two continuation bytes.
class SingleByteSource : public DecodedSource {
 public:
  SingleByteSource(int fd, bool windows1252, const std::string& path)
      : fd_(fd), path_(path), raw_(new char[kReadChunk]) {
    for (int b = 0x80; b <= 0xFF; ++b) {
      std::string utf8;
      if (windows1252) {
        markup::AppendWindows1252(static_cast<unsigned char>(b), utf8);
      } else {
        markup::AppendUtf8(static_cast<char32_t>(b), utf8);
      }
      Encoded& encoded = table_[b - 0x80];
      encoded.length = static_cast<uint8_t>(utf8.size());
      std::memcpy(encoded.bytes, utf8.data(), utf8.size());
    }
  }
  bool Read(ByteBuffer& out) override {
    const size_t got = ReadSome(fd_, raw_.get(), kReadChunk, path_);
    if (got == 0) return false;
    const char* p = raw_.get();
    const char* const end = p + got;
    // Room for every character at two bytes; more is asked for in the rare text that needs it.
    size_t room = 2 * got + 3;
    char* begin = out.Reserve(room);
    char* w = begin;
    while (p < end) {
      const char* high = markup::FindFirstOf<true>(p, end);
      std::memcpy(w, p, static_cast<size_t>(high - p));
      w += high - p;
      if (high == end) break;
      if (static_cast<size_t>(w - begin) + 3 > room) {
        out.Commit(static_cast<size_t>(w - begin));
        room = 2 * static_cast<size_t>(end - high) + 3;
        begin = w = out.Reserve(room);
      }
      const Encoded& encoded = table_[static_cast<unsigned char>(*high) - 0x80];
      std::memcpy(w, encoded.bytes, 3);
      w += encoded.length;
      p = high + 1;
    }
    out.Commit(static_cast<size_t>(w - begin));
    return true;
  }
  uint64_t FileOffset(uint64_t stream_offset, uint64_t continuations) const override {
    return stream_offset - continuations;
  }

 private:
  struct Encoded {
    uint8_t length = 0;
    char bytes[3] = {};
  };
  int fd_;
  const std::string& path_;
  std::unique_ptr<char[]> raw_;
  Encoded table_[128];
};

// Any other encoding, converted by iconv. A byte sequence that is not a character of the
// encoding becomes a byte that is not UTF-8 either, so that the parser of its title refuses it.
class ConvertingSource : public DecodedSource {
 public:
  ConvertingSource(int fd, iconv_t converter, size_t unit, const std::string& path)
      : fd_(fd), converter_(converter), unit_(unit), path_(path) {}
  ~ConvertingSource() override { iconv_close(converter_); }

  bool Read(ByteBuffer& out) override {
    const size_t old = pending_.size();
    pending_.resize(old + kReadChunk);
    const size_t got = ReadSome(fd_, pending_.data() + old, kReadChunk, path_);
    pending_.resize(old + got);
    read_ += got;
    if (pending_.empty()) return false;
    const size_t room = pending_.size() * 4 + 16;
    char* const begin = out.Reserve(room);
    char* in = pending_.data();
    size_t in_left = pending_.size();
    char* to = begin;
    size_t to_left = room;
    while (in_left > 0) {
      if (iconv(converter_, &in, &in_left, &to, &to_left) != static_cast<size_t>(-1)) break;
      if (errno == EINVAL && got > 0) break;  // a character cut by the chunk: wait for the rest
      if (errno == E2BIG) break;              // cannot happen: four bytes per input byte suffice
      const size_t skip = std::min(unit_, in_left);
      in += skip;
      in_left -= skip;
      *to++ = '\xFF';
      --to_left;
    }
    pending_.erase(0, pending_.size() - in_left);
    out.Commit(static_cast<size_t>(to - begin));
    return to > begin || got > 0;
  }
  // Known to the chunk only.
  uint64_t FileOffset(uint64_t, uint64_t) const override { return read_ - pending_.size(); }

 private:
  int fd_;
  iconv_t converter_;
  size_t unit_;  // bytes to skip past a sequence that is not a character
  const std::string& path_;
  std::string pending_;
  uint64_t read_ = 0;
};

}  // namespace

std::unique_ptr<DecodedSource> Utf8FileSource(int fd, uint64_t skipped, const std::string& path) {
  return std::make_unique<Utf8Source>(fd, skipped, path);
}

std::unique_ptr<DecodedSource> SingleByteFileSource(int fd, bool windows1252,
                                                    const std::string& path) {
  return std::make_unique<SingleByteSource>(fd, windows1252, path);
}

std::unique_ptr<DecodedSource> ConvertingFileSource(int fd, const char* encoding, size_t unit,
                                                    const std::string& path) {
  iconv_t converter = iconv_open("UTF-8", encoding);
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    Raise(errc::kInvalidArgument,
          path + ": the file's encoding " + std::string(encoding) + " is not supported");
  }
  return std::make_unique<ConvertingSource>(fd, converter, unit, path);
}

Encoding EncodingNamed(std::string_view name) {
  for (std::string_view alias : {"UTF-8", "UTF8", "US-ASCII", "ASCII"}) {
    if (EqualsIgnoreCase(name, alias)) return Encoding::kUtf8;
  }
  for (std::string_view alias : {"windows-1252", "cp1252"}) {
    if (EqualsIgnoreCase(name, alias)) return Encoding::kWindows1252;
  }
  for (std::string_view alias : {"ISO-8859-1", "ISO_8859-1", "ISO8859-1", "latin1", "L1"}) {
    if (EqualsIgnoreCase(name, alias)) return Encoding::kLatin1;
  }
  return Encoding::kOther;
}

// The value of encoding="..." in an XML declaration, or empty text.
std::string DeclaredEncoding(std::string_view declaration) {
  const size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return {};
  size_t i = at + 8;
  while (i < declaration.size() && (markup::IsBlank(declaration[i]) || declaration[i] == '=')) ++i;
  if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) return {};
  const size_t close = declaration.find(declaration[i], i + 1);
  if (close == std::string_view::npos) return {};
  return std::string(declaration.substr(i + 1, close - i - 1));
}

}  // namespace zel
