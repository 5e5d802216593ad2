// The object identifiers of key files (PKCS #5, #8, #9, #12 and the
// algorithms they name), as OID contents.
#pragma once

#include <cstdint>

#include "keyring/der_view.h"

namespace kcertadm::oid {

namespace bytes {
inline constexpr std::uint8_t kPkcs1Rsa[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01};
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
inline constexpr std::uint8_t kSha1[] = {0x2B, 0x0E, 0x03, 0x02, 0x1A};
inline constexpr std::uint8_t kSha256[] = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
inline constexpr std::uint8_t kPkcs7Data[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01};
inline constexpr std::uint8_t kPkcs7EncryptedData[] = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                                       0x0D, 0x01, 0x07, 0x06};
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
}  // namespace bytes

inline constexpr der::View kRsaEncryption{bytes::kPkcs1Rsa};
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

}  // namespace kcertadm::oid
