#include "digest/md5.h"

#include <openssl/evp.h>

#include "frame/error.h"
#include "frame/member_table.h"
#include "frame/text.h"

namespace zel {

namespace {

EVP_MD_CTX* Context(void* context) { return static_cast<EVP_MD_CTX*>(context); }

std::string Hex(const unsigned char* digest, unsigned int length) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * length);
  for (unsigned int i = 0; i < length; ++i) {
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 0x0F];
  }
  return text;
}

}  // namespace

std::string Md5Fingerprint(std::string_view utf8_text) {
  // ASCII is its own byte sequence: runs of it are copied whole, other characters decoded.
  std::string bytes;
  bytes.reserve(utf8_text.size());
  for (size_t i = 0; i < utf8_text.size();) {
    size_t run = i;
    while (run < utf8_text.size() && static_cast<unsigned char>(utf8_text[run]) < 0x80) ++run;
    bytes.append(utf8_text.data() + i, run - i);
    i = run;
    if (i == utf8_text.size()) break;
    const char32_t cp = NextCodePoint(utf8_text, i);
    if (cp >= 0x10000) {
      // The low bytes of the two surrogate units.
      bytes += static_cast<char>(((cp - 0x10000) >> 10) & 0xFF);
    }
    bytes += static_cast<char>(cp & 0xFF);
  }
  const std::string_view message = bytes;

  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(message.data(), message.size(), digest, &length, EVP_md5(), nullptr) != 1) {
    Raise(errc::kInvalidArgument, "MD5 digest is not available");
  }
  return Hex(digest, length);
}

Md5Stream::Md5Stream() : context_(EVP_MD_CTX_new()) {
  if (!context_ || EVP_DigestInit_ex(Context(context_), EVP_md5(), nullptr) != 1) {
    EVP_MD_CTX_free(Context(context_));
    Raise(errc::kInvalidArgument, "MD5 digest is not available");
  }
}

Md5Stream::~Md5Stream() { EVP_MD_CTX_free(Context(context_)); }

void Md5Stream::Update(std::string_view bytes) {
  EVP_DigestUpdate(Context(context_), bytes.data(), bytes.size());
}

std::string Md5Stream::HexDigest() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(Context(context_), digest, &length);
  EVP_DigestInit_ex(Context(context_), EVP_md5(), nullptr);
  return Hex(digest, length);
}

const ClassInfo& CMD5::Info() {
  static const ClassInfo info =
      ClassBuilder<CMD5>("CMD5").Method("MD5", &CMD5::MD5, {Param("Text")}).Build();
  return info;
}

}  // namespace zel
