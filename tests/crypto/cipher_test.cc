#include <gtest/gtest.h>

#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

using test_support::CipherSetup;
using test_support::Hex;
using test_support::RunCipher;

const Bytes kZeroIv(8, 0);
const CbcParams kZeroCbc{kZeroIv.data()};

// One block under a zero IV: DES textbook and NIST entries; RFC 2268 with effective bits unlike the
// key's.
TEST(CipherKnownAnswers, DesAndRc2) {
  const struct {
    const char* key;
    std::uint32_t rc2_bits;
    const char* plain;
    const char* cipher;
  } kAnswers[] = {
      {"133457799bbcdff1", 0, "0123456789abcdef", "85e813540f0ab405"},
      {"8001010101010101", 0, "0000000000000000", "95a8d72813daa94d"},
      {"7ca110454a1a6e57", 0, "01a1d6d039776742", "690f5b0d9a26939b"},
      {"0000000000000000", 63, "0000000000000000", "ebb773f993278eff"},
      {"88bca90e90875a7f0f79c384627bafb216f80a6f85920584c42fceb0be255daf1e", 129,
       "0000000000000000", "5b78d3a43dfff1f1"},
  };
  for (const auto& answer : kAnswers) {
    SCOPED_TRACE(answer.key);
    const Bytes key = Hex(answer.key);
    const ByteItem item{key.data(), static_cast<std::uint32_t>(key.size())};
    const Rc2CbcParams rc2{answer.rc2_bits, kZeroIv.data()};
    const CipherSetup setup =
        answer.rc2_bits
            ? CipherSetup{AlgInfoRc2Cbc(), &rc2, KeyInfoItem(), &item, Rc2CbcMethods}
            : CipherSetup{AlgInfoDesCbc(), &kZeroCbc, KeyInfoDes8(), key.data(), DesCbcMethods};
    Bytes out;
    EXPECT_EQ(RunCipher(setup, true, Hex(answer.plain), &out), 0);
    EXPECT_EQ(test_support::ToHex(out), answer.cipher);
    EXPECT_EQ(RunCipher(setup, false, Hex(answer.cipher), &out), 0);
    EXPECT_EQ(test_support::ToHex(out), answer.plain);
  }
}

// crypto/make_cipher_vectors.py, whole and in pieces that straddle the blocks (RC4 only here).
TEST(CipherObjects, GeneratedVectorsInOneAndManyPieces) {
  const auto rows = test_support::ReadVectorFile("crypto/cipher_vectors.txt");
  ASSERT_GT(rows.size(), 60u);
  for (const auto& row : rows) {
    const std::string& name = row[0];
    SCOPED_TRACE(name + " key " + row[1] + " length " + row[4]);
    const Bytes key = Hex(row[1]), iv = row[2] == "-" ? Bytes(8, 0) : Hex(row[2]);
    const Bytes plain = test_support::PatternBytes(std::stoul(row[4])), expected = Hex(row[5]);
    const CbcParams cbc{iv.data()};
    const Rc2CbcParams rc2{static_cast<std::uint32_t>(std::stoul(row[3])), iv.data()};
    const ByteItem item{key.data(), static_cast<std::uint32_t>(key.size())};
    CipherSetup setup{};
    if (name == "des-cbc")
      setup = {AlgInfoDesCbc(), &cbc, KeyInfoDes8(), key.data(), DesCbcMethods};
    if (name == "des-ede3-cbc")
      setup = {AlgInfoDesEde3Cbc(), &cbc, KeyInfoDesEde3(), key.data(), DesEde3CbcMethods};
    if (name == "rc2-cbc") setup = {AlgInfoRc2Cbc(), &rc2, KeyInfoItem(), &item, Rc2CbcMethods};
    if (name == "rc4") setup = {AlgInfoRc4(), nullptr, KeyInfoItem(), &item, Rc4Methods};
    ASSERT_NE(setup.type, nullptr);
    for (std::size_t piece : {0u, 1u, 5u, 13u, 64u}) {
      SCOPED_TRACE(piece);
      Bytes out;
      ASSERT_EQ(RunCipher(setup, true, plain, &out, piece), 0);
      EXPECT_EQ(out, expected);
      ASSERT_EQ(RunCipher(setup, false, expected, &out, piece), 0);
      EXPECT_EQ(out, plain);
    }
  }
}

// The IV is copied when set; too small a buffer is refused before any input is taken.
TEST(CbcBuffering, IvCopiedAndPartialBlocksHeldAndRefusedAtFinal) {
  const Bytes key = Hex("0123456789abcdef"), in = test_support::PatternBytes(16);
  Bytes iv(8, 0), first;
  const CipherSetup des_cbc{AlgInfoDesCbc(), &kZeroCbc, KeyInfoDes8(), key.data(), DesCbcMethods};
  ASSERT_EQ(RunCipher(des_cbc, true, Bytes(in.begin(), in.begin() + 8), &first), 0);
  const CbcParams params{iv.data()};
  ToolkitLockHeld lock;
  AlgorithmObject* alg = nullptr;
  KeyObject* des = nullptr;
  ASSERT_EQ(AlgCreate(lock, &alg), 0);
  ASSERT_EQ(KeyCreate(lock, &des), 0);
  ASSERT_EQ(KeySetInfo(lock, des, KeyInfoDes8(), key.data()), 0);
  ASSERT_EQ(AlgSetInfo(lock, alg, AlgInfoDesCbc(), &params), 0);
  iv.assign(8, 0xEE);  // after AlgSetInfo: changes nothing
  ASSERT_EQ(EncryptInit(lock, alg, des, DesCbcMethods, nullptr), 0);
  std::uint8_t out[16];
  std::uint32_t written = 99;
  EXPECT_EQ(EncryptUpdate(lock, alg, out, &written, 15, in.data(), 16, nullptr, nullptr),
            TkErrOutputTooSmall);
  EXPECT_EQ(written, 0u);
  ASSERT_EQ(EncryptUpdate(lock, alg, out, &written, 16, in.data(), 12, nullptr, nullptr), 0);
  EXPECT_EQ(Bytes(out, out + written), first);
  EXPECT_EQ(EncryptUpdate(lock, alg, nullptr, &written, 0, in.data(), 3, nullptr, nullptr), 0)
      << "three bytes more: no block";
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(EncryptFinal(lock, alg, out, &written, sizeof(out), nullptr, nullptr),
            TkErrInputTooLong);
  EXPECT_EQ(DecryptUpdate(lock, alg, out, &written, 8, out, 8, nullptr, nullptr),
            TkErrNotInitialised)
      << "other direction";
  AlgDestroy(lock, &alg), KeyDestroy(lock, &des);
}

TEST(CipherKeyLimits, RefusedAtInit) {
  const Bytes iv(8, 0), long_key(257, 1);
  const struct {
    const char* why;
    bool rc4;
    std::uint32_t rc2_bits, key_length;
    int status;
  } kCases[] = {
      {"RC2 key of 129 bytes", false, 128, 129, TkErrNotFound},
      {"RC2 empty key", false, 128, 0, TkErrNotFound},
      {"RC2 effective bits 0", false, 0, 16, TkErrNotFound},
      {"RC2 128-byte key, 1024 bits", false, 1024, 128, 0},
      {"RC2 effective bits above 1024", false, 1025, 16, TkErrBadParameter},
      {"RC2 effective bits that overflow", false, 0xffffffff, 16, TkErrBadParameter},
      {"RC4 key of 257 bytes", true, 0, 257, TkErrBadKeyLength},
      {"RC4 empty key", true, 0, 0, TkErrBadKeyLength},
      {"RC4 256-byte key", true, 0, 256, 0},
  };
  for (const auto& c : kCases) {
    const ByteItem item{long_key.data(), c.key_length};
    const Rc2CbcParams rc2{c.rc2_bits, iv.data()};
    const CipherSetup setup =
        c.rc4 ? CipherSetup{AlgInfoRc4(), nullptr, KeyInfoItem(), &item, Rc4Methods}
              : CipherSetup{AlgInfoRc2Cbc(), &rc2, KeyInfoItem(), &item, Rc2CbcMethods};
    Bytes out;
    EXPECT_EQ(RunCipher(setup, true, iv, &out), c.status) << c.why;
  }
}

}  // namespace
}  // namespace kcertadm
