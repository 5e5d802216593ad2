// Password-based encryption (AlgInfoPbeMd5DesCbc) through the ordinary
// Encrypt and Decrypt calls: generated vectors, round trips, and the refusal
// of bad padding, lengths and parameters.
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
using testing::ToHex;
using Bytes = std::vector<std::uint8_t>;

const Bytes kSalt = testing::Bytes("QbQbQbQb");

struct PbeResult {
  int status;  // first failing status, 0 if all calls succeeded
  Bytes out;
};

// One whole message through a PBE object, the way the key ring uses it
// (output buffer of length + 17), fed in pieces of `piece` bytes.
PbeResult RunPbe(bool encrypt, const Bytes& password, const Bytes& in, std::uint32_t iterations = 7,
                 const Bytes& salt = kSalt, std::size_t piece = 0, std::uint32_t room = 0) {
  AlgorithmObject* alg = nullptr;
  KeyObject* key = nullptr;
  AlgCreate(&alg);
  KeyCreate(&key);
  const ByteItem item{password.data(), static_cast<std::uint32_t>(password.size())};
  const PbeParams params{salt.data(), iterations};
  PbeResult result{0, Bytes(room != 0 ? room : in.size() + 17)};
  int status = KeySetInfo(key, KeyInfoItem(), &item);
  if (status == 0) status = AlgSetInfo(alg, AlgInfoPbeMd5DesCbc(), &params);
  if (status == 0)
    status = encrypt ? EncryptInit(alg, key, PbeMethods, nullptr) : DecryptInit(alg, key, PbeMethods, nullptr);
  std::uint32_t total = 0;
  if (piece == 0) piece = in.empty() ? 1 : in.size();
  for (std::size_t at = 0; status == 0 && at < in.size(); at += piece) {
    const auto n = static_cast<std::uint32_t>(std::min(piece, in.size() - at));
    std::uint32_t written = 0;
    const auto left = static_cast<std::uint32_t>(result.out.size() - total);
    status = encrypt ? EncryptUpdate(alg, result.out.data() + total, &written, left, in.data() + at, n, nullptr, nullptr)
                     : DecryptUpdate(alg, result.out.data() + total, &written, left, in.data() + at, n, nullptr, nullptr);
    total += written;
  }
  if (status == 0) {
    std::uint32_t written = 0;
    const auto left = static_cast<std::uint32_t>(result.out.size() - total);
    status = encrypt ? EncryptFinal(alg, result.out.data() + total, &written, left, nullptr, nullptr)
                     : DecryptFinal(alg, result.out.data() + total, &written, left, nullptr, nullptr);
    total += written;
  }
  result.status = status;
  result.out.resize(total);
  AlgDestroy(&alg);
  KeyDestroy(&key);
  return result;
}

TEST(PbeVectors, MatchIndependentImplementation) {
  const auto rows = testing::ReadVectorFile("pbe_vectors.txt");
  ASSERT_GE(rows.size(), 12u);
  for (const auto& row : rows) {
    SCOPED_TRACE(row[0] + " length " + row[3]);
    const Bytes password = row[0] == "-" ? Bytes() : FromHex(row[0]);
    const Bytes salt = FromHex(row[1]);
    const auto iterations = static_cast<std::uint32_t>(std::stoul(row[2]));
    const Bytes plain = testing::PatternBytes(std::stoul(row[3]));
    for (std::size_t piece : {0u, 1u, 7u, 9u}) {
      SCOPED_TRACE(piece);
      const PbeResult sealed = RunPbe(true, password, plain, iterations, salt, piece);
      ASSERT_EQ(sealed.status, 0);
      EXPECT_EQ(ToHex(sealed.out), row[4]);
      const PbeResult opened = RunPbe(false, password, sealed.out, iterations, salt, piece);
      ASSERT_EQ(opened.status, 0);
      EXPECT_EQ(opened.out, plain);
    }
  }
}

// The key and IV the scheme derives, computed here from the raw MD5.
void Derive(const Bytes& password, std::uint32_t iterations, std::uint8_t* key, std::uint8_t* iv) {
  Md5 md5;
  std::uint8_t d[16];
  md5.Update(password.data(), password.size());
  md5.Update(kSalt.data(), kSalt.size());
  md5.Final(d);
  for (std::uint32_t i = 1; i < iterations; ++i) {
    md5.Update(d, 16);
    md5.Final(d);
  }
  std::copy(d, d + 8, key);
  std::copy(d + 8, d + 16, iv);
}

// Raw DES-CBC with the derived key, to look at or forge padded plaintext.
Bytes RawDes(const Bytes& password, const Bytes& in, bool encrypt) {
  std::uint8_t key[8], iv[8];
  Derive(password, 7, key, iv);
  DesKeySchedule schedule;
  DesSetKey(schedule, key);
  Bytes out(in.size());
  if (encrypt)
    DesCbcEncrypt(schedule, iv, in.data(), out.data(), in.size() / 8);
  else
    DesCbcDecrypt(schedule, iv, in.data(), out.data(), in.size() / 8);
  return out;
}

const Bytes kPassword = testing::Bytes(std::string("pw1\0", 4));

TEST(PbePadding, LengthsAndPadBytes) {
  struct Case {
    std::size_t length;
    std::size_t cipher_length;
    std::uint8_t pad;
  } const kCases[] = {{0, 8, 8}, {1, 8, 7}, {7, 8, 1}, {8, 16, 8}, {15, 16, 1}, {16, 24, 8}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.length);
    const Bytes plain = testing::PatternBytes(c.length);
    const PbeResult sealed = RunPbe(true, kPassword, plain);
    ASSERT_EQ(sealed.status, 0);
    ASSERT_EQ(sealed.out.size(), c.cipher_length);
    const Bytes padded = RawDes(kPassword, sealed.out, false);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), padded.begin()));
    for (std::size_t i = c.length; i < padded.size(); ++i) EXPECT_EQ(padded[i], c.pad);
    EXPECT_EQ(RunPbe(false, kPassword, sealed.out).out, plain);
  }
}

TEST(PbePadding, DerivationDependsOnEveryInput) {
  const Bytes plain = testing::PatternBytes(8);
  const Bytes base = RunPbe(true, kPassword, plain).out;
  EXPECT_EQ(RunPbe(true, kPassword, plain).out, base) << "no randomness involved";
  EXPECT_NE(RunPbe(true, testing::Bytes("pw1"), plain).out, base) << "terminating zero is part of the password";
  EXPECT_NE(RunPbe(true, kPassword, plain, 6).out, base);
  EXPECT_NE(RunPbe(true, kPassword, plain, 7, testing::Bytes("QbQbQbQc")).out, base);
}

// Decryption refusals. Each forged ciphertext is built with raw DES under
// the right key, so only the named defect can cause the failure.
TEST(PbeDecryptRefusals, BadPaddingAndLengths) {
  struct Case {
    const char* why;
    const char* padded_plain;  // hex, encrypted raw; empty: `cipher_length` arbitrary ciphertext bytes
    std::size_t cipher_length;
    int status;
  } const kCases[] = {
      {"last padding byte changed to 09", "4142434445464708" "0808080808080809", 0, TkErrBadData},
      {"padding value 0", "4142434445464700", 0, TkErrBadData},
      {"padding value above the block", "41424344454647ff", 0, TkErrBadData},
      {"pad bytes disagree with the count", "4142434445010303", 0, TkErrBadData},
      {"well-formed padding of 3", "4142434445030303", 0, 0},
      {"empty ciphertext", "", 0, TkErrInputTooLong},
      {"ciphertext of 12 bytes", "", 12, TkErrInputTooLong},
      {"ciphertext of 7 bytes", "", 7, TkErrInputTooLong},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    const Bytes cipher = std::string(c.padded_plain).empty() ? Bytes(c.cipher_length, 0x5a)
                                                       : RawDes(kPassword, FromHex(c.padded_plain), true);
    EXPECT_EQ(RunPbe(false, kPassword, cipher).status, c.status);
  }
}

TEST(PbeDecryptRefusals, WrongPasswordFailsThePaddingCheck) {
  const PbeResult sealed = RunPbe(true, kPassword, testing::PatternBytes(20));
  const PbeResult opened = RunPbe(false, testing::Bytes(std::string("pw2\0", 4)), sealed.out);
  EXPECT_EQ(opened.status, TkErrBadData);
  EXPECT_TRUE(opened.out.size() <= 16u);
}

TEST(PbeDecryptRefusals, FinalOutputMustFit) {
  const PbeResult sealed = RunPbe(true, kPassword, testing::PatternBytes(13));  // 16 bytes
  // 8 bytes come out of the update, 5 remain for Final: 12 bytes of room
  // leave 4 for it.
  EXPECT_EQ(RunPbe(false, kPassword, sealed.out, 7, kSalt, 0, 12).status, TkErrOutputTooSmall);
  EXPECT_EQ(RunPbe(false, kPassword, sealed.out, 7, kSalt, 0, 13).status, 0);
}

TEST(PbeInit, RefusedParametersAndKeys) {
  const Bytes plain = testing::PatternBytes(8);
  EXPECT_EQ(RunPbe(true, kPassword, plain, 0).status, TkErrBadData) << "iteration count 0";
  EXPECT_EQ(RunPbe(true, kPassword, plain, 1).status, 0);

  AlgorithmObject* alg = nullptr;
  KeyObject* empty = nullptr;
  ASSERT_EQ(AlgCreate(&alg), 0);
  ASSERT_EQ(KeyCreate(&empty), 0);
  EXPECT_EQ(AlgSetInfo(alg, AlgInfoPbeMd5DesCbc(), nullptr), TkErrBadParameter);
  const PbeParams params{kSalt.data(), 7};
  ASSERT_EQ(AlgSetInfo(alg, AlgInfoPbeMd5DesCbc(), &params), 0);
  EXPECT_EQ(EncryptInit(alg, empty, PbeMethods, nullptr), TkErrKeyEmpty);
  EXPECT_EQ(EncryptInit(alg, nullptr, PbeMethods, nullptr), TkErrBadKeyObject);
  // A list without MD5 or DES cannot serve the scheme.
  const ByteItem item{kPassword.data(), 4};
  ASSERT_EQ(KeySetInfo(empty, KeyInfoItem(), &item), 0);
  EXPECT_EQ(EncryptInit(alg, empty, DesCbcMethods, nullptr), TkErrNoMethod);
  EXPECT_EQ(EncryptInit(alg, empty, DigestMethods, nullptr), TkErrNoMethod);
  EXPECT_EQ(EncryptInit(alg, empty, PbeMethods, nullptr), 0);
  AlgDestroy(&alg);
  KeyDestroy(&empty);
}

}  // namespace
}  // namespace kcertadm
