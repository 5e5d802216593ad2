#include "crypto/rsa/pkcs1.h"

#include <gtest/gtest.h>

#include <memory>

#include "crypto/rsa/rsa_key_info.h"
#include "crypto/rsa/signature_digest_info.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

// The layout is proved by the signature cross-check; here the limits.
TEST(Pkcs1, EncodeLimits) {
  Bytes block(64), data(64, 1);
  EXPECT_EQ(Pkcs1EncodeType1(data.data(), 53, 64, block.data()), 0);    // k - 11
  EXPECT_EQ(Pkcs1EncodeType1(data.data(), 54, 64, block.data()), 525);  // one more
  EXPECT_EQ(Pkcs1EncodeType2(
                data.data(), 54, 64, [](std::uint8_t*) { return ADD_FAILURE(), 0; }, block.data()),
            525);
  EXPECT_EQ(Pkcs1EncodeType1(data.data(), 0, 11, block.data()), 535);  // modulus too short
  EXPECT_EQ(Pkcs1EncodeType1(data.data(), 1, 12, block.data()), 0);
  std::size_t offset = 0, size = 99;
  ASSERT_EQ(Pkcs1DecodeType1(block.data(), 12, &offset, &size), 0);
  EXPECT_EQ(offset + size, 12u);
}

// Every other draw is zero: none may land in the padding.
TEST(Pkcs1, Type2PaddingSkipsZeroBytes) {
  int draws = 0;
  RandomByte source = [&](std::uint8_t* byte) { return *byte = draws++ % 2 ? 0 : 0x5A, 0; };
  const Bytes data = {1, 2, 3};
  Bytes block(16);
  ASSERT_EQ(Pkcs1EncodeType2(data.data(), 3, 16, source, block.data()), 0);
  EXPECT_EQ(block,
            (Bytes{0, 2, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0, 1, 2, 3}));
  EXPECT_EQ(draws, 19);
  std::size_t offset = 0, size = 0;
  ASSERT_EQ(Pkcs1DecodeType2(block.data(), 16, &offset, &size), 0);
  EXPECT_EQ(offset, 13u);
  EXPECT_EQ(Pkcs1EncodeType2(
                data.data(), 3, 16, [](std::uint8_t*) { return 539; }, block.data()),
            539);
}

// 00 and a well-formed MD5 DigestInfo, as a signature block carries it.
Bytes Md5DigestInfo() {
  std::uint8_t digest[16] = {1, 2, 3}, info[kMaxDigestInfoSize];
  const std::size_t n = EncodeDigestInfo(SignatureDigest::kMd5, digest, info);
  Bytes out = {0x00};
  out.insert(out.end(), info, info + n);
  return out;
}

Bytes Block(std::uint8_t type, std::size_t pad, std::uint8_t pad_byte, Bytes tail) {
  Bytes block = {0x00, type};
  block.insert(block.end(), pad, pad_byte);
  block.insert(block.end(), tail.begin(), tail.end());
  block.resize(std::max<std::size_t>(block.size(), 32), 0x42);
  return block;
}

TEST(Pkcs1, MalformedBlocksAreRefused) {
  const struct {
    const char* why;
    bool type2;
    Bytes block;
  } kTests[] = {
      {"first byte not 00", false,
       [] {
         Bytes b = Block(1, 8, 0xFF, {0});
         return b[0] = 1, b;
       }()},
      {"block type 2 where 1 is expected", false, Block(2, 8, 0xFF, {0})},
      {"separator after the FF run is not 00", false, Block(1, 8, 0xFF, {0x01})},
      {"FF run up to the end, no separator", false, Block(1, 30, 0xFF, {})},
      {"only seven padding bytes", false, Block(1, 7, 0xFF, {0})},
      // A scan for the separator alone would take this one.
      {"FE inside the FF run, then 00 and a DigestInfo", false,
       [] {
         Bytes b = Block(1, 12, 0xFF, Md5DigestInfo());
         return b[6] = 0xFE, b;
       }()},
      {"type 2 without any 00 separator", true, Block(2, 30, 0x01, {})},
      {"type 2 with a short padding", true, Block(2, 3, 0x01, {0})},
      {"type 1 block where 2 is expected", true, Block(1, 8, 0xFF, {0})},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    std::size_t offset = 99, size = 99;
    EXPECT_EQ((c.type2 ? Pkcs1DecodeType2 : Pkcs1DecodeType1)(c.block.data(), c.block.size(),
                                                              &offset, &size),
              524);
    EXPECT_EQ(offset, 99u);
  }
}

// Every RSAES-PKCS1-v1_5 decryption case of Wycheproof (wycheproof/make_pkcs1_decrypt_vectors.py)
// through the type-2 handler: the message of the valid ones, a refusal (524, or 525 for a
// ciphertext that is not exactly one block) for the rest.
TEST(Pkcs1, WycheproofDecryptionVectors) {
  std::unique_ptr<RsaPrivateNumbers> numbers;
  RsaPrivateKeyRecord record{};
  std::size_t cases = 0;
  for (const auto& row : test_support::ReadVectorFile("wycheproof/rsa_pkcs1_decrypt_vectors.txt")) {
    if (row[0] == "key") {
      auto bytes = [&](std::size_t i) {
        const Bytes b = test_support::Hex(row[i]);
        return SecureBytes(b.begin(), b.end());
      };
      numbers.reset(new RsaPrivateNumbers{bytes(1), bytes(2), bytes(3), bytes(4), bytes(5),
                                          bytes(6), bytes(7), bytes(8)});
      record = RecordOf(*numbers);
      continue;
    }
    SCOPED_TRACE(row[0]);
    ++cases;
    const Bytes ciphertext = row[2] == "-" ? Bytes() : test_support::Hex(row[2]);
    const Bytes message = row[3] == "-" ? Bytes() : test_support::Hex(row[3]);
    const test_support::CipherSetup setup{AlgInfoRsaPrivatePkcs(), nullptr, KeyInfoRsaPrivate(),
                                          &record, KeyRingMethods};
    Bytes out;
    const int status = test_support::RunCipher(setup, false, ciphertext, &out, 0, 512);
    if (row[1] == "valid") {
      ASSERT_EQ(status, 0);
      EXPECT_EQ(out, message);
    } else {
      EXPECT_TRUE(status == 524 || status == 525) << status;
    }
  }
  EXPECT_EQ(cases, 201u);
}

TEST(DigestInfo, CheckReportsEachFault) {
  std::uint8_t digest[16] = {9, 8, 7};
  std::uint8_t good[kMaxDigestInfoSize];
  const std::size_t n = EncodeDigestInfo(SignatureDigest::kMd5, digest, good);
  const Bytes whole(good, good + n);
  auto modified = [&](std::size_t index, std::uint8_t value) {
    Bytes b = whole;
    b[index] = value;
    return b;
  };
  const struct {
    const char* why;
    int expected;
    Bytes data;
  } kTests[] = {
      {"well formed", 0, whole},
      {"digest bytes differ", 540, modified(33, 0xEE)},
      {"another digest algorithm named", 540, modified(13, 0x02)},
      {"parameters not NULL", 524, modified(14, 0x04)},
      {"trailing byte after the DigestInfo", 537,
       [&] {
         Bytes b = whole;
         b.push_back(0);
         return b;
       }()},
      {"truncated", 537, Bytes(good, good + n - 1)},
      {"long-form length that is not minimal", 537,
       [&] {
         Bytes b = whole;
         b.insert(b.begin() + 1, 0x81);
         return b;
       }()},
      // Lengths past one octet are refused as a whole, before the digest or
      // the parameters are looked at.
      {"two-octet lengths around a right digest", 537,
       [&] {
         auto wrap = [](std::uint8_t tag, const Bytes& content) {
           Bytes b = {tag, 0x82, static_cast<std::uint8_t>(content.size() >> 8),
                      static_cast<std::uint8_t>(content.size())};
           b.insert(b.end(), content.begin(), content.end());
           return b;
         };
         Bytes identifier(whole.begin() + 4, whole.begin() + 16);
         identifier.resize(identifier.size() + 260, 0);
         Bytes content = wrap(0x30, identifier);
         content.insert(content.end(), whole.begin() + 16, whole.end());
         return wrap(0x30, content);
       }()},
  };
  for (const auto& c : kTests)
    EXPECT_EQ(CheckDigestInfo(SignatureDigest::kMd5, c.data.data(), c.data.size(), digest),
              c.expected)
        << c.why;
  EXPECT_EQ(CheckDigestInfo(SignatureDigest::kMd2, good, n, digest), 540)
      << "same length, other identifier";
}

// The encodings before the digest bytes, as PKCS #1 (RFC 8017, 9.2 note 1) lists them.
TEST(DigestInfo, EncodingsCarryThePublishedPrefixes) {
  const struct {
    SignatureDigest digest;
    const char* prefix;
  } kTests[] = {
      {SignatureDigest::kMd5, "3020300c06082a864886f70d020505000410"},
      {SignatureDigest::kSha1, "3021300906052b0e03021a05000414"},
      {SignatureDigest::kSha256, "3031300d060960864801650304020105000420"},
      {SignatureDigest::kSha384, "3041300d060960864801650304020205000430"},
      {SignatureDigest::kSha512, "3051300d060960864801650304020305000440"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.prefix);
    const Bytes digest(SignatureDigestSize(c.digest), 0xAB);
    std::uint8_t info[kMaxDigestInfoSize];
    const std::size_t n = EncodeDigestInfo(c.digest, digest.data(), info);
    EXPECT_EQ(test_support::ToHex(info, n), c.prefix + test_support::ToHex(digest));
    EXPECT_EQ(CheckDigestInfo(c.digest, info, n, digest.data()), 0);
    EXPECT_GE(MaxSignatureDataSize(c.digest), n) << "the verifier reads the whole DigestInfo";
  }
}

}  // namespace
}  // namespace kcertadm
