// DES, triple DES, RC2 and RC4: published known answers, generated vectors
// through the object calls (RC4 is pinned by those alone), and the
// buffering and key rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/des.h"
#include "crypto/rc2.h"
#include "crypto/toolkit.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

using testing::CipherSetup;
using testing::FromHex;
using testing::RunCipher;
using testing::ToHex;
using Bytes = std::vector<std::uint8_t>;

Bytes DesCbc(const std::string& key, const std::string& iv, const Bytes& in, bool encrypt) {
  DesKeySchedule schedule;
  DesSetKey(schedule, FromHex(key).data());
  Bytes chain = FromHex(iv), out(in.size());
  if (encrypt)
    DesCbcEncrypt(schedule, chain.data(), in.data(), out.data(), in.size() / 8);
  else
    DesCbcDecrypt(schedule, chain.data(), in.data(), out.data(), in.size() / 8);
  return out;
}

// DES answers: the textbook example (also with its parity bits changed,
// which DES ignores), the FIPS 81 CBC example, and NIST variable-plaintext,
// variable-key and S-box entries.
TEST(CipherKnownAnswers, Des) {
  const struct {
    const char* key;
    const char* iv;
    const char* plain;
    const char* cipher;
  } kAnswers[] = {
      {"133457799bbcdff1", "0000000000000000", "0123456789abcdef", "85e813540f0ab405"},
      {"123456789abcdef0", "0000000000000000", "0123456789abcdef", "85e813540f0ab405"},
      {"0123456789abcdef", "1234567890abcdef", "4e6f77206973207468652074696d6520666f7220616c6c20",
       "e5c7cdde872bf27c43e934008c389c0f683788499a7c05f6"},
      {"0101010101010101", "0000000000000000", "8000000000000000", "95f8a5e5dd31d900"},
      {"0101010101010101", "0000000000000000", "0000000000000001", "166b40b44aba4bd6"},
      {"8001010101010101", "0000000000000000", "0000000000000000", "95a8d72813daa94d"},
      {"7ca110454a1a6e57", "0000000000000000", "01a1d6d039776742", "690f5b0d9a26939b"},
      {"0131d9619dc1376e", "0000000000000000", "5cd54ca83def57da", "7a389d10354bd271"},
  };
  for (const auto& answer : kAnswers) {
    SCOPED_TRACE(answer.key);
    EXPECT_EQ(ToHex(DesCbc(answer.key, answer.iv, FromHex(answer.plain), true)), answer.cipher);
    EXPECT_EQ(ToHex(DesCbc(answer.key, answer.iv, FromHex(answer.cipher), false)), answer.plain);
  }
}

// RC2 from RFC 2268, with effective key bits other than the key's length.
TEST(CipherKnownAnswers, Rc2Rfc2268) {
  const struct {
    const char* key;
    std::uint32_t bits;
    const char* plain;
    const char* cipher;
  } kRc2[] = {
      {"0000000000000000", 63, "0000000000000000", "ebb773f993278eff"},
      {"ffffffffffffffff", 64, "ffffffffffffffff", "278b27e42e2f0d49"},
      {"3000000000000000", 64, "1000000000000001", "30649edf9be7d2c2"},
      {"88", 64, "0000000000000000", "61a8a244adacccf0"},
      {"88bca90e90875a", 64, "0000000000000000", "6ccf4308974c267f"},
      {"88bca90e90875a7f0f79c384627bafb2", 64, "0000000000000000", "1a807d272bbe5db1"},
      {"88bca90e90875a7f0f79c384627bafb2", 128, "0000000000000000", "2269552ab0f85ca6"},
      {"88bca90e90875a7f0f79c384627bafb216f80a6f85920584c42fceb0be255daf1e", 129, "0000000000000000",
       "5b78d3a43dfff1f1"},
  };
  for (const auto& answer : kRc2) {
    SCOPED_TRACE(answer.key);
    const Bytes key = FromHex(answer.key), plain = FromHex(answer.plain);
    Rc2KeySchedule schedule;
    Rc2SetKey(schedule, key.data(), key.size(), answer.bits);
    Bytes iv(8, 0), out(8);
    Rc2CbcEncrypt(schedule, iv.data(), plain.data(), out.data(), 1);
    EXPECT_EQ(ToHex(out), answer.cipher);
    iv.assign(8, 0);
    Rc2CbcDecrypt(schedule, iv.data(), out.data(), out.data(), 1);
    EXPECT_EQ(ToHex(out), answer.plain);
  }
}

// Vectors of tests/data/crypto/make_cipher_vectors.py, each message fed in
// one piece and in pieces that straddle the block ends.
TEST(CipherObjects, GeneratedVectorsInOneAndManyPieces) {
  const auto rows = testing::ReadVectorFile("crypto/cipher_vectors.txt");
  ASSERT_GT(rows.size(), 60u);
  for (const auto& row : rows) {
    const std::string& name = row[0];
    SCOPED_TRACE(name + " key " + row[1] + " length " + row[4]);
    const Bytes key = FromHex(row[1]);
    const Bytes iv = row[2] == "-" ? Bytes(8, 0) : FromHex(row[2]);
    const Bytes plain = testing::PatternBytes(std::stoul(row[4]));
    const Bytes expected = FromHex(row[5]);
    const CbcParams cbc{iv.data()};
    const Rc2CbcParams rc2{static_cast<std::uint32_t>(std::stoul(row[3])), iv.data()};
    const ByteItem item{key.data(), static_cast<std::uint32_t>(key.size())};
    CipherSetup setup{};
    if (name == "des-cbc") setup = {AlgInfoDesCbc(), &cbc, KeyInfoDes8(), key.data(), DesCbcMethods};
    if (name == "des-ede3-cbc") setup = {AlgInfoDesEde3Cbc(), &cbc, KeyInfoDesEde3(), key.data(), DesEde3CbcMethods};
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

// A DES-CBC object copies the IV when it is set, holds partial blocks and
// refuses them at the final call.
TEST(CbcBuffering, IvCopiedAndPartialBlocksHeldAndRefusedAtFinal) {
  const Bytes key = FromHex("0123456789abcdef");
  Bytes iv(8, 0);
  const CbcParams params{iv.data()};
  AlgorithmObject* alg = nullptr;
  KeyObject* des = nullptr;
  ASSERT_EQ(AlgCreate(&alg), 0);
  ASSERT_EQ(KeyCreate(&des), 0);
  ASSERT_EQ(KeySetInfo(des, KeyInfoDes8(), key.data()), 0);
  ASSERT_EQ(AlgSetInfo(alg, AlgInfoDesCbc(), &params), 0);
  iv.assign(8, 0xEE);  // after AlgSetInfo: changes nothing
  ASSERT_EQ(EncryptInit(alg, des, DesCbcMethods, nullptr), 0);
  const Bytes in = testing::PatternBytes(16);
  std::uint8_t out[16];
  std::uint32_t written = 99;
  // Too small an output buffer is refused before any input is taken.
  EXPECT_EQ(EncryptUpdate(alg, out, &written, 15, in.data(), 16, nullptr, nullptr), TkErrOutputTooSmall);
  EXPECT_EQ(written, 0u);
  ASSERT_EQ(EncryptUpdate(alg, out, &written, 16, in.data(), 12, nullptr, nullptr), 0);
  EXPECT_EQ(written, 8u);
  EXPECT_EQ(ToHex(out, 8), ToHex(DesCbc("0123456789abcdef", "0000000000000000", in, true).data(), 8));
  // Three more bytes fit in no block: nothing to write, even into no buffer.
  EXPECT_EQ(EncryptUpdate(alg, nullptr, &written, 0, in.data(), 3, nullptr, nullptr), 0);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(EncryptFinal(alg, out, &written, sizeof(out), nullptr, nullptr), TkErrInputTooLong);
  EXPECT_EQ(DecryptUpdate(alg, out, &written, 8, out, 8, nullptr, nullptr), TkErrNotInitialised)
      << "the other direction";
  AlgDestroy(&alg);
  KeyDestroy(&des);
}

TEST(CipherKeyLimits, RefusedAtInit) {
  const Bytes iv(8, 0), long_key(257, 1);
  struct Case {
    const char* why;
    const AlgorithmInfoType* type;
    std::uint32_t effective_bits;
    std::uint32_t key_length;
    int status;
  } const kCases[] = {
      {"RC2 key of 129 bytes", AlgInfoRc2Cbc(), 128, 129, TkErrNotFound},
      {"RC2 empty key", AlgInfoRc2Cbc(), 128, 0, TkErrNotFound},
      {"RC2 effective bits 0", AlgInfoRc2Cbc(), 0, 16, TkErrNotFound},
      {"RC2 128-byte key, 1024 bits", AlgInfoRc2Cbc(), 1024, 128, 0},
      {"RC4 key of 257 bytes", AlgInfoRc4(), 0, 257, TkErrBadKeyLength},
      {"RC4 empty key", AlgInfoRc4(), 0, 0, TkErrBadKeyLength},
      {"RC4 256-byte key", AlgInfoRc4(), 0, 256, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    const ByteItem item{long_key.data(), c.key_length};
    const Rc2CbcParams rc2{c.effective_bits, iv.data()};
    const bool is_rc2 = c.type == AlgInfoRc2Cbc();
    const CipherSetup setup{c.type, is_rc2 ? static_cast<const void*>(&rc2) : nullptr, KeyInfoItem(), &item,
                            is_rc2 ? Rc2CbcMethods : Rc4Methods};
    Bytes out;
    EXPECT_EQ(RunCipher(setup, true, iv, &out), c.status);
  }
  // Effective bits above 1024 are refused when set, and leave the object
  // free for valid parameters.
  AlgorithmObject* alg = nullptr;
  ASSERT_EQ(AlgCreate(&alg), 0);
  for (std::uint32_t bits : {1025u, 0xffffffffu}) {
    const Rc2CbcParams params{bits, iv.data()};
    EXPECT_EQ(AlgSetInfo(alg, AlgInfoRc2Cbc(), &params), TkErrBadParameter);
  }
  const Rc2CbcParams valid{1024, iv.data()};
  EXPECT_EQ(AlgSetInfo(alg, AlgInfoRc2Cbc(), &valid), 0);
  AlgDestroy(&alg);
}

}  // namespace
}  // namespace kcertadm
