// Password-based encryption (AlgInfoPbeMd5DesCbc) through the ordinary
// Encrypt and Decrypt calls: generated vectors and the refusal of bad
// padding, lengths and parameters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/des.h"
#include "crypto/md5.h"
#include "crypto/toolkit.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

using testing::FromHex;
using Bytes = std::vector<std::uint8_t>;

const Bytes kSalt = testing::TextBytes("QbQbQbQb");
const Bytes kPassword = testing::TextBytes(std::string("pw1\0", 4));

// Status of one whole message through a PBE object, the way the key ring
// uses it (output buffer of the input's length + 17 unless `room` is given).
int RunPbe(bool encrypt, const Bytes& password, const Bytes& in, Bytes* out, std::uint32_t iterations = 7,
           const Bytes& salt = kSalt, std::size_t piece = 0, std::uint32_t room = 0) {
  const ByteItem item{password.data(), static_cast<std::uint32_t>(password.size())};
  const PbeParams params{salt.data(), iterations};
  const testing::CipherSetup setup{AlgInfoPbeMd5DesCbc(), &params, KeyInfoItem(), &item, PbeMethods};
  return testing::RunCipher(setup, encrypt, in, out, piece,
                            room != 0 ? room : static_cast<std::uint32_t>(in.size() + 17));
}

// Vectors of tests/data/crypto/make_pbe_vectors.py (lengths 0 to 1000, the
// padding of every remainder), fed in pieces that straddle the blocks.
TEST(PbeVectors, MatchIndependentImplementation) {
  const auto rows = testing::ReadVectorFile("crypto/pbe_vectors.txt");
  ASSERT_GE(rows.size(), 12u);
  for (const auto& row : rows) {
    SCOPED_TRACE(row[0] + " length " + row[3]);
    const Bytes password = row[0] == "-" ? Bytes() : FromHex(row[0]);
    const Bytes salt = FromHex(row[1]);
    const auto iterations = static_cast<std::uint32_t>(std::stoul(row[2]));
    const Bytes plain = testing::PatternBytes(std::stoul(row[3]));
    for (std::size_t piece : {0u, 1u, 7u, 9u}) {
      SCOPED_TRACE(piece);
      Bytes sealed, opened;
      ASSERT_EQ(RunPbe(true, password, plain, &sealed, iterations, salt, piece), 0);
      EXPECT_EQ(testing::ToHex(sealed), row[4]);
      ASSERT_EQ(RunPbe(false, password, sealed, &opened, iterations, salt, piece), 0);
      EXPECT_EQ(opened, plain);
    }
  }
}

// Raw DES-CBC under the key and IV the scheme derives from kPassword, to
// forge padded plaintext.
Bytes RawDesEncrypt(const Bytes& in) {
  Md5 md5;
  std::uint8_t d[16];
  md5.Update(kPassword.data(), kPassword.size());
  md5.Update(kSalt.data(), kSalt.size());
  md5.Final(d);
  for (int i = 1; i < 7; ++i) {
    md5.Update(d, 16);
    md5.Final(d);
  }
  DesKeySchedule schedule;
  DesSetKey(schedule, d);
  Bytes out(in.size());
  DesCbcEncrypt(schedule, d + 8, in.data(), out.data(), in.size() / 8);
  return out;
}

// Decryption refusals. Each forged ciphertext is built with raw DES under
// the right key, so only the named defect can cause the failure.
TEST(PbeDecryptRefusals, BadPaddingAndLengths) {
  struct Case {
    const char* why;
    Bytes cipher;
    int status;
  } const kCases[] = {
      {"last padding byte changed to 09", RawDesEncrypt(FromHex("4142434445464708" "0808080808080809")),
       TkErrBadData},
      {"padding value 0", RawDesEncrypt(FromHex("4142434445464700")), TkErrBadData},
      {"padding value above the block", RawDesEncrypt(FromHex("41424344454647ff")), TkErrBadData},
      {"pad bytes disagree with the count", RawDesEncrypt(FromHex("4142434445010303")), TkErrBadData},
      {"well-formed padding of 3", RawDesEncrypt(FromHex("4142434445030303")), 0},
      {"empty ciphertext", Bytes{}, TkErrInputTooLong},
      {"ciphertext of 12 bytes", Bytes(12, 0x5a), TkErrInputTooLong},
      {"ciphertext of 7 bytes", Bytes(7, 0x5a), TkErrInputTooLong},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    Bytes out;
    EXPECT_EQ(RunPbe(false, kPassword, c.cipher, &out), c.status);
  }
  // A wrong password fails the padding check too, and gives back no more
  // than the blocks before the last.
  Bytes sealed, opened;
  ASSERT_EQ(RunPbe(true, kPassword, testing::PatternBytes(20), &sealed), 0);
  EXPECT_EQ(RunPbe(false, testing::TextBytes(std::string("pw2\0", 4)), sealed, &opened), TkErrBadData);
  EXPECT_LE(opened.size(), 16u);
  // 13 bytes seal into 16: 8 come out of the update, 5 remain for Final,
  // which needs room for them.
  ASSERT_EQ(RunPbe(true, kPassword, testing::PatternBytes(13), &sealed), 0);
  EXPECT_EQ(RunPbe(false, kPassword, sealed, &opened, 7, kSalt, 0, 12), TkErrOutputTooSmall);
  EXPECT_EQ(RunPbe(false, kPassword, sealed, &opened, 7, kSalt, 0, 13), 0);
}

TEST(PbeInit, RefusedParametersAndKeys) {
  Bytes out;
  EXPECT_EQ(RunPbe(true, kPassword, Bytes(8), &out, 0), TkErrBadData) << "iteration count 0";
  AlgorithmObject* alg = nullptr;
  KeyObject* key = nullptr;
  ASSERT_EQ(AlgCreate(&alg), 0);
  ASSERT_EQ(KeyCreate(&key), 0);
  EXPECT_EQ(AlgSetInfo(alg, AlgInfoPbeMd5DesCbc(), nullptr), TkErrBadParameter);
  const PbeParams params{kSalt.data(), 7};
  ASSERT_EQ(AlgSetInfo(alg, AlgInfoPbeMd5DesCbc(), &params), 0);
  EXPECT_EQ(EncryptInit(alg, key, PbeMethods, nullptr), TkErrKeyEmpty);
  // A list without MD5 or DES cannot serve the scheme.
  const ByteItem item{kPassword.data(), 4};
  ASSERT_EQ(KeySetInfo(key, KeyInfoItem(), &item), 0);
  EXPECT_EQ(EncryptInit(alg, key, DesCbcMethods, nullptr), TkErrNoMethod);
  EXPECT_EQ(EncryptInit(alg, key, DigestMethods, nullptr), TkErrNoMethod);
  EXPECT_EQ(EncryptInit(alg, key, PbeMethods, nullptr), 0);
  AlgDestroy(&alg);
  KeyDestroy(&key);
}

}  // namespace
}  // namespace kcertadm
