#include "crypto/pkcs1.h"

#include <gtest/gtest.h>

#include <vector>

#include "crypto/signature_digest_info.h"

namespace kcertadm {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The block layout itself is proved by the signature cross-checks with
// openssl and pycryptodome; here the limits and the refusals.
TEST(Pkcs1, EncodeLimits) {
  Bytes block(64), data(64, 1);
  RandomByte never = [](std::uint8_t*) -> int { ADD_FAILURE(); return 0; };
  EXPECT_EQ(Pkcs1EncodeType1(data.data(), 53, 64, block.data()), 0);    // k - 11
  EXPECT_EQ(Pkcs1EncodeType1(data.data(), 54, 64, block.data()), 525);  // one more
  EXPECT_EQ(Pkcs1EncodeType2(data.data(), 54, 64, never, block.data()), 525);
  EXPECT_EQ(Pkcs1EncodeType1(data.data(), 0, 11, block.data()), 535);   // modulus too short
  EXPECT_EQ(Pkcs1EncodeType1(data.data(), 1, 12, block.data()), 0);
  std::size_t offset = 0, size = 99;
  ASSERT_EQ(Pkcs1DecodeType1(block.data(), 12, &offset, &size), 0);
  EXPECT_EQ(offset, 11u);
  EXPECT_EQ(size, 1u);
}

TEST(Pkcs1, Type2PaddingSkipsZeroBytes) {
  // The byte source yields zeros every other draw; none may land in the
  // padding, and the draws go on until it is full.
  int draws = 0;
  RandomByte source = [&](std::uint8_t* byte) {
    *byte = static_cast<std::uint8_t>(draws++ % 2 ? 0 : 0x5A);
    return 0;
  };
  const Bytes data = {1, 2, 3};
  Bytes block(16);
  ASSERT_EQ(Pkcs1EncodeType2(data.data(), 3, 16, source, block.data()), 0);
  EXPECT_EQ(block, (Bytes{0, 2, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0, 1, 2, 3}));
  EXPECT_EQ(draws, 19);
  std::size_t offset = 0, size = 0;
  ASSERT_EQ(Pkcs1DecodeType2(block.data(), 16, &offset, &size), 0);
  EXPECT_EQ(offset, 13u);
  EXPECT_EQ(size, 3u);
  RandomByte failing = [](std::uint8_t*) { return 539; };
  EXPECT_EQ(Pkcs1EncodeType2(data.data(), 3, 16, failing, block.data()), 539);
}

Bytes Type1(std::size_t k, std::size_t ff, Bytes tail) {
  Bytes block = {0x00, 0x01};
  block.insert(block.end(), ff, 0xFF);
  block.insert(block.end(), tail.begin(), tail.end());
  block.resize(k, 0x42);
  return block;
}

TEST(Pkcs1, MalformedBlocksAreRefused) {
  struct Case {
    const char* why;
    Bytes block;
    bool type2;
  } const kTests[] = {
      {"first byte not 00", [] { Bytes b = Type1(32, 8, {0}); b[0] = 1; return b; }(), false},
      {"block type 2 where 1 is expected", [] { Bytes b = Type1(32, 8, {0}); b[1] = 2; return b; }(), false},
      {"separator after the FF run is not 00", Type1(32, 8, {0x01}), false},
      {"FF run up to the end, no separator", Type1(32, 30, {}), false},
      {"only seven padding bytes", Type1(32, 7, {0}), false},
      {"type 2 without any 00 separator", Bytes{0, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, true},
      {"type 2 with a short padding", Bytes{0, 2, 1, 1, 1, 0, 5, 5, 5, 5, 5, 5, 5, 5}, true},
      {"type 1 block where 2 is expected", Type1(32, 8, {0}), true},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    std::size_t offset = 99, size = 99;
    const int status = c.type2 ? Pkcs1DecodeType2(c.block.data(), c.block.size(), &offset, &size)
                               : Pkcs1DecodeType1(c.block.data(), c.block.size(), &offset, &size);
    EXPECT_EQ(status, 524);
    EXPECT_EQ(offset, 99u);
  }
}

TEST(DigestInfo, CheckReportsEachFault) {
  std::uint8_t digest[16] = {9, 8, 7};
  std::uint8_t good[kMaxDigestInfoSize];
  const std::size_t n = EncodeDigestInfo(SignatureDigest::kMd5, digest, good);
  auto modified = [&](std::size_t index, std::uint8_t value) {
    Bytes b(good, good + n);
    b[index] = value;
    return b;
  };
  struct Case {
    const char* why;
    Bytes data;
    int expected;
  } const kTests[] = {
      {"well formed", Bytes(good, good + n), 0},
      {"digest bytes differ", modified(33, 0xEE), 540},
      {"another digest algorithm named", modified(13, 0x02), 540},
      {"parameters not NULL", modified(14, 0x04), 524},
      {"outer tag not SEQUENCE", modified(0, 0x31), 537},
      {"outer length too long for the data", modified(1, 0x21), 537},
      {"trailing byte after the DigestInfo", [&] { Bytes b(good, good + n); b.push_back(0); return b; }(), 537},
      {"truncated", Bytes(good, good + n - 1), 537},
      {"empty", Bytes{}, 537},
      {"long-form length that is not minimal", [&] {
         Bytes b(good, good + n);
         b.insert(b.begin() + 1, 0x81);
         return b;
       }(), 537},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(CheckDigestInfo(SignatureDigest::kMd5, c.data.data(), c.data.size(), digest), c.expected);
  }
  // An MD5 DigestInfo checked as MD2: same length, other identifier.
  EXPECT_EQ(CheckDigestInfo(SignatureDigest::kMd2, good, n, digest), 540);
}

}  // namespace
}  // namespace kcertadm
