#include <gtest/gtest.h>

#include "crypto/toolkit/toolkit_scope.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

const Bytes kSalt = test_support::TextBytes("QbQbQbQb");
const Bytes kPassword = test_support::TextBytes(std::string("pw1\0", 4));

// A whole message through a PBE object, into input size + 17 bytes unless `room` is given.
int RunPbe(bool encrypt, const Bytes& password, const Bytes& in, Bytes* out,
           std::uint32_t iterations = 7, const Bytes& salt = kSalt, std::size_t piece = 0,
           std::uint32_t room = 0) {
  const ByteItem item{password.data(), static_cast<std::uint32_t>(password.size())};
  const PbeParams params{salt.data(), iterations};
  const test_support::CipherSetup setup{AlgInfoPbeMd5DesCbc(), &params, KeyInfoItem(), &item,
                                        PbeMethods};
  return test_support::RunCipher(setup, encrypt, in, out, piece,
                                 room ? room : static_cast<std::uint32_t>(in.size() + 17));
}

// crypto/make_pbe_vectors.py: every padding remainder, in pieces that straddle the blocks.
TEST(PbeVectors, MatchIndependentImplementation) {
  const auto rows = test_support::ReadVectorFile("crypto/pbe_vectors.txt");
  ASSERT_GE(rows.size(), 12u);
  for (const auto& row : rows) {
    SCOPED_TRACE(row[0] + " length " + row[3]);  // "-": the empty password
    const Bytes password = test_support::Hex(row[0]),
                plain = test_support::PatternBytes(std::stoul(row[3]));
    const std::uint32_t iterations = std::stoul(row[2]);
    for (std::size_t piece : {0u, 1u, 7u, 9u}) {
      SCOPED_TRACE(piece);
      Bytes sealed, opened;
      ASSERT_EQ(
          RunPbe(true, password, plain, &sealed, iterations, test_support::Hex(row[1]), piece), 0);
      EXPECT_EQ(test_support::ToHex(sealed), row[4]);
      ASSERT_EQ(
          RunPbe(false, password, sealed, &opened, iterations, test_support::Hex(row[1]), piece),
          0);
      EXPECT_EQ(opened, plain);
    }
  }
}

// The first blocks of a sealed message alone: their last plaintext bytes stand as padding.
Bytes SealedPrefix(const char* hex) {
  const Bytes plain = test_support::Hex(hex);
  Bytes sealed;
  EXPECT_EQ(RunPbe(true, kPassword, plain, &sealed), 0);
  sealed.resize(plain.size());
  return sealed;
}

TEST(PbeDecryptRefusals, BadPaddingAndLengths) {
  const std::pair<const char*, const char*> kBadPadding[] = {
      {"last padding byte changed to 09", "41424344454647080808080808080809"},
      {"padding value 0", "4142434445464700"},
      {"padding value above the block", "41424344454647ff"},
      {"pad bytes disagree with the count", "4142434445010303"},
  };
  Bytes out;
  for (const auto& [why, plain] : kBadPadding)
    EXPECT_EQ(RunPbe(false, kPassword, SealedPrefix(plain), &out), TkErrBadData) << why;
  for (std::size_t size : {0u, 7u, 12u})  // not whole blocks
    EXPECT_EQ(RunPbe(false, kPassword, Bytes(size, 0x5a), &out), TkErrInputTooLong) << size;
  // 13 bytes seal into 16: 8 come out of the update, 5 of Final, which needs room for them.
  Bytes sealed;
  ASSERT_EQ(RunPbe(true, kPassword, test_support::PatternBytes(13), &sealed), 0);
  EXPECT_EQ(RunPbe(false, kPassword, sealed, &out, 7, kSalt, 0, 12), TkErrOutputTooSmall);
  EXPECT_EQ(RunPbe(false, kPassword, sealed, &out, 7, kSalt, 0, 13), 0);
}

TEST(PbeInit, RefusedParametersAndKeys) {
  Bytes out;
  EXPECT_EQ(RunPbe(true, kPassword, Bytes(8), &out, 0), TkErrBadData) << "iteration count 0";
  ToolkitLockHeld lock;
  OwnedAlgorithm alg;
  OwnedKey key;
  ASSERT_EQ(alg.Create(lock).code() | key.Create(lock).code(), 0);
  EXPECT_EQ(AlgSetInfo(lock, alg.get(), AlgInfoPbeMd5DesCbc(), nullptr), TkErrBadParameter);
  const PbeParams params{kSalt.data(), 7};
  ASSERT_EQ(AlgSetInfo(lock, alg.get(), AlgInfoPbeMd5DesCbc(), &params), 0);
  EXPECT_EQ(EncryptInit(lock, alg.get(), key.get(), PbeMethods, nullptr), TkErrKeyEmpty);
  const ByteItem item{kPassword.data(), 4};
  ASSERT_EQ(KeySetInfo(lock, key.get(), KeyInfoItem(), &item), 0);
  EXPECT_EQ(EncryptInit(lock, alg.get(), key.get(), DesCbcMethods, nullptr), TkErrNoMethod)
      << "a list without MD5";
}

}  // namespace
}  // namespace kcertadm
