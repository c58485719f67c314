#include "digest/md5.h"

#include <openssl/evp.h>

#include "frame/error.h"
#include "frame/member_table.h"
#include "frame/text.h"

namespace zel {

std::string Md5Fingerprint(std::string_view utf8_text) {
  const std::u16string units = Utf8ToUtf16(utf8_text);
  std::string bytes;
  bytes.reserve(units.size());
  for (char16_t unit : units) bytes += static_cast<char>(unit & 0xFF);

  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr) != 1) {
    Raise(errc::kInvalidArgument, "MD5 digest is not available");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * length);
  for (unsigned int i = 0; i < length; ++i) {
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 0x0F];
  }
  return text;
}

const ClassInfo& CMD5::Info() {
  static const ClassInfo info =
      ClassBuilder<CMD5>("CMD5").Method("MD5", &CMD5::MD5, {Param("Text")}).Build();
  return info;
}

}  // namespace zel
