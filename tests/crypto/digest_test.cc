// Known answers and streaming behaviour of the raw digests MD2, MD5, SHA-1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/md2.h"
#include "crypto/md5.h"
#include "crypto/sha1.h"
#include "crypto/sha1_compress.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

using testing::Bytes;
using testing::ToHex;

template <typename Digest>
std::string HashHex(const std::vector<std::uint8_t>& input) {
  Digest digest;
  digest.Update(input.data(), input.size());
  std::uint8_t out[Digest::kDigestSize];
  digest.Final(out);
  return ToHex(out, sizeof(out));
}

struct KnownAnswer {
  const char* input;
  const char* md2;  // RFC 1319 appendix A.5
  const char* md5;  // RFC 1321 appendix A.5
};

constexpr KnownAnswer kRfcSuite[] = {
    {"", "8350e5a3e24c153df2275c9f80692773", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "32ec01ec4a6dac72c0ab96fb34c0b5d1", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "da853b0d3f88d99b30283a69e6ded6bb", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "ab4f496bfb2a530b219ff33031fe06b0", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "4e8ddff3650292ab5a4108c3aa47940b",
     "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "da33def2a42df13975352846c30338cd", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
     "0",
     "d5976f79d83d3a0dc9806c3c66f3efd8", "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(DigestKnownAnswers, RfcSuitesForMd2AndMd5) {
  for (const auto& test : kRfcSuite) {
    SCOPED_TRACE(test.input);
    EXPECT_EQ(HashHex<Md2>(Bytes(test.input)), test.md2);
    EXPECT_EQ(HashHex<Md5>(Bytes(test.input)), test.md5);
  }
}

TEST(DigestKnownAnswers, Sha1FipsExamples) {
  EXPECT_EQ(HashHex<Sha1>(Bytes("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(HashHex<Sha1>(Bytes("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(HashHex<Sha1>(std::vector<std::uint8_t>(1000000, 'a')),
            "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(DigestKnownAnswers, OneShotHelpersAgreeWithTheClasses) {
  const auto input = Bytes("abc");
  std::uint8_t out[20];
  Md2Digest(input.data(), input.size(), out);
  EXPECT_EQ(ToHex(out, 16), "da853b0d3f88d99b30283a69e6ded6bb");
  Md5Digest(input.data(), input.size(), out);
  EXPECT_EQ(ToHex(out, 16), "900150983cd24fb0d6963f7d28e17f72");
  Sha1Digest(input.data(), input.size(), out);
  EXPECT_EQ(ToHex(out, 20), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

std::string HashHexByName(const std::string& name, const std::vector<std::uint8_t>& input) {
  if (name == "md2") return HashHex<Md2>(input);
  if (name == "md5") return HashHex<Md5>(input);
  return HashHex<Sha1>(input);
}

// Lengths around every padding boundary (55/56/64 for MD5 and SHA-1, 15/16
// for MD2) and long inputs, checked against an independent implementation.
TEST(DigestGeneratedVectors, EveryLengthMatches) {
  const auto rows = testing::ReadVectorFile("digest_vectors.txt");
  ASSERT_GT(rows.size(), 400u);
  for (const auto& row : rows) {
    SCOPED_TRACE(row[0] + " length " + row[1]);
    EXPECT_EQ(HashHexByName(row[0], testing::PatternBytes(std::stoul(row[1]))), row[2]);
  }
}

// Feeding the same message in pieces of awkward sizes must give the same
// digest: catches faults in the partial-block buffering.
template <typename Digest>
void ExpectSplitsAgree(const std::vector<std::uint8_t>& input) {
  const std::string whole = HashHex<Digest>(input);
  for (std::size_t piece : {1u, 3u, 15u, 17u, 55u, 63u, 65u, 127u}) {
    SCOPED_TRACE(piece);
    Digest digest;
    for (std::size_t at = 0; at < input.size(); at += piece)
      digest.Update(input.data() + at, std::min(piece, input.size() - at));
    std::uint8_t out[Digest::kDigestSize];
    digest.Final(out);
    EXPECT_EQ(ToHex(out, sizeof(out)), whole);
  }
}

TEST(DigestStreaming, PiecewiseUpdatesMatchOneUpdate) {
  const auto input = testing::PatternBytes(1000);
  ExpectSplitsAgree<Md2>(input);
  ExpectSplitsAgree<Md5>(input);
  ExpectSplitsAgree<Sha1>(input);
}

TEST(DigestStreaming, FinalRestartsForTheNextMessage) {
  Sha1 sha1;
  sha1.Update("garbage", 7);
  std::uint8_t out[Sha1::kDigestSize];
  sha1.Final(out);
  sha1.Update("abc", 3);
  sha1.Final(out);
  EXPECT_EQ(ToHex(out, sizeof(out)), "a9993e364706816aba3e25717850c26c9cd0d89d");

  Md5 md5;
  md5.Update("garbage", 7);
  std::uint8_t md5_out[Md5::kDigestSize];
  md5.Final(md5_out);
  md5.Final(md5_out);
  EXPECT_EQ(ToHex(md5_out, sizeof(md5_out)), "d41d8cd98f00b204e9800998ecf8427e");

  Md2 md2;
  md2.Update("garbage", 7);
  md2.Final(md5_out);
  md2.Update("abc", 3);
  md2.Final(md5_out);
  EXPECT_EQ(ToHex(md5_out, sizeof(md5_out)), "da853b0d3f88d99b30283a69e6ded6bb");
}

// Sha1 uses the processor's SHA extensions when it has them; the portable
// block function must agree with them (and is what other machines run).
TEST(Sha1BlockFunctions, PortableAndExtensionsAgree) {
  if (!sha1_internal::HaveShaExtensions()) GTEST_SKIP() << "no SHA extensions on this processor";
  const auto data = testing::PatternBytes(64 * 37);
  for (std::size_t blocks : {1u, 2u, 37u}) {
    SCOPED_TRACE(blocks);
    std::uint32_t portable[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
    std::uint32_t extensions[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
    sha1_internal::CompressPortable(portable, data.data(), blocks);
    sha1_internal::CompressShaExtensions(extensions, data.data(), blocks);
    EXPECT_EQ(std::vector<std::uint32_t>(portable, portable + 5),
              std::vector<std::uint32_t>(extensions, extensions + 5));
  }
}

}  // namespace
}  // namespace kcertadm
