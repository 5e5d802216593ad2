// AES-CBC with padding as toolkit objects: every Wycheproof vector on both
// kernels, refusals, and openssl as the other party.
#include <gtest/gtest.h>

#include <cstdlib>

#include "crypto/aes_kernel_util.h"
#include "crypto/cipher/aes.h"
#include "crypto/toolkit_util.h"
#include "support/test_files.h"

namespace kcertadm {
namespace {

using test_support::CipherSetup;
using test_support::Hex;
using test_support::RunCipher;

const AlgorithmInfoType* AesTypeFor(std::size_t key_size) {
  return key_size == 16   ? AlgInfoAes128CbcPad()
         : key_size == 24 ? AlgInfoAes192CbcPad()
                          : AlgInfoAes256CbcPad();
}

// New key schedules, those of the objects included, take the kernel of the run.
class AesCbcPadOnKernel : public test_support::AesKernelParam {
 protected:
  void SetUp() override {
    AesKernelParam::SetUp();
    if (IsSkipped()) return;
    ForceAesPortableForTesting(GetParam() == AesKernel::kPortable);
  }
  void TearDown() override { ForceAesPortableForTesting(false); }
};

// Wycheproof aes_cbc_pkcs5 (wycheproof/make_aes_cbc_vectors.py): a valid
// vector encrypts to its ciphertext and back, whole and in pieces that
// straddle blocks; an invalid one (bad or missing padding) must not decrypt.
TEST_P(AesCbcPadOnKernel, EveryWycheproofVector) {
  const auto rows = test_support::ReadVectorFile("wycheproof/aes_cbc_pkcs5.txt");
  ASSERT_EQ(rows.size(), 216u);
  for (const auto& row : rows) {
    SCOPED_TRACE("tcId " + row[0] + " " + row[6]);
    const Bytes key = Hex(row[1]), iv = Hex(row[2]);
    const Bytes plain = row[3] == "-" ? Bytes() : Hex(row[3]),
                cipher = row[4] == "-" ? Bytes() : Hex(row[4]);
    const ByteItem item{key.data(), static_cast<std::uint32_t>(key.size())};
    const CbcParams params{iv.data()};
    const CipherSetup setup{AesTypeFor(key.size()), &params, KeyInfoItem(), &item, AesCbcMethods};
    Bytes out;
    if (row[5] != "valid") {
      const int status = RunCipher(setup, false, cipher, &out);
      EXPECT_TRUE(status == TkErrBadData || status == TkErrInputTooLong) << status;
      continue;
    }
    for (std::size_t piece : {0u, 1u, 7u, 16u, 23u}) {
      SCOPED_TRACE(piece);
      ASSERT_EQ(RunCipher(setup, true, plain, &out, piece), 0);
      EXPECT_EQ(out, cipher);
      ASSERT_EQ(RunCipher(setup, false, cipher, &out, piece), 0);
      EXPECT_EQ(out, plain);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothKernels, AesCbcPadOnKernel, test_support::kBothAesKernels,
                         test_support::AesKernelName);

// Each type takes only its own key length; a missing IV is a bad parameter.
TEST(AesCbcPad, KeysOfAnotherLengthAndMissingIvRefused) {
  const Bytes key(33, 7), iv(16, 0);
  const struct {
    const char* why;
    const AlgorithmInfoType* type;
    std::uint32_t key_length;
    int status;
  } kCases[] = {
      {"AES-128 with 15 bytes", AlgInfoAes128CbcPad(), 15, TkErrBadKeyLength},
      {"AES-128 with 24 bytes: the key length does not pick the type", AlgInfoAes128CbcPad(), 24,
       TkErrBadKeyLength},
      {"AES-192 with 32 bytes", AlgInfoAes192CbcPad(), 32, TkErrBadKeyLength},
      {"AES-256 with 33 bytes", AlgInfoAes256CbcPad(), 33, TkErrBadKeyLength},
      {"AES-256 with an empty key", AlgInfoAes256CbcPad(), 0, TkErrBadKeyLength},
      {"AES-192 with 24 bytes", AlgInfoAes192CbcPad(), 24, 0},
  };
  for (const auto& c : kCases) {
    const ByteItem item{key.data(), c.key_length};
    const CbcParams params{iv.data()};
    Bytes out;
    EXPECT_EQ(RunCipher({c.type, &params, KeyInfoItem(), &item, AesCbcMethods}, true, iv, &out),
              c.status)
        << c.why;
  }
  ToolkitLockHeld lock;
  AlgorithmObject* alg = nullptr;
  ASSERT_EQ(AlgCreate(lock, &alg), 0);
  const CbcParams no_iv{nullptr};
  EXPECT_EQ(AlgSetInfo(lock, alg, AlgInfoAes256CbcPad(), &no_iv), TkErrBadParameter);
  EXPECT_EQ(AlgSetInfo(lock, alg, AlgInfoAes256CbcPad(), nullptr), TkErrBadParameter);
  AlgDestroy(lock, &alg);
}

// The 16-byte block shows in the buffering: a padded encryption of 16 bytes
// is 32; decryption holds a whole block back until Final and refuses a
// ciphertext that stops inside a block.
TEST(AesCbcPad, SixteenByteBlocksBufferedAndHeldBack) {
  const Bytes key(32, 1), iv(16, 2), plain = test_support::PatternBytes(16);
  const ByteItem item{key.data(), 32};
  const CbcParams params{iv.data()};
  const CipherSetup setup{AlgInfoAes256CbcPad(), &params, KeyInfoItem(), &item, AesCbcMethods};
  Bytes cipher, out;
  ASSERT_EQ(RunCipher(setup, true, plain, &cipher, 0, 32), 0);
  ASSERT_EQ(cipher.size(), 32u);
  EXPECT_EQ(RunCipher(setup, true, plain, &out, 0, 31), TkErrOutputTooSmall);
  EXPECT_EQ(RunCipher(setup, false, Bytes(cipher.begin(), cipher.end() - 8), &out),
            TkErrInputTooLong);
  EXPECT_EQ(RunCipher(setup, false, Bytes(cipher.begin(), cipher.begin() + 16), &out), TkErrBadData)
      << "the first block alone ends in the plaintext's last byte, not in padding";

  ToolkitLockHeld lock;
  AlgorithmObject* alg = nullptr;
  KeyObject* aes = nullptr;
  ASSERT_EQ(AlgCreate(lock, &alg), 0);
  ASSERT_EQ(KeyCreate(lock, &aes), 0);
  ASSERT_EQ(KeySetInfo(lock, aes, KeyInfoItem(), &item), 0);
  ASSERT_EQ(AlgSetInfo(lock, alg, AlgInfoAes256CbcPad(), &params), 0);
  ASSERT_EQ(DecryptInit(lock, alg, aes, AesCbcMethods, nullptr), 0);
  std::uint8_t buffer[32];
  std::uint32_t written = 99;
  ASSERT_EQ(DecryptUpdate(lock, alg, buffer, &written, sizeof(buffer), cipher.data(), 32, nullptr,
                          nullptr),
            0);
  EXPECT_EQ(written, 16u) << "the last block waits for Final";
  ASSERT_EQ(DecryptFinal(lock, alg, buffer + 16, &written, 16, nullptr, nullptr), 0);
  EXPECT_EQ(written, 0u) << "a whole block of padding";
  EXPECT_EQ(Bytes(buffer, buffer + 16), plain);
  AlgDestroy(lock, &alg), KeyDestroy(lock, &aes);
}

// openssl enc as the other party, on messages of random lengths and bytes.
TEST(AesCbcPad, AgreesWithOpensslEnc) {
  if (std::system("openssl version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "openssl is not installed";
  test_support::TempDir dir;
  test_support::Lcg lcg{77};
  for (std::size_t key_size : {16u, 24u, 32u}) {
    for (std::size_t length : {0u, 1u, 15u, 16u, 17u, 333u}) {
      SCOPED_TRACE(::testing::Message() << key_size << "-byte key, " << length << " bytes");
      Bytes key(key_size), iv(16), plain(length);
      lcg.Fill(key.data(), key.size()), lcg.Fill(iv.data(), 16), lcg.Fill(plain.data(), length);
      test_support::WriteFileBytes(dir / "plain", plain);
      const std::string line = "openssl enc -aes-" + std::to_string(key_size * 8) + "-cbc -K " +
                               test_support::ToHex(key) + " -iv " + test_support::ToHex(iv) +
                               " -in " + (dir / "plain") + " -out " + (dir / "cipher");
      ASSERT_EQ(std::system(line.c_str()), 0);
      const Bytes theirs = test_support::ReadFileBytes(dir / "cipher");
      const ByteItem item{key.data(), static_cast<std::uint32_t>(key_size)};
      const CbcParams params{iv.data()};
      const CipherSetup setup{AesTypeFor(key_size), &params, KeyInfoItem(), &item, AesCbcMethods};
      Bytes out;
      ASSERT_EQ(RunCipher(setup, true, plain, &out), 0);
      EXPECT_EQ(out, theirs);
      ASSERT_EQ(RunCipher(setup, false, theirs, &out), 0);
      EXPECT_EQ(out, plain);
    }
  }
}

}  // namespace
}  // namespace kcertadm
