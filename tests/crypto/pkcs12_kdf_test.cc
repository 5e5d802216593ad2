// The PKCS #12 key derivation: published answers, openssl's derivation on
// random inputs, refusals.
#include <gtest/gtest.h>

#include <cstdlib>

#include "crypto/cipher/pkcs12_kdf.h"
#include "crypto/toolkit_util.h"
#include "support/test_files.h"

namespace kcertadm {
namespace {

using test_support::Hex;

// The derivation with SHA-1 (or digest) from DigestMethods; the status, and the bytes in `out`.
int Derive(Pkcs12Purpose purpose, const Bytes& password, const Bytes& salt,
           std::uint32_t iterations, std::size_t length, Bytes* out,
           const AlgorithmInfoType* digest = AlgInfoSha1()) {
  out->assign(length, 0);
  const Pkcs12KdfInput input{digest,
                             purpose,
                             {password.data(), static_cast<std::uint32_t>(password.size())},
                             {salt.data(), static_cast<std::uint32_t>(salt.size())},
                             iterations};
  return Pkcs12DeriveKey(input, DigestMethods, out->data(), static_cast<std::uint32_t>(length));
}

// "smeg" and "queeg" as BMPStrings with their zero terminator.
const Bytes kSmeg = Hex("0073006d006500670000"), kQueeg = Hex("007100750065006500670000");

// The answers published with OpenSSL's PKCS #12 code (and given by `openssl kdf ... PKCS12KDF`):
// keys of 24 bytes need a second digest, so the block addition of step 6 is exercised.
TEST(Pkcs12Kdf, PublishedAnswersForSha1) {
  const struct {
    const Bytes& password;
    const char* salt;
    std::uint32_t iterations;
    Pkcs12Purpose purpose;
    const char* out;
  } kAnswers[] = {
      {kSmeg, "0a58cf64530d823f", 1, Pkcs12Purpose::kKey,
       "8aaae6297b6cb04642ab5b077851284eb7128f1a2a7fbca3"},
      {kSmeg, "0a58cf64530d823f", 1, Pkcs12Purpose::kIv, "79993dfe048d3b76"},
      {kSmeg, "642b99ab44fb4b1f", 1, Pkcs12Purpose::kKey,
       "f3a95fec48d7711e985cfe67908c5ab79fa3d7c5caa5d966"},
      {kSmeg, "642b99ab44fb4b1f", 1, Pkcs12Purpose::kIv, "c0a38d64a79bea1d"},
      {kSmeg, "3d83c0e4546ac140", 1, Pkcs12Purpose::kMac,
       "8d967d88f6caa9d714800ab3d48051d63f73a312"},
      {kQueeg, "05dec959acff72f7", 1000, Pkcs12Purpose::kKey,
       "ed2034e36328830ff09df1e1a07dd357185dac0d4f9eb3d4"},
      {kQueeg, "05dec959acff72f7", 1000, Pkcs12Purpose::kIv, "11dedad7758d4860"},
  };
  for (const auto& answer : kAnswers) {
    SCOPED_TRACE(answer.out);
    Bytes out;
    ASSERT_EQ(Derive(answer.purpose, answer.password, Hex(answer.salt), answer.iterations,
                     Hex(answer.out).size(), &out),
              0);
    EXPECT_EQ(test_support::ToHex(out), answer.out);
  }
}

// openssl's derivation as the other party: lengths on both sides of the
// digest (20) and block (64) sizes, salts and passwords of one or more blocks,
// and the empty password (two zero bytes).
TEST(Pkcs12Kdf, AgreesWithOpensslOnRandomInputs) {
  if (std::system("openssl list -kdf-algorithms 2>/dev/null | grep -q PKCS12KDF") != 0)
    GTEST_SKIP() << "this openssl has no PKCS12KDF";
  test_support::TempDir dir;
  test_support::Lcg lcg{12};
  const struct {
    std::size_t password, salt, length;
    std::uint32_t iterations;
  } kShapes[] = {
      {2, 8, 24, 1},   {10, 8, 20, 2},    {64, 1, 21, 3},
      {66, 20, 64, 1}, {130, 65, 100, 7}, {18, 16, 32, 2048},
  };
  // SHA-256 keys the MAC of the PKCS #12 files OpenSSL 3 writes.
  const struct {
    const char* name;
    const AlgorithmInfoType* digest;
  } kDigests[] = {{"SHA1", AlgInfoSha1()}, {"SHA256", AlgInfoSha256()}};
  for (const auto& [digestName, digest] : kDigests) {
    for (const auto& shape : kShapes) {
      for (auto purpose : {Pkcs12Purpose::kKey, Pkcs12Purpose::kIv, Pkcs12Purpose::kMac}) {
        SCOPED_TRACE(::testing::Message()
                     << digestName << " password " << shape.password << " salt " << shape.salt
                     << " length " << shape.length << " id " << int(purpose));
        Bytes password(shape.password), salt(shape.salt), ours;
        lcg.Fill(password.data(), password.size()), lcg.Fill(salt.data(), salt.size());
        if (shape.password == 2) password.assign(2, 0);
        ASSERT_EQ(Derive(purpose, password, salt, shape.iterations, shape.length, &ours, digest),
                  0);
        const std::string line = "openssl kdf -keylen " + std::to_string(shape.length) +
                                 " -kdfopt digest:" + digestName +
                                 " -kdfopt hexpass:" + test_support::ToHex(password) +
                                 " -kdfopt hexsalt:" + test_support::ToHex(salt) +
                                 " -kdfopt iter:" + std::to_string(shape.iterations) +
                                 " -kdfopt id:" + std::to_string(int(purpose)) + " -binary -out " +
                                 (dir / "key") + " PKCS12KDF";
        ASSERT_EQ(std::system(line.c_str()), 0);
        EXPECT_EQ(ours, test_support::ReadFileBytes(dir / "key"));
      }
    }
  }
}

TEST(Pkcs12Kdf, Refusals) {
  const Bytes salt(8, 1);
  Bytes out(24);
  const struct {
    const char* why;
    const AlgorithmInfoType* digest;
    MethodList methods;
    std::uint32_t iterations;
    int status;
  } kCases[] = {
      {"no iterations", AlgInfoSha1(), DigestMethods, 0, TkErrBadData},
      {"a digest the derivation has no block size for", AlgInfoMd5(), DigestMethods, 1,
       TkErrNoMethod},
      {"a method list without the digest", AlgInfoSha1(), DesCbcMethods, 1, TkErrNoMethod},
      {"SHA-1 from the key ring list", AlgInfoSha1(), KeyRingMethods, 1, 0},
  };
  for (const auto& c : kCases) {
    const Pkcs12KdfInput input{
        c.digest, Pkcs12Purpose::kKey, {kSmeg.data(), 10}, {salt.data(), 8}, c.iterations};
    EXPECT_EQ(Pkcs12DeriveKey(input, c.methods, out.data(), 24), c.status) << c.why;
  }
}

}  // namespace
}  // namespace kcertadm
