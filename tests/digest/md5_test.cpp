#include "digest/md5.h"

#include "support/test_support.h"

namespace zel {
namespace {

TEST(Md5Fingerprint, MatchesTheTestSuiteOfRfc1321) {
  EXPECT_EQ(Md5Fingerprint(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Fingerprint("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(Md5Fingerprint("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5Fingerprint("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Md5Fingerprint("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(Md5Fingerprint("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(Md5Fingerprint("1234567890123456789012345678901234567890"
                           "1234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5Fingerprint, DigestsOneByteForEachUtf16Unit) {
  // Latin-1 characters digest as their single ISO 8859-1 byte, not their two UTF-8 bytes.
  EXPECT_EQ(Md5Fingerprint("é"), "3406877694691ddd1dfb0aca54681407");
  EXPECT_EQ(Md5Fingerprint("<DVD><Title>Amélie</Title></DVD>"), "ca7af7971ad32f5b8fe2b1eb0f31bbda");
  // An emoji is two surrogate units, D83D DE00, of which the low bytes "=" and NUL remain.
  EXPECT_EQ(Md5Fingerprint("😀"), "c151c5fa0f424dbf71e349896c45ec16");
  EXPECT_EQ(Md5Fingerprint("😀"), Md5Fingerprint(std::string_view("=\0", 2)));
  // A byte that is not UTF-8 reads as U+FFFD.
  EXPECT_EQ(Md5Fingerprint("\xff"), "da564f38413a243e30e8c8c07fccc5d8");
}

TEST(Md5Fingerprint, CharactersDifferingOnlyInTheHighByteCollide) {
  EXPECT_EQ(Md5Fingerprint("€"), "20a7f30fb9f8e145422b66b3d4f4da70");
  EXPECT_EQ(Md5Fingerprint("€"), Md5Fingerprint("¬"));
  EXPECT_EQ(Md5Fingerprint("Café €"), "f7b63290f6a001c7e7c2c6948de8fe59");
  EXPECT_NE(Md5Fingerprint("€"), Md5Fingerprint("a"));
}

TEST(Md5Stream, PiecesDigestAsTheWholeAndTheStreamStartsOver) {
  Md5Stream stream;
  EXPECT_EQ(stream.HexDigest(), "d41d8cd98f00b204e9800998ecf8427e");
  stream.Update("a");
  stream.Update("");
  stream.Update("bc");
  EXPECT_EQ(stream.HexDigest(), "900150983cd24fb0d6963f7d28e17f72");
  stream.Update("abc");
  EXPECT_EQ(stream.HexDigest(), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(CMD5, IsAPrivateScriptableDigest) {
  const ClassInfo& info = CMD5::Info();
  EXPECT_FALSE(info.creatable());
  ASSERT_EQ(info.members().size(), 1u);
  CMD5 digest;
  EXPECT_EQ(Invoke(digest, "md5", CallKind::kCall, {Variant("abc")}).ToText(),
            "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_ZEL_ERROR_NUMBER(Invoke(digest, "MD5", CallKind::kCall), 449);
  const InterfaceSafety safety = digest.GetInterfaceSafetyOptions("{any}");
  EXPECT_EQ(safety.supported, 3u);
  EXPECT_EQ(safety.enabled, 3u);
}

}  // namespace
}  // namespace zel
