#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "crypto/digest/md2.h"
#include "crypto/digest/md5.h"
#include "crypto/digest/sha1.h"
#include "crypto/digest/sha1_compress.h"
#include "crypto/digest/sha2.h"
#include "crypto/digest/sha256_compress.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

// The digest in pieces of `piece` bytes (0: whole), after a message Final must forget.
template <typename Digest>
std::string HashHex(const Bytes& input, std::size_t piece = 0) {
  Digest digest;
  std::uint8_t out[Digest::kDigestSize];
  digest.Update("garbage", 7), digest.Final(out);
  if (piece == 0) piece = std::max<std::size_t>(input.size(), 1);
  for (std::size_t at = 0; at < input.size(); at += piece)
    digest.Update(input.data() + at, std::min(piece, input.size() - at));
  digest.Final(out);
  return test_support::ToHex(out, sizeof(out));
}

using HashFunction = std::string (*)(const Bytes&, std::size_t);
const std::map<std::string, HashFunction> kHashes = {
    {"md2", HashHex<Md2>},       {"md5", HashHex<Md5>},       {"sha1", HashHex<Sha1>},
    {"sha256", HashHex<Sha256>}, {"sha384", HashHex<Sha384>}, {"sha512", HashHex<Sha512>}};

// crypto/make_digest_vectors.py: every padding boundary, whole and in pieces.
TEST(DigestGeneratedVectors, EveryLengthMatches) {
  const auto rows = test_support::ReadVectorFile("crypto/digest_vectors.txt");
  ASSERT_GT(rows.size(), 1100u);
  for (const auto& row : rows) {
    SCOPED_TRACE(row[0] + " length " + row[1]);
    const Bytes input = test_support::PatternBytes(std::stoul(row[1]));
    for (std::size_t piece : {0u, 1u, 17u, 63u, 127u})
      EXPECT_EQ(kHashes.at(row[0])(input, piece), row[2]) << piece;
  }
}

// The portable block function, which other machines run, against the SHA extensions.
TEST(Sha1BlockFunctions, PortableAndExtensionsAgree) {
  if (!sha1_internal::HaveShaExtensions()) GTEST_SKIP() << "no SHA extensions on this processor";
  const Bytes data = test_support::PatternBytes(64 * 37);
  for (std::size_t blocks : {1u, 2u, 37u}) {
    std::vector<std::uint32_t> portable{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0},
        extensions(portable);
    sha1_internal::CompressPortable(portable.data(), data.data(), blocks);
    sha1_internal::CompressShaExtensions(extensions.data(), data.data(), blocks);
    EXPECT_EQ(portable, extensions) << blocks;
    std::vector<std::uint32_t> portable256(Sha256Variant::kInitialState,
                                           Sha256Variant::kInitialState + 8),
        extensions256(portable256);
    sha256_internal::CompressPortable(portable256.data(), data.data(), blocks);
    sha256_internal::CompressShaExtensions(extensions256.data(), data.data(), blocks);
    EXPECT_EQ(portable256, extensions256) << blocks;
  }
}

// RFC 1319, RFC 1321 A.5 and FIPS 180 answers through the objects: split input, buffer rule,
// restart after Final.
TEST(DigestObjects, PublishedAnswersBufferRuleAndRestartAfterFinal) {
  const std::string digits =
      "12345678901234567890123456789012345678901234567890123456789012345678901234567890";
  const std::string kTwoBlocks =
      "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmno"
      "pqrsmnopqrstnopqrstu";
  const struct {
    const AlgorithmInfoType* type;
    std::string input;
    const char* digest;
  } kAnswers[] = {
      {AlgInfoMd2(), "", "8350e5a3e24c153df2275c9f80692773"},
      {AlgInfoMd2(), "abc", "da853b0d3f88d99b30283a69e6ded6bb"},
      {AlgInfoMd2(), "message digest", "ab4f496bfb2a530b219ff33031fe06b0"},
      {AlgInfoMd2(), digits, "d5976f79d83d3a0dc9806c3c66f3efd8"},
      {AlgInfoMd5(), "", "d41d8cd98f00b204e9800998ecf8427e"},
      {AlgInfoMd5(), "abc", "900150983cd24fb0d6963f7d28e17f72"},
      {AlgInfoMd5(), "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {AlgInfoMd5(), digits, "57edf4a22be3c955ac49da2e2107b67a"},
      {AlgInfoSha1(), "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      // FIPS 180-4 examples: one block, two blocks (SHA-256 448 bits, SHA-384/512 896 bits).
      {AlgInfoSha256(), "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {AlgInfoSha256(), "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {AlgInfoSha384(), "abc",
       "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c"
       "825a7"},
      {AlgInfoSha384(), kTwoBlocks,
       "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa917"
       "46039"},
      {AlgInfoSha512(), "abc",
       "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3f"
       "eebbd"
       "454d4423643ce80e2a9ac94fa54ca49f"},
      {AlgInfoSha512(), kTwoBlocks,
       "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4331b99dec4b"
       "5433a"
       "c7d329eeb6dd26545e96e55b874be909"},
  };
  for (const auto& a : kAnswers) {
    SCOPED_TRACE(a.digest);
    ToolkitLockHeld lock;
    AlgorithmObject* alg = nullptr;
    ASSERT_EQ(AlgCreate(lock, &alg), 0);
    ASSERT_EQ(AlgSetInfo(lock, alg, a.type, nullptr), 0);
    ASSERT_EQ(DigestInit(lock, alg, nullptr, DigestMethods, nullptr), 0);  // digests take no key
    const std::uint32_t half = a.input.size() / 2, size = std::strlen(a.digest) / 2;
    std::uint8_t out[64];
    for (int round = 0; round < 2; ++round) {
      ASSERT_EQ(DigestUpdate(lock, alg, a.input.data(), half, nullptr), 0);
      ASSERT_EQ(DigestUpdate(lock, alg, "", 0, nullptr), 0);
      ASSERT_EQ(DigestUpdate(lock, alg, a.input.data() + half, a.input.size() - half, nullptr), 0);
      std::uint32_t length = 99;
      EXPECT_EQ(DigestFinal(lock, alg, out, &length, size - 1, nullptr), TkErrOutputTooSmall)
          << "leaves the message intact";
      EXPECT_EQ(length, 0u);
      ASSERT_EQ(DigestFinal(lock, alg, out, &length, size, nullptr), 0);
      EXPECT_EQ(test_support::ToHex(out, length), a.digest);
    }
    AlgDestroy(lock, &alg);
  }
}

}  // namespace
}  // namespace kcertadm
