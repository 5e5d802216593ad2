// The object identifiers the library reads and writes, as OID contents (the
// octets after the 06 tag and length), each written out once. Arcs that
// callers extend or compare as prefixes are here too.
#pragma once

#include <cstdint>
#include <optional>

#include "asn1/der_reader.h"

namespace kcertadm::oid {

namespace bytes {
// Arcs.
inline constexpr std::uint8_t kPkcs9[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09};
inline constexpr std::uint8_t kX520Attribute[] = {0x55, 0x04};
inline constexpr std::uint8_t kX509Extension[] = {0x55, 0x1D};
inline constexpr std::uint8_t kPkixExtension[] = {0x2B, 0x06, 0x01, 0x05, 0x05, 0x07, 0x01};
inline constexpr std::uint8_t kNetscapeExtension[] = {0x60, 0x86, 0x48, 0x01,
                                                      0x86, 0xF8, 0x42, 0x01};

// Keys and password-based encryption.
inline constexpr std::uint8_t kRsaEncryption[] = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                                  0x0D, 0x01, 0x01, 0x01};
inline constexpr std::uint8_t kPbeMd2Des[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x05, 0x01};
inline constexpr std::uint8_t kPbes2[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x05, 0x0D};
inline constexpr std::uint8_t kPbkdf2[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x05, 0x0C};
inline constexpr std::uint8_t kHmacWithSha1[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x02, 0x07};
inline constexpr std::uint8_t kHmacWithSha256[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x02, 0x09};
inline constexpr std::uint8_t kAes128Cbc[] = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x01, 0x02};
inline constexpr std::uint8_t kAes192Cbc[] = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x01, 0x16};
inline constexpr std::uint8_t kAes256Cbc[] = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x01, 0x2A};
inline constexpr std::uint8_t kPbeSha1DesEde3Cbc[] = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                                      0x0D, 0x01, 0x0C, 0x01, 0x03};
inline constexpr std::uint8_t kPbeSha1Rc2Cbc40[] = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                                    0x0D, 0x01, 0x0C, 0x01, 0x06};

// Digests and RSA signatures.
inline constexpr std::uint8_t kMd2[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x02, 0x02};
inline constexpr std::uint8_t kMd5[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x02, 0x05};
inline constexpr std::uint8_t kSha1[] = {0x2B, 0x0E, 0x03, 0x02, 0x1A};
inline constexpr std::uint8_t kSha256[] = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
inline constexpr std::uint8_t kSha384[] = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x02};
inline constexpr std::uint8_t kSha512[] = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03};
inline constexpr std::uint8_t kMd2WithRsa[] = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                               0x0D, 0x01, 0x01, 0x02};
inline constexpr std::uint8_t kMd5WithRsa[] = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                               0x0D, 0x01, 0x01, 0x04};
inline constexpr std::uint8_t kSha1WithRsa[] = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                                0x0D, 0x01, 0x01, 0x05};
inline constexpr std::uint8_t kSha256WithRsa[] = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                                  0x0D, 0x01, 0x01, 0x0B};
inline constexpr std::uint8_t kSha384WithRsa[] = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                                  0x0D, 0x01, 0x01, 0x0C};
inline constexpr std::uint8_t kSha512WithRsa[] = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                                  0x0D, 0x01, 0x01, 0x0D};
// The older OIW form of SHA-1 with RSA, recognised in certificates.
inline constexpr std::uint8_t kOiwSha1WithRsa[] = {0x2B, 0x0E, 0x03, 0x02, 0x1D};

// PKCS #7 and PKCS #12 containers.
inline constexpr std::uint8_t kPkcs7Data[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01};
inline constexpr std::uint8_t kPkcs7SignedData[] = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                                    0x0D, 0x01, 0x07, 0x02};
inline constexpr std::uint8_t kPkcs7EncryptedData[] = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                                       0x0D, 0x01, 0x07, 0x06};
inline constexpr std::uint8_t kNetscapeCertSequence[] = {0x60, 0x86, 0x48, 0x01, 0x86,
                                                         0xF8, 0x42, 0x02, 0x05};
inline constexpr std::uint8_t kKeyBag[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D,
                                           0x01, 0x0C, 0x0A, 0x01, 0x01};
inline constexpr std::uint8_t kShroudedKeyBag[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D,
                                                   0x01, 0x0C, 0x0A, 0x01, 0x02};
inline constexpr std::uint8_t kCertBag[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D,
                                            0x01, 0x0C, 0x0A, 0x01, 0x03};
inline constexpr std::uint8_t kX509Certificate[] = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                                    0x0D, 0x01, 0x09, 0x16, 0x01};
inline constexpr std::uint8_t kFriendlyName[] = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                                 0x0D, 0x01, 0x09, 0x14};
inline constexpr std::uint8_t kLocalKeyId[] = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                               0x0D, 0x01, 0x09, 0x15};

// Names, requests and extensions.
inline constexpr std::uint8_t kCommonName[] = {0x55, 0x04, 0x03};
inline constexpr std::uint8_t kEmailAddress[] = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                                 0x0D, 0x01, 0x09, 0x01};
inline constexpr std::uint8_t kExtensionRequest[] = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                                     0x0D, 0x01, 0x09, 0x0E};
inline constexpr std::uint8_t kMsExtensionRequest[] = {0x2B, 0x06, 0x01, 0x04, 0x01,
                                                       0x82, 0x37, 0x02, 0x01, 0x0E};
inline constexpr std::uint8_t kSubjectKeyId[] = {0x55, 0x1D, 0x0E};
inline constexpr std::uint8_t kKeyUsage[] = {0x55, 0x1D, 0x0F};
inline constexpr std::uint8_t kSubjectAltName[] = {0x55, 0x1D, 0x11};
inline constexpr std::uint8_t kBasicConstraints[] = {0x55, 0x1D, 0x13};
inline constexpr std::uint8_t kAuthorityKeyId[] = {0x55, 0x1D, 0x23};
inline constexpr std::uint8_t kExtendedKeyUsage[] = {0x55, 0x1D, 0x25};
inline constexpr std::uint8_t kServerAuth[] = {0x2B, 0x06, 0x01, 0x05, 0x05, 0x07, 0x03, 0x01};
inline constexpr std::uint8_t kClientAuth[] = {0x2B, 0x06, 0x01, 0x05, 0x05, 0x07, 0x03, 0x02};
inline constexpr std::uint8_t kCpsQualifier[] = {0x2B, 0x06, 0x01, 0x05, 0x05, 0x07, 0x02, 0x01};
inline constexpr std::uint8_t kUserNoticeQualifier[] = {0x2B, 0x06, 0x01, 0x05,
                                                        0x05, 0x07, 0x02, 0x02};
}  // namespace bytes

// The n of an X.520 attribute type 2.5.4.n whose last arc is one octet
// (n below 128), or none for any other OID.
inline std::optional<std::uint8_t> X520AttributeNumber(der::View oidContents) noexcept {
  constexpr std::size_t kPrefix = sizeof bytes::kX520Attribute;
  if (oidContents.size() != kPrefix + 1 ||
      !der::Equal(oidContents.first(kPrefix), bytes::kX520Attribute) ||
      oidContents[kPrefix] >= 0x80) {
    return std::nullopt;
  }
  return oidContents[kPrefix];
}

inline constexpr der::View kRsaEncryption{bytes::kRsaEncryption};
inline constexpr der::View kPbeMd2Des{bytes::kPbeMd2Des};
inline constexpr der::View kPbes2{bytes::kPbes2};
inline constexpr der::View kPbkdf2{bytes::kPbkdf2};
inline constexpr der::View kHmacWithSha1{bytes::kHmacWithSha1};
inline constexpr der::View kHmacWithSha256{bytes::kHmacWithSha256};
inline constexpr der::View kAes128Cbc{bytes::kAes128Cbc};
inline constexpr der::View kAes192Cbc{bytes::kAes192Cbc};
inline constexpr der::View kAes256Cbc{bytes::kAes256Cbc};
inline constexpr der::View kPbeSha1DesEde3Cbc{bytes::kPbeSha1DesEde3Cbc};
inline constexpr der::View kPbeSha1Rc2Cbc40{bytes::kPbeSha1Rc2Cbc40};
inline constexpr der::View kSha1{bytes::kSha1};
inline constexpr der::View kSha256{bytes::kSha256};
inline constexpr der::View kPkcs7Data{bytes::kPkcs7Data};
inline constexpr der::View kPkcs7EncryptedData{bytes::kPkcs7EncryptedData};
inline constexpr der::View kKeyBag{bytes::kKeyBag};
inline constexpr der::View kShroudedKeyBag{bytes::kShroudedKeyBag};
inline constexpr der::View kCertBag{bytes::kCertBag};
inline constexpr der::View kX509Certificate{bytes::kX509Certificate};
inline constexpr der::View kFriendlyName{bytes::kFriendlyName};
inline constexpr der::View kLocalKeyId{bytes::kLocalKeyId};
inline constexpr der::View kCommonName{bytes::kCommonName};

}  // namespace kcertadm::oid
