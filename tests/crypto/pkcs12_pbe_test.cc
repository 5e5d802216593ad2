// The PKCS #12 password-based ciphers: keys openssl encrypted open, and
// encrypting again gives openssl's bytes; refusals.
#include <gtest/gtest.h>

#include <cstdlib>

#include "asn1/asn1.h"
#include "crypto/toolkit_util.h"
#include "support/test_files.h"

namespace kcertadm {
namespace {

// The BMPString of a password with its two zero bytes, as the derivation takes it.
Bytes BmpPassword(std::u16string_view text) {
  Bytes out;
  for (char16_t c : text)
    out.push_back(static_cast<std::uint8_t>(c >> 8)), out.push_back(static_cast<std::uint8_t>(c));
  out.push_back(0), out.push_back(0);
  return out;
}

// A message through a fresh object of `type`; the status, and the output in `out`.
int RunPbe(const AlgorithmInfoType* type, bool encrypt, const Bytes& password, const Bytes& salt,
           std::uint32_t iterations, const Bytes& in, Bytes* out, std::size_t piece = 0) {
  const Pkcs12PbeParams params{salt.data(), static_cast<std::uint32_t>(salt.size()), iterations};
  const ByteItem item{password.data(), static_cast<std::uint32_t>(password.size())};
  return test_support::RunCipher({type, &params, KeyInfoItem(), &item, Pkcs12PbeMethods}, encrypt,
                                 in, out, piece);
}

// The parts of a DER EncryptedPrivateKeyInfo with PKCS #12 parameters.
struct EncryptedKey {
  Bytes salt, ciphertext;
  std::uint32_t iterations = 0;
};
bool ReadEncryptedKey(const Bytes& der, EncryptedKey* key) {
  Asn1Item file = Asn1View(der.data(), der.size()), info, algorithm, oid, params, salt, count, data;
  if (Asn1NextTagged(&file, &info, kAsn1Sequence) != 1 ||
      Asn1NextTagged(&info, &algorithm, kAsn1Sequence) != 1 ||
      Asn1NextTagged(&info, &data, kAsn1OctetString) != 1 ||
      Asn1NextTagged(&algorithm, &oid, kAsn1ObjectId) != 1 ||
      Asn1NextTagged(&algorithm, &params, kAsn1Sequence) != 1 ||
      Asn1NextTagged(&params, &salt, kAsn1OctetString) != 1 ||
      Asn1NextTagged(&params, &count, kAsn1Integer) != 1)
    return false;
  key->salt.assign(salt.data, salt.data + salt.length);
  key->ciphertext.assign(data.data, data.data + data.length);
  for (std::int32_t i = 0; i < count.length; ++i)
    key->iterations = key->iterations << 8 | count.data[i];
  return true;
}

// openssl pkcs8 -v1 with both schemes (RC2-40 from openssl's legacy provider)
// and a password beyond ASCII: what it wrote opens to the unencrypted
// PKCS #8, and encrypting that with the same salt and count gives its bytes.
TEST(Pkcs12Pbe, OpensslPkcs8KeysOpenAndEncryptTheSame) {
  if (std::system("openssl version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "openssl is not installed";
  test_support::TempDir dir;
  const std::string key = std::string(KCERTADM_TEST_DATA_DIR) + "/cert/vector_key.pem";
  ASSERT_EQ(std::system(("openssl pkcs8 -topk8 -nocrypt -in " + key + " -outform DER -out " +
                         (dir / "plain.der"))
                            .c_str()),
            0);
  const Bytes plain = test_support::ReadFileBytes(dir / "plain.der"),
              password = BmpPassword(u"p\u00e4ss w\u00f6rd \u20ac");
  const struct {
    const char* scheme;
    const AlgorithmInfoType* type;
  } kSchemes[] = {
      {"PBE-SHA1-3DES", AlgInfoPkcs12PbeSha1DesEde3Cbc()},
      {"PBE-SHA1-RC2-40 -provider legacy -provider default", AlgInfoPkcs12PbeSha1Rc2Cbc40()},
  };
  for (const auto& scheme : kSchemes) {
    SCOPED_TRACE(scheme.scheme);
    ASSERT_EQ(
        std::system(("openssl pkcs8 -topk8 -v1 " + std::string(scheme.scheme) + " -iter 1500 -in " +
                     key + " -passout 'pass:p\u00e4ss w\u00f6rd \u20ac' -outform DER -out " +
                     (dir / "key.der"))
                        .c_str()),
        0);
    EncryptedKey encrypted;
    ASSERT_TRUE(ReadEncryptedKey(test_support::ReadFileBytes(dir / "key.der"), &encrypted));
    EXPECT_EQ(encrypted.iterations, 1500u);
    Bytes out;
    for (std::size_t piece : {0u, 7u}) {
      ASSERT_EQ(RunPbe(scheme.type, false, password, encrypted.salt, 1500, encrypted.ciphertext,
                       &out, piece),
                0);
      EXPECT_EQ(out, plain);
    }
    ASSERT_EQ(RunPbe(scheme.type, true, password, encrypted.salt, 1500, plain, &out), 0);
    EXPECT_EQ(out, encrypted.ciphertext);
  }
}

TEST(Pkcs12Pbe, Refusals) {
  const Bytes salt(8, 0x5a), password = BmpPassword(u"right"),
                             message = test_support::PatternBytes(40);
  Bytes cipher, out;
  ASSERT_EQ(RunPbe(AlgInfoPkcs12PbeSha1DesEde3Cbc(), true, password, salt, 3, message, &cipher), 0);
  ASSERT_EQ(cipher.size(), 48u);
  EXPECT_EQ(
      RunPbe(AlgInfoPkcs12PbeSha1DesEde3Cbc(), false, BmpPassword(u"wrong"), salt, 3, cipher, &out),
      TkErrBadData)
      << "another password: the padding does not check";
  EXPECT_EQ(RunPbe(AlgInfoPkcs12PbeSha1DesEde3Cbc(), false, password, salt, 2, cipher, &out),
            TkErrBadData)
      << "another count derives another key";
  EXPECT_EQ(RunPbe(AlgInfoPkcs12PbeSha1DesEde3Cbc(), false, password, salt, 0, cipher, &out),
            TkErrBadData)
      << "no iterations";
  EXPECT_EQ(RunPbe(AlgInfoPkcs12PbeSha1Rc2Cbc40(), false, password, salt, 3,
                   Bytes(cipher.begin(), cipher.end() - 3), &out),
            TkErrInputTooLong)
      << "a ciphertext that stops inside a block";

  ToolkitLockHeld lock;
  AlgorithmObject* alg = nullptr;
  ASSERT_EQ(AlgCreate(lock, &alg), 0);
  const Pkcs12PbeParams no_salt{nullptr, 8, 1};
  EXPECT_EQ(AlgSetInfo(lock, alg, AlgInfoPkcs12PbeSha1Rc2Cbc40(), &no_salt), TkErrBadParameter)
      << "a length without salt";
  AlgDestroy(lock, &alg);
}

}  // namespace
}  // namespace kcertadm
