// The fingerprint by which the import recognises a title it has seen before.
//
// Fingerprints are stored in the catalogue (Profiles.MD5) and compared as exact text with those of
// earlier imports, so the bytes digested must never change: one byte per UTF-16 unit of the text,
// its low 8 bits. Texts made only of U+0000..U+00FF thus digest their ISO 8859-1 bytes; any other
// character contributes only its low byte ("€", U+20AC, digests like U+00AC), and a character above
// U+FFFF the low bytes of its two surrogate units.
#pragma once

#include <string>
#include <string_view>

#include "frame/object.h"

namespace zel {

// The RFC 1321 MD5 digest of `utf8_text` under the byte rule above, as 32 lower-case hexadecimal
// digits. Invalid UTF-8 bytes count as U+FFFD. Fails only if the crypto library cannot digest at
// all.
std::string Md5Fingerprint(std::string_view utf8_text);

// An MD5 digest fed in pieces, for a message too large or too scattered to hold as one text. The
// bytes are digested as given (no byte rule).
class Md5Stream {
 public:
  Md5Stream();
  ~Md5Stream();
  Md5Stream(const Md5Stream&) = delete;
  Md5Stream& operator=(const Md5Stream&) = delete;

  void Update(std::string_view bytes);
  // The digest of everything given so far as 32 lower-case hexadecimal digits; the stream then
  // starts over.
  std::string HexDigest();

 private:
  void* context_;  // EVP_MD_CTX
};

// The digest as a scriptable object with the one method MD5(Text). Private to the library: callers
// cannot create it by name; the import makes one per title. Keeps no state.
class CMD5 : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  std::string MD5(std::string_view text) const { return Md5Fingerprint(text); }
};

}  // namespace zel
