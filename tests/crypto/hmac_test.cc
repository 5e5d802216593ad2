// HMAC and PBKDF2 through their toolkit objects: published answers, the
// Wycheproof sets, and the object rules.
#include "crypto/digest/hmac.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "crypto/toolkit/toolkit_scope.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

const std::map<std::string, const AlgorithmInfoType*> kHmacs = {{"sha1", AlgInfoHmacSha1()},
                                                                {"sha256", AlgInfoHmacSha256()},
                                                                {"sha384", AlgInfoHmacSha384()},
                                                                {"sha512", AlgInfoHmacSha512()}};

// An object of `type` set up with `params` and initialised with `key` as a KeyInfoItem; 0 or the
// first failure.
int Prepare(const ToolkitLockHeld& lock, OwnedAlgorithm& alg, OwnedKey& key,
            const AlgorithmInfoType* type, const void* params, const Bytes& secret) {
  const ByteItem item{secret.data(), static_cast<std::uint32_t>(secret.size())};
  if (int status = alg.Create(lock).code()) return status;
  if (int status = key.Create(lock).code()) return status;
  if (int status = KeySetInfo(lock, key.get(), KeyInfoItem(), &item).code()) return status;
  if (int status = AlgSetInfo(lock, alg.get(), type, params).code()) return status;
  return DigestInit(lock, alg.get(), key.get(), HmacMethods, nullptr).code();
}

// The whole HMAC of message under key, in two updates; empty on a failure.
std::string HmacHex(const std::string& digest, const Bytes& key, const Bytes& message) {
  ToolkitLockHeld lock;
  OwnedAlgorithm alg;
  OwnedKey keyObject;
  std::uint8_t out[64];
  std::uint32_t length = 0;
  const std::uint32_t half = message.size() / 2;
  if (Prepare(lock, alg, keyObject, kHmacs.at(digest), nullptr, key) ||
      DigestUpdate(lock, alg.get(), message.data(), half, nullptr).code() ||
      DigestUpdate(lock, alg.get(), message.data() + half, message.size() - half, nullptr).code() ||
      DigestFinal(lock, alg.get(), out, &length, sizeof out, nullptr).code())
    return "";
  return test_support::ToHex(out, length);
}

std::string Pbkdf2Hex(const std::string& digest, const Bytes& password, const Bytes& salt,
                      std::uint32_t iterations, std::uint32_t size) {
  ToolkitLockHeld lock;
  OwnedAlgorithm alg;
  OwnedKey key;
  const Pbkdf2Params params{
      {salt.data(), static_cast<std::uint32_t>(salt.size())}, iterations, size, kHmacs.at(digest)};
  Bytes out(size);
  std::uint32_t length = 0;
  if (Prepare(lock, alg, key, AlgInfoPbkdf2(), &params, password) ||
      DigestFinal(lock, alg.get(), out.data(), &length, size, nullptr).code())
    return "";
  return test_support::ToHex(out.data(), length);
}

TEST(Hmac, PublishedAnswers) {
  const Bytes jefe = test_support::TextBytes("Jefe"),
              want = test_support::TextBytes("what do ya want for nothing?");
  const Bytes long_key(131, 0xaa),
      long_data = test_support::TextBytes("Test Using Larger Than Block-Size Key - Hash Key First");
  const Bytes key1(20, 0x0b), hi = test_support::TextBytes("Hi There");
  // RFC 2202 cases 1 and 2 (SHA-1); RFC 4231 cases 1, 2 and 6 (a key longer than the block).
  const struct {
    const char* digest;
    const Bytes& key;
    const Bytes& data;
    const char* mac;
  } kTests[] = {
      {"sha1", key1, hi, "b617318655057264e28bc0b6fb378c8ef146be00"},
      {"sha1", jefe, want, "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      {"sha256", key1, hi, "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
      {"sha256", jefe, want, "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
      {"sha256", long_key, long_data,
       "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
      {"sha384", key1, hi,
       "afd03944d84895626b0825f4ab46907f15f9dadbe4101ec682aa034c7cebc59cfaea9ea9076ede7f4af152e8b2f"
       "a9cb6"},
      {"sha384", jefe, want,
       "af45d2e376484031617f78d2b58a6b1b9c7ef464f5a01b47e42ec3736322445e8e2240ca5e69e2c78b3239ecfab"
       "21649"},
      {"sha384", long_key, long_data,
       "4ece084485813e9088d2c63a041bc5b44f9ef1012a2b588f3cd11f05033ac4c60c2ef6ab4030fe8296248df163f"
       "44952"},
      {"sha512", key1, hi,
       "87aa7cdea5ef619d4ff0b4241a1d6cb02379f4e2ce4ec2787ad0b30545e17cdedaa833b7d6b8a702038b274eaea"
       "3f4e4"
       "be9d914eeb61f1702e696c203a126854"},
      {"sha512", jefe, want,
       "164b7a7bfcf819e2e395fbe73b56e0a387bd64222e831fd610270cd7ea2505549758bf75c05a994a6d034f65f8f"
       "0e6fd"
       "caeab1a34d4a6b4b636e070a38bce737"},
      {"sha512", long_key, long_data,
       "80b24263c7c1a3ebb71493c1dd7be8b49b46d1f41b4aeec1121b013783f8f3526b56d037e05f2598bd0fd2215d6"
       "a1e52"
       "95e64f73f63f0aec8b915a985d786598"},
  };
  for (const auto& c : kTests) EXPECT_EQ(HmacHex(c.digest, c.key, c.data), c.mac) << c.digest;
}

TEST(Pbkdf2, PublishedAnswers) {
  const Bytes password = test_support::TextBytes("password"),
              salt = test_support::TextBytes("salt");
  // RFC 6070 (SHA-1; all but the 16,777,216 iterations) and RFC 7914, 11 (SHA-256).
  const struct {
    const char* digest;
    Bytes password, salt;
    std::uint32_t iterations;
    const char* key;
  } kTests[] = {
      {"sha1", password, salt, 1, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
      {"sha1", password, salt, 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
      {"sha1", password, salt, 4096, "4b007901b765489abead49d926f721d065a429c1"},
      {"sha1", test_support::TextBytes("passwordPASSWORDpassword"),
       test_support::TextBytes("saltSALTsaltSALTsaltSALTsaltSALTsalt"), 4096,
       "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
      {"sha1", Bytes{'p', 'a', 's', 's', 0, 'w', 'o', 'r', 'd'}, Bytes{'s', 'a', 0, 'l', 't'}, 4096,
       "56fa6aa75548099dcc37d7f03425e0c3"},
      {"sha256", test_support::TextBytes("passwd"), salt, 1,
       "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc49ca9cccf179b645991664b39d7"
       "7ef317c71b845b1e3"
       "0bd509112041d3a19783"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(Pbkdf2Hex(c.digest, c.password, c.salt, c.iterations, std::strlen(c.key) / 2), c.key);
  }
}

// wycheproof/make_vectors.py. A tag shorter than the MAC is its first bytes. The one PBKDF2 vector
// of 16,777,216 iterations (RFC 6070's last) is left out: minutes under the sanitizers.
TEST(WycheproofMacAndKdf, EveryVectorGivesItsExpectedResult) {
  std::map<std::string, int> counts;
  for (const auto& row : test_support::ReadVectorFile("wycheproof/mac_kdf_vectors.txt")) {
    SCOPED_TRACE(row[0] + " " + row[1] + " " + row[2]);
    if (row[0] == "hmac") {
      const std::string mac = HmacHex(row[1], test_support::Hex(row[4]), test_support::Hex(row[5]));
      const std::string tag = row[6] == "-" ? "" : row[6];
      EXPECT_EQ(mac.compare(0, tag.size(), tag) == 0, row[3] == "valid");
    } else {
      const std::uint32_t iterations = std::stoul(row[6]);
      if (iterations > 100000) continue;
      EXPECT_EQ(row[3], "valid");
      EXPECT_EQ(Pbkdf2Hex(row[1], test_support::Hex(row[4]), test_support::Hex(row[5]), iterations,
                          row[7].size() / 2),
                row[7]);
    }
    ++counts[row[0] + " " + row[3]];
  }
  const std::map<std::string, int> kWanted = {
      {"hmac valid", 264}, {"hmac invalid", 428}, {"pbkdf2 valid", 123}};
  EXPECT_EQ(counts, kWanted);
}

TEST(HmacObjects, RestartBufferRuleAndRefusals) {
  ToolkitLockHeld lock;
  OwnedAlgorithm alg;
  OwnedKey key;
  const Bytes secret(20, 0x0b), hi = test_support::TextBytes("Hi There");
  ASSERT_EQ(Prepare(lock, alg, key, AlgInfoHmacSha256(), nullptr, secret), 0);
  std::uint8_t out[32];
  std::uint32_t length = 99;
  for (int round = 0; round < 2; ++round) {  // Final restarts under the same key
    ASSERT_EQ(DigestUpdate(lock, alg.get(), hi.data(), hi.size(), nullptr), 0);
    EXPECT_EQ(DigestFinal(lock, alg.get(), out, &length, 31, nullptr), TkErrOutputTooSmall)
        << "leaves the message intact";
    ASSERT_EQ(DigestFinal(lock, alg.get(), out, &length, 32, nullptr), 0);
    EXPECT_EQ(test_support::ToHex(out, length),
              "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7");
  }
  OwnedAlgorithm unkeyed;
  ASSERT_EQ(unkeyed.Create(lock), 0);
  ASSERT_EQ(AlgSetInfo(lock, unkeyed.get(), AlgInfoHmacSha1(), nullptr), 0);
  EXPECT_NE(DigestInit(lock, unkeyed.get(), nullptr, HmacMethods, nullptr), 0)
      << "an HMAC needs its key";

  const Bytes salt = test_support::TextBytes("salt");
  const struct {
    const char* why;
    Pbkdf2Params params;
  } kBad[] = {
      {"no iterations", {{salt.data(), 4}, 0, 20, AlgInfoHmacSha1()}},
      {"no derived key", {{salt.data(), 4}, 1, 0, AlgInfoHmacSha1()}},
      {"a digest is no pseudorandom function", {{salt.data(), 4}, 1, 20, AlgInfoSha1()}},
      {"salt bytes missing", {{nullptr, 4}, 1, 20, AlgInfoHmacSha1()}},
  };
  for (const auto& c : kBad) {
    OwnedAlgorithm kdf;
    ASSERT_EQ(kdf.Create(lock), 0);
    EXPECT_EQ(AlgSetInfo(lock, kdf.get(), AlgInfoPbkdf2(), &c.params), TkErrBadParameter) << c.why;
  }
  OwnedAlgorithm kdf;
  const Pbkdf2Params params{{salt.data(), 4}, 2, 20, AlgInfoHmacSha1()};
  ASSERT_EQ(Prepare(lock, kdf, key, AlgInfoPbkdf2(), &params, test_support::TextBytes("password")),
            0);
  EXPECT_EQ(DigestUpdate(lock, kdf.get(), salt.data(), 4, nullptr), TkErrNotSupported)
      << "the password is the key";
  std::uint8_t derived[20];
  EXPECT_EQ(DigestFinal(lock, kdf.get(), derived, &length, 19, nullptr), TkErrOutputTooSmall);
  ASSERT_EQ(DigestFinal(lock, kdf.get(), derived, &length, 20, nullptr), 0);
  EXPECT_EQ(test_support::ToHex(derived, length), "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957");
}

}  // namespace
}  // namespace kcertadm
