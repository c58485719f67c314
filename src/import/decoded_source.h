// A file read in chunks as UTF-8, whatever encoding it is written in: UTF-8 as it is,
// windows-1252 (the encoding of real exports) and ISO 8859-1 by a table, any other encoding
// through iconv. Used by the collection splitter; not for other callers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace zel {

inline constexpr size_t kReadChunk = size_t{1} << 20;

// A growable run of bytes that, unlike a string, does not clear what is about to be overwritten.
class ByteBuffer {
 public:
  const char* data() const { return data_.get(); }
  size_t size() const { return size_; }
  // Room for `n` more bytes at the end: write them there, then Commit as many.
  char* Reserve(size_t n) {
    if (capacity_ - size_ < n) {
      // The buffer holds about one chunk and one title: it grows little and rarely.
      const size_t capacity = (size_ + n + kReadChunk - 1) / kReadChunk * kReadChunk;
      std::unique_ptr<char[]> grown(new char[capacity]);
      if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
      data_ = std::move(grown);
      capacity_ = capacity;
    }
    return data_.get() + size_;
  }
  void Commit(size_t n) { size_ += n; }
  void Append(const char* p, size_t n) {
    std::memcpy(Reserve(n), p, n);
    Commit(n);
  }
  // Lets go of the first `n` bytes.
  void Drop(size_t n) {
    std::memmove(data_.get(), data_.get() + n, size_ - n);
    size_ -= n;
  }
  void Clear() { size_ = 0; }

 private:
  std::unique_ptr<char[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// The bytes of a file as UTF-8. Reads from the file's current position; the file stays the
// caller's, and `path` (for messages) must outlive the source.
class DecodedSource {
 public:
  virtual ~DecodedSource() = default;
  // Appends the next bytes of the file as UTF-8; false when none are left. Raises 53 when the
  // file cannot be read.
  virtual bool Read(ByteBuffer& out) = 0;
  // Bytes of the file read to give the first `stream_offset` bytes, of which `continuations` are
  // UTF-8 continuation bytes.
  virtual uint64_t FileOffset(uint64_t stream_offset, uint64_t continuations) const = 0;
};

// A file in UTF-8 after `skipped` bytes (a byte order mark).
std::unique_ptr<DecodedSource> Utf8FileSource(int fd, uint64_t skipped, const std::string& path);
// A file in windows-1252 or, when not `windows1252`, in ISO 8859-1.
std::unique_ptr<DecodedSource> SingleByteFileSource(int fd, bool windows1252,
                                                    const std::string& path);
// A file in `encoding` as iconv names it, `unit` bytes a code unit. Raises 5 "<path>: the file's
// encoding <encoding> is not supported" when iconv does not know it.
std::unique_ptr<DecodedSource> ConvertingFileSource(int fd, const char* encoding, size_t unit,
                                                    const std::string& path);

enum class Encoding { kUtf8, kWindows1252, kLatin1, kOther };

// The encoding of an encoding name of an XML declaration, letter case ignored.
Encoding EncodingNamed(std::string_view name);
// The value of encoding="..." in an XML declaration, or empty text.
std::string DeclaredEncoding(std::string_view declaration);

}  // namespace zel
