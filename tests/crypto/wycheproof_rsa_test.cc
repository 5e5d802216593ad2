// The Wycheproof RSASSA-PKCS1-v1_5 verification vectors (2048 to 8192-bit
// keys, SHA-256/384/512) through the signature handlers, as certificates
// and requests are checked.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "crypto/rsa/signature.h"
#include "crypto/toolkit/toolkit_scope.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

// A public key object of a vector group; null when the toolkit refuses it.
KeyObject* GroupKey(const ToolkitLockHeld& lock, const std::string& modulus,
                    const std::string& exponent) {
  Bytes n = test_support::Hex(modulus), e = test_support::Hex(exponent);
  while (n.size() > 1 && n[0] == 0) n.erase(n.begin());
  const RsaPublicKeyRecord record{{n.data(), static_cast<std::uint32_t>(n.size())},
                                  {e.data(), static_cast<std::uint32_t>(e.size())}};
  KeyObject* key = nullptr;
  if (KeyCreate(lock, &key) == 0 && KeySetInfo(lock, key, KeyInfoRsaPublic(), &record) != 0)
    KeyDestroy(lock, &key);
  return key;
}

// wycheproof/make_vectors.py. Every "valid" signature verifies, every
// "invalid" one is refused. The "acceptable" ones are the DigestInfos
// without the NULL parameters (flag MissingNull): refused with 524, as for
// MD5 and SHA-1, since the parameters must be exactly NULL.
TEST(WycheproofRsaSignatures, EveryVectorGivesItsExpectedResult) {
  const std::map<std::string, int> kSelectors = {
      {"sha256", kSignatureSha256}, {"sha384", kSignatureSha384}, {"sha512", kSignatureSha512}};
  ToolkitLockHeld lock;
  std::unique_ptr<OwnedKey> key;
  int selector = 0;
  std::map<std::string, int> counts;
  for (const auto& row : test_support::ReadVectorFile("wycheproof/rsa_signature_vectors.txt")) {
    ASSERT_EQ(row.size(), 4u);
    if (row[0] == "key") {
      key = std::make_unique<OwnedKey>(GroupKey(lock, row[2], row[3]));
      ASSERT_NE(key->get(), nullptr) << row[2].size() * 4 << "-bit modulus";
      selector = kSelectors.at(row[1]);
      continue;
    }
    SCOPED_TRACE(row[0] + " " + row[1]);
    const Bytes message = test_support::Hex(row[2]), signature = test_support::Hex(row[3]);
    const int status = VerifyData(lock, selector, key->get(), message.data(),
                                  static_cast<std::uint32_t>(message.size()), signature.data(),
                                  static_cast<std::uint32_t>(signature.size()))
                           .code();
    if (row[1] == "valid")
      EXPECT_EQ(status, 0);
    else if (row[1] == "acceptable")
      EXPECT_EQ(status, 524) << "DigestInfo without NULL parameters";
    else
      EXPECT_NE(status, 0);
    ++counts[row[1]];
  }
  EXPECT_EQ(counts["valid"], 89);
  EXPECT_EQ(counts["acceptable"], 12);
  EXPECT_EQ(counts["invalid"], 3005);
}

}  // namespace
}  // namespace kcertadm
